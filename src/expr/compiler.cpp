// The expression compiler: splits the blank-free expression text at its
// loosest operator, recursively, and emits postfix code with a type stack
// mirroring the evaluation stack. Names are resolved once, here. Errors
// leave through one private exception caught only in compile_text, which
// undoes the literal tables and returns the code.
#include <algorithm>
#include <cctype>
#include <cfloat>
#include <cstdlib>
#include <cmath>
#include <cstring>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "data/chars.h"
#include "data/store.h"
#include "data/varlist.h"
#include "expr/expr.h"
#include "expr/exprint.h"
#include "expr/opcodes.h"
#include "interp/tokenizer.h"
#include "output/errors.h"
#include "output/format.h"
#include "output/output.h"

ExprState ex;

namespace {

int h_scalar(const std::string&, double*, std::string*, bool*) { return 1; }
int h_saved(char, const std::string&, double*, std::string*, bool*, bool*) { return 1; }
int h_creturn(const std::string&, double*, std::string*, bool*) { return 1; }
int h_coef(bool, const std::string&, const std::string&, double*) { return 1; }
int h_matrix(const std::string&) { return 1; }
int h_matel(const std::string&, double, double, double*) { return 1; }
int h_vlabel(const std::string&, const std::string&, double*) { return 1; }
int h_esample() { return 0; }
bool h_charget(const std::string& owner, const std::string& name, std::string* res) {
  const std::string* v = charget(owner.c_str(), name.c_str());
  if (!v) return false;
  *res = *v;
  return true;
}
int h_fmtnum(double v, const std::string& fmt, std::string* out);
// Until the interpreter installs its own: the current language, no capture.
int h_version() { return 920; }
int h_captrc() { return 0; }

}  // namespace

ExprHooks exhooks = {h_scalar, h_saved,  h_creturn, h_coef,    h_matrix,
                     h_matel,  h_vlabel, h_esample, h_charget, h_fmtnum, nullptr,
                     h_version, h_captrc};

namespace {

// A number in a display format, for string(); only numeric and date
// formats are valid there.
int h_fmtnum(double v, const std::string& fmt, std::string* out) {
  if (chkfmt(fmt.c_str(), 1)) return 1;
  out->assign(sreforms(fmt.c_str(), v));
  return 0;
}

struct CompErr {
  int rc;
};

// Prints msg at the error level, then leaves with rc.
[[noreturn]] void failmsg(const std::string& msg, int rc) {
  int prev = setoutlev(OUT_ERROR);
  spout21(msg.c_str());
  setoutlev(prev);
  throw CompErr{rc};
}
[[noreturn]] void failstd(int rc) { throw CompErr{error(rc)}; }

enum : int { T_NUM = 0, T_STR = 1, T_MAT = 2 };

struct Comp {
  ExprProg* pg = nullptr;
  bool matmode = false;   // `,` `\` `#` `'` are operators
  bool matok = false;     // matrix operands allowed
  bool vars = true;       // variable names are looked up
  bool inmissing = false; // inside missing()
  bool anystr = false;    // a string was ever pushed
  int depth = 0, nstr = 0, nmat = 0;
  int nest = 0;           // comp() calls in progress
};
Comp C;

// Nesting of the compiler's recursion (parentheses, unary operators, calls,
// operators of different precedence): deeper text fails with r(130)
// "expression too long" before it can exhaust the machine stack. An
// expression nested this deep would need more code words than a program
// holds in all but the parenthesised cases.
constexpr int EXPR_MAXNEST = 1000;

// Appends a code word; the code has room for EXPR_MAXCODE words.
void emit(int op) {
  if (C.pg->code.size() >= EXPR_MAXCODE) failstd(RC_EXPTOOLONG);
  C.pg->code.push_back(static_cast<uint16_t>(op));
}
// Appends an instruction with its operand word.
void emit2(int op, int operand) {
  emit(op);
  emit(operand);
}
// Records a push of type t on the type stack and checks the stack limits.
void tpush(int t) {
  ++C.depth;
  if (t == T_STR) ++C.nstr, C.anystr = true;
  if (t == T_MAT) ++C.nmat;
  if (C.depth > EXPR_MAXDEPTH || C.nstr > EXPR_MAXSTRS || C.nmat > EXPR_MAXMATS) failstd(RC_EXPTOOLONG);
  if (C.depth > C.pg->maxdepth) C.pg->maxdepth = C.depth;
}
// Records a pop of type t.
void tpop(int t) {
  --C.depth;
  if (t == T_STR) --C.nstr;
  if (t == T_MAT) --C.nmat;
}

// Adds a numeric literal (reused when equal bit for bit); returns its 1-based number.
int addlit(double d) {
  auto same = [d](double x) { return std::memcmp(&x, &d, sizeof d) == 0; };
  bool known = false;
  for (double x : ex.numlits) known |= same(x);
  if (!known) {
    if (ex.numlits.size() >= EXPR_MAXLITS) failmsg("too many literals\n", RC_EXPTOOLONG);
    ex.numlits.push_back(d);
  }
  auto& L = C.pg->lits;
  for (size_t i = 0; i < L.size(); ++i)
    if (same(L[i])) return static_cast<int>(i + 1);
  L.push_back(d);
  return static_cast<int>(L.size());
}

// Offset of s in a NUL-separated pool, appending it when absent; -1 when full.
int poolfind(std::vector<char>& pool, std::string_view s, bool add) {
  for (size_t i = 0; i < pool.size();) {
    size_t n = std::strlen(&pool[i]);
    if (n == s.size() && !std::memcmp(&pool[i], s.data(), n)) return static_cast<int>(i);
    i += n + 1;
  }
  if (!add) return -1;
  if (pool.size() + s.size() + 1 > EXPR_MAXPOOL) return -2;
  int off = static_cast<int>(pool.size());
  pool.insert(pool.end(), s.begin(), s.end());
  pool.push_back(0);
  return off;
}

// Adds a string literal to the command's pool and the program's; returns its offset.
int addstr(std::string_view s) {
  if (s.size() > EXPR_STRMAX) s = s.substr(0, EXPR_STRMAX);
  if (poolfind(ex.strpool, s, true) == -2) failmsg("too many literals\n", RC_EXPTOOLONG);
  int off = poolfind(C.pg->pool, s, true);
  if (off < 0) failmsg("too many literals\n", RC_EXPTOOLONG);
  return off;
}

// Emits a numeric literal.
void pushnum(double d) {
  emit2(XO_LIT, addlit(d));
  tpush(T_NUM);
}
// Emits a string literal.
void pushstr(std::string_view s) {
  emit2(XO_SLIT, addstr(s));
  tpush(T_STR);
}

// Marks of the span: top[i] is true when s[i] lies outside quotes and brackets.
std::vector<char> toplevel(std::string_view s) {
  std::vector<char> top(s.size(), 0);
  int depth = 0;
  for (size_t i = 0; i < s.size();) {
    char c = s[i];
    if (c == '"' || (c == '`' && i + 1 < s.size() && s[i + 1] == '"')) {
      size_t e = xl_quoteend(s, i);
      if (e == std::string_view::npos) e = s.size();
      i = e;
      continue;
    }
    if (c == '(' || c == '[') {
      top[i] = depth == 0;
      ++depth;
    } else if (c == ')' || c == ']') {
      --depth;
      top[i] = depth == 0;
    } else {
      top[i] = depth == 0;
    }
    ++i;
  }
  return top;
}

bool hexdig(int c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// True when the sign at s[i] belongs to a decimal or hexadecimal exponent.
bool exponentsign(std::string_view s, size_t i) {
  if (i < 2) return false;
  char e = s[i - 1];
  size_t k = i - 1;
  if (e == 'e' || e == 'E' || e == 'd' || e == 'D') {
    int nd = 0, np = 0;
    while (k > 0 && ((s[k - 1] >= '0' && s[k - 1] <= '9') || s[k - 1] == '.')) {
      --k;
      (s[k] == '.' ? np : nd)++;
    }
    if (!nd || np > 1) return false;
    return k == 0 || !(xl_namechar(s[k - 1]) || s[k - 1] == '.');
  }
  if (e == 'x' || e == 'X') {
    int np = 0, nd = 0;
    while (k > 0 && (hexdig(s[k - 1]) || s[k - 1] == '.')) {
      --k;
      (s[k] == '.' ? np : nd)++;
    }
    if (!nd || np > 1 || (s[k] != '0' && s[k] != '1')) return false;
    return k == 0 || !(xl_namechar(s[k - 1]) || s[k - 1] == '.');
  }
  return false;
}

// Position of the rightmost occurrence of binary operator op in s (outside
// quotes and brackets, not at the first character), or npos.
size_t findop(std::string_view s, const std::vector<char>& top, std::string_view op) {
  size_t n = s.size(), L = op.size();
  if (n < L + 1) return std::string_view::npos;
  for (size_t i = n - L; i >= 1; --i) {
    if (!top[i] || s.compare(i, L, op) != 0) continue;
    if (L == 2 && !top[i + 1]) continue;
    char nx = i + L < n ? s[i + L] : 0;
    if (L == 1) {
      char c = op[0];
      if ((c == '<' || c == '>') && nx == '=') continue;
      if ((c == '+' || c == '-')) {
        char pv = s[i - 1];
        if (std::strchr("-+*/^#", pv)) continue;
        if (exponentsign(s, i)) continue;
      }
    }
    if (op == "==" && (std::strchr("<>!~=", s[i - 1]))) continue;
    return i;
  }
  return std::string_view::npos;
}

// The binary operators by precedence, loosest first (ORDER binop's tables
// need not follow it). Every operator is left-associative, and each binds
// tighter than all before it in the list.
constexpr const char* binops[] = {"|", "&", "==", ">=", "<=", "<", ">", "!=", "~=", "+", "-", "*", "/"};
constexpr int NBINOPS = 13;

// The index of operator op in binops (a compile-time lookup).
consteval int binop(std::string_view op) {
  for (int k = 0; k < NBINOPS; ++k)
    if (op == binops[k]) return k;
  throw "not a binary operator";
}

// The binary operator (index into binops) that begins at s[i], or -1: an
// operator outside quotes and brackets, not at the first character; `<` and
// `>` not followed by `=`; `==` not after `<>!~=`; `+` and `-` not after
// another operator and not in a number's exponent.
int opat(std::string_view s, const std::vector<char>& top, size_t i) {
  const size_t n = s.size();
  if (i < 1 || i >= n || !top[i]) return -1;
  const char c = s[i], nx = i + 1 < n ? s[i + 1] : 0;
  if (nx == '=' && top[i + 1]) {
    switch (c) {
      case '=': return std::strchr("<>!~=", s[i - 1]) ? -1 : binop("==");
      case '>': return binop(">=");
      case '<': return binop("<=");
      case '!': return binop("!=");
      case '~': return binop("~=");
      default: break;
    }
  }
  switch (c) {
    case '|': return binop("|");
    case '&': return binop("&");
    case '<': return nx == '=' ? -1 : binop("<");
    case '>': return nx == '=' ? -1 : binop(">");
    case '+': case '-':
      if (std::strchr("-+*/^#", s[i - 1]) || exponentsign(s, i)) return -1;
      return c == '+' ? binop("+") : binop("-");
    case '*': return binop("*");
    case '/': return binop("/");
    default: return -1;
  }
}

// The loosest binary operator in s, in one pass: its index (or -1) and
// every position where it occurs, left to right.
int loosestop(std::string_view s, const std::vector<char>& top, std::vector<size_t>& pos) {
  int best = NBINOPS;
  pos.clear();
  for (size_t i = 1; i < s.size(); ++i) {
    int k = opat(s, top, i);
    if (k < 0 || k > best) continue;
    if (k < best) best = k, pos.clear();
    pos.push_back(i);
  }
  return best < NBINOPS ? best : -1;
}

int comp(std::string_view s);

// Compiles s and checks that its type is numeric.
void compnum(std::string_view s) {
  int t = comp(s);
  if (t != T_NUM) failstd(RC_TYPEMISMATCH);
}

// Splits a function's argument text at commas at depth zero.
std::vector<std::string_view> splitargs(std::string_view a) {
  std::vector<std::string_view> out;
  if (a.empty()) return out;
  auto top = toplevel(a);
  size_t from = 0;
  for (size_t i = 0; i < a.size(); ++i)
    if (top[i] && a[i] == ',') {
      out.push_back(a.substr(from, i - from));
      from = i + 1;
    }
  out.push_back(a.substr(from));
  for (auto& x : out)
    if (x.empty()) failstd(RC_SYNTAX);
  return out;
}

// Compiles the arguments from the last to the first; returns their types
// (index 0 = first argument).
std::vector<int> compargs(const std::vector<std::string_view>& args) {
  std::vector<int> t(args.size());
  for (size_t k = args.size(); k-- > 0;) t[k] = comp(args[k]);
  return t;
}

// Result type of a binary operator on types a and b; emits it.
int binop(std::string_view op, int a, int b) {
  if (a == T_MAT || b == T_MAT) {
    if (!C.matok) failstd(RC_TYPEMISMATCH);
    if (!C.matmode) failstd(RC_MATCONTEXT);
    C.pg->hasmat = true;
  }
  int r = T_NUM;
  if (op == "|" || op == "&" || op == "-" || op == "*" || op == "/" || op == "^") {
    if (a == T_STR || b == T_STR) failstd(RC_TYPEMISMATCH);
    if (a != b) failstd(a == T_MAT || b == T_MAT ? 503 : 109);
    r = a;
    static const struct { const char* o; int code; } tab[] = {
        {"|", XO_OR}, {"&", XO_AND}, {"-", XO_SUB}, {"*", XO_MUL}, {"/", XO_DIV}, {"^", XO_POW}};
    for (auto& e : tab)
      if (op == e.o) emit(e.code);
  } else if (op == "+") {
    if (a != b) failstd(RC_TYPEMISMATCH);
    r = a;
    emit(a == T_STR ? XO_SCAT : XO_ADD);
  } else {
    if (a != b || a == T_MAT) failstd(RC_TYPEMISMATCH);
    static const struct { const char* o; int n, s; } rel[] = {
        {"==", XO_EQ, XO_SEQ}, {">=", XO_GE, XO_SGE}, {"<=", XO_LE, XO_SLE}, {"<", XO_LT, XO_SLT},
        {">", XO_GT, XO_SGT},  {"!=", XO_NE, XO_SNE}, {"~=", XO_NE, XO_SNE}};
    for (auto& e : rel)
      if (op == e.o) emit(a == T_STR ? e.s : e.n);
    r = T_NUM;
  }
  tpop(b);
  tpop(a);
  tpush(r);
  return r;
}

// unary -> ('-' | '!') exp; returns the result type.
int unary(char c, std::string_view rest) {
  int t = comp(rest);
  if (c == '-') {
    if (t == T_STR) failstd(RC_TYPEMISMATCH);
    if (t == T_MAT) {
      if (!C.matmode) failstd(RC_MATCONTEXT);
      emit(XO_MNEG);
      return T_MAT;
    }
    emit(XO_NEG);
    return T_NUM;
  }
  if (t != T_NUM) failstd(RC_TYPEMISMATCH);
  emit(XO_NOT);
  return T_NUM;
}

// power -> exp '^' exp, split at pos.
int powop(std::string_view s, size_t pos) {
  int a = comp(s.substr(0, pos));
  int b = comp(s.substr(pos + 1));
  return binop("^", a, b);
}

// Notes one outside value a compile read (see ex.reads).
void noteread(char kind, char sub, const std::string& name, int rc, double d, const std::string& s, bool isstr) {
  if (ex.reads) ex.reads->list.push_back(XlRead{kind, sub, name, rc, d, s, isstr});
}
// Notes that the compile read something a kept program cannot check again.
void notefixed() {
  if (ex.reads) ex.reads->checkable = false;
}

// Variable number of name (exact, then a unique abbreviation), 0 when none.
int lookupvar(const std::string& name) {
  bool ambiguous = false;
  int v = xl_findvar(name, &ambiguous);
  if (ambiguous) failmsg(name + " ambiguous abbreviation\n", RC_NOTFOUND);
  noteread('v', 0, name, v, 0, {}, v && isstrtype(vartype(v)));
  return v;
}

// Notes that the program reads variable v.
void usevar(int v) {
  auto& vs = C.pg->vars;
  for (int x : vs)
    if (x == v) return;
  vs.push_back(v);
}

// Emits a read of variable v at the current observation; returns its type.
int pushvar(int v) {
  usevar(v);
  bool str = isstrtype(vartype(v));
  emit2(str ? XO_SVAR : XO_VAR, v);
  tpush(str ? T_STR : T_NUM);
  return str ? T_STR : T_NUM;
}

// A resolved value from a store hook: a literal of its type.
int pushvalue(bool isstr, double d, const std::string& sv) {
  if (isstr) {
    pushstr(sv);
    return T_STR;
  }
  pushnum(d);
  return T_NUM;
}

// Emits a whole-matrix reference (matrix expressions only).
int matname(const std::string& name) {
  if (!C.matok) failstd(RC_TYPEMISMATCH);
  C.pg->hasmat = true;
  emit2(XO_MATNAME, addstr(name));
  tpush(T_MAT);
  return T_MAT;
}

int comp(std::string_view s);

// A time-series operated variable (L#. F#. D#. S#. in any combination),
// compiled as a linear combination of the variable at earlier or later
// times of the same panel, each found by its time value (so gaps in time
// give missing values rather than the neighbouring observation).
int tsop(const std::string& name) {
  size_t dot = name.rfind('.');
  std::string ops = name.substr(0, dot), var = name.substr(dot + 1);
  int v = C.vars && !var.empty() ? lookupvar(var) : 0;
  if (!v) failmsg(name + " not found\n", RC_NOTFOUND);
  if (isstrtype(vartype(v))) failstd(RC_TYPEMISMATCH);
  // lag -> coefficient. Equal lags are merged so that D20 has 21 terms, not
  // 2^20; a coefficient that cancels to 0 is kept, since a missing value at
  // that lag still makes the result missing.
  std::map<long, long> terms{{0, 1}};
  auto shifted = [](const std::map<long, long>& t, long k) {
    std::map<long, long> r;
    for (auto& [lag, c] : t) r[lag + k] += c;
    return r;
  };
  auto minus = [](std::map<long, long> a, const std::map<long, long>& b) {
    for (auto& [lag, c] : b) a[lag] -= c;
    return a;
  };
  long totaldiff = 0;
  int nseasonal = 0;  // at most 8 seasonal differences, as in variable lists
  for (size_t i = 0; i < ops.size();) {
    char op = static_cast<char>(std::toupper(static_cast<unsigned char>(ops[i++])));
    long k = 0;
    bool digits = false;
    while (i < ops.size() && ops[i] >= '0' && ops[i] <= '9') {
      k = k * 10 + (ops[i++] - '0');
      digits = true;
      if (k > 100000) failmsg(std::string(1, op) + ":  operator invalid\n", RC_SYNTAX);
    }
    if (!digits) k = 1;
    if (op == '.') continue;
    if (op == 'L') terms = shifted(terms, k);
    else if (op == 'F') terms = shifted(terms, -k);
    else if (op == 'D') {
      totaldiff += k;
      if (totaldiff > 20) {
        std::string m(1, 'D');
        m.append(std::to_string(totaldiff)).append(":  operator invalid:  D20 is maximum allowed difference\n");
        failmsg(m, RC_SYNTAX);
      }
      for (long j = 0; j < k; ++j) terms = minus(terms, shifted(terms, 1));
    } else if (op == 'S') {
      if (++nseasonal > 8) failmsg(ops + ":  operator too long\n", RC_LIMIT);
      terms = minus(terms, shifted(terms, k));
    } else failmsg(ops + ":  operator invalid\n", RC_SYNTAX);
  }
  int tv = 0, pv = 0;
  notefixed();
  if (int rc = tscheck(&tv, &pv)) throw CompErr{rc};
  C.pg->tsvar = tv;
  C.pg->tspanel = pv;
  if (terms.size() == 1 && terms.begin()->first == 0 && terms.begin()->second == 1) return pushvar(v);
  usevar(v);
  usevar(tv);
  if (pv) usevar(pv);
  C.pg->subscripts = true;
  bool first = true;
  for (auto& [lag, c] : terms) {
    pushnum(static_cast<double>(lag));
    emit2(XO_TSVAR, v);
    if (std::labs(c) != 1) {
      pushnum(static_cast<double>(std::labs(c)));
      emit(XO_MUL);
      tpop(T_NUM);
    }
    if (!first) {
      emit(c < 0 ? XO_SUB : XO_ADD);
      tpop(T_NUM);
    } else if (c < 0) {
      emit(XO_NEG);
    }
    first = false;
  }
  return T_NUM;
}

// A bare name: the system names, variables, matrices and scalars.
int bare(const std::string& name) {
  if (name == "_n") return emit(XO_N_), tpush(T_NUM), T_NUM;
  if (name == "_N") return emit(XO_NN_), tpush(T_NUM), T_NUM;
  if (name == "_cons") return emit(XO_CONS), tpush(T_NUM), T_NUM;
  if (name == "_rc") return emit(XO_RC), tpush(T_NUM), T_NUM;
  if (name == "_pi") return pushnum(M_PI), T_NUM;
  if (name.find('.') != std::string::npos) return tsop(name);
  if (C.vars) {
    if (int v = lookupvar(name)) return pushvar(v);
  }
  if (C.matok) {
    notefixed();
    if (exhooks.matrix(name) == 0) return matname(name);
  }
  double d = 0;
  std::string sv;
  bool isstr = false;
  const int rc = exhooks.scalar(name, &d, &sv, &isstr);
  noteread('s', 0, name, rc, d, sv, isstr);
  if (rc == 0) return pushvalue(isstr, d, sv);
  failmsg(name + " not found\n", RC_NOTFOUND);
}

// _b[name], _coef[name], _se[name] and [eq]name.
int coefref(bool se, std::string_view inner, std::string_view eqname) {
  std::string eq, nm(inner);
  if (!eqname.empty()) {
    eq = std::string(inner);
    nm = std::string(eqname);
    // [eq]_b[name], [eq]_coef[name] and [eq]_se[name].
    for (const char* pre : {"_b[", "_coef[", "_se["})
      if (nm.size() > std::strlen(pre) && nm.compare(0, std::strlen(pre), pre) == 0 && nm.back() == ']') {
        se = pre[1] == 's';
        nm = nm.substr(std::strlen(pre), nm.size() - std::strlen(pre) - 1);
        break;
      }
  } else if (size_t colon = nm.find(':'); colon != std::string::npos) {
    eq = nm.substr(0, colon);
    nm = nm.substr(colon + 1);
  }
  double d = 0;
  if (ex.algonly) return pushnum(0), T_NUM;
  notefixed();
  if (exhooks.coef(se, eq, nm, &d) != 0)
    failmsg((eq.empty() ? "" : "[" + eq + "]") + nm + " not found\n", 111);
  pushnum(d);
  return T_NUM;
}

// name[exp]: an explicit observation of a variable or a matrix element.
int subscript(const std::string& name, std::string_view inner) {
  if (name == "_b" || name == "_coef") return coefref(false, inner, {});
  if (name == "_se") return coefref(true, inner, {});
  if (name == "_n" || name == "_N" || name == "_cons" || name == "_rc" || name == "_pi")
    failstd(RC_SYNTAX);
  if (C.vars) {
    if (int v = lookupvar(name)) {
      usevar(v);
      C.pg->subscripts = true;
      compnum(inner);
      tpop(T_NUM);
      bool str = isstrtype(vartype(v));
      emit2(str ? XO_SVARAT : XO_VARAT, v);
      tpush(str ? T_STR : T_NUM);
      return str ? T_STR : T_NUM;
    }
  }
  notefixed();
  if (exhooks.matrix(name) == 0) {
    auto args = splitargs(inner);
    if (args.size() != 2) failstd(RC_SYNTAX);
    // row first, column on top: the evaluator pops j, then i
    if (comp(args[0]) != T_NUM || comp(args[1]) != T_NUM) failstd(RC_TYPEMISMATCH);
    tpop(T_NUM);
    tpop(T_NUM);
    emit2(XO_MATEL, addstr(name));
    tpush(T_NUM);
    return T_NUM;
  }
  failmsg(name + " not found\n", RC_NOTFOUND);
}

// Evaluates a date-literal pseudo-function d(), w(), m(), q(), h(), y() now.
int dateliteral(const std::string& fn, std::string_view arg) {
  if (fn.size() != 1 || !std::strchr("dwmqhy", fn[0])) return -1;
  double r = fn_datelit(fn[0], arg);
  if (r >= misval) failmsg(fn + "(" + std::string(arg) + ") invalid\n", 198);
  pushnum(r);
  return T_NUM;
}

// Compiles inner with variable lookup switched as given.
int wrapped(std::string_view inner, bool vars, bool matok) {
  Comp saved = C;
  C.vars = vars;
  C.matok = matok;
  int t = comp(inner);
  saved.depth = C.depth, saved.nstr = C.nstr, saved.nmat = C.nmat, saved.anystr = C.anystr;
  C = saved;
  return t;
}

// The value of a named constant function (maxdouble() ...); *ok false when n is none.
double constantof(const std::string& n, bool* ok) {
  *ok = true;
  if (n == "maxdouble") return 0x1.fffffffffffffp1022;
  if (n == "mindouble") return -DBL_MAX;
  if (n == "epsdouble") return DBL_EPSILON;
  if (n == "maxfloat") return 0x1.fffffep126;
  if (n == "minfloat") return -0x1.fffffep126;
  if (n == "epsfloat") return FLT_EPSILON;
  if (n == "maxlong") return 2147483620.0;
  if (n == "minlong") return -2147483647.0;
  if (n == "maxint") return 32740.0;
  if (n == "minint") return -32767.0;
  if (n == "maxbyte") return 100.0;
  if (n == "minbyte") return -127.0;
  if (n == "byteorder") return 2.0;
  *ok = false;
  return 0;
}

// A call name(argtext).
int call(const std::string& fn, std::string_view argtext) {
  if (fn == "scalar") return wrapped(argtext, false, false);
  if (fn == "matrix") return wrapped(argtext, false, true);
  if (fn == "variable") return wrapped(argtext, true, C.matok);
  if (fn.size() == 1) {
    int t = dateliteral(fn, argtext);
    if (t >= 0) return t;
  }
  if (fn == "r" || fn == "return" || fn == "e" || fn == "s") {
    std::string nm(argtext);
    char kind = fn == "return" ? 'r' : fn[0];
    if (kind == 'e' && nm == "sample") {
      notefixed();
      if (int v = exhooks.esample(); v > 0) return pushvar(v);
      return pushnum(0), T_NUM;
    }
    double d = misval;
    std::string sv;
    bool isstr = false, ismat = false;
    const int rc = exhooks.saved(kind, nm, &d, &sv, &isstr, &ismat);
    noteread('r', kind, nm, rc, d, sv, isstr);
    if (rc != 0) return pushnum(misval), T_NUM;
    if (ismat) notefixed();
    if (ismat) return matname(std::string(1, kind) + "(" + nm + ")");
    return pushvalue(isstr, d, sv);
  }
  if (fn == "c") {
    std::string nm(argtext);
    double d = 0;
    std::string sv;
    bool isstr = false;
    const int rc = exhooks.creturn(nm, &d, &sv, &isstr);
    noteread('c', 0, nm, rc, d, sv, isstr);
    if (rc != 0) failmsg("c(" + nm + ") undefined\n", RC_UNKNOWNFN);
    return pushvalue(isstr, d, sv);
  }
  if (fn == "tin" || fn == "twithin") {
    // Either bound may be empty, so the arguments are split here.
    auto top = toplevel(argtext);
    size_t comma = std::string_view::npos;
    for (size_t k = 0; k < argtext.size(); ++k)
      if (top[k] && argtext[k] == ',') {
        if (comma != std::string_view::npos) failstd(RC_SYNTAX);
        comma = k;
      }
    if (comma == std::string_view::npos) failstd(RC_SYNTAX);
    std::string tvar;
    notefixed();
    if (!exhooks.charget("_dta", "_TStvar", &tvar) || tvar.empty())
      failmsg("time variable not set\n", RC_NOTFOUND);
    bool strict = fn == "twithin";
    std::string lo(argtext.substr(0, comma)), hi(argtext.substr(comma + 1));
    // Built as text and compiled, so the bounds follow the usual rules.
    std::string a("("), b("(");
    a.append(tvar).append(strict ? ">" : ">=").append("(").append(lo).append("))");
    b.append(tvar).append(strict ? "<" : "<=").append("(").append(hi).append("))");
    std::string own;
    if (lo.empty() && hi.empty()) own = "1";
    else if (lo.empty()) own = b;
    else if (hi.empty()) own = a;
    else own.append(a).append("&").append(b);
    return comp(own), T_NUM;
  }
  if (fn == "el") {
    // el(A, i, j) is the element A[i, j]
    size_t comma = argtext.find(',');
    if (comma == std::string_view::npos) failstd(RC_SYNTAX);
    return subscript(std::string(argtext.substr(0, comma)), argtext.substr(comma + 1));
  }
  if (exhooks.matfunc) {
    double d = 0;
    int r = exhooks.matfunc(fn, std::string(argtext), &d);
    if (r >= 0) notefixed();
    if (r == 0) return pushnum(d), T_NUM;
    if (r > 0) throw CompErr{r};
  }
  auto args = splitargs(argtext);
  int n = static_cast<int>(args.size());
  {
    bool ok;
    double k = constantof(fn, &ok);
    if (ok) {
      if (n) failstd(RC_SYNTAX);
      return pushnum(k), T_NUM;
    }
  }
  if (fn == "_caller") {
    if (n) failstd(RC_SYNTAX);
    return pushnum(exhooks.version() / 100.0), T_NUM;
  }
  if (fn == "has_eprop") return pushnum(0), T_NUM;
  if (fn == "cond") {
    if (n < 3 || n > 4) failstd(RC_SYNTAX);
    auto t = compargs(args);
    if (t[0] != T_NUM) failstd(RC_TYPEMISMATCH);
    for (int k = 2; k < n; ++k)
      if (t[k] != t[1]) failstd(RC_TYPEMISMATCH);
    if (t[1] == T_MAT) failstd(RC_TYPEMISMATCH);
    emit2(t[1] == T_STR ? XO_SCOND : XO_COND, n);
    for (int k = 0; k < n; ++k) tpop(t[static_cast<size_t>(k)]);
    tpush(t[1]);
    return t[1];
  }
  if (fn == "string" || fn == "strofreal") {
    if (n < 1 || n > 2) failstd(RC_SYNTAX);
    auto t = compargs(args);
    if (t[0] != T_NUM || (n == 2 && t[1] != T_STR)) failstd(RC_TYPEMISMATCH);
    emit2(XO_STRING, n);
    for (int k = 0; k < n; ++k) tpop(t[static_cast<size_t>(k)]);
    tpush(T_STR);
    return T_STR;
  }
  if (fn == "substr") {
    if (n != 3) failstd(RC_SYNTAX);
    auto t = compargs(args);
    if (t[0] != T_STR || t[1] != T_NUM || t[2] != T_NUM) failstd(RC_TYPEMISMATCH);
    emit(XO_SUBSTR);
    tpop(T_NUM), tpop(T_NUM), tpop(T_STR);
    tpush(T_STR);
    return T_STR;
  }
  if (fn == "inrange" || fn == "inlist") {
    bool list = fn == "inlist";
    if (list ? (n < 2 || n > 255) : n != 3) failstd(RC_SYNTAX);
    auto t = compargs(args);
    for (int x : t)
      if (x != t[0] || x == T_MAT) failstd(RC_TYPEMISMATCH);
    if (list)
      emit2(t[0] == T_STR ? XO_SINLIST : XO_INLIST, n);
    else
      emit(t[0] == T_STR ? XO_SINRANGE : XO_INRANGE);
    for (int x : t) tpop(x);
    tpush(T_NUM);
    return T_NUM;
  }
  if (fn == "missing" || fn == "mi") {
    if (C.inmissing) failmsg("missing() may not be nested within missing()\n", RC_SYNTAX);
    C.inmissing = true;
    emit(XO_MISS0);
    tpush(T_NUM);
    for (int k = n; k-- > 0;) {
      int t = comp(args[static_cast<size_t>(k)]);
      if (t == T_MAT) failstd(RC_TYPEMISMATCH);
      emit(t == T_STR ? XO_MISSS : XO_MISSN);
      tpop(t);
    }
    emit(XO_MISS1);
    C.inmissing = false;
    return T_NUM;
  }
  if (fn == "sum") {
    if (n != 1) failstd(RC_SYNTAX);
    if (C.pg->nsums >= EXPR_MAXSUMS) failmsg("Too many SUMs\n", RC_EXPTOOLONG);
    compnum(args[0]);
    emit2(XO_SUM, C.pg->nsums++ + 2);
    return T_NUM;
  }
  const FuncDef* row = nullptr;
  if (fn == "uniform" && exhooks.version() < 320) row = findfunc("uniform0");
  if (!row) row = findfunc(fn);
  if (row && row->maxver && exhooks.version() > row->maxver) row = nullptr;
  if (!row) failmsg("Unknown function " + fn + "()\n", RC_SYNTAX);
  if (n < row->minargs || (row->maxargs >= 0 && n > row->maxargs)) failstd(RC_SYNTAX);
  auto t = compargs(args);
  size_t nt = std::strlen(row->argtypes);
  int strmask = 0;
  bool anyeither = false;
  for (int k = 0; k < n; ++k) {
    char want = nt ? row->argtypes[std::min(static_cast<size_t>(k), nt - 1)] : 'n';
    int got = t[static_cast<size_t>(k)];
    if (got == T_MAT) failstd(RC_TYPEMISMATCH);
    if (want == 'a') anyeither = true;
    else if ((want == 's') != (got == T_STR)) failstd(RC_TYPEMISMATCH);
    if (got == T_STR) {
      if (k >= 16) failstd(RC_EXPTOOLONG);
      strmask |= 1 << k;
    }
  }
  if (anyeither) emit2(XO_ARGT, strmask);
  if (row->minargs != row->maxargs) emit2(XO_NARGS, n);
  xf_remember(row);
  emit2(XO_FUNC, row->opcode);
  if (row->volatile_) ++C.pg->nvolatile;
  for (int x : t) tpop(x);
  int r = row->rettype == 's' ? T_STR : T_NUM;
  tpush(r);
  return r;
}

// String literal, possibly followed by :lblname.
int strliteral(std::string_view s) {
  size_t e = xl_quoteend(s, 0);
  if (e == std::string_view::npos) failstd(RC_SYNTAX);
  std::string_view body = s[0] == '"' ? s.substr(1, e - 2) : s.substr(2, e - 4);
  if (e == s.size()) {
    pushstr(body);
    return T_STR;
  }
  if (s[e] != ':') failstd(RC_SYNTAX);
  std::string lbl(s.substr(e + 1));
  if (lbl.empty()) failstd(RC_SYNTAX);
  for (char c : lbl)
    if (!xl_namechar(c)) failstd(RC_SYNTAX);
  double code = misval;
  notefixed();
  if (exhooks.vlabel(lbl, std::string(body), &code) != 0) {
    code = misval;
    int prev = setoutlev(OUT_NOTE);
    spout21f("(value label %s not found)\n", std::string(body).c_str());
    setoutlev(prev);
  }
  pushnum(code);
  return T_NUM;
}

// The number of parentheses that enclose the whole of s: layer k goes when
// the parenthesis at k closes at the k-th character from the end (or is
// still open where an unterminated quote stops the scan). One scan, so deep
// nesting costs no more than its length.
size_t outerparens(std::string_view s) {
  const size_t n = s.size(), none = std::string_view::npos;
  size_t lead = 0;
  while (lead < n && s[lead] == '(') ++lead;
  if (lead == 0 || s[n - 1] != ')') return 0;
  std::vector<size_t> close(lead, none), open;
  for (size_t i = 0; i < n; ++i) {
    const char c = s[i];
    if (c == '"' || (c == '`' && i + 1 < n && s[i + 1] == '"')) {
      size_t e = xl_quoteend(s, i);
      if (e == none) break;
      i = e - 1;
    } else if (c == '(' || c == '[') {
      open.push_back(i);
    } else if ((c == ')' || c == ']') && !open.empty()) {
      if (open.back() < lead) close[open.back()] = i;
      open.pop_back();
    }
  }
  size_t k = 0;
  while (k < lead && 2 * k + 2 <= n && s[n - 1 - k] == ')' &&
         (close[k] == n - 1 - k || close[k] == none))
    ++k;
  return k;
}

// exp -> the grammar of splitting described in the file header.
int comp(std::string_view s) {
  struct Nest {
    Nest() {
      if (++C.nest > EXPR_MAXNEST) failstd(RC_EXPTOOLONG);
    }
    ~Nest() { --C.nest; }
  } nest;
  if (s.empty()) failstd(RC_SYNTAX);
  // Enclosing parentheses, every layer at once.
  if (size_t k = outerparens(s)) {
    s = s.substr(k, s.size() - 2 * k);
    if (s.empty()) failstd(RC_SYNTAX);
  }
  auto top = toplevel(s);
  if (C.matmode) {
    for (const char* jo : {"\\", ","}) {
      size_t p = std::string_view::npos;
      for (size_t i = s.size(); i-- > 0;)
        if (top[i] && s[i] == jo[0]) {
          p = i;
          break;
        }
      if (p == std::string_view::npos) continue;
      int a = comp(s.substr(0, p)), b = comp(s.substr(p + 1));
      if (a == T_STR || b == T_STR) failstd(RC_TYPEMISMATCH);
      C.pg->hasmat = true;
      emit(jo[0] == '\\' ? XO_MRJOIN : XO_MCJOIN);
      tpop(b), tpop(a), tpush(T_MAT);
      return T_MAT;
    }
  }
  // The loosest operator splits s at all its occurrences at once, so a long
  // chain such as 1+1+...+1 costs one scan and no recursion per term; the
  // code is that of splitting at the rightmost occurrence, recursively.
  std::vector<size_t> pos;
  int k = loosestop(s, top, pos);
  if (k >= 0) {
    const char* op = binops[k];
    const size_t L = std::strlen(op);
    for (size_t j = pos.size(); j-- > 0;)
      if (pos[j] + L >= (j + 1 < pos.size() ? pos[j + 1] : s.size())) failstd(RC_SYNTAX);
    std::vector<char>().swap(top);
    int a = comp(s.substr(0, pos[0]));
    for (size_t j = 0; j < pos.size(); ++j) {
      size_t from = pos[j] + L, to = j + 1 < pos.size() ? pos[j + 1] : s.size();
      int b = comp(s.substr(from, to - from));
      a = binop(op, a, b);
    }
    return a;
  }
  if (C.matmode) {
    size_t p = findop(s, top, "#");
    if (p != std::string_view::npos) {
      int a = comp(s.substr(0, p)), b = comp(s.substr(p + 1));
      if (a == T_STR || b == T_STR) failstd(RC_TYPEMISMATCH);
      C.pg->hasmat = true;
      emit(XO_KRON);
      tpop(b), tpop(a), tpush(T_MAT);
      return T_MAT;
    }
  }
  size_t pw = findop(s, top, "^");
  std::vector<char>().swap(top);  // not held through the recursion below
  bool unaryfirst = exhooks.version() >= 500;
  if (std::strchr("!~-", s[0]) && (unaryfirst || pw == std::string_view::npos))
    return unary(s[0] == '-' ? '-' : '!', s.substr(1));
  if (pw != std::string_view::npos) return powop(s, pw);
  if (std::strchr("!~-", s[0])) return unary(s[0] == '-' ? '-' : '!', s.substr(1));
  if (C.matmode && s.back() == '\'' && !(s.size() >= 2 && s[s.size() - 2] == '"')) {
    int t = comp(s.substr(0, s.size() - 1));
    if (t == T_STR) failstd(RC_TYPEMISMATCH);
    C.pg->hasmat = true;
    emit(XO_TRANS);
    tpop(t), tpush(T_MAT);
    return T_MAT;
  }
  if (s[0] == '"' || (s[0] == '`' && s.size() > 1 && s[1] == '"')) return strliteral(s);
  double d;
  if (xl_number(s, &d)) return pushnum(d), T_NUM;
  if (s[0] == '[') {
    size_t rb = s.find(']');
    if (rb == std::string_view::npos || rb + 1 >= s.size()) failstd(RC_SYNTAX);
    return coefref(false, s.substr(1, rb - 1), s.substr(rb + 1));
  }
  size_t i = 0;
  while (i < s.size() && (xl_namechar(s[i]) || s[i] == '.')) ++i;
  if (i == 0 || (s[0] >= '0' && s[0] <= '9')) failstd(RC_SYNTAX);
  if (i > 273) failstd(RC_SYNTAX);
  std::string name(s.substr(0, i));
  if (i == s.size()) return bare(name);
  char open = s[i], close = open == '(' ? ')' : ']';
  if ((open != '(' && open != '[') || s.back() != close) failstd(RC_SYNTAX);
  // The bracket opened at i must close at the end.
  std::string_view inner = s.substr(i + 1, s.size() - i - 2);
  {
    auto t2 = toplevel(s);
    for (size_t j = i + 1; j + 1 < s.size(); ++j)
      if (t2[j]) failstd(RC_SYNTAX);
  }
  if (open == '(') return call(name, inner);
  return subscript(name, inner);
}

// Compiles text into prog; want checks the result type. On failure the
// literal tables are returned to their state before the call.
int compile_text(const std::string& text, ExprProg& prog, int want, bool matmode) {
  ex.touched = true;
  size_t nl = ex.numlits.size(), np = ex.strpool.size();
  ExprProg fresh;
  fresh.text = text;
  fresh.mvmodern = exhooks.version() >= 800;
  C = Comp{};
  C.pg = &fresh;
  C.matmode = matmode;
  C.matok = want == EXP_MAT || want == EXP_NUMMAT;
  C.vars = !C.matok;
  try {
    int t = comp(text);
    int type = t == T_STR ? EXP_STR : t == T_MAT ? EXP_MAT : EXP_NUM;
    bool ok = want == EXP_NUMSTR ? type != EXP_MAT
              : want == EXP_NUMMAT ? type != EXP_STR
                                   : type == want;
    if (!ok) failstd(RC_TYPEMISMATCH);
    fresh.type = type;
  } catch (const CompErr& e) {
    ex.numlits.resize(nl);
    ex.strpool.resize(np);
    prog = ExprProg{};
    C = Comp{};
    return e.rc;
  }
  fresh.blockok = fresh.type == EXP_NUM && !C.anystr && !fresh.hasmat && !fresh.subscripts &&
                  fresh.nsums == 0 && fresh.nvolatile <= 1 && fresh.maxdepth <= 32;
  fresh.poollen.assign(fresh.pool.size(), 0);
  for (size_t i = 0; i < fresh.pool.size();) {
    size_t len = std::strlen(&fresh.pool[i]);
    fresh.poollen[i] = static_cast<uint8_t>(len);
    i += len + 1;
  }
  prog = std::move(fresh);
  C = Comp{};
  return 0;
}

// Where the tokenizer's next token begins.
const char* tokstart() {
  if (tok.pushed && tok.laststart) return tok.laststart;
  return tok.pos ? tok.pos : "";
}

// Captures the expression at the tokenizer and moves the tokenizer behind it.
int capture_at_tok(std::string& text, bool matmode, int brackets) {
  const char* start = tokstart();
  const char* end = start;
  int rc = xl_capture(start, matmode, brackets != 0, text, &end);
  if (rc) return rc;
  if (text.empty()) return error(RC_SYNTAX);
  tok.pushed = false;
  tok.retpushed = false;
  tok.laststart = start;
  tok.pos = end;
  return 0;
}

// Captures the expression at the tokenizer, moves the tokenizer behind it and compiles it.
int capture_and_compile(ExprProg& prog, int want, bool matmode, int brackets, int syntaxonly) {
  ex.touched = true;
  std::string text;
  if (int rc = capture_at_tok(text, matmode, brackets)) return rc;
  if (syntaxonly) {
    prog = ExprProg{};
    prog.text = text;
    return 0;
  }
  return compile_text(text, prog, want, matmode);
}

}  // namespace

// Compiles the expression at the current token position (see expr.h).
int compexp(ExprProg& prog, int want, int brackets, int syntaxonly) {
  ex.algonly = false;
  return capture_and_compile(prog, want, false, brackets, syntaxonly);
}

// Compiles a matrix expression at the current token position.
int compmatexp(ExprProg& prog, int want) {
  ex.algonly = false;
  return capture_and_compile(prog, want, true, 0, 0);
}

// Compiles with coefficient references as 0 (algebra only).
int compalgonly(ExprProg& prog, int want) {
  ex.algonly = true;
  int rc = capture_and_compile(prog, want, false, 0, 0);
  ex.algonly = false;
  return rc;
}

// Compiles the whole of text; anything after the expression is r(198).
int compexp_u(const char* text, ExprProg& prog, int want) {
  std::string cap;
  const char* end = text;
  bool mat = want == EXP_MAT || want == EXP_NUMMAT;
  int rc = xl_capture(text, mat, false, cap, &end);
  if (rc) return rc;
  while (*end == ' ') ++end;
  if (*end || cap.empty()) return error(RC_SYNTAX);
  return compile_text(cap, prog, want, mat);
}

int xl_capture_tok(std::string& text) { return capture_at_tok(text, false, 0); }

int xl_compile(const std::string& text, ExprProg& prog, int want) {
  ex.algonly = false;
  return compile_text(text, prog, want, false);
}

int xl_findvar(const std::string& name, bool* ambiguous) {
  *ambiguous = false;
  for (int v = 1; v <= ds.nvar; ++v)
    if (ds.varlist[static_cast<size_t>(v)] == name) return v;
  if (!ds.varabbrev) return 0;
  int found = 0, count = 0;
  for (int v = 1; v <= ds.nvar; ++v)
    if (ds.varlist[static_cast<size_t>(v)].compare(0, name.size(), name) == 0) found = v, ++count;
  *ambiguous = count > 1;
  return found;
}

// Runs before every command line: most lines compile nothing since the
// last reset, and then there is nothing to clear.
void expr_reset_command() {
  if (!ex.touched) return;
  ex.ifpgm = ExprProg{};
  ex.wepgm = ExprProg{};
  ex.numlits.clear();
  ex.strpool.clear();
  ex.touched = false;
}
