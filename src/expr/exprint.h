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
#include <vector>

#include "data/value.h"
#include "expr/expr.h"
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

// Variable number of name (exact, then a unique abbreviation), 0 when none;
// *ambiguous is set when the abbreviation names more than one.
int xl_findvar(const std::string& name, bool* ambiguous);
// compexp in two halves: capture the numeric expression at the tokenizer
// (moving it behind), and compile a captured text.
[[nodiscard]] int xl_capture_tok(std::string& text);
[[nodiscard]] int xl_compile(const std::string& text, ExprProg& prog, int want);
inline bool xl_namechar(int c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

// Row of a library function by opcode, filled when the compiler emits it.
const FuncDef* xf_row(int opcode);
void xf_remember(const FuncDef* row);

// Value semantics; misval is the system missing value `.`.
inline double xv_add(double a, double b) { return ((a >= misval) | (b >= misval)) ? misval : a + b; }
inline double xv_sub(double a, double b) { return ((a >= misval) | (b >= misval)) ? misval : a - b; }
inline double xv_mul(double a, double b) { return ((a >= misval) | (b >= misval)) ? misval : a * b; }
inline double xv_div(double a, double b) {
  return ((a >= misval) | (b >= misval) | (b == 0)) ? misval : a / b;
}
inline double xv_pow(double a, double b) {
  if ((a >= misval) | (b >= misval)) return misval;
  double r = std::pow(a, b);
  return std::isfinite(r) ? r : misval;
}
inline double xv_neg(double a) { return a >= misval ? misval : -a; }
// Comparison operand: non-finite values are `.`; before version 8 every
// missing value is `.` so that all compare equal.
inline double xv_cmpop(double a, bool modern) {
  if (!(a > -HUGE_VAL && a < HUGE_VAL)) return misval;
  if (!modern && a >= misval) return misval;
  return a;
}
inline double xv_fin(double a) { return (a > -HUGE_VAL && a < HUGE_VAL) ? a : misval; }
inline double xv_bool(bool b) { return b ? 1.0 : 0.0; }
// inrange(x, a, b): a missing bound is no bound.
inline double xv_inrange(double x, double a, double b) {
  if (x >= misval) return 0;
  return xv_bool((a >= misval || a <= x) && (b >= misval || x <= b));
}
