#include "fat_order.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>
#include <utility>

#include "numbered_path.h"

namespace quenby {

namespace {

constexpr int64_t kSlot = 32;  // Bytes a directory slot takes.
constexpr int kMostPlaceholders = 99999;
// Fillers for a never-used end: placeholders with long names, so that one
// takes many slots (17, or 5, on vfat), then plain ones.
constexpr size_t kFillerLengths[] = {200, 50, 12};
// A never-used end is shorter than a cluster: fastfat's are 64 KiB at most.
constexpr int64_t kMostFillerSlots = 2048;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string PlaceholderName(int number, size_t length = 12) {
  char head[16];
  snprintf(head, sizeof head, "QNB%05d", number);
  return head + std::string(length - 12, '-') + ".$$$";
}

const SlotFolder::Entry* Find(const std::vector<SlotFolder::Entry>& entries,
                              const std::string& name) {
  for (const SlotFolder::Entry& entry : entries)
    if (entry.name == name) return &entry;
  return nullptr;
}

// One pass of the order step over a folder; see PutInOrder.
class OrderStep {
 public:
  OrderStep(SlotFolder* folder, const std::set<std::string>& fixed,
            bool new_staging)
      : folder_(folder), fixed_(fixed), new_staging_(new_staging) {}

  OrderOutcome Run() {
    std::vector<SlotFolder::Entry> entries;
    bool listed = folder_->List(false, &entries);
    bool moving_back = false;
    for (const SlotFolder::Entry& entry : entries) {
      if (!entry.directory && IsPlaceholderName(entry.name)) {
        placeholders_.insert(entry.name);
        moving_back = true;  // Placeholders come only with the way back.
        // Fillers: a run cut short had seen the driver fill a never-used end
        // first.
        tail_first_ = tail_first_ || entry.name.size() > 12;
      }
    }
    in_order_ = listed;
    if (listed && !moving_back && (new_staging_ || RenewStaging(&entries)))
      MoveOut(entries);
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
    std::map<std::string, const SlotFolder::Entry*> standing;
    for (const SlotFolder::Entry& entry : entries) {
      if (!entry.directory && fixed_.count(entry.name) == 0) {
        files.push_back(entry.name);
        standing[entry.name] = &entry;
      }
    }
    // Where it stood is free now.
    auto vacate = [this, &standing](const std::string& name) {
      vacated_.push_back(*standing[name]);
      Seen(vacated_.back());
    };
    for (const std::string& name : WantedOrder(files)) {
      if (folder_->MoveOut(name)) {
        vacate(name);
        continue;
      }
      // A pull between the writes of a move leaves the file in both
      // folders: an empty twin goes; a whole one (the clusters shared)
      // stays, and the file in the folder stands where it stands, as a
      // subfolder does, while the others go on.
      if (folder_->Holds(true, name)) {
        if (folder_->RemoveEmpty(true, name) && folder_->MoveOut(name))
          vacate(name);
        continue;
      }
      in_order_ = false;  // The rest stays where it stands.
      return;
    }
  }

  // A staging folder that a run cut short left empty may have held files:
  // a driver that fills a never-used end first would put the files moved
  // out into it out of the order they come, and that order is the step's
  // record. A new one holds them in order. Returns whether it may be used;
  // `entries` are then listed anew, with the new staging folder where it
  // stands now, for the readings that build on the last listing.
  bool RenewStaging(std::vector<SlotFolder::Entry>* entries) {
    std::vector<SlotFolder::Entry> staged;
    if (!folder_->List(true, &staged)) return false;
    for (const SlotFolder::Entry& entry : staged)
      if (!entry.directory) return true;  // Moved out in order by that run.
    return folder_->RemoveStaging() && folder_->MakeStaging() &&
           folder_->List(false, entries);
  }

  void MoveBack() {
    std::vector<SlotFolder::Entry> staged;
    if (!folder_->List(true, &staged)) {
      in_order_ = false;
      return;
    }
    std::vector<std::string> names;
    std::map<std::string, int> slots;
    for (const SlotFolder::Entry& entry : staged) {
      if (entry.directory) continue;
      names.push_back(entry.name);
      slots[entry.name] = entry.slots;
    }
    if (names.empty()) return;
    // The staging folder holds them in the order they went out, but for a
    // file a pull left in both folders: on a driver that fills a never-used
    // end first, a later file may take the slots its empty twin left there.
    names = WantedOrder(names);
    RemoveEmptyTwins(names);
    if (in_order_ && folder_->KnowsPositions())
      cursor_ = StartCursor();
    else if (in_order_ &&
             (!folder_->ListsInSlotOrder() || !FillFreeSlots(staged)))
      in_order_ = false;
    if (cursor_ >= 0) {
      for (const SlotFolder::Entry& entry : listed_) Seen(entry);
      ahead_ = FreeRuns(listed_, cursor_, seen_end_);
    }
    for (size_t i = 0; i < names.size(); ++i) {
      if (cursor_ >= 0 && i + 1 < names.size() && !FillAhead(slots[names[i]]))
        cursor_ = Unordered();
      if (!MoveIn(names[i])) continue;
      returned_.push_back(names[i]);
      // The last file needs no gap filled behind it.
      if (cursor_ >= 0 && i + 1 < names.size()) FillGapBefore(names[i]);
      // The runs it passed over are filled, the one it took is taken.
      seen_end_ = std::max(seen_end_, cursor_);
      for (auto& run : ahead_) run.first = std::max(run.first, cursor_);
      ahead_.erase(std::remove_if(ahead_.begin(), ahead_.end(),
                                  [](const std::pair<int64_t, int64_t>& run) {
                                    return run.first >= run.second;
                                  }),
                   ahead_.end());
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
  //
  // Where the probe lands past a free run that holds it, the driver fills
  // a never-used end of the folder first (Windows' fastfat does, and only
  // then takes free runs from the start): files coming back would land
  // there until it is full, then jump ahead into the runs in front. So
  // that end is filled first, and the way begins once more.
  int64_t StartCursor() {
    for (int round = 0;; ++round) {
      std::vector<SlotFolder::Entry>& entries = listed_;
      if (!folder_->List(false, &entries)) return Unordered();
      // The run's own files stand where they stand, as subfolders do: the
      // files coming back fill in around them. Placeholders may stand
      // further on, in a never-used end.
      int64_t end = 0;
      for (const SlotFolder::Entry& entry : entries)
        if (!entry.directory && fixed_.count(entry.name) == 0 &&
            !IsPlaceholderName(entry.name))
          end = std::max(end, entry.start + kSlot * entry.slots);
      if (!MakePlaceholders(PlaceholdersFor(entries, 0, end)))
        return Unordered();

      std::string probe;
      if (!MakePlaceholders(1, &probe) || !folder_->List(false, &entries))
        return Unordered();
      const SlotFolder::Entry* landed = Find(entries, probe);
      if (!landed) return Unordered();
      SlotFolder::Entry at = *landed;
      int64_t room = 0;  // The longest run in front known to be free.
      if (!PassedOver(&at, &room)) return Unordered();
      if (room == 0) return at.start + kSlot * at.slots;
      // Still past a free run: a rule the step does not know. The files
      // come back as the driver puts them.
      if (round > 0) return Unordered();
      tail_first_ = true;
      if (!Settle(at.start + kSlot * at.slots, room)) return Unordered();
    }
  }

  // Where positions are not known: placeholders, in batches of as many as
  // the files moved out leave free (doubled each time), until the last of
  // a batch lands behind every entry that is not one. Every free slot in
  // front of it is then taken, as far as a driver that takes the first
  // free run goes; under another rule the final check finds the order.
  // Three batches at most: a folder whose holes they do not fill is left
  // as its driver fills it, not flooded.
  bool FillFreeSlots(const std::vector<SlotFolder::Entry>& staged) {
    int64_t batch = 1;
    for (const SlotFolder::Entry& entry : staged)
      if (!entry.directory) batch += entry.slots;
    batch = batch / folder_->PlaceholderSlots() + 1;
    for (int round = 0; round < 3; ++round) {
      std::string last;
      std::vector<SlotFolder::Entry> entries;
      if (batch > kMostPlaceholders || !MakePlaceholders(batch, &last) ||
          !folder_->List(false, &entries))
        return false;
      bool behind = false;
      for (const SlotFolder::Entry& entry : entries) {
        if (entry.name == last)
          behind = true;
        else if (entry.directory || !IsPlaceholderName(entry.name))
          behind = false;
      }
      if (behind) return true;
      batch *= 2;
    }
    return false;
  }

  // Whether the probe `at` landed past a free run that holds it: `room`
  // is then the longest such run. Known to be free are the slots the files
  // moved out by this pass left; where none did, a free-looking run may be
  // a volume label, which no listing shows: the probe then makes a slot
  // free and sees whether the placeholder after it takes that slot, and
  // `at` becomes that placeholder.
  bool PassedOver(SlotFolder::Entry* at, int64_t* room) {
    const std::vector<SlotFolder::Entry>& entries = listed_;
    const int64_t each = kSlot * folder_->PlaceholderSlots();
    *room = 0;
    if (!vacated_.empty()) {
      for (const auto& run : FreeRuns(entries, 0, at->start)) {
        for (const SlotFolder::Entry& left : vacated_)
          if (left.start >= run.first && left.start < run.second)
            *room = std::max(*room, run.second - run.first);
      }
      if (*room < each) *room = 0;
      return true;
    }
    for (const auto& run : FreeRuns(entries, 0, at->start))
      *room = std::max(*room, run.second - run.first);
    if (*room < each) {
      *room = 0;
      return true;
    }
    std::string second, third;
    if (!MakePlaceholders(1, &second) || !folder_->RemovePlaceholder(at->name))
      return false;
    Seen(*at);
    placeholders_.erase(at->name);
    if (!MakePlaceholders(1, &third) || !folder_->List(false, &listed_))
      return false;
    const SlotFolder::Entry* landed = Find(listed_, third);
    if (!landed) return false;
    // First fit puts it where the probe stood; a driver that fills a
    // never-used end first puts it behind the second, or, that end full,
    // into the first free run.
    if (landed->start <= at->start) *room = 0;
    *at = *landed;
    return true;
  }

  // Fills the never-used end that begins at `at` with fillers, each read
  // where it landed, until the shortest lands elsewhere: from then on the
  // driver puts a new entry into the first free run from the folder's
  // start, or at its end, as the kernel's does. A filler no longer than
  // `room`, a free run in front, lands there once the end is full; a
  // longer one would grow the folder at that end.
  bool Settle(int64_t at, int64_t room) {
    int64_t filled = 0;
    for (size_t length : kFillerLengths) {
      const int64_t most = kSlot * (length > 12 ? FillerSlots(length)
                                                : folder_->PlaceholderSlots());
      if (most > room) continue;
      while (filled < kMostFillerSlots) {
        std::string name;
        // A name that long may not be made (a path grown too long): the
        // next length does.
        if (!MakePlaceholders(1, &name, length)) {
          if (length == 12) return false;
          break;
        }
        std::vector<SlotFolder::Entry> read;
        if (!folder_->ReadFrom(at - kSlot, name, &read) || read.empty() ||
            read.back().name != name || read.back().start != at) {
          room -= most;  // What is left of the run it may have taken.
          break;
        }
        at += kSlot * read.back().slots;
        filled += read.back().slots;
      }
    }
    return true;
  }

  // The most slots a filler's name may take: vfat gives it a long name, a
  // slot per 13 characters and one; exfat two slots and one per 15.
  int64_t FillerSlots(size_t length) const {
    return std::max<int64_t>(1 + (length + 12) / 13, 2 + (length + 14) / 15);
  }

  // Before a file that no free run ahead of the cursor holds comes back,
  // the runs it will pass are filled: the folder grows for it, and a
  // driver that fills a never-used end first would put placeholders made
  // afterwards into the end it grew by, leaving the runs open for a later
  // file. First fit would fill them right after the file, as many. The run
  // at the end of the slots seen may hold the file there, grown on; where
  // the driver fills a never-used end first, it is filled too.
  bool FillAhead(int64_t slots) {
    int64_t count = 0;
    const int64_t each = kSlot * folder_->PlaceholderSlots();
    for (const auto& run : ahead_) {
      if (run.second - run.first >= kSlot * slots) return true;
      if (tail_first_ || run.second < seen_end_)
        count += (run.second - run.first) / each;
    }
    if (!tail_first_ && !ahead_.empty() && ahead_.back().second == seen_end_)
      ahead_.erase(ahead_.begin(), ahead_.end() - 1);
    else
      ahead_.clear();
    return MakePlaceholders(count);
  }

  // Every slot an entry was seen to take: where a driver fills a never-used
  // end first, the runs free before it are deleted slots.
  void Seen(const SlotFolder::Entry& entry) {
    seen_end_ = std::max(seen_end_, entry.start + kSlot * entry.slots);
  }

  // The free runs between `from` and `to`, as `entries` (in slot order)
  // show them.
  static std::vector<std::pair<int64_t, int64_t>>
  FreeRuns(const std::vector<SlotFolder::Entry>& entries, int64_t from,
           int64_t to) {
    std::vector<std::pair<int64_t, int64_t>> runs;
    int64_t free_from = from;
    for (const SlotFolder::Entry& entry : entries) {
      if (entry.start >= to) break;
      if (entry.start > free_from) runs.emplace_back(free_from, entry.start);
      free_from = std::max(free_from, entry.start + kSlot * entry.slots);
    }
    if (to > free_from) runs.emplace_back(free_from, to);
    return runs;
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
    int64_t count = 0;
    for (const auto& run : FreeRuns(entries, from, to))
      count += (run.second - run.first) / each;
    return count;
  }

  bool MakePlaceholders(int64_t count, std::string* last = nullptr,
                        size_t length = 12) {
    for (int64_t i = 0; i < count; ++i) {
      while (next_placeholder_ <= kMostPlaceholders &&
             placeholders_.count(PlaceholderName(next_placeholder_, length)) !=
                 0)
        ++next_placeholder_;
      if (next_placeholder_ > kMostPlaceholders) return false;
      std::string name = PlaceholderName(next_placeholder_++, length);
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
  const bool new_staging_;  // Made by this run, for this pass.
  OrderOutcome outcome_;
  std::set<std::string> placeholders_;
  std::vector<std::string> returned_;  // Moved back by this pass, in order.
  // Where the files moved out by this pass stood: slots known to be free.
  std::vector<SlotFolder::Entry> vacated_;
  // The driver fills a never-used end of the folder before free runs.
  bool tail_first_ = false;
  std::vector<SlotFolder::Entry> listed_;  // The folder as last listed.
  // The free runs ahead of the cursor, up to the end of the slots seen,
  // [from, to) in bytes.
  std::vector<std::pair<int64_t, int64_t>> ahead_;
  int64_t seen_end_ = 0;  // The end of every entry seen.
  int next_placeholder_ = 1;
  int64_t cursor_ = -1;  // Every slot before it is taken; -1: no order.
  bool in_order_ = false;
  bool foreseen_wrongly_ = false;
};

}  // namespace

bool IsPlaceholderName(const std::string& name) {
  if (name.size() < 12 || name.compare(0, 3, "QNB") != 0 ||
      name.compare(name.size() - 4, 4, ".$$$") != 0)
    return false;
  for (size_t i = 3; i < 8; ++i)
    if (!IsDigit(name[i])) return false;
  for (size_t i = 8; i + 4 < name.size(); ++i)
    if (name[i] != '-') return false;
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
  const bool had_staging = folder->HasStaging();
  if (!had_staging && (!start || !folder->MakeStaging())) return OrderOutcome();
  OrderStep step(folder, fixed, !had_staging);
  OrderOutcome outcome = step.Run();
  // Where a folder's rule did not hold (an entry no listing shows stood in
  // the way, say), the step is made once more, every landing read.
  if (step.foreseen_wrongly() && outcome.stranded.empty() &&
      folder->ReadLandings() && folder->MakeStaging())
    outcome = OrderStep(folder, fixed, true).Run();
  return outcome;
}

}  // namespace quenby
