// _logit and _probit (one handler, the mode choosing the link): binary
// outcome models fitted by the shared maximiser. Reads the sample, drops
// regressors that predict the outcome perfectly (with the observations they
// decide) and collinear ones, fits the constant-only model for the
// likelihood-ratio test, fits the model, posts e() and prints the iteration
// log, header and table.
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

// A number as the notes show it.
std::string shown(double v) {
  const char* p = sreforms("%10.0g", v);
  while (*p == ' ') ++p;
  return p;
}

// Successes (weighted) and the total weight of the rows of s.
void outcomes(const MlcSample& s, double* succ, double* total) {
  double a = 0, t = 0;
  for (long i = 0; i < s.d.n; ++i) {
    const double w = s.d.w.empty() ? 1 : s.d.w[static_cast<size_t>(i)];
    t += w;
    if (s.d.y[static_cast<size_t>(i)] != 0) a += w;
  }
  *succ = a;
  *total = t;
}

// Regressors that predict the outcome perfectly. A regressor with two values
// one of which decides the outcome, or one whose values below and above some
// value c decide it (mixed outcomes only at c): a note, the decided
// observations leave the sample and the regressor is dropped. A regressor
// that separates the outcomes completely: its message and 2000. Repeats
// until none is left.
int perfect(MlcSample& s, std::vector<unsigned char>& dropped) {
  bool again = true;
  while (again) {
    again = false;
    double succ, total;
    outcomes(s, &succ, &total);
    if (succ == 0 || succ == total)
      return errmsgf(RC_NOOBS, "outcome does not vary; remember:\n"
                           "                                  0 = negative outcome,\n"
                           "        all other nonmissing values = positive outcome\n");
    for (size_t j = 0; j < s.d.x.size() && !again; ++j) {
      if (dropped[j]) continue;
      const std::vector<double>& x = s.d.x[j];
      const std::vector<double>& y = s.d.y;
      double v[2] = {x[0], x[0]};
      int nv = 1;
      for (double t : x)
        if (t != v[0] && (nv == 1 || t != v[1])) {
          if (nv == 2) {
            nv = 3;
            break;
          }
          v[1] = t;
          nv = 2;
        }
      if (nv == 1) continue;  // a constant: the collinearity check drops it
      if (nv == 2) {
        for (int a = 0; a < 2; ++a) {
          long npos = 0, nneg = 0;
          for (long i = 0; i < s.d.n; ++i)
            if (x[static_cast<size_t>(i)] == v[a]) (y[static_cast<size_t>(i)] != 0 ? npos : nneg)++;
          if (npos && nneg) continue;
          const std::string& nm = s.names[j];
          std::string cond = v[1 - a] == 0 ? nm + " != 0" : nm + " == " + shown(v[a]);
          st_note("note: " + cond + " predicts " + (npos ? "success" : "failure") + " perfectly\n");
          st_note("      " + nm + " dropped and " + std::to_string(npos + nneg) + " obs not used\n");
          std::vector<unsigned char> keep(static_cast<size_t>(s.d.n));
          for (long i = 0; i < s.d.n; ++i) keep[static_cast<size_t>(i)] = x[static_cast<size_t>(i)] != v[a];
          mlc_keeprows(s, keep);
          dropped[j] = 1;
          again = true;
          break;
        }
        continue;
      }
      // Complete separation by a regressor of many values.
      double max0 = -misval, min0 = misval, max1 = -misval, min1 = misval;
      for (long i = 0; i < s.d.n; ++i) {
        const double t = x[static_cast<size_t>(i)];
        if (y[static_cast<size_t>(i)] != 0) {
          max1 = std::max(max1, t);
          min1 = std::min(min1, t);
        } else {
          max0 = std::max(max0, t);
          min0 = std::min(min0, t);
        }
      }
      if (max0 < min1)
        return errmsgf(RC_NOOBS, "outcome = %s > %s predicts data perfectly\n", s.names[j].c_str(), shown(max0).c_str());
      if (max1 < min0)
        return errmsgf(RC_NOOBS, "outcome = %s <= %s predicts data perfectly\n", s.names[j].c_str(), shown(max1).c_str());
      // Quasi-complete separation: the outcomes apart on either side of one
      // value c, mixed only at c. The rows away from c are decided.
      const double c = max0 == min1 ? max0 : max1 == min0 ? max1 : misval;
      if (c >= misval) continue;
      const std::string& nm = s.names[j];
      std::vector<unsigned char> keep(static_cast<size_t>(s.d.n));
      long gone = 0;
      for (long i = 0; i < s.d.n; ++i) {
        keep[static_cast<size_t>(i)] = x[static_cast<size_t>(i)] == c;
        gone += !keep[static_cast<size_t>(i)];
      }
      st_note("note: " + nm + " != " + shown(c) + " predicts data perfectly except for " + nm + " == " + shown(c) +
              " subsample:\n");
      st_note("      " + nm + " dropped and " + std::to_string(gone) + " obs not used\n");
      mlc_keeprows(s, keep);
      dropped[j] = 1;
      again = true;
    }
  }
  return 0;
}

// _logit | _probit [depvar [indepvars] [if] [in] [weight]] [, options]
int cmd_binary(int mode) {
  ParseResult pr;
  const char* cmd = mode == MLB_LOGIT ? "logit" : "probit";
  bool replayed;
  if (int rc = mlc_begin(pr, cmd, "Odds Ratio", mode == MLB_LOGIT ? "or" : nullptr, &replayed); rc || replayed) return rc;
  MlcOpts o;
  if (int rc = mlc_options(pr, o, true, false)) return rc;
  const bool oddsr = mode == MLB_LOGIT && findopt(pr, "or", 2, 0) == 1;
  if (int rc = chkopt(pr)) return rc;
  if (vl.lnvar() == 1 && o.nocons) return errmsgf(RC_TOOFEWVARS, "too few variables specified\n");
  MlcSample s;
  if (int rc = mlc_read(pr, o, s)) return rc;
  const size_t k = s.d.x.size();
  std::vector<unsigned char> dropped(k, 0);
  if (int rc = perfect(s, dropped)) return rc;
  const bool cons = !o.nocons;
  mlc_rmcoll(s, cons, dropped);

  MlModel m;
  const MlEq eq = mlc_eq(dropped, cons);
  m.eqs = {eq};
  mlm_binary(m, s.d, mode);
  const int P = m.nparam();
  if (P == 0) return errmsgf(RC_TOOFEWVARS, "too few variables specified\n");

  // The constant-only model: the likelihood-ratio test's base and the
  // starting values.
  double succ, total;
  outcomes(s, &succ, &total);
  const double pbar = succ / total;
  std::vector<double> b0(static_cast<size_t>(P), 0);
  double ll0 = misval;
  if (cons) {
    const double c = mode == MLB_LOGIT ? std::log(pbar / (1 - pbar)) : fn_invnormal(pbar);
    if (s.d.off.empty()) {
      ll0 = succ * std::log(pbar) + (total - succ) * std::log(1 - pbar);
      b0.back() = c;
    } else {
      MlModel m0;
      MlEq e0;
      m0.eqs = {e0};
      mlm_binary(m0, s.d, mode);
      MlResult r0;
      const int rc = mlc_quietfit(m0, s.d, {c}, o.ml, r0);
      if (rc == ML_BREAK) return 1;
      if (rc == ML_OK) {
        ll0 = r0.ll;
        b0.back() = r0.b[0];
      }
    }
  } else {
    if (int rc = ml_eval(m, s.d, b0, 0, &ll0, nullptr, nullptr)) return rc == ML_BREAK ? 1 : errmsgf(RC_OVERFLOW, "initial values not feasible\n");
  }

  MlResult r;
  if (int rc = mlc_fit(m, s, o, b0, r)) return rc;

  MlcFit f;
  f.cmd = cmd;
  f.title = mode == MLB_LOGIT ? "Logistic regression" : "Probit regression";
  f.predict = mode == MLB_LOGIT ? "logit_p" : "probit_p";
  mlc_fitted(f, r, P, s, o, total);
  f.ll_0 = ll0;
  std::vector<double> V = r.V;
  if (int vr = mlc_variance(m, s, o, r.b, V, f)) return vr;
  mlc_chi2(f, static_cast<int>(eq.cols.size()), r.b, V, P);
  mlc_coefs(f, s, dropped, cons, "", {}, r.b, V);
  return mlc_finish(f, s, o, oddsr ? "Odds Ratio" : "");
}

}  // namespace

void stats_bindlogit() {
  cmdbind("_logit", cmd_binary, MLB_LOGIT);
  cmdbind("_probit", cmd_binary, MLB_PROBIT);
}
