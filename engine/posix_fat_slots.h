// The order step's view of a folder on the kernel's vfat or exfat: its
// slots read where each entry stands, and every move, placeholder and
// staging folder put on the stick before the call returns.
#ifndef QUENBY_ENGINE_POSIX_FAT_SLOTS_H_
#define QUENBY_ENGINE_POSIX_FAT_SLOTS_H_

#include <map>
#include <string>
#include <vector>

#include "fat_order.h"
#include "posix_stick_writes.h"

namespace quenby {

// Where exfat keeps no attributes a program may set, this empty file in the
// staging folder marks it as ours.
constexpr char kStagingMarkName[] = "QUENBY.TAG";

// Every write of the step goes through its Sync, one after the other.
class FatSlots : public SlotFolder, public MediumSync {
 public:
  // The folder open at `folder_fd`, which stays the caller's.
  FatSlots(int folder_fd, FatKind kind);
  ~FatSlots() override;

  bool List(bool staging, std::vector<Entry>* entries) override;
  bool ReadFrom(int64_t from, const std::string& name,
                std::vector<Entry>* entries) override;
  bool StandsAt(int64_t at, const std::string& name, Entry* entry) override;
  bool ReadLandings() override;
  bool Holds(bool staging, const std::string& name) override;
  bool HasStaging() override;
  bool MakeStaging() override;
  bool RemoveStaging() override;
  bool MoveOut(const std::string& name) override;
  bool MoveIn(const std::string& name) override;
  bool MakePlaceholder(const std::string& name) override;
  bool RemovePlaceholder(const std::string& name) override;
  bool RemoveEmpty(bool staging, const std::string& name) override;
  int PlaceholderSlots() const override;

 private:
  int Staging();
  // Marks the staging folder as ours; whether it is.
  bool Mark();
  bool Marked();
  bool Move(int from_fd, int to_fd, const std::string& name,
            bool left_first);
  // Reads entries of the folder open at `fd` from `from` on, with where
  // each stands and how many slots it takes; stops after `stop_at` when
  // that is given.
  bool ReadSlots(int fd, int64_t from, const std::string* stop_at,
                 std::vector<Entry>* entries);

  int folder_;
  FatKind kind_;
  int staging_ = -1;
  // The folder's entries at its last listing, and where the staging
  // folder's own entry stands there (-1: nowhere seen).
  std::map<std::string, Entry> standing_;
  int64_t staging_at_ = -1;
  int64_t sector_ = 0;  // Bytes; found at the first move out.
  bool foresee_ = true;  // On exfat; see StandsAt.
};

}  // namespace quenby

#endif  // QUENBY_ENGINE_POSIX_FAT_SLOTS_H_
