// The function library as the expression compiler sees it: one table row per
// function name with its argument and result types and its implementation.
// Scalar implementations take their arguments as Values; unary numeric
// functions may also offer a vectorised block form used by the evaluator
// when the expression allows block evaluation.
#pragma once
#include <cstddef>
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
};

using FuncNum = double (*)(const FuncValue* args, int nargs, FuncCtx& ctx);
using FuncStr = void (*)(const FuncValue* args, int nargs, std::string& out, FuncCtx& ctx);
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
};

// Finds a function by name; nullptr when there is none.
const FuncDef* findfunc(std::string_view name);
// Row by opcode (for the evaluator); nullptr when none.
const FuncDef* funcbyopcode(int opcode);
