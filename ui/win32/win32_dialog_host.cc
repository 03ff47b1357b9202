#include "win32_dialog_host.h"

#include <vector>

void Win32DialogHost::BeginBusyCursor() {
  busy_ = true;
  old_cursor_ = SetCursor(LoadCursor(nullptr, IDC_WAIT));
}

void Win32DialogHost::EndBusyCursor() {
  busy_ = false;
  SetCursor(old_cursor_ ? old_cursor_ : LoadCursor(nullptr, IDC_ARROW));
}

std::string Win32DialogHost::ControlText(int id) {
  HWND control = GetDlgItem(dialog_, id);
  int length = GetWindowTextLengthA(control);
  std::vector<char> text(length + 1);
  int copied = GetWindowTextA(control, text.data(), length + 1);
  return std::string(text.data(), copied);
}

int Win32DialogHost::CheckedRadioButton(int first, int last) {
  for (int id = first; id <= last; ++id) {
    if (IsDlgButtonChecked(dialog_, id) == BST_CHECKED) return id;
  }
  return 0;
}

void Win32DialogHost::ShowMessage(const std::string& text) {
  // Type 0: one OK button and no icon.
  MessageBoxA(dialog_, text.c_str(), caption_.c_str(), 0);
}
