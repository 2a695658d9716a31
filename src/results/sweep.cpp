// The sweep operator and the generalised inverse by sweeping. The operator is
// the classical one (row k divided by the pivot, column k negated), so a
// partly swept matrix is not symmetric, but the swept block always holds the
// inverse of the original block: after sweep_inverse, zeroing the left-out
// rows and columns leaves a symmetric generalised inverse.
#include "results/sweep.h"

#include <vector>

#include "platform/platform.h"

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
