// Group statistics from group codes (see grpacc.h). Counts, sums and
// extremes are one streaming pass over blocks of values with one slot per
// group; the standard deviation takes a second pass about the group means;
// percentiles bucket the values by group (a counting sort on the codes) and
// sort each bucket.
#include "stats/grpacc.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>

#include "data/value.h"
#include "expr/expr.h"
#include "platform/platform.h"
#include "stats/chunks.h"
#include "stats/stats.h"

bool gs_lookup(const std::string& name, int* stat, double* p) {
  static const struct {
    const char* name;
    int stat;
  } rows[] = {{"count", GS_COUNT}, {"mean", GS_MEAN},   {"sum", GS_SUM},       {"total", GS_SUM},
              {"sd", GS_SD},       {"min", GS_MIN},     {"max", GS_MAX},       {"first", GS_FIRST},
              {"last", GS_LAST},   {"firstnm", GS_FIRSTNM}, {"lastnm", GS_LASTNM}, {"iqr", GS_IQR}};
  *p = 0;
  for (const auto& r : rows)
    if (name == r.name) {
      *stat = r.stat;
      return true;
    }
  if (name == "median") {
    *stat = GS_PCTILE, *p = 50;
    return true;
  }
  if (name.size() >= 2 && name.size() <= 3 && name[0] == 'p' &&
      name.find_first_not_of("0123456789", 1) == std::string::npos) {
    const int v = std::atoi(name.c_str() + 1);
    if (v < 1 || v > 99 || name[1] == '0') return false;
    *stat = GS_PCTILE, *p = v;
    return true;
  }
  return false;
}

double gs_pctile(const double* x, const double* ws, long n, double p) {
  if (!ws) {
    const double P = static_cast<double>(n) * p / 100;
    const double r = std::round(P);
    if (r >= 1 && std::fabs(P - r) < 1e-15 * P) {
      const long k = static_cast<long>(r);
      return k < n ? (x[k - 1] + x[k]) / 2 : x[n - 1];
    }
    const long k = static_cast<long>(std::floor(P));
    return x[std::min(k, n - 1)];
  }
  double W = 0;
  for (long i = 0; i < n; ++i) W += ws[i];
  const double T = W * p / 100, tol = 1e-7 * W * 100;
  double c = 0;
  for (long i = 0; i < n; ++i) {
    c += ws[i];
    if (c >= T - tol) {
      if (std::fabs(c - T) <= tol && i + 1 < n) return (x[i] + x[i + 1]) / 2;
      return x[i];
    }
  }
  return x[n - 1];
}

namespace {

constexpr long BLK = EXPR_BLOCK;

// Percentiles and the interquartile range: values (and weights) bucketed by
// group, each bucket sorted.
int bucketed(int stat, double p, long lo, const LvCodes& code, int ngroups,
             const GsFetch& fetch, const std::vector<double>& w, std::vector<double>& out) {
  const long n = static_cast<long>(code.size());
  const bool weighted = !w.empty();
  std::vector<long> start(static_cast<size_t>(ngroups) + 1, 0);
  std::vector<double> vals;
  std::vector<int32_t> vcode;
  double x[BLK];
  for (long o = 0; o < n; o += BLK) {
    if (stopflag) return 1;
    const long m = std::min(BLK, n - o);
    fetch(lo + o, m, x);
    for (long k = 0; k < m; ++k) {
      const int32_t c = code[static_cast<size_t>(o + k)];
      if (c < 0 || x[k] >= misval) continue;
      if (weighted && !(w[static_cast<size_t>(o + k)] != 0 && w[static_cast<size_t>(o + k)] < misval)) continue;
      vals.push_back(x[k]);
      vcode.push_back(weighted ? static_cast<int32_t>(o + k) : c);
      ++start[static_cast<size_t>(c) + 1];
    }
  }
  for (int g = 0; g < ngroups; ++g) start[static_cast<size_t>(g) + 1] += start[static_cast<size_t>(g)];
  std::vector<long> pos(start.begin(), start.end() - 1);
  std::vector<std::pair<double, double>> byg(vals.size());
  for (size_t i = 0; i < vals.size(); ++i) {
    const int32_t c = weighted ? code[static_cast<size_t>(vcode[i])] : vcode[i];
    const double wi = weighted ? w[static_cast<size_t>(vcode[i])] : 1;
    byg[static_cast<size_t>(pos[static_cast<size_t>(c)]++)] = {vals[i], wi};
  }
  std::vector<double> xs, ws;
  for (int g = 0; g < ngroups; ++g) {
    if ((g & 1023) == 0 && stopflag) return 1;
    const long a = start[static_cast<size_t>(g)], b = start[static_cast<size_t>(g) + 1];
    if (a == b) {
      out[static_cast<size_t>(g)] = misval;
      continue;
    }
    std::stable_sort(byg.begin() + a, byg.begin() + b,
                     [](const auto& u, const auto& v) { return u.first < v.first; });
    xs.clear(), ws.clear();
    for (long i = a; i < b; ++i) {
      xs.push_back(byg[static_cast<size_t>(i)].first);
      ws.push_back(byg[static_cast<size_t>(i)].second);
    }
    const double* wp = weighted ? ws.data() : nullptr;
    if (stat == GS_IQR)
      out[static_cast<size_t>(g)] = gs_pctile(xs.data(), wp, b - a, 75) - gs_pctile(xs.data(), wp, b - a, 25);
    else
      out[static_cast<size_t>(g)] = gs_pctile(xs.data(), wp, b - a, p);
  }
  return 0;
}

}  // namespace

int gs_compute(int stat, double p, long lo, const LvCodes& code, int ngroups,
               const GsFetch& fetch, const std::vector<double>& w, char wkind, std::vector<double>& out,
               bool threads) {
  const long n = static_cast<long>(code.size());
  const size_t G = static_cast<size_t>(ngroups);
  out.assign(G, misval);
  if (stat == GS_PCTILE || stat == GS_IQR) return bucketed(stat, p, lo, code, ngroups, fetch, w, out);
  const bool weighted = !w.empty();
  // Long ranges are reduced by fixed halves (the second on the helper thread
  // when `threads`) with figures of their own, combined in order below: the
  // results are those of one thread doing both halves.
  const int nh = st_nhalves(0, n - 1);
  // `part` gets each block of a half's values: x[0..m) are those of offset
  // o (from lo) on.
  auto halves = [&](const std::function<void(long h, long o, long m, const double* x)>& part) {
    return st_halves(0, n - 1, threads, [&](long h, long o0, long o1) {
      double x[BLK];
      for (long o = o0; o <= o1; o += BLK) {
        if ((o - o0) % (BLK * 64) == 0 && stopflag) return 1;
        const long m = std::min(BLK, o1 + 1 - o);
        fetch(lo + o, m, x);
        part(h, o, m, x);
      }
      return 0;
    });
  };
  if (stat == GS_FIRST || stat == GS_LAST || stat == GS_FIRSTNM || stat == GS_LASTNM) {
    const bool nm = stat == GS_FIRSTNM || stat == GS_LASTNM;
    const bool last = stat == GS_LAST || stat == GS_LASTNM;
    std::vector<double> hv[2];
    std::vector<char> set[2];
    for (int h = 0; h < nh; ++h) hv[h].assign(G, misval), set[h].assign(G, 0);
    if (halves([&](long h, long o, long m, const double* x) {
          double* r = hv[h].data();
          char* st = set[h].data();
          for (long k = 0; k < m; ++k) {
            const int32_t c = code[static_cast<size_t>(o + k)];
            if (c < 0 || (nm && x[k] >= misval) || (!last && st[c])) continue;
            r[c] = x[k];
            st[c] = 1;
          }
        }))
      return 1;
    // the first half's first unless it has none; the second half's last unless it has none
    for (size_t g = 0; g < G; ++g) {
      const int h = nh == 1 ? 0 : last ? (set[1][g] ? 1 : 0) : (set[0][g] ? 0 : 1);
      out[g] = hv[h][g];
    }
    return 0;
  }
  if (stat == GS_MIN || stat == GS_MAX) {
    const bool mx = stat == GS_MAX;
    std::vector<double> hv[2];
    for (int h = 0; h < nh; ++h) hv[h].assign(G, misval);
    if (halves([&](long h, long o, long m, const double* x) {
          double* rr = hv[h].data();
          for (long k = 0; k < m; ++k) {
            const int32_t c = code[static_cast<size_t>(o + k)];
            if (c < 0 || x[k] >= misval) continue;
            double& r = rr[c];
            if (r >= misval || (mx ? x[k] > r : x[k] < r)) r = x[k];
          }
        }))
      return 1;
    // the second half's extreme replaces the first's only when strictly beyond
    // it, so that of equal extremes the earlier is kept, as in one pass
    out = hv[0];
    for (size_t g = 0; g < G && nh == 2; ++g) {
      const double v = hv[1][g];
      double& r = out[g];
      if (v < misval && (r >= misval || (mx ? v > r : v < r))) r = v;
    }
    return 0;
  }
  // count, sum, mean, sd: weighted counts and sums in one pass.
  struct Sums {
    std::vector<double> W, S, SS;
    std::vector<long> N;
  } hs[2];
  for (int h = 0; h < nh; ++h) hs[h].W.assign(G, 0), hs[h].S.assign(G, 0), hs[h].N.assign(G, 0);
  if (halves([&](long h, long o, long m, const double* x) {
        double *Sp = hs[h].S.data(), *Wp = hs[h].W.data();
        long* Np = hs[h].N.data();
        const int32_t* cp = code.data() + o;
        if (!weighted) {
          for (long k = 0; k < m; ++k) {
            const int32_t c = cp[k];
            if (c < 0 || x[k] >= misval) continue;
            Sp[c] += x[k];
            ++Np[c];
          }
          return;
        }
        for (long k = 0; k < m; ++k) {
          const int32_t c = cp[k];
          const double wi = w[static_cast<size_t>(o + k)];
          if (c < 0 || x[k] >= misval || ismissing(wi) || wi == 0) continue;
          Sp[c] += wi * x[k];
          Wp[c] += wi;
          ++Np[c];
        }
      }))
    return 1;
  std::vector<double>& W = hs[0].W;
  std::vector<double>& S = hs[0].S;
  std::vector<long>& N = hs[0].N;
  for (size_t g = 0; g < G && nh == 2; ++g) S[g] += hs[1].S[g], W[g] += hs[1].W[g], N[g] += hs[1].N[g];
  if (!weighted)
    for (size_t g = 0; g < G; ++g) W[g] = static_cast<double>(N[g]);
  // Analytic and sampling weights are rescaled within each group to sum to
  // its number of observations, so a total is N times the weighted mean and a
  // count is the number of observations; frequency and importance weights
  // count as given.
  const bool rescale = wkind == WK_A || wkind == WK_P;
  for (size_t g = 0; g < G; ++g) {
    switch (stat) {
      case GS_COUNT: out[g] = wkind == WK_F || wkind == WK_I ? W[g] : static_cast<double>(N[g]); break;
      case GS_SUM:
        out[g] = rescale && W[g] != 0 ? S[g] * static_cast<double>(N[g]) / W[g] : S[g];
        break;
      default: out[g] = N[g] > 0 && W[g] != 0 ? S[g] / W[g] : misval; break;
    }
  }
  if (stat != GS_SD) return 0;
  const std::vector<double> mean = out;
  for (int h = 0; h < nh; ++h) hs[h].SS.assign(G, 0);
  if (halves([&](long h, long o, long m, const double* x) {
        double* SSp = hs[h].SS.data();
        for (long k = 0; k < m; ++k) {
          const int32_t c = code[static_cast<size_t>(o + k)];
          if (c < 0 || x[k] >= misval) continue;
          const double wi = weighted ? w[static_cast<size_t>(o + k)] : 1;
          if (ismissing(wi) || wi == 0) continue;
          const double d = x[k] - mean[static_cast<size_t>(c)];
          SSp[c] += wi * d * d;
        }
      }))
    return 1;
  std::vector<double>& SS = hs[0].SS;
  for (size_t g = 0; g < G && nh == 2; ++g) SS[g] += hs[1].SS[g];
  for (size_t g = 0; g < G; ++g) {
    const double Nn = wkind == WK_F ? W[g] : static_cast<double>(N[g]);
    double div;
    switch (wkind) {
      case WK_NONE: div = Nn - 1; break;
      case WK_A:
      case WK_P: div = W[g] * (Nn - 1) / Nn; break;
      default: div = W[g] - 1; break;
    }
    out[g] = Nn > 1 && div > 0 ? std::sqrt(SS[g] / div) : misval;
  }
  return 0;
}
