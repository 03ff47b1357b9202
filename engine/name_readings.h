// Which reading of a playlist line names the files of one rename. A line
// written on another system may be in its code page: the name as written
// comes first, and only when no file has it are the line's other likely
// readings tried, in turn, until one names a file that is there.
#ifndef QUENBY_ENGINE_NAME_READINGS_H_
#define QUENBY_ENGINE_NAME_READINGS_H_

#include <initializer_list>
#include <string>

namespace quenby {

enum class Reading {
  kAsWritten,  // The line's bytes, as the platform names files.
  kUtf8,
  kWindows1252,
  kShiftJis,  // Windows' code page 932: there 0x5C may end a character.
};

// What a platform tells of its names; see ReadNames.
class NameReader {
 public:
  virtual ~NameReader() = default;
  // The native path that `entry` names in `reading`. False when `entry` is
  // no text of that reading, or names no path there.
  virtual bool Read(Reading reading, const std::string& entry,
                    std::string* path) = 0;
  // Whether the names as written may stand for others: they hold bytes
  // that another reading takes otherwise.
  virtual bool MayReadOtherwise(const std::string& old_path,
                                const std::string& new_path) = 0;
  // Whether a rename may use the two names of `reading`, the old one a
  // file that is there (as written: one that may be, as far as is known).
  virtual bool Names(Reading reading, const std::string& old_path,
                     const std::string& new_path) = 0;
};

// Sets `old_path` and `new_path` to the native names of the rename of entry
// `from` to entry `to`: as written, unless that names no file and one of
// `others` does, the first such. Returns false when the entries name no
// path as written; `reading` tells which reading was taken.
bool ReadNames(NameReader* reader, std::initializer_list<Reading> others,
               const std::string& from, const std::string& to,
               std::string* old_path, std::string* new_path, Reading* reading);

}  // namespace quenby

#endif  // QUENBY_ENGINE_NAME_READINGS_H_
