// The order step's view of a folder on the kernel's vfat or exfat: its
// slots read where each entry stands, and every move, placeholder and
// staging folder put on the stick before the call returns. What both
// drivers share stands here; each driver's readings and writes are a class
// of their own (VfatSlots, ExfatSlots).
#ifndef QUENBY_ENGINE_LINUX_STICK_SLOTS_H_
#define QUENBY_ENGINE_LINUX_STICK_SLOTS_H_

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "fat_order.h"
#include "stick_writes.h"

namespace quenby {

class StickSlots : public SlotFolder {
 public:
  StickSlots(int folder_fd, MediumSync* sync)
      : folder_(folder_fd), sync_(sync) {}
  ~StickSlots() override;

  bool List(bool staging, std::vector<Entry>* entries) override;
  bool ReadFrom(int64_t from, const std::string& name,
                std::vector<Entry>* entries) override;
  bool Holds(bool staging, const std::string& name) override;
  bool HasStaging() override;
  bool MakeStaging() override;
  bool RemoveStaging() override;
  bool MoveIn(const std::string& name) override;
  bool MakePlaceholder(const std::string& name) override;
  bool RemovePlaceholder(const std::string& name) override;
  bool RemoveEmpty(bool staging, const std::string& name) override;

 protected:
  // Reads the entries of the folder open at `fd` from `from` on, with where
  // each stands and how many slots it takes; stops after `stop_at` when
  // that is given.
  virtual bool ReadSlots(int fd, int64_t from, const std::string* stop_at,
                         std::vector<Entry>* entries) = 0;
  // Completes a reading of the whole folder, or of the staging folder, as
  // List gives it: folders told from files, the driver's own marks left
  // out.
  virtual bool CompleteListing(int fd, bool staging,
                               std::vector<Entry>* entries) = 0;
  // Marks the staging folder as ours; whether it is marked.
  virtual bool Mark() = 0;
  virtual bool Marked() = 0;
  // Puts the new staging folder on the stick, before its mark.
  virtual void PutStagingOnStick() {}
  // Takes the mark off the empty staging folder, before its removal: the
  // mark file goes last of what it holds, since a staging folder with files
  // but no mark would be a user's.
  virtual bool Unmark();
  // Puts the mark file into the staging folder; whether it holds one, as a
  // step under Wine leaves on FAT too.
  bool TagMark();
  bool TagMarked();
  // Renames `name` from the folder open at `from_fd` to the one at `to_fd`,
  // never replacing, and puts the move on the stick; with `left_first` the
  // folder it left goes to the stick first (see VfatSlots::MoveOut).
  virtual bool Move(int from_fd, int to_fd, const std::string& name,
                    bool left_first) = 0;

  // The staging folder, opened once; -1 when it cannot be.
  int Staging();
  void Sync(int fd) { sync_->Sync(fd); }

  int folder_;
  MediumSync* sync_;
  int staging_ = -1;
  // The folder's entries at its last listing, and where the staging
  // folder's own entry stands there (-1: nowhere seen).
  std::map<std::string, Entry> standing_;
  int64_t staging_at_ = -1;
};

}  // namespace quenby

#endif  // QUENBY_ENGINE_LINUX_STICK_SLOTS_H_
