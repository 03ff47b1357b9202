// Works Quenby.exe's dialogs from another process, as a user and the desktop
// do: starts the program, finds its windows and looks at them the way
// Windows decides whether a window hangs. Shared by the dialog tests and
// the program that measures a long run.
#ifndef QUENBY_TESTS_WIN32_DIALOG_DRIVER_H_
#define QUENBY_TESTS_WIN32_DIALOG_DRIVER_H_

#include <windows.h>

#include <string>

namespace quenby {

constexpr char kTitle[] = "Quenby Playlist Maker 2.0";
constexpr DWORD kPatience = 10000;  // ms to wait for a window or an exit

// The folder of this program, where Quenby.exe lands too.
inline std::string BuildFolder() {
  char path[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder = path;
  return folder.substr(0, folder.find_last_of('\\'));
}

// By WM_GETTEXT: GetWindowText gives only the first text of another
// process's controls.
inline std::string WindowText(HWND window) {
  char text[1024] = "";
  SendMessageA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
  return text;
}

inline std::string ClassName(HWND window) {
  char name[256] = "";
  GetClassNameA(window, name, sizeof name);
  return name;
}

struct Search {
  DWORD process;
  HWND owner;
  std::string title;
  HWND found;
};

inline BOOL CALLBACK MatchWindow(HWND window, LPARAM param) {
  Search* search = reinterpret_cast<Search*>(param);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process != search->process || !IsWindowVisible(window) ||
      ClassName(window) != "#32770")
    return TRUE;
  if (search->owner && GetWindow(window, GW_OWNER) != search->owner)
    return TRUE;
  if (!search->title.empty() && WindowText(window) != search->title)
    return TRUE;
  search->found = window;
  return FALSE;
}

// A visible dialog of `process`, owned by `owner` (any when null) and
// titled `title` (any when empty), or null.
inline HWND FindDialog(DWORD process, HWND owner, const std::string& title) {
  Search search = {process, owner, title, nullptr};
  EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// The same, waiting for it; null when none comes in time.
inline HWND WaitForDialog(DWORD process, HWND owner, const std::string& title) {
  for (DWORD waited = 0; waited < kPatience; waited += 20) {
    if (HWND found = FindDialog(process, owner, title)) return found;
    Sleep(20);
  }
  return nullptr;
}

// Starts Quenby.exe from this program's folder in `folder`, with arguments
// that it must ignore; returns its main dialog, or null.
inline HWND StartQuenby(const std::string& folder,
                        PROCESS_INFORMATION* process) {
  std::string command = "\"" + BuildFolder() + "\\Quenby.exe\" ignored.m3u /x";
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr,
                      folder.c_str(), &startup, process))
    return nullptr;
  WaitForInputIdle(process->hProcess, kPatience);
  return WaitForDialog(process->dwProcessId, nullptr, kTitle);
}

// A playlist of `entries` lines naming one file that is not there: each
// rename of the run fails and is logged, the slowest kind of entry.
inline std::string FailingPlaylist(int entries) {
  const std::string line = "M\\missing.mp3\r\n";
  std::string playlist;
  playlist.reserve(line.size() * entries);
  for (int i = 0; i < entries; ++i) playlist += line;
  return playlist;
}

// What the desktop saw of a window: its replies to WM_NULL, and whether the
// system ever took it for hung.
struct Liveliness {
  int probes = 0;
  int late = 0;  // replies that took longer than the probe's limit, or none
  double longest_ms = 0;
  bool hung = false;
};

// One look as Windows takes it: WM_NULL, waiting for the reply at most
// `wait_ms`, then IsHungAppWindow. A reply later than `limit_ms` is late.
inline void Probe(HWND window, DWORD wait_ms, DWORD limit_ms,
                  Liveliness* seen) {
  LARGE_INTEGER frequency, start, end;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  DWORD_PTR result = 0;
  LRESULT answered = SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL,
                                         wait_ms, &result);
  QueryPerformanceCounter(&end);
  double ms = 1000.0 * (end.QuadPart - start.QuadPart) / frequency.QuadPart;
  ++seen->probes;
  if (!answered || ms > limit_ms) ++seen->late;
  if (ms > seen->longest_ms) seen->longest_ms = ms;
  if (IsHungAppWindow(window)) seen->hung = true;
}

}  // namespace quenby

#endif  // QUENBY_TESTS_WIN32_DIALOG_DRIVER_H_
