// The sweep inverse (full rank, collinear pivots left out, tolerance at the
// scale of each pivot) and the compensated sum against the two-branch form.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "results/sweep.h"
#include "stats/accum.h"

TEST(Sweep, InverseOfPositiveDefinite) {
  // A = B'B + I for a fixed B, inverted and multiplied back.
  const int n = 4;
  double a[16], b[16] = {2, 1, 0, 3, 1, 4, 1, 0, 0, 2, 5, 1, 1, 0, 1, 2};
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j) {
      double s = i == j ? 1 : 0;
      for (int k = 0; k < n; ++k) s += b[k * n + i] * b[k * n + j];
      a[i * n + j] = s;
    }
  double inv[16];
  for (int i = 0; i < 16; ++i) inv[i] = a[i];
  unsigned char swept[4];
  SweepResult r = sweep_inverse(inv, n, n, swept);
  EXPECT_EQ(r.rank, 4);
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j) {
      double s = 0;
      for (int k = 0; k < n; ++k) s += a[i * n + k] * inv[k * n + j];
      EXPECT_NEAR(s, i == j ? 1.0 : 0.0, 1e-12) << i << "," << j;
      EXPECT_DOUBLE_EQ(inv[i * n + j], inv[j * n + i]);
    }
}

TEST(Sweep, IdenticalColumnsLeaveTheSecondOut) {
  // Columns 1 and 2 identical: pivot 2 is not swept and its row and column are zero.
  double a[9] = {4, 4, 1, 4, 4, 1, 1, 1, 3};
  unsigned char swept[3];
  SweepResult r = sweep_inverse(a, 3, 3, swept);
  EXPECT_EQ(r.rank, 2);
  EXPECT_EQ(swept[0], 1);
  EXPECT_EQ(swept[1], 0);
  EXPECT_EQ(swept[2], 1);
  for (int j = 0; j < 3; ++j) {
    EXPECT_EQ(a[1 * 3 + j], 0.0);
    EXPECT_EQ(a[j * 3 + 1], 0.0);
  }
  // The kept block [[4,1],[1,3]] has inverse [[3,-1],[-1,4]]/11.
  EXPECT_NEAR(a[0], 3.0 / 11, 1e-15);
  EXPECT_NEAR(a[2], -1.0 / 11, 1e-15);
  EXPECT_NEAR(a[8], 4.0 / 11, 1e-15);
}

TEST(Sweep, ToleranceFollowsTheScaleOfEachPivot) {
  // A small but independent pivot (1e-18) is kept, one below the floor of
  // 1e-19 is not; a negative diagonal is treated as zero and left out.
  double a[4] = {1e-18, 0, 0, 1e-20};
  SweepResult r = sweep_inverse(a, 2, 2, nullptr);
  EXPECT_EQ(r.rank, 1);
  EXPECT_NEAR(a[0], 1e18, 1e3);
  EXPECT_EQ(a[3], 0.0);
  double b[4] = {-1, 0, 0, 2};
  r = sweep_inverse(b, 2, 2, nullptr);
  EXPECT_EQ(r.rank, 1);
  EXPECT_EQ(b[0], 0.0);
  EXPECT_EQ(b[3], 0.5);
}

TEST(Sweep, PivotIsItsOwnClassicalForm) {
  // One pivot of [[a,b],[b,c]]: [[1/a, b/a], [-b/a, c - b^2/a]].
  double a[4] = {2, 3, 3, 7};
  EXPECT_EQ(sweep_pivot(a, 2, 2, 0), 0);
  EXPECT_DOUBLE_EQ(a[0], 0.5);
  EXPECT_DOUBLE_EQ(a[1], 1.5);
  EXPECT_DOUBLE_EQ(a[2], -1.5);
  EXPECT_DOUBLE_EQ(a[3], 2.5);
  double z[4] = {0, 1, 1, 1};
  EXPECT_EQ(sweep_pivot(z, 2, 2, 0), 1);
}

// The two-branch correction: the operand of larger exponent is subtracted.
static void accum_twobranch(double& s, double& c, double x) {
  const double t = s + x;
  int ex, es;
  std::frexp(x, &ex);
  std::frexp(s, &es);
  if (s == 0 || (x != 0 && ex > es))
    c += (x - t) + s;
  else
    c += (s - t) + x;
  s = t;
}

TEST(Accum, MatchesTheTwoBranchFormBitForBit) {
  std::mt19937_64 g(7);
  std::uniform_real_distribution<double> u(-1, 1);
  Accum a;
  double s = 0, c = 0;
  for (int i = 0; i < 100000; ++i) {
    const double x = u(g) * std::ldexp(1.0, static_cast<int>(g() % 80) - 40);
    a.add(x);
    accum_twobranch(s, c, x);
    ASSERT_EQ(a.s, s);
    ASSERT_EQ(a.c, c);
  }
}

// The short form for sums of squares leaves the same sums and corrections as
// the general one, lane by lane, over terms of every size, zeros included.
TEST(Accum, NonNegativeTermsGiveTheSameLanesAsTheGeneralForm) {
  std::mt19937_64 g(11);
  std::uniform_real_distribution<double> u(-1, 1);
  Accum4 a, b;
  for (int i = 0; i < 100000; ++i) {
    st_v4 x;
    for (int j = 0; j < 4; ++j) {
      const double d = g() % 50 == 0 ? 0 : u(g) * std::ldexp(1.0, static_cast<int>(g() % 60) - 30);
      x[j] = d * d;
    }
    a.add(x);
    b.addnonneg(x);
    for (int j = 0; j < 4; ++j) {
      ASSERT_EQ(a.s[j], b.s[j]) << i;
      ASSERT_EQ(std::signbit(a.c[j]), std::signbit(b.c[j])) << i;
      ASSERT_EQ(a.c[j], b.c[j]) << i;
    }
  }
  EXPECT_NE(a.c[0], 0.0);  // the corrections were at work
}

TEST(Accum, RecoversWhatPlainSummationLoses) {
  // 1e16 + 1 + 1 + ... (1000 ones) - 1e16: plain sums lose every one.
  Accum a;
  a.add(1e16);
  for (int i = 0; i < 1000; ++i) a.add(1);
  a.add(-1e16);
  EXPECT_EQ(a.value(), 1000.0);
}
