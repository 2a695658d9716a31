// Argument parsing for programs: `args`, `tokenize`, `gettoken` and
// `syntax`. `syntax` reads its template into element and option
// descriptors, splits local `0` into the pieces the template allows, checks
// them with the shared machinery (variable lists, expressions, option
// queries) and stores each piece in the local named after its element.
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "data/store.h"
#include "data/varlist.h"
#include "expr/expr.h"
#include "interp/cmdtab.h"
#include "interp/interp.h"
#include "interp/macro.h"
#include "interp/program.h"
#include "interp/tokenizer.h"
#include "interp/wordscan.h"
#include "output/errors.h"
#include "output/output.h"

namespace {

// localname -> [A-Za-z0-9_]{1,31}
bool localname(const std::string& n) {
  if (n.empty() || n.size() > 31) return false;
  for (char c : n)
    if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_')) return false;
  return true;
}

void setlocal(const std::string& name, const std::string& v) { macset_local(name, v); }

// s without its leading and trailing blanks.
std::string trim(const std::string& s) {
  size_t a = s.find_first_not_of(' ');
  if (a == std::string::npos) return "";
  size_t b = s.find_last_not_of(' ');
  return s.substr(a, b - a + 1);
}

// Strips one pair of outer simple or compound quotes when they enclose all.
std::string unquote(const std::string& t) {
  const char *s, *e, *a;
  if (!parse_quoted_string(t.c_str(), &s, &e, &a)) {
    const char* q = a;
    while (*q == ' ') ++q;
    if (!*q) return std::string(s, e);
  }
  return t;
}

// ---------------------------------------------------------------------------
// args name1 name2 ...
int cmd_args(int) {
  std::vector<std::string> names;
  for (std::string t = gettok(prsestd); !t.empty(); t = gettok(prsestd)) {
    if (!localname(t)) return sayerr(t + " invalid name\n", RC_SYNTAX);
    names.push_back(t);
  }
  char nm[16];
  std::vector<std::string> vals;
  for (size_t i = 0; i < names.size(); ++i) {
    int n = std::snprintf(nm, sizeof nm, "%zu", i + 1);
    const std::string* v = macget_local(std::string(nm, static_cast<size_t>(n)));
    vals.push_back(v ? *v : "");
  }
  for (size_t i = 0; i < names.size(); ++i) setlocal(names[i], vals[i]);
  return 0;
}

// Splits text at the separator characters `seps` (blank-only when empty);
// quoted tokens lose their quotes; a non-blank separator is a token.
void splittokens(const char* p, const std::string& seps, std::vector<std::string>& toks, bool keepquotes,
                 bool bind) {
  const bool blanksep = seps.empty() || seps.find(' ') != std::string::npos;
  auto issep = [&](char c) { return seps.empty() ? c == ' ' : seps.find(c) != std::string::npos; };
  while (true) {
    while (*p == ' ') ++p;
    if (!*p) return;
    int open;
    if ((p[0] == '`' && p[1] == '"') || p[0] == '"') {
      const bool cq = p[0] == '`';
      const char* q = cq ? pcompoundquotes(p, &open) : psimplequotes(p, &open);
      if (keepquotes) toks.emplace_back(p, q);
      else if (cq) toks.emplace_back(p + 2, open ? q : q - 2);
      else toks.emplace_back(p + 1, open ? q : q - 1);
      p = q;
      continue;
    }
    if (issep(*p) && *p != ' ') {
      toks.emplace_back(p, 1);
      ++p;
      continue;
    }
    const char* s = p;
    // A word runs to the next separator: quotes inside it are part of it.
    while (*p && !(issep(*p)) && !(blanksep && *p == ' ')) {
      if (bind && *p == '(') {
        p = pbrackets(p, &open);
        continue;
      }
      ++p;
    }
    toks.emplace_back(s, p);
  }
}

// Reads parse("chars") from the options in pr.
bool parsechars(ParseResult& pr, std::string& seps) {
  std::string a;
  if (!findargasis(pr, "parse", 1, a, 200)) return false;
  seps = unquote(a);
  if (seps.size() > 79) seps.resize(79);
  return true;
}

// A stored local name `_1`, `_2`, ... (`_0` is not one).
bool positional(const char* name) {
  if (name[0] != '_' || name[1] < '1' || name[1] > '9') return false;
  for (const char* p = name + 2; *p; ++p)
    if (*p < '0' || *p > '9') return false;
  return true;
}

// tokenize [text] [, parse("chars")]
int cmd_tokenize(int) {
  std::string text;
  ParseResult pr;
  if (int rc = lang_options(pr, &text)) return rc;
  std::string seps;
  parsechars(pr, seps);
  if (int rc = chkopt(pr)) return rc;
  text = trim(text);
  text = unquote(text);
  // Every positional local goes, not only those up to the first gap: an
  // empty token of an earlier split leaves its number undefined.
  for (ObjEntry* e = dmfirst(mac.typelmac); e;) {
    ObjEntry* next = e->tnext;
    if (positional(e->name)) dmremove(e);
    e = next;
  }
  char nm[16];
  std::vector<std::string> toks;
  splittokens(text.c_str(), seps, toks, false, false);
  for (size_t i = 0; i < toks.size(); ++i) {
    int n = std::snprintf(nm, sizeof nm, "%zu", i + 1);
    if (!toks[i].empty()) (void)maclocal(nm, static_cast<size_t>(n), toks[i].data(), toks[i].size());
  }
  return 0;
}

// A macro reference of gettoken: [(local)|(global)] name.
struct MacRef {
  std::string name;
  bool global = false;
};

// macref -> ['(' ('local' | 'global') ')'] localname
bool readref(MacRef& r) {
  std::string t = gettok(prsestd);
  if (t == "(") {
    std::string k = gettok(prsestd);
    if (gettok(prsestd) != std::string(")")) return false;
    if (k == "global") r.global = true;
    else if (k != "local") return false;
    t = gettok(prsestd);
  }
  if (!localname(t)) return false;
  r.name = t;
  return true;
}

// Sets the macro a reference names to v.
void storeref(const MacRef& r, const std::string& v) {
  if (r.global) macset_global(r.name, v);
  else setlocal(r.name, v);
}

// gettoken name1 [name2] : name3 [, parse("chars") quotes qed(n4) match(n5) bind]
int cmd_gettoken(int) {
  MacRef n1, n2, n3;
  bool has2 = false;
  if (!readref(n1)) return sayerr("invalid syntax\n", RC_SYNTAX);
  if (peektok_chr()[0] != ':') {
    if (!readref(n2)) return sayerr("invalid syntax\n", RC_SYNTAX);
    has2 = true;
  }
  if (gettok(prsestd) != std::string(":")) return required(":");
  if (!readref(n3)) return sayerr("invalid syntax\n", RC_SYNTAX);
  ParseResult pr;
  if (int rc = lang_options(pr, nullptr)) return rc;
  std::string seps;
  parsechars(pr, seps);
  const bool quotes = findopt(pr, "quotes", 1, 0);
  const bool bind = findopt(pr, "bind", 4, 0);
  std::string qed, match;
  const bool hasqed = findargn(pr, "qed", 3, qed, 40, 1);
  const bool hasmatch = findargn(pr, "match", 5, match, 40, 1);
  if (int rc = chkopt(pr)) return rc;
  const std::string* src = n3.global ? macget_global(n3.name) : macget_local(n3.name);
  const std::string text = src ? *src : "";
  const char* p = text.c_str();
  while (*p == ' ') ++p;
  std::string token;
  bool quoted = false;
  std::string paren;
  int open;
  const bool blanksep = seps.empty() || seps.find(' ') != std::string::npos;
  auto issep = [&](char c) { return seps.empty() ? c == ' ' : seps.find(c) != std::string::npos; };
  if (!*p) {
    // nothing left
  } else if ((p[0] == '`' && p[1] == '"') || p[0] == '"') {
    const bool cq = p[0] == '`';
    const char* q = cq ? pcompoundquotes(p, &open) : psimplequotes(p, &open);
    if (quotes) token.assign(p, q);
    else if (cq) token.assign(p + 2, open ? q : q - 2);
    else token.assign(p + 1, open ? q : q - 1);
    quoted = true;
    p = q;
  } else if (hasmatch && *p == '(') {
    int depth = 0;
    const char* q = p;
    for (; *q; ++q) {
      if (*q == '(') ++depth;
      else if (*q == ')' && --depth == 0) break;
    }
    if (!*q) return sayerr("parentheses unbalanced\n", RC_UNBALANCED);
    token.assign(p + 1, q);
    paren = "(";
    p = q + 1;
  } else if (issep(*p) && *p != ' ') {
    token.assign(p, 1);
    ++p;
  } else {
    const char* s = p;
    while (*p && !issep(*p) && !(blanksep && *p == ' ')) {
      if (bind && *p == '(') {
        p = pbrackets(p, &open);
        continue;
      }
      ++p;
    }
    token.assign(s, p);
  }
  std::string rest = p;
  storeref(n1, token);
  if (has2) storeref(n2, rest);
  if (hasqed) setlocal(qed, quoted ? "1" : "0");
  if (hasmatch) setlocal(match, paren);
  return 0;
}

// ---------------------------------------------------------------------------
// syntax

enum ElemKind { E_NONE, E_VARLIST, E_VARNAME, E_NEWVARLIST, E_NEWVARNAME, E_ANYTHING, E_NAMELIST, E_NAME };
enum OptType { O_FLAG, O_STRING, O_INTEGER, O_REAL, O_CILEVEL, O_NUMLIST, O_VARLIST, O_VARNAME, O_PASSTHRU,
               O_NAMELIST, O_NAME };

struct OptDesc {
  std::string name;   // lower case
  int min = 0;
  bool noform = false;
  bool required = false;
  OptType type = O_FLAG;
  bool asis = false;
  std::string defval;
  NumlistSpec nl;
  int vmin = 0, vmax = -1;  // varlist / namelist limits
};

struct Template {
  ElemKind first = E_NONE;
  bool firstopt = false;
  int vmin = 0, vmax = -1;
  bool deflt_none = false, numeric = false, string = false, ts = false, generate = false;
  bool equalok = false, everything = false;
  std::string anyname = "anything";
  int ifel = 3, inel = 3, expel = 3, usingel = 3, wgtel = 3;  // 0 optional, 1 required, 3 absent
  std::vector<std::string> wgtkinds;
  bool star = false;
  std::vector<OptDesc> opts;
};

int badtemplate() { return sayerr("invalid syntax\n", RC_EXPSYNTAX); }

// Splits the template into items: words, bracketed groups' brackets and
// commas as separate items, parenthesised descriptors kept with their word.
void templateitems(const char* p, std::vector<std::string>& items) {
  while (*p) {
    if (*p == ' ') {
      ++p;
      continue;
    }
    if (*p == '[' || *p == ']' || *p == ',') {
      items.emplace_back(p, 1);
      ++p;
      continue;
    }
    const char* s = p;
    while (*p && *p != ' ' && *p != '[' && *p != ']' && *p != ',') {
      if (*p == '(') {
        int open;
        p = pbrackets(p, &open);
        continue;
      }
      ++p;
    }
    items.emplace_back(s, p);
  }
}

// vardesc -> { 'min='# | 'max='# | numeric | string | ts | generate |
//             'default='(none|empty|all) | equalok | everything | 'name='text | local }
int readvardesc(const std::string& d, Template& t) {
  std::vector<std::string> w;
  macwords(d.c_str(), w, true);
  for (auto& x : w) {
    if (x.compare(0, 4, "min=") == 0) t.vmin = std::atoi(x.c_str() + 4);
    else if (x.compare(0, 4, "max=") == 0) t.vmax = std::atoi(x.c_str() + 4);
    else if (cmdcmp(x.c_str(), "numeric", 3)) t.numeric = true;
    else if (cmdcmp(x.c_str(), "string", 3)) t.string = true;
    else if (x == "ts") t.ts = true;
    else if (cmdcmp(x.c_str(), "generate", 3)) t.generate = true;
    else if (x == "default=none" || x == "default=empty") t.deflt_none = true;
    else if (x == "default=all") t.deflt_none = false;
    else if (x == "equalok") t.equalok = true;
    else if (x == "everything") t.everything = true;
    else if (x.compare(0, 5, "name=") == 0) t.anyname = x.substr(5);
    else if (x == "local") {
    } else return badtemplate();
  }
  return 0;
}

// optdesc -> '*' | ['no'] [_]*[UPPER]*lower ['(' type [default] ')']
// (the underscores and capitals give the shortest abbreviation; at most 70).
int readoptdesc(std::string w, bool required, Template& t) {
  if (w == "*") {
    t.star = true;
    return 0;
  }
  if (t.opts.size() >= 70) return badtemplate();
  OptDesc o;
  o.required = required;
  std::string desc;
  size_t lp = w.find('(');
  if (lp != std::string::npos) {
    if (w.back() != ')') return badtemplate();
    desc = w.substr(lp + 1, w.size() - lp - 2);
    w = w.substr(0, lp);
  }
  if (w.size() > 2 && w[0] == 'n' && w[1] == 'o' && lp == std::string::npos) {
    o.noform = true;
    w = w.substr(2);
  }
  int min = 0;
  size_t i = 0;
  while (i < w.size() && w[i] == '_') ++i, ++min;
  bool upper = false;
  while (i < w.size() && std::isupper(static_cast<unsigned char>(w[i]))) ++i, ++min, upper = true;
  for (char& c : w) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (w.empty() || w.size() > 32) return badtemplate();
  if (interp.version <= 500 && w.size() > 10) w.resize(10);
  o.name = w;
  o.min = upper ? min : static_cast<int>(w.size());
  if (lp != std::string::npos) {
    std::vector<std::string> d;
    macwords(desc.c_str(), d, true);
    if (d.empty()) return badtemplate();
    const std::string& k = d[0];
    if (cmdcmp(k.c_str(), "string", 3)) {
      o.type = O_STRING;
      if (d.size() > 1 && d[1] == "asis") o.asis = true;
    } else if (cmdcmp(k.c_str(), "integer", 3)) {
      o.type = O_INTEGER;
      if (d.size() > 1) o.defval = d[1];
    } else if (k == "real") {
      o.type = O_REAL;
      if (d.size() > 1) o.defval = d[1];
    } else if (k == "cilevel") {
      o.type = O_CILEVEL;
    } else if (k == "numlist") {
      o.type = O_NUMLIST;
      for (size_t j = 1; j < d.size(); ++j) {
        const std::string& x = d[j];
        if (cmdcmp(x.c_str(), "ascending", 1)) o.nl.flags |= NL_ASCEND;
        else if (cmdcmp(x.c_str(), "descending", 1)) o.nl.flags |= NL_DESCEND;
        else if (cmdcmp(x.c_str(), "integer", 3)) o.nl.flags |= NL_INTEGER;
        else if (cmdcmp(x.c_str(), "missingokay", 1)) o.nl.flags |= NL_MISSOK;
        else if (cmdcmp(x.c_str(), "sort", 4)) o.nl.flags |= NL_SORT;
        else if (x.compare(0, 4, "min=") == 0) o.nl.min = std::atoi(x.c_str() + 4);
        else if (x.compare(0, 4, "max=") == 0) o.nl.max = std::atoi(x.c_str() + 4);
        else if (x[0] == '<' || x[0] == '>') {
          if (!numlist_range(x, o.nl)) return badtemplate();
        } else return badtemplate();
      }
    } else if (k == "varlist" || k == "varname") {
      o.type = k == "varlist" ? O_VARLIST : O_VARNAME;
    } else if (cmdcmp(k.c_str(), "passthru", 4)) {
      o.type = O_PASSTHRU;
    } else if (k == "namelist" || k == "name") {
      o.type = k == "namelist" ? O_NAMELIST : O_NAME;
    } else {
      return badtemplate();
    }
  }
  t.opts.push_back(o);
  return 0;
}

// template -> [first] { element | '[' element ']' } [['['] ',' { optdesc | '[' optdesc ']' } [']']]
// first    -> (varlist | varname | newvarlist | newvarname | anything | namelist | name) ['(' vardesc ')']
// element  -> if | in | '=exp' | '=/exp' | using | 'using/' | weight kinds
int readtemplate(const char* text, Template& t) {
  std::vector<std::string> items;
  templateitems(text, items);
  size_t i = 0;
  auto element = [&](const std::string& w, bool opt) -> int {
    int v = opt ? 0 : 1;
    std::string base = w, desc;
    size_t lp = w.find('(');
    if (lp != std::string::npos) {
      if (w.back() != ')') return badtemplate();
      base = w.substr(0, lp);
      desc = w.substr(lp + 1, w.size() - lp - 2);
    }
    ElemKind k = E_NONE;
    if (base == "varlist") k = E_VARLIST;
    else if (base == "varname") k = E_VARNAME;
    else if (base == "newvarlist") k = E_NEWVARLIST;
    else if (base == "newvarname") k = E_NEWVARNAME;
    else if (base == "anything") k = E_ANYTHING;
    else if (base == "namelist") k = E_NAMELIST;
    else if (base == "name") k = E_NAME;
    if (k != E_NONE) {
      if (t.first != E_NONE) return badtemplate();
      t.first = k;
      t.firstopt = opt;
      if (k == E_VARNAME || k == E_NEWVARNAME || k == E_NAME) t.vmax = 1;
      if (!desc.empty()) return readvardesc(desc, t);
      return 0;
    }
    if (!desc.empty()) return badtemplate();
    if (base == "using/") base = "using";
    if (base == "if") t.ifel = v;
    else if (base == "in") t.inel = v;
    else if (base == "=exp") t.expel = v;
    else if (base == "=/exp") t.expel = 1;
    else if (base == "using") t.usingel = v;
    else if (base == "fweight" || base == "aweight" || base == "pweight" || base == "iweight") {
      t.wgtel = v;
      t.wgtkinds.push_back(base);
    } else return badtemplate();
    return 0;
  };
  while (i < items.size()) {
    const std::string& w = items[i];
    if (w == ",") {
      ++i;
      break;
    }
    if (w == "[") {
      if (i + 1 < items.size() && items[i + 1] == ",") {
        // [, options]
        i += 2;
        while (i < items.size() && items[i] != "]") {
          if (int rc = readoptdesc(items[i], false, t)) return rc;
          ++i;
        }
        if (i >= items.size()) return badtemplate();
        ++i;
        if (i != items.size()) return badtemplate();
        return 0;
      }
      // [element] or a weight list [fweight aweight/...]
      ++i;
      while (i < items.size() && items[i] != "]") {
        std::string x = items[i];
        size_t sl;
        while ((sl = x.find('/')) != std::string::npos && sl + 1 < x.size() && x.compare(0, 1, "=") != 0) {
          if (int rc = element(x.substr(0, sl), true)) return rc;
          x = x.substr(sl + 1);
        }
        if (int rc = element(x, true)) return rc;
        ++i;
      }
      if (i >= items.size()) return badtemplate();
      ++i;
      continue;
    }
    if (int rc = element(w, false)) return rc;
    ++i;
  }
  // required options, then an optional bracketed group
  while (i < items.size()) {
    if (items[i] == "[") {
      ++i;
      while (i < items.size() && items[i] != "]") {
        if (int rc = readoptdesc(items[i], false, t)) return rc;
        ++i;
      }
      if (i >= items.size()) return badtemplate();
      ++i;
      continue;
    }
    if (int rc = readoptdesc(items[i], true, t)) return rc;
    ++i;
  }
  return 0;
}

// The pieces of the argument text.
struct Pieces {
  std::string lead;   // text before any keyword (variable list or anything)
  std::string iftext, intext, exptext, usingtext, wgttext, opttext;
  bool hasif = false, hasin = false, hasexp = false, hasusing = false, haswgt = false, hasopt = false;
};

// Whether keyword w starts at p as a word of s (a quote may follow `using`, a
// parenthesis the others).
bool wordat(const char* s, const char* p, const char* w) {
  size_t n = std::strlen(w);
  if (std::strncmp(p, w, n)) return false;
  if (p > s && p[-1] != ' ') return false;
  char c = p[n];
  return c == 0 || c == ' ' || (c == '"' && !std::strcmp(w, "using")) || (c == '(' && std::strcmp(w, "using"));
}

// Splits text at the keywords the template uses (outside quotes and parens).
int splitargs(const std::string& text, const Template& t, Pieces& pc) {
  const char* s = text.c_str();
  const char* p = s;
  enum { LEAD, IF, IN, EXP, USING, WGT } cur = LEAD;
  std::string* dst = &pc.lead;
  const bool takeall = t.first == E_ANYTHING && t.everything;
  int open;
  while (*p) {
    if ((p[0] == '`' && p[1] == '"') || *p == '"') {
      const char* q = p[0] == '"' ? psimplequotes(p, &open) : pcompoundquotes(p, &open);
      dst->append(p, q);
      p = q;
      continue;
    }
    if (*p == '(') {
      const char* q = pbrackets(p, &open);
      dst->append(p, q);
      p = q;
      continue;
    }
    if (*p == ',') {
      pc.hasopt = true;
      pc.opttext = p + 1;
      break;
    }
    if (!takeall || cur != LEAD) {
      if (wordat(s, p, "if")) {
        pc.hasif = true, cur = IF, dst = &pc.iftext, p += 2;
        continue;
      }
      if (wordat(s, p, "in")) {
        pc.hasin = true, cur = IN, dst = &pc.intext, p += 2;
        continue;
      }
      if (wordat(s, p, "using")) {
        pc.hasusing = true, cur = USING, dst = &pc.usingtext, p += 5;
        continue;
      }
      if (*p == '[' && cur != EXP && t.first != E_ANYTHING) {
        const char* q = pbrackets(p, &open);
        pc.haswgt = true;
        pc.wgttext.assign(p + 1, open ? q : q - 1);
        p = q;
        continue;
      }
      if (*p == '=' && p[1] != '=' && (cur == LEAD) && !(t.first == E_ANYTHING && t.equalok)) {
        pc.hasexp = true, cur = EXP, dst = &pc.exptext, ++p;
        continue;
      }
    }
    dst->push_back(*p++);
  }
  return 0;
}

// Deepest nesting of parentheses and brackets accepted in `anything` and
// name lists; far beyond hand-written arguments, it bounds the check's stack.
constexpr int MAXNEST = 100;

// Checks that the parentheses and brackets of s pair up (quoted text is
// skipped); otherwise prints the problem, after pre, and returns 198.
int balanced(const std::string& s, const char* pre) {
  char stack[MAXNEST];
  int depth = 0;
  const char* msg = nullptr;
  for (const char* p = s.c_str(); *p && !msg;) {
    if ((p[0] == '`' && p[1] == '"') || *p == '"') {
      int open;
      p = *p == '"' ? psimplequotes(p, &open) : pcompoundquotes(p, &open);
      if (open) msg = "quotes do not match\n";
      continue;
    }
    if (*p == '(' || *p == '[') {
      if (depth == MAXNEST) msg = "too many nested parentheses or brackets\n";
      else stack[depth++] = *p;
    } else if (*p == ')' || *p == ']') {
      if (depth == 0) msg = "unmatched close parenthesis or bracket\n";
      else if (stack[--depth] == '(' && *p == ']') msg = "( closed by ]\n";
      else if (stack[depth] == '[' && *p == ')') msg = "[ closed by )\n";
    }
    ++p;
  }
  if (!msg && depth) msg = "unmatched open parenthesis or bracket\n";
  return msg ? sayerr(std::string(pre) + msg, RC_SYNTAX) : 0;
}

// The current varlist's names joined by blanks.
std::string joinvars() {
  std::string r;
  for (int i = 0; i < vl.lnvar(); ++i) {
    if (i) r.push_back(' ');
    r += varname(vl.varlist_vr[static_cast<size_t>(i)]);
  }
  return r;
}

// Parses a variable list text; res receives the names.
int varlistof(const std::string& text, int mode, std::string& res) {
  TokState saved;
  borrow_gettok(&saved);
  settok(text.c_str());
  int rc = ssvlist(mode);
  const char* left = peektok_chr();
  std::string rest = left;
  return_gettok(&saved);
  if (rc) return rc;
  if (!rest.empty()) return sayerr(rest + " invalid name\n", RC_SYNTAX);
  res = joinvars();
  return 0;
}

int opinvalid(const std::string& name) { return sayerr("option " + name + " invalid\n", RC_SYNTAX); }
int oprequired(const std::string& name) { return sayerr("option " + name + " required\n", RC_SYNTAX); }

// options -> { optdesc-named option }   checked against the template's
// descriptors; each sets its local (absent ones empty), `*` keeps the rest.
int options(const Template& t, const Pieces& pc) {
  ParseResult pr;
  int rc = 0;
  std::vector<std::pair<std::string, std::string>> results;
  std::vector<std::string> absent;
  if (pc.hasopt) {
    if (t.opts.empty() && !t.star) {
      return notalow("options");
    }
    TokState tsaved;
    borrow_gettok(&tsaved);
    std::string text = pc.opttext;
    settok(text.c_str());
    rc = proption(pr);
    return_gettok(&tsaved);
  }
  for (const OptDesc& o : t.opts) {
    if (rc) break;
    const char* nm = o.name.c_str();
    std::string arg;
    switch (o.type) {
      case O_FLAG: {
        int v = findopt(pr, nm, o.min, o.noform ? 1 : 0);
        if (v != (o.noform ? 1 : 0)) results.emplace_back(o.name, v ? o.name : "no" + o.name);
        else if (o.required) rc = oprequired(o.name);
        else absent.push_back(o.name);
        break;
      }
      case O_STRING: {
        bool got = o.asis ? findargasis(pr, nm, o.min, arg, static_cast<size_t>(interp.macrolen))
                          : findargn(pr, nm, o.min, arg, static_cast<size_t>(interp.macrolen), 100000);
        if (got) {
          if (o.asis) arg = trim(arg);
          if (arg.empty()) absent.push_back(o.name);
          else results.emplace_back(o.name, arg);
        } else if (o.required) rc = oprequired(o.name);
        else absent.push_back(o.name);
        break;
      }
      case O_INTEGER:
      case O_REAL:
      case O_CILEVEL: {
        if (findargasis(pr, nm, o.min, arg, 200)) {
          arg = trim(arg);
          char* e;
          double v = std::strtod(arg.c_str(), &e);
          if (arg.empty() || *e || (o.type == O_INTEGER && v != static_cast<long>(v)) ||
              (o.type == O_CILEVEL && (v < 10 || v > 99.99))) {
            rc = o.type == O_CILEVEL ? sayerr("level() must be between 10 and 99.99 inclusive\n", RC_SYNTAX)
                                     : opinvalid(o.name);
            break;
          }
          std::string s;
          if (o.type == O_INTEGER) s = std::to_string(static_cast<long>(v));
          else macfmtnum(v, s);
          results.emplace_back(o.name, s);
        } else if (o.required) {
          rc = oprequired(o.name);
        } else if (o.type == O_CILEVEL) {
          results.emplace_back(o.name, "95");
        } else if (!o.defval.empty()) {
          std::string s = o.defval;
          if (o.type == O_INTEGER) s = std::to_string(std::strtol(o.defval.c_str(), nullptr, 10));
          else macfmtnum(std::strtod(o.defval.c_str(), nullptr), s);
          results.emplace_back(o.name, s);
        } else {
          absent.push_back(o.name);
        }
        break;
      }
      case O_NUMLIST: {
        if (findargasis(pr, nm, o.min, arg, static_cast<size_t>(interp.macrolen))) {
          std::vector<double> nums;
          if ((rc = numlist_expand(arg.c_str(), o.nl, nums, false))) break;
          std::string s;
          numlist_text(nums, s);
          results.emplace_back(o.name, s);
        } else if (o.required) rc = oprequired(o.name);
        else absent.push_back(o.name);
        break;
      }
      case O_VARLIST:
      case O_VARNAME: {
        if (findargasis(pr, nm, o.min, arg, static_cast<size_t>(interp.macrolen))) {
          std::string s;
          if ((rc = varlistof(arg, VL_EXISTING, s))) break;
          if (o.type == O_VARNAME && vl.lnvar() > 1) {
            rc = sayerr("too many variables specified\n", RC_TOOMANYVARS);
            break;
          }
          results.emplace_back(o.name, s);
        } else if (o.required) rc = oprequired(o.name);
        else absent.push_back(o.name);
        break;
      }
      case O_PASSTHRU: {
        int k = workopt(pr, nm, o.min, 1);
        if (!k) k = workopt(pr, nm, o.min, 0);
        if (k) {
          std::string full = pr.optlist[k - 1];
          size_t lp = full.find('(');
          results.emplace_back(o.name, lp == std::string::npos ? o.name : o.name + full.substr(lp));
        } else if (o.required) rc = oprequired(o.name);
        else absent.push_back(o.name);
        break;
      }
      case O_NAMELIST:
      case O_NAME: {
        if (findargn(pr, nm, o.min, arg, static_cast<size_t>(interp.macrolen), 100000)) {
          std::vector<std::string> w;
          macwords(arg.c_str(), w, true);
          for (auto& x : w)
            if ((rc = chkname(x.c_str()))) break;
          if (!rc && o.type == O_NAME && w.size() > 1) rc = sayerr(arg + ":  too many specified\n", RC_SYNTAX);
          if (!rc) results.emplace_back(o.name, arg);
        } else if (o.required) rc = oprequired(o.name);
        else absent.push_back(o.name);
        break;
      }
    }
  }
  std::string rest;
  if (!rc) {
    if (t.star) {
      for (int i = 0; i < pr.noptn; ++i)
        if (!(pr.optavbl[i] & 1)) {
          if (!rest.empty()) rest.push_back(' ');
          rest += pr.optlist[i];
        }
    } else {
      rc = chkopt(pr);
    }
  }
  if (rc) return rc;
  for (auto& a : absent) setlocal(a, "");
  for (auto& r : results) setlocal(r.first, r.second);
  if (t.star) setlocal("options", rest);
  return 0;
}

// syntax template
int cmd_syntax(int) {
  if (interp.version <= 500) return sayerr("invalid syntax\n", RC_SYNTAX);
  Template t;
  if (int rc = readtemplate(wheretok(), t)) return rc;
  if (t.expel != 3 && t.wgtel != 3) return sayerr("invalid syntax\n", RC_SYNTAX);
  if (t.wgtel == 1) return sayerr("invalid syntax\n", RC_SYNTAX);
  const std::string* zero = macget_local("0");
  const std::string text = zero ? *zero : "";
  Pieces pc;
  if (int rc = splitargs(text, t, pc)) return rc;
  // the element parts
  std::string lead = trim(pc.lead);
  std::string varres, typres, anyres;
  bool hasvar = false, hasany = false;
  switch (t.first) {
    case E_NONE:
      if (!lead.empty()) {
        if (pc.hasexp || t.expel != 3) return sayerr("'" + lead + "' invalid\n", RC_SYNTAX);
        return notalow("varlist");
      }
      break;
    case E_VARLIST:
    case E_VARNAME: {
      if (!lead.empty()) {
        if (int rc = varlistof(lead, VL_EXISTING, varres)) return rc;
        hasvar = true;
      } else if (!t.firstopt) {
        return required("varlist");
      } else if (!t.deflt_none) {
        for (int i = 1; i <= ds.nvar; ++i) {
          if (!varres.empty()) varres.push_back(' ');
          varres += ds.varlist[static_cast<size_t>(i)];
        }
        hasvar = !varres.empty();
      }
      if (hasvar) {
        std::vector<std::string> w;
        macwords(varres.c_str(), w, false);
        const int n = static_cast<int>(w.size());
        if (n < t.vmin) return sayerr("too few variables specified\n", RC_TOOFEWVARS);
        if (t.vmax >= 0 && n > t.vmax) return sayerr("too many variables specified\n", RC_TOOMANYVARS);
        for (auto& nm : w) {
          int v = zelta_findvar(nm.c_str(), 1, true);
          if (v <= 0) continue;
          const bool isstr = isstrtype(vartype(v));
          if (t.numeric && isstr) return sayerr("string variables not allowed in varlist;\n" + nm + " is a string variable\n", RC_TYPEMISMATCH);
          if (t.string && !isstr) return sayerr("numeric variables not allowed in varlist;\n" + nm + " is not a string variable\n", RC_TYPEMISMATCH);
        }
      }
      break;
    }
    case E_NEWVARLIST:
    case E_NEWVARNAME: {
      if (lead.empty()) {
        if (!t.firstopt) return required("varlist");
        break;
      }
      TokState saved;
      borrow_gettok(&saved);
      settok(lead.c_str());
      int rc = ssvlist(VL_NEWTYPED);
      return_gettok(&saved);
      if (rc) return rc;
      const int n = static_cast<int>(vl.newnames.size());
      if (n < t.vmin) return sayerr("too few variables specified\n", RC_TOOFEWVARS);
      if (t.vmax >= 0 && n > t.vmax) return sayerr("too many variables specified\n", RC_TOOMANYVARS);
      for (int i = 0; i < n; ++i) {
        if (i) varres.push_back(' '), typres.push_back(' ');
        varres += vl.newnames[static_cast<size_t>(i)];
        typres += typename_of(i < static_cast<int>(vl.newtypes.size()) ? vl.newtypes[static_cast<size_t>(i)] : ds.deftype);
      }
      hasvar = n > 0;
      if (t.generate)
        for (int i = 0; i < n; ++i) {
          const int type = i < static_cast<int>(vl.newtypes.size()) ? vl.newtypes[static_cast<size_t>(i)] : ds.deftype;
          if (int rc2 = addvar(vl.newnames[static_cast<size_t>(i)].c_str(), type)) return rc2;
        }
      break;
    }
    case E_ANYTHING:
      if (int rc = balanced(lead, "")) return rc;
      if (!lead.empty()) anyres = lead, hasany = true;
      else if (!t.firstopt) return required("something");
      break;
    case E_NAMELIST:
    case E_NAME: {
      if (lead.empty()) {
        if (!t.firstopt) return required("something");
        break;
      }
      if (int rc = balanced(lead, "invalid ")) return rc;
      std::vector<std::string> w;
      macwords(lead.c_str(), w, true);
      for (auto& x : w)
        if (!localname(x) || std::isdigit(static_cast<unsigned char>(x[0]))) return sayerr(x + " invalid name\n", RC_SYNTAX);
      const int n = static_cast<int>(w.size());
      if (n < t.vmin) return sayerr(lead + ":  too few specified\n", RC_SYNTAX);
      if (t.vmax >= 0 && n > t.vmax) return sayerr(lead + ":  too many specified\n", RC_SYNTAX);
      anyres = lead;
      hasany = true;
      break;
    }
  }
  // if, in, =exp, using, weights
  if (pc.hasif && t.ifel == 3) return notalow("if");
  if (!pc.hasif && t.ifel == 1) return sayerr("if exp required\n", RC_REQUIRED);
  if (pc.hasin && t.inel == 3) return notalow("in");
  if (!pc.hasin && t.inel == 1) return required("in range");
  if (pc.hasexp && t.expel == 3) return notalow("=exp");
  if (!pc.hasexp && t.expel == 1) return required("=exp");
  if (pc.hasusing && t.usingel == 3) return notalow("using");
  if (!pc.hasusing && t.usingel == 1) return required("using");
  if (pc.haswgt && t.wgtel == 3) return notalow("weights");
  if (pc.hasif) {
    ExprProg prog;
    std::string e = trim(pc.iftext);
    if (e.empty()) return sayerr("invalid syntax\n", RC_SYNTAX);
    if (int rc = compexp_u(e.c_str(), prog, EXP_NUM)) return rc;
  }
  std::string wgttype, wgtexp;
  if (pc.haswgt) {
    std::string w = trim(pc.wgttext);
    size_t eq = w.find('=');
    if (eq == std::string::npos) return sayerr("invalid syntax\n", RC_SYNTAX);
    std::string k = trim(w.substr(0, eq));
    std::string full;
    for (auto& kind : t.wgtkinds)
      if (cmdcmp(k.c_str(), kind.c_str(), 2)) full = kind;
    if (full.empty() && (k == "weight" || k == "w")) full = t.wgtkinds.empty() ? "" : t.wgtkinds[0];
    if (full.empty()) return sayerr(k + " not allowed\n", RC_NOTALLOWED);
    wgttype = full;
    wgtexp = "= " + trim(w.substr(eq + 1));
  }
  std::string usingname;
  if (pc.hasusing) {
    std::string u = trim(pc.usingtext);
    if (u.empty()) return required("using filename");
    usingname = unquote(u);
  }
  if (int rc = options(t, pc)) return rc;
  // results
  if (t.first == E_VARLIST || t.first == E_VARNAME || t.first == E_NEWVARLIST || t.first == E_NEWVARNAME) {
    setlocal("varlist", hasvar ? varres : "");
    if (t.first == E_NEWVARLIST || t.first == E_NEWVARNAME) setlocal("typlist", typres);
  }
  if (t.first == E_ANYTHING) setlocal(t.anyname, hasany ? anyres : "");
  if (t.first == E_NAMELIST) setlocal("namelist", hasany ? anyres : "");
  if (t.first == E_NAME) setlocal("name", hasany ? anyres : "");
  if (t.ifel != 3) setlocal("if", pc.hasif ? "if " + trim(pc.iftext) : "");
  if (t.inel != 3) setlocal("in", pc.hasin ? "in " + trim(pc.intext) : "");
  if (t.expel != 3) setlocal("exp", pc.hasexp ? trim(pc.exptext) : "");
  if (t.usingel != 3) setlocal("using", usingname);
  if (t.wgtel != 3) {
    setlocal("weight", wgttype);
    setlocal("exp", wgtexp);
  }
  return 0;
}

}  // namespace

void syntax_bindcommands() {
  cmdbind("args", cmd_args);
  cmdbind("tokenize", cmd_tokenize);
  cmdbind("gettoken", cmd_gettoken);
  cmdbind("syntax", cmd_syntax);
}
