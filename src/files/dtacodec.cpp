// One field of a .dta record to a double and back, for every storage type and
// both missing-value encodings (the extended codes of releases 112 and later,
// the single legacy code of older ones). Fields are in this machine's order.
#include <cmath>
#include <cstring>

#include "data/store.h"
#include "files/dta.h"
#include "files/files.h"

FileState fst;

int files_failpoint() {
  if (fst.failread <= 0) return 0;
  return ++fst.nsteps == fst.failread ? 692 : 0;
}

namespace {

template <class T>
T field(const unsigned char* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// An integer field with its modern missing codes (miss is the code of `.`).
double intval(long v, long miss) { return v >= miss ? misval_k(static_cast<int>(v - miss)) : static_cast<double>(v); }

const double two127 = 0x1p127, two333 = 0x1p333;

}  // namespace

double dta_decode(int type, const unsigned char* p, bool dbl333) {
  switch (type) {
    case ST_BYTE: return intval(field<int8_t>(p), 101);
    case ST_INT: return intval(field<int16_t>(p), 32741);
    case ST_LONG: return intval(field<int32_t>(p), 2147483621L);
    case ST_FLOAT: {
      uint32_t b = field<uint32_t>(p);
      float x = field<float>(p);
      if (std::isnan(x)) return misval;
      if (x >= static_cast<float>(two127)) {
        uint32_t k = (b - 0x7F000000u) >> 11;
        return k <= 26 ? misval_k(static_cast<int>(k)) : misval;
      }
      return x;
    }
    case ST_DOUBLE: return field<double>(p);
    case ST_LBYTE: {
      int v = field<int8_t>(p);
      return v == 127 ? misval : v;
    }
    case ST_LINT: {
      int v = field<int16_t>(p);
      return v == 32767 ? misval : v;
    }
    case ST_LLONG: {
      long v = field<int32_t>(p);
      return v == 2147483647L ? misval : static_cast<double>(v);
    }
    case ST_LFLOAT: {
      float x = field<float>(p);
      return std::isnan(x) || x >= static_cast<float>(two127) ? misval : x;
    }
    case ST_LDOUBLE: {
      double x = field<double>(p);
      if (std::isnan(x) || x >= misval || (dbl333 && x == two333)) return misval;
      return x;
    }
    default: return misval;
  }
}

void dta_encode(int type, double x, bool legacy, unsigned char* p) {
  const bool miss = x >= misval;
  const int k = miss ? missing_code(x) : 0;
  switch (type) {
    case ST_BYTE: case ST_LBYTE: {
      int8_t v = miss ? static_cast<int8_t>(legacy ? 127 : 101 + k) : static_cast<int8_t>(x);
      std::memcpy(p, &v, 1);
      break;
    }
    case ST_INT: case ST_LINT: {
      int16_t v = miss ? static_cast<int16_t>(legacy ? 32767 : 32741 + k) : static_cast<int16_t>(x);
      std::memcpy(p, &v, 2);
      break;
    }
    case ST_LONG: case ST_LLONG: {
      int32_t v = miss ? static_cast<int32_t>(legacy ? 2147483647L : 2147483621L + k) : static_cast<int32_t>(x);
      std::memcpy(p, &v, 4);
      break;
    }
    case ST_FLOAT: case ST_LFLOAT: {
      uint32_t b;
      if (miss) {
        b = 0x7F000000u + (legacy ? 0u : static_cast<uint32_t>(k) * 0x800u);
      } else {
        float f = static_cast<float>(x);
        std::memcpy(&b, &f, 4);
      }
      std::memcpy(p, &b, 4);
      break;
    }
    default: {
      double d = miss && legacy ? misval : x;
      std::memcpy(p, &d, 8);
      break;
    }
  }
}
