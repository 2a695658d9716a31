// The commands of the output channel: `error` (print a return code's message
// and return the code), `more` (pause as at a full screen), and the settings
// `set output`, `set linesize` and `set more`.
#include <cmath>
#include <cstdlib>
#include <string>

#include "expr/expr.h"
#include "interp/cmdtab.h"
#include "interp/tokenizer.h"
#include "output/creg.h"
#include "output/errors.h"
#include "output/format.h"
#include "output/output.h"

namespace {

// Largest code the `error` command passes on.
constexpr int MAXERRCODE = 100000;

// error exp: the message of the code at the error level; returns the code.
int cmd_error(int) {
  if (!*peektok_chr()) {
    error(RC_EXPSYNTAX);
    return RC_EXPSYNTAX;
  }
  ExprProg prog;
  if (compexp(prog, EXP_NUM, 0, 0)) return RC_EXPSYNTAX;
  if (*peektok_chr()) {
    error(RC_SYNTAX);
    return RC_EXPSYNTAX;
  }
  double v = evalnum(prog, 1);
  if (v < 0) return error(RC_SYNTAX);
  int rc = (!(v < MAXERRCODE)) ? MAXERRCODE : static_cast<int>(std::floor(v));
  if (rc == 0) return 0;
  int prev = setoutlev(OUT_ERROR);
  switch (rc) {
    case 100: case 101: case 110: case 111: case 132: case 133:
      error(RC_SYNTAX);
      break;
    case 106:
      error(RC_TYPEMISMATCH);
      break;
    case 180:
      error(RC_MSG_LABEL);
      break;
    case 182:
      spout21("not labeled\n");
      break;
    case 303:
      spout21("equation not found\n");
      break;
    case 601: case 602: case 603: case 608: case 609: case 610: case 688: case 692:
    case 693: case 699:
      fierr(rc, nullptr);
      break;
    case 950:
      spout21("insufficient memory\n");
      break;
    case 2000:
    case 2001:
      error(rc);
      if (cmd_bylevel || errst.bystop) {
        // The by-group loop (or a program it calls) stops quietly: the
        // command itself succeeds.
        if (errst.bystop) errst.bystop();
        setoutlev(prev);
        return 0;
      }
      break;
    default:
      error(rc);
      break;
  }
  setoutlev(prev);
  return rc;
}

// more: pauses as at a full screen (only on an interactive terminal).
int cmd_more(int) {
  if (*peektok_chr()) return error(RC_SYNTAX);
  return out_more() ? 1 : 0;
}

// The rest of a `set` line must be empty or `, permanently`.
int setrest() {
  const char* p = peektok_chr();
  if (!*p) return 0;
  std::string w = gettok(prsestd);
  if (w == ",") {
    w = gettok(prseopt);
    if (cmdcmp(w.c_str(), "permanently", 7) && !*peektok_chr()) return 0;
    if (w.empty()) return 0;
    setoutlev(OUT_ERROR);
    spout21f("option %s not allowed\n", w.c_str());
    return RC_SYNTAX;
  }
  setoutlev(OUT_ERROR);
  spout21f("%s invalid\n", w.c_str());
  return RC_SYNTAX;
}

// set linesize #: 40 to 255 columns.
int set_linesize(int) {
  std::string w = gettok(prsestd);
  char* end = nullptr;
  long n = w.empty() ? 0 : std::strtol(w.c_str(), &end, 10);
  if (w.empty() || *end) {
    setoutlev(OUT_ERROR);
    spout21f("%s invalid\n", w.empty() ? "nothing" : w.c_str());
    return RC_SYNTAX;
  }
  if (n < 40 || n > 255) {
    setoutlev(OUT_ERROR);
    spout21("linesize must be between 40 and 255\n");
    return RC_SYNTAX;
  }
  if (int rc = setrest()) return rc;
  out_set_linesize(static_cast<int>(n));
  out.linesize_set = true;
  return 0;
}

// set more on|off.
int set_more(int) {
  std::string w = gettok(prsestd);
  if (w != "on" && w != "off") {
    setoutlev(OUT_ERROR);
    spout21f("%s invalid; must be on or off\n", w.empty() ? "nothing" : w.c_str());
    return RC_SYNTAX;
  }
  if (int rc = setrest()) return rc;
  out_set_more(w == "on");
  return 0;
}

// set output proc|inform|error: the suppression threshold 0, 2 or 3.
int set_output(int) {
  std::string w = gettok(prsestd);
  int lev;
  if (cmdcmp(w.c_str(), "proc", 1)) lev = 0;
  else if (cmdcmp(w.c_str(), "inform", 1)) lev = 2;
  else if (cmdcmp(w.c_str(), "error", 1)) lev = 3;
  else {
    setoutlev(OUT_ERROR);
    spout21f("%s invalid\n", w.empty() ? "nothing" : w.c_str());
    return RC_SYNTAX;
  }
  if (*peektok_chr()) {
    setoutlev(OUT_ERROR);
    spout21f("%s invalid\n", gettok(prsestd));
    return RC_SYNTAX;
  }
  out.s_outlev = lev;
  return 0;
}

}  // namespace

// Binds `error` and `more` and registers the settings of this file.
// The c() values the output channel owns: its `set` settings.
static void registercvals() {
  creg_add("more", [](CValue& v) { cval_str(v, cval_onoff(out.more)); });
  creg_add("dp", [](CValue& v) { cval_str(v, fmts.dpcomma ? "comma" : "period"); });
  creg_add("linesize", [](CValue& v) { cval_num(v, out.linesize); });
  creg_add("pagesize", [](CValue& v) { cval_num(v, out.pagesize); });
  creg_add("logtype", [](CValue& v) { cval_str(v, out_logtype()); });
  creg_add("charset", [](CValue& v) { cval_str(v, out.charset ? "mac" : "latin1"); });
  creg_add("debug", [](CValue& v) { cval_str(v, cval_onoff(out.debug)); });
}

void output_bindcommands() {
  registercvals();
  cmdbind("error", cmd_error);
  cmdbind("more", cmd_more);
  logs_bindcommands();
  setbind("output", 3, set_output);
  setbind("linesize", 5, set_linesize);
  setbind("more", 4, set_more);
}
