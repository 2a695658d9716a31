// The read-only c() values: one table row per name, each computed when
// asked from the subsystem that owns it, and `creturn list`, which prints
// the rows grouped under their headings. Settings that no other subsystem
// owns yet (level, maxiter, ...) live in `cset` here.
#include <sys/utsname.h>
#include <unistd.h>

#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <string>

#include "data/arena.h"
#include "data/store.h"
#include "expr/funcs.h"
#include "interp/cmdtab.h"
#include "interp/interp.h"
#include "interp/macro.h"
#include "interp/program.h"
#include "interp/tokenizer.h"
#include "output/errors.h"
#include "output/format.h"
#include "output/output.h"
#include "results/results.h"
#include "results/resint.h"
#include "vemo/vemo.h"

namespace {

struct CVal {
  bool isstr = false;
  double d = 0;
  std::string s;
};
using CFn = void (*)(CVal&);

// A row: the listing group, the name and how to compute it.
struct CRow {
  const char* group;
  const char* name;
  CFn fn;
};

void num(CVal& v, double d) { v.isstr = false, v.d = d; }
void str(CVal& v, std::string s) { v.isstr = true, v.s = std::move(s); }
const char* onoff(bool b) { return b ? "on" : "off"; }

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

std::string gmac(const char* name) {
  const std::string* p = macget_global(name);
  return p ? *p : "";
}

// A setting kept in the `set` table: a number or a word.
void qget(CVal& v, const char* name) {
  std::string t;
  bool isnum = false;
  if (!setq_value(name, t, isnum)) return str(v, "");
  if (isnum) num(v, std::atof(t.c_str()));
  else str(v, t);
}

#define N(g, n, e) {g, n, [](CVal& v) { num(v, (e)); }}
#define Q(g, n) {g, n, [](CVal& v) { qget(v, n); }}
#define S(g, n, e) {g, n, [](CVal& v) { str(v, (e)); }}

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
    N(GSYS, "version", interp.version / 100.0),
    N(GSYS, "zelta_version", 9.2),
    S(GSYS, "born_date", "01 Dec 2026"),
    N(GSYS, "compile_number", 1),
    S(GSYS, "flavor", "Standard"),
    N(GSYS, "SE", 0),
    N(GSYS, "MP", 0),
    S(GSYS, "mode", interp.batchmode ? "batch" : ""),
    S(GSYS, "console", interp.batchmode ? "console" : ""),
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
    N(GSYS, "rc", interp.captrc),
    S(GDIR, "sysdir_zelta", sysdir_get("ZELTA")),
    S(GDIR, "sysdir_updates", sysdir_get("UPDATES")),
    S(GDIR, "sysdir_base", sysdir_get("BASE")),
    S(GDIR, "sysdir_site", sysdir_get("SITE")),
    S(GDIR, "sysdir_plus", sysdir_get("PLUS")),
    S(GDIR, "sysdir_personal", sysdir_get("PERSONAL")),
    S(GDIR, "sysdir_oldplace", sysdir_get("OLDPLACE")),
    S(GDIR, "adopath", gmac("S_ADO")),
    S(GDIR, "pwd", pwd()),
    N(GLIM, "max_N_theory", 2147483647.0),
    N(GLIM, "max_N_current", static_cast<double>(obscapacity())),
    N(GLIM, "max_k_theory", 32767),
    N(GLIM, "max_k_current", ds.maxmaxvar),
    N(GLIM, "max_width_theory", 393192),
    N(GLIM, "max_width_current", static_cast<double>(ds.maxlrecl)),
    N(GLIM, "max_matsize", RES_MAXMATSIZE),
    N(GLIM, "min_matsize", RES_MINMATSIZE),
    N(GLIM, "min_k", 200),
    N(GLIM, "max_macrolen", 33 * 32767 + 200),
    N(GLIM, "macrolen", interp.macrolen),
    N(GLIM, "max_cmdlen", 33 * 32767 + 216),
    N(GLIM, "cmdlen", interp.conslen),
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
    N(GDS, "N", static_cast<double>(ds.nobs)),
    N(GDS, "k", ds.nvar),
    N(GDS, "width", static_cast<double>(ds.lrecl)),
    N(GDS, "changed", ds.updata ? 1 : 0),
    S(GDS, "filename", gmac("S_FN")),
    S(GDS, "filedate", gmac("S_FNDATE")),
    N(GMEM, "memory", static_cast<double>(memory_reported())),
    N(GMEM, "maxvar", ds.maxmaxvar),
    N(GMEM, "matsize", interp.matsize),
    S(GOUT, "more", onoff(out.more)),
    S(GOUT, "rmsg", onoff(interp.zelta_rmsg)),
    N(GOUT, "rmsg_time", interp.rmsgtime),
    S(GOUT, "dp", fmts.dpcomma ? "comma" : "period"),
    N(GOUT, "linesize", out.linesize),
    N(GOUT, "pagesize", out.pagesize),
    S(GOUT, "logtype", out_logtype()),
    Q(GOUT, "linegap"),
    Q(GOUT, "scrollbufsize"),
    S(GOUT, "varabbrev", onoff(ds.varabbrev)),
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
    S(GUI, "charset", out.charset ? "mac" : "latin1"),
    Q(GUI, "icmap"),
    S(GUI, "cmdtitle", ""),
    Q(GUI, "guixeqcmd"),
    Q(GUI, "loghelp"),
    Q(GGR, "graphics"),
    Q(GGR, "scheme"),
    S(GGR, "curscm", [] { std::string t; bool n = false; setq_value("scheme", t, n); return t; }()),
    N(GEFF, "adosize", prg.adosize),
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
    S(GTR, "trace", onoff(interp.trace)),
    N(GTR, "tracedepth", prg.tracedepth),
    S(GTR, "tracesep", onoff(prg.tracesep)),
    S(GTR, "traceindent", onoff(prg.traceindent)),
    S(GTR, "traceexpand", onoff(prg.traceexpand)),
    S(GTR, "tracenumber", onoff(prg.tracenumber)),
    S(GTR, "tracecode", "off"),
    S(GTR, "tracetime", "off"),
    S(GTR, "debug", onoff(out.debug)),
    S(GTR, "profiling", ""),
    S(GVEMO, "vemostrict", onoff(vst.strict)),
    S(GVEMO, "vemovofirst", onoff(vst.vofirst)),
    S(GVEMO, "vemolnum", onoff(vst.lnum)),
    S(GVEMO, "vemooptimize", onoff(vst.optimize)),
    S(GVEMO, "vemofavor", vst.favorspeed ? "speed" : "space"),
    S(GVEMO, "vemocache", std::to_string(vst.cache)),
    S(GVEMO, "vemolibs", vst.libs.empty() ? std::string("base;math;stat;io;eispack") : vst.libs),
    S(GVEMO, "vemodebug", "off"),
    Q(GOTH, "level"),
    Q(GOTH, "maxiter"),
    S(GOTH, "type", ds.deftype == ST_DOUBLE ? "double" : "float"),
    S(GOTH, "seed", [] { std::string s; geturnseed(s); return s; }()),
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

const CRow* findrow(const std::string& name) {
  for (const CRow& r : rows)
    if (name == r.name) return &r;
  return nullptr;
}

// creturn list: every value, grouped.
int cmd_creturn(int) {
  std::string w = gettok(prsestd);
  if (w.empty() || !cmdcmp(w.c_str(), "list", 1)) {
    if (w.empty()) return error(198);
    return errmsgf(198, "creturn %s not allowed\n", w.c_str());
  }
  if (*peektok_chr()) return error(198);
  const char* group = nullptr;
  for (const CRow& r : rows) {
    if (!group || std::string(group) != r.group) {
      group = r.group;
      spoutsml("\n{txt}{hline}\n");
      spoutsmlf("    %s\n", group);
      spoutsml("{hline}\n");
    }
    CVal v;
    r.fn(v);
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
  CVal v;
  r->fn(v);
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

void creturn_bind() { cmdbind("creturn", cmd_creturn); }
