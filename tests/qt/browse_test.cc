// The Browse button and its Open dialog, driven as a user would.
#include <QDir>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>

#include "dialog_fixture.h"
#include "modal_watcher.h"
#include "playlist_file_dialog.h"
#include "run_renaming.h"

using quenby::WriteFile;

namespace {

// What the Open dialog offered, and what became of a typed name.
struct SeenOpenDialog {
  bool shown = false;
  QString title;
  QStringList filters;
  bool open_mode = false;
  bool any_file = false;
  bool native = true;
  bool warned = false;  // A warning came up and the dialog stayed open.
};

// Types the full path `name` into the Open dialog's name field and presses
// Enter, or presses Escape when `name` is empty. A name that the dialog refuses
// is answered with OK on its warning, then the dialog is cancelled.
ModalWatcher* DriveOpenDialog(const QString& name, SeenOpenDialog* seen) {
  return new ModalWatcher([=](QWidget* window) {
    auto* dialog = qobject_cast<PlaylistFileDialog*>(window);
    if (dialog == nullptr) return false;
    seen->shown = true;
    seen->title = dialog->windowTitle();
    seen->filters = dialog->nameFilters();
    seen->open_mode = dialog->acceptMode() == QFileDialog::AcceptOpen;
    seen->any_file = dialog->fileMode() == QFileDialog::AnyFile;
    seen->native = !dialog->testOption(QFileDialog::DontUseNativeDialog);
    if (name.isEmpty()) {
      QTest::keyClick(dialog, Qt::Key_Escape);
      return true;
    }
    ModalWatcher warning([dialog](QWidget* box) {
      if (qobject_cast<QMessageBox*>(box) == nullptr ||
          box->parentWidget() != dialog)
        return false;
      QTest::keyClick(box, Qt::Key_Return);
      return true;
    });
    auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    edit->setFocus();
    // Typed in one piece: QTest has no keys for non-ASCII letters.
    edit->insert(name);
    QTest::keyClick(edit, Qt::Key_Return);
    if (dialog->isVisible()) {
      seen->warned = warning.done();
      dialog->reject();
    }
    return true;
  });
}

}  // namespace

class BrowseTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    fixture_ = std::make_unique<DialogFixture>();
    QVERIFY(fixture_->Ready());
  }
  void cleanup() { fixture_.reset(); }

  void cancelChangesNothing();
  void chosenNameFillsField_data();
  void chosenNameFillsField();
  void nameInMissingFolderIsRefused();
  void relativeEntriesResolveBesideTheChosenPlaylist();

 private:
  std::unique_ptr<DialogFixture> fixture_;
};

void BrowseTest::cancelChangesNothing() {
  fixture_->TypePath(QStringLiteral("typed before.m3u"));
  quenby::PlaylistPath = "earlier";
  SeenOpenDialog seen;
  std::unique_ptr<ModalWatcher> watcher(DriveOpenDialog(QString(), &seen));
  QTest::mouseClick(fixture_->Button(quenby::kIdBrowse), Qt::LeftButton);
  QVERIFY(watcher->done());
  QCOMPARE(seen.title, QStringLiteral("Open"));
  QCOMPARE(seen.filters, QStringList{QStringLiteral("MP3 Playlists (*.m3u)")});
  QVERIFY(seen.open_mode);
  QVERIFY(seen.any_file);
  QVERIFY(!seen.native);
  QCOMPARE(fixture_->PathField()->text(), QStringLiteral("typed before.m3u"));
  QCOMPARE(quenby::PlaylistPath, std::string("earlier"));
  QCOMPARE(QDir::currentPath(), QString::fromStdString(fixture_->dir()));
}

void BrowseTest::chosenNameFillsField_data() {
  QTest::addColumn<QString>("typed");
  QTest::addColumn<QString>("expected");
  // Both are relative to the test's folder; the full path is typed, since
  // the dialog opens where the last one was left.
  QTest::newRow("existing playlist") << "list.m3u"
                                     << "list.m3u";
  QTest::newRow("name that does not exist yet") << "new.m3u"
                                                << "new.m3u";
  QTest::newRow("no extension is added") << "plain"
                                         << "plain";
  QTest::newRow("in a subfolder") << "sub/inner.m3u"
                                  << "sub/inner.m3u";
  QTest::newRow("non-ASCII name") << "Müsik ö.m3u"
                                  << "Müsik ö.m3u";
}

void BrowseTest::chosenNameFillsField() {
  QFETCH(QString, typed);
  QFETCH(QString, expected);
  WriteFile("list.m3u", "");
  WriteFile("sub/inner.m3u", "");
  fixture_->TypePath(QStringLiteral("replaced"));

  SeenOpenDialog seen;
  const QDir dir(QString::fromStdString(fixture_->dir()));
  std::unique_ptr<ModalWatcher> watcher(DriveOpenDialog(dir.filePath(typed),
                                                        &seen));
  QTest::mouseClick(fixture_->Button(quenby::kIdBrowse), Qt::LeftButton);
  QVERIFY(watcher->done());

  const QString full = dir.filePath(expected);
  QCOMPARE(fixture_->PathField()->text(), full);
  QCOMPARE(QString::fromLocal8Bit(quenby::PlaylistPath.c_str()), full);
}

void BrowseTest::nameInMissingFolderIsRefused() {
  fixture_->TypePath(QStringLiteral("kept.m3u"));
  SeenOpenDialog seen;
  const QDir dir(QString::fromStdString(fixture_->dir()));
  std::unique_ptr<ModalWatcher>
      watcher(DriveOpenDialog(dir.filePath("nowhere/x.m3u"), &seen));
  QTest::mouseClick(fixture_->Button(quenby::kIdBrowse), Qt::LeftButton);
  QVERIFY(watcher->done());
  QVERIFY(seen.warned);
  QCOMPARE(fixture_->PathField()->text(), QStringLiteral("kept.m3u"));
  QVERIFY(quenby::PlaylistPath.empty());
  QCOMPARE(QDir::currentPath(), QString::fromStdString(fixture_->dir()));
}

// A playlist on a stick names its files relative to itself: after Browse,
// its entries and the log resolve in its folder, as on Windows.
void BrowseTest::relativeEntriesResolveBesideTheChosenPlaylist() {
  WriteFile("stick/Music/a.mp3", "a");
  WriteFile("stick/list.m3u", "Music\\a.mp3\r\nMusic\\gone.mp3\r\n");
  const QDir dir(QString::fromStdString(fixture_->dir()));
  SeenOpenDialog seen;
  std::unique_ptr<ModalWatcher>
      watcher(DriveOpenDialog(dir.filePath("stick/list.m3u"), &seen));
  QTest::mouseClick(fixture_->Button(quenby::kIdBrowse), Qt::LeftButton);
  QVERIFY(watcher->done());
  QCOMPARE(QDir::currentPath(), dir.filePath("stick"));

  QTest::mouseClick(fixture_->Button(quenby::kIdNumberMode), Qt::LeftButton);
  QCOMPARE(ClickForMessage(fixture_->Button(quenby::kIdRun)).text,
           QString(quenby::kMessageFailures));
  QVERIFY(quenby::Exists(fixture_->dir() + "/stick/Music/000001a.mp3"));
  QVERIFY(quenby::Exists(fixture_->dir() + "/stick/output.txt"));
  QVERIFY(!quenby::Exists(fixture_->dir() + "/output.txt"));
}

QTEST_MAIN(BrowseTest)
#include "browse_test.moc"
