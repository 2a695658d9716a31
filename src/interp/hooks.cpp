// Level hooks: callbacks other subsystems register to run when a do-file or
// program level begins and ends. Leave hooks run in reverse order.
#include "interp/hooks.h"

#include <vector>

static std::vector<std::pair<void (*)(), void (*)()>> hooks;
ProgClassHooks progclass;

void level_hooks_add(void (*enter)(), void (*leave)()) { hooks.emplace_back(enter, leave); }

void level_enter_hook() {
  for (auto& h : hooks)
    if (h.first) h.first();
}

void level_leave_hook() {
  for (auto it = hooks.rbegin(); it != hooks.rend(); ++it)
    if (it->second) it->second();
}
