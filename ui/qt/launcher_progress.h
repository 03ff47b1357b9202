// A run's progress on the task bar, through the launcher-entry signal that
// KDE Plasma's task manager and Ubuntu's dock read.
#ifndef QUENBY_UI_QT_LAUNCHER_PROGRESS_H_
#define QUENBY_UI_QT_LAUNCHER_PROGRESS_H_

#include <cstdint>
#include <optional>

#include <QDBusConnection>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

class LauncherProgress : public QObject {
 public:
  explicit LauncherProgress(QObject* parent = nullptr);

  // `done` of `total`: sent at once when it is the whole, else at most
  // about ten times a second (the latest share wins).
  void Show(uint64_t done, uint64_t total);

  // Takes the progress off the task bar, if it was put there.
  void Clear();

 private:
  void Send(double progress, bool visible);

  std::optional<QDBusConnection> bus_;  // Looked for at the first send.
  QElapsedTimer since_sent_;
  QTimer pending_;
  double latest_ = 0;
  bool visible_ = false;
};

#endif  // QUENBY_UI_QT_LAUNCHER_PROGRESS_H_
