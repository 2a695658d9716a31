// Renderer tests: tags, wrapping, paragraphs, levels and destinations, seen
// through the capture string of the results stream.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "interp/interp.h"
#include "output/output.h"
#include "output/zmcl.h"
#include "session_testutil.h"

namespace {

class Zmcl : public ::testing::Test {
 protected:
  std::string cap;
  void SetUp() override {
    out = OutputState{};
    out_set_capture(&cap);
    out_reinit();
    out_set_linesize(80);
  }
  void TearDown() override {
    out_set_capture(nullptr);
    out = OutputState{};
    out_reinit();
  }
  // Renders ZMCL text at the result level and returns what was shown.
  std::string sml(const char* text) {
    cap.clear();
    spoutsml(text);
    out_flush_all();
    return cap;
  }
};

std::string rep(char c, int n) { return std::string(static_cast<size_t>(n), c); }

TEST_F(Zmcl, PlainTextShowsBracesLiterally) {
  cap.clear();
  spout21("a{b}c {hline}\n");
  EXPECT_EQ(cap, "a{b}c {hline}\n");
}

TEST_F(Zmcl, ColourTagsAreInvisible) {
  EXPECT_EQ(sml("{res}1{txt}2{err}3{com}4{hi}5{reset}6{result}{text}{error}{input}\n"),
            "123456\n");
  EXPECT_EQ(sml("{bf:a}{it:b}{ul:c}{ul on}d{ul off}{sf}{rm}\n"), "abcd\n");
}

TEST_F(Zmcl, HlineForms) {
  EXPECT_EQ(sml("{hline 5}\n"), "-----\n");
  EXPECT_EQ(sml("{hline 300}\n"), "{hline 300}\n");
  EXPECT_EQ(sml("{col 11}{hline -5}|\n"), rep(' ', 10) + rep('-', 65) + "|\n");
  EXPECT_EQ(sml("ab{hline}\n"), "ab" + rep('-', 78) + "\n");
  EXPECT_EQ(sml("{hline x}\n"), "{hline x}\n");
}

TEST_F(Zmcl, ColMovesRightOnly) {
  EXPECT_EQ(sml("{col 5}x\n"), "    x\n");
  EXPECT_EQ(sml("0123456789{col 5}x\n"), "0123456789x\n");
  EXPECT_EQ(sml("{col 0}{col 256}\n"), "{col 0}{col 256}\n");
}

TEST_F(Zmcl, CenterRightAlign) {
  EXPECT_EQ(sml("{center:abc}\n"), rep(' ', 38) + "abc\n");
  EXPECT_EQ(sml("{rcenter:abc}\n"), rep(' ', 39) + "abc\n");
  EXPECT_EQ(sml("{right:abc}\n"), rep(' ', 77) + "abc\n");
  EXPECT_EQ(sml("{lalign 5:ab}|{ralign 5:cd}|\n"), "ab   |   cd|\n");
  EXPECT_EQ(sml("{ralign 2:abcd}|\n"), "abcd|\n");
  // Not fitting after text: a new line first.
  EXPECT_EQ(sml((rep('x', 78) + "{right:abcd}\n").c_str()),
            rep('x', 78) + "\n" + rep(' ', 76) + "abcd\n");
}

TEST_F(Zmcl, DupAndSpace) {
  EXPECT_EQ(sml("{dup 3:ab}\n"), "ababab\n");
  EXPECT_EQ(sml("{dup 1000:x}\n"), "{dup 1000:x}\n");
  EXPECT_EQ(sml("a{space 3}b\n"), "a   b\n");
  EXPECT_EQ(sml("a{tab}b\n"), "a       b\n");
}

TEST_F(Zmcl, OptionalAndUnknownTags) {
  EXPECT_EQ(sml("{?foo:bar}\n"), "bar\n");
  EXPECT_EQ(sml("{foo:bar}\n"), "{foo:bar}\n");
  EXPECT_EQ(sml("{?res:x}\n"), "x\n");
  EXPECT_EQ(sml("a{?foo}b{?foo 1 2}c\n"), "abc\n");
  EXPECT_EQ(sml("{thisnameistoolong}\n"), "{thisnameistoolong}\n");
  EXPECT_EQ(sml("a { b\n"), "a { b\n");
}

TEST_F(Zmcl, SpecialCharacters) {
  EXPECT_EQ(sml("{c -(}{c )-}{c |}{c -}{c +}{c TT}{c BLC}{c $|}{c 'g}\n"), "{}|-+++$`\n");
  EXPECT_EQ(sml("{c 65}{char 0x42}{c 300}\n"), "AB{c 300}\n");
  EXPECT_EQ(sml("{c ss}{c C,}{c r?}{c C=}\n"), "\xDF\xC7\xBF\x80\n");
  EXPECT_EQ(sml("{c nope}\n"), "{c nope}\n");
}

TEST_F(Zmcl, MacCharacterSet) {
  out_stream()->charset = 1;
  EXPECT_EQ(sml("{c C,}{c ss}{c r?}{c r!}{c L-}{c Y=}{c C=}{c Y'}\n"),
            "\x82\xA7\xC0\xC1\xA3\xB4" "EY\n");
}

TEST_F(Zmcl, LineModeBreaksAtWidth) {
  EXPECT_EQ(sml((rep('a', 85) + "\n").c_str()), rep('a', 80) + "\n" + rep('a', 5) + "\n");
  EXPECT_EQ(sml((rep('a', 80) + "\n").c_str()), rep('a', 80) + "\n");
}

TEST_F(Zmcl, ParagraphIndentsAndWidth) {
  out_set_linesize(60);
  std::string words;
  for (int i = 0; i < 40; ++i) words += "word ";
  std::string r = sml(("{p 4 8 2}" + words + "{p_end}\n").c_str());
  size_t start = 0;
  int n = 0;
  while (start < r.size()) {
    size_t e = r.find('\n', start);
    std::string ln = r.substr(start, e - start);
    EXPECT_LE(ln.size(), 58u) << ln;
    size_t ind = ln.find_first_not_of(' ');
    EXPECT_EQ(ind, n == 0 ? 4u : 8u) << ln;
    // The next word would not have fit.
    if (e + 1 < r.size()) {
      EXPECT_GT(ln.size() + 5, 58u) << ln;
    }
    start = e + 1;
    ++n;
  }
  EXPECT_GT(n, 3);
}

TEST_F(Zmcl, ParagraphBlanks) {
  EXPECT_EQ(sml("{p}a    b.  c. d.\ne: f?  g{p_end}\n"), "a b.  c. d. e: f?  g\n");
  EXPECT_EQ(sml("{pstd}\nsome\ntext\n{p_end}\n"), "    some text\n");
  EXPECT_EQ(sml("{phang}x{p_end}{pmore}y{p_end}{pin2}z{p_end}"),
            "    x\n        y\n            z\n");
}

TEST_F(Zmcl, EmptyLineEndsParagraph) {
  EXPECT_EQ(sml("{p 2 2}\nab\ncd\n\nnext\n"), "  ab cd\n\nnext\n");
}

TEST_F(Zmcl, ParagraphContinuesOpenLine) {
  EXPECT_EQ(sml("host or {p 0 4}file x.dta\nnot found{p_end}\n"), "host or file x.dta not found\n");
}

TEST_F(Zmcl, SpaceAndBindDoNotBreak) {
  out_set_linesize(40);
  std::string r = sml("{p}aaaaaaaaaa bbbbbbbbbb cccccccccc{space 3}dddddddddd{p_end}\n");
  EXPECT_EQ(r, "aaaaaaaaaa bbbbbbbbbb\ncccccccccc   dddddddddd\n");
  r = sml("{p}aaaaaaaaaa bbbbbbbbbb cccccc {bind:dd dd dd dd dd} e{p_end}\n");
  EXPECT_EQ(r, "aaaaaaaaaa bbbbbbbbbb cccccc\ndd dd dd dd dd e\n");
}

TEST_F(Zmcl, BreakAndContinuation) {
  EXPECT_EQ(sml("{p 0 3}one{break}two{p_end}\n"), "one\n   two\n");
  EXPECT_EQ(sml("a{...}\nb\n"), "ab\n");
  EXPECT_EQ(sml("{bf:{break}}\n"), "{break}\n");
  EXPECT_EQ(sml("{bf:{p}x}\n"), "{p}x\n");
}

TEST_F(Zmcl, RuleAndParagraphEndDropTheNextLineEnd) {
  EXPECT_EQ(sml("ab{.-}\ncd\n"), "ab\n" + rep('-', 80) + "\ncd\n");
  EXPECT_EQ(sml("{p}x{p_end}\n\n"), "x\n\n");
}

TEST_F(Zmcl, LinksShowTheirText) {
  EXPECT_EQ(sml("{search r(198):r(198);}\n"), "r(198);\n");
  EXPECT_EQ(sml("{help regress}, {helpb summarize}, {browse \"http://x.org\"}\n"),
            "regress, summarize, http://x.org\n");
  EXPECT_EQ(sml("{help a:x{help b}y}\n"), "x{help b}y\n");
  EXPECT_EQ(sml("{back}{back:go back}{help}\n"), "{back}go back{help}\n");
  EXPECT_EQ(sml("{manhelp regress R}\n"), "[R] regress\n");
  EXPECT_EQ(sml("{opt replace} {opt f:ormat} {cmdab:su:mmarize}\n"), "replace format summarize\n");
}

TEST_F(Zmcl, SyntaxPlaceholders) {
  EXPECT_EQ(sml("{varlist} {var} {vars} {depvar}\n"), "varlist varname varlist depvar\n");
  EXPECT_EQ(sml("{ifin} {weight} {dtype}\n"), "[if] [in] [weight] [type]\n");
}

TEST_F(Zmcl, TitleIsUnderlinedWithDashes) {
  EXPECT_EQ(sml("  {title:Remarks}\nx\n"), "  Remarks\n  -------\nx\n");
}

TEST_F(Zmcl, CclShowsCValue) {
  out_set_cclfn([](const char* name, std::string& v) {
    if (std::string(name) != "linesize") return false;
    v = "80";
    return true;
  });
  EXPECT_EQ(sml("width {ccl linesize}{ccl nosuch}.\n"), "width 80.\n");
  out_set_cclfn(nullptr);
}

TEST_F(Zmcl, AsIsModeUntilZmclLine) {
  EXPECT_EQ(sml("{asis}{res}x\n{zmcl}\n{res}y\n"), "{res}x\ny\n");
  cap.clear();
  spoutsml("{asis}a{zm");
  spoutsml("cl}");
  spoutsml("\nb{hline 2}\n");
  out_flush_all();
  EXPECT_EQ(cap, "ab--\n");
  cap.clear();
  spoutsml("{asis}{zmc");
  spoutsml("x}\n{zmcl}\n");
  out_flush_all();
  EXPECT_EQ(cap, "{zmcx}\n");
}

TEST_F(Zmcl, IncompleteTagIsHeld) {
  cap.clear();
  spoutsml("ab{hli");
  EXPECT_EQ(cap, "");
  spoutsml("ne 3}\n");
  EXPECT_EQ(cap, "ab---\n");
  cap.clear();
  spoutsml("x{col");
  out_flush_all();
  EXPECT_EQ(cap, "x{col");
}

TEST_F(Zmcl, LevelsAndThresholds) {
  out.s_outlev = 3;  // quietly
  cap.clear();
  setoutlev(OUT_NOTE);
  spout21("note\n");
  setoutlev(OUT_ERROR);
  spout21("err\n");
  setoutlev(OUT_COMMAND);
  spout21("cmd\n");
  EXPECT_EQ(cap, "err\ncmd\n");
  out.s_outlev = 5;  // capture
  cap.clear();
  spout21("err\n");
  EXPECT_EQ(cap, "");
  out.s_outlev = 2;  // set output inform
  setoutlev(OUT_RESULT);
  spout21("res\n");
  setoutlev(OUT_TEXT);
  spout21("txt\n");
  EXPECT_EQ(cap, "txt\n");
}

TEST_F(Zmcl, ColourTagSentOnlyOnChange) {
  std::FILE* f = std::tmpfile();
  ASSERT_NE(f, nullptr);
  int h = out_attach_log(f, true);
  setoutlev(OUT_RESULT);
  spout21("a");
  spout21("b");
  setoutlev(OUT_ERROR);
  spout21("{c}\n");
  spoutsml("{hline 2}\n");
  out_detach_log(h);
  EXPECT_EQ(readfile(f), "{zmcl}\n{txt}{sf}{ul off}{res}ab{err}{c -(}c{c )-}\n{hline 2}\n");
  std::fclose(f);
}

TEST_F(Zmcl, TextLogGetsRenderedLines) {
  std::FILE* f = std::tmpfile();
  ASSERT_NE(f, nullptr);
  int h = out_attach_log(f, false);
  spoutsml("{res}x{col 4}{c |}{hline 3}{c +}   \n");
  out_log_enable(h, false);
  spoutsml("paused\n");
  out_log_enable(h, true);
  spoutsml("{p}on{p_end}\n");
  out_detach_log(h);
  spoutsml("after\n");
  EXPECT_EQ(readfile(f), "x  |---+\non\n");
  std::fclose(f);
}

TEST_F(Zmcl, StopFlagSilencesUntilReset) {
  interp.zelta_busy = true;
  out_stream()->stop = 1;
  cap.clear();
  EXPECT_NE(spout21("x\n"), 0);
  EXPECT_EQ(cap, "");
  out_reset_stop();
  EXPECT_EQ(spout21("y\n"), 0);
  EXPECT_EQ(cap, "y\n");
  // Once the command is over the stream shows output again by itself.
  out_stream()->stop = 1;
  EXPECT_NE(spout21("z\n"), 0);
  interp.zelta_busy = false;
  EXPECT_EQ(spout21("r(1);\n"), 0);
  EXPECT_EQ(cap, "y\nr(1);\n");
}

TEST_F(Zmcl, ParagraphSpansCommands) {
  cap.clear();
  spoutsml("{p 2 2}\n");
  out_reset_stop();
  spoutsml("abc\n");
  out_reset_stop();
  spoutsml("def\n");
  EXPECT_EQ(cap, "");
  spoutsml("{p_end}\n");
  spoutsml("next\n");
  EXPECT_EQ(cap, "  abc def\nnext\n");
}

TEST_F(Zmcl, DupchInPieces) {
  cap.clear();
  dupch('x', 1000);
  newline();
  std::string want;
  for (int i = 0; i < 12; ++i) want += rep('x', 80) + "\n";
  EXPECT_EQ(cap, want + rep('x', 40) + "\n");
}

TEST_F(Zmcl, WidthFollowsOutLinesize) {
  out.linesize = 50;
  EXPECT_EQ(sml("{hline}\n"), rep('-', 50) + "\n");
  out = OutputState{};
  EXPECT_EQ(sml("{hline}\n"), rep('-', 80) + "\n");
}

TEST_F(Zmcl, LinesizeIsClamped) {
  out_set_linesize(10);
  EXPECT_EQ(out.linesize, 40);
  out_set_linesize(1000);
  EXPECT_EQ(out.linesize, 255);
}

TEST_F(Zmcl, TwoColumnRows) {
  EXPECT_EQ(sml("{p2colset 2 12 14 2}{p2col:name}the description{p_end}\n"),
            "  name      the description\n");
  EXPECT_EQ(sml("{p2line 2 2}\n"), "  " + rep('-', 76) + "\n");
}

}  // namespace
