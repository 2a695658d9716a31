// Tokenizer: separator sets, quoting, two-character operators, push-back and
// saved positions.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "interp/tokenizer.h"

static std::vector<std::string> all(const char* text, const char* seps = prsestd) {
  settok(text);
  std::vector<std::string> r;
  for (int i = 0; i < 100; ++i) {
    std::string t = gettok(seps);
    if (t.empty()) break;
    r.push_back(t);
  }
  return r;
}

TEST(Tokenizer, SplitsOnSeparators) {
  EXPECT_EQ(all(" a+b"), (std::vector<std::string>{"a", "+", "b"}));
  settok(" a+b");
  gettok(prsestd), gettok(prsestd), gettok(prsestd);
  EXPECT_STREQ(gettok(prsestd), "");
}

TEST(Tokenizer, TwoCharacterOperators) {
  EXPECT_EQ(all("x>=3"), (std::vector<std::string>{"x", ">=", "3"}));
  EXPECT_EQ(all("x=>3"), (std::vector<std::string>{"x", "=", ">", "3"}));
  EXPECT_EQ(all("a!=b~=c==d<=e"),
            (std::vector<std::string>{"a", "!=", "b", "~=", "c", "==", "d", "<=", "e"}));
}

TEST(Tokenizer, SimpleQuotesKeepOpeningQuoteOnly) {
  auto t = all("\"a b\" c");
  ASSERT_EQ(t.size(), 2u);
  EXPECT_EQ(t[0], "\"a b");
  EXPECT_EQ(t[1], "c");
  EXPECT_EQ(all("\"unterminated text")[0], "\"unterminated text");
}

TEST(Tokenizer, CompoundQuotesNest) {
  auto t = all("`\"a `\"b\"' c\"' d");
  ASSERT_EQ(t.size(), 2u);
  EXPECT_EQ(t[0], "\"a `\"b\"' c");
  EXPECT_EQ(t[1], "d");
}

TEST(Tokenizer, BackquoteAloneIsOneCharacter) {
  EXPECT_EQ(all("`x"), (std::vector<std::string>{"`", "x"}));
}

TEST(Tokenizer, QuotedContentsAreCutAt502) {
  std::string s = "\"" + std::string(600, 'q') + "\"";
  settok(s.c_str());
  std::string t = gettok(prsestd);
  EXPECT_EQ(t.size(), 503u);  // the quote byte and 502 bytes of contents
}

TEST(Tokenizer, LongWordIsCutAndContinues) {
  std::string s(700, 'w');
  settok(s.c_str());
  EXPECT_EQ(std::string(gettok(prsestd)).size(), 503u);
  EXPECT_EQ(std::string(gettok(prsestd)).size(), 197u);
}

TEST(Tokenizer, UngettokOnlyOnce) {
  settok("a b c");
  EXPECT_STREQ(gettok(prsestd), "a");
  EXPECT_STREQ(gettok(prsestd), "b");
  ungettok();
  ungettok();  // second one does nothing
  EXPECT_STREQ(gettok(prsestd), "b");
  EXPECT_STREQ(gettok(prsestd), "c");
}

TEST(Tokenizer, PushtokWinsAndCanBePushedAgain) {
  settok("x y");
  pushtok("if");
  EXPECT_STREQ(gettok(prsestd), "if");
  ungettok();
  EXPECT_STREQ(gettok(prsestd), "if");
  EXPECT_STREQ(gettok(prsestd), "x");
}

TEST(Tokenizer, StatAndResetRestorePosition) {
  settok("one two three");
  gettok(prsestd);
  TokPos p;
  stattok(&p);
  EXPECT_STREQ(gettok(prsestd), "two");
  resettok(&p);
  EXPECT_STREQ(gettok(prsestd), "two");
}

TEST(Tokenizer, BorrowKeepsTokenBuffer) {
  settok("alpha beta");
  gettok(prsestd);
  TokState s;
  borrow_gettok(&s);
  settok("other text");
  gettok(prsestd);
  return_gettok(&s);
  EXPECT_STREQ(tok.token, "alpha");
  EXPECT_STREQ(gettok(prsestd), "beta");
}

TEST(Tokenizer, FileNames) {
  std::string f;
  settok("\"my file.dta\" , replace");
  ASSERT_EQ(gettokfn(f), 0);
  EXPECT_EQ(f, "my file.dta");
  settok("../data/x-1.dta");
  ASSERT_EQ(gettokfn(f), 0);
  EXPECT_EQ(f, "../data/x-1.dta");
  settok(" , replace");
  EXPECT_EQ(gettokfn(f), 7197);
  settok("");
  EXPECT_EQ(gettokfn(f), 7197);
}

TEST(Tokenizer, OptionSeparatorsKeepSigns) {
  EXPECT_EQ(all("a-b", prseopt), (std::vector<std::string>{"a-b"}));
  EXPECT_EQ(all("a-b", prsestd), (std::vector<std::string>{"a", "-", "b"}));
}

TEST(Tokenizer, Gtokis) {
  settok("( x");
  EXPECT_EQ(gtokis('('), 0);
  EXPECT_EQ(gtokis('('), 198);
}

TEST(Tokenizer, Scanners) {
  int open;
  const char* s = "(a \"b)\" [c]) rest";
  const char* e = pbrackets(s, &open);
  EXPECT_EQ(open, 0);
  EXPECT_STREQ(e, " rest");
  s = "(a \"b";
  pbrackets(s, &open);
  EXPECT_EQ(open, 1);
  const char *st, *en, *af;
  EXPECT_EQ(parse_quoted_string("`\"x `\"y\"' z\"' w", &st, &en, &af), 0);
  EXPECT_EQ(std::string(st, en), "x `\"y\"' z");
  EXPECT_STREQ(af, " w");
  EXPECT_EQ(parse_quoted_string("noquote", &st, &en, &af), 1);
  EXPECT_EQ(st, nullptr);
}
