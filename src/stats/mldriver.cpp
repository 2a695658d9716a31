// ml: the maximum-likelihood driver for likelihoods written as programs.
//   ml model lf progname (eqname: y = x1 x2) [(eqname2: x3)] [if] [in]
//   ml maximize [, iterate(#) tolerance(#) nolog level(#)]
//   ml display [, level(#)]
// The program receives `args lnf xb [xb2 ...]` (temporary double variables)
// and the dependent variables' names in $ML_y1, $ML_y2, ...; it fills lnf
// with each observation's log likelihood. The derivatives with respect to
// the equations' indices are taken numerically observation by observation,
// and the shared maximiser does the rest.
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
#include "stats/mlcmd.h"
#include "stats/post.h"
#include "stats/stats.h"

namespace {

// One equation of the model.
struct MdEq {
  std::string name;
  std::vector<int> deps;  // dependent variables named in it
  std::vector<int> vars;  // regressors
  bool cons = true;
};

// The model of the last `ml model`.
struct MdModel {
  bool valid = false;
  std::string method, prog;
  std::vector<MdEq> eqs;
  std::vector<int> deps;   // all dependent variables, in order
  std::vector<long> obs;   // the sample
};
MdModel mdm;

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

// ml model lf progname (eq) ... [if] [in]
int model() {
  const std::string method = gettok(prsestd);
  if (method.empty()) return required("method");
  if (method == "d0" || method == "d1" || method == "d2")
    return errmsgf(RC_SYNTAX, "method %s is not available; use lf\n", method.c_str());
  if (method != "lf") return errmsgf(RC_SYNTAX, "unknown method %s\n", method.c_str());
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
  ps.opable = 0;
  ps.byable = 0;
  if (int rc = parse_ifinopts()) return rc;
  if (int rc = chkopt()) return rc;
  for (const MdEq& e : m.eqs)
    for (int d : e.deps) m.deps.push_back(d);
  for (long obs = ds.nobs1; obs <= ds.nobs2; ++obs) {
    if (!selobs(obs)) continue;
    bool ok = true;
    for (int d : m.deps) ok = ok && zelta_data(d, obs) < misval;
    for (const MdEq& e : m.eqs)
      for (int v : e.vars) ok = ok && zelta_data(v, obs) < misval;
    if (ok) m.obs.push_back(obs);
  }
  if (m.obs.empty()) return st_noobs();
  m.valid = true;
  mdm = std::move(m);
  return 0;
}

// The temporary variables the program works on.
// They are dropped by name: posting e(sample) renumbers the variables.
struct Temps {
  std::vector<int> vars;  // lnf, then one index per equation
  std::vector<std::string> names;
  ~Temps() {
    std::vector<int> gone;
    for (const std::string& n : names)
      if (int v = findvarexact(n.c_str())) gone.push_back(v);
    if (!gone.empty()) (void)droporkeepvars(gone, false);
  }
};

// Runs the program over the sample with the indices eta (E x n) and reads
// each observation's log likelihood into ll. 0, or 1400 with a message when
// the program fails or leaves a missing value.
int runprog(const Temps& t, const std::vector<std::vector<double>>& eta, std::vector<double>& ll, bool quiet) {
  const size_t n = mdm.obs.size();
  for (size_t e = 0; e < eta.size(); ++e)
    for (size_t i = 0; i < n; ++i) store(t.vars[e + 1], mdm.obs[i], eta[e][i]);
  for (size_t i = 0; i < n; ++i) store(t.vars[0], mdm.obs[i], misval);
  std::string line = mdm.prog;
  for (int v : t.vars) line += " " + varname(v);
  if (int rc = execline(line)) {
    if (rc == 1) return 1;
    return errmsgf(rc, "%s returned error %d\n", mdm.prog.c_str(), rc);
  }
  ll.resize(n);
  for (size_t i = 0; i < n; ++i) {
    ll[i] = zelta_data(t.vars[0], mdm.obs[i]);
    if (ll[i] >= misval) {
      if (!quiet) return errmsgf(RC_OVERFLOW, "%s left a missing log likelihood in observation %ld\n", mdm.prog.c_str(), mdm.obs[i]);
      return RC_OVERFLOW;
    }
  }
  return 0;
}

// ml maximize [, iterate(#) tolerance(#) nolog level(#)]
int maximize() {
  if (!mdm.valid) return errmsgf(RC_NOESTIMATES, "no model defined; use ml model first\n");
  ps.opable = 0;
  if (int rc = parse_ifinopts()) return rc;
  MlcOpts o;
  if (int rc = mlc_options(o, false, false)) return rc;
  if (int rc = chkopt()) return rc;
  const int E = static_cast<int>(mdm.eqs.size());
  const size_t n = mdm.obs.size();
  // The data: every regressor once.
  MlcSample s;
  s.obs = mdm.obs;
  s.lo = 1;
  s.hi = ds.nobs;
  s.d.n = static_cast<long>(n);
  s.d.y.assign(n, 0);
  MlModel m;
  std::vector<std::string> names;
  for (const MdEq& e : mdm.eqs) {
    MlEq q;
    q.name = e.name;
    q.cons = e.cons;
    for (int v : e.vars) {
      q.cols.push_back(static_cast<int>(s.d.x.size()));
      std::vector<double> c(n);
      for (size_t i = 0; i < n; ++i) c[i] = zelta_data(v, mdm.obs[i]);
      s.d.x.push_back(std::move(c));
      names.push_back(e.name + ":" + varname(v));
    }
    if (e.cons) names.push_back(e.name + ":_cons");
    m.eqs.push_back(q);
  }
  for (size_t j = 0; j < mdm.deps.size(); ++j)
    st_global(("ML_y" + std::to_string(j + 1)).c_str(), varname(mdm.deps[j]).c_str());
  Temps t;
  for (int k = 0; k <= E; ++k) {
    const std::string nm = k == 0 ? "__ml_lnf" : "__ml_xb" + std::to_string(k);
    if (findvarexact(nm.c_str())) return errmsgf(RC_DEFINED, "%s already defined\n", nm.c_str());
    if (int rc = addvar(nm.c_str(), ST_DOUBLE)) return rc;
    t.vars.push_back(ds.nvar);
    t.names.push_back(nm);
  }
  const int P = m.nparam();
  bool first = true;
  m.whole = [&](const std::vector<double>& b, int todo, double* llp, std::vector<double>* g, std::vector<double>* nH,
                std::vector<double>* scores) -> int {
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
    std::vector<double> l0;
    const bool quiet = !first;
    first = false;
    if (int rc = runprog(t, eta, l0, quiet)) return rc;
    double ll = 0;
    for (double v : l0) ll += v;
    *llp = ll;
    if (todo < 1) return 0;
    // Numerical derivatives of each observation's log likelihood with
    // respect to the indices: central differences.
    std::vector<std::vector<double>> d1(static_cast<size_t>(E), std::vector<double>(n)),
        d2(static_cast<size_t>(E * E), std::vector<double>(n));
    std::vector<double> h(n), lp, lm;
    std::vector<std::vector<double>> lpe(static_cast<size_t>(E)), lme(static_cast<size_t>(E));
    for (int e = 0; e < E; ++e) {
      auto& et = eta[static_cast<size_t>(e)];
      const std::vector<double> keep = et;
      for (size_t i = 0; i < n; ++i) et[i] = keep[i] + 1e-4 * (1 + std::fabs(keep[i]));
      if (int rc = runprog(t, eta, lpe[static_cast<size_t>(e)], true)) return rc;
      for (size_t i = 0; i < n; ++i) et[i] = keep[i] - 1e-4 * (1 + std::fabs(keep[i]));
      if (int rc = runprog(t, eta, lme[static_cast<size_t>(e)], true)) return rc;
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
        if (int rc = runprog(t, eta, lpp, true)) return rc;
        for (size_t i = 0; i < n; ++i) {
          ee[i] = ke[i] - 1e-4 * (1 + std::fabs(ke[i]));
          ef[i] = kf[i] - 1e-4 * (1 + std::fabs(kf[i]));
        }
        if (int rc = runprog(t, eta, lmm, true)) return rc;
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
    std::vector<int> eqof, colof;
    for (int e = 0; e < E; ++e) {
      for (int c : m.eqs[static_cast<size_t>(e)].cols) eqof.push_back(e), colof.push_back(c);
      if (m.eqs[static_cast<size_t>(e)].cons) eqof.push_back(e), colof.push_back(-1);
    }
    auto xv = [&](int a, size_t i) { return colof[static_cast<size_t>(a)] < 0 ? 1.0 : s.d.x[static_cast<size_t>(colof[static_cast<size_t>(a)])][i]; };
    g->assign(static_cast<size_t>(P), 0);
    if (scores) scores->assign(n * static_cast<size_t>(P), 0);
    for (int a = 0; a < P; ++a)
      for (size_t i = 0; i < n; ++i) {
        const double u = d1[static_cast<size_t>(eqof[static_cast<size_t>(a)])][i] * xv(a, i);
        (*g)[static_cast<size_t>(a)] += u;
        if (scores) (*scores)[i * static_cast<size_t>(P) + static_cast<size_t>(a)] = u;
      }
    if (todo < 2) return 0;
    nH->assign(static_cast<size_t>(P * P), 0);
    for (int a = 0; a < P; ++a)
      for (int c = 0; c <= a; ++c) {
        double acc = 0;
        const auto& dq = d2[static_cast<size_t>(eqof[static_cast<size_t>(a)] * E + eqof[static_cast<size_t>(c)])];
        for (size_t i = 0; i < n; ++i) acc += dq[i] * xv(a, i) * xv(c, i);
        (*nH)[static_cast<size_t>(a * P + c)] = (*nH)[static_cast<size_t>(c * P + a)] = -acc;
      }
    return 0;
  };
  // Starting values: zeros.
  std::vector<double> b0(static_cast<size_t>(P), 0);
  MlOpts q = o.ml;
  q.log = mlc_logger(o);
  MlResult r;
  const int rc = ml_maximize(m, s.d, b0, q, r);
  if (rc == ML_BREAK) return 1;
  if (rc == ML_NOINIT) return errmsgf(RC_OVERFLOW, "initial values not feasible\n");
  MlcFit f;
  f.cmd = "ml";
  f.title = "Maximum likelihood fit of " + mdm.prog;
  f.N = static_cast<double>(n);
  f.ll = r.ll;
  f.ll_0 = misval;
  f.ic = r.iter;
  f.converged = r.converged;
  f.k = P;
  f.wald = true;
  std::vector<double> V = r.V;
  if (o.robust || o.clustvar) {
    std::vector<double> sc;
    double ll;
    if (int er = ml_eval(m, s.d, r.b, 1, &ll, nullptr, nullptr, &sc)) return er == ML_BREAK ? 1 : RC_NOCONVERGE;
    std::vector<double> cl;
    if (o.clustvar)
      for (long ob : mdm.obs) cl.push_back(zelta_data(o.clustvar, ob));
    f.nclust = ml_robust(V, P, static_cast<long>(n), sc, nullptr, o.clustvar ? cl.data() : nullptr);
  }
  // The model test: the slopes of the first equation.
  mlc_chi2(f, static_cast<int>(m.eqs[0].cols.size()), r.b, V, P);
  f.names = names;
  f.b = r.b;
  f.V = V;
  s.depname = mdm.deps.empty() ? "" : varname(mdm.deps[0]);
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
    ps.opable = 0;
    if (int rc = parse_ifinopts()) return rc;
    return mlc_replay("ml", "", nullptr);
  }
  if (sub.empty()) return required("subcommand");
  return errmsgf(RC_SYNTAX, "unknown ml subcommand %s\n", sub.c_str());
}

}  // namespace

void stats_bindml() { cmdbind("ml", cmd_ml); }
