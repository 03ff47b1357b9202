#include "qt_dialog_host.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>

#include "dialog_items.h"

void QtDialogHost::BeginBusyCursor() {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  // The run holds the thread without processing events, so push the cursor
  // change out to the display now.
  QGuiApplication::sync();
}

void QtDialogHost::EndBusyCursor() {
  QApplication::restoreOverrideCursor();
}

std::string QtDialogHost::ControlText(int id) {
  return DialogItemText(dialog_, id).toLocal8Bit().toStdString();
}

int QtDialogHost::CheckedRadioButton(int first, int last) {
  for (int id = first; id <= last; ++id) {
    auto* button = qobject_cast<QAbstractButton*>(DialogItem(dialog_, id));
    if (button && button->isChecked()) return id;
  }
  return 0;
}

void QtDialogHost::ShowMessage(const std::string& text) {
  // The caption is the program file's name, as for every message box.
  QMessageBox box(QMessageBox::NoIcon, QCoreApplication::applicationName(),
                  QString::fromLocal8Bit(text.data(), static_cast<int>(text.size())),
                  QMessageBox::Ok, dialog_);
  box.setTextFormat(Qt::PlainText);
  box.exec();
}
