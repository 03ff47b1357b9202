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
      {1, 1, "000001"},        {9, 1, "000009"},      {10, 2, "000010"},
      {99, 2, "000099"},       {100, 3, "000100"},    {999, 3, "000999"},
      {1000, 4, "001000"},     {1234, 4, "001234"},   {9999, 4, "009999"},
      {10000, 5, "010000"},    {56789, 5, "056789"},  {99999, 5, "099999"},
      {100000, 6, "100000"},   {123456, 6, "123456"}, {999999, 6, "999999"},
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
      {"C:\\M\xfc\\\x81\x5c"
       "b.mp3",
       1, "C:\\M\xfc\\\x81\\000001b.mp3"},
  };
  for (const PathCase& c : cases) {
    std::string out = "left over";
    MakeNumberedPath(c.line, c.number, &out);
    EXPECT_EQ(c.numbered, out) << c.line << " #" << c.number;
  }
}

struct ReadBackCase {
  const char* name;
  uint32_t number;
  long before;  // What the name reads as before it is numbered.
};

// Numbering and the order step's reading of a numbered name must agree, on
// names that already begin with digits too.
TEST(NumberedPathTest, ANumberedNameReadsBackItsNumber) {
  const ReadBackCase cases[] = {
      {"a.mp3", 1, -1},
      {"a.mp3", 999999, -1},
      {"a.mp3", 1000000, -1},
      {"123456x.mp3", 2, 123456},  // The user's own digits.
      {"123456x.mp3", 1000000, 123456},
      {"1234567.mp3", 3, 123456},  // Seven digits but not 1000000.
      {"9999999.mp3", 999999, 999999},
      {"0000001.mp3", 4, 0},
      {"1000000.mp3", 5, 1000000},
      {"10000001.mp3", 100001, 1000000},
      {"1", 100000, -1},
      {"99999a.mp3", 10, -1},
      {"12345.mp3", 6, -1},  // Shorter than the prefix.
      {"12345", 7, -1},
      {"00001", 1000000, -1},
      {"", 8, -1},
  };
  for (const ReadBackCase& c : cases) {
    EXPECT_EQ(c.before, ReadOrderNumber(c.name)) << c.name;
    std::string numbered;
    MakeNumberedPath(c.name, c.number, &numbered);
    EXPECT_EQ(static_cast<long>(c.number), ReadOrderNumber(numbered))
        << numbered;
    EXPECT_TRUE(IsNumberedPathOf(c.name, numbered)) << numbered;
    EXPECT_FALSE(IsNumberedPathOf(numbered, c.name)) << numbered;
    std::string path = std::string("C:\\M\\") + c.name, numbered_path;
    MakeNumberedPath(path, c.number, &numbered_path);
    EXPECT_TRUE(IsNumberedPathOf(path, numbered_path)) << numbered_path;
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
