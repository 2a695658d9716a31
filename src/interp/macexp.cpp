// Macro expansion of a command line in place: `$name`, `${name}`, local
// references with all their forms (`=exp', `:function', `++name', `*',
// `macval()', `r()' ...), escapes, nesting and the 20-repeat limit. Every
// replaced text is scanned again, so a macro holding references expands them
// (`macval()' is the way to suppress that).
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <cstdio>
#include <string>
#include <string_view>

#include "data/value.h"
#include "expr/expr.h"
#include "interp/interp.h"
#include "interp/macro.h"
#include "interp/program.h"
#include "output/errors.h"
#include "output/output.h"

namespace {

constexpr size_t NPOS = std::string::npos;
constexpr int MAXREPEAT = 20;  // expansions in a row at one place

inline bool namech(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}
inline bool namestart(char c) { return namech(c) && !(c >= '0' && c <= '9'); }

// Byte classes for the scanner: 1 starts a reference or escape anywhere,
// 2 matters only inside a reference (quotes). A table beats a search of the
// stop set for every byte of every line.
struct ScanClass {
  unsigned char c[256] = {};
  constexpr ScanClass() {
    c[static_cast<unsigned char>('`')] = 1;
    c[static_cast<unsigned char>('$')] = 1;
    c[static_cast<unsigned char>('\\')] = 1;
    c[static_cast<unsigned char>('\'')] = 2;
    c[static_cast<unsigned char>('"')] = 2;
  }
};
constexpr ScanClass scanclass;

// Position of the next byte of class <= limit at or after i, or NPOS.
inline size_t nextspecial(const std::string& b, size_t i, int limit) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(b.data());
  const size_t n = b.size();
  for (; i < n; ++i) {
    const unsigned char k = scanclass.c[p[i]];
    if (k && k <= limit) return i;
  }
  return NPOS;
}

// Counts replacements that happen at one position in a row.
struct Repeat {
  size_t pos = NPOS;
  int n = 0;
  // 0, or 920 when the same place was expanded too often.
  int count(size_t at, bool rescanned) {
    if (!rescanned) return 0;
    if (at == pos) {
      if (++n > MAXREPEAT) return error(RC_TOOMANYMACROS);
    } else {
      pos = at;
      n = 1;
    }
    return 0;
  }
};

int xlocal(std::string& b, size_t i, size_t& resume);
int xglobal(std::string& b, size_t i, size_t& resume);

// Replaces b[i, j) with v[0, n) unless the line would reach conslen.
int putvalue(std::string& b, size_t i, size_t j, const char* v, size_t n) {
  if (b.size() - (j - i) + n >= static_cast<size_t>(interp.conslen)) return error(RC_TOOMANYMACROS);
  b.replace(i, j - i, v, n);
  mac.lastvn = n;
  mac.expanded = true;
  return 0;
}

// Handles a backslash at b[i]; returns where scanning continues.
size_t escape(std::string& b, size_t i) {
  const char n = i + 1 < b.size() ? b[i + 1] : 0;
  if (n == '$' || n == '`') {
    b.erase(i, 1);
    mac.expanded = true;
    return i + 1;
  }
  if (n == '\\') {
    const char n2 = i + 2 < b.size() ? b[i + 2] : 0;
    if (interp.version >= 900) {
      if (n2 == '$' || n2 == '`') {
        b.erase(i, 1);  // one backslash stays; the reference after it expands
        mac.expanded = true;
        return i + 1;
      }
      return i + 2;
    }
    b.erase(i, 1);
    mac.expanded = true;
    return i + 1;
  }
  return i + 1;
}

// Scans b from i. At top level (`inref` false) to the end; inside a local
// reference up to its closing quote, whose position goes to `endpos` (NPOS
// when the text ends first). Inner references are expanded on the way.
int scan(std::string& b, size_t i, bool inref, size_t& endpos) {
  Repeat rep;
  int cq = 0;  // open compound quotes inside a reference
  const int limit = inref ? 2 : 1;
  while (true) {
    i = nextspecial(b, i, limit);
    if (i == NPOS) {
      if (inref) mac.tailopen = true;
      endpos = NPOS;
      return 0;
    }
    const char c = b[i];
    const char n = i + 1 < b.size() ? b[i + 1] : 0;
    if (c == '\\') {
      i = escape(b, i);
      continue;
    }
    if (c == '`') {
      if (n == '"') {
        if (inref) ++cq;
        i += 2;
        continue;
      }
      size_t r;
      if (int rc = xlocal(b, i, r)) return rc;
      if (mac.tailopen) {
        endpos = NPOS;
        return 0;
      }
      if (int rc = rep.count(i, r == i && mac.lastvn)) return rc;
      i = r;
      continue;
    }
    if (c == '$') {
      size_t r;
      if (int rc = xglobal(b, i, r)) return rc;
      if (mac.tailopen) {
        endpos = NPOS;
        return 0;
      }
      if (int rc = rep.count(i, r == i && mac.lastvn)) return rc;
      i = r;
      continue;
    }
    // only inside a reference from here
    if (c == '"') {
      if (n == '\'' && cq > 0) {
        --cq;
        i += 2;
      } else {
        ++i;
      }
      continue;
    }
    if (c == '\'') {
      endpos = i;
      return 0;
    }
    ++i;
  }
}

// The positional locals 1, 2, ... joined by blanks, up to the first undefined.
void positional(std::string& res) {
  res.clear();
  char nm[16];
  for (int k = 1;; ++k) {
    int len = std::snprintf(nm, sizeof nm, "%d", k);
    ObjEntry* e = dmfind_local(nm, static_cast<size_t>(len), mac.typelmac);
    if (!e) break;
    if (k > 1) res.push_back(' ');
    res += e->text;
    if (res.size() >= static_cast<size_t>(interp.conslen)) break;
  }
}

bool allname(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s)
    if (!namech(c)) return false;
  return true;
}

// `r(name)', `e(name)', `s(name)' and `c(name)' through the expression
// layer's hooks: numbers as %18.0g, strings as they are, matrices as the
// word matrix; an unknown name expands to nothing.
void savedresult(char cls, const std::string& nm, std::string& res) {
  res.clear();
  double d = 0;
  bool isstr = false, ismat = false;
  if (cls == 'c') {
    if (exhooks.creturn && exhooks.creturn(nm, &d, &res, &isstr) == 0) {
      if (!isstr) macfmtnum(d, res);
    } else if (nm == "rc") {
      res = std::to_string(interp.captrc);
    }
    return;
  }
  if (!exhooks.saved || exhooks.saved(cls, nm, &d, &res, &isstr, &ismat) != 0) {
    res.clear();
    return;
  }
  if (ismat) res = "matrix";
  else if (!isstr) macfmtnum(d, res);
}

// Text of the rest of the innermost foreach list.
void ferest(std::string& res) {
  res.clear();
  if (!mac.felist) return;
  size_t p = mac.fepos;
  while (p < mac.felist->size() && (*mac.felist)[p] == ' ') ++p;
  if (p < mac.felist->size()) res.assign(*mac.felist, p, std::string::npos);
}

// Expands the local reference starting with the back-quote at b[i].
int xlocal(std::string& b, size_t i, size_t& resume) {
  size_t end;
  if (int rc = scan(b, i + 1, true, end)) return rc;
  if (end == NPOS) {  // no closing quote: left as it is
    resume = i + 1;
    return 0;
  }
  std::string_view cv(b.data() + i + 1, end - i - 1);
  std::string scratch;
  const char* v = "";
  size_t vn = 0;
  bool skip = false;
  if (cv.empty()) {
    // `' names nothing and expands to nothing
  } else if (cv[0] == ' ') {
    // no valid name: left as it is, inner references already expanded;
    // scanning goes on after it rather than over it again
    resume = end + 1;
    return 0;
  } else if (cv == "*") {
    positional(scratch);
    v = scratch.data();
    vn = scratch.size();
  } else if (cv[0] == '=') {
    std::string text(cv.substr(1));
    if (int rc = macevalexp(text.c_str(), scratch)) return rc;
    v = scratch.data();
    vn = scratch.size();
  } else if (cv[0] == ':') {
    std::string text(cv.substr(1));
    if (int rc = macextended(text.c_str(), scratch)) return rc;
    v = scratch.data();
    vn = scratch.size();
  } else if (cv[0] == '.') {
    // class expressions belong to the class system, which is not present
  } else if (cv.size() > 2 && (cv.substr(0, 2) == "++" || cv.substr(0, 2) == "--") && allname(cv.substr(2))) {
    std::string nm(1, '_');
    nm += cv.substr(2);
    if (int rc = macincr(nm.c_str(), cv[0] == '+' ? 1 : -1, scratch, true)) return rc;
    v = scratch.data();
    vn = scratch.size();
  } else if (cv.size() > 2 && (cv.substr(cv.size() - 2) == "++" || cv.substr(cv.size() - 2) == "--") &&
             allname(cv.substr(0, cv.size() - 2))) {
    std::string nm(1, '_');
    nm += cv.substr(0, cv.size() - 2);
    if (int rc = macincr(nm.c_str(), cv.back() == '+' ? 1 : -1, scratch, false)) return rc;
    v = scratch.data();
    vn = scratch.size();
  } else if (cv.size() > 8 && cv.substr(0, 7) == "macval(" && cv.back() == ')') {
    std::string_view nm = cv.substr(7, cv.size() - 8);
    if (ObjEntry* e = dmfind_local(nm.data(), nm.size(), mac.typelmac)) {
      scratch = e->text;
      v = scratch.data();
      vn = scratch.size();
    }
    skip = true;
  } else if (cv == "ferest()") {
    ferest(scratch);
    v = scratch.data();
    vn = scratch.size();
  } else if (cv.size() >= 3 && cv[1] == '(' && cv.back() == ')' &&
             (cv[0] == 'r' || cv[0] == 'e' || cv[0] == 's' || cv[0] == 'c')) {
    std::string nm(cv.substr(2, cv.size() - 3));
    savedresult(cv[0], nm, scratch);
    v = scratch.data();
    vn = scratch.size();
  } else if (cv.back() == ']' && cv.find('[') != std::string_view::npos) {
    size_t lb = cv.find('[');
    std::string var(cv.substr(0, lb)), chr(cv.substr(lb + 1, cv.size() - lb - 2));
    macchar(var.c_str(), chr.c_str(), scratch);
    v = scratch.data();
    vn = scratch.size();
  } else if (allname(cv)) {
    size_t len = cv.size() > MACNAMELEN - 1 ? MACNAMELEN - 1 : cv.size();
    if (ObjEntry* e = dmfind_local(cv.data(), len, mac.typelmac)) {
      v = e->text.data();
      vn = e->text.size();
    }
  } else {
    resume = end + 1;  // no valid name, as above
    return 0;
  }
  if (int rc = putvalue(b, i, end + 1, v, vn)) return rc;
  resume = skip ? i + vn : i;
  return 0;
}

void datetime(bool date, std::string& res) {
  static const char* const mon[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                    "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  std::time_t t = std::time(nullptr);
  std::tm tmv;
  localtime_r(&t, &tmv);
  char buf[32];
  if (date) std::snprintf(buf, sizeof buf, "%2d %s %d", tmv.tm_mday, mon[tmv.tm_mon], tmv.tm_year + 1900);
  else std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", tmv.tm_hour, tmv.tm_min, tmv.tm_sec);
  res = buf;
}

// Expands the global reference starting with the dollar at b[i].
int xglobal(std::string& b, size_t i, size_t& resume) {
  size_t j, ns, ne;  // end of the reference; name start and end
  if (i + 1 < b.size() && b[i + 1] == '{') {
    Repeat rep;
    size_t k = i + 2;
    int depth = 1;
    while (true) {
      if (k >= b.size()) {
        mac.tailopen = true;
        resume = i + 1;
        return 0;
      }
      const char c = b[k];
      if (c == '`' && !(k + 1 < b.size() && b[k + 1] == '"')) {
        size_t r;
        if (int rc = xlocal(b, k, r)) return rc;
        if (mac.tailopen) {
          resume = i + 1;
          return 0;
        }
        if (int rc = rep.count(k, r == k && mac.lastvn)) return rc;
        k = r;
        continue;
      }
      if (c == '$') {
        size_t r;
        if (int rc = xglobal(b, k, r)) return rc;
        if (mac.tailopen) {
          resume = i + 1;
          return 0;
        }
        if (int rc = rep.count(k, r == k && mac.lastvn)) return rc;
        k = r;
        continue;
      }
      if (c == '{') ++depth;
      if (c == '}' && --depth == 0) break;
      ++k;
    }
    ns = i + 2;
    ne = k;
    j = k + 1;
    if (ne == ns || !namestart(b[ns])) {
      resume = i + 1;
      return 0;
    }
    for (size_t q = ns; q < ne; ++q)
      if (!namech(b[q])) {
        resume = i + 1;
        return 0;
      }
  } else {
    if (i + 1 >= b.size() || !namestart(b[i + 1])) {
      resume = i + 1;
      return 0;
    }
    ns = i + 1;
    ne = ns;
    while (ne < b.size() && namech(b[ne]) && ne - ns < MACNAMELEN) ++ne;
    j = ne;
  }
  char nm[MACNAMELEN + 2];
  size_t len = ne - ns > MACNAMELEN ? MACNAMELEN : ne - ns;
  std::memcpy(nm, b.data() + ns, len);
  nm[len] = 0;
  std::string scratch;
  const char* v = "";
  size_t vn = 0;
  if (!std::strcmp(nm, "S_DATE") || !std::strcmp(nm, "S_TIME")) {
    datetime(nm[2] == 'D', scratch);
    v = scratch.data();
    vn = scratch.size();
  } else if (ObjEntry* e = dmfind(nm, OBJ_GLOBAL)) {
    v = e->text.data();
    vn = e->text.size();
  }
  if (int rc = putvalue(b, i, j, v, vn)) return rc;
  resume = i;
  return 0;
}

}  // namespace

int macexpand(std::string& line) {
  mac.expanded = false;
  if (nextspecial(line, 0, 1) == NPOS) return 0;
  size_t end;
  const bool outer = mac.tailopen;  // expansion can nest (extended functions)
  mac.tailopen = false;
  int rc = scan(line, 0, false, end);
  mac.tailopen = outer;
  // a traced program line that expansion changed is shown again, expanded
  if (!rc && mac.expanded && interp.trace && interp.runprog) trace_expanded(line);
  return rc;
}

// Reads a plain decimal literal (sign, digits, point, exponent) at p.
bool macliteral(const char*& p, double& v) {
  const char* s = p;
  const char* q = p;
  if (*q == '-' || *q == '+') ++q;
  const char* digits = q;
  // Up to 15 digits with no point or exponent: an integer the double holds
  // exactly, read in the one pass that finds its end.
  uint64_t u = 0;
  while (*q >= '0' && *q <= '9') u = u * 10 + static_cast<uint64_t>(*q++ - '0');
  if (q != digits && q - digits <= 15 && *q != '.' && *q != 'e' && *q != 'E') {
    v = static_cast<double>(u);
    if (*s == '-') v = -v;
    p = q;
    return true;
  }
  q = digits;
  while ((*q >= '0' && *q <= '9') || *q == '.') ++q;
  if (q == digits || (q == digits + 1 && *digits == '.')) return false;
  if (*q == 'e' || *q == 'E') {
    ++q;
    if (*q == '-' || *q == '+') ++q;
    if (!(*q >= '0' && *q <= '9')) return false;
    while (*q >= '0' && *q <= '9') ++q;
  }
  char* e;
  v = std::strtod(s, &e);
  if (e != q) return false;
  p = q;
  return true;
}

bool macbinop(double a, char op, double b, double& v) {
  if (a >= misval || b >= misval) return false;
  switch (op) {
    case '+': v = a + b; break;
    case '-': v = a - b; break;
    case '*': v = a * b; break;
    default:
      if (b == 0) return false;
      v = a / b;
  }
  return std::isfinite(v) && v < misval;
}

namespace {

// `a op b` between two literal numbers (the loop-counter case) is computed
// here without compiling. True when done.
bool literalop(const char* p, double& v) {
  while (*p == ' ') ++p;
  double a, b;
  if (!macliteral(p, a)) return false;
  while (*p == ' ') ++p;
  const char op = *p;
  if (op != '+' && op != '-' && op != '*' && op != '/') return false;
  ++p;
  while (*p == ' ') ++p;
  if (!macliteral(p, b)) return false;
  while (*p == ' ') ++p;
  if (*p) return false;
  return macbinop(a, op, b, v);
}

}  // namespace

int macevalexp(const char* text, std::string& res) {
  double v;
  if (literalop(text, v)) {
    macfmtnum(v, res);
    return 0;
  }
  static ExprProg prog;  // reused so the evaluation path does not allocate
  if (int rc = compexp_u(text, prog, EXP_NUMSTR)) return rc;
  if (prog.type == EXP_STR) {
    evalstr(prog, 1, res);
  } else {
    macfmtnum(evalnum(prog, 1), res);
  }
  return 0;
}
