// Store conversions at every storage-type boundary, the arena and its
// repartition, temporary names, variable and observation removal.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "data/arena.h"
#include "data/chars.h"
#include "data/store.h"
#include "data/varlist.h"

namespace {

// The fixed-size arena (`set memory`) and its repartition; the growing one
// has tests of its own.
struct StoreTest : ::testing::Test {
  void SetUp() override {
    ds_reset();
    vl = VarlistState{};
    ASSERT_EQ(setmemory(10485760), 0);
  }
  void TearDown() override { ds_reset(); }
  // One variable of each type and one observation.
  void makeall() {
    ASSERT_EQ(addvar("b", ST_BYTE), 0);
    ASSERT_EQ(addvar("i", ST_INT), 0);
    ASSERT_EQ(addvar("l", ST_LONG), 0);
    ASSERT_EQ(addvar("f", ST_FLOAT), 0);
    ASSERT_EQ(addvar("d", ST_DOUBLE), 0);
    ASSERT_EQ(addvar("s", 5), 0);
    ASSERT_EQ(setobs(3), 0);
  }
  double put(int v, double x) {
    store(v, 1, x);
    return zelta_data(v, 1);
  }
  long raw(int v) { return idata(v, 1); }
  uint32_t fbits(int v) {
    uint32_t b;
    std::memcpy(&b, dtaptr(v, 1), 4);
    return b;
  }
};

TEST_F(StoreTest, MissingValueConstants) {
  EXPECT_EQ(misval, std::ldexp(1.0, 1023));
  EXPECT_EQ(misval_k(1), misval + std::ldexp(1.0, 1011));
  EXPECT_EQ(misval_k(26), misval_z);
  EXPECT_LT(misval, misval_k(1));
  EXPECT_LT(misval_k(25), misval_z);
  EXPECT_EQ(missing_code(misval), 0);
  EXPECT_EQ(missing_code(misval_k(3)), 3);
  EXPECT_EQ(missing_code(1e300), -1);
  EXPECT_EQ(dbl_largest, std::nextafter(misval, 0.0));
  EXPECT_EQ(flt_largest, static_cast<double>(std::nextafter(0x1.0p127f, 0.0f)));
  EXPECT_EQ(dbl_eps, std::ldexp(1.0, -52));
  EXPECT_EQ(misval_107, std::ldexp(1.0, 333));
}

TEST_F(StoreTest, ByteBoundaries) {
  makeall();
  EXPECT_EQ(put(1, 100.9), 100);
  EXPECT_EQ(put(1, 101), misval);
  EXPECT_EQ(raw(1), 101);
  EXPECT_EQ(put(1, -127.9), -127);
  EXPECT_EQ(put(1, -128), misval);
  EXPECT_EQ(put(1, 127), misval);
  EXPECT_EQ(put(1, misval_k(1)), misval_k(1));
  EXPECT_EQ(raw(1), 102);
  EXPECT_EQ(put(1, misval_z), misval_z);
  EXPECT_EQ(raw(1), 127);
  EXPECT_EQ(put(1, -0.5), 0);
  EXPECT_EQ(put(1, NAN), misval);
  EXPECT_EQ(put(1, INFINITY), misval);
}

TEST_F(StoreTest, IntBoundaries) {
  makeall();
  EXPECT_EQ(put(2, 32740), 32740);
  EXPECT_EQ(put(2, 32740.99), 32740);
  EXPECT_EQ(put(2, 32741), misval);
  EXPECT_EQ(put(2, -32767), -32767);
  EXPECT_EQ(put(2, -32768), misval);
  EXPECT_EQ(put(2, misval_k(3)), misval_k(3));  // .c
  EXPECT_EQ(raw(2), 32744);
  EXPECT_EQ(put(2, 1e10), misval);
}

TEST_F(StoreTest, LongBoundaries) {
  makeall();
  EXPECT_EQ(put(3, 2147483620.0), 2147483620.0);
  EXPECT_EQ(put(3, 2147483621.0), misval);
  EXPECT_EQ(put(3, -2147483647.0), -2147483647.0);
  EXPECT_EQ(put(3, -2147483648.0), misval);
  EXPECT_EQ(put(3, 3e9), misval);
  EXPECT_EQ(put(3, misval_z), misval_z);
  EXPECT_EQ(raw(3), 2147483647L);
  EXPECT_EQ(put(3, -7.9), -7);
}

TEST_F(StoreTest, FloatBoundaries) {
  makeall();
  EXPECT_EQ(put(4, 1e39), misval);
  EXPECT_EQ(fbits(4), 0x7F000000u);
  EXPECT_EQ(put(4, flt_largest), flt_largest);
  EXPECT_EQ(put(4, 1e-40), 0.0);  // e < -127
  EXPECT_EQ(put(4, 0.1), static_cast<double>(0.1f));
  EXPECT_EQ(put(4, misval_k(2)), misval_k(2));
  EXPECT_EQ(fbits(4), 0x7F000000u + 2 * 0x800u);
  EXPECT_EQ(put(4, misval_z), misval_z);
  EXPECT_EQ(fbits(4), 0x7F000000u + 26 * 0x800u);
  EXPECT_EQ(put(4, NAN), misval);
  EXPECT_EQ(put(4, -1e39), misval);
}

TEST_F(StoreTest, DoubleStoredUnchanged) {
  makeall();
  EXPECT_EQ(put(5, 0.1), 0.1);
  EXPECT_EQ(put(5, misval_k(7)), misval_k(7));
  EXPECT_EQ(put(5, dbl_largest), dbl_largest);
  EXPECT_TRUE(std::isnan(put(5, NAN)));
}

TEST_F(StoreTest, Strings) {
  makeall();
  safe_sstore(6, 1, "abcdefgh");
  std::string s;
  szelta_data(6, 1, s);
  EXPECT_EQ(s, "abcde");
  safe_sstore(6, 1, "xy");
  szelta_data(6, 1, s);
  EXPECT_EQ(s, "xy");
  EXPECT_EQ(zelta_data(6, 1), misval);
  store(6, 1, 3.0);  // ignored
  szelta_data(6, 1, s);
  EXPECT_EQ(s, "xy");
  szelta_data(1, 1, s);
  EXPECT_EQ(s, "");
}

TEST_F(StoreTest, LegacyCodes) {
  makeall();
  ds.typlist[1] = ST_LBYTE;
  ds.typlist[2] = ST_LINT;
  ds.typlist[3] = ST_LLONG;
  ds.typlist[4] = ST_LFLOAT;
  EXPECT_EQ(put(1, 120), 120);
  EXPECT_EQ(put(1, misval_k(4)), misval);
  EXPECT_EQ(raw(1), 127);
  EXPECT_EQ(put(2, 1e9), misval);
  EXPECT_EQ(raw(2), 32767);
  EXPECT_EQ(put(3, 2147483640.0), 2147483640.0);
  EXPECT_EQ(put(3, 1e12), misval);
  EXPECT_EQ(put(4, 1e-37), 0.0);
  EXPECT_EQ(put(4, std::ldexp(1.0, 125)), misval);
  EXPECT_EQ(put(4, std::ldexp(1.0, 124)), std::ldexp(1.0, 124));
}

TEST_F(StoreTest, Promotion) {
  EXPECT_EQ(promoted_vartype(ST_BYTE, 100), ST_BYTE);
  EXPECT_EQ(promoted_vartype(ST_BYTE, 101), ST_INT);
  EXPECT_EQ(promoted_vartype(ST_BYTE, -127), ST_BYTE);
  EXPECT_EQ(promoted_vartype(ST_BYTE, -128), ST_INT);
  EXPECT_EQ(promoted_vartype(ST_INT, 32741), ST_LONG);
  EXPECT_EQ(promoted_vartype(ST_INT, 100), ST_INT);
  EXPECT_EQ(promoted_vartype(ST_LONG, 2147483620.0), ST_LONG);
  EXPECT_EQ(promoted_vartype(ST_LONG, 2147483621.0), ST_DOUBLE);
  EXPECT_EQ(promoted_vartype(ST_BYTE, 1e10), ST_DOUBLE);
  EXPECT_EQ(promoted_vartype(ST_BYTE, 0.5), ST_FLOAT);
  EXPECT_EQ(promoted_vartype(ST_LONG, 0.5), ST_DOUBLE);
  EXPECT_EQ(promoted_vartype(ST_BYTE, misval_z), ST_BYTE);
  EXPECT_EQ(promoted_vartype(ST_FLOAT, 1e300), ST_FLOAT);
  EXPECT_EQ(promoted_vartype(ST_DOUBLE, 1), ST_DOUBLE);
}

TEST_F(StoreTest, ChangeVartypeKeepsValuesAndPosition) {
  makeall();
  store(1, 1, 7);
  store(1, 2, misval_k(2));
  ds.varlabels[1] = "lab";
  charset("b", "note", "kept");
  ds.srtlist = {1, 2};
  ASSERT_EQ(change_vartype(1, ST_DOUBLE), 0);
  EXPECT_EQ(ds.nvar, 6);
  EXPECT_EQ(varname(1), "b");
  EXPECT_EQ(vartype(1), ST_DOUBLE);
  EXPECT_EQ(ds.fmtlist[1], "%10.0g");
  EXPECT_EQ(ds.varlabels[1], "lab");
  ASSERT_NE(charget("b", "note"), nullptr);
  EXPECT_EQ(ds.srtlist, std::vector<int>({1, 2}));
  EXPECT_EQ(zelta_data(1, 1), 7);
  EXPECT_EQ(zelta_data(1, 2), misval_k(2));
  EXPECT_EQ(zelta_data(1, 3), misval);
  EXPECT_EQ(varname(2), "i");
  // The old column's room is closed: i moves to the start, the new column
  // stays at the end where it was made.
  EXPECT_EQ(ds.mapi[2], 0);
  EXPECT_EQ(ds.mapi[1], 8 + 2 + 4 + 4 + 8 + 5 - 8);
  EXPECT_EQ(ds.lrecl, 8 + 2 + 4 + 4 + 8 + 5);
}

TEST_F(StoreTest, RecordWidthIsSumOfWidths) {
  makeall();
  EXPECT_EQ(ds.lrecl, 1 + 2 + 4 + 4 + 8 + 5);
  EXPECT_EQ(ds.mapi[6], 19);
  EXPECT_EQ(ds.syslrecl, 200);
  EXPECT_EQ(ds.maxvar, 200);
}

TEST_F(StoreTest, SetObsBoundsAndMissing) {
  makeall();
  EXPECT_EQ(setobs(2), 198);
  ASSERT_EQ(setobs(10), 0);
  EXPECT_EQ(zelta_data(4, 10), misval);
  std::string s = "x";
  szelta_data(6, 10, s);
  EXPECT_EQ(s, "");
  long cap = obscapacity();
  EXPECT_EQ(setobs(obslimit() + 1), 198);
  EXPECT_EQ(setobs(cap), 901);  // beyond `set memory`: no room
  ASSERT_EQ(setobs(cap - 1), 0);
  EXPECT_EQ(ds.nobs, cap - 1);
  EXPECT_GE(ds.maxobs, ds.nobs + 1);
  EXPECT_EQ(zelta_data(5, cap - 1), misval);
}

TEST_F(StoreTest, RepartitionKeepsValues) {
  makeall();
  for (long i = 1; i <= 3; ++i) store(5, i, static_cast<double>(i) * 1.5);
  ASSERT_EQ(setobs(60000), 0);  // more than fit at width 200
  EXPECT_LT(ds.syslrecl, 200);
  EXPECT_EQ(ds.syslrecl % 2, 0);
  EXPECT_EQ(zelta_data(5, 3), 4.5);
  EXPECT_EQ(zelta_data(5, 60000), misval);
  EXPECT_EQ(setwidth(10), 901);   // below the bytes in use
  EXPECT_EQ(setwidth(70000), 1010);
}

TEST_F(StoreTest, WidthGrowsForManyVariables) {
  for (int k = 0; k < 200; ++k) {
    char n[16];
    std::snprintf(n, sizeof n, "v%d", k);
    ASSERT_EQ(addvar(n, ST_BYTE), 0) << k;
  }
  EXPECT_GT(ds.syslrecl, 200);
  EXPECT_GT(ds.syslrecl - ds.lrecl, 0);
}

TEST_F(StoreTest, TemporaryNames) {
  EXPECT_EQ(mktmpvn(), "__000000");
  EXPECT_EQ(mktmpvn(), "__000001");
  for (int k = 0; k < 8; ++k) mktmpvn();
  EXPECT_EQ(mktmpvn(), "__00000A");
  EXPECT_TRUE(istmpvn("__00000A"));
  EXPECT_FALSE(istmpvn("__00000a"));
  ds.tmpvctr = 2146483646;
  EXPECT_EQ(mktmpvn(), "__ZHYLDQ");  // 2146483646 in base 36
  EXPECT_EQ(ds.tmpvctr, 0);
}

TEST_F(StoreTest, DropVariablesCompactsRecordsAndCutsSortList) {
  makeall();
  for (long i = 1; i <= 3; ++i) {
    store(3, i, 100 + static_cast<double>(i));
    store(5, i, 0.25 * static_cast<double>(i));
  }
  ds.srtlist = {1, 2, 3};
  ASSERT_EQ(droporkeepvars({2}, false), 0);
  EXPECT_EQ(ds.nvar, 5);
  EXPECT_EQ(varname(2), "l");
  EXPECT_EQ(zelta_data(2, 3), 103);
  EXPECT_EQ(zelta_data(4, 2), 0.5);
  EXPECT_EQ(ds.srtlist, std::vector<int>({1}));
  EXPECT_EQ(ds.lrecl, 1 + 4 + 4 + 8 + 5);
  ASSERT_EQ(droporkeepvars({2, 4}, true), 0);
  EXPECT_EQ(ds.nvar, 2);
  EXPECT_EQ(zelta_data(1, 3), 103);
  EXPECT_EQ(zelta_data(2, 1), 0.25);
  ASSERT_EQ(droporkeepvars({1, 2}, false), 0);
  EXPECT_EQ(ds.nvar, 0);
  EXPECT_EQ(ds.nobs, 0);
}

TEST_F(StoreTest, DropObservationsKeepsOrderAndReusesRecords) {
  ASSERT_EQ(addvar("x", ST_INT), 0);
  ASSERT_EQ(setobs(10), 0);
  for (long i = 1; i <= 10; ++i) store(1, i, static_cast<double>(i));
  std::vector<char> keep(10, 1);
  keep[1] = keep[4] = 0;
  EXPECT_EQ(dropobs_flags(keep), 2);
  EXPECT_EQ(ds.nobs, 8);
  EXPECT_EQ(zelta_data(1, 2), 3);
  EXPECT_EQ(zelta_data(1, 8), 10);
  EXPECT_EQ(keepobsrange(2, 4), 5);
  EXPECT_EQ(ds.nobs, 3);
  EXPECT_EQ(zelta_data(1, 1), 3);
  EXPECT_EQ(zelta_data(1, 3), 6);
  ASSERT_EQ(setobs(5), 0);
  EXPECT_EQ(zelta_data(1, 4), misval);
  EXPECT_EQ(zelta_data(1, 3), 6);
  EXPECT_EQ(zelta_data(1, 5), misval);
}

TEST_F(StoreTest, NameRules) {
  EXPECT_EQ(addvar("1x", ST_BYTE), 198);
  EXPECT_EQ(addvar("a-b", ST_BYTE), 198);
  EXPECT_EQ(addvar("_n", ST_BYTE), 198);
  EXPECT_EQ(addvar("str5", ST_BYTE), 198);
  EXPECT_EQ(addvar("str", ST_BYTE), 0);
  EXPECT_EQ(addvar("str", ST_BYTE), 110);
  EXPECT_EQ(addvar("abcdefghijabcdefghijabcdefghijabc", ST_BYTE), 198);
  EXPECT_EQ(addvar("abcdefghijabcdefghijabcdefghijab", ST_BYTE), 0);
  EXPECT_EQ(addvar("__000001", ST_BYTE), 0);
  EXPECT_TRUE(ds.hastmp_vars);
}

TEST_F(StoreTest, SetMemoryOnlyWhenEmpty) {
  EXPECT_EQ(setmemory(20ULL << 20), 0);
  EXPECT_EQ(ds.memorysize, 20ULL << 20);
  EXPECT_EQ(setmemory(1ULL << 32), 912);
  EXPECT_EQ(setmemory(1000), 910);
  ASSERT_EQ(addvar("x", ST_BYTE), 0);
  EXPECT_EQ(setmemory(30ULL << 20), 4);
}

TEST_F(StoreTest, TempVarsDroppedSince) {
  ASSERT_EQ(addvar("x", ST_BYTE), 0);
  long mark = ds.tmpvctr;
  ASSERT_EQ(addvar(mktmpvn().c_str(), ST_BYTE), 0);
  ASSERT_EQ(addvar(mktmpvn().c_str(), ST_BYTE), 0);
  ASSERT_EQ(addvar("y", ST_BYTE), 0);
  droptmpvars_since(mark);
  EXPECT_EQ(ds.nvar, 2);
  EXPECT_EQ(varname(2), "y");
  EXPECT_EQ(ds.tmpvctr, mark);  // fewer than three names: the counter winds back
}

}  // namespace

namespace {

TEST_F(StoreTest, EstimationSampleMarker) {
  ASSERT_EQ(addvar("x", ST_FLOAT), 0);
  ASSERT_EQ(addwrkvar(ST_BYTE), 0);
  ds.varlist[2] = "(e)";
  ASSERT_EQ(setobs(3), 0);
  EXPECT_EQ(bdata(2, 3), 0);  // new observations get 0 in the marker
  EXPECT_EQ(sysfindvar("(e)"), 2);
  EXPECT_EQ(zelta_findvar("(e)", 1, false), 2);
  vl = VarlistState{};
  // Dropping the last user variable takes the marker with it.
  ASSERT_EQ(droporkeepvars({1}, false), 0);
  EXPECT_EQ(ds.nvar, 0);
}

TEST_F(StoreTest, SnapshotRoundTrip) {
  ASSERT_EQ(addvar("x", ST_INT), 0);
  ASSERT_EQ(addvar("s", 4), 0);
  ASSERT_EQ(setobs(4), 0);
  for (long i = 1; i <= 4; ++i) store(1, i, static_cast<double>(i * 10));
  safe_sstore(2, 3, "abc");
  std::vector<char> keep{1, 0, 1, 1};
  dropobs_flags(keep);  // the map is no longer the identity
  ds.srtlist = {1};
  DsSnapshot snap;
  ASSERT_EQ(ds_snapshot(snap), 0);
  drop_all();
  ASSERT_EQ(addvar("other", ST_DOUBLE), 0);
  ASSERT_EQ(ds_restore(snap), 0);
  EXPECT_EQ(ds.nobs, 3);
  EXPECT_EQ(ds.nvar, 2);
  EXPECT_EQ(zelta_data(1, 2), 30);
  std::string s;
  szelta_data(2, 2, s);
  EXPECT_EQ(s, "abc");
  EXPECT_EQ(ds.srtlist, std::vector<int>({1}));
  ASSERT_EQ(setobs(5), 0);
  EXPECT_EQ(zelta_data(1, 5), misval);
}

TEST_F(StoreTest, ReorderMovesCells) {
  ASSERT_EQ(addvar("a", ST_BYTE), 0);
  ASSERT_EQ(addvar("b", ST_DOUBLE), 0);
  ASSERT_EQ(addvar("c", 3), 0);
  ASSERT_EQ(setobs(2), 0);
  store(1, 2, 5);
  store(2, 2, 2.5);
  safe_sstore(3, 2, "xyz");
  ds.srtlist = {2, 1};
  ASSERT_EQ(reordervars({0, 3, 2, 1}), 0);
  EXPECT_EQ(varname(1), "c");
  // The columns stay where they were: each variable takes its offset along.
  EXPECT_EQ(ds.mapi[1], 9);
  EXPECT_EQ(ds.mapi[2], 1);
  EXPECT_EQ(ds.mapi[3], 0);
  EXPECT_EQ(zelta_data(2, 2), 2.5);
  EXPECT_EQ(zelta_data(3, 2), 5);
  std::string s;
  szelta_data(1, 2, s);
  EXPECT_EQ(s, "xyz");
  EXPECT_EQ(ds.srtlist, std::vector<int>({2, 3}));
}

}  // namespace

namespace {

// Every arena allocation that fails leaves the dataset as it was, with 909.
TEST_F(StoreTest, AllocationFailuresLeaveDataIntact) {
  ASSERT_EQ(addvar("x", ST_INT), 0);
  ASSERT_EQ(setobs(100), 0);
  for (long i = 1; i <= 100; ++i) store(1, i, static_cast<double>(i));
  for (int n = 1; n <= 4; ++n) {
    ds.failalloc = n;
    int rc = setobs(200000);  // needs a repartition
    ds.failalloc = 0;
    if (rc == 0) break;
    EXPECT_EQ(n, 1);  // from n = 2 the first allocation succeeds
    EXPECT_EQ(rc, 909);
    EXPECT_EQ(ds.nobs, 100);
    EXPECT_EQ(zelta_data(1, 100), 100);
  }
  EXPECT_EQ(ds.nobs, 200000);
  EXPECT_EQ(zelta_data(1, 100), 100);
  EXPECT_EQ(zelta_data(1, 200000), misval);
  // Adding variables until the width must grow: both the larger step and
  // the exact need fail.
  ds.failalloc = 1;
  int rc = 0, k = 0;
  for (; k < 400 && rc == 0; ++k) rc = addvar(("v" + std::to_string(k)).c_str(), ST_DOUBLE);
  ds.failalloc = 0;
  EXPECT_EQ(rc, 909);
  EXPECT_EQ(ds.nvar, k);  // x and the k - 1 that fitted
  EXPECT_EQ(ds.lrecl, 2 + 8L * (k - 1));
  EXPECT_EQ(zelta_data(1, 200000), misval);
  EXPECT_EQ(zelta_data(1, 7), 7);
}

}  // namespace
