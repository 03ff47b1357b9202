// A run that takes its time: meanwhile the dialog's timers fire and it
// repaints, the busy cursor shows, and no input is acted on, neither then
// nor once the run is over; the run ends with exactly one message box.
#include <atomic>

#include <QMessageBox>
#include <QSemaphore>
#include <QTest>
#include <QTimer>

#include "dialog_fixture.h"
#include "memory_file_system.h"
#include "modal_watcher.h"

namespace {

// Renames wait until the test lets them go.
class BlockingFileSystem : public quenby::MemoryFileSystem {
 public:
  bool Rename(const std::string& from, const std::string& to) override {
    waiting = true;
    released_.acquire();
    released_.release();  // for the next one
    waiting = false;
    return MemoryFileSystem::Rename(from, to);
  }
  void Release() {
    if (released_.available() == 0) released_.release();
  }
  std::atomic<bool> waiting{false};

 private:
  QSemaphore released_;
};

class PaintCounter : public QObject {
 public:
  explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
  int paints = 0;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints;
    return false;
  }
};

// Every modal window and popup that comes up, each closed at once; message
// boxes with their OK button.
struct WindowCounter {
  int windows = 0;
  int boxes = 0;
  bool wait_cursor_in_box = false;
  ModalWatcher watcher{[this](QWidget* window) {
    ++windows;
    if (auto* box = qobject_cast<QMessageBox*>(window)) {
      ++boxes;
      wait_cursor_in_box = WaitCursorOn();
      QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
    } else {
      window->close();
    }
    return false;
  }};
};

// Through the window, as the window system delivers a click.
void ClickAt(CQuenbyDlg* dialog, QWidget* control,
             Qt::MouseButton button = Qt::LeftButton) {
  QTest::mouseClick(dialog->windowHandle(), button, {},
                    control->mapTo(dialog, control->rect().center()));
}

void Key(CQuenbyDlg* dialog, Qt::Key key,
         Qt::KeyboardModifiers modifiers = {}) {
  QTest::keyClick(dialog->windowHandle(), key, modifiers);
}

struct Input {
  const char* name;
  void (*give)(DialogFixture*);
};

// Each would change the dialog, end it or open a window, were it taken.
const Input kInputs[] = {
    {"click Run",
     [](DialogFixture* f) { ClickAt(f->dialog(), f->Button(quenby::kIdRun)); }},
    {"click Browse",
     [](DialogFixture* f) {
       ClickAt(f->dialog(), f->Button(quenby::kIdBrowse));
     }},
    {"click Exit",
     [](DialogFixture* f) {
       ClickAt(f->dialog(), f->Button(quenby::kIdExit));
     }},
    {"click the other mode",
     [](DialogFixture* f) {
       ClickAt(f->dialog(), f->Button(quenby::kIdRestoreMode));
     }},
    {"type in the field",
     [](DialogFixture* f) { Key(f->dialog(), Qt::Key_X); }},
    {"Enter", [](DialogFixture* f) { Key(f->dialog(), Qt::Key_Return); }},
    {"Escape", [](DialogFixture* f) { Key(f->dialog(), Qt::Key_Escape); }},
    {"Tab", [](DialogFixture* f) { Key(f->dialog(), Qt::Key_Tab); }},
    {"Menu key", [](DialogFixture* f) { Key(f->dialog(), Qt::Key_Menu); }},
    {"right-click",
     [](DialogFixture* f) {
       QTest::mouseClick(f->dialog()->windowHandle(), Qt::RightButton, {},
                         QPoint(f->dialog()->width() / 2,
                                f->dialog()->height() - 5));
     }},
    {"close event", [](DialogFixture* f) { f->dialog()->close(); }},
    {"close box",
     [](DialogFixture* f) { f->dialog()->windowHandle()->close(); }},
};

}  // namespace

class BusyRunTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();

  void aliveWhileRunWorks();
  void inputIgnored_data();
  void inputIgnored();

 private:
  // Starts a numbering run of one entry, whose rename waits for Release,
  // with the focus in the path field.
  bool StartBlockedRun();
  // The dialog as the run found it: open, path and mode kept, focus kept.
  void CheckUnchanged();
  // Lets the run go on and waits for its end.
  bool FinishRun();

  CQuenbyDlg* dialog() { return fixture_->dialog(); }
  std::unique_ptr<BlockingFileSystem> fs_;
  std::unique_ptr<DialogFixture> fixture_;
};

void BusyRunTest::init() {
  fs_ = std::make_unique<BlockingFileSystem>();
  fs_->files["list.m3u"] = "music\\a.mp3\n";
  fs_->files["music\\a.mp3"] = "a";
  fixture_ = std::make_unique<DialogFixture>(fs_.get());
  QVERIFY(fixture_->Ready());
}

void BusyRunTest::cleanup() {
  // A failed test may leave the run waiting; the dialog waits for its end.
  fs_->Release();
  fixture_.reset();
  fs_.reset();
}

bool BusyRunTest::StartBlockedRun() {
  fixture_->TypePath(QStringLiteral("list.m3u"));
  QTest::mouseClick(fixture_->Button(quenby::kIdNumberMode), Qt::LeftButton);
  fixture_->PathField()->setFocus();
  dialog()->setResult(-1);
  fixture_->Button(quenby::kIdRun)->click();
  return QTest::qWaitFor([this] { return fs_->waiting.load(); }, 10000);
}

void BusyRunTest::CheckUnchanged() {
  QVERIFY(dialog()->isVisible());
  QCOMPARE(dialog()->result(), -1);
  QCOMPARE(fixture_->PathField()->text(), QStringLiteral("list.m3u"));
  QVERIFY(fixture_->Button(quenby::kIdNumberMode)->isChecked());
  QVERIFY(!fixture_->Button(quenby::kIdRestoreMode)->isChecked());
  QCOMPARE(dialog()->focusWidget(), fixture_->PathField());
}

bool BusyRunTest::FinishRun() {
  fs_->Release();
  return QTest::qWaitFor([this] { return !dialog()->IsRunning(); }, 10000);
}

void BusyRunTest::aliveWhileRunWorks() {
  WindowCounter windows;
  QVERIFY(StartBlockedRun());
  QVERIFY(WaitCursorOn());

  int ticks = 0;
  QTimer timer;
  timer.callOnTimeout([&ticks] { ++ticks; });
  timer.start(5);
  QTRY_VERIFY(ticks >= 3);
  PaintCounter counter(dialog());
  dialog()->update();
  QTRY_VERIFY(counter.paints > 0);
  QVERIFY(fs_->waiting);
  QCOMPARE(windows.windows, 0);

  QVERIFY(FinishRun());
  QCOMPARE(windows.boxes, 1);
  QVERIFY(windows.wait_cursor_in_box);
  QVERIFY(QApplication::overrideCursor() == nullptr);
  QVERIFY(fs_->files.count("music\\000001a.mp3"));
}

void BusyRunTest::inputIgnored_data() {
  QTest::addColumn<int>("input");
  for (int i = 0; i < int(std::size(kInputs)); ++i)
    QTest::newRow(kInputs[i].name) << i;
}

void BusyRunTest::inputIgnored() {
  QFETCH(int, input);
  WindowCounter windows;
  QVERIFY(StartBlockedRun());

  kInputs[input].give(fixture_.get());
  QTest::qWait(30);
  CheckUnchanged();
  QVERIFY(fs_->waiting);
  QCOMPARE(windows.windows, 0);

  // Nothing held back comes out once the run is over.
  QVERIFY(FinishRun());
  QTest::qWait(30);
  CheckUnchanged();
  QCOMPARE(windows.windows, 1);
  QCOMPARE(windows.boxes, 1);
}

QTEST_MAIN(BusyRunTest)
#include "busy_run_test.moc"
