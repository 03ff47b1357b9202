#include "wm_ping.h"

#include <X11/Xlib.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <thread>

namespace quenby {

namespace {

using Clock = std::chrono::steady_clock;

}  // namespace

void PingWindow(unsigned long window, const std::atomic<bool>* stop,
                PingFigures* figures) {
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return;
  const Window root = DefaultRootWindow(display);
  const Atom protocols = XInternAtom(display, "WM_PROTOCOLS", False);
  const Atom ping = XInternAtom(display, "_NET_WM_PING", False);
  // The answer is sent to the root window for the window manager.
  XSelectInput(display, root, StructureNotifyMask);
  std::map<long, Clock::time_point> waiting;
  auto note = [&](Clock::time_point sent, Clock::time_point now) {
    figures->longest_ms =
        std::max(figures->longest_ms,
                 std::chrono::duration<double, std::milli>(now - sent).count());
  };
  Clock::time_point next = Clock::now();
  long serial = 1;
  while (!stop->load()) {
    if (Clock::now() >= next) {
      XEvent event = {};
      event.xclient.type = ClientMessage;
      event.xclient.window = window;
      event.xclient.message_type = protocols;
      event.xclient.format = 32;
      event.xclient.data.l[0] = static_cast<long>(ping);
      event.xclient.data.l[1] = serial;  // stands for the timestamp
      event.xclient.data.l[2] = static_cast<long>(window);
      XSendEvent(display, window, False, NoEventMask, &event);
      XFlush(display);
      waiting[serial++] = Clock::now();
      ++figures->sent;
      next += std::chrono::milliseconds(100);
    }
    while (XPending(display) > 0) {
      XEvent event;
      XNextEvent(display, &event);
      if (event.type != ClientMessage ||
          event.xclient.message_type != protocols ||
          static_cast<Atom>(event.xclient.data.l[0]) != ping)
        continue;
      auto found = waiting.find(event.xclient.data.l[1]);
      if (found == waiting.end()) continue;
      note(found->second, Clock::now());
      waiting.erase(found);
      ++figures->answered;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  for (const auto& [serial_left, sent] : waiting) note(sent, Clock::now());
  XCloseDisplay(display);
}

}  // namespace quenby
