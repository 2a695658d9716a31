// The built-in command table and dispatch. Names are tested in table order
// within their first letter; the first successful abbreviation test wins
// (an index of every abbreviation finds that entry without the scan).
// Names without a handler yet answer with a message and code 199.
#include "interp/cmdtab.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "data/vlperm.h"
#include "interp/interp.h"
#include "interp/lineplan.h"
#include "interp/program.h"
#include "interp/tokenizer.h"
#include "output/errors.h"
#include "output/outhost.h"
#include "output/output.h"
#include "platform/platform.h"
#include "platform/zassert.h"

namespace {

struct CmdEntry {
  const char* name;
  int min;
  CmdHandler fn;
  int mode;
  int vdep = -1;  // version rule (see vrule), computed on first use
};

// Version rules: which entries exist only at some versions.
enum : int { V_ALL, V_GE800, V_GE600, V_LT800, V_LT600 };

CmdEntry exectab[] = {
#define CMDNAME(n, m) {n, m, nullptr, 0},
#include "interp/cmdnames.def"
#undef CMDNAME
};
constexpr int NEXEC = sizeof exectab / sizeof exectab[0];

// Structural words recognised while lines are only scanned.
CmdEntry scantab[] = {
    {"_byobs", 6, nullptr, 0}, {"_cls", 4, nullptr, 0},    {"break", 5, nullptr, 0},
    {"capture", 3, nullptr, 0}, {"class", 5, nullptr, 0},  {"else", 4, nullptr, 0},
    {"foreach", 7, nullptr, 0}, {"forvalues", 4, nullptr, 0}, {"if", 2, nullptr, 0},
    {"v", 1, nullptr, 0},       {"vemo", 4, nullptr, 0},   {"noisily", 1, nullptr, 0},
    {"nobreak", 7, nullptr, 0}, {"quietly", 1, nullptr, 0}, {"version", 4, nullptr, 0},
    {"while", 2, nullptr, 0},   {"{", 1, nullptr, 0},
};

// Names left out of the findbuiltin table.
const char* const notbuiltin[] = {"_fevdstd", "assert",   "clist",  "datasignature", "ereturn",
                                  "expand",   "flist",    "inspect", "keep",         "log_dlg",
                                  "move",     "outsheet", "playsnd", "query",        "run",
                                  "transmap", "unabcmd",  "view",    "wmenu"};

int vrule(const char* name) {
  if (!std::strcmp(name, "_estimates") || !std::strcmp(name, "ereturn")) return V_GE800;
  if (!std::strcmp(name, "cp") || !std::strcmp(name, "numlist")) return V_GE600;
  if (!std::strcmp(name, "estimates") || !std::strcmp(name, "gph") || !std::strcmp(name, "graph"))
    return V_LT800;
  if (!std::strcmp(name, "predict")) return V_LT600;
  return V_ALL;
}

// True when the entry exists at the current version.
bool available(CmdEntry& e) {
  if (e.vdep < 0) e.vdep = vrule(e.name);
  const int v = interp.version;
  switch (e.vdep) {
    case V_GE800: return v >= 800;
    case V_GE600: return v >= 600;
    case V_LT800: return v < 800;
    case V_LT600: return v < 600;
    default: return true;
  }
}

// Every word that abbreviates some name of the executing table (every prefix
// at least as long as the name's minimum), mapped to the entries it
// abbreviates in table order. A word usually abbreviates one entry; the list
// keeps the rest so that a name missing at the current version falls through
// to the next one, exactly as a scan of the table would. Built on first use;
// the keys point into the table's own name strings.
using ExecIndex = std::unordered_map<std::string_view, std::vector<short>>;

const ExecIndex& execindex() {
  static const ExecIndex index = [] {
    ExecIndex ix;
    ix.reserve(4096);
    for (int i = 0; i < NEXEC; ++i) {
      const std::string_view name = exectab[i].name;
      for (size_t len = static_cast<size_t>(std::max(exectab[i].min, 1)); len <= name.size(); ++len)
        ix[name.substr(0, len)].push_back(static_cast<short>(i));
    }
    return ix;
  }();
  return index;
}

// The first entry of the executing table, in table order, that `word`
// abbreviates and that exists at the current version (skipping the names
// findbuiltin leaves out when `builtinonly`), or nullptr.
CmdEntry* execlookup_u(const char* word, bool builtinonly);

// The last dispatching lookup, remembered: a loop body asks for the same
// command word again and again. The answer depends on the word and the
// version only (the table itself never changes).
struct LastLookup {
  char word[24] = {0};
  int version = -1;
  CmdEntry* entry = nullptr;
};
LastLookup lastlookup;

CmdEntry* execlookup(const char* word, bool builtinonly) {
  if (builtinonly) return execlookup_u(word, true);
  const size_t n = strnlen(word, sizeof lastlookup.word);
  if (n == sizeof lastlookup.word) return execlookup_u(word, false);
  if (lastlookup.version == interp.version && !std::memcmp(lastlookup.word, word, n + 1)) return lastlookup.entry;
  CmdEntry* e = execlookup_u(word, false);
  std::memcpy(lastlookup.word, word, n + 1);
  lastlookup.version = interp.version;
  lastlookup.entry = e;
  return e;
}

CmdEntry* execlookup_u(const char* word, bool builtinonly) {
  const ExecIndex& ix = execindex();
  auto it = ix.find(std::string_view(word));
  if (it == ix.end()) return nullptr;
  for (short i : it->second) {
    CmdEntry& e = exectab[i];
    if (builtinonly) {
      bool skip = false;
      for (const char* n : notbuiltin)
        if (!std::strcmp(n, e.name)) skip = true;
      if (skip) continue;
    }
    if (available(e)) return &e;
  }
  return nullptr;
}

// The scanning table is a handful of words: a scan is quicker than a hash.
CmdEntry* lookup(CmdEntry* tab, int n, const char* word, bool scanning) {
  for (int i = 0; i < n; ++i) {
    if (tab[i].name[0] != word[0]) continue;
    int min = tab[i].min;
    if (scanning && !std::strcmp(tab[i].name, "quietly")) min = interp.version >= 800 ? 1 : 3;
    if (cmdcmp(word, tab[i].name, min) && available(tab[i])) return &tab[i];
  }
  return nullptr;
}

int unimplemented(const char* name) {
  return errmsgf(RC_UNRECOGNIZED, "%s:  command not available in this build\n", name);
}

}  // namespace

int cmd_bylevel = 0;
// The variable-list parser asks for the time-series permission through this.
[[maybe_unused]] static const bool vl_tsallowed_set = (vl_tsallowed = parse_tsallowed, true);
// The messages of the output layer ask whether a by prefix is running through this.
[[maybe_unused]] static const bool outhost_by_set = (outhost.underby = [] { return cmd_bylevel != 0; }, true);

bool cmdcmp(const char* word, const char* name, int min) {
  size_t lw = std::strlen(word), ln = std::strlen(name);
  if (!lw || lw > ln || static_cast<int>(lw) < min) return false;
  return std::strncmp(word, name, lw) == 0;
}

bool cmdcmp_lc(const char* word, const char* name, int min) {
  size_t lw = std::strlen(word), ln = std::strlen(name);
  if (!lw || lw > ln || static_cast<int>(lw) < min) return false;
  for (size_t i = 0; i < lw; ++i) {
    int a = word[i], b = name[i];
    if (a >= 'A' && a <= 'Z') a += 32;
    if (b >= 'A' && b <= 'Z') b += 32;
    if (a != b) return false;
  }
  return true;
}

void cmdbind(const char* name, CmdHandler fn, int mode) {
  for (auto& e : exectab)
    if (!std::strcmp(e.name, name)) {
      e.fn = fn;
      e.mode = mode;
      return;
    }
  ZASSERT(false, std::string("cmdbind: \"") + name + "\" is not in the command table");
}

void cmdbind_scan(const char* name, CmdHandler fn, int mode) {
  for (auto& e : scantab)
    if (!std::strcmp(e.name, name)) {
      e.fn = fn;
      e.mode = mode;
      return;
    }
  ZASSERT(false, std::string("cmdbind_scan: \"") + name + "\" is not in the command table");
}

void cmdinit_table() {
  static bool done = false;
  if (done) return;
  done = true;
  interp_bindcommands();
  output_bindcommands();
  data_bindcommands();
  expr_bindcommands();
  display_bindcommands();
  results_bindcommands();
  lang_bindcommands();
  files_bindcommands();
  graphics_bindcommands();
  stats_bindcommands();
  vemo_bindcommands();
  help_bindcommands();
  platform_bindcommands();
}

const char* findbuiltin(const char* word) {
  CmdEntry* e = execlookup(word, true);
  return e ? e->name : nullptr;
}

void cmdnames(std::vector<std::string>& names, std::vector<int>* mins) {
  for (CmdEntry& e : exectab)
    if (e.fn && available(e)) {
      names.emplace_back(e.name);
      if (mins) mins->push_back(e.min);
    }
}

const char* cmdfullname(const char* word) {
  if (!word[0] || !(word[0] == '_' || (word[0] >= 'a' && word[0] <= 'x'))) return nullptr;
  CmdEntry* e = execlookup(word, false);
  return e ? e->name : nullptr;
}

bool cmdbound(const char* fullname) {
  for (const auto& e : exectab)
    if (!std::strcmp(e.name, fullname)) return e.fn != nullptr;
  return false;
}

void cmdlist(std::vector<const char*>& names, bool boundonly) {
  for (const auto& e : exectab)
    if (!boundonly || e.fn) names.push_back(e.name);
}

unsigned cmdhash(const char* line) {
  uint32_t h = 0;
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(line); *p; ++p)
    h = h * 31u + *p;
  return h % 1997333137u;
}

// Resets the permission flags and the parse results; the option texts are
// only forgotten (noptn = 0), not freed, since this runs on every dispatch.
// selreq: dispatch the command word in interp.cmd.
int selreq_enter() {
  parse_reset();
  out.c_outlev = 0;
  if (++interp.sysclock > 2147483646) interp.sysclock = 1;
  if (interp.maxcommands && ++interp.commands_run > interp.maxcommands) {
    stopflag = 1;  // embedded runs end as if the user had pressed Break
    return 1;
  }
  return 0;
}

bool cmd_islocal(const char* word, size_t len) {
  char w[16];
  if (len == 0 || len >= sizeof w || !(word[0] == '_' || (word[0] >= 'a' && word[0] <= 'x'))) return false;
  std::memcpy(w, word, len);
  w[len] = 0;
  const CmdEntry* e = execlookup(w, false);
  return e && e->fn && !std::strcmp(e->name, "local");
}

int selreq() {
  if (int rc = selreq_enter()) return rc;
  const std::string& c = interp.cmd;
  if (c.empty() || c[0] == '*') return 0;
  if (!interp.procflg) {
    CmdEntry* e = lookup(scantab, static_cast<int>(sizeof scantab / sizeof scantab[0]), c.c_str(), true);
    if (e && e->fn) return e->fn(e->mode);
    return 0;
  }
  const unsigned char first = static_cast<unsigned char>(c[0]);
  if (first == '!' || first == '{') {
    CmdEntry* e = lookup(scantab, static_cast<int>(sizeof scantab / sizeof scantab[0]), "{", true);
    if (first == '{') return (e && e->fn) ? e->fn(e->mode) : unimplemented("{");
    CmdEntry* sh = execlookup("shell", false);
    return (sh && sh->fn) ? sh->fn(1) : unimplemented("shell");
  }
  if (first == '_' || (first >= 'a' && first <= 'x')) {
    CmdEntry* e = execlookup(c.c_str(), false);
    if (e) {
      if (!e->fn) return unimplemented(e->name);
      return e->fn(e->mode);
    }
  }
  if (first == '.') return unimplemented(c.c_str());
  return prog_dispatch(c);
}
