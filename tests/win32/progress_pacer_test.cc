#include <gtest/gtest.h>

#include "win32_dialog_host.h"

namespace {

TEST(ProgressPacerTest, LetsAReportThroughAtMostEveryHundredMilliseconds) {
  struct Step {
    DWORD now;  // GetTickCount at the report
    bool restart;  // a new run begins first
    bool due;
  };
  const Step steps[] = {
      {5000, false, true},  // The run's first report shows at once.
      {5001, false, false},
      {5099, false, false},
      {5100, false, true},  // A hundred ms after the last one shown,
      {5150, false, false},
      {5250, false, true},  // counted from it, not on a fixed grid.
      {5260, true, true},   // A new run shows its first at once too.
      {5300, false, false},
      {0xFFFFFFC0u, false, true},
      {0x00000010u, false, false},  // 80 ms later, the tick count wrapped
      {0x00000030u, false, true},   // 112 ms later
  };
  ProgressPacer pacer;
  for (const Step& step : steps) {
    if (step.restart) pacer.Restart();
    EXPECT_EQ(step.due, pacer.Due(step.now)) << step.now;
  }
}

}  // namespace
