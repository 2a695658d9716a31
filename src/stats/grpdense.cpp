// Group sums by a small whole-number key (see grpdense.h). The kernels are
// specialised on the key's storage type: an integer cell is its own slot
// offset unless it holds a missing code, and needs no whole-number test.
// The slots are sized from the first keys and widened, keeping the sums,
// when a later key falls outside them, so that one pass over the key both
// finds its range and adds up the values.
#include "stats/grpdense.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <type_traits>

#include "data/store.h"
#include "data/value.h"
#include "stats/chunks.h"
#include "stats/stats.h"
#include "platform/platform.h"

namespace {

// Observations per step of a pass (the Break is polled every 32 steps).
constexpr long CHUNK = 2048;
// Keys spanning at most this many values are counted in slots (as levels.cpp).
constexpr long DENSE_MAX = 1L << 24;
// Largest accumulator block kept between commands, in cells (64 MB).
constexpr size_t SPARE_MAX = (64UL << 20) / sizeof(GdCell);
// Keys of the first this many observations size the slots.
constexpr long SAMPLE = 1L << 16;
// Non-missing double keys must lie strictly within +-DLIM, so that the
// slot arithmetic in long integers cannot overflow.
constexpr double DLIM = 0x1p61;

// The largest non-missing value of an integer storage type; above it come
// the missing codes `.`, `.a`, ..., `.z`.
template <class R>
constexpr long maxval() {
  if constexpr (sizeof(R) == 1) return MAXBYTEVAL;
  if constexpr (sizeof(R) == 2) return MAXINTVAL;
  return MAXLONGVAL;
}

// The accumulators of one pass and the key values they cover.
struct Pass {
  std::vector<GdCell> acc;  // range slots of values, then 27 of missing codes
  long base = 0;            // key value of slot 0
  long range = 0;           // slots of values
  bool fixed = false;       // the slots are known and may not change
  int grown = 0;            // times the slots were widened
  long top = std::numeric_limits<long>::max();  // largest value of the key's type: no slot above it
};

// Whether v is a whole number (as levels.cpp tests it).
inline bool whole(double v) {
  constexpr double big = 4503599627370496.0;
  const bool inrange = v > -big && v < big;
  const double vv = inrange ? v : 0;
  return !inrange || static_cast<double>(static_cast<int64_t>(vv)) == vv;
}

// Widens the slots to cover key value v, keeping the sums; false when the
// key would span DENSE_MAX values or more. The first widenings are exact
// (the first keys usually show nearly the whole range, and spare slots
// cost cache), later ones add more and more room, up to doubling, so that
// keys met in rising or falling order cost few moves.
bool cover(Pass& p, long v) {
  if (p.fixed) return false;
  const long lo = p.range ? std::min(p.base, v) : v;
  const long hi = p.range ? std::max(p.base + p.range - 1, v) : v;
  if (hi - lo >= DENSE_MAX) return false;
  const long need = hi - lo + 1;
  const long nr = std::min(need + need * std::min(p.grown++, 8) / 8, DENSE_MAX);
  const long nb = p.range && v < p.base ? hi - nr + 1 : std::min(lo, p.top - nr + 1);
  // Within the block's capacity the cells move in place (a block kept from
  // an earlier command usually has room), else into a new block.
  GdCell miss[27];
  std::copy_n(p.acc.begin() + p.range, 27, miss);
  const long d = p.range ? p.base - nb : 0;  // slots the kept cells move up by (at least 0)
  if (p.acc.capacity() >= static_cast<size_t>(nr) + 27) {
    p.acc.resize(static_cast<size_t>(nr) + 27);
    GdCell* a = p.acc.data();
    std::memmove(a + d, a, static_cast<size_t>(p.range) * sizeof *a);
    std::fill(a, a + d, GdCell{0, 0});
    std::fill(a + d + p.range, a + nr, GdCell{0, 0});
  } else {
    std::vector<GdCell> na(static_cast<size_t>(nr) + 27, GdCell{0, 0});
    std::copy_n(p.acc.begin(), p.range, na.begin() + d);
    p.acc.swap(na);
  }
  std::copy_n(miss, 27, p.acc.begin() + nr);
  p.base = nb;
  p.range = nr;
  return true;
}

// Marks a key that is not dense, in place of a slot.
constexpr uint64_t NOSLOT = ~uint64_t{0};

// The slot of an integer key cell outside the current slots: a missing
// code's, or a new one; NOSLOT when the key is not dense.
template <class R>
[[gnu::noinline]] uint64_t slow_int(R v, Pass& p) {
  constexpr long mx = maxval<R>();
  if (v > mx) return static_cast<uint64_t>(p.range + (v - mx - 1));
  if (!cover(p, v)) return NOSLOT;
  return static_cast<uint64_t>(v - p.base);
}

// The same for a double key: also a value that is not a whole number, too
// large, or missing.
[[gnu::noinline]] uint64_t slow_dbl(double v, Pass& p) {
  if (!(v < misval)) return static_cast<uint64_t>(p.range + std::max(0, missing_code(v)));
  if (!(v > -DLIM && v < DLIM) || !whole(v)) return NOSLOT;
  const long iv = static_cast<long>(v);
  if (!cover(p, iv)) return NOSLOT;
  return static_cast<uint64_t>(iv - p.base);
}

// The slot of key cell v in the current slots, and whether it is outside
// them (or, for a double, not a whole number).
template <class K>
inline uint64_t fastslot(K v, long base, uint64_t range, double lof, double hif, bool* slow) {
  if constexpr (std::is_integral_v<K>) {
    const uint64_t s = static_cast<uint64_t>(static_cast<long>(v) - base);
    *slow = s >= range;
    return s;
  } else {
    // in the slots and whole, with no conversion of a value out of range
    const bool in = v >= lof && v < hif;
    const long iv = static_cast<long>(in ? v : lof);
    *slow = !in || static_cast<double>(iv) != v;
    return static_cast<uint64_t>(iv - base);
  }
}

// Adds x[0..m-1] into the slots of the keys at kp (cells of type K; a
// double when the key was decoded). False when the key is not dense.
template <class K>
bool accum(const unsigned char* kp, const double* x, long m, Pass& p) {
  GdCell* a = p.acc.data();
  long base = p.base;
  uint64_t range = static_cast<uint64_t>(p.range);
  double lof = static_cast<double>(base), hif = static_cast<double>(base + p.range);
  auto key = [kp](long i) {
    K v;
    std::memcpy(&v, kp + i * static_cast<long>(sizeof v), sizeof v);
    return v;
  };
  for (long i = 0; i < m; ++i) {
    const K v = key(i);
    bool slow;
    uint64_t s = fastslot<K>(v, base, range, lof, hif, &slow);
    if (slow) [[unlikely]] {
      if constexpr (std::is_integral_v<K>)
        s = slow_int<K>(v, p);
      else
        s = slow_dbl(v, p);
      if (s == NOSLOT) return false;
      a = p.acc.data();
      base = p.base;
      range = static_cast<uint64_t>(p.range);
      lof = static_cast<double>(base), hif = static_cast<double>(base + p.range);
    }
    // Adding 0 for a missing value leaves every sum as it was (a sum that
    // starts at +0 is never -0), so the loop has no branch on the value.
    const double xi = x[i];
    const bool ok = xi < misval;
    a[s].sum += ok ? xi : 0.0;
    a[s].cnt += (uint64_t{1} << 32) | static_cast<uint64_t>(ok);
  }
  return true;
}

// Range of the non-missing integer cells of p[0..n-1] into [mn, mx].
template <class R>
void intrange(const unsigned char* p, long n, long& mn, long& mx) {
  // In the cell's own width and without branches, so that the loop
  // vectorises: a missing code counts as neither smallest nor largest.
  constexpr long lo = std::numeric_limits<R>::min(), hi = std::numeric_limits<R>::max();
  R a = static_cast<R>(std::clamp(mn, lo, hi)), b = static_cast<R>(std::clamp(mx, lo, hi));
  for (long i = 0; i < n; ++i) {
    R v;
    std::memcpy(&v, p + i * static_cast<long>(sizeof v), sizeof v);
    const bool ok = v <= maxval<R>();
    a = std::min(a, ok ? v : a);
    b = std::max(b, ok ? v : b);
  }
  if (a <= b) mn = a, mx = b;
}

// Sizes the slots from the keys of the first observations; false when
// those alone show the key is not dense.
bool sample(const ColView& kc, long lo, long n, Pass& p) {
  const long m = std::min(n, SAMPLE);
  long a = std::numeric_limits<long>::max(), b = std::numeric_limits<long>::min();
  // an integer key's missing codes lie above its largest value, in slots of their own
  p.top = kc.type == ST_LONG ? maxval<int32_t>() : kc.type == ST_INT ? maxval<int16_t>() : kc.type == ST_BYTE ? maxval<int8_t>() : p.top;
  switch (kc.type) {
    case ST_LONG: a = std::numeric_limits<int32_t>::max(), b = std::numeric_limits<int32_t>::min(); intrange<int32_t>(kc.at(lo), m, a, b); break;
    case ST_INT: a = std::numeric_limits<int16_t>::max(), b = std::numeric_limits<int16_t>::min(); intrange<int16_t>(kc.at(lo), m, a, b); break;
    case ST_BYTE: a = std::numeric_limits<int8_t>::max(), b = std::numeric_limits<int8_t>::min(); intrange<int8_t>(kc.at(lo), m, a, b); break;
    default: {
      double x[CHUNK], mn = HUGE_VAL, mx = -HUGE_VAL;
      for (long o = 0; o < m; o += CHUNK) {
        const long k = std::min(CHUNK, m - o);
        col_decode(kc, lo + o, k, x);
        for (long i = 0; i < k; ++i) {
          const double v = x[i];
          if (!(v < misval)) continue;
          if (!whole(v)) return false;
          mn = std::min(mn, v), mx = std::max(mx, v);
        }
      }
      if (mn > mx) break;
      if (!(mn > -DLIM && mx < DLIM)) return false;
      a = static_cast<long>(mn), b = static_cast<long>(mx);
    }
  }
  if (a <= b && b - a >= DENSE_MAX) return false;
  if (a <= b) p.base = a, p.range = b - a + 1;
  p.acc.assign(static_cast<size_t>(p.range) + 27, GdCell{0, 0});
  return true;
}

// The cells of observations by slot (see gd_fill), for keys of cell type K
// and result cells of W bytes.
template <class K, int W>
void fillk(const unsigned char* kp, long m, long base, long range, const unsigned char* cells, unsigned char* dst) {
  const uint64_t nslot = static_cast<uint64_t>(range) + 27;
  for (long i = 0; i < m; ++i) {
    K v;
    std::memcpy(&v, kp + i * static_cast<long>(sizeof v), sizeof v);
    uint64_t s;
    if constexpr (std::is_integral_v<K>) {
      constexpr long mx = maxval<K>();
      s = static_cast<uint64_t>(v <= mx ? v - base : range + (v - mx - 1));
    } else {
      s = v < misval && v > -DLIM && v < DLIM ? static_cast<uint64_t>(static_cast<long>(v) - base)
                                              : static_cast<uint64_t>(range + std::max(0, missing_code(v)));
    }
    // the keys were all seen by gd_sums; this only keeps a changed one in bounds
    s = s < nslot ? s : static_cast<uint64_t>(range);
    std::memcpy(dst + i * W, cells + s * W, W);
  }
}

template <class K>
void fillw(const unsigned char* kp, long m, const GdKey& k, const unsigned char* cells, int width, unsigned char* dst) {
  const long base = static_cast<long>(k.mn);
  switch (width) {
    case 1: fillk<K, 1>(kp, m, base, k.range, cells, dst); return;
    case 2: fillk<K, 2>(kp, m, base, k.range, cells, dst); return;
    case 4: fillk<K, 4>(kp, m, base, k.range, cells, dst); return;
    default: fillk<K, 8>(kp, m, base, k.range, cells, dst); return;
  }
}

// How a pass over part of the observations ended.
enum { PASS_OK, PASS_BREAK, PASS_SPARSE };

// Sums of the values of yc by the keys of kc over observations lo..lo+n-1
// into p, whose slots are k's when k.known and else found on the way.
int runpass(const GdKey& k, const ColView& kc, const ColView& yc, long lo, long n, Pass& p) {
  if (k.known) {
    p.base = static_cast<long>(k.mn), p.range = k.range, p.fixed = true;
    p.acc.assign(k.nslot(), GdCell{0, 0});
  } else if (!sample(kc, lo, n, p)) {
    return PASS_SPARSE;
  }
  double kb[CHUNK], yb[CHUNK];
  for (long o = 0; o < n; o += CHUNK) {
    if ((o & 0xffff) == 0 && stopflag) return PASS_BREAK;
    const long m = std::min(CHUNK, n - o);
    const double* x = yb;
    if (yc.type == ST_DOUBLE)
      x = reinterpret_cast<const double*>(yc.at(lo + o));  // columns are 8-byte aligned
    else
      col_decode(yc, lo + o, m, yb);
    const unsigned char* kp = kc.at(lo + o);
    bool good;
    switch (kc.type) {
      case ST_LONG: good = accum<int32_t>(kp, x, m, p); break;
      case ST_INT: good = accum<int16_t>(kp, x, m, p); break;
      case ST_BYTE: good = accum<int8_t>(kp, x, m, p); break;
      case ST_DOUBLE: good = accum<double>(kp, x, m, p); break;
      default:
        col_decode(kc, lo + o, m, kb);
        good = accum<double>(reinterpret_cast<const unsigned char*>(kb), x, m, p);
    }
    if (!good) return PASS_SPARSE;
  }
  return PASS_OK;
}

// Adds the second half's sums b to the first half's a, over the slots of
// both; false when together they span DENSE_MAX values or more. Each sum is
// a's plus b's, in that order (a slot one half lacks counts as +0 there).
bool merge(Pass& a, const Pass& b) {
  long base = a.base, range = a.range;
  if (b.range && !range) {
    base = b.base, range = b.range;
  } else if (b.range) {
    base = std::min(a.base, b.base);
    const long end = std::max(a.base + a.range, b.base + b.range);
    if (end - base > DENSE_MAX) return false;
    range = end - base;
  }
  if (base != a.base || range != a.range) {
    std::vector<GdCell> na(static_cast<size_t>(range) + 27, GdCell{0, 0});
    std::copy_n(a.acc.begin(), a.range, na.begin() + (a.range ? a.base - base : 0));
    std::copy_n(a.acc.begin() + a.range, 27, na.begin() + range);
    a.acc.swap(na);
    a.base = base, a.range = range;
  }
  GdCell* d = a.acc.data() + (b.range ? b.base - base : 0);
  for (long s = 0; s < b.range; ++s) d[s].sum += b.acc[static_cast<size_t>(s)].sum, d[s].cnt += b.acc[static_cast<size_t>(s)].cnt;
  GdCell* dm = a.acc.data() + range;
  for (long s = 0; s < 27; ++s) {
    const GdCell& c = b.acc[static_cast<size_t>(b.range + s)];
    dm[s].sum += c.sum, dm[s].cnt += c.cnt;
  }
  return true;
}

}  // namespace

int gd_sums(GdKey& k, int y, long lo, long hi, GdSums& r, bool* ok) {
  *ok = false;
  const ColView kc = colview(k.var), yc = colview(y);
  if (isstrtype(kc.type)) return 0;
  // Long ranges are summed by fixed halves, the second on the helper thread,
  // and the halves' sums added in order: the figures are those of one
  // thread doing both halves.
  Pass p[2];
  p[0].acc.swap(sts.gdspare);
  int st[2] = {PASS_OK, PASS_OK};
  const int rc = st_halves(lo, hi, true, [&](long h, long c0, long c1) {
    st[h] = runpass(k, kc, yc, c0, c1 >= c0 ? c1 - c0 + 1 : 0, p[h]);
    return st[h] == PASS_BREAK ? 1 : 0;
  });
  const bool two = st_nhalves(lo, hi) == 2;
  bool good = st[0] == PASS_OK && st[1] == PASS_OK && !rc;
  if (good && two) good = merge(p[0], p[1]);
  if (!good) {
    if (p[0].acc.capacity() > sts.gdspare.capacity()) p[0].acc.swap(sts.gdspare);
    return rc ? 1 : 0;
  }
  k.mn = static_cast<double>(p[0].base);
  k.range = p[0].range;
  k.known = true;
  r.cell = std::move(p[0].acc);
  *ok = true;
  return 0;
}

GdSums::~GdSums() {
  // the largest block is kept for the next command (fresh pages cost a
  // fault each), unless it is very large
  if (cell.capacity() > sts.gdspare.capacity() && cell.capacity() <= SPARE_MAX) cell.swap(sts.gdspare);
}

double gd_value(const GdKey& k, size_t slot) {
  const long s = static_cast<long>(slot);
  return s < k.range ? k.mn + static_cast<double>(s) : misval_k(static_cast<int>(s - k.range));
}

int gd_fill(const GdKey& k, const unsigned char* cells, int width, long lo, long n, unsigned char* dst) {
  const ColView kc = colview(k.var);
  // a copy by slot: the halves of a long range are filled side by side
  return st_halves(lo, lo + n - 1, true, [&](long, long c0, long c1) {
    double kb[CHUNK];
    for (long o = c0 - lo; o <= c1 - lo; o += CHUNK) {
      if (((o - (c0 - lo)) & 0xffff) == 0 && stopflag) return 1;
      const long m = std::min(CHUNK, c1 - lo + 1 - o);
      const unsigned char* kp = kc.at(lo + o);
      unsigned char* d = dst + o * width;
      switch (kc.type) {
        case ST_LONG: fillw<int32_t>(kp, m, k, cells, width, d); break;
        case ST_INT: fillw<int16_t>(kp, m, k, cells, width, d); break;
        case ST_BYTE: fillw<int8_t>(kp, m, k, cells, width, d); break;
        case ST_DOUBLE: fillw<double>(kp, m, k, cells, width, d); break;
        default:
          col_decode(kc, lo + o, m, kb);
          fillw<double>(reinterpret_cast<const unsigned char*>(kb), m, k, cells, width, d);
      }
    }
    return 0;
  });
}
