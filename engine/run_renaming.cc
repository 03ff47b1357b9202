#include "run_renaming.h"

#include <algorithm>
#include <cstdint>
#include <string>

#include "entry_steps.h"
#include "numbered_path.h"
#include "playlist_reader.h"
#include "run_log.h"
#include "run_state.h"

namespace quenby {

std::string PlaylistPath;
uint32_t EntryNumber = 0;
char LineBuffer[kLineBufferSize];

const char kMessageNotReadable[] =
    "The file does not exist or is not readable.\n"
    "Please check to see if the file exists,\n"
    " or if the file attributes are correct.";
const char kMessageNoMode[] =
    "One of the options must be selected to run the program.";
const char kMessageCannotOpen[] = "File could not be opened, please try again";
const char kMessageSuccess[] = "The program finished successfully";
const char kMessageFailures[] =
    "There was an error in renaming one or more of the files.\n"
    "Please check the file \"output.txt\" for more information.";

namespace {

using EntryStep = void (*)(FileSystem*, const EntryLine&, int32_t*, RunLog*);

// Reads the playlist to its end, handing every entry line to the mode's
// step, then ends the run with its message. Returns the message to show.
const char* RunPlaylist(DialogHost* dialog, FileSystem* fs, RunMode mode,
                        int32_t* failure_count, RunLog* log) {
  const EntryStep step = mode == RunMode::kNumbering ? NumberEntry
                                                     : RestoreEntry;
  fs->StartRun(mode);
  std::unique_ptr<InputFile> playlist = fs->OpenPlaylist(PlaylistPath);
  EntryNumber = 0;
  if (!playlist) return kMessageCannotOpen;

  // Progress is told in steps of a thousandth of the playlist, so that a
  // line costs one comparison and the dialog hears of it ~1,000 times.
  PlaylistReader reader(playlist.get());
  const uint64_t size = playlist->Size();
  const uint64_t progress_step = size / 1000 + 1;
  uint64_t next_progress = size > 0 ? 0 : UINT64_MAX;
  auto show_progress = [&] {
    uint64_t done = std::min(reader.Position(), size);
    dialog->ShowProgress(done, size);
    next_progress = done + progress_step;
  };

  for (;;) {
    if (reader.Position() >= next_progress) show_progress();
    size_t length = 0;
    bool whole = true;
    PlaylistReader::Status status =
        reader.ReadLine(LineBuffer, sizeof LineBuffer, &length, &whole);
    if (status == PlaylistReader::kEnd) break;
    if (status == PlaylistReader::kReadError) {
      // Stopping here silently would report the entries never read as
      // renamed, so a read error is a failure the user is told of.
      ++*failure_count;
      log->WriteLine("The playlist could not be read past entry #" +
                     std::to_string(EntryNumber));
      break;
    }
    if (LineBuffer[0] == '#') continue;
    if (EntryNumber <= kLastNumberedEntry) ++EntryNumber;
    if (NumberBand(EntryNumber) == 0) continue;
    step(fs, EntryLine{std::string_view(LineBuffer, length), whole},
         failure_count, log);
  }

  if (size > 0) show_progress();

  // The renames reach the medium before the log is closed or deleted: on
  // some media closing a written file starts a write-back that would carry
  // the new names without the files they name.
  fs->RenamesDone();
  LogUnplacedFiles(fs, failure_count, log);
  if (*failure_count == 0) {
    log->CloseAndDelete();
    return kMessageSuccess;
  }
  log->CloseAfterFailures();
  return kMessageFailures;
}

}  // namespace

void RunRenaming(DialogHost* dialog, FileSystem* fs) {
  dialog->BeginBusyCursor();
  int32_t failure_count = 0;
  PlaylistPath = dialog->ControlText(kIdPathField);

  RunLog log(fs);
  log.OpenWithHeader();

  const char* message;
  if (!fs->IsReadable(PlaylistPath)) {
    message = kMessageNotReadable;
  } else {
    switch (dialog->CheckedRadioButton(kIdNumberMode, kIdRestoreMode)) {
      case kIdNumberMode:
        message = RunPlaylist(dialog, fs, RunMode::kNumbering, &failure_count,
                              &log);
        break;
      case kIdRestoreMode:
        message = RunPlaylist(dialog, fs, RunMode::kRestoring, &failure_count,
                              &log);
        break;
      default:
        message = kMessageNoMode;
        break;
    }
  }

  // On the early exits the log is still open while the message shows; what
  // it holds is on the medium before the user is told anything.
  log.Sync();
  dialog->ShowMessage(message);
  dialog->EndBusyCursor();
  log.Close();
}

}  // namespace quenby
