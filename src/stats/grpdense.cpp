// Group sums by a small whole-number key (see grpdense.h). The kernels are
// specialised on the key's storage type: an integer cell is its own slot
// offset unless it holds a missing code, and needs no whole-number test.
#include "stats/grpdense.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "data/store.h"
#include "expr/expr.h"
#include "platform/platform.h"

namespace {

constexpr long BLK = EXPR_BLOCK;
// Keys spanning at most this many values are counted in slots (as levels.cpp).
constexpr double DENSE_MAX = 1 << 24;

// Integer storage types: the cell type and its largest non-missing value.
template <class T, long MAXV>
struct IntCell {
  using raw = T;
  static constexpr long maxv = MAXV;
};
using ByteCell = IntCell<int8_t, 100>;
using IntCellT = IntCell<int16_t, 32740>;
using LongCell = IntCell<int32_t, 2147483620>;

// Range of the non-missing integer cells of p[0..n-1].
template <class C>
void intrange(const unsigned char* p, long n, long& mn, long& mx) {
  // In the cell's own width and without branches, so that the loop
  // vectorises: a missing code counts as neither smallest nor largest.
  using R = typename C::raw;
  constexpr long lo = std::numeric_limits<R>::min(), hi = std::numeric_limits<R>::max();
  R a = static_cast<R>(std::clamp(mn, lo, hi)), b = static_cast<R>(std::clamp(mx, lo, hi));
  for (long i = 0; i < n; ++i) {
    R v;
    std::memcpy(&v, p + i * static_cast<long>(sizeof v), sizeof v);
    const bool ok = v <= C::maxv;
    a = std::min(a, ok ? v : a);
    b = std::max(b, ok ? v : b);
  }
  if (a <= b) mn = a, mx = b;
}

template <class C>
void intslots(const unsigned char* p, long n, long base, long range, int32_t* slot) {
  for (long i = 0; i < n; ++i) {
    typename C::raw v;
    std::memcpy(&v, p + i * static_cast<long>(sizeof v), sizeof v);
    slot[i] = static_cast<int32_t>(v <= C::maxv ? v - base : range + (v - C::maxv - 1));
  }
}

// Whether v is a whole number (as levels.cpp tests it).
inline bool whole(double v) {
  constexpr double big = 4503599627370496.0;
  const bool inrange = v > -big && v < big;
  const double vv = inrange ? v : 0;
  return !inrange || static_cast<double>(static_cast<int64_t>(vv)) == vv;
}

}  // namespace

int gd_key(int var, long lo, long hi, GdKey& k, bool* ok) {
  *ok = false;
  k = GdKey{};
  k.var = var;
  const ColView c = colview(var);
  if (isstrtype(c.type)) return 0;
  const long n = hi >= lo ? hi - lo + 1 : 0;
  double mn = HUGE_VAL, mx = -HUGE_VAL;
  if (c.type == ST_LONG || c.type == ST_INT || c.type == ST_BYTE) {
    long a = 2147483647L, b = -2147483648L;
    for (long o = 0; o < n; o += 1L << 16) {
      if (stopflag) return 1;
      const long m = std::min(1L << 16, n - o);
      const unsigned char* p = c.at(lo + o);
      if (c.type == ST_LONG)
        intrange<LongCell>(p, m, a, b);
      else if (c.type == ST_INT)
        intrange<IntCellT>(p, m, a, b);
      else
        intrange<ByteCell>(p, m, a, b);
    }
    if (a <= b) mn = static_cast<double>(a), mx = static_cast<double>(b);
  } else {
    double x[BLK];
    bool allint = true;
    for (long o = 0; o < n; o += BLK) {
      if ((o & 0xffff) == 0 && stopflag) return 1;
      const long m = std::min(BLK, n - o);
      col_decode(c, lo + o, m, x);
      double a = mn, b = mx;
      bool in = true;
      for (long i = 0; i < m; ++i) {
        const double v = x[i];
        if (v < misval) {
          a = v < a ? v : a;
          b = v > b ? v : b;
          in &= whole(v);
        }
      }
      mn = a, mx = b, allint = allint && in;
    }
    if (!allint) return 0;
  }
  if (mn <= mx && mx - mn >= DENSE_MAX) return 0;
  if (mn <= mx) k.mn = mn, k.range = static_cast<long>(mx - mn) + 1;
  *ok = true;
  return 0;
}

void gd_slots(const GdKey& k, long obs, long m, int32_t* slot) {
  const ColView c = colview(k.var);
  const unsigned char* p = c.at(obs);
  const long base = static_cast<long>(k.mn);
  switch (c.type) {
    case ST_LONG: intslots<LongCell>(p, m, base, k.range, slot); return;
    case ST_INT: intslots<IntCellT>(p, m, base, k.range, slot); return;
    case ST_BYTE: intslots<ByteCell>(p, m, base, k.range, slot); return;
    default: {
      double x[BLK];
      col_decode(c, obs, m, x);
      for (long i = 0; i < m; ++i)
        slot[i] = static_cast<int32_t>(x[i] < misval ? x[i] - k.mn : static_cast<double>(k.range + missing_code(x[i])));
      return;
    }
  }
}

double gd_value(const GdKey& k, size_t slot) {
  const long s = static_cast<long>(slot);
  return s < k.range ? k.mn + static_cast<double>(s) : misval_k(static_cast<int>(s - k.range));
}

int gd_sums(const GdKey& k, int y, long lo, long hi, GdSums& r) {
  const size_t ns = k.nslot();
  // One 16-byte record per slot, so that each observation touches one cache
  // line of the accumulators.
  struct Acc {
    double sum;
    uint32_t n, obs;
  };
  std::vector<Acc> acc(ns, Acc{0, 0, 0});
  Acc* a = acc.data();
  const ColView yc = colview(y);
  const long n = hi >= lo ? hi - lo + 1 : 0;
  int32_t slot[BLK];
  double buf[BLK];
  for (long o = 0; o < n; o += BLK) {
    if ((o & 0xffff) == 0 && stopflag) return 1;
    const long m = std::min(BLK, n - o);
    gd_slots(k, lo + o, m, slot);
    const double* x;
    if (yc.type == ST_DOUBLE) {
      x = reinterpret_cast<const double*>(yc.at(lo + o));  // columns are 8-byte aligned
    } else {
      col_decode(yc, lo + o, m, buf);
      x = buf;
    }
    for (long i = 0; i < m; ++i) {
      Acc& c = a[slot[i]];
      ++c.obs;
      if (x[i] < misval) {
        c.sum += x[i];
        ++c.n;
      }
    }
  }
  r.obs.resize(ns);
  r.n.resize(ns);
  r.sum.resize(ns);
  for (size_t i = 0; i < ns; ++i) r.obs[i] = acc[i].obs, r.n[i] = acc[i].n, r.sum[i] = acc[i].sum;
  return 0;
}
