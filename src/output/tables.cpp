// The table side channel of the output channel: commands describe the tables
// they print, and a receiver (installed by a front end that shows tables
// itself) gets the description together with the span of the table's text.
#include "output/output.h"

namespace {

struct TableState {
  void (*begin)() = nullptr;                  // called before the table's text
  void (*end)(const OutTable& t) = nullptr;   // called after it
  int depth = 0;                              // scopes open (tables in tables go as text)
};
TableState tabs;

}  // namespace

void out_set_tablereceiver(void (*begin)(), void (*end)(const OutTable& t)) {
  tabs.begin = begin;
  tabs.end = end;
}

OutTableScope::OutTableScope()
    : on(tabs.begin && tabs.end && tabs.depth == 0 && out.c_outlev >= out.s_outlev) {
  if (on) {
    ++tabs.depth;
    tabs.begin();
  }
}

OutTableScope::~OutTableScope() {
  if (!on) return;
  --tabs.depth;
  tabs.end(t);
}
