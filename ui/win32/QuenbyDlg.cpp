#include "QuenbyDlg.h"

#include <commdlg.h>
#include <process.h>

#include <string>

#include "Quenby.h"
#include "dialog_host.h"
#include "resource.h"
#include "run_renaming.h"
#include "run_state.h"

static_assert(IDCANCEL == quenby::kIdExit && IDC_RUN == quenby::kIdRun &&
                  IDC_BROWSE == quenby::kIdBrowse &&
                  IDC_PATH == quenby::kIdPathField &&
                  IDC_NUMBER_MODE == quenby::kIdNumberMode &&
                  IDC_RESTORE_MODE == quenby::kIdRestoreMode,
              "the template and the engine name the controls alike");

CQuenbyDlg::CQuenbyDlg()
    : m_hIcon(LoadIcon(theApp.m_hInstance, MAKEINTRESOURCE(IDR_MAINFRAME))) {}

INT_PTR CQuenbyDlg::DoModal() {
  return DialogBoxParamA(theApp.m_hInstance,
                         MAKEINTRESOURCEA(IDD_QUENBY_DIALOG), nullptr,
                         DialogProc, reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK CQuenbyDlg::DialogProc(HWND hwnd, UINT message, WPARAM wParam,
                                        LPARAM lParam) {
  CQuenbyDlg* dlg =
      reinterpret_cast<CQuenbyDlg*>(GetWindowLongPtrA(hwnd, DWLP_USER));

  if (message == WM_INITDIALOG) {
    dlg = reinterpret_cast<CQuenbyDlg*>(lParam);
    SetWindowLongPtrA(hwnd, DWLP_USER, lParam);
    dlg->m_hWnd = hwnd;
    theApp.m_hMainWnd = hwnd;
    return dlg->OnInitDialog();
  }
  if (dlg == nullptr) return FALSE;  // Messages before WM_INITDIALOG

  // Not a constant, so not a case below: the shell's message that the
  // dialog's task-bar button is there (again, after the shell restarted).
  if (message == dlg->m_taskbarButtonCreated && message != 0) {
    dlg->m_host->AttachTaskbar();
    return TRUE;
  }

  switch (message) {
    case WM_SYSCOMMAND:
      // During a run neither the window menu nor Close (also Alt+F4) nor
      // About; the system's own commands (screen saver, monitor power, the
      // Start menu by Ctrl+Esc) pass as always.
      if (dlg->m_running) {
        switch (wParam & 0xFFF0) {
          case SC_CLOSE:
          case SC_KEYMENU:
          case SC_MOUSEMENU:
          case IDM_ABOUTBOX:
            return TRUE;
        }
      }
      return dlg->OnSysCommand(static_cast<UINT>(wParam), lParam);

    case WM_CLOSE:
      // The close box; the dialog's default would end it by IDCANCEL.
      return dlg->m_running;

    case WM_PAINT:
      return dlg->OnPaint();

    case WM_QUERYDRAGICON:
      return reinterpret_cast<INT_PTR>(dlg->OnQueryDragIcon());

    case WM_SETCURSOR:
      // A run holds the wait cursor until its message box is closed.
      if (dlg->m_host && dlg->m_host->busy()) {
        SetCursor(LoadCursor(nullptr, IDC_WAIT));
        SetWindowLongPtrA(hwnd, DWLP_MSGRESULT, TRUE);
        return TRUE;
      }
      return FALSE;

    case WM_COMMAND:
      // During a run no click, Enter or Escape counts, then or later.
      if (dlg->m_running) return TRUE;
      if (HIWORD(wParam) != BN_CLICKED) return FALSE;
      switch (LOWORD(wParam)) {
        case IDC_BROWSE:
          dlg->OnBrowse();
          return TRUE;
        case IDC_RUN:
          dlg->OnRun();
          return TRUE;
        case IDOK:      // Enter outside a push button
        case IDCANCEL:  // Exit, Escape, the close box
          EndDialog(hwnd, LOWORD(wParam));
          return TRUE;
      }
      return FALSE;

    // The run's calls, carried here from its thread.
    case WM_RUN_BUSY_CURSOR:
      dlg->m_host->SetBusyCursor(wParam != FALSE);
      return TRUE;

    case WM_RUN_CONTROL_TEXT:
      *reinterpret_cast<std::string*>(lParam) =
          dlg->m_host->ReadControlText(static_cast<int>(wParam));
      return TRUE;

    case WM_RUN_CHECKED_BUTTON:
      SetWindowLongPtrA(hwnd, DWLP_MSGRESULT,
                        dlg->m_host
                            ->FindCheckedButton(static_cast<int>(wParam),
                                                static_cast<int>(lParam)));
      return TRUE;

    case WM_RUN_SHOW_MESSAGE:
      dlg->m_host->ShowMessageBox(*reinterpret_cast<std::string*>(lParam));
      return TRUE;

    case WM_RUN_SHOW_PROGRESS:
      dlg->m_host->ShowTaskbarProgress(*reinterpret_cast<RunProgress*>(lParam));
      return TRUE;

    case WM_RUN_ENDED:
      dlg->OnRunEnded();
      return TRUE;

    case WM_DESTROY:
      theApp.m_hMainWnd = nullptr;
      return FALSE;
  }
  return FALSE;
}

BOOL CQuenbyDlg::OnInitDialog() {
  m_host = std::make_unique<Win32DialogHost>(m_hWnd, theApp.AppName());
  m_taskbarButtonCreated = RegisterWindowMessageA("TaskbarButtonCreated");

  HMENU sysMenu = GetSystemMenu(m_hWnd, FALSE);
  if (sysMenu != nullptr) {
    char about[256] = "";
    LoadStringA(theApp.m_hInstance, IDS_ABOUTBOX, about, sizeof about);
    if (about[0] != '\0') {
      AppendMenuA(sysMenu, MF_SEPARATOR, 0, nullptr);
      AppendMenuA(sysMenu, MF_STRING, IDM_ABOUTBOX, about);
    }
  }

  SendMessage(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
  SendMessage(m_hWnd, WM_SETICON, ICON_SMALL,
              reinterpret_cast<LPARAM>(m_hIcon));

  return TRUE;  // The focus goes to the first tab stop, Exit.
}

bool CQuenbyDlg::OnSysCommand(UINT nID, LPARAM) {
  if ((nID & 0xFFF0) == IDM_ABOUTBOX) {
    CAboutDlg dlgAbout;
    dlgAbout.DoModal();
    return true;
  }
  return false;  // Move, close and the like are the system's.
}

bool CQuenbyDlg::OnPaint() {
  if (!IsIconic(m_hWnd)) return false;

  PAINTSTRUCT paint;
  HDC dc = BeginPaint(m_hWnd, &paint);
  SendMessage(m_hWnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);

  // Centre the icon in the client rectangle.
  int cxIcon = GetSystemMetrics(SM_CXICON);
  int cyIcon = GetSystemMetrics(SM_CYICON);
  RECT rect;
  GetClientRect(m_hWnd, &rect);
  int x = (rect.right - rect.left - cxIcon + 1) / 2;
  int y = (rect.bottom - rect.top - cyIcon + 1) / 2;

  DrawIcon(dc, x, y, m_hIcon);
  EndPaint(m_hWnd, &paint);
  return true;
}

void CQuenbyDlg::OnBrowse() {
  char file[4096] = "";
  OPENFILENAMEA ofn = {};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = m_hWnd;
  ofn.lpstrFilter = "MP3 Playlists\0*.m3u\0";
  ofn.lpstrFile = file;
  ofn.nMaxFile = sizeof file;
  ofn.lpstrDefExt = "";
  // The file itself need not exist: the run checks it.
  ofn.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST;
  if (!GetOpenFileNameA(&ofn)) return;

  quenby::PlaylistPath = file;
  SetDlgItemTextA(m_hWnd, IDC_PATH, quenby::PlaylistPath.c_str());
}

void CQuenbyDlg::OnRun() {
  // Disabled, the window takes no input while its controls keep their look;
  // the dialog keeps answering the system meanwhile.
  m_running = true;
  m_focusBeforeRun = GetFocus();
  EnableWindow(m_hWnd, FALSE);
  m_runThread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, RunThread,
                                                        this, 0, nullptr));
  // Without a thread to be had the run still runs, here, as it used to.
  if (m_runThread == nullptr) RunThread(this);
}

unsigned __stdcall CQuenbyDlg::RunThread(void* dialog) {
  CQuenbyDlg* dlg = static_cast<CQuenbyDlg*>(dialog);
  quenby::RunRenaming(dlg->m_host.get(), &dlg->m_fileSystem);
  PostMessageA(dlg->m_hWnd, WM_RUN_ENDED, 0, 0);
  return 0;
}

void CQuenbyDlg::OnRunEnded() {
  // The run's thread is past its last call; input counts again only once
  // it has ended.
  if (m_runThread != nullptr) {
    WaitForSingleObject(m_runThread, INFINITE);
    CloseHandle(m_runThread);
    m_runThread = nullptr;
  }
  m_running = false;
  EnableWindow(m_hWnd, TRUE);
  if (GetActiveWindow() == m_hWnd && IsWindow(m_focusBeforeRun))
    SetFocus(m_focusBeforeRun);
}

INT_PTR CAboutDlg::DoModal() {
  return DialogBoxParamA(theApp.m_hInstance, MAKEINTRESOURCEA(IDD_ABOUTBOX),
                         theApp.m_hMainWnd, DialogProc, 0);
}

INT_PTR CALLBACK CAboutDlg::DialogProc(HWND hwnd, UINT message, WPARAM wParam,
                                       LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      return TRUE;  // The focus goes to OK.

    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
        EndDialog(hwnd, LOWORD(wParam));
        return TRUE;
      }
      return FALSE;
  }
  return FALSE;
}
