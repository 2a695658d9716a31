// Rendering of doubles under display formats (`sreforms`): the hexadecimal
// and byte formats, missing values, and the fixed (`f`), best-fit (`g`),
// significant-digit (`%w.dg`) and exponential (`e`) layouts. All rounding for
// g and e is done on the 19-digit decimal string of the value, half up, so
// the same value always shows the same digits whatever the layout.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "data/value.h"
#include "output/format.h"
#include "output/format_int.h"

namespace {

constexpr int NDIG = 19;  // significant digits of the decomposition

// A value as sign, 19 decimal digits and exponent n: |x| = 0.d1d2... x 10^n.
struct Decomp {
  bool neg = false;
  char dig[NDIG + 1] = {0};
  int n = 1;
  char at(int i) const { return (i >= 0 && i < NDIG) ? dig[i] : '0'; }
  bool iszero() const {
    for (int i = 0; i < NDIG; ++i)
      if (dig[i] != '0') return false;
    return true;
  }
};

// Splits x into sign, digits and exponent through "%25.18e".
Decomp decompose(double x) {
  Decomp dc;
  dc.neg = std::signbit(x) && x != 0;
  // The 19 significant digits "%25.18e" would print; to_chars gives the
  // same correctly rounded digits at a fraction of the cost.
  char b[48];
  const auto res = std::to_chars(b, b + sizeof b - 1, std::fabs(x), std::chars_format::scientific, 18);
  *res.ptr = 0;
  const char* p = b;
  while (*p == ' ') ++p;
  int k = 0;
  for (; *p && *p != 'e'; ++p)
    if (*p >= '0' && *p <= '9' && k < NDIG) dc.dig[k++] = *p;
  while (k < NDIG) dc.dig[k++] = '0';
  dc.dig[NDIG] = 0;
  dc.n = (*p == 'e') ? std::atoi(p + 1) + 1 : 1;
  if (dc.iszero()) dc.n = 1;
  return dc;
}

// refround: keeps k significant digits, rounding half up on the digit
// string; a carry out of the first digit prepends 1 and raises n.
void refround(Decomp& dc, int k) {
  if (k >= NDIG || k < 1) return;
  const bool up = dc.dig[k] >= '5';
  for (int i = k; i < NDIG; ++i) dc.dig[i] = '0';
  if (!up) return;
  int i = k - 1;
  while (i >= 0 && dc.dig[i] == '9') dc.dig[i--] = '0';
  if (i >= 0) {
    ++dc.dig[i];
  } else {
    std::memmove(dc.dig + 1, dc.dig, NDIG - 1);
    dc.dig[0] = '1';
    ++dc.n;
  }
}

// Right-justifies t in w columns (never cuts).
void padleft(std::string& t, int w) {
  if (static_cast<int>(t.size()) < w) t.insert(0, static_cast<size_t>(w) - t.size(), ' ');
}
// Left-justifies t in w columns (never cuts).
void padright(std::string& t, int w) {
  if (static_cast<int>(t.size()) < w) t.append(static_cast<size_t>(w) - t.size(), ' ');
}

// inefmt: exponential layout in a working width of max(w, 8), with k digits
// after the point (d when positive and fewer); padded to the working width.
std::string inefmt(Decomp dc, int w, int d, bool left) {
  const int ww = std::max(w, 8);
  const bool three = dc.n < -98 || dc.n > 100;
  int k = ww - 7 - (three ? 1 : 0);
  if (d > 0 && d < k) k = d;
  if (k < 0) k = 0;
  refround(dc, k + 1);
  const int ex = dc.n - 1;
  std::string t;
  if (dc.neg) t += '-';
  t += dc.at(0);
  t += '.';
  for (int i = 1; i <= k; ++i) t += dc.at(i);
  char eb[16];
  std::snprintf(eb, sizeof eb, "e%c%02d", ex < 0 ? '-' : '+', std::abs(ex));
  t += eb;
  if (left) padright(t, ww);
  else padleft(t, ww);
  return t;
}

// Groups the integer digits of a plain number text by commas.
std::string addcommas(const std::string& s) {
  size_t b = (!s.empty() && s[0] == '-') ? 1 : 0;
  size_t e = b;
  while (e < s.size() && s[e] >= '0' && s[e] <= '9') ++e;
  std::string t = s.substr(0, b);
  for (size_t i = b; i < e; ++i) {
    t += s[i];
    const size_t left = e - i - 1;
    if (left > 0 && left % 3 == 0) t += ',';
  }
  t += s.substr(e);
  return t;
}

// The fixed best-fit layout of ingfmt; false when it is refused.
bool ingfixed(Decomp dc, int w, bool comma, std::string& t) {
  int s = w - 2;
  if (dc.n <= 0) s -= -dc.n;
  int ncomma = 0;
  if (comma && dc.n > 3) {
    ncomma = (dc.n - 1) / 3;
    s -= ncomma;
  }
  if (s < std::max(w - 6, 2) || dc.n > s) return false;
  refround(dc, s);
  if (dc.n > s) return false;
  if (comma && dc.n > 3) ncomma = (dc.n - 1) / 3;
  const int n = dc.n;
  const int nint = std::max(n, 0) + ncomma;
  int f = s - n;  // positions after the point, leading zeros included
  auto room = [&](int fd) { return fd ? w - fd - 2 : w - 1; };
  while (nint > room(f)) {
    if (f == 0) return false;
    --f;
  }
  t.clear();
  if (dc.neg) t += '-';
  std::string frac;
  if (n >= 1) {
    std::string ip;
    for (int i = 0; i < n; ++i) ip += dc.at(i);
    t += comma ? addcommas(ip) : ip;
    for (int i = 0; i < f; ++i) frac += dc.at(n + i);
  } else {
    for (int i = 0; i < f; ++i) frac += (i < -n) ? '0' : dc.at(i + n);
  }
  while (!frac.empty() && frac.back() == '0') frac.pop_back();
  if (!frac.empty()) {
    t += '.';
    t += frac;
  }
  if (t.empty() || t == "-") t += '0';
  return true;
}

// ingfmt: best fit in width w; falls back to no commas, then to e notation.
std::string ingfmt(const Decomp& dc, int w, bool comma, bool left) {
  std::string t;
  if (ingfixed(dc, w, comma, t)) return t;
  if (comma && ingfixed(dc, w, false, t)) return t;
  return inefmt(dc, w, 0, left);
}

// insigfigfmt: d significant digits within width w.
std::string insigfigfmt(const Decomp& dc, int w, int d, bool comma, bool left) {
  if (w < 4) w = 4;
  d = std::min(d, w - 2);
  d = std::max(d, 2);
  // d significant digits need a working width of d+6 (d+7 with a three-digit
  // exponent); when that does not fit, the e layout of width w is used.
  auto expo = [&]() {
    const int ew = d + ((dc.n < -98 || dc.n > 100) ? 7 : 6);
    return inefmt(dc, ew <= w ? ew : w, 0, left);
  };
  auto bestfit = [&](int bw) {
    if (comma) {
      std::string t = ingfmt(dc, bw, true, left);
      if (static_cast<int>(t.size()) <= w) return t;
    }
    return ingfmt(dc, bw, false, left);
  };
  const int n = dc.n;
  if (n >= 1) {
    if (n > w - 2) return expo();
    const int m = std::min(w, d + 2);
    return bestfit(n <= m - 2 ? m : n + 2);
  }
  const int z = 1 - n;
  if (d <= w - 6) {
    if (z > 5 || d + z + 1 > w) return expo();
    return bestfit(d + z + 1);
  }
  if (d + z + 1 > w) {
    if (z > 7) return expo();
    return bestfit(w);
  }
  return bestfit(d + z + 1);
}

// inffmt: C's fixed notation, widened when the integer digits need up to 8
// positions, exponential beyond that.
std::string inffmt(double x, const FmtInfo& f) {
  int w = f.width;
  const int d = f.decimals;
  const int neg = x < 0 ? 1 : 0;
  const int nod = d == 0 ? 1 : 0;
  const int room = w - d - 1 - neg + nod;
  // Below 10^(room-1) the integer digits fit even if the 19-digit rounding
  // of the decomposition adds one, so the decomposition is skipped.
  static const double pow10[] = {1e-1, 1, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10,
                                 1e11, 1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20,
                                 1e21, 1e22, 1e23, 1e24, 1e25, 1e26};
  const bool fits = room >= 0 && room <= 27 && std::fabs(x) < pow10[room];
  if (!fits) {
    const Decomp dc = decompose(x);
    if (dc.n > room) {
      const int need = dc.n + d + 1 + neg - nod;
      if (need > 8) return inefmt(dc, w, d, f.just < 0);
      w = need;
    }
  }
  char b[400];
  if (f.comma == 'c') {
    std::snprintf(b, sizeof b, "%.*f", d, x);
    std::string t = addcommas(b);
    if (static_cast<int>(t.size()) > w) t = b;
    if (f.just < 0) padright(t, w);
    else padleft(t, w);
    return t;
  }
  if (f.just < 0) std::snprintf(b, sizeof b, "%-*.*f", w, d, x);
  else if (f.leadzero) std::snprintf(b, sizeof b, "%0*.*f", w, d, x);
  else std::snprintf(b, sizeof b, "%*.*f", w, d, x);
  return b;
}

// Appends a text of width w as the string format of that width would.
void padtext(const char* s, int w, int just, std::string& dst) {
  char sf[FMTLEN];
  std::snprintf(sf, sizeof sf, "%%%s%ds", just < 0 ? "-" : (just == 0 ? "~" : ""), w);
  dispstr(s, sf, dst);
}

// Appends the %21x, %16H/%16L or %8H/%8L text of x.
void renhex(const FmtInfo& f, double x, std::string& dst) {
  char b[64];
  if (f.letter == 'x') {
    uint64_t u;
    std::memcpy(&u, &x, sizeof u);
    const int bexp = static_cast<int>((u >> 52) & 0x7ff);
    const uint64_t frac = u & ((uint64_t{1} << 52) - 1);
    const int ex = bexp - 1023;
    std::snprintf(b, sizeof b, "%c%c.%013llxX%c%03x", (u >> 63) ? '-' : '+', bexp ? '1' : '0',
                  static_cast<unsigned long long>(frac), ex < 0 ? '-' : '+',
                  static_cast<unsigned>(std::abs(ex)));
  } else if (f.width == 16) {
    uint64_t u;
    std::memcpy(&u, &x, sizeof u);
    if (f.letter == 'L') u = __builtin_bswap64(u);
    std::snprintf(b, sizeof b, "%016llx", static_cast<unsigned long long>(u));
  } else {
    const float fl = static_cast<float>(x);
    uint32_t u;
    std::memcpy(&u, &fl, sizeof u);
    if (f.letter == 'L') u = __builtin_bswap32(u);
    std::snprintf(b, sizeof b, "%08x", u);
  }
  dst += b;
}

// The text of a missing value: ".", ".a" to ".z", or ".?".
const char* mistext(double x) {
  static char b[3] = {'.', 0, 0};
  const int k = missing_code(x);
  if (k < 0 || k > 26 || x != misval_k(k)) return ".?";
  b[1] = k ? static_cast<char>('a' + k - 1) : 0;
  return b;
}

}  // namespace

std::string fmt_commas(long n) { return addcommas(std::to_string(n)); }

// Chooses the layout by letter and decimals, then justifies and swaps.
void rennum(const FmtInfo& f, double x, std::string& dst) {
  const bool left = f.just < 0;
  std::string t;
  if (f.letter == 'f') {
    t = inffmt(x, f);
  } else {
    const Decomp dc = decompose(x);
    if (f.letter == 'e') t = inefmt(dc, f.width, f.decimals, left);
    else if (f.decimals == 0) t = ingfmt(dc, f.width, f.comma == 'c', left);
    else t = insigfigfmt(dc, f.width, f.decimals, f.comma == 'c', left);
  }
  if (left) padright(t, f.width + f.extrawidth);
  else padleft(t, f.width + f.extrawidth);
  if (f.swap)
    for (char& c : t) c = (c == '.') ? ',' : (c == ',' ? '.' : c);
  dst += t;
}

// Renders x under fmt after the hex, missing-value and date special cases.
void sreforms_app(const char* fmt, double x, std::string& dst) {
  FmtInfo f;
  if (unloadf(fmt, &f)) unloadf("%9.0g", &f);
  if (f.letter == 's') {
    // A number under a string format shows best-fit in the same width.
    char g[FMTLEN];
    std::snprintf(g, sizeof g, "%%%s%d.0g", f.just < 0 ? "-" : "", f.width);
    unloadf(g, &f);
  }
  if (x == 0) x = 0.0;  // no "-0"
  if (f.letter == 'x' || f.letter == 'H' || f.letter == 'L') {
    renhex(f, x, dst);
    return;
  }
  if (!(x < misval) || std::isinf(x)) {
    const bool odd = std::isinf(x) || std::isnan(x);
    padtext(odd ? "." : mistext(x), f.width + f.extrawidth, f.just, dst);
    return;
  }
  if (f.letter == 'd') rendate(f, x, dst);
  else rennum(f, x, dst);
}

// Renders into the shared buffer fmts.buf.
const char* sreforms(const char* fmt, double value) {
  fmts.buf.clear();
  sreforms_app(fmt, value, fmts.buf);
  return fmts.buf.c_str();
}
