// Vemo run-time objects and the virtual machine: matrix objects with
// reference counts, the object store (globals, functions, free lists), the
// evaluation stack and frames, the run-time error code and the routines the
// operators and built-ins share. Internal to src/vemo.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

// Opcodes (names and operand layouts in opcodes.def).
enum VmOp : int32_t {
#define VOP(name, code, lay, pops, pushes) name = code,
#include "vemo/opcodes.def"
#undef VOP
};
enum VmLayout : int { L_N, L_W, L_WW, L_WWW, L_S, L_WS, L_WWWS, L_NP, L_SP, L_SD, L_U };
constexpr int VM_NOPS = 156;
extern const char* const vm_opname[VM_NOPS];
extern const int vm_oplayout[VM_NOPS];
// Words an instruction occupies at code[pc] (opcode included); 0 when the
// instruction is malformed or runs past n.
int vm_oplen(const int32_t* code, int pc, int n);

// Run-time element types.
enum : int16_t { ET_REAL = 0, ET_CPLX = -1, ET_STR = -3, ET_PTR = -4, ET_STRUCT = -5 };
// Store kinds.
enum : uint8_t { K_MAT = 43, K_FCN = 44 };

// Run-time return codes with a meaning of their own.
enum : int {
  VRC_BREAK = 1,
  VRC_RETURN = 10000,
  VRC_REPORTED = 10001,  // an error already reported by a custom message
  VRC_SILENT = 10002,
};

// A string element: length + 1, then the bytes and a NUL. No block = "".
struct VStr {
  uint32_t n;
  char b[];  // n bytes, the last a terminating zero (allocated with the header)
};
VStr* vstr_new(const char* s, size_t len);
inline size_t vstr_len(const VStr* s) { return s ? s->n - 1 : 0; }
inline const char* vstr_ptr(const VStr* s) { return s ? s->b : ""; }

struct Fcn;
struct StructDef;
struct VView;

// A matrix object (or, with kind K_FCN, a reference to a compiled function).
// Small matrices (up to two doubles: a real or complex scalar) keep their
// elements inline, so scalar arithmetic never touches the heap.
struct Mat {
  void* data = nullptr;     // element storage (inl for small ones)
  size_t size = 0;          // bytes of element storage
  int32_t refcnt = 0;       // freed when it drops below 1
  int32_t rows = 0, cols = 0;
  int32_t level = 0;        // call depth at creation; -1 for a global
  int32_t age = 0;          // statement clock at creation
  int16_t eltype = ET_REAL;
  uint8_t view = 0;         // 1 contiguous view, 2 listed observations
  uint8_t kind = K_MAT;
  bool immortal = false;    // shared constant: never reused nor freed
  int32_t gcidx = -1;       // place in the cycle collector's registry; -1 when not in it
  Fcn* fcn = nullptr;       // kind K_FCN: the function; ET_STRUCT: its definition
  VView* vv = nullptr;      // a view: its variables and observations
  double inl[2] = {0, 0};   // inline storage
  char name[34] = {0};
  int32_t gcrefs = 0;       // the collector's working count (fills the record's padding)

  size_t n() const { return static_cast<size_t>(rows) * static_cast<size_t>(cols); }
  double* re() const { return static_cast<double*>(data); }
  double* im() const { return static_cast<double*>(data) + n(); }
  VStr** str() const { return static_cast<VStr**>(data); }
  Mat** ptr() const { return static_cast<Mat**>(data); }
  bool isscalar() const { return rows == 1 && cols == 1; }
};

// A compiled function (or structure definition, rettype -1).
struct Fcn {
  std::string name;
  std::vector<int32_t> code;
  int rettype = 0, retorg = 0;   // compile-time codes
  int32_t refcnt = 0;            // objects referring to it (store included)
  int32_t age = 0;               // statement clock when last called
  bool classmember = false;
  bool autoloaded = false;
  std::string from;              // the file an autoloaded function came from
  // Structure definitions: members in declaration order.
  struct Member {
    std::string name;
    int el = 0, org = 0;         // compile-time element type and organization
    std::string sname;           // structure name for struct members
  };
  std::vector<Member> members;
  // The code the VM runs: a copy of `code` in which the first opcode of some
  // common sequences is replaced by a fused opcode (VM_Q*); made at the first
  // call. Operands stay where they were, so every address is the same and a
  // branch into the middle of a sequence finds the original instructions.
  // Past the copy come the loops that run on real scalars alone (below).
  std::vector<int32_t> quick;
  // A loop whose body is only fused scalar sequences, increments and line
  // marks cannot change the type of any slot it touches: once they are all
  // real scalars at its head they stay so until it exits. Its head in
  // `quick` is VM_QLOOPHEAD, which checks them once and goes on in a copy of
  // the loop (at `copy`) whose fused opcodes skip the checks; when a slot is
  // anything else it runs `fused`, the head's own fused opcode.
  struct ScalarLoop {
    int head = 0;                    // first word of the loop
    int copy = 0;                    // the head's word in the unchecked copy
    int32_t fused = 0;               // the head's fused opcode
    std::vector<int32_t> slots;      // slots the loop reads or writes
    std::vector<int32_t> written;    // those it writes (never a shared constant)
  };
  std::vector<ScalarLoop> loops;
};

// Fused opcodes of the run-time copy (never in stored code). Each names the
// sequence it replaces; when its operands are not real scalars it runs the
// original first instruction instead. A form has one code per operator, in
// the order of VM_CMPORDER or VM_ARITHORDER, so that the VM's code for each
// is straight-line.
enum : int32_t {
  VM_QPPCMPBR = 200,      // oppush a; oppush b; compare; opbrfalse t
  VM_QPLCMPBR = 206,      // oppush a; opldlit k; compare; opbrfalse t
  VM_QPKCMPBR = 212,      // oppush a; opld0 or opld1; compare; opbrfalse t
  VM_QPPARITHA = 218,     // oppush a; oppush b; + - * /; opassignp c
  VM_QPLARITHA = 222,     // oppush a; opldlit k; + - * /; opassignp c
  VM_QPKARITHA = 226,     // oppush a; opld0 or opld1; + - * /; opassignp c
  VM_QINCGOTO = 230,      // opinc a; opgoto t
  VM_QDECGOTO = 231,      // opdec a; opgoto t
  VM_QLOOPHEAD = 232,     // the head of a loop on real scalars (Fcn::ScalarLoop)
  // The same sequences with their operands known to be real scalars (only
  // in a loop's unchecked copy): each is its checked code + VM_UNCHECKED.
  VM_UNCHECKED = 40,
  VM_UPPCMPBR = VM_QPPCMPBR + VM_UNCHECKED,
  VM_UINCGOTO = VM_QINCGOTO + VM_UNCHECKED,
  VM_UDECGOTO = VM_QDECGOTO + VM_UNCHECKED,
  // A loop's closing increment (decrement) and goto in the unchecked copy,
  // when the loop's head compares the same slot: the increment and the
  // head's compare-and-branch as one, by the head's form and operator.
  VM_UINCCMP = VM_UDECGOTO + 1,
  VM_UDECCMP = VM_UINCCMP + 18,
};
constexpr int32_t VM_CMPORDER[6] = {opee, opne, opge, ople, opgt, oplt};
constexpr int32_t VM_ARITHORDER[4] = {opplus, opsub, opmult, opdiv};
// The first code of the form of fused opcode q (VM_QINCGOTO for both
// increments); q itself for any other opcode.
int32_t vm_fusedform(int32_t q);
constexpr int VM_NDISP = VM_UDECCMP + 18;  // the dispatch table: the instruction set and the fused opcodes
// Builds f->quick from f->code; with loops, also the unchecked copies of the
// loops on real scalars (f->loops).
void vm_quicken(Fcn* f, bool loops = true);

// One call frame.
struct Frame {
  int pc = 0;
  Fcn* fcn = nullptr;
  int base = 0;        // first stack slot of the frame
  int nargs = 0;
  int depth = 0;
  int line = 0;
  int version = 920;
  int callerversion = 920;
  bool member = false;
};

// Virtual-machine and object-store state.
struct VmState {
  std::vector<Mat*> stack;        // evaluation stack (VM_STACK slots)
  int sp = 0;                     // number of slots in use
  Frame fr;                       // the running frame
  int depth = 0;                  // current call depth
  int rc = 0;                     // run-time return code
  int firstrc = 0;                // first error code of the run
  std::string custommsg;          // message replacing the table's for this error
  bool cond = false;              // condition flag of the comparisons
  int32_t clock = 2;              // statement clock
  int pollctr = 0;                // instructions/branches since the last Break poll
  long steplimit = 0;             // fuzzing: stop (as a Break) after this many polls; 0 = none
  long steps = 0;
  std::unordered_map<std::string, Mat*> globals;  // named matrices
  std::unordered_map<std::string, Fcn*> fcns;     // named functions
  std::vector<Mat*> containers;   // objects that may hold references (cycle collector)
  size_t gcnext = 4096;           // registry size that starts the next collection (VM_GCMIN)
  std::vector<std::pair<std::string, Mat*>> madeglobals;  // globals the running statements made by assigning to them
  Mat* freemats[500] = {};        // released object records for reuse (VM_MAXFREE)
  int nfree = 0;                  // records in freemats
  long live = 0;                  // objects allocated and not yet freed (leak check)
  Mat* k0 = nullptr;              // shared constants 0 and 1 (comparison results)
  Mat* k1 = nullptr;
  int state = -1;                 // -1 idle, 2 compiling, 3 executing
  // The traceback of a failure, printed innermost first as frames unwind;
  // repeats of one line (a deep recursion) are counted, not printed.
  bool tbinner = true;            // the next traceback line is the innermost
  std::string tblast;             // the last traceback line printed
  long tbrepeat = 0;              // identical lines since then, not printed
  // Index of the built-in being run (-1 outside built-ins): lets one
  // implementation serve several rows.
  int builtin_running = -1;
  // Bumped whenever Vemo changes the dataset or runs a command: views re-read
  // their cells on their next use.
  uint64_t st_epoch = 1;
};
extern VmState vm;

constexpr int VM_STACK = 65536;
constexpr int VM_POLLRATE = 1000;
constexpr int VM_MAXFREE = 500;
constexpr size_t VM_GCMIN = 4096;

// Cycle collector (collect.cpp). Records that hold (or held) pointer or
// structure elements are registered from allocation to release.
void gc_track(Mat* m);
void gc_untrack(Mat* m);
// Frees every registered object that only cycles keep alive; returns how
// many records it freed. Only where no built-in holds an uncounted object.
size_t vm_collect();
// For each global about to be dropped (all of them at once): whether
// anything but the globals table and what only the dropped globals reach
// refers to it.
std::vector<bool> gc_inuse(const std::vector<Mat*>& drop);

// Object store.
Mat* mkmat(const char* name, int16_t eltype, int rows, int cols);  // nullptr: 3900 set
void mfree_slow(Mat* m);                    // releases an object whose count reached zero
// Decrements; releases at zero.
inline void mfree(Mat* m) {
  if (!m || m->immortal) return;
  if (--m->refcnt > 0) return;
  if (m->data == m->inl && m->eltype == ET_REAL && m->kind == K_MAT && m->gcidx < 0 && vm.nfree < VM_MAXFREE) {
    // a real scalar: straight back to the free list
    --vm.live;
    vm.freemats[vm.nfree++] = m;
    return;
  }
  mfree_slow(m);
}
// Empties the free list (when no Vemo code runs).
void mfreelist_clear();
inline void mref(Mat* m) {
  if (!m->immortal) ++m->refcnt;
}
bool mresize(Mat* m, int16_t eltype, int rows, int cols);  // drops contents
Mat* mdup(const Mat* src);                  // deep copy of the elements (not a view)
void mswap(Mat* a, Mat* b);                 // exchange contents (not names, counts, levels)
bool mcopyinto(Mat* dst, const Mat* src);   // dst takes src's value
Mat* mkscalar(double x);
Mat* mkcscalar(double re, double im);
Mat* mkstrscalar(const char* s, size_t len);
Mat* mkfcnref(Fcn* f);
Mat* mkstruct(Fcn* def, int rows, int cols, int nest);
Mat* mkglobal(const char* name, int16_t eltype, int rows, int cols);
Mat* findglobal(const char* name);
Fcn* findfcn(const char* name);
// Stores f under its name; false when a function of that name exists.
bool mkfcn(Fcn* f);
void fcnrelease(Fcn* f);
// A view becomes an ordinary matrix holding the dataset's current cells.
bool mmaterialise(Mat* m);
// A view's elements are brought up to date with the dataset (it stays a
// view); nothing for other objects.
bool vview_refresh(Mat* m);
// Releases a view's description and cells (the object store's release).
void vview_release(Mat* m);
void vm_init();
// The VM back to a fresh VmState as vm_init left it (reset-all; not while
// Vemo code runs): frees every global, function, cycle and free record, and
// keeps what outlives a reset: the stack's memory, the two constants, the
// fuzzing step limit, the collector's registry and live count of objects
// held outside the VM, and a view epoch that only grows.
void vm_reset();
// Frees the globals and functions; all false keeps those in use.
void vm_clearall(bool all);
// Frees the functions (not class members); all false keeps those in use.
void vm_dropfcns(bool all);

// Run-time errors: set rc (and a custom message) and return false.
bool vmerr(int rc);
bool vmerrmsg(int rc, const std::string& msg);
const char* vm_errmsg(int rc);

// The VM: runs f with nargs arguments on the stack (the caller saves the frame).
void xeq(Fcn* f, int nargs);
// Calls f with nargs arguments on the stack, saving and restoring the frame.
void vm_call(Fcn* f, int nargs);
// Runs an interactive statement's function at depth 0; returns 0, 1 or a code.
int ixeq(Fcn* f);
inline void vpush(Mat* m) { vm.stack[static_cast<size_t>(vm.sp++)] = m; }
bool vm_poll();

// Operators (ops.cpp): pop operands, push the result; false on error.
bool op_arith(int op);        // + - * / ^ and their colon forms, #
bool op_compare(int op);      // == != < <= > >= and colon forms
bool op_logic(int op);        // & | and colon forms
bool op_not();
bool op_neg();
bool op_trans();
bool op_join(bool rows);
bool op_range(bool rows);
bool op_subscr(int kind);     // 1 list, 2 list two, 3 range
bool op_store(Mat* target, int kind, bool pop);  // subscripted store into target
bool vm_equal(const Mat* a, const Mat* b);

// Listing (list.cpp): displays a value as oplist2 does.
void vm_list(const Mat* m);
// Formats a real as the listing does.
std::string vm_fmtreal(double x);
std::string vm_fmtcplx(double re, double im);

// Built-ins (builtin.cpp): the table of 362 rows, in table order.
struct Builtin {
  const char* name;
  int el = 0, org = 0;     // result type (compile-time codes)
  int minargs = 0, maxargs = 0;
  bool (*fn)(int nargs) = nullptr;  // nullptr: not available in this build (3996)
};
const std::vector<Builtin>& builtins();
int builtin_find(const char* name);  // index or -1
// Runs built-in index over the top nargs stack slots, replacing them with its
// result; false with vm.rc set.
bool builtin_call(int index, int nargs);
// Prints the innermost traceback line for the failing built-in name.
void vm_tbbuiltin(const char* name);

// One line per instruction of f ("pc name operands"), for tests.
std::string vm_disasm(const Fcn* f);

// Element-type word for messages ("real", "complex", ...).
const char* etword(int16_t et);
