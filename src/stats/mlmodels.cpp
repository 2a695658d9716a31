// The likelihoods of the built-in estimators as blocks of per-observation
// log likelihoods and derivatives with respect to the linear indices; the
// maximiser in mlmax.cpp assembles gradients and Hessians from them.
#include "stats/mlmodels.h"

#include <boost/math/special_functions/digamma.hpp>
#include <boost/math/special_functions/trigamma.hpp>
#include <cmath>

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
