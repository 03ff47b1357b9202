#include "run_renaming.h"

#include <gtest/gtest.h>

#include "fake_dialog.h"
#include "memory_file_system.h"
#include "run_state.h"

namespace quenby {
namespace {

const char kHeader[] = "6/14/2000 at 3:07pm -\r\n";
const char kList[] = "C:\\list.m3u";

class RunRenamingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs.now = {2000, 6, 14, 15, 7};
    dialog.path = kList;
  }

  void Run(int mode) {
    dialog.Run(&fs, mode);
    ASSERT_EQ(1u, dialog.messages.size());
  }

  bool Has(const std::string& name) { return fs.files.count(name) != 0; }
  std::string Log() {
    return Has("output.txt") ? fs.files["output.txt"] : "<none>";
  }

  MemoryFileSystem fs;
  FakeDialog dialog;
};

TEST_F(RunRenamingTest, EachOutcomeHasItsMessageAndLog) {
  struct Case {
    const char* name;
    const char* path;
    bool list_exists;
    int mode;
    const char* message;
    std::string log;
  } cases[] = {
      {"empty path", "", true, kIdNumberMode, kMessageNotReadable, kHeader},
      {"missing list", "C:\\none.m3u", true, kIdNumberMode, kMessageNotReadable,
       kHeader},
      {"unreadable before no mode", "C:\\none.m3u", true, 0,
       kMessageNotReadable, kHeader},
      {"no mode", kList, true, 0, kMessageNoMode, kHeader},
      {"cannot open", "C:\\locked.m3u", true, kIdRestoreMode,
       kMessageCannotOpen, kHeader},
      {"success", kList, true, kIdNumberMode, kMessageSuccess, "<none>"},
      {"failure", kList, false, kIdNumberMode, kMessageFailures,
       std::string(kHeader) +
           "Playlist #1: C:\\M\\a.mp3 could not be renamed to "
           "C:\\M\\000001a.mp3\r\n\r\n\r\n"},
  };
  for (const Case& c : cases) {
    fs.files.clear();
    fs.files[kList] = "C:\\M\\a.mp3\r\n";
    fs.files["C:\\locked.m3u"] = "C:\\M\\a.mp3\r\n";
    fs.unopenable = {"C:\\locked.m3u"};
    if (c.list_exists) fs.files["C:\\M\\a.mp3"] = "song";
    fs.files["output.txt"] = "the last run's log";
    dialog.path = c.path;
    Run(c.mode);
    EXPECT_EQ(c.message, dialog.Message()) << c.name;
    EXPECT_EQ(c.log, Log()) << c.name;
    EXPECT_EQ(c.path, PlaylistPath) << c.name;
  }
}

TEST_F(RunRenamingTest, TalksToTheDialogInOrder) {
  fs.files[kList] = "";
  Run(kIdNumberMode);
  const std::vector<std::string> expected = {
      "busy on", "text 1002", "radio 1003-1004", "message", "busy off"};
  EXPECT_EQ(expected, dialog.calls);

  dialog.path = "";
  Run(kIdNumberMode);
  const std::vector<std::string> early = {"busy on", "text 1002", "message",
                                          "busy off"};
  EXPECT_EQ(early, dialog.calls);
}

// A stick may be pulled at any moment: the log with its header is on the
// medium before the first rename, and when the message shows, the renames
// are, then the log's last state, in that order.
TEST_F(RunRenamingTest, WhatTheRunDidIsOnTheMediumBeforeTheMessage) {
  using Journal = std::vector<std::string>;
  const struct {
    const char* name;
    const char* list;
    int mode;
    Journal journal;
  } cases[] = {
      {"success",
       "C:\\M\\a.mp3\n",
       kIdNumberMode,
       {"log sync", "rename", "renames done", "log closed", "delete output.txt",
        "message"}},
      {"failures",
       "C:\\M\\gone.mp3\nC:\\M\\a.mp3\n",
       kIdNumberMode,
       {"log sync", "rename", "rename", "renames done", "log sync",
        "log closed", "message"}},
      {"early exit", "", 0, {"log sync", "log sync", "message", "log closed"}},
  };
  for (const auto& c : cases) {
    fs.files = {{kList, c.list}, {"C:\\M\\a.mp3", "a"}};
    fs.journal.clear();
    std::string log_then;
    dialog.on_message = [&] {
      fs.journal.push_back("message");
      log_then = Log();
    };
    Run(c.mode);
    EXPECT_EQ(c.journal, fs.journal) << c.name;
    EXPECT_EQ(Log(), log_then) << c.name;  // Complete, empty lines and all.
  }
}

// A file the file system moved for its own work and could not put back is
// a failure like a rename's, logged where the run met it.
TEST_F(RunRenamingTest, FilesTheFileSystemCouldNotPutBackAreFailures) {
  fs.files[kList] = "C:\\M\\a.mp3\nC:\\M\\b.mp3\n";
  fs.files["C:\\M\\a.mp3"] = "a";
  fs.files["C:\\M\\b.mp3"] = "b";
  fs.unplaced = {{"M/QUENBY.$$$/000001x.mp3", "M/000001x.mp3"}};
  fs.unplaced_when_done = {{"M/QUENBY.$$$/000002b.mp3", "M/000002b.mp3"}};
  Run(kIdNumberMode);
  EXPECT_EQ(kMessageFailures, dialog.Message());
  EXPECT_EQ(std::string(kHeader) +
                "Playlist #1: M/QUENBY.$$$/000001x.mp3 could not be renamed to "
                "M/000001x.mp3\r\n"
                "Playlist #2: M/QUENBY.$$$/000002b.mp3 could not be renamed to "
                "M/000002b.mp3\r\n\r\n\r\n",
            Log());
  EXPECT_EQ("a", fs.files["C:\\M\\000001a.mp3"]);
}

TEST_F(RunRenamingTest, NumbersThenRestoresAnExtendedPlaylist) {
  fs.files[kList] =
      "#EXTM3U\r\n"
      "#EXTINF:123,Artist - A\r\n"
      "C:\\Music\\a.mp3\r\n"
      " #not a comment\r\n"
      "#EXTINF:99,Artist - B\r\n"
      "D:\\My Music\\Rock\\Song 1.mp3\r\n"
      "Music\\c.mp3";
  fs.files["C:\\Music\\a.mp3"] = "a";
  fs.files["D:\\My Music\\Rock\\Song 1.mp3"] = "b";
  fs.files["Music\\c.mp3"] = "c";

  Run(kIdNumberMode);
  EXPECT_EQ(kMessageFailures, dialog.Message());  // " #not a comment"
  EXPECT_EQ("a", fs.files["C:\\Music\\000001a.mp3"]);
  EXPECT_EQ("b", fs.files["D:\\My Music\\Rock\\000003Song 1.mp3"]);
  EXPECT_EQ("c", fs.files["Music\\000004c.mp3"]);
  EXPECT_EQ(std::string(kHeader) +
                "Playlist #2:  #not a comment could not be renamed to "
                "000002 #not a comment\r\n\r\n\r\n",
            Log());
  EXPECT_EQ(4u, EntryNumber);

  Run(kIdRestoreMode);
  EXPECT_EQ("a", fs.files["C:\\Music\\a.mp3"]);
  EXPECT_EQ("b", fs.files["D:\\My Music\\Rock\\Song 1.mp3"]);
  EXPECT_EQ("c", fs.files["Music\\c.mp3"]);
  EXPECT_EQ(5u, fs.files.size());  // The three, the list and the log.
}

TEST_F(RunRenamingTest, BothModesAskForMirroredRenames) {
  fs.files[kList] = "C:\\a\\b\\c.mp3\n\\x.mp3\nC:\\Music/Rock/a.mp3\nC:\\M\\\n";
  fs.rename_does_nothing = true;
  Run(kIdNumberMode);
  Run(kIdRestoreMode);
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"C:\\a\\b\\c.mp3", "C:\\a\\b\\000001c.mp3"},
      {"\\x.mp3", "\\000002x.mp3"},
      {"C:\\Music/Rock/a.mp3", "C:\\000003Music/Rock/a.mp3"},
      {"C:\\M\\", "C:\\M\\000004"},
      {"C:\\a\\b\\000001c.mp3", "C:\\a\\b\\c.mp3"},
      {"\\000002x.mp3", "\\x.mp3"},
      {"C:\\000003Music/Rock/a.mp3", "C:\\Music/Rock/a.mp3"},
      {"C:\\M\\000004", "C:\\M\\"},
  };
  EXPECT_EQ(expected, fs.renames);
}

TEST_F(RunRenamingTest, FailedRenamesAreLoggedAndTheRunGoesOn) {
  fs.files[kList] =
      "C:\\M\\a.mp3\nC:\\M\\gone.mp3\nC:\\M\\b.mp3\nC:\\M\\a.mp3\n";
  fs.files["C:\\M\\a.mp3"] = "a";
  fs.files["C:\\M\\b.mp3"] = "b";
  fs.files["C:\\M\\000003b.mp3"] = "in the way";
  Run(kIdNumberMode);
  EXPECT_EQ(kMessageFailures, dialog.Message());
  EXPECT_EQ("a", fs.files["C:\\M\\000001a.mp3"]);
  EXPECT_EQ("b", fs.files["C:\\M\\b.mp3"]);
  EXPECT_EQ("in the way", fs.files["C:\\M\\000003b.mp3"]);
  EXPECT_EQ(std::string(kHeader) +
                "Playlist #2: C:\\M\\gone.mp3 could not be renamed to "
                "C:\\M\\000002gone.mp3\r\n"
                "Playlist #3: C:\\M\\b.mp3 could not be renamed to "
                "C:\\M\\000003b.mp3\r\n"
                "Playlist #4: C:\\M\\a.mp3 could not be renamed to "
                "C:\\M\\000004a.mp3\r\n\r\n\r\n",
            Log());

  // Restoring: entry 1 comes back; the others were never numbered.
  Run(kIdRestoreMode);
  EXPECT_EQ("a", fs.files["C:\\M\\a.mp3"]);
  EXPECT_NE(std::string::npos,
            Log().find("Playlist #3: C:\\M\\000003b.mp3 could not be renamed "
                       "to C:\\M\\b.mp3\r\n"));
  EXPECT_EQ("in the way", fs.files["C:\\M\\000003b.mp3"]);

  // A second removal finds nothing numbered.
  Run(kIdRestoreMode);
  EXPECT_EQ(0u, Log().find(std::string(kHeader) +
                           "Playlist #1: C:\\M\\000001a.mp3 could not be "
                           "renamed to C:\\M\\a.mp3\r\n"));
}

TEST_F(RunRenamingTest, LinesThatCannotBeRenamedAreFailuresInBothModes) {
  const std::string long_line = "C:\\" + std::string(1200, 'x');
  const std::string fits = "C:\\" + std::string(990, 'f');      // 993 + 6
  const std::string too_long = "C:\\" + std::string(991, 't');  // 994 + 6
  fs.files[kList] =
      "\n"                                 // 1: empty, skipped
      "http://h/a.mp3\n"                   // 2: not a file
      + long_line + "\n"                   // 3: cut
      + std::string("C:\\n\0l", 6) + "\n"  // 4: NUL
      + fits + "\n"                        // 5
      + too_long + "\n"                    // 6
      + " \t \n";                          // 7: blank, skipped
  fs.files[fits] = "f";
  fs.files[too_long] = "t";
  fs.files[long_line.substr(0, 999)] = "the start of the long line";
  for (int mode : {kIdNumberMode, kIdRestoreMode}) {
    fs.renames.clear();
    Run(mode);
    EXPECT_EQ(kMessageFailures, dialog.Message());
    ASSERT_EQ(1u, fs.renames.size()) << mode;  // Only the line that fits.
    std::string log = Log();
    for (const char* entry : {"#2: ", "#3: ", "#4: ", "#6: "})
      EXPECT_NE(std::string::npos, log.find(entry)) << entry;
    for (const char* entry : {"#1: ", "#5: ", "#7: "})
      EXPECT_EQ(std::string::npos, log.find(entry)) << entry;
    EXPECT_EQ(7u, EntryNumber);
  }
  EXPECT_NE(std::string::npos,
            Log().find("#2: http://h/000002a.mp3 could not be renamed to "
                       "http://h/a.mp3\r\n"));
  EXPECT_EQ("f", fs.files[fits]);
  EXPECT_EQ("the start of the long line", fs.files[long_line.substr(0, 999)]);
}

TEST_F(RunRenamingTest, LinesWithoutABackslashAreNumberedAtTheirLastSlash) {
  fs.files[kList] = "a.mp3\n/home/u/b.mp3\nfile:///u/c%20d.mp3\n";
  fs.files["a.mp3"] = "a";
  fs.files["/home/u/b.mp3"] = "b";
  fs.files["file:///u/c%20d.mp3"] = "c";
  Run(kIdNumberMode);
  EXPECT_EQ(kMessageSuccess, dialog.Message());
  EXPECT_EQ("a", fs.files["000001a.mp3"]);
  EXPECT_EQ("b", fs.files["/home/u/000002b.mp3"]);
  EXPECT_EQ("c", fs.files["file:///u/000003c%20d.mp3"]);
  Run(kIdRestoreMode);
  EXPECT_EQ(kMessageSuccess, dialog.Message());
  EXPECT_EQ("a", fs.files["a.mp3"]);
  EXPECT_EQ("b", fs.files["/home/u/b.mp3"]);
  EXPECT_EQ("c", fs.files["file:///u/c%20d.mp3"]);
}

TEST_F(RunRenamingTest, CommentsAndEmptyPlaylistsSucceed) {
  for (const char* list : {"", "#EXTM3U\n", "#a\r\n#b", "\n\n\n"}) {
    fs.files[kList] = list;
    fs.files["output.txt"] = "old";
    Run(kIdRestoreMode);
    EXPECT_EQ(kMessageSuccess, dialog.Message()) << list;
    EXPECT_FALSE(Has("output.txt")) << list;
    EXPECT_TRUE(fs.renames.empty()) << list;
  }
}

TEST_F(RunRenamingTest, EntriesPastOneMillionAreLeftAlone) {
  std::string list;
  list.reserve(7 * 1000005);
  for (int i = 0; i < 1000005; ++i) list += "C:\\M\\x\n";
  fs.files[kList] = std::move(list);
  fs.record_renames = false;
  fs.rename_does_nothing = true;
  Run(kIdNumberMode);
  EXPECT_EQ(kMessageSuccess, dialog.Message());
  EXPECT_EQ(1000000, fs.rename_calls);
  EXPECT_EQ(1000001u, EntryNumber);  // Stops rising: it can never wrap.

  // The same list where every rename fails: the log ends at 1000000.
  fs.rename_does_nothing = false;
  Run(kIdNumberMode);
  const std::string& log = fs.files["output.txt"];
  const std::string last =
      "Playlist #1000000: C:\\M\\x could not be renamed to "
      "C:\\M\\1000000x\r\n\r\n\r\n";
  ASSERT_GT(log.size(), last.size());
  EXPECT_EQ(last, log.substr(log.size() - last.size()));
}

// The dialog hears how much of the playlist was read: rising to all of it,
// a thousand times at most, and nothing once the message is up.
TEST_F(RunRenamingTest, ProgressRisesThroughThePlaylistBeforeTheMessage) {
  std::string long_list;
  for (int i = 0; i < 5000; ++i) long_list += "#EXTINF:1,x\nC:\\M\\x\n";
  const struct {
    const char* name;
    std::string list;
    int64_t last;  // The last progress told, of the list's size.
  } cases[] = {
      {"one line", "C:\\M\\a.mp3", 10},
      {"5,000 entries", long_list, static_cast<int64_t>(long_list.size())},
      {"UTF-16",
       std::string("\xFF\xFE"
                   "a\0\n\0b\0",
                   8),
       8},
      {"empty", "", -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fs.files[kList] = c.list;
    Run(kIdRestoreMode);
    const auto& progress = dialog.progress;
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(std::make_pair(int64_t{-1}, int64_t{-1}), progress.back());
    EXPECT_LE(progress.size(), 1002u);
    if (c.last < 0) {
      EXPECT_EQ(1u, progress.size());
      continue;
    }
    ASSERT_GE(progress.size(), 3u);
    EXPECT_EQ(std::make_pair(int64_t{0}, c.last), progress.front());
    EXPECT_EQ(std::make_pair(c.last, c.last), progress[progress.size() - 2]);
    for (size_t i = 1; i + 1 < progress.size(); ++i) {
      EXPECT_EQ(c.last, progress[i].second);
      EXPECT_LE(progress[i - 1].first, progress[i].first);
    }
  }
}

TEST_F(RunRenamingTest, ARunStartsCountingAfresh) {
  fs.files[kList] = "C:\\M\\a\n";
  fs.rename_does_nothing = true;
  Run(kIdNumberMode);
  Run(kIdNumberMode);
  EXPECT_EQ("C:\\M\\000001a", fs.renames[1].second);
}

TEST_F(RunRenamingTest, AReadErrorIsNotReportedAsSuccess) {
  fs.files[kList] = "C:\\M\\a\nC:\\M\\b\nC:\\M\\c\n";
  fs.files["C:\\M\\a"] = "a";
  fs.read_error_at = 8;
  Run(kIdNumberMode);
  EXPECT_EQ(kMessageFailures, dialog.Message());
  EXPECT_TRUE(Has("C:\\M\\000001a"));
  EXPECT_EQ(std::string(kHeader) +
                "The playlist could not be read past entry #1\r\n\r\n\r\n",
            Log());
}

TEST_F(RunRenamingTest, ALogThatCannotBeWrittenDoesNotStopTheRun) {
  fs.files[kList] = "C:\\M\\gone\nC:\\M\\a\n";
  fs.files["C:\\M\\a"] = "a";
  fs.log_refused = true;
  Run(kIdNumberMode);
  EXPECT_EQ(kMessageFailures, dialog.Message());
  EXPECT_TRUE(Has("C:\\M\\000002a"));

  fs.log_refused = false;
  fs.log_writes_allowed = 0;  // A full disk.
  fs.files[kList] = "C:\\M\\000002a\n";
  Run(kIdNumberMode);
  EXPECT_EQ(kMessageSuccess, dialog.Message());
  EXPECT_TRUE(Has("C:\\M\\000001000002a"));
}

TEST_F(RunRenamingTest, AFailedDeleteStillEndsInSuccess) {
  fs.files[kList] = "";
  fs.delete_refused = true;
  Run(kIdNumberMode);
  EXPECT_EQ(kMessageSuccess, dialog.Message());
  EXPECT_EQ(kHeader, Log());
}

}  // namespace
}  // namespace quenby
