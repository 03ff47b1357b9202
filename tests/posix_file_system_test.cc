#include "posix_file_system.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "fake_dialog.h"
#include "run_renaming.h"
#include "temp_dir.h"

namespace quenby {
namespace {

TEST(PosixFileSystemTest, BackslashesBecomeSlashesAndNothingElseChanges) {
  EXPECT_EQ("C:/Music/a b.mp3", ToPosixPath("C:\\Music\\a b.mp3"));
  EXPECT_EQ("/a.mp3", ToPosixPath("\\a.mp3"));
  EXPECT_EQ("M/x/y/../z ", ToPosixPath("M\\x/y\\..\\z "));
}

TEST(PosixFileSystemTest, RenameNeverReplaces) {
  TempDir dir;
  PosixFileSystem fs;
  WriteFile("a", "a");
  WriteFile("b", "b");
  EXPECT_FALSE(fs.Rename("a", "b"));
  EXPECT_EQ("a", ReadFile("a"));
  EXPECT_EQ("b", ReadFile("b"));
  EXPECT_FALSE(fs.Rename("missing", "c"));
  EXPECT_FALSE(Exists("c"));
  mkdir("sub", 0755);
  EXPECT_TRUE(fs.Rename("sub\\..\\a", "c"));
  EXPECT_EQ("a", ReadFile("c"));
}

TEST(PosixFileSystemTest, PlaylistsThatAreNoRegularFileCannotBeOpened) {
  TempDir dir;
  PosixFileSystem fs;
  mkdir("folder", 0755);
  ASSERT_EQ(0, mkfifo("fifo", 0644));
  for (const char* path : {"folder", "fifo", "/dev/zero"}) {
    EXPECT_TRUE(fs.IsReadable(path)) << path;
    EXPECT_EQ(nullptr, fs.OpenPlaylist(path)) << path;  // Must not block.
  }
  EXPECT_FALSE(fs.IsReadable(""));
  EXPECT_FALSE(fs.IsReadable("missing"));
}

TEST(PosixFileSystemTest, TheLogNeverFollowsALink) {
  TempDir dir;
  PosixFileSystem fs;
  WriteFile("precious", "keep me");
  ASSERT_EQ(0, symlink("precious", "output.txt"));
  EXPECT_EQ(nullptr, fs.CreateLog("output.txt"));
  EXPECT_EQ("keep me", ReadFile("precious"));
  ASSERT_EQ(0, unlink("output.txt"));
  ASSERT_EQ(0, mkfifo("output.txt", 0644));
  EXPECT_EQ(nullptr, fs.CreateLog("output.txt"));  // And does not block.
}

std::string Backslashed(std::string path) {
  std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}

// Numbering and restoring real files, the way a user runs the program.
class PosixRunTest : public ::testing::Test {
 protected:
  TempDir dir;
  PosixFileSystem fs;
  FakeDialog dialog;
};

TEST_F(PosixRunTest, NumbersAndRestoresEveryName) {
  WriteFile("Music/Rock/one.mp3", "1");
  WriteFile("Music/two words .mp3", "2");
  WriteFile("Music/\xe9t\xe9.mp3", "3");  // Latin-1 bytes
  WriteFile("Music/\xc3\xa9t\xc3\xa9.mp3", "4");  // UTF-8
  WriteFile(dir.path() + "/abs.mp3", "5");
  WriteFile("list.m3u",
            "#EXTM3U\r\n#EXTINF:1,One\r\nMusic\\Rock\\one.mp3\r\n"
            "Music\\two words .mp3\r\n#EXTINF:3,Three\r\n"
            "Music\\\xe9t\xe9.mp3\r\nMusic\\\xc3\xa9t\xc3\xa9.mp3\r\n" +
                Backslashed(dir.path()) + "\\abs.mp3\n");
  dialog.path = dir.path() + "/list.m3u";

  dialog.Run(&fs, kIdNumberMode);
  EXPECT_EQ(kMessageSuccess, dialog.Message());
  EXPECT_FALSE(Exists("output.txt"));
  EXPECT_EQ("1", ReadFile("Music/Rock/000001one.mp3"));
  EXPECT_EQ("2", ReadFile("Music/000002two words .mp3"));
  EXPECT_EQ("3", ReadFile("Music/000003\xe9t\xe9.mp3"));
  EXPECT_EQ("4", ReadFile("Music/000004\xc3\xa9t\xc3\xa9.mp3"));
  EXPECT_EQ("5", ReadFile("000005abs.mp3"));
  EXPECT_FALSE(Exists("Music/Rock/one.mp3"));

  dialog.Run(&fs, kIdRestoreMode);
  EXPECT_EQ(kMessageSuccess, dialog.Message());
  EXPECT_EQ("1", ReadFile("Music/Rock/one.mp3"));
  EXPECT_EQ("2", ReadFile("Music/two words .mp3"));
  EXPECT_EQ("3", ReadFile("Music/\xe9t\xe9.mp3"));
  EXPECT_EQ("4", ReadFile("Music/\xc3\xa9t\xc3\xa9.mp3"));
  EXPECT_EQ("5", ReadFile("abs.mp3"));
  EXPECT_FALSE(Exists("Music/Rock/000001one.mp3"));
}

TEST_F(PosixRunTest, AnExistingTargetIsNeverReplaced) {
  WriteFile("M/a.mp3", "a");
  WriteFile("M/000001a.mp3", "already there");
  WriteFile("list.m3u", "M\\a.mp3\n");
  dialog.path = "list.m3u";
  dialog.Run(&fs, kIdNumberMode);
  EXPECT_EQ(kMessageFailures, dialog.Message());
  EXPECT_EQ("a", ReadFile("M/a.mp3"));
  EXPECT_EQ("already there", ReadFile("M/000001a.mp3"));
  std::string log = ReadFile("output.txt");
  EXPECT_NE(std::string::npos,
            log.find("\r\nPlaylist #1: M\\a.mp3 could not be renamed to "
                     "M\\000001a.mp3\r\n\r\n\r\n"));

  dialog.Run(&fs, kIdRestoreMode);
  EXPECT_EQ(kMessageFailures, dialog.Message());
  EXPECT_EQ("a", ReadFile("M/a.mp3"));
  EXPECT_EQ("already there", ReadFile("M/000001a.mp3"));
}

TEST_F(PosixRunTest, SpecialPlaylistsAreReportedNotRead) {
  mkdir("folder", 0755);
  ASSERT_EQ(0, mkfifo("fifo", 0644));
  for (const char* path : {"folder", "fifo", "/dev/zero"}) {
    dialog.path = path;
    dialog.Run(&fs, kIdNumberMode);
    EXPECT_EQ(kMessageCannotOpen, dialog.Message()) << path;
  }
  // The log of an early exit keeps its header line alone.
  std::string log = ReadFile("output.txt");
  EXPECT_EQ(log.find("\r\n") + 2, log.size());
}

TEST_F(PosixRunTest, ThePlaylistMayBeTheLogItself) {
  // The log is emptied first, so the list holds the header alone; reading
  // stops at the size it had when it was opened.
  WriteFile("output.txt", "M\\a\n");
  dialog.path = "output.txt";
  dialog.Run(&fs, kIdNumberMode);
  EXPECT_EQ(kMessageFailures, dialog.Message());
  std::string log = ReadFile("output.txt");
  EXPECT_NE(std::string::npos, log.find("Playlist #1: "));
  EXPECT_EQ(std::string::npos, log.find("Playlist #2: "));
}

}  // namespace
}  // namespace quenby
