// Error-compensated sums (`accumerr`): beside each running sum a correction
// keeps the rounding error of every addition, so sums over millions of
// observations keep nearly all the digits of the exact sum. Also the lanes
// form used by the hot loops: four independent compensated sums that the
// compiler keeps in vector registers, combined at the end.
#pragma once

// One compensated sum. The rounding error of s + x is recovered exactly by
// the branch-free two-sum; it equals the two-branch form that subtracts the
// new sum from the operand of larger binary exponent, so results do not
// depend on which form is used.
struct Accum {
  double s = 0;  // running sum
  double c = 0;  // accumulated rounding errors
  void add(double x) {
    const double t = s + x;
    const double z = t - s;
    c += (s - (t - z)) + (x - z);
    s = t;
  }
  // Adds another compensated sum (its sum and its correction).
  void merge(const Accum& o) {
    add(o.s);
    add(o.c);
  }
  double value() const { return s + c; }
};

// Four double lanes in one vector value. Lane vectors are passed only
// between inline routines of one file, so the ABI note about wide vector
// arguments without AVX does not concern them.
#pragma GCC diagnostic ignored "-Wpsabi"
typedef double st_v4 __attribute__((vector_size(32)));

// Routines that take or return lane vectors are always inlined: called from a
// function compiled for AVX2 (target_clones), an out-of-line copy built for the
// default target would pass the vector in another place than the caller
// expects, as happens in unoptimised builds.
#define ST_LANES inline __attribute__((always_inline))

// The hot loops get an AVX2 version beside the default one. clang (the fuzz
// build) does not accept these clones around the lane vectors: one version there.
#if defined(__clang__)
#define ST_CLONES
#else
#define ST_CLONES __attribute__((target_clones("avx2", "default")))
#endif

// Four doubles from p (any alignment).
static ST_LANES st_v4 acc_ld4(const double* p) {
  st_v4 v;
  __builtin_memcpy(&v, p, sizeof v);
  return v;
}

// Four compensated sums advanced together.
struct Accum4 {
  st_v4 s = {0, 0, 0, 0};  // running sums
  st_v4 c = {0, 0, 0, 0};  // corrections
  ST_LANES void add(st_v4 x) {
    const st_v4 t = s + x;
    const st_v4 z = t - s;
    c += (s - (t - z)) + (x - z);
    s = t;
  }
  // The same for terms added to a sum that are never negative (squares): the
  // larger of the two is then known by value, and the error takes the short
  // form of the rule that subtracts the new sum from the larger operand. It is
  // the same double in fewer additions.
  ST_LANES void addnonneg(st_v4 x) {
    const st_v4 t = s + x;
    const st_v4 hi = s > x ? s : x, lo = s > x ? x : s;
    c += (hi - t) + lo;
    s = t;
  }
  // The lanes folded into one compensated sum.
  Accum fold() const {
    Accum a;
    for (int i = 0; i < 4; ++i) a.add(s[i]);
    for (int i = 0; i < 4; ++i) a.add(c[i]);
    return a;
  }
  double value() const { return fold().value(); }
};
