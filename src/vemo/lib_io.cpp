// Output and byte-buffer built-ins: displayas() and displayflush() for the
// style and flushing of printf/display output, the binary buffers (bufput,
// bufget, bufsub and the format queries bufbfmtlen, bufbfmtisnum) that pack
// numbers and text into a string scalar with an explicit byte order, and
// vemo_representation(), which writes a value as Vemo source text.
//
// Binary formats: %1b %2b %4b (signed integers; missing values use the
// storage types' missing codes), %1bu %2bu %4bu (unsigned, no missing
// values), %4z %8z (IEEE float and double), %#s (a text field of # bytes,
// NUL padded, read up to its first NUL) and %#S (# raw bytes). A leading >
// asks for the most significant byte first, < for the least significant
// first; without it the machine's own order is used.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "data/value.h"
#include "files/byteorder.h"
#include "interp/tokenizer.h"
#include "output/output.h"
#include "output/rc.h"
#include "vemo/lib.h"
#include "vemo/vemo.h"

using namespace vlib;

namespace {

// ------------------------------------------------------------------ output

// displayas(style): printf() and display() print
// in this style until it changes or the outermost `vemo` command ends.
bool b_displayas(int n) {
  Mat* a = arg(n, 0);
  if (!needstrscalar(a) || !readable(a)) return false;
  std::string w = sval(a);
  const size_t b = w.find_first_not_of(' '), e = w.find_last_not_of(' ');
  w = b == std::string::npos ? "" : w.substr(b, e - b + 1);
  // the names of display's "as" styles, at least three letters
  static const struct {
    const char* name;
    int lev;
  } styles[] = {{"result", OUT_RESULT}, {"text", OUT_NOTE}, {"txt", OUT_NOTE}, {"error", OUT_ERROR}, {"input", OUT_COMMAND}};
  for (const auto& s : styles)
    if (w.size() >= 3 && w.size() <= std::strlen(s.name) && !std::strncmp(w.c_str(), s.name, w.size())) {
      vst.dispas = s.lev;
      return retvoid(n);
    }
  return vmerrmsg(RC_VM_RANGE, "invalid style \"" + w + "\"");
}

bool b_displayflush(int n) {
  spoutflush();
  out_flush_all();
  return retvoid(n);
}

// ------------------------------------------------------------------ buffers

// A parsed binary format.
struct BFmt {
  bool num = true;
  bool hilo = true;   // byte order of the field
  int width = 0;      // bytes per element
  char kind = 'b';    // 'b' signed, 'u' unsigned, 'z' IEEE, 's' text, 'S' bytes
};

// Parses f; false when it is not a binary format.
bool parsefmt(const std::string& f, BFmt& out) {
  size_t p = 0;
  out.hilo = bo_native() == BO_HILO;
  if (p < f.size() && (f[p] == '<' || f[p] == '>')) {
    out.hilo = f[p] == '>';
    ++p;
  }
  if (p >= f.size() || f[p] != '%') return false;
  ++p;
  const size_t d = p;
  long w = 0;
  while (p < f.size() && f[p] >= '0' && f[p] <= '9') {
    w = w * 10 + (f[p] - '0');
    if (w > (1L << 30)) return false;
    ++p;
  }
  if (p == d || p >= f.size()) return false;
  const std::string rest = f.substr(p);
  out.width = static_cast<int>(w);
  if (rest == "s" || rest == "S") {
    out.num = false;
    out.kind = rest[0];
    return w >= 1;
  }
  if (rest == "b" || rest == "bu") {
    out.kind = rest == "b" ? 'b' : 'u';
    return w == 1 || w == 2 || w == 4;
  }
  if (rest == "z") {
    out.kind = 'z';
    return w == 4 || w == 8;
  }
  return false;
}

bool fmtarg(const Mat* m, BFmt& f) {
  if (!needstrscalar(m) || !readable(const_cast<Mat*>(m))) return false;
  if (!parsefmt(sval(m), f)) return vmerrmsg(RC_VM_FORMAT, "invalid binary format " + sval(m));
  return true;
}

// An offset into a buffer: a non-negative integer.
bool offarg(const Mat* m, size_t* off) {
  if (!needrealscalar(m)) return false;
  const double x = m->re()[0];
  if (!(x >= 0 && x <= 2147483647.0) || x != std::floor(x)) return vmerr(RC_VM_RANGE);
  *off = static_cast<size_t>(x);
  return true;
}

// Encodes x at p; false when it cannot be held (an unsigned field's
// missing, negative or too large value).
bool putnum(unsigned char* p, const BFmt& f, double x) {
  const bool native = f.hilo == (bo_native() == BO_HILO);
  if (f.kind == 'u') {
    const double hi = f.width == 1 ? 255.0 : f.width == 2 ? 65535.0 : 4294967295.0;
    if (!(x >= 0 && x <= hi)) return false;
    const uint32_t v = static_cast<uint32_t>(x);
    if (f.width == 1) *p = static_cast<unsigned char>(v);
    else if (f.width == 2) bo_put2(p, static_cast<uint16_t>(v), f.hilo);
    else bo_put4(p, v, f.hilo);
    return true;
  }
  const int type = f.kind == 'z' ? (f.width == 4 ? ST_FLOAT : ST_DOUBLE)
                                 : (f.width == 1 ? ST_BYTE : f.width == 2 ? ST_INT : ST_LONG);
  // the storage types' own conversion, then the requested byte order
  cell_put(type, p, x);
  if (!native) bo_swap(p, f.width);
  return true;
}

double getnum(const unsigned char* p, const BFmt& f) {
  if (f.kind == 'u') {
    if (f.width == 1) return *p;
    if (f.width == 2) return bo_get2(p, f.hilo);
    return bo_get4(p, f.hilo);
  }
  const int type = f.kind == 'z' ? (f.width == 4 ? ST_FLOAT : ST_DOUBLE)
                                 : (f.width == 1 ? ST_BYTE : f.width == 2 ? ST_INT : ST_LONG);
  unsigned char t[8];
  std::memcpy(t, p, static_cast<size_t>(f.width));
  if (f.hilo != (bo_native() == BO_HILO)) bo_swap(t, f.width);
  return cell_get(type, t);
}

// bufput(B, offset, bfmt, X): writes the elements of X, row by row, into
// the string scalar B from byte offset on; B grows with NUL bytes as needed.
bool b_bufput(int n) {
  Mat* buf = arg(n, 0);
  Mat* x = arg(n, 3);
  BFmt f;
  size_t off = 0;
  if (buf->view) return vmerr(RC_VM_VIEW);
  if (!needstrscalar(buf) || !offarg(arg(n, 1), &off) || !fmtarg(arg(n, 2), f)) return false;
  if (buf->immortal) return vmerr(RC_VM_LVAL);
  if (f.num ? !needreal(x) : !needstr(x)) return false;
  if (!readable(x)) return false;
  const size_t cnt = x->n(), w = static_cast<size_t>(f.width);
  if (cnt && w > (size_t{1} << 31) / cnt) return vmerr(RC_VM_RANGE);
  const size_t end = off + cnt * w;
  if (end > (size_t{1} << 31)) return vmerr(RC_VM_RANGE);
  std::string b = sval(buf);
  if (b.size() < end) b.resize(end, '\0');
  unsigned char* p = reinterpret_cast<unsigned char*>(b.data()) + off;
  for (size_t k = 0; k < cnt; ++k, p += w) {
    if (f.num) {
      if (!putnum(p, f, x->re()[k])) return vmerr(RC_VM_RANGE);
    } else {
      const VStr* s = x->str()[k];
      const size_t len = std::min(vstr_len(s), w);
      std::memcpy(p, vstr_ptr(s), len);
      std::memset(p + len, 0, w - len);
    }
  }
  VStr* nv = vstr_new(b.data(), b.size());
  if (!nv) return vmerr(RC_VM_NOMEM);
  std::free(buf->str()[0]);
  buf->str()[0] = nv;
  return retvoid(n);
}

// bufget(B, offset, bfmt [, r] [, c]): one element, a row of c elements,
// or an r x c matrix filled row by row, read from byte offset on.
bool b_bufget(int n) {
  Mat* buf = arg(n, 0);
  BFmt f;
  size_t off = 0;
  if (!needstrscalar(buf) || !readable(buf) || !offarg(arg(n, 1), &off) || !fmtarg(arg(n, 2), f)) return false;
  if (n > 5) return vmerr(RC_VM_NARGS);
  int r = 1, c = 1;
  if (n == 4 && !countarg(arg(n, 3), &c)) return false;
  if (n == 5 && (!countarg(arg(n, 3), &r) || !countarg(arg(n, 4), &c))) return false;
  const size_t cnt = static_cast<size_t>(r) * static_cast<size_t>(c), w = static_cast<size_t>(f.width);
  const size_t len = vstr_len(buf->str()[0]);
  if (off > len || (cnt && w > (len - off) / cnt)) return vmerrmsg(RC_VM_RANGE, "read past the end of the buffer");
  const unsigned char* p = reinterpret_cast<const unsigned char*>(vstr_ptr(buf->str()[0])) + off;
  Mat* res = mkmat(nullptr, f.num ? ET_REAL : ET_STR, r, c);
  if (!res) return false;
  for (size_t k = 0; k < cnt; ++k, p += w) {
    if (f.num) {
      res->re()[k] = getnum(p, f);
    } else {
      const char* s = reinterpret_cast<const char*>(p);
      const size_t sl = f.kind == 's' ? strnlen(s, w) : w;
      res->str()[k] = vstr_new(s, sl);
    }
  }
  return ret(n, res);
}

// bufsub(B, offset, len): the len bytes of B from byte offset on.
bool b_bufsub(int n) {
  Mat* buf = arg(n, 0);
  size_t off = 0;
  int len = 0;
  if (!needstrscalar(buf) || !readable(buf) || !offarg(arg(n, 1), &off) || !countarg(arg(n, 2), &len)) return false;
  const size_t have = vstr_len(buf->str()[0]);
  if (off > have || static_cast<size_t>(len) > have - off) return vmerrmsg(RC_VM_RANGE, "read past the end of the buffer");
  return retstr(n, std::string(vstr_ptr(buf->str()[0]) + off, static_cast<size_t>(len)));
}

bool b_bufbfmtlen(int n) {
  BFmt f;
  if (!fmtarg(arg(n, 0), f)) return false;
  return ret(n, mkscalar(f.width));
}

bool b_bufbfmtisnum(int n) {
  BFmt f;
  if (!fmtarg(arg(n, 0), f)) return false;
  return ret(n, mkscalar(f.num ? 1 : 0));
}

// ------------------------------------------------------------------ representation

// The shortest text that reads back as exactly x.
std::string realtext(double x) {
  if (x >= misval) {
    const int k = missing_code(x);
    return k <= 0 ? "." : std::string(".") + static_cast<char>('a' + k - 1);
  }
  char buf[40];
  for (int prec = 15; prec <= 17; ++prec) {
    std::snprintf(buf, sizeof buf, "%.*g", prec, x);
    if (std::strtod(buf, nullptr) == x) break;
  }
  std::string s = buf;
  if (s == "-0") s = "0";
  return s;
}

// A string as one or more literals joined by +, control bytes as char().
std::string strtext(const VStr* v) {
  const char* s = vstr_ptr(v);
  const size_t len = vstr_len(v);
  if (!len) return "\"\"";
  std::string out, run;
  auto flush = [&]() {
    if (run.empty()) return;
    if (!out.empty()) out += " + ";
    const bool dq = run.find('"') != std::string::npos;
    out += dq ? "`\"" + run + "\"'" : "\"" + run + "\"";
    run.clear();
  };
  for (size_t k = 0; k < len; ++k) {
    const unsigned char ch = static_cast<unsigned char>(s[k]);
    if (ch < 32 || ch == 127) {
      flush();
      if (!out.empty()) out += " + ";
      out += "char(" + std::to_string(ch) + ")";
    } else {
      run += static_cast<char>(ch);
    }
  }
  flush();
  return out;
}

bool elemtext(const Mat* m, size_t k, std::string& out) {
  switch (m->eltype) {
    case ET_REAL: out = realtext(m->re()[k]); return true;
    case ET_CPLX: out = "C(" + realtext(m->re()[k]) + ", " + realtext(m->re()[m->n() + k]) + ")"; return true;
    case ET_STR: out = strtext(m->str()[k]); return true;
    case ET_PTR:
      if (m->ptr()[k]) return false;
      out = "NULL";
      return true;
    default: return false;
  }
}

// vemo_representation(X): Vemo source text that evaluates to X (reals,
// complex numbers, strings and null pointers; other pointers and
// structures have none).
bool b_vemo_representation(int n) {
  Mat* x = arg(n, 0);
  if (!needmat(x) || !readable(x)) return false;
  if (x->eltype == ET_STRUCT) return vmerrmsg(RC_VM_TYPE, "structures have no text form");
  if (x->n() == 0) {
    const char* fill = x->eltype == ET_REAL ? "." : x->eltype == ET_CPLX ? "C(.)" : x->eltype == ET_STR ? "\"\"" : "NULL";
    return retstr(n, "J(" + std::to_string(x->rows) + ", " + std::to_string(x->cols) + ", " + fill + ")");
  }
  std::string out, e;
  if (!x->isscalar()) out = "(";
  for (int i = 0; i < x->rows; ++i) {
    if (i) out += " \\ ";
    for (int j = 0; j < x->cols; ++j) {
      if (j) out += ", ";
      if (!elemtext(x, at(x, i, j), e)) return vmerrmsg(RC_VM_TYPE, "pointers to objects have no text form");
      out += e;
    }
  }
  if (!x->isscalar()) out += ")";
  return retstr(n, out);
}

const LibRow rows[] = {
    {"displayas", E_TRANS, O_VOID, 1, 1, b_displayas},
    {"displayflush", E_TRANS, O_VOID, 0, 0, b_displayflush},
    {"bufput", E_TRANS, O_VOID, 4, 4, b_bufput},
    {"bufget", E_TRANS, O_MATRIX, 3, 5, b_bufget},
    {"bufsub", E_STR, O_SCALAR, 3, 3, b_bufsub},
    {"bufbfmtlen", E_REAL, O_SCALAR, 1, 1, b_bufbfmtlen},
    {"bufbfmtisnum", E_REAL, O_SCALAR, 1, 1, b_bufbfmtisnum},
    {"vemo_representation", E_STR, O_SCALAR, 1, 1, b_vemo_representation},
};

}  // namespace

LibRows lib_io_rows() { return {rows, sizeof rows / sizeof rows[0]}; }

int vlib_beginout() {
  if (vst.dispas < 0) return setoutlev(OUT_RESULT);
  const int prev = setoutlev(vst.dispas);
  spout_setcoloroflev();
  return prev;
}
