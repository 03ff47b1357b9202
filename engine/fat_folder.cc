#include "fat_folder.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include "fat_names.h"

namespace quenby {

FatFolder::FatFolder(const std::string& path) {
  fd_ = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd_ < 0) return;
  // The listing reads through its own descriptor; ours stays for the syncs.
  int list_fd = dup(fd_);
  DIR* dir = list_fd >= 0 ? fdopendir(list_fd) : nullptr;
  if (!dir) {
    if (list_fd >= 0) close(list_fd);
    close(fd_);
    fd_ = -1;
    return;
  }
  while (const dirent* entry = readdir(dir)) ++names_[FatNameKey(entry->d_name)];
  closedir(dir);
}

FatFolder::~FatFolder() {
  if (fd_ >= 0) close(fd_);
}

bool FatFolder::Taken(std::string_view name) const {
  return names_.count(FatNameKey(name)) != 0;
}

void FatFolder::Renamed(FatFolder* from, std::string_view old_name,
                        const std::string& new_name) {
  auto old_key = from->names_.find(FatNameKey(old_name));
  if (old_key != from->names_.end() && --old_key->second == 0)
    from->names_.erase(old_key);
  ++names_[FatNameKey(new_name)];

  // vfat writes the new entry with no clusters and attaches the file to it
  // later: written in another order, a pulled stick would keep the name and
  // lose what it held.
  int file = openat(fd_, new_name.c_str(),
                    O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (file >= 0) {
    fsync(file);
    close(file);
  } else {
    syncfs(fd_);  // Everything, the moved file's entry with it.
  }
  fsync(fd_);
  if (from != this) fsync(from->fd_);
}

}  // namespace quenby
