// The `by` prefix: runs a command once for each group of observations that
// share the values of the by-variables, in data sorted by them. Built-in
// commands opt in through by_allow; programs through their byable property.
#pragma once
#include <cstddef>
#include <vector>

struct ByState {
  std::vector<int> sysbylist;  // group variables of the innermost run
  int nby = 0;                 // their count
  long nobss1 = 0, nobss2 = 0; // the current group's first and last observation
  int depth = 0;               // by runs in progress (nested through programs)
  // Observations that drop/keep under by remove once the run ends (index
  // obs-1, 1 = goes); empty when no run collects them.
  std::vector<char> dropflags;
  bool collecting = false;     // dropflags is in use by the innermost run
  bool stop = false;           // `error 2000/2001` asked the run to end quietly
  std::vector<long> gstart;    // first observation of each group, then nobs+1
  bool program = false;        // the run calls a program (it sees the whole dataset)
  bool whole = false;          // the command now dispatched may run every group itself
  bool handled = false;        // ... and it did
};
extern ByState bys;

constexpr int BY_MAXDEPTH = 99;  // nested by runs

// Lets the built-in command `name` (its full name) run under by; `headers`
// prints the group header before each group.
void by_allow(const char* name, bool headers);
// For commands that parse and compile once and then work group by group:
// true when the command now dispatched under by may handle every group
// itself, calling by_setgroup(g) for g = 0 .. by_ngroups()-1 in turn.
bool by_wholerun();
size_t by_ngroups();
// Makes group g (0-based) current: its range, `_n`/`_N` and the flags.
void by_setgroup(size_t g);
// Under by: marks whether observation obs goes when the run ends (drop marks
// what it selects, keep what it does not). False when no run is collecting.
bool by_markobs(long obs, bool goes);
