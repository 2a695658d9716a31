// grpstat: a new variable holding a statistic of each observation's group
// (count, mean, sd, min, max, total, median, percentiles, iqr, rank,
// standardised values), a group number or first-in-group tag, a statistic
// across the variables of each row, or interval categories (cut):
//   grpstat [type] newvar = fcn(arguments) [if] [in] [weight] [, by(varlist) options]
// Weights reach the statistics of an expression (count, mean, sd, total,
// percentiles, std) as in collapse.
// Groups are coded once by counting (levels.cpp) and the statistics are
// accumulated per group code (grpacc.cpp): no sort of the dataset.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <new>
#include <numeric>
#include <string>
#include <vector>

#include "data/by.h"
#include "data/store.h"
#include "data/varlist.h"
#include "expr/expr.h"
#include "interp/cmdtab.h"
#include "interp/program.h"
#include "interp/tokenizer.h"
#include "output/errors.h"
#include "output/output.h"
#include "platform/platform.h"
#include "stats/grpacc.h"
#include "stats/grpdense.h"
#include "stats/levels.h"
#include "stats/stats.h"

namespace {

constexpr long BLK = EXPR_BLOCK;

// How the function's argument is read.
enum ArgKind { A_EXP, A_VARS, A_VAR };

struct Fn {
  const char* name;
  ArgKind arg;
  int deftype;  // 0: the default type (`set type`)
};

// The functions, by the kind of argument they take.
const Fn fns[] = {
    {"count", A_EXP, ST_LONG},  {"mean", A_EXP, 0},       {"sd", A_EXP, 0},
    {"min", A_EXP, 0},          {"max", A_EXP, 0},        {"total", A_EXP, 0},
    {"sum", A_EXP, 0},          {"median", A_EXP, 0},     {"pctile", A_EXP, 0},
    {"iqr", A_EXP, 0},          {"rank", A_EXP, 0},       {"std", A_EXP, 0},
    {"group", A_VARS, ST_LONG}, {"tag", A_VARS, ST_BYTE}, {"rowmean", A_VARS, 0},
    {"rowtotal", A_VARS, 0},    {"rowmin", A_VARS, 0},    {"rowmax", A_VARS, 0},
    {"rownonmiss", A_VARS, ST_LONG}, {"rowmiss", A_VARS, ST_LONG}, {"rowsd", A_VARS, 0},
    {"cut", A_VAR, 0},
};

// Parses a variable list from text (numeric variables only when numeric).
int textvars(const std::string& text, std::vector<int>& vars, bool numeric) {
  if (int rc = st_textvars(text, vars)) return rc;
  if (numeric)
    for (int v : vars)
      if (isstrtype(vartype(v))) return error(RC_TYPEMISMATCH);
  return 0;
}

// The result of one observation range: r[i] for obs lo+i.
struct Result {
  long lo = 1;
  std::vector<double> r;
};

// Values of prog for observations obs..obs+m-1; a bare numeric variable is
// read straight from its column.
struct ExpSource {
  ExprProg prog;
  int var = 0;  // the expression is this variable alone
  void fetch(long obs, long m, double* x) const {
    if (var)
      expr_gather(var, obs, m, x);
    else
      evalnum_block(prog, obs, m, x, nullptr);
  }
};

int compileexp(const std::string& text, ExpSource& src) {
  if (int rc = compexp_u(text.c_str(), src.prog, EXP_NUM)) return rc;
  std::string t = text;
  t.erase(0, t.find_first_not_of(' '));
  while (!t.empty() && t.back() == ' ') t.pop_back();
  const int v = findvarexact(t.c_str());
  if (v > 0 && !isstrtype(vartype(v))) src.var = v;
  return 0;
}

// Ranks within groups: ties averaged, or the field / track / unique rules.
int ranks(const LvCodes& code, const std::vector<double>& x, int rule, Result& res) {
  std::vector<long> idx;
  for (size_t i = 0; i < code.size(); ++i)
    if (code[i] >= 0 && x[i] < misval) idx.push_back(static_cast<long>(i));
  std::stable_sort(idx.begin(), idx.end(), [&](long a, long b) {
    const int32_t ca = code[static_cast<size_t>(a)], cb = code[static_cast<size_t>(b)];
    return ca != cb ? ca < cb : x[static_cast<size_t>(a)] < x[static_cast<size_t>(b)];
  });
  size_t g0 = 0;
  while (g0 < idx.size()) {
    if (stopflag) return 1;
    const int32_t c = code[static_cast<size_t>(idx[g0])];
    size_t g1 = g0;
    while (g1 < idx.size() && code[static_cast<size_t>(idx[g1])] == c) ++g1;
    const double n = static_cast<double>(g1 - g0);
    for (size_t a = g0; a < g1;) {
      size_t b = a;
      while (b < g1 && x[static_cast<size_t>(idx[b])] == x[static_cast<size_t>(idx[a])]) ++b;
      for (size_t k = a; k < b; ++k) {
        const double lowrank = static_cast<double>(a - g0) + 1, highrank = static_cast<double>(b - g0);
        double r;
        switch (rule) {
          case 1: r = n - highrank + 1; break;            // field: 1 for the largest
          case 2: r = lowrank; break;                       // track: 1 for the smallest
          case 3: r = static_cast<double>(k - g0) + 1; break;  // unique
          default: r = (lowrank + highrank) / 2; break;
        }
        res.r[static_cast<size_t>(idx[k])] = r;
      }
      a = b;
    }
    g0 = g1;
  }
  return 0;
}

// A statistic across the variables of each observation.
void rowstat(const std::string& fn, const std::vector<int>& vars, const StSample& s, bool allmiss,
             Result& res) {
  const long n = static_cast<long>(res.r.size());
  const size_t k = vars.size();
  std::vector<double> cols(k * static_cast<size_t>(BLK));
  for (long o = 0; o < n; o += BLK) {
    const long m = std::min(BLK, n - o);
    for (size_t j = 0; j < k; ++j) expr_gather(vars[j], s.lo + o, m, cols.data() + j * static_cast<size_t>(BLK));
    for (long i = 0; i < m; ++i) {
      if (!s.selected(s.lo + o + i)) continue;
      double sum = 0, mn = misval, mx = misval;
      long cnt = 0;
      for (size_t j = 0; j < k; ++j) {
        const double v = cols[j * static_cast<size_t>(BLK) + static_cast<size_t>(i)];
        if (v >= misval) continue;
        ++cnt;
        sum += v;
        if (mn >= misval || v < mn) mn = v;
        if (mx >= misval || v > mx) mx = v;
      }
      double r;
      if (fn == "rowmean") {
        r = cnt ? sum / static_cast<double>(cnt) : misval;
      } else if (fn == "rowtotal") {
        r = cnt || !allmiss ? sum : misval;
      } else if (fn == "rowmin") {
        r = mn;
      } else if (fn == "rowmax") {
        r = mx;
      } else if (fn == "rownonmiss") {
        r = static_cast<double>(cnt);
      } else if (fn == "rowmiss") {
        r = static_cast<double>(static_cast<long>(k) - cnt);
      } else {  // rowsd
        r = misval;
        if (cnt > 1) {
          const double mean = sum / static_cast<double>(cnt);
          double ss = 0;
          for (size_t j = 0; j < k; ++j) {
            const double v = cols[j * static_cast<size_t>(BLK) + static_cast<size_t>(i)];
            if (v < misval) ss += (v - mean) * (v - mean);
          }
          r = std::sqrt(ss / static_cast<double>(cnt - 1));
        }
      }
      res.r[static_cast<size_t>(o + i)] = r;
    }
  }
}

// cut: the left end of the interval of at[] holding each value (or its
// number from 0 with icodes); values below the first or at or above the
// last point are missing.
void cutvals(int var, const StSample& s, const std::vector<double>& at, bool icodes, Result& res) {
  const long n = static_cast<long>(res.r.size());
  double x[BLK];
  for (long o = 0; o < n; o += BLK) {
    const long m = std::min(BLK, n - o);
    expr_gather(var, s.lo + o, m, x);
    for (long i = 0; i < m; ++i) {
      if (!s.selected(s.lo + o + i) || x[i] >= misval) continue;
      const auto it = std::upper_bound(at.begin(), at.end(), x[i]);
      if (it == at.begin() || it == at.end()) continue;
      const long k = (it - at.begin()) - 1;
      res.r[static_cast<size_t>(o + i)] = icodes ? static_cast<double>(k) : at[static_cast<size_t>(k)];
    }
  }
}

// Writes a new variable whose values at observations lo..lo+n-1 come from
// fill(i, m, buf) (buf[k] for obs lo+i+k), missing elsewhere; the variable
// is dropped again on a Break. *nmiss receives the missing values made.
using Fill = std::function<void(long i, long m, double* buf)>;
int writevar(const std::string& name, int type, long lo, long n, const Fill& fill, long* nmiss) {
  if (int rc = addvar_uninit(name.c_str(), type)) return rc;
  const int v = ds.nvar;
  const ColView cv = colview(v);
  double buf[BLK];
  *nmiss = 0;
  for (long o = 1; o <= ds.nobs; o += BLK) {
    if (stopflag) {
      std::vector<char> drop(static_cast<size_t>(ds.nvar + 1), 0);
      drop[static_cast<size_t>(v)] = 1;
      (void)dropvars_flagged(drop);
      return 1;
    }
    const long m = std::min(BLK, ds.nobs - o + 1);
    if (o >= lo && o + m <= lo + n) {
      fill(o - lo, m, buf);
    } else {
      for (long k = 0; k < m; ++k) {
        const long i = o + k - lo;
        if (i >= 0 && i < n)
          fill(i, 1, buf + k);
        else
          buf[k] = misval;
      }
    }
    long nm = 0;
    for (long k = 0; k < m; ++k) nm += buf[k] >= misval;
    *nmiss += nm;
    col_encode(cv, o, m, buf);
  }
  s_updata(v);
  return 0;
}

// Whether function fn takes weights: the statistics of an expression's
// values; ranks, groups, row statistics and cut points do not.
bool weighable(const std::string& fn) {
  static const char* const ok[] = {"count", "mean", "sd",     "min", "max", "total",
                                   "sum",   "median", "pctile", "iqr", "std"};
  for (const char* n : ok)
    if (fn == n) return true;
  return false;
}

// Applies the weight rules (401/402) to every selected observation; a weight
// that leaves its observation out becomes 0.
int checkweights(StSample& s) {
  for (size_t i = 0; i < s.w.size(); ++i) {
    if (!s.selected(s.lo + static_cast<long>(i))) continue;
    bool use;
    if (int rc = st_checkweight(s.wkind, s.w[i], &use)) return rc;
    if (!use) s.w[i] = 0;
  }
  return 0;
}

// The note on missing values made; returns 0.
int missnote(long nmiss) {
  if (nmiss) {
    char b[80];
    std::snprintf(b, sizeof b, "(%ld missing value%s generated)\n", nmiss, plural_s(nmiss));
    st_note(b);
  }
  return 0;
}

// The new variable of a mean, sum or count of a variable by a dense key
// (grpdense.h): each slot's figure is made into a cell once, and every
// observation copies the cell of its slot. Dropped again on a Break.
int densevar(const std::string& name, int type, const std::string& fname, const GdKey& key, GdSums& sums,
             long lo, long n) {
  const long ns = static_cast<long>(key.nslot());
  const int what = fname == "count" ? 0 : fname == "mean" ? 1 : 2;
  const int w = typewidth(type);
  // The cells are made over the sums, a block of slots at a time: cell k
  // ends before the sums of slot k + 1 begin, so no sum is overwritten
  // before it is read (and no fresh memory is needed).
  static_assert(sizeof(GdCell) >= 8);
  unsigned char* const cells = reinterpret_cast<unsigned char*>(sums.cell.data());
  long nmiss = ds.nobs - n;  // the observations outside the range
  double fig[BLK];
  for (long k0 = 0; k0 < ns; k0 += BLK) {
    const long m = std::min(BLK, ns - k0);
    for (long j = 0; j < m; ++j) {
      const size_t k = static_cast<size_t>(k0 + j);
      const double cnt = static_cast<double>(sums.n(k));
      fig[j] = what == 0 ? cnt : what == 2 ? sums.sum(k) : sums.n(k) > 0 ? sums.sum(k) / cnt : misval;
      if (fig[j] >= misval) nmiss += sums.obs(k);
    }
    col_encode(ColView{cells + k0 * w, w, type}, 1, m, fig);
  }
  if (int rc = addvar_uninit(name.c_str(), type)) return rc;
  const int v = ds.nvar;
  const ColView cv = colview(v);
  for (long o = 1; o < lo; ++o) cv.put(o, misval);
  for (long o = lo + n; o <= ds.nobs; ++o) cv.put(o, misval);
  if (n > 0 && gd_fill(key, cells, w, lo, n, cv.at(lo))) {
    std::vector<char> drop(static_cast<size_t>(ds.nvar + 1), 0);
    drop[static_cast<size_t>(v)] = 1;
    (void)dropvars_flagged(drop);
    return 1;
  }
  s_updata(v);
  return missnote(nmiss);
}

struct GsOpts {
  std::string by;           // by() variables
  bool missing = false;     // group/tag/rowtotal: missing values count
  double p = 50;            // pctile's p()
  int rankrule = 0;         // 0 average, 1 field, 2 track, 3 unique
  double smean = 0, sstd = 1;  // std's mean() and std()
  std::vector<double> at;   // cut points
  long ngroup = 0;          // cut's group(#)
  bool icodes = false;
};

int readopts(ParseResult& pr, const std::string& fn, GsOpts& o) {
  (void)findargn(pr, "by", 2, o.by, 4000, 1000);
  o.missing = findopt(pr, "missing", 1, 0) == 1;
  if (fn == "pctile") {
    double p = 50;
    if (findoptv(pr, "p", 1, &p, 1, 0) == 1) {
      if (!(p > 0 && p < 100)) return errmsgf(RC_SYNTAX, "p() must be between 0 and 100\n");
      o.p = p;
    }
  }
  if (fn == "rank") {
    const bool field = findopt(pr, "field", 5, 0) == 1, track = findopt(pr, "track", 5, 0) == 1,
               uniq = findopt(pr, "unique", 6, 0) == 1;
    if (field + track + uniq > 1) return errmsgf(RC_NOTCOMBINED, "options field, track and unique may not be combined\n");
    o.rankrule = field ? 1 : track ? 2 : uniq ? 3 : 0;
  }
  if (fn == "std") {
    (void)findoptv(pr, "mean", 4, &o.smean, 1, 0);
    if (findoptv(pr, "std", 3, &o.sstd, 1, 0) == 1 && !(o.sstd > 0))
      return errmsgf(RC_SYNTAX, "std() must be positive\n");
  }
  if (fn == "cut") {
    std::string at;
    if (findargasis(pr, "at", 2, at, 4000)) {
      NumlistSpec shape;
      if (int rc = numlist_expand(at.c_str(), shape, o.at, false)) return rc;
      if (o.at.size() < 2 || !std::is_sorted(o.at.begin(), o.at.end()) ||
          std::adjacent_find(o.at.begin(), o.at.end()) != o.at.end())
        return errmsgf(RC_SYNTAX, "at() needs at least two increasing numbers\n");
    }
    o.ngroup = findopta(pr, "group", 5, 0);
    o.icodes = findopt(pr, "icodes", 5, 0) == 1;
    if (o.at.empty() == (o.ngroup == 0)) return errmsgf(RC_SYNTAX, "cut needs one of at() or group()\n");
    if (o.ngroup < 0 || o.ngroup > 10000) return errmsgf(RC_SYNTAX, "group() invalid\n");
  }
  return chkopt(pr);
}

// grpstat [type] newvar = fcn(arguments) [if] [in] [weight] [, options]
int cmd_grpstat(int) {
  ParseResult pr;
  std::string w = gettok(prsestd);
  int type = typecode(w.c_str());
  if (type) w = gettok(prsestd);
  const std::string newname = w;
  if (newname.empty() || newname == "=") return required("new variable name");
  if (std::string(gettok(prsestd)) != "=") return required("=");
  const std::string fname = gettok(prsestd);
  const Fn* fn = nullptr;
  for (const Fn& f : fns)
    if (fname == f.name) fn = &f;
  if (!fn) return errmsgf(RC_UNKNOWNFN, "unknown function %s()\n", fname.c_str());
  // The argument runs to the matching parenthesis.
  const char* p = wheretok();
  while (*p == ' ') ++p;
  if (*p != '(') return errmsgf(RC_SYNTAX, "%s() needs its arguments in parentheses\n", fname.c_str());
  int depth = 0;
  const char* q = p;
  for (; *q; ++q) {
    if (*q == '"') {
      const char* e = std::strchr(q + 1, '"');
      if (!e) return unmatchedquote();
      q = e;
      continue;
    }
    if (*q == '(') ++depth;
    if (*q == ')' && --depth == 0) break;
  }
  if (!*q) return required(")");
  const std::string arg(p + 1, q);
  settok(q + 1);
  if (int rc = parse({.varlist = PERM_NO, .weight = PERM_OPTIONAL, .options = PERM_OPTIONAL, .by = PERM_OPTIONAL}, pr)) return rc;
  GsOpts o;
  if (int rc = readopts(pr, fname, o)) return rc;
  if (int rc = chkvarname(newname.c_str())) return rc;
  if (findvarexact(newname.c_str())) return errmsgf(RC_DEFINED, "%s already defined\n", newname.c_str());
  if (type && isstrtype(type)) return error(RC_TYPEMISMATCH);
  if (!type) type = fn->deftype ? fn->deftype : ds.deftype;
  if (arg.find_first_not_of(' ') == std::string::npos) return errmsgf(RC_SYNTAX, "%s() needs an argument\n", fname.c_str());
  if (pr.hasweight && !weighable(fname))
    return errmsgf(RC_NOTALLOWED, "weights not allowed with %s()\n", fname.c_str());
  std::vector<int> byvars;
  if (cmd_bylevel) {
    // Under the by prefix the command makes every group at once.
    if (!o.by.empty()) return error(RC_NOBY);
    if (!by_wholerun()) return error(RC_NOBY);
    byvars = bys.sysbylist;
    if (!pr.hasin) ds.nobs1 = 1, ds.nobs2 = ds.nobs;
  } else if (!o.by.empty()) {
    if (fn->arg != A_EXP) return errmsgf(RC_NOBY, "%s() may not be combined with by\n", fname.c_str());
    if (int rc = textvars(o.by, byvars, false)) return rc;
  }
  if (!byvars.empty() && fn->arg != A_EXP) return errmsgf(RC_NOBY, "%s() may not be combined with by\n", fname.c_str());
  try {
    StSample s;
    if (int rc = st_sample(s, pr)) return rc;
    if (int rc = checkweights(s)) return rc;
    Result res;
    res.lo = s.lo;
    const long n = s.hi >= s.lo ? s.hi - s.lo + 1 : 0;
    // the figures of each observation, for the functions that make them one by one
    auto need = [&] { res.r.assign(static_cast<size_t>(n), misval); };
    if (fn->arg == A_EXP) {
      ExpSource src;
      if (int rc = compileexp(arg, src)) return rc;
      // Mean, sum or count of a variable by one small whole-number key: the
      // key's slots index the sums, with no group codes (grpdense.h).
      if ((fname == "mean" || fname == "sum" || fname == "total" || fname == "count") && src.var &&
          byvars.size() == 1 && s.sel.empty() && s.w.empty() && !isstrtype(vartype(byvars[0]))) {
        GdKey key;
        key.var = byvars[0];
        GdSums sums;
        bool dense = false;
        if (int rc = gd_sums(key, src.var, s.lo, s.hi, sums, &dense)) return rc;
        if (dense) return densevar(newname, type, fname, key, sums, s.lo, n);
      }
      LvCodes code;
      int ng = 1;
      if (byvars.empty()) {
        code.assign(static_cast<size_t>(n), 0);
        for (long i = 0; i < n; ++i)
          if (!s.selected(s.lo + i)) code[static_cast<size_t>(i)] = -1;
      } else if (int rc = lv_groups(byvars, s, code, &ng, nullptr)) {
        return rc;
      }
      const GsFetch fetch = [&src](long obs, long m, double* x) { src.fetch(obs, m, x); };
      if (fname == "rank") {
        need();
        std::vector<double> x(static_cast<size_t>(n));
        for (long o2 = 0; o2 < n; o2 += BLK) src.fetch(s.lo + o2, std::min(BLK, n - o2), x.data() + o2);
        if (int rc = ranks(code, x, o.rankrule, res)) return rc;
      } else {
        int stat = GS_MEAN;
        double pp = 0;
        if (fname == "pctile")
          stat = GS_PCTILE, pp = o.p;
        else if (fname != "std" && !gs_lookup(fname, &stat, &pp))
          return errmsgf(RC_UNKNOWNFN, "unknown function %s()\n", fname.c_str());
        std::vector<double> out;
        // a plain variable is read from two threads at once where the data are long
        if (int rc = gs_compute(stat, pp, s.lo, code, ng, fetch, s.w, s.wkind, out, src.var != 0)) return rc;
        if (fname == "std") {
          need();
          std::vector<double> sd;
          if (int rc = gs_compute(GS_SD, 0, s.lo, code, ng, fetch, s.w, s.wkind, sd, src.var != 0)) return rc;
          double x[BLK];
          for (long o2 = 0; o2 < n; o2 += BLK) {
            const long m = std::min(BLK, n - o2);
            src.fetch(s.lo + o2, m, x);
            for (long k = 0; k < m; ++k) {
              const int32_t c = code[static_cast<size_t>(o2 + k)];
              if (c < 0 || x[k] >= misval) continue;
              const double mu = out[static_cast<size_t>(c)], sg = sd[static_cast<size_t>(c)];
              if (mu < misval && sg < misval && sg > 0)
                res.r[static_cast<size_t>(o2 + k)] = (x[k] - mu) / sg * o.sstd + o.smean;
            }
          }
        } else {
          // each observation takes its group's figure, written straight
          // into the new variable
          const double* op = out.data();
          const int32_t* cp = code.data();
          long nmiss = 0;
          const Fill fill = [op, cp](long i, long m, double* buf) {
            for (long k = 0; k < m; ++k) buf[k] = cp[i + k] >= 0 ? op[cp[i + k]] : misval;
          };
          if (int rc = writevar(newname, type, s.lo, n, fill, &nmiss)) return rc;
          return missnote(nmiss);
        }
      }
    } else if (fn->arg == A_VARS) {
      need();
      std::vector<int> vars;
      const bool rowfn = fname.compare(0, 3, "row") == 0;
      if (int rc = textvars(arg, vars, rowfn)) return rc;
      if (rowfn) {
        rowstat(fname, vars, s, o.missing, res);
      } else {
        LvCodes code;
        std::vector<long> first;
        int ng = 0;
        if (int rc = lv_groups(vars, s, code, &ng, &first)) return rc;
        // without `missing`, observations with a missing value in the list
        // belong to no group
        std::vector<char> skip(static_cast<size_t>(n), 0);
        if (!o.missing) {
          std::string t;
          for (int v : vars)
            for (long i = 0; i < n; ++i) {
              if (isstrtype(vartype(v))) {
                szelta_data(v, s.lo + i, t);
                if (t.empty()) skip[static_cast<size_t>(i)] = 1;
              } else if (zelta_data(v, s.lo + i) >= misval) {
                skip[static_cast<size_t>(i)] = 1;
              }
            }
        }
        if (fname == "group") {
          // groups renumbered from 1 over the groups that remain
          std::vector<int32_t> num(static_cast<size_t>(ng), 0);
          for (long i = 0; i < n; ++i)
            if (code[static_cast<size_t>(i)] >= 0 && !skip[static_cast<size_t>(i)]) num[static_cast<size_t>(code[static_cast<size_t>(i)])] = 1;
          int32_t next = 0;
          for (int32_t& x : num)
            if (x) x = ++next;
          for (long i = 0; i < n; ++i)
            if (code[static_cast<size_t>(i)] >= 0 && !skip[static_cast<size_t>(i)])
              res.r[static_cast<size_t>(i)] = num[static_cast<size_t>(code[static_cast<size_t>(i)])];
        } else {  // tag
          std::vector<char> done(static_cast<size_t>(ng), 0);
          for (long i = 0; i < n; ++i) {
            res.r[static_cast<size_t>(i)] = 0;
            const int32_t c = code[static_cast<size_t>(i)];
            if (c < 0 || skip[static_cast<size_t>(i)] || done[static_cast<size_t>(c)]) continue;
            done[static_cast<size_t>(c)] = 1;
            res.r[static_cast<size_t>(i)] = 1;
          }
        }
      }
    } else {  // cut
      need();
      std::vector<int> vars;
      if (int rc = textvars(arg, vars, true)) return rc;
      if (vars.size() != 1) return error(RC_TOOMANYVARS);
      std::vector<double> at = o.at;
      if (o.ngroup > 0) {
        // equal-frequency groups: cut points at the quantiles
        std::vector<double> xs;
        for (long i = 0; i < n; ++i) {
          if (!s.selected(s.lo + i)) continue;
          const double v = zelta_data(vars[0], s.lo + i);
          if (v < misval) xs.push_back(v);
        }
        if (xs.empty()) return st_noobs();
        std::sort(xs.begin(), xs.end());
        at.push_back(xs.front());
        for (long k = 1; k < o.ngroup; ++k) {
          const double c = gs_pctile(xs.data(), nullptr, static_cast<long>(xs.size()), 100.0 * static_cast<double>(k) / static_cast<double>(o.ngroup));
          if (c > at.back()) at.push_back(c);
        }
        at.push_back(std::nextafter(xs.back(), HUGE_VAL));
      }
      cutvals(vars[0], s, at, o.icodes, res);
    }
    const double* rp = res.r.data();
    const Fill fill = [rp](long i, long m, double* buf) { std::copy(rp + i, rp + i + m, buf); };
    long nmiss = 0;
    if (int rc = writevar(newname, type, s.lo, n, fill, &nmiss)) return rc;
    return missnote(nmiss);
  } catch (const std::bad_alloc&) {
    return error(RC_NOMEM);
  }
  return 0;
}

}  // namespace

void stats_bindgrpstat() {
  cmdbind("grpstat", cmd_grpstat);
  by_allow("grpstat", false);
}
