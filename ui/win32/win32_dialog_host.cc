#include "win32_dialog_host.h"

#include <shobjidl.h>

#include <vector>

Win32DialogHost::~Win32DialogHost() {
  if (taskbar_) taskbar_->Release();
}

// The run's side: each call waits until the dialog's thread has done it.

void Win32DialogHost::BeginBusyCursor() {
  pacer_.Restart();
  SendMessageA(dialog_, WM_RUN_BUSY_CURSOR, TRUE, 0);
}

void Win32DialogHost::EndBusyCursor() {
  SendMessageA(dialog_, WM_RUN_BUSY_CURSOR, FALSE, 0);
}

std::string Win32DialogHost::ControlText(int id) {
  std::string text;
  SendMessageA(dialog_, WM_RUN_CONTROL_TEXT, id,
               reinterpret_cast<LPARAM>(&text));
  return text;
}

int Win32DialogHost::CheckedRadioButton(int first, int last) {
  return static_cast<int>(SendMessageA(dialog_, WM_RUN_CHECKED_BUTTON, first,
                                       last));
}

void Win32DialogHost::ShowMessage(const std::string& text) {
  SendMessageA(dialog_, WM_RUN_SHOW_MESSAGE, 0,
               reinterpret_cast<LPARAM>(&text));
}

void Win32DialogHost::ShowProgress(uint64_t done, uint64_t total) {
  if (!pacer_.Due(GetTickCount())) return;
  RunProgress progress = {done, total};
  SendMessageA(dialog_, WM_RUN_SHOW_PROGRESS, 0,
               reinterpret_cast<LPARAM>(&progress));
}

// The dialog's side.

void Win32DialogHost::SetBusyCursor(bool on) {
  busy_ = on;
  if (on) {
    old_cursor_ = SetCursor(LoadCursor(nullptr, IDC_WAIT));
  } else {
    SetCursor(old_cursor_ ? old_cursor_ : LoadCursor(nullptr, IDC_ARROW));
  }
}

std::string Win32DialogHost::ReadControlText(int id) {
  HWND control = GetDlgItem(dialog_, id);
  int length = GetWindowTextLengthA(control);
  std::vector<char> text(length + 1);
  int copied = GetWindowTextA(control, text.data(), length + 1);
  return std::string(text.data(), copied);
}

int Win32DialogHost::FindCheckedButton(int first, int last) {
  for (int id = first; id <= last; ++id) {
    if (IsDlgButtonChecked(dialog_, id) == BST_CHECKED) return id;
  }
  return 0;
}

void Win32DialogHost::ShowMessageBox(const std::string& text) {
  // The box ends the run's progress.
  if (taskbar_) taskbar_->SetProgressState(dialog_, TBPF_NOPROGRESS);
  // A run keeps the dialog disabled. A box over a disabled owner would hand
  // the activation to another program when it closes, so the owner is
  // enabled for the box, which disables it itself while it is up; the run
  // is not over when the box closes, so it is disabled again.
  EnableWindow(dialog_, TRUE);
  MessageBoxA(dialog_, text.c_str(), caption_.c_str(), 0);  // OK, no icon
  EnableWindow(dialog_, FALSE);
}

void Win32DialogHost::ShowTaskbarProgress(const RunProgress& progress) {
  if (taskbar_)
    taskbar_->SetProgressValue(dialog_, progress.done, progress.total);
}

void Win32DialogHost::AttachTaskbar() {
  if (taskbar_) taskbar_->Release();
  taskbar_ = nullptr;
  ITaskbarList3* taskbar = nullptr;
  if (FAILED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER,
                              IID_ITaskbarList3,
                              reinterpret_cast<void**>(&taskbar))))
    return;
  if (FAILED(taskbar->HrInit())) {
    taskbar->Release();
    return;
  }
  taskbar_ = taskbar;
}
