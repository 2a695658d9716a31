// _clogit: conditional logit for matched groups, group(varname) required.
// The rows are put in group order, groups whose outcomes are all positive or
// all negative leave the sample with a note, regressors constant within
// every group or collinear are dropped, and the exact conditional likelihood
// (mlmodels.cpp) is maximised by the shared maximiser. robust treats the
// groups as clusters.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numeric>
#include <string>
#include <vector>

#include "data/store.h"
#include "data/varlist.h"
#include "expr/expr.h"
#include "interp/cmdtab.h"
#include "output/errors.h"
#include "output/format.h"
#include "output/output.h"
#include "stats/clogit.h"
#include "stats/mlcmd.h"
#include "stats/mlmodels.h"
#include "stats/post.h"
#include "stats/stats.h"

namespace {

// _clogit depvar indepvars [if] [in], group(varname) [options]
int cmd_clogit(int) {
  ParseResult pr;
  bool replayed;
  if (int rc = mlc_begin(pr, "clogit", "Odds Ratio", "or", &replayed); rc || replayed) return rc;
  MlcOpts o;
  if (int rc = mlc_options(pr, o, false, false)) return rc;
  const bool oddsr = findopt(pr, "or", 2, 0) == 1;
  std::string ga;
  if (!findargn(pr, "group", 2, ga, 64, 1) || ga.empty()) return errmsgf(RC_SYNTAX, "option group() required\n");
  const int gvar = zelta_findvar(ga.c_str(), 1, false);
  if (gvar < 0) return -gvar;
  if (int rc = chkopt(pr)) return rc;
  if (pr.hasweight && pr.wgttype[0] != WK_F && pr.wgttype[0] != WK_I && pr.wgttype[0] != 'w')
    return errmsgf(RC_NOTALLOWED, "%cweights not allowed\n", pr.wgttype[0]);
  return clogit_fit(pr, "clogit", "Conditional (fixed-effects) logistic regression", gvar, o, oddsr, {});
}

}  // namespace

int clogit_fit(ParseResult& pr, const char* cmd, const char* title, int gvar, const MlcOpts& o, bool oddsr,
               const std::vector<std::pair<std::string, std::string>>& macros) {
  if (vl.lnvar() < 2) return errmsgf(RC_TOOFEWVARS, "too few variables specified\n");
  if (isstrtype(vartype(gvar))) return errmsgf(RC_TYPEMISMATCH, "group() variable %s must be numeric\n", varname(gvar).c_str());
  MlcSample s;
  if (int rc = mlc_read(pr, o, s)) return rc;
  // Group values; rows in group order.
  std::vector<double> gv(static_cast<size_t>(s.d.n));
  std::vector<unsigned char> keep(static_cast<size_t>(s.d.n), 1);
  bool miss = false;
  for (long i = 0; i < s.d.n; ++i) {
    gv[static_cast<size_t>(i)] = zelta_data(gvar, s.obs[static_cast<size_t>(i)]);
    if (gv[static_cast<size_t>(i)] >= misval) keep[static_cast<size_t>(i)] = 0, miss = true;
  }
  if (miss) {
    mlc_keeprows(s, keep);
    std::vector<double> g2;
    for (size_t i = 0; i < keep.size(); ++i)
      if (keep[i]) g2.push_back(gv[i]);
    gv = std::move(g2);
  }
  std::vector<size_t> perm(static_cast<size_t>(s.d.n));
  std::iota(perm.begin(), perm.end(), 0);
  std::stable_sort(perm.begin(), perm.end(), [&](size_t a, size_t b) { return gv[a] < gv[b]; });
  mlc_reorder(s, perm);
  {
    std::vector<double> g2(gv.size());
    for (size_t i = 0; i < perm.size(); ++i) g2[i] = gv[perm[i]];
    gv = std::move(g2);
  }
  // Groups without variation in the outcome carry no information.
  keep.assign(static_cast<size_t>(s.d.n), 1);
  long gdrop = 0, odrop = 0;
  for (long a = 0; a < s.d.n;) {
    long e = a;
    long pos = 0;
    while (e < s.d.n && gv[static_cast<size_t>(e)] == gv[static_cast<size_t>(a)]) pos += s.d.y[static_cast<size_t>(e++)] != 0;
    if (pos == 0 || pos == e - a) {
      ++gdrop;
      odrop += e - a;
      for (long i = a; i < e; ++i) keep[static_cast<size_t>(i)] = 0;
    }
    a = e;
  }
  if (gdrop) {
    st_note("note: " + std::to_string(gdrop) + " group" + (gdrop > 1 ? "s" : "") + " (" + std::to_string(odrop) +
            " obs) dropped because of all positive or\n      all negative outcomes\n");
    mlc_keeprows(s, keep);
    std::vector<double> g2;
    for (size_t i = 0; i < keep.size(); ++i)
      if (keep[i]) g2.push_back(gv[i]);
    gv = std::move(g2);
  }
  if (s.d.n == 0) return errmsgf(RC_NOOBS, "no group has both positive and negative outcomes\n");
  std::vector<long> start;
  for (long i = 0; i < s.d.n; ++i)
    if (i == 0 || gv[static_cast<size_t>(i)] != gv[static_cast<size_t>(i - 1)]) start.push_back(i);
  start.push_back(s.d.n);
  const long G = static_cast<long>(start.size()) - 1;
  // A weight belongs to a group: the same on all of its rows.
  double total = static_cast<double>(s.d.n);
  if (!s.d.w.empty()) {
    total = 0;
    for (long gi = 0; gi < G; ++gi) {
      const long a = start[static_cast<size_t>(gi)], e = start[static_cast<size_t>(gi + 1)];
      for (long i = a + 1; i < e; ++i)
        if (s.d.w[static_cast<size_t>(i)] != s.d.w[static_cast<size_t>(a)])
          return errmsgf(RC_WEIGHTGROUP, "weights must be the same for all observations in a group\n");
      total += s.d.w[static_cast<size_t>(a)] * static_cast<double>(e - a);
    }
  }
  // Regressors constant within every group, and collinear ones, are
  // dropped: the check runs on the deviations from the group means.
  const size_t k = s.d.x.size();
  std::vector<unsigned char> dropped(k, 0);
  {
    std::vector<std::vector<double>> dev(k, std::vector<double>(static_cast<size_t>(s.d.n)));
    for (size_t j = 0; j < k; ++j)
      for (long gi = 0; gi < G; ++gi) {
        const long a = start[static_cast<size_t>(gi)], e = start[static_cast<size_t>(gi + 1)];
        double m = 0;
        for (long i = a; i < e; ++i) m += s.d.x[j][static_cast<size_t>(i)];
        m /= static_cast<double>(e - a);
        for (long i = a; i < e; ++i) dev[j][static_cast<size_t>(i)] = s.d.x[j][static_cast<size_t>(i)] - m;
      }
    std::vector<const double*> cols;
    for (auto& c : dev) cols.push_back(c.data());
    std::vector<unsigned char> kp;
    ml_collinear(cols, s.d.n, nullptr, false, kp);
    for (size_t j = 0; j < k; ++j)
      if (!kp[j]) {
        dropped[j] = 1;
        st_note("note: " + s.names[j] + " omitted because of no within-group variance or collinearity\n");
      }
  }
  const MlEq eq = mlc_eq(dropped, false);
  if (eq.cols.empty()) return errmsgf(RC_TOOFEWVARS, "too few variables specified\n");
  MlModel m;
  m.eqs = {eq};
  mlm_clogit(m, s.d, start);
  const int P = m.nparam();
  std::vector<double> b0(static_cast<size_t>(P), 0);
  double ll0 = 0;
  if (int rc = ml_eval(m, s.d, b0, 0, &ll0, nullptr, nullptr)) return rc == ML_BREAK ? 1 : RC_OVERFLOW;
  MlResult r;
  if (int rc = mlc_fit(m, s, o, b0, r)) return rc;
  MlcFit f;
  f.cmd = cmd;
  f.title = title;
  f.predict = "clogit_p";
  mlc_fitted(f, r, P, s, o, total);
  f.ll_0 = ll0;
  std::vector<double> V = r.V;
  if (f.wald) {
    // Scores are per group: robust clusters on the groups.
    std::vector<double> sc;
    double ll;
    if (int er = ml_eval(m, s.d, r.b, 1, &ll, nullptr, nullptr, &sc)) return er == ML_BREAK ? 1 : RC_NOCONVERGE;
    f.nclust = ml_robust(V, P, s.d.n, sc, nullptr, o.clustvar ? s.d.clust.data() : gv.data());
  }
  mlc_chi2(f, P, r.b, V, P);
  mlc_coefs(f, s, dropped, false, "", {}, r.b, V);
  f.scalars.push_back({"N_group", static_cast<double>(G)});
  f.macros.push_back({"group", varname(gvar)});
  for (const auto& mc : macros) f.macros.push_back(mc);
  return mlc_finish(f, s, o, oddsr ? "Odds Ratio" : "", [&] {
    if (f.wald && !o.clustvar) {
      st_escalar("N_clust", static_cast<double>(f.nclust));
      st_elocal("clustvar", varname(gvar).c_str());
    }
  });
}

void stats_bindclogit() { cmdbind("_clogit", cmd_clogit); }
