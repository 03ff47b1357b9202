#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "fake_dialog.h"
#include "fat_mount.h"
#include "linux_file_system.h"
#include "run_renaming.h"
#include "temp_dir.h"

namespace quenby {
namespace {

class FatTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fat.has_driver())
      GTEST_SKIP() << "no FAT file system: " << fat.reason();
    ASSERT_TRUE(fat.ok()) << fat.reason();
    ASSERT_EQ(0, chdir(fat.path().c_str()));
  }
  void TearDown() override {
    (void)chdir(dir.path().c_str());
    // The run of a test that renamed by hand ends here: the file system
    // lets go of the folders it held open, so that the stick unmounts.
    fs.RenamesDone();
    // Whatever a test did, the stick's file system is sound afterwards.
    if (fat.ok()) {
      EXPECT_EQ("", fat.Check());
    }
  }

  TempDir dir;
  FatMount fat{dir.path()};
  LinuxFileSystem fs;
  FakeDialog dialog;
};

TEST_F(FatTest, RenameRefusesAnExistingTargetWhereTheFlagIsRefused) {
  WriteFile("a.mp3", "a");
  WriteFile("b.mp3", "b");
  EXPECT_FALSE(fs.Rename("a.mp3", "b.mp3"));
  EXPECT_EQ("a", ReadFile("a.mp3"));
  EXPECT_EQ("b", ReadFile("b.mp3"));
  // FAT ignores letter case: a name that differs only in case is taken.
  EXPECT_FALSE(fs.Rename("a.mp3", "B.MP3"));
  EXPECT_EQ("a", ReadFile("a.mp3"));
  EXPECT_EQ("b", ReadFile("b.mp3"));
  // A failed rename makes nothing at the new name.
  EXPECT_FALSE(fs.Rename("missing.mp3", "c.mp3"));
  EXPECT_FALSE(Exists("c.mp3"));
  EXPECT_TRUE(fs.Rename("a.mp3", "c.mp3"));
  EXPECT_EQ("a", ReadFile("c.mp3"));
  EXPECT_FALSE(Exists("a.mp3"));
}

TEST_F(FatTest, NumbersAndRestoresAPlaylist) {
  WriteFile("Music/Long File Name One.mp3", "1");
  WriteFile("Music/two.mp3", "2");
  WriteFile("Music/000003three.mp3", "in the way");
  WriteFile("Music/three.mp3", "3");
  WriteFile("list.m3u",
            "#EXTM3U\r\nMusic\\Long File Name One.mp3\r\nMusic\\two.mp3\r\n"
            "Music\\three.mp3\r\n");
  dialog.path = "list.m3u";

  dialog.Run(&fs, kIdNumberMode);
  EXPECT_EQ(kMessageFailures, dialog.Message());
  EXPECT_EQ("1", ReadFile("Music/000001Long File Name One.mp3"));
  EXPECT_EQ("2", ReadFile("Music/000002two.mp3"));
  EXPECT_EQ("3", ReadFile("Music/three.mp3"));
  EXPECT_EQ("in the way", ReadFile("Music/000003three.mp3"));
  EXPECT_NE(std::string::npos, ReadFile("output.txt")
                                   .find("Playlist #3: Music\\three.mp3 could "
                                         "not be renamed to "
                                         "Music\\000003three.mp3\r\n"));

  dialog.Run(&fs, kIdRestoreMode);
  EXPECT_EQ(kMessageFailures, dialog.Message());  // Entry 3 again.
  EXPECT_EQ("1", ReadFile("Music/Long File Name One.mp3"));
  EXPECT_EQ("2", ReadFile("Music/two.mp3"));
  EXPECT_EQ("3", ReadFile("Music/three.mp3"));
  EXPECT_EQ("in the way", ReadFile("Music/000003three.mp3"));
}

// fusefat garbles a file of a folder in which names were reserved with an
// exclusive create, so a whole folder is numbered and restored here.
TEST_F(FatTest, NumberingAFolderOfTwentyKeepsEveryFilesData) {
  std::string list;
  for (int i = 1; i <= 20; ++i) {
    std::string name = "song " + std::to_string(i) + ".mp3";
    WriteFile("M/" + name, name);
    list += "M\\" + name + "\r\n";
  }
  WriteFile("list.m3u", list);
  dialog.path = "list.m3u";
  dialog.Run(&fs, kIdNumberMode);
  EXPECT_EQ(kMessageSuccess, dialog.Message());
  dialog.Run(&fs, kIdRestoreMode);
  EXPECT_EQ(kMessageSuccess, dialog.Message());
  for (int i = 1; i <= 20; ++i) {
    std::string name = "song " + std::to_string(i) + ".mp3";
    EXPECT_EQ(name, ReadFile("M/" + name));
  }
}

TEST_F(FatTest, ATargetThatDiffersOnlyInCaseIsTakenInBothModes) {
  WriteFile("M/a.mp3", "a");
  WriteFile("M/000001A.MP3", "numbered by hand");
  WriteFile("M/b.mp3", "b");
  WriteFile("list.m3u", "M\\a.mp3\r\nM\\b.mp3\r\n");
  dialog.path = "list.m3u";
  dialog.Run(&fs, kIdNumberMode);
  EXPECT_EQ(kMessageFailures, dialog.Message());
  EXPECT_EQ("a", ReadFile("M/a.mp3"));
  // Read under the names as written: under iocharset=utf8 the kernel's vfat
  // finds a name in other letter case only where it fits 8.3.
  EXPECT_EQ("numbered by hand", ReadFile("M/000001A.MP3"));
  EXPECT_EQ("b", ReadFile("M/000002b.mp3"));
  std::string log = ReadFile("output.txt");
  EXPECT_NE(std::string::npos,
            log.find("\r\nPlaylist #1: M\\a.mp3 could not be renamed to "
                     "M\\000001a.mp3\r\n\r\n\r\n"));

  // Removal: the plain name of entry 2 is taken in other letter case.
  WriteFile("M/B.MP3", "in the way");
  dialog.Run(&fs, kIdRestoreMode);
  EXPECT_EQ(kMessageFailures, dialog.Message());
  EXPECT_EQ("numbered by hand", ReadFile("M/000001A.MP3"));
  EXPECT_EQ("b", ReadFile("M/000002b.mp3"));
  EXPECT_EQ("in the way", ReadFile("M/B.MP3"));
  EXPECT_EQ("a", ReadFile("M/a.mp3"));
  EXPECT_NE(std::string::npos,
            ReadFile("output.txt")
                .find("\r\nPlaylist #2: M\\000002b.mp3 could "
                      "not be renamed to M\\b.mp3\r\n"));
}

// Long names and names outside ASCII live in FAT's long-name entries, where
// the drivers compare letter case on their own, apart from the 8.3 names.
TEST_F(FatTest, LongAndNonAsciiTargetsThatDifferOnlyInCaseAreTaken) {
  struct Case {
    const char* what;
    std::string name;
    std::string numbered_other_case;
    std::string plain_other_case;
  };
  const Case cases[] = {
      {"long", "Long Name.mp3", "000001LONG NAME.MP3", "LONG NAME.MP3"},
      {"outside ASCII", "\xc3\xa9t\xc3\xa9 d\xc3\xa9j\xc3\xa0.mp3",
       "000001\xc3\x89T\xc3\x89 D\xc3\x89J\xc3\x80.MP3",
       "\xc3\x89T\xc3\x89 D\xc3\x89J\xc3\x80.MP3"},
      {"Cyrillic", "\xd0\xbf\xd0\xb5\xd1\x81\xd0\xbd\xd1\x8f.mp3",
       "000001\xd0\x9f\xd0\x95\xd0\xa1\xd0\x9d\xd0\xaf.MP3",
       "\xd0\x9f\xd0\x95\xd0\xa1\xd0\x9d\xd0\xaf.MP3"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string folder = std::string("M-") + c.what;
    WriteFile(folder + "/" + c.name, "mine");
    if (!Exists(folder + "/" + c.name)) {
      std::printf("this FAT driver takes no name like %s\n", c.name.c_str());
      continue;
    }
    WriteFile(folder + "/" + c.numbered_other_case, "numbered by hand");
    WriteFile("list.m3u", folder + "\\" + c.name + "\r\n");
    dialog.path = "list.m3u";
    dialog.Run(&fs, kIdNumberMode);
    EXPECT_EQ(kMessageFailures, dialog.Message());
    EXPECT_EQ("mine", ReadFile(folder + "/" + c.name));
    EXPECT_EQ("numbered by hand",
              ReadFile(folder + "/" + c.numbered_other_case));

    // Removal: the plain name is taken in other letter case.
    ASSERT_EQ(0, rename((folder + "/" + c.numbered_other_case).c_str(),
                        (folder + "/elsewhere").c_str()));
    dialog.Run(&fs, kIdNumberMode);
    ASSERT_EQ(kMessageSuccess, dialog.Message());
    WriteFile(folder + "/" + c.plain_other_case, "in the way");
    dialog.Run(&fs, kIdRestoreMode);
    EXPECT_EQ(kMessageFailures, dialog.Message());
    EXPECT_EQ("mine", ReadFile(folder + "/000001" + c.name));
    EXPECT_EQ("in the way", ReadFile(folder + "/" + c.plain_other_case));
  }
}

// The run reads a folder's names once and keeps them as it renames: a name
// it freed is free, a name it made is taken, in any letter case.
TEST_F(FatTest, NamesTheRunFreedOrMadeCountInTheSameRun) {
  WriteFile("M/000002Long A.mp3", "numbered by hand");
  WriteFile("M/Long a.mp3", "a");
  WriteFile("M/000003LONG B.MP3", "b3");
  WriteFile("M/000004long b.mp3", "b4");
  // Entry 1 moves the hand-numbered file out of entry 2's way.
  WriteFile("list.m3u", "M\\000002Long A.mp3\r\nM\\Long a.mp3\r\n");
  dialog.path = "list.m3u";
  dialog.Run(&fs, kIdNumberMode);
  EXPECT_EQ(kMessageSuccess, dialog.Message());
  EXPECT_EQ("numbered by hand", ReadFile("M/000001000002Long A.mp3"));
  EXPECT_EQ("a", ReadFile("M/000002Long a.mp3"));

  // Removal: entry 3 brings back "LONG B.MP3", then entry 4's "long b.mp3"
  // is taken.
  // (A list of its own: fusefat garbles a file rewritten in place.)
  WriteFile("removal.m3u", "x\r\nx\r\nM\\LONG B.MP3\r\nM\\long b.mp3\r\n");
  dialog.path = "removal.m3u";
  dialog.Run(&fs, kIdRestoreMode);
  EXPECT_EQ(kMessageFailures, dialog.Message());
  EXPECT_EQ("b3", ReadFile("M/LONG B.MP3"));
  EXPECT_EQ("b4", ReadFile("M/000004long b.mp3"));
  EXPECT_NE(std::string::npos,
            ReadFile("output.txt")
                .find("Playlist #4: M\\000004long b.mp3 could "
                      "not be renamed to M\\long b.mp3\r\n"));
}

TEST_F(FatTest, NamesOutsideAsciiAreNumberedAndRestoredByteForByte) {
  const std::string names[] = {"\xc3\x89lan vital.mp3",
                               "\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e.mp3",
                               "caf\xc3\xa9 cr\xc3\xa8me.mp3"};
  std::string list = "#EXTM3U\r\n";
  for (const std::string& name : names) {
    WriteFile("M/" + name, name);
    list += "M\\" + name + "\r\n";
  }
  if (!Exists("M/" + names[0]))
    GTEST_SKIP() << "this FAT driver takes no names outside ASCII";
  list +=
      "M\\\xc3\xbc"
      "ber missing.mp3\r\n";
  WriteFile("list.m3u", list);
  dialog.path = "list.m3u";
  dialog.Run(&fs, kIdNumberMode);
  EXPECT_EQ(kMessageFailures, dialog.Message());
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(names[i], ReadFile("M/00000" + std::to_string(i + 1) + names[i]));
    EXPECT_FALSE(Exists("M/" + names[i]));
  }
  EXPECT_NE(std::string::npos, ReadFile("output.txt")
                                   .find("Playlist #4: M\\\xc3\xbc"
                                         "ber missing.mp3 could not be "
                                         "renamed to M\\000004\xc3\xbc"
                                         "ber missing.mp3\r\n"));
  dialog.Run(&fs, kIdRestoreMode);
  for (const std::string& name : names) EXPECT_EQ(name, ReadFile("M/" + name));
}

TEST_F(FatTest, ANameTooLongForFatIsLoggedAndKept) {
  // FAT names hold 255 characters: the numbered name would have 261.
  const std::string name(255, 'n');
  WriteFile("M/" + name, "long");
  WriteFile("M/short.mp3", "short");
  WriteFile("list.m3u", "M\\" + name + "\nM\\short.mp3\n");
  dialog.path = "list.m3u";
  dialog.Run(&fs, kIdNumberMode);
  EXPECT_EQ(kMessageFailures, dialog.Message());
  EXPECT_EQ("long", ReadFile("M/" + name));
  EXPECT_EQ("short", ReadFile("M/000002short.mp3"));
  EXPECT_NE(std::string::npos,
            ReadFile("output.txt")
                .find("Playlist #1: M\\" + name +
                      " could not be renamed to M\\000001" + name + "\r\n"));
}

TEST_F(FatTest, AReadOnlyStickRefusesEveryRenameAndKeepsEveryFile) {
  WriteFile("M/a.mp3", "a");
  WriteFile("M/b.mp3", "b");
  ASSERT_EQ(0, chdir(dir.path().c_str()));
  ASSERT_TRUE(fat.Remount("ro"));
  // The playlist and the log live outside the stick; the files on it.
  WriteFile("list.m3u", "fat\\M\\a.mp3\nfat\\M\\b.mp3\n");
  dialog.path = "list.m3u";
  for (int mode : {kIdNumberMode, kIdRestoreMode}) {
    dialog.Run(&fs, mode);
    EXPECT_EQ(kMessageFailures, dialog.Message());
    std::string log = ReadFile("output.txt");
    EXPECT_NE(std::string::npos, log.find("\r\nPlaylist #1: "));
    EXPECT_NE(std::string::npos, log.find("\r\nPlaylist #2: "));
    EXPECT_EQ("a", ReadFile("fat/M/a.mp3"));
    EXPECT_EQ("b", ReadFile("fat/M/b.mp3"));
    EXPECT_FALSE(Exists("fat/M/000001a.mp3"));
  }
}

TEST_F(FatTest, AFullStickLosesTheLogButNoFile) {
  WriteFile("M/a.mp3", "a");
  WriteFile("M/b.mp3", "b");
  WriteFile("list.m3u", "M\\a.mp3\nM\\gone.mp3\nM\\b.mp3\n");
  {
    // Fill every free cluster.
    std::ofstream filler("filler", std::ios::binary);
    std::string block(64 * 1024, 'f');
    for (int i = 0; i < 512 && filler.write(block.data(), block.size()); ++i) {
    }
  }
  // The kernel's vfat gives back the clusters of a write that failed for
  // want of room, which a log would then take: fill those in small steps.
  int fd = open("filler 2", O_WRONLY | O_CREAT, 0644);
  ASSERT_GE(fd, 0);
  char small[512] = {};
  for (int i = 0; i < 1024 && write(fd, small, sizeof small) > 0; ++i) {
  }
  close(fd);
  dialog.path = "list.m3u";
  dialog.Run(&fs, kIdNumberMode);
  EXPECT_EQ(kMessageFailures, dialog.Message());
  // Each file is under exactly one of its names, with all its bytes, and no
  // placeholder is left behind where a rename failed.
  for (const char* name : {"a.mp3", "b.mp3"}) {
    std::string numbered = std::string(name) == "a.mp3" ? "000001a.mp3"
                                                        : "000003b.mp3";
    EXPECT_NE(Exists("M/" + std::string(name)), Exists("M/" + numbered))
        << name;
    std::string contents = Exists("M/" + numbered)
                               ? ReadFile("M/" + numbered)
                               : ReadFile("M/" + std::string(name));
    EXPECT_EQ(std::string(name, 1), contents);
  }
  EXPECT_FALSE(Exists("M/000002gone.mp3"));
  // The log got its directory entry, but not one byte of it fits.
  EXPECT_EQ("", ReadFile("output.txt"));
  dialog.Run(&fs, kIdRestoreMode);
  EXPECT_EQ("a", ReadFile("M/a.mp3"));
  EXPECT_EQ("b", ReadFile("M/b.mp3"));
}

TEST_F(FatTest, ALongLogIsRewrittenIntactByTheNextRun) {
  // Over one cluster of log, emptied and written again by a second run.
  WriteFile("M/keep.mp3", std::string(5000, 'k'));
  std::string list;
  for (int i = 1; i <= 60; ++i)
    list += "M\\missing " + std::to_string(i) + "\r\n";
  WriteFile("list.m3u", list);
  dialog.path = "list.m3u";
  dialog.Run(&fs, kIdNumberMode);
  std::string first = ReadFile("output.txt");
  ASSERT_GT(first.size(), 4096u);
  dialog.Run(&fs, kIdNumberMode);
  std::string second = ReadFile("output.txt");
  EXPECT_EQ(first.substr(first.find("\r\n")),
            second.substr(second.find("\r\n")));
  EXPECT_EQ(std::string(5000, 'k'), ReadFile("M/keep.mp3"));
}

}  // namespace
}  // namespace quenby
