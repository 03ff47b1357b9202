// What each mode does with one entry line of the playlist.
#ifndef QUENBY_ENGINE_ENTRY_STEPS_H_
#define QUENBY_ENGINE_ENTRY_STEPS_H_

#include <cstdint>
#include <string_view>

#include "file_system.h"
#include "run_log.h"

namespace quenby {

// One entry as the playlist loop read it. `whole` is false when `text` is
// not exactly the playlist's line: the line was longer than the line buffer
// and only its start is here, or it held a malformed UTF-16 sequence.
struct EntryLine {
  std::string_view text;
  bool whole = true;
};

// Renames the listed file to its numbered path (numbering mode).
void NumberEntry(FileSystem* fs, const EntryLine& line, int32_t* failure_count,
                 RunLog* log);

// Renames the numbered path back to the listed name (number removal mode).
void RestoreEntry(FileSystem* fs, const EntryLine& line, int32_t* failure_count,
                  RunLog* log);

// Logs the files that the file system could not put back as failed renames
// of the entry at hand.
void LogUnplacedFiles(FileSystem* fs, int32_t* failure_count, RunLog* log);

}  // namespace quenby

#endif  // QUENBY_ENGINE_ENTRY_STEPS_H_
