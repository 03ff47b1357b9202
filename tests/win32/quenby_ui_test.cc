// Drives Quenby.exe from outside, as a user would: finds its dialog by the
// title, types, clicks and presses keys through window messages, reads the
// message box that the dialog owns and checks the files on disk.
#include <windows.h>
#include <gtest/gtest.h>

#include <string.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

#include "dialog_driver.h"
#include "resource.h"
#include "run_renaming.h"
#include "win32_temp_dir.h"

namespace quenby {
namespace {

// Presses and releases a key on whatever has the focus in `window`'s thread,
// the way the dialog's own message loop sees a key press.
void PressKey(HWND window, WORD key) {
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info);
  HWND target = info.hwndFocus ? info.hwndFocus : window;
  PostMessageA(target, WM_KEYDOWN, key, 1);
  PostMessageA(target, WM_KEYUP, key, 0xC0000001);
}

HWND Focus(HWND window) {
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info);
  return info.hwndFocus;
}

// Waits until the focus in `window`'s thread is on control `id`.
bool WaitForFocus(HWND window, int id) {
  for (DWORD waited = 0; waited < 2000; waited += 10) {
    HWND focus = Focus(window);
    if (focus && GetDlgCtrlID(focus) == id) return true;
    Sleep(10);
  }
  return false;
}

struct MessageBoxSeen {
  std::string caption;
  std::string text;
  bool has_icon = false;
  std::vector<std::string> buttons;
};

// Sets the screen's DPI where Wine reads it when a program starts.
void SetScreenDpi(DWORD dpi) {
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS,
            RegCreateKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0,
                            nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr));
  EXPECT_EQ(ERROR_SUCCESS,
            RegSetValueExA(key, "LogPixels", 0, REG_DWORD,
                           reinterpret_cast<const BYTE*>(&dpi), sizeof dpi));
  RegCloseKey(key);
}

class QuenbyUiTest : public ::testing::Test {
 protected:
  // The screen's DPI that the program starts at. Wine's desktop and this
  // driver read it when they start, so every test puts back 96 when done.
  virtual DWORD Dpi() const { return 96; }

  void SetUp() override {
    // This driver reads positions in the screen's own pixels at any DPI.
    SetThreadDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE);
    SetScreenDpi(Dpi());
    Start();
  }

  void TearDown() override {
    if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
      TerminateProcess(process_.hProcess, 1);
      WaitForSingleObject(process_.hProcess, kPatience);
    }
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
    SetScreenDpi(96);
  }

  // Starts Quenby.exe in the test's folder and waits for its dialog.
  void Start() {
    dialog_ = StartQuenby(dir_.path(), &process_);
    ASSERT_NE(nullptr, dialog_);
  }

  HWND Control(int id) { return GetDlgItem(dialog_, id); }

  void SetPath(const std::string& path) {
    SendMessageA(Control(IDC_PATH), WM_SETTEXT, 0,
                 reinterpret_cast<LPARAM>(path.c_str()));
  }

  void Click(int id) { PostMessageA(Control(id), BM_CLICK, 0, 0); }

  // Clicks Run, reads the one message box that the run shows, presses its
  // OK and waits until the run is over.
  MessageBoxSeen Run() {
    Click(IDC_RUN);
    HWND box = WaitForDialog(process_.dwProcessId, dialog_, "");
    EXPECT_NE(nullptr, box);
    if (!box) return MessageBoxSeen();
    MessageBoxSeen seen = CloseMessageBox(box);
    WaitUntilEnabled();
    return seen;
  }

  // A run keeps the dialog disabled until its thread has ended, a little
  // after its message box has closed.
  void WaitUntilEnabled() {
    for (DWORD waited = 0; !IsWindowEnabled(dialog_) && waited < kPatience;
         waited += 20)
      Sleep(20);
    EXPECT_TRUE(IsWindowEnabled(dialog_));
  }

  // Reads the message box `box` and presses its OK.
  MessageBoxSeen CloseMessageBox(HWND box) {
    MessageBoxSeen seen;
    seen.caption = WindowText(box);
    for (HWND child = GetWindow(box, GW_CHILD); child;
         child = GetWindow(child, GW_HWNDNEXT)) {
      if (!IsWindowVisible(child)) continue;
      std::string kind = ClassName(child);
      LONG style = GetWindowLongA(child, GWL_STYLE);
      if (kind == "Button") {
        seen.buttons.push_back(WindowText(child));
      } else if (kind == "Static" && (style & SS_TYPEMASK) == SS_ICON) {
        seen.has_icon = SendMessageA(child, STM_GETICON, 0, 0) != 0;
      } else if (kind == "Static" && !WindowText(child).empty()) {
        seen.text = WindowText(child);
      }
    }
    PostMessageA(FindWindowExA(box, nullptr, "Button", nullptr), BM_CLICK, 0,
                 0);
    for (DWORD waited = 0; IsWindow(box) && waited < kPatience; waited += 20)
      Sleep(20);
    EXPECT_FALSE(IsWindow(box));
    return seen;
  }

  bool Ended() {
    return WaitForSingleObject(process_.hProcess, kPatience) == WAIT_OBJECT_0;
  }

  void ShootBothDialogs(const std::string& name);

  std::string Path(const std::string& name) {
    return dir_.path() + "\\" + name;
  }

  TempDir dir_;
  PROCESS_INFORMATION process_ = {};
  HWND dialog_ = nullptr;
};

// The header line of the log, and nothing after it.
void ExpectHeaderOnly(const std::string& log) {
  ASSERT_NE(std::string::npos, log.find(" -\r\n")) << log;
  EXPECT_EQ(log.find(" -\r\n") + 4, log.size()) << log;
}

TEST_F(QuenbyUiTest, TheControlsAreThoseOfTheTemplateInTabOrder) {
  struct Expected {
    int id;
    const char* kind;
    const char* text;
    LONG style_bits;  // Must all be set.
    bool tab_stop;
  };
  const Expected expected[] = {
      {IDCANCEL, "Button", "Exit", BS_PUSHBUTTON, true},
      {IDC_RUN, "Button", "Run", BS_PUSHBUTTON, true},
      {-1, "Static", "Playlist Path:", SS_LEFT, false},
      {IDC_BROWSE, "Button", "Browse", BS_PUSHBUTTON, true},
      {IDC_PATH, "Edit", "", ES_AUTOHSCROLL, true},
      {IDC_NUMBER_MODE, "Button",
       "Rename mp3 files so they will play in the order you specified in the "
       "playlist",
       BS_AUTORADIOBUTTON | WS_GROUP, false},
      {IDC_RESTORE_MODE, "Button", "Rename mp3 files back to normal",
       BS_AUTORADIOBUTTON, false},
  };
  HWND child = GetWindow(dialog_, GW_CHILD);
  for (const Expected& want : expected) {
    ASSERT_NE(nullptr, child) << want.text;
    LONG style = GetWindowLongA(child, GWL_STYLE);
    EXPECT_EQ(want.id,
              static_cast<int>(static_cast<short>(GetDlgCtrlID(child))));
    EXPECT_EQ(want.kind, ClassName(child));
    EXPECT_EQ(want.text, WindowText(child));
    EXPECT_EQ(want.style_bits, style & want.style_bits) << want.text;
    EXPECT_EQ(want.tab_stop, (style & WS_TABSTOP) != 0) << want.text;
    if (std::string(want.kind) == "Button") {
      EXPECT_NE(BS_DEFPUSHBUTTON, style & BS_TYPEMASK) << want.text;
    }
    if (want.id == IDC_PATH) {  // The border may come as a sunken edge.
      EXPECT_TRUE((style & WS_BORDER) ||
                  (GetWindowLongA(child, GWL_EXSTYLE) & WS_EX_CLIENTEDGE));
    }
    child = GetWindow(child, GW_HWNDNEXT);
  }
  EXPECT_EQ(nullptr, child);

  LONG style = GetWindowLongA(dialog_, GWL_STYLE);
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME));
  EXPECT_TRUE(GetWindowLongA(dialog_, GWL_EXSTYLE) & WS_EX_APPWINDOW);

  // The focus starts on Exit; Tab goes Run, Browse, the path field, Exit.
  EXPECT_TRUE(WaitForFocus(dialog_, IDCANCEL));
  for (int id : {IDC_RUN, IDC_BROWSE, IDC_PATH, IDCANCEL}) {
    PressKey(dialog_, VK_TAB);
    EXPECT_TRUE(WaitForFocus(dialog_, id)) << id;
  }
}

TEST_F(QuenbyUiTest, ThePathIsCheckedBeforeTheMode) {
  MessageBoxSeen seen = Run();  // Empty path field, no mode.
  EXPECT_EQ(kMessageNotReadable, seen.text);
  EXPECT_EQ("Quenby", seen.caption);
  EXPECT_FALSE(seen.has_icon);
  EXPECT_EQ(std::vector<std::string>{"OK"}, seen.buttons);
  ExpectHeaderOnly(ReadFile(Path("output.txt")));

  SetPath(Path("missing.m3u"));
  Click(IDC_NUMBER_MODE);
  EXPECT_EQ(kMessageNotReadable, Run().text);
  ExpectHeaderOnly(ReadFile(Path("output.txt")));
}

TEST_F(QuenbyUiTest, AModeMustBeChosen) {
  WriteFile(Path("list.m3u"), "M\\a.mp3\r\n");
  WriteFile(Path("M\\a.mp3"), "a");
  SetPath(Path("list.m3u"));
  MessageBoxSeen seen = Run();
  EXPECT_EQ(kMessageNoMode, seen.text);
  EXPECT_EQ("Quenby", seen.caption);
  ExpectHeaderOnly(ReadFile(Path("output.txt")));
  EXPECT_EQ("a", ReadFile(Path("M\\a.mp3")));
}

TEST_F(QuenbyUiTest, NumbersAndRestoresThenKeepsPathAndMode) {
  WriteFile(Path("M\\one.mp3"), "1");
  WriteFile(Path("M\\two.mp3"), "2");
  WriteFile(Path("list.m3u"),
            "#EXTM3U\r\n" + Path("M\\one.mp3") + "\r\n" + Path("M\\two.mp3"));
  WriteFile(Path("output.txt"), "an old log");
  SetPath(Path("list.m3u"));

  Click(IDC_NUMBER_MODE);
  EXPECT_EQ(kMessageSuccess, Run().text);
  EXPECT_EQ("1", ReadFile(Path("M\\000001one.mp3")));
  EXPECT_EQ("2", ReadFile(Path("M\\000002two.mp3")));
  EXPECT_FALSE(Exists(Path("M\\one.mp3")));
  EXPECT_FALSE(Exists(Path("output.txt")));
  // The run leaves the path field and the mode buttons as they were.
  EXPECT_EQ(Path("list.m3u"), WindowText(Control(IDC_PATH)));
  EXPECT_EQ(BST_CHECKED,
            SendMessageA(Control(IDC_NUMBER_MODE), BM_GETCHECK, 0, 0));

  Click(IDC_RESTORE_MODE);
  EXPECT_EQ(kMessageSuccess, Run().text);
  EXPECT_EQ(BST_UNCHECKED,
            SendMessageA(Control(IDC_NUMBER_MODE), BM_GETCHECK, 0, 0));
  EXPECT_EQ("1", ReadFile(Path("M\\one.mp3")));
  EXPECT_EQ("2", ReadFile(Path("M\\two.mp3")));
  EXPECT_FALSE(Exists(Path("M\\000001one.mp3")));
}

TEST_F(QuenbyUiTest, FailuresInBothModesAreLogged) {
  WriteFile(Path("M\\a.mp3"), "a");
  WriteFile(Path("M\\000001a.mp3"), "already there");
  WriteFile(Path("list.m3u"), "M\\a.mp3\r\n");
  SetPath("list.m3u");  // Relative to the program's current directory.

  Click(IDC_NUMBER_MODE);
  EXPECT_EQ(kMessageFailures, Run().text);
  EXPECT_EQ("a", ReadFile(Path("M\\a.mp3")));
  EXPECT_EQ("already there", ReadFile(Path("M\\000001a.mp3")));
  std::string log = ReadFile(Path("output.txt"));
  EXPECT_NE(std::string::npos,
            log.find(" -\r\nPlaylist #1: M\\a.mp3 could not be renamed to "
                     "M\\000001a.mp3\r\n\r\n\r\n"))
      << log;

  DeleteFileA(Path("M\\a.mp3").c_str());
  Click(IDC_RESTORE_MODE);
  EXPECT_EQ(kMessageSuccess, Run().text);
  EXPECT_EQ("already there", ReadFile(Path("M\\a.mp3")));

  WriteFile(Path("M\\000001a.mp3"), "another");
  EXPECT_EQ(kMessageFailures, Run().text);
  EXPECT_EQ("already there", ReadFile(Path("M\\a.mp3")));
  EXPECT_EQ("another", ReadFile(Path("M\\000001a.mp3")));
  EXPECT_NE(std::string::npos,
            ReadFile(Path("output.txt"))
                .find("Playlist #1: M\\000001a.mp3 could not be renamed to "
                      "M\\a.mp3\r\n"));
}

TEST_F(QuenbyUiTest, AFolderCannotBeOpened) {
  CreateDirectoryA(Path("folder").c_str(), nullptr);
  SetPath(Path("folder"));
  Click(IDC_RESTORE_MODE);
  EXPECT_EQ(kMessageCannotOpen, Run().text);
  ExpectHeaderOnly(ReadFile(Path("output.txt")));
}

TEST_F(QuenbyUiTest, TheAboutBoxOpensFromTheSystemMenuAndCloses) {
  for (WORD key : {VK_RETURN, VK_ESCAPE}) {
    // The system keeps the low four bits of a command for itself.
    PostMessageA(dialog_, WM_SYSCOMMAND, IDM_ABOUTBOX | 0x3, 0);
    HWND about = WaitForDialog(process_.dwProcessId, dialog_, "About Quenby");
    ASSERT_NE(nullptr, about);
    EXPECT_FALSE(IsWindowEnabled(dialog_));  // Modal over the main dialog.
    HWND icon = GetWindow(about, GW_CHILD);
    ASSERT_NE(nullptr, icon);
    EXPECT_EQ(SS_ICON, GetWindowLongA(icon, GWL_STYLE) & SS_TYPEMASK);
    EXPECT_NE(0, SendMessageA(icon, STM_GETICON, 0, 0));
    HWND text = GetWindow(icon, GW_HWNDNEXT);
    EXPECT_EQ("Quenby Version 2.0", WindowText(text));
    EXPECT_TRUE(GetWindowLongA(text, GWL_STYLE) & SS_NOPREFIX);
    HWND ok = GetWindow(text, GW_HWNDNEXT);
    EXPECT_EQ("OK", WindowText(ok));
    EXPECT_EQ(IDOK, GetDlgCtrlID(ok));
    EXPECT_EQ(BS_DEFPUSHBUTTON, GetWindowLongA(ok, GWL_STYLE) & BS_TYPEMASK);
    EXPECT_EQ(nullptr, GetWindow(ok, GW_HWNDNEXT));
    EXPECT_TRUE(WaitForFocus(about, IDOK));
    PressKey(about, key);
    for (DWORD waited = 0; IsWindow(about) && waited < kPatience; waited += 20)
      Sleep(20);
    EXPECT_FALSE(IsWindow(about)) << key;
    EXPECT_TRUE(IsWindow(dialog_));
  }
}

TEST_F(QuenbyUiTest, TheSystemMenuEndsWithTheAboutItem) {
  // Another process's menus cannot be read under Wine, so the menu is used
  // by keys: Up in a freshly opened menu lands on its last item. (The item's
  // text is string 101, checked in the program file.)
  PostMessageA(dialog_, WM_SYSCOMMAND, SC_KEYMENU, ' ');
  HWND popup = nullptr;
  for (DWORD waited = 0; waited < kPatience; waited += 20) {
    popup = FindWindowA("#32768", nullptr);
    if (popup && IsWindowVisible(popup)) break;
    Sleep(20);
  }
  ASSERT_TRUE(popup && IsWindowVisible(popup));
  PostMessageA(dialog_, WM_KEYDOWN, VK_UP, 1);
  PostMessageA(dialog_, WM_KEYDOWN, VK_RETURN, 1);
  HWND about = WaitForDialog(process_.dwProcessId, dialog_, "About Quenby");
  ASSERT_NE(nullptr, about);
  PressKey(about, VK_ESCAPE);
  for (DWORD waited = 0; IsWindow(about) && waited < kPatience; waited += 20)
    Sleep(20);
  EXPECT_FALSE(IsWindow(about));
}

TEST_F(QuenbyUiTest, BrowseFillsThePathFieldUnlessCancelled) {
  constexpr int kFileNameBox = 0x47C;  // The open dialog's file name box
  CreateDirectoryA(Path("lists").c_str(), nullptr);
  SetPath("typed before");

  Click(IDC_BROWSE);
  HWND open = WaitForDialog(process_.dwProcessId, dialog_, "");
  ASSERT_NE(nullptr, open);
  constexpr int kFileTypeBox = 0x470, kReadOnlyBox = 0x410;
  EXPECT_EQ("MP3 Playlists", WindowText(GetDlgItem(open, kFileTypeBox)));
  HWND read_only = GetDlgItem(open, kReadOnlyBox);
  EXPECT_TRUE(read_only == nullptr || !IsWindowVisible(read_only));
  PostMessageA(GetDlgItem(open, IDCANCEL), BM_CLICK, 0, 0);
  for (DWORD waited = 0; IsWindow(open) && waited < kPatience; waited += 20)
    Sleep(20);
  EXPECT_EQ("typed before", WindowText(Control(IDC_PATH)));

  // A file that does not exist, in a folder that does, is taken.
  Click(IDC_BROWSE);
  open = WaitForDialog(process_.dwProcessId, dialog_, "");
  ASSERT_NE(nullptr, open);
  std::string chosen = Path("lists\\new.m3u");
  SendMessageA(GetDlgItem(open, kFileNameBox), WM_SETTEXT, 0,
               reinterpret_cast<LPARAM>(chosen.c_str()));
  PostMessageA(GetDlgItem(open, IDOK), BM_CLICK, 0, 0);
  for (DWORD waited = 0; IsWindow(open) && waited < kPatience; waited += 20)
    Sleep(20);
  EXPECT_FALSE(IsWindow(open));
  EXPECT_EQ(chosen, WindowText(Control(IDC_PATH)));
}

TEST_F(QuenbyUiTest, EnterInThePathFieldEndsTheProgram) {
  WriteFile(Path("list.m3u"), "M\\a.mp3\r\n");
  WriteFile(Path("M\\a.mp3"), "a");
  SetPath(Path("list.m3u"));
  Click(IDC_NUMBER_MODE);
  PostMessageA(Control(IDC_PATH), WM_KEYDOWN, VK_RETURN, 1);
  EXPECT_TRUE(Ended());
  EXPECT_EQ("a", ReadFile(Path("M\\a.mp3")));  // No run happened.
  EXPECT_FALSE(Exists(Path("output.txt")));
}

TEST_F(QuenbyUiTest, ExitEscapeAndTheCloseBoxEndTheProgram) {
  Click(IDCANCEL);
  EXPECT_TRUE(Ended());
  CloseHandle(process_.hThread);
  CloseHandle(process_.hProcess);
  Start();
  PressKey(dialog_, VK_ESCAPE);
  EXPECT_TRUE(Ended());
  CloseHandle(process_.hThread);
  CloseHandle(process_.hProcess);
  Start();
  PostMessageA(dialog_, WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_TRUE(Ended());
}

// What a user may give the dialog while a run goes on. Sent ones have been
// handled when the call returns; keys are posted, as the keyboard does, to
// the focus or, during a run, when there is none, to the dialog.
struct Input {
  const char* what;
  int control;  // 0: the dialog itself
  UINT message;
  WPARAM wparam;
  LPARAM lparam;
  bool posted;
};

const Input kInputsDuringARun[] = {
    {"a click on Exit", IDCANCEL, BM_CLICK, 0, 0, false},
    {"a click on Browse", IDC_BROWSE, BM_CLICK, 0, 0, false},
    {"a click on Run", IDC_RUN, BM_CLICK, 0, 0, false},
    {"the close box", 0, WM_CLOSE, 0, 0, false},
    {"the window menu's Close", 0, WM_SYSCOMMAND, SC_CLOSE, 0, false},
    {"the About item", 0, WM_SYSCOMMAND, IDM_ABOUTBOX, 0, false},
    {"Enter", 0, WM_KEYDOWN, VK_RETURN, 1, true},
    {"Escape", 0, WM_KEYDOWN, VK_ESCAPE, 1, true},
    {"Alt+F4", 0, WM_SYSKEYDOWN, VK_F4, 0x20000001, true},
};

TEST_F(QuenbyUiTest, ALongRunAnswersTheDesktopAndTakesNoInput) {
  // Long enough that every input is given before the run ends, here and in
  // the emulated machine.
  constexpr int kEntries = 100000;
  // ms; a hung dialog does not answer at all. Where every program runs
  // slower, making the run's message box alone can take seconds.
  constexpr DWORD kGenerous = 2000 * QUENBY_WINE_SLOWNESS;
  WriteFile(Path("list.m3u"), FailingPlaylist(kEntries));
  SetPath(Path("list.m3u"));
  SendMessageA(Control(IDC_NUMBER_MODE), BM_CLICK, 0, 0);
  // As the shell tells it: the progress goes to the task-bar button.
  SendMessageA(dialog_, RegisterWindowMessageA("TaskbarButtonCreated"), 0, 0);

  // Sent, not posted: the inputs below, sent too, would come first. A run
  // that holds the dialog's thread would not let it return.
  DWORD_PTR result;
  ASSERT_TRUE(SendMessageTimeoutA(Control(IDC_RUN), BM_CLICK, 0, 0, SMTO_NORMAL,
                                  kGenerous, &result));
  Liveliness seen;
  size_t given = 0;
  HWND box = nullptr;
  // The run takes seconds here, up to a minute in the emulated machine.
  for (DWORD start = GetTickCount();
       !box && GetTickCount() - start < 30 * kPatience; Sleep(20)) {
    Probe(dialog_, kGenerous, kGenerous, &seen);
    box = FindDialog(process_.dwProcessId, dialog_, "");
    if (box || given == std::size(kInputsDuringARun)) continue;
    const Input& input = kInputsDuringARun[given++];
    HWND target = input.control ? Control(input.control) : dialog_;
    if (input.posted) {
      PostMessageA(Focus(dialog_) ? Focus(dialog_) : target, input.message,
                   input.wparam, input.lparam);
    } else {
      EXPECT_TRUE(SendMessageTimeoutA(target, input.message, input.wparam,
                                      input.lparam, SMTO_NORMAL, kGenerous,
                                      &result))
          << input.what << " was acted on";
    }
  }
  ASSERT_NE(nullptr, box);
  EXPECT_EQ(std::size(kInputsDuringARun), given)
      << "the run ended before every input was given";
  EXPECT_EQ(0, seen.late) << seen.longest_ms << " ms";
  EXPECT_FALSE(seen.hung);
  MessageBoxSeen message = CloseMessageBox(box);
  EXPECT_EQ(kMessageFailures, message.text);
  EXPECT_EQ("Quenby", message.caption);

  // The dialog takes input again once the run's thread has ended; nothing
  // given during the run comes after it.
  WaitUntilEnabled();
  Sleep(500);
  EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(process_.hProcess, 0));
  EXPECT_EQ(nullptr, FindDialog(process_.dwProcessId, dialog_, ""));
  std::string log = ReadFile(Path("output.txt"));
  size_t failures = 0;
  for (size_t at = log.find("\r\nPlaylist #"); at != std::string::npos;
       at = log.find("\r\nPlaylist #", at + 1))
    ++failures;
  EXPECT_EQ(static_cast<size_t>(kEntries), failures);  // One run, whole
  EXPECT_EQ(Path("list.m3u"), WindowText(Control(IDC_PATH)));
  EXPECT_NE(nullptr, Focus(dialog_));
  Click(IDCANCEL);
  EXPECT_TRUE(Ended());
}

// A window as it is on the screen, as 24-bit rows from the top.
struct Picture {
  int width = 0;
  int height = 0;
  std::string rows;
};

// The header of 24-bit pictures stored top row first.
BITMAPINFOHEADER TopDownHeader(int width, int height) {
  BITMAPINFOHEADER info = {};
  info.biSize = sizeof info;
  info.biWidth = width;
  info.biHeight = -height;
  info.biPlanes = 1;
  info.biBitCount = 24;
  info.biCompression = BI_RGB;
  return info;
}

Picture Capture(HWND window) {
  RECT rect;
  GetWindowRect(window, &rect);
  Picture picture;
  picture.width = rect.right - rect.left;
  picture.height = rect.bottom - rect.top;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, picture.width,
                                          picture.height);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, picture.width, picture.height, screen, rect.left,
         rect.top, SRCCOPY);
  SelectObject(memory, old);
  BITMAPINFOHEADER info = TopDownHeader(picture.width, picture.height);
  int stride = (picture.width * 3 + 3) & ~3;
  picture.rows.assign(static_cast<size_t>(stride) * picture.height, '\0');
  GetDIBits(memory, bitmap, 0, picture.height, &picture.rows[0],
            reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return picture;
}

// Writes the pictures side by side on white, with a margin, as a 24-bit BMP.
bool SaveSideBySide(const std::string& path,
                    const std::vector<Picture>& pictures) {
  const int margin = 10;
  int width = margin, height = 0;
  for (const Picture& picture : pictures) {
    width += picture.width + margin;
    height = std::max(height, picture.height + 2 * margin);
  }
  int stride = (width * 3 + 3) & ~3;
  std::string rows(static_cast<size_t>(stride) * height, '\xff');
  int left = margin;
  for (const Picture& picture : pictures) {
    int from_stride = (picture.width * 3 + 3) & ~3;
    for (int y = 0; y < picture.height; ++y) {
      rows.replace(static_cast<size_t>(y + margin) * stride + left * 3,
                   picture.width * 3, picture.rows,
                   static_cast<size_t>(y) * from_stride, picture.width * 3);
    }
    left += picture.width + margin;
  }

  BITMAPINFOHEADER info = TopDownHeader(width, height);
  BITMAPFILEHEADER file = {};
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof file + sizeof info;
  file.bfSize = file.bfOffBits + static_cast<DWORD>(rows.size());
  FILE* out = fopen(path.c_str(), "wb");
  if (!out) return false;
  fwrite(&file, sizeof file, 1, out);
  fwrite(&info, sizeof info, 1, out);
  fwrite(rows.data(), 1, rows.size(), out);
  return fclose(out) == 0;
}

// A picture of both dialogs, in `name` beside this program: the main one
// with a path and a mode, then the About box.
void QuenbyUiTest::ShootBothDialogs(const std::string& name) {
  SetPath("C:\\Music\\Road trip.m3u");
  Click(IDC_NUMBER_MODE);
  SetWindowPos(dialog_, nullptr, 10, 10, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  Sleep(500);  // Let it finish painting.
  std::vector<Picture> pictures = {Capture(dialog_)};
  PostMessageA(dialog_, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
  HWND about = WaitForDialog(process_.dwProcessId, dialog_, "About Quenby");
  ASSERT_NE(nullptr, about);
  SetWindowPos(about, nullptr, 10, 10, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  Sleep(500);
  pictures.push_back(Capture(about));
  EXPECT_TRUE(SaveSideBySide(BuildFolder() + "\\" + name, pictures));
  PressKey(about, VK_ESCAPE);
}

TEST_F(QuenbyUiTest, Screenshot) { ShootBothDialogs("quenby-dialogs.bmp"); }

// The dialogs at the screen's usual 96 DPI and at 144 DPI, Windows' 150%
// scaling: drawn at that DPI rather than stretched from 96, laid out in
// dialog units of their font at that DPI, with every text whole.
class QuenbyDpiTest : public QuenbyUiTest,
                      public ::testing::WithParamInterface<DWORD> {
 protected:
  DWORD Dpi() const override { return GetParam(); }
};

// The dialog font of the templates, 8-point MS Sans Serif, at `dpi`.
HFONT DialogFont(int dpi) {
  LOGFONTA font = {};
  font.lfHeight = -MulDiv(8, dpi, 72);
  font.lfWeight = FW_NORMAL;
  font.lfCharSet = DEFAULT_CHARSET;
  strcpy(font.lfFaceName, "MS Sans Serif");
  return CreateFontIndirectA(&font);
}

// Checks that `dialog` measures `width` x `height` dialog units of its font
// at `dpi`, and that every text of its controls fits inside the control.
void ExpectDialogUnitsAndWholeTexts(HWND dialog, int width, int height,
                                    int dpi) {
  HDC dc = GetDC(nullptr);
  HFONT font = DialogFont(dpi);
  HGDIOBJ old = SelectObject(dc, font);
  TEXTMETRICA metrics;
  GetTextMetricsA(dc, &metrics);
  // The dialog manager's average character width.
  const char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  SIZE extent;
  GetTextExtentPoint32A(dc, letters, 52, &extent);
  int unit_x = (extent.cx / 26 + 1) / 2, unit_y = metrics.tmHeight;

  RECT client;
  GetClientRect(dialog, &client);
  EXPECT_EQ(MulDiv(width, unit_x, 4), client.right) << dpi;
  EXPECT_EQ(MulDiv(height, unit_y, 8), client.bottom) << dpi;

  // A radio button's text begins after its circle and a gap.
  int circle = GetSystemMetricsForDpi(SM_CXMENUCHECK, dpi) + MulDiv(4, dpi, 96);
  for (HWND child = GetWindow(dialog, GW_CHILD); child;
       child = GetWindow(child, GW_HWNDNEXT)) {
    std::string text = WindowText(child);
    if (text.empty() || ClassName(child) == "Edit") continue;
    LONG style = GetWindowLongA(child, GWL_STYLE);
    RECT space = {0, 0, 0, 0};
    DrawTextA(dc, text.c_str(), -1, &space,
              DT_CALCRECT | DT_SINGLELINE |
                  (style & SS_NOPREFIX ? DT_NOPREFIX : 0));
    if (ClassName(child) == "Button" &&
        (style & BS_TYPEMASK) == BS_AUTORADIOBUTTON)
      space.right += circle;
    GetClientRect(child, &client);
    EXPECT_LE(space.right, client.right) << text << " at " << dpi;
    EXPECT_LE(space.bottom, client.bottom) << text << " at " << dpi;
  }
  SelectObject(dc, old);
  DeleteObject(font);
  ReleaseDC(nullptr, dc);
}

TEST_P(QuenbyDpiTest, LaidOutInDialogUnitsWithEveryTextWhole) {
  ExpectDialogUnitsAndWholeTexts(dialog_, 320, 221, GetParam());
  PostMessageA(dialog_, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
  HWND about = WaitForDialog(process_.dwProcessId, dialog_, "About Quenby");
  ASSERT_NE(nullptr, about);
  ExpectDialogUnitsAndWholeTexts(about, 235, 111, GetParam());
  PressKey(about, VK_ESCAPE);
}

TEST_P(QuenbyDpiTest, Screenshot) {
  if (GetParam() == 96) GTEST_SKIP() << "QuenbyUiTest.Screenshot has it";
  ShootBothDialogs("quenby-dialogs-" + std::to_string(GetParam()) + "dpi.bmp");
}

INSTANTIATE_TEST_SUITE_P(Screens, QuenbyDpiTest, ::testing::Values(96u, 144u));

}  // namespace
}  // namespace quenby
