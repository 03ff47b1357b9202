#include "entry_path.h"

#include <gtest/gtest.h>

#include <string>

namespace quenby {
namespace {

TEST(EntryPathTest, TellsUrlsFromPaths) {
  const struct {
    const char* line;
    bool remote;
    bool file;
  } cases[] = {
      {"http://h/a.mp3", true, false},
      {"rtsp://h:554/s", true, false},
      {"svn+ssh://h/x", true, false},
      {"HTTP://H/A", true, false},
      {"file:///home/a.mp3", false, true},
      {"FILE:/home/a.mp3", false, true},
      {"C://Music/a.mp3", false, false},  // A drive, not a scheme.
      {"C:\\Music\\a.mp3", false, false},
      {"a:b://c", false, false},  // The scheme ends at the first colon.
      {"file:a.mp3", false, false},
      {" http://h/a", false, false},
      {"", false, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.remote, IsRemoteUrl(c.line)) << c.line;
    EXPECT_EQ(c.file, IsFileUrl(c.line)) << c.line;
  }
}

TEST(EntryPathTest, DecodesFileUrls) {
  const struct {
    const char* url;
    bool ok;
    const char* host;
    const char* path;
  } cases[] = {
      {"file:///home/u/a%20b%28c%29.mp3", true, "", "/home/u/a b(c).mp3"},
      {"file://localhost/home/a.mp3", true, "", "/home/a.mp3"},
      {"file://LocalHost/a", true, "", "/a"},
      {"file:/home/a.mp3", true, "", "/home/a.mp3"},
      {"file:///C:/Music/a.mp3", true, "", "C:/Music/a.mp3"},
      {"file:///c:", true, "", "c:"},
      {"file://server/share/a.mp3", true, "server", "/share/a.mp3"},
      {"file:///M/%C3%A9%c3%a9.mp3", true, "", "/M/\xc3\xa9\xc3\xa9.mp3"},
      {"file:///a%2", false, "", ""},  // Broken escape.
      {"file:///a%zz", false, "", ""},
      {"file:///a%00b", false, "", ""},  // A NUL would end the name.
      {"file:///a%2Fb", false, "", ""},  // Would move the name's end.
      {"file:///a%5cb", false, "", ""},
      {"file://host", false, "", ""},  // No path.
      {"http://h/a", false, "", ""},
  };
  for (const auto& c : cases) {
    std::string host = "left", path = "over";
    ASSERT_EQ(c.ok, DecodeFileUrl(c.url, &host, &path)) << c.url;
    if (!c.ok) continue;
    EXPECT_EQ(c.host, host) << c.url;
    EXPECT_EQ(c.path, path) << c.url;
  }
}

TEST(EntryPathTest, BlankLinesNameNothing) {
  for (const char* line : {"", " ", "\t", " \t "})
    EXPECT_TRUE(IsBlankLine(line));
  for (const char* line : {" a", "\r", ".", "\xa0"})
    EXPECT_FALSE(IsBlankLine(line));
}

}  // namespace
}  // namespace quenby
