#include "posix_fat_slots.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <linux/msdos_fs.h>
#include <sys/ioctl.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <map>

#include "posix_stick_writes.h"
#include "text_encoding.h"

namespace quenby {

namespace {

// Marks the staging folder as ours: a user's folder of that name would not
// carry both. Windows hides it too.
constexpr __u32 kStagingMark = ATTR_HIDDEN | ATTR_SYS;

// The UTF-16 units of a name, which both drivers hand over in UTF-8.
int64_t Utf16Units(const std::string& name) {
  int64_t units = 0;
  for (size_t pos = 0; pos < name.size();) {
    int32_t c = NextCodePoint(name, &pos);
    units += c >= 0x10000 ? 2 : 1;
  }
  return units;
}

// On vfat: one slot for the short entry, and one more per 13 UTF-16 units
// of a long name.
int VfatSlotsFor(const std::string& long_name) {
  if (long_name.empty()) return 1;
  return 1 + static_cast<int>((Utf16Units(long_name) + 12) / 13);
}

// On exfat: a file entry, a stream entry, and a name entry per 15 units.
int ExfatSlotsFor(const std::string& name) {
  return 2 + static_cast<int>((Utf16Units(name) + 14) / 15);
}

struct Dirent64 {
  uint64_t ino;
  int64_t off;
  unsigned short reclen;
  unsigned char type;
  char name[1];
};

// One getdents64 call into `buffer` (32 KiB), of `*size` bytes, which grows
// to the whole buffer for a name too long for it.
long GetDents(int fd, char* buffer, size_t* size) {
  long read = syscall(SYS_getdents64, fd, buffer, *size);
  if (read < 0 && errno == EINVAL && *size < 32768) {
    *size = 32768;
    read = syscall(SYS_getdents64, fd, buffer, *size);
  }
  return read;
}

// The next entry of a getdents64 reading of `read` bytes from `*at` on,
// past "." and "..", or null at its end.
const Dirent64* NextEntry(const char* buffer, long read, long* at) {
  while (*at < read) {
    const Dirent64* entry = reinterpret_cast<const Dirent64*>(buffer + *at);
    *at += entry->reclen;
    if (strcmp(entry->name, ".") != 0 && strcmp(entry->name, "..") != 0)
      return entry;
  }
  return nullptr;
}

// Whether a reading of the folder from `at` begins with `name`: exfat
// passes over an entry set that begins before `at`.
bool BeginsWith(int fd, int64_t at, const std::string& name) {
  alignas(Dirent64) char buffer[32768];
  size_t size = 320;
  if (lseek(fd, at, SEEK_SET) != at) return false;
  for (;;) {
    long read = GetDents(fd, buffer, &size);
    if (read <= 0) return false;
    long at = 0;
    if (const Dirent64* entry = NextEntry(buffer, read, &at))
      return name == entry->name;
  }
}

// Where an entry that came last in a reading begins, between `low`, from
// which a reading begins with it, and `high`, what its offset tells. The
// folder's last entry gets the offset at which exfat stopped looking for
// another, past the free slots after it, so its offset may tell too much.
int64_t SettleStart(int fd, const std::string& name, int64_t low,
                    int64_t high) {
  // From `low` on in growing steps, then halving: an entry that ends the
  // folder mostly stands right after `low`.
  int64_t step = 32;
  while (low < high) {
    int64_t probe = std::min(low + step, high);
    if (!BeginsWith(fd, probe, name)) {
      high = probe - 32;
      break;
    }
    low = probe;
    step *= 2;
  }
  while (low < high) {
    int64_t middle = low + ((high - low) / 32 + 1) / 2 * 32;
    if (BeginsWith(fd, middle, name))
      low = middle;
    else
      high = middle - 32;
  }
  return low;
}

// exfat's readdir walks the folder slot by slot, in the order entries stand
// on the stick, and gives each entry the offset of the slot just past it
// (32 bytes a slot; "." and ".." get 1 and 2), but for the folder's last
// (see SettleStart). An entry whose slots do not follow the last one's ends
// the reading: the positions are not what the step builds on, and the
// order is left alone.
bool ReadExfatSlots(int fd, int64_t from, const std::string* stop_at,
                    std::vector<SlotFolder::Entry>* entries) {
  if (lseek(fd, from, SEEK_SET) != from) return false;
  // A reading up to one name needs an entry or two, not the buffer's worth
  // that exfat would look up and hand over each time.
  alignas(Dirent64) char buffer[32768];
  size_t size = stop_at ? 320 : sizeof buffer;
  int64_t end = (from + 31) / 32 * 32;
  for (;;) {
    long read = GetDents(fd, buffer, &size);
    if (read <= 0) return read == 0 && stop_at == nullptr;
    long at = 0;
    while (const Dirent64* entry = NextEntry(buffer, read, &at)) {
      std::string name = entry->name;
      int slots = ExfatSlotsFor(name);
      int64_t start = entry->off - 32 * slots;
      if (start < end) return false;
      if (at == read) {
        off_t next = lseek(fd, 0, SEEK_CUR);
        start = SettleStart(fd, name, end, start);
        if (lseek(fd, next, SEEK_SET) != next) return false;
      }
      end = start + 32 * slots;
      entries->push_back({name, entry->type == DT_DIR, start, slots});
      if (stop_at && name == *stop_at) return true;
    }
  }
}

// vfat's slot calls do not tell folders from files; the plain listing of
// the folder open at `fd` does. A name it does not show is left where it
// stands, as a folder is.
bool MarkFolders(int fd, std::vector<SlotFolder::Entry>* entries) {
  std::map<std::string, bool> folders;
  if (!ListFolder(fd, [&folders](const dirent& entry) {
        folders[entry.d_name] = entry.d_type == DT_DIR;
      }))
    return false;
  for (SlotFolder::Entry& entry : *entries) {
    auto folder = folders.find(entry.name);
    entry.directory = folder == folders.end() || folder->second;
  }
  return true;
}

// The size of the stick's sectors, the unit the kernel writes a folder in;
// where the system does not tell, a cluster, which holds whole sectors.
int64_t SectorSize(int fd) {
  struct stat info;
  if (fstat(fd, &info) != 0) return 65536;
  for (const char* path : {"/sys/dev/block/%u:%u/queue/logical_block_size",
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

FatSlots::FatSlots(int folder_fd, FatKind kind)
    : folder_(folder_fd), kind_(kind) {
  if (kind_ == FatKind::kExfat) return;
  // vfat files a folder's first cluster under the folder it was made
  // in until that one is synced, and the folder's own fsync skips it: the
  // entries standing there would reach the stick only by chance.
  int parent = openat(folder_fd, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (parent >= 0) {
    fsync(parent);
    close(parent);
  }
}

// On vfat: the rename, then the folder it went to, then the moved file's
// entry with its clusters, then the folder it left: the new entry reaches
// the stick whole (a long name may span two sectors) before it holds the
// file. A stick pulled between the first two holds an empty twin of the
// file, which a next step removes. With `left_first` the folder it left
// comes before the rest of the folder it went to (see MoveOut).
// On exfat: the rename, then PutExfatRenameOnStick.
bool FatSlots::Move(int from_fd, int to_fd, const std::string& name,
                    bool left_first) {
  if (renameat2(from_fd, name.c_str(), to_fd, name.c_str(),
                RENAME_NOREPLACE) != 0)
    return false;
  if (kind_ == FatKind::kExfat) {
    PutExfatRenameOnStick(this, to_fd);
  } else if (left_first) {
    PutRenameOnStick(this, from_fd, to_fd, name,
                     {StickWrite::kFile, StickWrite::kOldFolder,
                      StickWrite::kNewFolder});
  } else {
    PutRenameOnStick(this, from_fd, to_fd, name,
                     {StickWrite::kNewFolder, StickWrite::kFile,
                      StickWrite::kOldFolder});
  }
  return true;
}

FatSlots::~FatSlots() {
  if (staging_ >= 0) close(staging_);
}

int FatSlots::Staging() {
  if (staging_ < 0)
    staging_ = openat(folder_, kStagingName,
                      O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  return staging_;
}

bool FatSlots::ReadSlots(int fd, int64_t from, const std::string* stop_at,
                         std::vector<Entry>* entries) {
  entries->clear();
  if (kind_ == FatKind::kExfat)
    return ReadExfatSlots(fd, from, stop_at, entries);
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
                        VfatSlotsFor(long_name)});
    if (stop_at && name == *stop_at) return true;
  }
}

bool FatSlots::List(bool staging, std::vector<Entry>* entries) {
  int fd = staging ? Staging() : folder_;
  if (fd < 0 || !ReadSlots(fd, 0, nullptr, entries)) return false;
  if (kind_ == FatKind::kExfat) {
    if (staging) {
      entries->erase(std::remove_if(entries->begin(), entries->end(),
                                    [](const Entry& entry) {
                                      return !entry.directory &&
                                             entry.name == kStagingMarkName;
                                    }),
                     entries->end());
    }
  } else if (!MarkFolders(fd, entries)) {
    return false;
  }
  if (!staging) {
    standing_.clear();
    staging_at_ = -1;
    for (const Entry& entry : *entries) {
      standing_[entry.name] = entry;
      if (entry.directory && entry.name == kStagingName)
        staging_at_ = entry.start;
    }
  }
  return true;
}

bool FatSlots::ReadFrom(int64_t from, const std::string& name,
                         std::vector<Entry>* entries) {
  return ReadSlots(folder_, from, &name, entries);
}

bool FatSlots::StandsAt(int64_t at, const std::string& name, Entry* entry) {
  if (kind_ == FatKind::kVfat) return SlotFolder::StandsAt(at, name, entry);
  // exfat reads on from a slot through every free slot after the entry it
  // finds there: behind the cursor, all the folder's moved-out files. So a
  // reading costs as much as the move itself, and the file's place is
  // foreseen instead. Every slot before `at` is taken, and exfat puts a new
  // entry set into the first free run that holds it: here, unless an entry
  // the last listing showed stands in its way (the step's own, made since,
  // all stand before `at`).
  const int slots = ExfatSlotsFor(name);
  if (foresee_) {
    const int64_t end = at + 32 * slots;
    for (const auto& standing : standing_) {
      const Entry& other = standing.second;
      if (other.start < end && other.start + 32 * other.slots > at)
        return false;
    }
  } else if (!BeginsWith(folder_, at, name) ||
             BeginsWith(folder_, at + 32, name)) {
    // Read: a reading from `at` begins with it, and one from the next slot
    // passes over it.
    return false;
  }
  *entry = {name, false, at, slots};
  return true;
}

bool FatSlots::ReadLandings() {
  if (kind_ != FatKind::kExfat || !foresee_) return false;
  foresee_ = false;
  return true;
}

bool FatSlots::Holds(bool staging, const std::string& name) {
  int fd = staging ? Staging() : folder_;
  struct stat info;
  return fd >= 0 &&
         fstatat(fd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0;
}

bool FatSlots::Mark() {
  int fd = Staging();
  if (fd < 0) return false;
  if (kind_ == FatKind::kExfat) {
    int mark = openat(fd, kStagingMarkName,
                      O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (mark < 0) return false;
    close(mark);
    // The folder's sync writes its own size too, should the staging
    // folder's entry have grown it.
    Sync(folder_);
    return true;
  }
  __u32 attributes = ATTR_DIR | kStagingMark;
  if (ioctl(fd, FAT_IOCTL_SET_ATTRIBUTES, &attributes) != 0) return false;
  Sync(fd);
  return true;
}

bool FatSlots::Marked() {
  int fd = Staging();
  if (fd < 0) return false;
  if (kind_ == FatKind::kExfat) {
    struct stat info;
    return fstatat(fd, kStagingMarkName, &info, AT_SYMLINK_NOFOLLOW) == 0 &&
           S_ISREG(info.st_mode) && info.st_size == 0;
  }
  __u32 attributes = 0;
  return ioctl(fd, FAT_IOCTL_GET_ATTRIBUTES, &attributes) == 0 &&
         (attributes & kStagingMark) == kStagingMark;
}

bool FatSlots::HasStaging() {
  int fd = Staging();
  if (fd < 0) return false;
  if (Marked()) return true;
  // Empty and unmarked: a pull came between its making and its marks, or
  // during its removal.
  std::vector<Entry> entries;
  return ReadSlots(fd, 0, nullptr, &entries) && entries.empty() && Mark();
}

bool FatSlots::MakeStaging() {
  if (mkdirat(folder_, kStagingName, 0755) != 0) return false;
  int fd = Staging();
  if (fd < 0) {
    RemoveStaging();
    return false;
  }
  // An entry on the stick before the folder's first cluster and its chain
  // in the FAT makes vfat set the whole stick read-only at the next look.
  // So the FAT first (the new folder holds nothing else to write of its
  // own), then its cluster and its entry, both filed under this folder.
  // On exfat the mark's sync writes them all.
  if (kind_ == FatKind::kVfat) {
    Sync(fd);
    Sync(folder_);
  }
  if (!Mark()) {
    RemoveStaging();
    return false;
  }
  return true;
}

bool FatSlots::RemoveStaging() {
  if (kind_ == FatKind::kExfat) {
    // The mark goes last of what the folder holds: a staging folder with
    // files but no mark would be a user's.
    std::vector<Entry> entries;
    if (!List(true, &entries) || !entries.empty()) return false;
    int fd = Staging();
    if (fd >= 0 && unlinkat(fd, kStagingMarkName, 0) != 0 && errno != ENOENT)
      return false;
  }
  if (unlinkat(folder_, kStagingName, AT_REMOVEDIR) != 0) return false;
  if (staging_ >= 0) close(staging_);
  staging_ = -1;
  Sync(folder_);
  return true;
}

bool FatSlots::MoveOut(const std::string& name) {
  int staging = Staging();
  if (staging < 0) return false;
  if (kind_ == FatKind::kExfat) return Move(folder_, staging, name, false);
  // Writing the staging folder writes its own entry too, and with it the
  // sector that entry stands in. When the old entry stands there too, its
  // removal must wait for the new entry's clusters, and should go to the
  // stick at once, not in part: the folder it leaves comes first then.
  if (sector_ == 0) sector_ = SectorSize(folder_);
  auto old = standing_.find(name);
  bool apart =
      old != standing_.end() && staging_at_ >= 0 &&
      (old->second.start / sector_ > staging_at_ / sector_ ||
       (old->second.start + 32 * old->second.slots - 1) / sector_ <
           staging_at_ / sector_);
  return Move(folder_, staging, name, !apart);
}

bool FatSlots::MoveIn(const std::string& name) {
  int staging = Staging();
  return staging >= 0 && Move(staging, folder_, name, false);
}

bool FatSlots::MakePlaceholder(const std::string& name) {
  int fd = openat(folder_, name.c_str(),
                  O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  close(fd);
  // Its entry, and a cluster the folder grew by, before the FAT links that
  // cluster in: vfat's fsync of the folder writes them in that order.
  Sync(folder_);
  return true;
}

int FatSlots::PlaceholderSlots() const {
  // A placeholder's name is 8.3 and upper case: vfat gives it no long name.
  return kind_ == FatKind::kExfat ? ExfatSlotsFor("QNB00001.$$$") : 1;
}

bool FatSlots::RemovePlaceholder(const std::string& name) {
  return RemoveEmpty(false, name);
}

bool FatSlots::RemoveEmpty(bool staging, const std::string& name) {
  // Only an empty file: it holds nothing to lose.
  int fd = staging ? Staging() : folder_;
  struct stat info;
  if (fd < 0 || fstatat(fd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0 ||
      !S_ISREG(info.st_mode) || info.st_size != 0 ||
      unlinkat(fd, name.c_str(), 0) != 0)
    return false;
  Sync(fd);
  return true;
}

}  // namespace quenby
