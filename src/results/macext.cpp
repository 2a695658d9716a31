// Extended macro functions whose values live in other subsystems: matrix
// stripes, the names of saved results, named scalars and matrices, `set`
// values, the state of a log, regular expressions, lengths of macros,
// normalised time-series operators, graph series and constraints. Reached
// from macextended() through machost.stores, which results_hooks_install
// points at macext_stores().
#include <fnmatch.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "data/value.h"
#include "data/tsnorm.h"
#include "data/varlist.h"
#include "expr/expr.h"
#include "expr/funcs.h"
#include "graphics/graphics.h"
#include "interp/cmdtab.h"
#include "interp/interp.h"
#include "interp/macro.h"
#include "interp/tokenizer.h"
#include "interp/wordscan.h"
#include "output/errors.h"
#include "output/format.h"
#include "output/logs.h"
#include "output/output.h"
#include "output/rc.h"
#include "results/resint.h"
#include "results/results.h"

namespace {

int badsyntax() { return sayerr("invalid syntax\n", RC_SYNTAX); }

// The next argument at p: a quoted string (simple or compound quotes,
// without them) or a word; false when there is none.
bool argument(const char*& p, std::string& val) {
  p = skipblanks(p);
  if (!*p) return false;
  const char *s, *e, *a;
  if (!parse_quoted_string(p, &s, &e, &a)) {
    val.assign(s, e);
    p = a;
    return true;
  }
  val = nextword(p);
  return true;
}

// rownames|colnames|roweq|coleq|rowfullnames|colfullnames matname: each
// stripe entry "eq:name" gives name, eq ("_" when it has none) or itself.
int stripes(bool rows, int part, const char* p, std::string& val) {
  std::string name = nextword(p);
  if (name.empty() || *skipblanks(p)) return badsyntax();
  const Matrix* m = mat_find(name);
  if (!m) return matnotfound(name.c_str());
  std::vector<std::string> names = rows ? m->rnames : m->cnames;
  const int n = rows ? m->rows : m->cols;
  if (static_cast<int>(names.size()) != n) mat_defnames(names, n, rows ? 'r' : 'c');
  std::vector<std::string> parts;
  for (const std::string& s : names) {
    const size_t colon = s.rfind(':');
    if (part == 0) parts.push_back(colon == std::string::npos ? s : s.substr(colon + 1));
    else if (part == 1) parts.push_back(colon == std::string::npos ? "_" : s.substr(0, colon));
    else parts.push_back(s);
  }
  val = joinwords(parts);
  return 0;
}

// r|e|s scalars|macros|matrices|functions: the names posted, in posting order.
int resultnames(char cls, const char* p, std::string& val) {
  std::string what = nextword(p);
  if (*skipblanks(p)) return badsyntax();
  const ResStore& st = res_store(cls);
  std::vector<std::string> names;
  if (cmdcmp(what.c_str(), "scalars", 7)) {
    for (const auto& s : st.scalars) names.push_back(s.first);
  } else if (cmdcmp(what.c_str(), "macros", 6)) {
    for (const auto& s : st.macros) names.push_back(s.first);
  } else if (cmdcmp(what.c_str(), "matrices", 8)) {
    for (const auto& s : st.matrices) names.push_back(s.first);
  } else if (cmdcmp(what.c_str(), "functions", 9)) {
    if (cls == 'e' && estval_samplevar() > 0) names.emplace_back("sample");
  } else {
    return badsyntax();
  }
  val = joinwords(names);
  return 0;
}

// all globals|scalars|matrices ["pattern"] / all numeric|string scalars ["pattern"]
int allnames(const char* p, std::string& val) {
  std::string what = nextword(p);
  int want = 0;  // scalars: 1 numeric only, 2 string only
  if (what == "numeric" || what == "string") {
    want = what == "numeric" ? 1 : 2;
    what = nextword(p);
    if (what != "scalars") return badsyntax();
  }
  std::string pat = "*";
  if (*skipblanks(p) && (!argument(p, pat) || *skipblanks(p))) return badsyntax();
  std::vector<std::string> names;
  auto add = [&](const std::string& n) {
    if (!fnmatch(pat.c_str(), n.c_str(), 0)) names.push_back(n);
  };
  if (what == "globals") {
    for (ObjEntry* e = dmfirst(OBJ_GLOBAL); e; e = e->tnext)
      if (e->name[0] != '!') add(e->name);
  } else if (what == "scalars") {
    for (const auto& s : ::res.scalars)
      if (want == 0 || (want == 2) == s.second.isstr) add(s.first);
  } else if (what == "matrices") {
    for (const auto& m : ::res.mats) add(m.first);
  } else {
    return badsyntax();
  }
  std::sort(names.begin(), names.end());
  val = joinwords(names);
  return 0;
}

// set name: the current value of a setting, as c(name) gives it.
int setvalue(const char* p, std::string& val) {
  std::string name = nextword(p);
  if (name.empty() || *skipblanks(p)) return badsyntax();
  double d = 0;
  bool isstr = false;
  if (creturn_value(name, &d, &val, &isstr) != 0) return sayerr("set " + name + " not found\n", RC_NOTFOUND);
  if (!isstr) macfmtnum(d, val);
  return 0;
}

// log [status|filename|type] [logname]: of the unnamed log, or of the one
// named; status is "on", "off" (paused) or "closed" (then the others are empty).
int loginfo(const char* p, std::string& val) {
  std::string what = nextword(p), name = nextword(p);
  if (*skipblanks(p)) return badsyntax();
  if (what.empty()) what = "status";
  std::string fn, status, type;
  const bool open = out_loginfo(name, &fn, &status, &type);
  if (what == "status") val = open ? status : "closed";
  else if (what == "filename") val = fn;
  else if (what == "type") val = type;
  else return badsyntax();
  return 0;
}

// regexmatch "s" "re" (1 or 0; the match is kept for regexsubexp),
// regexreplace "s" "re" "with", regexsubexp #: the expression functions.
int regex(int which, const char* p, std::string& val) {
  static const char* const fnname[] = {"regexm", "regexr", "regexs"};
  const int nargs = which == 0 ? 2 : which == 1 ? 3 : 1;
  std::string a[3];
  for (int i = 0; i < nargs; ++i)
    if (!argument(p, a[i])) return badsyntax();
  if (*skipblanks(p)) return badsyntax();
  const FuncDef* f = findfunc(fnname[which]);
  FuncValue v[3];
  FuncCtx ctx;
  if (which == 2) {
    char* e = nullptr;
    const long n = std::strtol(a[0].c_str(), &e, 10);
    if (a[0].empty() || *e || n < 0) return badsyntax();
    v[0].d = static_cast<double>(n);
  } else {
    for (int i = 0; i < nargs; ++i) v[i].s = a[i];
  }
  if (f->rettype == 'n') macfmtnum(f->num(v, nargs, ctx), val);
  else f->str(v, nargs, val, ctx);
  return 0;
}

// _length name: bytes of the macro's text (a name starting with "_" is a
// local), 0 when it is undefined.
int length(const char* p, std::string& val) {
  std::string name = nextword(p);
  if (name.empty() || *skipblanks(p)) return badsyntax();
  const std::string* t = macptr(name.c_str());
  val = std::to_string(t ? t->size() : 0);
  return 0;
}

// tsnorm ops [, varname]: the operators normalised ("l.L.d" gives "L2D");
// with varname the last element is a variable name kept after a dot.
int tsnormfn(const char* p, std::string& val) {
  p = skipblanks(p);
  const char* b = p;
  while (*p && *p != ' ' && *p != ',') ++p;
  std::string text(b, p);
  p = skipblanks(p);
  bool withvar = false;
  if (*p == ',') {
    ++p;
    if (nextword(p) != "varname") return badsyntax();
    withvar = true;
  }
  if (text.empty() || *skipblanks(p)) return badsyntax();
  std::string var;
  if (withvar) {
    const size_t dot = text.rfind('.');
    if (dot == std::string::npos || dot + 1 == text.size()) return badsyntax();
    var = text.substr(dot + 1);
    text.resize(dot);
  }
  if (int rc = tsnorm(text, val)) return rc;
  if (withvar) val = val.empty() ? var : val + "." + var;
  return 0;
}

// serset id|k|N|varnames | serset varnum name | serset type|format|min|max #:
// facts of the current series set; "" for id, k and N when none is current.
int sersetfn(const char* p, std::string& val) {
  std::string what = nextword(p), arg = nextword(p);
  if (*skipblanks(p)) return badsyntax();
  const Serset* s = serset_cur();
  if (what == "id" || what == "k" || what == "N" || what == "varnames") {
    if (!arg.empty()) return badsyntax();
    if (!s) return 0;
    if (what == "id") val = std::to_string(serset_borrow());  // the current entry's number
    else if (what == "k") val = std::to_string(s->k);
    else if (what == "N") val = std::to_string(s->n);
    else val = joinwords(std::vector<std::string>(s->names, s->names + s->k));
    return 0;
  }
  if (!s) return sayerr("no serset in use\n", RC_NOTFOUND);
  if (what == "varnum") {
    if (arg.empty()) return badsyntax();
    for (int j = 0; j < s->k; ++j)
      if (s->names[j] == arg) {
        val = std::to_string(j + 1);
        return 0;
      }
    return sayerr("serset variable " + arg + " not found\n", RC_NOTFOUND);
  }
  char* e = nullptr;
  const long j = std::strtol(arg.c_str(), &e, 10);
  if (arg.empty() || *e || j < 1 || j > s->k) return badsyntax();
  const size_t i = static_cast<size_t>(j - 1);
  if (what == "type") val = typename_of(s->types[i]);
  else if (what == "format") val = s->fmts[i];
  else if (what == "min") macfmtnum(s->mins[i], val);
  else if (what == "max") macfmtnum(s->maxs[i], val);
  else return badsyntax();
  return 0;
}

// constraint dir | constraint #: this system keeps no constraint store (the
// hypothesis tests take their constraints on the command line), so the list
// is empty and every number is undefined.
int constraintfn(const char* p, std::string& val) {
  std::string what = nextword(p);
  if (*skipblanks(p)) return badsyntax();
  if (what == "dir") return 0;
  char* e = nullptr;
  const long n = std::strtol(what.c_str(), &e, 10);
  if (what.empty() || *e || n < 1 || n > 1999) return badsyntax();
  val.clear();
  return sayerr("constraint " + what + " not found\n", RC_NOTFOUND);
}

}  // namespace

int macext_stores(const std::string& fn, const char* rest, std::string& val) {
  auto is = [&](const char* nm, int min) { return cmdcmp(fn.c_str(), nm, min); };
  if (is("rownames", 4)) return stripes(true, 0, rest, val);
  if (is("colnames", 4)) return stripes(false, 0, rest, val);
  if (is("roweq", 4)) return stripes(true, 1, rest, val);
  if (is("coleq", 4)) return stripes(false, 1, rest, val);
  if (is("rowfullnames", 4)) return stripes(true, 2, rest, val);
  if (is("colfullnames", 4)) return stripes(false, 2, rest, val);
  if (fn == "r" || fn == "e" || fn == "s") return resultnames(fn[0], rest, val);
  if (fn == "all") return allnames(rest, val);
  if (is("set", 3)) return setvalue(rest, val);
  if (is("log", 3)) return loginfo(rest, val);
  if (is("regexmatch", 5)) return regex(0, rest, val);
  if (is("regexreplace", 6)) return regex(1, rest, val);
  if (is("regexsubexp", 6)) return regex(2, rest, val);
  if (fn == "_length") return length(rest, val);
  if (fn == "tsnorm") return tsnormfn(rest, val);
  if (fn == "serset") return sersetfn(rest, val);
  if (fn == "constraint") return constraintfn(rest, val);
  return -1;
}
