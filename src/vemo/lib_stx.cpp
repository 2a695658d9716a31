// The dataset interface beyond cells: macros, named scalars, matrices and
// their stripes, saved results r(), e(), s() and c(), running Zelta command
// lines, temporary names, and the descriptions of variables (types, names,
// formats, labels) and value labels.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "data/store.h"
#include "data/vlabel.h"
#include "interp/interp.h"
#include "interp/macro.h"
#include "output/format.h"
#include "output/output.h"
#include "output/rc.h"
#include "results/results.h"
#include "vemo/lib.h"
#include "vemo/stsel.h"

using namespace vlib;

namespace {

bool isnamech(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }
bool validname(const std::string& s, size_t maxlen) {
  if (s.empty() || s.size() > maxlen) return false;
  if (!(std::isalpha(static_cast<unsigned char>(s[0])) || s[0] == '_')) return false;
  return std::all_of(s.begin(), s.end(), isnamech);
}

// A saved-result reference "r(name)", "e(name)", "s(name)" or "c(name)":
// the class letter and the inner name, or 0 when name is not one.
char resref(const std::string& s, std::string& inner) {
  if (s.size() > 3 && s[1] == '(' && s.back() == ')' && std::strchr("resc", s[0])) {
    inner = s.substr(2, s.size() - 3);
    return s[0];
  }
  return 0;
}

bool emptymat(const Mat* m) { return m->rows == 0 || m->cols == 0; }

// st_local(name [, contents]) and st_global.
template <bool Global>
bool b_macro(int n) {
  Mat* a = arg(n, 0);
  if (!needstrscalar(a)) return false;
  const std::string name = sval(a);
  if (n == 1) {
    std::string inner;
    if (Global) {
      if (char cls = resref(name, inner); cls && cls != 'c') {
        const std::string* s = res_store(cls).macro(inner);
        return retstr(n, s ? *s : "");
      }
    }
    if (name.size() > 31 || name.empty()) return retstr(n, "");
    const std::string* s = Global ? macget_global(name) : macget_local(name);
    return retstr(n, s ? *s : "");
  }
  Mat* c = arg(n, 1);
  if (!needstrscalar(c)) return false;
  std::string text = sval(c);
  if (text.size() > static_cast<size_t>(interp.macrolen)) text.resize(static_cast<size_t>(interp.macrolen));
  if (Global) {
    std::string inner;
    if (char cls = resref(name, inner)) {
      if (cls == 'c' || !validname(inner, 32)) return vmerr(RC_VM_RANGE);
      int rc = cls == 'r' ? retval_set_local(inner.c_str(), text)
               : cls == 'e' ? estval_set_local(inner.c_str(), text)
                            : sretval_reset_local(inner.c_str(), text);
      if (text.empty()) res_store(cls).erase(inner);
      return rc ? vmerr(RC_VM_RANGE) : retvoid(n);
    }
  }
  if (!validname(name, Global ? 32 : 31)) return vmerr(RC_VM_RANGE);
  if (Global) {
    if (text.empty()) macdrop_global(name);
    else macset_global(name, text);
  } else {
    macset_local(name, text);
  }
  return retvoid(n);
}

// st_numscalar(name [, x]) and st_strscalar.
template <bool Str>
bool b_scalar(int n) {
  Mat* a = arg(n, 0);
  if (!needstrscalar(a)) return false;
  const std::string name = sval(a);
  std::string inner;
  const char cls = resref(name, inner);
  if (cls ? !validname(inner, 32) : !validname(name, 32)) return vmerr(RC_VM_RANGE);
  if (n == 1) {
    double d = 0;
    std::string s;
    bool found = false;
    if (cls == 'c') {
      bool isstr = false;
      found = !creturn_value(inner, &d, &s, &isstr) && isstr == Str;
    } else if (cls) {
      int kind = val_find(cls, inner, &d, &s);
      found = kind == (Str ? 2 : 1);
    } else if (const NamedScalar* ns = scalar_find(name)) {
      found = ns->isstr == Str;
      d = ns->d;
      s = ns->s;
    }
    if (!found) return ret(n, mkmat(nullptr, Str ? ET_STR : ET_REAL, 0, 0));
    return Str ? retstr(n, s) : ret(n, mkscalar(d));
  }
  Mat* x = arg(n, 1);
  if (!needmat(x) || !readable(x)) return false;
  const bool empty = emptymat(x);
  if (!empty && !x->isscalar()) return vmerr(RC_VM_SCALAR);
  if (!empty && (Str ? x->eltype != ET_STR : x->eltype != ET_REAL)) return vmerr(Str ? RC_VM_STRING : RC_VM_REAL);
  if (cls == 'c' || cls == 's') return vmerr(RC_VM_RANGE);
  if (cls) {
    res_store(cls).erase(inner);
    if (!empty) {
      int rc = Str ? (cls == 'r' ? retval_set_local(inner.c_str(), sval(x)) : estval_set_local(inner.c_str(), sval(x)))
                   : (cls == 'r' ? retval_set_scalar(inner.c_str(), x->re()[0])
                                 : estval_set_scalar(inner.c_str(), x->re()[0]));
      if (rc) return vmerr(RC_VM_RANGE);
    }
    return retvoid(n);
  }
  if (empty) {
    auto& sc = res.scalars;
    sc.erase(std::remove_if(sc.begin(), sc.end(), [&](const auto& p) { return p.first == name; }), sc.end());
    return retvoid(n);
  }
  NamedScalar ns;
  ns.isstr = Str;
  if (Str) ns.s = sval(x);
  else ns.d = x->re()[0];
  if (scalar_set(name, ns)) return vmerr(RC_VM_RANGE);
  return retvoid(n);
}

// The matrix called name: user matrices, r() and e() matrices.
Matrix* findmatrix(const std::string& name) {
  std::string inner;
  if (char cls = resref(name, inner)) return cls == 'r' || cls == 'e' ? res_store(cls).matrix(inner) : nullptr;
  for (auto& [nm, m] : res.mats)
    if (nm == name) return &m;
  return nullptr;
}

bool checkmatname(const std::string& name, char* cls, std::string& inner) {
  *cls = resref(name, inner);
  if (*cls ? (*cls != 'r' && *cls != 'e') || !validname(inner, 32) : !validname(name, 32)) return vmerr(RC_VM_RANGE);
  return true;
}

// st_matrix(name [, X]).
bool b_st_matrix(int n) {
  Mat* a = arg(n, 0);
  if (!needstrscalar(a)) return false;
  const std::string name = sval(a);
  char cls;
  std::string inner;
  if (!checkmatname(name, &cls, inner)) return false;
  if (n == 1) {
    const Matrix* m = findmatrix(name);
    if (!m) return ret(n, mkmat(nullptr, ET_REAL, 0, 0));
    Mat* res = mkmat(nullptr, ET_REAL, m->rows, m->cols);
    if (!res) return false;
    std::copy(m->v.begin(), m->v.end(), res->re());
    return ret(n, res);
  }
  Mat* x = arg(n, 1);
  if (!needreal(x) || !readable(x)) return false;
  if (emptymat(x)) {
    if (cls) res_store(cls).erase(inner);
    else mat_erase(name);
    return retvoid(n);
  }
  Matrix m = mat_make(x->rows, x->cols);
  std::copy(x->re(), x->re() + x->n(), m.v.begin());
  int rc = cls == 'r' ? retval_set_matrix(inner.c_str(), std::move(m))
           : cls == 'e' ? estval_set_matrix(inner.c_str(), std::move(m))
                        : mat_store(name, std::move(m));
  if (rc) return vmerr(rc == 908 ? RC_VM_RANGE : RC_VM_NOMEM);
  return retvoid(n);
}

// st_replacematrix(name, X): new values, same stripes.
bool b_st_replacematrix(int n) {
  Mat* a = arg(n, 0);
  Mat* x = arg(n, 1);
  if (!needstrscalar(a) || !needreal(x) || !readable(x)) return false;
  char cls;
  std::string inner;
  if (!checkmatname(sval(a), &cls, inner)) return false;
  Matrix* m = findmatrix(sval(a));
  if (!m) return vmerr(RC_VM_RANGE);
  if (m->rows != x->rows || m->cols != x->cols) return vmerr(RC_VM_CONFORM);
  std::copy(x->re(), x->re() + x->n(), m->v.begin());
  return retvoid(n);
}

// st_matrixrowstripe(name [, S]) and st_matrixcolstripe: k x 2 (equation, name).
template <bool Rows>
bool b_stripe(int n) {
  Mat* a = arg(n, 0);
  if (!needstrscalar(a)) return false;
  char cls;
  std::string inner;
  if (!checkmatname(sval(a), &cls, inner)) return false;
  Matrix* m = findmatrix(sval(a));
  if (n == 1) {
    if (!m) return ret(n, mkmat(nullptr, ET_STR, 0, 2));
    const std::vector<std::string>& names = Rows ? m->rnames : m->cnames;
    Mat* res = mkmat(nullptr, ET_STR, static_cast<int>(names.size()), 2);
    if (!res) return false;
    for (size_t k = 0; k < names.size(); ++k) {
      const std::string& s = names[k];
      size_t colon = s.find(':');
      std::string eq = colon == std::string::npos ? "" : s.substr(0, colon);
      std::string nm = colon == std::string::npos ? s : s.substr(colon + 1);
      res->str()[2 * k] = vstr_new(eq.data(), eq.size());
      res->str()[2 * k + 1] = vstr_new(nm.data(), nm.size());
    }
    return ret(n, res);
  }
  if (!m) return vmerr(RC_VM_RANGE);
  Mat* s = arg(n, 1);
  if (!needstr(s) || !readable(s)) return false;
  const int want = Rows ? m->rows : m->cols;
  if (emptymat(s)) {
    mat_defnames(Rows ? m->rnames : m->cnames, want, Rows ? 'r' : 'c');
    return retvoid(n);
  }
  if (s->cols != 2 || s->rows != want) return vmerr(RC_VM_CONFORM);
  std::vector<std::string> names;
  for (int k = 0; k < want; ++k) {
    std::string eq = sval(s, 2 * static_cast<size_t>(k)), nm = sval(s, 2 * static_cast<size_t>(k) + 1);
    if (nm.empty() || nm.find(' ') != std::string::npos || eq.find(' ') != std::string::npos) return vmerr(RC_VM_RANGE);
    names.push_back(eq.empty() ? nm : eq + ":" + nm);
  }
  (Rows ? m->rnames : m->cnames) = std::move(names);
  return retvoid(n);
}

bool b_rclear(int n) {
  retval_clear();
  return retvoid(n);
}
bool b_eclear(int n) {
  estval_clear();
  ++vm.st_epoch;
  return retvoid(n);
}
bool b_sclear(int n) {
  sretval_clear();
  return retvoid(n);
}

// zelta(cmd [, nooutput]) and _zelta: run a command line through the
// dispatcher. A view's cells are read again afterwards.
int runcmd(int n, bool* ok) {
  *ok = false;
  Mat* a = arg(n, 0);
  if (!needstrscalar(a)) return 0;
  bool quiet = false;
  if (n >= 2) {
    if (!needrealscalar(arg(n, 1))) return 0;
    quiet = arg(n, 1)->re()[0] != 0;
  }
  if (n == 3 && !needrealscalar(arg(n, 2))) return 0;
  const std::string line = sval(a);
  *ok = true;
  const int threshold = out.s_outlev;
  if (quiet) out.s_outlev = 3;  // as under quietly: errors still show
  const int depth = vm.depth;
  int rc = execline(line);
  vm.depth = depth;
  out.s_outlev = threshold;
  ++vm.st_epoch;
  return rc;
}
bool b_zelta(int n) {
  bool ok;
  int rc = runcmd(n, &ok);
  if (!ok) return false;
  if (rc) return vmerr(rc == 1 ? static_cast<int>(VRC_BREAK) : static_cast<int>(RC_VM_HOSTERROR));
  return retvoid(n);
}
bool b__zelta(int n) {
  bool ok;
  int rc = runcmd(n, &ok);
  if (!ok) return false;
  return ret(n, mkscalar(rc));
}

// st_macroexpand(s) and _st_macroexpand(s, out).
bool b_st_macroexpand(int n) {
  Mat* a = arg(n, 0);
  if (!needstrscalar(a)) return false;
  std::string s = sval(a);
  if (macexpand(s)) return vmerr(RC_VM_RANGE);
  return retstr(n, s);
}
bool b__st_macroexpand(int n) {
  Mat* a = arg(n, 0);
  if (!needstrscalar(a)) return false;
  std::string s = sval(a);
  int rc = macexpand(s);
  Mat* out = arg(n, 1);
  Mat* str = mkstrscalar(s.data(), s.size());
  if (!str) return false;
  if (out->view) mmaterialise(out);
  mswap(out, str);
  mfree(str);
  return ret(n, mkscalar(rc));
}

// c(name): a c() value, real or string.
bool b_c(int n) {
  Mat* a = arg(n, 0);
  if (!needstrscalar(a)) return false;
  double d = 0;
  std::string s;
  bool isstr = false;
  if (creturn_value(sval(a), &d, &s, &isstr)) return ret(n, mkscalar(misval));
  return isstr ? retstr(n, s) : ret(n, mkscalar(d));
}

bool b_st_tempname(int n) {
  int k = 1;
  if (n == 1 && !countarg(arg(n, 0), &k)) return false;
  Mat* res = mkmat(nullptr, ET_STR, 1, k);
  if (!res) return false;
  for (int i = 0; i < k; ++i) {
    const std::string s = tmpname_next();
    res->str()[i] = vstr_new(s.data(), s.size());
  }
  return ret(n, res);
}
bool b_st_tempfilename(int n) {
  int k = 1;
  if (n == 1 && !countarg(arg(n, 0), &k)) return false;
  Mat* res = mkmat(nullptr, ET_STR, 1, k);
  if (!res) return false;
  for (int i = 0; i < k; ++i) {
    const std::string s = tmpfile_next();
    res->str()[i] = vstr_new(s.data(), s.size());
  }
  return ret(n, res);
}

bool b_st_updata(int n) {
  if (n == 0) return ret(n, mkscalar(ds.updata));
  if (!needrealscalar(arg(n, 0))) return false;
  ds.updata = arg(n, 0)->re()[0] != 0;
  return retvoid(n);
}

// Variables by selector for the description built-ins.
bool vars_of(int n, std::vector<int>& vars) {
  Mat* a = arg(n, 0);
  if (!readable(a)) return false;
  int rc = st_selvars(a, vars);
  return rc ? vmerr(rc) : true;
}

// A string row vector with one entry per variable.
template <typename F>
bool strrow(int n, const std::vector<int>& vars, F f) {
  Mat* res = mkmat(nullptr, ET_STR, 1, static_cast<int>(vars.size()));
  if (!res) return false;
  for (size_t k = 0; k < vars.size(); ++k) {
    const std::string s = f(vars[k]);
    res->str()[k] = vstr_new(s.data(), s.size());
  }
  return ret(n, res);
}

bool b_st_vartype(int n) {
  std::vector<int> vars;
  if (!vars_of(n, vars)) return false;
  return strrow(n, vars, [](int v) { return std::string(typename_of(vartype(v))); });
}

template <bool Str>
bool b_st_isvar(int n) {
  std::vector<int> vars;
  if (!vars_of(n, vars)) return false;
  Mat* res = mkmat(nullptr, ET_REAL, 1, static_cast<int>(vars.size()));
  if (!res) return false;
  for (size_t k = 0; k < vars.size(); ++k) res->re()[k] = isstrtype(vartype(vars[k])) == Str;
  return ret(n, res);
}

// st_varformat(j [, fmt]), st_varlabel(j [, text]), st_varvaluelabel(j [, name]).
enum { F_FORMAT, F_LABEL, F_VALLAB };
template <int Field>
bool b_varfield(int n) {
  std::vector<int> vars;
  if (!vars_of(n, vars)) return false;
  auto& list = Field == F_FORMAT ? ds.fmtlist : Field == F_LABEL ? ds.varlabels : ds.lbllist;
  if (n == 1) return strrow(n, vars, [&](int v) { return list[static_cast<size_t>(v)]; });
  if (vars.size() != 1) return vmerr(RC_VM_SCALAR);
  Mat* s = arg(n, 1);
  if (!needstrscalar(s)) return false;
  std::string text = sval(s);
  const int v = vars[0];
  if (Field == F_FORMAT) {
    if (chkfmt(text.c_str(), isstrtype(vartype(v)) ? FMTK_STR : FMTK_NUM)) return vmerr(RC_VM_RANGE);
  } else if (Field == F_LABEL) {
    if (text.size() > 80) text.resize(80);
  } else {
    if (!text.empty() && (!validname(text, 32) || isstrtype(vartype(v)))) return vmerr(RC_VM_RANGE);
  }
  list[static_cast<size_t>(v)] = text;
  ds.updata = true;
  return retvoid(n);
}

bool b_st_varrename(int n) {
  std::vector<int> vars;
  if (!vars_of(n, vars)) return false;
  if (vars.size() != 1) return vmerr(RC_VM_SCALAR);
  Mat* s = arg(n, 1);
  if (!needstrscalar(s)) return false;
  const std::string nm = sval(s);
  if (!validname(nm, 32) || (findvarexact(nm.c_str()) && findvarexact(nm.c_str()) != vars[0])) return vmerr(RC_VM_RANGE);
  if (renamevar(vars[0], nm.c_str())) return vmerr(RC_VM_RANGE);
  return retvoid(n);
}

// st_isfmt(s), st_isnumfmt(s), st_isstrfmt(s), st_isname(s).
template <int Kind>
bool b_isfmt(int n) {
  Mat* s = arg(n, 0);
  if (!needstrscalar(s)) return false;
  return ret(n, mkscalar(chkfmt(sval(s).c_str(), Kind) == 0));
}
bool b_st_isname(int n) {
  Mat* s = arg(n, 0);
  if (!needstrscalar(s)) return false;
  return ret(n, mkscalar(validname(sval(s), 32)));
}

// Value labels.
bool vlname(int n, std::string& name) {
  Mat* s = arg(n, 0);
  if (!needstrscalar(s)) return false;
  name = sval(s);
  if (!validname(name, 32)) return vmerr(RC_VM_RANGE);
  return true;
}
bool b_st_vlexists(int n) {
  std::string name;
  if (!vlname(n, name)) return false;
  return ret(n, mkscalar(vlfind(name) != nullptr));
}
bool b_st_vldrop(int n) {
  std::string name;
  if (!vlname(n, name)) return false;
  vldrop(name);
  return retvoid(n);
}
// st_vlmap(name, values): the texts of values ("" when unlabelled).
bool b_st_vlmap(int n) {
  std::string name;
  if (!vlname(n, name)) return false;
  Mat* v = arg(n, 1);
  if (!needreal(v) || !readable(v)) return false;
  const ValueLabel* lab = vlfind(name);
  Mat* res = mkmat(nullptr, ET_STR, v->rows, v->cols);
  if (!res) return false;
  for (size_t k = 0; k < v->n() && lab; ++k)
    if (const std::string* t = vltext(*lab, v->re()[k])) res->str()[k] = vstr_new(t->data(), t->size());
  return ret(n, res);
}
// st_vlsearch(name, texts): the values of texts (missing when absent).
bool b_st_vlsearch(int n) {
  std::string name;
  if (!vlname(n, name)) return false;
  Mat* t = arg(n, 1);
  if (!needstr(t) || !readable(t)) return false;
  const ValueLabel* lab = vlfind(name);
  Mat* res = mkmat(nullptr, ET_REAL, t->rows, t->cols);
  if (!res) return false;
  for (size_t k = 0; k < t->n(); ++k) res->re()[k] = lab ? vlsearch(*lab, sval(t, k)) : misval;
  return ret(n, res);
}
// st_vlload(name, values, texts): the table as two column vectors.
bool b_st_vlload(int n) {
  std::string name;
  if (!vlname(n, name)) return false;
  const ValueLabel* lab = vlfind(name);
  const int k = lab ? lab->n() : 0;
  Mat* vals = mkmat(nullptr, ET_REAL, k, 1);
  Mat* txts = mkmat(nullptr, ET_STR, k, 1);
  if (!vals || !txts) {
    mfree(vals);
    mfree(txts);
    return false;
  }
  for (int i = 0; i < k; ++i) {
    vals->re()[i] = lab->val[static_cast<size_t>(i)];
    const std::string& s = lab->txt[static_cast<size_t>(i)];
    txts->str()[i] = vstr_new(s.data(), s.size());
  }
  Mat* vo = arg(n, 1);
  Mat* to = arg(n, 2);
  if (vo->view) mmaterialise(vo);
  if (to->view) mmaterialise(to);
  mswap(vo, vals);
  mswap(to, txts);
  mfree(vals);
  mfree(txts);
  return retvoid(n);
}
// st_vlmodify(name, values, texts): sets (or, with "", removes) mappings.
bool b_st_vlmodify(int n) {
  std::string name;
  if (!vlname(n, name)) return false;
  Mat* v = arg(n, 1);
  Mat* t = arg(n, 2);
  if (!needreal(v) || !needstr(t) || !readable(v) || !readable(t)) return false;
  if (v->n() != t->n() || (v->cols != 1 && v->n()) || (t->cols != 1 && t->n())) return vmerr(RC_VM_CONFORM);
  for (size_t k = 0; k < v->n(); ++k) {
    const double x = v->re()[k];
    if (!(x >= VL_MINVAL && x <= VL_MAXVAL) || x != static_cast<int32_t>(x)) return vmerr(RC_VM_RANGE);
  }
  ValueLabel& lab = vlcreate(name);
  for (size_t k = 0; k < v->n(); ++k)
    if (vlset(lab, static_cast<int32_t>(v->re()[k]), sval(t, k))) return vmerr(RC_VM_RANGE);
  if (lab.n() == 0) vldrop(name);
  return retvoid(n);
}

const LibRow rows[] = {
    {"st_local", E_TRANS, O_MATRIX, 1, 2, b_macro<false>},
    {"st_global", E_TRANS, O_MATRIX, 1, 2, b_macro<true>},
    {"st_numscalar", E_TRANS, O_MATRIX, 1, 2, b_scalar<false>},
    {"st_strscalar", E_TRANS, O_MATRIX, 1, 2, b_scalar<true>},
    {"st_matrix", E_TRANS, O_MATRIX, 1, 2, b_st_matrix},
    {"st_replacematrix", E_TRANS, O_VOID, 2, 2, b_st_replacematrix},
    {"st_matrixrowstripe", E_TRANS, O_MATRIX, 1, 2, b_stripe<true>},
    {"st_matrixcolstripe", E_TRANS, O_MATRIX, 1, 2, b_stripe<false>},
    {"st_rclear", E_TRANS, O_VOID, 0, 0, b_rclear},
    {"st_eclear", E_TRANS, O_VOID, 0, 0, b_eclear},
    {"st_sclear", E_TRANS, O_VOID, 0, 0, b_sclear},
    {"zelta", E_TRANS, O_MATRIX, 1, 3, b_zelta},
    {"_zelta", E_REAL, O_SCALAR, 1, 3, b__zelta},
    {"st_macroexpand", E_STR, O_SCALAR, 1, 1, b_st_macroexpand},
    {"_st_macroexpand", E_REAL, O_SCALAR, 2, 2, b__st_macroexpand},
    {"c", E_TRANS, O_SCALAR, 1, 1, b_c},
    {"st_tempname", E_STR, O_ROWVEC, 0, 1, b_st_tempname},
    {"st_tempfilename", E_STR, O_ROWVEC, 0, 1, b_st_tempfilename},
    {"st_updata", E_TRANS, O_MATRIX, 0, 1, b_st_updata},
    {"st_vartype", E_STR, O_ROWVEC, 1, 1, b_st_vartype},
    {"st_isnumvar", E_REAL, O_ROWVEC, 1, 1, b_st_isvar<false>},
    {"st_isstrvar", E_REAL, O_ROWVEC, 1, 1, b_st_isvar<true>},
    {"st_varformat", E_TRANS, O_MATRIX, 1, 2, b_varfield<F_FORMAT>},
    {"st_varlabel", E_TRANS, O_MATRIX, 1, 2, b_varfield<F_LABEL>},
    {"st_varvaluelabel", E_TRANS, O_MATRIX, 1, 2, b_varfield<F_VALLAB>},
    {"st_varrename", E_TRANS, O_VOID, 2, 2, b_st_varrename},
    {"st_isfmt", E_REAL, O_SCALAR, 1, 1, b_isfmt<FMTK_ANY>},
    {"st_isnumfmt", E_REAL, O_SCALAR, 1, 1, b_isfmt<FMTK_NUM>},
    {"st_isstrfmt", E_REAL, O_SCALAR, 1, 1, b_isfmt<FMTK_STR>},
    {"st_isname", E_REAL, O_SCALAR, 1, 1, b_st_isname},
    {"st_vlexists", E_REAL, O_SCALAR, 1, 1, b_st_vlexists},
    {"st_vldrop", E_TRANS, O_VOID, 1, 1, b_st_vldrop},
    {"st_vlmap", E_STR, O_MATRIX, 2, 2, b_st_vlmap},
    {"st_vlsearch", E_REAL, O_MATRIX, 2, 2, b_st_vlsearch},
    {"st_vlload", E_TRANS, O_VOID, 3, 3, b_st_vlload},
    {"st_vlmodify", E_TRANS, O_VOID, 3, 3, b_st_vlmodify},
};

}  // namespace

LibRows lib_stx_rows() { return {rows, sizeof rows / sizeof rows[0]}; }
