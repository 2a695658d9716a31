// String and regular-expression functions: bounds, words, case, trimming,
// conversions, substitution, abbreviation, wildcard matching, plural forms,
// and the match state regexm leaves for regexs.
#include <string>

#include "fn_testutil.h"

namespace {

const double dot = misval;

TEST(FnString, LengthAndPositions) {
  EXPECT_EQ(fnum("length", {"abc"}), 3);
  EXPECT_EQ(fnum("strlen", {""}), 0);
  EXPECT_EQ(fnum("strpos", {"banana", "na"}), 3);
  EXPECT_EQ(fnum("index", {"banana", "x"}), 0);
  EXPECT_EQ(fnum("indexnot", {"aabc", "ab"}), 4);
  EXPECT_EQ(fnum("indexnot", {"aab", "ab"}), 0);
}

TEST(FnString, Substr) {
  EXPECT_EQ(fstr("substr", {"abcdef", 2.0, 3.0}), "bcd");
  EXPECT_EQ(fstr("substr", {"abcdef", -2.0, dot}), "ef");
  EXPECT_EQ(fstr("substr", {"abcdef", 3.0, 100.0}), "cdef");
  EXPECT_EQ(fstr("substr", {"abc", 0.0, 1.0}), "");
  EXPECT_EQ(fstr("substr", {"abc", 4.0, 1.0}), "");
  EXPECT_EQ(fstr("substr", {"abc", -4.0, 1.0}), "");
  EXPECT_EQ(fstr("substr", {"abc", 1.0, 0.0}), "");
  EXPECT_EQ(fstr("substr", {"abc", dot, 1.0}), "");
}

TEST(FnString, Words) {
  EXPECT_EQ(fstr("word", {"  the quick  brown fox ", 2.0}), "quick");
  EXPECT_EQ(fstr("word", {"the quick brown", -1.0}), "brown");
  EXPECT_EQ(fstr("word", {"the quick brown", 0.0}), "");
  EXPECT_EQ(fstr("word", {"the quick brown", 4.0}), "");
  EXPECT_EQ(fstr("word", {"the quick brown", dot}), "");
  EXPECT_EQ(fnum("wordcount", {"  a b   c "}), 3);
  EXPECT_EQ(fnum("wordcount", {""}), 0);
}

TEST(FnString, CaseAndTrim) {
  EXPECT_EQ(fstr("upper", {"aBc1"}), "ABC1");
  EXPECT_EQ(fstr("strlower", {"aBc1"}), "abc1");
  EXPECT_EQ(fstr("proper", {"mR. joHN o'neil-smith"}), "Mr. John O'Neil-Smith");
  EXPECT_EQ(fstr("ltrim", {"  a b  "}), "a b  ");
  EXPECT_EQ(fstr("rtrim", {"  a b  "}), "  a b");
  EXPECT_EQ(fstr("trim", {"  a b  "}), "a b");
  EXPECT_EQ(fstr("itrim", {" a   b  c"}), " a b c");
  EXPECT_EQ(fstr("reverse", {"abc"}), "cba");
}

TEST(FnString, Conversions) {
  EXPECT_EQ(fnum("real", {" 3.5 "}), 3.5);
  EXPECT_EQ(fnum("real", {"-1e3"}), -1000);
  EXPECT_EQ(fnum("real", {"2d2"}), 200);
  EXPECT_EQ(fnum("real", {".5"}), 0.5);
  EXPECT_EQ(fnum("real", {".b"}), misval_k(2));
  EXPECT_EQ(fnum("real", {"."}), misval);
  EXPECT_TRUE(isdot(fnum("real", {"abc"})));
  EXPECT_TRUE(isdot(fnum("real", {"1.5x"})));
  EXPECT_TRUE(isdot(fnum("real", {"inf"})));
  EXPECT_TRUE(isdot(fnum("real", {""})));
  EXPECT_EQ(fstr("char", {65.0}), "A");
  EXPECT_EQ(fstr("char", {0.0}), "");
  EXPECT_EQ(fstr("char", {256.0}), "");
}

TEST(FnString, Subinstr) {
  EXPECT_EQ(fstr("subinstr", {"a a a", "a", "bb", 2.0}), "bb bb a");
  EXPECT_EQ(fstr("subinstr", {"a a a", "a", "bb", dot}), "bb bb bb");
  EXPECT_EQ(fstr("subinstr", {"aaa", "", "x", dot}), "aaa");
  EXPECT_EQ(fstr("subinword", {"cat catalog cat", "cat", "dog", dot}), "dog catalog dog");
  EXPECT_EQ(fstr("subinword", {"cat catalog cat", "cat", "dog", 1.0}), "dog catalog cat");
  std::string big(200, 'a');
  EXPECT_EQ(fstr("subinstr", {big.c_str(), "a", "xy", dot}).size(), 244u);
}

TEST(FnString, AbbrevMatchPlural) {
  EXPECT_EQ(fstr("abbrev", {"displacement", 8.0}), "displa~t");
  EXPECT_EQ(fstr("abbrev", {"short", 8.0}), "short");
  EXPECT_EQ(fstr("abbrev", {"displacement", 2.0}), "dis~t");
  EXPECT_EQ(fstr("abbrev", {"displacement", dot}), "displacement");
  EXPECT_EQ(fnum("match", {"abcde", "a*e"}), 1);
  EXPECT_EQ(fnum("strmatch", {"abcde", "a?c*"}), 1);
  EXPECT_EQ(fnum("match", {"abcde", "a?d*"}), 0);
  EXPECT_EQ(fnum("match", {"", "*"}), 1);
  EXPECT_EQ(fnum("match", {"abc", "abc*d"}), 0);
  EXPECT_EQ(fstr("plural", {1.0, "car"}), "car");
  EXPECT_EQ(fstr("plural", {2.0, "car"}), "cars");
  EXPECT_EQ(fstr("plural", {-1.0, "car"}), "car");
  EXPECT_EQ(fstr("plural", {0.0, "box", "+es"}), "boxes");
  EXPECT_EQ(fstr("plural", {3.0, "cars", "-s"}), "car");
  EXPECT_EQ(fstr("plural", {3.0, "mouse", "mice"}), "mice");
}

TEST(FnRegex, MatchReplaceSubexpressions) {
  fns = FuncState{};
  EXPECT_EQ(fnum("regexm", {"abc123def", "([a-z]+)([0-9]+)"}), 1);
  EXPECT_EQ(fstr("regexs", {0.0}), "abc123");
  EXPECT_EQ(fstr("regexs", {1.0}), "abc");
  EXPECT_EQ(fstr("regexs", {2.0}), "123");
  EXPECT_EQ(fstr("regexs", {3.0}), "");
  EXPECT_EQ(fstr("regexs", {dot}), "");
  EXPECT_EQ(fnum("regexm", {"xyz", "[0-9]"}), 0);
  EXPECT_EQ(fstr("regexs", {0.0}), "");
  EXPECT_EQ(fnum("regexm", {"x", "(unclosed"}), 0);  // a bad pattern matches nothing
  EXPECT_EQ(fstr("regexr", {"a1b22c", "[0-9]+", "#"}), "a#b22c");
  EXPECT_EQ(fstr("regexr", {"abc", "z", "#"}), "abc");
  EXPECT_EQ(fnum("regexm", {"Hello", "^H.*o$"}), 1);
  // more distinct patterns than the cache holds still give right answers
  for (int i = 0; i < 20; ++i) {
    std::string p = "^a{" + std::to_string(i) + "}$";
    std::string s(static_cast<size_t>(i), 'a');
    EXPECT_EQ(fnum("regexm", {s.c_str(), p.c_str()}), 1) << p;
  }
}

}  // namespace
