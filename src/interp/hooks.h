// Points where the loop calls into other subsystems when a do-file or program
// level begins and ends (for example, restoring a dataset preserved inside).
#pragma once

// Registers a pair of callbacks run around every do-file and program level.
void level_hooks_add(void (*enter)(), void (*leave)());
void level_enter_hook();
void level_leave_hook();
int godo(int mode);

// Called when a stored program starts (with its class: 0 none, 1 r-class,
// 2 s-class, 3 e-class) and when it ends (with its return code), so the
// saved-results store can keep the program's pending results.
struct ProgClassHooks {
  void (*enter)(int cls) = nullptr;
  void (*leave)(int cls, int rc) = nullptr;
};
extern ProgClassHooks progclass;
