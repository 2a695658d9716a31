// panelreg: the linear panel-data estimators (fe, re, be) on the command
// side: parses the line, reads the sample and the panels, calls the engine
// (panelfit.cpp), posts e() and prints the header, the coefficient table and
// the variance components; replays; and _panelpredict, the predictions after
// it (xb, u, e, xbu).
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <unordered_map>
#include <vector>

#include "data/store.h"
#include "data/varlist.h"
#include "expr/expr.h"
#include "interp/cmdtab.h"
#include "interp/tokenizer.h"
#include "output/errors.h"
#include "output/format.h"
#include "output/output.h"
#include "results/results.h"
#include "stats/etable.h"
#include "stats/mlcmd.h"
#include "stats/panel.h"
#include "stats/panelcmd.h"
#include "stats/panelfit.h"
#include "stats/post.h"
#include "stats/stats.h"

namespace {

const char* const KINDNAME[] = {"fe", "re", "be", "mle"};

std::string num(const char* fmt, double v) { return sreforms(fmt, v); }

// Prints the current panelreg results: header, table, variance components
// and, under fe, the F test of the panel effects. 0 or 301.
int display(double level) {
  if (st_ecmd() != "panelreg") return error(RC_NOESTIMATES);
  const std::string model = st_elocalget("model");
  const bool fe = model == "fe", re = model == "re", ml = model == "mle";
  auto sc = [](const char* n) { return st_escalarget(n); };
  const char* title = fe ? "Fixed-effects (within) regression"
                         : re ? "Random-effects GLS regression"
                         : ml ? "Random-effects ML regression" : "Between regression (regression on panel means)";
  spoutsml("\n");
  pn_headrow(title, "Number of obs", num("%10.0f", sc("N")));
  pn_headrow("Panel variable: " + st_elocalget("ivar"), "Number of panels", num("%10.0f", sc("N_g")));
  spoutsml("\n");
  pn_headrow("R-squared:  within  = " + std::string(num("%6.4f", sc("r2_w"))), "Obs per panel: min", num("%10.0f", sc("g_min")));
  pn_headrow("            between = " + std::string(num("%6.4f", sc("r2_b"))), "               avg", num("%10.1f", sc("g_avg")));
  pn_headrow("            overall = " + std::string(num("%6.4f", sc("r2_o"))), "               max", num("%10.0f", sc("g_max")));
  char lab[64];
  if (re) {
    std::snprintf(lab, sizeof lab, "Wald chi2(%.0f)", sc("df_m"));
    pn_headrow("", lab, num("%10.2f", sc("chi2")));
    pn_headrow("", "Prob > chi2", num("%10.4f", sc("p")));
    spoutsmlf("{txt}theta (%s) = {res}%6.4f\n", sc("g_min") == sc("g_max") ? "balanced" : "median", sc("theta"));
  } else if (ml) {
    std::snprintf(lab, sizeof lab, "Wald chi2(%.0f)", sc("df_m"));
    pn_headrow("", lab, num("%10.2f", sc("chi2")));
    pn_headrow("Log likelihood = " + std::string(num("%10.0g", sc("ll"))), "Prob > chi2", num("%10.4f", sc("p")));
  } else {
    std::snprintf(lab, sizeof lab, "F(%.0f,%.0f)", sc("df_m"), sc("df_r"));
    pn_headrow("", lab, num("%10.2f", sc("F")));
    pn_headrow("", "Prob > F", num("%10.4f", sc("p")));
  }
  mlc_clusternote();
  spoutsml("\n");
  CoefTable t;
  if (int rc = ct_frome(t)) return rc;
  t.level = level;
  t.plus = true;
  ct_display(t);
  auto comp = [](const char* name, double v, const char* note) {
    std::string l = "{txt}";
    l.append(12 - std::string(name).size(), ' ');
    l += name;
    l += " {c |}  {res}" + std::string(sreforms("%9.0g", v)) + "   {txt}" + note + "\n";
    spoutsml(l.c_str());
  };
  comp("sigma_u", sc("sigma_u"), "");
  comp("sigma_e", sc("sigma_e"), "");
  comp("rho", sc("rho"), "(fraction of variance due to u_i)");
  spoutsml("{txt}{hline 13}{c BT}{hline 64}\n");
  if (fe && sc("F_f") < misval) {
    spoutsmlf("{txt}F test that all u_i=0: F(%.0f, %.0f) = {res}%8.2f{txt}%14sProb > F = {res}%6.4f\n", sc("df_a"),
              sc("df_f"), sc("F_f"), "", sc("p_f"));
  }
  if (ml && sc("chi2_c") < misval)
    spoutsmlf("{txt}LR test of sigma_u=0: chibar2(01) = {res}%.2f{txt}   Prob >= chibar2 = {res}%5.3f\n", sc("chi2_c"),
              sc("p_c"));
  if (re && sc("bp") < misval) {
    spoutsmlf("{txt}Breusch-Pagan LM test of var(u) = 0: chi2(1) = {res}%.2f{txt}   Prob > chi2 = {res}%6.4f\n",
              sc("bp"), sc("p_bp"));
  }
  return 0;
}

// panelreg [depvar [indepvars] [if] [in] [weight]] [, fe|re|be robust cluster(varname) i(varname) bplm level(#)]
int cmd_panelreg(int) {
  ParseResult pr;
  if (int rc = parse({.tsops = PERM_OPTIONAL, .weight = PERM_OPTIONAL, .options = PERM_OPTIONAL, .by = PERM_OPTIONAL}, pr)) return rc;
  double level = 95;
  if (int rc = st_level(pr, &level)) return rc;
  if (!pr.hasvarlist) {
    if (int rc = chkopt(pr)) return rc;
    if (pr.hasif || pr.hasin || pr.hasweight) return error(RC_SYNTAX);
    return display(level);
  }
  const bool fe = findopt(pr, "fe", 2, 0) == 1, re = findopt(pr, "re", 2, 0) == 1, be = findopt(pr, "be", 2, 0) == 1;
  const bool ml = findopt(pr, "mle", 3, 0) == 1;
  const bool bplm = findopt(pr, "bplm", 4, 0) == 1;
  if (fe + re + be + ml > 1) return errmsgf(RC_NOTCOMBINED, "options fe, re, be and mle may not be combined\n");
  const int kind = fe ? PF_FE : be ? PF_BE : ml ? PF_ML : PF_RE;
  MlcOpts o;
  if (ml) {
    o.nolog = findopt(pr, "log", 3, 1) == 0;
    double v[1];
    if (findoptv(pr, "iterate", 4, v, 1, 0) == 1) {
      if (!(v[0] >= 0 && v[0] <= 16000) || v[0] != std::floor(v[0]))
        return errmsgf(RC_SYNTAX, "iterate() must be an integer between 0 and 16000\n");
      o.ml.maxiter = static_cast<int>(v[0]);
    }
  }
  if (int rc = mlc_vceopts(pr, o)) return rc;
  int pv = 0;
  if (int rc = pn_panelvar(pr, &pv)) return rc;
  if (int rc = chkopt(pr)) return rc;
  const char wk = pr.hasweight ? pr.wgttype[0] : static_cast<char>(WK_NONE);
  if (wk && (kind == PF_RE || kind == PF_ML))
    return errmsgf(RC_NOTALLOWED, "weights not allowed with %s\n", KINDNAME[kind]);
  if (wk == WK_I) return errmsgf(RC_NOTALLOWED, "iweights not allowed\n");
  if (wk && wk != WK_A && kind == PF_BE) return errmsgf(RC_NOTALLOWED, "only aweights are allowed with be\n");
  if (wk == WK_P) o.robust = true;  // sampling weights: the sandwich always
  o.aweights = true;
  if (bplm && kind != PF_RE) return errmsgf(RC_SYNTAX, "option bplm is allowed only with re\n");
  if (kind == PF_BE && (o.robust || o.clustvar)) return errmsgf(RC_NOTALLOWED, "options robust and cluster() not allowed with be\n");
  if (o.robust && !o.clustvar) o.clustvar = pv;  // robust: clustered by panel
  if (vl.lnvar() < 1) return errmsgf(RC_TOOFEWVARS, "too few variables specified\n");

  MlcSample s;
  if (int rc = mlc_read(pr, o, s)) return rc;
  // Rows whose panel is missing leave the sample.
  std::vector<double> pval;
  if (int rc = pn_panelrows(s, pv, pval)) return rc;
  PanelData d;
  d.n = s.d.n;
  d.k = static_cast<int>(s.d.x.size());
  d.y = std::move(s.d.y);
  d.X.reserve(static_cast<size_t>(d.n) * static_cast<size_t>(d.k));
  for (auto& c : s.d.x) {
    d.X.insert(d.X.end(), c.begin(), c.end());
    std::vector<double>().swap(c);
  }
  d.G = pn_dense(pval, d.gid);
  if (o.clustvar) d.C = pn_dense(s.d.clust, d.cid);
  if (s.wkind) {
    if (!pn_constwithin(s.d.w, d.gid)) return errmsgf(RC_WEIGHTGROUP, "weights must be constant within panels\n");
    d.w = s.d.w;
    pn_scaleweights(s.wkind, d.w);
    d.freq = s.wkind == WK_F;
  }
  PanelFit f;
  if (kind == PF_ML) {
    PanelFit gls;
    if (int rc = pf_fit(d, PF_RE, false, gls)) return errmsgf(rc, "%s\n", gls.msg.c_str());
    MlOpts mo = o.ml;
    mo.log = mlc_logger(o);
    if (int rc = pf_mle(d, gls, mo, f)) return rc == RC_BREAK ? rc : errmsgf(rc, "%s\n", f.msg.c_str());
    if (!f.converged) st_note("convergence not achieved\n");
  } else if (int rc = pf_fit(d, kind, bplm, f)) {
    return errmsgf(rc, "%s\n", f.msg.c_str());
  }
  std::vector<std::string> names = s.names;
  for (int j = 0; j < d.k; ++j) {
    if (f.drop[static_cast<size_t>(j)] == PF_CONSTWITHIN)
      st_note("note: " + names[static_cast<size_t>(j)] + " dropped because it is constant within panels\n");
    else if (f.drop[static_cast<size_t>(j)] == PF_COLLINEAR)
      st_note("note: " + names[static_cast<size_t>(j)] + " dropped because of collinearity\n");
  }
  names.push_back("_cons");

  // The variables' names first: clearing e() drops the previous estimation's
  // sample marker, which renumbers the variables made after it.
  const std::string clustname = o.clustvar ? varname(o.clustvar) : "", ivarname = varname(pv);
  st_eclear();
  st_escalar("N", s.wkind == WK_F ? std::round(f.N) : f.N);
  st_escalar("N_g", f.G);
  st_escalar("g_min", f.Tmin);
  st_escalar("g_avg", f.Tavg);
  st_escalar("g_max", f.Tmax);
  st_escalar("sigma_u", f.sigma_u);
  st_escalar("sigma_e", f.sigma_e);
  st_escalar("rho", f.rho);
  st_escalar("r2_w", f.r2_w);
  st_escalar("r2_b", f.r2_b);
  st_escalar("r2_o", f.r2_o);
  st_escalar("df_m", f.df_m);
  st_escalar("rss", f.rss);
  if (kind == PF_ML) {
    st_escalar("chi2", f.stat);
    st_escalar("ll", f.ll);
    st_escalar("ll_c", f.ll_c);
    st_escalar("chi2_c", f.chi2_c);
    st_escalar("p_c", f.p_c);
    st_escalar("se_lnsu", f.se_lnsu);
    st_escalar("se_lnse", f.se_lnse);
    st_escalar("ic", f.iter);
    st_escalar("converged", f.converged ? 1 : 0);
  } else if (kind == PF_RE) {
    st_escalar("chi2", f.stat);
    st_escalar("theta", f.theta);
    st_escalar("thta_min", f.thmin);
    st_escalar("thta_max", f.thmax);
    if (bplm) {
      st_escalar("bp", f.bp);
      st_escalar("p_bp", f.p_bp);
    }
  } else {
    st_escalar("F", f.stat);
    st_escalar("df_r", f.df_r);
  }
  st_escalar("p", f.pstat);
  if (kind == PF_FE) {
    st_escalar("F_f", f.F_f);
    st_escalar("df_a", f.df_f1);
    st_escalar("df_f", f.df_f2);
    st_escalar("p_f", f.p_f);
  }
  if (o.clustvar) {
    st_escalar("N_clust", f.C);
    st_elocal("clustvar", clustname.c_str());
    st_elocal("vcetype", "Robust");
  }
  if (s.wkind) {
    st_elocal("wtype", (std::string(1, s.wkind) + "weight").c_str());
    st_elocal("wexp", ("= " + s.wexp).c_str());
  }
  st_elocal("cmd", "panelreg");
  st_elocal("model", KINDNAME[kind]);
  st_elocal("ivar", ivarname.c_str());
  st_elocal("depvar", s.depname.c_str());
  st_elocal("predict", "panelreg_p");
  st_elocal("properties", "b V");
  st_epost(names, f.b, f.V);
  mlc_esample(s);
  if (int rc = display(level)) return rc;
  return f.converged ? 0 : RC_NOCONVERGE;
}

// One coefficient's term resolved against the data.
struct Term {
  int var = 0;   // 0 for _cons
  TsRecipe rcp;
};

int resolve(const std::string& name, Term& t) {
  t = Term{};
  if (name == "_cons") return 0;
  std::vector<int> vars;
  std::vector<TsRecipe> rcps;
  const char* end = nullptr;
  if (name.find('.') == std::string::npos) {
    t.var = findvarexact(name.c_str());
    return t.var ? 0 : varnotfound(name.c_str());
  }
  if (int rc = tsparse_item(name.c_str(), &end, vars, rcps)) return rc;
  if (vars.size() != 1) return varnotfound(name.c_str());
  t.var = vars[0], t.rcp = rcps[0];
  return 0;
}

double termvalue(const Term& t, long obs, int tvar, int pvar) {
  if (t.var == 0) return 1;
  if (t.rcp.plain()) return zelta_data(t.var, obs);
  return tsdata(t.var, t.rcp, obs, tvar, pvar);
}

// _panelpredict [type] newvar [if] [in] [, xb u e xbu]
int cmd_panelpredict(int) {
  std::string w = gettok(prsestd);
  int type = typecode(w.c_str());
  if (type) w = gettok(prsestd);
  if (w.empty() || w == "," || w == "if" || w == "in") return required("new variable name");
  if (type && isstrtype(type)) return error(RC_TYPEMISMATCH);
  const std::string name = w;
  ParseResult pr;
  if (int rc = parse_ifinopts({.options = PERM_OPTIONAL, .by = PERM_OPTIONAL}, pr)) return rc;
  enum { XB, U, E, XBU };
  int kinds = 0, kind = XB;
  if (findopt(pr, "xb", 2, 0) == 1) ++kinds, kind = XB;
  if (findopt(pr, "u", 1, 0) == 1) ++kinds, kind = U;
  if (findopt(pr, "e", 1, 0) == 1) ++kinds, kind = E;
  if (findopt(pr, "xbu", 3, 0) == 1) ++kinds, kind = XBU;
  if (int rc = chkopt(pr)) return rc;
  if (kinds > 1) return errmsgf(RC_SYNTAX, "only one statistic may be specified\n");
  if (st_ecmd() != "panelreg") return error(RC_NOESTIMATES);
  std::vector<std::string> names;
  std::vector<double> b, V;
  if (!st_ecoefs(names, b, V)) return error(RC_NOESTIMATES);
  if (int rc = chkvarname(name.c_str())) return rc;
  if (findvarexact(name.c_str())) return errmsgf(RC_DEFINED, "%s already defined\n", name.c_str());
  const size_t p = names.size();
  std::vector<Term> terms(p);
  std::vector<unsigned char> skip(p, 0);
  for (size_t j = 0; j < p; ++j) {
    skip[j] = b[j] == 0 && (V.empty() || V[j * p + j] == 0);
    if (!skip[j])
      if (int rc = resolve(names[j], terms[j])) return rc;
  }
  Term dep;
  int pv = 0;
  if (kind != XB) {
    if (int rc = resolve(st_elocalget("depvar"), dep)) return rc;
    pv = findvarexact(st_elocalget("ivar").c_str());
    if (!pv) return varnotfound(st_elocalget("ivar").c_str());
  }
  bool ts = !dep.rcp.plain();
  for (const Term& t : terms) ts = ts || (t.var && !t.rcp.plain());
  int tvar = 0, tpvar = 0;
  if (ts)
    if (int rc = tscheck(&tvar, &tpvar)) return rc;
  auto xbof = [&](long obs) {
    double r = 0;
    for (size_t j = 0; j < p; ++j) {
      if (skip[j]) continue;
      const double x = termvalue(terms[j], obs, tvar, tpvar);
      if (!(x < misval)) return misval;
      r += b[j] * x;
    }
    return r;
  };
  // The panel effects from the estimation sample.
  std::unordered_map<double, std::pair<double, double>> eff;  // panel -> (sum, count)
  if (kind != XB) {
    const int sv = estval_samplevar();
    if (!sv) return errmsgf(RC_BADAFTEREST, "the estimation sample is not marked\n");
    for (long obs = 1; obs <= ds.nobs; ++obs) {
      if (zelta_data(sv, obs) != 1) continue;
      const double xb = xbof(obs), y = termvalue(dep, obs, tvar, tpvar), g = zelta_data(pv, obs);
      if (xb < misval && y < misval && g < misval) {
        auto& a = eff[g];
        a.first += y - xb, a.second += 1;
      }
    }
    const bool re = st_elocalget("model") == "re" || st_elocalget("model") == "mle";
    const double su = st_escalarget("sigma_u"), se = st_escalarget("sigma_e");
    for (auto& [g, a] : eff) {
      double u = a.first / a.second;
      if (re) {
        const double su2 = su * su, se2 = se * se / a.second;
        u *= su2 + se2 > 0 ? su2 / (su2 + se2) : 0;
      }
      a.first = u;
    }
  }
  if (kinds == 0) st_note("(option xb assumed; fitted values)\n");
  if (int rc = addvar(name.c_str(), type ? type : ds.deftype)) return rc;
  const int nv = ds.nvar;
  long missing = 0;
  for (long obs = 1; obs <= ds.nobs; ++obs) {
    double r = misval;
    if (obs >= ds.nobs1 && obs <= ds.nobs2 && selobs(obs)) {
      const double xb = kind == U ? 0 : xbof(obs);
      double u = 0;
      if (kind != XB) {
        auto it = eff.find(zelta_data(pv, obs));
        u = it == eff.end() ? misval : it->second.first;
      }
      if (xb < misval && u < misval) {
        if (kind == XB) r = xb;
        else if (kind == U) r = u;
        else if (kind == XBU) r = xb + u;
        else {
          const double y = termvalue(dep, obs, tvar, tpvar);
          r = y < misval ? y - xb - u : misval;
        }
      }
    }
    if (!(r < misval)) ++missing;
    store(nv, obs, r < misval ? r : misval);
  }
  s_updata(nv);
  if (missing) st_note("(" + std::to_string(missing) + " missing value" + plural_s(missing) + " generated)\n");
  return 0;
}

}  // namespace

void stats_bindpanelreg() {
  cmdbind("_panelreg", cmd_panelreg);
  cmdbind("_panelpredict", cmd_panelpredict);
}
