// The Vemo virtual machine: the dispatch loop (branches, stores, pushes,
// pops, increments and argument checks inline; every other opcode through
// the handler table), calls and returns without recursion on the C++ stack,
// the Break poll, run-time errors with the traceback, and `ixeq`, which runs
// an interactive statement.
#include <array>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <string>

#include "data/value.h"
#include "output/output.h"
#include "output/rc.h"
#include "platform/platform.h"
#include "platform/zassert.h"
#include "vemo/vemo.h"
#include "vemo/vm.h"
#include "vemo/vofile.h"

const char* const vm_opname[VM_NOPS] = {
#define VOP(name, code, lay, pops, pushes) #name,
#include "vemo/opcodes.def"
#undef VOP
};
const int vm_oplayout[VM_NOPS] = {
#define VOP(name, code, lay, pops, pushes) L_##lay,
#include "vemo/opcodes.def"
#undef VOP
};

// Words of the instruction at pc (opcode, operands and an inline string by its
// layout), or 0 when pc, the opcode or its operands do not fit the n words.
int vm_oplen(const int32_t* code, int pc, int n) {
  if (pc < 0 || pc >= n) return 0;
  int op = code[pc];
  if (op < 0 || op >= VM_NOPS) return 0;
  auto strlen_at = [&](int at) -> int {
    if (at >= n || code[at] < 0 || code[at] > n) return -1;
    return 1 + code[at];
  };
  int len = 1, s;
  switch (vm_oplayout[op]) {
    case L_N: case L_U: len = 1; break;
    case L_W: len = 2; break;
    case L_WW: len = 3; break;
    case L_WWW: len = 4; break;
    case L_S: s = strlen_at(pc + 1); if (s < 0) return 0; len = 1 + s; break;
    case L_WS: s = strlen_at(pc + 2); if (s < 0) return 0; len = 2 + s; break;
    case L_WWWS: s = strlen_at(pc + 4); if (s < 0) return 0; len = 4 + s; break;
    default: return 0;
  }
  return pc + len <= n ? len : 0;
}

// ---------------------------------------------------------------- errors

// The message of a run-time code (3000s), "" for a code without one.
const char* vm_errmsg(int rc) {
  static const struct { int rc; const char* msg; } tab[] = {
      {RC_VM_NARGS, "incorrect number of arguments"},
      {RC_VM_IDENTICAL, "identical arguments not allowed"},
      {RC_VM_NULLPTR, "attempt to dereference NULL pointer"}, {RC_VM_LVAL, "invalid lval"},
      {RC_VM_PTROP, "undefined operation on pointer (e.g., p1>p2)"},
      {RC_VM_NOTFCN, "matrix found where function required"},
      {RC_VM_FCN, "function found where matrix required"},
      {RC_VM_VIEW, "view found where array required"},
      {RC_VM_NOTVIEW, "array found where view required"}, {RC_VM_CONFORM, "conformability error"},
      {RC_VM_VECTOR, "vector required"}, {RC_VM_ROWVEC, "rowvector required"},
      {RC_VM_COLVEC, "colvector required"}, {RC_VM_SCALAR, "matrix found where scalar required"},
      {RC_VM_SQUARE, "square matrix required"}, {RC_VM_TYPE, "type mismatch"},
      {RC_VM_NUMERIC, "nonnumeric found where numeric required"},
      {RC_VM_COMPLEX, "noncomplex found where complex required"},
      {RC_VM_REAL, "nonreal found where real required"},
      {RC_VM_STRING, "nonstring found where string required"},
      {RC_VM_REALSTR, "real or string required"}, {RC_VM_NUMSTR, "numeric or string required"},
      {RC_VM_POINTER, "nonpointer found where pointer required"},
      {RC_VM_VOID, "nonvoid found where void required"},
      {RC_VM_STRUCT, "nonstruct found where struct required"},
      {RC_VM_RANGE, "argument out of range"}, {RC_VM_SUBSCRIPT, "subscript invalid"},
      {RC_VM_FORMAT, "invalid %fmt"}, {RC_VM_PERMUTATION, "invalid permutation vector"},
      {RC_VM_NESTING, "struct nested too deeply"}, {RC_VM_MISSING, "argument has missing values"},
      {RC_VM_SINGULAR, "singular matrix"}, {RC_VM_NOTPOSDEF, "matrix not positive definite"},
      {RC_VM_NOCONVERGE, "failure to converge"}, {RC_VM_STRTOOLONG, "resulting string too long"},
      {RC_VM_VARNAME, "invalid Zelta variable name"}, {RC_VM_HOSTERROR, "Zelta returned error"},
      {RC_VM_FHANDLE, "invalid file handle"}, {RC_VM_FNAME, "invalid filename"},
      {RC_VM_FMODE, "invalid file mode"}, {RC_VM_TOOMANYFILES, "too many open files"},
      {RC_VM_READONLY, "attempt to write read-only file"},
      {RC_VM_WRITEONLY, "attempt to read write-only file"},
      {RC_VM_APPENDONLY, "Attempt to seek append-only file"}, {RC_VM_SEEK, "file seek error"},
      {RC_VM_NOMEM, "out of memory"}, {RC_VM_MACROMEM, "macro memory in use"},
      {RC_VM_LAPACK, "error in LAPACK routine"}, {RC_VM_UNALLOCATED, "unallocated function"},
      {RC_VM_BUILTIN, "built-in unallocated"}, {RC_VM_OPCODE, "unimplemented opcode"},
      {RC_VM_STACK, "stack overflow"},
      {601, "file not found"}, {602, "file already exists"}, {603, "file could not be opened"},
      {608, "file is read-only"}, {610, "file format error"}, {691, "I/O error"},
      {699, "insufficient disk space"},
  };
  for (const auto& e : tab)
    if (e.rc == rc) return e.msg;
  if (rc >= 600 && rc <= 699) return "file error";
  return "Zelta returned error";
}

// Records the run-time code rc (the first of the run is kept); returns false.
bool vmerr(int rc) {
  if (!vm.rc) {
    vm.rc = rc;
    vm.custommsg.clear();
  }
  return false;
}

// vmerr with a message that replaces the table's for this error.
bool vmerrmsg(int rc, const std::string& msg) {
  if (!vm.rc) {
    vm.rc = rc;
    vm.custommsg = msg;
  }
  return false;
}

namespace {

// Prints the count of repeated traceback lines held back.
void tbflush() {
  if (vm.tbrepeat > 0) {
    int prev = setoutlev(OUT_ERROR);
    spout21f("%24s  (%ld more like the line above)\n", "", vm.tbrepeat);
    setoutlev(prev);
  }
  vm.tbrepeat = 0;
}

// One traceback line: the innermost carries the code and message, the
// others say their callee failed.
void tbline(const std::string& name, int srcline) {
  if (vm.rc == VRC_BREAK || vm.rc == VRC_SILENT) return;
  char buf[400];
  if (vm.tbinner) {
    int code = vm.rc;
    if (code == VRC_REPORTED) {
      vm.tbinner = false;
      std::snprintf(buf, sizeof buf, "%24s:     -  %s", name.c_str(), "function returned error");
    } else {
      const std::string msg = vm.custommsg.empty() ? vm_errmsg(code) : vm.custommsg;
      std::snprintf(buf, sizeof buf, "%24s: %5d  %s", name.c_str(), code, msg.c_str());
    }
  } else {
    std::snprintf(buf, sizeof buf, "%24s:     -  %s", name.c_str(), "function returned error");
  }
  const bool outer = !vm.tbinner;
  vm.tbinner = false;
  std::string line = buf;
  if (srcline > 0) line += " [" + std::to_string(srcline) + "]";
  // a deep recursion reports each run of identical outer lines once
  if (outer && line == vm.tblast) {
    ++vm.tbrepeat;
    return;
  }
  tbflush();
  vm.tblast = line;
  int prev = setoutlev(OUT_ERROR);
  spout21((line + "\n").c_str());
  setoutlev(prev);
}

// The traceback line of the frame leaving with an error.
void traceback(const Frame& fr) {
  tbline(fr.depth <= 1 && fr.fcn && fr.fcn->name == "<istmt>" ? "<istmt>" : fr.fcn->name + "()", fr.line);
}

}  // namespace

// Adds the built-in name to the traceback of the error now unwinding.
void vm_tbbuiltin(const char* name) {
  if (!vm.rc || vm.rc == VRC_REPORTED) return;
  tbline(std::string(name) + "()", 0);
}

namespace {

// Releases the stack down to (not including) slot `to`.
void popto(int to) {
  while (vm.sp > to) mfree(vm.stack[static_cast<size_t>(--vm.sp)]);
}

// The value on top of the stack.
Mat* top() {
  ZASSERT(vm.sp >= 1, "top() of an empty stack");
  return vm.stack[static_cast<size_t>(vm.sp - 1)];
}
// Slot k of the current frame; the compiler only emits slots inside the stack.
Mat* slot(int k) {
  ZASSERT(vm.fr.base + k >= 0 && static_cast<size_t>(vm.fr.base + k) < vm.stack.size(),
          "slot operand outside the stack");
  return vm.stack[static_cast<size_t>(vm.fr.base + k)];
}

// Pushes m; false when m is null (an allocation failed) or the stack is full.
bool push(Mat* m) {
  if (!m) return false;
  if (vm.sp >= VM_STACK) {
    mfree(m);
    return vmerr(RC_VM_STACK);
  }
  vm.stack[static_cast<size_t>(vm.sp++)] = m;
  return true;
}

const char* codestr(const int32_t* code, int at) { return reinterpret_cast<const char*>(code + at + 1); }

// Organization check failure: "name[r,c] found where org required".
bool orgerr(int rc, const char* org) {
  const Mat* m = top();
  if (m->kind == K_FCN) return vmerrmsg(rc, (m->fcn ? m->fcn->name : std::string("")) + "() does not return " + org);
  char buf[200];
  std::snprintf(buf, sizeof buf, "%s[%d,%d] found where %s required", m->name[0] ? m->name : "<tmp>", m->rows,
                m->cols, org);
  return vmerrmsg(rc, buf);
}

// A conditional branch taken backwards closes a loop as a goto does (the
// optimizer threads a test that lands on a goto straight to the goto's
// target), so it counts towards the Break poll the same way.
inline bool backjump(int pc, int to) {
  return to > pc || ++vm.pollctr < VM_POLLRATE || vm_poll();
}

// ---------------------------------------------------------------- handlers
// Each handler is called with pc at its opcode and leaves pc at the next
// instruction; false means vm.rc is set.
using Handler = bool (*)(int32_t* code, int& pc);

bool h_unused(int32_t*, int&) { return vmerr(RC_VM_OPCODE); }
// NOOP: nothing.
bool h_noop(int32_t*, int& pc) {
  ++pc;
  return true;
}

// Operators whose routine takes the opcode itself: one handler per routine.
// (None of them starts a fused sequence, so code[pc] is the operator.)
template <bool (*Op)(int)>
bool h_byop(int32_t* code, int& pc) {
  return Op(code[pc++]);
}

// Operators with a routine of their own (or a fixed argument), and loads of
// constants.
template <bool (*Op)()>
bool h_call(int32_t*, int& pc) {
  ++pc;
  return Op();
}
template <class T, bool (*Op)(T), T Arg>
bool h_with(int32_t*, int& pc) {
  ++pc;
  return Op(Arg);
}
// K: -1 the void matrix, 0 and 1 those constants, 2 missing.
template <int K>
bool h_load(int32_t*, int& pc) {
  ++pc;
  return push(K < 0 ? mkmat(nullptr, ET_REAL, 0, 0) : mkscalar(K == 2 ? misval : K));
}

// Scalar fast paths of + - * / and the comparisons: two real 1 x 1
// operands, computed here, the result in a reusable operand or a recycled
// record; anything else goes to the general operator.

// A real 1 x 1 that is not a view: the operand of every scalar fast path.
// The shape and the type bytes are tested with one load each (rows and
// columns are adjacent, and so are the element type, the view flag and the
// kind).
struct TypeBytes {
  int16_t eltype;
  uint8_t view, kind;
};
static_assert(offsetof(Mat, cols) == offsetof(Mat, rows) + 4 && offsetof(Mat, view) == offsetof(Mat, eltype) + 2 &&
              offsetof(Mat, kind) == offsetof(Mat, eltype) + 3);
constexpr uint64_t SHAPE11 = std::bit_cast<uint64_t>(std::array<int32_t, 2>{1, 1});
constexpr uint32_t REALMAT = std::bit_cast<uint32_t>(TypeBytes{ET_REAL, 0, K_MAT});
inline bool isrealscalar(const Mat* m) {
  const char* p = reinterpret_cast<const char*>(m);
  uint64_t shape;
  uint32_t type;
  std::memcpy(&shape, p + offsetof(Mat, rows), 8);
  std::memcpy(&type, p + offsetof(Mat, eltype), 4);
  return shape == SHAPE11 && type == REALMAT;
}

// The result of scalar arithmetic out of range, apart so that the check
// stays a branch.
[[gnu::noinline, gnu::cold]] double outofrange() { return misval; }

// x op y for + - * / on real scalars: missing in or out of range gives `.`.
[[gnu::always_inline]] inline double scalararith(int op, double x, double y) {
  if (x >= misval || y >= misval) return misval;
  double z;
  switch (op) {
    case opplus: z = x + y; break;
    case opsub: z = x - y; break;
    case opmult: z = x * y; break;
    default: z = y == 0 ? misval : x / y; break;
  }
  // overflow, infinities and NaN; a call (not a select, which would sit on
  // the dependency chain of a loop's accumulator)
  if (std::fabs(z) < misval) return z;
  return outofrange();
}

// x op y for the six comparisons on real scalars.
[[gnu::always_inline]] inline bool scalarcmp(int op, double x, double y) {
  switch (op) {
    case opee: return x == y;
    case opne: return x != y;
    case opge: return x >= y;
    case ople: return x <= y;
    case opgt: return x > y;
    default: return x < y;
  }
}

// ADD SUB MUL DIV (fast path): [a b] -> [a OP b] when both are real 1 x 1,
// reusing an operand nothing else holds; any other pair goes to op_arith.
template <int OP>
bool h_arith(int32_t*, int& pc) {
  ++pc;
  Mat* a = vm.stack[static_cast<size_t>(vm.sp - 2)];
  Mat* b = vm.stack[static_cast<size_t>(vm.sp - 1)];
  if (!isrealscalar(a) || !isrealscalar(b)) return op_arith(OP);
  const double z = scalararith(OP, a->re()[0], b->re()[0]);
  Mat* res;
  if (a->refcnt == 1 && !a->immortal) {
    res = a;
    mfree(b);
  } else if (b->refcnt == 1 && !b->immortal) {
    res = b;
    mfree(a);
  } else {
    res = mkscalar(z);
    if (!res) return false;
    mfree(a);
    mfree(b);
  }
  res->re()[0] = z;
  vm.stack[static_cast<size_t>(vm.sp - 2)] = res;
  --vm.sp;
  return true;
}

// EE NE GE LE GT LT (fast path): [a b] -> [1 or 0] when both are real 1 x 1,
// the result also left in vm.cond for a following branch; else op_compare.
template <int OP>
bool h_cmp(int32_t*, int& pc) {
  ++pc;
  Mat* a = vm.stack[static_cast<size_t>(vm.sp - 2)];
  Mat* b = vm.stack[static_cast<size_t>(vm.sp - 1)];
  if (!isrealscalar(a) || !isrealscalar(b)) return op_compare(OP);
  const bool t = scalarcmp(OP, a->re()[0], b->re()[0]);
  vm.cond = t;
  mfree(a);
  mfree(b);
  vm.stack[static_cast<size_t>(vm.sp - 2)] = t ? vm.k1 : vm.k0;
  --vm.sp;
  return true;
}

// LDNULL: pushes a null pointer.
bool h_ldnull(int32_t*, int& pc) {
  ++pc;
  return push(mkmat(nullptr, ET_PTR, 1, 1));
}

// DUP: pushes the top value again (one more reference).
bool h_dup(int32_t*, int& pc) {
  ++pc;
  Mat* m = top();
  mref(m);
  return push(m);
}

bool h_isscalar_common(int rc, const char* org, bool ok) { return ok ? true : orgerr(rc, org); }

// ISVEC, ISRVEC, ISCVEC, ISVOID: the top value has the organization, else
// "name[r,c] found where ... required".
bool h_isvec(int32_t*, int& pc) {
  ++pc;
  const Mat* m = top();
  return h_isscalar_common(RC_VM_VECTOR, "vector", m->kind == K_MAT && (m->rows == 1 || m->cols == 1));
}
bool h_isrvec(int32_t*, int& pc) {
  ++pc;
  const Mat* m = top();
  return h_isscalar_common(RC_VM_ROWVEC, "rowvector", m->kind == K_MAT && m->rows == 1);
}
bool h_iscvec(int32_t*, int& pc) {
  ++pc;
  const Mat* m = top();
  return h_isscalar_common(RC_VM_COLVEC, "colvector", m->kind == K_MAT && m->cols == 1);
}
bool h_isvoid(int32_t*, int& pc) {
  ++pc;
  const Mat* m = top();
  return h_isscalar_common(RC_VM_VOID, "void", m->kind == K_MAT && m->rows == 0 && m->cols == 0);
}
// ISREAL, ISSTR, ISCX, ISNUMER: the top value is a matrix of the element type.
bool h_isreal(int32_t*, int& pc) {
  ++pc;
  return top()->eltype == ET_REAL && top()->kind == K_MAT ? true : vmerr(RC_VM_REAL);
}
bool h_isstr(int32_t*, int& pc) {
  ++pc;
  return top()->eltype == ET_STR && top()->kind == K_MAT ? true : vmerr(RC_VM_STRING);
}
bool h_iscx(int32_t*, int& pc) {
  ++pc;
  return top()->eltype == ET_CPLX && top()->kind == K_MAT ? true : vmerr(RC_VM_COMPLEX);
}
bool h_isnumer(int32_t*, int& pc) {
  ++pc;
  const Mat* m = top();
  return (m->eltype == ET_REAL || m->eltype == ET_CPLX) && m->kind == K_MAT ? true : vmerr(RC_VM_NUMERIC);
}
// A function argument: a function, or a pointer to one (made the function).
bool h_isfcn(int32_t*, int& pc) {
  ++pc;
  Mat* m = top();
  if (m->kind == K_MAT && m->eltype == ET_PTR && m->isscalar() && m->ptr()[0] && m->ptr()[0]->kind == K_FCN) {
    // the slot keeps the caller's pointer; calls through it dereference
    return true;
  }
  return m->kind == K_FCN ? true : vmerr(RC_VM_NOTFCN);
}

// STOP: returns the void matrix from the function.
bool h_stop(int32_t*, int& pc) {
  ++pc;
  if (!push(mkmat(nullptr, ET_REAL, 0, 0))) return false;
  vm.rc = VRC_RETURN;
  return false;
}

// The literal pool holds every literal operand: an offset inside the code.
bool inpool(int at, int words) {
  return at >= 0 && static_cast<size_t>(at) + static_cast<size_t>(words) <= vm.fr.fcn->code.size();
}

// ldlit -> LDLIT offset: pushes the real literal stored at the offset.
bool h_ldlit(int32_t* code, int& pc) {
  ZASSERT(inpool(code[pc + 1], 2), "real literal outside the code");
  double x;
  std::memcpy(&x, code + code[pc + 1], 8);
  pc += 2;
  return push(mkscalar(x));
}

// ldilit -> LDILIT offset: pushes the imaginary literal stored at the offset.
bool h_ldilit(int32_t* code, int& pc) {
  ZASSERT(inpool(code[pc + 1], 2), "imaginary literal outside the code");
  double x;
  std::memcpy(&x, code + code[pc + 1], 8);
  pc += 2;
  return push(mkcscalar(0, x));
}

// ldstr -> LDSTR offset: pushes the string stored at the offset (its length in
// words, then its bytes).
bool h_ldstr(int32_t* code, int& pc) {
  const int at = code[pc + 1];
  ZASSERT(inpool(at, 1) && inpool(at + 1, code[at]), "string literal outside the code");
  const char* s = reinterpret_cast<const char*>(code + at + 1);
  size_t len = strnlen(s, static_cast<size_t>(code[at]) * 4);
  pc += 2;
  return push(mkstrscalar(s, len));
}

// LIST: shows the top value (an expression statement's result), leaving it.
bool h_list(int32_t*, int& pc) {
  ++pc;
  vm_list(top());
  return true;
}

// TST0 target: pops a real, complex or pointer scalar; jumps to target when it
// is zero (null), else goes on.
bool h_tst0(int32_t* code, int& pc) {
  Mat* m = top();
  if (m->kind == K_FCN) return vmerr(RC_VM_FCN);
  if (m->rows != 1 || m->cols != 1) return vmerr(RC_VM_SCALAR);
  bool zero;
  switch (m->eltype) {
    case ET_REAL: zero = m->re()[0] == 0; break;
    case ET_CPLX: zero = m->re()[0] == 0 && m->re()[1] == 0; break;
    case ET_PTR: zero = m->ptr()[0] == nullptr; break;
    default: return vmerr(RC_VM_TYPE);
  }
  --vm.sp;
  mfree(m);
  if (!zero) {
    pc += 2;
    return true;
  }
  if (!backjump(pc, code[pc + 1])) return false;
  pc = code[pc + 1];
  return true;
}

// ARG2 k n: the call passed between k and n arguments.
bool h_arg2(int32_t* code, int& pc) {
  int k = code[pc + 1], n = code[pc + 2];
  pc += 3;
  if (vm.fr.nargs < k || vm.fr.nargs > n) {
    char buf[120];
    std::snprintf(buf, sizeof buf, "expected %d to %d arguments but received %d", k, n, vm.fr.nargs);
    return vmerrmsg(RC_VM_NARGS, buf);
  }
  return true;
}

// Local allocation: element type and shape from the opcode.
bool alloclocal(int op, const char* name, Fcn* def) {
  int16_t et = ET_REAL;
  int r = 0, c = 0;
  switch (op) {
    case opalc_rm: case opolc_rm: break;
    case opalc_cm: case opolc_cm: et = ET_CPLX; break;
    case opalc_sm: case opolc_sm: et = ET_STR; break;
    case opalc_pm: case opolc_pm: et = ET_PTR; break;
    case opalc_rr: case opolc_rr: r = 1; break;
    case opalc_cr: case opolc_cr: et = ET_CPLX; r = 1; break;
    case opalc_sr: case opolc_sr: et = ET_STR; r = 1; break;
    case opalc_pr: case opolc_pr: et = ET_PTR; r = 1; break;
    case opalc_rc: case opolc_rc: c = 1; break;
    case opalc_cc: case opolc_cc: et = ET_CPLX; c = 1; break;
    case opalc_sc: case opolc_sc: et = ET_STR; c = 1; break;
    case opalc_pc: case opolc_pc: et = ET_PTR; c = 1; break;
    case opalc_rs: case opolc_rs: r = c = 1; break;
    case opalc_cs: case opolc_cs: et = ET_CPLX; r = c = 1; break;
    case opalc_ss: case opolc_ss: et = ET_STR; r = c = 1; break;
    case opalc_ps: case opolc_ps: et = ET_PTR; r = c = 1; break;
    case opalc_stcm: case opolc_stcm: et = ET_STRUCT; break;
    case opalc_stcr: case opolc_stcr: et = ET_STRUCT; r = 1; break;
    case opalc_stcc: case opolc_stcc: et = ET_STRUCT; c = 1; break;
    case opalc_stcs: et = ET_STRUCT; r = c = 1; break;
    default: return vmerr(RC_VM_OPCODE);
  }
  Mat* m;
  if (et == ET_STRUCT) {
    if (!def || def->rettype != -1) return vmerr(RC_VM_STRUCT);
    m = mkstruct(def, r, c, 0);
  } else {
    m = mkmat(nullptr, et, r, c);
    if (m && r == 1 && c == 1) {
      if (et == ET_REAL) m->re()[0] = misval;
      if (et == ET_CPLX) m->re()[0] = m->re()[1] = misval;
    }
  }
  if (!m) return false;
  std::snprintf(m->name, sizeof m->name, "%s", name);
  m->level = vm.depth;
  return push(m);
}

// The structure definition pushed before a struct allocation (popped).
Fcn* popdef(int op) {
  if (op < opalc_stcm || op > opolc_stcc) return nullptr;
  Mat* d = top();
  --vm.sp;
  Fcn* f = d->kind == K_FCN ? d->fcn : nullptr;
  if (f) ++f->refcnt;
  mfree(d);
  if (f) --f->refcnt;  // the store still holds it
  return f;
}

// ALC* name: makes the local name with the opcode's element type and shape
// (a struct or class definition popped first).
bool h_alc(int32_t* code, int& pc) {
  int op = code[pc];
  const char* name = codestr(code, pc + 1);
  int len = vm_oplen(code, pc, static_cast<int>(vm.fr.fcn->code.size()));
  pc += len;
  Fcn* def = popdef(op);
  return alloclocal(op, name, def);
}

// OLC* k name: as ALC*, for optional argument k, only when it was not passed.
bool h_olc(int32_t* code, int& pc) {
  int op = code[pc];
  int k = code[pc + 1];
  const char* name = codestr(code, pc + 2);
  int len = vm_oplen(code, pc, static_cast<int>(vm.fr.fcn->code.size()));
  pc += len;
  Fcn* def = popdef(op);
  if (vm.fr.nargs >= k) return true;
  return alloclocal(op, name, def);
}

// FIND k name: pushes the global name; with k 1 one is made when missing.
bool h_find(int32_t* code, int& pc) {
  int k = code[pc + 1];
  const char* name = codestr(code, pc + 2);
  pc += vm_oplen(code, pc, static_cast<int>(vm.fr.fcn->code.size()));
  Mat* g = findglobal(name);
  if (!g) {
    if (k != 1) return vmerrmsg(RC_VM_NOTFOUND, std::string(name) + " not found");
    g = mkglobal(name, ET_REAL, 0, 0);
    if (!g) return false;
    vm.madeglobals.emplace_back(name, g);
  }
  mref(g);
  return push(g);
}

// EXTERN type name: pushes the global name, made with the declared type
// (type / 256 element, type % 256 organization) when missing.
bool h_extern(int32_t* code, int& pc) {
  int t = code[pc + 1];
  const char* name = codestr(code, pc + 2);
  pc += vm_oplen(code, pc, static_cast<int>(vm.fr.fcn->code.size()));
  Mat* g = findglobal(name);
  if (!g) {
    int gcode = t / 256, o = t % 256;
    int16_t et = gcode == 2 ? ET_CPLX : gcode == 3 ? ET_STR : gcode == 4 ? ET_PTR : ET_REAL;
    int r = 0, c = 0;
    if (o == 2 || o == 3) r = 1;
    else if (o == 4) c = 1;
    else if (o == 5) r = c = 1;
    g = mkglobal(name, et, r, c);
    if (!g) return false;
    if (o == 5 && et == ET_REAL) g->re()[0] = misval;
    if (o == 5 && et == ET_CPLX) g->re()[0] = g->re()[1] = misval;
  }
  mref(g);
  return push(g);
}

// FINDF clock fcn name: pushes a reference to the function name, found (or
// autoloaded) once per clock and cached in the operands.
bool h_findf(int32_t* code, int& pc) {
  const char* name = codestr(code, pc + 4);
  int at = pc;
  pc += vm_oplen(code, pc, static_cast<int>(vm.fr.fcn->code.size()));
  Fcn* f = nullptr;
  if (code[at + 1] == vm.clock) std::memcpy(&f, code + at + 2, sizeof f);
  if (!f) {
    f = findfcn(name);
    if (!f) f = vemo_autoload(name);
    if (!f) return vmerrmsg(RC_VM_NOTFOUND, std::string(name) + "() not found");
    code[at + 1] = vm.clock;
    std::memcpy(code + at + 2, &f, sizeof f);
  }
  return push(mkfcnref(f));
}

// REF: replaces the top value by a pointer to it (a copy of an immortal one).
bool h_ref(int32_t*, int& pc) {
  ++pc;
  Mat* m = top();
  if (m->immortal) {
    Mat* c = mdup(m);
    if (!c) return false;
    m = c;
  }
  Mat* p = mkmat(nullptr, ET_PTR, 1, 1);
  if (!p) {
    if (m != top()) mfree(m);
    return false;
  }
  if (m == top()) mref(m);  // the pointer's reference
  p->ptr()[0] = m;
  mfree(top());
  vm.stack[static_cast<size_t>(vm.sp - 1)] = p;
  return true;
}

// DEREF: replaces the top pointer scalar by what it points to.
bool h_deref(int32_t*, int& pc) {
  ++pc;
  Mat* p = top();
  if (p->kind == K_FCN) return vmerr(RC_VM_FCN);
  if (p->eltype != ET_PTR) return vmerr(RC_VM_POINTER);
  if (!p->isscalar()) return vmerr(RC_VM_SCALAR);
  Mat* m = p->ptr()[0];
  if (!m) return vmerr(RC_VM_NULLPTR);
  if (m->view && !vview_refresh(m)) return false;
  mref(m);
  vm.stack[static_cast<size_t>(vm.sp - 1)] = m;
  mfree(p);
  return true;
}

// Member k (1-based) of the first element of structure s.
Mat* member(Mat* s, int k) {
  if (s->kind != K_MAT || s->eltype != ET_STRUCT || s->n() == 0) {
    vmerr(RC_VM_STRUCT);
    return nullptr;
  }
  Mat* tab = s->ptr()[0];
  if (!tab || k < 1 || k > tab->rows) {
    vmerr(RC_VM_STRUCT);
    return nullptr;
  }
  return tab->ptr()[k - 1];
}

// DRILL k: replaces the top structure by its member k.
bool h_drill(int32_t* code, int& pc) {
  int k = code[pc + 1];
  pc += 2;
  Mat* s = top();
  Mat* m = member(s, k);
  if (!m) return false;
  mref(m);
  vm.stack[static_cast<size_t>(vm.sp - 1)] = m;
  mfree(s);
  return true;
}

// LDMATD slot k: pushes member k of the structure in slot.
bool h_ldmatd(int32_t* code, int& pc) {
  Mat* m = member(slot(code[pc + 1]), code[pc + 2]);
  pc += 3;
  if (!m) return false;
  mref(m);
  return push(m);
}

// LDMATDD slot k j: pushes member j of member k of the structure in slot.
bool h_ldmatdd(int32_t* code, int& pc) {
  Mat* m = member(slot(code[pc + 1]), code[pc + 2]);
  if (m) m = member(m, code[pc + 3]);
  pc += 4;
  if (!m) return false;
  mref(m);
  return push(m);
}

// Adds d to every non-missing element of the real matrix m.
bool incobj(Mat* m, double d) {
  if (m->kind == K_FCN) return vmerr(RC_VM_FCN);
  if (m->view) return vmerr(RC_VM_VIEW);
  if (m->eltype != ET_REAL) return vmerr(RC_VM_REAL);
  double* x = m->re();
  for (size_t i = 0, n = m->n(); i < n; ++i)
    if (x[i] < misval) x[i] += d;
  return true;
}

// INCS, DECS (in place) and DINCS, DDECS (the top becomes the old value):
// ++ and -- on the top value.
bool h_incs(int32_t* code, int& pc) {
  int op = code[pc];
  ++pc;
  Mat* m = top();
  double d = op == opincs || op == opdincs ? 1 : -1;
  if (op == opdincs || op == opddecs) {
    Mat* c = mdup(m);
    if (!c) return false;
    if (!incobj(m, d)) {
      mfree(c);
      return false;
    }
    vm.stack[static_cast<size_t>(vm.sp - 1)] = c;
    mfree(m);
    return true;
  }
  return incobj(m, d);
}

// Stores through a compiled lvalue: [val, obj, subscripts...].
bool h_sstore(int32_t* code, int& pc) {
  int op = code[pc];
  ++pc;
  int nsub = op == oplsstosmat1 ? 1 : op == oplsstosmat2 ? 2 : op == oprsstosmat ? 1 : 0;
  Mat* obj = vm.stack[static_cast<size_t>(vm.sp - 1 - nsub)];
  if (op == opsstomat) {
    Mat* val = vm.stack[static_cast<size_t>(vm.sp - 2)];
    if (obj->immortal) return vmerr(RC_VM_LVAL);
    if (!mcopyinto(obj, val)) return false;
    --vm.sp;
    mfree(obj);
    return true;
  }
  int kind = op == oplsstosmat1 ? 1 : op == oplsstosmat2 ? 2 : 3;
  // move obj out of the way: op_store expects [val, subs...]
  for (int i = vm.sp - 1 - nsub; i < vm.sp - 1; ++i) vm.stack[static_cast<size_t>(i)] = vm.stack[static_cast<size_t>(i + 1)];
  --vm.sp;
  bool ok = op_store(obj, kind, false);
  mfree(obj);
  return ok;
}

// LSTOSMAT1/2, RSTOSMAT (P: popping the value) slot: a subscripted store
// into the matrix in slot.
bool h_store(int32_t* code, int& pc) {
  int op = code[pc];
  Mat* target = slot(code[pc + 1]);
  pc += 2;
  int kind = op == oplstosmat1 || op == oplstosmat1p ? 1 : op == oplstosmat2 || op == oplstosmat2p ? 2 : 3;
  bool pop = op == oplstosmat1p || op == oplstosmat2p || op == oprstosmatp;
  return op_store(target, kind, pop);
}

// BILTIN idx n: calls built-in idx with the top n values as arguments.
bool h_biltin(int32_t* code, int& pc) {
  int idx = code[pc + 1], n = code[pc + 2];
  pc += 3;
  return builtin_call(idx, n);
}

// LINUM n: the statement on source line n starts (a Break poll point).
bool h_linum(int32_t* code, int& pc) {
  vm.fr.line = code[pc + 1];
  pc += 2;
  return vm_poll();
}

// LIBVER v: the function was compiled at language version v.
bool h_libver(int32_t* code, int& pc) {
  vm.fr.version = code[pc + 1];
  pc += 2;
  return true;
}

// CASTP: a pointer cast, nothing at run time.
bool h_castp(int32_t*, int& pc) {
  ++pc;
  return true;
}

Handler table[VM_NOPS];

// The scalar fast paths are instantiated per operator.
template <int... Ops>
void cmps() {
  ((table[Ops] = h_cmp<Ops>), ...);
}
template <int... Ops>
void ariths() {
  ((table[Ops] = h_arith<Ops>), ...);
}

// Fills the dispatch table: every opcode its handler, h_unused for the codes
// no compiler emits (they fail as an invalid instruction).
void inittable() {
  for (Handler& h : table) h = h_unused;
  table[opnoop] = h_noop;
  for (int op : {opand, opor, opcand, opcor}) table[op] = h_byop<op_logic>;
  cmps<opee, opne, opge, ople, opgt, oplt>();
  for (int op : {opcee, opcne, opcge, opcle, opcgt, opclt}) table[op] = h_byop<op_compare>;
  table[opnot] = h_call<op_not>;
  table[opneg] = h_call<op_neg>;
  table[optrans] = h_call<op_trans>;
  ariths<opplus, opsub, opmult, opdiv>();
  for (int op : {oppower, opcadd, opcsub, opcmult, opcdiv, opcpower, opdmult}) table[op] = h_byop<op_arith>;
  table[opaddc] = h_with<bool, op_join, false>;
  table[opaddr] = h_with<bool, op_join, true>;
  table[oprowto] = h_with<bool, op_range, true>;
  table[opcolto] = h_with<bool, op_range, false>;
  table[oplsubscr1] = h_with<int, op_subscr, 1>;
  table[oplsubscr] = h_with<int, op_subscr, 2>;
  table[oprsubscr] = h_with<int, op_subscr, 3>;
  table[opldvoid] = h_load<-1>;
  table[opld0] = h_load<0>;
  table[opld1] = h_load<1>;
  table[opldmiss] = h_load<2>;
  table[opldnull] = h_ldnull;
  table[opdup] = h_dup;
  table[opisvec] = h_isvec;
  table[opisrvec] = h_isrvec;
  table[opiscvec] = h_iscvec;
  table[opisvoid] = h_isvoid;
  table[opisreal] = h_isreal;
  table[opisstr] = h_isstr;
  table[opiscx] = h_iscx;
  table[opisnumer] = h_isnumer;
  table[opisfcn] = h_isfcn;
  table[opstop] = h_stop;
  table[opldlit] = h_ldlit;
  table[opldilit] = h_ldilit;
  table[opldstr] = h_ldstr;
  table[oplist2] = h_list;
  table[optst0] = h_tst0;
  table[oparg2] = h_arg2;
  for (int op : {opalc_rm, opalc_cm, opalc_sm, opalc_rr, opalc_cr, opalc_sr, opalc_rc, opalc_cc, opalc_sc,
                 opalc_rs, opalc_cs, opalc_ss, opalc_pm, opalc_pr, opalc_pc, opalc_ps, opalc_stcm,
                 opalc_stcr, opalc_stcc, opalc_stcs})
    table[op] = h_alc;
  for (int op = opolc_rm; op <= opolc_ps; ++op) table[op] = h_olc;
  for (int op = opolc_stcm; op <= opolc_stcc; ++op) table[op] = h_olc;
  table[opfind] = h_find;
  table[opextern] = h_extern;
  table[opfindf] = h_findf;
  table[opref] = h_ref;
  table[opderef] = h_deref;
  table[opdrill] = h_drill;
  table[opldmatd] = h_ldmatd;
  table[opldmatdd] = h_ldmatdd;
  for (int op : {opincs, opdecs, opdincs, opddecs}) table[op] = h_incs;
  for (int op : {oplsstosmat1, oplsstosmat2, oprsstosmat, opsstomat}) table[op] = h_sstore;
  for (int op : {oprstosmat, oprstosmatp, oplstosmat1, oplstosmat1p, oplstosmat2, oplstosmat2p})
    table[op] = h_store;
  table[opbiltin] = h_biltin;
  table[oplinum] = h_linum;
  table[oplibver] = h_libver;
  table[opcastp] = h_castp;
}

std::vector<Frame> frames;  // callers of the running frame

// Enters f with nargs arguments on top of the stack.
bool enter(Fcn* f, int nargs) {
  if (vm.depth >= VM_STACK) return vmerr(RC_VM_STACK);
  frames.push_back(vm.fr);
  vm.fr = Frame{};
  vm.fr.fcn = f;
  vm.fr.pc = 2;
  vm.fr.base = vm.sp - nargs;
  vm.fr.nargs = nargs;
  vm.fr.depth = ++vm.depth;
  vm.fr.callerversion = frames.back().version;
  vm.fr.version = f->code.size() > 1 ? f->code[1] : 920;
  f->age = vm.clock;
  ++f->refcnt;
  if (f->quick.size() < f->code.size()) vm_quicken(f);
  // a shared constant passed as an argument becomes the callee's own copy:
  // assignments to arguments write into the object in the slot
  for (int k = vm.fr.base; k < vm.sp; ++k) {
    Mat*& m = vm.stack[static_cast<size_t>(k)];
    if (m->immortal) {
      Mat* c = mkscalar(m->re()[0]);
      if (!c) return false;
      m = c;
    }
  }
  return true;
}

// A call: a function, or a structure definition making instances.
bool docall(Mat* fobj, int nargs) {
  if (fobj->kind != K_FCN || !fobj->fcn) return vmerr(RC_VM_NOTFCN);
  Fcn* f = fobj->fcn;
  if (f->rettype == -1) {
    int r = 1, c = 1;
    if (nargs > 2) return vmerrmsg(RC_VM_NARGS, "expected 0 to 2 arguments but received " + std::to_string(nargs));
    for (int i = 0; i < nargs; ++i) {
      Mat* a = vm.stack[static_cast<size_t>(vm.sp - nargs + i)];
      if (a->kind != K_MAT || a->eltype != ET_REAL) return vmerr(RC_VM_REAL);
      if (!a->isscalar()) return vmerr(RC_VM_SCALAR);
      double v = a->re()[0];
      if (!(v >= 0 && v < 2147483647.0)) return vmerr(RC_VM_RANGE);
      if (nargs == 1) c = static_cast<int>(v);
      else if (i == 0) r = static_cast<int>(v);
      else c = static_cast<int>(v);
    }
    Mat* s = mkstruct(f, r, c, 0);
    if (!s) return false;
    popto(vm.sp - nargs);
    return push(s);
  }
  if (f->code.size() < 3) return vmerr(RC_VM_UNALLOCATED);
  return enter(f, nargs);
}

}  // namespace

// Every N instructions and at each backward jump: counts the step against
// the test step limit and turns a pending Break into VRC_BREAK. False stops
// the loop.
bool vm_poll() {
  vm.pollctr = 0;
  if (vm.steplimit && ++vm.steps > vm.steplimit) stopflag = 1;
  if (stopflag) {
    vm.rc = VRC_BREAK;
    return false;
  }
  return true;
}

// The operands of a fused sequence in form 0 (two slots), 1 (a slot and a
// literal) or 2 (a slot and opld0 or opld1); false when a slot is not a real
// scalar or the stack could not take the pushes the sequence stands for.
template <int FORM>
[[gnu::always_inline]] inline bool fusedxy(const int32_t* code, int pc, Mat* const* fp, double& x, double& y) {
  const Mat* a = fp[code[pc + 1]];
  if (!isrealscalar(a) || vm.sp + 2 > VM_STACK) return false;
  x = a->re()[0];
  if constexpr (FORM == 0) {
    const Mat* b = fp[code[pc + 3]];
    if (!isrealscalar(b)) return false;
    y = b->re()[0];
  } else if constexpr (FORM == 1) {
    std::memcpy(&y, code + code[pc + 3], 8);
  } else {
    y = code[pc + 2] == opld1 ? 1 : 0;
  }
  return true;
}

// The operands of a fused sequence in a loop's unchecked copy, whose head
// made sure its slots hold real scalars and the stack has room.
template <int FORM>
[[gnu::always_inline]] inline void uncheckedxy(const int32_t* code, int pc, Mat* const* fp, double& x, double& y) {
  x = fp[code[pc + 1]]->re()[0];
  if constexpr (FORM == 0) {
    y = fp[code[pc + 3]]->re()[0];
  } else if constexpr (FORM == 1) {
    std::memcpy(&y, code + code[pc + 3], 8);
  } else {
    y = code[pc + 2] == opld1 ? 1 : 0;
  }
}

// The operators of the fused forms: X(form, base, k) for each.
#define VM_CMPS(X, form, base) X(form, base, 0) X(form, base, 1) X(form, base, 2) X(form, base, 3) X(form, base, 4) X(form, base, 5)
#define VM_ARITHS(X, form, base) X(form, base, 0) X(form, base, 1) X(form, base, 2) X(form, base, 3)

// The dispatch loop. Runs until the frame at which it was entered returns
// or an error unwinds past it. Dispatch is threaded: each instruction ends
// in its own jump to the next one's label, so the processor predicts each
// site's successor apart (a loop's increment always goes on to its test);
// the frame's first slot stays in a register, reloaded wherever the frame
// may have changed. A fused opcode whose operands are not inline real
// scalars runs the instruction it stands in for.
static void run(size_t entry) {
  static const void* disp[VM_NDISP];
  if (!disp[0]) {
    for (int k = 0; k < VM_NDISP; ++k) disp[k] = k < VM_NOPS ? &&l_table : &&l_bad;
#define VM_SETCMP(form, base, k) disp[base + k] = &&l_cmp##form##k;
#define VM_SETARITH(form, base, k) disp[base + k] = &&l_arith##form##k;
    VM_CMPS(VM_SETCMP, 0, VM_QPPCMPBR)
    VM_CMPS(VM_SETCMP, 1, VM_QPLCMPBR)
    VM_CMPS(VM_SETCMP, 2, VM_QPKCMPBR)
    VM_ARITHS(VM_SETARITH, 0, VM_QPPARITHA)
    VM_ARITHS(VM_SETARITH, 1, VM_QPLARITHA)
    VM_ARITHS(VM_SETARITH, 2, VM_QPKARITHA)
#undef VM_SETCMP
#undef VM_SETARITH
    disp[VM_QINCGOTO] = &&l_qincgoto;
    disp[VM_QDECGOTO] = &&l_qdecgoto;
#define VM_SETUCMP(form, base, k) disp[base + VM_UNCHECKED + k] = &&l_ucmp##form##k;
#define VM_SETUARITH(form, base, k) disp[base + VM_UNCHECKED + k] = &&l_uarith##form##k;
    VM_CMPS(VM_SETUCMP, 0, VM_QPPCMPBR)
    VM_CMPS(VM_SETUCMP, 1, VM_QPLCMPBR)
    VM_CMPS(VM_SETUCMP, 2, VM_QPKCMPBR)
    VM_ARITHS(VM_SETUARITH, 0, VM_QPPARITHA)
    VM_ARITHS(VM_SETUARITH, 1, VM_QPLARITHA)
    VM_ARITHS(VM_SETUARITH, 2, VM_QPKARITHA)
#undef VM_SETUCMP
#undef VM_SETUARITH
    disp[VM_UINCGOTO] = &&l_uincgoto;
    disp[VM_UDECGOTO] = &&l_udecgoto;
    disp[VM_QLOOPHEAD] = &&l_loophead;
    disp[opgoto] = &&l_goto;
    disp[oppop] = &&l_pop;
    disp[opreturn] = &&l_return;
    disp[opnarg] = &&l_narg;
    disp[opassign] = &&l_assign;
    disp[opassignp] = &&l_assign;
    disp[oppush] = &&l_push;
    disp[opinc] = &&l_inc;
    disp[opdec] = &&l_inc;
    disp[opbrfalse] = &&l_brfalse;
    disp[opismat] = &&l_ismat;
    disp[opisscal] = &&l_isscal;
    disp[opcall] = &&l_call;
    disp[opcallind] = &&l_call;
  }
  int32_t* code = vm.fr.fcn->quick.data();
  const int32_t* orig = vm.fr.fcn->code.data();  // the instructions a fused opcode stands for
  Mat** fp = vm.stack.data() + vm.fr.base;
  int pc = vm.fr.pc;
  int op;
#define VM_NEXT()                                                  \
  do {                                                             \
    op = code[pc];                                                 \
    if (static_cast<uint32_t>(op) >= VM_NDISP) goto l_bad;         \
    goto* disp[op];                                                \
  } while (0)
// The loop's back edges count towards the Break poll.
#define VM_POLL() (++vm.pollctr < VM_POLLRATE || vm_poll())

  VM_NEXT();

l_orig:  // a fused opcode's operands need the general path
  op = orig[pc];
  goto* disp[op];

// The fused sequences: each form and operator its own straight-line code
// (fusedxy reads the operands, or says to take the general path).
  double x, y;
#define VM_CMPBR(form, base, k)                                  \
  l_cmp##form##k : {                                              \
    constexpr int n = form == 2 ? 6 : 7;                          \
    if (!fusedxy<form>(code, pc, fp, x, y)) goto l_orig;          \
    const bool t = scalarcmp(VM_CMPORDER[k], x, y);               \
    vm.cond = t;                                                  \
    if (t) {                                                      \
      pc += n;                                                    \
      VM_NEXT();                                                  \
    }                                                             \
    const int to = code[pc + n - 1];                              \
    if (to <= pc && !VM_POLL()) goto leave;                       \
    pc = to;                                                      \
    VM_NEXT();                                                    \
  }
#define VM_ARITHA(form, base, k)                                 \
  l_arith##form##k : {                                            \
    constexpr int n = form == 2 ? 6 : 7;                          \
    Mat* c = fp[code[pc + n - 1]];                                \
    if (!fusedxy<form>(code, pc, fp, x, y) || !isrealscalar(c) || c->immortal) goto l_orig; \
    c->re()[0] = scalararith(VM_ARITHORDER[k], x, y);             \
    pc += n;                                                      \
    VM_NEXT();                                                    \
  }
  VM_CMPS(VM_CMPBR, 0, 0)
  VM_CMPS(VM_CMPBR, 1, 0)
  VM_CMPS(VM_CMPBR, 2, 0)
  VM_ARITHS(VM_ARITHA, 0, 0)
  VM_ARITHS(VM_ARITHA, 1, 0)
  VM_ARITHS(VM_ARITHA, 2, 0)
#undef VM_CMPBR
#undef VM_ARITHA
// The same in a loop's unchecked copy: the loop's head found every slot a
// real scalar, and nothing in the loop can make one anything else.
#define VM_UCMPBR(form, base, k)                                 \
  l_ucmp##form##k : {                                             \
    constexpr int n = form == 2 ? 6 : 7;                          \
    uncheckedxy<form>(code, pc, fp, x, y);                        \
    const bool t = scalarcmp(VM_CMPORDER[k], x, y);               \
    vm.cond = t;                                                  \
    if (t) {                                                      \
      pc += n;                                                    \
      VM_NEXT();                                                  \
    }                                                             \
    int to = code[pc + n - 1];                                    \
    if (to < 0) {                                                 \
      to = ~to;                                                   \
      if (!VM_POLL()) goto leave;                                 \
    } else if (to <= pc && !VM_POLL()) {                          \
      goto leave;                                                 \
    }                                                             \
    pc = to;                                                      \
    VM_NEXT();                                                    \
  }
#define VM_UARITHA(form, base, k)                                \
  l_uarith##form##k : {                                           \
    constexpr int n = form == 2 ? 6 : 7;                          \
    Mat* c = fp[code[pc + n - 1]];                                \
    uncheckedxy<form>(code, pc, fp, x, y);                        \
    c->re()[0] = scalararith(VM_ARITHORDER[k], x, y);             \
    pc += n;                                                      \
    VM_NEXT();                                                    \
  }
  VM_CMPS(VM_UCMPBR, 0, 0)
  VM_CMPS(VM_UCMPBR, 1, 0)
  VM_CMPS(VM_UCMPBR, 2, 0)
  VM_ARITHS(VM_UARITHA, 0, 0)
  VM_ARITHS(VM_UARITHA, 1, 0)
  VM_ARITHS(VM_UARITHA, 2, 0)
#undef VM_UCMPBR
#undef VM_UARITHA
l_uincgoto:
  y = 1;
  goto uincgoto;
l_udecgoto:
  y = -1;
uincgoto: {
  double& v = fp[code[pc + 1]]->re()[0];
  if (v < misval) v += y;
  pc = code[pc + 3];
  if (!VM_POLL()) goto leave;
  VM_NEXT();
}
l_loophead: {
  // checked once per entry; the copy's own head is where the loop closes
  const Fcn::ScalarLoop* lp = nullptr;
  for (const auto& l : vm.fr.fcn->loops)
    if (l.head == pc) lp = &l;
  ZASSERT(lp, "loop head without its loop");
  bool ok = vm.sp + 2 <= VM_STACK;
  const int have = vm.sp - vm.fr.base;
  for (int32_t k : lp->slots)
    if (k < 0 || k >= have || !isrealscalar(fp[k])) ok = false;
  if (ok)
    for (int32_t k : lp->written)
      if (fp[k]->immortal) ok = false;
  if (ok) {
    pc = lp->copy;
    VM_NEXT();
  }
  op = lp->fused;
  goto* disp[op];
}
l_qincgoto:
  y = 1;
  goto incgoto;
l_qdecgoto:
  y = -1;
incgoto: {
  Mat* m = fp[code[pc + 1]];
  if (!isrealscalar(m)) goto l_orig;
  double& v = m->re()[0];
  if (v < misval) v += y;
  pc = code[pc + 3];
  if (!VM_POLL()) goto leave;
  VM_NEXT();
}
l_goto:
  pc = code[pc + 1];
  if (!VM_POLL()) goto leave;
  VM_NEXT();
l_pop:
  mfree(vm.stack[static_cast<size_t>(--vm.sp)]);
  ++pc;
  VM_NEXT();
l_return:
  vm.rc = VRC_RETURN;
  goto leave;
l_narg:
  if (vm.fr.nargs != code[pc + 1]) {
    char buf[100];
    std::snprintf(buf, sizeof buf, "expected %d arguments but received %d", code[pc + 1], vm.fr.nargs);
    vmerrmsg(RC_VM_NARGS, buf);
    goto leave;
  }
  pc += 2;
  VM_NEXT();
l_assign: {
  Mat* t = fp[code[pc + 1]];
  Mat* v = vm.stack[static_cast<size_t>(vm.sp - 1)];
  if (t != v && isrealscalar(t) && isrealscalar(v) && t->data == t->inl && v->data == v->inl) {
    t->inl[0] = v->inl[0];  // real scalars: copy the value
  } else if (t != v) {
    if (v->kind == K_FCN) {
      vmerr(RC_VM_FCN);
      goto leave;
    }
    if (t->view) mmaterialise(t);
    if (v->refcnt == 1 && !v->view && !v->immortal) {
      mswap(t, v);
    } else if (v->isscalar() && v->eltype == ET_REAL && t->data == t->inl && t->eltype == ET_REAL &&
               t->rows == 1 && t->cols == 1 && !v->view) {
      t->inl[0] = v->re()[0];
    } else if (!mcopyinto(t, v)) {
      goto leave;
    }
  } else if (t->view) {
    mmaterialise(t);
  }
  mfree(v);
  if (op == opassign) {
    mref(t);
    vm.stack[static_cast<size_t>(vm.sp - 1)] = t;
  } else {
    --vm.sp;
  }
  pc += 2;
  VM_NEXT();
}
l_push: {
  if (vm.sp >= VM_STACK) {
    vmerr(RC_VM_STACK);
    goto leave;
  }
  Mat* m = fp[code[pc + 1]];
  if (m->view && !vview_refresh(m)) goto leave;
  ++m->refcnt;
  vm.stack[static_cast<size_t>(vm.sp++)] = m;
  pc += 2;
  VM_NEXT();
}
l_inc: {
  Mat* m = fp[code[pc + 1]];
  if (isrealscalar(m)) {
    double& v = m->re()[0];
    if (v < misval) v += op == opinc ? 1 : -1;
  } else if (!incobj(m, op == opinc ? 1 : -1)) {
    goto leave;
  }
  pc += 2;
  VM_NEXT();
}
l_brfalse:
  mfree(vm.stack[static_cast<size_t>(--vm.sp)]);
  if (vm.cond) {
    pc += 2;
    VM_NEXT();
  }
  if (!backjump(pc, code[pc + 1])) goto leave;
  pc = code[pc + 1];
  VM_NEXT();
l_ismat: {
  const Mat* m = vm.stack[static_cast<size_t>(vm.sp - 1)];
  if (m->kind == K_FCN) {
    vmerrmsg(RC_VM_FCN, (m->fcn ? m->fcn->name : std::string("")) + "() not a matrix");
    goto leave;
  }
  ++pc;
  VM_NEXT();
}
l_isscal: {
  const Mat* m = vm.stack[static_cast<size_t>(vm.sp - 1)];
  if (m->kind != K_MAT || m->rows != 1 || m->cols != 1) {
    orgerr(RC_VM_SCALAR, "scalar");
    goto leave;
  }
  ++pc;
  VM_NEXT();
}
l_call: {
  Mat* fobj;
  int nargs;
  if (op == opcall) {
    fobj = fp[code[pc + 1]];
    nargs = code[pc + 2];
    pc += 3;
    if (fobj->kind == K_MAT && fobj->eltype == ET_PTR && fobj->isscalar() && fobj->ptr()[0])
      fobj = fobj->ptr()[0];  // a function argument passed as a pointer
    mref(fobj);
  } else {
    nargs = code[pc + 1];
    pc += 2;
    fobj = vm.stack[static_cast<size_t>(--vm.sp)];
    if (fobj->kind == K_MAT && fobj->eltype == ET_PTR && fobj->isscalar() && fobj->ptr()[0]) {
      Mat* f = fobj->ptr()[0];
      mref(f);
      mfree(fobj);
      fobj = f;
    }
  }
  if (!VM_POLL()) {
    mfree(fobj);
    goto leave;
  }
  vm.fr.pc = pc;
  const bool ok = docall(fobj, nargs);
  mfree(fobj);
  if (!ok) goto leave;
  code = vm.fr.fcn->quick.data();
  orig = vm.fr.fcn->code.data();
  fp = vm.stack.data() + vm.fr.base;
  pc = vm.fr.pc;
  VM_NEXT();
}
l_table: {
  int at = pc;  // the handler's copy: pc itself stays in a register
  const bool ok = table[op](code, at);
  pc = at;
  if (!ok) goto leave;
  fp = vm.stack.data() + vm.fr.base;
  VM_NEXT();
}
l_bad:
  vmerr(RC_VM_OPCODE);
  goto leave;

leave:
  // a return or an error; an error unwinds every caller up to the entry
  // frame, each adding its traceback line
  for (;;) {
    if (vm.rc == VRC_RETURN) {
      Mat* res = vm.stack[static_cast<size_t>(vm.sp - 1)];
      --vm.sp;
      popto(vm.fr.base);
      vm.stack[static_cast<size_t>(vm.sp++)] = res;
      if (res->level == vm.fr.depth && res->level > 0) {
        res->level = vm.fr.depth - 1;
        res->name[0] = 0;
      }
      vm.rc = 0;
    } else {
      if (!vm.firstrc) vm.firstrc = vm.rc;
      traceback(vm.fr);
      popto(vm.fr.base);
    }
    fcnrelease(vm.fr.fcn);
    --vm.depth;
    vm.fr = frames.back();
    frames.pop_back();
    if (frames.size() < entry) return;
    if (!vm.rc) break;
  }
  code = vm.fr.fcn->quick.data();
  orig = vm.fr.fcn->code.data();
  fp = vm.stack.data() + vm.fr.base;
  pc = vm.fr.pc;
  VM_NEXT();
#undef VM_NEXT
#undef VM_POLL
}
#undef VM_CMPS
#undef VM_ARITHS

// Enters f's frame (its arguments are the top nargs slots) and runs until
// that frame returns or an error unwinds past it.
void vm_call(Fcn* f, int nargs) {
  const size_t entry = frames.size() + 1;
  if (!enter(f, nargs)) return;
  run(entry);
}

void xeq(Fcn* f, int nargs) { vm_call(f, nargs); }

// After a failed statement: a name that the statement's assignment was to
// create stays undefined. The global is dropped only while it is still the
// empty real the statement made and nothing else refers to it.
static void forgetmade(size_t from) {
  for (size_t i = from; i < vm.madeglobals.size(); ++i) {
    auto it = vm.globals.find(vm.madeglobals[i].first);
    if (it == vm.globals.end() || it->second != vm.madeglobals[i].second) continue;  // dropped meanwhile
    Mat* g = it->second;
    if (g->kind != K_MAT || g->view || g->eltype != ET_REAL || g->rows || g->cols || g->refcnt != 1) continue;
    vm.globals.erase(it);
    mfree(g);
  }
}

// Runs an interactive statement's function at depth 0 of its nesting: the
// dispatch table is built on first use; afterwards the traceback is flushed,
// globals the failed statement made are dropped and the stack is back where it
// was. 0, 1 after a Break, or the run-time code.
int ixeq(Fcn* f) {
  static bool inited = false;
  if (!inited) {
    inittable();
    inited = true;
  }
  vm_init();
  const int sp0 = vm.sp;
  const int depth0 = vm.depth;
  const Frame saved = vm.fr;
  const int rc0 = vm.rc, first0 = vm.firstrc;
  const std::string msg0 = vm.custommsg;
  const bool inner0 = vm.tbinner;
  vm.rc = 0;
  vm.firstrc = 0;
  vm.custommsg.clear();
  vm.tbinner = true;
  vm.fr = Frame{};
  vm.fr.version = std::max(890, vst.version);
  vm.fr.depth = vm.depth;
  const int oldstate = vm.state;
  vm.state = 3;
  ++f->refcnt;
  vm.depth = depth0 - 1;  // the statement runs at depth 0 of its nesting
  vm.tblast.clear();
  vm.tbrepeat = 0;
  const size_t made0 = vm.madeglobals.size();
  static int nesting = 0;  // statements running (a command run from Vemo may run Vemo)
  ++nesting;
  vm_call(f, 0);
  --nesting;
  tbflush();
  vm.depth = depth0;
  int rc = vm.rc ? (vm.firstrc ? vm.firstrc : vm.rc) : 0;
  if (vm.rc == VRC_BREAK) rc = 1;
  if (rc == VRC_REPORTED || rc == VRC_SILENT) rc = rc == VRC_SILENT ? 0 : vm.firstrc;
  if (rc < 0) rc = -rc;
  popto(sp0);
  if (rc) forgetmade(made0);
  vm.madeglobals.resize(made0);
  // cycles are looked for between outermost statements, once the objects
  // that can form them have doubled since the last look
  if (nesting == 0 && vm.containers.size() >= vm.gcnext) vm_collect();
  fcnrelease(f);
  vm.state = oldstate;
  vm.fr = saved;
  vm.rc = rc0;
  vm.firstrc = first0;
  vm.custommsg = msg0;
  vm.tbinner = inner0;
  return rc;
}

// Stops runs as a Break after this many polls (0 = no limit; for the fuzz targets).
void vemo_setsteplimit(long polls) {
  vm.steplimit = polls;
  vm.steps = 0;
}

std::string vm_disasm(const Fcn* f) {
  std::string text;
  const int32_t* code = f->code.data();
  const int n = static_cast<int>(f->code.size());
  int pc = 2;
  while (pc < n) {
    const int op = code[pc];
    if (op == opnumpool || op == opstrpool) break;
    const int len = vm_oplen(code, pc, n);
    if (!len) break;
    text += std::to_string(pc) + " " + vm_opname[op];
    const int lay = vm_oplayout[op];
    const int words = lay == L_W ? 1 : lay == L_WW ? 2 : lay == L_WWW || lay == L_WWWS ? 3 : lay == L_WS ? 1 : 0;
    for (int k = 1; k <= words; ++k) {
      text += ' ';
      text += std::to_string(code[pc + k]);
    }
    text += "\n";
    pc += len;
  }
  return text;
}

int32_t vm_fusedform(int32_t q) {
  if (q >= VM_QPPCMPBR && q < VM_QPPARITHA) return q - (q - VM_QPPCMPBR) % 6;
  if (q >= VM_QPPARITHA && q < VM_QINCGOTO) return q - (q - VM_QPPARITHA) % 4;
  if (q == VM_QDECGOTO) return VM_QINCGOTO;
  return q;
}

namespace {

// The slots fused opcode q at pc reads (into r) and writes (into w), and the
// instructions its sequence spans.
int fusedslots(const int32_t* code, int pc, int32_t q, std::vector<int32_t>& r, std::vector<int32_t>& w) {
  switch (vm_fusedform(q)) {
    case VM_QPPCMPBR: r.push_back(code[pc + 1]); r.push_back(code[pc + 3]); return 4;
    case VM_QPLCMPBR:
    case VM_QPKCMPBR: r.push_back(code[pc + 1]); return 4;
    case VM_QPPARITHA: r.push_back(code[pc + 1]); r.push_back(code[pc + 3]); w.push_back(code[pc + 6]); return 4;
    case VM_QPLARITHA: r.push_back(code[pc + 1]); w.push_back(code[pc + 6]); return 4;
    case VM_QPKARITHA: r.push_back(code[pc + 1]); w.push_back(code[pc + 5]); return 4;
    case VM_QINCGOTO: w.push_back(code[pc + 1]); return 2;
    default: return 0;
  }
}

// Finds the loops of f->quick that run on real scalars alone and appends
// their unchecked copies. A loop is the words from a backward goto's target
// to the goto; each of its instructions must be a fused sequence, a line
// mark, a no-op, or a lone increment, and every branch inside it must land
// on one of those. In the copy a branch to a word of the loop goes to its
// copy; one leaving the loop goes to the checked code as before, its target
// stored as ~target when the branch closes a loop (a Break poll point), so
// that the polls fall where they did.
void scalarloops(Fcn* f, const std::vector<int>& at) {
  std::vector<int32_t>& q = f->quick;
  const int32_t* code = f->code.data();
  std::vector<Fcn::ScalarLoop> found;
  for (size_t b = 0; b < at.size(); ++b) {
    const int gpc = at[b];
    const int t = code[gpc] == opgoto ? code[gpc + 1] : -1;
    if (t < 2 || t >= gpc) continue;
    const int end = gpc + 2;
    // the loop's instructions, each a sequence start or an instruction of its own
    std::vector<char> head(static_cast<size_t>(end - t), 0);
    std::vector<std::pair<int, int>> branches;  // words holding a branch target, with the start of a compare's sequence (else -1)
    Fcn::ScalarLoop lp;
    size_t i = 0;
    while (i < at.size() && at[i] < t) ++i;
    bool ok = i < at.size() && at[i] == t;
    while (ok && i <= b) {
      const int pc = at[i];
      const int32_t op = q[pc];
      head[static_cast<size_t>(pc - t)] = 1;
      if (op >= VM_QPPCMPBR && op <= VM_QDECGOTO) {
        const size_t span = static_cast<size_t>(fusedslots(code, pc, op, lp.slots, lp.written));
        if (i + span - 1 > b) {
          ok = false;
          break;
        }
        const int form = vm_fusedform(op);
        if (form == VM_QINCGOTO) branches.emplace_back(pc + 3, -1);
        else if (form < VM_QPPARITHA) branches.emplace_back(pc + (form == VM_QPKCMPBR ? 5 : 6), pc);
        i += span;
      } else if (op == oplinum || op == opnoop || op == opinc || op == opdec) {
        ++i;
      } else if (op == opgoto) {
        branches.emplace_back(pc + 1, -1);
        ++i;
      } else {
        ok = false;
      }
    }
    if (!ok || i != b + 1) continue;
    for (const auto& [w, from] : branches) {
      const int to = code[w];
      if (to >= t && to < end && !head[static_cast<size_t>(to - t)]) ok = false;
    }
    if (!ok) continue;
    const int copy = static_cast<int>(q.size());
    lp.head = t;
    lp.copy = copy;
    lp.fused = q[t];
    lp.slots.insert(lp.slots.end(), lp.written.begin(), lp.written.end());
    const std::vector<int32_t> body(q.begin() + t, q.begin() + end);
    q.insert(q.end(), body.begin(), body.end());
    for (int pc = t; pc < end; ++pc)
      if (head[static_cast<size_t>(pc - t)] && q[static_cast<size_t>(pc)] >= VM_QPPCMPBR &&
          q[static_cast<size_t>(pc)] <= VM_QDECGOTO)
        q[static_cast<size_t>(copy + pc - t)] = q[static_cast<size_t>(pc)] + VM_UNCHECKED;
    for (const auto& [w, from] : branches) {
      const int to = code[w];
      int32_t& cw = q[static_cast<size_t>(copy + w - t)];
      if (to >= t && to < end) cw = copy + to - t;
      else if (from >= 0 && to <= from) cw = ~to;  // a compare leaving the loop backwards: a poll point
    }
    found.push_back(std::move(lp));
  }
  // heads go in last: a loop inside another is copied with the outer one as
  // fused code, and runs there unchecked under the outer loop's check
  for (auto& lp : found) {
    if (q[lp.head] < VM_QPPCMPBR || q[lp.head] > VM_QDECGOTO) continue;  // heads shared: the first loop keeps it
    q[lp.head] = VM_QLOOPHEAD;
    f->loops.push_back(std::move(lp));
  }
}

}  // namespace

// Makes f's run-time copy of its code with the fused opcodes.
void vm_quicken(Fcn* f, bool loops) {
  f->quick = f->code;
  f->loops.clear();
  const int32_t* code = f->code.data();
  int32_t* q = f->quick.data();
  const int n = static_cast<int>(f->code.size());
  std::vector<int> at;  // instruction starts
  for (int pc = 2; pc < n;) {
    const int op = code[pc];
    if (op == opnumpool || op == opstrpool) break;
    const int len = vm_oplen(code, pc, n);
    if (!len) break;
    at.push_back(pc);
    pc += len;
  }
  // an operator's place in its list, -1 when it is not there
  auto place = [](int op, const int32_t* list, int count) {
    for (int k = 0; k < count; ++k)
      if (list[k] == op) return k;
    return -1;
  };
  auto cmpk = [&](int op) { return place(op, VM_CMPORDER, 6); };
  auto arithk = [&](int op) { return place(op, VM_ARITHORDER, 4); };
  auto iscmp = [&](int op) { return cmpk(op) >= 0; };
  auto isarith = [&](int op) { return arithk(op) >= 0; };
  for (size_t i = 0; i < at.size(); ++i) {
    const int pc = at[i];
    const int op = code[pc];
    if (op == oppush && i + 3 < at.size()) {
      const int op2 = code[at[i + 1]], op3 = code[at[i + 2]], op4 = code[at[i + 3]];
      if (op2 == oppush || op2 == opldlit) {
        const bool lit = op2 == opldlit;
        if (iscmp(op3) && op4 == opbrfalse) q[pc] = (lit ? VM_QPLCMPBR : VM_QPPCMPBR) + cmpk(op3);
        else if (isarith(op3) && op4 == opassignp) q[pc] = (lit ? VM_QPLARITHA : VM_QPPARITHA) + arithk(op3);
      } else if (op2 == opld0 || op2 == opld1) {
        if (iscmp(op3) && op4 == opbrfalse) q[pc] = VM_QPKCMPBR + cmpk(op3);
        else if (isarith(op3) && op4 == opassignp) q[pc] = VM_QPKARITHA + arithk(op3);
      }
    } else if ((op == opinc || op == opdec) && i + 1 < at.size() && code[at[i + 1]] == opgoto) {
      q[pc] = op == opinc ? VM_QINCGOTO : VM_QDECGOTO;
    }
  }
  if (loops) scalarloops(f, at);
}
