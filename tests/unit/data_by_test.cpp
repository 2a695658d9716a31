// The by driver: generate and replace compiled once for every group must
// give what one dispatch per group gives; the nesting limit; a Break stops
// the run and leaves the state of a run outside by.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "data/by.h"
#include "data/store.h"
#include "expr/expr.h"
#include "interp/cmd/resetall.h"
#include "interp/cmdtab.h"
#include "interp/interp.h"
#include "output/output.h"
#include "platform/platform.h"
#include "session_testutil.h"

namespace {

struct ByTest : CommandSession {
  void SetUp() override {
    CommandSession::SetUp();
    // g: groups of 1 to 7 observations; x with missing values.
    std::mt19937 rng(5);
    ASSERT_EQ(addvar("g", ST_LONG), 0);
    ASSERT_EQ(addvar("x", ST_DOUBLE), 0);
    ASSERT_EQ(setobs_quiet(3000), 0);
    long grp = 0, left = 0;
    for (long o = 1; o <= ds.nobs; ++o) {
      if (!left) ++grp, left = 1 + static_cast<long>(rng() % 7);
      --left;
      store(1, o, static_cast<double>(grp));
      store(2, o, rng() % 5 == 0 ? misval : static_cast<double>(rng() % 100) / 4);
    }
    ASSERT_EQ(execline("sort g"), 0);
  }
  // Runs a line and returns the variable it made, as doubles.
  std::vector<double> column(const std::string& name) {
    std::vector<double> r;
    int v = findvarexact(name.c_str());
    EXPECT_GT(v, 0) << name;
    for (long o = 1; v > 0 && o <= ds.nobs; ++o) r.push_back(zelta_data(v, o));
    return r;
  }
};

// `capture` makes the driver dispatch every group separately: the reference.
TEST_F(ByTest, CompiledOnceEqualsOneDispatchPerGroup) {
  const char* exps[] = {"_n", "_N - _n", "sum(x)", "x[_n-1]", "x[_N]", "cond(_n == 1, x, .)", "_byindex()",
                        "_bylastcall()", "_byn2() - _byn1()"};
  int k = 0;
  for (const char* e : exps) {
    std::string a = "a" + std::to_string(k), b = "b" + std::to_string(k);
    ++k;
    ASSERT_EQ(execline("by g: generate double " + a + " = " + e + " if x < 20"), 0) << e;
    ASSERT_EQ(execline("by g: capture generate double " + b + " = " + e + " if x < 20"), 0) << e;
    EXPECT_EQ(column(a), column(b)) << e;
    ASSERT_EQ(execline("by g: replace " + a + " = " + a + " + sum(x)"), 0) << e;
    ASSERT_EQ(execline("by g: capture replace " + b + " = " + b + " + sum(x)"), 0) << e;
    EXPECT_EQ(column(a), column(b)) << e;
  }
  // The messages of both runs are the same too: one report after the last group.
  sink.clear();
  ASSERT_EQ(execline("by g: generate m1 = 1/(x-5)"), 0);
  std::string one = sink;
  sink.clear();
  ASSERT_EQ(execline("by g: noisily generate m2 = 1/(x-5)"), 0);
  EXPECT_EQ(one, sink);
  EXPECT_NE(one.find("missing values generated"), std::string::npos);
}

TEST_F(ByTest, NestingLimit) {
  bys.depth = BY_MAXDEPTH;
  sink.clear();
  EXPECT_EQ(execline("by g: count"), 920);
  EXPECT_NE(sink.find("too many nested by's"), std::string::npos);
  bys.depth = 0;
  EXPECT_EQ(execline("by g: count if 0"), 0);
}

TEST_F(ByTest, BreakStopsTheRunAndRestoresTheState) {
  stopflag = 1;
  int rc = execline("by g: generate double y = _n");
  stopflag = 0;
  EXPECT_EQ(rc, 1);
  EXPECT_EQ(bys.depth, 0);
  EXPECT_EQ(cmd_bylevel, 0);
  EXPECT_EQ(ex.grp1, 0);
  EXPECT_EQ(ex.byvar, 0);
  EXPECT_EQ(ds.nobs2, ds.nobs);
}

}  // namespace
