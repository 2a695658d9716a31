// Random-effects probit and logit by adaptive Gauss-Hermite quadrature.
// Each panel's likelihood, the integral over v ~ N(0,1) of the product of
// its rows' probabilities at x'b + sigma_u v, is computed on nodes centred at
// the mode of the log integrand with the spread of its curvature there, so
// that a dozen points integrate panels of any length. Derivatives hold the
// nodes where they were placed at these parameters (the rule is valid for
// any placement; its error is the quadrature error alone).
#include "platform/platform.h"
#include "stats/requad.h"

#include <lapacke.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <thread>

#include "stats/mlmodels.h"

bool rq_hermite(int n, std::vector<double>& x, std::vector<double>& w) {
  if (n < 1 || n > RQ_MAXPOINTS) return false;
  x.assign(static_cast<size_t>(n), 0);
  w.assign(static_cast<size_t>(n), 0);
  // Starting values: eigenvalues of the Jacobi matrix of the Hermite
  // recurrence; then Newton on the normalised polynomial, whose derivative
  // gives the weight with full relative accuracy even far in the tails.
  std::vector<double> e(static_cast<size_t>(n > 1 ? n - 1 : 1), 0);
  for (int i = 1; i < n; ++i) e[static_cast<size_t>(i - 1)] = std::sqrt(i / 2.0);
  if (n > 1 && LAPACKE_dstev(LAPACK_COL_MAJOR, 'N', n, x.data(), e.data(), nullptr, 1) != 0) return false;
  const double pim4 = std::pow(M_PI, -0.25);
  for (int k = 0; k < n; ++k) {
    double z = x[static_cast<size_t>(k)], pp = 0;
    for (int it = 0; it < 10; ++it) {
      double p1 = pim4, p2 = 0;
      for (int j = 1; j <= n; ++j) {
        const double p3 = p2;
        p2 = p1;
        p1 = z * std::sqrt(2.0 / j) * p2 - std::sqrt((j - 1.0) / j) * p3;
      }
      pp = std::sqrt(2.0 * n) * p2;
      const double dz = p1 / pp;
      z -= dz;
      if (std::fabs(dz) <= 1e-15 * (1 + std::fabs(z))) break;
    }
    x[static_cast<size_t>(k)] = z;
    w[static_cast<size_t>(k)] = 2 / (pp * pp);
  }
  // Symmetric by construction: make it so to the last bit.
  for (int k = 0; k < n / 2; ++k) {
    const size_t a = static_cast<size_t>(k), b = static_cast<size_t>(n - 1 - k);
    const double xm = 0.5 * (x[b] - x[a]), wm = 0.5 * (w[a] + w[b]);
    x[a] = -xm, x[b] = xm, w[a] = w[b] = wm;
  }
  if (n % 2) x[static_cast<size_t>(n / 2)] = 0;
  return true;
}

namespace {

// The log probability of a row's outcome at index z and its first and
// second derivatives in z.
struct Row {
  double l, d1, d2;
};
inline Row rowlik(int kind, bool pos, double z) {
  if (kind == MLB_LOGIT) {
    const double a = pos ? -z : z;
    const double ex = std::exp(-std::fabs(z));
    const double p = z >= 0 ? 1 / (1 + ex) : ex / (1 + ex);
    return {-((a > 0 ? a : 0) + std::log1p(ex)), (pos ? 1 : 0) - p, -p * (1 - p)};
  }
  const double q = pos ? 1 : -1;
  const double zz = q * z;
  const double lam = mlm_mills(zz);
  return {mlm_lognormal(zz), q * lam, -lam * (lam + zz)};
}

// What the quadrature needs, fixed for a fit.
struct Rule {
  int K = 0;
  std::vector<double> x, lw;  // nodes and log(w e^{x^2}) of the rule
};

// The sums of one worker over its panels.
struct Acc {
  double ll = 0;
  std::vector<double> g, H;
  int rc = 0;
};

// Panels [g0, g1) at parameters b into acc (and their scores).
void panels(const MlData& d, const std::vector<long>& st, const std::vector<int>& cols, bool cons, int kind,
            const Rule& R, const std::vector<double>& b, int todo, long g0, long g1, Acc& acc,
            std::vector<double>* scores) {
  const int kx = static_cast<int>(cols.size());
  const int P = kx + (cons ? 1 : 0) + 1;
  const int it = P - 1;  // index of ln sigma_u^2
  const size_t Pz = static_cast<size_t>(P);
  const double sig = std::exp(0.5 * b[static_cast<size_t>(it)]);
  const int K = R.K;
  acc.g.assign(todo >= 1 ? Pz : 0, 0);
  acc.H.assign(todo >= 2 ? Pz * Pz : 0, 0);
  std::vector<double> eta, a(static_cast<size_t>(K)), v(static_cast<size_t>(K)), pk(static_cast<size_t>(K));
  std::vector<double> d1, d2;  // per row and node
  std::vector<double> sk(static_cast<size_t>(K) * Pz), gg(Pz), dv(Pz);
  const double hl2pi = 0.5 * std::log(2 * M_PI);
  for (long gi = g0; gi < g1; ++gi) {
    const long r0 = st[static_cast<size_t>(gi)], r1 = st[static_cast<size_t>(gi + 1)];
    const long T = r1 - r0;
    eta.resize(static_cast<size_t>(T));
    for (long t = 0; t < T; ++t) {
      double e = cons ? b[static_cast<size_t>(kx)] : 0;
      for (int j = 0; j < kx; ++j) e += b[static_cast<size_t>(j)] * d.x[static_cast<size_t>(cols[static_cast<size_t>(j)])][static_cast<size_t>(r0 + t)];
      if (!d.off.empty()) e += d.off[static_cast<size_t>(r0 + t)];
      eta[static_cast<size_t>(t)] = e;
    }
    const double* y = d.y.data() + r0;
    // The mode of h(v) = sum_t l(eta_t + sig v) - v^2/2 (concave) by Newton
    // with step halving.
    auto hval = [&](double vv, double* h1, double* h2) {
      double s = 0, s1 = 0, s2 = 0;
      for (long t = 0; t < T; ++t) {
        const Row rw = rowlik(kind, y[t] != 0, eta[static_cast<size_t>(t)] + sig * vv);
        s += rw.l, s1 += rw.d1, s2 += rw.d2;
      }
      if (h1) *h1 = sig * s1 - vv;
      if (h2) *h2 = sig * sig * s2 - 1;
      return s - 0.5 * vv * vv;
    };
    double vm = 0, h1 = 0, h2 = -1;
    double hv = hval(vm, &h1, &h2);
    for (int iter = 0; iter < 100; ++iter) {
      double step = -h1 / h2;
      if (!std::isfinite(step)) break;
      double vn = vm + step, hn = 0;
      int half = 0;
      for (; half < 60; ++half, step /= 2, vn = vm + step) {
        hn = hval(vn, nullptr, nullptr);
        if (hn >= hv - 1e-12 * std::fabs(hv)) break;
      }
      if (half == 60) break;
      vm = vn;
      hv = hval(vm, &h1, &h2);
      if (std::fabs(step) < 1e-11 * (1 + std::fabs(vm))) break;
    }
    if (!(h2 < 0) || !std::isfinite(vm)) {
      acc.rc = ML_NOINIT;
      return;
    }
    const double tau = std::sqrt(-1 / h2);
    const double ltau = std::log(M_SQRT2 * tau);
    // a_k: the log of node k's term; the panel's log likelihood their
    // log-sum-exp; p_k the posterior weight of node k.
    const bool der = todo >= 1;
    if (der) {
      d1.resize(static_cast<size_t>(T * K));
      d2.resize(static_cast<size_t>(T * K));
    }
    double amax = -INFINITY;
    for (int k = 0; k < K; ++k) {
      const double vk = vm + M_SQRT2 * tau * R.x[static_cast<size_t>(k)];
      v[static_cast<size_t>(k)] = vk;
      double s = ltau + R.lw[static_cast<size_t>(k)] - 0.5 * vk * vk - hl2pi;
      for (long t = 0; t < T; ++t) {
        const Row rw = rowlik(kind, y[t] != 0, eta[static_cast<size_t>(t)] + sig * vk);
        s += rw.l;
        if (der) {
          d1[static_cast<size_t>(t * K + k)] = rw.d1;
          d2[static_cast<size_t>(t * K + k)] = rw.d2;
        }
      }
      a[static_cast<size_t>(k)] = s;
      amax = std::max(amax, s);
    }
    double se = 0;
    for (int k = 0; k < K; ++k) se += std::exp(a[static_cast<size_t>(k)] - amax);
    const double lli = amax + std::log(se);
    if (!std::isfinite(lli)) {
      acc.rc = ML_NOINIT;
      return;
    }
    const double wg = d.w.empty() ? 1 : d.w[static_cast<size_t>(r0)];
    acc.ll += wg * lli;
    if (!der) continue;
    for (int k = 0; k < K; ++k) pk[static_cast<size_t>(k)] = std::exp(a[static_cast<size_t>(k)] - lli);
    // s_k: the gradient of node k's term; g their p-weighted mean.
    std::fill(sk.begin(), sk.end(), 0);
    for (int k = 0; k < K; ++k) {
      double* s = sk.data() + static_cast<size_t>(k) * Pz;
      double sum1 = 0;
      for (long t = 0; t < T; ++t) {
        const double dd = d1[static_cast<size_t>(t * K + k)];
        sum1 += dd;
        for (int j = 0; j < kx; ++j) s[j] += dd * d.x[static_cast<size_t>(cols[static_cast<size_t>(j)])][static_cast<size_t>(r0 + t)];
      }
      if (cons) s[kx] = sum1;
      s[it] = sum1 * v[static_cast<size_t>(k)] * sig / 2;
    }
    std::fill(gg.begin(), gg.end(), 0);
    for (int k = 0; k < K; ++k)
      for (size_t j = 0; j < Pz; ++j) gg[j] += pk[static_cast<size_t>(k)] * sk[static_cast<size_t>(k) * Pz + j];
    for (size_t j = 0; j < Pz; ++j) acc.g[j] += wg * gg[j];
    if (scores)
      for (size_t j = 0; j < Pz; ++j) (*scores)[static_cast<size_t>(r0) * Pz + j] = wg * gg[j];
    if (todo < 2) continue;
    // H = sum_k p_k (H_k + s_k s_k') - g g', with H_k = sum_t l''_tk dd' plus
    // l'_tk times the second derivative of the index in ln sigma_u^2.
    std::vector<double>& H = acc.H;
    for (long t = 0; t < T; ++t) {
      double c = 0, cv = 0, cvv = 0, c1v = 0;
      for (int k = 0; k < K; ++k) {
        const double p = pk[static_cast<size_t>(k)], vk = v[static_cast<size_t>(k)];
        const double l2 = d2[static_cast<size_t>(t * K + k)];
        c += p * l2;
        cv += p * l2 * vk;
        cvv += p * l2 * vk * vk;
        c1v += p * d1[static_cast<size_t>(t * K + k)] * vk;
      }
      for (int j = 0; j < kx; ++j) dv[static_cast<size_t>(j)] = d.x[static_cast<size_t>(cols[static_cast<size_t>(j)])][static_cast<size_t>(r0 + t)];
      if (cons) dv[static_cast<size_t>(kx)] = 1;
      const int nb = it;  // index parameters
      for (int r = 0; r < nb; ++r) {
        const double cr = wg * c * dv[static_cast<size_t>(r)];
        for (int q = 0; q <= r; ++q) H[static_cast<size_t>(r) * Pz + static_cast<size_t>(q)] += cr * dv[static_cast<size_t>(q)];
        H[static_cast<size_t>(it) * Pz + static_cast<size_t>(r)] += wg * cv * sig / 2 * dv[static_cast<size_t>(r)];
      }
      H[static_cast<size_t>(it) * Pz + static_cast<size_t>(it)] += wg * (cvv * sig * sig / 4 + c1v * sig / 4);
    }
    for (int k = 0; k < K; ++k) {
      const double p = pk[static_cast<size_t>(k)];
      const double* s = sk.data() + static_cast<size_t>(k) * Pz;
      for (int r = 0; r < P; ++r)
        for (int q = 0; q <= r; ++q) H[static_cast<size_t>(r) * Pz + static_cast<size_t>(q)] += wg * p * s[r] * s[q];
    }
    for (int r = 0; r < P; ++r)
      for (int q = 0; q <= r; ++q) H[static_cast<size_t>(r) * Pz + static_cast<size_t>(q)] -= wg * gg[static_cast<size_t>(r)] * gg[static_cast<size_t>(q)];
  }
}

// Panels from which a second worker takes half of them.
constexpr long RQPAR = 32768;

}  // namespace

void rq_binary(MlModel& m, const MlData& d, const std::vector<long>& start, int kind, int points) {
  auto R = std::make_shared<Rule>();
  std::vector<double> w;
  (void)rq_hermite(points, R->x, w);
  R->K = points;
  R->lw.resize(w.size());
  for (size_t k = 0; k < w.size(); ++k) R->lw[k] = std::log(w[k]) + R->x[k] * R->x[k];
  const MlData* dp = &d;
  const std::vector<long>* sp = &start;
  const std::vector<int> cols = m.eqs[0].cols;
  const bool cons = m.eqs[0].cons;
  m.whole = [dp, sp, cols, cons, kind, R](const std::vector<double>& b, int todo, double* llp,
                                           std::vector<double>* g, std::vector<double>* nH,
                                           std::vector<double>* scores) {
    const MlData& dd = *dp;
    const std::vector<long>& st = *sp;
    const size_t P = b.size();
    if (scores) scores->assign(static_cast<size_t>(dd.n) * P, 0);
    const long G = static_cast<long>(st.size()) - 1;
    // Two workers over halves of the panels when there are many rows (the
    // split fixed by the data alone, so the sums are the same each run).
    Acc acc[2];
    long mid = G;
    if (dd.n >= RQPAR && G >= 2) {
      mid = G / 2;
      if (plat_onethread()) {
        panels(dd, st, cols, cons, kind, *R, b, todo, 0, mid, acc[0], scores);
        panels(dd, st, cols, cons, kind, *R, b, todo, mid, G, acc[1], scores);
      } else {
        std::thread th([&] { panels(dd, st, cols, cons, kind, *R, b, todo, mid, G, acc[1], scores); });
        panels(dd, st, cols, cons, kind, *R, b, todo, 0, mid, acc[0], scores);
        th.join();
      }
    } else {
      panels(dd, st, cols, cons, kind, *R, b, todo, 0, G, acc[0], scores);
    }
    const bool two = mid < G;
    for (int h = 0; h < (two ? 2 : 1); ++h)
      if (acc[h].rc) return acc[h].rc;
    *llp = acc[0].ll + (two ? acc[1].ll : 0);
    if (todo >= 1 && g) {
      g->assign(P, 0);
      for (size_t j = 0; j < P; ++j) (*g)[j] = acc[0].g[j] + (two ? acc[1].g[j] : 0);
    }
    if (todo >= 2 && nH) {
      nH->assign(P * P, 0);
      for (size_t r = 0; r < P; ++r)
        for (size_t q = 0; q <= r; ++q) {
          const double hv = -(acc[0].H[r * P + q] + (two ? acc[1].H[r * P + q] : 0));
          (*nH)[r * P + q] = (*nH)[q * P + r] = hv;
        }
    }
    return 0;
  };
}
