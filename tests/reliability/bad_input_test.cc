// Bad playlists through whole runs on the real file system: each ends with
// its message, logs every entry it could not rename, renames exactly what
// the plain model says, and a removal run gives every file its name back.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "fake_dialog.h"
#include "linux_file_system.h"
#include "linux_path.h"
#include "reliability/run_model.h"
#include "temp_dir.h"

namespace quenby {
namespace {

const char kList[] = "list.m3u";

// Every file below the current folder but the list and the log, by the name
// a playlist would give it, with its contents.
std::map<std::string, std::string> FilesHere() {
  std::map<std::string, std::string> files;
  for (const auto& item : std::filesystem::recursive_directory_iterator(".")) {
    if (!item.is_regular_file()) continue;
    std::string name = item.path().lexically_relative(".").string();
    if (name == kList || name == "output.txt") continue;
    std::replace(name.begin(), name.end(), '/', '\\');
    files[name] = ReadFile(item.path().string());
  }
  return files;
}

std::string Posix(std::string name) { return ToPosixPath(name); }

// Bytes that a file name may hold and a line keeps whole.
std::string NameBytes(std::mt19937* random, size_t count) {
  std::string bytes;
  while (bytes.size() < count) {
    char c = static_cast<char>((*random)() & 0xff);
    if (c != '\n' && c != '\r' && c != '/' && c != '\\' && c != '\0')
      bytes += c;
  }
  return bytes;
}

// A literal with the NUL bytes inside it.
template <size_t size>
std::string Bytes(const char (&text)[size]) {
  return std::string(text, size - 1);
}

struct Case {
  std::string name;
  std::string list;
  std::vector<std::string> files;   // Playlist names of the files made.
  std::vector<std::string> logged;  // Failure lines the numbering must log.
};

std::vector<Case> Cases() {
  std::vector<Case> cases;
  std::mt19937 random(20001);

  // Random bytes with no path in them, then short random names in G.
  Case garbage{"binary garbage", "", {}, {}};
  for (int i = 0; i < 6000; ++i) {
    char c = static_cast<char>(random() & 0xff);
    garbage.list += c == '/' || c == '\\' ? '_' : c;
  }
  garbage.list += "\n";
  for (int i = 0; i < 20; ++i) {
    std::string name = "G\\" + NameBytes(&random, 1 + random() % 40);
    garbage.list += name + "\n";
    if (i % 2 == 0) garbage.files.push_back(name);
  }
  cases.push_back(garbage);

  cases.push_back({"NUL bytes",
                   Bytes("G\\a\0b.mp3\nG\\c.mp3\n\0\nG\\\0"),
                   {"G\\c.mp3"},
                   {Bytes("Playlist #1: G\\a\0b.mp3 could not be renamed to "
                          "G\\000001a\0b.mp3")}});

  // Nested folders make real paths of any length; a name is at most 255.
  std::string folders = "G";
  for (int i = 0; i < 4; ++i) folders += "\\" + std::string(200, 'd');
  auto path_of = [&](size_t length) {
    return folders + "\\" + std::string(length - folders.size() - 1, 'n');
  };
  const std::string fits = path_of(993), over = path_of(994),
                    longest = path_of(999), cut = path_of(1000);
  cases.push_back({"lines of 993, 994, 999 and 1000 bytes",
                   fits + "\n" + over + "\r\n" + longest + "\r\n" + cut +
                       "\r\nG\\after.mp3\n",
                   {fits, over, longest, "G\\after.mp3"},
                   {"Playlist #2: " + over + " could not be renamed to " +
                        model::Numbered(over, 2),
                    "Playlist #4: " + cut.substr(0, 999) +
                        " could not be renamed to " +
                        model::Numbered(cut.substr(0, 999), 4)}});
  cases.push_back({"a line of 100,000 bytes",
                   "G\\" + std::string(100000, 'x') + "\nG\\next.mp3\n",
                   {"G\\next.mp3"},
                   {}});
  cases.push_back({"lone carriage returns",
                   "G\\a\rG\\b\nG\\c.mp3\r\r\n\r\rG\\d\r",
                   {"G\\b", "G\\c.mp3\r", "G\\d\r"},
                   {"Playlist #1: G\\a\rG\\b could not be renamed to "
                    "G\\a\rG\\000001b"}});
  cases.push_back({"a line that is only a backslash",
                   "\\\n\\\r\n",
                   {},
                   {"Playlist #1: \\ could not be renamed to \\000001",
                    "Playlist #2: \\ could not be renamed to \\000002"}});
  cases.push_back({"dots",
                   "..\nG\\..\nG\\.\n..\\quenby-no-such-file\nG\\...\n",
                   {"G\\..."},
                   {"Playlist #1: .. could not be renamed to 000001..",
                    "Playlist #2: G\\.. could not be renamed to G\\000002..",
                    "Playlist #3: G\\. could not be renamed to G\\000003."}});
  cases.push_back({"trailing blanks",
                   "G\\t.mp3  \nG\\t.mp3\nG\\t.mp3 \t\n",
                   {"G\\t.mp3  ", "G\\t.mp3", "G\\t.mp3 \t"},
                   {}});
  cases.push_back({"UTF-8 and Latin-1 bytes, valid or not",
                   "G\\\xff\xfe.mp3\nG\\\xc3\x28\nG\\\xe0\x80\x80\nG\\\x80\n"
                   "G\\caf\xe9\nG\\caf\xc3\xa9\nG\xe9\\x\n",
                   {"G\\\xff\xfe.mp3", "G\\\xc3\x28", "G\\\xe0\x80\x80",
                    "G\\\x80", "G\\caf\xe9", "G\\caf\xc3\xa9", "G\xe9\\x"},
                   {}});
  std::string million(999999, '\n');
  million += "G\\m.mp3\n";
  for (int i = 0; i < 5; ++i) million += "G\\p.mp3\n";
  cases.push_back({"1,000,005 entries", million, {"G\\m.mp3", "G\\p.mp3"}, {}});
  return cases;
}

class BadInputTest : public ::testing::Test {
 protected:
  // Runs in `mode` and checks the outcome against the model, and that no
  // file was lost. Returns the log's lines after the header.
  std::vector<std::string> RunAndCheck(int mode, const std::string& list) {
    std::map<std::string, std::string> files = FilesHere();
    files[kList] = list;
    dialog.path = kList;
    dialog.Run(&fs, mode);

    std::string log = Exists("output.txt") ? ReadFile("output.txt") : "";
    std::string header = log.substr(0, log.find("\r\n"));
    model::Outcome expected = model::Run(kList, mode, files, {}, header);
    EXPECT_EQ(expected.message, dialog.Message());
    if (expected.files.count("output.txt"))
      EXPECT_EQ(expected.files["output.txt"], log);
    else
      EXPECT_FALSE(Exists("output.txt"));
    expected.files.erase(kList);
    expected.files.erase("output.txt");
    EXPECT_EQ(expected.files, FilesHere());

    std::vector<std::string> lines;
    for (size_t pos = log.find("\r\n"); pos != std::string::npos;) {
      size_t end = log.find("\r\n", pos + 2);
      if (end == std::string::npos) break;
      if (end > pos + 2) lines.push_back(log.substr(pos + 2, end - pos - 2));
      pos = end;
    }
    return lines;
  }

  TempDir dir;
  LinuxFileSystem fs;
  FakeDialog dialog;
};

TEST_F(BadInputTest, EachBadPlaylistHasItsOutcomeAndLosesNothing) {
  for (const Case& c : Cases()) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove_all("G");
    std::filesystem::create_directory("G");
    for (const std::string& name : c.files) WriteFile(Posix(name), name);
    WriteFile(kList, c.list);
    std::map<std::string, std::string> before = FilesHere();

    std::vector<std::string> logged = RunAndCheck(kIdNumberMode, c.list);
    for (const std::string& line : c.logged)
      EXPECT_NE(logged.end(), std::find(logged.begin(), logged.end(), line))
          << line;
    RunAndCheck(kIdRestoreMode, c.list);
    EXPECT_EQ(before, FilesHere()) << "removal did not give every name back";
  }
}

TEST_F(BadInputTest, PlaylistsThatAreNoPlaylistAreTurnedAway) {
  ASSERT_EQ(0, symlink("nowhere", "dangling"));
  ASSERT_EQ(0, symlink("/dev/zero", "zero link"));
  int sock = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address = {};
  address.sun_family = AF_UNIX;
  std::string socket_path = dir.path() + "/socket";
  socket_path.copy(address.sun_path, sizeof address.sun_path - 1);
  ASSERT_EQ(0,
            bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address));
  WriteFile(kList, "G\\a\n");
  struct Case {
    const char* path;
    const char* message;
  } cases[] = {
      {"dangling", kMessageNotReadable},     {"list.m3u ", kMessageNotReadable},
      {"\"list.m3u\"", kMessageNotReadable}, {"zero link", kMessageCannotOpen},
      {"/dev/null", kMessageCannotOpen},     {"socket", kMessageCannotOpen},
      {"/proc/self", kMessageCannotOpen},
  };
  for (const Case& c : cases) {
    dialog.path = c.path;
    dialog.Run(&fs, kIdNumberMode);
    EXPECT_EQ(c.message, dialog.Message()) << c.path;
    std::string log = ReadFile("output.txt");
    EXPECT_EQ(log.find("\r\n") + 2, log.size()) << c.path;
  }
  close(sock);
}

}  // namespace
}  // namespace quenby
