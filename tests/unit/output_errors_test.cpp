// Message tests: the standard messages of error(), the mapped codes, the
// composed-message routines and their output levels.
#include <gtest/gtest.h>

#include <string>

#include "interp/cmdtab.h"
#include "output/errors.h"
#include "output/output.h"

namespace {

class Errors : public ::testing::Test {
 protected:
  std::string cap;
  void SetUp() override {
    out = OutputState{};
    errst = ErrorState{};
    out_set_capture(&cap);
    out_reinit();
    out_set_linesize(80);
  }
  void TearDown() override {
    out_set_capture(nullptr);
    out = OutputState{};
    errst = ErrorState{};
    cmd_bylevel = 0;
    out_reinit();
  }
  std::string shown() {
    out_flush_all();
    std::string r = cap;
    cap.clear();
    return r;
  }
};

TEST_F(Errors, StandardMessages) {
  EXPECT_EQ(error(0), 0);
  EXPECT_EQ(shown(), "");
  EXPECT_EQ(error(198), 198);
  EXPECT_EQ(shown(), "invalid syntax\n");
  EXPECT_EQ(error(100), 100);
  EXPECT_EQ(shown(), "");
  EXPECT_EQ(error(102), 102);
  EXPECT_EQ(shown(), "too few variables specified\n");
  EXPECT_EQ(error(125), 125);
  EXPECT_EQ(shown(), "invalid numlist has elements outside of allowed range\n");
  EXPECT_EQ(error(4024), 4024);
  EXPECT_EQ(shown(), "creators new, clone, clone1, copy, and reference may not be combined with super\n");
  EXPECT_EQ(error(913), 913);
  EXPECT_EQ(shown(),
            "op. sys. refuses to provide sufficient memory;\n"
            "    op. sys. provided base request, but then refused to provide\n"
            "    sufficient memory for matsize\n");
}

TEST_F(Errors, MappedCodes) {
  EXPECT_EQ(error(5101), 101);
  EXPECT_EQ(shown(), "iweights not allowed with robust\n");
  EXPECT_EQ(error(6101), 101);
  EXPECT_EQ(error(7196), 180);
  EXPECT_EQ(shown(), "time-series operators not allowed\ninvalid attempt to modify label\n");
  EXPECT_EQ(error(7197), 198);
  EXPECT_EQ(error(7198), 198);
  EXPECT_EQ(shown(), "invalid file specification\nmultiple by's not allowed\n");
}

TEST_F(Errors, VemoRange) {
  EXPECT_EQ(error(3500), 3500);
  EXPECT_EQ(shown(), "Vemo run-time error\n");
  EXPECT_EQ(error(2999), 2999);
  EXPECT_EQ(error(9202), 9202);
  EXPECT_EQ(shown(), "");
}

TEST_F(Errors, NotesReturnZero) {
  EXPECT_EQ(error(2000), 0);
  EXPECT_EQ(shown(), "no observations\n");
  EXPECT_EQ(error(2001), 2001);
  EXPECT_EQ(shown(), "insufficient observations\n");
  out.s_outlev = 2;  // notes hidden, errors shown
  EXPECT_EQ(error(8002), 0);
  EXPECT_EQ(shown(), "");
  EXPECT_EQ(error(2000), 0);
  EXPECT_EQ(shown(), "no observations\n");
  cmd_bylevel = 1;  // under by the same message is a note
  EXPECT_EQ(error(2000), 0);
  EXPECT_EQ(shown(), "");
  out.s_outlev = 0;
  EXPECT_EQ(error(8002), 0);
  EXPECT_EQ(shown(), "request ignored due to batch mode\n");
}

TEST_F(Errors, ErrorRestoresLevel) {
  setoutlev(OUT_NOTE);
  error(198);
  EXPECT_EQ(out.c_outlev, OUT_NOTE);
  // Shown at the error level even under quietly.
  out.s_outlev = 3;
  shown();
  error(199);
  EXPECT_EQ(shown(), "unrecognized command\n");
}

TEST_F(Errors, MatsizeAdvice) {
  errst.matsize = [] { return 11000; };
  EXPECT_EQ(error(146), 146);
  EXPECT_EQ(shown(), "too many variables or values\n");
  errst.matsize = [] { return 400; };
  error(146);
  EXPECT_EQ(shown(),
            "too many variables or values (matsize too small)\n"
            "    You can increase matsize using the set matsize command; see help matsize.\n");
}

TEST_F(Errors, ShortageExplanations) {
  error(901);
  std::string r = shown();
  EXPECT_EQ(r.substr(0, 33), "no room to add more observations\n");
  EXPECT_NE(r.find("\n     1.  Store your variables more efficiently; see help compress."),
            std::string::npos)
      << r;
  EXPECT_NE(r.find("\n\n     3.  Increase the amount"), std::string::npos) << r;
  errst.matsize = [] { return 400; };
  error(908);
  r = shown();
  EXPECT_EQ(r,
            "matsize too small\n"
            "    You have attempted to create a matrix with more than 400 rows or columns or\n"
            "    to fit a model with more than 400 variables plus ancillary parameters. You\n"
            "    need to increase matsize using the set matsize command; see help matsize.\n");
}

TEST_F(Errors, NotFoundFamily) {
  EXPECT_EQ(varnotfound("x"), 111);
  EXPECT_EQ(gnrnotfound("y"), 111);
  EXPECT_EQ(matnotfound("m"), 111);
  EXPECT_EQ(regrnotfound("r"), 111);
  EXPECT_EQ(eqnotfound("e"), 111);
  EXPECT_EQ(veqnonf("q"), 303);
  EXPECT_EQ(veqnonf(nullptr), 303);
  EXPECT_EQ(shown(),
            "variable x not found\ny not found\nmatrix m not found\nregressor r not found\n"
            "equation e not found\nequation q not found\nequation not found\n");
  EXPECT_EQ(out.c_outlev, OUT_ERROR);
}

TEST_F(Errors, MacroNotFound) {
  EXPECT_EQ(macnotfound("_x"), 111);
  EXPECT_EQ(macnotfound("x"), 111);
  EXPECT_EQ(shown(), "local macro `x' not found\nglobal macro $x not found\n");
}

TEST_F(Errors, SimpleRoutines) {
  EXPECT_EQ(required("varlist"), 100);
  EXPECT_EQ(notalow("weights"), 101);
  EXPECT_EQ(invalid("name"), 198);
  EXPECT_EQ(unmatchedquote(), 198);
  EXPECT_EQ(unbalanced_quotes(), 198);
  EXPECT_EQ(braceerror('{'), 198);
  EXPECT_EQ(braceerror('}'), 198);
  EXPECT_EQ(nomatchbrace(), 198);
  EXPECT_EQ(shown(),
            "varlist required\nweights not allowed\ninvalid name\nunmatched quote\n"
            "quotes unbalanced\n"
            "program error:  code follows on the same line as open brace\n"
            "program error:  code follows on the same line as close brace\n"
            "program error:  matching close brace not found\n");
  out.s_outlev = 3;
  EXPECT_EQ(noobsnoerr(), 0);
  EXPECT_EQ(shown(), "");
  EXPECT_EQ(out.c_outlev, OUT_NOTE);
}

TEST_F(Errors, Error2Kinds) {
  setoutlev(OUT_TEXT);
  EXPECT_EQ(error2(1, "1x"), 198);
  EXPECT_EQ(error2(1, nullptr), 198);
  EXPECT_EQ(error2(2, "a b"), 198);
  EXPECT_EQ(error2(3, "mylab"), 110);
  EXPECT_EQ(error2(4, "ab"), 111);
  EXPECT_EQ(error2(5, "zz"), 111);
  EXPECT_EQ(error2(6, "v"), 182);
  EXPECT_EQ(error2(7, "v"), 9202);
  EXPECT_EQ(out.c_outlev, OUT_TEXT);
  EXPECT_EQ(shown(),
            "1x invalid name\ninvalid name\na b invalid varname\nmylab already defined\n"
            "ab ambiguous abbreviation\nzz not found\nv not labeled\n");
}

TEST_F(Errors, OperatorMessages) {
  EXPECT_EQ(rcpinvalid("L2D.x"), 198);
  EXPECT_EQ(rcptoolong("LLLLLLLLLLLLLLLLLLLLLLLLLLLLLL"), 1000);  // 30 characters
  EXPECT_EQ(rcpdtoobig("D21."), 198);
  EXPECT_EQ(shown(),
            "L2D.x:  operator invalid\n"
            "LLLLLLLLLLLLLLLLLLLLLLLLLLLLLL\noperator too long\n"
            "D21.:  operator invalid:  D20 is maximum allowed difference\n");
}

TEST_F(Errors, Numlist) {
  EXPECT_EQ(errornumlist(122, 1), 122);
  EXPECT_EQ(errornumlist(125, 0), 125);
  EXPECT_EQ(errornumlist(127, 1), 127);
  EXPECT_EQ(errornumlist(198, 1), 0);
  EXPECT_EQ(shown(),
            "number required\ninvalid numlist has elements outside of allowed range\n"
            "invalid number, missing not allowed\n");
}

TEST_F(Errors, FoundWhereExpected) {
  EXPECT_EQ(experr("abcdefghijklmnopqrstuvwxy", 1, "number", 0), 198);
  EXPECT_EQ(shown(), "'abcdefghijklmnopqrs...wxy' found where number expected\n");
  EXPECT_EQ(experr("", 1, "{", 1), 198);
  EXPECT_EQ(shown(), "nothing found where '{' expected\n");
}

TEST_F(Errors, FileMessages) {
  EXPECT_EQ(fierr(601, "auto.dta"), 601);
  EXPECT_EQ(fierr(602, "auto.dta"), 602);
  EXPECT_EQ(fierr(661, "http://x/y"), 661);
  EXPECT_EQ(fierr(601, nullptr), 601);
  EXPECT_EQ(fierr(699, "a"), 699);
  EXPECT_EQ(fierr(645, "a"), 645);
  EXPECT_EQ(shown(),
            "file auto.dta not found\nfile auto.dta already exists\n"
            "host or file http://x/y not found\nfile not found\ninsufficient disk space\n"
            "file a error 645\n");
  EXPECT_EQ(fierr(697, "a.dta"), 697);
  EXPECT_EQ(fierr(698, "a.dta"), 698);
  EXPECT_EQ(shown(), "file a.dta saved\n(note: file a.dta not found)\n");
  out.s_outlev = 3;
  EXPECT_EQ(fierr(697, "a.dta"), 697);
  EXPECT_EQ(shown(), "");
}

TEST_F(Errors, LongFileNameWrapsWithHangingIndent) {
  std::string fn(90, 'f');
  fierr(603, fn.c_str());
  EXPECT_EQ(shown(), "file\n    " + fn.substr(0, 76) + "\n    " + fn.substr(76) +
                         " could not be opened\n");
}

TEST_F(Errors, ErrorWithPrefix) {
  EXPECT_EQ(error2part("myprog", 5101, 1), 101);
  EXPECT_EQ(shown(), "myprog: iweights not allowed with robust\n");
  EXPECT_EQ(error2part("", 198, 1), 198);
  EXPECT_EQ(shown(), "invalid syntax\n");
  EXPECT_TRUE(errst.newerror);
}

TEST_F(Errors, PoolMessages) {
  EXPECT_STREQ(loadmsg(46), "unrecognized command");
  EXPECT_STREQ(loadmsg(71), "number");
  EXPECT_STREQ(loadmsg(30), "");
  EXPECT_STREQ(loadmsg(72), "");
  errors(3);
  errors(13);
  EXPECT_EQ(error2s("foo", 42, 110), 110);
  EXPECT_EQ(shown(), "no dataset in use\ntoo many foo already defined\n");
}

}  // namespace
