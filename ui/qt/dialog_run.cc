#include "dialog_run.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

#include "posix_file_system.h"
#include "run_renaming.h"

DialogRun::DialogRun(QWidget* dialog, quenby::FileSystem* fs)
    : blocker_(dialog), host_(dialog) {
  thread_.reset(QThread::create([this, fs] {
    if (fs != nullptr) {
      quenby::RunRenaming(&host_, fs);
      return;
    }
    quenby::PosixFileSystem disk;
    quenby::RunRenaming(&host_, &disk);
  }));
  connect(thread_.get(), &QThread::finished, this, &DialogRun::ended);
  thread_->start();
}

DialogRun::~DialogRun() {
  while (!thread_->wait(QDeadlineTimer(10))) QCoreApplication::processEvents();
}
