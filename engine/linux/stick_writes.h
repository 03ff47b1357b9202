// How a rename reaches a USB stick on the kernel's FAT drivers (vfat and
// exfat), where a stick may be pulled at any moment. On vfat every caller
// keeps one rule: the old entry's removal never reaches the stick before the
// new entry holds the file's clusters. A stick pulled in between then keeps
// the file under both names, sharing its clusters, never under neither (its
// clusters orphaned) nor under a new name that holds nothing. exfat leaves
// no such order to the program (see PutExfatRenameOnStick).
#ifndef QUENBY_ENGINE_LINUX_STICK_WRITES_H_
#define QUENBY_ENGINE_LINUX_STICK_WRITES_H_

#include <initializer_list>
#include <string>

namespace quenby {

// Puts what an open file or folder holds on the medium; tests see each call.
class MediumSync {
 public:
  virtual ~MediumSync() = default;
  // fsync of `fd`; with `whole`, syncfs of the file system it lies on.
  virtual void Sync(int fd, bool whole = false);
};

// The writes a rename makes, each put on the stick before the next.
enum class StickWrite {
  kFile,       // The moved file: its entry with its clusters.
  kNewFolder,  // The folder it went to: the new entry, whole.
  kOldFolder,  // The folder it left: the old entry's removal. Passed over
               // when it is the folder the file went to.
};

// After `name` was renamed from the folder open at `from_folder` into the
// one open at `to_folder` (where it now bears `name`): puts the rename's
// writes on the stick in `order`. Where the moved file cannot be opened,
// its write is the whole stick's.
void PutRenameOnStick(MediumSync* sync, int from_folder, int to_folder,
                      const std::string& name,
                      std::initializer_list<StickWrite> order);

// After a rename on exfat into the folder open at `to_folder`: one sync of
// that folder. exfat marks a rename's writes dirty and writes them back in
// an order of its own, by where they stand on the stick, the old entry's
// removal maybe first; any fsync writes every dirty entry and flushes the
// stick, so that a pull costs at most the rename in flight. The folder's
// own sync also writes its size, grown maybe by the new entry, which exfat
// keeps in memory until then (the moved file's would leave it out).
void PutExfatRenameOnStick(MediumSync* sync, int to_folder);

}  // namespace quenby

#endif  // QUENBY_ENGINE_LINUX_STICK_WRITES_H_
