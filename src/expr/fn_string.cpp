// String functions of the expression language: lengths and positions,
// substrings and words, case changes and trimming, conversions between
// numbers and text, substitution, abbreviation, wildcard matching and plural
// forms. Positions are 1-based byte positions; nothing here fails on bounds
// (out-of-range positions give the empty string), and no result is longer
// than 244 bytes.
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "expr/fn_lib.h"
#include "output/format.h"

namespace {

using A = const FuncValue*;

// Cuts out to the longest string a result may be.
void cap(std::string& out) {
  if (out.size() > FN_MAXSTR) out.resize(FN_MAXSTR);
}

bool isblank_(char c) { return c == ' '; }
bool isalpha_(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
char tolower_(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }
char toupper_(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

// A numeric argument as a position or count: truncated toward zero, with a
// flag for missing values.
bool intarg(double x, long* v) {
  if (fnmiss(x)) return false;
  if (x > 1e9) x = 1e9;
  if (x < -1e9) x = -1e9;
  *v = static_cast<long>(std::trunc(x));
  return true;
}

// length(s): bytes.
double s_length(A a, int, FuncCtx&) { return static_cast<double>(a[0].s.size()); }

// strpos(s1, s2): 1-based position of s2 in s1, 0 when absent.
double s_strpos(A a, int, FuncCtx&) {
  size_t p = a[0].s.find(a[1].s);
  return p == std::string_view::npos ? 0 : static_cast<double>(p + 1);
}

// indexnot(s1, s2): first position in s1 of a byte that is not in s2, 0 if none.
double s_indexnot(A a, int, FuncCtx&) {
  size_t p = a[0].s.find_first_not_of(a[1].s);
  return p == std::string_view::npos ? 0 : static_cast<double>(p + 1);
}

// substr(s, pos, len): negative pos counts from the end; a missing or too
// large len runs to the end.
void s_substr(A a, int, std::string& out, FuncCtx&) {
  std::string_view s = a[0].s;
  long n = static_cast<long>(s.size()), pos, len;
  out.clear();
  if (!intarg(a[1].d, &pos) || pos == 0) return;
  if (pos < 0) pos += n + 1;
  if (pos < 1 || pos > n) return;
  if (!intarg(a[2].d, &len) || len > n - pos + 1) len = n - pos + 1;
  if (len <= 0) return;
  out.assign(s.substr(static_cast<size_t>(pos - 1), static_cast<size_t>(len)));
}

// Splits s into its blank-separated words.
void splitwords(std::string_view s, std::vector<std::string_view>& w) {
  size_t i = 0;
  while (i < s.size()) {
    while (i < s.size() && isblank_(s[i])) ++i;
    size_t b = i;
    while (i < s.size() && !isblank_(s[i])) ++i;
    if (i > b) w.push_back(s.substr(b, i - b));
  }
}

// word(s, n): the n-th word, counting from the end when n < 0.
void s_word(A a, int, std::string& out, FuncCtx&) {
  out.clear();
  long k;
  if (!intarg(a[1].d, &k) || k == 0) return;
  std::vector<std::string_view> w;
  splitwords(a[0].s, w);
  long n = static_cast<long>(w.size());
  if (k < 0) k += n + 1;
  if (k >= 1 && k <= n) out.assign(w[static_cast<size_t>(k - 1)]);
}

// wordcount(s): number of blank-separated words.
double s_wordcount(A a, int, FuncCtx&) {
  std::vector<std::string_view> w;
  splitwords(a[0].s, w);
  return static_cast<double>(w.size());
}

void s_lower(A a, int, std::string& out, FuncCtx&) {
  out.assign(a[0].s);
  for (char& c : out) c = tolower_(c);
}
void s_upper(A a, int, std::string& out, FuncCtx&) {
  out.assign(a[0].s);
  for (char& c : out) c = toupper_(c);
}
// proper(s): a letter after a non-letter (or at the start) in upper case,
// every other letter in lower case.
void s_proper(A a, int, std::string& out, FuncCtx&) {
  out.assign(a[0].s);
  bool prevletter = false;
  for (char& c : out) {
    bool l = isalpha_(c);
    if (l) c = prevletter ? tolower_(c) : toupper_(c);
    prevletter = l;
  }
}

void s_ltrim(A a, int, std::string& out, FuncCtx&) {
  std::string_view s = a[0].s;
  size_t b = 0;
  while (b < s.size() && isblank_(s[b])) ++b;
  out.assign(s.substr(b));
}
void s_rtrim(A a, int, std::string& out, FuncCtx&) {
  std::string_view s = a[0].s;
  size_t e = s.size();
  while (e > 0 && isblank_(s[e - 1])) --e;
  out.assign(s.substr(0, e));
}
void s_trim(A a, int, std::string& out, FuncCtx&) {
  std::string_view s = a[0].s;
  size_t b = 0, e = s.size();
  while (b < e && isblank_(s[b])) ++b;
  while (e > b && isblank_(s[e - 1])) --e;
  out.assign(s.substr(b, e - b));
}
// itrim(s): every run of blanks collapsed to one blank.
void s_itrim(A a, int, std::string& out, FuncCtx&) {
  out.clear();
  for (char c : a[0].s)
    if (!(isblank_(c) && !out.empty() && isblank_(out.back()))) out.push_back(c);
}
void s_reverse(A a, int, std::string& out, FuncCtx&) { out.assign(a[0].s.rbegin(), a[0].s.rend()); }

// real(s): the number s holds once blanks are trimmed ("." and ".a" to ".z"
// included), `.` when it holds none.
double s_real(A a, int, FuncCtx&) {
  std::string_view s = a[0].s;
  size_t b = 0, e = s.size();
  while (b < e && isblank_(s[b])) ++b;
  while (e > b && isblank_(s[e - 1])) --e;
  s = s.substr(b, e - b);
  if (s == ".") return misval;
  if (s.size() == 2 && s[0] == '.' && s[1] >= 'a' && s[1] <= 'z') return misval_k(s[1] - 'a' + 1);
  // sign, digits with at most one period, optional exponent (e, E, d or D)
  std::string t(s);
  size_t i = 0;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
  size_t nd = 0;
  bool dot = false;
  for (; i < t.size(); ++i) {
    if (t[i] >= '0' && t[i] <= '9')
      ++nd;
    else if (t[i] == '.' && !dot)
      dot = true;
    else
      break;
  }
  if (nd == 0) return misval;
  if (i < t.size() && (t[i] == 'e' || t[i] == 'E' || t[i] == 'd' || t[i] == 'D')) {
    t[i] = 'e';
    ++i;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
    size_t ne = 0;
    while (i < t.size() && t[i] >= '0' && t[i] <= '9') ++i, ++ne;
    if (ne == 0) return misval;
  }
  if (i != t.size()) return misval;
  return fnres(std::strtod(t.c_str(), nullptr));
}

// string(x[, fmt]): x shown in fmt (default %9.0g) without leading blanks;
// an invalid numeric format gives the empty string.
void s_string(A a, int n, std::string& out, FuncCtx&) {
  out.clear();
  std::string fmt = n > 1 ? std::string(a[1].s) : std::string("%9.0g");
  if (chkfmt(fmt.c_str(), FMTK_NUM) != 0) return;
  std::string r;
  sreforms_app(fmt.c_str(), a[0].d, r);
  size_t b = r.find_first_not_of(' ');
  if (b != std::string::npos) out.assign(r, b, std::string::npos);
  cap(out);
}

// char(n): the one-byte string with code n (1..255), else empty.
void s_char(A a, int, std::string& out, FuncCtx&) {
  out.clear();
  long k;
  if (intarg(a[0].d, &k) && k >= 1 && k <= 255) out.push_back(static_cast<char>(k));
}

// Replaces the first n occurrences of s1 in s by s2 (all when n is missing);
// with words set only occurrences that are whole blank-delimited words.
void subin(A a, std::string& out, bool words) {
  std::string_view s = a[0].s, s1 = a[1].s, s2 = a[2].s;
  long limit;
  if (!intarg(a[3].d, &limit)) limit = -1;  // all
  out.clear();
  if (s1.empty() || limit == 0) {
    out.assign(s);
    cap(out);
    return;
  }
  size_t i = 0;
  long done = 0;
  while (i < s.size()) {
    size_t p = s.find(s1, i);
    if (p == std::string_view::npos) break;
    if (words) {
      bool startok = p == 0 || isblank_(s[p - 1]);
      bool endok = p + s1.size() == s.size() || isblank_(s[p + s1.size()]);
      if (!startok || !endok) {
        out.append(s.substr(i, p + 1 - i));
        i = p + 1;
        continue;
      }
    }
    out.append(s.substr(i, p - i));
    out.append(s2);
    i = p + s1.size();
    if (out.size() >= FN_MAXSTR) break;
    if (limit > 0 && ++done >= limit) break;
  }
  if (i < s.size()) out.append(s.substr(i));
  cap(out);
}
void s_subinstr(A a, int, std::string& out, FuncCtx&) { subin(a, out, false); }
void s_subinword(A a, int, std::string& out, FuncCtx&) { subin(a, out, true); }

// abbrev(s, n): s cut to n characters with "~" before its last character; n
// below 5 counts as 5 (below 8 as 8 when s holds a period); a missing n
// leaves s whole.
void s_abbrev(A a, int, std::string& out, FuncCtx&) {
  std::string_view s = a[0].s;
  long n;
  if (!intarg(a[1].d, &n)) {
    out.assign(s);
    return;
  }
  long lo = s.find('.') != std::string_view::npos ? 8 : 5;
  if (n < lo) n = lo;
  if (static_cast<long>(s.size()) <= n) {
    out.assign(s);
    return;
  }
  out.assign(s.substr(0, static_cast<size_t>(n - 2)));
  out.push_back('~');
  out.push_back(s.back());
}

// match(s, pattern): 1 when s matches pattern, where `*` stands for any
// string and `?` for any one byte.
double s_match(A a, int, FuncCtx&) {
  std::string_view s = a[0].s, p = a[1].s;
  size_t i = 0, j = 0, star = std::string_view::npos, mark = 0;
  while (i < s.size()) {
    if (j < p.size() && (p[j] == '?' || p[j] == s[i])) {
      ++i, ++j;
    } else if (j < p.size() && p[j] == '*') {
      star = j++;
      mark = i;
    } else if (star != std::string_view::npos) {
      j = star + 1;
      i = ++mark;
    } else {
      return 0;
    }
  }
  while (j < p.size() && p[j] == '*') ++j;
  return j == p.size() ? 1 : 0;
}

// plural(n, s[, s2]): s when n is 1 or -1; otherwise s + "s", or with s2:
// s + rest when s2 is "+rest", s without a trailing rest when s2 is "-rest",
// else s2 itself.
void s_plural(A a, int nargs, std::string& out, FuncCtx&) {
  double n = a[0].d;
  std::string_view s = a[1].s;
  out.assign(s);
  if (n == 1 || n == -1) return;
  if (nargs < 3) {
    out.push_back('s');
  } else {
    std::string_view s2 = a[2].s;
    if (!s2.empty() && s2[0] == '+') {
      out.append(s2.substr(1));
    } else if (!s2.empty() && s2[0] == '-') {
      std::string_view rest = s2.substr(1);
      if (s.size() >= rest.size() && s.substr(s.size() - rest.size()) == rest)
        out.assign(s.substr(0, s.size() - rest.size()));
    } else {
      out.assign(s2);
    }
  }
  cap(out);
}

#define ROWN(nm, op, lo, hi, at, fn, ver) {nm, op, lo, hi, at, 'n', fn, nullptr, nullptr, false, ver}
#define ROWS(nm, op, lo, hi, at, fn, ver) {nm, op, lo, hi, at, 's', nullptr, fn, nullptr, false, ver}

const FuncDef rows[] = {
    ROWN("length", 400, 1, 1, "s", s_length, 0),
    ROWN("strlen", 400, 1, 1, "s", s_length, 0),
    ROWN("strpos", 401, 2, 2, "s", s_strpos, 0),
    ROWN("index", 401, 2, 2, "s", s_strpos, 999),
    ROWN("indexnot", 402, 2, 2, "s", s_indexnot, 0),
    ROWS("substr", 29, 3, 3, "snn", s_substr, 0),
    ROWS("word", 403, 2, 2, "sn", s_word, 0),
    ROWN("wordcount", 404, 1, 1, "s", s_wordcount, 0),
    ROWS("lower", 405, 1, 1, "s", s_lower, 0),
    ROWS("strlower", 405, 1, 1, "s", s_lower, 0),
    ROWS("upper", 406, 1, 1, "s", s_upper, 0),
    ROWS("strupper", 406, 1, 1, "s", s_upper, 0),
    ROWS("proper", 407, 1, 1, "s", s_proper, 0),
    ROWS("strproper", 407, 1, 1, "s", s_proper, 0),
    ROWS("ltrim", 408, 1, 1, "s", s_ltrim, 0),
    ROWS("strltrim", 408, 1, 1, "s", s_ltrim, 0),
    ROWS("rtrim", 409, 1, 1, "s", s_rtrim, 0),
    ROWS("strrtrim", 409, 1, 1, "s", s_rtrim, 0),
    ROWS("trim", 410, 1, 1, "s", s_trim, 0),
    ROWS("strtrim", 410, 1, 1, "s", s_trim, 0),
    ROWS("itrim", 411, 1, 1, "s", s_itrim, 0),
    ROWS("stritrim", 411, 1, 1, "s", s_itrim, 0),
    ROWS("reverse", 412, 1, 1, "s", s_reverse, 0),
    ROWS("strreverse", 412, 1, 1, "s", s_reverse, 0),
    ROWN("real", 413, 1, 1, "s", s_real, 0),
    ROWS("string", 28, 1, 2, "ns", s_string, 0),
    ROWS("strofreal", 28, 1, 2, "ns", s_string, 0),
    ROWS("char", 414, 1, 1, "n", s_char, 0),
    ROWS("subinstr", 415, 4, 4, "sssn", s_subinstr, 0),
    ROWS("subinword", 416, 4, 4, "sssn", s_subinword, 0),
    ROWS("abbrev", 417, 2, 2, "sn", s_abbrev, 0),
    ROWN("match", 418, 2, 2, "s", s_match, 0),
    ROWN("strmatch", 418, 2, 2, "s", s_match, 0),
    ROWS("plural", 419, 2, 3, "nss", s_plural, 0),
};

}  // namespace

// The string fragment of the function table.
FnRows fn_string_rows() { return {rows, sizeof rows / sizeof rows[0]}; }
