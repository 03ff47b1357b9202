#include "text_encoding.h"

#include <gtest/gtest.h>

#include <string>

namespace quenby {
namespace {

TEST(TextEncodingTest, KnowsWellFormedUtf8) {
  const struct {
    std::string text;
    bool valid;
  } cases[] = {
      {"plain ASCII", true},
      {"Bj\xc3\xb6rk", true},
      {"\xe3\x83\xaa\xe3\x83\x9f", true},      // Japanese.
      {"\xf0\x9f\x8e\xb5", true},              // Outside the BMP.
      {"\xf4\x8f\xbf\xbf", true},              // U+10FFFF, the last.
      {"Bj\xf6rk", false},                     // Latin-1.
      {"\xc3", false},                         // Cut short.
      {"\xc3(", false},
      {"\xc0\xaf", false},                     // Overlong slash.
      {"\xe0\x80\xaf", false},
      {"\xed\xa0\x80", false},                 // A surrogate.
      {"\xf4\x90\x80\x80", false},             // Above U+10FFFF.
      {"\x83\x5c", false},                     // Shift_JIS.
      {"\xff", false},
  };
  for (const auto& c : cases) EXPECT_EQ(c.valid, IsValidUtf8(c.text)) << c.text;
}

}  // namespace
}  // namespace quenby
