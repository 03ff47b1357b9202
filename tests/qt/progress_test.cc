// The run's progress on the task bar: the launcher-entry signal that docks
// read rises to the whole playlist and is cleared while the message box is
// up; without a session bus a run goes as ever and nothing is said of it.
#include <QDBusConnection>
#include <QRegularExpression>
#include <QTest>

#include "dialog_fixture.h"
#include "memory_file_system.h"
#include "modal_watcher.h"
#include "run_renaming.h"

namespace {

struct Update {
  QString app;
  double progress;
  bool visible;
};

}  // namespace

class ProgressTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup() { fixture_.reset(); }

  // Run on a private session bus.
  void riseAndClearOnBus();
  // Run with no session bus.
  void quietWithoutBus();

 public slots:
  void OnUpdate(const QString& app, const QVariantMap& properties) {
    updates_.push_back({app, properties.value("progress", -1.0).toDouble(),
                        properties.value("progress-visible").toBool()});
  }

 private:
  // Numbers a playlist of many entries and returns the message; `while_box_up`
  // runs while its box shows.
  QString Run(const std::function<void()>& while_box_up = {}) {
    fixture_->TypePath(QStringLiteral("list.m3u"));
    QTest::mouseClick(fixture_->Button(quenby::kIdNumberMode), Qt::LeftButton);
    return ClickForMessage(fixture_->Button(quenby::kIdRun), while_box_up).text;
  }

  quenby::MemoryFileSystem fs_;
  std::unique_ptr<DialogFixture> fixture_;
  std::vector<Update> updates_;
};

void ProgressTest::init() {
  fs_ = quenby::MemoryFileSystem();
  std::string playlist;
  for (int i = 0; i < 5000; ++i)
    playlist += "music\\" + std::to_string(i) + ".mp3\n";
  fs_.files["list.m3u"] = playlist;
  fs_.rename_does_nothing = true;
  fs_.record_renames = false;
  fixture_ = std::make_unique<DialogFixture>(&fs_);
  QVERIFY(fixture_->Ready());
}

void ProgressTest::riseAndClearOnBus() {
  if (!QDBusConnection::sessionBus().isConnected())
    QSKIP("needs a session bus");
  // A connection of its own, as a dock would listen.
  QDBusConnection dock =
      QDBusConnection::connectToBus(QDBusConnection::SessionBus,
                                    QStringLiteral("dock"));
  QVERIFY(dock.connect(QString(), QString(),
                       QStringLiteral("com.canonical.Unity.LauncherEntry"),
                       QStringLiteral("Update"), this,
                       SLOT(OnUpdate(QString, QVariantMap))));

  bool cleared_while_box_up = false;
  const QString message = Run([&] {
    cleared_while_box_up = QTest::qWaitFor(
        [this] { return !updates_.empty() && !updates_.back().visible; },
        10000);
  });
  QCOMPARE(message, QString(quenby::kMessageSuccess));
  QVERIFY(cleared_while_box_up);

  QTest::qWait(50);
  QVERIFY(updates_.size() >= 2);
  double last = 0;
  for (size_t i = 0; i + 1 < updates_.size(); ++i) {
    QCOMPARE(updates_[i].app, QStringLiteral("application://Quenby.desktop"));
    QVERIFY(updates_[i].visible);
    QVERIFY(updates_[i].progress >= last);
    last = updates_[i].progress;
  }
  QCOMPARE(last, 1.0);
  QVERIFY(!updates_.back().visible);
  QDBusConnection::disconnectFromBus(QStringLiteral("dock"));
}

void ProgressTest::quietWithoutBus() {
  QTest::failOnWarning(QRegularExpression(QStringLiteral("(?i)d-?bus")));
  if (QDBusConnection::sessionBus().isConnected())
    QSKIP("needs no session bus");
  QCOMPARE(Run(), QString(quenby::kMessageSuccess));
}

QTEST_MAIN(ProgressTest)
#include "progress_test.moc"
