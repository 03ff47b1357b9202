// Modal windows block the test in their own event loop, so whatever must be
// done inside them (read a message box, drive the file dialog, pick a menu
// item) is done by a watcher that looks for them from a timer.
#ifndef QUENBY_TESTS_QT_MODAL_WATCHER_H_
#define QUENBY_TESTS_QT_MODAL_WATCHER_H_

#include <functional>

#include <QAbstractButton>
#include <QApplication>
#include <QCursor>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include "QuenbyDlg.h"

// Calls `handler` with each modal window or popup that shows up until it
// returns true; from then on the watcher does nothing.
class ModalWatcher {
 public:
  explicit ModalWatcher(std::function<bool(QWidget*)> handler)
      : handler_(std::move(handler)) {
    timer_.setInterval(5);
    timer_.callOnTimeout([this] {
      QWidget* window = QApplication::activePopupWidget();
      if (window == nullptr) window = QApplication::activeModalWidget();
      if (window == nullptr || !window->isVisible()) return;
      timer_.stop();
      if (handler_(window)) {
        done_ = true;
      } else {
        timer_.start();
      }
    });
    timer_.start();
  }

  bool done() const { return done_; }

 private:
  std::function<bool(QWidget*)> handler_;
  QTimer timer_;
  bool done_ = false;
};

inline bool WaitCursorOn() {
  const QCursor* cursor = QApplication::overrideCursor();
  return cursor != nullptr && cursor->shape() == Qt::WaitCursor;
}

// A message box as the user saw it.
struct SeenMessage {
  bool shown = false;
  QString caption;
  QString text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  int buttons = 0;
  QWidget* owner = nullptr;
  bool wait_cursor = false;  // The busy cursor was on while it showed.
};

// Clicks `button` and reads and closes, with its OK button, the message
// box that the click brings up, after calling `while_shown`; returns once
// the run it ended is over.
inline SeenMessage ClickForMessage(QAbstractButton* button,
                                   const std::function<void()>& while_shown =
                                       {}) {
  SeenMessage seen;
  ModalWatcher watcher([&](QWidget* window) {
    auto* box = qobject_cast<QMessageBox*>(window);
    if (box == nullptr) return false;
    seen.shown = true;
    seen.caption = box->windowTitle();
    seen.text = box->text();
    seen.icon = box->icon();
    seen.buttons = box->buttons().size();
    seen.owner = box->parentWidget();
    seen.wait_cursor = WaitCursorOn();
    if (while_shown) while_shown();
    QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
    return true;
  });
  QTest::mouseClick(button, Qt::LeftButton);
  auto* dialog = qobject_cast<CQuenbyDlg*>(button->window());
  // A box that never comes shows as not shown.
  (void)QTest::qWaitFor(
      [&] { return watcher.done() && !(dialog && dialog->IsRunning()); },
      30000);
  return seen;
}

#endif  // QUENBY_TESTS_QT_MODAL_WATCHER_H_
