#include "entry_steps.h"

#include <string>

#include "entry_path.h"
#include "numbered_path.h"
#include "run_state.h"

namespace quenby {

namespace {

enum class Direction { kToNumbered, kFromNumbered };

// Whether the two paths of an entry may be handed to the file system. A line
// not read exactly could name another file, a URL other than file: names no
// local file, a NUL would end the path early inside a C call, and a path over
// the limit does not fit the platform's buffers.
bool MayRename(const EntryLine& line, const std::string& numbered) {
  return line.whole && line.text.find('\0') == std::string_view::npos &&
         numbered.size() <= kMaxPathLength && !IsRemoteUrl(line.text);
}

void RenameEntry(Direction direction, FileSystem* fs, const EntryLine& line,
                 int32_t* failure_count, RunLog* log) {
  // An empty or blank line has its number and nothing else: both modes skip
  // it alike.
  if (IsBlankLine(line.text)) return;

  // Reused between entries so that a run does not allocate per line.
  static std::string line_path;
  static std::string numbered;
  MakeNumberedPath(line.text, EntryNumber, &numbered);
  line_path.assign(line.text);

  const std::string& from = direction == Direction::kToNumbered ? line_path
                                                                : numbered;
  const std::string& to = direction == Direction::kToNumbered ? numbered
                                                              : line_path;
  bool renamed = MayRename(line, numbered) && fs->Rename(from, to);
  // What the file system put back before this rename comes first.
  LogUnplacedFiles(fs, failure_count, log);
  if (renamed) return;

  ++*failure_count;
  log->WriteFailure(EntryNumber, from, to);
}

}  // namespace

void LogUnplacedFiles(FileSystem* fs, int32_t* failure_count, RunLog* log) {
  std::string from, to;
  while (fs->TakeUnplacedFile(&from, &to)) {
    ++*failure_count;
    log->WriteFailure(EntryNumber, from, to);
  }
}

void NumberEntry(FileSystem* fs, const EntryLine& line, int32_t* failure_count,
                 RunLog* log) {
  RenameEntry(Direction::kToNumbered, fs, line, failure_count, log);
}

void RestoreEntry(FileSystem* fs, const EntryLine& line, int32_t* failure_count,
                  RunLog* log) {
  RenameEntry(Direction::kFromNumbered, fs, line, failure_count, log);
}

}  // namespace quenby
