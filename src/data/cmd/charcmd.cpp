// The `char` command: define, list and rename the characteristics kept by
// the store in data/chars.cpp.
#include <cstring>
#include <string>

#include "data/chars.h"
#include "data/store.h"
#include "data/varlist.h"
#include "interp/cmdtab.h"
#include "interp/tokenizer.h"
#include "output/errors.h"
#include "output/output.h"

namespace {

// owner[name] at p: fills owner and name, returns the position after "]",
// or nullptr when malformed.
const char* ownername(const char* p, std::string& owner, std::string& name) {
  while (*p == ' ') ++p;
  const char* b = std::strchr(p, '[');
  if (!b || b == p) return nullptr;
  const char* e = std::strchr(b, ']');
  if (!e) return nullptr;
  owner.assign(p, b);
  name.assign(b + 1, e);
  while (!owner.empty() && owner.back() == ' ') owner.pop_back();
  return e + 1;
}

// The owner as stored: "_dta" or the full name of the variable it names.
int resolveowner(std::string& owner) {
  if (owner == "_dta") return 0;
  int v = zelta_findvar(owner.c_str(), 1, false);
  if (v < 0) return -v;
  owner = varname(v);
  return 0;
}

void listowner(const std::string& owner, const char* only) {
  auto o = chs.owners.find(owner);
  if (o == chs.owners.end()) return;
  for (auto& [n, t] : o->second) {
    if (only && n != only) continue;
    std::string head = owner + "[" + n + "]:";
    spout21f("  %-24s %s\n", head.c_str(), t.c_str());
  }
}

// char rename oldvar newvar [, replace]: moves every characteristic of one
// variable to another.
int charrename(const char* p) {
  ParseResult pr;
  std::string line(p);
  settok("");
  std::string opts;
  size_t comma = line.find(',');
  if (comma != std::string::npos) {
    opts = line.substr(comma + 1);
    line.resize(comma);
  }
  settok(line.c_str());
  std::string a = gettok(prsestd), b = gettok(prsestd);
  if (a.empty() || b.empty()) return error(RC_SYNTAX);
  if (*gettok(prsestd)) return error(RC_SYNTAX);
  settok(opts.c_str());
  if (int rc = proption(pr)) return rc;
  bool replace = findopt(pr, "replace", 7, 0) == 1;
  if (int rc = chkopt(pr)) return rc;
  if (int rc = resolveowner(a)) return rc;
  if (int rc = resolveowner(b)) return rc;
  if (a == b) return 0;
  auto to = chs.owners.find(b);
  if (to != chs.owners.end() && !to->second.empty()) {
    if (!replace)
      return errmsgf(RC_DEFINED, "characteristic %s[%s] already exists\n", b.c_str(), to->second.front().first.c_str());
    charrm(b.c_str());
  }
  charrename_owner(a.c_str(), b.c_str());
  return 0;
}

// char [define] owner[name] [text] | char list [owner[name]] | char rename
int cmd_char(int) {
  const char* p = wheretok();
  while (*p == ' ') ++p;
  if (!std::strncmp(p, "list", 4) && (p[4] == ' ' || !p[4])) {
    p += 4;
    while (*p == ' ') ++p;
    settok("");
    if (!*p) {
      listowner("_dta", nullptr);
      for (int v = 1; v <= ds.nvar; ++v) listowner(varname(v), nullptr);
      return 0;
    }
    std::string owner, name;
    const char* e = ownername(p, owner, name);
    if (!e) return error(RC_SYNTAX);
    if (int rc = resolveowner(owner)) return rc;
    listowner(owner, name.empty() ? nullptr : name.c_str());
    return 0;
  }
  if (!std::strncmp(p, "rename", 6) && (p[6] == ' ' || !p[6])) return charrename(p + 6);
  if (!std::strncmp(p, "define", 6) && p[6] == ' ') p += 6;
  std::string owner, name;
  const char* e = ownername(p, owner, name);
  if (!e || name.empty()) {
    settok("");
    return error(RC_SYNTAX);
  }
  if (int rc = chkname(name.c_str())) {
    settok("");
    return rc;
  }
  std::string text(e);
  settok("");
  while (!text.empty() && text.front() == ' ') text.erase(0, 1);
  while (!text.empty() && text.back() == ' ') text.pop_back();
  if (text.size() >= 2 && text.front() == '"' && text.back() == '"') text = text.substr(1, text.size() - 2);
  else if (text.size() >= 4 && text.compare(0, 2, "`\"") == 0 && text.compare(text.size() - 2, 2, "\"'") == 0)
    text = text.substr(2, text.size() - 4);
  if (int rc = resolveowner(owner)) return rc;
  charset(owner.c_str(), name.c_str(), text);
  return 0;
}

}  // namespace

void data_bindchars() { cmdbind("char", cmd_char); }
