// Sorting over the observation map: in-order data do not move, descending
// data are reversed, ties follow the seed, `stable` keeps them, the sort
// list is set only for whole-dataset sorts.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "data/sort.h"
#include "data/store.h"
#include "data/varlist.h"

namespace {

struct SortTest : ::testing::Test {
  void SetUp() override {
    ds_reset();
    vl = VarlistState{};
  }
  void TearDown() override { ds_reset(); }
  // Variable k (key) and i (original observation number).
  void make(const std::vector<double>& keys) {
    ASSERT_EQ(addvar("k", ST_DOUBLE), 0);
    ASSERT_EQ(addvar("i", ST_LONG), 0);
    ASSERT_EQ(setobs(static_cast<long>(keys.size())), 0);
    for (size_t n = 0; n < keys.size(); ++n) {
      store(1, static_cast<long>(n + 1), keys[n]);
      store(2, static_cast<long>(n + 1), static_cast<double>(n + 1));
    }
    vl.varlist_vr = {1};
    vl.varlist_rcp.resize(1);
  }
  std::vector<double> col(int v) {
    std::vector<double> r;
    for (long n = 1; n <= ds.nobs; ++n) r.push_back(zelta_data(v, n));
    return r;
  }
};

TEST_F(SortTest, InOrderDoesNotMove) {
  make({1, 2, 2, 3});
  long seed = ds.rseed;
  ASSERT_EQ(syssort(1, ds.nobs, false), 0);
  EXPECT_EQ(col(2), std::vector<double>({1, 2, 3, 4}));
  EXPECT_EQ(ds.rseed, seed);  // no shuffle
  EXPECT_EQ(ds.srtlist, std::vector<int>({1}));
}

TEST_F(SortTest, DescendingIsReversed) {
  make({5, 4, 4, 1});
  long seed = ds.rseed;
  ASSERT_EQ(syssort(1, ds.nobs, false), 0);
  EXPECT_EQ(col(1), std::vector<double>({1, 4, 4, 5}));
  EXPECT_EQ(col(2), std::vector<double>({4, 3, 2, 1}));
  EXPECT_EQ(ds.rseed, seed);
}

TEST_F(SortTest, MissingSortLastAndTiesFollowTheSeed) {
  std::vector<double> keys{3, misval_k(2), 1, misval, 2, 1, 3, 1, 2, 1};
  make(keys);
  ASSERT_EQ(syssort(1, ds.nobs, false), 0);
  std::vector<double> k = col(1);
  EXPECT_TRUE(std::is_sorted(k.begin(), k.end()));
  EXPECT_EQ(k[8], misval);
  EXPECT_EQ(k[9], misval_k(2));
  std::vector<double> first = col(2);
  ds_reset();
  make(keys);
  ASSERT_EQ(syssort(1, ds.nobs, false), 0);
  EXPECT_EQ(col(2), first);  // same seed, same order of ties
}

TEST_F(SortTest, StableKeepsTies) {
  make({2, 1, 2, 1, 2, 1});
  ASSERT_EQ(syssort(1, ds.nobs, true), 0);
  EXPECT_EQ(col(2), std::vector<double>({2, 4, 6, 1, 3, 5}));
  EXPECT_EQ(ds.nvar, 2);  // the temporary key is gone
  EXPECT_EQ(ds.srtlist, std::vector<int>({1}));
}

TEST_F(SortTest, RangeLeavesSortListEmpty) {
  make({4, 3, 2, 1, 0});
  ASSERT_EQ(syssort(2, 4, false), 0);
  EXPECT_EQ(col(1), std::vector<double>({4, 1, 2, 3, 0}));
  EXPECT_TRUE(ds.srtlist.empty());
  EXPECT_EQ(sortcmpr(1, 2), 1);
  EXPECT_EQ(sortcmpr(2, 2), 0);
}

}  // namespace
