// The linear panel estimators over the rows of a PanelData: panel means, the
// within transformation, the pooled and between regressions, and the
// random-effects GLS regression on quasi-demeaned data. Cross products go
// through lsq (BLAS); collinear regressors are left out by the sweep.
#include "stats/panelfit.h"

#include <algorithm>
#include <cmath>

#include "data/value.h"
#include "expr/expr.h"
#include "output/rc.h"
#include "stats/lsq.h"
#include "stats/mlmax.h"

namespace {

using Vec = std::vector<double>;
using Flags = std::vector<unsigned char>;

size_t at(long i, int j, long n) { return static_cast<size_t>(j) * static_cast<size_t>(n) + static_cast<size_t>(i); }

// A regression on centred columns: slopes b (k, zero for columns left out),
// the constant, the generalised inverse of the centred cross products, the
// residuals and their sum of squares. The columns whose flag in keep is 0 stay
// out; keep receives the columns the sweep kept.
struct Ols {
  Vec b, inv, e;
  Vec gram, xy;  // the cross products the fit came from (k x k, k)
  double cons = 0, rss = 0;
  int rank = 0;
};

// Regresses y on the columns of X (n x k, column-major) with a constant
// (centring about the means when cons, otherwise the data are taken as they
// are: deviations already), weighted by wt when it is not null.
void ols(const double* X, long n, int k, const double* y, bool cons, Flags& keep, Ols& r, const double* wt = nullptr) {
  Vec xm(static_cast<size_t>(k), 0);
  double ym = 0;
  if (cons && n > 0) {
    double W = 0;
    for (long i = 0; i < n; ++i) W += wt ? wt[i] : 1;
    for (long i = 0; i < n; ++i) ym += wt ? wt[i] * y[i] : y[i];
    ym /= W;
    for (int j = 0; j < k; ++j) {
      double s = 0;
      for (long i = 0; i < n; ++i) s += wt ? wt[i] * X[at(i, j, n)] : X[at(i, j, n)];
      xm[static_cast<size_t>(j)] = s / W;
    }
  }
  // Without a constant the data are used in place (no copy of n x k).
  Vec D, dy(y, y + n);
  if (cons) {
    D.resize(static_cast<size_t>(n) * static_cast<size_t>(k));
    for (int j = 0; j < k; ++j)
      for (long i = 0; i < n; ++i) D[at(i, j, n)] = X[at(i, j, n)] - xm[static_cast<size_t>(j)];
    for (long i = 0; i < n; ++i) dy[static_cast<size_t>(i)] = y[i] - ym;
  }
  const double* Dp = cons ? D.data() : X;
  Vec G, xy;
  if (wt) {
    Vec Dw(Dp, Dp + static_cast<size_t>(n) * static_cast<size_t>(k));
    for (int j = 0; j < k; ++j)
      for (long i = 0; i < n; ++i) Dw[at(i, j, n)] *= wt[i];
    lsq_cross(Dw.data(), k, Dp, k, n, G);
    for (int a = 0; a < k; ++a)
      for (int c = a + 1; c < k; ++c)
        G[static_cast<size_t>(a * k + c)] = G[static_cast<size_t>(c * k + a)] =
            0.5 * (G[static_cast<size_t>(a * k + c)] + G[static_cast<size_t>(c * k + a)]);
    lsq_cross(Dw.data(), k, dy.data(), 1, n, xy);
  } else {
    lsq_gram(Dp, n, k, G);
    lsq_cross(Dp, k, dy.data(), 1, n, xy);
  }
  r.gram = G;
  r.xy = xy;
  r.rank = lsq_sweepinv(G, k, keep);
  r.inv = G;
  r.b.assign(static_cast<size_t>(k), 0);
  for (int a = 0; a < k; ++a) {
    double s = 0;
    for (int c = 0; c < k; ++c) s += G[static_cast<size_t>(a * k + c)] * xy[static_cast<size_t>(c)];
    r.b[static_cast<size_t>(a)] = keep[static_cast<size_t>(a)] ? s : 0;
  }
  r.e = dy;
  for (int j = 0; j < k; ++j) {
    const double bj = r.b[static_cast<size_t>(j)];
    if (bj == 0) continue;
    const double* dj = Dp + at(0, j, n);
    for (long i = 0; i < n; ++i) r.e[static_cast<size_t>(i)] -= bj * dj[i];
  }
  r.rss = 0;
  if (wt)
    for (long i = 0; i < n; ++i) r.rss += wt[i] * r.e[static_cast<size_t>(i)] * r.e[static_cast<size_t>(i)];
  else
    for (double v : r.e) r.rss += v * v;
  r.cons = ym;
  for (int j = 0; j < k; ++j) r.cons -= xm[static_cast<size_t>(j)] * r.b[static_cast<size_t>(j)];
}

// The linear index x_i'b (slopes only) of each row.
Vec index(const double* X, long n, int k, const Vec& b) {
  Vec xb(static_cast<size_t>(n), 0);
  for (int j = 0; j < k; ++j) {
    const double bj = b[static_cast<size_t>(j)];
    if (bj == 0) continue;
    const double* x = X + at(0, j, n);
    for (long i = 0; i < n; ++i) xb[static_cast<size_t>(i)] += bj * x[i];
  }
  return xb;
}

double median(Vec v) {
  if (v.empty()) return misval;
  std::sort(v.begin(), v.end());
  const size_t m = v.size() / 2;
  return v.size() % 2 ? v[m] : 0.5 * (v[m - 1] + v[m]);
}

// The posted coefficients and variance (k + 1) from those of the kept
// columns (K slopes then the constant, q = K + 1).
void place(const std::vector<int>& kept, int k, const Vec& bq, const Vec& Vq, PanelFit& f) {
  const int q = static_cast<int>(kept.size()) + 1;
  const int p = k + 1;
  std::vector<int> pos(kept);
  pos.push_back(k);
  f.b.assign(static_cast<size_t>(p), 0);
  f.V.assign(static_cast<size_t>(p * p), 0);
  for (int a = 0; a < q; ++a) {
    f.b[static_cast<size_t>(pos[static_cast<size_t>(a)])] = bq[static_cast<size_t>(a)];
    for (int c = 0; c < q; ++c)
      f.V[static_cast<size_t>(pos[static_cast<size_t>(a)] * p + pos[static_cast<size_t>(c)])] = Vq[static_cast<size_t>(a * q + c)];
  }
}

// The design [X_K, const] of the kept columns, n x q column-major; the
// constant column is cst (or 1 when cst is null) and shift is added to
// column a (for the within model: the grand means).
Vec design(const double* X, long n, const std::vector<int>& kept, const double* cst, const Vec* shift) {
  const int K = static_cast<int>(kept.size());
  Vec Z(static_cast<size_t>(n) * static_cast<size_t>(K + 1));
  for (int a = 0; a < K; ++a) {
    const double* x = X + at(0, kept[static_cast<size_t>(a)], n);
    const double s = shift ? (*shift)[static_cast<size_t>(a)] : 0;
    for (long i = 0; i < n; ++i) Z[at(i, a, n)] = x[i] + s;
  }
  for (long i = 0; i < n; ++i) Z[at(i, K, n)] = cst ? cst[i] : 1;
  return Z;
}

// (Z'Z)^-1 of Z = [X_K + xbar, 1], q x q (q = K + 1), from inv, the k x k
// inverse of the centred cross-products, the means xk of the kept columns
// and their total weight W: the centred inverse, and the constant at the
// means.
Vec withconstant(const Vec& inv, int k, const std::vector<int>& kept, const Vec& xk, double W) {
  const int K = static_cast<int>(kept.size()), q = K + 1;
  Vec B(static_cast<size_t>(q * q), 0);
  for (int a = 0; a < K; ++a)
    for (int c = 0; c < K; ++c)
      B[static_cast<size_t>(a * q + c)] = inv[static_cast<size_t>(kept[static_cast<size_t>(a)] * k + kept[static_cast<size_t>(c)])];
  double cc = 1 / W;
  for (int a = 0; a < K; ++a) {
    double s = 0;
    for (int c = 0; c < K; ++c) s += B[static_cast<size_t>(a * q + c)] * xk[static_cast<size_t>(c)];
    B[static_cast<size_t>(a * q + K)] = B[static_cast<size_t>(K * q + a)] = -s;
    cc += xk[static_cast<size_t>(a)] * s;
  }
  B[static_cast<size_t>(K * q + K)] = cc;
  return B;
}

}  // namespace

void pf_effects(const PanelData& d, const std::vector<double>& b, int kind, double su2, double se2,
                std::vector<double>& u) {
  const long n = d.n;
  Vec xb = index(d.X.data(), n, d.k, b);
  u.assign(static_cast<size_t>(d.G), 0);
  Vec T(static_cast<size_t>(d.G), 0);
  for (long i = 0; i < n; ++i) {
    const size_t g = static_cast<size_t>(d.gid[static_cast<size_t>(i)]);
    u[g] += d.y[static_cast<size_t>(i)] - xb[static_cast<size_t>(i)] - b[static_cast<size_t>(d.k)];
    T[g] += 1;
  }
  for (size_t g = 0; g < u.size(); ++g) {
    u[g] /= T[g];
    if (kind == PF_RE) u[g] *= su2 + se2 / T[g] > 0 ? su2 / (su2 + se2 / T[g]) : 0;
  }
}

int pf_fit(const PanelData& d, int kind, bool bplm, PanelFit& f) {
  const long n = d.n;
  const int k = d.k, G = d.G;
  // Weights: those of the rows under fe, one per panel under be.
  const double* wt = d.w.empty() ? nullptr : d.w.data();
  const double* wfe = kind == PF_FE ? wt : nullptr;
  double N = static_cast<double>(n);
  if (wfe && d.freq) {  // scaled weights sum to n already
    N = 0;
    for (long i = 0; i < n; ++i) N += wfe[i];
  }
  f = PanelFit{};
  f.kind = kind;
  f.N = N;
  f.G = G;
  f.C = d.cid.empty() ? 0 : d.C;
  const double* X = d.X.data();
  const double* y = d.y.data();
  const int* gid = d.gid.data();

  // Panel sizes and means (y in column 0, then the regressors).
  Vec T(static_cast<size_t>(G), 0);
  Vec M(static_cast<size_t>(G) * static_cast<size_t>(k + 1), 0);  // G x (k+1) column-major
  for (long i = 0; i < n; ++i) T[static_cast<size_t>(gid[i])] += 1;
  for (long i = 0; i < n; ++i) M[static_cast<size_t>(gid[i])] += y[i];
  for (int j = 0; j < k; ++j) {
    double* m = M.data() + static_cast<size_t>(j + 1) * static_cast<size_t>(G);
    const double* x = X + at(0, j, n);
    for (long i = 0; i < n; ++i) m[gid[i]] += x[i];
  }
  for (int j = 0; j <= k; ++j)
    for (int g = 0; g < G; ++g) M[static_cast<size_t>(j) * static_cast<size_t>(G) + static_cast<size_t>(g)] /= T[static_cast<size_t>(g)];
  auto mean = [&](int j, int g) { return M[static_cast<size_t>(j) * static_cast<size_t>(G) + static_cast<size_t>(g)]; };
  f.Tmin = *std::min_element(T.begin(), T.end());
  f.Tmax = *std::max_element(T.begin(), T.end());
  f.Tavg = static_cast<double>(n) / G;
  const bool balanced = f.Tmin == f.Tmax;

  // The within transformation.
  Vec W(static_cast<size_t>(n) * static_cast<size_t>(k)), yw(static_cast<size_t>(n));
  for (long i = 0; i < n; ++i) yw[static_cast<size_t>(i)] = y[i] - M[static_cast<size_t>(gid[i])];
  f.drop.assign(static_cast<size_t>(k), PF_KEPT);
  Flags wkeep(static_cast<size_t>(k), 1);
  for (int j = 0; j < k; ++j) {
    const double* x = X + at(0, j, n);
    const double* m = M.data() + static_cast<size_t>(j + 1) * static_cast<size_t>(G);
    double* w = W.data() + at(0, j, n);
    double gm = 0;
    for (long i = 0; i < n; ++i) gm += x[i];
    gm /= N;
    double ssw = 0, sst = 0;
    for (long i = 0; i < n; ++i) {
      w[i] = x[i] - m[gid[i]];
      ssw += w[i] * w[i];
      sst += (x[i] - gm) * (x[i] - gm);
    }
    if (!(ssw > 1e-13 * sst) || sst == 0) wkeep[static_cast<size_t>(j)] = 0;
  }
  const Flags within_var = wkeep;  // columns that vary within panels
  Ols w;
  ols(W.data(), n, k, yw.data(), false, wkeep, w, wfe);
  const int Kw = w.rank;

  // The grand means (weighted under fe).
  Vec xbar(static_cast<size_t>(k), 0);
  for (int j = 0; j < k; ++j) {
    const double* x = X + at(0, j, n);
    double s = 0;
    for (long i = 0; i < n; ++i) s += wfe ? wfe[i] * x[i] : x[i];
    xbar[static_cast<size_t>(j)] = s / N;
  }
  double ybar = 0;
  for (long i = 0; i < n; ++i) ybar += wfe ? wfe[i] * y[i] : y[i];
  ybar /= N;

  // The pooled regression (the F test of the panel effects, the LM test,
  // and which columns re and be keep), from cross products alone: those of
  // [y, X] about the grand means are the within ones plus the between
  // part, sum over panels of T_g (m_g - mbar)(m_g - mbar)', T_g the
  // panel's weight (the weights are constant within panels). No pass over
  // the rows; the residuals only for the LM test.
  Flags pkeep(static_cast<size_t>(k), 1);
  Ols pool;
  {
    const int k1 = k + 1;
    Vec C(static_cast<size_t>(k1 * k1), 0);
    double syw = 0;
    for (long i = 0; i < n; ++i) {
      const double v = yw[static_cast<size_t>(i)];
      syw += wfe ? wfe[i] * v * v : v * v;
    }
    C[0] = syw;
    for (int a = 0; a < k; ++a) {
      C[static_cast<size_t>(a + 1)] = C[static_cast<size_t>((a + 1) * k1)] = w.xy[static_cast<size_t>(a)];
      for (int c = 0; c < k; ++c) C[static_cast<size_t>((a + 1) * k1 + c + 1)] = w.gram[static_cast<size_t>(a * k + c)];
    }
    Vec Tw(T);
    if (wfe)
      for (long i = 0; i < n; ++i) Tw[static_cast<size_t>(gid[i])] = 0;
    if (wfe)
      for (long i = 0; i < n; ++i) Tw[static_cast<size_t>(gid[i])] += wfe[i];
    Vec dv(static_cast<size_t>(k1));
    for (int g = 0; g < G; ++g) {
      dv[0] = mean(0, g) - ybar;
      for (int j = 0; j < k; ++j) dv[static_cast<size_t>(j + 1)] = mean(j + 1, g) - xbar[static_cast<size_t>(j)];
      const double t = Tw[static_cast<size_t>(g)];
      for (int a = 0; a < k1; ++a) {
        const double ta = t * dv[static_cast<size_t>(a)];
        for (int c = 0; c <= a; ++c) C[static_cast<size_t>(a * k1 + c)] += ta * dv[static_cast<size_t>(c)];
      }
    }
    for (int a = 0; a < k1; ++a)
      for (int c = 0; c < a; ++c) C[static_cast<size_t>(c * k1 + a)] = C[static_cast<size_t>(a * k1 + c)];
    Vec Gx(static_cast<size_t>(k * k)), xy(static_cast<size_t>(k));
    for (int a = 0; a < k; ++a) {
      xy[static_cast<size_t>(a)] = C[static_cast<size_t>((a + 1) * k1)];
      for (int c = 0; c < k; ++c) Gx[static_cast<size_t>(a * k + c)] = C[static_cast<size_t>((a + 1) * k1 + c + 1)];
    }
    pool.rank = lsq_sweepinv(Gx, k, pkeep);
    pool.b.assign(static_cast<size_t>(k), 0);
    pool.rss = C[0];
    for (int a = 0; a < k; ++a) {
      if (!pkeep[static_cast<size_t>(a)]) continue;
      double sb = 0;
      for (int c = 0; c < k; ++c) sb += Gx[static_cast<size_t>(a * k + c)] * xy[static_cast<size_t>(c)];
      pool.b[static_cast<size_t>(a)] = sb;
      pool.rss -= sb * xy[static_cast<size_t>(a)];
    }
    if (pool.rss < 0) pool.rss = 0;
    if (kind == PF_RE && bplm) {
      pool.e.resize(static_cast<size_t>(n));
      for (long i = 0; i < n; ++i) pool.e[static_cast<size_t>(i)] = y[i] - ybar;
      for (int j = 0; j < k; ++j) {
        const double bj = pool.b[static_cast<size_t>(j)];
        if (bj == 0) continue;
        const double* x = X + at(0, j, n);
        for (long i = 0; i < n; ++i) pool.e[static_cast<size_t>(i)] -= bj * (x[i] - xbar[static_cast<size_t>(j)]);
      }
    }
  }

  Vec slopes;  // the fit's slopes (k)
  if (kind == PF_FE) {
    double syw = 0;
    for (double v : yw) syw += v * v;
    double syt = 0;
    for (long i = 0; i < n; ++i) syt += (y[i] - ybar) * (y[i] - ybar);
    if (!(syw > 1e-13 * syt) || syt == 0) {
      f.msg = "dependent variable does not vary within panels";
      return RC_BADDATA;
    }
    for (int j = 0; j < k; ++j)
      if (!wkeep[static_cast<size_t>(j)]) f.drop[static_cast<size_t>(j)] = within_var[static_cast<size_t>(j)] ? PF_COLLINEAR : PF_CONSTWITHIN;
    f.df_r = N - G - Kw;
    if (f.df_r <= 0) {
      f.msg = "insufficient observations";
      return RC_FEWOBS;
    }
    std::vector<int> kept;
    for (int j = 0; j < k; ++j)
      if (wkeep[static_cast<size_t>(j)]) kept.push_back(j);
    const int K = static_cast<int>(kept.size()), q = K + 1;
    Vec xk(static_cast<size_t>(K)), bq(static_cast<size_t>(q));
    for (int a = 0; a < K; ++a) {
      xk[static_cast<size_t>(a)] = xbar[static_cast<size_t>(kept[static_cast<size_t>(a)])];
      bq[static_cast<size_t>(a)] = w.b[static_cast<size_t>(kept[static_cast<size_t>(a)])];
    }
    double cons = ybar;
    for (int a = 0; a < K; ++a) cons -= xk[static_cast<size_t>(a)] * bq[static_cast<size_t>(a)];
    bq[static_cast<size_t>(K)] = cons;
    // (Z'Z)^-1 of Z = [W_K + xbar, 1]: the within inverse, and the constant
    // at the grand means.
    const Vec B = withconstant(w.inv, k, kept, xk, N);
    f.rss = w.rss;
    const double s2 = w.rss / f.df_r;
    Vec Vq(B.size());
    if (d.cid.empty()) {
      for (size_t i = 0; i < B.size(); ++i) Vq[i] = s2 * B[i];
    } else {
      Vec Z = design(W.data(), n, kept, nullptr, &xk), Mt;
      Vec sc(w.e);
      if (wfe)
        for (long i = 0; i < n; ++i) sc[static_cast<size_t>(i)] *= wfe[i];
      lsq_meat(Z.data(), n, q, sc.data(), d.cid.data(), d.C, Mt);
      lsq_sandwich(B, Mt, q, d.C > 1 ? static_cast<double>(d.C) / (d.C - 1) : misval, Vq);
      f.df_r = d.C - 1;
    }
    place(kept, k, bq, Vq, f);
    f.df_m = K;
    f.stat = K > 0 ? lsq_wald(bq, Vq, q, K) / K : misval;
    f.pstat = f.stat < misval ? fn_Ftail(K, f.df_r, f.stat) : misval;
    f.sigma_e = std::sqrt(s2);
    // The panel effects and their spread.
    Vec u;
    pf_effects(d, f.b, PF_FE, 0, 0, u);
    double um = 0, uv = 0;
    for (double v : u) um += v;
    um /= G;
    for (double v : u) uv += (v - um) * (v - um);
    f.sigma_u = G > 1 ? std::sqrt(uv / (G - 1)) : misval;
    f.rho = f.sigma_u < misval ? f.sigma_u * f.sigma_u / (f.sigma_u * f.sigma_u + s2) : misval;
    // F test that all u_i are zero: the pooled model against this one.
    f.df_f2 = N - G - Kw;
    f.df_f1 = (N - pool.rank - 1) - f.df_f2;
    f.F_f = f.df_f1 > 0 ? ((pool.rss - w.rss) / f.df_f1) / (w.rss / f.df_f2) : misval;
    if (f.F_f < misval && f.F_f < 0) f.F_f = 0;
    f.p_f = f.F_f < misval ? fn_Ftail(f.df_f1, f.df_f2, f.F_f) : misval;
    slopes = f.b;
  } else {
    // Between regression: one row per panel (the panel means).
    // re keeps the columns of the pooled regression, be those of the
    // regression on the panel means.
    Flags bkeep = pkeep;
    Ols btw;
    Vec wg;  // the weight of each panel
    if (wt) {
      wg.assign(static_cast<size_t>(G), 0);
      for (long i = 0; i < n; ++i) wg[static_cast<size_t>(gid[i])] = wt[i];
    }
    ols(M.data() + G, G, k, M.data(), true, bkeep, btw, wt && kind == PF_BE ? wg.data() : nullptr);
    const Flags& use = kind == PF_BE ? bkeep : pkeep;
    for (int j = 0; j < k; ++j)
      if (!use[static_cast<size_t>(j)]) f.drop[static_cast<size_t>(j)] = PF_COLLINEAR;
    std::vector<int> kept;
    for (int j = 0; j < k; ++j)
      if (use[static_cast<size_t>(j)]) kept.push_back(j);
    const int K = static_cast<int>(kept.size());
    if (G - btw.rank - 1 <= 0) {
      f.msg = "insufficient observations";
      return RC_FEWOBS;
    }
    // Swamy-Arora: the idiosyncratic variance from the within regression,
    // the panel variance from the between regression weighted by the panel
    // sizes (each row carries its panel's means), with the expectation of its
    // residual sum of squares: (G - K - 1) se2 + (N - tr) su2, tr the trace of
    // (sum T_i z_i z_i')^-1 (sum T_i^2 z_i z_i') over the panel means z_i
    // (constant included). Balanced panels give the textbook
    // rss_b / (G - K - 1) - se2 / T.
    const double dfw = N - G - Kw;
    const double se2 = dfw > 0 ? w.rss / dfw : misval;
    double su2 = misval;
    if (se2 < misval) {
      Vec Mr(static_cast<size_t>(n) * static_cast<size_t>(K)), yr(static_cast<size_t>(n));
      for (long i = 0; i < n; ++i) yr[static_cast<size_t>(i)] = M[static_cast<size_t>(gid[i])];
      for (int a = 0; a < K; ++a)
        for (long i = 0; i < n; ++i) Mr[at(i, a, n)] = mean(kept[static_cast<size_t>(a)] + 1, gid[i]);
      Flags rk(static_cast<size_t>(K), 1);
      Ols bw;
      ols(Mr.data(), n, K, yr.data(), true, rk, bw);
      std::vector<int> bk;  // the columns of the between regression
      for (int a = 0; a < K; ++a)
        if (rk[static_cast<size_t>(a)]) bk.push_back(kept[static_cast<size_t>(a)]);
      const int Kb = static_cast<int>(bk.size()), q = Kb + 1;
      Vec A(static_cast<size_t>(q * q), 0), Bm(static_cast<size_t>(q * q), 0), z(static_cast<size_t>(q));
      for (int g = 0; g < G; ++g) {
        for (int a = 0; a < Kb; ++a) z[static_cast<size_t>(a)] = mean(bk[static_cast<size_t>(a)] + 1, g);
        z[static_cast<size_t>(Kb)] = 1;
        const double t = T[static_cast<size_t>(g)];
        for (int a = 0; a < q; ++a)
          for (int c = 0; c < q; ++c) {
            A[static_cast<size_t>(a * q + c)] += t * z[static_cast<size_t>(a)] * z[static_cast<size_t>(c)];
            Bm[static_cast<size_t>(a * q + c)] += t * t * z[static_cast<size_t>(a)] * z[static_cast<size_t>(c)];
          }
      }
      double tr = 0;
      if (lsq_invpd(A, q))
        for (int a = 0; a < q; ++a)
          for (int c = 0; c < q; ++c) tr += A[static_cast<size_t>(a * q + c)] * Bm[static_cast<size_t>(c * q + a)];
      if (N - tr > 0 && G - Kb - 1 > 0) su2 = (bw.rss - (G - Kb - 1) * se2) / (N - tr);
      if (su2 < misval && su2 < 0) su2 = 0;
    }
    f.sigma_e = se2 < misval ? std::sqrt(se2) : misval;
    f.sigma_u = su2 < misval ? std::sqrt(su2) : misval;
    f.rho = su2 < misval && se2 < misval && su2 + se2 > 0 ? su2 / (su2 + se2) : misval;
    const int q = K + 1;
    if (kind == PF_BE) {
      Vec bq(static_cast<size_t>(q));
      Vec xk(static_cast<size_t>(K));
      double Wg = G;
      if (!wg.empty()) {
        Wg = 0;
        for (double v : wg) Wg += v;
      }
      for (int a = 0; a < K; ++a) {
        bq[static_cast<size_t>(a)] = btw.b[static_cast<size_t>(kept[static_cast<size_t>(a)])];
        double s = 0;
        for (int g = 0; g < G; ++g) s += (wg.empty() ? 1 : wg[static_cast<size_t>(g)]) * mean(kept[static_cast<size_t>(a)] + 1, g);
        xk[static_cast<size_t>(a)] = s / Wg;
      }
      bq[static_cast<size_t>(K)] = btw.cons;
      const Vec B = withconstant(btw.inv, k, kept, xk, Wg);
      f.df_r = G - K - 1;
      f.rss = btw.rss;
      const double s2 = btw.rss / f.df_r;
      Vec Vq(B.size());
      for (size_t i = 0; i < B.size(); ++i) Vq[i] = s2 * B[i];
      place(kept, k, bq, Vq, f);
      f.df_m = K;
      f.stat = K > 0 ? lsq_wald(bq, Vq, q, K) / K : misval;
      f.pstat = f.stat < misval ? fn_Ftail(K, f.df_r, f.stat) : misval;
    } else {
      if (se2 >= misval || su2 >= misval) {
        f.msg = "insufficient observations";
        return RC_FEWOBS;
      }
      // Quasi-demeaned data: y - theta_i ybar_i on x - theta_i xbar_i and
      // 1 - theta_i.
      Vec th(static_cast<size_t>(G));
      for (int g = 0; g < G; ++g) th[static_cast<size_t>(g)] = 1 - std::sqrt(se2 / (T[static_cast<size_t>(g)] * su2 + se2));
      Vec ys(static_cast<size_t>(n)), cs(static_cast<size_t>(n));
      for (long i = 0; i < n; ++i) {
        const double t = th[static_cast<size_t>(gid[i])];
        ys[static_cast<size_t>(i)] = y[i] - t * M[static_cast<size_t>(gid[i])];
        cs[static_cast<size_t>(i)] = 1 - t;
      }
      Vec Xs(static_cast<size_t>(n) * static_cast<size_t>(K));
      for (int a = 0; a < K; ++a) {
        const int j = kept[static_cast<size_t>(a)];
        const double* x = X + at(0, j, n);
        const double* m = M.data() + static_cast<size_t>(j + 1) * static_cast<size_t>(G);
        for (long i = 0; i < n; ++i) Xs[at(i, a, n)] = x[i] - th[static_cast<size_t>(gid[i])] * m[gid[i]];
      }
      Vec Z = design(Xs.data(), n, std::vector<int>([&] {
                       std::vector<int> id(static_cast<size_t>(K));
                       for (int a = 0; a < K; ++a) id[static_cast<size_t>(a)] = a;
                       return id;
                     }()),
                     cs.data(), nullptr);
      Vec B, zy;
      lsq_gram(Z.data(), n, q, B);
      lsq_cross(Z.data(), q, ys.data(), 1, n, zy);
      if (!lsq_invpd(B, q)) {
        f.msg = "the transformed regressors are collinear";
        return RC_NOTPOSDEF;
      }
      Vec bq(static_cast<size_t>(q), 0);
      for (int a = 0; a < q; ++a)
        for (int c = 0; c < q; ++c) bq[static_cast<size_t>(a)] += B[static_cast<size_t>(a * q + c)] * zy[static_cast<size_t>(c)];
      Vec e(ys);
      for (int a = 0; a < q; ++a) {
        const double* z = Z.data() + at(0, a, n);
        for (long i = 0; i < n; ++i) e[static_cast<size_t>(i)] -= bq[static_cast<size_t>(a)] * z[i];
      }
      f.rss = 0;
      for (double v : e) f.rss += v * v;
      const double s2 = f.rss / (N - q);
      Vec Vq(B.size());
      if (d.cid.empty()) {
        for (size_t i = 0; i < B.size(); ++i) Vq[i] = s2 * B[i];
      } else {
        Vec Mt;
        lsq_meat(Z.data(), n, q, e.data(), d.cid.data(), d.C, Mt);
        lsq_sandwich(B, Mt, q, d.C > 1 ? static_cast<double>(d.C) / (d.C - 1) : misval, Vq);
      }
      place(kept, k, bq, Vq, f);
      f.df_m = K;
      f.df_r = misval;
      f.stat = K > 0 ? lsq_wald(bq, Vq, q, K) : misval;
      f.pstat = f.stat < misval ? ml_chi2tail(K, f.stat) : misval;
      f.thmin = *std::min_element(th.begin(), th.end());
      f.thmax = *std::max_element(th.begin(), th.end());
      f.theta = balanced ? th[0] : median(th);
      if (bplm) {
        // Breusch-Pagan LM on the pooled residuals.
        Vec se(static_cast<size_t>(G), 0);
        double ee = 0, tt = 0;
        for (long i = 0; i < n; ++i) {
          se[static_cast<size_t>(gid[i])] += pool.e[static_cast<size_t>(i)];
          ee += pool.e[static_cast<size_t>(i)] * pool.e[static_cast<size_t>(i)];
        }
        double ss = 0;
        for (double v : se) ss += v * v;
        for (double t : T) tt += t * (t - 1);
        const double a = ss / ee - 1;
        f.bp = tt > 0 ? N * N / (2 * tt) * a * a : misval;
        f.p_bp = f.bp < misval ? ml_chi2tail(1, f.bp) : misval;
      }
    }
    slopes = f.b;
  }

  // The three R-squared values: squared correlations of the fitted slopes'
  // index with y within panels, between panels and overall.
  Vec xb = index(X, n, k, slopes);
  f.r2_o = lsq_corr2(y, xb.data(), n);
  Vec xbw(xb);
  Vec pm(static_cast<size_t>(G), 0);
  for (long i = 0; i < n; ++i) pm[static_cast<size_t>(gid[i])] += xb[static_cast<size_t>(i)];
  for (int g = 0; g < G; ++g) pm[static_cast<size_t>(g)] /= T[static_cast<size_t>(g)];
  for (long i = 0; i < n; ++i) xbw[static_cast<size_t>(i)] -= pm[static_cast<size_t>(gid[i])];
  f.r2_w = lsq_corr2(yw.data(), xbw.data(), n);
  f.r2_b = lsq_corr2(M.data(), pm.data(), G);
  return 0;
}
