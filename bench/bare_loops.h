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
  std::vector<std::string> plain;          // native paths as listed
  std::vector<std::string> numbered;       // native numbered paths
  std::vector<std::string> failure_lines;  // the log lines of a removal run
                                           // in which every rename fails
  std::vector<std::string> folders;  // each native folder of the entries once
};

BareWork PrepareBareWork(uint32_t entries);

// One no-replace rename per entry; returns how many failed.
uint32_t BareRenameLoop(const std::vector<std::string>& from,
                        const std::vector<std::string>& to);

// What a run that renamed ends with: one syncfs of the file system of the
// current folder.
void SyncFileSystem();

// The other way to put renames on the medium: an fsync of each folder.
void SyncFolders(const std::vector<std::string>& folders);

// Writes each line to `log_name` with one write each, as the run log does.
// With `renames_first`, each line is preceded by the failing rename of its
// entry, numbered to plain; returns how many of those renames failed. With
// `durable`, the log is fsynced before it is closed, as a run with failures
// does.
uint32_t BareFailureLoop(const BareWork& work, const std::string& log_name,
                         bool renames_first, bool durable);

}  // namespace quenby

#endif  // QUENBY_BENCH_BARE_LOOPS_H_
