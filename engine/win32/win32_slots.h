// A folder's slots on Windows (fastfat, exFAT, or Wine over a Linux
// driver): the entries in listing order, which on FAT is slot order; every
// move, placeholder and staging folder put on the stick before the call
// returns, as far as a user's rights allow. The staging folder and the
// placeholders are named and marked as on Linux, so that a step cut short
// on one system is finished on the other.
#ifndef QUENBY_ENGINE_WIN32_WIN32_SLOTS_H_
#define QUENBY_ENGINE_WIN32_WIN32_SLOTS_H_

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "fat_order.h"

namespace quenby {

// A handle on the file or folder at `path` ("." where it is empty), shared
// with every other opener; INVALID_HANDLE_VALUE where it cannot be opened.
HANDLE OpenPath(const std::wstring& path, DWORD access);

// A folder open for the stick's work: its path as names are joined to it
// (empty, or ending in a separator), and a handle that lists it and, where
// the user may write it, flushes it.
class OpenFolder {
 public:
  OpenFolder() = default;
  ~OpenFolder() { Close(); }
  OpenFolder(const OpenFolder&) = delete;
  OpenFolder& operator=(const OpenFolder&) = delete;

  bool Open(const std::wstring& path);
  void Close();
  const std::wstring& path() const { return path_; }
  HANDLE handle() const { return handle_; }
  // Puts the folder's entries on the medium; false where it cannot.
  bool Flush() const;

 private:
  std::wstring path_;
  HANDLE handle_ = INVALID_HANDLE_VALUE;
  bool writable_ = false;
};

// One entry of a folder's listing.
struct ListedEntry {
  std::wstring name;
  bool directory = false;
  uint64_t size = 0;
  int64_t id = -1;          // The file system's id for it; -1: none given.
  bool short_name = false;  // A short name of its own: it has a long one.
};

// The entries of the folder open at `folder`, "." and ".." among them
// where the file system gives them, in its order.
bool ListFolder(const OpenFolder& folder, std::vector<ListedEntry>* entries);

// After `name` was moved from `from` into `to` (maybe the same): the move
// is on the stick. The file goes first: on Linux vfat (under Wine) the new
// entry gets the file's clusters only with the file's own write, and its
// old entry must not be gone before that. On fastfat the flush of the file
// writes its folders and the FAT as well; the folders' own flushes then
// cost little.
void PutMoveOnStick(const OpenFolder& from, const OpenFolder& to,
                    const std::wstring& name);

// Sets where each of `entries` (in listing order, their slots set) starts,
// from the file system's `ids` for them (none: not known), past "." and
// ".." where `dots`. Returns whether the ids told where they stand: on
// fastfat an id is the offset of the entry's short slot on the volume (its
// folder's first cluster there, plus its offset in the folder), so that
// ids rise in slot order, by multiples of 32, and never into the slots of
// the entry before. Elsewhere (Wine gives inode numbers) the starts are
// made up, packed one after another in listing order.
bool PlaceEntries(const std::vector<int64_t>& ids, bool dots,
                  std::vector<SlotFolder::Entry>* entries);

class Win32Slots : public SlotFolder {
 public:
  // `folder` is the caller's, open until the slots are gone.
  Win32Slots(const OpenFolder* folder, bool exfat)
      : folder_(folder), exfat_(exfat) {}

  // Whether the folder's last listing gave where its entries stand (see
  // PlaceEntries; never on exFAT, whose Windows driver is not public).
  // Where not, the listing gives only the order the entries stand in, and
  // their starts are made up: the step must not build on them.
  bool KnowsPositions() const override { return knows_positions_; }
  // False once the staging folder listed its mark file, made first there,
  // after other entries: Wine and NTFS list by name.
  bool ListsInSlotOrder() const override { return lists_slots_; }

  bool List(bool staging, std::vector<Entry>* entries) override;
  bool ReadFrom(int64_t from, const std::string& name,
                std::vector<Entry>* entries) override;
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
  // The staging folder, opened once; null when it cannot be.
  const OpenFolder* Staging();
  // Lists `folder` as the step sees it; `knows` tells whether the starts
  // are where the entries stand.
  bool ListSlots(const OpenFolder& folder, bool staging,
                 std::vector<Entry>* entries, bool* knows);
  int SlotsFor(const ListedEntry& entry) const;
  bool Mark();
  bool Marked();
  bool Move(const OpenFolder& from, const OpenFolder& to,
            const std::string& name);
  std::wstring PathOf(bool staging, const std::string& name);

  const OpenFolder* folder_;
  bool exfat_;
  OpenFolder staging_;
  bool knows_positions_ = false;
  bool lists_slots_ = true;
};

}  // namespace quenby

#endif  // QUENBY_ENGINE_WIN32_WIN32_SLOTS_H_
