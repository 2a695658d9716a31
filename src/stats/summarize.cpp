// summarize: count, weighted mean, standard deviation, minimum and maximum of
// each variable of a list (one row each), or the detailed display with
// percentiles, extremes and moments; the last variable's figures go to r().
// Sums are compensated; percentiles come from a selection, not a full sort.
#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "data/store.h"
#include "data/by.h"
#include "data/cmd/datacmds.h"
#include "data/varlist.h"
#include "expr/expr.h"
#include "interp/cmdtab.h"
#include "output/errors.h"
#include "output/format.h"
#include "output/output.h"
#include "platform/platform.h"
#include "stats/accum.h"
#include "stats/chunks.h"
#include "stats/post.h"
#include "stats/stats.h"

namespace {

constexpr long BLK = EXPR_BLOCK;  // observations gathered at a time

// Calls body(obs, m, m4) on the blocks of at most BLK observations of
// c0..c1 (m4 is m rounded up to a multiple of 4, the width the passes add
// in); the first nonzero code of body, or 1 on a Break.
template <class F>
int eachblock(long c0, long c1, F body) {
  for (long obs = c0; obs <= c1; obs += BLK) {
    if (stopflag) return 1;
    const long m = std::min(BLK, c1 - obs + 1);
    if (int rc = body(obs, m, (m + 3) & ~3L)) return rc;
  }
  return 0;
}

struct SuOpts {
  bool detail = false;    // the detailed display
  bool meanonly = false;  // compute without printing
  bool fmt = false;       // the variable's display format for the numbers
  int sep = 5;            // a divider every sep variables (0 none)
  bool wcol = false;      // a weight column (aweight, iweight)
  bool show = true;       // rows are printed
};

// The figures of one variable.
struct SuFig {
  long n = 0;              // observations used
  double N = 0;            // reported count (W rounded for fweights)
  double W = 0, S = 0;     // sum of weights, weighted sum
  double min = 0, max = 0;
  double mean = misval, var = misval, sd = misval;
  double skew = misval, kurt = misval;
  double pct[9];           // 1 5 10 25 50 75 90 95 99
  double small[4], large[4];
  bool detail = false;     // the detail figures are set
};

typedef long long st_i4 __attribute__((vector_size(32)));  // lane counts and masks

const int pctval[9] = {1, 5, 10, 25, 50, 75, 90, 95, 99};

// u[k] = 1 for a used observation, wb[k] its weight (1 unweighted), both 0
// otherwise; the block is padded with zeros to a multiple of 4. check: apply
// the weight rules (codes 401/402, returned unprinted).
int usemask(const StSample& s, long obs, long m, const double* x, double* u, double* wb,
            bool check) {
  const long off = obs - s.lo;
  for (long k = 0; k < m; ++k) {
    bool use = x[k] < misval && s.selected(obs + k);
    double w = 1;
    if (use && s.wkind) {
      w = s.w[static_cast<size_t>(off + k)];
      if (check) {
        if (int rc = st_weightrule(s.wkind, w, &use)) return rc;
      } else {
        use = !ismissing(w) && w != 0;
      }
    }
    u[k] = use ? 1 : 0;
    wb[k] = use ? w : 0;
  }
  for (long k = m; k % 4; ++k) u[k] = wb[k] = 0;
  return 0;
}

// The first pass's running figures.
struct Pass1 {
  Accum4 W, S;
  st_v4 n = {0, 0, 0, 0};
  st_v4 mn = {HUGE_VAL, HUGE_VAL, HUGE_VAL, HUGE_VAL};
  st_v4 mx = {-HUGE_VAL, -HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
};

// Adds m (a multiple of 4) observations with their use mask and weights. The
// running figures are kept in locals so that they stay in registers.
ST_CLONES
void pass1_masked(Pass1& st, const double* x, const double* u, const double* wb, long m,
                  bool weighted) {
  const st_v4 zero = {0, 0, 0, 0}, big = zero + HUGE_VAL;
  Accum4 W = st.W, S = st.S;
  st_v4 n = st.n, mn = st.mn, mx = st.mx;
  for (long k = 0; k < m; k += 4) {
    const st_v4 xv = acc_ld4(x + k), uv = acc_ld4(u + k);
    const auto used = uv > zero;
    n += uv;
    if (weighted) {
      const st_v4 wv = acc_ld4(wb + k);
      W.add(wv);
      S.add(used ? wv * xv : zero);
    } else {
      S.add(used ? xv : zero);
    }
    // The candidates do not depend on the running extremes, so each extreme
    // is one min or max a step (the same choice as testing use first).
    const st_v4 lo = used ? xv : big, hi = used ? xv : -big;
    mn = lo < mn ? lo : mn;
    mx = hi > mx ? hi : mx;
  }
  st.W = W, st.S = S, st.n = n, st.mn = mn, st.mx = mx;
}

// The same without selection or weights: an observation is used when its
// value is not missing. m is a multiple of 4 (padding holds missing values).
ST_CLONES
void pass1_dense(Pass1& st, const double* x, long m) {
  const st_v4 zero = {0, 0, 0, 0}, mv = zero + misval, big = zero + HUGE_VAL;
  Accum4 S = st.S;
  st_v4 mn = st.mn, mx = st.mx;
  // The counts are kept as integers (a true comparison is -1), which leaves
  // the floating-point adders to the sum.
  st_i4 cnt = {0, 0, 0, 0};
  for (long k = 0; k < m; k += 4) {
    const st_v4 xv = acc_ld4(x + k);
    const st_i4 used = xv < mv;
    cnt -= used;
    S.add(used ? xv : zero);
    mn = xv < mn ? xv : mn;
    // the candidate does not depend on the running maximum: one max a step
    const st_v4 hi = used ? xv : -big;
    mx = hi > mx ? hi : mx;
  }
  st.n += __builtin_convertvector(cnt, st_v4);
  st.S = S, st.mn = mn, st.mx = mx;
}

// The second pass: sums of w d^2 (compensated), w d^3 and w d^4 about mean.
struct Pass2 {
  Accum4 d2;
  st_v4 d3 = {0, 0, 0, 0}, d4 = {0, 0, 0, 0};
};

// Adds m (a multiple of 4) observations with their use mask and weights.
ST_CLONES
void pass2_add(Pass2& st, const double* x, const double* u, const double* wb, long m, double mean,
               bool weighted, bool higher) {
  const st_v4 zero = {0, 0, 0, 0};
  const st_v4 mv = zero + mean;
  Accum4 d2 = st.d2;
  st_v4 d3 = st.d3, d4 = st.d4;
  for (long k = 0; k < m; k += 4) {
    const st_v4 xv = acc_ld4(x + k);
    const st_v4 d = acc_ld4(u + k) > zero ? xv - mv : zero;
    const st_v4 wd = weighted ? acc_ld4(wb + k) * d : d;
    const st_v4 q = wd * d;
    d2.add(q);
    if (higher) {
      d3 += q * d;
      d4 += q * d * d;
    }
  }
  st.d2 = d2, st.d3 = d3, st.d4 = d4;
}

// The same without selection or weights and without the higher powers: the
// terms are squares, never negative. m is a multiple of 4 (padding holds
// missing values).
ST_CLONES
void pass2_dense(Pass2& st, const double* x, long m, double mean) {
  const st_v4 zero = {0, 0, 0, 0};
  const st_v4 mv = zero + mean, miss = zero + misval;
  Accum4 d2 = st.d2;
  for (long k = 0; k < m; k += 4) {
    const st_v4 xv = acc_ld4(x + k);
    const st_v4 d = xv < miss ? xv - mv : zero;
    d2.addnonneg(d * d);
  }
  st.d2 = d2;
}

double hsum(st_v4 v) { return (v[0] + v[1]) + (v[2] + v[3]); }

// Chooses ranks (0-based, sorted, unique) of x[first..last) by recursive
// selection: the values at those ranks end up in place.
void multiselect(double* x, long first, long last, const long* r, int nr) {
  if (nr <= 0 || last - first < 2) return;
  const int mid = nr / 2;
  const long k = r[mid];
  std::nth_element(x + first, x + k, x + last);
  multiselect(x, first, k, r, mid);
  multiselect(x, k + 1, last, r + mid + 1, nr - mid - 1);
}

// Percentiles, four smallest and four largest of the used values xs (with
// weights ws when weighted); the order of xs is changed.
void detailfig(std::vector<double>& xs, std::vector<double>& ws, bool weighted, SuFig& f) {
  const long n = static_cast<long>(xs.size());
  for (int j = 0; j < 4; ++j) f.small[j] = f.large[j] = misval;
  f.detail = true;
  if (n == 0) {
    for (double& p : f.pct) p = misval;
    return;
  }
  if (weighted) {
    std::vector<long> idx(static_cast<size_t>(n));
    for (long i = 0; i < n; ++i) idx[static_cast<size_t>(i)] = i;
    std::stable_sort(idx.begin(), idx.end(), [&](long a, long b) {
      return xs[static_cast<size_t>(a)] < xs[static_cast<size_t>(b)];
    });
    std::vector<double> sx(static_cast<size_t>(n)), cw(static_cast<size_t>(n));
    Accum c;
    for (long i = 0; i < n; ++i) {
      sx[static_cast<size_t>(i)] = xs[static_cast<size_t>(idx[static_cast<size_t>(i)])];
      c.add(ws[static_cast<size_t>(idx[static_cast<size_t>(i)])]);
      cw[static_cast<size_t>(i)] = c.value();
    }
    const double W = cw[static_cast<size_t>(n - 1)];
    const double tol = 1e-7 * W * 100;
    for (int j = 0; j < 9; ++j) {
      const double T = W * pctval[j] / 100;
      long i = 0;
      while (i < n - 1 && cw[static_cast<size_t>(i)] < T - tol) ++i;
      double v = sx[static_cast<size_t>(i)];
      if (std::fabs(cw[static_cast<size_t>(i)] - T) <= tol && i + 1 < n)
        v = (v + sx[static_cast<size_t>(i + 1)]) / 2;
      f.pct[j] = v;
    }
    for (int j = 0; j < 4 && j < n; ++j) {
      f.small[j] = sx[static_cast<size_t>(j)];
      f.large[j] = sx[static_cast<size_t>(n - 1 - j)];
    }
    return;
  }
  // Unweighted: the ranks needed (0-based) for each percentile and extreme.
  long pk[9][2];
  std::vector<long> ranks;
  for (int j = 0; j < 9; ++j) {
    const double P = static_cast<double>(n) * pctval[j] / 100;
    const double r = std::round(P);
    if (r >= 1 && std::fabs(P - r) < 1e-15 * P) {
      pk[j][0] = static_cast<long>(r) - 1;
      pk[j][1] = std::min(static_cast<long>(r), n - 1);
    } else {
      pk[j][0] = pk[j][1] = static_cast<long>(std::floor(P));
    }
    ranks.push_back(pk[j][0]);
    ranks.push_back(pk[j][1]);
  }
  for (long j = 0; j < 4 && j < n; ++j) {
    ranks.push_back(j);
    ranks.push_back(n - 1 - j);
  }
  std::sort(ranks.begin(), ranks.end());
  ranks.erase(std::unique(ranks.begin(), ranks.end()), ranks.end());
  multiselect(xs.data(), 0, n, ranks.data(), static_cast<int>(ranks.size()));
  for (int j = 0; j < 9; ++j)
    f.pct[j] = (xs[static_cast<size_t>(pk[j][0])] + xs[static_cast<size_t>(pk[j][1])]) / 2;
  for (long j = 0; j < 4 && j < n; ++j) {
    f.small[j] = xs[static_cast<size_t>(j)];
    f.large[j] = xs[static_cast<size_t>(n - 1 - j)];
  }
}

// The figures of every chunk, kept as bytes: the lane vectors need an
// alignment that the heap does not promise them here.
template <class P>
struct Slots {
  std::vector<std::array<unsigned char, sizeof(P)>> b;
  explicit Slots(size_t n) : b(n) {}
  void put(size_t k, const P& p) { std::memcpy(b[k].data(), &p, sizeof p); }
  P get(size_t k) const {
    P p;
    std::memcpy(static_cast<void*>(&p), b[k].data(), sizeof p);
    return p;
  }
};

// Folds the figures of a later chunk into p (lane by lane, so that one
// chunk alone is left as it is).
void merge1(Pass1& p, const Pass1& q) {
  p.W.add(q.W.s), p.W.add(q.W.c);
  p.S.add(q.S.s), p.S.add(q.S.c);
  p.n += q.n;
  p.mn = q.mn < p.mn ? q.mn : p.mn;
  p.mx = q.mx > p.mx ? q.mx : p.mx;
}
void merge2(Pass2& p, const Pass2& q) {
  p.d2.add(q.d2.s), p.d2.add(q.d2.c);
  p.d3 += q.d3, p.d4 += q.d4;
}

// The figures of list entry e over the sample. 0, 1 (Break), 401 or 402
// (printed). The passes over the observations run by fixed chunks (see
// stats/chunks.h), on two threads where the data are large, except for the
// detailed display, which keeps every used value in order.
int figures(int e, const StSample& s, const SuOpts& o, SuFig& f) {
  f = SuFig{};
  const int v = vl.varlist_vr[static_cast<size_t>(e)];
  if (isstrtype(vartype(v))) return 0;
  const bool weighted = s.wkind != WK_NONE;
  std::vector<double> xs, ws;
  // Without if or weights on a plain variable the column is read in place
  // (doubles) or decoded a block at a time, and the mask comes from the values.
  const bool dense = s.sel.empty() && !weighted && st_plainentry(e);
  const bool inplace = dense && vartype(v) == ST_DOUBLE;
  // Two passes over one column pay for the helper from half the usual length.
  const long minobs = !o.detail && st_plainentry(e) ? st_parmin(2) : LONG_MAX;
  auto densevals = [&](long obs, long m, double* x) -> const double* {
    if (inplace && m % 4 == 0) return reinterpret_cast<const double*>(colview(v).at(obs));
    st_gather(e, obs, m, x);
    for (long k = m; k % 4; ++k) x[k] = misval;
    return x;
  };
  if (dense && o.detail) xs.reserve(static_cast<size_t>(s.hi - s.lo + 1));
  const size_t nk = static_cast<size_t>(st_nchunks(s.lo, s.hi));
  Slots<Pass1> p1k(nk);
  int rc = st_chunks(s.lo, s.hi, minobs, [&](long k, long c0, long c1) {
    alignas(32) double x[BLK + 4], u[BLK + 4], wb[BLK + 4];
    Pass1 p1;
    const int rc1 = eachblock(c0, c1, [&](long obs, long m, long m4) {
      if (dense) {
        const double* xv = densevals(obs, m, x);
        pass1_dense(p1, xv, m4);
        if (o.detail)
          for (long j = 0; j < m; ++j)
            if (xv[j] < misval) xs.push_back(xv[j]);
        return 0;
      }
      st_gather(e, obs, m, x);
      if (int rcm = usemask(s, obs, m, x, u, wb, true)) return rcm;
      for (long j = m; j < m4; ++j) x[j] = 0;
      pass1_masked(p1, x, u, wb, m4, weighted);
      if (o.detail)
        for (long j = 0; j < m; ++j)
          if (u[j] != 0) {
            xs.push_back(x[j]);
            if (weighted) ws.push_back(wb[j]);
          }
      return 0;
    });
    if (rc1) return rc1;
    p1k.put(static_cast<size_t>(k), p1);
    return 0;
  });
  if (rc) return rc == 1 ? 1 : error(rc);
  Pass1 p1 = p1k.get(0);
  for (size_t k = 1; k < nk; ++k) merge1(p1, p1k.get(k));
  f.n = static_cast<long>(hsum(p1.n));
  f.S = p1.S.value();
  f.W = weighted ? p1.W.value() : static_cast<double>(f.n);
  f.N = s.wkind == WK_F ? std::round(f.W) : static_cast<double>(f.n);
  if (f.n == 0) return 0;
  f.min = std::min(std::min(p1.mn[0], p1.mn[1]), std::min(p1.mn[2], p1.mn[3]));
  f.max = std::max(std::max(p1.mx[0], p1.mx[1]), std::max(p1.mx[2], p1.mx[3]));
  f.mean = f.S / f.W;
  if (!std::isfinite(f.mean)) f.mean = misval;
  if (o.meanonly) return 0;
  Pass2 p2;
  if (o.detail) {
    // The used values are at hand: no second read of the data.
    alignas(32) double x[BLK + 4], u[BLK + 4], wb[BLK + 4];
    const long n = static_cast<long>(xs.size());
    for (long k = 0; k < n; k += BLK) {
      if (stopflag) return 1;
      const long m = std::min(BLK, n - k);
      const long m4 = (m + 3) & ~3L;
      for (long j = 0; j < m4; ++j) {
        x[j] = j < m ? xs[static_cast<size_t>(k + j)] : 0;
        u[j] = j < m ? 1 : 0;
        wb[j] = j < m && weighted ? ws[static_cast<size_t>(k + j)] : u[j];
      }
      pass2_add(p2, x, u, wb, m4, f.mean, weighted, true);
    }
  } else {
    Slots<Pass2> p2k(nk);
    const double mean = f.mean;
    // Backward: the chunks read last by the first pass may still be cached.
    rc = st_chunks(s.lo, s.hi, minobs, [&](long k, long c0, long c1) {
      alignas(32) double x[BLK + 4], u[BLK + 4], wb[BLK + 4];
      Pass2 q;
      const int rc2 = eachblock(c0, c1, [&](long obs, long m, long m4) {
        if (dense) {
          pass2_dense(q, densevals(obs, m, x), m4, mean);
          return 0;
        }
        st_gather(e, obs, m, x);
        (void)usemask(s, obs, m, x, u, wb, false);
        for (long j = m; j < m4; ++j) x[j] = 0;
        pass2_add(q, x, u, wb, m4, mean, weighted, false);
        return 0;
      });
      if (rc2) return rc2;
      p2k.put(static_cast<size_t>(k), q);
      return 0;
    }, true);
    if (rc) return rc;
    p2 = p2k.get(0);
    for (size_t k = 1; k < nk; ++k) merge2(p2, p2k.get(k));
  }
  const double ss = p2.d2.value();
  if (f.mean >= misval) return 0;
  if (o.detail) {
    const double m2 = ss / f.W;
    if (f.N > 1) {
      f.var = m2 * f.N / (f.N - 1);
      f.sd = std::sqrt(f.var);
    }
    if (m2 > 0) {
      f.skew = (hsum(p2.d3) / f.W) / std::pow(m2, 1.5);
      f.kurt = (hsum(p2.d4) / f.W) / (m2 * m2);
    }
    detailfig(xs, ws, weighted, f);
    return 0;
  }
  if (f.N > 1) {
    switch (s.wkind) {
      case WK_NONE: f.var = ss / static_cast<double>(f.n - 1); break;
      case WK_A: f.var = (ss / f.W) * f.N / (f.N - 1); break;
      default: f.var = f.W - 1 == 0 ? misval : ss / (f.W - 1); break;
    }
    if (f.var < misval) f.sd = f.var < 0 ? misval : std::sqrt(f.var);
  }
  return 0;
}

// A number under fmt right-aligned in a field of at least 9 columns.
std::string num9(const char* fmt, double x) {
  std::string t = sreforms(fmt, x);
  size_t a = t.find_first_not_of(' ');
  t = a == std::string::npos ? "" : t.substr(a);
  while (!t.empty() && t.back() == ' ') t.pop_back();
  if (t.size() < 9) t.insert(0, 9 - t.size(), ' ');
  return t;
}

void divider(const SuOpts& o) {
  spoutsml(o.wcol ? "{txt}{hline 13}{c +}{hline 65}\n" : "{txt}{hline 13}{c +}{hline 56}\n");
}

void header(const SuOpts& o) {
  spoutsml("\n{txt}    Variable {c |}     ");
  if (!o.wcol) spoutsml("  ");
  spoutsml("Obs      ");
  if (o.wcol) spoutsml("Weight      ");
  spoutsml("  Mean   ");
  if (!o.wcol) spoutsml(" ");
  spoutsml("Std. Dev.       Min        Max\n");
}

void row(int e, const SuFig& f, const SuOpts& o) {
  std::string name = abvar(st_entryname(e), 12);
  std::string line = "{txt}";
  line.append(static_cast<size_t>(12 - static_cast<int>(name.size())), ' ');
  spoutsml(line.c_str());
  spout21(name.c_str());
  line = " {c |}{res}";
  if (o.wcol) {
    line += sreforms("%8.0g", f.N);
    line += " ";
    line += sreforms("%11.0g", f.W);
  } else {
    line += sreforms("%10.0g", f.N);
  }
  if (f.n == 0) {
    spoutsml((line + "\n").c_str());
    return;
  }
  std::string vf = "%9.0g";
  if (o.fmt) {
    vf = ds.fmtlist[static_cast<size_t>(vl.varlist_vr[static_cast<size_t>(e)])];
    char buf[FMTLEN + 8];
    std::snprintf(buf, sizeof buf, "%s", vf.c_str());
    (void)fixfmt(buf, 9);
    vf = buf;
  }
  line += "   " + num9(vf.c_str(), f.mean) + "  ";
  if (!o.wcol) line += " ";
  // A spread is no date: under a date format the standard deviation keeps %9.0g.
  FmtInfo fi;
  const bool datefmt = o.fmt && chkfmt(vf.c_str(), FMTK_NUM, &fi) == 0 && fi.letter == 'd';
  line += num9(datefmt ? "%9.0g" : vf.c_str(), f.sd) + "  " + num9(vf.c_str(), f.min) + "  " +
          num9(vf.c_str(), f.max);
  spoutsml((line + "\n").c_str());
}

// One line of the detailed block: left part (percentile label, value and the
// extreme) and the right-hand statistic (label and value), either may be empty.
void dline(const char* plab, double p, bool hasp, double ext, bool hasext, const char* rlab,
           double rv, const char* rfmt) {
  std::string l = "{txt}";
  l += plab;
  l += "{res}";
  l += hasp ? "    " + num9("%9.0g", p) : std::string(13, ' ');
  l += hasext ? "      " + num9("%9.0g", ext) : std::string(15, ' ');
  if (rlab) {
    char lab[32];
    std::snprintf(lab, sizeof lab, "%-14s", rlab);
    l += "{txt}       ";
    l += lab;
    l += "{res}";
    l += num9(rfmt, rv);
  }
  while (!l.empty() && l.back() == ' ') l.pop_back();
  l += "\n";
  spoutsml(l.c_str());
}

void detailblock(int e, const SuFig& f) {
  const int v = vl.varlist_vr[static_cast<size_t>(e)];
  std::string title = ds.varlabels[static_cast<size_t>(v)];
  if (title.empty() || !st_plainentry(e)) title = st_entryname(e);
  spoutsml("\n{txt}");
  const int pad = (61 - static_cast<int>(title.size())) / 2;
  if (pad > 0) dupblnk(pad);
  spout21(title.c_str());
  spoutsml("\n{hline 61}\n");
  const bool has = f.n > 0;
  spoutsml("{txt}      Percentiles      Smallest\n");
  dline(" 1%", f.pct[0], has, f.small[0], has, nullptr, 0, nullptr);
  dline(" 5%", f.pct[1], has, f.small[1], has, nullptr, 0, nullptr);
  dline("10%", f.pct[2], has, f.small[2], has, "Obs", f.N, "%9.0g");
  dline("25%", f.pct[3], has, f.small[3], has, "Sum of Wgt.", f.W, "%9.0g");
  spoutsml("\n");
  dline("50%", f.pct[4], has, 0, false, "Mean", f.mean, "%9.0g");
  spoutsml("{txt}                        Largest       Std. Dev.     {res}");
  spoutsml((num9("%9.0g", f.sd) + "\n").c_str());
  dline("75%", f.pct[5], has, f.large[3], has, nullptr, 0, nullptr);
  dline("90%", f.pct[6], has, f.large[2], has, "Variance", f.var, "%9.0g");
  dline("95%", f.pct[7], has, f.large[1], has, "Skewness", f.skew, "%9.0g");
  dline("99%", f.pct[8], has, f.large[0], has, "Kurtosis", f.kurt, "%9.0g");
}

// Posts the figures of the last variable in r().
void post(const SuFig& f, const SuOpts& o) {
  sts.summ_mean = f.mean;
  sts.summ_sd = f.sd;
  st_rclear();
  st_rscalar("N", f.N);
  st_rscalar("sum_w", f.W);
  if (f.n > 0) st_rscalar("mean", f.mean);
  if (f.n > 0 && !o.meanonly) {
    st_rscalar("Var", f.var);
    st_rscalar("sd", f.sd);
  }
  if (f.detail && f.n > 0) {
    st_rscalar("skewness", f.skew);
    st_rscalar("kurtosis", f.kurt);
  }
  if (f.n > 0) {
    st_rscalar("min", f.min);
    st_rscalar("max", f.max);
  }
  st_rscalar("sum", f.S);
  if (f.detail && f.n > 0) {
    const char* nm[9] = {"p1", "p5", "p10", "p25", "p50", "p75", "p90", "p95", "p99"};
    for (int j = 0; j < 9; ++j) st_rscalar(nm[j], f.pct[j]);
  }
}

// summarize [varlist] [if] [in] [weight] [, detail meanonly format separator(#)]
int cmd_summarize(int) {
  ParseResult pr;
  if (int rc = parse({.tsops = PERM_OPTIONAL, .weight = PERM_OPTIONAL, .options = PERM_OPTIONAL, .by = PERM_OPTIONAL}, pr)) return rc;
  SuOpts o;
  o.detail = findopt(pr, "detail", 1, 0) == 1;
  // meanonly is not recognised with detail: left unread, the parser's
  // check reports it as an option not allowed
  o.meanonly = !o.detail && findopt(pr, "meanonly", 4, 0) == 1;
  o.fmt = findopt(pr, "format", 1, 0) == 1;
  o.sep = static_cast<int>(findopta(pr, "separator", 3, 5));
  if (int rc = chkopt(pr)) return rc;
  if (o.sep < 0) return errmsgf(RC_SYNTAX, "separator() invalid\n");
  if (pr.hasweight) {
    const char k = pr.wgttype[0];
    if (k == WK_P) return errmsgf(RC_NOTALLOWED, "pweights not allowed\n");
    if (k == WK_I && o.detail) return errmsgf(RC_NOTALLOWED, "iweights not allowed\n");
    o.wcol = !o.detail && (k == WK_A || k == WK_I);
  }
  if (!pr.hasvarlist && ssvlist_all()) {
    // An empty dataset: nothing to report, r() holds a zero count.
    SuFig f;
    post(f, o);
    return 0;
  }
  StSample s;
  try {
    if (int rc = st_sample(s, pr)) return rc;
  } catch (const std::bad_alloc&) {
    return error(RC_NOMEM);
  }
  o.show = !o.meanonly && out.s_outlev <= OUT_RESULT;
  const int nv = vl.lnvar();
  SuFig f;
  for (int e = 0; e < nv; ++e) {
    try {
      if (int rc = figures(e, s, o, f)) return rc;
    } catch (const std::bad_alloc&) {
      return error(RC_NOMEM);  // the values kept for the percentiles
    }
    if (o.show) {
      if (o.detail) {
        detailblock(e, f);
      } else {
        if (e == 0) header(o);
        if (e == 0 || (o.sep > 0 && e % o.sep == 0)) divider(o);
        row(e, f, o);
      }
    }
  }
  post(f, o);
  return 0;
}

}  // namespace

void stats_bindsummarize() {
  cmdbind("summarize", cmd_summarize);
  by_allow("summarize", true);
}
