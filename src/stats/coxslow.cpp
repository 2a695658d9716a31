// The partial likelihood walked one failure time at a time (see coxfit.h),
// for what the incremental risk-set sums of coxfit.cpp cannot carry:
// covariates whose effect changes with time (their value at each failure
// time is the covariate times g(t)), and the exact partial likelihood of
// tied failures, the probability that exactly the failed subjects are the d
// chosen from the risk set, whose denominator sums the relative hazards
// of every subset of size d by the recursion B(m, k) = B(m-1, k) +
// r_m B(m-1, k-1), with its first and second derivatives alike.
#include <algorithm>
#include <cmath>

#include "platform/platform.h"
#include "stats/coxfit.h"

int cox_eval_slow(const CoxData& d, const std::vector<double>& b, int todo, double* llp, std::vector<double>* g,
                  std::vector<double>* nH) {
  const size_t P = static_cast<size_t>(d.p);
  const size_t P0 = P - static_cast<size_t>(d.ptv);  // fixed columns
  const bool wt = !d.w.empty();
  double ll = 0;
  std::vector<double> G(P, 0), H(P * P, 0);
  std::vector<double> X, eta, S1(P), S2(P * P), D1(P), D2(P * P), s1k(P);
  std::vector<double> B, dB, d2B;
  long poll = 0;
  for (size_t st = 0; st + 1 < d.strata.size(); ++st) {
    const long a = d.strata[st], e = d.strata[st + 1];
    for (long g0 = a; g0 < e;) {
      long g1 = g0 + 1;
      while (g1 < e && d.t[static_cast<size_t>(g1)] == d.t[static_cast<size_t>(g0)]) ++g1;
      long nd = 0;
      for (long i = g0; i < g1; ++i) nd += d.dead[static_cast<size_t>(i)] != 0;
      if (nd == 0) {
        g0 = g1;
        continue;
      }
      if ((++poll & 0x3f) == 0 && stopflag) return ML_BREAK;
      // The risk set's covariates at this time, and their linear predictors.
      const size_t m = static_cast<size_t>(e - g0);
      const double gk = d.ptv ? d.gt[static_cast<size_t>(g0)] : 1;
      X.resize(m * P);
      eta.resize(m);
      double shift = -INFINITY;
      for (size_t j = 0; j < m; ++j) {
        const double* src = &d.x[(static_cast<size_t>(g0) + j) * P];
        double* xj = &X[j * P];
        double s = 0;
        for (size_t c = 0; c < P; ++c) {
          xj[c] = c < P0 ? src[c] : src[c] * gk;
          s += xj[c] * b[c];
        }
        eta[j] = s;
        shift = std::max(shift, s);
      }
      const size_t nf = static_cast<size_t>(g1 - g0);  // the rows at this time come first
      double WD = 0;
      for (size_t j = 0; j < nf; ++j)
        if (d.dead[static_cast<size_t>(g0) + j] != 0) {
          const double wj = wt ? d.w[static_cast<size_t>(g0) + j] : 1;
          WD += wj;
          ll += wj * eta[j];
          if (todo >= 1)
            for (size_t c = 0; c < P; ++c) G[c] += wj * X[j * P + c];
        }
      if (d.exact) {
        // B[k], dB[k] (p), d2B[k] (p x p) over subsets of size k of the rows so far.
        const size_t D = static_cast<size_t>(nd);
        B.assign(D + 1, 0);
        dB.assign((D + 1) * P, 0);
        if (todo >= 2) d2B.assign((D + 1) * P * P, 0);
        B[0] = 1;
        for (size_t j = 0; j < m; ++j) {
          const double r = std::exp(eta[j] - shift);
          const double* x = &X[j * P];
          for (size_t k = std::min(D, j + 1); k >= 1; --k) {
            const double* db1 = &dB[(k - 1) * P];
            if (todo >= 2) {
              const double* d2b1 = &d2B[(k - 1) * P * P];
              double* d2b = &d2B[k * P * P];
              for (size_t u = 0; u < P; ++u)
                for (size_t v = 0; v <= u; ++v)
                  d2b[u * P + v] += r * (x[u] * x[v] * B[k - 1] + x[u] * db1[v] + db1[u] * x[v] + d2b1[u * P + v]);
            }
            if (todo >= 1) {
              double* db = &dB[k * P];
              for (size_t u = 0; u < P; ++u) db[u] += r * (x[u] * B[k - 1] + db1[u]);
            }
            B[k] += r * B[k - 1];
          }
        }
        ll -= std::log(B[D]) + static_cast<double>(D) * shift;
        if (todo >= 1) {
          const double* db = &dB[D * P];
          for (size_t u = 0; u < P; ++u) G[u] -= db[u] / B[D];
          if (todo >= 2) {
            const double* d2b = &d2B[D * P * P];
            for (size_t u = 0; u < P; ++u)
              for (size_t v = 0; v <= u; ++v) H[u * P + v] += d2b[u * P + v] / B[D] - db[u] * db[v] / (B[D] * B[D]);
          }
        }
        g0 = g1;
        continue;
      }
      // Breslow and Efron: the risk-set sums, and the failures' own.
      double S0 = 0, D0 = 0;
      std::fill(S1.begin(), S1.end(), 0);
      std::fill(D1.begin(), D1.end(), 0);
      if (todo >= 2) std::fill(S2.begin(), S2.end(), 0), std::fill(D2.begin(), D2.end(), 0);
      for (size_t j = 0; j < m; ++j) {
        const size_t row = static_cast<size_t>(g0) + j;
        const double r = (wt ? d.w[row] : 1) * std::exp(eta[j] - shift);
        const bool died = j < nf && d.dead[row] != 0;
        const double* x = &X[j * P];
        S0 += r;
        if (died) D0 += r;
        for (size_t u = 0; u < P; ++u) {
          S1[u] += r * x[u];
          if (died) D1[u] += r * x[u];
          if (todo >= 2)
            for (size_t v = 0; v <= u; ++v) {
              S2[u * P + v] += r * x[u] * x[v];
              if (died) D2[u * P + v] += r * x[u] * x[v];
            }
        }
      }
      const long terms = d.efron ? nd : 1;
      const double mw = d.efron ? WD / static_cast<double>(nd) : WD;
      for (long k = 0; k < terms; ++k) {
        const double f = d.efron ? static_cast<double>(k) / static_cast<double>(nd) : 0;
        const double den = S0 - f * D0;
        ll -= mw * (std::log(den) + shift);
        if (todo < 1) continue;
        for (size_t u = 0; u < P; ++u) s1k[u] = (S1[u] - f * D1[u]) / den;
        for (size_t u = 0; u < P; ++u) G[u] -= mw * s1k[u];
        if (todo >= 2)
          for (size_t u = 0; u < P; ++u)
            for (size_t v = 0; v <= u; ++v)
              H[u * P + v] += mw * ((S2[u * P + v] - f * D2[u * P + v]) / den - s1k[u] * s1k[v]);
      }
      g0 = g1;
    }
  }
  for (size_t u = 0; u < P; ++u)
    for (size_t v = u + 1; v < P; ++v) H[u * P + v] = H[v * P + u];
  *llp = ll;
  if (g && todo >= 1) *g = G;
  if (nH && todo >= 2) *nH = H;
  return 0;
}
