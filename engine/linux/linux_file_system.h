// The file system of Linux.
#ifndef QUENBY_ENGINE_LINUX_LINUX_FILE_SYSTEM_H_
#define QUENBY_ENGINE_LINUX_LINUX_FILE_SYSTEM_H_

#include <string>

#include "file_system.h"
#include "linux_stick.h"
#include "stick_record.h"

namespace quenby {

class LinuxFileSystem : public FileSystem {
 public:
  LinuxFileSystem() : stick_(&run_files_), record_(&stick_, "/") {}

  bool IsReadable(const std::string& path) override;
  void StartRun(RunMode mode) override { record_.Start(mode); }
  std::unique_ptr<InputFile> OpenPlaylist(const std::string& path) override;
  // Renames the files that the entries `from` and `to` name, never
  // replacing one; on the kernel's vfat also no name taken in other letter
  // case, and on a stick each rename is on it before the next.
  bool Rename(const std::string& from, const std::string& to) override;
  std::unique_ptr<OutputFile> CreateLog(const std::string& name) override;
  bool TakeUnplacedFile(std::string* from, std::string* to) override {
    return record_.TakeStranded(from, to);
  }
  // Puts the stick folders the run numbered in in slot order, and syncs
  // each file system the run renamed on.
  void RenamesDone() override;
  bool Delete(const std::string& name) override;
  LocalTime Now() override;

 private:
  // Remembers the run's playlist or log (`file` of run_files_) open at
  // `fd`. No entry may rename them: Windows refuses to rename an open file,
  // and here the log would go on under a numbered name while a clean run
  // deletes the old one.
  void Remember(RunFile* file, const std::string& path, int fd);
  bool IsOpenFile(const std::string& path) const;

  RunFiles run_files_;
  LinuxStick stick_;
  StickRecord record_;  // Before stick_ goes: it tells it to forget.
  // The native paths of the rename at hand, kept so that a run does not
  // allocate per entry.
  std::string old_path_, new_path_;
};

}  // namespace quenby

#endif  // QUENBY_ENGINE_LINUX_LINUX_FILE_SYSTEM_H_
