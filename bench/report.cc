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

void PrintTimeRows(const Figures& f, bool cpu) {
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
    double engine = (cpu ? row.engine.cpu : row.engine.wall) * 1e6 /
                    row.engine_entries;
    double other = (cpu ? row.other.cpu : row.other.wall) * 1e6 /
                   row.other_entries;
    double ratio = row.peer ? other / engine : engine / other;
    char target[48] = "none, for reference";
    if (row.target > 0)
      snprintf(target, sizeof target, "%s %.2f: %s", row.peer ? "≥" : "≤",
               row.target,
               Verdict(row.peer ? ratio >= row.target : ratio <= row.target));
    printf("| %s, %u entries | %.2f µs | %s %.2f µs | %s %.2f | %s |\n",
           row.figure, row.figure_entries, engine, row.other_name, other,
           row.peer ? "peer/engine" : "engine/bare", ratio, target);
  }
}

}  // namespace

void PrintTable(const Figures& f) {
  printf("CPU time (user + system) per entry, median of the runs:\n\n");
  printf("| figure | engine | compared with | ratio | target |\n");
  printf("|---|---:|---:|---:|---|\n");
  PrintTimeRows(f, true);
  double growth = f.large_kib - f.small_kib;
  printf("| peak resident size, %u vs %u entries | %.0f KiB vs %.0f KiB | "
         "growth %.0f KiB | large/small %.2f | growth ≤ 1024 KiB: %s |\n",
         f.memory_small, f.memory_large, f.small_kib, f.large_kib, growth,
         f.large_kib / f.small_kib, Verdict(growth <= 1024));
  double per_entry = f.instructions / f.callgrind_entries;
  printf("| instructions per entry outside the file system, %u entries "
         "(callgrind) | %.0f | | | < 2000: %s |\n",
         f.callgrind_entries, per_entry, Verdict(per_entry < 2000));

  printf("\nWall time per entry, median of the same runs:\n\n");
  printf("| figure | engine | compared with | ratio | target |\n");
  printf("|---|---:|---:|---:|---|\n");
  PrintTimeRows(f, false);
}

}  // namespace quenby
