// The `vemo` command: block mode (`vemo`, `vemo:` up to `end`), the
// statement forms (`vemo stmt`, `vemo: stmt`), statements separated by `;`,
// the session state saved around nested `vemo` commands, management lines
// (`vemo word` / `# word` inside Vemo) that run the `vemo_*` commands, and
// the Vemo settings.
#include <algorithm>
#include <cstring>
#include <string>
#include <unordered_set>
#include <vector>

#include "interp/cmdtab.h"
#include "interp/interp.h"
#include "interp/tokenizer.h"
#include "output/creg.h"
#include "output/errors.h"
#include "output/output.h"
#include "platform/platform.h"
#include "vemo/cc.h"
#include "vemo/lib.h"
#include "vemo/vemo.h"
#include "vemo/vm.h"
#include "vemo/vofile.h"

VemoState vst;

namespace {

// Reads a continuation line of the statement being compiled: 2 when the
// line is the block's `end`.
int moreline(std::string& line) {
  const char* saved = interp.prompt;
  interp.prompt = "> ";
  int r = nextrawline(line);
  interp.prompt = saved;
  if (r) return 1;
  size_t b = line.find_first_not_of(' ');
  if (b != std::string::npos && !line.compare(b, 3, "end") &&
      (line.size() == b + 3 || line[b + 3] == ' '))
    return (vst.kind == 2 || vst.kind == 4) ? 2 : 0;
  return 0;
}

// Reads the line after a top-level `if`, which may hold its `else`.
int peekline(std::string& line) {
  if (nextrawline(line)) return 1;
  size_t b = line.find_first_not_of(' ');
  if (b != std::string::npos && !line.compare(b, 3, "end") && (line.size() == b + 3 || line[b + 3] == ' '))
    return 2;
  return 0;
}

std::string firstword(const std::string& s, size_t* after = nullptr) {
  size_t b = s.find_first_not_of(' ');
  if (b == std::string::npos) {
    if (after) *after = s.size();
    return "";
  }
  size_t e = b;
  while (e < s.size() && s[e] != ' ') ++e;
  if (after) *after = e;
  return s.substr(b, e - b);
}

// Counts the objects reachable from the globals (leak checks).
void reach(const Mat* m, std::unordered_set<const Mat*>& seen) {
  if (!m || m->immortal || !seen.insert(m).second) return;
  if (m->kind == K_MAT && !m->view && (m->eltype == ET_PTR || m->eltype == ET_STRUCT))
    for (size_t i = 0; i < m->n(); ++i) reach(m->ptr()[i], seen);
}

void leakcheck(const std::string& line) {
  if (!vst.debugleaks || vst.xdepth != 1 || vm.sp != 0) return;
  // cycles are the collector's; what it leaves must all be reachable
  vm_collect();
  std::unordered_set<const Mat*> seen;
  for (auto& g : vm.globals) reach(g.second, seen);
  if (static_cast<long>(seen.size()) != vm.live) {
    int prev = setoutlev(OUT_ERROR);
    spout21f("vemo leak check: %ld objects alive, %ld reachable, after: %s\n", vm.live,
             static_cast<long>(seen.size()), line.c_str());
    setoutlev(prev);
  }
}

// Management words after `vemo` (or `#`) inside Vemo and on the command line.
struct Sub {
  const char* name;
  int min;
};
const Sub subs[] = {{"clear", 5},  {"describe", 1}, {"drop", 4},   {"help", 4},  {"matuse", 6},
                    {"matsave", 7}, {"matdescribe", 4}, {"memory", 6}, {"vlib", 4}, {"vosave", 6},
                    {"which", 5},  {"query", 1},    {"rename", 3}, {"set", 3},   {"zelta", 5}};

// The subcommand named by word, or nullptr.
const Sub* findsub(const std::string& word) {
  for (const Sub& s : subs)
    if (cmdcmp(word.c_str(), s.name, s.min)) return &s;
  return nullptr;
}

// Runs a management line (the text after `vemo` or `#`).
int management(const std::string& text) {
  size_t after;
  std::string w = firstword(text, &after);
  std::string rest = after < text.size() ? text.substr(after) : "";
  const Sub* s = findsub(w);
  if (!s) {
    int prev = setoutlev(OUT_ERROR);
    spout21("unrecognized vemo preprocessor command\n");
    setoutlev(prev);
    return RC_UNRECOGNIZED;
  }
  std::string name = s->name;
  if (name == "query") {
    if (firstword(rest) != "") return invalid(firstword(rest).c_str());
    return execline("query vemo");
  }
  if (name == "set") {
    std::string setting = firstword(rest);
    if (setting.compare(0, 4, "vemo")) {
      int prev = setoutlev(OUT_ERROR);
      spout21f("%s invalid; vemo settings start with vemo\n", setting.empty() ? "nothing" : setting.c_str());
      setoutlev(prev);
      return RC_SYNTAX;
    }
    return execline("set" + rest);
  }
  if (name == "zelta") return execline(rest);
  if (name == "help") return execline("help" + rest);
  return execline("vemo_" + name + rest);
}

// True when the line (after `vemo`) starts with a management word rather
// than a statement.
bool ismanagement(const std::string& text) {
  size_t after;
  std::string w = firstword(text, &after);
  if (w.empty() || !findsub(w)) return false;
  size_t p = text.find_first_not_of(' ', after);
  if (p == std::string::npos) return true;
  return !std::strchr("=([.'+-*/:,\\&|^<>!", text[p]);
}

}  // namespace

int vemo_start() {
  if (vst.started) return 0;
  vm_init();
  builtins();
  const char* leak = std::getenv("ZELTA_VEMO_LEAKCHECK");
  vst.debugleaks = leak && *leak == '1';
  vst.started = true;
  return 0;
}

void vemo_clear() {
  vm_clearall(vst.xdepth <= 1);
  vemo_closefiles();
}

void vemo_reset() {
  if (vst.started) vemo_clear();
  vofile_reset();
  vlib_reset();
  vm_reset();
  const VemoState fresh;
  vst.strict = fresh.strict;
  vst.lnum = fresh.lnum;
  vst.optimize = fresh.optimize;
  vst.favorspeed = fresh.favorspeed;
  vst.cache = fresh.cache;
  vst.vofirst = fresh.vofirst;
  vst.libs = fresh.libs;
  vst.version = fresh.version;
  vst.dispas = fresh.dispas;
}

void vemo_discard() {
  if (!vst.started) return;
  // run from inside Vemo (zelta("discard")), the functions in use stay
  vm_dropfcns(vst.xdepth == 0);
  vm_collect();
}

long vemo_liveobjects() { return vm.live; }

namespace {

int runline(CcSource& src) {
  for (;;) {
    size_t b = src.line.find_first_not_of(" \t", src.pos);
    if (b == std::string::npos) return 0;
    src.pos = b;
    // management lines inside Vemo
    if (src.line[b] == '#' || (!src.line.compare(b, 4, "vemo") && (b + 4 == src.line.size() || src.line[b + 4] == ' '))) {
      if (vst.nomanagement) return RC_UNRECOGNIZED;
      std::string text = src.line.substr(src.line[b] == '#' ? b + 1 : b + 4);
      src.pos = src.line.size();
      return management(text);
    }
    if (!src.line.compare(b, 4, "help") && (b + 4 == src.line.size() || src.line[b + 4] == ' ')) {
      if (vst.nomanagement) return RC_UNRECOGNIZED;
      src.pos = src.line.size();
      return execline(src.line.substr(b));
    }
    if (vm.clock >= 2147483645) vemo_clockreset();
    else ++vm.clock;
    Fcn* f = nullptr;
    int rc = cc_compile(src, &f);
    if (rc) return rc;
    if (f) {
      rc = ixeq(f);
      if (rc) return rc;
    }
    leakcheck(src.line);
  }
}

}  // namespace

int vemo_runline(CcSource& src) {
  const int rc = runline(src);
  vemo_enforcecache();
  return rc;
}

namespace {

// Session state saved around each `vemo` command so that they nest.
struct Session {
  int kind, delimit;
  const char* prompt;
  bool strict;
};

// Reports an error inside block mode: Break, or the code as a search link.
void blockerror(int rc) {
  int prev = setoutlev(OUT_ERROR);
  if (rc == 1) spoutsml("{hline 2}Break{hline 2}\n");
  else spoutsml(("{search r(" + std::to_string(rc) + "):r(" + std::to_string(rc) + ");}\n").c_str());
  setoutlev(prev);
}

int block(bool colon) {
  const bool fromfile = !interp.sources.empty();
  if (!fromfile) {
    int prev = setoutlev(OUT_TEXT);
    spoutsml("{hline 49} vemo (type {cmd:end} to exit) {hline}\n");
    setoutlev(prev);
  }
  std::string line;
  bool haspending = false;
  for (;;) {
    if (stopflag && colon) return 1;
    if (haspending) {
      haspending = false;
    } else if (nextrawline(line)) {
      // the source has echoed the prompt of the line it found missing: the
      // message starts on a line of its own (the echo's level decides both)
      int prev = setoutlev(OUT_TEXT);
      spout21("\n");
      setoutlev(OUT_ERROR);
      spout21("unexpected end of file (end statement missing)\n");
      setoutlev(prev);
      return RC_EOF;
    }
    if (firstword(line) == "end") break;
    CcSource src;
    src.line = line;
    src.lineno = std::max(1, srclineno());
    src.canmore = true;
    src.more = moreline;
    src.canpeek = fromfile;
    src.peek = peekline;
    int rc = vemo_runline(src);
    if (src.haspending) {
      line = src.pending;
      haspending = true;
    }
    if (rc == 0) continue;
    if (!colon) {
      if (rc == 612) return rc;
      blockerror(rc);
      stopflag = 0;
      continue;
    }
    // vemo: block: the first error ends it; the rest up to `end` is skipped
    int skipped = 0;
    std::string l2;
    while (!nextrawline(l2)) {
      if (firstword(l2) == "end") break;
      ++skipped;
    }
    if (skipped && out.s_outlev <= OUT_NOTE) {
      int prev = setoutlev(OUT_NOTE);
      spout21f("(%d line%s skipped)\n", skipped, skipped > 1 ? "s" : "");
      setoutlev(prev);
    }
    return rc;
  }
  int prev = setoutlev(OUT_TEXT);
  spoutsml("{hline}\n");
  setoutlev(prev);
  return 0;
}

int cmd_vemo(int) {
  if (int rc = vemo_start()) return rc;
  std::string text = wheretok() ? wheretok() : "";
  size_t p = text.find_first_not_of(' ');
  bool colon = false;
  if (p != std::string::npos && text[p] == ':') {
    colon = true;
    ++p;
  }
  text = p == std::string::npos ? "" : text.substr(p);
  const bool blockmode = text.find_first_not_of(' ') == std::string::npos;
  if (!colon && !blockmode && ismanagement(text)) return management(text);
  Session saved{vst.kind, interp.delimit, interp.prompt, vst.strict};
  vst.kind = blockmode ? (colon ? 4 : 2) : (colon ? 3 : 1);
  ++vst.xdepth;
  interp.delimit = 0;
  interp.prompt = ": ";
  int rc;
  if (blockmode) {
    rc = block(colon);
  } else {
    CcSource src;
    src.line = text;
    src.lineno = std::max(1, srclineno());
    src.canmore = !colon;
    src.more = moreline;
    rc = vemo_runline(src);
  }
  --vst.xdepth;
  vst.kind = saved.kind;
  interp.delimit = saved.delimit;
  interp.prompt = saved.prompt;
  vst.strict = saved.strict;
  if (vst.xdepth == 0) {
    vst.dispas = -1;
    mfreelist_clear();
  }
  return rc;
}

// Skipping a `vemo` block while lines are only scanned (a false `if`).
int scan_vemo(int) {
  std::string text = wheretok() ? wheretok() : "";
  size_t p = text.find_first_not_of(' ');
  if (p != std::string::npos && text[p] == ':') ++p;
  if (text.find_first_not_of(' ', p == std::string::npos ? text.size() : p) != std::string::npos) return 0;
  std::string line;
  while (!nextrawline(line))
    if (firstword(line) == "end") break;
  return 0;
}

int cmd_clear(int) {
  if (*peektok_chr()) return invalid(gettok(prsestd));
  vemo_start();
  vemo_clear();
  return 0;
}

// Glob-style match of a name against a pattern of * and ?.
bool match(const char* pat, const char* s) {
  if (!*pat) return !*s;
  if (*pat == '*') return match(pat + 1, s) || (*s && match(pat, s + 1));
  if (*pat == '?' || *pat == *s) return *s && match(pat + 1, s + 1);
  return false;
}

int cmd_describe(int) {
  vemo_start();
  std::vector<std::string> pats;
  while (*peektok_chr()) pats.push_back(gettok(" "));
  auto want = [&](const std::string& n) {
    if (pats.empty()) return true;
    for (const std::string& p : pats) {
      std::string q = p;
      bool fn = q.size() > 2 && q.compare(q.size() - 2, 2, "()") == 0;
      if (fn) q.resize(q.size() - 2);
      if (match(q.c_str(), n.c_str())) return true;
    }
    return false;
  };
  std::vector<std::string> lines;
  std::vector<std::string> gn, fn;
  for (auto& g : vm.globals) gn.push_back(g.first);
  for (auto& f : vm.fcns) fn.push_back(f.first);
  std::sort(gn.begin(), gn.end());
  std::sort(fn.begin(), fn.end());
  int prev = setoutlev(OUT_RESULT);
  spoutsml("\n      {txt}# bytes   type                        name and extent\n");
  spoutsml("{hline}\n");
  for (const std::string& n : fn) {
    if (!want(n)) continue;
    const Fcn* f = vm.fcns[n];
    std::string type = f->rettype == -1 ? "struct" : "function";
    spoutsml(("{res}" + std::string(13 - std::min<size_t>(12, std::to_string(f->code.size() * 4).size()), ' ') +
              std::to_string(f->code.size() * 4) + "   {txt}" + type + std::string(28 - type.size(), ' ') +
              "{res}" + n + "()\n")
                 .c_str());
  }
  for (const std::string& n : gn) {
    if (!want(n)) continue;
    const Mat* m = vm.globals[n];
    std::string type = std::string(etword(m->eltype)) + " " +
                       (m->isscalar() ? "scalar" : m->rows == 1 ? "rowvector" : m->cols == 1 ? "colvector" : "matrix");
    std::string bytes = std::to_string(m->size);
    std::string ext = m->isscalar() ? n : n + "[" + std::to_string(m->rows) + "," + std::to_string(m->cols) + "]";
    spoutsml(("{res}" + std::string(13 - std::min<size_t>(12, bytes.size()), ' ') + bytes + "   {txt}" + type +
              std::string(type.size() < 28 ? 28 - type.size() : 1, ' ') + "{res}" + ext + "\n")
                 .c_str());
  }
  spoutsml("{txt}{hline}\n");
  setoutlev(prev);
  return 0;
}

int cmd_drop(int) {
  vemo_start();
  std::vector<std::string> pats;
  while (*peektok_chr()) pats.push_back(gettok(" "));
  if (pats.empty()) return required("namelist");
  // objects only cycles keep alive must not make a definition look in use
  vm_collect();
  std::vector<std::string> gdrop, fdrop;
  std::vector<std::pair<std::string, bool>> matched;  // in order; true for a function
  for (const std::string& p : pats) {
    bool fn = p.size() > 2 && p.compare(p.size() - 2, 2, "()") == 0;
    std::string q = fn ? p.substr(0, p.size() - 2) : p;
    if (fn) {
      for (auto& f : vm.fcns)
        if (match(q.c_str(), f.first.c_str())) {
          matched.emplace_back(f.first, true);
          fdrop.push_back(f.first);
        }
    } else {
      for (auto& g : vm.globals)
        if (match(q.c_str(), g.first.c_str())) {
          matched.emplace_back(g.first, false);
          gdrop.push_back(g.first);
        }
    }
  }
  // a global is in use when something other than the names being dropped
  // (and what only they reach) refers to it
  std::vector<Mat*> cands;
  for (const std::string& n : gdrop) cands.push_back(vm.globals[n]);
  const std::vector<bool> gbusy = gc_inuse(cands);
  bool inuse = false;
  size_t gi = 0;
  for (const auto& [name, fn] : matched) {
    const bool busy = fn ? vm.fcns[name]->refcnt > 1 : gbusy[gi++];
    if (!busy) continue;
    int prev = setoutlev(OUT_ERROR);
    spout21f(fn ? "%s() in use\n" : "%s in use\n", name.c_str());
    setoutlev(prev);
    inuse = true;
  }
  if (inuse) {
    int prev = setoutlev(OUT_ERROR);
    spout21("(nothing dropped)\n");
    setoutlev(prev);
    return RC_INUSE;
  }
  for (const std::string& n : gdrop) {
    auto it = vm.globals.find(n);
    if (it == vm.globals.end()) continue;
    Mat* m = it->second;
    vm.globals.erase(it);
    mfree(m);
  }
  for (const std::string& n : fdrop) {
    auto it = vm.fcns.find(n);
    if (it == vm.fcns.end()) continue;
    Fcn* f = it->second;
    vm.fcns.erase(it);
    fcnrelease(f);
  }
  vm_collect();
  return 0;
}

int cmd_rename(int) {
  vemo_start();
  std::string a = gettok(" "), b = gettok(" ");
  if (a.empty() || b.empty()) return required("old and new names");
  if (*peektok_chr()) return invalid(gettok(" "));
  bool fa = a.size() > 2 && a.compare(a.size() - 2, 2, "()") == 0;
  bool fb = b.size() > 2 && b.compare(b.size() - 2, 2, "()") == 0;
  if (fa != fb) return invalid(b.c_str());
  if (fa) {
    a.resize(a.size() - 2);
    b.resize(b.size() - 2);
    auto it = vm.fcns.find(a);
    if (it == vm.fcns.end()) return errmsgf(RC_NOTFOUND, "%s%s not found\n", a.c_str(), "()");
    if (vm.fcns.count(b)) return errmsgf(RC_DEFINED, "%s%s already exists\n", b.c_str(), "()");
    if (it->second->refcnt > 1) return errmsgf(RC_INUSE, "%s%s in use\n", a.c_str(), "()");
    Fcn* f = it->second;
    vm.fcns.erase(it);
    f->name = b;
    vm.fcns[b] = f;
    return 0;
  }
  auto it = vm.globals.find(a);
  if (it == vm.globals.end()) return errmsgf(RC_NOTFOUND, "%s%s not found\n", a.c_str(), "");
  if (vm.globals.count(b)) return errmsgf(RC_DEFINED, "%s%s already exists\n", b.c_str(), "");
  if (it->second->refcnt > 1) return errmsgf(RC_INUSE, "%s%s in use\n", a.c_str(), "");
  Mat* m = it->second;
  vm.globals.erase(it);
  std::snprintf(m->name, sizeof m->name, "%s", b.c_str());
  vm.globals[b] = m;
  return 0;
}

int cmd_which(int) {
  vemo_start();
  std::string a = gettok(" ");
  if (a.empty()) return required("function name");
  if (a.size() > 2 && a.compare(a.size() - 2, 2, "()") == 0) a.resize(a.size() - 2);
  int prev = setoutlev(OUT_RESULT);
  if (builtin_find(a.c_str()) >= 0) {
    spout21f("  %s():  built-in\n", a.c_str());
    setoutlev(prev);
    return 0;
  }
  // an autoloaded function names its file; one defined here is in memory;
  // any other is looked for as the autoloader would, without loading it
  const Fcn* f = findfcn(a.c_str());
  const std::string where = f ? (f->autoloaded ? f->from : std::string()) : vo_where(a, nullptr);
  if (f || !where.empty()) {
    spout21f("  %s():  %s\n", a.c_str(), where.empty() ? "in memory" : where.c_str());
    setoutlev(prev);
    return 0;
  }
  setoutlev(prev);
  return errmsgf(RC_NOTFOUND, "function %s() not found\n", a.c_str());
}

int onoff(bool* flag) {
  std::string w = gettok(prsestd);
  if (w != "on" && w != "off") {
    int prev = setoutlev(OUT_ERROR);
    spout21f("%s invalid; must be on or off\n", w.empty() ? "nothing" : w.c_str());
    setoutlev(prev);
    return RC_SYNTAX;
  }
  std::string perm = gettok(prsestd);
  if (!perm.empty() && perm != ",") return invalid(perm.c_str());
  *flag = w == "on";
  return 0;
}

int set_strict(int) { return onoff(&vst.strict); }
int set_lnum(int) { return onoff(&vst.lnum); }
int set_vofirst(int) { return onoff(&vst.vofirst); }
int set_favor(int) {
  std::string w = gettok(prsestd);
  if (w != "space" && w != "speed") return errmsgf(RC_SYNTAX, "%s invalid; must be space or speed\n", w.empty() ? "nothing" : w.c_str());
  vst.favorspeed = w == "speed";
  return 0;
}
int set_cache(int) {
  std::string w = gettok(prsestd);
  char* e = nullptr;
  long k = w.empty() ? 0 : std::strtol(w.c_str(), &e, 10);
  if (w.empty() || *e || k < 10 || k > 1000) return errmsgf(RC_SYNTAX, "vemocache must be between 10 and 1000\n");
  vst.cache = static_cast<int>(k);
  return 0;
}
int set_libs(int) {
  std::string rest = wheretok() ? wheretok() : "";
  size_t b = rest.find_first_not_of(' ');
  rest = b == std::string::npos ? "" : rest.substr(b);
  if (rest.size() > 254) return errmsgf(RC_SYNTAX, "library list too long\n");
  vst.libs = rest;
  return 0;
}

}  // namespace

// The c() values of Vemo's `set` settings.
static void registercvals() {
  creg_add("vemostrict", [](CValue& v) { cval_str(v, cval_onoff(vst.strict)); });
  creg_add("vemovofirst", [](CValue& v) { cval_str(v, cval_onoff(vst.vofirst)); });
  creg_add("vemolnum", [](CValue& v) { cval_str(v, cval_onoff(vst.lnum)); });
  creg_add("vemooptimize", [](CValue& v) { cval_str(v, cval_onoff(vst.optimize)); });
  creg_add("vemofavor", [](CValue& v) { cval_str(v, vst.favorspeed ? "speed" : "space"); });
  creg_add("vemocache", [](CValue& v) { cval_str(v, std::to_string(vst.cache)); });
  creg_add("vemolibs", [](CValue& v) { cval_str(v, vst.libs.empty() ? std::string("base;math;stat;io;eispack") : vst.libs); });
}

void vemo_bindcommands() {
  registercvals();
  cmdbind("vemo", cmd_vemo);
  cmdbind_scan("vemo", scan_vemo);
  cmdbind("vemo_clear", cmd_clear);
  cmdbind("vemo_describe", cmd_describe);
  cmdbind("vemo_drop", cmd_drop);
  cmdbind("vemo_rename", cmd_rename);
  cmdbind("vemo_which", cmd_which);
  vofile_bindcommands();
  vemo_bindmemory();
  setbind("vemostrict", 10, set_strict);
  setbind("vemolnum", 8, set_lnum);
  setbind("vemofavor", 9, set_favor);
  setbind("vemocache", 9, set_cache);
  setbind("vemovofirst", 11, set_vofirst);
  setbind("vemolibs", 8, set_libs);
}
