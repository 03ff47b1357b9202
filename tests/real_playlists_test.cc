// Playlists that other programs wrote, from the shared folder of real ones,
// numbered and restored the way a user would: the files their local entries
// name are made first, then both runs go through the real file system.
// Absolute entries need the machine's own top folders (/home, /Users, ...),
// so each playlist runs in a child process whose root is an empty tmpfs in
// a mount namespace of its own: nothing outside it is touched.
#include <errno.h>
#include <iconv.h>
#include <sched.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "fake_dialog.h"
#include "linux_file_system.h"
#include "reliability/run_model.h"
#include "run_renaming.h"
#include "temp_dir.h"

namespace quenby {
namespace {

// What each playlist must give: its local entries, all numbered and
// restored; its URLs, entries listed twice and entries that the program's
// reading rules out, each a logged failure that leaves the file alone.
struct Expected {
  const char* file;
  int local;
  int urls;
  int twice;
  int ruled_out;
};

const Expected kPlaylists[] = {
#include "real_playlists_expected.inc"
};

std::string Converted(const std::string& text, const char* from) {
  iconv_t cd = iconv_open("UTF-8", from);
  std::string out(text.size() * 4 + 4, '\0');
  char* in = const_cast<char*>(text.data());
  size_t in_left = text.size();
  char* put = &out[0];
  size_t out_left = out.size();
  size_t done = iconv(cd, &in, &in_left, &put, &out_left);
  iconv_close(cd);
  if (done == static_cast<size_t>(-1)) return std::string();
  out.resize(out.size() - out_left);
  return out;
}

// The file a line names on Linux, worked out the plain way: a file: URL's
// decoded path, or the line with slashes for backslashes; in UTF-8, read as
// Windows-1252 where it is not UTF-8 already. Empty when it names none.
std::string NativeName(std::string line) {
  if (line.compare(0, 5, "file:") == 0) {
    line.erase(0, 5);
    if (line.compare(0, 11, "//localhost") == 0) {
      line.erase(0, 11);
    } else if (line.compare(0, 3, "///") == 0) {
      line.erase(0, 2);
    }
    std::string decoded;
    for (size_t i = 0; i < line.size(); ++i) {
      if (line[i] == '%' && i + 2 < line.size()) {
        decoded +=
            static_cast<char>(std::stoi(line.substr(i + 1, 2), nullptr, 16));
        i += 2;
      } else {
        decoded += line[i];
      }
    }
    line = decoded;
  }
  for (char& c : line)
    if (c == '\\') c = '/';
  if (line.empty() || Converted(line, "UTF-8") == line) return line;
  return Converted(line, "WINDOWS-1252");
}

// Whether the file could be made with exactly these contents.
bool MakeFile(const std::string& path, const std::string& contents) {
  WriteFile(path, contents);
  return ReadFile(path) == contents;
}

// An entry of the playlist as the test reads it.
struct Entry {
  uint32_t number;
  std::string line;
  std::string name;      // The file it names.
  std::string numbered;  // The file it is numbered to.
};

// What a playlist lists, read the plain way. Worked out before the child
// leaves the machine's root, whose code-page tables it needs.
struct Plan {
  std::vector<Entry> local;
  std::vector<Entry> ruled_out;
  int urls = 0, twice = 0;
};

// A POSIX path written with a shell's escapes ("My\\ Music"): its
// backslashes are separators to the program, so the file the user has,
// named without the escapes, is not found.
bool IsShellEscaped(const std::string& line) {
  return !line.empty() && line[0] == '/' &&
         line.find('\\') != std::string::npos;
}

Plan MakePlan(const std::string& bytes) {
  Plan plan;
  std::set<std::string> names;
  uint32_t number = 0;
  for (const model::Line& line : model::Lines(bytes, -1, nullptr)) {
    if (!line.text.empty() && line.text[0] == '#') continue;
    ++number;
    if (model::IsBlank(line.text)) continue;
    if (model::IsRemoteUrl(line.text)) {
      ++plan.urls;
      continue;
    }
    Entry entry{number, line.text, NativeName(line.text),
                NativeName(model::Numbered(line.text, number))};
    if (IsShellEscaped(line.text)) {
      entry.name.clear();
      for (size_t i = 0; i < line.text.size(); ++i)
        if (line.text[i] != '\\' || ++i < line.text.size())
          entry.name += line.text[i];
      plan.ruled_out.push_back(entry);
    } else if (!names.insert(entry.name).second) {
      ++plan.twice;
    } else {
      plan.local.push_back(entry);
    }
  }
  return plan;
}

// Runs in the child, inside its own root: makes the files, numbers,
// restores. Returns one line per broken promise, then a count line.
std::string RunPlaylist(Plan plan) {
  std::ostringstream report;
  std::vector<Entry> local;
  for (const Entry& entry : plan.local) {
    // A line ending in a slash names a folder; the program numbers files.
    if (entry.name.empty() || entry.name.back() == '/')
      plan.ruled_out.push_back(entry);
    else if (MakeFile(entry.name, "entry " + std::to_string(entry.number)))
      local.push_back(entry);
    else
      report << "cannot make: " << entry.line << "\n";
  }
  for (const Entry& entry : plan.ruled_out)
    if (IsShellEscaped(entry.line)) MakeFile(entry.name, "ruled out");
  const char* message = plan.urls + plan.twice + plan.ruled_out.size() == 0
                            ? kMessageSuccess
                            : kMessageFailures;

  LinuxFileSystem fs;
  FakeDialog dialog;
  dialog.path = "/list.m3u";
  dialog.Run(&fs, kIdNumberMode);
  if (dialog.Message() != message)
    report << "numbering said: " << dialog.Message() << "\n";
  for (const Entry& entry : local)
    if (ReadFile(entry.numbered) != "entry " + std::to_string(entry.number))
      report << "not numbered: " << entry.line << "\n";

  dialog.Run(&fs, kIdRestoreMode);
  if (dialog.Message() != message)
    report << "restoring said: " << dialog.Message() << "\n";
  for (const Entry& entry : local)
    if (ReadFile(entry.name) != "entry " + std::to_string(entry.number))
      report << "not restored: " << entry.line << "\n";
  for (const Entry& entry : plan.ruled_out)
    if (IsShellEscaped(entry.line) && ReadFile(entry.name) != "ruled out")
      report << "moved though ruled out: " << entry.line << "\n";
  report << "count " << local.size() << " " << plan.urls << " " << plan.twice
         << " " << plan.ruled_out.size() << "\n";
  return report.str();
}

// A root of its own for this process: a private mount namespace (a user
// namespace too where we are not root) with an empty tmpfs as /.
std::string EnterEmptyRoot(const std::string& mount_point) {
  if (geteuid() == 0) {
    if (unshare(CLONE_NEWNS) != 0) return "unshare";
  } else {
    uid_t uid = geteuid();
    gid_t gid = getegid();
    if (unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) return "unshare";
    std::ofstream("/proc/self/setgroups") << "deny";
    std::ofstream("/proc/self/uid_map") << "0 " << uid << " 1";
    std::ofstream("/proc/self/gid_map") << "0 " << gid << " 1";
  }
  if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
    return "mount --make-rprivate /";
  if (mount("tmpfs", mount_point.c_str(), "tmpfs", 0, "mode=0755") != 0)
    return "mount tmpfs";
  if (chroot(mount_point.c_str()) != 0) return "chroot";
  // The current folder lies two below the root, so that "../.." stays in.
  std::filesystem::create_directories("/work/run");
  if (chdir("/work/run") != 0) return "chdir";
  return "";
}

// Runs one playlist in a child process and returns its report, or "skip:
// why" when this machine gives no root of its own.
std::string RunInOwnRoot(const std::string& bytes) {
  char root[] = "/tmp/quenby-root-XXXXXX";
  if (!mkdtemp(root)) return "skip: mkdtemp";
  int fds[2];
  if (pipe(fds) != 0) return "skip: pipe";
  pid_t child = fork();
  if (child == 0) {
    close(fds[0]);
    Plan plan = MakePlan(bytes);
    std::string failed = EnterEmptyRoot(root);
    std::string report;
    if (!failed.empty()) {
      report = "skip: " + failed + ": " + strerror(errno);
    } else {
      WriteFile("/list.m3u", bytes);
      report = RunPlaylist(plan);
    }
    if (write(fds[1], report.data(), report.size()) < 0) _exit(2);
    _exit(0);
  }
  close(fds[1]);
  std::string report;
  char buffer[4096];
  for (ssize_t count; (count = read(fds[0], buffer, sizeof buffer)) > 0;)
    report.append(buffer, static_cast<size_t>(count));
  close(fds[0]);
  int status = 0;
  waitpid(child, &status, 0);
  rmdir(root);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
    report += "the child died\n";
  return report;
}

TEST(RealPlaylistsTest, EveryLocalEntryIsNumberedAndRestored) {
  const std::string folder = QUENBY_REAL_PLAYLISTS;
  if (!std::filesystem::is_directory(folder))
    GTEST_SKIP() << "no real playlists at " << folder;
  std::set<std::string> listed;
  int local = 0, entries = 0;
  for (const Expected& expected : kPlaylists) {
    listed.insert(expected.file);
    std::string report = RunInOwnRoot(ReadFile(folder + "/" + expected.file));
    if (report.compare(0, 5, "skip:") == 0) GTEST_SKIP() << report;
    std::ostringstream count;
    count << "count " << expected.local << " " << expected.urls << " "
          << expected.twice << " " << expected.ruled_out << "\n";
    EXPECT_EQ(count.str(), report) << expected.file;
    local += expected.local;
    entries += expected.local + expected.urls + expected.twice +
               expected.ruled_out;
  }
  // A playlist added to the folder must be added to the table.
  for (const auto& file : std::filesystem::directory_iterator(folder)) {
    std::string name = file.path().filename();
    if (name.find(".m3u") != std::string::npos) {
      EXPECT_EQ(1u, listed.count(name)) << name << " is not in the table";
    }
  }
  std::printf("%zu playlists, %d local entries numbered and restored of %d\n",
              listed.size(), local, entries);
}

}  // namespace
}  // namespace quenby
