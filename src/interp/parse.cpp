// The shared parser of built-in commands:
//   [varlist] [=exp] [if exp] [in range] [using filename] [weight] [, options]
// steered by the permission flags in `ps`, and the `in` range reader.
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

static int badtoken(const char* t) {
  return errmsgf(RC_SYNTAX, "'%s' invalid\n", t);
}

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
static int parsein() {
  if (ps.bylevel) {
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
  const long upper = ps.oable == 2 ? 2147483646L : ds.nobs;
  if (a < 1 || b < a || b > upper) {
    return errmsgf(RC_SYNTAX, "Obs. nos. out of range\n");
  }
  ds.nobs1 = a;
  ds.nobs2 = b;
  ps.hasin = true;
  return 0;
}

// weight -> '[' wtype '=' exp ']'
static int parseweight() {
  static const struct {
    const char* name;
    int min;
  } kinds[] = {{"fweight", 2}, {"frequency", 4}, {"aweight", 2}, {"cellsize", 4},
               {"pweight", 2}, {"iweight", 2},   {"weight", 1}};
  if (ps.wgtable == 3) return notalow("weights");
  if (ps.hasweight) return badtoken("[");
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
  ps.wgttype = full;
  ps.wgtexp.assign(p, q);
  while (!ps.wgtexp.empty() && ps.wgtexp.back() == ' ') ps.wgtexp.pop_back();
  if (ps.wgtexp.empty()) return required("weight expression");
  settok(q + 1);
  ps.hasweight = true;
  return 0;
}

int proption() {
  if (ps.opable == 3) return notalow("options");
  const char* p = wheretok();
  while (true) {
    while (*p == ' ') ++p;
    if (!*p) break;
    if (ps.noptn >= ParseState::MAXOPT) return error(RC_TOOMANYOPTS);
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
    ps.optlist[ps.noptn] = std::string(start, p);
    ps.optavbl[ps.noptn] = 0;
    ++ps.noptn;
  }
  settok(p);
  return 0;
}

int parse() {
  ps.hasvarlist = ps.hasif = ps.hasin = ps.hasexp = ps.hasusing = ps.hasweight = false;
  ps.usingfn.clear();
  ps.wgttype.clear();
  ps.wgtexp.clear();
  ps.exptext.clear();
  ps.noptn = 0;
  ex.ifpgm = ExprProg{};
  ex.wepgm = ExprProg{};
  if (!ps.bylevel) {
    ds.nobs1 = 1;
    ds.nobs2 = ds.nobs;
  }
  if (ps.bylevel && ps.byable == 3) return error(RC_NOBY);
  const int prevlev = setoutlev(OUT_ERROR);
  int rc = 0;
  auto done = [&](int code) {
    setoutlev(prevlev);
    return code;
  };

  if (ps.vable != 3) {
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
      if ((rc = ssvlist(ps.vlmode))) return done(rc);
      ps.hasvarlist = vl.lnvar() > 0;
    } else {
      vl.varlist_vr.clear();
      vl.varlist_rcp.clear();
    }
  }
  if (ps.vable == 1 && !ps.hasvarlist) return done(required("varlist"));

  while (true) {
    std::string t = gettok(prsestd);
    if (t.empty()) break;
    if (t == "if") {
      if (ps.ifable == 3) return done(notalow("if"));
      if (ps.hasif) {
        if (ps.lvxtra) {
          ungettok();
          break;
        }
        return done(error(RC_SYNTAX));
      }
      // ifable 4: the alternative mode, where a '[' at depth zero ends the condition
      if ((rc = compexp(ex.ifpgm, EXP_NUM, ps.ifable == 4 ? 1 : 0, 0))) return done(rc);
      ps.hasif = true;
    } else if (t == "in") {
      if (ps.oable == 3) return done(notalow("in range"));
      if (ps.hasin) return done(error(RC_SYNTAX));
      if ((rc = parsein())) return done(rc);
    } else if (t == "using") {
      if (ps.uable == 3) return done(notalow("using"));
      if (ps.hasusing) return done(error(RC_SYNTAX));
      if ((rc = gettokfn(ps.usingfn))) return done(required("using filename"));
      ps.hasusing = true;
    } else if (t == "=" || t == "==") {
      if (ps.wable == 3 && ps.wgtable == 3) return done(notalow("=exp"));
      if (ps.hasexp) return done(error(RC_SYNTAX));
      const char* start = wheretok();
      if ((rc = compexp(ex.wepgm, EXP_NUMSTR, 0, 0))) return done(rc);
      ps.exptext.assign(start, wheretok());
      ps.hasexp = true;
    } else if (t == "[") {
      if ((rc = parseweight())) return done(rc);
    } else if (t == ",") {
      if ((rc = proption())) return done(rc);
    } else {
      ungettok();
      break;
    }
  }

  if (ps.oable == 1 && !ps.hasin) return done(required("in range"));
  if (ps.v_or_o_req == 1 && !ps.hasin && !ps.hasvarlist && !ps.hasif)
    return done(required("varlist or in range"));
  if (ps.uable == 1 && !ps.hasusing) return done(required("using"));
  if (ps.wable == 1 && !ps.hasexp) return done(required("=exp"));
  if (ps.hasexp && ps.wable == 3) {
    if (interp.version < 300) {
      if (!interp.runprog) {
        setoutlev(OUT_NOTE);
        spout21("(please avoid =exp old-style weight syntax)\n");
      }
    } else {
      return done(error(RC_SYNTAX));
    }
  }
  if (!ps.lvxtra) {
    const char* rest = peektok_chr();
    if (*rest) {
      std::string t = gettok(prsestd);
      return done(badtoken(t.c_str()));
    }
  }
  return done(0);
}

int parse_ifinopts() {
  ps.vable = 3;
  ps.wable = 3;
  ps.uable = 3;
  ps.wgtable = 3;
  if (ps.opable == 3) ps.opable = 0;
  return parse();
}

// Option name of an option text (up to '(' or the end).
static std::string optname(const std::string& o) {
  size_t k = o.find('(');
  return k == std::string::npos ? o : o.substr(0, k);
}

static int workopt_impl(const char* name, int min, int wantarg, bool lc) {
  for (int i = 0; i < ps.noptn; ++i) {
    if (ps.optavbl[i] & 1) continue;
    std::string w = optname(ps.optlist[i]);
    bool m = lc ? cmdcmp_lc(w.c_str(), name, min) : cmdcmp(w.c_str(), name, min);
    if (!m) continue;
    ps.optavbl[i] |= 2;
    bool hasarg = ps.optlist[i].find('(') != std::string::npos;
    if (hasarg != (wantarg != 0)) continue;
    ps.optavbl[i] |= 1;
    ps.lastio = i + 1;
    return i + 1;
  }
  return 0;
}

int workopt(const char* name, int min, int wantarg) { return workopt_impl(name, min, wantarg, false); }
int workopt_lc(const char* name, int min, int wantarg) { return workopt_impl(name, min, wantarg, true); }

static int findopt_impl(const char* name, int min, int def, bool lc) {
  if (workopt_impl(name, min, 0, lc)) return 1;
  std::string no = "no";
  no += std::string(name).substr(0, 30);
  if (workopt_impl(no.c_str(), min + 2, 0, lc)) return 0;
  return def;
}

int findopt(const char* name, int min, int def) { return findopt_impl(name, min, def, false); }
int findopt_lc(const char* name, int min, int def) { return findopt_impl(name, min, def, true); }

// The argument text of option index i (1-based), without its parentheses.
static std::string optarg_of(int i) {
  const std::string& o = ps.optlist[i - 1];
  size_t k = o.find('(');
  if (k == std::string::npos) return "";
  std::string a = o.substr(k + 1);
  if (!a.empty() && a.back() == ')') a.pop_back();
  return a;
}

static void unconsume(int i) { ps.optavbl[i - 1] = 2; }

int findoptv(const char* name, int min, double* values, int n, int) {
  int i = workopt(name, min, 1);
  if (!i) return 0;
  std::string a = optarg_of(i);
  int count = 0;
  const char* p = a.c_str();
  while (*p) {
    while (*p == ' ' || *p == ',') ++p;
    if (!*p) break;
    char* end;
    double v = std::strtod(p, &end);
    if (end == p || count >= n) {
      unconsume(i);
      return 0;
    }
    values[count++] = v;
    p = end;
  }
  if (n == 1 && count != 1) {
    unconsume(i);
    return 0;
  }
  return count;
}

long findopta(const char* name, int min, long def) {
  int i = workopt(name, min, 1);
  if (!i) return def;
  std::string a = optarg_of(i);
  while (!a.empty() && a.back() == ' ') a.pop_back();
  size_t s = a.find_first_not_of(' ');
  a = s == std::string::npos ? "" : a.substr(s);
  char* end;
  errno = 0;
  long v = std::strtol(a.c_str(), &end, 10);
  if (a.empty() || *end || errno || v < -2147483647L || v > 2147483647L) {
    unconsume(i);
    return def;
  }
  return v;
}

bool findargasis(const char* name, int min, std::string& dst, size_t maxlen) {
  int i = workopt(name, min, 1);
  if (!i) return false;
  std::string a = optarg_of(i);
  if (a.size() >= maxlen) {
    dst.clear();
    return true;
  }
  dst = a;
  return true;
}

bool findargn(const char* name, int min, std::string& dst, size_t maxlen, int maxwords) {
  int i = workopt(name, min, 1);
  if (!i) return false;
  std::string a = optarg_of(i);
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

int findusg(int min, std::string& dst, bool saving) {
  int i = workopt(saving ? "saving" : "using", min, 1);
  if (!i) return 0;
  std::string a = optarg_of(i);
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

int findlevel(int def) { return static_cast<int>(findopta("level", 1, def)); }

int chkopt() {
  for (int i = 0; i < ps.noptn; ++i) {
    if (ps.optavbl[i] & 1) continue;
    const std::string& o = ps.optlist[i];
    bool hasarg = o.find('(') != std::string::npos;
    std::string name = optname(o);
    return errmsgf(RC_SYNTAX, "option %s%s%s\n", name.c_str(), hasarg ? "() " : " ",
             (ps.optavbl[i] & 2) ? "incorrectly specified" : "not allowed");
  }
  return 0;
}
