// t tests of means and confidence intervals for means:
//   ttest var == #                 one-sample
//   ttest var1 == var2 [, unpaired unequal welch]   paired (or two-sample)
//   ttest var, by(groupvar) [unequal welch]          two-sample
//   ci varlist
// with the usual table (observations, mean, standard error, standard
// deviation, interval), the three alternatives, and r() results.
#include <cmath>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "data/by.h"
#include "data/store.h"
#include "data/varlist.h"
#include "data/vlabel.h"
#include "expr/expr.h"
#include "interp/cmdtab.h"
#include "interp/tokenizer.h"
#include "output/errors.h"
#include "output/format.h"
#include "output/output.h"
#include "platform/platform.h"
#include "stats/accum.h"
#include "stats/levels.h"
#include "stats/post.h"
#include "stats/stats.h"

namespace {

// One row of the table: the figures of one set of values.
struct Row {
  std::string name;
  double n = 0, mean = misval, sd = misval, se = misval;
};

Row rowof(const std::string& name, const std::vector<double>& x) {
  Row r;
  r.name = name;
  r.n = static_cast<double>(x.size());
  if (x.empty()) return r;
  Accum s;
  for (double v : x) s.add(v);
  r.mean = s.value() / r.n;
  if (x.size() > 1) {
    Accum ss;
    for (double v : x) ss.add((v - r.mean) * (v - r.mean));
    r.sd = std::sqrt(ss.value() / (r.n - 1));
    r.se = r.sd / std::sqrt(r.n);
  }
  return r;
}

std::string f9(double x) { return sreforms("%9.0g", x); }
std::string rj(const std::string& t, int w) {
  std::string a = abvar(t, w);
  return std::string(static_cast<size_t>(w - static_cast<int>(a.size())), ' ') + a;
}

std::string levelword(double level) {
  char b[16];
  std::snprintf(b, sizeof b, "%g", level);
  return b;
}

void tabhead(double level, bool sdcol) {
  std::string lv = levelword(level);
  spoutsml("{txt}{hline 9}{c TT}{hline 68}\n");
  spoutsml("Variable {c |}     Obs        Mean    Std. Err.   ");
  spoutsml(sdcol ? "Std. Dev.   " : "            ");
  spoutsmlf("[%s%% Conf. Interval]\n", lv.c_str());
  spoutsml("{hline 9}{c +}{hline 68}\n");
}

// One row under the header: blanks for a missing count (the difference row)
// and, without sdcol, for the standard deviation.
void tabrow(const Row& r, double crit, bool sdcol) {
  spoutsml("{txt}");
  spoutnosml(rj(r.name, 8).c_str());
  std::string l = " {c |}{res}";
  l += r.n < misval ? std::string(sreforms("%8.0f", r.n)) : std::string(8, ' ');
  l += "   " + f9(r.mean) + "    " + f9(r.se) + "   " + (sdcol ? f9(r.sd) : std::string(9, ' '));
  const double lo = r.se < misval ? r.mean - crit * r.se : misval, hi = r.se < misval ? r.mean + crit * r.se : misval;
  l += "   " + f9(lo) + "  " + f9(hi);
  while (!l.empty() && l.back() == ' ') l.pop_back();
  spoutsml((l + "\n").c_str());
}

// The three alternatives under the table.
void alternatives(const std::string& what, const std::string& hyp, double t, double df, double pl, double p,
                  double pu) {
  spoutsmlf("{txt}{hline 9}{c BT}{hline 68}\n");
  std::string tline = "    " + what;
  const std::string tv = sreforms("%8.4f", t);
  tline.append(static_cast<size_t>(std::max(1, 66 - static_cast<int>(tline.size()))), ' ');
  spoutsml(("{txt}" + tline + "t = {res}" + tv + "\n").c_str());
  std::string h = "Ho: " + hyp;
  h.append(static_cast<size_t>(std::max(1, 49 - static_cast<int>(h.size()))), ' ');
  spoutsml(("{txt}" + h + "degrees of freedom = {res}" + std::string(sreforms("%8.4g", df)) + "\n\n").c_str());
  const size_t eq = hyp.find('=');
  const std::string lhs = hyp.substr(0, eq - 1), rhs = hyp.substr(eq + 2);
  char b[256];
  std::snprintf(b, sizeof b, "{txt}%*s%-17s%*s%-20s%*s%s\n", 4, "", ("Ha: " + lhs + " < " + rhs).c_str(), 8, "",
                ("Ha: " + lhs + " != " + rhs).c_str(), 8, "", ("Ha: " + lhs + " > " + rhs).c_str());
  spoutsml(b);
  spoutsmlf("{txt} Pr(T < t) = {res}%6.4f         {txt}Pr(|T| > |t|) = {res}%6.4f          {txt}Pr(T > t) = {res}%6.4f\n",
            pl, p, pu);
}

// Probabilities of the three alternatives for t with df degrees of freedom.
void tprobs(double t, double df, double* pl, double* p, double* pu) {
  if (t >= misval || df >= misval || !(df > 0)) {
    *pl = *p = *pu = misval;
    return;
  }
  *pu = fn_ttail(df, t);
  *pl = 1 - *pu;
  *p = 2 * fn_ttail(df, std::fabs(t));
  if (*p > 1) *p = 1;
}

// The used values of variable v (selected, not missing).
int values(int v, const StSample& s, std::vector<double>& x) {
  x.clear();
  for (long i = s.lo; i <= s.hi; ++i) {
    if ((i & 0xffff) == 0 && stopflag) return 1;
    if (!s.selected(i)) continue;
    const double d = zelta_data(v, i);
    if (d < misval) x.push_back(d);
  }
  return 0;
}

void postcommon(double t, double df, double pl, double p, double pu, double se, double level) {
  st_rscalar("t", t);
  st_rscalar("df_t", df);
  st_rscalar("se", se);
  st_rscalar("p_l", pl);
  st_rscalar("p", p);
  st_rscalar("p_u", pu);
  st_rscalar("level", level);
}

// Two-sample comparison of rows a and b (equal or unequal variances).
int twosample(const Row& a, const Row& b, const std::vector<double>& all, bool unequal, bool welch,
              double level, const std::string& diffname) {
  if (a.n < 1 || b.n < 1) return st_noobs();
  if (a.n + b.n < 3) return errmsgf(RC_FEWOBS, "insufficient observations\n");
  const double va = a.sd < misval ? a.sd * a.sd : 0, vb = b.sd < misval ? b.sd * b.sd : 0;
  double se, df;
  if (unequal) {
    const double qa = va / a.n, qb = vb / b.n;
    se = std::sqrt(qa + qb);
    if (welch)
      df = -2 + (qa + qb) * (qa + qb) / (qa * qa / (a.n + 1) + qb * qb / (b.n + 1));
    else
      df = (qa + qb) * (qa + qb) / (qa * qa / (a.n - 1) + qb * qb / (b.n - 1));
  } else {
    df = a.n + b.n - 2;
    const double sp = ((a.n - 1) * va + (b.n - 1) * vb) / df;
    se = std::sqrt(sp * (1 / a.n + 1 / b.n));
  }
  const double diff = a.mean - b.mean;
  const double t = se > 0 ? diff / se : misval;
  double pl, p, pu;
  tprobs(t, df, &pl, &p, &pu);
  if (out.s_outlev <= OUT_RESULT) {
    spoutsmlf("\n{txt}Two-sample t test with %s variances\n", unequal ? "unequal" : "equal");
    tabhead(level, true);
    tabrow(a, fn_invttail(a.n - 1, (1 - level / 100) / 2), true);
    tabrow(b, fn_invttail(b.n - 1, (1 - level / 100) / 2), true);
    spoutsml("{txt}{hline 9}{c +}{hline 68}\n");
    Row c = rowof("combined", all);
    tabrow(c, fn_invttail(c.n - 1, (1 - level / 100) / 2), true);
    spoutsml("{txt}{hline 9}{c +}{hline 68}\n");
    Row d;
    d.name = "diff";
    d.n = misval;
    d.mean = diff;
    d.se = se;
    tabrow(d, fn_invttail(df, (1 - level / 100) / 2), false);
    alternatives("diff = " + diffname, "diff = 0", t, df, pl, p, pu);
    if (unequal)
      spoutsmlf("{txt}(%s's degrees of freedom)\n", welch ? "Welch" : "Satterthwaite");
  }
  st_rclear();
  st_rscalar("N_1", a.n);
  st_rscalar("N_2", b.n);
  st_rscalar("mu_1", a.mean);
  st_rscalar("mu_2", b.mean);
  st_rscalar("sd_1", a.sd);
  st_rscalar("sd_2", b.sd);
  postcommon(t, df, pl, p, pu, se, level);
  return 0;
}

// The group variable's two values as the rows show them.
std::string grouptext(int gv, const Levels& lv, int k) { return lv_text(lv, k, gv, false); }

int cmd_ttest(int) {
  ParseResult pr;
  std::string v1 = gettok(prsestd);
  if (v1.empty()) return required("varname");
  std::vector<int> a;
  if (int rc = st_textvars(v1, a)) return rc;
  if (a.size() != 1) return error(RC_TOOMANYVARS);
  std::string op = gettok(prsestd);
  std::string rhs;
  if (op == "==" || op == "=") {
    rhs = gettok(prsestd);
    if (rhs == "-" || rhs == "+") rhs += gettok(prsestd);
    if (rhs.empty()) return required("== value");
  } else {
    if (!op.empty()) ungettok();
    op.clear();
  }
  if (int rc = parse_ifinopts({.varlist = PERM_NO, .options = PERM_OPTIONAL, .by = PERM_OPTIONAL}, pr)) return rc;
  std::string bytext;
  const bool hasby = findargn(pr, "by", 2, bytext, 200, 1);
  const bool unpaired = findopt(pr, "unpaired", 3, 0) == 1;
  bool unequal = findopt(pr, "unequal", 3, 0) == 1;
  const bool welch = findopt(pr, "welch", 1, 0) == 1;
  if (welch) unequal = true;
  double level;
  if (int rc = st_level(pr, &level)) return rc;
  if (int rc = chkopt(pr)) return rc;
  if (isstrtype(vartype(a[0]))) return error(RC_TYPEMISMATCH);
  if (op.empty() == !hasby) return errmsgf(RC_SYNTAX, "ttest needs either == or the by() option\n");
  StSample s;
  try {
    if (int rc = st_sample(s, pr)) return rc;
    std::vector<double> x;
    if (hasby) {
      std::vector<int> g;
      if (int rc = st_textvars(bytext, g)) return rc;
      if (g.size() != 1) return error(RC_TOOMANYVARS);
      // observations with a value of both
      StSample s2 = s;
      if (s2.sel.empty()) s2.sel.assign(static_cast<size_t>(s.hi - s.lo + 1), 1);
      for (long i = s.lo; i <= s.hi; ++i)
        if (zelta_data(a[0], i) >= misval) s2.sel[static_cast<size_t>(i - s.lo)] = 0;
      Levels lv;
      LvCodes code;
      if (int rc = lv_code(g[0], -1, s2, false, lv, &code)) return rc;
      if (lv.n() != 2) return errmsgf(RC_GROUPCOUNT, "%d groups found, 2 required\n", lv.n());
      std::vector<double> x1, x2, all;
      for (size_t i = 0; i < code.size(); ++i) {
        if (code[i] < 0) continue;
        const double d = zelta_data(a[0], s.lo + static_cast<long>(i));
        (code[i] == 0 ? x1 : x2).push_back(d);
        all.push_back(d);
      }
      const Row r1 = rowof(grouptext(g[0], lv, 0), x1), r2 = rowof(grouptext(g[0], lv, 1), x2);
      return twosample(r1, r2, all, unequal, welch, level, "mean(" + r1.name + ") - mean(" + r2.name + ")");
    }
    char* end = nullptr;
    const double mu = std::strtod(rhs.c_str(), &end);
    if (end && *end == 0 && end != rhs.c_str()) {
      // one-sample
      if (int rc = values(a[0], s, x)) return rc;
      if (x.empty()) return st_noobs();
      const Row r = rowof(varname(a[0]), x);
      const double df = r.n - 1;
      const double t = r.se < misval && r.se > 0 ? (r.mean - mu) / r.se : misval;
      double pl, p, pu;
      tprobs(t, df, &pl, &p, &pu);
      if (out.s_outlev <= OUT_RESULT) {
        spoutsml("\n{txt}One-sample t test\n");
        tabhead(level, true);
        tabrow(r, fn_invttail(df, (1 - level / 100) / 2), true);
        alternatives("mean = mean(" + r.name + ")", "mean = " + rhs, t, df, pl, p, pu);
      }
      st_rclear();
      st_rscalar("N_1", r.n);
      st_rscalar("mu_1", r.mean);
      st_rscalar("sd_1", r.sd);
      postcommon(t, df, pl, p, pu, r.se, level);
      return 0;
    }
    std::vector<int> b;
    if (int rc = st_textvars(rhs, b)) return rc;
    if (b.size() != 1) return error(RC_TOOMANYVARS);
    if (isstrtype(vartype(b[0]))) return error(RC_TYPEMISMATCH);
    if (unpaired) {
      std::vector<double> x1, x2, all;
      if (int rc = values(a[0], s, x1)) return rc;
      if (int rc = values(b[0], s, x2)) return rc;
      all = x1;
      all.insert(all.end(), x2.begin(), x2.end());
      const Row r1 = rowof(varname(a[0]), x1), r2 = rowof(varname(b[0]), x2);
      return twosample(r1, r2, all, unequal, welch, level, "mean(" + r1.name + ") - mean(" + r2.name + ")");
    }
    if (unequal) return errmsgf(RC_SYNTAX, "option unequal needs unpaired or by()\n");
    // paired: observations with both values
    std::vector<double> x1, x2, d;
    for (long i = s.lo; i <= s.hi; ++i) {
      if (!s.selected(i)) continue;
      const double u = zelta_data(a[0], i), v = zelta_data(b[0], i);
      if (u >= misval || v >= misval) continue;
      x1.push_back(u), x2.push_back(v), d.push_back(u - v);
    }
    if (d.empty()) return st_noobs();
    const Row r1 = rowof(varname(a[0]), x1), r2 = rowof(varname(b[0]), x2), rd = rowof("diff", d);
    const double df = rd.n - 1;
    const double t = rd.se < misval && rd.se > 0 ? rd.mean / rd.se : misval;
    double pl, p, pu;
    tprobs(t, df, &pl, &p, &pu);
    if (out.s_outlev <= OUT_RESULT) {
      spoutsml("\n{txt}Paired t test\n");
      tabhead(level, true);
      const double crit = fn_invttail(df, (1 - level / 100) / 2);
      tabrow(r1, crit, true);
      tabrow(r2, crit, true);
      spoutsml("{txt}{hline 9}{c +}{hline 68}\n");
      tabrow(rd, crit, true);
      alternatives("mean(diff) = mean(" + r1.name + " - " + r2.name + ")", "mean(diff) = 0", t, df, pl, p, pu);
    }
    st_rclear();
    st_rscalar("N_1", r1.n);
    st_rscalar("N_2", r2.n);
    st_rscalar("mu_1", r1.mean);
    st_rscalar("mu_2", r2.mean);
    st_rscalar("sd_1", r1.sd);
    st_rscalar("sd_2", r2.sd);
    postcommon(t, df, pl, p, pu, rd.se, level);
    return 0;
  } catch (const std::bad_alloc&) {
    return error(RC_NOMEM);
  }
}

// ci [varlist] [if] [in] [, level(#)]
int cmd_ci(int) {
  ParseResult pr;
  if (int rc = parse({.options = PERM_OPTIONAL, .by = PERM_OPTIONAL}, pr)) return rc;
  double level;
  if (int rc = st_level(pr, &level)) return rc;
  if (int rc = chkopt(pr)) return rc;
  if (!pr.hasvarlist) return required("varlist");
  StSample s;
  if (int rc = st_sample(s, pr)) return rc;
  const int nv = vl.lnvar();
  if (out.s_outlev <= OUT_RESULT) {
    spoutsml("\n{txt}    Variable {c |}        Obs        Mean    Std. Err.       ");
    spoutsmlf("[%s%% Conf. Interval]\n", levelword(level).c_str());
    spoutsml("{hline 13}{c +}{hline 63}\n");
  }
  Row r;
  double lo = misval, hi = misval;
  for (int e = 0; e < nv; ++e) {
    const int v = vl.varlist_vr[static_cast<size_t>(e)];
    if (isstrtype(vartype(v))) return error(RC_TYPEMISMATCH);
    std::vector<double> x;
    if (int rc = values(v, s, x)) return rc;
    r = rowof(varname(v), x);
    const double crit = r.n > 1 ? fn_invttail(r.n - 1, (1 - level / 100) / 2) : misval;
    lo = r.se < misval ? r.mean - crit * r.se : misval;
    hi = r.se < misval ? r.mean + crit * r.se : misval;
    if (out.s_outlev <= OUT_RESULT) {
      spoutsml("{txt}");
      spoutnosml(rj(r.name, 12).c_str());
      std::string l = " {c |}{res}" + std::string(sreforms("%11.0f", r.n));
      if (r.n > 0) l += "   " + f9(r.mean) + "    " + f9(r.se) + "      " + f9(lo) + "   " + f9(hi);
      spoutsml((l + "\n").c_str());
    }
  }
  st_rclear();
  st_rscalar("N", r.n);
  if (r.n > 0) st_rscalar("mean", r.mean);
  if (r.n > 1) {
    st_rscalar("se", r.se);
    st_rscalar("lb", lo);
    st_rscalar("ub", hi);
  }
  st_rscalar("level", level);
  return 0;
}

}  // namespace

void stats_bindttest() {
  cmdbind("ttest", cmd_ttest);
  cmdbind("ci", cmd_ci);
  by_allow("ttest", true);
  by_allow("ci", true);
}
