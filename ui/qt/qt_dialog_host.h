// The four things a run needs of the main dialog, done with Qt.
#ifndef QUENBY_UI_QT_QT_DIALOG_HOST_H_
#define QUENBY_UI_QT_QT_DIALOG_HOST_H_

#include <string>

#include <QWidget>

#include "dialog_host.h"

class QtDialogHost : public quenby::DialogHost {
 public:
  explicit QtDialogHost(QWidget* dialog) : dialog_(dialog) {}

  void BeginBusyCursor() override;
  void EndBusyCursor() override;
  std::string ControlText(int id) override;
  int CheckedRadioButton(int first, int last) override;
  void ShowMessage(const std::string& text) override;

 private:
  QWidget* dialog_;
};

#endif  // QUENBY_UI_QT_QT_DIALOG_HOST_H_
