// The display directives run into a macro value (the `display` extended macro
// function): text accumulates instead of printing, screen-only words become
// expressions, and the length limit is respected.
#include <gtest/gtest.h>

#include <string>

#include "interp/cmdtab.h"
#include "interp/interp.h"
#include "interp/tokenizer.h"
#include "output/format.h"
#include "output/output.h"

namespace {

// Runs the directives of text into a macro value; returns the code.
int tomac(const char* text, std::string& dst, size_t maxlen = 1000) {
  static std::string line;
  line = text;
  settok(line.c_str());
  dst.clear();
  std::string sink;  // messages of failing cases stay out of the test output
  out_set_capture(&sink);
  const int rc = display_tomacro(dst, maxlen);
  out_set_capture(nullptr);
  return rc;
}

TEST(FormatDisplay, FormatsAndLiterals) {
  std::string s;
  ASSERT_EQ(tomac("%9.2f 1/3", s), 0);
  EXPECT_EQ(s, "     0.33");
  ASSERT_EQ(tomac("1/3", s), 0);
  EXPECT_EQ(s, ".33333333");
  ASSERT_EQ(tomac("%~7s \"ab\" \"|\"", s), 0);
  EXPECT_EQ(s, "  ab   |");
  ASSERT_EQ(tomac("\"a\" , \"b\" ,, \"c\"", s), 0);
  EXPECT_EQ(s, "a bc");
}

TEST(FormatDisplay, CountsColumnsAndRepeats) {
  std::string s;
  ASSERT_EQ(tomac("_dup(3) \"ab\" _skip(2) \"c\"", s), 0);
  EXPECT_EQ(s, "ababab  c");
  ASSERT_EQ(tomac("\"abc\" _col(6) \"x\"", s), 0);
  EXPECT_EQ(s, "abc  x");
  ASSERT_EQ(tomac("_dup(2) _char(90)", s), 0);
  EXPECT_EQ(s, "ZZ");
  ASSERT_EQ(tomac("\"{hline 3}\"", s), 0);
  EXPECT_EQ(s, "{hline 3}");  // no markup inside a macro value
}

TEST(FormatDisplay, ScreenOnlyWordsAreExpressions) {
  std::string s;
  // _newline, _quote and styles are not directives here: they are read as
  // expressions, which the compiler refuses
  EXPECT_NE(tomac("\"a\" _quote", s), 0);
  EXPECT_NE(tomac("as error \"a\"", s), 0);
}

TEST(FormatDisplay, LengthLimitAndErrors) {
  std::string s;
  ASSERT_EQ(tomac("_dup(50) \"abcd\"", s, 10), 0);
  EXPECT_EQ(s, "abcdabcdab");
  EXPECT_EQ(tomac("_col(401)", s), 198);
  EXPECT_EQ(tomac("_dup(-1) \"x\"", s), 198);
  EXPECT_EQ(tomac("%9.9f 1", s), 120);
}

}  // namespace

namespace {

// Runs one command line with the output captured; returns its code.
int runline(const char* line, std::string& shown) {
  cmdinit_table();
  shown.clear();
  out_set_capture(&shown);
  const int rc = execline(line);
  out_set_capture(nullptr);
  return rc;
}

TEST(FormatDisplay, CommandRefusedUnderBy) {
  std::string shown;
  ASSERT_EQ(runline("display 1/4", shown), 0);
  EXPECT_EQ(shown, ".25\n");
  cmd_bylevel = 1;
  const int rc = runline("display 1", shown);
  cmd_bylevel = 0;
  EXPECT_EQ(rc, 190);
  EXPECT_EQ(shown, "request may not be combined with by\n");
}

}  // namespace
