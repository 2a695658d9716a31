// Random numbers: the current generator of uniform() (a combination of a
// xorshift, two multiply-with-carry and a congruential generator, four 32-bit
// words of state), the older congruential generator of uniform0(), the state
// string reported as c(seed) and restored by `set seed` (cmd/seedcmd.cpp).
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string>

#include "expr/fn_lib.h"
#include "output/errors.h"
#include "output/output.h"

namespace {

constexpr uint32_t SEEDX = 123456789, SEEDY = 521288629, SEEDZ = 362436069, SEEDW = 2262615;

// Check number of the first 33 characters of a state string.
unsigned seedcheck(const char* s) {
  unsigned h = 0;
  for (int i = 0; i < 33; ++i) h = (31 * h + static_cast<unsigned char>(s[i])) % 20009;
  return h & 0xffff;
}

}  // namespace

// One draw of the current generator; advances fns.rx..rw.
double urnuni() {
  uint32_t y = fns.ry;
  y ^= y << 13;
  y ^= y >> 17;
  y ^= y << 5;
  fns.ry = y;
  fns.rz = 65184u * (fns.rz & 65535u) + (fns.rz >> 16);
  fns.rw = 63663u * (fns.rw & 65535u) + (fns.rw >> 16);
  fns.rx = 69069u * fns.rx + 1234567u;
  uint32_t r = fns.rx + fns.ry + fns.rz + (fns.rw << 16);
  return r / 4294967296.0;
}

// One draw of the older generator: s = 69069 s mod 2^31, returning s/2^31.
double urnuni0() {
  fns.rold = static_cast<uint32_t>((69069ull * fns.rold) & 0x7fffffffu);
  return fns.rold / 2147483648.0;
}

// Seeds the current generator with |n| and discards 100 draws (none for the
// starting seed 123456789).
void seturnseed_i4(long n) {
  uint32_t x = static_cast<uint32_t>(n < 0 ? -n : n);
  fns.rx = x, fns.ry = SEEDY, fns.rz = SEEDZ, fns.rw = SEEDW;
  if (x != SEEDX)
    for (int i = 0; i < 100; ++i) urnuni();
}

// The state string: "X", x, y, z, w as 8 hex digits each, 4 check digits.
void geturnseed(std::string& buf) {
  char s[40];
  std::snprintf(s, sizeof s, "X%08" PRIx32 "%08" PRIx32 "%08" PRIx32 "%08" PRIx32, fns.rx, fns.ry,
                fns.rz, fns.rw);
  std::snprintf(s + 33, sizeof s - 33, "%04x", seedcheck(s));
  buf = s;
}

// Restores a state string; prints "'text' is an invalid set-seed code" and
// returns 198 when its form or check number is wrong.
int seturnseed(const char* text) {
  bool ok = std::strlen(text) == 37 && text[0] == 'X';
  uint32_t w[5] = {};
  for (int k = 0; ok && k < 5; ++k) {
    int nd = k < 4 ? 8 : 4;
    for (int i = 0; i < nd; ++i) {
      char c = text[1 + 8 * k + i];
      int v = (c >= '0' && c <= '9') ? c - '0' : (c >= 'a' && c <= 'f') ? c - 'a' + 10 : -1;
      if (v < 0) {
        ok = false;
        break;
      }
      w[k] = w[k] * 16 + static_cast<uint32_t>(v);
    }
  }
  if (ok && w[4] != seedcheck(text)) ok = false;
  if (!ok) {
    int prev = setoutlev(OUT_ERROR);
    spout21f("'%s' is an invalid set-seed code\n", text);
    setoutlev(prev);
    return RC_SYNTAX;
  }
  fns.rx = w[0], fns.ry = w[1], fns.rz = w[2], fns.rw = w[3];
  return 0;
}

namespace {

double r_uniform(const FuncValue*, int, FuncCtx&) { return urnuni(); }
double r_uniform0(const FuncValue*, int, FuncCtx&) { return urnuni0(); }
// Block form: n successive draws in observation order.
void rv_uniform(const double*, double* out, size_t n) {
  for (size_t i = 0; i < n; ++i) out[i] = urnuni();
}
void rv_uniform0(const double*, double* out, size_t n) {
  for (size_t i = 0; i < n; ++i) out[i] = urnuni0();
}

const FuncDef rows[] = {
    {"uniform", 700, 0, 0, "n", 'n', r_uniform, nullptr, rv_uniform, true, 0},
    {"uniform0", 701, 0, 0, "n", 'n', r_uniform0, nullptr, rv_uniform0, true, 0},
};

}  // namespace

// The random-number fragment of the function table.
FnRows fn_random_rows() { return {rows, sizeof rows / sizeof rows[0]}; }
