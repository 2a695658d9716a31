// tsdeclare: declares the time variable (and the panel variable) that the
// lag, lead and difference operators work along. The declaration lives in the
// characteristics _dta[_TStvar], _dta[_TSpanel] and _dta[_TSdelta]; this file
// checks the time values, sorts the data by panel and time, and reports the
// ranges and whether the panels are balanced.
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "data/chars.h"
#include "data/cmd/datacmds.h"
#include "data/sort.h"
#include "data/store.h"
#include "data/varlist.h"
#include "interp/cmdtab.h"
#include "output/errors.h"
#include "output/format.h"
#include "output/output.h"
#include "platform/platform.h"
#include "results/results.h"
#include "output/rc.h"

namespace {


// What one pass over the sorted data found.
struct TsFacts {
  double tmin = misval, tmax = misval;  // over observations with a time (and panel)
  double pmin = misval, pmax = misval;  // range of the panel variable
  long npanel = 0;                      // panels with at least one time
  bool gaps = false;                    // some step inside a panel differs from delta
  bool balanced = true;                 // every panel runs tmin..tmax without gaps
};

// The text of x under variable v's display format, without blanks.
std::string fmtval(int v, double x) { return dsfmtnum(ds.fmtlist[static_cast<size_t>(v)], x); }

// Checks tv (and pv) and sorts by them; fills f. Touches the data order only.
int tsexamine(int pv, int tv, long delta, TsFacts& f) {
  if (isstrtype(vartype(tv)))
    return errmsgf(RC_TYPEMISMATCH, "time variable %s must be numeric\n", varname(tv).c_str());
  if (pv && isstrtype(vartype(pv)))
    return errmsgf(RC_TYPEMISMATCH, "panel variable %s must be numeric\n", varname(pv).c_str());
  for (long i = 1; i <= ds.nobs; ++i) {
    double t = zelta_data(tv, i);
    if (t < misval && t != std::floor(t))
      return errmsgf(RC_BADTIMEVAR, "time variable %s has noninteger values (%s in observation %ld)\n",
                     varname(tv).c_str(), dsfmtnum("%9.0g", t).c_str(), i);
  }
  const auto& s = ds.srtlist;
  bool sorted = pv ? (s.size() >= 2 && s[0] == pv && s[1] == tv) : (!s.empty() && s[0] == tv);
  if (!sorted && ds.nobs > 0) {
    vl.varlist_vr = pv ? std::vector<int>{pv, tv} : std::vector<int>{tv};
    vl.varlist_rcp.assign(vl.varlist_vr.size(), TsRecipe{});
    if (int rc = syssort(1, ds.nobs, false)) return rc;
  }
  // One pass: panel boundaries, steps between neighbours, ranges.
  std::vector<std::pair<double, double>> spans;  // first and last time of each panel
  double prevp = misval, prevt = misval;
  for (long i = 1; i <= ds.nobs; ++i) {
    if ((i & 0xffff) == 0 && stopflag) return 1;
    double t = zelta_data(tv, i), p = pv ? zelta_data(pv, i) : 0.0;
    if (t >= misval || p >= misval) continue;
    bool same = !spans.empty() && p == prevp;
    if (same && t == prevt)
      return errmsgf(RC_BADTIMEVAR, pv ? "repeated time values within panel\n" : "repeated time values in sample\n");
    if (same) {
      if (t - prevt != static_cast<double>(delta)) f.gaps = true;
      spans.back().second = t;
    } else {
      spans.emplace_back(t, t);
      if (pv) {
        if (f.pmin >= misval || p < f.pmin) f.pmin = p;
        if (f.pmax >= misval || p > f.pmax) f.pmax = p;
      }
    }
    if (f.tmin >= misval || t < f.tmin) f.tmin = t;
    if (f.tmax >= misval || t > f.tmax) f.tmax = t;
    prevp = p, prevt = t;
  }
  f.npanel = static_cast<long>(spans.size());
  f.balanced = !f.gaps;
  for (const auto& sp : spans)
    if (sp.first != f.tmin || sp.second != f.tmax) f.balanced = false;
  return 0;
}

// Prints the settings and posts r(); the data are sorted by now.
int tsreport(int pv, int tv, long delta, const TsFacts& f) {
  if (pv) {
    std::string r = f.npanel ? fmtval(pv, f.pmin) + " to " + fmtval(pv, f.pmax) : std::string("no observations");
    spoutsmlf("{txt}panel variable:  {res}%s{txt}, %s, {res}%ld{txt} panel%s, %s\n", varname(pv).c_str(), r.c_str(),
              f.npanel, f.npanel == 1 ? "" : "s", f.balanced ? "balanced" : "unbalanced");
  }
  std::string r = f.tmin < misval ? fmtval(tv, f.tmin) + " to " + fmtval(tv, f.tmax) : std::string("no observations");
  spoutsmlf("{txt} time variable:  {res}%s{txt}, %s%s\n", varname(tv).c_str(), r.c_str(), f.gaps ? ", with gaps" : "");
  spoutsmlf("{txt}         delta:  {res}%ld{txt} unit%s\n", delta, delta == 1 ? "" : "s");
  retval_clear();
  if (pv)
    if (int rc = retval_set_local("panelvar", varname(pv))) return rc;
  if (int rc = retval_set_local("timevar", varname(tv))) return rc;
  if (int rc = retval_set_scalar("tmin", f.tmin)) return rc;
  if (int rc = retval_set_scalar("tmax", f.tmax)) return rc;
  if (int rc = retval_set_scalar("delta", static_cast<double>(delta))) return rc;
  if (int rc = retval_set_scalar("balanced", f.balanced ? 1.0 : 0.0)) return rc;
  return retval_set_scalar("gaps", f.gaps ? 1.0 : 0.0);
}

// The variable named by a characteristic, or the code of its absence.
int charvar(const char* name, int* v) {
  *v = 0;
  const std::string* s = charget("_dta", name);
  if (!s || s->empty()) return 0;
  *v = findvarexact(s->c_str());
  return *v ? 0 : varnotfound(s->c_str());
}

// tsdeclare [panelvar] timevar [, delta(#) format(%fmt)] | tsdeclare [, clear]
int cmd_tsdeclare(int) {
  ParseResult pr;
  if (int rc = parse({.ifexp = PERM_NO, .options = PERM_OPTIONAL}, pr)) return rc;
  for (const TsRecipe& r : vl.varlist_rcp)
    if (!r.plain()) return error(RC_MSG_TSOPS);
  const std::vector<int> vars = vl.varlist_vr;
  const bool clear = findopt(pr, "clear", 5, 0) == 1;
  double dv[1] = {1};
  const bool hasdelta = findoptv(pr, "delta", 5, dv, 1, 0) > 0;
  std::string fmt;
  const bool hasfmt = findargasis(pr, "format", 3, fmt, 64);
  if (int rc = chkopt(pr)) return rc;
  if (clear) {
    if (!vars.empty() || hasdelta || hasfmt) return errmsgf(RC_SYNTAX, "option clear may not be combined\n");
    charset("_dta", "_TStvar", "");
    charset("_dta", "_TSpanel", "");
    charset("_dta", "_TSdelta", "");
    ds.updata = true;
    return 0;
  }
  if (vars.size() > 2) return errmsgf(RC_SYNTAX, "too many variables specified\n");
  if (hasdelta && (dv[0] < 1 || dv[0] > 1e9 || dv[0] != std::floor(dv[0])))
    return errmsgf(RC_SYNTAX, "delta() must be a positive integer\n");
  if (hasfmt && (fmt.empty() || fmt[0] != '%' || chkfmt(fmt.c_str(), FMTK_NUM)))
    return errmsgf(RC_SYNTAX, "format(%s) is not a numeric display format\n", fmt.c_str());
  int tv = 0, pv = 0;
  long delta = static_cast<long>(dv[0]);
  if (vars.empty()) {
    // Report (and check again) what was declared before.
    if (int rc = charvar("_TStvar", &tv)) return rc;
    if (!tv) return errmsgf(RC_NOTFOUND, "time variable not set\n");
    if (int rc = charvar("_TSpanel", &pv)) return rc;
    if (!hasdelta)
      if (const std::string* d = charget("_dta", "_TSdelta"); d && !d->empty()) delta = std::atol(d->c_str());
    if (delta < 1) delta = 1;
  } else {
    tv = vars.back();
    pv = vars.size() == 2 ? vars[0] : 0;
    if (pv == tv) return errmsgf(RC_SYNTAX, "panel and time variables must differ\n");
  }
  TsFacts f;
  if (int rc = tsexamine(pv, tv, delta, f)) return rc;
  if (hasfmt) ds.fmtlist[static_cast<size_t>(tv)] = fmt;
  charset("_dta", "_TStvar", varname(tv));
  charset("_dta", "_TSpanel", pv ? varname(pv) : std::string());
  charset("_dta", "_TSdelta", delta == 1 ? std::string() : std::to_string(delta));
  ds.updata = true;
  return tsreport(pv, tv, delta, f);
}

// tsrevar varlist [, list]: a temporary double variable for each operated
// entry (one per distinct operator and variable), the plain entries kept;
// r(varlist) names them in order. With list, r(varlist) names the variables
// the operators act on and nothing is made.
int cmd_tsrevar(int) {
  ParseResult pr;
  if (int rc = parse({.varlist = PERM_REQUIRED, .tsops = PERM_OPTIONAL, .ifexp = PERM_NO, .options = PERM_OPTIONAL}, pr)) return rc;
  const bool listonly = findopt(pr, "list", 4, 0) == 1;
  if (int rc = chkopt(pr)) return rc;
  const std::vector<int> vars = vl.varlist_vr;
  const std::vector<TsRecipe> rcps = vl.varlist_rcp;
  std::string out;
  std::vector<std::string> made;  // recipe text and name of each made variable
  std::vector<std::string> names(vars.size());
  for (size_t k = 0; k < vars.size(); ++k) {
    const std::string& base = varname(vars[k]);
    if (listonly || rcps[k].plain()) {
      names[k] = base;
      continue;
    }
    const std::string key = tsrecipe_text(rcps[k]) + "." + base;
    for (size_t m = 0; m + 1 < made.size(); m += 2)
      if (made[m] == key) names[k] = made[m + 1];
    if (!names[k].empty()) continue;
    std::vector<double> x(static_cast<size_t>(ds.nobs));
    for (long i = 1; i <= ds.nobs; ++i) {
      if ((i & 0xffff) == 0 && stopflag) return 1;
      x[static_cast<size_t>(i - 1)] = tsdata(vars[k], rcps[k], i, vl.tsvar, vl.tspanel);
    }
    const std::string nm = mktmpvn();
    if (int rc = addvar(nm.c_str(), ST_DOUBLE)) return rc;
    for (long i = 1; i <= ds.nobs; ++i) store(ds.nvar, i, x[static_cast<size_t>(i - 1)]);
    made.push_back(key);
    made.push_back(nm);
    names[k] = nm;
  }
  std::vector<std::string> seen;  // with list, each variable is named once
  for (const std::string& n : names) {
    if (listonly && std::find(seen.begin(), seen.end(), n) != seen.end()) continue;
    seen.push_back(n);
    out += (out.empty() ? "" : " ") + n;
  }
  retval_clear();
  return retval_set_local("varlist", out);
}

}  // namespace

void data_bindtsdeclare() {
  cmdbind("tsdeclare", cmd_tsdeclare);
  cmdbind("tsrevar", cmd_tsrevar);
}
