// The cross-product kernel against a plain loop: every column count it
// takes, with and without the constant, row counts around its chunk and
// vector widths, columns that start off a vector boundary, the lower
// triangle only, and the missing-value test (anywhere in a column, in the
// last rows, NaN) leaving the sums untouched.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "data/value.h"
#include "results/xprod.h"

namespace {

struct Data {
  std::vector<std::vector<double>> col;
  std::vector<const double*> ptr;
};

// p columns of m small integers (exact sums), each starting `skew` doubles
// into its buffer.
Data make(int p, long m, int skew, unsigned seed) {
  std::mt19937 g(seed);
  std::uniform_int_distribution<int> u(-50, 50);
  Data d;
  d.col.resize(static_cast<size_t>(p));
  for (auto& c : d.col) {
    c.assign(static_cast<size_t>(m + skew), 0.0);
    for (long i = 0; i < m; ++i) c[static_cast<size_t>(i + skew)] = u(g);
  }
  for (auto& c : d.col) d.ptr.push_back(c.data() + skew);
  return d;
}

// X'X by a plain loop, with a column of ones after the p columns when cons.
std::vector<double> plain(const Data& d, int p, long m, bool cons = false) {
  const int P = p + (cons ? 1 : 0);
  auto at = [&](int a, long i) { return a < p ? d.ptr[static_cast<size_t>(a)][i] : 1.0; };
  std::vector<double> c(static_cast<size_t>(P * P), 0.0);
  for (int a = 0; a < P; ++a)
    for (int b = 0; b <= a; ++b) {
      double s = 0;
      for (long i = 0; i < m; ++i) s += at(a, i) * at(b, i);
      c[static_cast<size_t>(b * P + a)] = s;
    }
  return c;
}

TEST(CrossProductKernel, MatchesPlainLoopForEveryShape) {
  for (bool cons : {false, true})
    for (int p = 1; p + (cons ? 1 : 0) <= XPROD_MAXCOLS; ++p)
      for (long m : {1L, 3L, 4L, 5L, 255L, 256L, 257L, 1031L}) {
        const int P = p + (cons ? 1 : 0);
        Data d = make(p, m, static_cast<int>(m % 3), static_cast<unsigned>(p * 1000 + m));
        std::vector<double> c(static_cast<size_t>(P * P), -7.0);
        // The upper triangle keeps its -7; the lower one gets the sums added.
        for (int a = 0; a < P; ++a)
          for (int b = 0; b <= a; ++b) c[static_cast<size_t>(b * P + a)] = 0;
        ASSERT_TRUE(xprod_add(d.ptr.data(), p, cons, m, c.data()));
        std::vector<double> want = plain(d, p, m, cons);
        for (int a = 0; a < P; ++a)
          for (int b = 0; b < P; ++b) {
            const double got = c[static_cast<size_t>(b * P + a)];
            if (b <= a) ASSERT_EQ(got, want[static_cast<size_t>(b * P + a)]) << p << " " << m << " " << a << " " << b;
            else ASSERT_EQ(got, -7.0) << p << " " << m << " " << a << " " << b;
          }
      }
}

TEST(CrossProductKernel, AddsIntoWhatIsThere) {
  Data d = make(3, 100, 0, 5);
  std::vector<double> c(16, 0.0);
  ASSERT_TRUE(xprod_add(d.ptr.data(), 3, true, 100, c.data()));
  std::vector<double> once = c;
  EXPECT_EQ(once[15], 100);
  ASSERT_TRUE(xprod_add(d.ptr.data(), 3, true, 100, c.data()));
  for (size_t i = 0; i < 16; ++i) EXPECT_EQ(c[i], 2 * once[i]);
}

TEST(CrossProductKernel, NonIntegerDataCloseToPlainLoop) {
  // Non-integer data: the sums are the kernel's own order (four lanes,
  // combined pairwise), close to the plain loop's.
  std::mt19937_64 g(11);
  std::uniform_real_distribution<double> u(0, 1);
  const int p = 7;
  const long m = 5000;
  Data d;
  d.col.assign(p, std::vector<double>(m));
  for (auto& c : d.col)
    for (double& x : c) x = u(g);
  for (auto& c : d.col) d.ptr.push_back(c.data());
  const int P = p + 1;
  std::vector<double> c(P * P, 0.0);
  ASSERT_TRUE(xprod_add(d.ptr.data(), p, true, m, c.data()));
  std::vector<double> want = plain(d, p, m, true);
  for (int a = 0; a < P; ++a)
    for (int b = 0; b <= a; ++b)
      EXPECT_NEAR(c[static_cast<size_t>(b * P + a)], want[static_cast<size_t>(b * P + a)], 1e-12 * want[static_cast<size_t>(b * P + a)]);
}

TEST(CrossProductKernel, MissingValueLeavesSumsAlone) {
  for (int p : {1, 2, 5, 11, 32})
    for (long at : {0L, 3L, 256L, 700L, 1030L}) {
      for (double bad : {misval, misval_k(26), std::nan("")}) {
        Data d = make(p, 1031, 1, 3);
        d.col[static_cast<size_t>(p - 1)][static_cast<size_t>(at + 1)] = bad;
        const bool cons = p < XPROD_MAXCOLS;
        const int P = p + (cons ? 1 : 0);
        std::vector<double> c(static_cast<size_t>(P * P), 1.5);
        EXPECT_FALSE(xprod_add(d.ptr.data(), p, cons, 1031, c.data())) << p << " " << at;
        for (double x : c) ASSERT_EQ(x, 1.5);
      }
    }
  // A missing value in the first column, the one every tile reads as a y.
  Data d = make(6, 40, 0, 9);
  d.col[0][39] = misval;
  std::vector<double> c(36, 0.0);
  EXPECT_FALSE(xprod_add(d.ptr.data(), 6, false, 40, c.data()));
}

TEST(CrossProductKernel, AnyMissing) {
  std::vector<double> v(1000, 2.0);
  EXPECT_FALSE(xprod_anymissing(v.data(), 1000));
  EXPECT_FALSE(xprod_anymissing(v.data(), 0));
  for (long at : {0L, 7L, 255L, 256L, 999L}) {
    std::vector<double> w = v;
    w[static_cast<size_t>(at)] = misval_k(1);
    EXPECT_TRUE(xprod_anymissing(w.data(), 1000)) << at;
    EXPECT_FALSE(xprod_anymissing(w.data(), at)) << at;
  }
}

}  // namespace
