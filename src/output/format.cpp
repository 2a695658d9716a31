// Format texts: the grammar (`chkfmt`), the rendering facts (`unloadf`),
// reading a format from the command line (`getfmt`), the derived string
// formats and widths, widening of numeric formats, and string padding.
// The renderers of numbers and dates are in format_num.cpp and format_date.cpp.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "interp/tokenizer.h"
#include "output/format.h"
#include "output/format_int.h"
#include "output/textwidth.h"

FormatState fmts;

// Reads a run of decimal digits at *pp (advancing it) into *val, giving up
// beyond `limit` so that long runs cannot overflow. False when no digit.
static bool readint(const char** pp, int limit, int* val) {
  const char* p = *pp;
  if (!std::isdigit(static_cast<unsigned char>(*p))) return false;
  int v = 0;
  while (std::isdigit(static_cast<unsigned char>(*p))) {
    v = v * 10 + (*p - '0');
    if (v > limit) v = limit + 1;
    ++p;
  }
  *pp = p;
  *val = v;
  return true;
}

// fmt -> '%' ['-'|'~'] w ('s' | 'x' | 'H' | 'L' | ('.'|',') d ('e'|'f'|'g') ['c'])
//      | '%' ['-'] ('d' codes | 't' unit [codes])
int chkfmt(const char* fmt, int kind, FmtInfo* out) {
  if (!fmt || fmt[0] != '%') return 1;
  const size_t len = std::strlen(fmt);
  if (len < 2 || len > FMTLEN - 1) return 1;
  const bool centreok = kind >= FMTK_CENTRE;
  const int k = kind % FMTK_CENTRE;
  FmtInfo f;
  const char* p = fmt + 1;

  const char* q = (*p == '-') ? p + 1 : p;
  if (*q == 'd' || *q == 't') {
    if (k == FMTK_STR) return 1;
    f.just = (*p == '-') ? -1 : 1;
    if (chkdfmt(q, &f)) return 1;
    if (out) *out = f;
    return 0;
  }

  if (*p == '-') {
    f.just = -1;
    ++p;
  } else if (*p == '~') {
    if (!centreok) return 1;
    f.just = 0;
    ++p;
  }
  const bool zero = (*p == '0');
  int w = 0;
  if (!readint(&p, FMTMAXW, &w) || w < 1 || w > FMTMAXW) return 1;
  f.width = w;

  if ((*p == 's' || *p == 'x' || *p == 'H' || *p == 'L') && p[1] == 0) {
    f.letter = *p;
    if (*p == 's') {
      if (k == FMTK_NUM) return 1;
    } else {
      if (k == FMTK_STR || f.just == 0) return 1;
      if (*p == 'x' && w != 21) return 1;
      if ((*p == 'H' || *p == 'L') && w != 16 && w != 8) return 1;
    }
    if (out) *out = f;
    return 0;
  }

  if (*p != '.' && *p != ',') return 1;
  if (k == FMTK_STR || f.just == 0) return 1;
  f.deccomma = (*p == ',');
  ++p;
  int d = 0;
  if (!readint(&p, FMTMAXW, &d) || d > w - 1) return 1;
  f.decimals = d;
  if (*p != 'e' && *p != 'f' && *p != 'g') return 1;
  f.letter = *p;
  f.notation = (*p == 'f') ? 'f' : 'g';
  ++p;
  if (*p == 'c' && f.letter != 'e') {
    f.comma = 'c';
    ++p;
  }
  if (*p) return 1;
  f.leadzero = zero && f.letter == 'f' && f.comma != 'c';
  if (out) *out = f;
  return 0;
}

// Same as chkfmt for any kind, plus the facts only rendering needs.
int unloadf(const char* fmt, FmtInfo* out) {
  if (chkfmt(fmt, FMTK_ANY + FMTK_CENTRE, out)) return 1;
  if (out->letter == 'e' || out->letter == 'f' || out->letter == 'g') {
    if (out->width > FMTRENDW) {
      out->extrawidth = out->width - FMTRENDW;
      out->width = FMTRENDW;
    }
    out->swap = out->deccomma || fmts.dpcomma;
  }
  return 0;
}

// Reads a run of non-blank characters (the format) after an optional `%`.
int getfmt(char* dst, int kind) {
  const char* t = gettok(" \"`");
  if (!*t || t[0] == '"') {
    if (*t) ungettok();
    return -1;
  }
  char buf[TOKLEN + 2];
  if (t[0] == '%') {
    std::strncpy(buf, t, sizeof buf - 1);
  } else {
    buf[0] = '%';
    std::strncpy(buf + 1, t, sizeof buf - 2);
  }
  buf[sizeof buf - 1] = 0;
  FmtInfo f;
  if (chkfmt(buf, kind, &f)) return -1;
  std::strcpy(dst, buf);  // chkfmt guarantees at most 11 characters
  return f.letter == 's' ? 2 : 1;
}

// The width and justification mark of a format as a string format.
void strfmt(const char* fmt, char* dst) {
  FmtInfo f;
  if (chkfmt(fmt, FMTK_ANY + FMTK_CENTRE, &f)) {
    std::strcpy(dst, "%9s");
    return;
  }
  const char* mark = f.just < 0 ? "-" : (f.just == 0 ? "~" : "");
  std::snprintf(dst, FMTLEN, "%%%s%ds", mark, f.width);
}

// The field width of fmt (the computed width for dates); 9 when invalid.
int strfmtwid(const char* fmt) {
  FmtInfo f;
  if (chkfmt(fmt, FMTK_ANY + FMTK_CENTRE, &f)) return 9;
  return f.width;
}

// A blank run as wide as fmt, in a buffer reused by the next call.
const char* blanksoffmt(const char* fmt) {
  static std::string blanks;
  blanks.assign(static_cast<size_t>(strfmtwid(fmt)), ' ');
  return blanks.c_str();
}

// Rewrites an e, f or g format in place with a larger width; 1 when done.
int fixfmt(char* fmt, int width) {
  FmtInfo f;
  if (chkfmt(fmt, FMTK_NUM, &f)) return 0;
  if (f.letter != 'e' && f.letter != 'f' && f.letter != 'g') return 0;
  if (width > FMTMAXW) width = FMTMAXW;
  if (width <= f.width) return 0;
  char b[40];
  std::snprintf(b, sizeof b, "%d%c%d%c%s", width, f.deccomma ? ',' : '.', f.decimals, f.letter,
                f.comma == 'c' ? "c" : "");
  const size_t n = std::min(std::strlen(b), static_cast<size_t>(FMTLEN - 2));
  std::memcpy(fmt + 1, b, n);  // at most 3+1+3+2 characters in practice
  fmt[n + 1] = 0;
  return 1;
}

// Appends str padded to a string format: blanks before (right), after
// (left) or split with the smaller half before (centred).
void dispstr(const char* str, const char* fmt, std::string& dst) {
  FmtInfo f;
  // columns, not bytes: a UTF-8 name pads like an ASCII one
  const size_t len = static_cast<size_t>(u8width(str));
  if (!fmt || chkfmt(fmt, FMTK_STR + FMTK_CENTRE, &f) || static_cast<size_t>(f.width) <= len) {
    dst += str;
    return;
  }
  const size_t pad = static_cast<size_t>(f.width) - len;
  const size_t before = f.just > 0 ? pad : (f.just == 0 ? pad / 2 : 0);
  dst.append(before, ' ');
  dst += str;
  dst.append(pad - before, ' ');
}
