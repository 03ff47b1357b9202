#include "posix_fat_folder.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "fat_order.h"
#include "numbered_path.h"
#include "posix_fat_names.h"
#include "posix_stick_writes.h"
#include "posix_fat_slots.h"

namespace quenby {

FatFolder::FatFolder(const std::string& path, const RunFiles& run_files,
                     FatKind kind)
    : path_(path), kind_(kind) {
  fd_ = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd_ < 0) return;
  for (const RunFile* file : {&run_files.playlist, &run_files.log}) {
    struct stat info;
    if (!file->name.empty() &&
        fstatat(fd_, file->name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
        info.st_dev == file->device && info.st_ino == file->inode)
      fixed_.insert(file->name);
  }
  // A staging folder that a run cut short left is emptied first.
  Order(false);
  if (kind_ == FatKind::kVfat && !ListFolder(fd_, [this](const dirent& entry) {
        ++names_[FatNameKey(entry.d_name)];
      })) {
    close(fd_);
    fd_ = -1;
  }
}

void FatFolder::Order(bool start) {
  FatSlots slots(fd_, kind_);
  OrderOutcome outcome = PutInOrder(&slots, start, fixed_);
  stranded_.insert(stranded_.end(), outcome.stranded.begin(),
                   outcome.stranded.end());
}

void FatFolder::Done() {
  if (numbered_ && fd_ >= 0) Order(true);
}

std::vector<std::pair<std::string, std::string>> FatFolder::TakeStranded() {
  std::string folder = path_ == "." ? "" : path_;
  if (!folder.empty() && folder.back() != '/') folder += '/';
  std::vector<std::pair<std::string, std::string>> paths;
  for (const std::string& name : stranded_)
    paths.emplace_back(folder + kStagingName + "/" + name, folder + name);
  stranded_.clear();
  return paths;
}

FatFolder::~FatFolder() {
  if (fd_ >= 0) close(fd_);
}

bool FatFolder::Taken(std::string_view name) const {
  return names_.count(FatNameKey(name)) != 0;
}

void FatFolder::Renamed(FatFolder* from, std::string_view old_name,
                        const std::string& new_name) {
  if (kind_ == FatKind::kVfat) {
    auto old_key = from->names_.find(FatNameKey(old_name));
    if (old_key != from->names_.end() && --old_key->second == 0)
      from->names_.erase(old_key);
    ++names_[FatNameKey(new_name)];
  }
  if (!numbered_ && from == this && IsNumberedPathOf(old_name, new_name))
    numbered_ = true;

  MediumSync sync;
  if (kind_ == FatKind::kExfat) {
    PutExfatRenameOnStick(&sync, fd_);
    return;
  }
  // vfat writes the new entry with no clusters and attaches the file to it
  // later: the file first, so that a pulled stick never keeps the name
  // without what it held.
  PutRenameOnStick(&sync, from->fd_, fd_, new_name,
                   {StickWrite::kFile, StickWrite::kNewFolder,
                    StickWrite::kOldFolder});
}

}  // namespace quenby
