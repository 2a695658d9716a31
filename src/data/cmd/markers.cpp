// The sample markers through which programs select their observations:
// `mark` builds a 0/1 byte variable from the range, `if` and weights,
// `markout` clears it where listed variables are missing, `marksample`
// does both for a program's own syntax, and `markin` reports the tightest
// `in` range of the marked observations.
#include <cmath>
#include <string>
#include <vector>

#include "data/store.h"
#include "data/varlist.h"
#include "expr/expr.h"
#include "expr/exprint.h"
#include "interp/cmdtab.h"
#include "interp/interp.h"
#include "interp/macro.h"
#include "interp/tokenizer.h"
#include "output/errors.h"
#include "output/output.h"

namespace {

int saymsg(const std::string& s, int rc) {
  int prev = setoutlev(OUT_ERROR);
  spout21(s.c_str());
  setoutlev(prev);
  return rc;
}

// Drops variable v (a marker whose filling failed).
void dropvar(int v) {
  std::vector<char> f(static_cast<size_t>(ds.nvar) + 1, 0);
  f[static_cast<size_t>(v)] = 1;
  (void)dropvars_flagged(f);
}

}  // namespace

// mark newvar [weight] [if] [in] [, zeroweight by(varlist)]
int cmd_mark(int) {
  ParseResult pr;
  if (int rc = parse({.varlist = PERM_REQUIRED, .vlmode = VL_NEW, .weight = PERM_OPTIONAL, .options = PERM_OPTIONAL}, pr)) return rc;
  if (vl.newnames.size() != 1) return error(vl.newnames.empty() ? 102 : 103);
  bool zeroweight = findopt(pr, "zeroweight", 10, 0) == 1;
  std::string by;
  (void)findargasis(pr, "by", 2, by, 100000);
  if (int rc = chkopt(pr)) return rc;
  ExprProg wprog;
  const bool hasw = pr.hasweight;
  const bool negok = pr.wgttype == "iweight";
  const bool freq = pr.wgttype == "fweight";
  if (hasw)
    if (int rc = compexp_u(pr.wgtexp.c_str(), wprog, EXP_NUM)) return rc;
  if (int rc = addvar(vl.newnames[0].c_str(), ST_BYTE)) return rc;
  const int v = ds.nvar;
  for (long o = 1; o <= ds.nobs; ++o) {
    int m = o >= ds.nobs1 && o <= ds.nobs2 && selobs(o);
    if (m && hasw) {
      double w = evalnum(wprog, o);
      if (w >= misval) m = 0;
      else if (w < 0 && !negok) return dropvar(v), error(RC_NEGWEIGHT);
      else if (freq && w != std::trunc(w)) return dropvar(v), error(RC_NONINTFW);
      else if (w == 0 && !zeroweight) m = 0;
    }
    bstore(v, o, m);
  }
  bstore(v, ds.nobs + 1, 0);
  return 0;
}

// markout marker [varlist] [, strok]
int cmd_markout(int) {
  ParseResult pr;
  if (int rc = parse({.varlist = PERM_REQUIRED, .vlmode = VL_EXISTING, .ifexp = PERM_NO, .range = PERM_NO, .options = PERM_OPTIONAL}, pr)) return rc;
  bool strok = findopt(pr, "strok", 5, 0) == 1;
  if (int rc = chkopt(pr)) return rc;
  const int mk = vl.varlist_vr[0];
  if (vartype(mk) != ST_BYTE) return saymsg(varname(mk) + " not byte\n", 198);
  const int nl = vl.lnvar();
  for (int i = 1; i < nl; ++i) {
    int v = vl.varlist_vr[static_cast<size_t>(i)];
    bool str = isstrtype(vartype(v));
    bool plain = vl.varlist_rcp.size() <= static_cast<size_t>(i) || vl.varlist_rcp[static_cast<size_t>(i)].plain();
    std::string s;
    for (long o = 1; o <= ds.nobs; ++o) {
      if (!bdata(mk, o)) continue;
      bool gone;
      if (str) {
        if (!strok) gone = true;
        else szelta_data(v, o, s), gone = s.empty();
      } else {
        gone = (plain ? zelta_data(v, o) : rzelta_data(i, o)) >= misval;
      }
      if (gone) bstore(mk, o, 0);
    }
  }
  return 0;
}

// marksample lclname [, novarlist strok zeroweight by(varlist)]
int cmd_marksample(int) {
  ParseResult pr;
  std::string name = gettok(prsestd);
  if (name.empty() || name == ",") return required("local macro name");
  if (int rc = parse({.varlist = PERM_NO, .ifexp = PERM_NO, .range = PERM_NO, .options = PERM_OPTIONAL}, pr)) return rc;
  bool novarlist = findopt(pr, "novarlist", 5, 0) == 1;
  bool strok = findopt(pr, "strok", 5, 0) == 1;
  bool zeroweight = findopt(pr, "zeroweight", 10, 0) == 1;
  std::string by;
  bool hasby = findargasis(pr, "by", 2, by, 100000);
  if (int rc = chkopt(pr)) return rc;
  auto local = [](const char* n) {
    const std::string* p = macget_local(n);
    return p ? *p : std::string();
  };
  std::string tmp = mktmpvn();
  macset_local(name, tmp);
  std::string line = "mark " + tmp;
  std::string wt = local("weight"), wexp = local("exp");
  if (!wt.empty()) line += " [" + wt + " " + wexp + "]";
  std::string ifq = local("if"), inq = local("in");
  if (!ifq.empty()) line += " " + ifq;
  if (!inq.empty()) line += " " + inq;
  if (zeroweight || hasby) {
    line += ",";
    if (zeroweight) line += " zeroweight";
    if (hasby) line += " by(" + by + ")";
  }
  if (int rc = execline(line)) return rc;
  if (!novarlist) {
    std::string vars = local("varlist");
    if (!vars.empty()) {
      std::string mo = "markout " + tmp + " " + vars;
      if (strok) mo += ", strok";
      if (int rc = execline(mo)) return rc;
    }
  }
  return 0;
}

// markin [if] [in] [, name(lclname)]: the tightest `in` range of the
// observations selected, into a local macro (default `in`).
int cmd_markin(int) {
  ParseResult pr;
  if (int rc = parse({.varlist = PERM_NO, .options = PERM_OPTIONAL}, pr)) return rc;
  std::string name = "in";
  (void)findargasis(pr, "name", 1, name, 100000);
  if (int rc = chkopt(pr)) return rc;
  long first = 0, last = 0;
  for (long o = ds.nobs1; o <= ds.nobs2; ++o)
    if (selobs(o)) {
      if (!first) first = o;
      last = o;
    }
  std::string r;
  if (!first) {
    r = "in 1/1";
  } else {
    bool exact = true;
    for (long o = first; o <= last && exact; ++o) exact = selobs(o);
    if (exact) r = "in " + std::to_string(first) + "/" + std::to_string(last);
  }
  macset_local(name, r);
  return 0;
}
