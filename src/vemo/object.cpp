// Vemo object store: making, copying, swapping, resizing and freeing matrix
// objects (with their string blocks, pointed-to objects and structure
// members), the free list of object records, named globals and compiled
// functions, structure instances, and the start-up and clearing of the store.
#include <malloc.h>

#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "data/value.h"
#include "output/rc.h"
#include "platform/zassert.h"
#include "vemo/vemo.h"
#include "vemo/vm.h"

VmState vm;

VStr* vstr_new(const char* s, size_t len) {
  if (len == 0) return nullptr;
  if (len > 0x7ffffff0u || (vst.maxbytes && len > vst.maxbytes)) return nullptr;
  VStr* v = static_cast<VStr*>(std::malloc(sizeof(uint32_t) + len + 1));
  if (!v) return nullptr;
  v->n = static_cast<uint32_t>(len + 1);
  std::memcpy(v->b, s, len);
  v->b[len] = 0;
  return v;
}

const char* etword(int16_t et) {
  switch (et) {
    case ET_REAL: return "real";
    case ET_CPLX: return "complex";
    case ET_STR: return "string";
    case ET_PTR: return "pointer";
    case ET_STRUCT: return "struct";
    default: return "unknown";
  }
}

namespace {

size_t elsize(int16_t et) { return et == ET_CPLX ? 16 : 8; }

Mat* newrecord() {
  Mat* m;
  if (vm.nfree > 0) {
    m = vm.freemats[--vm.nfree];
  } else {
    m = new (std::nothrow) Mat;
    if (!m) return nullptr;
  }
  ++vm.live;
  return m;
}

// Releases the elements (strings, pointed-to objects, members) and storage.
void release(Mat* m) {
  const size_t n = m->n();
  if (m->kind == K_FCN) {
    if (m->fcn) fcnrelease(m->fcn);
    m->fcn = nullptr;
    m->kind = K_MAT;
    return;
  }
  if (m->view) {
    vview_release(m);  // the dataset's cells, or the view's own copy
    return;
  }
  if (!m->view) {
    if (m->eltype == ET_STR) {
      for (size_t i = 0; i < n; ++i) std::free(m->str()[i]);
    } else if (m->eltype == ET_PTR || m->eltype == ET_STRUCT) {
      for (size_t i = 0; i < n; ++i)
        if (m->ptr()[i]) mfree(m->ptr()[i]);
    }
  }
  if (m->eltype == ET_STRUCT && m->fcn) fcnrelease(m->fcn);
  m->fcn = nullptr;
  if (m->data && m->data != m->inl) std::free(m->data);
  m->data = nullptr;
  m->size = 0;
}

// Allocates storage for et rows x cols; strings, pointers and members start
// empty. False when the size overflows or memory is short.
bool allocate(Mat* m, int16_t et, int rows, int cols) {
  m->eltype = et;
  m->rows = rows;
  m->cols = cols;
  m->view = 0;
  const size_t n = static_cast<size_t>(rows) * static_cast<size_t>(cols);
  if (n > (size_t{1} << 40) / 16) return false;
  if (et == ET_PTR || et == ET_STRUCT) gc_track(m);
  const size_t bytes = n * elsize(et);
  if (vst.maxbytes && bytes > vst.maxbytes) return false;
  m->size = bytes;
  if (bytes <= sizeof m->inl) {
    m->data = m->inl;
    m->inl[0] = m->inl[1] = 0;
    return true;
  }
  // numeric elements are left for the caller to fill (no zeroing of large
  // results); strings, pointers and members must start empty
  m->data = et == ET_REAL || et == ET_CPLX ? std::malloc(bytes) : std::calloc(1, bytes);
  return m->data != nullptr;
}

}  // namespace

Mat* mkmat(const char* name, int16_t eltype, int rows, int cols) {
  Mat* m = newrecord();
  if (m && rows >= 0 && cols >= 0 && allocate(m, eltype, rows, cols)) {
    m->refcnt = 1;
    m->kind = K_MAT;
    m->immortal = false;
    m->fcn = nullptr;
    m->age = vm.clock;
    m->level = name && *name ? -1 : vm.depth;
    std::snprintf(m->name, sizeof m->name, "%s", name ? name : "");
    return m;
  }
  if (m) {
    gc_untrack(m);
    m->data = nullptr;
    m->size = 0;
    m->refcnt = 0;
    --vm.live;
    delete m;
  }
  char buf[200];
  std::snprintf(buf, sizeof buf, "unable to allocate %s %s[%d,%d]", etword(eltype), name ? name : "",
                rows, cols);
  vmerrmsg(RC_VM_NOMEM, buf);
  return nullptr;
}

Mat* mkscalar(double x) {
  Mat* m = newrecord();
  if (!m) {
    vmerrmsg(RC_VM_NOMEM, "unable to allocate real [1,1]");
    return nullptr;
  }
  m->data = m->inl;
  m->size = 8;
  m->refcnt = 1;
  m->rows = m->cols = 1;
  m->level = vm.depth;
  m->age = vm.clock;
  m->eltype = ET_REAL;
  m->view = 0;
  m->kind = K_MAT;
  m->immortal = false;
  m->fcn = nullptr;
  m->inl[0] = x;
  m->name[0] = 0;
  return m;
}

Mat* mkcscalar(double re, double im) {
  Mat* m = mkmat(nullptr, ET_CPLX, 1, 1);
  if (m) {
    m->inl[0] = re;
    m->inl[1] = im;
  }
  return m;
}

Mat* mkstrscalar(const char* s, size_t len) {
  Mat* m = mkmat(nullptr, ET_STR, 1, 1);
  if (m && len) {
    m->str()[0] = vstr_new(s, len);
    if (!m->str()[0]) {
      mfree(m);
      vmerrmsg(RC_VM_NOMEM, "unable to allocate string [1,1]");
      return nullptr;
    }
  }
  return m;
}

Mat* mkfcnref(Fcn* f) {
  Mat* m = mkmat(nullptr, ET_REAL, 0, 0);
  if (!m) return nullptr;
  m->kind = K_FCN;
  m->fcn = f;
  ++f->refcnt;
  return m;
}

// A member of a new structure instance, made as a local of its type is.
static Mat* mkmember(const Fcn::Member& mb, int nest) {
  int16_t et = mb.el == 3 ? ET_CPLX : mb.el == 2 ? ET_STR : mb.el == 5 ? ET_PTR : mb.el == 6 ? ET_STRUCT : ET_REAL;
  int r = 0, c = 0;
  switch (mb.org) {
    case 1: r = c = 1; break;   // scalar
    case 2: case 3: r = 1; break;  // vector, rowvector: 1 x 0
    case 4: c = 1; break;       // colvector: 0 x 1
    default: break;
  }
  if (et == ET_STRUCT) {
    Fcn* d = findfcn(mb.sname.c_str());
    if (!d) {
      vmerrmsg(RC_VM_NOTFOUND, "struct " + mb.sname + " not found");
      return nullptr;
    }
    return mkstruct(d, r, c, nest + 1);
  }
  Mat* m = mkmat(nullptr, et, r, c);
  if (m && r == 1 && c == 1) {
    if (et == ET_REAL) m->re()[0] = misval;
    if (et == ET_CPLX) m->re()[0] = m->re()[1] = misval;
  }
  return m;
}

Mat* mkstruct(Fcn* def, int rows, int cols, int nest) {
  if (nest > 500) {
    vmerr(RC_VM_NESTING);
    return nullptr;
  }
  Mat* s = mkmat(nullptr, ET_STRUCT, rows, cols);
  if (!s) return nullptr;
  s->fcn = def;
  ++def->refcnt;
  const int nm = static_cast<int>(def->members.size());
  for (size_t e = 0; e < s->n(); ++e) {
    Mat* tab = mkmat(nullptr, ET_PTR, nm, 1);
    if (!tab) {
      mfree(s);
      return nullptr;
    }
    s->ptr()[e] = tab;
    for (int k = 0; k < nm; ++k) {
      Mat* mb = mkmember(def->members[static_cast<size_t>(k)], nest);
      if (!mb) {
        mfree(s);
        return nullptr;
      }
      tab->ptr()[k] = mb;
    }
  }
  return s;
}

void mfree_slow(Mat* m) {
  if (!(m->data == m->inl && m->eltype == ET_REAL && m->kind == K_MAT)) release(m);
  gc_untrack(m);
  m->refcnt = 0;
  --vm.live;
  if (vm.nfree < VM_MAXFREE) vm.freemats[vm.nfree++] = m;
  else delete m;
}

bool mresize(Mat* m, int16_t eltype, int rows, int cols) {
  release(m);
  if (!allocate(m, eltype, rows, cols)) {
    allocate(m, ET_REAL, 0, 0);
    char buf[200];
    std::snprintf(buf, sizeof buf, "unable to allocate %s %s[%d,%d]", etword(eltype), m->name, rows, cols);
    return vmerrmsg(RC_VM_NOMEM, buf);
  }
  return true;
}

void mswap(Mat* a, Mat* b) {
  std::swap(a->data, b->data);
  std::swap(a->size, b->size);
  std::swap(a->rows, b->rows);
  std::swap(a->cols, b->cols);
  std::swap(a->eltype, b->eltype);
  std::swap(a->view, b->view);
  std::swap(a->vv, b->vv);
  std::swap(a->kind, b->kind);
  std::swap(a->fcn, b->fcn);
  std::swap(a->inl[0], b->inl[0]);
  std::swap(a->inl[1], b->inl[1]);
  if (a->data == b->inl) a->data = a->inl;
  if (b->data == a->inl) b->data = b->inl;
  if (a->eltype == ET_PTR || a->eltype == ET_STRUCT) gc_track(a);
  if (b->eltype == ET_PTR || b->eltype == ET_STRUCT) gc_track(b);
}

// Copies the elements of src into dst, which has src's type and size.
static bool copyelems(Mat* dst, const Mat* src) {
  const size_t n = src->n();
  switch (src->eltype) {
    case ET_REAL: std::memcpy(dst->data, src->data, n * 8); return true;
    case ET_CPLX: std::memcpy(dst->data, src->data, n * 16); return true;
    case ET_STR:
      for (size_t i = 0; i < n; ++i) {
        const VStr* s = src->str()[i];
        if (s && !(dst->str()[i] = vstr_new(s->b, s->n - 1))) return vmerr(RC_VM_NOMEM);
      }
      return true;
    case ET_PTR:
      for (size_t i = 0; i < n; ++i) {
        dst->ptr()[i] = src->ptr()[i];
        if (dst->ptr()[i]) mref(dst->ptr()[i]);
      }
      return true;
    case ET_STRUCT:
      // each element gets its own member table with copies of the members
      for (size_t i = 0; i < n; ++i) {
        const Mat* tab = src->ptr()[i];
        if (!tab) continue;
        Mat* t2 = mkmat(nullptr, ET_PTR, tab->rows, 1);
        if (!t2) return false;
        dst->ptr()[i] = t2;
        for (int k = 0; k < tab->rows; ++k) {
          Mat* mb = tab->ptr()[k];
          if (!mb) continue;
          Mat* c = mdup(mb);
          if (!c) return false;
          t2->ptr()[k] = c;
        }
      }
      return true;
    default: return vmerr(RC_VM_TYPE);
  }
}

Mat* mdup(const Mat* src) {
  if (src->view && !vview_refresh(const_cast<Mat*>(src))) return nullptr;
  Mat* m = mkmat(nullptr, src->eltype, src->rows, src->cols);
  if (!m) return nullptr;
  if (src->eltype == ET_STRUCT && src->fcn) {
    m->fcn = src->fcn;
    ++m->fcn->refcnt;
  }
  if (!copyelems(m, src)) {
    mfree(m);
    return nullptr;
  }
  return m;
}

bool mcopyinto(Mat* dst, const Mat* src) {
  if (dst == src) return dst->view ? mmaterialise(dst) : true;
  if (src->kind == K_FCN) return vmerr(RC_VM_FCN);
  if (src->view && !vview_refresh(const_cast<Mat*>(src))) return false;
  if (!mresize(dst, src->eltype, src->rows, src->cols)) return false;
  if (src->eltype == ET_STRUCT && src->fcn) {
    dst->fcn = src->fcn;
    ++dst->fcn->refcnt;
  }
  return copyelems(dst, src);
}

Mat* mkglobal(const char* name, int16_t eltype, int rows, int cols) {
  Mat* m = mkmat(name, eltype, rows, cols);
  if (!m) return nullptr;
  m->level = -1;
  vm.globals[name] = m;
  return m;
}

Mat* findglobal(const char* name) {
  auto it = vm.globals.find(name);
  return it == vm.globals.end() ? nullptr : it->second;
}

Fcn* findfcn(const char* name) {
  auto it = vm.fcns.find(name);
  return it == vm.fcns.end() ? nullptr : it->second;
}

bool mkfcn(Fcn* f) {
  if (vm.fcns.count(f->name)) return false;
  f->refcnt = 1;
  f->age = vm.clock;
  vm.fcns[f->name] = f;
  return true;
}

void fcnrelease(Fcn* f) {
  if (--f->refcnt <= 0) delete f;
}

void vm_init() {
  if (vm.stack.empty()) {
    vm.stack.assign(VM_STACK + 8, nullptr);
    // large matrices come and go with every statement: keep their memory in
    // the heap for reuse instead of mapping fresh (zeroed, faulting) pages
    // from the system each time
    mallopt(M_MMAP_THRESHOLD, 512 << 20);
    mallopt(M_TRIM_THRESHOLD, 512 << 20);
  }
  if (!vm.k0) {
    vm.k0 = new Mat;
    vm.k0->data = vm.k0->inl;
    vm.k0->rows = vm.k0->cols = 1;
    vm.k0->refcnt = 1;
    vm.k0->immortal = true;
    vm.k0->size = 8;
    vm.k1 = new Mat(*vm.k0);
    vm.k1->data = vm.k1->inl;
    vm.k1->inl[0] = 1;
  }
}

void vm_reset() {
  ZASSERT(vm.sp == 0 && vm.depth == 0, "vm_reset called while Vemo code runs");
  vm_clearall(true);
  mfreelist_clear();
  ZASSERT(vm.fcns.empty(), "a function outlived vm_clearall(true)");
  VmState fresh;
  fresh.stack.swap(vm.stack);
  fresh.k0 = vm.k0;
  fresh.k1 = vm.k1;
  fresh.steplimit = vm.steplimit;
  fresh.steps = vm.steps;
  fresh.containers.swap(vm.containers);
  fresh.live = vm.live;
  fresh.st_epoch = vm.st_epoch + 1;
  vm = std::move(fresh);
}

void vm_dropfcns(bool all) {
  for (auto it = vm.fcns.begin(); it != vm.fcns.end();) {
    Fcn* f = it->second;
    if (!f->classmember && (all || f->refcnt <= 1)) {
      it = vm.fcns.erase(it);
      fcnrelease(f);
    } else {
      ++it;
    }
  }
}

void vm_clearall(bool all) {
  for (auto it = vm.globals.begin(); it != vm.globals.end();) {
    Mat* m = it->second;
    if (all || m->refcnt <= 1) {
      it = vm.globals.erase(it);
      mfree(m);
    } else {
      ++it;
    }
  }
  vm_dropfcns(all);
  // what only cycles kept alive goes with the globals
  vm_collect();
  if (vm.sp == 0) {
    mfreelist_clear();
  }
}

void mfreelist_clear() {
  while (vm.nfree > 0) delete vm.freemats[--vm.nfree];
}
