// The commands a likelihood program calls while `ml` fits it (methods d0,
// d1, d2), each over the sample of the last `ml model` with its weights:
//   mleval newvar = vecname [, eq(#)]       the index of equation # at vecname
//   mlsum lnf = exp [if]                    lnf = sum of w exp
//   mlvecsum lnf g = exp [if] [, eq(#)]     g = sum of w exp x_e (a row vector)
//   mlmatsum lnf M = exp [if] [, eq(#[,#])] M = sum of w exp x_e' x_f
//   mlmatbysum lnf M a b [c] [if], by(varname) [eq(#[,#])]
//        M = sum over the groups of by() of w a (sum of b x_e)' (sum of c x_f),
//        a and w taken from each group's first observation, c = b when absent.
// A missing value of an expression sets the scalar lnf to missing (the
// driver then backs up or reports it) and leaves the result unset.
#include <cmath>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "data/store.h"
#include "data/varlist.h"
#include "expr/expr.h"
#include "interp/cmdtab.h"
#include "interp/tokenizer.h"
#include "output/errors.h"
#include "platform/platform.h"
#include "results/results.h"
#include "stats/mlsession.h"
#include "stats/stats.h"

namespace {

// The parts of a command line: the words before `=` (all of them when there
// is none), the expression, the `if` expression and the options' text.
struct Parts {
  std::vector<std::string> lhs;
  std::string exp, ifexp, opts;
};

std::vector<std::string> words(const std::string& s) {
  std::vector<std::string> w;
  size_t i = 0;
  while (i < s.size()) {
    while (i < s.size() && s[i] == ' ') ++i;
    size_t j = i;
    while (j < s.size() && s[j] != ' ') ++j;
    if (j > i) w.push_back(s.substr(i, j - i));
    i = j;
  }
  return w;
}

// Splits text at the top level (outside parentheses, brackets and quotes).
Parts split(const std::string& text, bool hasexp) {
  Parts p;
  int depth = 0;
  bool quote = false;
  size_t eq = std::string::npos, ifat = std::string::npos, comma = std::string::npos;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '"') quote = !quote;
    if (quote) continue;
    if (c == '(' || c == '[') ++depth;
    if (c == ')' || c == ']') --depth;
    if (depth) continue;
    if (c == '=' && eq == std::string::npos && hasexp && (i + 1 >= text.size() || text[i + 1] != '=') &&
        (i == 0 || std::strchr("<>!~=", text[i - 1]) == nullptr))
      eq = i;
    if (c == ',' && comma == std::string::npos) comma = i;
    if (ifat == std::string::npos && comma == std::string::npos && text.compare(i, 2, "if") == 0 &&
        (i == 0 || text[i - 1] == ' ') && (i + 2 >= text.size() || text[i + 2] == ' ' || text[i + 2] == '('))
      ifat = i;
  }
  const size_t end = comma == std::string::npos ? text.size() : comma;
  if (comma != std::string::npos) p.opts = text.substr(comma + 1);
  const size_t body = ifat == std::string::npos ? end : ifat;
  if (ifat != std::string::npos) p.ifexp = text.substr(ifat + 2, end - ifat - 2);
  if (hasexp && eq != std::string::npos && eq < body) {
    p.lhs = words(text.substr(0, eq));
    p.exp = text.substr(eq + 1, body - eq - 1);
  } else {
    p.lhs = words(text.substr(0, body));
  }
  return p;
}

// The argument of option name in the options' text ("" when absent; *has set).
std::string optarg(const std::string& opts, const char* name, bool* has) {
  *has = false;
  const std::string key = std::string(name) + "(";
  size_t at = 0;
  while ((at = opts.find(key, at)) != std::string::npos) {
    if (at == 0 || opts[at - 1] == ' ' || opts[at - 1] == ',') break;
    ++at;
  }
  if (at == std::string::npos) return "";
  const size_t close = opts.find(')', at);
  if (close == std::string::npos) return "";
  *has = true;
  return opts.substr(at + key.size(), close - at - key.size());
}

// Checks that the options' text holds nothing but the given options.
int onlyopts(const std::string& opts, std::initializer_list<const char*> names) {
  std::string rest = opts;
  for (const char* n : names) {
    const std::string key = std::string(n) + "(";
    const size_t at = rest.find(key);
    if (at == std::string::npos) continue;
    const size_t close = rest.find(')', at);
    rest.erase(at, close == std::string::npos ? std::string::npos : close - at + 1);
  }
  for (char c : rest)
    if (c != ' ' && c != ',') return errmsgf(RC_SYNTAX, "option %s not allowed\n", words(rest)[0].c_str());
  return 0;
}

// eq(#[,#]) as 0-based equation numbers (both 0 when absent). 0 or 198/303.
int eqopt(const std::string& opts, bool two, int* e, int* f) {
  *e = *f = 0;
  bool has;
  std::string a = optarg(opts, "eq", &has);
  if (!has) return 0;
  for (char& c : a)
    if (c == ',') c = ' ';
  const std::vector<std::string> w = words(a);
  if (w.empty() || w.size() > (two ? 2u : 1u)) return errmsgf(RC_SYNTAX, "option eq() invalid\n");
  int v[2] = {0, 0};
  for (size_t k = 0; k < w.size(); ++k) {
    char* end = nullptr;
    const long x = std::strtol(w[k].c_str(), &end, 10);
    if (*end || x < 1 || x > static_cast<long>(mls.model.eqs.size()))
      return errmsgf(RC_NOEQUATION, "equation %s not found\n", w[k].c_str());
    v[k] = static_cast<int>(x - 1);
  }
  *e = v[0];
  *f = w.size() == 2 ? v[1] : v[0];
  return 0;
}

int nomodel() { return errmsgf(RC_NOESTIMATES, "no ml model defined; use ml model first\n"); }

// Compiles an expression (empty text: none). 0 or a code.
int compile(const std::string& text, ExprProg& prog, const char* what) {
  std::string t = text;
  while (!t.empty() && t.back() == ' ') t.pop_back();
  if (t.find_first_not_of(' ') == std::string::npos) return errmsgf(RC_SYNTAX, "%s required\n", what);
  if (int rc = compexp_u(t.c_str(), prog, EXP_NUM)) return rc;
  expr_startrun(prog);
  return 0;
}

// The rows of the sample the `if` expression keeps (all without one).
int rows(const Parts& p, std::vector<size_t>& at) {
  at.clear();
  ExprProg ip;
  const bool hasif = !p.ifexp.empty();
  if (hasif)
    if (int rc = compile(p.ifexp, ip, "if expression")) return rc;
  for (size_t i = 0; i < mls.model.obs.size(); ++i)
    if (!hasif || evalnum(ip, mls.model.obs[i]) != 0) at.push_back(i);
  return 0;
}

// The values of the regressors of equation e at sample row i (the constant last).
void xrow(int e, size_t i, std::vector<double>& x) {
  const MdEq& q = mls.model.eqs[static_cast<size_t>(e)];
  x.resize(static_cast<size_t>(q.size()));
  for (size_t j = 0; j < q.vars.size(); ++j) x[j] = zelta_data(q.vars[j], mls.model.obs[i]);
  if (q.cons) x.back() = 1;
}

std::vector<std::string> eqnames(int e) {
  const MdEq& q = mls.model.eqs[static_cast<size_t>(e)];
  std::vector<std::string> n;
  for (int v : q.vars) n.push_back(q.name + ":" + varname(v));
  if (q.cons) n.push_back(q.name + ":_cons");
  return n;
}

int setscalar(const std::string& name, double v) {
  if (int rc = chkname(name.c_str())) return rc;
  NamedScalar s;
  s.d = v;
  return scalar_set(name, s);
}

double weight(size_t i) { return mls.model.w.empty() ? 1.0 : mls.model.w[i]; }

// mlsum lnf = exp [if]
int cmd_mlsum(int) {
  if (!mls.model.valid) return nomodel();
  const Parts p = split(wheretok(), true);
  if (p.lhs.size() != 1) return errmsgf(RC_SYNTAX, "mlsum scalarname = exp [if]\n");
  if (int rc = onlyopts(p.opts, {})) return rc;
  ExprProg ep;
  if (int rc = compile(p.exp, ep, "expression")) return rc;
  std::vector<size_t> at;
  if (int rc = rows(p, at)) return rc;
  double s = 0;
  for (size_t i : at) {
    const double v = evalnum(ep, mls.model.obs[i]);
    if (!(v < misval)) return setscalar(p.lhs[0], misval);
    s += weight(i) * v;
  }
  return setscalar(p.lhs[0], s);
}

// mlvecsum lnf g = exp [if] [, eq(#)]
int cmd_mlvecsum(int) {
  if (!mls.model.valid) return nomodel();
  const Parts p = split(wheretok(), true);
  if (p.lhs.size() != 2) return errmsgf(RC_SYNTAX, "mlvecsum scalarname rowvecname = exp [if] [, eq(#)]\n");
  if (int rc = onlyopts(p.opts, {"eq"})) return rc;
  int e, f;
  if (int rc = eqopt(p.opts, false, &e, &f)) return rc;
  ExprProg ep;
  if (int rc = compile(p.exp, ep, "expression")) return rc;
  std::vector<size_t> at;
  if (int rc = rows(p, at)) return rc;
  const int k = mls.model.eqs[static_cast<size_t>(e)].size();
  std::vector<double> g(static_cast<size_t>(k), 0), x;
  for (size_t i : at) {
    const double v = evalnum(ep, mls.model.obs[i]);
    if (!(v < misval)) return setscalar(p.lhs[0], misval);
    xrow(e, i, x);
    const double wv = weight(i) * v;
    for (int j = 0; j < k; ++j) g[static_cast<size_t>(j)] += wv * x[static_cast<size_t>(j)];
  }
  Matrix m = mat_make(1, k);
  m.v = g;
  m.cnames = eqnames(e);
  return mat_store(p.lhs[1], m);
}

// mlmatsum lnf M = exp [if] [, eq(#[,#])]
int cmd_mlmatsum(int) {
  if (!mls.model.valid) return nomodel();
  const Parts p = split(wheretok(), true);
  if (p.lhs.size() != 2) return errmsgf(RC_SYNTAX, "mlmatsum scalarname matname = exp [if] [, eq(#[,#])]\n");
  if (int rc = onlyopts(p.opts, {"eq"})) return rc;
  int e, f;
  if (int rc = eqopt(p.opts, true, &e, &f)) return rc;
  ExprProg ep;
  if (int rc = compile(p.exp, ep, "expression")) return rc;
  std::vector<size_t> at;
  if (int rc = rows(p, at)) return rc;
  const int ke = mls.model.eqs[static_cast<size_t>(e)].size(), kf = mls.model.eqs[static_cast<size_t>(f)].size();
  Matrix m = mat_make(ke, kf);
  std::vector<double> xe, xf;
  for (size_t i : at) {
    const double v = evalnum(ep, mls.model.obs[i]);
    if (!(v < misval)) return setscalar(p.lhs[0], misval);
    xrow(e, i, xe);
    xrow(f, i, xf);
    const double wv = weight(i) * v;
    for (int a = 0; a < ke; ++a)
      for (int c = 0; c < kf; ++c) m.at(a, c) += wv * xe[static_cast<size_t>(a)] * xf[static_cast<size_t>(c)];
  }
  m.rnames = eqnames(e);
  m.cnames = eqnames(f);
  m.sym = e == f;
  return mat_store(p.lhs[1], m);
}

// mlmatbysum lnf M a b [c] [if], by(varname) [eq(#[,#])]
int cmd_mlmatbysum(int) {
  if (!mls.model.valid) return nomodel();
  const Parts p = split(wheretok(), false);
  if (p.lhs.size() != 4 && p.lhs.size() != 5)
    return errmsgf(RC_SYNTAX, "mlmatbysum scalarname matname varname_a varname_b [varname_c] [if], by(varname) [eq(#[,#])]\n");
  if (int rc = onlyopts(p.opts, {"eq", "by"})) return rc;
  int e, f;
  if (int rc = eqopt(p.opts, true, &e, &f)) return rc;
  bool has;
  const std::string byname = optarg(p.opts, "by", &has);
  if (!has) return errmsgf(RC_SYNTAX, "option by() required\n");
  std::vector<int> byv, abc;
  if (int rc = st_textvars(byname, byv)) return rc;
  if (byv.size() != 1) return errmsgf(RC_SYNTAX, "by() takes one variable\n");
  for (size_t k = 2; k < p.lhs.size(); ++k) {
    std::vector<int> v;
    if (int rc = st_textvars(p.lhs[k], v)) return rc;
    if (v.size() != 1) return errmsgf(RC_SYNTAX, "%s: one variable expected\n", p.lhs[k].c_str());
    abc.push_back(v[0]);
  }
  if (abc.size() == 2) abc.push_back(abc[1]);
  std::vector<size_t> at;
  if (int rc = rows(p, at)) return rc;
  const int ke = mls.model.eqs[static_cast<size_t>(e)].size(), kf = mls.model.eqs[static_cast<size_t>(f)].size();
  // Per group: the factor w a of its first row, and the two sums.
  struct Grp {
    double wa = 0;
    std::vector<double> se, sf;
  };
  std::map<double, Grp> groups;
  std::vector<double> xe, xf;
  for (size_t i : at) {
    const long ob = mls.model.obs[i];
    const double g = zelta_data(byv[0], ob), a = zelta_data(abc[0], ob), b = zelta_data(abc[1], ob),
                 c = zelta_data(abc[2], ob);
    if (!(g < misval)) return errmsgf(RC_BADDATA, "by() variable %s has missing values in the sample\n", varname(byv[0]).c_str());
    if (!(a < misval && b < misval && c < misval)) return setscalar(p.lhs[0], misval);
    auto [it, isnew] = groups.try_emplace(g);
    Grp& gr = it->second;
    if (isnew) {
      gr.wa = weight(i) * a;
      gr.se.assign(static_cast<size_t>(ke), 0);
      gr.sf.assign(static_cast<size_t>(kf), 0);
    }
    xrow(e, i, xe);
    xrow(f, i, xf);
    for (int j = 0; j < ke; ++j) gr.se[static_cast<size_t>(j)] += b * xe[static_cast<size_t>(j)];
    for (int j = 0; j < kf; ++j) gr.sf[static_cast<size_t>(j)] += c * xf[static_cast<size_t>(j)];
  }
  Matrix m = mat_make(ke, kf);
  for (const auto& [g, gr] : groups)
    for (int a = 0; a < ke; ++a)
      for (int c = 0; c < kf; ++c) m.at(a, c) += gr.wa * gr.se[static_cast<size_t>(a)] * gr.sf[static_cast<size_t>(c)];
  m.rnames = eqnames(e);
  m.cnames = eqnames(f);
  return mat_store(p.lhs[1], m);
}

// mleval newvar = vecname [, eq(#)]
int cmd_mleval(int) {
  if (!mls.model.valid) return nomodel();
  const Parts p = split(wheretok(), true);
  const std::vector<std::string> r = words(p.exp);
  if (p.lhs.size() != 1 || r.size() != 1 || !p.ifexp.empty())
    return errmsgf(RC_SYNTAX, "mleval newvarname = vecname [, eq(#)]\n");
  if (int rc = onlyopts(p.opts, {"eq"})) return rc;
  int e, f;
  if (int rc = eqopt(p.opts, false, &e, &f)) return rc;
  const Matrix* b = mat_find(r[0]);
  if (!b) return errmsgf(RC_NOTFOUND, "matrix %s not found\n", r[0].c_str());
  const int P = mls.model.nparam();
  if (b->rows != 1 || b->cols != P) return errmsgf(RC_CONFORM, "%s must be 1 x %d\n", r[0].c_str(), P);
  int first = 0;
  for (int k = 0; k < e; ++k) first += mls.model.eqs[static_cast<size_t>(k)].size();
  if (int rc = chkvarname(p.lhs[0].c_str())) return rc;
  if (findvarexact(p.lhs[0].c_str())) return errmsgf(RC_DEFINED, "%s already defined\n", p.lhs[0].c_str());
  if (int rc = addvar(p.lhs[0].c_str(), ST_DOUBLE)) return rc;
  const int nv = ds.nvar;
  std::vector<double> x;
  const int k = mls.model.eqs[static_cast<size_t>(e)].size();
  for (size_t i = 0; i < mls.model.obs.size(); ++i) {
    xrow(e, i, x);
    double s = 0;
    for (int j = 0; j < k; ++j) s += b->at(0, first + j) * x[static_cast<size_t>(j)];
    store(nv, mls.model.obs[i], s < misval ? s : misval);
  }
  s_updata(nv);
  return 0;
}

}  // namespace

void stats_bindmlvocab() {
  cmdbind("mleval", cmd_mleval);
  cmdbind("mlsum", cmd_mlsum);
  cmdbind("mlvecsum", cmd_mlvecsum);
  cmdbind("mlmatsum", cmd_mlmatsum);
  cmdbind("mlmatbysum", cmd_mlmatbysum);
}
