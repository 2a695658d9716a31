// The commands of the program layer: `program` (define, dir, list, drop),
// `discard`, `which`, `version` (and the `version #:` prefix), `sysdir`, and
// the `set trace...` and `set adosize` settings.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "graphics/graphics.h"
#include "interp/cmdtab.h"
#include "interp/interp.h"
#include "interp/macro.h"
#include "interp/program.h"
#include "interp/tokenizer.h"
#include "output/errors.h"
#include "output/output.h"
#include "platform/platform.h"
#include "results/results.h"
#include "vemo/vemo.h"

namespace {

int say(int lev, const std::string& s) {
  int prev = setoutlev(lev);
  spout21(s.c_str());
  setoutlev(prev);
  return 0;
}

bool isname(const std::string& s, size_t maxlen) {
  if (s.empty() || s.size() > maxlen) return false;
  if (!(std::isalpha(static_cast<unsigned char>(s[0])) || s[0] == '_')) return false;
  for (char c : s)
    if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_')) return false;
  return true;
}

std::string firstword(const std::string& line) {
  size_t a = line.find_first_not_of(' ');
  if (a == std::string::npos) return "";
  size_t b = line.find(' ', a);
  return line.substr(a, b == std::string::npos ? std::string::npos : b - a);
}

// program [define] name [, options] ... end
int pgmdefine(const std::string& name) {
  if (!isname(name, 32)) return error2(0, name.c_str());
  if (pgmfind(name.c_str(), 3)) return errmsgf(RC_DEFINED, "%s already defined\n", name.c_str());
  auto p = std::make_shared<Program>();
  p->name = name;
  p->version = interp.version;
  p->defstamp = interp.sysclock;
  p->autoload = prg.autoloading;
  if (peektok_chr()[0] == ',') {
    gettok(prsestd);
    ParseResult pr;
    if (int rc = proption(pr)) return rc;
    if (findopt(pr, "rclass", 1, 0) || findopt(pr, "return", 6, 0)) p->rclass = 1;
    if (findopt(pr, "sclass", 1, 0)) p->rclass = 2;
    if (findopt(pr, "eclass", 1, 0)) p->rclass = 3;
    if (findopt(pr, "nclass", 1, 0)) p->rclass = 0;
    if (findopt(pr, "sortpreserve", 4, 0)) p->sortpreserve = true;
    std::string arg;
    if (findargasis(pr, "byable", 3, arg, 200)) {
      std::string a = arg;
      size_t c = a.find(',');
      std::string kind = firstword(a.substr(0, c));
      std::string hdr = c == std::string::npos ? "" : firstword(a.substr(c + 1));
      if (kind == "onecall") p->byable = 1;
      else if (kind == "recall") p->byable = hdr == "noheader" ? 3 : 2;
      else return errmsgf(RC_SYNTAX, "option byable() invalid\n");
    }
    if (findargn(pr, "properties", 4, arg, 2000, 200)) p->props = arg;
    if (findopt(pr, "plugin", 6, 0)) {
      std::string fn;
      if (findusg(pr, 5, fn, false)) p->plugin = fn;
      else p->plugin = name + ".plugin";
    }
    if (int rc = chkopt(pr)) return rc;
  } else if (*peektok_chr()) {
    return errmsgf(RC_SYNTAX, "'%s' invalid\n", gettok(prsestd));
  }
  if (!p->plugin.empty()) {
    if (int rc = pgmstore(p, OBJ_PLUGIN)) return rc;
    if (int rc = plugin_load(name, p->plugin)) {
      pgmkill(name.c_str());
      return rc;
    }
    return 0;
  }
  const bool atconsole = interp.sources.empty();
  std::string line;
  for (int n = 1;; ++n) {
    // At the console a Ctrl-C between two lines drops only the next one,
    // as one typed on it does (the console tells which Break is which).
    if (stopflag && !atconsole) return 1;
    // At the console the line number is the prompt, so that the line editor
    // shows it again after a Ctrl-C and the logs echo it with the line.
    char numbered[16];
    const char* saved = interp.prompt;
    if (atconsole && out.s_outlev <= OUT_NOTE) {
      std::snprintf(numbered, sizeof numbered, "%3d. ", n);
      interp.prompt = numbered;
    }
    const int r = nextrawline(line);
    interp.prompt = saved;
    if (r) return error(RC_EOF);
    if (firstword(line) == "end") break;
    const char* q = line.c_str();
    while (*q == ' ') ++q;
    if (!*q || *q == '*') {
      --n;
      continue;
    }
    if (int rc = prog_addline(*p, line.c_str())) return rc;
  }
  return pgmstore(p, OBJ_PROGRAM);
}

std::vector<std::shared_ptr<Program>> allprograms(int type) {
  std::vector<std::shared_ptr<Program>> v;
  for (ObjEntry* e = dmfirst(type); e; e = e->tnext)
    if (e->prog) v.insert(v.begin(), e->prog);
  return v;
}

void pgmlist1(const Program& p) {
  int prev = setoutlev(OUT_RESULT);
  newline();
  std::string h = p.name;
  if (p.rclass == 1) h += ", rclass";
  else if (p.rclass == 2) h += ", sclass";
  else if (p.rclass == 3) h += ", eclass";
  spout21((h + ":\n").c_str());
  for (int i = 0; i < p.nlines(); ++i) {
    const char* s = p.text.data() + p.offs[static_cast<size_t>(i)];
    spout21f("%3d. ", i + 1);
    dupblnk(static_cast<unsigned char>(s[0]));
    spout21(s + 1);
    newline();
  }
  setoutlev(prev);
}

int pgmdir() {
  int prev = setoutlev(OUT_RESULT);
  long total = 0;
  auto progs = allprograms(OBJ_PROGRAM);
  for (auto& p : progs) {
    const char* origin = p->autoload ? "ado" : (!p->cls.empty() ? "class" : "");
    spout21f("%5s %8d  %s\n", origin, static_cast<int>(p->bytes()), p->name.c_str());
    total += static_cast<long>(p->bytes());
  }
  if (!progs.empty()) {
    spoutsml("      {hline 8}\n");
    spout21f("      %8ld\n", total);
  }
  auto plugs = allprograms(OBJ_PLUGIN);
  if (!plugs.empty()) {
    newline();
    for (auto& p : plugs) spout21f("%-17s     |%s|\n", p->name.c_str(), p->plugin.c_str());
  }
  setoutlev(prev);
  return 0;
}

int cmd_program(int) {
  std::string w = gettok(prsestd);
  if (w.empty()) return required("program name");
  if (cmdcmp(w.c_str(), "define", 2)) {
    std::string name = gettok(prsestd);
    if (name.empty()) return required("program name");
    return pgmdefine(name);
  }
  if (cmdcmp(w.c_str(), "dir", 2)) {
    if (*peektok_chr()) return errmsgf(RC_SYNTAX, "'%s' invalid\n", gettok(prsestd));
    return pgmdir();
  }
  if (cmdcmp(w.c_str(), "list", 1)) {
    std::vector<std::string> names;
    for (std::string t = gettok(prsestd); !t.empty(); t = gettok(prsestd)) names.push_back(t);
    if (names.empty() || (names.size() == 1 && names[0] == "_all")) {
      for (auto& p : allprograms(OBJ_PROGRAM)) pgmlist1(*p);
      return 0;
    }
    for (auto& n : names) {
      auto p = pgmfind(n.c_str(), 1);
      if (!p) return errmsgf(RC_NOTFOUND, "program %s not found\n", n.c_str());
      pgmlist1(*p);
    }
    return 0;
  }
  if (w == "drop") {
    std::vector<std::string> names;
    for (std::string t = gettok(prsestd); !t.empty(); t = gettok(prsestd)) names.push_back(t);
    if (names.empty()) return required("program name");
    if (names.size() == 1 && names[0] == "_all") {
      for (auto& p : allprograms(OBJ_PROGRAM))
        if (p->cls.empty()) pgmkill(p->name.c_str());
      for (auto& p : allprograms(OBJ_PLUGIN)) pgmkill(p->name.c_str());
      return 0;
    }
    for (auto& n : names)
      if (!pgmfind(n.c_str(), 3)) return errmsgf(RC_NOTFOUND, "program %s not found\n", n.c_str());
    for (auto& n : names) pgmkill(n.c_str());
    return 0;
  }
  return pgmdefine(w);
}

// discard: drops the autoloaded programs (they load again on next use), the
// graph series, the estimation and saved results, and Vemo's compiled code.
int cmd_discard(int) {
  if (*peektok_chr()) return errmsgf(RC_SYNTAX, "'%s' invalid\n", gettok(prsestd));
  for (auto& p : allprograms(OBJ_PROGRAM))
    if (p->autoload) pgmkill(p->name.c_str());
  serset_clearall();
  estval_clear();
  retval_clear();
  sretval_clear();
  vemo_discard();
  return 0;
}

// ---------------------------------------------------------------------------

bool knowntype(const std::string& ext) {
  static const char* const types[] = {"ado", "do", "dlg", "idlg", "hlp", "ihlp", "zmcl", "class",
                                      "vo", "vlib", "scheme", "style", "key", "maint", "pkg", "toc",
                                      "dta", "mnu", "gph", "dct", "raw", "menu", "plugin"};
  for (const char* t : types)
    if (ext == t) return true;
  return false;
}

void versionlines(const std::string& path) {
  std::ifstream f(path);
  std::string l;
  while (std::getline(f, l)) {
    if (l.compare(0, 2, "*!") != 0) break;
    say(OUT_RESULT, l + "\n");
  }
}

// which name [, all]
int cmd_which(int) {
  std::string name = gettok(prsefls);
  if (name.empty() || name == ",") return required("command name");
  if (name[0] == '"') name.erase(0, 1);
  ParseResult pr;
  if (int rc = lang_options(pr, nullptr)) return rc;
  const bool all = findopt(pr, "all", 3, 0);
  if (int rc = chkopt(pr)) return rc;
  std::string base = name, ext = "ado";
  size_t dot = name.rfind('.');
  bool suffixed = dot != std::string::npos;
  if (suffixed) {
    base = name.substr(0, dot);
    ext = name.substr(dot + 1);
    if (!knowntype(ext)) return errmsgf(RC_FILEFORMAT, "file %s not Zelta filetype\n", name.c_str());
  }
  bool found = false;
  if (!suffixed) {
    if (const char* b = findbuiltin(name.c_str())) {
      // a name of the table that this build has no handler for runs nothing
      if (!cmdbound(b)) return errmsgf(RC_UNRECOGNIZED, "%s:  command not available in this build\n", b);
      say(OUT_RESULT, std::string("built-in command:  ") + b + "\n");
      found = true;
      if (!all) return 0;
    }
  }
  for (int n = 1;; ++n) {
    std::string path = srchado(base.c_str(), ext.c_str(), n);
    if (path.empty()) break;
    say(OUT_RESULT, path + "\n");
    versionlines(path);
    found = true;
    if (!all) break;
  }
  if (!found) {
    if (suffixed) return errmsgf(RC_FILENOTFOUND, "file %s not found\n", name.c_str());
    return errmsgf(RC_NOTFOUND, "command %s not found as either built-in or ado-file\n", name.c_str());
  }
  return 0;
}

// ---------------------------------------------------------------------------
// version

std::string vertext(int v) {
  char b[32];
  if (v % 100 == 0) std::snprintf(b, sizeof b, "%d", v / 100);
  else if (v % 10 == 0) std::snprintf(b, sizeof b, "%d.%d", v / 100, (v % 100) / 10);
  else std::snprintf(b, sizeof b, "%d.%02d", v / 100, v % 100);
  return b;
}

// Reads a version number token; -1 when it is not a number.
int readversion(const std::string& t) {
  char* e;
  double d = std::strtod(t.c_str(), &e);
  if (t.empty() || *e || d < 0) return -1;
  return static_cast<int>(d * 100 + 0.5);
}

int toonew(const std::string& t, int v) {
  errmsgf(RC_REJECTED, "this is version 9.2 of Zelta; it cannot run version %s programs\n", t.c_str());
  if (v / 100 == 9) {
    int prev = setoutlev(OUT_ERROR);
    spout21("A free update");
    spout21(" to version\n");
    spout21((vertext(v) + " is available; type ").c_str());
    spoutsml("{zelta update}");
    spout21(" and follow\n");
    spout21("the instructions, or visit\n");
    spout21("the Zelta updates page\n");
    setoutlev(prev);
  }
  return 9;
}

// born(ddmonyyyy): later than the build date needs a newer executable.
int checkborn(const std::string& d) {
  static const char* const mon[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                    "jul", "aug", "sep", "oct", "nov", "dec"};
  int day = 0, year = 0, m = -1;
  char ms[8] = {0};
  if (std::sscanf(d.c_str(), "%d%3[A-Za-z]%d", &day, ms, &year) != 3) return errmsgf(RC_SYNTAX, "%s invalid date\n", d.c_str());
  for (char* q = ms; *q; ++q) *q = static_cast<char>(std::tolower(static_cast<unsigned char>(*q)));
  for (int i = 0; i < 12; ++i)
    if (!std::strcmp(ms, mon[i])) m = i;
  if (m < 0 || day < 1 || day > 31) return errmsgf(RC_SYNTAX, "%s invalid date\n", d.c_str());
  const long given = year * 10000L + (m + 1) * 100L + day;
  const long build = 20261201L;
  if (given > build) return errmsgf(RC_SYNTAX, "you must update the Zelta executable to run this program\n");
  return 0;
}

int cmd_version(int) {
  const char* p = peektok_chr();
  if (!*p) {
    int prev = setoutlev(OUT_RESULT);
    spout21(("version " + vertext(interp.version) + "\n").c_str());
    setoutlev(prev);
    return 0;
  }
  std::string t = gettok(prseopt);
  std::string num = t;
  // the number may be followed by a `.` part read as separate tokens
  int v = readversion(num);
  if (v < 0) {
    if (!interp.procflg) return 0;
    return errmsgf(RC_SYNTAX, "'%s' invalid\n", t.c_str());
  }
  if (peektok_chr()[0] == ',') {
    gettok(prsestd);
    ParseResult pr;
    if (int rc = proption(pr)) return rc;
    std::string d;
    if (findargasis(pr, "born", 4, d, 64))
      if (int rc = checkborn(d)) return rc;
    if (int rc = chkopt(pr)) return rc;
  }
  const bool colon = peektok_chr()[0] == ':';
  if (interp.procflg && v > 920) return toonew(num, v);
  if (interp.procflg && v < 100) return errmsgf(RC_SYNTAX, "'%s' invalid\n", t.c_str());
  if (!colon) {
    if (*peektok_chr()) {
      if (!interp.procflg) return 0;
      return errmsgf(RC_SYNTAX, "'%s' invalid\n", gettok(prsestd));
    }
    if (interp.procflg) interp.version = v;
    return 0;
  }
  gettok(prsestd);  // the colon
  const int saved = interp.version;
  if (interp.procflg) interp.version = v;
  interp.cmd = gettok(prsestd);
  int rc = selreq();
  interp.version = saved;
  return rc;
}

// ---------------------------------------------------------------------------
// sysdir

int cmd_sysdir(int) {
  std::string w = gettok(prsestd);
  if (w.empty() || cmdcmp(w.c_str(), "list", 1)) {
    if (*peektok_chr()) return errmsgf(RC_SYNTAX, "'%s' invalid\n", gettok(prsestd));
    static const char* const cws[] = {"ZELTA", "UPDATES", "BASE", "SITE", "PLUS", "PERSONAL", "OLDPLACE"};
    int prev = setoutlev(OUT_RESULT);
    for (const char* c : cws) spout21f("%9s:  %s\n", c, sysdir_get(c).c_str());
    setoutlev(prev);
    return 0;
  }
  if (w == "set") {
    std::string cw = gettok(prsestd);
    if (cw.empty()) return required("codeword");
    std::string path;
    if (gettokfn(path)) return required("directory name");
    if (*peektok_chr()) return errmsgf(RC_SYNTAX, "'%s' invalid\n", gettok(prsestd));
    return sysdir_set(cw, path);
  }
  return errmsgf(RC_SYNTAX, "'%s' invalid\n", w.c_str());
}

// ---------------------------------------------------------------------------
// set trace...

int onoff(bool& flag) {
  std::string w = gettok(prsestd);
  if (w == "on") flag = true;
  else if (w == "off") flag = false;
  else return errmsgf(RC_SYNTAX, "%s invalid; must be on or off\n", w.empty() ? "nothing" : w.c_str());
  return 0;
}

int set_trace(int mode) {
  switch (mode) {
    case 0: return onoff(interp.trace);
    case 1: {
      std::string w = gettok(prsestd);
      char* e;
      long n = std::strtol(w.c_str(), &e, 10);
      if (w.empty() || *e || n < 1 || n > 32000)
        return errmsgf(RC_SYNTAX, "-set tracedepth- must be between 1 and 32000\n");
      prg.tracedepth = static_cast<int>(n);
      return 0;
    }
    case 2: return onoff(prg.traceexpand);
    case 3: return onoff(prg.tracesep);
    case 4: return onoff(prg.traceindent);
    case 5: return onoff(prg.tracenumber);
    case 6: {
      const char* p = peektok_chr();
      const char *s, *e, *a;
      if (!parse_quoted_string(p, &s, &e, &a)) prg.tracehilite.assign(s, e);
      else prg.tracehilite = gettok(prsestd);
      return 0;
    }
    case 7: {
      std::string w = gettok(prsestd);
      char* e;
      long n = std::strtol(w.c_str(), &e, 10);
      if (w.empty() || *e || n < 10 || n > 10000) return errmsgf(RC_SYNTAX, "adosize must be between 10 and 10000\n");
      prg.adosize = static_cast<int>(n);
      return 0;
    }
  }
  return 0;
}

}  // namespace

int lang_options(ParseResult& pr, std::string* rest) {
  if (rest) {
    rest->clear();
    const char* p = wheretok();
    int open;
    while (*p) {
      if (p[0] == '`' && p[1] == '"') p = pcompoundquotes(p, &open);
      else if (*p == '"') p = psimplequotes(p, &open);
      else if (*p == ',') break;
      else ++p;
    }
    rest->assign(wheretok(), p);
    settok(p);
  }
  if (peektok_chr()[0] == ',') {
    gettok(prsestd);
    return proption(pr);
  }
  if (*peektok_chr()) return errmsgf(RC_SYNTAX, "'%s' invalid\n", gettok(prsestd));
  return 0;
}

void prog_bindcommands() {
  cmdbind("program", cmd_program);
  cmdbind("discard", cmd_discard);
  cmdbind("which", cmd_which);
  cmdbind("version", cmd_version);
  cmdbind_scan("version", cmd_version);
  cmdbind("sysdir", cmd_sysdir);
  setbind("trace", 5, set_trace, 0);
  setbind("tracedepth", 6, set_trace, 1);
  setbind("traceexpand", 6, set_trace, 2);
  setbind("tracesep", 6, set_trace, 3);
  setbind("traceindent", 6, set_trace, 4);
  setbind("tracenumber", 6, set_trace, 5);
  setbind("tracehilite", 6, set_trace, 6);
  setbind("adosize", 3, set_trace, 7);
  if (!macget_global("S_ADO")) macset_global("S_ADO", "UPDATES;BASE;SITE;.;PERSONAL;PLUS;OLDPLACE");
}
