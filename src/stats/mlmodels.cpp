// The likelihoods of the built-in estimators as blocks of per-observation
// log likelihoods and derivatives with respect to the linear indices; the
// maximiser in mlmax.cpp assembles gradients and Hessians from them.
#include "stats/mlmodels.h"

#include <boost/math/special_functions/digamma.hpp>
#include <boost/math/special_functions/trigamma.hpp>
#include <algorithm>
#include <cmath>
#include <limits>

namespace {
constexpr double misval_inf() { return std::numeric_limits<double>::infinity(); }
}  // namespace

double mlm_normal(double z) { return 0.5 * std::erfc(-z / M_SQRT2); }

double mlm_lognormal(double z) {
  if (z > -30) return std::log(0.5 * std::erfc(-z / M_SQRT2));
  // log Phi(z) = log phi(z) - log(-z) + log(1 - 1/z^2 + 3/z^4 - 15/z^6 ...)
  const double z2 = z * z;
  const double s = 1 - 1 / z2 + 3 / (z2 * z2) - 15 / (z2 * z2 * z2) + 105 / (z2 * z2 * z2 * z2);
  return -0.5 * z2 - 0.5 * std::log(2 * M_PI) - std::log(-z) + std::log(s);
}

double mlm_mills(double z) {
  if (z > -30) {
    const double phi = std::exp(-0.5 * z * z) / std::sqrt(2 * M_PI);
    return phi / mlm_normal(z);
  }
  const double z2 = z * z;
  const double s = 1 - 1 / z2 + 3 / (z2 * z2) - 15 / (z2 * z2 * z2) + 105 / (z2 * z2 * z2 * z2);
  return -z / s;
}

void mlm_binary(MlModel& m, const MlData& d, int kind) {
  const double* y = d.y.data();
  if (kind == MLB_LOGIT) {
    m.block = [y](long i0, long n, const double* const* eta, int todo, double* ll, double* const* d1,
                  double* const* d2) {
      const double* e = eta[0];
      for (long i = 0; i < n; ++i) {
        const bool pos = y[i0 + i] != 0;
        const double t = e[i];
        // log p = -log(1 + exp(-t)), log(1 - p) = -log(1 + exp(t)), stably,
        // with the one exponential exp(-|t|).
        const double a = pos ? -t : t;
        const double ex = std::exp(-std::fabs(t));
        ll[i] = -((a > 0 ? a : 0) + std::log1p(ex));
        if (todo >= 1) {
          const double p = t >= 0 ? 1 / (1 + ex) : ex / (1 + ex);
          d1[0][i] = (pos ? 1 : 0) - p;
          if (todo >= 2) d2[0][i] = -p * (1 - p);
        }
      }
      return 0;
    };
    return;
  }
  m.block = [y](long i0, long n, const double* const* eta, int todo, double* ll, double* const* d1,
                double* const* d2) {
    const double* e = eta[0];
    for (long i = 0; i < n; ++i) {
      const double q = y[i0 + i] != 0 ? 1 : -1;
      const double z = q * e[i];
      ll[i] = mlm_lognormal(z);
      if (todo >= 1) {
        const double lam = mlm_mills(z);
        d1[0][i] = q * lam;
        if (todo >= 2) d2[0][i] = -lam * (lam + z);
      }
    }
    return 0;
  };
}

void mlm_poisson(MlModel& m, const MlData& d) {
  const double* y = d.y.data();
  m.block = [y](long i0, long n, const double* const* eta, int todo, double* ll, double* const* d1,
                double* const* d2) {
    const double* e = eta[0];
    for (long i = 0; i < n; ++i) {
      const double yi = y[i0 + i];
      const double mu = std::exp(e[i]);
      ll[i] = yi * e[i] - mu - std::lgamma(yi + 1);
      if (todo >= 1) {
        d1[0][i] = yi - mu;
        if (todo >= 2) d2[0][i] = -mu;
      }
    }
    return 0;
  };
}

// lgamma(y + m) - lgamma(m), psi(y + m) - psi(m) and psi'(y + m) - psi'(m):
// sums over the integer steps when y is a small integer (exact however large
// m is, where the differences of lgamma would lose every digit), else the
// functions themselves.
static void nbterms(double y, double m, double* lg, double* dg, double* tg) {
  if (y == std::floor(y) && y >= 0 && y <= 2000) {
    double a = 0, b = 0, c = 0;
    for (int k = 0; k < static_cast<int>(y); ++k) {
      const double t = m + k;
      a += std::log(t);
      b += 1 / t;
      c -= 1 / (t * t);
    }
    *lg = a, *dg = b, *tg = c;
    return;
  }
  *lg = std::lgamma(y + m) - std::lgamma(m);
  *dg = boost::math::digamma(y + m) - boost::math::digamma(m);
  *tg = boost::math::trigamma(y + m) - boost::math::trigamma(m);
}

void mlm_negbin(MlModel& m, const MlData& d) {
  const double* y = d.y.data();
  m.block = [y](long i0, long n, const double* const* eta, int todo, double* ll, double* const* d1,
                double* const* d2) {
    for (long i = 0; i < n; ++i) {
      const double yi = y[i0 + i];
      const double mu = std::exp(eta[0][i]);
      const double inv = std::exp(-eta[1][i]);  // 1/alpha
      const double s = inv + mu;
      const double lr = -std::log1p(mu / inv);  // log(inv / s)
      double lg, dg, tg;
      nbterms(yi, inv, &lg, &dg, &tg);
      ll[i] = lg - std::lgamma(yi + 1) + inv * lr + yi * (eta[0][i] - std::log(s));
      if (!std::isfinite(ll[i])) return 1;
      if (todo < 1) continue;
      const double dm = dg + lr + (mu - yi) / s;
      d1[0][i] = inv * (yi - mu) / s;
      d1[1][i] = -inv * dm;
      if (todo < 2) continue;
      const double dmm = tg + 1 / inv - 1 / s - (mu - yi) / (s * s);
      d2[0][i] = -mu * inv * (inv + yi) / (s * s);
      d2[1][i] = -inv * mu * (yi - mu) / (s * s);
      d2[2][i] = inv * inv * dmm + inv * dm;
    }
    return 0;
  };
}

namespace {

// F, f and f' of the logistic or standard normal distribution at z, with
// F(+-inf) = 1, 0 and f = f' = 0 there; Fc is 1 - F.
struct Dist {
  double F, Fc, f, fp;
};
Dist dist(double z, int kind) {
  if (z >= misval_inf()) return {1, 0, 0, 0};
  if (z <= -misval_inf()) return {0, 1, 0, 0};
  if (kind == MLB_LOGIT) {
    const double e = std::exp(-std::fabs(z));
    const double lo = e / (1 + e), hi = 1 / (1 + e);
    const double F = z >= 0 ? hi : lo, Fc = z >= 0 ? lo : hi;
    const double f = F * Fc;
    return {F, Fc, f, f * (Fc - F)};
  }
  const double f = std::exp(-0.5 * z * z) / std::sqrt(2 * M_PI);
  return {mlm_normal(z), mlm_normal(-z), f, -z * f};
}

}  // namespace

void mlm_ordered(MlModel& m, const std::vector<int>& cat, int J, int kind) {
  const int* c = cat.data();
  m.block = [c, J, kind](long i0, long n, const double* const* eta, int todo, double* ll, double* const* d1,
                         double* const* d2) {
    const int E = J;
    for (long i = 0; i < n; ++i) {
      const int j = c[i0 + i];
      const double xb = eta[0][i];
      const double up = j < J - 1 ? eta[1 + j][i] - xb : misval_inf();
      const double lo = j > 0 ? eta[j][i] - xb : -misval_inf();
      const Dist a = dist(up, kind), b = dist(lo, kind);
      // P = F(up) - F(lo), from whichever tail keeps its digits.
      const double P = lo + up <= 0 ? a.F - b.F : b.Fc - a.Fc;
      if (!(P > 0)) return 1;
      ll[i] = std::log(P);
      if (todo < 1) continue;
      for (int e = 0; e < E; ++e) d1[e][i] = 0;
      d1[0][i] = -(a.f - b.f) / P;
      if (j < J - 1) d1[1 + j][i] = a.f / P;
      if (j > 0) d1[j][i] = -b.f / P;
      if (todo < 2) continue;
      for (int q = 0; q < E * (E + 1) / 2; ++q) d2[q][i] = 0;
      auto at = [](int r, int s) { return r >= s ? r * (r + 1) / 2 + s : s * (s + 1) / 2 + r; };
      const double P2 = P * P;
      d2[0][i] = (a.fp - b.fp) / P - (a.f - b.f) * (a.f - b.f) / P2;
      if (j < J - 1) {
        const int u = 1 + j;
        d2[at(u, u)][i] = a.fp / P - a.f * a.f / P2;
        d2[at(u, 0)][i] = -a.fp / P + a.f * (a.f - b.f) / P2;
      }
      if (j > 0) {
        const int l = j;
        d2[at(l, l)][i] = -b.fp / P - b.f * b.f / P2;
        d2[at(l, 0)][i] = b.fp / P - b.f * (a.f - b.f) / P2;
        if (j < J - 1) d2[at(1 + j, l)][i] = a.f * b.f / P2;
      }
    }
    return 0;
  };
}

void mlm_mlogit(MlModel& m, const std::vector<int>& cat, int J, int base) {
  const int* c = cat.data();
  m.block = [c, J, base](long i0, long n, const double* const* eta, int todo, double* ll, double* const* d1,
                         double* const* d2) {
    const int E = J - 1;
    double p[64];
    for (long i = 0; i < n; ++i) {
      const int j = c[i0 + i];
      // Equation e is category e, or e + 1 past the base.
      double mx = 0;
      for (int e = 0; e < E; ++e) mx = std::max(mx, eta[e][i]);
      double s = std::exp(-mx);
      for (int e = 0; e < E; ++e) s += p[e] = std::exp(eta[e][i] - mx);
      const int ej = j == base ? -1 : j < base ? j : j - 1;
      ll[i] = (ej >= 0 ? eta[ej][i] : 0) - mx - std::log(s);
      if (todo < 1) continue;
      for (int e = 0; e < E; ++e) {
        p[e] /= s;
        d1[e][i] = (e == ej ? 1 : 0) - p[e];
      }
      if (todo < 2) continue;
      for (int e = 0; e < E; ++e)
        for (int f = 0; f <= e; ++f) d2[e * (e + 1) / 2 + f][i] = -p[e] * ((e == f ? 1 : 0) - p[f]);
    }
    return 0;
  };
}

void mlm_censored(MlModel& m, const MlData& d, const std::vector<signed char>& cens,
                  const std::vector<double>& bound) {
  const double* y = d.y.data();
  const signed char* c = cens.data();
  const double* bd = bound.data();
  m.block = [y, c, bd](long i0, long n, const double* const* eta, int todo, double* ll, double* const* d1,
                       double* const* d2) {
    for (long i = 0; i < n; ++i) {
      const double xb = eta[0][i], tau = eta[1][i];
      const double sig = std::exp(tau);
      const int s = c[i0 + i];
      if (s == 0) {
        const double z = (y[i0 + i] - xb) / sig;
        ll[i] = -0.5 * z * z - 0.5 * std::log(2 * M_PI) - tau;
        if (todo >= 1) {
          d1[0][i] = z / sig;
          d1[1][i] = z * z - 1;
        }
        if (todo >= 2) {
          d2[0][i] = -1 / (sig * sig);
          d2[1][i] = -2 * z / sig;
          d2[2][i] = -2 * z * z;
        }
        continue;
      }
      // P(y* beyond the bound) = Phi(a), a = s (xb - bound) / sigma.
      const double a = s * (xb - bd[i0 + i]) / sig;
      ll[i] = mlm_lognormal(a);
      if (todo < 1) continue;
      const double lam = mlm_mills(a);
      d1[0][i] = s * lam / sig;
      d1[1][i] = -lam * a;
      if (todo < 2) continue;
      const double h = lam * (lam + a);
      d2[0][i] = -h / (sig * sig);
      d2[1][i] = s * (a * h - lam) / sig;
      d2[2][i] = -a * a * h + a * lam;
    }
    return 0;
  };
}

void mlm_clogit(MlModel& m, const MlData& d, const std::vector<long>& start) {
  const MlData* dp = &d;
  const std::vector<long>* sp = &start;
  const std::vector<int> cols = m.eqs[0].cols;
  m.whole = [dp, sp, cols](const std::vector<double>& b, int todo, double* llp, std::vector<double>* g,
                           std::vector<double>* nH, std::vector<double>* scores) {
    const MlData& dd = *dp;
    const std::vector<long>& st = *sp;
    const int P = static_cast<int>(cols.size());
    const size_t PP = static_cast<size_t>(P) * static_cast<size_t>(P);
    double ll = 0;
    std::vector<double> G(static_cast<size_t>(P), 0), H(PP, 0);
    if (scores) scores->assign(static_cast<size_t>(dd.n) * static_cast<size_t>(P), 0);
    std::vector<double> B, B1, B2, x(static_cast<size_t>(P)), eta;
    for (size_t gi = 0; gi + 1 < st.size(); ++gi) {
      const long a = st[gi], e = st[gi + 1];
      const long n = e - a;
      eta.assign(static_cast<size_t>(n), 0);
      double shift = -INFINITY;
      int dpos = 0;
      double sumpos = 0;
      std::vector<double> gpos(static_cast<size_t>(P), 0);
      for (long i = 0; i < n; ++i) {
        double t = 0;
        for (int j = 0; j < P; ++j) t += b[static_cast<size_t>(j)] * dd.x[static_cast<size_t>(cols[static_cast<size_t>(j)])][static_cast<size_t>(a + i)];
        eta[static_cast<size_t>(i)] = t;
        shift = std::max(shift, t);
        if (dd.y[static_cast<size_t>(a + i)] != 0) {
          ++dpos;
          sumpos += t;
          for (int j = 0; j < P; ++j) gpos[static_cast<size_t>(j)] += dd.x[static_cast<size_t>(cols[static_cast<size_t>(j)])][static_cast<size_t>(a + i)];
        }
      }
      // B[j] = sum over subsets of size j of the rows seen so far of
      // exp(sum of their shifted indices); B1, B2 its gradient and Hessian.
      const size_t D = static_cast<size_t>(dpos) + 1;
      B.assign(D, 0);
      B[0] = 1;
      if (todo >= 1) B1.assign(D * static_cast<size_t>(P), 0);
      if (todo >= 2) B2.assign(D * PP, 0);
      for (long i = 0; i < n; ++i) {
        const double r = std::exp(eta[static_cast<size_t>(i)] - shift);
        for (int j = 0; j < P; ++j) x[static_cast<size_t>(j)] = dd.x[static_cast<size_t>(cols[static_cast<size_t>(j)])][static_cast<size_t>(a + i)];
        const size_t top = std::min<size_t>(D - 1, static_cast<size_t>(i) + 1);
        for (size_t j = top; j >= 1; --j) {
          const double bp = B[j - 1];
          if (todo >= 2) {
            double* h = &B2[j * PP];
            const double* hp = &B2[(j - 1) * PP];
            const double* gp = &B1[(j - 1) * static_cast<size_t>(P)];
            for (int u = 0; u < P; ++u)
              for (int v = 0; v < P; ++v)
                h[static_cast<size_t>(u * P + v)] += r * (x[static_cast<size_t>(u)] * x[static_cast<size_t>(v)] * bp + x[static_cast<size_t>(u)] * gp[v] + gp[u] * x[static_cast<size_t>(v)] + hp[static_cast<size_t>(u * P + v)]);
          }
          if (todo >= 1) {
            double* gg = &B1[j * static_cast<size_t>(P)];
            const double* gp = &B1[(j - 1) * static_cast<size_t>(P)];
            for (int u = 0; u < P; ++u) gg[u] += r * (x[static_cast<size_t>(u)] * bp + gp[u]);
          }
          B[j] += r * bp;
        }
      }
      const double Bd = B[D - 1];
      // The group's weight (the same on each of its rows).
      const double wg = dd.w.empty() ? 1 : dd.w[static_cast<size_t>(a)];
      ll += wg * (sumpos - dpos * shift - std::log(Bd));
      if (todo < 1) continue;
      const double* b1 = &B1[(D - 1) * static_cast<size_t>(P)];
      for (int u = 0; u < P; ++u) {
        const double su = wg * (gpos[static_cast<size_t>(u)] - b1[u] / Bd);
        G[static_cast<size_t>(u)] += su;
        if (scores) (*scores)[static_cast<size_t>(a) * static_cast<size_t>(P) + static_cast<size_t>(u)] = su;
      }
      if (todo < 2) continue;
      const double* b2 = &B2[(D - 1) * PP];
      for (int u = 0; u < P; ++u)
        for (int v = 0; v < P; ++v)
          H[static_cast<size_t>(u * P + v)] += wg * (b2[static_cast<size_t>(u * P + v)] / Bd - b1[u] * b1[v] / (Bd * Bd));
    }
    *llp = ll;
    if (g && todo >= 1) *g = G;
    if (nH && todo >= 2) *nH = H;
    return 0;
  };
}
