// Vemo comparisons and logical operators: whole-object equality (never a
// conformability error), orderings that hold for every element pair, their
// element-by-element colon forms, `&`, `|`, `!` and the condition flag that
// the comparisons set for `opbrfalse`.
#include <cstring>

#include "output/rc.h"
#include "vemo/opsutil.h"
#include "vemo/vm.h"

namespace {

int strcmpv(const VStr* a, const VStr* b) {
  size_t la = vstr_len(a), lb = vstr_len(b);
  int c = std::memcmp(vstr_ptr(a), vstr_ptr(b), la < lb ? la : lb);
  if (c) return c;
  return la < lb ? -1 : la > lb ? 1 : 0;
}

// Pushes the 1 x 1 result of a whole-object comparison and sets the flag.
bool settruth(bool t) {
  vm.cond = t;
  return settop2(t ? vm.k1 : vm.k0);
}

// Compares one element pair: -1, 0, 1; 2 when unordered (pointers differ).
int cmpel(const Mat* a, size_t p, const Mat* b, size_t q) {
  if (a->eltype == ET_STR) return strcmpv(a->str()[p], b->str()[q]);
  if (a->eltype == ET_PTR || a->eltype == ET_STRUCT) return a->ptr()[p] == b->ptr()[q] ? 0 : 2;
  double x = a->re()[p], y = b->re()[q];
  double xi = a->eltype == ET_CPLX ? a->re()[a->n() + p] : 0;
  double yi = b->eltype == ET_CPLX ? b->re()[b->n() + q] : 0;
  if (x == y && xi == yi) return 0;
  if (xi != yi) return x < y ? -1 : x > y ? 1 : 2;
  return x < y ? -1 : 1;
}

bool holds(int op, int c) {
  switch (op) {
    case opee: case opcee: return c == 0;
    case opne: case opcne: return c != 0;
    case opge: case opcge: return c == 0 || c == 1;
    case ople: case opcle: return c == 0 || c == -1;
    case opgt: case opcgt: return c == 1;
    default: return c == -1;
  }
}

bool comparable(const Mat* a, const Mat* b) {
  bool an = a->eltype == ET_REAL || a->eltype == ET_CPLX, bn = b->eltype == ET_REAL || b->eltype == ET_CPLX;
  if (an && bn) return true;
  return a->eltype == b->eltype;
}

}  // namespace

bool vm_equal(const Mat* a, const Mat* b) {
  if (a == b) return true;
  if (a->kind != b->kind) return false;
  if (a->kind == K_FCN) return a->fcn == b->fcn;
  if (a->rows != b->rows || a->cols != b->cols || !comparable(a, b)) return false;
  if (a->eltype == ET_STRUCT) {
    if (a->fcn != b->fcn) return false;
    for (size_t i = 0; i < a->n(); ++i) {
      const Mat* ta = a->ptr()[i];
      const Mat* tb = b->ptr()[i];
      if (ta == tb) continue;
      if (!ta || !tb || ta->rows != tb->rows) return false;
      for (int k = 0; k < ta->rows; ++k)
        if (!vm_equal(ta->ptr()[k], tb->ptr()[k])) return false;
    }
    return true;
  }
  for (size_t i = 0; i < a->n(); ++i)
    if (cmpel(a, i, b, i) != 0) return false;
  return true;
}

bool op_compare(int op) {
  Mat* a = vm.stack[static_cast<size_t>(vm.sp - 2)];
  Mat* b = vm.stack[static_cast<size_t>(vm.sp - 1)];
  // scalar fast path
  if (a->eltype == ET_REAL && b->eltype == ET_REAL && a->rows == 1 && a->cols == 1 && b->rows == 1 &&
      b->cols == 1 && a->kind == K_MAT && b->kind == K_MAT && !a->view && !b->view) {
    double x = a->re()[0], y = b->re()[0];
    bool t;
    switch (op) {
      case opee: case opcee: t = x == y; break;
      case opne: case opcne: t = x != y; break;
      case opge: case opcge: t = x >= y; break;
      case ople: case opcle: t = x <= y; break;
      case opgt: case opcgt: t = x > y; break;
      default: t = x < y; break;
    }
    return settruth(t);
  }
  if (op == opee || op == opne) {
    bool eq = vm_equal(a, b);
    return settruth(op == opee ? eq : !eq);
  }
  if (a->kind == K_FCN || b->kind == K_FCN) return vmerr(RC_VM_FCN);
  const bool colon = op >= opcee && op <= opcne;
  if (!comparable(a, b)) return vmerr(RC_VM_TYPE);
  if (a->eltype == ET_STRUCT) return vmerr(RC_VM_TYPE);
  const bool order = !(op == opee || op == opne || op == opcee || op == opcne);
  if (order && a->eltype == ET_PTR) return vmerr(RC_VM_PTROP);
  if (!colon) {
    if (a->rows != b->rows || a->cols != b->cols) return vmerr(RC_VM_CONFORM);
    bool all = true;
    for (size_t i = 0; i < a->n() && all; ++i) {
      int c = cmpel(a, i, b, i);
      if (c == 2 && order) return vmerr(RC_VM_TYPE);
      all = holds(op, c);
    }
    return settruth(all);
  }
  int r, c;
  if (!cconform(a, b, &r, &c)) return vmerr(RC_VM_CONFORM);
  Mat* res = mkmat(nullptr, ET_REAL, r, c);
  if (!res) return false;
  for (int i = 0; i < r; ++i)
    for (int j = 0; j < c; ++j) {
      int k = cmpel(a, cidx(a, i, j), b, cidx(b, i, j));
      if (k == 2 && order) {
        mfree(res);
        return vmerr(RC_VM_TYPE);
      }
      res->re()[static_cast<size_t>(i) * static_cast<size_t>(c) + static_cast<size_t>(j)] = holds(op, k) ? 1 : 0;
    }
  return settop2(res);
}

namespace {

// Truth of a 1 x 1 real or pointer operand; false with rc set otherwise.
bool truth(const Mat* m, bool* t) {
  if (m->kind == K_FCN) return vmerr(RC_VM_FCN);
  if (!m->isscalar()) return vmerr(RC_VM_SCALAR);
  if (m->eltype == ET_REAL) *t = m->re()[0] != 0;
  else if (m->eltype == ET_PTR) *t = m->ptr()[0] != nullptr;
  else return vmerr(RC_VM_TYPE);
  return true;
}

}  // namespace

bool op_logic(int op) {
  Mat* a = vm.stack[static_cast<size_t>(vm.sp - 2)];
  Mat* b = vm.stack[static_cast<size_t>(vm.sp - 1)];
  if (op == opand || op == opor) {
    bool x = false, y = false;
    if (!truth(a, &x) || !truth(b, &y)) return false;
    return settruth(op == opand ? (x && y) : (x || y));
  }
  if (a->kind == K_FCN || b->kind == K_FCN) return vmerr(RC_VM_FCN);
  if (a->eltype != ET_REAL || b->eltype != ET_REAL) return vmerr(RC_VM_REAL);
  if (op == opcand) return settop2(colonmap(a, b, [](double x, double y) { return x != 0 && y != 0 ? 1.0 : 0.0; }));
  return settop2(colonmap(a, b, [](double x, double y) { return x != 0 || y != 0 ? 1.0 : 0.0; }));
}

bool op_not() {
  Mat* a = vm.stack[static_cast<size_t>(vm.sp - 1)];
  bool t = false;
  if (!truth(a, &t)) return false;
  vm.cond = !t;
  return settop1(t ? vm.k0 : vm.k1);
}
