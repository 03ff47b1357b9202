// A dialog without a window: it answers a run with the path and mode a test
// sets, and records what the run did with it.
#ifndef QUENBY_TESTS_FAKE_DIALOG_H_
#define QUENBY_TESTS_FAKE_DIALOG_H_

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "dialog_host.h"
#include "file_system.h"
#include "run_renaming.h"

namespace quenby {

class FakeDialog : public DialogHost {
 public:
  std::string path;
  int mode = 0;  // kIdNumberMode, kIdRestoreMode or 0.

  // "busy on", "path", "mode", "message: ...", "busy off", in call order.
  std::vector<std::string> calls;
  std::vector<std::string> messages;
  // Runs while the message box would be up, to look at the files then.
  std::function<void()> on_message;

  void BeginBusyCursor() override { calls.push_back("busy on"); }
  void EndBusyCursor() override { calls.push_back("busy off"); }
  std::string ControlText(int id) override {
    calls.push_back("text " + std::to_string(id));
    return path;
  }
  int CheckedRadioButton(int first, int last) override {
    calls.push_back("radio " + std::to_string(first) + "-" +
                    std::to_string(last));
    return mode;
  }
  // Each ShowProgress as done and total; a message shown ends the list
  // with {-1, -1}.
  std::vector<std::pair<int64_t, int64_t>> progress;
  void ShowProgress(uint64_t done, uint64_t total) override {
    progress.emplace_back(done, total);
  }
  void ShowMessage(const std::string& text) override {
    progress.emplace_back(-1, -1);
    calls.push_back("message");
    messages.push_back(text);
    if (on_message) on_message();
  }

  // One press of Run with `mode` checked; forgets the last run's calls.
  void Run(FileSystem* fs, int checked_mode) {
    mode = checked_mode;
    calls.clear();
    messages.clear();
    progress.clear();
    RunRenaming(this, fs);
  }

  // The one message of the last run.
  std::string Message() const {
    return messages.empty() ? std::string() : messages.back();
  }
};

}  // namespace quenby

#endif  // QUENBY_TESTS_FAKE_DIALOG_H_
