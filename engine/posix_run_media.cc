#include "posix_run_media.h"

#include <fcntl.h>
#include <linux/magic.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <string_view>

#include "posix_stick_writes.h"

namespace quenby {

namespace {

// The length of the folder part of `path`, its last slash included; 0 for
// a bare name, which lies in the current directory.
size_t FolderLength(const std::string& path) {
  const void* slash = memrchr(path.data(), '/', path.size());
  return slash ? static_cast<const char*>(slash) - path.data() + 1 : 0;
}

}  // namespace

const RunMedia::Folder* RunMedia::FolderOf(const std::string& path) {
  size_t length = FolderLength(path);
  if (have_last_ && std::string_view(path).substr(0, length) == last_path_)
    return &last_;

  // Not kept when it fails: the folder may yet appear, renamed by the run.
  have_last_ = false;
  last_path_.assign(path, 0, length);
  const char* folder = length == 0 ? "." : last_path_.c_str();
  struct stat info;
  if (stat(folder, &info) != 0 || !S_ISDIR(info.st_mode)) return nullptr;

  Medium* medium = nullptr;
  for (const auto& known : media_)
    if (known->device == info.st_dev) medium = known.get();
  if (!medium) {
    auto made = std::make_unique<Medium>();
    made->device = info.st_dev;
    struct statfs fs_info;
    bool known = statfs(folder, &fs_info) == 0;
    made->fat = known && (fs_info.f_type == MSDOS_SUPER_MAGIC ||
                          fs_info.f_type == EXFAT_SUPER_MAGIC);
    made->kind = known && fs_info.f_type == EXFAT_SUPER_MAGIC ? FatKind::kExfat
                                                              : FatKind::kVfat;
    made->fd = open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    medium = made.get();
    media_.push_back(std::move(made));
  }

  last_ = Folder();
  last_.medium = medium;
  if (medium->fat) {
    std::unique_ptr<FatFolder>& fat =
        fat_folders_[std::make_pair(info.st_dev, info.st_ino)];
    if (!fat) {
      fat = std::make_unique<FatFolder>(folder, run_files, medium->kind);
      Strand(fat.get());
    }
    last_.fat = fat.get();
  }
  have_last_ = true;
  return &last_;
}

void RunMedia::Renamed(const Folder& folder, const std::string& old_path,
                       const std::string& new_path) {
  folder.medium->renamed = true;
  if (!folder.medium->fat) return;
  size_t old_length = FolderLength(old_path);
  size_t new_length = FolderLength(new_path);
  FatFolder* to = folder.fat;
  FatFolder* from = to;
  if (old_path.compare(0, old_length, new_path, 0, new_length) != 0) {
    // Renamed between two folders: entries never do, but a caller may.
    Folder target = folder;
    const Folder* source = FolderOf(old_path);
    from = source ? source->fat : nullptr;
    to = target.fat;
  }
  if (to && to->ok() && from && from->ok()) {
    to->Renamed(from, std::string_view(old_path).substr(old_length),
                new_path.substr(new_length));
  } else {
    syncfs(folder.medium->fd);  // A folder we could not read: all of it.
  }
}

void RunMedia::Done() {
  for (const auto& folder : fat_folders_) {
    folder.second->Done();
    Strand(folder.second.get());
  }
  for (const auto& medium : media_)
    if (medium->renamed && medium->fd >= 0) syncfs(medium->fd);
  Forget();
}

void RunMedia::Strand(FatFolder* folder) {
  for (auto& paths : folder->TakeStranded()) stranded_.push_back(std::move(paths));
}

bool RunMedia::TakeStranded(std::string* from, std::string* to) {
  if (stranded_.empty()) return false;
  *from = std::move(stranded_.front().first);
  *to = std::move(stranded_.front().second);
  stranded_.erase(stranded_.begin());
  return true;
}

void RunMedia::Forget() {
  for (const auto& medium : media_)
    if (medium->fd >= 0) close(medium->fd);
  media_.clear();
  fat_folders_.clear();
  run_files = RunFiles();
  have_last_ = false;
}

}  // namespace quenby
