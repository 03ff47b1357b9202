// A folder on the kernel's vfat or exfat as one run sees it: on vfat the
// names it holds, read once and kept up to date as the run renames in it,
// and on both the way a rename there is put on the stick before the next
// one and the order step when the run is done.
#ifndef QUENBY_ENGINE_POSIX_FAT_FOLDER_H_
#define QUENBY_ENGINE_POSIX_FAT_FOLDER_H_

#include <sys/types.h>

#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "posix_stick_writes.h"

namespace quenby {

// A file that the run holds open, its playlist or its log: no rename moves
// it, and an order step leaves it where it stands, so that a stick pulled
// during the step still shows the playlist the next run needs.
struct RunFile {
  std::string name;  // The last part of its path.
  dev_t device = 0;
  ino_t inode = 0;
};

// The run's playlist and log.
struct RunFiles {
  RunFile playlist;
  RunFile log;
};

class FatFolder {
 public:
  // Opens the folder at `path` and reads its names. A staging folder that a
  // run cut short left there is emptied into it first. `run_files` stay
  // where they stand.
  FatFolder(const std::string& path, const RunFiles& run_files, FatKind kind);
  ~FatFolder();
  FatFolder(const FatFolder&) = delete;
  FatFolder& operator=(const FatFolder&) = delete;

  // Whether the folder could be read; one that cannot hides nothing.
  bool ok() const { return fd_ >= 0; }

  // Whether the folder holds `name` in any letter case. Under
  // iocharset=utf8 vfat misses a long name taken in other letter case, and
  // its rename would write a second one beside it. exfat refuses such a
  // name itself, through the stick's own up-case table: false there.
  bool Taken(std::string_view name) const;

  // After `old_name` in `from` was renamed to `new_name` here: keeps both
  // folders' names up to date and puts the rename on the stick, the moved
  // file first (its entry with its clusters), then the folders, so that a
  // stick pulled at any moment keeps the file's contents.
  void Renamed(FatFolder* from, std::string_view old_name,
               const std::string& new_name);

  // The run renames nothing more: a folder in which it numbered files is
  // put in slot order.
  void Done();

  // The files left in the staging folder, their names taken in the folder
  // meanwhile, as paths: where each stands, and where it belongs. Taken
  // once.
  std::vector<std::pair<std::string, std::string>> TakeStranded();

 private:
  // Runs the order step: with `start` false, only to finish a step cut
  // short.
  void Order(bool start);

  std::string path_;  // As the run spells it.
  FatKind kind_;
  int fd_ = -1;
  bool numbered_ = false;
  std::set<std::string> fixed_;  // The run's own files among its names.
  std::vector<std::string> stranded_;
  // FatNameKey of each name, with how many names share it: a folder written
  // under iocharset=utf8 may hold two that differ only in letter case.
  std::unordered_map<std::string, int> names_;
};

}  // namespace quenby

#endif  // QUENBY_ENGINE_POSIX_FAT_FOLDER_H_
