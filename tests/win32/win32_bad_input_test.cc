// Bad playlists through whole runs on real files with the Windows runtime:
// each run ends with its message and logs exactly the entries it could not
// rename; afterwards every file's contents are there under exactly one name,
// and the run in the other mode gives every file its first name back.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "fake_dialog.h"
#include "reliability/run_model.h"
#include "win32_file_system.h"
#include "win32_temp_dir.h"

namespace quenby {
namespace {

const char kList[] = "list.m3u";
const char kLog[] = "output.txt";
// Beside every case's files, in the folder most entries point into: a
// folder renamed by mistake takes it along.
const char kKeep[] = "G\\keep.mp3";

// Every file below `folder` by the name a playlist would give it, with its
// contents; the list and the log are left out.
void AddFilesBelow(const std::string& folder,
                   std::map<std::string, std::string>* files) {
  WIN32_FIND_DATAA found;
  std::string prefix = folder.empty() ? "" : folder + "\\";
  HANDLE find = FindFirstFileA((prefix + "*").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    std::string name = prefix + found.cFileName;
    if (name == "." || name == ".." || name == prefix + "." ||
        name == prefix + ".." || name == kList || name == kLog)
      continue;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
      AddFilesBelow(name, files);
    else
      (*files)[name] = ReadFile(name);
  } while (FindNextFileA(find, &found));
  FindClose(find);
}

std::map<std::string, std::string> FilesHere() {
  std::map<std::string, std::string> files;
  AddFilesBelow("", &files);
  return files;
}

std::multiset<std::string>
Contents(const std::map<std::string, std::string>& files) {
  std::multiset<std::string> contents;
  for (const auto& file : files) contents.insert(file.second);
  return contents;
}

// The failure lines of a log, between its header and the empty lines.
std::vector<std::string> FailureLines(const std::string& log) {
  std::vector<std::string> lines;
  size_t pos = log.find("\r\n");
  while (pos != std::string::npos) {
    size_t end = log.find("\r\n", pos + 2);
    if (end == std::string::npos || end == pos + 2) break;
    lines.push_back(log.substr(pos + 2, end - pos - 2));
    pos = end;
  }
  return lines;
}

// A literal with the NUL bytes inside it.
template <size_t size>
std::string Bytes(const char (&text)[size]) {
  return std::string(text, size - 1);
}

std::string Failed(int entry, const std::string& from, const std::string& to) {
  return "Playlist #" + std::to_string(entry) + ": " + from +
         " could not be renamed to " + to;
}
// An entry that numbering could not rename.
std::string NotNumbered(int entry, const std::string& line) {
  return Failed(entry, line, model::Numbered(line, entry));
}
// An entry that removal could not rename.
std::string NotRestored(int entry, const std::string& line) {
  return Failed(entry, model::Numbered(line, entry), line);
}

struct Case {
  std::string name;
  std::string list;
  std::vector<std::string> files;  // Made before the first run.
  int first_mode;
  std::vector<std::string> first_failures;   // Exactly, in order.
  std::vector<std::string> second_failures;  // Exactly, in order.
};

std::vector<Case> Cases() {
  std::vector<Case> cases;
  const int number = kIdNumberMode, restore = kIdRestoreMode;

  // Random bytes with no backslash: every entry fails, none is a path.
  std::mt19937 random(20002);
  std::string garbage;
  for (int i = 0; i < 6000; ++i) {
    char c = static_cast<char>(random() & 0xff);
    garbage += c == '\\' ? '_' : c;
  }
  Case garbage_case{"binary garbage", garbage, {}, number, {}, {}};
  int entry = 0;
  for (const model::Line& line : model::Lines(garbage, -1, nullptr)) {
    if (!line.text.empty() && line.text[0] == '#') continue;
    ++entry;
    if (line.text.empty()) continue;
    garbage_case.first_failures.push_back(NotNumbered(entry, line.text));
    garbage_case.second_failures.push_back(NotRestored(entry, line.text));
  }
  cases.push_back(garbage_case);

  const std::string nul_line = Bytes("G\\a\0b.mp3");
  cases.push_back({"NUL bytes",
                   Bytes("G\\a\0b.mp3\nG\\c.mp3\n\0\nG\\\0"),
                   {"G\\c.mp3"},
                   number,
                   {NotNumbered(1, nul_line), NotNumbered(3, Bytes("\0")),
                    NotNumbered(4, Bytes("G\\\0"))},
                   {NotRestored(1, nul_line), NotRestored(3, Bytes("\0")),
                    NotRestored(4, Bytes("G\\\0"))}});

  // Windows paths end long before any of these: each is logged, none lost.
  const std::string l999 = "G\\" + std::string(997, 'n');
  const std::string l1000 = "G\\" + std::string(998, 'n');
  const std::string l300 = "G\\" + std::string(298, 'n');
  cases.push_back({"lines of 300, 999, 1000 and 100,000 bytes",
                   l300 + "\n" + l999 + "\r\n" + l1000 + "\r\nG\\" +
                       std::string(100000, 'x') + "\nG\\after.mp3\n",
                   {"G\\after.mp3"},
                   number,
                   {NotNumbered(1, l300), NotNumbered(2, l999),
                    NotNumbered(3, l999),
                    NotNumbered(4, "G\\" + std::string(997, 'x'))},
                   {NotRestored(1, l300), NotRestored(2, l999),
                    NotRestored(3, l999),
                    NotRestored(4, "G\\" + std::string(997, 'x'))}});

  // A carriage return is no character of a Windows name.
  cases.push_back({"lone carriage returns",
                   "G\\c.mp3\rG\\b\nG\\c.mp3\r\r\n\r\rG\\c.mp3\r",
                   {"G\\c.mp3"},
                   number,
                   {NotNumbered(1, "G\\c.mp3\rG\\b"),
                    NotNumbered(2, "G\\c.mp3\r"),
                    NotNumbered(3, "\r\rG\\c.mp3\r")},
                   {NotRestored(1, "G\\c.mp3\rG\\b"),
                    NotRestored(2, "G\\c.mp3\r"),
                    NotRestored(3, "\r\rG\\c.mp3\r")}});

  // The root, the folder G, the current folder and its parent: no folder
  // moves, not even into itself.
  cases.push_back({"a backslash alone, dots",
                   "\\\n..\nG\\..\nG\\.\nG\\\n..\\quenby-no-such-file\n"
                   "G\\...\n",
                   {},
                   number,
                   {NotNumbered(1, "\\"), NotNumbered(2, ".."),
                    NotNumbered(3, "G\\.."), NotNumbered(4, "G\\."),
                    NotNumbered(5, "G\\"),
                    NotNumbered(6, "..\\quenby-no-such-file"),
                    NotNumbered(7, "G\\...")},
                   {NotRestored(1, "\\"), NotRestored(2, ".."),
                    NotRestored(3, "G\\.."), NotRestored(4, "G\\."),
                    NotRestored(5, "G\\"),
                    NotRestored(6, "..\\quenby-no-such-file"),
                    NotRestored(7, "G\\...")}});

  // Windows drops blanks and dots at the end of a name, so the first line
  // takes t.mp3 and the second finds it gone.
  cases.push_back({"trailing blanks and dots",
                   "G\\t.mp3  \nG\\t.mp3\nG\\u.mp3. \n",
                   {"G\\t.mp3", "G\\u.mp3"},
                   number,
                   {NotNumbered(2, "G\\t.mp3")},
                   {NotRestored(2, "G\\t.mp3")}});

  cases.push_back({"bytes above 0x7F",
                   "G\\\xff\xfe.mp3\nG\\caf\xe9\nG\\\x80\x81\nG\\\xe9\\x\n"
                   "G\\\xc3\xa9\n",
                   {"G\\\xff\xfe.mp3", "G\\caf\xe9", "G\\\x80\x81",
                    "G\\\xe9\\x", "G\\\xc3\xa9"},
                   number,
                   {},
                   {}});

  // None of these names can be made; c is a file that "c:d.mp3" would name
  // a stream of.
  cases.push_back({"names Windows refuses",
                   "G\\a?.mp3\nG\\b*.mp3\nG\\c:d.mp3\nG\\e<f>.mp3\n"
                   "G\\g|h.mp3\nG\\\"q\".mp3\nG\\ok.mp3\n",
                   {"G\\c", "G\\ok.mp3"},
                   number,
                   {NotNumbered(1, "G\\a?.mp3"), NotNumbered(2, "G\\b*.mp3"),
                    NotNumbered(3, "G\\c:d.mp3"), NotNumbered(4, "G\\e<f>.mp3"),
                    NotNumbered(5, "G\\g|h.mp3"),
                    NotNumbered(6, "G\\\"q\".mp3")},
                   {NotRestored(1, "G\\a?.mp3"), NotRestored(2, "G\\b*.mp3"),
                    NotRestored(3, "G\\c:d.mp3"), NotRestored(4, "G\\e<f>.mp3"),
                    NotRestored(5, "G\\g|h.mp3"),
                    NotRestored(6, "G\\\"q\".mp3")}});

  // Devices, in any folder and with any extension. Removal would move each
  // numbered file into its device; numbering would read from one.
  const std::vector<std::string> devices = {
      "G\\CON",  "G\\NUL", "G\\nul.mp3",  "G\\AUX.txt",
      "G\\COM1", "G\\PRN", "G\\LPT1.wav", "G\\CONIN$"};
  Case to_devices{"device names, removal first", "", {}, restore, {}, {}};
  for (size_t i = 0; i < devices.size(); ++i) {
    int n = static_cast<int>(i) + 1;
    to_devices.list += devices[i] + "\r\n";
    to_devices.files.push_back(model::Numbered(devices[i], n));
    to_devices.first_failures.push_back(NotRestored(n, devices[i]));
    to_devices.second_failures.push_back(NotNumbered(n, devices[i]));
  }
  cases.push_back(to_devices);
  cases.push_back({"device names, numbering first",
                   to_devices.list,
                   {},
                   number,
                   to_devices.second_failures,
                   to_devices.first_failures});

  // Windows ignores letter case: a name that differs only in case is taken.
  cases.push_back({"existing targets, also in another letter case",
                   "G\\a.mp3\nG\\b.mp3\nG\\c.mp3\n",
                   {"G\\a.mp3", "G\\000001a.mp3", "G\\b.mp3", "G\\000002B.MP3",
                    "G\\c.mp3"},
                   number,
                   {NotNumbered(1, "G\\a.mp3"), NotNumbered(2, "G\\b.mp3")},
                   {NotRestored(1, "G\\a.mp3"), NotRestored(2, "G\\b.mp3")}});
  cases.push_back({"existing targets in another letter case, removal first",
                   "G\\a.mp3\nG\\b.mp3\n",
                   {"G\\000001a.mp3", "G\\A.MP3", "G\\000002b.mp3"},
                   restore,
                   {NotRestored(1, "G\\a.mp3")},
                   {NotNumbered(1, "G\\a.mp3")}});
  return cases;
}

class Win32BadInputTest : public ::testing::Test {
 protected:
  // One run in `mode`; checks its message, its failure lines and that every
  // file's contents are still there under exactly one name.
  void RunAndCheck(int mode, const std::vector<std::string>& failures,
                   const std::multiset<std::string>& contents) {
    dialog.path = kList;
    dialog.Run(&fs, mode);
    EXPECT_EQ(failures.empty() ? kMessageSuccess : kMessageFailures,
              dialog.Message());
    if (failures.empty()) {
      EXPECT_FALSE(Exists(kLog));
    } else {
      std::string log = ReadFile(kLog);
      EXPECT_EQ(failures, FailureLines(log));
      EXPECT_EQ("\r\n\r\n", log.substr(log.size() - 4));
    }
    EXPECT_EQ(contents, Contents(FilesHere())) << "a file was lost";
  }

  TempDir dir;
  Win32FileSystem fs;
  FakeDialog dialog;
};

TEST_F(Win32BadInputTest, EachBadPlaylistHasItsOutcomeAndLosesNothing) {
  for (const Case& c : Cases()) {
    SCOPED_TRACE(c.name);
    RemoveTree("G");
    DeleteFileA(kLog);
    WriteFile(kKeep, kKeep);
    for (const std::string& name : c.files) {
      WriteFile(name, "contents of " + name);
      ASSERT_EQ("contents of " + name, ReadFile(name));
    }
    WriteFile(kList, c.list);
    std::map<std::string, std::string> before = FilesHere();
    ASSERT_EQ(c.files.size() + 1, before.size());

    RunAndCheck(c.first_mode, c.first_failures, Contents(before));
    EXPECT_EQ(kKeep, ReadFile(kKeep));
    RunAndCheck(c.first_mode == kIdNumberMode ? kIdRestoreMode : kIdNumberMode,
                c.second_failures, Contents(before));
    EXPECT_EQ(before, FilesHere()) << "not every name came back";
  }
}

TEST_F(Win32BadInputTest, PlaylistsThatAreNoPlaylistAreTurnedAway) {
  WriteFile(kList, "G\\a.mp3\n");
  WriteFile("G\\a.mp3", "a");
  CreateDirectoryA("folder", nullptr);
  struct Case {
    const char* path;
    const char* message;
  } cases[] = {
      {"folder", kMessageCannotOpen},      {"G", kMessageCannotOpen},
      {"CON", kMessageCannotOpen},         {"NUL", kMessageCannotOpen},
      {"G\\COM1", kMessageCannotOpen},     {"nul.m3u", kMessageCannotOpen},
      {"list?.m3u", kMessageNotReadable},  {"l*.m3u", kMessageNotReadable},
      {"list.m3u:x", kMessageNotReadable},
  };
  for (const Case& c : cases) {
    DeleteFileA(kLog);
    dialog.path = c.path;
    dialog.Run(&fs, kIdNumberMode);
    EXPECT_EQ(c.message, dialog.Message()) << c.path;
    if (std::string(c.message) == kMessageCannotOpen) {
      // The log of an early exit keeps its header line alone.
      std::string log = ReadFile(kLog);
      EXPECT_EQ(log.find("\r\n") + 2, log.size()) << c.path;
    }
    EXPECT_EQ("a", ReadFile("G\\a.mp3")) << c.path;
  }
}

// The playlist and the log are open while the run renames, and Windows
// renames no open file: an entry naming either fails and the run goes on.
TEST_F(Win32BadInputTest, EntriesNamingTheOpenPlaylistOrLogFail) {
  const std::string list = ".\\list.m3u\r\n.\\output.txt\r\nG\\a.mp3\r\n";
  WriteFile(kList, list);
  WriteFile("G\\a.mp3", "a");
  dialog.path = kList;
  dialog.Run(&fs, kIdNumberMode);
  EXPECT_EQ(kMessageFailures, dialog.Message());
  EXPECT_EQ(list, ReadFile(kList));
  EXPECT_EQ("a", ReadFile("G\\000003a.mp3"));
  std::vector<std::string> expected = {NotNumbered(1, ".\\list.m3u"),
                                       NotNumbered(2, ".\\output.txt")};
  EXPECT_EQ(expected, FailureLines(ReadFile(kLog)));
  EXPECT_FALSE(Exists("000001list.m3u"));
  EXPECT_FALSE(Exists("000002output.txt"));
}

}  // namespace
}  // namespace quenby
