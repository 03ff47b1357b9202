// A numbering run of 20,000 files killed with SIGKILL at random moments,
// each time on a fresh set: afterwards every file is under exactly one of
// its two names, the numbered ones are the first entries in playlist order,
// the log holds whole lines only, and a removal run brings every numbered
// name back and logs each entry that it could not restore.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "fake_dialog.h"
#include "fat_mount.h"
#include "fat_order.h"
#include "linux_file_system.h"
#include "temp_dir.h"

namespace quenby {
namespace {

// Every 50th entry has no file, so that the log is being written to while
// the run is killed.
constexpr int kMissingEvery = 50;

std::string Name(int entry) { return "song " + std::to_string(entry) + ".mp3"; }
std::string NumberedName(int entry) {
  char prefix[16];
  std::snprintf(prefix, sizeof prefix, "%06d", entry);
  return prefix + Name(entry);
}
bool Missing(int entry) { return entry % kMissingEvery == 0; }

// Plain system calls: 20,000 files a set, 21 sets, must stay quick.
void MakeFile(const std::string& path, const std::string& contents) {
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  ASSERT_GE(fd, 0) << path;
  ASSERT_EQ(static_cast<ssize_t>(contents.size()),
            write(fd, contents.data(), contents.size()));
  close(fd);
}
bool Present(const std::string& path) {
  struct stat info;
  return lstat(path.c_str(), &info) == 0;
}
std::string Contents(const std::string& path) {
  char buffer[256];
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return "<cannot open>";
  ssize_t count = read(fd, buffer, sizeof buffer);
  close(fd);
  return count < 0 ? "<cannot read>" : std::string(buffer, count);
}

// Many small files are made and removed: a memory file system where there
// is one, since what is tested is the process dying, not the disk.
std::string ScratchFolder(const std::string& fallback) {
  char name[] = "/dev/shm/quenby-crash-XXXXXX";
  if (access("/dev/shm", W_OK) == 0 && mkdtemp(name)) return name;
  return fallback;
}

// A fresh folder `dir` with the playlist "list.m3u" and its files.
void MakeSet(const std::string& dir, int files) {
  std::filesystem::create_directories(dir + "/Music");
  std::string list = "#EXTM3U\r\n";
  for (int entry = 1; entry <= files; ++entry) {
    list += "Music\\" + Name(entry) + "\r\n";
    if (!Missing(entry)) MakeFile(dir + "/Music/" + Name(entry), Name(entry));
  }
  MakeFile(dir + "/list.m3u", list);
}

// Starts the driver on `dir` and returns its pid once the run has begun.
pid_t StartNumbering(const std::string& dir) {
  int pipe_fds[2];
  if (pipe(pipe_fds) != 0) return -1;
  pid_t pid = fork();
  if (pid == 0) {
    dup2(pipe_fds[1], STDOUT_FILENO);
    close(pipe_fds[0]);
    close(pipe_fds[1]);
    execl(QUENBY_CRASH_DRIVER, QUENBY_CRASH_DRIVER, dir.c_str(), "list.m3u",
          "number", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(pipe_fds[1]);
  char ready[8];
  ssize_t got = read(pipe_fds[0], ready, sizeof ready);
  close(pipe_fds[0]);
  return got == 8 ? pid : -1;
}

// How far a killed run came: the number of entries now numbered, after
// checking that each file is under exactly one name, in playlist order. On
// the kernel's vfat a numbered file may stand in the staging folder of the
// order step that the kill cut short.
int CheckAfterKill(const std::string& dir, int files) {
  int numbered = 0;
  bool numbering = true;
  const std::string staged = dir + "/Music/" + kStagingName + "/";
  for (int entry = 1; entry <= files; ++entry) {
    bool plain = Present(dir + "/Music/" + Name(entry));
    std::string numbered_path = dir + "/Music/" + NumberedName(entry);
    if (!Present(numbered_path) && Present(staged + NumberedName(entry)))
      numbered_path = staged + NumberedName(entry);
    bool renamed = Present(numbered_path);
    if (Missing(entry)) {
      EXPECT_FALSE(plain || renamed) << entry;
      continue;
    }
    EXPECT_NE(plain, renamed) << "entry " << entry << " in " << dir;
    if (renamed) {
      EXPECT_TRUE(numbering) << "entry " << entry << " numbered out of order";
      EXPECT_EQ(Name(entry), Contents(numbered_path));
      ++numbered;
    } else if (plain) {
      EXPECT_EQ(Name(entry), Contents(dir + "/Music/" + Name(entry)));
      numbering = false;
    }
  }
  return numbered;
}

// Every line of a killed run's log is whole: the header, then failure lines
// of missing entries in order, and the closing empty lines only after the
// last of them (a kill after the run had written all, before it ended).
// Only the last line may be cut, and only at a page's end: the kernel ends
// a write between two pages when its writer is killed.
void CheckLogAfterKill(const std::string& dir, int files,
                       std::set<std::string>* left) {
  if (!Exists(dir + "/output.txt")) {
    left->insert("no log (killed before it was created)");
    return;
  }
  std::string log = ReadFile(dir + "/output.txt");
  size_t header_end = log.find("\r\n");
  if (header_end == std::string::npos) {
    left->insert("an empty log (killed before the header)");
    EXPECT_EQ("", log);
    return;
  }
  const std::string closing = "\r\n\r\n";
  const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
  size_t pos = header_end + 2;
  int entry = 0;
  while (pos < log.size()) {
    if (log.compare(pos, std::string::npos, closing) == 0) {
      EXPECT_EQ(files / kMissingEvery * kMissingEvery, entry) << dir;
      left->insert("a whole log (killed as the run ended)");
      return;
    }
    entry += kMissingEvery;
    std::string line = "Playlist #" + std::to_string(entry) + ": Music\\" +
                       Name(entry) + " could not be renamed to Music\\" +
                       NumberedName(entry) + "\r\n";
    size_t cut = log.size() - pos;
    if (cut < line.size() && log.size() % page == 0 &&
        (line.compare(0, cut, log, pos) == 0 ||
         closing.compare(0, cut, log, pos) == 0)) {
      left->insert("a log whose last line a kill cut at a page's end");
      return;
    }
    ASSERT_EQ(line, log.substr(pos, line.size())) << "log of " << dir;
    pos += line.size();
  }
  left->insert(entry == 0 ? "a log with its header alone"
                          : "a log with the failures so far, unclosed");
}

// A removal run restores every numbered name and logs every other entry.
void RestoreAndCheck(const std::string& dir, int files, int numbered) {
  ASSERT_EQ(0, chdir(dir.c_str()));
  LinuxFileSystem fs;
  FakeDialog dialog;
  dialog.path = "list.m3u";
  dialog.Run(&fs, kIdRestoreMode);

  std::string expected;
  int restored = 0;
  for (int entry = 1; entry <= files; ++entry) {
    if (!Missing(entry)) {
      EXPECT_EQ(Name(entry), Contents("Music/" + Name(entry))) << entry;
      EXPECT_FALSE(Present("Music/" + NumberedName(entry))) << entry;
      if (restored++ < numbered) continue;
    }
    expected += "Playlist #" + std::to_string(entry) + ": Music\\" +
                NumberedName(entry) + " could not be renamed to Music\\" +
                Name(entry) + "\r\n";
  }
  // The order step cut short is finished first: nothing of it is left.
  for (const auto& item : std::filesystem::directory_iterator("Music")) {
    std::string name = item.path().filename();
    EXPECT_TRUE(name != kStagingName && !IsPlaceholderName(name)) << name;
  }
  // Missing entries fail here too, even after a whole numbering run.
  EXPECT_EQ(expected.empty() ? kMessageSuccess : kMessageFailures,
            dialog.Message());
  if (expected.empty()) return;  // A clean run deletes its log.
  std::string log = ReadFile("output.txt");
  size_t header_end = log.find("\r\n");
  ASSERT_NE(std::string::npos, header_end);
  EXPECT_TRUE(log.substr(header_end + 2) == expected + "\r\n\r\n")
      << "the removal log is not one line per entry left unnumbered";
}

// Numbers fresh sets of `files` files below `scratch`, killing the run at
// random moments until `kills` kills have hit a running run.
void KillRuns(const std::string& scratch, int files, int kills,
              std::set<std::string>* left_behind) {
  const unsigned seed = std::random_device{}();
  std::mt19937 random(seed);
  const int present = files - files / kMissingEvery;

  // One run to its end tells how long a whole run takes here.
  MakeSet(scratch + "/whole", files);
  auto start = std::chrono::steady_clock::now();
  pid_t pid = StartNumbering(scratch + "/whole");
  ASSERT_GT(pid, 0);
  int status = 0;
  ASSERT_EQ(pid, waitpid(pid, &status, 0));
  ASSERT_TRUE(WIFEXITED(status));
  // 1 when some entries are missing, so that the run failed.
  EXPECT_EQ(files >= kMissingEvery ? 1 : 0, WEXITSTATUS(status));
  const auto whole = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(present, CheckAfterKill(scratch + "/whole", files));
  std::filesystem::remove_all(scratch + "/whole");

  // Runs vary in length, and a short run on FAT often ends before its kill:
  // aim within the first three quarters and allow many tries.
  std::uniform_int_distribution<long> moment(
      0, std::chrono::duration_cast<std::chrono::microseconds>(whole).count() *
             3 / 4);
  int hit = 0;
  for (int attempt = 0; hit < kills && attempt < 10 * kills; ++attempt) {
    std::string dir = scratch + "/set" + std::to_string(attempt);
    MakeSet(dir, files);
    long delay = moment(random);
    pid = StartNumbering(dir);
    ASSERT_GT(pid, 0);
    std::this_thread::sleep_for(std::chrono::microseconds(delay));
    kill(pid, SIGKILL);
    ASSERT_EQ(pid, waitpid(pid, &status, 0));
    if (!WIFSIGNALED(status)) {  // The run was over before the kill.
      std::filesystem::remove_all(dir);
      continue;
    }
    ++hit;
    SCOPED_TRACE("seed " + std::to_string(seed) + ", kill after " +
                 std::to_string(delay) + " us");
    int numbered = CheckAfterKill(dir, files);
    CheckLogAfterKill(dir, files, left_behind);
    // Nothing but the list, the log and the music folder.
    for (const auto& item : std::filesystem::directory_iterator(dir)) {
      std::string name = item.path().filename();
      if (name != "list.m3u" && name != "output.txt" && name != "Music")
        left_behind->insert("a stray file " + name);
    }
    RestoreAndCheck(dir, files, numbered);
    ASSERT_EQ(0, chdir(scratch.c_str()));
    std::filesystem::remove_all(dir);
    std::printf("kill %d after %ld us: %d of %d files numbered\n", hit, delay,
                numbered, present);
  }
  EXPECT_EQ(kills, hit);
  for (const std::string& what : *left_behind) {
    std::printf("a kill left behind: %s\n", what.c_str());
    EXPECT_EQ(std::string::npos, what.find("stray")) << what;
  }
}

TEST(CrashConsistencyTest, KilledNumberingRunsLoseNothing) {
  TempDir temp;
  const std::string scratch = ScratchFolder(temp.path());
  std::set<std::string> left_behind;
  KillRuns(scratch, 20000, 20, &left_behind);
  ASSERT_EQ(0, chdir(temp.path().c_str()));
  if (scratch != temp.path()) std::filesystem::remove_all(scratch);
}

TEST(CrashConsistencyTest, KilledNumberingRunsOnFatLoseNothing) {
  // Few files through fusefat: with 30 or 60 in a folder, fusefat itself
  // spun in a busy loop and garbled files after its clients had been killed.
  // The kernel's vfat takes a folder of hundreds.
  TempDir temp;
  FatMount fat(temp.path());
  if (!fat.has_driver()) GTEST_SKIP() << fat.reason();
  ASSERT_TRUE(fat.ok()) << fat.reason();
  std::set<std::string> left_behind;
  if (fat.kernel())
    KillRuns(fat.path(), 300, 20, &left_behind);
  else
    KillRuns(fat.path(), 8, 8, &left_behind);
  ASSERT_EQ(0, chdir(temp.path().c_str()));
  EXPECT_EQ("", fat.Check());
}

}  // namespace
}  // namespace quenby
