// The matrix routines against independent computations: the blocked sweep
// against the one-pivot-at-a-time sweep and against an LU inverse from
// LAPACK, the generalised inverse of a rank-deficient matrix (A G A = A),
// and the accumulation commands against plain loops over the same data,
// with weights, missing values and groups.
#include <gtest/gtest.h>
#include <lapacke.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "data/store.h"
#include "expr/expr.h"
#include "interp/cmd/resetall.h"
#include "interp/cmdtab.h"
#include "interp/interp.h"
#include "output/output.h"
#include "results/results.h"
#include "results/sweep.h"
#include "session_testutil.h"

namespace {

// A random symmetric positive-definite n x n matrix (B'B + n I).
std::vector<double> spd(int n, unsigned seed) {
  std::mt19937_64 g(seed);
  std::uniform_real_distribution<double> u(-1, 1);
  std::vector<double> b(static_cast<size_t>(n * n)), a(static_cast<size_t>(n * n));
  for (double& x : b) x = u(g);
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j) {
      double s = i == j ? n : 0;
      for (int k = 0; k < n; ++k) s += b[static_cast<size_t>(k * n + i)] * b[static_cast<size_t>(k * n + j)];
      a[static_cast<size_t>(i * n + j)] = s;
    }
  return a;
}

// The one-pivot-at-a-time sweep with the same tolerances.
std::vector<double> seqsweep(std::vector<double> a, int n, std::vector<unsigned char>& done) {
  done.assign(static_cast<size_t>(n), 0);
  std::vector<double> tol(static_cast<size_t>(n));
  for (int k = 0; k < n; ++k) {
    double& d = a[static_cast<size_t>(k * n + k)];
    if (d < 0) d = 0;
    tol[static_cast<size_t>(k)] = std::max(d == 0 ? 1e-9 : 1e-9 * d, 1e-19);
  }
  for (int k = 0; k < n; ++k)
    if (a[static_cast<size_t>(k * n + k)] > tol[static_cast<size_t>(k)]) {
      EXPECT_EQ(sweep_pivot(a.data(), n, n, k), 0);
      done[static_cast<size_t>(k)] = 1;
    }
  for (int k = 0; k < n; ++k)
    if (!done[static_cast<size_t>(k)])
      for (int j = 0; j < n; ++j) a[static_cast<size_t>(k * n + j)] = a[static_cast<size_t>(j * n + k)] = 0;
  return a;
}

double maxabs(const std::vector<double>& a) {
  double m = 0;
  for (double x : a) m = std::max(m, std::fabs(x));
  return m;
}

}  // namespace

TEST(SweepBlocked, MatchesLapackInverse) {
  for (int n : {96, 150, 257}) {
    std::vector<double> a = spd(n, static_cast<unsigned>(n)), inv = a, lu = a;
    SweepResult r = sweep_inverse(inv.data(), n, n, nullptr);
    EXPECT_EQ(r.rank, n);
    std::vector<lapack_int> piv(static_cast<size_t>(n));
    ASSERT_EQ(LAPACKE_dgetrf(LAPACK_ROW_MAJOR, n, n, lu.data(), n, piv.data()), 0);
    ASSERT_EQ(LAPACKE_dgetri(LAPACK_ROW_MAJOR, n, lu.data(), n, piv.data()), 0);
    const double scale = maxabs(lu);
    for (int i = 0; i < n; ++i)
      for (int j = 0; j <= i; ++j)
        ASSERT_NEAR(inv[static_cast<size_t>(i * n + j)], lu[static_cast<size_t>(i * n + j)], 1e-12 * scale)
            << n << ": " << i << "," << j;
  }
}

TEST(SweepBlocked, LeavesOutTheSamePivotsAsOneAtATime) {
  // Columns 10, 61 and 130 repeat earlier ones (exactly), column 200 is a
  // sum of two others: those pivots must be left out, in the block sweep as
  // in the one-at-a-time sweep, and both must agree element by element.
  const int n = 220, m = 400;
  std::mt19937_64 g(7);
  std::normal_distribution<double> z;
  std::vector<double> X(static_cast<size_t>(m * n));
  for (double& x : X) x = z(g);
  for (int i = 0; i < m; ++i) {
    X[static_cast<size_t>(i * n + 10)] = X[static_cast<size_t>(i * n + 3)];
    X[static_cast<size_t>(i * n + 61)] = X[static_cast<size_t>(i * n + 60)];
    X[static_cast<size_t>(i * n + 130)] = X[static_cast<size_t>(i * n + 5)];
    X[static_cast<size_t>(i * n + 200)] = X[static_cast<size_t>(i * n + 1)] + X[static_cast<size_t>(i * n + 2)];
  }
  std::vector<double> a(static_cast<size_t>(n * n), 0.0);
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j) {
      double s = 0;
      for (int k = 0; k < m; ++k) s += X[static_cast<size_t>(k * n + i)] * X[static_cast<size_t>(k * n + j)];
      a[static_cast<size_t>(i * n + j)] = s;
    }
  std::vector<unsigned char> done, swept(static_cast<size_t>(n));
  std::vector<double> ref = seqsweep(a, n, done), G = a;
  SweepResult r = sweep_inverse(G.data(), n, n, swept.data());
  EXPECT_EQ(r.rank, n - 4);
  for (int k : {10, 61, 130, 200}) EXPECT_EQ(swept[static_cast<size_t>(k)], 0) << k;
  for (int k = 0; k < n; ++k) EXPECT_EQ(swept[static_cast<size_t>(k)], done[static_cast<size_t>(k)]) << k;
  const double scale = maxabs(ref);
  for (int i = 0; i < n; ++i)
    for (int j = 0; j <= i; ++j)
      ASSERT_NEAR(G[static_cast<size_t>(i * n + j)], ref[static_cast<size_t>(i * n + j)], 1e-9 * scale) << i << "," << j;
  // A G A = A: G is a generalised inverse (lower triangle mirrored first).
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < i; ++j) G[static_cast<size_t>(j * n + i)] = G[static_cast<size_t>(i * n + j)];
  std::vector<double> AG(static_cast<size_t>(n * n), 0.0);
  for (int i = 0; i < n; ++i)
    for (int k = 0; k < n; ++k)
      for (int j = 0; j < n; ++j) AG[static_cast<size_t>(i * n + j)] += a[static_cast<size_t>(i * n + k)] * G[static_cast<size_t>(k * n + j)];
  const double ascale = maxabs(a);
  for (int i = 0; i < n; i += 7)
    for (int j = 0; j < n; j += 5) {
      double s = 0;
      for (int k = 0; k < n; ++k) s += AG[static_cast<size_t>(i * n + k)] * a[static_cast<size_t>(k * n + j)];
      ASSERT_NEAR(s, a[static_cast<size_t>(i * n + j)], 1e-8 * ascale) << i << "," << j;
    }
}

struct MatAccum : CommandSession {
  // n observations of x1..x3 (x2 missing in every seventh), weight w (1..4),
  // group g (1..5) and row r (1..3 within the data).
  std::vector<std::vector<double>> cols;
  void load(long n) {
    for (const char* v : {"x1", "x2", "x3", "w", "g", "r"}) ASSERT_EQ(addvar(v, ST_DOUBLE), 0);
    ASSERT_EQ(setobs(n), 0);
    std::mt19937_64 gen(11);
    std::uniform_real_distribution<double> u(-2, 3);
    cols.assign(6, std::vector<double>(static_cast<size_t>(n)));
    for (long o = 0; o < n; ++o) {
      cols[0][static_cast<size_t>(o)] = u(gen);
      cols[1][static_cast<size_t>(o)] = o % 7 == 3 ? misval : u(gen);
      cols[2][static_cast<size_t>(o)] = u(gen) * 100 + 1e4;
      cols[3][static_cast<size_t>(o)] = static_cast<double>(1 + o % 4);
      cols[4][static_cast<size_t>(o)] = static_cast<double>(1 + (o * 7) % 5);
      cols[5][static_cast<size_t>(o)] = static_cast<double>(1 + o % 3);
      for (int v = 0; v < 6; ++v) store(v + 1, o + 1, cols[static_cast<size_t>(v)][static_cast<size_t>(o)]);
    }
  }
  const Matrix& mat(const char* name) {
    const Matrix* m = mat_find(name);
    EXPECT_NE(m, nullptr) << name;
    static Matrix empty;
    return m ? *m : empty;
  }
};

TEST_F(MatAccum, WeightedCrossProductsWithConstant) {
  const long n = 20011;  // more than two blocks
  load(n);
  ASSERT_EQ(execline("matrix accum A = x1 x2 x3 [fw=w]"), 0);
  // The same sums by a plain loop (x2 missing drops the observation).
  double ref[4][4] = {}, N = 0;
  for (long o = 0; o < n; ++o) {
    const double x[4] = {cols[0][static_cast<size_t>(o)], cols[1][static_cast<size_t>(o)], cols[2][static_cast<size_t>(o)], 1};
    if (x[1] >= misval) continue;
    const double w = cols[3][static_cast<size_t>(o)];
    N += w;
    for (int i = 0; i < 4; ++i)
      for (int j = 0; j < 4; ++j) ref[i][j] += w * x[i] * x[j];
  }
  const Matrix& A = mat("A");
  ASSERT_EQ(A.rows, 4);
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) EXPECT_NEAR(A.at(i, j), ref[i][j], 1e-10 * std::fabs(ref[i][j]) + 1e-9) << i << j;
  EXPECT_EQ(A.cnames[3], "_cons");
  EXPECT_EQ(*res.r.scalar("N"), N);
}

TEST_F(MatAccum, DeviationsAndAweightsRescaled) {
  const long n = 9001;
  load(n);
  ASSERT_EQ(execline("matrix accum D = x1 x3 [aw=w], deviations noconstant means(M)"), 0);
  double W = 0, sx[2] = {}, cnt = 0;
  for (long o = 0; o < n; ++o) {
    const double w = cols[3][static_cast<size_t>(o)];
    W += w, cnt += 1;
    sx[0] += w * cols[0][static_cast<size_t>(o)];
    sx[1] += w * cols[2][static_cast<size_t>(o)];
  }
  const double mu[2] = {sx[0] / W, sx[1] / W};
  double ref[2][2] = {};
  for (long o = 0; o < n; ++o) {
    const double w = cols[3][static_cast<size_t>(o)] * cnt / W;  // aweights sum to N
    const double d[2] = {cols[0][static_cast<size_t>(o)] - mu[0], cols[2][static_cast<size_t>(o)] - mu[1]};
    for (int i = 0; i < 2; ++i)
      for (int j = 0; j < 2; ++j) ref[i][j] += w * d[i] * d[j];
  }
  const Matrix& D = mat("D");
  const Matrix& M = mat("M");
  for (int i = 0; i < 2; ++i) {
    EXPECT_NEAR(M.v[static_cast<size_t>(i)], mu[i], 1e-12 * std::fabs(mu[i]));
    for (int j = 0; j < 2; ++j) EXPECT_NEAR(D.at(i, j), ref[i][j], 1e-9 * std::fabs(ref[i][j])) << i << j;
  }
}

TEST_F(MatAccum, VecaccumOpaccumGlsaccum) {
  const long n = 3000;
  load(n);
  ASSERT_EQ(execline("matrix vecaccum v = x1 x2 x3 [iw=w]"), 0);
  ASSERT_EQ(execline("matrix opaccum O = x1 x3, group(g) opvariables(x2)"), 0);
  ASSERT_EQ(execline("matrix Wg = (2, 1, 0 \\ 1, 3, 1 \\ 0, 1, 4)"), 0);
  ASSERT_EQ(execline("matrix glsaccum G = x1, group(g) glsmatrix(Wg) row(r) noconstant"), 0);
  double rv[3] = {}, ro[3][3] = {}, rg = 0;
  double e[6][3] = {};  // per group: sum of x e (x1, x3, _cons)
  for (long o = 0; o < n; ++o) {
    const size_t s = static_cast<size_t>(o);
    const double x1 = cols[0][s], x2 = cols[1][s], x3 = cols[2][s], w = cols[3][s];
    const int g = static_cast<int>(cols[4][s]);
    if (x2 >= misval) continue;
    rv[0] += w * x1 * x2, rv[1] += w * x1 * x3, rv[2] += w * x1;
    e[g][0] += x1 * x2, e[g][1] += x3 * x2, e[g][2] += x2;
  }
  for (int g = 1; g <= 5; ++g)
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 3; ++j) ro[i][j] += e[g][i] * e[g][j];
  // glsaccum over all observations (x2 is not among its variables).
  const double Wg[3][3] = {{2, 1, 0}, {1, 3, 1}, {0, 1, 4}};
  double sg[6][3] = {};  // per group and row: sum of x1
  for (long o = 0; o < n; ++o) {
    const size_t s = static_cast<size_t>(o);
    sg[static_cast<int>(cols[4][s])][static_cast<int>(cols[5][s]) - 1] += cols[0][s];
  }
  for (int g = 1; g <= 5; ++g)
    for (int a = 0; a < 3; ++a)
      for (int b = 0; b < 3; ++b) rg += sg[g][a] * Wg[a][b] * sg[g][b];
  const Matrix& v = mat("v");
  ASSERT_EQ(v.rows, 1);
  ASSERT_EQ(v.cols, 3);
  EXPECT_EQ(v.rnames[0], "x1");
  for (int j = 0; j < 3; ++j) EXPECT_NEAR(v.v[static_cast<size_t>(j)], rv[j], 1e-9 * std::fabs(rv[j]) + 1e-9) << j;
  const Matrix& O = mat("O");
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) EXPECT_NEAR(O.at(i, j), ro[i][j], 1e-9 * std::fabs(ro[i][j]) + 1e-6) << i << j;
  const Matrix& G = mat("G");
  ASSERT_EQ(G.rows, 1);
  EXPECT_NEAR(G.at(0, 0), rg, 1e-9 * std::fabs(rg));
}

TEST_F(MatAccum, BadWeightsAndEmptySamples) {
  load(50);
  ASSERT_EQ(execline("replace w = -1 in 3"), 0);
  EXPECT_EQ(execline("matrix accum A = x1 [fw=w]"), 402);
  EXPECT_EQ(execline("matrix accum A = x1 [iw=w]"), 0);
  ASSERT_EQ(execline("replace w = 1.5 in 3"), 0);
  EXPECT_EQ(execline("matrix accum A = x1 [fw=w]"), 401);
  EXPECT_EQ(execline("matrix accum A = x1 if x1 > 100"), 2000);
  EXPECT_EQ(execline("matrix opaccum A = x1, opvariables(x2)"), 198);
  EXPECT_EQ(execline("matrix glsaccum A = x1, group(g) row(r) glsmatrix(nosuch)"), 111);
}
