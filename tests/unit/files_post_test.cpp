// Posting below the commands: the records `post` writes are byte for byte
// those `save` writes for the same values, and a write failure at any step
// leaves the previous file in the target's place, no temporary file behind
// and the handle forgotten.
#include <gtest/gtest.h>

#include <string>

#include "data/store.h"
#include "files/atomicfile.h"
#include "files/files.h"
#include "files_testutil.h"
#include "interp/interp.h"

namespace {

using PostTest = FilesTest;

// Rows of values every type holds exactly, with missing codes.
const char* const rows[] = {
    "(-127) (-32767) (-2147483647) (0.5) (-1e300) (\"abcde\")",
    "(100) (32740) (2147483620) (1e30) (1/3) (\"\")",
    "(.a) (.b) (.c) (.d) (.z) (\"x\")",
    "(.) (7) (-7) (-0.25) (2) (\"hello\")",
};

TEST_F(PostTest, RecordsMatchWhatSaveWrites) {
  ASSERT_EQ(execline("postfile h byte b int i long l float f double d str5 s using " + path("p")), 0);
  for (const char* r : rows) ASSERT_EQ(execline(std::string("post h ") + r), 0) << r;
  ASSERT_EQ(execline("postclose h"), 0);
  ASSERT_EQ(execline("use " + path("p")), 0);
  ASSERT_EQ(ds.nobs, 4);
  ASSERT_EQ(execline("save " + path("s")), 0);
  const std::string posted = slurp(path("p.dta")), saved = slurp(path("s.dta"));
  const size_t recs = 4 * (1 + 2 + 4 + 4 + 8 + 5);
  ASSERT_EQ(posted.size(), saved.size());
  EXPECT_EQ(posted.substr(posted.size() - recs), saved.substr(saved.size() - recs));
  EXPECT_EQ(posted.substr(0, 4), saved.substr(0, 4));  // release, order, type
  // Values built in memory independently of posting give the same records.
  drop_all();
  const int types[] = {ST_BYTE, ST_INT, ST_LONG, ST_FLOAT, ST_DOUBLE, 5};
  const char* names[] = {"b", "i", "l", "f", "d", "s"};
  for (int k = 0; k < 6; ++k) ASSERT_EQ(addvar(names[k], types[k]), 0);
  ASSERT_EQ(setobs_quiet(4), 0);
  const double v[4][5] = {{-127, -32767, -2147483647, 0.5, -1e300},
                          {100, 32740, 2147483620, 1e30, 1.0 / 3},
                          {misval_k(1), misval_k(2), misval_k(3), misval_k(4), misval_k(26)},
                          {misval, 7, -7, -0.25, 2}};
  const char* s[4] = {"abcde", "", "x", "hello"};
  for (long i = 1; i <= 4; ++i) {
    for (int k = 0; k < 5; ++k) store(k + 1, i, v[i - 1][k]);
    safe_sstore(6, i, s[i - 1]);
  }
  ASSERT_EQ(execline("save " + path("m")), 0);
  const std::string built = slurp(path("m.dta"));
  EXPECT_EQ(posted.substr(posted.size() - recs), built.substr(built.size() - recs));
}

TEST_F(PostTest, WriteFailureAtEveryStepKeepsThePreviousFile) {
  ASSERT_EQ(execline("postfile h x using " + path("a")), 0);
  ASSERT_EQ(execline("post h (1)"), 0);
  ASSERT_EQ(execline("postclose h"), 0);
  const std::string good = slurp(path("a.dta"));
  // Header, three buffer writes, the count, the sync and the rename.
  for (int at = 1; at <= 7; ++at) {
    afs = AtomicFileState{};
    afs.failat = at;
    int rc = execline("postfile h x using " + path("a") + ", replace every(2)");
    for (int k = 1; k <= 5 && rc == 0; ++k) rc = execline("post h (" + std::to_string(k) + ")");
    if (rc == 0) rc = execline("postclose h");
    EXPECT_EQ(rc, 699) << "failure at " << at;
    EXPECT_EQ(slurp(path("a.dta")), good) << "failure at " << at;
    EXPECT_EQ(listdir(dir).size(), 1u) << "temporary file left after failure at " << at;
    EXPECT_EQ(execline("postclose h"), 111) << "handle kept after failure at " << at;
  }
  afs = AtomicFileState{};
  ASSERT_EQ(execline("postfile h x using " + path("a") + ", replace every(2)"), 0);
  for (int k = 1; k <= 5; ++k) ASSERT_EQ(execline("post h (" + std::to_string(k) + ")"), 0);
  ASSERT_EQ(execline("postclose h"), 0);
  ASSERT_EQ(execline("use " + path("a") + ", clear"), 0);
  EXPECT_EQ(ds.nobs, 5);
  EXPECT_EQ(zelta_data(1, 5), 5);
}

}  // namespace
