// Letter case the way FAT media take it. Windows holds two names that differ
// only in letter case for one name; the kernel's vfat, mounted with
// iocharset=utf8, compares long names byte for byte, and its rename would
// then write a second entry that Windows cannot tell from the first.
#ifndef QUENBY_ENGINE_FAT_NAMES_H_
#define QUENBY_ENGINE_FAT_NAMES_H_

#include <string>

namespace quenby {

// Whether `a` and `b` name the same file when letter case is ignored in
// ASCII, Latin-1, Latin Extended-A, Greek and Cyrillic (UTF-8). Bytes that
// are not UTF-8 must match exactly.
bool SameNameIgnoringCase(const std::string& a, const std::string& b);

// Whether `path` is on the kernel's vfat and its folder already holds a
// name that differs from its last part only in letter case.
bool TakenInOtherCaseOnFat(const char* path);

// TakenInOtherCaseOnFat for one run: it remembers whether the last folder
// it saw is on vfat, since a run renames a folder's files one after another
// and a look at the file system per rename costs a tenth of the rename.
class FatCaseCheck {
 public:
  bool Taken(const char* path);

 private:
  std::string folder_;
  bool fat_ = false;
};

}  // namespace quenby

#endif  // QUENBY_ENGINE_FAT_NAMES_H_
