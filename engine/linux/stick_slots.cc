#include "stick_slots.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

namespace quenby {

StickSlots::~StickSlots() {
  if (staging_ >= 0) close(staging_);
}

int StickSlots::Staging() {
  if (staging_ < 0)
    staging_ = openat(folder_, kStagingName,
                      O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  return staging_;
}

bool StickSlots::List(bool staging, std::vector<Entry>* entries) {
  int fd = staging ? Staging() : folder_;
  if (fd < 0 || !ReadSlots(fd, 0, nullptr, entries) ||
      !CompleteListing(fd, staging, entries))
    return false;
  if (staging) {
    entries->erase(std::remove_if(entries->begin(), entries->end(),
                                  [](const Entry& entry) {
                                    return !entry.directory &&
                                           entry.name == kStagingMarkName;
                                  }),
                   entries->end());
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

bool StickSlots::TagMark() {
  int fd = Staging();
  int mark = fd < 0 ? -1
                    : openat(fd, kStagingMarkName,
                             O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (mark < 0) return false;
  close(mark);
  // The mark's entry, then the staging folder's and the folder's size,
  // should that entry have grown it (on exfat either sync writes all).
  Sync(fd);
  Sync(folder_);
  return true;
}

bool StickSlots::TagMarked() {
  int fd = Staging();
  struct stat info;
  return fd >= 0 &&
         fstatat(fd, kStagingMarkName, &info, AT_SYMLINK_NOFOLLOW) == 0 &&
         S_ISREG(info.st_mode) && info.st_size == 0;
}

bool StickSlots::Unmark() {
  std::vector<Entry> entries;
  if (!List(true, &entries) || !entries.empty()) return false;
  int fd = Staging();
  return fd < 0 || unlinkat(fd, kStagingMarkName, 0) == 0 || errno == ENOENT;
}

bool StickSlots::ReadFrom(int64_t from, const std::string& name,
                          std::vector<Entry>* entries) {
  return ReadSlots(folder_, from, &name, entries);
}

bool StickSlots::Holds(bool staging, const std::string& name) {
  int fd = staging ? Staging() : folder_;
  struct stat info;
  return fd >= 0 && fstatat(fd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0;
}

bool StickSlots::HasStaging() {
  int fd = Staging();
  if (fd < 0) return false;
  if (Marked()) return true;
  // Empty and unmarked: a pull came between its making and its marks, or
  // during its removal.
  std::vector<Entry> entries;
  return ReadSlots(fd, 0, nullptr, &entries) && entries.empty() && Mark();
}

bool StickSlots::MakeStaging() {
  if (mkdirat(folder_, kStagingName, 0755) != 0) return false;
  if (Staging() < 0) {
    RemoveStaging();
    return false;
  }
  PutStagingOnStick();
  if (!Mark()) {
    RemoveStaging();
    return false;
  }
  return true;
}

bool StickSlots::RemoveStaging() {
  if (!Unmark() || unlinkat(folder_, kStagingName, AT_REMOVEDIR) != 0)
    return false;
  if (staging_ >= 0) close(staging_);
  staging_ = -1;
  Sync(folder_);
  return true;
}

bool StickSlots::MoveIn(const std::string& name) {
  int staging = Staging();
  return staging >= 0 && Move(staging, folder_, name, false);
}

bool StickSlots::MakePlaceholder(const std::string& name) {
  int fd = openat(folder_, name.c_str(),
                  O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  close(fd);
  // Its entry, and a cluster the folder grew by, before the FAT links that
  // cluster in: vfat's fsync of the folder writes them in that order.
  Sync(folder_);
  return true;
}

bool StickSlots::RemovePlaceholder(const std::string& name) {
  return RemoveEmpty(false, name);
}

bool StickSlots::RemoveEmpty(bool staging, const std::string& name) {
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
