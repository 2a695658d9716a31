// Dataset-interface built-ins over names and selections: st_dir() lists the
// names of macros, scalars, matrices and saved results matching a pattern,
// st_select() keeps the rows or columns of a matrix or view that a selector
// vector marks (a view stays a view), and st_tsrevar() turns variable names,
// time-series operated ones included, into variable numbers.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "data/chars.h"
#include "data/store.h"
#include "data/varlist.h"
#include "interp/macro.h"
#include "vemo/lib.h"
#include "vemo/stsel.h"
// after the Vemo headers, whose helpers name their results `res`
#include "output/rc.h"
#include "results/results.h"

using namespace vlib;

namespace {

bool globmatch(const char* pat, const char* s) {
  if (!*pat) return !*s;
  if (*pat == '*') return globmatch(pat + 1, s) || (*s && globmatch(pat, s + 1));
  if (*pat == '?' || *pat == *s) return *s && globmatch(pat + 1, s + 1);
  return false;
}

std::string trimmed(const std::string& s) {
  size_t b = s.find_first_not_of(' '), e = s.find_last_not_of(' ');
  return b == std::string::npos ? "" : s.substr(b, e - b + 1);
}

// st_dir(cat, subcat, pattern [, adorn]): the sorted names, as a column,
// of cat "local", "global", "r()", "e()" or "s()" and subcat "macro",
// "numscalar", "strscalar" or "matrix" that match pattern (* and ?). With
// adorn nonzero, saved results come as "r(name)".
bool b_st_dir(int n) {
  for (int i = 0; i < 3; ++i)
    if (!needstrscalar(arg(n, i)) || !readable(arg(n, i))) return false;
  bool adorn = false;
  if (n == 4) {
    if (!needrealscalar(arg(n, 3))) return false;
    adorn = arg(n, 3)->re()[0] != 0;
  }
  const std::string cat = trimmed(sval(arg(n, 0))), sub = trimmed(sval(arg(n, 1)));
  const std::string pat = trimmed(sval(arg(n, 2)));
  const int kind = sub == "macro" ? 1 : sub == "numscalar" ? 2 : sub == "strscalar" ? 3 : sub == "matrix" ? 4 : 0;
  if (!kind) return vmerrmsg(RC_VM_RANGE, sub + " invalid; use macro, numscalar, strscalar or matrix");
  std::vector<std::string> names;
  std::string pre, post;
  if (cat == "local" || cat == "global") {
    if (cat == "local") {
      if (kind != 1) return vmerrmsg(RC_VM_RANGE, "locals are macros only");
      for (ObjEntry* e = dmfirst(mac.typelmac); e; e = e->tnext)
        if (e->name[0] == '_') names.emplace_back(e->name + 1);
    } else if (kind == 1) {
      for (ObjEntry* e = dmfirst(OBJ_GLOBAL); e; e = e->tnext) names.emplace_back(e->name);
    } else if (kind == 4) {
      for (const auto& m : res.mats) names.push_back(m.first);
    } else {
      for (const auto& s : res.scalars)
        if (s.second.isstr == (kind == 3)) names.push_back(s.first);
    }
  } else if (cat == "r()" || cat == "e()" || cat == "s()") {
    const char cls = cat[0];
    if (kind == 3 || (cls == 's' && kind != 1)) return vmerrmsg(RC_VM_RANGE, cat + " has no " + sub + " results");
    const ResStore& st = res_store(cls);
    if (kind == 1)
      for (const auto& m : st.macros) names.push_back(m.first);
    else if (kind == 2)
      for (const auto& s : st.scalars) names.push_back(s.first);
    else
      for (const auto& m : st.matrices) names.push_back(m.first);
    if (adorn) (pre = cls) += '(', post = ')';
  } else {
    return vmerrmsg(RC_VM_RANGE, cat + " invalid; use local, global, r(), e() or s()");
  }
  std::vector<std::string> out;
  for (const std::string& nm : names)
    if (globmatch(pat.c_str(), nm.c_str())) out.push_back(pre + nm + post);
  std::sort(out.begin(), out.end());
  out.erase(std::unique(out.begin(), out.end()), out.end());
  Mat* col = mkmat(nullptr, ET_STR, static_cast<int>(out.size()), 1);
  if (!col) return false;
  for (size_t k = 0; k < out.size(); ++k) col->str()[k] = vstr_new(out[k].data(), out[k].size());
  return ret(n, col);
}

// st_select(A, V, e): A gets the rows of V where the column vector e is
// nonzero (the columns, for a row vector e). When V is a view, A is a view
// onto the same cells of the dataset.
bool b_st_select(int n) {
  Mat* a = arg(n, 0);
  Mat* v = arg(n, 1);
  Mat* e = arg(n, 2);
  if (a->kind == K_FCN || v->kind == K_FCN) return vmerr(RC_VM_FCN);
  if (a->immortal) return vmerr(RC_VM_LVAL);
  if (!needreal(e) || !readable(e)) return false;
  if (!v->view) {
    // the rows or columns of a matrix: as select() picks them
    static const int sel = builtin_find("select");
    if (vm.sp + 2 > VM_STACK) return vmerr(RC_VM_STACK);
    mref(v);
    vpush(v);
    mref(e);
    vpush(e);
    // called directly: a failure is st_select()'s own in the traceback
    if (!builtins()[static_cast<size_t>(sel)].fn(2)) return false;
    Mat* r = vm.stack[static_cast<size_t>(--vm.sp)];
    if (a->view) vview_release(a);
    mswap(a, r);
    mfree(r);
    return retvoid(n);
  }
  const VView& vv = *v->vv;
  const bool byrow = e->cols == 1 && (e->rows != 1 || v->rows == 1);
  const bool bycol = e->rows == 1 && !byrow;
  if (!byrow && !bycol) return vmerr(RC_VM_VECTOR);
  if ((byrow ? e->rows : e->cols) != (byrow ? v->rows : v->cols)) return vmerr(RC_VM_CONFORM);
  std::vector<int> vars;
  ObsSel obs;
  if (byrow) {
    vars = vv.vars;
    std::vector<long> keep;
    for (int i = 0; i < v->rows; ++i)
      if (e->re()[i] != 0) keep.push_back(vv.obs.get(i));
    bool consecutive = true;
    for (size_t k = 1; k < keep.size(); ++k)
      if (keep[k] != keep[k - 1] + 1) consecutive = false;
    if (consecutive) {
      obs.first = keep.empty() ? 1 : keep[0];
      obs.count = static_cast<long>(keep.size());
    } else {
      obs.range = false;
      obs.list = std::move(keep);
    }
  } else {
    for (int j = 0; j < v->cols; ++j)
      if (e->re()[j] != 0) vars.push_back(vv.vars[static_cast<size_t>(j)]);
    obs = vv.obs;
  }
  const bool str = vv.str;
  if (!vview_make(a, std::move(vars), std::move(obs), str)) return false;
  return retvoid(n);
}

// A variable by name: exact, else a unique abbreviation when allowed.
int findname(const std::string& name) {
  if (int v = findvarexact(name.c_str())) return v;
  if (!ds.varabbrev) return 0;
  int found = 0, k = 0;
  for (int v = 1; v <= ds.nvar; ++v)
    if (!std::strncmp(ds.varlist[static_cast<size_t>(v)].c_str(), name.c_str(), name.size())) ++k, found = v;
  return k == 1 ? found : 0;
}

// st_tsrevar(names): the variable numbers of the names (a string row
// vector, each element one or more names); an operated name such as L.x or
// D2.x becomes a temporary double variable holding its values, dropped when
// the program or do-file that made it ends.
bool b_st_tsrevar(int n) {
  Mat* a = arg(n, 0);
  if (!needstr(a) || !readable(a)) return false;
  if (a->rows != 1 && a->n()) return vmerr(RC_VM_ROWVEC);
  std::vector<double> out;
  std::vector<int> made;
  auto undo = [&]() {
    if (made.empty()) return;
    std::vector<char> f(static_cast<size_t>(ds.nvar) + 1, 0);
    for (int v : made) f[static_cast<size_t>(v)] = 1;
    (void)dropvars_flagged(f);
    ++vm.st_epoch;
  };
  for (size_t k = 0; k < a->n(); ++k) {
    const std::string all = sval(a, k);
    size_t p = 0;
    while (p < all.size()) {
      const size_t b = all.find_first_not_of(' ', p);
      if (b == std::string::npos) break;
      if (all.find('.', b) == std::string::npos || all.find('.', b) > all.find(' ', b)) {
        size_t e = all.find(' ', b);
        if (e == std::string::npos) e = all.size();
        const std::string nm = all.substr(b, e - b);
        if (nm.size() > 65) {
          undo();
          return vmerr(RC_VM_VARNAME);
        }
        const int v = findname(nm);
        if (!v) {
          undo();
          return vmerrmsg(RC_VM_RANGE, "variable " + nm + " not found");
        }
        out.push_back(v);
        p = e;
        continue;
      }
      // an operated item: its variables and recipes, then one new variable each
      const char* end = nullptr;
      std::vector<int> vars;
      std::vector<TsRecipe> rcps;
      int tvar = 0, pvar = 0;
      if (tsparse_item(all.c_str() + b, &end, vars, rcps)) {
        undo();
        // the parser has said what is wrong
        return vmerr(RC_VM_RANGE);
      }
      bool anyop = false;
      for (const TsRecipe& r : rcps) anyop = anyop || !r.plain();
      if (anyop) {
        if (tscheck(&tvar, &pvar)) {
          undo();
          return vmerr(RC_VM_RANGE);
        }
      }
      for (size_t q = 0; q < vars.size(); ++q) {
        if (rcps[q].plain()) {
          out.push_back(vars[q]);
          continue;
        }
        const std::string tmp = tmpname_next();
        if (addvar(tmp.c_str(), ST_DOUBLE)) {
          undo();
          return vmerr(RC_VM_NOMEM);
        }
        const int nv = ds.nvar;
        made.push_back(nv);
        for (long o = 1; o <= ds.nobs; ++o) colview(nv).put(o, tsdata(vars[q], rcps[q], o, tvar, pvar));
        out.push_back(nv);
      }
      p = static_cast<size_t>(end - all.c_str());
    }
  }
  if (!made.empty()) ++vm.st_epoch;
  Mat* row = mkmat(nullptr, ET_REAL, 1, static_cast<int>(out.size()));
  if (!row) return false;
  for (size_t k = 0; k < out.size(); ++k) row->re()[k] = out[k];
  return ret(n, row);
}

const LibRow rows[] = {
    {"st_dir", E_STR, O_COLVEC, 3, 4, b_st_dir},
    {"st_select", E_TRANS, O_VOID, 3, 3, b_st_select},
    {"st_tsrevar", E_REAL, O_ROWVEC, 1, 1, b_st_tsrevar},
};

}  // namespace

LibRows lib_stsys_rows() { return {rows, sizeof rows / sizeof rows[0]}; }
