#include "Quenby.h"

#include <commctrl.h>
#include <objbase.h>

#include "QuenbyDlg.h"

CQuenbyApp theApp;

bool CQuenbyApp::InitInstance() {
  // The manifest asks for the current common controls; this loads them.
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);

  // The task bar's progress is a COM object, made on this thread; where COM
  // cannot start, the dialog works without it.
  HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  {
    CQuenbyDlg dlg;
    dlg.DoModal();  // Whatever its result, the program ends with the dialog.
  }
  if (SUCCEEDED(com)) CoUninitialize();
  return false;
}

std::string CQuenbyApp::AppName() const {
  char path[MAX_PATH + 1] = "";
  GetModuleFileNameA(m_hInstance, path, MAX_PATH);
  std::string name = path;
  size_t slash = name.find_last_of("\\/");
  if (slash != std::string::npos) name.erase(0, slash + 1);
  size_t dot = name.rfind('.');
  if (dot != std::string::npos) name.erase(dot);
  return name;
}

// The command line is not read: arguments change nothing.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  theApp.m_hInstance = instance;
  theApp.InitInstance();
  return 0;
}
