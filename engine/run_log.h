// "output.txt": one header line with the local time, one line per failed
// rename, two empty lines after failures, or no file at all after a clean run.
#ifndef QUENBY_ENGINE_RUN_LOG_H_
#define QUENBY_ENGINE_RUN_LOG_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "file_system.h"

namespace quenby {

constexpr char kLogName[] = "output.txt";

// "6/14/2000 at 3:07pm -", without the line end.
std::string FormatLogHeader(const LocalTime& time);

class RunLog {
 public:
  explicit RunLog(FileSystem* fs) : fs_(fs) {}

  // Creates or empties the log, writes its header and puts it on the
  // medium. A log that cannot be opened swallows what is written to it; the
  // run goes on regardless.
  void OpenWithHeader();

  void WriteFailure(uint32_t entry_number, std::string_view old_name,
                    std::string_view new_name);

  // A free-form line, for failures that are not renames.
  void WriteLine(std::string_view text);

  // Adds the two empty lines that end a log with failures, puts the log on
  // the medium and closes it.
  void CloseAfterFailures();

  // Closes the log and deletes it. Only a log this run created is deleted:
  // a file that could not be opened as our log is someone else's.
  void CloseAndDelete();

  // Puts what the log holds on the medium; nothing when it is closed.
  void Sync() {
    if (file_) file_->Sync();
  }

  // Closes the log with what it holds; safe to call when already closed.
  void Close() { file_.reset(); }

 private:
  void WriteRaw(std::string_view text);

  FileSystem* fs_;
  std::unique_ptr<OutputFile> file_;
  bool opened_ = false;
  std::string line_;  // Reused so that a failing run does not allocate.
};

}  // namespace quenby

#endif  // QUENBY_ENGINE_RUN_LOG_H_
