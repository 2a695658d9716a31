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
        // log p = -log(1 + exp(-t)), log(1 - p) = -log(1 + exp(t)), stably.
        const double a = pos ? -t : t;
        ll[i] = a > 0 ? -(a + std::log1p(std::exp(-a))) : -std::log1p(std::exp(a));
        if (todo >= 1) {
          const double p = t >= 0 ? 1 / (1 + std::exp(-t)) : std::exp(t) / (1 + std::exp(t));
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

void mlm_negbin(MlModel& m, const MlData& d) {
  const double* y = d.y.data();
  m.block = [y](long i0, long n, const double* const* eta, int todo, double* ll, double* const* d1,
                double* const* d2) {
    for (long i = 0; i < n; ++i) {
      const double yi = y[i0 + i];
      const double mu = std::exp(eta[0][i]);
      const double inv = std::exp(-eta[1][i]);  // 1/alpha
      const double s = inv + mu;
      const double lr = std::log(inv / s);
      ll[i] = std::lgamma(yi + inv) - std::lgamma(yi + 1) - std::lgamma(inv) + inv * lr +
              yi * (eta[0][i] - std::log(s));
      if (!std::isfinite(ll[i])) return 1;
      if (todo < 1) continue;
      const double dm = boost::math::digamma(yi + inv) - boost::math::digamma(inv) + lr + (mu - yi) / s;
      d1[0][i] = inv * (yi - mu) / s;
      d1[1][i] = -inv * dm;
      if (todo < 2) continue;
      const double dmm = boost::math::trigamma(yi + inv) - boost::math::trigamma(inv) + 1 / inv - 1 / s -
                         (mu - yi) / (s * s);
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
