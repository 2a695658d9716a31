// Kernel density estimates and lowess smoothing (see smooth.h). Both work
// on the sample sorted or bucketed by value so that each evaluation visits
// only the observations within reach: a density point those within one
// bandwidth (38.6 for the gaussian, past which its weight underflows), a
// lowess fit its window of nearest neighbours.
#include "stats/smooth.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <numeric>

#include "platform/platform.h"
#include "stats/accum.h"

namespace {

// How far (in bandwidths) a kernel reaches.
double reach(SmKernel k) { return k == SmKernel::GAUSS ? 38.6 : 1.0; }

}  // namespace

bool sm_kernel(const std::string& word, SmKernel* k) {
  static const struct {
    const char* name;
    SmKernel k;
  } tab[] = {{"epanechnikov", SmKernel::EPAN}, {"gaussian", SmKernel::GAUSS},   {"biweight", SmKernel::BIWEIGHT},
             {"triangle", SmKernel::TRIANGLE}, {"rectangle", SmKernel::RECTANGLE}, {"cosine", SmKernel::COSINE},
             {"parzen", SmKernel::PARZEN}};
  if (word.size() < 3) return false;
  for (const auto& e : tab)
    if (std::string(e.name).compare(0, word.size(), word) == 0) {
      *k = e.k;
      return true;
    }
  return false;
}

const char* sm_kernelname(SmKernel k) {
  switch (k) {
    case SmKernel::EPAN: return "epanechnikov";
    case SmKernel::GAUSS: return "gaussian";
    case SmKernel::BIWEIGHT: return "biweight";
    case SmKernel::TRIANGLE: return "triangle";
    case SmKernel::RECTANGLE: return "rectangle";
    case SmKernel::COSINE: return "cosine";
    case SmKernel::PARZEN: return "parzen";
  }
  return "";
}

double sm_kernelvalue(SmKernel k, double u) {
  const double a = std::fabs(u);
  if (k == SmKernel::GAUSS) return a > 38.6 ? 0.0 : 0.3989422804014327 * std::exp(-0.5 * u * u);
  if (a > 1) return 0;
  switch (k) {
    case SmKernel::EPAN: return 0.75 * (1 - u * u);
    case SmKernel::BIWEIGHT: {
      const double t = 1 - u * u;
      return 0.9375 * t * t;
    }
    case SmKernel::TRIANGLE: return 1 - a;
    case SmKernel::RECTANGLE: return 0.5;
    case SmKernel::COSINE: return 0.7853981633974483 * std::cos(1.5707963267948966 * u);
    case SmKernel::PARZEN:
      return a <= 0.5 ? 4.0 / 3 - 8 * u * u + 8 * a * a * a : 8.0 / 3 * (1 - a) * (1 - a) * (1 - a);
    case SmKernel::GAUSS: break;
  }
  return 0;
}

int sm_kdens(const double* x, const double* w, size_t n, SmKernel k, double h, const std::vector<double>& at,
             std::vector<double>& dens) {
  dens.assign(at.size(), 0);
  if (n == 0 || !(h > 0)) return 0;
  const auto [mnit, mxit] = std::minmax_element(x, x + n);
  const double lo = *mnit, hi = *mxit;
  double W = 0;
  if (!w) {
    W = static_cast<double>(n);
  } else {
    Accum a;
    for (size_t i = 0; i < n; ++i) a.add(w[i]);
    W = a.value();
  }
  // Evenly spaced points and a kernel of finite support: each observation
  // adds to the few points within one bandwidth of it, in one pass.
  const size_t m = at.size();
  // The grid of n() points (or given points that are one): evenly spaced
  // from the minimum to the maximum.
  bool grid = m >= 2 && at[0] == lo && at[m - 1] == hi && hi > lo;
  for (size_t j = 1; grid && j + 1 < m; ++j)
    grid = std::fabs(at[j] - (lo + (hi - lo) * static_cast<double>(j) / static_cast<double>(m - 1))) <= 1e-12 * (hi - lo);
  if (grid) {
    std::vector<double> g;
    const int rc = sm_kdens_grid(x, w, n, k, h, lo, hi, m, g);
    if (rc == 1) return 1;
    if (rc == 0) {
      for (size_t j = 0; j < m; ++j) dens[j] = g[j] / (h * W);
      return 0;
    }
  }
  if (k != SmKernel::GAUSS && grid) {
    const double step = (hi - lo) / static_cast<double>(m - 1);
    const double inv = 1 / h;
    for (size_t i = 0; i < n; ++i) {
      if ((i & 1048575) == 0 && stopflag) return 1;
      const double xi = x[i], wi = w ? w[i] : 1.0;
      const double a = std::floor((xi - h - lo) / step) - 1, b = std::ceil((xi + h - lo) / step) + 1;
      const size_t j0 = a < 0 ? 0 : static_cast<size_t>(a);
      const size_t j1 = b > static_cast<double>(m - 1) ? m - 1 : static_cast<size_t>(b);
      for (size_t j = j0; j <= j1; ++j) dens[j] += wi * sm_kernelvalue(k, (at[j] - xi) * inv);
    }
    for (double& v : dens) v /= h * W;
    return 0;
  }
  // Buckets of width h/4 hold the observations in value order (a counting
  // sort); a point then visits the buckets within its kernel's reach.
  const double R = reach(k);
  const double bw = h / 4;
  const double span = (hi - lo) / bw;
  const size_t nb = span < 4.0 * static_cast<double>(n) + 16 ? static_cast<size_t>(span) + 1 : 4 * n + 16;
  const double scale = static_cast<double>(nb) / (hi - lo > 0 ? hi - lo : 1) * (1 - 1e-12);
  auto bucket = [&](double v) {
    const double b = (v - lo) * scale;
    return b <= 0 ? size_t{0} : b >= static_cast<double>(nb - 1) ? nb - 1 : static_cast<size_t>(b);
  };
  std::vector<size_t> start(nb + 1, 0);
  for (size_t i = 0; i < n; ++i) ++start[bucket(x[i]) + 1];
  std::partial_sum(start.begin(), start.end(), start.begin());
  // (Left uninitialised: every element is written by the fill below.)
  std::unique_ptr<double[]> xbuf(new double[n]), wbuf(w ? new double[n] : nullptr);
  double* const xs = xbuf.get();
  double* const ws = wbuf.get();
  {
    std::vector<size_t> fill(start.begin(), start.end() - 1);
    for (size_t i = 0; i < n; ++i) {
      const size_t b = fill[bucket(x[i])]++;
      xs[b] = x[i];
      if (ws) ws[b] = w[i];
    }
  }
  const double inv = 1 / h;
  // The sum of the kernel over observations i0..i1-1 for the point t, each
  // kernel's loop written out so that it vectorises.
  auto windowsum = [&](size_t i0, size_t i1, double t) {
    const double* xp = xs;
    const double* wp = ws;
    auto run = [&](auto kf) {
      double s0 = 0, s1 = 0;
      size_t i = i0;
      if (wp) {
        for (; i < i1; ++i) s0 += wp[i] * kf((t - xp[i]) * inv);
      } else {
        for (; i + 1 < i1; i += 2) s0 += kf((t - xp[i]) * inv), s1 += kf((t - xp[i + 1]) * inv);
        for (; i < i1; ++i) s0 += kf((t - xp[i]) * inv);
      }
      return s0 + s1;
    };
    switch (k) {
      case SmKernel::EPAN: return 0.75 * run([](double u) { return std::max(0.0, 1 - u * u); });
      case SmKernel::BIWEIGHT:
        return 0.9375 * run([](double u) {
          const double v = std::max(0.0, 1 - u * u);
          return v * v;
        });
      case SmKernel::TRIANGLE: return run([](double u) { return std::max(0.0, 1 - std::fabs(u)); });
      case SmKernel::RECTANGLE: return 0.5 * run([](double u) { return std::fabs(u) <= 1 ? 1.0 : 0.0; });
      case SmKernel::GAUSS: return 0.3989422804014327 * run([](double u) { return std::exp(-0.5 * u * u); });
      default: return run([&](double u) { return sm_kernelvalue(k, u); });
    }
  };
  // The gaussian reaches far: its sum grows ring by ring until what the
  // observations outside could add is below 1e-13 of it.
  static const double rings[] = {8.5, 12, 17, 25, 38.6};
  for (size_t j = 0; j < at.size(); ++j) {
    if ((j & 63) == 0 && stopflag) return 1;
    const double t = at[j];
    if (t + R * h < lo || t - R * h > hi) continue;
    double s = 0;
    if (k != SmKernel::GAUSS) {
      s = windowsum(start[bucket(t - h)], start[bucket(t + h) + 1], t);
    } else {
      size_t a0 = 0, a1 = 0;  // observations summed so far: [a0, a1)
      for (double r : rings) {
        const size_t i0 = start[bucket(t - r * h)], i1 = start[bucket(t + r * h) + 1];
        if (a1 == a0) {
          s = windowsum(i0, i1, t);
        } else {
          s += windowsum(i0, a0, t) + windowsum(a1, i1, t);
        }
        a0 = i0, a1 = i1;
        const double rest = static_cast<double>(n - (a1 - a0)) * std::exp(-0.5 * r * r);
        if (rest <= 1e-13 * s || a1 - a0 == n) break;
      }
    }
    dens[j] = s / (h * W);
  }
  return 0;
}

int sm_lowess(const std::vector<double>& x, const std::vector<double>& y, double bwidth, bool mean, bool noweight,
              std::vector<double>& fit) {
  const size_t n = x.size();
  fit.assign(n, 0);
  if (n == 0) return 0;
  std::vector<size_t> ord(n);
  std::iota(ord.begin(), ord.end(), size_t{0});
  std::stable_sort(ord.begin(), ord.end(), [&](size_t a, size_t b) { return x[a] < x[b]; });
  std::vector<double> xs(n), ys(n);
  for (size_t i = 0; i < n; ++i) xs[i] = x[ord[i]], ys[i] = y[ord[i]];
  double kk = std::ceil(bwidth * static_cast<double>(n) - 1e-9);
  const size_t k = static_cast<size_t>(std::clamp(kk, 1.0, static_cast<double>(n)));
  // The window [l, l + k) of the k nearest neighbours slides right with i.
  size_t l = 0;
  for (size_t i = 0; i < n; ++i) {
    if ((i & 1023) == 0 && stopflag) return 1;
    const double xi = xs[i];
    while (l + k < n && xs[l + k] - xi < xi - xs[l]) ++l;
    const double d = std::max(xi - xs[l], xs[l + k - 1] - xi);  // distance to the farthest of them
    // Every observation within d counts (ties at the edge included).
    size_t a = l, b = l + k;
    while (a > 0 && xi - xs[a - 1] <= d) --a;
    while (b < n && xs[b] - xi <= d) ++b;
    Accum sw, sx, sy;
    std::vector<double> wt(b - a);
    for (size_t j = a; j < b; ++j) {
      double wj = 1;
      if (!noweight) {
        const double r = d > 0 ? std::fabs(xs[j] - xi) / d : 0;
        const double c = r < 1 ? 1 - r * r * r : 0;
        wj = c * c * c;
      }
      wt[j - a] = wj;
      sw.add(wj);
      sx.add(wj * xs[j]);
      sy.add(wj * ys[j]);
    }
    const double W = sw.value();
    const double mx = sx.value() / W, my = sy.value() / W;
    double f = my;
    if (!mean) {
      Accum sxx, sxy;
      for (size_t j = a; j < b; ++j) {
        const double dx = xs[j] - mx;
        sxx.add(wt[j - a] * dx * dx);
        sxy.add(wt[j - a] * dx * (ys[j] - my));
      }
      const double vx = sxx.value();
      if (vx > 0) f = my + sxy.value() / vx * (xi - mx);
    }
    fit[ord[i]] = f;
  }
  return 0;
}
