// Window-manager pings: _NET_WM_PING sent to a window every 100 ms from a
// display connection of its own, as window managers send them, each answer
// timed. Kept apart from Qt, whose headers clash with Xlib's macros.
#ifndef QUENBY_BENCH_WM_PING_H_
#define QUENBY_BENCH_WM_PING_H_

#include <atomic>

namespace quenby {

struct PingFigures {
  int sent = 0;
  int answered = 0;
  double longest_ms = 0;  // Answered or, at the end, still waiting.
};

// Pings X window `window` until `stop` is set.
void PingWindow(unsigned long window, const std::atomic<bool>* stop,
                PingFigures* figures);

}  // namespace quenby

#endif  // QUENBY_BENCH_WM_PING_H_
