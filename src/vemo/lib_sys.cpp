// Introspection built-ins: the instruction count of a compiled function, the
// bytes of doubles as they sit in memory and back, the number of references
// to an object, and the figures of `vemo memory`.
#include <cmath>
#include <cstring>

#include "data/value.h"
#include "output/rc.h"
#include "vemo/lib.h"
#include "vemo/vemo.h"

using namespace vlib;

namespace {

// opcount(f): the number of instructions of the compiled function f, named
// by a string scalar or given as a pointer to the function (3300 when no
// such function is defined).
bool b_opcount(int n) {
  const Mat* a = arg(n, 0);
  Fcn* f = nullptr;
  if (a->kind == K_FCN) {
    f = a->fcn;
  } else if (a->kind == K_MAT && a->eltype == ET_PTR) {
    if (!a->isscalar()) return vmerr(RC_VM_SCALAR);
    const Mat* t = a->ptr()[0];
    if (!t || t->kind != K_FCN) return vmerr(RC_VM_RANGE);
    f = t->fcn;
  } else {
    if (!needstrscalar(a)) return false;
    f = findfcn(sval(a).c_str());
    if (!f) return vmerr(RC_VM_RANGE);
  }
  if (!f) return vmerr(RC_VM_RANGE);
  const int len = static_cast<int>(f->code.size());
  double count = 0;
  // two header words, then the instructions up to the literal pools
  for (int pc = 2; pc < len;) {
    if (f->code[static_cast<size_t>(pc)] == opnumpool || f->code[static_cast<size_t>(pc)] == opstrpool) break;
    const int step = vm_oplen(f->code.data(), pc, len);
    if (step <= 0) break;
    pc += step;
    ++count;
  }
  return ret(n, mkscalar(count));
}

// _testflopin(X): one row per element of the real X (in row order) holding
// the 8 bytes of the double as it sits in memory, first byte first.
bool b__testflopin(int n) {
  Mat* x = arg(n, 0);
  if (!needreal(x) || !readable(x)) return false;
  Mat* res = mkmat(nullptr, ET_REAL, static_cast<int>(x->n()), 8);
  if (!res) return false;
  for (size_t i = 0; i < x->n(); ++i) {
    unsigned char b[8];
    std::memcpy(b, &x->re()[i], 8);
    for (size_t k = 0; k < 8; ++k) res->re()[i * 8 + k] = b[k];
  }
  return ret(n, res);
}

// _testflopout(B): the inverse: a column of the doubles whose bytes are the
// rows of B (k x 8, each element an integer from 0 to 255).
bool b__testflopout(int n) {
  Mat* b = arg(n, 0);
  if (!needreal(b) || !readable(b)) return false;
  if (b->cols != 8 && b->n() != 0) return vmerr(RC_VM_CONFORM);
  for (size_t k = 0; k < b->n(); ++k) {
    const double v = b->re()[k];
    if (!(v >= 0 && v <= 255) || v != std::floor(v)) return vmerr(RC_VM_RANGE);
  }
  Mat* res = mkmat(nullptr, ET_REAL, b->rows, 1);
  if (!res) return false;
  for (int i = 0; i < b->rows; ++i) {
    unsigned char c[8];
    for (int k = 0; k < 8; ++k) c[k] = static_cast<unsigned char>(b->re()[at(b, i, k)]);
    std::memcpy(&res->re()[i], c, 8);
  }
  return ret(n, res);
}

// sys_linkcount(X): the number of references to the object X, not counting
// the one this call holds while it runs.
bool b_sys_linkcount(int n) {
  const Mat* x = arg(n, 0);
  if (x->kind == K_FCN) return ret(n, mkscalar(x->fcn ? x->fcn->refcnt : 0));
  return ret(n, mkscalar(x->immortal ? misval : static_cast<double>(x->refcnt - 1)));
}

// sys_memory(): the figures of `vemo memory` as a 1 x 11 row: the counts of
// autoloaded, ado and defined functions, of matrices and in all, then the
// bytes of the same four groups, the overhead and the total.
bool b_sys_memory(int n) {
  VemoMemory f;
  vemo_memfigures(&f);
  Mat* res = mkmat(nullptr, ET_REAL, 1, 11);
  if (!res) return false;
  const double v[11] = {f.nal, f.nado, f.ndef, f.nm, f.nal + f.nado + f.ndef + f.nm, f.mal, f.mado,
                        f.mdef, f.mm, f.moh, f.mal + f.mado + f.mdef + f.mm + f.moh};
  for (int k = 0; k < 11; ++k) res->re()[k] = v[k];
  return ret(n, res);
}

const LibRow rows[] = {
    {"opcount", E_REAL, O_SCALAR, 1, 1, b_opcount},
    {"_testflopin", E_REAL, O_MATRIX, 1, 1, b__testflopin},
    {"_testflopout", E_REAL, O_COLVEC, 1, 1, b__testflopout},
    {"sys_linkcount", E_REAL, O_SCALAR, 1, 1, b_sys_linkcount},
    {"sys_memory", E_REAL, O_ROWVEC, 0, 0, b_sys_memory},
};

}  // namespace

LibRows lib_sys_rows() { return {rows, sizeof rows / sizeof rows[0]}; }
