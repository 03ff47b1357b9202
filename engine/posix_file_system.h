// The file system of Linux and other POSIX systems.
#ifndef QUENBY_ENGINE_POSIX_FILE_SYSTEM_H_
#define QUENBY_ENGINE_POSIX_FILE_SYSTEM_H_

#include <string>

#include "file_system.h"

namespace quenby {

// Playlist entries are Windows paths; here each backslash becomes a slash.
std::string ToPosixPath(const std::string& entry_path);

class PosixFileSystem : public FileSystem {
 public:
  bool IsReadable(const std::string& path) override;
  std::unique_ptr<InputFile> OpenPlaylist(const std::string& path) override;
  bool Rename(const std::string& from, const std::string& to) override;
  std::unique_ptr<OutputFile> CreateLog(const std::string& name) override;
  bool Delete(const std::string& name) override;
  LocalTime Now() override;
};

// The rename behind PosixFileSystem::Rename, on native paths: atomic where
// the file system offers a no-replace rename, and never replacing elsewhere.
bool RenameNoReplace(const char* from, const char* to);

}  // namespace quenby

#endif  // QUENBY_ENGINE_POSIX_FILE_SYSTEM_H_
