// The `matrix` command: assignment and its subcommands (input, define,
// accum, stripes, dir, drop, list, rename, score, substitute, the
// decompositions, post/repost), and `set matsize`.
#include <cblas.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "data/store.h"
#include "data/varlist.h"
#include "expr/expr.h"
#include "interp/cmdtab.h"
#include "interp/interp.h"
#include "interp/tokenizer.h"
#include "output/errors.h"
#include "output/format.h"
#include "output/output.h"
#include "platform/platform.h"
#include "results/matrix.h"
#include "results/resint.h"

namespace {

// The rest of the line after the tokenizer, blanks trimmed.
std::string rest() {
  std::string t = wheretok();
  size_t b = t.find_first_not_of(' ');
  if (b == std::string::npos) return "";
  size_t e = t.find_last_not_of(' ');
  return t.substr(b, e - b + 1);
}

// The name of a matrix to read: a name, or r(name) / e(name) for a matrix
// of the saved results (the tokenizer splits those at the parentheses).
std::string srcname() {
  std::string name = gettok(prsestd);
  if (name != "r" && name != "e") return name;
  TokPos at;
  stattok(&at);
  if (std::string(gettok(prsestd)) == "(") {
    std::string inner = gettok(prsestd);
    if (!inner.empty() && inner != ")" && std::string(gettok(prsestd)) == ")") return name + "(" + inner + ")";
  }
  resettok(&at);
  return name;
}

// Reads "name =" and leaves the tokenizer after the `=`.
int nameeq(std::string& name) {
  name = gettok(prsestd);
  if (int rc = res_chkname(name)) return rc;
  if (std::string(gettok(prsestd)) != "=") return error(RC_SYNTAX);
  return 0;
}

// matrix [define] name = exp
int assign(const std::string& name, bool keepstripes) {
  std::string text = rest();
  if (text.empty()) return required("matrix expression");
  Matrix m;
  if (int rc = matexp_eval(text, m)) return rc;
  if (keepstripes) {
    const Matrix* old = mat_find(name);
    if (!old) return matnotfound(name.c_str());
    if (old->rows != m.rows || old->cols != m.cols) return error(RC_CONFORM);
    m.rnames = old->rnames;
    m.cnames = old->cnames;
  }
  return mat_store(name, std::move(m));
}

// matrix input name = (# [,#...] [\ # [,#...]] ...)
int minput() {
  std::string name;
  if (int rc = nameeq(name)) return rc;
  std::string t = rest();
  if (t.size() < 2 || t.front() != '(' || t.back() != ')') return error(RC_SYNTAX);
  t = t.substr(1, t.size() - 2);
  std::vector<std::vector<double>> rowsv(1);
  size_t i = 0;
  bool expect = true;
  while (i < t.size()) {
    char c = t[i];
    if (c == ' ') {
      ++i;
      continue;
    }
    if (c == ',' || c == '\\') {
      if (expect) return error(RC_SYNTAX);
      if (c == '\\') rowsv.emplace_back();
      expect = true;
      ++i;
      continue;
    }
    if (!expect) return error(RC_SYNTAX);
    const char* b = t.c_str() + i;
    char* e = nullptr;
    double d = std::strtod(b, &e);
    if (e == b) {
      if (*b == '.' && (b[1] >= 'a' && b[1] <= 'z')) d = misval_k(b[1] - 'a' + 1), e = const_cast<char*>(b + 2);
      else if (*b == '.') d = misval, e = const_cast<char*>(b + 1);
      else return error(RC_SYNTAX);
    }
    if (*e && *e != ' ' && *e != ',' && *e != '\\') return error(RC_SYNTAX);
    rowsv.back().push_back(d);
    i = static_cast<size_t>(e - t.c_str());
    expect = false;
  }
  if (expect) return error(RC_SYNTAX);
  size_t nc = rowsv[0].size();
  for (auto& r : rowsv)
    if (r.size() != nc) return error(RC_CONFORM);
  if (int rc = mat_chksize(static_cast<int>(rowsv.size()), static_cast<int>(nc))) return rc;
  Matrix m = mat_make(static_cast<int>(rowsv.size()), static_cast<int>(nc));
  for (size_t r = 0; r < rowsv.size(); ++r)
    for (size_t c = 0; c < nc; ++c) m.at(static_cast<int>(r), static_cast<int>(c)) = rowsv[r][c];
  return mat_store(name, std::move(m));
}

// matrix dir
int mdir() {
  if (*peektok_chr()) return error(RC_SYNTAX);
  for (auto& p : res.mats)
    spoutsmlf("{txt}%9s{res}[%d,%d]\n", p.first.c_str(), p.second.rows, p.second.cols);
  return 0;
}

// matrix drop names | _all
int mdrop() {
  std::vector<std::string> names;
  std::string w;
  while (!(w = gettok(prsestd)).empty()) names.push_back(w);
  if (names.empty()) return required("matrix name");
  for (auto& n : names) {
    if (n == "_all") {
      res.mats.clear();
      continue;
    }
    if (!mat_erase(n)) return matnotfound(n.c_str());
  }
  return 0;
}

// matrix rename old new
int mrename() {
  std::string a = gettok(prsestd), b = gettok(prsestd);
  if (a.empty() || b.empty() || *peektok_chr()) return error(RC_SYNTAX);
  if (int rc = res_chkname(b)) return rc;
  for (auto& p : res.mats)
    if (p.first == a) {
      if (a != b && mat_find(b)) return errmsgf(RC_DEFINED, "%s already exists\n", b.c_str());
      p.first = b;
      return 0;
    }
  return matnotfound(a.c_str());
}

// A user matrix that must exist (r()/e() matrices may be read, not changed).
Matrix* usermat(const std::string& name) {
  for (auto& p : res.mats)
    if (p.first == name) return &p.second;
  return nullptr;
}

// matrix rownames|colnames|roweq|coleq A = names
int mstripes(bool rows, bool eq) {
  std::string name;
  if (int rc = nameeq(name)) return rc;
  Matrix* m = usermat(name);
  if (!m) return matnotfound(name.c_str());
  std::vector<std::string> words;
  std::string w;
  // The tokenizer splits `eq:name` at the colon: join the pieces again.
  bool joinnext = false;
  while (!(w = gettok(prsestd)).empty()) {
    if (w.size() >= 2 && w.front() == '"' && w.back() == '"') w = w.substr(1, w.size() - 2);
    if (w == ":" && !words.empty() && !joinnext) {
      words.back() += ':';
      joinnext = true;
    } else if (joinnext) {
      words.back() += w;
      joinnext = false;
    } else {
      words.push_back(w);
    }
  }
  if (joinnext) return errmsgf(RC_SYNTAX, "%s a name must follow the colon\n", words.back().c_str());
  std::vector<std::string>& names = rows ? m->rnames : m->cnames;
  size_t n = names.size();
  if (words.empty()) return error(RC_SYNTAX);
  if (eq) {
    if (words.size() != 1 && words.size() != n) return error(RC_CONFORM);
    for (size_t i = 0; i < n; ++i) {
      std::string e = words.size() == 1 ? words[0] : words[i];
      std::string& s = names[i];
      size_t c = s.find(':');
      std::string base = c == std::string::npos ? s : s.substr(c + 1);
      s = e == "_" || e.empty() ? base : e + ":" + base;
    }
  } else {
    if (words.size() != n) return error(RC_CONFORM);
    for (size_t i = 0; i < n; ++i) names[i] = words[i];
  }
  return 0;
}

// A row or column name cut to n characters the way abbrev() cuts text ("~"
// before the last character); an equation name and the name after its colon
// are cut separately, so both stay recognisable.
std::string fitname(const std::string& s, size_t n) {
  auto cut = [](const std::string& t, size_t k) {
    if (t.size() <= k) return t;
    if (k < 3) return t.substr(0, k);
    return t.substr(0, k - 2) + "~" + t.back();
  };
  if (s.size() <= n) return s;
  const size_t c = s.find(':');
  if (c == std::string::npos || n < 5) return cut(s, n);
  const std::string eq = s.substr(0, c), nm = s.substr(c + 1);
  const size_t nmkeep = std::min(nm.size(), std::max<size_t>(n / 2, n - 1 - std::min(eq.size(), n / 2)));
  return cut(eq, n - 1 - nmkeep) + ":" + cut(nm, nmkeep);
}

// One number in the listing format, or blanks for the upper triangle.
std::string cell(double x, const std::string& fmt) {
  std::string s = sreforms(fmt.c_str(), x);
  return s;
}

// matrix list name [, format() title() noheader nonames noblank nohalf nodotz]
int mlist() {
  std::string name = srcname();
  if (name.empty() || name == ",") return required("matrix name");
  const Matrix* m = mat_find(name);
  if (!m) return matnotfound(name.c_str());
  ParseResult pr;
  if (int rc = parse({.varlist = PERM_NO, .ifexp = PERM_NO, .range = PERM_NO, .options = PERM_OPTIONAL}, pr)) return rc;
  std::string fmt = "%10.0g", title;
  if (findargasis(pr, "format", 3, fmt, 20)) {
    if (chkfmt(fmt.c_str(), 1)) return errmsgf(RC_BADFORMAT, "invalid %%format\n");
  }
  findargasis(pr, "title", 5, title, 200);
  bool noheader = findopt(pr, "header", 6, 1) == 0, nonames = findopt(pr, "names", 5, 1) == 0;
  bool noblank = findopt(pr, "blank", 5, 1) == 0, nohalf = findopt(pr, "half", 4, 1) == 0;
  (void)findopt(pr, "dotz", 4, 1);
  if (int rc = chkopt(pr)) return rc;
  if (title.size() >= 2 && title.front() == '"' && title.back() == '"') title = title.substr(1, title.size() - 2);
  bool half = m->sym && !nohalf && mat_issym(*m);
  if (!noblank) newline();
  if (!noheader) {
    std::string h = (half ? "symmetric " : "") + name + "[" + std::to_string(m->rows) + "," +
                    std::to_string(m->cols) + "]";
    if (!title.empty()) h += ":  " + title;
    spoutsmlf("{txt}%s\n", h.c_str());
  }
  int w = strfmtwid(fmt.c_str());
  size_t rw = 0;
  if (!nonames)
    for (auto& r : m->rnames) rw = std::max(rw, r.size());
  if (rw > 32) rw = 32;
  int per = std::max(1, (out.linesize - static_cast<int>(rw) - 1) / (w + 1));
  for (int c0 = 0; c0 < m->cols || (c0 == 0 && m->cols == 0); c0 += per) {
    int c1 = std::min(m->cols, c0 + per);
    if (c0 > 0 && !noblank) newline();
    if (!nonames) {
      std::string line(rw + 1, ' ');
      for (int j = c0; j < c1; ++j) {
        std::string cn = m->cnames[static_cast<size_t>(j)];
        cn = fitname(cn, static_cast<size_t>(w));
        line += std::string(static_cast<size_t>(w) + 1 - cn.size(), ' ') + cn;
      }
      spoutsmlf("{txt}%s\n", line.c_str());
    }
    for (int i = 0; i < m->rows; ++i) {
      std::string rn = nonames ? "" : m->rnames[static_cast<size_t>(i)];
      rn = fitname(rn, rw);
      std::string lead = nonames ? "" : rn + std::string(rw - rn.size() + 1, ' ');
      spoutsml("{txt}");
      spout21(lead.c_str());
      spoutsml("{res}");
      std::string line;
      for (int j = c0; j < c1; ++j) {
        if (half && j > i) break;
        line += ' ';
        line += cell(m->at(i, j), fmt);
      }
      while (!line.empty() && line.back() == ' ') line.pop_back();
      spout21(line.c_str());
      newline();
    }
    if (m->cols == 0) break;
  }
  return 0;
}

// matrix score newvar = b [if] [in] [, replace]
int mscore() {
  std::string vname = gettok(prsestd);
  if (std::string(gettok(prsestd)) != "=") return error(RC_SYNTAX);
  std::string bname = srcname();
  const Matrix* b = mat_find(bname);
  if (!b) return matnotfound(bname.c_str());
  if (b->rows != 1) return error(RC_CONFORM);
  Matrix bc = *b;
  ParseResult pr;
  if (int rc = parse({.varlist = PERM_NO, .options = PERM_OPTIONAL}, pr)) return rc;
  bool replace = findopt(pr, "replace", 7, 0) == 1;
  if (int rc = chkopt(pr)) return rc;
  std::vector<int> cols;
  double cons = 0;
  for (int j = 0; j < bc.cols; ++j) {
    std::string nm = bc.cnames[static_cast<size_t>(j)];
    size_t c = nm.find(':');
    if (c != std::string::npos) nm = nm.substr(c + 1);
    if (nm == "_cons") {
      cons += bc.v[static_cast<size_t>(j)];
      cols.push_back(0);
      continue;
    }
    int v = findvarexact(nm.c_str());
    if (!v) return varnotfound(nm.c_str());
    cols.push_back(v);
  }
  int target = findvarexact(vname.c_str());
  if (target && !replace) return errmsgf(RC_DEFINED, "%s already defined\n", vname.c_str());
  if (!target) {
    if (int rc = addvar(vname.c_str(), ST_FLOAT)) return rc;
    target = ds.nvar;
  }
  for (long i = 1; i <= ds.nobs; ++i) {
    double s = cons;
    bool miss = false;
    for (size_t j = 0; j < cols.size() && !miss; ++j) {
      if (!cols[j]) continue;
      double x = zelta_data(cols[j], i);
      if (x >= misval) miss = true;
      else s += x * bc.v[j];
    }
    if (i >= ds.nobs1 && i <= ds.nobs2 && selobs(i)) store(target, i, miss ? misval : s);
    else if (!replace) store(target, i, misval);
  }
  return 0;
}

// The target name of a decomposition output.
int outname(std::string& n) {
  n = gettok(prsestd);
  return res_chkname(n);
}

// matrix svd U w V = A ; matrix symeigen X v = A ; matrix eigenvalues re im = A
int mdecomp(int kind) {
  std::string n1, n2, n3;
  if (int rc = outname(n1)) return rc;
  if (int rc = outname(n2)) return rc;
  if (kind == 0)
    if (int rc = outname(n3)) return rc;
  if (std::string(gettok(prsestd)) != "=") return error(RC_SYNTAX);
  std::string an = srcname();
  if (an.empty() || *peektok_chr()) return error(RC_SYNTAX);
  const Matrix* a = mat_find(an);
  if (!a) return matnotfound(an.c_str());
  Matrix x, y, z;
  if (kind == 0) {
    if (int rc = mat_svd(*a, x, y, z)) return rc;
  } else if (kind == 1) {
    if (int rc = mat_symeigen(*a, x, y)) return rc;
  } else {
    if (int rc = mat_eigenvalues(*a, x, y)) return rc;
  }
  if (int rc = mat_store(n1, std::move(x))) return rc;
  if (int rc = mat_store(n2, std::move(y))) return rc;
  if (kind == 0) return mat_store(n3, std::move(z));
  return 0;
}

// matrix dissimilarity D = varlist [if] [in] [, L2 L1 Linfinity variables]
int mdissim() {
  std::string name;
  if (int rc = nameeq(name)) return rc;
  ParseResult pr;
  if (int rc = parse({.varlist = PERM_REQUIRED, .options = PERM_OPTIONAL}, pr)) return rc;
  bool l1 = findopt(pr, "L1", 2, 0) == 1 || findopt(pr, "absolute", 3, 0) == 1;
  bool linf = findopt(pr, "Linfinity", 4, 0) == 1 || findopt(pr, "maximum", 3, 0) == 1;
  (void)findopt(pr, "L2", 2, 0);
  (void)findopt(pr, "Euclidean", 1, 0);
  bool byvars = findopt(pr, "variables", 3, 0) == 1;
  if (int rc = chkopt(pr)) return rc;
  std::vector<int> vars(vl.varlist_vr.begin(), vl.varlist_vr.end());
  std::vector<long> obs;
  for (long i = ds.nobs1; i <= ds.nobs2; ++i)
    if (selobs(i)) obs.push_back(i);
  int n = byvars ? static_cast<int>(vars.size()) : static_cast<int>(obs.size());
  int d = byvars ? static_cast<int>(obs.size()) : static_cast<int>(vars.size());
  if (int rc = mat_chksize(n, n)) return rc;
  auto val = [&](int item, int dim) {
    return byvars ? zelta_data(vars[static_cast<size_t>(item)], obs[static_cast<size_t>(dim)])
                  : zelta_data(vars[static_cast<size_t>(dim)], obs[static_cast<size_t>(item)]);
  };
  Matrix D = mat_make(n, n);
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < i; ++j) {
      double s = 0;
      bool miss = false;
      for (int k = 0; k < d; ++k) {
        double a = val(i, k), b = val(j, k);
        if (a >= misval || b >= misval) {
          miss = true;
          break;
        }
        double t = std::fabs(a - b);
        if (l1) s += t;
        else if (linf) s = std::max(s, t);
        else s += t * t;
      }
      double r = miss ? misval : (l1 || linf) ? s : std::sqrt(s);
      D.at(i, j) = D.at(j, i) = r;
    }
  if (byvars)
    for (int i = 0; i < n; ++i) D.rnames[static_cast<size_t>(i)] = D.cnames[static_cast<size_t>(i)] = varname(vars[static_cast<size_t>(i)]);
  D.sym = true;
  return mat_store(name, std::move(D));
}

// matrix post b V / repost: as ereturn post for e-class programs.
int mpost(bool repost) {
  std::string line = std::string(repost ? "repost " : "post ") + rest();
  return execline("ereturn " + line);
}

struct SubRow {
  const char* name;
  int min;
  int (*fn)(int);
  int mode;
};

int sub_input(int) { return minput(); }
int sub_define(int) {
  std::string name;
  if (int rc = nameeq(name)) return rc;
  return assign(name, false);
}
int sub_accum(int kind) { return mat_accumcmd(kind); }
int sub_stripes(int mode) { return mstripes(mode & 1, mode & 2); }
int sub_dir(int) { return mdir(); }
int sub_drop(int) { return mdrop(); }
int sub_list(int) { return mlist(); }
int sub_rename(int) { return mrename(); }
int sub_score(int) { return mscore(); }
int sub_subst(int) {
  std::string name;
  if (int rc = nameeq(name)) return rc;
  return assign(name, true);
}
int sub_decomp(int kind) { return mdecomp(kind); }
int sub_dissim(int) { return mdissim(); }
int sub_post(int mode) { return mpost(mode == 1); }
int sub_notyet(int) { return errmsgf(RC_UNRECOGNIZED, "matrix subcommand not available\n"); }

const SubRow subs[] = {
    {"input", 2, sub_input, 0},       {"define", 3, sub_define, 0},
    {"accum", 2, sub_accum, 0},       {"glsaccum", 4, sub_accum, 1},
    {"opaccum", 7, sub_accum, 2},     {"vecaccum", 4, sub_accum, 3},
    {"coleq", 4, sub_stripes, 2},     {"colnames", 4, sub_stripes, 0},
    {"roweq", 4, sub_stripes, 3},     {"rownames", 4, sub_stripes, 1},
    {"dir", 1, sub_dir, 0},           {"drop", 4, sub_drop, 0},
    {"list", 1, sub_list, 0},         {"rename", 3, sub_rename, 0},
    {"score", 3, sub_score, 0},       {"substitute", 3, sub_subst, 0},
    {"svd", 3, sub_decomp, 0},        {"symeigen", 4, sub_decomp, 1},
    {"eigenvalues", 6, sub_decomp, 2}, {"dissimilarity", 3, sub_dissim, 0},
    {"post", 4, sub_post, 0},         {"repost", 6, sub_post, 1},
    {"mlout", 4, sub_notyet, 0},      {"makeCns", 6, sub_notyet, 0},
    {"dispCns", 7, sub_notyet, 0},
};

// matrix name[i, j] = exp: one element of an existing matrix.
int elemassign(const std::string& name) {
  Matrix* m = usermat(name);
  if (!m) return matnotfound(name.c_str());
  std::string t = rest();
  size_t close = t.find(']');
  size_t eq = close == std::string::npos ? close : t.find('=', close);
  if (eq == std::string::npos) return error(RC_SYNTAX);
  std::string idx = t.substr(1, close - 1), val = t.substr(eq + 1);
  size_t comma = idx.find(',');
  if (comma == std::string::npos) return error(RC_SYNTAX);
  double ij[2];
  std::string parts[2] = {idx.substr(0, comma), idx.substr(comma + 1)};
  for (int k = 0; k < 2; ++k) {
    ExprProg prog;
    if (int rc = compexp_u(parts[k].c_str(), prog, EXP_NUM)) return rc;
    ij[k] = evalnum(prog, 1);
  }
  ExprProg prog;
  if (int rc = compexp_u(val.c_str(), prog, EXP_NUM)) return rc;
  double x = evalnum(prog, 1);
  if (!(ij[0] >= 1 && ij[0] <= m->rows && ij[1] >= 1 && ij[1] <= m->cols)) return error(RC_CONFORM);
  m->at(static_cast<int>(ij[0]) - 1, static_cast<int>(ij[1]) - 1) = x;
  if (m->sym && ij[0] != ij[1]) m->sym = false;
  return 0;
}

// matrix name = exp | matrix subcommand ...
int cmd_matrix(int) {
  TokPos at;
  stattok(&at);
  std::string w = gettok(prsestd);
  if (w.empty()) return error(RC_SYNTAX);
  char next = *peektok_chr();
  if (next == '[') return elemassign(w);
  if (next == '=') {
    if (int rc = res_chkname(w)) return rc;
    gettok(prsestd);
    return assign(w, false);
  }
  for (const SubRow& r : subs)
    if (cmdcmp(w.c_str(), r.name, r.min)) return r.fn(r.mode);
  return errmsgf(RC_MATOPNOTFOUND, "matrix operation not found\n");
}

// set matsize #
int set_matsize(int) {
  std::string w = gettok(prsestd);
  char* e = nullptr;
  long n = w.empty() ? 0 : std::strtol(w.c_str(), &e, 10);
  if (w.empty() || *e || *peektok_chr()) return error(RC_SYNTAX);
  if (n < RES_MINMATSIZE || n > RES_MAXMATSIZE)
    return errmsgf(RC_SYNTAX, "matsize must be between %d and %d\n", RES_MINMATSIZE, RES_MAXMATSIZE);
  interp.matsize = static_cast<int>(n);
  return 0;
}

// Scalar functions of matrices for scalar expressions.
std::string trimmed(const std::string& t) {
  size_t b = t.find_first_not_of(' ');
  if (b == std::string::npos) return "";
  return t.substr(b, t.find_last_not_of(' ') - b + 1);
}

int h_matfunc(const std::string& fn, const std::string& args, double* d) {
  static const char* const names[] = {"rowsof", "colsof", "trace", "det", "issym", "issymmetric",
                                      "matmissing", "mreldif", "rownumb", "colnumb", "diag0cnt"};
  bool known = false;
  for (const char* n : names) known = known || fn == n;
  if (!known) return -1;
  std::vector<std::string> a;
  size_t b = 0;
  bool q = false;
  for (size_t i = 0; i <= args.size(); ++i) {
    if (i < args.size() && args[i] == '"') q = !q;
    if (i == args.size() || (args[i] == ',' && !q)) a.push_back(trimmed(args.substr(b, i - b))), b = i + 1;
  }
  size_t want = fn == "mreldif" || fn == "rownumb" || fn == "colnumb" ? 2 : 1;
  if (a.size() != want) return error(RC_SYNTAX);
  const Matrix* m = mat_find(a[0]);
  if (!m) return matnotfound(a[0].c_str());
  if (fn == "rowsof") return *d = m->rows, 0;
  if (fn == "colsof") return *d = m->cols, 0;
  if (fn == "issym" || fn == "issymmetric") return *d = mat_issym(*m), 0;
  if (fn == "matmissing") return *d = mat_hasmissing(*m), 0;
  if (fn == "trace" || fn == "diag0cnt") {
    if (m->rows != m->cols) return error(RC_CONFORM);
    double s = 0;
    for (int i = 0; i < m->rows; ++i) {
      double x = m->at(i, i);
      if (fn == "diag0cnt") s += x == 0;
      else if (x >= misval || s >= misval) s = misval;
      else s += x;
    }
    return *d = s, 0;
  }
  if (fn == "det") {
    if (m->rows != m->cols) return error(RC_CONFORM);
    return *d = mat_det(*m), 0;
  }
  if (fn == "mreldif") {
    const Matrix* o = mat_find(a[1]);
    if (!o) return matnotfound(a[1].c_str());
    if (o->rows != m->rows || o->cols != m->cols) return error(RC_CONFORM);
    double r = 0;
    for (size_t i = 0; i < m->v.size(); ++i) {
      double x = m->v[i], y = o->v[i];
      double t = (x >= misval || y >= misval) ? (x == y ? 0 : misval) : std::fabs(x - y) / (std::fabs(y) + 1);
      r = std::max(r, t);
    }
    return *d = r, 0;
  }
  std::string nm = a[1];
  if (nm.size() < 2 || nm.front() != '"' || nm.back() != '"') return error(RC_TYPEMISMATCH);
  nm = nm.substr(1, nm.size() - 2);
  int k = mat_stripefind(fn == "rownumb" ? m->rnames : m->cnames, nm);
  *d = k < 0 ? misval : k + 1;
  return 0;
}

}  // namespace

int mat_scalarfn(const std::string& fn, const std::string& args, double* d) {
  return h_matfunc(fn, args, d);
}

void matcmds_bind() {
  cmdbind("matrix", cmd_matrix);
  setbind("matsize", 4, set_matsize);
  exhooks.matfunc = mat_scalarfn;
}
