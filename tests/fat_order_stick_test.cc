// The order step on the kernel's vfat and exfat (the machine of make
// test-vm): folders numbered there end in slot order, a step cut short at
// any change is finished by the next run, and what cannot be done loses
// nothing.
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "fake_dialog.h"
#include "fat_mount.h"
#include "fat_order.h"
#include "linux_file_system.h"
#include "linux_stick.h"
#include "run_renaming.h"
#include "temp_dir.h"

namespace quenby {
namespace {

// The files in `folder` in slot order, as players read them.
std::vector<std::string> SlotOrder(const std::string& folder) {
  std::vector<std::string> names;
  DIR* dir = opendir(folder.c_str());
  if (!dir) return names;
  while (const dirent* entry = readdir(dir)) {
    if (entry->d_type != DT_DIR) names.push_back(entry->d_name);
  }
  closedir(dir);
  return names;
}

std::string Numbered(int number, const std::string& name) {
  char prefix[8];
  snprintf(prefix, sizeof prefix, "%06d", number);
  return prefix + name;
}

// A folder of tracks copied in shuffled order, an album cover and a
// subfolder among them, and a playlist that lists the tracks in order.
struct Album {
  std::string folder;
  std::vector<std::string> tracks;  // In playlist order.
};

Album MakeAlbum(const std::string& folder, int tracks, bool long_names,
                unsigned seed) {
  Album album{folder, {}};
  for (int i = 1; i <= tracks; ++i) {
    // Short 8.3 names take one slot; long ones up to five.
    std::string name = long_names && i % 2 ? "Track " + std::to_string(i) +
                                                 " - A Title Long Enough "
                                                 "For Several Slots.mp3"
                                           : "T" + std::to_string(i) + ".MP3";
    album.tracks.push_back(name);
  }
  std::vector<std::string> copied = album.tracks;
  copied.push_back("COVER.JPG");
  std::shuffle(copied.begin(), copied.end(), std::mt19937(seed));
  mkdir(folder.c_str(), 0755);
  for (size_t i = 0; i < copied.size(); ++i) {
    if (i == copied.size() / 2) mkdir((folder + "/Bonus").c_str(), 0755);
    WriteFile(folder + "/" + copied[i], copied[i]);
  }
  std::string list;
  for (const std::string& track : album.tracks)
    list += (folder == "." ? "" : folder + "\\") + track + "\r\n";
  WriteFile(folder + "/list.m3u", list);
  return album;
}

// After numbering: the tracks in playlist order, then the folder's other
// files as they stood; the subfolder, the playlist and the log stand where
// they stood; every file whole.
void ExpectInOrder(const Album& album) {
  std::vector<std::string> files;
  for (const std::string& name : SlotOrder(album.folder))
    if (name != "output.txt" && name != "list.m3u") files.push_back(name);
  std::vector<std::string> wanted;
  for (size_t i = 0; i < album.tracks.size(); ++i)
    wanted.push_back(Numbered(i + 1, album.tracks[i]));
  ASSERT_GE(files.size(), wanted.size());
  EXPECT_EQ(wanted, std::vector<std::string>(files.begin(),
                                             files.begin() + wanted.size()))
      << album.folder;
  for (size_t i = 0; i < album.tracks.size(); ++i)
    EXPECT_EQ(album.tracks[i], ReadFile(album.folder + "/" + wanted[i]));
}

class FatOrderStickTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fat.kernel())
      GTEST_SKIP() << "the order step is for the kernel's vfat and exfat";
    ASSERT_TRUE(fat.ok()) << fat.reason();
    ASSERT_EQ(0, chdir(fat.path().c_str()));
  }
  void TearDown() override {
    (void)chdir(dir.path().c_str());
    if (fat.ok()) {
      EXPECT_EQ("", fat.Check());
    }
  }
  void Number(const Album& album, const char* message = kMessageSuccess) {
    dialog.path = album.folder + "/list.m3u";
    dialog.Run(&fs, kIdNumberMode);
    EXPECT_EQ(message, dialog.Message()) << album.folder;
  }

  FatKind kind() const {
    return fat.exfat() ? FatKind::kExfat : FatKind::kVfat;
  }

  TempDir dir;
  FatMount fat{dir.path()};
  LinuxFileSystem fs;
  FakeDialog dialog;
};

// What the step builds on: a new entry goes into the first run of free
// slots, from the folder's start, that holds it all.
TEST_F(FatOrderStickTest, ANewEntryTakesTheFirstFreeRunThatHoldsIt) {
  mkdir("Gaps", 0755);
  for (const char* name :
       {"A.MP3", "B.MP3", "C.MP3", "D.MP3", "E.MP3", "F.MP3", "G.MP3"})
    WriteFile(std::string("Gaps/") + name, name);
  // Gaps of one short entry (B), then of two (D, E): a slot each on vfat,
  // three on exfat.
  for (const char* name : {"Gaps/B.MP3", "Gaps/D.MP3", "Gaps/E.MP3"})
    ASSERT_EQ(0, unlink(name));
  // A name that needs more than one short entry's slots: two on vfat, four
  // on exfat.
  const std::string longer = fat.exfat() ? "Longer than fifteen.mp3"
                                         : "Two slots.mp3";
  WriteFile("Gaps/" + longer, "");  // Skips B's gap, takes D's and E's.
  WriteFile("Gaps/H.MP3", "");      // Takes B's.
  WriteFile("Gaps/I.MP3", "");      // Goes to the end.
  EXPECT_EQ((std::vector<std::string>{"A.MP3", "H.MP3", "C.MP3", longer,
                                      "F.MP3", "G.MP3", "I.MP3"}),
            SlotOrder("Gaps"));
}

TEST_F(FatOrderStickTest, NumberedFoldersEndInPlaylistOrder) {
  const struct {
    const char* folder;
    int tracks;
    bool long_names;
  } cases[] = {
      {"Twelve", 12, true},
      {"Short", 20, false},
      {"Three hundred", 300, true},
      {".", 12, true},  // The stick's root, its label in the first slot.
  };
  ASSERT_TRUE(fat.Label("CARSTICK"));
  ASSERT_EQ(0, chdir(fat.path().c_str()));
  for (const auto& c : cases) {
    Album album = MakeAlbum(c.folder, c.tracks, c.long_names, c.tracks);
    Number(album);
    ExpectInOrder(album);
    EXPECT_FALSE(Exists(album.folder + "/" + kStagingName));
    // Removal renames in place and keeps every file.
    dialog.Run(&fs, kIdRestoreMode);
    EXPECT_EQ(kMessageSuccess, dialog.Message()) << c.folder;
    for (const std::string& track : album.tracks)
      EXPECT_EQ(track, ReadFile(album.folder + "/" + track));
  }
}

// The step's slots on the stick, stopped after a set count of changes as a
// kill would (-1: never), and telling when the staging folder is being made.
struct Killed {};
class WatchedSlots : public SlotFolder {
 public:
  WatchedSlots(int fd, FatKind kind, long changes, MediumSync* sync)
      : slots_(OpenSlots(fd, kind, sync)), left_(changes) {}
  bool making = false;

  bool List(bool s, std::vector<Entry>* e) override {
    return slots_->List(s, e);
  }
  bool ReadFrom(int64_t from, const std::string& n,
                std::vector<Entry>* e) override {
    return slots_->ReadFrom(from, n, e);
  }
  bool StandsAt(int64_t at, const std::string& n, Entry* e) override {
    return slots_->StandsAt(at, n, e);
  }
  bool ReadLandings() override { return slots_->ReadLandings(); }
  bool Holds(bool s, const std::string& n) override {
    return slots_->Holds(s, n);
  }
  bool HasStaging() override { return slots_->HasStaging(); }
  int PlaceholderSlots() const override { return slots_->PlaceholderSlots(); }
  bool MakeStaging() override {
    making = true;
    bool made = Spend() && slots_->MakeStaging();
    making = false;
    return made;
  }
  bool RemoveStaging() override { return Spend() && slots_->RemoveStaging(); }
  bool MoveOut(const std::string& n) override {
    return Spend() && slots_->MoveOut(n);
  }
  bool MoveIn(const std::string& n) override {
    return Spend() && slots_->MoveIn(n);
  }
  bool MakePlaceholder(const std::string& n) override {
    return Spend() && slots_->MakePlaceholder(n);
  }
  bool RemovePlaceholder(const std::string& n) override {
    return Spend() && slots_->RemovePlaceholder(n);
  }
  bool RemoveEmpty(bool staging, const std::string& n) override {
    return Spend() && slots_->RemoveEmpty(staging, n);
  }

 private:
  bool Spend() {
    if (left_-- == 0) throw Killed();
    return true;
  }
  std::unique_ptr<SlotFolder> slots_;
  long left_;
};

TEST_F(FatOrderStickTest, AStepCutShortAtAnyChangeIsFinishedByTheNextRun) {
  for (long kill_at = 1; kill_at < 300; kill_at += 3) {
    std::string folder = "Album " + std::to_string(kill_at);
    Album album = MakeAlbum(folder, 8, true, 7);
    // Numbered in place by hand, then ordered until the kill.
    for (size_t i = 0; i < album.tracks.size(); ++i)
      ASSERT_EQ(0, rename((folder + "/" + album.tracks[i]).c_str(),
                          (folder + "/" + Numbered(i + 1, album.tracks[i]))
                              .c_str()));
    int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    bool finished = false;
    try {
      MediumSync sync;
      WatchedSlots slots(fd, kind(), kill_at, &sync);
      // As a run calls it: its playlist stays where it stands.
      finished = PutInOrder(&slots, true, {"list.m3u"}).ordered;
    } catch (const Killed&) {
    }
    close(fd);
    if (finished) break;  // Every moment of the step has been tried.
    // The next run that touches the folder finishes the step first.
    Number(album, kMessageFailures);  // Its tracks are numbered already.
    ExpectInOrder(album);
    EXPECT_FALSE(Exists(folder + "/" + kStagingName)) << kill_at;
  }
}

// What fsck finds on `image`. On vfat, but for the flag of a volume in use
// and for one file standing both in a folder and in its staging folder with
// its clusters shared, which a pull between a move's two writes leaves;
// with `leak_allowed`, also one cluster no entry holds. On exfat, where
// every write of a move goes in one sync, anything.
std::string Damage(const std::string& image, bool exfat,
                   bool leak_allowed = false) {
  if (exfat) return FatMount::Fsck(true, image);
  std::string command = "fsck.fat -n '" + image + "' 2>&1";
  FILE* fsck = popen(command.c_str(), "r");
  if (!fsck) return "fsck.fat did not start";
  std::vector<std::string> lines;
  char buffer[512];
  while (fgets(buffer, sizeof buffer, fsck)) lines.push_back(buffer);
  pclose(fsck);
  std::string damage;
  int pairs = 0;
  const std::string staged = std::string("/") + kStagingName + "/";
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    // The pair, then the second name's own line about its truncation.
    if (i + 3 < lines.size() && line.find("  and\n") != std::string::npos &&
        lines[i + 2].find("share clusters") != std::string::npos) {
      std::string a = line.substr(0, line.find("  and\n"));
      std::string b = lines[i + 1].substr(0, lines[i + 1].size() - 1);
      std::string& longer = a.size() > b.size() ? a : b;
      size_t at = longer.find(staged);
      if (at != std::string::npos &&
          longer.erase(at + 1, staged.size() - 1) == (&longer == &a ? b : a)) {
        ++pairs;
        i += 3;
        if (i + 3 < lines.size() &&
            lines[i + 2].find("cluster chain length is 0") != std::string::npos)
          i += 3;
        continue;
      }
    }
    // The staging folder's cluster, given by the FAT before its entry is
    // written: the other order leaves an entry the kernel refuses.
    if (leak_allowed && line == "Reclaimed 1 unused cluster (2048 bytes).\n")
      continue;
    if (line.rfind("fsck.fat ", 0) == 0 || line == "\n" ||
        line.find("Dirty bit is set") != std::string::npos ||
        line.find("removing dirty bit") != std::string::npos ||
        line.find("Leaving filesystem unchanged") != std::string::npos ||
        line.find(" files, ") != std::string::npos)
      continue;
    damage += line;
  }
  if (pairs > 1) damage += std::to_string(pairs) + " files in both folders\n";
  return damage;
}

// The album's tracks that a copy of `image`, mounted read-only, holds in
// neither the album's folder nor its staging folder: fsck.exfat does not
// look for entries past a folder's written size.
std::string Missing(const std::string& image, const Album& album) {
  const std::string copy = image + ".pulled", seen = image + ".seen";
  std::string mount = "cp '" + image + "' '" + copy + "' && mkdir -p '" + seen +
                      "' && mount -t exfat -o ro,loop '" + copy + "' '" + seen +
                      "'";
  if (system(mount.c_str()) != 0) return "the pulled stick did not mount\n";
  std::set<std::string> held;
  for (std::string folder : {album.folder, album.folder + "/" + kStagingName}) {
    for (const std::string& name : SlotOrder(seen + "/" + folder))
      held.insert(ReadFile(seen + "/" + folder + "/" + name));
  }
  std::string missing;
  for (const std::string& track : album.tracks)
    if (!held.count(track)) missing += "lost: " + track + "\n";
  std::string unmount = "umount '" + seen + "' && rm -f '" + copy + "'";
  if (system(unmount.c_str()) != 0)
    missing += "the pulled stick did not unmount\n";
  return missing;
}

// Looks at the stick after each of the step's writes: a stick pulled then
// keeps exactly what the image file holds.
class PullingSync : public MediumSync {
 public:
  PullingSync(const std::string& image, bool exfat, const Album& album)
      : image_(image), exfat_(exfat), album_(album) {}
  const WatchedSlots* slots = nullptr;  // Whose staging folder is being made.
  std::vector<std::string> damage;      // What each pull would have left.
  int writes = 0;

  void Sync(int fd, bool whole) override {
    MediumSync::Sync(fd, whole);
    std::string found = Damage(image_, exfat_, slots && slots->making);
    if (exfat_) found += Missing(image_, album_);
    ++writes;
    if (!found.empty())
      damage.push_back("pulled after write " + std::to_string(writes) + ":\n" +
                       found);
  }

 private:
  std::string image_;
  bool exfat_;
  const Album& album_;
};

TEST_F(FatOrderStickTest, AStickPulledBetweenAnyTwoWritesHoldsNoDamage) {
  // The free clusters hold old bytes, as on a stick in use: a folder that
  // came to one before its entries were written would show them as entries.
  int junk = open("junk", O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
  ASSERT_GE(junk, 0);
  const std::string bytes(65536, 'A');
  while (write(junk, bytes.data(), bytes.size()) > 0) {
  }
  fsync(junk);
  close(junk);
  ASSERT_EQ(0, unlink("junk"));
  // Long names, so that the staging folder grows by a cluster as files go
  // in (exFAT's clusters hold twice as many slots here), and spans sectors.
  Album album = MakeAlbum("Pulled", fat.exfat() ? 40 : 16, true, 11);
  for (size_t i = 0; i < album.tracks.size(); ++i)
    ASSERT_EQ(0,
              rename(("Pulled/" + album.tracks[i]).c_str(),
                     ("Pulled/" + Numbered(i + 1, album.tracks[i])).c_str()));
  sync();
  ASSERT_EQ("", Damage(fat.image(), fat.exfat()));
  int fd = open("Pulled", O_RDONLY | O_DIRECTORY);
  PullingSync sync(fat.image(), fat.exfat(), album);
  WatchedSlots slots(fd, kind(), -1, &sync);
  sync.slots = &slots;
  EXPECT_TRUE(PutInOrder(&slots, true, {"list.m3u"}).ordered);
  close(fd);
  // A move takes three syncs on vfat, one on exfat.
  EXPECT_GT(sync.writes, fat.exfat() ? 32 : 80);
  for (const std::string& damage : sync.damage) ADD_FAILURE() << damage;
  ExpectInOrder(album);
}

// A pull between the staging folder's making and its marks leaves it empty
// and unmarked: the next run takes it for ours and finishes the step.
TEST_F(FatOrderStickTest, AnEmptyStagingFolderWithoutItsMarksIsFinished) {
  Album album = MakeAlbum("Unmarked", 8, true, 5);
  for (size_t i = 0; i < album.tracks.size(); ++i)
    ASSERT_EQ(0,
              rename(("Unmarked/" + album.tracks[i]).c_str(),
                     ("Unmarked/" + Numbered(i + 1, album.tracks[i])).c_str()));
  ASSERT_EQ(0, mkdir(("Unmarked/" + std::string(kStagingName)).c_str(), 0755));
  Number(album, kMessageFailures);  // Its tracks are numbered already.
  ExpectInOrder(album);
  EXPECT_FALSE(Exists("Unmarked/" + std::string(kStagingName)));
}

// A name taken meanwhile: the next run leaves that file in the staging
// folder, replaces nothing, and says so in its log.
TEST_F(FatOrderStickTest, AFileThatCannotGoBackIsLoggedAndKept) {
  Album album = MakeAlbum("Taken", 3, true, 2);
  for (size_t i = 0; i < album.tracks.size(); ++i)
    ASSERT_EQ(0, rename(("Taken/" + album.tracks[i]).c_str(),
                        ("Taken/" + Numbered(i + 1, album.tracks[i])).c_str()));
  int fd = open("Taken", O_RDONLY | O_DIRECTORY);
  try {
    MediumSync sync;
    WatchedSlots slots(fd, kind(), 4,
                       &sync);  // The staging folder made, three files out.
    PutInOrder(&slots, true, {"list.m3u"});
  } catch (const Killed&) {
  }
  close(fd);
  const std::string name = Numbered(1, album.tracks[0]);
  WriteFile("Taken/" + name, "a newcomer");
  Number(album, kMessageFailures);
  EXPECT_EQ("a newcomer", ReadFile("Taken/" + name));
  EXPECT_EQ(album.tracks[0],
            ReadFile("Taken/" + std::string(kStagingName) + "/" + name));
  EXPECT_NE(std::string::npos,
            ReadFile("output.txt")
                .find("Playlist #1: Taken/" + std::string(kStagingName) + "/" +
                      name + " could not be renamed to Taken/" + name +
                      "\r\n"));
}

TEST_F(FatOrderStickTest, WhatCannotBeDoneLosesNothing) {
  // The staging name is a user's folder, then a user's file: no order, and
  // theirs is left as it is.
  Album mine = MakeAlbum("Theirs", 6, true, 3);
  WriteFile("Theirs/" + std::string(kStagingName) + "/keep.txt", "keep");
  Number(mine);
  EXPECT_EQ("keep",
            ReadFile("Theirs/" + std::string(kStagingName) + "/keep.txt"));
  Album file = MakeAlbum("File", 6, true, 3);
  WriteFile("File/" + std::string(kStagingName), "a file");
  Number(file);
  EXPECT_EQ("a file", ReadFile("File/" + std::string(kStagingName)));

  // A read-only track moves like any other.
  Album read_only = MakeAlbum("Read-only", 6, true, 5);
  ASSERT_EQ(0, chmod(("Read-only/" + read_only.tracks[2]).c_str(), 0444));
  Number(read_only);
  ExpectInOrder(read_only);

  // A full stick has no cluster for the staging folder: the renames are
  // made in place, in whatever order, and the run says it succeeded.
  Album full = MakeAlbum("Full", 6, true, 7);
  {
    int fd = open("FILLER.BIN", O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    static const char block[64 * 1024] = {};
    while (write(fd, block, sizeof block) > 0) {
    }
    close(fd);
  }
  struct statvfs space;
  ASSERT_EQ(0, statvfs(".", &space));
  ASSERT_EQ(0u, space.f_bavail);
  Number(full);
  EXPECT_FALSE(Exists("Full/" + std::string(kStagingName)));
  for (size_t i = 0; i < full.tracks.size(); ++i)
    EXPECT_EQ(full.tracks[i],
              ReadFile("Full/" + Numbered(i + 1, full.tracks[i])));
  ASSERT_EQ(0, unlink("FILLER.BIN"));

  // The root of a FAT16 stick holds 512 slots and no more. Full, the
  // renames fail and nothing moves; one slot free, the run numbers and
  // orders there. exfat's root grows as any folder does.
  if (fat.exfat()) return;
  WriteFile("A.MP3", "a");
  WriteFile("B.MP3", "b");
  WriteFile("LIST.M3U", "A.MP3\r\nB.MP3\r\n");
  // Long names first (21 slots each), then short ones, until none fits.
  int fillers = 0;
  std::string last;
  for (const char* pattern : {"%03d filler %0240d", "F%d.TXT"}) {
    for (;; ++fillers) {
      char name[300];
      snprintf(name, sizeof name, pattern, fillers, 0);
      WriteFile(name, "");
      if (!Exists(name)) break;
      last = name;
    }
  }
  ASSERT_GT(fillers, 20);
  dialog.path = "LIST.M3U";
  dialog.Run(&fs, kIdNumberMode);
  EXPECT_EQ(kMessageFailures, dialog.Message());
  EXPECT_EQ("a", ReadFile("A.MP3"));
  EXPECT_EQ("b", ReadFile("B.MP3"));
  ASSERT_EQ(0, unlink(last.c_str()));  // A slot or more comes free.
  dialog.Run(&fs, kIdNumberMode);
  EXPECT_EQ(kMessageSuccess, dialog.Message());
  std::vector<std::string> files = SlotOrder(".");
  auto a = std::find(files.begin(), files.end(), "000001A.MP3");
  auto b = std::find(files.begin(), files.end(), "000002B.MP3");
  ASSERT_TRUE(a != files.end() && b != files.end());
  EXPECT_LT(a, b);
  EXPECT_EQ("a", ReadFile("000001A.MP3"));
  EXPECT_EQ("b", ReadFile("000002B.MP3"));
}

}  // namespace
}  // namespace quenby
