// Option collection and queries: abbreviations, automatic no- forms,
// arguments, duplicates and chkopt's messages.
#include <gtest/gtest.h>

#include <string>

#include "interp/cmdtab.h"
#include "interp/tokenizer.h"
#include "output/output.h"

// The options of the line being tested, as a command would own them.
static ParseResult opts;

static void options(const char* text) {
  opts = ParseResult{};
  settok(text);
  ASSERT_EQ(proption(opts), 0);
}

static std::string captured_chkopt(int* rc) {
  std::string sink;
  out_set_capture(&sink);
  *rc = chkopt(opts);
  out_set_capture(nullptr);
  return sink;
}

TEST(Options, CommandAbbreviation) {
  EXPECT_TRUE(cmdcmp("di", "display", 2));
  EXPECT_TRUE(cmdcmp("disp", "display", 2));
  EXPECT_FALSE(cmdcmp("displayx", "display", 2));
  EXPECT_FALSE(cmdcmp("d", "display", 2));
  EXPECT_FALSE(cmdcmp("Di", "display", 2));
  EXPECT_TRUE(cmdcmp_lc("Di", "display", 2));
}

TEST(Options, FindoptAndNoForm) {
  options("nodetail");
  EXPECT_EQ(findopt(opts, "detail", 3, 1), 0);
  options("notab");
  EXPECT_EQ(findopt(opts, "table", 5, 1), 1);  // `notab` is too short for a minimum of 5
  int rc;
  captured_chkopt(&rc);
  EXPECT_EQ(rc, 198);
}

TEST(Options, NestedParenthesesAreOneOption) {
  options("opt(a (b) c) other");
  std::string a;
  EXPECT_TRUE(findargasis(opts, "opt", 3, a, 100));
  EXPECT_EQ(a, "a (b) c");
  EXPECT_EQ(findopt(opts, "other", 5, 0), 1);
  int rc;
  captured_chkopt(&rc);
  EXPECT_EQ(rc, 0);
}

TEST(Options, DuplicateLeftForChkopt) {
  options("detail detail");
  EXPECT_EQ(findopt(opts, "detail", 1, 0), 1);
  int rc;
  std::string msg = captured_chkopt(&rc);
  EXPECT_EQ(rc, 198);
  EXPECT_NE(msg.find("option detail not allowed"), std::string::npos);
}

TEST(Options, WrongFormIsIncorrectlySpecified) {
  options("level(abc)");
  EXPECT_EQ(findopta(opts, "level", 1, 95), 95);
  int rc;
  std::string msg = captured_chkopt(&rc);
  EXPECT_EQ(rc, 198);
  EXPECT_NE(msg.find("option level() incorrectly specified"), std::string::npos);
}

TEST(Options, NumbersAndWords) {
  options("sep(5) vals(1 2 3) title(\"a b\" c)");
  EXPECT_EQ(findopta(opts, "separator", 3, 0), 5);
  double v[5];
  EXPECT_EQ(findoptv(opts, "vals", 4, v, 5, 0), 3);
  EXPECT_EQ(v[2], 3);
  std::string w;
  EXPECT_TRUE(findargn(opts, "title", 5, w, 100, 5));
  EXPECT_EQ(w, "a b c");
}

TEST(Options, SavingWithReplace) {
  options("saving(out.dta, replace)");
  std::string f;
  EXPECT_EQ(findusg(opts, 3, f, true), 2);
  EXPECT_EQ(f, "out.dta");
}

TEST(Options, TooManyOptions) {
  opts = ParseResult{};
  std::string many;
  for (int i = 0; i < 71; ++i) many += "o" + std::to_string(i) + " ";
  settok(many.c_str());
  std::string sink;
  out_set_capture(&sink);
  EXPECT_EQ(proption(opts), 1003);
  out_set_capture(nullptr);
}

TEST(Options, FindbuiltinAndHash) {
  EXPECT_STREQ(findbuiltin("di"), "display");
  EXPECT_STREQ(findbuiltin("g"), "generate");
  EXPECT_EQ(findbuiltin("d"), nullptr);
  EXPECT_EQ(findbuiltin("keep"), nullptr);  // not in the second table
  EXPECT_EQ(cmdhash(""), 0u);
  EXPECT_EQ(cmdhash("a"), 97u);
  EXPECT_EQ(cmdhash("ab"), 97u * 31u + 98u);
}
