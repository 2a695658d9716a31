// The expression compiler: splitting and precedence, literal tables and
// their limits, type checks and their codes, the extent of an expression on
// the command line, names, observation references and compile-time values.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data/chars.h"
#include "data/store.h"
#include "expr/expr.h"
#include "expr/opcodes.h"
#include "interp/interp.h"
#include "interp/tokenizer.h"
#include "output/output.h"

namespace {

struct ExprCompTest : ::testing::Test {
  std::string sink;
  void SetUp() override {
    out_set_capture(&sink);
    ds_reset();
    expr_reset_command();
    interp.version = 920;
    ASSERT_EQ(addvar("a", ST_DOUBLE), 0);
    ASSERT_EQ(addvar("b", ST_DOUBLE), 0);
    ASSERT_EQ(addvar("c", ST_DOUBLE), 0);
    ASSERT_EQ(addvar("name", 8), 0);
    ASSERT_EQ(setobs(4), 0);
    for (long i = 1; i <= 4; ++i) {
      store(1, i, static_cast<double>(i));
      store(2, i, static_cast<double>(10 * i));
      store(3, i, i == 3 ? misval_k(2) : 0.5 * static_cast<double>(i));
    }
    sstore(4, 1, "alpha\0\0\0");
    sstore(4, 2, "beta\0\0\0\0");
  }
  void TearDown() override {
    out_set_capture(nullptr);
    ds_reset();
    expr_reset_command();
    interp.version = 920;
  }
  // Opcode names of text's code (operands left out).
  std::string ops(const char* text) {
    ExprProg p;
    EXPECT_EQ(compexp_u(text, p, EXP_NUMSTR), 0) << text;
    std::string r;
    for (size_t i = 0; i < p.code.size(); ++i) {
      if (!r.empty()) r += ' ';
      r += xo_name(p.code[i]);
      if (xo_hasoperand(p.code[i])) ++i;
    }
    return r;
  }
  int rc(const char* text, int want = EXP_NUMSTR) {
    ExprProg p;
    return compexp_u(text, p, want);
  }
  double num(const char* text, long obs = 1) {
    ExprProg p;
    EXPECT_EQ(compexp_u(text, p, EXP_NUM), 0) << text;
    return evalnum(p, obs);
  }
};

TEST_F(ExprCompTest, RelationalLevelsAndAssociativity) {
  EXPECT_EQ(ops("a<b==c"), "VAR VAR LT VAR EQ");
  EXPECT_EQ(ops("a==b<c"), "VAR VAR VAR LT EQ");
  EXPECT_EQ(ops("a-b-c"), "VAR VAR SUB VAR SUB");
  EXPECT_EQ(ops("a|b&c"), "VAR VAR VAR AND OR");
  EXPECT_EQ(ops("a+b*c"), "VAR VAR VAR MUL ADD");
  EXPECT_EQ(ops("(a+b)*c"), "VAR VAR ADD VAR MUL");
  EXPECT_EQ(ops("((a))"), "VAR");
  EXPECT_EQ(ops("(a)+(b)"), "VAR VAR ADD");
}

TEST_F(ExprCompTest, PowerAndUnaryByVersion) {
  EXPECT_EQ(num("2^3^2"), 64);
  EXPECT_EQ(num("-2^2"), -4);
  interp.version = 400;
  EXPECT_EQ(num("-2^2"), 4);
  interp.version = 920;
  EXPECT_EQ(num("2^-1"), 0.5);
  EXPECT_EQ(num("2*-3"), -6);
  EXPECT_EQ(num("!0+1"), 2);
}

TEST_F(ExprCompTest, ExponentSignsDoNotSplit) {
  EXPECT_EQ(ops("1e-5+1"), "LIT LIT ADD");
  EXPECT_DOUBLE_EQ(num("1e-5+1"), 1.00001);
  EXPECT_EQ(ops("1.8x+3"), "LIT");
  EXPECT_EQ(num("1.8x+3"), 12);
  EXPECT_EQ(num("2.5D+2"), 250);
  EXPECT_EQ(num("1.0x-1"), 0.5);
  EXPECT_EQ(num("1.0x+3ff"), misval);
  EXPECT_EQ(num("1.01ax+3ff"), misval_z);
  EXPECT_EQ(num(".b"), misval_k(2));
}

TEST_F(ExprCompTest, LiteralsAreShared) {
  ExprProg p;
  ASSERT_EQ(compexp_u("1+1+2+1", p, EXP_NUM), 0);
  EXPECT_EQ(p.lits.size(), 2u);
  EXPECT_EQ(ex.numlits.size(), 2u);
  ASSERT_EQ(compexp_u("\"ab\"+\"ab\"", p, EXP_STR), 0);
  EXPECT_EQ(p.pool.size(), 3u);
}

TEST_F(ExprCompTest, TheThreeHundredAndFirstLiteralFails) {
  std::string t = "1";
  for (int i = 2; i <= 300; ++i) t += "+" + std::to_string(i);
  ExprProg p;
  ASSERT_EQ(compexp_u(t.c_str(), p, EXP_NUM), 0);
  ExprProg q;
  EXPECT_EQ(compexp_u("301", q, EXP_NUM), 130);
  EXPECT_NE(sink.find("too many literals"), std::string::npos);
  EXPECT_EQ(compexp_u("300", q, EXP_NUM), 0);  // reused
}

TEST_F(ExprCompTest, StringPoolLimit) {
  std::string big(200, 'x');
  ExprProg p;
  std::string t = "\"" + big + "1\"+\"" + big + "2\"";
  ASSERT_EQ(compexp_u(t.c_str(), p, EXP_STR), 0);
  t = "\"" + big + "3\"";
  EXPECT_EQ(compexp_u(t.c_str(), p, EXP_STR), 130);
}

TEST_F(ExprCompTest, TypeChecks) {
  EXPECT_EQ(rc("\"a\"+1"), 109);
  EXPECT_EQ(rc("-\"a\""), 109);
  EXPECT_EQ(rc("name*2"), 109);
  EXPECT_EQ(rc("a", EXP_STR), 109);
  EXPECT_EQ(rc("name", EXP_NUM), 109);
  EXPECT_EQ(rc("\"a\"<\"b\""), 0);
  EXPECT_EQ(rc("substr(1,2,3)"), 109);
  EXPECT_EQ(rc("cond(1,\"a\",2)"), 109);
}

TEST_F(ExprCompTest, SyntaxErrorsAndMessages) {
  EXPECT_EQ(rc("1+"), 198);
  EXPECT_EQ(rc("(1+2"), 132);
  EXPECT_NE(sink.find("too few ')' or ']'"), std::string::npos);
  EXPECT_EQ(rc("1+2)"), 132);
  EXPECT_NE(sink.find("too many ')' or ']'"), std::string::npos);
  EXPECT_EQ(rc("\"abc"), 132);
  EXPECT_NE(sink.find("too few quotes"), std::string::npos);
  EXPECT_EQ(rc("nosuch+1"), 111);
  EXPECT_NE(sink.find("nosuch not found"), std::string::npos);
  EXPECT_EQ(rc("foo(1)"), 198);
  EXPECT_NE(sink.find("Unknown function foo()"), std::string::npos);
  EXPECT_EQ(rc("c(nosuch)"), 133);
  EXPECT_NE(sink.find("c(nosuch) undefined"), std::string::npos);
  EXPECT_EQ(rc("_n[1]"), 198);
  EXPECT_EQ(rc("missing(missing(a))"), 198);
  EXPECT_EQ(rc("sum(a)+sum(b)+sum(c)+sum(a)+sum(b)"), 130);
  EXPECT_NE(sink.find("Too many SUMs"), std::string::npos);
  EXPECT_EQ(rc("cond(1,2)"), 198);
  EXPECT_EQ(rc("1 2"), 198);
}

// The reset before each command line has work only after a compile or a
// restarted run; each of those must still be undone by the next reset.
TEST_F(ExprCompTest, ResetUndoesEveryCompileAndRestartedRun) {
  expr_reset_command();
  expr_reset_command();  // nothing since the last: stays fresh
  EXPECT_TRUE(ex.ifpgm.empty());
  ASSERT_EQ(compexp_u("1+2", ex.ifpgm, EXP_NUM), 0);
  ASSERT_FALSE(ex.ifpgm.empty());
  ASSERT_FALSE(ex.numlits.empty());
  expr_reset_command();
  EXPECT_TRUE(ex.ifpgm.empty());
  EXPECT_TRUE(ex.ifpgm.text.empty());
  EXPECT_TRUE(ex.numlits.empty());
  ASSERT_EQ(compexp_u("\"ab\"", ex.wepgm, EXP_STR), 0);
  expr_reset_command();
  EXPECT_TRUE(ex.wepgm.empty());
  EXPECT_TRUE(ex.strpool.empty());
  const long saved = ds.nobs1;
  ds.nobs1 = 5;
  expr_startrun(ex.wepgm);  // a fresh program, no longer fresh
  ds.nobs1 = saved;
  ASSERT_EQ(ex.wepgm.sumfrom, 5);
  expr_reset_command();
  EXPECT_EQ(ex.wepgm.sumfrom, 0);
}

TEST_F(ExprCompTest, FailureLeavesTablesAsTheyWere) {
  ExprProg p;
  ASSERT_EQ(compexp_u("7", p, EXP_NUM), 0);
  size_t n = ex.numlits.size();
  EXPECT_EQ(compexp_u("8+9+\"a\"", p, EXP_NUM), 109);
  EXPECT_EQ(ex.numlits.size(), n);
  EXPECT_TRUE(p.empty());
}

TEST_F(ExprCompTest, ExtentOnTheCommandLine) {
  std::string line = "x + 1 if y";
  ASSERT_EQ(addvar("x", ST_FLOAT), 0);
  settok(line.c_str());
  ExprProg p;
  ASSERT_EQ(compexp(p, EXP_NUM, 0, 0), 0);
  EXPECT_EQ(p.text, "x+1");
  EXPECT_STREQ(gettok(prsestd), "if");
  line = "a == 2, opt";
  settok(line.c_str());
  ASSERT_EQ(compexp(p, EXP_NUM, 0, 0), 0);
  EXPECT_EQ(p.text, "a==2");
  EXPECT_STREQ(gettok(prsestd), ",");
  line = "f(a, b) in 1/2";
  settok(line.c_str());
  ASSERT_EQ(compexp(p, EXP_NUM, 0, 1), 0);  // syntax only
  EXPECT_EQ(p.text, "f(a,b)");
  EXPECT_TRUE(p.code.empty());
  EXPECT_STREQ(gettok(prsestd), "in");
  line = "a>0 [fw=b]";
  settok(line.c_str());
  ASSERT_EQ(compexp(p, EXP_NUM, 1, 0), 0);
  EXPECT_EQ(p.text, "a>0");
  line = "a>0[fw=b]";
  settok(line.c_str());
  ASSERT_EQ(compexp(p, EXP_NUM, 1, 0), 0);
  EXPECT_EQ(p.text, "a>0");
  line = "\"a b\" + name";
  settok(line.c_str());
  ASSERT_EQ(compexp(p, EXP_STR, 0, 0), 0);
  EXPECT_EQ(p.text, "\"a b\"+name");
}

TEST_F(ExprCompTest, NamesAbbreviationsAndSubscripts) {
  EXPECT_EQ(num("nam==\"alpha\""), 1);
  EXPECT_EQ(ops("a[2]"), "LIT VARAT");
  EXPECT_EQ(num("b[_n+1]", 1), 20);
  EXPECT_EQ(num("b[_n-1]", 1), misval);
  EXPECT_EQ(num("b[.]", 1), misval);
  EXPECT_EQ(num("b[4.9]", 1), 40);
  ds.varabbrev = false;
  EXPECT_EQ(rc("nam"), 111);
  ds.varabbrev = true;
  ASSERT_EQ(addvar("ab", ST_DOUBLE), 0);
  ASSERT_EQ(addvar("abc", ST_DOUBLE), 0);
  EXPECT_EQ(rc("ab+1"), 0);  // exact name wins
  ASSERT_EQ(addvar("axe", ST_DOUBLE), 0);
  EXPECT_EQ(rc("ax+1"), 0);
  ASSERT_EQ(addvar("axis", ST_DOUBLE), 0);
  EXPECT_EQ(rc("ax+1"), 111);
  EXPECT_NE(sink.find("ax ambiguous abbreviation"), std::string::npos);
}

TEST_F(ExprCompTest, TimeSeriesOperatorsByTime) {
  EXPECT_EQ(rc("L.b"), 111);
  charset("_dta", "_TStvar", "a");
  EXPECT_EQ(rc("L.b"), 5);
  ds.srtlist = {1};
  EXPECT_EQ(num("L.b", 2), 10);
  EXPECT_EQ(num("F2.b", 1), 30);
  EXPECT_EQ(num("D.b", 3), 10);
  EXPECT_EQ(num("L.b", 1), misval);
  store(1, 3, 4);  // a = 1 2 4 4: no period 3, so obs 3 has no lag
  EXPECT_EQ(num("L.b", 3), misval);
  EXPECT_EQ(num("S2.b", 3), 30 - 20);
  charrm(nullptr);
}

TEST_F(ExprCompTest, CompileTimeValues) {
  EXPECT_DOUBLE_EQ(num("_pi"), 3.14159265358979323846);
  EXPECT_EQ(num("r(nosuch)"), misval);
  EXPECT_EQ(num("e(sample)"), 0);
  EXPECT_EQ(num("maxbyte()+minbyte()"), -27);
  EXPECT_EQ(num("maxlong()"), 2147483620.0);
  EXPECT_EQ(num("_cons"), 1);
  EXPECT_EQ(rc("_b[x]"), 111);
  auto old = exhooks.coef;
  exhooks.coef = [](bool se, const std::string&, const std::string& nm, double* d) {
    *d = se ? 0.5 : (nm == "x" ? 2.0 : 3.0);
    return 0;
  };
  ExprProg p;
  ASSERT_EQ(compexp_u("_b[x]+_se[x]", p, EXP_NUM), 0);
  exhooks.coef = [](bool, const std::string&, const std::string&, double* d) {
    *d = 100;
    return 0;
  };
  EXPECT_EQ(evalnum(p, 1), 2.5);  // frozen at compile time
  exhooks.coef = old;
}

TEST_F(ExprCompTest, BlockFlag) {
  ExprProg p;
  ASSERT_EQ(compexp_u("2*a+ln(b)", p, EXP_NUM), 0);
  EXPECT_TRUE(p.blockok);
  ASSERT_EQ(compexp_u("a[_n-1]", p, EXP_NUM), 0);
  EXPECT_FALSE(p.blockok);
  ASSERT_EQ(compexp_u("sum(a)", p, EXP_NUM), 0);
  EXPECT_FALSE(p.blockok);
  ASSERT_EQ(compexp_u("name==\"x\"", p, EXP_NUM), 0);
  EXPECT_FALSE(p.blockok);
  ASSERT_EQ(compexp_u("uniform()+uniform()", p, EXP_NUM), 0);
  EXPECT_FALSE(p.blockok);
}

}  // namespace

namespace {

std::string repeat(const std::string& s, int n, const std::string& sep = "") {
  std::string r;
  for (int i = 0; i < n; ++i) r += (i ? sep : "") + s;
  return r;
}

// Chains of one operator split at every occurrence at once: the code is that
// of splitting at the rightmost occurrence recursively.
TEST_F(ExprCompTest, ChainsCompileLeftToRight) {
  EXPECT_EQ(ops("a+b+c+a"), "VAR VAR ADD VAR ADD VAR ADD");
  EXPECT_EQ(ops("a*b/c*a"), "VAR VAR VAR DIV MUL VAR MUL");
  EXPECT_EQ(ops("a-b+c-a"), "VAR VAR SUB VAR VAR SUB ADD");  // + is looser than -
  EXPECT_EQ(ops("a<b<c"), "VAR VAR LT VAR LT");
  EXPECT_EQ(ops("a<=b>=c==a!=b"), "VAR VAR LE VAR GE VAR VAR NE EQ");
  EXPECT_EQ(num(repeat("1", 500, "+").c_str()), 500);
  EXPECT_EQ(num((repeat("2", 11, "*") + "/" + repeat("2", 10, "/")).c_str()), 2);
  EXPECT_EQ(rc("a++b"), 198);  // a sign after an operator is no operator
  EXPECT_EQ(rc("a+*b"), 198);
  EXPECT_EQ(rc("a<<b"), 198);
  EXPECT_EQ(rc("a+b+"), 198);
  EXPECT_EQ(rc("a==b=="), 198);
}

// Expressions far longer or deeper than a program holds fail with r(130)
// "expression too long" instead of exhausting the stack.
TEST_F(ExprCompTest, VeryLongExpressionsFailCleanly) {
  EXPECT_EQ(rc(repeat("1", 20000, "+").c_str()), 130);
  EXPECT_EQ(rc((repeat("-", 50000) + "1").c_str()), 130);
  EXPECT_EQ(rc((repeat("!", 50000) + "1").c_str()), 130);
  EXPECT_EQ(rc((repeat("(", 5000) + "1" + repeat(")", 5000)).c_str()), 0);
  EXPECT_EQ(rc((repeat("abs(", 5000) + "1" + repeat(")", 5000)).c_str()), 130);
  EXPECT_EQ(rc((repeat("(-", 5000) + "1" + repeat(")", 5000)).c_str()), 130);
  EXPECT_EQ(rc(repeat("2", 5000, "^").c_str()), 130);
  EXPECT_EQ(rc(("nosuch" + repeat("+1", 20000)).c_str()), 111);
  EXPECT_EQ(sink.find("expression too long") != std::string::npos, true);
  // What fits still compiles and runs.
  EXPECT_EQ(num((repeat("-", 600) + "1").c_str()), 1);
  EXPECT_EQ(num((repeat("abs(", 300) + "-1" + repeat(")", 300)).c_str()), 1);
}

}  // namespace
