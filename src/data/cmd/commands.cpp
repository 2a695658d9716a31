// Binds this subsystem's built-in commands and `set` subcommands, and holds
// the small everyday ones: drop/keep, order, count, assert,
// preserve/restore with their levels, _repart and the store's settings
// (obs, memory, maxvar, type, varabbrev).
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "data/arena.h"
#include "data/by.h"
#include "data/chars.h"
#include "data/cmd/datacmds.h"
#include "data/sort.h"
#include "data/store.h"
#include "data/varlist.h"
#include "data/vlabel.h"
#include "expr/expr.h"
#include "interp/cmdtab.h"
#include "interp/hooks.h"
#include "interp/interp.h"
#include "interp/macro.h"
#include "interp/tokenizer.h"
#include "output/creg.h"
#include "output/errors.h"
#include "output/output.h"
#include "platform/platform.h"
#include "results/results.h"

namespace {

// The rest of the command line split at its first comma: the argument text
// (blanks trimmed) and the option words.
void restofline(std::string& arg, std::vector<std::string>& opts) {
  std::string rest = wheretok();
  settok("");
  size_t comma = rest.find(',');
  arg = rest.substr(0, comma);
  std::string o = comma == std::string::npos ? "" : rest.substr(comma + 1);
  auto trim = [](std::string& s) {
    while (!s.empty() && s.front() == ' ') s.erase(0, 1);
    while (!s.empty() && s.back() == ' ') s.pop_back();
  };
  trim(arg);
  size_t i = 0;
  while (i < o.size()) {
    while (i < o.size() && o[i] == ' ') ++i;
    size_t j = i;
    while (j < o.size() && o[j] != ' ') ++j;
    if (j > i) opts.push_back(o.substr(i, j - i));
    i = j;
  }
}

// Options of the settings: only `permanently`. 0 or 198.
int permopt(const std::vector<std::string>& opts, bool* perm) {
  *perm = false;
  for (const std::string& o : opts) {
    if (cmdcmp(o.c_str(), "permanently", 4)) {
      *perm = true;
      continue;
    }
    return errmsgf(RC_SYNTAX, "option %s not allowed\n", o.c_str());
  }
  return 0;
}

// A whole number with nothing after it; false otherwise.
bool wholenum(const std::string& s, long* v) {
  if (s.empty()) return false;
  char* e;
  errno = 0;
  long x = std::strtol(s.c_str(), &e, 10);
  if (*e || errno) return false;
  *v = x;
  return true;
}

// set obs #
int set_obs(int) {
  std::string arg;
  std::vector<std::string> opts;
  restofline(arg, opts);
  if (!opts.empty()) return errmsgf(RC_SYNTAX, "option %s not allowed\n", opts[0].c_str());
  long n;
  if (!wholenum(arg, &n)) {
    if (arg.empty()) return errmsgf(RC_SYNTAX, "obs must be between %ld and %ld\n", ds.nobs, obslimit());
    return errmsgf(RC_SYNTAX, "'%s' invalid\n", arg.c_str());
  }
  return setobs(n);
}

// set memory [+|-]#[b|k|m|g] [, permanently]
int set_memory(int) {
  std::string arg;
  std::vector<std::string> opts;
  restofline(arg, opts);
  bool perm;
  if (int rc = permopt(opts, &perm)) return rc;
  std::string s;
  for (char c : arg)
    if (c != ' ') s += c;
  int sign = 0;
  if (!s.empty() && (s[0] == '+' || s[0] == '-')) {
    sign = s[0] == '+' ? 1 : -1;
    s.erase(0, 1);
  }
  double unit = 1024;
  if (!s.empty() && std::strchr("bkmgBKMG", s.back())) {
    switch (s.back() | 0x20) {
      case 'b': unit = 1; break;
      case 'k': unit = 1024; break;
      case 'm': unit = 1048576.0; break;
      case 'g': unit = 1073741824.0; break;
    }
    s.pop_back();
  }
  char* e;
  double x = std::strtod(s.c_str(), &e);
  if (s.empty() || *e || x < 0) return errmsgf(RC_SYNTAX, "'%s' invalid\n", arg.c_str());
  double bytes = x * unit;
  if (sign) bytes = static_cast<double>(memory_reported()) + sign * bytes;
  if (bytes >= 4294967296.0) return error(RC_TOOLARGE);
  if (bytes < 0) return error(RC_TOOSMALL);
  if (int rc = setmemory(static_cast<uint64_t>(bytes))) return rc;
  if (perm) spoutsml("({cmd:set memory} preference recorded)\n");
  return 0;
}

// set maxvar # [, permanently]
int set_maxvar(int) {
  std::string arg;
  std::vector<std::string> opts;
  restofline(arg, opts);
  bool perm;
  if (int rc = permopt(opts, &perm)) return rc;
  long n;
  if (!wholenum(arg, &n) || n < 2048 || n > 32767)
    return errmsgf(RC_SYNTAX, "# must be between 2048 and 32767\n");
  // A growing area has room for the widest record: it follows the new width.
  const bool grows = !dsarena.memoryset;
  if (ds.nvar > n - 2 || (grows ? ds.lrecl : ds.syslrecl) > 12 * n) return error(RC_NOROOMVARS);
  const int oldmax = ds.maxmaxvar;
  ds.maxmaxvar = static_cast<int>(n);
  ds.maxlrecl = 12L * n;
  if (grows && ds.arena && ds.syslrecl != 12 * n) {
    if (int rc = setwidth(12 * n)) {
      ds.maxmaxvar = oldmax;
      ds.maxlrecl = 12L * oldmax;
      return error(rc);
    }
  }
  ds.maxvar = static_cast<int>(std::min<long>(n, ds.syslrecl));
  interp.conslen = static_cast<int>(cmdline_len(n));
  interp.macrolen = static_cast<int>(macro_len(n));
  interp.maxlrecl = static_cast<int>(12 * n);
  if (perm) spoutsml("({cmd:set maxvar} preference recorded)\n");
  return 0;
}

// The argument of a two-way setting: 0 for `a`, 1 for `b`, or -1 after the
// message "... invalid; must be a or b".
int twoway(const char* a, const char* b, int* rc) {
  std::string arg;
  std::vector<std::string> opts;
  restofline(arg, opts);
  bool perm;
  if ((*rc = permopt(opts, &perm))) return -1;
  if (arg == a) return 0;
  if (arg == b) return 1;
  *rc = errmsgf(RC_SYNTAX, "%s invalid; must be %s or %s\n", arg.empty() ? "nothing" : arg.c_str(), a, b);
  return -1;
}

// set type float|double [, permanently]
int set_type(int) {
  int rc;
  int k = twoway("float", "double", &rc);
  if (k < 0) return rc;
  ds.deftype = k ? ST_DOUBLE : ST_FLOAT;
  return 0;
}

// set varabbrev on|off
int set_varabbrev(int) {
  int rc;
  int k = twoway("on", "off", &rc);
  if (k < 0) return rc;
  ds.varabbrev = k == 0;
  return 0;
}

// _repart width|obs [+|-]#
int cmd_repart(int) {
  std::string what = gettok(prsestd);
  std::string arg;
  std::vector<std::string> opts;
  restofline(arg, opts);
  if (!opts.empty() || (what != "width" && what != "obs")) return error(RC_SYNTAX);
  std::string s;
  for (char c : arg)
    if (c != ' ') s += c;
  int sign = 0;
  if (!s.empty() && (s[0] == '+' || s[0] == '-')) {
    sign = s[0] == '+' ? 1 : -1;
    s.erase(0, 1);
  }
  long n;
  if (!wholenum(s, &n) || n < 0) return error(RC_SYNTAX);
  if (int rc = ds_ensure()) return rc;
  int rc;
  if (what == "width") {
    long w = sign ? ds.syslrecl + sign * n : n;
    rc = setwidth(w);
  } else {
    long target = sign ? ds.maxobs + sign * n : n;
    rc = repart(0, target - ds.maxobs);
    if (target == ds.maxobs) rc = 0;
  }
  return rc ? error(rc) : 0;
}

// drop/keep varlist | [if] [in]
int cmd_dropkeep(int keep) {
  // `drop _all` clears even a dataset without variables.
  TokPos save;
  stattok(&save);
  if (!std::strcmp(gettok(prsestd), "_all") && !*gettok(prsestd)) {
    if (!keep) drop_all();
    return 0;
  }
  resettok(&save);
  ParseResult pr;
  if (int rc = parse({.by = PERM_OPTIONAL, .anysubset = true}, pr)) return rc;
  if (pr.hasvarlist) {
    if (pr.hasif || pr.hasin) return error(RC_SYNTAX);
    if (cmd_bylevel) return errmsgf(RC_NOBY, "%s varlist may not be combined with by\n", keep ? "keep" : "drop");
    return droporkeepvars(vl.varlist_vr, keep != 0);
  }
  if (cmd_bylevel && bys.collecting) {
    // The by driver removes the observations once, after the last group.
    for (long i = ds.nobs1; i <= ds.nobs2; ++i) {
      if ((i & 0x3fff) == 0 && stopflag) return 1;
      bool sel = selobs(i);
      (void)by_markobs(i, keep ? !sel : sel);
    }
    return 0;
  }
  long before = ds.nobs, n;
  if (!pr.hasif) {
    n = keep ? keepobsrange(ds.nobs1, ds.nobs2)
             : [&] {
                 std::vector<char> k(static_cast<size_t>(ds.nobs), 1);
                 for (long i = ds.nobs1; i <= ds.nobs2; ++i) k[static_cast<size_t>(i - 1)] = 0;
                 return dropobs_flags(k);
               }();
  } else {
    std::vector<char> k(static_cast<size_t>(ds.nobs), keep ? 0 : 1);
    for (long i = ds.nobs1; i <= ds.nobs2; ++i) {
      if ((i & 0x3fff) == 0 && stopflag) return 1;
      if (selobs(i)) k[static_cast<size_t>(i - 1)] = keep ? 1 : 0;
    }
    n = dropobs_flags(k);
  }
  (void)before;
  spout21f("(%ld observation%s deleted)\n", n, n == 1 ? "" : "s");
  return 0;
}

// order varlist
int cmd_order(int) {
  ParseResult pr;
  if (int rc = parse({.varlist = PERM_REQUIRED}, pr)) return rc;
  std::vector<int> perm(1, 0);
  std::vector<char> used(static_cast<size_t>(ds.nvar) + 1, 0);
  for (int v : vl.varlist_vr)
    if (!used[static_cast<size_t>(v)]) perm.push_back(v), used[static_cast<size_t>(v)] = 1;
  for (int v = 1; v <= ds.nvar; ++v)
    if (!used[static_cast<size_t>(v)]) perm.push_back(v);
  return reordervars(perm);
}

// count [if] [in]
int cmd_count(int) {
  ParseResult pr;
  if (int rc = parse({.varlist = PERM_NO, .by = PERM_OPTIONAL}, pr)) return rc;
  // A block of observations at a time: the `if` runs as column loops.
  static unsigned char sel[EXPR_BLOCK];
  long n = 0;
  for (long i = ds.nobs1; i <= ds.nobs2; i += EXPR_BLOCK) {
    if (stopflag) return 1;
    long k = std::min(EXPR_BLOCK, ds.nobs2 - i + 1);
    selobs_block(i, k, sel);
    for (long j = 0; j < k; ++j) n += sel[j];
  }
  spout21f("  %ld\n", n);
  retval_clear();
  return retval_set_scalar("N", static_cast<double>(n));
}

// assert exp [if] [in] [, rc0 fast null]
int cmd_assert(int) {
  ExprProg cond;
  if (!*peektok_chr()) return required("expression");
  if (int rc = compexp(cond, EXP_NUM, 0, 0)) return rc;
  ParseResult pr;
  if (int rc = parse_ifinopts({.by = PERM_OPTIONAL}, pr)) return rc;
  bool rc0 = findopt(pr, "rc0", 3, 0) == 1;
  bool fast = findopt(pr, "fast", 4, 0) == 1;
  bool null = findopt(pr, "null", 4, 0) == 1;
  if (int rc = chkopt(pr)) return rc;
  long tested = 0, bad = 0;
  for (long i = ds.nobs1; i <= ds.nobs2; ++i) {
    if ((i & 0x3fff) == 0 && stopflag) return 1;
    if (!selobs(i)) continue;
    ++tested;
    if (evalnum(cond, i) == 0) {
      ++bad;
      if (fast) break;
    }
  }
  if (bad) {
    if (fast)
      errmsgf(RC_REJECTED, "assertion is false\n");
    else
      errmsgf(RC_REJECTED, "%ld contradiction%s in %ld observation%s\nassertion is false\n", bad, bad == 1 ? "" : "s",
              tested, tested == 1 ? "" : "s");
    return rc0 ? 0 : RC_REJECTED;
  }
  if (null && tested == 0) {
    errmsgf(RC_REJECTED, "assertion is false; no observations\n");
    return rc0 ? 0 : RC_REJECTED;
  }
  return 0;
}

// ---------------------------------------------------------------------------
// preserve and restore, with one copy per do-file or program level.

struct Preserved {
  int level;
  DsSnapshot data;
  CharState chars;
  VlState labels;
};
// The preserved copies (one per level at most, innermost last) and the
// do-file or program level running now; reset with the data subsystem.
struct PreserveState {
  std::vector<Preserved> copies;
  int level = 0;
};
PreserveState pres;

int restore_top(bool keep) {
  Preserved& p = pres.copies.back();
  int rc = ds_restore(p.data);
  chs = p.chars;
  vls = p.labels;
  if (!keep) pres.copies.pop_back();
  return rc;
}

int cmd_preserve(int) {
  ParseResult pr;
  if (int rc = parse({.varlist = PERM_NO, .ifexp = PERM_NO, .range = PERM_NO, .options = PERM_OPTIONAL}, pr)) return rc;
  (void)findopt(pr, "changed", 4, 0);
  if (int rc = chkopt(pr)) return rc;
  if (!pres.copies.empty() && pres.copies.back().level == pres.level) return error(RC_PRESERVED);
  Preserved p;
  p.level = pres.level;
  if (int rc = ds_snapshot(p.data)) return rc;
  p.chars = chs;
  p.labels = vls;
  pres.copies.push_back(std::move(p));
  return 0;
}

int cmd_restore(int) {
  ParseResult pr;
  if (int rc = parse({.varlist = PERM_NO, .ifexp = PERM_NO, .range = PERM_NO, .options = PERM_OPTIONAL}, pr)) return rc;
  bool cancel = findopt(pr, "not", 3, 0) == 1;
  bool keep = findopt(pr, "preserve", 8, 0) == 1;
  if (int rc = chkopt(pr)) return rc;
  if (pres.copies.empty() || pres.copies.back().level != pres.level) return error(RC_NORESTORE);
  if (cancel) {
    pres.copies.pop_back();
    return 0;
  }
  return restore_top(keep);
}

}  // namespace

void preserve_level_enter() { ++pres.level; }

void preserve_level_leave() {
  if (!pres.copies.empty() && pres.copies.back().level == pres.level) (void)restore_top(false);
  if (pres.level > 0) --pres.level;
}

void preserve_reset() {
  pres = PreserveState{};
}

GenCounts gencounts;

void data_reset() {
  preserve_reset();
  gencounts = GenCounts{};
  bys = ByState{};
  vl = VarlistState{};
  srt = SortState{};
  vldropall();
  ds_reset();  // characteristics go with the dataset
  chs = CharState{};
}

// The c() values the data store owns: the current dataset, its limits and
// the settings kept with it (`set type`, `set varabbrev`, memory, maxvar).
static void registercvals() {
  creg_add("max_N_current", [](CValue& v) { cval_num(v, static_cast<double>(obscapacity())); });
  creg_add("max_k_current", [](CValue& v) { cval_num(v, ds.maxmaxvar); });
  creg_add("max_width_current", [](CValue& v) { cval_num(v, static_cast<double>(ds.maxlrecl)); });
  creg_add("N", [](CValue& v) { cval_num(v, static_cast<double>(ds.nobs)); });
  creg_add("k", [](CValue& v) { cval_num(v, ds.nvar); });
  creg_add("width", [](CValue& v) { cval_num(v, static_cast<double>(ds.lrecl)); });
  creg_add("changed", [](CValue& v) { cval_num(v, ds.updata ? 1 : 0); });
  creg_add("filename", [](CValue& v) {
    const std::string* p = macget_global("S_FN");
    cval_str(v, p ? *p : "");
  });
  creg_add("filedate", [](CValue& v) {
    const std::string* p = macget_global("S_FNDATE");
    cval_str(v, p ? *p : "");
  });
  creg_add("memory", [](CValue& v) { cval_num(v, static_cast<double>(memory_reported())); });
  creg_add("maxvar", [](CValue& v) { cval_num(v, ds.maxmaxvar); });
  creg_add("varabbrev", [](CValue& v) { cval_str(v, cval_onoff(ds.varabbrev)); });
  creg_add("type", [](CValue& v) { cval_str(v, ds.deftype == ST_DOUBLE ? "double" : "float"); });
}

void data_bindcommands() {
  registercvals();
  cmdbind("drop", cmd_dropkeep, 0);
  cmdbind("keep", cmd_dropkeep, 1);
  cmdbind("order", cmd_order);
  cmdbind("count", cmd_count);
  cmdbind("assert", cmd_assert);
  cmdbind("preserve", cmd_preserve);
  cmdbind("restore", cmd_restore);
  data_binddatasig();
  cmdbind("_repart", cmd_repart);
  setbind("obs", 3, set_obs);
  setbind("memory", 3, set_memory);
  setbind("maxvar", 6, set_maxvar);
  setbind("type", 4, set_type);
  setbind("varabbrev", 4, set_varabbrev);
  level_hooks_add(preserve_level_enter, preserve_level_leave);
  data_bindlist();
  data_bindinput();
  data_bindchars();
  data_bindsort();
  data_bindlabels();
  data_bindby();
  data_bindencode();
  data_bindnumtext();
  data_bindrecode();
  data_bindvalcmds();
  data_bindexpand();
  data_bindtsdeclare();
  data_bindrename();
}
