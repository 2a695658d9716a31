// Weighted group statistics against plain loops: frequency weights give what
// the unweighted statistics give on the data with each observation repeated,
// analytic weights are rescaled within each group (scale-free, counts are the
// observations, totals N times the weighted mean). And outfile under injected
// write failures: code 699 and the earlier file as it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <dirent.h>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "data/store.h"
#include "expr/expr.h"
#include "files/atomicfile.h"
#include "interp/cmd/resetall.h"
#include "interp/cmdtab.h"
#include "interp/interp.h"
#include "output/output.h"
#include "stats/grpacc.h"
#include "stats/stats.h"
#include "session_testutil.h"

namespace {

// Groups of random values and weights (some zero, some missing values).
struct Data {
  std::vector<double> x, w;
  LvCodes code;
  int ng = 4;
  explicit Data(unsigned seed, bool integral) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> u(-5, 5);
    std::uniform_int_distribution<int> g(0, ng - 1), k(0, 4);
    for (int i = 0; i < 60; ++i) {
      code.push_back(g(rng));
      x.push_back(i % 11 == 3 ? misval : std::round(u(rng) * 100) / 100);
      w.push_back(integral ? k(rng) : std::fabs(u(rng)) + (i % 7 == 0 ? 0 : 0.25));
    }
  }
  GsFetch fetch() const {
    return [this](long obs, long m, double* out) {
      for (long j = 0; j < m; ++j) out[j] = x[static_cast<size_t>(obs - 1 + j)];
    };
  }
  std::vector<double> stat(int s, double p, const std::vector<double>& wt, char kind) const {
    std::vector<double> out;
    EXPECT_EQ(gs_compute(s, p, 1, code, ng, fetch(), wt, kind, out), 0);
    return out;
  }
};

// The values of group g, each repeated as often as its weight says.
std::vector<double> expanded(const Data& d, int g) {
  std::vector<double> v;
  for (size_t i = 0; i < d.x.size(); ++i)
    if (d.code[i] == g && d.x[i] < misval)
      for (int r = 0; r < static_cast<int>(d.w[i]); ++r) v.push_back(d.x[i]);
  return v;
}

TEST(GroupWeights, FrequencyWeightsRepeatObservations) {
  const Data d(7, true);
  const std::vector<double> none;
  const auto cnt = d.stat(GS_COUNT, 0, d.w, WK_F), sum = d.stat(GS_SUM, 0, d.w, WK_F),
             mean = d.stat(GS_MEAN, 0, d.w, WK_F), sd = d.stat(GS_SD, 0, d.w, WK_F),
             med = d.stat(GS_PCTILE, 50, d.w, WK_F);
  for (int g = 0; g < d.ng; ++g) {
    std::vector<double> v = expanded(d, g);
    ASSERT_GT(v.size(), 2u);
    double s = 0;
    for (double x : v) s += x;
    const double n = static_cast<double>(v.size()), m = s / n;
    double ss = 0;
    for (double x : v) ss += (x - m) * (x - m);
    std::sort(v.begin(), v.end());
    const double median = v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
    EXPECT_EQ(cnt[static_cast<size_t>(g)], n) << g;
    EXPECT_NEAR(sum[static_cast<size_t>(g)], s, 1e-9) << g;
    EXPECT_NEAR(mean[static_cast<size_t>(g)], m, 1e-12) << g;
    EXPECT_NEAR(sd[static_cast<size_t>(g)], std::sqrt(ss / (n - 1)), 1e-12) << g;
    EXPECT_EQ(med[static_cast<size_t>(g)], median) << g;
  }
}

TEST(GroupWeights, AnalyticWeightsAreRescaledWithinGroups) {
  const Data d(11, false);
  std::vector<double> w7 = d.w;
  for (double& x : w7) x *= 7;
  for (int s : {GS_COUNT, GS_SUM, GS_MEAN, GS_SD}) {
    const auto a = d.stat(s, 0, d.w, WK_A), b = d.stat(s, 0, w7, WK_A);
    for (int g = 0; g < d.ng; ++g)
      EXPECT_NEAR(a[static_cast<size_t>(g)], b[static_cast<size_t>(g)], 1e-10 * std::fabs(a[static_cast<size_t>(g)]))
          << "statistic " << s << " group " << g;
  }
  const auto cnt = d.stat(GS_COUNT, 0, d.w, WK_A), sum = d.stat(GS_SUM, 0, d.w, WK_A),
             sd = d.stat(GS_SD, 0, d.w, WK_A);
  for (int g = 0; g < d.ng; ++g) {
    double n = 0, W = 0, S = 0;
    for (size_t i = 0; i < d.x.size(); ++i)
      if (d.code[i] == g && d.x[i] < misval && d.w[i] > 0) ++n, W += d.w[i], S += d.w[i] * d.x[i];
    const double m = S / W;
    double ss = 0;
    for (size_t i = 0; i < d.x.size(); ++i)
      if (d.code[i] == g && d.x[i] < misval && d.w[i] > 0) ss += d.w[i] * (d.x[i] - m) * (d.x[i] - m);
    EXPECT_EQ(cnt[static_cast<size_t>(g)], n) << g;
    EXPECT_NEAR(sum[static_cast<size_t>(g)], n * m, 1e-10 * std::fabs(n * m)) << g;
    // the rescaled weights sum to n: the divisor is n - 1 in their units
    EXPECT_NEAR(sd[static_cast<size_t>(g)], std::sqrt(ss * n / W / (n - 1)), 1e-12) << g;
  }
}

TEST(GroupWeights, ImportanceWeightsCountAsGiven) {
  const Data d(5, false);
  const auto cnt = d.stat(GS_COUNT, 0, d.w, WK_I), sum = d.stat(GS_SUM, 0, d.w, WK_I);
  for (int g = 0; g < d.ng; ++g) {
    double W = 0, S = 0;
    for (size_t i = 0; i < d.x.size(); ++i)
      if (d.code[i] == g && d.x[i] < misval && d.w[i] != 0) W += d.w[i], S += d.w[i] * d.x[i];
    EXPECT_NEAR(cnt[static_cast<size_t>(g)], W, 1e-12) << g;
    EXPECT_NEAR(sum[static_cast<size_t>(g)], S, 1e-12) << g;
  }
}

std::string slurp(const std::string& fn) {
  std::ifstream f(fn);
  std::stringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

int entries(const std::string& dir) {
  int n = 0;
  DIR* d = opendir(dir.c_str());
  while (dirent* e = readdir(d))
    if (e->d_name[0] != '.') ++n;
  closedir(d);
  return n;
}

struct OutfileTest : CommandSession {
  std::string dir;
  void SetUp() override {
    CommandSession::SetUp();
    char tmpl[] = "/tmp/zelta_outfile_XXXXXX";
    dir = mkdtemp(tmpl);
  }
  void TearDown() override {
    std::remove((dir + "/o.raw").c_str());
    rmdir(dir.c_str());
    CommandSession::TearDown();
  }
};

TEST_F(OutfileTest, FailedWriteKeepsTheEarlierFile) {
  ASSERT_EQ(execline("set obs 3"), 0);
  ASSERT_EQ(execline("generate x = _n"), 0);
  ASSERT_EQ(execline("outfile using " + dir + "/o"), 0);
  const std::string good = slurp(dir + "/o.raw");
  EXPECT_EQ(good, "        1\n        2\n        3\n");
  ASSERT_EQ(execline("replace x = x * 10"), 0);
  // the write, the sync and the rename: each failure leaves the first file
  for (int at = 1; at <= 3; ++at) {
    afs = AtomicFileState{};
    afs.failat = at;
    EXPECT_EQ(execline("outfile using " + dir + "/o, replace"), 699) << "failure at " << at;
    EXPECT_EQ(slurp(dir + "/o.raw"), good) << "failure at " << at;
    EXPECT_EQ(entries(dir), 1) << "temporary file left after failure at " << at;
  }
  afs = AtomicFileState{};
  EXPECT_EQ(execline("outfile using " + dir + "/o, replace"), 0);
  EXPECT_EQ(slurp(dir + "/o.raw"), "       10\n       20\n       30\n");
}

}  // namespace
