// The file system of Linux and other POSIX systems.
#ifndef QUENBY_ENGINE_POSIX_FILE_SYSTEM_H_
#define QUENBY_ENGINE_POSIX_FILE_SYSTEM_H_

#include <sys/types.h>

#include <string>

#include "fat_names.h"
#include "file_system.h"

namespace quenby {

// Playlist entries are Windows paths; here each backslash becomes a slash.
std::string ToPosixPath(const std::string& entry_path);

// The native path that an entry names: a file: URL's local path, or the
// entry as ToPosixPath gives it. When `windows_1252` is
// set the name is read in that code page and written in UTF-8, as Linux
// names files. False when the entry names no local path.
bool EntryToPosixPath(const std::string& entry, bool windows_1252,
                      std::string* path);

class PosixFileSystem : public FileSystem {
 public:
  bool IsReadable(const std::string& path) override;
  std::unique_ptr<InputFile> OpenPlaylist(const std::string& path) override;
  // Renames the files that the entries `from` and `to` name. A line that is
  // not valid UTF-8 was most likely written on Windows in its code page:
  // when no file has the name as written, the Windows-1252 reading of both
  // names is tried.
  bool Rename(const std::string& from, const std::string& to) override;
  std::unique_ptr<OutputFile> CreateLog(const std::string& name) override;
  bool Delete(const std::string& name) override;
  LocalTime Now() override;

 private:
  // The playlist and the log that the run has open. No entry may rename
  // them: Windows refuses to rename an open file, and here the log would
  // go on under a numbered name while a clean run deletes the old one.
  struct OpenFile {
    std::string name;  // The last part of its path.
    dev_t device = 0;
    ino_t inode = 0;
  };
  void Remember(OpenFile* file, const std::string& path, int fd);
  bool IsOpenFile(const std::string& path) const;

  OpenFile playlist_;
  OpenFile log_;
  FatCaseCheck fat_case_;
};

// The rename behind PosixFileSystem::Rename, on native paths: atomic where
// the file system offers a no-replace rename, and never replacing elsewhere
// (the letter case that the kernel's vfat may miss is the caller's to check).
bool RenameNoReplace(const char* from, const char* to);

}  // namespace quenby

#endif  // QUENBY_ENGINE_POSIX_FILE_SYSTEM_H_
