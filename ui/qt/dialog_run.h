// One run of the renaming, on a thread of its own so that the dialog keeps
// repainting and answering the desktop while it works. Until the run has
// ended the dialog acts on no input: not then and not afterwards.
#ifndef QUENBY_UI_QT_DIALOG_RUN_H_
#define QUENBY_UI_QT_DIALOG_RUN_H_

#include <memory>

#include <QObject>
#include <QThread>
#include <QWidget>

#include "file_system.h"
#include "input_blocker.h"
#include "qt_dialog_host.h"

class DialogRun : public QObject {
  Q_OBJECT

 public:
  // Starts the run on `dialog` through `fs`, or through the disk's own
  // file system when `fs` is null.
  DialogRun(QWidget* dialog, quenby::FileSystem* fs);
  // Waits for the run to end, serving its calls to the dialog meanwhile.
  ~DialogRun() override;

 signals:
  // On the dialog's thread, once the run has returned.
  void ended();

 private:
  InputBlocker blocker_;
  QtDialogHost host_;
  std::unique_ptr<QThread> thread_;
};

#endif  // QUENBY_UI_QT_DIALOG_RUN_H_
