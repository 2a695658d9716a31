// The built-ins behind kdens and lowess: _KDE evaluates a kernel density
// estimate into variables the caller made, _LOWESS stores a lowess smooth.
//   _KDE varname [if] [in] [weight], xvar(var) dvar(var) bwidth(#) [kernel(name) n(#) at(var)]
//   _LOWESS yvar xvar [if] [in], generate(var) bwidth(#) [mean noweight]
#include <cmath>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "data/store.h"
#include "data/varlist.h"
#include "interp/cmdtab.h"
#include "output/errors.h"
#include "stats/post.h"
#include "stats/smooth.h"
#include "stats/stats.h"

namespace {

// A number option; 0, or 198 (printed) when absent and required or not a number.
int numopt(ParseResult& pr, const char* name, int min, double* v, bool required) {
  std::string s;
  if (!findargasis(pr, name, min, s, 64)) return required ? errmsgf(RC_REQUIRED, "option %s() required\n", name) : 0;
  char* end;
  *v = std::strtod(s.c_str(), &end);
  while (*end == ' ') ++end;
  if (s.empty() || *end) return errmsgf(RC_SYNTAX, "option %s() invalid\n", name);
  return 0;
}

// A variable option naming an existing numeric variable; 0 (var 0 when
// absent) or a code.
int varopt(ParseResult& pr, const char* name, int min, int* var) {
  std::string s;
  *var = 0;
  if (!findargn(pr, name, min, s, 64, 1)) return 0;
  if (s.empty()) return errmsgf(RC_SYNTAX, "option %s() invalid\n", name);
  const int v = zelta_findvar(s.c_str(), 1, false);
  if (v < 0) return -v;
  if (isstrtype(vartype(v))) return errmsgf(RC_TYPEMISMATCH, "%s() variable %s must be numeric\n", name, varname(v).c_str());
  *var = v;
  return 0;
}

// The used observations of the sample: vars not missing, a usable weight.
// Fills obs (their numbers) and w (their weights; empty without weights).
int usedobs(const std::vector<int>& vars, const StSample& s, std::vector<long>& obs, std::vector<double>& w) {
  for (long o = s.lo; o <= s.hi; ++o) {
    if (!s.selected(o)) continue;
    bool use = true;
    for (int v : vars) use = use && zelta_data(v, o) < misval;
    double wi = 1;
    if (use && s.wkind) {
      wi = s.w[static_cast<size_t>(o - s.lo)];
      if (int rc = st_checkweight(s.wkind, wi, &use)) return rc;
    }
    if (!use) continue;
    obs.push_back(o);
    if (s.wkind) w.push_back(wi);
  }
  return 0;
}

int cmd_kde(int) {
  ParseResult pr;
  if (int rc = parse({.varlist = PERM_REQUIRED, .weight = PERM_OPTIONAL, .options = PERM_OPTIONAL, .by = PERM_OPTIONAL}, pr)) return rc;
  int xv = 0, dv = 0, atv = 0;
  double h = 0, npt = 50;
  std::string kname = "epanechnikov";
  if (int rc = varopt(pr, "xvar", 4, &xv)) return rc;
  if (int rc = varopt(pr, "dvar", 4, &dv)) return rc;
  if (int rc = varopt(pr, "at", 2, &atv)) return rc;
  if (int rc = numopt(pr, "bwidth", 2, &h, true)) return rc;
  if (int rc = numopt(pr, "n", 1, &npt, false)) return rc;
  (void)findargn(pr, "kernel", 1, kname, 64, 1);
  if (int rc = chkopt(pr)) return rc;
  if (vl.lnvar() != 1) return error(vl.lnvar() < 1 ? RC_TOOFEWVARS : RC_TOOMANYVARS);
  const int var = vl.varlist_vr[0];
  if (isstrtype(vartype(var))) return error(RC_TYPEMISMATCH);
  if (pr.hasweight && (pr.wgttype[0] == WK_P || pr.wgttype[0] == WK_I))
    return errmsgf(RC_NOTALLOWED, "%ss not allowed\n", pr.wgttype.c_str());
  SmKernel k;
  if (!sm_kernel(kname, &k)) return errmsgf(RC_SYNTAX, "kernel(%s) invalid\n", kname.c_str());
  if (!(h > 0 && h < misval)) return errmsgf(RC_SYNTAX, "bwidth() must be above 0\n");
  if (!dv || (!xv && !atv)) return errmsgf(RC_SYNTAX, "dvar() and xvar() or at() required\n");
  if (!atv && !(npt >= 2 && npt == std::floor(npt) && npt <= static_cast<double>(ds.nobs)))
    return errmsgf(RC_SYNTAX, "n() must be an integer from 2 to the number of observations (%ld)\n", ds.nobs);
  try {
    StSample s;
    if (int rc = st_sample(s, pr)) return rc;
    // The values in a scratch area kept between runs: a large sample
    // would otherwise pay for fresh pages on every run.
    std::vector<double>& x = sts.kdspare;
    std::vector<double> w;
    const size_t range = static_cast<size_t>(std::max(0L, s.hi - s.lo + 1));
    if (x.size() < range) x.resize(range);
    size_t nx = 0;
    double lo = misval, hi = -misval, N = 0;
    for (long o = s.lo; o <= s.hi; ++o) {
      if (!s.selected(o)) continue;
      const double v = zelta_data(var, o);
      bool use = v < misval;
      double wi = 1;
      if (use && s.wkind) {
        wi = s.w[static_cast<size_t>(o - s.lo)];
        if (int rc = st_checkweight(s.wkind, wi, &use)) return rc;
      }
      if (!use) continue;
      x[nx++] = v;
      if (s.wkind) w.push_back(wi);
      lo = std::min(lo, v);
      hi = std::max(hi, v);
      N += s.wkind == WK_F ? wi : 1;
    }
    if (nx == 0) return st_noobs();
    // The points: at()'s values, or n() from the minimum to the maximum.
    std::vector<double> at;
    std::vector<long> where;
    if (atv) {
      for (long o = 1; o <= ds.nobs; ++o)
        if (const double t = zelta_data(atv, o); t < misval) at.push_back(t), where.push_back(o);
    } else {
      const long m = static_cast<long>(npt);
      for (long j = 0; j < m; ++j) {
        at.push_back(j == m - 1 ? hi : lo + (hi - lo) * static_cast<double>(j) / static_cast<double>(m - 1));
        where.push_back(j + 1);
      }
    }
    std::vector<double> d;
    if (int rc = sm_kdens(x.data(), w.empty() ? nullptr : w.data(), nx, k, h, at, d)) return rc;
    for (size_t j = 0; j < at.size(); ++j) {
      if (!atv) store(xv, where[j], at[j]);
      store(dv, where[j], d[j]);
    }
    st_rclear();
    st_rscalar("bwidth", h);
    st_rscalar("n", static_cast<double>(at.size()));
    st_rscalar("N", N);
    st_rlocal("kernel", sm_kernelname(k));
  } catch (const std::bad_alloc&) {
    return error(RC_NOMEM);
  }
  return 0;
}

int cmd_lowess(int) {
  ParseResult pr;
  if (int rc = parse({.varlist = PERM_REQUIRED, .options = PERM_OPTIONAL, .by = PERM_OPTIONAL}, pr)) return rc;
  int gv = 0;
  double bw = 0.8;
  if (int rc = varopt(pr, "generate", 3, &gv)) return rc;
  if (int rc = numopt(pr, "bwidth", 2, &bw, false)) return rc;
  const bool mean = findopt(pr, "mean", 4, 0) == 1;
  const bool noweight = findopt(pr, "noweight", 6, 0) == 1;
  if (int rc = chkopt(pr)) return rc;
  if (vl.lnvar() != 2) return error(vl.lnvar() < 2 ? RC_TOOFEWVARS : RC_TOOMANYVARS);
  const int yv = vl.varlist_vr[0], xv = vl.varlist_vr[1];
  if (isstrtype(vartype(yv)) || isstrtype(vartype(xv))) return error(RC_TYPEMISMATCH);
  if (!gv) return errmsgf(RC_REQUIRED, "option generate() required\n");
  if (!(bw > 0 && bw <= 1)) return errmsgf(RC_SYNTAX, "bwidth() must be above 0 and at most 1\n");
  try {
    StSample s;
    if (int rc = st_sample(s, pr)) return rc;
    std::vector<long> obs;
    std::vector<double> w;
    if (int rc = usedobs({yv, xv}, s, obs, w)) return rc;
    if (obs.empty()) return st_noobs();
    std::vector<double> x(obs.size()), y(obs.size()), fit;
    for (size_t i = 0; i < obs.size(); ++i) x[i] = zelta_data(xv, obs[i]), y[i] = zelta_data(yv, obs[i]);
    if (int rc = sm_lowess(x, y, bw, mean, noweight, fit)) return rc;
    for (size_t i = 0; i < obs.size(); ++i) store(gv, obs[i], fit[i]);
    st_rclear();
    st_rscalar("N", static_cast<double>(obs.size()));
    st_rscalar("bwidth", bw);
  } catch (const std::bad_alloc&) {
    return error(RC_NOMEM);
  }
  return 0;
}

}  // namespace

void stats_bindsmooth() {
  cmdbind("_KDE", cmd_kde);
  cmdbind("_LOWESS", cmd_lowess);
}
