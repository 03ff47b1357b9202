// What a run needs of the main dialog, done with Qt. The run calls it from
// a thread of its own; each call is carried to the dialog's thread, where
// the widgets live, and the run waits for its answer.
#ifndef QUENBY_UI_QT_QT_DIALOG_HOST_H_
#define QUENBY_UI_QT_QT_DIALOG_HOST_H_

#include <string>
#include <type_traits>

#include <QObject>
#include <QThread>
#include <QWidget>

#include "dialog_host.h"
#include "launcher_progress.h"

class QtDialogHost : public QObject, public quenby::DialogHost {
 public:
  // Made on the dialog's thread.
  explicit QtDialogHost(QWidget* dialog) : dialog_(dialog) {}

  void BeginBusyCursor() override;
  void EndBusyCursor() override;
  std::string ControlText(int id) override;
  int CheckedRadioButton(int first, int last) override;
  void ShowMessage(const std::string& text) override;
  // Does not wait: the run reads on while the task bar is told.
  void ShowProgress(uint64_t done, uint64_t total) override;

 private:
  // Runs `call` on the dialog's thread and returns what it returns.
  template <typename Call>
  std::invoke_result_t<Call> OnDialogThread(Call call) {
    if (QThread::currentThread() == thread()) return call();
    if constexpr (std::is_void_v<std::invoke_result_t<Call>>) {
      QMetaObject::invokeMethod(this, call, Qt::BlockingQueuedConnection);
    } else {
      std::invoke_result_t<Call> result{};
      QMetaObject::invokeMethod(this, call, Qt::BlockingQueuedConnection,
                                &result);
      return result;
    }
  }

  QWidget* dialog_;
  LauncherProgress progress_;
};

#endif  // QUENBY_UI_QT_QT_DIALOG_HOST_H_
