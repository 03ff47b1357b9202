#include "launcher_progress.h"

#include <QDBusMessage>
#include <QVariantMap>

namespace {

constexpr int kIntervalMs = 100;

}  // namespace

LauncherProgress::LauncherProgress(QObject* parent) : QObject(parent) {
  pending_.setSingleShot(true);
  pending_.callOnTimeout(this, [this] { Send(latest_, true); });
}

void LauncherProgress::Show(uint64_t done, uint64_t total) {
  latest_ = total > 0 ? static_cast<double>(done) / static_cast<double>(total)
                      : 0.0;
  const qint64 waited = since_sent_.isValid() ? since_sent_.elapsed()
                                              : kIntervalMs;
  if (done >= total || waited >= kIntervalMs) {
    pending_.stop();
    Send(latest_, true);
  } else if (!pending_.isActive()) {
    pending_.start(static_cast<int>(kIntervalMs - waited));
  }
}

void LauncherProgress::Clear() {
  pending_.stop();
  if (visible_) Send(0.0, false);
}

void LauncherProgress::Send(double progress, bool visible) {
  // Without a session bus there is no task bar to tell; that is no fault.
  if (!bus_) bus_ = QDBusConnection::sessionBus();
  since_sent_.start();
  if (!bus_->isConnected()) return;
  // The dock matches the signal to the desktop entry the package installs;
  // the object path is only the sender's name for it.
  QDBusMessage update = QDBusMessage::createSignal(
      QStringLiteral("/com/canonical/unity/launcherentry/Quenby"),
      QStringLiteral("com.canonical.Unity.LauncherEntry"),
      QStringLiteral("Update"));
  update << QStringLiteral("application://Quenby.desktop")
         << QVariantMap{{QStringLiteral("progress"), progress},
                        {QStringLiteral("progress-visible"), visible}};
  bus_->send(update);
  visible_ = visible;
}
