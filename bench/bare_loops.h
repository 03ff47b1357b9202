// The limit of the machine: the system calls a run cannot avoid, issued in a
// plain loop over paths and lines made beforehand.
#ifndef QUENBY_BENCH_BARE_LOOPS_H_
#define QUENBY_BENCH_BARE_LOOPS_H_

#include <cstdint>
#include <string>
#include <vector>

namespace quenby {

// Everything the loops need for entries 1 to N, made before any timing.
struct BareWork {
  std::vector<std::string> plain;     // native paths as listed
  std::vector<std::string> numbered;  // native numbered paths
  std::vector<std::string> failure_lines;  // the log lines of a removal run
                                           // in which every rename fails
};

BareWork PrepareBareWork(uint32_t entries);

// One no-replace rename per entry; returns how many failed.
uint32_t BareRenameLoop(const std::vector<std::string>& from,
                        const std::vector<std::string>& to);

// Writes each line to `log_name` with one write each, as the run log does.
// With `renames_first`, each line is preceded by the failing rename of its
// entry, numbered to plain; returns how many of those renames failed.
uint32_t BareFailureLoop(const BareWork& work, const std::string& log_name,
                         bool renames_first);

}  // namespace quenby

#endif  // QUENBY_BENCH_BARE_LOOPS_H_
