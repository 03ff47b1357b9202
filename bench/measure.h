// Timing on a shared machine: each figure keeps both the CPU time (user and
// system) that the work cost, which other processes on the machine barely
// change, and the wall time.
#ifndef QUENBY_BENCH_MEASURE_H_
#define QUENBY_BENCH_MEASURE_H_

#include <functional>
#include <vector>

namespace quenby {

struct Sample {
  double cpu = 0;   // seconds of CPU, user and system
  double wall = 0;  // seconds elapsed
};

// Runs `work` on this thread and times it.
Sample Measure(const std::function<void()>& work);

// The median of each part over several runs.
Sample Median(const std::vector<Sample>& samples);
double Median(std::vector<double> values);

}  // namespace quenby

#endif  // QUENBY_BENCH_MEASURE_H_
