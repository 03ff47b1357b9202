// A folder's slots on the kernel's exfat: positions from readdir, an entry
// set two slots and one per 15 UTF-16 units, the staging folder marked by an
// empty file inside it (exfat has no attribute calls), and a move put on
// the stick by one sync (see PutExfatRenameOnStick).
#ifndef QUENBY_ENGINE_LINUX_EXFAT_SLOTS_H_
#define QUENBY_ENGINE_LINUX_EXFAT_SLOTS_H_

#include <cstdint>
#include <string>
#include <vector>

#include "stick_slots.h"

namespace quenby {

class ExfatSlots : public StickSlots {
 public:
  using StickSlots::StickSlots;

  bool StandsAt(int64_t at, const std::string& name, Entry* entry) override;
  bool ReadLandings() override;
  bool MoveOut(const std::string& name) override;
  int PlaceholderSlots() const override;

 protected:
  bool ReadSlots(int fd, int64_t from, const std::string* stop_at,
                 std::vector<Entry>* entries) override;
  bool CompleteListing(int fd, bool staging,
                       std::vector<Entry>* entries) override;
  bool Mark() override;
  bool Marked() override;
  bool Move(int from_fd, int to_fd, const std::string& name,
            bool left_first) override;

 private:
  bool foresee_ = true;  // See StandsAt.
};

}  // namespace quenby

#endif  // QUENBY_ENGINE_LINUX_EXFAT_SLOTS_H_
