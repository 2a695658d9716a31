// The program store: normalised stored lines, definition with `program ...
// end`, running a program at a new level (godo mode 3), the trace, listing
// and dropping, and the dispatch of unknown commands to stored programs and
// ado-files (autoload) along the ado-path.
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <vector>
#include <cstring>
#include <string>

#include <algorithm>

#include "data/store.h"
#include "interp/cmdtab.h"
#include "interp/hooks.h"
#include "interp/interp.h"
#include "interp/macro.h"
#include "interp/program.h"
#include "interp/tokenizer.h"
#include "output/errors.h"
#include "output/output.h"
#include "platform/platform.h"

ProgState prg;
CtlState ctl;

namespace {

constexpr int MAXLINES = 3501;        // stored lines per program
constexpr size_t MAXTEXT = 135600;    // stored bytes per program

int say(int lev, const std::string& s) {
  int prev = setoutlev(lev);
  spout21(s.c_str());
  setoutlev(prev);
  return 0;
}

}  // namespace

// Stores the line with its indentation in the first byte, blanks outside
// double quotes collapsed and the trailing blank removed.
int prog_addline(Program& p, const char* line) {
  if (p.nlines() >= MAXLINES) return error(RC_LIMIT);
  if (p.offs.empty()) p.offs.push_back(0);
  int indent = 0;
  while (*line == ' ') ++line, ++indent;
  if (indent > 255) indent = 255;
  std::string& t = p.text;
  t.push_back(static_cast<char>(indent));
  bool quoted = false, blank = false;
  for (const char* q = line; *q; ++q) {
    if (*q == '"') quoted = !quoted;
    if (*q == ' ' && !quoted) {
      blank = true;
      continue;
    }
    if (blank) t.push_back(' ');
    blank = false;
    t.push_back(*q);
  }
  t.push_back(0);
  p.offs.push_back(static_cast<uint32_t>(t.size()));
  if (t.size() > MAXTEXT) return error(RC_LIMIT);
  return 0;
}

int ProgSource::next(std::string& line) {
  if (!p || upline >= p->nlines()) return 1;
  const char* s = p->text.data() + p->offs[static_cast<size_t>(upline)];
  const size_t n = p->offs[static_cast<size_t>(upline) + 1] - p->offs[static_cast<size_t>(upline)] - 1;
  line.assign(s, n);
  line[0] = ' ';
  ++upline;
  if (interp.trace) trace_line(line, !interp.procflg);
  return 0;
}

// ---------------------------------------------------------------------------
// Trace.

namespace {
bool traced() { return interp.trace && prg.progdepth >= 1 && prg.progdepth <= prg.tracedepth; }

// Writes a trace text at level 1 even under quietly.
void traceout(const std::string& s) {
  const int saveds = out.s_outlev;
  if (out.s_outlev < 5) out.s_outlev = 0;
  int prev = setoutlev(OUT_NOTE);
  spout21(s.c_str());
  setoutlev(prev);
  out.s_outlev = saveds;
}

std::string traceprefix(bool expanded) {
  std::string s;
  if (prg.tracenumber) {
    char b[16];
    if (expanded) std::snprintf(b, sizeof b, "   ");
    else std::snprintf(b, sizeof b, "%02d ", prg.progdepth);
    s += b;
  }
  if (prg.traceindent) s.append(static_cast<size_t>(2 * (prg.progdepth - 1)), ' ');
  return s;
}

std::string hilite(const std::string& line) {
  if (prg.tracehilite.empty()) return line;
  std::string r;
  size_t i = 0;
  while (true) {
    size_t j = line.find(prg.tracehilite, i);
    if (j == std::string::npos) break;
    r.append(line, i, j - i);
    r += "{cmd:" + prg.tracehilite + "}";
    i = j + prg.tracehilite.size();
  }
  r.append(line, i, std::string::npos);
  return r;
}

void tracesep(const Program& p, bool begin) {
  if (!traced() || !prg.tracesep) return;
  std::string s;
  if (prg.traceindent) s.append(static_cast<size_t>(2 * (prg.progdepth - 1)), ' ');
  const int saveds = out.s_outlev;
  if (out.s_outlev < 5) out.s_outlev = 0;
  int prev = setoutlev(OUT_NOTE);
  spout21(s.c_str());
  spoutsmlf("{hline %d}", 2);
  spout21(((begin ? " begin " : " end ") + p.name + " ").c_str());
  spoutsml("{hline}\n");
  setoutlev(prev);
  out.s_outlev = saveds;
}
}  // namespace

void trace_line(const std::string& line, bool scanned) {
  if (!traced()) return;
  std::string s = traceprefix(false) + (scanned ? " " : "-") + line + "\n";
  if (prg.tracehilite.empty()) {
    traceout(s);
  } else {
    const int saveds = out.s_outlev;
    if (out.s_outlev < 5) out.s_outlev = 0;
    int prev = setoutlev(OUT_NOTE);
    std::string esc;
    for (char c : s) {
      if (c == '{') esc += "{c -(}";
      else if (c == '}') esc += "{c )-}";
      else esc.push_back(c);
    }
    spoutsml(hilite(esc).c_str());
    setoutlev(prev);
    out.s_outlev = saveds;
  }
}

void trace_expanded(const std::string& line) {
  if (!traced() || !prg.traceexpand) return;
  traceout(traceprefix(true) + "=" + line + "\n");
}

// ---------------------------------------------------------------------------
// Store.

std::shared_ptr<Program> pgmfind(const char* name, int kind) {
  if (kind & 1)
    if (ObjEntry* e = dmfind(name, OBJ_PROGRAM)) return e->prog;
  if (kind & 2)
    if (ObjEntry* e = dmfind(name, OBJ_PLUGIN)) return e->prog;
  return nullptr;
}

int pgmstore(std::shared_ptr<Program> p, int type) {
  if (dmfind(p->name.c_str(), OBJ_PROGRAM) || dmfind(p->name.c_str(), OBJ_PLUGIN)) {
    int prev = setoutlev(OUT_ERROR);
    spout21f("%s already defined\n", p->name.c_str());
    setoutlev(prev);
    return RC_DEFINED;
  }
  ObjEntry* e = dmmake(p->name.c_str(), type);
  if (!e) return error(RC_NOMEM);
  e->prog = std::move(p);
  return 0;
}

void pgmkill(const char* name) {
  dmremove(dmfind(name, OBJ_PROGRAM));
  dmremove(dmfind(name, OBJ_PLUGIN));
}

// ---------------------------------------------------------------------------
// Running.

int prog_run(const std::shared_ptr<Program>& p, const char* args) {
  if (interp.zelta_level > 63) return error(RC_LIMIT);
  ProgSource src;
  src.p = p;
  const int savedversion = interp.version;
  const int saveds = out.s_outlev, savedls = out.ls_outlev;
  const bool savedrunprog = interp.runprog, savedproc = interp.procflg;
  const CtlState savedctl = ctl;
  const std::string* savedfe = mac.felist;
  const size_t savedfepos = mac.fepos;
  ctl.breakallowed = false;
  ctl.breakdetail = 0;
  locals_enter(args);
  TempMark mark;
  temps_enter(mark);
  out.ls_outlev = out.s_outlev;
  level_enter_hook();
  if (progclass.enter) progclass.enter(p->rclass);
  interp.version = p->version;
  interp.runprog = true;
  interp.procflg = true;
  ++prg.progdepth;
  // sortpreserve: the order of the observations and the sort list come
  // back afterwards
  std::vector<int> savedsrt;
  const bool keeporder = p->sortpreserve && ds.nobs > 0;
  size_t ordermark = 0;
  if (keeporder) {
    ordermark = ds_ordermark();
    savedsrt = ds.srtlist;
  }
  tracesep(*p, true);
  bool exited;
  int rc = runsource(src, true, &exited);
  tracesep(*p, false);
  if (keeporder && ds_orderrestore(ordermark)) ds.srtlist = savedsrt;
  --prg.progdepth;
  interp.runprog = savedrunprog;
  interp.procflg = savedproc;
  if (progclass.leave) progclass.leave(p->rclass, rc);
  level_leave_hook();
  temps_leave(mark);
  locals_leave();
  ctl = savedctl;
  mac.felist = savedfe;
  mac.fepos = savedfepos;
  interp.version = savedversion;
  out.s_outlev = saveds;
  out.ls_outlev = savedls;
  return rc;
}

// A loop typed at the console or in a do-file runs as a program in the
// caller's level: same locals, same temporaries.
int prog_runtemp(const std::shared_ptr<Program>& p) {
  ProgSource src;
  src.p = p;
  const bool savedrunprog = interp.runprog;
  interp.runprog = true;
  bool exited;
  int rc = runsource(src, true, &exited);
  interp.runprog = savedrunprog;
  // `exit` inside the loop ends the level around it
  if (exited) interp.exitflg = true;
  return rc;
}

// ---------------------------------------------------------------------------
// System directories and the ado-path.

namespace {

std::string homeexpand(const std::string& d) {
  if (!d.empty() && d[0] == '~') {
    const char* h = std::getenv("HOME");
    return std::string(h ? h : "") + d.substr(1);
  }
  return d;
}

struct SysDirs {
  std::string updates, base, site, plus = "~/ado/plus/", personal = "~/ado/personal/", oldplace = "~/ado/";
  bool set_updates = false, set_base = false, set_site = false;
};
SysDirs sysdirs;

bool fileexists(const std::string& f) {
  struct stat st;
  return ::stat(f.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

std::string sysdir_get(const std::string& cw) {
  if (cw == "ZELTA") return interp.sysdir;
  if (cw == "UPDATES") return sysdirs.set_updates ? sysdirs.updates : interp.sysdir + "ado/updates/";
  if (cw == "BASE") return sysdirs.set_base ? sysdirs.base : interp.sysdir + "ado/base/";
  if (cw == "SITE") return sysdirs.set_site ? sysdirs.site : interp.sysdir + "ado/site/";
  if (cw == "PLUS") return sysdirs.plus;
  if (cw == "PERSONAL") return sysdirs.personal;
  if (cw == "OLDPLACE") return sysdirs.oldplace;
  return "";
}

// Sets a system directory; 0 or 198 with the message.
int sysdir_set(const std::string& cw, std::string path) {
  if (cw == "ZELTA") {
    say(OUT_ERROR, "may not reset ZELTA directory\n");
    return RC_SYNTAX;
  }
  if (path.size() > 126) return error(RC_SYNTAX);
  if (!path.empty() && path.back() != '/') path += '/';
  if (cw == "UPDATES") sysdirs.updates = path, sysdirs.set_updates = true;
  else if (cw == "BASE") sysdirs.base = path, sysdirs.set_base = true;
  else if (cw == "SITE") sysdirs.site = path, sysdirs.set_site = true;
  else if (cw == "PLUS") sysdirs.plus = path;
  else if (cw == "PERSONAL") sysdirs.personal = path;
  else if (cw == "OLDPLACE") sysdirs.oldplace = path;
  else {
    say(OUT_ERROR, cw + " invalid system directory codeword\n");
    return RC_SYNTAX;
  }
  return 0;
}

// The directories of the ado-path in order.
std::vector<std::string> adopath_dirs() {
  const std::string* sp = macget_global("S_ADO");
  std::string s = sp ? *sp : "UPDATES;BASE;SITE;.;PERSONAL;PLUS;OLDPLACE";
  if (s.size() > 5400) s.resize(5400);
  std::vector<std::string> dirs;
  size_t i = 0;
  while (i <= s.size()) {
    size_t j = s.find(';', i);
    if (j == std::string::npos) j = s.size();
    std::string el = s.substr(i, j - i);
    size_t a = el.find_first_not_of(' '), b = el.find_last_not_of(' ');
    el = a == std::string::npos ? "" : el.substr(a, b - a + 1);
    if (el.size() >= 4 && el.compare(0, 2, "`\"") == 0 && el.compare(el.size() - 2, 2, "\"'") == 0)
      el = el.substr(2, el.size() - 4);
    else if (el.size() >= 2 && el.front() == '"' && el.back() == '"')
      el = el.substr(1, el.size() - 2);
    if (!el.empty()) {
      std::string d = sysdir_get(el);
      if (d.empty()) {
        if (el == ".") d = "./";
        else d = el;
      }
      d = homeexpand(d);
      if (!d.empty() && d.back() != '/') d += '/';
      dirs.push_back(d);
    }
    i = j + 1;
  }
  return dirs;
}

std::string srchado(const char* name, const char* ext, int n) {
  const std::string file = std::string(name) + (ext && *ext ? std::string(".") + ext : "");
  for (const std::string& d : adopath_dirs()) {
    std::string c1 = d + file;
    if (fileexists(c1) && --n == 0) return c1;
    std::string c2 = d + file.substr(0, 1) + "/" + file;
    if (fileexists(c2) && --n == 0) return c2;
  }
  return "";
}

// ---------------------------------------------------------------------------
// Dispatch of unknown commands.

namespace {

bool validcmdname(const std::string& s) {
  if (s.empty() || s.size() > 32) return false;
  if (!(std::isalpha(static_cast<unsigned char>(s[0])) || s[0] == '_')) return false;
  for (char c : s)
    if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_')) return false;
  return true;
}

int unrecognized(const std::string& name, const std::string& tail) {
  int prev = setoutlev(OUT_ERROR);
  spout21(("unrecognized command:  " + name + tail + "\n").c_str());
  setoutlev(prev);
  return RC_UNRECOGNIZED;
}

// Runs name.ado from the ado-path; 0 when it defined `name`.
int autoload(const std::string& name) {
  if (!validcmdname(name)) return unrecognized(name, " invalid command name");
  std::string path = srchado(name.c_str(), "ado", 1);
  if (path.empty()) return unrecognized(name, "");
  const int stamp = ++prg.loadstamp;
  const int savedauto = prg.autoloading;
  prg.autoloading = stamp;
  const std::string savedcmd = interp.cmd;
  const int savedby = cmd_bylevel;  // the file's lines clear it
  int rc = execline("run `\"" + path + "\"'");
  cmd_bylevel = savedby;
  interp.cmd = savedcmd;
  prg.autoloading = savedauto;
  if (rc) {
    say(OUT_COMMAND, "(error occurred while loading " + name + ".ado)\n");
    std::vector<std::string> kill;
    for (ObjEntry* e = dmfirst(OBJ_PROGRAM); e; e = e->tnext)
      if (e->prog && e->prog->autoload == stamp) kill.push_back(e->name);
    for (auto& k : kill) pgmkill(k.c_str());
    return rc;
  }
  if (!pgmfind(name.c_str(), 3)) return unrecognized(name, " not defined by " + name + ".ado");
  return 0;
}

// Ado commands that take abbreviations, as built-in commands do.
struct AdoAbbrev {
  std::string name;  // full name of the command
  int min;           // shortest abbreviation
};
std::vector<AdoAbbrev>& adoabbrevs() {
  static std::vector<AdoAbbrev> t;
  return t;
}

// The command a word not defined as a program names: itself when an
// ado-file of that name exists, else the ado command it abbreviates.
std::string adounab(const std::string& word) {
  if (pgmfind(word.c_str(), 3) || !validcmdname(word) || !srchado(word.c_str(), "ado", 1).empty()) return word;
  for (const AdoAbbrev& a : adoabbrevs())
    if (cmdcmp(word.c_str(), a.name.c_str(), a.min)) return a.name;
  return word;
}

}  // namespace

void adoabbrev(const char* name, int min) { adoabbrevs().push_back({name, min}); }

std::shared_ptr<Program> pgmfind_load(const std::string& word, int* rc) {
  const std::string cmd = adounab(word);
  std::shared_ptr<Program> p = pgmfind(cmd.c_str(), 3);
  *rc = 0;
  if (p) return p;
  if ((*rc = autoload(cmd))) return nullptr;
  return pgmfind(cmd.c_str(), 3);
}

int prog_dispatch(const std::string& word) {
  const std::string cmd = adounab(word);
  std::shared_ptr<Program> p = pgmfind(cmd.c_str(), 3);
  if (!p) {
    std::string args = wheretok();
    if (int rc = autoload(cmd)) return rc;
    p = pgmfind(cmd.c_str(), 3);
    if (!p->plugin.empty()) return error(RC_UNRECOGNIZED);
    return prog_run(p, args.c_str());
  }
  if (!p->plugin.empty()) {
    say(OUT_ERROR, "plugin " + p->name + " could not be loaded\n");
    return RC_UNRECOGNIZED;
  }
  std::string args = wheretok();
  return prog_run(p, args.c_str());
}

void prog_reset() {
  dmzap(OBJ_PROGRAM);
  dmzap(OBJ_PLUGIN);
  prg = ProgState{};
  ctl = CtlState{};
  sysdirs = SysDirs{};
}

void interp_reset() {
  plugin_reset();
  temp_reset();
  prog_reset();
  dmreset();
  cmd_bylevel = 0;
  parse_reset();
  const InterpState fresh;
  interp.cmd.clear();
  interp.globalrc = fresh.globalrc;
  interp.captrc = fresh.captrc;
  interp.procflg = fresh.procflg;
  interp.delimit = fresh.delimit;
  interp.exitflg = fresh.exitflg;
  interp.gexitflg = fresh.gexitflg;
  interp.zelta_rmsg = fresh.zelta_rmsg;
  interp.rmsgtime = fresh.rmsgtime;
  interp.sysclock = fresh.sysclock;
  interp.version = fresh.version;
  interp.matsize = fresh.matsize;
  interp.trace = fresh.trace;
}
