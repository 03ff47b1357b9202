// The one table the benchmark prints: each figure beside its limit or its
// peer, with the ratio and the target it is held to.
#ifndef QUENBY_BENCH_REPORT_H_
#define QUENBY_BENCH_REPORT_H_

#include <cstdint>

#include "measure.h"

namespace quenby {

// Medians over the runs; times are of whole runs or loops.
struct Figures {
  uint32_t entries = 0, shell_entries = 0, python_entries = 0;
  uint32_t memory_small = 0, memory_large = 0, callgrind_entries = 0;
  Sample number, restore, failures;  // the engine's runs
  Sample bare_number, bare_restore, bare_writes, bare_renames_and_writes;
  Sample shell, python;  // whole scripts, start-up included
  double small_kib = 0, large_kib = 0;
  double instructions = 0;  // in the callgrind run, all entries together
};

// Prints the table, times by CPU time with wall time beside them.
void PrintTable(const Figures& figures);

}  // namespace quenby

#endif  // QUENBY_BENCH_REPORT_H_
