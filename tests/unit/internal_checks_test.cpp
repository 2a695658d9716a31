// Internal checks (ZASSERT): live in Debug and sanitizer builds, where a broken
// invariant aborts with its message; compiled out in Release, where the
// condition is not even evaluated. Binding a handler to a name missing from
// the command table is such a programmer error and must not pass silently.
#include <gtest/gtest.h>

#include "interp/cmdtab.h"
#include "output/errors.h"
#include "platform/zassert.h"

namespace {

[[maybe_unused]] int handler(int) { return 0; }

TEST(InternalChecks, ConditionEvaluatedOnlyInCheckedBuilds) {
  int calls = 0;
  auto holds = [&] { ++calls; return true; };
  ZASSERT(holds(), "never fails");
#ifdef NDEBUG
  EXPECT_EQ(calls, 0);
#else
  EXPECT_EQ(calls, 1);
#endif
}

TEST(InternalChecks, FailureAbortsWithItsMessage) {
#ifdef NDEBUG
  GTEST_SKIP() << "internal checks are compiled out in Release";
#else
  EXPECT_DEATH(ZASSERT(1 + 1 == 3, "arithmetic broke"), "internal check failed: arithmetic broke");
#endif
}

TEST(InternalChecks, BindingAnUnknownCommandFailsLoudly) {
#ifdef NDEBUG
  GTEST_SKIP() << "internal checks are compiled out in Release";
#else
  EXPECT_DEATH(cmdbind("no_such_command_name", handler), "\"no_such_command_name\" is not in the command table");
  EXPECT_DEATH(cmdbind_scan("no_such_word", handler), "\"no_such_word\" is not in the command table");
#endif
}

// Codes keep their numbers under their names, and the message variants map to
// the codes they stand for.
TEST(ReturnCodes, NamesKeepTheirNumbers) {
  static_assert(RC_SYNTAX == 198 && RC_NOTFOUND == 111 && RC_DEFINED == 110);
  static_assert(RC_FILEEXISTS == 602 && RC_NOMEM == 909 && RC_INSUFMEM == 950);
  static_assert(RC_TOOMANYVARS == 103 && RC_TOOMANYVALUES == 134);
  EXPECT_EQ(error(RC_OK), RC_OK);
}

}  // namespace
