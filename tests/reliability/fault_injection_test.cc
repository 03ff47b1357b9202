// Every fault the file system can show, at the first, a middle and the last
// entry, in both modes: the failed entry is counted and logged, the run goes
// on with the others, nothing is renamed twice and no file is lost.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_dialog.h"
#include "memory_file_system.h"
#include "reliability/run_model.h"
#include "run_renaming.h"

namespace quenby {
namespace {

const char kList[] = "C:\\list.m3u";
const char kHeader[] = "6/14/2000 at 3:07pm -";
const std::vector<std::string> kNames = {"a.mp3", "b.mp3", "c.mp3", "d.mp3"};

std::string Plain(const std::string& name) { return "C:\\M\\" + name; }
std::string Numbered(int entry, const std::string& name) {
  return "C:\\M\\00000" + std::to_string(entry) + name;
}
std::string FailureLine(int entry, const std::string& from,
                        const std::string& to) {
  return "Playlist #" + std::to_string(entry) + ": " + from +
         " could not be renamed to " + to + "\r\n";
}

enum class Kind { kMissing, kExists, kRefused, kInvalidPath, kMediaGone };
const char* KindName(Kind kind) {
  switch (kind) {
    case Kind::kMissing:
      return "missing";
    case Kind::kExists:
      return "exists";
    case Kind::kRefused:
      return "access refused";
    case Kind::kInvalidPath:
      return "invalid path";
    case Kind::kMediaGone:
      return "media gone";
  }
  return "";
}

class FaultTest : public ::testing::Test {
 protected:
  void SetUp() override { fs.now = {2000, 6, 14, 15, 7}; }

  // Runs and holds the outcome against the model as well as against what
  // each test states by hand.
  void Run(int mode, const model::Faults& faults = {}) {
    model::Outcome expected = model::Run(kList, mode, fs.files, faults,
                                         kHeader);
    std::multiset<std::string> before = model::Contents(fs.files);
    faults.ApplyTo(&fs);
    dialog.path = kList;
    dialog.Run(&fs, mode);
    EXPECT_EQ(expected.files, fs.files);
    EXPECT_EQ(expected.renames, fs.renames);
    EXPECT_EQ(before, model::Contents(fs.files)) << "a file was lost";
    // No file is asked to move twice in one run.
    std::set<std::string> sources;
    for (const auto& rename : fs.renames)
      EXPECT_TRUE(sources.insert(rename.first).second) << rename.first;
  }

  std::string Log() {
    return fs.files.count("output.txt") ? fs.files["output.txt"] : "<none>";
  }

  MemoryFileSystem fs;
  FakeDialog dialog;
};

TEST_F(FaultTest, EachRenameFailureKindAtEachPlaceInBothModes) {
  for (Kind kind : {Kind::kMissing, Kind::kExists, Kind::kRefused,
                    Kind::kInvalidPath, Kind::kMediaGone}) {
    for (int at : {1, 3, 4}) {
      for (int mode : {kIdNumberMode, kIdRestoreMode}) {
        SCOPED_TRACE(std::string(KindName(kind)) + " at entry " +
                     std::to_string(at) +
                     (mode == kIdNumberMode ? ", numbering" : ", removal"));
        std::vector<std::string> names = kNames;
        if (kind == Kind::kInvalidPath) names[at - 1] = "what?.mp3";
        bool numbered_before = mode == kIdRestoreMode;
        fs.files.clear();
        fs.files[kList] = "#EXTM3U\r\n";
        for (int i = 1; i <= 4; ++i) {
          fs.files[kList] += Plain(names[i - 1]) + "\r\n";
          fs.files[numbered_before ? Numbered(i, names[i - 1])
                                   : Plain(names[i - 1])] = names[i - 1];
        }
        const std::string plain = Plain(names[at - 1]);
        const std::string numbered = Numbered(at, names[at - 1]);
        const std::string& from = numbered_before ? numbered : plain;
        const std::string& to = numbered_before ? plain : numbered;

        model::Faults faults;
        switch (kind) {
          case Kind::kMissing:
            fs.files.erase(from);
            break;
          case Kind::kExists:
            fs.files[to] = "in the way";
            break;
          case Kind::kRefused:
            faults.rename_refused = {from};
            break;
          case Kind::kInvalidPath:
            faults.invalid_name_bytes = "?*";
            break;
          case Kind::kMediaGone:
            faults.renames_allowed = at - 1;
            break;
        }
        Run(mode, faults);

        // The faulted entry, and with the media gone every later one, is
        // logged as it stood; the other entries are renamed.
        int last_failed = kind == Kind::kMediaGone ? 4 : at;
        std::string lines;
        for (int i = 1; i <= 4; ++i) {
          std::string p = Plain(names[i - 1]), n = Numbered(i, names[i - 1]);
          const std::string& old_name = numbered_before ? n : p;
          const std::string& new_name = numbered_before ? p : n;
          if (i >= at && i <= last_failed) {
            lines += FailureLine(i, old_name, new_name);
            if (kind != Kind::kMissing) {
              EXPECT_EQ(names[i - 1], fs.files[old_name]);
            }
          } else {
            EXPECT_EQ(names[i - 1], fs.files[new_name]);
            EXPECT_EQ(0u, fs.files.count(old_name));
          }
        }
        if (kind == Kind::kExists) {
          EXPECT_EQ("in the way", fs.files[to]);
        }
        EXPECT_EQ(kMessageFailures, dialog.Message());
        EXPECT_EQ(std::string(kHeader) + "\r\n" + lines + "\r\n\r\n", Log());
        EXPECT_EQ(4u, fs.renames.size());
      }
    }
  }
}

TEST_F(FaultTest, ALogThatCannotBeOpenedOrWrittenLosesOnlyTheLog) {
  struct Case {
    const char* name;
    bool refused;
    long writes;  // -1: all
    bool fails;   // Entry 2 is missing.
    const char* message;
    std::string log;
  } cases[] = {
      {"cannot open, failures", true, -1, true, kMessageFailures,
       "someone else's"},
      {"cannot open, clean run", true, -1, false, kMessageSuccess,
       "someone else's"},
      {"disk full before the header", false, 0, true, kMessageFailures, ""},
      {"disk full after the header", false, 1, true, kMessageFailures,
       std::string(kHeader) + "\r\n"},
      {"disk full before the empty lines", false, 2, true, kMessageFailures,
       std::string(kHeader) + "\r\n" +
           FailureLine(2, Plain("b.mp3"), Numbered(2, "b.mp3"))},
      {"disk full, clean run", false, 0, false, kMessageSuccess, "<none>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs.files.clear();
    fs.files["output.txt"] = "someone else's";
    fs.files[kList] = "";
    for (const std::string& name : kNames) {
      fs.files[kList] += Plain(name) + "\n";
      if (!(c.fails && name == "b.mp3")) fs.files[Plain(name)] = name;
    }
    model::Faults faults;
    faults.log_refused = c.refused;
    faults.log_writes_allowed = c.writes;
    Run(kIdNumberMode, faults);
    EXPECT_EQ(c.message, dialog.Message());
    EXPECT_EQ(c.log, Log());
    for (int i = 1; i <= 4; ++i) {
      if (!(c.fails && i == 2)) {
        EXPECT_EQ(kNames[i - 1], fs.files[Numbered(i, kNames[i - 1])]);
      }
    }
  }
}

TEST_F(FaultTest, AFailedDeleteLeavesTheHeaderAndStillSucceeds) {
  for (int mode : {kIdNumberMode, kIdRestoreMode}) {
    fs.files.clear();
    fs.files[kList] = "C:\\M\\a.mp3\n";
    fs.files[mode == kIdNumberMode ? "C:\\M\\a.mp3" : "C:\\M\\000001a.mp3"] =
        "a";
    model::Faults faults;
    faults.delete_refused = true;
    Run(mode, faults);
    EXPECT_EQ(kMessageSuccess, dialog.Message());
    EXPECT_EQ(std::string(kHeader) + "\r\n", Log());
  }
}

TEST_F(FaultTest, AReadErrorEndsTheLoopAsAFailureWhereverItFalls) {
  // "#EXTM3U\r\n" is bytes 0 to 8, then entries a to d take 12 bytes each.
  const std::string list =
      "#EXTM3U\r\nC:\\M\\a.mp3\r\nC:\\M\\b.mp3\r\nC:\\M\\c.mp3\r\n"
      "C:\\M\\d.mp3\r\n";
  struct Case {
    long at;
    int read;  // Entries read whole before the error.
  } cases[] = {{0, 0},  {5, 0},  {9, 0},  {15, 0}, {21, 1},
               {22, 1}, {35, 2}, {47, 3}, {57, 4}};
  for (const Case& c : cases) {
    SCOPED_TRACE("error at byte " + std::to_string(c.at));
    for (int mode : {kIdNumberMode, kIdRestoreMode}) {
      fs.files.clear();
      fs.files[kList] = list;
      for (int i = 1; i <= 4; ++i)
        fs.files[mode == kIdNumberMode ? Plain(kNames[i - 1])
                                       : Numbered(i, kNames[i - 1])] = "x";
      model::Faults faults;
      faults.read_error_at = c.at;
      Run(mode, faults);
      EXPECT_EQ(kMessageFailures, dialog.Message());
      EXPECT_EQ(std::string(kHeader) +
                    "\r\nThe playlist could not be read past entry #" +
                    std::to_string(c.read) + "\r\n\r\n\r\n",
                Log());
      EXPECT_EQ(static_cast<size_t>(c.read), fs.renames.size());
    }
  }
  // A read error past the end is never seen.
  fs.files[kList] = list;
  model::Faults faults;
  faults.read_error_at = 58;
  Run(kIdNumberMode, faults);
  EXPECT_EQ(kMessageSuccess, dialog.Message());
}

TEST_F(FaultTest, FaultsTogetherStillLoseNothing) {
  // Everything at once in one numbering run, then a clean removal: only the
  // entries the faults hit stay as they were, and each is logged.
  fs.files[kList] =
      "C:\\M\\a.mp3\nC:\\M\\b?.mp3\nC:\\M\\c.mp3\nC:\\M\\d.mp3\n"
      "C:\\M\\e.mp3\nC:\\M\\f.mp3\n";
  for (const char* name : {"a.mp3", "b?.mp3", "c.mp3", "e.mp3", "f.mp3"})
    fs.files[Plain(name)] = name;
  fs.files["C:\\M\\000005e.mp3"] = "in the way";
  model::Faults faults;
  faults.invalid_name_bytes = "?";
  faults.rename_refused = {Plain("c.mp3")};
  faults.renames_allowed = 5;  // f.mp3 is the sixth.
  faults.log_writes_allowed = 4;
  faults.delete_refused = true;
  Run(kIdNumberMode, faults);
  EXPECT_EQ(kMessageFailures, dialog.Message());
  EXPECT_EQ("a.mp3", fs.files["C:\\M\\000001a.mp3"]);
  EXPECT_EQ(std::string(kHeader) + "\r\n" +
                FailureLine(2, Plain("b?.mp3"), Numbered(2, "b?.mp3")) +
                FailureLine(3, Plain("c.mp3"), Numbered(3, "c.mp3")) +
                FailureLine(4, Plain("d.mp3"), Numbered(4, "d.mp3")),
            Log());

  Run(kIdRestoreMode);
  EXPECT_EQ("a.mp3", fs.files[Plain("a.mp3")]);
  EXPECT_EQ("in the way", fs.files["C:\\M\\000005e.mp3"]);
  EXPECT_EQ(1u + 5u + 1u + 1u, fs.files.size());  // List, files, log.
}

}  // namespace
}  // namespace quenby
