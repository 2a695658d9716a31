// The `by` and `bysort` prefixes. The part before the colon names the group
// variables (and, in parentheses, variables used only for sorting); the data
// are sorted when asked, the sort list is checked, and the command after the
// colon is dispatched once per group with `_n`, `_N`, `if` and the range
// confined to the group. Commands that keep running totals report them after
// the last group; drop and keep under by remove observations once, at the end.
#include "data/by.h"

#include <cstring>
#include <memory>
#include <string>

#include "data/cmd/datacmds.h"
#include "data/sort.h"
#include "data/store.h"
#include "data/varlist.h"
#include "data/vlabel.h"
#include "expr/expr.h"
#include "interp/cmdtab.h"
#include "interp/interp.h"
#include "interp/program.h"
#include "interp/tokenizer.h"
#include "output/errors.h"
#include "output/output.h"
#include "platform/platform.h"

ByState bys;

namespace {

struct ByCmd {
  std::string name;  // full command name
  bool headers;      // group headers are printed before it
};
std::vector<ByCmd> bycmds = {{"generate", false}, {"replace", false}, {"drop", false},
                             {"keep", false},     {"assert", false},  {"count", true},
                             {"list", true},      {"flist", true},   {"summarize", true}};

// How the command after the colon runs.
struct Target {
  std::string name;       // its full name
  bool headers = true;
  bool program = false;   // a program rather than a built-in
  bool onecall = false;   // a program called once for all groups
  bool prefixed = false;  // behind capture, quietly or noisily
};

// Finds the first ':' outside quotes; nullptr when none.
const char* findcolon(const char* p) {
  while (*p) {
    if (*p == '"' || (*p == '`' && p[1] == '"')) {
      const char *s, *e, *after;
      if (parse_quoted_string(p, &s, &e, &after) == 0) {
        p = after;
        continue;
      }
    }
    if (*p == ':') return p;
    ++p;
  }
  return nullptr;
}

// Parses a variable list from text into out; 0 or a code (printed).
int varsof(const std::string& text, std::vector<int>& out) {
  settok(text.c_str());
  if (int rc = ssvlist(VL_EXISTING)) return rc;
  for (const TsRecipe& r : vl.varlist_rcp)
    if (!r.plain()) return error(RC_MSG_TSOPS);
  out = vl.varlist_vr;
  return 0;
}

// The command after the colon: which one it is and whether it may run.
int findtarget(const std::string& cmdtext, Target& t) {
  const char* p = cmdtext.c_str();
  std::string w;
  while (true) {
    while (*p == ' ') ++p;
    const char* s = p;
    while (*p && *p != ' ' && *p != ',') ++p;
    w.assign(s, p);
    if (w.empty()) return error(RC_SYNTAX);
    const char* full = cmdfullname(w.c_str());
    if (full && (!std::strcmp(full, "quietly") || !std::strcmp(full, "noisily") || !std::strcmp(full, "capture"))) {
      t.prefixed = true;
      continue;
    }
    if (full) {
      for (const ByCmd& c : bycmds)
        if (c.name == full) {
          t.name = full;
          t.headers = c.headers;
          return 0;
        }
      return errmsgf(RC_NOBY, "%s may not be combined with by\n", full);
    }
    break;
  }
  int rc = 0;
  std::shared_ptr<Program> prog = pgmfind_load(w, &rc);
  if (!prog) return rc;
  if (prog->byable == 0) return errmsgf(RC_NOBY, "%s may not be combined with by\n", prog->name.c_str());
  t.name = prog->name;
  t.program = true;
  t.onecall = prog->byable == 1;
  t.headers = prog->byable == 2;
  return 0;
}

// Marks in cut[i] (i = 1..nobs-1) each observation after which the values of
// variable v change, one pass down its column.
template <class T, class F>
void cutcol(const ColView& c, std::vector<char>& cut, F val) {
  const unsigned char* p = c.base;
  for (long i = 1; i < ds.nobs; ++i) {
    T a, b;
    std::memcpy(&a, p + static_cast<size_t>(i - 1) * sizeof(T), sizeof(T));
    std::memcpy(&b, p + static_cast<size_t>(i) * sizeof(T), sizeof(T));
    cut[static_cast<size_t>(i)] |= val(a) != val(b);
  }
}

// The first observation of each group of the variables' values, then
// nobs + 1, into starts; 1 on a Break. A column at a time: values compare as
// the observation-by-observation rule would (strings byte-wise up to the
// first NUL, numbers as values, so 0 and -0 are one group).
int groupstarts(const std::vector<int>& vars, std::vector<long>& starts) {
  std::vector<char> cut(static_cast<size_t>(ds.nobs) + 1, 0);
  for (int v : vars) {
    const ColView c = colview(v);
    const auto same = [](auto x) { return x; };
    switch (c.type) {
      case ST_BYTE: cutcol<int8_t>(c, cut, same); break;
      case ST_INT: cutcol<int16_t>(c, cut, same); break;
      case ST_LONG: cutcol<int32_t>(c, cut, same); break;
      case ST_DOUBLE: cutcol<double>(c, cut, same); break;
      case ST_FLOAT: cutcol<float>(c, cut, [](float f) { return cell_float(f); }); break;
      default:
        for (long i = 1; i < ds.nobs; ++i) {
          if (cut[static_cast<size_t>(i)]) continue;
          if (isstrtype(c.type))
            cut[static_cast<size_t>(i)] = std::strncmp(reinterpret_cast<const char*>(c.at(i)),
                                                       reinterpret_cast<const char*>(c.at(i + 1)),
                                                       static_cast<size_t>(c.type)) != 0;
          else
            cut[static_cast<size_t>(i)] = c.get(i) != c.get(i + 1);
        }
    }
    if (stopflag) return 1;
  }
  starts.clear();
  if (ds.nobs >= 1) starts.push_back(1);
  for (long i = 1; i < ds.nobs; ++i)
    if (cut[static_cast<size_t>(i)]) starts.push_back(i + 1);
  starts.push_back(ds.nobs + 1);
  return 0;
}


// The group header: a blank line, a rule, "-> " and each variable's name and
// value (its value label, or the value under its display format).
void header(const std::vector<int>& vars, long obs) {
  std::string h = "-> ";
  for (size_t k = 0; k < vars.size(); ++k) {
    int v = vars[k];
    if (k) h += ", ";
    std::string val;
    if (!vlvartext(v, zelta_data(v, obs), val)) val = dsfmtcell(v, obs);
    h += varname(v) + " = " + val;
  }
  int prev = setoutlev(OUT_RESULT);
  spout21("\n");
  spoutsml("{hline}\n");
  spout21((h + "\n").c_str());
  setoutlev(prev);
}

// The sort list begins with vars, in order.
bool sortedby(const std::vector<int>& vars) {
  if (vars.size() > ds.srtlist.size()) return false;
  for (size_t k = 0; k < vars.size(); ++k)
    if (ds.srtlist[k] != vars[k]) return false;
  return true;
}

// The by-related state a run changes, restored when it ends.
struct Saved {
  int bylevel;
  long grp1, grp2, byn1, byn2, byindex;
  int byvar;
  bool bylast;
  std::vector<int> sysbylist;
  std::vector<char> dropflags;
  bool collecting;
  std::vector<long> gstart;
  bool program, whole, handled;
};

Saved savestate() {
  return Saved{cmd_bylevel, ex.grp1, ex.grp2, ex.byn1, ex.byn2, ex.byindex, ex.byvar, ex.bylast,
               bys.sysbylist, std::move(bys.dropflags), bys.collecting, std::move(bys.gstart),
               bys.program, bys.whole, bys.handled};
}

void restorestate(Saved& s) {
  cmd_bylevel = s.bylevel;
  ex.grp1 = s.grp1, ex.grp2 = s.grp2, ex.byn1 = s.byn1, ex.byn2 = s.byn2, ex.byindex = s.byindex;
  ex.byvar = s.byvar;
  ex.bylast = s.bylast;
  bys.sysbylist = std::move(s.sysbylist);
  bys.nby = static_cast<int>(bys.sysbylist.size());
  bys.dropflags = std::move(s.dropflags);
  bys.collecting = s.collecting;
  bys.gstart = std::move(s.gstart);
  bys.program = s.program, bys.whole = s.whole, bys.handled = s.handled;
}

void stophook() { bys.stop = true; }

// Runs the command text once (the tokenizer set to it).
int dispatchonce(const std::string& cmdtext) {
  settok(cmdtext.c_str());
  interp.cmd = gettok(prsestd);
  return selreq();
}

// The loop over the groups of observations 1..nobs. A command that can run
// every group itself (generate, replace) does so from the first dispatch.
int rungroups(const std::vector<int>& gvars, const std::string& cmdtext, const Target& t, bool rc0) {
  const bool headers = t.headers && out.s_outlev <= OUT_RESULT;
  if (groupstarts(gvars, bys.gstart)) return 1;
  bys.program = t.program;
  bool printed = false;
  int rc = 0;
  for (size_t g = 0; g + 1 < bys.gstart.size(); ++g) {
    by_setgroup(g);
    if (headers) {
      header(gvars, bys.nobss1);
      printed = true;
    }
    bys.whole = g == 0 && !rc0 && !headers && !t.program && !t.prefixed;
    bys.handled = false;
    rc = dispatchonce(cmdtext);
    bys.whole = false;
    if (bys.stop) {
      rc = 0;
      break;
    }
    if (stopflag) {
      rc = 1;
      break;
    }
    if (rc) {
      if (!rc0) break;
      spoutsmlf("{search r(%d):r(%d);}\n", rc, rc);
      rc = 0;
    }
    if (bys.handled) break;
  }
  if (printed) {
    int prev = setoutlev(OUT_RESULT);
    spout21("\n");
    setoutlev(prev);
  }
  return rc;
}

// by varlist [(varlist)] [, sort rc0] : command     (mode 1: bysort)
int cmd_by(int mode) {
  std::string line = wheretok();
  settok("");
  const char* colon = findcolon(line.c_str());
  if (!colon) return errmsgf(RC_SYNTAX, "by requires a colon before the command\n");
  std::string head(line.c_str(), colon);
  std::string cmdtext = colon + 1;
  std::string opts;
  size_t comma = head.find(',');
  if (comma != std::string::npos) {
    opts = head.substr(comma + 1);
    head.resize(comma);
  }
  std::string gtext = head, stext;
  size_t open = head.find('(');
  if (open != std::string::npos) {
    size_t close = head.find(')', open);
    if (close == std::string::npos || head.find('(', open + 1) != std::string::npos ||
        head.find_first_not_of(' ', close + 1) != std::string::npos)
      return error(RC_SYNTAX);
    gtext = head.substr(0, open);
    stext = head.substr(open + 1, close - open - 1);
  }
  if (gtext.find_first_not_of(' ') == std::string::npos) return errmsgf(RC_SYNTAX, "varlist required\n");
  std::vector<int> gvars, svars;
  if (int rc = varsof(gtext, gvars)) return rc;
  if (stext.find_first_not_of(' ') != std::string::npos)
    if (int rc = varsof(stext, svars)) return rc;
  if (static_cast<int>(gvars.size() + svars.size()) > maxvrl()) return error(RC_TOOMANYBY);
  ParseResult pr;
  settok(opts.c_str());
  if (int rc = proption(pr)) return rc;
  bool sort = findopt(pr, "sort", 4, 0) == 1 || mode == 1;
  bool rc0 = findopt(pr, "rc0", 3, 0) == 1;
  if (int rc = chkopt(pr)) return rc;
  if (cmdtext.find_first_not_of(' ') == std::string::npos) return errmsgf(RC_SYNTAX, "command required after by\n");
  if (bys.depth >= BY_MAXDEPTH) return errmsgf(RC_TOOMANYMACROS, "too many nested by's\n");
  Target t;
  if (int rc = findtarget(cmdtext, t)) return rc;
  std::vector<int> all = gvars;
  all.insert(all.end(), svars.begin(), svars.end());
  if (sort && !sortedby(all)) {
    vl = VarlistState{};
    vl.varlist_vr = all;
    vl.varlist_rcp.resize(all.size());
    if (int rc = syssort(1, ds.nobs, false)) return rc;
  }
  if (!sortedby(all)) return error(RC_NOTSORTED);

  Saved saved = savestate();
  bys.sysbylist = gvars;
  bys.nby = static_cast<int>(gvars.size());
  bys.stop = false;
  bys.collecting = false;
  bys.dropflags.clear();
  ++bys.depth;
  void (*prevstop)() = errst.bystop;
  errst.bystop = stophook;
  int rc = 0;
  if (t.onecall) {
    ex.byvar = 1, ex.bylast = true, ex.byindex = 1;
    ex.byn1 = 1, ex.byn2 = ds.nobs;
    cmd_bylevel = 0;
    rc = dispatchonce(cmdtext);
  } else {
    if (t.name == "drop" || t.name == "keep") {
      bys.collecting = true;
      bys.dropflags.assign(static_cast<size_t>(ds.nobs), t.name == "keep" ? 1 : 0);
    }
    rc = rungroups(gvars, cmdtext, t, rc0);
    if (bys.collecting && !rc) {
      std::vector<char> keepflag(bys.dropflags.size());
      for (size_t i = 0; i < keepflag.size(); ++i) keepflag[i] = bys.dropflags[i] ? 0 : 1;
      long n = dropobs_flags(keepflag);
      cmd_bylevel = 0;
      spout21f("(%ld observation%s deleted)\n", n, n == 1 ? "" : "s");
    }
  }
  errst.bystop = prevstop;
  bys.stop = false;
  --bys.depth;
  restorestate(saved);
  if (!cmd_bylevel) {
    ds.nobs1 = 1;
    ds.nobs2 = ds.nobs;
  }
  return rc;
}

}  // namespace

bool by_wholerun() {
  if (!cmd_bylevel || !bys.whole) return false;
  bys.handled = true;
  return true;
}

size_t by_ngroups() { return bys.gstart.empty() ? 0 : bys.gstart.size() - 1; }

void by_setgroup(size_t g) {
  const long lo = bys.gstart[g], hi = bys.gstart[g + 1] - 1;
  bys.nobss1 = lo;
  bys.nobss2 = hi;
  ex.byn1 = lo, ex.byn2 = hi, ex.byindex = static_cast<long>(g) + 1;
  ex.byvar = g == 0 ? 1 : 2;
  ex.bylast = g + 2 >= bys.gstart.size();
  // Built-ins see the group as their whole range; a program sees the whole
  // dataset and asks for the group with _byn1() and _byn2().
  cmd_bylevel = bys.program ? 0 : 1;
  ex.grp1 = bys.program ? 0 : lo;
  ex.grp2 = bys.program ? 0 : hi;
  ds.nobs1 = lo;
  ds.nobs2 = hi;
}

void by_allow(const char* name, bool headers) {
  for (ByCmd& c : bycmds)
    if (c.name == name) {
      c.headers = headers;
      return;
    }
  bycmds.push_back({name, headers});
}

bool by_markobs(long obs, bool goes) {
  if (!bys.collecting || !cmd_bylevel || obs < 1 || obs > static_cast<long>(bys.dropflags.size())) return false;
  bys.dropflags[static_cast<size_t>(obs - 1)] = goes ? 1 : 0;
  return true;
}

void data_bindby() {
  cmdbind("by", cmd_by, 0);
  cmdbind("bysort", cmd_by, 1);
}
