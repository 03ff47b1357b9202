#include "playlist_reader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace quenby {
namespace {

// Hands out the bytes in pieces of `step`, to cross chunk boundaries.
class PiecewiseFile : public InputFile {
 public:
  PiecewiseFile(std::string data, size_t step, long error_at = -1)
      : data_(std::move(data)), step_(step), error_at_(error_at) {}
  long Read(char* buffer, size_t size) override {
    if (error_at_ >= 0 && pos_ >= static_cast<size_t>(error_at_)) return -1;
    size_t count = std::min({size, step_, data_.size() - pos_});
    if (error_at_ >= 0)
      count = std::min(count, static_cast<size_t>(error_at_) - pos_);
    memcpy(buffer, data_.data() + pos_, count);
    pos_ += count;
    return static_cast<long>(count);
  }

 private:
  std::string data_;
  size_t step_;
  long error_at_;
  size_t pos_ = 0;
};

struct Line {
  std::string text;
  bool cut;
  bool operator==(const Line& o) const { return text == o.text && cut == o.cut; }
};

std::vector<Line> ReadAll(const std::string& data, size_t step,
                          PlaylistReader::Status* last = nullptr) {
  PiecewiseFile file(data, step);
  PlaylistReader reader(&file);
  std::vector<Line> lines;
  char buffer[1000];
  for (;;) {
    size_t length = 12345;
    bool cut = false;
    PlaylistReader::Status status =
        reader.ReadLine(buffer, sizeof buffer, &length, &cut);
    if (status != PlaylistReader::kLine) {
      if (last) *last = status;
      return lines;
    }
    EXPECT_EQ('\0', buffer[length]);
    lines.push_back({std::string(buffer, length), cut});
  }
}

TEST(PlaylistReaderTest, SplitsLinesAsTextModeDoes) {
  const std::string long999(999, 'x');
  const std::string long1000(1000, 'y');
  struct Case {
    const char* name;
    std::string data;
    std::vector<Line> lines;
  } cases[] = {
      {"empty file", "", {}},
      {"one line feed", "\n", {{"", false}}},
      {"no final line feed", "a\nb", {{"a", false}, {"b", false}}},
      {"CR LF", "a\r\nb\r\n", {{"a", false}, {"b", false}}},
      {"lone CR stays", "a\rb\n\r", {{"a\rb", false}, {"\r", false}}},
      {"only the last CR goes", "a\r\r\n", {{"a\r", false}}},
      {"NUL bytes kept", std::string("a\0b\n", 4), {{std::string("a\0b", 3), false}}},
      {"999 fits", long999 + "\nz", {{long999, false}, {"z", false}}},
      {"999 and CR LF fits", long999 + "\r\nz", {{long999, false}, {"z", false}}},
      {"1000 is cut", long1000 + "\nz", {{std::string(999, 'y'), true}, {"z", false}}},
      {"1000 without line feed", long1000, {{std::string(999, 'y'), true}}},
      {"very long line dropped whole",
       std::string(100000, 'q') + "\r\n#c\n",
       {{std::string(999, 'q'), true}, {"#c", false}}},
  };
  for (const Case& c : cases) {
    for (size_t step : {size_t{1}, size_t{7}, size_t{1 << 20}}) {
      EXPECT_EQ(c.lines, ReadAll(c.data, step)) << c.name << " step " << step;
    }
  }
}

TEST(PlaylistReaderTest, AReadErrorIsNotTheEnd) {
  PiecewiseFile file("a\nbb\ncc", 100, 4);
  PlaylistReader reader(&file);
  char buffer[1000];
  size_t length;
  bool cut;
  ASSERT_EQ(PlaylistReader::kLine, reader.ReadLine(buffer, 1000, &length, &cut));
  EXPECT_STREQ("a", buffer);
  // "bb" was only half read when the error came: it is lost, not returned.
  EXPECT_EQ(PlaylistReader::kReadError,
            reader.ReadLine(buffer, 1000, &length, &cut));
  EXPECT_EQ(PlaylistReader::kReadError,
            reader.ReadLine(buffer, 1000, &length, &cut));
}

TEST(PlaylistReaderTest, EndIsReportedAgainAfterTheEnd) {
  PlaylistReader::Status last;
  EXPECT_EQ(1u, ReadAll("x", 3, &last).size());
  EXPECT_EQ(PlaylistReader::kEnd, last);
}

}  // namespace
}  // namespace quenby
