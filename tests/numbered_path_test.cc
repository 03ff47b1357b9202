#include "numbered_path.h"

#include <gtest/gtest.h>

namespace quenby {
namespace {

struct BandCase {
  uint32_t number;
  int band;
  const char* prefix;
};

TEST(NumberedPathTest, PrefixAndBandAtEveryBoundary) {
  const BandCase cases[] = {
      {1, 1, "000001"},       {9, 1, "000009"},       {10, 2, "000010"},
      {99, 2, "000099"},      {100, 3, "000100"},     {999, 3, "000999"},
      {1000, 4, "001000"},    {1234, 4, "001234"},    {9999, 4, "009999"},
      {10000, 5, "010000"},   {56789, 5, "056789"},   {99999, 5, "099999"},
      {100000, 6, "100000"},  {123456, 6, "123456"},  {999999, 6, "999999"},
      {1000000, 6, "1000000"},
  };
  for (const BandCase& c : cases) {
    char prefix[8];
    size_t length = OrderPrefix(c.number, prefix);
    EXPECT_STREQ(c.prefix, prefix) << c.number;
    EXPECT_EQ(strlen(c.prefix), length) << c.number;
    EXPECT_EQ(c.band, NumberBand(c.number)) << c.number;
  }
  EXPECT_EQ(0, NumberBand(0));
  EXPECT_EQ(0, NumberBand(1000001));
  EXPECT_EQ(0, NumberBand(4294967295u));
}

struct PathCase {
  const char* line;
  uint32_t number;
  const char* numbered;
};

TEST(NumberedPathTest, PrefixGoesAfterTheLastSeparator) {
  const PathCase cases[] = {
      {"C:\\Music\\a.mp3", 7, "C:\\Music\\000007a.mp3"},
      {"C:\\Music\\a.mp3", 12, "C:\\Music\\000012a.mp3"},
      {"C:\\Music\\a.mp3", 1234, "C:\\Music\\001234a.mp3"},
      {"D:\\My Music\\Rock\\Song 1.mp3", 3,
       "D:\\My Music\\Rock\\000003Song 1.mp3"},
      {"C:\\a\\b\\c.mp3", 1, "C:\\a\\b\\000001c.mp3"},
      {"Music\\a.mp3", 1, "Music\\000001a.mp3"},
      {"\\a.mp3", 1, "\\000001a.mp3"},
      {"C:\\Music/Rock/a.mp3", 1, "C:\\000001Music/Rock/a.mp3"},
      {"C:\\Music\\", 4, "C:\\Music\\000004"},
      {"C:\\Music\\000005a.mp3", 1, "C:\\Music\\000001000005a.mp3"},
      {"C:\\Music\\7 Intro.mp3", 3, "C:\\Music\\0000037 Intro.mp3"},
      {"C:\\Music\\a.mp3  ", 2, "C:\\Music\\000002a.mp3  "},
      {"C:\\Music\\Song.mp3", 1000000, "C:\\Music\\1000000Song.mp3"},
      // No backslash: after the last slash, else in front of the line.
      {"a.mp3", 5, "000005a.mp3"},
      {"/home/u/a b.mp3", 2, "/home/u/000002a b.mp3"},
      {"../x/a.mp3", 10, "../x/000010a.mp3"},
      {"file:///C:/M/a%20b.mp3", 1, "file:///C:/M/000001a%20b.mp3"},
      // Bytes above 0x7F are not decoded; 0x5C is a backslash wherever it is.
      {"C:\\M\xfc\\\x81\x5c" "b.mp3", 1, "C:\\M\xfc\\\x81\\000001b.mp3"},
  };
  for (const PathCase& c : cases) {
    std::string out = "left over";
    MakeNumberedPath(c.line, c.number, &out);
    EXPECT_EQ(c.numbered, out) << c.line << " #" << c.number;
  }
}

TEST(NumberedPathTest, KeepsBytesAfterANul) {
  std::string line("C:\\a\0b.mp3", 10);
  std::string out;
  MakeNumberedPath(line, 1, &out);
  EXPECT_EQ(std::string("C:\\000001a\0b.mp3", 16), out);
}

}  // namespace
}  // namespace quenby
