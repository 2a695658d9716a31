// File built-ins: the table of 50 Vemo file handles (fopen and its kin,
// reading and writing lines, bytes and whole matrices in the matrix file
// format), temporary names and removal, and paths and directories.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "data/value.h"
#include "files/byteorder.h"
#include "interp/macro.h"
#include "output/output.h"
#include "vemo/lib.h"
#include "vemo/vofile.h"
#include "output/rc.h"

using namespace vlib;

VlibState vlibs;

namespace {

void errline(const std::string& msg) {
  int prev = setoutlev(OUT_ERROR);
  spout21((msg + "\n").c_str());
  setoutlev(prev);
}

// A failing built-in either aborts with rc or, in its underscore form,
// returns -rc.
bool failwith(int n, bool underscore, int rc) { return underscore ? ret(n, mkscalar(-rc)) : vmerr(rc); }

// The open handle a names, in *fh. A handle that names no open file stops
// the built-in (3601), or, when rc is given (the underscore forms), sets *rc
// and leaves the reporting to the caller.
bool handle(const Mat* a, int* fh, int* rc = nullptr) {
  if (!needrealscalar(a)) return false;
  const double x = a->re()[0];
  if (!(x >= 0 && x < VLIB_NFILES) || x != static_cast<int>(x) || !vlibs.files[static_cast<int>(x)].fp)
    return rc ? (*rc = 3601, true) : vmerr(RC_VM_FHANDLE);
  *fh = static_cast<int>(x);
  return true;
}

// fopen(name, mode [, public]) and _fopen.
bool fopen_(int n, bool underscore) {
  Mat* a = arg(n, 0);
  Mat* m = arg(n, 1);
  if (!needstrscalar(a) || !needstrscalar(m)) return false;
  if (n == 3 && !needscalar(arg(n, 2))) return false;
  const std::string name = sval(a), mode = sval(m);
  if (name.empty()) return failwith(n, underscore, RC_VM_FNAME);
  if (mode != "r" && mode != "w" && mode != "a" && mode != "rw") return failwith(n, underscore, RC_VM_FMODE);
  int fh = -1;
  for (int k = 0; k < VLIB_NFILES && fh < 0; ++k)
    if (!vlibs.files[k].fp) fh = k;
  if (fh < 0) return failwith(n, underscore, RC_VM_TOOMANYFILES);
  struct stat st;
  const bool exists = stat(name.c_str(), &st) == 0;
  FILE* fp = nullptr;
  if (mode == "r") {
    if (!exists) {
      if (!underscore) errline("file " + name + " not found");
      return failwith(n, underscore, RC_FILENOTFOUND);
    }
    fp = std::fopen(name.c_str(), "rb");
  } else if (mode == "w") {
    // an existing file is never overwritten by opening it
    if (exists) {
      if (!underscore) errline("file " + name + " already exists");
      return failwith(n, underscore, RC_FILEEXISTS);
    }
    fp = std::fopen(name.c_str(), "wb");
  } else if (mode == "a") {
    fp = std::fopen(name.c_str(), "ab");
  } else {
    // read/write works on an existing file only
    if (exists) fp = std::fopen(name.c_str(), "r+b");
    if (!fp) {
      if (!underscore) errline("file " + name + " could not be opened for read/write");
      return failwith(n, underscore, RC_FILEOPEN);
    }
  }
  if (!fp) {
    if (!underscore) errline("file " + name + " could not be opened");
    return failwith(n, underscore, RC_FILEOPEN);
  }
  VFile& f = vlibs.files[fh];
  f.fp = fp;
  f.canread = mode == "r" || mode == "rw";
  f.canwrite = mode != "r";
  f.append = mode == "a";
  f.name = name;
  return ret(n, mkscalar(fh));
}
bool b_fopen(int n) { return fopen_(n, false); }
bool b__fopen(int n) { return fopen_(n, true); }

template <bool Underscore>
bool b_fclose(int n) {
  int fh = 0, rc = 0;
  if (!handle(arg(n, 0), &fh, Underscore ? &rc : nullptr)) return false;
  if (rc) return ret(n, mkscalar(-rc));
  const bool bad = std::fclose(vlibs.files[fh].fp) != 0;
  vlibs.files[fh] = VFile{};
  if (bad) return failwith(n, Underscore, RC_IO);
  return Underscore ? ret(n, mkscalar(0)) : retvoid(n);
}

// A handle open for reading (writing); in an underscore form a file open
// the other way is reported by *rc instead of stopping.
bool readable_fh(int n, int* fh, int* rc = nullptr) {
  if (!handle(arg(n, 0), fh, rc)) return false;
  if (rc && *rc) return true;
  if (!vlibs.files[*fh].canread) return rc ? (*rc = 3622, true) : vmerr(RC_VM_WRITEONLY);
  return true;
}
bool writable_fh(int n, int* fh, int* rc = nullptr) {
  if (!handle(arg(n, 0), fh, rc)) return false;
  if (rc && *rc) return true;
  if (!vlibs.files[*fh].canwrite) return rc ? (*rc = 3621, true) : vmerr(RC_VM_READONLY);
  return true;
}

// fget(fh): the next line without its end; fgetnl keeps the end. At the end
// of the file the result is J(0, 0, "").
template <bool KeepNl, bool Underscore>
bool b_fget(int n) {
  int fh = 0, rc = 0;
  if (!readable_fh(n, &fh, Underscore ? &rc : nullptr)) return false;
  if (rc) return ret(n, mkscalar(-rc));
  std::string line;
  int c;
  bool any = false;
  while ((c = std::fgetc(vlibs.files[fh].fp)) != EOF) {
    any = true;
    if (c == '\n') {
      if (KeepNl) line += '\n';
      break;
    }
    if (c == '\r') {
      int d = std::fgetc(vlibs.files[fh].fp);
      if (d != '\n' && d != EOF) std::ungetc(d, vlibs.files[fh].fp);
      if (KeepNl) line += d == '\n' ? "\r\n" : "\r";
      break;
    }
    line += static_cast<char>(c);
  }
  if (!any) return ret(n, mkmat(nullptr, ET_STR, 0, 0));
  return retstr(n, line);
}

// fread(fh, len): up to len bytes.
template <bool Underscore>
bool b_fread(int n) {
  int fh = 0, len = 0, rc = 0;
  if (!readable_fh(n, &fh, Underscore ? &rc : nullptr) || !countarg(arg(n, 1), &len)) return false;
  if (rc) return ret(n, mkscalar(-rc));
  std::string s(static_cast<size_t>(len), '\0');
  const size_t got = std::fread(s.data(), 1, s.size(), vlibs.files[fh].fp);
  if (got == 0 && len > 0) return ret(n, mkmat(nullptr, ET_STR, 0, 0));
  s.resize(got);
  return retstr(n, s);
}

// fput(fh, s): s and a newline; fwrite(fh, s): s alone.
template <bool Nl, bool Underscore>
bool b_fput(int n) {
  int fh = 0, rc = 0;
  if (!writable_fh(n, &fh, Underscore ? &rc : nullptr)) return false;
  if (rc) return ret(n, mkscalar(-rc));
  Mat* s = arg(n, 1);
  if (!needstrscalar(s)) return false;
  std::string t = sval(s);
  if (Nl) t += '\n';
  if (std::fwrite(t.data(), 1, t.size(), vlibs.files[fh].fp) != t.size()) return failwith(n, Underscore, RC_IO);
  return Underscore ? ret(n, mkscalar(0)) : retvoid(n);
}

// fseek(fh, offset, whence): whence -1 from the start, 0 from here, 1 from the end.
template <bool Underscore>
bool b_fseek(int n) {
  int fh = 0, rc = 0;
  if (!handle(arg(n, 0), &fh, Underscore ? &rc : nullptr)) return false;
  if (rc) return ret(n, mkscalar(-rc));
  if (!needrealscalar(arg(n, 1)) || !needrealscalar(arg(n, 2))) return false;
  if (vlibs.files[fh].append) return failwith(n, Underscore, RC_VM_APPENDONLY);
  const double off = arg(n, 1)->re()[0], wh = arg(n, 2)->re()[0];
  if (off >= misval || (wh != -1 && wh != 0 && wh != 1)) return vmerr(RC_VM_RANGE);
  const int whence = wh == -1 ? SEEK_SET : wh == 0 ? SEEK_CUR : SEEK_END;
  if (std::fseek(vlibs.files[fh].fp, static_cast<long>(off), whence)) return failwith(n, Underscore, RC_VM_SEEK);
  return Underscore ? ret(n, mkscalar(0)) : retvoid(n);
}

template <bool Underscore>
bool b_ftruncate(int n) {
  int fh = 0, rc = 0;
  if (!writable_fh(n, &fh, Underscore ? &rc : nullptr)) return false;
  if (rc) return ret(n, mkscalar(-rc));
  std::fflush(vlibs.files[fh].fp);
  const long pos = std::ftell(vlibs.files[fh].fp);
  if (pos < 0 || ::ftruncate(fileno(vlibs.files[fh].fp), pos)) return failwith(n, Underscore, RC_VM_SEEK);
  return Underscore ? ret(n, mkscalar(0)) : retvoid(n);
}

// fstatus(fh): 0 when the last operation went well, -1 at the end of the file.
bool b_fstatus(int n) {
  int fh = 0;
  if (!handle(arg(n, 0), &fh)) return false;
  FILE* fp = vlibs.files[fh].fp;
  return ret(n, mkscalar(std::ferror(fp) ? -691 : std::feof(fp) ? -1 : 0));
}

bool b_tmpfilename(int n) { return retstr(n, tmpfile_next()); }

template <bool Underscore>
bool b_unlink(int n) {
  Mat* a = arg(n, 0);
  if (!needstrscalar(a)) return false;
  const std::string name = sval(a);
  if (::unlink(name.c_str()) && errno != ENOENT) {
    if (!Underscore) errline("could not erase file " + name);
    return failwith(n, Underscore, RC_WRITE);
  }
  return Underscore ? ret(n, mkscalar(0)) : retvoid(n);
}

// ------------------------------------------------------------------ matrix files

// Writer: objects numbered in the order written; a pointer to an object
// already written is its key.
struct MWriter {
  std::vector<unsigned char> b;
  std::map<const Mat*, uint32_t> keys;
  bool hilo = bo_native() == BO_HILO;
  MWriter() { b.reserve(256); }  // room for the header and a small object at once
  void raw(const char* s, size_t k) { b.insert(b.end(), s, s + k); }
  void tag(const char* s) { raw(s, 4); }  // three letters and a NUL
  void u32(uint32_t v) {
    unsigned char t[4];
    bo_put4(t, v, hilo);
    b.insert(b.end(), t, t + 4);
  }
  void f64(double x) {
    uint64_t v;
    std::memcpy(&v, &x, 8);
    unsigned char t[8];
    bo_put4(hilo ? t : t + 4, static_cast<uint32_t>(v >> 32), hilo);
    bo_put4(hilo ? t + 4 : t, static_cast<uint32_t>(v), hilo);
    b.insert(b.end(), t, t + 8);
  }
  int object(const Mat* m) {
    keys[m] = static_cast<uint32_t>(keys.size() + 1);
    tag("OBJ");
    b.push_back(1);
    char name[33] = {0};
    std::memcpy(name, m->name, std::min<size_t>(std::strlen(m->name), 32));
    raw(name, 33);
    u32(keys[m]);
    if (int rc = matrix(m)) return rc;
    tag("JBO");
    return 0;
  }
  int matrix(const Mat* m) {
    if (m->kind == K_FCN) return RC_VM_TYPE;
    tag("MAT");
    const char et = m->eltype == ET_REAL ? 'R'
                    : m->eltype == ET_CPLX ? 'C'
                    : m->eltype == ET_STR  ? 'S'
                    : m->eltype == ET_PTR  ? 'P'
                                           : 'T';
    if (et == 'T' && !m->fcn) return RC_VM_TYPE;
    b.push_back(static_cast<unsigned char>(et));
    u32(static_cast<uint32_t>(m->rows));
    u32(static_cast<uint32_t>(m->cols));
    const size_t n = m->n();
    // a structure names its definition (as a string element) before its
    // elements, each of which is its table of members
    if (et == 'T') {
      u32(static_cast<uint32_t>(m->fcn->name.size()));
      raw(m->fcn->name.data(), m->fcn->name.size());
    }
    if (et == 'R' || et == 'C') {
      for (size_t k = 0; k < n; ++k) f64(m->re()[k]);
      if (et == 'C')
        for (size_t k = 0; k < n; ++k) f64(m->re()[n + k]);
    } else if (et == 'S') {
      for (size_t k = 0; k < n; ++k) {
        u32(static_cast<uint32_t>(vstr_len(m->str()[k])));
        raw(vstr_ptr(m->str()[k]), vstr_len(m->str()[k]));
      }
    } else {
      for (size_t k = 0; k < n; ++k) {
        const Mat* p = m->ptr()[k];
        if (!p || p->kind == K_FCN) {
          tag("NUL");
        } else if (keys.count(p)) {
          tag("KEY");
          u32(keys[p]);
        } else {
          tag("NEW");
          if (int rc = object(p)) return rc;
        }
      }
    }
    tag("TAM");
    return 0;
  }
};

// Reader over a file handle: markers, counts and objects by key.
struct MReader {
  FILE* fp = nullptr;
  bool hilo = false;
  std::vector<Mat*> bykey;  // index key - 1 (not owned)
  bool get(void* p, size_t k) { return std::fread(p, 1, k, fp) == k; }
  bool tag(const char* want) {
    char t[4];
    return get(t, 4) && !std::memcmp(t, want, 4);
  }
  bool u32(uint32_t* v) {
    unsigned char t[4];
    if (!get(t, 4)) return false;
    *v = bo_get4(t, hilo);
    return true;
  }
  bool f64(double* x) {
    unsigned char t[8];
    if (!get(t, 8)) return false;
    const uint64_t v = bo_get8(t, hilo);
    std::memcpy(x, &v, 8);
    return true;
  }
  // An object; nullptr with *rc set on failure.
  Mat* object(int* rc, int depth) {
    unsigned char kind;
    char name[33];
    uint32_t key;
    if (!tag("OBJ") || !get(&kind, 1) || kind != 1 || !get(name, 33) || !u32(&key) || key != bykey.size() + 1) {
      *rc = 610;
      return nullptr;
    }
    // registered before its elements, so a cycle can point back at it
    Mat* slot = mkmat(nullptr, ET_REAL, 0, 0);
    if (!slot) {
      *rc = 3900;
      return nullptr;
    }
    bykey.push_back(slot);
    if (!matrix(slot, rc, depth) || !tag("JBO")) {
      if (!*rc) *rc = 610;
      return slot;  // the caller frees it
    }
    return slot;
  }
  bool matrix(Mat* into, int* rc, int depth) {
    unsigned char et;
    uint32_t r, c;
    if (depth > 500 || !tag("MAT") || !get(&et, 1) || !u32(&r) || !u32(&c) || r > 0x7fffffff || c > 0x7fffffff) {
      *rc = 610;
      return false;
    }
    const uint64_t n = static_cast<uint64_t>(r) * c;
    if (n > (uint64_t{1} << 31)) {
      *rc = 610;
      return false;
    }
    int16_t type = et == 'R'   ? ET_REAL
                   : et == 'C' ? ET_CPLX
                   : et == 'S' ? ET_STR
                   : et == 'P' ? ET_PTR
                   : et == 'T' ? ET_STRUCT
                               : -100;
    if (type == -100) {
      *rc = 610;
      return false;
    }
    // a structure's definition must be known here, with its members
    Fcn* def = nullptr;
    if (type == ET_STRUCT) {
      uint32_t len;
      if (!u32(&len) || len == 0 || len > 32) {
        *rc = 610;
        return false;
      }
      std::string nm(len, '\0');
      if (!get(nm.data(), len)) {
        *rc = 610;
        return false;
      }
      def = findfcn(nm.c_str());
      if (!def) def = vemo_autoload(nm.c_str());
      if (!def || def->rettype != -1) {
        *rc = 3250;
        return false;
      }
    }
    // sizes are believed only as far as the file has bytes
    if (type == ET_REAL || type == ET_CPLX) {
      long here = std::ftell(fp);
      std::fseek(fp, 0, SEEK_END);
      long end = std::ftell(fp);
      std::fseek(fp, here, SEEK_SET);
      if (here < 0 || end < here || static_cast<uint64_t>(end - here) < n * 8 * (type == ET_CPLX ? 2 : 1)) {
        *rc = 610;
        return false;
      }
    }
    if (!mresize(into, type, static_cast<int>(r), static_cast<int>(c))) {
      *rc = 3900;
      return false;
    }
    if (def) {
      into->fcn = def;
      ++def->refcnt;
    }
    if (type == ET_REAL || type == ET_CPLX) {
      for (uint64_t k = 0; k < n * (type == ET_CPLX ? 2 : 1); ++k)
        if (!f64(&into->re()[k])) {
          *rc = 610;
          return false;
        }
    } else if (type == ET_STR) {
      for (uint64_t k = 0; k < n; ++k) {
        uint32_t len;
        if (!u32(&len) || len > (1u << 30)) {
          *rc = 610;
          return false;
        }
        std::string s(len, '\0');
        if (!get(s.data(), len)) {
          *rc = 610;
          return false;
        }
        into->str()[k] = vstr_new(s.data(), s.size());
      }
    } else {
      for (uint64_t k = 0; k < n; ++k) {
        char t[4];
        if (!get(t, 4)) {
          *rc = 610;
          return false;
        }
        if (!std::memcmp(t, "NUL", 4)) continue;
        if (!std::memcmp(t, "KEY", 4)) {
          uint32_t key;
          if (!u32(&key) || key == 0 || key > bykey.size()) {
            *rc = 610;
            return false;
          }
          into->ptr()[k] = bykey[key - 1];
          mref(bykey[key - 1]);
          continue;
        }
        if (std::memcmp(t, "NEW", 4)) {
          *rc = 610;
          return false;
        }
        Mat* o = object(rc, depth + 1);
        if (o) into->ptr()[k] = o;
        if (*rc) return false;
      }
      // each element of a structure is a table of its members
      if (def)
        for (uint64_t k = 0; k < n; ++k) {
          const Mat* t = into->ptr()[k];
          if (!t || t->eltype != ET_PTR || t->view || t->cols != 1 ||
              t->rows != static_cast<int>(def->members.size())) {
            *rc = 610;
            return false;
          }
        }
    }
    if (!tag("TAM")) {
      *rc = 610;
      return false;
    }
    return true;
  }
};

// fputmatrix(fh, X) and _fputmatrix.
template <bool Underscore>
bool b_fputmatrix(int n) {
  int fh = 0, wrc = 0;
  if (!writable_fh(n, &fh, Underscore ? &wrc : nullptr)) return false;
  if (wrc) return ret(n, mkscalar(-wrc));
  Mat* x = arg(n, 1);
  if (!readable(x)) return false;
  MWriter w;
  w.raw("VOTOP", 6);
  w.b.push_back(0);
  w.b.push_back(w.hilo ? 1 : 2);
  if (int rc = w.object(x)) return failwith(n, Underscore, rc);
  w.raw("POTOV", 6);
  if (std::fwrite(w.b.data(), 1, w.b.size(), vlibs.files[fh].fp) != w.b.size()) return failwith(n, Underscore, RC_IO);
  return Underscore ? ret(n, mkscalar(0)) : retvoid(n);
}

// fgetmatrix(fh) and _fgetmatrix: J(0, 0, .) at the end of the file.
template <bool Underscore>
bool b_fgetmatrix(int n) {
  int fh = 0, rrc = 0;
  if (!readable_fh(n, &fh, Underscore ? &rrc : nullptr)) return false;
  if (rrc) return ret(n, mkscalar(-rrc));
  MReader r;
  r.fp = vlibs.files[fh].fp;
  char top[8];
  const size_t got = std::fread(top, 1, 8, r.fp);
  if (got == 0) return ret(n, mkmat(nullptr, ET_REAL, 0, 0));
  if (got != 8 || std::memcmp(top, "VOTOP", 6) || top[6] != 0 || (top[7] != 1 && top[7] != 2))
    return failwith(n, Underscore, RC_FILEFORMAT);
  r.hilo = top[7] == 1;
  int rc = 0;
  Mat* m = r.object(&rc, 0);
  char bottom[6];
  if (!rc && (!r.get(bottom, 6) || std::memcmp(bottom, "POTOV", 6))) rc = 610;
  if (rc) {
    // break any cycle before freeing the partial result
    for (Mat* o : r.bykey)
      if (o->eltype == ET_PTR || o->eltype == ET_STRUCT)
        for (size_t k = 0; k < o->n(); ++k) {
          if (o->ptr()[k] && std::find(r.bykey.begin(), r.bykey.end(), o->ptr()[k]) != r.bykey.end()) {
            mfree(o->ptr()[k]);
            o->ptr()[k] = nullptr;
          }
        }
    mfree(m);
    return failwith(n, Underscore, rc);
  }
  return ret(n, m);
}

// ------------------------------------------------------------------ paths

std::string strarg(int n, int i) { return sval(arg(n, i)); }
bool strargs(int n) {
  for (int i = 0; i < n; ++i)
    if (!needstrscalar(arg(n, i))) return false;
  return true;
}

bool b_pathisurl(int n) {
  if (!strargs(n)) return false;
  const std::string s = strarg(n, 0);
  return ret(n, mkscalar(s.compare(0, 7, "http://") == 0 || s.compare(0, 8, "https://") == 0 || s.compare(0, 6, "ftp://") == 0));
}
bool b_pathisabs(int n) {
  if (!strargs(n)) return false;
  const std::string s = strarg(n, 0);
  return ret(n, mkscalar(!s.empty() && (s[0] == '/' || s[0] == '~')));
}
size_t basestart(const std::string& s) {
  size_t k = s.find_last_of('/');
  return k == std::string::npos ? 0 : k + 1;
}
std::string suffix(const std::string& s) {
  const size_t b = basestart(s);
  const size_t dot = s.rfind('.');
  return dot == std::string::npos || dot < b ? "" : s.substr(dot);
}
bool b_pathsuffix(int n) {
  if (!strargs(n)) return false;
  return retstr(n, suffix(strarg(n, 0)));
}
bool b_pathrmsuffix(int n) {
  if (!strargs(n)) return false;
  const std::string s = strarg(n, 0);
  return retstr(n, s.substr(0, s.size() - suffix(s).size()));
}
bool b_pathbasename(int n) {
  if (!strargs(n)) return false;
  const std::string s = strarg(n, 0);
  return retstr(n, s.substr(basestart(s)));
}
bool b_pathjoin(int n) {
  if (!strargs(n)) return false;
  std::string a = strarg(n, 0), b = strarg(n, 1);
  if (a.empty() || (!b.empty() && b[0] == '/')) return retstr(n, b);
  if (a.back() != '/') a += '/';
  return retstr(n, a + b);
}
// The ado-path subdirectory of a file: its first letter ("_" for others).
bool b_adosubdir(int n) {
  if (!strargs(n)) return false;
  const std::string s = strarg(n, 0);
  const std::string base = s.substr(basestart(s));
  char c = base.empty() ? '_' : static_cast<char>(std::tolower(static_cast<unsigned char>(base[0])));
  if (!(c >= 'a' && c <= 'z')) c = '_';
  return retstr(n, std::string(1, c));
}
// Suffixes of Zelta's own files, and of those that are plain text.
bool b_pathzeltasuffix(int n) {
  if (!strargs(n)) return false;
  static const char* const sfx[] = {".ado", ".dta", ".do", ".gph", ".hlp", ".zmcl", ".vo", ".vlib", ".vemo", ".log"};
  const std::string s = suffix(strarg(n, 0));
  return ret(n, mkscalar(std::find_if(std::begin(sfx), std::end(sfx), [&](const char* x) { return s == x; }) != std::end(sfx)));
}
bool b_pathasciisuffix(int n) {
  if (!strargs(n)) return false;
  static const char* const sfx[] = {".ado", ".do", ".hlp", ".zmcl", ".txt", ".log", ".raw", ".csv", ".dct", ".vemo"};
  const std::string s = suffix(strarg(n, 0));
  return ret(n, mkscalar(std::find_if(std::begin(sfx), std::end(sfx), [&](const char* x) { return s == x; }) != std::end(sfx)));
}
bool b_direxists(int n) {
  if (!strargs(n)) return false;
  struct stat st;
  return ret(n, mkscalar(stat(strarg(n, 0).c_str(), &st) == 0 && S_ISDIR(st.st_mode)));
}
bool b_pwd(int n) {
  char buf[4096];
  std::string s = getcwd(buf, sizeof buf) ? buf : "";
  if (s.empty() || s.back() != '/') s += '/';
  return retstr(n, s);
}
// _chdir, _mkdir, _rmdir: 0 or a negative code.
bool b__chdir(int n) {
  if (!strargs(n)) return false;
  return ret(n, mkscalar(::chdir(strarg(n, 0).c_str()) ? -170 : 0));
}
bool b__mkdir(int n) {
  if (!strargs(n)) return false;
  return ret(n, mkscalar(::mkdir(strarg(n, 0).c_str(), 0777) ? -693 : 0));
}
bool b__rmdir(int n) {
  if (!strargs(n)) return false;
  return ret(n, mkscalar(::rmdir(strarg(n, 0).c_str()) ? -693 : 0));
}

bool globmatch(const char* pat, const char* s) {
  if (!*pat) return !*s;
  if (*pat == '*') return globmatch(pat + 1, s) || (*s && globmatch(pat, s + 1));
  if (*pat == '?' || *pat == *s) return *s && globmatch(pat + 1, s + 1);
  return false;
}

// dir(dirname, type, pattern [, prefix]): the sorted names of "files",
// "dirs" or "others" matching the pattern, as a column vector.
bool b_dir(int n) {
  if (!strargs(n < 4 ? n : 3)) return false;
  const std::string d = strarg(n, 0), type = strarg(n, 1), pat = strarg(n, 2);
  bool prefix = false;
  if (n == 4) {
    if (!needrealscalar(arg(n, 3))) return false;
    prefix = arg(n, 3)->re()[0] != 0;
  }
  if (type != "files" && type != "dirs" && type != "others") return vmerr(RC_VM_RANGE);
  std::vector<std::string> out;
  const std::string dd = d.empty() ? "." : d;
  if (DIR* dp = opendir(dd.c_str())) {
    while (dirent* e = readdir(dp)) {
      const std::string nm = e->d_name;
      if (nm == "." || nm == ".." || !globmatch(pat.c_str(), nm.c_str())) continue;
      struct stat st;
      if (stat((dd + "/" + nm).c_str(), &st)) continue;
      const bool isdir = S_ISDIR(st.st_mode), isreg = S_ISREG(st.st_mode);
      if ((type == "files" && isreg) || (type == "dirs" && isdir) || (type == "others" && !isreg && !isdir))
        out.push_back(prefix ? (dd.back() == '/' ? dd : dd + "/") + nm : nm);
    }
    closedir(dp);
  }
  std::sort(out.begin(), out.end());
  Mat* res = mkmat(nullptr, ET_STR, static_cast<int>(out.size()), 1);
  if (!res) return false;
  for (size_t k = 0; k < out.size(); ++k) res->str()[k] = vstr_new(out[k].data(), out[k].size());
  return ret(n, res);
}

const LibRow rows[] = {
    {"fopen", E_REAL, O_SCALAR, 2, 3, b_fopen},
    {"_fopen", E_REAL, O_SCALAR, 2, 3, b__fopen},
    {"fclose", E_TRANS, O_VOID, 1, 1, b_fclose<false>},
    {"_fclose", E_REAL, O_SCALAR, 1, 1, b_fclose<true>},
    {"fget", E_STR, O_SCALAR, 1, 1, b_fget<false, false>},
    {"_fget", E_STR, O_SCALAR, 1, 1, b_fget<false, true>},
    {"fgetnl", E_STR, O_SCALAR, 1, 1, b_fget<true, false>},
    {"_fgetnl", E_STR, O_SCALAR, 1, 1, b_fget<true, true>},
    {"fread", E_STR, O_SCALAR, 2, 2, b_fread<false>},
    {"_fread", E_STR, O_SCALAR, 2, 2, b_fread<true>},
    {"fput", E_TRANS, O_VOID, 2, 2, b_fput<true, false>},
    {"_fput", E_REAL, O_SCALAR, 2, 2, b_fput<true, true>},
    {"fwrite", E_TRANS, O_VOID, 2, 2, b_fput<false, false>},
    {"_fwrite", E_REAL, O_SCALAR, 2, 2, b_fput<false, true>},
    {"fseek", E_TRANS, O_VOID, 3, 3, b_fseek<false>},
    {"_fseek", E_REAL, O_SCALAR, 3, 3, b_fseek<true>},
    {"ftruncate", E_TRANS, O_VOID, 1, 1, b_ftruncate<false>},
    {"_ftruncate", E_REAL, O_SCALAR, 1, 1, b_ftruncate<true>},
    {"fstatus", E_REAL, O_SCALAR, 1, 1, b_fstatus},
    {"tmpfilename", E_STR, O_SCALAR, 0, 0, b_tmpfilename},
    {"unlink", E_TRANS, O_VOID, 1, 1, b_unlink<false>},
    {"_unlink", E_REAL, O_SCALAR, 1, 1, b_unlink<true>},
    {"fputmatrix", E_TRANS, O_MATRIX, 2, 2, b_fputmatrix<false>},
    {"_fputmatrix", E_REAL, O_SCALAR, 2, 2, b_fputmatrix<true>},
    {"fgetmatrix", E_TRANS, O_MATRIX, 1, 1, b_fgetmatrix<false>},
    {"_fgetmatrix", E_TRANS, O_MATRIX, 1, 1, b_fgetmatrix<true>},
    {"pathisurl", E_REAL, O_SCALAR, 1, 1, b_pathisurl},
    {"pathisabs", E_REAL, O_SCALAR, 1, 1, b_pathisabs},
    {"pathsuffix", E_STR, O_SCALAR, 1, 1, b_pathsuffix},
    {"pathrmsuffix", E_STR, O_SCALAR, 1, 1, b_pathrmsuffix},
    {"pathbasename", E_STR, O_SCALAR, 1, 1, b_pathbasename},
    {"pathjoin", E_STR, O_SCALAR, 2, 2, b_pathjoin},
    {"adosubdir", E_STR, O_SCALAR, 1, 1, b_adosubdir},
    {"pathzeltasuffix", E_REAL, O_SCALAR, 1, 1, b_pathzeltasuffix},
    {"pathasciisuffix", E_REAL, O_SCALAR, 1, 1, b_pathasciisuffix},
    {"direxists", E_REAL, O_SCALAR, 1, 1, b_direxists},
    {"pwd", E_STR, O_SCALAR, 0, 0, b_pwd},
    {"_chdir", E_REAL, O_SCALAR, 1, 1, b__chdir},
    {"_mkdir", E_REAL, O_SCALAR, 1, 1, b__mkdir},
    {"_rmdir", E_REAL, O_SCALAR, 1, 1, b__rmdir},
    {"dir", E_STR, O_COLVEC, 3, 4, b_dir},
};

}  // namespace

// Closes every Vemo file handle (`vemo clear`).
void vemo_closefiles() {
  for (VFile& f : vlibs.files)
    if (f.fp) {
      std::fclose(f.fp);
      f = VFile{};
    }
}

void vlib_reset() {
  vemo_closefiles();
  vlibs = VlibState{};
}

LibRows lib_file_rows() { return {rows, sizeof rows / sizeof rows[0]}; }
