#include "text_encoding.h"

#include <gtest/gtest.h>

#include <string>

namespace quenby {
namespace {

const struct {
  std::string text;
  bool valid;
} kCases[] = {
    {"plain ASCII", true},
    {"Bj\xc3\xb6rk", true},
    {"\xe3\x83\xaa\xe3\x83\x9f", true},  // Japanese.
    {"\xf0\x9f\x8e\xb5", true},          // Outside the BMP.
    {"\xf4\x8f\xbf\xbf", true},          // U+10FFFF, the last.
    {"Bj\xf6rk", false},                 // Latin-1.
    {"\xc3", false},                     // Cut short.
    {"\xc3(", false},
    {"\xc0\xaf", false},  // Overlong slash.
    {"\xe0\x80\xaf", false},
    {"\xed\xa0\x80", false},      // A surrogate.
    {"\xf4\x90\x80\x80", false},  // Above U+10FFFF.
    {"\x83\x5c", false},          // Shift_JIS.
    {"\xff", false},
};

TEST(TextEncodingTest, KnowsWellFormedUtf8) {
  for (const auto& c : kCases)
    EXPECT_EQ(c.valid, IsValidUtf8(c.text)) << c.text;
}

TEST(TextEncodingTest, KnowsWellFormedUtf8AnywhereInALongPath) {
  // ASCII is passed over several bytes at a time: a character or a fault
  // may straddle any of those steps, or end the text.
  for (const auto& c : kCases) {
    for (size_t before = 0; before <= 16; ++before) {
      for (size_t after : {0, 1, 9}) {
        std::string text = std::string(before, 'a') + c.text +
                           std::string(after, '/');
        EXPECT_EQ(c.valid, IsValidUtf8(text)) << before << " " << c.text;
      }
    }
  }
}

}  // namespace
}  // namespace quenby
