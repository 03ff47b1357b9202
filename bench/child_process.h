// Runs a program as a child and reports what it cost, so that the memory of
// one run cannot be mistaken for another's.
#ifndef QUENBY_BENCH_CHILD_PROCESS_H_
#define QUENBY_BENCH_CHILD_PROCESS_H_

#include <string>
#include <vector>

namespace quenby {

struct ChildResult {
  bool ok = false;         // exited with status 0
  double seconds = 0;      // wall time from start to exit
  long peak_rss_kib = 0;   // the child's own peak resident size
};

// Runs `argv` (searched in PATH) in the folder `folder`, or in the current
// one when it is empty; its output goes to ours.
ChildResult RunChild(const std::vector<std::string>& argv,
                     const std::string& folder);

// The path of the running program, to start it again in a child mode.
std::string OwnProgramPath();

}  // namespace quenby

#endif  // QUENBY_BENCH_CHILD_PROCESS_H_
