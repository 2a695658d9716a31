// Quantiles: `_pctile` posts percentiles of a variable in r(r1), r(r2), ...
// (quantile groups as a variable are grpstat's cut(), group(#)).
//   _pctile varname [if] [in] [weight] [, nquantiles(#) percentiles(numlist) altdef]
#include <algorithm>
#include <cmath>
#include <new>
#include <string>
#include <vector>

#include "data/store.h"
#include "data/varlist.h"
#include "expr/expr.h"
#include "interp/cmdtab.h"
#include "interp/program.h"
#include "interp/tokenizer.h"
#include "output/errors.h"
#include "output/output.h"
#include "platform/platform.h"
#include "stats/grpacc.h"
#include "stats/post.h"
#include "stats/stats.h"

namespace {

// The percentiles wanted: nquantiles(#) or percentiles(numlist); 0 or a code.
int wanted(ParseResult& pr, std::vector<double>& p) {
  long nq = findopta(pr, "nquantiles", 1, 0);
  std::string list;
  const bool haslist = findargasis(pr, "percentiles", 1, list, 4000);
  if (nq && haslist) return errmsgf(RC_NOTCOMBINED, "options nquantiles() and percentiles() may not be combined\n");
  if (haslist) {
    NumlistSpec shape;
    if (int rc = numlist_expand(list.c_str(), shape, p, false)) return rc;
    for (double x : p)
      if (!(x > 0 && x < 100)) return errmsgf(RC_SYNTAX, "percentiles() must be between 0 and 100\n");
    if (p.size() > 1000) return error(RC_TOOMANYVALUES);
    return 0;
  }
  if (!nq) nq = 2;
  if (nq < 2 || nq > 1001) return errmsgf(RC_SYNTAX, "nquantiles() must be between 2 and 1001\n");
  for (long k = 1; k < nq; ++k) p.push_back(100.0 * static_cast<double>(k) / static_cast<double>(nq));
  return 0;
}

// Sorted used values (and their weights) of x over the sample.
int sortedvals(const StSample& s, const std::vector<double>& x, std::vector<double>& xs, std::vector<double>& ws) {
  std::vector<std::pair<double, double>> v;
  for (size_t i = 0; i < x.size(); ++i) {
    if (!s.selected(s.lo + static_cast<long>(i)) || x[i] >= misval) continue;
    double w = 1;
    if (s.wkind) {
      bool use;
      w = s.w[i];
      if (int rc = st_checkweight(s.wkind, w, &use)) return rc;
      if (!use) continue;
    }
    v.emplace_back(x[i], w);
  }
  std::stable_sort(v.begin(), v.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  xs.clear(), ws.clear();
  for (const auto& e : v) xs.push_back(e.first), ws.push_back(e.second);
  return 0;
}

// The p-th percentile; altdef interpolates at (n+1)p/100 (unweighted only).
double pct(const std::vector<double>& xs, const std::vector<double>& ws, bool weighted, bool altdef, double p) {
  const long n = static_cast<long>(xs.size());
  if (altdef) {
    const double h = static_cast<double>(n + 1) * p / 100;
    if (h <= 1) return xs.front();
    if (h >= static_cast<double>(n)) return xs.back();
    const long j = static_cast<long>(std::floor(h));
    return xs[static_cast<size_t>(j - 1)] + (h - static_cast<double>(j)) * (xs[static_cast<size_t>(j)] - xs[static_cast<size_t>(j - 1)]);
  }
  return gs_pctile(xs.data(), weighted ? ws.data() : nullptr, n, p);
}

int weightcheck(ParseResult& pr, bool altdef) {
  if (!pr.hasweight) return 0;
  if (pr.wgttype[0] == WK_I) return errmsgf(RC_NOTALLOWED, "iweights not allowed\n");
  if (altdef) return errmsgf(RC_WEIGHTED, "altdef may not be combined with weights\n");
  return 0;
}

// _pctile varname [if] [in] [weight] [, nquantiles(#) percentiles(numlist) altdef]
int cmd_pctile(int) {
  ParseResult pr;
  if (int rc = parse({.varlist = PERM_REQUIRED, .weight = PERM_OPTIONAL, .options = PERM_OPTIONAL}, pr)) return rc;
  std::vector<double> p;
  if (int rc = wanted(pr, p)) return rc;
  const bool altdef = findopt(pr, "altdef", 3, 0) == 1;
  if (int rc = chkopt(pr)) return rc;
  if (int rc = weightcheck(pr, altdef)) return rc;
  if (vl.lnvar() != 1) return error(RC_TOOMANYVARS);
  const int v = vl.varlist_vr[0];
  if (isstrtype(vartype(v))) return error(RC_TYPEMISMATCH);
  try {
    StSample s;
    if (int rc = st_sample(s, pr)) return rc;
    std::vector<double> x(static_cast<size_t>(std::max(0L, s.hi - s.lo + 1)));
    for (long o = 0; o < static_cast<long>(x.size()); o += EXPR_BLOCK)
      st_gather(0, s.lo + o, std::min(EXPR_BLOCK, static_cast<long>(x.size()) - o), x.data() + o);
    std::vector<double> xs, ws;
    if (int rc = sortedvals(s, x, xs, ws)) return rc;
    st_rclear();
    if (xs.empty()) return st_noobs();
    for (size_t k = 0; k < p.size(); ++k) {
      std::string name(1, 'r');
      name += std::to_string(k + 1);
      st_rscalar(name.c_str(), pct(xs, ws, s.wkind != WK_NONE, altdef, p[k]));
    }
  } catch (const std::bad_alloc&) {
    return error(RC_NOMEM);
  }
  return 0;
}

}  // namespace

void stats_bindquantile() {
  cmdbind("_pctile", cmd_pctile);
}
