// _tobit (censoring at fixed bounds ll() and ul()) and _cnreg (censoring
// of each observation given by a variable: -1 left, 0 none, 1 right, at the
// observed value): censored normal regression fitted by the shared
// maximiser in (xb, ln sigma), posted with sigma itself as `sigma:_cons`.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include <lapacke.h>

#include "data/store.h"
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

enum : int { TM_TOBIT = 0, TM_CNREG = 1 };

// Least-squares starting values for the columns cols (and a constant when
// cons) of s, then ln of the residual standard deviation.
std::vector<double> olsstart(const MlcSample& s, const std::vector<int>& cols, bool cons) {
  const int p = static_cast<int>(cols.size()) + (cons ? 1 : 0);
  std::vector<double> A(static_cast<size_t>(p * p), 0), r(static_cast<size_t>(p), 0), z(static_cast<size_t>(p));
  const long n = s.d.n;
  for (long i = 0; i < n; ++i) {
    for (int a = 0; a < static_cast<int>(cols.size()); ++a) z[static_cast<size_t>(a)] = s.d.x[static_cast<size_t>(cols[static_cast<size_t>(a)])][static_cast<size_t>(i)];
    if (cons) z[static_cast<size_t>(p - 1)] = 1;
    const double w = s.d.w.empty() ? 1 : s.d.w[static_cast<size_t>(i)];
    for (int a = 0; a < p; ++a) {
      r[static_cast<size_t>(a)] += w * z[static_cast<size_t>(a)] * s.d.y[static_cast<size_t>(i)];
      for (int c = 0; c < p; ++c) A[static_cast<size_t>(a * p + c)] += w * z[static_cast<size_t>(a)] * z[static_cast<size_t>(c)];
    }
  }
  std::vector<double> b(static_cast<size_t>(p), 0);
  if (p > 0 && LAPACKE_dposv(LAPACK_ROW_MAJOR, 'L', p, 1, A.data(), p, r.data(), 1) == 0) b = r;
  double ss = 0, sw = 0;
  for (long i = 0; i < n; ++i) {
    double e = s.d.y[static_cast<size_t>(i)];
    for (int a = 0; a < static_cast<int>(cols.size()); ++a) e -= b[static_cast<size_t>(a)] * s.d.x[static_cast<size_t>(cols[static_cast<size_t>(a)])][static_cast<size_t>(i)];
    if (cons) e -= b[static_cast<size_t>(p - 1)];
    const double w = s.d.w.empty() ? 1 : s.d.w[static_cast<size_t>(i)];
    ss += w * e * e;
    sw += w;
  }
  b.push_back(ss > 0 ? 0.5 * std::log(ss / sw) : 0);
  return b;
}

// A bound option's value: true with *v set when given.
bool boundopt(ParseResult& pr, const char* name, double* v) {
  double a[1];
  if (findoptv(pr, name, 2, a, 1, 0) != 1) return false;
  *v = a[0];
  return true;
}

// _tobit depvar [indepvars] [if] [in] [weight], ll(#) ul(#) [options]
// _cnreg depvar [indepvars] [if] [in] [weight], censored(varname) [options]
int cmd_censored(int mode) {
  ParseResult pr;
  const char* cmd = mode == TM_TOBIT ? "tobit" : "cnreg";
  bool replayed;
  if (int rc = mlc_begin(pr, cmd, "", nullptr, &replayed); rc || replayed) return rc;
  MlcOpts o;
  if (int rc = mlc_options(pr, o, true, false)) return rc;
  double lo = -misval, hi = misval;
  const bool haslo = mode == TM_TOBIT && boundopt(pr, "ll", &lo);
  const bool hashi = mode == TM_TOBIT && boundopt(pr, "ul", &hi);
  int censvar = 0;
  if (mode == TM_CNREG) {
    std::string a;
    if (!findargn(pr, "censored", 4, a, 64, 1) || a.empty()) return errmsgf(RC_SYNTAX, "option censored() required\n");
    const int v = zelta_findvar(a.c_str(), 1, false);
    if (v < 0) return -v;
    if (isstrtype(vartype(v))) return errmsgf(RC_TYPEMISMATCH, "censored() variable %s must be numeric\n", varname(v).c_str());
    censvar = v;
  }
  if (int rc = chkopt(pr)) return rc;
  if (mode == TM_TOBIT && !haslo && !hashi) return errmsgf(RC_SYNTAX, "must specify censoring point: ll(#) and/or ul(#)\n");
  if (haslo && hashi && !(lo < hi)) return errmsgf(RC_SYNTAX, "ll() must be less than ul()\n");
  if (vl.lnvar() == 1 && o.nocons) return errmsgf(RC_TOOFEWVARS, "too few variables specified\n");
  MlcSample s;
  if (int rc = mlc_read(pr, o, s)) return rc;
  std::vector<signed char> cens(static_cast<size_t>(s.d.n), 0);
  std::vector<double> bound(static_cast<size_t>(s.d.n), 0);
  if (mode == TM_CNREG) {
    std::vector<unsigned char> keep(static_cast<size_t>(s.d.n), 1);
    bool drop = false;
    for (long i = 0; i < s.d.n; ++i) {
      const double c = zelta_data(censvar, s.obs[static_cast<size_t>(i)]);
      if (c >= misval) {
        keep[static_cast<size_t>(i)] = 0;
        drop = true;
        continue;
      }
      if (c != -1 && c != 0 && c != 1)
        return errmsgf(RC_BADDATA, "censored() variable %s must be -1, 0 or 1\n", varname(censvar).c_str());
    }
    if (drop) mlc_keeprows(s, keep);
    if (s.d.n == 0) return st_noobs();
    cens.resize(static_cast<size_t>(s.d.n));
    bound.resize(static_cast<size_t>(s.d.n));
    for (long i = 0; i < s.d.n; ++i) {
      cens[static_cast<size_t>(i)] = static_cast<signed char>(zelta_data(censvar, s.obs[static_cast<size_t>(i)]));
      bound[static_cast<size_t>(i)] = s.d.y[static_cast<size_t>(i)];
    }
  } else {
    for (long i = 0; i < s.d.n; ++i) {
      const double y = s.d.y[static_cast<size_t>(i)];
      if (haslo && y <= lo) cens[static_cast<size_t>(i)] = -1, bound[static_cast<size_t>(i)] = lo;
      else if (hashi && y >= hi) cens[static_cast<size_t>(i)] = 1, bound[static_cast<size_t>(i)] = hi;
    }
  }
  double nl = 0, nr = 0, nu = 0;
  for (long i = 0; i < s.d.n; ++i) {
    const double w = s.d.w.empty() ? 1 : s.d.w[static_cast<size_t>(i)];
    (cens[static_cast<size_t>(i)] < 0 ? nl : cens[static_cast<size_t>(i)] > 0 ? nr : nu) += w;
  }
  if (nu == 0) return errmsgf(RC_NOOBS, "no uncensored observations\n");
  const size_t k = s.d.x.size();
  std::vector<unsigned char> dropped(k, 0);
  const bool cons = !o.nocons;
  mlc_rmcoll(s, cons, dropped);
  const MlEq eq = mlc_eq(dropped, cons);
  MlEq ls;
  ls.name = "lnsigma";
  MlModel m;
  m.eqs = {eq, ls};
  mlm_censored(m, s.d, cens, bound);
  const int P = m.nparam();
  // The constant-only model.
  double ll0 = misval;
  if (cons) {
    MlModel m0;
    m0.eqs = {MlEq{}, ls};
    mlm_censored(m0, s.d, cens, bound);
    MlResult r0;
    const int rc0 = mlc_quietfit(m0, s.d, olsstart(s, {}, true), o.ml, r0);
    if (rc0 == ML_BREAK) return 1;
    if (rc0 == ML_OK) ll0 = r0.ll;
  }
  MlResult r;
  if (int rc = mlc_fit(m, s, o, olsstart(s, eq.cols, cons), r)) return rc;
  MlcFit f;
  f.cmd = cmd;
  f.title = mode == TM_TOBIT ? "Tobit regression" : "Censored normal regression";
  f.predict = mode == TM_TOBIT ? "tobit_p" : "cnreg_p";
  mlc_fitted(f, r, P, s, o, nl + nr + nu);
  f.ll_0 = ll0;
  std::vector<double> V = r.V;
  if (int vr = mlc_variance(m, s, o, r.b, V, f)) return vr;
  mlc_chi2(f, static_cast<int>(eq.cols.size()), r.b, V, P);
  // sigma = exp(ln sigma): its row and column of V scale by sigma.
  const double sig = std::exp(r.b.back());
  std::vector<double> b = r.b;
  b.back() = sig;
  for (int a = 0; a < P; ++a) {
    V[static_cast<size_t>(a * P + P - 1)] *= sig;
    V[static_cast<size_t>((P - 1) * P + a)] *= sig;
  }
  mlc_coefs(f, s, dropped, cons, s.depname, {"sigma:_cons"}, b, V);
  f.scalars.push_back({"sigma", sig});
  f.scalars.push_back({"N_lc", nl});
  f.scalars.push_back({"N_rc", nr});
  f.scalars.push_back({"N_unc", nu});
  if (censvar) f.macros.push_back({"censored", varname(censvar)});
  if (haslo) f.scalars.push_back({"llopt", lo});
  if (hashi) f.scalars.push_back({"ulopt", hi});
  char buf[400];
  std::snprintf(buf, sizeof buf,
                "{txt}  Obs. summary: {res}%9.0f{txt}  left-censored observations\n"
                "{txt}{space 16}{res}%9.0f{txt}     uncensored observations\n"
                "{txt}{space 16}{res}%9.0f{txt} right-censored observations\n",
                nl, nu, nr);
  return mlc_finish(f, s, o, "", {}, buf);
}

}  // namespace

void stats_bindtobit() {
  cmdbind("_tobit", cmd_censored, TM_TOBIT);
  cmdbind("_cnreg", cmd_censored, TM_CNREG);
}
