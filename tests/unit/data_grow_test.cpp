// The growing data area (the default, without `set memory`): adding
// variables and observations moves no data, dropping, retyping and
// reordering keep every value with columns that never overlap, preserve and
// restore work, the memory reported doubles from 10 MB as the data need, and
// the limits give 198 (beyond any dataset) or 901 (beyond the memory).
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "data/arena.h"
#include "data/store.h"
#include "data/varlist.h"

namespace {

struct GrowTest : ::testing::Test {
  void SetUp() override {
    ds_reset();
    vl = VarlistState{};
  }
  void TearDown() override { ds_reset(); }
  // Variable v's value at observation i in these tests.
  static double val(int v, long i) { return static_cast<double>(v) * 1e7 + static_cast<double>(i); }
  void fill(int v) {
    for (long i = 1; i <= ds.nobs; ++i) store(v, i, val(v, i));
  }
};

// No two columns share a byte, and each lies in the data area.
void expect_disjoint() {
  std::vector<int> bypos;
  for (int v = 1; v <= ds.nvar; ++v) bypos.push_back(v);
  std::sort(bypos.begin(), bypos.end(), [](int a, int b) { return colview(a).base < colview(b).base; });
  for (size_t k = 1; k < bypos.size(); ++k)
    ASSERT_GE(colview(bypos[k]).base, colview(bypos[k - 1]).base + ds.maxobs * colview(bypos[k - 1]).stride);
  long sum = 0;
  for (int v = 1; v <= ds.nvar; ++v) sum += typewidth(vartype(v));
  EXPECT_EQ(ds.lrecl, sum);
}

TEST_F(GrowTest, AddingVariablesAndObservationsMovesNoData) {
  ASSERT_EQ(addvar("x", ST_DOUBLE), 0);
  ASSERT_EQ(setobs(1000), 0);
  fill(1);
  const unsigned char* base = colview(1).base;
  for (int k = 0; k < 40; ++k) ASSERT_EQ(addvar(("v" + std::to_string(k)).c_str(), ST_DOUBLE), 0) << k;
  ASSERT_EQ(setobs(100000), 0);  // 33 MB: more than 10 MB held
  ASSERT_EQ(addvar("last", ST_BYTE), 0);
  EXPECT_EQ(colview(1).base, base);
  EXPECT_EQ(dsarena.ncopies, 0);
  for (long i = 1; i <= 1000; ++i) ASSERT_EQ(zelta_data(1, i), val(1, i));
  EXPECT_EQ(zelta_data(1, 1001), misval);
  EXPECT_EQ(zelta_data(42, 100000), misval);
  expect_disjoint();
}

TEST_F(GrowTest, DropRetypeReorderKeepValues) {
  const int types[] = {ST_BYTE, ST_DOUBLE, ST_LONG, 9, ST_DOUBLE, ST_INT, ST_FLOAT};
  for (int k = 0; k < 7; ++k) ASSERT_EQ(addvar(("v" + std::to_string(k)).c_str(), types[k]), 0);
  ASSERT_EQ(setobs(300000), 0);
  for (int v : {2, 3, 5}) fill(v);
  for (long i = 1; i <= ds.nobs; ++i) safe_sstore(4, i, std::to_string(i % 1000).c_str());
  ASSERT_EQ(droporkeepvars({1, 6}, false), 0);  // v1 v2 v3 v4 v6 remain (old 2 3 4 5 7)
  ASSERT_EQ(ds.nvar, 5);
  expect_disjoint();
  for (long i = 1; i <= ds.nobs; i += 997) {
    ASSERT_EQ(zelta_data(1, i), val(2, i));
    ASSERT_EQ(zelta_data(2, i), val(3, i));
    ASSERT_EQ(zelta_data(4, i), val(5, i));
  }
  ASSERT_EQ(change_vartype(2, ST_DOUBLE), 0);  // long to double, in its place
  EXPECT_EQ(vartype(2), ST_DOUBLE);
  expect_disjoint();
  ASSERT_EQ(reordervars({0, 5, 4, 3, 2, 1}), 0);
  expect_disjoint();
  std::string s;
  for (long i = 1; i <= ds.nobs; i += 997) {
    ASSERT_EQ(zelta_data(5, i), val(2, i));
    ASSERT_EQ(zelta_data(4, i), val(3, i));
    ASSERT_EQ(zelta_data(2, i), val(5, i));
    szelta_data(3, i, s);
    ASSERT_EQ(s, std::to_string(i % 1000));
  }
  EXPECT_EQ(zelta_data(1, ds.nobs + 1), misval);
  // A variable added after the changes lands in free room.
  ASSERT_EQ(addvar("new", ST_DOUBLE), 0);
  fill(6);
  expect_disjoint();
  for (long i = 1; i <= ds.nobs; i += 997) ASSERT_EQ(zelta_data(5, i), val(2, i));
  EXPECT_EQ(dsarena.ncopies, 0);
}

TEST_F(GrowTest, PreserveRestoreAndAside) {
  ASSERT_EQ(addvar("a", ST_DOUBLE), 0);
  ASSERT_EQ(addvar("b", ST_INT), 0);
  ASSERT_EQ(setobs(5000), 0);
  fill(1);
  for (long i = 1; i <= ds.nobs; ++i) store(2, i, static_cast<double>(i % 30000));
  ASSERT_EQ(reordervars({0, 2, 1}), 0);
  DsSnapshot snap;
  ASSERT_EQ(ds_snapshot(snap), 0);
  drop_all();
  ASSERT_EQ(addvar("z", ST_BYTE), 0);
  ASSERT_EQ(ds_restore(snap), 0);
  ASSERT_EQ(ds.nvar, 2);
  for (long i = 1; i <= ds.nobs; ++i) {
    ASSERT_EQ(zelta_data(2, i), val(1, i));
    ASSERT_EQ(zelta_data(1, i), static_cast<double>(i % 30000));
  }
  DsAside aside;
  ASSERT_EQ(ds_aside(aside), 0);
  ASSERT_EQ(addvar("c", ST_DOUBLE), 0);
  ASSERT_EQ(setobs(7), 0);
  ds_aside_undo(aside);
  EXPECT_EQ(ds.nobs, 5000);
  EXPECT_EQ(zelta_data(2, 4321), val(1, 4321));
}

TEST_F(GrowTest, LimitsAndReportedMemory) {
  ASSERT_EQ(addvar("x", ST_DOUBLE), 0);
  EXPECT_EQ(memory_reported(), 10485760u);
  EXPECT_EQ(setobs(obslimit() + 1), 198);
  ASSERT_EQ(setobs(1000000), 0);  // (1,000,001) x 12 bytes: 10 MB doubled
  EXPECT_EQ(memory_reported(), 20971520u);
  ASSERT_EQ(setobs(2000000), 0);
  EXPECT_EQ(memory_reported(), 41943040u);
  EXPECT_GE(obscapacity(), 2000001);
  // A size the user fixes is the limit: 901 beyond it.
  drop_all();
  ASSERT_EQ(setmemory(1 << 20), 0);
  EXPECT_TRUE(dsarena.memoryset);
  EXPECT_EQ(memory_reported(), 1u << 20);
  ASSERT_EQ(addvar("y", ST_DOUBLE), 0);
  const long cap = obscapacity();
  EXPECT_LT(cap, 1 << 17);
  EXPECT_EQ(setobs(cap), 901);
  EXPECT_EQ(ds.nobs, 0);
  ASSERT_EQ(setobs(cap - 1), 0);
}

}  // namespace
