// Playlist entries laid out as files here, for tests and benchmarks: each
// backslash a slash. A run reads an entry through EntryToPosixPath, which
// also takes file: URLs and code pages.
#ifndef QUENBY_TESTS_SUPPORT_LINUX_PATH_H_
#define QUENBY_TESTS_SUPPORT_LINUX_PATH_H_

#include <algorithm>
#include <string>

namespace quenby {

inline std::string ToPosixPath(std::string entry_path) {
  std::replace(entry_path.begin(), entry_path.end(), '\\', '/');
  return entry_path;
}

}  // namespace quenby

#endif  // QUENBY_TESTS_SUPPORT_LINUX_PATH_H_
