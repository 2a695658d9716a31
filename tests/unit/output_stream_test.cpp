// Stream-level tests: terminal rendering, the more callback, Break polling,
// ZMCL logs paused and resumed, and the smaller channel routines.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "interp/interp.h"
#include "output/output.h"
#include "output/zmcl.h"
#include "platform/platform.h"
#include "session_testutil.h"

namespace {

// A stream of its own with one string sink.
struct OwnStream {
  SmlStream* s;
  std::string text;
  explicit OwnStream(bool tty, int width = 80) {
    s = smlopen(SML_RESULTS, width);
    SmlSink k;
    k.str = &text;
    k.tty = tty;
    s->sinks.push_back(k);
  }
  ~OwnStream() { smlclose(s); }
  std::string send(const std::string& t) {
    text.clear();
    smlsend(s, t.data(), t.size());
    smlflush(s);
    return text;
  }
};

TEST(SmlStream, TerminalGetsEscapesAndBoxCharacters) {
  OwnStream o(true);
  EXPECT_EQ(o.send("{res}1{txt}2\n"), "\x1b[0;1m1\x1b[0m2\x1b[0m\n");
  EXPECT_EQ(o.send("{err}e{c -}\n"), "\x1b[0;31me\xE2\x94\x80\x1b[0m\n");
  EXPECT_EQ(o.send("{txt}{c TLC}{c ss}\n"), "\x1b[0m\xE2\x94\x8C\xC3\x9F\x1b[0m\n");
  EXPECT_EQ(o.send("{help x}\n"), "\x1b[0;4;34mx\x1b[0m\n");
}

TEST(SmlStream, PlainSinkGetsPlainForms) {
  OwnStream o(false);
  EXPECT_EQ(o.send("{res}1{c TLC}{hline 2}{c |}\n"), "1+--|\n");
}

TEST(SmlStream, WidthIsClamped) {
  OwnStream o(false, 10);
  EXPECT_EQ(o.s->width, 40);
  smlset_maxwidth(o.s, 300);
  EXPECT_EQ(o.s->width, 255);
}

int morecalls = 0;
int moreanswer = 0;
int fakemore(SmlStream*) {
  ++morecalls;
  return moreanswer;
}

TEST(SmlStream, MorePausesAtAFullScreen) {
  OwnStream o(false);
  o.s->morefn = fakemore;
  o.s->pagelen = 5;
  morecalls = 0;
  moreanswer = 0;
  std::string t;
  for (int i = 0; i < 10; ++i) t += "line\n";
  o.send(t);
  EXPECT_EQ(morecalls, 2);  // after 4 and after 8 lines
  // One more line only: the next line asks again.
  morecalls = 0;
  moreanswer = 1;
  o.s->morelines = 0;
  o.send("a\nb\nc\nd\ne\nf\n");
  EXPECT_EQ(morecalls, 3);
  // Stop: the rest is not shown.
  morecalls = 0;
  moreanswer = -1;
  o.s->morelines = 0;
  o.s->moreonce = false;
  std::string r = o.send(t);
  EXPECT_EQ(r, "line\nline\nline\nline\n");
  EXPECT_EQ(o.s->stop, 1);
  EXPECT_NE(smlsend(o.s, "x\n", 2), 0);
  smlreinitialize(o.s);
  EXPECT_EQ(o.s->stop, 0);
}

TEST(SmlStream, AbandonDropsWhatWasNotShown) {
  OwnStream o(false);
  smlsend(o.s, "{p 2 2}one two", 14);  // "one" on the line unsent, "two" pending
  o.s->stop = 1;
  o.text.clear();
  smlabandon(o.s);
  EXPECT_EQ(o.text, "");  // nothing of the line had been written
  EXPECT_EQ(o.s->mode, SML_LINE);
  EXPECT_EQ(o.send("next\n"), "next\n");
  o.send("partial");      // flushed by send: shown already
  o.s->stop = 1;
  o.text.clear();
  smlabandon(o.s);
  EXPECT_EQ(o.text, "\n");
}

TEST(SmlStream, StateWrittenToZmclLog) {
  OwnStream o(false);
  std::FILE* f = std::tmpfile();
  ASSERT_NE(f, nullptr);
  o.send("{res}{bf}{ul on}{p 4 8 2}words");
  smlwritestate(o.s, f);
  EXPECT_EQ(readfile(f), "{zmcl}\n{res}{bf}{ul on}{p 4 8 2}");
  std::fclose(f);
  f = std::tmpfile();
  o.send("{p_end}{asis}");
  smlwritestate(o.s, f);
  EXPECT_EQ(readfile(f), "{zmcl}\n{res}{bf}{ul on}{asis}");
  std::fclose(f);
}

class Channel : public ::testing::Test {
 protected:
  std::string cap;
  void SetUp() override {
    out = OutputState{};
    out_set_capture(&cap);
    out_reinit();
    out_set_linesize(80);
    stopflag = 0;
    interp.zelta_busy = true;  // a command is running
  }
  void TearDown() override {
    stopflag = 0;
    interp.zelta_busy = false;
    out_set_capture(nullptr);
    out = OutputState{};
    out_reinit();
  }
};

TEST_F(Channel, BreakStopsOutputAtThePoll) {
  stopflag = 1;
  int rc = 0, sends = 0;
  while (!rc && sends < 2000) {
    rc = spout21("x");
    ++sends;
  }
  EXPECT_NE(rc, 0);
  EXPECT_LE(sends, 500);
  out_flush_all();
  size_t shown = cap.size();
  spout21("more\n");
  out_flush_all();
  EXPECT_EQ(cap.size(), shown);
  stopflag = 0;
  out_reset_stop();
  cap.clear();
  EXPECT_EQ(spout21("again\n"), 0);
  EXPECT_EQ(cap, "again\n");
}

TEST_F(Channel, BreakDoesNotHideTheReport) {
  interp.zelta_busy = false;
  stopflag = 1;
  int rc = 0;
  for (int i = 0; i < 600; ++i) rc |= spout21("x");
  EXPECT_EQ(rc, 0);
}

TEST_F(Channel, SuppressedTextStillPolls) {
  out.s_outlev = 5;
  stopflag = 1;
  int rc = 0;
  for (int i = 0; i < 600 && !rc; ++i) rc = spout21("x");
  EXPECT_NE(rc, 0);
}

TEST_F(Channel, SmallRoutines) {
  cap.clear();
  spouthi(2, "a{b}");
  spouthi(1, "c");
  spoutvbar();
  spoutblnk("d", 2);
  spoutch('e');
  spoutch(' ');
  spoutch('{');
  newline();
  spoutdiv(1);
  spoutdiv(2);
  EXPECT_EQ(cap, "a{b}^c^|d  e {\n.-\n" + std::string(80, '-') + "\n");
  cap.clear();
  spouterrblnk("err");
  spout21("x\n");
  EXPECT_EQ(out.c_outlev, OUT_ERROR);
  EXPECT_EQ(cap, "err x\n");
  setoutlev(OUT_RESULT);
  cap.clear();
  spoutfordo(". cmd\n");
  EXPECT_EQ(out.c_outlev, OUT_RESULT);
  out.s_outlev = 5;
  spoutfordo("hidden\n");
  EXPECT_EQ(cap, ". cmd\n");
}

TEST_F(Channel, PrintfForms) {
  cap.clear();
  spoutsmlf("{hline %d}|%s\n", 3, "{res}x");
  spout21f("%d{%s}\n", 7, "y");
  std::string big(2000, 'z');
  spout21f("%s\n", big.c_str());
  out_flush_all();
  EXPECT_EQ(cap.substr(0, 13), "---|x\n7{y}\nzz");
  EXPECT_EQ(cap.size(), 11u + 2000u + 25u);
}

TEST_F(Channel, WeakZmclDeclaration) {
  cap.clear();
  spoutsml("{asis}{res}raw ");
  spoutsetzmclweak();
  spoutsml("{hline 2}\n");
  spoutsetzmclweak();  // already interpreting: nothing sent
  spoutsml("{hline 1}\n");
  EXPECT_EQ(cap, "{res}raw --\n-\n");
  cap.clear();
  spoutsml("{asis}");
  spouterr("{e}\n");
  EXPECT_EQ(cap, "{e}\n");
}

TEST_F(Channel, EntertainOnlyWhenAsked) {
  cap.clear();
  entertainbegin("working");
  entertain();
  entertainend();
  EXPECT_EQ(cap, "");
  out.entertain = true;
  entertainbegin("working");
  entertain();
  entertain();
  entertainend();
  EXPECT_EQ(cap, "working..\n");
  cap.clear();
  out.s_outlev = 3;
  entertainbegin("quiet");
  EXPECT_EQ(cap, "");
}

TEST_F(Channel, ZmclLogResumesWithState) {
  std::FILE* f = std::tmpfile();
  ASSERT_NE(f, nullptr);
  int h = out_attach_log(f, true);
  spoutsml("{p 2 2}one ");
  out_log_enable(h, false);
  spoutsml("two ");
  out_log_enable(h, true);
  spoutsml("three{p_end}\n");
  out_detach_log(h);
  EXPECT_EQ(readfile(f),
            "{zmcl}\n{txt}{sf}{ul off}{p 2 2}one {zmcl}\n{txt}{sf}{ul off}{p 2 2 0}three{p_end}\n");
  std::fclose(f);
}

TEST_F(Channel, ConsoleCanBeTurnedOff) {
  out_set_capture(nullptr);
  out_console_enable(false);
  std::FILE* f = std::tmpfile();
  ASSERT_NE(f, nullptr);
  int h = out_attach_log(f, false);
  spout21("to the log only\n");
  out_detach_log(h);
  out_console_enable(true);
  EXPECT_EQ(readfile(f), "to the log only\n");
  std::fclose(f);
}

}  // namespace

namespace {

// Random markup from a fixed seed: the renderer never breaks and no line it
// writes is wider than the stream.
TEST(SmlStream, RandomMarkupKeepsLinesWithinWidth) {
  static const char* const pieces[] = {
      "{res}", "{txt}", "{hline 7}", "{hline}", "{hline -3}", "{col 30}", "{col 70}", "{c |}",
      "{c TLC}", "{p 4 8 2}", "{p_end}", "{pstd}", "{break}", "{center:abc}", "{right:xy}",
      "{lalign 9:q}", "{ralign 4:zz}", "{dup 5:ab }", "{space 12}", "{tab}", "{.-}", "{asis}",
      "{zmcl}\n", "{...}", "{bf:bold {it:it}}", "{help x:y}", "{p2col:a}b", "{p2line}",
      "{synopthdr}", "{title:T}", "{bind:a b c}", "{", "}", "{foo", "{hline 300}", "\n", "\n\n",
      " ", "  ", "word", "longerword", "averyveryverylongwordthatgoesonandonandonandonandonandon",
      "{?zz:opt}", "{c 200}", "{ul:u}", "{ifin}", "{dlgtab:D}", "{syntab:S}", "{p2colset 3 9 11 1}"};
  const size_t np = sizeof pieces / sizeof pieces[0];
  unsigned seed = 12345;
  for (int width : {40, 61, 80, 255}) {
    OwnStream o(false, width);
    std::string all;
    for (int i = 0; i < 20000; ++i) {
      seed = seed * 1103515245u + 12345u;
      const char* p = pieces[(seed >> 16) % np];
      o.text.clear();
      smlsend(o.s, p, std::strlen(p));
      all += o.text;
    }
    o.text.clear();
    smlsend(o.s, "{p_end}\n", 8);
    smlflush(o.s);
    all += o.text;
    size_t start = 0, longest = 0;
    while (start < all.size()) {
      size_t e = all.find('\n', start);
      if (e == std::string::npos) e = all.size();
      longest = std::max(longest, e - start);
      start = e + 1;
    }
    EXPECT_LE(longest, static_cast<size_t>(width)) << width;
    EXPECT_GT(all.size(), 1000u);
  }
}

}  // namespace

namespace {

TEST(SmlStream, DeepNestingIsBounded) {
  OwnStream o(false, 255);
  std::string t;
  for (int i = 0; i < 100; ++i) t += "{bf:";
  t += "x";
  for (int i = 0; i < 100; ++i) t += "}";
  std::string r = o.send(t + "\n");
  // Beyond 64 levels of colon text the rest (35 levels here) is shown as text.
  std::string want;
  for (int i = 0; i < 35; ++i) want += "{bf:";
  want += "x";
  for (int i = 0; i < 35; ++i) want += "}";
  r.erase(std::remove(r.begin(), r.end(), '\n'), r.end());
  EXPECT_EQ(r, want);
}

TEST(SmlStream, StrayBracesAreText) {
  OwnStream o(false, 100);
  std::string t(200000, '{');
  t += "{res}ok\n";
  std::string r = o.send(t);
  EXPECT_EQ(r.size(), 200000u + 2000u + 3u);
  EXPECT_EQ(r.substr(r.size() - 3), "ok\n");
}

}  // namespace

namespace {

TEST(SmlStream, BreakEndsLongOutputOfOneSend) {
  OwnStream o(false);
  stopflag = 1;
  std::string r = o.send("{dup 999:{dup 999:line\n}}");
  stopflag = 0;
  EXPECT_EQ(r, "");
  EXPECT_EQ(o.s->stop, 1);
}

}  // namespace
