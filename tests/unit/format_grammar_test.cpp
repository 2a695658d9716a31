// Format grammar: which texts are formats for which kinds, the facts chkfmt
// records, reading a format from the command line, and the derived string
// formats, widths, widening and string padding.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "interp/tokenizer.h"
#include "output/format.h"

namespace {

bool valid(const char* f, int kind = FMTK_ANY) { return chkfmt(f, kind) == 0; }

TEST(FormatGrammar, AcceptsEveryKind) {
  for (const char* f : {"%9.0g", "%10.2fc", "%-12s", "%12s", "%td", "%d", "%dDmY", "%21x",
                        "%16H", "%16L", "%8H", "%8L", "%9,2f", "%09.2f", "%-9.0gc", "%244s",
                        "%244.0g", "%9.2e", "%-10.3e", "%tg", "%-tw", "%tm", "%tq", "%th",
                        "%ty", "%tdD_m_Y", "%1.0f", "%244.243f", "%dD!-M"})
    EXPECT_TRUE(valid(f)) << f;
}

TEST(FormatGrammar, RejectsMalformedTexts) {
  for (const char* f : {"%0.0f", "%245.0g", "%9.9f", "%5.2gc,", "%~9.2f", "%20x", "%12H",
                        "%9.2ec", "%9.2", "9.2f", "%123456789.2f", "%dZ", "%t", "%tz", "%tgX",
                        "%9.2fcc", "%9.2x", "%s", "%-~9s", "%9.f", "%", "", "%-", "%9", "%9s ",
                        "%d!", "%tdDD/NN/CCYY", "%~21x", "%0s"})
    EXPECT_FALSE(valid(f, FMTK_ANY + FMTK_CENTRE)) << f;
}

TEST(FormatGrammar, KindsRestrictWhatIsAccepted) {
  EXPECT_FALSE(valid("%9s", FMTK_NUM));
  EXPECT_TRUE(valid("%9s", FMTK_STR));
  EXPECT_FALSE(valid("%9.2f", FMTK_STR));
  EXPECT_FALSE(valid("%td", FMTK_STR));
  EXPECT_FALSE(valid("%21x", FMTK_STR));
  EXPECT_TRUE(valid("%td", FMTK_NUM));
  EXPECT_FALSE(valid("%~9s", FMTK_STR));
  EXPECT_TRUE(valid("%~9s", FMTK_STR + FMTK_CENTRE));
  EXPECT_FALSE(valid("%~9s", FMTK_ANY));
  EXPECT_TRUE(valid("%~9s", FMTK_ANY + FMTK_CENTRE));
}

TEST(FormatGrammar, RecordsTheFacts) {
  FmtInfo f;
  ASSERT_EQ(chkfmt("%-10.2fc", FMTK_ANY, &f), 0);
  EXPECT_EQ(f.just, -1);
  EXPECT_EQ(f.width, 10);
  EXPECT_EQ(f.decimals, 2);
  EXPECT_EQ(f.letter, 'f');
  EXPECT_EQ(f.notation, 'f');
  EXPECT_EQ(f.comma, 'c');
  EXPECT_FALSE(f.deccomma);
  EXPECT_FALSE(f.leadzero);

  ASSERT_EQ(chkfmt("%9,3e", FMTK_ANY, &f), 0);
  EXPECT_EQ(f.letter, 'e');
  EXPECT_EQ(f.notation, 'g');
  EXPECT_TRUE(f.deccomma);

  ASSERT_EQ(chkfmt("%012.1f", FMTK_ANY, &f), 0);
  EXPECT_TRUE(f.leadzero);
  EXPECT_EQ(f.width, 12);
  ASSERT_EQ(chkfmt("%012.1fc", FMTK_ANY, &f), 0);
  EXPECT_FALSE(f.leadzero);

  ASSERT_EQ(chkfmt("%~20s", FMTK_ANY + FMTK_CENTRE, &f), 0);
  EXPECT_EQ(f.just, 0);
  EXPECT_EQ(f.letter, 's');
}

TEST(FormatGrammar, DateWidths) {
  FmtInfo f;
  ASSERT_EQ(chkfmt("%d", FMTK_NUM, &f), 0);
  EXPECT_EQ(f.letter, 'd');
  EXPECT_EQ(f.width, 9);
  EXPECT_STREQ(f.codes, "DlCY");
  ASSERT_EQ(chkfmt("%dDmY", FMTK_NUM, &f), 0);
  EXPECT_EQ(f.width, 8);  // 7 counted, at least 8
  ASSERT_EQ(chkfmt("%dM_d,_CY", FMTK_NUM, &f), 0);
  EXPECT_EQ(f.width, 9 + 1 + 2 + 1 + 1 + 2 + 2);
  ASSERT_EQ(chkfmt("%tw", FMTK_NUM, &f), 0);
  EXPECT_STREQ(f.codes, "CY!ww");
  EXPECT_EQ(f.tsunit, 'w');
  EXPECT_EQ(f.width, 8);
  ASSERT_EQ(chkfmt("%-tg", FMTK_NUM, &f), 0);
  EXPECT_EQ(f.letter, 'g');
  EXPECT_EQ(f.width, 9);
  EXPECT_EQ(f.just, -1);
}

TEST(FormatGrammar, UnloadfCapsTheRenderedWidth) {
  FmtInfo f;
  ASSERT_EQ(unloadf("%30.2f", &f), 0);
  EXPECT_EQ(f.width, 26);
  EXPECT_EQ(f.extrawidth, 4);
  ASSERT_EQ(unloadf("%30s", &f), 0);
  EXPECT_EQ(f.width, 30);
  EXPECT_EQ(f.extrawidth, 0);
  ASSERT_EQ(unloadf("%9,2f", &f), 0);
  EXPECT_TRUE(f.swap);
  fmts.dpcomma = true;
  ASSERT_EQ(unloadf("%9.2f", &f), 0);
  EXPECT_TRUE(f.swap);
  fmts.dpcomma = false;
  ASSERT_EQ(unloadf("%9.2f", &f), 0);
  EXPECT_FALSE(f.swap);
}

TEST(FormatGrammar, GetfmtReadsOneToken) {
  char dst[FMTLEN] = "";
  std::string line = "%9.2f rest";
  settok(line.c_str());
  EXPECT_EQ(getfmt(dst, FMTK_ANY), 1);
  EXPECT_STREQ(dst, "%9.2f");
  EXPECT_STREQ(gettok(prsestd), "rest");

  line = "9.2g";  // the % is put in front
  settok(line.c_str());
  EXPECT_EQ(getfmt(dst, FMTK_ANY), 1);
  EXPECT_STREQ(dst, "%9.2g");

  line = "  %-12s x";
  settok(line.c_str());
  EXPECT_EQ(getfmt(dst, FMTK_ANY), 2);
  EXPECT_STREQ(dst, "%-12s");

  line = "%~12s";
  settok(line.c_str());
  EXPECT_EQ(getfmt(dst, FMTK_ANY), -1);
  settok(line.c_str());
  EXPECT_EQ(getfmt(dst, FMTK_ANY + FMTK_CENTRE), 2);

  line = "%9.2fx";
  settok(line.c_str());
  EXPECT_EQ(getfmt(dst, FMTK_ANY), -1);
  line = "";
  settok(line.c_str());
  EXPECT_EQ(getfmt(dst, FMTK_ANY), -1);
}

TEST(FormatGrammar, DerivedStringFormats) {
  char dst[FMTLEN];
  strfmt("%-10.2f", dst);
  EXPECT_STREQ(dst, "%-10s");
  strfmt("%td", dst);
  EXPECT_STREQ(dst, "%9s");
  strfmt("%~7s", dst);
  EXPECT_STREQ(dst, "%~7s");
  strfmt("%bad", dst);
  EXPECT_STREQ(dst, "%9s");
  strfmt("%30.0g", dst);
  EXPECT_STREQ(dst, "%30s");
  EXPECT_EQ(strfmtwid("%12.0g"), 12);
  EXPECT_EQ(strfmtwid("%dDmY"), 8);
  EXPECT_EQ(strfmtwid("nonsense"), 9);
  EXPECT_STREQ(blanksoffmt("%5.2f"), "     ");
  EXPECT_STREQ(blanksoffmt("%x"), "         ");
}

TEST(FormatGrammar, FixfmtWidensNumericFormats) {
  char f[FMTLEN] = "%-09.2fc";
  EXPECT_EQ(fixfmt(f, 12), 1);  // the - and 0 marks are dropped
  EXPECT_STREQ(f, "%12.2fc");
  std::strcpy(f, "%9.2q");
  EXPECT_EQ(fixfmt(f, 12), 0);  // not a valid format: untouched
  EXPECT_STREQ(f, "%9.2q");
  std::strcpy(f, "%-9.2fc");
  EXPECT_EQ(fixfmt(f, 12), 1);
  EXPECT_STREQ(f, "%12.2fc");
  std::strcpy(f, "%09,3g");
  EXPECT_EQ(fixfmt(f, 15), 1);
  EXPECT_STREQ(f, "%15,3g");
  std::strcpy(f, "%9.2e");
  EXPECT_EQ(fixfmt(f, 500), 1);
  EXPECT_STREQ(f, "%244.2e");
  std::strcpy(f, "%9.2f");
  EXPECT_EQ(fixfmt(f, 9), 0);
  EXPECT_STREQ(f, "%9.2f");
  std::strcpy(f, "%9s");
  EXPECT_EQ(fixfmt(f, 20), 0);
  std::strcpy(f, "%td");
  EXPECT_EQ(fixfmt(f, 20), 0);
  EXPECT_STREQ(f, "%td");
}

TEST(FormatGrammar, StringPadding) {
  std::string s;
  dispstr("abc", "%~12s", s);
  EXPECT_EQ(s, "    abc     ");
  s.clear();
  dispstr("abc", "%6s", s);
  EXPECT_EQ(s, "   abc");
  s.clear();
  dispstr("abc", "%-6s", s);
  EXPECT_EQ(s, "abc   ");
  s.clear();
  dispstr("abcdefghijklmnopqrst", "%12s", s);
  EXPECT_EQ(s, "abcdefghijklmnopqrst");
  s.clear();
  dispstr("ab", "%~5s", s);
  EXPECT_EQ(s, " ab  ");
  s.clear();
  dispstr("abc", "%9.2f", s);  // not a string format: as is
  EXPECT_EQ(s, "abc");
  s = "x";
  dispstr("", "%3s", s);
  EXPECT_EQ(s, "x   ");
}

}  // namespace
