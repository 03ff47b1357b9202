// What one run learnt of the media it renames on (Linux): the file systems
// to put on the medium when its renames are done, and the folders on the
// kernel's vfat and exfat (with the names they hold on vfat). One record per
// run, forgotten when the run ends, as a run is the only writer of those
// names.
#ifndef QUENBY_ENGINE_POSIX_RUN_MEDIA_H_
#define QUENBY_ENGINE_POSIX_RUN_MEDIA_H_

#include <sys/types.h>

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "posix_fat_folder.h"

namespace quenby {

class RunMedia {
 public:
  // A file system the run renames on.
  struct Medium {
    dev_t device = 0;
    int fd = -1;  // An open folder on it, to sync it with.
    bool fat = false;  // The kernel's vfat or exfat, as `kind` tells.
    FatKind kind = FatKind::kVfat;
    bool renamed = false;
  };
  // The folder a path lies in.
  struct Folder {
    Medium* medium = nullptr;
    FatFolder* fat = nullptr;  // On the kernel's vfat or exfat only.
  };

  // The playlist and the log that the run has open.
  RunFiles run_files;

  RunMedia() = default;
  ~RunMedia() { Forget(); }
  RunMedia(const RunMedia&) = delete;
  RunMedia& operator=(const RunMedia&) = delete;

  // The folder of the native path `path`, looked at once per run: a run
  // renames a folder's files one after another. Null when the folder
  // cannot be looked at, where no rename can succeed either. Valid until
  // the next call.
  const Folder* FolderOf(const std::string& path);

  // After `old_path` was renamed to `new_path` in `folder` (the folder of
  // `new_path`): on vfat and exfat the rename is put on the stick before
  // the next.
  void Renamed(const Folder& folder, const std::string& old_path,
               const std::string& new_path);

  // Puts the vfat and exfat folders the run numbered in in slot order,
  // every file system renamed on on the medium, and forgets the run.
  void Done();

  // A file that a FAT folder's order step left in its staging folder, as
  // the paths where it stands and where it belongs. False when none is
  // left.
  bool TakeStranded(std::string* from, std::string* to);

 private:
  void Forget();
  void Strand(FatFolder* folder);

  std::vector<std::unique_ptr<Medium>> media_;
  // The FAT folders by identity, so that two spellings of one folder share
  // its names.
  std::map<std::pair<dev_t, ino_t>, std::unique_ptr<FatFolder>> fat_folders_;
  std::vector<std::pair<std::string, std::string>> stranded_;
  std::string last_path_;  // The folder part of the last path looked at.
  bool have_last_ = false;
  Folder last_;
};

}  // namespace quenby

#endif  // QUENBY_ENGINE_POSIX_RUN_MEDIA_H_
