// Runs a program as a child and reports what it cost; a child that
// measures its own memory keeps one run's memory apart from another's.
#ifndef QUENBY_BENCH_CHILD_PROCESS_H_
#define QUENBY_BENCH_CHILD_PROCESS_H_

#include <string>
#include <vector>

#include "measure.h"

namespace quenby {

struct ChildResult {
  bool ok = false;  // exited with status 0
  // Wall time from start to exit; CPU time of the child and of the children
  // it waited for (the shell's mv processes, say).
  Sample cost;
};

// Runs `argv` (searched in PATH) in the folder `folder`, or in the current
// one when it is empty. Its standard output goes to `output` when that is
// given, and to ours otherwise.
ChildResult RunChild(const std::vector<std::string>& argv,
                     const std::string& folder, std::string* output = nullptr);

// The peak resident size of this process's own image, in KiB, from
// /proc/self/status. The resource usage that wait4 reports would not do: the
// kernel carries a forked child's peak over its exec, so a child would start
// with the whole size of the benchmark that forked it.
long OwnPeakResidentKib();

// The path of the running program, to start it again in a child mode.
std::string OwnProgramPath();

}  // namespace quenby

#endif  // QUENBY_BENCH_CHILD_PROCESS_H_
