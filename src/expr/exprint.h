// Internals shared by the expression lexer, compiler and evaluators: the
// extent scanner, number reading, the value semantics of the operators
// (one definition used by both the observation and the block evaluator, so
// that the two paths cannot drift apart) and the function-row cache.
#pragma once
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "data/store.h"
#include "expr/funcs.h"

// Captures the expression text starting at p: blanks outside quotes are
// removed and the capture stops where the expression ends. matmode makes `,`
// an operator; brackets ends the text at a `[` at depth zero. Prints the
// message and returns its code on unbalanced brackets or quotes.
[[nodiscard]] int xl_capture(const char* p, bool matmode, bool brackets, std::string& text,
                             const char** endp);
// Reads a whole span as a numeric literal (decimal, hexadecimal float or a
// missing value); false when the span is not a number.
bool xl_number(std::string_view s, double* out);
// Index just behind the quoted string that starts at s[i] (plain or
// compound), or npos when it is not closed.
size_t xl_quoteend(std::string_view s, size_t i);
inline bool xl_namechar(int c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

// Row of a library function by opcode, filled when the compiler emits it.
const FuncDef* xf_row(int opcode);
void xf_remember(const FuncDef* row);

// Value semantics. M is the system missing value `.`.
constexpr double XM = 0x1p1023;
inline double xv_add(double a, double b) { return ((a >= XM) | (b >= XM)) ? XM : a + b; }
inline double xv_sub(double a, double b) { return ((a >= XM) | (b >= XM)) ? XM : a - b; }
inline double xv_mul(double a, double b) { return ((a >= XM) | (b >= XM)) ? XM : a * b; }
inline double xv_div(double a, double b) {
  return ((a >= XM) | (b >= XM) | (b == 0)) ? XM : a / b;
}
inline double xv_pow(double a, double b) {
  if ((a >= XM) | (b >= XM)) return XM;
  double r = std::pow(a, b);
  return std::isfinite(r) ? r : XM;
}
inline double xv_neg(double a) { return a >= XM ? XM : -a; }
// Comparison operand: non-finite values are `.`; before version 8 every
// missing value is `.` so that all compare equal.
inline double xv_cmpop(double a, bool modern) {
  if (!(a > -HUGE_VAL && a < HUGE_VAL)) return XM;
  if (!modern && a >= XM) return XM;
  return a;
}
inline double xv_fin(double a) { return (a > -HUGE_VAL && a < HUGE_VAL) ? a : XM; }
inline double xv_bool(bool b) { return b ? 1.0 : 0.0; }
// inrange(x, a, b): a missing bound is no bound.
inline double xv_inrange(double x, double a, double b) {
  if (x >= XM) return 0;
  return xv_bool((a >= XM || a <= x) && (b >= XM || x <= b));
}
