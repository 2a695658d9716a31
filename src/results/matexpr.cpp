// Matrix expressions: a recursive-descent parser that evaluates as it goes.
// Scalar parts (numbers, named scalars, r()/e() scalars and any expression
// in parentheses that is not a matrix expression) go to the expression
// compiler. Failures leave through one private exception caught only in
// matexp_eval, so the caller's target is never touched.
//
//   expr    -> coljoin ('\' coljoin)*
//   coljoin -> sum (',' sum)*
//   sum     -> prod (('+'|'-') prod)*
//   prod    -> kron (('*'|'/') kron)*
//   kron    -> unary ('#' unary)*
//   unary   -> '-' unary | power
//   power   -> postfix ('^' unary)?          (scalars only)
//   postfix -> primary ("'" | '[' rows ',' cols ']')*
//   primary -> number | name | name '(' args ')' | '(' expr ')' | '[' eq ']' name
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "data/value.h"
#include "expr/expr.h"
#include "expr/funcs.h"
#include "interp/interp.h"
#include "output/errors.h"
#include "results/matrix.h"

namespace {

// The private exit: rc is the code (already printed unless syntax is set).
struct MatErr {
  int rc;
  bool syntax;
};

[[noreturn]] void fail(int rc) { throw MatErr{rc, false}; }
[[noreturn]] void failsyntax() { throw MatErr{198, true}; }
void chk(int rc) {
  if (rc) fail(rc);
}

// Nesting bound: every level of parentheses, function arguments and signs
// passes through Parser::unary once and holds a few frames of values on the
// machine stack, so the depth is capped well inside the stack, as the
// expression compiler caps its own (r(130), expression too complex).
constexpr int MATEXPR_MAXNEST = 500;

// A value: a matrix, or a scalar (held as a 1 x 1 matrix).
// A named matrix is borrowed, not copied, until something would change it:
// a product of two stored matrices then reads both in place.
struct Val {
  Matrix m;                      // the value, unless ref is set
  const Matrix* ref = nullptr;   // a stored matrix read in place
  bool scalar = false;
  bool dflt = false;  // built from numbers: its stripes are renumbered r1.. c1..
  const Matrix& c() const { return ref ? *ref : m; }
  Matrix& mut() {
    if (ref) m = *ref, ref = nullptr;
    return m;
  }
};

Val scal(double d) {
  Val v;
  v.m = mat_make(1, 1, d);
  v.scalar = true;
  v.dflt = true;
  return v;
}

bool namech(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

struct Parser {
  const std::string& s;
  size_t p = 0;

  void blanks() {
    while (p < s.size() && s[p] == ' ') ++p;
  }
  char peek() {
    blanks();
    return p < s.size() ? s[p] : 0;
  }
  bool accept(char c) {
    if (peek() != c) return false;
    ++p;
    return true;
  }
  // The text from `from` to the matching close of the bracket at `from`.
  size_t matching(size_t from) {
    int depth = 0;
    bool quote = false;
    for (size_t i = from; i < s.size(); ++i) {
      char c = s[i];
      if (c == '"') quote = !quote;
      if (quote) continue;
      if (c == '(' || c == '[') ++depth;
      else if (c == ')' || c == ']') {
        if (--depth == 0) return i;
      }
    }
    failsyntax();
  }
  std::string name() {
    blanks();
    size_t b = p;
    while (p < s.size() && namech(s[p])) ++p;
    return s.substr(b, p - b);
  }

  // A scalar expression's value (compiled and evaluated at observation 1).
  static double scalarof(const std::string& text) {
    ExprProg prog;
    int rc = compexp_u(text.c_str(), prog, EXP_NUM);
    if (rc) fail(rc);
    return evalnum(prog, 1);
  }
  static double scalararg(const Val& v) {
    if (v.c().rows != 1 || v.c().cols != 1) fail(error(RC_CONFORM));
    return v.c().v[0];
  }

  Val expr() {
    Val a = coljoin();
    while (accept('\\')) {
      Val b = coljoin();
      Val r;
      chk(mat_join(a.c(), b.c(), true, r.m));
      r.dflt = a.dflt && b.dflt;
      if (r.dflt) mat_defnames(r.m.rnames, r.m.rows, 'r');
      a = std::move(r);
    }
    return a;
  }
  Val coljoin() {
    Val a = sum();
    while (accept(',')) {
      Val b = sum();
      Val r;
      chk(mat_join(a.c(), b.c(), false, r.m));
      r.dflt = a.dflt && b.dflt;
      if (r.dflt) mat_defnames(r.m.cnames, r.m.cols, 'c');
      a = std::move(r);
    }
    return a;
  }
  Val sum() {
    Val a = prod();
    for (;;) {
      char c = peek();
      if (c != '+' && c != '-') return a;
      ++p;
      Val b = prod();
      Val r;
      chk(mat_add(a.c(), b.c(), c == '+' ? 1 : -1, r.m));
      r.scalar = a.scalar && b.scalar;
      a = std::move(r);
    }
  }
  Val prod() {
    Val a = kron();
    for (;;) {
      char c = peek();
      if (c != '*' && c != '/') return a;
      ++p;
      Val b = kron();
      Val r;
      if (c == '/') {
        if (!b.scalar && (b.c().rows != 1 || b.c().cols != 1)) fail(error(RC_CONFORM));
        double d = b.c().v[0];
        r = a;
        for (double& x : r.mut().v) x = x >= misval || d >= misval || d == 0 ? misval : x / d;
      } else {
        if (a.scalar && !b.scalar) {
          r = b;
          mat_scale(r.mut(), a.c().v[0]);
        } else if (b.scalar && !a.scalar) {
          r = a;
          mat_scale(r.mut(), b.c().v[0]);
        } else {
          chk(mat_mul(a.c(), b.c(), r.m));
        }
        r.scalar = a.scalar && b.scalar;
      }
      a = std::move(r);
    }
  }
  Val kron() {
    Val a = unary();
    while (accept('#')) {
      Val b = unary();
      Val r;
      chk(mat_kron(a.c(), b.c(), r.m));
      a = std::move(r);
    }
    return a;
  }
  Val unary() {
    struct Nest {
      Nest() {
        if (++res.matexpr_nest > MATEXPR_MAXNEST) {
          --res.matexpr_nest;
          fail(error(RC_EXPTOOLONG));
        }
      }
      ~Nest() { --res.matexpr_nest; }
    } level;
    if (accept('-')) {
      Val a = unary();
      for (double& x : a.mut().v)
        if (x < misval) x = -x;
      return a;
    }
    if (accept('+')) return unary();
    return power();
  }
  Val power() {
    Val a = postfix();
    if (accept('^')) {
      Val b = unary();
      if (!a.scalar || !b.scalar) fail(error(RC_MATCONTEXT));
      double x = a.c().v[0], y = b.c().v[0];
      return scal(x >= misval || y >= misval ? misval : std::pow(x, y));
    }
    return a;
  }
  Val postfix() {
    Val a = primary();
    for (;;) {
      if (accept('\'')) {
        Val r;
        mat_transpose(a.c(), r.m);
        r.scalar = a.scalar;
        a = std::move(r);
      } else if (peek() == '[') {
        size_t e = matching(p);
        std::string inner = s.substr(p + 1, e - p - 1);
        p = e + 1;
        a = subscript(a, inner);
      } else {
        return a;
      }
    }
  }

  // One side of a subscript: "a", "a..b", "a..." (to the end), or stripe
  // names in quotes; 0-based first and last positions.
  void range(const std::string& sub, const std::vector<std::string>& names, int n, int& lo,
             int& hi) {
    std::string a = sub, b;
    bool toend = false;
    size_t dd = std::string::npos;
    bool q = false;
    for (size_t i = 0; i + 1 < sub.size(); ++i) {
      if (sub[i] == '"') q = !q;
      if (!q && sub[i] == '.' && sub[i + 1] == '.') {
        dd = i;
        break;
      }
    }
    if (dd != std::string::npos) {
      a = sub.substr(0, dd);
      b = sub.substr(dd + 2);
      if (b == ".") toend = true, b.clear();
      else if (b.empty()) failsyntax();
    }
    auto pos = [&](std::string t, bool last) {
      size_t i = t.find_first_not_of(' ');
      size_t j = t.find_last_not_of(' ');
      if (i == std::string::npos) failsyntax();
      t = t.substr(i, j - i + 1);
      if (t.size() >= 2 && t.front() == '"' && t.back() == '"') {
        std::string nm = t.substr(1, t.size() - 2);
        int k = mat_stripefind(names, nm);
        if (k < 0) fail(errmsgf(RC_NOTFOUND, "%s not found\n", nm.c_str()));
        // an equation name covers all its elements
        if (!nm.empty() && nm.back() == ':' && last) {
          while (k + 1 < n && names[static_cast<size_t>(k + 1)].compare(0, nm.size(), nm) == 0) ++k;
        }
        return k;
      }
      double d = scalarof(t);
      if (d >= misval || d != std::trunc(d) || d < 1 || d > n) fail(error(RC_CONFORM));
      return static_cast<int>(d) - 1;
    };
    lo = pos(a, dd == std::string::npos);
    if (dd == std::string::npos) {
      hi = lo;
      if (!a.empty() && a.back() == '"' && a.size() > 2 && a[a.size() - 2] == ':') hi = pos(a, true);
    } else {
      hi = toend ? n - 1 : pos(b, true);
    }
    if (hi < lo) fail(error(RC_CONFORM));
  }

  Val subscript(const Val& a, const std::string& inner) {
    // split at the comma at depth zero
    int depth = 0;
    bool q = false;
    size_t comma = std::string::npos;
    for (size_t i = 0; i < inner.size(); ++i) {
      char c = inner[i];
      if (c == '"') q = !q;
      if (q) continue;
      if (c == '(' || c == '[') ++depth;
      else if (c == ')' || c == ']') --depth;
      else if (c == ',' && depth == 0) {
        if (comma != std::string::npos) failsyntax();
        comma = i;
      }
    }
    if (comma == std::string::npos) failsyntax();
    int r0, r1, c0, c1;
    const Matrix& am = a.c();
    range(inner.substr(0, comma), am.rnames, am.rows, r0, r1);
    range(inner.substr(comma + 1), am.cnames, am.cols, c0, c1);
    Val r;
    r.m = mat_make(r1 - r0 + 1, c1 - c0 + 1);
    for (int i = r0; i <= r1; ++i)
      for (int j = c0; j <= c1; ++j) r.m.at(i - r0, j - c0) = am.at(i, j);
    r.m.rnames.assign(am.rnames.begin() + r0, am.rnames.begin() + r1 + 1);
    r.m.cnames.assign(am.cnames.begin() + c0, am.cnames.begin() + c1 + 1);
    return r;
  }

  // The comma-separated arguments of a call as texts.
  std::vector<std::string> splitargs(const std::string& t) {
    std::vector<std::string> out;
    int depth = 0;
    bool q = false;
    size_t b = 0;
    for (size_t i = 0; i < t.size(); ++i) {
      char c = t[i];
      if (c == '"') q = !q;
      if (q) continue;
      if (c == '(' || c == '[') ++depth;
      else if (c == ')' || c == ']') --depth;
      else if (c == ',' && depth == 0) out.push_back(t.substr(b, i - b)), b = i + 1;
    }
    out.push_back(t.substr(b));
    if (out.size() == 1 && out[0].find_first_not_of(' ') == std::string::npos) out.clear();
    return out;
  }
  static Val sub(const std::string& text) {
    Parser q{text};
    Val v = q.expr();
    if (q.peek()) failsyntax();
    return v;
  }
  static double subscalar(const std::string& text) { return scalararg(sub(text)); }
  static const Matrix& needmat(const std::string& nm) {
    const Matrix* m = mat_find(nm);
    if (!m) fail(matnotfound(nm.c_str()));
    return *m;
  }

  // A function of the matrix table; false when fn is not one.
  bool matfunc(const std::string& fn, const std::string& argtext, Val& out) {
    static const char* const names[] = {"I", "J", "diag", "vecdiag", "inv", "invsym", "syminv",
                                        "cholesky", "sweep", "corr", "hadamard", "vec",
                                        "matuniform", "get", "nullmat"};
    bool known = false;
    for (const char* n : names) known = known || fn == n;
    if (!known) return false;
    auto args = splitargs(argtext);
    auto want = [&](size_t n) {
      if (args.size() != n) failsyntax();
    };
    auto dim = [&](const std::string& t) {
      double d = subscalar(t);
      if (d >= misval || d < 1 || d != std::trunc(d)) fail(error(RC_CONFORM));
      if (d > interp.matsize) fail(error(RC_MATSIZE));
      return static_cast<int>(d);
    };
    Matrix& r = out.m;
    if (fn == "I") {
      want(1);
      int n = dim(args[0]);
      r = mat_make(n, n);
      for (int i = 0; i < n; ++i) r.at(i, i) = 1;
      r.sym = true;
    } else if (fn == "J") {
      want(3);
      int a = dim(args[0]), b = dim(args[1]);
      r = mat_make(a, b, subscalar(args[2]));
      r.sym = a == b;
    } else if (fn == "matuniform") {
      want(2);
      int a = dim(args[0]), b = dim(args[1]);
      r = mat_make(a, b);
      for (double& x : r.v) x = scalarof("uniform()");
    } else if (fn == "get") {
      want(1);
      std::string nm = args[0];
      nm.erase(0, nm.find_first_not_of(' '));
      nm.erase(nm.find_last_not_of(' ') + 1);
      const Matrix* m = nullptr;
      if (nm == "_b") m = res.e.matrix("b");
      else if (nm == "VCE") m = res.e.matrix("V");
      if (!m) fail(errmsgf(RC_NOTFOUND, "matrix %s not found\n", nm.c_str()));
      r = *m;
    } else if (fn == "nullmat") {
      want(1);
      std::string nm = args[0];
      nm.erase(0, nm.find_first_not_of(' '));
      nm.erase(nm.find_last_not_of(' ') + 1);
      const Matrix* m = mat_find(nm);
      r = m ? *m : Matrix{};
    } else if (fn == "sweep") {
      want(2);
      Val a = sub(args[0]);
      double k = subscalar(args[1]);
      if (k >= misval || k != std::trunc(k)) fail(error(RC_CONFORM));
      chk(mat_sweep(a.c(), static_cast<int>(k), r));
    } else if (fn == "hadamard") {
      want(2);
      Val a = sub(args[0]), b = sub(args[1]);
      if (a.c().rows != b.c().rows || a.c().cols != b.c().cols) fail(error(RC_CONFORM));
      r = a.c();
      for (size_t i = 0; i < r.v.size(); ++i) {
        double x = a.c().v[i], y = b.c().v[i];
        r.v[i] = x >= misval || y >= misval ? misval : x * y;
      }
    } else {
      want(1);
      Val a = sub(args[0]);
      const Matrix& m = a.c();
      if (fn == "inv") chk(mat_inv(m, r));
      else if (fn == "invsym" || fn == "syminv") chk(mat_invsym(m, r, (fn + "()").c_str()));
      else if (fn == "cholesky") chk(mat_cholesky(m, r));
      else if (fn == "corr") chk(mat_corr(m, r));
      else if (fn == "diag") {
        if (m.rows != 1 && m.cols != 1) fail(error(RC_CONFORM));
        int n = std::max(m.rows, m.cols);
        chk(mat_chksize(n, n));
        r = mat_make(n, n);
        for (int i = 0; i < n; ++i) r.at(i, i) = m.v[static_cast<size_t>(i)];
        r.rnames = r.cnames = m.rows == 1 ? m.cnames : m.rnames;
        r.sym = true;
      } else if (fn == "vecdiag") {
        if (m.rows != m.cols) fail(error(RC_CONFORM));
        r = mat_make(1, m.rows);
        for (int i = 0; i < m.rows; ++i) r.v[static_cast<size_t>(i)] = m.at(i, i);
        r.cnames = m.cnames;
      } else if (fn == "vec") {
        long n = static_cast<long>(m.rows) * m.cols;
        if (n > interp.matsize) fail(error(RC_MATSIZE));
        r = mat_make(static_cast<int>(n), 1);
        for (int j = 0; j < m.cols; ++j)
          for (int i = 0; i < m.rows; ++i) {
            r.v[static_cast<size_t>(j * m.rows + i)] = m.at(i, j);
            r.rnames[static_cast<size_t>(j * m.rows + i)] =
                m.cnames[static_cast<size_t>(j)] + ":" + m.rnames[static_cast<size_t>(i)];
          }
      }
    }
    return true;
  }

  Val primary() {
    char c = peek();
    if (!c) failsyntax();
    if (c == '(') {
      size_t e = matching(p);
      std::string inner = s.substr(p + 1, e - p - 1);
      size_t start = p;
      p = e + 1;
      try {
        return sub(inner);
      } catch (const MatErr& err) {
        if (!err.syntax) throw;
      }
      // not a matrix expression: a scalar one
      return scal(scalarof(s.substr(start, e - start + 1)));
    }
    if ((c >= '0' && c <= '9') || c == '.') {
      const char* b = s.c_str() + p;
      char* end = nullptr;
      double d = std::strtod(b, &end);
      if (end == b) {
        // missing-value literals . .a ... .z
        if (*b == '.') {
          size_t k = 1;
          if (b[1] >= 'a' && b[1] <= 'z') k = 2;
          p += k;
          return scal(k == 1 ? misval : misval_k(b[1] - 'a' + 1));
        }
        failsyntax();
      }
      p += static_cast<size_t>(end - b);
      return scal(d);
    }
    if (c == '[') {
      // [eq]name: a coefficient, through the scalar compiler
      size_t e = matching(p);
      size_t start = p;
      p = e + 1;
      name();
      return scal(scalarof(s.substr(start, p - start)));
    }
    if (c == '"') failsyntax();
    size_t start = p;
    std::string nm = name();
    if (nm.empty()) failsyntax();
    if (nm[0] >= '0' && nm[0] <= '9') failsyntax();
    if (p < s.size() && s[p] == '(') {
      size_t e = matching(p);
      std::string inner = s.substr(p + 1, e - p - 1);
      p = e + 1;
      if ((nm == "r" || nm == "e") && res_store(nm[0]).matrix(inner)) {
        Val v;
        v.ref = res_store(nm[0]).matrix(inner);
        return v;
      }
      Val v;
      if (matfunc(nm, inner, v)) return v;
      return scal(scalarof(s.substr(start, p - start)));
    }
    if (p < s.size() && s[p] == '[' && !mat_find(nm)) {
      // _b[name], _se[name]: scalar
      size_t e = matching(p);
      p = e + 1;
      return scal(scalarof(s.substr(start, p - start)));
    }
    if (const Matrix* m = mat_find(nm)) {
      Val v;
      v.ref = m;
      return v;
    }
    if (const NamedScalar* sc = scalar_find(nm)) {
      if (sc->isstr) fail(error(RC_TYPEMISMATCH));
      return scal(sc->d);
    }
    fail(matnotfound(nm.c_str()));
  }
};

}  // namespace

int matexp_eval(const std::string& text, Matrix& out) {
  try {
    Parser mp{text};
    Val v = mp.expr();
    if (mp.peek()) failsyntax();
    if (v.c().rows > interp.matsize || v.c().cols > interp.matsize) fail(error(RC_MATSIZE));
    Matrix& m = v.mut();
    if (m.rnames.size() != static_cast<size_t>(m.rows)) mat_defnames(m.rnames, m.rows, 'r');
    if (m.cnames.size() != static_cast<size_t>(m.cols)) mat_defnames(m.cnames, m.cols, 'c');
    out = std::move(m);
    return 0;
  } catch (const MatErr& e) {
    if (e.syntax) return error(RC_SYNTAX);
    return e.rc;
  }
}
