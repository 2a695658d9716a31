// The column layout of the store: every variable's cells contiguous in
// observation order, and the same values in every cell after each operation
// that moves columns or observations (add, drop, retype, repartition, sort,
// permutation, observation removal, preserve and restore), including when
// the scratch memory of a permutation or a repartition cannot be had.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "data/permute.h"
#include "data/sort.h"
#include "data/store.h"
#include "data/varlist.h"

namespace {

// The values of every variable, read through the scalar accessors.
struct Image {
  std::vector<std::string> names;
  std::vector<std::vector<double>> num;
  std::vector<std::vector<std::string>> str;
};

Image snapshot() {
  Image im;
  for (int v = 1; v <= ds.nvar; ++v) {
    im.names.push_back(varname(v));
    std::vector<double> n;
    std::vector<std::string> s;
    for (long i = 1; i <= ds.nobs; ++i) {
      if (isstrtype(vartype(v))) {
        std::string t;
        szelta_data(v, i, t);
        s.push_back(t);
      } else {
        n.push_back(zelta_data(v, i));
      }
    }
    im.num.push_back(n);
    im.str.push_back(s);
  }
  return im;
}

// The image with observations taken in the order `from` (0-based rows).
Image reorder(const Image& im, const std::vector<long>& from) {
  Image r = im;
  for (size_t v = 0; v < im.names.size(); ++v)
    for (size_t k = 0; k < from.size(); ++k) {
      if (!im.num[v].empty()) r.num[v][k] = im.num[v][static_cast<size_t>(from[k])];
      if (!im.str[v].empty()) r.str[v][k] = im.str[v][static_cast<size_t>(from[k])];
    }
  return r;
}

void expect_same(const Image& a, const Image& b) {
  ASSERT_EQ(a.names, b.names);
  for (size_t v = 0; v < a.names.size(); ++v) {
    ASSERT_EQ(a.str[v], b.str[v]) << a.names[v];
    ASSERT_EQ(a.num[v].size(), b.num[v].size());
    for (size_t i = 0; i < a.num[v].size(); ++i)
      ASSERT_EQ(std::memcmp(&a.num[v][i], &b.num[v][i], 8), 0) << a.names[v] << " obs " << i + 1;
  }
}

// Every column is contiguous and its view agrees with the scalar accessors.
void expect_columns() {
  for (int v = 1; v <= ds.nvar; ++v) {
    ColView c = colview(v);
    ASSERT_EQ(c.stride, typewidth(vartype(v)));
    ASSERT_EQ(c.type, vartype(v));
    for (long i = 1; i <= ds.nobs; ++i) ASSERT_EQ(c.at(i), dtaptr(v, i)) << varname(v) << " " << i;
    if (!isstrtype(c.type) && ds.nobs > 0) {
      std::vector<double> got(static_cast<size_t>(ds.nobs));
      col_decode(c, 1, ds.nobs, got.data());
      for (long i = 1; i <= ds.nobs; ++i) {
        double z = zelta_data(v, i);
        ASSERT_EQ(std::memcmp(&got[static_cast<size_t>(i - 1)], &z, 8), 0) << varname(v) << " " << i;
      }
    }
  }
  // Columns never overlap, whatever their order in the arena.
  std::vector<int> bypos;
  for (int v = 1; v <= ds.nvar; ++v) bypos.push_back(v);
  std::sort(bypos.begin(), bypos.end(), [](int a, int b) { return colview(a).base < colview(b).base; });
  for (size_t k = 1; k < bypos.size(); ++k)
    ASSERT_GE(colview(bypos[k]).base, colview(bypos[k - 1]).base + ds.maxobs * colview(bypos[k - 1]).stride);
}

// The fixed-size arena (`set memory`), which repartitions as the data grow.
struct LayoutTest : ::testing::Test {
  std::mt19937 rng{12345};
  void SetUp() override {
    ds_reset();
    vl = VarlistState{};
    ASSERT_EQ(setmemory(10485760), 0);
  }
  void TearDown() override { ds_reset(); }
  // Six variables of every kind, n observations of varied values including
  // extended missing codes.
  void build(long n) {
    ASSERT_EQ(addvar("b", ST_BYTE), 0);
    ASSERT_EQ(addvar("i", ST_INT), 0);
    ASSERT_EQ(addvar("l", ST_LONG), 0);
    ASSERT_EQ(addvar("f", ST_FLOAT), 0);
    ASSERT_EQ(addvar("d", ST_DOUBLE), 0);
    ASSERT_EQ(addvar("s", 7), 0);
    ASSERT_EQ(setobs(n), 0);
    std::uniform_int_distribution<int> u(-100, 100);
    for (long o = 1; o <= n; ++o) {
      for (int v = 1; v <= 5; ++v) {
        int r = u(rng);
        double x = r > 95 ? misval_k(r - 95) : r * (v >= 4 ? 0.25 : 1.0) + (v == 3 ? 1e6 : 0);
        store(v, o, x);
      }
      safe_sstore(6, o, ("s" + std::to_string(u(rng))).c_str());
    }
  }
};

TEST_F(LayoutTest, ColumnsAreContiguous) {
  build(50);
  expect_columns();
  EXPECT_EQ(colview(5).base, colview(4).base + ds.colcells * 4);
}

// Every column starts on an 8-byte boundary whatever the widths before it
// (odd string widths, bytes), after adding, dropping, retyping, reordering
// and repartitioning, and a double column reads in place.
void expect_aligned() {
  EXPECT_EQ(ds.colcells % 8, 0);
  EXPECT_GE(ds.colcells, ds.maxobs);
  EXPECT_LT(ds.colcells, ds.maxobs + 8);
  for (int v = 1; v <= ds.nvar; ++v)
    ASSERT_EQ(reinterpret_cast<uintptr_t>(colview(v).base) % 8, 0u) << varname(v);
}

TEST_F(LayoutTest, ColumnsStartAligned) {
  build(333);
  expect_aligned();
  ASSERT_EQ(addvar("s3", 3), 0);  // odd widths, then a double after them
  ASSERT_EQ(addvar("b2", ST_BYTE), 0);
  ASSERT_EQ(addvar("dd", ST_DOUBLE), 0);
  for (long o = 1; o <= ds.nobs; ++o) store(9, o, static_cast<double>(o) + 0.5);
  expect_aligned();
  ASSERT_EQ(droporkeepvars({7}, false), 0);  // the 3-byte string goes
  expect_aligned();
  ASSERT_EQ(change_vartype(1, ST_DOUBLE), 0);
  ASSERT_EQ(change_vartype(5, 11), 0);  // a string widened to an odd width
  expect_aligned();
  ASSERT_EQ(reordervars({0, 8, 6, 1, 7, 2, 3, 4, 5}), 0);
  expect_aligned();
  ASSERT_EQ(setwidth(ds.lrecl + 2), 0);
  expect_aligned();
  ASSERT_EQ(setobs(ds.maxobs - 1), 0);
  expect_aligned();
  expect_columns();
  // dd moved to the front; its values came along.
  EXPECT_EQ(varname(1), "dd");
  const double* p = reinterpret_cast<const double*>(colview(1).base);
  for (long o = 1; o <= 333; ++o) ASSERT_EQ(p[o - 1], static_cast<double>(o) + 0.5);
  EXPECT_EQ(zelta_data(1, 334), misval);
}

// Swapping two observations moves their cells in every column.
TEST_F(LayoutTest, SwapObservations) {
  build(20);
  Image ref = snapshot();
  exch(3, 17);
  std::vector<long> from(20);
  for (size_t k = 0; k < from.size(); ++k) from[k] = static_cast<long>(k);
  std::swap(from[2], from[16]);
  expect_same(snapshot(), reorder(ref, from));
}

TEST_F(LayoutTest, AddDropRetypeKeepValues) {
  build(300);
  ASSERT_EQ(addvar("extra", ST_DOUBLE), 0);
  for (long o = 1; o <= ds.nobs; ++o) store(7, o, static_cast<double>(o) / 8);
  Image with = snapshot();
  std::vector<int> gone{2, 6};
  ASSERT_EQ(droporkeepvars(gone, false), 0);
  Image want;
  for (size_t k : {0u, 2u, 3u, 4u, 6u}) {
    want.names.push_back(with.names[k]);
    want.num.push_back(with.num[k]);
    want.str.push_back(with.str[k]);
  }
  expect_same(snapshot(), want);
  expect_columns();
  Image ref = snapshot();
  ASSERT_EQ(change_vartype(2, ST_DOUBLE), 0);  // l becomes double in place
  EXPECT_EQ(varname(2), "l");
  EXPECT_EQ(vartype(2), ST_DOUBLE);
  expect_same(snapshot(), ref);
  expect_columns();
  ASSERT_EQ(change_vartype(4, ST_FLOAT), 0);  // d to float, then back: rounding only
  ASSERT_EQ(change_vartype(4, ST_DOUBLE), 0);
  expect_same(snapshot(), ref);  // the values were quarters: exact in float
  expect_columns();
}

TEST_F(LayoutTest, RepartitionAndReorderKeepValues) {
  build(400);
  Image ref = snapshot();
  ASSERT_EQ(setwidth(ds.syslrecl + 64), 0);
  expect_same(snapshot(), ref);
  expect_columns();
  ASSERT_EQ(setwidth(ds.lrecl + 2), 0);
  expect_same(snapshot(), ref);
  expect_columns();
  ASSERT_EQ(reordervars({0, 6, 3, 1, 5, 2, 4}), 0);
  Image moved = snapshot();
  std::vector<int> perm{6, 3, 1, 5, 2, 4};
  for (size_t j = 0; j < perm.size(); ++j) {
    EXPECT_EQ(moved.names[j], ref.names[static_cast<size_t>(perm[j] - 1)]);
    EXPECT_EQ(moved.num[j], ref.num[static_cast<size_t>(perm[j] - 1)]);
    EXPECT_EQ(moved.str[j], ref.str[static_cast<size_t>(perm[j] - 1)]);
  }
  expect_columns();
}

TEST_F(LayoutTest, SortMovesTheCells) {
  build(1000);
  Image ref = snapshot();
  vl.varlist_vr = {3, 1};
  ASSERT_EQ(syssort(1, ds.nobs, true), 0);
  expect_columns();
  // The sorted data are a permutation of the rows: sort the reference.
  std::vector<long> idx(static_cast<size_t>(ds.nobs));
  for (size_t k = 0; k < idx.size(); ++k) idx[k] = static_cast<long>(k);
  std::stable_sort(idx.begin(), idx.end(), [&](long a, long b) {
    const auto& l = ref.num[2];
    const auto& bb = ref.num[0];
    if (l[static_cast<size_t>(a)] != l[static_cast<size_t>(b)]) return l[static_cast<size_t>(a)] < l[static_cast<size_t>(b)];
    return bb[static_cast<size_t>(a)] < bb[static_cast<size_t>(b)];
  });
  expect_same(snapshot(), reorder(ref, idx));
}

// The gather through scratch memory and the in-place cycle walk used when
// that memory cannot be had give the same columns.
TEST_F(LayoutTest, PermuteWithAndWithoutScratch) {
  for (int fail = 0; fail <= 1; ++fail) {
    ds_reset();
    ASSERT_EQ(setmemory(10485760), 0);
    build(777);
    Image ref = snapshot();
    std::vector<long> from(static_cast<size_t>(ds.nobs));
    for (size_t k = 0; k < from.size(); ++k) from[k] = static_cast<long>(k);
    std::shuffle(from.begin() + 10, from.end() - 5, rng);  // an untouched head and tail
    std::vector<uint32_t> f1;
    for (long k : from) f1.push_back(static_cast<uint32_t>(k + 1));
    ds.failalloc = fail;
    ds_permute(1, f1.data(), ds.nobs);
    ds.failalloc = 0;
    expect_same(snapshot(), reorder(ref, from));
    expect_columns();
  }
}

// A permutation of more than a million observations with scratch lent as
// the sort lends it (the order itself at the scratch's front) goes by
// destination blocks, cells of 1 to 8 bytes and a 7-byte string in slices:
// every cell lands where the plain gather puts it, and an order mark taken
// before it still leads back.
TEST_F(LayoutTest, LongPermutationWithLentScratch) {
  ds_reset();
  ASSERT_EQ(setmemory(80L << 20), 0);
  const long n = (1L << 20) + 70001;
  build(n);
  Image ref = snapshot();
  const size_t h = ds_ordermark();
  std::vector<long> from(static_cast<size_t>(n));
  for (size_t k = 0; k < from.size(); ++k) from[k] = static_cast<long>(k);
  std::shuffle(from.begin() + 10, from.end() - 5, rng);
  std::vector<uint32_t> scratch(static_cast<size_t>(n) * 3);  // 12 bytes a position
  for (size_t k = 0; k < from.size(); ++k) scratch[k] = static_cast<uint32_t>(from[k] + 1);
  ds_permute_lent(1, scratch.data(), n, reinterpret_cast<unsigned char*>(scratch.data()), scratch.size() * 4);
  expect_same(snapshot(), reorder(ref, from));
  expect_columns();
  EXPECT_TRUE(ds_orderrestore(h));
  expect_same(snapshot(), ref);
}

TEST_F(LayoutTest, DropObservationsAndKeepRange) {
  build(500);
  Image ref = snapshot();
  std::vector<char> keep(static_cast<size_t>(ds.nobs));
  std::vector<long> kept;
  for (size_t k = 0; k < keep.size(); ++k) {
    keep[k] = (k % 3 != 1) && k != 0;
    if (keep[k]) kept.push_back(static_cast<long>(k));
  }
  EXPECT_EQ(dropobs_flags(keep), 500 - static_cast<long>(kept.size()));
  Image after = reorder(ref, kept);
  for (auto& c : after.num)
    if (!c.empty()) c.resize(kept.size());
  for (auto& c : after.str)
    if (!c.empty()) c.resize(kept.size());
  expect_same(snapshot(), after);
  expect_columns();
  EXPECT_EQ(zelta_data(5, ds.nobs + 1), misval);  // the scratch row is blank
  Image mid = snapshot();
  EXPECT_EQ(keepobsrange(11, 20), ds.nobs - 10);
  for (auto& c : mid.num)
    if (!c.empty()) c = std::vector<double>(c.begin() + 10, c.begin() + 20);
  for (auto& c : mid.str)
    if (!c.empty()) c = std::vector<std::string>(c.begin() + 10, c.begin() + 20);
  expect_same(snapshot(), mid);
}

TEST_F(LayoutTest, PreserveRestoreAndOrderMarks) {
  build(200);
  Image ref = snapshot();
  DsSnapshot snap;
  ASSERT_EQ(ds_snapshot(snap), 0);
  size_t h = ds_ordermark();
  vl.varlist_vr = {4};
  ASSERT_EQ(syssort(1, ds.nobs, false), 0);
  store(5, 1, 12345.0);  // a change made while sorted stays with its observation
  long where = -1;
  double fv = zelta_data(4, 1);
  EXPECT_TRUE(ds_orderrestore(h));
  for (long i = 1; i <= ds.nobs; ++i)
    if (zelta_data(5, i) == 12345.0) where = i;
  ASSERT_GT(where, 0);
  EXPECT_EQ(zelta_data(4, where), fv);
  store(5, where, ref.num[4][static_cast<size_t>(where - 1)]);
  expect_same(snapshot(), ref);
  // A dropped observation ends the record: the order is left alone.
  h = ds_ordermark();
  std::vector<char> keep(static_cast<size_t>(ds.nobs), 1);
  keep[3] = 0;
  dropobs_flags(keep);
  EXPECT_FALSE(ds_orderrestore(h));
  ASSERT_EQ(ds_restore(snap), 0);
  expect_same(snapshot(), ref);
  expect_columns();
}

// A repartition whose arena cannot be had leaves every column as it was.
TEST_F(LayoutTest, FailedRepartitionLeavesColumnsIntact) {
  build(120);
  Image ref = snapshot();
  const unsigned char* base = colview(5).base;
  ds.failalloc = 1;
  EXPECT_EQ(setwidth(ds.syslrecl + 100), 909);
  EXPECT_EQ(setobs(ds.maxobs + 10), 909);
  ds.failalloc = 0;
  EXPECT_EQ(ds.nobs, 120);
  EXPECT_EQ(colview(5).base, base);
  expect_same(snapshot(), ref);
  expect_columns();
}

// With the columns nearly filling the arena, widening the records moves
// every column towards the start within the same arena, over cells of the
// columns before it, and narrowing them moves every column back; the values
// survive both ways, also after the columns were reordered.
TEST_F(LayoutTest, RepartitionInPlaceWithFullColumns) {
  ASSERT_EQ(setmemory(64 * 1024), 0);
  // the widest even record at which n observations still fit
  const long n = 250;
  build(n);
  long wide = ds.syslrecl;
  while (maxobs_for(wide + 2, ds.memorysize) > n + 1) wide += 2;
  ASSERT_GT(wide, ds.syslrecl);
  Image ref = snapshot();
  const unsigned char* arena = ds.arena;
  ASSERT_EQ(setwidth(wide), 0);
  EXPECT_EQ(ds.arena, arena);
  EXPECT_LE(ds.maxobs, n + 2);
  expect_same(snapshot(), ref);
  expect_columns();
  ASSERT_EQ(setwidth(ds.lrecl + 2), 0);
  EXPECT_EQ(ds.arena, arena);
  expect_same(snapshot(), ref);
  expect_columns();
  ASSERT_EQ(reordervars({0, 6, 3, 1, 5, 2, 4}), 0);
  Image moved = snapshot();
  ASSERT_EQ(setwidth(wide), 0);
  expect_same(snapshot(), moved);
  expect_columns();
}

}  // namespace
