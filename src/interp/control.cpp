// Control flow: `{ }` blocks, `if`/`else`, `while`, `foreach`, `forvalues`
// and `continue`. Blocks are run by reading lines from the current source up
// to the matching `}`; skipped lines are dispatched in scanning mode so that
// nesting stays balanced. Loops inside a program move its line counter back;
// a loop typed at the console or in a do-file is first stored as a temporary
// program and replayed from there.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "data/store.h"
#include "data/varlist.h"
#include "expr/expr.h"
#include "expr/keptexp.h"
#include "interp/cmdtab.h"
#include "interp/interp.h"
#include "interp/lineloop.h"
#include "interp/lineplan.h"
#include "interp/macro.h"
#include "interp/program.h"
#include "interp/tokenizer.h"
#include "interp/wordscan.h"
#include "output/errors.h"
#include "output/output.h"
#include "platform/platform.h"

namespace {

constexpr int MAXRUNWHILE = 1000;    // nested console/do-file loops
constexpr int MAXFOREACH = 9999;     // nested foreach loops

ProgSource* curprog() {
  if (interp.sources.empty() || !interp.sources.back()->isprogram()) return nullptr;
  return static_cast<ProgSource*>(interp.sources.back());
}

// True when the line about to run is one of that loop's and is reported.
bool timedline(const ProgSource* ps) {
  return interp.zelta_rmsg && prg.toploop && interp.procflg && ps && ps->p.get() == prg.toploop;
}

// Text of a loop header between `start` and its final `{` (blanks trimmed).
std::string beforebrace(const char* start) {
  const char* e = start + std::strlen(start);
  while (e > start && e[-1] == ' ') --e;
  if (e > start && e[-1] == '{') --e;
  while (e > start && e[-1] == ' ') --e;
  start = skipblanks(start);
  return std::string(start, e > start ? e : start);
}

}  // namespace

bool endsinbrace(const char* text) {
  const char* e = text + std::strlen(text);
  while (e > text && (e[-1] == ' ' || e[-1] == '\t')) --e;
  return e > text && e[-1] == '{';
}

// block -> '{' lines '}'
int opbrace8() {
  const bool savedproc = interp.procflg;
  const bool savedlastif = ctl.lastif;
  const size_t depth = static_cast<size_t>(prg.blockdepth++);
  std::string* line = nullptr;  // this depth's buffer, taken when a line is read
  prg.blockran = true;
  int rc = 0;
  ProgSource* const ps = curprog();  // lines leave the source stack as they found it
  while (true) {
    if (stopflag && interp.procflg) {
      interp.procflg = false;
      if (!rc) rc = 1;
    }
    if (ps && ps->p && ps->upline < ps->p->nlines() && planned()) {
      // a stored line from its plan, as read and run below
      const int idx = ps->upline;
      const LinePlan& lp = lineplan(*ps->p, idx);
      ++ps->upline;
      if (lp.kind == PlanKind::CLOSE) break;
      if (lp.kind == PlanKind::SKIP) continue;
      // the clock is read only under rmsg: the loop's fast path stays as fast
      const bool timed = timedline(ps);
      const double start = timed ? plat_now() : 0;
      int r = execplanned(*ps->p, idx, lp);
      if (interp.exitflg) break;
      if (timed && !r) present(start);
      if (r && interp.procflg) {
        if (!rc) rc = r;
        interp.procflg = false;
      }
      continue;
    }
    if (!line) {
      while (depth >= prg.linepool.size()) prg.linepool.emplace_back();
      line = &prg.linepool[depth];
    }
    if (blockline(*line)) {
      // a Break (a Ctrl-C abandoning the block typed) is not a missing brace
      if (!rc) rc = stopflag ? 1 : nomatchbrace();
      break;
    }
    const char* p = skipblanks(line->c_str());
    if (*p == '}') {
      if (*skipblanks(p + 1) && !rc) rc = braceerror('}');
      break;
    }
    if (!*p || *p == '*') continue;
    const bool timed = timedline(ps);
    const double start = timed ? plat_now() : 0;
    int r = execline(*line);
    if (interp.exitflg) break;
    if (timed && !r) present(start);
    if (r && interp.procflg) {
      if (!rc) rc = r;
      interp.procflg = false;
    }
  }
  --prg.blockdepth;
  if (ctl.breakdetail == 0 || rc) {
    interp.procflg = savedproc;
    ctl.lastif = savedlastif;
  }
  return rc;
}

namespace {

// A console or do-file loop: the header line (as typed, not expanded), the
// body and the closing brace become the temporary program "%dwhile".
int runwhile() {
  // the line must be what was typed, not the product of an expansion
  const char* loopstart = interp.console.c_str();
  const std::string w = command_after_prefixes(interp.console, &loopstart);
  if (!(cmdcmp(w.c_str(), "while", 2) || cmdcmp(w.c_str(), "foreach", 7) || cmdcmp(w.c_str(), "forvalues", 4)))
    return sayerr(interp.cmd + " command may not result from a macro expansion interactively or in do files\n", 198);
  if (prg.runwhilelevel >= MAXRUNWHILE) return error(RC_SYNTAX);
  if (!endsinbrace(interp.console.c_str())) {
    const char* b = std::strrchr(interp.console.c_str(), '{');
    if (b && *skipblanks(b + 1)) return braceerror('{');
    return required("{");
  }
  auto p = std::make_shared<Program>();
  p->version = interp.version;
  p->defstamp = interp.sysclock;
  char nm[32];
  std::snprintf(nm, sizeof nm, "%dwhile", prg.runwhilelevel + 1);
  p->name = nm;
  // the prefixes (capture, quietly, noisily) already wrap this whole run
  if (int rc = prog_addline(*p, loopstart)) return rc;
  int depth = 1;
  std::string line;
  while (depth > 0) {
    if (blockline(line)) return stopflag ? 1 : nomatchbrace();
    const char* q = skipblanks(line.c_str());
    if (!*q || *q == '*') continue;
    if (*q == '}') --depth;
    else if (endsinbrace(q)) ++depth;
    if (int rc = prog_addline(*p, line.c_str())) return rc;
  }
  ++prg.runwhilelevel;
  pgmkill(nm);
  (void)pgmstore(p, OBJ_PROGRAM);
  // its lines report under rmsg when the loop's own line does (not in a program)
  const Program* const outer = prg.toploop;
  prg.toploop = interp.runprog ? nullptr : p.get();
  int rc = prog_runtemp(p);
  prg.toploop = outer;
  pgmkill(nm);
  --prg.runwhilelevel;
  return rc;
}

// Evaluates the condition at the tokenizer; leaves the tokenizer after it.
// The same text at the next step reuses its compiled program.
int condition(bool& truth) {
  const ExprProg* prog = nullptr;
  if (int rc = compexp_kept(&prog)) return rc;
  truth = evalnum(*prog, 1) != 0;
  return 0;
}

// In scanning mode a structural line runs its block only when it ends in `{`.
int scanline() {
  if (endsinbrace(wheretok())) return opbrace8();
  return 0;
}

// Runs text as one command without expanding it again.
int dispatchrest(const char* text) {
  std::string copy = text;
  TokState saved;
  borrow_gettok(&saved);
  settok(copy.c_str());
  interp.cmd = gettok(prsestd);
  int rc = selreq();
  return_gettok(&saved);
  return rc;
}

int skiponfail(int (*fn)(), bool inprogram);
int if_u();

// ifcmd -> IF exp '{' lines '}' | IF exp command
int cmd_if(int) {
  if (!interp.procflg) return scanline();
  return skiponfail(if_u, true);
}

int if_u() {
  bool truth;
  if (int rc = condition(truth)) return rc;
  const char* rest = skipblanks(wheretok());
  if (!*rest) return required("{");
  if (rest[0] == '{' && !*skipblanks(rest + 1)) {
    ctl.lastif = truth;
    interp.procflg = truth;
    int rc = opbrace8();
    if (ctl.breakdetail == 0 || rc) interp.procflg = true;
    ctl.lastif = truth;
    return rc;
  }
  if (rest[0] == '{') return braceerror('{');
  {
    TokState saved;
    borrow_gettok(&saved);
    std::string w = gettok(prsestd);
    return_gettok(&saved);
    if (cmdcmp(w.c_str(), "else", 4)) return sayerr("if may not be immedately followed by else\n", RC_SYNTAX);
  }
  ctl.lastif = truth;
  if (truth) return dispatchrest(rest);
  if (endsinbrace(rest)) {
    interp.procflg = false;
    int rc = opbrace8();
    interp.procflg = true;
    ctl.lastif = truth;
    return rc;
  }
  return 0;
}

// elsecmd -> ELSE '{' lines '}' | ELSE command
int cmd_else(int) {
  const char* rest = skipblanks(wheretok());
  if (!interp.procflg) return scanline();
  if (!*rest) return required("{");
  const bool skip = ctl.lastif;
  const bool saved = interp.procflg;
  if (skip) interp.procflg = false;
  int rc;
  if (rest[0] == '{') {
    if (*skipblanks(rest + 1)) rc = braceerror('{');
    else rc = opbrace8();
  } else {
    rc = dispatchrest(rest);
  }
  if (ctl.breakdetail == 0 || rc) interp.procflg = saved;
  return rc;
}

// `{` standing alone opens a block.
int cmd_brace(int) {
  if (*skipblanks(wheretok())) return braceerror('{');
  return opbrace8();
}

// whilecmd -> WHILE exp '{' lines '}'
int while_u();
int foreach_u();
int forvalues_u();
int if_u();

// A loop or if header that fails still has to skip its block.
int skiponfail(int (*fn)(), bool inprogram) {
  const std::string line = wheretok();
  const bool brace = endsinbrace(line.c_str());
  const bool savedran = prg.blockran;
  prg.blockran = false;
  int rc = fn();
  if (rc && brace && inprogram && !interp.exitflg && ctl.breakdetail == 0 && !prg.blockran) {
    interp.procflg = false;
    (void)opbrace8();
    interp.procflg = true;
  }
  prg.blockran = savedran;
  return rc;
}

int cmd_while(int) {
  if (!interp.procflg) return scanline();
  if (!curprog()) return runwhile();
  return skiponfail(while_u, true);
}

int while_u() {
  ProgSource* src = curprog();
  if (!src) return runwhile();
  const int whileline = src->upline - 1;
  if (!endsinbrace(wheretok())) return required("{");
  bool truth;
  if (int rc = condition(truth)) return rc;
  const char* rest = skipblanks(wheretok());
  if (rest[0] != '{') return required("{");
  if (*skipblanks(rest + 1)) return braceerror('{');
  const bool savedallowed = ctl.breakallowed;
  const int saveddetail = ctl.breakdetail;
  ctl.breakallowed = true;
  ctl.breakdetail = 0;
  interp.procflg = truth;
  int rc = opbrace8();
  const bool broke = ctl.breakdetail == 2;
  interp.procflg = true;
  ctl.breakallowed = savedallowed;
  ctl.breakdetail = saveddetail;
  if (rc || interp.exitflg) return rc;
  if (stopflag) return 1;
  if (truth && !broke) src->upline = whileline;
  return 0;
}

// Takes the next element of a foreach list at pos: a word, or the contents
// of a simple or compound quoted string. False when the list is exhausted.
bool nextelem(const std::string& list, size_t& pos, std::string& elem) {
  const char* s = list.c_str();
  const char* p = s + pos;
  while (*p == ' ') ++p;
  if (!*p) {
    pos = static_cast<size_t>(p - s);
    return false;
  }
  int open;
  if (p[0] == '`' && p[1] == '"') {
    const char* q = pcompoundquotes(p, &open);
    elem.assign(p + 2, open ? q : q - 2);
    p = q;
  } else if (*p == '"') {
    const char* q = psimplequotes(p, &open);
    elem.assign(p + 1, open ? q : q - 1);
    p = q;
  } else {
    const char* q = p;
    while (*q && *q != ' ') ++q;
    elem.assign(p, q);
    p = q;
  }
  pos = static_cast<size_t>(p - s);
  return true;
}

bool localname(const std::string& n) {
  if (n.empty() || n.size() > 31) return false;
  for (char c : n)
    if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_')) return false;
  return true;
}

// Runs the loop body once per value; shared by foreach and forvalues. `next`
// sets the loop local and returns false at the end.
template <typename Next>
int runloop(ProgSource* src, Next&& next) {
  const int bodyline = src->upline;
  const bool savedallowed = ctl.breakallowed;
  const int saveddetail = ctl.breakdetail;
  int rc = 0;
  bool any = false;
  while (true) {
    if (stopflag) {
      rc = 1;
      break;
    }
    if (!next()) break;
    any = true;
    src->upline = bodyline;
    ctl.breakallowed = true;
    ctl.breakdetail = 0;
    interp.procflg = true;
    rc = opbrace8();
    interp.procflg = true;
    if (rc || interp.exitflg || ctl.breakdetail == 2) break;
  }
  if (!any && !interp.exitflg) {
    src->upline = bodyline;
    interp.procflg = false;
    int r = opbrace8();
    interp.procflg = true;
    if (!rc) rc = r;
  } else if (rc == 1 && !any) {
    // a Break before the first value still has to skip the body
  }
  ctl.breakallowed = savedallowed;
  ctl.breakdetail = saveddetail;
  interp.procflg = true;
  return rc;
}

// foreachcmd -> FOREACH name (IN list | OF kind list) '{' lines '}'
int cmd_foreach(int) {
  if (!interp.procflg) return scanline();
  if (!curprog()) return runwhile();
  return skiponfail(foreach_u, true);
}

int foreach_u() {
  ProgSource* src = curprog();
  if (!endsinbrace(wheretok())) return required("{");
  std::string name = gettok(prsestd);
  if (!localname(name)) return error2(0, name.c_str());
  std::string how = gettok(prsestd);
  std::string list;
  if (how == "in") {
    list = beforebrace(wheretok());
  } else if (how == "of") {
    std::string kind = gettok(prsestd);
    std::string text = beforebrace(wheretok());
    if (cmdcmp(kind.c_str(), "local", 3) || cmdcmp(kind.c_str(), "global", 3)) {
      std::string mn = gettok(prsestd);
      if (mn.empty() || mn == "{") return required("macro name");
      if (*skipblanks(wheretok()) != '{') return required("{");
      const std::string* t = kind[0] == 'l' ? macget_local(mn) : macget_global(mn);
      if (t) list = *t;
    } else if (cmdcmp(kind.c_str(), "numlist", 3)) {
      std::vector<double> nums;
      if (int rc = numlist_expand(text.c_str(), NumlistSpec{}, nums, false)) return rc;
      numlist_text(nums, list);
    } else if (cmdcmp(kind.c_str(), "varlist", 3)) {
      TokState saved;
      borrow_gettok(&saved);
      settok(text.c_str());
      int rc = ssvlist(VL_EXISTING);
      return_gettok(&saved);
      if (rc) return rc;
      for (int i = 0; i < vl.lnvar(); ++i) {
        if (i) list.push_back(' ');
        list += varname(vl.varlist_vr[static_cast<size_t>(i)]);
      }
    } else if (cmdcmp(kind.c_str(), "newlist", 3)) {
      // Parsed as new variable names (ranges such as x1-x3 expand), so a
      // name already in the dataset fails here; nothing is created.
      TokState saved;
      borrow_gettok(&saved);
      settok(text.c_str());
      int rc = ssvlist(VL_NEW);
      return_gettok(&saved);
      if (rc) return rc;
      for (const std::string& n : vl.newnames) {
        if (!list.empty()) list.push_back(' ');
        list += n;
      }
    } else {
      return sayerr("invalid syntax\n", RC_SYNTAX);
    }
  } else {
    return sayerr("invalid syntax\n", RC_SYNTAX);
  }
  if (ctl.foreachlevel + 1 >= MAXFOREACH) return error(RC_LIMIT);
  ++ctl.foreachlevel;
  char hidden[32];
  std::snprintf(hidden, sizeof hidden, "!%dfe", ctl.foreachlevel);
  (void)dmstore(hidden, OBJ_GLOBAL, list.data(), list.size());
  ObjEntry* he = dmfind(hidden, OBJ_GLOBAL);
  const std::string* savedfe = mac.felist;
  const size_t savedpos = mac.fepos;
  mac.felist = &he->text;
  mac.fepos = 0;
  std::string elem;
  DmCache loopvar;  // the loop local's entry, found once while it stands
  int rc = runloop(src, [&]() {
    if (!nextelem(*mac.felist, mac.fepos, elem)) {
      maclocal_erase(name.c_str());
      return false;
    }
    if (elem.empty()) maclocal_erase(name.c_str());
    else if (ObjEntry* e = dmfind_local_cached(loopvar, name.data(), name.size(), mac.typelmac))
      dmsettext(e, elem.data(), elem.size());
    else
      (void)maclocal(name.data(), name.size(), elem.data(), elem.size());
    return true;
  });
  maclocal_erase(name.c_str());
  mac.felist = savedfe;
  mac.fepos = savedpos;
  dmremove(dmfind(hidden, OBJ_GLOBAL));
  --ctl.foreachlevel;
  return rc;
}

// Reads a number at p with the standard number parser; false when none.
bool readnum(const char*& p, double& v) {
  p = skipblanks(p);
  char* e;
  if (*p == '.' && !(p[1] >= '0' && p[1] <= '9')) {
    // missing values
    v = misval;
    e = const_cast<char*>(p + 1);
    if (*e >= 'a' && *e <= 'z') {
      v = misval_k(*e - 'a' + 1);
      ++e;
    }
    p = e;
    return true;
  }
  v = std::strtod(p, &e);
  if (e == p) return false;
  p = e;
  return true;
}

// forvaluescmd -> FORVALUES name '=' range '{' lines '}'
int cmd_forvalues(int) {
  if (!interp.procflg) return scanline();
  if (!curprog()) return runwhile();
  return skiponfail(forvalues_u, true);
}

int forvalues_u() {
  ProgSource* src = curprog();
  std::string name = gettok(prsestd);
  if (!localname(name)) return error2(0, name.c_str());
  if (gettok(prsestd)[0] != '=' || tok.token[1]) return required("=");
  if (!endsinbrace(wheretok())) return required("{");
  std::string range = beforebrace(wheretok());
  const char* p = range.c_str();
  double a, b, d;
  if (!readnum(p, a)) return sayerr("invalid syntax\n", RC_SYNTAX);
  p = skipblanks(p);
  if (*p == '/') {
    ++p;
    d = 1;
    if (!readnum(p, b)) return sayerr("invalid syntax\n", RC_SYNTAX);
  } else if (*p == '(' || *p == '[') {
    const char close = *p == '(' ? ')' : ']';
    ++p;
    if (!readnum(p, d)) return sayerr("invalid syntax\n", RC_SYNTAX);
    p = skipblanks(p);
    if (*p != close) return sayerr("invalid syntax\n", RC_SYNTAX);
    ++p;
    if (!readnum(p, b)) return sayerr("invalid syntax\n", RC_SYNTAX);
  } else {
    double second;
    if (!readnum(p, second)) return sayerr("invalid syntax\n", RC_SYNTAX);
    p = skipblanks(p);
    if (*p == ':') ++p;
    else if (p[0] == 't' && p[1] == 'o') p += 2;
    else return sayerr("invalid syntax\n", RC_SYNTAX);
    if (!readnum(p, b)) return sayerr("invalid syntax\n", RC_SYNTAX);
    d = second - a;
  }
  if (*skipblanks(p)) return sayerr("invalid syntax\n", RC_SYNTAX);
  if (d == 0) return sayerr("forvalues:  increment may not be zero\n", RC_SYNTAX);
  if (a >= misval || b >= misval || d >= misval) return sayerr("invalid syntax\n", RC_SYNTAX);
  long k = 0;
  std::string val;
  DmCache loopvar;  // the loop local's entry, found once while it stands
  return runloop(src, [&]() {
    const double v = a + static_cast<double>(k) * d;
    if (d > 0 ? v > b : v < b) {
      maclocal_erase(name.c_str());
      return false;
    }
    ++k;
    ObjEntry* e = dmfind_local_cached(loopvar, name.data(), name.size(), mac.typelmac);
    if (e && e->text.capacity() <= 128) {
      macfmtnum(v, e->text);  // in place: maclocal would keep this block too
      return true;
    }
    macfmtnum(v, val);
    (void)maclocal(name.data(), name.size(), val.data(), val.size());
    return true;
  });
}

// continue [, break]
int cmd_continue(int) {
  ParseResult pr;
  if (int rc = lang_options(pr, nullptr)) return rc;
  const bool brk = findopt(pr, "break", 2, 0);
  if (int rc = chkopt(pr)) return rc;
  if (!ctl.breakallowed) return error(RC_OUTOFCONTEXT);
  interp.procflg = false;
  ctl.breakdetail = brk ? 2 : 1;
  return 0;
}

}  // namespace

void control_bindcommands() {
  cmdbind("if", cmd_if);
  cmdbind_scan("if", cmd_if);
  cmdbind("else", cmd_else);
  cmdbind_scan("else", cmd_else);
  cmdbind("while", cmd_while);
  cmdbind_scan("while", cmd_while);
  cmdbind("foreach", cmd_foreach);
  cmdbind_scan("foreach", cmd_foreach);
  cmdbind("forvalues", cmd_forvalues);
  cmdbind_scan("forvalues", cmd_forvalues);
  cmdbind("continue", cmd_continue);
  cmdbind_scan("{", cmd_brace);
}
