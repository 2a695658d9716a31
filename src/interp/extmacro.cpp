// Extended macro functions, the `:function` of `local name : ...` and of
// `:...' references: variable properties, word counts and words, list
// operations, substitution, lengths, directories, system directories and
// the rest through machost.stores (the results store's macext.cpp).
#include <dirent.h>
#include <fnmatch.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "data/chars.h"
#include "data/store.h"
#include "data/vlabel.h"
#include "data/varlist.h"
#include "interp/cmdtab.h"
#include "interp/interp.h"
#include "interp/macro.h"
#include "interp/program.h"
#include "interp/tokenizer.h"
#include "interp/wordscan.h"
#include "output/errors.h"
#include "output/format.h"
#include "output/output.h"

MacroHost machost;

namespace {

// The variable named by the text; 0 after printing the error.
int findvar(const char* p, int& rc) {
  std::string n = nextword(p);
  if (n.empty()) {
    rc = sayerr("nothing found where name expected\n", RC_SYNTAX);
    return 0;
  }
  int v = zelta_findvar(n.c_str(), 1, !ds.varabbrev);
  if (v <= 0) {
    rc = varnotfound(n.c_str());
    return 0;
  }
  rc = 0;
  return v;
}

// The text of the macro `local|global name` at p.
bool macroarg(const char*& p, std::string& text, std::string& fullname, int& rc) {
  std::string kind = nextword(p);
  std::string name = nextword(p);
  rc = 0;
  if (kind == "local" && !name.empty()) {
    fullname = "_" + name;
  } else if (kind == "global" && !name.empty()) {
    fullname = name;
  } else {
    rc = sayerr("invalid syntax\n", RC_SYNTAX);
    return false;
  }
  const std::string* t = macptr(fullname.c_str());
  text = t ? *t : "";
  return true;
}

// ---------------------------------------------------------------------------
// List functions.

bool contains(const std::vector<std::string>& v, const std::string& s) {
  return std::find(v.begin(), v.end(), s) != v.end();
}

// A local's words, keeping their quotes (so they compare as typed).
std::vector<std::string> listof(const std::string& name) {
  std::vector<std::string> w;
  if (const std::string* t = macget_local(name)) macwords(t->c_str(), w, false);
  return w;
}

std::string cleanword(const std::string& q) {
  std::vector<std::string> one;
  macwords(q.c_str(), one, true);
  std::string s = one.empty() ? "" : one[0];
  if (s.find('"') != std::string::npos) return "`\"" + s + "\"'";
  if (s.find(' ') != std::string::npos || s.empty()) return "\"" + s + "\"";
  return s;
}

int listfn(const char* p, std::string& res) {
  res.clear();
  const char* save = p;
  std::string op = nextword(p);
  auto unary = [&](const char* nm, int min) { return cmdcmp(op.c_str(), nm, min); };
  if (unary("uniq", 4) || unary("dups", 4) || unary("sort", 4) || unary("sizeof", 6) ||
      unary("retokenize", 5) || unary("clean", 5)) {
    std::string a = nextword(p);
    if (a.empty() || *skipblanks(p)) return sayerr("invalid syntax\n", RC_SYNTAX);
    std::vector<std::string> w = listof(a), r;
    if (op == "uniq") {
      for (auto& x : w)
        if (!contains(r, x)) r.push_back(x);
    } else if (op == "dups") {
      std::vector<std::string> seen;
      for (auto& x : w) {
        if (contains(seen, x)) r.push_back(x);
        else seen.push_back(x);
      }
    } else if (op == "sort") {
      r = w;
      std::sort(r.begin(), r.end());
    } else if (op == "sizeof") {
      res = std::to_string(w.size());
      return 0;
    } else if (op[0] == 'r') {
      r = w;
    } else {
      for (auto& x : w) r.push_back(cleanword(x));
    }
    res = joinwords(r);
  } else if (op == "posof") {
    p = skipblanks(p);
    const char *s, *e, *a;
    if (parse_quoted_string(p, &s, &e, &a)) return sayerr("invalid syntax\n", RC_SYNTAX);
    std::string target(s, e);
    p = a;
    if (nextword(p) != "in") return sayerr("invalid syntax\n", RC_SYNTAX);
    std::string b = nextword(p);
    std::vector<std::string> w;
    if (const std::string* t = macget_local(b)) macwords(t->c_str(), w, true);
    size_t pos = 0;
    for (size_t i = 0; i < w.size(); ++i)
      if (w[i] == target) {
        pos = i + 1;
        break;
      }
    res = std::to_string(pos);
  } else {
    p = save;
    std::string a = nextword(p), o = nextword(p), b = nextword(p);
    if (a.empty() || o.empty() || b.empty() || *skipblanks(p)) return sayerr("invalid syntax\n", RC_SYNTAX);
    std::vector<std::string> A = listof(a), B = listof(b), r;
    if (o == "|") {
      r = A;
      for (auto& x : B)
        if (!contains(r, x)) r.push_back(x);
      res = joinwords(r);
    } else if (o == "&") {
      for (auto& x : A)
        if (contains(B, x) && !contains(r, x)) r.push_back(x);
      res = joinwords(r);
    } else if (o == "-") {
      for (auto& x : A)
        if (!contains(B, x)) r.push_back(x);
      res = joinwords(r);
    } else if (o == "in") {
      bool all = true;
      for (auto& x : A)
        if (!contains(B, x)) all = false;
      res = all ? "1" : "0";
    } else if (o == "==") {
      res = A == B ? "1" : "0";
    } else if (o == "===") {
      std::vector<std::string> sa = A, sb = B;
      std::sort(sa.begin(), sa.end());
      std::sort(sb.begin(), sb.end());
      sa.erase(std::unique(sa.begin(), sa.end()), sa.end());
      sb.erase(std::unique(sb.begin(), sb.end()), sb.end());
      res = sa == sb ? "1" : "0";
    } else {
      return sayerr("invalid syntax\n", RC_SYNTAX);
    }
  }
  if (res.size() >= static_cast<size_t>(interp.macrolen))
    return sayerr("extended macro function list:  resulting macro too long\n", RC_LIMIT);
  return 0;
}

// ---------------------------------------------------------------------------

// subinstr local|global name "from" "to" [, all count(local|global name) word]
int subinstr(const char* p, std::string& res) {
  std::string text, full;
  int rc;
  if (!macroarg(p, text, full, rc)) return rc;
  const char *s, *e, *a;
  p = skipblanks(p);
  if (parse_quoted_string(p, &s, &e, &a)) return sayerr("invalid syntax\n", RC_SYNTAX);
  std::string from(s, e);
  p = skipblanks(a);
  if (parse_quoted_string(p, &s, &e, &a)) return sayerr("invalid syntax\n", RC_SYNTAX);
  std::string to(s, e);
  p = skipblanks(a);
  bool all = false, wordonly = false;
  std::string countkind, countname;
  if (*p == ',') {
    ++p;
    while (*(p = skipblanks(p))) {
      std::string o = nextword(p);
      if (cmdcmp(o.c_str(), "all", 3)) all = true;
      else if (o == "word") wordonly = true;
      else if (o.compare(0, 6, "count(") == 0) {
        std::string inner = o.substr(6);
        // count(local name) spans two words
        std::string rest = nextword(p);
        if (!rest.empty() && rest.back() == ')') rest.pop_back();
        countkind = inner;
        countname = rest;
        if (countkind != "local" && countkind != "global") return sayerr("invalid syntax\n", RC_SYNTAX);
      } else return sayerr("option " + o + " not allowed\n", RC_SYNTAX);
    }
  } else if (*p) {
    return sayerr("invalid syntax\n", RC_SYNTAX);
  }
  if (from.empty()) return sayerr("invalid syntax\n", RC_SYNTAX);
  res.clear();
  size_t i = 0, count = 0;
  bool done = false;
  while (i < text.size()) {
    if (!done && text.compare(i, from.size(), from) == 0) {
      bool ok = true;
      if (wordonly) {
        bool lb = i == 0 || text[i - 1] == ' ';
        bool rb = i + from.size() == text.size() || text[i + from.size()] == ' ';
        ok = lb && rb;
      }
      if (ok) {
        res += to;
        i += from.size();
        ++count;
        if (!all) done = true;
        continue;
      }
    }
    res.push_back(text[i++]);
  }
  if (res.size() >= static_cast<size_t>(interp.macrolen)) return error(RC_LIMIT);
  if (!countname.empty()) {
    std::string c = std::to_string(count);
    if (countkind == "local") macset_local(countname, c);
    else macset_global(countname, c);
  }
  return 0;
}

// word count string | word # of string
int wordfn(const char* p, std::string& res) {
  std::string w = nextword(p);
  std::vector<std::string> words;
  if (w == "count") {
    macwords(p, words, true);
    res = std::to_string(words.size());
    return 0;
  }
  char* e;
  long n = std::strtol(w.c_str(), &e, 10);
  if (w.empty() || *e || n < 1) return sayerr("invalid syntax\n", RC_SYNTAX);
  if (nextword(p) != "of") return sayerr("invalid syntax\n", RC_SYNTAX);
  macwords(p, words, true);
  res = static_cast<size_t>(n) <= words.size() ? words[static_cast<size_t>(n) - 1] : "";
  return 0;
}

// dir "dir" files|dirs|other ["pattern"] [, nofail respectcase]
int dirfn(const char* p, std::string& res) {
  p = skipblanks(p);
  const char *s, *e, *a;
  std::string dir;
  if (!parse_quoted_string(p, &s, &e, &a)) dir.assign(s, e), p = a;
  else dir = nextword(p);
  std::string kind = nextword(p);
  p = skipblanks(p);
  std::string pat = "*";
  if (*p && *p != ',') {
    if (!parse_quoted_string(p, &s, &e, &a)) pat.assign(s, e), p = a;
    else pat = nextword(p);
  }
  if (kind != "files" && kind != "dirs" && kind != "other") return sayerr("invalid syntax\n", RC_SYNTAX);
  DIR* d = opendir(dir.c_str());
  if (!d) return sayerr("directory " + dir + " not found\n", RC_FILENOTFOUND);
  std::vector<std::string> names;
  while (dirent* de = readdir(d)) {
    std::string n = de->d_name;
    if (n == "." || n == "..") continue;
    if (fnmatch(pat.c_str(), n.c_str(), 0)) continue;
    const bool isdir = de->d_type == DT_DIR;
    const bool isreg = de->d_type == DT_REG;
    if ((kind == "files" && isreg) || (kind == "dirs" && isdir) || (kind == "other" && !isdir && !isreg))
      names.push_back(n);
  }
  closedir(d);
  std::sort(names.begin(), names.end());
  res.clear();
  for (size_t i = 0; i < names.size(); ++i) {
    if (i) res.push_back(' ');
    res += "\"" + names[i] + "\"";
  }
  return 0;
}

// piece #p #l of "string" [, nobreak]
int piecefn(const char* p, std::string& res) {
  long np = std::strtol(nextword(p).c_str(), nullptr, 10);
  long len = std::strtol(nextword(p).c_str(), nullptr, 10);
  if (nextword(p) != "of" || np < 1 || len < 1) return sayerr("invalid syntax\n", RC_SYNTAX);
  p = skipblanks(p);
  const char *s, *e, *a;
  std::string text;
  if (!parse_quoted_string(p, &s, &e, &a)) text.assign(s, e), p = a;
  else text = p, p += std::strlen(p);
  const bool nobreak = std::strstr(p, "nobreak") != nullptr;
  std::vector<std::string> pieces;
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && text[i] == ' ') ++i;
    if (i >= text.size()) break;
    size_t end = std::min(text.size(), i + static_cast<size_t>(len));
    if (!nobreak && end < text.size() && text[end] != ' ') {
      size_t b = text.rfind(' ', end);
      if (b != std::string::npos && b > i) end = b;
    }
    std::string piece = text.substr(i, end - i);
    while (!piece.empty() && piece.back() == ' ') piece.pop_back();
    pieces.push_back(piece);
    i = end;
  }
  res = static_cast<size_t>(np) <= pieces.size() ? pieces[static_cast<size_t>(np) - 1] : "";
  return 0;
}

// What `display` would print, as text.
int displayfn(const char* p, std::string& res) {
  std::string text = p;
  TokState tsaved;
  borrow_gettok(&tsaved);
  settok(text.c_str());
  res.clear();
  int rc = display_tomacro(res, static_cast<size_t>(interp.macrolen) - 1);
  return_gettok(&tsaved);
  return rc;
}

}  // namespace

void macchar(const char* owner, const char* name, std::string& res) {
  res.clear();
  std::string own = owner;
  if (own != "_dta") {
    int v = zelta_findvar(owner, 1, !ds.varabbrev);
    if (v <= 0) return;
    own = varname(v);
  }
  if (*name) {
    if (const std::string* t = charget(own.c_str(), name)) res = *t;
    return;
  }
  auto it = chs.owners.find(own);
  if (it == chs.owners.end()) return;
  for (auto& pr : it->second) {
    if (!res.empty()) res.push_back(' ');
    res += pr.first;
  }
}

int macextended(const char* text, std::string& res) {
  res.clear();
  const char* p = skipblanks(text);
  std::string fn = nextword(p);
  const char* rest = p;
  int rc = 0;
  auto is = [&](const char* nm, int min) { return cmdcmp(fn.c_str(), nm, min); };
  if (is("type", 1) || is("format", 1)) {
    int v = findvar(rest, rc);
    if (!v) return rc;
    res = fn[0] == 't' ? typename_of(vartype(v)) : ds.fmtlist[static_cast<size_t>(v)];
    return 0;
  }
  if (is("value", 3) || is("variable", 3)) {
    if (nextword(p) != "label") return sayerr("invalid syntax\n", RC_SYNTAX);
    int v = findvar(p, rc);
    if (!v) return rc;
    res = fn[1] == 'a' && fn[2] == 'l' ? ds.lbllist[static_cast<size_t>(v)] : ds.varlabels[static_cast<size_t>(v)];
    return 0;
  }
  if (is("environment", 3)) {
    std::string n = nextword(p);
    const char* v = std::getenv(n.c_str());
    res = v ? v : "";
    if (res.size() >= static_cast<size_t>(interp.macrolen)) res.resize(static_cast<size_t>(interp.macrolen) - 1);
    return 0;
  }
  if (is("tempvar", 5)) {
    res = mktmpvn();
    return 0;
  }
  if (is("tempfile", 5)) {
    res = tmpfile_next();
    return 0;
  }
  if (is("sortedby", 4)) {
    for (size_t i = 0; i < ds.srtlist.size(); ++i) {
      if (i) res.push_back(' ');
      res += varname(ds.srtlist[i]);
    }
    return 0;
  }
  if (is("display", 2)) return displayfn(rest, res);
  if (is("word", 4)) return wordfn(rest, res);
  if (is("list", 4)) return listfn(rest, res);
  if (is("subinstr", 8)) return subinstr(rest, res);
  if (is("sysdir", 6)) {
    std::string cw = nextword(p);
    res = sysdir_get(cw);
    if (res.empty()) return sayerr(cw + " invalid system directory codeword\n", RC_SYNTAX);
    return 0;
  }
  if (fn == "length") {
    std::string t, full;
    if (!macroarg(p, t, full, rc)) return rc;
    res = std::to_string(t.size());
    return 0;
  }
  if (fn == "pwd") {
    char buf[4096];
    res = getcwd(buf, sizeof buf) ? buf : "";
    return 0;
  }
  if (fn == "dirsep") {
    res = "/";
    return 0;
  }
  if (fn == "dir") return dirfn(rest, res);
  if (fn == "piece") return piecefn(rest, res);
  if (fn == "data") {
    if (nextword(p) != "label") return sayerr("invalid syntax\n", RC_SYNTAX);
    res = ds.datalbl;
    return 0;
  }
  if (fn == "adosubdir") {
    std::string f = nextword(p);
    if (!f.empty() && f[0] == '"') f = f.substr(1, f.size() >= 2 ? f.size() - 2 : 0);
    res = f.substr(0, 1);
    return 0;
  }
  if (is("label", 3)) return vlmacro(p, res);
  if (is("char", 4)) {
    std::string a = nextword(p);
    size_t lb = a.find('[');
    if (lb == std::string::npos || a.back() != ']') return sayerr("invalid syntax\n", RC_SYNTAX);
    macchar(a.substr(0, lb).c_str(), a.substr(lb + 1, a.size() - lb - 2).c_str(), res);
    return 0;
  }
  if (fn == "properties") {
    std::string n = nextword(p);
    auto pg = pgmfind(n.c_str(), 3);
    if (pg) res = pg->props;
    return 0;
  }
  if (fn == "permname") {
    std::string n = nextword(p);
    res = n.substr(0, 32);
    return 0;
  }
  if (machost.stores)
    if (int r = machost.stores(fn, rest, res); r >= 0) return r;
  return notalow(fn.empty() ? "nothing" : fn.c_str());
}
