// regress: least squares (ordinary or weighted) of a dependent variable on
// regressors. Passes over the sample, each summed by fixed chunks of
// observations shared with a helper thread: weighted means and the cross
// products of the deviations from them (compensated sums; one pass over
// long data, about the first chunk's means); residuals, with the robust
// scores when asked. The regressor block is inverted by the sweep inverse,
// which leaves collinear regressors out. Prints the analysis-of-variance
// header and the coefficient table; keeps the fit for replay, predict, test.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <functional>
#include <new>
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
#include "results/sweep.h"
#include "results/xprod.h"
#include "stats/accum.h"
#include "stats/chunks.h"
#include "stats/etable.h"
#include "stats/post.h"
#include "stats/stats.h"

namespace {

constexpr long BLK = EXPR_BLOCK;

enum : int { VCE_OLS = 0, VCE_HC1, VCE_HC2, VCE_HC3, VCE_CLUSTER };

struct RegOpts {
  double level = 95;
  bool beta = false, noheader = false, plus = false, nocons = false, hascons = false;
  bool tsscons = false, mse1 = false;
  std::string eform;      // eform() title
  std::string depname;    // depname()
  double dof = misval;    // dof()
  int vce = VCE_OLS;
  int clustvar = 0;       // cluster() variable
};

// Lanes of compensated sums kept in plain double storage (8 doubles: the
// sums, then the corrections), which vectors of them cannot align to 32.
constexpr size_t ACC = 8;
ST_LANES Accum4 accload(const double* p) {
  Accum4 t;
  std::memcpy(&t.s, p, sizeof t.s);
  std::memcpy(&t.c, p + 4, sizeof t.c);
  return t;
}
ST_LANES void accstore(double* p, const Accum4& t) {
  std::memcpy(p, &t.s, sizeof t.s);
  std::memcpy(p + 4, &t.c, sizeof t.c);
}
double accvalue(const double* p) { return accload(p).value(); }

// acc += the sum of a[i] * b[i] over m (a multiple of 4) observations; the
// lanes stay in registers for the whole block.
ST_CLONES
void dotacc(double* acc, const double* a, const double* b, long m) {
  Accum4 t = accload(acc);
  for (long i = 0; i < m; i += 4) t.add(acc_ld4(a + i) * acc_ld4(b + i));
  accstore(acc, t);
}

// acc[0..3] (lanes ACC apart) += the sums of a[i] * b[j][i] over m (a
// multiple of 4) observations: the four sums of dotacc in one sweep of a,
// their chains independent so the additions overlap. Each sum sees the same
// additions in the same order as dotacc's.
ST_CLONES
void dotacc4(double* acc, const double* a, const double* const* b, long m) {
  Accum4 t0 = accload(acc), t1 = accload(acc + ACC), t2 = accload(acc + 2 * ACC), t3 = accload(acc + 3 * ACC);
  const double *b0 = b[0], *b1 = b[1], *b2 = b[2], *b3 = b[3];
  for (long i = 0; i < m; i += 4) {
    const st_v4 va = acc_ld4(a + i);
    t0.add(va * acc_ld4(b0 + i));
    t1.add(va * acc_ld4(b1 + i));
    t2.add(va * acc_ld4(b2 + i));
    t3.add(va * acc_ld4(b3 + i));
  }
  accstore(acc, t0);
  accstore(acc + ACC, t1);
  accstore(acc + 2 * ACC, t2);
  accstore(acc + 3 * ACC, t3);
}

// Zeros standing in for the missing columns of a last group of fewer than
// four: their sums go to scratch lanes, so the real ones see only their own
// additions.
const double zerocol[BLK + 4] = {};

// acc[j] (lanes ACC apart) += the sum of a[i] * b[j][i], j < nb, four at a
// time.
void dotaccn(double* acc, const double* a, const double* const* b, int nb, long m) {
  int j = 0;
  for (; j + 4 <= nb; j += 4) dotacc4(acc + static_cast<size_t>(j) * ACC, a, b + j, m);
  const int r = nb - j;
  if (r == 0) return;
  if (r == 1 || m > BLK + 4) {
    for (; j < nb; ++j) dotacc(acc + static_cast<size_t>(j) * ACC, a, b[j], m);
    return;
  }
  double lanes[4 * ACC] = {};
  const double* bb[4] = {zerocol, zerocol, zerocol, zerocol};
  std::memcpy(lanes, acc + static_cast<size_t>(j) * ACC, sizeof(double) * ACC * static_cast<size_t>(r));
  for (int q = 0; q < r; ++q) bb[q] = b[j + q];
  dotacc4(lanes, a, bb, m);
  std::memcpy(acc + static_cast<size_t>(j) * ACC, lanes, sizeof(double) * ACC * static_cast<size_t>(r));
}

// The value of the compensated sum at offset off of each chunk's lanes,
// the chunks combined in chunk order (one chunk: its own value).
double chunkvalue(const std::vector<std::vector<double>>& lanes, size_t off) {
  if (lanes.size() == 1) return accvalue(&lanes[0][off]);
  Accum t;
  for (const std::vector<double>& l : lanes) t.merge(accload(&l[off]).fold());
  return t.value();
}

// The residuals of m (a multiple of 4) observations from the deviations d
// (column 0 the dependent variable, then the regressors) and the slopes b of
// the kept regressors, each a compensated sum.
ST_CLONES
void residuals(double* res, const double* const* d, const double* b, const int* kept, int nk,
               long m) {
  for (long i = 0; i < m; i += 4) {
    Accum4 e;
    e.add(acc_ld4(d[0] + i));
    for (int a = 0; a < nk; ++a) e.add(-b[a] * acc_ld4(d[kept[a] + 1] + i));
    const st_v4 r = e.s + e.c;
    std::memcpy(res + i, &r, sizeof r);
  }
}

// The data of one block: nv variables (y first) gathered, the used mask and
// the weights. Returns a weight-rule code or 0.
struct Block {
  int nv = 0;
  long m = 0, m4 = 0;
  std::vector<double> x;   // nv x (BLK + 4)
  std::vector<const double*> cp;  // the values of each variable: in x, or where they lie
  bool clean = false;      // every observation used, unweighted, cp in place
  bool ones = false;       // u and w hold 1 for the whole block
  double u[BLK + 4];       // 1 used, 0 not
  double w[BLK + 4];       // weight of a used observation, else 0
  double* col(int j) { return x.data() + static_cast<size_t>(j) * (BLK + 4); }
};

// Whether a whole unweighted block can be read where it lies: all its
// observations selected, every variable a double column (views, else null)
// without a missing value in the block. Then b.cp points into the columns
// and u and w hold 1, exactly what copying would have made. *known keeps
// the answer for the later passes (-1 not yet known, 0 no, 1 yes).
bool readinplace(Block& b, const StSample& s, long obs, const ColView* views, signed char* known) {
  if (!views || b.m != BLK || s.wkind || *known == 0) return false;
  if (*known == -1) {
    *known = 0;
    if (!s.sel.empty()) {
      const unsigned char* sel = s.sel.data() + (obs - s.lo);
      unsigned char all = 1;
      for (long k = 0; k < BLK; ++k) all &= sel[k];
      if (!all) return false;
    }
    for (int j = 0; j < b.nv; ++j)
      if (xprod_anymissing(reinterpret_cast<const double*>(views[j].at(obs)), BLK)) return false;
  }
  for (int j = 0; j < b.nv; ++j) b.cp[static_cast<size_t>(j)] = reinterpret_cast<const double*>(views[j].at(obs));
  if (!b.ones) {
    std::fill(b.u, b.u + BLK, 1.0);
    std::fill(b.w, b.w + BLK, 1.0);
    b.ones = true;
  }
  b.clean = true;
  *known = 1;
  return true;
}

// Observations obs..min(obs + BLK - 1, hi). With check the weights are held
// to their rule and the rule's code returned (not printed), else a weight
// that breaks it leaves its observation out.
int readblock(Block& b, const StSample& s, long obs, long hi, bool check, const RegOpts& o,
              std::vector<double>* cl, const ColView* views, std::vector<signed char>& known) {
  b.m = std::min(BLK, hi - obs + 1);
  b.m4 = (b.m + 3) & ~3L;
  b.cp.resize(static_cast<size_t>(b.nv));
  if (!cl && !o.clustvar && readinplace(b, s, obs, views, &known[static_cast<size_t>((obs - s.lo) / BLK)])) return 0;
  b.clean = b.ones = false;
  for (int j = 0; j < b.nv; ++j) b.cp[static_cast<size_t>(j)] = b.col(j);
  for (int j = 0; j < b.nv; ++j) st_gather(j, obs, b.m, b.col(j));
  if (o.clustvar && cl) {
    cl->resize(static_cast<size_t>(b.m));
    expr_gather(o.clustvar, obs, b.m, cl->data());
  }
  for (long k = 0; k < b.m; ++k) {
    bool use = s.selected(obs + k);
    for (int j = 0; use && j < b.nv; ++j) use = b.col(j)[k] < misval;
    if (use && o.clustvar) use = !ismissing(zelta_data(o.clustvar, obs + k));
    double wk = 1;
    if (use && s.wkind) {
      wk = s.w[static_cast<size_t>(obs + k - s.lo)];
      if (check) {
        if (int rc = st_weightrule(s.wkind, wk, &use)) return rc;
      } else {
        use = !ismissing(wk) && wk != 0;
      }
    }
    b.u[k] = use ? 1 : 0;
    b.w[k] = use ? wk : 0;
  }
  for (long k = b.m; k < b.m4; ++k) {
    b.u[k] = b.w[k] = 0;
    for (int j = 0; j < b.nv; ++j) b.col(j)[k] = 0;
  }
  for (long k = 0; k < b.m; ++k)
    if (b.u[k] == 0)
      for (int j = 0; j < b.nv; ++j) b.col(j)[k] = 0;
  return 0;
}

// The fit's figures kept in e() for replay, in this order, then the
// standardised coefficients and the "(dropped)" flags (p each).
enum : size_t {
  REC_N, REC_DFM, REC_DFR, REC_DFRT, REC_F, REC_PF, REC_R2, REC_R2A, REC_RMSE, REC_MSS, REC_RSS,
  REC_TSS, REC_HASCONST, REC_VCE, REC_NCLUST, REC_NFIELD
};

// Posts the results of the fit kept in sts.reg. With cluster() the
// residual df posted is the one of the tests (clusters less one).
void post(const RegFit& f) {
  st_eclear();
  st_escalar("N", f.N);
  st_escalar("df_m", f.df_m);
  st_escalar("df_r", f.dfr_test);
  st_escalar("F", f.F);
  st_escalar("r2", f.r2);
  st_escalar("rmse", f.rmse);
  st_escalar("mss", f.mss);
  st_escalar("rss", f.rss);
  st_escalar("r2_a", f.r2_a);
  if (f.rss > 0 && f.rss < misval) {
    st_escalar("ll", f.ll);
    if (f.cons) st_escalar("ll_0", f.ll_0);
  }
  if (f.vce == VCE_CLUSTER) st_escalar("N_clust", f.nclust);
  if (f.vce == VCE_CLUSTER) st_elocal("clustvar", f.clustvar.c_str());
  if (!f.wtype.empty()) {
    st_elocal("wtype", f.wtype.c_str());
    st_elocal("wexp", ("= " + f.wexp).c_str());
  }
  st_elocal("cmd", "regress");
  st_elocal("depvar", f.depname.c_str());
  st_elocal("model", "ols");
  st_elocal("estat_cmd", "regress_estat");
  st_elocal("predict", "regres_p");
  st_elocal("properties", "b V");
  st_elocal("vcetype", f.vcetype.c_str());
  st_epost(f.names, f.b, f.V);
  std::vector<double> rec(REC_NFIELD);
  rec[REC_N] = f.N, rec[REC_DFM] = f.df_m, rec[REC_DFR] = f.df_r, rec[REC_DFRT] = f.dfr_test;
  rec[REC_F] = f.F, rec[REC_PF] = f.pF, rec[REC_R2] = f.r2, rec[REC_R2A] = f.r2_a;
  rec[REC_RMSE] = f.rmse, rec[REC_MSS] = f.mss, rec[REC_RSS] = f.rss, rec[REC_TSS] = f.tss;
  rec[REC_HASCONST] = f.hasconst, rec[REC_VCE] = f.vce, rec[REC_NCLUST] = f.nclust;
  rec.insert(rec.end(), f.betas.begin(), f.betas.end());
  for (unsigned char d : f.dropped) rec.push_back(d);
  st_erecord(std::move(rec));
  st_esample(f.sample, f.samplelo);
  st_global("S_E_cmd", "regress");
  st_global("S_E_depv", f.depname.c_str());
}

}  // namespace

// The analysis-of-variance header of a least-squares fit.
void reg_header(const RegFit& f) {
  auto srow = [](const char* label, double ss, double df) {
    char b[160];
    const double ms = df > 0 ? ss / df : misval;
    std::snprintf(b, sizeof b, "{txt}    %8s {c |} {res}", label);
    std::string l = b;
    l += sreforms("%11.0g", ss);
    std::snprintf(b, sizeof b, "%6.0f ", df);
    l += b;
    l += sreforms("%11.0g", ms);
    spoutsml(l.c_str());
  };
  auto stat = [](const char* label, const std::string& val) {
    char b[96];
    std::snprintf(b, sizeof b, "{txt}           %-14s= {res}", label);
    spoutsml(b);
    spoutsml((val + "\n").c_str());
  };
  char b[200];
  spoutsml("\n");
  std::snprintf(b, sizeof b,
                "{txt}      Source {c |}       SS       df       MS              Number of obs ={res}%8.0f\n",
                f.N);
  spoutsml(b);
  std::snprintf(b, sizeof b, "{txt}{hline 13}{c +}{hline 30}           F(%3.0f,%6.0f) ={res}", f.df_m,
                f.df_r);
  spoutsml(b);
  spoutsml((std::string(sreforms("%8.2f", f.F < 99999 ? f.F : misval)) + "\n").c_str());
  srow("Model", f.mss, f.df_m);
  stat("Prob > F", sreforms("%7.4f", f.pF));
  srow("Residual", f.rss, f.df_r);
  stat("R-squared", sreforms("%7.4f", f.r2));
  spoutsml("{txt}{hline 13}{c +}{hline 30}");
  stat("Adj R-squared", sreforms("%7.4f", f.r2_a));
  srow("Total", f.tss, f.N - (f.hasconst ? 1 : 0));
  spoutsml("{txt}           Root MSE      = {res}");
  spoutsml((std::string(sreforms("%7.0g", f.rmse)) + "\n\n").c_str());
}

namespace {

// The header of a robust fit: no analysis of variance.
void robusthead(const RegFit& f) {
  auto stat = [](const char* label, const std::string& val) {
    char b[160];
    std::snprintf(b, sizeof b, "{txt}%55s%-14s= {res}", "", label);
    spoutsml(b);
    spoutsml((val + "\n").c_str());
  };
  char b[200];
  spoutsml("\n");
  std::snprintf(b, sizeof b, "{txt}Linear regression%38sNumber of obs ={res}%8.0f\n", "", f.N);
  spoutsml(b);
  std::snprintf(b, sizeof b, "{txt}%55sF(%3.0f,%6.0f) ={res}", "", f.df_m, f.dfr_test);
  spoutsml(b);
  spoutsml((std::string(sreforms("%8.2f", f.F < 99999 ? f.F : misval)) + "\n").c_str());
  stat("Prob > F", sreforms("%7.4f", f.pF));
  stat("R-squared", sreforms("%7.4f", f.r2));
  stat("Root MSE", sreforms("%7.0g", f.rmse));
  if (f.vce == VCE_CLUSTER) {
    std::snprintf(b, sizeof b, "{txt}%*s(Std. Err. adjusted for {res}%.0f{txt} clusters in ", 20, "",
                  f.nclust);
    spoutsml(b);
    spout21(f.clustvar.c_str());
    spoutsml(")\n");
  }
  spoutsml("\n");
}

// The header figures of the current regress results, from their record in
// e(). 0, or 301 when e() holds no regress results.
int fromrecord(RegFit& f) {
  const std::vector<double>& rec = st_erecordget();
  if (st_ecmd() != "regress" || rec.size() < REC_NFIELD) return error(RC_NOESTIMATES);
  f.N = rec[REC_N], f.df_m = rec[REC_DFM], f.df_r = rec[REC_DFR], f.dfr_test = rec[REC_DFRT];
  f.F = rec[REC_F], f.pF = rec[REC_PF], f.r2 = rec[REC_R2], f.r2_a = rec[REC_R2A];
  f.rmse = rec[REC_RMSE], f.mss = rec[REC_MSS], f.rss = rec[REC_RSS], f.tss = rec[REC_TSS];
  f.hasconst = rec[REC_HASCONST] != 0, f.vce = static_cast<int>(rec[REC_VCE]);
  f.nclust = rec[REC_NCLUST];
  const long p = static_cast<long>(rec.size() - REC_NFIELD) / 2;
  f.betas.assign(rec.begin() + REC_NFIELD, rec.begin() + REC_NFIELD + p);
  for (long j = 0; j < p; ++j) f.dropped.push_back(rec[REC_NFIELD + static_cast<size_t>(p + j)] != 0);
  f.clustvar = st_elocalget("clustvar");
  return 0;
}

// Prints the header and the coefficient table of the current regress results
// (the header from their record, the table from e(b) and e(V)).
int display(const RegOpts& o) {
  RegFit f;
  if (int rc = fromrecord(f)) return rc;
  if (o.beta && f.vce == VCE_CLUSTER) return errmsgf(RC_NOTCOMBINED, "options cluster() and beta may not be combined\n");
  CoefTable t;
  if (int rc = ct_frome(t)) return rc;
  if (!o.noheader) {
    if (f.vce == VCE_OLS)
      reg_header(f);
    else
      robusthead(f);
  }
  // A regressor the sweep left out shows "(dropped)" even if its zero
  // coefficient was reposted since; a repost of another size keeps e()'s view.
  if (f.dropped.size() == t.names.size()) t.dropped = f.dropped;
  t.level = o.level;
  t.eform = o.eform;
  t.beta = o.beta;
  t.betas = f.betas;
  t.plus = o.plus;
  ct_display(t);
  return 0;
}

// Reads the display options shared by fitting and replay. 0, 184 or 198.
int displayopts(ParseResult& pr, RegOpts& o) {
  CoefTable t;
  if (int rc = ct_options(pr, t)) return rc;
  o.level = t.level;
  o.plus = t.plus;
  o.eform = t.eform;
  o.beta = findopt(pr, "beta", 4, 0) == 1;
  o.noheader = findopt(pr, "header", 6, 1) == 0;
  if (o.beta && !o.eform.empty()) return errmsgf(RC_NOTCOMBINED, "options beta and eform() may not be combined\n");
  return 0;
}

// Fits the model of the parsed list over the sample; fills f.
int fit(ParseResult& pr, const RegOpts& o, RegFit& f) {
  const int nv = vl.lnvar();
  const int k = nv - 1;  // regressors
  const bool cons = !o.nocons && !o.hascons;
  if (nv > st_matsize() - 2) return error(RC_MATSIZE);
  for (int j = 0; j < nv; ++j)
    if (isstrtype(vartype(vl.varlist_vr[static_cast<size_t>(j)])))
      return errmsgf(RC_TYPEMISMATCH, "string variables not allowed in varlist;\n%s is a string variable\n",
                     varname(vl.varlist_vr[static_cast<size_t>(j)]).c_str());
  StSample s;
  if (int rc = st_sample(s, pr)) return rc;
  const bool weighted = s.wkind != WK_NONE;
  // Each pass sums every chunk of observations (stats/chunks.h) on its own,
  // its blocks in order, and combines the chunks' sums in chunk order, so
  // the figures are the same whichever thread did a chunk. Variables read
  // through a time-series operator, and the cluster sums, stay on this thread.
  bool threads = o.clustvar == 0;
  for (int j = 0; j < nv; ++j) threads = threads && st_plainentry(j);
  const long nk = st_nchunks(s.lo, s.hi);
  // Double columns named plainly are read where they lie, block by block.
  std::vector<ColView> views;
  for (int j = 0; j < nv; ++j) {
    if (!st_plainentry(j)) break;
    views.push_back(colview(vl.varlist_vr[static_cast<size_t>(j)]));
    if (views.back().type != ST_DOUBLE) break;
  }
  const ColView* vw = static_cast<int>(views.size()) == nv && views.back().type == ST_DOUBLE ? views.data() : nullptr;
  // Which blocks were found clean (readinplace), for the passes after the first.
  std::vector<signed char> known(static_cast<size_t>(s.hi >= s.lo ? (s.hi - s.lo) / BLK + 1 : 0), -1);
  // The helper pays from a number of cells: the threshold for one column is
  // scaled down by the number of variables.
  const long minobs = threads ? st_parmin(nv) : LONG_MAX;
  auto chunks = [&](const std::function<int(long, long, long)>& fn) {
    return s.hi >= s.lo ? st_chunks(s.lo, s.hi, minobs, fn) : 0;
  };
  auto newblock = [&](Block& blk) {
    blk.nv = nv;
    blk.x.assign(static_cast<size_t>(nv) * (BLK + 4), 0);
  };
  // The columns of a block of nc columns at stride BLK + 4.
  auto colptrs = [](double* base, int nc) {
    std::vector<const double*> c(static_cast<size_t>(nc));
    for (int j = 0; j < nc; ++j) c[static_cast<size_t>(j)] = base + static_cast<size_t>(j) * (BLK + 4);
    return c;
  };

  // The first two passes: counts, weights and weighted sums (for the
  // means), and the cross products of the deviations from a centre (raw
  // values without a constant), with, for the total sum of squares, those of
  // y about its mean. One routine makes either or both for a chunk.
  std::vector<std::vector<double>> sxk(static_cast<size_t>(nk)), swk(static_cast<size_t>(nk));
  std::vector<std::vector<double>> xpk(static_cast<size_t>(nk)), yyck(static_cast<size_t>(nk));
  std::vector<long> cntk(static_cast<size_t>(nk), 0);
  f.sample.assign(static_cast<size_t>(s.hi >= s.lo ? s.hi - s.lo + 1 : 0), 0);
  f.samplelo = s.lo;
  const size_t np = static_cast<size_t>(nv) * static_cast<size_t>(nv + 1) / 2;
  std::vector<double> mean(static_cast<size_t>(nv), 0), ctr(static_cast<size_t>(nv), 0);
  auto dcol = [&](std::vector<double>& v, int j) { return v.data() + static_cast<size_t>(j) * (BLK + 4); };
  // Deviations of the block's used observations from c, and the same times
  // the weights. Unweighted, the weighted deviations are the deviations:
  // wdev is left alone and dev stands for both.
  auto deviations = [&](const Block& blk, const std::vector<double>& c, std::vector<double>& dev,
                        std::vector<double>& wdev) {
    for (int j = 0; j < nv; ++j) {
      const double cj = c[static_cast<size_t>(j)];
      double* d = dcol(dev, j);
      const double* xv = blk.cp[static_cast<size_t>(j)];
      if (blk.clean) {
        for (long i = 0; i < blk.m4; ++i) d[i] = xv[i] - cj;
      } else {
        for (long i = 0; i < blk.m4; ++i) d[i] = blk.u[i] != 0 ? xv[i] - cj : 0;
      }
      if (!weighted) continue;
      double* wd = dcol(wdev, j);
      for (long i = 0; i < blk.m4; ++i) wd[i] = blk.w[i] * d[i];
    }
  };
  // The sums (with the weight rule checked and the sample marked) when
  // sums, the cross products about ctr when xprods, of chunk ck.
  auto part = [&](long ck, long c0, long c1, bool sums, bool xprods) {
    Block blk;
    newblock(blk);
    std::vector<double>& sx = sxk[static_cast<size_t>(ck)];
    std::vector<double>& sw = swk[static_cast<size_t>(ck)];
    std::vector<double>& xp = xpk[static_cast<size_t>(ck)];
    std::vector<double>& yyc = yyck[static_cast<size_t>(ck)];
    if (sums) sx.assign(static_cast<size_t>(nv) * ACC, 0), sw.assign(ACC, 0);
    if (xprods) xp.assign(np * ACC, 0), yyc.assign(ACC, 0);
    std::vector<double> dev(xprods ? static_cast<size_t>(nv) * (BLK + 4) : 0), wdev(weighted ? dev.size() : 0);
    std::vector<double> tmp(BLK + 4), wtmp(BLK + 4);
    const std::vector<const double*> dcols = colptrs(dev.data(), xprods ? nv : 0);
    st_v4 cnt = {0, 0, 0, 0};
    for (long obs = c0; obs <= c1; obs += BLK) {
      if (stopflag) return 1;
      if (int rc = readblock(blk, s, obs, c1, sums, o, nullptr, vw, known)) return rc;
      if (sums) {
        for (long i = 0; i < blk.m; ++i) f.sample[static_cast<size_t>(obs - s.lo + i)] = blk.u[i] != 0;
        for (long i = 0; i < blk.m4; i += 4) cnt += acc_ld4(blk.u + i);
        if (weighted) dotacc(sw.data(), blk.w, blk.u, blk.m4);
        dotaccn(sx.data(), blk.w, blk.cp.data(), nv, blk.m4);
      }
      if (!xprods) continue;
      deviations(blk, ctr, dev, wdev);
      size_t q = 0;
      for (int a = 0; a < nv; ++a) {
        dotaccn(&xp[q * ACC], dcol(weighted ? wdev : dev, a), dcols.data(), a + 1, blk.m4);
        q += static_cast<size_t>(a + 1);
      }
      if (!cons) {
        const double* yv = blk.cp[0];
        for (long i = 0; i < blk.m4; ++i) {
          tmp[static_cast<size_t>(i)] = blk.u[i] != 0 ? yv[i] - mean[0] : 0;
          wtmp[static_cast<size_t>(i)] = blk.w[i] * tmp[static_cast<size_t>(i)];
        }
        dotacc(yyc.data(), wtmp.data(), tmp.data(), blk.m4);
      }
    }
    if (sums) cntk[static_cast<size_t>(ck)] = static_cast<long>((cnt[0] + cnt[1]) + (cnt[2] + cnt[3]));
    return 0;
  };
  auto failed = [](int rc) { return rc == 1 ? 1 : error(rc); };
  // Data of more than one chunk, with a constant, are read once for both:
  // the cross products are taken about the first chunk's means, close to
  // the sample's, and moved to the sample's means afterwards. The first
  // chunk is read once more for its means. Shorter data read twice, about
  // the sample's means.
  bool onepass = cons && nk >= 2 && s.hi >= s.lo;
  if (onepass) {
    if (int rc = part(0, s.lo, std::min(s.hi, s.lo + ST_CHUNK - 1), true, false)) return failed(rc);
    const double W0 = weighted ? accvalue(swk[0].data()) : static_cast<double>(cntk[0]);
    onepass = W0 > 0;
    for (int j = 0; onepass && j < nv; ++j) ctr[static_cast<size_t>(j)] = accvalue(&sxk[0][static_cast<size_t>(j) * ACC]) / W0;
  }
  if (int rc = chunks([&](long ck, long c0, long c1) { return part(ck, c0, c1, true, onepass); })) return failed(rc);
  long n = 0;
  for (long c : cntk) n += c;
  if (n == 0) return st_noobs();
  double W = weighted ? chunkvalue(swk, 0) : static_cast<double>(n);
  for (int j = 0; j < nv; ++j) mean[static_cast<size_t>(j)] = chunkvalue(sxk, static_cast<size_t>(j) * ACC) / W;
  if (!onepass) {
    if (cons) ctr = mean;
    if (chunks([&](long ck, long c0, long c1) { return part(ck, c0, c1, false, true); })) return 1;
  }
  // aweights and pweights are scaled to sum to the number of observations.
  double wscale = 1;
  if (s.wkind == WK_A || s.wkind == WK_P) wscale = static_cast<double>(n) / W;
  const double Wraw = W;
  std::vector<double> A(static_cast<size_t>(nv) * static_cast<size_t>(nv));
  {
    size_t q = 0;
    for (int a = 0; a < nv; ++a)
      for (int c = 0; c <= a; ++c, ++q) {
        // About the means: sum w (a - ca)(c - cc) less W (ma - ca)(mc - cc).
        double v = chunkvalue(xpk, q * ACC);
        if (onepass)
          v -= Wraw * (mean[static_cast<size_t>(a)] - ctr[static_cast<size_t>(a)]) *
               (mean[static_cast<size_t>(c)] - ctr[static_cast<size_t>(c)]);
        v *= wscale;
        A[static_cast<size_t>(a * nv + c)] = A[static_cast<size_t>(c * nv + a)] = v;
      }
  }
  W *= wscale;
  const double N = s.wkind == WK_F ? std::round(W) : static_cast<double>(n);

  // The regressor block and its sweep inverse.
  std::vector<double> inv(static_cast<size_t>(k) * static_cast<size_t>(k));
  for (int a = 0; a < k; ++a)
    for (int c = 0; c < k; ++c) inv[static_cast<size_t>(a * k + c)] = A[static_cast<size_t>((a + 1) * nv + c + 1)];
  std::vector<unsigned char> swept(static_cast<size_t>(k), 0);
  SweepResult sr = sweep_inverse(inv.data(), k, k, swept.data());
  if (sr.broke) return 1;
  std::vector<double> b(static_cast<size_t>(k), 0);
  for (int a = 0; a < k; ++a) {
    if (!swept[static_cast<size_t>(a)]) continue;
    Accum acc;
    for (int c = 0; c < k; ++c) acc.add(inv[static_cast<size_t>(a * k + c)] * A[static_cast<size_t>((c + 1) * nv)]);
    b[static_cast<size_t>(a)] = acc.value();
  }
  double b0 = 0;
  if (cons) {
    Accum acc;
    acc.add(mean[0]);
    for (int a = 0; a < k; ++a) acc.add(-b[static_cast<size_t>(a)] * mean[static_cast<size_t>(a + 1)]);
    b0 = acc.value();
  }

  // Pass 3: residuals; the robust scores in centred coordinates (the
  // regressors' deviations from their means, then 1 for the constant).
  const int p = sr.rank + (cons ? 1 : 0);
  std::vector<int> kept;
  for (int a = 0; a < k; ++a)
    if (swept[static_cast<size_t>(a)]) kept.push_back(a);
  const int pk = static_cast<int>(kept.size());
  const int ps_ = pk + (cons ? 1 : 0);  // score dimension
  // The inverse of the centred design in the kept coordinates.
  std::vector<double> Ainv(static_cast<size_t>(ps_ * ps_), 0);
  for (int a = 0; a < pk; ++a)
    for (int c = 0; c < pk; ++c)
      Ainv[static_cast<size_t>(a * ps_ + c)] = inv[static_cast<size_t>(kept[static_cast<size_t>(a)] * k + kept[static_cast<size_t>(c)])];
  if (cons) Ainv[static_cast<size_t>(pk * ps_ + pk)] = 1 / W;
  const bool robust = o.vce != VCE_OLS;
  std::vector<double> meat(static_cast<size_t>(ps_ * ps_), 0);
  const size_t nmeat = robust ? static_cast<size_t>(ps_ * (ps_ + 1) / 2) * ACC : 0;
  std::vector<std::vector<double>> meatk(static_cast<size_t>(nk)), rssk(static_cast<size_t>(nk));
  // Cluster sums of scores, keyed by the cluster value (the chunks on this
  // thread, in order).
  std::vector<double> ckeys;
  std::vector<std::vector<double>> csum;
  std::vector<double> bk(static_cast<size_t>(pk));
  for (int a = 0; a < pk; ++a) bk[static_cast<size_t>(a)] = b[static_cast<size_t>(kept[static_cast<size_t>(a)])];
  const std::vector<double> ctr3 = cons ? mean : std::vector<double>(static_cast<size_t>(nv), 0);
  int rc3 = chunks([&](long ck, long c0, long c1) {
    Block blk;
    newblock(blk);
    std::vector<double>& meatacc = meatk[static_cast<size_t>(ck)];
    std::vector<double>& rssacc = rssk[static_cast<size_t>(ck)];
    meatacc.assign(nmeat, 0);
    rssacc.assign(ACC, 0);
    std::vector<double> dev(static_cast<size_t>(nv) * (BLK + 4)), wdev(dev.size());
    std::vector<double> clv;
    std::vector<double> z(static_cast<size_t>(ps_));
    std::vector<double> res(BLK + 4), wres(BLK + 4), sc(BLK + 4), rsc(BLK + 4);
    // Score columns: sc times each kept regressor's deviation (and sc itself
    // for the constant), and the same times the replication of fweights.
    std::vector<double> qcol(robust ? static_cast<size_t>(ps_) * (BLK + 4) : 0), rcol(qcol.size());
    const std::vector<const double*> qcols = colptrs(qcol.data(), robust ? ps_ : 0);
    std::vector<const double*> dptr(static_cast<size_t>(nv));
    for (int j = 0; j < nv; ++j) dptr[static_cast<size_t>(j)] = dcol(dev, j);
    for (long obs = c0; obs <= c1; obs += BLK) {
      if (stopflag) return 1;
      (void)readblock(blk, s, obs, c1, false, o, o.vce == VCE_CLUSTER ? &clv : nullptr, vw, known);
      deviations(blk, ctr3, dev, wdev);
      residuals(res.data(), dptr.data(), bk.data(), kept.data(), pk, blk.m4);
      for (long i = 0; i < blk.m4; ++i) {
        const double wi = blk.w[i] * wscale;
        wres[static_cast<size_t>(i)] = wi * res[static_cast<size_t>(i)];
      }
      dotacc(rssacc.data(), wres.data(), res.data(), blk.m4);
      if (!robust) continue;
      for (long i = 0; i < blk.m4; ++i) {
        double si = wres[static_cast<size_t>(i)];  // the score multiplier
        if (blk.u[i] != 0 && (o.vce == VCE_HC2 || o.vce == VCE_HC3)) {
          for (int a = 0; a < pk; ++a) z[static_cast<size_t>(a)] = dptr[static_cast<size_t>(kept[static_cast<size_t>(a)] + 1)][i];
          if (cons) z[static_cast<size_t>(pk)] = 1;
          double h = 0;
          for (int a = 0; a < ps_; ++a) {
            double t = 0;
            for (int c = 0; c < ps_; ++c) t += Ainv[static_cast<size_t>(a * ps_ + c)] * z[static_cast<size_t>(c)];
            h += z[static_cast<size_t>(a)] * t;
          }
          const double omh = 1 - h * blk.w[i] * wscale;
          if (o.vce == VCE_HC2) si = omh > 0 ? si / std::sqrt(omh) : 0;
          else si = omh > 0 ? si / omh : 0;
        }
        sc[static_cast<size_t>(i)] = si;
        // fweights replicate an observation: its squared score counts f times.
        rsc[static_cast<size_t>(i)] = s.wkind == WK_F && blk.u[i] != 0 ? si / blk.w[i] : si;
      }
      if (o.vce == VCE_CLUSTER) {
        for (long i = 0; i < blk.m; ++i) {
          if (blk.u[i] == 0) continue;
          const double key = clv[static_cast<size_t>(i)];
          auto it = std::lower_bound(ckeys.begin(), ckeys.end(), key);
          const size_t at = static_cast<size_t>(it - ckeys.begin());
          if (it == ckeys.end() || *it != key) {
            ckeys.insert(it, key);
            csum.insert(csum.begin() + static_cast<long>(at), std::vector<double>(static_cast<size_t>(ps_), 0));
          }
          std::vector<double>& cs = csum[at];
          for (int a = 0; a < pk; ++a)
            cs[static_cast<size_t>(a)] += sc[static_cast<size_t>(i)] * dptr[static_cast<size_t>(kept[static_cast<size_t>(a)] + 1)][i];
          if (cons) cs[static_cast<size_t>(pk)] += sc[static_cast<size_t>(i)];
        }
        continue;
      }
      for (int a = 0; a < ps_; ++a) {
        double* qa = qcol.data() + static_cast<size_t>(a) * (BLK + 4);
        double* ra = rcol.data() + static_cast<size_t>(a) * (BLK + 4);
        const double* za = a < pk ? dptr[static_cast<size_t>(kept[static_cast<size_t>(a)] + 1)] : nullptr;
        for (long i = 0; i < blk.m4; ++i) {
          const double zi = za ? za[i] : 1;
          qa[i] = sc[static_cast<size_t>(i)] * zi;
          ra[i] = rsc[static_cast<size_t>(i)] * zi;
        }
      }
      size_t q = 0;
      for (int a = 0; a < ps_; ++a) {
        dotaccn(&meatacc[q * ACC], rcol.data() + static_cast<size_t>(a) * (BLK + 4), qcols.data(), a + 1, blk.m4);
        q += static_cast<size_t>(a + 1);
      }
    }
    return 0;
  });
  if (rc3) return 1;
  if (robust) {
    if (o.vce == VCE_CLUSTER) {
      for (const auto& cs : csum)
        for (int a = 0; a < ps_; ++a)
          for (int c = 0; c < ps_; ++c)
            meat[static_cast<size_t>(a * ps_ + c)] += cs[static_cast<size_t>(a)] * cs[static_cast<size_t>(c)];
    } else {
      size_t q = 0;
      for (int a = 0; a < ps_; ++a)
        for (int c = 0; c <= a; ++c, ++q)
          meat[static_cast<size_t>(a * ps_ + c)] = meat[static_cast<size_t>(c * ps_ + a)] = chunkvalue(meatk, q * ACC);
    }
  }

  // Sums of squares and the statistics.
  const bool about_mean = cons || o.hascons || o.tsscons;
  double tss = cons ? A[0] : (about_mean ? chunkvalue(yyck, 0) * wscale : A[0]);
  double rss, mss;
  if (k == 0 || sr.rank == 0) {
    rss = tss;
    mss = 0;
  } else {
    rss = chunkvalue(rssk, 0);
    if (rss < 0) rss = 0;
    mss = tss - rss;
    if (mss < 0) {
      mss = 0;
      rss = tss;
    }
  }
  double df_m = sr.rank - (o.hascons ? 1 : 0);
  if (df_m < 0) df_m = 0;
  double df_r = N - p;
  if (o.dof < misval) df_r = o.dof;
  double mse = df_r > 0 ? rss / df_r : 0;
  if (o.mse1) mse = 1;
  double r2 = tss > 0 ? 1 - rss / tss : misval;
  if (r2 < misval && r2 > 0.99999999999999) {
    mss = tss;
    rss = 0;
    r2 = 1;
    mse = o.mse1 ? 1 : 0;
  }
  if (r2 < misval && r2 < 0) r2 = misval;
  double F = misval;
  if (k == 0 || sr.rank == 0)
    F = 0;
  else if (mse > 0 && df_m > 0) {
    F = (mss / df_m) / mse;
    if (F < 0) F = misval;
  }
  double r2a = misval;
  const bool hasconst = cons || o.hascons;
  if (r2 < misval && df_r > 0) r2a = 1 - (1 - r2) * (N - (hasconst ? 1 : 0)) / df_r;

  std::vector<unsigned char> sample = std::move(f.sample);
  f = RegFit{};
  f.sample = std::move(sample);
  f.samplelo = s.lo;
  f.valid = true;
  f.N = N;
  f.n = n;
  f.cons = cons;
  f.hasconst = hasconst;
  f.tss = tss;
  f.rss = rss;
  f.mss = mss;
  f.df_m = df_m;
  f.df_r = df_r;
  f.dfr_test = df_r;
  f.F = F;
  f.r2 = r2;
  f.r2_a = r2a;
  f.rmse = std::sqrt(mse);
  f.ll = f.ll_0 = misval;
  if (rss > 0 && rss < misval) {
    const double l2pi = std::log(2 * M_PI);
    f.ll = -0.5 * N * (l2pi + std::log(rss / N) + 1);
    if (cons) f.ll_0 = -0.5 * N * (l2pi + std::log((rss + mss) / N) + 1);
  }
  f.depname = o.depname.empty() ? st_entryname(0) : o.depname;
  f.wtype = s.wkind ? std::string(1, s.wkind) + "weight" : "";
  f.wexp = s.wexp;
  f.vce = o.vce;
  for (int a = 0; a < k; ++a) f.names.push_back(st_entryname(a + 1));
  if (cons) f.names.push_back("_cons");
  const int pp = static_cast<int>(f.names.size());
  f.b.assign(static_cast<size_t>(pp), 0);
  f.dropped.assign(static_cast<size_t>(pp), 0);
  f.V.assign(static_cast<size_t>(pp * pp), 0);
  for (int a = 0; a < k; ++a) {
    f.b[static_cast<size_t>(a)] = b[static_cast<size_t>(a)];
    f.dropped[static_cast<size_t>(a)] = !swept[static_cast<size_t>(a)];
  }
  if (cons) f.b[static_cast<size_t>(k)] = b0;
  // Position of kept coordinate a in the posted order.
  std::vector<int> pos;
  for (int a : kept) pos.push_back(a);
  if (cons) pos.push_back(k);
  // The variance in centred coordinates (kept regressors, then the
  // intercept at the means), then moved to the posted ones, where the
  // constant is the intercept less the means times the slopes.
  std::vector<double> Vc(static_cast<size_t>(ps_ * ps_));
  if (!robust) {
    for (size_t i = 0; i < Vc.size(); ++i) Vc[i] = mse * Ainv[i];
  } else {
    std::vector<double> t1(Vc.size(), 0);
    for (int a = 0; a < ps_; ++a)
      for (int c = 0; c < ps_; ++c) {
        double acc = 0;
        for (int d = 0; d < ps_; ++d)
          acc += Ainv[static_cast<size_t>(a * ps_ + d)] * meat[static_cast<size_t>(d * ps_ + c)];
        t1[static_cast<size_t>(a * ps_ + c)] = acc;
      }
    for (int a = 0; a < ps_; ++a)
      for (int c = 0; c < ps_; ++c) {
        double acc = 0;
        for (int d = 0; d < ps_; ++d)
          acc += t1[static_cast<size_t>(a * ps_ + d)] * Ainv[static_cast<size_t>(d * ps_ + c)];
        Vc[static_cast<size_t>(a * ps_ + c)] = acc;
      }
    double qc = 1;
    const double nn = N;
    if (o.vce == VCE_HC1) qc = df_r > 0 ? nn / df_r : misval;
    if (o.vce == VCE_CLUSTER) {
      const double g = static_cast<double>(ckeys.size());
      qc = g > 1 && nn - p > 0 ? (nn - 1) / (nn - p) * g / (g - 1) : misval;
      f.nclust = g;
      f.clustvar = varname(o.clustvar);
      f.dfr_test = g - 1;
    }
    for (double& v : Vc) v = qc < misval ? v * qc : misval;
    f.vcetype = o.vce == VCE_HC2 ? "Robust HC2" : o.vce == VCE_HC3 ? "Robust HC3" : "Robust";
  }
  // T maps centred coordinates to posted ones: slopes stay, the constant is
  // intercept - sum(mean_a * slope_a).
  std::vector<double> T(static_cast<size_t>(ps_ * ps_), 0);
  for (int a = 0; a < ps_; ++a) T[static_cast<size_t>(a * ps_ + a)] = 1;
  if (cons)
    for (int a = 0; a < pk; ++a)
      T[static_cast<size_t>(pk * ps_ + a)] = -mean[static_cast<size_t>(kept[static_cast<size_t>(a)] + 1)];
  std::vector<double> t2(static_cast<size_t>(ps_ * ps_), 0);
  for (int a = 0; a < ps_; ++a)
    for (int c = 0; c < ps_; ++c) {
      Accum acc;
      for (int d = 0; d < ps_; ++d) acc.add(T[static_cast<size_t>(a * ps_ + d)] * Vc[static_cast<size_t>(d * ps_ + c)]);
      t2[static_cast<size_t>(a * ps_ + c)] = acc.value();
    }
  for (int a = 0; a < ps_; ++a)
    for (int c = 0; c < ps_; ++c) {
      Accum acc;
      for (int d = 0; d < ps_; ++d) acc.add(t2[static_cast<size_t>(a * ps_ + d)] * T[static_cast<size_t>(c * ps_ + d)]);
      f.V[static_cast<size_t>(pos[static_cast<size_t>(a)] * pp + pos[static_cast<size_t>(c)])] = acc.value();
    }
  // Robust fits: F is the Wald test that all slopes are zero.
  if (robust && !(k == 0 || sr.rank == 0)) {
    // (With hascons the user's constant is among the slopes: no Wald F.)
    f.F = misval;
    const int q = pk - (o.hascons ? 1 : 0);
    if (q > 0 && f.dfr_test > 0 && !o.hascons) {
      std::vector<double> vs(static_cast<size_t>(q * q));
      for (int a = 0; a < q; ++a)
        for (int c = 0; c < q; ++c) vs[static_cast<size_t>(a * q + c)] = Vc[static_cast<size_t>(a * ps_ + c)];
      SweepResult r = sweep_inverse(vs.data(), q, q, nullptr);
      if (r.rank == q) {
        double w = 0;
        for (int a = 0; a < q; ++a)
          for (int c = 0; c < q; ++c)
            w += b[static_cast<size_t>(kept[static_cast<size_t>(a)])] * vs[static_cast<size_t>(a * q + c)] *
                 b[static_cast<size_t>(kept[static_cast<size_t>(c)])];
        f.F = w / q;
        f.df_m = q;
      }
    }
  }
  f.pF = f.F < misval && f.df_m > 0 && f.dfr_test > 0 ? fn_Ftail(f.df_m, f.dfr_test, f.F) : misval;
  // Standardised coefficients: slope times sd(x)/sd(y).
  f.betas.assign(static_cast<size_t>(pp), misval);
  for (int a = 0; a < k; ++a) {
    const double sxx = A[static_cast<size_t>((a + 1) * nv + a + 1)], syy = A[0];
    if (swept[static_cast<size_t>(a)] && syy > 0 && sxx >= 0)
      f.betas[static_cast<size_t>(a)] = b[static_cast<size_t>(a)] * std::sqrt(sxx / syy);
  }
  return 0;
}

// regress [depvar [indepvars] [if] [in] [weight]] [, options]
int cmd_regress(int) {
  ParseResult pr;
  if (int rc = parse({.tsops = PERM_OPTIONAL, .weight = PERM_OPTIONAL, .options = PERM_OPTIONAL, .by = PERM_OPTIONAL}, pr)) return rc;
  // Run by a program under by (regress is byable), the fit uses the caller's
  // current group.
  const bool programby = !cmd_bylevel && ex.byvar != 0 && ex.byn1 > 0;
  if (programby) {
    ds.nobs1 = std::max(ds.nobs1, ex.byn1);
    ds.nobs2 = std::min(ds.nobs2, ex.byn2);
  }
  RegOpts o;
  if (int rc = displayopts(pr, o)) return rc;
  if (!pr.hasvarlist) {
    if (cmd_bylevel || programby) return error(RC_NOBY);
    if (int rc = chkopt(pr)) return rc;
    if (pr.hasif || pr.hasin || pr.hasweight) return error(RC_SYNTAX);
    return display(o);
  }
  o.nocons = findopt(pr, "constant", 5, 1) == 0;
  o.hascons = findopt(pr, "hascons", 7, 0) == 1;
  o.tsscons = findopt(pr, "tsscons", 7, 0) == 1;
  o.mse1 = findopt(pr, "mse1", 4, 0) == 1;
  const bool hc2 = findopt(pr, "hc2", 3, 0) == 1, hc3 = findopt(pr, "hc3", 3, 0) == 1;
  const bool rob = findopt(pr, "robust", 3, 0) == 1;
  std::string cl;
  const bool hascl = findargn(pr, "cluster", 2, cl, 64, 1);
  std::string dn;
  if (findargn(pr, "depname", 4, dn, 64, 1)) {
    if (dn.empty() || chkname(dn.c_str())) return errmsgf(RC_SYNTAX, "option depname() invalid\n");
    o.depname = dn;
  }
  {
    std::string d;
    if (findargasis(pr, "dof", 3, d, 64)) {
      char* end;
      const double v = std::strtod(d.c_str(), &end);
      while (*end == ' ') ++end;
      if (d.empty() || *end || !(v > 0 && v < 2147483647.0))
        return errmsgf(RC_SYNTAX, "dof() must be above 0 and below the largest long\n");
      o.dof = v;
    }
  }
  (void)findopt(pr, "rssmat", 6, 0);
  (void)findopt(pr, "bmat", 4, 0);
  (void)findopt(pr, "checkorder", 10, 0);
  if (int rc = chkopt(pr)) return rc;
  if (hc2 + hc3 + (rob || hascl) > 1)
    return errmsgf(RC_SYNTAX, "options robust, hc2 and hc3 may not be combined\n");
  if (hascl) {
    if (cl.empty()) return errmsgf(RC_SYNTAX, "option cluster() invalid\n");
    const int v = zelta_findvar(cl.c_str(), 1, false);
    if (v < 0) return -v;
    o.clustvar = v;
    o.vce = VCE_CLUSTER;
  } else if (hc2) {
    o.vce = VCE_HC2;
  } else if (hc3) {
    o.vce = VCE_HC3;
  } else if (rob) {
    o.vce = VCE_HC1;
  }
  // Sampling weights always get the robust variance.
  if (pr.hasweight && pr.wgttype[0] == WK_P && o.vce == VCE_OLS) o.vce = VCE_HC1;
  if (o.beta && o.vce == VCE_CLUSTER) return errmsgf(RC_NOTCOMBINED, "options cluster() and beta may not be combined\n");
  if (o.hascons) o.nocons = true;
  if (vl.lnvar() == 1 && o.nocons && !o.hascons) return errmsgf(RC_TOOFEWVARS, "too few variables specified\n");
  if (pr.hasweight && pr.wgttype[0] == WK_I && o.vce != VCE_OLS) return error(RC_MSG_IWROBUST);
  if (o.clustvar && isstrtype(vartype(o.clustvar)))
    return errmsgf(RC_TYPEMISMATCH, "cluster() variable %s must be numeric\n", varname(o.clustvar).c_str());
  RegFit f;
  // Working storage grows with the observations and matsize; running out of
  // memory is a return code, never an exception leaving the command.
  try {
    if (int rc = fit(pr, o, f)) return rc;
  } catch (const std::bad_alloc&) {
    return error(RC_NOMEM);
  }
  sts.reg = std::move(f);
  post(sts.reg);
  return display(o);
}

}  // namespace

void stats_bindregress() { cmdbind("_regress", cmd_regress); }
