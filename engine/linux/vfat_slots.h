// A folder's slots on the kernel's vfat: positions through
// VFAT_IOCTL_READDIR_BOTH, an entry a slot plus one per 13 UTF-16 units of
// a long name, the staging folder marked hidden and system, and each
// move's writes synced one by one (see PutRenameOnStick).
#ifndef QUENBY_ENGINE_LINUX_VFAT_SLOTS_H_
#define QUENBY_ENGINE_LINUX_VFAT_SLOTS_H_

#include <cstdint>
#include <string>
#include <vector>

#include "stick_slots.h"

namespace quenby {

class VfatSlots : public StickSlots {
 public:
  VfatSlots(int folder_fd, MediumSync* sync);

  bool MoveOut(const std::string& name) override;

 protected:
  bool ReadSlots(int fd, int64_t from, const std::string* stop_at,
                 std::vector<Entry>* entries) override;
  bool CompleteListing(int fd, bool staging,
                       std::vector<Entry>* entries) override;
  bool Mark() override;
  bool Marked() override;
  void PutStagingOnStick() override;
  bool Move(int from_fd, int to_fd, const std::string& name,
            bool left_first) override;

 private:
  int64_t sector_ = 0;  // Bytes; found at the first move out.
};

}  // namespace quenby

#endif  // QUENBY_ENGINE_LINUX_VFAT_SLOTS_H_
