#include "report.h"

#include <stdio.h>

namespace quenby {

namespace {

const char* Verdict(bool met) { return met ? "met" : "MISSED"; }

struct TimeRow {
  const char* figure;
  uint32_t figure_entries;
  Sample engine;          // whole run
  uint32_t engine_entries;
  const char* other_name;
  Sample other;           // whole loop or script
  uint32_t other_entries;
  bool peer;              // ratio peer/engine rather than engine/bare
  double target;          // 0: no target
};

double PerEntry(double seconds, uint32_t entries) {
  return seconds * 1e6 / entries;
}

void PrintTimeRows(const Figures& f) {
  const TimeRow rows[] = {
      {"numbering", f.entries, f.number, f.entries, "bare rename loop",
       f.bare_number, f.entries, false, 1.10},
      {"removal", f.entries, f.restore, f.entries, "bare rename loop",
       f.bare_restore, f.entries, false, 1.10},
      {"removal, every entry fails", f.entries, f.failures, f.entries,
       "bare write-and-flush loop", f.bare_writes, f.entries, false, 1.5},
      {"(the same run)", f.entries, f.failures, f.entries,
       "bare failing-rename-and-write loop", f.bare_renames_and_writes,
       f.entries, false, 0},
      {"shell loop with mv -n", f.shell_entries, f.number, f.entries, "shell",
       f.shell, f.shell_entries, true, 20},
      {"Python 3 script", f.python_entries, f.number, f.entries, "Python",
       f.python, f.python_entries, true, 0},
  };
  for (const TimeRow& row : rows) {
    Sample engine{PerEntry(row.engine.cpu, row.engine_entries),
                  PerEntry(row.engine.wall, row.engine_entries)};
    Sample other{PerEntry(row.other.cpu, row.other_entries),
                 PerEntry(row.other.wall, row.other_entries)};
    Sample ratio{row.peer ? other.cpu / engine.cpu : engine.cpu / other.cpu,
                 row.peer ? other.wall / engine.wall : engine.wall / other.wall};
    char target[48] = "for reference";
    if (row.target > 0)
      snprintf(target, sizeof target, "%s %.2f: %s", row.peer ? "≥" : "≤",
               row.target,
               Verdict(row.peer ? ratio.cpu >= row.target
                                : ratio.cpu <= row.target));
    printf("| %s, %u entries | %.2f µs (%.2f) | %s %.2f µs (%.2f) | "
           "%s %.2f (%.2f) | %s |\n",
           row.figure, row.figure_entries, engine.cpu, engine.wall,
           row.other_name, other.cpu, other.wall,
           row.peer ? "peer/engine" : "engine/bare", ratio.cpu, ratio.wall,
           target);
  }
}

}  // namespace

void PrintTable(const Figures& f) {
  printf("Times per entry, median of the runs: CPU time (user + system), wall "
         "time in brackets; targets are judged by CPU time.\n\n");
  printf("| figure | engine | compared with | ratio | target |\n");
  printf("|---|---:|---:|---:|---|\n");
  PrintTimeRows(f);
  double growth = f.large_kib - f.small_kib;
  printf("| peak resident size, %u vs %u entries | %.0f KiB vs %.0f KiB | "
         "growth %.0f KiB | large/small %.2f | growth ≤ 1024 KiB: %s |\n",
         f.memory_small, f.memory_large, f.small_kib, f.large_kib, growth,
         f.large_kib / f.small_kib, Verdict(growth <= 1024));
  double per_entry = f.instructions / f.callgrind_entries;
  printf("| instructions per entry outside the file system, %u entries "
         "(callgrind) | %.0f | | | < 2000: %s |\n",
         f.callgrind_entries, per_entry, Verdict(per_entry < 2000));
}

}  // namespace quenby
