// The proportional-hazards engine (see coxfit.h). Each stratum is walked
// twice: from the last time back to the first, adding rows to the risk-set
// sums S0 (weighted relative hazards), S1 (their first moments) and S2
// (second moments) and taking each failure time's terms of the partial
// likelihood; then forward, accumulating the hazard increments into the
// per-row residuals. Covariates arrive centred, relative hazards are scaled
// by the stratum's largest, so the sums stay in range.
#include "stats/coxfit.h"

#include <algorithm>
#include <cmath>

#include "platform/platform.h"

namespace {

// What one failure time leaves for the forward walk.
struct Step {
  long g0 = 0, g1 = 0;       // its rows [g0, g1)
  double dL = 0, dLd = 0;    // hazard increment for rows at risk; for the failures themselves (Efron)
  std::vector<double> dA;    // increment of the hazard-weighted mean covariates
  std::vector<double> dAd;   // the same for the failures
  std::vector<double> xbar;  // mean covariates over the risk set (averaged over Efron's terms)
};

}  // namespace

int cox_eval(const CoxData& d, const std::vector<double>& b, int todo, double* llp, std::vector<double>* g,
             std::vector<double>* nH, CoxRows* rows) {
  if (d.exact || d.ptv > 0) return cox_eval_slow(d, b, todo, llp, g, nH);
  const int p = d.p;
  const size_t P = static_cast<size_t>(p);
  const bool wt = !d.w.empty();
  double ll = 0;
  std::vector<double> G(P, 0), H(P * P, 0);
  std::vector<double> eta(static_cast<size_t>(d.n));
  for (long i = 0; i < d.n; ++i) {
    const double* xi = &d.x[static_cast<size_t>(i) * P];
    double s = 0;
    for (size_t j = 0; j < P; ++j) s += xi[j] * b[j];
    eta[static_cast<size_t>(i)] = s;
  }
  double bm = 0;  // x-bar' b: undoes the centring for the baseline
  for (size_t j = 0; j < P; ++j) bm += d.xmean[j] * b[j];
  if (rows) {
    rows->score.assign(rows ? static_cast<size_t>(d.n) * P : 0, 0);
    rows->mart.assign(static_cast<size_t>(d.n), 0);
    rows->schoen.assign(static_cast<size_t>(d.n) * P, 0);
    rows->h0.assign(static_cast<size_t>(d.n), 0);
  }
  std::vector<double> S1(P), S2(P * P), D1(P), D2(P * P), s1k(P);
  std::vector<Step> steps;
  long poll = 0;
  for (size_t st = 0; st + 1 < d.strata.size(); ++st) {
    const long a = d.strata[st], e = d.strata[st + 1];
    double shift = -INFINITY;
    for (long i = a; i < e; ++i) shift = std::max(shift, eta[static_cast<size_t>(i)]);
    double S0 = 0;
    std::fill(S1.begin(), S1.end(), 0);
    std::fill(S2.begin(), S2.end(), 0);
    steps.clear();
    for (long g1 = e; g1 > a;) {
      long g0 = g1 - 1;
      while (g0 > a && d.t[static_cast<size_t>(g0 - 1)] == d.t[static_cast<size_t>(g1 - 1)]) --g0;
      if ((++poll & 0xfff) == 0 && stopflag) return ML_BREAK;
      double D0 = 0, WD = 0;
      long nd = 0;
      if (d.efron) {
        std::fill(D1.begin(), D1.end(), 0);
        if (todo >= 2) std::fill(D2.begin(), D2.end(), 0);
      }
      for (long i = g0; i < g1; ++i) {
        const size_t ui = static_cast<size_t>(i);
        const double wi = wt ? d.w[ui] : 1;
        const double r = wi * std::exp(eta[ui] - shift);
        const double* xi = &d.x[ui * P];
        S0 += r;
        const bool died = d.dead[ui] != 0;
        if (died) {
          ++nd;
          WD += wi;
          D0 += r;
          ll += wi * eta[ui];
          if (todo >= 1)
            for (size_t j = 0; j < P; ++j) G[j] += wi * xi[j];
        }
        if (todo >= 1 || rows)
          for (size_t j = 0; j < P; ++j) S1[j] += r * xi[j];
        if (died && d.efron)
          for (size_t j = 0; j < P; ++j) D1[j] += r * xi[j];
        if (todo >= 2)
          for (size_t j = 0; j < P; ++j) {
            const double rx = r * xi[j];
            double* s2 = &S2[j * P];
            for (size_t k = 0; k <= j; ++k) s2[k] += rx * xi[k];
            if (died && d.efron) {
              double* d2 = &D2[j * P];
              for (size_t k = 0; k <= j; ++k) d2[k] += rx * xi[k];
            }
          }
      }
      if (nd == 0) {
        g1 = g0;
        continue;
      }
      Step s;
      s.g0 = g0;
      s.g1 = g1;
      if (rows) {
        s.dA.assign(P, 0);
        s.dAd.assign(P, 0);
        s.xbar.assign(P, 0);
      }
      // Efron's terms k = 0..nd-1 take the failures' share k/nd out of the
      // risk set, each with the failures' mean weight; Breslow's one term
      // keeps them all.
      const long terms = d.efron ? nd : 1;
      const double m = d.efron ? WD / static_cast<double>(nd) : WD;
      for (long k = 0; k < terms; ++k) {
        const double f = d.efron ? static_cast<double>(k) / static_cast<double>(nd) : 0;
        const double den = S0 - f * D0;
        ll -= m * (std::log(den) + shift);
        if (todo < 1 && !rows) continue;
        for (size_t j = 0; j < P; ++j) s1k[j] = (S1[j] - f * (d.efron ? D1[j] : 0)) / den;
        if (todo >= 1)
          for (size_t j = 0; j < P; ++j) G[j] -= m * s1k[j];
        if (todo >= 2)
          for (size_t j = 0; j < P; ++j) {
            const double* s2 = &S2[j * P];
            const double* d2 = &D2[j * P];
            double* h = &H[j * P];
            for (size_t k2 = 0; k2 <= j; ++k2) {
              const double s2k = s2[k2] - (d.efron && f != 0 ? f * d2[k2] : 0);
              h[k2] += m * (s2k / den - s1k[j] * s1k[k2]);
            }
          }
        if (rows) {
          s.dL += m / den;
          s.dLd += m * (1 - f) / den;
          for (size_t j = 0; j < P; ++j) {
            s.dA[j] += m * s1k[j] / den;
            s.dAd[j] += m * (1 - f) * s1k[j] / den;
            s.xbar[j] += s1k[j] / static_cast<double>(terms);
          }
        }
      }
      if (rows) steps.push_back(std::move(s));
      g1 = g0;
    }
    if (!rows) continue;
    // Forward: cumulative hazard L and hazard-weighted covariates A.
    double L = 0;
    std::vector<double> A(P, 0);
    const double back = std::exp(-shift - bm);
    size_t si = steps.size();
    for (long g0 = a; g0 < e;) {
      long g1 = g0 + 1;
      while (g1 < e && d.t[static_cast<size_t>(g1)] == d.t[static_cast<size_t>(g0)]) ++g1;
      const Step* s = si > 0 && steps[si - 1].g0 == g0 ? &steps[si - 1] : nullptr;
      if (s) --si;
      for (long i = g0; i < g1; ++i) {
        const size_t ui = static_cast<size_t>(i);
        const bool died = d.dead[ui] != 0;
        const double wi = wt ? d.w[ui] : 1;
        const double ri = std::exp(eta[ui] - shift);
        double Li = L;
        const double* xi = &d.x[ui * P];
        double* sc = &rows->score[ui * P];
        for (size_t j = 0; j < P; ++j) sc[j] = A[j];
        if (s) {
          Li += died ? s->dLd : s->dL;
          const std::vector<double>& da = died ? s->dAd : s->dA;
          for (size_t j = 0; j < P; ++j) sc[j] += da[j];
        }
        rows->mart[ui] = (died ? 1 : 0) - ri * Li;
        for (size_t j = 0; j < P; ++j) {
          double u = -ri * (xi[j] * Li - sc[j]);
          if (died) {
            rows->schoen[ui * P + j] = xi[j] - s->xbar[j];
            u += xi[j] - s->xbar[j];
          }
          sc[j] = wi * u;
        }
        rows->h0[ui] = (L + (s ? s->dL : 0)) * back;
      }
      if (s) {
        L += s->dL;
        for (size_t j = 0; j < P; ++j) A[j] += s->dA[j];
      }
      g0 = g1;
    }
  }
  for (size_t j = 0; j < P; ++j)
    for (size_t k = j + 1; k < P; ++k) H[j * P + k] = H[k * P + j];
  *llp = ll;
  if (g && todo >= 1) *g = G;
  if (nH && todo >= 2) *nH = H;
  return 0;
}

void cox_model(MlModel& m, const CoxData& d) {
  const CoxData* dp = &d;
  m.whole = [dp](const std::vector<double>& b, int todo, double* ll, std::vector<double>* g, std::vector<double>* nH,
                 std::vector<double>* scores) {
    if (!scores) return cox_eval(*dp, b, todo, ll, g, nH);
    CoxRows r;
    const int rc = cox_eval(*dp, b, todo, ll, g, nH, &r);
    *scores = std::move(r.score);
    return rc;
  };
}
