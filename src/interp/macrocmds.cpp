// The macro commands `local`, `global`, `c_local` and `macro` (define, dir,
// list, drop, shift), the temporaries `tempvar`, `tempname`, `tempfile` and
// their clean-up when a level ends, and `lang_bindcommands`.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "data/store.h"
#include "interp/cmdtab.h"
#include "interp/interp.h"
#include "interp/lineplan.h"
#include "interp/macro.h"
#include "interp/program.h"
#include "interp/tokenizer.h"
#include "interp/wordscan.h"
#include "output/errors.h"
#include "output/output.h"
#include "platform/platform.h"

namespace {

enum { M_LOCAL = 0, M_GLOBAL = 1, M_CLOCAL = 2 };

inline bool namech(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

// Reads a macro name at p (name characters, or a leading ++/--); returns
// its end.
const char* scanname(const char* p) {
  if ((p[0] == '+' && p[1] == '+') || (p[0] == '-' && p[1] == '-')) p += 2;
  while (namech(*p)) ++p;
  return p;
}

int badname(const std::string& n) { return sayerr(n + " invalid name\n", RC_SYNTAX); }

// Removes a leading and trailing double quote, or a leading compound open
// and trailing compound close; only the ends are looked at.
void stripends(const char*& s, const char*& e) {
  if (e - s >= 2 && s[0] == '"' && e[-1] == '"') {
    ++s;
    --e;
  } else if (e - s >= 4 && s[0] == '`' && s[1] == '"' && e[-2] == '"' && e[-1] == '\'') {
    s += 2;
    e -= 2;
  }
}

// The value being defined: reused, since the definition path runs once per
// loop step.
std::string defvalue;

// Stores a defined value under full (with its `_` for a local) and type;
// an empty value removes the macro. 0 or a code.
int storevalue(const char* full, int type, const std::string& value) {
  if (value.size() >= static_cast<size_t>(interp.macrolen)) return error(RC_TOOMANYMACROS);
  if (value.empty()) {
    if (ObjEntry* e = dmfind(full, type)) dmremove(e);
    return 0;
  }
  if (int rc = dmstore(full, type, value.data(), value.size())) return error(rc);
  return 0;
}

// Defines a macro from the text after the name: nothing, `= exp`,
// `: function` or plain text. `type` is the store type for the entry.
int define(const char* nm, size_t nlen, bool local, int type) {
  const char* p = wheretok();
  while (*p == ' ') ++p;
  // `local ++x` increments in place
  if (nlen > 2 && ((nm[0] == '+' && nm[1] == '+') || (nm[0] == '-' && nm[1] == '-'))) {
    if (*p) return sayerr(std::string("'") + p + "' invalid\n", RC_SYNTAX);
    std::string full(local ? "_" : "");
    full.append(nm + 2, nlen - 2);
    std::string dummy;
    if (local && type != mac.typelmac) {
      const int saved = mac.typelmac;
      mac.typelmac = type;
      int rc = macincr(full.c_str(), nm[0] == '+' ? 1 : -1, dummy, true);
      mac.typelmac = saved;
      return rc;
    }
    return macincr(full.c_str(), nm[0] == '+' ? 1 : -1, dummy, true);
  }
  char full[MACNAMELEN + 2];
  size_t k = 0;
  if (local) full[k++] = '_';
  std::memcpy(full + k, nm, nlen);
  full[k + nlen] = 0;
  std::string& value = defvalue;
  if (!*p) {
    if (ObjEntry* e = dmfind(full, type)) dmremove(e);
    return 0;
  }
  if (*p == '=') {
    if (int rc = macevalexp(p + 1, value)) return rc;
  } else if (*p == ':') {
    if (int rc = macextended(p + 1, value)) return rc;
  } else {
    const char* s = p;
    const char* e = p + std::strlen(p);
    while (e > s && e[-1] == ' ') --e;
    stripends(s, e);
    value.assign(s, e);
  }
  return storevalue(full, type, value);
}

}  // namespace

int macdef_localeq(const char* name, size_t len, const char* exp) {
  char full[MACNAMELEN + 2];
  full[0] = '_';
  std::memcpy(full + 1, name, len);
  full[len + 1] = 0;
  if (int rc = macevalexp(exp, defvalue)) return rc;
  return storevalue(full, mac.typelmac, defvalue);
}

int macdef_localnum(const char* name, size_t len, double v, DmCache& c) {
  if (ObjEntry* e = dmfind_local_cached(c, name, len, mac.typelmac); e && e->text.capacity() <= 128) {
    macfmtnum(v, e->text);  // in place: dmsettext would keep this block too
    return 0;
  }
  macfmtnum(v, defvalue);
  char full[MACNAMELEN + 2];
  full[0] = '_';
  std::memcpy(full + 1, name, len);
  full[len + 1] = 0;
  return storevalue(full, mac.typelmac, defvalue);
}

namespace {

// local/global/c_local name [= exp | : function | text]
int cmd_macdef(int mode) {
  const char* p = wheretok();
  while (*p == ' ') ++p;
  const char* e = scanname(p);
  if (e == p) return sayerr(*p ? std::string(p, 1) + " invalid name\n" : "nothing found where name expected\n", RC_SYNTAX);
  size_t len = static_cast<size_t>(e - p);
  std::string nm(p, len);
  const bool incr = len > 2 && (p[0] == '+' || p[0] == '-');
  const size_t base = incr ? len - 2 : len;
  const char* bn = incr ? p + 2 : p;
  if (mode == M_GLOBAL) {
    if (!base || (bn[0] >= '0' && bn[0] <= '9')) return badname(nm);
    if (base > 32) return badname(nm);
    if (interp.version <= 600 && base > 8) return badname(nm);
  } else {
    if (!base || base > 31) return badname(nm);
    if (interp.version <= 600 && base > 7) return badname(nm);
  }
  // a name must end at a blank, `=`, `:` or the end of the line
  if (*e && *e != ' ' && *e != '=' && *e != ':' && *e != '"' && *e != '`')
    return badname(nm + std::string(e, 1));
  settok(e);
  if (mode == M_GLOBAL) return define(p, len, false, OBJ_GLOBAL);
  if (mode == M_CLOCAL) {
    const int t = mac.typelmac > OBJ_LOCAL0 ? mac.typelmac - 1 : mac.typelmac;
    return define(p, len, true, t);
  }
  return define(p, len, true, mac.typelmac);
}

// One macro in the `macro list` layout.
void listone(const ObjEntry* e) {
  int prev = setoutlev(OUT_TEXT);
  spoutsml("{p 0 16}\n");
  spout21(e->name);
  size_t n = std::strlen(e->name);
  if (n <= 14) spoutsmlf(":{space %d}", static_cast<int>(15 - n));
  else spoutsml(":{break}\n");
  setoutlev(OUT_RESULT);
  spout21(e->text.c_str());
  newline();
  setoutlev(OUT_TEXT);
  spoutsml("{p_end}\n");
  setoutlev(prev);
}

std::vector<const ObjEntry*> entries(int type) {
  std::vector<const ObjEntry*> v;
  for (ObjEntry* e = dmfirst(type); e; e = e->tnext)
    if (e->name[0] != '!') v.insert(v.begin(), e);
  return v;
}

int maclist(std::vector<std::string>& names) {
  if (names.empty() || (names.size() == 1 && names[0] == "_all")) {
    for (auto* e : entries(OBJ_GLOBAL)) listone(e);
    for (auto* e : entries(mac.typelmac)) listone(e);
    return 0;
  }
  for (auto& n : names) {
    ObjEntry* e = n[0] == '_' ? dmfind_local(n.c_str() + 1, n.size() - 1, mac.typelmac) : dmfind(n.c_str(), OBJ_GLOBAL);
    if (!e) {
      if (n[0] == '_') return sayerr("local macro `" + n.substr(1) + "' not found\n", RC_NOTFOUND);
      return sayerr("global macro $" + n + " not found\n", RC_NOTFOUND);
    }
    listone(e);
  }
  return 0;
}

int cmd_macro(int) {
  std::string w = gettok(prsestd);
  if (cmdcmp(w.c_str(), "define", 2)) {
    const char* p = wheretok();
    while (*p == ' ') ++p;
    if (*p == '_') {
      settok(p + 1);
      return cmd_macdef(M_LOCAL);
    }
    return cmd_macdef(M_GLOBAL);
  }
  std::vector<std::string> names;
  auto readnames = [&]() {
    for (std::string t = gettok(prsestd); !t.empty(); t = gettok(prsestd)) {
      if (t == "_" ) {
        std::string n = gettok(prsestd);
        names.push_back("_" + n);
      } else {
        names.push_back(t);
      }
    }
  };
  if (cmdcmp(w.c_str(), "dir", 2) || cmdcmp(w.c_str(), "list", 1)) {
    readnames();
    return maclist(names);
  }
  if (w == "drop") {
    readnames();
    if (names.empty()) return required("macro name");
    for (auto& n : names) {
      if (n == "_all") {
        std::vector<std::string> g;
        for (auto* e : entries(OBJ_GLOBAL)) g.push_back(e->name);
        for (auto& x : g) dmremove(dmfind(x.c_str(), OBJ_GLOBAL));
        continue;
      }
      if (n.back() == '*') {  // a pattern drops every global it matches
        std::string stem = n.substr(0, n.size() - 1);
        std::vector<std::string> g;
        for (auto* e : entries(OBJ_GLOBAL))
          if (!std::strncmp(e->name, stem.c_str(), stem.size())) g.push_back(e->name);
        for (auto& x : g) dmremove(dmfind(x.c_str(), OBJ_GLOBAL));
        continue;
      }
      macerase(n.c_str());
    }
    return 0;
  }
  if (cmdcmp(w.c_str(), "shift", 1)) {
    std::string t = gettok(prsestd);
    long n = 1;
    if (!t.empty()) {
      char* e;
      n = std::strtol(t.c_str(), &e, 10);
      if (*e || n < 0) return sayerr("invalid syntax\n", RC_SYNTAX);
    }
    if (*peektok_chr()) return sayerr("invalid syntax\n", RC_SYNTAX);
    char a[16], b[16];
    for (long s = 0; s < n; ++s) {
      if (stopflag) return 1;
      maclocal_erase("1");
      for (int k = 2;; ++k) {
        int la = std::snprintf(b, sizeof b, "%d", k);
        ObjEntry* e = dmfind_local(b, static_cast<size_t>(la), mac.typelmac);
        if (!e) break;
        int lb = std::snprintf(a, sizeof a, "%d", k - 1);
        std::string v = e->text;
        dmremove(e);
        (void)maclocal(a, static_cast<size_t>(lb), v.data(), v.size());
      }
    }
    return 0;
  }
  return sayerr("invalid syntax\n", RC_SYNTAX);
}

// ---------------------------------------------------------------------------
// Temporaries.

struct TempState {
  std::vector<std::string> names;  // temporary names made (scalars, matrices)
  std::vector<std::string> files;  // temporary files made
  long namectr = 0;
  long filectr = 0;
};
TempState tmp;

// tempvar/tempname names... ; tempfile names...
int cmd_temp(int mode) {
  std::vector<std::string> names;
  for (std::string t = gettok(prsestd); !t.empty(); t = gettok(prsestd)) {
    if (t.size() > 31) return badname(t);
    for (char c : t)
      if (!namech(c)) return badname(t);
    names.push_back(t);
  }
  if (names.empty()) return required(mode == 2 ? "tempfile name" : "name");
  for (auto& n : names) {
    std::string v;
    if (mode == 2) {
      char buf[64];
      std::snprintf(buf, sizeof buf, "/tmp/Z%05d.%06ld", static_cast<int>(getpid() % 100000), ++tmp.filectr);
      v = buf;
      tmp.files.push_back(v);
    } else if (mode == 0) {
      v = mktmpvn();
    } else {
      v = tmpname_next();
    }
    (void)maclocal(n.data(), n.size(), v.data(), v.size());
  }
  return 0;
}

}  // namespace

std::string tmpname_next() {
  std::string v = mktmpvn();
  tmp.names.push_back(v);
  return v;
}

std::string tmpfile_next() {
  char buf[64];
  std::snprintf(buf, sizeof buf, "/tmp/Z%05d.%06ld", static_cast<int>(getpid() % 100000), ++tmp.filectr);
  tmp.files.emplace_back(buf);
  return buf;
}

void temps_enter(TempMark& mark) {
  mark.tmpvctr = ds.tmpvctr;
  mark.nnames = tmp.names.size();
  mark.nfiles = tmp.files.size();
}

void temps_leave(const TempMark& mark) {
  if (ds.tmpvctr != mark.tmpvctr) droptmpvars_since(mark.tmpvctr);
  while (tmp.files.size() > mark.nfiles) {
    ::unlink(tmp.files.back().c_str());
    tmp.files.pop_back();
  }
  if (tmp.names.size() > mark.nnames) tmp.names.resize(mark.nnames);
}

void temp_reset() {
  for (const std::string& f : tmp.files) ::unlink(f.c_str());
  tmp = TempState{};
}

void maccmds_bindcommands() {
  cmdbind("local", cmd_macdef, M_LOCAL);
  cmdbind("global", cmd_macdef, M_GLOBAL);
  cmdbind("c_local", cmd_macdef, M_CLOCAL);
  cmdbind("macro", cmd_macro);
  cmdbind("tempvar", cmd_temp, 0);
  cmdbind("tempname", cmd_temp, 1);
  cmdbind("tempfile", cmd_temp, 2);
}

void lang_bindcommands() {
  maccmds_bindcommands();
  prog_bindcommands();
  control_bindcommands();
  syntax_bindcommands();
  numlist_bindcommands();
}
