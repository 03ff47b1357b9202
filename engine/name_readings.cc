#include "name_readings.h"

#include <utility>

#include "numbered_path.h"

namespace quenby {

bool ReadNames(NameReader* reader, std::initializer_list<Reading> others,
               const std::string& from, const std::string& to,
               std::string* old_path, std::string* new_path, Reading* reading) {
  *reading = Reading::kAsWritten;
  if (!reader->Read(Reading::kAsWritten, from, old_path) ||
      !reader->Read(Reading::kAsWritten, to, new_path))
    return false;
  if (!reader->MayReadOtherwise(*old_path, *new_path) ||
      reader->Names(Reading::kAsWritten, *old_path, *new_path))
    return true;
  std::string old_read, new_read;
  for (Reading other : others) {
    if (!reader->Read(other, from, &old_read) ||
        !reader->Read(other, to, &new_read))
      continue;
    // In Shift_JIS a 0x5C byte may be half of a character, where the
    // number, put in byte by byte, would land inside the name.
    if (other == Reading::kShiftJis)
      KeepOrderPrefixInFront(from, to, &old_read, &new_read);
    if (reader->Names(other, old_read, new_read)) {
      *old_path = std::move(old_read);
      *new_path = std::move(new_read);
      *reading = other;
      return true;
    }
  }
  return true;  // As written: the rename fails, and is logged as written.
}

}  // namespace quenby
