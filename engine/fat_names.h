// Letter case the way FAT media take it. Windows holds two names that differ
// only in letter case for one name; the kernel's vfat, mounted with
// iocharset=utf8, compares long names byte for byte, and its rename would
// then write a second entry that Windows cannot tell from the first.
#ifndef QUENBY_ENGINE_FAT_NAMES_H_
#define QUENBY_ENGINE_FAT_NAMES_H_

#include <string>
#include <string_view>

namespace quenby {

// A name as FAT compares it: letter case folded in ASCII, Latin-1, Latin
// Extended-A, Greek and Cyrillic (UTF-8), and the dots at its end dropped,
// as vfat drops them. Bytes that are not UTF-8 are kept as they are, so
// they match only themselves. Two names are one on FAT when their keys are
// equal.
std::string FatNameKey(std::string_view name);

}  // namespace quenby

#endif  // QUENBY_ENGINE_FAT_NAMES_H_
