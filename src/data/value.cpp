// The cell codec's out-of-line parts: the storage types' names, default
// formats and codes, the slow path of cell_get (legacy types and strings),
// cell_put (`store`'s rules for every type) and the promotion of a type to
// hold a value. The inline parts and the constants are in value.h.
#include "data/value.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

uint64_t dbits(double x) { return std::bit_cast<uint64_t>(x); }
double bitsd(uint64_t b) { return std::bit_cast<double>(b); }
// The unbiased base-2 exponent (1024 for infinities and NaN, -1023 for zero).
int expof(double x) { return static_cast<int>((dbits(x) >> 52) & 0x7ff) - 1023; }
// The extended code k of a value whose exponent is 1023: the third byte of
// its big-endian image.
int kof(double x) { return static_cast<int>((dbits(x) >> 40) & 0xff); }

}  // namespace

// ---------------------------------------------------------------------------
// Storage types.

const char* typename_of(int type) {
  static char buf[8];
  switch (type) {
    case ST_BYTE: case ST_LBYTE: return "byte";
    case ST_INT: case ST_LINT: return "int";
    case ST_LONG: case ST_LLONG: return "long";
    case ST_FLOAT: case ST_LFLOAT: return "float";
    case ST_DOUBLE: case ST_LDOUBLE: return "double";
    default: std::snprintf(buf, sizeof buf, "str%d", type); return buf;
  }
}

const char* deffmt_of(int type) {
  static char buf[12];
  switch (type) {
    case ST_BYTE: case ST_INT: case ST_LBYTE: case ST_LINT: return "%8.0g";
    case ST_LONG: case ST_LLONG: return "%12.0g";
    case ST_FLOAT: case ST_LFLOAT: return "%9.0g";
    case ST_DOUBLE: case ST_LDOUBLE: return "%10.0g";
    default: std::snprintf(buf, sizeof buf, "%%%ds", type); return buf;
  }
}

int typecode(const char* w) {
  if (!std::strcmp(w, "byte")) return ST_BYTE;
  if (!std::strcmp(w, "int")) return ST_INT;
  if (!std::strcmp(w, "long")) return ST_LONG;
  if (!std::strcmp(w, "float")) return ST_FLOAT;
  if (!std::strcmp(w, "double")) return ST_DOUBLE;
  if (!std::strncmp(w, "str", 3) && w[3] >= '1' && w[3] <= '9') {
    char* e;
    long n = std::strtol(w + 3, &e, 10);
    if (!*e && n >= 1 && n <= MAXSTRWIDTH) return static_cast<int>(n);
  }
  return 0;
}

// ---------------------------------------------------------------------------
// Cells.

// The types that cell_get does not decode inline: the legacy codes and
// strings.
double cell_get_slow(int type, const unsigned char* p) {
  switch (type) {
    case ST_BYTE: {
      int v = static_cast<signed char>(*p);
      return v > MAXBYTEVAL ? misval_k(static_cast<int>(v - MAXBYTEVAL - 1)) : v;
    }
    case ST_INT: {
      int16_t v;
      std::memcpy(&v, p, 2);
      return v > MAXINTVAL ? misval_k(static_cast<int>(v - MAXINTVAL - 1)) : v;
    }
    case ST_LONG: {
      int32_t v;
      std::memcpy(&v, p, 4);
      return v > MAXLONGVAL ? misval_k(static_cast<int>(v - MAXLONGVAL - 1)) : v;
    }
    case ST_FLOAT: {
      float f;
      std::memcpy(&f, p, 4);
      if (std::isnan(f)) return misval;
      if (f >= 0x1.0p+127f) {
        // Widen, then move the exponent up to 1023 keeping the code bits.
        uint64_t b = dbits(static_cast<double>(f));
        b = (b & 0x000fffffffffffffULL) | (0x7feULL << 52);
        return bitsd(b);
      }
      return f;
    }
    case ST_DOUBLE: {
      double d;
      std::memcpy(&d, p, 8);
      return d;
    }
    case ST_LBYTE: {
      int v = static_cast<signed char>(*p);
      return v == 127 ? misval : v;
    }
    case ST_LINT: {
      int16_t v;
      std::memcpy(&v, p, 2);
      return v == 32767 ? misval : v;
    }
    case ST_LLONG: {
      int32_t v;
      std::memcpy(&v, p, 4);
      return v == 2147483647 ? misval : v;
    }
    case ST_LFLOAT: {
      float f;
      std::memcpy(&f, p, 4);
      return (f >= 0x1.0p+127f || std::isnan(f)) ? misval : f;
    }
    case ST_LDOUBLE: {
      double d;
      std::memcpy(&d, p, 8);
      return (d >= misval_110 || std::isnan(d)) ? misval : d;
    }
    default: return misval;
  }
}

// Integer cell value per the rules of `store`: the truncated value when
// e <= emax and it is at most `top`, else the code for `.`+k.
template <typename T>
static T intcell(double x, int emax, long top, long miss, bool wrap8) {
  int e = expof(x);
  if (e == 1023) {
    int k = kof(x);
    return static_cast<T>(k < NMISSING ? miss + k : miss);
  }
  if (e > emax) return static_cast<T>(miss);
  long t = static_cast<long>(std::trunc(x));
  if (wrap8) t = static_cast<signed char>(static_cast<unsigned char>(t & 0xff));
  return static_cast<T>(t <= top ? t : miss);
}

void cell_put(int t, unsigned char* p, double x) {
  switch (t) {
    case ST_DOUBLE: case ST_LDOUBLE: std::memcpy(p, &x, 8); return;
    case ST_FLOAT: {
      float f;
      int e = expof(x);
      if (e == 1023) {
        // Keep the low four bits of the top 16, with exponent 127, then round.
        uint64_t b = dbits(x);
        b = (b & 0x0000ffffffffffffULL) | ((0x47e0ULL | ((b >> 48) & 0xf)) << 48);
        f = static_cast<float>(bitsd(b));
      } else if (e > 126) {
        f = 0x1.0p+127f;
      } else if (e < -127) {
        f = 0.0f;
      } else {
        f = static_cast<float>(x);
      }
      std::memcpy(p, &f, 4);
      return;
    }
    case ST_LONG: {
      int32_t v = intcell<int32_t>(x, 30, MAXLONGVAL, MAXLONGVAL + 1, false);
      std::memcpy(p, &v, 4);
      return;
    }
    case ST_INT: {
      int16_t v = intcell<int16_t>(x, 14, MAXINTVAL, MAXINTVAL + 1, false);
      std::memcpy(p, &v, 2);
      return;
    }
    case ST_BYTE: {
      signed char v = intcell<signed char>(x, 6, MAXBYTEVAL, MAXBYTEVAL + 1, true);
      std::memcpy(p, &v, 1);
      return;
    }
    case ST_LBYTE: {
      signed char v = expof(x) <= 6 ? static_cast<signed char>(std::trunc(x)) : 127;
      std::memcpy(p, &v, 1);
      return;
    }
    case ST_LINT: {
      int16_t v = expof(x) <= 14 ? static_cast<int16_t>(std::trunc(x)) : 32767;
      std::memcpy(p, &v, 2);
      return;
    }
    case ST_LLONG: {
      int32_t v = expof(x) <= 30 ? static_cast<int32_t>(std::trunc(x)) : 2147483647;
      std::memcpy(p, &v, 4);
      return;
    }
    case ST_LFLOAT: {
      int e = expof(x);
      float f = e < -120 ? 0.0f : e > 124 ? 0x1.0p+127f : static_cast<float>(x);
      std::memcpy(p, &f, 4);
      return;
    }
    default: return;  // strings are left alone
  }
}

int promoted_vartype(int type, double x) {
  if (type == ST_DOUBLE || type == ST_FLOAT || isstrtype(type)) return type;
  if (x >= misval || std::isnan(x)) return type;
  if (x == std::trunc(x)) {
    if (expof(x) > 30) return ST_DOUBLE;
    double t = std::trunc(x);
    if (type == ST_BYTE && t >= MINBYTEVAL && t <= MAXBYTEVAL) return ST_BYTE;
    if ((type == ST_BYTE || type == ST_INT) && t >= MININTVAL && t <= MAXINTVAL) return ST_INT;
    if (t < 2147483621.0 && t != -2147483648.0) return ST_LONG;
    return ST_DOUBLE;
  }
  return type == ST_LONG ? ST_DOUBLE : ST_FLOAT;
}
