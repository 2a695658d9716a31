// Kernel densities on an evenly spaced grid from the minimum to the maximum
// (see smooth.h), in one pass over the observations that only adds each
// to a few moment sums; the points then read the sums.
//
// Kernels made of polynomial pieces (epanechnikov, biweight, triangle,
// parzen): the line is cut at every point's kernel edges and kinks (the
// point plus or minus h, h/2 and 0, as the kernel needs), so that each piece
// of the line lies, for every point, within one polynomial piece of the
// kernel or outside its support. An observation adds w s^k (s its distance
// from its piece's centre in bandwidths, k up to the kernel's degree) to its
// piece's sums; K(u - s) expanded in s is then exact, and a point's density
// is the sum over the pieces within reach of the kernel's derivatives at the
// piece's centre times those sums. Exact up to rounding.
//
// The gaussian: buckets h/16 wide hold N_k = sum w s^k exp(-s^2/2)
// (k <= 12, |s| <= 1/32, the exponential as its series); a bucket adds
// phi(u) sum_k u^k N_k / k! to a point at u bandwidths from its centre,
// the series of exp(u s) cut after the u^12 term: relative error below
// 1e-8 of each bucket's share within the kernel's reach of 38.6 bandwidths.
#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/platform.h"
#include "stats/smooth.h"

namespace {

constexpr int GK = 12;        // gaussian series terms
constexpr double GB = 16;     // gaussian buckets per bandwidth

// The polynomial piece of kernel k (coefficients of v^0..v^4) holding v;
// false outside the support.
bool piece(SmKernel k, double v, double a[5]) {
  std::fill(a, a + 5, 0.0);
  const double av = std::fabs(v);
  if (av > 1) return false;
  const double sg = v < 0 ? -1 : 1;
  switch (k) {
    case SmKernel::EPAN: a[0] = 0.75, a[2] = -0.75; return true;
    case SmKernel::BIWEIGHT: a[0] = 0.9375, a[2] = -1.875, a[4] = 0.9375; return true;
    case SmKernel::TRIANGLE: a[0] = 1, a[1] = -sg; return true;
    case SmKernel::PARZEN:
      if (av <= 0.5) {
        a[0] = 4.0 / 3, a[2] = -8, a[3] = 8 * sg;
      } else {
        const double c = 8.0 / 3;  // c (1 - |v|)^3
        a[0] = c, a[1] = -3 * c * sg, a[2] = 3 * c, a[3] = -c * sg;
      }
      return true;
    default: return false;
  }
}

int degree(SmKernel k) {
  switch (k) {
    case SmKernel::EPAN: return 2;
    case SmKernel::BIWEIGHT: return 4;
    case SmKernel::TRIANGLE: return 1;
    case SmKernel::PARZEN: return 3;
    default: return -1;
  }
}

// The polynomial kernels' pass.
int polygrid(const double* x, const double* w, size_t n, SmKernel k, double h, double lo, double hi, size_t m,
             std::vector<double>& dens) {
  const double step = (hi - lo) / static_cast<double>(m - 1);
  // The cuts within one grid step, in steps: each offset's place modulo a step.
  std::vector<double> offs{-h, h};
  if (k == SmKernel::TRIANGLE || k == SmKernel::PARZEN) offs.push_back(0);
  if (k == SmKernel::PARZEN) offs.push_back(-h / 2), offs.push_back(h / 2);
  std::vector<double> cut;
  for (double o : offs) {
    double f = o / step - std::floor(o / step);
    if (f >= 1) f = 0;
    if (f > 0) cut.push_back(f);
  }
  std::sort(cut.begin(), cut.end());
  cut.erase(std::unique(cut.begin(), cut.end()), cut.end());
  std::vector<double> edge{0};
  edge.insert(edge.end(), cut.begin(), cut.end());
  edge.push_back(1);
  const size_t per = edge.size() - 1;  // pieces per step
  const size_t np = m * per;
  const int d = degree(k);
  const size_t D = static_cast<size_t>(d) + 1;
  std::vector<double> mid(per), M(np * D, 0);
  for (size_t p = 0; p < per; ++p) mid[p] = (edge[p] + edge[p + 1]) / 2;
  const double inv = 1 / step, sh = step / h;
  for (size_t i = 0; i < n; ++i) {
    if ((i & 1048575) == 0 && stopflag) return 1;
    const double pos = (x[i] - lo) * inv;
    double jf = std::floor(pos);
    if (jf < 0) jf = 0;
    if (jf > static_cast<double>(m - 1)) jf = static_cast<double>(m - 1);
    const double fr = pos - jf;
    size_t p = 0;
    while (p + 1 < per && fr >= edge[p + 1]) ++p;
    const double s = (fr - mid[p]) * sh;
    const double wi = w ? w[i] : 1.0;
    double* mm = &M[(static_cast<size_t>(jf) * per + p) * D];
    double t = wi;
    for (size_t q = 0; q < D; ++q) mm[q] += t, t *= s;
  }
  // Each point: the pieces whose centres lie within one bandwidth.
  const size_t reachp = static_cast<size_t>(std::ceil(h / step)) + 1;
  double a[5], der[5];
  for (size_t j = 0; j < m; ++j) {
    if ((j & 63) == 0 && stopflag) return 1;
    const size_t j0 = j > reachp ? j - reachp : 0, j1 = std::min(m - 1, j + reachp);
    double sum = 0;
    for (size_t jj = j0; jj <= j1; ++jj)
      for (size_t p = 0; p < per; ++p) {
        const double* mm = &M[(jj * per + p) * D];
        if (mm[0] == 0) continue;  // no observations (weights are positive)
        // u: the point's distance from the piece's centre, in bandwidths.
        const double u = (static_cast<double>(j) - static_cast<double>(jj) - mid[p]) * sh;
        if (!piece(k, u, a)) continue;
        // K(u - s) = sum_q (-1)^q K^(q)(u) / q! s^q
        for (int q = 0; q <= d; ++q) {
          double v = 0;
          for (int i = d; i >= q; --i) {
            double c = a[i];
            for (int r = 0; r < q; ++r) c *= static_cast<double>(i - r);
            v = v * u + c;
          }
          double f = 1;
          for (int r = 2; r <= q; ++r) f *= r;
          der[q] = (q & 1 ? -v : v) / f;
        }
        for (int q = 0; q <= d; ++q) sum += der[q] * mm[q];
      }
    dens[j] = sum;
  }
  return 0;
}

// The gaussian's pass.
int gaussgrid(const double* x, const double* w, size_t n, double h, double lo, double hi, size_t m,
              std::vector<double>& dens) {
  const double bw = h / GB;
  const double span = (hi - lo) / bw;
  if (!(span < 262144)) return -1;  // a bandwidth tiny beside the range: the caller's way
  const size_t nb = static_cast<size_t>(span) + 1;
  const size_t K1 = GK + 1;
  std::vector<double> N(nb * K1, 0);
  const double inv = 1 / bw;
  for (size_t i = 0; i < n; ++i) {
    if ((i & 1048575) == 0 && stopflag) return 1;
    const double pos = (x[i] - lo) * inv;
    double bf = std::floor(pos);
    if (bf > static_cast<double>(nb - 1)) bf = static_cast<double>(nb - 1);
    const double s = (pos - bf - 0.5) / GB;
    const double q = 0.5 * s * s;
    double t = (w ? w[i] : 1.0) * (1 - q * (1 - q * (0.5 - q * (1.0 / 6))));
    double* nn = &N[static_cast<size_t>(bf) * K1];
    for (size_t k = 0; k < K1; ++k) nn[k] += t, t *= s;
  }
  // Divide by k! once, so that each bucket's series is a plain polynomial.
  double fact = 1;
  for (size_t k = 1; k < K1; ++k) {
    fact *= static_cast<double>(k);
    for (size_t b = 0; b < nb; ++b) N[b * K1 + k] /= fact;
  }
  const double R = 38.6;
  for (size_t j = 0; j < m; ++j) {
    if ((j & 15) == 0 && stopflag) return 1;
    const double t = j == m - 1 ? hi : lo + (hi - lo) * static_cast<double>(j) / static_cast<double>(m - 1);
    const double pos = (t - lo) * inv;
    const double b0 = std::max(0.0, std::floor(pos - R * GB) - 1), b1 = std::min(static_cast<double>(nb - 1), std::ceil(pos + R * GB) + 1);
    double sum = 0;
    for (size_t b = static_cast<size_t>(b0); b <= static_cast<size_t>(b1); ++b) {
      const double* nn = &N[b * K1];
      if (nn[0] == 0) continue;
      const double u = (pos - static_cast<double>(b) - 0.5) / GB;
      if (std::fabs(u) > R) continue;
      double p = nn[GK];
      for (int k = GK - 1; k >= 0; --k) p = p * u + nn[k];
      sum += std::exp(-0.5 * u * u) * p;
    }
    dens[j] = 0.3989422804014327 * sum;
  }
  return 0;
}

}  // namespace

int sm_kdens_grid(const double* x, const double* w, size_t n, SmKernel k, double h, double lo, double hi, size_t m,
                  std::vector<double>& dens) {
  if (m < 2 || !(hi > lo) || !(h > 0)) return -1;
  dens.assign(m, 0);
  if (k == SmKernel::GAUSS) return gaussgrid(x, w, n, h, lo, hi, m, dens);
  if (degree(k) < 0) return -1;
  return polygrid(x, w, n, k, h, lo, hi, m, dens);
}
