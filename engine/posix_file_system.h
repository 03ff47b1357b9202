// The file system of Linux and other POSIX systems.
#ifndef QUENBY_ENGINE_POSIX_FILE_SYSTEM_H_
#define QUENBY_ENGINE_POSIX_FILE_SYSTEM_H_

#include <sys/types.h>

#include <string>

#include "file_system.h"
#include "posix_code_page.h"
#include "posix_run_media.h"

namespace quenby {

// The native path that an entry names: a file: URL's local path, or the
// entry itself, read in `code_page` (null: as written) and written in
// UTF-8, as Linux names files, and with slashes for backslashes. False when
// the entry names no local path, or is not text of that code page.
bool EntryToPosixPath(const std::string& entry, const CodePage* code_page,
                      std::string* path);

class PosixFileSystem : public FileSystem {
 public:
  bool IsReadable(const std::string& path) override;
  std::unique_ptr<InputFile> OpenPlaylist(const std::string& path) override;
  // Renames the files that the entries `from` and `to` name, never
  // replacing one; on the kernel's vfat also no name taken in other letter
  // case, and each rename is on the stick before the next.
  bool Rename(const std::string& from, const std::string& to) override;
  std::unique_ptr<OutputFile> CreateLog(const std::string& name) override;
  bool TakeUnplacedFile(std::string* from, std::string* to) override {
    return media_.TakeStranded(from, to);
  }
  // Puts the vfat folders the run numbered in in slot order, and syncs each
  // file system the run renamed on.
  void RenamesDone() override;
  bool Delete(const std::string& name) override;
  LocalTime Now() override;

 private:
  // Remembers the run's playlist or log (`file` of RunMedia::run_files)
  // open at `fd`. No entry may rename them: Windows refuses to rename an
  // open file, and here the log would go on under a numbered name while a
  // clean run deletes the old one.
  void Remember(RunFile* file, const std::string& path, int fd);
  bool IsOpenFile(const std::string& path) const;

  // Sets the native paths of the entries `from` and `to` in the first
  // reading whose old name is there.
  bool ReadNames(const std::string& from, const std::string& to);

  RunMedia media_;
  // The native paths of the rename at hand, kept so that a run does not
  // allocate per entry.
  std::string old_path_, new_path_;
};

}  // namespace quenby

#endif  // QUENBY_ENGINE_POSIX_FILE_SYSTEM_H_
