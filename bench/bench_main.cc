// Times renaming runs against the bare system calls they need and against
// the scripts users write instead, and measures the engine's memory and
// instructions per entry. Prints one table; exits non-zero only when a run
// did not do what it should (a missed target is reported, not fatal).
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "bare_loops.h"
#include "child_process.h"
#include "file_tree.h"
#include "generated_file_system.h"
#include "headless_dialog.h"
#include "linux_file_system.h"
#include "measure.h"
#include "playlist_text.h"
#include "report.h"
#include "run_renaming.h"

#ifndef QUENBY_BENCH_SCRIPTS
#define QUENBY_BENCH_SCRIPTS "."
#endif

namespace quenby {
namespace {

struct Options {
  uint32_t entries = 100000;
  int runs = 5;
  uint32_t shell_entries = 2000;
  uint32_t python_entries = 100000;
  uint32_t memory_small = 10000;
  uint32_t memory_large = 1000005;
  uint32_t callgrind_entries = 100000;
};

bool ParseOptions(int argc, char** argv, Options* options) {
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string name = argv[i];
    long value = std::atol(argv[i + 1]);
    if (value <= 0) return false;
    if (name == "--entries")
      options->entries = value;
    else if (name == "--runs")
      options->runs = static_cast<int>(value);
    else if (name == "--shell-entries")
      options->shell_entries = value;
    else if (name == "--python-entries")
      options->python_entries = value;
    else if (name == "--memory-small")
      options->memory_small = value;
    else if (name == "--memory-large")
      options->memory_large = value;
    else if (name == "--callgrind-entries")
      options->callgrind_entries = value;
    else
      return false;
  }
  return argc % 2 == 1;
}

int failures_seen = 0;

void Check(bool ok, const std::string& what) {
  if (ok) return;
  ++failures_seen;
  fprintf(stderr, "CHECK FAILED: %s\n", what.c_str());
}

void WriteTextFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

std::string ReadTextFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

size_t CountLines(const std::string& text) {
  return static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
}

// A numbering run on the generated file system: the child mode behind the
// memory and instruction figures.
int GeneratedRun(uint32_t entries) {
  const std::string path = "generated.m3u";
  GeneratedFileSystem fs(path, entries);
  HeadlessDialog dialog(path, kIdNumberMode);
  RunRenaming(&dialog, &fs);
  long expected = std::min<uint32_t>(entries, 1000000);
  printf("%ld\n", OwnPeakResidentKib());
  return dialog.message() == kMessageSuccess && fs.renames() == expected ? 0
                                                                         : 1;
}

// A removal run on the POSIX file system in the current folder, which gets
// the entries' folders but none of their files: every rename fails and is
// logged. The child mode behind the instructions of the POSIX path.
int PosixFailureRun(uint32_t entries) {
  const std::string path = "playlist.m3u";
  WriteTextFile(path, PlaylistText(entries));
  if (!CreateFileTree("tree", entries, false) || chdir("tree") != 0) return 1;
  LinuxFileSystem fs;
  HeadlessDialog dialog("../" + path, kIdRestoreMode);
  RunRenaming(&dialog, &fs);
  return dialog.message() == kMessageFailures ? 0 : 1;
}

// Every run's figures, to take the medians of.
struct Timings {
  std::vector<Sample> engine_number, engine_restore, engine_failures;
  // Loops that end as a run does, their renames or log put on the medium,
  // and plain ones that do not: the cost of that promise.
  std::vector<Sample> durable_number, durable_restore, durable_failures,
      durable_writes;
  std::vector<Sample> plain_number, plain_restore, plain_failures;
  // The sync alone after the all-succeeding loops: the run's syncfs on the
  // durable tree, an fsync of each folder after the plain loop.
  std::vector<Sample> syncfs_number, syncfs_restore, folders_number,
      folders_restore;
  std::vector<Sample> shell, python;
};

Sample Sum(const Sample& a, const Sample& b) {
  return Sample{a.cpu + b.cpu, a.wall + b.wall};
}

class Bench {
 public:
  Bench(const Options& options, std::string folder)
      : options_(options), folder_(std::move(folder)) {}

  void Prepare() {
    playlist_ = folder_ + "/playlist.m3u";
    shell_playlist_ = folder_ + "/shell.m3u";
    python_playlist_ = folder_ + "/python.m3u";
    WriteTextFile(playlist_, PlaylistText(options_.entries));
    WriteTextFile(shell_playlist_, PlaylistText(options_.shell_entries));
    WriteTextFile(python_playlist_, PlaylistText(options_.python_entries));
    work_ = PrepareBareWork(options_.entries);
  }

  void Repetition(int index) {
    const std::string trees[3] = {folder_ + "/engine", folder_ + "/durable",
                                  folder_ + "/plain"};
    // Which tree is made first and who runs first rotate independently,
    // so that neither the age of a tree's metadata nor a drift of the
    // machine favours one side.
    for (int i = 0; i < 3; ++i) {
      const std::string& tree = trees[(index / 3 + i) % 3];
      Check(CreateFileTree(tree, options_.entries), "tree made: " + tree);
    }
    // Each side starts with nothing of the others' (or the tree making's)
    // left to write back, which would otherwise stall whoever comes next.
    auto in_turn = [&](const std::function<void()>& engine,
                       const std::function<void()>& durable,
                       const std::function<void()>& plain) {
      const std::function<void()>* sides[3] = {&engine, &durable, &plain};
      for (int i = 0; i < 3; ++i) {
        sync();
        (*sides[(index + i) % 3])();
      }
    };
    in_turn(
        [&] {
          EngineRenames(trees[0], kIdNumberMode, &timings_.engine_number);
        },
        [&] {
          LoopRenames(trees[1], true, true, &timings_.durable_number,
                      &timings_.syncfs_number);
        },
        [&] {
          LoopRenames(trees[2], true, false, &timings_.plain_number,
                      &timings_.folders_number);
        });
    in_turn(
        [&] {
          EngineRenames(trees[0], kIdRestoreMode, &timings_.engine_restore);
        },
        [&] {
          LoopRenames(trees[1], false, true, &timings_.durable_restore,
                      &timings_.syncfs_restore);
        },
        [&] {
          LoopRenames(trees[2], false, false, &timings_.plain_restore,
                      &timings_.folders_restore);
        });
    in_turn([&] { EngineFailures(trees[0]); },
            [&] { LoopFailures(trees[1], true); },
            [&] { LoopFailures(trees[2], false); });
    for (const std::string& tree : trees) RemoveTree(tree);
    Peers();
  }

  const Timings& timings() const { return timings_; }

 private:
  void InFolder(const std::string& folder, const std::function<void()>& work) {
    Check(chdir(folder.c_str()) == 0, "enter " + folder);
    work();
    Check(chdir(folder_.c_str()) == 0, "leave " + folder);
  }

  Sample EngineRun(const std::string& tree, int mode, std::string* message) {
    Sample sample;
    InFolder(tree, [&] {
      LinuxFileSystem fs;
      HeadlessDialog dialog(playlist_, mode);
      sample = Measure([&] { RunRenaming(&dialog, &fs); });
      *message = dialog.message();
    });
    return sample;
  }

  // A run that must rename every file; afterwards all carry the numbered
  // names or all the plain ones.
  void EngineRenames(const std::string& tree, int mode,
                     std::vector<Sample>* samples) {
    std::string message;
    samples->push_back(EngineRun(tree, mode, &message));
    bool numbered = mode == kIdNumberMode;
    Check(message == kMessageSuccess, "engine run succeeds");
    Check(CountEntryFiles(tree, options_.entries, numbered) == options_.entries,
          "engine renamed every file");
  }

  // Removal again: no numbered file is left, so every entry fails.
  void EngineFailures(const std::string& tree) {
    std::string message;
    timings_.engine_failures.push_back(EngineRun(tree, kIdRestoreMode,
                                                 &message));
    Check(message == kMessageFailures, "engine failure run reports failures");
    std::string log_path = tree + "/output.txt";
    std::string log = ReadTextFile(log_path);
    Check(CountLines(log) == options_.entries + 3,
          "engine log has a line per entry");
    Check(log.find(work_.failure_lines.back()) != std::string::npos,
          "engine log holds the same lines as the bare loop");
    unlink(log_path.c_str());
  }

  // The bare renames of a whole run. Durable, they end with the run's
  // syncfs; plain, they end with nothing, and an fsync of each folder is
  // timed apart afterwards. `syncs` gets the sync alone.
  void LoopRenames(const std::string& tree, bool numbering, bool durable,
                   std::vector<Sample>* samples, std::vector<Sample>* syncs) {
    const std::vector<std::string>& from = numbering ? work_.plain
                                                     : work_.numbered;
    const std::vector<std::string>& to = numbering ? work_.numbered
                                                   : work_.plain;
    uint32_t failed = 0;
    InFolder(tree, [&] {
      Sample renames = Measure([&] { failed = BareRenameLoop(from, to); });
      Sample sync = Measure([&] {
        if (durable)
          SyncFileSystem();
        else
          SyncFolders(work_.folders);
      });
      samples->push_back(durable ? Sum(renames, sync) : renames);
      syncs->push_back(sync);
    });
    Check(failed == 0, "bare loop renames every file");
  }

  // The loop with the failing renames goes first, so that it finds the
  // numbered names as uncached as the engine's run on its own tree did.
  void LoopFailures(const std::string& tree, bool durable) {
    uint32_t failed = 0;
    InFolder(tree, [&] {
      Sample failures = Measure([&] {
        failed = BareFailureLoop(work_, "renames-and-writes.txt", true,
                                 durable);
      });
      (durable ? timings_.durable_failures : timings_.plain_failures)
          .push_back(failures);
      if (durable)
        timings_.durable_writes.push_back(Measure([&] {
          BareFailureLoop(work_, "writes-only.txt", false, true);
        }));
    });
    Check(failed == options_.entries, "bare failure loop fails every rename");
  }

  void Peers() {
    std::string shell_tree = folder_ + "/shell";
    std::string python_tree = folder_ + "/python";
    Check(CreateFileTree(shell_tree, options_.shell_entries),
          "shell tree made");
    Check(CreateFileTree(python_tree, options_.python_entries),
          "python tree made");
    sync();
    ChildResult shell =
        RunChild({"sh", QUENBY_BENCH_SCRIPTS "/peer_shell.sh", shell_playlist_},
                 shell_tree);
    sync();
    ChildResult python = RunChild({"python3",
                                   QUENBY_BENCH_SCRIPTS "/peer_python.py",
                                   python_playlist_},
                                  python_tree);
    Check(shell.ok && CountEntryFiles(shell_tree, options_.shell_entries,
                                      true) == options_.shell_entries,
          "shell loop numbered every file");
    Check(python.ok && CountEntryFiles(python_tree, options_.python_entries,
                                       true) == options_.python_entries,
          "python script numbered every file");
    timings_.shell.push_back(shell.cost);
    timings_.python.push_back(python.cost);
    RemoveTree(shell_tree);
    RemoveTree(python_tree);
  }

  Options options_;
  std::string folder_;
  std::string playlist_, shell_playlist_, python_playlist_;
  BareWork work_;
  Timings timings_;
};

// Peak resident size of a numbering run over `entries` generated entries,
// in KiB, the median over `runs` fresh processes.
double PeakMemory(const std::string& program, uint32_t entries, int runs) {
  std::vector<double> peaks;
  for (int i = 0; i < runs; ++i) {
    std::string output;
    ChildResult child =
        RunChild({program, "--generated-run", std::to_string(entries)}, "",
                 &output);
    long peak = std::atol(output.c_str());
    Check(child.ok && peak > 0, "generated run of " + std::to_string(entries));
    peaks.push_back(static_cast<double>(peak));
  }
  return Median(peaks);
}

// Instructions executed inside RunRenaming by the child mode `mode` over
// `entries` entries, counted by callgrind; `toggles` names the functions
// inside it that are not counted.
double Instructions(const std::string& program, const std::string& mode,
                    uint32_t entries, const std::vector<std::string>& toggles,
                    const std::string& folder) {
  std::string out = folder + "/callgrind.out";
  std::vector<std::string> argv = {"valgrind", "--tool=callgrind",
                                   "--callgrind-out-file=" + out,
                                   "--log-file=" + folder + "/callgrind.log",
                                   "--toggle-collect=quenby::RunRenaming(*"};
  for (const std::string& toggle : toggles)
    argv.push_back("--toggle-collect=" + toggle);
  for (const std::string& arg : {program, mode, std::to_string(entries)})
    argv.push_back(arg);
  std::string discarded;
  ChildResult child = RunChild(argv, folder, &discarded);
  Check(child.ok, "callgrind run " + mode);
  std::istringstream text(ReadTextFile(out));
  std::string line;
  double total = 0;
  while (std::getline(text, line)) {
    if (line.rfind("totals:", 0) == 0 || line.rfind("summary:", 0) == 0)
      total = std::atof(line.c_str() + line.find(':') + 1);
  }
  Check(total > 0, "callgrind counted instructions");
  return total;
}

// The engine's own instructions: a numbering run on the generated file
// system, with its playlist reads and renames not counted.
double EngineInstructions(const std::string& program, uint32_t entries,
                          const std::string& folder) {
  return Instructions(program, "--generated-run", entries,
                      {"*GeneratedPlaylist::Read(*",
                       "quenby::GeneratedFileSystem::Rename(*"},
                      folder);
}

// The whole run's own instructions on the POSIX file system, every rename
// failing: what a run adds to the system calls, in its own folder.
double PosixInstructions(const std::string& program, uint32_t entries,
                         const std::string& folder) {
  std::string run_folder = folder + "/posix-run";
  Check(mkdir(run_folder.c_str(), 0755) == 0, "made " + run_folder);
  double total = Instructions(program, "--posix-failure-run", entries, {},
                              run_folder);
  RemoveTree(run_folder);
  return total;
}

std::string FileSystemName(const std::string& folder) {
  struct statfs info;
  if (statfs(folder.c_str(), &info) != 0) return "unknown";
  switch (static_cast<unsigned long>(info.f_type)) {
    case 0xEF53:
      return "ext4";
    case 0x01021994:
      return "tmpfs";
    case 0x9123683E:
      return "btrfs";
    case 0x58465342:
      return "xfs";
    case 0x794C7630:
      return "overlayfs";
  }
  char hex[32];
  snprintf(hex, sizeof hex, "type 0x%lx",
           static_cast<unsigned long>(info.f_type));
  return hex;
}

std::string MachineDescription(const std::string& folder) {
  std::string cpu = "unknown CPU";
  std::istringstream info(ReadTextFile("/proc/cpuinfo"));
  std::string line;
  while (std::getline(info, line)) {
    if (line.rfind("model name", 0) == 0) {
      cpu = line.substr(line.find(':') + 2);
      break;
    }
  }
  struct utsname name;
  uname(&name);
  char text[512];
  snprintf(text, sizeof text, "%s, %ld cores, %s %s %s, temporary files on %s",
           cpu.c_str(), sysconf(_SC_NPROCESSORS_ONLN), name.sysname,
           name.release, name.machine, FileSystemName(folder).c_str());
  return text;
}

int Main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--generated-run") == 0)
    return GeneratedRun(static_cast<uint32_t>(std::atol(argv[2])));
  if (argc == 3 && std::strcmp(argv[1], "--posix-failure-run") == 0)
    return PosixFailureRun(static_cast<uint32_t>(std::atol(argv[2])));

  Options options;
  if (!ParseOptions(argc, argv, &options)) {
    fprintf(stderr,
            "usage: %s [--entries N] [--runs R] [--shell-entries N] "
            "[--python-entries N] [--memory-small N] [--memory-large N] "
            "[--callgrind-entries N]\n",
            argv[0]);
    return 2;
  }
  std::string program = OwnProgramPath();
  const char* tmp = getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") +
                        "/quenby-bench-XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  if (!mkdtemp(name.data())) {
    perror("mkdtemp");
    return 1;
  }
  std::string folder = name.data();

  time_t now = time(nullptr);
  char date[64];
  strftime(date, sizeof date, "%Y-%m-%d %H:%M UTC", gmtime(&now));
  printf("Quenby benchmark, %s\n%s\n", date,
         MachineDescription(folder).c_str());
  printf("%d runs of each figure\n\n", options.runs);
  fflush(stdout);

  Bench bench(options, folder);
  bench.Prepare();
  if (chdir(folder.c_str()) != 0) return 1;
  for (int i = 0; i < options.runs; ++i) {
    fprintf(stderr, "run %d of %d\n", i + 1, options.runs);
    bench.Repetition(i);
  }

  Figures figures;
  figures.entries = options.entries;
  figures.folders = (options.entries + kFilesPerFolder - 1) / kFilesPerFolder;
  figures.shell_entries = options.shell_entries;
  figures.python_entries = options.python_entries;
  figures.memory_small = options.memory_small;
  figures.memory_large = options.memory_large;
  figures.callgrind_entries = options.callgrind_entries;
  const Timings& t = bench.timings();
  figures.number = Median(t.engine_number);
  figures.restore = Median(t.engine_restore);
  figures.failures = Median(t.engine_failures);
  figures.durable_number = Median(t.durable_number);
  figures.durable_restore = Median(t.durable_restore);
  figures.durable_failures = Median(t.durable_failures);
  figures.durable_writes = Median(t.durable_writes);
  figures.plain_number = Median(t.plain_number);
  figures.plain_restore = Median(t.plain_restore);
  figures.plain_failures = Median(t.plain_failures);
  figures.syncfs_number = Median(t.syncfs_number);
  figures.syncfs_restore = Median(t.syncfs_restore);
  figures.folders_number = Median(t.folders_number);
  figures.folders_restore = Median(t.folders_restore);
  figures.shell = Median(t.shell);
  figures.python = Median(t.python);
  fprintf(stderr, "memory and instructions\n");
  figures.small_kib = PeakMemory(program, options.memory_small, options.runs);
  figures.large_kib = PeakMemory(program, options.memory_large, options.runs);
  figures.instructions = EngineInstructions(program, options.callgrind_entries,
                                            folder);
  figures.posix_instructions =
      PosixInstructions(program, options.callgrind_entries, folder);

  PrintTable(figures);
  if (chdir("/") != 0) return 1;
  RemoveTree(folder);
  if (failures_seen > 0) {
    fprintf(stderr, "%d checks failed\n", failures_seen);
    return 1;
  }
  return 0;
}

}  // namespace
}  // namespace quenby

int main(int argc, char** argv) { return quenby::Main(argc, argv); }
