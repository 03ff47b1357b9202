#include "entry_path.h"

#include <algorithm>
#include <cstring>

namespace quenby {

namespace {

bool IsAlpha(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexValue(char c) {
  if (IsDigit(c)) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The length of the scheme at the start of `line` ("http" of "http:..."),
// or 0 when the line does not begin with one and a colon.
size_t SchemeLength(std::string_view line) {
  if (line.empty() || !IsAlpha(line[0])) return 0;
  size_t i = 1;
  while (i < line.size() &&
         (IsAlpha(line[i]) || IsDigit(line[i]) || line[i] == '+' ||
          line[i] == '-' || line[i] == '.'))
    ++i;
  return i < line.size() && line[i] == ':' ? i : 0;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i] >= 'A' && a[i] <= 'Z' ? static_cast<char>(a[i] + 32) : a[i];
    char y = b[i] >= 'A' && b[i] <= 'Z' ? static_cast<char>(b[i] + 32) : b[i];
    if (x != y) return false;
  }
  return true;
}

bool PercentDecode(std::string_view text, std::string* out) {
  out->clear();
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out->push_back(text[i]);
      continue;
    }
    int high = i + 2 < text.size() ? HexValue(text[i + 1]) : -1;
    int low = high >= 0 ? HexValue(text[i + 2]) : -1;
    if (low < 0) return false;
    char byte = static_cast<char>(high << 4 | low);
    if (byte == '\0' || byte == '/' || byte == '\\') return false;
    out->push_back(byte);
    i += 2;
  }
  return true;
}

}  // namespace

bool IsBlankLine(std::string_view line) {
  return line.find_first_not_of(" \t") == std::string_view::npos;
}

bool IsRemoteUrl(std::string_view line) {
  // One letter and a colon is a drive, whatever follows it.
  size_t scheme = SchemeLength(line);
  return scheme > 1 && line.substr(scheme, 3) == "://" &&
         !EqualsIgnoringCase(line.substr(0, scheme), "file");
}

bool IsFileUrl(std::string_view line) {
  // The colon first: most lines are paths, and this is asked of each.
  return line.size() > 5 && line[4] == ':' && line[5] == '/' &&
         EqualsIgnoringCase(line.substr(0, 4), "file");
}

bool DecodeFileUrl(std::string_view url, std::string* host, std::string* path) {
  if (!IsFileUrl(url)) return false;
  std::string_view rest = url.substr(5);
  host->clear();
  if (rest.substr(0, 2) == "//") {
    rest.remove_prefix(2);
    size_t slash = rest.find('/');
    if (slash == std::string_view::npos) return false;
    if (!PercentDecode(rest.substr(0, slash), host)) return false;
    if (EqualsIgnoringCase(*host, "localhost")) host->clear();
    rest.remove_prefix(slash);
  }
  // "/C:/..." and "/C:" name a drive on Windows; the slash is no part of it.
  if (rest.size() >= 3 && IsAlpha(rest[1]) && rest[2] == ':' &&
      (rest.size() == 3 || rest[3] == '/'))
    rest.remove_prefix(1);
  if (!PercentDecode(rest, path)) return false;
  return !path->empty();
}

bool EntryToWindowsPath(const std::string& entry, std::string* path) {
  if (!IsFileUrl(entry)) {
    *path = entry;
    return true;
  }
  std::string host, local;
  if (!DecodeFileUrl(entry, &host, &local)) return false;
  *path = host.empty() ? local : "//" + host + local;
  std::replace(path->begin(), path->end(), '/', '\\');
  return true;
}

namespace {

// A path holds few backslashes: memchr leaps to each instead of looking at
// every byte.
void SlashesForBackslashes(std::string* path) {
  char* end = path->data() + path->size();
  for (char* p = path->data();
       (p = static_cast<char*>(memchr(p, '\\', end - p))) != nullptr;)
    *p++ = '/';
}

}  // namespace

bool EntryToPosixPath(const std::string& entry, TextToUtf8 to_utf8,
                      std::string* path) {
  if (IsFileUrl(entry)) {
    // A file on another host is not ours to reach.
    std::string host, local;
    if (!DecodeFileUrl(entry, &host, &local) || !host.empty()) return false;
    return EntryToPosixPath(local, to_utf8, path);
  }
  // Read before the backslashes turn: in Shift_JIS a 0x5C byte may be the
  // second half of a character.
  if (to_utf8) {
    if (!to_utf8(entry, path)) return false;
  } else {
    *path = entry;
  }
  SlashesForBackslashes(path);
  return true;
}

}  // namespace quenby
