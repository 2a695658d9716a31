// The `serset` command: creating series sets from the dataset, selecting,
// listing, summarising, sorting, dumping and dropping them, loading one into
// the dataset, and the derived sets (medians of x bands, cubic splines).
#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "data/store.h"
#include "data/varlist.h"
#include "expr/expr.h"
#include "graphics/graphics.h"
#include "interp/cmdtab.h"
#include "interp/tokenizer.h"
#include "output/errors.h"
#include "output/format.h"
#include "output/output.h"
#include "platform/platform.h"

namespace {

enum { OMIT_ANY, OMIT_ALL, OMIT_DUP, OMIT_NOTHING };

const char* plural(long n) { return n == 1 ? "" : "s"; }

// Parses a variable list from text (an option's argument) into out.
int textvarlist(const std::string& text, std::vector<int>& out) {
  TokState saved;
  borrow_gettok(&saved);
  settok(text.c_str());
  VarlistState keep = vl;
  int rc = ssvlist(VL_EXISTING);
  if (!rc) out = vl.varlist_vr;
  vl = keep;
  return_gettok(&saved);
  return rc;
}

// True when the value of variable v at obs counts as missing.
bool cellmiss(int v, long obs) {
  if (isstrtype(vartype(v))) {
    std::string s;
    szelta_data(v, obs, s);
    return s.empty();
  }
  return zelta_data(v, obs) >= misval;
}

// Compares two observations on the sort variables (strings before numbers
// never meet: a variable is one or the other).
bool obsless(const std::vector<int>& keys, long a, long b) {
  for (int v : keys) {
    if (isstrtype(vartype(v))) {
      std::string x, y;
      szelta_data(v, a, x);
      szelta_data(v, b, y);
      int c = x.compare(y);
      if (c) return c < 0;
    } else {
      double x = zelta_data(v, a), y = zelta_data(v, b);
      if (x != y) return x < y;
    }
  }
  return false;
}

void updminmax(Serset& s, int j, double v) {
  if (v >= misval) return;
  if (v < s.mins[j]) s.mins[j] = v;
  if (v > s.maxs[j]) s.maxs[j] = v;
}

// After a set is built: a numeric variable without a value gets . as maximum.
void finishminmax(Serset& s) {
  for (int j = 0; j < s.k; ++j)
    if (!isstrtype(s.types[j]) && s.maxs[j] == -misval) s.maxs[j] = misval;
}

int nosuchset(int id) { return errmsgf(RC_NOTFOUND, "series %d not found\n", id); }

// serset create varlist [if] [in] [, omitanymiss|omitallmiss|omitdupmiss|omitnothing sort(varlist)]
int ss_create() {
  ParseResult pr;
  if (int rc = parse({.varlist = PERM_REQUIRED, .options = PERM_OPTIONAL}, pr)) return rc;
  std::vector<int> vars = vl.varlist_vr;
  for (size_t i = 0; i < vl.varlist_rcp.size(); ++i)
    if (!vl.varlist_rcp[i].plain()) return errmsgf(RC_NOTALLOWED, "time-series operators not allowed\n");
  int omit = OMIT_ALL, nomit = 0;
  if (findopt(pr, "omitanymiss", 8, 0) == 1) omit = OMIT_ANY, ++nomit;
  if (findopt(pr, "omitallmiss", 8, 0) == 1) omit = OMIT_ALL, ++nomit;
  if (findopt(pr, "omitdupmiss", 8, 0) == 1) omit = OMIT_DUP, ++nomit;
  if (findopt(pr, "omitnothing", 5, 0) == 1) omit = OMIT_NOTHING, ++nomit;
  std::string sorttext;
  bool hassort = findargasis(pr, "sort", 4, sorttext, 2000);
  if (int rc = chkopt(pr)) return rc;
  if (nomit > 1) {
    int prev = setoutlev(OUT_ERROR);
    spoutsml("{p}may only specify one of options omitanymiss, omitallmiss, omitdupmiss, and "
             "omitnothing{p_end}\n");
    setoutlev(prev);
    return RC_SYNTAX;
  }
  std::vector<int> keys;
  if (hassort) {
    if (int rc = textvarlist(sorttext, keys)) return rc;
    if (keys.size() > 10) return error(RC_TOOMANYVARS);
  }
  if (vars.size() > SS_MAXVARS) return error(RC_TOOMANYVARS);
  const int k = static_cast<int>(vars.size());
  // Which observations: the range, the condition and the omission rule.
  std::vector<long> obs;
  bool prevallmiss = false;
  for (long i = ds.nobs1; i <= ds.nobs2; ++i) {
    if ((i & 0x3fff) == 0 && stopflag) return 1;
    if (!selobs(i)) continue;
    int nmiss = 0;
    if (omit != OMIT_NOTHING)
      for (int v : vars) nmiss += cellmiss(v, i);
    bool allmiss = nmiss == k;
    if (omit == OMIT_ANY && nmiss) continue;
    if (omit == OMIT_ALL && allmiss) continue;
    if (omit == OMIT_DUP && allmiss && (prevallmiss || obs.empty())) continue;
    prevallmiss = allmiss;
    obs.push_back(i);
  }
  if (!keys.empty())
    std::stable_sort(obs.begin(), obs.end(), [&](long a, long b) { return obsless(keys, a, b); });
  unsigned char types[SS_MAXVARS];
  std::string names[SS_MAXVARS], fmts[SS_MAXVARS];
  for (int j = 0; j < k; ++j) {
    types[j] = static_cast<unsigned char>(vartype(vars[static_cast<size_t>(j)]));
    names[j] = varname(vars[static_cast<size_t>(j)]);
    fmts[j] = ds.fmtlist[static_cast<size_t>(vars[static_cast<size_t>(j)])];
  }
  int id = 0;
  if (int rc = serset_new(k, types, names, fmts, &id)) return rc;
  Serset& s = *serset_cur();
  std::vector<unsigned char> rec(static_cast<size_t>(s.lrec));
  std::string str;
  long done = 0;
  for (long i : obs) {
    if ((++done & 0x3fff) == 0 && stopflag) {
      serset_drop(id);
      return 1;
    }
    for (int j = 0; j < k; ++j) {
      int v = vars[static_cast<size_t>(j)];
      unsigned char* p = rec.data() + s.offs[j];
      if (isstrtype(s.types[j])) {
        szelta_data(v, i, str);
        std::memset(p, 0, s.types[j]);
        std::memcpy(p, str.data(), std::min<size_t>(str.size(), s.types[j]));
      } else {
        double x = zelta_data(v, i);
        ss_encode(s.types[j], x, p);
        updminmax(s, j, x);
      }
    }
    if (serset_append(rec.data())) {
      serset_drop(id);
      return errmsgf(RC_WRITE, "serset:  I/O error writing the set\n");
    }
  }
  finishminmax(s);
  if (serset_flush()) {
    serset_drop(id);
    return errmsgf(RC_WRITE, "serset:  I/O error writing the set\n");
  }
  serset_postr(s.n, s.k, id);
  return 0;
}

// An integer argument; 0, or 198 when it is not one.
int intarg(const char* w, int* out) {
  char* end = nullptr;
  long v = std::strtol(w, &end, 10);
  if (!*w || *end || v < -1000000 || v > 1000000) return invalid(w);
  *out = static_cast<int>(v);
  return 0;
}

int needcur() {
  if (!serset_cur()) return errmsgf(RC_NOTFOUND, "no serset in use\n");
  return 0;
}

int restempty() {
  const char* p = peektok_chr();
  if (p && *p) return notalow(gettok(prsestd));
  return 0;
}

// serset set #
int ss_set() {
  const char* w = gettok(prsestd);
  if (!*w) return required("serset number");
  int id = 0;
  if (int rc = intarg(w, &id)) return rc;
  if (int rc = restempty()) return rc;
  if (serset_set(id)) return nosuchset(id);
  Serset& s = *serset_cur();
  serset_postr(s.n, s.k, id);
  return 0;
}

// serset dir
int ss_dir() {
  if (int rc = restempty()) return rc;
  int saved = serset_borrow();
  for (int i = 0; i < SS_MAXSETS; ++i) {
    if (!sst.dir[i].seq) continue;
    Serset& s = *sst.dir[i].set;
    std::string t = std::to_string(i) + ".  " + std::to_string(s.n) + " observation" +
                    plural(s.n) + " on " + std::to_string(s.k) + " variable" + plural(s.k) + "\n";
    spout21(t.c_str());
    std::string line = "    ";
    for (int j = 0; j < s.k; ++j) line += (j ? " " : "") + s.names[j];
    line += "\n";
    spout21(line.c_str());
  }
  serset_return(saved);
  return 0;
}

// serset drop [numlist]  (the current set without a list)
int ss_drop() {
  std::vector<int> ids;
  for (;;) {
    const char* w = gettok(prsestd);
    if (!*w) break;
    int id = 0;
    if (int rc = intarg(w, &id)) return rc;
    if (id < 0 || id >= SS_MAXSETS || !sst.dir[id].seq) return nosuchset(id);
    ids.push_back(id);
  }
  if (ids.empty()) {
    if (int rc = needcur()) return rc;
    ids.push_back(sst.cur);
  }
  for (int id : ids) serset_drop(id);
  return 0;
}

// serset summarize [# [positive]]: the minimum and maximum of each variable,
// or of one (numbered from 1) with r(min) and r(max); `positive` counts only
// values above 0, as a log scale needs.
int ss_summarize() {
  if (int rc = needcur()) return rc;
  Serset& s = *serset_cur();
  const char* w = gettok(prsestd);
  if (*w) {
    int j = 0;
    if (int rc = intarg(w, &j)) return rc;
    const std::string opt = gettok(prsestd);
    if (!opt.empty() && opt != "positive") return notalow(opt.c_str());
    if (int rc = restempty()) return rc;
    if (j < 1 || j > s.k) return errmsgf(RC_NOTFOUND, "variable %d not found in serset\n", j);
    if (opt.empty() || isstrtype(s.types[j - 1])) {
      serset_postminmax(s.mins[j - 1], s.maxs[j - 1], s.n);
      return 0;
    }
    double lo = misval, hi = misval;
    for (long i = 0; i < s.n; ++i) {
      const double v = serset_data(j - 1, i);
      if (!(v > 0) || v >= misval) continue;
      lo = lo < misval ? std::min(lo, v) : v;
      hi = hi < misval ? std::max(hi, v) : v;
    }
    serset_postminmax(lo, hi, s.n);
    return 0;
  }
  spout21("    Variable |   Obs         Min         Max\n");
  spout21("-------------+------------------------------\n");
  for (int j = 0; j < s.k; ++j) {
    std::string nm = abvar(s.names[j], 12);
    char buf[160];
    if (isstrtype(s.types[j])) {
      std::snprintf(buf, sizeof buf, "%12s | %5ld\n", nm.c_str(), s.n);
    } else {
      std::string lo = sreforms("%10.0g", s.mins[j]), hi = sreforms("%10.0g", s.maxs[j]);
      std::snprintf(buf, sizeof buf, "%12s | %5ld  %s  %s\n", nm.c_str(), s.n, lo.c_str(),
                    hi.c_str());
    }
    spout21(buf);
  }
  return 0;
}

// serset dump: the header and the records of the current set.
int ss_dump() {
  if (int rc = needcur()) return rc;
  if (int rc = restempty()) return rc;
  Serset& s = *serset_cur();
  spout21f("serset %d: k = %d, N = %ld\n", sst.cur, s.k, s.n);
  for (int j = 0; j < s.k; ++j) {
    std::string lo = isstrtype(s.types[j]) ? "" : sreforms("%10.0g", s.mins[j]);
    std::string hi = isstrtype(s.types[j]) ? "" : sreforms("%10.0g", s.maxs[j]);
    spout21f("  %d. %-12s %-7s %-10s %s %s\n", j + 1, s.names[j].c_str(), typename_of(s.types[j]),
             s.fmts[j].c_str(), lo.c_str(), hi.c_str());
  }
  std::string str;
  for (long i = 0; i < s.n; ++i) {
    if (stopflag) return 1;
    std::string line = "  " + std::to_string(i + 1) + ":";
    for (int j = 0; j < s.k; ++j) {
      if (isstrtype(s.types[j])) {
        serset_sdata(j, i, str);
        line += " \"" + str + "\"";
      } else {
        std::string v = sreforms(s.fmts[j].c_str(), serset_data(j, i));
        size_t b = v.find_first_not_of(' ');
        line += ' ';
        line += b == std::string::npos ? v : v.substr(b);
      }
    }
    line += "\n";
    spout21(line.c_str());
  }
  return 0;
}

// serset sort [#...]: orders the records of the current set on the variables
// given by number (all, in order, without a list).
int ss_sort() {
  if (int rc = needcur()) return rc;
  Serset& s = *serset_cur();
  std::vector<int> keys;
  for (;;) {
    const char* w = gettok(prsestd);
    if (!*w) break;
    int j = 0;
    if (int rc = intarg(w, &j)) return rc;
    if (j < 1 || j > s.k) return errmsgf(RC_NOTFOUND, "variable %d not found in serset\n", j);
    keys.push_back(j - 1);
  }
  if (keys.empty())
    for (int j = 0; j < s.k; ++j) keys.push_back(j);
  std::vector<unsigned char> all(static_cast<size_t>(s.n * s.lrec));
  for (long i = 0; i < s.n; ++i) {
    const unsigned char* r = serset_rec(i, false);
    if (!r) return errmsgf(RC_READ, "serset:  I/O error reading the set\n");
    std::memcpy(all.data() + i * s.lrec, r, static_cast<size_t>(s.lrec));
  }
  std::vector<long> idx(static_cast<size_t>(s.n));
  for (long i = 0; i < s.n; ++i) idx[static_cast<size_t>(i)] = i;
  auto less = [&](long a, long b) {
    const unsigned char* ra = all.data() + a * s.lrec;
    const unsigned char* rb = all.data() + b * s.lrec;
    for (int j : keys) {
      if (isstrtype(s.types[j])) {
        int c = std::strncmp(reinterpret_cast<const char*>(ra + s.offs[j]),
                             reinterpret_cast<const char*>(rb + s.offs[j]), s.types[j]);
        if (c) return c < 0;
      } else {
        double x = ss_decode(s.types[j], ra + s.offs[j]), y = ss_decode(s.types[j], rb + s.offs[j]);
        if (x != y) return x < y;
      }
    }
    return false;
  };
  std::stable_sort(idx.begin(), idx.end(), less);
  for (long i = 0; i < s.n; ++i) {
    unsigned char* r = serset_rec(i, true);
    if (!r) return errmsgf(RC_WRITE, "serset:  I/O error writing the set\n");
    std::memcpy(r, all.data() + idx[static_cast<size_t>(i)] * s.lrec, static_cast<size_t>(s.lrec));
  }
  return serset_flush() ? errmsgf(RC_WRITE, "serset:  I/O error writing the set\n") : 0;
}

// serset use [, clear]: the current set becomes the dataset.
int ss_use() {
  ParseResult pr;
  if (int rc = needcur()) return rc;
  if (int rc = parse({.varlist = PERM_NO, .ifexp = PERM_NO, .range = PERM_NO, .options = PERM_OPTIONAL}, pr)) return rc;
  bool clear = findopt(pr, "clear", 5, 0) == 1;
  if (int rc = chkopt(pr)) return rc;
  if (ds.updata && !clear) return error(RC_DATALOST);
  Serset& s = *serset_cur();
  drop_all();
  for (int j = 0; j < s.k; ++j) {
    if (int rc = addvar(s.names[j].c_str(), s.types[j])) return rc;
    ds.fmtlist[static_cast<size_t>(ds.nvar)] = s.fmts[j];
  }
  if (int rc = setobs_quiet(s.n)) return rc;
  std::string str;
  for (long i = 0; i < s.n; ++i) {
    if ((i & 0x3fff) == 0 && stopflag) return 1;
    for (int j = 0; j < s.k; ++j) {
      if (isstrtype(s.types[j])) {
        serset_sdata(j, i, str);
        safe_sstore(j + 1, i + 1, str.c_str());
      } else {
        store(j + 1, i + 1, serset_data(j, i));
      }
    }
  }
  ds.updata = false;
  return 0;
}

// serset reset_id: the current set moves to the lowest free entry.
int ss_resetid() {
  if (int rc = needcur()) return rc;
  if (int rc = restempty()) return rc;
  int from = sst.cur;
  for (int i = 0; i < from; ++i)
    if (!sst.dir[i].seq) {
      sst.dir[i] = std::move(sst.dir[from]);
      sst.dir[from] = SsDirEntry();
      sst.cur = i;
      break;
    }
  Serset& s = *serset_cur();
  serset_postr(s.n, s.k, sst.cur);
  return 0;
}

// What a derived set is made from: the sorted (x, y) pairs of two variables
// of the current set, and their names and formats, which the new set keeps.
struct DerivedFrom {
  std::vector<std::pair<double, double>> pts;
  std::string xn, yn, xf, yf;
};

// Builds a two-variable set (x, y) of doubles from pairs, named after the
// variables of `from`; it becomes current.
int derivedset(const DerivedFrom& from, const std::vector<std::pair<double, double>>& pts) {
  unsigned char types[2] = {ST_DOUBLE, ST_DOUBLE};
  std::string names[2] = {from.yn, from.xn}, fmts[2] = {from.yf, from.xf};
  int id = 0;
  if (int rc = serset_new(2, types, names, fmts, &id)) return rc;
  Serset& s = *serset_cur();
  unsigned char rec[16];
  for (auto& p : pts) {
    ss_encode(ST_DOUBLE, p.second, rec);
    ss_encode(ST_DOUBLE, p.first, rec + 8);
    updminmax(s, 0, p.second);
    updminmax(s, 1, p.first);
    if (serset_append(rec)) return errmsgf(RC_WRITE, "serset:  I/O error writing the set\n");
  }
  finishminmax(s);
  if (serset_flush()) return errmsgf(RC_WRITE, "serset:  I/O error writing the set\n");
  serset_postr(s.n, s.k, id);
  return 0;
}

// The non-missing (x, y) pairs of variables yj and xj (1-based) of the
// current set, sorted on x.
int pairsof(int yj, int xj, std::vector<std::pair<double, double>>& pts) {
  Serset& s = *serset_cur();
  if (yj < 1 || yj > s.k || isstrtype(s.types[yj - 1]))
    return errmsgf(RC_NOTFOUND, "variable %d not found in serset\n", yj);
  if (xj < 1 || xj > s.k || isstrtype(s.types[xj - 1]))
    return errmsgf(RC_NOTFOUND, "variable %d not found in serset\n", xj);
  for (long i = 0; i < s.n; ++i) {
    double y = serset_data(yj - 1, i), x = serset_data(xj - 1, i);
    if (x < misval && y < misval) pts.emplace_back(x, y);
  }
  std::stable_sort(pts.begin(), pts.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  return 0;
}

// The operands of the derived-set subcommands, "yvar# xvar# [n]": n (left
// as it is when not given) must lie in lo..hi, `what` naming it in the
// message; then the pairs of the two variables. 0 or a code.
int derivedargs(int& n, int lo, int hi, const char* what, DerivedFrom& from) {
  if (int rc = needcur()) return rc;
  int yj = 0, xj = 0;
  const char* w = gettok(prsestd);
  if (int rc = intarg(w, &yj)) return rc;
  w = gettok(prsestd);
  if (int rc = intarg(w, &xj)) return rc;
  w = gettok(prsestd);
  if (*w) {
    if (int rc = intarg(w, &n)) return rc;
    if (n < lo || n > hi) return errmsgf(RC_SYNTAX, "%s must be between %d and %d\n", what, lo, hi);
  }
  if (int rc = restempty()) return rc;
  if (int rc = pairsof(yj, xj, from.pts)) return rc;
  const Serset& s = *serset_cur();
  from.xn = s.names[xj - 1], from.yn = s.names[yj - 1];
  from.xf = s.fmts[xj - 1], from.yf = s.fmts[yj - 1];
  return 0;
}

// serset create_xmedians yvar# xvar# [bands]: a new set of the median x and
// median y within each of `bands` equal-width bands of x (default 10).
int ss_xmedians() {
  int nb = 10;
  DerivedFrom from;
  if (int rc = derivedargs(nb, 1, 200, "bands", from)) return rc;
  const std::vector<std::pair<double, double>>& pts = from.pts;
  std::vector<std::pair<double, double>> out;
  if (!pts.empty()) {
    double lo = pts.front().first, hi = pts.back().first, wdt = (hi - lo) / nb;
    size_t at = 0;
    for (int b = 0; b < nb; ++b) {
      double top = b == nb - 1 ? hi : lo + wdt * (b + 1);
      std::vector<double> xs, ys;
      while (at < pts.size() && pts[at].first <= top) {
        xs.push_back(pts[at].first);
        ys.push_back(pts[at].second);
        ++at;
      }
      if (xs.empty()) continue;
      auto med = [](std::vector<double>& v) {
        std::sort(v.begin(), v.end());
        size_t m = v.size() / 2;
        return v.size() % 2 ? v[m] : (v[m - 1] + v[m]) / 2;
      };
      out.emplace_back(med(xs), med(ys));
    }
  }
  return derivedset(from, out);
}

// serset create_cspline yvar# xvar# [n]: a new set of n points (default 100)
// on the natural cubic spline through the (x, y) pairs, ties averaged.
int ss_cspline() {
  int np = 100;
  DerivedFrom from;
  if (int rc = derivedargs(np, 2, 100000, "points", from)) return rc;
  const std::vector<std::pair<double, double>>& raw = from.pts;
  std::vector<std::pair<double, double>> pts, out;
  for (size_t i = 0; i < raw.size();) {
    size_t j = i;
    double sum = 0;
    while (j < raw.size() && raw[j].first == raw[i].first) sum += raw[j++].second;
    pts.emplace_back(raw[i].first, sum / static_cast<double>(j - i));
    i = j;
  }
  const size_t n = pts.size();
  if (n == 1) out = pts;
  if (n >= 2) {
    // Second derivatives of the natural spline (tridiagonal solve).
    std::vector<double> m(n, 0.0), u(n, 0.0);
    for (size_t i = 1; i + 1 < n; ++i) {
      double hl = pts[i].first - pts[i - 1].first, hr = pts[i + 1].first - pts[i].first;
      double sig = hl / (hl + hr), p = sig * m[i - 1] + 2.0;
      m[i] = (sig - 1.0) / p;
      double d = (pts[i + 1].second - pts[i].second) / hr - (pts[i].second - pts[i - 1].second) / hl;
      u[i] = (6.0 * d / (hl + hr) - sig * u[i - 1]) / p;
    }
    m[n - 1] = 0;
    for (size_t i = n - 1; i-- > 0;) m[i] = m[i] * m[i + 1] + u[i];
    double lo = pts.front().first, hi = pts.back().first;
    size_t seg = 0;
    for (int k = 0; k < np; ++k) {
      double x = k == np - 1 ? hi : lo + (hi - lo) * k / (np - 1);
      while (seg + 2 < n && x > pts[seg + 1].first) ++seg;
      double h = pts[seg + 1].first - pts[seg].first;
      double a = (pts[seg + 1].first - x) / h, b = (x - pts[seg].first) / h;
      double y = a * pts[seg].second + b * pts[seg + 1].second +
                 ((a * a * a - a) * m[seg] + (b * b * b - b) * m[seg + 1]) * h * h / 6.0;
      out.emplace_back(x, y);
    }
  }
  return derivedset(from, out);
}

// serset subcommand ...
int cmd_serset(int) {
  std::string sub = gettok(prsestd);
  if (sub.empty()) return errmsgf(RC_SYNTAX, "serset subcommand required\n");
  if (cmdcmp(sub.c_str(), "create", 6)) return ss_create();
  if (sub == "set") return ss_set();
  if (sub == "use") return ss_use();
  if (sub == "dir") return ss_dir();
  if (sub == "drop") return ss_drop();
  if (sub == "clear" || sub == "discard") {
    if (int rc = restempty()) return rc;
    serset_clearall();
    return 0;
  }
  if (sub == "dump") return ss_dump();
  if (sub == "sort") return ss_sort();
  if (cmdcmp(sub.c_str(), "summarize", 2)) return ss_summarize();
  if (sub == "reset_id") return ss_resetid();
  if (sub == "create_xmedians") return ss_xmedians();
  if (sub == "create_cspline") return ss_cspline();
  return errmsgf(RC_UNRECOGNIZED, "serset subcommand %s not recognized\n", sub.c_str());
}

}  // namespace

void serset_bindcommands() { cmdbind("serset", cmd_serset); }
