// Vemo operators: arithmetic (with the scalar fast path, c-conformability,
// missing values, complex arithmetic and the BLAS matrix product), the
// comparisons and the condition flag, logical operators, negation,
// transposition, joins and ranges. Subscripts are in subscr.cpp.
#include <cblas.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "data/value.h"
#include "output/rc.h"
#include "platform/platform.h"
#include "vemo/cxmath.h"
#include "vemo/opsutil.h"
#include "vemo/vemo.h"
#include "vemo/vm.h"

namespace {

// Arithmetic on (re, im) pairs; missing in, missing out.
void carith(int op, double ar, double ai, double br, double bi, double* rr, double* ri) {
  if (ar >= misval || ai >= misval || br >= misval || bi >= misval) {
    *rr = *ri = misval;
    return;
  }
  switch (op) {
    case opplus: case opcadd: *rr = ar + br; *ri = ai + bi; break;
    case opsub: case opcsub: *rr = ar - br; *ri = ai - bi; break;
    case opmult: case opcmult: *rr = ar * br - ai * bi; *ri = ar * bi + ai * br; break;
    case opdiv: case opcdiv: {
      double d = br * br + bi * bi;
      if (d == 0) {
        *rr = *ri = misval;
        return;
      }
      *rr = (ar * br + ai * bi) / d;
      *ri = (ai * br - ar * bi) / d;
      break;
    }
    default:  // powers
      cx_pow(ar, ai, br, bi, rr, ri);
      return;
  }
  *rr = vfix(*rr);
  *ri = vfix(*ri);
  if (*rr >= misval || *ri >= misval) *rr = *ri = misval;
}

bool isnum(const Mat* m) { return m->kind == K_MAT && (m->eltype == ET_REAL || m->eltype == ET_CPLX); }

// Element-by-element arithmetic over c-conformable (or equal, when `strict`) operands.
bool elementwise(int op, Mat* a, Mat* b, bool strict) {
  int r, c;
  if (strict) {
    if (a->rows != b->rows || a->cols != b->cols) return vmerr(RC_VM_CONFORM);
    r = a->rows;
    c = a->cols;
  } else if (!cconform(a, b, &r, &c)) {
    return vmerr(RC_VM_CONFORM);
  }
  // strings: concatenation
  if (a->eltype == ET_STR && b->eltype == ET_STR && (op == opplus || op == opcadd)) {
    Mat* res = mkmat(nullptr, ET_STR, r, c);
    if (!res) return false;
    for (int i = 0; i < r; ++i)
      for (int j = 0; j < c; ++j) {
        const VStr* x = a->str()[cidx(a, i, j)];
        const VStr* y = b->str()[cidx(b, i, j)];
        size_t lx = vstr_len(x), ly = vstr_len(y);
        if (lx + ly > 0x7ffffff0u) {
          mfree(res);
          return vmerr(RC_VM_STRTOOLONG);
        }
        if (lx + ly == 0) continue;
        std::string s(vstr_ptr(x), lx);
        s.append(vstr_ptr(y), ly);
        VStr* v = vstr_new(s.data(), s.size());
        if (!v) {
          mfree(res);
          return vmerr(RC_VM_NOMEM);
        }
        res->str()[static_cast<size_t>(i) * static_cast<size_t>(c) + static_cast<size_t>(j)] = v;
      }
    return settop2(res);
  }
  if (!isnum(a) || !isnum(b)) return vmerr(a->kind == K_FCN || b->kind == K_FCN ? RC_VM_FCN : RC_VM_TYPE);
  const bool cx = a->eltype == ET_CPLX || b->eltype == ET_CPLX;
  if (!cx) {
    const bool same = a->rows == r && a->cols == c && b->rows == r && b->cols == c;
    Mat* res = reusable(a) && a->rows == r && a->cols == c ? a
               : reusable(b) && b->rows == r && b->cols == c ? b
                                                            : mkmat(nullptr, ET_REAL, r, c);
    if (!res) return false;
    const double* x = a->re();
    const double* y = b->re();
    double* z = res->re();
    const size_t n = static_cast<size_t>(r) * static_cast<size_t>(c);
    if (same) {
      for (size_t k = 0; k < n; ++k) z[k] = realop(op, x[k], y[k]);
    } else {
      for (int i = 0; i < r; ++i)
        for (int j = 0; j < c; ++j)
          z[static_cast<size_t>(i) * static_cast<size_t>(c) + static_cast<size_t>(j)] =
              realop(op, x[cidx(a, i, j)], y[cidx(b, i, j)]);
    }
    return settop2(res);
  }
  Mat* res = mkmat(nullptr, ET_CPLX, r, c);
  if (!res) return false;
  const size_t an = a->n(), bn = b->n();
  const size_t n = res->n();
  for (int i = 0; i < r; ++i)
    for (int j = 0; j < c; ++j) {
      size_t p = cidx(a, i, j), q = cidx(b, i, j);
      size_t k = static_cast<size_t>(i) * static_cast<size_t>(c) + static_cast<size_t>(j);
      double ar = a->re()[p], ai = a->eltype == ET_CPLX ? a->re()[an + p] : 0;
      double br = b->re()[q], bi = b->eltype == ET_CPLX ? b->re()[bn + q] : 0;
      carith(op, ar, ai, br, bi, &res->re()[k], &res->re()[n + k]);
    }
  return settop2(res);
}

// A string matrix times a real scalar (or the reverse): each string repeated.
// The count is checked as a double before it becomes an integer (a huge one
// would not convert), and the result's length before anything is built.
bool strrepeat(Mat* s, Mat* x, bool sfirst) {
  (void)sfirst;
  if (!x->isscalar()) return vmerr(RC_VM_CONFORM);
  const double k = x->re()[0];
  const double cap = vst.maxbytes ? std::min<double>(vst.maxbytes, 0x7ffffff0u) : 0x7ffffff0u;
  Mat* res = mkmat(nullptr, ET_STR, s->rows, s->cols);
  if (!res) return false;
  for (size_t i = 0; i < s->n(); ++i) {
    const size_t len = vstr_len(s->str()[i]);
    if (!len || k >= misval || k < 1) continue;
    if (static_cast<double>(len) * k > cap) {
      mfree(res);
      return vmerr(RC_VM_STRTOOLONG);
    }
    const size_t total = len * static_cast<size_t>(k);
    std::string out(vstr_ptr(s->str()[i]), len);
    out.reserve(total);
    while (out.size() * 2 <= total) out.append(out);  // doubling: few copies
    out.append(out.data(), total - out.size());
    VStr* v = vstr_new(out.data(), out.size());
    if (!v) {
      mfree(res);
      return vmerr(RC_VM_NOMEM);
    }
    res->str()[i] = v;
  }
  return settop2(res);
}

bool hasmissing(const double* x, size_t n) {
  for (size_t i = 0; i < n; ++i)
    if (x[i] >= misval) return true;
  return false;
}

// The matrix product of conformable a (r x k) and b (k x c).
bool matprod(Mat* a, Mat* b) {
  const int r = a->rows, k = a->cols, c = b->cols;
  if (a->eltype == ET_REAL && b->eltype == ET_REAL) {
    Mat* res = mkmat(nullptr, ET_REAL, r, c);
    if (!res) return false;
    double* z = res->re();
    const double* x = a->re();
    const double* y = b->re();
    if (k == 0 || r == 0 || c == 0) {
      std::memset(z, 0, res->n() * 8);
      return settop2(res);
    }
    if (!hasmissing(x, a->n()) && !hasmissing(y, b->n())) {
      cblas_dgemm(CblasRowMajor, CblasNoTrans, CblasNoTrans, r, c, k, 1.0, x, k, y, c, 0.0, z, c);
      for (size_t i = 0, n = res->n(); i < n; ++i) z[i] = vfix(z[i]);
      return settop2(res);
    }
    // missing values: a missing operand element makes its row/column product missing
    for (int i = 0; i < r; ++i)
      for (int j = 0; j < c; ++j) {
        double s = 0;
        for (int t = 0; t < k; ++t) {
          double u = x[static_cast<size_t>(i) * static_cast<size_t>(k) + static_cast<size_t>(t)];
          double v = y[static_cast<size_t>(t) * static_cast<size_t>(c) + static_cast<size_t>(j)];
          if (u >= misval || v >= misval) {
            s = misval;
            break;
          }
          s += u * v;
        }
        z[static_cast<size_t>(i) * static_cast<size_t>(c) + static_cast<size_t>(j)] = vfix(s);
      }
    return settop2(res);
  }
  Mat* res = mkmat(nullptr, ET_CPLX, r, c);
  if (!res) return false;
  const size_t an = a->n(), bn = b->n(), n = res->n();
  for (int i = 0; i < r; ++i)
    for (int j = 0; j < c; ++j) {
      double sr = 0, si = 0;
      bool miss = false;
      for (int t = 0; t < k && !miss; ++t) {
        size_t p = static_cast<size_t>(i) * static_cast<size_t>(k) + static_cast<size_t>(t);
        size_t q = static_cast<size_t>(t) * static_cast<size_t>(c) + static_cast<size_t>(j);
        double ar = a->re()[p], ai = a->eltype == ET_CPLX ? a->re()[an + p] : 0;
        double br = b->re()[q], bi = b->eltype == ET_CPLX ? b->re()[bn + q] : 0;
        if (ar >= misval || ai >= misval || br >= misval || bi >= misval) miss = true;
        sr += ar * br - ai * bi;
        si += ar * bi + ai * br;
      }
      size_t z = static_cast<size_t>(i) * static_cast<size_t>(c) + static_cast<size_t>(j);
      res->re()[z] = miss ? misval : vfix(sr);
      res->re()[n + z] = miss ? misval : vfix(si);
      if (res->re()[z] >= misval || res->re()[n + z] >= misval) res->re()[z] = res->re()[n + z] = misval;
    }
  return settop2(res);
}

// Kronecker product.
bool kron(Mat* a, Mat* b) {
  if (!isnum(a) || !isnum(b)) return vmerr(RC_VM_TYPE);
  const int r = a->rows * b->rows, c = a->cols * b->cols;
  const bool cx = a->eltype == ET_CPLX || b->eltype == ET_CPLX;
  Mat* res = mkmat(nullptr, cx ? ET_CPLX : ET_REAL, r, c);
  if (!res) return false;
  const size_t an = a->n(), bn = b->n(), n = res->n();
  for (int i = 0; i < a->rows; ++i)
    for (int j = 0; j < a->cols; ++j)
      for (int k = 0; k < b->rows; ++k)
        for (int l = 0; l < b->cols; ++l) {
          size_t p = static_cast<size_t>(i) * static_cast<size_t>(a->cols) + static_cast<size_t>(j);
          size_t q = static_cast<size_t>(k) * static_cast<size_t>(b->cols) + static_cast<size_t>(l);
          size_t z = static_cast<size_t>(i * b->rows + k) * static_cast<size_t>(c) +
                     static_cast<size_t>(j * b->cols + l);
          double ar = a->re()[p], ai = a->eltype == ET_CPLX ? a->re()[an + p] : 0;
          double br = b->re()[q], bi = b->eltype == ET_CPLX ? b->re()[bn + q] : 0;
          if (cx) carith(opmult, ar, ai, br, bi, &res->re()[z], &res->re()[n + z]);
          else res->re()[z] = realop(opmult, ar, br);
        }
  return settop2(res);
}

}  // namespace

double realop(int op, double x, double y) {
  if (x >= misval || y >= misval) return misval;
  double r;
  switch (op) {
    case opplus: case opcadd: r = x + y; break;
    case opsub: case opcsub: r = x - y; break;
    case opmult: case opcmult: r = x * y; break;
    case opdiv: case opcdiv:
      if (y == 0) return misval;
      r = x / y;
      break;
    default:
      if (x == 0 && y < 0) return misval;
      r = std::pow(x, y);
      break;
  }
  return vfix(r);
}

bool op_arith(int op) {
  Mat* a = vm.stack[static_cast<size_t>(vm.sp - 2)];
  Mat* b = vm.stack[static_cast<size_t>(vm.sp - 1)];
  // scalar fast path
  if (a->eltype == ET_REAL && b->eltype == ET_REAL && a->rows == 1 && a->cols == 1 && b->rows == 1 &&
      b->cols == 1 && !a->view && !b->view && a->kind == K_MAT && b->kind == K_MAT && op != opdmult) {
    double z = realop(op, a->re()[0], b->re()[0]);
    if (op == oppower || op == opcpower) {
      double x = a->re()[0], y = b->re()[0];
      if (x < 0 && y < misval && x < misval && y != std::floor(y)) z = misval;
    }
    Mat* res = reusable(a) ? a : reusable(b) ? b : mkscalar(z);
    if (!res) return false;
    res->re()[0] = z;
    return settop2(res);
  }
  if (a->kind == K_FCN || b->kind == K_FCN) return vmerr(RC_VM_FCN);
  switch (op) {
    case opplus:
    case opsub:
      if (op == opsub && (a->eltype == ET_STR || b->eltype == ET_STR)) return vmerr(RC_VM_TYPE);
      return elementwise(op, a, b, true);
    case opcadd:
    case opcsub:
    case opcmult:
    case opcdiv:
    case opcpower:
      if (a->eltype == ET_STR || b->eltype == ET_STR) {
        if (op == opcadd && a->eltype == ET_STR && b->eltype == ET_STR) return elementwise(op, a, b, false);
        return vmerr(RC_VM_TYPE);
      }
      return elementwise(op, a, b, false);
    case opmult:
      if (a->eltype == ET_STR && b->eltype == ET_REAL) return strrepeat(a, b, true);
      if (b->eltype == ET_STR && a->eltype == ET_REAL) return strrepeat(b, a, false);
      if (!isnum(a) || !isnum(b)) return vmerr(RC_VM_TYPE);
      if (a->isscalar() || b->isscalar()) return elementwise(opcmult, a, b, false);
      if (a->cols != b->rows) return vmerr(RC_VM_CONFORM);
      return matprod(a, b);
    case opdiv:
      if (!isnum(a) || !isnum(b)) return vmerr(RC_VM_TYPE);
      if (!b->isscalar()) return vmerr(RC_VM_SCALAR);
      return elementwise(opcdiv, a, b, false);
    case oppower:
      if (!isnum(a) || !isnum(b)) return vmerr(RC_VM_TYPE);
      if (!a->isscalar() || !b->isscalar()) return vmerr(RC_VM_SCALAR);
      return elementwise(oppower, a, b, false);
    case opdmult: return kron(a, b);
    default: return vmerr(RC_VM_OPCODE);
  }
}

bool op_neg() {
  Mat* a = vm.stack[static_cast<size_t>(vm.sp - 1)];
  if (a->kind == K_FCN) return vmerr(RC_VM_FCN);
  if (!isnum(a)) return vmerr(RC_VM_TYPE);
  Mat* res = reusable(a) ? a : mkmat(nullptr, a->eltype, a->rows, a->cols);
  if (!res) return false;
  const size_t n = a->n() * (a->eltype == ET_CPLX ? 2 : 1);
  for (size_t i = 0; i < n; ++i) res->re()[i] = a->re()[i] >= misval ? a->re()[i] : -a->re()[i];
  if (a->eltype == ET_CPLX)
    for (size_t i = 0; i < a->n(); ++i)
      if (res->re()[i] >= misval || res->re()[a->n() + i] >= misval) res->re()[i] = res->re()[a->n() + i] = misval;
  return settop1(res);
}

bool op_trans() {
  Mat* a = vm.stack[static_cast<size_t>(vm.sp - 1)];
  if (a->kind == K_FCN) return vmerr(RC_VM_FCN);
  const int r = a->rows, c = a->cols;
  Mat* res = mkmat(nullptr, a->eltype, c, r);
  if (!res) return false;
  if (a->eltype == ET_STRUCT && a->fcn) {
    res->fcn = a->fcn;
    ++res->fcn->refcnt;
  }
  const size_t n = a->n();
  for (int i = 0; i < r; ++i)
    for (int j = 0; j < c; ++j) {
      size_t p = static_cast<size_t>(i) * static_cast<size_t>(c) + static_cast<size_t>(j);
      size_t q = static_cast<size_t>(j) * static_cast<size_t>(r) + static_cast<size_t>(i);
      switch (a->eltype) {
        case ET_REAL: res->re()[q] = a->re()[p]; break;
        case ET_CPLX: {
          res->re()[q] = a->re()[p];
          double im = a->re()[n + p];
          res->re()[n + q] = im >= misval ? im : -im;
          break;
        }
        case ET_STR: {
          const VStr* s = a->str()[p];
          res->str()[q] = s ? vstr_new(s->b, s->n - 1) : nullptr;
          break;
        }
        default:
          res->ptr()[q] = a->ptr()[p];
          if (res->ptr()[q]) mref(res->ptr()[q]);
          break;
      }
    }
  return settop1(res);
}

// Joins: `,` (columns, rows must match) and `\` (rows, columns must match).
bool op_join(bool rows) {
  Mat* a = vm.stack[static_cast<size_t>(vm.sp - 2)];
  Mat* b = vm.stack[static_cast<size_t>(vm.sp - 1)];
  if (a->kind == K_FCN || b->kind == K_FCN) return vmerr(RC_VM_FCN);
  int16_t et;
  if (isnum(a) && isnum(b)) {
    et = a->eltype == ET_CPLX || b->eltype == ET_CPLX ? ET_CPLX : ET_REAL;
  } else if (a->eltype == b->eltype && (a->eltype != ET_STRUCT || a->fcn == b->fcn)) {
    et = a->eltype;
  } else {
    return vmerr(RC_VM_TYPE);
  }
  int r, c;
  if (rows) {
    if (a->cols != b->cols) return vmerr(RC_VM_CONFORM);
    r = a->rows + b->rows;
    c = a->cols;
  } else {
    if (a->rows != b->rows) return vmerr(RC_VM_CONFORM);
    r = a->rows;
    c = a->cols + b->cols;
  }
  Mat* res = mkmat(nullptr, et, r, c);
  if (!res) return false;
  if (et == ET_STRUCT && a->fcn) {
    res->fcn = a->fcn;
    ++res->fcn->refcnt;
  }
  const size_t n = res->n();
  auto put = [&](const Mat* s, int i0, int j0) {
    const size_t sn = s->n();
    for (int i = 0; i < s->rows; ++i)
      for (int j = 0; j < s->cols; ++j) {
        size_t p = static_cast<size_t>(i) * static_cast<size_t>(s->cols) + static_cast<size_t>(j);
        size_t q = static_cast<size_t>(i + i0) * static_cast<size_t>(c) + static_cast<size_t>(j + j0);
        switch (et) {
          case ET_REAL: res->re()[q] = s->re()[p]; break;
          case ET_CPLX:
            res->re()[q] = s->re()[p];
            res->re()[n + q] = s->eltype == ET_CPLX ? s->re()[sn + p] : 0;
            break;
          case ET_STR: {
            const VStr* v = s->str()[p];
            res->str()[q] = v ? vstr_new(v->b, v->n - 1) : nullptr;
            break;
          }
          default:
            res->ptr()[q] = s->ptr()[p];
            if (res->ptr()[q]) mref(res->ptr()[q]);
        }
      }
  };
  put(a, 0, 0);
  if (rows) put(b, a->rows, 0);
  else put(b, 0, a->cols);
  return settop2(res);
}

// a..b (a row) and a::b (a column).
bool op_range(bool row) {
  Mat* a = vm.stack[static_cast<size_t>(vm.sp - 2)];
  Mat* b = vm.stack[static_cast<size_t>(vm.sp - 1)];
  if (a->kind == K_FCN || b->kind == K_FCN) return vmerr(RC_VM_FCN);
  if (!a->isscalar() || !b->isscalar()) return vmerr(RC_VM_SCALAR);
  if (a->eltype != ET_REAL || b->eltype != ET_REAL) return vmerr(RC_VM_REAL);
  double x = a->re()[0], y = b->re()[0];
  if (x >= misval || y >= misval || x == y) return settop2(mkscalar(x >= misval || y >= misval ? misval : x));
  double d = std::fabs(std::trunc(y - x));
  if (d > 2147483646.0) return vmerr(RC_VM_RANGE);
  const int n = static_cast<int>(d) + 1;
  const double s = y > x ? 1 : -1;
  Mat* res = row ? mkmat(nullptr, ET_REAL, 1, n) : mkmat(nullptr, ET_REAL, n, 1);
  if (!res) return false;
  for (int i = 0; i < n; ++i) res->re()[i] = x + s * i;
  return settop2(res);
}
