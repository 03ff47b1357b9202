#include "fat_names.h"

#include "text_encoding.h"

namespace quenby {

namespace {

// Lower-case letters from `first` to `last`, every `step`th one, whose
// capital is the letter plus `delta`.
struct CaseRange {
  char32_t first;
  char32_t last;
  char32_t step;
  int delta;
};
constexpr CaseRange kLowerCase[] = {
    {0x61, 0x7a, 1, -32},   {0xe0, 0xf6, 1, -32},   {0xf8, 0xfe, 1, -32},
    {0xff, 0xff, 1, 0x79},  {0x101, 0x12f, 2, -1},  {0x133, 0x137, 2, -1},
    {0x13a, 0x148, 2, -1},  {0x14b, 0x177, 2, -1},  {0x17a, 0x17e, 2, -1},
    {0x3ac, 0x3ac, 1, -38}, {0x3ad, 0x3af, 1, -37}, {0x3b1, 0x3c1, 1, -32},
    {0x3c2, 0x3c2, 1, -31}, {0x3c3, 0x3cb, 1, -32}, {0x3cc, 0x3cc, 1, -64},
    {0x3cd, 0x3ce, 1, -63}, {0x430, 0x44f, 1, -32}, {0x450, 0x45f, 1, -80},
    {0x461, 0x481, 2, -1},  {0x48b, 0x4bf, 2, -1},
};

char32_t Capital(char32_t c) {
  for (const CaseRange& range : kLowerCase) {
    if (c >= range.first && c <= range.last &&
        (c - range.first) % range.step == 0)
      return c + range.delta;
  }
  return c;
}

}  // namespace

std::string FatNameKey(std::string_view name) {
  while (name.size() > 1 && name.back() == '.') name.remove_suffix(1);
  std::string key;
  key.reserve(name.size());
  char bytes[4];
  for (size_t pos = 0; pos < name.size();) {
    size_t start = pos;
    int32_t c = NextCodePoint(name, &pos);
    if (c < 0) {
      key.push_back(name[start]);
    } else {
      key.append(bytes, AppendUtf8(Capital(static_cast<char32_t>(c)), bytes));
    }
  }
  return key;
}

}  // namespace quenby
