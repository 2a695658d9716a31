// The interpreter's own commands: the prefixes (capture, quietly, noisily,
// nobreak, break), do/run/include, exit, the shell escape, unabcmd, and the
// `set`/`query` dispatcher with the settings the loop owns.
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "data/store.h"
#include "expr/expr.h"
#include "interp/cmdtab.h"
#include "interp/hooks.h"
#include "interp/interp.h"
#include "interp/macro.h"
#include "interp/program.h"
#include "interp/tokenizer.h"
#include "output/creg.h"
#include "output/errors.h"
#include "output/output.h"
#include "platform/platform.h"
#include "results/results.h"

namespace {

// Takes the next token as the command word (skipping a ':') and dispatches it.
int redispatch() {
  std::string w = gettok(prsestd);
  if (w == ":") w = gettok(prsestd);
  interp.cmd = w;
  int rc = selreq();
  return rc;
}

int cmd_capture(int) {
  const int saved = out.s_outlev;
  out.s_outlev = 5;
  int rc = redispatch();
  out.s_outlev = saved;
  if (interp.procflg) {
    interp.captrc = rc;
    stopflag = 0;
    altstopflag = 0;
    return 0;
  }
  return rc;
}

int cmd_quietly(int) {
  const int saved = out.s_outlev;
  if (interp.procflg && out.s_outlev != 5) out.s_outlev = 3;
  const int set = out.s_outlev;
  int rc = redispatch();
  if (out.s_outlev == set) out.s_outlev = saved;
  return rc;
}

int cmd_noisily(int) {
  const int saved = out.s_outlev;
  if (interp.procflg) out.s_outlev = interp.version < 220 ? 0 : out.ls_outlev;
  const int set = out.s_outlev;
  int rc = redispatch();
  if (out.s_outlev == set) out.s_outlev = saved;
  return rc;
}

int cmd_breakpfx(int on) {
  int prev = setbreak(on);
  int rc = redispatch();
  setbreak(prev);
  return rc;
}

int cmd_do(int mode) { return godo(mode); }

// exit [#] [, clear ZELTA]
int cmd_exit(int) {
  const char* rest = peektok_chr();
  std::string numtext;
  std::string opts;
  const char* comma = std::strchr(rest, ',');
  numtext.assign(rest, comma ? comma : rest + std::strlen(rest));
  while (!numtext.empty() && numtext.back() == ' ') numtext.pop_back();
  bool clear = false, all = false;
  if (comma) {
    TokState saved;
    borrow_gettok(&saved);
    settok(comma + 1);
    while (true) {
      std::string w = gettok(prseopt);
      if (w.empty()) break;
      if (w == "clear") clear = true;
      else if (w == "ZELTA") all = true;
      else {
        return_gettok(&saved);
        return errmsgf(RC_SYNTAX, "option %s not allowed\n", w.c_str());
      }
    }
    return_gettok(&saved);
  }
  if (!numtext.empty()) {
    ExprProg p;
    int rc = compexp_u(numtext.c_str(), p, EXP_NUM);
    if (rc) return rc;
    double v = evalnum(p, 1);
    if (ismissing(v)) return error(RC_SYNTAX);
    int code = static_cast<int>(v);
    if (code != 0) return code;
  }
  const bool toplevel = interp.sources.empty();
  if ((toplevel || all) && ds.updata && !clear) return error(RC_DATALOST);
  interp.exitflg = true;
  if (all || toplevel) interp.gexitflg = true;
  return 0;
}

// shell / ! : pass the rest of the line to the operating system.
int cmd_shell(int) {
  const char* rest = peektok_chr();
  if (*rest == '!') {  // !! is xshell
    return errmsgf(RC_SYNTAX, "xshell command not available on this platform\n");
  }
  if (cmd_bylevel) return error(RC_NOBY);
  if (interp.embedded) return error(RC_UNRECOGNIZED);
  if (!*rest) {
    return errmsgf(RC_SYNTAX, "shell command requires an operating system command\n");
  }
  out_flush_all();
  int prev = setoutlev(OUT_NOTE);
  std::string cmd = rest;
  cmd += " 2>&1";
  std::FILE* f = popen(cmd.c_str(), "r");
  if (f) {
    char buf[512];
    size_t k;
    while ((k = std::fread(buf, 1, sizeof buf - 1, f)) > 0) {
      buf[k] = 0;
      spout21(buf);
    }
    pclose(f);
  }
  setoutlev(prev);
  return 0;
}

int cmd_xshell(int) {
  return errmsgf(RC_SYNTAX, "xshell command not available on this platform\n");
}

// unabcmd word: the full name of a built-in command in r(cmd).
int cmd_unabcmd(int) {
  std::string w = gettok(prsestd);
  if (w.empty()) return required("command name");
  const char* full = findbuiltin(w.c_str());
  if (!full) {
    return errmsgf(RC_SYNTAX, "%s is an invalid command name\n", w.c_str());
  }
  retval_clear();
  return retval_set_local("cmd", full);
}

struct SetEntry {
  std::string name;
  int min;
  CmdHandler fn;
  int mode;
};
std::vector<SetEntry>& settab() {
  static std::vector<SetEntry> t;
  return t;
}

int cmd_set(int) {
  // the whole word, however long, so that the message quotes what was typed
  std::string w;
  gettoklong(w, prsestd);
  if (w.empty()) {
    return errmsgf(RC_SYNTAX, "set: setting name required\n");
  }
  for (auto& e : settab())
    if (cmdcmp(w.c_str(), e.name.c_str(), e.min)) return e.fn(e.mode);
  return errmsgf(RC_SYNTAX, "set %s not allowed\n", w.c_str());
}

// on|off argument of a setting; 0/1, or -1 after printing the error.
int onoff() {
  // the whole word, however long, so that the message quotes what was typed
  std::string w;
  gettoklong(w, prsestd);
  if (w == "on") return 1;
  if (w == "off") return 0;
  int prev = setoutlev(OUT_ERROR);
  spout21f("%s invalid; must be on or off\n", w.empty() ? "nothing" : w.c_str());
  setoutlev(prev);
  return -1;
}

int set_rmsg(int) {
  int v = onoff();
  if (v < 0) return RC_SYNTAX;
  interp.zelta_rmsg = v != 0;
  return 0;
}

}  // namespace

// confirm.cpp binds its own command; declared here, its only caller.
void interp_bindconfirm();

void setbind(const char* name, int min, CmdHandler fn, int mode) {
  settab().push_back({name, min, fn, mode});
}

// The c() values the interpreter owns: the version, the run mode, the last
// captured code, the line lengths, the ado path and system directories, the
// trace settings, rmsg and matsize (which the matrix store reads from here).
static void registercvals() {
  creg_add("version", [](CValue& v) { cval_num(v, interp.version / 100.0); });
  creg_add("mode", [](CValue& v) { cval_str(v, interp.batchmode ? "batch" : ""); });
  creg_add("console", [](CValue& v) { cval_str(v, interp.batchmode ? "console" : ""); });
  creg_add("rc", [](CValue& v) { cval_num(v, interp.captrc); });
  creg_add("sysdir_zelta", [](CValue& v) { cval_str(v, sysdir_get("ZELTA")); });
  creg_add("sysdir_updates", [](CValue& v) { cval_str(v, sysdir_get("UPDATES")); });
  creg_add("sysdir_base", [](CValue& v) { cval_str(v, sysdir_get("BASE")); });
  creg_add("sysdir_site", [](CValue& v) { cval_str(v, sysdir_get("SITE")); });
  creg_add("sysdir_plus", [](CValue& v) { cval_str(v, sysdir_get("PLUS")); });
  creg_add("sysdir_personal", [](CValue& v) { cval_str(v, sysdir_get("PERSONAL")); });
  creg_add("sysdir_oldplace", [](CValue& v) { cval_str(v, sysdir_get("OLDPLACE")); });
  creg_add("adopath", [](CValue& v) {
    const std::string* p = macget_global("S_ADO");
    cval_str(v, p ? *p : "");
  });
  creg_add("macrolen", [](CValue& v) { cval_num(v, interp.macrolen); });
  creg_add("cmdlen", [](CValue& v) { cval_num(v, interp.conslen); });
  creg_add("matsize", [](CValue& v) { cval_num(v, interp.matsize); });
  creg_add("rmsg", [](CValue& v) { cval_str(v, cval_onoff(interp.zelta_rmsg)); });
  creg_add("rmsg_time", [](CValue& v) { cval_num(v, interp.rmsgtime); });
  creg_add("adosize", [](CValue& v) { cval_num(v, prg.adosize); });
  creg_add("trace", [](CValue& v) { cval_str(v, cval_onoff(interp.trace)); });
  creg_add("tracedepth", [](CValue& v) { cval_num(v, prg.tracedepth); });
  creg_add("tracesep", [](CValue& v) { cval_str(v, cval_onoff(prg.tracesep)); });
  creg_add("traceindent", [](CValue& v) { cval_str(v, cval_onoff(prg.traceindent)); });
  creg_add("traceexpand", [](CValue& v) { cval_str(v, cval_onoff(prg.traceexpand)); });
  creg_add("tracenumber", [](CValue& v) { cval_str(v, cval_onoff(prg.tracenumber)); });
}

void interp_bindcommands() {
  registercvals();
  interp_bindplugin();
  cmdbind("capture", cmd_capture);
  cmdbind("quietly", cmd_quietly);
  cmdbind("noisily", cmd_noisily);
  cmdbind("nobreak", cmd_breakpfx, 0);
  cmdbind("break", cmd_breakpfx, 1);
  cmdbind_scan("capture", cmd_capture);
  cmdbind_scan("quietly", cmd_quietly);
  cmdbind_scan("noisily", cmd_noisily);
  cmdbind_scan("nobreak", cmd_breakpfx, 0);
  cmdbind_scan("break", cmd_breakpfx, 1);
  cmdbind("do", cmd_do, GODO_DO);
  cmdbind("run", cmd_do, GODO_RUN);
  cmdbind("include", cmd_do, GODO_INCLUDE);
  cmdbind("exit", cmd_exit);
  cmdbind("shell", cmd_shell);
  cmdbind("xshell", cmd_xshell);
  cmdbind("unabcmd", cmd_unabcmd);
  cmdbind("set", cmd_set);
  setbind("rmsg", 4, set_rmsg);
  interp_bindconfirm();
}
