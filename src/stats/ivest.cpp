// The instrumental-variable estimators over one cross-product matrix: the
// data are centred once, their cross products taken by BLAS, and every
// estimator (k-class 2SLS and LIML, two-step GMM) and test works from the
// uncentred cross products with the constant restored, so that the data are
// read again only for the residuals and the sandwich scores.
#include "stats/ivest.h"

#include <lapacke.h>

#include <algorithm>
#include <cmath>

#include "data/value.h"
#include "expr/expr.h"
#include "output/rc.h"
#include "stats/lsq.h"
#include "stats/mlmax.h"

namespace {

using Vec = std::vector<double>;

// A dense matrix (row-major) with its size.
struct Mat {
  int r = 0, c = 0;
  Vec v;
  Mat() = default;
  Mat(int rows, int cols) : r(rows), c(cols), v(static_cast<size_t>(rows) * static_cast<size_t>(cols), 0) {}
  double& operator()(int i, int j) { return v[static_cast<size_t>(i) * static_cast<size_t>(c) + static_cast<size_t>(j)]; }
  double operator()(int i, int j) const { return v[static_cast<size_t>(i) * static_cast<size_t>(c) + static_cast<size_t>(j)]; }
};

Mat mul(const Mat& a, const Mat& b, bool ta = false) {
  const int r = ta ? a.c : a.r, inner = ta ? a.r : a.c;
  Mat o(r, b.c);
  for (int i = 0; i < r; ++i)
    for (int k = 0; k < inner; ++k) {
      const double x = ta ? a(k, i) : a(i, k);
      if (x == 0) continue;
      for (int j = 0; j < b.c; ++j) o(i, j) += x * b(k, j);
    }
  return o;
}

bool inverse(Mat& a) { return lsq_invpd(a.v, a.r); }

// Z' diag(w) Z (q x q, row-major) of the n x q column-major Z; Z'Z when w is
// null.
void wgram(const double* Z, long n, int q, const double* w, Vec& G) {
  if (!w) return lsq_gram(Z, n, q, G);
  Vec Zw(Z, Z + static_cast<size_t>(n) * static_cast<size_t>(q));
  for (int j = 0; j < q; ++j) {
    double* z = Zw.data() + static_cast<size_t>(j) * static_cast<size_t>(n);
    for (long i = 0; i < n; ++i) z[i] *= w[i];
  }
  lsq_cross(Zw.data(), q, Z, q, n, G);
  for (int a = 0; a < q; ++a)
    for (int c = a + 1; c < q; ++c) {
      const double v = 0.5 * (G[static_cast<size_t>(a * q + c)] + G[static_cast<size_t>(c * q + a)]);
      G[static_cast<size_t>(a * q + c)] = G[static_cast<size_t>(c * q + a)] = v;
    }
}

// A' diag(w) b (p x 1) of the column-major A (n x p) and the column b.
void wcross(const double* A, int p, const double* b, long n, const double* w, Vec& C) {
  if (!w) return lsq_cross(A, p, b, 1, n, C);
  Vec bw(b, b + n);
  for (long i = 0; i < n; ++i) bw[static_cast<size_t>(i)] *= w[i];
  lsq_cross(A, p, bw.data(), 1, n, C);
}

}  // namespace

int iv_fit(const IvData& d, int method, bool robust, bool small, IvFit& f) {
  f = IvFit{};
  const long n = d.n;
  const int m = d.m, k1 = d.k1, l = d.l;
  const int p0 = 1 + m + k1 + l, CONST = p0;
  const double* wt = d.w.empty() ? nullptr : d.w.data();
  double N = static_cast<double>(n);
  if (wt && d.freq) {  // scaled weights sum to n already
    N = 0;
    for (long i = 0; i < n; ++i) N += wt[i];
  }
  f.N = N;
  // The multipliers of the rows' scores in the sandwich's meat: e_i w_i,
  // or e_i sqrt(f_i) for frequency weights without clusters (a row of f
  // copies adds f e_i^2 z_i z_i').
  auto scores = [&](const Vec& e) {
    if (!wt) return e;
    Vec s(e);
    const bool root = d.freq && d.cid.empty();
    for (long i = 0; i < n; ++i) s[static_cast<size_t>(i)] *= root ? std::sqrt(wt[i]) : wt[i];
    return s;
  };
  // The centred data [y, Y, X1, Z2] and their (weighted) means.
  Vec D(static_cast<size_t>(n) * static_cast<size_t>(p0)), mu(static_cast<size_t>(p0));
  auto col = [&](int j) { return D.data() + static_cast<size_t>(j) * static_cast<size_t>(n); };
  auto load = [&](int j, const double* src) {
    double s = 0;
    if (wt)
      for (long i = 0; i < n; ++i) s += wt[i] * src[i];
    else
      for (long i = 0; i < n; ++i) s += src[i];
    const double mj = s / N;
    mu[static_cast<size_t>(j)] = mj;
    double* c = col(j);
    for (long i = 0; i < n; ++i) c[i] = src[i] - mj;
  };
  load(0, d.y.data());
  for (int j = 0; j < m; ++j) load(1 + j, d.Y.data() + static_cast<size_t>(j) * static_cast<size_t>(n));
  for (int j = 0; j < k1; ++j) load(1 + m + j, d.X1.data() + static_cast<size_t>(j) * static_cast<size_t>(n));
  for (int j = 0; j < l; ++j) load(1 + m + k1 + j, d.Z2.data() + static_cast<size_t>(j) * static_cast<size_t>(n));
  Vec Sc;
  wgram(D.data(), n, p0, wt, Sc);
  auto U = [&](int a, int b) {
    if (a == CONST && b == CONST) return N;
    if (a == CONST) return N * mu[static_cast<size_t>(b)];
    if (b == CONST) return N * mu[static_cast<size_t>(a)];
    return Sc[static_cast<size_t>(a * p0 + b)] + N * mu[static_cast<size_t>(a)] * mu[static_cast<size_t>(b)];
  };
  // Collinearity: the exogenous regressors, then the instruments, each
  // against those before; then the endogenous ones against the exogenous.
  auto sweepkeep = [&](const std::vector<int>& idx) {
    const int q = static_cast<int>(idx.size());
    Vec g(static_cast<size_t>(q * q));
    for (int a = 0; a < q; ++a)
      for (int b = 0; b < q; ++b) g[static_cast<size_t>(a * q + b)] = Sc[static_cast<size_t>(idx[static_cast<size_t>(a)] * p0 + idx[static_cast<size_t>(b)])];
    std::vector<unsigned char> kept;
    (void)lsq_sweepinv(g, q, kept);
    return kept;
  };
  std::vector<int> xz;
  for (int j = 0; j < k1; ++j) xz.push_back(1 + m + j);
  for (int j = 0; j < l; ++j) xz.push_back(1 + m + k1 + j);
  std::vector<unsigned char> kz = sweepkeep(xz);
  f.dropx.assign(static_cast<size_t>(k1), 0);
  f.dropz.assign(static_cast<size_t>(l), 0);
  f.dropy.assign(static_cast<size_t>(m), 0);
  std::vector<int> x1, z2, yy;
  for (int j = 0; j < k1; ++j) {
    if (kz[static_cast<size_t>(j)]) x1.push_back(1 + m + j);
    else f.dropx[static_cast<size_t>(j)] = 1;
  }
  for (int j = 0; j < l; ++j) {
    if (kz[static_cast<size_t>(k1 + j)]) z2.push_back(1 + m + k1 + j);
    else f.dropz[static_cast<size_t>(j)] = 1;
  }
  {
    std::vector<int> idx(x1);
    for (int j = 0; j < m; ++j) idx.push_back(1 + j);
    std::vector<unsigned char> ky = sweepkeep(idx);
    for (int j = 0; j < m; ++j) {
      if (ky[x1.size() + static_cast<size_t>(j)]) yy.push_back(1 + j);
      else f.dropy[static_cast<size_t>(j)] = 1;
    }
  }
  const int mk = static_cast<int>(yy.size()), lk = static_cast<int>(z2.size());
  if (lk < mk) {
    f.msg = "equation not identified; there must be at least as many excluded instruments as endogenous regressors";
    return RC_NOTIDENTIFIED;
  }
  std::vector<int> xi(yy), zi(x1), one(x1);
  xi.insert(xi.end(), x1.begin(), x1.end());
  xi.push_back(CONST);
  zi.insert(zi.end(), z2.begin(), z2.end());
  zi.push_back(CONST);
  one.push_back(CONST);
  const int K = static_cast<int>(xi.size()), L = static_cast<int>(zi.size());
  f.K = K;
  f.L = L;
  if (N - K <= 0 || N - L <= 0) {
    f.msg = "insufficient observations";
    return RC_FEWOBS;
  }
  auto block = [&](const std::vector<int>& a, const std::vector<int>& b) {
    Mat o(static_cast<int>(a.size()), static_cast<int>(b.size()));
    for (int i = 0; i < o.r; ++i)
      for (int j = 0; j < o.c; ++j) o(i, j) = U(a[static_cast<size_t>(i)], b[static_cast<size_t>(j)]);
    return o;
  };
  const std::vector<int> yi{0};
  Mat Szz = block(zi, zi), Szx = block(zi, xi), Szy = block(zi, yi), Sxx = block(xi, xi), Sxy = block(xi, yi);
  const double syy = U(0, 0);
  Mat A = Szz;
  if (!inverse(A)) {
    f.msg = "the instruments are collinear";
    return RC_NOTPOSDEF;
  }
  Mat Pi = mul(A, Szx);                 // L x K: the first-stage coefficients of every regressor
  Mat XPX = mul(Szx, Pi, true);         // K x K
  Mat XPy = mul(Pi, Szy, true);         // K x 1
  // LIML's kappa: the smallest root of |W'M1 W - kappa W'Mz W| = 0, W = [y, Y].
  double kappa = 1;
  if (method == IV_LIML) {
    std::vector<int> wi{0};
    wi.insert(wi.end(), yy.begin(), yy.end());
    const int w = static_cast<int>(wi.size());
    Mat Sww = block(wi, wi), Swz = block(wi, zi), Sw1 = block(wi, one), S11 = block(one, one);
    if (!inverse(S11)) {
      f.msg = "the exogenous regressors are collinear";
      return RC_NOTPOSDEF;
    }
    Mat Mz = mul(Swz, mul(A, block(zi, wi)));
    Mat M1 = mul(Sw1, mul(S11, block(one, wi)));
    Mat a(w, w), b(w, w);
    for (int i = 0; i < w; ++i)
      for (int j = 0; j < w; ++j) a(i, j) = Sww(i, j) - M1(i, j), b(i, j) = Sww(i, j) - Mz(i, j);
    Vec ev(static_cast<size_t>(w));
    if (LAPACKE_dsygv(LAPACK_ROW_MAJOR, 1, 'N', 'L', w, a.v.data(), w, b.v.data(), w, ev.data()) != 0) {
      f.msg = "the LIML eigenvalue problem has no solution";
      return RC_NOTPOSDEF;
    }
    kappa = ev[0];
  }
  f.kappa = kappa;
  // The k-class fit (2SLS: kappa 1; also GMM's first step).
  Mat H(K, K), h(K, 1);
  for (int i = 0; i < K; ++i) {
    for (int j = 0; j < K; ++j) H(i, j) = (1 - kappa) * Sxx(i, j) + kappa * XPX(i, j);
    h(i, 0) = (1 - kappa) * Sxy(i, 0) + kappa * XPy(i, 0);
  }
  Mat Hi = H;
  if (!inverse(Hi)) {
    f.msg = "the regressors are collinear";
    return RC_NOTPOSDEF;
  }
  Mat b = mul(Hi, h);
  // Residuals of coefficients bb over the data.
  auto residuals = [&](const Mat& bb, Vec& e) {
    double c0 = mu[0] - bb(K - 1, 0);
    for (int a = 0; a < K - 1; ++a) c0 -= mu[static_cast<size_t>(xi[static_cast<size_t>(a)])] * bb(a, 0);
    e.assign(col(0), col(0) + n);
    for (long i = 0; i < n; ++i) e[static_cast<size_t>(i)] += c0;
    for (int a = 0; a < K - 1; ++a) {
      const double* x = col(xi[static_cast<size_t>(a)]);
      const double ba = bb(a, 0);
      for (long i = 0; i < n; ++i) e[static_cast<size_t>(i)] -= ba * x[i];
    }
    double s = 0;
    if (wt)
      for (long i = 0; i < n; ++i) s += wt[i] * e[static_cast<size_t>(i)] * e[static_cast<size_t>(i)];
    else
      for (double v : e) s += v * v;
    return s;
  };
  // The uncentred columns of index list idx as an n x q matrix.
  auto explicitcols = [&](const std::vector<int>& idx) {
    const int q = static_cast<int>(idx.size());
    Vec Z(static_cast<size_t>(n) * static_cast<size_t>(q));
    for (int a = 0; a < q; ++a) {
      double* z = Z.data() + static_cast<size_t>(a) * static_cast<size_t>(n);
      const int j = idx[static_cast<size_t>(a)];
      if (j == CONST) std::fill(z, z + n, 1.0);
      else {
        const double* c = col(j);
        const double mj = mu[static_cast<size_t>(j)];
        for (long i = 0; i < n; ++i) z[i] = c[i] + mj;
      }
    }
    return Z;
  };
  const int* cid = d.cid.empty() ? nullptr : d.cid.data();
  Vec e;
  f.rss = residuals(b, e);
  Mat V(K, K);
  if (method == IV_GMM) {
    Vec Z = explicitcols(zi), S;
    lsq_meat(Z.data(), n, L, scores(e).data(), cid, d.C, S);
    Mat W(L, L);
    W.v = S;
    if (!inverse(W)) {
      f.msg = "the GMM weight matrix is singular";
      return RC_NOTPOSDEF;
    }
    Mat WZx = mul(W, Szx);
    Mat Q = mul(Szx, WZx, true);
    Mat Qi = Q;
    if (!inverse(Qi)) {
      f.msg = "the regressors are collinear";
      return RC_NOTPOSDEF;
    }
    b = mul(Qi, mul(WZx, Szy, true));
    f.rss = residuals(b, e);
    V = Qi;
    // The factors that robust (or clusters) and small give the 2SLS
    // sandwich: N/(N-1), or C/(C-1) with clusters; small, times (N-1)/(N-K).
    {
      double fac = cid ? (d.C > 1 ? static_cast<double>(d.C) / (d.C - 1) : misval) : N / (N - 1);
      if (small && fac < misval) fac *= (N - 1) / (N - K);
      for (double& v : V.v) v = fac < misval ? v * fac : misval;
    }
    if (L > K) {
      Mat g(L, 1);
      Mat Zxb = mul(Szx, b);
      for (int i = 0; i < L; ++i) g(i, 0) = Szy(i, 0) - Zxb(i, 0);
      Mat Wg = mul(W, g);
      double J = 0;
      for (int i = 0; i < L; ++i) J += g(i, 0) * Wg(i, 0);
      f.overid = J;
    }
  } else {
    const double s2 = f.rss / (small ? N - K : N);
    if (!robust && !cid) {
      for (size_t i = 0; i < V.v.size(); ++i) V.v[i] = s2 * Hi.v[i];
    } else {
      // Scores: ((1 - kappa) x_i + kappa xhat_i) e_i, xhat_i = z_i' Pi.
      Vec X = explicitcols(xi), Z = explicitcols(zi);
      for (int a = 0; a < K; ++a) {
        double* x = X.data() + static_cast<size_t>(a) * static_cast<size_t>(n);
        for (long i = 0; i < n; ++i) x[i] *= 1 - kappa;
        for (int c = 0; c < L; ++c) {
          const double w = kappa * Pi(c, a);
          if (w == 0) continue;
          const double* z = Z.data() + static_cast<size_t>(c) * static_cast<size_t>(n);
          for (long i = 0; i < n; ++i) x[i] += w * z[i];
        }
      }
      Vec M;
      lsq_meat(X.data(), n, K, scores(e).data(), cid, d.C, M);
      double fac = cid ? (d.C > 1 ? static_cast<double>(d.C) / (d.C - 1) : misval) : N / (N - 1);
      if (small) fac *= (N - 1) / (N - K);
      lsq_sandwich(Hi.v, M, K, fac, V.v);
    }
    if (L > K) {
      Mat g(L, 1);
      Mat Zxb = mul(Szx, b);
      for (int i = 0; i < L; ++i) g(i, 0) = Szy(i, 0) - Zxb(i, 0);
      Mat Ag = mul(A, g);
      double q = 0;
      for (int i = 0; i < L; ++i) q += g(i, 0) * Ag(i, 0);
      f.overid = q / (f.rss / N);
    }
  }
  if (f.overid >= 0) {
    f.df_overid = L - K;
    f.p_overid = ml_chi2tail(L - K, f.overid);
  }
  // Sums of squares and the Wald test of the slopes.
  f.tss = Sc[0];
  f.sigma = std::sqrt(f.rss / (small ? N - K : N));
  f.df_m = K - 1;
  const double w = K > 1 ? lsq_wald(b.v, V.v, K, K - 1) : misval;
  if (small) {
    f.df_r = cid ? d.C - 1 : N - K;
    f.stat = w < misval ? w / (K - 1) : misval;
    f.pstat = f.stat < misval ? fn_Ftail(K - 1, f.df_r, f.stat) : misval;
  } else {
    f.df_r = misval;
    f.stat = w;
    f.pstat = w < misval ? ml_chi2tail(K - 1, w) : misval;
  }
  // First stages: partial F of the excluded instruments for each
  // endogenous regressor, and its coefficients.
  Mat S11 = block(one, one);
  if (!inverse(S11)) {
    f.msg = "the exogenous regressors are collinear";
    return RC_NOTPOSDEF;
  }
  Mat S1Y = block(one, yy), SzY = block(zi, yy);
  Mat PiY = mul(A, SzY), Pi1 = mul(S11, S1Y);
  Mat SYY = block(yy, yy);
  Mat Yz = mul(SzY, PiY, true), Y1 = mul(S1Y, Pi1, true);
  f.df_first1 = lk;
  f.df_first2 = N - L;
  for (int j = 0; j < mk; ++j) {
    const double ru = SYY(j, j) - Yz(j, j), rr = SYY(j, j) - Y1(j, j);
    f.Ffirst.push_back(ru > 0 && lk > 0 ? ((rr - ru) / lk) / (ru / (N - L)) : misval);
    Vec bj(static_cast<size_t>(L)), Vj(static_cast<size_t>(L * L));
    for (int a = 0; a < L; ++a) {
      bj[static_cast<size_t>(a)] = PiY(a, j);
      for (int c = 0; c < L; ++c) Vj[static_cast<size_t>(a * L + c)] = ru / (N - L) * A(a, c);
    }
    f.fb.push_back(bj);
    f.fV.push_back(Vj);
  }
  // Durbin's test: the first-stage residuals added to the OLS regression.
  if (mk > 0) {
    Mat SxY = block(xi, yy), SyY = block(yi, yy);
    Mat VV(mk, mk), XV = SxY, yV = SyY;
    Mat ZxA = mul(Szx, PiY, true);   // X'Z A Z'Y  (K x mk)
    Mat zyA = mul(Szy, PiY, true);   // y'Z A Z'Y  (1 x mk)
    for (int i = 0; i < mk; ++i)
      for (int j = 0; j < mk; ++j) VV(i, j) = SYY(i, j) - Yz(i, j);
    for (int i = 0; i < K; ++i)
      for (int j = 0; j < mk; ++j) XV(i, j) = SxY(i, j) - ZxA(i, j);
    for (int j = 0; j < mk; ++j) yV(0, j) = SyY(0, j) - zyA(0, j);
    const int q = K + mk;
    Mat G(q, q), r(q, 1);
    for (int i = 0; i < K; ++i) {
      for (int j = 0; j < K; ++j) G(i, j) = Sxx(i, j);
      for (int j = 0; j < mk; ++j) G(i, K + j) = G(K + j, i) = XV(i, j);
      r(i, 0) = Sxy(i, 0);
    }
    for (int i = 0; i < mk; ++i) {
      for (int j = 0; j < mk; ++j) G(K + i, K + j) = VV(i, j);
      r(K + i, 0) = yV(0, i);
    }
    Mat Sxxi = Sxx;
    Mat Gi = G;
    if (inverse(Sxxi) && inverse(Gi)) {
      const Mat br = mul(Sxxi, Sxy), bu = mul(Gi, r);
      double rr = syy, ru = syy;
      for (int i = 0; i < K; ++i) rr -= Sxy(i, 0) * br(i, 0);
      for (int i = 0; i < q; ++i) ru -= r(i, 0) * bu(i, 0);
      f.endog = rr > 0 ? N * (rr - ru) / rr : misval;
      if (f.endog < misval && f.endog < 0) f.endog = 0;
      f.p_endog = f.endog < misval ? ml_chi2tail(mk, f.endog) : misval;
    } else {
      f.endog = f.p_endog = misval;
    }
  }
  // With robust or clusters, the first-stage F and the endogeneity test use
  // the sandwich of those regressions as regress does (times N/(N-q), or
  // (N-1)/(N-q) C/(C-1) with clusters): the partial F is the Wald statistic
  // of the excluded instruments over their number, the endogeneity test the
  // Wald chi2 of the first-stage residuals added to the regression of y.
  if ((robust || cid) && mk > 0) {
    auto factor = [&](int q) {
      if (N - q <= 0) return misval;
      if (!cid) return N / (N - q);
      return d.C > 1 ? (N - 1) / (N - q) * d.C / (d.C - 1) : misval;
    };
    // The Wald statistic of the coefficients at positions at of b (q) with V.
    auto wald = [](const Vec& bb, const Vec& VV, int q, const std::vector<int>& at) {
      const int r = static_cast<int>(at.size());
      Vec bs(static_cast<size_t>(r)), Vs(static_cast<size_t>(r * r));
      for (int a = 0; a < r; ++a) {
        bs[static_cast<size_t>(a)] = bb[static_cast<size_t>(at[static_cast<size_t>(a)])];
        for (int c = 0; c < r; ++c)
          Vs[static_cast<size_t>(a * r + c)] = VV[static_cast<size_t>(at[static_cast<size_t>(a)] * q + at[static_cast<size_t>(c)])];
      }
      return lsq_wald(bs, Vs, r, r);
    };
    Vec Z = explicitcols(zi), Xa = explicitcols(xi);
    std::vector<int> excl;
    for (int a = 0; a < lk; ++a) excl.push_back(static_cast<int>(x1.size()) + a);
    const double ff = factor(L);
    f.df_first2 = cid ? d.C - 1 : N - L;
    for (int j = 0; j < mk; ++j) {
      // first-stage residuals u_j = Y_j - Z PiY_j
      Vec u(static_cast<size_t>(n));
      const double* yc = col(yy[static_cast<size_t>(j)]);
      const double mj = mu[static_cast<size_t>(yy[static_cast<size_t>(j)])];
      for (long i = 0; i < n; ++i) u[static_cast<size_t>(i)] = yc[i] + mj;
      for (int a = 0; a < L; ++a) {
        const double pa = PiY(a, j);
        const double* z = Z.data() + static_cast<size_t>(a) * static_cast<size_t>(n);
        for (long i = 0; i < n; ++i) u[static_cast<size_t>(i)] -= pa * z[i];
      }
      Vec M, Vj;
      lsq_meat(Z.data(), n, L, scores(u).data(), cid, d.C, M);
      lsq_sandwich(A.v, M, L, ff, Vj);
      const double wj = ff < misval ? wald(f.fb[static_cast<size_t>(j)], Vj, L, excl) : misval;
      f.Ffirst[static_cast<size_t>(j)] = wj < misval ? wj / lk : misval;
      f.fV[static_cast<size_t>(j)] = Vj;
      Xa.insert(Xa.end(), u.begin(), u.end());
    }
    // y on [X, first-stage residuals]
    const int q = K + mk;
    Vec Ga, gy;
    wgram(Xa.data(), n, q, wt, Ga);
    Vec yv(static_cast<size_t>(n));
    for (long i = 0; i < n; ++i) yv[static_cast<size_t>(i)] = col(0)[i] + mu[0];
    wcross(Xa.data(), q, yv.data(), n, wt, gy);
    if (lsq_invpd(Ga, q)) {
      Vec ba(static_cast<size_t>(q), 0);
      for (int a = 0; a < q; ++a)
        for (int c = 0; c < q; ++c) ba[static_cast<size_t>(a)] += Ga[static_cast<size_t>(a * q + c)] * gy[static_cast<size_t>(c)];
      Vec ea(yv);
      for (int a = 0; a < q; ++a) {
        const double* x = Xa.data() + static_cast<size_t>(a) * static_cast<size_t>(n);
        for (long i = 0; i < n; ++i) ea[static_cast<size_t>(i)] -= ba[static_cast<size_t>(a)] * x[i];
      }
      Vec M, Va;
      lsq_meat(Xa.data(), n, q, scores(ea).data(), cid, d.C, M);
      const double fa = factor(q);
      lsq_sandwich(Ga, M, q, fa, Va);
      std::vector<int> res;
      for (int a = 0; a < mk; ++a) res.push_back(K + a);
      f.endog = fa < misval ? wald(ba, Va, q, res) : misval;
      f.p_endog = f.endog < misval ? ml_chi2tail(mk, f.endog) : misval;
    } else {
      f.endog = f.p_endog = misval;
    }
    f.robusttests = true;
  }
  // The posted order: endogenous, exogenous, constant (left-out ones zero).
  std::vector<int> pos;
  for (int j = 0; j < m; ++j)
    if (!f.dropy[static_cast<size_t>(j)]) pos.push_back(j);
  for (int j = 0; j < k1; ++j)
    if (!f.dropx[static_cast<size_t>(j)]) pos.push_back(m + j);
  pos.push_back(m + k1);
  const int p = m + k1 + 1;
  f.b.assign(static_cast<size_t>(p), 0);
  f.V.assign(static_cast<size_t>(p * p), 0);
  for (int a = 0; a < K; ++a) {
    f.b[static_cast<size_t>(pos[static_cast<size_t>(a)])] = b(a, 0);
    for (int c = 0; c < K; ++c) f.V[static_cast<size_t>(pos[static_cast<size_t>(a)] * p + pos[static_cast<size_t>(c)])] = V(a, c);
  }
  return 0;
}
