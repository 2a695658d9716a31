// The robust linear fits (see qregfit.h). Quantile regression solves the
// dual linear programme  max y'a  subject to  X'a = (1-tau) X'1, 0 <= a <= 1
// by Mehrotra's predictor-corrector primal-dual interior-point method (the
// coefficients are the multipliers of the equality constraints); once the
// duality gap is negligible, the p observations with the smallest residuals
// are taken as the basis and fitted exactly, which gives the optimal vertex
// the simplex method would reach. The M-estimation reweights least squares.
#include "stats/qregfit.h"

#include <algorithm>
#include <boost/math/distributions/normal.hpp>
#include <cmath>
#include <numeric>

#include "platform/platform.h"
#include "stats/mlmax.h"

namespace {

// M = X' diag(q) X (p x p, row-major; q null: unweighted).
void crossprod(const LinData& d, const double* q, std::vector<double>& M) {
  const size_t P = static_cast<size_t>(d.p), n = static_cast<size_t>(d.n);
  M.assign(P * P, 0);
  for (size_t j = 0; j < P; ++j)
    for (size_t k = 0; k <= j; ++k) {
      const double* xj = d.col(static_cast<int>(j));
      const double* xk = d.col(static_cast<int>(k));
      double s = 0;
      if (q)
        for (size_t i = 0; i < n; ++i) s += q[i] * xj[i] * xk[i];
      else
        for (size_t i = 0; i < n; ++i) s += xj[i] * xk[i];
      M[j * P + k] = M[k * P + j] = s;
    }
}

// out = X' v (q null) or X' (q .* v).
void xtv(const LinData& d, const double* q, const double* v, std::vector<double>& out) {
  const size_t n = static_cast<size_t>(d.n);
  out.assign(static_cast<size_t>(d.p), 0);
  for (int j = 0; j < d.p; ++j) {
    const double* xj = d.col(j);
    double s = 0;
    if (q)
      for (size_t i = 0; i < n; ++i) s += q[i] * v[i] * xj[i];
    else
      for (size_t i = 0; i < n; ++i) s += v[i] * xj[i];
    out[static_cast<size_t>(j)] = s;
  }
}

// out = y - X b.
void resid(const LinData& d, const std::vector<double>& b, std::vector<double>& out) {
  out = d.y;
  for (int j = 0; j < d.p; ++j) {
    const double* xj = d.col(j);
    const double bj = b[static_cast<size_t>(j)];
    for (size_t i = 0; i < out.size(); ++i) out[i] -= bj * xj[i];
  }
}

// Weighted least squares (q null: ordinary) into b; false when X'QX is singular.
bool wls(const LinData& d, const double* q, std::vector<double>& b) {
  std::vector<double> M, r;
  crossprod(d, q, M);
  if (!ml_invpd(M, d.p)) return false;
  xtv(d, q, d.y.data(), r);
  const size_t P = static_cast<size_t>(d.p);
  b.assign(P, 0);
  for (size_t j = 0; j < P; ++j)
    for (size_t k = 0; k < P; ++k) b[j] += M[j * P + k] * r[k];
  return true;
}

double check(double e, double tau) { return e >= 0 ? tau * e : (tau - 1) * e; }

double adev(const std::vector<double>& e, double tau) {
  double s = 0;
  for (double v : e) s += check(v, tau);
  return s;
}

// The q-th percentile of v by linear interpolation between order statistics.
double pctile(std::vector<double> v, double q) {
  std::sort(v.begin(), v.end());
  const double at = q * static_cast<double>(v.size() - 1);
  const size_t lo = static_cast<size_t>(std::floor(at));
  const size_t hi = std::min(lo + 1, v.size() - 1);
  return v[lo] + (at - static_cast<double>(lo)) * (v[hi] - v[lo]);
}

// The p rows with the smallest |e| that have linearly independent
// regressors, fitted exactly: b. False when no such set is found.
bool vertex(const LinData& d, const std::vector<double>& e, std::vector<double>& b) {
  const size_t P = static_cast<size_t>(d.p), n = static_cast<size_t>(d.n);
  std::vector<size_t> ord(n);
  std::iota(ord.begin(), ord.end(), 0);
  const size_t look = std::min(n, 20 * P + 20);
  std::partial_sort(ord.begin(), ord.begin() + static_cast<long>(look), ord.end(),
                    [&](size_t a, size_t c) { return std::fabs(e[a]) < std::fabs(e[c]); });
  // Rows reduced against the chosen ones (Gaussian elimination) decide
  // whether a candidate is independent of them.
  std::vector<std::vector<double>> red;  // reduced rows with their pivot column
  std::vector<size_t> piv;
  std::vector<size_t> rows;
  for (size_t c = 0; c < look && rows.size() < P; ++c) {
    std::vector<double> v(P + 1);
    for (size_t j = 0; j < P; ++j) v[j] = d.col(static_cast<int>(j))[ord[c]];
    v[P] = d.y[ord[c]];
    double scale = 0;
    for (size_t j = 0; j < P; ++j) scale = std::max(scale, std::fabs(v[j]));
    for (size_t k = 0; k < red.size(); ++k) {
      const double f = v[piv[k]] / red[k][piv[k]];
      if (f != 0)
        for (size_t j = 0; j <= P; ++j) v[j] -= f * red[k][j];
    }
    size_t pj = 0;
    double big = 0;
    for (size_t j = 0; j < P; ++j)
      if (std::fabs(v[j]) > big) big = std::fabs(v[j]), pj = j;
    if (!(big > 1e-9 * std::max(scale, 1e-300))) continue;
    red.push_back(v);
    piv.push_back(pj);
    rows.push_back(ord[c]);
  }
  if (rows.size() < P) return false;
  // Row k is zero in the pivot columns of the rows before it: back
  // substitution from the last row.
  b.assign(P, 0);
  for (size_t k = red.size(); k-- > 0;) {
    double s = red[k][P];
    for (size_t j = 0; j < P; ++j)
      if (j != piv[k]) s -= red[k][j] * b[j];
    b[piv[k]] = s / red[k][piv[k]];
  }
  return true;
}

// The largest step in (0, 1] keeping v + t dv inside (lo, hi) (hi
// infinite: no upper bound).
double maxstep(const std::vector<double>& v, const std::vector<double>& dv, double lo, double hi) {
  double t = 1;
  for (size_t i = 0; i < v.size(); ++i) {
    if (dv[i] < 0) t = std::min(t, (lo - v[i]) / dv[i]);
    else if (dv[i] > 0 && std::isfinite(hi)) t = std::min(t, (hi - v[i]) / dv[i]);
  }
  return t;
}

}  // namespace

int qreg_fit(const LinData& d, double tau, int maxiter, int wlsiter, QregResult& r) {
  const size_t n = static_cast<size_t>(d.n), P = static_cast<size_t>(d.p);
  r = QregResult{};
  std::vector<double> b, e, q(n);
  if (!wls(d, nullptr, b)) return QR_SINGULAR;
  for (int it = 1; it < wlsiter; ++it) {
    resid(d, b, e);
    double mad = 0;
    for (double v : e) mad += std::fabs(v);
    const double floor = 1e-6 * (mad / static_cast<double>(n) + 1e-300);
    for (size_t i = 0; i < n; ++i) q[i] = (e[i] >= 0 ? tau : 1 - tau) / std::max(std::fabs(e[i]), floor);
    if (!wls(d, q.data(), b)) return QR_SINGULAR;
  }
  resid(d, b, e);
  // The interior point: a strictly inside (0, 1), z, w > 0 with
  // y - Xb - w + z = 0 to start.
  double ea = 0;
  for (double v : e) ea += std::fabs(v);
  const double delta = std::max(1e-3 * ea / static_cast<double>(n), 1e-12);
  std::vector<double> a(n, 1 - tau), s(n, tau), z(n), w(n);
  for (size_t i = 0; i < n; ++i) {
    z[i] = std::max(-e[i], 0.0) + delta;
    w[i] = std::max(e[i], 0.0) + delta;
  }
  std::vector<double> rhs0;  // (1 - tau) X'1
  {
    std::vector<double> one(n, 1 - tau);
    xtv(d, nullptr, one.data(), rhs0);
  }
  std::vector<double> F(n), h(n), M, rp, t1, db(P), da(n), dz(n), dw(n), daa(n), dza(n), dwa(n), ds(n), xdb(n);
  int iter = 0;
  bool done = false;
  // Solves the Newton system for the complementarity targets m1 (a z) and
  // m2 (s w): db, da, dz, dw.
  auto newton = [&](const std::vector<double>& m1, const std::vector<double>& m2) {
    for (size_t i = 0; i < n; ++i) h[i] = F[i] + m1[i] / a[i] - m2[i] / s[i];
    xtv(d, q.data(), h.data(), t1);
    for (size_t j = 0; j < P; ++j) t1[j] -= rp[j];
    for (size_t j = 0; j < P; ++j) {
      double v = 0;
      for (size_t k = 0; k < P; ++k) v += M[j * P + k] * t1[k];
      db[j] = v;
    }
    std::fill(xdb.begin(), xdb.end(), 0);
    for (size_t j = 0; j < P; ++j) {
      const double* xj = d.col(static_cast<int>(j));
      for (size_t i = 0; i < n; ++i) xdb[i] += xj[i] * db[j];
    }
    for (size_t i = 0; i < n; ++i) {
      da[i] = q[i] * (h[i] - xdb[i]);
      dz[i] = (m1[i] - z[i] * da[i]) / a[i];
      dw[i] = (m2[i] + w[i] * da[i]) / s[i];
    }
  };
  std::vector<double> m1(n), m2(n);
  for (; iter < maxiter; ++iter) {
    if (stopflag) return QR_BREAK;
    resid(d, b, F);
    double gap = 0, obj = 0;
    for (size_t i = 0; i < n; ++i) {
      F[i] += z[i] - w[i];
      gap += a[i] * z[i] + s[i] * w[i];
      obj += d.y[i] * a[i];
    }
    xtv(d, nullptr, a.data(), rp);
    double rpn = 0;
    for (size_t j = 0; j < P; ++j) rp[j] = rhs0[j] - rp[j], rpn = std::max(rpn, std::fabs(rp[j]));
    if (gap < 1e-11 * (1 + std::fabs(obj))) {
      done = true;
      break;
    }
    const double mu = gap / (2 * static_cast<double>(n));
    for (size_t i = 0; i < n; ++i) q[i] = 1 / (z[i] / a[i] + w[i] / s[i]);
    crossprod(d, q.data(), M);
    if (!ml_invpd(M, d.p)) break;
    // Predictor.
    for (size_t i = 0; i < n; ++i) m1[i] = -a[i] * z[i], m2[i] = -s[i] * w[i];
    newton(m1, m2);
    for (size_t i = 0; i < n; ++i) ds[i] = -da[i];
    const double ap = std::min(maxstep(a, da, 0, 1), 1.0);
    const double ad = std::min(maxstep(z, dz, 0, INFINITY), maxstep(w, dw, 0, INFINITY));
    double ga = 0;
    for (size_t i = 0; i < n; ++i)
      ga += (a[i] + ap * da[i]) * (z[i] + ad * dz[i]) + (s[i] + ap * ds[i]) * (w[i] + ad * dw[i]);
    const double sigma = std::pow(ga / gap, 3);
    daa = da, dza = dz, dwa = dw;
    // Corrector, with the second-order terms of the predictor.
    for (size_t i = 0; i < n; ++i) {
      m1[i] = sigma * mu - a[i] * z[i] - daa[i] * dza[i];
      m2[i] = sigma * mu - s[i] * w[i] + daa[i] * dwa[i];
    }
    newton(m1, m2);
    const double sp = std::min(1.0, 0.99995 * maxstep(a, da, 0, 1));
    const double sd = std::min(1.0, 0.99995 * std::min(maxstep(z, dz, 0, INFINITY), maxstep(w, dw, 0, INFINITY)));
    for (size_t i = 0; i < n; ++i) {
      a[i] += sp * da[i];
      s[i] = 1 - a[i];
      z[i] += sd * dz[i];
      w[i] += sd * dw[i];
    }
    for (size_t j = 0; j < P; ++j) b[j] += sd * db[j];
  }
  r.iter = iter;
  resid(d, b, e);
  double best = adev(e, tau);
  std::vector<double> bv, ev;
  if (vertex(d, e, bv)) {
    resid(d, bv, ev);
    const double ov = adev(ev, tau);
    if (ov <= best * (1 + 1e-9) + 1e-300) {
      b = bv, e = ev, best = ov;
      r.vertex = true;
    }
  }
  r.b = b;
  r.sum_adev = best;
  {
    std::vector<double> ys = d.y;
    std::sort(ys.begin(), ys.end());
    const size_t k = static_cast<size_t>(std::max(1.0, std::ceil(tau * static_cast<double>(n)))) - 1;
    const double qy = ys[std::min(k, n - 1)];
    double sr = 0;
    for (double v : d.y) sr += check(v - qy, tau);
    r.sum_rdev = sr;
  }
  // The sparsity: an Epanechnikov kernel density of the residuals at zero,
  // bandwidth from the Hall-Sheather rule (alpha 0.05) mapped onto the
  // residual scale by min(sd(y), IQR(e)/1.34).
  const boost::math::normal N01;
  const double zq = boost::math::quantile(N01, tau);
  const double f0 = boost::math::pdf(N01, zq);
  const double hs = std::pow(static_cast<double>(n), -1.0 / 3) * std::pow(boost::math::quantile(N01, 0.975), 2.0 / 3) *
                    std::pow(1.5 * f0 * f0 / (2 * zq * zq + 1), 1.0 / 3);
  if (tau - hs <= 0 || tau + hs >= 1) return QR_BWIDTH;
  double ym = 0, yv = 0;
  for (double v : d.y) ym += v;
  ym /= static_cast<double>(n);
  for (double v : d.y) yv += (v - ym) * (v - ym);
  const double sdy = std::sqrt(yv / static_cast<double>(n));
  const double iqr = pctile(e, 0.75) - pctile(e, 0.25);
  const double bw = std::min(sdy, iqr / 1.34) *
                    (boost::math::quantile(N01, tau + hs) - boost::math::quantile(N01, tau - hs));
  double fh = 0;
  for (double v : e) {
    const double u = v / bw;
    if (std::fabs(u) <= 1) fh += 0.75 * (1 - u * u);
  }
  fh /= static_cast<double>(n) * bw;
  r.bwidth = bw;
  if (!(fh > 0)) return QR_BWIDTH;
  r.sparsity = 1 / fh;
  crossprod(d, nullptr, M);
  if (!ml_invpd(M, d.p)) return QR_SINGULAR;
  for (double& v : M) v *= r.sparsity * r.sparsity * tau * (1 - tau);
  r.V = M;
  return done ? QR_OK : QR_NOTCONV;
}

int huber_fit(const LinData& d, double tol, int maxiter, HuberResult& r) {
  const size_t n = static_cast<size_t>(d.n), P = static_cast<size_t>(d.p);
  r = HuberResult{};
  std::vector<double> b, e, old, wt(n), ab(n);
  if (!wls(d, nullptr, b)) return QR_SINGULAR;
  resid(d, b, e);
  double scale = 0;
  // One phase: reweighting by the weight function wf(u) until the
  // residuals settle; returns the iterations or -1 (singular), -2 (Break).
  auto phase = [&](auto wf) {
    for (int it = 1; it <= maxiter; ++it) {
      if (stopflag) return -2;
      for (size_t i = 0; i < n; ++i) ab[i] = std::fabs(e[i]);
      std::nth_element(ab.begin(), ab.begin() + static_cast<long>(n / 2), ab.end());
      double med = ab[n / 2];
      if (n % 2 == 0) med = 0.5 * (med + *std::max_element(ab.begin(), ab.begin() + static_cast<long>(n / 2)));
      scale = med / 0.6745;
      if (!(scale > 0)) return it;
      for (size_t i = 0; i < n; ++i) wt[i] = wf(e[i] / scale);
      if (!wls(d, wt.data(), b)) return -1;
      old = e;
      resid(d, b, e);
      double num = 0, den = 0;
      for (size_t i = 0; i < n; ++i) num += (old[i] - e[i]) * (old[i] - e[i]), den += old[i] * old[i];
      if (std::sqrt(num / std::max(1e-20, den)) <= tol) return it;
    }
    return maxiter + 1;
  };
  const double k = 1.345, c = 4.685;
  auto hw = [k](double u) { return std::fabs(u) <= k ? 1.0 : k / std::fabs(u); };
  auto bw = [c](double u) {
    const double t = u / c;
    return std::fabs(t) < 1 ? (1 - t * t) * (1 - t * t) : 0.0;
  };
  r.hiter = phase(hw);
  if (r.hiter == -1) return QR_SINGULAR;
  if (r.hiter == -2) return QR_BREAK;
  r.biter = phase(bw);
  if (r.biter == -1) return QR_SINGULAR;
  if (r.biter == -2) return QR_BREAK;
  r.b = b;
  r.scale = scale;
  r.wt = wt;
  // Variance: (kappa / mean psi')^2 * sum (psi(u) s)^2 / (n - p) * (X'X)^-1
  // at the final scale, with kappa = 1 + p var(psi') / (n mean(psi')^2).
  double S = 0, m1 = 0;
  std::vector<double> pp(n);
  for (size_t i = 0; i < n; ++i) {
    const double u = scale > 0 ? e[i] / scale : 0;
    S += (e[i] * bw(u)) * (e[i] * bw(u));
    const double t = (u / c) * (u / c);
    pp[i] = std::fabs(u) < c ? (1 - t) * (1 - 5 * t) : 0;
    m1 += pp[i];
  }
  const double nn = static_cast<double>(n);
  S /= nn - static_cast<double>(P);
  const double mn = m1 / nn;
  double vp = 0;
  for (double v : pp) vp += (v - mn) * (v - mn);
  vp /= nn - 1;
  const double kappa = 1 + static_cast<double>(P) * vp / (nn * mn * mn);
  std::vector<double> M;
  crossprod(d, nullptr, M);
  if (!ml_invpd(M, d.p)) return QR_SINGULAR;
  const double f = S * (kappa / mn) * (kappa / mn);
  for (double& v : M) v *= f;
  r.V = M;
  return r.hiter > maxiter || r.biter > maxiter ? QR_NOTCONV : QR_OK;
}
