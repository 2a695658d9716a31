// The built-in library files' shared interface: the rows each family file
// adds to the built-in table (name, declared result type, argument counts,
// implementation) and the small argument helpers every built-in uses to read
// its operands off the stack, check them and leave its result. Internal to
// src/vemo.
#pragma once
#include <cstddef>
#include <cstdio>
#include <string>

#include "output/rc.h"
#include "vemo/cc.h"
#include "vemo/opsutil.h"
#include "vemo/vm.h"

struct LibRow {
  const char* name;
  int el, org;            // declared result type (compile-time codes)
  int minargs, maxargs;
  bool (*fn)(int nargs);
};
struct LibRows {
  const LibRow* rows;
  size_t n;
};

// The family files, joined by the table builder in this order.
LibRows lib_expr_rows();    // element-wise forms of the expression functions
LibRows lib_math_rows();    // shape, reductions, comparisons, selection
LibRows lib_str_rows();     // strings
LibRows lib_st_rows();      // dataset interface
LibRows lib_stx_rows();     // macros, scalars, matrices, results, commands
LibRows lib_la_rows();      // linear algebra
LibRows lib_file_rows();    // files, paths, directories
LibRows lib_num_rows();     // numeric: generalized inverse, FFT, series, traces
LibRows lib_svy_rows();     // GHK simulator and sandwich variances
LibRows lib_sys_rows();     // introspection
LibRows lib_io_rows();      // output style and flushing, byte buffers, representation
LibRows lib_stsys_rows();   // st_dir, st_select, st_tsrevar

// Sets the output level (and, once displayas() chose a style, its colour)
// that printf() and display() print at; returns the previous level.
int vlib_beginout();

namespace vlib {

// Argument i (0-based) of a built-in called with nargs arguments.
inline Mat* arg(int nargs, int i) { return vm.stack[static_cast<size_t>(vm.sp - nargs + i)]; }

// Replaces the nargs arguments with res (false when res is null: the
// allocation has set the error).
inline bool ret(int nargs, Mat* res) {
  if (!res) return false;
  for (int i = 0; i < nargs; ++i) mfree(vm.stack[static_cast<size_t>(--vm.sp)]);
  vm.stack[static_cast<size_t>(vm.sp++)] = res;
  return true;
}
// A void result (0 x 0 real).
inline bool retvoid(int nargs) { return ret(nargs, mkmat(nullptr, ET_REAL, 0, 0)); }
inline bool retstr(int nargs, const std::string& s) { return ret(nargs, mkstrscalar(s.data(), s.size())); }

// Brings a view argument up to date so its elements may be read directly.
inline bool readable(Mat* m) { return !m->view || vview_refresh(m); }

inline bool needmat(const Mat* m) { return m->kind == K_FCN ? vmerr(RC_VM_FCN) : true; }
inline bool needreal(const Mat* m) {
  if (m->kind == K_FCN) return vmerr(RC_VM_FCN);
  if (m->eltype != ET_REAL) return vmerr(RC_VM_REAL);
  return true;
}
inline bool neednum(const Mat* m) {
  if (m->kind == K_FCN) return vmerr(RC_VM_FCN);
  if (m->eltype != ET_REAL && m->eltype != ET_CPLX) return vmerr(RC_VM_NUMERIC);
  return true;
}
inline bool needstr(const Mat* m) {
  if (m->kind == K_FCN) return vmerr(RC_VM_FCN);
  if (m->eltype != ET_STR) return vmerr(RC_VM_STRING);
  return true;
}
inline bool needscalar(const Mat* m) {
  if (m->kind == K_FCN) return vmerr(RC_VM_FCN);
  if (!m->isscalar()) return vmerr(RC_VM_SCALAR);
  return true;
}
inline bool needrealscalar(const Mat* m) { return needscalar(m) && needreal(m); }
inline bool needstrscalar(const Mat* m) { return needscalar(m) && needstr(m); }
inline bool needsquare(const Mat* m) { return m->rows == m->cols ? true : vmerr(RC_VM_SQUARE); }

// The text of a string scalar (or element k of a string matrix).
inline std::string sval(const Mat* m, size_t k = 0) {
  const VStr* s = m->str()[k];
  return std::string(vstr_ptr(s), vstr_len(s));
}
inline double rval(const Mat* m, size_t k = 0) { return m->re()[k]; }

// A non-negative count from a real scalar (3300 when negative, missing or
// too large).
inline bool countarg(const Mat* m, int* d) {
  if (!needrealscalar(m)) return false;
  const double x = m->re()[0];
  if (!(x >= 0 && x < 2147483647.0)) return vmerr(RC_VM_RANGE);
  *d = static_cast<int>(x);
  return true;
}

// Long loops in built-ins look at Break after every VM_LIBPOLL units of
// work (elements, rows): false, with the break code set, once it is pressed.
constexpr size_t VM_LIBPOLL = 1 << 16;
inline bool pollwork(size_t& done, size_t units) {
  done += units;
  if (done < VM_LIBPOLL) return true;
  done = 0;
  return vm_poll();
}

inline size_t at(const Mat* m, int i, int j) {
  return static_cast<size_t>(i) * static_cast<size_t>(m->cols) + static_cast<size_t>(j);
}

// Copy of a numeric element's parts (imaginary 0 for a real matrix).
inline double imof(const Mat* m, size_t k) { return m->eltype == ET_CPLX ? m->re()[m->n() + k] : 0.0; }

}  // namespace vlib

// A file handle of fopen() and its kin.
struct VFile {
  FILE* fp = nullptr;
  bool canread = false, canwrite = false, append = false;
  std::string name;
};
constexpr int VLIB_NFILES = 50;

// The built-in library's session state: setbreakintr()'s setting and the
// handles fopen() gives out.
struct VlibState {
  bool breakintr = true;
  VFile files[VLIB_NFILES];
};
extern VlibState vlibs;

// The built-in library's state back to its start: every handle closed and
// setbreakintr() on (reset-all).
void vlib_reset();
