// The named-object store, macro expansion, the %18.0g macro number format,
// number lists and the normalisation of stored program lines.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data/value.h"
#include "interp/interp.h"
#include "interp/macro.h"
#include "expr/expr.h"
#include "interp/program.h"

namespace {

struct LangMacro : ::testing::Test {
  void SetUp() override {
    dmreset();
    interp.version = 920;
  }
  void TearDown() override { dmreset(); }
  std::string expand(std::string s, int* rc = nullptr) {
    int r = macexpand(s);
    if (rc) *rc = r;
    return s;
  }
};

TEST_F(LangMacro, StoreFindsByNameAndType) {
  ASSERT_EQ(dmstore("x", OBJ_GLOBAL, "1", 1), 0);
  ASSERT_EQ(dmstore("x", OBJ_PROGRAM, "", 0), 0);
  ObjEntry* g = dmfind("x", OBJ_GLOBAL);
  ASSERT_NE(g, nullptr);
  EXPECT_EQ(g->text, "1");
  EXPECT_NE(dmfind("x", OBJ_PROGRAM), g);
  EXPECT_EQ(dmfind("y", OBJ_GLOBAL), nullptr);
  dmzap(OBJ_GLOBAL);
  EXPECT_EQ(dmfind("x", OBJ_GLOBAL), nullptr);
  EXPECT_NE(dmfind("x", OBJ_PROGRAM), nullptr);
}

TEST_F(LangMacro, RestoreKeepsBlockWithinSlack) {
  std::string big(400, 'a');
  ASSERT_EQ(dmstore("b", OBJ_GLOBAL, big.data(), big.size()), 0);
  const char* before = dmfind("b", OBJ_GLOBAL)->text.data();
  ASSERT_EQ(dmstore("b", OBJ_GLOBAL, big.data(), 300), 0);  // within 128..1024 slack of 400
  EXPECT_EQ(dmfind("b", OBJ_GLOBAL)->text.data(), before);
  ASSERT_EQ(dmstore("b", OBJ_GLOBAL, "x", 1), 0);  // far below: a new block
  EXPECT_EQ(dmfind("b", OBJ_GLOBAL)->text, "x");
}

TEST_F(LangMacro, HitCounterMovesEntryToFront) {
  // many names so some share a bucket chain; lookups must keep finding them
  for (int i = 0; i < 50000; ++i) {
    std::string n = "n" + std::to_string(i);
    ASSERT_EQ(dmstore(n.c_str(), OBJ_GLOBAL, n.data(), n.size()), 0);
  }
  for (int k = 0; k < 30; ++k)
    for (int i = 0; i < 50000; i += 997) {
      std::string n = "n" + std::to_string(i);
      ObjEntry* e = dmfind(n.c_str(), OBJ_GLOBAL);
      ASSERT_NE(e, nullptr);
      EXPECT_EQ(e->text, n);
    }
}

TEST_F(LangMacro, LocalsBelongToTheirLevel) {
  macset_local("a", "outer");
  locals_enter("x \"y z\" `\"w\"'");
  EXPECT_EQ(macget_local("a"), nullptr);
  ASSERT_NE(macget_local("0"), nullptr);
  EXPECT_EQ(*macget_local("0"), "x \"y z\" `\"w\"'");
  EXPECT_EQ(*macget_local("1"), "x");
  EXPECT_EQ(*macget_local("2"), "y z");
  EXPECT_EQ(*macget_local("3"), "w");
  locals_leave();
  ASSERT_NE(macget_local("a"), nullptr);
  EXPECT_EQ(*macget_local("a"), "outer");
}

TEST_F(LangMacro, ExpandsGlobalsAndLocals) {
  macset_global("g", "G");
  macset_local("l", "L");
  EXPECT_EQ(expand("a $g ${g}b `l' `nothing' $"), "a G Gb L  $");
  EXPECT_EQ(expand("$1 and `'"), "$1 and ");
  EXPECT_EQ(expand("` x'"), "` x'");
  EXPECT_EQ(expand("`\"q\"'"), "`\"q\"'");
}

TEST_F(LangMacro, NestedAndRescanned) {
  macset_local("i", "2");
  macset_local("v2", "two");
  EXPECT_EQ(expand("`v`i''"), "two");
  macset_local("r", "`i'");
  EXPECT_EQ(expand("`r'"), "2");
  EXPECT_EQ(expand("`macval(r)'"), "`i'");
}

TEST_F(LangMacro, Escapes) {
  macset_global("x", "X");
  EXPECT_EQ(expand("\\$x \\`i'"), "$x `i'");
  EXPECT_EQ(expand("\\\\$x"), "\\X");
  interp.version = 800;
  EXPECT_EQ(expand("\\\\y"), "\\y");
}

TEST_F(LangMacro, IncrementForms) {
  macset_local("n", "1");
  EXPECT_EQ(expand("`n++' `n' `++n' `n--' `--n'"), "1 2 3 3 1");
  int rc = 0;
  expand("`m++'", &rc);
  EXPECT_EQ(rc, 111);
  macset_local("m", "abc");
  expand("`m++'", &rc);
  EXPECT_EQ(rc, 109);
}

TEST_F(LangMacro, PositionalStar) {
  locals_enter("a b");
  EXPECT_EQ(expand("[`*']"), "[a b]");
  locals_leave();
}

TEST_F(LangMacro, RepeatLimit) {
  macset_local("a", "`a'");
  int rc = 0;
  expand("`a'", &rc);
  EXPECT_EQ(rc, 920);
  // many empty references in a row are not a repeat
  rc = 0;
  std::string many;
  for (int i = 0; i < 40; ++i) many += "`e" + std::to_string(i) + "'";
  EXPECT_EQ(expand(many, &rc), "");
  EXPECT_EQ(rc, 0);
}

TEST_F(LangMacro, NumberFormat) {
  std::string s;
  macfmtnum(5000050000.0, s);
  EXPECT_EQ(s, "5000050000");
  macfmtnum(-12, s);
  EXPECT_EQ(s, "-12");
  macfmtnum(0, s);
  EXPECT_EQ(s, "0");
  macfmtnum(2.5, s);
  EXPECT_EQ(s, "2.5");
  macfmtnum(1e16, s);
  EXPECT_NE(s.find('e'), std::string::npos);
  // integers are written into the text they replace, whatever its length
  // was: every digit count, both signs, one buffer throughout
  for (long long p = 1; p <= 1000000000000000LL; p *= 10) {
    for (long long k : {p - 1, p, p + 1, -p, -(p - 1), 10 * p - 1, -(10 * p - 1)}) {
      if (k > (1LL << 53) || -k > (1LL << 53)) continue;  // not every integer there is a double
      macfmtnum(static_cast<double>(k), s);
      EXPECT_EQ(s, std::to_string(k)) << k;
    }
  }
  macfmtnum(misval, s);
  EXPECT_EQ(s, ".");
  macfmtnum(-7, s);
  macfmtnum(misval_k(2), s);
  EXPECT_EQ(s, ".b");
  macfmtnum(123456, s);
  macfmtnum(0, s);
  EXPECT_EQ(s, "0");
}

TEST_F(LangMacro, Numlists) {
  std::vector<double> v;
  ASSERT_EQ(numlist_expand("1/3 10(5)20", NumlistSpec{}, v, false), 0);
  EXPECT_EQ(v, (std::vector<double>{1, 2, 3, 10, 15, 20}));
  ASSERT_EQ(numlist_expand("1 3 to 9", NumlistSpec{}, v, false), 0);
  EXPECT_EQ(v, (std::vector<double>{1, 3, 5, 7, 9}));
  ASSERT_EQ(numlist_expand("3/1", NumlistSpec{}, v, false), 0);
  EXPECT_EQ(v, (std::vector<double>{3, 2, 1}));
  EXPECT_EQ(numlist_expand("5 5:9", NumlistSpec{}, v, false), 121);
  EXPECT_EQ(numlist_expand("1 x", NumlistSpec{}, v, false), 121);
  NumlistSpec asc;
  asc.flags = NL_ASCEND;
  EXPECT_EQ(numlist_expand("2 1", asc, v, false), 124);
  NumlistSpec in;
  in.flags = NL_INTEGER;
  EXPECT_EQ(numlist_expand("1.5", in, v, true), 126);
  EXPECT_EQ(numlist_expand("1 .", NumlistSpec{}, v, false), 127);
  NumlistSpec mx;
  mx.max = 2;
  EXPECT_EQ(numlist_expand("1 2 3", mx, v, false), 123);
}

TEST(LangProgram, StoredLinesAreNormalised) {
  Program p;
  ASSERT_EQ(prog_addline(p, "display \"a   b\""), 0);
  ASSERT_EQ(prog_addline(p, "  display  1  "), 0);
  ASSERT_EQ(p.nlines(), 2);
  EXPECT_EQ(p.text[p.offs[0]], 0);
  EXPECT_STREQ(p.text.data() + p.offs[0] + 1, "display \"a   b\"");
  EXPECT_EQ(p.text[p.offs[1]], 2);
  EXPECT_STREQ(p.text.data() + p.offs[1] + 1, "display 1");
}

TEST(LangProgram, TooManyLines) {
  Program p;
  int rc = 0;
  for (int i = 0; i < 3502 && !rc; ++i) rc = prog_addline(p, "x");
  EXPECT_EQ(rc, 1000);
}

}  // namespace

namespace {

// Random lines over the characters that matter to expansion never crash,
// never loop and never grow past the line limit.
TEST(LangMacroFuzz, RandomLinesTerminate) {
  dmreset();
  macset_global("g", "`l'");
  macset_local("l", "$g x");
  macset_local("n", "1");
  const char alphabet[] = "`'$\\{}\"ab n=:*+-(). ";
  unsigned seed = 12345;
  for (int t = 0; t < 20000; ++t) {
    std::string line;
    seed = seed * 1103515245u + 12345u;
    int len = static_cast<int>(seed % 24);
    for (int i = 0; i < len; ++i) {
      seed = seed * 1103515245u + 12345u;
      line.push_back(alphabet[(seed >> 16) % (sizeof alphabet - 1)]);
    }
    int rc = macexpand(line);
    EXPECT_TRUE(rc == 0 || rc >= 100) << line;
    EXPECT_LT(line.size(), static_cast<size_t>(interp.conslen));
  }
  dmreset();
}

}  // namespace

namespace {

// The literal fast path of `=exp` gives exactly what the compiler gives.
TEST(LangMacroExp, LiteralArithmeticMatchesCompiler) {
  const char* cases[] = {"0 + 1",   "1e3 * 2",  "5/0",     "1-2",      "2 - -3",   ".5+.25",
                         "10/4",    "1/3",      "9e307+9e307", "123456789012 * 1000", "-0.5 + 0",
                         "7 -1",    "3*-2",     "1e-300/1e10", "2.5e+2-1", "4 / 2"};
  for (const char* c : cases) {
    std::string fast;
    ASSERT_EQ(macevalexp(c, fast), 0) << c;
    ExprProg prog;
    ASSERT_EQ(compexp_u(c, prog, EXP_NUMSTR), 0) << c;
    std::string slow;
    macfmtnum(evalnum(prog, 1), slow);
    EXPECT_EQ(fast, slow) << c;
  }
}

}  // namespace
