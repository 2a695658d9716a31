// anova and anovadef: analysis of variance and covariance of one response
// on a list of terms, fitted by the linear-model engine (anovafit.cpp);
// the table of partial (default) or sequential sums of squares, e() as
// regress posts it plus each term's figures, replay, the underlying
// regression on request, the design listing, and the term tests of `test`.
//   anova depvar terms [if] [in] [weight] [, partial sequential category(varlist)
//         continuous(varlist) regress repeated(varlist)]
//   terms: a  b  a*b  a|b  (a nested within b)  a*b|c; `terms / errorterm`
//   tests the terms since the previous error term against errorterm
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <new>
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
#include "results/sweep.h"
#include "stats/anova.h"
#include "stats/anovacmd.h"
#include "stats/etable.h"
#include "stats/post.h"
#include "stats/stats.h"

namespace {
constexpr size_t MAXTERMVARS = 8;  // variables in one term
}  // namespace

std::vector<std::string> anv_termwords(const std::string& text) {
  std::vector<std::string> w;
  size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (c == ' ' || c == '\t') {
      ++i;
    } else if (c == '*' || c == '|' || c == '/') {
      w.emplace_back(1, c);
      ++i;
    } else {
      size_t j = i;
      while (j < text.size() && !std::strchr(" \t*|/", text[j])) ++j;
      w.push_back(text.substr(i, j - i));
      i = j;
    }
  }
  return w;
}

namespace {

// The shown name of a term: its variables' full names.
std::string termname(const AnvTerm& t) {
  std::string s;
  for (size_t j = 0; j < t.vars.size(); ++j) s += (j ? "*" : "") + varname(t.vars[j]);
  for (size_t j = 0; j < t.within.size(); ++j) s += (j ? "*" : "|") + varname(t.within[j]);
  return s;
}

// True when two terms have the same variables in the same roles.
bool sameterm(AnvTerm a, AnvTerm b) {
  std::sort(a.vars.begin(), a.vars.end());
  std::sort(b.vars.begin(), b.vars.end());
  std::sort(a.within.begin(), a.within.end());
  std::sort(b.within.begin(), b.within.end());
  return a.vars == b.vars && a.within == b.within;
}

}  // namespace

// terms -> term { ['/'] term }; term -> crossed ['|' crossed]; crossed -> name {'*' name}
// A '/' makes the term after it the error term of the terms since the
// previous error term.
int anv_parseterms(const std::string& text, std::vector<AnvTerm>& terms, std::vector<int>* errterm) {
  const std::vector<std::string> w = anv_termwords(text);
  size_t i = 0;
  size_t group = 0;     // the first term the next '/' gives an error term
  bool iserr = false;   // the next term is an error term
  auto name = [&](std::vector<int>& into) -> int {
    if (i >= w.size() || w[i] == "*" || w[i] == "|" || w[i] == "/")
      return errmsgf(RC_SYNTAX, "%s found where a variable name was expected\n", i < w.size() ? w[i].c_str() : "nothing");
    const int v = zelta_findvar(w[i].c_str(), 1, false);
    if (v < 0) return -v;
    if (v > ds.nvar) return varnotfound(w[i].c_str());
    if (isstrtype(vartype(v)))
      return errmsgf(RC_TYPEMISMATCH, "string variables not allowed in a list of terms;\n%s is a string variable\n",
                     varname(v).c_str());
    into.push_back(v);
    ++i;
    return 0;
  };
  while (i < w.size()) {
    if (w[i] == "/") {
      if (!errterm) return errmsgf(RC_SYNTAX, "/ not allowed: error terms are for anova\n");
      if (iserr || terms.size() == group)
        return errmsgf(RC_SYNTAX, "/ must follow the terms that take the error term after it\n");
      iserr = true;
      ++i;
      continue;
    }
    AnvTerm t;
    if (int rc = name(t.vars)) return rc;
    while (i < w.size() && w[i] == "*") {
      ++i;
      if (int rc = name(t.vars)) return rc;
    }
    if (i < w.size() && w[i] == "|") {
      ++i;
      if (int rc = name(t.within)) return rc;
      while (i < w.size() && w[i] == "*") {
        ++i;
        if (int rc = name(t.within)) return rc;
      }
    }
    std::vector<int> all = t.vars;
    all.insert(all.end(), t.within.begin(), t.within.end());
    if (all.size() > MAXTERMVARS) return error(RC_TERM_TOOBIG);
    std::sort(all.begin(), all.end());
    if (std::adjacent_find(all.begin(), all.end()) != all.end()) return error(RC_TERM_REPEATCAT);
    for (const AnvTerm& o : terms)
      if (sameterm(o, t)) return error(RC_TERM_REPEAT);
    t.name = termname(t);
    terms.push_back(std::move(t));
    if (errterm) {
      const size_t k = terms.size() - 1;
      errterm->push_back(-1);
      if (iserr) {
        for (size_t j = group; j < k; ++j) (*errterm)[j] = static_cast<int>(k);
        (*errterm)[k] = -2;
        group = k + 1;
        iserr = false;
      }
    }
  }
  return 0;  // a '/' at the end leaves its terms with the residual
}

size_t anv_termsend(const char* text) {
  const char* p = text;
  while (*p) {
    if (*p == ',' || *p == '[') break;
    if ((p == text || p[-1] == ' ') && (!std::strncmp(p, "if", 2) || !std::strncmp(p, "in", 2)) &&
        (p[2] == ' ' || p[2] == '\0'))
      break;
    ++p;
  }
  return static_cast<size_t>(p - text);
}

int anv_cmdline(ParseResult& pr, AnvCmd& c) {
  const char* start = wheretok();
  const size_t len = anv_termsend(start);
  c.text.assign(start, len);
  settok(start + len);
  if (int rc = parse({.varlist = PERM_NO, .weight = PERM_OPTIONAL, .options = PERM_OPTIONAL, .by = PERM_OPTIONAL}, pr)) return rc;
  c.replay = c.text.find_first_not_of(" \t") == std::string::npos;
  c.seq = findopt(pr, "sequential", 3, 0) == 1;
  c.partial = findopt(pr, "partial", 4, 0) == 1;
  if (int rc = anv_listopt(pr, "category", 3, c.cat, &c.hascat)) return rc;
  return anv_listopt(pr, "continuous", 4, c.cont, &c.hascont);
}

void anv_dropnotes(const AnvModel& model, const AnvFit& f) {
  for (size_t k = 0; k < model.terms.size(); ++k) {
    int nc = 0, nd = 0;
    for (const AnvColumn& c : f.cols)
      if (c.term == static_cast<int>(k)) nc += 1, nd += c.dropped;
    if (nd == 0) continue;
    if (nd == nc)
      st_note("note: " + model.terms[k].name + " dropped as collinear with the terms before it\n");
    else
      st_note("note: " + model.terms[k].name + ": " + std::to_string(nd) + " of " + std::to_string(nc) +
              " columns dropped as collinear (empty cells)\n");
  }
}

int anv_cmdcheck(ParseResult& pr, const AnvCmd& c) {
  if (int rc = chkopt(pr)) return rc;
  if (c.replay && (pr.hasif || pr.hasin || pr.hasweight || c.seq || c.partial || c.hascat || c.hascont))
    return error(RC_SYNTAX);
  if (c.seq && c.partial) return errmsgf(RC_NOTCOMBINED, "options sequential and partial may not be combined\n");
  if (pr.hasweight && (pr.wgttype[0] == WK_P || pr.wgttype[0] == WK_I))
    return errmsgf(RC_NOTALLOWED, "%ss not allowed\n", pr.wgttype.c_str());
  return 0;
}

namespace {

// The figures of one row of the table.
struct Row {
  std::string label;
  double ss = 0, df = 0, F = misval, p = misval;
};

// A number under fmt, blank when missing.
std::string num(const char* fmt, double x, int width) {
  if (x >= misval) return std::string(static_cast<size_t>(width), ' ');
  return sreforms(fmt, x);
}

void tablerow(const Row& r, bool stats) {
  std::string lab = r.label.size() > 24 ? r.label.substr(0, 22) + "~" + r.label.substr(r.label.size() - 1) : r.label;
  std::string l = "{txt}" + std::string(24 - lab.size(), ' ') + lab + " {c |} {res}";
  l += num("%10.0g", r.ss, 10) + " ";
  l += sreforms("%6.0f", r.df);
  l += " " + num("%10.0g", r.df > 0 ? r.ss / r.df : misval, 10);
  if (stats) l += " " + num("%9.2f", r.F, 9) + " " + num("%9.4f", r.p, 9);
  spoutsml((l + "\n").c_str());
}

void emptyrow() { spoutsml("{txt}                         {c |}\n"); }
void rule() { spoutsml("{txt}{hline 25}{c +}{hline 49}\n"); }

// The table heading and the rule under it.
void tablehead(bool sequential) {
  char b[200];
  std::snprintf(b, sizeof b, "{txt}%24s {c |} %10s %6s %10s %9s %9s\n", "Source", sequential ? "Seq. SS" : "Partial SS",
                "df", "MS", "F", "Prob > F");
  spoutsml(b);
  rule();
}

// The denominator degrees of freedom of term k's F test (1-based): its
// error term's, else the residual's.
double errdf(int k) {
  const double et = st_escalarget(("eterm_" + std::to_string(k)).c_str());
  if (et < misval && et >= 1) return st_escalarget(("df_" + std::to_string(static_cast<int>(et))).c_str());
  return st_escalarget("df_r");
}

// The repeated-measures part of the results: for each set of repeated
// variables, its epsilons and its terms' tests with the corrected p-values.
void represults() {
  const int nt = static_cast<int>(st_escalarget("k_terms"));
  const std::string gv = st_elocalget("groupvars");
  const double ng = st_escalarget("N_groups");
  spoutsml("\n");
  spoutsmlf("{txt}Between-subjects term: {res}%s{txt}, {res}%.0f{txt} units", st_elocalget("bse").c_str(),
            st_escalarget("N_bse"));
  if (gv.empty())
    spoutsml("{txt}; covariance pooled over all units\n");
  else
    spoutsmlf("{txt}; covariance pooled within {res}%.0f{txt} groups of {res}%s\n", ng, gv.c_str());
  std::vector<std::string> done;
  for (int k = 1; k <= nt; ++k) {
    const std::string set = st_elocalget(("repset_" + std::to_string(k)).c_str());
    if (set.empty() || std::find(done.begin(), done.end(), set) != done.end()) continue;
    done.push_back(set);
    const std::string ks = std::to_string(k);
    const double gg = st_escalarget(("gg_" + ks).c_str()), hf = st_escalarget(("hf_" + ks).c_str()),
                 box = st_escalarget(("box_" + ks).c_str());
    spoutsml("\n");
    spoutsmlf("{txt}Repeated variable%s: {res}%-20s{txt}{col 42}Huynh-Feldt epsilon        = {res}%s\n",
              set.find('*') != std::string::npos ? "s" : "", set.c_str(), sreforms("%8.4f", hf));
    spoutsmlf("{txt}{col 42}Greenhouse-Geisser epsilon = {res}%s\n", sreforms("%8.4f", gg));
    spoutsmlf("{txt}{col 42}Box's conservative epsilon = {res}%s\n\n", sreforms("%8.4f", box));
    spoutsml("{txt}                         {c |}                {hline 13} Prob > F {hline 13}\n");
    spoutsmlf("{txt}%24s {c |} %6s %8s %8s %8s %8s %8s\n", "Source", "df", "F", "Regular", "H-F", "G-G", "Box");
    spoutsml("{txt}{hline 25}{c +}{hline 52}\n");
    double edf = misval;
    std::string ename = "Residual";
    for (int j = k; j <= nt; ++j) {
      const std::string js = std::to_string(j);
      if (st_elocalget(("repset_" + js).c_str()) != set) continue;
      const double df = st_escalarget(("df_" + js).c_str()), F = st_escalarget(("F_" + js).c_str());
      const double dfe = errdf(j);
      if (edf >= misval) {
        edf = dfe;
        const double et = st_escalarget(("eterm_" + js).c_str());
        if (et < misval && et >= 1) ename = st_elocalget(("term_" + std::to_string(static_cast<int>(et))).c_str());
      }
      auto pv = [&](double e) {
        return F < misval && df > 0 && dfe > 0 && dfe < misval ? fn_Ftail(e * df, e * dfe, F) : misval;
      };
      std::string lab = st_elocalget(("term_" + js).c_str());
      if (lab.size() > 24) lab = lab.substr(0, 22) + "~" + lab.substr(lab.size() - 1);
      std::string l = "{txt}" + std::string(24 - lab.size(), ' ') + lab + " {c |} {res}" + sreforms("%6.0f", df);
      l += " " + num("%8.2f", F, 8);
      for (double e : {1.0, hf, gg, box}) l += " " + num("%8.4f", pv(e), 8);
      spoutsml((l + "\n").c_str());
    }
    if (ename.size() > 24) ename = ename.substr(0, 22) + "~" + ename.substr(ename.size() - 1);
    spoutsml(("{txt}" + std::string(24 - ename.size(), ' ') + ename + " {c |} {res}" + sreforms("%6.0f", edf) + "\n").c_str());
    spoutsml("{txt}{hline 25}{c BT}{hline 52}\n");
  }
}

// The table of the current anova results, from e().
int display(bool regression) {
  if (st_ecmd() != "anova") return error(RC_NOESTIMATES);
  if (regression) {
    RegFit f;
    f.N = st_escalarget("N"), f.df_m = st_escalarget("df_m"), f.df_r = st_escalarget("df_r");
    f.F = st_escalarget("F"), f.r2 = st_escalarget("r2"), f.r2_a = st_escalarget("r2_a");
    f.rmse = st_escalarget("rmse"), f.mss = st_escalarget("mss"), f.rss = st_escalarget("rss");
    f.tss = f.mss + f.rss;
    f.pF = f.F < misval && f.df_m > 0 && f.df_r > 0 ? fn_Ftail(f.df_m, f.df_r, f.F) : misval;
    reg_header(f);
    CoefTable t;
    if (int rc = ct_frome(t)) return rc;
    ct_display(t);
    return 0;
  }
  const bool seq = st_elocalget("sstype") == "sequential";
  const double N = st_escalarget("N"), rmse = st_escalarget("rmse");
  const double r2 = st_escalarget("r2"), r2a = st_escalarget("r2_a");
  const double dfm = st_escalarget("df_m"), dfr = st_escalarget("df_r");
  const double mss = st_escalarget("mss"), rss = st_escalarget("rss"), F = st_escalarget("F");
  char b[200];
  spoutsml("\n");
  std::snprintf(b, sizeof b, "{txt}%24sNumber of obs = {res}%9.0f{txt}     R-squared     = {res}", "", N);
  spoutsml((b + std::string(sreforms("%7.4f", r2)) + "\n").c_str());
  std::snprintf(b, sizeof b, "{txt}%24sRoot MSE      = {res}", "");
  const std::string rm = sreforms("%9.0g", rmse), ra = sreforms("%7.4f", r2a);
  spoutsml((b + rm + "{txt}     Adj R-squared = {res}" + ra + "\n\n").c_str());
  tablehead(seq);
  Row m{"Model", mss, dfm, F, F < misval && dfm > 0 && dfr > 0 ? fn_Ftail(dfm, dfr, F) : misval};
  tablerow(m, true);
  emptyrow();
  const int nt = static_cast<int>(st_escalarget("k_terms") < misval ? st_escalarget("k_terms") : 0);
  for (int k = 1; k <= nt; ++k) {
    const std::string ks = std::to_string(k);
    Row r;
    r.label = st_elocalget(("term_" + ks).c_str());
    r.ss = st_escalarget(("ss_" + ks).c_str());
    r.df = st_escalarget(("df_" + ks).c_str());
    r.F = st_escalarget(("F_" + ks).c_str());
    const double dfe = errdf(k);
    r.p = r.F < misval && r.df > 0 && dfe > 0 && dfe < misval ? fn_Ftail(r.df, dfe, r.F) : misval;
    tablerow(r, true);
    if (st_escalarget(("eterm_" + ks).c_str()) == -1 && k < nt) rule();
  }
  emptyrow();
  tablerow(Row{"Residual", rss, dfr}, false);
  rule();
  tablerow(Row{"Total", mss + rss, N - 1}, false);
  if (!st_elocalget("repeated").empty()) represults();
  return 0;
}

// Posts the fit: e() as regress posts it, each term's figures, the
// coefficients and their variance in the design's columns then _cons.
void post(const AnvModel& model, const AnvFit& f, const AnvRepeated* rp, const std::vector<int>& rep,
          const std::string& wtype, const std::string& wexp) {
  const int p = static_cast<int>(f.cols.size());
  const double tss = f.T[0], rss0 = f.E[0] < 0 ? 0 : f.E[0];
  double rss = rss0, mss = tss - rss;
  if (mss < 0) mss = 0, rss = tss;
  const double N = f.N;
  const double df_m = f.rank, df_r = N - f.rank - 1;
  double mse = df_r > 0 ? rss / df_r : 0;
  double r2 = tss > 0 ? 1 - rss / tss : misval;
  if (r2 < misval && r2 > 0.99999999999999) mss = tss, rss = 0, r2 = 1, mse = 0;
  if (r2 < misval && r2 < 0) r2 = misval;
  double F = misval;
  if (f.rank == 0)
    F = 0;
  else if (mse > 0 && df_m > 0)
    F = (mss / df_m) / mse;
  const double r2a = r2 < misval && df_r > 0 ? 1 - (1 - r2) * (N - 1) / df_r : misval;
  // The variables' names first: clearing e() drops the previous estimation's
  // sample marker, which renumbers the variables made after it.
  const std::string depname = varname(model.ys[0]);
  std::string rl, gl;
  if (rp) {
    for (int v : rep) rl += (rl.empty() ? "" : " ") + varname(v);
    for (int v : rp->groupvars) gl += (gl.empty() ? "" : " ") + varname(v);
  }
  st_eclear();
  st_escalar("N", N);
  st_escalar("df_m", df_m);
  st_escalar("df_r", df_r);
  st_escalar("F", F);
  st_escalar("r2", r2);
  st_escalar("rmse", std::sqrt(mse));
  st_escalar("mss", mss);
  st_escalar("rss", rss);
  st_escalar("r2_a", r2a);
  if (rss > 0) {
    const double l2pi = std::log(2 * M_PI);
    st_escalar("ll", -0.5 * N * (l2pi + std::log(rss / N) + 1));
    st_escalar("ll_0", -0.5 * N * (l2pi + std::log((rss + mss) / N) + 1));
  }
  const int nt = static_cast<int>(model.terms.size());
  st_escalar("k_terms", nt);
  std::string termcols, terms;
  for (int k = 0; k < nt; ++k) {
    const std::string ks = std::to_string(k + 1);
    const double ss = f.H[static_cast<size_t>(k)][0], df = f.df[static_cast<size_t>(k)];
    st_escalar(("ss_" + ks).c_str(), ss);
    st_escalar(("df_" + ks).c_str(), df);
    const int et = model.errterm.empty() ? -1 : model.errterm[static_cast<size_t>(k)];
    double Fk = df > 0 && mse > 0 ? ss / df / mse : misval;
    if (et == -2) {
      Fk = misval;
    } else if (et >= 0) {
      const double se = f.H[static_cast<size_t>(et)][0], dfe = f.df[static_cast<size_t>(et)];
      Fk = df > 0 && dfe > 0 && se > 0 ? (ss / df) / (se / dfe) : misval;
    }
    st_escalar(("F_" + ks).c_str(), Fk);
    if (!model.errterm.empty()) st_escalar(("eterm_" + ks).c_str(), et == -2 ? -1 : et + 1);
    if (rp && !rp->repset[static_cast<size_t>(k)].empty()) {
      st_elocal(("repset_" + ks).c_str(), rp->repset[static_cast<size_t>(k)].c_str());
      st_escalar(("gg_" + ks).c_str(), rp->gg[static_cast<size_t>(k)]);
      st_escalar(("hf_" + ks).c_str(), rp->hf[static_cast<size_t>(k)]);
      st_escalar(("box_" + ks).c_str(), rp->box[static_cast<size_t>(k)]);
    }
    st_elocal(("term_" + ks).c_str(), model.terms[static_cast<size_t>(k)].name.c_str());
    int nc = 0;
    for (const AnvColumn& c : f.cols) nc += c.term == k;
    termcols += (k ? " " : "") + std::to_string(nc);
    terms += (k ? " " : "") + model.terms[static_cast<size_t>(k)].name;
  }
  if (!wtype.empty()) {
    st_elocal("wtype", wtype.c_str());
    st_elocal("wexp", ("= " + wexp).c_str());
  }
  st_elocal("cmd", "anova");
  st_elocal("depvar", depname.c_str());
  st_elocal("terms", terms.c_str());
  st_elocal("termcols", termcols.c_str());
  st_elocal("sstype", model.sequential ? "sequential" : "partial");
  if (rp) {
    st_elocal("repeated", rl.c_str());
    st_elocal("bse", model.terms[static_cast<size_t>(rp->bse)].name.c_str());
    st_elocal("groupvars", gl.c_str());
    st_escalar("N_bse", static_cast<double>(rp->units));
    st_escalar("N_groups", static_cast<double>(rp->groups));
  }
  st_elocal("properties", "b V");
  // Coefficients: the columns, then the constant at the means.
  std::vector<std::string> names;
  for (const AnvColumn& c : f.cols) names.push_back(c.name);
  names.push_back("_cons");
  const int pp = p + 1;
  std::vector<double> b(static_cast<size_t>(pp), 0), V(static_cast<size_t>(pp * pp), 0);
  double b0 = f.ymean[0];
  for (int a = 0; a < p; ++a) {
    b[static_cast<size_t>(a)] = f.B[static_cast<size_t>(a)];
    b0 -= f.B[static_cast<size_t>(a)] * f.xmean[static_cast<size_t>(a)];
  }
  b[static_cast<size_t>(p)] = b0;
  std::vector<double> vm(static_cast<size_t>(p), 0);  // V_xx times the means
  for (int a = 0; a < p; ++a)
    for (int c = 0; c < p; ++c) {
      const double v = mse * f.inv[static_cast<size_t>(a * p + c)];
      V[static_cast<size_t>(a * pp + c)] = v;
      vm[static_cast<size_t>(a)] += v * f.xmean[static_cast<size_t>(c)];
    }
  double vcc = f.W > 0 ? mse / f.W : 0;
  for (int a = 0; a < p; ++a) {
    V[static_cast<size_t>(a * pp + p)] = V[static_cast<size_t>(p * pp + a)] = -vm[static_cast<size_t>(a)];
    vcc += f.xmean[static_cast<size_t>(a)] * vm[static_cast<size_t>(a)];
  }
  V[static_cast<size_t>(p * pp + p)] = vcc;
  st_epost(names, b, V);
  st_esample(f.sample, f.samplelo);
  st_global("S_E_cmd", "anova");
  st_global("S_E_depv", varname(model.ys[0]).c_str());
}

}  // namespace

int anv_listopt(ParseResult& pr, const char* name, int min, std::vector<int>& vars, bool* given) {
  std::string text;
  *given = findargasis(pr, name, min, text, 4096);
  if (!*given) return 0;
  if (text.find_first_not_of(' ') == std::string::npos) return errmsgf(RC_SYNTAX, "option %s() invalid\n", name);
  return st_textvars(text, vars);
}

int anv_classify(AnvModel& model, const std::vector<int>& cat, bool hascat, const std::vector<int>& cont, bool hascont) {
  std::vector<int> all;
  for (const AnvTerm& t : model.terms) {
    all.insert(all.end(), t.vars.begin(), t.vars.end());
    all.insert(all.end(), t.within.begin(), t.within.end());
  }
  auto in = [](const std::vector<int>& v, int x) { return std::find(v.begin(), v.end(), x) != v.end(); };
  for (int v : cat)
    if (!in(all, v)) return errmsgf(RC_TERM_EXTRA, "%s: attempt to classify extraneous variable\n", varname(v).c_str());
  for (int v : cont)
    if (!in(all, v)) return errmsgf(RC_TERM_EXTRA, "%s: attempt to classify extraneous variable\n", varname(v).c_str());
  model.continuous.clear();
  for (int v : all) {
    if (in(model.continuous, v)) continue;
    const bool c1 = in(cat, v), c2 = in(cont, v);
    if (c1 && c2) return errmsgf(RC_TERM_INCONSIST, "%s: variable classified inconsistently\n", varname(v).c_str());
    if (hascat && hascont && !c1 && !c2)
      return errmsgf(RC_TERM_UNCLASSED, "%s: variable left unclassified\n", varname(v).c_str());
    if (c2 || (hascat && !c1)) model.continuous.push_back(v);
  }
  for (const AnvTerm& t : model.terms)
    for (int v : t.within)
      if (in(model.continuous, v))
        return errmsgf(RC_SYNTAX, "%s: a term may be nested only within categorical variables\n", varname(v).c_str());
  return 0;
}

namespace {

// anova [depvar terms [if] [in] [weight]] [, options]
int cmd_anova(int) {
  ParseResult pr;
  AnvCmd c;
  if (int rc = anv_cmdline(pr, c)) return rc;
  const bool regression = findopt(pr, "regress", 3, 0) == 1;
  std::vector<int> rep;
  bool hasrep = false;
  if (int rc = anv_listopt(pr, "repeated", 3, rep, &hasrep)) return rc;
  if (int rc = anv_cmdcheck(pr, c)) return rc;
  if (c.replay && hasrep) return error(RC_SYNTAX);
  if (c.replay) return display(regression);
  if (hasrep && pr.hasweight) return errmsgf(RC_NOTALLOWED, "weights not allowed with repeated()\n");
  const std::string& text = c.text;
  const std::vector<int>&cat = c.cat, &cont = c.cont;
  const bool hascat = c.hascat, hascont = c.hascont, seq = c.seq;
  // The response, then the terms.
  const std::vector<std::string> w = anv_termwords(text);
  if (w.empty() || w[0] == "*" || w[0] == "|" || w[0] == "/") return errmsgf(RC_SYNTAX, "varlist required\n");
  const int yv = zelta_findvar(w[0].c_str(), 1, false);
  if (yv < 0) return -yv;
  if (isstrtype(vartype(yv)))
    return errmsgf(RC_TYPEMISMATCH, "string variables not allowed in varlist;\n%s is a string variable\n", varname(yv).c_str());
  const size_t ypos = text.find(w[0]) + w[0].size();
  AnvModel model;
  model.ys.push_back(yv);
  model.sequential = seq;
  std::vector<int> et;
  if (int rc = anv_parseterms(text.substr(ypos), model.terms, &et)) return rc;
  if (std::any_of(et.begin(), et.end(), [](int e) { return e != -1; })) model.errterm = et;
  if (model.terms.empty()) return errmsgf(RC_TOOFEWVARS, "no terms specified: the design is empty\n");
  for (const AnvTerm& t : model.terms)
    if (std::find(t.vars.begin(), t.vars.end(), yv) != t.vars.end() ||
        std::find(t.within.begin(), t.within.end(), yv) != t.within.end())
      return errmsgf(RC_SYNTAX, "%s is the response and may not appear among the terms\n", varname(yv).c_str());
  if (int rc = anv_classify(model, cat, hascat, cont, hascont)) return rc;
  AnvFit f;
  try {
    StSample s;
    if (int rc = st_sample(s, pr)) return rc;
    model.maxcols = st_matsize() - 2;
    if (int rc = anv_fit(model, s, f)) return rc;
    AnvRepeated rp;
    if (hasrep)
      if (int rc = anv_repeated(model, f, rep, rp)) return rc;
    anv_dropnotes(model, f);
    post(model, f, hasrep ? &rp : nullptr, rep, s.wkind ? std::string(1, s.wkind) + "weight" : "", s.wexp);
  } catch (const std::bad_alloc&) {
    return error(RC_NOMEM);
  }
  return display(regression);
}

// anovadef: the design of the current anova results, term by term.
int cmd_anovadef(int) {
  ParseResult pr;
  if (int rc = parse({.varlist = PERM_NO}, pr)) return rc;
  if (st_ecmd() != "anova") return error(RC_NOESTIMATES);
  std::vector<std::string> names;
  std::vector<double> b, V;
  if (!st_ecoefs(names, b, V)) return error(RC_NOESTIMATES);
  const std::string terms = st_elocalget("terms"), cols = st_elocalget("termcols");
  const std::vector<std::string> tw = anv_termwords(terms), cw = anv_termwords(cols);
  spoutsml("\n");
  spoutsmlf("{txt}Design of the last anova of {res}%s{txt} (%s sums of squares)\n",
            st_elocalget("depvar").c_str(), st_elocalget("sstype").c_str());
  spoutsml("{txt}Categorical variables are coded as effects: level k against the last level.\n\n");
  spoutsml("{txt}            Term {c |}   df  Columns\n{hline 17}{c +}{hline 50}\n");
  const int nt = static_cast<int>(st_escalarget("k_terms"));
  size_t at = 0;
  for (int k = 1; k <= nt; ++k) {
    const std::string label = st_elocalget(("term_" + std::to_string(k)).c_str());
    const int nc = k - 1 < static_cast<int>(cw.size()) ? std::atoi(cw[static_cast<size_t>(k - 1)].c_str()) : 0;
    spoutsmlf("{txt}%16s {c |} {res}%4.0f{txt} ", label.c_str(), st_escalarget(("df_" + std::to_string(k)).c_str()));
    std::string line;
    int shown = 0;
    for (int j = 0; j < nc && at < names.size(); ++j, ++at) {
      const size_t pp = names.size();
      const bool dropped = b[at] == 0 && !V.empty() && V[at * pp + at] == 0;
      std::string nm = " " + names[at] + (dropped ? " (dropped)" : "");
      if (shown && line.size() + nm.size() > 48) {
        spout21((line + "\n").c_str());
        spoutsml("{txt}                 {c |}      ");
        line.clear();
      }
      line += nm;
      ++shown;
    }
    spout21((line + "\n").c_str());
  }
  spoutsml("{txt}{hline 17}{c BT}{hline 50}\n");
  return 0;
}

}  // namespace

std::string anv_canonterm(const std::string& name) {
  std::string canon;
  size_t bar = name.find('|');
  for (int part = 0; part < 2; ++part) {
    const std::string t = part == 0 ? name.substr(0, bar) : bar == std::string::npos ? "" : name.substr(bar + 1);
    std::vector<std::string> v;
    for (const std::string& w : anv_termwords(t))
      if (w != "*" && w != "|") v.push_back(w);
    std::sort(v.begin(), v.end());
    if (part == 1 && !v.empty()) canon += "|";
    for (size_t j = 0; j < v.size(); ++j) canon += (j ? "*" : "") + v[j];
  }
  return canon;
}

int anv_termtest(const std::string& line, bool* handled) {
  *handled = false;
  if (st_ecmd() != "anova") return 0;
  const std::vector<std::string> w = anv_termwords(line);
  // Terms as typed: names joined by '*' and '|'.
  std::vector<std::string> typed;
  for (size_t i = 0; i < w.size(); ++i) {
    if (w[i] == "*" || w[i] == "|") {
      if (typed.empty() || i + 1 >= w.size()) return 0;
      typed.back() += w[i] + w[i + 1];
      ++i;
    } else {
      typed.push_back(w[i]);
    }
  }
  if (typed.empty()) return 0;
  const int nt = static_cast<int>(st_escalarget("k_terms"));
  const std::vector<std::string> cw = anv_termwords(st_elocalget("termcols"));
  // Each typed term's index among the posted ones; the words a term's
  // variables abbreviate are matched by their full names.
  std::vector<int> which;
  for (const std::string& t : typed) {
    std::string full;
    for (const std::string& part : anv_termwords(t)) {
      if (part == "*" || part == "|") {
        full += part;
        continue;
      }
      const int v = zelta_findvar(part.c_str(), 10, false);
      full += v > 0 && v <= ds.nvar ? varname(v) : part;
    }
    int found = -1;
    for (int k = 1; k <= nt; ++k)
      if (anv_canonterm(st_elocalget(("term_" + std::to_string(k)).c_str())) == anv_canonterm(full)) found = k - 1;
    if (found < 0) {
      if (t.find_first_of("*|") == std::string::npos) return 0;  // perhaps a coefficient
      *handled = true;
      return errmsgf(RC_TERM_NOTINMODEL, "%s: term not in model\n", t.c_str());
    }
    which.push_back(found);
  }
  *handled = true;
  std::vector<std::string> names;
  std::vector<double> b, V;
  if (!st_ecoefs(names, b, V) || V.empty()) return error(RC_NOESTIMATES);
  const size_t p = names.size();
  std::vector<size_t> first(static_cast<size_t>(nt) + 1, 0);
  for (int k = 0; k < nt; ++k)
    first[static_cast<size_t>(k + 1)] = first[static_cast<size_t>(k)] +
        (static_cast<size_t>(k) < cw.size() ? static_cast<size_t>(std::atoi(cw[static_cast<size_t>(k)].c_str())) : 0);
  std::vector<size_t> K;
  for (int k : which)
    for (size_t j = first[static_cast<size_t>(k)]; j < first[static_cast<size_t>(k) + 1] && j < p; ++j)
      if (V[j * p + j] > 0 && std::find(K.begin(), K.end(), j) == K.end()) K.push_back(j);
  const int r = static_cast<int>(K.size());
  std::vector<double> M(static_cast<size_t>(r * r));
  for (int a = 0; a < r; ++a)
    for (int c = 0; c < r; ++c) M[static_cast<size_t>(a * r + c)] = V[K[static_cast<size_t>(a)] * p + K[static_cast<size_t>(c)]];
  std::vector<unsigned char> ok(static_cast<size_t>(r));
  const SweepResult sr = r > 0 ? sweep_inverse(M.data(), r, r, ok.data()) : SweepResult{};
  if (sr.broke) return 1;
  double wald = 0;
  for (int a = 0; a < r; ++a)
    for (int c = 0; c < r; ++c) wald += b[K[static_cast<size_t>(a)]] * M[static_cast<size_t>(a * r + c)] * b[K[static_cast<size_t>(c)]];
  const double df = sr.rank, dfr = st_escalarget("df_r"), rmse = st_escalarget("rmse");
  const double mse = rmse * rmse;
  const double F = df > 0 ? wald / df : misval;
  const double pv = F < misval && dfr > 0 ? fn_Ftail(df, dfr, F) : misval;
  const double ss = df > 0 ? wald * mse : 0, rss = st_escalarget("rss");
  std::string label;
  for (int k : which) label += (label.empty() ? "" : " ") + st_elocalget(("term_" + std::to_string(k + 1)).c_str());
  spoutsml("\n");
  tablehead(false);
  tablerow(Row{label, ss, df, F, pv}, true);
  tablerow(Row{"Residual", rss, dfr}, false);
  st_rclear();
  st_rscalar("ss", ss);
  st_rscalar("rss", rss);
  st_rscalar("df_r", dfr);
  st_rscalar("F", F);
  st_rscalar("df", df);
  st_rscalar("p", pv);
  return 0;
}

void stats_bindanova() {
  cmdbind("anova", cmd_anova);
  cmdbind("anovadef", cmd_anovadef);
}
