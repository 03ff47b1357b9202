// The application object: start-up runs the main dialog, and when it ends
// the program ends.
#ifndef QUENBY_UI_QT_QUENBY_H_
#define QUENBY_UI_QT_QUENBY_H_

#include <QWidget>

class CQuenbyApp {
 public:
  // Runs the main dialog modally. Always false: there is no message loop
  // to enter once the dialog has ended.
  bool InitInstance();

  // The main dialog while it runs, else null.
  QWidget* m_pMainWnd = nullptr;
};

// Starts Qt with the program's own name and nothing of its command line,
// runs `app` and returns the exit status.
int RunApplication(CQuenbyApp* app, const char* program_path);

#endif  // QUENBY_UI_QT_QUENBY_H_
