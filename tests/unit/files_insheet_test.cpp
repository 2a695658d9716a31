// insheet of a large file without quotes, scanned in blocks on several
// threads, against the same rows read one at a time (one text field put in
// quotes, which changes no value, sends the second file down that path):
// the same variables, types, values, notes and line numbers.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "data/store.h"
#include "files_testutil.h"
#include "interp/interp.h"
#include "platform/platform.h"

namespace {

struct InsheetBlocks : FilesTest {
  // What insheet made of a file: the notes it printed, then every
  // variable's name, type and values.
  std::string load(const std::string& fn) {
    sink.clear();
    EXPECT_EQ(execline("insheet using " + fn + ", clear comma missing(-99)"), 0);
    std::string out = sink;
    for (int v = 1; v <= ds.nvar; ++v) {
      out += varname(v) + " " + std::to_string(vartype(v)) + ":";
      for (long i = 1; i <= ds.nobs; ++i) {
        std::string s;
        szelta_data(v, i, s);
        char b[40];
        if (isstrtype(vartype(v))) out += " " + s;
        else std::snprintf(b, sizeof b, " %.17g", zelta_data(v, i)), out += b;
      }
      out += "\n";
    }
    return out;
  }
};

TEST_F(InsheetBlocks, SameAsOneRowAtATime) {
  // About 10 MB: past the size that is split between threads. Column a
  // holds integers, b decimals (double), c small integers with the token
  // -99 and NA, d numbers until a word far down the file, e a short row's
  // missing field; blank lines here and there.
  std::string text = "a,b,c,d,e\n";
  const long rows = 400000;
  for (long r = 1; r <= rows; ++r) {
    char line[160];
    const char* c = r % 97 == 0 ? "-99" : r % 89 == 0 ? "NA" : r % 2 ? "3" : "-7";
    const std::string d = r == rows - 1000 ? "oops" : std::to_string(r % 1000) + ".25";
    if (r % 5000 == 0) text += "   \n";
    if (r % 7001 == 0)
      std::snprintf(line, sizeof line, "%ld,%ld.125,%s,%s\n", r * 3, r, c, d.c_str());
    else
      std::snprintf(line, sizeof line, "%ld,%ld.125,%s,%s,%ld\n", r * 3, r, c, d.c_str(), r % 50);
    text += line;
  }
  const std::string fast = path("fast.csv"), slow = path("slow.csv");
  auto write = [](const std::string& fn, const std::string& t) {
    std::FILE* f = std::fopen(fn.c_str(), "wb");
    std::fwrite(t.data(), 1, t.size(), f);
    std::fclose(f);
  };
  write(fast, text);
  std::string quoted = text;
  quoted.replace(quoted.find(",oops,"), 6, ",\"oops\",");
  write(slow, quoted);
  const std::string a = load(fast);
  EXPECT_EQ(ds.nobs, rows);
  EXPECT_NE(a.find("d stored as text: \"oops\" on line"), std::string::npos) << a.substr(0, 400);
  EXPECT_EQ(a, load(slow));
  // A Break during either scan ends insheet with the data as they were.
  for (const std::string& fn : {fast, slow}) {
    stopflag = 1;
    EXPECT_EQ(execline("insheet using " + fn + ", clear comma nonames"), 1);
    stopflag = 0;
    EXPECT_EQ(ds.nobs, rows);
    EXPECT_EQ(varname(1), "a");
  }
}

}  // namespace
