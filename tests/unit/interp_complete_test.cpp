// Completion of the word at the cursor, as the console's Tab key and the
// notebook kernel see it: the context decides between commands, variables,
// macros and files, and [start, end) is what a candidate replaces.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "data/store.h"
#include "interp/cmd/resetall.h"
#include "interp/cmdtab.h"
#include "interp/complete.h"
#include "interp/interp.h"
#include "output/output.h"
#include "session_testutil.h"

namespace {

using Words = std::vector<std::string>;

struct CompleteTest : CommandSession {
  std::string olddir, dir;
  void SetUp() override {
    CommandSession::SetUp();
    ASSERT_EQ(execline("set obs 2"), 0);
    ASSERT_EQ(execline("generate weight = 1"), 0);
    ASSERT_EQ(execline("generate weekday = 2"), 0);
    ASSERT_EQ(execline("generate height = 3"), 0);
    ASSERT_EQ(execline("global cmplglob 1"), 0);
    char tmpl[] = "/tmp/zelta_cmpl_XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir = tmpl;
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    olddir = cwd;
    ASSERT_EQ(chdir(dir.c_str()), 0);
    for (const char* f : {"wages.dta", "wages.do", "weights.csv", ".hidden.do"})
      if (FILE* fp = std::fopen(f, "w")) std::fclose(fp);
    ASSERT_EQ(mkdir("wsub", 0700), 0);
    if (FILE* fp = std::fopen("wsub/inner.do", "w")) std::fclose(fp);
  }
  void TearDown() override {
    ASSERT_EQ(chdir(olddir.c_str()), 0);
    std::string cmd = "rm -rf " + dir;
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    CommandSession::TearDown();
  }
  Words at(const std::string& text, int* start = nullptr, int* end = nullptr) {
    int a = -1, b = -1;
    Words w = cmpl_words(text, static_cast<int>(text.size()), a, b);
    if (start) *start = a;
    if (end) *end = b;
    return w;
  }
};

TEST_F(CompleteTest, CommandsWhereACommandGoes) {
  int a, b;
  Words w = at("summ", &a, &b);
  EXPECT_EQ(w, (Words{"summarize"}));
  EXPECT_EQ(a, 0);
  EXPECT_EQ(b, 4);
  // After prefixes and a by-prefix's colon a command goes again.
  EXPECT_EQ(at("quietly summ"), (Words{"summarize"}));
  EXPECT_EQ(at("capture noisily summ"), (Words{"summarize"}));
  EXPECT_EQ(at("by weight: summ"), (Words{"summarize"}));
  // help and which take a command name.
  EXPECT_EQ(at("help summ"), (Words{"summarize"}));
  EXPECT_EQ(at("which summ"), (Words{"summarize"}));
  EXPECT_EQ(at("help summarize hei"), (Words{"height"}));
  // Internal commands are not offered.
  for (const std::string& s : at("_")) EXPECT_NE(s[0], '_') << s;
}

TEST_F(CompleteTest, VariablesAfterTheCommand) {
  int a, b;
  // The last variable too (the tables count from 1).
  EXPECT_EQ(at("summarize hei", &a, &b), (Words{"height"}));
  EXPECT_EQ(a, 10);
  // Files are offered beside variables once something is typed.
  EXPECT_EQ(at("summarize we"), (Words{"weekday", "weight", "weights.csv"}));
  EXPECT_EQ(at("regress height weig"), (Words{"weight", "weights.csv"}));
  EXPECT_EQ(at("list h"), (Words{"height"}));
  // A cursor inside a word replaces the whole word.
  std::string text = "list heXX";
  Words w = cmpl_words(text, 7, a, b);
  EXPECT_EQ(w, (Words{"height"}));
  EXPECT_EQ(a, 5);
  EXPECT_EQ(b, 9);
}

TEST_F(CompleteTest, Macros) {
  ASSERT_EQ(execline("local cmplloc 1"), 0);
  ASSERT_EQ(execline("local cmplother 2"), 0);
  EXPECT_EQ(at("display `cmplo"), (Words{"cmplother"}));
  EXPECT_EQ(at("display `cmpl"), (Words{"cmplloc", "cmplother"}));
  EXPECT_EQ(at("display $cmplg"), (Words{"cmplglob"}));
  EXPECT_EQ(at("display $nosuchglobal"), Words{});
}

TEST_F(CompleteTest, FilesAfterUsingAndFileCommands) {
  // Only files: no variable starting with w is offered here.
  EXPECT_EQ(at("do w"), (Words{"wages.do", "wages.dta", "weights.csv", "wsub/"}));
  EXPECT_EQ(at("run wa"), (Words{"wages.do", "wages.dta"}));
  EXPECT_EQ(at("insheet using wei"), (Words{"weights.csv"}));
  EXPECT_EQ(at("insheet using \"we"), (Words{"weights.csv"}));
  // Inside a folder; hidden files only when asked for.
  EXPECT_EQ(at("do wsub/"), (Words{"wsub/inner.do"}));
  EXPECT_EQ(at("do ."), (Words{".hidden.do"}));
  EXPECT_EQ(at("do nosuch/x"), Words{});
  // Elsewhere a word with a dot is a file, a plain word both.
  EXPECT_EQ(at("save wages."), (Words{"wages.do", "wages.dta"}));
  EXPECT_EQ(at("list wei"), (Words{"weight", "weights.csv"}));
  // The second word of do is an argument, not a file.
  EXPECT_EQ(at("do wages.do wei"), (Words{"weight", "weights.csv"}));
}

TEST_F(CompleteTest, DatasetCommandsOfferDatasetsAndFolders) {
  ASSERT_EQ(mkdir("wsub/deeper", 0700), 0);
  for (const char* f : {"wsub/panel.dta", "wsub/panel.csv", "wsub/notes.DTA.txt"})
    if (FILE* fp = std::fopen(f, "w")) std::fclose(fp);
  // use's file name, and the file after using, whatever the command's spelling.
  EXPECT_EQ(at("use w"), (Words{"wages.dta", "wsub/"}));
  EXPECT_EQ(at("u wag"), (Words{"wages.dta"}));
  EXPECT_EQ(at("use weight using w"), (Words{"wages.dta", "wsub/"}));
  EXPECT_EQ(at("append using w"), (Words{"wages.dta", "wsub/"}));
  EXPECT_EQ(at("merge weight using wei"), Words{});
  EXPECT_EQ(at("quietly merge weight using wsub/"), (Words{"wsub/deeper/", "wsub/panel.dta"}));
  EXPECT_EQ(at("use \"wsub/p"), (Words{"wsub/panel.dta"}));
  EXPECT_EQ(at("append wages."), (Words{"wages.dta"}));
  // Other commands still see every file.
  EXPECT_EQ(at("do wsub/"), (Words{"wsub/deeper/", "wsub/inner.do", "wsub/notes.DTA.txt", "wsub/panel.csv",
                                   "wsub/panel.dta"}));
}

TEST_F(CompleteTest, OnlyTheCursorLineCounts) {
  EXPECT_EQ(at("do w\nsumm"), (Words{"summarize"}));
  EXPECT_EQ(at("summarize\nlist hei"), (Words{"height"}));
}

}  // namespace
