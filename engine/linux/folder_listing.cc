#include "folder_listing.h"

#include <unistd.h>

namespace quenby {

bool ListFolder(int folder, const std::function<void(const dirent&)>& each) {
  // A descriptor of its own, which closing the listing closes.
  int list_fd = dup(folder);
  DIR* dir = list_fd >= 0 ? fdopendir(list_fd) : nullptr;
  if (!dir) {
    if (list_fd >= 0) close(list_fd);
    return false;
  }
  rewinddir(dir);  // A dup shares its place with the original.
  while (const dirent* entry = readdir(dir)) each(*entry);
  closedir(dir);
  return true;
}

}  // namespace quenby
