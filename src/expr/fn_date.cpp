// Date functions: daily dates count days from 01jan1960 (proleptic
// Gregorian, years 100 to 9999); weekly, monthly, quarterly and half-yearly
// dates count periods from the first period of 1960, yearly dates are the
// year. Conversions between them, date components, and the parsing of date
// strings under a mask (`date`, `monthly`, ...), which also serves the date
// literals of d(), m(), q(), h(), w() and y().
#include <cmath>
#include <vector>

#include "expr/fn_lib.h"
#include "expr/expr.h"

namespace {

using A = const FuncValue*;

constexpr long MINYEAR = 100, MAXYEAR = 9999;

// Days from 01jan1960 to the given civil date (any integers, no checks).
long civil2days(long y, long m, long d) {
  y -= m <= 2;
  long era = (y >= 0 ? y : y - 399) / 400;
  long yoe = y - era * 400;
  long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468 + 3653;
}

// The civil date of a day count from 01jan1960.
void days2civil(long z, long* y, int* m, int* d) {
  z += 719468 - 3653;
  long era = (z >= 0 ? z : z - 146096) / 146097;
  long doe = z - era * 146097;
  long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  long mp = (5 * doy + 2) / 153;
  *d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  *m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  *y = yoe + era * 400 + (*m <= 2);
}

bool leap(long y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }
int mdays(long y, int m) {
  static const int dm[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && leap(y) ? 29 : dm[m - 1];
}

const long kmindate = civil2days(MINYEAR, 1, 1);
const long kmaxdate = civil2days(MAXYEAR, 12, 31);

// An integral argument in a safe range; false for missing or fractional x.
bool exactint(double x, long* v) {
  if (fnmiss(x) || x != std::floor(x) || std::fabs(x) > 1e9) return false;
  *v = static_cast<long>(x);
  return true;
}
// A period or date argument: floored; false for missing or huge x.
bool floorarg(double x, long* v) {
  if (fnmiss(x) || std::fabs(x) > 1e9) return false;
  *v = static_cast<long>(std::floor(x));
  return true;
}
bool yearok(long y) { return y >= MINYEAR && y <= MAXYEAR; }

// Floor division and the matching non-negative remainder.
long fdiv(long a, long b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }
long fmodp(long a, long b) { return a - b * fdiv(a, b); }

}  // namespace

// Days since 01jan1960 of month m, day d, year y; misval when not a date.
double fn_mdy(double m, double d, double y) {
  long mm, dd, yy;
  if (!exactint(m, &mm) || !exactint(d, &dd) || !exactint(y, &yy)) return misval;
  if (!yearok(yy) || mm < 1 || mm > 12 || dd < 1 || dd > mdays(yy, static_cast<int>(mm))) return misval;
  return static_cast<double>(civil2days(yy, mm, dd));
}

// Splits a daily date (floored) into year, month and day; false outside the
// supported range or for a missing date.
bool fn_dmy(double date, long* y, int* m, int* d) {
  long z;
  if (!floorarg(date, &z) || z < kmindate || z > kmaxdate) return false;
  days2civil(z, y, m, d);
  return true;
}

namespace {

// Day of the year (1..366) of a date inside the range.
long dayofyear(long z, long y) { return z - civil2days(y, 1, 1) + 1; }

double d_mdy(A a, int, FuncCtx&) { return fn_mdy(a[0].d, a[1].d, a[2].d); }

// Component functions: each `.` for a missing or out-of-range date.
#define DCOMP(fname, expr)                      \
  double fname(A a, int, FuncCtx&) {            \
    long y;                                     \
    int m, d;                                   \
    if (!fn_dmy(a[0].d, &y, &m, &d)) return misval; \
    long z = static_cast<long>(std::floor(a[0].d)); \
    (void)z;                                    \
    return static_cast<double>(expr);           \
  }

DCOMP(d_day, d)
DCOMP(d_month, m)
DCOMP(d_year, y)
DCOMP(d_dow, fmodp(z + 5, 7))  // 01jan1960 was a Friday
DCOMP(d_doy, dayofyear(z, y))
DCOMP(d_week, std::min<long>((dayofyear(z, y) - 1) / 7 + 1, 52))
DCOMP(d_quarter, (m - 1) / 3 + 1)
DCOMP(d_halfyear, (m - 1) / 6 + 1)
DCOMP(d_hofd, (y - 1960) * 2 + (m - 1) / 6)
DCOMP(d_qofd, (y - 1960) * 4 + (m - 1) / 3)
DCOMP(d_mofd, (y - 1960) * 12 + (m - 1))
DCOMP(d_wofd, (y - 1960) * 52 + std::min<long>((dayofyear(z, y) - 1) / 7, 51))

// First day of period k of a calendar with `per` periods a year of `months`
// months each; misval outside the supported years.
double firstday(double k, long per, long months) {
  long v;
  if (!floorarg(k, &v)) return misval;
  long y = 1960 + fdiv(v, per);
  if (!yearok(y)) return misval;
  return static_cast<double>(civil2days(y, fmodp(v, per) * months + 1, 1));
}
double d_dofy(A a, int, FuncCtx&) {
  long y;
  if (!floorarg(a[0].d, &y) || !yearok(y)) return misval;
  return static_cast<double>(civil2days(y, 1, 1));
}
double d_dofh(A a, int, FuncCtx&) { return firstday(a[0].d, 2, 6); }
double d_dofq(A a, int, FuncCtx&) { return firstday(a[0].d, 4, 3); }
double d_dofm(A a, int, FuncCtx&) { return firstday(a[0].d, 12, 1); }
double d_dofw(A a, int, FuncCtx&) {
  long v;
  if (!floorarg(a[0].d, &v)) return misval;
  long y = 1960 + fdiv(v, 52);
  if (!yearok(y)) return misval;
  return static_cast<double>(civil2days(y, 1, 1) + 7 * fmodp(v, 52));
}
double d_dofd(A a, int, FuncCtx&) {
  long z;
  if (!floorarg(a[0].d, &z) || z < kmindate || z > kmaxdate) return misval;
  return static_cast<double>(z);
}

// Period n of year y in a calendar of `per` periods; misval when invalid.
double yperiod(double y, double n, long per) {
  long yy, nn;
  if (!exactint(y, &yy) || !exactint(n, &nn) || !yearok(yy) || nn < 1 || nn > per) return misval;
  return static_cast<double>((yy - 1960) * per + nn - 1);
}
double d_yw(A a, int, FuncCtx&) { return yperiod(a[0].d, a[1].d, 52); }
double d_ym(A a, int, FuncCtx&) { return yperiod(a[0].d, a[1].d, 12); }
double d_yq(A a, int, FuncCtx&) { return yperiod(a[0].d, a[1].d, 4); }
double d_yh(A a, int, FuncCtx&) { return yperiod(a[0].d, a[1].d, 2); }

// ---- date strings ----

// Month number of a month name (full, three letters, or "sept"), else 0.
int monthname(std::string_view w) {
  static const char* const names[] = {"january", "february", "march",     "april",
                                      "may",     "june",     "july",      "august",
                                      "september", "october", "november", "december"};
  for (int i = 0; i < 12; ++i) {
    std::string_view full = names[i];
    if (w == full || w == full.substr(0, 3)) return i + 1;
  }
  return w == "sept" ? 9 : 0;
}

// One token of the text: a run of digits or of letters.
struct Tok {
  std::string_view t;
  bool digits;
};

// The parsed mask: field letters in order and the century of two-digit years
// (-1 none).
struct Mask {
  std::string fields;
  long century = -1;
};

// Reads mask against the field letters the function wants (`want`, e.g.
// "dmy"); false when a letter is foreign, missing or repeated.
bool readmask(std::string_view mask, std::string_view want, Mask* m) {
  for (size_t i = 0; i < mask.size(); ++i) {
    char c = mask[i];
    if (c == ' ') continue;
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    if (c >= '0' && c <= '9') {
      // two digits giving the century, directly before y
      if (i + 2 >= mask.size() || !(mask[i + 1] >= '0' && mask[i + 1] <= '9') ||
          (mask[i + 2] != 'y' && mask[i + 2] != 'Y') || m->century >= 0)
        return false;
      m->century = (c - '0') * 10 + (mask[i + 1] - '0');
      ++i;
      continue;
    }
    if (want.find(c) == std::string_view::npos || m->fields.find(c) != std::string::npos)
      return false;
    m->fields.push_back(c);
  }
  return m->fields.size() == want.size();
}

// Field widths when several fields are packed into one run of digits.
int packedwidth(char f, int alt) {
  switch (f) {
    case 'y': return alt ? 2 : 4;
    case 'q': case 'h': return 1;
    default: return 2;
  }
}
// Longest unpacked field.
size_t maxwidth(char f) {
  switch (f) {
    case 'y': return 4;
    case 'q': case 'h': return 1;
    default: return 2;
  }
}

struct Parsed {
  long v[6] = {};        // value per field position
  int ylen = 0;          // digits the year was written with
};

// Assigns tokens from ti (at byte offset off) to fields from fi on, packing
// digit runs when there are fewer tokens than fields; true when every token
// and field is used up.
bool assign(const std::vector<Tok>& toks, size_t ti, size_t off, const std::string& fields,
            size_t fi, Parsed* p) {
  if (fi == fields.size()) return ti == toks.size();
  if (ti == toks.size()) return false;
  const Tok& t = toks[ti];
  char f = fields[fi];
  std::string_view rest = t.t.substr(off);
  if (!t.digits) {
    if (f != 'm' || off) return false;
    int mo = monthname(t.t);
    if (!mo) return false;
    p->v[fi] = mo;
    return assign(toks, ti + 1, 0, fields, fi + 1, p);
  }
  // the whole remaining run
  if (rest.size() <= maxwidth(f)) {
    long val = 0;
    for (char c : rest) val = val * 10 + (c - '0');
    p->v[fi] = val;
    if (f == 'y') p->ylen = static_cast<int>(rest.size());
    if (assign(toks, ti + 1, 0, fields, fi + 1, p)) return true;
  }
  // a packed prefix of the run
  for (int alt = 0; alt < (f == 'y' ? 2 : 1); ++alt) {
    size_t w = static_cast<size_t>(packedwidth(f, alt));
    if (w >= rest.size()) continue;
    long val = 0;
    for (size_t i = 0; i < w; ++i) val = val * 10 + (rest[i] - '0');
    p->v[fi] = val;
    if (f == 'y') p->ylen = static_cast<int>(w);
    if (assign(toks, ti, off + w, fields, fi + 1, p)) return true;
  }
  return false;
}

// Parses text under mask for the fields in `want`, with the optional marker
// letter of the period (e.g. 'q' in 1960q1) treated as a separator; fills
// *out with the field values in the order of `want` (year completed by the
// century rules). False when the text does not read.
bool parsedate(std::string_view text, std::string_view mask, std::string_view want, char marker,
               double topyear, long out[3]) {
  Mask m;
  if (!readmask(mask, want, &m)) return false;
  std::string low(text);
  for (char& c : low)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  std::vector<Tok> toks;
  std::string_view s = low;
  for (size_t i = 0; i < s.size();) {
    char c = s[i];
    bool dig = c >= '0' && c <= '9', let = c >= 'a' && c <= 'z';
    if (!dig && !let) {
      ++i;
      continue;
    }
    size_t b = i;
    while (i < s.size() && (dig ? (s[i] >= '0' && s[i] <= '9') : (s[i] >= 'a' && s[i] <= 'z'))) ++i;
    std::string_view t = s.substr(b, i - b);
    if (let && marker && t.size() == 1 && t[0] == marker) continue;
    toks.push_back({t, dig});
  }
  if (toks.empty() || toks.size() > m.fields.size()) return false;
  Parsed p;
  if (!assign(toks, 0, 0, m.fields, 0, &p)) return false;
  for (size_t k = 0; k < want.size(); ++k) {
    long v = p.v[m.fields.find(want[k])];
    if (want[k] == 'y' && p.ylen <= 2) {
      if (m.century >= 0)
        v += m.century * 100;
      else if (!fnmiss(topyear) && std::fabs(topyear) < 1e6) {
        long top = static_cast<long>(std::floor(topyear));
        long c = top - fmodp(top - v, 100);
        v = c;
      } else if (exhooks.version() < 600)
        v += 1900;
    }
    out[k] = v;
  }
  return true;
}

double topyearof(A a, int n) { return n > 2 ? a[2].d : misval; }

double d_date(A a, int n, FuncCtx&) {
  long v[3];
  if (!parsedate(a[0].s, a[1].s, "dmy", 0, topyearof(a, n), v)) return misval;
  return fn_mdy(static_cast<double>(v[1]), static_cast<double>(v[0]), static_cast<double>(v[2]));
}
// Period strings: year and period n of a calendar with `per` periods.
double periodstr(A a, int n, char letter, long per) {
  const char want[3] = {'y', letter, 0};
  long v[3];
  if (!parsedate(a[0].s, a[1].s, want, letter, topyearof(a, n), v)) return misval;
  return yperiod(static_cast<double>(v[0]), static_cast<double>(v[1]), per);
}
double d_monthly(A a, int n, FuncCtx&) { return periodstr(a, n, 'm', 12); }
double d_quarterly(A a, int n, FuncCtx&) { return periodstr(a, n, 'q', 4); }
double d_halfyearly(A a, int n, FuncCtx&) { return periodstr(a, n, 'h', 2); }
double d_weekly(A a, int n, FuncCtx&) { return periodstr(a, n, 'w', 52); }
double d_yearly(A a, int n, FuncCtx&) {
  long v[3];
  if (!parsedate(a[0].s, a[1].s, "y", 0, topyearof(a, n), v) || !yearok(v[0])) return misval;
  return static_cast<double>(v[0]);
}

#define ROWN(nm, op, lo, hi, at, fn) {nm, op, lo, hi, at, 'n', fn, nullptr, nullptr, false, 0}

const FuncDef rows[] = {
    ROWN("mdy", 500, 3, 3, "n", d_mdy),
    ROWN("day", 501, 1, 1, "n", d_day),
    ROWN("month", 502, 1, 1, "n", d_month),
    ROWN("year", 503, 1, 1, "n", d_year),
    ROWN("yofd", 503, 1, 1, "n", d_year),
    ROWN("dow", 504, 1, 1, "n", d_dow),
    ROWN("doy", 505, 1, 1, "n", d_doy),
    ROWN("week", 506, 1, 1, "n", d_week),
    ROWN("quarter", 507, 1, 1, "n", d_quarter),
    ROWN("halfyear", 508, 1, 1, "n", d_halfyear),
    ROWN("dofy", 509, 1, 1, "n", d_dofy),
    ROWN("dofh", 510, 1, 1, "n", d_dofh),
    ROWN("dofq", 511, 1, 1, "n", d_dofq),
    ROWN("dofm", 512, 1, 1, "n", d_dofm),
    ROWN("dofw", 513, 1, 1, "n", d_dofw),
    ROWN("dofd", 514, 1, 1, "n", d_dofd),
    ROWN("hofd", 515, 1, 1, "n", d_hofd),
    ROWN("qofd", 516, 1, 1, "n", d_qofd),
    ROWN("mofd", 517, 1, 1, "n", d_mofd),
    ROWN("wofd", 518, 1, 1, "n", d_wofd),
    ROWN("yw", 519, 2, 2, "n", d_yw),
    ROWN("ym", 520, 2, 2, "n", d_ym),
    ROWN("yq", 521, 2, 2, "n", d_yq),
    ROWN("yh", 522, 2, 2, "n", d_yh),
    ROWN("date", 523, 2, 3, "ssn", d_date),
    ROWN("daily", 523, 2, 3, "ssn", d_date),
    ROWN("yearly", 524, 2, 3, "ssn", d_yearly),
    ROWN("halfyearly", 525, 2, 3, "ssn", d_halfyearly),
    ROWN("quarterly", 526, 2, 3, "ssn", d_quarterly),
    ROWN("monthly", 527, 2, 3, "ssn", d_monthly),
    ROWN("weekly", 528, 2, 3, "ssn", d_weekly),
};

}  // namespace

// The date fragment of the function table.
FnRows fn_date_rows() { return {rows, sizeof rows / sizeof rows[0]}; }

// Value of the date literal text for the pseudo-function letter; misval when
// it does not read.
double fn_datelit(char letter, std::string_view text) {
  FuncValue a[2];
  a[0].s = text;
  FuncCtx c;
  switch (letter) {
    case 'd': a[1].s = "dmy"; return d_date(a, 2, c);
    case 'w': a[1].s = "yw"; return d_weekly(a, 2, c);
    case 'm': a[1].s = "ym"; return d_monthly(a, 2, c);
    case 'q': a[1].s = "yq"; return d_quarterly(a, 2, c);
    case 'h': a[1].s = "yh"; return d_halfyearly(a, 2, c);
    case 'y': a[1].s = "y"; return d_yearly(a, 2, c);
    default: return misval;
  }
}
