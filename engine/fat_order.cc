#include "fat_order.h"

#include <algorithm>
#include <cstdio>
#include <set>

#include "numbered_path.h"

namespace quenby {

namespace {

constexpr int64_t kSlot = 32;  // Bytes a directory slot takes.
constexpr int kMostPlaceholders = 99999;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string PlaceholderName(int number) {
  char name[32];
  snprintf(name, sizeof name, "QNB%05d.$$$", number);
  return name;
}

// One pass of the order step over a folder; see PutInOrder.
class OrderStep {
 public:
  OrderStep(SlotFolder* folder, const std::set<std::string>& fixed)
      : folder_(folder), fixed_(fixed) {}

  OrderOutcome Run() {
    std::vector<SlotFolder::Entry> entries;
    bool listed = folder_->List(false, &entries);
    bool moving_back = false;
    for (const SlotFolder::Entry& entry : entries) {
      if (!entry.directory && IsPlaceholderName(entry.name)) {
        placeholders_.insert(entry.name);
        moving_back = true;  // Placeholders come only with the way back.
      }
    }
    in_order_ = listed;
    if (listed && !moving_back) MoveOut(entries);
    MoveBack();
    if (in_order_ && !CameBackInOrder()) {
      in_order_ = false;
      foreseen_wrongly_ = true;
    }
    bool cleared = RemovePlaceholders();
    // Placeholders never outlive the staging folder, so that the next run
    // knows them for ours.
    if (cleared && outcome_.stranded.empty()) folder_->RemoveStaging();
    outcome_.ordered = in_order_ && cleared && outcome_.stranded.empty();
    return outcome_;
  }

  // Whether the files came back out of order though each was taken to
  // stand where it should.
  bool foreseen_wrongly() const { return foreseen_wrongly_; }

 private:
  // Moves the folder's files into the staging folder, in the wanted order
  // after whatever a step cut short moved there before: the staging folder
  // then holds the order, and keeps it should this run end here.
  void MoveOut(const std::vector<SlotFolder::Entry>& entries) {
    std::vector<std::string> files;
    for (const SlotFolder::Entry& entry : entries)
      if (!entry.directory && fixed_.count(entry.name) == 0)
        files.push_back(entry.name);
    for (const std::string& name : WantedOrder(files)) {
      if (folder_->MoveOut(name)) continue;
      // A pull between the writes of a move leaves the file in both
      // folders: an empty twin goes; a whole one (the clusters shared)
      // stays, and the file in the folder stands where it stands, as a
      // subfolder does, while the others go on.
      if (folder_->Holds(true, name)) {
        if (folder_->RemoveEmpty(true, name)) folder_->MoveOut(name);
        continue;
      }
      in_order_ = false;  // The rest stays where it stands.
      return;
    }
  }

  void MoveBack() {
    std::vector<SlotFolder::Entry> staged;
    if (!folder_->List(true, &staged)) {
      in_order_ = false;
      return;
    }
    std::vector<std::string> names;
    for (const SlotFolder::Entry& entry : staged)
      if (!entry.directory) names.push_back(entry.name);
    if (names.empty()) return;
    RemoveEmptyTwins(names);
    if (in_order_) cursor_ = StartCursor();
    for (size_t i = 0; i < names.size(); ++i) {
      if (!MoveIn(names[i])) continue;
      returned_.push_back(names[i]);
      // The last file needs no gap filled behind it.
      if (cursor_ >= 0 && i + 1 < names.size()) FillGapBefore(names[i]);
    }
  }

  bool MoveIn(const std::string& name) {
    if (folder_->MoveIn(name)) return true;
    // A full folder may need the room that placeholders take: give them up,
    // and the order with them, rather than leave the file behind. A name
    // taken in the folder needs no room, and the others keep their order.
    if (!placeholders_.empty() && !folder_->Holds(false, name) &&
        RemovePlaceholders()) {
      in_order_ = false;
      cursor_ = -1;
      if (folder_->MoveIn(name)) return true;
    }
    outcome_.stranded.push_back(name);
    return false;
  }

  // Whether the files that came back stand in the order they came, as one
  // listing shows them: a folder may answer StandsAt from where its rules
  // put a file, not from a reading.
  bool CameBackInOrder() {
    std::vector<SlotFolder::Entry> entries;
    if (!folder_->List(false, &entries)) return false;
    std::set<std::string> returned(returned_.begin(), returned_.end());
    size_t next = 0;
    for (const SlotFolder::Entry& entry : entries) {
      if (entry.directory || returned.count(entry.name) == 0) continue;
      if (next == returned_.size() || entry.name != returned_[next])
        return false;
      ++next;
    }
    return next == returned_.size();
  }

  // A pull during a move back can leave an empty twin of the file in the
  // folder, its entry written before it got the file's clusters: it goes
  // before the files come back, so that the file takes its place.
  void RemoveEmptyTwins(const std::vector<std::string>& staged) {
    std::vector<SlotFolder::Entry> entries;
    if (!folder_->List(false, &entries)) return;
    std::set<std::string> names(staged.begin(), staged.end());
    for (const SlotFolder::Entry& entry : entries)
      if (!entry.directory && names.count(entry.name))
        folder_->RemoveEmpty(false, entry.name);
  }

  // Where the files coming back begin: every slot before the end of the
  // last file standing in the folder is taken first, placeholders filling
  // what is free, then a probe takes the first free run, with no run before
  // it that an entry fits. Returns the slot after the probe, or -1.
  int64_t StartCursor() {
    std::vector<SlotFolder::Entry> entries;
    if (!folder_->List(false, &entries)) return Unordered();
    // The run's own files stand where they stand, as subfolders do: the
    // files coming back fill in around them.
    int64_t end = 0;
    for (const SlotFolder::Entry& entry : entries)
      if (!entry.directory && fixed_.count(entry.name) == 0)
        end = std::max(end, entry.start + kSlot * entry.slots);
    if (!MakePlaceholders(PlaceholdersFor(entries, 0, end))) return Unordered();

    std::string probe;
    if (!MakePlaceholders(1, &probe) || !folder_->List(false, &entries))
      return Unordered();
    for (const SlotFolder::Entry& entry : entries)
      if (entry.name == probe) return entry.start + kSlot * entry.slots;
    return Unordered();
  }

  // After `name` came back: fills the free slots it passed over, between
  // the cursor and where it landed, and moves the cursor past it.
  void FillGapBefore(const std::string& name) {
    SlotFolder::Entry at_cursor;
    if (folder_->StandsAt(cursor_, name, &at_cursor)) {
      cursor_ += kSlot * at_cursor.slots;
      return;
    }
    std::vector<SlotFolder::Entry> read;
    if (!folder_->ReadFrom(cursor_ - kSlot, name, &read) || read.empty() ||
        read.back().name != name || read.back().start < cursor_) {
      cursor_ = Unordered();
      return;
    }
    const SlotFolder::Entry& placed = read.back();
    read.pop_back();
    if (!MakePlaceholders(PlaceholdersFor(read, cursor_, placed.start))) {
      cursor_ = Unordered();
      return;
    }
    cursor_ = placed.start + kSlot * placed.slots;
  }

  // The placeholders that fill the free runs between `from` and `to`, as
  // far as `entries` (in slot order) show them. Slots no entry shows (a
  // volume label) count as free: a placeholder too many lands further on,
  // where it does no harm; one too few would leave a gap for a later name
  // to jump into.
  int64_t PlaceholdersFor(const std::vector<SlotFolder::Entry>& entries,
                          int64_t from, int64_t to) const {
    const int64_t each = kSlot * folder_->PlaceholderSlots();
    int64_t count = 0, free_from = from;
    for (const SlotFolder::Entry& entry : entries) {
      if (entry.start < from || entry.start >= to) continue;
      if (entry.start > free_from) count += (entry.start - free_from) / each;
      free_from = std::max(free_from, entry.start + kSlot * entry.slots);
    }
    if (to > free_from) count += (to - free_from) / each;
    return count;
  }

  bool MakePlaceholders(int64_t count, std::string* last = nullptr) {
    for (int64_t i = 0; i < count; ++i) {
      while (next_placeholder_ <= kMostPlaceholders &&
             placeholders_.count(PlaceholderName(next_placeholder_)) != 0)
        ++next_placeholder_;
      if (next_placeholder_ > kMostPlaceholders) return false;
      std::string name = PlaceholderName(next_placeholder_++);
      if (!folder_->MakePlaceholder(name)) return false;
      placeholders_.insert(name);
      if (last) *last = name;
    }
    return true;
  }

  bool RemovePlaceholders() {
    for (auto it = placeholders_.begin(); it != placeholders_.end();) {
      if (!folder_->RemovePlaceholder(*it)) return false;
      it = placeholders_.erase(it);
    }
    return true;
  }

  int64_t Unordered() {
    in_order_ = false;
    return -1;
  }

  SlotFolder* folder_;
  const std::set<std::string>& fixed_;
  OrderOutcome outcome_;
  std::set<std::string> placeholders_;
  std::vector<std::string> returned_;  // Moved back by this pass, in order.
  int next_placeholder_ = 1;
  int64_t cursor_ = -1;  // Every slot before it is taken; -1: no order.
  bool in_order_ = false;
  bool foreseen_wrongly_ = false;
};

}  // namespace

bool IsPlaceholderName(const std::string& name) {
  if (name.size() != 12 || name.compare(0, 3, "QNB") != 0 ||
      name.compare(8, 4, ".$$$") != 0)
    return false;
  for (size_t i = 3; i < 8; ++i)
    if (!IsDigit(name[i])) return false;
  return true;
}

std::vector<std::string> WantedOrder(const std::vector<std::string>& files) {
  std::vector<std::string> numbered, others;
  for (const std::string& name : files)
    (ReadOrderNumber(name) >= 0 ? numbered : others).push_back(name);
  std::stable_sort(numbered.begin(), numbered.end(),
                   [](const std::string& a, const std::string& b) {
                     return ReadOrderNumber(a) < ReadOrderNumber(b);
                   });
  numbered.insert(numbered.end(), others.begin(), others.end());
  return numbered;
}

OrderOutcome PutInOrder(SlotFolder* folder, bool start,
                        const std::set<std::string>& fixed) {
  if (!folder->HasStaging() && (!start || !folder->MakeStaging()))
    return OrderOutcome();
  OrderStep step(folder, fixed);
  OrderOutcome outcome = step.Run();
  // Where a folder's rule did not hold (an entry no listing shows stood in
  // the way, say), the step is made once more, every landing read.
  if (step.foreseen_wrongly() && outcome.stranded.empty() &&
      folder->ReadLandings() && folder->MakeStaging())
    outcome = OrderStep(folder, fixed).Run();
  return outcome;
}

}  // namespace quenby
