// Numeric conditions compiled once and kept: a loop's condition line runs at
// every step, and most steps bring the same text.
#pragma once
#include "expr/expr.h"

// Compiles the numeric expression at the tokenizer, as compexp(.., EXP_NUM,
// 0, 0) would, and leaves the tokenizer behind it; *prog is a kept program
// when one was compiled from the same text under the same conditions. *prog
// stays valid until the next call.
[[nodiscard]] int compexp_kept(const ExprProg** prog);
