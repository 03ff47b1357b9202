#include "input_blocker.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWindow>

namespace {

bool IsInput(QEvent::Type type) {
  switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::ContextMenu:
    case QEvent::Close:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
    case QEvent::InputMethod:
      return true;
    default:
      return false;
  }
}

}  // namespace

InputBlocker::InputBlocker(QWidget* window) : window_(window) {
  // On the application, so that the window system's events are stopped at
  // the window before Qt moves the focus for a click.
  QCoreApplication::instance()->installEventFilter(this);
}

InputBlocker::~InputBlocker() {
  QCoreApplication::instance()->removeEventFilter(this);
}

bool InputBlocker::InWindow(QObject* object) const {
  if (object->isWidgetType())
    return static_cast<QWidget*>(object)->window() == window_;
  return object->isWindowType() && object == window_->windowHandle();
}

bool InputBlocker::eventFilter(QObject* watched, QEvent* event) {
  if (!IsInput(event->type()) || !InWindow(watched)) return false;
  // Taken as handled, so that Qt offers it to no parent and no shortcut;
  // but a close event must be refused to keep the window open.
  event->setAccepted(event->type() != QEvent::Close);
  return true;
}
