// _ologit and _oprobit (one handler, the mode choosing the link) for ordered
// outcomes with any set of integer values, and _mlogit for unordered ones:
// the categories read from the sample, the models of mlmodels.cpp fitted by
// the shared maximiser, cut points posted as cut1, cut2, ... and mlogit's
// equations named by the outcome values.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "data/value.h"
#include "data/varlist.h"
#include "expr/expr.h"
#include "interp/cmdtab.h"
#include "output/errors.h"
#include "output/format.h"
#include "output/output.h"
#include "stats/mlcmd.h"
#include "stats/mlmodels.h"
#include "stats/post.h"
#include "stats/stats.h"

namespace {

enum : int { OM_OLOGIT = 0, OM_OPROBIT = 1, OM_MLOGIT = 2 };

// The outcome values of s in ascending order, each row's category, and the
// weight of each category. 0, or 459 for a value that is not an integer.
int categories(const MlcSample& s, std::vector<double>& vals, std::vector<int>& cat, std::vector<double>& freq) {
  std::map<double, double> m;
  for (long i = 0; i < s.d.n; ++i) {
    const double y = s.d.y[static_cast<size_t>(i)];
    if (y != std::floor(y)) return errmsgf(RC_BADDATA, "%s must take integer values\n", s.depname.c_str());
    m[y] += s.d.w.empty() ? 1 : s.d.w[static_cast<size_t>(i)];
  }
  vals.clear(), freq.clear();
  for (const auto& [v, f] : m) vals.push_back(v), freq.push_back(f);
  cat.resize(static_cast<size_t>(s.d.n));
  for (long i = 0; i < s.d.n; ++i)
    cat[static_cast<size_t>(i)] = static_cast<int>(
        std::lower_bound(vals.begin(), vals.end(), s.d.y[static_cast<size_t>(i)]) - vals.begin());
  return 0;
}

std::string valname(double v) {
  char b[32];
  std::snprintf(b, sizeof b, "%.0f", v);
  return b;
}

// _ologit | _oprobit | _mlogit [depvar [indepvars] [if] [in] [weight]] [, options]
int cmd_ordered(int mode) {
  ParseResult pr;
  const char* cmd = mode == OM_OLOGIT ? "ologit" : mode == OM_OPROBIT ? "oprobit" : "mlogit";
  bool replayed;
  if (int rc = mlc_begin(pr, cmd, "RRR", mode == OM_MLOGIT ? "rrr" : nullptr, &replayed); rc || replayed) return rc;
  MlcOpts o;
  if (int rc = mlc_options(pr, o, mode == OM_MLOGIT, false)) return rc;
  if (mode != OM_MLOGIT && o.nocons) return errmsgf(RC_SYNTAX, "option noconstant not allowed\n");
  const bool rrr = mode == OM_MLOGIT && findopt(pr, "rrr", 3, 0) == 1;
  double bo[1];
  const bool hasbase = mode == OM_MLOGIT && findoptv(pr, "baseoutcome", 5, bo, 1, 0) == 1;
  if (int rc = chkopt(pr)) return rc;
  MlcSample s;
  if (int rc = mlc_read(pr, o, s)) return rc;
  std::vector<double> vals, freq;
  std::vector<int> cat;
  if (int rc = categories(s, vals, cat, freq)) return rc;
  const int J = static_cast<int>(vals.size());
  if (J < 2) return errmsgf(RC_NOOBS, "outcome does not vary\n");
  if (J > 50) return errmsgf(RC_TOOMANYCATS, "too many outcomes: %d (at most 50)\n", J);
  const size_t k = s.d.x.size();
  std::vector<unsigned char> dropped(k, 0);
  // Ordered models have no constant of their own: the cut points take it.
  const bool cons = mode == OM_MLOGIT ? !o.nocons : true;
  mlc_rmcoll(s, cons, dropped);
  MlEq eq = mlc_eq(dropped, false);
  double total = 0;
  for (double f : freq) total += f;

  MlModel m;
  std::vector<double> b0;
  double ll0 = 0;
  std::vector<std::string> extra;
  std::string eq0;
  int base = 0;
  MlcFit f;
  f.cmd = cmd;
  if (mode != OM_MLOGIT) {
    const int kind = mode == OM_OLOGIT ? MLB_LOGIT : MLB_PROBIT;
    eq.cons = false;
    m.eqs = {eq};
    b0.assign(eq.cols.size(), 0);
    double cum = 0;
    for (int j = 0; j < J - 1; ++j) {
      MlEq c;
      c.name = "cut" + std::to_string(j + 1);
      m.eqs.push_back(c);
      cum += freq[static_cast<size_t>(j)];
      const double pj = cum / total;
      b0.push_back(kind == MLB_LOGIT ? std::log(pj / (1 - pj)) : fn_invnormal(pj));
      extra.push_back(c.name);
    }
    mlm_ordered(m, cat, J, kind);
    f.title = mode == OM_OLOGIT ? "Ordered logistic regression" : "Ordered probit regression";
    f.predict = mode == OM_OLOGIT ? "ologit_p" : "oprobit_p";
  } else {
    // The base: the most frequent outcome (the smallest on a tie) unless given.
    if (hasbase) {
      auto it = std::find(vals.begin(), vals.end(), bo[0]);
      if (it == vals.end()) return errmsgf(RC_NOTFOUND, "outcome %s not found\n", valname(bo[0]).c_str());
      base = static_cast<int>(it - vals.begin());
    } else {
      for (int j = 1; j < J; ++j)
        if (freq[static_cast<size_t>(j)] > freq[static_cast<size_t>(base)]) base = j;
    }
    eq.cons = cons;
    for (int j = 0; j < J; ++j) {
      if (j == base) continue;
      MlEq e = eq;
      e.name = valname(vals[static_cast<size_t>(j)]);
      m.eqs.push_back(e);
      std::vector<double> bj(eq.cols.size(), 0);
      if (cons) bj.push_back(std::log(freq[static_cast<size_t>(j)] / freq[static_cast<size_t>(base)]));
      b0.insert(b0.end(), bj.begin(), bj.end());
    }
    if (m.eqs.empty() || m.eqs[0].size() == 0) return errmsgf(RC_TOOFEWVARS, "too few variables specified\n");
    mlm_mlogit(m, cat, J, base);
    f.title = "Multinomial logistic regression";
    f.predict = "mlogit_p";
  }
  // The constant-only model's likelihood: the categories' shares.
  for (double fj : freq) ll0 += fj * std::log(fj / total);
  const int P = m.nparam();
  MlResult r;
  if (int rc = mlc_fit(m, s, o, b0, r)) return rc;
  mlc_fitted(f, r, P, s, o, total);
  f.ll_0 = (mode == OM_MLOGIT && !cons) || !s.d.off.empty() ? misval : ll0;
  std::vector<double> V = r.V;
  if (int vr = mlc_variance(m, s, o, r.b, V, f)) return vr;
  const int nsl = static_cast<int>(eq.cols.size());
  if (mode != OM_MLOGIT) {
    mlc_chi2(f, nsl, r.b, V, P);
    mlc_coefs(f, s, dropped, false, "", extra, r.b, V);
  } else {
    // The slopes of every equation are tested; the posted names carry
    // the equations, dropped regressors kept as zeros in each.
    f.df_m = nsl * (J - 1);
    const int pe = m.eqs[0].size();
    if (f.wald) {
      std::vector<int> which;
      for (int e = 0; e < J - 1; ++e)
        for (int j = 0; j < nsl; ++j) which.push_back(e * pe + j);
      f.chi2 = nsl > 0 ? ml_wald(r.b, V, P, which) : 0;
    } else {
      f.chi2 = f.ll_0 < misval ? std::max(0.0, 2 * (f.ll - f.ll_0)) : misval;
    }
    std::vector<std::string> names;
    std::vector<double> b, VV;
    std::vector<int> pos;
    for (int e = 0; e < J - 1; ++e) {
      const std::string pre = m.eqs[static_cast<size_t>(e)].name + ":";
      for (size_t j = 0; j < k; ++j) {
        if (!dropped[j]) pos.push_back(static_cast<int>(names.size()));
        names.push_back(pre + s.names[j]);
      }
      if (cons) {
        pos.push_back(static_cast<int>(names.size()));
        names.push_back(pre + "_cons");
      }
    }
    const size_t pp = names.size();
    f.names = names;
    f.b.assign(pp, 0);
    f.V.assign(pp * pp, 0);
    for (int a = 0; a < P; ++a) {
      f.b[static_cast<size_t>(pos[static_cast<size_t>(a)])] = r.b[static_cast<size_t>(a)];
      for (int c = 0; c < P; ++c)
        f.V[static_cast<size_t>(pos[static_cast<size_t>(a)]) * pp + static_cast<size_t>(pos[static_cast<size_t>(c)])] =
            V[static_cast<size_t>(a * P + c)];
    }
    f.scalars.push_back({"ibaseout", base + 1});
    f.scalars.push_back({"baseout", vals[static_cast<size_t>(base)]});
  }
  f.scalars.push_back({"k_cat", J});
  std::vector<std::string> cn;
  for (double v : vals) cn.push_back(valname(v));
  const std::string tail = mode == OM_MLOGIT ? std::string("{txt}(") + s.depname + "==" +
                                                   valname(vals[static_cast<size_t>(base)]) + " is the base outcome)\n"
                                             : "";
  return mlc_finish(f, s, o, rrr ? "RRR" : "", [&] { st_ematrix("cat", 1, J, vals, {"y1"}, cn); }, tail);
}

}  // namespace

void stats_bindordered() {
  cmdbind("_ologit", cmd_ordered, OM_OLOGIT);
  cmdbind("_oprobit", cmd_ordered, OM_OPROBIT);
  cmdbind("_mlogit", cmd_ordered, OM_MLOGIT);
}
