// `timer`: stopwatches for timing parts of a do-file.
//   timer clear [#]    reset one timer, or all of them
//   timer on #         start timer # (1-100); a running timer keeps running
//   timer off #        stop it, adding the period to its total
//   timer list [#]     show the timers that have been started, and post
//                      r(t#) (seconds) and r(nt#) (times started) for each
#include <cstdlib>
#include <string>

#include "interp/cmdtab.h"
#include "interp/tokenizer.h"
#include "output/errors.h"
#include "output/output.h"
#include "platform/timers.h"
#include "results/results.h"

namespace {

// Reads a timer number; `optional` accepts an empty rest of line (-> 0).
int timernum(bool optional, int* t) {
  *t = 0;
  if (!*peektok_chr()) return optional ? 0 : errmsgf(RC_REQUIRED, "timer number required\n");
  const std::string word = gettok(prsestd);
  char* end = nullptr;
  const long v = std::strtol(word.c_str(), &end, 10);
  if (word.empty() || *end || v < 1 || v > TIMER_COUNT)
    return errmsgf(RC_NUMLIST_RANGE, "timer number must be an integer from 1 to %d\n", TIMER_COUNT);
  if (*peektok_chr()) return errmsgf(RC_SYNTAX, "%s invalid\n", gettok(prsestd));
  *t = static_cast<int>(v);
  return 0;
}

int timer_list(int only) {
  retval_clear();
  bool header = false;
  for (int t = 1; t <= TIMER_COUNT; ++t) {
    if ((only && t != only) || timers.count[t] == 0) continue;
    const double secs = timer_seconds(t);
    if (!header) {
      spoutsml("{txt}  timer      seconds     starts   seconds per start\n");
      header = true;
    }
    spoutsmlf("{txt}  %5d {res}%12.3f %10.0f %19.4f{txt}%s\n", t, secs, timers.count[t],
              secs / timers.count[t], timers.on[t] ? "  (running)" : "");
    const std::string n = std::to_string(t);
    if (int rc = retval_set_scalar(("t" + n).c_str(), secs)) return rc;
    if (int rc = retval_set_scalar(("nt" + n).c_str(), timers.count[t])) return rc;
  }
  if (!header) spoutsml("{txt}(no timer has been started)\n");
  return 0;
}

int cmd_timer(int) {
  const std::string sub = *peektok_chr() ? gettok(prsestd) : "list";
  int t = 0;
  if (sub == "clear") {
    if (int rc = timernum(true, &t)) return rc;
    if (t) timer_clear_one(t);
    else timer_clear_all();
    return 0;
  }
  if (sub == "on" || sub == "off") {
    if (int rc = timernum(false, &t)) return rc;
    if (sub == "on") timer_start(t);
    else timer_stop(t);
    return 0;
  }
  if (sub == "list") {
    if (int rc = timernum(true, &t)) return rc;
    return timer_list(t);
  }
  return errmsgf(RC_SYNTAX, "timer %s: unknown subcommand (clear, on, off or list)\n", sub.c_str());
}

}  // namespace

void timer_bindcommand() { cmdbind("timer", cmd_timer); }
