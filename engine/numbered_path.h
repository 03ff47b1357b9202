// The numbered name of a playlist entry: the contract between numbering and
// number removal, which must both form exactly the same path, and the order
// step, which reads the number back.
#ifndef QUENBY_ENGINE_NUMBERED_PATH_H_
#define QUENBY_ENGINE_NUMBERED_PATH_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace quenby {

// The highest entry number that is renamed; later entries are left alone.
constexpr uint32_t kLastNumberedEntry = 1000000;

// The longest path, in bytes, that a run hands to the file system; a line of
// the playlist holds at most this much too.
constexpr size_t kMaxPathLength = 999;

// Which band of decimal digits `entry_number` falls in: 1 for 1 to 9 up to 6
// for 100000 to 1000000, and 0 for 0 or anything above 1000000.
int NumberBand(uint32_t entry_number);

// Writes the entry number zero-padded to six digits (seven for 1000000) into
// `out`, NUL-terminated, and returns its length.
size_t OrderPrefix(uint32_t entry_number, char out[8]);

// Sets `out` to `line` with the order prefix put right after its last
// backslash; in a line without one, right after its last forward slash; in
// a line with neither, in front of the whole line. The result may be longer
// than kMaxPathLength; the caller decides what that means.
void MakeNumberedPath(std::string_view line, uint32_t entry_number,
                      std::string* out);

// The entry number that a file's name (a path's last part) begins with, read
// back as MakeNumberedPath wrote it: its first six digits, or 1000000 for a
// name that begins with those seven; -1 when it does not begin with six
// digits. A name of the user's own that begins with six digits reads as
// numbered too. Entry 100000 on a name that begins with "0" reads as
// 1000000: the name alone cannot tell them apart.
long ReadOrderNumber(std::string_view name);

// Whether `numbered` is `line` with six or seven digits where
// MakeNumberedPath puts the order prefix.
bool IsNumberedPathOf(std::string_view line, std::string_view numbered);

// For a reading of two names in which a 0x5C byte may be part of a
// character (Shift_JIS): MakeNumberedPath, byte by byte, puts the prefix
// after such a character, inside the file's name. When `to` is `from`
// numbered, or the other way round, this puts the prefix of the read
// numbered name (`to_read` or `from_read`) in front of the name as the
// other one reads, after its last backslash or slash. Other pairs stay.
void KeepOrderPrefixInFront(std::string_view from, std::string_view to,
                            std::string* from_read, std::string* to_read);

}  // namespace quenby

#endif  // QUENBY_ENGINE_NUMBERED_PATH_H_
