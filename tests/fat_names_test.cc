#include "fat_names.h"

#include <gtest/gtest.h>

namespace quenby {
namespace {

TEST(FatNamesTest, NamesThatDifferOnlyInLetterCaseShareAKey) {
  const struct {
    const char* a;
    const char* b;
    bool same;
  } cases[] = {
      {"a.mp3", "A.MP3", true},
      {"Long Name.mp3", "LONG NAME.MP3", true},
      {"\xc3\xa9t\xc3\xa9.mp3", "\xc3\x89T\xc3\x89.mp3", true},  // été
      {"\xc3\xbf", "\xc5\xb8", true},                            // ÿ Ÿ
      {"\xc5\x82\xc3\xb3"
       "d\xc5\xba",
       "\xc5\x81\xc3\x93"
       "D\xc5\xb9",
       true},                                          // łódź
      {"\xce\xac\xcf\x82", "\xce\x86\xce\xa3", true},  // άς
      {"\xd0\xbf\xd1\x91\xd1\x81", "\xd0\x9f\xd0\x81\xd0\xa1", true},  // пёс
      {"\xc3\xa9", "e", false},
      {"\xc3\xb7", "\xc3\x97", false},  // ÷ and × are no letters
      {"a.mp3", "a.mp", false},
      {"a", "", false},
      // Bytes that are not UTF-8 match only themselves.
      {"\xe9t\xe9", "\xe9t\xe9", true},
      {"\xe9t\xe9", "\xc9T\xc9", false},
      {"\xc3", "\xc3\x89", false},
      {"\xc3\x41", "\xc3\x61", true},
      // vfat drops the dots at a name's end.
      {"a.mp3..", "A.MP3", true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.same, FatNameKey(c.a) == FatNameKey(c.b)) << c.a << " " << c.b;
  }
}

}  // namespace
}  // namespace quenby
