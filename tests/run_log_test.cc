#include "run_log.h"

#include <gtest/gtest.h>

#include "memory_file_system.h"

namespace quenby {
namespace {

TEST(RunLogTest, HeaderUsesTheTwelveHourClock) {
  struct Case {
    int hour, minute;
    const char* clock;
  } cases[] = {
      {0, 5, "12:05am"},   {0, 0, "12:00am"},   {1, 0, "1:00am"},
      {9, 7, "9:07am"},    {11, 59, "11:59am"}, {12, 0, "12:00pm"},
      {12, 30, "12:30pm"}, {13, 45, "1:45pm"},  {23, 59, "11:59pm"},
      {10, 10, "10:10am"},
  };
  for (const Case& c : cases) {
    LocalTime time{2000, 6, 14, c.hour, c.minute};
    EXPECT_EQ(std::string("6/14/2000 at ") + c.clock + " -",
              FormatLogHeader(time))
        << c.hour << ":" << c.minute;
  }
  EXPECT_EQ("1/5/2001 at 8:03am -", FormatLogHeader({2001, 1, 5, 8, 3}));
  EXPECT_EQ("12/31/1999 at 11:59pm -", FormatLogHeader({1999, 12, 31, 23, 59}));
}

TEST(RunLogTest, WritesTheWholeLogWithCrLf) {
  MemoryFileSystem fs;
  fs.now = {2000, 6, 14, 15, 7};
  fs.files["output.txt"] = "an earlier run";
  RunLog log(&fs);
  log.OpenWithHeader();
  log.WriteFailure(3, "C:\\Music\\Song.mp3", "C:\\Music\\000003Song.mp3");
  log.WriteFailure(12, "C:\\Music\\Other.mp3", "C:\\Music\\000012Other.mp3");
  log.CloseAfterFailures();
  EXPECT_EQ(
      "6/14/2000 at 3:07pm -\r\n"
      "Playlist #3: C:\\Music\\Song.mp3 could not be renamed to "
      "C:\\Music\\000003Song.mp3\r\n"
      "Playlist #12: C:\\Music\\Other.mp3 could not be renamed to "
      "C:\\Music\\000012Other.mp3\r\n"
      "\r\n"
      "\r\n",
      fs.files["output.txt"]);
}

TEST(RunLogTest, EachLineIsWrittenAsSoonAsItIsMade) {
  MemoryFileSystem fs;
  RunLog log(&fs);
  log.OpenWithHeader();
  long after_header = fs.log_writes;
  log.WriteFailure(1, "a", "b");
  EXPECT_EQ(after_header + 1, fs.log_writes);
  EXPECT_NE(std::string::npos, fs.files["output.txt"].find("#1: a could"));
}

TEST(RunLogTest, DeletesOnlyALogItCreated) {
  MemoryFileSystem fs;
  RunLog ours(&fs);
  ours.OpenWithHeader();
  ours.CloseAndDelete();
  EXPECT_EQ(0u, fs.files.count("output.txt"));

  // Could not be opened as our log: whatever bears the name stays.
  fs.files["output.txt"] = "someone's";
  fs.log_refused = true;
  RunLog refused(&fs);
  refused.OpenWithHeader();
  refused.WriteFailure(1, "a", "b");
  refused.CloseAndDelete();
  EXPECT_EQ("someone's", fs.files["output.txt"]);
}

}  // namespace
}  // namespace quenby
