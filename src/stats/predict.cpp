// _predict: a new variable from the posted coefficients e(b) and variance
// e(V): the linear prediction (the default), the residuals (against
// e(depvar)) or the standard error of the prediction. Reached through the
// predict program and the fit's e(predict) program.
#include <cmath>
#include <string>
#include <vector>

#include "data/store.h"
#include "data/varlist.h"
#include "expr/expr.h"
#include "interp/cmdtab.h"
#include "interp/tokenizer.h"
#include "output/errors.h"
#include "output/output.h"
#include "platform/platform.h"
#include "stats/accum.h"
#include "stats/post.h"
#include "stats/stats.h"

namespace {

// One term of the fit resolved against the current dataset.
struct Term {
  int var = 0;       // variable number (0 for _cons)
  TsRecipe rcp;      // time-series recipe
};

// Resolves a coefficient name ("x", "L2.x" or "_cons"). 0 or 111.
int resolve(const std::string& name, Term& t) {
  t = Term{};
  if (name == "_cons") return 0;
  if (name.find('.') == std::string::npos) {
    t.var = findvarexact(name.c_str());
    if (!t.var) return varnotfound(name.c_str());
    return 0;
  }
  std::vector<int> vars;
  std::vector<TsRecipe> rcps;
  const char* end = nullptr;
  if (int rc = tsparse_item(name.c_str(), &end, vars, rcps)) return rc;
  if (vars.size() != 1) return varnotfound(name.c_str());
  t.var = vars[0];
  t.rcp = rcps[0];
  return 0;
}

double value(const Term& t, long obs, int tvar, int pvar) {
  if (t.var == 0) return 1;
  if (t.rcp.plain()) return zelta_data(t.var, obs);
  return tsdata(t.var, t.rcp, obs, tvar, pvar);
}

enum : int { P_XB, P_RES, P_STDP };

// _predict [type] newvar [if] [in] [, xb residuals stdp]
int cmd_predict(int) {
  std::string w = gettok(prsestd);
  int type = typecode(w.c_str());
  if (type) w = gettok(prsestd);
  if (w.empty() || w == "," || w == "if" || w == "in") return required("new variable name");
  if (type && isstrtype(type)) return error(RC_TYPEMISMATCH);
  const std::string name = w;
  ps.opable = 0;
  ps.byable = 0;
  if (int rc = parse_ifinopts()) return rc;
  int kinds = 0, kind = P_XB;
  if (findopt("xb", 2, 0) == 1) ++kinds, kind = P_XB;
  if (findopt("residuals", 1, 0) == 1) ++kinds, kind = P_RES;
  if (findopt("stdp", 4, 0) == 1) ++kinds, kind = P_STDP;
  if (int rc = chkopt()) return rc;
  if (kinds > 1) return errmsgf(RC_SYNTAX, "only one statistic may be specified\n");
  std::vector<std::string> names;
  std::vector<double> b, V;
  if (!st_ecoefs(names, b, V)) return error(RC_NOESTIMATES);
  if (kind == P_STDP && V.empty()) return errmsgf(RC_BADAFTEREST, "variance matrix not found\n");
  if (int rc = chkvarname(name.c_str())) return rc;
  if (findvarexact(name.c_str())) return errmsgf(RC_DEFINED, "%s already defined\n", name.c_str());
  const size_t p = names.size();
  // A coefficient that is zero with zero variance (a dropped regressor)
  // contributes nothing: its variable need not exist.
  std::vector<unsigned char> skip(p, 0);
  for (size_t j = 0; j < p; ++j) skip[j] = b[j] == 0 && (V.empty() || V[j * p + j] == 0);
  std::vector<Term> terms(p);
  for (size_t j = 0; j < p; ++j)
    if (!skip[j])
      if (int rc = resolve(names[j], terms[j])) return rc;
  Term dep;
  if (kind == P_RES) {
    const std::string dv = st_elocalget("depvar");
    if (dv.empty()) return errmsgf(RC_SYNTAX, "residuals need the dependent variable e(depvar)\n");
    if (int rc = resolve(dv.substr(0, dv.find(' ')), dep)) return rc;
  }
  int tvar = 0, pvar = 0;
  bool ts = false;
  for (const Term& t : terms) ts = ts || (t.var && !t.rcp.plain());
  if (!dep.rcp.plain()) ts = true;
  if (ts)
    if (int rc = tscheck(&tvar, &pvar)) return rc;
  if (kinds == 0) st_note("(option xb assumed; fitted values)\n");
  if (int rc = addvar(name.c_str(), type ? type : ds.deftype)) return rc;
  const int nv = ds.nvar;
  long missing = 0;
  std::vector<double> x(p);
  for (long obs = 1; obs <= ds.nobs; ++obs) {
    if ((obs & 0x3fff) == 0 && stopflag) {
      std::vector<int> gone{nv};
      (void)droporkeepvars(gone, false);
      return 1;
    }
    double r = misval;
    if (obs >= ds.nobs1 && obs <= ds.nobs2 && selobs(obs)) {
      bool ok = true;
      for (size_t j = 0; j < p && ok; ++j) {
        x[j] = skip[j] ? 0 : value(terms[j], obs, tvar, pvar);
        ok = x[j] < misval;
      }
      if (ok) {
        if (kind == P_STDP) {
          double v = 0;
          for (size_t a = 0; a < p; ++a)
            for (size_t c = 0; c < p; ++c) v += x[a] * V[a * p + c] * x[c];
          r = v >= 0 ? std::sqrt(v) : misval;
        } else {
          Accum xb;
          for (size_t j = 0; j < p; ++j) xb.add(b[j] * x[j]);
          r = xb.value();
          if (kind == P_RES) {
            const double y = value(dep, obs, tvar, pvar);
            r = y < misval ? y - r : misval;
          }
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

void stats_bindpredict() { cmdbind("_predict", cmd_predict); }
