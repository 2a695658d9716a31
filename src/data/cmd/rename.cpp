// rename: one variable, a group at once, or by pattern.
//   rename old new
//   rename (old1 old2 ...) (new1 new2 ...)
//   rename pattern pattern          inc* income*, x?_a x?_b
//   rename varlist, lower | upper
// Old and new words pair up in order. In a pattern pair, the n-th * or ? of
// the new word takes the text that the n-th wildcard of the old word matched.
// Every new name is checked before any variable changes, so a failed rename
// leaves every name as it was, and one group may exchange names: (a b) (b a).
#include <cctype>
#include <cstring>
#include <string>
#include <vector>

#include "data/cmd/datacmds.h"
#include "data/store.h"
#include "data/varlist.h"
#include "interp/cmdtab.h"
#include "output/rc.h"
#include "interp/tokenizer.h"
#include "output/errors.h"
#include "output/output.h"

namespace {

bool iswild(const std::string& w) { return w.find_first_of("*?") != std::string::npos; }

// Matches pattern p against s; on success caps holds the text each wildcard
// matched, in order. Backtracking is bounded by the 32-byte names.
bool wildmatch(const char* p, const char* s, std::vector<std::string>& caps) {
  if (!*p) return !*s;
  if (*p == '?') {
    if (!*s) return false;
    caps.emplace_back(1, *s);
    if (wildmatch(p + 1, s + 1, caps)) return true;
    caps.pop_back();
    return false;
  }
  if (*p == '*') {
    for (size_t n = 0;; ++n) {
      caps.emplace_back(s, n);
      if (wildmatch(p + 1, s + n, caps)) return true;
      caps.pop_back();
      if (!s[n]) return false;
    }
  }
  return *p == *s && wildmatch(p + 1, s + 1, caps);
}

// Fills the wildcards of the new word with the captured texts.
int fillpattern(const std::string& newword, const std::vector<std::string>& caps, std::string& out) {
  out.clear();
  size_t k = 0;
  for (char c : newword) {
    if (c != '*' && c != '?') {
      out += c;
      continue;
    }
    if (k == caps.size()) return errmsgf(RC_SYNTAX, "%s has more wildcards than the old name's pattern\n", newword.c_str());
    out += caps[k++];
  }
  return 0;
}

// One side of the command: a parenthesised list of words, or one word.
int takeside(const char*& p, std::vector<std::string>& words) {
  while (*p == ' ' || *p == '\t') ++p;
  if (!*p) return 0;
  const bool group = *p == '(';
  if (group) ++p;
  for (;;) {
    while (*p == ' ' || *p == '\t') ++p;
    if (group && *p == ')') {
      ++p;
      return 0;
    }
    if (!*p) return group ? errmsgf(RC_SYNTAX, "%s", "unmatched parenthesis\n") : 0;
    const char* w = p;
    while (*p && *p != ' ' && *p != '\t' && *p != '(' && *p != ')') ++p;
    if (p == w) return errmsgf(RC_SYNTAX, "%s", "unexpected parenthesis\n");
    words.emplace_back(w, p);
    if (!group) return 0;
  }
}

int cmd_rename(int) {
  std::string rest = wheretok();
  // Options follow the first comma outside parentheses.
  std::string opts;
  int depth = 0;
  for (size_t i = 0; i < rest.size(); ++i) {
    if (rest[i] == '(') ++depth;
    if (rest[i] == ')') --depth;
    if (rest[i] == ',' && depth == 0) {
      opts = rest.substr(i + 1);
      rest.resize(i);
      break;
    }
  }
  int casing = 0;  // 1 lower, 2 upper
  {
    settok(opts.c_str());
    for (std::string w = gettok(prseopt); !w.empty(); w = gettok(prseopt)) {
      if (w == "lower") casing = 1;
      else if (w == "upper") casing = 2;
      else return errmsgf(RC_SYNTAX, "option %s not allowed\n", w.c_str());
    }
  }

  std::vector<std::string> olds, news;
  const char* p = rest.c_str();
  if (int rc = takeside(p, olds)) return rc;
  if (casing == 0) {
    if (int rc = takeside(p, news)) return rc;
  } else {  // with lower or upper every word is an old name
    for (;;) {
      while (*p == ' ' || *p == '\t') ++p;
      if (!*p) break;
      if (int rc = takeside(p, olds)) return rc;
    }
  }
  while (*p == ' ' || *p == '\t') ++p;
  if (*p) return error(RC_TOOMANYVARS);
  if (olds.empty()) return error(RC_TOOFEWVARS);
  if (casing && !news.empty()) return errmsgf(RC_SYNTAX, "%s", "options lower and upper take no new names\n");
  if (!casing && news.empty()) return error(RC_TOOFEWVARS);
  if (!casing && news.size() != olds.size())
    return errmsgf(RC_SYNTAX, "%zu old names but %zu new names\n", olds.size(), news.size());

  auto cased = [casing](std::string name) {
    for (char& c : name)
      c = static_cast<char>(casing == 1 ? std::tolower(static_cast<unsigned char>(c))
                                        : std::toupper(static_cast<unsigned char>(c)));
    return name;
  };
  // Resolve every pair into (variable, new name).
  std::vector<int> vars;
  std::vector<std::string> targets;
  for (size_t i = 0; i < olds.size(); ++i) {
    const std::string& old = olds[i];
    if (iswild(old)) {
      size_t before = vars.size();
      for (int v = 1; v <= ds.nvar; ++v) {
        std::vector<std::string> caps;
        const std::string& name = ds.varlist[static_cast<size_t>(v)];
        if (!wildmatch(old.c_str(), name.c_str(), caps)) continue;
        std::string target = cased(name);
        if (!casing) {
          if (int rc = fillpattern(news[i], caps, target)) return rc;
        }
        vars.push_back(v);
        targets.push_back(target);
      }
      if (vars.size() == before) return varnotfound(old.c_str());
    } else {
      int v = zelta_findvar(old.c_str(), 1, false);
      if (v < 0) return -v;
      if (v > ds.nvar) return varnotfound(old.c_str());
      if (!casing && iswild(news[i]))
        return errmsgf(RC_SYNTAX, "%s: a new name may hold wildcards only when the old one does\n", news[i].c_str());
      vars.push_back(v);
      targets.push_back(casing ? cased(ds.varlist[static_cast<size_t>(v)]) : news[i]);
    }
  }

  // Check the whole set first: each variable once, each new name once, and
  // no new name already held by a variable that keeps its name.
  std::vector<char> moving(static_cast<size_t>(ds.nvar) + 1, 0);
  for (int v : vars) {
    if (moving[static_cast<size_t>(v)])
      return errmsgf(RC_SYNTAX, "variable %s named twice\n", ds.varlist[static_cast<size_t>(v)].c_str());
    moving[static_cast<size_t>(v)] = 1;
  }
  for (size_t i = 0; i < targets.size(); ++i) {
    for (size_t j = 0; j < i; ++j)
      if (targets[j] == targets[i]) return errmsgf(RC_DEFINED, "new name %s given twice\n", targets[i].c_str());
    int holder = findvarexact(targets[i].c_str());
    if (holder && !moving[static_cast<size_t>(holder)]) return error2(3, targets[i].c_str());
    if (!holder) {
      if (int rc = chkvarname(targets[i].c_str())) return rc;
    }
  }

  // Two steps when names are exchanged: first out of the way, then home.
  bool exchange = false;
  for (size_t i = 0; i < targets.size(); ++i) {
    int holder = findvarexact(targets[i].c_str());
    exchange = exchange || (holder && holder != vars[i]);
  }
  if (exchange) {
    for (size_t i = 0; i < vars.size(); ++i) {
      std::string tmp;
      for (int k = 0;; ++k) {
        tmp = "__rename" + std::to_string(k);
        if (!findvarexact(tmp.c_str())) break;
      }
      if (int rc = renamevar(vars[i], tmp.c_str())) return rc;
    }
  }
  for (size_t i = 0; i < vars.size(); ++i)
    if (int rc = renamevar(vars[i], targets[i].c_str())) return rc;
  return 0;
}

}  // namespace

void data_bindrename() { cmdbind("rename", cmd_rename); }
