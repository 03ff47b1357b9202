// What a playlist line names before a file system sees it: most lines are
// paths, some are URLs. Shared by the run and by every platform's file
// system, so that all of them read a line the same way.
#ifndef QUENBY_ENGINE_ENTRY_PATH_H_
#define QUENBY_ENGINE_ENTRY_PATH_H_

#include <string>
#include <string_view>

namespace quenby {

// Whether the line holds nothing but blanks and tabs (or nothing at all):
// such a line names no file, as an empty line does not.
bool IsBlankLine(std::string_view line);

// Whether the line is a URL of any scheme but file: ("http://...",
// "rtsp://..."). Such a line names no local file. A drive letter ("C://")
// is no scheme.
bool IsRemoteUrl(std::string_view line);

// Whether the line is a file: URL ("file:///home/a.mp3", "file:/a.mp3").
bool IsFileUrl(std::string_view line);

// The host and path that a file: URL names, escapes decoded: the host is
// empty for "file:///..." and for "localhost", and a drive letter loses the
// slash before it ("file:///C:/a.mp3" gives "C:/a.mp3"). False when the URL
// names no usable path: a broken escape, an escaped NUL, slash or
// backslash, which would change where the name ends, or no path at all.
bool DecodeFileUrl(std::string_view url, std::string* host, std::string* path);

// The Windows path that an entry names: a file: URL's local or network path
// with backslashes, or the entry itself, byte for byte. False when the
// entry names no usable path.
bool EntryToWindowsPath(const std::string& entry, std::string* path);

// Reads `text`, written in some code page, into UTF-8; false when it is no
// text of that code page.
using TextToUtf8 = bool (*)(std::string_view text, std::string* utf8);

// The Linux path that an entry names: a file: URL's local path, or the
// entry itself, read by `to_utf8` (null: as written), with slashes for
// backslashes. False when the entry names no local path, or `to_utf8`
// cannot read it.
bool EntryToPosixPath(const std::string& entry, TextToUtf8 to_utf8,
                      std::string* path);

}  // namespace quenby

#endif  // QUENBY_ENGINE_ENTRY_PATH_H_
