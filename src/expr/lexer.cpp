// The expression lexer: finds where an expression ends on the command line
// and copies it without blanks, reads numeric literals (decimal, the
// hexadecimal-float notation and the missing values), and skips quoted
// strings for the compiler's scans.
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "expr/exprint.h"
#include "output/errors.h"
#include "output/output.h"

// Prints msg at the error level and returns rc.
static int lexerr(const char* msg, int rc) {
  int prev = setoutlev(OUT_ERROR);
  spout21(msg);
  setoutlev(prev);
  return rc;
}

// True when c is a character after which an operand must follow.
static bool isopchar(int c, bool matmode) {
  return c && (std::strchr("+-*/^&|<>=!~(", c) || (matmode && std::strchr(",\\#", c)));
}

// True when the text at q continues an expression as a binary operator.
static bool continues(const char* q, bool matmode) {
  int c = *q;
  if (!c) return false;
  if (std::strchr("+-*/^&|<>", c)) return true;
  if (c == '=' && q[1] == '=') return true;
  if ((c == '!' || c == '~') && q[1] == '=') return true;
  if (matmode && std::strchr(",\\#'", c)) return true;
  return false;
}

size_t xl_quoteend(std::string_view s, size_t i) {
  if (i < s.size() && s[i] == '"') {
    size_t j = s.find('"', i + 1);
    return j == std::string_view::npos ? j : j + 1;
  }
  if (i + 1 < s.size() && s[i] == '`' && s[i + 1] == '"') {
    int depth = 0;
    for (size_t j = i; j + 1 < s.size(); ++j) {
      if (s[j] == '`' && s[j + 1] == '"') {
        ++depth;
        ++j;
      } else if (s[j] == '"' && s[j + 1] == '\'') {
        if (--depth == 0) return j + 2;
        ++j;
      }
    }
    return std::string_view::npos;
  }
  return i + 1;
}

int xl_capture(const char* p, bool matmode, bool brackets, std::string& text, const char** endp) {
  text.clear();
  int depth = 0;
  char prev = 0;  // last significant character copied
  for (;;) {
    char c = *p;
    if (!c) break;
    if (c == ' ' || c == '\t') {
      const char* q = p;
      while (*q == ' ' || *q == '\t') ++q;
      if (!*q) {
        p = q;
        break;
      }
      // Inside brackets blanks never end; outside, only where an operator
      // is pending or one comes next.
      if (depth > 0 || !prev || isopchar(prev, matmode) || continues(q, matmode)) {
        p = q;
        continue;
      }
      break;
    }
    if (depth == 0) {
      if (c == ',' && !matmode) break;
      if (c == '{' || c == '}') break;
      if (c == '=' && p[1] != '=' && prev && !std::strchr("<>!~=", prev)) break;
      if (brackets && c == '[') break;
    }
    if (c == '"' || (c == '`' && p[1] == '"')) {
      std::string_view rest(p);
      size_t e = xl_quoteend(rest, 0);
      if (e == std::string_view::npos) return lexerr("too few quotes\n", RC_UNBALANCED);
      text.append(p, e);
      p += e;
      prev = '"';
      continue;
    }
    if (c == '(' || c == '[') {
      ++depth;
    } else if (c == ')' || c == ']') {
      if (--depth < 0) return lexerr("too many ')' or ']'\n", 132);
    }
    text.push_back(c);
    prev = c;
    ++p;
  }
  if (depth > 0) return lexerr("too few ')' or ']'\n", 132);
  *endp = p;
  if (!text.empty() && isopchar(text.back(), matmode) && text.back() != '(') return error(RC_SYNTAX);
  return 0;
}

static int hexval(int c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Hexadecimal float: [+-]1.h{1,13}X[+-]h{1,3}, or 0.0...[X[+-]h{1,3}].
static bool hexnumber(std::string_view s, double* res) {
  size_t i = 0;
  bool neg = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) neg = s[i++] == '-';
  if (i + 1 >= s.size() || (s[i] != '0' && s[i] != '1') || s[i + 1] != '.') return false;
  bool zero = s[i] == '0';
  i += 2;
  size_t d0 = i;
  uint64_t mant = 0;
  while (i < s.size() && hexval(s[i]) >= 0) {
    if (zero && s[i] != '0') return false;
    mant = mant * 16 + static_cast<uint64_t>(hexval(s[i]));
    ++i;
  }
  size_t nd = i - d0;
  if (nd < 1 || nd > 13) return false;
  long e = 0;
  if (i < s.size()) {
    if (s[i] != 'x' && s[i] != 'X') return false;
    ++i;
    if (i >= s.size() || (s[i] != '+' && s[i] != '-')) return false;
    bool eneg = s[i++] == '-';
    size_t e0 = i;
    while (i < s.size() && hexval(s[i]) >= 0) e = e * 16 + hexval(s[i++]);
    if (i != s.size() || i - e0 < 1 || i - e0 > 3 || e > 0x3ff) return false;
    if (eneg) e = -e;
  } else if (!zero) {
    return false;
  }
  double v = zero ? 0.0 : std::ldexp(1.0 + std::ldexp(static_cast<double>(mant), -4 * static_cast<int>(nd)), static_cast<int>(e));
  *res = neg ? -v : v;
  return true;
}

bool xl_number(std::string_view s, double* res) {
  if (s.empty() || s.size() >= 25) return false;
  if (s == ".") {
    *res = misval;
    return true;
  }
  if (s.size() == 2 && s[0] == '.' && s[1] >= 'a' && s[1] <= 'z') {
    *res = misval_k(s[1] - 'a' + 1);
    return true;
  }
  if (s.find_first_of("xX") != std::string_view::npos) return hexnumber(s, res);
  size_t i = 0, nd = 0;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i, ++nd;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i, ++nd;
  }
  if (!nd) return false;
  char buf[32];
  std::memcpy(buf, s.data(), s.size());
  buf[s.size()] = 0;
  if (i < s.size()) {
    if (!std::strchr("eEdD", s[i])) return false;
    buf[i] = 'e';
    ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    size_t e0 = i;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i;
    if (i == e0 || i != s.size()) return false;
  }
  double v = std::strtod(buf, nullptr);
  *res = std::isfinite(v) ? v : misval;
  return true;
}
