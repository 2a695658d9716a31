// _predict: a new variable from the posted coefficients e(b) and variance
// e(V): the linear prediction (the default), the residuals (against
// e(depvar)) or the standard error of the prediction; the models' own
// statistics (probabilities, counts, and after the random-effects binary
// models the probability with the effect at zero or averaged over it). Reached through the
// predict program and the fit's e(predict) program.
#include <algorithm>
#include <cmath>
#include <string>
#include <unordered_map>
#include <vector>

#include "data/store.h"
#include "data/varlist.h"
#include "expr/expr.h"
#include "interp/cmdtab.h"
#include "interp/tokenizer.h"
#include "results/results.h"
#include "output/errors.h"
#include "output/output.h"
#include "platform/platform.h"
#include "stats/accum.h"
#include "stats/post.h"
#include "stats/stats.h"

namespace {

// One term of the fit resolved against the current dataset.
struct Term {
  int var = 0;       // variable number (0 for _cons)
  TsRecipe rcp;      // time-series recipe
};

// Resolves a coefficient name ("x", "L2.x" or "_cons"). 0 or 111.
int resolve(const std::string& name, Term& t) {
  t = Term{};
  if (name == "_cons") return 0;
  if (name.find('.') == std::string::npos) {
    t.var = findvarexact(name.c_str());
    if (!t.var) return varnotfound(name.c_str());
    return 0;
  }
  std::vector<int> vars;
  std::vector<TsRecipe> rcps;
  const char* end = nullptr;
  if (int rc = tsparse_item(name.c_str(), &end, vars, rcps)) return rc;
  if (vars.size() != 1) return varnotfound(name.c_str());
  t.var = vars[0];
  t.rcp = rcps[0];
  return 0;
}

double value(const Term& t, long obs, int tvar, int pvar) {
  if (t.var == 0) return 1;
  if (t.rcp.plain()) return zelta_data(t.var, obs);
  return tsdata(t.var, t.rcp, obs, tvar, pvar);
}

enum : int { P_XB, P_RES, P_STDP, P_PR, P_N, P_YCENS, P_PZERO, P_PMARG };

// The kind of model the current e() holds, as far as predict cares.
enum : int { M_LINEAR, M_LOGIT, M_PROBIT, M_COUNT, M_TOBIT, M_CLOGIT, M_RELOGIT, M_REPROBIT, M_OLOGIT, M_OPROBIT, M_MLOGIT };
int modelkind() {
  const std::string c = st_ecmd();
  if ((c == "panellogit" || c == "panelprobit") && st_elocalget("model") == "re")
    return c == "panellogit" ? M_RELOGIT : M_REPROBIT;
  if (c == "ologit") return M_OLOGIT;
  if (c == "oprobit") return M_OPROBIT;
  if (c == "mlogit") return M_MLOGIT;
  if (c == "logit") return M_LOGIT;
  if (c == "probit") return M_PROBIT;
  if (c == "poisson" || c == "negbin") return M_COUNT;
  if (c == "tobit" || c == "cnreg") return M_TOBIT;
  if (c == "clogit" || (c == "panellogit" && st_elocalget("model") == "fe")) return M_CLOGIT;
  return M_LINEAR;
}

// The offset of the fit (e(offset): a variable or ln(variable)); var 0 when
// none. 0 or 111.
int offsetterm(int* var, bool* logged) {
  *var = 0;
  *logged = false;
  std::string o = st_elocalget("offset");
  if (o.empty()) return 0;
  if (o.rfind("ln(", 0) == 0 && o.back() == ')') {
    o = o.substr(3, o.size() - 4);
    *logged = true;
  }
  *var = findvarexact(o.c_str());
  if (!*var) return varnotfound(o.c_str());
  return 0;
}

// The logistic function, without overflow.
double invlogit(double r) { return r >= 0 ? 1 / (1 + std::exp(-r)) : std::exp(r) / (1 + std::exp(r)); }

// The logistic probability of index r averaged over a normal effect of
// standard deviation s: the integral of invlogit(r + s z) phi(z) over
// |z| <= 9 (the normal mass beyond is below 1e-18) by adaptive Simpson to
// 1e-12. Quadrature by Gauss-Hermite converges slowly here for large s (the
// integrand's poles come near the real line), hence the adaptive rule.
double margilogit(double r, double s) {
  auto f = [r, s](double z) { return invlogit(r + s * z) * std::exp(-0.5 * z * z) * (1 / std::sqrt(2 * M_PI)); };
  struct Simpson {
    decltype(f)& g;
    double run(double a, double b, double fa, double fm, double fb, double whole, double tol, int depth) {
      const double m = 0.5 * (a + b), lm = 0.5 * (a + m), rm = 0.5 * (m + b);
      const double flm = g(lm), frm = g(rm);
      const double left = (m - a) / 6 * (fa + 4 * flm + fm), right = (b - m) / 6 * (fm + 4 * frm + fb);
      const double diff = left + right - whole;
      if (depth <= 0 || std::fabs(diff) <= 15 * tol) return left + right + diff / 15;
      return run(a, m, fa, flm, fm, left, tol / 2, depth - 1) + run(m, b, fm, frm, fb, right, tol / 2, depth - 1);
    }
  } simp{f};
  // Panels of width 1 first, so that no narrow rise of the integrand is
  // missed by the first estimate.
  double sum = 0;
  for (int k = -9; k < 9; ++k) {
    const double a = k, b = k + 1, fa = f(a), fb = f(b), fm = f(0.5 * (a + b));
    sum += simp.run(a, b, fa, fm, fb, (b - a) / 6 * (fa + 4 * fm + fb), 1e-13, 40);
  }
  return sum;
}

// The outcome probabilities after ologit, oprobit and mlogit: one new
// variable per outcome (names), or the one outcome of value outval.
int outcomeprobs(int model, int type, const std::vector<std::string>& names, bool hasout, double outval) {
  const Matrix* mc = res.e.matrix("cat");
  std::vector<std::string> cn;
  std::vector<double> b, V;
  if (!mc || !st_ecoefs(cn, b, V)) return error(RC_NOESTIMATES);
  const int J = mc->cols;
  std::vector<double> vals(mc->v.begin(), mc->v.begin() + J);
  int want = -1;
  if (hasout) {
    for (int j = 0; j < J; ++j)
      if (vals[static_cast<size_t>(j)] == outval) want = j;
    if (want < 0) return errmsgf(RC_NOEQUATION, "outcome %g not found\n", outval);
    if (names.size() != 1) return errmsgf(RC_SYNTAX, "outcome() takes one new variable\n");
  } else if (static_cast<int>(names.size()) != J) {
    return errmsgf(RC_SYNTAX, "give outcome(#) or %d new variables, one for each outcome\n", J);
  }
  for (const std::string& n : names) {
    if (int rc = chkvarname(n.c_str())) return rc;
    if (findvarexact(n.c_str())) return errmsgf(RC_DEFINED, "%s already defined\n", n.c_str());
  }
  // The linear indices: ordered models have one (the slopes) and the cut
  // points last; mlogit one per non-base outcome, equations in order.
  const size_t p = cn.size();
  std::vector<int> eqof(p, 0);
  std::vector<Term> terms(p);
  std::vector<double> cuts;
  int E = 1;
  int base = -1;
  if (model == M_MLOGIT) {
    std::vector<std::string> eqs;
    for (size_t j = 0; j < p; ++j) {
      const size_t c = cn[j].find(':');
      const std::string eq = cn[j].substr(0, c);
      if (eqs.empty() || eqs.back() != eq) eqs.push_back(eq);
      eqof[j] = static_cast<int>(eqs.size()) - 1;
      cn[j].erase(0, c + 1);
    }
    E = static_cast<int>(eqs.size());
    const double bv = st_escalarget("baseout");
    for (int j = 0; j < J; ++j)
      if (vals[static_cast<size_t>(j)] == bv) base = j;
    if (base < 0 || E != J - 1) return error(RC_NOESTIMATES);
  } else {
    for (int j = 0; j < J - 1; ++j) cuts.push_back(b[p - static_cast<size_t>(J - 1) + static_cast<size_t>(j)]);
    for (size_t j = p - static_cast<size_t>(J - 1); j < p; ++j) eqof[j] = -1;
  }
  for (size_t j = 0; j < p; ++j)
    if (eqof[j] >= 0) {
      if (b[j] == 0 && (V.empty() || V[j * p + j] == 0)) {
        eqof[j] = -2;  // a dropped regressor
        continue;
      }
      if (int rc = resolve(cn[j], terms[j])) return rc;
    }
  int tvar = 0, pvar = 0;
  bool ts = false;
  for (const Term& t : terms) ts = ts || (t.var && !t.rcp.plain());
  if (ts)
    if (int rc = tscheck(&tvar, &pvar)) return rc;
  const int first = ds.nvar + 1;
  for (const std::string& n : names)
    if (int rc = addvar(n.c_str(), type ? type : ds.deftype)) return rc;
  std::vector<double> eta(static_cast<size_t>(E)), pr(static_cast<size_t>(J));
  const int kind = model == M_OPROBIT ? 1 : 0;
  auto F = [kind](double z) {
    if (kind) return 0.5 * std::erfc(-z / M_SQRT2);
    return z >= 0 ? 1 / (1 + std::exp(-z)) : std::exp(z) / (1 + std::exp(z));
  };
  long missing = 0;
  for (long obs = 1; obs <= ds.nobs; ++obs) {
    if ((obs & 0x3fff) == 0 && stopflag) {
      std::vector<int> gone;
      for (int v = first; v <= ds.nvar; ++v) gone.push_back(v);
      (void)droporkeepvars(gone, false);
      return 1;
    }
    bool ok = obs >= ds.nobs1 && obs <= ds.nobs2 && selobs(obs);
    std::fill(eta.begin(), eta.end(), 0.0);
    for (size_t j = 0; j < p && ok; ++j) {
      if (eqof[j] < 0) continue;
      const double x = value(terms[j], obs, tvar, pvar);
      ok = x < misval;
      eta[static_cast<size_t>(eqof[j])] += b[j] * x;
    }
    if (ok) {
      if (model == M_MLOGIT) {
        double mx = 0;
        for (double e : eta) mx = std::max(mx, e);
        double s = std::exp(-mx);
        for (int e = 0; e < E; ++e) s += std::exp(eta[static_cast<size_t>(e)] - mx);
        for (int j = 0, e = 0; j < J; ++j)
          pr[static_cast<size_t>(j)] = (j == base ? std::exp(-mx) : std::exp(eta[static_cast<size_t>(e++)] - mx)) / s;
      } else {
        double lo = 0;
        for (int j = 0; j < J; ++j) {
          const double hi = j < J - 1 ? F(cuts[static_cast<size_t>(j)] - eta[0]) : 1;
          pr[static_cast<size_t>(j)] = hi - lo;
          lo = hi;
        }
      }
    } else {
      ++missing;
    }
    for (size_t v = 0; v < names.size(); ++v) {
      const int j = hasout ? want : static_cast<int>(v);
      store(first + static_cast<int>(v), obs, ok ? pr[static_cast<size_t>(j)] : misval);
    }
  }
  for (int v = first; v <= ds.nvar; ++v) s_updata(v);
  if (missing) st_note(std::string(1, '(') + std::to_string(missing) + " missing value" + plural_s(missing) + " generated)\n");
  return 0;
}

// _predict [type] newvar [if] [in] [, xb residuals stdp]
int cmd_predict(int) {
  std::string w = gettok(prsestd);
  int type = typecode(w.c_str());
  if (type) w = gettok(prsestd);
  if (w.empty() || w == "," || w == "if" || w == "in") return required("new variable name");
  if (type && isstrtype(type)) return error(RC_TYPEMISMATCH);
  const std::string name = w;
  std::vector<std::string> more;  // further new variables (one per outcome)
  while (true) {
    const char* at = wheretok();
    std::string t = gettok(prsestd);
    if (t.empty() || t == "," || t == "if" || t == "in") {
      settok(at);
      break;
    }
    more.push_back(t);
  }
  if (st_ecmd() == "cox") return cox_predict(type, name, more);
  ParseResult pr;
  if (int rc = parse_ifinopts({.options = PERM_OPTIONAL, .by = PERM_OPTIONAL}, pr)) return rc;
  const int model = modelkind();
  int preset = -1;  // the statistic already read (ordered and multinomial models)
  if (model >= M_OLOGIT) {
    const bool xbs = findopt(pr, "xb", 2, 0) == 1, sdp = findopt(pr, "stdp", 4, 0) == 1;
    double ov[1];
    const bool hasout = findoptv(pr, "outcome", 2, ov, 1, 0) == 1;
    const bool wantpr = findopt(pr, "pr", 1, 0) == 1;
    if (!xbs && !sdp) {
      if (int rc = chkopt(pr)) return rc;
      std::vector<std::string> all{name};
      all.insert(all.end(), more.begin(), more.end());
      (void)wantpr;
      return outcomeprobs(model, type, all, hasout, hasout ? ov[0] : 0);
    }
    if (xbs && sdp) return errmsgf(RC_SYNTAX, "only one statistic may be specified\n");
    if (hasout || wantpr) return errmsgf(RC_SYNTAX, "outcome() and pr may not be combined with xb or stdp\n");
    preset = xbs ? P_XB : P_STDP;
  }
  if (!more.empty()) return errmsgf(RC_TOOMANYVARS, "too many variables specified\n");
  int kinds = 0, kind = model == M_LOGIT || model == M_PROBIT || model == M_CLOGIT ? P_PR : model == M_COUNT ? P_N : P_XB;
  bool nooff = false;
  if (preset >= 0) {
    kinds = 1, kind = preset;
  } else {
    if (findopt(pr, "xb", 2, 0) == 1) ++kinds, kind = P_XB;
    if ((model == M_LOGIT || model == M_PROBIT || model == M_CLOGIT) && findopt(pr, "pr", 1, 0) == 1)
      ++kinds, kind = P_PR;
    if (model == M_COUNT && findopt(pr, "n", 1, 0) == 1) ++kinds, kind = P_N;
    if (model == M_TOBIT && findopt(pr, "ycens", 5, 0) == 1) ++kinds, kind = P_YCENS;
    nooff = model != M_LINEAR && findopt(pr, "offset", 3, 1) == 0;
    if (model == M_RELOGIT || model == M_REPROBIT) {
      if (findopt(pr, "pzero", 2, 0) == 1) ++kinds, kind = P_PZERO;
      if (findopt(pr, "pmarginal", 2, 0) == 1) ++kinds, kind = P_PMARG;
    }
    if (findopt(pr, "residuals", 1, 0) == 1) ++kinds, kind = P_RES;
    if (findopt(pr, "stdp", 4, 0) == 1) ++kinds, kind = P_STDP;
  }
  if (int rc = chkopt(pr)) return rc;
  if (kinds > 1) return errmsgf(RC_SYNTAX, "only one statistic may be specified\n");
  // A residual is the outcome less its fitted value: only the linear models
  // (tobit's latent one included) fit values of the outcome itself.
  if (kind == P_RES && model != M_LINEAR && model != M_TOBIT) {
    std::string fit = st_ecmd();
    if (fit.rfind("panel", 0) == 0 && !st_elocalget("model").empty()) fit += ", " + st_elocalget("model");
    return errmsgf(RC_SYNTAX, "option residuals not allowed after %s: it fits no values of %s\n", fit.c_str(),
                   st_elocalget("depvar").c_str());
  }
  std::vector<std::string> names;
  std::vector<double> b, V;
  if (!st_ecoefs(names, b, V)) return error(RC_NOESTIMATES);
  // Ordered models: the cut points (last) are no part of the linear index.
  if (model == M_OLOGIT || model == M_OPROBIT) {
    const double kc = st_escalarget("k_cat");
    const size_t nc = kc < misval && kc >= 2 ? static_cast<size_t>(kc) - 1 : 0;
    const size_t p0 = names.size(), p1 = p0 > nc ? p0 - nc : 0;
    std::vector<double> V2;
    if (!V.empty())
      for (size_t a = 0; a < p1; ++a)
        for (size_t c = 0; c < p1; ++c) V2.push_back(V[a * p0 + c]);
    names.resize(p1), b.resize(p1), V = std::move(V2);
    if (p1 == 0) return errmsgf(RC_SYNTAX, "the model has no regressors\n");
  }
  // The expected value of the censored variable: the bounds of tobit and
  // sigma (the equation sigma).
  double sigma = misval, ylo = -misval, yhi = misval;
  if (kind == P_YCENS) {
    for (size_t j = 0; j < names.size(); ++j)
      if (names[j] == "sigma:_cons") sigma = b[j];
    if (!(sigma > 0 && sigma < misval)) return error(RC_NOESTIMATES);
    if (st_escalarget("llopt") < misval) ylo = st_escalarget("llopt");
    if (st_escalarget("ulopt") < misval) yhi = st_escalarget("ulopt");
  }
  // After cnreg each observation carries its own bound: its observed value,
  // from below (-1) or above (1) as its censoring variable says.
  int censv = 0, censy = 0;
  if (kind == P_YCENS && st_ecmd() == "cnreg") {
    const std::string cv = st_elocalget("censored"), dv = st_elocalget("depvar");
    if (cv.empty() || dv.empty()) return error(RC_NOESTIMATES);
    censv = findvarexact(cv.c_str());
    if (!censv) return varnotfound(cv.c_str());
    censy = findvarexact(dv.c_str());
    if (!censy) return varnotfound(dv.c_str());
  }
  // The spread of the random effect, for the marginal probability.
  double sigu = 0;
  if (kind == P_PMARG) {
    sigu = st_escalarget("sigma_u");
    if (!(sigu >= 0 && sigu < misval)) return errmsgf(RC_BADAFTEREST, "e(sigma_u) not found\n");
  }
  // Several equations: the linear prediction is the first one's.
  if (const size_t c = names[0].find(':'); c != std::string::npos) {
    const std::string eq = names[0].substr(0, c + 1);
    const size_t p0 = names.size();
    std::vector<size_t> at;
    for (size_t j = 0; j < p0; ++j)
      if (names[j].compare(0, eq.size(), eq) == 0) at.push_back(j);
    std::vector<std::string> n2;
    std::vector<double> b2, V2;
    for (size_t a : at) {
      n2.push_back(names[a].substr(eq.size()));
      b2.push_back(b[a]);
      if (!V.empty())
        for (size_t c2 : at) V2.push_back(V[a * p0 + c2]);
    }
    names = std::move(n2), b = std::move(b2), V = std::move(V2);
  }
  if (kind == P_STDP && V.empty()) return errmsgf(RC_BADAFTEREST, "variance matrix not found\n");
  if (int rc = chkvarname(name.c_str())) return rc;
  if (findvarexact(name.c_str())) return errmsgf(RC_DEFINED, "%s already defined\n", name.c_str());
  const size_t p = names.size();
  // A coefficient that is zero with zero variance (a dropped regressor)
  // contributes nothing: its variable need not exist.
  std::vector<unsigned char> skip(p, 0);
  for (size_t j = 0; j < p; ++j) skip[j] = b[j] == 0 && (V.empty() || V[j * p + j] == 0);
  std::vector<Term> terms(p);
  for (size_t j = 0; j < p; ++j)
    if (!skip[j])
      if (int rc = resolve(names[j], terms[j])) return rc;
  Term dep;
  if (kind == P_RES) {
    const std::string dv = st_elocalget("depvar");
    if (dv.empty()) return errmsgf(RC_SYNTAX, "residuals need the dependent variable e(depvar)\n");
    if (int rc = resolve(dv.substr(0, dv.find(' ')), dep)) return rc;
  }
  int tvar = 0, pvar = 0;
  bool ts = false;
  for (const Term& t : terms) ts = ts || (t.var && !t.rcp.plain());
  if (!dep.rcp.plain()) ts = true;
  if (ts)
    if (int rc = tscheck(&tvar, &pvar)) return rc;
  int offvar = 0;
  bool offlog = false;
  if (model != M_LINEAR && !nooff && kind != P_STDP)
    if (int rc = offsetterm(&offvar, &offlog)) return rc;
  if (kinds == 0) {
    if (kind == P_PR) st_note("(option pr assumed; Pr(" + st_elocalget("depvar") + "))\n");
    else if (model == M_RELOGIT || model == M_REPROBIT) st_note("(option xb assumed; linear prediction)\n");
    else if (kind == P_N) st_note("(option n assumed; predicted number of events)\n");
    else if (kind == P_YCENS) st_note("(option ycens assumed)\n");
    else st_note("(option xb assumed; fitted values)\n");
  }
  if (int rc = addvar(name.c_str(), type ? type : ds.deftype)) return rc;
  const int nv = ds.nvar;
  long missing = 0;
  std::vector<double> x(p);
  for (long obs = 1; obs <= ds.nobs; ++obs) {
    if ((obs & 0x3fff) == 0 && stopflag) {
      std::vector<int> gone{nv};
      (void)droporkeepvars(gone, false);
      return 1;
    }
    double r = misval;
    if (obs >= ds.nobs1 && obs <= ds.nobs2 && selobs(obs)) {
      bool ok = true;
      for (size_t j = 0; j < p && ok; ++j) {
        x[j] = skip[j] ? 0 : value(terms[j], obs, tvar, pvar);
        ok = x[j] < misval;
      }
      if (ok) {
        if (kind == P_STDP) {
          double v = 0;
          for (size_t a = 0; a < p; ++a)
            for (size_t c = 0; c < p; ++c) v += x[a] * V[a * p + c] * x[c];
          r = v >= 0 ? std::sqrt(v) : misval;
        } else {
          Accum xb;
          for (size_t j = 0; j < p; ++j) xb.add(b[j] * x[j]);
          r = xb.value();
          if (offvar) {
            const double ov = zelta_data(offvar, obs);
            r = ov < misval && (!offlog || ov > 0) ? r + (offlog ? std::log(ov) : ov) : misval;
          }
          if (r < misval && kind == P_PR && model == M_CLOGIT) r = std::exp(r);
          else if (r < misval && kind == P_PR)
            r = model == M_LOGIT ? invlogit(r) : 0.5 * std::erfc(-r / M_SQRT2);
          if (r < misval && (kind == P_PZERO || kind == P_PMARG)) {
            if (model == M_REPROBIT)
              r = 0.5 * std::erfc(-(kind == P_PMARG ? r / std::sqrt(1 + sigu * sigu) : r) / M_SQRT2);
            else
              r = kind == P_PMARG ? margilogit(r, sigu) : invlogit(r);
          }
          if (r < misval && kind == P_N) r = std::exp(r);
          if (r < misval && kind == P_YCENS && censv) {
            const double c = zelta_data(censv, obs), y = zelta_data(censy, obs);
            ylo = -misval, yhi = misval;
            if (c == -1 || c == 1) {
              if (y >= misval) r = misval;
              (c < 0 ? ylo : yhi) = y;
            }
          }
          if (r < misval && kind == P_YCENS) {
            // E(max(lo, min(hi, y*))) for y* normal(xb, sigma).
            const double a = ylo > -misval ? (ylo - r) / sigma : -INFINITY;
            const double c = yhi < misval ? (yhi - r) / sigma : INFINITY;
            auto Phi = [](double z) { return 0.5 * std::erfc(-z / M_SQRT2); };
            auto phi = [](double z) { return std::isfinite(z) ? std::exp(-0.5 * z * z) / std::sqrt(2 * M_PI) : 0.0; };
            double e = r * (Phi(c) - Phi(a)) + sigma * (phi(a) - phi(c));
            if (ylo > -misval) e += ylo * Phi(a);
            if (yhi < misval) e += yhi * (1 - Phi(c));
            r = e;
          }
          if (kind == P_RES) {
            const double y = value(dep, obs, tvar, pvar);
            r = y < misval ? y - r : misval;
          }
        }
      }
    }
    if (!(r < misval)) ++missing;
    store(nv, obs, r < misval ? r : misval);
  }
  if (model == M_CLOGIT && kind == P_PR) {
    // Within-group probabilities: exp(xb) over its group's sum.
    const int gv = findvarexact(st_elocalget("group").c_str());
    std::unordered_map<double, double> sum;
    for (long obs = 1; obs <= ds.nobs; ++obs) {
      const double r = zelta_data(nv, obs);
      const double g = gv ? zelta_data(gv, obs) : misval;
      if (r < misval && g < misval) sum[g] += r;
    }
    for (long obs = 1; obs <= ds.nobs; ++obs) {
      const double r = zelta_data(nv, obs);
      const double g = gv ? zelta_data(gv, obs) : misval;
      if (r < misval && g < misval && sum[g] > 0) store(nv, obs, r / sum[g]);
      else if (r < misval) store(nv, obs, misval), ++missing;
    }
  }
  s_updata(nv);
  if (missing) st_note(std::string(1, '(') + std::to_string(missing) + " missing value" + plural_s(missing) + " generated)\n");
  return 0;
}

}  // namespace

void stats_bindpredict() { cmdbind("_predict", cmd_predict); }
