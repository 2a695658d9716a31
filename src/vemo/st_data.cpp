// The dataset interface, cells and shape: the variable, observation and
// select-variable selectors, reading and storing cells (st_data, st_sdata,
// st_store, st_sstore and their one-cell forms), views, the counts, adding
// and dropping variables and observations, and variable numbers and names.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "data/store.h"
#include "data/varlist.h"
#include "output/rc.h"
#include "vemo/lib.h"
#include "vemo/stsel.h"

using namespace vlib;

namespace {

std::string trimmed(const std::string& s) {
  size_t b = s.find_first_not_of(' '), e = s.find_last_not_of(' ');
  return b == std::string::npos ? "" : s.substr(b, e - b + 1);
}

// A variable by name: exact, else a unique abbreviation when allowed; 0
// when there is none.
int findname(const std::string& name) {
  if (name.empty()) return 0;
  if (int v = findvarexact(name.c_str())) return v;
  if (!ds.varabbrev) return 0;
  int found = 0, n = 0;
  for (int v = 1; v <= ds.nvar; ++v)
    if (!std::strncmp(ds.varlist[static_cast<size_t>(v)].c_str(), name.c_str(), name.size())) ++n, found = v;
  return n == 1 ? found : 0;
}

}  // namespace

int st_selvars(const Mat* j, std::vector<int>& vars) {
  vars.clear();
  if (j->kind == K_FCN) return RC_VM_FCN;
  if (j->eltype == ET_REAL) {
    if (j->isscalar() && j->re()[0] >= misval) {
      for (int v = 1; v <= ds.nvar; ++v) vars.push_back(v);
      return 0;
    }
    if (j->rows != 1 && j->n()) return RC_VM_ROWVEC;
    for (size_t k = 0; k < j->n(); ++k) {
      const double x = j->re()[k];
      if (!(x >= 1 && x <= ds.nvar) || x != static_cast<int>(x)) return RC_VM_RANGE;
      vars.push_back(static_cast<int>(x));
    }
    return 0;
  }
  if (j->eltype != ET_STR) return RC_VM_REALSTR;
  if (j->rows != 1 && j->n()) return RC_VM_ROWVEC;
  for (size_t k = 0; k < j->n(); ++k) {
    // an element may hold several names separated by blanks
    const std::string all = sval(j, k);
    size_t p = 0;
    bool any = false;
    while (p < all.size()) {
      size_t b = all.find_first_not_of(' ', p);
      if (b == std::string::npos) break;
      size_t e = all.find(' ', b);
      if (e == std::string::npos) e = all.size();
      const std::string nm = trimmed(all.substr(b, e - b));
      if (nm.size() > 65) return RC_VM_VARNAME;
      const int v = findname(nm);
      if (!v) return RC_VM_RANGE;
      vars.push_back(v);
      any = true;
      p = e;
    }
    if (!any) return RC_VM_RANGE;
  }
  return 0;
}

int st_selobs(const Mat* i, ObsSel& obs) {
  obs = ObsSel{};
  if (i->kind == K_FCN) return RC_VM_FCN;
  if (i->eltype != ET_REAL) return RC_VM_REAL;
  const long N = ds.nobs;
  if (i->cols == 1 || i->n() == 0) {
    for (size_t k = 0; k < i->n(); ++k)
      if (i->re()[k] >= misval) {
        obs.first = 1;
        obs.count = N;
        return 0;
      }
    // a column of numbers: one range when they run consecutively
    bool consecutive = true;
    for (size_t k = 0; k < i->n(); ++k) {
      const double x = i->re()[k];
      if (!(x >= 1 && x <= N) || x != static_cast<long>(x)) return RC_VM_RANGE;
      if (k && x != i->re()[k - 1] + 1) consecutive = false;
    }
    if (consecutive) {
      obs.first = i->n() ? static_cast<long>(i->re()[0]) : 1;
      obs.count = static_cast<long>(i->n());
      return 0;
    }
    obs.range = false;
    for (size_t k = 0; k < i->n(); ++k) obs.list.push_back(static_cast<long>(i->re()[k]));
    return 0;
  }
  if (i->cols != 2) return RC_VM_COLVEC;
  for (int r = 0; r < i->rows; ++r) {
    double a = i->re()[2 * static_cast<size_t>(r)], b = i->re()[2 * static_cast<size_t>(r) + 1];
    if (a >= misval) a = static_cast<double>(N);  // read as the last observation
    if (b >= misval) b = static_cast<double>(N);
    if (!(a >= 1 && a <= N + 1) || !(b >= 0 && b <= N) || a != static_cast<long>(a) || b != static_cast<long>(b) ||
        b < a - 1)
      return RC_VM_RANGE;
    for (long o = static_cast<long>(a); o <= static_cast<long>(b); ++o) obs.list.push_back(o);
  }
  if (i->rows == 1) {
    obs.first = static_cast<long>(std::max(1.0, i->re()[0] >= misval ? static_cast<double>(N) : i->re()[0]));
    obs.count = static_cast<long>(obs.list.size());
    obs.list.clear();
    return 0;
  }
  obs.range = false;
  return 0;
}

int st_selapply(const Mat* s, const std::vector<int>& vars, ObsSel& obs) {
  if (s->kind == K_FCN) return RC_VM_FCN;
  if (!s->isscalar()) return RC_VM_SCALAR;
  std::vector<int> test;
  bool complete = false;
  if (s->eltype == ET_REAL) {
    const double x = s->re()[0];
    if (x >= misval) return 0;
    if (x == 0) {
      complete = true;
    } else {
      if (!(x >= 1 && x <= ds.nvar) || x != static_cast<int>(x)) return RC_VM_RANGE;
      test.push_back(static_cast<int>(x));
    }
  } else if (s->eltype == ET_STR) {
    const std::string nm = trimmed(sval(s));
    if (nm.empty()) return 0;
    if (nm.size() > 65) return RC_VM_VARNAME;
    const int v = findname(nm);
    if (!v) return RC_VM_RANGE;
    test.push_back(v);
  } else {
    return RC_VM_REALSTR;
  }
  // a mark per observation, set one variable (one column) at a time
  const long m = obs.size();
  std::vector<char> ok(static_cast<size_t>(m), 1);
  std::string buf;
  for (int v : complete ? vars : test) {
    const bool str = isstrtype(vartype(v));
    const ColView cv = str ? ColView{} : colview(v);
    if (complete && !str && obs.range && cv.type == ST_DOUBLE) {
      const double* p = reinterpret_cast<const double*>(cv.at(obs.first));
      for (long k = 0; k < m; ++k) ok[static_cast<size_t>(k)] &= p[k] < misval;
      continue;
    }
    for (long k = 0; k < m; ++k) {
      char& t = ok[static_cast<size_t>(k)];
      if (!t) continue;
      if (!complete) {
        t = !str && cv.get(obs.get(k)) != 0;
      } else if (str) {
        szelta_data(v, obs.get(k), buf);
        t = !buf.empty();
      } else {
        t = cv.get(obs.get(k)) < misval;
      }
    }
  }
  std::vector<long> keep;
  keep.reserve(static_cast<size_t>(m));
  for (long k = 0; k < m; ++k)
    if (ok[static_cast<size_t>(k)]) keep.push_back(obs.get(k));
  obs.range = false;
  obs.list = std::move(keep);
  return 0;
}

namespace {

bool selerr(int rc) { return rc ? vmerr(rc) : true; }

// Reads selectors from arguments ia (observations), ja (variables) and the
// optional select variable sa (-1: none).
bool selection(int n, int ia, int ja, int sa, std::vector<int>& vars, ObsSel& obs) {
  Mat* i = arg(n, ia);
  Mat* j = arg(n, ja);
  if (i->view || j->view) return vmerr(RC_VM_VIEW);
  if (!selerr(st_selvars(j, vars)) || !selerr(st_selobs(i, obs))) return false;
  if (sa >= 0) {
    Mat* s = arg(n, sa);
    if (!readable(s) || !selerr(st_selapply(s, vars, obs))) return false;
  }
  return true;
}

bool b_st_nvar(int n) { return ret(n, mkscalar(ds.nvar)); }
bool b_st_nobs(int n) { return ret(n, mkscalar(static_cast<double>(ds.nobs))); }

// st_data(i, j [, s]) and st_sdata.
template <bool Str>
bool b_st_data(int n) {
  std::vector<int> vars;
  ObsSel obs;
  if (!selection(n, 0, 1, n == 3 ? 2 : -1, vars, obs)) return false;
  const long r = obs.size();
  const size_t c = vars.size();
  if (r > 2147483646L) return vmerr(RC_VM_NOMEM);
  Mat* res = mkmat(nullptr, Str ? ET_STR : ET_REAL, static_cast<int>(r), static_cast<int>(c));
  if (!res) return false;
  std::string s;
  std::vector<double> col;
  if (!Str && c > 1) {
    // Blocks of observations: each column's block is found in place (double
    // cells over a range are the values) or read into scratch, then the rows
    // are gathered and written out in order, one stream in, one out.
    const long B = 1024;
    col.resize(static_cast<size_t>(B) * (c + 1));
    std::fill(col.end() - B, col.end(), misval);  // what string columns read as
    std::vector<ColView> cv(c);
    std::vector<const double*> src(c);
    for (size_t jj = 0; jj < c; ++jj)
      if (!isstrtype(vartype(vars[jj]))) cv[jj] = colview(vars[jj]);
    double* out = res->re();
    for (long k0 = 0; k0 < r; k0 += B) {
      // Break is looked at every 64 blocks; the partial result is dropped
      if ((k0 & (64 * B - 1)) == 0 && k0 && !vm_poll()) {
        mfree(res);
        return false;
      }
      const long nb = std::min(B, r - k0);
      for (size_t jj = 0; jj < c; ++jj) {
        double* scratch = col.data() + jj * static_cast<size_t>(B);
        if (!cv[jj].base) {
          src[jj] = col.data() + c * static_cast<size_t>(B);
        } else if (!obs.range) {
          const long* at = obs.list.data() + k0;
          if (cv[jj].type == ST_DOUBLE) {
            const double* p = reinterpret_cast<const double*>(cv[jj].base);
            for (long k = 0; k < nb; ++k) scratch[k] = p[at[k] - 1];
          } else {
            for (long k = 0; k < nb; ++k) scratch[k] = cv[jj].get(at[k]);
          }
          src[jj] = scratch;
        } else if (cv[jj].type == ST_DOUBLE) {
          src[jj] = reinterpret_cast<const double*>(cv[jj].at(obs.first + k0));
        } else {
          col_decode(cv[jj], obs.first + k0, nb, scratch);
          src[jj] = scratch;
        }
      }
      double* o = out + static_cast<size_t>(k0) * c;
      const double* const* sp = src.data();
      for (long k = 0; k < nb; ++k, o += c)
        for (size_t jj = 0; jj < c; ++jj) o[jj] = sp[jj][k];
    }
    return ret(n, res);
  }
  for (size_t jj = 0; jj < c; ++jj) {
    if (jj && r > 65536 && !vm_poll()) {
      mfree(res);
      return false;
    }
    const int v = vars[jj];
    const bool isstr = isstrtype(vartype(v));
    if (Str) {
      for (long k = 0; k < r; ++k) {
        if (!isstr) continue;
        szelta_data(v, obs.get(k), s);
        res->str()[static_cast<size_t>(k) * c + jj] = vstr_new(s.data(), s.size());
      }
      continue;
    }
    double* out = res->re();
    if (isstr) {
      for (long k = 0; k < r; ++k) out[static_cast<size_t>(k) * c + jj] = misval;
      continue;
    }
    ColView cv = colview(v);
    if (obs.range) {
      col_decode(cv, obs.first, r, out);
    } else {
      for (long k = 0; k < r; ++k) out[k] = cv.get(obs.get(k));
    }
  }
  return ret(n, res);
}

// Widens variable v so that every value of X's column jj fits.
bool promote(int v, const Mat* x, size_t jj, size_t c, long r) {
  const int type = vartype(v);
  if (isstrtype(type)) {
    size_t need = 0;
    for (long k = 0; k < r; ++k) need = std::max(need, vstr_len(x->str()[static_cast<size_t>(k) * c + jj]));
    if (need > static_cast<size_t>(type) && type < 244 && change_vartype(v, static_cast<int>(std::min<size_t>(need, 244))))
      return vmerr(RC_VM_NOMEM);
    return true;
  }
  int want = type;
  for (long k = 0; k < r; ++k) want = promoted_vartype(want, x->re()[static_cast<size_t>(k) * c + jj]);
  if (want != type && change_vartype(v, want)) return vmerr(RC_VM_NOMEM);
  return true;
}

// st_store(i, j, [s,] X) and st_sstore.
template <bool Str>
bool b_st_store(int n) {
  std::vector<int> vars;
  ObsSel obs;
  if (!selection(n, 0, 1, n == 4 ? 2 : -1, vars, obs)) return false;
  Mat* x = arg(n, n - 1);
  if (!needmat(x) || !readable(x)) return false;
  if (Str ? x->eltype != ET_STR : x->eltype != ET_REAL) return vmerr(Str ? RC_VM_STRING : RC_VM_REAL);
  const long r = obs.size();
  const size_t c = vars.size();
  if (x->rows != r || static_cast<size_t>(x->cols) != c) return vmerr(RC_VM_CONFORM);
  for (size_t jj = 0; jj < c; ++jj) {
    const int v = vars[jj];
    if (isstrtype(vartype(v)) != Str) return vmerr(Str ? RC_VM_STRING : RC_VM_REAL);
  }
  for (size_t jj = 0; jj < c; ++jj) {
    const int v = vars[jj];
    if (!promote(v, x, jj, c, r)) return false;
    if (Str) {
      for (long k = 0; k < r; ++k) safe_sstore(v, obs.get(k), vstr_ptr(x->str()[static_cast<size_t>(k) * c + jj]));
    } else {
      ColView cv = colview(v);
      if (obs.range && c == 1) {
        col_encode(cv, obs.first, r, x->re());
      } else {
        for (long k = 0; k < r; ++k) cv.put(obs.get(k), x->re()[static_cast<size_t>(k) * c + jj]);
      }
    }
    s_updata(v);
  }
  chksort_vars(vars);
  ++vm.st_epoch;
  return retvoid(n);
}

// One cell: _st_data(i, j) and _st_sdata(i, j); out of range reads missing.
bool cellargs(int n, long* obs, int* var) {
  for (int k = 0; k < 2; ++k) {
    Mat* a = arg(n, k);
    if (a->kind == K_FCN) return vmerr(RC_VM_FCN);
    if (a->view) return vmerr(RC_VM_VIEW);
    if (!a->isscalar()) return vmerr(RC_VM_SCALAR);
    if (a->eltype != ET_REAL) return vmerr(RC_VM_REAL);
  }
  const double i = arg(n, 0)->re()[0], j = arg(n, 1)->re()[0];
  *obs = i >= 1 && i <= ds.nobs ? static_cast<long>(i) : 0;
  *var = j >= 1 && j <= ds.nvar ? static_cast<int>(j) : 0;
  return true;
}

template <bool Str>
bool b_st_data1(int n) {
  long o = 0;
  int v = 0;
  if (!cellargs(n, &o, &v)) return false;
  if (Str) {
    std::string s;
    if (o && v && isstrtype(vartype(v))) szelta_data(v, o, s);
    return retstr(n, s);
  }
  return ret(n, mkscalar(o && v && !isstrtype(vartype(v)) ? zelta_data(v, o) : misval));
}

template <bool Str>
bool b_st_store1(int n) {
  long o = 0;
  int v = 0;
  if (!cellargs(n, &o, &v)) return false;
  Mat* x = arg(n, 2);
  if (!needscalar(x) || !readable(x)) return false;
  if (Str ? x->eltype != ET_STR : x->eltype != ET_REAL) return vmerr(Str ? RC_VM_STRING : RC_VM_REAL);
  if (o && v && isstrtype(vartype(v)) == Str) {
    if (!promote(v, x, 0, 1, 1)) return false;
    if (Str) safe_sstore(v, o, vstr_ptr(x->str()[0]));
    else store(v, o, x->re()[0]);
    s_updata(v);
    chksort_vars({v});
    ++vm.st_epoch;
  }
  return retvoid(n);
}

// st_view(V, i, j [, s]), st_sview(...).
template <bool Str>
bool b_st_view(int n) {
  std::vector<int> vars;
  ObsSel obs;
  if (!selection(n, 1, 2, n == 4 ? 3 : -1, vars, obs)) return false;
  Mat* v = arg(n, 0);
  if (v->kind == K_FCN) return vmerr(RC_VM_FCN);
  if (v->immortal) return vmerr(RC_VM_LVAL);
  if (obs.size() > 2147483646L) return vmerr(RC_VM_NOMEM);
  if (!vview_make(v, std::move(vars), std::move(obs), Str)) return false;
  return retvoid(n);
}

// st_subview(V, W, i, j): V views part of the view (or matrix) W.
bool b_st_subview(int n) {
  Mat* v = arg(n, 0);
  Mat* w = arg(n, 1);
  Mat* i = arg(n, 2);
  Mat* j = arg(n, 3);
  if (v->kind == K_FCN || w->kind == K_FCN) return vmerr(RC_VM_FCN);
  if (!needreal(i) || !needreal(j) || !readable(i) || !readable(j)) return false;
  // the selected rows and columns of W, as numbers
  // rows: numbers in a column, or k x 2 ranges; columns: numbers in a row
  auto pick = [](const Mat* s, int limit, bool ranges, std::vector<long>& out) -> int {
    if (ranges && s->cols == 2) {
      for (int r = 0; r < s->rows; ++r) {
        double a = s->re()[2 * static_cast<size_t>(r)], b = s->re()[2 * static_cast<size_t>(r) + 1];
        if (a >= misval) a = limit;
        if (b >= misval) b = limit;
        if (!(a >= 1 && a <= limit + 1 && b >= 0 && b <= limit && b >= a - 1)) return RC_VM_RANGE;
        for (long k = static_cast<long>(a); k <= static_cast<long>(b); ++k) out.push_back(k);
      }
      return 0;
    }
    for (size_t k = 0; k < s->n(); ++k) {
      const double x = s->re()[k];
      if (x >= misval) {
        out.clear();
        for (long q = 1; q <= limit; ++q) out.push_back(q);
        return 0;
      }
      if (!(x >= 1 && x <= limit)) return RC_VM_RANGE;
      out.push_back(static_cast<long>(x));
    }
    return 0;
  };
  std::vector<long> rows, cols;
  if (!selerr(pick(i, w->rows, true, rows)) || !selerr(pick(j, w->cols, false, cols))) return false;
  if (!w->view) {
    // a matrix: V becomes the plain submatrix
    if (!readable(w)) return false;
    Mat* res = mkmat(nullptr, w->eltype, static_cast<int>(rows.size()), static_cast<int>(cols.size()));
    if (!res) return false;
    if (w->eltype != ET_REAL) {
      mfree(res);
      return vmerr(RC_VM_REAL);
    }
    for (size_t a = 0; a < rows.size(); ++a)
      for (size_t b = 0; b < cols.size(); ++b)
        res->re()[a * cols.size() + b] = w->re()[at(w, static_cast<int>(rows[a] - 1), static_cast<int>(cols[b] - 1))];
    mswap(v, res);
    mfree(res);
    return retvoid(n);
  }
  const VView& wv = *w->vv;
  std::vector<int> vars;
  for (long c : cols) vars.push_back(wv.vars[static_cast<size_t>(c - 1)]);
  ObsSel obs;
  bool consecutive = true;
  for (size_t k = 1; k < rows.size(); ++k)
    if (wv.obs.get(rows[k] - 1) != wv.obs.get(rows[k - 1] - 1) + 1) consecutive = false;
  if (consecutive) {
    obs.first = rows.empty() ? 1 : wv.obs.get(rows[0] - 1);
    obs.count = static_cast<long>(rows.size());
  } else {
    obs.range = false;
    for (long r : rows) obs.list.push_back(wv.obs.get(r - 1));
  }
  const bool str = wv.str;
  if (v == w) return vmerr(RC_VM_IDENTICAL);
  if (!vview_make(v, std::move(vars), std::move(obs), str)) return false;
  return retvoid(n);
}

// st_viewvars(V), st_viewobs(V).
bool needview(const Mat* v) {
  if (v->kind == K_FCN) return vmerr(RC_VM_FCN);
  if (!v->view || !v->vv) return vmerr(RC_VM_NOTVIEW);
  return true;
}
bool b_st_viewvars(int n) {
  Mat* v = arg(n, 0);
  if (!needview(v)) return false;
  Mat* res = mkmat(nullptr, ET_REAL, 1, static_cast<int>(v->vv->vars.size()));
  if (!res) return false;
  for (size_t k = 0; k < v->vv->vars.size(); ++k) res->re()[k] = v->vv->vars[k];
  return ret(n, res);
}
bool b_st_viewobs(int n) {
  Mat* v = arg(n, 0);
  if (!needview(v)) return false;
  const ObsSel& o = v->vv->obs;
  Mat* res;
  if (o.range) {
    res = mkmat(nullptr, ET_REAL, 1, 2);
    if (!res) return false;
    res->re()[0] = static_cast<double>(o.first);
    res->re()[1] = static_cast<double>(o.first + o.count - 1);
  } else {
    res = mkmat(nullptr, ET_REAL, static_cast<int>(o.list.size()), 1);
    if (!res) return false;
    for (size_t k = 0; k < o.list.size(); ++k) res->re()[k] = static_cast<double>(o.list[k]);
  }
  return ret(n, res);
}

// st_varindex(names [, abbrevok]): numbers of the names, missing for a name
// that is not a variable; _st_varindex the same.
bool b_st_varindex(int n) {
  Mat* a = arg(n, 0);
  if (!needstr(a) || !readable(a)) return false;
  if (a->rows != 1 && a->n()) return vmerr(RC_VM_ROWVEC);
  bool abbrev = ds.varabbrev;
  if (n == 2) {
    if (!needrealscalar(arg(n, 1))) return false;
    abbrev = arg(n, 1)->re()[0] != 0;
  }
  std::vector<double> out;
  for (size_t k = 0; k < a->n(); ++k) {
    const std::string all = sval(a, k);
    size_t p = 0;
    while (p < all.size()) {
      size_t b = all.find_first_not_of(' ', p);
      if (b == std::string::npos) break;
      size_t e = all.find(' ', b);
      if (e == std::string::npos) e = all.size();
      const std::string nm = all.substr(b, e - b);
      if (nm.size() > 65) return vmerr(RC_VM_VARNAME);
      const bool saved = ds.varabbrev;
      ds.varabbrev = abbrev;
      const int v = findname(nm);
      ds.varabbrev = saved;
      out.push_back(v ? v : misval);
      p = e;
    }
  }
  Mat* res = mkmat(nullptr, ET_REAL, 1, static_cast<int>(out.size()));
  if (!res) return false;
  std::copy(out.begin(), out.end(), res->re());
  return ret(n, res);
}

// st_varname(k): names of variable numbers.
bool b_st_varname(int n) {
  Mat* a = arg(n, 0);
  std::vector<int> vars;
  if (!needreal(a) || !readable(a) || !selerr(st_selvars(a, vars))) return false;
  Mat* res = mkmat(nullptr, ET_STR, 1, static_cast<int>(vars.size()));
  if (!res) return false;
  for (size_t k = 0; k < vars.size(); ++k) {
    const std::string& s = varname(vars[k]);
    res->str()[k] = vstr_new(s.data(), s.size());
  }
  return ret(n, res);
}

// st_addvar(types, names [, nofill]).
bool addvars(int n, bool underscore) {
  Mat* t = arg(n, 0);
  Mat* nm = arg(n, 1);
  if (!needmat(t) || !needmat(nm) || !readable(t) || !readable(nm)) return false;
  if (t->eltype != ET_STR && t->eltype != ET_REAL) return vmerr(RC_VM_REALSTR);
  if ((t->rows != 1 && t->n()) || (nm->rows != 1 && nm->n())) return vmerr(RC_VM_ROWVEC);
  if (nm->eltype != ET_STR) return vmerr(RC_VM_STRING);
  bool nofill = false;
  if (n == 3) {
    if (!needrealscalar(arg(n, 2))) return false;
    nofill = arg(n, 2)->re()[0] != 0;
  }
  const size_t k = nm->n();
  if (t->n() != k && t->n() != 1) return vmerr(RC_VM_CONFORM);
  std::vector<int> types;
  for (size_t q = 0; q < k; ++q) {
    const size_t p = t->n() == 1 ? 0 : q;
    int type = 0;
    if (t->eltype == ET_STR) {
      std::string w = trimmed(sval(t, p));
      type = typecode(w.c_str());
    } else {
      const double x = t->re()[p];
      if ((x >= 1 && x <= 244 && x == static_cast<int>(x)) || (x >= static_cast<double>(ST_BYTE) && x <= static_cast<double>(ST_DOUBLE) && x == static_cast<int>(x)))
        type = static_cast<int>(x);
    }
    if (!type) return underscore ? ret(n, mkscalar(-3300)) : vmerr(RC_VM_RANGE);
    types.push_back(type);
  }
  std::vector<double> made;
  for (size_t q = 0; q < k; ++q) {
    const std::string name = trimmed(sval(nm, q));
    int rc = name.empty() || name.size() > 32 ? 198 : 0;
    if (!rc && findvarexact(name.c_str())) rc = 110;
    if (!rc) {
      // the name rules of new variables, without the message
      const char c0 = name[0];
      if (!(std::isalpha(static_cast<unsigned char>(c0)) || c0 == '_')) rc = 198;
      for (char ch : name)
        if (!(std::isalnum(static_cast<unsigned char>(ch)) || ch == '_')) rc = 198;
    }
    if (!rc) rc = nofill ? addvar_uninit(name.c_str(), types[q]) : addvar(name.c_str(), types[q]);
    if (rc) {
      ++vm.st_epoch;
      if (underscore) return ret(n, mkscalar(-rc));
      return vmerr(rc == 110 || rc == 198 ? RC_VM_RANGE : RC_VM_NOMEM);
    }
    made.push_back(ds.nvar);
  }
  ++vm.st_epoch;
  if (underscore) return ret(n, mkscalar(made.empty() ? 0 : made[0]));
  Mat* res = mkmat(nullptr, ET_REAL, 1, static_cast<int>(made.size()));
  if (!res) return false;
  std::copy(made.begin(), made.end(), res->re());
  return ret(n, res);
}
bool b_st_addvar(int n) { return addvars(n, false); }
bool b__st_addvar(int n) { return addvars(n, true); }

// st_addobs(n [, nofill]).
bool addobs(int n, bool underscore) {
  Mat* a = arg(n, 0);
  if (!needrealscalar(a)) return false;
  const double x = a->re()[0];
  if (!(x >= 0 && x < 2147483647.0 - static_cast<double>(ds.nobs))) return underscore ? ret(n, mkscalar(-3300)) : vmerr(RC_VM_RANGE);
  int rc = x > 0 ? setobs_quiet(ds.nobs + static_cast<long>(x)) : 0;
  ++vm.st_epoch;
  if (underscore) return ret(n, mkscalar(-rc));
  if (rc) return vmerr(RC_VM_NOMEM);
  return retvoid(n);
}
bool b_st_addobs(int n) { return addobs(n, false); }
bool b__st_addobs(int n) { return addobs(n, true); }

// st_dropvar(j), st_keepvar(j).
template <bool Keep>
bool b_dropkeepvar(int n) {
  Mat* a = arg(n, 0);
  std::vector<int> vars;
  if (!readable(a) || !selerr(st_selvars(a, vars))) return false;
  if (int rc = droporkeepvars(vars, Keep)) return vmerr(rc == 1 ? 1 : RC_VM_RANGE);
  ++vm.st_epoch;
  return retvoid(n);
}

// st_dropobsin(i), st_keepobsin(i), st_dropobsif(v), st_keepobsif(v).
bool dropkeep(const std::vector<char>& keep) {
  dropobs_flags(keep);
  ++vm.st_epoch;
  return true;
}
template <bool Keep>
bool b_obsin(int n) {
  Mat* a = arg(n, 0);
  ObsSel obs;
  if (!readable(a) || !selerr(st_selobs(a, obs))) return false;
  std::vector<char> keep(static_cast<size_t>(ds.nobs), Keep ? 0 : 1);
  for (long k = 0; k < obs.size(); ++k) keep[static_cast<size_t>(obs.get(k) - 1)] = Keep ? 1 : 0;
  dropkeep(keep);
  return retvoid(n);
}
template <bool Keep>
bool b_obsif(int n) {
  Mat* a = arg(n, 0);
  if (!needreal(a) || !readable(a)) return false;
  if (a->cols != 1 && a->n()) return vmerr(RC_VM_COLVEC);
  if (static_cast<long>(a->n()) != ds.nobs) return vmerr(RC_VM_CONFORM);
  std::vector<char> keep(static_cast<size_t>(ds.nobs));
  for (long k = 0; k < ds.nobs; ++k) keep[static_cast<size_t>(k)] = (a->re()[k] != 0) == Keep;
  dropkeep(keep);
  return retvoid(n);
}

const LibRow rows[] = {
    {"st_nvar", E_REAL, O_SCALAR, 0, 0, b_st_nvar},
    {"st_nobs", E_REAL, O_SCALAR, 0, 0, b_st_nobs},
    {"st_data", E_REAL, O_MATRIX, 2, 3, b_st_data<false>},
    {"st_sdata", E_STR, O_MATRIX, 2, 3, b_st_data<true>},
    {"_st_data", E_REAL, O_SCALAR, 2, 2, b_st_data1<false>},
    {"_st_sdata", E_STR, O_SCALAR, 2, 2, b_st_data1<true>},
    {"st_store", E_TRANS, O_MATRIX, 3, 4, b_st_store<false>},
    {"st_sstore", E_TRANS, O_MATRIX, 3, 4, b_st_store<true>},
    {"_st_store", E_TRANS, O_MATRIX, 3, 3, b_st_store1<false>},
    {"_st_sstore", E_TRANS, O_MATRIX, 3, 3, b_st_store1<true>},
    {"st_view", E_TRANS, O_MATRIX, 3, 4, b_st_view<false>},
    {"st_sview", E_TRANS, O_MATRIX, 3, 4, b_st_view<true>},
    {"st_subview", E_TRANS, O_MATRIX, 4, 4, b_st_subview},
    {"st_viewvars", E_REAL, O_ROWVEC, 1, 1, b_st_viewvars},
    {"st_viewobs", E_REAL, O_MATRIX, 1, 1, b_st_viewobs},
    {"st_varindex", E_REAL, O_ROWVEC, 1, 2, b_st_varindex},
    {"_st_varindex", E_REAL, O_ROWVEC, 1, 2, b_st_varindex},
    {"st_varname", E_STR, O_ROWVEC, 1, 2, b_st_varname},
    {"st_addvar", E_REAL, O_ROWVEC, 2, 3, b_st_addvar},
    {"_st_addvar", E_REAL, O_SCALAR, 2, 3, b__st_addvar},
    {"st_addobs", E_TRANS, O_MATRIX, 1, 2, b_st_addobs},
    {"_st_addobs", E_REAL, O_SCALAR, 1, 2, b__st_addobs},
    {"st_dropvar", E_TRANS, O_VOID, 1, 1, b_dropkeepvar<false>},
    {"st_keepvar", E_TRANS, O_VOID, 1, 1, b_dropkeepvar<true>},
    {"st_dropobsin", E_TRANS, O_VOID, 1, 1, b_obsin<false>},
    {"st_keepobsin", E_TRANS, O_VOID, 1, 1, b_obsin<true>},
    {"st_dropobsif", E_TRANS, O_VOID, 1, 1, b_obsif<false>},
    {"st_keepobsif", E_TRANS, O_VOID, 1, 1, b_obsif<true>},
};

}  // namespace

LibRows lib_st_rows() { return {rows, sizeof rows / sizeof rows[0]}; }
