// Maximum-likelihood random effects for the linear panel model: y_i of a
// panel is normal with mean X_i b and covariance se2 I + su2 J. Each panel's
// log likelihood has a closed form in its size T, the sum S1 of its
// residuals and their within sum of squares S2:
//   -1/2 [T log 2pi + (T-1) log se2 + log(se2 + T su2) + S2/se2 + S1^2/(T(se2 + T su2))]
// maximised over b, ln sigma_u and ln sigma_e by the shared Newton-Raphson
// with exact first and second derivatives.
#include <algorithm>
#include <cmath>

#include "data/value.h"
#include "output/rc.h"
#include "stats/lsq.h"
#include "stats/mlmax.h"
#include "stats/panelfit.h"

namespace {

using Vec = std::vector<double>;

size_t at(long i, int j, long n) { return static_cast<size_t>(j) * static_cast<size_t>(n) + static_cast<size_t>(i); }

// The problem over the kept columns: design Z (n x q column-major, the
// constant last), panel sums of each column, the within cross products.
struct Prob {
  const PanelData* d;
  int q = 0;
  Vec Z;          // n x q
  Vec T;          // rows per panel
  Vec Zs;         // G x q panel sums of the columns
  Vec Wzz;        // q x q: sum over panels of the within cross products
};

// Log likelihood, gradient, negative Hessian (P = q + 2) and per-panel
// scores (G x P) at par = (b, ln su, ln se).
int eval(const Prob& pr, const Vec& par, int todo, double* llp, Vec* g, Vec* nH, Vec* sc) {
  const PanelData& d = *pr.d;
  const long n = d.n;
  const int q = pr.q, G = d.G, P = q + 2;
  const size_t Pz = static_cast<size_t>(P);
  const double s = std::exp(2 * par[static_cast<size_t>(q)]), a = std::exp(2 * par[static_cast<size_t>(q + 1)]);
  Vec r(d.y);
  for (int j = 0; j < q; ++j) {
    const double bj = par[static_cast<size_t>(j)];
    const double* z = pr.Z.data() + at(0, j, n);
    for (long i = 0; i < n; ++i) r[static_cast<size_t>(i)] -= bj * z[i];
  }
  Vec S1(static_cast<size_t>(G), 0), R2(static_cast<size_t>(G), 0);
  for (long i = 0; i < n; ++i) {
    const size_t gi = static_cast<size_t>(d.gid[static_cast<size_t>(i)]);
    S1[gi] += r[static_cast<size_t>(i)];
    R2[gi] += r[static_cast<size_t>(i)] * r[static_cast<size_t>(i)];
  }
  // Z'r by panel, for C_i = sum_t (r - rbar) z = sum_t r z - S1 zsum / T.
  Vec Zr;
  if (todo >= 1) {
    Zr.assign(static_cast<size_t>(G) * static_cast<size_t>(q), 0);
    for (int j = 0; j < q; ++j) {
      const double* z = pr.Z.data() + at(0, j, n);
      for (long i = 0; i < n; ++i) Zr[static_cast<size_t>(d.gid[static_cast<size_t>(i)]) * static_cast<size_t>(q) + static_cast<size_t>(j)] += r[static_cast<size_t>(i)] * z[i];
    }
  }
  const double l2pi = std::log(2 * M_PI);
  double ll = 0;
  Vec gg(todo >= 1 ? Pz : 0, 0), H(todo >= 2 ? Pz * Pz : 0, 0), gi(Pz);
  for (int grp = 0; grp < G; ++grp) {
    const size_t gz = static_cast<size_t>(grp);
    const double T = pr.T[gz], S = S1[gz];
    const double S2 = R2[gz] - S * S / T;
    const double dd = a + T * s;
    ll += -0.5 * (T * l2pi + (T - 1) * std::log(a) + std::log(dd) + S2 / a + S * S / (T * dd));
    if (todo < 1) continue;
    const double* zs = pr.Zs.data() + gz * static_cast<size_t>(q);
    const double* zr = Zr.data() + gz * static_cast<size_t>(q);
    // derivatives in b, s = su2 and a = se2
    const double fs = -0.5 * (T / dd - S * S / (dd * dd));
    const double fa = -0.5 * ((T - 1) / a + 1 / dd - S2 / (a * a) - S * S / (T * dd * dd));
    for (int j = 0; j < q; ++j) {
      const double C = zr[j] - S * zs[j] / T;
      gi[static_cast<size_t>(j)] = C / a + S * zs[j] / (T * dd);
    }
    gi[static_cast<size_t>(q)] = 2 * s * fs;
    gi[static_cast<size_t>(q + 1)] = 2 * a * fa;
    for (size_t j = 0; j < Pz; ++j) gg[j] += gi[j];
    if (sc)
      for (size_t j = 0; j < Pz; ++j) (*sc)[gz * Pz + j] = gi[j];
    if (todo < 2) continue;
    const double fss = -0.5 * (-T * T / (dd * dd) + 2 * T * S * S / (dd * dd * dd));
    const double faa = -0.5 * (-(T - 1) / (a * a) - 1 / (dd * dd) + 2 * S2 / (a * a * a) + 2 * S * S / (T * dd * dd * dd));
    const double fsa = -0.5 * (-T / (dd * dd) + 2 * S * S / (dd * dd * dd));
    for (int j = 0; j < q; ++j) {
      // the within part -Wzz/a is added once below
      for (int c = 0; c <= j; ++c) H[static_cast<size_t>(j) * Pz + static_cast<size_t>(c)] -= zs[j] * zs[c] / (T * dd);
      const double C = zr[j] - S * zs[j] / T;
      const double fbs = -S * zs[j] / (dd * dd);
      const double fba = -C / (a * a) - S * zs[j] / (T * dd * dd);
      H[static_cast<size_t>(q) * Pz + static_cast<size_t>(j)] += 2 * s * fbs;
      H[static_cast<size_t>(q + 1) * Pz + static_cast<size_t>(j)] += 2 * a * fba;
    }
    H[static_cast<size_t>(q) * Pz + static_cast<size_t>(q)] += 4 * s * s * fss + 4 * s * fs;
    H[static_cast<size_t>(q + 1) * Pz + static_cast<size_t>(q + 1)] += 4 * a * a * faa + 4 * a * fa;
    H[static_cast<size_t>(q + 1) * Pz + static_cast<size_t>(q)] += 4 * s * a * fsa;
  }
  if (!std::isfinite(ll)) return ML_NOINIT;
  *llp = ll;
  if (todo >= 1 && g) *g = gg;
  if (todo >= 2 && nH) {
    for (int j = 0; j < q; ++j)
      for (int c = 0; c <= j; ++c) H[static_cast<size_t>(j) * Pz + static_cast<size_t>(c)] -= pr.Wzz[static_cast<size_t>(j * q + c)] / a;
    nH->assign(Pz * Pz, 0);
    for (size_t j = 0; j < Pz; ++j)
      for (size_t c = 0; c <= j; ++c) (*nH)[j * Pz + c] = (*nH)[c * Pz + j] = -H[j * Pz + c];
  }
  return 0;
}

}  // namespace

int pf_mle(const PanelData& d, const PanelFit& re, const MlOpts& o, PanelFit& f) {
  const long n = d.n;
  const int k = d.k, G = d.G;
  f = re;
  f.kind = PF_ML;
  std::vector<int> kept;
  for (int j = 0; j < k; ++j)
    if (re.drop[static_cast<size_t>(j)] == PF_KEPT) kept.push_back(j);
  const int K = static_cast<int>(kept.size()), q = K + 1, P = q + 2;
  Prob pr;
  pr.d = &d;
  pr.q = q;
  pr.Z.resize(static_cast<size_t>(n) * static_cast<size_t>(q));
  for (int a = 0; a < K; ++a) std::copy_n(d.X.data() + at(0, kept[static_cast<size_t>(a)], n), n, pr.Z.data() + at(0, a, n));
  std::fill_n(pr.Z.data() + at(0, K, n), n, 1.0);
  pr.T.assign(static_cast<size_t>(G), 0);
  pr.Zs.assign(static_cast<size_t>(G) * static_cast<size_t>(q), 0);
  for (long i = 0; i < n; ++i) pr.T[static_cast<size_t>(d.gid[static_cast<size_t>(i)])] += 1;
  for (int j = 0; j < q; ++j) {
    const double* z = pr.Z.data() + at(0, j, n);
    for (long i = 0; i < n; ++i) pr.Zs[static_cast<size_t>(d.gid[static_cast<size_t>(i)]) * static_cast<size_t>(q) + static_cast<size_t>(j)] += z[i];
  }
  {
    Vec Dz(pr.Z);
    for (int j = 0; j < q; ++j) {
      double* z = Dz.data() + at(0, j, n);
      for (long i = 0; i < n; ++i) {
        const size_t gi = static_cast<size_t>(d.gid[static_cast<size_t>(i)]);
        z[i] -= pr.Zs[gi * static_cast<size_t>(q) + static_cast<size_t>(j)] / pr.T[gi];
      }
    }
    lsq_gram(Dz.data(), n, q, pr.Wzz);
  }
  // The pooled fit (su2 = 0): the comparison likelihood.
  Vec B, zy;
  lsq_gram(pr.Z.data(), n, q, B);
  lsq_cross(pr.Z.data(), q, d.y.data(), 1, n, zy);
  if (!lsq_invpd(B, q)) {
    f.msg = "the regressors are collinear";
    return RC_NOTPOSDEF;
  }
  double rss = 0;
  {
    Vec bq(static_cast<size_t>(q), 0);
    for (int a = 0; a < q; ++a)
      for (int c = 0; c < q; ++c) bq[static_cast<size_t>(a)] += B[static_cast<size_t>(a * q + c)] * zy[static_cast<size_t>(c)];
    for (long i = 0; i < n; ++i) {
      double e = d.y[static_cast<size_t>(i)];
      for (int a = 0; a < q; ++a) e -= bq[static_cast<size_t>(a)] * pr.Z[at(i, a, n)];
      rss += e * e;
    }
  }
  const double N = static_cast<double>(n);
  f.ll_c = -0.5 * N * (1 + std::log(2 * M_PI * rss / N));
  // From the GLS fit; a zero su2 starts at a tenth of se.
  Vec b0(static_cast<size_t>(P));
  for (int a = 0; a < K; ++a) b0[static_cast<size_t>(a)] = re.b[static_cast<size_t>(kept[static_cast<size_t>(a)])];
  b0[static_cast<size_t>(K)] = re.b[static_cast<size_t>(k)];
  const double se = re.sigma_e > 0 && re.sigma_e < misval ? re.sigma_e : std::sqrt(rss / N);
  const double su = re.sigma_u > 0.01 * se && re.sigma_u < misval ? re.sigma_u : 0.1 * se;
  b0[static_cast<size_t>(q)] = std::log(su);
  b0[static_cast<size_t>(q + 1)] = std::log(se);
  // Scores are per panel: clusters must hold whole panels.
  std::vector<int> pc(static_cast<size_t>(G), -1);
  for (long i = 0; i < n && !d.cid.empty(); ++i) {
    int& c = pc[static_cast<size_t>(d.gid[static_cast<size_t>(i)])];
    if (c >= 0 && c != d.cid[static_cast<size_t>(i)]) {
      f.msg = "panels are not nested within clusters";
      return RC_BADDATA;
    }
    c = d.cid[static_cast<size_t>(i)];
  }
  MlModel m;
  m.eqs.resize(1);
  m.eqs[0].cons = false;
  m.eqs[0].cols.assign(static_cast<size_t>(P), 0);  // P parameters; the model evaluates itself
  m.whole = [&pr](const Vec& b, int todo, double* ll, Vec* g, Vec* nH, Vec* sc) {
    return eval(pr, b, todo, ll, g, nH, sc);
  };
  MlData md;
  md.n = G;
  MlResult r;
  const int rc = ml_maximize(m, md, b0, o, r);
  if (rc == ML_BREAK) return RC_BREAK;
  if (rc == ML_NOINIT) {
    f.msg = "initial values not feasible";
    return RC_OVERFLOW;
  }
  f.converged = r.converged;
  f.iter = r.iter;
  f.ll = r.ll;
  Vec V = r.V;
  if (!d.cid.empty()) {
    Vec sc(static_cast<size_t>(G) * static_cast<size_t>(P));
    double ll;
    (void)eval(pr, r.b, 1, &ll, nullptr, nullptr, &sc);
    Vec cl(pc.begin(), pc.end());  // the cluster of each panel
    (void)ml_robust(V, P, G, sc, nullptr, cl.data());
  }
  Vec bq(r.b.begin(), r.b.begin() + q), Vq(static_cast<size_t>(q * q));
  for (int a = 0; a < q; ++a)
    for (int c = 0; c < q; ++c) Vq[static_cast<size_t>(a * q + c)] = V[static_cast<size_t>(a * P + c)];
  f.b.assign(static_cast<size_t>(k + 1), 0);
  f.V.assign(static_cast<size_t>((k + 1) * (k + 1)), 0);
  std::vector<int> pos(kept);
  pos.push_back(k);
  for (int a = 0; a < q; ++a) {
    f.b[static_cast<size_t>(pos[static_cast<size_t>(a)])] = bq[static_cast<size_t>(a)];
    for (int c = 0; c < q; ++c)
      f.V[static_cast<size_t>(pos[static_cast<size_t>(a)] * (k + 1) + pos[static_cast<size_t>(c)])] = Vq[static_cast<size_t>(a * q + c)];
  }
  const double lsu = r.b[static_cast<size_t>(q)], lse = r.b[static_cast<size_t>(q + 1)];
  f.sigma_u = std::exp(lsu);
  f.sigma_e = std::exp(lse);
  f.se_lnsu = std::sqrt(V[static_cast<size_t>(q * P + q)]);
  f.se_lnse = std::sqrt(V[static_cast<size_t>((q + 1) * P + q + 1)]);
  f.rho = f.sigma_u * f.sigma_u / (f.sigma_u * f.sigma_u + f.sigma_e * f.sigma_e);
  f.chi2_c = std::max(0.0, 2 * (f.ll - f.ll_c));
  f.p_c = f.chi2_c > 0 ? 0.5 * ml_chi2tail(1, f.chi2_c) : 1;
  f.df_m = K;
  f.df_r = misval;
  f.stat = K > 0 ? lsq_wald(bq, Vq, q, K) : misval;
  f.pstat = f.stat < misval ? ml_chi2tail(K, f.stat) : misval;
  // The R-squared values of the index of these slopes.
  Vec xb(static_cast<size_t>(n), 0), pm(static_cast<size_t>(G), 0), ym(static_cast<size_t>(G), 0);
  for (int a = 0; a < K; ++a)
    for (long i = 0; i < n; ++i) xb[static_cast<size_t>(i)] += bq[static_cast<size_t>(a)] * pr.Z[at(i, a, n)];
  for (long i = 0; i < n; ++i) {
    pm[static_cast<size_t>(d.gid[static_cast<size_t>(i)])] += xb[static_cast<size_t>(i)];
    ym[static_cast<size_t>(d.gid[static_cast<size_t>(i)])] += d.y[static_cast<size_t>(i)];
  }
  for (int g = 0; g < G; ++g) pm[static_cast<size_t>(g)] /= pr.T[static_cast<size_t>(g)], ym[static_cast<size_t>(g)] /= pr.T[static_cast<size_t>(g)];
  f.r2_o = lsq_corr2(d.y.data(), xb.data(), n);
  Vec xw(static_cast<size_t>(n)), yw(static_cast<size_t>(n));
  for (long i = 0; i < n; ++i) {
    const size_t gi = static_cast<size_t>(d.gid[static_cast<size_t>(i)]);
    xw[static_cast<size_t>(i)] = xb[static_cast<size_t>(i)] - pm[gi];
    yw[static_cast<size_t>(i)] = d.y[static_cast<size_t>(i)] - ym[gi];
  }
  f.r2_w = lsq_corr2(yw.data(), xw.data(), n);
  f.r2_b = lsq_corr2(ym.data(), pm.data(), G);
  return 0;
}
