// summarize over sizes around the chunk boundaries, once on this thread and
// once sharing the chunks with the helper: every saved figure must be the
// same double, with or without if and weights, and a weight error must be
// the same code. The values have long fractions and a large offset so that
// any change in the order of the additions shows in the last digits.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <cmath>
#include <string>
#include <vector>

#include "data/store.h"
#include "expr/expr.h"
#include "interp/cmdtab.h"
#include "interp/interp.h"
#include "output/output.h"
#include "results/results.h"
#include "stats/chunks.h"
#include "session_testutil.h"

namespace {

struct StatsChunks : CommandSession {
  void TearDown() override {
    stchunk = StChunkState{};
    CommandSession::TearDown();
  }
  // x: offset values with every 97th missing; w: weights 1..5; f: fweights
  // with one of 2.5 at observation bad (none when 0).
  void load(long n, long bad) {
    ASSERT_EQ(addvar("x", ST_DOUBLE), 0);
    ASSERT_EQ(addvar("w", ST_DOUBLE), 0);
    ASSERT_EQ(addvar("f", ST_DOUBLE), 0);
    ASSERT_EQ(addvar("b", ST_BYTE), 0);
    ASSERT_EQ(setobs_quiet(n), 0);
    TestDraws draws;
    for (long i = 1; i <= n; ++i) {
      const double u = draws.next();
      store(1, i, i % 97 == 0 ? misval : 1e6 + u / 3);
      store(2, i, static_cast<double>(1 + i % 5));
      store(3, i, i == bad ? 2.5 : static_cast<double>(1 + i % 3));
      store(4, i, static_cast<double>(draws.state >> 62));
    }
  }
  // The r() figures of line, on one thread and on two, as doubles.
  std::vector<double> figures(const std::string& line, long parmin, int* rc) {
    stchunk.parmin = parmin;
    *rc = execline(line);
    std::vector<double> v;
    for (const char* nm : {"N", "sum_w", "mean", "Var", "sd", "min", "max", "sum"}) {
      double d = -1;
      std::string s;
      v.push_back(val_find('r', nm, &d, &s) == 1 ? d : -1);
    }
    return v;
  }
};

TEST_F(StatsChunks, OneThreadAndTwoGiveTheSameFigures) {
  const long C = ST_CHUNK;
  for (long n : {C - 1, C, C + 1, 2 * C + 3, 4 * C + 513}) {
    ds_reset();
    load(n, 0);
    for (const char* line : {"summarize x", "summarize x if b > 0", "summarize x [aweight=w]",
                             "summarize x in 7/-3 [fweight=f]", "summarize x, meanonly"}) {
      SCOPED_TRACE(std::string(line) + " n=" + std::to_string(n));
      int rc1 = -1, rc2 = -1;
      const std::vector<double> one = figures(line, LONG_MAX, &rc1);
      const std::vector<double> two = figures(line, 0, &rc2);
      ASSERT_EQ(rc1, 0);
      ASSERT_EQ(rc2, 0);
      for (size_t k = 0; k < one.size(); ++k)
        EXPECT_EQ(std::memcmp(&one[k], &two[k], sizeof(double)), 0) << k << ": " << one[k] << " " << two[k];
      EXPECT_NEAR(one[2], 1e6 + 0.2, 0.1);  // a mean, not a stray figure
    }
  }
}

// A list of variables of several storage types around the chunk edges: the
// last one's figures are the same doubles on one thread and on two, and the
// same as by the path that applies a selection to every observation (an if
// that keeps them all), so the pass that reads the column alone cannot drift.
TEST_F(StatsChunks, ListFiguresMatchOnBothThreadCountsAndTheMaskedPath) {
  const long C = ST_CHUNK;
  for (long n : {C - 1, C + 1, 2 * C, 2 * C + 5, 4 * C + 513}) {
    ds_reset();
    load(n, 0);
    ASSERT_EQ(addvar("g", ST_FLOAT), 0);
    ASSERT_EQ(addvar("e", ST_DOUBLE), 0);
    for (long i = 1; i <= n; ++i) {
      store(5, i, i % 89 == 3 ? misval : static_cast<double>(static_cast<float>(zelta_data(1, i) / 7 - 1e5)));
      store(6, i, i == n - 3 ? 42.125 : misval);  // one value, the last one in range
    }
    for (const char* last : {"x", "b", "g", "e"}) {
      for (const char* rest : {"", " in 2/-4"}) {
        std::string line = "summarize w";
        for (const char* v : {"e", "g", "x", "b"})
          if (v != std::string(last)) line += std::string(" ") + v;
        line += std::string(" ") + last + rest;
        const std::string masked = std::string("summarize ") + last + (*rest ? rest : "") + " if 1";
        SCOPED_TRACE(line + " n=" + std::to_string(n));
        int rc[4] = {-1, -1, -1, -1};
        const std::vector<double> want = figures(line, LONG_MAX, &rc[0]);
        const std::vector<double> got[3] = {figures(line, 0, &rc[1]), figures(masked, LONG_MAX, &rc[2]),
                                            figures(masked, 0, &rc[3])};
        for (int r : rc) ASSERT_EQ(r, 0);
        for (const std::vector<double>& g : got)
          for (size_t k = 0; k < want.size(); ++k)
            EXPECT_EQ(std::memcmp(&want[k], &g[k], sizeof(double)), 0) << k << ": " << want[k] << " " << g[k];
        EXPECT_GT(want[0], *last == 'e' ? 0.5 : 1000.0);  // figures of the variable, not stray ones
      }
    }
  }
}

// A bad weight in the helper's half is the same error as on one thread,
// and one in the first half wins over a different one in the second.
TEST_F(StatsChunks, WeightErrorsAreTheFirstInOrder) {
  const long C = ST_CHUNK;
  for (long bad : {0L, C / 2}) {
    ds_reset();
    load(4 * C, bad);  // 2.5 at bad: code 401
    store(3, 3 * C + 5, -1);  // code 402
    for (long parmin : {LONG_MAX, 0L}) {
      stchunk.parmin = parmin;
      sink.clear();
      EXPECT_EQ(execline("summarize x [fweight=f]"), bad ? 401 : 402);
      EXPECT_NE(sink.find(bad ? "may not use noninteger frequency weights" : "negative weights encountered"),
                std::string::npos)
          << sink;
    }
  }
}

// Group statistics over data long enough to be reduced by halves: the new
// variables (or the collapsed dataset) are the same doubles whether the
// halves ran on one thread or two.
TEST_F(StatsChunks, GroupFiguresByHalvesAreTheSameOnOneThreadOrTwo) {
  const long n = ST_HALVES + 4099;
  for (const char* line : {"grpstat double m = mean(x), by(b)", "grpstat double m = total(x), by(b)",
                           "grpstat double m = sd(x), by(b)", "grpstat double m = mean(x) [aw=w], by(b)",
                           "grpstat double m = max(x), by(b)", "collapse (sd) x (min) mn=x (last) f (sum) sx=x, by(b w)",
                           "collapse (mean) x (count) w, by(b)"}) {
    SCOPED_TRACE(line);
    std::vector<std::vector<double>> got;
    for (long parmin : {LONG_MAX, 0L}) {
      ds_reset();
      load(n, 0);
      stchunk.parmin = parmin;
      ASSERT_EQ(execline(line), 0);
      std::vector<double> v;
      for (int j = 1; j <= ds.nvar; ++j)
        for (long i = 1; i <= ds.nobs; ++i) v.push_back(zelta_data(j, i));
      got.push_back(v);
    }
    ASSERT_EQ(got[0].size(), got[1].size());
    ASSERT_GT(got[0].size(), 3u);
    EXPECT_EQ(std::memcmp(got[0].data(), got[1].data(), got[0].size() * sizeof(double)), 0);
  }
}

}  // namespace
