// Vemo compiler, expressions: the token array (continuation lines, inserted
// missing subscripts and products), the split at the lowest-precedence
// operator, the primary forms, assignments and their stores, and the
// compile-time operand type checks.
#include <cstring>

#include "data/value.h"
#include "output/output.h"
#include "vemo/ccstate.h"
#include "vemo/vm.h"

namespace {

// Binary operators, lowest precedence first (ORDER: one row per level).
struct BinOp {
  int tok;
  int op;
  int rule;
  const char* text;
};
const BinOp binops[] = {
    {'\\', opaddr, R_FLEX, "\\"},     {T_COLCOL, opcolto, R_REAL, "::"},
    {',', opaddc, R_FLEX, ","},       {T_DOTDOT, oprowto, R_REAL, ".."},
    {T_COR, opcor, R_LOGICAL, ":|"},  {'|', opor, R_LOGICAL, "|"},
    {T_CAND, opcand, R_LOGICAL, ":&"}, {'&', opand, R_LOGICAL, "&"},
    {T_CEE, opcee, R_EQUAL, ":=="},   {T_EE, opee, R_EQUAL, "=="},
    {T_CGE, opcge, R_COMPARE, ":>="}, {T_GE, opge, R_COMPARE, ">="},
    {T_CLE, opcle, R_COMPARE, ":<="}, {T_LE, ople, R_COMPARE, "<="},
    {T_CLT, opclt, R_COMPARE, ":<"},  {'<', oplt, R_COMPARE, "<"},
    {T_CGT, opcgt, R_COMPARE, ":>"},  {'>', opgt, R_COMPARE, ">"},
    {T_CNE, opcne, R_EQUAL, ":!="},   {T_NE, opne, R_EQUAL, "!="},
    {T_CADD, opcadd, R_PLUS, ":+"},   {'+', opplus, R_PLUS, "+"},
    {T_CSUB, opcsub, R_MINUS, ":-"},  {'-', opsub, R_MINUS, "-"},
    {T_CMULT, opcmult, R_MULT, ":*"}, {'*', opmult, R_MULT, "*"},
    {'#', opdmult, R_KRON, "#"},      {T_CDIV, opcdiv, R_KRON, ":/"},
    {'/', opdiv, R_KRON, "/"},
};
constexpr int NBIN = sizeof binops / sizeof binops[0];

struct XRes {
  int type = 0;
  bool novalue = false;
};

int tok(int i) { return C->xt[static_cast<size_t>(i)].code; }
int mat(int i) { return C->match[static_cast<size_t>(i)]; }

bool isopen(int c) { return c == '(' || c == '[' || c == T_LRANGE; }
bool isclose(int c) { return c == ')' || c == ']' || c == T_RRANGE; }

// True when the token at i ends an operand, so an operator after it is binary.
bool operandend(int i) {
  switch (tok(i)) {
    case T_NUM: case T_IMAG: case T_NAME: case T_STR: case ')': case ']': case T_RRANGE:
    case '\'': case T_NULL: case T_VOIDK:
      return true;
    case T_INC: case T_DEC:
      return i > 0 && (tok(i - 1) == T_NAME || tok(i - 1) == ']');
    default: return false;
  }
}

// Tokens after which an expression cannot end at a line end.
bool wantsmore(int code) {
  if (code == ',' || code == '=' || code == '?' || code == ':' || code == '!' || code == '&') return true;
  for (const BinOp& b : binops)
    if (b.tok == code) return true;
  return code == '^' || code == T_CPOW || isopen(code);
}

void typeerr2(int lt, const char* op, int rt) {
  cc_failsml("{p 0 4 2}type mismatch:{break}" + C->tt.text(lt) + "{break}" + op + "{break}" +
             C->tt.text(rt) + "{break}not allowed{p_end}\n");
}

void typeerr1(const char* what, const char* want) {
  cc_fail(std::string("type mismatch: ") + what + " requires " + want);
}

bool reallike(int t) {
  int e = C->tt.at(t).el;
  return !C->tt.at(t).fn && (e == E_TRANS || e == E_REAL || e == E_NUM);
}

XRes cx(int lo, int hi);

int cxt(int lo, int hi) { return cx(lo, hi).type; }

// Splits lo..hi at commas of depth zero.
std::vector<std::pair<int, int>> splitcommas(int lo, int hi) {
  std::vector<std::pair<int, int>> parts;
  int start = lo;
  for (int i = lo; i < hi; ++i) {
    if (isopen(tok(i))) {
      i = mat(i);
      continue;
    }
    if (tok(i) == ',') {
      parts.push_back({start, i});
      start = i + 1;
    }
  }
  parts.push_back({start, hi});
  return parts;
}

// Compiles an argument list between lo and hi (exclusive); returns the count.
int arglist(int lo, int hi) {
  if (lo >= hi) return 0;
  auto parts = splitcommas(lo, hi);
  for (auto& p : parts) {
    if (p.first >= p.second) cc_fail("illegal arglist");
    // at the prompt a bare name may be an output argument: it is created
    // when missing (st_view(V, ...), swap(a, b))
    if (!C->infunc && p.second - p.first == 1 && tok(p.first) == T_NAME)
      C->syms[static_cast<size_t>(cc_varsym(C->xt[static_cast<size_t>(p.first)].text))].set = true;
    cx(p.first, p.second);
  }
  return static_cast<int>(parts.size());
}

// Compiles the subscripts of a list subscript; returns their count.
int listsubs(int lo, int hi) {
  if (lo >= hi) cc_fail("invalid []");
  auto parts = splitcommas(lo, hi);
  if (parts.size() > 2) cc_fail("invalid [ ] list subscript");
  for (auto& p : parts) {
    int t = cxt(p.first, p.second);
    if (!reallike(t)) typeerr1("[] (subscripts)", "real");
  }
  return static_cast<int>(parts.size());
}

int structmember(int stype, const std::string& member, int* mtype) {
  std::string sname = C->tt.sname(stype);
  Fcn* d = findfcn(sname.c_str());
  if (!d || d->rettype != -1) cc_fail("struct " + sname + " not found");
  for (size_t k = 0; k < d->members.size(); ++k) {
    const Fcn::Member& m = d->members[k];
    if (m.name == member) {
      int sn = -1;
      if (!m.sname.empty()) sn = C->tt.addname(m.sname);
      *mtype = cc_type(m.el, m.org, m.el == E_PTR ? cc_type(E_TRANS, O_MATRIX) : -1, sn);
      return static_cast<int>(k) + 1;
    }
  }
  cc_fail(sname + " contains no such member");
}

// Pushes a variable's slot for reading.
int pushvar(const std::string& name) {
  int k = cc_varsym(name);
  Sym& s = C->syms[static_cast<size_t>(k)];
  if (s.kind == 3 && !C->tt.at(s.type).fn) s.kind = 3;
  if (!s.set && s.cls == 0) s.ubs = true;
  s.used = true;
  s.read = true;
  cc_emit(oppush, k);
  return s.type;
}

// Member or dereference forms at the end of lo..hi: e->m, e.m.
bool memberform(int lo, int hi, int* type) {
  if (hi - lo < 3 || tok(hi - 1) != T_NAME) return false;
  int t = tok(hi - 2);
  if (t != T_MEMBER && t != T_ARROW) return false;
  const char* desc = t == T_ARROW ? "exp->exp" : "exp.exp";
  int bt = cxt(lo, hi - 2);
  const CType& b = C->tt.at(bt);
  int stype = bt;
  if (t == T_ARROW) {
    if (b.el != E_PTR || b.ptr < 0 || C->tt.at(b.ptr).el != E_STRUCT) {
      if (b.el == E_TRANS || b.el == E_PTR) cc_fail("pointer or struct expected");
      typeerr1("-> (pointing to)", "pointer to struct");
    }
    cc_emit(opderef);
    stype = b.ptr;
  } else if (b.el != E_STRUCT) {
    if (b.el == E_TRANS) cc_fail("pointer or struct expected");
    cc_fail(std::string("type mismatch: ") + desc + " requires struct");
  }
  int mt = 0;
  int k = structmember(stype, C->xt[static_cast<size_t>(hi - 1)].text, &mt);
  cc_emit(opdrill, k);
  *type = mt;
  return true;
}

// ++/-- forms; returns true when lo..hi is one.
bool incdec(int lo, int hi, XRes* r) {
  bool pre = tok(lo) == T_INC || tok(lo) == T_DEC;
  bool post = !pre && (tok(hi - 1) == T_INC || tok(hi - 1) == T_DEC);
  if (!pre && !post) return false;
  bool inc = pre ? tok(lo) == T_INC : tok(hi - 1) == T_INC;
  int a = pre ? lo + 1 : lo, b = pre ? hi : hi - 1;
  if (a >= b) cc_fail("invalid use of ++ or --");
  if (b - a == 1 && tok(a) == T_NAME) {
    int k = cc_varsym(C->xt[static_cast<size_t>(a)].text);
    Sym& s = C->syms[static_cast<size_t>(k)];
    if (!reallike(s.type)) typeerr1(inc ? "++ (increment)" : "-- (decrement)", "real");
    if (!s.set && s.cls == 0) s.ubs = true;
    s.used = s.set = s.read = true;
    if (pre) {
      cc_emit(inc ? opinc : opdec, k);
      cc_emit(oppush, k);
    } else {
      cc_emit(oppush, k);
      if (C->postponed.size() >= 8) cc_fail("too many postponed ++ or --");
      Ins in;
      in.op = inc ? opinc : opdec;
      in.a[0] = k;
      C->postponed.push_back(in);
    }
    r->type = s.type;
    r->novalue = true;
    return true;
  }
  // a member or dereference lvalue
  int t = 0;
  if (tok(a) == '*') {
    t = cxt(a, b);
  } else if (!memberform(a, b, &t)) {
    cc_fail("invalid use of ++ or --");
  }
  if (!reallike(t)) typeerr1(inc ? "++ (increment)" : "-- (decrement)", "real");
  cc_emit(pre ? (inc ? opincs : opdecs) : (inc ? opdincs : opddecs));
  r->type = t;
  r->novalue = true;
  return true;
}

// lhs = e
XRes assignment(int lo, int eq, int hi) {
  if (eq == lo) cc_fail("invalid lval");
  int rt = cxt(eq + 1, hi);
  XRes r;
  r.novalue = true;
  auto check = [&](int lt) {
    int res;
    if (!ct_rule(R_ASSIGN, C->tt.at(lt), C->tt.at(rt), C->tt, &res)) typeerr2(lt, "=", rt);
  };
  // name = e
  if (eq - lo == 1 && tok(lo) == T_NAME) {
    const std::string& name = C->xt[static_cast<size_t>(lo)].text;
    int k = cc_varsym(name);
    Sym& s = C->syms[static_cast<size_t>(k)];
    if (s.cls == 2 && C->tt.at(s.type).fn) cc_fail("invalid lval");
    check(s.type);
    s.set = true;
    cc_emit(opassign, k);
    r.type = s.type;
    return r;
  }
  // name[...] = e, name[|...|] = e
  if (tok(lo) == T_NAME && eq - lo >= 3 && (tok(lo + 1) == '[' || tok(lo + 1) == T_LRANGE) &&
      mat(lo + 1) == eq - 1) {
    const std::string& name = C->xt[static_cast<size_t>(lo)].text;
    int k = cc_varsym(name);
    Sym& s = C->syms[static_cast<size_t>(k)];
    if (!s.set && s.cls == 0) s.ubs = true;
    s.used = s.read = s.set = true;
    check(s.type);
    if (tok(lo + 1) == T_LRANGE) {
      int t = cxt(lo + 2, eq - 1);
      if (!reallike(t)) typeerr1("[| |] (subscripts)", "real");
      cc_emit(oprstosmat, k);
    } else {
      int n = listsubs(lo + 2, eq - 1);
      cc_emit(n == 1 ? oplstosmat1 : oplstosmat2, k);
    }
    // The subscripts may have declared symbols and moved the table: look again.
    r.type = C->syms[static_cast<size_t>(k)].type;
    return r;
  }
  // other lvalues: members and dereferences, possibly subscripted
  int last = tok(eq - 1);
  if ((last == ']' || last == T_RRANGE) && mat(eq - 1) > lo) {
    int open = mat(eq - 1);
    int b0 = lo, b1 = open;
    bool ok = tok(b0) == '*' || (b1 - b0 >= 3 && (tok(b1 - 2) == T_MEMBER || tok(b1 - 2) == T_ARROW));
    if (!ok) cc_fail("invalid subscripted lval");
    int bt = cxt(b0, b1);
    check(bt);
    if (last == T_RRANGE) {
      int t = cxt(open + 1, eq - 1);
      if (!reallike(t)) typeerr1("[| |] (subscripts)", "real");
      cc_emit(oprsstosmat);
    } else {
      int n = listsubs(open + 1, eq - 1);
      cc_emit(n == 1 ? oplsstosmat1 : oplsstosmat2);
    }
    r.type = bt;
    return r;
  }
  bool ok = tok(lo) == '*' || (eq - lo >= 3 && (tok(eq - 2) == T_MEMBER || tok(eq - 2) == T_ARROW));
  if (!ok) cc_fail("invalid lval");
  int lt = cxt(lo, eq);
  check(lt);
  cc_emit(opsstomat);
  r.type = lt;
  return r;
}

// c ? a : b
XRes conditional(int lo, int q, int hi) {
  // the matching ':'
  int depth = 0, colon = -1;
  for (int i = q + 1; i < hi; ++i) {
    if (isopen(tok(i))) {
      i = mat(i);
      continue;
    }
    if (tok(i) == '?') ++depth;
    else if (tok(i) == ':') {
      if (depth == 0) {
        colon = i;
        break;
      }
      --depth;
    }
  }
  if (colon < 0) cc_fail("? :  matching ':' not found");
  int ct = cxt(lo, q);
  const CType& c = C->tt.at(ct);
  if (!(c.el == E_TRANS || c.el == E_REAL || c.el == E_NUM || c.el == E_PTR) || c.fn)
    cc_failsml("{p 0 4 2}type mismatch:{break}" + C->tt.text(ct) + "{break}? ... : ... not allowed{p_end}\n");
  int l1 = cc_newtag(), l2 = cc_newtag();
  cc_branch(optst0, l1);
  int at = cxt(q + 1, colon);
  cc_branch(opgoto, l2);
  cc_placetag(l1);
  int bt = cxt(colon + 1, hi);
  cc_placetag(l2);
  XRes r;
  r.type = at == bt ? at : cc_type(E_TRANS, O_MATRIX);
  return r;
}

XRes primary(int lo, int hi) {
  XRes r;
  const int n = hi - lo;
  const XTok& t0 = C->xt[static_cast<size_t>(lo)];
  // literals
  if (n == 1 && t0.code == T_STR) {
    int k = cc_emit(opldstr, cc_strlit(t0.str));
    C->ins[static_cast<size_t>(k)].fix = FIX_STR;
    r.type = cc_type(E_STR, O_SCALAR);
    return r;
  }
  if (n == 1 && t0.code == T_NUM) {
    if (t0.num == 0) cc_emit(opld0);
    else if (t0.num == 1) cc_emit(opld1);
    else if (t0.num == misval) cc_emit(opldmiss);
    else {
      int k = cc_emit(opldlit, cc_numlit(t0.num));
      C->ins[static_cast<size_t>(k)].fix = FIX_NUM;
    }
    r.type = cc_type(E_REAL, O_SCALAR);
    return r;
  }
  if (n == 1 && t0.code == T_IMAG) {
    int k = cc_emit(opldilit, cc_numlit(t0.num));
    C->ins[static_cast<size_t>(k)].fix = FIX_NUM;
    r.type = cc_type(E_CPLX, O_SCALAR);
    return r;
  }
  if (n == 2 && t0.code == '-' && (tok(lo + 1) == T_NUM || tok(lo + 1) == T_IMAG)) {
    double x = C->xt[static_cast<size_t>(lo + 1)].num;
    if (!(x >= misval)) x = -x;
    bool imag = tok(lo + 1) == T_IMAG;
    if (!imag && x == 0) cc_emit(opld0);
    else if (!imag && x >= misval && x == misval) cc_emit(opldmiss);
    else {
      int k = cc_emit(imag ? opldilit : opldlit, cc_numlit(x));
      C->ins[static_cast<size_t>(k)].fix = FIX_NUM;
    }
    r.type = cc_type(imag ? E_CPLX : E_REAL, O_SCALAR);
    return r;
  }
  // (e)(args)
  if (t0.code == '(' && mat(lo) + 1 < hi && tok(mat(lo) + 1) == '(' && mat(mat(lo) + 1) == hi - 1) {
    int e1 = mat(lo);
    int na = arglist(e1 + 2, hi - 1);
    cx(lo + 1, e1);
    cc_emit(opcallind, na);
    r.type = cc_type(E_TRANS, O_MATRIX);
    return r;
  }
  // *e
  if (t0.code == '*') {
    int t = cxt(lo + 1, hi);
    const CType& c = C->tt.at(t);
    if (c.el != E_TRANS && c.el != E_PTR) typeerr1("* (deref.)", "pointer");
    cc_emit(opderef);
    r.type = c.el == E_PTR && c.ptr >= 0 ? c.ptr : cc_type(E_TRANS, O_MATRIX);
    return r;
  }
  // &name(), &e
  if (t0.code == '&') {
    if (n == 4 && tok(lo + 1) == T_NAME && tok(lo + 2) == '(' && tok(lo + 3) == ')') {
      const std::string& name = C->xt[static_cast<size_t>(lo + 1)].text;
      if (builtin_find(name.c_str()) >= 0) cc_fail(name + "() built-in, may not evaluate address");
      cc_emits(opfindf, name);
      cc_emit(opref);
      r.type = cc_type(E_PTR, O_SCALAR, cc_type(E_TRANS, O_MATRIX, -1, -1, true));
      return r;
    }
    if (n == 1) cc_fail("invalid &fcn()");
    int t = cxt(lo + 1, hi);
    cc_emit(opref);
    r.type = cc_type(E_PTR, O_SCALAR, t);
    return r;
  }
  // -e, !e
  if (t0.code == '-') {
    int t = cxt(lo + 1, hi);
    int e = C->tt.at(t).el;
    if (C->tt.at(t).fn || !(e == E_TRANS || e == E_REAL || e == E_NUM || e == E_CPLX))
      typeerr1("- (negation)", "numeric");
    cc_emit(opneg);
    r.type = t;
    return r;
  }
  if (t0.code == '!') {
    int t = cxt(lo + 1, hi);
    int e = C->tt.at(t).el;
    if (C->tt.at(t).fn || !(e == E_TRANS || e == E_REAL || e == E_NUM || e == E_PTR))
      typeerr1("! (not)", "real");
    cc_emit(opnot);
    r.type = cc_type(E_REAL, O_MATRIX);
    return r;
  }
  if (incdec(lo, hi, &r)) return r;
  // e[i], e[i,j]
  if (tok(hi - 1) == ']' && mat(hi - 1) > lo) {
    int open = mat(hi - 1);
    int bt = cxt(lo, open);
    int ns = listsubs(open + 1, hi - 1);
    cc_emit(ns == 1 ? oplsubscr1 : oplsubscr);
    const CType& b = C->tt.at(bt);
    r.type = cc_type(b.el, O_MATRIX, b.ptr, b.sname);
    return r;
  }
  // name(args)
  if (t0.code == T_NAME && n >= 3 && tok(lo + 1) == '(' && mat(lo + 1) == hi - 1) {
    const std::string& name = t0.text;
    int na;
    int bi = builtin_find(name.c_str());
    if (bi >= 0) {
      na = arglist(lo + 2, hi - 1);
      const Builtin& b = builtins()[static_cast<size_t>(bi)];
      if (na < b.minargs || na > b.maxargs) cc_fail("wrong number of arguments for " + name + "()");
      cc_emit(opbiltin, bi, na);
      r.type = cc_type(b.el, b.org);
      return r;
    }
    na = arglist(lo + 2, hi - 1);
    int k = cc_fcnsym(name);
    cc_emit(opcall, k, na);
    Fcn* f = findfcn(name.c_str());
    if (f && f->rettype == -1) {
      int sn = C->tt.addname(name);
      r.type = cc_type(E_STRUCT, na == 0 ? O_SCALAR : O_MATRIX, -1, sn);
    } else if (f) {
      r.type = cc_type(f->rettype, f->retorg);
    } else {
      r.type = cc_type(E_TRANS, O_MATRIX);
    }
    return r;
  }
  // e[|r|]
  if (tok(hi - 1) == T_RRANGE && mat(hi - 1) > lo) {
    int open = mat(hi - 1);
    int bt = cxt(lo, open);
    if (open + 1 >= hi - 1) cc_fail("invalid [||]");
    int t = cxt(open + 1, hi - 1);
    if (!reallike(t)) typeerr1("[| |] (subscripts)", "real");
    cc_emit(oprsubscr);
    const CType& b = C->tt.at(bt);
    r.type = cc_type(b.el, O_MATRIX, b.ptr, b.sname);
    return r;
  }
  if (memberform(lo, hi, &r.type)) return r;
  if (n == 1 && t0.code == T_NULL) {
    cc_emit(opldnull);
    r.type = cc_type(E_PTR, O_SCALAR, cc_type(E_TRANS, O_MATRIX));
    return r;
  }
  if (n == 1 && t0.code == T_VOIDK) {
    cc_emit(opldvoid);
    r.type = cc_type(E_TRANS, O_MATRIX);
    return r;
  }
  if (n == 1 && t0.code == T_NAME) {
    r.type = pushvar(t0.text);
    return r;
  }
  if ((t0.code == T_MEMBER || t0.code == T_ARROW) || tok(hi - 1) == T_MEMBER || tok(hi - 1) == T_ARROW)
    cc_fail("invalid structure reference");
  cc_fail("expression invalid");
}

XRes cx(int lo, int hi) {
  if (lo >= hi) cc_fail("nothing found where subexp expected");
  // 1. strip enclosing parentheses
  while (tok(lo) == '(' && mat(lo) == hi - 1) {
    ++lo;
    --hi;
    if (lo >= hi) cc_fail("nothing found where subexp expected");
  }
  // (void) e
  if (hi - lo >= 4 && tok(lo) == '(' && tok(lo + 1) == T_VOID && tok(lo + 2) == ')') {
    XRes r = cx(lo + 3, hi);
    r.novalue = true;
    return r;
  }
  // 2. binary operators: one pass records the rightmost binary occurrence
  // of each at depth zero (the leftmost `=`, which groups to the right)
  int best[NBIN];
  for (int& b : best) b = -1;
  int eq = -1, quest = -1, pow = -1;
  for (int i = hi - 1; i >= lo; --i) {
    int c = tok(i);
    if (isclose(c)) {
      i = mat(i);
      continue;
    }
    if (c == '=') {
      eq = i;
      continue;
    }
    if (c == '?') {
      quest = i;
      continue;
    }
    if (i == lo || i == hi - 1 || !operandend(i - 1)) continue;
    if ((c == '^' || c == T_CPOW) && pow < 0) pow = i;
    for (int k = 0; k < NBIN; ++k)
      if (binops[k].tok == c && best[k] < 0) best[k] = i;
  }
  if (eq >= 0) return assignment(lo, eq, hi);
  if (quest >= 0) return conditional(lo, quest, hi);
  for (int k = 0; k < NBIN; ++k) {
    int p = best[k];
    if (p < 0) continue;
    const BinOp& b = binops[k];
    int lt = cxt(lo, p);
    int rt = cxt(p + 1, hi);
    int res = E_TRANS;
    if (!ct_rule(b.rule, C->tt.at(lt), C->tt.at(rt), C->tt, &res)) typeerr2(lt, b.text, rt);
    cc_emit(b.op);
    XRes r;
    r.type = cc_type(res, O_MATRIX);
    return r;
  }
  // 3. powers; minus signs before the left operand apply afterwards
  if (pow >= 0) {
    int a = lo, neg = 0;
    while (a < pow && tok(a) == '-') {
      ++a;
      ++neg;
    }
    int lt = cxt(a, pow);
    int rt = cxt(pow + 1, hi);
    int res = E_TRANS;
    if (!ct_rule(R_KRON, C->tt.at(lt), C->tt.at(rt), C->tt, &res))
      typeerr2(lt, tok(pow) == '^' ? "^" : ":^", rt);
    cc_emit(tok(pow) == '^' ? oppower : opcpower);
    if (neg % 2) cc_emit(opneg);
    XRes r;
    r.type = cc_type(res, O_MATRIX);
    return r;
  }
  // 4. transpose
  if (tok(hi - 1) == '\'' && hi - 1 > lo) {
    int t = cxt(lo, hi - 1);
    cc_emit(optrans);
    XRes r;
    r.type = t;
    return r;
  }
  return primary(lo, hi);
}

// Loads the expression's tokens, reading continuation lines while brackets
// are open or after an operator, up to the terminator.
void load(int term) {
  Cc& c = *C;
  c.xt.clear();
  c.match.clear();
  std::vector<int> open;
  auto push = [&](int code, const char* text, double num, const std::string& str) {
    if (c.xt.size() >= 500) cc_fail("too many tokens");
    XTok x;
    x.code = code;
    x.text = text;
    x.num = num;
    x.str = str;
    c.xt.push_back(std::move(x));
    c.match.push_back(-1);
  };
  for (;;) {
    int code = c.tok.code;
    int last = c.xt.empty() ? 0 : c.xt.back().code;
    if (code == T_EOL && (!open.empty() || wantsmore(last))) {
      cc_nlokay();
      continue;
    }
    if (open.empty()) {
      if (code == term || (term == T_EOL && (code == ';' || (code == '}' && c.blockdepth > 0))))
        break;
      if (term != T_EOL && code == ';' && term != ';') cc_mismatch(term);
    }
    if (code == T_EOL) cc_mismatch(term);
    if (code >= 200 && code != T_NULL && code != T_VOIDK && code != T_VOID && code != T_POINTER)
      cc_mismatch(open.empty() ? term : c.match.empty() ? term : T_NEVER);
    if (code == T_OTHER) cc_mismatch(T_NEVER);
    if (code == ';' || code == '{' || code == '}') cc_mismatch(open.empty() ? term : T_NEVER);
    // inserted tokens
    if ((code == '(' || code == T_NAME) && last == '\'') push('*', "*", 0, "");
    if (code == ',' && (last == '[' || (last == ',' && !open.empty() && c.xt[static_cast<size_t>(open.back())].code == '[')))
      push(T_NUM, ".", misval, "");
    if (code == ']' && last == ',') push(T_NUM, ".", misval, "");
    if (isclose(code)) {
      if (open.empty()) cc_mismatch(term);
      int o = open.back();
      int oc = c.xt[static_cast<size_t>(o)].code;
      if ((code == ')' && oc != '(') || (code == ']' && oc != '[') || (code == T_RRANGE && oc != T_LRANGE))
        cc_fail("too many '(', '[', or '['");
      open.pop_back();
      push(code, c.tok.text, c.tok.num, c.tok.str);
      int k = static_cast<int>(c.xt.size() - 1);
      c.match[static_cast<size_t>(k)] = o;
      c.match[static_cast<size_t>(o)] = k;
    } else {
      push(code, c.tok.text, c.tok.num, c.tok.str);
      if (isopen(code)) open.push_back(static_cast<int>(c.xt.size() - 1));
    }
    cc_gettok();
  }
  if (c.xt.empty()) cc_fail("nothing found where subexp expected");
}

}  // namespace

bool cc_expr(int term) {
  load(term);
  C->postponed.clear();
  XRes r = cx(0, static_cast<int>(C->xt.size()));
  for (const Ins& in : C->postponed) cc_emit(in.op, in.a[0]);
  C->postponed.clear();
  return r.novalue;
}

void cc_condexpr(int term) {
  load(term);
  C->postponed.clear();
  XRes r = cx(0, static_cast<int>(C->xt.size()));
  for (const Ins& in : C->postponed) cc_emit(in.op, in.a[0]);
  C->postponed.clear();
  const CType& t = C->tt.at(r.type);
  if (t.fn || !(t.el == E_TRANS || t.el == E_REAL || t.el == E_NUM || t.el == E_PTR || t.el == E_CPLX))
    cc_failsml("{p 0 4 2}type mismatch:{break}" + C->tt.text(r.type) + "{break}used as a condition{break}not allowed{p_end}\n");
}
