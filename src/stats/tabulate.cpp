// tabulate: one-way tables of frequencies (percentages, cumulative
// percentages, sorted by frequency on request, indicator variables) and
// two-way tables of counts with row, column and cell percentages and the
// tests of independence. Observations are coded by their levels once
// (levels.cpp); the tables are then counted from the codes.
#include <algorithm>
#include <cmath>
#include <new>
#include <string>
#include <vector>

#include "data/by.h"
#include "data/store.h"
#include "data/varlist.h"
#include "data/vlabel.h"
#include "interp/cmdtab.h"
#include "output/errors.h"
#include "output/format.h"
#include "output/output.h"
#include "output/textwidth.h"
#include "platform/platform.h"
#include "results/results.h"
#include "stats/levels.h"
#include "stats/post.h"
#include "stats/stats.h"
#include "stats/twowaytests.h"

namespace {

// Largest tables: levels of a one-way table, rows and columns of a two-way one.
constexpr int TAB1_MAX = 100000;
constexpr int TAB2_MAXR = 3000;
constexpr int TAB2_MAXC = 1000;

struct TabOpts {
  bool missing = false, nolabel = false, sort = false;
  bool row = false, col = false, cell = false, nofreq = false, nokey = false;
  bool chi2 = false, lrchi2 = false, exact = false, V = false;
  std::string gen, matcell, matrow, matcol;
};

// Text cut or padded on the left to w columns.
std::string rjust(std::string t, int w) {
  t.resize(u8fit(t, w));
  return u8pad(t, w, 1);
}

// Prints a stub text (plain, braces kept) right-aligned in w columns.
void stub(const std::string& t, int w) {
  spoutsml("{txt}");
  spoutnosml(rjust(t, w).c_str());
}

std::string num(const char* fmt, double x) { return sreforms(fmt, x); }

// The header of a table: the variable label when it has one, else its name.
std::string title(int var) {
  const std::string& lab = ds.varlabels[static_cast<size_t>(var)];
  return lab.empty() ? varname(var) : lab;
}

// Checks every used observation's weight (401/402).
int checkweights(const StSample& s) {
  if (s.w.empty()) return 0;
  for (size_t i = 0; i < s.w.size(); ++i) {
    if (!s.selected(s.lo + static_cast<long>(i))) continue;
    bool use;
    if (int rc = st_checkweight(s.wkind, s.w[i], &use)) return rc;
  }
  return 0;
}

// Weight of observation lo+i (1 without weights).
inline double wt(const StSample& s, size_t i) { return s.w.empty() ? 1 : s.w[i]; }

// Scales aweights so that they sum to the number of observations used.
void normalise(const StSample& s, std::vector<double>& f, long nused) {
  if (s.wkind != WK_A) return;
  double W = 0;
  for (double x : f) W += x;
  if (W > 0)
    for (double& x : f) x *= static_cast<double>(nused) / W;
}

// --- one-way ---------------------------------------------------------------

// tabulate var: the frequency table.
int oneway(int var, const StSample& s, const TabOpts& o) {
  Levels lv;
  LvCodes code;
  std::vector<double> f;
  // the codes are needed for indicator variables and to count the
  // observations behind aweights
  const bool wantcode = !o.gen.empty() || s.wkind == WK_A;
  if (int rc = lv_code(var, 0, s, o.missing, lv, wantcode ? &code : nullptr, &f)) return rc;
  const int k = lv.n();
  if (k > TAB1_MAX) return error(RC_TOOMANYVALUES);
  if (s.wkind == WK_A) {
    long nused = 0;
    for (int32_t c : code) nused += c >= 0;
    normalise(s, f, nused);
  }
  double N = 0;
  for (double x : f) N += x;
  if (k == 0 || N <= 0) return st_noobs();
  if (!o.gen.empty()) {
    for (int j = 0; j < k; ++j)
      if (int rc = chkvarname((o.gen + std::to_string(j + 1)).c_str())) return rc;
    for (int j = 0; j < k; ++j) {
      const std::string nm = o.gen + std::to_string(j + 1);
      if (findvarexact(nm.c_str())) return errmsgf(RC_DEFINED, "%s already defined\n", nm.c_str());
    }
  }
  std::vector<int> order(static_cast<size_t>(k));
  for (int j = 0; j < k; ++j) order[static_cast<size_t>(j)] = j;
  if (o.sort)
    std::stable_sort(order.begin(), order.end(),
                     [&](int a, int b) { return f[static_cast<size_t>(a)] > f[static_cast<size_t>(b)]; });
  const std::string hdr = title(var);
  int w = std::max(10, u8width(hdr));
  for (int j = 0; j < k; ++j) w = std::max(w, u8width(lv_text(lv, j, var, o.nolabel)));
  w = std::min(w, 32);
  if (out.s_outlev <= OUT_RESULT) {
    spoutsml("\n");
    stub(hdr, w);
    spoutsml(" {c |}      Freq.     Percent        Cum.\n");
    spoutsmlf("{hline %d}{c +}{hline 35}\n", w + 1);
    double cum = 0;
    for (int j : order) {
      if (stopflag) return 1;
      const double x = f[static_cast<size_t>(j)];
      cum += x;
      stub(lv_text(lv, j, var, o.nolabel), w);
      std::string line = " {c |} {res}" + num("%10.0g", x) + "  " + num("%10.2f", 100 * x / N) +
                         "  " + num("%10.2f", 100 * cum / N) + "\n";
      spoutsml(line.c_str());
    }
    spoutsmlf("{txt}{hline %d}{c +}{hline 35}\n", w + 1);
    stub("Total", w);
    spoutsml((" {c |} {res}" + num("%10.0g", N) + "  " + num("%10.2f", 100.0) + "\n").c_str());
  }
  if (!o.matcell.empty() || !o.matrow.empty()) {
    if (lv.isstr && !o.matrow.empty()) return error(RC_TYPEMISMATCH);
    Matrix mc = mat_make(k, 1), mr = mat_make(k, 1);
    for (int j = 0; j < k; ++j) {
      mc.at(j, 0) = f[static_cast<size_t>(order[static_cast<size_t>(j)])];
      if (!lv.isstr) mr.at(j, 0) = lv.vals[static_cast<size_t>(order[static_cast<size_t>(j)])];
    }
    if (!o.matcell.empty())
      if (int rc = mat_store(o.matcell, std::move(mc))) return rc;
    if (!o.matrow.empty())
      if (int rc = mat_store(o.matrow, std::move(mr))) return rc;
  }
  if (!o.gen.empty()) {
    // One indicator per level, in level order; missing outside the sample.
    const int first = ds.nvar + 1;
    for (int j = 0; j < k; ++j) {
      const std::string nm = o.gen + std::to_string(j + 1);
      if (int rc = addvar(nm.c_str(), ST_BYTE)) {
        std::vector<char> drop(static_cast<size_t>(ds.nvar + 1), 0);
        for (int v = first; v <= ds.nvar; ++v) drop[static_cast<size_t>(v)] = 1;
        (void)dropvars_flagged(drop);
        return rc;
      }
      const int v = ds.nvar;
      ds.varlabels[static_cast<size_t>(v)] = varname(var) + "==" + lv_text(lv, j, var, true);
      const ColView cv = colview(v);
      for (size_t i = 0; i < code.size(); ++i)
        if (code[i] >= 0) cv.put(s.lo + static_cast<long>(i), code[i] == j ? 1 : 0);
      s_updata(v);
    }
  }
  st_rclear();
  st_rscalar("N", N);
  st_rscalar("r", k);
  return 0;
}

// --- two-way ---------------------------------------------------------------

struct TwoWay {
  int r = 0, c = 0;
  Levels lr, lc;
  std::vector<double> n;       // r x c counts
  std::vector<double> rt, ct;  // margins
  double N = 0;
};

// The lines shown in each cell, in order: freq, row %, column %, cell %.
struct CellLines {
  bool freq, row, col, cell;
  int count() const { return freq + row + col + cell; }
};

void keybox(const CellLines& L) {
  spoutsml("{txt}{c TLC}{hline 19}{c TRC}\n{c |} Key               {c |}\n{c LT}{hline 19}{c RT}\n");
  if (L.freq) spoutsml("{c |}     frequency     {c |}\n");
  if (L.row) spoutsml("{c |}  row percentage   {c |}\n");
  if (L.col) spoutsml("{c |} column percentage {c |}\n");
  if (L.cell) spoutsml("{c |}  cell percentage  {c |}\n");
  spoutsml("{c BLC}{hline 19}{c BRC}\n");
}

// The cell figure of one line kind: x the count, its row total, column total.
std::string cellnum(int kind, double x, double rtot, double ctot, double N) {
  switch (kind) {
    case 0: return num("%10.0g", x);
    case 1: return num("%10.2f", rtot > 0 ? 100 * x / rtot : misval);
    case 2: return num("%10.2f", ctot > 0 ? 100 * x / ctot : misval);
    default: return num("%10.2f", 100 * x / N);
  }
}

// Prints columns j0..j1-1 (with the total column when last).
void twpanel(const TwoWay& t, int rv, int cv, const TabOpts& o, const CellLines& L, int w, int j0,
             int j1, bool last) {
  const int k = j1 - j0;
  const int span = 11 * k;
  // column variable's title centred over its columns
  std::string ct = title(cv);
  ct.resize(u8fit(ct, span));
  spoutsml("\n{txt}");
  dupblnk(w + 1);
  spoutsml("{c |}");
  const int lpad = (span - u8width(ct)) / 2 + 1;
  dupblnk(lpad);
  spoutnosml(ct.c_str());
  spoutsml("\n");
  stub(title(rv), w);
  spoutsml(" {c |}");
  for (int j = j0; j < j1; ++j) {
    spoutsml(" ");
    spoutnosml(rjust(lv_text(t.lc, j, cv, o.nolabel), 10).c_str());
  }
  if (last) spoutsml(" {c |}      Total");
  spoutsml("\n");
  const std::string rule = "{hline " + std::to_string(w + 1) + "}{c +}{hline " + std::to_string(span + 1) +
                           "}" + (last ? "{c +}{hline 11}" : "") + "\n";
  spoutsml(rule.c_str());
  const int kinds[4] = {L.freq ? 0 : -1, L.row ? 1 : -1, L.col ? 2 : -1, L.cell ? 3 : -1};
  for (int i = 0; i <= t.r; ++i) {
    if (stopflag) return;
    const bool tot = i == t.r;
    if (tot || (i > 0 && L.count() > 1)) spoutsml(rule.c_str());
    const double rtot = tot ? t.N : t.rt[static_cast<size_t>(i)];
    bool firstline = true;
    for (int kind : kinds) {
      if (kind < 0) continue;
      if (firstline)
        stub(tot ? std::string("Total") : lv_text(t.lr, i, rv, o.nolabel), w);
      else
        spoutsml("{txt}"), dupblnk(w);
      firstline = false;
      std::string line = " {c |}{res}";
      for (int j = j0; j < j1; ++j) {
        const double x = tot ? t.ct[static_cast<size_t>(j)] : t.n[static_cast<size_t>(i * t.c + j)];
        line += ' ';
        line += cellnum(kind, x, rtot, t.ct[static_cast<size_t>(j)], t.N);
      }
      if (last) line += "{txt} {c |}{res} " + cellnum(kind, rtot, rtot, t.N, t.N);
      line += "\n";
      spoutsml(line.c_str());
    }
  }
}

// A statistic line under the table: label = value, and its probability.
void statline(const char* label, double df, double x, bool haspr, double pr) {
  std::string lab = label;
  if (df >= 0) {
    lab += '(';
    lab += std::to_string(static_cast<long>(df));
    lab += ')';
  }
  std::string line = "{txt}" + rjust(lab, 25) + " = {res}" + num("%8.4f", x);
  if (haspr) line += "{txt}   Pr = {res}" + num("%5.3f", pr);
  spoutsml((line + "\n").c_str());
}

int twoway(int rv, int cv, const StSample& s, const TabOpts& o) {
  TwoWay t;
  LvCodes cr, cc;
  if (int rc = lv_code(rv, 0, s, o.missing, t.lr, &cr)) return rc;
  if (int rc = lv_code(cv, 1, s, o.missing, t.lc, &cc)) return rc;
  // Codes of observations used in both; levels seen only where the other
  // variable is missing drop out of the table.
  std::vector<char> rseen(static_cast<size_t>(t.lr.n()), 0), cseen(static_cast<size_t>(t.lc.n()), 0);
  for (size_t i = 0; i < cr.size(); ++i) {
    if (cr[i] < 0 || cc[i] < 0) continue;
    rseen[static_cast<size_t>(cr[i])] = 1;
    cseen[static_cast<size_t>(cc[i])] = 1;
  }
  auto compact = [](Levels& lv, const std::vector<char>& seen, std::vector<int32_t>& map) {
    map.assign(seen.size(), -1);
    Levels out;
    out.isstr = lv.isstr;
    for (size_t k = 0; k < seen.size(); ++k) {
      if (!seen[k]) continue;
      map[k] = out.n();
      if (lv.isstr)
        out.svals.push_back(lv.svals[k]);
      else
        out.vals.push_back(lv.vals[k]);
    }
    lv = std::move(out);
  };
  std::vector<int32_t> rmap, cmap;
  compact(t.lr, rseen, rmap);
  compact(t.lc, cseen, cmap);
  t.r = t.lr.n();
  t.c = t.lc.n();
  if (t.r == 0 || t.c == 0) return st_noobs();
  if (t.r > TAB2_MAXR || t.c > TAB2_MAXC)
    return errmsgf(RC_TOOMANYVALUES, "too many values: a two-way table has at most %d rows and %d columns\n",
                   TAB2_MAXR, TAB2_MAXC);
  t.n.assign(static_cast<size_t>(t.r) * static_cast<size_t>(t.c), 0);
  long nused = 0;
  for (size_t i = 0; i < cr.size(); ++i) {
    if (cr[i] < 0 || cc[i] < 0) continue;
    const int a = rmap[static_cast<size_t>(cr[i])], b = cmap[static_cast<size_t>(cc[i])];
    t.n[static_cast<size_t>(a * t.c + b)] += wt(s, i);
    ++nused;
  }
  normalise(s, t.n, nused);
  t.rt.assign(static_cast<size_t>(t.r), 0);
  t.ct.assign(static_cast<size_t>(t.c), 0);
  for (int i = 0; i < t.r; ++i)
    for (int j = 0; j < t.c; ++j) {
      const double x = t.n[static_cast<size_t>(i * t.c + j)];
      t.rt[static_cast<size_t>(i)] += x;
      t.ct[static_cast<size_t>(j)] += x;
      t.N += x;
    }
  if (t.N <= 0) return st_noobs();
  TwoWayTests tt;
  tw_tests(t.n, t.r, t.c, tt);
  double pex = misval, p1ex = misval;
  if (o.exact) {
    if (s.wkind == WK_A || s.wkind == WK_I) return error(RC_WEIGHTED);
    if (int rc = tw_fisher(t.n, t.r, t.c, &pex, &p1ex)) return rc;
  }
  if (out.s_outlev <= OUT_RESULT) {
    const CellLines L{!o.nofreq, o.row, o.col, o.cell};
    if (L.count() == 0) return errmsgf(RC_SYNTAX, "nofreq needs one of row, column or cell\n");
    if ((L.count() > 1 || !L.freq) && !o.nokey) {
      spoutsml("\n");
      keybox(L);
    }
    int w = std::max(10, u8width(title(rv)));
    for (int i = 0; i < t.r; ++i) w = std::max(w, u8width(lv_text(t.lr, i, rv, o.nolabel)));
    w = std::min(w, 20);
    // columns per panel: the stub, bars and total column take w + 15
    const int per = std::max(1, (out.linesize - w - 15) / 11);
    for (int j0 = 0; j0 < t.c; j0 += per) {
      const int j1 = std::min(t.c, j0 + per);
      twpanel(t, rv, cv, o, L, w, j0, j1, j1 == t.c);
    }
    if (o.chi2 || o.lrchi2 || o.V || o.exact) spoutsml("\n");
    if (o.chi2) statline("Pearson chi2", tt.df, tt.chi2, true, tt.p);
    if (o.lrchi2) statline("likelihood-ratio chi2", tt.df, tt.chi2_lr, true, tt.p_lr);
    if (o.V) statline("Cramer's V", -1, tt.V, false, 0);
    if (o.exact) {
      spoutsml(("{txt}" + rjust("Fisher's exact", 25) + " =                 {res}" + num("%5.3f", pex) + "\n").c_str());
      if (p1ex < misval)
        spoutsml(("{txt}" + rjust("1-sided Fisher's exact", 25) + " =                 {res}" +
                  num("%5.3f", p1ex) + "\n").c_str());
    }
  }
  if (!o.matcell.empty()) {
    Matrix m = mat_make(t.r, t.c);
    m.v = t.n;
    if (int rc = mat_store(o.matcell, std::move(m))) return rc;
  }
  if (!o.matrow.empty() || !o.matcol.empty()) {
    if ((!o.matrow.empty() && t.lr.isstr) || (!o.matcol.empty() && t.lc.isstr)) return error(RC_TYPEMISMATCH);
    if (!o.matrow.empty()) {
      Matrix m = mat_make(t.r, 1);
      m.v = t.lr.vals;
      if (int rc = mat_store(o.matrow, std::move(m))) return rc;
    }
    if (!o.matcol.empty()) {
      Matrix m = mat_make(1, t.c);
      m.v = t.lc.vals;
      if (int rc = mat_store(o.matcol, std::move(m))) return rc;
    }
  }
  st_rclear();
  st_rscalar("N", t.N);
  st_rscalar("r", t.r);
  st_rscalar("c", t.c);
  if (o.chi2) {
    st_rscalar("chi2", tt.chi2);
    st_rscalar("p", tt.p);
  }
  if (o.lrchi2) {
    st_rscalar("chi2_lr", tt.chi2_lr);
    st_rscalar("p_lr", tt.p_lr);
  }
  if (o.V) st_rscalar("CramersV", tt.V);
  if (o.exact) {
    st_rscalar("p_exact", pex);
    if (p1ex < misval) st_rscalar("p1_exact", p1ex);
  }
  return 0;
}

// tabulate varname [varname] [if] [in] [weight] [, options]
int cmd_tabulate(int) {
  ParseResult pr;
  if (int rc = parse({.varlist = PERM_REQUIRED, .tsops = PERM_OPTIONAL, .weight = PERM_OPTIONAL, .options = PERM_OPTIONAL, .by = PERM_OPTIONAL}, pr)) return rc;
  const int nv = vl.lnvar();
  if (nv > 2) return error(RC_TOOMANYVARS);
  TabOpts o;
  o.missing = findopt(pr, "missing", 1, 0) == 1;
  o.nolabel = findopt(pr, "label", 3, 1) == 0;
  if (nv == 1) {
    o.sort = findopt(pr, "sort", 4, 0) == 1;
    (void)findargn(pr, "generate", 3, o.gen, 30, 1);
  } else {
    o.row = findopt(pr, "row", 1, 0) == 1;
    o.col = findopt(pr, "column", 3, 0) == 1;
    o.cell = findopt(pr, "cell", 4, 0) == 1;
    o.nofreq = findopt(pr, "freq", 4, 1) == 0;
    o.nokey = findopt(pr, "key", 3, 1) == 0;
    o.chi2 = findopt(pr, "chi2", 2, 0) == 1;
    o.lrchi2 = findopt(pr, "lrchi2", 2, 0) == 1;
    o.exact = findopt(pr, "exact", 5, 0) == 1;
    o.V = findopt(pr, "V", 1, 0) == 1;
    if (findopt(pr, "all", 3, 0) == 1) o.chi2 = o.lrchi2 = o.V = true;
    (void)findargn(pr, "matcol", 6, o.matcol, 40, 1);
  }
  (void)findargn(pr, "matcell", 7, o.matcell, 40, 1);
  (void)findargn(pr, "matrow", 6, o.matrow, 40, 1);
  if (int rc = chkopt(pr)) return rc;
  if (pr.hasweight && pr.wgttype[0] == WK_P) return errmsgf(RC_NOTALLOWED, "pweights not allowed\n");
  for (int e = 0; e < nv; ++e)
    if (!st_plainentry(e)) return error(RC_MSG_TSOPS);
  StSample s;
  try {
    if (int rc = st_sample(s, pr)) return rc;
    if (int rc = checkweights(s)) return rc;
    if (nv == 1) return oneway(vl.varlist_vr[0], s, o);
    if (vl.varlist_vr[0] == vl.varlist_vr[1]) return errmsgf(RC_SYNTAX, "the two variables of a table must differ\n");
    return twoway(vl.varlist_vr[0], vl.varlist_vr[1], s, o);
  } catch (const std::bad_alloc&) {
    return error(RC_NOMEM);
  }
}

}  // namespace

void stats_bindtabulate() {
  cmdbind("tabulate", cmd_tabulate);
  by_allow("tabulate", true);
}
