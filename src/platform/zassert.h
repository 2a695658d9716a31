// ZASSERT(cond, msg): a check on an invariant that only a programmer can
// break (a table lookup that must succeed, an operand inside its frame). Live
// in Debug and sanitizer builds, and wherever ZELTA_ASSERTS is defined;
// compiled out in Release (NDEBUG), where cond is not evaluated. A failure
// prints the file, line, message and condition and aborts. User input must
// never trip one: bad input gets a message and a return code instead.
// ZASSERT_ON is 1 where the checks are live, for a check that needs a loop.
#pragma once

#if !defined(NDEBUG) || defined(ZELTA_ASSERTS)
#define ZASSERT_ON 1
#include <cstdio>
#include <cstdlib>
#include <string>

[[noreturn]] inline void zassert_fail(const char* cond, const std::string& msg, const char* file,
                                      int line) {
  std::fprintf(stderr, "%s:%d: internal check failed: %s (%s)\n", file, line, msg.c_str(), cond);
  std::abort();
}
#define ZASSERT(cond, msg) ((cond) ? (void)0 : zassert_fail(#cond, (msg), __FILE__, __LINE__))
#else
#define ZASSERT_ON 0
#define ZASSERT(cond, msg) ((void)sizeof((cond) ? 1 : 0))
#endif
