// A fresh directory that is the current directory while a test runs, since
// the log and relative playlist entries live in the current directory.
#ifndef QUENBY_TESTS_TEMP_DIR_H_
#define QUENBY_TESTS_TEMP_DIR_H_

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace quenby {

class TempDir {
 public:
  // Below $TMPDIR when the harness sets it (to run on another file system),
  // else below /tmp.
  TempDir() {
    const char* base = getenv("TMPDIR");
    std::string name = std::string(base && *base ? base : "/tmp") +
                       "/quenby-test-XXXXXX";
    if (!mkdtemp(&name[0])) abort();  // No test can run without it.
    path_ = name;
    old_cwd_ = std::filesystem::current_path();
    std::filesystem::current_path(path_);
  }
  ~TempDir() {
    std::filesystem::current_path(old_cwd_);
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  std::filesystem::path old_cwd_;
};

inline void WriteFile(const std::string& path, const std::string& contents) {
  std::filesystem::path p(path);
  // A folder the file system refuses shows as a missing file, not a throw.
  std::error_code ignored;
  if (p.has_parent_path())
    std::filesystem::create_directories(p.parent_path(), ignored);
  std::ofstream(path, std::ios::binary) << contents;
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

inline bool Exists(const std::string& path) {
  std::error_code ignored;
  return std::filesystem::exists(std::filesystem::symlink_status(path,
                                                                 ignored));
}

}  // namespace quenby

#endif  // QUENBY_TESTS_TEMP_DIR_H_
