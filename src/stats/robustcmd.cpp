// _robust and _rmcoll: the sandwich variance and the collinearity search of
// the likelihood estimators (ml_robust and ml_collinear in mlmax.cpp) as
// commands for programs that fit their own models.
//   _robust scorevar [scorevar ...] [if] [in] [weight] [, variance(matname)
//           cluster(varname) minus(#)]
//     D (sum of u_i u_i') D times N/(N-minus) (or G/(G-1) with clusters),
//     u_i the scores times the regressors of each equation of e(b) (one
//     score variable per equation), D e(V) or the matrix variance(); the
//     result replaces that matrix.
//   _rmcoll varlist [if] [in] [weight] [, noconstant]
//     the variables kept in r(varlist), a note for each dropped one.
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "data/store.h"
#include "data/varlist.h"
#include "expr/expr.h"
#include "interp/cmdtab.h"
#include "output/errors.h"
#include "platform/platform.h"
#include "results/results.h"
#include "stats/mlcmd.h"
#include "stats/mlmax.h"
#include "stats/post.h"
#include "stats/stats.h"

namespace {

// The observations of the command's sample with every listed variable (and
// weight) present: their numbers and weights (empty without weights).
int usable(ParseResult& pr, const std::vector<int>& vars, std::vector<long>& obs, std::vector<double>& w, char* wkind) {
  StSample ss;
  if (int rc = st_sample(ss, pr)) return rc;
  *wkind = ss.wkind == 'w' ? static_cast<char>(WK_F) : ss.wkind;
  obs.clear(), w.clear();
  for (long ob = ss.lo; ob <= ss.hi; ++ob) {
    if (!ss.selected(ob)) continue;
    bool u = true;
    for (size_t j = 0; u && j < vars.size(); ++j) u = zelta_data(vars[j], ob) < misval;
    double wk = 1;
    if (u && *wkind) {
      wk = ss.w[static_cast<size_t>(ob - ss.lo)];
      if (int rc = st_checkweight(*wkind, wk, &u)) return rc;
    }
    if (!u) continue;
    obs.push_back(ob);
    if (*wkind) w.push_back(wk);
  }
  if (obs.empty()) return st_noobs();
  return 0;
}

// _rmcoll varlist [if] [in] [weight] [, noconstant]
int cmd_rmcoll(int) {
  ParseResult pr;
  if (int rc = parse({.weight = PERM_OPTIONAL, .options = PERM_OPTIONAL, .by = PERM_OPTIONAL}, pr)) return rc;
  const bool cons = findopt(pr, "constant", 4, 1) == 1;
  if (int rc = chkopt(pr)) return rc;
  if (pr.hasweight && pr.wgttype[0] == WK_A) return errmsgf(RC_NOTALLOWED, "aweights not allowed\n");
  const int nv = vl.lnvar();
  if (nv < 1) return errmsgf(RC_TOOFEWVARS, "too few variables specified\n");
  std::vector<int> vars;
  for (int j = 0; j < nv; ++j) {
    const int v = vl.varlist_vr[static_cast<size_t>(j)];
    if (isstrtype(vartype(v)))
      return errmsgf(RC_TYPEMISMATCH, "string variables not allowed in varlist;\n%s is a string variable\n", varname(v).c_str());
    vars.push_back(v);
  }
  std::vector<long> obs;
  std::vector<double> w;
  char wkind = 0;
  if (int rc = usable(pr, vars, obs, w, &wkind)) return rc;
  const long n = static_cast<long>(obs.size());
  std::vector<std::vector<double>> cols(vars.size(), std::vector<double>(static_cast<size_t>(n)));
  std::vector<std::string> names;
  for (size_t j = 0; j < vars.size(); ++j) {
    for (long i = 0; i < n; ++i) cols[j][static_cast<size_t>(i)] = zelta_data(vars[j], obs[static_cast<size_t>(i)]);
    names.push_back(varname(vars[j]));
  }
  // A variable listed twice is collinear with its first mention.
  std::vector<unsigned char> dropped(vars.size(), 0);
  for (size_t j = 0; j < vars.size(); ++j)
    for (size_t k = 0; k < j; ++k)
      if (vars[k] == vars[j] && !dropped[j]) {
        dropped[j] = 1;
        st_note("note: " + varname(vars[j]) + " dropped because of collinearity\n");
      }
  mlc_dropcollinear(cols, names, n, w.empty() ? nullptr : w.data(), cons, dropped);
  std::string kept;
  long nd = 0;
  for (size_t j = 0; j < vars.size(); ++j) {
    if (dropped[j]) {
      ++nd;
      continue;
    }
    if (!kept.empty()) kept += ' ';
    kept += names[j];
  }
  st_rclear();
  st_rlocal("varlist", kept);
  st_rscalar("k_omitted", static_cast<double>(nd));
  return 0;
}

// _robust scorevars [if] [in] [weight] [, variance(matname) cluster(varname) minus(#)]
int cmd_robust(int) {
  ParseResult pr;
  if (int rc = parse({.tsops = PERM_OPTIONAL, .weight = PERM_OPTIONAL, .options = PERM_OPTIONAL, .by = PERM_OPTIONAL}, pr)) return rc;
  std::string vname, cname;
  const bool hasv = findargn(pr, "variance", 1, vname, 64, 1);
  const bool hascl = findargn(pr, "cluster", 2, cname, 64, 1);
  double mv[1] = {1};
  const bool hasminus = findoptv(pr, "minus", 5, mv, 1, 0) == 1;
  if (int rc = chkopt(pr)) return rc;
  if (hasminus && !(mv[0] >= 0 && mv[0] == std::floor(mv[0])))
    return errmsgf(RC_SYNTAX, "minus() must be a nonnegative integer\n");
  if (pr.hasweight && pr.wgttype[0] == WK_I && hascl) return error(RC_MSG_IWROBUST);
  const Matrix* eb = res_store('e').matrix("b");
  if (!eb || eb->rows != 1) return error(RC_NOESTIMATES);
  // The equations of e(b) in order and each column's regressor.
  const int P = eb->cols;
  std::vector<std::string> eqs;
  std::vector<int> eqof(static_cast<size_t>(P)), xvar(static_cast<size_t>(P), 0);
  for (int j = 0; j < P; ++j) {
    const std::string& cn = eb->cnames[static_cast<size_t>(j)];
    const size_t c = cn.find(':');
    const std::string eq = c == std::string::npos ? "" : cn.substr(0, c);
    const std::string nm = c == std::string::npos ? cn : cn.substr(c + 1);
    if (eqs.empty() || eqs.back() != eq) eqs.push_back(eq);
    eqof[static_cast<size_t>(j)] = static_cast<int>(eqs.size()) - 1;
    if (nm == "_cons") continue;
    const int v = findvarexact(nm.c_str());
    if (!v) return varnotfound(nm.c_str());
    xvar[static_cast<size_t>(j)] = v;
  }
  Matrix* D = nullptr;
  Matrix own;
  if (hasv) {
    const Matrix* m = mat_find(vname);
    if (!m) return errmsgf(RC_NOTFOUND, "matrix %s not found\n", vname.c_str());
    own = *m;
    D = &own;
  } else {
    D = res_store('e').matrix("V");
    if (!D) return errmsgf(RC_BADAFTEREST, "variance matrix e(V) not found\n");
  }
  if (D->rows != P || D->cols != P) return errmsgf(RC_CONFORM, "the variance matrix must be %d x %d\n", P, P);
  const int nv = vl.lnvar();
  if (nv != static_cast<int>(eqs.size()))
    return errmsgf(RC_SYNTAX, "%d score variable%s needed, one per equation of e(b)\n", static_cast<int>(eqs.size()),
                   eqs.size() == 1 ? "" : "s");
  std::vector<int> need;
  for (int j = 0; j < nv; ++j) {
    const int v = vl.varlist_vr[static_cast<size_t>(j)];
    if (isstrtype(vartype(v))) return error(RC_TYPEMISMATCH);
    need.push_back(v);
  }
  int clv = 0;
  if (hascl) {
    clv = zelta_findvar(cname.c_str(), 1, false);
    if (clv < 0) return -clv;
    need.push_back(clv);
  }
  for (int v : xvar)
    if (v) need.push_back(v);
  std::vector<long> obs;
  std::vector<double> w;
  char wkind = 0;
  if (int rc = usable(pr, need, obs, w, &wkind)) return rc;
  const long n = static_cast<long>(obs.size());
  // The weighted scores of each parameter.
  std::vector<double> sc(static_cast<size_t>(n) * static_cast<size_t>(P)), cl;
  for (long i = 0; i < n; ++i) {
    const long ob = obs[static_cast<size_t>(i)];
    const double wi = w.empty() ? 1 : w[static_cast<size_t>(i)];
    for (int j = 0; j < P; ++j) {
      const double s = zelta_data(vl.varlist_vr[static_cast<size_t>(eqof[static_cast<size_t>(j)])], ob);
      const double x = xvar[static_cast<size_t>(j)] ? zelta_data(xvar[static_cast<size_t>(j)], ob) : 1;
      sc[static_cast<size_t>(i) * static_cast<size_t>(P) + static_cast<size_t>(j)] = wi * s * x;
    }
    if (clv) cl.push_back(zelta_data(clv, ob));
  }
  std::vector<double> V = D->v;
  const long G = ml_robust(V, P, n, sc, wkind == WK_F ? w.data() : nullptr, clv ? cl.data() : nullptr, mv[0]);
  if (clv && G < 2) return errmsgf(RC_GROUPCOUNT, "only one cluster in sample; cluster() needs two or more\n");
  D->v = V;
  if (hasv) {
    if (int rc = mat_store(vname, own)) return rc;
  } else {
    st_elocal("vcetype", "Robust");
    if (clv) {
      st_escalar("N_clust", static_cast<double>(G));
      st_elocal("clustvar", varname(clv).c_str());
    }
  }
  st_rclear();
  double N = 0;
  for (long i = 0; i < n; ++i) N += wkind == WK_F ? w[static_cast<size_t>(i)] : 1;
  st_rscalar("N", N);
  if (clv) st_rscalar("N_clust", static_cast<double>(G));
  return 0;
}

}  // namespace

void stats_bindrobust() {
  cmdbind("_robust", cmd_robust);
  cmdbind("_rmcoll", cmd_rmcoll);
}
