#include "linux_file_system.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "code_page.h"
#include "entry_path.h"
#include "fake_dialog.h"
#include "linux_path.h"
#include "run_renaming.h"
#include "temp_dir.h"
#include "utf16_bytes.h"

namespace quenby {
namespace {

// What an entry names on each platform, before any file system sees it.
// The Windows path is read as written only: code pages become Unicode there.
TEST(LinuxFileSystemTest, EntriesBecomeNativePaths) {
  const TextToUtf8 kAsWritten = nullptr;
  const TextToUtf8 k1252 = Windows1252ToUtf8;
  const TextToUtf8 k932 = ShiftJisToUtf8;
  const struct {
    const char* entry;
    TextToUtf8 code_page;
    const char* posix;    // Null: names no path here.
    const char* windows;  // Null: names no path there.
  } cases[] = {
      {"C:\\Music\\a b.mp3", kAsWritten, "C:/Music/a b.mp3",
       "C:\\Music\\a b.mp3"},
      {"\\a.mp3", kAsWritten, "/a.mp3", "\\a.mp3"},
      {"M\\x/y\\..\\z ", kAsWritten, "M/x/y/../z ", "M\\x/y\\..\\z "},
      {"M\\Bj\xf6rk", kAsWritten, "M/Bj\xf6rk", "M\\Bj\xf6rk"},
      {"M\\Bj\xf6rk", k1252, "M/Bj\xc3\xb6rk", ""},
      {"M\\\x80\x81", k1252, nullptr, ""},  // 0x81 is no character there.
      // Shift_JIS: the 0x5C of "\x83\x5c" is half of a katakana so.
      {"M\\\x83\x5c\x83\x93\x83\x4f.mp3", kAsWritten,
       "M/\x83/\x83\x93\x83\x4f.mp3", "M\\\x83\x5c\x83\x93\x83\x4f.mp3"},
      {"M\\\x83\x5c\x83\x93\x83\x4f.mp3", k932,
       "M/\xe3\x82\xbd\xe3\x83\xb3\xe3\x82\xb0.mp3", ""},
      {"M\\\x83", k932, nullptr, ""},  // Half a character.
      {"file:///C:/M/a%20b%F6", k1252, "C:/M/a b\xc3\xb6", ""},
      {"file:///C:/M/a%20b", kAsWritten, "C:/M/a b", "C:\\M\\a b"},
      {"file://server/M/a", kAsWritten, nullptr, "\\\\server\\M\\a"},
      {"file:///M/a%2Fb", kAsWritten, nullptr, nullptr},  // Escaped slash.
  };
  EXPECT_EQ("C:/M/a%20b", ToPosixPath("C:\\M\\a%20b"));
  for (const auto& c : cases) {
    std::string path;
    ASSERT_EQ(c.posix != nullptr, EntryToPosixPath(c.entry, c.code_page, &path))
        << c.entry;
    if (c.posix) {
      EXPECT_EQ(c.posix, path) << c.entry;
    }
    if (c.windows && *c.windows == '\0') continue;
    ASSERT_EQ(c.windows != nullptr, EntryToWindowsPath(c.entry, &path))
        << c.entry;
    if (c.windows) {
      EXPECT_EQ(c.windows, path) << c.entry;
    }
  }
}

TEST(LinuxFileSystemTest, RenameNeverReplaces) {
  TempDir dir;
  LinuxFileSystem fs;
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

TEST(LinuxFileSystemTest, PlaylistsThatAreNoRegularFileCannotBeOpened) {
  TempDir dir;
  LinuxFileSystem fs;
  mkdir("folder", 0755);
  ASSERT_EQ(0, mkfifo("fifo", 0644));
  for (const char* path : {"folder", "fifo", "/dev/zero"}) {
    EXPECT_TRUE(fs.IsReadable(path)) << path;
    EXPECT_EQ(nullptr, fs.OpenPlaylist(path)) << path;  // Must not block.
  }
  EXPECT_FALSE(fs.IsReadable(""));
  EXPECT_FALSE(fs.IsReadable("missing"));
}

TEST(LinuxFileSystemTest, TheLogNeverFollowsALink) {
  TempDir dir;
  LinuxFileSystem fs;
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
class LinuxRunTest : public ::testing::Test {
 protected:
  TempDir dir;
  LinuxFileSystem fs;
  FakeDialog dialog;
};

TEST_F(LinuxRunTest, NumbersAndRestoresEveryName) {
  WriteFile("Music/Rock/one.mp3", "1");
  WriteFile("Music/two words .mp3", "2");
  WriteFile("Music/\xe9t\xe9.mp3", "3");          // Latin-1 bytes
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

TEST_F(LinuxRunTest, AnExistingTargetIsNeverReplaced) {
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

// Each playlist as another program wrote it, numbered and then restored.
// "@" stands for the test's folder.
TEST_F(LinuxRunTest, ReadsPlaylistsAsOtherProgramsWriteThem) {
  using Files = std::vector<std::pair<std::string, std::string>>;
  const struct {
    const char* name;
    std::string playlist;
    Files before;
    Files numbered;
    const char* message;
  } cases[] = {
      {"UTF-8 mark",
       "\xef\xbb\xbf"
       "a.mp3\r\n",
       {{"a.mp3", "a"}},
       {{"000001a.mp3", "a"}},
       kMessageSuccess},
      {"UTF-16",
       Utf16(u"#EXTM3U\r\nM\\\u00e9.mp3\r\nb\xd800\n", true),
       {{"M/\xc3\xa9.mp3", "e"}},
       {{"M/000001\xc3\xa9.mp3", "e"}},
       kMessageFailures},  // The lone surrogate.
      {"Windows-1252 line, UTF-8 name",
       "M\\Bj\xf6rk.mp3\n",
       {{"M/Bj\xc3\xb6rk.mp3", "b"}},
       {{"M/000001Bj\xc3\xb6rk.mp3", "b"}},
       kMessageSuccess},
      {"both readings there: as written wins",
       "Bj\xf6rk.mp3\n",
       {{"Bj\xf6rk.mp3", "1252"}, {"Bj\xc3\xb6rk.mp3", "8"}},
       {{"000001Bj\xf6rk.mp3", "1252"}, {"Bj\xc3\xb6rk.mp3", "8"}},
       kMessageSuccess},
      {"Shift_JIS 0x5C is a backslash",
       "M\\\x83\x5c.mp3\n",
       {{"M/\x83/.mp3", "so"}},
       {{"M/\x83/000001.mp3", "so"}},
       kMessageSuccess},
      // "ソニー\表示.mp3" and "ソング.mp3": the 0x5C inside a character
      // is no separator, and the number goes in front of the name.
      {"Shift_JIS line, UTF-8 names",
       "\x83\x5c\x83\x6a\x81\x5b\\\x95\x5c\x8e\xa6.mp3\r\n"
       "\x83\x5c\x83\x93\x83\x4f.mp3\r\n",
       {{"\xe3\x82\xbd\xe3\x83\x8b\xe3\x83\xbc/\xe8\xa1\xa8\xe7\xa4\xba.mp3",
         "1"},
        {"\xe3\x82\xbd\xe3\x83\xb3\xe3\x82\xb0.mp3", "2"}},
       {{"\xe3\x82\xbd\xe3\x83\x8b\xe3\x83\xbc/"
         "000001\xe8\xa1\xa8\xe7\xa4\xba.mp3",
         "1"},
        {"000002\xe3\x82\xbd\xe3\x83\xb3\xe3\x82\xb0.mp3", "2"}},
       kMessageSuccess},
      {"file: URLs",
       "file://@/a%20b%23.mp3\nfile://localhost@/c.mp3\n",
       {{"@/a b#.mp3", "a"}, {"@/c.mp3", "c"}},
       {{"@/000001a b#.mp3", "a"}, {"@/000002c.mp3", "c"}},
       kMessageSuccess},
      {"slashes and bare names",
       "sub/a.mp3\n  \nb.mp3\n",
       {{"sub/a.mp3", "a"}, {"b.mp3", "b"}},
       {{"sub/000001a.mp3", "a"}, {"000003b.mp3", "b"}},
       kMessageSuccess},
      {"old Mac line ends",
       "# c\rsub/a.mp3\rb.mp3",
       {{"sub/a.mp3", "a"}, {"b.mp3", "b"}},
       {{"sub/000001a.mp3", "a"}, {"000002b.mp3", "b"}},
       kMessageSuccess},
      {"web address", "http://h/a.mp3\n", {}, {}, kMessageFailures},
  };
  auto here = [this](std::string text) {
    for (size_t at; (at = text.find('@')) != std::string::npos;)
      text.replace(at, 1, dir.path());
    return text;
  };
  for (const auto& c : cases) {
    std::error_code ignored;
    std::filesystem::remove_all("M", ignored);
    std::filesystem::remove_all("sub", ignored);
    bool made = true;
    for (const auto& file : c.before) {
      WriteFile(here(file.first), file.second);
      made = made && Exists(here(file.first));
    }
    // FAT with UTF-8 names takes no name that is not UTF-8.
    if (!made) {
      std::printf("%s: its files cannot be made here\n", c.name);
      for (const auto& file : c.before)
        std::filesystem::remove(here(file.first), ignored);
      continue;
    }
    WriteFile("list.m3u", here(c.playlist));
    dialog.path = "list.m3u";
    dialog.Run(&fs, kIdNumberMode);
    EXPECT_EQ(c.message, dialog.Message()) << c.name;
    for (const auto& file : c.numbered)
      EXPECT_EQ(file.second, ReadFile(here(file.first))) << c.name;
    dialog.Run(&fs, kIdRestoreMode);
    EXPECT_EQ(c.message, dialog.Message()) << c.name;
    for (const auto& file : c.before) {
      EXPECT_EQ(file.second, ReadFile(here(file.first))) << c.name;
      std::filesystem::remove(here(file.first), ignored);
    }
  }
}

TEST_F(LinuxRunTest, TheRunNeverRenamesItsOwnPlaylistOrLog) {
  // Also when an entry names them through a folder.
  ASSERT_EQ(0, mkdir((dir.path() + "/M").c_str(), 0755));
  const std::string list = "output.txt\nList.m3u\nM\\..\\List.m3u\n";
  WriteFile("List.m3u", list);
  dialog.path = dir.path() + "/List.m3u";
  dialog.Run(&fs, kIdNumberMode);
  EXPECT_EQ(kMessageFailures, dialog.Message());
  std::string log = ReadFile("output.txt");
  EXPECT_NE(std::string::npos, log.find("#1: output.txt could not"));
  EXPECT_NE(std::string::npos, log.find("#2: List.m3u could not"));
  EXPECT_NE(std::string::npos, log.find("#3: M\\..\\List.m3u could not"));
  EXPECT_EQ(list, ReadFile("List.m3u"));
}

TEST_F(LinuxRunTest, SpecialPlaylistsAreReportedNotRead) {
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

TEST_F(LinuxRunTest, ThePlaylistMayBeTheLogItself) {
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
