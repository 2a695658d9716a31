// Help lookup: edit distance, close names, function entries, the check
// that every built-in command with a handler, every ado-file of the base
// folder and every function of the expression library has help, and that
// `help` alone lists every page (new ones under their task or at the end).
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <deque>
#include <fstream>
#include <sstream>
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

std::vector<std::string> helppages() {
  std::vector<std::string> v;
  const std::string dir = std::string(ZELTA_SOURCE_DIR) + "/system/help/";
  DIR* d = opendir(dir.c_str());
  if (!d) return v;
  while (dirent* e = readdir(d)) {
    std::string n = e->d_name;
    if (n.size() > 5 && n.compare(n.size() - 5, 5, ".zhlp") == 0) v.push_back(n.substr(0, n.size() - 5));
  }
  closedir(d);
  std::sort(v.begin(), v.end());
  return v;
}

std::string slurp(const std::string& path) {
  std::ifstream f(path);
  std::ostringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

std::string stemof(const std::string& path) {
  std::string s = path.substr(path.rfind('/') + 1);
  return s.substr(0, s.rfind('.'));
}

TEST_F(HelpTest, HelpAloneListsEveryPage) {
  const std::string text = help_contents();
  ASSERT_FALSE(text.empty());
  const std::vector<std::string> links = help_links(text);
  const std::set<std::string> listed(links.begin(), links.end());
  // The commands users look for first, each listed under its task.
  for (const char* c : {"tabulate", "ttest", "correlate", "grpstat", "collapse", "insheet", "infile", "postfile"})
    EXPECT_TRUE(listed.count(c)) << c;
  // Every page but the function groups is listed by name; those are reached
  // through the functions page. Whatever is linked leads somewhere.
  std::set<std::string> seen;
  std::deque<std::string> todo(links.begin(), links.end());
  while (!todo.empty()) {
    const std::string topic = todo.front();
    todo.pop_front();
    HelpTarget t;
    if (topic.rfind("r(", 0) == 0) continue;
    ASSERT_EQ(help_resolve(topic, &t), 0) << topic;
    if (!seen.insert(stemof(t.path)).second) continue;
    for (const std::string& l : help_links(slurp(t.path))) todo.push_back(l);
  }
  std::string unlisted, unreachable;
  for (const std::string& p : helppages()) {
    if (p == "contents") continue;
    const bool fngroup = p.size() >= 9 && p.compare(p.size() - 9, 9, "functions") == 0;
    if (!fngroup && !listed.count(p)) unlisted += " " + p;
    if (!seen.count(p)) unreachable += " " + p;
  }
  EXPECT_EQ(unlisted, "") << "pages that help alone does not list";
  EXPECT_EQ(unreachable, "") << "pages that no chain of links from help alone reaches";
}

TEST_F(HelpTest, NewPagesGoUnderTheirTaskOrAtTheEnd) {
  char tmpl[] = "/tmp/zelta_help_XXXXXX";
  ASSERT_NE(mkdtemp(tmpl), nullptr);
  const std::string root = tmpl;
  ASSERT_EQ(mkdir((root + "/help").c_str(), 0700), 0);
  {
    std::ofstream c(root + "/help/contents.zhlp");
    c << "{zmcl}\n{p2colset 5 24 26 2}{...}\n{syntab:Data}\n{p2col:{help use}}load{p_end}\n\n"
         "{syntab:Statistics}\n{p2col:{help summarize}}summary{p_end}\n{p2colreset}{...}\n";
    std::ofstream a(root + "/help/aaclassified.zhlp");
    a << "{zmcl}\n{* category: Data}\n{title:Title}\n{phang}\n{bf:aaclassified} {hline 2} Read things\n";
    std::ofstream b(root + "/help/zzstray.zhlp");
    b << "{zmcl}\n{title:Title}\n{phang}\n{bf:zzstray} {hline 2} A page nobody sorted\n";
    std::ofstream m(root + "/help/stat.zhlp");
    m << "{zmcl}\n{* category: No such task}\n{bf:stat} {hline 2} ANOVA tables\n";
    std::ofstream f(root + "/help/odd_functions.zhlp");
    f << "{zmcl}\n{bf:odd functions} {hline 2} Functions\n";
  }
  interp.sysdir = root + "/";
  const std::string text = help_contents();
  EXPECT_EQ(std::system(("rm -rf " + root).c_str()), 0);
  EXPECT_EQ(text,
            "{zmcl}\n{p2colset 5 24 26 2}{...}\n{syntab:Data}\n{p2col:{help use}}load{p_end}\n"
            "{p2col:{help aaclassified}}read things{p_end}\n\n"
            "{syntab:Statistics}\n{p2col:{help summarize}}summary{p_end}\n"
            "\n{syntab:Other commands}\n{p2col:{help stat}}ANOVA tables{p_end}\n"
            "{p2col:{help zzstray}}a page nobody sorted{p_end}\n{p2colreset}{...}\n");
}

TEST_F(HelpTest, NamesOfOtherToolsLeadToOurs) {
  HelpTarget t;
  for (const auto& [typed, page] : std::vector<std::pair<std::string, std::string>>{
           {"lm", "regress"}, {"read_csv", "insheet"}, {"crosstab", "tabulate"}, {"join", "merge"},
           {"quantile", "_pctile"}, {"groupby", "grpstat"}}) {
    ASSERT_EQ(help_resolve(typed, &t), 0) << typed;
    EXPECT_EQ(stemof(t.path), page) << typed;
  }
  // Every line of the alias list leads to a page.
  std::istringstream in(slurp(std::string(ZELTA_SOURCE_DIR) + "/system/help/aliases"));
  std::string line, broken;
  while (std::getline(in, line)) {
    std::istringstream is(line);
    std::string a, b;
    if (!(is >> a >> b) || a[0] == '#') continue;
    if (help_resolve(a, &t)) broken += " " + a;
  }
  EXPECT_EQ(broken, "");
}

}  // namespace
