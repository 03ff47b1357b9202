// What a run needs of the main dialog, on the plain Win32 API: the wait
// cursor, the path field, the mode buttons, message boxes that the dialog
// owns and the run's progress on the task-bar button.
//
// The run works on a thread of its own, and a window is best touched by the
// thread that made it, so each call of the run (the DialogHost members) is
// carried to the dialog's thread by SendMessage of one of the messages
// below; the dialog's procedure answers it with the matching member of the
// second group, which does the work there.
#ifndef QUENBY_UI_WIN32_WIN32_DIALOG_HOST_H_
#define QUENBY_UI_WIN32_WIN32_DIALOG_HOST_H_

#include <windows.h>

#include <cstdint>
#include <string>

#include "dialog_host.h"

struct ITaskbarList3;

// The dialog's private messages of a run.
enum RunMessage : UINT {
  WM_RUN_BUSY_CURSOR = WM_APP + 1,  // wParam: TRUE on, FALSE off
  WM_RUN_CONTROL_TEXT,    // wParam: control; lParam: std::string* to fill
  WM_RUN_CHECKED_BUTTON,  // wParam, lParam: first and last; result: id
  WM_RUN_SHOW_MESSAGE,    // lParam: const std::string* text
  WM_RUN_SHOW_PROGRESS,   // lParam: const RunProgress*
  WM_RUN_ENDED,           // posted by the run's thread as its last act
};

struct RunProgress {
  uint64_t done;
  uint64_t total;
};

// Lets a progress report through at most every 100 ms, so that the task
// bar hears of a run about ten times a second, whatever the playlist.
class ProgressPacer {
 public:
  static constexpr DWORD kIntervalMs = 100;

  // Whether a report at `now` (GetTickCount) is to be shown.
  bool Due(DWORD now) {
    // Unsigned difference: right also when the tick count wraps.
    if (started_ && now - last_ < kIntervalMs) return false;
    started_ = true;
    last_ = now;
    return true;
  }
  void Restart() { started_ = false; }

 private:
  bool started_ = false;
  DWORD last_ = 0;
};

class Win32DialogHost : public quenby::DialogHost {
 public:
  // `caption` is the title of every message box.
  Win32DialogHost(HWND dialog, std::string caption)
      : dialog_(dialog), caption_(std::move(caption)) {}
  ~Win32DialogHost() override;

  // Called on the run's thread.
  void BeginBusyCursor() override;
  void EndBusyCursor() override;
  std::string ControlText(int id) override;
  int CheckedRadioButton(int first, int last) override;
  void ShowMessage(const std::string& text) override;
  void ShowProgress(uint64_t done, uint64_t total) override;

  // Called on the dialog's thread, for the messages above.
  void SetBusyCursor(bool on);
  std::string ReadControlText(int id);
  int FindCheckedButton(int first, int last);
  void ShowMessageBox(const std::string& text);
  void ShowTaskbarProgress(const RunProgress& progress);

  // When the task bar has made the dialog's button (again): from now on the
  // progress shows there. Where the task bar cannot show progress (before
  // Windows 7) nothing will.
  void AttachTaskbar();

  // While a run is busy the dialog answers WM_SETCURSOR with the wait
  // cursor, so that it stays also while the run's message box is up.
  bool busy() const { return busy_; }

 private:
  HWND dialog_;
  std::string caption_;
  bool busy_ = false;
  HCURSOR old_cursor_ = nullptr;
  ITaskbarList3* taskbar_ = nullptr;
  ProgressPacer pacer_;  // The run's thread's own
};

#endif  // QUENBY_UI_WIN32_WIN32_DIALOG_HOST_H_
