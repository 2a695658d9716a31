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
// The gaussian: buckets h/32 wide hold M_k = sum w t^k (t the distance
// from the bucket's centre in bucket widths, k <= 9); since
// phi(u - s) = phi(u) sum_k He_k(u) s^k / k! (He the Hermite polynomials),
// a bucket adds phi(u) sum_k He_k(u) M_k / (32^k k!) to a point u
// bandwidths from its centre, cut after the 9th term: relative error below
// 1e-8 of each bucket's share within the kernel's reach of 38.6 bandwidths.
#include <algorithm>
#include <cmath>
#include <type_traits>
#include <vector>

#include "platform/platform.h"
#include "stats/smooth.h"

namespace {

constexpr int GK = 9;         // the gaussian series' last power
constexpr double GB = 32;     // gaussian buckets per bandwidth

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
  const size_t ncut = cut.size();
  const size_t jmax = m - 1;
  auto pass = [&](auto weighted, auto deg) {
    constexpr size_t DD = decltype(deg)::value + 1;
    for (size_t i0 = 0; i0 < n; i0 += 1048576) {
      if (stopflag) return 1;
      const size_t i1 = std::min(n, i0 + 1048576);
      for (size_t i = i0; i < i1; ++i) {
        const double pos = (x[i] - lo) * inv;  // >= 0: lo is the minimum
        const size_t j = std::min(static_cast<size_t>(pos), jmax);
        const double fr = pos - static_cast<double>(j);
        size_t p = 0;
        for (size_t c = 0; c < ncut; ++c) p += fr >= cut[c];
        const double sv = (fr - mid[p]) * sh;
        double* mm = &M[(j * per + p) * DD];
        double t = 1;
        if constexpr (decltype(weighted)::value) t = w[i];
        for (size_t q = 0; q < DD; ++q) mm[q] += t, t *= sv;
      }
    }
    return 0;
  };
  auto bydeg = [&](auto weighted) {
    switch (d) {
      case 1: return pass(weighted, std::integral_constant<size_t, 1>{});
      case 2: return pass(weighted, std::integral_constant<size_t, 2>{});
      case 3: return pass(weighted, std::integral_constant<size_t, 3>{});
      default: return pass(weighted, std::integral_constant<size_t, 4>{});
    }
  };
  if (w ? bydeg(std::true_type{}) : bydeg(std::false_type{})) return 1;
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
  auto pass = [&](auto weighted) {
    for (size_t i0 = 0; i0 < n; i0 += 1048576) {
      if (stopflag) return 1;
      const size_t i1 = std::min(n, i0 + 1048576);
      for (size_t i = i0; i < i1; ++i) {
        const double pos = (x[i] - lo) * inv;  // >= 0: lo is the minimum
        const size_t b = std::min(static_cast<size_t>(pos), nb - 1);
        const double t = pos - static_cast<double>(b) - 0.5;
        double wi = 1;
        if constexpr (decltype(weighted)::value) wi = w[i];
        // The powers of t as a shallow tree rather than one long chain.
        const double t2 = t * t, t3 = t2 * t, t4 = t2 * t2, t6 = t3 * t3, t8 = t4 * t4;
        double* nn = &N[b * K1];
        nn[0] += wi, nn[1] += wi * t, nn[2] += wi * t2, nn[3] += wi * t3, nn[4] += wi * t4;
        nn[5] += wi * t4 * t, nn[6] += wi * t6, nn[7] += wi * t6 * t, nn[8] += wi * t8, nn[9] += wi * t8 * t;
      }
    }
    return 0;
  };
  static_assert(GK == 9, "the pass writes ten powers");
  if (w ? pass(std::true_type{}) : pass(std::false_type{})) return 1;
  // Scale by 1 / (GB^k k!) once, for the series in bandwidths.
  double fact = 1;
  for (size_t k = 1; k < K1; ++k) {
    fact *= static_cast<double>(k) * GB;
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
      // sum_k He_k(u) N_k, He_0 = 1, He_1 = u, He_k+1 = u He_k - k He_k-1
      double h0 = 1, h1 = u, p = nn[0] + u * nn[1];
      for (int k = 1; k < GK; ++k) {
        const double h2 = u * h1 - k * h0;
        p += h2 * nn[k + 1];
        h0 = h1, h1 = h2;
      }
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
