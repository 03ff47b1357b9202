// Start-up: the application object runs the main dialog and ends with it,
// and the program itself ignores its arguments and fails cleanly without a
// display.
#include <QProcess>
#include <QTest>

#include "Quenby.h"
#include "QuenbyDlg.h"
#include "dialog_host.h"
#include "dialog_items.h"
#include "modal_watcher.h"
#include "run_state.h"

class StartupTest : public QObject {
  Q_OBJECT

 private slots:
  void initInstanceRunsDialogModally();
  void noDisplay_data();
  void noDisplay();
};

void StartupTest::initInstanceRunsDialogModally() {
  CQuenbyApp app;
  bool was_main_window = false;
  bool path_empty = false;
  ModalWatcher watcher([&](QWidget* window) {
    auto* dialog = qobject_cast<CQuenbyDlg*>(window);
    if (dialog == nullptr) return false;
    was_main_window = app.m_pMainWnd == dialog;
    path_empty = quenby::PlaylistPath.empty() &&
                 DialogItemText(dialog, quenby::kIdPathField).isEmpty();
    QTest::keyClick(dialog, Qt::Key_Escape);
    return true;
  });
  QCOMPARE(app.InitInstance(), false);
  QVERIFY(watcher.done());
  QVERIFY(was_main_window);
  QVERIFY(path_empty);
  QVERIFY(app.m_pMainWnd == nullptr);
}

void StartupTest::noDisplay_data() {
  QTest::addColumn<QStringList>("arguments");
  QTest::newRow("no arguments") << QStringList{};
  // Were Qt's own options read, these would start the dialog elsewhere or
  // print help instead.
  QTest::newRow("Qt platform option") << QStringList{"-platform", "offscreen"};
  QTest::newRow("help and files")
      << QStringList{"--help", "list.m3u", "-style", "fusion"};
}

void StartupTest::noDisplay() {
  QFETCH(QStringList, arguments);
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.remove(QStringLiteral("DISPLAY"));
  env.remove(QStringLiteral("WAYLAND_DISPLAY"));
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
  QProcess program;
  program.setProcessEnvironment(env);
  program.start(QStringLiteral(QUENBY_PROGRAM), arguments);
  if (!program.waitForFinished(30000)) {
    program.kill();
    program.waitForFinished();
    QFAIL("the program kept running");
  }
  QCOMPARE(program.exitStatus(), QProcess::NormalExit);
  QCOMPARE(program.exitCode(), 1);
  QCOMPARE(program.readAllStandardOutput(), QByteArray());
  const QByteArray error = program.readAllStandardError();
  QCOMPARE(error.count('\n'), 1);
  QVERIFY2(error.startsWith("Quenby: no display"), error);
}

QTEST_MAIN(StartupTest)
#include "startup_test.moc"
