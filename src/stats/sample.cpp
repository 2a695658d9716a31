// The sample of a statistical command: the `if`/`in` selection and the
// weight values, each evaluated once per command and shared by every
// variable and pass that follows.
#include <cmath>

#include "data/store.h"
#include "data/varlist.h"
#include "expr/expr.h"
#include "interp/cmdtab.h"
#include "output/errors.h"
#include "output/output.h"
#include "interp/tokenizer.h"
#include "platform/platform.h"
#include "stats/post.h"
#include "stats/stats.h"

StatsState sts;

int st_sample(StSample& s, const ParseResult& pr) {
  s.lo = ds.nobs1;
  s.hi = ds.nobs2;
  s.sel.clear();
  s.w.clear();
  s.wkind = WK_NONE;
  const long n = s.hi >= s.lo ? s.hi - s.lo + 1 : 0;
  if (!ex.ifpgm.empty()) {
    s.sel.resize(static_cast<size_t>(n));
    for (long o = 0; o < n; o += EXPR_BLOCK) {
      if (stopflag) return 1;
      const long m = n - o < EXPR_BLOCK ? n - o : EXPR_BLOCK;
      selobs_block(s.lo + o, m, s.sel.data() + o);
    }
  }
  if (pr.hasweight) {
    s.wkind = pr.wgttype[0];
    s.wexp = pr.wgtexp;
    ExprProg wp;
    if (int rc = compexp_u(pr.wgtexp.c_str(), wp, EXP_NUM)) return rc;
    s.w.resize(static_cast<size_t>(n));
    for (long o = 0; o < n; o += EXPR_BLOCK) {
      if (stopflag) return 1;
      const long m = n - o < EXPR_BLOCK ? n - o : EXPR_BLOCK;
      evalnum_block(wp, s.lo + o, m, s.w.data() + o, s.sel.empty() ? nullptr : s.sel.data() + o);
    }
  }
  return 0;
}

int st_weightrule(char kind, double w, bool* use) {
  *use = false;
  if (ismissing(w) || w == 0) return 0;
  if (w < 0 && kind != WK_I) return RC_NEGWEIGHT;
  if (kind == WK_F && w != std::floor(w)) return RC_NONINTFW;
  *use = true;
  return 0;
}

int st_checkweight(char kind, double w, bool* use) {
  const int rc = st_weightrule(kind, w, use);
  return rc ? error(rc) : 0;
}

int st_noobs() {
  (void)error(RC_NOOBS);
  return RC_NOOBS;
}

void st_note(const std::string& text) {
  const int prev = setoutlev(OUT_NOTE);
  spout21(text.c_str());
  setoutlev(prev);
}

bool st_plainentry(int e) {
  const size_t i = static_cast<size_t>(e);
  return i >= vl.varlist_rcp.size() || vl.varlist_rcp[i].plain();
}

void st_gather(int e, long obs, long m, double* x) {
  if (st_plainentry(e)) {
    expr_gather(vl.varlist_vr[static_cast<size_t>(e)], obs, m, x);
    return;
  }
  for (long k = 0; k < m; ++k) x[k] = rzelta_data(e, obs + k);
}

std::string st_entryname(int e) {
  const size_t i = static_cast<size_t>(e);
  std::string name = varname(vl.varlist_vr[i]);
  if (!st_plainentry(e)) name = tsrecipe_text(vl.varlist_rcp[i]) + "." + name;
  return name;
}

int st_textvars(const std::string& text, std::vector<int>& vars) {
  TokState saved;
  borrow_gettok(&saved);
  settok(text.c_str());
  int rc = ssvlist(VL_EXISTING);
  std::string rest = rc ? "" : wheretok();
  return_gettok(&saved);
  if (rc) return rc;
  if (rest.find_first_not_of(' ') != std::string::npos) return invalid(rest.c_str());
  vars = vl.varlist_vr;
  if (vars.empty()) return error(RC_TOOFEWVARS);
  return 0;
}

int st_level(ParseResult& pr, double* level) {
  *level = st_setlevel();
  double lv[1];
  if (findoptv(pr, "level", 1, lv, 1, 0) == 1) *level = lv[0];
  if (!(*level >= 10 && *level <= 99.99))
    return errmsgf(RC_SYNTAX, "level() must be between 10 and 99.99 inclusive\n");
  return 0;
}
