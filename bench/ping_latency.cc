// How long the real dialog keeps the window manager waiting while it works:
// shows the Qt dialog on the X display, starts a numbering run of a tree of
// real files, and from a connection of its own sends the window a
// _NET_WM_PING every 100 ms, as window managers do, timing each answer.
// Prints the longest wait, and the longest gap of a 10 ms timer on the
// dialog's thread; with "engine" after the count, the same run without the
// dialog, on the main thread, to compare the times. Run it under Xvfb:
//   xvfb-run -a env QT_QPA_PLATFORM=xcb build/bench/ping_latency [entries
//   [engine]]
#include <stdio.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <string>
#include <thread>

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QTimer>

#include "QuenbyDlg.h"
#include "dialog_host.h"
#include "dialog_items.h"
#include "file_tree.h"
#include "headless_dialog.h"
#include "linux_file_system.h"
#include "playlist_text.h"
#include "run_renaming.h"
#include "wm_ping.h"

namespace {

// CPU seconds of the whole process so far, every thread's.
double ProcessCpuSeconds() {
  rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
  const uint32_t entries = argc > 1 ? static_cast<uint32_t>(atol(argv[1]))
                                    : 1000000;
  char folder[] = "/tmp/quenby-ping-XXXXXX";
  if (mkdtemp(folder) == nullptr || chdir(folder) != 0) return 1;
  fprintf(stderr, "making %u files in %s\n", entries, folder);
  if (!quenby::CreateFileTree("tree", entries) || chdir("tree") != 0) return 1;
  std::ofstream("../list.m3u", std::ios::binary)
      << quenby::PlaylistText(entries);
  sync();

  if (argc > 2 && std::string(argv[2]) == "engine") {
    quenby::LinuxFileSystem fs;
    quenby::HeadlessDialog headless("../list.m3u", quenby::kIdNumberMode);
    QElapsedTimer wall;
    wall.start();
    const double cpu = ProcessCpuSeconds();
    quenby::RunRenaming(&headless, &fs);
    printf(
        "entries %u without the dialog: run %.2f s, CPU %.2f s, message "
        "\"%s\"\n",
        entries, wall.nsecsElapsed() / 1e9, ProcessCpuSeconds() - cpu,
        headless.message().c_str());
    if (chdir("/") == 0) quenby::RemoveTree(folder);
    return 0;
  }

  QApplication app(argc, argv);
  CQuenbyDlg dialog;
  dialog.show();
  SetDialogItemText(&dialog, quenby::kIdPathField,
                    QStringLiteral("../list.m3u"));
  qobject_cast<QAbstractButton*>(DialogItem(&dialog, quenby::kIdNumberMode))
      ->setChecked(true);

  std::atomic<bool> stop{false};
  quenby::PingFigures pings;
  std::thread pinger;
  QElapsedTimer run_time;
  double longest_gap_ms = 0;
  QElapsedTimer since_tick;
  QTimer ticks;
  ticks.callOnTimeout([&] {
    if (run_time.isValid() && since_tick.isValid())
      longest_gap_ms = std::max(longest_gap_ms,
                                since_tick.nsecsElapsed() / 1e6);
    since_tick.start();
  });
  ticks.start(10);

  // Once the window is mapped, the run starts and the pings with it; the
  // message box ends both.
  QString message;
  double run_seconds = 0;
  double run_cpu = 0;
  QTimer::singleShot(500, [&] {
    pinger = std::thread(quenby::PingWindow,
                         static_cast<unsigned long>(dialog.winId()), &stop,
                         &pings);
    run_time.start();
    run_cpu = ProcessCpuSeconds();
    qobject_cast<QAbstractButton*>(DialogItem(&dialog, quenby::kIdRun))
        ->click();
  });
  QTimer watch;
  watch.callOnTimeout([&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) return;
    run_seconds = run_time.nsecsElapsed() / 1e9;
    run_cpu = ProcessCpuSeconds() - run_cpu;
    stop = true;
    watch.stop();
    message = box->text();
    box->accept();
    QTimer::singleShot(100, &dialog, &QDialog::accept);
  });
  watch.start(5);
  dialog.exec();
  if (pinger.joinable()) pinger.join();

  const uint32_t numbered = quenby::CountEntryFiles(".", entries, true);
  printf("entries %u, numbered %u, run %.2f s, CPU %.2f s, message \"%s\"\n",
         entries, numbered, run_seconds, run_cpu,
         message.toLocal8Bit().constData());
  printf("pings sent %d, answered %d, longest wait %.1f ms\n", pings.sent,
         pings.answered, pings.longest_ms);
  printf("longest gap of a 10 ms timer on the dialog's thread: %.1f ms\n",
         longest_gap_ms);
  if (chdir("/") == 0) quenby::RemoveTree(folder);
  return numbered == std::min<uint32_t>(entries, 1000000) &&
                 pings.answered == pings.sent
             ? 0
             : 1;
}
