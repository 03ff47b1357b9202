// Measures how a long run through the dialog looks to the desktop. Starts
// the Quenby.exe beside it in a fresh folder, numbers a playlist of ENTRIES
// entries whose file is missing (each rename fails and is logged), and while
// the run goes on sends the dialog WM_NULL every 100 ms, as Windows' checks
// do, and asks IsHungAppWindow. Prints one line of figures.
// Given a PLAYLIST instead, runs it from its own folder, as a user who picks
// it on a stick, in MODE "number" (the default) or "remove", and prints
// what the message box said too (make test-vm's runs under Wine).
//
//   quenby_alive_probe [ENTRIES | PLAYLIST [MODE]]   (default 1000000)
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#include "dialog_driver.h"
#include "resource.h"
#include "win32_temp_dir.h"

using namespace quenby;

int main(int argc, char** argv) {
  std::string given = argc > 1 ? argv[1] : "1000000";
  int entries = atoi(given.c_str());
  bool removal = argc > 2 && std::string(argv[2]) == "remove";
  TempDir dir;
  std::string playlist = dir.path() + "\\list.m3u", folder = dir.path();
  if (given.find('\\') != std::string::npos) {
    playlist = given;
    folder = given.substr(0, given.find_last_of('\\') + 1);
  } else {
    WriteFile(playlist, FailingPlaylist(entries));
  }

  PROCESS_INFORMATION process = {};
  HWND dialog = StartQuenby(folder, &process);
  if (!dialog) {
    fprintf(stderr, "quenby_alive_probe: the dialog did not come\n");
    return 1;
  }
  // As the shell does where it has a task bar: the progress goes there.
  SendMessageA(dialog, RegisterWindowMessageA("TaskbarButtonCreated"), 0, 0);
  SendMessageA(GetDlgItem(dialog, IDC_PATH), WM_SETTEXT, 0,
               reinterpret_cast<LPARAM>(playlist.c_str()));
  SendMessageA(GetDlgItem(dialog, removal ? IDC_RESTORE_MODE : IDC_NUMBER_MODE),
               BM_CLICK, 0, 0);
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
  std::string said;
  for (HWND text = box ? FindWindowExA(box, nullptr, "Static", nullptr)
                       : nullptr;
       text; text = FindWindowExA(box, text, "Static", nullptr))
    said += WindowText(text);
  if (box)
    PostMessageA(FindWindowExA(box, nullptr, "Button", nullptr), BM_CLICK, 0,
                 0);

  if (playlist == given)
    printf("%s: ", playlist.c_str());
  else
    printf("%d failing entries: ", entries);
  printf(
      "run until its message box %.1f s; %d WM_NULL probes, longest wait "
      "%.1f ms, %d not answered within %lu ms; IsHungAppWindow %s; "
      "message \"%s\"\n",
      run_ms / 1000.0, seen.probes, seen.longest_ms, seen.late, kLimitMs,
      seen.hung ? "true at least once" : "never true", said.c_str());

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
