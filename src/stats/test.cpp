// _test: Wald tests of linear hypotheses on the posted coefficients e(b)
// with their variance e(V): `test x1 x2` (each coefficient zero) or
// `test exp = exp` with linear combinations of coefficient names on either
// side. Prints the constraints and F(df, e(df_r)) with Prob > F, posting
// r(F), r(df), r(df_r), r(p); without e(df_r), chi2(df) with Prob > chi2,
// posting r(chi2), r(df), r(p).
#include <boost/math/special_functions/gamma.hpp>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
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
#include "stats/post.h"
#include "stats/stats.h"

namespace {

// The posted estimates the constraints refer to.
struct Coefs {
  std::vector<std::string> names;  // e(b)'s column names
  std::vector<double> b, V;        // e(b), e(V) (p x p)
};

// One constraint: sum of R[j] b[j] = r.
struct Constraint {
  std::vector<double> R;
  double r = 0;
  std::string text;  // as shown
};

// The coefficient index of word (exact, then as a variable abbreviation), or
// -1 after printing the not-found message.
int coefindex(const Coefs& f, const std::string& word) {
  for (size_t j = 0; j < f.names.size(); ++j)
    if (f.names[j] == word) return static_cast<int>(j);
  // A name without an equation refers to the first equation.
  if (!f.names.empty() && word.find(':') == std::string::npos)
    if (const size_t c = f.names[0].find(':'); c != std::string::npos)
      for (size_t j = 0; j < f.names.size(); ++j)
        if (f.names[j] == f.names[0].substr(0, c + 1) + word) return static_cast<int>(j);
  if (word.find('.') == std::string::npos && word != "_cons") {
    const int v = zelta_findvar(word.c_str(), 10, false);
    if (v > 0 && v <= ds.nvar)
      for (size_t j = 0; j < f.names.size(); ++j)
        if (f.names[j] == varname(v)) return static_cast<int>(j);
  }
  (void)regrnotfound(word.c_str());
  return -1;
}

// Reads one side of an equation, adding sign times its terms to c.
// side -> term { ('+'|'-') term }; term -> [number ['*']] name | number | name '*' number
int side(const Coefs& f, const char*& p, double sign, Constraint& c) {
  bool first = true;
  while (true) {
    while (*p == ' ') ++p;
    if (!*p || *p == '=') return first ? error(RC_SYNTAX) : 0;
    double s = sign;
    if (*p == '+' || *p == '-') {
      if (*p == '-') s = -s;
      ++p;
      while (*p == ' ') ++p;
    } else if (!first) {
      return error(RC_SYNTAX);
    }
    first = false;
    double k = 1;
    bool hasnum = false;
    if (std::isdigit(static_cast<unsigned char>(*p)) || *p == '.') {
      char* end;
      k = std::strtod(p, &end);
      if (end == p) return error(RC_SYNTAX);
      p = end;
      hasnum = true;
      while (*p == ' ') ++p;
      if (*p == '*') ++p;
      while (*p == ' ') ++p;
    }
    const char* q = p;
    while (*q && (std::isalnum(static_cast<unsigned char>(*q)) || *q == '_' || *q == '.' || *q == '~'))
      ++q;
    if (q == p) {
      if (!hasnum) return error(RC_SYNTAX);
      c.r -= s * k;  // a number alone moves to the right-hand side
      continue;
    }
    std::string name(p, q);
    p = q;
    while (*p == ' ') ++p;
    if (*p == '*') {
      ++p;
      char* end;
      const double k2 = std::strtod(p, &end);
      if (end == p) return error(RC_SYNTAX);
      k *= k2;
      p = end;
    }
    const int j = coefindex(f, name);
    if (j < 0) return RC_NOTFOUND;
    c.R[static_cast<size_t>(j)] += s * k;
  }
}

// A number under %10.0g without its leading blanks.
std::string num(double x) {
  const char* p = sreforms("%10.0g", x);
  while (*p == ' ') ++p;
  return p;
}

// The shown form of a constraint: "x1 - 2*x2 = 3".
std::string showc(const Coefs& f, const Constraint& c) {
  std::string t;
  for (size_t j = 0; j < c.R.size(); ++j) {
    const double k = c.R[j];
    if (k == 0) continue;
    if (!t.empty()) t.push_back(' ');
    if (k < 0) t.push_back('-');
    else if (!t.empty()) t.push_back('+');
    if (t.size() > 1) t.push_back(' ');
    const double a = std::fabs(k);
    if (a != 1) t += num(a) + "*";
    t += f.names[j];
  }
  if (t.empty()) t.push_back('0');
  t += " = ";
  t += num(c.r);
  return t;
}

// _test coeflist | _test exp = exp
int cmd_test(int) {
  Coefs f;
  std::string line = wheretok();
  settok(wheretok() + std::strlen(wheretok()));
  size_t comma = line.find(',');
  std::string opts;
  if (comma != std::string::npos) {
    opts = line.substr(comma + 1);
    line = line.substr(0, comma);
  }
  if (opts.find_first_not_of(' ') != std::string::npos) {
    std::string o = opts.substr(opts.find_first_not_of(' '));
    o = o.substr(0, o.find(' '));
    return errmsgf(RC_SYNTAX, "option %s not allowed\n", o.c_str());
  }
  {
    bool handled = false;
    const int rc = anv_termtest(line, &handled);
    if (handled) return rc;
  }
  if (!st_ecoefs(f.names, f.b, f.V)) return error(RC_NOESTIMATES);
  if (f.V.empty()) return errmsgf(RC_BADAFTEREST, "variance matrix not found\n");
  while (!line.empty() && line.back() == ' ') line.pop_back();
  if (line.find_first_not_of(' ') == std::string::npos) return required("coefficient list or equation");
  const size_t p = f.names.size();
  std::vector<Constraint> cs;
  if (line.find('=') != std::string::npos) {
    Constraint c;
    c.R.assign(p, 0);
    const char* s = line.c_str();
    if (int rc = side(f, s, 1, c)) return rc;
    if (*s != '=') return error(RC_SYNTAX);
    ++s;
    if (*s == '=') ++s;
    if (int rc = side(f, s, -1, c)) return rc;
    while (*s == ' ') ++s;
    if (*s) return error(RC_SYNTAX);
    cs.push_back(c);
  } else {
    const char* s = line.c_str();
    while (*s) {
      while (*s == ' ') ++s;
      if (!*s) break;
      const char* q = s;
      while (*q && *q != ' ') ++q;
      std::string w(s, q);
      s = q;
      const int j = coefindex(f, w);
      if (j < 0) return RC_NOTFOUND;
      Constraint c;
      c.R.assign(p, 0);
      c.R[static_cast<size_t>(j)] = 1;
      cs.push_back(c);
    }
  }
  const int q = static_cast<int>(cs.size());
  // R V R' and R b - r; dependent or empty constraints are dropped by the sweep.
  std::vector<double> m(static_cast<size_t>(q * q)), d(static_cast<size_t>(q));
  for (int a = 0; a < q; ++a) {
    double rb = 0;
    for (size_t j = 0; j < p; ++j) rb += cs[static_cast<size_t>(a)].R[j] * f.b[j];
    d[static_cast<size_t>(a)] = rb - cs[static_cast<size_t>(a)].r;
    for (int c = 0; c < q; ++c) {
      double v = 0;
      for (size_t i = 0; i < p; ++i)
        for (size_t j = 0; j < p; ++j)
          v += cs[static_cast<size_t>(a)].R[i] * f.V[i * p + j] * cs[static_cast<size_t>(c)].R[j];
      m[static_cast<size_t>(a * q + c)] = v;
    }
  }
  std::vector<unsigned char> kept(static_cast<size_t>(q));
  SweepResult sr = sweep_inverse(m.data(), q, q, kept.data());
  if (sr.broke) return 1;
  spoutsml("\n");
  for (int a = 0; a < q; ++a) {
    spoutsml(("{txt} ({res}" + std::string(sreforms("%2.0f", a + 1)) + "{txt})  ").c_str());
    spout21(showc(f, cs[static_cast<size_t>(a)]).c_str());
    spoutsml("\n");
  }
  for (int a = 0; a < q; ++a)
    if (!kept[static_cast<size_t>(a)]) spoutsmlf("{txt}       Constraint %d dropped\n", a + 1);
  double w = 0;
  for (int a = 0; a < q; ++a)
    for (int c = 0; c < q; ++c) w += d[static_cast<size_t>(a)] * m[static_cast<size_t>(a * q + c)] * d[static_cast<size_t>(c)];
  const double df = sr.rank, dfr = st_escalarget("df_r");
  spoutsml("\n");
  st_rclear();
  st_rscalar("drop", sr.rank < q ? 1 : 0);
  if (dfr >= misval) {
    // No residual df posted: the large-sample chi-squared form.
    const double chi2 = df > 0 ? w : misval;
    const double pv = chi2 < misval && chi2 >= 0 ? boost::math::gamma_q(df / 2, chi2 / 2) : misval;
    spoutsmlf("{txt}{col 12}chi2(%3.0f) ={res}", df);
    spoutsml((std::string(sreforms("%8.2f", chi2)) + "\n").c_str());
    spoutsml("{txt}{col 10}Prob > chi2 ={res}");
    spoutsml((std::string(sreforms("%10.4f", pv)) + "\n").c_str());
    st_rscalar("chi2", chi2);
    st_rscalar("df", df);
    st_rscalar("p", pv);
    return 0;
  }
  double F = df > 0 ? w / df : misval;
  double pv = F < misval && dfr > 0 ? fn_Ftail(df, dfr, F) : misval;
  spoutsmlf("{txt}       F(%3.0f,%6.0f) ={res}", df, dfr);
  spoutsml((std::string(sreforms("%8.2f", F)) + "\n").c_str());
  spoutsml("{txt}{col 13}Prob > F ={res}");
  spoutsml((std::string(sreforms("%10.4f", pv)) + "\n").c_str());
  st_rscalar("df_r", dfr);
  st_rscalar("F", F);
  st_rscalar("df", df);
  st_rscalar("p", pv);
  return 0;
}

}  // namespace

void stats_bindtest() { cmdbind("_test", cmd_test); }
