// cox: the proportional-hazards regression of a survival time, with the
// predictions after it (relative hazard, linear prediction, baseline
// survivor and cumulative hazard, martingale and Schoenfeld residuals) and
// phtest, the test of proportional hazards from scaled Schoenfeld
// residuals. Parsing, posting and printing; the partial likelihood is in
// coxfit.cpp and the maximiser and sandwich are the shared ones.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <numeric>
#include <sstream>
#include <string>
#include <vector>

#include "data/store.h"
#include "data/varlist.h"
#include "expr/expr.h"
#include "interp/cmdtab.h"
#include "output/errors.h"
#include "output/format.h"
#include "output/output.h"
#include "platform/platform.h"
#include "results/results.h"
#include "stats/coxfit.h"
#include "stats/etable.h"
#include "stats/mlcmd.h"
#include "stats/post.h"
#include "stats/stats.h"

namespace {

// The rows of a fit before sorting, and where they came from once sorted.
struct CoxIn {
  std::vector<long> obs;                  // dataset observation of each row
  std::vector<double> t, dead, w, clust;  // time, failure, weight (empty none), cluster (empty none)
  std::vector<std::vector<double>> x;     // covariate columns
  std::vector<std::vector<double>> strat; // strata variables' values
  std::vector<double> gt;                 // texp() at each row (tvc() only)
};

// Sorts the rows of in by stratum and time into d (centred covariates,
// stratum starts) and reorders in's obs, clust and w alike.
void build(CoxIn& in, bool efron, CoxData& d) {
  const size_t n = in.obs.size();
  std::vector<size_t> perm(n);
  std::iota(perm.begin(), perm.end(), 0);
  std::stable_sort(perm.begin(), perm.end(), [&](size_t a, size_t b) {
    for (const auto& s : in.strat)
      if (s[a] != s[b]) return s[a] < s[b];
    return in.t[a] < in.t[b];
  });
  auto apply = [&](std::vector<double>& v) {
    if (v.empty()) return;
    std::vector<double> c(n);
    for (size_t i = 0; i < n; ++i) c[i] = v[perm[i]];
    v = std::move(c);
  };
  apply(in.t), apply(in.dead), apply(in.w), apply(in.clust), apply(in.gt);
  for (auto& s : in.strat) apply(s);
  for (auto& c : in.x) apply(c);
  std::vector<long> o(n);
  for (size_t i = 0; i < n; ++i) o[i] = in.obs[perm[i]];
  in.obs = std::move(o);
  d = CoxData{};
  d.n = static_cast<long>(n);
  d.p = static_cast<int>(in.x.size());
  d.efron = efron;
  d.t = in.t;
  d.dead = in.dead;
  d.w = in.w;
  d.gt = in.gt;
  const size_t P = in.x.size();
  d.xmean.assign(P, 0);
  for (size_t j = 0; j < P; ++j) {
    double s = 0;
    for (double v : in.x[j]) s += v;
    d.xmean[j] = n ? s / static_cast<double>(n) : 0;
  }
  d.x.resize(n * P);
  for (size_t i = 0; i < n; ++i)
    for (size_t j = 0; j < P; ++j) d.x[i * P + j] = in.x[j][i] - d.xmean[j];
  for (size_t i = 0; i < n; ++i) {
    bool nw = i == 0;
    for (const auto& s : in.strat) nw = nw || s[i] != s[i - 1];
    if (nw) d.strata.push_back(static_cast<long>(i));
  }
  d.strata.push_back(static_cast<long>(n));
}

// Checks the times (positive) and failure indicators (0 or 1). 0 or a code.
int checkrows(const CoxIn& in, const std::string& tname, const std::string& dname) {
  for (double v : in.t)
    if (!(v > 0)) return errmsgf(RC_NONPOSITIVE, "survival time %s has nonpositive values\n", tname.c_str());
  for (double v : in.dead)
    if (v != 0 && v != 1) return errmsgf(RC_NOTBINARY, "dead() variable %s must be 0 or 1\n", dname.c_str());
  return 0;
}

// The variables of a blank-separated list of exact names; 0 or 111.
int namedvars(const std::string& list, std::vector<int>& vars) {
  std::istringstream is(list);
  std::string w;
  vars.clear();
  while (is >> w) {
    const int v = findvarexact(w.c_str());
    if (!v) return varnotfound(w.c_str());
    vars.push_back(v);
  }
  return 0;
}

// Prints the header and table of the current cox results.
void display(double level, bool hr) {
  char b[64];
  spoutsml("\n{txt}");
  spout21(st_elocalget("title").c_str());
  std::snprintf(b, sizeof b, "%.0f", st_escalarget("N"));
  ct_headline("Number of obs", b);
  std::snprintf(b, sizeof b, "%.0f", st_escalarget("N_fail"));
  ct_headline("Failures", b);
  std::snprintf(b, sizeof b, "%s chi2(%.0f)", st_elocalget("chi2type").c_str(), st_escalarget("df_m"));
  ct_headline(b, sreforms("%10.2f", st_escalarget("chi2")));
  spoutsml("{txt}Log likelihood = {res}");
  spoutsml(sreforms("%10.0g", st_escalarget("ll")));
  ct_headline("Prob > chi2", sreforms("%10.4f", st_escalarget("p")));
  mlc_clusternote();
  spoutsml("\n");
  CoefTable t;
  if (ct_frome(t)) return;
  t.level = level;
  t.eform = hr ? "Haz. Ratio" : "";
  ct_display(t);
}

// A new variable name from an option's argument, checked; "" when absent.
int newvaropt(ParseResult& pr, const char* opt, int min, std::string& name) {
  name.clear();
  if (!findargn(pr, opt, min, name, 64, 1)) return 0;
  if (name.empty()) return errmsgf(RC_SYNTAX, "option %s() invalid\n", opt);
  return chkvarname(name.c_str());
}

// Stores vals (one per sorted row of in) into a new double variable.
int storerows(const std::string& name, const CoxIn& in, const std::vector<double>& vals, size_t stride, size_t col) {
  if (int rc = addvar(name.c_str(), ds.deftype)) return rc;
  const int nv = ds.nvar;
  for (size_t i = 0; i < in.obs.size(); ++i) store(nv, in.obs[i], vals[i * stride + col]);
  s_updata(nv);
  return 0;
}

// cox timevar [indepvars] [if] [in] [weight] [, dead(varname) strata(varlist)
//     breslow efron exactp nohr robust cluster(varname) basesurv(newvar)
//     basehazard(newvar) tvc(varlist) texp(exp) level(#) iterate(#) tolerance(#) nolog]
int cmd_cox(int) {
  ParseResult pr;
  if (int rc = parse({.tsops = PERM_OPTIONAL, .weight = PERM_OPTIONAL, .options = PERM_OPTIONAL, .by = PERM_OPTIONAL}, pr)) return rc;
  if (!pr.hasvarlist) {
    if (st_ecmd() != "cox") return error(RC_NOESTIMATES);
    double level;
    if (int rc = st_level(pr, &level)) return rc;
    const bool hr = findopt(pr, "hr", 2, 1) == 1;
    if (int rc = chkopt(pr)) return rc;
    if (pr.hasif || pr.hasin || pr.hasweight) return error(RC_SYNTAX);
    display(level, hr);
    return 0;
  }
  MlcOpts o;
  if (int rc = mlc_options(pr, o, false, false)) return rc;
  if (o.nocons) return errmsgf(RC_SYNTAX, "option noconstant not allowed\n");
  const bool hr = findopt(pr, "hr", 2, 1) == 1;
  const bool efron = findopt(pr, "efron", 3, 0) == 1;
  const bool breslow = findopt(pr, "breslow", 3, 0) == 1;
  const bool exact = findopt(pr, "exactp", 6, 0) == 1;
  if (efron + breslow + exact > 1) return errmsgf(RC_SYNTAX, "options breslow, efron and exactp may not be combined\n");
  std::string tvctext, texp;
  const bool hastvc = findargn(pr, "tvc", 3, tvctext, 1024, 64);
  const bool hastexp = findargasis(pr, "texp", 4, texp, 1024);
  if (hastexp && !hastvc) return errmsgf(RC_SYNTAX, "option texp() requires option tvc()\n");
  if (hastexp && texp.find_first_not_of(' ') == std::string::npos) return errmsgf(RC_SYNTAX, "option texp() invalid\n");
  int deadvar = 0;
  std::string a;
  if (findargn(pr, "dead", 2, a, 64, 1)) {
    deadvar = zelta_findvar(a.c_str(), 1, false);
    if (deadvar < 0) return -deadvar;
    if (isstrtype(vartype(deadvar))) return errmsgf(RC_TYPEMISMATCH, "dead() variable %s must be numeric\n", a.c_str());
  }
  std::string stext;
  const bool hasstrata = findargn(pr, "strata", 3, stext, 1024, 64);
  std::string bsname, bhname;
  if (int rc = newvaropt(pr, "basesurv", 5, bsname)) return rc;
  if (int rc = newvaropt(pr, "basehazard", 5, bhname)) return rc;
  if (!bsname.empty() && bsname == bhname) return errmsgf(RC_DEFINED, "%s already defined\n", bsname.c_str());
  if (int rc = chkopt(pr)) return rc;
  if (hastvc || exact) {
    const char* what = hastvc ? "tvc()" : "exactp";
    if (o.robust || o.clustvar) return errmsgf(RC_NOTALLOWED, "robust and cluster() may not be combined with %s\n", what);
    if (!bsname.empty() || !bhname.empty())
      return errmsgf(RC_NOTALLOWED, "basesurv() and basehazard() may not be combined with %s\n", what);
  }
  if (exact && pr.hasweight) return errmsgf(RC_NOTALLOWED, "weights not allowed with exactp\n");
  if (hastvc && pr.hasweight && pr.wgttype[0] == WK_P) return errmsgf(RC_NOTALLOWED, "pweights not allowed with tvc()\n");
  MlcSample s;
  if (int rc = mlc_read(pr, o, s)) return rc;
  // The strata variables (read after the sample: their list replaces the
  // parsed one).
  std::vector<int> stvars;
  if (hasstrata) {
    if (int rc = st_textvars(stext, stvars)) return rc;
    for (int v : stvars)
      if (isstrtype(vartype(v))) return errmsgf(RC_TYPEMISMATCH, "strata() variable %s must be numeric\n", varname(v).c_str());
  }
  // The covariates with time-varying coefficients, and the function of
  // time they are multiplied by: texp() with _t standing for the time.
  std::vector<int> tvvars;
  ExprProg gprog;
  if (hastvc) {
    if (int rc = st_textvars(tvctext, tvvars)) return rc;
    for (int v : tvvars)
      if (isstrtype(vartype(v))) return errmsgf(RC_TYPEMISMATCH, "tvc() variable %s must be numeric\n", varname(v).c_str());
    std::string e = hastexp ? texp : "_t";
    std::string out;
    for (size_t i = 0; i < e.size();) {
      const bool start = i == 0 || !(std::isalnum(static_cast<unsigned char>(e[i - 1])) || e[i - 1] == '_');
      if (start && e.compare(i, 2, "_t") == 0 &&
          (i + 2 == e.size() || !(std::isalnum(static_cast<unsigned char>(e[i + 2])) || e[i + 2] == '_'))) {
        out += s.depname;
        i += 2;
      } else {
        out += e[i++];
      }
    }
    if (int rc = compexp_u(out.c_str(), gprog, EXP_NUM)) return rc;
  }
  // The failure indicator and strata of each row; rows missing either leave.
  std::vector<unsigned char> keep(static_cast<size_t>(s.d.n), 1);
  bool miss = false;
  for (long i = 0; i < s.d.n; ++i) {
    const long ob = s.obs[static_cast<size_t>(i)];
    bool u = !deadvar || zelta_data(deadvar, ob) < misval;
    for (int v : stvars) u = u && zelta_data(v, ob) < misval;
    for (int v : tvvars) u = u && zelta_data(v, ob) < misval;
    if (!u) keep[static_cast<size_t>(i)] = 0, miss = true;
  }
  if (miss) mlc_keeprows(s, keep);
  if (s.d.n == 0) return st_noobs();
  std::vector<unsigned char> dropped;
  mlc_rmcoll(s, true, dropped);
  CoxIn in;
  in.obs = s.obs;
  in.t = s.d.y;
  in.w = s.d.w;
  in.clust = s.d.clust;
  for (size_t j = 0; j < s.d.x.size(); ++j)
    if (!dropped[j]) in.x.push_back(s.d.x[j]);
  for (long ob : s.obs) in.dead.push_back(deadvar ? zelta_data(deadvar, ob) : 1);
  for (int v : stvars) {
    std::vector<double> c;
    for (long ob : s.obs) c.push_back(zelta_data(v, ob));
    in.strat.push_back(std::move(c));
  }
  for (int v : tvvars) {
    std::vector<double> c;
    for (long ob : s.obs) c.push_back(zelta_data(v, ob));
    in.x.push_back(std::move(c));
  }
  if (hastvc)
    for (long ob : s.obs) in.gt.push_back(evalnum(gprog, ob));
  if (int rc = checkrows(in, s.depname, deadvar ? varname(deadvar) : "")) return rc;
  if (std::find(in.dead.begin(), in.dead.end(), 1.0) == in.dead.end())
    return errmsgf(RC_NOOBS, "no failures in the sample\n");
  CoxData d;
  build(in, efron, d);
  d.exact = exact;
  d.ptv = static_cast<int>(tvvars.size());
  if (hastvc) {
    // g must be a function of the time alone: one value per time.
    std::vector<size_t> ord(in.t.size());
    std::iota(ord.begin(), ord.end(), 0);
    std::sort(ord.begin(), ord.end(), [&](size_t x, size_t y) { return in.t[x] < in.t[y]; });
    for (size_t i = 0; i < ord.size(); ++i) {
      if (!(in.gt[ord[i]] < misval)) return errmsgf(RC_BADDATA, "texp() evaluates to missing at some times\n");
      if (i > 0 && in.t[ord[i]] == in.t[ord[i - 1]] && in.gt[ord[i]] != in.gt[ord[i - 1]])
        return errmsgf(RC_BADDATA, "texp() must be a function of _t: it differs between rows with the same time\n");
    }
  }
  double nfail = 0;
  for (size_t i = 0; i < in.dead.size(); ++i) nfail += in.dead[i] * (s.wkind == WK_F ? in.w[i] : 1);
  MlModel m;
  MlEq eq;
  eq.cons = false;
  for (int j = 0; j < d.p; ++j) eq.cols.push_back(j);
  m.eqs = {eq};
  cox_model(m, d);
  const int P = d.p;
  std::vector<double> b0(static_cast<size_t>(P), 0);
  double ll0 = 0;
  if (cox_eval(d, b0, 0, &ll0, nullptr, nullptr)) return 1;
  MlResult r;
  if (P > 0) {
    MlOpts q = o.ml;
    q.log = mlc_logger(o);
    const MlData none;  // the partial likelihood reads d itself
    const int rc = ml_maximize(m, none, b0, q, r);
    if (rc == ML_BREAK) return 1;
    if (rc == ML_NOINIT) return errmsgf(RC_OVERFLOW, "initial values not feasible\n");
  } else {
    r.ll = ll0;
    r.converged = true;
  }
  MlcFit f;
  f.wald = o.robust || o.clustvar || s.wkind == WK_P;
  std::vector<double> V = r.V;
  if (f.wald && P > 0) {
    CoxRows rows;
    double ll;
    if (cox_eval(d, r.b, 1, &ll, nullptr, nullptr, &rows)) return 1;
    f.nclust = ml_robust(V, P, d.n, rows.score, s.wkind == WK_F ? in.w.data() : nullptr,
                         o.clustvar ? in.clust.data() : nullptr);
  }
  f.cmd = "cox";
  f.title = exact ? std::string("Cox regression -- exact partial likelihood")
                  : std::string("Cox regression -- ") + (efron ? "Efron" : "Breslow") + " method for ties";
  f.N = s.wkind == WK_F ? s.d.wsum() : static_cast<double>(s.d.n);
  f.ll = r.ll;
  f.ll_0 = ll0;
  f.ic = r.iter;
  f.converged = r.converged;
  f.k = P;
  if (P > 0) mlc_chi2(f, P, r.b, V, P);
  std::vector<std::string> tvnames;
  for (int v : tvvars) tvnames.push_back("tvc:" + varname(v));
  mlc_coefs(f, s, dropped, false, hastvc ? "main" : "", tvnames, P > 0 ? r.b : std::vector<double>{}, V);
  // Posting. The variables' names first: clearing e() drops the previous
  // estimation's sample marker, which renumbers the variables made after it.
  auto names = [](const std::vector<int>& vars) {
    std::string l;
    for (int v : vars) l += (l.empty() ? "" : " ") + varname(v);
    return l;
  };
  const std::string clustname = o.clustvar ? varname(o.clustvar) : "", deadname = deadvar ? varname(deadvar) : "";
  const std::string sl = names(stvars), tl = names(tvvars);
  st_eclear();
  st_escalar("N", f.N);
  st_escalar("N_fail", nfail);
  st_escalar("ll", f.ll);
  st_escalar("ll_0", f.ll_0);
  st_escalar("k", f.k);
  st_escalar("df_m", f.df_m);
  st_escalar("chi2", f.chi2);
  st_escalar("p", ml_chi2tail(f.df_m, f.chi2));
  st_escalar("ic", f.ic);
  st_escalar("converged", f.converged ? 1 : 0);
  st_escalar("rc", f.converged ? 0 : RC_NOCONVERGE);
  if (o.clustvar) {
    st_escalar("N_clust", static_cast<double>(f.nclust));
    st_elocal("clustvar", clustname.c_str());
  }
  st_elocal("cmd", "cox");
  st_elocal("title", f.title.c_str());
  st_elocal("depvar", s.depname.c_str());
  st_elocal("dead", deadname.c_str());
  st_elocal("strata", sl.c_str());
  st_elocal("ties", efron ? "efron" : exact ? "exactp" : "breslow");
  if (hastvc) {
    st_elocal("tvc", tl.c_str());
    st_elocal("texp", hastexp ? texp.c_str() : "_t");
  }
  st_elocal("chi2type", f.wald ? "Wald" : "LR");
  const std::string vt = f.wald ? "Robust" : "";
  st_elocal("vcetype", vt.c_str());
  st_elocal("vce", o.clustvar ? "cluster" : f.wald ? "robust" : "oim");
  if (s.wkind) {
    st_elocal("wtype", (std::string(1, s.wkind) + "weight").c_str());
    st_elocal("wexp", ("= " + s.wexp).c_str());
  }
  st_elocal("predict", "cox_p");
  st_elocal("properties", "b V");
  st_epost(f.names, f.b, f.V);
  mlc_esample(s);
  if (!r.converged) st_note("convergence not achieved\n");
  display(o.level, hr);
  if (!bsname.empty() || !bhname.empty()) {
    CoxRows rows;
    double ll;
    if (cox_eval(d, P > 0 ? r.b : b0, 0, &ll, nullptr, nullptr, &rows)) return 1;
    if (!bhname.empty())
      if (int rc = storerows(bhname, in, rows.h0, 1, 0)) return rc;
    if (!bsname.empty()) {
      for (double& v : rows.h0) v = std::exp(-v);
      if (int rc = storerows(bsname, in, rows.h0, 1, 0)) return rc;
    }
  }
  return r.converged ? 0 : RC_NOCONVERGE;
}

// Rebuilds the rows of the current cox results (e(sample), e(depvar),
// e(dead), e(strata), the weights) into in and d, with the coefficients
// of the covariates that were kept: b and their names. 0 or a code.
int fromfit(CoxIn& in, CoxData& d, std::vector<double>& b, std::vector<std::string>& names) {
  if (st_ecmd() != "cox") return error(RC_NOESTIMATES);
  if (!st_elocalget("tvc").empty() || st_elocalget("ties") == "exactp")
    return errmsgf(RC_NOTALLOWED, "not available after cox with tvc() or exactp\n");
  std::vector<std::string> cn;
  std::vector<double> cb, cV;
  if (!st_ecoefs(cn, cb, cV)) return error(RC_NOESTIMATES);
  const size_t p0 = cn.size();
  std::vector<int> xv;
  b.clear(), names.clear();
  for (size_t j = 0; j < p0; ++j) {
    if (cb[j] == 0 && (cV.empty() || cV[j * p0 + j] == 0)) continue;
    const int v = findvarexact(cn[j].c_str());
    if (!v) return varnotfound(cn[j].c_str());
    xv.push_back(v), b.push_back(cb[j]), names.push_back(cn[j]);
  }
  const int tv = findvarexact(st_elocalget("depvar").c_str());
  if (!tv) return varnotfound(st_elocalget("depvar").c_str());
  const std::string dn = st_elocalget("dead");
  const int dv = dn.empty() ? 0 : findvarexact(dn.c_str());
  if (!dn.empty() && !dv) return varnotfound(dn.c_str());
  std::vector<int> sv;
  if (int rc = namedvars(st_elocalget("strata"), sv)) return rc;
  const int mk = estval_samplevar();
  if (!mk) return errmsgf(RC_BADAFTEREST, "estimation sample not found\n");
  ExprProg wp;
  std::string wexp = st_elocalget("wexp");
  const bool wt = !wexp.empty();
  if (wt) {
    wexp.erase(0, wexp.find_first_not_of("= "));
    if (int rc = compexp_u(wexp.c_str(), wp, EXP_NUM)) return rc;
  }
  in = CoxIn{};
  in.x.assign(xv.size(), {});
  in.strat.assign(sv.size(), {});
  for (long obs = 1; obs <= ds.nobs; ++obs) {
    if (zelta_data(mk, obs) != 1) continue;
    in.obs.push_back(obs);
    in.t.push_back(zelta_data(tv, obs));
    in.dead.push_back(dv ? zelta_data(dv, obs) : 1);
    if (wt) in.w.push_back(evalnum(wp, obs));
    for (size_t j = 0; j < xv.size(); ++j) in.x[j].push_back(zelta_data(xv[j], obs));
    for (size_t j = 0; j < sv.size(); ++j) in.strat[j].push_back(zelta_data(sv[j], obs));
  }
  // The data may have changed since the fit: check again.
  auto bad = [](const std::vector<double>& v) { return std::any_of(v.begin(), v.end(), [](double a) { return !(a < misval); }); };
  bool changed = bad(in.t) || bad(in.dead) || bad(in.w);
  for (const auto& c : in.x) changed = changed || bad(c);
  for (const auto& c : in.strat) changed = changed || bad(c);
  if (changed || in.obs.empty()) return errmsgf(RC_BADDATA, "the estimation sample has changed since cox\n");
  if (int rc = checkrows(in, st_elocalget("depvar"), dn)) return rc;
  build(in, st_elocalget("ties") == "efron", d);
  return 0;
}

// The predictions after cox (cox_p reaches here through _predict):
// predict [type] newvar(s) [if] [in] [, hr xb basesurv basechazard
// martingale schoenfeld].
int cox_predictcmd(int type, const std::string& name, const std::vector<std::string>& more) {
  ParseResult pr;
  if (int rc = parse_ifinopts({.options = PERM_OPTIONAL, .by = PERM_OPTIONAL}, pr)) return rc;
  if (st_ecmd() == "cox" && (!st_elocalget("tvc").empty() || st_elocalget("ties") == "exactp"))
    return errmsgf(RC_NOTALLOWED, "not available after cox with tvc() or exactp\n");
  const char* opts[] = {"hr", "xb", "basesurv", "basechazard", "martingale", "schoenfeld"};
  const int mins[] = {2, 2, 5, 5, 4, 3};
  int kind = -1;
  for (int k = 0; k < 6; ++k)
    if (findopt(pr, opts[k], mins[k], 0) == 1) {
      if (kind >= 0) return errmsgf(RC_SYNTAX, "only one statistic may be specified\n");
      kind = k;
    }
  if (int rc = chkopt(pr)) return rc;
  if (kind < 0) {
    kind = 0;
    st_note("(option hr assumed; relative hazard)\n");
  }
  std::vector<std::string> all{name};
  all.insert(all.end(), more.begin(), more.end());
  if (type && isstrtype(type)) return error(RC_TYPEMISMATCH);
  CoxIn in;
  CoxData d;
  std::vector<double> b;
  std::vector<std::string> names;
  if (int rc = fromfit(in, d, b, names)) return rc;
  const size_t P = b.size();
  const size_t want = kind == 5 ? P : 1;
  if (all.size() != want)
    return errmsgf(RC_SYNTAX, kind == 5 ? "schoenfeld needs %d new variables, one for each covariate\n"
                                        : "%d new variable expected\n",
                   static_cast<int>(want));
  for (size_t a = 0; a < all.size(); ++a) {
    if (int rc = chkvarname(all[a].c_str())) return rc;
    for (size_t c = 0; c < a; ++c)
      if (all[c] == all[a]) return errmsgf(RC_DEFINED, "%s already defined\n", all[a].c_str());
  }
  auto pick = [](long obs) { return obs >= ds.nobs1 && obs <= ds.nobs2 && selobs(obs); };
  const int first = ds.nvar + 1;
  long missing = 0;
  if (kind <= 1) {
    std::vector<int> xv;
    for (const std::string& n : names) xv.push_back(findvarexact(n.c_str()));
    if (int rc = addvar(name.c_str(), type ? type : ds.deftype)) return rc;
    for (long obs = 1; obs <= ds.nobs; ++obs) {
      double r = 0;
      for (size_t j = 0; j < P && r < misval; ++j) {
        const double x = zelta_data(xv[j], obs);
        r = x < misval ? r + b[j] * x : misval;
      }
      if (!pick(obs)) r = misval;
      if (r < misval && kind == 0) r = std::exp(r);
      if (!(r < misval)) ++missing;
      store(first, obs, r < misval ? r : misval);
    }
    s_updata(first);
  } else {
    CoxRows rows;
    double ll;
    if (cox_eval(d, b, 0, &ll, nullptr, nullptr, &rows)) return 1;
    for (const std::string& n : all)
      if (int rc = addvar(n.c_str(), type ? type : ds.deftype)) return rc;
    for (size_t i = 0; i < in.obs.size(); ++i) {
      const long obs = in.obs[i];
      if (!pick(obs)) continue;
      for (size_t v = 0; v < all.size(); ++v) {
        double r = misval;
        if (kind == 2) r = std::exp(-rows.h0[i]);
        else if (kind == 3) r = rows.h0[i];
        else if (kind == 4) r = rows.mart[i];
        else if (in.dead[i] != 0) r = rows.schoen[i * P + v];
        store(first + static_cast<int>(v), obs, r);
      }
    }
    for (long obs = 1; obs <= ds.nobs; ++obs)
      if (!(zelta_data(first, obs) < misval)) ++missing;
    for (int v = first; v <= ds.nvar; ++v) s_updata(v);
  }
  if (missing) st_note("(" + std::to_string(missing) + " missing value" + plural_s(missing) + " generated)\n");
  return 0;
}

// phtest [, transform(identity|log|rank)]: the test of proportional
// hazards from the scaled Schoenfeld residuals against a function of time,
// covariate by covariate and jointly.
int cmd_phtest(int) {
  ParseResult pr;
  if (int rc = parse_ifinopts({.options = PERM_OPTIONAL}, pr)) return rc;
  if (pr.hasif || pr.hasin) return errmsgf(RC_SYNTAX, "if and in not allowed\n");
  std::string tf = "identity";
  std::string a;
  if (findargn(pr, "transform", 2, a, 32, 1)) tf = a;
  if (tf != "identity" && tf != "log" && tf != "rank")
    return errmsgf(RC_SYNTAX, "transform() must be identity, log or rank\n");
  if (int rc = chkopt(pr)) return rc;
  if (st_ecmd() != "cox") return error(RC_NOESTIMATES);
  if (!st_elocalget("wtype").empty()) return errmsgf(RC_WEIGHTED, "phtest not possible after weighted fits\n");
  CoxIn in;
  CoxData d;
  std::vector<double> b;
  std::vector<std::string> names;
  if (int rc = fromfit(in, d, b, names)) return rc;
  const int P = static_cast<int>(b.size());
  const size_t UP = static_cast<size_t>(P);
  if (P == 0) return errmsgf(RC_TOOFEWVARS, "no covariates to test\n");
  CoxRows rows;
  double ll;
  std::vector<double> g, V;
  if (cox_eval(d, b, 2, &ll, &g, &V, &rows)) return 1;
  if (!ml_invpd(V, P)) return errmsgf(RC_NOTPOSDEF, "information matrix not positive definite\n");
  std::vector<size_t> fail;
  for (size_t i = 0; i < in.dead.size(); ++i)
    if (in.dead[i] != 0) fail.push_back(i);
  const size_t D = fail.size();
  if (D < 2) return errmsgf(RC_NOOBS, "too few failures\n");
  std::vector<double> gt(D);
  for (size_t k = 0; k < D; ++k) gt[k] = tf == "log" ? std::log(in.t[fail[k]]) : in.t[fail[k]];
  if (tf == "rank") {
    // Average ranks among the failure times.
    std::vector<size_t> ord(D);
    std::iota(ord.begin(), ord.end(), 0);
    std::sort(ord.begin(), ord.end(), [&](size_t x, size_t y) { return gt[x] < gt[y]; });
    std::vector<double> rk(D);
    for (size_t i = 0; i < D;) {
      size_t j = i;
      while (j + 1 < D && gt[ord[j + 1]] == gt[ord[i]]) ++j;
      for (size_t k = i; k <= j; ++k) rk[ord[k]] = 0.5 * static_cast<double>(i + j) + 1;
      i = j + 1;
    }
    gt = rk;
  }
  double gm = 0;
  for (double v : gt) gm += v;
  gm /= static_cast<double>(D);
  double sgg = 0;
  for (double& v : gt) v -= gm, sgg += v * v;
  if (!(sgg > 0)) return errmsgf(RC_BADDATA, "the failure times do not vary\n");
  // u = sum of g_k r_k; the scaled residuals are D V r_k.
  std::vector<double> u(UP, 0), Vu(UP, 0), sr(D * UP);
  for (size_t k = 0; k < D; ++k)
    for (size_t j = 0; j < UP; ++j) {
      u[j] += gt[k] * rows.schoen[fail[k] * UP + j];
      double s = 0;
      for (size_t c = 0; c < UP; ++c) s += V[j * UP + c] * rows.schoen[fail[k] * UP + c];
      sr[k * UP + j] = static_cast<double>(D) * s;
    }
  double glob = 0;
  for (size_t j = 0; j < UP; ++j) {
    for (size_t c = 0; c < UP; ++c) Vu[j] += V[j * UP + c] * u[c];
    glob += u[j] * Vu[j];
  }
  glob *= static_cast<double>(D) / sgg;
  std::vector<double> tab(UP * 4);
  for (size_t j = 0; j < UP; ++j) {
    double m = 0, ss = 0, sg = 0;
    for (size_t k = 0; k < D; ++k) m += sr[k * UP + j];
    m /= static_cast<double>(D);
    for (size_t k = 0; k < D; ++k) {
      const double e = sr[k * UP + j] - m;
      ss += e * e, sg += e * gt[k];
    }
    const double rho = ss > 0 ? sg / std::sqrt(ss * sgg) : misval;
    const double chi = static_cast<double>(D) * Vu[j] * Vu[j] / (V[j * UP + j] * sgg);
    tab[j * 4] = rho, tab[j * 4 + 1] = chi, tab[j * 4 + 2] = 1, tab[j * 4 + 3] = ml_chi2tail(1, chi);
  }
  const double pg = ml_chi2tail(P, glob);
  spoutsml(("\n{txt}Test of proportional hazards (scaled Schoenfeld residuals, time: " + tf + ")\n\n").c_str());
  spoutsml("{txt}{hline 13}{c TT}{hline 43}\n");
  spoutsml("{txt}             {c |}       rho        chi2     df    Prob>chi2\n");
  spoutsml("{txt}{hline 13}{c +}{hline 43}\n");
  for (size_t j = 0; j < UP; ++j) {
    std::string nm = names[j].size() > 12 ? names[j].substr(0, 12) : names[j];
    nm.insert(0, 12 - nm.size(), ' ');
    std::string l = "{txt}" + nm + " {c |}{res}";
    l += sreforms("%10.5f", tab[j * 4]);
    l += "  ";
    l += sreforms("%10.2f", tab[j * 4 + 1]);
    l += "      1       ";
    l += sreforms("%6.4f", tab[j * 4 + 3]);
    spoutsml((l + "\n").c_str());
  }
  spoutsml("{txt}{hline 13}{c +}{hline 43}\n");
  char dfb[16];
  std::snprintf(dfb, sizeof dfb, "%3d", P);
  std::string l = "{txt} global test {c |}{res}            ";
  l += sreforms("%10.2f", glob);
  l += "    ";
  l += dfb;
  l += "       ";
  l += sreforms("%6.4f", pg);
  spoutsml((l + "\n").c_str());
  spoutsml("{txt}{hline 13}{c BT}{hline 43}\n");
  st_rclear();
  st_rscalar("chi2", glob);
  st_rscalar("df", P);
  st_rscalar("p", pg);
  st_rlocal("transform", tf);
  st_rmatrix("phtest", P, 4, tab, names, {"rho", "chi2", "df", "p"});
  return 0;
}

}  // namespace

int cox_predict(int type, const std::string& name, const std::vector<std::string>& more) {
  return cox_predictcmd(type, name, more);
}

void stats_bindcox() {
  cmdbind("cox", cmd_cox);
  cmdbind("phtest", cmd_phtest);
}
