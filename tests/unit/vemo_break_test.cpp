// The element-by-element library functions look at Break as they go: a
// Break stops the statement with code 1, leaves no half-made result behind,
// and the same statement runs to the end without one.
#include <gtest/gtest.h>

#include <string>

#include "platform/platform.h"
#include "vemo/vemo.h"
#include "vemo/vm.h"

namespace {

int run(const std::string& line) {
  CcSource src;
  src.line = line;
  return vemo_runline(src);
}

// Runs line as if Break were pressed at the built-in's second look at it.
int broken(const std::string& line) {
  vemo_setsteplimit(1);
  const int rc = run(line);
  vemo_setsteplimit(0);
  stopflag = 0;
  return rc;
}

TEST(VemoLibBreak, ElementwiseFunctions) {
  ASSERT_EQ(vemo_start(), 0);
  ASSERT_EQ(run("u = J(1, 300000, 0.25)"), 0);
  EXPECT_EQ(broken("x = invnormal(u)"), 1);
  EXPECT_EQ(findglobal("x"), nullptr);
  EXPECT_EQ(broken("t = ttail(5, u)"), 1);
  EXPECT_EQ(findglobal("t"), nullptr);
  ASSERT_EQ(run("x = invnormal(u)"), 0);
  ASSERT_NE(findglobal("x"), nullptr);
  EXPECT_EQ(findglobal("x")->cols, 300000);
  vemo_clear();
}

}  // namespace
