#include "win32_file_system.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_dialog.h"
#include "run_renaming.h"
#include "win32_slots.h"
#include "win32_temp_dir.h"

namespace quenby {
namespace {

TEST(Win32FileSystemTest, RenameNeverReplaces) {
  TempDir dir;
  Win32FileSystem fs;
  WriteFile("M\\a.mp3", "a");
  WriteFile("M\\b.mp3", "b");
  EXPECT_FALSE(fs.Rename("M\\a.mp3", "M\\b.mp3"));
  EXPECT_EQ("a", ReadFile("M\\a.mp3"));
  EXPECT_EQ("b", ReadFile("M\\b.mp3"));
  EXPECT_FALSE(fs.Rename("M\\missing.mp3", "M\\c.mp3"));
  EXPECT_FALSE(Exists("M\\c.mp3"));
  EXPECT_TRUE(fs.Rename("M\\a.mp3", "M\\000001a.mp3"));
  EXPECT_EQ("a", ReadFile("M\\000001a.mp3"));
  EXPECT_FALSE(Exists("M\\a.mp3"));
  // Absolute paths, as most playlists hold them.
  EXPECT_TRUE(fs.Rename(dir.path() + "\\M\\b.mp3", dir.path() + "\\b.mp3"));
  EXPECT_EQ("b", ReadFile("b.mp3"));
}

TEST(Win32FileSystemTest, DeviceNamesAreKnownInAnyFolderAndCase) {
  const struct {
    const char* path;
    bool device;
  } cases[] = {
      {"NUL", true},
      {"G\\nul.mp3", true},
      {"C:\\M\\Con", true},
      {"M/aux .txt", true},
      {"C:com1", true},
      {"LPT9.wav", true},
      {"G\\CONIN$", true},
      {"conout$.x", true},
      {"M\\000001nul.mp3", false},
      {"M\\null.mp3", false},
      {"COM0", false},
      {"LPT10", false},
      {"CONSOLE", false},
      {"M\\NUL\\a.mp3", false},
      {"", false},
      {"M\\", false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.device, NamesDevice(c.path)) << c.path;
}

// `bytes` in the ANSI code page, or in UTF-8 when they begin with "u8:".
std::wstring Wide(std::string bytes) {
  UINT code_page = CP_ACP;
  if (bytes.compare(0, 3, "u8:") == 0) {
    bytes.erase(0, 3);
    code_page = CP_UTF8;
  }
  wchar_t wide[MAX_PATH];
  int count = MultiByteToWideChar(code_page, 0, bytes.data(),
                                  static_cast<int>(bytes.size()), wide,
                                  MAX_PATH);
  return std::wstring(wide, static_cast<size_t>(count));
}

// The other readings of a line: when no file has its ANSI name, its UTF-8
// and then its Shift_JIS reading name its file in Unicode, the first that
// names one. Each case renames the first of `files` to `renamed` and back;
// the others stay as they are.
TEST(Win32FileSystemTest, EachReadingOfALineIsTriedInTurn) {
  const struct {
    const char* line;
    const char* numbered;
    std::vector<std::string> files;
    std::string renamed;
  } cases[] = {
      // Japanese, which no Western code page holds.
      {"M\\\xe3\x83\xaa.mp3",
       "M\\000001\xe3\x83\xaa.mp3",
       {"u8:M\\\xe3\x83\xaa.mp3"},
       "u8:M\\000001\xe3\x83\xaa.mp3"},
      // Both readings there: the ANSI name, as written, wins.
      {"Bj\xc3\xb6rk.mp3",
       "000001Bj\xc3\xb6rk.mp3",
       {"Bj\xc3\xb6rk.mp3", "u8:Bj\xc3\xb6rk.mp3"},
       "000001Bj\xc3\xb6rk.mp3"},
      // Not UTF-8: the ANSI reading alone.
      {"Bj\xf6rk.mp3",
       "000001Bj\xf6rk.mp3",
       {"Bj\xf6rk.mp3"},
       "000001Bj\xf6rk.mp3"},
      {"file:///C:/M%20N/a%C3%A9.mp3",
       "file:///C:/M%20N/000001a%C3%A9.mp3",
       {"u8:C:\\M N\\a\xc3\xa9.mp3"},
       "u8:C:\\M N\\000001a\xc3\xa9.mp3"},
      // Shift_JIS, "M\ソング.mp3": the 0x5C is half of ソ, after which the
      // number goes byte by byte; the file gets it in front of its name.
      {"M\\\x83\x5c\x83\x93\x83\x4f.mp3",
       "M\\\x83\x5c"
       "000001\x83\x93\x83\x4f.mp3",
       {"u8:M\\\xe3\x82\xbd\xe3\x83\xb3\xe3\x82\xb0.mp3"},
       "u8:M\\000001\xe3\x82\xbd\xe3\x83\xb3\xe3\x82\xb0.mp3"},
      // "ソニー\表示.mp3": such a 0x5C in the folder's name and the file's.
      {"\x83\x5c\x83\x6a\x81\x5b\\\x95\x5c\x8e\xa6.mp3",
       "\x83\x5c\x83\x6a\x81\x5b\\\x95\x5c"
       "000001\x8e\xa6.mp3",
       {"u8:\xe3\x82\xbd\xe3\x83\x8b\xe3\x83\xbc\\\xe8\xa1\xa8\xe7\xa4\xba."
        "mp3"},
       "u8:"
       "\xe3\x82\xbd\xe3\x83\x8b\xe3\x83\xbc\\000001\xe8\xa1\xa8\xe7\xa4\xba."
       "mp3"},
      // Both readings there: UTF-8 ("Björk") comes before Shift_JIS
      // (half-width "ﾃｶ").
      {"M\\Bj\xc3\xb6rk.mp3",
       "M\\000001Bj\xc3\xb6rk.mp3",
       {"u8:M\\Bj\xc3\xb6rk.mp3", "u8:M\\Bj\xef\xbe\x83\xef\xbd\xb6rk.mp3"},
       "u8:M\\000001Bj\xc3\xb6rk.mp3"},
      // The ANSI name comes before Shift_JIS, with the number where the
      // bytes put it: so a Japanese Windows, whose ANSI code page is
      // Shift_JIS, restores what earlier versions numbered.
      {"M\\\x83\x5c\x83\x93\x83\x4f.mp3",
       "M\\\x83\x5c"
       "000001\x83\x93\x83\x4f.mp3",
       {"M\\\x83\\\x83\x93\x83\x4f.mp3",
        "u8:M\\\xe3\x82\xbd\xe3\x83\xb3\xe3\x82\xb0.mp3"},
       "M\\\x83\\000001\x83\x93\x83\x4f.mp3"},
      // The ANSI reading names the device NUL, the Shift_JIS one "ソNUL.mp3".
      {"M\\\x83\x5cNUL.mp3",
       "M\\\x83\x5c"
       "000001NUL.mp3",
       {"u8:M\\\xe3\x82\xbdNUL.mp3"},
       "u8:M\\000001\xe3\x82\xbdNUL.mp3"},
  };
  TempDir dir;
  Win32FileSystem fs;
  CreateDirectoryW(L"C:\\M N", nullptr);
  for (const auto& c : cases) {
    for (const std::string& file : c.files) WriteFile(Wide(file), file);
    EXPECT_TRUE(fs.Rename(c.line, c.numbered)) << c.line;
    EXPECT_EQ(c.files[0], ReadFile(Wide(c.renamed))) << c.line;
    for (size_t i = 1; i < c.files.size(); ++i)
      EXPECT_EQ(c.files[i], ReadFile(Wide(c.files[i]))) << c.line;
    EXPECT_TRUE(fs.Rename(c.numbered, c.line)) << c.line;
    for (const std::string& file : c.files) {
      EXPECT_EQ(file, ReadFile(Wide(file))) << c.line;
      DeleteFileW(Wide(file).c_str());
    }
  }
  RemoveDirectoryW(L"C:\\M N");
}

TEST(Win32FileSystemTest, ReadableMeansThereAndOpenable) {
  TempDir dir;
  Win32FileSystem fs;
  WriteFile("list.m3u", "");
  CreateDirectoryA("folder", nullptr);
  EXPECT_TRUE(fs.IsReadable("list.m3u"));
  EXPECT_TRUE(fs.IsReadable(dir.path() + "\\list.m3u"));
  EXPECT_FALSE(fs.IsReadable("missing.m3u"));
  EXPECT_FALSE(fs.IsReadable(""));
  // A folder passes the readable test but is no playlist.
  EXPECT_TRUE(fs.IsReadable("folder"));
  EXPECT_EQ(nullptr, fs.OpenPlaylist("folder"));
  EXPECT_EQ(nullptr, fs.OpenPlaylist("missing.m3u"));
  // A device opens, but reading it would wait for ever.
  EXPECT_EQ(nullptr, fs.OpenPlaylist("CON"));
}

TEST(Win32FileSystemTest, PlaylistsAreReadByteForByte) {
  TempDir dir;
  Win32FileSystem fs;
  // Carriage returns and a Ctrl-Z are the reader's business, not the file's.
  const std::string bytes(
      "a\r\nb\x1a"
      "c\r\r\n\0d\n",
      11);
  WriteFile("list.m3u", bytes);
  std::unique_ptr<InputFile> file = fs.OpenPlaylist("list.m3u");
  ASSERT_NE(nullptr, file);
  std::string read;
  char buffer[4];
  long count;
  while ((count = file->Read(buffer, sizeof buffer)) > 0)
    read.append(buffer, count);
  EXPECT_EQ(0, count);
  EXPECT_EQ(bytes, read);
}

TEST(Win32FileSystemTest, TheLogIsEmptiedAndWrittenInBinary) {
  TempDir dir;
  Win32FileSystem fs;
  WriteFile("output.txt", "an older and much longer log\r\n");
  {
    std::unique_ptr<OutputFile> log = fs.CreateLog("output.txt");
    ASSERT_NE(nullptr, log);
    EXPECT_TRUE(log->Write("one\r\n", 5));
    // Each line reaches the file at once, before the log is closed.
    EXPECT_EQ("one\r\n", ReadFile("output.txt"));
    EXPECT_TRUE(log->Write("two\n", 4));
  }
  EXPECT_EQ("one\r\ntwo\n", ReadFile("output.txt"));
  EXPECT_TRUE(fs.Delete("output.txt"));
  EXPECT_FALSE(Exists("output.txt"));
  EXPECT_FALSE(fs.Delete("output.txt"));
}

TEST(Win32FileSystemTest, TheClockGivesTheLocalTime) {
  Win32FileSystem fs;
  SYSTEMTIME before;
  GetLocalTime(&before);
  LocalTime now = fs.Now();
  EXPECT_EQ(before.wYear, now.year);
  EXPECT_GE(now.month, 1);
  EXPECT_LE(now.month, 12);
  EXPECT_GE(now.day, 1);
  EXPECT_LE(now.day, 31);
  EXPECT_LE(now.hour, 23);
  EXPECT_LE(now.minute, 59);
}

// Numbering and restoring real files, the way a user runs the program.
class Win32RunTest : public ::testing::Test {
 protected:
  void Run(int mode) {
    dialog.mode = mode;
    dialog.messages.clear();
    RunRenaming(&dialog, &fs);
  }
  TempDir dir;
  Win32FileSystem fs;
  FakeDialog dialog;
};

TEST_F(Win32RunTest, NumbersAndRestoresEveryName) {
  WriteFile("Music\\Rock\\one.mp3", "1");
  WriteFile("Music\\two words .mp3", "2");
  WriteFile("Music\\\xe9t\xe9.mp3", "3");  // ANSI bytes
  WriteFile(dir.path() + "\\abs.mp3", "4");
  WriteFile("list.m3u",
            "#EXTM3U\r\n#EXTINF:1,One\r\nMusic\\Rock\\one.mp3\r\n"
            "Music\\two words .mp3\r\n#EXTINF:3,Three\r\n"
            "Music\\\xe9t\xe9.mp3\r\n" +
                dir.path() + "\\abs.mp3");
  dialog.path = dir.path() + "\\list.m3u";

  Run(kIdNumberMode);
  EXPECT_EQ(kMessageSuccess, dialog.Message());
  EXPECT_FALSE(Exists("output.txt"));
  EXPECT_EQ("1", ReadFile("Music\\Rock\\000001one.mp3"));
  EXPECT_EQ("2", ReadFile("Music\\000002two words .mp3"));
  EXPECT_EQ("3", ReadFile("Music\\000003\xe9t\xe9.mp3"));
  EXPECT_EQ("4", ReadFile("000004abs.mp3"));
  EXPECT_FALSE(Exists("Music\\Rock\\one.mp3"));

  Run(kIdRestoreMode);
  EXPECT_EQ(kMessageSuccess, dialog.Message());
  EXPECT_EQ("1", ReadFile("Music\\Rock\\one.mp3"));
  EXPECT_EQ("2", ReadFile("Music\\two words .mp3"));
  EXPECT_EQ("3", ReadFile("Music\\\xe9t\xe9.mp3"));
  EXPECT_EQ("4", ReadFile("abs.mp3"));
  EXPECT_FALSE(Exists("Music\\Rock\\000001one.mp3"));
}

// A playlist a Japanese Windows wrote, in Shift_JIS, run on one whose code
// page is another: the files have Unicode names, and the number goes in
// front of each name, whatever 0x5C bytes its characters hold.
TEST_F(Win32RunTest, NumbersAndRestoresAShiftJisPlaylist) {
  const std::wstring sony = L"\u30bd\u30cb\u30fc\\\u8868\u793a.mp3";
  const std::wstring song = L"\u30bd\u30f3\u30b0.mp3";
  WriteFile(sony, "1");
  WriteFile(song, "2");
  WriteFile("list.m3u",
            "#EXTM3U\r\n"
            "\x83\x5c\x83\x6a\x81\x5b\\\x95\x5c\x8e\xa6.mp3\r\n"
            "\x83\x5c\x83\x93\x83\x4f.mp3\r\n"
            "M\\\x83\r\n");  // Half a character: no reading of it is valid.
  dialog.path = "list.m3u";

  Run(kIdNumberMode);
  EXPECT_EQ(kMessageFailures, dialog.Message());
  EXPECT_EQ("1", ReadFile(L"\u30bd\u30cb\u30fc\\000001\u8868\u793a.mp3"));
  EXPECT_EQ("2", ReadFile(L"000002" + song));
  // The log holds the playlist's bytes.
  std::string log = ReadFile("output.txt");
  EXPECT_NE(std::string::npos,
            log.find("\r\nPlaylist #3: M\\\x83 could not be renamed to "
                     "M\\000003\x83\r\n"))
      << log;

  Run(kIdRestoreMode);
  EXPECT_EQ(kMessageFailures, dialog.Message());
  EXPECT_EQ("1", ReadFile(sony));
  EXPECT_EQ("2", ReadFile(song));
  log = ReadFile("output.txt");
  EXPECT_NE(std::string::npos,
            log.find("\r\nPlaylist #3: M\\000003\x83 could not be renamed to "
                     "M\\\x83\r\n"))
      << log;
}

// On a Japanese Windows, whose ANSI code page is Shift_JIS, a name is
// found as written and the number goes where its bytes put it, as earlier
// versions put it: their numbered files are restored, and so are files
// numbered elsewhere, with the number in front. ctest runs this under
// Wine's Japanese locale (engine_tests_cp932).
TEST_F(Win32RunTest, AJapaneseWindowsKeepsTheNumberWhereItWas) {
  if (GetACP() != 932) GTEST_SKIP() << "ANSI code page " << GetACP();
  WriteFile(
      L"\u30bd"
      L"000001\u30f3\u30b0.mp3",
      "1");                                   // ソ000001ング.mp3
  WriteFile(L"000002\u8868\u793a.mp3", "2");  // 000002表示.mp3
  WriteFile("list.m3u",
            "\x83\x5c\x83\x93\x83\x4f.mp3\r\n\x95\x5c\x8e\xa6.mp3\r\n");
  dialog.path = "list.m3u";

  Run(kIdRestoreMode);
  EXPECT_EQ(kMessageSuccess, dialog.Message());
  EXPECT_EQ("1", ReadFile(L"\u30bd\u30f3\u30b0.mp3"));
  EXPECT_EQ("2", ReadFile(L"\u8868\u793a.mp3"));

  Run(kIdNumberMode);
  EXPECT_EQ(kMessageSuccess, dialog.Message());
  EXPECT_EQ("1", ReadFile(L"\u30bd"
                          L"000001\u30f3\u30b0.mp3"));
  EXPECT_EQ("2", ReadFile(L"\u8868"
                          L"000002\u793a.mp3"));
}

TEST_F(Win32RunTest, AnExistingTargetIsNeverReplaced) {
  WriteFile("M\\a.mp3", "a");
  WriteFile("M\\000001a.mp3", "already there");
  WriteFile("list.m3u", "M\\a.mp3\r\n");
  dialog.path = "list.m3u";
  Run(kIdNumberMode);
  EXPECT_EQ(kMessageFailures, dialog.Message());
  EXPECT_EQ("a", ReadFile("M\\a.mp3"));
  EXPECT_EQ("already there", ReadFile("M\\000001a.mp3"));
  std::string log = ReadFile("output.txt");
  EXPECT_NE(std::string::npos,
            log.find(" -\r\nPlaylist #1: M\\a.mp3 could not be renamed to "
                     "M\\000001a.mp3\r\n\r\n\r\n"))
      << log;
  EXPECT_EQ(std::string::npos, log.find("\r\r")) << log;

  Run(kIdRestoreMode);
  EXPECT_EQ(kMessageFailures, dialog.Message());
  EXPECT_EQ("a", ReadFile("M\\a.mp3"));
  EXPECT_EQ("already there", ReadFile("M\\000001a.mp3"));
}

TEST_F(Win32RunTest, AFolderIsReportedAsNotOpened) {
  CreateDirectoryA("folder", nullptr);
  dialog.path = "folder";
  Run(kIdNumberMode);
  EXPECT_EQ(kMessageCannotOpen, dialog.Message());
  // The log of an early exit keeps its header line alone.
  std::string log = ReadFile("output.txt");
  EXPECT_EQ(log.find("\r\n") + 2, log.size()) << log;
}

// fastfat's ids (the folder at 0x40000) place entries; Wine's inodes do not.
TEST(Win32SlotsTest, IdsArePositionsOnlyWhereTheyBehaveAsOffsets) {
  const int64_t at = 0x40000;
  const struct {
    std::vector<int> slots;
    std::vector<int64_t> ids;
    bool dots, knows;
    std::vector<int64_t> starts;
  } kCases[] = {
      {{3, 1}, {at + 128, at + 160}, true, true, {64, 160}},
      {{3, 1, 2}, {at + 128, at + 320, at + 384}, true, true, {64, 320, 352}},
      {{1, 1}, {at + 32, at + 64}, false, true, {0, 32}},
      {{3, 1}, {44, 45}, true, false, {64, 160}},
      {{3, 3}, {at + 128, at + 160}, true, false, {64, 160}},
      {{1, 1}, {at + 96, at + 64}, true, false, {64, 96}},
      {{1, 1}, {at + 64, at + 112}, true, false, {64, 96}},
      {{1}, {at + 64}, true, false, {64}},
      {{2, 1}, {}, false, false, {0, 64}},
  };
  for (const auto& c : kCases) {
    std::vector<SlotFolder::Entry> entries;
    for (int slots : c.slots) entries.push_back({"x", false, 0, slots});
    EXPECT_EQ(c.knows, PlaceEntries(c.ids, c.dots, &entries)) << c.ids.size();
    for (size_t i = 0; i < entries.size(); ++i)
      EXPECT_EQ(c.starts[i], entries[i].start) << i;
  }
}

TEST(Win32SlotsTest, MovesNeverReplaceAndOnlyEmptyFilesAreRemoved) {
  enum Op { kOut, kIn, kRemove, kRemoveStaged };
  const struct {
    const char *in_folder, *staged;  // Contents, or null for no such file.
    Op op;
    bool done;
    const char *folder_after, *staged_after;
  } kCases[] = {
      {"a", nullptr, kOut, true, "<missing>", "a"},
      {"a", "x", kOut, false, "a", "x"},
      {nullptr, "x", kIn, true, "x", "<missing>"},
      {"a", "x", kIn, false, "a", "x"},
      {"", nullptr, kRemove, true, "<missing>", "<missing>"},
      {"a", nullptr, kRemove, false, "a", "<missing>"},
      {nullptr, "", kRemoveStaged, true, "<missing>", "<missing>"},
      {nullptr, "x", kRemoveStaged, false, "<missing>", "x"},
  };
  TempDir dir;
  CreateDirectoryA("M", nullptr);
  OpenFolder folder;
  ASSERT_TRUE(folder.Open(L"M\\"));
  Win32Slots slots(&folder, false);
  ASSERT_TRUE(slots.MakeStaging());
  for (size_t i = 0; i < sizeof kCases / sizeof kCases[0]; ++i) {
    const auto& c = kCases[i];
    std::string name = "f" + std::to_string(i) + ".mp3";
    std::string staged = std::string("M\\") + kStagingName + "\\" + name;
    if (c.in_folder) WriteFile("M\\" + name, c.in_folder);
    if (c.staged) WriteFile(staged, c.staged);
    bool done = c.op == kOut  ? slots.MoveOut(name)
                : c.op == kIn ? slots.MoveIn(name)
                              : slots.RemoveEmpty(c.op == kRemoveStaged, name);
    EXPECT_EQ(c.done, done) << i;
    EXPECT_EQ(c.folder_after, ReadFile("M\\" + name)) << i;
    EXPECT_EQ(c.staged_after, ReadFile(staged)) << i;
  }
  // Marked as the step's, whichever mark held; the mark is no staged file.
  std::vector<SlotFolder::Entry> staged;
  EXPECT_TRUE(Win32Slots(&folder, false).HasStaging());
  EXPECT_TRUE(slots.List(true, &staged) && staged.size() == 4);
  // The mark file, made first, listed after a file: listed by name (NTFS,
  // Wine), not in slot order.
  CreateDirectoryA("N", nullptr);
  WriteFile("N\\a.mp3", "a");
  OpenFolder other;
  ASSERT_TRUE(other.Open(L"N\\"));
  Win32Slots tagged(&other, true);
  // Listed anew after a move, as Wine's cache of a handle's listing hid.
  EXPECT_TRUE(tagged.MakeStaging() && tagged.List(true, &staged) &&
              staged.empty());
  EXPECT_TRUE(tagged.MoveOut("a.mp3") && tagged.List(true, &staged) &&
              staged.size() == 1);
  EXPECT_FALSE(tagged.ListsInSlotOrder());
}

}  // namespace
}  // namespace quenby
