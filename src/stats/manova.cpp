// manova and manovatest: multivariate analysis of variance of several
// responses on a list of terms (the terms, weights and options of anova),
// with Wilks' lambda, Pillai's trace, the Lawley-Hotelling trace and Roy's
// largest root for the model and each term, their F approximations and
// p-values; the SSCP matrices kept in e() for replay and for manovatest.
//   manova depvars = terms [if] [in] [weight] [, sequential category(varlist) continuous(varlist)]
//   manovatest term
//   manovatest, test(matname)   the hypothesis L B = 0, L's columns the
//                               design's columns then _cons (e(B)'s rows)
#include <algorithm>
#include <cmath>
#include <new>
#include <string>
#include <vector>

#include "data/store.h"
#include "data/varlist.h"
#include "interp/cmdtab.h"
#include "interp/tokenizer.h"
#include "output/errors.h"
#include "output/format.h"
#include "output/output.h"
#include "results/results.h"
#include "results/sweep.h"
#include "stats/anova.h"
#include "stats/anovacmd.h"
#include "stats/post.h"
#include "stats/stats.h"

namespace {

const char* const LETTER[4] = {"W", "P", "L", "R"};
const char* const RNAME[4] = {"wilks", "pillai", "lawley", "roy"};

// The e() matrix name as a q x q vector; empty when absent.
std::vector<double> ematrix(const std::string& name) {
  const Matrix* m = res_store('e').matrix(name);
  return m ? m->v : std::vector<double>{};
}

std::string fmt(const char* f, double x, int width) {
  if (x >= misval) return std::string(static_cast<size_t>(width), ' ');
  return sreforms(f, x);
}

void rule() { spoutsml("{txt}{hline 17}{c +}{hline 54}\n"); }

void head() {
  char b[240];
  std::snprintf(b, sizeof b, "{txt}%16s {c |}    %9s %4s %7s %8s %7s %7s\n", "Source", "Statistic", "df", "F(df1,",
                "df2)", "F", "Prob>F");
  spoutsml(b);
  rule();
}

// The four rows of one source.
void rows(const std::string& label, const AnvMvTest& t, double dfh) {
  for (int k = 0; k < 4; ++k) {
    std::string lab = k == 0 ? label : "";
    if (lab.size() > 16) lab = lab.substr(0, 14) + "~" + lab.substr(lab.size() - 1);
    std::string l = "{txt}" + std::string(16 - lab.size(), ' ') + lab + " {c |} " + LETTER[k] + "  {res}";
    l += fmt("%9.4f", t.stat[k], 9) + " " + (k == 0 ? sreforms("%4.0f", dfh) : std::string(4, ' '));
    l += ' ';
    l += fmt("%7.1f", t.df1[k], 7) + " " + fmt("%8.1f", t.df2[k], 8) + " " + fmt("%7.2f", t.F[k], 7) + " " +
         fmt("%7.4f", t.p[k], 7);
    l += std::string("{txt} ") + (t.F[k] >= misval ? " " : t.exact[k] ? "e" : k == 3 ? "u" : "a");
    spoutsml((l + "\n").c_str());
  }
}

// Posts the tests of one source in r().
void postr(const AnvMvTest& t) {
  st_rclear();
  for (int k = 0; k < 4; ++k) {
    const std::string n = RNAME[k];
    st_rscalar(n.c_str(), t.stat[k]);
    st_rscalar(("F_" + n).c_str(), t.F[k]);
    st_rscalar(("df1_" + n).c_str(), t.df1[k]);
    st_rscalar(("df2_" + n).c_str(), t.df2[k]);
    st_rscalar(("p_" + n).c_str(), t.p[k]);
  }
}

// The table of the current manova results, from e(); leaves the model's
// tests in r().
int display() {
  if (st_ecmd() != "manova") return error(RC_NOESTIMATES);
  const int q = static_cast<int>(st_escalarget("k_eq"));
  const double N = st_escalarget("N"), dfr = st_escalarget("df_r"), dfm = st_escalarget("df_m");
  const std::vector<double> E = ematrix("E");
  if (q <= 0 || E.size() != static_cast<size_t>(q * q)) return error(RC_NOESTIMATES);
  char b[200];
  spoutsml("\n");
  std::snprintf(b, sizeof b, "{txt}%47sNumber of obs = {res}%9.0f\n\n", "", N);
  spoutsml(b);
  spoutsml("{txt}  W = Wilks' lambda      L = Lawley-Hotelling trace   e = exact F\n");
  spoutsml("{txt}  P = Pillai's trace     R = Roy's largest root       a = approximate F\n");
  spoutsml("{txt}                                                      u = upper bound on F\n\n");
  head();
  AnvMvTest model;
  if (int rc = anv_mvtest(ematrix("H_m"), E, q, dfm, dfr, model)) return rc;
  rows("Model", model, dfm);
  spoutsml("{txt}                 {c |}\n");
  const int nt = static_cast<int>(st_escalarget("k_terms"));
  for (int k = 1; k <= nt; ++k) {
    const std::string ks = std::to_string(k);
    AnvMvTest t;
    const double df = st_escalarget(("df_" + ks).c_str());
    if (int rc = anv_mvtest(ematrix("H_" + ks), E, q, df, dfr, t)) return rc;
    rows(st_elocalget(("term_" + ks).c_str()), t, df);
    spoutsml("{txt}                 {c |}\n");
  }
  spoutsmlf("{txt}%16s {c |}    {res}%9s %4.0f\n", "Residual", "", dfr);
  rule();
  spoutsmlf("{txt}%16s {c |}    {res}%9s %4.0f\n", "Total", "", N - 1);
  postr(model);
  return 0;
}

// manova [depvars = terms [if] [in] [weight]] [, options]
int cmd_manova(int) {
  ParseResult pr;
  AnvCmd c;
  if (int rc = anv_cmdline(pr, c)) return rc;
  if (int rc = anv_cmdcheck(pr, c)) return rc;
  if (c.replay) return display();
  const std::string& text = c.text;
  const bool seq = c.seq;
  const size_t eq = text.find('=');
  if (eq == std::string::npos) return errmsgf(RC_SYNTAX, "equal sign required: manova depvars = terms\n");
  AnvModel model;
  model.sequential = seq;
  if (int rc = st_textvars(text.substr(0, eq), model.ys)) return rc;
  if (model.ys.empty()) return errmsgf(RC_TOOFEWVARS, "too few variables specified\n");
  for (int v : model.ys)
    if (isstrtype(vartype(v)))
      return errmsgf(RC_TYPEMISMATCH, "string variables not allowed in varlist;\n%s is a string variable\n",
                     varname(v).c_str());
  {
    std::vector<int> u = model.ys;
    std::sort(u.begin(), u.end());
    if (std::adjacent_find(u.begin(), u.end()) != u.end())
      return errmsgf(RC_SYNTAX, "a response may not be repeated\n");
  }
  if (int rc = anv_parseterms(text.substr(eq + 1), model.terms)) return rc;
  if (model.terms.empty()) return errmsgf(RC_TOOFEWVARS, "no terms specified: the design is empty\n");
  for (const AnvTerm& t : model.terms)
    for (int v : model.ys)
      if (std::find(t.vars.begin(), t.vars.end(), v) != t.vars.end() ||
          std::find(t.within.begin(), t.within.end(), v) != t.within.end())
        return errmsgf(RC_SYNTAX, "%s is a response and may not appear among the terms\n", varname(v).c_str());
  if (int rc = anv_classify(model, c.cat, c.hascat, c.cont, c.hascont)) return rc;
  const int q = static_cast<int>(model.ys.size());
  try {
    StSample s;
    if (int rc = st_sample(s, pr)) return rc;
    AnvFit f;
    model.maxcols = st_matsize() - 2;
    if (int rc = anv_fit(model, s, f)) return rc;
    const double dfr = f.N - f.rank - 1;
    if (dfr < q) return errmsgf(RC_TOOFEWVARS, "too few observations: %.0f residual degrees of freedom for %d responses\n", dfr, q);
    // E must be positive definite for the tests: check before posting.
    AnvMvTest chk;
    std::vector<double> Hm(static_cast<size_t>(q * q));
    for (size_t i = 0; i < Hm.size(); ++i) Hm[i] = f.T[i] - f.E[i];
    if (int rc = anv_mvtest(Hm, f.E, q, std::max(1, f.rank), dfr, chk)) return rc;
    anv_dropnotes(model, f);
    std::vector<std::string> yn;
    for (int v : model.ys) yn.push_back(varname(v));
    st_eclear();
    st_escalar("N", f.N);
    st_escalar("df_m", f.rank);
    st_escalar("df_r", dfr);
    st_escalar("k_eq", q);
    st_escalar("k_terms", static_cast<double>(model.terms.size()));
    std::string depvar;
    for (const std::string& n : yn) depvar += (depvar.empty() ? "" : " ") + n;
    st_ematrix("E", q, q, f.E, yn, yn);
    st_ematrix("H_m", q, q, Hm, yn, yn);
    for (size_t k = 0; k < model.terms.size(); ++k) {
      const std::string ks = std::to_string(k + 1);
      st_escalar(("df_" + ks).c_str(), f.df[k]);
      st_elocal(("term_" + ks).c_str(), model.terms[k].name.c_str());
      st_ematrix(("H_" + ks).c_str(), q, q, f.H[k], yn, yn);
    }
    if (s.wkind) {
      st_elocal("wtype", (std::string(1, s.wkind) + "weight").c_str());
      st_elocal("wexp", ("= " + s.wexp).c_str());
    }
    // The coefficients (the design's columns, then the constant) and the
    // generalised inverse of the design's cross products, for contrasts.
    {
      const int p = static_cast<int>(f.cols.size()), pp = p + 1;
      const size_t Q = static_cast<size_t>(q), PP = static_cast<size_t>(pp);
      std::vector<double> B(PP * Q, 0), G(PP * PP, 0), gm(static_cast<size_t>(p), 0);
      std::vector<std::string> rn;
      for (const AnvColumn& col : f.cols) rn.push_back(col.name);
      rn.push_back("_cons");
      for (size_t j = 0; j < Q; ++j) {
        double b0 = f.ymean[j];
        for (size_t a = 0; a < static_cast<size_t>(p); ++a) {
          B[a * Q + j] = f.B[a * Q + j];
          b0 -= f.B[a * Q + j] * f.xmean[a];
        }
        B[static_cast<size_t>(p) * Q + j] = b0;
      }
      for (size_t a = 0; a < static_cast<size_t>(p); ++a)
        for (size_t k = 0; k < static_cast<size_t>(p); ++k) {
          const double v = f.inv[a * static_cast<size_t>(p) + k];
          G[a * PP + k] = v;
          gm[a] += v * f.xmean[k];
        }
      double gcc = f.W > 0 ? 1 / f.W : 0;
      for (size_t a = 0; a < static_cast<size_t>(p); ++a) {
        G[a * PP + static_cast<size_t>(p)] = G[static_cast<size_t>(p) * PP + a] = -gm[a];
        gcc += f.xmean[a] * gm[a];
      }
      G[PP * PP - 1] = gcc;
      st_ematrix("B", pp, q, B, rn, yn);
      st_ematrix("XXinv", pp, pp, G, rn, rn);
    }
    st_elocal("cmd", "manova");
    st_elocal("depvar", depvar.c_str());
    st_elocal("sstype", seq ? "sequential" : "partial");
    st_esample(f.sample, f.samplelo);
  } catch (const std::bad_alloc&) {
    return error(RC_NOMEM);
  }
  return display();
}

// manovatest, test(L): the four tests of the hypothesis L B = 0, its
// SSCP (LB)' (L G L')^- (LB) with G the generalised inverse of the
// design's cross products, its degrees of freedom the rank of L G L'.
int contrast(const std::string& mname) {
  if (mname.empty()) return errmsgf(RC_SYNTAX, "option test() invalid\n");
  const Matrix* Lm = mat_find(mname);
  if (!Lm) return errmsgf(RC_NOTFOUND, "matrix %s not found\n", mname.c_str());
  const Matrix* Bm = res_store('e').matrix("B");
  const Matrix* Gm = res_store('e').matrix("XXinv");
  if (!Bm || !Gm) return error(RC_NOESTIMATES);
  const int pp = Bm->rows, q = Bm->cols, r = Lm->rows;
  if (Lm->cols != pp)
    return errmsgf(RC_CONFORM, "conformability error: %s has %d columns; the design has %d (e(B)'s rows)\n",
                   mname.c_str(), Lm->cols, pp);
  for (double v : Lm->v)
    if (!(v < misval)) return errmsgf(RC_MATMISSING, "matrix %s has missing values\n", mname.c_str());
  const size_t R = static_cast<size_t>(r), Q = static_cast<size_t>(q), PP = static_cast<size_t>(pp);
  std::vector<double> LB(R * Q, 0), LG(R * PP, 0), M(R * R, 0);
  for (size_t i = 0; i < R; ++i)
    for (size_t a = 0; a < PP; ++a) {
      const double l = Lm->v[i * PP + a];
      if (l == 0) continue;
      for (size_t j = 0; j < Q; ++j) LB[i * Q + j] += l * Bm->v[a * Q + j];
      for (size_t c = 0; c < PP; ++c) LG[i * PP + c] += l * Gm->v[a * PP + c];
    }
  for (size_t i = 0; i < R; ++i)
    for (size_t k = 0; k < R; ++k)
      for (size_t c = 0; c < PP; ++c) M[i * R + k] += LG[i * PP + c] * Lm->v[k * PP + c];
  const SweepResult sr = sweep_inverse(M.data(), r, r, nullptr);
  if (sr.broke) return 1;
  if (sr.rank == 0) return errmsgf(RC_BADDATA, "matrix %s tests nothing estimable: L G L' is zero\n", mname.c_str());
  std::vector<double> H(Q * Q, 0), ML(R * Q, 0);
  for (size_t i = 0; i < R; ++i)
    for (size_t k = 0; k < R; ++k)
      for (size_t j = 0; j < Q; ++j) ML[i * Q + j] += M[i * R + k] * LB[k * Q + j];
  for (size_t a = 0; a < Q; ++a)
    for (size_t b = 0; b < Q; ++b)
      for (size_t i = 0; i < R; ++i) H[a * Q + b] += LB[i * Q + a] * ML[i * Q + b];
  const double df = sr.rank, dfr = st_escalarget("df_r");
  AnvMvTest t;
  if (int rc = anv_mvtest(H, ematrix("E"), q, df, dfr, t)) return rc;
  spoutsml("\n");
  spoutsmlf("{txt} Test constraint matrix: {res}%s\n\n", mname.c_str());
  head();
  rows(mname, t, df);
  spoutsml("{txt}                 {c |}\n");
  spoutsmlf("{txt}%16s {c |}    {res}%9s %4.0f\n", "Residual", "", dfr);
  rule();
  postr(t);
  st_rscalar("df", df);
  st_rscalar("df_r", dfr);
  return 0;
}

// manovatest term: the four tests of one term of the current manova results.
int cmd_manovatest(int) {
  const char* start = wheretok();
  const size_t len = anv_termsend(start);
  const std::string text(start, len);
  settok(start + len);
  ParseResult pr;
  if (int rc = parse({.varlist = PERM_NO, .options = PERM_OPTIONAL}, pr)) return rc;
  std::string mname;
  const bool hastest = findargn(pr, "test", 4, mname, 64, 1);
  if (int rc = chkopt(pr)) return rc;
  if (pr.hasif || pr.hasin) return error(RC_SYNTAX);
  if (st_ecmd() != "manova") return error(RC_NOESTIMATES);
  const bool noterm = text.find_first_not_of(" \t") == std::string::npos;
  if (hastest && !noterm) return errmsgf(RC_SYNTAX, "a term and option test() may not be combined\n");
  if (hastest) return contrast(mname);
  if (noterm) return errmsgf(RC_REQUIRED, "term required\n");
  std::vector<AnvTerm> want;
  if (int rc = anv_parseterms(text, want)) return rc;
  if (want.size() != 1) return errmsgf(RC_SYNTAX, "one term at a time\n");
  const int nt = static_cast<int>(st_escalarget("k_terms"));
  int found = 0;
  for (int k = 1; k <= nt; ++k)
    if (anv_canonterm(st_elocalget(("term_" + std::to_string(k)).c_str())) == anv_canonterm(want[0].name)) found = k;
  if (!found) return errmsgf(RC_TERM_NOTINMODEL, "%s: term not in model\n", want[0].name.c_str());
  const int q = static_cast<int>(st_escalarget("k_eq"));
  const std::string ks = std::to_string(found);
  const double df = st_escalarget(("df_" + ks).c_str()), dfr = st_escalarget("df_r");
  AnvMvTest t;
  if (int rc = anv_mvtest(ematrix("H_" + ks), ematrix("E"), q, df, dfr, t)) return rc;
  spoutsml("\n");
  head();
  rows(want[0].name, t, df);
  spoutsml("{txt}                 {c |}\n");
  spoutsmlf("{txt}%16s {c |}    {res}%9s %4.0f\n", "Residual", "", dfr);
  rule();
  postr(t);
  st_rscalar("df", df);
  st_rscalar("df_r", dfr);
  return 0;
}

}  // namespace

void stats_bindmanova() {
  cmdbind("manova", cmd_manova);
  cmdbind("manovatest", cmd_manovatest);
}
