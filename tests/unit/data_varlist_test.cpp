// Variable lists: exact names and abbreviations, patterns, ranges, groups,
// new-variable lists, time-series recipes and their evaluation, abvar.
#include <gtest/gtest.h>

#include <string>

#include "data/chars.h"
#include "data/store.h"
#include "data/varlist.h"
#include "interp/cmdtab.h"
#include "interp/tokenizer.h"
#include "output/output.h"

namespace {

struct VlTest : ::testing::Test {
  std::string said;
  void SetUp() override {
    ds_reset();
    vl = VarlistState{};
    tsops(PERM_OPTIONAL);
    out_set_capture(&said);
  }
  // The varlist parser allows time-series operators as the last command's
  // contract said: parsing an empty line under a contract sets it.
  static void tsops(Perm p) {
    settok("");
    ParseResult r;
    (void)::parse({.tsops = p}, r);
  }
  void TearDown() override {
    out_set_capture(nullptr);
    ds_reset();
  }
  void vars(std::initializer_list<const char*> names) {
    for (const char* n : names) ASSERT_EQ(addvar(n, ST_FLOAT), 0) << n;
  }
  int parse(const char* text, int mode = VL_EXISTING) {
    said.clear();
    settok(text);
    return ssvlist(mode);
  }
  std::string names() {
    std::string s;
    for (int v : vl.varlist_vr) s += (s.empty() ? "" : " ") + (v ? varname(v) : std::string("?"));
    return s;
  }
};

TEST_F(VlTest, ExactWinsOverAbbreviation) {
  vars({"cost", "costx"});
  EXPECT_EQ(zelta_findvar("cost", 1, false), 1);
  EXPECT_EQ(zelta_findvar("costx", 1, false), 2);
  said.clear();
  EXPECT_EQ(zelta_findvar("cos", 1, false), -111);
  EXPECT_EQ(said, "cos ambiguous abbreviation\n");
  ds.varabbrev = false;
  said.clear();
  EXPECT_EQ(zelta_findvar("cos", 1, false), -111);
  EXPECT_EQ(said, "variable cos not found\n");
  ds.varabbrev = true;
  EXPECT_EQ(zelta_findvar("costx", 1, true), 2);
  EXPECT_EQ(findvarnoab("cos"), -111);
}

TEST_F(VlTest, FindvarModes) {
  EXPECT_EQ(zelta_findvar("a", 1, false), -111);
  vars({"alpha", "beta"});
  EXPECT_EQ(zelta_findvar("al", 1, false), 1);
  EXPECT_EQ(zelta_findvar("gamma", 0, false), 3);
  said.clear();
  EXPECT_EQ(zelta_findvar("beta", 0, false), -110);
  EXPECT_EQ(said, "beta already defined\n");
  EXPECT_EQ(zelta_findvar("gamma", 10, false), 3);
  EXPECT_EQ(zelta_findvar("b~", 1, false), 2);
  EXPECT_EQ(genfindvar("a~a"), 1);
}

TEST_F(VlTest, Patterns) {
  vars({"x", "a", "x1", "xyz", "b"});
  ASSERT_EQ(parse("x*"), 0);
  EXPECT_EQ(names(), "x x1 xyz");
  ASSERT_EQ(parse("x?"), 0);
  EXPECT_EQ(names(), "x1");
  ASSERT_EQ(parse("*"), 0);
  EXPECT_EQ(names(), "x a x1 xyz b");
  EXPECT_EQ(parse("x~"), 111);
  EXPECT_EQ(said, "x~ ambiguous abbreviation\n");
  ASSERT_EQ(parse("xy~"), 0);
  EXPECT_EQ(names(), "xyz");
  EXPECT_EQ(parse("x~*"), 198);
  EXPECT_EQ(said, "x~*:  may not combine ~ and *-or-? notation\n");
  EXPECT_EQ(parse("q*"), 111);
  EXPECT_EQ(said, "variable q* not found\n");
  EXPECT_TRUE(vlmatch("a*b?c", "aXXbYc"));
  EXPECT_FALSE(vlmatch("a*b?c", "aXXbc"));
}

TEST_F(VlTest, RangesAllAndStops) {
  vars({"a", "b", "c", "d"});
  ASSERT_EQ(parse("b-d"), 0);
  EXPECT_EQ(names(), "b c d");
  ASSERT_EQ(parse("a - b c"), 0);
  EXPECT_EQ(names(), "a b c");
  EXPECT_EQ(parse("c-a"), 111);
  EXPECT_EQ(said, "Variables out of order\n");
  ASSERT_EQ(parse("_all"), 0);
  EXPECT_EQ(names(), "a b c d");
  ASSERT_EQ(parse("a b if a>1"), 0);
  EXPECT_EQ(names(), "a b");
  EXPECT_STREQ(gettok(prsestd), "if");
  ASSERT_EQ(parse("d, opt"), 0);
  EXPECT_EQ(names(), "d");
  EXPECT_STREQ(gettok(prsestd), ",");
  EXPECT_EQ(parse("zz"), 111);
  EXPECT_EQ(vl.lnvar(), 0);
}

TEST_F(VlTest, GroupsAndNotAllowed) {
  vars({"a", "b", "c"});
  ASSERT_EQ(parse("(a b) c"), 0);
  EXPECT_EQ(names(), "a b c");
  EXPECT_EQ(vl.groups, std::vector<int>({0}));
  EXPECT_EQ(parse("((a))"), 101);
  EXPECT_EQ(said, "( not allowed\n");
  EXPECT_EQ(parse("a)"), 101);
  EXPECT_EQ(parse("_skip"), 101);
  EXPECT_EQ(parse("float a"), 101);
  EXPECT_EQ(said, "float not allowed\n");
  EXPECT_EQ(parse("(a) (b) (c) (a) (b) (c)"), 198);
}

TEST_F(VlTest, NewVariableLists) {
  vars({"a"});
  ASSERT_EQ(parse("x1-x3 y", VL_NEW), 0);
  EXPECT_EQ(vl.newnames, std::vector<std::string>({"x1", "x2", "x3", "y"}));
  ASSERT_EQ(parse("double p q str5 s int t", VL_NEWTYPED), 0);
  EXPECT_EQ(vl.newtypes, std::vector<int>({ST_DOUBLE, ST_FLOAT, 5, ST_INT}));
  ASSERT_EQ(parse("byte(u v) w", VL_NEWTYPED), 0);
  EXPECT_EQ(vl.newtypes, std::vector<int>({ST_BYTE, ST_BYTE, ST_FLOAT}));
  ASSERT_EQ(parse("z:lbl", VL_NEWTYPED), 0);
  EXPECT_EQ(vl.newlabels[0], "lbl");
  EXPECT_EQ(parse("str3 z:lbl", VL_NEWTYPED), 181);
  EXPECT_EQ(parse("a", VL_NEW), 110);
  EXPECT_EQ(said, "a already defined\n");
  EXPECT_EQ(parse("_all", VL_NEW), 101);
  EXPECT_EQ(parse("x3-x1", VL_NEW), 198);
  EXPECT_EQ(parse("- x", VL_NEW), 198);
  EXPECT_EQ(parse("2x", VL_NEW), 198);
  ASSERT_EQ(parse("a b", VL_OPTIONAL_NEW), 0);
  EXPECT_EQ(vl.newexists, std::vector<char>({1, 0}));
  ASSERT_EQ(vl_createnew(), 0);
  EXPECT_EQ(ds.nvar, 2);
  EXPECT_EQ(names(), "a b");
}

TEST_F(VlTest, RecipesParseAndNormalise) {
  vars({"t", "x"});
  ds.srtlist = {1};
  charset("_dta", "_TStvar", "t");
  ASSERT_EQ(parse("L(1/2).x"), 0);
  ASSERT_EQ(vl.lnvar(), 2);
  EXPECT_EQ(tsrecipe_text(vl.varlist_rcp[0]), "L");
  EXPECT_EQ(tsrecipe_text(vl.varlist_rcp[1]), "L2");
  ASSERT_EQ(parse("LD.x DL.x"), 0);
  EXPECT_EQ(tsrecipe_text(vl.varlist_rcp[0]), tsrecipe_text(vl.varlist_rcp[1]));
  EXPECT_EQ(tsrecipe_text(vl.varlist_rcp[0]), "LD");
  ASSERT_EQ(parse("s12s4.x f2.x l2f2.x"), 0);
  EXPECT_EQ(tsrecipe_text(vl.varlist_rcp[0]), "S4S12");
  EXPECT_EQ(tsrecipe_text(vl.varlist_rcp[1]), "F2");
  EXPECT_TRUE(vl.varlist_rcp[2].plain());
  EXPECT_EQ(parse("D21.x"), 198);
  EXPECT_EQ(said, "D21:  operator invalid:  D20 is maximum allowed difference\n");
  EXPECT_EQ(parse("Q.x"), 198);
  EXPECT_EQ(said, "Q:  operator invalid\n");
  EXPECT_EQ(parse("L(2/1).x"), 198);
  EXPECT_EQ(said, "numlist in operator invalid\n");
  EXPECT_EQ(parse("SSSSSSSSS.x"), 1000);
  EXPECT_EQ(said, "SSSSSSSSS:  operator too long\n");
  ASSERT_EQ(parse("L.(t x)"), 0);
  EXPECT_EQ(names(), "t x");
  tsops(PERM_NO);
  EXPECT_EQ(parse("L.x"), 101);
}

TEST_F(VlTest, RecipesNeedSetupAndSort) {
  vars({"t", "x"});
  EXPECT_EQ(parse("L.x"), 111);
  EXPECT_EQ(said, "time variable not set\n");
  charset("_dta", "_TStvar", "t");
  EXPECT_EQ(parse("L.x"), 5);
  ds.srtlist = {1};
  EXPECT_EQ(parse("L.x"), 0);
}

TEST_F(VlTest, RecipeValuesAcrossPanelsAndGaps) {
  // Panels 1 (t = 1,2,3,5) and 2 (t = 1,2): x = 10*t + panel.
  vars({"id", "t", "x"});
  ASSERT_EQ(setobs(6), 0);
  double idv[] = {1, 1, 1, 1, 2, 2}, tv[] = {1, 2, 3, 5, 1, 2};
  for (long i = 1; i <= 6; ++i) {
    store(1, i, idv[i - 1]);
    store(2, i, tv[i - 1]);
    store(3, i, tv[i - 1] * tv[i - 1] + idv[i - 1]);
  }
  ds.srtlist = {1, 2};
  charset("_dta", "_TStvar", "t");
  charset("_dta", "_TSpanel", "id");
  ASSERT_EQ(parse("L.x F.x D.x D2.x S2.x L2.x"), 0);
  auto at = [&](int e, long i) { return rzelta_data(e, i); };
  EXPECT_EQ(at(0, 1), misval);   // first of panel 1
  EXPECT_EQ(at(0, 2), 2);
  EXPECT_EQ(at(0, 4), misval);   // after the gap
  EXPECT_EQ(at(0, 5), misval);   // first of panel 2
  EXPECT_EQ(at(0, 6), 3);
  EXPECT_EQ(at(1, 3), misval);   // lead into the gap
  EXPECT_EQ(at(1, 1), 5);
  EXPECT_EQ(at(2, 3), 10 - 5);
  EXPECT_EQ(at(3, 3), (10 - 5) - (5 - 2));
  EXPECT_EQ(at(3, 2), misval);
  EXPECT_EQ(at(4, 3), 10 - 2);
  EXPECT_EQ(at(4, 4), 26 - 10);  // t = 5 against t = 3
  EXPECT_EQ(at(5, 4), 10);
  EXPECT_EQ(at(5, 6), misval);
}

TEST_F(VlTest, AbbreviatedNames) {
  EXPECT_EQ(abvar("short", 8), "short");
  EXPECT_EQ(abvar("averylongname", 8), "averyl~e");
  EXPECT_EQ(abvar("population1990", 10), "popul~1990");
  EXPECT_EQ(abvar("abcdefghij", 2), "abc~j");
  EXPECT_LE(abvar("abcdefghijabcdefghijabcdefghijab", 40).size(), 32u);
}

TEST_F(VlTest, NameRules) {
  EXPECT_EQ(chkname("ok_1"), 0);
  EXPECT_EQ(chkname("_x"), 0);
  said.clear();
  EXPECT_EQ(chkname("a.b"), 198);
  EXPECT_EQ(said, "a.b invalid name\n");
  said.clear();
  EXPECT_EQ(chkname(""), 198);
  EXPECT_EQ(said, "nothing found where name expected\n");
  EXPECT_EQ(chkname("9a"), 198);
  EXPECT_EQ(chkname("abcdefghijabcdefghijabcdefghijabc"), 198);
}

}  // namespace
