// Vemo subscripts: list subscripts `x[i]` and `x[i,j]` (index vectors, `.`
// for all), range subscripts `x[|r|]`, and the stores through them, which
// change the selected elements of a variable in place.
#include <cmath>
#include <cstring>
#include <vector>

#include "output/rc.h"
#include "vemo/opsutil.h"
#include "vemo/stsel.h"
#include "vemo/vm.h"

namespace {

// Index list from a real subscript over a dimension of size n (0-based).
// A 1 x 1 missing value means all. False with 3301/3253/3201 set.
bool indices(const Mat* s, int n, std::vector<int>& out) {
  out.clear();
  if (s->kind == K_FCN) return vmerr(RC_VM_FCN);
  if (s->eltype != ET_REAL) return vmerr(RC_VM_REAL);
  if (s->rows != 1 && s->cols != 1 && s->n() != 0) return vmerr(RC_VM_VECTOR);
  if (s->isscalar() && s->re()[0] >= misval) {
    out.resize(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) out[static_cast<size_t>(i)] = i;
    return true;
  }
  out.reserve(s->n());
  for (size_t k = 0; k < s->n(); ++k) {
    double x = s->re()[k];
    if (!(x >= 1 && x < 2147483647.0)) return vmerr(RC_VM_SUBSCRIPT);
    int i = static_cast<int>(x) - 1;
    if (i >= n) return vmerr(RC_VM_SUBSCRIPT);
    out.push_back(i);
  }
  return true;
}

// Copies element p of src into element q of dst (same element type family).
void copyel(Mat* dst, size_t q, const Mat* src, size_t p) {
  switch (dst->eltype) {
    case ET_REAL: dst->re()[q] = src->re()[p]; break;
    case ET_CPLX:
      dst->re()[q] = src->re()[p];
      dst->re()[dst->n() + q] = src->eltype == ET_CPLX ? src->re()[src->n() + p] : 0;
      break;
    case ET_STR: {
      std::free(dst->str()[q]);
      const VStr* s = src->str()[p];
      dst->str()[q] = s ? vstr_new(s->b, s->n - 1) : nullptr;
      break;
    }
    default: {
      Mat* old = dst->ptr()[q];
      dst->ptr()[q] = src->ptr()[p];
      if (dst->ptr()[q]) mref(dst->ptr()[q]);
      if (old) mfree(old);
    }
  }
}

Mat* likemat(const Mat* x, int r, int c) {
  Mat* m = mkmat(nullptr, x->eltype, r, c);
  if (m && x->eltype == ET_STRUCT && x->fcn) {
    m->fcn = x->fcn;
    ++m->fcn->refcnt;
  }
  return m;
}

// Resolves a range subscript r against x: first and last row and column.
bool range(const Mat* x, const Mat* r, int* r0, int* c0, int* r1, int* c1) {
  if (r->kind == K_FCN) return vmerr(RC_VM_FCN);
  if (r->eltype != ET_REAL) return vmerr(RC_VM_REAL);
  const double* v = r->re();
  auto pos = [](double d, int def, int* out) {
    if (d >= misval) {
      *out = def;
      return true;
    }
    if (!(d >= 1 && d < 2147483647.0)) return false;
    *out = static_cast<int>(d) - 1;
    return true;
  };
  const bool vec = x->rows == 1 || x->cols == 1;
  if (vec && r->cols == 1 && (r->rows == 1 || r->rows == 2)) {
    // element positions in a vector
    int len = static_cast<int>(x->n());
    int a, b;
    if (!pos(v[0], 0, &a)) return vmerr(RC_VM_SUBSCRIPT);
    if (r->rows == 2) {
      if (!pos(v[1], len - 1, &b)) return vmerr(RC_VM_SUBSCRIPT);
    } else {
      b = a;
    }
    if (a >= len || b >= len || b < a) return vmerr(RC_VM_SUBSCRIPT);
    if (x->rows == 1) {
      *r0 = *r1 = 0;
      *c0 = a;
      *c1 = b;
    } else {
      *c0 = *c1 = 0;
      *r0 = a;
      *r1 = b;
    }
    return true;
  }
  if (r->rows == 1 && r->cols == 2) {
    if (!pos(v[0], 0, r0) || !pos(v[1], 0, c0)) return vmerr(RC_VM_SUBSCRIPT);
    *r1 = *r0;
    *c1 = *c0;
  } else if (r->rows == 2 && r->cols == 2) {
    if (!pos(v[0], 0, r0) || !pos(v[1], 0, c0) || !pos(v[2], x->rows - 1, r1) || !pos(v[3], x->cols - 1, c1))
      return vmerr(RC_VM_SUBSCRIPT);
  } else {
    return vmerr(RC_VM_CONFORM);
  }
  if (*r0 >= x->rows || *r1 >= x->rows || *c0 >= x->cols || *c1 >= x->cols || *r1 < *r0 - 1 ||
      *c1 < *c0 - 1 || *r1 < *r0 || *c1 < *c0)
    return vmerr(RC_VM_SUBSCRIPT);
  return true;
}

// The selection as row and column index lists.
bool selection(Mat* x, int kind, Mat** subs, std::vector<int>& ri, std::vector<int>& ci, bool* rowshape) {
  *rowshape = false;
  if (kind == 1) {
    if (x->rows != 1 && x->cols != 1) return vmerr(RC_VM_VECTOR);
    std::vector<int> k;
    if (!indices(subs[0], static_cast<int>(x->n()), k)) return false;
    if (x->rows == 1) {
      ri.assign(1, 0);
      ci = k;
      *rowshape = true;
    } else {
      ci.assign(1, 0);
      ri = k;
    }
    // a 1 x 1 x indexed by a row vector gives a row
    if (x->rows == 1 && x->cols == 1 && subs[0]->cols == 1 && subs[0]->rows > 1) {
      ri = k;
      ci.assign(1, 0);
      *rowshape = false;
    }
    return true;
  }
  if (kind == 2) return indices(subs[0], x->rows, ri) && indices(subs[1], x->cols, ci);
  int r0 = 0, c0 = 0, r1 = -1, c1 = -1;
  if (!range(x, subs[0], &r0, &c0, &r1, &c1)) return false;
  ri.clear();
  ci.clear();
  for (int i = r0; i <= r1; ++i) ri.push_back(i);
  for (int j = c0; j <= c1; ++j) ci.push_back(j);
  return true;
}

}  // namespace

// [x, subscripts...] -> x selected.
bool op_subscr(int kind) {
  const int ns = kind == 2 ? 2 : 1;
  Mat* x = vm.stack[static_cast<size_t>(vm.sp - 1 - ns)];
  Mat* subs[2] = {vm.stack[static_cast<size_t>(vm.sp - ns)], ns == 2 ? vm.stack[static_cast<size_t>(vm.sp - 1)] : nullptr};
  if (x->kind == K_FCN) return vmerr(RC_VM_FCN);
  std::vector<int> ri, ci;
  bool rowshape;
  if (!selection(x, kind, subs, ri, ci, &rowshape)) return false;
  const int r = static_cast<int>(ri.size()), c = static_cast<int>(ci.size());
  Mat* res = likemat(x, r, c);
  if (!res) return false;
  for (int i = 0; i < r; ++i)
    for (int j = 0; j < c; ++j)
      copyel(res, static_cast<size_t>(i) * static_cast<size_t>(c) + static_cast<size_t>(j), x,
             static_cast<size_t>(ri[static_cast<size_t>(i)]) * static_cast<size_t>(x->cols) +
                 static_cast<size_t>(ci[static_cast<size_t>(j)]));
  for (int k = 0; k < ns; ++k) mfree(vm.stack[static_cast<size_t>(--vm.sp)]);
  return settop1(res);
}

// [val, subscripts...]: stores val into the selected elements of target.
bool op_store(Mat* target, int kind, bool pop) {
  const int ns = kind == 2 ? 2 : 1;
  Mat* val = vm.stack[static_cast<size_t>(vm.sp - 1 - ns)];
  Mat* subs[2] = {vm.stack[static_cast<size_t>(vm.sp - ns)], ns == 2 ? vm.stack[static_cast<size_t>(vm.sp - 1)] : nullptr};
  if (target->kind == K_FCN || val->kind == K_FCN) return vmerr(RC_VM_FCN);
  if (target->immortal) return vmerr(RC_VM_LVAL);
  if (target->view && !vview_refresh(target)) return false;
  std::vector<int> ri, ci;
  bool rowshape;
  if (!selection(target, kind, subs, ri, ci, &rowshape)) return false;
  int r = static_cast<int>(ri.size()), c = static_cast<int>(ci.size());
  // a vector selection takes a value of either orientation
  bool ok = val->rows == r && val->cols == c;
  if (!ok && kind == 1 && val->n() == static_cast<size_t>(r) * static_cast<size_t>(c) &&
      (val->rows == 1 || val->cols == 1))
    ok = true;
  if (!ok) return vmerr(RC_VM_CONFORM);
  // element types
  const bool tn = target->eltype == ET_REAL || target->eltype == ET_CPLX;
  const bool vn = val->eltype == ET_REAL || val->eltype == ET_CPLX;
  if (tn != vn || (!tn && target->eltype != val->eltype)) return vmerr(RC_VM_TYPE);
  if (target->view && val->eltype != target->eltype) return vmerr(RC_VM_REAL);
  Mat* src = val;
  if (val == target) {
    src = mdup(val);
    if (!src) return false;
  }
  if (target->eltype == ET_REAL && val->eltype == ET_CPLX) {
    // the variable becomes complex
    Mat* c2 = mkmat(nullptr, ET_CPLX, target->rows, target->cols);
    if (!c2) return false;
    std::memcpy(c2->re(), target->re(), target->n() * 8);
    std::memset(c2->im(), 0, target->n() * 8);
    mswap(target, c2);
    mfree(c2);
  }
  size_t k = 0;
  for (int i = 0; i < r; ++i)
    for (int j = 0; j < c; ++j, ++k)
      copyel(target,
             static_cast<size_t>(ri[static_cast<size_t>(i)]) * static_cast<size_t>(target->cols) +
                 static_cast<size_t>(ci[static_cast<size_t>(j)]),
             src, k);
  if (src != val) mfree(src);
  if (target->view && !vview_writeback(target, ri, ci)) return false;
  for (int q = 0; q < ns; ++q) mfree(vm.stack[static_cast<size_t>(--vm.sp)]);
  if (pop) mfree(vm.stack[static_cast<size_t>(--vm.sp)]);
  return true;
}
