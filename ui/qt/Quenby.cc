#include "Quenby.h"

#include <stdio.h>
#include <unistd.h>

#include <QApplication>
#include <QFileInfo>

#include "QuenbyDlg.h"

bool CQuenbyApp::InitInstance() {
  CQuenbyDlg dlg;
  m_pMainWnd = &dlg;
  dlg.exec();
  m_pMainWnd = nullptr;
  return false;
}

namespace {

// Qt ends a program that finds no display with abort() after several lines
// of detail; while it starts, any such end is told in one line instead.
void StartupMessageHandler(QtMsgType type, const QMessageLogContext&,
                           const QString&) {
  if (type != QtFatalMsg) return;
  fputs("Quenby: no display to show the dialog on (X11 or Wayland)\n", stderr);
  _exit(1);
}

}  // namespace

int RunApplication(CQuenbyApp* app, const char* program_path) {
  // Qt reads its own options from the command line; it is given none, so
  // that starting with arguments is the same as starting without.
  static char program[4096];
  snprintf(program, sizeof program, "%s",
           program_path ? program_path : "Quenby");
  static int qt_argc = 1;
  static char* qt_argv[] = {program, nullptr};

  QtMessageHandler previous = qInstallMessageHandler(StartupMessageHandler);
  QApplication application(qt_argc, qt_argv);
  qInstallMessageHandler(previous);

  // Every message box is captioned with the program file's name without
  // its extension.
  QApplication::setApplicationName(
      QFileInfo(QApplication::applicationFilePath()).completeBaseName());
  QApplication::setApplicationVersion(QStringLiteral("2.0.0.1"));
  QGuiApplication::setDesktopFileName(QStringLiteral("Quenby"));

  app->InitInstance();
  return 0;
}
