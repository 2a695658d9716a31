// Help lookup: edit distance, close names, function entries, and the check
// that every built-in command with a handler, every ado-file of the base
// folder and every function of the expression library has help.
#include <dirent.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "expr/funcs.h"
#include "help/help.h"
#include "interp/cmdtab.h"
#include "interp/interp.h"

namespace {

// Commands that have a handler but no help yet. Keep it short; a name that
// gains help must leave the list (the test says so).
const std::set<std::string> undocumented = {
};

// Functions without a help entry yet (same rule).
const std::set<std::string> undocumentedfn = {
};

struct HelpTest : ::testing::Test {
  std::string saved;
  void SetUp() override {
    cmdinit_table();
    saved = interp.sysdir;
    interp.sysdir = std::string(ZELTA_SOURCE_DIR) + "/system/";
  }
  void TearDown() override { interp.sysdir = saved; }
};

std::vector<std::string> basefiles() {
  std::vector<std::string> v;
  const std::string base = std::string(ZELTA_SOURCE_DIR) + "/system/ado/base/";
  DIR* d = opendir(base.c_str());
  if (!d) return v;
  while (dirent* e = readdir(d)) {
    std::string sub = e->d_name;
    if (sub.size() != 1) continue;
    DIR* s = opendir((base + sub).c_str());
    if (!s) continue;
    while (dirent* f = readdir(s)) {
      std::string n = f->d_name;
      if (n.size() > 4 && n.compare(n.size() - 4, 4, ".ado") == 0) v.push_back(n.substr(0, n.size() - 4));
    }
    closedir(s);
  }
  closedir(d);
  std::sort(v.begin(), v.end());
  return v;
}

// The names of `names` without help, reported and checked against `allowed`.
void checkcovered(const std::vector<std::string>& names, const std::set<std::string>& allowed,
                  const char* what) {
  std::string missing, stale;
  for (const std::string& n : names) {
    HelpTarget t;
    const bool has = help_resolve(n, &t) == 0;
    if (!has && !allowed.count(n)) missing += " " + n;
    if (has && allowed.count(n)) stale += " " + n;
  }
  EXPECT_EQ(missing, "") << what << " without help";
  EXPECT_EQ(stale, "") << what << " documented now: take them off the list";
}

TEST(HelpDistance, StepsAndTranspositions) {
  EXPECT_EQ(help_distance("regress", "regress"), 0u);
  EXPECT_EQ(help_distance("regres", "regress"), 1u);
  EXPECT_EQ(help_distance("rgeress", "regress"), 1u);  // one transposition
  EXPECT_EQ(help_distance("summarize", "sumarise"), 2u);
  EXPECT_EQ(help_distance("", "abc"), 3u);
  EXPECT_EQ(help_distance("abc", ""), 3u);
  EXPECT_EQ(help_distance("kitten", "sitting"), 3u);
}

TEST_F(HelpTest, ResolvesFilesAbbreviationsAliasesAndFunctions) {
  HelpTarget t;
  ASSERT_EQ(help_resolve("regress", &t), 0);
  EXPECT_EQ(t.topic, "regress");
  EXPECT_TRUE(t.entry.empty());
  ASSERT_EQ(help_resolve("reg", &t), 0);  // alias list
  EXPECT_EQ(t.topic, "regress");
  ASSERT_EQ(help_resolve("su", &t), 0);  // command-table abbreviation
  EXPECT_EQ(t.topic, "summarize");
  ASSERT_EQ(help_resolve("", &t), 0);
  EXPECT_EQ(t.topic, "contents");
  ASSERT_EQ(help_resolve("strpos()", &t), 0);
  EXPECT_EQ(t.entry, "strpos()");
  EXPECT_NE(t.path.find("string_functions.zhlp"), std::string::npos);
  EXPECT_NE(help_entry(t.path, "strpos()").find("strpos("), std::string::npos);
  EXPECT_EQ(help_resolve("nosuchthing", &t), 111);
  EXPECT_EQ(help_resolve("nosuchfn()", &t), 111);
  EXPECT_EQ(help_resolve("../system/help/regress", &t), 111);  // no path parts
  EXPECT_EQ(help_resolve("()", &t), 111);
}

TEST_F(HelpTest, EntryStopsAtTheNextMarker) {
  HelpTarget t;
  ASSERT_EQ(help_resolve("strlen()", &t), 0);
  const std::string e = help_entry(t.path, "strlen()");
  EXPECT_NE(e.find("{marker strlen()}"), std::string::npos);
  EXPECT_EQ(std::count(e.begin(), e.end(), '\n') > 0, true);
  // The entry holds its own marker line and nothing of the next entry.
  EXPECT_EQ(e.find("{marker", e.find('\n')), std::string::npos);
}

TEST_F(HelpTest, SuggestsCloseNames) {
  std::vector<std::string> s = help_suggest("regres", 5);
  ASSERT_FALSE(s.empty());
  EXPECT_EQ(s[0], "regress");
  s = help_suggest("sumarize", 5);
  ASSERT_FALSE(s.empty());
  EXPECT_EQ(s[0], "summarize");
  s = help_suggest("strpso()", 5);
  ASSERT_FALSE(s.empty());
  EXPECT_EQ(s[0], "strpos()");
  EXPECT_TRUE(help_suggest("qqqqqqqqqqqq", 5).empty());
  // Internal names are not offered for a plain word.
  for (const std::string& n : help_suggest("regress", 10)) EXPECT_NE(n[0], '_') << n;
  EXPECT_LE(help_suggest("s", 3).size(), 3u);
}

TEST_F(HelpTest, EveryBuiltinWithAHandlerHasHelp) {
  std::vector<const char*> names;
  cmdlist(names, true);
  ASSERT_GT(names.size(), 50u);
  std::vector<std::string> v(names.begin(), names.end());
  checkcovered(v, undocumented, "built-in commands");
}

TEST_F(HelpTest, EveryBaseAdoFileHasHelp) {
  std::vector<std::string> v = basefiles();
  ASSERT_GT(v.size(), 5u);
  checkcovered(v, undocumented, "ado-files");
}

TEST_F(HelpTest, EveryFunctionHasAnEntry) {
  size_t n = 0;
  const FuncDef* f = functable(&n);
  std::vector<std::string> v;
  for (size_t i = 0; i < n; ++i)
    if (f[i].name[0] != '_') v.push_back(std::string(f[i].name) + "()");
  ASSERT_GT(v.size(), 100u);
  std::set<std::string> allowed;
  for (const std::string& a : undocumentedfn) allowed.insert(a + "()");
  checkcovered(v, allowed, "functions");
}

TEST_F(HelpTest, EveryLinkOfAHelpFileLeadsToHelp) {
  const std::string dir = std::string(ZELTA_SOURCE_DIR) + "/system/help/";
  DIR* d = opendir(dir.c_str());
  ASSERT_NE(d, nullptr);
  std::vector<std::string> files;
  while (dirent* e = readdir(d)) {
    std::string n = e->d_name;
    if (n.size() > 5 && n.compare(n.size() - 5, 5, ".zhlp") == 0) files.push_back(n);
  }
  closedir(d);
  ASSERT_GT(files.size(), 5u);
  const std::regex link(R"(\{helpb? ([^:} ]+)[:}])");
  std::string broken;
  for (const std::string& f : files) {
    std::ifstream in(dir + f);
    std::string line;
    while (std::getline(in, line))
      for (std::sregex_iterator it(line.begin(), line.end(), link), end; it != end; ++it) {
        const std::string topic = (*it)[1];
        HelpTarget t;
        if (topic.rfind("r(", 0) == 0 || undocumented.count(topic)) continue;
        if (help_resolve(topic, &t)) broken += " " + f + ":" + topic;
      }
  }
  EXPECT_EQ(broken, "");
}

}  // namespace
