// Date and time-series formats (`%d...`, `%td`, `%tw`, `%tm`, `%tq`, `%th`,
// `%ty`, `%tg`): validation of the date codes with the width they take, the
// conversion of a period count to the date that starts it, and the text of
// each code. The day-number calendar used here is the only one in the output
// subsystem: proleptic Gregorian, day 0 = 01jan1960.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "output/format.h"
#include "output/format_int.h"

namespace {

// Days from 01jan1970 to 01jan1960 subtracted below so that day 0 is 1960.
constexpr long long EPOCH1960 = -3653;

const char* const monthnames[12] = {"January", "February", "March",     "April",
                                    "May",     "June",     "July",      "August",
                                    "September", "October", "November", "December"};

// Floor division for possibly negative counts.
long long floordiv(long long a, long long b) {
  long long q = a / b;
  if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
  return q;
}

// The width the codes take, or -1 when one is not a valid code.
int countcodes(const char* c) {
  int w = 0;
  for (; *c; ++c) {
    switch (*c) {
      case 'C': case 'c': case 'Y': case 'y': case 'D': case 'd':
      case 'N': case 'n': case 'W': case 'w':
        w += 2;
        break;
      case 'J': case 'j': case 'm': case 'l':
        w += 3;
        break;
      case 'M': case 'L':
        w += 9;
        break;
      case 'q': case 'h': case '_':
      case '\'': case ',': case '-': case '.': case '/': case ':':
        w += 1;
        break;
      case '!':
        if (c[1] < 32 || c[1] > 126) return -1;
        ++c;
        w += 1;
        break;
      default:
        return -1;
    }
  }
  return w;
}

// Default codes of each %t unit.
const char* defcodes(char unit) {
  switch (unit) {
    case 'w': return "CY!ww";
    case 'm': return "CY!mn";
    case 'q': return "CY!qq";
    case 'h': return "CY!hh";
    case 'y': return "CY";
    default: return "DlCY";
  }
}

}  // namespace

// Days since 1960 to year, month and day (civil-from-days).
void fmt_dmy(long long days, long long* year, int* month, int* day) {
  const long long z = days + EPOCH1960 + 719468;
  const long long era = floordiv(z, 146097);
  const long long doe = z - era * 146097;
  const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const long long mp = (5 * doy + 2) / 153;
  const long long d = doy - (153 * mp + 2) / 5 + 1;
  const long long m = mp < 10 ? mp + 3 : mp - 9;
  *year = yoe + era * 400 + (m <= 2 ? 1 : 0);
  *month = static_cast<int>(m);
  *day = static_cast<int>(d);
}

// Year, month and day to days since 1960 (days-from-civil).
long long fmt_mdy(long long year, int month, int day) {
  const long long y = year - (month <= 2 ? 1 : 0);
  const long long era = floordiv(y, 400);
  const long long yoe = y - era * 400;
  const long long mp = month > 2 ? month - 3 : month + 9;
  const long long doy = (153 * mp + 2) / 5 + day - 1;
  const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468 - EPOCH1960;
}

// datefmt -> 'd' [codes] | 't' ('d'|'w'|'m'|'q'|'h'|'y') [codes] | 't' 'g'
int chkdfmt(const char* p, FmtInfo* f) {
  const char* codes;
  f->notation = 'g';
  if (p[0] == 'd') {
    f->tsunit = 0;
    codes = p + 1;
  } else {
    const char u = p[1];
    if (!u || !std::strchr("dwmqhyg", u)) return 1;
    if (u == 'g') {
      if (p[2]) return 1;
      f->letter = 'g';
      f->width = 9;
      f->decimals = 0;
      f->tsunit = 'g';
      return 0;
    }
    f->tsunit = u;
    codes = p + 2;
  }
  if (!*codes) codes = defcodes(f->tsunit);
  const int w = countcodes(codes);
  if (w < 0) return 1;
  f->letter = 'd';
  f->width = std::max(w, 8);
  std::snprintf(f->codes, sizeof f->codes, "%s", codes);
  return 0;
}

// Converts the period count x to the date that starts it and appends the
// text of each code, padded to the format's width.
void rendate(const FmtInfo& f, double x, std::string& dst) {
  const double v = std::floor(x);
  if (std::fabs(v) > 1e9) {
    // Far outside any calendar: show the count itself.
    char g[FMTLEN];
    std::snprintf(g, sizeof g, "%%%s%d.0g", f.just < 0 ? "-" : "", f.width);
    sreforms_app(g, x, dst);
    return;
  }
  const long long c = static_cast<long long>(v);
  long long days = c;
  switch (f.tsunit) {
    case 'w': {
      const long long y = 1960 + floordiv(c, 52);
      days = fmt_mdy(y, 1, 1) + 7 * (c - 52 * floordiv(c, 52));
      break;
    }
    case 'm': days = fmt_mdy(1960 + floordiv(c, 12), static_cast<int>(c - 12 * floordiv(c, 12)) + 1, 1); break;
    case 'q': days = fmt_mdy(1960 + floordiv(c, 4), static_cast<int>(c - 4 * floordiv(c, 4)) * 3 + 1, 1); break;
    case 'h': days = fmt_mdy(1960 + floordiv(c, 2), static_cast<int>(c - 2 * floordiv(c, 2)) * 6 + 1, 1); break;
    case 'y': days = fmt_mdy(c, 1, 1); break;
    default: break;
  }
  long long year;
  int month, day;
  fmt_dmy(days, &year, &month, &day);
  const long long doy = days - fmt_mdy(year, 1, 1) + 1;
  const long long week = std::min<long long>((doy - 1) / 7 + 1, 52);
  const long long cent = year / 100, yy = year % 100;

  std::string t;
  char b[64];
  auto put = [&](const char* fmt, long long n) {
    std::snprintf(b, sizeof b, fmt, n);
    t += b;
  };
  for (const char* p = f.codes; *p; ++p) {
    switch (*p) {
      case 'C': put("%02lld", cent); break;
      case 'c': put("%lld", cent); break;
      case 'Y': put("%02lld", yy); break;
      case 'y': put("%lld", yy); break;
      case 'D': put("%02lld", day); break;
      case 'd': put("%lld", day); break;
      case 'N': put("%02lld", month); break;
      case 'n': put("%lld", month); break;
      case 'W': put("%02lld", week); break;
      case 'w': put("%lld", week); break;
      case 'J': put("%03lld", doy); break;
      case 'j': put("%lld", doy); break;
      case 'q': put("%lld", (month - 1) / 3 + 1); break;
      case 'h': put("%lld", month > 6 ? 2 : 1); break;
      case 'M': case 'L': case 'm': case 'l': {
        std::string name = monthnames[month - 1];
        if (*p == 'm' || *p == 'l') name.resize(3);
        if (*p == 'L' || *p == 'l') name[0] = static_cast<char>(name[0] - 'A' + 'a');
        t += name;
        break;
      }
      case '_': t += ' '; break;
      case '!':
        if (p[1]) t += *++p;
        break;
      default: t += *p; break;
    }
  }
  const size_t w = static_cast<size_t>(f.width);
  if (t.size() < w) {
    if (f.just < 0) t.append(w - t.size(), ' ');
    else t.insert(0, w - t.size(), ' ');
  }
  dst += t;
}
