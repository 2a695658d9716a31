// generate and replace as a `by` driver runs them: once per group, with the
// group bounds in ex.grp1/grp2, ds.nobs1/nobs2 and the first/last flags, the
// variable made by the first group and the counts reported after the last.
#include <gtest/gtest.h>

#include <string>

#include "data/store.h"
#include "expr/expr.h"
#include "interp/cmd/resetall.h"
#include "interp/cmdtab.h"
#include "interp/interp.h"
#include "output/output.h"
#include "platform/platform.h"
#include "session_testutil.h"

namespace {

struct ExprByTest : CommandSession {
  void SetUp() override {
    CommandSession::SetUp();
    ASSERT_EQ(addvar("g", ST_BYTE), 0);
    ASSERT_EQ(setobs(5), 0);
    for (long o = 1; o <= 5; ++o) store(1, o, o <= 2 ? 1 : 2);
  }
  // Runs line once per group of g (observations 1-2 and 3-5).
  void bygroups(const std::string& line) {
    cmd_bylevel = 1;
    const long lo[2] = {1, 3}, hi[2] = {2, 5};
    for (int k = 0; k < 2; ++k) {
      ex.grp1 = ds.nobs1 = lo[k];
      ex.grp2 = ds.nobs2 = hi[k];
      ex.byvar = k + 1;
      ex.bylast = k == 1;
      ASSERT_EQ(execline(line), 0) << line;
    }
    cmd_bylevel = 0;
    ex.grp1 = ex.grp2 = 0;
    ex.byvar = 0;
    ex.bylast = true;
  }
};

TEST_F(ExprByTest, GenerateNumbersWithinGroups) {
  bygroups("generate n = _n");
  ASSERT_EQ(ds.nvar, 2);
  const double want[5] = {1, 2, 1, 2, 3};
  for (long o = 1; o <= 5; ++o) EXPECT_EQ(zelta_data(2, o), want[o - 1]);
  bygroups("generate m = _N if _n > 1");
  const double wm[5] = {misval, 2, misval, 3, 3};
  for (long o = 1; o <= 5; ++o) EXPECT_EQ(zelta_data(3, o), wm[o - 1]);
  // One message, after the last group, with the counts of both groups.
  EXPECT_NE(sink.find("(2 missing values generated)"), std::string::npos) << sink;
  EXPECT_EQ(sink.find("(1 missing value generated)"), std::string::npos) << sink;
}

TEST_F(ExprByTest, ReplaceCountsAcrossGroups) {
  ASSERT_EQ(execline("generate double x = 0"), 0);
  sink.clear();
  bygroups("replace x = x[_n-1] + 1 if _n > 1");
  EXPECT_EQ(zelta_data(2, 1), 0);
  EXPECT_EQ(zelta_data(2, 2), 1);
  EXPECT_EQ(zelta_data(2, 5), 2);
  EXPECT_NE(sink.find("(3 real changes made)"), std::string::npos) << sink;
  EXPECT_EQ(sink.find("(1 real change made)"), std::string::npos) << sink;
}

TEST_F(ExprByTest, RunningSumsRestartPerGroup) {
  bygroups("generate s = sum(g)");
  const double want[5] = {1, 2, 2, 4, 6};
  for (long o = 1; o <= 5; ++o) EXPECT_EQ(zelta_data(2, o), want[o - 1]);
}

}  // namespace

// A Break during generate leaves no half-made variable behind: the one-pass
// fill does not pre-fill cells, so the variable must go.
TEST_F(ExprByTest, BreakDuringGenerateDropsTheVariable) {
  stopflag = 1;
  EXPECT_EQ(execline("generate double y = 1"), 1);
  stopflag = 0;
  EXPECT_EQ(ds.nvar, 1);
  ASSERT_EQ(execline("generate double y = 7"), 0);
  for (long o = 1; o <= 5; ++o) EXPECT_EQ(zelta_data(2, o), 7);
}
