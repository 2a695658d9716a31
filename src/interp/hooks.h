// Points where the loop calls into other subsystems when a do-file or program
// level begins and ends (for example, restoring a dataset preserved inside).
#pragma once

// Registers a pair of callbacks run around every do-file and program level.
void level_hooks_add(void (*enter)(), void (*leave)());
void level_enter_hook();
void level_leave_hook();
int godo(int mode);
