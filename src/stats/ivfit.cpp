// ivfit: linear instrumental-variable regression on the command side. Reads
// "depvar [exog] (endog = instruments)", the sample and the options, calls
// the engine (ivest.cpp), posts e() and prints the header, the table, the
// first stages on request and the tests of endogeneity and of the
// overidentifying restrictions; replays.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
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
#include "stats/ivest.h"
#include "stats/mlcmd.h"
#include "stats/panel.h"
#include "stats/panelcmd.h"
#include "stats/post.h"
#include "stats/stats.h"

namespace {

const char* const METHOD[] = {"2sls", "liml", "gmm"};
const char* const TITLE[] = {"Instrumental variables (2SLS) regression", "Instrumental variables (LIML) regression",
                             "Instrumental variables (two-step GMM) regression"};

// The number of entries of the variable list text (0 for blank text).
int countvars(const std::string& text, int* cnt) {
  *cnt = 0;
  if (text.find_first_not_of(' ') == std::string::npos) return 0;
  TokState saved;
  borrow_gettok(&saved);
  settok(text.c_str());
  const int rc = ssvlist(VL_EXISTING);
  const std::string rest = rc ? "" : wheretok();
  return_gettok(&saved);
  if (rc) return rc;
  if (rest.find_first_not_of(' ') != std::string::npos) return invalid(rest.c_str());
  *cnt = vl.lnvar();
  return 0;
}

// Prints the current ivfit results. 0 or 301.
int display(double level) {
  if (st_ecmd() != "ivfit") return error(RC_NOESTIMATES);
  auto sc = [](const char* n) { return st_escalarget(n); };
  const std::string model = st_elocalget("model");
  const int mi = model == "liml" ? 1 : model == "gmm" ? 2 : 0;
  spoutsml("\n");
  pn_headrow(TITLE[mi], "Number of obs", sreforms("%10.0f", sc("N")));
  char lab[64];
  if (sc("F") < misval) {
    std::snprintf(lab, sizeof lab, "F(%.0f,%.0f)", sc("df_m"), sc("df_r"));
    pn_headrow("", lab, sreforms("%10.2f", sc("F")));
    pn_headrow("", "Prob > F", sreforms("%10.4f", sc("p")));
  } else {
    std::snprintf(lab, sizeof lab, "Wald chi2(%.0f)", sc("df_m"));
    pn_headrow("", lab, sreforms("%10.2f", sc("chi2")));
    pn_headrow("", "Prob > chi2", sreforms("%10.4f", sc("p")));
  }
  pn_headrow("", "R-squared", sreforms("%10.4f", sc("r2")));
  pn_headrow("", "Root MSE", sreforms("%10.0g", sc("rmse")));
  mlc_clusternote();
  spoutsml("\n");
  CoefTable t;
  if (int rc = ct_frome(t)) return rc;
  t.level = level;
  ct_display(t);
  spoutsml("{txt}Instrumented:  {res}");
  spout21(st_elocalget("instd").c_str());
  spoutsml("\n{txt}Instruments:   {res}");
  spout21(st_elocalget("insts").c_str());
  spoutsml("\n");
  if (sc("endog") < misval)
    spoutsmlf("{txt}%s test of endogeneity: chi2(%.0f) = {res}%.4f{txt}  (p = {res}%.4f{txt})\n",
              st_elocalget("endogtest") == "robust" ? "Robust" : "Durbin", sc("df_endog"), sc("endog"), sc("p_endog"));
  if (sc("sargan") < misval)
    spoutsmlf("{txt}Sargan test of overidentifying restrictions: chi2(%.0f) = {res}%.4f{txt}  (p = {res}%.4f{txt})\n",
              sc("df_overid"), sc("sargan"), sc("p_sargan"));
  if (sc("j") < misval)
    spoutsmlf("{txt}Hansen's J test of overidentifying restrictions: chi2(%.0f) = {res}%.4f{txt}  (p = {res}%.4f{txt})\n",
              sc("df_overid"), sc("j"), sc("p_j"));
  return 0;
}

// The first-stage regressions.
void showfirst(const IvFit& f, const std::vector<std::string>& endog, const std::vector<std::string>& exog,
               const std::vector<std::string>& inst, double level) {
  std::vector<std::string> names;
  for (size_t j = 0; j < exog.size(); ++j)
    if (!f.dropx[j]) names.push_back(exog[j]);
  for (size_t j = 0; j < inst.size(); ++j)
    if (!f.dropz[j]) names.push_back(inst[j]);
  names.push_back("_cons");
  size_t e = 0;
  for (size_t j = 0; j < endog.size(); ++j) {
    if (f.dropy[j]) continue;
    spoutsml("\n{txt}First-stage regression of {res}");
    spout21(endog[j].c_str());
    spoutsml("{txt}:\n");
    CoefTable t;
    t.depname = endog[j];
    t.names = names;
    t.b = f.fb[e];
    t.V = f.fV[e];
    t.dropped.assign(names.size(), 0);
    t.df_r = f.df_first2;
    t.level = level;
    if (f.robusttests) t.vcetype = "Robust";
    ct_display(t);
    spoutsmlf("{txt}Partial F(%.0f, %.0f) of the excluded instruments = {res}%.4f\n", f.df_first1, f.df_first2,
              f.Ffirst[e]);
    ++e;
  }
}

// ivfit depvar [exog] (endog = instruments) [if] [in] [weight] [, 2sls liml gmm robust cluster() first small level()]
int cmd_ivfit(int) {
  ParseResult pr;
  static std::string line;
  const std::string all = wheretok();
  const size_t open = all.find('(');
  const size_t comma = all.find(',');
  if (open == std::string::npos || (comma != std::string::npos && comma < open)) {
    if (int rc = parse({.options = PERM_OPTIONAL}, pr)) return rc;
    double level = 95;
    if (int rc = st_level(pr, &level)) return rc;
    if (int rc = chkopt(pr)) return rc;
    if (pr.hasvarlist || pr.hasif || pr.hasin || pr.hasweight)
      return errmsgf(RC_SYNTAX, "ivfit needs (endogenous = instruments)\n");
    return display(level);
  }
  const size_t close = all.find(')', open);
  if (close == std::string::npos) return error(RC_UNBALANCED);
  const std::string head = all.substr(0, open), inner = all.substr(open + 1, close - open - 1), tail = all.substr(close + 1);
  const size_t eq = inner.find('=');
  if (eq == std::string::npos) return errmsgf(RC_SYNTAX, "(%s) needs the form (endogenous = instruments)\n", inner.c_str());
  const std::string endtext = inner.substr(0, eq), insttext = inner.substr(eq + 1);
  int nhead = 0, nend = 0, ninst = 0;
  if (int rc = countvars(head, &nhead)) return rc;
  if (int rc = countvars(endtext, &nend)) return rc;
  if (int rc = countvars(insttext, &ninst)) return rc;
  if (nhead < 1) return errmsgf(RC_TOOFEWVARS, "too few variables specified\n");
  if (nend < 1) return errmsgf(RC_SYNTAX, "no endogenous regressors in (%s)\n", inner.c_str());
  line = head + " " + endtext + " " + insttext + " " + tail;
  settok(line.c_str());
  if (int rc = parse({.varlist = PERM_REQUIRED, .tsops = PERM_OPTIONAL, .weight = PERM_OPTIONAL, .options = PERM_OPTIONAL, .by = PERM_OPTIONAL}, pr)) return rc;
  double level = 95;
  if (int rc = st_level(pr, &level)) return rc;
  const bool liml = findopt(pr, "liml", 4, 0) == 1, gmm = findopt(pr, "gmm", 3, 0) == 1, tsls = findopt(pr, "2sls", 4, 0) == 1;
  const bool first = findopt(pr, "first", 5, 0) == 1, small = findopt(pr, "small", 5, 0) == 1;
  if (liml + gmm + tsls > 1) return errmsgf(RC_NOTCOMBINED, "options 2sls, liml and gmm may not be combined\n");
  const int method = liml ? IV_LIML : gmm ? IV_GMM : IV_2SLS;
  MlcOpts o;
  if (int rc = mlc_vceopts(pr, o)) return rc;
  if (int rc = chkopt(pr)) return rc;
  const char wk = pr.hasweight ? pr.wgttype[0] : static_cast<char>(WK_NONE);
  if (wk == WK_P) o.robust = true;  // sampling weights: the sandwich always
  if (wk == WK_I && (o.robust || o.clustvar)) return error(RC_MSG_IWROBUST);
  if (wk == WK_I && method == IV_GMM) return errmsgf(RC_NOTALLOWED, "iweights not allowed with gmm\n");
  o.aweights = true;
  const int nv = vl.lnvar();
  if (nv != nhead + nend + ninst) return error(RC_SYNTAX);
  std::vector<std::string> names;
  for (int j = 0; j < nv; ++j) names.push_back(st_entryname(j));
  for (int j = nhead; j < nhead + nend; ++j)
    for (int c = 1; c < nv; ++c)
      if (c != j && names[static_cast<size_t>(c)] == names[static_cast<size_t>(j)])
        return errmsgf(RC_SYNTAX, "%s included both as endogenous and as exogenous or instrument\n", names[static_cast<size_t>(j)].c_str());
  if (ninst < nend)
    return errmsgf(RC_NOTIDENTIFIED, "equation not identified; there must be at least as many excluded instruments as endogenous regressors\n");
  MlcSample s;
  if (int rc = mlc_read(pr, o, s)) return rc;
  IvData d;
  d.n = s.d.n;
  d.k1 = nhead - 1;
  d.m = nend;
  d.l = ninst;
  d.y = std::move(s.d.y);
  auto take = [&](int from, int cnt, std::vector<double>& dst) {
    dst.reserve(static_cast<size_t>(d.n) * static_cast<size_t>(cnt));
    for (int j = from; j < from + cnt; ++j) {
      auto& c = s.d.x[static_cast<size_t>(j)];
      dst.insert(dst.end(), c.begin(), c.end());
      std::vector<double>().swap(c);
    }
  };
  take(0, d.k1, d.X1);
  take(d.k1, d.m, d.Y);
  take(d.k1 + d.m, d.l, d.Z2);
  if (o.clustvar) d.C = pn_dense(s.d.clust, d.cid);
  if (s.wkind) {
    d.w = s.d.w;
    pn_scaleweights(s.wkind, d.w);
    d.freq = s.wkind == WK_F || s.wkind == WK_I;
  }
  IvFit f;
  const int fitrc = iv_fit(d, method, o.robust, small, f);
  std::vector<std::string> exog(names.begin() + 1, names.begin() + nhead);
  std::vector<std::string> endog(names.begin() + nhead, names.begin() + nhead + nend);
  std::vector<std::string> inst(names.begin() + nhead + nend, names.end());
  for (size_t j = 0; j < f.dropx.size(); ++j)
    if (f.dropx[j]) st_note("note: " + exog[j] + " dropped because of collinearity\n");
  for (size_t j = 0; j < f.dropz.size(); ++j)
    if (f.dropz[j]) st_note("note: instrument " + inst[j] + " dropped because of collinearity\n");
  for (size_t j = 0; j < f.dropy.size(); ++j)
    if (f.dropy[j]) st_note("note: " + endog[j] + " dropped because it is collinear with the exogenous regressors\n");
  if (fitrc) return errmsgf(fitrc, "%s\n", f.msg.c_str());
  if (first) showfirst(f, endog, exog, inst, level);
  std::vector<std::string> bnames(endog);
  bnames.insert(bnames.end(), exog.begin(), exog.end());
  bnames.push_back("_cons");
  auto join = [](const std::vector<std::string>& v, const std::vector<unsigned char>* drop) {
    std::string r;
    for (size_t j = 0; j < v.size(); ++j)
      if (!drop || !(*drop)[j]) r += (r.empty() ? "" : " ") + v[j];
    return r;
  };
  // The cluster variable's name first: clearing e() drops the previous
  // estimation's sample marker, which renumbers the variables made after it.
  const std::string clustname = o.clustvar ? varname(o.clustvar) : "";
  st_eclear();
  st_escalar("N", s.wkind == WK_F ? std::round(f.N) : f.N);
  st_escalar("df_m", f.df_m);
  if (small) {
    st_escalar("F", f.stat);
    st_escalar("df_r", f.df_r);
  } else {
    st_escalar("chi2", f.stat);
  }
  st_escalar("p", f.pstat);
  st_escalar("rss", f.rss);
  st_escalar("mss", f.tss - f.rss);
  st_escalar("r2", f.tss > 0 ? 1 - f.rss / f.tss : misval);
  st_escalar("rmse", f.sigma);
  if (method == IV_LIML) st_escalar("kappa", f.kappa);
  if (f.overid >= 0) {
    st_escalar(method == IV_GMM ? "j" : "sargan", f.overid);
    st_escalar(method == IV_GMM ? "p_j" : "p_sargan", f.p_overid);
    st_escalar("df_overid", f.df_overid);
  }
  if (!f.Ffirst.empty()) {
    st_escalar("endog", f.endog);
    st_escalar("p_endog", f.p_endog);
    st_escalar("df_endog", static_cast<double>(f.Ffirst.size()));
    st_elocal("endogtest", f.robusttests ? "robust" : "durbin");
  }
  if (o.clustvar) {
    st_escalar("N_clust", d.C);
    st_elocal("clustvar", clustname.c_str());
  }
  if (o.robust || o.clustvar || method == IV_GMM) st_elocal("vcetype", "Robust");
  if (s.wkind) {
    st_elocal("wtype", (std::string(1, s.wkind) + "weight").c_str());
    st_elocal("wexp", ("= " + s.wexp).c_str());
  }
  st_elocal("cmd", "ivfit");
  st_elocal("model", METHOD[method]);
  st_elocal("depvar", s.depname.c_str());
  st_elocal("instd", join(endog, &f.dropy).c_str());
  std::string insts = join(exog, &f.dropx), z2 = join(inst, &f.dropz);
  st_elocal("insts", (insts.empty() ? z2 : z2.empty() ? insts : insts + " " + z2).c_str());
  st_elocal("properties", "b V");
  std::vector<std::string> fnames;
  for (size_t j = 0; j < endog.size(); ++j)
    if (!f.dropy[j]) fnames.push_back(endog[j]);
  if (!f.Ffirst.empty()) st_ematrix("first", 1, static_cast<int>(f.Ffirst.size()), f.Ffirst, {"F"}, fnames);
  st_epost(bnames, f.b, f.V);
  mlc_esample(s);
  return display(level);
}

}  // namespace

void stats_bindivfit() { cmdbind("_ivfit", cmd_ivfit); }
