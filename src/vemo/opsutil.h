// Small helpers shared by the operator files: operand reuse, replacing the
// operands on the stack by the result, c-conformability and the missing
// value rule for results. Internal to src/vemo.
#pragma once
#include <cmath>
#include <cstddef>

#include "data/value.h"
#include "output/rc.h"
#include "vemo/vm.h"

// An operand that may be overwritten by the result: a temporary that only
// the stack holds.
inline bool reusable(const Mat* m) { return m->refcnt == 1 && !m->view && !m->immortal && m->kind == K_MAT; }

// Replaces the top one (two) operands by result, which may be one of them.
inline bool settop1(Mat* result) {
  if (!result) return false;
  Mat*& t = vm.stack[static_cast<size_t>(vm.sp - 1)];
  if (t != result) {
    mfree(t);
    t = result;
  }
  return true;
}
inline bool settop2(Mat* result) {
  if (!result) return false;
  Mat* a = vm.stack[static_cast<size_t>(vm.sp - 2)];
  Mat* b = vm.stack[static_cast<size_t>(vm.sp - 1)];
  vm.sp -= 2;
  if (a != result) mfree(a);
  if (b != result) mfree(b);
  vm.stack[static_cast<size_t>(vm.sp++)] = result;
  return true;
}

// Dimensions of the result of a colon operator; false when not c-conformable.
inline bool cconform(const Mat* a, const Mat* b, int* r, int* c) {
  if (a->rows == b->rows && a->cols == b->cols) {
    *r = a->rows;
    *c = a->cols;
    return true;
  }
  if (a->isscalar() || b->isscalar()) {
    const Mat* big = a->isscalar() ? b : a;
    *r = big->rows;
    *c = big->cols;
    return true;
  }
  if ((a->cols == 1 && a->rows == b->rows) || (b->cols == 1 && a->rows == b->rows) ||
      (a->rows == 1 && a->cols == b->cols) || (b->rows == 1 && a->cols == b->cols)) {
    *r = a->rows > b->rows ? a->rows : b->rows;
    *c = a->cols > b->cols ? a->cols : b->cols;
    return true;
  }
  return false;
}

// Index of element (i, j) of m when it is repeated to a larger shape.
inline size_t cidx(const Mat* m, int i, int j) {
  return static_cast<size_t>(m->rows == 1 ? 0 : i) * static_cast<size_t>(m->cols) +
         static_cast<size_t>(m->cols == 1 ? 0 : j);
}

// The colon form of a function of two real elements: f over the shape that
// c-conformable a and b take; nullptr with the error set (3200 when they are
// not c-conformable).
template <class F>
Mat* colonmap(const Mat* a, const Mat* b, F f) {
  int r, c;
  if (!cconform(a, b, &r, &c)) {
    vmerr(RC_VM_CONFORM);
    return nullptr;
  }
  Mat* m = mkmat(nullptr, ET_REAL, r, c);
  if (!m) return nullptr;
  double* o = m->re();
  for (int i = 0; i < r; ++i)
    for (int j = 0; j < c; ++j) *o++ = f(a->re()[cidx(a, i, j)], b->re()[cidx(b, i, j)]);
  return m;
}

// A result that overflowed (into the missing codes or to infinity) or is
// not a number is missing.
inline double vfix(double x) { return std::fabs(x) < misval ? x : misval; }

double realop(int op, double x, double y);
