// Sorting over the observation map: in-order data do not move, descending
// data are reversed, ties follow the seed, `stable` keeps them, the sort
// list is set only for whole-dataset sorts.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <string>
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

// A plain transcription of the seeded algorithm on an array of rows, used as
// the reference for the extracted-key implementation: the same pre-check,
// shuffle and partition steps, comparing cells one by one.
struct RefRow {
  std::vector<double> num;        // numeric keys
  std::vector<std::string> str;   // string keys
  long orig;                      // observation number when the data were made
  long pos = 0;                   // position before the current sort (the temporary key of `stable`)
};
struct RefSort {
  std::vector<int> order;  // key order: >= 0 numeric index, < 0 ~string index
  bool stable = false;
  long seed = 1001;
  int cmp(const RefRow& a, const RefRow& b) const {
    for (int k : order) {
      if (k >= 0) {
        double x = a.num[static_cast<size_t>(k)], y = b.num[static_cast<size_t>(k)];
        if (x < y) return -1;
        if (x > y) return 1;
      } else {
        int c = std::strcmp(a.str[static_cast<size_t>(~k)].c_str(), b.str[static_cast<size_t>(~k)].c_str());
        if (c) return c < 0 ? -1 : 1;
      }
    }
    if (stable) return a.pos < b.pos ? -1 : a.pos > b.pos ? 1 : 0;
    return 0;
  }
  long next() {
    const long m = 0x7fffffffL;
    seed = (((3433L * seed) & m) + ((seed << 16) & m)) & m;
    return seed;
  }
  void quick(std::vector<RefRow>& a, long lo, long hi) {
    if (hi <= lo) return;
    long i = lo - 1, j = hi;
    for (;;) {
      while (cmp(a[static_cast<size_t>(++i)], a[static_cast<size_t>(hi)]) < 0) {}
      while (cmp(a[static_cast<size_t>(hi)], a[static_cast<size_t>(--j)]) < 0)
        if (j == lo) break;
      if (i >= j) break;
      std::swap(a[static_cast<size_t>(i)], a[static_cast<size_t>(j)]);
    }
    std::swap(a[static_cast<size_t>(i)], a[static_cast<size_t>(hi)]);
    quick(a, lo, i - 1);
    quick(a, i + 1, hi);
  }
  void sort(std::vector<RefRow>& a, long lo, long hi) {
    if (hi <= lo) return;
    for (size_t i = 0; i < a.size(); ++i) a[i].pos = static_cast<long>(i);
    bool asc = true, desc = true;
    for (long i = lo; i < hi; ++i) {
      int c = cmp(a[static_cast<size_t>(i)], a[static_cast<size_t>(i + 1)]);
      if (c > 0) asc = false;
      if (c < 0) desc = false;
    }
    if (asc) return;
    if (desc) {
      for (long x = lo, y = hi; x < y; ++x, --y) std::swap(a[static_cast<size_t>(x)], a[static_cast<size_t>(y)]);
      return;
    }
    const double spread = static_cast<double>(hi - lo);
    for (long n = lo; n <= hi; ++n) {
      long x = lo + static_cast<long>(static_cast<double>(next()) / 2147483646.0 * spread + 0.5);
      long y = lo + static_cast<long>(static_cast<double>(next()) / 2147483646.0 * spread + 0.5);
      std::swap(a[static_cast<size_t>(std::min(x, hi))], a[static_cast<size_t>(std::min(y, hi))]);
    }
    quick(a, lo, hi);
  }
};

// Random data with many ties: a byte, a double (with -0, +0 and missing
// values), a string of the given width, and the observation number.
struct RefData {
  std::vector<RefRow> rows;  // index 0 = observation 1
};
RefData makerandom(unsigned seed, long n, int strw, int distinct) {
  std::mt19937 g(seed);
  RefData d;
  ds_reset();
  vl = VarlistState{};
  EXPECT_EQ(addvar("b", ST_BYTE), 0);
  EXPECT_EQ(addvar("d", ST_DOUBLE), 0);
  EXPECT_EQ(addvar("s", strw), 0);
  EXPECT_EQ(addvar("id", ST_LONG), 0);
  EXPECT_EQ(setobs_quiet(n), 0);
  const double dv[] = {-1.5, -0.0, 0.0, 2.25, 1e300, misval, misval_k(1), misval_k(26)};
  for (long i = 1; i <= n; ++i) {
    RefRow r;
    double b = static_cast<double>(static_cast<int>(g() % 4)) - 1;
    if (g() % 10 == 0) b = misval;
    double x = distinct ? static_cast<double>(g() % static_cast<unsigned>(distinct)) / 7.0 : dv[g() % 8];
    std::string s;
    int len = static_cast<int>(g() % static_cast<unsigned>(std::min(strw, 3) + 1));
    for (int c = 0; c < len; ++c) s.push_back(static_cast<char>('a' + g() % 2));
    if (strw > 8 && g() % 2) s = std::string(static_cast<size_t>(strw - 1), 'z') + s.substr(0, 1);
    store(1, i, b);
    store(2, i, x);
    sstore(3, i, (s + std::string(static_cast<size_t>(strw) + 1, '\0')).c_str());
    store(4, i, static_cast<double>(i));
    r.num = {zelta_data(1, i), zelta_data(2, i)};
    r.str = {s};
    r.orig = i;
    d.rows.push_back(r);
  }
  return d;
}

// Sorts both ways and compares the order of the observations and the seed.
void checkagainst(RefData& d, const std::vector<int>& vars, const std::vector<int>& order, long lo, long hi,
                  bool stable, long seed) {
  SCOPED_TRACE(::testing::Message() << "keys " << vars.size() << " first " << vars[0] << " range " << lo << "-" << hi
                                    << " stable " << stable << " strw " << vartype(3));
  setsortseed(seed);
  vl = VarlistState{};
  vl.varlist_vr = vars;
  vl.varlist_rcp.resize(vars.size());
  ASSERT_EQ(syssort(lo, hi, stable), 0);
  RefSort ref;
  ref.order = order;
  ref.stable = stable;
  ref.seed = seed;
  ref.sort(d.rows, lo - 1, hi - 1);
  for (long i = 1; i <= ds.nobs; ++i)
    if (zelta_data(4, i) != static_cast<double>(d.rows[static_cast<size_t>(i - 1)].orig)) {
      ADD_FAILURE() << "observation " << i;
      break;
    }
  EXPECT_EQ(ds.rseed, ref.seed);
}

TEST_F(SortTest, MatchesTheReferenceOnRandomDataWithTies) {
  const long n = 3000;
  unsigned s = 1;
  for (bool stable : {false, true}) {
    for (int strw : {3, 8, 12, 40}) {
      RefData d = makerandom(s++, n, strw, 0);
      checkagainst(d, {1}, {0}, 1, n, stable, 1001);             // one byte key
      checkagainst(d, {2}, {1}, 1, n, stable, 77);               // doubles with -0 and .a
      checkagainst(d, {3}, {~0}, 1, n, stable, 123456);          // one string key
      checkagainst(d, {1, 3, 2}, {0, ~0, 1}, 1, n, stable, 5);   // three keys
      checkagainst(d, {3, 1}, {~0, 0}, 200, 2500, stable, 9);    // a range
      checkagainst(d, {3, 1}, {~0, 0}, 1, n, stable, 9);         // then the whole
    }
  }
  // The same on scratch arrays mapped from the system rather than the heap.
  srt.hugemin = 0;
  for (bool stable : {false, true}) {
    RefData d = makerandom(s++, n, 12, 0);
    checkagainst(d, {1, 3, 2}, {0, ~0, 1}, 1, n, stable, 5);
  }
  srt.hugemin = SortState{}.hugemin;
  // Nearly distinct doubles take the path that skips the shuffle when no
  // two keys tie; the seed must still move as the shuffle would move it.
  for (bool stable : {false, true}) {
    RefData d = makerandom(99, n, 4, 1 << 30);
    checkagainst(d, {2}, {1}, 1, n, stable, 31337);
    d = makerandom(100, n, 4, 500);
    checkagainst(d, {2}, {1}, 1, n, stable, 31337);
  }
  // A few dozen ties among distinct keys: the radix sort finds them and the
  // seeded algorithm runs only where they are; their order must still be
  // the full algorithm's, on one thread or two and over a range.
  for (unsigned long parmin : {SortState{}.parmin, 0ul}) {
    srt.parmin = parmin;
    for (unsigned seed : {101u, 102u, 103u}) {
      RefData d = makerandom(seed, n, 4, 1 << 19);
      checkagainst(d, {2}, {1}, 1, n, false, 31337);
      checkagainst(d, {2, 1}, {1, 0}, 1, n, false, 4242);
      checkagainst(d, {2}, {1}, 300, 2900, false, 7);
    }
  }
  srt.parmin = SortState{}.parmin;
}

TEST_F(SortTest, BothThreadsGiveTheReferenceOrder) {
  const long n = 5000;
  srt.parmin = 0;  // every range is split between the two threads
  unsigned s = 200;
  for (bool stable : {false, true}) {
    for (int strw : {3, 12, 40}) {
      RefData d = makerandom(s++, n, strw, 1 << 30);  // nearly distinct doubles
      checkagainst(d, {2}, {1}, 1, n, stable, 31337);
      checkagainst(d, {3, 2}, {~0, 1}, 1, n, stable, 8);
      checkagainst(d, {1, 3, 2}, {0, ~0, 1}, 100, 4000, stable, 5);
      d = makerandom(s++, n, strw, 0);  // many ties
      checkagainst(d, {2}, {1}, 1, n, stable, 77);
      checkagainst(d, {1, 3}, {0, ~0}, 1, n, stable, 9);
    }
  }
  srt.parmin = SortState{}.parmin;
}

// Doubles of every sign and magnitude, with -0 beside +0 and every kind of
// missing value, in runs of equal keys: the stable order is the one a
// comparison sort on the values gives, whether one or two threads sort.
TEST_F(SortTest, StableOrderOfSignsMagnitudesAndMissing) {
  std::mt19937_64 g(42);
  std::vector<double> keys;
  for (int i = 0; i < 30000; ++i) {
    double x = std::ldexp(static_cast<double>(static_cast<int64_t>(g() >> 20) - (int64_t{1} << 43)),
                          static_cast<int>(g() % 400) - 200);
    switch (g() % 8) {
      case 0: x = misval_k(static_cast<int>(g() % 27)); break;
      case 1: x = (g() % 2) ? -0.0 : 0.0; break;
      case 2: x = static_cast<double>(g() % 5) - 2; break;
      default: break;
    }
    keys.push_back(x);
  }
  std::vector<double> want(keys.size());
  std::vector<size_t> ord(keys.size());
  for (size_t i = 0; i < ord.size(); ++i) ord[i] = i;
  std::stable_sort(ord.begin(), ord.end(), [&](size_t a, size_t b) { return keys[a] < keys[b]; });
  for (size_t i = 0; i < ord.size(); ++i) want[i] = static_cast<double>(ord[i] + 1);
  for (unsigned long parmin : {SortState{}.parmin, 0ul}) {
    ds_reset();
    make(keys);
    srt.parmin = parmin;
    ASSERT_EQ(syssort(1, ds.nobs, true), 0);
    EXPECT_EQ(col(2), want);
    std::vector<double> k = col(1);
    EXPECT_TRUE(std::is_sorted(k.begin(), k.end()));
    // The cells move as they are: each -0 is still -0 where it landed.
    for (size_t i = 0; i < k.size(); ++i)
      if (k[i] == 0) ASSERT_EQ(std::signbit(k[i]), std::signbit(keys[ord[i]])) << i;
  }
  srt.parmin = SortState{}.parmin;
}

// Keys with many ties whose values differ within 32 bits are sorted as
// words with the observation number; the order must still be the seeded
// algorithm's, on one thread and on two, over the whole data and a range.
// Strings whose first and last differing bits lie 32 bits apart take that
// way, 33 apart do not.
TEST_F(SortTest, PackedKeysFollowTheReference) {
  const long n = 6000;
  for (unsigned long parmin : {SortState{}.parmin, 0ul}) {
    SCOPED_TRACE(::testing::Message() << "parmin " << parmin);
    srt.parmin = parmin;
    RefData d = makerandom(300, n, 5, 0);
    std::mt19937 g(11);
    for (long i = 1; i <= n; ++i) {
      const double v = g() % 50 == 0 ? misval_k(static_cast<int>(g() % 3)) : static_cast<double>(g() % 1000);
      store(2, i, v);
      d.rows[static_cast<size_t>(i - 1)].num[1] = zelta_data(2, i);
    }
    long before = srt.packed;
    checkagainst(d, {2}, {1}, 1, n, false, 1001);
    EXPECT_EQ(srt.packed, before + 1);
    for (char last : {'e', 'c'}) {
      for (long i = 1; i <= n; ++i) {
        std::string v = std::string(1, g() % 2 ? 'a' : 'c') + "xxx" + std::string(1, g() % 2 ? 'a' : last);
        sstore(3, i, v.c_str());
        d.rows[static_cast<size_t>(i - 1)].str[0] = v;
      }
      before = srt.packed;
      checkagainst(d, {3}, {~0}, 1, n, false, 9);
      EXPECT_EQ(srt.packed, before + (last == 'e' ? 1 : 0)) << last;
    }
    before = srt.packed;
    checkagainst(d, {2}, {1}, 101, n - 50, false, 77);
    checkagainst(d, {3, 2}, {~0, 1}, 1, n, false, 5);  // 33 bits and more: the full items
    EXPECT_EQ(srt.packed, before + 1);
  }
  srt.parmin = SortState{}.parmin;
}

// A Break in the shuffle or in the partitions shared by two threads leaves
// a permutation.
TEST_F(SortTest, ABreakOnTwoThreadsLeavesAPermutation) {
  const long n = 20000;
  srt.parmin = 0;
  for (long at : {40L, n + 3000, n + 9000}) {
    RefData d = makerandom(8, n, 5, 0);
    vl.varlist_vr = {1, 3};
    vl.varlist_rcp.resize(2);
    srt.breakat = srt.polls + at;
    const int rc = syssort(1, n, false);
    srt.breakat = 0;
    EXPECT_TRUE(rc == 0 || rc == 1) << rc;
    std::vector<double> ids = col(4);
    std::sort(ids.begin(), ids.end());
    for (long i = 0; i < n; ++i) ASSERT_EQ(ids[static_cast<size_t>(i)], static_cast<double>(i + 1)) << at;
  }
  srt.parmin = SortState{}.parmin;
}

TEST_F(SortTest, ABreakLeavesAPermutationAndNoSortList) {
  const long n = 20000;
  RefData d = makerandom(7, n, 5, 0);
  ds.srtlist = {4};
  vl.varlist_vr = {1, 3};
  vl.varlist_rcp.resize(2);
  srt.breakat = srt.polls + 40;  // stops inside the sort
  EXPECT_EQ(syssort(1, n, false), 1);
  srt.breakat = 0;
  EXPECT_TRUE(ds.srtlist.empty());
  std::vector<double> ids = col(4);
  std::sort(ids.begin(), ids.end());
  for (long i = 0; i < n; ++i) ASSERT_EQ(ids[static_cast<size_t>(i)], static_cast<double>(i + 1));
}

}  // namespace

// Distinct doubles crowded into few leading bits (magnitudes from 1e-180 to
// 1e180, a third of them within one binade, no two equal), sorted on one thread and on
// two, and over a million observations, where the key column is written
// back from the sorted keys rather than moved: the observations follow a
// comparison sort and every key keeps its exact bits. Then two keys, the
// first with 40 values.
TEST_F(SortTest, CrowdedKeysAndTheKeyColumnWrittenBack) {
  std::mt19937_64 g(7);
  auto draw = [&] {
    const double m = 1 + static_cast<double>(g() >> 12) * 0x1p-52;
    const double x = g() % 3 ? std::ldexp(m, static_cast<int>(g() % 1200) - 600) : 1 + m * 0x1p-8;
    return g() % 2 ? -x : x;
  };
  for (long n : {40000L, (1L << 20) + 4099}) {
    std::vector<double> keys(static_cast<size_t>(n));
    for (double& x : keys) x = draw();
    std::vector<size_t> ord(keys.size());
    for (size_t i = 0; i < ord.size(); ++i) ord[i] = i;
    std::stable_sort(ord.begin(), ord.end(), [&](size_t a, size_t b) { return keys[a] < keys[b]; });
    for (size_t i = 1; i < ord.size(); ++i) ASSERT_LT(keys[ord[i - 1]], keys[ord[i]]);  // no ties
    for (unsigned long parmin : {SortState{}.parmin, 0ul}) {
      for (bool stable : {false, true}) {
        SCOPED_TRACE(::testing::Message() << n << " parmin " << parmin << " stable " << stable);
        ds_reset();
        make(keys);
        srt.parmin = parmin;
        ASSERT_EQ(syssort(1, ds.nobs, stable), 0);
        for (long i = 1; i <= ds.nobs; ++i) {
          const size_t o = ord[static_cast<size_t>(i - 1)];
          const double k = zelta_data(1, i);
          ASSERT_EQ(zelta_data(2, i), static_cast<double>(o + 1)) << i;
          ASSERT_EQ(std::memcmp(&k, &keys[o], 8), 0) << i;
        }
      }
    }
  }
  srt.parmin = SortState{}.parmin;
  RefData d = makerandom(5, 60000, 4, 1 << 30);
  for (long i = 1; i <= ds.nobs; ++i) {
    const double b = static_cast<double>(i % 40);
    store(1, i, b);
    d.rows[static_cast<size_t>(i - 1)].num[0] = b;
  }
  for (unsigned long parmin : {SortState{}.parmin, 0ul}) {
    srt.parmin = parmin;
    checkagainst(d, {1, 2}, {0, 1}, 1, 60000, true, 5);
    checkagainst(d, {2, 1}, {1, 0}, 1, 60000, false, 6);
  }
  srt.parmin = SortState{}.parmin;
}
