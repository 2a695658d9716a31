// Expressions: the compiler from text to postfix code and the evaluator that
// runs compiled code per observation (or in blocks of observations).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Result types.
enum : int { EXP_NUM = 0, EXP_STR = 1, EXP_NUMSTR = 3, EXP_MAT = 4, EXP_NUMMAT = 5 };

// Limits of one compiled expression; they bound the fixed-size stacks of the
// evaluator so that evaluation never allocates.
constexpr int EXPR_MAXCODE = 2400;   // code words
constexpr int EXPR_MAXLITS = 300;    // numeric literals per command
constexpr int EXPR_MAXPOOL = 512;    // bytes of string literals per command
constexpr int EXPR_MAXDEPTH = 250;   // evaluation stack entries
constexpr int EXPR_MAXSTRS = 10;     // strings pending on the stack
constexpr int EXPR_MAXMATS = 20;     // matrices pending on the stack
constexpr int EXPR_MAXSUMS = 4;      // running sums
constexpr int EXPR_STRMAX = 244;     // longest string value
constexpr long EXPR_BLOCK = 512;     // observations per block evaluation

struct ExprProg {
  std::vector<uint16_t> code;   // postfix code words
  int type = EXP_NUM;           // result type: 0 numeric, 1 string, 4 matrix
  bool hasmat = false;          // code holds matrix operations
  int nsums = 0;                // running sums used
  std::string text;             // the expression text as compiled (blanks removed)
  bool empty() const { return code.empty(); }
  // Added for the evaluator.
  std::vector<double> lits;     // numeric literals, operand k is lits[k-1]
  std::vector<char> pool;       // string literals, operand is a byte offset
  std::vector<uint8_t> poollen; // length of the literal starting at each offset
  bool blockok = false;         // numeric and free of order-dependent parts
  bool mvmodern = true;         // comparisons keep the order of .a .. .z
  bool subscripts = false;      // reads other observations (x[exp])
  int tsvar = 0, tspanel = 0;   // time and panel variables of operated names (L.x)
  int nvolatile = 0;            // calls of functions such as uniform()
  int maxdepth = 0;             // deepest evaluation stack reached
  std::vector<int> vars;        // variables read, each once
  // Running-sum state: reset when a new pass over the observations starts.
  mutable double sums[EXPR_MAXSUMS] = {0, 0, 0, 0};
  mutable long sumlast = 0;     // last observation accumulated (0: none yet)
  mutable long sumfrom = 0;     // first observation of the range being summed
};

// What a compile read besides its text, so that a kept program is reused only
// while a new compile would read the same: each name looked up as a variable
// (kind 'v': rc is the variable number, isstr its string type), each scalar
// ('s'), saved result ('r', sub 'r', 'e' or 's') and c() value ('c'), with what
// came back. checkable goes false when the compile read something not
// recorded this way (matrices, coefficients, characteristics, value labels,
// the time-series settings).
struct XlRead {
  char kind, sub;
  std::string name;
  int rc;
  double d;
  std::string s;
  bool isstr;
};
struct XlReads {
  std::vector<XlRead> list;
  bool checkable = true;
};
// A numeric condition compiled once and kept (keptexp.cpp): text empty
// means the slot holds nothing.
struct KeptExp {
  std::string text;
  int version = 0;   // language version it was compiled under
  XlReads reads;     // what it read besides its text
  ExprProg prog;
};
constexpr int EXPR_NKEPT = 8;  // loops nest; a few conditions stand at once

struct ExprState {
  ExprProg ifpgm;   // the `if` qualifier of the current command
  ExprProg wepgm;   // the `=exp` of the current command
  std::vector<double> numlits;       // numeric literals of the current command
  std::vector<char> strpool;         // string literal pool
  // Group range hook: while a `by` run is active its driver sets the current
  // group's bounds here (grp1 = 0 means no group: `_n` counts from 1).
  long grp1 = 0, grp2 = 0;
  int byvar = 0;        // 0 outside `by`, 1 first group, 2 later groups
  bool bylast = true;   // the current group is the last one
  // The current by-group as programs see it (grp1/grp2 stay 0 inside a
  // program the driver calls, so `_n` keeps counting the whole dataset).
  long byn1 = 0, byn2 = 0;  // first and last observation of the group (0: none)
  long byindex = 0;         // group number, 1 for the first group (0: no by)
  bool algonly = false; // compalgonly: coefficients compile to 0
  // Set whenever something may have left the command's standing programs or
  // literal tables other than fresh (a compile, a restarted run); cleared by
  // expr_reset_command, which has nothing to do while it stays clear.
  bool touched = true;
  XlReads* reads = nullptr;  // set while a compile's reads are being recorded
  KeptExp kept[EXPR_NKEPT];  // kept conditions, replaced in turn
  int keptnext = 0;          // the slot replaced next
};
extern ExprState ex;

// Stores that arrive with later subsystems reach the compiler through these
// hooks; each returns 0 when found. The defaults answer "not found".
struct ExprHooks {
  // Scalar by name: numeric (isstr false) or string value.
  int (*scalar)(const std::string& name, double* d, std::string* s, bool* isstr);
  // Saved result kind 'r', 'e' or 's': numeric, string or matrix (ismat).
  int (*saved)(char kind, const std::string& name, double* d, std::string* s, bool* isstr,
               bool* ismat);
  // c(name): numeric or string value.
  int (*creturn)(const std::string& name, double* d, std::string* s, bool* isstr);
  // Coefficient (se false) or standard error of equation eq (may be empty).
  int (*coef)(bool se, const std::string& eq, const std::string& name, double* d);
  // Matrix existence; element (i, j) 1-based.
  int (*matrix)(const std::string& name);
  int (*matel)(const std::string& name, double i, double j, double* d);
  // Value label lbl: the code of text (0), label missing or text absent (1).
  int (*vlabel)(const std::string& lbl, const std::string& text, double* code);
  // The estimation-sample variable, 0 when there is none.
  int (*esample)();
  // Characteristic value (for tin() and twithin()); false when absent.
  bool (*charget)(const std::string& var, const std::string& name, std::string* out);
  // A number in a display format (string()); 0 ok, nonzero invalid format.
  int (*fmtnum)(double v, const std::string& fmt, std::string* out);
  // Scalar functions of matrices (rowsof(), trace(), ...), given the raw
  // argument text: -1 when fn is not one, 0 with *d set, or a printed code.
  int (*matfunc)(const std::string& fn, const std::string& args, double* d);
  // The interpreter's state an expression reads, installed by the
  // interpreter: the command-language version x 100 (compilation and a few
  // functions keep older versions' rules) and the return code caught by the
  // last capture (`_rc`).
  int (*version)();
  int (*captrc)();
};
extern ExprHooks exhooks;

// Compiles the expression at the current token position; leaves the tokenizer
// just behind it. want: EXP_NUM, EXP_STR, EXP_NUMSTR, EXP_MAT, EXP_NUMMAT.
// brackets non-zero is the alternative mode of `if`: a `[` at depth zero
// ends the expression (so a weight may follow without a blank).
[[nodiscard]] int compexp(ExprProg& prog, int want, int brackets, int syntaxonly);
// Compiles a given text.
[[nodiscard]] int compexp_u(const char* text, ExprProg& prog, int want);
// Matrix expressions (`,` and `\` are operators) and algebra-only compilation.
[[nodiscard]] int compmatexp(ExprProg& prog, int want);
[[nodiscard]] int compalgonly(ExprProg& prog, int want);
// Numeric value of prog at observation obs (1-based; scalar contexts use 1).
double evalnum(const ExprProg& prog, long obs);
// String value of prog at obs.
void evalstr(const ExprProg& prog, long obs, std::string& out);
// The same into buf (at least EXPR_STRMAX + 1 bytes, NUL-terminated); returns the length.
int evalstr_n(const ExprProg& prog, long obs, char* buf);
// True when there is no `if` or ifpgm is non-zero (missing counts as true).
bool selobs(long obs);
// Clears the per-command literal tables and the standing programs.
void expr_reset_command();

// Block evaluation: out[i] = evalnum(prog, obs + i) for i < n (n <= EXPR_BLOCK).
// mask (may be null) names the observations whose value is wanted; functions
// with side effects (uniform()) are called only for those.
void evalnum_block(const ExprProg& prog, long obs, long n, double* out,
                   const unsigned char* mask);
// sel[i] = selobs(obs + i) for i < n (n <= EXPR_BLOCK).
void selobs_block(long obs, long n, unsigned char* sel);
// Restarts the running sums of prog (a new pass over the observations).
void expr_startrun(const ExprProg& prog);
// Gathers variable v of observations obs..obs+n-1 as doubles (zelta_data rules).
void expr_gather(int v, long obs, long n, double* out);

// Distribution tails for the statistical commands: ttail(df, t),
// Ftail(df1, df2, f) and invttail(df, p), missing outside their domains.
double fn_ttail(double df, double t);
double fn_Ftail(double d1, double d2, double f);
double fn_invttail(double df, double p);
double fn_normal(double z);
double fn_invnormal(double p);

// Shared by the data commands of this subsystem: the counts message plural.
inline const char* plural_s(long n) { return n == 1 ? "" : "s"; }
