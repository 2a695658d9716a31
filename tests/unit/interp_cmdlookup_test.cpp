// Finding built-in commands by name or abbreviation: the indexed lookup must
// answer exactly as a scan of the table in test order does, for every
// abbreviation of every name, at versions where some names do not exist.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "interp/cmdtab.h"
#include "interp/interp.h"

namespace {

struct Name {
  const char* name;
  int min;
};

const Name table[] = {
#define CMDNAME(n, m) {n, m},
#include "interp/cmdnames.def"
#undef CMDNAME
};

// Which names exist at version v (x 100), as users are told.
bool exists(const char* n, int v) {
  auto is = [&](const char* s) { return !std::strcmp(n, s); };
  if (is("_estimates") || is("ereturn")) return v >= 800;
  if (is("cp") || is("numlist")) return v >= 600;
  if (is("estimates") || is("gph") || is("graph")) return v < 800;
  if (is("predict")) return v < 600;
  return true;
}

// The scan: the first name in test order that the word abbreviates.
const char* scan(const std::string& word, int v) {
  for (const Name& e : table) {
    const size_t ln = std::strlen(e.name);
    if (word.empty() || word.size() > ln || static_cast<int>(word.size()) < e.min) continue;
    if (word.compare(0, word.size(), e.name, word.size()) == 0 && exists(e.name, v)) return e.name;
  }
  return nullptr;
}

std::string str(const char* s) { return s ? s : "(none)"; }

class CmdLookup : public ::testing::Test {
 protected:
  int saved = interp.version;
  void TearDown() override { interp.version = saved; }
};

}  // namespace

TEST_F(CmdLookup, EveryAbbreviationAsTheScanFindsIt) {
  for (int v : {500, 700, 920}) {
    interp.version = v;
    int checked = 0;
    for (const Name& e : table) {
      const std::string name = e.name;
      if (!(name[0] == '_' || (name[0] >= 'a' && name[0] <= 'x'))) continue;
      for (size_t len = 1; len <= name.size() + 1; ++len) {
        const std::string w = len <= name.size() ? name.substr(0, len) : name + "z";
        ASSERT_EQ(str(cmdfullname(w.c_str())), str(scan(w, v))) << "word " << w << " at version " << v;
        ++checked;
      }
    }
    EXPECT_GT(checked, 1000);
  }
}

TEST_F(CmdLookup, SharedPrefixesAndVersions) {
  interp.version = 920;
  EXPECT_STREQ(cmdfullname("g"), "generate");
  EXPECT_STREQ(cmdfullname("post"), "post");  // postfile comes first but needs 8 letters
  EXPECT_STREQ(cmdfullname("postf"), nullptr);
  EXPECT_STREQ(cmdfullname("postfile"), "postfile");
  EXPECT_STREQ(cmdfullname("copy"), "copy");
  EXPECT_EQ(cmdfullname("cop"), nullptr);  // copy needs all four letters
  EXPECT_STREQ(cmdfullname("cp"), "cp");
  EXPECT_STREQ(cmdfullname("eret"), "ereturn");
  EXPECT_EQ(cmdfullname("gr"), nullptr);  // graph is gone at 9.2 and gr7 needs three letters
  EXPECT_EQ(cmdfullname("pred"), nullptr);
  EXPECT_EQ(cmdfullname("Generate"), nullptr);  // names are case-sensitive
  EXPECT_EQ(cmdfullname(""), nullptr);
  EXPECT_EQ(cmdfullname("generatex"), nullptr);
  interp.version = 700;
  EXPECT_STREQ(cmdfullname("gr"), "graph");
  EXPECT_STREQ(cmdfullname("est"), "estimates");
  EXPECT_EQ(cmdfullname("eret"), nullptr);
  interp.version = 500;
  EXPECT_STREQ(cmdfullname("pred"), "predict");
  EXPECT_EQ(cmdfullname("cp"), nullptr);
}

TEST_F(CmdLookup, FindbuiltinLeavesOutItsNames) {
  interp.version = 920;
  EXPECT_EQ(findbuiltin("keep"), nullptr);
  EXPECT_STREQ(cmdfullname("keep"), "keep");
  EXPECT_EQ(findbuiltin("query"), nullptr);
  EXPECT_STREQ(findbuiltin("gen"), "generate");
  EXPECT_STREQ(findbuiltin("post"), "post");
}
