// The file system of Windows, through the C runtime and the kernel's ANSI
// calls: paths are the playlist's bytes, unchanged, in the ANSI code page,
// unless only another reading of them names a file.
#ifndef QUENBY_ENGINE_WIN32_WIN32_FILE_SYSTEM_H_
#define QUENBY_ENGINE_WIN32_WIN32_FILE_SYSTEM_H_

#include <string>

#include "file_system.h"
#include "stick_record.h"
#include "win32_stick.h"

namespace quenby {

// Whether the last part of `path` is a device such as NUL, CON or COM1,
// which Windows finds in every folder and with any extension.
bool NamesDevice(const std::string& path);

class Win32FileSystem : public FileSystem {
 public:
  Win32FileSystem() : stick_(&run_files_), record_(&stick_, "\\/") {}

  bool IsReadable(const std::string& path) override;
  void StartRun(RunMode mode) override { record_.Start(mode); }
  std::unique_ptr<InputFile> OpenPlaylist(const std::string& path) override;
  // Renames the files that the entries `from` and `to` name, in the ANSI
  // code page. A line outside ASCII may name files that code page cannot:
  // when no file has the ANSI name, the line's UTF-8 reading (a .m3u8
  // playlist) and then its Shift_JIS one (code page 932) are tried through
  // the wide-character calls, and the first whose old name is there is used.
  // On a stick (FAT, FAT32, exFAT) each rename is on it before the next,
  // whatever the drive's removal policy.
  bool Rename(const std::string& from, const std::string& to) override;
  std::unique_ptr<OutputFile> CreateLog(const std::string& name) override;
  bool TakeUnplacedFile(std::string* from, std::string* to) override;
  // Puts the stick folders the run numbered in in slot order. Elsewhere
  // the renames are the file system's to write: a user may not flush a
  // volume.
  void RenamesDone() override;
  bool Delete(const std::string& name) override;
  LocalTime Now() override;

 private:
  // Remembers the run's playlist or log, open at the runtime's `fd`: the
  // order step moves neither, as Windows would refuse to move them.
  void Remember(RunFile* file, const std::string& path, int fd);

  RunFiles run_files_;
  Win32Stick stick_;
  StickRecord record_;  // Before stick_ goes: it tells it to forget.
};

}  // namespace quenby

#endif  // QUENBY_ENGINE_WIN32_WIN32_FILE_SYSTEM_H_
