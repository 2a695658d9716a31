// The read-only c() values: one table row per name, in the order and under
// the headings `creturn list` prints them. Values the subsystems own (the
// dataset, the interpreter, the output channel, Vemo, the generator) come
// from the getters their owners registered (output/creg.h); the rows here
// compute only c()'s own values: constants, the clock, the machine, and the
// settings kept in `cset`.
#include <sys/utsname.h>
#include <unistd.h>

#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "interp/cmdtab.h"
#include "interp/macro.h"
#include "interp/tokenizer.h"
#include "output/creg.h"
#include "output/errors.h"
#include "output/output.h"
#include "platform/zassert.h"
#include "results/results.h"
#include "results/resint.h"

namespace {

// A row: the listing group, the name and how to compute it (nullptr: the
// getter its owner registered).
struct CRow {
  const char* group;
  const char* name;
  CGetter fn;
};

void num(CValue& v, double d) { cval_num(v, d); }
void str(CValue& v, std::string s) { cval_str(v, std::move(s)); }

std::string timefmt(const char* f) {
  std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  char b[64];
  std::strftime(b, sizeof b, f, &tm);
  return b;
}

std::string curdate() {
  std::string s = timefmt("%d %b %Y");
  if (s[0] == '0') s[0] = ' ';
  if (s[0] == ' ') s.erase(0, 1);
  return s;
}

std::string uname_field(int k) {
  struct utsname u{};
  if (uname(&u) != 0) return "";
  return k == 0 ? u.release : u.machine;
}

std::string pwd() {
  char b[4096];
  if (!getcwd(b, sizeof b)) return "";
  std::string s(b);
  if (s.empty() || s.back() != '/') s += '/';
  return s;
}

// A setting kept in the `set` table: a number or a word.
void qget(CValue& v, const char* name) {
  std::string t;
  bool isnum = false;
  if (!setq_value(name, t, isnum)) return str(v, "");
  if (isnum) num(v, std::atof(t.c_str()));
  else str(v, t);
}

#define N(g, n, e) {g, n, [](CValue& v) { num(v, (e)); }}
#define Q(g, n) {g, n, [](CValue& v) { qget(v, n); }}
#define S(g, n, e) {g, n, [](CValue& v) { str(v, (e)); }}
#define R(g, n) {g, n, nullptr}

const char* const GSYS = "System values";
const char* const GDIR = "Directories and paths";
const char* const GLIM = "System limits";
const char* const GNUM = "Numerical and string limits";
const char* const GDS = "Current dataset";
const char* const GMEM = "Memory settings";
const char* const GOUT = "Output settings";
const char* const GUI = "Interface settings";
const char* const GGR = "Graphics settings";
const char* const GEFF = "Efficiency settings";
const char* const GNET = "Network settings";
const char* const GUPD = "Update settings";
const char* const GTR = "Trace (program debugging) settings";
const char* const GVEMO = "Vemo settings";
const char* const GOTH = "Other settings";

const CRow rows[] = {
    S(GSYS, "current_date", curdate()),
    S(GSYS, "current_time", timefmt("%H:%M:%S")),
    R(GSYS, "version"),
    N(GSYS, "zelta_version", 9.2),
    S(GSYS, "born_date", "01 Dec 2026"),
    N(GSYS, "compile_number", 1),
    S(GSYS, "flavor", "Standard"),
    N(GSYS, "SE", 0),
    N(GSYS, "MP", 0),
    R(GSYS, "mode"),
    R(GSYS, "console"),
    S(GSYS, "os", "Unix"),
    S(GSYS, "osdtl", uname_field(0)),
    S(GSYS, "machine_type", uname_field(1)),
    S(GSYS, "byteorder", "lohi"),
    S(GSYS, "dirsep", "/"),
    S(GSYS, "eolchar", "unix"),
    S(GSYS, "Mons", "Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec"),
    S(GSYS, "Months",
      "January February March April May June July August September October November December"),
    S(GSYS, "Wdays", "Sun Mon Tue Wed Thu Fri Sat"),
    S(GSYS, "Weekdays", "Sunday Monday Tuesday Wednesday Thursday Friday Saturday"),
    S(GSYS, "alpha", "a b c d e f g h i j k l m n o p q r s t u v w x y z"),
    S(GSYS, "ALPHA", "A B C D E F G H I J K L M N O P Q R S T U V W X Y Z"),
    N(GSYS, "pi", M_PI),
    R(GSYS, "rc"),
    R(GDIR, "sysdir_zelta"),
    R(GDIR, "sysdir_updates"),
    R(GDIR, "sysdir_base"),
    R(GDIR, "sysdir_site"),
    R(GDIR, "sysdir_plus"),
    R(GDIR, "sysdir_personal"),
    R(GDIR, "sysdir_oldplace"),
    R(GDIR, "adopath"),
    S(GDIR, "pwd", pwd()),
    N(GLIM, "max_N_theory", 2147483647.0),
    R(GLIM, "max_N_current"),
    N(GLIM, "max_k_theory", 32767),
    R(GLIM, "max_k_current"),
    N(GLIM, "max_width_theory", 393192),
    R(GLIM, "max_width_current"),
    N(GLIM, "max_matsize", RES_MAXMATSIZE),
    N(GLIM, "min_matsize", RES_MINMATSIZE),
    N(GLIM, "min_k", 200),
    N(GLIM, "max_macrolen", 33 * 32767 + 200),
    R(GLIM, "macrolen"),
    N(GLIM, "max_cmdlen", 33 * 32767 + 216),
    R(GLIM, "cmdlen"),
    N(GLIM, "namelen", 32),
    N(GLIM, "maxoptions", 70),
    N(GLIM, "filenamelen", 1023),
    N(GLIM, "tokenlen", 503),
    N(GLIM, "maxdb", 50),
    N(GNUM, "mindouble", -DBL_MAX),
    N(GNUM, "maxdouble", 0x1.fffffffffffffp1022),
    N(GNUM, "epsdouble", DBL_EPSILON),
    N(GNUM, "minfloat", -0x1.fffffep126),
    N(GNUM, "maxfloat", 0x1.fffffep126),
    N(GNUM, "epsfloat", FLT_EPSILON),
    N(GNUM, "minlong", -2147483647.0),
    N(GNUM, "maxlong", 2147483620.0),
    N(GNUM, "minint", -32767),
    N(GNUM, "maxint", 32740),
    N(GNUM, "minbyte", -127),
    N(GNUM, "maxbyte", 100),
    N(GNUM, "maxstrvarlen", 244),
    R(GDS, "N"),
    R(GDS, "k"),
    R(GDS, "width"),
    R(GDS, "changed"),
    R(GDS, "filename"),
    R(GDS, "filedate"),
    R(GMEM, "memory"),
    R(GMEM, "maxvar"),
    R(GMEM, "matsize"),
    R(GOUT, "more"),
    R(GOUT, "rmsg"),
    R(GOUT, "rmsg_time"),
    R(GOUT, "dp"),
    R(GOUT, "linesize"),
    R(GOUT, "pagesize"),
    R(GOUT, "logtype"),
    Q(GOUT, "linegap"),
    Q(GOUT, "scrollbufsize"),
    R(GOUT, "varabbrev"),
    Q(GUI, "varlabelpos"),
    Q(GUI, "varwindow"),
    Q(GUI, "revwindow"),
    Q(GUI, "helpcolor"),
    Q(GUI, "copycolor"),
    Q(GUI, "printcolor"),
    Q(GUI, "textsize"),
    Q(GUI, "smoothfonts"),
    Q(GUI, "smoothsize"),
    Q(GUI, "fastscroll"),
    Q(GUI, "use_qd_text"),
    Q(GUI, "use_atsui_graph"),
    Q(GUI, "macgphengine"),
    Q(GUI, "piccomments"),
    R(GUI, "charset"),
    Q(GUI, "icmap"),
    S(GUI, "cmdtitle", ""),
    Q(GUI, "guixeqcmd"),
    Q(GUI, "loghelp"),
    Q(GGR, "graphics"),
    Q(GGR, "scheme"),
    S(GGR, "curscm", [] { std::string t; bool n = false; setq_value("scheme", t, n); return t; }()),
    R(GEFF, "adosize"),
    Q(GEFF, "virtual"),
    Q(GNET, "httpproxy"),
    Q(GNET, "httpproxyhost"),
    Q(GNET, "httpproxyport"),
    Q(GNET, "httpproxyauth"),
    Q(GNET, "httpproxyuser"),
    Q(GNET, "httpproxypw"),
    Q(GNET, "timeout1"),
    Q(GNET, "timeout2"),
    N(GNET, "pollrate", 0),
    N(GNET, "polltime", 0),
    N(GNET, "getsockopt", 0),
    S(GNET, "netdebug", "off"),
    N(GNET, "unlinktimeout", 0),
    Q(GUPD, "update_query"),
    Q(GUPD, "update_interval"),
    Q(GUPD, "update_prompt"),
    S(GUPD, "update_oride", "off"),
    R(GTR, "trace"),
    R(GTR, "tracedepth"),
    R(GTR, "tracesep"),
    R(GTR, "traceindent"),
    R(GTR, "traceexpand"),
    R(GTR, "tracenumber"),
    S(GTR, "tracecode", "off"),
    S(GTR, "tracetime", "off"),
    R(GTR, "debug"),
    S(GTR, "profiling", ""),
    R(GVEMO, "vemostrict"),
    R(GVEMO, "vemovofirst"),
    R(GVEMO, "vemolnum"),
    R(GVEMO, "vemooptimize"),
    R(GVEMO, "vemofavor"),
    R(GVEMO, "vemocache"),
    R(GVEMO, "vemolibs"),
    S(GVEMO, "vemodebug", "off"),
    Q(GOTH, "level"),
    Q(GOTH, "maxiter"),
    R(GOTH, "type"),
    R(GOTH, "seed"),
    N(GOTH, "jitterseed", 0),
    Q(GOTH, "searchdefault"),
    Q(GOTH, "checksum"),
    N(GOTH, "di_g", 0),
    N(GOTH, "tol_0", 1e-16),
    N(GOTH, "tol_1", 1e-12),
    N(GOTH, "tol_2", 1e-7),
    N(GOTH, "tol_r", 1e-4),
};

#undef N
#undef Q
#undef S
#undef R

// The value of a row into v.
void rowvalue(const CRow& r, CValue& v) {
  if (r.fn) return r.fn(v);
  CGetter g = creg_find(r.name);
  ZASSERT(g != nullptr, std::string("c(") + r.name + ") has no registered owner");
  if (g) g(v);
}

const CRow* findrow(const std::string& name) {
  for (const CRow& r : rows)
    if (name == r.name) return &r;
  return nullptr;
}

// creturn list: every value, grouped.
int cmd_creturn(int) {
  std::string w = gettok(prsestd);
  if (w.empty() || !cmdcmp(w.c_str(), "list", 1)) {
    if (w.empty()) return error(RC_SYNTAX);
    return errmsgf(RC_SYNTAX, "creturn %s not allowed\n", w.c_str());
  }
  if (*peektok_chr()) return error(RC_SYNTAX);
  const char* group = nullptr;
  for (const CRow& r : rows) {
    if (!group || std::string(group) != r.group) {
      group = r.group;
      spoutsml("\n{txt}{hline}\n");
      spoutsmlf("    %s\n", group);
      spoutsml("{hline}\n");
    }
    CValue v;
    rowvalue(r, v);
    std::string lhs = std::string("c(") + r.name + ")";
    spoutsml("{txt}");
    spout21(lhs.size() < 24 ? (std::string(24 - lhs.size(), ' ') + lhs).c_str() : lhs.c_str());
    spout21(" = ");
    spoutsml("{res}");
    if (v.isstr) {
      spout21(("\"" + v.s + "\"").c_str());
    } else {
      std::string t;
      macfmtnum(v.d, t);
      spout21(t.c_str());
    }
    newline();
  }
  return 0;
}

}  // namespace

int creturn_value(const std::string& name, double* d, std::string* s, bool* isstr) {
  const CRow* r = findrow(name);
  if (!r) return 1;
  CValue v;
  rowvalue(*r, v);
  *isstr = v.isstr;
  if (v.isstr) *s = v.s;
  else *d = v.d;
  return 0;
}

// The {ccl} tag of the renderer: the value as text.
bool creturn_text(const char* name, std::string& value) {
  double d = 0;
  bool isstr = false;
  if (creturn_value(name, &d, &value, &isstr)) return false;
  if (!isstr) macfmtnum(d, value);
  return true;
}

std::vector<std::string> creturn_unowned() {
  std::vector<std::string> names;
  for (const CRow& r : rows)
    if (!r.fn && !creg_find(r.name)) names.emplace_back(r.name);
  return names;
}

void creturn_bind() { cmdbind("creturn", cmd_creturn); }
