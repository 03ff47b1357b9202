#include "playlist_reader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "utf16_bytes.h"

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
  bool whole;
  bool operator==(const Line& o) const {
    return text == o.text && whole == o.whole;
  }
};

std::vector<Line> ReadAll(const std::string& data, size_t step,
                          PlaylistReader::Status* last = nullptr) {
  PiecewiseFile file(data, step);
  PlaylistReader reader(&file);
  std::vector<Line> lines;
  char buffer[1000];
  for (;;) {
    size_t length = 12345;
    bool whole = false;
    PlaylistReader::Status status = reader.ReadLine(buffer, sizeof buffer,
                                                    &length, &whole);
    if (status != PlaylistReader::kLine) {
      if (last) *last = status;
      return lines;
    }
    EXPECT_EQ('\0', buffer[length]);
    lines.push_back({std::string(buffer, length), whole});
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
      {"one line feed", "\n", {{"", true}}},
      {"no final line feed", "a\nb", {{"a", true}, {"b", true}}},
      {"CR LF", "a\r\nb\r\n", {{"a", true}, {"b", true}}},
      {"lone CR stays", "a\rb\n\r", {{"a\rb", true}, {"\r", true}}},
      {"only the last CR goes", "a\r\r\n", {{"a\r", true}}},
      {"NUL bytes kept",
       std::string("a\0b\n", 4),
       {{std::string("a\0b", 3), true}}},
      {"999 fits", long999 + "\nz", {{long999, true}, {"z", true}}},
      {"999 and CR LF fits", long999 + "\r\nz", {{long999, true}, {"z", true}}},
      {"1000 is cut",
       long1000 + "\nz",
       {{std::string(999, 'y'), false}, {"z", true}}},
      {"1000 without line feed", long1000, {{std::string(999, 'y'), false}}},
      {"very long line dropped whole",
       std::string(100000, 'q') + "\r\n#c\n",
       {{std::string(999, 'q'), false}, {"#c", true}}},
      // As other programs write them.
      {"UTF-8 mark dropped",
       "\xef\xbb\xbf#EXTM3U\r\nC:\\a\r\n",
       {{"#EXTM3U", true}, {"C:\\a", true}}},
      {"mark later is text",
       "a\n\xef\xbb\xbf"
       "b",
       {{"a", true},
        {"\xef\xbb\xbf"
         "b",
         true}}},
      {"half a mark is text", "\xef\xbbx", {{"\xef\xbbx", true}}},
      {"UTF-16 LE",
       Utf16(u"#E\r\nC:\\\u00e9\r\n", false),
       {{"#E", true}, {"C:\\\xc3\xa9", true}}},
      {"UTF-16 BE, pair",
       Utf16(u"\U0001F3B5\n\u20ac", true),
       {{"\xf0\x9f\x8e\xb5", true}, {"\xe2\x82\xac", true}}},
      {"UTF-16 lone surrogates",
       Utf16(u"a\xd800"
             "b\nc\xdc00\nd\xd800",
             false),
       {{"a?b", false}, {"c?", false}, {"d?", false}}},
      {"UTF-16 odd byte",
       Utf16(u"a\n", false) + "x",
       {{"a", true}, {"?", false}}},
      {"UTF-16 cut in a character",
       Utf16(std::u16string(600, u'\u00e9'), false),
       {{[] {
           std::string t;
           for (int i = 0; i < 499; ++i) t += "\xc3\xa9";
           return t + "\xc3";
         }(),
         false}}},
      {"CR only (old Mac)",
       "# c\rabc.mp3\rdef.mp3",
       {{"# c", true}, {"abc.mp3", true}, {"def.mp3", true}}},
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
  bool whole;
  ASSERT_EQ(PlaylistReader::kLine,
            reader.ReadLine(buffer, 1000, &length, &whole));
  EXPECT_STREQ("a", buffer);
  // "bb" was only half read when the error came: it is lost, not returned.
  EXPECT_EQ(PlaylistReader::kReadError,
            reader.ReadLine(buffer, 1000, &length, &whole));
  EXPECT_EQ(PlaylistReader::kReadError,
            reader.ReadLine(buffer, 1000, &length, &whole));
}

TEST(PlaylistReaderTest, EndIsReportedAgainAfterTheEnd) {
  PlaylistReader::Status last;
  EXPECT_EQ(1u, ReadAll("x", 3, &last).size());
  EXPECT_EQ(PlaylistReader::kEnd, last);
}

}  // namespace
}  // namespace quenby
