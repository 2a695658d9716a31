// Stopwatches on the monotonic clock (wall time, immune to clock changes).
#include "platform/timers.h"

#include <chrono>

#include "platform/platform.h"

TimerState timers;

namespace {
double now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}
}  // namespace

void timer_clear_one(int t) {
  timers.total[t] = timers.start[t] = timers.count[t] = 0;
  timers.on[t] = false;
}
void timer_clear_all() { timers = TimerState{}; }

void plat_reset() {
  timer_clear_all();
  stopflag = 0;
  altstopflag = 0;
}
void timer_start(int t) {
  if (timers.on[t]) return;
  timers.on[t] = true;
  timers.start[t] = now();
  timers.count[t] += 1;
}
void timer_stop(int t) {
  if (!timers.on[t]) return;
  timers.on[t] = false;
  timers.total[t] += now() - timers.start[t];
}
double timer_seconds(int t) { return timers.total[t] + (timers.on[t] ? now() - timers.start[t] : 0); }
