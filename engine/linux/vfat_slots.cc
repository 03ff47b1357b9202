#include "vfat_slots.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/msdos_fs.h>
#include <stdio.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <map>

#include "folder_listing.h"
#include "text_encoding.h"

namespace quenby {

namespace {

// Marks the staging folder as ours: a user's folder of that name would not
// carry both. Windows hides it too.
constexpr __u32 kStagingMark = ATTR_HIDDEN | ATTR_SYS;

// One slot for the short entry, and one more per 13 UTF-16 units of a long
// name.
int SlotsFor(const std::string& long_name) {
  if (long_name.empty()) return 1;
  return 1 + static_cast<int>((Utf16Length(long_name) + 12) / 13);
}

// The size of the stick's sectors, the unit the kernel writes a folder in;
// where the system does not tell, a cluster, which holds whole sectors.
int64_t SectorSize(int fd) {
  struct stat info;
  if (fstat(fd, &info) != 0) return 65536;
  for (const char* path :
       {"/sys/dev/block/%u:%u/queue/logical_block_size",
        "/sys/dev/block/%u:%u/../queue/logical_block_size"}) {
    char name[96];
    snprintf(name, sizeof name, path, major(info.st_dev), minor(info.st_dev));
    FILE* file = fopen(name, "re");
    long size = 0;
    if (!file) continue;
    bool read = fscanf(file, "%ld", &size) == 1;
    fclose(file);
    if (read && size >= 512) return size;
  }
  return info.st_blksize >= 512 ? info.st_blksize : 65536;
}

}  // namespace

VfatSlots::VfatSlots(int folder_fd, MediumSync* sync)
    : StickSlots(folder_fd, sync) {
  // vfat files a folder's first cluster under the folder it was made in
  // until that one is synced, and the folder's own fsync skips it: the
  // entries standing there would reach the stick only by chance.
  int parent = openat(folder_fd, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (parent >= 0) {
    fsync(parent);
    close(parent);
  }
}

bool VfatSlots::ReadSlots(int fd, int64_t from, const std::string* stop_at,
                          std::vector<Entry>* entries) {
  entries->clear();
  if (lseek(fd, from, SEEK_SET) != from) return false;
  for (;;) {
    // After each call the position is where the next entry's first slot
    // stands (the root's "." and ".." stand before slot 0).
    off_t start = lseek(fd, 0, SEEK_CUR);
    struct __fat_dirent names[2];
    int found = ioctl(fd, VFAT_IOCTL_READDIR_BOTH, names);
    if (found < 0) return false;
    if (found == 0) return stop_at == nullptr;
    std::string short_name(names[0].d_name, names[0].d_reclen);
    std::string long_name(names[1].d_name, names[1].d_reclen);
    const std::string& name = long_name.empty() ? short_name : long_name;
    if (name == "." || name == "..") continue;
    entries->push_back({name, false, start & ~static_cast<off_t>(31),
                        SlotsFor(long_name)});
    if (stop_at && name == *stop_at) return true;
  }
}

// vfat's slot calls do not tell folders from files; the plain listing does.
// A name it does not show is left where it stands, as a folder is.
bool VfatSlots::CompleteListing(int fd, bool staging,
                                std::vector<Entry>* entries) {
  (void)staging;
  std::map<std::string, bool> folders;
  if (!ListFolder(fd, [&folders](const dirent& entry) {
        folders[entry.d_name] = entry.d_type == DT_DIR;
      }))
    return false;
  for (Entry& entry : *entries) {
    auto folder = folders.find(entry.name);
    entry.directory = folder == folders.end() || folder->second;
  }
  return true;
}

bool VfatSlots::Mark() {
  int fd = Staging();
  if (fd < 0) return false;
  __u32 attributes = ATTR_DIR | kStagingMark;
  if (ioctl(fd, FAT_IOCTL_SET_ATTRIBUTES, &attributes) != 0) return false;
  Sync(fd);
  // The file too: Windows programs under Wine see no FAT attributes, and
  // must know the folder as ours to finish a step cut short here.
  return TagMark();
}

bool VfatSlots::Marked() {
  int fd = Staging();
  __u32 attributes = 0;
  return (fd >= 0 && ioctl(fd, FAT_IOCTL_GET_ATTRIBUTES, &attributes) == 0 &&
          (attributes & kStagingMark) == kStagingMark) ||
         TagMarked();
}

void VfatSlots::PutStagingOnStick() {
  // An entry on the stick before the folder's first cluster and its chain
  // in the FAT makes vfat set the whole stick read-only at the next look.
  // So the FAT first (the new folder holds nothing else to write of its
  // own), then its cluster and its entry, both filed under this folder.
  Sync(Staging());
  Sync(folder_);
}

// The rename, then the folder it went to, then the moved file's entry with
// its clusters, then the folder it left: the new entry reaches the stick
// whole (a long name may span two sectors) before it holds the file. A
// stick pulled between the first two holds an empty twin of the file,
// which a next step removes. With `left_first` the folder it left comes
// before the rest of the folder it went to (see MoveOut).
bool VfatSlots::Move(int from_fd, int to_fd, const std::string& name,
                     bool left_first) {
  if (renameat2(from_fd, name.c_str(), to_fd, name.c_str(), RENAME_NOREPLACE) !=
      0)
    return false;
  if (left_first) {
    PutRenameOnStick(sync_, from_fd, to_fd, name,
                     {StickWrite::kFile, StickWrite::kOldFolder,
                      StickWrite::kNewFolder});
  } else {
    PutRenameOnStick(sync_, from_fd, to_fd, name,
                     {StickWrite::kNewFolder, StickWrite::kFile,
                      StickWrite::kOldFolder});
  }
  return true;
}

bool VfatSlots::MoveOut(const std::string& name) {
  int staging = Staging();
  if (staging < 0) return false;
  // Writing the staging folder writes its own entry too, and with it the
  // sector that entry stands in. When the old entry stands there too, its
  // removal must wait for the new entry's clusters, and should go to the
  // stick at once, not in part: the folder it leaves comes first then.
  if (sector_ == 0) sector_ = SectorSize(folder_);
  auto old = standing_.find(name);
  bool apart = old != standing_.end() && staging_at_ >= 0 &&
               (old->second.start / sector_ > staging_at_ / sector_ ||
                (old->second.start + 32 * old->second.slots - 1) / sector_ <
                    staging_at_ / sector_);
  return Move(folder_, staging, name, !apart);
}

}  // namespace quenby
