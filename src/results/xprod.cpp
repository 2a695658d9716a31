// The cross-product kernel of `matrix accum`. With few columns and many
// observations a BLAS rank-k update spends its time packing; this kernel
// instead walks the columns in place, a chunk of rows at a time so the chunk
// stays in the first-level cache, and keeps a 4 x 2 tile of products in
// registers: four interleaved partial sums per product, vectorised across
// rows. The arithmetic (products rounded, then added lane by lane, lanes
// combined as (l0 + l1) + (l2 + l3) after each call) is the same whatever
// instruction set runs it.
#include "results/xprod.h"

#include <cstring>

#include "data/value.h"

namespace {

typedef double v4 __attribute__((vector_size(32)));

// Rows per chunk: 32 columns of 256 doubles fit in 64 KB.
constexpr long CHUNK = 256;
// Columns of a tile's group.
constexpr int TA = 4;

// Through a reference: a vector returned by value trips the ABI warning of
// the baseline instruction set.
[[gnu::always_inline]] inline void load(v4& v, const double* p) { std::memcpy(&v, p, sizeof v); }

const double zeros[CHUNK] = {};

// Missing-value tests work on pairs, the width every x86-64 compares
// natively (wider compares are split into scalar ones without AVX).
typedef double v2 __attribute__((vector_size(16)));
typedef long long m2 __attribute__((vector_size(16)));

// ok &= (x[0..3] < lim) lane by lane: false lanes mark a missing value, or
// a NaN, which fails x < misval as a missing code does.
[[gnu::always_inline]] inline void present4(m2& ok, const double* x, const v2& l) {
  v2 a, b;
  std::memcpy(&a, x, sizeof a);
  std::memcpy(&b, x + 2, sizeof b);
  ok &= (a < l) & (b < l);
}

// Whether all of x[0..n-1] are non-missing: masks and-ed together with no
// branch until the end, so the scan runs at the speed of the loads.
inline bool allpresent(const double* x, long n) {
  const double lim = misval;
  const v2 l = {lim, lim};
  m2 ok = {-1, -1};
  long i = 0;
  for (; i + 4 <= n; i += 4) present4(ok, x + i, l);
  bool all = (ok[0] & ok[1]) != 0;
  for (; i < n; ++i) all = all && x[i] < lim;
  return all;
}

// The helpers are forced inline: a copy left out of line would be built for
// the baseline instruction set and called from the wider clone.

// One tile over n rows: columns x[0..NA-1] against y0 and y1, into the
// 2 * NA accumulators at s (row a's two at s[2a], s[2a + 1]). The first tile
// of a group (FIRST) also sums the x columns into sum[0..NA-1] and tests
// them for missing values as they are loaded (work on data already in
// registers costs far less than a pass of its own); the answer is whether
// all were present.
template <int NA, bool FIRST>
[[gnu::always_inline]] inline bool tile(const double* const* x, const double* y0, const double* y1, long n, v4* s,
                                        v4* sum) {
  v4 t[NA][2], u[NA];
  for (int a = 0; a < NA; ++a) t[a][0] = s[2 * a], t[a][1] = s[2 * a + 1];
  if (FIRST)
    for (int a = 0; a < NA; ++a) u[a] = sum[a];
  const double lim = misval;
  const v2 l = {lim, lim};
  m2 ok = {-1, -1};
  const long n4 = n & ~3L;
  for (long i = 0; i < n4; i += 4) {
    v4 u0, u1, w;
    load(u0, y0 + i), load(u1, y1 + i);
    for (int a = 0; a < NA; ++a) {
      load(w, x[a] + i);
      if (FIRST) present4(ok, x[a] + i, l), u[a] += w;
      t[a][0] += w * u0, t[a][1] += w * u1;
    }
  }
  bool all = true;
  if (FIRST) all = (ok[0] & ok[1]) != 0;
  // The last rows of the block (fewer than four) go to the first lane.
  for (long i = n4; i < n; ++i)
    for (int a = 0; a < NA; ++a) {
      if (FIRST) all = all && x[a][i] < lim, u[a][0] += x[a][i];
      t[a][0][0] += x[a][i] * y0[i], t[a][1][0] += x[a][i] * y1[i];
    }
  for (int a = 0; a < NA; ++a) s[2 * a] = t[a][0], s[2 * a + 1] = t[a][1];
  if (FIRST)
    for (int a = 0; a < NA; ++a) sum[a] = u[a];
  return all;
}

template <int NA>
[[gnu::always_inline]] inline bool tileof(bool first, const double* const* x, const double* y0, const double* y1,
                                          long n, v4* s, v4* sum) {
  return first ? tile<NA, true>(x, y0, y1, n, s, sum) : tile<NA, false>(x, y0, y1, n, s, sum);
}

// (l0 + l1) + (l2 + l3)
inline double lanes(const v4& v) { return (v[0] + v[1]) + (v[2] + v[3]); }

}  // namespace

#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__)
// The wider vectors only: no fused multiply-add, which would change the
// rounding from one processor to another.
__attribute__((target_clones("avx2", "default")))
#endif
bool xprod_add(const double* const* cols, int p, bool cons, long m, double* c) {
  if (p <= 0 || m <= 0) return true;
  const long P = p + (cons ? 1 : 0);
  // Column groups of four (the last may be narrower) against pairs of
  // columns up to the group's last: the lower triangle in 4 x 2 tiles.
  // b runs over an even count, padded with a zero column.
  const int groups = (p + TA - 1) / TA;
  auto width = [&](int G) { return p - TA * G < TA ? p - TA * G : TA; };
  auto pairs = [&](int G) { return (TA * G + width(G) + 1) / 2; };
  v4 acc[(XPROD_MAXCOLS / TA) * (XPROD_MAXCOLS / 2) * 2 * TA], sum[XPROD_MAXCOLS];
  int nacc = 0;
  for (int G = 0; G < groups; ++G) nacc += pairs(G) * 2 * width(G);
  for (int i = 0; i < nacc; ++i) acc[i] = v4{0, 0, 0, 0};
  for (int i = 0; i < p; ++i) sum[i] = v4{0, 0, 0, 0};
  const double* ptr[XPROD_MAXCOLS + 1];
  for (long r0 = 0; r0 < m; r0 += CHUNK) {
    const long n = m - r0 < CHUNK ? m - r0 : CHUNK;
    for (int j = 0; j <= p; ++j) ptr[j] = j < p ? cols[j] + r0 : zeros;
    v4* s = acc;
    for (int G = 0; G < groups; ++G) {
      const int na = width(G);
      const double* const* x = ptr + TA * G;
      v4* sg = sum + TA * G;
      // Every column is an x of its group's first tile: its sum and the
      // test for missing values ride on that one.
      for (int t = 0; t < pairs(G); ++t, s += 2 * na) {
        const double *y0 = ptr[2 * t], *y1 = ptr[2 * t + 1];
        bool ok;
        switch (na) {
          case 4: ok = tileof<4>(t == 0, x, y0, y1, n, s, sg); break;
          case 3: ok = tileof<3>(t == 0, x, y0, y1, n, s, sg); break;
          case 2: ok = tileof<2>(t == 0, x, y0, y1, n, s, sg); break;
          default: ok = tileof<1>(t == 0, x, y0, y1, n, s, sg); break;
        }
        if (!ok) return false;
      }
    }
  }
  const v4* s = acc;
  for (int G = 0; G < groups; ++G) {
    const int na = width(G);
    for (int t = 0; t < pairs(G); ++t, s += 2 * na)
      for (int da = 0; da < na; ++da)
        for (int db = 0; db < 2; ++db) {
          const int a = TA * G + da, b = 2 * t + db;
          if (b <= a) c[b * P + a] += lanes(s[2 * da + db]);
        }
  }
  if (cons) {
    // The constant's row: the column sums, and the count.
    for (int j = 0; j < p; ++j) c[j * P + p] += lanes(sum[j]);
    c[p * P + p] += static_cast<double>(m);
  }
  return true;
}

bool xprod_anymissing(const double* x, long n) {
  // A block at a time, so a missing value early in a long vector ends the
  // scan early.
  for (long i = 0; i < n; i += CHUNK)
    if (!allpresent(x + i, n - i < CHUNK ? n - i : CHUNK)) return true;
  return false;
}
