#include "stick_writes.h"

#include <fcntl.h>
#include <unistd.h>

namespace quenby {

void MediumSync::Sync(int fd, bool whole) {
  if (whole)
    syncfs(fd);
  else
    fsync(fd);
}

void PutRenameOnStick(MediumSync* sync, int from_folder, int to_folder,
                      const std::string& name,
                      std::initializer_list<StickWrite> order) {
  for (StickWrite write : order) {
    switch (write) {
      case StickWrite::kFile: {
        int file = openat(to_folder, name.c_str(),
                          O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (file >= 0) {
          sync->Sync(file);
          close(file);
        } else {
          sync->Sync(to_folder, true);  // Its entry goes with everything.
        }
        break;
      }
      case StickWrite::kNewFolder:
        sync->Sync(to_folder);
        break;
      case StickWrite::kOldFolder:
        if (from_folder != to_folder) sync->Sync(from_folder);
        break;
    }
  }
}

void PutExfatRenameOnStick(MediumSync* sync, int to_folder) {
  sync->Sync(to_folder);
}

}  // namespace quenby
