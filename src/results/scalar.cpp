// The `scalar` command: named numeric and string scalars, defined from an
// expression, listed and dropped. Expressions read them by name.
#include <string>
#include <vector>

#include "expr/expr.h"
#include "interp/cmdtab.h"
#include "interp/macro.h"
#include "interp/tokenizer.h"
#include "output/errors.h"
#include "output/output.h"
#include "results/resint.h"

namespace {

// scalar [define] name = exp
int sdefine(const std::string& name) {
  if (int rc = res_chkname(name)) return rc;
  if (std::string(gettok(prsestd)) != "=") return error(RC_SYNTAX);
  if (!*peektok_chr()) return required("expression");
  ExprProg prog;
  if (int rc = compexp(prog, EXP_NUMSTR, 0, 0)) return rc;
  if (*peektok_chr()) return error(RC_SYNTAX);
  NamedScalar v;
  v.isstr = prog.type == EXP_STR;
  if (v.isstr) evalstr(prog, 1, v.s);
  else v.d = evalnum(prog, 1);
  return scalar_set(name, v);
}

void listone(const std::string& name, const NamedScalar& v) {
  std::string n = name.size() < 12 ? std::string(12 - name.size(), ' ') + name : name;
  std::string val;
  if (v.isstr) val = "\"" + v.s + "\"";
  else macfmtnum(v.d, val);
  spoutsmlf("{txt}%s = {res}", n.c_str());
  spout21(val.c_str());
  newline();
}

// scalar list|dir [names | _all]
int slist() {
  std::vector<std::string> names;
  std::string w;
  while (!(w = gettok(prsestd)).empty()) names.push_back(w);
  if (names.empty() || (names.size() == 1 && names[0] == "_all")) {
    for (auto& p : res.scalars) listone(p.first, p.second);
    return 0;
  }
  for (auto& n : names) {
    const NamedScalar* v = scalar_find(n);
    if (!v) return errmsgf(RC_NOTFOUND, "scalar %s not found\n", n.c_str());
    listone(n, *v);
  }
  return 0;
}

// scalar drop names | _all
int sdrop() {
  std::vector<std::string> names;
  std::string w;
  while (!(w = gettok(prsestd)).empty()) names.push_back(w);
  if (names.empty()) return required("scalar name");
  for (auto& n : names) {
    if (n == "_all") {
      res.scalars.clear();
      continue;
    }
    bool found = false;
    for (size_t i = 0; i < res.scalars.size(); ++i)
      if (res.scalars[i].first == n) {
        res.scalars.erase(res.scalars.begin() + static_cast<long>(i));
        found = true;
        break;
      }
    if (!found) return errmsgf(RC_NOTFOUND, "scalar %s not found\n", n.c_str());
  }
  return 0;
}

int cmd_scalar(int) {
  std::string w = gettok(prsestd);
  if (w.empty()) return error(RC_SYNTAX);
  if (*peektok_chr() == '=') return sdefine(w);
  if (cmdcmp(w.c_str(), "define", 3)) return sdefine(gettok(prsestd));
  if (cmdcmp(w.c_str(), "list", 1) || w == "dir") return slist();
  if (w == "drop") return sdrop();
  return error(RC_SYNTAX);
}

}  // namespace

void scalar_bind() { cmdbind("scalar", cmd_scalar); }
