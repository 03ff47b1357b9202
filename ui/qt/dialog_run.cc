#include "dialog_run.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

#include "linux_file_system.h"
#include "run_renaming.h"

DialogRun::DialogRun(QWidget* dialog, quenby::FileSystem* fs)
    : blocker_(dialog), host_(dialog), fs_(fs) {}

DialogRun::~DialogRun() {
  while (!wait(QDeadlineTimer(10))) QCoreApplication::processEvents();
}

void DialogRun::run() {
  if (fs_ != nullptr) {
    quenby::RunRenaming(&host_, fs_);
    return;
  }
  quenby::LinuxFileSystem disk;
  quenby::RunRenaming(&host_, &disk);
}
