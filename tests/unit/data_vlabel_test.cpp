// The value-label store: ordered insertion, lookups by value and by text,
// the file form and its reading back from damaged or unordered input.
#include <gtest/gtest.h>

#include "data/value.h"
#include "data/vlabel.h"

namespace {

struct ValueLabelTest : ::testing::Test {
  void SetUp() override { vldropall(); }
  void TearDown() override { vldropall(); }
};

TEST_F(ValueLabelTest, InsertKeepsValuesAscendingAndFindsByValue) {
  ValueLabel& lab = vlcreate("l");
  for (int v : {5, -3, 9, 0, 7}) ASSERT_EQ(vlset(lab, v, "t" + std::to_string(v)), 0);
  EXPECT_EQ(lab.val, std::vector<int32_t>({-3, 0, 5, 7, 9}));
  EXPECT_EQ(vlfindval(lab, 7), 3);
  EXPECT_EQ(vlfindval(lab, 6), ~3);   // would go before 7
  EXPECT_EQ(vlfindval(lab, -10), ~0);
  EXPECT_EQ(vlfindval(lab, 10), ~5);
  ASSERT_NE(vltext(lab, 5.0), nullptr);
  EXPECT_EQ(*vltext(lab, 5.0), "t5");
  EXPECT_EQ(vltext(lab, 5.5), nullptr);
  EXPECT_EQ(vltext(lab, misval), nullptr);
  EXPECT_EQ(vltext(lab, 1e300), nullptr);
  EXPECT_EQ(vlsearch(lab, "t-3"), -3);
  EXPECT_EQ(vlsearch(lab, "none"), misval);
  // An empty text removes the mapping; replacing keeps the order.
  ASSERT_EQ(vlset(lab, 0, ""), 0);
  ASSERT_EQ(vlset(lab, 9, "nine and more"), 0);
  EXPECT_EQ(lab.val, std::vector<int32_t>({-3, 5, 7, 9}));
  EXPECT_EQ(vlmaxlen(lab), 13);
}

TEST_F(ValueLabelTest, PackAndUnpackRoundTrip) {
  ValueLabel& lab = vlcreate("a");
  ASSERT_EQ(vlset(lab, 1, "one"), 0);
  ASSERT_EQ(vlset(lab, 2, "two"), 0);
  VlPacked p;
  vlpack(lab, p);
  EXPECT_EQ(p.off, std::vector<int32_t>({0, 4}));
  EXPECT_EQ(p.txt, std::string("one\0two\0", 8));
  ASSERT_EQ(vlunpack("b", p.off.data(), p.val.data(), 2, p.txt.data(), p.txt.size()), 0);
  const ValueLabel* b = vlfind("b");
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->val, lab.val);
  EXPECT_EQ(b->txt, lab.txt);
}

TEST_F(ValueLabelTest, UnpackSortsUnorderedInputAndRejectsBadOffsets) {
  const int32_t off[] = {0, 2, 4};
  const int32_t val[] = {3, 1, 3};
  const char txt[] = "a\0b\0c";  // the last text has no NUL before the end
  ASSERT_EQ(vlunpack("u", off, val, 3, txt, 5), 0);
  const ValueLabel* u = vlfind("u");
  ASSERT_NE(u, nullptr);
  EXPECT_EQ(u->val, std::vector<int32_t>({1, 3}));
  EXPECT_EQ(u->txt, std::vector<std::string>({"b", "c"}));  // the later 3 wins
  const int32_t bad[] = {0, 9};
  EXPECT_EQ(vlunpack("v", bad, val, 2, txt, 5), 610);
  EXPECT_EQ(vlfind("v"), nullptr);
  EXPECT_EQ(vlunpack("w", off, val, VL_MAXN + 1, txt, 5), 610);
}

TEST_F(ValueLabelTest, FullTableRefusesAnotherValue) {
  ValueLabel& lab = vlcreate("big");
  for (int v = 0; v < VL_MAXN; ++v) {
    lab.val.push_back(v);
    lab.txt.push_back("x");
  }
  EXPECT_EQ(vlset(lab, VL_MAXN, "y"), 134);
  EXPECT_EQ(vlset(lab, 0, "z"), 0);  // changing an existing one is fine
  EXPECT_EQ(lab.n(), VL_MAXN);
}

}  // namespace
