#include "qt_dialog_host.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>

#include "dialog_items.h"

void QtDialogHost::BeginBusyCursor() {
  OnDialogThread([] { QApplication::setOverrideCursor(Qt::WaitCursor); });
}

void QtDialogHost::EndBusyCursor() {
  OnDialogThread([] { QApplication::restoreOverrideCursor(); });
}

std::string QtDialogHost::ControlText(int id) {
  return OnDialogThread([this, id] {
    return DialogItemText(dialog_, id).toLocal8Bit().toStdString();
  });
}

int QtDialogHost::CheckedRadioButton(int first, int last) {
  return OnDialogThread([this, first, last] {
    for (int id = first; id <= last; ++id) {
      auto* button = qobject_cast<QAbstractButton*>(DialogItem(dialog_, id));
      if (button && button->isChecked()) return id;
    }
    return 0;
  });
}

void QtDialogHost::ShowMessage(const std::string& text) {
  OnDialogThread([this, &text] {
    // The run has ended: its progress leaves the task bar before the box
    // tells the outcome.
    progress_.Clear();
    // The caption is the program file's name, as for every message box.
    QMessageBox box(QMessageBox::NoIcon, QCoreApplication::applicationName(),
                    QString::fromLocal8Bit(text.data(),
                                           static_cast<int>(text.size())),
                    QMessageBox::Ok, dialog_);
    box.setTextFormat(Qt::PlainText);
    box.exec();
  });
}

void QtDialogHost::ShowProgress(uint64_t done, uint64_t total) {
  QMetaObject::invokeMethod(
      this, [this, done, total] { progress_.Show(done, total); },
      Qt::QueuedConnection);
}
