// The function table as one list: the fragments of the family files (math,
// strings, regular expressions, dates, distributions, random numbers) joined
// in that order, with the name and opcode indexes the compiler and evaluator
// use. Built once, on the first lookup.
#include <unordered_map>
#include <vector>

#include "expr/expr.h"
#include "expr/fn_lib.h"

FuncState fns;

namespace {

struct FnIndex {
  std::vector<FuncDef> all;                              // every row, table order
  std::unordered_map<std::string_view, size_t> byname;   // first row of a name
  std::vector<int> byop;                                 // opcode -> row + 1 (0 none)
};

// Returns the index, building it on first use; touches nothing else.
const FnIndex& fnindex() {
  static const FnIndex idx = [] {
    FnIndex x;
    for (FnRows f : {fn_math_rows(), fn_string_rows(), fn_regex_rows(), fn_date_rows(),
                     fn_dist_rows(), fn_random_rows()})
      x.all.insert(x.all.end(), f.rows, f.rows + f.n);
    x.byop.assign(FN_LASTOP + 1, 0);
    for (size_t i = 0; i < x.all.size(); ++i) {
      const FuncDef& d = x.all[i];
      x.byname.emplace(d.name, i);  // keeps the first row of a shared name
      if (d.opcode > 0 && d.opcode <= FN_LASTOP && !x.byop[static_cast<size_t>(d.opcode)])
        x.byop[static_cast<size_t>(d.opcode)] = static_cast<int>(i + 1);
    }
    return x;
  }();
  return idx;
}

}  // namespace

// Row of the function called name, or nullptr.
const FuncDef* findfunc(std::string_view name) {
  const FnIndex& x = fnindex();
  auto it = x.byname.find(name);
  return it == x.byname.end() ? nullptr : &x.all[it->second];
}

// Row with the given opcode, or nullptr.
const FuncDef* funcbyopcode(int opcode) {
  const FnIndex& x = fnindex();
  if (opcode <= 0 || opcode > FN_LASTOP) return nullptr;
  int k = x.byop[static_cast<size_t>(opcode)];
  return k ? &x.all[static_cast<size_t>(k - 1)] : nullptr;
}

// Every row in table order; *n gets the count.
const FuncDef* functable(size_t* n) {
  const FnIndex& x = fnindex();
  *n = x.all.size();
  return x.all.data();
}

void expr_reset() {
  fns = FuncState{};
  rx_clearcache();
  ex = ExprState{};
  expr_reset_command();
}
