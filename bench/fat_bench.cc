// The price of numbering on a USB stick under the kernel's vfat or exfat:
// one folder of files numbered by a whole run of the engine, the step that
// puts the folder in slot order included and timed apart, against the two
// loops that bound the numbering, each on a fresh folder of its own:
//   durable loop: each no-replace rename put on the stick before the next,
//     the way the engine does it (on vfat the moved file's entry, then its
//     folder; on exfat the folder's sync, which writes every entry);
//   plain loop: the no-replace renames alone, left to the kernel to write
//     back whenever it likes.
// Then what a user waits for with one album: a folder of --album files
// numbered by a run, with and without the order step's share.
//   fat_bench DIR [--files N] [--runs N] [--album N] [--make-only]
// DIR is a folder on the file system to measure (make test-vm gives it a
// loop-mounted vfat or exfat image). A side's folder that DIR holds already,
// with the very files the side needs, is used as it is: making 3,000 files
// on vfat costs as much as renaming them, so make test-vm makes them with
// --make-only in a folder of the host and copies that onto the image with
// mtools (on exfat, which the host cannot write, with --make-only in the
// machine). Prints the medians and the ratios; exits non-zero only when a
// side did not rename every file.
#include <dirent.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "headless_dialog.h"
#include "linux_file_system.h"
#include "linux_path.h"
#include "measure.h"
#include "numbered_path.h"
#include "run_renaming.h"

namespace quenby {
namespace {

struct Options {
  std::string dir;
  uint32_t files = 3000;
  uint32_t album = 20;
  int runs = 1;
  bool make_only = false;
};

bool ParseOptions(int argc, char** argv, Options* options) {
  if (argc < 2) return false;
  options->dir = argv[1];
  for (int i = 2; i < argc; ++i) {
    std::string name = argv[i];
    if (name == "--make-only") {
      options->make_only = true;
      continue;
    }
    long value = i + 1 < argc ? atol(argv[++i]) : 0;
    if (value <= 0) return false;
    if (name == "--files")
      options->files = static_cast<uint32_t>(value);
    else if (name == "--album")
      options->album = static_cast<uint32_t>(value);
    else if (name == "--runs")
      options->runs = static_cast<int>(value);
    else
      return false;
  }
  return true;
}

// One folder's worth of work, its paths made before any timing.
struct Folder {
  std::string name;                    // relative to DIR
  std::vector<std::string> entries;    // playlist lines, in playlist order
  std::vector<std::string> from, to;   // native paths, in the same order
  std::vector<std::string> new_names;  // the last part of each `to`
};

// The files stand in the order they were copied; the playlist lists them in
// an order of its own, as a user's does.
Folder PlanFolder(const std::string& name, uint32_t files) {
  Folder folder;
  folder.name = name;
  std::vector<uint32_t> order(files);
  for (uint32_t i = 0; i < files; ++i) order[i] = i + 1;
  std::shuffle(order.begin(), order.end(), std::mt19937(files));
  std::string numbered;
  for (uint32_t position = 1; position <= files; ++position) {
    char title[64];
    snprintf(title, sizeof title, "%05u - Artist - A Title.mp3",
             static_cast<unsigned>(order[position - 1]));
    std::string entry = name + "\\" + title;
    MakeNumberedPath(entry, position, &numbered);
    folder.entries.push_back(entry);
    folder.from.push_back(ToPosixPath(entry));
    folder.to.push_back(ToPosixPath(numbered));
    folder.new_names.push_back(folder.to.back().substr(name.size() + 1));
  }
  return folder;
}

// Whether the folder holds exactly the files the side renames.
bool HoldsItsFiles(const Folder& folder) {
  std::vector<std::string> wanted;
  for (const std::string& path : folder.from)
    wanted.push_back(path.substr(folder.name.size() + 1));
  std::vector<std::string> held;
  DIR* dir = opendir(folder.name.c_str());
  if (!dir) return false;
  while (const dirent* entry = readdir(dir))
    if (strcmp(entry->d_name, ".") != 0 && strcmp(entry->d_name, "..") != 0)
      held.push_back(entry->d_name);
  closedir(dir);
  std::sort(wanted.begin(), wanted.end());
  std::sort(held.begin(), held.end());
  return held == wanted;
}

// Makes the folder's files, one byte each, in file-number order, unless
// it is there already.
bool MakeFiles(const Folder& folder) {
  struct stat info;
  if (stat(folder.name.c_str(), &info) == 0) return HoldsItsFiles(folder);
  if (mkdir(folder.name.c_str(), 0755) != 0) return false;
  std::vector<std::string> paths = folder.from;
  std::sort(paths.begin(), paths.end());
  for (const std::string& path : paths) {
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    bool written = write(fd, "x", 1) == 1;
    if (close(fd) != 0 || !written) return false;
  }
  return true;
}

bool WritePlaylist(const Folder& folder, const std::string& path) {
  std::string text = "#EXTM3U\r\n";
  for (const std::string& entry : folder.entries) text += entry + "\r\n";
  FILE* out = fopen(path.c_str(), "wb");
  if (!out) return false;
  bool ok = fwrite(text.data(), 1, text.size(), out) == text.size();
  return fclose(out) == 0 && ok;
}

// How many of the folder's names begin with six digits.
uint32_t CountNumbered(const Folder& folder) {
  DIR* dir = opendir(folder.name.c_str());
  if (!dir) return 0;
  uint32_t count = 0;
  while (const dirent* entry = readdir(dir)) {
    int digits = 0;
    while (digits < 6 && entry->d_name[digits] >= '0' &&
           entry->d_name[digits] <= '9')
      ++digits;
    if (digits == 6) ++count;
  }
  closedir(dir);
  return count;
}

void PlainLoop(const Folder& folder) {
  for (size_t i = 0; i < folder.from.size(); ++i)
    renameat2(AT_FDCWD, folder.from[i].c_str(), AT_FDCWD, folder.to[i].c_str(),
              RENAME_NOREPLACE);
}

bool OnExfat() {
  struct statfs info;
  return statfs(".", &info) == 0 && info.f_type == EXFAT_SUPER_MAGIC;
}

// What the engine must do on the stick at the least: each rename on it
// before the next, and everything on it at the end.
void DurableLoop(const Folder& folder, bool exfat) {
  int dir = open(folder.name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir < 0) return;
  for (size_t i = 0; i < folder.from.size(); ++i) {
    if (renameat2(AT_FDCWD, folder.from[i].c_str(), AT_FDCWD,
                  folder.to[i].c_str(), RENAME_NOREPLACE) != 0)
      continue;
    if (exfat) {
      fsync(dir);  // Writes every entry the stick has changed.
      continue;
    }
    int file = openat(dir, folder.new_names[i].c_str(),
                      O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (file >= 0) {
      fsync(file);
      close(file);
    }
    fsync(dir);
  }
  syncfs(dir);
  close(dir);
}

// The Linux file system with the time of RenamesDone kept apart: the order
// step runs there, after the last rename.
class TimedFileSystem : public FileSystem {
 public:
  bool IsReadable(const std::string& path) override {
    return fs_.IsReadable(path);
  }
  void StartRun(RunMode mode) override { fs_.StartRun(mode); }
  std::unique_ptr<InputFile> OpenPlaylist(const std::string& path) override {
    return fs_.OpenPlaylist(path);
  }
  bool Rename(const std::string& from, const std::string& to) override {
    return fs_.Rename(from, to);
  }
  std::unique_ptr<OutputFile> CreateLog(const std::string& name) override {
    return fs_.CreateLog(name);
  }
  bool TakeUnplacedFile(std::string* from, std::string* to) override {
    return fs_.TakeUnplacedFile(from, to);
  }
  void RenamesDone() override {
    done_ = Measure([this] { fs_.RenamesDone(); }).wall;
  }
  bool Delete(const std::string& name) override { return fs_.Delete(name); }
  LocalTime Now() override { return fs_.Now(); }
  double done() const { return done_; }

 private:
  LinuxFileSystem fs_;
  double done_ = 0;
};

// A whole run; returns the time of its order step.
double EngineRun(const std::string& playlist) {
  TimedFileSystem fs;
  HeadlessDialog dialog(playlist, kIdNumberMode);
  RunRenaming(&dialog, &fs);
  return fs.done();
}

std::string FileSystemName(const std::string& dir) {
  struct statfs info;
  if (statfs(dir.c_str(), &info) != 0) return "unknown";
  if (info.f_type == MSDOS_SUPER_MAGIC) return "the kernel's vfat";
  if (info.f_type == EXFAT_SUPER_MAGIC) return "the kernel's exfat";
  char text[40];
  snprintf(text, sizeof text, "type 0x%lx, neither vfat nor exfat",
           static_cast<unsigned long>(info.f_type));
  return text;
}

// How many flush requests the block device that holds `dir` has done, or
// -1 where it does not say: the 16th field of its stat file (the kernel's
// block/stat.rst). A flush is what a stick pays most for.
long long FlushRequests(const std::string& dir) {
  struct stat info;
  if (stat(dir.c_str(), &info) != 0) return -1;
  char path[64];
  snprintf(path, sizeof path, "/sys/dev/block/%u:%u/stat", major(info.st_dev),
           minor(info.st_dev));
  FILE* in = fopen(path, "r");
  if (!in) return -1;
  long long field = 0, flushes = -1;
  for (int i = 0; i < 16 && fscanf(in, "%lld", &field) == 1; ++i)
    if (i == 15) flushes = field;
  fclose(in);
  return flushes;
}

// Makes the folder and its playlist; false, said why, when it cannot.
bool Prepare(const Folder& folder, const std::string& playlist) {
  if (MakeFiles(folder) && WritePlaylist(folder, playlist)) return true;
  fprintf(stderr, "fat_bench: cannot make %s, or it holds other files\n",
          folder.name.c_str());
  return false;
}

// Whether every file of the folder was numbered; says so when not.
bool AllRenamed(const Folder& folder) {
  uint32_t renamed = CountNumbered(folder);
  if (renamed == folder.from.size()) return true;
  fprintf(stderr, "fat_bench: %s renamed %u of %zu files\n",
          folder.name.c_str(), renamed, folder.from.size());
  return false;
}

double Ratio(double a, double b) { return b > 0 ? a / b : 0; }

int Main(const Options& options) {
  if (chdir(options.dir.c_str()) != 0) {
    perror(options.dir.c_str());
    return 2;
  }
  const char* sides[] = {"engine", "durable", "plain"};
  const bool exfat = OnExfat();
  std::vector<double> times[3], order_steps, flushes[3];
  bool all_renamed = true;
  for (int run = 0; run < options.runs; ++run) {
    for (int turn = 0; turn < 3; ++turn) {
      // Who goes first turns with each run, so that neither the image's
      // growth nor a drift of the machine favours one side.
      int side = (turn + run) % 3;
      std::string name = std::string(sides[side]) + "-" + std::to_string(run);
      Folder folder = PlanFolder(name, options.files);
      std::string playlist = name + ".m3u";
      if (!Prepare(folder, playlist)) return 2;
      if (options.make_only) continue;
      // Nothing of the making is left to write back while a side is timed.
      sync();
      double order = 0;
      std::function<void()> work;
      if (side == 0)
        work = [&] { order = EngineRun(playlist); };
      else if (side == 1)
        work = [&] { DurableLoop(folder, exfat); };
      else
        work = [&] { PlainLoop(folder); };
      long long before = FlushRequests(".");
      times[side].push_back(Measure(work).wall);
      long long after = FlushRequests(".");
      if (before >= 0 && after >= before)
        flushes[side].push_back(1.0 * (after - before) / options.files);
      if (side == 0) order_steps.push_back(order);
      printf("  run %d: %-7s %8.2f s", run + 1, sides[side],
             times[side].back());
      if (side == 0) printf(" (order step %.2f s)", order);
      printf("\n");
      fflush(stdout);
      all_renamed = AllRenamed(folder) && all_renamed;
    }
  }
  // The album, made here too: a few files cost little anywhere.
  std::vector<double> album_runs, album_steps;
  for (int run = 0; options.album > 0 && run < options.runs + 4; ++run) {
    std::string name = "album-" + std::to_string(run);
    Folder folder = PlanFolder(name, options.album);
    if (!Prepare(folder, name + ".m3u")) return 2;
    if (options.make_only) continue;
    sync();
    double order = 0;
    album_runs.push_back(Measure([&] {
                           order = EngineRun(name + ".m3u");
                         }).wall);
    album_steps.push_back(order);
    all_renamed = AllRenamed(folder) && all_renamed;
  }
  if (options.make_only) return 0;

  double engine = Median(times[0]), durable = Median(times[1]);
  double plain = Median(times[2]), order = Median(order_steps);
  // The order step's share comes off each run before the median is taken.
  std::vector<double> numbering;
  for (size_t i = 0; i < times[0].size(); ++i)
    numbering.push_back(times[0][i] - order_steps[i]);
  double numbering_part = Median(numbering);
  printf("Numbering one folder of %u files on %s, median of %d run%s:\n",
         options.files, FileSystemName(".").c_str(), options.runs,
         options.runs == 1 ? "" : "s");
  printf("  engine run, order step included %8.2f s\n", engine);
  printf("  numbering part (run less step)  %8.2f s\n", numbering_part);
  printf("  order step (in RenamesDone)     %8.2f s\n", order);
  printf("  durable rename loop             %8.2f s\n", durable);
  printf("  plain rename loop               %8.2f s\n", plain);
  printf("  engine run / durable loop       %8.2f (target: within %d)\n",
         Ratio(engine, durable), exfat ? 3 : 4);
  printf("  numbering part / durable loop   %8.2f (target: within 1.10)\n",
         Ratio(numbering_part, durable));
  printf("  durable / plain loop            %8.2f\n", Ratio(durable, plain));
  if (!flushes[0].empty() && !flushes[1].empty() && !flushes[2].empty())
    printf(
        "  flush requests per file         %8.2f engine, %.2f durable "
        "loop, %.2f plain loop\n",
        Median(flushes[0]), Median(flushes[1]), Median(flushes[2]));
  if (!album_runs.empty()) {
    std::vector<double> without;
    for (size_t i = 0; i < album_runs.size(); ++i)
      without.push_back(album_runs[i] - album_steps[i]);
    printf("One album of %u files, median of %zu runs:\n", options.album,
           album_runs.size());
    printf("  run with the order step         %8.3f s\n", Median(album_runs));
    printf("  run without the order step      %8.3f s\n", Median(without));
    printf("  order step                      %8.3f s\n", Median(album_steps));
  }
  return all_renamed ? 0 : 1;
}

}  // namespace
}  // namespace quenby

int main(int argc, char** argv) {
  quenby::Options options;
  if (!quenby::ParseOptions(argc, argv, &options)) {
    fprintf(stderr,
            "usage: fat_bench DIR [--files N] [--runs N] [--album N] "
            "[--make-only]\n");
    return 2;
  }
  return quenby::Main(options);
}
