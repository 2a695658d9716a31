// The sweep operator and the generalised inverse by sweeping. The operator is
// the classical one (row k divided by the pivot, column k negated), so a
// partly swept matrix is not symmetric, but the swept block always holds the
// inverse of the original block: after sweep_inverse, zeroing the left-out
// rows and columns leaves a symmetric generalised inverse. Large matrices are
// swept a block of pivots at a time: the pivots of a block are chosen by
// sweeping its diagonal block alone (which sees exactly the diagonal values
// the one-at-a-time sweep would), and the rest of the matrix is then updated
// with matrix products, since sweeping a set of pivots at once equals
// sweeping them one after another.
#include "results/sweep.h"

#include <cblas.h>

#include <vector>

#include "platform/platform.h"

namespace {

// Pivots per block, and the order below which the one-at-a-time sweep is
// used (it keeps small fits, such as regressions, bit for bit as before).
constexpr int SWEEP_NB = 48;
constexpr int SWEEP_BLOCKED_MIN = 96;

// Sweeps pivots k0..k1-1 of the n x n matrix a (row stride ld) as a block;
// done[k] is set for each pivot swept (its current diagonal value above
// tol[k]). Returns the number swept.
int sweep_block(double* a, int n, int ld, int k0, int k1, const double* tol, unsigned char* done) {
  const int nb = k1 - k0;
  // The diagonal block, swept alone, chooses the pivots.
  std::vector<double> d(static_cast<size_t>(nb) * static_cast<size_t>(nb));
  for (int i = 0; i < nb; ++i)
    for (int j = 0; j < nb; ++j)
      d[static_cast<size_t>(i * nb + j)] = a[static_cast<long>(k0 + i) * ld + k0 + j];
  std::vector<int> piv;
  for (int k = 0; k < nb; ++k)
    if (d[static_cast<size_t>(k * nb + k)] > tol[k0 + k]) {
      (void)sweep_pivot(d.data(), nb, nb, k);
      done[k0 + k] = 1;
      piv.push_back(k0 + k);
    }
  const int s = static_cast<int>(piv.size());
  if (s == 0) return 0;
  // Ai: the inverse of the chosen pivots' block (the swept block of d).
  std::vector<double> Ai(static_cast<size_t>(s) * static_cast<size_t>(s));
  for (int i = 0; i < s; ++i)
    for (int j = 0; j < s; ++j)
      Ai[static_cast<size_t>(i * s + j)] = d[static_cast<size_t>((piv[static_cast<size_t>(i)] - k0) * nb + piv[static_cast<size_t>(j)] - k0)];
  // R: the pivots' rows (s x n); C: their columns (n x s).
  std::vector<double> R(static_cast<size_t>(s) * static_cast<size_t>(n)), C(static_cast<size_t>(n) * static_cast<size_t>(s));
  for (int i = 0; i < s; ++i) {
    const double* row = a + static_cast<long>(piv[static_cast<size_t>(i)]) * ld;
    std::copy(row, row + n, R.begin() + static_cast<long>(i) * n);
  }
  for (int r = 0; r < n; ++r)
    for (int j = 0; j < s; ++j)
      C[static_cast<size_t>(r) * static_cast<size_t>(s) + static_cast<size_t>(j)] = a[static_cast<long>(r) * ld + piv[static_cast<size_t>(j)]];
  // T = Ai R becomes the pivots' rows; a -= C T updates every other element.
  std::vector<double> T(static_cast<size_t>(s) * static_cast<size_t>(n));
  cblas_dgemm(CblasRowMajor, CblasNoTrans, CblasNoTrans, s, n, s, 1.0, Ai.data(), s, R.data(), n, 0.0,
              T.data(), n);
  cblas_dgemm(CblasRowMajor, CblasNoTrans, CblasNoTrans, n, n, s, -1.0, C.data(), s, T.data(), n, 1.0, a,
              ld);
  // The pivots' columns become -C Ai, their rows T, their block Ai.
  std::vector<double> U(static_cast<size_t>(n) * static_cast<size_t>(s));
  cblas_dgemm(CblasRowMajor, CblasNoTrans, CblasNoTrans, n, s, s, -1.0, C.data(), s, Ai.data(), s, 0.0,
              U.data(), s);
  for (int r = 0; r < n; ++r)
    for (int j = 0; j < s; ++j)
      a[static_cast<long>(r) * ld + piv[static_cast<size_t>(j)]] = U[static_cast<size_t>(r) * static_cast<size_t>(s) + static_cast<size_t>(j)];
  for (int i = 0; i < s; ++i) {
    double* row = a + static_cast<long>(piv[static_cast<size_t>(i)]) * ld;
    std::copy(T.begin() + static_cast<long>(i) * n, T.begin() + static_cast<long>(i + 1) * n, row);
    for (int j = 0; j < s; ++j) row[piv[static_cast<size_t>(j)]] = Ai[static_cast<size_t>(i * s + j)];
  }
  return s;
}

}  // namespace

int sweep_pivot(double* a, int n, int ld, int k) {
  const double d = a[k * ld + k];
  if (d == 0) return 1;
  double* rk = a + static_cast<long>(k) * ld;
  for (int j = 0; j < n; ++j)
    if (j != k) rk[j] /= d;
  for (int i = 0; i < n; ++i) {
    if (i == k) continue;
    double* ri = a + static_cast<long>(i) * ld;
    const double b = ri[k];
    if (b == 0) continue;
    for (int j = 0; j < n; ++j)
      if (j != k) ri[j] -= b * rk[j];
    ri[k] = -b / d;
  }
  rk[k] = 1 / d;
  return 0;
}

SweepResult sweep_inverse(double* a, int n, int ld, unsigned char* swept) {
  SweepResult res;
  // Mirror the lower triangle so the sweep below may read whole rows.
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < i; ++j) a[static_cast<long>(j) * ld + i] = a[static_cast<long>(i) * ld + j];
  std::vector<double> tol(static_cast<size_t>(n));
  std::vector<unsigned char> done(static_cast<size_t>(n), 0);
  for (int k = 0; k < n; ++k) {
    double& d = a[static_cast<long>(k) * ld + k];
    if (d < 0) d = 0;
    double t = d == 0 ? 1e-9 : 1e-9 * d;
    tol[static_cast<size_t>(k)] = t < 1e-19 ? 1e-19 : t;
  }
  if (n >= SWEEP_BLOCKED_MIN) {
    for (int k0 = 0; k0 < n; k0 += SWEEP_NB) {
      if (stopflag) {
        res.broke = true;
        break;
      }
      const int k1 = k0 + SWEEP_NB < n ? k0 + SWEEP_NB : n;
      res.rank += sweep_block(a, n, ld, k0, k1, tol.data(), done.data());
    }
  } else {
    for (int k = 0; k < n; ++k) {
      if (stopflag) {
        res.broke = true;
        break;
      }
      if (a[static_cast<long>(k) * ld + k] > tol[static_cast<size_t>(k)]) {
        (void)sweep_pivot(a, n, ld, k);
        done[static_cast<size_t>(k)] = 1;
        ++res.rank;
      }
    }
  }
  // A pivot left out keeps its original values in its row and column; the
  // generalised inverse has zeros there.
  for (int k = 0; k < n; ++k) {
    if (done[static_cast<size_t>(k)]) continue;
    for (int j = 0; j < n; ++j) {
      a[static_cast<long>(k) * ld + j] = 0;
      a[static_cast<long>(j) * ld + k] = 0;
    }
  }
  if (swept)
    for (int k = 0; k < n; ++k) swept[k] = done[static_cast<size_t>(k)];
  return res;
}
