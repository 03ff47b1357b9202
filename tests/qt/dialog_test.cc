// The main dialog's look, keys and window menu, and the About box.
#include <QAccessible>
#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QTest>

#include "dialog_fixture.h"
#include "dialog_units.h"
#include "modal_watcher.h"
#include "resources.h"
#include "run_renaming.h"

namespace {

// Fails unless every text of `dialog` fits its control and every control
// lies inside the dialog.
void CheckNothingClipped(QWidget* dialog) {
  for (QWidget* control :
       dialog->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
    if (control->isWindow()) continue;
    const QByteArray name =
        control->metaObject()->className() + QByteArray(" ") +
        DialogItemText(dialog, control->property("dialogItemId").toInt())
            .toUtf8();
    QVERIFY2(dialog->rect().contains(control->geometry()), name);
    const QFontMetrics metrics(control->font());
    QVERIFY2(metrics.height() <= control->height(), name);
    if (auto* label = qobject_cast<QLabel*>(control)) {
      QVERIFY2(label->sizeHint().width() <= label->width(),
               label->text().toUtf8());
    } else if (auto* radio = qobject_cast<QRadioButton*>(control)) {
      QVERIFY2(radio->sizeHint().width() <= radio->width(),
               radio->text().toUtf8());
    } else if (auto* button = qobject_cast<QPushButton*>(control)) {
      const int margin = button->style()->pixelMetric(QStyle::PM_ButtonMargin,
                                                      nullptr, button);
      QVERIFY2(metrics.horizontalAdvance(button->text()) + margin <=
                   button->width(),
               button->text().toUtf8());
    }
  }
}

QString AccessibleName(QWidget* widget) {
  QAccessibleInterface* accessible =
      QAccessible::queryAccessibleInterface(widget);
  return accessible ? accessible->text(QAccessible::Name) : QString();
}

// Every name, description and value in the accessible tree below `root`.
QStringList AccessibleTexts(QAccessibleInterface* root) {
  QStringList texts;
  if (root == nullptr) return texts;
  for (QAccessible::Text kind :
       {QAccessible::Name, QAccessible::Description, QAccessible::Value})
    texts << root->text(kind);
  for (int i = 0; i < root->childCount(); ++i)
    texts << AccessibleTexts(root->child(i));
  return texts;
}

// What an open About box holds, and closes it with `key`.
struct SeenAbout {
  bool shown = false;
  QString title;
  QString version;
  bool ok_is_default = false;
  bool ok_has_focus = false;
};

ModalWatcher* WatchAbout(SeenAbout* seen, Qt::Key key,
                         const QString& screenshot = QString()) {
  return new ModalWatcher([=](QWidget* window) {
    // Keys go where the focus is, so wait until the box has it.
    auto* about = qobject_cast<CAboutDlg*>(window);
    if (about == nullptr || QApplication::activeWindow() != about) return false;
    seen->shown = true;
    seen->title = about->windowTitle();
    for (QLabel* label : about->findChildren<QLabel*>())
      if (!label->text().isEmpty()) seen->version = label->text();
    auto* ok = qobject_cast<QPushButton*>(DialogItem(about, kIdOk));
    seen->ok_is_default = ok != nullptr && ok->isDefault();
    seen->ok_has_focus = ok != nullptr && QApplication::focusWidget() == ok;
    if (!screenshot.isEmpty()) about->grab().save(screenshot);
    QTest::keyClick(about->windowHandle(), key);
    return true;
  });
}

}  // namespace

class DialogTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    fixture_ = std::make_unique<DialogFixture>();
    QVERIFY(fixture_->Ready());
  }
  void cleanup() { fixture_.reset(); }

  void startState();
  void fixedFrameAndIcon();
  void nothingClipped();
  void tabOrder();
  void endingKeys_data();
  void endingKeys();
  void enterInPathFieldEndsWithoutRun();
  void keysOnFocusedButtonClick_data();
  void keysOnFocusedButtonClick();
  void windowMenuOpens_data();
  void windowMenuOpens();
  void aboutFromMenu_data();
  void aboutFromMenu();
  void aboutCommandIsMasked();
  void closeItemEndsDialog();
  void droppedFileIsRefused();
  void accessibleNames();
  void messageBoxIsAccessible();
  void screenshots();

 private:
  CQuenbyDlg* dialog() { return fixture_->dialog(); }
  std::unique_ptr<DialogFixture> fixture_;
};

void DialogTest::startState() {
  QCOMPARE(dialog()->windowTitle(),
           QStringLiteral("Quenby Playlist Maker 2.0"));
  QCOMPARE(QApplication::focusWidget(), DialogItem(dialog(), quenby::kIdExit));
  QVERIFY(fixture_->PathField()->text().isEmpty());
  QVERIFY(quenby::PlaylistPath.empty());
  QVERIFY(!fixture_->Button(quenby::kIdNumberMode)->isChecked());
  QVERIFY(!fixture_->Button(quenby::kIdRestoreMode)->isChecked());
  QVERIFY(DialogItem(dialog(), 1) == nullptr);
  for (QPushButton* button : dialog()->findChildren<QPushButton*>())
    QVERIFY2(!button->isDefault() && !button->autoDefault(),
             button->text().toUtf8());
}

void DialogTest::fixedFrameAndIcon() {
  // At least as wide as the font's own units make it: a wide face widens
  // the units so that no text is clipped.
  const DialogUnits units(dialog()->font());
  QCOMPARE(dialog()->height(), units.Size(320, 221).height());
  QVERIFY(dialog()->width() >= units.Size(320, 221).width());
  QCOMPARE(dialog()->minimumSize(), dialog()->maximumSize());
  const Qt::WindowFlags flags = dialog()->windowFlags();
  QVERIFY(flags & Qt::WindowCloseButtonHint);
  QVERIFY(!(flags &
            (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
  QCOMPARE(dialog()->windowType(), Qt::Window);

  const QList<QSize> sizes = dialog()->windowIcon().availableSizes();
  QVERIFY(sizes.contains(QSize(32, 32)));
  QVERIFY(sizes.contains(QSize(16, 16)));
}

void DialogTest::nothingClipped() {
  CheckNothingClipped(dialog());
  CAboutDlg about(dialog());
  CheckNothingClipped(&about);
}

void DialogTest::tabOrder() {
  const int order[] = {quenby::kIdRun, quenby::kIdBrowse, quenby::kIdPathField,
                       quenby::kIdExit};
  for (int id : order) {
    QTest::keyClick(dialog()->windowHandle(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), DialogItem(dialog(), id));
  }
}

void DialogTest::endingKeys_data() {
  QTest::addColumn<QString>("how");
  QTest::addColumn<int>("result");
  QTest::newRow("Escape") << "escape" << int{QDialog::Rejected};
  QTest::newRow("Exit button") << "exit" << int{QDialog::Rejected};
  QTest::newRow("close box") << "close" << int{QDialog::Rejected};
  QTest::newRow("Enter in path field") << "enter" << int{QDialog::Accepted};
  QTest::newRow("keypad Enter in path field")
      << "keypad" << int{QDialog::Accepted};
}

void DialogTest::endingKeys() {
  QFETCH(QString, how);
  QFETCH(int, result);
  dialog()->setResult(-1);
  if (how == "escape") {
    QTest::keyClick(dialog()->windowHandle(), Qt::Key_Escape);
  } else if (how == "exit") {
    QTest::mouseClick(fixture_->Button(quenby::kIdExit), Qt::LeftButton);
  } else if (how == "close") {
    dialog()->close();
  } else {
    fixture_->PathField()->setFocus();
    QTest::keyClick(dialog()->windowHandle(),
                    how == "enter" ? Qt::Key_Return : Qt::Key_Enter,
                    how == "enter" ? Qt::NoModifier : Qt::KeypadModifier);
  }
  QVERIFY(!dialog()->isVisible());
  QCOMPARE(dialog()->result(), result);
}

void DialogTest::enterInPathFieldEndsWithoutRun() {
  quenby::WriteFile("music/a.mp3", "a");
  quenby::WriteFile("list.m3u", "music\\a.mp3\n");
  fixture_->TypePath(QStringLiteral("list.m3u"));
  QTest::mouseClick(fixture_->Button(quenby::kIdNumberMode), Qt::LeftButton);
  fixture_->PathField()->setFocus();
  QTest::keyClick(dialog()->windowHandle(), Qt::Key_Return);
  QCOMPARE(dialog()->result(), int{QDialog::Accepted});
  QVERIFY(quenby::Exists("music/a.mp3"));
  QVERIFY(!quenby::Exists("output.txt"));
  QVERIFY(quenby::PlaylistPath.empty());
}

void DialogTest::keysOnFocusedButtonClick_data() {
  QTest::addColumn<int>("key");
  QTest::newRow("Enter") << int{Qt::Key_Return};
  QTest::newRow("Space") << int{Qt::Key_Space};
}

void DialogTest::keysOnFocusedButtonClick() {
  QFETCH(int, key);
  DialogItem(dialog(), quenby::kIdRun)->setFocus();
  SeenMessage seen;
  ModalWatcher watcher([&seen](QWidget* window) {
    auto* box = qobject_cast<QMessageBox*>(window);
    if (box == nullptr) return false;
    seen.text = box->text();
    box->accept();
    return true;
  });
  QTest::keyClick(dialog()->windowHandle(), Qt::Key(key));
  QTRY_VERIFY(watcher.done());
  QCOMPARE(seen.text, QString(quenby::kMessageNotReadable));
  QVERIFY(dialog()->isVisible());
}

void DialogTest::windowMenuOpens_data() {
  QTest::addColumn<QString>("how");
  QTest::newRow("right-click") << "mouse";
  QTest::newRow("Shift+F10") << "shift-f10";
  QTest::newRow("Menu key") << "menu";
}

void DialogTest::windowMenuOpens() {
  QFETCH(QString, how);
  int menus = 0;
  QList<QAction*> actions;
  ModalWatcher watcher([&](QWidget* window) {
    auto* menu = qobject_cast<QMenu*>(window);
    if (menu == nullptr) return false;
    ++menus;
    actions = menu->actions();
    menu->close();
    return true;
  });
  QWindow* window = dialog()->windowHandle();
  if (how == "mouse") {
    // Below the Browse button, where there is no control.
    QTest::mouseClick(window, Qt::RightButton, {},
                      QPoint(dialog()->width() / 2, dialog()->height() - 5));
  } else if (how == "shift-f10") {
    QTest::keyClick(window, Qt::Key_F10, Qt::ShiftModifier);
  } else {
    QTest::keyClick(window, Qt::Key_Menu);
  }
  QTRY_VERIFY(watcher.done());
  QTest::qWait(20);
  QCOMPARE(menus, 1);
  QVERIFY(actions.size() >= 2);
  QVERIFY(actions[actions.size() - 2]->isSeparator());
  QCOMPARE(actions.last()->text(), QStringLiteral("&About Quenby..."));
  QCOMPARE(actions.last()->data().toUInt(), 0x0010u);
}

void DialogTest::aboutFromMenu_data() {
  QTest::addColumn<int>("key");
  QTest::newRow("closed with Enter") << int{Qt::Key_Return};
  QTest::newRow("closed with Escape") << int{Qt::Key_Escape};
}

void DialogTest::aboutFromMenu() {
  QFETCH(int, key);
  fixture_->TypePath(QStringLiteral("some.m3u"));
  QTest::mouseClick(fixture_->Button(quenby::kIdRestoreMode), Qt::LeftButton);

  // Twice, to see that each request builds a fresh box and leaves the
  // dialog as it was.
  for (int round = 0; round < 2; ++round) {
    SeenAbout seen;
    std::unique_ptr<ModalWatcher> about(WatchAbout(&seen, Qt::Key(key)));
    ModalWatcher menu([](QWidget* window) {
      auto* popup = qobject_cast<QMenu*>(window);
      if (popup == nullptr) return false;
      QTest::keyClick(popup, Qt::Key_A);  // the item's mnemonic
      return true;
    });
    QTest::keyClick(dialog()->windowHandle(), Qt::Key_Menu);
    QTRY_VERIFY(about->done());
    QCOMPARE(seen.title, QStringLiteral("About Quenby"));
    QCOMPARE(seen.version, QStringLiteral("Quenby Version 2.0"));
    QVERIFY(seen.ok_is_default);
    QVERIFY(seen.ok_has_focus);
    QTRY_VERIFY(dialog()->findChildren<CAboutDlg*>().isEmpty());
    QVERIFY(dialog()->isVisible());
    QCOMPARE(fixture_->PathField()->text(), QStringLiteral("some.m3u"));
    QVERIFY(fixture_->Button(quenby::kIdRestoreMode)->isChecked());
    QVERIFY(!fixture_->Button(quenby::kIdNumberMode)->isChecked());
  }
}

void DialogTest::aboutCommandIsMasked() {
  // The window system's low four bits do not change the command.
  SeenAbout seen;
  std::unique_ptr<ModalWatcher> about(WatchAbout(&seen, Qt::Key_Escape));
  dialog()->OnSysCommand(0x0010 | 0x000F);
  QVERIFY(about->done());

  SeenAbout other;
  std::unique_ptr<ModalWatcher> none(WatchAbout(&other, Qt::Key_Escape));
  dialog()->OnSysCommand(0x0020);
  QTest::qWait(30);
  QVERIFY(!other.shown);
  QVERIFY(dialog()->isVisible());
}

void DialogTest::closeItemEndsDialog() {
  ModalWatcher menu([](QWidget* window) {
    auto* popup = qobject_cast<QMenu*>(window);
    if (popup == nullptr) return false;
    QTest::keyClick(popup, Qt::Key_C);
    return true;
  });
  QTest::keyClick(dialog()->windowHandle(), Qt::Key_F10, Qt::ShiftModifier);
  QTRY_VERIFY(!dialog()->isVisible());
  QCOMPARE(dialog()->result(), int{QDialog::Rejected});
}

void DialogTest::droppedFileIsRefused() {
  // Qt hands a drop only to a widget that accepts drops, searching from the
  // one under the pointer up to the window; no widget of the dialog does.
  QList<QWidget*> widgets = dialog()->findChildren<QWidget*>();
  widgets << dialog();
  for (QWidget* widget : widgets)
    QVERIFY2(!widget->acceptDrops(), widget->metaObject()->className());
}

void DialogTest::accessibleNames() {
  const int ids[] = {quenby::kIdExit, quenby::kIdRun, quenby::kIdBrowse,
                     quenby::kIdNumberMode, quenby::kIdRestoreMode};
  for (int id : ids)
    QCOMPARE(AccessibleName(DialogItem(dialog(), id)),
             DialogItemText(dialog(), id));
  QCOMPARE(AccessibleName(fixture_->PathField()),
           QStringLiteral("Playlist Path:"));
}

void DialogTest::messageBoxIsAccessible() {
  QStringList texts;
  ModalWatcher watcher([&texts](QWidget* window) {
    auto* box = qobject_cast<QMessageBox*>(window);
    if (box == nullptr) return false;
    texts = AccessibleTexts(QAccessible::queryAccessibleInterface(box));
    box->accept();
    return true;
  });
  QTest::mouseClick(fixture_->Button(quenby::kIdRun), Qt::LeftButton);
  QTRY_VERIFY(watcher.done());
  QVERIFY2(texts.contains(QString(quenby::kMessageNotReadable)),
           texts.join('|').toUtf8());
}

void DialogTest::screenshots() {
  // Written for a reviewer to look at; not compared with anything.
  const QString dir = QStringLiteral(QUENBY_SCREENSHOT_DIR);
  fixture_->TypePath(QStringLiteral("/home/user/Music/Road trip.m3u"));
  QTest::mouseClick(fixture_->Button(quenby::kIdNumberMode), Qt::LeftButton);
  QVERIFY(dialog()->grab().save(dir + "/main_dialog.png"));

  SeenAbout seen;
  std::unique_ptr<ModalWatcher> about(WatchAbout(&seen, Qt::Key_Return,
                                                 dir + "/about_box.png"));
  dialog()->OnSysCommand(kIdmAboutBox);
  QVERIFY(about->done());
  QVERIFY(QFile::exists(dir + "/about_box.png"));
}

QTEST_MAIN(DialogTest)
#include "dialog_test.moc"
