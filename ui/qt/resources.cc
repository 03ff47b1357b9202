#include "resources.h"

QString LoadResourceString(int id) {
  switch (id) {
    case kIdAboutString:
      return QStringLiteral("&About Quenby...");
  }
  return QString();
}

QIcon LoadAppIcon() {
  // Quenby.ico is embedded by the build; QIcon takes every image it holds.
  return QIcon(QStringLiteral(":/Quenby.ico"));
}
