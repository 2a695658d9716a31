// Vemo compiler, statements: the entry `cc_compile` with its one non-local
// exit, the token reader over source lines, symbols and tags, statements and
// declarations, function and structure definitions, the prologue, the notes
// on unused and unset variables, and the assembly of the instruction list
// into the words of a compiled function. Expressions are in cexpr.cpp.
#include "vemo/ccstate.h"

#include <cmath>
#include <cstring>

#include "interp/interp.h"
#include "output/output.h"
#include "output/rc.h"
#include "platform/platform.h"
#include "vemo/verify.h"
#include "vemo/vm.h"

Cc* C = nullptr;

// ---------------------------------------------------------------- failure

void cc_fail(const std::string& msg, int rc) {
  int prev = setoutlev(OUT_ERROR);
  spout21((msg + "\n").c_str());
  setoutlev(prev);
  throw CcErr{rc};
}

void cc_failsml(const std::string& zmcl, int rc) {
  int prev = setoutlev(OUT_ERROR);
  spoutsml(zmcl.c_str());
  setoutlev(prev);
  throw CcErr{rc};
}

// "'x' found where 'y' expected".
void cc_mismatch(int expected) {
  std::string found = C->tok.code == T_EOL ? "nothing" : std::string("'") + C->tok.text + "'";
  cc_fail(found + " found where " + cc_tokdesc(expected) + " expected");
}

// ---------------------------------------------------------------- tokens

// Reads the next physical line of the statement; fails when none may be read.
static void readline_more() {
  Cc& c = *C;
  std::string line;
  if (c.hasheld) {
    c.hasheld = false;
    c.src->line = c.held;
  } else {
    if (!c.src->canmore || !c.src->more) cc_fail("<istmt> incomplete");
    int r = c.src->more(line);
    if (r == 1) cc_fail("unexpected end of file", RC_EOF);
    if (r == 2) {
      // the block's `end`: it still ends the block
      c.src->pending = line;
      c.src->haspending = true;
      cc_fail("unexpected end of line");
    }
    c.src->line = line;
  }
  if (c.src->lineno) {
    // the file's own numbering where the source has one, else counted on
    // from the statement's first line
    const int l = srclineno();
    c.src->lineno = l > c.src->lineno ? l : c.src->lineno + 1;
  }
  if (stopflag) cc_fail("--Break--", 1);
  c.tok.pos = 0;
}

int cc_gettok() {
  Cc& c = *C;
  for (;;) {
    int code = cc_lex(c.src->line, c.tok, &c.comment);
    if (code == -1) cc_fail("mismatched quotes");
    if (code == T_COMCLOSE) cc_fail("'*/' found where nothing expected");
    if (code == T_EOL && c.comment > 0) {
      readline_more();
      c.tok.code = c.tok.prev;
      continue;
    }
    return code;
  }
}

void cc_match(int code) {
  if (C->tok.code != code) cc_mismatch(code);
  cc_gettok();
}

void cc_tokenis(int code) {
  if (C->tok.code != code) cc_mismatch(code);
}

// At an end of line where the statement must go on, reads the next line.
void cc_nlokay() {
  while (C->tok.code == T_EOL) {
    readline_more();
    cc_gettok();
  }
}

int cc_nexttok() {
  CcTok save = C->tok;
  int comment = C->comment;
  int code = cc_gettok();
  C->tok = save;
  C->comment = comment;
  return code;
}

int cc_nextnexttok() {
  CcTok save = C->tok;
  int comment = C->comment;
  cc_gettok();
  int code = cc_gettok();
  C->tok = save;
  C->comment = comment;
  return code;
}

// ---------------------------------------------------------------- emission

int cc_emit(int op, int a0, int a1, int a2) {
  Ins i;
  i.op = op;
  i.a[0] = a0;
  i.a[1] = a1;
  i.a[2] = a2;
  C->ins.push_back(std::move(i));
  if (C->ins.size() > static_cast<size_t>(C->maxins)) cc_fail("program too long");
  return static_cast<int>(C->ins.size() - 1);
}

int cc_emits(int op, const std::string& s, int a0) {
  int k = cc_emit(op, a0);
  C->ins[static_cast<size_t>(k)].s = s;
  return k;
}

int cc_newtag(const std::string& name) {
  if (C->tagpos.size() >= 500) cc_fail("too many branch points");
  C->tagpos.push_back(-1);
  C->tagname.push_back(name);
  return static_cast<int>(C->tagpos.size() - 1);
}

void cc_placetag(int tag) { C->tagpos[static_cast<size_t>(tag)] = static_cast<int>(C->ins.size()); }

void cc_branch(int op, int tag) {
  int k = cc_emit(op, tag);
  C->ins[static_cast<size_t>(k)].fix = FIX_BRANCH;
}

int cc_numlit(double x) {
  for (size_t i = 0; i < C->nums.size(); ++i)
    if (C->nums[i] == x || (std::isnan(x) && std::isnan(C->nums[i]))) return static_cast<int>(i);
  if (C->nums.size() >= 100) cc_fail("no room to add more double literals");
  C->nums.push_back(x);
  return static_cast<int>(C->nums.size() - 1);
}

int cc_strlit(const std::string& s) {
  for (size_t i = 0; i < C->strs.size(); ++i)
    if (C->strs[i] == s) return static_cast<int>(i);
  if (C->strs.size() >= 500) cc_fail("too many string literals");
  C->strs.push_back(s);
  return static_cast<int>(C->strs.size() - 1);
}

int cc_type(int el, int org, int ptr, int sname, bool fn) {
  CType t;
  t.el = static_cast<int8_t>(el);
  t.org = static_cast<int8_t>(org);
  t.ptr = static_cast<int16_t>(ptr);
  t.sname = static_cast<int16_t>(sname);
  t.fn = fn;
  int k = C->tt.add(t);
  if (k < 0) cc_fail("no room to add more types");
  return k;
}

// ---------------------------------------------------------------- symbols

int cc_findsym(const std::string& name) {
  for (size_t i = 0; i < C->syms.size(); ++i)
    if (C->syms[i].name == name) return static_cast<int>(i);
  return -1;
}

int cc_addsym(const std::string& name, int cls, int kind, int type) {
  if (C->syms.size() >= 200) cc_fail("no room to add more symbols");
  Sym s;
  s.name = name;
  s.cls = cls;
  s.kind = kind;
  s.type = type;
  C->syms.push_back(s);
  return static_cast<int>(C->syms.size() - 1);
}

// The slot of a variable named name, created as a local (or, in an
// interactive statement, an external) when new.
int cc_varsym(const std::string& name) {
  int k = cc_findsym(name);
  if (k >= 0 && C->syms[static_cast<size_t>(k)].kind != 2) return k;
  if (k >= 0) cc_fail("symbol " + name + " multiply defined");
  return cc_addsym(name, C->infunc ? 0 : 1, 3, cc_type(E_TRANS, O_MATRIX));
}

// The slot holding the function called name.
int cc_fcnsym(const std::string& name) {
  int k = cc_findsym(name);
  if (k >= 0) {
    Sym& s = C->syms[static_cast<size_t>(k)];
    if (s.kind == 2 || C->tt.at(s.type).fn) {
      s.used = true;
      return k;
    }
    cc_fail(name + "() not a function");  // a variable of that name
  }
  k = cc_addsym(name, 1, 2, cc_type(E_TRANS, O_MATRIX, -1, -1, true));
  C->syms[static_cast<size_t>(k)].used = true;
  return k;
}

// ---------------------------------------------------------------- types

static bool istypeword(int code) {
  switch (code) {
    case T_TRANSMORPHIC: case T_REAL: case T_STRING: case T_COMPLEX: case T_NUMERIC:
    case T_POINTER: case T_STRUCT: case T_MATRIX: case T_SCALAR: case T_VECTOR:
    case T_ROWVECTOR: case T_COLVECTOR: case T_VOID:
      return true;
    default: return false;
  }
}

// type -> [eltype] [org]; -1 when the current token starts no type.
int cc_parsetype() {
  int el = -1, org = -1, ptr = -1, sname = -1;
  switch (C->tok.code) {
    case T_TRANSMORPHIC: el = E_TRANS; break;
    case T_REAL: el = E_REAL; break;
    case T_STRING: el = E_STR; break;
    case T_COMPLEX: el = E_CPLX; break;
    case T_NUMERIC: el = E_NUM; break;
    case T_POINTER: el = E_PTR; break;
    case T_STRUCT: el = E_STRUCT; break;
    default: break;
  }
  if (el >= 0) {
    cc_gettok();
    if (el == E_STRUCT) {
      cc_tokenis(T_NAME);
      sname = C->tt.addname(C->tok.text);
      if (sname < 0) cc_fail("no room to record more structure names");
      cc_gettok();
    } else if (el == E_PTR && C->tok.code == '(') {
      // pointer(type), pointer(type function), pointer(function)
      cc_gettok();
      if (C->tok.code == T_FUNCTION) {
        ptr = cc_type(E_TRANS, O_MATRIX, -1, -1, true);
        cc_gettok();
      } else {
        int t = cc_parsetype();
        if (t < 0) cc_mismatch(T_NEVER);
        if (C->tok.code == T_FUNCTION) {
          CType ft = C->tt.at(t);
          t = cc_type(ft.el, ft.org, ft.ptr, ft.sname, true);
          cc_gettok();
        }
        ptr = t;
      }
      cc_match(')');
    }
  }
  switch (C->tok.code) {
    case T_MATRIX: org = O_MATRIX; break;
    case T_SCALAR: org = O_SCALAR; break;
    case T_VECTOR: org = O_VECTOR; break;
    case T_ROWVECTOR: org = O_ROWVEC; break;
    case T_COLVECTOR: org = O_COLVEC; break;
    case T_VOID: org = O_VOID; break;
    default: break;
  }
  if (org >= 0) cc_gettok();
  if (el < 0 && org < 0) return -1;
  if (el < 0) el = E_TRANS;
  if (org < 0) org = O_MATRIX;
  if (el == E_PTR && ptr < 0) ptr = cc_type(E_TRANS, O_MATRIX);
  return cc_type(el, org, ptr, sname);
}

// Emits the assertion of a declared type on the top of the stack.
void cc_assert(int type) {
  const CType& t = C->tt.at(type);
  switch (t.org) {
    case O_SCALAR: cc_emit(opisscal); break;
    case O_VECTOR: cc_emit(opisvec); break;
    case O_ROWVEC: cc_emit(opisrvec); break;
    case O_COLVEC: cc_emit(opiscvec); break;
    case O_VOID: cc_emit(opisvoid); break;
    default: break;
  }
  switch (t.el) {
    case E_REAL: cc_emit(opisreal); break;
    case E_STR: cc_emit(opisstr); break;
    case E_CPLX: cc_emit(opiscx); break;
    case E_NUM: cc_emit(opisnumer); break;
    default: break;
  }
}

// Allocation opcode of a declared type (optional: the opolc_ family).
static int alcop(const CType& t, bool optional) {
  static const int alc[5][5] = {
      // real, string, complex, pointer, struct
      {opalc_rm, opalc_sm, opalc_cm, opalc_pm, opalc_stcm},
      {opalc_rs, opalc_ss, opalc_cs, opalc_ps, opalc_stcs},
      {opalc_rr, opalc_sr, opalc_cr, opalc_pr, opalc_stcr},
      {opalc_rr, opalc_sr, opalc_cr, opalc_pr, opalc_stcr},
      {opalc_rc, opalc_sc, opalc_cc, opalc_pc, opalc_stcc},
  };
  static const int olc[5][5] = {
      {opolc_rm, opolc_sm, opolc_cm, opolc_pm, opolc_stcm},
      {opolc_rs, opolc_ss, opolc_cs, opolc_ps, -1},
      {opolc_rr, opolc_sr, opolc_cr, opolc_pr, opolc_stcr},
      {opolc_rr, opolc_sr, opolc_cr, opolc_pr, opolc_stcr},
      {opolc_rc, opolc_sc, opolc_cc, opolc_pc, opolc_stcc},
  };
  if (t.org == O_VOID) return optional ? opolc_rm : opalc_rm;
  int row = t.org == O_MATRIX ? 0 : t.org == O_SCALAR ? 1 : t.org == O_VECTOR ? 2 : t.org == O_ROWVEC ? 3 : 4;
  int col = 0;
  switch (t.el) {
    case E_STR: col = 1; break;
    case E_CPLX: col = 2; break;
    case E_PTR: col = 3; break;
    case E_STRUCT: col = 4; break;
    default: col = 0;
  }
  int op = optional ? olc[row][col] : alc[row][col];
  if (op < 0) cc_fail(optional ? "sysfail o45" : "sysfail 45");
  return op;
}

// ---------------------------------------------------------------- statements

static void statement();

// Ends a simple statement: the token must be an end of line, `;` or a
// closing brace of an enclosing block.
static void endstmt() {
  int c = C->tok.code;
  if (c == T_EOL || c == ';' || (c == '}' && C->blockdepth > 0) || c == T_ELSE) return;
  cc_mismatch(T_EOL);
}

// When an if-statement ends a line inside a block, looks at the next line
// for an `else`; a line that does not start with one is held for the block.
static bool peekelse() {
  Cc& c = *C;
  if (c.tok.code == T_ELSE) return true;
  if (c.tok.code != T_EOL) return false;
  const bool top = c.blockdepth == 0;
  if (top && !(c.src->canpeek && c.src->peek && !c.infunc)) return false;
  for (;;) {
    if (top) {
      // an interactive statement: the line goes back to the session
      std::string line;
      int r = c.src->peek(line);
      if (r == 1) return false;
      CcTok t;
      int comment = 0;
      int code = r == 2 ? T_END : cc_lex(line, t, &comment);
      if (code == T_EOL && comment == 0) continue;
      if (code == T_ELSE) {
        c.src->line = line;
        c.tok.pos = 0;
        cc_gettok();
        return true;
      }
      c.src->pending = line;
      c.src->haspending = true;
      return false;
    }
    readline_more();
    CcTok t;
    int comment = 0;
    int code = cc_lex(c.src->line, t, &comment);
    if (code == T_EOL && comment == 0) continue;  // blank line
    if (code == T_ELSE) {
      c.tok.pos = 0;
      cc_gettok();
      return true;
    }
    c.held = c.src->line;
    c.hasheld = true;
    c.tok.code = T_EOL;
    c.tok.pos = c.src->line.size();
    return false;
  }
}

// block -> '{' EOL { statement } '}'
static void block() {
  cc_match('{');
  ++C->blockdepth;
  for (;;) {
    while (C->tok.code == T_EOL || C->tok.code == ';') {
      if (C->tok.code == ';') cc_gettok();
      else cc_nlokay();
    }
    if (C->tok.code == '}') break;
    statement();
  }
  --C->blockdepth;
  cc_gettok();
}

// The body of if/while/for/else: a statement that may start on the next line.
static void substatement() {
  if (C->tok.code == T_EOL) cc_nlokay();
  statement();
}

// ifstmt -> IF '(' exp ')' statement [ELSE statement]
static void ifstmt() {
  cc_gettok();
  cc_match('(');
  cc_condexpr(')');
  cc_match(')');
  int l1 = cc_newtag();
  cc_branch(optst0, l1);
  substatement();
  if (C->tok.code == ';' && cc_nexttok() == T_ELSE) cc_gettok();
  if (peekelse()) {
    cc_gettok();
    int l2 = cc_newtag();
    cc_branch(opgoto, l2);
    cc_placetag(l1);
    substatement();
    cc_placetag(l2);
  } else {
    cc_placetag(l1);
  }
}

// whilestmt -> WHILE '(' exp ')' statement
static void whilestmt() {
  cc_gettok();
  int l0 = cc_newtag(), l1 = cc_newtag();
  cc_placetag(l0);
  cc_match('(');
  cc_condexpr(')');
  cc_match(')');
  cc_branch(optst0, l1);
  C->loops.push_back({l0, l1});
  substatement();
  C->loops.pop_back();
  cc_branch(opgoto, l0);
  cc_placetag(l1);
}

// dostmt -> DO statement WHILE '(' exp ')'
static void dostmt() {
  cc_gettok();
  int l0 = cc_newtag(), lc = cc_newtag(), l1 = cc_newtag();
  cc_placetag(l0);
  C->loops.push_back({lc, l1});
  substatement();
  C->loops.pop_back();
  if (C->tok.code == ';') cc_gettok();
  if (C->tok.code == T_EOL) cc_nlokay();
  cc_match(T_WHILE);
  cc_placetag(lc);
  cc_match('(');
  cc_condexpr(')');
  cc_match(')');
  cc_branch(optst0, l1);
  cc_branch(opgoto, l0);
  cc_placetag(l1);
}

// forstmt -> FOR '(' [exp] ';' exp ';' [exp] ')' statement
static void forstmt() {
  cc_gettok();
  cc_match('(');
  if (C->tok.code != ';') {
    cc_expr(';');
    cc_emit(oppop);
  }
  cc_match(';');
  int lt = cc_newtag(), lx = cc_newtag(), ls = cc_newtag(), lb = cc_newtag();
  cc_placetag(lt);
  cc_condexpr(';');
  cc_match(';');
  cc_branch(optst0, lx);
  cc_branch(opgoto, ls);
  cc_placetag(lb);
  if (C->tok.code != ')') {
    cc_expr(')');
    cc_emit(oppop);
  }
  cc_match(')');
  cc_branch(opgoto, lt);
  cc_placetag(ls);
  C->loops.push_back({lb, lx});
  substatement();
  C->loops.pop_back();
  cc_branch(opgoto, lb);
  cc_placetag(lx);
}

static int labeltag(const std::string& name) {
  for (size_t i = 0; i < C->tagname.size(); ++i)
    if (C->tagname[i] == name) return static_cast<int>(i);
  if (name.size() > 7) cc_fail(name + ":  tag name too long");
  return cc_newtag(name);
}

// declaration -> [EXTERNAL] type name ['()'] {',' name ['()']}
static void declaration(bool external) {
  int type = cc_parsetype();
  if (type < 0) cc_mismatch(T_NEVER);
  for (;;) {
    cc_tokenis(T_NAME);
    std::string name = C->tok.text;
    cc_gettok();
    bool fn = false;
    if (C->tok.code == '(') {
      cc_gettok();
      cc_match(')');
      fn = true;
    }
    if (builtin_find(name.c_str()) >= 0) cc_fail(name + "() is built-in");
    int k = cc_findsym(name);
    if (k >= 0) {
      Sym& s = C->syms[static_cast<size_t>(k)];
      if (s.declared || s.cls == 2) cc_fail("symbol " + name + " multiply defined");
      s.declared = true;
      s.type = type;
      if (external) s.cls = 1;
      if (fn) s.kind = 2;
    } else {
      int t = type;
      if (fn) {
        const CType& ct = C->tt.at(type);
        t = cc_type(ct.el, ct.org, ct.ptr, ct.sname, true);
      }
      k = cc_addsym(name, external ? 1 : 0, fn ? 2 : 1, t);
      C->syms[static_cast<size_t>(k)].declared = true;
    }
    const CType& ct = C->tt.at(type);
    if (ct.el == E_STRUCT && ct.org == O_SCALAR) C->syms[static_cast<size_t>(k)].structscalar = true;
    if (external && !C->infunc) C->syms[static_cast<size_t>(k)].set = true;  // created when missing
    if (C->tok.code != ',') break;
    cc_gettok();
    if (C->tok.code == T_EOL) cc_nlokay();
  }
  endstmt();
}

static void statement() {
  Cc& c = *C;
  if (stopflag) cc_fail("--Break--", 1);
  if (vst.lnum && c.src->lineno) cc_emit(oplinum, c.src->lineno);
  switch (c.tok.code) {
    case '{': block(); return;
    case T_IF: ifstmt(); return;
    case T_WHILE: whilestmt(); return;
    case T_DO: dostmt(); return;
    case T_FOR: forstmt(); return;
    case T_BREAK:
    case T_CONTINUE: {
      if (c.loops.empty()) cc_fail("misplaced break or continue");
      int tag = c.tok.code == T_BREAK ? c.loops.back().second : c.loops.back().first;
      cc_branch(opgoto, tag);
      cc_gettok();
      endstmt();
      return;
    }
    case T_GOTO: {
      cc_gettok();
      cc_tokenis(T_NAME);
      cc_branch(opgoto, labeltag(c.tok.text));
      cc_gettok();
      endstmt();
      return;
    }
    case T_RETURN: {
      cc_gettok();
      if (c.tok.code == '(') {
        cc_gettok();
        if (c.tok.code == ')') {
          cc_emit(opldvoid);
        } else {
          cc_expr(')');
        }
        cc_match(')');
      } else {
        cc_emit(opldvoid);
      }
      endstmt();
      if (c.infunc) cc_branch(opgoto, c.rettag);
      else cc_emit(opstop);
      return;
    }
    case T_VERSION: {
      cc_gettok();
      cc_tokenis(T_NUM);
      double v = std::floor(c.tok.num * 100 + 0.5);
      if (!(v >= 890 && v <= 920)) cc_fail("version number invalid");
      cc_emit(oplibver, static_cast<int>(v));
      cc_gettok();
      endstmt();
      return;
    }
    case T_PRAGMA: {
      cc_gettok();
      cc_tokenis(T_NAME);
      std::string what = c.tok.text;
      if (what != "unused" && what != "unset") cc_fail("invalid pragma");
      cc_gettok();
      cc_tokenis(T_NAME);
      int k = cc_findsym(c.tok.text);
      if (k < 0) cc_fail(std::string(c.tok.text) + " not found");
      if (what == "unused") c.syms[static_cast<size_t>(k)].used = true;
      else c.syms[static_cast<size_t>(k)].set = true;
      cc_gettok();
      endstmt();
      return;
    }
    case T_EXTERNAL:
      cc_gettok();
      declaration(true);
      return;
    case T_NAME:
      if (cc_nexttok() == ':') {
        std::string name = c.tok.text;
        int tag = labeltag(name);
        if (c.tagpos[static_cast<size_t>(tag)] >= 0) cc_fail("symbol " + name + " multiply defined");
        cc_placetag(tag);
        cc_gettok();
        cc_gettok();
        if (c.tok.code == T_EOL || c.tok.code == ';' || c.tok.code == '}') return;
        statement();
        return;
      }
      break;
    case T_EOL:
    case ';':
      return;
    default:
      if (istypeword(c.tok.code)) {
        if (!c.infunc) cc_fail("declarations are allowed only inside functions");
        declaration(false);
        return;
      }
      break;
  }
  bool novalue = cc_expr(T_EOL);
  if (!novalue) cc_emit(oplist2);
  cc_emit(oppop);
  endstmt();
}

// ---------------------------------------------------------------- functions

// The prologue: argument checks, optional arguments, locals, externals and
// function references; then a jump to the body.
static void prologue(int bodytag) {
  Cc& c = *C;
  if (c.infunc) {
    if (c.firstopt < 0) {
      cc_emit(opnarg, c.nargs);
    } else {
      cc_emit(oparg2, c.firstopt, c.nargs);
      for (int k = c.firstopt; k < c.nargs; ++k) {
        const Sym& s = c.syms[static_cast<size_t>(k)];
        const CType& t = c.tt.at(s.type);
        if (t.el == E_STRUCT) cc_emits(opfindf, c.tt.sname(s.type), 0);
        int i = cc_emits(alcop(t, true), s.name, k + 1);
        (void)i;
      }
    }
    for (int k = 0; k < c.nargs; ++k) {
      const Sym& s = c.syms[static_cast<size_t>(k)];
      cc_emit(oppush, k);
      cc_emit(c.tt.at(s.type).fn ? opisfcn : opismat);
      if (!c.tt.at(s.type).fn) cc_assert(s.type);
      cc_emit(oppop);
    }
  }
  for (size_t k = static_cast<size_t>(c.nargs); k < c.syms.size(); ++k) {
    const Sym& s = c.syms[k];
    const CType& t = c.tt.at(s.type);
    if (s.kind == 2) {
      cc_emits(opfindf, s.name, 0);
      continue;
    }
    if (!c.infunc) {
      cc_emits(opfind, s.name, s.set ? 1 : 3);
      continue;
    }
    if (s.cls == 1) {
      int g = t.el == E_CPLX ? 2 : t.el == E_STR ? 3 : t.el == E_PTR ? 4 : 1;
      int o = t.org == O_VECTOR ? 2 : t.org == O_ROWVEC ? 3 : t.org == O_COLVEC ? 4 : t.org == O_SCALAR ? 5 : 1;
      cc_emits(opextern, s.name, 256 * g + o);
      cc_assert(s.type);
      continue;
    }
    if (t.el == E_STRUCT) cc_emits(opfindf, c.tt.sname(s.type), 0);
    cc_emits(alcop(t, false), s.name);
  }
  cc_branch(opgoto, bodytag);
}

// The notes (and, under vemostrict, the errors) about a function's symbols.
static void symnotes() {
  Cc& c = *C;
  if (vst.strict) {
    bool any = false;
    for (const Sym& s : c.syms)
      if (s.cls == 0 && !s.declared && s.kind != 2) {
        int prev = setoutlev(OUT_ERROR);
        spout21(("variable " + s.name + " undeclared\n").c_str());
        setoutlev(prev);
        any = true;
      }
    if (any) throw CcErr{3000};
  }
  int prev = setoutlev(OUT_NOTE);
  for (size_t k = 0; k < c.syms.size(); ++k) {
    const Sym& s = c.syms[k];
    std::string what;
    if (s.cls == 2) {
      if (!s.used) what = (c.tt.at(s.type).fn ? "function " + s.name + "()" : "argument " + s.name) + " unused";
    } else if (s.kind == 2) {
      continue;
    } else if (s.cls == 1) {
      if (!s.used && !s.set) what = "variable " + s.name + " unused";
    } else if (s.ubs && !s.structscalar) {
      what = "variable " + s.name + " may be used before set";
    } else if (!s.used && !s.set) {
      what = "variable " + s.name + " unused";
    } else if (!s.used) {
      what = "variable " + s.name + " set but not used";
    }
    if (!what.empty()) spout21(("note: " + what + "\n").c_str());
  }
  setoutlev(prev);
}

// Turns the instruction list into code words: instruction addresses,
// branch and literal operands, and the literal pools.
static Fcn* assemble() {
  Cc& c = *C;
  std::vector<Ins>& ins = c.ins;
  std::vector<int32_t> w;
  w.push_back(920);
  w.push_back(std::max(900, c.version));
  std::vector<int> addr(ins.size() + 1, 0);
  auto strwords = [](const std::string& s) { return static_cast<int>((s.size() + 1 + 3) / 4); };
  int a = 2;
  for (size_t i = 0; i < ins.size(); ++i) {
    addr[i] = a;
    int lay = vm_oplayout[ins[i].op];
    int len = 1;
    switch (lay) {
      case L_W: len = 2; break;
      case L_WW: len = 3; break;
      case L_WWW: len = 4; break;
      case L_S: len = 2 + strwords(ins[i].s); break;
      case L_WS: len = 3 + strwords(ins[i].s); break;
      case L_WWWS: len = 5 + strwords(ins[i].s); break;
      default: break;
    }
    a += len;
  }
  addr[ins.size()] = a;
  // pool addresses
  int p = a;
  if (p % 2) ++p;
  const int numbase = p + 2;  // after opcode 38 and the count
  std::vector<int> straddr;
  int q = numbase + 2 * static_cast<int>(c.nums.size()) + 2;
  for (const std::string& s : c.strs) {
    straddr.push_back(q);
    q += 1 + strwords(s);
  }
  auto putstr = [&](const std::string& s) {
    int n = strwords(s);
    w.push_back(n);
    size_t at = w.size();
    w.resize(at + static_cast<size_t>(n), 0);
    std::memcpy(&w[at], s.data(), s.size());
  };
  for (size_t i = 0; i < ins.size(); ++i) {
    const Ins& in = ins[i];
    w.push_back(in.op);
    int lay = vm_oplayout[in.op];
    int32_t a0 = in.a[0];
    if (in.fix == FIX_BRANCH) a0 = addr[static_cast<size_t>(a0)];
    else if (in.fix == FIX_NUM) a0 = numbase + 2 * a0;
    else if (in.fix == FIX_STR) a0 = straddr[static_cast<size_t>(a0)];
    switch (lay) {
      case L_W: w.push_back(a0); break;
      case L_WW: w.push_back(a0); w.push_back(in.a[1]); break;
      case L_WWW: w.push_back(a0); w.push_back(in.a[1]); w.push_back(in.a[2]); break;
      case L_S: putstr(in.s); break;
      case L_WS: w.push_back(a0); putstr(in.s); break;
      case L_WWWS: w.push_back(0); w.push_back(0); w.push_back(0); putstr(in.s); break;
      default: break;
    }
  }
  while (w.size() % 2) w.push_back(oppad);
  w.push_back(opnumpool);
  w.push_back(static_cast<int32_t>(c.nums.size()));
  for (double x : c.nums) {
    int32_t two[2];
    std::memcpy(two, &x, 8);
    w.push_back(two[0]);
    w.push_back(two[1]);
  }
  w.push_back(opstrpool);
  w.push_back(static_cast<int32_t>(c.strs.size()));
  for (const std::string& s : c.strs) putstr(s);
  Fcn* f = new Fcn;
  f->code = std::move(w);
  return f;
}

// Resolves tags to instruction indices.
static void resolvetags() {
  Cc& c = *C;
  for (Ins& in : c.ins) {
    if (in.fix != FIX_BRANCH) continue;
    int t = c.tagpos[static_cast<size_t>(in.a[0])];
    if (t < 0) cc_fail(c.tagname[static_cast<size_t>(in.a[0])] + " undefined tag");
    in.a[0] = t;
  }
}

// Finishes the code of the statement: prologue, tags, optimizer, words.
static Fcn* finish(int bodytag, int ptag) {
  cc_emit(opstop);
  cc_placetag(ptag);
  prologue(bodytag);
  resolvetags();
  if (vst.optimize && !vst.lnum) {
    if (int rc = cc_optimize(C->ins)) throw CcErr{rc};
  }
  Fcn* f = assemble();
  vo_checkcompiled(f->code, C->infunc ? C->fname + "()" : "<istmt>");
  return f;
}

// fcndef -> [type] [FUNCTION] name '(' [arg {',' arg}] ')' statement
static void fcndef(int rettype) {
  Cc& c = *C;
  if (c.tok.code == T_FUNCTION) cc_gettok();
  cc_tokenis(T_NAME);
  std::string name = c.tok.text;
  if (builtin_find(name.c_str()) >= 0) cc_fail(name + "() is built-in");
  if (findfcn(name.c_str())) cc_fail(name + "() already exists");
  cc_gettok();
  cc_match('(');
  c.infunc = true;
  c.fname = name;
  c.rettype = rettype < 0 ? cc_type(E_TRANS, O_MATRIX) : rettype;
  if (c.tok.code == T_EOL) cc_nlokay();
  if (c.tok.code != ')') {
    for (;;) {
      if (c.tok.code == '|') {
        if (c.firstopt >= 0) cc_fail("illegal arglist");
        c.firstopt = c.nargs;
        cc_gettok();
      }
      int type = cc_parsetype();
      if (type < 0) type = cc_type(E_TRANS, O_MATRIX);
      cc_tokenis(T_NAME);
      std::string an = c.tok.text;
      cc_gettok();
      bool fn = false;
      if (c.tok.code == '(') {
        cc_gettok();
        cc_match(')');
        fn = true;
      }
      const CType& t = c.tt.at(type);
      if (c.firstopt >= 0 && fn) cc_fail("function arguments cannot be optional");
      if (c.firstopt >= 0 && t.el == E_STRUCT && t.org == O_SCALAR)
        cc_failsml("{p 0 0 2}struct scalars may not be received as optional arguments.{break} "
                   "Remove the qualifier -scalar- from the argument's declaration. "
                   "Now, if the argument is not passed, you will receive a 0 x 0 "
                   "struct and, if necessary, you can allocate it yourself.{p_end}\n");
      if (cc_findsym(an) >= 0) cc_fail("symbol " + an + " multiply defined");
      if (fn) type = cc_type(t.el, t.org, t.ptr, t.sname, true);
      int k = cc_addsym(an, 2, fn ? 2 : 1, type);
      C->syms[static_cast<size_t>(k)].set = true;
      C->syms[static_cast<size_t>(k)].declared = true;
      ++c.nargs;
      if (c.tok.code == ',') {
        cc_gettok();
        if (c.tok.code == T_EOL) cc_nlokay();
        continue;
      }
      if (c.tok.code == T_EOL) cc_nlokay();
      break;
    }
  }
  cc_match(')');
  if (c.tok.code == T_EOL) cc_nlokay();
  int ptag = cc_newtag(), atag = cc_newtag(), xtag = cc_newtag(), btag = cc_newtag();
  c.rettag = cc_newtag();
  cc_branch(opgoto, ptag);
  cc_placetag(btag);
  cc_branch(opgoto, atag);
  cc_placetag(c.rettag);
  cc_branch(opgoto, xtag);
  cc_placetag(atag);
  statement();
  cc_emit(opldvoid);
  cc_placetag(xtag);
  cc_assert(c.rettype);
  cc_emit(opreturn);
  if (c.tok.code != T_EOL && c.tok.code != ';') cc_mismatch(T_EOL);
  symnotes();
  Fcn* f = finish(btag, ptag);
  f->name = name;
  const CType& rt = c.tt.at(c.rettype);
  f->rettype = rt.el;
  f->retorg = rt.org;
  if (!mkfcn(f)) {
    delete f;
    cc_fail("cannot create " + name + "():  insufficient memory", RC_VM_NOMEM);
  }
}

// structdef -> STRUCT name '{' { type name {',' name} } '}'
static void structdef() {
  Cc& c = *C;
  cc_gettok();
  std::string name = c.tok.text;
  if (builtin_find(name.c_str()) >= 0) cc_fail(name + "() is built-in");
  if (findfcn(name.c_str())) cc_fail(name + "() already exists");
  cc_gettok();
  cc_match('{');
  Fcn* f = new Fcn;
  f->name = name;
  f->rettype = -1;
  try {
    for (;;) {
      while (c.tok.code == T_EOL || c.tok.code == ';') {
        if (c.tok.code == ';') cc_gettok();
        else cc_nlokay();
      }
      if (c.tok.code == '}') break;
      int type = cc_parsetype();
      if (type < 0) cc_fail("type declaration required");
      for (;;) {
        cc_tokenis(T_NAME);
        for (const Fcn::Member& m : f->members)
          if (m.name == c.tok.text) cc_fail(std::string("symbol ") + c.tok.text + " multiply defined");
        Fcn::Member m;
        m.name = c.tok.text;
        m.el = c.tt.at(type).el;
        m.org = c.tt.at(type).org;
        m.sname = c.tt.sname(type);
        if (m.el == E_STRUCT && m.sname == name && m.org == O_SCALAR)
          cc_fail("struct " + name + " may not contain itself");
        if (m.el == E_STRUCT && m.sname != name) {
          Fcn* d = findfcn(m.sname.c_str());
          if (!d || d->rettype != -1) cc_fail("struct " + m.sname + " not found");
        }
        f->members.push_back(m);
        cc_gettok();
        if (c.tok.code != ',') break;
        cc_gettok();
      }
      if (c.tok.code != T_EOL && c.tok.code != ';' && c.tok.code != '}') cc_mismatch(T_EOL);
    }
    cc_gettok();
    if (c.tok.code != T_EOL && c.tok.code != ';') cc_mismatch(T_EOL);
  } catch (...) {
    delete f;
    throw;
  }
  // code: release, version, 139, member count, then per member a type record
  // (tag 0: element type, organization, 0), its name (tag 2), the structure
  // name of struct members (tag 2), an end tag 3, and opreturn.
  std::vector<int32_t>& w = f->code;
  w = {920, std::max(900, c.version), opstructdef, static_cast<int32_t>(f->members.size())};
  auto putstr = [&](const std::string& s) {
    int n = static_cast<int>((s.size() + 4) / 4);
    w.push_back(2);
    w.push_back(n);
    size_t at = w.size();
    w.resize(at + static_cast<size_t>(n), 0);
    std::memcpy(&w[at], s.data(), s.size());
  };
  for (const Fcn::Member& m : f->members) {
    w.push_back(0);
    w.push_back(m.el);
    w.push_back(m.org);
    w.push_back(0);
    putstr(m.name);
    putstr(m.sname);
  }
  w.push_back(3);
  w.push_back(opreturn);
  if (!mkfcn(f)) {
    delete f;
    cc_fail("cannot create " + name + "():  insufficient memory", RC_VM_NOMEM);
  }
}

// Is the statement at the current token a function definition?
static bool isfcndef() {
  Cc& c = *C;
  if (c.tok.code == T_FUNCTION) return true;
  if (!istypeword(c.tok.code)) return false;
  CcTok save = c.tok;
  int comment = c.comment;
  bool yes = false;
  try {
    int t = cc_parsetype();
    (void)t;
    if (c.tok.code == T_FUNCTION) yes = true;
    else if (c.tok.code == T_NAME && cc_nexttok() == '(') yes = true;
  } catch (const CcErr&) {
    yes = false;
  }
  c.tok = save;
  c.comment = comment;
  return yes;
}

// The longest code one compilation may emit, in 32-bit words ("program too
// long"). A function's text is read through a buffer of the default macro
// length, and a word per four bytes of source covers what ordinary statements
// compile to; the fixed 8000 words are an allowance for code that does not
// shrink with the text (the frame and argument checks of every function, the
// line-number instructions of `set vemolnum`, and short subscripts and calls,
// which compile to more words than their bytes / 4), so that no text the
// buffer holds is refused for those.
constexpr int CC_MAXINS = MACROLEN_DEFAULT / 4 + 8000;

int cc_compile(CcSource& src, Fcn** istmt) {
  *istmt = nullptr;
  Cc cc;
  Cc* saved = C;
  C = &cc;
  cc.src = &src;
  cc.tok.pos = src.pos;
  cc.version = vst.version;
  cc.maxins = CC_MAXINS;
  const int oldstate = vm.state;
  vm.state = 2;
  int rc = 0;
  try {
    cc_gettok();
    if (cc.tok.code == T_STRUCT && cc_nexttok() == T_NAME && cc_nextnexttok() == '{') {
      structdef();
    } else if (isfcndef()) {
      int rettype = -1;
      if (cc.tok.code != T_FUNCTION) rettype = cc_parsetype();
      fcndef(rettype);
    } else {
      int ptag = cc_newtag(), btag = cc_newtag();
      cc_branch(opgoto, ptag);
      cc_placetag(btag);
      statement();
      if (cc.tok.code != T_EOL && cc.tok.code != ';') cc_mismatch(T_EOL);
      Fcn* f = finish(btag, ptag);
      f->name = "<istmt>";
      f->rettype = E_TRANS;
      *istmt = f;
    }
    src.pos = cc.tok.code == ';' ? cc.tok.pos : src.line.size();
  } catch (const CcErr& e) {
    rc = e.rc;
  }
  vm.state = oldstate;
  C = saved;
  return rc;
}
