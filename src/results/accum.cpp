// Cross products accumulated from the dataset: `matrix accum` (X'X with the
// constant column last unless noconstant, optionally in deviations from the
// means), `matrix vecaccum` (the first variable against the rest: y'X),
// `matrix opaccum` (the sum over groups of X_g' e_g e_g' X_g) and `matrix
// glsaccum` (the sum over groups of X_g' W_g X_g). Observations with a
// missing value in any variable, or a missing or zero weight, are left out.
// Columns are decoded a block of observations at a time straight into one
// column-major panel, so that each block's products are one BLAS call.
// `matrix accum` sums each chunk of observations apart (stats/chunks.h) and
// without if or weights shares the chunks with a helper thread.
#include <cblas.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cmath>
#include <cstring>
#include <string>
#include <system_error>
#include <thread>
#include <unordered_map>
#include <vector>

#include "data/store.h"
#include "data/varlist.h"
#include "expr/expr.h"
#include "interp/cmdtab.h"
#include "interp/tokenizer.h"
#include "output/errors.h"
#include "output/output.h"
#include "platform/platform.h"
#include "results/matrix.h"
#include "results/resint.h"
#include "results/xprod.h"
#include "stats/chunks.h"

namespace {

// Observations per block: the panel of 11 doubles stays within a few
// hundred kilobytes of cache while the BLAS calls stay few.
constexpr long ACC_BLK = 8192;
enum AccKind : int { A_ACCUM = 0, A_GLS, A_OP, A_VEC };

// What one accumulation reads: its variables, the constant column, weights.
struct AccInput {
  std::vector<int> vars;    // variables in panel order
  int k = 0;                // number of variables
  int kk = 0;               // panel columns (k, plus 1 for the constant)
  bool cons = true;         // a column of ones is last
  char wkind = 0;           // 'f', 'a', 'i', 'p' or 0
  ExprProg wprog;           // the weight expression
  std::vector<int> extra;   // further variables that must be non-missing (group, row, opvariables)
  bool hasif = false;       // an `if` selects observations
};

// One block of the sample, decoded: the panel (column j at x + j * ACC_BLK)
// of the m used observations, their weights and observation numbers.
struct AccBlock {
  std::vector<double> x, w, ex;   // panel; weights (1 without); extra variables, same layout
  std::vector<long> obs;          // observation of each used row
  std::vector<unsigned char> sel;
  std::vector<double> buf;
  long m = 0;
};

// Reads block [o, o + nb) into b, keeping the used observations only.
// 0, or 401/402 for a bad weight.
int readblock(const AccInput& s, const std::vector<ColView>& views, const std::vector<ColView>& xviews, long o,
              long nb, AccBlock& b) {
  if (s.hasif) selobs_block(o, nb, b.sel.data());
  else std::fill(b.sel.begin(), b.sel.begin() + nb, 1);
  for (int j = 0; j < s.k; ++j) {
    double* col = b.x.data() + static_cast<size_t>(j) * ACC_BLK;
    col_decode(views[static_cast<size_t>(j)], o, nb, col);
    for (long i = 0; i < nb; ++i) b.sel[static_cast<size_t>(i)] &= col[i] < misval;
  }
  for (size_t j = 0; j < xviews.size(); ++j) {
    double* col = b.ex.data() + j * ACC_BLK;
    col_decode(xviews[j], o, nb, col);
    for (long i = 0; i < nb; ++i) b.sel[static_cast<size_t>(i)] &= col[i] < misval;
  }
  const bool weighted = s.wkind != 0;
  if (weighted) {
    evalnum_block(s.wprog, o, nb, b.buf.data(), nullptr);
    for (long i = 0; i < nb; ++i) {
      if (!b.sel[static_cast<size_t>(i)]) continue;
      const double w = b.buf[static_cast<size_t>(i)];
      if (w >= misval || w == 0) {
        b.sel[static_cast<size_t>(i)] = 0;
        continue;
      }
      if (w < 0 && s.wkind != 'i') return error(RC_NEGWEIGHT);
      if (s.wkind == 'f' && w != std::floor(w)) return error(RC_NONINTFW);
    }
  }
  // Keep the used rows, moved to the front of each column.
  long m = 0;
  for (long i = 0; i < nb; ++i) {
    if (!b.sel[static_cast<size_t>(i)]) continue;
    if (m != i) {
      for (int j = 0; j < s.k; ++j) b.x[static_cast<size_t>(j) * ACC_BLK + static_cast<size_t>(m)] = b.x[static_cast<size_t>(j) * ACC_BLK + static_cast<size_t>(i)];
      for (size_t j = 0; j < xviews.size(); ++j) b.ex[j * ACC_BLK + static_cast<size_t>(m)] = b.ex[j * ACC_BLK + static_cast<size_t>(i)];
    }
    b.w[static_cast<size_t>(m)] = weighted ? b.buf[static_cast<size_t>(i)] : 1;
    b.obs[static_cast<size_t>(m)] = o + i;
    ++m;
  }
  b.m = m;
  if (s.cons) std::fill(b.x.begin() + static_cast<long>(s.k) * ACC_BLK, b.x.begin() + static_cast<long>(s.k) * ACC_BLK + m, 1.0);
  return 0;
}

// Points cols at block [o, o + nb) of each variable, in place for a double
// column, else decoded into the panel.
void inplacecols(const AccInput& s, const std::vector<ColView>& views, long o, long nb, AccBlock& b,
                 std::vector<const double*>& cols) {
  for (int j = 0; j < s.k; ++j) {
    const ColView& v = views[static_cast<size_t>(j)];
    if (v.type == ST_DOUBLE) {
      cols[static_cast<size_t>(j)] = reinterpret_cast<const double*>(v.at(o));
    } else {
      double* col = b.x.data() + static_cast<size_t>(j) * ACC_BLK;
      col_decode(v, o, nb, col);
      cols[static_cast<size_t>(j)] = col;
    }
  }
}

// The panel's stripe names: the variables, then _cons.
std::vector<std::string> colnames(const AccInput& s) {
  std::vector<std::string> n;
  for (int v : s.vars) n.push_back(varname(v));
  if (s.cons) n.push_back("_cons");
  return n;
}

// Parses "name = varlist [weight] [if] [in] [, options]"; the options stay for
// the caller. 0 or a code.
int parsehead(std::string& name, AccInput& s, ParseResult& pr) {
  name = gettok(prsestd);
  if (int rc = res_chkname(name)) return rc;
  if (std::string(gettok(prsestd)) != "=") return error(RC_SYNTAX);
  if (int rc = parse({.varlist = PERM_REQUIRED, .weight = PERM_OPTIONAL, .options = PERM_OPTIONAL}, pr)) return rc;
  s.hasif = pr.hasif;
  s.vars.assign(vl.varlist_vr.begin(), vl.varlist_vr.end());
  for (int v : s.vars)
    if (isstrtype(vartype(v))) return errmsgf(RC_TYPEMISMATCH, "%s is a string variable\n", varname(v).c_str());
  if (pr.hasweight) {
    s.wkind = pr.wgttype[0];
    if (int rc = compexp_u(pr.wgtexp.c_str(), s.wprog, EXP_NUM)) return rc;
  }
  return 0;
}

// A numeric variable named by an option (group(), row()). 0 or a code.
int optvar(ParseResult& pr, const char* opt, int min, bool required_, int& v) {
  v = 0;
  std::string t;
  if (!findargasis(pr, opt, min, t, 100)) {
    if (required_) return errmsgf(RC_SYNTAX, "option %s() required\n", opt);
    return 0;
  }
  if (t.empty()) return errmsgf(RC_SYNTAX, "option %s() invalid\n", opt);
  const int found = zelta_findvar(t.c_str(), 1, false);
  if (found < 0) return -found;
  if (isstrtype(vartype(found))) return errmsgf(RC_TYPEMISMATCH, "%s is a string variable\n", t.c_str());
  v = found;
  return 0;
}

// Posts r(N) and the "(obs=#)" note, then stores the result.
int finish(const std::string& name, Matrix A, double N) {
  if (int rc = mat_store(name, std::move(A))) return rc;
  spoutsmlf("{txt}(obs=%.0f)\n", N);
  retval_clear();
  return retval_set_scalar("N", N);
}

// Prints "no observations" and returns 2000 (the message routine itself
// answers 0 for that code).
int noobs() {
  (void)error(RC_NOOBS);
  return RC_NOOBS;
}

// Aweights are rescaled to sum to the number of observations used.
double wscale(const AccInput& s, double n, double W) { return s.wkind == 'a' && W > 0 ? n / W : 1; }

// The sums of a first pass: observations, weights and weighted sums of the
// variables. 0 or a code.
int firstpass(const AccInput& s, const std::vector<ColView>& views, const std::vector<ColView>& xviews,
              AccBlock& b, double& n, double& W, std::vector<double>& sx) {
  n = 0, W = 0;
  sx.assign(static_cast<size_t>(s.k), 0.0);
  for (long o = ds.nobs1; o <= ds.nobs2; o += ACC_BLK) {
    if (stopflag) return error(RC_BREAK);
    if (int rc = readblock(s, views, xviews, o, std::min(ACC_BLK, ds.nobs2 - o + 1), b)) return rc;
    n += static_cast<double>(b.m);
    for (long i = 0; i < b.m; ++i) W += b.w[static_cast<size_t>(i)];
    for (int j = 0; j < s.k; ++j) {
      const double* c = b.x.data() + static_cast<size_t>(j) * ACC_BLK;
      double t = 0;
      for (long i = 0; i < b.m; ++i) t += b.w[static_cast<size_t>(i)] * c[i];
      sx[static_cast<size_t>(j)] += t;
    }
  }
  return 0;
}

void prepare(const AccInput& s, size_t nextra, AccBlock& b) {
  b.x.assign(static_cast<size_t>(s.kk) * ACC_BLK, 0.0);
  b.ex.assign(nextra * ACC_BLK, 0.0);
  b.w.assign(ACC_BLK, 1.0);
  b.obs.assign(ACC_BLK, 0);
  b.sel.assign(ACC_BLK, 1);
  b.buf.assign(ACC_BLK, 0.0);
}

std::vector<ColView> viewsof(const std::vector<int>& vars) {
  std::vector<ColView> v;
  for (int x : vars) v.push_back(colview(x));
  return v;
}

// The kernel's sums of lo..hi by chunk (Ck, Nk): the blocks are handed out
// one at a time to this thread and, when `two`, a helper, so a helper that
// starts late or shares its core leaves its blocks to this thread rather
// than holding it up; each block's sums are kept apart and added into its
// chunk's in block order. 0 or RC_BREAK.
int kernelchunks(const AccInput& s, const std::vector<ColView>& views, const std::vector<double>& means, bool dev,
                 bool inplace, bool alldouble, bool two, std::vector<std::vector<double>>& Ck,
                 std::vector<double>& Nk) {
  static_assert(ST_CHUNK % ACC_BLK == 0, "a chunk is whole blocks");
  const long lo = ds.nobs1, nobs = std::max(0L, ds.nobs2 - lo + 1);
  const long nblk = (nobs + ACC_BLK - 1) / ACC_BLK;
  const size_t kk = static_cast<size_t>(s.kk), cells = kk * kk;
  std::vector<double> D(static_cast<size_t>(nblk) * cells, 0.0), Nb(static_cast<size_t>(nblk), 0.0);
  std::atomic<long> next{0};
  const std::vector<ColView> none;
  auto work = [&]() -> int {
    AccBlock b;
    std::vector<const double*> cols(kk);
    for (long q; (q = next.fetch_add(1, std::memory_order_relaxed)) < nblk;) {
      if (stopflag) return static_cast<int>(RC_BREAK);
      const long o = lo + q * ACC_BLK, nb = std::min(ACC_BLK, nobs - q * ACC_BLK);
      double* C = D.data() + static_cast<size_t>(q) * cells;
      // The panel is made on first use: double columns read in place need none.
      if (b.x.empty() && !(inplace && alldouble)) prepare(s, 0, b);
      if (inplace) {
        inplacecols(s, views, o, nb, b, cols);
        if (xprod_add(cols.data(), s.k, s.cons, nb, C)) {
          Nb[static_cast<size_t>(q)] = static_cast<double>(nb);
          continue;
        }
      }
      if (b.x.empty()) prepare(s, 0, b);
      // Unweighted: no bad weight to meet.
      (void)readblock(s, views, none, o, nb, b);
      const long m = b.m;
      if (!m) continue;
      Nb[static_cast<size_t>(q)] = static_cast<double>(m);
      if (dev)
        for (int j = 0; j < s.k; ++j) {
          double* c = b.x.data() + static_cast<size_t>(j) * ACC_BLK;
          const double mu = means[static_cast<size_t>(j)];
          for (long i = 0; i < m; ++i) c[i] -= mu;
        }
      // The block holds no missing value now: the call cannot fail.
      for (int j = 0; j < s.k; ++j) cols[static_cast<size_t>(j)] = b.x.data() + static_cast<size_t>(j) * ACC_BLK;
      (void)xprod_add(cols.data(), s.k, s.cons, m, C);
    }
    return 0;
  };
  int rc2 = 0;
  std::thread t;
  if (two && nblk > 1) {
    try {
      t = std::thread([&] { rc2 = work(); });
    } catch (const std::system_error&) {
      // no helper to be had: this thread does all
    }
  }
  const int rc1 = work();
  if (t.joinable()) t.join();
  if (rc1 || rc2) return static_cast<int>(RC_BREAK);
  constexpr long per = ST_CHUNK / ACC_BLK;
  for (size_t k = 0; k < Ck.size(); ++k) {
    std::vector<double>& C = Ck[k];
    C.assign(cells, 0.0);
    for (long q = static_cast<long>(k) * per; q < std::min(nblk, static_cast<long>(k + 1) * per); ++q) {
      const double* d = D.data() + static_cast<size_t>(q) * cells;
      for (size_t i = 0; i < cells; ++i) C[i] += d[i];
      Nk[k] += Nb[static_cast<size_t>(q)];
    }
  }
  return 0;
}

// matrix accum A = varlist [weight] [if] [in] [, noconstant deviations means(name)]
int accum() {
  std::string name;
  AccInput s;
  ParseResult pr;
  if (int rc = parsehead(name, s, pr)) return rc;
  s.cons = findopt(pr, "constant", 4, 1) != 0;
  const bool dev = findopt(pr, "deviations", 3, 0) == 1;
  std::string meansname;
  const bool hasmeans = findargasis(pr, "means", 1, meansname, 40);
  if (int rc = chkopt(pr)) return rc;
  if (hasmeans)
    if (int rc = res_chkname(meansname)) return rc;
  s.k = static_cast<int>(s.vars.size());
  s.kk = s.k + (s.cons ? 1 : 0);
  if (int rc = mat_chksize(s.kk, s.kk)) return rc;
  const std::vector<ColView> views = viewsof(s.vars), none;
  double n = 0, W = 0;
  std::vector<double> means(static_cast<size_t>(s.k), 0.0);
  const bool twopass = dev || hasmeans || s.wkind == 'a';
  if (twopass) {
    AccBlock b;
    prepare(s, 0, b);
    std::vector<double> sx;
    if (int rc = firstpass(s, views, none, b, n, W, sx)) return rc;
    for (int j = 0; j < s.k; ++j) means[static_cast<size_t>(j)] = W != 0 ? sx[static_cast<size_t>(j)] / W : 0;
  }
  const double scale = wscale(s, n, W);
  const size_t kk = static_cast<size_t>(s.kk);
  // Unweighted with few columns: the cross-product kernel, reading double
  // columns where they lie whenever a block has no missing value.
  const bool kernel = !s.wkind && s.kk <= XPROD_MAXCOLS;
  const bool inplace = kernel && !pr.hasif && !dev;
  // Each chunk of observations has sums of its own, added in chunk order, so
  // the figures are the same on one thread or two. Without if or weights a
  // block is only decoded, which the helper thread may do too.
  const long nk = st_nchunks(ds.nobs1, ds.nobs2);
  const bool alldouble = std::all_of(views.begin(), views.end(), [](const ColView& v) { return v.type == ST_DOUBLE; });
  std::vector<std::vector<double>> Ck(static_cast<size_t>(nk));
  std::vector<double> Nk(static_cast<size_t>(nk), 0.0), Nwk(static_cast<size_t>(nk), 0.0);
  // The helper pays from a number of cells, not of observations: the
  // threshold for one column is scaled down by the panel's width.
  const long minobs = kernel && !s.hasif ? st_parmin(s.kk) : LONG_MAX;
  // The kernel adds each block's sums into the chunk's as a whole, so a
  // block's sums can be made apart (on either thread) and added in block
  // order: the same doubles as adding them as they come.
  const int rck = kernel ? kernelchunks(s, views, means, dev, inplace, alldouble, ds.nobs2 - ds.nobs1 + 1 >= minobs,
                                        Ck, Nk)
                         : st_chunks(ds.nobs1, ds.nobs2, minobs, [&](long k, long c0, long c1) {
    std::vector<double>& C = Ck[static_cast<size_t>(k)];
    C.assign(kk * kk, 0.0);
    double& N = Nk[static_cast<size_t>(k)];
    double& Nw = Nwk[static_cast<size_t>(k)];
    AccBlock b;
    std::vector<double> Y;
    for (long o = c0; o <= c1;) {
      if (stopflag) return static_cast<int>(RC_BREAK);
      const long nb = std::min(ACC_BLK, c1 - o + 1);
      if (b.x.empty()) prepare(s, 0, b);
      if (int rcb = readblock(s, views, none, o, nb, b)) return rcb;
      o += nb;
      const long m = b.m;
      if (!m) continue;
      N += static_cast<double>(m);
      for (long i = 0; i < m; ++i) Nw += b.w[static_cast<size_t>(i)];
      if (dev)
        for (int j = 0; j < s.k; ++j) {
          double* c = b.x.data() + static_cast<size_t>(j) * ACC_BLK;
          const double mu = means[static_cast<size_t>(j)];
          for (long i = 0; i < m; ++i) c[i] -= mu;
        }
      const int mi = static_cast<int>(m);
      if (!s.wkind) {
        cblas_dsyrk(CblasColMajor, CblasLower, CblasTrans, s.kk, mi, 1.0, b.x.data(), static_cast<int>(ACC_BLK),
                    1.0, C.data(), s.kk);
      } else {
        // X' (W X): the weighted panel beside the plain one.
        if (Y.empty()) Y.assign(kk * ACC_BLK, 0.0);
        for (size_t j = 0; j < kk; ++j) {
          const double* c = b.x.data() + j * ACC_BLK;
          double* y = Y.data() + j * ACC_BLK;
          for (long i = 0; i < m; ++i) y[i] = c[i] * b.w[static_cast<size_t>(i)] * scale;
        }
        cblas_dgemm(CblasColMajor, CblasTrans, CblasNoTrans, s.kk, s.kk, mi, 1.0, b.x.data(),
                    static_cast<int>(ACC_BLK), Y.data(), static_cast<int>(ACC_BLK), 1.0, C.data(), s.kk);
      }
    }
    return 0;
  });
  if (kernel) Nwk = Nk;  // unweighted
  // A bad weight has had its message; a Break has not.
  if (rck == RC_BREAK) return error(RC_BREAK);
  if (rck) return rck;
  std::vector<double> C(kk * kk, 0.0);
  double N = 0, Nw = 0;
  for (size_t k = 0; k < Ck.size(); ++k) {
    for (size_t i = 0; i < C.size(); ++i) C[i] += Ck[k][i];
    N += Nk[k], Nw += Nwk[k];
  }
  if (N == 0) return noobs();
  Matrix A = mat_make(s.kk, s.kk);
  for (size_t i = 0; i < kk; ++i)
    for (size_t j = 0; j <= i; ++j) A.v[i * kk + j] = A.v[j * kk + i] = C[j * kk + i];
  A.rnames = A.cnames = colnames(s);
  A.sym = true;
  if (hasmeans) {
    Matrix M = mat_make(1, s.k);
    M.v = means;
    M.cnames.assign(A.cnames.begin(), A.cnames.begin() + s.k);
    if (int rc = mat_store(meansname, std::move(M))) return rc;
  }
  return finish(name, std::move(A), s.wkind == 'f' ? Nw : N);
}

// matrix vecaccum a = y varlist [weight] [if] [in] [, noconstant]: the row
// vector of the first variable's cross products with the others.
int vecaccum() {
  std::string name;
  AccInput s;
  ParseResult pr;
  if (int rc = parsehead(name, s, pr)) return rc;
  s.cons = findopt(pr, "constant", 4, 1) != 0;
  if (int rc = chkopt(pr)) return rc;
  if (s.vars.size() < 2 && !s.cons) return errmsgf(RC_TOOFEWVARS, "too few variables specified\n");
  s.k = static_cast<int>(s.vars.size());
  s.kk = s.k + (s.cons ? 1 : 0);
  if (int rc = mat_chksize(1, s.kk - 1)) return rc;
  const std::vector<ColView> views = viewsof(s.vars), none;
  AccBlock b;
  prepare(s, 0, b);
  double n = 0, W = 0;
  if (s.wkind == 'a') {
    std::vector<double> sx;
    if (int rc = firstpass(s, views, none, b, n, W, sx)) return rc;
  }
  const double scale = wscale(s, n, W);
  const size_t kk = static_cast<size_t>(s.kk);
  std::vector<double> r(kk, 0.0), wy(ACC_BLK);
  double N = 0, Nw = 0;
  for (long o = ds.nobs1; o <= ds.nobs2; o += ACC_BLK) {
    if (stopflag) return error(RC_BREAK);
    if (int rc = readblock(s, views, none, o, std::min(ACC_BLK, ds.nobs2 - o + 1), b)) return rc;
    const long m = b.m;
    if (!m) continue;
    N += static_cast<double>(m);
    for (long i = 0; i < m; ++i) {
      Nw += b.w[static_cast<size_t>(i)];
      wy[static_cast<size_t>(i)] = b.x[static_cast<size_t>(i)] * b.w[static_cast<size_t>(i)] * scale;
    }
    cblas_dgemv(CblasColMajor, CblasTrans, static_cast<int>(m), s.kk, 1.0, b.x.data(), static_cast<int>(ACC_BLK),
                wy.data(), 1, 1.0, r.data(), 1);
  }
  if (N == 0) return noobs();
  Matrix A = mat_make(1, s.kk - 1);
  for (size_t j = 1; j < kk; ++j) A.v[j - 1] = r[j];
  std::vector<std::string> names = colnames(s);
  A.rnames = {names[0]};
  A.cnames.assign(names.begin() + 1, names.end());
  return finish(name, std::move(A), s.wkind == 'f' ? Nw : N);
}

// matrix opaccum A = varlist [if] [in], group(var) opvariables(varlist)
// [noconstant]: for each group, the vector X_g' e_g (e the opvariables in the
// group's observations) adds its outer product.
// matrix glsaccum A = varlist [weight] [if] [in], group(var) glsmatrix(W)
// row(var) [noconstant]: for each pair of observations a, b of a group,
// x_a x_b' times W[row_a, row_b] (times the weights of a and b).
int groupaccum(bool gls) {
  std::string name;
  AccInput s;
  ParseResult pr;
  if (int rc = parsehead(name, s, pr)) return rc;
  if (!gls && s.wkind) return errmsgf(RC_NOTALLOWED, "weights not allowed\n");
  s.cons = findopt(pr, "constant", 4, 1) != 0;
  int gvar = 0, rvar = 0;
  if (int rc = optvar(pr, "group", 1, true, gvar)) return rc;
  const Matrix* Wm = nullptr;
  int opvar = 0;
  if (gls) {
    if (int rc = optvar(pr, "row", 1, true, rvar)) return rc;
    std::string wname;
    if (!findargasis(pr, "glsmatrix", 4, wname, 40)) return errmsgf(RC_SYNTAX, "option glsmatrix() required\n");
    Wm = mat_find(wname);
    if (!Wm) return matnotfound(wname.c_str());
    if (Wm->rows != Wm->cols) return error(RC_CONFORM);
  } else {
    std::string ov;
    if (!findargasis(pr, "opvariables", 3, ov, 200)) return errmsgf(RC_SYNTAX, "option opvariables() required\n");
    opvar = zelta_findvar(ov.c_str(), 1, false);
    if (opvar < 0) return -opvar;
    if (isstrtype(vartype(opvar))) return errmsgf(RC_TYPEMISMATCH, "%s is a string variable\n", ov.c_str());
  }
  if (int rc = chkopt(pr)) return rc;
  s.k = static_cast<int>(s.vars.size());
  s.kk = s.k + (s.cons ? 1 : 0);
  if (int rc = mat_chksize(s.kk, s.kk)) return rc;
  std::vector<int> extra{gvar, gls ? rvar : opvar};
  const std::vector<ColView> views = viewsof(s.vars), xviews = viewsof(extra);
  AccBlock b;
  prepare(s, 2, b);
  double n = 0, W = 0;
  if (s.wkind == 'a') {
    std::vector<double> sx;
    if (int rc = firstpass(s, views, xviews, b, n, W, sx)) return rc;
  }
  const double scale = wscale(s, n, W);
  const size_t kk = static_cast<size_t>(s.kk);
  // Each group's used observations: their rows (x, weight, row or e value).
  struct Obs {
    std::vector<double> x;
    double w, r;
  };
  std::unordered_map<double, std::vector<Obs>> groups;
  std::vector<double> order;  // groups in order of first appearance
  double N = 0, Nw = 0;
  for (long o = ds.nobs1; o <= ds.nobs2; o += ACC_BLK) {
    if (stopflag) return error(RC_BREAK);
    if (int rc = readblock(s, views, xviews, o, std::min(ACC_BLK, ds.nobs2 - o + 1), b)) return rc;
    for (long i = 0; i < b.m; ++i) {
      Obs ob;
      ob.x.resize(kk);
      for (size_t j = 0; j < kk; ++j) ob.x[j] = b.x[j * ACC_BLK + static_cast<size_t>(i)];
      ob.w = b.w[static_cast<size_t>(i)] * scale;
      ob.r = b.ex[ACC_BLK + static_cast<size_t>(i)];
      const double g = b.ex[static_cast<size_t>(i)];
      auto it = groups.find(g);
      if (it == groups.end()) {
        order.push_back(g);
        it = groups.emplace(g, std::vector<Obs>{}).first;
      }
      it->second.push_back(std::move(ob));
      N += 1;
      Nw += b.w[static_cast<size_t>(i)];
    }
  }
  if (N == 0) return noobs();
  std::vector<double> C(kk * kk, 0.0), v(kk);
  for (double g : order) {
    if (stopflag) return error(RC_BREAK);
    const std::vector<Obs>& os = groups[g];
    if (!gls) {
      std::fill(v.begin(), v.end(), 0.0);
      for (const Obs& ob : os)
        for (size_t j = 0; j < kk; ++j) v[j] += ob.x[j] * ob.r;
      for (size_t i = 0; i < kk; ++i)
        for (size_t j = 0; j < kk; ++j) C[i * kk + j] += v[i] * v[j];
      continue;
    }
    for (const Obs& a : os) {
      const double ra = a.r;
      if (ra != std::floor(ra) || ra < 1 || ra > Wm->rows)
        return errmsgf(RC_SYNTAX, "row() value %g outside 1 to %d, the rows of glsmatrix()\n", ra, Wm->rows);
      std::fill(v.begin(), v.end(), 0.0);
      for (const Obs& c : os) {
        const double rc = c.r;
        if (rc != std::floor(rc) || rc < 1 || rc > Wm->rows)
          return errmsgf(RC_SYNTAX, "row() value %g outside 1 to %d, the rows of glsmatrix()\n", rc, Wm->rows);
        const double f = Wm->at(static_cast<int>(ra) - 1, static_cast<int>(rc) - 1) * c.w;
        for (size_t j = 0; j < kk; ++j) v[j] += f * c.x[j];
      }
      for (size_t i = 0; i < kk; ++i)
        for (size_t j = 0; j < kk; ++j) C[i * kk + j] += a.w * a.x[i] * v[j];
    }
  }
  Matrix A = mat_make(s.kk, s.kk);
  A.v = C;
  A.rnames = A.cnames = colnames(s);
  A.sym = true;
  return finish(name, std::move(A), s.wkind == 'f' ? Nw : N);
}

}  // namespace

int mat_accumcmd(int kind) {
  switch (kind) {
    case A_GLS: return groupaccum(true);
    case A_OP: return groupaccum(false);
    case A_VEC: return vecaccum();
    default: return accum();
  }
}
