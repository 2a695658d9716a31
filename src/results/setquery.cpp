// `set` for the settings that no other subsystem keeps (the confidence
// level, the iteration limit, checksums, and the interface, graphics,
// network and update settings of a desktop build, kept so that programs can
// set them and read them back in c()), and `query`, which lists every
// setting, grouped, with its current value. One table row per setting gives
// its kind, range and default; `cset` holds the values as text.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "data/store.h"
#include "graphics/gscheme.h"
#include "interp/cmdtab.h"
#include "interp/macro.h"
#include "interp/tokenizer.h"
#include "output/errors.h"
#include "output/output.h"
#include "platform/about.h"
#include "results/resint.h"
#include "results/results.h"

CSettings cset;

namespace {

enum Kind : int { K_ONOFF, K_INT, K_REAL, K_CHOICE, K_TEXT };

// A setting kept here: name, shortest abbreviation, kind, range (numbers) or
// the words allowed (choices, blank-separated), and the value at start-up.
struct QRow {
  const char* name;
  int min;
  Kind kind;
  double lo, hi;
  const char* choices;
  const char* def;
};

// ORDER QROWS: cset.vals is indexed by the position in this table.
const QRow qrows[] = {
    {"level", 3, K_REAL, 10, 99.99, nullptr, "95"},
    {"maxiter", 7, K_INT, 0, 16000, nullptr, "16000"},
    {"checksum", 8, K_ONOFF, 0, 0, nullptr, "off"},
    {"virtual", 4, K_ONOFF, 0, 0, nullptr, "off"},
    {"searchdefault", 9, K_CHOICE, 0, 0, "local net all", "local"},
    {"pagesize", 5, K_INT, 10, 10000, nullptr, "23"},
    {"linegap", 7, K_INT, 0, 20, nullptr, "1"},
    {"scrollbufsize", 13, K_INT, 10000, 500000, nullptr, "32000"},
    {"varlabelpos", 11, K_INT, 8, 32, nullptr, "32"},
    {"varwindow", 9, K_ONOFF, 0, 0, nullptr, "on"},
    {"revwindow", 9, K_ONOFF, 0, 0, nullptr, "on"},
    {"helpcolor", 9, K_ONOFF, 0, 0, nullptr, "on"},
    {"copycolor", 9, K_CHOICE, 0, 0, "automatic asis gs1 gs2 gs3", "automatic"},
    {"printcolor", 10, K_CHOICE, 0, 0, "automatic asis gs1 gs2 gs3", "automatic"},
    {"textsize", 8, K_INT, 80, 200, nullptr, "100"},
    {"smoothfonts", 11, K_ONOFF, 0, 0, nullptr, "on"},
    {"smoothsize", 10, K_INT, 0, 100, nullptr, "0"},
    {"fastscroll", 10, K_ONOFF, 0, 0, nullptr, "on"},
    {"use_qd_text", 11, K_ONOFF, 0, 0, nullptr, "off"},
    {"use_atsui_graph", 15, K_ONOFF, 0, 0, nullptr, "off"},
    {"macgphengine", 12, K_CHOICE, 0, 0, "quartz quickdraw", "quartz"},
    {"piccomments", 11, K_ONOFF, 0, 0, nullptr, "on"},
    {"icmap", 5, K_ONOFF, 0, 0, nullptr, "on"},
    {"guixeqcmd", 9, K_ONOFF, 0, 0, nullptr, "off"},
    {"loghelp", 7, K_ONOFF, 0, 0, nullptr, "off"},
    {"graphics", 3, K_ONOFF, 0, 0, nullptr, "on"},
    {"scheme", 3, K_TEXT, 0, 0, nullptr, "modern"},
    {"httpproxy", 9, K_ONOFF, 0, 0, nullptr, "off"},
    {"httpproxyhost", 13, K_TEXT, 0, 0, nullptr, ""},
    {"httpproxyport", 13, K_INT, 0, 65535, nullptr, "80"},
    {"httpproxyauth", 13, K_ONOFF, 0, 0, nullptr, "off"},
    {"httpproxyuser", 13, K_TEXT, 0, 0, nullptr, ""},
    {"httpproxypw", 11, K_TEXT, 0, 0, nullptr, ""},
    {"timeout1", 8, K_INT, 1, 32000, nullptr, "30"},
    {"timeout2", 8, K_INT, 1, 32000, nullptr, "180"},
    {"update_query", 12, K_ONOFF, 0, 0, nullptr, "on"},
    {"update_interval", 15, K_INT, 1, 365, nullptr, "7"},
    {"update_prompt", 13, K_ONOFF, 0, 0, nullptr, "on"},
};
constexpr int NQROWS = static_cast<int>(sizeof qrows / sizeof qrows[0]);

int qfind(const char* name) {
  for (int i = 0; i < NQROWS; ++i)
    if (!std::strcmp(qrows[i].name, name)) return i;
  return -1;
}

// The value of row i (its default until set).
const std::string& qval(int i) {
  if (cset.vals.size() != static_cast<size_t>(NQROWS)) {
    cset.vals.clear();
    for (const QRow& r : qrows) cset.vals.emplace_back(r.def);
  }
  return cset.vals[static_cast<size_t>(i)];
}

// A number as the range messages and listings show it.
std::string numtext(double x) {
  char b[40];
  std::snprintf(b, sizeof b, "%.15g", x);
  return b;
}

// set NAME value: checks the value against row mode's kind and range.
int set_row(int mode) {
  const QRow& r = qrows[mode];
  std::string w = gettok(prsestd);
  if (r.kind == K_TEXT) {
    // the rest of the line, outer quotes removed
    std::string t = w + wheretok();
    settok(wheretok() + std::strlen(wheretok()));
    while (!t.empty() && t.back() == ' ') t.pop_back();
    if (t.size() >= 2 && t.front() == '"' && t.back() == '"') t = t.substr(1, t.size() - 2);
    // a scheme must exist and read cleanly before it replaces the current one
    if (!std::strcmp(r.name, "scheme"))
      if (int rc = gsch_select(t)) return rc;
    (void)qval(mode);
    cset.vals[static_cast<size_t>(mode)] = t;
    return 0;
  }
  if (*peektok_chr()) return errmsgf(RC_SYNTAX, "%s invalid\n", gettok(prsestd));
  std::string v;
  if (r.kind == K_ONOFF) {
    if (w != "on" && w != "off")
      return errmsgf(RC_SYNTAX, "%s invalid; must be on or off\n", w.empty() ? "nothing" : w.c_str());
    v = w;
  } else if (r.kind == K_CHOICE) {
    std::string words = std::string(" ") + r.choices + " ";
    if (w.empty() || words.find(" " + w + " ") == std::string::npos) {
      std::string list = r.choices;
      return errmsgf(RC_SYNTAX, "%s invalid; must be one of %s\n", w.empty() ? "nothing" : w.c_str(), list.c_str());
    }
    v = w;
  } else {
    char* e = nullptr;
    const double x = w.empty() ? NAN : std::strtod(w.c_str(), &e);
    const bool whole = r.kind == K_INT ? x == std::floor(x) : true;
    if (w.empty() || *e || !(x >= r.lo && x <= r.hi) || !whole)
      return errmsgf(RC_SYNTAX, "%s must be %s between %s and %s inclusive\n", r.name,
                     r.kind == K_INT ? "an integer" : "a number", numtext(r.lo).c_str(), numtext(r.hi).c_str());
    v = numtext(x);
  }
  (void)qval(mode);
  cset.vals[static_cast<size_t>(mode)] = v;
  if (!std::strcmp(r.name, "pagesize")) out.pagesize = static_cast<int>(std::atof(v.c_str()));
  return 0;
}

// One group of `query`: its word and the settings it lists (their c() names).
struct QGroup {
  const char* word;
  int min;
  const char* title;
  const char* items;
};

const QGroup qgroups[] = {
    {"memory", 3, "Memory settings", "memory maxvar matsize"},
    {"output", 3, "Output settings", "more rmsg dp linesize pagesize logtype linegap scrollbufsize"},
    {"interface", 5, "Interface settings",
     "varlabelpos varwindow revwindow helpcolor copycolor printcolor textsize smoothfonts smoothsize "
     "fastscroll use_qd_text use_atsui_graph macgphengine piccomments charset icmap guixeqcmd loghelp"},
    {"graphics", 3, "Graphics settings", "graphics scheme"},
    {"efficiency", 3, "Efficiency settings", "adosize virtual"},
    {"network", 3, "Network settings",
     "httpproxy httpproxyhost httpproxyport httpproxyauth httpproxyuser httpproxypw timeout1 timeout2"},
    {"update", 3, "Update settings", "update_query update_interval update_prompt"},
    {"trace", 5, "Trace (program debugging) settings",
     "trace tracedepth tracesep traceindent traceexpand tracenumber"},
    {"vemo", 4, "Vemo settings", "vemostrict vemovofirst vemolnum vemofavor vemocache vemolibs"},
    {"other", 3, "Other settings", "type varabbrev level maxiter searchdefault seed sortseed checksum"},
};

// The value shown for memory: bytes in the largest exact unit of `set memory`.
std::string memtext(double bytes) {
  const double g = 1073741824.0, m = 1048576.0, k = 1024.0;
  if (bytes >= g && std::fmod(bytes, g) == 0) return numtext(bytes / g) + "g";
  if (bytes >= m && std::fmod(bytes, m) == 0) return numtext(bytes / m) + "m";
  if (std::fmod(bytes, k) == 0) return numtext(bytes / k) + "k";
  return numtext(bytes) + "b";
}

// Prints one group: a rule, the title, a rule, then each setting's name and
// value, with the allowed range or words of the settings kept here.
void qprint(const QGroup& g) {
  query_head(g.title);
  const char* p = g.items;
  while (*p) {
    while (*p == ' ') ++p;
    const char* s = p;
    while (*p && *p != ' ') ++p;
    const std::string name(s, p);
    if (name.empty()) break;
    std::string value;
    if (name == "sortseed") {
      value = numtext(static_cast<double>(ds.rseed));
    } else {
      double d = 0;
      bool isstr = false;
      if (creturn_value(name, &d, &value, &isstr)) continue;
      if (!isstr) value = name == "memory" ? memtext(d) : numtext(d);
    }
    query_row(name, value);
    const int i = qfind(name.c_str());
    if (i >= 0 && (qrows[i].kind == K_INT || qrows[i].kind == K_REAL || qrows[i].kind == K_CHOICE)) {
      std::string note = qrows[i].kind == K_CHOICE ? qrows[i].choices
                                                   : numtext(qrows[i].lo) + " to " + numtext(qrows[i].hi);
      spoutsml("{txt}");
      const size_t pad = value.size() < 16 ? 16 - value.size() : 2;
      spout21((std::string(pad, ' ') + "(" + note + ")").c_str());
    }
    newline();
  }
}

// query [group]
int cmd_query(int) {
  std::string w = gettok(prsestd);
  if (*peektok_chr()) return errmsgf(RC_SYNTAX, "%s invalid\n", gettok(prsestd));
  bool any = false;
  for (const QGroup& g : qgroups) {
    if (!w.empty() && !cmdcmp(w.c_str(), g.word, g.min)) continue;
    if (any || w.empty()) spoutsml("\n");
    qprint(g);
    any = true;
  }
  if (w.empty() || cmdcmp(w.c_str(), "build", 3)) {
    if (any) spoutsml("\n");
    about_querygroup();
    any = true;
  }
  if (!any) return errmsgf(RC_SYNTAX, "query %s not allowed\n", w.c_str());
  return 0;
}

}  // namespace

void query_head(const char* title) {
  spoutsml("{txt}{hline}\n");
  spoutsmlf("    %s\n", title);
  spoutsml("{hline}\n");
}

void query_row(const std::string& name, const std::string& value) {
  std::string line = "    " + name;
  line.append(name.size() < 20 ? 20 - name.size() : 1, ' ');
  spoutsml("{txt}");
  spout21(line.c_str());
  spoutsml("{res}");
  spout21(value.c_str());
}

bool setq_value(const char* name, std::string& text, bool& isnum) {
  const int i = qfind(name);
  if (i < 0) return false;
  text = qval(i);
  isnum = qrows[i].kind == K_INT || qrows[i].kind == K_REAL;
  return true;
}

double setq_number(const char* name) {
  std::string t;
  bool isnum = false;
  if (!setq_value(name, t, isnum) || !isnum) return 0;
  return std::atof(t.c_str());
}

void setquery_bind() {
  for (int i = 0; i < NQROWS; ++i) setbind(qrows[i].name, qrows[i].min, set_row, i);
  cmdbind("query", cmd_query);
}
