// `do`, `run` and `include`: running a do-file at a new level. Each level
// saves what a do-file may change (locals, temporaries, version, output
// thresholds) and restores it at the end, whatever the outcome.
#include <cstring>
#include <string>

#include "interp/cmdtab.h"
#include "interp/dofile.h"
#include "interp/hooks.h"
#include "interp/interp.h"
#include "interp/macro.h"
#include "interp/tokenizer.h"
#include "output/errors.h"
#include "output/output.h"

namespace {

// Splits "args [, options]" at the first comma outside quotes.
void split_options(const std::string& rest, std::string& args, std::string& opts, bool& hasopts) {
  int open;
  hasopts = false;
  for (const char* p = rest.c_str(); *p;) {
    if (p[0] == '`' && p[1] == '"') {
      p = pcompoundquotes(p, &open);
      continue;
    }
    if (*p == '"') {
      p = psimplequotes(p, &open);
      continue;
    }
    if (*p == ',') {
      args.assign(rest.c_str(), p);
      opts = p + 1;
      hasopts = true;
      return;
    }
    ++p;
  }
  args = rest;
}

std::string trim(const std::string& s) {
  size_t a = s.find_first_not_of(' ');
  if (a == std::string::npos) return "";
  size_t b = s.find_last_not_of(' ');
  return s.substr(a, b - a + 1);
}

}  // namespace

// godo: run the do-file named at the tokenizer position in `mode`.
int godo(int mode) {
  if (cmd_bylevel) return error(RC_NOBY);
  if (interp.zelta_level > 63) return error(RC_LIMIT);
  std::string fname;
  if (gettokfn(fname)) return required("filename");
  std::string args, opts;
  bool hasopts;
  split_options(wheretok(), args, opts, hasopts);
  args = trim(args);
  bool stop = true;
  if (hasopts) {
    TokState saved;
    borrow_gettok(&saved);
    settok(opts.c_str());
    ParseResult pr;
    int rc = proption(pr);
    if (!rc) {
      stop = findopt(pr, "stop", 4, 1) != 0;
      workopt(pr, "delay", 3, 0);
      rc = chkopt(pr);
    }
    return_gettok(&saved);
    if (rc) return rc;
  }
  // default extension .do when the last path component has none
  const char* base = std::strrchr(fname.c_str(), '/');
  base = base ? base + 1 : fname.c_str();
  if (!std::strchr(base, '.')) fname += ".do";
  int rc = 0;
  DoFile* h = dofopen(fname.c_str(), &rc);
  if (!h) return fierr(rc, fname.c_str());
  DoFileSource src;
  src.h = h;

  const int savedversion = interp.version;
  const int saveds = out.s_outlev, savedls = out.ls_outlev;
  const int saveddelim = interp.delimit;
  const bool savedrunprog = interp.runprog;
  TempMark mark;
  if (mode != GODO_INCLUDE) {
    locals_enter(args.c_str());
    temps_enter(mark);
    out.ls_outlev = out.s_outlev;
    if (mode == GODO_RUN && out.s_outlev < 3) out.s_outlev = 3;
    level_enter_hook();
  }
  interp.runprog = false;
  interp.delimit = 0;
  rc = runsource(src, stop);
  interp.runprog = savedrunprog;
  interp.delimit = saveddelim;
  if (mode != GODO_INCLUDE) {
    level_leave_hook();
    temps_leave(mark);
    locals_leave();
    interp.version = savedversion;
    out.s_outlev = saveds;
    out.ls_outlev = savedls;
  }
  if (mode == GODO_DO) {
    int prev = setoutlev(OUT_NOTE);
    spout21("\nend of do-file\n");
    setoutlev(prev);
  }
  return rc;
}
