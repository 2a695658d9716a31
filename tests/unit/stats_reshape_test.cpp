// reshape leaves the data as they were when it is stopped: by a Break, or
// by a refused allocation while the new dataset is being made beside the old
// one (the old arena must come back untouched). Also the store's set-aside
// routines on their own.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data/chars.h"
#include "data/store.h"
#include "interp/cmd/resetall.h"
#include "interp/cmdtab.h"
#include "interp/interp.h"
#include "output/output.h"
#include "platform/platform.h"
#include "stats/stats.h"
#include "session_testutil.h"

namespace {

struct ReshapeTest : CommandSession {
  void SetUp() override {
    CommandSession::SetUp();
    // 50 ids in wide layout: x1..x4 = 10 id + j, a label and a characteristic
    ASSERT_EQ(addvar("id", ST_LONG), 0);
    for (int j = 1; j <= 4; ++j) ASSERT_EQ(addvar(("x" + std::to_string(j)).c_str(), ST_DOUBLE), 0);
    ASSERT_EQ(setobs_quiet(50), 0);
    for (long o = 1; o <= 50; ++o) {
      store(1, o, static_cast<double>(51 - o));
      for (int j = 1; j <= 4; ++j) store(1 + j, o, 10.0 * static_cast<double>(51 - o) + j);
    }
    ds.varlabels[1] = "identifier";
    ASSERT_EQ(execline("char id[note] \"kept\""), 0);
  }
  // The dataset as names and values, to compare before and after.
  std::vector<std::string> image() {
    std::vector<std::string> r;
    for (int v = 1; v <= ds.nvar; ++v) {
      r.push_back(varname(v) + " " + std::to_string(vartype(v)) + " " + ds.varlabels[static_cast<size_t>(v)]);
      for (long o = 1; o <= ds.nobs; ++o) r.push_back(std::to_string(zelta_data(v, o)));
    }
    const std::string* c = charget("id", "note");
    r.push_back(c ? *c : "(no char)");
    return r;
  }
};

TEST_F(ReshapeTest, BreakLeavesTheDataAsTheyWere) {
  const auto before = image();
  stopflag = 1;
  EXPECT_EQ(execline("reshape long x, i(id) j(t)"), 1);
  stopflag = 0;
  EXPECT_EQ(image(), before);
  // and the same command runs through without the Break
  ASSERT_EQ(execline("reshape long x, i(id) j(t)"), 0);
  EXPECT_EQ(ds.nobs, 200);
  EXPECT_EQ(zelta_data(3, 6), 22);  // id 2, t 2
  stopflag = 1;
  const auto longimage = image();
  EXPECT_EQ(execline("reshape wide x, i(id) j(t)"), 1);
  stopflag = 0;
  EXPECT_EQ(image(), longimage);
}

TEST_F(ReshapeTest, RefusedMemoryBringsTheOldDataBack) {
  const auto before = image();
  // The nth arena allocation from now on fails: the first is the new
  // dataset's own arena, later ones its repartitions.
  int n = 1;
  for (; n <= 6; ++n) {
    ds.failalloc = n;
    const int rc = execline("reshape long x, i(id) j(t)");
    ds.failalloc = 0;
    if (rc == 0) break;
    EXPECT_EQ(rc, 909) << n;
    EXPECT_EQ(image(), before) << n;
    EXPECT_EQ(ds.srtlist.size(), 0u);
  }
  EXPECT_GE(n, 2);  // the first allocation, at least, was refused
  EXPECT_LE(n, 6);
  EXPECT_EQ(ds.nobs, 200);
  EXPECT_EQ(varname(2), "t");
  EXPECT_EQ(zelta_data(3, 1), 11);
  ASSERT_NE(charget("id", "note"), nullptr);
}

// The settings a reshape remembers in _dta, as one text.
std::string settings() {
  std::string r;
  for (const char* n : {"reshape_layout", "reshape_stubs", "reshape_i", "reshape_j", "reshape_string"}) {
    const std::string* c = charget("_dta", n);
    r += std::string(n) + "=" + (c ? *c : "-") + ";";
  }
  return r;
}

TEST_F(ReshapeTest, OnlyASuccessReplacesTheRememberedSettings) {
  EXPECT_EQ(settings(), "reshape_layout=-;reshape_stubs=-;reshape_i=-;reshape_j=-;reshape_string=-;");
  ASSERT_EQ(execline("reshape long x, i(id) j(t 1/4)"), 0);
  const std::string kept = "reshape_layout=long;reshape_stubs=x;reshape_i=id;reshape_j=t 1/4;reshape_string=-;";
  EXPECT_EQ(settings(), kept);
  const auto longimage = image();
  // a Break, a refused allocation and a failed check leave them
  stopflag = 1;
  EXPECT_EQ(execline("reshape wide"), 1);
  stopflag = 0;
  ds.failalloc = 1;
  EXPECT_EQ(execline("reshape wide"), 909);
  ds.failalloc = 0;
  EXPECT_EQ(settings(), kept);
  EXPECT_EQ(image(), longimage);
  EXPECT_TRUE(sts.reshape_failed.empty());
  store(2, 2, 1);  // id 1 now has t = 1 twice
  EXPECT_EQ(execline("reshape wide"), 9);
  EXPECT_EQ(sts.reshape_failed, "wide x, i(id) j(t 1/4)");
  EXPECT_EQ(settings(), kept);
  // reshape error changes nothing and returns 0 after listing
  sink.clear();
  EXPECT_EQ(execline("reshape error"), 0);
  EXPECT_NE(sink.find("values of variable t not unique within id:"), std::string::npos) << sink;
  EXPECT_EQ(sts.reshape_failed, "wide x, i(id) j(t 1/4)");
  // put right, the bare form goes back and clears the failure
  store(2, 2, 2);
  ASSERT_EQ(execline("reshape wide"), 0);
  EXPECT_TRUE(sts.reshape_failed.empty());
  EXPECT_EQ(ds.nobs, 50);
  EXPECT_EQ(settings(), "reshape_layout=wide;reshape_stubs=x;reshape_i=id;reshape_j=t 1/4;reshape_string=-;");
}

TEST_F(ReshapeTest, AsideAndUndoKeepTheArena) {
  const unsigned char* base = colview(2).base;
  const auto before = image();
  DsAside a;
  ASSERT_EQ(ds_aside(a), 0);
  EXPECT_EQ(ds.nvar, 0);
  EXPECT_EQ(ds.nobs, 0);
  ASSERT_EQ(addvar("y", ST_BYTE), 0);
  ASSERT_EQ(setobs_quiet(7), 0);
  ds_aside_undo(a);
  EXPECT_EQ(colview(2).base, base);
  EXPECT_EQ(image(), before);
  ASSERT_EQ(ds_aside(a), 0);
  ASSERT_EQ(addvar("y", ST_BYTE), 0);
  ds_aside_commit(a);
  EXPECT_EQ(ds.nvar, 1);
  EXPECT_EQ(varname(1), "y");
  EXPECT_FALSE(a.active);
}

}  // namespace
