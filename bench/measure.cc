#include "measure.h"

#include <time.h>

#include <algorithm>

namespace quenby {

namespace {

double Now(clockid_t clock) {
  struct timespec now;
  clock_gettime(clock, &now);
  return static_cast<double>(now.tv_sec) + now.tv_nsec * 1e-9;
}

}  // namespace

Sample Measure(const std::function<void()>& work) {
  double cpu = Now(CLOCK_THREAD_CPUTIME_ID);
  double wall = Now(CLOCK_MONOTONIC);
  work();
  Sample sample;
  sample.cpu = Now(CLOCK_THREAD_CPUTIME_ID) - cpu;
  sample.wall = Now(CLOCK_MONOTONIC) - wall;
  return sample;
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  size_t middle = values.size() / 2;
  if (values.size() % 2 == 1) return values[middle];
  return (values[middle - 1] + values[middle]) / 2;
}

Sample Median(const std::vector<Sample>& samples) {
  std::vector<double> cpu, wall;
  for (const Sample& sample : samples) {
    cpu.push_back(sample.cpu);
    wall.push_back(sample.wall);
  }
  Sample median;
  median.cpu = Median(cpu);
  median.wall = Median(wall);
  return median;
}

}  // namespace quenby
