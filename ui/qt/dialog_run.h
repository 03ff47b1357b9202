// One run of the renaming, on a thread of its own so that the dialog keeps
// repainting and answering the desktop while it works. Until the run has
// ended the dialog acts on no input: not then and not afterwards.
#ifndef QUENBY_UI_QT_DIALOG_RUN_H_
#define QUENBY_UI_QT_DIALOG_RUN_H_

#include <QThread>
#include <QWidget>

#include "file_system.h"
#include "input_blocker.h"
#include "qt_dialog_host.h"

class DialogRun : public QThread {
 public:
  // A run on `dialog` through `fs`, or through the disk's own file system
  // when `fs` is null; the dialog takes no input from now on.
  DialogRun(QWidget* dialog, quenby::FileSystem* fs);
  // Waits for the run to end, serving its calls to the dialog meanwhile.
  ~DialogRun() override;

 protected:
  void run() override;

 private:
  InputBlocker blocker_;
  QtDialogHost host_;
  quenby::FileSystem* fs_;
};

#endif  // QUENBY_UI_QT_DIALOG_RUN_H_
