// Variable lists: name rules, exact names and abbreviations, `*` `?` `~`
// patterns, ranges, `_all`, bracket groups, new-variable lists with types,
// value labels and numbered ranges, and time-series operated items with
// their recipes, evaluated by bisection over time within panels. The parsed
// list lives in `vl`; the variable table is the store's `ds`.
#include "data/tsnorm.h"
#include "data/varlist.h"
#include "data/vlperm.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>

#include "data/chars.h"
#include "data/store.h"
#include "interp/tokenizer.h"
#include "output/errors.h"
#include "output/output.h"

VarlistState vl;
bool (*vl_tsallowed)() = nullptr;

namespace {

// Separators for list items: the standard set without the pattern
// characters, so "x*", "a?c" and "x~y" arrive as one word.
const char VLSEP[] = " \\\"'`:;,<>/!@|#$%^&()-+=[]{}";

constexpr int MAXGROUPS = 5;      // bracket groups in one list
constexpr int MAXSEASONAL = 8;    // seasonal differences in one recipe
constexpr int MAXDIFF = 20;       // highest difference order
constexpr size_t MAXRCPTEXT = 19; // longest normalised recipe text

int say(int rc, const char* fmt, const char* a) {
  int prev = setoutlev(OUT_ERROR);
  spout21f(fmt, a);
  setoutlev(prev);
  return rc;
}

bool hasmeta(const char* s) { return std::strpbrk(s, "*?~") != nullptr; }

bool isnamechar(int c) {
  return c && !std::strchr(" \\\"'`:;,<>/!@|#$%^&()-+=[]{}*?~.\t", c);
}

// Adds one entry to the current list; 103 when the list is full.
int addentry(int v, const TsRecipe& r = TsRecipe{}) {
  if (vl.lnvar() >= maxvrl()) return error(RC_TOOMANYVARS);
  vl.varlist_vr.push_back(v);
  vl.varlist_rcp.push_back(r);
  return 0;
}

// Resolves a pattern item into the variables it matches, in dataset order.
int patternvars(const char* item, std::vector<int>& out) {
  bool tilde = std::strchr(item, '~') != nullptr;
  if (tilde && std::strpbrk(item, "*?"))
    return say(RC_SYNTAX, "%s:  may not combine ~ and *-or-? notation\n", item);
  for (int v = 1; v <= ds.nvar; ++v) {
    const std::string& n = ds.varlist[static_cast<size_t>(v)];
    if (n.empty() || n == "(e)") continue;
    if (vlmatch(item, n.c_str())) out.push_back(v);
  }
  if (out.empty()) return varnotfound(item);
  if (tilde && out.size() > 1) return error2(4, item);
  return 0;
}

// Resolves one name, abbreviation or pattern to variables.
int resolveword(const char* w, std::vector<int>& out) {
  if (hasmeta(w)) return patternvars(w, out);
  int v = zelta_findvar(w, 1, false);
  if (v < 0) return -v;
  out.push_back(v);
  return 0;
}

// numlist of an operator: "2", "1/3", "1 2 4", "0(2)6".
int opnumlist(const std::string& s, std::vector<int>& out) {
  const char* p = s.c_str();
  auto bad = [] { return say(RC_SYNTAX, "%s", "numlist in operator invalid\n"); };
  auto num = [&](long* v) {
    while (*p == ' ') ++p;
    char* e;
    long x = std::strtol(p, &e, 10);
    if (e == p) return false;
    p = e;
    *v = x;
    return true;
  };
  while (true) {
    while (*p == ' ') ++p;
    if (!*p) break;
    long a, b, step = 1;
    if (!num(&a)) return bad();
    while (*p == ' ') ++p;
    if (*p == '/') {
      ++p;
      if (!num(&b) || b < a) return bad();
    } else if (*p == '(') {
      ++p;
      if (!num(&step) || step <= 0) return bad();
      while (*p == ' ') ++p;
      if (*p != ')') return bad();
      ++p;
      if (!num(&b) || b < a) return bad();
    } else {
      b = a;
    }
    for (long x = a; x <= b; x += step) {
      if (out.size() > 1000) return bad();
      out.push_back(static_cast<int>(x));
    }
  }
  if (out.empty()) return bad();
  return 0;
}

// One operator of a parsed operator string: a letter and its values.
struct TsOp {
  char letter;
  std::vector<int> values;
};

// Applies one operator value to a recipe; 0 or a return code.
int applyop(TsRecipe& r, char letter, int n, const std::string& optext) {
  switch (letter) {
    case 'L': r.lag += n; break;
    case 'F': r.lag -= n; break;
    case 'D':
      r.diff += n;
      if (r.diff > MAXDIFF) return rcpdtoobig(optext.c_str());
      if (r.diff < 0) return rcpinvalid(optext.c_str());
      break;
    case 'S':
      if (n < 0) return rcpinvalid(optext.c_str());
      if (n == 0) break;
      r.seasonal.insert(std::upper_bound(r.seasonal.begin(), r.seasonal.end(), n), n);
      if (static_cast<int>(r.seasonal.size()) > MAXSEASONAL) return rcptoolong(optext.c_str());
      break;
  }
  return 0;
}

// Parses the variable part of an operated item: a name or "(" names ")".
int tstargets(const char*& p, std::vector<int>& vars) {
  if (*p == '(') {
    const char* q = ++p;
    while (*p && *p != ')') ++p;
    if (*p != ')') return say(RC_SYNTAX, "%s", "invalid varlist\n");
    std::string inner(q, p);
    ++p;
    const char* s = inner.c_str();
    while (*s) {
      while (*s == ' ') ++s;
      if (!*s) break;
      const char* b = s;
      while (*s && *s != ' ') ++s;
      std::string w(b, s);
      if (w == "_all") {
        for (int v = 1; v <= ds.nvar; ++v)
          if (ds.varlist[static_cast<size_t>(v)] != "(e)") vars.push_back(v);
        continue;
      }
      if (int rc = resolveword(w.c_str(), vars)) return rc;
    }
    if (vars.empty()) return say(RC_SYNTAX, "%s", "invalid varlist\n");
    return 0;
  }
  const char* b = p;
  while (isnamechar(static_cast<unsigned char>(*p)) || *p == '*' || *p == '?' || *p == '~') ++p;
  if (p == b) return say(RC_SYNTAX, "%s", "invalid varlist\n");
  std::string w(b, p);
  return resolveword(w.c_str(), vars);
}

// Value of var at obs under the remaining parts of a recipe.
struct TsCtx {
  int var, tvar, pvar;
};

double tsval(const TsCtx& c, long obs, int lag, int diff, const std::vector<int>& seas, size_t nseas);

long tsfind(const TsCtx& c, long obs, int k) { return ::tsfind(c.tvar, c.pvar, obs, k, 1, ds.nobs); }

double tsval(const TsCtx& c, long obs, int lag, int diff, const std::vector<int>& seas, size_t nseas) {
  if (lag != 0) {
    long j = tsfind(c, obs, lag);
    return j ? tsval(c, j, 0, diff, seas, nseas) : misval;
  }
  if (diff > 0) {
    double a = tsval(c, obs, 0, diff - 1, seas, nseas);
    if (a >= misval) return misval;
    long j = tsfind(c, obs, 1);
    if (!j) return misval;
    double b = tsval(c, j, 0, diff - 1, seas, nseas);
    return b >= misval ? misval : a - b;
  }
  if (nseas > 0) {
    double a = tsval(c, obs, 0, 0, seas, nseas - 1);
    if (a >= misval) return misval;
    long j = tsfind(c, obs, seas[nseas - 1]);
    if (!j) return misval;
    double b = tsval(c, j, 0, 0, seas, nseas - 1);
    return b >= misval ? misval : a - b;
  }
  return zelta_data(c.var, obs);
}

}  // namespace

int maxvrl() { return ds.maxmaxvar; }

bool vlmatch(const char* pat, const char* name) {
  // Iterative wildcard match with one backtrack point.
  const char *star = nullptr, *resume = nullptr;
  while (*name) {
    if (*pat == '*' || *pat == '~') {
      star = pat++;
      resume = name;
    } else if (*pat == '?' || *pat == *name) {
      ++pat;
      ++name;
    } else if (star) {
      pat = star + 1;
      name = ++resume;
    } else {
      return false;
    }
  }
  while (*pat == '*' || *pat == '~') ++pat;
  return !*pat;
}

int chkname(const char* name) {
  if (!name || !*name) return say(RC_SYNTAX, "%s", "nothing found where name expected\n");
  size_t n = std::strlen(name);
  bool ok = n <= 32 && (std::isalpha(static_cast<unsigned char>(name[0])) || name[0] == '_');
  for (const char* p = name; ok && *p; ++p)
    if (std::strchr("\\@\"!#$%^&*()-+=[]{}:;,'~<>?/|. \t", *p)) ok = false;
  return ok ? 0 : error2(1, name);
}

int zelta_findvar(const char* name, int mode, bool noabbrev) {
  if (mode == 0) {
    if (findvarexact(name)) return -error2(3, name);
    return ds.nvar + 1;
  }
  if (std::strchr(name, '~')) {
    if (mode >= 10) {
      int n = 0, found = 0;
      for (int v = 1; v <= ds.nvar; ++v)
        if (!ds.varlist[static_cast<size_t>(v)].empty() && vlmatch(name, ds.varlist[static_cast<size_t>(v)].c_str()))
          ++n, found = v;
      if (n == 1) return found;
      if (n == 0) return ds.nvar + 1;
    }
    int v = genfindvar(name);
    return v;
  }
  if (int v = findvarexact(name)) return v;
  if (ds.nvar == 0 && mode < 10) return -error(RC_NOTFOUND);
  if (ds.varabbrev && !noabbrev && *name) {
    size_t len = std::strlen(name);
    int found = 0, n = 0;
    for (int v = 1; v <= ds.nvar; ++v)
      if (!std::strncmp(ds.varlist[static_cast<size_t>(v)].c_str(), name, len)) ++n, found = v;
    if (n == 1) return found;
    if (n > 1) {
      if (mode >= 10) return ds.nvar + 1;
      return -error2(4, name);
    }
  }
  if (mode >= 10) return ds.nvar + 1;
  return -varnotfound(name);
}

int findvarnoab(const char* name) { return zelta_findvar(name, 1, true); }

int sysfindvar(const char* name) { return findvarexact(name); }

int genfindvar(const char* name) {
  int n = 0, found = 0;
  for (int v = 1; v <= ds.nvar; ++v) {
    const std::string& s = ds.varlist[static_cast<size_t>(v)];
    if (s.empty() || s == "(e)") continue;
    if (vlmatch(name, s.c_str())) ++n, found = v;
  }
  if (n == 1) return found;
  if (n > 1) return -error2(4, name);
  return -varnotfound(name);
}

std::string abvar(const std::string& name, int width) {
  width = std::clamp(width, 5, 32);
  if (static_cast<int>(name.size()) <= width) return name;
  size_t t = name.size();
  while (t > 0 && name[t - 1] >= '0' && name[t - 1] <= '9') --t;
  std::string tail = name.substr(t);
  if (tail.empty()) tail = name.substr(name.size() - 1);
  if (static_cast<int>(tail.size()) > width - 3) tail = tail.substr(tail.size() - static_cast<size_t>(width - 3));
  std::string head = name.substr(0, static_cast<size_t>(width) - 1 - tail.size());
  return head + "~" + tail;
}

// ---------------------------------------------------------------------------
// Time-series operators.

int tscheck(int* tvar, int* pvar) {
  const std::string* t = charget("_dta", "_TStvar");
  if (!t || t->empty()) return say(RC_NOTFOUND, "%s", "time variable not set\n");
  int tv = findvarexact(t->c_str());
  if (!tv) return varnotfound(t->c_str());
  int pv = 0;
  if (const std::string* p = charget("_dta", "_TSpanel"); p && !p->empty()) {
    pv = findvarexact(p->c_str());
    if (!pv) return varnotfound(p->c_str());
  }
  const auto& s = ds.srtlist;
  bool sorted = pv ? (s.size() >= 2 && s[0] == pv && s[1] == tv) : (!s.empty() && s[0] == tv);
  if (!sorted) return error(RC_NOTSORTED);
  const std::string* d = charget("_dta", "_TSdelta");
  vl.tsdelta = d && !d->empty() ? std::max(1L, std::atol(d->c_str())) : 1;
  *tvar = tv;
  *pvar = pv;
  return 0;
}

std::string tsrecipe_text(const TsRecipe& r) {
  std::string s;
  auto part = [&](char c, int n) {
    s += c;
    if (n != 1) s += std::to_string(n);
  };
  if (r.lag > 0) part('L', r.lag);
  if (r.lag < 0) part('F', -r.lag);
  if (r.diff > 0) part('D', r.diff);
  for (int x : r.seasonal) part('S', x);
  return s;
}

// tsops -> op {['.'] op} ; op -> letter [digits]: one recipe, as text.
int tsnorm(const std::string& ops, std::string& text) {
  TsRecipe r;
  const char* p = ops.c_str();
  if (!*p) return rcpinvalid(ops.c_str());
  while (*p) {
    const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(*p)));
    if (!std::strchr("LFDS", c)) return rcpinvalid(ops.c_str());
    ++p;
    long n = 1;
    if (*p >= '0' && *p <= '9') {
      n = 0;
      while (*p >= '0' && *p <= '9') {
        n = n * 10 + (*p - '0');
        if (n > 100000) return rcpinvalid(ops.c_str());
        ++p;
      }
    }
    if (int rc = applyop(r, c, static_cast<int>(n), ops)) return rc;
    if (*p == '.' && p[1]) ++p;
  }
  text = tsrecipe_text(r);
  return 0;
}

// tsitem -> op {op} '.' (name | '(' names ')') ; op -> letter [digits | '(' numlist ')']
int tsparse_item(const char* text, const char** end, std::vector<int>& vars, std::vector<TsRecipe>& rcps) {
  const char* p = text;
  std::vector<TsOp> ops;
  std::string optext;
  // The operator part runs to the first '.' outside parentheses.
  const char* dot = p;
  for (int depth = 0; *dot && !(*dot == '.' && depth == 0); ++dot) {
    if (*dot == '(') ++depth;
    if (*dot == ')') --depth;
    if (*dot == ' ' && depth == 0) break;
  }
  if (*dot != '.') return say(RC_SYNTAX, "%s", "invalid varlist\n");
  optext.assign(p, dot);
  if (optext.empty()) return say(RC_SYNTAX, "%s", "invalid varlist\n");
  while (p < dot) {
    char c = static_cast<char>(std::toupper(static_cast<unsigned char>(*p)));
    if (!std::strchr("LFDS", c)) return rcpinvalid(optext.c_str());
    ++p;
    TsOp op{c, {}};
    if (*p == '(') {
      const char* q = ++p;
      while (p < dot && *p != ')') ++p;
      if (*p != ')') return say(RC_SYNTAX, "%s", "numlist in operator invalid\n");
      if (int rc = opnumlist(std::string(q, p), op.values)) return rc;
      ++p;
    } else if (*p >= '0' && *p <= '9') {
      long n = 0;
      while (*p >= '0' && *p <= '9') {
        n = n * 10 + (*p - '0');
        if (n > 100000) return rcpinvalid(optext.c_str());
        ++p;
      }
      op.values.push_back(static_cast<int>(n));
    } else {
      op.values.push_back(1);
    }
    ops.push_back(std::move(op));
  }
  p = dot + 1;
  std::vector<int> targets;
  if (int rc = tstargets(p, targets)) return rc;
  // One recipe per combination of operator values, in operator order.
  std::vector<TsRecipe> recipes(1);
  for (const TsOp& op : ops) {
    std::vector<TsRecipe> next;
    for (const TsRecipe& r : recipes)
      for (int n : op.values) {
        TsRecipe x = r;
        if (int rc = applyop(x, op.letter, n, optext)) return rc;
        next.push_back(std::move(x));
      }
    recipes = std::move(next);
  }
  for (const TsRecipe& r : recipes)
    if (tsrecipe_text(r).size() > MAXRCPTEXT) return rcptoolong(optext.c_str());
  for (const TsRecipe& r : recipes)
    for (int v : targets) {
      if (isstrtype(vartype(v)) && !r.plain()) return error(RC_TYPEMISMATCH);
      vars.push_back(v);
      rcps.push_back(r);
    }
  *end = p;
  return 0;
}

long tsfind(int tvar, int pvar, long obs, long k, long lo, long hi) {
  double t = zelta_data(tvar, obs);
  if (t >= misval) return 0;
  if (k == 0) return obs;
  double want = t - static_cast<double>(k) * static_cast<double>(vl.tsdelta);
  double pan = pvar ? zelta_data(pvar, obs) : 0.0;
  auto cmp = [&](long j) {
    double jp = pvar ? zelta_data(pvar, j) : 0.0;
    double jt = zelta_data(tvar, j);
    return jp < pan ? -1 : jp > pan ? 1 : jt < want ? -1 : jt > want ? 1 : 0;
  };
  // Without gaps the wanted observation sits k places away: try it first.
  if (long g = obs - k; g >= lo && g <= hi && cmp(g) == 0) return g;
  while (lo <= hi) {
    long mid = lo + (hi - lo) / 2;
    int r = cmp(mid);
    if (r == 0) return mid;
    if (r < 0) lo = mid + 1;
    else hi = mid - 1;
  }
  return 0;
}

double tsdata(int var, const TsRecipe& r, long obs, int tvar, int pvar) {
  if (r.plain()) return zelta_data(var, obs);
  TsCtx c{var, tvar, pvar};
  return tsval(c, obs, r.lag, r.diff, r.seasonal, r.seasonal.size());
}

double rzelta_data(int i, long obs) {
  const TsRecipe& r = vl.varlist_rcp[static_cast<size_t>(i)];
  int v = vl.varlist_vr[static_cast<size_t>(i)];
  if (r.plain()) return zelta_data(v, obs);
  return tsdata(v, r, obs, vl.tsvar, vl.tspanel);
}

// ---------------------------------------------------------------------------
// The list parser.

namespace {

// A word that ends every list.
bool stopword(const char* t) {
  return !std::strcmp(t, "if") || !std::strcmp(t, "in") || !std::strcmp(t, "using") ||
         !std::strcmp(t, ",") || !std::strcmp(t, "=") || !std::strcmp(t, "[") ||
         !std::strcmp(t, ":") || !std::strcmp(t, "==");
}

// Moves the tokenizer to p (the text already consumed up to there).
void tokto(const char* p) {
  TokPos at{p, nullptr};
  resettok(&at);
}

// Reads "-" name after an item, if present; name2 gets the second name.
bool rangefollows(std::string& name2, int& rc) {
  TokPos save;
  stattok(&save);
  const char* t = gettok(VLSEP);
  rc = 0;
  if (std::strcmp(t, "-") != 0) {
    resettok(&save);
    return false;
  }
  t = gettok(VLSEP);
  if (!*t || !isnamechar(static_cast<unsigned char>(t[0]))) {
    rc = error(RC_SYNTAX);
    return true;
  }
  name2 = t;
  return true;
}

int existing_item(const char* w) {
  if (!std::strcmp(w, "_all")) {
    for (int v = 1; v <= ds.nvar; ++v)
      if (ds.varlist[static_cast<size_t>(v)] != "(e)" && !ds.varlist[static_cast<size_t>(v)].empty())
        if (int rc = addentry(v)) return rc;
    return 0;
  }
  if (!std::strcmp(w, "_skip")) return notalow(w);
  if (typecode(w) && !findvarexact(w)) return notalow(w);
  std::vector<int> vs;
  std::string word(w);
  if (hasmeta(word.c_str())) {
    if (int rc = patternvars(word.c_str(), vs)) return rc;
  } else {
    int v = zelta_findvar(word.c_str(), 1, false);
    if (v < 0) return -v;
    std::string name2;
    int rc;
    if (rangefollows(name2, rc)) {
      if (rc) return rc;
      int v2 = zelta_findvar(name2.c_str(), 1, false);
      if (v2 < 0) return -v2;
      if (v2 < v) return say(RC_NOTFOUND, "%s", "Variables out of order\n");
      for (int x = v; x <= v2; ++x)
        if (ds.varlist[static_cast<size_t>(x)] != "(e)") vs.push_back(x);
    } else {
      vs.push_back(v);
    }
  }
  for (int v : vs)
    if (int rc = addentry(v)) return rc;
  return 0;
}

// Adds one new name with its type (and optional value label).
int newentry(const std::string& name, int type, const std::string& lab, int mode) {
  int exists = findvarexact(name.c_str());
  if (mode == VL_OPTIONAL_NEW && exists) {
    if (int rc = addentry(exists)) return rc;
    vl.newnames.push_back(name);
    vl.newtypes.push_back(vartype(exists));
    vl.newlabels.push_back(lab);
    vl.newexists.push_back(1);
    return 0;
  }
  if (int rc = chkvarname(name.c_str())) return rc;
  if (std::find(vl.newnames.begin(), vl.newnames.end(), name) != vl.newnames.end())
    return error2(3, name.c_str());
  if (!lab.empty() && isstrtype(type)) return error(RC_LABELSTR);
  if (int rc = addentry(0)) return rc;
  vl.newnames.push_back(name);
  vl.newtypes.push_back(type);
  vl.newlabels.push_back(lab);
  vl.newexists.push_back(0);
  return 0;
}

// Splits "x12" into stub "x" and number 12; false without a trailing number.
bool stubnum(const std::string& s, std::string& stub, long& n) {
  size_t t = s.size();
  while (t > 0 && s[t - 1] >= '0' && s[t - 1] <= '9') --t;
  if (t == s.size() || t == 0 || s.size() - t > 9) return false;
  stub = s.substr(0, t);
  n = std::strtol(s.c_str() + t, nullptr, 10);
  return true;
}

int new_item(const char* w, int mode, int& curtype, int grouptype) {
  std::string word(w);
  if (word == "_all") return notalow("_all");
  int tc = typecode(w);
  if (tc && mode != VL_NEW) {
    // type(names) applies the type to a group; a bare type word sets the
    // type of the names that follow.
    if (gettok_next_char() == '(') {
      if (grouptype) return notalow("(");
      (void)gettok(VLSEP);
      const char* t;
      while (*(t = gettok(VLSEP)) && std::strcmp(t, ")") != 0) {
        int ct = tc;
        if (int rc = new_item(t, mode, ct, tc)) return rc;
      }
      if (!*t) return required(")");
      return 0;
    }
    curtype = tc;
    return 0;
  }
  if (tc && mode == VL_NEW) return notalow(w);
  int type = grouptype ? grouptype : curtype;
  std::string name2;
  int rc;
  if (rangefollows(name2, rc)) {
    if (rc) return rc;
    std::string s1, s2;
    long n1, n2;
    if (!stubnum(word, s1, n1) || !stubnum(name2, s2, n2) || s1 != s2 || n2 < n1 || n2 - n1 > 100000)
      return say(RC_SYNTAX, "%s", (word + "-" + name2 + " invalid range\n").c_str());
    for (long n = n1; n <= n2; ++n)
      if (int r2 = newentry(s1 + std::to_string(n), type, "", mode)) return r2;
    if (!grouptype) curtype = ds.deftype;
    return 0;
  }
  std::string lab;
  TokPos save;
  stattok(&save);
  if (!std::strcmp(gettok(VLSEP), ":")) {
    const char* t = gettok(VLSEP);
    if (!*t || !isnamechar(static_cast<unsigned char>(t[0]))) return error(RC_SYNTAX);
    lab = t;
  } else {
    resettok(&save);
  }
  if (int r2 = newentry(word, type, lab, mode)) return r2;
  if (!grouptype) curtype = ds.deftype;
  return 0;
}

int ssvlist_u(int mode) {
  bool newlist = mode != VL_EXISTING;
  bool ingroup = false;
  int curtype = ds.deftype;
  bool tsdone = false;
  for (;;) {
    const char* t = gettok(VLSEP);
    if (!*t) break;
    if (stopword(t) || t[0] == '"') {
      ungettok();
      break;
    }
    if (!newlist && !std::strcmp(t, "(")) {
      if (ingroup) return notalow("(");
      if (static_cast<int>(vl.groups.size()) >= MAXGROUPS) return error(RC_SYNTAX);
      vl.groups.push_back(vl.lnvar());
      ingroup = true;
      continue;
    }
    if (!newlist && !std::strcmp(t, ")")) {
      if (!ingroup) return notalow(")");
      ingroup = false;
      continue;
    }
    if (!std::strcmp(t, "-")) return error(RC_SYNTAX);
    if (!isnamechar(static_cast<unsigned char>(t[0])) && !std::strchr("*?~", t[0])) {
      ungettok();
      break;
    }
    if (!newlist && (gettok_next_char() == '(' || std::strchr(t + 1, '.'))) {
      if (!vl_tsallowed || !vl_tsallowed()) return notalow("time-series operators");
      const char* start = lwheretok();
      const char* end = start;
      std::vector<int> vs;
      std::vector<TsRecipe> rs;
      if (int rc = tsparse_item(start, &end, vs, rs)) return rc;
      if (!tsdone) {
        if (int rc = tscheck(&vl.tsvar, &vl.tspanel)) return rc;
        tsdone = true;
      }
      for (size_t k = 0; k < vs.size(); ++k)
        if (int rc = addentry(vs[k], rs[k])) return rc;
      tokto(end);
      continue;
    }
    if (std::strchr(t, '.')) return error(RC_SYNTAX);
    int rc = newlist ? new_item(t, mode, curtype, 0) : existing_item(t);
    if (rc) return rc;
  }
  if (ingroup) return required(")");
  return 0;
}

}  // namespace

int ssvlist(int mode) {
  vl = VarlistState{};
  int rc = ssvlist_u(mode);
  if (rc) vl = VarlistState{};
  return rc;
}

int vl_createnew() {
  int first = ds.nvar + 1;
  for (size_t i = 0; i < vl.newnames.size(); ++i) {
    if (i < vl.newexists.size() && vl.newexists[i]) continue;
    int rc = addvar(vl.newnames[i].c_str(), vl.newtypes[i]);
    if (rc) {
      std::vector<char> f(static_cast<size_t>(ds.nvar) + 1, 0);
      for (int v = first; v <= ds.nvar; ++v) f[static_cast<size_t>(v)] = 1;
      if (ds.nvar >= first) (void)dropvars_flagged(f);
      return rc;
    }
    ds.lbllist[static_cast<size_t>(ds.nvar)] = vl.newlabels[i];
    vl.varlist_vr[i] = ds.nvar;
  }
  return 0;
}
