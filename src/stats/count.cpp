// _poisson and _negbin (one handler, the mode choosing the model): count
// outcomes fitted by the shared maximiser, with exposure() or offset().
// negbin (mean dispersion, Var = mu(1 + alpha mu)) adds the equation lnalpha
// and the likelihood-ratio test of alpha = 0 against the Poisson fit.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "data/value.h"
#include "data/varlist.h"
#include "expr/expr.h"
#include "interp/cmdtab.h"
#include "output/errors.h"
#include "output/format.h"
#include "stats/mlcmd.h"
#include "stats/mlmodels.h"
#include "stats/post.h"
#include "stats/stats.h"

namespace {

enum : int { CM_POISSON = 0, CM_NEGBIN = 1 };

// _poisson | _negbin [depvar [indepvars] [if] [in] [weight]] [, options]
int cmd_count(int mode) {
  ParseResult pr;
  const char* cmd = mode == CM_POISSON ? "poisson" : "negbin";
  bool replayed;
  if (int rc = mlc_begin(pr, cmd, "IRR", "irr", &replayed); rc || replayed) return rc;
  MlcOpts o;
  if (int rc = mlc_options(pr, o, true, true)) return rc;
  const bool irr = findopt(pr, "irr", 3, 0) == 1;
  if (int rc = chkopt(pr)) return rc;
  if (vl.lnvar() == 1 && o.nocons) return errmsgf(RC_TOOFEWVARS, "too few variables specified\n");
  MlcSample s;
  if (int rc = mlc_read(pr, o, s)) return rc;
  double sy = 0, total = 0;
  for (long i = 0; i < s.d.n; ++i) {
    const double yi = s.d.y[static_cast<size_t>(i)];
    if (yi < 0 || yi != std::floor(yi))
      return errmsgf(RC_BADDATA, "%s must be a nonnegative integer\n", s.depname.c_str());
    const double w = s.d.w.empty() ? 1 : s.d.w[static_cast<size_t>(i)];
    sy += w * yi;
    total += w;
  }
  if (sy == 0) return errmsgf(RC_NOOBS, "%s is zero in every observation\n", s.depname.c_str());
  const size_t k = s.d.x.size();
  std::vector<unsigned char> dropped(k, 0);
  const bool cons = !o.nocons;
  mlc_rmcoll(s, cons, dropped);

  const MlEq eq = mlc_eq(dropped, cons);
  MlModel pm;  // the Poisson model
  pm.eqs = {eq};
  mlm_poisson(pm, s.d);
  const int Pp = pm.nparam();
  if (Pp == 0) return errmsgf(RC_TOOFEWVARS, "too few variables specified\n");
  const double ybar = sy / total;

  // The constant-only Poisson fit.
  std::vector<double> b0(static_cast<size_t>(Pp), 0);
  double ll0 = misval;
  if (cons) {
    if (s.d.off.empty()) {
      double a = 0;
      for (long i = 0; i < s.d.n; ++i) {
        const double yi = s.d.y[static_cast<size_t>(i)];
        a += (s.d.w.empty() ? 1 : s.d.w[static_cast<size_t>(i)]) * (yi * std::log(ybar) - ybar - std::lgamma(yi + 1));
      }
      ll0 = a;
      b0.back() = std::log(ybar);
    } else {
      MlModel m0;
      m0.eqs = {MlEq{}};
      mlm_poisson(m0, s.d);
      MlResult r0;
      const int rc = mlc_quietfit(m0, s.d, {std::log(ybar)}, o.ml, r0);
      if (rc == ML_BREAK) return 1;
      if (rc == ML_OK) {
        ll0 = r0.ll;
        b0.back() = r0.b[0];
      }
    }
  } else {
    if (int rc = ml_eval(pm, s.d, b0, 0, &ll0, nullptr, nullptr))
      return rc == ML_BREAK ? 1 : errmsgf(RC_OVERFLOW, "initial values not feasible\n");
  }

  MlcFit f;
  f.cmd = cmd;
  f.predict = mode == CM_POISSON ? "poisson_p" : "negbin_p";
  MlOpts q = o.ml;
  q.log = mlc_logger(o);
  MlResult r;
  int rc = 0;
  const MlModel* fitted = &pm;
  MlModel nm;
  if (mode == CM_POISSON) {
    f.title = "Poisson regression";
    rc = ml_maximize(pm, s.d, b0, q, r);
    f.ll_0 = ll0;
  } else {
    f.title = "Negative binomial regression";
    // The Poisson fit: the test of alpha = 0 and the starting values.
    MlResult rp;
    rc = mlc_quietfit(pm, s.d, b0, o.ml, rp);
    if (rc == ML_BREAK) return 1;
    if (rc == ML_NOINIT) return errmsgf(RC_OVERFLOW, "initial values not feasible\n");
    MlEq la;
    la.name = "lnalpha";
    // The constant-only negative binomial model.
    if (cons) {
      MlModel m0;
      m0.eqs = {MlEq{}, la};
      mlm_negbin(m0, s.d);
      MlResult r0;
      const int rc0 = mlc_quietfit(m0, s.d, {b0.back(), 0.0}, o.ml, r0);
      if (rc0 == ML_BREAK) return 1;
      f.ll_0 = rc0 == ML_OK ? r0.ll : misval;
    } else {
      f.ll_0 = misval;
    }
    nm.eqs = {eq, la};
    mlm_negbin(nm, s.d);
    std::vector<double> bs = rp.b;
    bs.push_back(0);
    rc = ml_maximize(nm, s.d, bs, q, r);
    fitted = &nm;
    if (rc == ML_OK || rc == ML_NOTCONV) {
      double ca = 2 * (r.ll - rp.ll);
      if (ca < 0) ca = 0;
      f.scalars.push_back({"chi2_alpha", ca});
      f.scalars.push_back({"p_alpha", ca > 0 ? 0.5 * ml_chi2tail(1, ca) : 1});
      f.scalars.push_back({"alpha", std::exp(r.b.back())});
    }
  }
  if (rc == ML_BREAK) return 1;
  if (rc == ML_NOINIT) return errmsgf(RC_OVERFLOW, "initial values not feasible\n");
  const int P = fitted->nparam();
  mlc_fitted(f, r, P, s, o, total);
  std::vector<double> V = r.V;
  if (int vr = mlc_variance(*fitted, s, o, r.b, V, f)) return vr;
  mlc_chi2(f, static_cast<int>(eq.cols.size()), r.b, V, P);
  if (mode == CM_POISSON)
    mlc_coefs(f, s, dropped, cons, "", {}, r.b, V);
  else
    mlc_coefs(f, s, dropped, cons, s.depname, {"lnalpha:_cons"}, r.b, V);
  return mlc_finish(f, s, o, irr ? "IRR" : "");
}

}  // namespace

void stats_bindcount() {
  cmdbind("_poisson", cmd_count, CM_POISSON);
  cmdbind("_negbin", cmd_count, CM_NEGBIN);
}
