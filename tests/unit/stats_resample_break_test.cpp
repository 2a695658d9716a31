// A Break in the middle of bootstrap or jackknife replications stops the
// prefix with the Break code and leaves the data in memory as they were
// and a saving() target as it was:
// the Break arrives as it does in embedded runs, once a budget of command
// dispatches is spent, here a few replications in.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "data/store.h"
#include "interp/cmdtab.h"
#include "interp/interp.h"
#include "output/output.h"
#include "platform/platform.h"
#include "session_testutil.h"

namespace {

struct ResampleBreakTest : CommandSession {
  void SetUp() override {
    CommandSession::SetUp();
    ASSERT_EQ(addvar("x", ST_DOUBLE), 0);
    ASSERT_EQ(addvar("g", ST_LONG), 0);
    ASSERT_EQ(setobs_quiet(40), 0);
    for (long o = 1; o <= 40; ++o) {
      store(1, o, static_cast<double>((o * 37) % 23) / 4);
      store(2, o, static_cast<double>(o % 5));
    }
  }
  void TearDown() override {
    stopflag = 0;
    interp.maxcommands = 0;
    CommandSession::TearDown();
  }
  std::vector<double> image() {
    std::vector<double> r{static_cast<double>(ds.nvar), static_cast<double>(ds.nobs)};
    for (int v = 1; v <= ds.nvar; ++v)
      for (long o = 1; o <= ds.nobs; ++o) r.push_back(zelta_data(v, o));
    return r;
  }
  // Runs line with a Break after `after` more command dispatches.
  int runbroken(const std::string& line, long after) {
    interp.commands_run = 0;
    interp.maxcommands = after;
    const int rc = execline(line.c_str());
    interp.maxcommands = 0;
    stopflag = 0;
    return rc;
  }
};

TEST_F(ResampleBreakTest, BootstrapStopsAndRestoresTheData) {
  const auto before = image();
  EXPECT_EQ(runbroken("bootstrap r(mean), reps(50) seed(3): summarize x", 12), 1);
  EXPECT_EQ(image(), before);
  // clusters and strata take the same way out
  EXPECT_EQ(runbroken("bootstrap m=r(mean), reps(50) seed(3) cluster(g): summarize x", 9), 1);
  EXPECT_EQ(image(), before);
  // and without the Break the same command runs through
  sink.clear();
  ASSERT_EQ(execline("bootstrap r(mean), reps(20) seed(3): summarize x"), 0);
  EXPECT_EQ(image(), before);
}

TEST_F(ResampleBreakTest, JackknifeStopsAndRestoresTheData) {
  const auto before = image();
  EXPECT_EQ(runbroken("jackknife r(mean): summarize x", 15), 1);
  EXPECT_EQ(image(), before);
  ASSERT_EQ(execline("jackknife r(mean): summarize x"), 0);
  EXPECT_EQ(image(), before);
}

TEST_F(ResampleBreakTest, BreakWhileSavingDiscardsTheResultsFile) {
  const auto before = image();
  const std::string f = "/tmp/anovacox_bsbreak.zdta";
  std::remove(f.c_str());
  EXPECT_EQ(runbroken("bootstrap r(mean), reps(50) seed(3) saving(" + f + "): summarize x", 12), 1);
  EXPECT_EQ(image(), before);
  // the results file is discarded, the target left as it was (absent)
  std::FILE* fp = std::fopen(f.c_str(), "rb");
  EXPECT_EQ(fp, nullptr);
  if (fp) std::fclose(fp);
  // and not left open: the next run saves
  EXPECT_EQ(execline(("bootstrap r(mean), reps(5) seed(3) saving(" + f + ", replace): summarize x").c_str()), 0);
  EXPECT_EQ(execline(("use " + f + ", clear").c_str()), 0);
  EXPECT_EQ(ds.nobs, 5) << sink;
  std::remove(f.c_str());
}

}  // namespace
