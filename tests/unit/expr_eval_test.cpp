// The evaluator: missing values in arithmetic and comparisons (by version),
// logic, strings, observation references, running sums, by groups, and the
// block path agreeing with the observation path.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "data/store.h"
#include "expr/expr.h"
#include "expr/funcs.h"
#include "interp/interp.h"
#include "output/output.h"

namespace {

constexpr long NOBS = 1300;  // more than two blocks

struct ExprEvalTest : ::testing::Test {
  std::string sink;
  void SetUp() override {
    out_set_capture(&sink);
    ds_reset();
    expr_reset_command();
    ex.grp1 = ex.grp2 = 0;
    interp.version = 920;
    ASSERT_EQ(addvar("x", ST_DOUBLE), 0);
    ASSERT_EQ(addvar("f", ST_FLOAT), 0);
    ASSERT_EQ(addvar("i", ST_INT), 0);
    ASSERT_EQ(addvar("b", ST_BYTE), 0);
    ASSERT_EQ(addvar("l", ST_LONG), 0);
    ASSERT_EQ(addvar("s", 6), 0);
    ASSERT_EQ(setobs(NOBS), 0);
    for (long o = 1; o <= NOBS; ++o) {
      double v = std::sin(static_cast<double>(o)) * 50;
      store(1, o, o % 17 == 0 ? misval_k(static_cast<int>(o % 27)) : v);
      store(2, o, o % 13 == 0 ? misval_k(1) : v / 3);
      store(3, o, o % 11 == 0 ? misval : std::floor(v * 7));
      store(4, o, o % 7 == 0 ? misval_k(3) : std::floor(v));
      store(5, o, static_cast<double>(o * 1000));
      std::string t = o % 5 == 0 ? "" : "s" + std::to_string(o % 100);
      t.resize(6, '\0');
      sstore(6, o, t.c_str());
    }
    ds.nobs1 = 1;
    ds.nobs2 = NOBS;
  }
  void TearDown() override {
    out_set_capture(nullptr);
    ex.grp1 = ex.grp2 = 0;
    ds_reset();
    expr_reset_command();
    interp.version = 920;
  }
  double num(const char* text, long obs = 1) {
    ExprProg p;
    EXPECT_EQ(compexp_u(text, p, EXP_NUM), 0) << text;
    return evalnum(p, obs);
  }
  std::string str(const char* text, long obs = 1) {
    ExprProg p;
    EXPECT_EQ(compexp_u(text, p, EXP_STR), 0) << text;
    std::string r;
    evalstr(p, obs, r);
    return r;
  }
};

TEST_F(ExprEvalTest, MissingArithmetic) {
  EXPECT_EQ(num("1/0"), misval);
  EXPECT_EQ(num(".a+1"), misval);
  EXPECT_EQ(num(".z*0"), misval);
  EXPECT_EQ(num("-.b"), misval);
  EXPECT_EQ(num("(-8)^(1/3)"), misval);
  EXPECT_EQ(num("2^.a"), misval);
  EXPECT_EQ(num("0^0"), 1);
  EXPECT_EQ(num("-1e308*10"), misval);  // not finite
}

TEST_F(ExprEvalTest, ComparisonsByVersion) {
  EXPECT_EQ(num(".a==.a"), 1);
  EXPECT_EQ(num(".a==.b"), 0);
  EXPECT_EQ(num(".<.a"), 1);
  EXPECT_EQ(num(".z>1e300"), 1);
  interp.version = 700;
  EXPECT_EQ(num(".a==.b"), 1);
  EXPECT_EQ(num(".<.a"), 0);
}

TEST_F(ExprEvalTest, LogicTreatsMissingAsTrue) {
  EXPECT_EQ(num(".&1"), 1);
  EXPECT_EQ(num("!."), 0);
  EXPECT_EQ(num("0|0"), 0);
  EXPECT_EQ(num("2&3"), 1);
  EXPECT_EQ(num("!0"), 1);
}

TEST_F(ExprEvalTest, Strings) {
  EXPECT_EQ(str("\"abc\"+\"def\""), "abcdef");
  EXPECT_EQ(str("substr(\"abcdef\",-2,.)"), "ef");
  EXPECT_EQ(str("substr(\"abc\",0,1)"), "");
  EXPECT_EQ(str("substr(\"abc\",4,1)"), "");
  EXPECT_EQ(str("substr(\"abcdef\",2,3)"), "bcd");
  EXPECT_EQ(str("s", 1), "s1");
  EXPECT_EQ(str("s[_n+1]", 1), "s2");
  EXPECT_EQ(str("s[0]", 1), "");
  EXPECT_EQ(num("\"b\">\"a\""), 1);
  EXPECT_EQ(num("\"ab\"<\"abc\""), 1);
  std::string big(200, 'x');
  std::string t = "\"" + big + "\"+\"" + big + "\"";
  EXPECT_EQ(str(t.c_str()).size(), 244u);
  EXPECT_EQ(str("cond(0,\"a\",\"b\")"), "b");
  EXPECT_EQ(str("cond(.,\"a\",\"b\",\"c\")"), "c");
  EXPECT_EQ(num("inlist(\"b\",\"a\",\"b\")"), 1);
  EXPECT_EQ(num("inrange(\"b\",\"a\",\"c\")"), 1);
  EXPECT_EQ(num("missing(s)", 5), 1);
  EXPECT_EQ(num("missing(s, 1)", 1), 0);
}

TEST_F(ExprEvalTest, SpecialForms) {
  EXPECT_EQ(num("cond(.,1,2)"), 1);
  EXPECT_EQ(num("cond(.,1,2,3)"), 3);
  EXPECT_EQ(num("cond(0,1,2)"), 2);
  EXPECT_EQ(num("inrange(5,.,3)"), 0);
  EXPECT_EQ(num("inrange(5,.,.)"), 1);
  EXPECT_EQ(num("inrange(.,1,2)"), 0);
  EXPECT_EQ(num("inlist(3,1,2,3)"), 1);
  EXPECT_EQ(num("inlist(4,1,2,3)"), 0);
  EXPECT_EQ(num("missing(1,.a)"), 1);
}

TEST_F(ExprEvalTest, ObservationNumbersAndGroups) {
  EXPECT_EQ(num("_n", 7), 7);
  EXPECT_EQ(num("_N", 7), NOBS);
  ex.grp1 = 5;
  ex.grp2 = 9;
  EXPECT_EQ(num("_n", 7), 3);
  EXPECT_EQ(num("_N", 7), 5);
  EXPECT_EQ(num("l[1]", 7), 5000);
  EXPECT_EQ(num("l[_N]", 7), 9000);
  EXPECT_EQ(num("l[6]", 7), misval);
  EXPECT_EQ(num("l[_n-1]", 5), misval);
}

TEST_F(ExprEvalTest, RunningSums) {
  ExprProg p;
  ASSERT_EQ(compexp_u("sum(l/1000)+sum(cond(_n==2,.,1))", p, EXP_NUM), 0);
  expr_startrun(p);
  EXPECT_EQ(evalnum(p, 1), 1 + 1);
  EXPECT_EQ(evalnum(p, 2), 3 + 1);  // a missing value adds nothing
  EXPECT_EQ(evalnum(p, 3), 6 + 2);
  EXPECT_EQ(evalnum(p, 1), 1 + 1);  // a new pass restarts
}

TEST_F(ExprEvalTest, BlockPathEqualsObservationPath) {
  const char* exprs[] = {
      "2*x+ln(abs(f)+1)", "x>0.5", "x==.", "f<i", "i/b", "b^2", "-x", "!b", "x|f&i",
      "cond(x>0,f,i)", "cond(x,1,2,3)", "inrange(x,-10,10)", "inlist(b,1,2,3)", "missing(x,f)",
      "_n*2+_N", "sqrt(x)", "exp(f/10)", "x+.a", "(x>=.)+(f>=.b)", "round(x,0.5)",
      "max(x,f,i)", "mod(i,7)", "l+x", "1", ".c", "x-x", "floor(f)", "abs(i)-1e300*1e300"};
  std::vector<double> blk(EXPR_BLOCK);
  for (const char* e : exprs) {
    ExprProg p;
    ASSERT_EQ(compexp_u(e, p, EXP_NUM), 0) << e;
    for (long obs = 1; obs <= NOBS; obs += EXPR_BLOCK) {
      long n = std::min(EXPR_BLOCK, NOBS - obs + 1);
      evalnum_block(p, obs, n, blk.data(), nullptr);
      for (long k = 0; k < n; ++k) {
        double a = blk[static_cast<size_t>(k)], b = evalnum(p, obs + k);
        if (a >= misval || b >= misval)
          EXPECT_EQ(a, b) << e << " at " << obs + k;
        else
          EXPECT_NEAR(a, b, 1e-13 * (1 + std::fabs(b))) << e << " at " << obs + k;
      }
    }
  }
}

TEST_F(ExprEvalTest, GatherMatchesStore) {
  std::vector<double> g(EXPR_BLOCK);
  for (int v = 1; v <= 5; ++v) {
    expr_gather(v, 1, EXPR_BLOCK, g.data());
    for (long k = 0; k < EXPR_BLOCK; ++k) {
      double a = g[static_cast<size_t>(k)], b = zelta_data(v, k + 1);
      EXPECT_EQ(std::memcmp(&a, &b, 8), 0) << v << " " << k;
    }
  }
}

TEST_F(ExprEvalTest, RandomDrawsFollowTheSelectedObservations) {
  ExprProg p;
  ASSERT_EQ(compexp_u("uniform()*2", p, EXP_NUM), 0);
  ASSERT_TRUE(p.blockok);
  std::vector<unsigned char> mask(EXPR_BLOCK);
  for (long k = 0; k < EXPR_BLOCK; ++k) mask[static_cast<size_t>(k)] = (k % 3) != 1;
  fns = FuncState{};
  std::vector<double> one(EXPR_BLOCK, misval);
  for (long k = 0; k < EXPR_BLOCK; ++k)
    if (mask[static_cast<size_t>(k)]) one[static_cast<size_t>(k)] = evalnum(p, k + 1);
  fns = FuncState{};
  std::vector<double> blk(EXPR_BLOCK);
  evalnum_block(p, 1, EXPR_BLOCK, blk.data(), mask.data());
  for (long k = 0; k < EXPR_BLOCK; ++k) EXPECT_EQ(blk[static_cast<size_t>(k)], one[static_cast<size_t>(k)]) << k;
  fns = FuncState{};
}

TEST_F(ExprEvalTest, IfSelection) {
  ASSERT_EQ(compexp_u("x>0", ex.ifpgm, EXP_NUM), 0);
  std::vector<unsigned char> sel(EXPR_BLOCK);
  selobs_block(1, EXPR_BLOCK, sel.data());
  for (long k = 0; k < EXPR_BLOCK; ++k) EXPECT_EQ(sel[static_cast<size_t>(k)] != 0, selobs(k + 1));
  ex.ifpgm = ExprProg{};
  EXPECT_TRUE(selobs(3));
}

// `variable op literal` takes a one-pass column path: it must select what
// the observation path selects, for every type, missing codes and version.
TEST_F(ExprEvalTest, ComparisonWithALiteralSelectsAsTheObservationPath) {
  for (int ver : {920, 700}) {
    interp.version = ver;
    for (const char* v : {"x", "f", "i", "b", "l"})
      for (const char* op : {"==", "!=", ">=", "<=", "<", ">"})
        for (const char* k : {"0", "3", "-2.5", ".", ".b", "1e300"}) {
          std::string text = std::string(v) + op + k;
          ASSERT_EQ(compexp_u(text.c_str(), ex.ifpgm, EXP_NUM), 0) << text;
          std::vector<unsigned char> sel(EXPR_BLOCK);
          for (long obs = 1; obs <= NOBS; obs += EXPR_BLOCK) {
            long n = std::min(EXPR_BLOCK, NOBS - obs + 1);
            selobs_block(obs, n, sel.data());
            for (long j = 0; j < n; ++j)
              ASSERT_EQ(sel[static_cast<size_t>(j)] != 0, evalnum(ex.ifpgm, obs + j) != 0)
                  << text << " v" << ver << " obs " << obs + j;
          }
        }
  }
  ex.ifpgm = ExprProg{};
}

}  // namespace
