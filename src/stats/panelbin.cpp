// panelprobit and panellogit: binary outcomes on panels. re (the default)
// fits a normal random intercept by adaptive Gauss-Hermite quadrature
// (requad.cpp) from the pooled fit, posts the coefficients with
// ln sigma_u^2, sigma_u, rho and the likelihood-ratio test of rho = 0
// against the pooled model; fe under panellogit is the conditional logit
// over the panels. Also _GetQuad, the Gauss-Hermite rule into r().
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
#include "stats/etable.h"
#include "stats/mlcmd.h"
#include "stats/mlmodels.h"
#include "stats/panelcmd.h"
#include "stats/post.h"
#include "stats/requad.h"
#include "stats/stats.h"

namespace {

const char* cmdname(int kind) { return kind == MLB_LOGIT ? "panellogit" : "panelprobit"; }

std::string num(const char* fmt, double v) { return sreforms(fmt, v); }

// One row under the table for a transform of ln sigma_u^2: value, standard
// error and the interval from the transformed interval of the parameter.
void auxrow(const char* name, double v, double se, double lo, double hi) {
  std::string l = "{txt}";
  l.append(12 - std::string(name).size(), ' ');
  l += name;
  l += " {c |}  {res}" + std::string(num("%9.0g", v)) + "  " + num("%9.0g", se) + std::string(21, ' ') +
       num("%9.0g", lo) + "   " + num("%9.0g", hi) + "\n";
  spoutsml(l.c_str());
}

// Prints the current random-effects results: header, table, sigma_u and rho,
// the likelihood-ratio test. 0 or 301.
int display(int kind, double level) {
  auto sc = [](const char* n) { return st_escalarget(n); };
  spoutsml("\n");
  pn_headrow(kind == MLB_LOGIT ? "Random-effects logistic regression" : "Random-effects probit regression",
          "Number of obs", num("%10.0f", sc("N")));
  pn_headrow("Panel variable: " + st_elocalget("ivar"), "Number of panels", num("%10.0f", sc("N_g")));
  spoutsml("\n");
  pn_headrow("Random effects u_i ~ N(0, sigma_u^2)", "Obs per panel: min", num("%10.0f", sc("g_min")));
  pn_headrow("", "               avg", num("%10.1f", sc("g_avg")));
  pn_headrow("", "               max", num("%10.0f", sc("g_max")));
  pn_headrow("Adaptive Gauss-Hermite quadrature", "Integration points", num("%10.0f", sc("n_quad")));
  char lab[64];
  std::snprintf(lab, sizeof lab, "Wald chi2(%.0f)", sc("df_m"));
  pn_headrow("", lab, num("%10.2f", sc("chi2")));
  pn_headrow("Log likelihood = " + std::string(num("%10.0g", sc("ll"))), "Prob > chi2", num("%10.4f", sc("p")));
  mlc_clusternote();
  spoutsml("\n");
  CoefTable t;
  if (int rc = ct_frome(t)) return rc;
  t.level = level;
  t.plus = true;
  ct_display(t);
  // sigma_u = exp(th/2), rho = s2 / (s2 + c): their standard errors by the
  // delta method, their intervals from the interval of th.
  const size_t p = t.names.size();
  const double th = t.b[p - 1], vth = t.V[(p - 1) * p + p - 1];
  const double seth = vth >= 0 && vth < misval ? std::sqrt(vth) : misval;
  const double crit = ct_critical(level, misval);
  const double lo = seth < misval ? th - crit * seth : misval, hi = seth < misval ? th + crit * seth : misval;
  const double c = kind == MLB_LOGIT ? M_PI * M_PI / 3 : 1;
  auto rho = [c](double x) { return x < misval ? 1 / (1 + c * std::exp(-x)) : misval; };
  auto su = [](double x) { return x < misval ? std::exp(x / 2) : misval; };
  const double s = su(th), r = rho(th);
  auxrow("sigma_u", s, seth < misval ? s / 2 * seth : misval, su(lo), su(hi));
  auxrow("rho", r, seth < misval ? r * (1 - r) * seth : misval, rho(lo), rho(hi));
  spoutsml("{txt}{hline 13}{c BT}{hline 64}\n");
  if (sc("chi2_c") < misval)
    spoutsmlf("{txt}LR test of rho=0: chibar2(01) = {res}%.2f{txt}   Prob >= chibar2 = {res}%5.3f\n", sc("chi2_c"),
              sc("p_c"));
  return 0;
}

// Replay of the current results of kind. 0 or a code.
int replay(ParseResult& pr, int kind, bool oddsr) {
  if (st_ecmd() != cmdname(kind)) return error(RC_NOESTIMATES);
  double level;
  if (int rc = st_level(pr, &level)) return rc;
  if (int rc = chkopt(pr)) return rc;
  if (pr.hasif || pr.hasin || pr.hasweight) return error(RC_SYNTAX);
  if (st_elocalget("model") == "fe") {
    mlc_display(level, oddsr ? "Odds Ratio" : "");
    return 0;
  }
  return display(kind, level);
}

// The random-effects fit of the parsed command with panel variable pv.
int fitre(ParseResult& pr, int kind, int pv, MlcOpts& o, int points) {
  MlcSample s;
  if (int rc = mlc_read(pr, o, s)) return rc;
  // Rows of a missing panel leave; the rest go in panel order.
  std::vector<double> pval;
  if (int rc = pn_panelrows(s, pv, pval)) return rc;
  if (!std::is_sorted(pval.begin(), pval.end())) {
    std::vector<size_t> perm(static_cast<size_t>(s.d.n));
    std::iota(perm.begin(), perm.end(), 0);
    std::stable_sort(perm.begin(), perm.end(), [&](size_t a, size_t b) { return pval[a] < pval[b]; });
    mlc_reorder(s, perm);
    const std::vector<double> pv0(pval);
    for (size_t i = 0; i < perm.size(); ++i) pval[i] = pv0[perm[i]];
  }
  std::vector<long> start;
  for (long i = 0; i < s.d.n; ++i)
    if (i == 0 || pval[static_cast<size_t>(i)] != pval[static_cast<size_t>(i - 1)]) start.push_back(i);
  start.push_back(s.d.n);
  const long G = static_cast<long>(start.size()) - 1;
  // A weight and a cluster belong to a panel.
  double total = static_cast<double>(s.d.n), succ = 0;
  long tmin = s.d.n, tmax = 0;
  for (long g = 0; g < G; ++g) {
    const long a = start[static_cast<size_t>(g)], e = start[static_cast<size_t>(g + 1)];
    tmin = std::min(tmin, e - a), tmax = std::max(tmax, e - a);
    for (long i = a + 1; i < e; ++i) {
      if (!s.d.w.empty() && s.d.w[static_cast<size_t>(i)] != s.d.w[static_cast<size_t>(a)])
        return errmsgf(RC_WEIGHTGROUP, "weights must be the same for all observations in a panel\n");
      if (!s.d.clust.empty() && s.d.clust[static_cast<size_t>(i)] != s.d.clust[static_cast<size_t>(a)])
        return errmsgf(RC_BADDATA, "panels are not nested within clusters\n");
    }
  }
  if (!s.d.w.empty()) total = 0;
  for (long i = 0; i < s.d.n; ++i) {
    const double w = s.d.w.empty() ? 1 : s.d.w[static_cast<size_t>(i)];
    if (!s.d.w.empty()) total += w;
    if (s.d.y[static_cast<size_t>(i)] != 0) succ += w;
  }
  if (succ == 0 || succ == total)
    return errmsgf(RC_NOOBS, "outcome does not vary; remember:\n"
                             "                                  0 = negative outcome,\n"
                             "        all other nonmissing values = positive outcome\n");
  const bool cons = !o.nocons;
  std::vector<unsigned char> dropped(s.d.x.size(), 0);
  mlc_rmcoll(s, cons, dropped);
  const MlEq eq = mlc_eq(dropped, cons);
  if (eq.size() == 0) return errmsgf(RC_TOOFEWVARS, "too few variables specified\n");
  const int kx = static_cast<int>(eq.cols.size());

  // The pooled model: starting values and the comparison likelihood.
  MlModel mp;
  mp.eqs = {eq};
  mlm_binary(mp, s.d, kind);
  std::vector<double> bp(static_cast<size_t>(eq.size()), 0);
  const double pbar = succ / total;
  if (cons) bp.back() = kind == MLB_LOGIT ? std::log(pbar / (1 - pbar)) : fn_invnormal(pbar);
  MlResult rp;
  {
    const int rc = mlc_quietfit(mp, s.d, bp, o.ml, rp);
    if (rc == ML_BREAK) return 1;
    if (rc != ML_OK && rc != ML_NOTCONV) return errmsgf(RC_OVERFLOW, "initial values not feasible\n");
  }

  MlEq ls;
  ls.name = "lnsig2u";
  MlModel m;
  m.eqs = {eq, ls};
  rq_binary(m, s.d, start, kind, points);
  const int P = m.nparam();
  // The start: the pooled coefficients scaled up for the variance of the
  // effect, at the best of a few values of sigma_u^2.
  const double c = kind == MLB_LOGIT ? M_PI * M_PI / 3 : 1;
  std::vector<double> b0;
  double best = -INFINITY;
  for (double s2 : {0.1, 0.3, 1.0, 3.0}) {
    std::vector<double> b(rp.b);
    for (double& v : b) v *= std::sqrt(1 + s2 / c);
    b.push_back(std::log(s2));
    double ll;
    const int rc = ml_eval(m, s.d, b, 0, &ll, nullptr, nullptr);
    if (rc == ML_BREAK) return 1;
    if (rc == 0 && ll > best) best = ll, b0 = b;
  }
  if (b0.empty()) return errmsgf(RC_OVERFLOW, "initial values not feasible\n");
  MlResult r;
  if (int rc = mlc_fit(m, s, o, b0, r)) return rc;

  MlcFit f;
  f.cmd = cmdname(kind);
  f.title = kind == MLB_LOGIT ? "Random-effects logistic regression" : "Random-effects probit regression";
  f.predict = "";
  mlc_fitted(f, r, P, s, o, total);
  f.ll_0 = misval;
  std::vector<double> V = r.V;
  const bool pw = s.wkind == WK_P;
  if (f.wald) {
    // Scores are per panel: clustered on the panels, or on clusters of them.
    std::vector<double> sc;
    double ll;
    if (int er = ml_eval(m, s.d, r.b, 1, &ll, nullptr, nullptr, &sc)) return er == ML_BREAK ? 1 : RC_NOCONVERGE;
    f.nclust = ml_robust(V, P, s.d.n, sc, nullptr, o.clustvar ? s.d.clust.data() : pval.data());
  }
  f.wald = true;
  mlc_chi2(f, kx, r.b, V, P);
  mlc_coefs(f, s, dropped, cons, s.depname, {"lnsig2u:_cons"}, r.b, V);
  const double th = r.b.back();
  f.scalars.push_back({"N_g", static_cast<double>(G)});
  f.scalars.push_back({"g_min", static_cast<double>(tmin)});
  f.scalars.push_back({"g_avg", static_cast<double>(s.d.n) / static_cast<double>(G)});
  f.scalars.push_back({"g_max", static_cast<double>(tmax)});
  f.scalars.push_back({"n_quad", points});
  f.scalars.push_back({"sigma_u", std::exp(th / 2)});
  f.scalars.push_back({"rho", 1 / (1 + c * std::exp(-th))});
  if (!pw) {
    const double x = std::max(0.0, 2 * (r.ll - rp.ll));
    f.scalars.push_back({"ll_c", rp.ll});
    f.scalars.push_back({"chi2_c", x});
    f.scalars.push_back({"p_c", x > 0 ? 0.5 * ml_chi2tail(1, x) : 1});
  }
  f.macros.push_back({"model", "re"});
  f.macros.push_back({"ivar", varname(pv)});
  f.macros.push_back({"intmethod", "aghermite"});
  if (!f.converged) st_note("convergence not achieved\n");
  mlc_post(f, s, o);
  if ((o.robust || pw) && !o.clustvar) {
    st_escalar("N_clust", static_cast<double>(f.nclust));
    st_elocal("clustvar", varname(pv).c_str());
  }
  if (int rc = display(kind, o.level)) return rc;
  return f.converged ? 0 : RC_NOCONVERGE;
}

// _panelprobit | _panellogit [depvar [indepvars] [if] [in] [weight]]
//     [, re fe i(varname) intpoints(#) robust cluster(varname) offset(varname)
//        noconstant level(#) nolog iterate(#) or]
int cmd_panelbin(int kind) {
  ParseResult pr;
  if (int rc = parse({.tsops = PERM_OPTIONAL, .weight = PERM_OPTIONAL, .options = PERM_OPTIONAL, .by = PERM_OPTIONAL}, pr)) return rc;
  const bool oddsr = kind == MLB_LOGIT && findopt(pr, "or", 2, 0) == 1;
  if (!pr.hasvarlist) return replay(pr, kind, oddsr);
  const bool fe = findopt(pr, "fe", 2, 0) == 1, re = findopt(pr, "re", 2, 0) == 1;
  if (fe && re) return errmsgf(RC_NOTCOMBINED, "options fe and re may not be combined\n");
  if (fe && kind == MLB_PROBIT)
    return errmsgf(RC_SYNTAX, "option fe not allowed: a probit model has no conditional likelihood given the panel effects\n");
  MlcOpts o;
  if (int rc = mlc_options(pr, o, !fe, false)) return rc;
  int points = 12;
  double v[1];
  if (!fe && findoptv(pr, "intpoints", 4, v, 1, 0) == 1) {
    // One point (the Laplace approximation) would need the derivatives of
    // the node placement itself, which the estimator holds fixed.
    if (!(v[0] >= 2 && v[0] <= RQ_MAXPOINTS) || v[0] != std::floor(v[0]))
      return errmsgf(RC_SYNTAX, "intpoints() must be an integer between 2 and %d\n", RQ_MAXPOINTS);
    points = static_cast<int>(v[0]);
  }
  int pv = 0;
  if (int rc = pn_panelvar(pr, &pv)) return rc;
  if (int rc = chkopt(pr)) return rc;
  if (pr.hasweight && pr.wgttype[0] == WK_A) return errmsgf(RC_NOTALLOWED, "aweights not allowed\n");
  if (oddsr && !fe) return errmsgf(RC_SYNTAX, "option or is allowed only with fe\n");
  if (vl.lnvar() < 1) return errmsgf(RC_TOOFEWVARS, "too few variables specified\n");
  if (fe) {
    if (o.nocons) return errmsgf(RC_SYNTAX, "option noconstant not allowed with fe\n");
    if (pr.hasweight && pr.wgttype[0] == WK_P) return errmsgf(RC_NOTALLOWED, "pweights not allowed with fe\n");
    return clogit_fit(pr, "panellogit", "Conditional fixed-effects logistic regression", pv, o, oddsr,
                      {{"model", "fe"}, {"ivar", varname(pv)}});
  }
  return fitre(pr, kind, pv, o, points);
}

// _GetQuad, points(#): the Gauss-Hermite rule for the integral of
// exp(-x^2) f(x) in r(nodes) and r(weights), 1 x # each.
int cmd_getquad(int) {
  ParseResult pr;
  if (int rc = parse({.varlist = PERM_NO, .ifexp = PERM_NO, .options = PERM_OPTIONAL}, pr)) return rc;
  double v[1];
  if (findoptv(pr, "points", 3, v, 1, 0) != 1) return errmsgf(RC_SYNTAX, "option points() required\n");
  if (int rc = chkopt(pr)) return rc;
  if (pr.hasvarlist || pr.hasin) return error(RC_SYNTAX);
  std::vector<double> x, w;
  if (v[0] != std::floor(v[0]) || !rq_hermite(static_cast<int>(v[0]), x, w))
    return errmsgf(RC_SYNTAX, "points() must be an integer between 1 and %d\n", RQ_MAXPOINTS);
  st_rclear();
  const int n = static_cast<int>(x.size());
  st_rmatrix("nodes", 1, n, x, {}, {});
  st_rmatrix("weights", 1, n, w, {}, {});
  return 0;
}

}  // namespace

void stats_bindpanelbin() {
  cmdbind("_panelprobit", cmd_panelbin, MLB_PROBIT);
  cmdbind("_panellogit", cmd_panelbin, MLB_LOGIT);
  cmdbind("_GetQuad", cmd_getquad);
}
