// Runs started from the dialog: every outcome, what the message box looks
// like, and what the dialog keeps between runs.
#include <QCoreApplication>
#include <QMessageBox>
#include <QTest>

#include "dialog_fixture.h"
#include "modal_watcher.h"
#include "run_renaming.h"

using quenby::Exists;
using quenby::ReadFile;
using quenby::WriteFile;

class RunTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    fixture_ = std::make_unique<DialogFixture>();
    QVERIFY(fixture_->Ready());
  }
  void cleanup() { fixture_.reset(); }

  void outcomes_data();
  void outcomes();
  void numberThenRestoreKeepsPathAndMode();

 private:
  std::unique_ptr<DialogFixture> fixture_;
};

void RunTest::outcomes_data() {
  QTest::addColumn<QString>("path");
  QTest::addColumn<int>("mode");  // 0 for none
  QTest::addColumn<QString>("message");
  QTest::addColumn<bool>("logKept");
  QTest::addColumn<int>("logLines");

  // The playlist in each case is list.m3u, naming music\a.mp3 (there) and
  // music\gone.mp3 (not there).
  QTest::newRow("empty path")
      << "" << 0 << quenby::kMessageNotReadable << true << 1;
  QTest::newRow("missing path checked before mode")
      << "nothing.m3u" << 0 << quenby::kMessageNotReadable << true << 1;
  QTest::newRow("no mode") << "ok.m3u" << 0 << quenby::kMessageNoMode << true
                           << 1;
  QTest::newRow("a folder is no playlist")
      << "music" << int{quenby::kIdNumberMode} << quenby::kMessageCannotOpen
      << true << 1;
  QTest::newRow("success") << "ok.m3u" << int{quenby::kIdNumberMode}
                           << quenby::kMessageSuccess << false << 0;
  QTest::newRow("failure") << "bad.m3u" << int{quenby::kIdNumberMode}
                           << quenby::kMessageFailures << true << 4;
  QTest::newRow("restore of unnumbered files fails")
      << "ok.m3u" << int{quenby::kIdRestoreMode} << quenby::kMessageFailures
      << true << 4;
}

void RunTest::outcomes() {
  QFETCH(QString, path);
  QFETCH(int, mode);
  QFETCH(QString, message);
  QFETCH(bool, logKept);
  QFETCH(int, logLines);

  WriteFile("music/a.mp3", "a");
  WriteFile("ok.m3u", "#EXTM3U\r\nmusic\\a.mp3\r\n");
  WriteFile("bad.m3u", "music\\a.mp3\nmusic\\gone.mp3\n");
  fixture_->TypePath(path);
  if (mode != 0) QTest::mouseClick(fixture_->Button(mode), Qt::LeftButton);

  const SeenMessage seen = ClickForMessage(fixture_->Button(quenby::kIdRun));
  QVERIFY(seen.shown);
  QCOMPARE(seen.text, message);
  QCOMPARE(seen.caption, QCoreApplication::applicationName());
  QCOMPARE(seen.icon, QMessageBox::NoIcon);
  QCOMPARE(seen.buttons, 1);
  QCOMPARE(seen.owner, fixture_->dialog());
  QVERIFY(seen.wait_cursor);
  QVERIFY(QApplication::overrideCursor() == nullptr);
  QVERIFY(fixture_->dialog()->isVisible());

  QCOMPARE(Exists("output.txt"), logKept);
  if (logKept) {
    const QString log = QString::fromStdString(ReadFile("output.txt"));
    QCOMPARE(log.count(QStringLiteral("\r\n")), logLines);
  }
}

void RunTest::numberThenRestoreKeepsPathAndMode() {
  WriteFile("music/a.mp3", "a");
  WriteFile("music/b.mp3", "b");
  WriteFile("list.m3u", "music\\a.mp3\nmusic\\b.mp3\n");
  fixture_->TypePath(QStringLiteral("list.m3u"));

  QAbstractButton* number_mode = fixture_->Button(quenby::kIdNumberMode);
  QAbstractButton* restore_mode = fixture_->Button(quenby::kIdRestoreMode);
  QTest::mouseClick(number_mode, Qt::LeftButton);
  QCOMPARE(ClickForMessage(fixture_->Button(quenby::kIdRun)).text,
           QString(quenby::kMessageSuccess));
  QVERIFY(Exists("music/000001a.mp3"));
  QVERIFY(Exists("music/000002b.mp3"));
  QVERIFY(!Exists("output.txt"));
  QCOMPARE(fixture_->PathField()->text(), QStringLiteral("list.m3u"));
  QCOMPARE(quenby::PlaylistPath, std::string("list.m3u"));
  QVERIFY(number_mode->isChecked());

  // Checking the other button clears the first; clicking it again keeps it.
  QTest::mouseClick(restore_mode, Qt::LeftButton);
  QTest::mouseClick(restore_mode, Qt::LeftButton);
  QVERIFY(restore_mode->isChecked());
  QVERIFY(!number_mode->isChecked());
  QCOMPARE(ClickForMessage(fixture_->Button(quenby::kIdRun)).text,
           QString(quenby::kMessageSuccess));
  QVERIFY(Exists("music/a.mp3"));
  QVERIFY(Exists("music/b.mp3"));
  QVERIFY(restore_mode->isChecked());
  QCOMPARE(fixture_->PathField()->text(), QStringLiteral("list.m3u"));
}

QTEST_MAIN(RunTest)
#include "run_test.moc"
