#include <gtest/gtest.h>
#include <unistd.h>

#include "fake_dialog.h"
#include "fat_mount.h"
#include "posix_file_system.h"
#include "run_renaming.h"
#include "temp_dir.h"

namespace quenby {
namespace {

class FatTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fat.has_fuse()) GTEST_SKIP() << "no FAT file system: " << fat.reason();
    ASSERT_TRUE(fat.ok()) << fat.reason();
    ASSERT_EQ(0, chdir(fat.path().c_str()));
  }
  void TearDown() override { (void)chdir(dir.path().c_str()); }

  TempDir dir;
  FatMount fat{dir.path()};
  PosixFileSystem fs;
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
  EXPECT_NE(std::string::npos,
            ReadFile("output.txt").find("Playlist #3: Music\\three.mp3 could "
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

}  // namespace
}  // namespace quenby
