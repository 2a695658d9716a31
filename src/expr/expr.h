// Expressions: the compiler from text to postfix code and the evaluator that
// runs compiled code per observation (or in blocks of observations).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Result types.
enum : int { EXP_NUM = 0, EXP_STR = 1, EXP_NUMSTR = 3, EXP_MAT = 4, EXP_NUMMAT = 5 };

struct ExprProg {
  std::vector<uint16_t> code;   // postfix code words
  int type = EXP_NUM;           // result type: 0 numeric, 1 string, 4 matrix
  bool hasmat = false;          // code holds matrix operations
  int nsums = 0;                // running sums used
  std::string text;             // the expression text as compiled (blanks removed)
  bool empty() const { return code.empty(); }
};

struct ExprState {
  ExprProg ifpgm;   // the `if` qualifier of the current command
  ExprProg wepgm;   // the `=exp` of the current command
  std::vector<double> numlits;       // numeric literals of the current command
  std::vector<char> strpool;         // string literal pool
};
extern ExprState ex;

// Compiles the expression at the current token position; leaves the tokenizer
// just behind it. want: EXP_NUM, EXP_STR, EXP_NUMSTR, EXP_MAT, EXP_NUMMAT.
[[nodiscard]] int compexp(ExprProg& prog, int want, int brackets, int syntaxonly);
// Compiles a given text.
[[nodiscard]] int compexp_u(const char* text, ExprProg& prog, int want);
// Numeric value of prog at observation obs (1-based; scalar contexts use 1).
double evalnum(const ExprProg& prog, long obs);
// String value of prog at obs.
void evalstr(const ExprProg& prog, long obs, std::string& out);
// True when there is no `if` or ifpgm is non-zero (missing counts as true).
bool selobs(long obs);
// Clears the per-command literal tables and the standing programs.
void expr_reset_command();
