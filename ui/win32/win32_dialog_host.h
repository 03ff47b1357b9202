// What a run needs of the main dialog, on the plain Win32 API: the wait
// cursor, the path field, the mode buttons and message boxes that the
// dialog owns.
#ifndef QUENBY_UI_WIN32_WIN32_DIALOG_HOST_H_
#define QUENBY_UI_WIN32_WIN32_DIALOG_HOST_H_

#include <windows.h>

#include <string>

#include "dialog_host.h"

class Win32DialogHost : public quenby::DialogHost {
 public:
  // `caption` is the title of every message box.
  Win32DialogHost(HWND dialog, std::string caption)
      : dialog_(dialog), caption_(std::move(caption)) {}

  void BeginBusyCursor() override;
  void EndBusyCursor() override;
  std::string ControlText(int id) override;
  int CheckedRadioButton(int first, int last) override;
  void ShowMessage(const std::string& text) override;

  // While a run is busy the dialog answers WM_SETCURSOR with this, so that
  // the wait cursor stays also while the run's message box is up.
  bool busy() const { return busy_; }

 private:
  HWND dialog_;
  std::string caption_;
  bool busy_ = false;
  HCURSOR old_cursor_ = nullptr;
};

#endif  // QUENBY_UI_WIN32_WIN32_DIALOG_HOST_H_
