#include "linux_stick.h"

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include "exfat_slots.h"
#include "fat_order.h"
#include "folder_listing.h"
#include "vfat_slots.h"

namespace quenby {

std::unique_ptr<SlotFolder> OpenSlots(int folder_fd, FatKind kind,
                                      MediumSync* sync) {
  switch (kind) {
    case FatKind::kVfat:
      return std::make_unique<VfatSlots>(folder_fd, sync);
    case FatKind::kExfat:
      return std::make_unique<ExfatSlots>(folder_fd, sync);
    case FatKind::kNone:
      break;
  }
  return nullptr;
}

namespace {

class LinuxStickFolder : public StickFolder {
 public:
  LinuxStickFolder(int fd, FatKind kind, const RunFiles& run_files)
      : fd_(fd), kind_(kind), run_files_(run_files) {}
  ~LinuxStickFolder() override { close(fd_); }

  bool ListNames(const std::function<void(std::string_view name)>& each)
      override {
    return ListFolder(fd_,
                      [&each](const dirent& entry) { each(entry.d_name); });
  }

  std::set<std::string> RunFilesHere() override {
    std::set<std::string> here;
    for (const RunFile* file : {&run_files_.playlist, &run_files_.log}) {
      struct stat info;
      if (!file->name.empty() &&
          fstatat(fd_, file->name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
          info.st_dev == file->device && info.st_ino == file->inode)
        here.insert(file->name);
    }
    return here;
  }

  std::unique_ptr<SlotFolder> Slots() override {
    return OpenSlots(fd_, kind_, &sync_);
  }

  void PutRenameOnStick(StickFolder* from, const std::string& name) override {
    int from_fd = static_cast<LinuxStickFolder*>(from)->fd_;
    if (kind_ == FatKind::kExfat) {
      PutExfatRenameOnStick(&sync_, fd_);
      return;
    }
    // vfat writes the new entry with no clusters and attaches the file to
    // it later: the file first, so that a pulled stick never keeps the
    // name without what it held.
    quenby::PutRenameOnStick(&sync_, from_fd, fd_, name,
                             {StickWrite::kFile, StickWrite::kNewFolder,
                              StickWrite::kOldFolder});
  }

 private:
  int fd_;
  FatKind kind_;
  const RunFiles& run_files_;
  MediumSync sync_;
};

}  // namespace

bool LinuxStick::LookAt(const std::string& folder, Place* place) {
  const char* path = folder.empty() ? "." : folder.c_str();
  struct stat info;
  if (stat(path, &info) != 0 || !S_ISDIR(info.st_mode)) return false;
  auto found = media_.find(info.st_dev);
  if (found == media_.end()) {
    Medium medium;
    struct statfs fs_info;
    if (statfs(path, &fs_info) == 0) {
      if (fs_info.f_type == MSDOS_SUPER_MAGIC) medium.kind = FatKind::kVfat;
      if (fs_info.f_type == EXFAT_SUPER_MAGIC) medium.kind = FatKind::kExfat;
    }
    medium.fd = open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    found = media_.emplace(info.st_dev, medium).first;
  }
  place->medium = info.st_dev;
  place->folder = info.st_ino;
  place->on_stick = found->second.kind != FatKind::kNone;
  // Under iocharset=utf8 vfat misses a long name taken in other letter
  // case; exfat refuses such a name itself, through the stick's up-case
  // table.
  place->check_case = found->second.kind == FatKind::kVfat;
  return true;
}

std::unique_ptr<StickFolder> LinuxStick::Open(const std::string& folder,
                                              const Place& place) {
  int fd = open(folder.empty() ? "." : folder.c_str(),
                O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  return std::make_unique<LinuxStickFolder>(
      fd, media_[static_cast<dev_t>(place.medium)].kind, *run_files_);
}

void LinuxStick::SyncMedium(uint64_t medium) {
  auto found = media_.find(static_cast<dev_t>(medium));
  if (found != media_.end() && found->second.fd >= 0) syncfs(found->second.fd);
}

void LinuxStick::Forget() {
  for (const auto& medium : media_)
    if (medium.second.fd >= 0) close(medium.second.fd);
  media_.clear();
}

}  // namespace quenby
