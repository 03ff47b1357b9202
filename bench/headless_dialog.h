// A dialog without a window for timed runs: it answers with a fixed path and
// mode and keeps the one message of the last run.
#ifndef QUENBY_BENCH_HEADLESS_DIALOG_H_
#define QUENBY_BENCH_HEADLESS_DIALOG_H_

#include <string>
#include <utility>

#include "dialog_host.h"

namespace quenby {

class HeadlessDialog : public DialogHost {
 public:
  HeadlessDialog(std::string path, int mode)
      : path_(std::move(path)), mode_(mode) {}

  void BeginBusyCursor() override {}
  void EndBusyCursor() override {}
  std::string ControlText(int) override { return path_; }
  int CheckedRadioButton(int, int) override { return mode_; }
  void ShowMessage(const std::string& text) override { message_ = text; }

  const std::string& message() const { return message_; }

 private:
  std::string path_;
  int mode_;
  std::string message_;
};

}  // namespace quenby

#endif  // QUENBY_BENCH_HEADLESS_DIALOG_H_
