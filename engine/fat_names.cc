#include "fat_names.h"

#include <dirent.h>
#include <linux/magic.h>
#include <string.h>
#include <sys/vfs.h>

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
    {0x61, 0x7a, 1, -32},    {0xe0, 0xf6, 1, -32},   {0xf8, 0xfe, 1, -32},
    {0xff, 0xff, 1, 0x79},   {0x101, 0x12f, 2, -1},  {0x133, 0x137, 2, -1},
    {0x13a, 0x148, 2, -1},   {0x14b, 0x177, 2, -1},  {0x17a, 0x17e, 2, -1},
    {0x3ac, 0x3ac, 1, -38},  {0x3ad, 0x3af, 1, -37}, {0x3b1, 0x3c1, 1, -32},
    {0x3c2, 0x3c2, 1, -31},  {0x3c3, 0x3cb, 1, -32}, {0x3cc, 0x3cc, 1, -64},
    {0x3cd, 0x3ce, 1, -63},  {0x430, 0x44f, 1, -32}, {0x450, 0x45f, 1, -80},
    {0x461, 0x481, 2, -1},   {0x48b, 0x4bf, 2, -1},
};

char32_t Capital(char32_t c) {
  for (const CaseRange& range : kLowerCase) {
    if (c >= range.first && c <= range.last &&
        (c - range.first) % range.step == 0)
      return c + range.delta;
  }
  return c;
}

// The next character of `s` from `*pos`: a UTF-8 sequence's code point, or
// for any other byte a value no code point has, so it matches only itself.
char32_t NextCharacter(const std::string& s, size_t* pos) {
  unsigned char lead = s[*pos];
  int more = lead >= 0xc2 && lead <= 0xdf   ? 1
             : lead >= 0xe0 && lead <= 0xef ? 2
             : lead >= 0xf0 && lead <= 0xf4 ? 3
                                            : 0;
  char32_t c = more == 0 ? lead : lead & (0x3f >> more);
  for (int i = 1; i <= more; ++i) {
    unsigned char next = *pos + i < s.size() ? s[*pos + i] : 0;
    if ((next & 0xc0) != 0x80) {
      more = 0;
      break;
    }
    c = (c << 6) | (next & 0x3f);
  }
  if (lead >= 0x80 && more == 0) c = 0x110000 + lead;
  *pos += 1 + more;
  return c;
}

}  // namespace

bool SameNameIgnoringCase(const std::string& a, const std::string& b) {
  size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (Capital(NextCharacter(a, &i)) != Capital(NextCharacter(b, &j)))
      return false;
  }
  return i == a.size() && j == b.size();
}

bool TakenInOtherCaseOnFat(const char* path) {
  FatCaseCheck check;
  return check.Taken(path);
}

bool FatCaseCheck::Taken(const char* path) {
  const char* slash = strrchr(path, '/');
  std::string folder = slash ? std::string(path, slash + 1) : ".";
  if (folder != folder_) {
    struct statfs info;
    fat_ = statfs(folder.c_str(), &info) == 0 &&
           info.f_type == MSDOS_SUPER_MAGIC;
    folder_ = folder;
  }
  if (!fat_) return false;
  std::string name = slash ? slash + 1 : path;
  // vfat drops the dots at the end of a name.
  while (name.size() > 1 && name.back() == '.') name.pop_back();
  DIR* dir = opendir(folder.c_str());
  if (!dir) return false;
  bool taken = false;
  while (const dirent* entry = readdir(dir)) {
    if (SameNameIgnoringCase(entry->d_name, name)) {
      taken = true;
      break;
    }
  }
  closedir(dir);
  return taken;
}

}  // namespace quenby
