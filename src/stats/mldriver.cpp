// ml: the maximum-likelihood driver for likelihoods written as programs.
//   ml model lf|d0|d1|d2 progname (eqname: y = x1 x2) [(eqname2: x3)] [if] [in] [weight]
//   ml maximize [, iterate(#) tolerance(#) nolog level(#) robust cluster()]
//   ml display [, level(#)]
// Method lf: the program receives `args lnf xb [xb2 ...]` (temporary double
// variables) and fills lnf with each observation's log likelihood; the
// derivatives with respect to the equations' indices are taken numerically
// observation by observation. Methods d0, d1, d2: the program receives
// `args lnf xb [xb2 ...] todo g H`, lnf a scalar to hold the whole log
// likelihood, g (todo >= 1, d1 and d2) a 1 x P row vector of first
// derivatives and H (todo 2, d2) the P x P matrix of second derivatives,
// built with mlsum, mlvecsum, mlmatsum and mlmatbysum; what a method does not
// supply is taken by differences in the parameters. The dependent variables'
// names are in $ML_y1, $ML_y2, ..., the parameters in the matrix named by
// $ML_b. The shared maximiser does the rest.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "data/store.h"
#include "data/varlist.h"
#include "expr/expr.h"
#include "interp/cmdtab.h"
#include "interp/interp.h"
#include "interp/tokenizer.h"
#include "output/errors.h"
#include "output/output.h"
#include "platform/platform.h"
#include "results/results.h"
#include "stats/mlcmd.h"
#include "stats/mlsession.h"
#include "stats/post.h"
#include "stats/stats.h"

MlState mls;

namespace {

constexpr const char* LNF = "__ml_lnf";   // lf: variable; d methods: scalar
constexpr const char* GRAD = "__ml_g";    // d methods: the gradient's matrix
constexpr const char* HESS = "__ml_H";    // d methods: the Hessian's matrix
constexpr const char* BVEC = "__ml_b";    // the parameters as a row vector

std::string trim(const std::string& s) {
  const size_t a = s.find_first_not_of(' ');
  if (a == std::string::npos) return "";
  return s.substr(a, s.find_last_not_of(' ') - a + 1);
}

// (eqname: y = x1 x2 [, noconstant]) with the name and the dependent
// variables optional. 0 or a code.
int parseeq(const std::string& text, int k, MdEq& e) {
  std::string t = text;
  const size_t comma = t.find(',');
  if (comma != std::string::npos) {
    const std::string o = trim(t.substr(comma + 1));
    if (o != "nocons" && o != "noconstant") return errmsgf(RC_SYNTAX, "option %s not allowed\n", o.c_str());
    e.cons = false;
    t = t.substr(0, comma);
  }
  const size_t colon = t.find(':');
  if (colon != std::string::npos) {
    e.name = trim(t.substr(0, colon));
    t = t.substr(colon + 1);
    if (e.name.empty() || chkname(e.name.c_str())) return errmsgf(RC_SYNTAX, "equation name %s invalid\n", e.name.c_str());
  }
  const size_t eq = t.find('=');
  if (eq != std::string::npos) {
    if (int rc = st_textvars(trim(t.substr(0, eq)), e.deps)) return rc;
    t = t.substr(eq + 1);
  }
  if (!trim(t).empty())
    if (int rc = st_textvars(trim(t), e.vars)) return rc;
  if (e.name.empty()) e.name = e.deps.empty() ? "eq" + std::to_string(k + 1) : varname(e.deps[0]);
  if (e.vars.empty() && !e.cons) return errmsgf(RC_SYNTAX, "equation %s has no parameters\n", e.name.c_str());
  return 0;
}

// ml model lf|d0|d1|d2 progname (eq) ... [if] [in] [weight]
int model() {
  const std::string method = gettok(prsestd);
  if (method.empty()) return required("method");
  if (method != "lf" && method != "d0" && method != "d1" && method != "d2")
    return errmsgf(RC_SYNTAX, "unknown method %s\n", method.c_str());
  const std::string prog = gettok(prsestd);
  if (prog.empty() || prog == "(") return required("program name");
  MdModel m;
  m.method = method;
  m.prog = prog;
  // The equations, each in parentheses.
  const char* p = wheretok();
  while (*p == ' ') ++p;
  while (*p == '(') {
    const char* q = std::strchr(p, ')');
    if (!q) return errmsgf(RC_SYNTAX, "unmatched parenthesis\n");
    MdEq e;
    if (int rc = parseeq(std::string(p + 1, q), static_cast<int>(m.eqs.size()), e)) return rc;
    m.eqs.push_back(e);
    p = q + 1;
    while (*p == ' ') ++p;
  }
  if (m.eqs.empty()) return required("equation");
  const std::string rest = p;
  settok(rest.c_str());
  ParseResult pr;
  if (int rc = parse({.varlist = PERM_NO, .weight = PERM_OPTIONAL, .options = PERM_OPTIONAL, .by = PERM_OPTIONAL}, pr)) return rc;
  if (int rc = chkopt(pr)) return rc;
  if (pr.hasweight && pr.wgttype[0] == WK_A) return errmsgf(RC_NOTALLOWED, "aweights not allowed\n");
  StSample ss;
  if (int rc = st_sample(ss, pr)) return rc;
  m.wkind = ss.wkind == 'w' ? static_cast<char>(WK_F) : ss.wkind;
  m.wexp = ss.wexp;
  for (const MdEq& e : m.eqs)
    for (int d : e.deps) m.deps.push_back(d);
  for (long obs = ss.lo; obs <= ss.hi; ++obs) {
    if (!ss.selected(obs)) continue;
    bool ok = true;
    for (int d : m.deps) ok = ok && zelta_data(d, obs) < misval;
    for (const MdEq& e : m.eqs)
      for (int v : e.vars) ok = ok && zelta_data(v, obs) < misval;
    double w = 1;
    if (ok && m.wkind) {
      w = ss.w[static_cast<size_t>(obs - ss.lo)];
      if (int rc = st_checkweight(m.wkind, w, &ok)) return rc;
    }
    if (!ok) continue;
    m.obs.push_back(obs);
    if (m.wkind) m.w.push_back(w);
  }
  if (m.obs.empty()) return st_noobs();
  m.valid = true;
  mls.model = std::move(m);
  return 0;
}

// The temporary variables, scalar and matrices the program works on.
// The variables are dropped by name: posting e(sample) renumbers them.
struct Temps {
  std::vector<int> vars;  // lnf (method lf), then one index per equation
  std::vector<std::string> names;
  ~Temps() {
    std::vector<int> gone;
    for (const std::string& n : names)
      if (int v = findvarexact(n.c_str())) gone.push_back(v);
    if (!gone.empty()) (void)droporkeepvars(gone, false);
    for (const char* m : {GRAD, HESS, BVEC}) (void)mat_erase(m);
    if (scalar_find(LNF)) (void)execline(std::string("capture scalar drop ") + LNF);
  }
};

// The failure that ends a fit: set by the evaluations, reported when the
// maximiser gives up.
struct Failure {
  int rc = 0;
  std::string msg;
  void set(int code, std::string text) { rc = code, msg = std::move(text); }
};

// Puts the indices eta (E x n) into the index variables. For the d methods
// also the parameters b into the matrix BVEC.
void putindices(const Temps& t, const std::vector<std::vector<double>>& eta, int first) {
  const size_t n = mls.model.obs.size();
  for (size_t e = 0; e < eta.size(); ++e)
    for (size_t i = 0; i < n; ++i) store(t.vars[e + static_cast<size_t>(first)], mls.model.obs[i], eta[e][i]);
}

// Runs the lf program over the sample with the indices eta (E x n) and
// reads each observation's log likelihood into ll. 0, a printed code when
// the program fails, or RC_OVERFLOW (printed unless quiet) for a missing value.
int runprog(const Temps& t, const std::vector<std::vector<double>>& eta, std::vector<double>& ll, bool quiet) {
  const size_t n = mls.model.obs.size();
  putindices(t, eta, 1);
  for (size_t i = 0; i < n; ++i) store(t.vars[0], mls.model.obs[i], misval);
  std::string line = mls.model.prog;
  for (int v : t.vars) line += " " + varname(v);
  if (int rc = execline(line)) {
    if (rc == 1) return 1;
    return errmsgf(rc, "%s returned error %d\n", mls.model.prog.c_str(), rc);
  }
  ll.resize(n);
  for (size_t i = 0; i < n; ++i) {
    ll[i] = zelta_data(t.vars[0], mls.model.obs[i]);
    if (ll[i] >= misval) {
      if (!quiet) return errmsgf(RC_OVERFLOW, "%s left a missing log likelihood in observation %ld\n", mls.model.prog.c_str(), mls.model.obs[i]);
      return RC_OVERFLOW;
    }
  }
  return 0;
}

// The parameter names "eq:x" of the model, in order.
std::vector<std::string> paramnames() {
  std::vector<std::string> names;
  for (const MdEq& e : mls.model.eqs) {
    for (int v : e.vars) names.push_back(e.name + ":" + varname(v));
    if (e.cons) names.push_back(e.name + ":_cons");
  }
  return names;
}

// The equation of parameter a.
const std::string& eqof(int a) {
  for (const MdEq& e : mls.model.eqs) {
    if (a < e.size()) return e.name;
    a -= e.size();
  }
  return mls.model.eqs.back().name;
}

// Runs a d-method program at b with todo: the log likelihood into *ll and,
// as todo asks, the program's gradient g (1 x P) and Hessian H (P x P,
// row-major). 0; RC_OVERFLOW for a missing log likelihood (f not set);
// a printed code when the program fails; else a code with f set.
int rund(const Temps& t, const std::vector<double>& b, const std::vector<std::vector<double>>& eta, int todo,
         double* ll, std::vector<double>* g, std::vector<double>* H, Failure& f) {
  const int P = mls.model.nparam();
  putindices(t, eta, 0);
  Matrix bm = mat_make(1, P);
  bm.v = b;
  bm.cnames = paramnames();
  bm.rnames = {"r1"};
  if (int rc = mat_store(BVEC, bm)) return rc;
  (void)mat_erase(GRAD);
  (void)mat_erase(HESS);
  NamedScalar ms;
  ms.d = misval;
  if (int rc = scalar_set(LNF, ms)) return rc;
  std::string line = mls.model.prog + " " + LNF;
  for (int v : t.vars) line += " " + varname(v);
  line += " " + std::to_string(todo) + " " + GRAD + " " + HESS;
  if (int rc = execline(line)) {
    if (rc == 1) return 1;
    return errmsgf(rc, "%s returned error %d\n", mls.model.prog.c_str(), rc);
  }
  const NamedScalar* sc = scalar_find(LNF);
  if (!sc || sc->isstr || !(sc->d < misval)) return RC_OVERFLOW;
  *ll = sc->d;
  auto fetch = [&](const char* name, int rows, std::vector<double>* out, const char* what) -> int {
    const Matrix* m = mat_find(name);
    if (!m || m->rows != rows || m->cols != P) {
      f.set(RC_CONFORM, mls.model.prog + " did not leave the " + what + " as a " + std::to_string(rows) + " x " +
                            std::to_string(P) + " matrix");
      return RC_CONFORM;
    }
    for (int r = 0; r < rows; ++r)
      for (int c = 0; c < P; ++c)
        if (!(m->at(r, c) < misval)) {
          f.set(RC_NOCONVERGE, mls.model.prog + " returned a missing " + what + " in equation " + eqof(c));
          return RC_NOCONVERGE;
        }
    *out = m->v;
    return 0;
  };
  if (todo >= 1 && g)
    if (int rc = fetch(GRAD, 1, g, "gradient")) return rc;
  if (todo >= 2 && H)
    if (int rc = fetch(HESS, P, H, "Hessian")) return rc;
  return 0;
}

// The steps of the differences in a parameter at value v: central first
// differences (truncation h^2, rounding 1/h) and second differences
// (truncation h^2, rounding 1/h^2).
double gstep(double v) { return 1e-5 * (std::fabs(v) + 1); }
double pstep(double v) { return 2e-4 * (std::fabs(v) + 1); }

// ml maximize [, iterate(#) tolerance(#) nolog level(#) robust cluster()]
int maximize() {
  if (!mls.model.valid) return errmsgf(RC_NOESTIMATES, "no model defined; use ml model first\n");
  ParseResult pr;
  if (int rc = parse_ifinopts({.options = PERM_OPTIONAL}, pr)) return rc;
  MlcOpts o;
  if (int rc = mlc_options(pr, o, false, false)) return rc;
  if (int rc = chkopt(pr)) return rc;
  const bool lf = mls.model.method == "lf";
  if (!lf && (o.robust || o.clustvar || mls.model.wkind == WK_P))
    return errmsgf(RC_NOTALLOWED, "robust variance not allowed with method %s (use method lf)\n", mls.model.method.c_str());
  if (o.clustvar && mls.model.wkind == WK_I) return error(RC_MSG_IWROBUST);
  const int E = static_cast<int>(mls.model.eqs.size());
  const size_t n = mls.model.obs.size();
  // The data: every regressor once.
  MlcSample s;
  s.obs = mls.model.obs;
  s.lo = 1;
  s.hi = ds.nobs;
  s.wkind = mls.model.wkind;
  s.wexp = mls.model.wexp;
  s.d.n = static_cast<long>(n);
  s.d.y.assign(n, 0);
  s.d.w = mls.model.w;
  const bool wt = !mls.model.w.empty();
  MlModel m;
  for (const MdEq& e : mls.model.eqs) {
    MlEq q;
    q.name = e.name;
    q.cons = e.cons;
    for (int v : e.vars) {
      q.cols.push_back(static_cast<int>(s.d.x.size()));
      std::vector<double> c(n);
      for (size_t i = 0; i < n; ++i) c[i] = zelta_data(v, mls.model.obs[i]);
      s.d.x.push_back(std::move(c));
    }
    m.eqs.push_back(q);
  }
  for (size_t j = 0; j < mls.model.deps.size(); ++j)
    st_global(("ML_y" + std::to_string(j + 1)).c_str(), varname(mls.model.deps[j]).c_str());
  st_global("ML_b", BVEC);
  Temps t;
  for (int k = lf ? 0 : 1; k <= E; ++k) {
    const std::string nm = k == 0 ? LNF : "__ml_xb" + std::to_string(k);
    if (findvarexact(nm.c_str())) return errmsgf(RC_DEFINED, "%s already defined\n", nm.c_str());
    if (int rc = addvar(nm.c_str(), ST_DOUBLE)) return rc;
    t.vars.push_back(ds.nvar);
    t.names.push_back(nm);
  }
  const int P = m.nparam();
  bool first = true;
  Failure fail;
  auto indices = [&](const std::vector<double>& b) {
    std::vector<std::vector<double>> eta(static_cast<size_t>(E), std::vector<double>(n, 0));
    int at = 0;
    for (int e = 0; e < E; ++e) {
      const MlEq& q = m.eqs[static_cast<size_t>(e)];
      for (int c : q.cols) {
        const double bj = b[static_cast<size_t>(at++)];
        for (size_t i = 0; i < n; ++i) eta[static_cast<size_t>(e)][i] += bj * s.d.x[static_cast<size_t>(c)][i];
      }
      if (q.cons) {
        const double bj = b[static_cast<size_t>(at++)];
        for (size_t i = 0; i < n; ++i) eta[static_cast<size_t>(e)][i] += bj;
      }
    }
    return eta;
  };
  // Method lf: per-observation likelihoods, derivatives in the indices.
  auto wholelf = [&](const std::vector<double>& b, int todo, double* llp, std::vector<double>* g, std::vector<double>* nH,
                     std::vector<double>* scores) -> int {
    std::vector<std::vector<double>> eta = indices(b);
    std::vector<double> l0;
    const bool quiet = !first;
    first = false;
    if (int rc = runprog(t, eta, l0, quiet)) return rc;
    auto wof = [&](size_t i) { return wt ? mls.model.w[i] : 1.0; };
    double ll = 0;
    for (size_t i = 0; i < n; ++i) ll += wof(i) * l0[i];
    *llp = ll;
    if (todo < 1) return 0;
    auto failed = [&](int e) {
      fail.set(RC_NOCONVERGE, "could not calculate numerical derivatives of equation " + m.eqs[static_cast<size_t>(e)].name +
                                  ": missing log likelihood");
      return RC_NOCONVERGE;
    };
    // Numerical derivatives of each observation's log likelihood with
    // respect to the indices: central differences.
    std::vector<std::vector<double>> d1(static_cast<size_t>(E), std::vector<double>(n)),
        d2(static_cast<size_t>(E * E), std::vector<double>(n));
    std::vector<std::vector<double>> lpe(static_cast<size_t>(E)), lme(static_cast<size_t>(E));
    for (int e = 0; e < E; ++e) {
      auto& et = eta[static_cast<size_t>(e)];
      const std::vector<double> keep = et;
      for (size_t i = 0; i < n; ++i) et[i] = keep[i] + 1e-4 * (1 + std::fabs(keep[i]));
      if (int rc = runprog(t, eta, lpe[static_cast<size_t>(e)], true)) return rc == RC_OVERFLOW ? failed(e) : rc;
      for (size_t i = 0; i < n; ++i) et[i] = keep[i] - 1e-4 * (1 + std::fabs(keep[i]));
      if (int rc = runprog(t, eta, lme[static_cast<size_t>(e)], true)) return rc == RC_OVERFLOW ? failed(e) : rc;
      et = keep;
      for (size_t i = 0; i < n; ++i) {
        const double hi = 1e-4 * (1 + std::fabs(keep[i]));
        d1[static_cast<size_t>(e)][i] = (lpe[static_cast<size_t>(e)][i] - lme[static_cast<size_t>(e)][i]) / (2 * hi);
        d2[static_cast<size_t>(e * E + e)][i] =
            (lpe[static_cast<size_t>(e)][i] - 2 * l0[i] + lme[static_cast<size_t>(e)][i]) / (hi * hi);
      }
    }
    for (int e = 0; e < E; ++e)
      for (int f = 0; f < e; ++f) {
        // f_ef = (l(+,+) - l(+,0) - l(0,+) + 2 l - l(-,0) - l(0,-) + l(-,-)) / (2 h_e h_f)
        auto& ee = eta[static_cast<size_t>(e)];
        auto& ef = eta[static_cast<size_t>(f)];
        const std::vector<double> ke = ee, kf = ef;
        std::vector<double> lpp, lmm;
        for (size_t i = 0; i < n; ++i) {
          ee[i] = ke[i] + 1e-4 * (1 + std::fabs(ke[i]));
          ef[i] = kf[i] + 1e-4 * (1 + std::fabs(kf[i]));
        }
        if (int rc = runprog(t, eta, lpp, true)) return rc == RC_OVERFLOW ? failed(e) : rc;
        for (size_t i = 0; i < n; ++i) {
          ee[i] = ke[i] - 1e-4 * (1 + std::fabs(ke[i]));
          ef[i] = kf[i] - 1e-4 * (1 + std::fabs(kf[i]));
        }
        if (int rc = runprog(t, eta, lmm, true)) return rc == RC_OVERFLOW ? failed(e) : rc;
        ee = ke, ef = kf;
        for (size_t i = 0; i < n; ++i) {
          const double he = 1e-4 * (1 + std::fabs(ke[i])), hf = 1e-4 * (1 + std::fabs(kf[i]));
          const double v = (lpp[i] - lpe[static_cast<size_t>(e)][i] - lpe[static_cast<size_t>(f)][i] + 2 * l0[i] -
                            lme[static_cast<size_t>(e)][i] - lme[static_cast<size_t>(f)][i] + lmm[i]) /
                           (2 * he * hf);
          d2[static_cast<size_t>(e * E + f)][i] = d2[static_cast<size_t>(f * E + e)][i] = v;
        }
      }
    // Gradient, negative Hessian and scores from the derivatives.
    std::vector<int> eqa, colof;
    for (int e = 0; e < E; ++e) {
      for (int c : m.eqs[static_cast<size_t>(e)].cols) eqa.push_back(e), colof.push_back(c);
      if (m.eqs[static_cast<size_t>(e)].cons) eqa.push_back(e), colof.push_back(-1);
    }
    auto xv = [&](int a, size_t i) { return colof[static_cast<size_t>(a)] < 0 ? 1.0 : s.d.x[static_cast<size_t>(colof[static_cast<size_t>(a)])][i]; };
    g->assign(static_cast<size_t>(P), 0);
    if (scores) scores->assign(n * static_cast<size_t>(P), 0);
    for (int a = 0; a < P; ++a)
      for (size_t i = 0; i < n; ++i) {
        const double u = wof(i) * d1[static_cast<size_t>(eqa[static_cast<size_t>(a)])][i] * xv(a, i);
        (*g)[static_cast<size_t>(a)] += u;
        if (scores) (*scores)[i * static_cast<size_t>(P) + static_cast<size_t>(a)] = u;
      }
    if (todo < 2) return 0;
    nH->assign(static_cast<size_t>(P * P), 0);
    for (int a = 0; a < P; ++a)
      for (int c = 0; c <= a; ++c) {
        double acc = 0;
        const auto& dq = d2[static_cast<size_t>(eqa[static_cast<size_t>(a)] * E + eqa[static_cast<size_t>(c)])];
        for (size_t i = 0; i < n; ++i) acc += wof(i) * dq[i] * xv(a, i) * xv(c, i);
        (*nH)[static_cast<size_t>(a * P + c)] = (*nH)[static_cast<size_t>(c * P + a)] = -acc;
      }
    return 0;
  };
  // Methods d0, d1, d2: the program's sums; what the method leaves out by
  // differences in the parameters.
  const int level = mls.model.method[1] - '0';
  auto wholed = [&](const std::vector<double>& b, int todo, double* llp, std::vector<double>* g, std::vector<double>* nH,
                    std::vector<double>*) -> int {
    const int ask = std::min(todo, level);
    std::vector<double> ga, Ha;
    const int rc0 = rund(t, b, indices(b), ask, llp, &ga, &Ha, fail);
    if (rc0 == RC_OVERFLOW && first) {
      first = false;
      fail.set(RC_OVERFLOW, "initial values not feasible");
    }
    first = false;
    if (rc0) return rc0;
    if (todo < 1) return 0;
    auto failed = [&](int a) {
      fail.set(RC_NOCONVERGE, "could not calculate numerical derivatives of equation " + eqof(a) +
                                  ": missing log likelihood");
      return RC_NOCONVERGE;
    };
    // Values at b + h e_a (and more), by the program with todo = what the
    // method gives beyond the likelihood (0 for d0, 1 for d1).
    const int sub = std::min(level, 1);
    auto at = [&](std::vector<double> bb, double* l, std::vector<double>* gg) -> int {
      std::vector<double> Hx;
      return rund(t, bb, indices(bb), sub, l, gg, &Hx, fail);
    };
    if (level >= 1) {
      *g = ga;
    } else {
      g->assign(static_cast<size_t>(P), 0);
      for (int a = 0; a < P; ++a) {
        std::vector<double> bb = b;
        const double h = gstep(b[static_cast<size_t>(a)]);
        double lp, lm;
        bb[static_cast<size_t>(a)] = b[static_cast<size_t>(a)] + h;
        if (int rc = at(bb, &lp, nullptr)) return rc == RC_OVERFLOW ? failed(a) : rc;
        bb[static_cast<size_t>(a)] = b[static_cast<size_t>(a)] - h;
        if (int rc = at(bb, &lm, nullptr)) return rc == RC_OVERFLOW ? failed(a) : rc;
        (*g)[static_cast<size_t>(a)] = (lp - lm) / (2 * h);
      }
    }
    if (todo < 2) return 0;
    nH->assign(static_cast<size_t>(P * P), 0);
    if (level >= 2) {
      for (int a = 0; a < P; ++a)
        for (int c = 0; c < P; ++c)
          (*nH)[static_cast<size_t>(a * P + c)] =
              -0.5 * (Ha[static_cast<size_t>(a * P + c)] + Ha[static_cast<size_t>(c * P + a)]);
      return 0;
    }
    if (level == 1) {
      // Differences of the gradient.
      for (int a = 0; a < P; ++a) {
        std::vector<double> bb = b, gp, gm;
        const double h = pstep(b[static_cast<size_t>(a)]);
        double l;
        bb[static_cast<size_t>(a)] = b[static_cast<size_t>(a)] + h;
        if (int rc = at(bb, &l, &gp)) return rc == RC_OVERFLOW ? failed(a) : rc;
        bb[static_cast<size_t>(a)] = b[static_cast<size_t>(a)] - h;
        if (int rc = at(bb, &l, &gm)) return rc == RC_OVERFLOW ? failed(a) : rc;
        for (int c = 0; c < P; ++c) {
          const double v = -(gp[static_cast<size_t>(c)] - gm[static_cast<size_t>(c)]) / (2 * h) / 2;
          (*nH)[static_cast<size_t>(a * P + c)] += v;
          (*nH)[static_cast<size_t>(c * P + a)] += v;
        }
      }
      return 0;
    }
    // d0: second differences of the likelihood.
    std::vector<double> lp(static_cast<size_t>(P)), lm(static_cast<size_t>(P));
    for (int a = 0; a < P; ++a) {
      std::vector<double> bb = b;
      const double h = pstep(b[static_cast<size_t>(a)]);
      bb[static_cast<size_t>(a)] = b[static_cast<size_t>(a)] + h;
      if (int rc = at(bb, &lp[static_cast<size_t>(a)], nullptr)) return rc == RC_OVERFLOW ? failed(a) : rc;
      bb[static_cast<size_t>(a)] = b[static_cast<size_t>(a)] - h;
      if (int rc = at(bb, &lm[static_cast<size_t>(a)], nullptr)) return rc == RC_OVERFLOW ? failed(a) : rc;
      (*nH)[static_cast<size_t>(a * P + a)] = -(lp[static_cast<size_t>(a)] - 2 * *llp + lm[static_cast<size_t>(a)]) / (h * h);
    }
    for (int a = 0; a < P; ++a)
      for (int c = 0; c < a; ++c) {
        const double ha = pstep(b[static_cast<size_t>(a)]), hc = pstep(b[static_cast<size_t>(c)]);
        double v[4];
        const int sa[4] = {1, 1, -1, -1}, scn[4] = {1, -1, 1, -1};
        for (int k = 0; k < 4; ++k) {
          std::vector<double> bb = b;
          bb[static_cast<size_t>(a)] += sa[k] * ha;
          bb[static_cast<size_t>(c)] += scn[k] * hc;
          if (int rc = at(bb, &v[k], nullptr)) return rc == RC_OVERFLOW ? failed(a) : rc;
        }
        const double h2 = -(v[0] - v[1] - v[2] + v[3]) / (4 * ha * hc);
        (*nH)[static_cast<size_t>(a * P + c)] = (*nH)[static_cast<size_t>(c * P + a)] = h2;
      }
    return 0;
  };
  if (lf)
    m.whole = wholelf;
  else
    m.whole = wholed;
  // Starting values: zeros.
  std::vector<double> b0(static_cast<size_t>(P), 0);
  MlOpts q = o.ml;
  q.log = mlc_logger(o);
  MlResult r;
  const int rc = ml_maximize(m, s.d, b0, q, r);
  if (rc == ML_BREAK) return 1;
  if (rc == ML_NOINIT) {
    if (fail.rc) return errmsgf(fail.rc, "%s\n", fail.msg.c_str());
    return errmsgf(RC_OVERFLOW, "initial values not feasible\n");
  }
  MlcFit f;
  f.cmd = "ml";
  f.title = "Maximum likelihood fit of " + mls.model.prog;
  double total = 0;
  for (size_t i = 0; i < n; ++i) total += wt ? mls.model.w[i] : 1;
  f.N = mls.model.wkind == WK_F || mls.model.wkind == WK_I ? std::round(total * 1e9) / 1e9 : static_cast<double>(n);
  f.ll = r.ll;
  f.ll_0 = misval;
  f.ic = r.iter;
  f.converged = r.converged;
  f.k = P;
  f.wald = true;
  std::vector<double> V = r.V;
  if (o.robust || o.clustvar || mls.model.wkind == WK_P) {
    std::vector<double> sc;
    double ll;
    if (int er = ml_eval(m, s.d, r.b, 1, &ll, nullptr, nullptr, &sc)) return er == ML_BREAK ? 1 : RC_NOCONVERGE;
    std::vector<double> cl;
    if (o.clustvar)
      for (long ob : mls.model.obs) cl.push_back(zelta_data(o.clustvar, ob));
    f.nclust = ml_robust(V, P, static_cast<long>(n), sc, mls.model.wkind == WK_F ? mls.model.w.data() : nullptr,
                         o.clustvar ? cl.data() : nullptr);
  }
  // The model test: the slopes of the first equation.
  mlc_chi2(f, static_cast<int>(m.eqs[0].cols.size()), r.b, V, P);
  f.names = paramnames();
  f.b = r.b;
  f.V = V;
  s.depname = mls.model.deps.empty() ? "" : varname(mls.model.deps[0]);
  if (!r.converged) st_note("convergence not achieved\n");
  mlc_post(f, s, o);
  mlc_display(o.level, "");
  if (!r.converged) return RC_NOCONVERGE;
  return 0;
}

// ml model ... | ml maximize ... | ml display ...
int cmd_ml(int) {
  const std::string sub = gettok(prsestd);
  if (sub == "model" || sub == "mod") {
    try {
      return model();
    } catch (const std::bad_alloc&) {
      return error(RC_NOMEM);
    }
  }
  if (sub == "maximize" || sub == "max") {
    try {
      return maximize();
    } catch (const std::bad_alloc&) {
      return error(RC_NOMEM);
    }
  }
  if (sub == "display" || sub == "di") {
    ParseResult pr;
    if (int rc = parse_ifinopts({.options = PERM_OPTIONAL}, pr)) return rc;
    return mlc_replay(pr, "ml", "", nullptr);
  }
  if (sub.empty()) return required("subcommand");
  return errmsgf(RC_SYNTAX, "unknown ml subcommand %s\n", sub.c_str());
}

}  // namespace

void stats_bindml() { cmdbind("ml", cmd_ml); }
