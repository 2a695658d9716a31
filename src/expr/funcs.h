// The function library as the expression compiler sees it: one table row per
// function name with its argument and result types and its implementation.
// Scalar implementations take their arguments as Values; unary numeric
// functions may also offer a vectorised block form used by the evaluator
// when the expression allows block evaluation.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

struct FuncValue {
  double d = 0;          // numeric argument
  std::string_view s;    // string argument
};

// Context of the call: the observation being evaluated (1-based), for
// functions whose result depends on it; nothing else is reachable.
struct FuncCtx {
  long obs = 1;
  long n = 0, N = 0;     // _n and _N of the observation (0: obs and ds.nobs)
};

using FuncNum = double (*)(const FuncValue* args, int nargs, FuncCtx& ctx);
using FuncStr = void (*)(const FuncValue* args, int nargs, std::string& out, FuncCtx& ctx);
// Block form: out[i] = f(x[i]) for i < n (x and out may be the same array).
// Zero-argument volatile functions (uniform()) fill out with n successive
// draws and ignore x, which may be null.
using FuncVec1 = void (*)(const double* x, double* out, size_t n);

struct FuncDef {
  const char* name;      // name as typed (lower case)
  int opcode;            // function opcode in compiled code
  int minargs, maxargs;  // argument counts (maxargs -1 = unlimited)
  const char* argtypes;  // one char per argument: 'n' numeric, 's' string, 'a' either;
                         // the last char repeats for further arguments
  char rettype;          // 'n' numeric, 's' string
  FuncNum num;           // numeric result (rettype 'n')
  FuncStr str;           // string result (rettype 's')
  FuncVec1 vec1;         // optional block form of a one-argument numeric function
  bool volatile_;        // result changes between calls with equal arguments (uniform())
  int maxver = 0;        // last command-language version x 100 that knows the
                         // name (old names such as invt: 600); 0 = every version
};

// Function opcodes. The special forms keep the compiler's numbers (28 string,
// 29 substr, 79/110 cond, 178/179 inrange, 180/181 inlist); every other
// function has a number in FN_FIRSTOP..FN_LASTOP, so it never collides with an
// operator opcode. Rows that share a name (the numeric and string forms of
// inrange, inlist, cond) are found by name in the numeric form first.
constexpr int FN_FIRSTOP = 300;
constexpr int FN_LASTOP = 999;

// round(x, u): u floor(x/u + 0.5); a missing x unchanged, u = 0 gives x.
double fn_round(double x, double u);

// Finds a function by name; nullptr when there is none.
const FuncDef* findfunc(std::string_view name);
// Row by opcode (for the evaluator); nullptr when none.
const FuncDef* funcbyopcode(int opcode);
// Every row, in table order (for listings and tests); *n receives the count.
const FuncDef* functable(size_t* n);

// State of the function library: the random-number generators and the last
// regexm() match that regexs() reads. Tests reset it by assigning FuncState{}.
struct FuncState {
  uint32_t rx = 123456789, ry = 521288629, rz = 362436069, rw = 2262615;  // uniform()
  uint32_t rold = 1001;          // uniform0(): s = 69069 s mod 2^31
  bool rxmatched = false;        // the last regexm() matched
  std::string rxsubject;         // its subject string
  int rxnsub = 0;                // sub-expressions captured (0 = whole match only)
  long rxoff[20] = {};           // start/end byte offsets of sub-expressions 0..9 (-1 unset)
};
extern FuncState fns;

// The expression layer's session state back to its start (reset-all): the
// generators reseeded as at start-up, the last regexm() match and the
// compiled-pattern cache gone, no qualifier or by-group range kept.
void expr_reset();

// One uniform number in [0, 1) from the current generator; advances fns.
double urnuni();
// One number from the older generator of uniform0().
double urnuni0();
// Seeds the current generator with |n| (n < 2^31-1 checked by the caller).
void seturnseed_i4(long n);
// Restores a state string as reported by geturnseed; prints the message and
// returns 198 when the text is not a valid state.
[[nodiscard]] int seturnseed(const char* text);
// The 37-character state string ("X" + 4 x 8 hex digits + 4 hex check digits).
void geturnseed(std::string& buf);
// Registers `set seed`; called from expr_bindcommands().
void fn_bindset();

// Value of a date literal of the pseudo-functions d(), w(), m(), q(), h(),
// y() (letter given lower case), e.g. ('d', "15jan2005"); misval when the
// text is not a date of that kind.
double fn_datelit(char letter, std::string_view text);
