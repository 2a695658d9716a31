// Built-ins over whole matrices: reshaping, minima and maxima, sorting
// orders, logical reductions, missing-value counts and edits, relative
// differences, in-place transposes and diagonals, selection, externals
// (global objects by name), timers and a few constants of the machine.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <numeric>
#include <string>
#include <vector>

#include <boost/math/special_functions/factorials.hpp>

#include "data/store.h"
#include "expr/funcs.h"
#include "interp/interp.h"
#include "data/varlist.h"
#include "vemo/lib.h"
#include "output/rc.h"
#include "platform/timers.h"

using namespace vlib;

namespace {

bool numorstr(const Mat* m) {
  if (m->kind == K_FCN) return vmerr(RC_VM_FCN);
  if (m->eltype != ET_REAL && m->eltype != ET_CPLX && m->eltype != ET_STR) return vmerr(RC_VM_NUMSTR);
  return true;
}

// rowshape(X, r), colshape(X, c): the elements in row order, r rows / c columns.
template <bool Rows>
bool b_shape(int n) {
  Mat* a = arg(n, 0);
  int k = 0;
  if (!needmat(a) || !readable(a) || !countarg(arg(n, 1), &k)) return false;
  const size_t total = a->n();
  int r, c;
  if (k == 0) {
    if (total) return vmerr(RC_VM_CONFORM);
    r = Rows ? 0 : 0;
    c = 0;
  } else {
    if (total % static_cast<size_t>(k)) return vmerr(RC_VM_CONFORM);
    r = Rows ? k : static_cast<int>(total / static_cast<size_t>(k));
    c = Rows ? static_cast<int>(total / static_cast<size_t>(k)) : k;
  }
  Mat* res = mdup(a);
  if (!res) return false;
  res->rows = r;
  res->cols = c;
  return ret(n, res);
}

bool b_sizeof(int n) {
  const Mat* a = arg(n, 0);
  if (a->kind == K_FCN) return ret(n, mkscalar(0));
  double bytes = static_cast<double>(a->n()) * (a->eltype == ET_CPLX ? 16 : 8);
  if (a->eltype == ET_STR)
    for (size_t i = 0; i < a->n(); ++i) bytes += static_cast<double>(vstr_len(a->str()[i]));
  return ret(n, mkscalar(bytes));
}

// Element-wise real functions not in the expression library.
template <double (*F)(double)>
bool elem(int n) {
  Mat* a = arg(n, 0);
  if (!needreal(a) || !readable(a)) return false;
  Mat* res = mkmat(nullptr, ET_REAL, a->rows, a->cols);
  if (!res) return false;
  for (size_t i = 0; i < a->n(); ++i) {
    const double x = a->re()[i];
    res->re()[i] = x >= misval ? x : vfix(F(x));
  }
  return ret(n, res);
}
double f_asin(double x) { return x < -1 || x > 1 ? misval : std::asin(x); }
double f_acos(double x) { return x < -1 || x > 1 ? misval : std::acos(x); }
double f_atan(double x) { return std::atan(x); }
double f_factorial(double x) {
  if (x < 0 || x != std::floor(x)) return misval;
  // the table of correctly rounded values, not exp(lngamma()), whose error
  // grows with the result
  return x > boost::math::max_factorial<double>::value ? misval
                                                       : boost::math::unchecked_factorial<double>(static_cast<unsigned>(x));
}

bool b_atan2(int n) {
  Mat* a = arg(n, 0);
  Mat* b = arg(n, 1);
  if (!needreal(a) || !needreal(b) || !readable(a) || !readable(b)) return false;
  return ret(n, colonmap(a, b, [](double y, double x) { return y >= misval || x >= misval ? misval : std::atan2(y, x); }));
}

bool b_arg(int n) {
  Mat* a = arg(n, 0);
  if (!neednum(a) || !readable(a)) return false;
  Mat* res = mkmat(nullptr, ET_REAL, a->rows, a->cols);
  if (!res) return false;
  for (size_t i = 0; i < a->n(); ++i) {
    const double x = a->re()[i], y = imof(a, i);
    res->re()[i] = x >= misval || y >= misval ? misval : std::atan2(y, x);
  }
  return ret(n, res);
}

// Less-than for elements of one matrix: missing sorts last, strings by bytes.
int cmpel(const Mat* a, size_t p, size_t q) {
  if (a->eltype == ET_STR) {
    const VStr* s = a->str()[p];
    const VStr* t = a->str()[q];
    const size_t ls = vstr_len(s), lt = vstr_len(t);
    const int k = std::memcmp(vstr_ptr(s), vstr_ptr(t), std::min(ls, lt));
    return k ? k : (ls < lt ? -1 : ls > lt);
  }
  const double x = a->re()[p], y = a->re()[q];
  if (x < y) return -1;
  if (x > y) return 1;
  if (a->eltype == ET_CPLX) {
    const double u = a->re()[a->n() + p], v = a->re()[a->n() + q];
    return u < v ? -1 : u > v;
  }
  return 0;
}

// order(X, idx): the permutation of rows that sorts X on the columns in idx
// (negative: descending); ties keep their order.
bool b_order(int n) {
  Mat* a = arg(n, 0);
  Mat* k = arg(n, 1);
  if (!numorstr(a) || !readable(a) || !needreal(k) || !readable(k)) return false;
  if (k->rows != 1 && k->cols != 1 && k->n()) return vmerr(RC_VM_VECTOR);
  std::vector<int> keys;
  for (size_t i = 0; i < k->n(); ++i) {
    const double v = k->re()[i];
    if (v >= misval || v == 0 || std::fabs(v) > a->cols || v != std::floor(v)) return vmerr(RC_VM_RANGE);
    keys.push_back(static_cast<int>(v));
  }
  std::vector<int> perm(static_cast<size_t>(a->rows));
  std::iota(perm.begin(), perm.end(), 0);
  // Break is looked at every 64K comparisons; once pressed, every pair
  // compares equal, so the sort runs out at once and its result is dropped
  long cmps = 0;
  bool broke = false;
  std::stable_sort(perm.begin(), perm.end(), [&](int x, int y) {
    if (broke || ((++cmps & 65535) == 0 && !vm_poll())) {
      broke = true;
      return false;
    }
    for (int key : keys) {
      const int col = std::abs(key) - 1;
      int c = cmpel(a, at(a, x, col), at(a, y, col));
      if (c) return key < 0 ? c > 0 : c < 0;
    }
    return false;
  });
  if (broke) return false;
  Mat* res = mkmat(nullptr, ET_REAL, a->rows, 1);
  if (!res) return false;
  for (size_t i = 0; i < perm.size(); ++i) res->re()[i] = perm[i] + 1;
  return ret(n, res);
}

// _collate(s, t): byte order comparison of strings, -1, 0 or 1.
bool b_collate(int n) {
  Mat* a = arg(n, 0);
  Mat* b = arg(n, 1);
  if (!needstrscalar(a) || !needstrscalar(b)) return false;
  const int c = sval(a).compare(sval(b));
  return ret(n, mkscalar(c < 0 ? -1 : c > 0));
}

// Minima and maxima of the non-missing elements (or with missing counted,
// as the largest values, when the optional flag is nonzero): kind 0 the
// whole matrix (1 x 2), 1 rows (r x 2), 2 columns (2 x c).
template <int Kind>
bool b_minmax(int n) {
  Mat* a = arg(n, 0);
  if (!needreal(a) || !readable(a)) return false;
  bool usemiss = false;
  if (n == 2) {
    if (!needrealscalar(arg(n, 1))) return false;
    usemiss = arg(n, 1)->re()[0] != 0;
  }
  const int groups = Kind == 0 ? 1 : Kind == 1 ? a->rows : a->cols;
  std::vector<double> lo(static_cast<size_t>(groups), misval), hi(static_cast<size_t>(groups), misval);
  std::vector<char> seen(static_cast<size_t>(groups), 0);
  for (int i = 0; i < a->rows; ++i)
    for (int j = 0; j < a->cols; ++j) {
      const double x = a->re()[at(a, i, j)];
      if (x >= misval && !usemiss) continue;
      const size_t g = static_cast<size_t>(Kind == 0 ? 0 : Kind == 1 ? i : j);
      if (!seen[g]) {
        lo[g] = hi[g] = x;
        seen[g] = 1;
      } else {
        lo[g] = std::min(lo[g], x);
        hi[g] = std::max(hi[g], x);
      }
    }
  Mat* res = Kind == 2 ? mkmat(nullptr, ET_REAL, 2, groups) : mkmat(nullptr, ET_REAL, groups, 2);
  if (!res) return false;
  for (int g = 0; g < groups; ++g) {
    const size_t gs = static_cast<size_t>(g);
    if (Kind == 2) {
      res->re()[gs] = lo[gs];
      res->re()[static_cast<size_t>(groups) + gs] = hi[gs];
    } else {
      res->re()[2 * gs] = lo[gs];
      res->re()[2 * gs + 1] = hi[gs];
    }
  }
  return ret(n, res);
}

// rowmaxabs(X), colmaxabs(X): largest absolute values, missing skipped.
template <bool Rows>
bool b_maxabs(int n) {
  Mat* a = arg(n, 0);
  if (!neednum(a) || !readable(a)) return false;
  Mat* res = Rows ? mkmat(nullptr, ET_REAL, a->rows, 1) : mkmat(nullptr, ET_REAL, 1, a->cols);
  if (!res) return false;
  for (size_t k = 0; k < res->n(); ++k) res->re()[k] = misval;
  for (int i = 0; i < a->rows; ++i)
    for (int j = 0; j < a->cols; ++j) {
      const size_t p = at(a, i, j);
      const double x = a->re()[p], y = imof(a, p);
      if (x >= misval || y >= misval) continue;
      const double v = a->eltype == ET_CPLX ? std::hypot(x, y) : std::fabs(x);
      double& r = res->re()[Rows ? i : j];
      if (r >= misval || v > r) r = v;
    }
  return ret(n, res);
}

bool nonzero(const Mat* a, size_t k) {
  if (a->eltype == ET_STR) return vstr_len(a->str()[k]) != 0;
  return a->re()[k] != 0 || imof(a, k) != 0;
}

// all(X): every element nonzero (1 for an empty X); any(X): some element nonzero.
template <bool All>
bool b_allany(int n) {
  Mat* a = arg(n, 0);
  if (!neednum(a) || !readable(a)) return false;
  bool r = All;
  for (size_t k = 0; k < a->n() && r == All; ++k)
    if (nonzero(a, k) != All) r = !All;
  return ret(n, mkscalar(r));
}

// allof(P, s), anyof(P, s): every (some) element of P equals the scalar s.
template <bool All>
bool b_allanyof(int n) {
  Mat* a = arg(n, 0);
  Mat* s = arg(n, 1);
  if (!needmat(a) || !needscalar(s) || !readable(a) || !readable(s)) return false;
  if ((a->eltype == ET_STR) != (s->eltype == ET_STR) && a->n()) return vmerr(RC_VM_TYPE);
  bool r = All;
  for (size_t k = 0; k < a->n() && r == All; ++k) {
    bool eq;
    if (a->eltype == ET_STR) {
      eq = vstr_len(a->str()[k]) == vstr_len(s->str()[0]) &&
           !std::memcmp(vstr_ptr(a->str()[k]), vstr_ptr(s->str()[0]), vstr_len(s->str()[0]));
    } else if (a->eltype == ET_PTR) {
      eq = s->eltype == ET_PTR && a->ptr()[k] == s->ptr()[0];
    } else {
      eq = a->re()[k] == s->re()[0] && imof(a, k) == imof(s, 0);
    }
    if (eq != All) r = !All;
  }
  return ret(n, mkscalar(r));
}

bool ismiss(const Mat* a, size_t k) {
  if (a->eltype == ET_STR) return vstr_len(a->str()[k]) == 0;
  if (a->eltype == ET_REAL) return a->re()[k] >= misval;
  if (a->eltype == ET_CPLX) return a->re()[k] >= misval || a->re()[a->n() + k] >= misval;
  return false;
}

// rowmissing and its kin: counts per row (column) of missing (non-missing) elements.
template <bool Rows, bool Missing>
bool b_countmiss(int n) {
  Mat* a = arg(n, 0);
  if (!needmat(a) || !readable(a)) return false;
  Mat* res = Rows ? mkmat(nullptr, ET_REAL, a->rows, 1) : mkmat(nullptr, ET_REAL, 1, a->cols);
  if (!res) return false;
  std::fill(res->re(), res->re() + res->n(), 0.0);
  for (int i = 0; i < a->rows; ++i)
    for (int j = 0; j < a->cols; ++j)
      if (ismiss(a, at(a, i, j)) == Missing) res->re()[Rows ? i : j] += 1;
  return ret(n, res);
}

// missingof(X): a matrix of X's shape holding X's type of missing value.
bool b_missingof(int n) {
  Mat* a = arg(n, 0);
  if (!needmat(a)) return false;
  if (a->eltype == ET_STR) return retstr(n, "");
  if (a->eltype == ET_PTR) {
    Mat* res = mkmat(nullptr, ET_PTR, 1, 1);
    return ret(n, res);
  }
  if (a->eltype == ET_CPLX) return ret(n, mkcscalar(misval, 0));
  return ret(n, mkscalar(misval));
}

double reldif1(double x, double y) {
  if (x >= misval || y >= misval) return x == y ? 0 : misval;
  return std::fabs(x - y) / (std::fabs(y) + 1);
}

// reldif(X, Y): |X - Y| / (|Y| + 1) element by element.
bool b_reldif(int n) {
  Mat* a = arg(n, 0);
  Mat* b = arg(n, 1);
  if (!needreal(a) || !needreal(b) || !readable(a) || !readable(b)) return false;
  if (a->rows != b->rows || a->cols != b->cols) return vmerr(RC_VM_CONFORM);
  Mat* res = mkmat(nullptr, ET_REAL, a->rows, a->cols);
  if (!res) return false;
  for (size_t k = 0; k < a->n(); ++k) res->re()[k] = reldif1(a->re()[k], b->re()[k]);
  return ret(n, res);
}

// The largest relative difference of two conformable numeric matrices;
// missing when any pair has one missing and not the other.
double mreldif(const Mat* a, const Mat* b, bool transposed) {
  double m = 0;
  for (int i = 0; i < a->rows; ++i)
    for (int j = 0; j < a->cols; ++j) {
      const size_t p = at(a, i, j), q = transposed ? at(b, j, i) : at(b, i, j);
      double d;
      if (a->eltype == ET_CPLX || b->eltype == ET_CPLX) {
        const double xr = a->re()[p], xi = imof(a, p), yr = b->re()[q], yi = imof(b, q);
        if (xr >= misval || yr >= misval) d = xr == yr ? 0 : misval;
        else d = std::hypot(xr - yr, xi - yi) / (std::hypot(yr, yi) + 1);
      } else {
        d = reldif1(a->re()[p], b->re()[q]);
      }
      if (d >= misval) return misval;
      m = std::max(m, d);
    }
  return m;
}

bool b_mreldif(int n) {
  Mat* a = arg(n, 0);
  Mat* b = arg(n, 1);
  if (!neednum(a) || !neednum(b) || !readable(a) || !readable(b)) return false;
  if (a->rows != b->rows || a->cols != b->cols) return vmerr(RC_VM_CONFORM);
  return ret(n, mkscalar(mreldif(a, b, false)));
}

bool b_mreldifsym(int n) {
  Mat* a = arg(n, 0);
  if (!neednum(a) || !readable(a)) return false;
  if (a->rows != a->cols) return ret(n, mkscalar(misval));
  return ret(n, mkscalar(mreldif(a, a, true)));
}

// mreldifre(Z): how far Z is from its real part.
bool b_mreldifre(int n) {
  Mat* a = arg(n, 0);
  if (!neednum(a) || !readable(a)) return false;
  double m = 0;
  for (size_t k = 0; k < a->n(); ++k) {
    const double x = a->re()[k], y = imof(a, k);
    if (x >= misval) continue;
    m = std::max(m, std::fabs(y) / (std::fabs(x) + 1));
  }
  return ret(n, mkscalar(m));
}

// issymmetric(X): square and equal to its (conjugate) transpose;
// issymmetriconly ignores conjugation.
template <bool Conj>
bool b_issym(int n) {
  Mat* a = arg(n, 0);
  if (!needmat(a) || !readable(a)) return false;
  if (a->rows != a->cols) return ret(n, mkscalar(0));
  bool sym = true;
  for (int i = 0; i < a->rows && sym; ++i)
    for (int j = 0; j < i && sym; ++j) {
      const size_t p = at(a, i, j), q = at(a, j, i);
      if (a->eltype == ET_STR) sym = !cmpel(a, p, q);
      else if (a->eltype == ET_PTR) sym = a->ptr()[p] == a->ptr()[q];
      else if (a->eltype == ET_REAL || a->eltype == ET_CPLX)
        sym = a->re()[p] == a->re()[q] && imof(a, p) == (Conj ? -imof(a, q) : imof(a, q));
      else sym = false;
    }
  if (Conj && sym && a->eltype == ET_CPLX)
    for (int i = 0; i < a->rows && sym; ++i) sym = imof(a, at(a, i, i)) == 0;
  return ret(n, mkscalar(sym));
}

bool b_isview(int n) { return ret(n, mkscalar(arg(n, 0)->kind == K_MAT && arg(n, 0)->view != 0)); }
bool b_isfleeting(int n) { return ret(n, mkscalar(arg(n, 0)->refcnt <= 1 && !arg(n, 0)->name[0])); }

bool b_isrealvalues(int n) {
  Mat* a = arg(n, 0);
  if (!neednum(a) || !readable(a)) return false;
  bool r = true;
  for (size_t k = 0; k < a->n() && r; ++k) r = imof(a, k) == 0;
  return ret(n, mkscalar(r));
}

// In-place transposes: _transpose conjugates complex elements, _transposeonly does not.
template <bool Conj>
bool b_transpose_inplace(int n) {
  Mat* a = arg(n, 0);
  if (!needmat(a)) return false;
  if (a->view) return vmerr(RC_VM_VIEW);
  Mat* t = mkmat(nullptr, a->eltype, a->cols, a->rows);
  if (!t) return false;
  const size_t an = a->n();
  const size_t w = a->eltype == ET_CPLX || a->eltype == ET_REAL ? sizeof(double) : sizeof(void*);
  for (int i = 0; i < a->rows; ++i)
    for (int j = 0; j < a->cols; ++j) {
      const size_t p = at(a, i, j), q = at(t, j, i);
      std::memcpy(static_cast<char*>(t->data) + q * w, static_cast<char*>(a->data) + p * w, w);
      if (a->eltype == ET_CPLX) t->re()[an + q] = Conj && a->re()[an + p] < misval ? -a->re()[an + p] : a->re()[an + p];
    }
  // the elements moved, so a's storage is released without freeing them
  std::swap(a->data, t->data);
  std::swap(a->size, t->size);
  if (a->data == t->inl) {
    std::memcpy(a->inl, t->inl, sizeof a->inl);
    a->data = a->inl;
  }
  if (t->data == a->inl) t->data = t->inl;
  std::swap(t->rows, a->rows);
  std::swap(t->cols, a->cols);
  // t now holds a's old storage with pointers still owned by a: clear them
  if (t->eltype == ET_STR || t->eltype == ET_PTR || t->eltype == ET_STRUCT) std::memset(t->data, 0, t->size);
  t->eltype = ET_REAL;
  mfree(t);
  return retvoid(n);
}

bool b_conj_inplace(int n) {
  Mat* a = arg(n, 0);
  if (!neednum(a)) return false;
  if (a->view) return vmerr(RC_VM_VIEW);
  if (a->eltype == ET_CPLX)
    for (size_t k = 0; k < a->n(); ++k) {
      double& y = a->re()[a->n() + k];
      if (y < misval) y = -y;
    }
  return retvoid(n);
}

// _makesymmetric(X): copies the lower triangle over the upper one.
bool b_makesymmetric(int n) {
  Mat* a = arg(n, 0);
  if (!neednum(a) || !readable(a)) return false;
  if (a->view) return vmerr(RC_VM_VIEW);
  if (!needsquare(a)) return false;
  for (int i = 0; i < a->rows; ++i)
    for (int j = 0; j < i; ++j) {
      a->re()[at(a, j, i)] = a->re()[at(a, i, j)];
      if (a->eltype == ET_CPLX) {
        const double y = a->re()[a->n() + at(a, i, j)];
        a->re()[a->n() + at(a, j, i)] = y < misval ? -y : y;
      }
    }
  if (a->eltype == ET_CPLX)
    for (int i = 0; i < a->rows; ++i) a->re()[a->n() + at(a, i, i)] = 0;
  return retvoid(n);
}

// _diag(X, v): replaces X's diagonal by the scalar or vector v.
bool b_diag_inplace(int n) {
  Mat* a = arg(n, 0);
  Mat* v = arg(n, 1);
  if (!neednum(a) || !neednum(v) || !readable(v)) return false;
  if (a->view) return vmerr(RC_VM_VIEW);
  const int k = std::min(a->rows, a->cols);
  if (!v->isscalar() && (v->rows != 1 && v->cols != 1)) return vmerr(RC_VM_VECTOR);
  if (!v->isscalar() && static_cast<int>(v->n()) != k) return vmerr(RC_VM_CONFORM);
  if (v->eltype == ET_CPLX && a->eltype == ET_REAL) {
    Mat* c = mkmat(nullptr, ET_CPLX, a->rows, a->cols);
    if (!c) return false;
    std::memcpy(c->re(), a->re(), a->n() * 8);
    std::memset(c->im(), 0, a->n() * 8);
    mswap(a, c);
    mfree(c);
  }
  for (int i = 0; i < k; ++i) {
    const size_t src = v->isscalar() ? 0 : static_cast<size_t>(i);
    a->re()[at(a, i, i)] = v->re()[src];
    if (a->eltype == ET_CPLX) a->re()[a->n() + at(a, i, i)] = imof(v, src);
  }
  return retvoid(n);
}

// _editmissing(X, v): missing elements become v; _editvalue(X, from, to);
// _fillmissing(X): every element becomes missing.
bool b_editmissing(int n) {
  Mat* a = arg(n, 0);
  Mat* v = arg(n, 1);
  if (!needmat(a) || !needscalar(v)) return false;
  if (a->view) return vmerr(RC_VM_VIEW);
  if ((a->eltype == ET_STR) != (v->eltype == ET_STR)) return vmerr(RC_VM_TYPE);
  if (a->eltype == ET_STR) {
    for (size_t k = 0; k < a->n(); ++k)
      if (!vstr_len(a->str()[k])) a->str()[k] = v->str()[0] ? vstr_new(v->str()[0]->b, vstr_len(v->str()[0])) : nullptr;
  } else {
    if (!neednum(a) || !needreal(v)) return false;
    for (size_t k = 0; k < a->n(); ++k)
      if (ismiss(a, k)) {
        a->re()[k] = v->re()[0];
        if (a->eltype == ET_CPLX) a->re()[a->n() + k] = 0;
      }
  }
  return retvoid(n);
}

bool b_editvalue(int n) {
  Mat* a = arg(n, 0);
  Mat* f = arg(n, 1);
  Mat* t = arg(n, 2);
  if (!needmat(a) || !needscalar(f) || !needscalar(t)) return false;
  if (a->view) return vmerr(RC_VM_VIEW);
  if (a->eltype == ET_STR) {
    if (!needstr(f) || !needstr(t)) return false;
    const std::string from = sval(f);
    for (size_t k = 0; k < a->n(); ++k)
      if (sval(a, k) == from) {
        std::free(a->str()[k]);
        a->str()[k] = vstr_new(vstr_ptr(t->str()[0]), vstr_len(t->str()[0]));
      }
  } else {
    if (!needreal(a) || !needreal(f) || !needreal(t)) return false;
    for (size_t k = 0; k < a->n(); ++k)
      if (a->re()[k] == f->re()[0]) a->re()[k] = t->re()[0];
  }
  return retvoid(n);
}

bool b_fillmissing(int n) {
  Mat* a = arg(n, 0);
  if (!needmat(a)) return false;
  if (a->view) return vmerr(RC_VM_VIEW);
  if (a->eltype == ET_STR) {
    for (size_t k = 0; k < a->n(); ++k) {
      std::free(a->str()[k]);
      a->str()[k] = nullptr;
    }
  } else if (a->eltype == ET_REAL || a->eltype == ET_CPLX) {
    for (size_t k = 0; k < a->n(); ++k) a->re()[k] = misval;
    if (a->eltype == ET_CPLX)
      for (size_t k = 0; k < a->n(); ++k) a->re()[a->n() + k] = 0;
  } else {
    return vmerr(RC_VM_NUMSTR);
  }
  return retvoid(n);
}

// swap(A, B): A and B exchange contents.
bool b_swap(int n) {
  Mat* a = arg(n, 0);
  Mat* b = arg(n, 1);
  if (!needmat(a) || !needmat(b)) return false;
  if (a == b) return vmerr(RC_VM_IDENTICAL);
  if (a->view && !mmaterialise(a)) return false;
  if (b->view && !mmaterialise(b)) return false;
  mswap(a, b);
  return retvoid(n);
}

// select(X, v): the rows of X where the column vector v is nonzero, or the
// columns where the row vector v is nonzero.
bool b_select(int n) {
  Mat* a = arg(n, 0);
  Mat* v = arg(n, 1);
  if (!needmat(a) || !needreal(v) || !readable(a) || !readable(v)) return false;
  const bool cols = v->rows == 1 && !(v->cols == 1 && a->cols != 1 && a->rows == 1);
  const bool byrow = v->cols == 1 && (v->rows != 1 || a->rows == 1);
  if (!byrow && !cols) return vmerr(RC_VM_VECTOR);
  std::vector<int> keep;
  if (byrow) {
    if (v->rows != a->rows) return vmerr(RC_VM_CONFORM);
    for (int i = 0; i < a->rows; ++i)
      if (v->re()[i] != 0) keep.push_back(i);
  } else {
    if (v->cols != a->cols) return vmerr(RC_VM_CONFORM);
    for (int j = 0; j < a->cols; ++j)
      if (v->re()[j] != 0) keep.push_back(j);
  }
  const int r = byrow ? static_cast<int>(keep.size()) : a->rows;
  const int c = byrow ? a->cols : static_cast<int>(keep.size());
  Mat* res = mkmat(nullptr, a->eltype, r, c);
  if (!res) return false;
  for (int i = 0; i < r; ++i)
    for (int j = 0; j < c; ++j) {
      const size_t p = byrow ? at(a, keep[static_cast<size_t>(i)], j) : at(a, i, keep[static_cast<size_t>(j)]);
      const size_t q = at(res, i, j);
      switch (a->eltype) {
        case ET_REAL: res->re()[q] = a->re()[p]; break;
        case ET_CPLX:
          res->re()[q] = a->re()[p];
          res->re()[res->n() + q] = a->re()[a->n() + p];
          break;
        case ET_STR: res->str()[q] = vstr_new(vstr_ptr(a->str()[p]), vstr_len(a->str()[p])); break;
        default:
          res->ptr()[q] = a->ptr()[p];
          if (res->ptr()[q]) mref(res->ptr()[q]);
      }
    }
  if (a->eltype == ET_STRUCT && a->fcn) {
    res->fcn = a->fcn;
    ++res->fcn->refcnt;
  }
  return ret(n, res);
}

// minindex(v, k, i, w): i receives the indices of the k smallest elements of
// v (ties included), w their ties structure (rows: first position in i and count).
bool b_minindex(int n) {
  Mat* v = arg(n, 0);
  Mat* kk = arg(n, 1);
  Mat* iv = arg(n, 2);
  Mat* wv = arg(n, 3);
  int k = 0;
  if (!needreal(v) || !readable(v) || !countarg(kk, &k)) return false;
  if (v->rows != 1 && v->cols != 1 && v->n()) return vmerr(RC_VM_VECTOR);
  std::vector<int> idx(v->n());
  std::iota(idx.begin(), idx.end(), 0);
  std::stable_sort(idx.begin(), idx.end(), [&](int x, int y) { return v->re()[x] < v->re()[y]; });
  std::vector<int> outi;
  std::vector<std::pair<int, int>> ties;
  size_t p = 0;
  while (p < idx.size() && static_cast<int>(ties.size()) < k) {
    size_t q = p;
    while (q < idx.size() && v->re()[idx[q]] == v->re()[idx[p]]) ++q;
    ties.push_back({static_cast<int>(outi.size()) + 1, static_cast<int>(q - p)});
    for (size_t t = p; t < q; ++t) outi.push_back(idx[t] + 1);
    p = q;
  }
  Mat* ri = mkmat(nullptr, ET_REAL, static_cast<int>(outi.size()), 1);
  Mat* rw = mkmat(nullptr, ET_REAL, static_cast<int>(ties.size()), 2);
  if (!ri || !rw) {
    mfree(ri);
    mfree(rw);
    return false;
  }
  for (size_t t = 0; t < outi.size(); ++t) ri->re()[t] = outi[t];
  for (size_t t = 0; t < ties.size(); ++t) {
    rw->re()[2 * t] = ties[t].first;
    rw->re()[2 * t + 1] = ties[t].second;
  }
  if (iv->view) mmaterialise(iv);
  if (wv->view) mmaterialise(wv);
  mswap(iv, ri);
  mswap(wv, rw);
  mfree(ri);
  mfree(rw);
  return retvoid(n);
}

// Externals: the global objects by name.
bool extname(int n, std::string& name) {
  Mat* a = arg(n, 0);
  if (!needstrscalar(a)) return false;
  name = sval(a);
  if (name.empty() || name.size() > 32) return vmerr(RC_VM_RANGE);
  return true;
}

Mat* ptrto(Mat* target) {
  Mat* p = mkmat(nullptr, ET_PTR, 1, 1);
  if (p && target) {
    p->ptr()[0] = target;
    mref(target);
  }
  return p;
}

bool b_findexternal(int n) {
  std::string name;
  if (!extname(n, name)) return false;
  return ret(n, ptrto(findglobal(name.c_str())));
}

bool b_crexternal(int n) {
  std::string name;
  if (!extname(n, name)) return false;
  if (findglobal(name.c_str())) return ret(n, ptrto(nullptr));
  Mat* g = mkglobal(name.c_str(), ET_REAL, 0, 0);
  if (!g) return false;
  return ret(n, ptrto(g));
}

bool b_rmexternal(int n) {
  std::string name;
  if (!extname(n, name)) return false;
  auto it = vm.globals.find(name);
  if (it != vm.globals.end()) {
    Mat* g = it->second;
    vm.globals.erase(it);
    g->name[0] = 0;
    mfree(g);
  }
  return retvoid(n);
}

bool b_valofexternal(int n) {
  std::string name;
  if (!extname(n, name)) return false;
  Mat* g = findglobal(name.c_str());
  if (!g) return ret(n, mkmat(nullptr, ET_REAL, 0, 0));
  return ret(n, mdup(g));
}

// direxternal(pattern): the names of the globals that match, sorted.
bool b_direxternal(int n) {
  Mat* a = arg(n, 0);
  if (!needstrscalar(a)) return false;
  const std::string pat = sval(a);
  std::vector<std::string> found;
  for (const auto& [name, m] : vm.globals)
    if (vlmatch(pat.c_str(), name.c_str())) found.push_back(name);
  std::sort(found.begin(), found.end());
  Mat* res = mkmat(nullptr, ET_STR, static_cast<int>(found.size()), 1);
  if (!res) return false;
  for (size_t k = 0; k < found.size(); ++k) res->str()[k] = vstr_new(found[k].data(), found[k].size());
  return ret(n, res);
}

// Timers 1 to 100, shared with the `timer` command: running time and the
// number of times each was started.
bool timerarg(int n, int* t) {
  if (!needrealscalar(arg(n, 0))) return false;
  const double x = arg(n, 0)->re()[0];
  if (!(x >= 1 && x <= TIMER_COUNT)) return vmerr(RC_VM_RANGE);
  *t = static_cast<int>(x);
  return true;
}

bool b_timer_clear(int n) {
  if (n == 0) {
    timer_clear_all();
    return retvoid(n);
  }
  int t = 0;
  if (!timerarg(n, &t)) return false;
  timer_clear_one(t);
  return retvoid(n);
}
bool b_timer_on(int n) {
  int t = 0;
  if (!timerarg(n, &t)) return false;
  timer_start(t);
  return retvoid(n);
}
bool b_timer_off(int n) {
  int t = 0;
  if (!timerarg(n, &t)) return false;
  timer_stop(t);
  return retvoid(n);
}
bool b_timer_value(int n) {
  int t = 0;
  if (!timerarg(n, &t)) return false;
  Mat* res = mkmat(nullptr, ET_REAL, 1, 2);
  if (!res) return false;
  res->re()[0] = timer_seconds(t);
  res->re()[1] = timers.count[t];
  return ret(n, res);
}

// Break handling inside Vemo code.
bool b_setbreakintr(int n) {
  if (!needrealscalar(arg(n, 0))) return false;
  const bool prev = vlibs.breakintr;
  vlibs.breakintr = arg(n, 0)->re()[0] != 0;
  return ret(n, mkscalar(prev));
}
bool b_querybreakintr(int n) { return ret(n, mkscalar(vlibs.breakintr)); }
bool b_breakkey(int n) { return ret(n, mkscalar(ds_pollbreak())); }
bool b_breakkeyreset(int n) { return ret(n, mkscalar(ds_pollbreak())); }

bool b_byteorder(int n) {
  const uint16_t one = 1;
  unsigned char b;
  std::memcpy(&b, &one, 1);
  return ret(n, mkscalar(b ? 2 : 1));
}
bool b_zeltaversion(int n) { return ret(n, mkscalar(interp.version / 100.0)); }
bool b_zeltasetversion(int n) {
  if (!needrealscalar(arg(n, 0))) return false;
  const double v = arg(n, 0)->re()[0];
  if (!(v >= 1 && v <= 9.2 + 1e-9)) return vmerr(RC_VM_RANGE);
  interp.version = static_cast<int>(std::lround(v * 100));
  return retvoid(n);
}

// uniformseed(): the state of the generator as a string; uniformseed(s)
// sets it from a number or such a string.
bool b_uniformseed(int n) {
  if (n == 0) {
    std::string s;
    geturnseed(s);
    return retstr(n, s);
  }
  Mat* a = arg(n, 0);
  if (!needscalar(a)) return false;
  if (a->eltype == ET_STR) {
    if (seturnseed(sval(a).c_str())) return vmerr(RC_VM_RANGE);
  } else {
    if (!needreal(a)) return false;
    const double x = a->re()[0];
    if (!(x >= 0 && x < 2147483647.0)) return vmerr(RC_VM_RANGE);
    seturnseed_i4(static_cast<long>(x));
  }
  return retvoid(n);
}

bool b_more(int n) { return retvoid(n); }
bool b_favorspeed(int n) { return ret(n, mkscalar(1)); }

const LibRow rows[] = {
    {"rowshape", E_TRANS, O_MATRIX, 2, 2, b_shape<true>},
    {"colshape", E_TRANS, O_MATRIX, 2, 2, b_shape<false>},
    {"sizeof", E_REAL, O_SCALAR, 1, 1, b_sizeof},
    {"asinr", E_REAL, O_MATRIX, 1, 1, elem<f_asin>},
    {"acosr", E_REAL, O_MATRIX, 1, 1, elem<f_acos>},
    {"atanr", E_REAL, O_MATRIX, 1, 1, elem<f_atan>},
    {"factorial", E_REAL, O_MATRIX, 1, 1, elem<f_factorial>},
    {"atan2", E_REAL, O_MATRIX, 2, 2, b_atan2},
    {"arg", E_REAL, O_MATRIX, 1, 1, b_arg},
    {"order", E_REAL, O_COLVEC, 2, 2, b_order},
    {"_collate", E_REAL, O_SCALAR, 2, 2, b_collate},
    {"minmax", E_REAL, O_ROWVEC, 1, 2, b_minmax<0>},
    {"rowminmax", E_REAL, O_MATRIX, 1, 2, b_minmax<1>},
    {"colminmax", E_REAL, O_MATRIX, 1, 2, b_minmax<2>},
    {"rowmaxabs", E_REAL, O_COLVEC, 1, 1, b_maxabs<true>},
    {"colmaxabs", E_REAL, O_ROWVEC, 1, 1, b_maxabs<false>},
    {"all", E_REAL, O_SCALAR, 1, 1, b_allany<true>},
    {"any", E_REAL, O_SCALAR, 1, 1, b_allany<false>},
    {"allof", E_REAL, O_SCALAR, 2, 2, b_allanyof<true>},
    {"anyof", E_REAL, O_SCALAR, 2, 2, b_allanyof<false>},
    {"rowmissing", E_REAL, O_COLVEC, 1, 1, b_countmiss<true, true>},
    {"rownonmissing", E_REAL, O_COLVEC, 1, 1, b_countmiss<true, false>},
    {"colmissing", E_REAL, O_ROWVEC, 1, 1, b_countmiss<false, true>},
    {"colnonmissing", E_REAL, O_ROWVEC, 1, 1, b_countmiss<false, false>},
    {"missingof", E_TRANS, O_SCALAR, 1, 1, b_missingof},
    {"reldif", E_REAL, O_MATRIX, 2, 2, b_reldif},
    {"mreldif", E_REAL, O_SCALAR, 2, 2, b_mreldif},
    {"mreldifsym", E_REAL, O_SCALAR, 1, 1, b_mreldifsym},
    {"mreldifre", E_REAL, O_SCALAR, 1, 1, b_mreldifre},
    {"issymmetric", E_REAL, O_SCALAR, 1, 1, b_issym<true>},
    {"issymmetriconly", E_REAL, O_SCALAR, 1, 1, b_issym<false>},
    {"isview", E_REAL, O_SCALAR, 1, 1, b_isview},
    {"isfleeting", E_REAL, O_SCALAR, 1, 1, b_isfleeting},
    {"isrealvalues", E_REAL, O_SCALAR, 1, 1, b_isrealvalues},
    {"_transpose", E_TRANS, O_VOID, 1, 1, b_transpose_inplace<true>},
    {"_transposeonly", E_TRANS, O_VOID, 1, 1, b_transpose_inplace<false>},
    {"_conj", E_TRANS, O_VOID, 1, 1, b_conj_inplace},
    {"_makesymmetric", E_TRANS, O_VOID, 1, 1, b_makesymmetric},
    {"_diag", E_TRANS, O_VOID, 2, 2, b_diag_inplace},
    {"_editmissing", E_TRANS, O_VOID, 2, 2, b_editmissing},
    {"_editvalue", E_TRANS, O_VOID, 3, 3, b_editvalue},
    {"_fillmissing", E_TRANS, O_VOID, 1, 1, b_fillmissing},
    {"swap", E_TRANS, O_VOID, 2, 2, b_swap},
    {"select", E_TRANS, O_MATRIX, 2, 2, b_select},
    {"minindex", E_TRANS, O_MATRIX, 4, 4, b_minindex},
    {"findexternal", E_PTR, O_SCALAR, 1, 1, b_findexternal},
    {"crexternal", E_PTR, O_SCALAR, 1, 1, b_crexternal},
    {"rmexternal", E_TRANS, O_VOID, 1, 1, b_rmexternal},
    {"valofexternal", E_TRANS, O_MATRIX, 1, 1, b_valofexternal},
    {"direxternal", E_STR, O_COLVEC, 1, 1, b_direxternal},
    {"timer_clear", E_TRANS, O_VOID, 0, 1, b_timer_clear},
    {"timer_on", E_TRANS, O_VOID, 1, 1, b_timer_on},
    {"timer_off", E_TRANS, O_VOID, 1, 1, b_timer_off},
    {"timer_value", E_REAL, O_ROWVEC, 1, 1, b_timer_value},
    {"setbreakintr", E_REAL, O_SCALAR, 1, 1, b_setbreakintr},
    {"querybreakintr", E_REAL, O_SCALAR, 0, 0, b_querybreakintr},
    {"breakkey", E_REAL, O_SCALAR, 0, 0, b_breakkey},
    {"breakkeyreset", E_REAL, O_SCALAR, 0, 0, b_breakkeyreset},
    {"byteorder", E_REAL, O_SCALAR, 0, 0, b_byteorder},
    {"zeltaversion", E_REAL, O_SCALAR, 0, 0, b_zeltaversion},
    {"zeltasetversion", E_TRANS, O_VOID, 1, 1, b_zeltasetversion},
    {"uniformseed", E_TRANS, O_MATRIX, 0, 1, b_uniformseed},
    {"more", E_TRANS, O_VOID, 0, 0, b_more},
    {"favorspeed", E_REAL, O_SCALAR, 0, 0, b_favorspeed},
};

}  // namespace

LibRows lib_math_rows() { return {rows, sizeof rows / sizeof rows[0]}; }

