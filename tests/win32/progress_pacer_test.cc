#include <gtest/gtest.h>

#include "win32_dialog_host.h"

namespace {

TEST(ProgressPacerTest, LetsAReportThroughAtMostEveryHundredMilliseconds) {
  struct Step {
    DWORD now;     // GetTickCount at the report
    bool restart;  // a new run begins first
    bool due;
  };
  const Step steps[] = {
      {5000, false, true},        {5099, false, false},  // the first at once
      {5100, false, true},        {5150, false, false},
      {5250, false, true},  // counted from the last one shown
      {5260, true, true},   // a new run's first at once too
      {0xFFFFFFC0u, false, true}, {0x10, false, false},  // wrapped: 80 ms
      {0x30, false, true},                               // 112 ms
  };
  ProgressPacer pacer;
  for (const Step& step : steps) {
    if (step.restart) pacer.Restart();
    EXPECT_EQ(step.due, pacer.Due(step.now)) << step.now;
  }
}

}  // namespace
