// A main dialog shown on screen, in a fresh current directory (the log and
// relative playlist entries live there), with its controls found by id.
#ifndef QUENBY_TESTS_QT_DIALOG_FIXTURE_H_
#define QUENBY_TESTS_QT_DIALOG_FIXTURE_H_

#include <memory>

#include <QAbstractButton>
#include <QLineEdit>
#include <QTest>

#include "QuenbyDlg.h"
#include "dialog_host.h"
#include "dialog_items.h"
#include "file_system.h"
#include "run_state.h"
#include "temp_dir.h"

class DialogFixture {
 public:
  // Runs go through `fs` when given, else to the disk.
  explicit DialogFixture(quenby::FileSystem* fs = nullptr)
      : dialog_(new CQuenbyDlg(nullptr, fs)) {
    quenby::PlaylistPath.clear();
    dialog_->show();
    dialog_->activateWindow();
  }

  // True once the dialog is on screen and has the keyboard.
  bool Ready() { return QTest::qWaitForWindowActive(dialog_.get()); }

  CQuenbyDlg* dialog() { return dialog_.get(); }
  const std::string& dir() const { return temp_.path(); }

  QAbstractButton* Button(int id) {
    return qobject_cast<QAbstractButton*>(DialogItem(dialog_.get(), id));
  }
  QLineEdit* PathField() {
    return qobject_cast<QLineEdit*>(DialogItem(dialog_.get(),
                                               quenby::kIdPathField));
  }

  // Types `path` into the emptied path field, as a user would.
  void TypePath(const QString& path) {
    PathField()->clear();
    QTest::keyClicks(PathField(), path);
  }

 private:
  quenby::TempDir temp_;
  std::unique_ptr<CQuenbyDlg> dialog_;
};

#endif  // QUENBY_TESTS_QT_DIALOG_FIXTURE_H_
