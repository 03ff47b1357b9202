// What one run must do, worked out the plain way with whole strings: the
// lines of a playlist, the renames asked for, the files and the log left
// behind. The fuzzers and the fault tests hold the engine against it, so it
// shares no code with the engine.
#ifndef QUENBY_TESTS_RELIABILITY_RUN_MODEL_H_
#define QUENBY_TESTS_RELIABILITY_RUN_MODEL_H_

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "dialog_host.h"
#include "memory_file_system.h"
#include "run_renaming.h"

namespace quenby {
namespace model {

// The faults of MemoryFileSystem, so that a model run can be told about them.
struct Faults {
  std::set<std::string> rename_refused;
  std::string invalid_name_bytes;
  long renames_allowed = -1;
  long read_error_at = -1;
  bool log_refused = false;
  long log_writes_allowed = -1;
  bool delete_refused = false;

  void ApplyTo(MemoryFileSystem* fs) const {
    fs->rename_refused = rename_refused;
    fs->invalid_name_bytes = invalid_name_bytes;
    fs->renames_allowed = renames_allowed;
    fs->read_error_at = read_error_at;
    fs->log_refused = log_refused;
    fs->log_writes_allowed = log_writes_allowed;
    fs->delete_refused = delete_refused;
    fs->rename_calls = 0;
    fs->log_writes = 0;
    fs->renames.clear();
  }
};

struct Line {
  std::string text;        // At most 999 bytes.
  bool cut = false;        // The line was longer and this is its start.
  bool malformed = false;  // A UTF-16 line with a broken sequence, as '?'.
};

// UTF-16 text as UTF-8, with 0xFF for each malformed sequence (well-formed
// UTF-8 never holds that byte). `ended` says whether the bytes are all there
// is, so that a half unit or lone high surrogate at the end is malformed.
inline std::string Utf16ToUtf8(const std::string& bytes, bool big_endian,
                               bool ended) {
  std::vector<uint32_t> units;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    unsigned a = static_cast<unsigned char>(bytes[i]);
    unsigned b = static_cast<unsigned char>(bytes[i + 1]);
    units.push_back(big_endian ? (a << 8 | b) : (b << 8 | a));
  }
  std::string out;
  auto put = [&out](uint32_t c) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | c >> 6);
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | c >> 12);
      out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | c >> 18);
      out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
      out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  };
  for (size_t i = 0; i < units.size(); ++i) {
    uint32_t u = units[i];
    bool high = u >= 0xD800 && u <= 0xDBFF;
    bool low = u >= 0xDC00 && u <= 0xDFFF;
    if (high && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
        units[i + 1] <= 0xDFFF) {
      put(0x10000 + ((u - 0xD800) << 10) + (units[i + 1] - 0xDC00));
      ++i;
    } else if (high && i + 1 == units.size() && !ended) {
      // Its partner may follow in bytes never read.
    } else if (high || low) {
      out += '\xff';
    } else {
      put(u);
    }
  }
  if (ended && bytes.size() % 2 != 0) out += '\xff';
  return out;
}

// The lines that a text-mode getline into 1000 bytes reads: split at line
// feeds, a carriage return right before a feed dropped, 999 bytes kept. A
// UTF-8 byte-order mark is dropped, a UTF-16 playlist read as UTF-8, and one
// with carriage returns but no line feed (in its first 64 KiB) split at the
// carriage returns.
// A read error loses the line it falls in and ends the reading.
inline std::vector<Line> Lines(const std::string& bytes, long read_error_at,
                               bool* read_error) {
  std::string data = bytes;
  bool error = read_error_at >= 0 &&
               static_cast<size_t>(read_error_at) <= bytes.size();
  if (error) data.resize(static_cast<size_t>(read_error_at));
  if (read_error) *read_error = error;

  bool utf16 = false;
  if (data.compare(0, 3, "\xef\xbb\xbf") == 0) {
    data.erase(0, 3);
  } else if (data.compare(0, 2, "\xff\xfe") == 0 ||
             data.compare(0, 2, "\xfe\xff") == 0) {
    utf16 = true;
    data = Utf16ToUtf8(data.substr(2), data[0] == '\xfe', !error);
  }
  char end_byte = data.find('\n') == std::string::npos &&
                          data.find('\r') != std::string::npos
                      ? '\r'
                      : '\n';

  std::vector<Line> lines;
  size_t pos = 0;
  while (pos < data.size()) {
    size_t feed = data.find(end_byte, pos);
    if (feed == std::string::npos && error) break;
    size_t end = feed == std::string::npos ? data.size() : feed;
    std::string raw = data.substr(pos, end - pos);
    pos = end + 1;
    // One byte past the buffer is all the reader sees of a long line.
    if (end_byte == '\n' && feed != std::string::npos && raw.size() <= 1000 &&
        !raw.empty() && raw.back() == '\r')
      raw.pop_back();
    Line line{raw.substr(0, 999), raw.size() > 999};
    for (char& c : line.text) {
      if (utf16 && c == '\xff') {
        c = '?';
        line.malformed = true;
      }
    }
    lines.push_back(line);
  }
  return lines;
}

inline std::string Numbered(const std::string& line, uint32_t number) {
  char prefix[16];
  std::snprintf(prefix, sizeof prefix, "%06u", number);
  size_t slash = line.rfind('\\');
  if (slash == std::string::npos) slash = line.rfind('/');
  size_t name = slash == std::string::npos ? 0 : slash + 1;
  return line.substr(0, name) + prefix + line.substr(name);
}

// "http://...", "rtsp://...": a scheme of two characters or more, then
// "://", and not file:.
inline bool IsRemoteUrl(const std::string& line) {
  size_t colon = line.find("://");
  if (colon == std::string::npos || colon < 2) return false;
  std::string scheme = line.substr(0, colon);
  for (size_t i = 0; i < scheme.size(); ++i) {
    char c = scheme[i];
    bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    bool other = (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
    if (!letter && (i == 0 || !other)) return false;
  }
  for (char& c : scheme) c = static_cast<char>(tolower(c));
  return scheme != "file";
}

inline bool IsBlank(const std::string& line) {
  return line.find_first_not_of(" \t") == std::string::npos;
}

// Whether the engine may hand the entry's two paths to the file system.
inline bool Renamable(const Line& line, const std::string& numbered) {
  return !line.cut && !line.malformed &&
         line.text.find('\0') == std::string::npos && numbered.size() <= 999 &&
         !IsRemoteUrl(line.text);
}

struct Outcome {
  std::vector<std::pair<std::string, std::string>> renames;  // Asked for.
  std::map<std::string, std::string> files;                  // Afterwards.
  std::string message;
  uint32_t entry_number = 0;
  int failures = 0;
};

// A run in `mode` on the readable playlist `list`, which `files` holds.
inline Outcome Run(const std::string& list, int mode,
                   std::map<std::string, std::string> files,
                   const Faults& faults, const std::string& header) {
  Outcome out;
  bool read_error = false;
  std::vector<Line> lines = Lines(files.at(list), faults.read_error_at,
                                  &read_error);

  std::vector<std::string> writes = {header + "\r\n"};
  long calls = 0;
  for (const Line& line : lines) {
    if (!line.text.empty() && line.text[0] == '#') continue;
    if (out.entry_number <= 1000000) ++out.entry_number;
    if (out.entry_number > 1000000 || IsBlank(line.text)) continue;

    std::string plain = line.text;
    std::string numbered = Numbered(plain, out.entry_number);
    const std::string& from = mode == kIdNumberMode ? plain : numbered;
    const std::string& to = mode == kIdNumberMode ? numbered : plain;
    bool renamed = false;
    if (Renamable(line, numbered)) {
      out.renames.emplace_back(from, to);
      ++calls;
      // The playlist and the log are open, and no open file is renamed.
      bool open = from == list || (from == "output.txt" && !faults.log_refused);
      renamed = !open && faults.rename_refused.count(from) == 0 &&
                (faults.renames_allowed < 0 ||
                 calls <= faults.renames_allowed) &&
                (faults.invalid_name_bytes.empty() ||
                 (from.find_first_of(faults.invalid_name_bytes) ==
                      std::string::npos &&
                  to.find_first_of(faults.invalid_name_bytes) ==
                      std::string::npos)) &&
                files.count(from) != 0 && files.count(to) == 0;
      if (renamed) {
        std::string contents = files[from];
        files.erase(from);
        files[to] = contents;
      }
    }
    if (!renamed) {
      ++out.failures;
      writes.push_back("Playlist #" + std::to_string(out.entry_number) + ": " +
                       from + " could not be renamed to " + to + "\r\n");
    }
  }
  if (read_error) {
    ++out.failures;
    writes.push_back("The playlist could not be read past entry #" +
                     std::to_string(out.entry_number) + "\r\n");
  }
  if (out.failures != 0) writes.push_back("\r\n\r\n");

  if (!faults.log_refused) {
    std::string log;
    for (size_t i = 0; i < writes.size(); ++i)
      if (faults.log_writes_allowed < 0 ||
          i < static_cast<size_t>(faults.log_writes_allowed))
        log += writes[i];
    files["output.txt"] = log;
    if (out.failures == 0 && !faults.delete_refused) files.erase("output.txt");
  }
  out.message = out.failures == 0 ? kMessageSuccess : kMessageFailures;
  out.files = std::move(files);
  return out;
}

// The contents of all files but the log, sorted: what must never be lost.
inline std::multiset<std::string>
Contents(const std::map<std::string, std::string>& files) {
  std::multiset<std::string> contents;
  for (const auto& file : files)
    if (file.first != "output.txt") contents.insert(file.second);
  return contents;
}

}  // namespace model
}  // namespace quenby

#endif  // QUENBY_TESTS_RELIABILITY_RUN_MODEL_H_
