// The shared parser of built-in commands:
//   [varlist] [=exp] [if exp] [in range] [using filename] [weight] [, options]
// steered by a command's ParseContract into its ParseResult, the `in` range reader
// and the option query functions.
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "data/store.h"
#include "data/varlist.h"
#include "expr/expr.h"
#include "interp/cmdtab.h"
#include "interp/interp.h"
#include "interp/tokenizer.h"
#include "output/errors.h"
#include "output/output.h"

bool parse_tsallowed() { return interp.tsallowed; }

void parse_reset() { interp.tsallowed = false; }

// The message for a word the line may not hold there: 198.
static int badtoken(const char* t) {
  return errmsgf(RC_SYNTAX, "'%s' invalid\n", t);
}

// obs -> number | -number | f | l   (negative numbers count back from the last)
// One observation number of an `in` range: 0 and the number, or 198.
static int inobs(const char* t, long* n) {
  if ((t[0] == 'f' || t[0] == 'F') && !t[1]) {
    *n = 1;
    return 0;
  }
  if ((t[0] == 'l' || t[0] == 'L') && !t[1]) {
    *n = ds.nobs;
    return 0;
  }
  char* end;
  errno = 0;
  long v = std::strtol(t, &end, 10);
  if (*t == 0 || *end || errno || v == 0) {
    return errmsgf(RC_SYNTAX, "'%s' invalid obs no\n", t);
  }
  *n = v < 0 ? ds.nobs + 1 + v : v;
  return 0;
}

// in_range -> 'in' obs ['/' obs]
// The range is checked against the data (or, under PERM_PASTEND, against the
// largest observation count) and left in ds.nobs1/nobs2; refused under by.
static int parsein(const ParseContract& contract, ParseResult& r) {
  if (cmd_bylevel) {
    return errmsgf(RC_NOBY, "'in' may not be combined with 'by'\n");
  }
  std::string first;
  const char* t = gettok(prseopt);
  first = t;
  if (first == "-") {  // a negative number arrives as two tokens
    first += gettok(prseopt);
  }
  long a, b;
  if (int rc = inobs(first.c_str(), &a)) return rc;
  b = a;
  t = gettok(prseopt);
  if (t[0] == '/' && !t[1]) {
    std::string second = gettok(prseopt);
    if (second == "-") second += gettok(prseopt);
    if (int rc = inobs(second.c_str(), &b)) return rc;
  } else {
    ungettok();
  }
  const long upper = contract.range == PERM_PASTEND ? 2147483646L : ds.nobs;
  if (a < 1 || b < a || b > upper) {
    return errmsgf(RC_SYNTAX, "Obs. nos. out of range\n");
  }
  ds.nobs1 = a;
  ds.nobs2 = b;
  r.hasin = true;
  return 0;
}

// weight -> '[' wtype '=' exp ']'
// wtype -> fweight | frequency | aweight | cellsize | pweight | iweight | weight
// (abbreviable; frequency and cellsize are fweight and aweight). The expression
// is kept as text for the command to compile.
static int parseweight(const ParseContract& contract, ParseResult& r) {
  static const struct {
    const char* name;
    int min;
  } kinds[] = {{"fweight", 2}, {"frequency", 4}, {"aweight", 2}, {"cellsize", 4},
               {"pweight", 2}, {"iweight", 2},   {"weight", 1}};
  if (contract.weight == PERM_NO) return notalow("weights");
  if (r.hasweight) return badtoken("[");
  std::string w = gettok(prsestd);
  const char* full = nullptr;
  for (auto& k : kinds)
    if (cmdcmp(w.c_str(), k.name, k.min)) full = k.name;
  if (!full) return badtoken(w.c_str());
  if (!std::strcmp(full, "frequency")) full = "fweight";
  if (!std::strcmp(full, "cellsize")) full = "aweight";
  if (gtokis('=')) return badtoken(tok.token);
  const char* p = wheretok();
  int depth = 0;
  const char* q = p;
  for (; *q; ++q) {
    if (*q == '[' || *q == '(') ++depth;
    else if (*q == ')') --depth;
    else if (*q == ']') {
      if (depth == 0) break;
      --depth;
    }
  }
  if (*q != ']') return required("]");
  r.wgttype = full;
  r.wgtexp.assign(p, q);
  while (!r.wgtexp.empty() && r.wgtexp.back() == ' ') r.wgtexp.pop_back();
  if (r.wgtexp.empty()) return required("weight expression");
  settok(q + 1);
  r.hasweight = true;
  return 0;
}

// options -> ( name ['(' text ')'] )*   up to the end of the line
int proption(ParseResult& r) {
  const char* p = wheretok();
  while (true) {
    while (*p == ' ') ++p;
    if (!*p) break;
    if (r.noptn >= ParseResult::MAXOPT) return error(RC_TOOMANYOPTS);
    const char* start = p;
    while (*p && *p != ' ' && *p != '(') {
      if (*p == ',' && p == start) break;
      ++p;
    }
    if (*p == '(') {
      int open;
      p = pbrackets(p, &open);
      if (open) return required(")");
    }
    if (p == start) {  // a stray character such as a second comma
      ++p;
      continue;
    }
    r.optlist[r.noptn] = std::string(start, p);
    r.optavbl[r.noptn] = 0;
    ++r.noptn;
  }
  settok(p);
  return 0;
}

// line -> [varlist] { 'if' exp | 'in' range | 'using' filename | '=' exp | weight | ',' options }
// Each part at most once, each checked against the contract; the whole line must be
// used unless contract.leaverest.
int parse(const ParseContract& contract, ParseResult& r) {
  r.hasvarlist = r.hasif = r.hasin = r.hasexp = r.hasusing = r.hasweight = false;
  r.usingfn.clear();
  r.wgttype.clear();
  r.wgtexp.clear();
  r.exptext.clear();
  r.noptn = 0;
  interp.tsallowed = contract.tsops != PERM_NO;
  ex.ifpgm = ExprProg{};
  ex.wepgm = ExprProg{};
  if (!cmd_bylevel) {
    ds.nobs1 = 1;
    ds.nobs2 = ds.nobs;
  }
  if (cmd_bylevel && contract.by == PERM_NO) return error(RC_NOBY);
  const int prevlev = setoutlev(OUT_ERROR);
  int rc = 0;
  auto done = [&](int code) {
    setoutlev(prevlev);
    return code;
  };

  if (contract.varlist != PERM_NO) {
    const char* t = peektok_chr();
    bool keyword = false;
    TokPos save;
    stattok(&save);
    std::string w = gettok(prsestd);
    keyword = w.empty() || w == "if" || w == "in" || w == "using" || w == "," || w == "=" ||
              w == "[";
    resettok(&save);
    (void)t;
    if (!keyword) {
      if ((rc = ssvlist(contract.vlmode))) return done(rc);
      r.hasvarlist = vl.lnvar() > 0;
    } else {
      vl.varlist_vr.clear();
      vl.varlist_rcp.clear();
    }
  }
  if (contract.varlist == PERM_REQUIRED && !r.hasvarlist) return done(required("varlist"));

  while (true) {
    std::string t = gettok(prsestd);
    if (t.empty()) break;
    if (t == "if") {
      if (contract.ifexp == PERM_NO) return done(notalow("if"));
      if (r.hasif) {
        if (contract.leaverest) {
          ungettok();
          break;
        }
        return done(error(RC_SYNTAX));
      }
      // PERM_BRACKET: the alternative mode, where a '[' at depth zero ends the condition
      if ((rc = compexp(ex.ifpgm, EXP_NUM, contract.ifexp == PERM_BRACKET ? 1 : 0, 0))) return done(rc);
      r.hasif = true;
    } else if (t == "in") {
      if (contract.range == PERM_NO) return done(notalow("in range"));
      if (r.hasin) return done(error(RC_SYNTAX));
      if ((rc = parsein(contract, r))) return done(rc);
    } else if (t == "using") {
      if (contract.usingfile == PERM_NO) return done(notalow("using"));
      if (r.hasusing) return done(error(RC_SYNTAX));
      if ((rc = gettokfn(r.usingfn))) return done(required("using filename"));
      r.hasusing = true;
    } else if (t == "=" || t == "==") {
      if (contract.exp == PERM_NO && contract.weight == PERM_NO) return done(notalow("=exp"));
      if (r.hasexp) return done(error(RC_SYNTAX));
      const char* start = wheretok();
      if ((rc = compexp(ex.wepgm, EXP_NUMSTR, 0, 0))) return done(rc);
      r.exptext.assign(start, wheretok());
      r.hasexp = true;
    } else if (t == "[") {
      if ((rc = parseweight(contract, r))) return done(rc);
    } else if (t == ",") {
      if (contract.options == PERM_NO) return done(notalow("options"));
      if ((rc = proption(r))) return done(rc);
    } else {
      ungettok();
      break;
    }
  }

  if (contract.range == PERM_REQUIRED && !r.hasin) return done(required("in range"));
  if (contract.anysubset && !r.hasin && !r.hasvarlist && !r.hasif)
    return done(required("varlist or in range"));
  if (contract.usingfile == PERM_REQUIRED && !r.hasusing) return done(required("using"));
  if (contract.exp == PERM_REQUIRED && !r.hasexp) return done(required("=exp"));
  if (r.hasexp && contract.exp == PERM_NO) {
    if (interp.version < 300) {
      if (!interp.runprog) {
        setoutlev(OUT_NOTE);
        spout21("(please avoid =exp old-style weight syntax)\n");
      }
    } else {
      return done(error(RC_SYNTAX));
    }
  }
  if (!contract.leaverest) {
    const char* rest = peektok_chr();
    if (*rest) {
      std::string t = gettok(prsestd);
      return done(badtoken(t.c_str()));
    }
  }
  return done(0);
}

// line -> ['if' exp] ['in' range] [',' options]
int parse_ifinopts(ParseContract contract, ParseResult& r) {
  contract.varlist = contract.exp = contract.usingfile = contract.weight = PERM_NO;
  if (contract.options == PERM_NO) contract.options = PERM_OPTIONAL;
  return parse(contract, r);
}

// Option name of an option text (up to '(' or the end).
static std::string optname(const std::string& o) {
  size_t k = o.find('(');
  return k == std::string::npos ? o : o.substr(0, k);
}

// Finds option name (min letters at least) among those not yet consumed,
// with an argument or without as wantarg says; marks the name recognised and,
// on a match, consumed. 1-based index or 0.
static int workopt_impl(ParseResult& r, const char* name, int min, int wantarg, bool lc) {
  for (int i = 0; i < r.noptn; ++i) {
    if (r.optavbl[i] & 1) continue;
    std::string w = optname(r.optlist[i]);
    bool m = lc ? cmdcmp_lc(w.c_str(), name, min) : cmdcmp(w.c_str(), name, min);
    if (!m) continue;
    r.optavbl[i] |= 2;
    bool hasarg = r.optlist[i].find('(') != std::string::npos;
    if (hasarg != (wantarg != 0)) continue;
    r.optavbl[i] |= 1;
        return i + 1;
  }
  return 0;
}

int workopt(ParseResult& r, const char* name, int min, int wantarg) {
  return workopt_impl(r, name, min, wantarg, false);
}
int workopt_lc(ParseResult& r, const char* name, int min, int wantarg) {
  return workopt_impl(r, name, min, wantarg, true);
}

// flag -> name | 'no' name
static int findopt_impl(ParseResult& r, const char* name, int min, int def, bool lc) {
  if (workopt_impl(r, name, min, 0, lc)) return 1;
  std::string no = "no";
  no += std::string(name).substr(0, 30);
  if (workopt_impl(r, no.c_str(), min + 2, 0, lc)) return 0;
  return def;
}

int findopt(ParseResult& r, const char* name, int min, int def) {
  return findopt_impl(r, name, min, def, false);
}
int findopt_lc(ParseResult& r, const char* name, int min, int def) {
  return findopt_impl(r, name, min, def, true);
}

// The argument text of option index i (1-based), without its parentheses.
static std::string optarg_of(const ParseResult& r, int i) {
  const std::string& o = r.optlist[i - 1];
  size_t k = o.find('(');
  if (k == std::string::npos) return "";
  std::string a = o.substr(k + 1);
  if (!a.empty() && a.back() == ')') a.pop_back();
  return a;
}

static void unconsume(ParseResult& r, int i) { r.optavbl[i - 1] = 2; }

// numbers_opt -> name '(' number { [','] number } ')'   at most n numbers
int findoptv(ParseResult& r, const char* name, int min, double* values, int n, int) {
  int i = workopt(r, name, min, 1);
  if (!i) return 0;
  std::string a = optarg_of(r, i);
  int count = 0;
  const char* p = a.c_str();
  while (*p) {
    while (*p == ' ' || *p == ',') ++p;
    if (!*p) break;
    char* end;
    double v = std::strtod(p, &end);
    if (end == p || count >= n) {
      unconsume(r, i);
      return 0;
    }
    values[count++] = v;
    p = end;
  }
  if (n == 1 && count != 1) {
    unconsume(r, i);
    return 0;
  }
  return count;
}

// integer_opt -> name '(' integer ')'
long findopta(ParseResult& r, const char* name, int min, long def) {
  int i = workopt(r, name, min, 1);
  if (!i) return def;
  std::string a = optarg_of(r, i);
  while (!a.empty() && a.back() == ' ') a.pop_back();
  size_t s = a.find_first_not_of(' ');
  a = s == std::string::npos ? "" : a.substr(s);
  char* end;
  errno = 0;
  long v = std::strtol(a.c_str(), &end, 10);
  if (a.empty() || *end || errno || v < -2147483647L || v > 2147483647L) {
    unconsume(r, i);
    return def;
  }
  return v;
}

// text_opt -> name '(' text ')'   the text as written; cleared when too long
bool findargasis(ParseResult& r, const char* name, int min, std::string& dst, size_t maxlen) {
  int i = workopt(r, name, min, 1);
  if (!i) return false;
  std::string a = optarg_of(r, i);
  if (a.size() >= maxlen) {
    dst.clear();
    return true;
  }
  dst = a;
  return true;
}

// words_opt -> name '(' word { word } ')'   at most maxwords words
bool findargn(ParseResult& r, const char* name, int min, std::string& dst, size_t maxlen, int maxwords) {
  int i = workopt(r, name, min, 1);
  if (!i) return false;
  std::string a = optarg_of(r, i);
  TokState saved;
  borrow_gettok(&saved);
  settok(a.c_str());
  dst.clear();
  int words = 0;
  while (true) {
    std::string w;
    gettoklong(w, " ");
    if (w.empty()) break;
    if (w[0] == '"') w.erase(0, 1);
    if (++words > maxwords) {
      dst.clear();
      break;
    }
    if (!dst.empty()) dst += ' ';
    dst += w;
    if (dst.size() >= maxlen) {
      dst.clear();
      break;
    }
  }
  return_gettok(&saved);
  return true;
}

// file_opt -> ('using' | 'saving') '(' filename [',' 'replace'] ')'
int findusg(ParseResult& r, int min, std::string& dst, bool saving) {
  int i = workopt(r, saving ? "saving" : "using", min, 1);
  if (!i) return 0;
  std::string a = optarg_of(r, i);
  int result = 1;
  size_t comma = a.find(',');
  if (saving && comma != std::string::npos) {
    std::string opt = a.substr(comma + 1);
    size_t s = opt.find_first_not_of(' ');
    opt = s == std::string::npos ? "" : opt.substr(s);
    while (!opt.empty() && opt.back() == ' ') opt.pop_back();
    if (cmdcmp(opt.c_str(), "replace", 7)) result = 2;
    a = a.substr(0, comma);
  }
  while (!a.empty() && a.back() == ' ') a.pop_back();
  size_t s = a.find_first_not_of(' ');
  a = s == std::string::npos ? "" : a.substr(s);
  if (a.size() >= 2 && a.front() == '"' && a.back() == '"') a = a.substr(1, a.size() - 2);
  dst = a;
  return result;
}

int findlevel(ParseResult& r, int def) { return static_cast<int>(findopta(r, "level", 1, def)); }

// An option left over is "not allowed", or "incorrectly specified" when its
// name was recognised with the wrong form (an argument where none goes).
int chkopt(const ParseResult& r) {
  for (int i = 0; i < r.noptn; ++i) {
    if (r.optavbl[i] & 1) continue;
    const std::string& o = r.optlist[i];
    bool hasarg = o.find('(') != std::string::npos;
    std::string name = optname(o);
    return errmsgf(RC_SYNTAX, "option %s%s%s\n", name.c_str(), hasarg ? "() " : " ",
             (r.optavbl[i] & 2) ? "incorrectly specified" : "not allowed");
  }
  return 0;
}
