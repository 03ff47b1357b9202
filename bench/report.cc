#include "report.h"

#include <stdio.h>

namespace quenby {

namespace {

const char* Verdict(bool met) { return met ? "met" : "MISSED"; }

struct TimeRow {
  const char* figure;  // what is measured, and for how many entries
  uint32_t figure_entries;
  Sample measured;  // whole run, loop or script
  uint32_t measured_entries;
  const char* other_name;
  Sample other;
  uint32_t other_entries;
  const char* ratio_name;
  bool peer;      // ratio other/measured rather than measured/other
  double target;  // 0: no target
};

double PerEntry(double seconds, uint32_t entries) {
  return seconds * 1e6 / entries;
}

void PrintTimeRows(const Figures& f) {
  const uint32_t n = f.entries;
  char syncfs_vs_folders[64];
  snprintf(syncfs_vs_folders, sizeof syncfs_vs_folders,
           "fsync of each of the %u folders", f.folders);
  const TimeRow rows[] = {
      {"numbering: engine", n, f.number, n, "rename loop + syncfs",
       f.durable_number, n, "engine/loop", false, 1.10},
      {"numbering: engine", n, f.number, n, "plain rename loop", f.plain_number,
       n, "engine/plain", false, 0},
      {"numbering: rename loop + syncfs", n, f.durable_number, n,
       "plain rename loop", f.plain_number, n, "loop/plain", false, 0},
      {"removal: engine", n, f.restore, n, "rename loop + syncfs",
       f.durable_restore, n, "engine/loop", false, 1.10},
      {"removal: engine", n, f.restore, n, "plain rename loop", f.plain_restore,
       n, "engine/plain", false, 0},
      {"removal: rename loop + syncfs", n, f.durable_restore, n,
       "plain rename loop", f.plain_restore, n, "loop/plain", false, 0},
      {"removal, every entry fails: engine", n, f.failures, n,
       "failing-rename-and-write loop + fsync", f.durable_failures, n,
       "engine/loop", false, 1.10},
      {"removal, every entry fails: engine", n, f.failures, n,
       "plain failing-rename-and-write loop", f.plain_failures, n,
       "engine/plain", false, 0},
      {"removal, every entry fails: engine", n, f.failures, n,
       "write-and-fsync loop", f.durable_writes, n, "engine/loop", false, 0},
      {"failing-rename-and-write loop + fsync", n, f.durable_failures, n,
       "plain failing-rename-and-write loop", f.plain_failures, n, "loop/plain",
       false, 0},
      {"the sync alone after the numbering loop: syncfs", n, f.syncfs_number, n,
       syncfs_vs_folders, f.folders_number, n, "syncfs/fsync", false, 0},
      {"the sync alone after the removal loop: syncfs", n, f.syncfs_restore, n,
       syncfs_vs_folders, f.folders_restore, n, "syncfs/fsync", false, 0},
      {"shell loop with mv -n", f.shell_entries, f.number, n, "shell", f.shell,
       f.shell_entries, "peer/engine", true, 20},
      {"Python 3 script", f.python_entries, f.number, n, "Python", f.python,
       f.python_entries, "peer/engine", true, 0},
  };
  for (const TimeRow& row : rows) {
    Sample measured{PerEntry(row.measured.cpu, row.measured_entries),
                    PerEntry(row.measured.wall, row.measured_entries)};
    Sample other{PerEntry(row.other.cpu, row.other_entries),
                 PerEntry(row.other.wall, row.other_entries)};
    Sample ratio{
        row.peer ? other.cpu / measured.cpu : measured.cpu / other.cpu,
        row.peer ? other.wall / measured.wall : measured.wall / other.wall};
    char target[48] = "for reference";
    if (row.target > 0)
      snprintf(target, sizeof target, "%s %.2f: %s", row.peer ? "≥" : "≤",
               row.target,
               Verdict(row.peer ? ratio.cpu >= row.target
                                : ratio.cpu <= row.target));
    printf(
        "| %s, %u entries | %.2f µs (%.2f) | %s %.2f µs (%.2f) | "
        "%s %.2f (%.2f) | %s |\n",
        row.figure, row.figure_entries, measured.cpu, measured.wall,
        row.other_name, other.cpu, other.wall, row.ratio_name, ratio.cpu,
        ratio.wall, target);
  }
}

}  // namespace

void PrintTable(const Figures& f) {
  printf(
      "Times per entry, median of the runs: CPU time (user + system), wall "
      "time in brackets; targets are judged by CPU time.\n\n");
  printf("| figure | time | compared with | ratio | target |\n");
  printf("|---|---:|---:|---:|---|\n");
  PrintTimeRows(f);
  double growth = f.large_kib - f.small_kib;
  printf(
      "| peak resident size, %u vs %u entries | %.0f KiB vs %.0f KiB | "
      "growth %.0f KiB | large/small %.2f | growth ≤ 1024 KiB: %s |\n",
      f.memory_small, f.memory_large, f.small_kib, f.large_kib, growth,
      f.large_kib / f.small_kib, Verdict(growth <= 1024));
  double per_entry = f.instructions / f.callgrind_entries;
  printf(
      "| instructions per entry outside the file system, %u entries "
      "(callgrind) | %.0f | | | < 2000: %s |\n",
      f.callgrind_entries, per_entry, Verdict(per_entry < 2000));
  printf(
      "| instructions per entry of a run on the POSIX file system, every "
      "rename failing, %u entries (callgrind) | %.0f | | | for reference "
      "|\n",
      f.callgrind_entries, f.posix_instructions / f.callgrind_entries);
}

}  // namespace quenby
