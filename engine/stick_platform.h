// What the stick record asks of the platform it runs on: whether a folder
// lies on a USB stick, the folder's names and slots, and how a rename is put
// on the stick. Each platform answers from its own file-system calls.
#ifndef QUENBY_ENGINE_STICK_PLATFORM_H_
#define QUENBY_ENGINE_STICK_PLATFORM_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <string_view>

namespace quenby {

class SlotFolder;  // fat_order.h

// A folder on a stick, open for one run.
class StickFolder {
 public:
  virtual ~StickFolder() = default;

  // Hands every name the folder holds to `each`. False when it cannot be
  // read.
  virtual bool
  ListNames(const std::function<void(std::string_view name)>& each) = 0;

  // The names of the run's own open files (its playlist, its log) that
  // stand in this folder: no order step moves them, so that a stick pulled
  // during the step still shows the playlist the next run needs.
  virtual std::set<std::string> RunFilesHere() = 0;

  // The folder's slots, for one order step.
  virtual std::unique_ptr<SlotFolder> Slots() = 0;

  // After a file was renamed from the folder `from` (maybe this one) into
  // this one, where it now bears `name`: the rename is on the stick when
  // this returns, and a stick pulled meanwhile keeps the file's contents.
  virtual void PutRenameOnStick(StickFolder* from, const std::string& name) = 0;
};

class StickPlatform {
 public:
  // What a look at a folder tells.
  struct Place {
    uint64_t medium = 0;    // The file system it lies on.
    uint64_t folder = 0;    // The folder, however a path spells it.
    bool on_stick = false;  // FAT or exFAT, where the order step applies.
    // The driver may take a new name that the folder holds in other letter
    // case, which Windows would then not tell from the first.
    bool check_case = false;
  };

  virtual ~StickPlatform() = default;

  // Looks at the folder `folder` (a native path; empty for the current
  // one). False when it cannot be looked at or is no folder.
  virtual bool LookAt(const std::string& folder, Place* place) = 0;

  // Opens `folder`, which LookAt placed on a stick; null when it cannot be
  // opened.
  virtual std::unique_ptr<StickFolder> Open(const std::string& folder,
                                            const Place& place) = 0;

  // Puts every write of the run to `medium` on it.
  virtual void SyncMedium(uint64_t medium) = 0;

  // The run is over: what was kept open for it is closed.
  virtual void Forget() = 0;
};

}  // namespace quenby

#endif  // QUENBY_ENGINE_STICK_PLATFORM_H_
