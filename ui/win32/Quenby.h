// The application object: runs the main dialog and ends with it.
#ifndef QUENBY_UI_WIN32_QUENBY_H_
#define QUENBY_UI_WIN32_QUENBY_H_

#include <windows.h>

#include <string>

class CQuenbyApp {
 public:
  CQuenbyApp() = default;

  // The whole life of the program. Returns false: there is no message loop
  // of the application's own, the modal dialog's is the only one.
  bool InitInstance();

  HINSTANCE m_hInstance = nullptr;
  HWND m_hMainWnd = nullptr;  // The main dialog, while it runs.

  // The program file's name without its folder and extension: the caption
  // of every message box.
  std::string AppName() const;
};

extern CQuenbyApp theApp;

#endif  // QUENBY_UI_WIN32_QUENBY_H_
