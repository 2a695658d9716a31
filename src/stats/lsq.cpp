// Least-squares building blocks for the linear panel and instrumental-variable
// estimators: cross products by BLAS (dsyrk, dgemm), Cholesky inverses by
// LAPACKE, the sweep inverse shared with regress for collinear columns, and
// the cluster sandwich.
#include "stats/lsq.h"

#include <cblas.h>
#include <lapacke.h>

#include <cmath>

#include "results/sweep.h"
#include "data/value.h"

void lsq_gram(const double* Z, long n, int p, std::vector<double>& G) {
  G.assign(static_cast<size_t>(p) * static_cast<size_t>(p), 0);
  if (p == 0 || n == 0) return;
  // Z column-major n x p; G = Z'Z in column-major equals row-major (symmetric).
  cblas_dsyrk(CblasColMajor, CblasLower, CblasTrans, p, static_cast<int>(n), 1.0, Z, static_cast<int>(n), 0.0,
              G.data(), p);
  for (int c = 0; c < p; ++c)
    for (int r = c + 1; r < p; ++r) G[static_cast<size_t>(r * p + c)] = G[static_cast<size_t>(c * p + r)];
}

void lsq_cross(const double* A, int p, const double* B, int q, long n, std::vector<double>& C) {
  C.assign(static_cast<size_t>(p) * static_cast<size_t>(q), 0);
  if (p == 0 || q == 0 || n == 0) return;
  // Row-major p x q C is column-major q x p: C^T = B'A.
  cblas_dgemm(CblasColMajor, CblasTrans, CblasNoTrans, q, p, static_cast<int>(n), 1.0, B, static_cast<int>(n), A,
              static_cast<int>(n), 0.0, C.data(), q);
}

bool lsq_invpd(std::vector<double>& a, int p) {
  if (p == 0) return true;
  if (LAPACKE_dpotrf(LAPACK_ROW_MAJOR, 'L', p, a.data(), p) != 0) return false;
  if (LAPACKE_dpotri(LAPACK_ROW_MAJOR, 'L', p, a.data(), p) != 0) return false;
  for (int r = 0; r < p; ++r)
    for (int c = r + 1; c < p; ++c) a[static_cast<size_t>(r * p + c)] = a[static_cast<size_t>(c * p + r)];
  return true;
}

int lsq_sweepinv(std::vector<double>& a, int p, std::vector<unsigned char>& kept) {
  if (kept.size() != static_cast<size_t>(p)) kept.assign(static_cast<size_t>(p), 1);
  for (int j = 0; j < p; ++j)
    if (!kept[static_cast<size_t>(j)])
      for (int c = 0; c < p; ++c) a[static_cast<size_t>(j * p + c)] = a[static_cast<size_t>(c * p + j)] = 0;
  std::vector<unsigned char> sw(static_cast<size_t>(p), 0);
  const SweepResult r = sweep_inverse(a.data(), p, p, sw.data());
  for (int j = 0; j < p; ++j) kept[static_cast<size_t>(j)] = sw[static_cast<size_t>(j)];
  // The sweep leaves a symmetric inverse in the swept block; rows and
  // columns of pivots left out are zero.
  for (int r0 = 0; r0 < p; ++r0)
    for (int c = 0; c < p; ++c)
      if (!sw[static_cast<size_t>(r0)] || !sw[static_cast<size_t>(c)]) a[static_cast<size_t>(r0 * p + c)] = 0;
  return r.rank;
}

void lsq_meat(const double* Z, long n, int q, const double* e, const int* gid, int C, std::vector<double>& M) {
  const long rows = gid ? C : n;
  std::vector<double> S(static_cast<size_t>(rows) * static_cast<size_t>(q), 0);
  for (int j = 0; j < q; ++j) {
    const double* z = Z + static_cast<size_t>(j) * static_cast<size_t>(n);
    double* s = S.data() + static_cast<size_t>(j) * static_cast<size_t>(rows);
    if (gid)
      for (long i = 0; i < n; ++i) s[gid[i]] += e[i] * z[i];
    else
      for (long i = 0; i < n; ++i) s[i] = e[i] * z[i];
  }
  lsq_gram(S.data(), rows, q, M);
}

void lsq_sandwich(const std::vector<double>& B, const std::vector<double>& M, int q, double factor,
                  std::vector<double>& V) {
  const size_t qq = static_cast<size_t>(q) * static_cast<size_t>(q);
  std::vector<double> T(qq, 0);
  V.assign(qq, 0);
  if (q == 0) return;
  cblas_dgemm(CblasRowMajor, CblasNoTrans, CblasNoTrans, q, q, q, 1.0, B.data(), q, M.data(), q, 0.0, T.data(), q);
  cblas_dgemm(CblasRowMajor, CblasNoTrans, CblasNoTrans, q, q, q, factor, T.data(), q, B.data(), q, 0.0, V.data(), q);
  for (int r = 0; r < q; ++r)
    for (int c = r + 1; c < q; ++c) {
      const double m = 0.5 * (V[static_cast<size_t>(r * q + c)] + V[static_cast<size_t>(c * q + r)]);
      V[static_cast<size_t>(r * q + c)] = V[static_cast<size_t>(c * q + r)] = m;
    }
}

double lsq_wald(const std::vector<double>& b, const std::vector<double>& V, int q, int m) {
  std::vector<double> W(static_cast<size_t>(m) * static_cast<size_t>(m));
  for (int r = 0; r < m; ++r)
    for (int c = 0; c < m; ++c) W[static_cast<size_t>(r * m + c)] = V[static_cast<size_t>(r * q + c)];
  if (!lsq_invpd(W, m)) return misval;
  double w = 0;
  for (int r = 0; r < m; ++r)
    for (int c = 0; c < m; ++c) w += b[static_cast<size_t>(r)] * W[static_cast<size_t>(r * m + c)] * b[static_cast<size_t>(c)];
  return w;
}

double lsq_corr2(const double* a, const double* b, long n) {
  if (n < 2) return misval;
  double ma = 0, mb = 0;
  for (long i = 0; i < n; ++i) ma += a[i], mb += b[i];
  ma /= static_cast<double>(n), mb /= static_cast<double>(n);
  double sab = 0, saa = 0, sbb = 0;
  for (long i = 0; i < n; ++i) {
    const double da = a[i] - ma, db = b[i] - mb;
    sab += da * db, saa += da * da, sbb += db * db;
  }
  if (!(saa > 0 && sbb > 0)) return misval;
  return sab / saa * (sab / sbb);
}
