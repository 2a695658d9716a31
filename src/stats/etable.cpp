// The coefficient table shared by the estimation commands and `ereturn
// display`, read from the posted e(b) and e(V): title line with the variance type, one row per coefficient with
// its standard error, t (or z), p-value and confidence interval, standardised
// coefficients for `beta`, exponentiated ones for `eform()`, "(dropped)" rows.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "data/value.h"
#include "data/varlist.h"
#include "expr/expr.h"
#include "output/format.h"
#include "output/output.h"
#include "interp/cmdtab.h"
#include "output/errors.h"
#include "stats/etable.h"
#include "stats/post.h"

namespace {

std::string fmt(const char* f, double x) { return sreforms(f, x); }

// The interval title for a level such as 95 or 99.5.
std::string leveltitle(double level) {
  char b[48];
  if (level == std::floor(level))
    std::snprintf(b, sizeof b, "[%.0f%% Conf. Interval]", level);
  else
    std::snprintf(b, sizeof b, "[%g%% Conf. Interval]", level);
  return b;
}

}  // namespace

double ct_critical(double level, double df_r) {
  const double a = (1 - level / 100) / 2;
  if (df_r >= misval) return fn_invnormal(1 - a);
  return fn_invttail(df_r, a);
}

void ct_headline(const std::string& label, const std::string& val, int width) {
  char b[96];
  std::snprintf(b, sizeof b, "{col 51}{txt}%-*s= {res}", width, label.c_str());
  std::string v = val;
  if (v.size() < 10) v.insert(0, 10 - v.size(), ' ');
  spoutsml((std::string(b) + v + "\n").c_str());
}

void ct_display(const CoefTable& t) {
  const bool z = t.df_r >= misval;
  const char stat = z ? 'z' : 't';
  // The same table cell by cell, for destinations that draw it.
  OutTableScope rich;
  if (rich.on) {
    const std::string s(1, stat);
    rich.t.head = {t.depname, t.eform.empty() ? "Coef." : t.eform, "Std. Err.", s, "P>|" + s + "|"};
    if (t.beta) rich.t.head.push_back("Beta");
    else {
      const std::string lt = leveltitle(t.level);
      const size_t sp = lt.rfind(' ');
      rich.t.head.insert(rich.t.head.end(), {lt.substr(0, sp), lt.substr(sp + 1)});
    }
    rich.t.stubcols = 1;
  }
  spoutsml("{txt}{hline 13}{c TT}{hline 64}\n");
  if (!t.vcetype.empty()) {
    // Centred over "Std. Err." (columns 29 to 37).
    const int len = static_cast<int>(t.vcetype.size());
    const int start = 29 + static_cast<int>(std::floor((9 - len) / 2.0));
    std::string l = "{txt}             {c |}";
    l.append(static_cast<size_t>(start - 15), ' ');
    spoutsml(l.c_str());
    spout21(t.vcetype.c_str());
    spoutsml("\n");
  }
  {
    std::string name = abvar(t.depname, 12);
    std::string l = "{txt}";
    l.append(static_cast<size_t>(12 - static_cast<int>(name.size())), ' ');
    spoutsml(l.c_str());
    spout21(name.c_str());
    char b[128];
    std::string title = t.eform.empty() ? "Coef." : t.eform;
    l = " {c |}";
    std::string ct(11 > title.size() ? 11 - title.size() : 0, ' ');
    l += ct;
    spoutsml(l.c_str());
    spout21(title.c_str());
    std::snprintf(b, sizeof b, "   Std. Err.      %c    P>|%c|", stat, stat);
    l = b;
    if (t.beta) {
      l += std::string(21, ' ') + "Beta";
    } else {
      const std::string lt = leveltitle(t.level);
      const int pad = 25 - static_cast<int>(lt.size());
      l += std::string(static_cast<size_t>(pad > 0 ? pad : 1), ' ') + lt;
    }
    spoutsml((l + "\n").c_str());
  }
  spoutsml("{txt}{hline 13}{c +}{hline 64}\n");
  const double crit = ct_critical(t.level, t.df_r);
  const size_t p = t.names.size();
  std::string cureq;  // equation of the rows shown last ("eq:name" names)
  for (size_t i = 0; i < p; ++i) {
    std::string nm = t.names[i];
    if (const size_t c = nm.find(':'); c != std::string::npos) {
      const std::string eq = nm.substr(0, c);
      nm.erase(0, c + 1);
      if (eq != cureq) {
        if (!cureq.empty()) spoutsml("{txt}{hline 13}{c +}{hline 64}\n");
        cureq = eq;
        spoutsml("{res}");
        spout21(abvar(eq, 12).c_str());
        spoutsml((std::string("{txt}") + std::string(12 - std::min<size_t>(12, abvar(eq, 12).size()), ' ') +
                  " {c |}\n").c_str());
        if (rich.on) rich.t.rows.push_back({eq});
      }
    }
    // Exponentiated tables leave out the constants, except that of an
    // ancillary equation which has nothing else (ln alpha and the like).
    if (!t.eform.empty() && nm == "_cons") {
      size_t rows = 0;
      for (const std::string& o : t.names)
        if (cureq.empty() ? o.find(':') == std::string::npos : o.compare(0, cureq.size() + 1, cureq + ":") == 0) ++rows;
      if (rows > 1) continue;
    }
    std::string name = abvar(nm, 12);
    std::string l = "{txt}";
    l.append(static_cast<size_t>(12 - static_cast<int>(name.size())), ' ');
    spoutsml(l.c_str());
    spout21(name.c_str());
    if (t.dropped[i]) {
      if (rich.on) rich.t.rows.push_back({nm, "(dropped)"});
      spoutsml(" {c |}  {res}(dropped)\n");
      continue;
    }
    const double b = t.b[i];
    const double v = t.V[i * p + i];
    const double se = v >= 0 && v < misval ? std::sqrt(v) : misval;
    double ts = misval, pv = misval, lo = misval, hi = misval;
    if (se < misval && se > 0) {
      ts = b / se;
      pv = z ? 2 * fn_normal(-std::fabs(ts)) : 2 * fn_ttail(t.df_r, std::fabs(ts));
      if (pv >= misval) pv = misval;
    }
    // b plus or minus crit se: a zero standard error gives the interval b, b
    if (se < misval && crit < misval) {
      lo = b - crit * se;
      hi = b + crit * se;
    }
    double shown = b, sse = se;
    if (!t.eform.empty()) {
      shown = std::exp(b);
      sse = se < misval ? shown * se : misval;
      lo = lo < misval ? std::exp(lo) : misval;
      hi = hi < misval ? std::exp(hi) : misval;
    }
    l = " {c |}  {res}" + fmt("%9.0g", shown) + "  " + fmt("%9.0g", sse) + " " + fmt("%8.2f", ts) +
        "   " + fmt("%5.3f", pv);
    if (t.beta) {
      if (i < t.betas.size() && t.betas[i] < misval) l += std::string(16, ' ') + fmt("%9.0g", t.betas[i]);
    } else {
      l += "    " + fmt("%9.0g", lo) + "   " + fmt("%9.0g", hi);
    }
    if (rich.on) {
      std::vector<std::string> row = {nm, fmt("%9.0g", shown), fmt("%9.0g", sse),
                                      fmt("%8.2f", ts), fmt("%5.3f", pv)};
      if (t.beta) row.push_back(i < t.betas.size() && t.betas[i] < misval ? fmt("%9.0g", t.betas[i]) : "");
      else row.insert(row.end(), {fmt("%9.0g", lo), fmt("%9.0g", hi)});
      for (std::string& c : row) c.erase(0, c.find_first_not_of(' '));
      rich.t.rows.push_back(std::move(row));
    }
    while (!l.empty() && l.back() == ' ') l.pop_back();
    spoutsml((l + "\n").c_str());
  }
  spoutsml(t.plus ? "{txt}{hline 13}{c +}{hline 64}\n" : "{txt}{hline 13}{c BT}{hline 64}\n");
}

int ct_frome(CoefTable& t) {
  if (!st_ecoefs(t.names, t.b, t.V)) return error(RC_NOESTIMATES);
  const size_t p = t.names.size();
  if (t.V.empty()) t.V.assign(p * p, misval);
  t.dropped.assign(p, 0);
  for (size_t j = 0; j < p; ++j) t.dropped[j] = t.b[j] == 0 && t.V[j * p + j] == 0;
  t.df_r = st_escalarget("df_r");
  t.vcetype = st_elocalget("vcetype");
  const std::string dep = st_elocalget("depvar");
  t.depname = dep.substr(0, dep.find(' '));
  return 0;
}

int ct_options(ParseResult& pr, CoefTable& t) {
  t.level = st_setlevel();
  double lv[1];
  if (findoptv(pr, "level", 1, lv, 1, 0) == 1) t.level = lv[0];
  if (!(t.level >= 10 && t.level <= 99.99))
    return errmsgf(RC_SYNTAX, "level() must be between 10 and 99.99 inclusive\n");
  t.plus = findopt(pr, "plus", 4, 0) == 1;
  std::string ef;
  if (findargasis(pr, "eform", 5, ef, 64)) {
    if (ef.empty() || ef.size() > 12) return errmsgf(RC_SYNTAX, "option eform() invalid\n");
    t.eform = ef;
  }
  return 0;
}

int ct_ereturn_display() {
  ParseResult pr;
  if (int rc = parse({.varlist = PERM_NO, .ifexp = PERM_NO, .range = PERM_NO, .options = PERM_OPTIONAL}, pr)) return rc;
  CoefTable t;
  if (int rc = ct_options(pr, t)) return rc;
  if (int rc = chkopt(pr)) return rc;
  if (int rc = ct_frome(t)) return rc;
  ct_display(t);
  return 0;
}
