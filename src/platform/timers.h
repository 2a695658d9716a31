// The 100 stopwatches shared by the `timer` command and Vemo's timer_*()
// functions: a do-file may start one and a Vemo function stop it.
#pragma once

constexpr int TIMER_COUNT = 100;

struct TimerState {
  double total[TIMER_COUNT + 1] = {};   // seconds accumulated while off
  double start[TIMER_COUNT + 1] = {};   // when the running period began
  double count[TIMER_COUNT + 1] = {};   // times switched on
  bool on[TIMER_COUNT + 1] = {};
};
extern TimerState timers;

// Timer numbers run 1..TIMER_COUNT; callers check the range.
void timer_clear_one(int t);
void timer_clear_all();
void timer_start(int t);            // no effect on a running timer
void timer_stop(int t);             // no effect on a stopped timer
double timer_seconds(int t);        // total so far, the running period included

// The platform's session state back to its start: every timer cleared and
// stopped, no Break pending (reset-all; the terminal and the reader thread are
// the front end's and stay).
void plat_reset();
