// The main dialog (template 102) and the About box (template 100).
#ifndef QUENBY_UI_WIN32_QUENBYDLG_H_
#define QUENBY_UI_WIN32_QUENBYDLG_H_

#include <windows.h>

#include <memory>

#include "win32_dialog_host.h"
#include "win32_file_system.h"

class CQuenbyDlg {
 public:
  CQuenbyDlg();

  // Runs the dialog modally; returns IDOK or IDCANCEL, or -1 when the
  // dialog could not be made.
  INT_PTR DoModal();

 private:
  static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam,
                                     LPARAM lParam);

  BOOL OnInitDialog();
  // Each returns whether it handled the message; if not, the system does.
  bool OnSysCommand(UINT nID, LPARAM lParam);
  bool OnPaint();
  HICON OnQueryDragIcon() { return m_hIcon; }
  void OnBrowse();
  void OnRun();
  void OnRunEnded();

  // The run's thread: one run, then WM_RUN_ENDED to the dialog.
  static unsigned __stdcall RunThread(void* dialog);

  HWND m_hWnd = nullptr;
  HICON m_hIcon;
  std::unique_ptr<Win32DialogHost> m_host;
  quenby::Win32FileSystem m_fileSystem;

  // From the Run click until the run's thread has ended: the dialog acts on
  // no command then, and the window is disabled.
  bool m_running = false;
  HANDLE m_runThread = nullptr;
  HWND m_focusBeforeRun = nullptr;  // Given back when the run has ended
  UINT m_taskbarButtonCreated = 0;  // The shell's registered message
};

class CAboutDlg {
 public:
  // Owned by the application's main window while it runs.
  INT_PTR DoModal();

 private:
  static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam,
                                     LPARAM lParam);
};

#endif  // QUENBY_UI_WIN32_QUENBYDLG_H_
