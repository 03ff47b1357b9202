#include "fat_order.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace quenby {
namespace {

struct Killed {};

// A folder and its staging folder as a driver lays them out. The kernel's
// vfat and exfat put a new entry into the first run of free slots from the
// start, or grow the folder at its end. On vfat a long name takes a slot per
// 13 characters more than its short entry; on exfat every entry takes two
// slots and one per 15 characters.
class ModelFolder : public SlotFolder {
 public:
  // Windows' fastfat, as FatCreateNewDirent (dirsup.c) places a new set:
  // into the never-used tail of the folder's clusters (UnusedDirentVbo)
  // when it holds the set; else the first free run from DeletedDirentHint,
  // the lowest deleted slot (FatDeleteDirent lowers it), wrapping round;
  // else at that tail, the folder grown by a cluster. An unknown driver
  // takes any free run that holds the set.
  enum class Rule { kFirstFit, kFastfat, kUnknown };
  struct Item {
    int start = 0;  // In slots.
    int slots = 1;
    bool directory = false;
    bool hidden = false;  // A volume label: there, but not listed.
    bool empty = false;   // Its entry holds no clusters.
  };
  struct Dir {
    std::vector<std::string> slots;  // The name in each slot; "" is free.
    std::map<std::string, Item> items;
    size_t capacity = 100000;  // Slots the folder may grow to.
    bool exfat = false;
    Rule rule = Rule::kFirstFit;
    int cluster = 0;    // fastfat: the slots a cluster holds.
    int allocated = 0;  // fastfat: the slots of the folder's clusters.
    int used = 0;       // fastfat: the slots from here on were never used.
    unsigned seed = 1;  // unknown: which fitting run it takes.
    int low = 0;        // Every slot before it is taken.
  };

  Dir folder, staging;
  bool have_staging = false;
  long budget = -1;      // Changes left before the program is killed.
  bool foresee = false;  // StandsAt says "there" unread, as exfat's foresees.
  bool listing_only = false;  // Positions unknown, as Windows' under Wine.
  bool by_name = false;       // Listed by name, as Wine lists.
  long moves = 0, writes = 0,
       reads = 0;  // Files moved; placeholders made or removed; readings.

  static int SlotsFor(const std::string& name, bool exfat) {
    if (exfat) return 2 + static_cast<int>(name.size() + 14) / 15;
    bool short_name = name.size() <= 12 && name.find(' ') == std::string::npos;
    for (char c : name) short_name = short_name && !(c >= 'a' && c <= 'z');
    return short_name ? 1 : 1 + static_cast<int>(name.size() + 12) / 13;
  }

  // Where the driver puts a new entry of `slots` slots.
  static int Fit(Dir* dir, int slots) {
    const int size = static_cast<int>(dir->slots.size());
    auto free_at = [&](int at) {
      for (int i = at; i < at + slots && i < size; ++i)
        if (!dir->slots[i].empty()) return false;
      return true;
    };
    while (dir->low < size && !dir->slots[dir->low].empty()) ++dir->low;
    if (dir->rule == Rule::kFastfat) {
      if (dir->used + slots <= dir->allocated) return dir->used;
      for (int at = dir->low; at + slots <= dir->allocated; ++at)
        if (free_at(at)) return at;
      return dir->used;
    }
    std::vector<int> fits;
    for (int at = dir->low; fits.empty() || at <= size; ++at) {
      if (!free_at(at)) continue;
      if (dir->rule == Rule::kFirstFit) return at;
      fits.push_back(at);
    }
    dir->seed = dir->seed * 1103515245u + 12345u;
    return fits[(dir->seed >> 16) % fits.size()];
  }

  // Puts an entry into `dir` at `start` (slots), or where the driver would.
  static bool Place(Dir* dir, const std::string& name, Item item,
                    int start = -1) {
    if (dir->items.count(name)) return false;
    item.slots = SlotsFor(name, dir->exfat);
    if (start < 0) start = Fit(dir, item.slots);
    if (start + item.slots > static_cast<int>(dir->capacity)) return false;
    if (dir->slots.size() < static_cast<size_t>(start + item.slots))
      dir->slots.resize(start + item.slots);
    for (int i = 0; i < item.slots; ++i) dir->slots[start + i] = name;
    item.start = start;
    dir->items[name] = item;
    dir->used = std::max(dir->used, start + item.slots);
    if (dir->cluster)
      dir->allocated = std::max(dir->allocated, (dir->used + dir->cluster - 1) /
                                                    dir->cluster *
                                                    dir->cluster);
    return true;
  }
  static void Take(Dir* dir, const std::string& name) {
    const Item& item = dir->items[name];
    dir->low = std::min(dir->low, item.start);
    for (int i = 0; i < item.slots; ++i) dir->slots[item.start + i].clear();
    dir->items.erase(name);
  }

  // The files of the folder in slot order.
  std::vector<std::string> Files() const {
    std::vector<std::string> files;
    for (size_t i = 0; i < folder.slots.size(); ++i) {
      auto item = folder.items.find(folder.slots[i]);
      if (item != folder.items.end() &&
          item->second.start == static_cast<int>(i) &&
          !item->second.directory && !item->second.hidden)
        files.push_back(item->first);
    }
    return files;
  }

  bool List(bool in_staging, std::vector<Entry>* entries) override {
    ++reads;
    const Dir& dir = in_staging ? staging : folder;
    entries->clear();
    for (size_t i = 0; i < dir.slots.size(); ++i) {
      auto item = dir.items.find(dir.slots[i]);
      if (item == dir.items.end() ||
          item->second.start != static_cast<int>(i) || item->second.hidden)
        continue;
      entries->push_back({item->first, item->second.directory,
                          listing_only ? 0 : 32 * item->second.start,
                          item->second.slots});
    }
    if (by_name)
      std::sort(entries->begin(), entries->end(),
                [](const Entry& a, const Entry& b) { return a.name < b.name; });
    return true;
  }
  bool ReadFrom(int64_t from, const std::string& name,
                std::vector<Entry>* entries) override {
    ++reads;
    entries->clear();
    if (listing_only) return false;
    for (size_t i = from / 32; i < folder.slots.size(); ++i) {
      auto item = folder.items.find(folder.slots[i]);
      if (item == folder.items.end() || item->second.hidden) continue;
      const Item& it = item->second;
      // vfat shows the entry whose last slot is read first under its short
      // name; exfat passes over it.
      if (static_cast<int64_t>(i) == from / 32 &&
          it.start + it.slots - 1 == static_cast<int>(i) && !folder.exfat) {
        entries->push_back({"SHORT~1", it.directory, from, 1});
      } else if (it.start == static_cast<int>(i)) {
        entries->push_back({item->first, it.directory, 32 * it.start,
                            it.slots});
        if (item->first == name) return true;
      }
    }
    return false;
  }
  bool StandsAt(int64_t at, const std::string& name, Entry* entry) override {
    if (!foresee) return SlotFolder::StandsAt(at, name, entry);
    *entry = {name, false, at, SlotsFor(name, folder.exfat)};
    return true;
  }
  bool ReadLandings() override {
    bool foresaw = foresee;
    foresee = false;
    return foresaw;
  }
  bool Holds(bool in_staging, const std::string& name) override {
    return (in_staging ? staging : folder).items.count(name) != 0;
  }
  bool HasStaging() override { return have_staging; }
  bool MakeStaging() override {
    Spend();
    if (!have_staging) {  // A new folder: one cluster, never used.
      staging = Dir();
      staging.exfat = folder.exfat;
      staging.rule = folder.rule;
      staging.allocated = staging.cluster = folder.cluster;
    }
    Item dir;
    dir.directory = true;
    return have_staging = Place(&folder, kStagingName, dir);
  }
  bool RemoveStaging() override {
    Spend();
    if (!staging.items.empty()) return false;
    Take(&folder, kStagingName);
    have_staging = false;
    return true;
  }
  bool MoveOut(const std::string& name) override {
    return Move(&folder, &staging, name);
  }
  bool MoveIn(const std::string& name) override {
    return Move(&staging, &folder, name);
  }
  bool MakePlaceholder(const std::string& name) override {
    Spend();
    ++writes;
    return Place(&folder, name, Item());
  }
  bool RemovePlaceholder(const std::string& name) override {
    Spend();
    ++writes;
    Take(&folder, name);
    return true;
  }
  int PlaceholderSlots() const override { return folder.exfat ? 3 : 1; }
  bool KnowsPositions() const override { return !listing_only; }
  bool ListsInSlotOrder() const override { return !by_name; }
  bool RemoveEmpty(bool in_staging, const std::string& name) override {
    Dir* dir = in_staging ? &staging : &folder;
    if (!dir->items.count(name) || !dir->items[name].empty) return false;
    Spend();
    Take(dir, name);
    return true;
  }

 protected:
  void Spend() {
    if (budget == 0) throw Killed();
    if (budget > 0) --budget;
  }
  bool Move(Dir* from, Dir* to, const std::string& name) {
    Spend();
    ++moves;
    if (!from->items.count(name) || !Place(to, name, from->items[name]))
      return false;
    Take(from, name);
    return true;
  }
};

// A folder as numbering leaves it: files scattered over the slots with free
// gaps between, where "/" marks a subfolder, "!" a volume label and "." a
// free slot.
// Under fastfat, `tail` never-used slots follow in the folder's clusters.
ModelFolder Scrambled(const std::vector<std::string>& layout,
                      bool exfat = false,
                      ModelFolder::Rule rule = ModelFolder::Rule::kFirstFit,
                      int cluster = 0, int tail = 0) {
  ModelFolder model;
  model.folder.exfat = model.staging.exfat = exfat;
  model.folder.rule = model.staging.rule = rule;
  model.folder.cluster = model.staging.cluster = cluster;
  int at = 0;
  for (const std::string& name : layout) {
    ModelFolder::Item item;
    if (name == ".") {
      ++at;
      continue;
    }
    std::string real = name;
    if (name[0] == '/') {
      item.directory = true;
      real = name.substr(1);
    } else if (name[0] == '!') {
      item.hidden = true;
      real = name.substr(1);
    }
    EXPECT_TRUE(ModelFolder::Place(&model.folder, real, item, at));
    at += ModelFolder::SlotsFor(real, exfat);
  }
  if (cluster) {
    model.folder.allocated = (at + tail + cluster - 1) / cluster * cluster;
    model.folder.used = model.folder.allocated - tail;
  }
  return model;
}

// `files` numbered files of one to five slots, a subfolder and two others,
// shuffled, with free slots in front and between.
std::vector<std::string> Shuffled(int files) {
  std::vector<std::string> names = {"/Extras", "cover.jpg", "notes.txt"},
                           layout(9, ".");
  for (int i = 1; i <= files; ++i) {
    char number[16];
    snprintf(number, sizeof number, "%06d", i);
    names.push_back(number + (i % 3
                                  ? " " + std::string(i * 7 % 37, 's') + ".mp3"
                                  : "A.MP3"));
  }
  unsigned seed = files;
  for (size_t i = names.size() - 1; i > 0; --i) {
    seed = seed * 1103515245u + 12345u;
    std::swap(names[i], names[(seed >> 16) % (i + 1)]);
  }
  for (size_t i = 0; i < names.size(); ++i) {
    layout.push_back(names[i]);
    if (i % 5 == 0) layout.push_back(".");
  }
  return layout;
}

using Rule = ModelFolder::Rule;
constexpr int k4K = 128, k32K = 1024;  // Slots a cluster of 4 or 32 KiB holds.

struct OrderCase {
  const char* name;
  std::vector<std::string> layout;
  std::set<std::string> fixed;  // The run's own files.
  Rule rule = Rule::kFirstFit;
  int cluster = 0, tail = 0;  // fastfat: see Scrambled.
  bool listing_only = false, by_name = false;
};

const std::vector<std::string> kTwelve = {
    "000007g.mp3", "000001a.mp3", "000011k.mp3", ".",           "000005e.mp3",
    "000009i.mp3", "000002b.mp3", "000010j.mp3", "000004d.mp3", ".",
    ".",           "000008h.mp3", "000003c.mp3", "000006f.mp3", "000012l.mp3"};
const std::vector<std::string> kLongNames = {
    "000002 Second Song With A Long Name.mp3",
    ".",
    ".",
    "/Extras",
    "000001 First Song With A Much Longer Name Still.mp3",
    "000003c.mp3",
    "cover.jpg",
    "000004 d.mp3",
    ".",
    "A.TXT"};

const OrderCase kCases[] = {
    {"twelve, shuffled", kTwelve, {}},
    // The first file does not fit the gap before the subfolder; the second,
    // shorter, would.
    {"subfolder in the middle",
     {"000002 Second Song With A Long Name.mp3", ".", ".", "/Extras",
      "000001 First Song With A Much Longer Name Still.mp3", "000003c.mp3"},
     {}},
    {"short names and others",
     {"COVER.JPG", "000003C.MP3", ".", "000001 a.mp3", "notes.txt",
      "000002B.MP3", "LIST.M3U"},
     {}},
    {"root with its label",
     {"!STICK", "000002b.mp3", "/Music", "000001 Something Long.mp3", ".",
      "OUTPUT.TXT"},
     {}},
    {"the run's playlist and log stay",
     {"000002b.mp3", "list.m3u", "000001a.mp3", ".", "output.txt",
      "000003c.mp3"},
     {"list.m3u", "output.txt"}},
    {"3,000 shuffled", Shuffled(3000), {}},
    // fastfat: a tail that holds all the files, some or none.
    {"twelve, fastfat, a tail for all", kTwelve, {}, Rule::kFastfat, k32K, 900},
    {"twelve, fastfat, a tail for some", kTwelve, {}, Rule::kFastfat, k4K, 5},
    {"twelve, fastfat, no tail", kTwelve, {}, Rule::kFastfat, k4K, 0},
    {"long names, fastfat", kLongNames, {}, Rule::kFastfat, k4K, 7},
    // Clusters of 512 bytes: the folder grows while many files are still to
    // come.
    {"twelve, fastfat, 512-byte clusters", kTwelve, {}, Rule::kFastfat, 16, 5},
    {"long names, fastfat, 512-byte clusters",
     kLongNames,
     {},
     Rule::kFastfat,
     16,
     3},
    {"300 shuffled, fastfat, a tail for all or some",
     Shuffled(300),
     {},
     Rule::kFastfat,
     k32K,
     1000},
    {"300 shuffled, fastfat, no tail",
     Shuffled(300),
     {},
     Rule::kFastfat,
     k4K,
     0},
    {"3,000 shuffled, fastfat, 4 KiB",
     Shuffled(3000),
     {},
     Rule::kFastfat,
     k4K,
     60},
    {"3,000 shuffled, fastfat, 32 KiB",
     Shuffled(3000),
     {},
     Rule::kFastfat,
     k32K,
     700},
    {"300 shuffled, an unknown driver", Shuffled(300), {}, Rule::kUnknown},
    {"twelve, an unknown driver", kTwelve, {}, Rule::kUnknown},
    {"twelve, listing order only", kTwelve, {}, Rule::kFirstFit, 0, 0, true},
    {"long names, listing order only",
     kLongNames,
     {},
     Rule::kFirstFit,
     0,
     0,
     true},
    {"300 shuffled, listing order only",
     Shuffled(300),
     {},
     Rule::kFirstFit,
     0,
     0,
     true},
    // Windows' exFAT driver: no positions, and a rule that is not known.
    {"300 shuffled, listing order only, tail first",
     Shuffled(300),
     {},
     Rule::kFastfat,
     k4K,
     40,
     true},
    {"300 shuffled, listing order only, an unknown driver",
     Shuffled(300),
     {},
     Rule::kUnknown,
     0,
     0,
     true},
    {"300 shuffled, listed by name",
     Shuffled(300),
     {},
     Rule::kFirstFit,
     0,
     0,
     true,
     true},
};

std::string Named(const OrderCase& c, bool exfat) {
  return std::string(c.name) + (exfat ? ", exfat" : ", vfat");
}

ModelFolder Made(const OrderCase& c, bool exfat) {
  ModelFolder model = Scrambled(c.layout, exfat, c.rule, c.cluster, c.tail);
  model.listing_only = c.listing_only;
  model.by_name = c.by_name;
  return model;
}

// Rows that every kill and pull is tried on: small, under a known rule.
bool Small(const OrderCase& c) {
  return c.layout.size() < 40 && c.rule != Rule::kUnknown;
}

// The files in the folder and in the staging folder, sorted.
std::vector<std::string> Kept(const ModelFolder& model) {
  std::vector<std::string> files = model.Files();
  for (const auto& item : model.staging.items)
    if (!item.second.directory) files.push_back(item.first);
  std::sort(files.begin(), files.end());
  return files;
}

// The files of `model` but the fixed ones, as they stand.
std::vector<std::string> Movable(const ModelFolder& model,
                                 const std::set<std::string>& fixed) {
  std::vector<std::string> files;
  for (const std::string& name : model.Files())
    if (!fixed.count(name)) files.push_back(name);
  return files;
}

TEST(FatOrderTest, FilesEndInNumberOrderThenAsTheyStood) {
  int foreseen_wrongly = 0;
  for (bool exfat : {false, true})
    for (const OrderCase& c : kCases) {
      ModelFolder model = Made(c, exfat);
      const std::vector<std::string> files = Kept(model);
      std::vector<std::string> wanted = WantedOrder(Movable(model, c.fixed));
      std::map<std::string, ModelFolder::Item> directories;
      for (const auto& item : model.folder.items)
        if (item.second.directory || item.second.hidden ||
            c.fixed.count(item.first))
          directories.insert(item);

      OrderOutcome outcome = PutInOrder(&model, true, c.fixed);
      // Whatever the driver does, every file is kept, in the folder or the
      // staging folder, and no placeholder.
      EXPECT_EQ(files, Kept(model)) << Named(c, exfat);
      if (wanted.size() >= 300)
        printf(
            "%s: %.3f moves, %.3f placeholder writes, %.3f readings a file\n",
            Named(c, exfat).c_str(), 1.0 * model.moves / wanted.size(),
            1.0 * model.writes / wanted.size(),
            1.0 * model.reads / wanted.size());
      // Where the listing tells nothing, nothing floods the folder.
      if (c.by_name) {
        EXPECT_EQ(0, model.writes) << Named(c, exfat);
      }
      if ((c.rule == Rule::kUnknown || c.by_name) && !outcome.ordered) continue;
      EXPECT_TRUE(outcome.ordered) << Named(c, exfat);
      EXPECT_EQ(wanted, Movable(model, c.fixed)) << Named(c, exfat);
      // Each file out once and back once.
      EXPECT_EQ(2 * wanted.size(), static_cast<size_t>(model.moves))
          << Named(c, exfat);
      // The files fill in around the run's own, from the folder's start.
      if (c.fixed.count("output.txt")) {
        std::vector<std::string> files = model.Files();
        EXPECT_LT(std::find(files.begin(), files.end(), wanted[0]),
                  std::find(files.begin(), files.end(), "output.txt"));
      }
      EXPECT_FALSE(model.have_staging) << Named(c, exfat);
      // Subfolders, the label and the run's own files stand where they stood.
      for (const auto& directory : directories)
        EXPECT_EQ(directory.second.start,
                  model.folder.items[directory.first].start)
            << Named(c, exfat);

      // Every file foreseen at the cursor, some land elsewhere and later ones
      // jump ahead: the step sees it at its end and reads its way once more.
      ModelFolder foreseen = Made(c, exfat);
      foreseen.foresee = true;
      outcome = PutInOrder(&foreseen, true, c.fixed);
      EXPECT_TRUE(outcome.ordered) << Named(c, exfat);
      EXPECT_EQ(wanted, Movable(foreseen, c.fixed)) << Named(c, exfat);
      EXPECT_FALSE(foreseen.have_staging) << Named(c, exfat);
      foreseen_wrongly += !foreseen.foresee;
    }
  EXPECT_GT(foreseen_wrongly, 0);
}

// Killed after any change, the next run's step finishes from the staging
// folder: every file back, in the wanted order, nothing of the step left.
TEST(FatOrderTest, AStepCutShortIsFinishedByTheNextRun) {
  for (bool exfat : {false, true})
    for (const OrderCase& c : kCases) {
      for (long kill_at = 0; Small(c); ++kill_at) {
        ModelFolder model = Made(c, exfat);
        const std::vector<std::string> before = model.Files();
        std::vector<std::string> wanted = WantedOrder(Movable(model, c.fixed));
        model.budget = kill_at;
        try {
          PutInOrder(&model, true, c.fixed);
          break;  // Ran to its end: every moment has been tried.
        } catch (const Killed&) {
        }
        model.budget = -1;
        if (!model.have_staging) {  // Killed before the step began.
          EXPECT_EQ(before, model.Files()) << Named(c, exfat);
          continue;
        }
        OrderOutcome outcome = PutInOrder(&model, false, c.fixed);
        EXPECT_TRUE(outcome.ordered)
            << Named(c, exfat) << ", killed at " << kill_at;
        EXPECT_EQ(wanted, Movable(model, c.fixed))
            << Named(c, exfat) << ", killed at " << kill_at;
        EXPECT_FALSE(model.have_staging)
            << Named(c, exfat) << ", killed at " << kill_at;
      }
    }
}

// A stick pulled between the writes of one move keeps the file in both
// folders, its new entry written before the old one is deleted: `shadow`,
// before the new entry got the file's clusters, else with its clusters
// shared. `outs` or `ins` counts the moves before the pull.
class PulledModel : public ModelFolder {
 public:
  long outs = -1, ins = -1;
  bool shadow = false;
  std::string twin;  // The file left in both folders.

  bool MoveOut(const std::string& name) override {
    return Pulled(&outs, &folder, name, true);
  }
  bool MoveIn(const std::string& name) override {
    return Pulled(&ins, &staging, name, false);
  }

 private:
  bool Pulled(long* left, Dir* from, const std::string& name, bool out) {
    Item before = from->items.count(name) ? from->items[name] : Item();
    if (!(out ? ModelFolder::MoveOut(name) : ModelFolder::MoveIn(name)))
      return false;
    if ((*left)-- != 0) return true;
    twin = name;
    Place(from, name, before, before.start);  // The deletion never came.
    (out ? staging : folder).items[name].empty = shadow;
    throw Killed();
  }
};

// The next run finishes the step around such a file: an empty twin goes and
// the step ends as if nothing had happened; a whole twin stays in the
// staging folder, as no rename replaces, and the others end in order.
TEST(FatOrderTest, AFileLeftInBothFoldersByAPullKeepsTheOthersInOrder) {
  for (bool exfat : {false, true})
    for (const OrderCase& c : kCases) {
      const size_t files = Small(c) ? Movable(Made(c, exfat), c.fixed).size()
                                    : 0;
      for (int shape = 0; shape < 4; ++shape) {
        const bool out = shape & 1, shadow = shape & 2;
        for (size_t moves = 0; moves < files; ++moves) {
          PulledModel model;
          static_cast<ModelFolder&>(model) = Made(c, exfat);
          std::vector<std::string> wanted =
              WantedOrder(Movable(model, c.fixed));
          (out ? model.outs : model.ins) = static_cast<long>(moves);
          model.shadow = shadow;
          EXPECT_THROW(PutInOrder(&model, true, c.fixed), Killed);
          const int start = model.folder.items[model.twin].start;
          std::string at = Named(c, exfat) +
                           (out ? ", going out" : ", coming back") +
                           (shadow ? ", an empty twin" : "") + " at file " +
                           std::to_string(moves + 1);

          OrderOutcome outcome = PutInOrder(&model, false, c.fixed);
          if (shadow) {
            EXPECT_TRUE(outcome.ordered) << at;
            EXPECT_EQ(wanted, Movable(model, c.fixed)) << at;
            EXPECT_FALSE(model.have_staging) << at;
            continue;
          }
          EXPECT_EQ(std::vector<std::string>{model.twin}, outcome.stranded)
              << at;
          EXPECT_EQ(1u, model.staging.items.size()) << at;
          std::vector<std::string> others = Movable(model, c.fixed);
          if (out) {
            // The file the pull left in the folder stands where it stood.
            EXPECT_EQ(start, model.folder.items[model.twin].start) << at;
            others.erase(std::find(others.begin(), others.end(), model.twin));
            wanted.erase(std::find(wanted.begin(), wanted.end(), model.twin));
          }
          EXPECT_EQ(wanted, others) << at;
          for (const std::string& name : model.Files())
            EXPECT_FALSE(IsPlaceholderName(name)) << at;
        }
      }
    }
}

TEST(FatOrderTest, WhatCannotBeDoneLeavesEveryFileAndSaysSo) {
  // A name taken meanwhile: that file stays in the staging folder.
  ModelFolder taken = Scrambled({"000002b.mp3", "000001a.mp3"});
  taken.budget = 3;  // Staging made, both moved out.
  EXPECT_THROW(PutInOrder(&taken, true), Killed);
  taken.budget = -1;
  ASSERT_TRUE(ModelFolder::Place(&taken.folder, "000001a.mp3",
                                 ModelFolder::Item()));
  OrderOutcome outcome = PutInOrder(&taken, false);
  EXPECT_EQ(std::vector<std::string>{"000001a.mp3"}, outcome.stranded);
  EXPECT_TRUE(taken.staging.items.count("000001a.mp3"));
  EXPECT_TRUE(taken.folder.items.count("000002b.mp3"));
  EXPECT_TRUE(taken.have_staging);

  // The staging name is a user's own: nothing moves.
  ModelFolder user = Scrambled({"/QUENBY.$$$", "000002b.mp3", "000001a.mp3"});
  EXPECT_FALSE(PutInOrder(&user, true).ordered);
  EXPECT_EQ((std::vector<std::string>{"000002b.mp3", "000001a.mp3"}),
            user.Files());

  // A folder that cannot grow: the placeholders give way and every file
  // comes back.
  ModelFolder full = Scrambled({"000002 a long name.mp3", "/Sub",
                                "000001 longer name here.mp3"});
  full.folder.capacity = full.folder.slots.size() + 1;
  PutInOrder(&full, true);
  EXPECT_EQ(2u, full.Files().size());
  EXPECT_FALSE(full.have_staging);
}

}  // namespace
}  // namespace quenby
