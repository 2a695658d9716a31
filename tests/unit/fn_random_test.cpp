// The random-number generators: the draws from the starting state, seeding
// with and without the 100 discarded draws, the state string and its check
// number, and the older generator. Expected values were computed separately
// from the generator's definition.
#include "fn_testutil.h"

namespace {

TEST(FnRandom, StartingState) {
  fns = FuncState{};
  EXPECT_EQ(urnuni(), 0.13698407844640315);
  EXPECT_EQ(urnuni(), 0.6432206679601222);
  EXPECT_EQ(fnum("uniform", {}), 0.5578016950748861);
}

TEST(FnRandom, SeedsAndStateString) {
  fns = FuncState{};
  std::string s;
  geturnseed(s);
  EXPECT_EQ(s, "X075bcd151f123bb5159a55e500228657177d");
  seturnseed_i4(123456789);  // the starting seed: nothing discarded
  EXPECT_EQ(urnuni(), 0.13698407844640315);
  seturnseed_i4(1);  // 100 draws discarded
  geturnseed(s);
  EXPECT_EQ(s, "Xc136bd85c43f462544a474abacbdd93d4182");
  EXPECT_EQ(urnuni(), 0.6681852275505662);
  seturnseed_i4(-12345);  // |n|
  EXPECT_EQ(urnuni(), 0.3091060062870383);
  // a state string restores the state exactly
  seturnseed_i4(1);
  geturnseed(s);
  double a = urnuni(), b = urnuni();
  ASSERT_EQ(seturnseed(s.c_str()), 0);
  EXPECT_EQ(urnuni(), a);
  EXPECT_EQ(urnuni(), b);
}

TEST(FnRandom, BadStateStrings) {
  fns = FuncState{};
  FuncState before = fns;
  EXPECT_EQ(seturnseed("Xc136bd85c43f462544a474abacbdd93d4183"), 198);  // check digit
  EXPECT_EQ(seturnseed("Xc136bd85c43f462544a474abacbdd93d418"), 198);   // short
  EXPECT_EQ(seturnseed("Yc136bd85c43f462544a474abacbdd93d4182"), 198);  // first letter
  EXPECT_EQ(seturnseed("XC136bd85c43f462544a474abacbdd93d4182"), 198);  // upper case
  EXPECT_EQ(fns.rx, before.rx);
  EXPECT_EQ(fns.ry, before.ry);
}

TEST(FnRandom, OlderGenerator) {
  fns = FuncState{};
  EXPECT_EQ(urnuni0(), 0.0321949222125113);
  EXPECT_EQ(fnum("uniform0", {}), 0.6710822959430516);
}

TEST(FnRandom, RangeAndBlockForm) {
  fns = FuncState{};
  std::vector<double> blk(1000);
  findfunc("uniform")->vec1(nullptr, blk.data(), blk.size());
  fns = FuncState{};
  for (double v : blk) {
    double s = urnuni();
    EXPECT_EQ(v, s);
    EXPECT_GE(v, 0.0);
    EXPECT_LT(v, 1.0);
  }
}

}  // namespace
