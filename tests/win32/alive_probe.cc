// Measures how a long run through the dialog looks to the desktop. Starts
// the Quenby.exe beside it in a fresh folder, numbers a playlist of ENTRIES
// entries whose file is missing (each rename fails and is logged), and while
// the run goes on sends the dialog WM_NULL every 100 ms, as Windows' checks
// do, and asks IsHungAppWindow. Prints one line of figures.
//
//   quenby_alive_probe [ENTRIES]     (default 1000000)
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#include "dialog_driver.h"
#include "resource.h"
#include "win32_temp_dir.h"

using namespace quenby;

int main(int argc, char** argv) {
  int entries = argc > 1 ? atoi(argv[1]) : 1000000;
  TempDir dir;
  std::string playlist = dir.path() + "\\list.m3u";
  WriteFile(playlist, FailingPlaylist(entries));

  PROCESS_INFORMATION process = {};
  HWND dialog = StartQuenby(dir.path(), &process);
  if (!dialog) {
    fprintf(stderr, "quenby_alive_probe: the dialog did not come\n");
    return 1;
  }
  // As the shell does where it has a task bar: the progress goes there.
  SendMessageA(dialog, RegisterWindowMessageA("TaskbarButtonCreated"), 0, 0);
  SendMessageA(GetDlgItem(dialog, IDC_PATH), WM_SETTEXT, 0,
               reinterpret_cast<LPARAM>(playlist.c_str()));
  SendMessageA(GetDlgItem(dialog, IDC_NUMBER_MODE), BM_CLICK, 0, 0);
  // Posted: a run that holds the dialog's thread is measured too.
  PostMessageA(GetDlgItem(dialog, IDC_RUN), BM_CLICK, 0, 0);

  // A reply is waited for up to 10 s, so that the longest wait is the real
  // one; Windows' own checks give up after 100 ms or 5 s.
  constexpr DWORD kWaitMs = 10000, kLimitMs = 100;
  Liveliness seen;
  DWORD start = GetTickCount();
  HWND box = nullptr;
  while (!box && GetTickCount() - start < 3600 * 1000) {
    DWORD probe = GetTickCount();
    Probe(dialog, kWaitMs, kLimitMs, &seen);
    box = FindDialog(process.dwProcessId, dialog, "");
    DWORD spent = GetTickCount() - probe;
    if (!box && spent < 100) Sleep(100 - spent);
  }
  DWORD run_ms = GetTickCount() - start;
  if (box)
    PostMessageA(FindWindowExA(box, nullptr, "Button", nullptr), BM_CLICK, 0,
                 0);

  printf(
      "%d failing entries: run until its message box %.1f s; %d WM_NULL "
      "probes, longest wait %.1f ms, %d not answered within %lu ms; "
      "IsHungAppWindow %s\n",
      entries, run_ms / 1000.0, seen.probes, seen.longest_ms, seen.late,
      kLimitMs, seen.hung ? "true at least once" : "never true");

  // Exit, once the run's thread lets the dialog take input again.
  for (DWORD waited = 0; !IsWindowEnabled(dialog) && waited < kPatience;
       waited += 20)
    Sleep(20);
  PostMessageA(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0);
  if (WaitForSingleObject(process.hProcess, kPatience) != WAIT_OBJECT_0)
    TerminateProcess(process.hProcess, 1);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return box ? 0 : 1;
}
