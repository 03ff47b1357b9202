#include "run_log.h"

#include <charconv>

namespace quenby {

namespace {

// The log is written in binary with CR LF of our own, so that it is the same
// byte for byte whichever platform wrote it.
constexpr std::string_view kLineEnd = "\r\n";

}  // namespace

std::string FormatLogHeader(const LocalTime& time) {
  int hour = time.hour;
  const char* half = "am";
  if (hour >= 12) {
    hour -= 12;
    half = "pm";
  }
  if (hour == 0) hour = 12;

  std::string text = std::to_string(time.month) + "/" +
                     std::to_string(time.day) + "/" +
                     std::to_string(time.year) + " at " + std::to_string(hour) +
                     ":";
  if (time.minute < 10) text += '0';
  text += std::to_string(time.minute);
  text += half;
  text += " -";
  return text;
}

void RunLog::OpenWithHeader() {
  file_ = fs_->CreateLog(kLogName);
  opened_ = file_ != nullptr;
  // The clock is read right after opening, as the header promises.
  std::string header = FormatLogHeader(fs_->Now());
  WriteLine(header);
  // The log's entry with its first cluster goes on the medium before any
  // rename: the syncs of the renames write the FAT, and a stick pulled
  // during the run would keep the header's cluster owned by no file.
  Sync();
}

void RunLog::WriteRaw(std::string_view text) {
  // Write errors are not reported: a full disk must not stop the renaming.
  if (file_) file_->Write(text.data(), text.size());
}

void RunLog::WriteLine(std::string_view text) {
  line_.assign(text);
  line_.append(kLineEnd);
  WriteRaw(line_);
}

void RunLog::WriteFailure(uint32_t entry_number, std::string_view old_name,
                          std::string_view new_name) {
  char number[10];
  char* number_end =
      std::to_chars(number, number + sizeof number, entry_number).ptr;
  const std::string_view parts[] = {
      "Playlist #",
      std::string_view(number, static_cast<size_t>(number_end - number)),
      ": ",
      old_name,
      " could not be renamed to ",
      new_name,
      kLineEnd};
  // A run whose entries all fail writes a line per entry: sized once and
  // copied into, rather than grown part by part.
  size_t size = 0;
  for (std::string_view part : parts) size += part.size();
  line_.resize(size);
  char* out = line_.data();
  for (std::string_view part : parts) out += part.copy(out, part.size());
  WriteRaw(line_);
}

void RunLog::CloseAfterFailures() {
  line_.assign(kLineEnd);
  line_.append(kLineEnd);
  WriteRaw(line_);
  Sync();
  Close();
}

void RunLog::CloseAndDelete() {
  Close();
  if (opened_) fs_->Delete(kLogName);
}

}  // namespace quenby
