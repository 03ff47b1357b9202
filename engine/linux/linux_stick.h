// The stick record's questions answered on Linux: a folder is on a stick
// when it lies on the kernel's vfat or exfat (FAT through FUSE is not: it
// cannot rename without replacing, and its slots are not the kernel's).
#ifndef QUENBY_ENGINE_LINUX_LINUX_STICK_H_
#define QUENBY_ENGINE_LINUX_LINUX_STICK_H_

#include <sys/types.h>

#include <map>
#include <memory>
#include <set>
#include <string>

#include "stick_platform.h"
#include "stick_writes.h"

namespace quenby {

// The kernel's two FAT drivers, or neither.
enum class FatKind { kNone, kVfat, kExfat };

// The slots of the folder open at `folder_fd` (the caller's, and open
// until the slots are gone) on a medium of `kind`, each write put on the
// stick through `sync`. Null for kNone.
std::unique_ptr<SlotFolder> OpenSlots(int folder_fd, FatKind kind,
                                      MediumSync* sync);

// A file that the run holds open, its playlist or its log.
struct RunFile {
  std::string name;  // The last part of its path.
  dev_t device = 0;
  ino_t inode = 0;
};

// The run's playlist and log.
struct RunFiles {
  RunFile playlist;
  RunFile log;
};

class LinuxStick : public StickPlatform {
 public:
  // `run_files` are the file system's, kept up to date by it.
  explicit LinuxStick(const RunFiles* run_files) : run_files_(run_files) {}
  ~LinuxStick() override { Forget(); }

  bool LookAt(const std::string& folder, Place* place) override;
  std::unique_ptr<StickFolder> Open(const std::string& folder,
                                    const Place& place) override;
  // syncfs, through a folder on the medium held open since the first look.
  void SyncMedium(uint64_t medium) override;
  void Forget() override;

 private:
  struct Medium {
    int fd = -1;
    FatKind kind = FatKind::kNone;
  };
  const RunFiles* run_files_;
  std::map<dev_t, Medium> media_;
};

}  // namespace quenby

#endif  // QUENBY_ENGINE_LINUX_LINUX_STICK_H_
