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
  uint32_t folders = 0;              // the folders the entries lie in
  Sample number, restore, failures;  // the engine's runs
  // Bare loops that end as a run does: renames with one syncfs, failing
  // renames and log lines with the log's fsync; and the log's writes alone.
  Sample durable_number, durable_restore, durable_failures, durable_writes;
  // The same loops ending with nothing.
  Sample plain_number, plain_restore, plain_failures;
  // The sync alone after the bare renames of a run: one syncfs, or an fsync
  // of each folder.
  Sample syncfs_number, syncfs_restore, folders_number, folders_restore;
  Sample shell, python;  // whole scripts, start-up included
  double small_kib = 0, large_kib = 0;
  double instructions = 0;  // in the callgrind run, all entries together
  // In a run on the POSIX file system whose renames all fail, all together.
  double posix_instructions = 0;
};

// Prints the table, times by CPU time with wall time beside them.
void PrintTable(const Figures& figures);

}  // namespace quenby

#endif  // QUENBY_BENCH_REPORT_H_
