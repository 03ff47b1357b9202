// The Run button: one whole renaming run, ended by exactly one message box.
#ifndef QUENBY_ENGINE_RUN_RENAMING_H_
#define QUENBY_ENGINE_RUN_RENAMING_H_

#include "dialog_host.h"
#include "file_system.h"

namespace quenby {

extern const char kMessageNotReadable[];
extern const char kMessageNoMode[];
extern const char kMessageCannotOpen[];
extern const char kMessageSuccess[];
extern const char kMessageFailures[];

// Reads the path and the mode from `dialog`, renames the playlist's files
// through `fs`, keeps "output.txt" and tells the outcome in one message.
void RunRenaming(DialogHost* dialog, FileSystem* fs);

}  // namespace quenby

#endif  // QUENBY_ENGINE_RUN_RENAMING_H_
