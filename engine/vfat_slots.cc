#include "vfat_slots.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/msdos_fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>

#include "text_encoding.h"

namespace quenby {

namespace {

// Marks the staging folder as ours: a user's folder of that name would not
// carry both. Windows hides it too.
constexpr __u32 kStagingMark = ATTR_HIDDEN | ATTR_SYS;

// The slots a name takes: one for the short entry, and one more per 13
// UTF-16 units of a long name (vfat hands the long name over in UTF-8).
int SlotsFor(const std::string& long_name) {
  if (long_name.empty()) return 1;
  size_t units = 0;
  for (size_t pos = 0; pos < long_name.size();) {
    int32_t c = NextCodePoint(long_name, &pos);
    units += c >= 0x10000 ? 2 : 1;
  }
  return 1 + static_cast<int>((units + 12) / 13);
}

// The rename, then the moved file, then the folder it went to, then the one
// it left: each written before the next, so that a pulled stick never holds
// the new name without the file's clusters.
bool MoveDurably(int from_fd, int to_fd, const std::string& name) {
  if (renameat2(from_fd, name.c_str(), to_fd, name.c_str(),
                RENAME_NOREPLACE) != 0)
    return false;
  int file = openat(to_fd, name.c_str(),
                    O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (file >= 0) {
    fsync(file);
    close(file);
  } else {
    syncfs(to_fd);
  }
  fsync(to_fd);
  fsync(from_fd);
  return true;
}

}  // namespace

VfatSlots::~VfatSlots() {
  if (staging_ >= 0) close(staging_);
}

int VfatSlots::Staging() {
  if (staging_ < 0)
    staging_ = openat(folder_, kStagingName,
                      O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  return staging_;
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

bool VfatSlots::List(bool staging, std::vector<Entry>* entries) {
  int fd = staging ? Staging() : folder_;
  if (fd < 0 || !ReadSlots(fd, 0, nullptr, entries)) return false;
  // The slot calls do not tell folders from files; the plain listing does.
  int list_fd = dup(fd);
  DIR* dir = list_fd >= 0 ? fdopendir(list_fd) : nullptr;
  if (!dir) {
    if (list_fd >= 0) close(list_fd);
    return false;
  }
  rewinddir(dir);
  std::map<std::string, bool> folders;
  while (const dirent* entry = readdir(dir))
    folders[entry->d_name] = entry->d_type == DT_DIR;
  closedir(dir);
  for (Entry& entry : *entries) {
    auto folder = folders.find(entry.name);
    // A name the listing does not show is left where it stands.
    entry.directory = folder == folders.end() || folder->second;
  }
  return true;
}

bool VfatSlots::ReadFrom(int64_t from, const std::string& name,
                         std::vector<Entry>* entries) {
  return ReadSlots(folder_, from, &name, entries);
}

bool VfatSlots::Holds(bool staging, const std::string& name) {
  int fd = staging ? Staging() : folder_;
  struct stat info;
  return fd >= 0 &&
         fstatat(fd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0;
}

bool VfatSlots::HasStaging() {
  int fd = Staging();
  __u32 attributes = 0;
  return fd >= 0 && ioctl(fd, FAT_IOCTL_GET_ATTRIBUTES, &attributes) == 0 &&
         (attributes & kStagingMark) == kStagingMark;
}

bool VfatSlots::MakeStaging() {
  if (mkdirat(folder_, kStagingName, 0755) != 0) return false;
  int fd = Staging();
  __u32 attributes = ATTR_DIR | kStagingMark;
  if (fd < 0 || ioctl(fd, FAT_IOCTL_SET_ATTRIBUTES, &attributes) != 0) {
    RemoveStaging();
    return false;
  }
  fsync(fd);
  fsync(folder_);
  return true;
}

bool VfatSlots::RemoveStaging() {
  if (unlinkat(folder_, kStagingName, AT_REMOVEDIR) != 0) return false;
  if (staging_ >= 0) close(staging_);
  staging_ = -1;
  fsync(folder_);
  return true;
}

bool VfatSlots::MoveOut(const std::string& name) {
  int staging = Staging();
  return staging >= 0 && MoveDurably(folder_, staging, name);
}

bool VfatSlots::MoveIn(const std::string& name) {
  int staging = Staging();
  return staging >= 0 && MoveDurably(staging, folder_, name);
}

bool VfatSlots::MakePlaceholder(const std::string& name) {
  int fd = openat(folder_, name.c_str(),
                  O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  fsync(fd);
  close(fd);
  fsync(folder_);
  return true;
}

bool VfatSlots::RemovePlaceholder(const std::string& name) {
  // Only an empty file: whatever else carries the name is not ours.
  struct stat info;
  if (fstatat(folder_, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0 ||
      !S_ISREG(info.st_mode) || info.st_size != 0 ||
      unlinkat(folder_, name.c_str(), 0) != 0)
    return false;
  fsync(folder_);
  return true;
}

}  // namespace quenby
