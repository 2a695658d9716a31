// The read–expand–dispatch–report loop. Every command line, from the
// console, a do-file, a stored program or a loop body, passes through
// getreq (fetch), doreq (expand, dispatch, report) and present (r(#) line).
#include <ctime>
#include <cstring>
#include <deque>

#include "expr/expr.h"
#include "interp/cmdtab.h"
#include "interp/history.h"
#include "interp/interp.h"
#include "interp/lineloop.h"
#include "interp/lineplan.h"
#include "interp/macro.h"
#include "interp/program.h"
#include "interp/tokenizer.h"
#include "output/errors.h"
#include "output/logs.h"
#include "output/outhost.h"
#include "output/output.h"
#include "platform/platform.h"

InterpState interp;
// The output channel asks for the busy and batch state through these.
[[maybe_unused]] static const bool outhost_interp_set =
    (outhost.busy = [] { return interp.zelta_busy; }, outhost.batchmode = [] { return interp.batchmode; }, true);
// The expressions ask for the language version and the captured return code through these.
[[maybe_unused]] static const bool exhooks_interp_set =
    (exhooks.version = [] { return interp.version; }, exhooks.captrc = [] { return interp.captrc; }, true);

namespace {

// Prompt of the lines of a `{` block typed at the console.
constexpr const char* BLOCK_PROMPT = "> ";

// A resized terminal changes the width of what the next command prints.
void takeresize() {
  if (plat_takeresize()) out_console_resized(plat_termwidth());
}

// Top-level console input.
struct ConsoleSource : LineSource {
  int next(std::string& line) override {
    out_flush_all();
    if (interp.nokbrd) return 1;
    // Once a block is interp.abandoned, the blocks around it get no more lines.
    if (!interp.blockread) interp.abandoned = false;
    if (interp.abandoned) return 1;
    // A Break with no Ctrl-C since the last command ended was that
    // command's. A later one (between two lines of a block being typed, or
    // after a block's first line) is a Ctrl-C on the line now asked for,
    // and drops it like one typed on it.
    if (plat_ctrlcs() == interp.ctrlcs_at_end) stopflag = 0;
    takeresize();
    int r;
    // Ctrl-C on a half-typed line drops it and asks again, with no report;
    // inside a block being typed it drops the whole block (the Break flag
    // stays set, so the block's command ends with a Break).
    while ((r = plat_readline(interp.prompt, line)) == 1) {
      if (interp.blockread) {
        interp.abandoned = true;
        stopflag = 1;
        return 1;
      }
      stopflag = 0;
    }
    takeresize();
    if (r != 0) return 1;
    const std::string echo = std::string(interp.prompt) + line + "\n";
    if (plat_stdin_tty()) {
      out_echo_logs(echo);  // the terminal shows it already; the logs get it too
    } else {  // echo piped input as if it had been typed
      int prev = setoutlev(OUT_COMMAND);
      spout21(echo.c_str());
      setoutlev(prev);
    }
    return 0;
  }
};

ConsoleSource console_source;

// `#delimit` and `#review`; true when the line was a directive.
bool directive(const std::string& line, bool fromfile) {
  const char* p = line.c_str();
  while (*p == ' ') ++p;
  if (*p != '#') return false;
  TokState saved;
  borrow_gettok(&saved);
  settok(p + 1);
  std::string w = gettok(prsestd);
  int prev = out.c_outlev;
  if (fromfile && cmdcmp(w.c_str(), "delimit", 1)) {
    std::string a = gettok(prsestd);
    interp.delimit = (a == "cr") ? 0 : 1;
    setoutlev(OUT_TEXT);
    spout21(interp.delimit ? "delimiter now ;\n" : "delimiter now cr\n");
  } else if (cmdcmp(w.c_str(), "review", 1)) {
    long back = 5, count;
    std::string a = gettok(prsestd);
    if (!a.empty()) back = std::strtol(a.c_str(), nullptr, 10);
    if (back < 0) back = 5;
    if (back > 100) back = 100;
    count = back;
    std::string b = gettok(prsestd);
    if (!b.empty()) count = std::strtol(b.c_str(), nullptr, 10);
    setoutlev(OUT_TEXT);
    history_review(static_cast<int>(back), static_cast<int>(count));
  } else {
    setoutlev(OUT_ERROR);
    spout21("Unknown #command\n");
  }
  setoutlev(prev);
  return_gettok(&saved);
  return true;
}

bool skippable(const std::string& line) {
  const char* p = line.c_str();
  while (*p == ' ') ++p;
  return *p == 0 || *p == '*';
}

}  // namespace

std::string command_after_prefixes(const std::string& line, const char** wordat) {
  TokState saved;
  borrow_gettok(&saved);
  settok(line.c_str());
  std::string w;
  while (true) {
    w = gettok(prsestd);
    if (wordat) *wordat = lwheretok();
    if (cmdcmp(w.c_str(), "capture", 3) || cmdcmp(w.c_str(), "noisily", 1) ||
        cmdcmp(w.c_str(), "quietly", 3)) {
      if (gettok_next_char() == ':') gettok(prsestd);
      continue;
    }
    break;
  }
  return_gettok(&saved);
  return w;
}

// The end-of-command report (output level 2; the caller's level is kept).
void present(double start) {
  int prev = setoutlev(OUT_TEXT);
  if (interp.globalrc) {
    if (interp.globalrc == 1) {
      setoutlev(OUT_ERROR);
      spoutsml("{hline 2}Break{hline 2}\n");
      setoutlev(OUT_TEXT);
    }
    spoutsmlf("{search r(%d):r(%d);}", interp.globalrc, interp.globalrc);
    if (!interp.zelta_rmsg) newline();
  } else if (interp.zelta_rmsg) {
    spoutsml("r;");
  }
  if (interp.zelta_rmsg) {
    double el = plat_now() - start;
    if (el < 0) el = 0;
    long whole = static_cast<long>(el);
    int hund = static_cast<int>((el - static_cast<double>(whole)) * 100);
    std::time_t now = std::time(nullptr);
    std::tm lt{};
    localtime_r(&now, &lt);
    spoutsmlf(" t=%ld.%02d %d:%02d:%02d\n", whole, hund, lt.tm_hour, lt.tm_min, lt.tm_sec);
    interp.rmsgtime = static_cast<double>(whole) + hund / 100.0;
  }
  setoutlev(prev);
}

int getreq(int) {
  while (true) {
    LineSource* src = interp.sources.empty() ? &console_source : interp.sources.back();
    if (src->isdofile() && stopflag) return 1;
    std::string line;
    if (src->next(line)) return 1;
    if (interp.batchmode) out_flush_all();
    const bool fromfile = src->isdofile();
    if (!src->isprogram()) {
      if (directive(line, fromfile)) continue;
      if (src == &console_source) {
        history_add(line);
        out_cmdlog_line(line);
      }
      while (!line.empty() && line.back() == ' ') line.pop_back();
    }
    if (skippable(line)) continue;
    interp.console = std::move(line);
    settok(interp.console.c_str());
    return 0;
  }
}

int nextrawline(std::string& line) {
  LineSource* src = interp.sources.empty() ? &console_source : interp.sources.back();
  if (src->next(line)) return 1;
  // The lines of a block typed at the console are typed commands too: they
  // are recalled with the rest, listed by #review and kept in the command log.
  if (src == &console_source) {
    history_add(line);
    out_cmdlog_line(line);
  }
  if (!src->isprogram())
    while (!line.empty() && line.back() == ' ') line.pop_back();
  return 0;
}

int blockline(std::string& line) {
  if (!interp.sources.empty()) return nextrawline(line);
  const char* saved = interp.prompt;
  interp.prompt = BLOCK_PROMPT;
  interp.blockread = true;
  const int r = nextrawline(line);
  interp.blockread = false;
  interp.prompt = saved;
  return r;
}

int srclineno() { return interp.sources.empty() ? 0 : interp.sources.back()->lineno(); }

// Line buffers by nesting depth of dispatch_console and execline, reused
// from line to line (a deque: deeper levels grow it while outer ones hold
// their entries).
static std::deque<std::string> expandpool, execpool;
static size_t expanddepth = 0, execdepth = 0;

// Expands and dispatches the line in interp.console; sets globalrc.
static int dispatch_console_u(std::string& line);
static int dispatch_console() {
  if (expanddepth >= expandpool.size()) expandpool.emplace_back();
  std::string& line = expandpool[expanddepth++];
  line.assign(interp.console);
  const int rc = dispatch_console_u(line);
  --expanddepth;
  return rc;
}

// Tokenizes and dispatches the expanded line; sets globalrc.
static int dispatch_expanded(std::string& line) {
  settok(line.c_str());
  interp.cmd = gettok(prsestd);
  expr_reset_command();
  interp.globalrc = selreq();
  interp.ctrlcs_at_end = plat_ctrlcs();
  return interp.globalrc;
}

static int dispatch_console_u(std::string& line) {
  if (interp.procflg) {
    bool expand = true;
    if (!interp.runprog) {
      std::string w = command_after_prefixes(line);
      if (cmdcmp(w.c_str(), "while", 2) || cmdcmp(w.c_str(), "foreach", 7) ||
          cmdcmp(w.c_str(), "forvalues", 4))
        expand = false;
    }
    if (expand) {
      int rc = macexpand(line);
      if (rc) {
        interp.globalrc = rc;
        interp.ctrlcs_at_end = plat_ctrlcs();
        return rc;
      }
    }
  }
  return dispatch_expanded(line);
}

// Saved tokenizer states by nesting depth, as the line buffers (a fresh
// TokState clears its whole token buffer, which a loop step cannot afford).
static std::deque<TokState> tokpool;

// Whether the line's word dispatches to `local` at the running version (and
// the name is one it takes there), remembered per version.
static bool planlocal(Program& p, int idx, const LinePlan& lp) {
  if (lp.localver != interp.version) {
    if (!cmd_islocal(p.text.data() + p.offs[static_cast<size_t>(idx)] + lp.wordoff, lp.wordlen)) return false;
    lp.localver = interp.version;
  }
  return !(interp.version <= 600 && lp.namelen > 7);  // the old name limit's message
}

// What dispatching the line does before its handler runs.
static int planenter(const char* s, const LinePlan& lp) {
  const char* w = s + lp.wordoff;
  bool same = interp.cmd.size() == lp.wordlen;
  for (size_t i = 0; same && i < lp.wordlen; ++i) same = interp.cmd[i] == w[i];  // a short word: no call
  if (!same) interp.cmd.assign(w, lp.wordlen);
  expr_reset_command();
  return selreq_enter();
}

static int planleave(int rc) {
  interp.globalrc = rc;
  interp.ctrlcs_at_end = plat_ctrlcs();
  return rc;
}

// `local name = a op b` from its plan when both operands are numbers now:
// the value is stored without making the line at all. False when the line
// must take another way (nothing done then).
static bool arithplanned(Program& p, int idx, const LinePlan& lp, int& rc) {
  double v;
  if (!planlocal(p, idx, lp) || !planarith(p, idx, lp, v)) return false;
  const char* s = p.text.data() + p.offs[static_cast<size_t>(idx)];
  rc = planenter(s, lp);
  if (!rc) rc = macdef_localnum(s + lp.nameoff, lp.namelen, v, lp.target);
  rc = planleave(rc);
  return true;
}

// `local name = exp` from its plan: what dispatching the expanded line
// does, without tokenizing it or looking its word up again. False when the
// line must take the ordinary way (line then holds nothing of use).
static bool assignplanned(Program& p, int idx, const LinePlan& lp, std::string& line, int& rc) {
  if (!planlocal(p, idx, lp) || !planexpand(p, idx, lp, line)) return false;
  rc = planenter(p.text.data() + p.offs[static_cast<size_t>(idx)], lp);
  if (!rc) {
    const char* s = p.text.data() + p.offs[static_cast<size_t>(idx)];
    TokState& saved = tokpool[expanddepth - 1];  // the expression compiler may tokenize
    borrow_gettok(&saved);
    rc = macdef_localeq(s + lp.nameoff, lp.namelen, line.c_str() + lp.expoff);
    return_gettok(&saved);
  }
  rc = planleave(rc);
  return true;
}

int execplanned(Program& p, int idx, const LinePlan& lp) {
  int rc = 0;
  if (lp.arith && interp.procflg && arithplanned(p, idx, lp, rc)) return rc;
  if (expanddepth >= expandpool.size()) expandpool.emplace_back();
  while (expanddepth >= tokpool.size()) tokpool.emplace_back();
  TokState& saved = tokpool[expanddepth];
  std::string& line = expandpool[expanddepth++];
  if (lp.assign && interp.procflg && assignplanned(p, idx, lp, line, rc)) {
    --expanddepth;
    return rc;
  }
  borrow_gettok(&saved);
  if (!interp.procflg) {
    planraw(p, idx, line);  // a scanned line is dispatched unexpanded
  } else if (lp.kind == PlanKind::GENERIC || !planexpand(p, idx, lp, line)) {
    planraw(p, idx, line);
    rc = macexpand(line);
  }
  if (rc) {
    planleave(rc);
  } else {
    rc = dispatch_expanded(line);
  }
  --expanddepth;
  return_gettok(&saved);
  return rc;
}

// True when the line just run asked to leave its level (`exit`); a global
// exit ends the program here.
static bool takeexit() {
  if (!interp.exitflg) return false;
  if (interp.gexitflg && !interp.embedded) {
    out_flush_all();
    std::exit(0);
  }
  interp.gexitflg = false;
  interp.exitflg = false;
  interp.globalrc = 0;
  return true;
}

int doreq() {
  TokState saved;
  borrow_gettok(&saved);
  const double start = plat_now();
  const bool wasbusy = interp.zelta_busy;
  interp.zelta_busy = true;
  cmd_bylevel = 0;
  dispatch_console();
  // A Break that arrived while a command ran that does not poll still stops
  // what follows: it becomes the command's code. The flag itself is cleared
  // so that the report below can be printed.
  if (stopflag) {
    stopflag = 0;
    if (interp.globalrc == 0) interp.globalrc = 1;
  }
  interp.zelta_busy = wasbusy;
  return_gettok(&saved);
  if (takeexit()) return 0;
  out_reset_stop();
  // A log that could not be written is closed and fails the command.
  if (int rc = out_checklogs(); rc && interp.globalrc == 0) interp.globalrc = rc;
  if (!interp.runprog && !(interp.globalrc && interp.zelta_level == interp.noreportlevel))
    present(start);
  return 1;
}

int execline(const std::string& line) {
  if (execdepth >= execpool.size()) execpool.emplace_back();
  std::string& held = execpool[execdepth++];
  held.assign(line);  // `line` may be interp.console itself
  interp.console.swap(held);  // held now keeps the console of the level above
  TokState saved;
  borrow_gettok(&saved);
  int rc = dispatch_console();
  interp.console.swap(held);
  --execdepth;
  return_gettok(&saved);
  return rc;
}

// One program line: dispatched with execline rather than doreq, which turns
// a pending Break into the line's code and clears the flag (a Break between
// two lines of a tight loop must stop the loop). False after `exit`.
static bool progline(std::string& line) {
  cmd_bylevel = 0;
  line.swap(interp.console);  // execline takes the console over itself
  interp.globalrc = execline(line);
  return !takeexit();
}

int runlines(LineSource& src, const LineLoop& how, bool* exited) {
  const bool prog = src.isprogram();
  if (exited) *exited = false;
  interp.sources.push_back(&src);
  if (how.newlevel) ++interp.zelta_level;
  int rc = 0;
  std::string line;
  ProgSource* ps = prog ? static_cast<ProgSource*>(&src) : nullptr;
  while (true) {
    bool more;
    if (ps && ps->p && planned()) {
      // a program line from its plan: as getreq and progline below, without
      // copying the line on its way
      Program& p = *ps->p;
      const int n = p.nlines();
      while (ps->upline < n && lineplan(p, ps->upline).kind == PlanKind::SKIP) ++ps->upline;
      if (ps->upline >= n) {
        rc = stopflag ? 1 : 0;
        break;
      }
      if (stopflag) {
        ++ps->upline;
        rc = 1;
        break;
      }
      const int idx = ps->upline++;
      cmd_bylevel = 0;
      interp.globalrc = execplanned(p, idx, lineplan(p, idx));
      more = !takeexit();
    } else {
      if (!prog && how.blankline) {
        int prev = setoutlev(OUT_NOTE);
        newline();
        setoutlev(prev);
      }
      if (getreq(1)) {
        rc = stopflag ? 1 : 0;
        break;
      }
      if (stopflag) {
        rc = 1;
        break;
      }
      more = prog ? progline(line) : doreq() != 0;
    }
    if (how.afterline) how.afterline(how.ctx);
    if (!more) {
      if (exited) *exited = true;
      rc = 0;
      break;
    }
    if (stopflag) {
      rc = 1;
      break;
    }
    if (interp.globalrc && (how.stop || prog || interp.globalrc == 1)) {
      rc = interp.globalrc;
      break;
    }
  }
  if (how.newlevel) --interp.zelta_level;
  interp.sources.pop_back();
  // A Break ending a program is now the code 1 travelling upwards; leaving
  // the flag set would also silence the report that shows it.
  if (prog && rc == 1) stopflag = 0;
  return rc;
}

int runsource(LineSource& src, bool stop, bool* exited) {
  LineLoop how;
  how.stop = stop;
  return runlines(src, how, exited);
}

int toplevel_loop() {
  while (true) {
    interp.zelta_busy = false;
    newline();
    // A Ctrl-C after the line was taken is the command's (it Breaks it), or
    // the next line's when the command reads a block; one at the prompt
    // has already dropped what was typed there.
    if (getreq(0)) return 0;
    if (!doreq()) return 0;
  }
}
