// correlate: the correlation (or covariance) matrix of a variable list over
// the observations where every variable is present (listwise deletion), or
// with `pairwise` the correlation of each pair over the observations where
// both are present, with significance levels and counts. Both print the
// lower triangle in panels that fit the line size.
#include <cmath>
#include <new>
#include <string>
#include <vector>

#include "data/by.h"
#include "data/cmd/datacmds.h"
#include "data/store.h"
#include "data/varlist.h"
#include "expr/expr.h"
#include "interp/cmdtab.h"
#include "output/errors.h"
#include "output/format.h"
#include "output/output.h"
#include "platform/platform.h"
#include "stats/accum.h"
#include "stats/post.h"
#include "stats/stats.h"

namespace {

// The list's values over the command's range, one column per entry, and
// each observation's usable weight (0: not used: unselected, bad weight).
struct CorrData {
  int k = 0;
  long n = 0;                         // observations in the range
  std::vector<std::vector<double>> x; // k columns of n values
  std::vector<double> w;              // weight of each observation, 0 when unused
  std::vector<std::string> names;     // entry names
};

int gatherall(const StSample& s, CorrData& d) {
  d.k = vl.lnvar();
  d.n = s.hi >= s.lo ? s.hi - s.lo + 1 : 0;
  for (int e = 0; e < d.k; ++e) {
    if (isstrtype(vartype(vl.varlist_vr[static_cast<size_t>(e)]))) return error(RC_TYPEMISMATCH);
    d.names.push_back(st_entryname(e));
  }
  d.x.assign(static_cast<size_t>(d.k), std::vector<double>(static_cast<size_t>(d.n)));
  for (int e = 0; e < d.k; ++e)
    for (long o = 0; o < d.n; o += EXPR_BLOCK) {
      if (stopflag) return 1;
      st_gather(e, s.lo + o, std::min(EXPR_BLOCK, d.n - o), d.x[static_cast<size_t>(e)].data() + o);
    }
  d.w.assign(static_cast<size_t>(d.n), 0);
  for (long i = 0; i < d.n; ++i) {
    if (!s.selected(s.lo + i)) continue;
    double wi = 1;
    if (s.wkind) {
      bool use;
      wi = s.w[static_cast<size_t>(i)];
      if (int rc = st_checkweight(s.wkind, wi, &use)) return rc;
      if (!use) continue;
    }
    d.w[static_cast<size_t>(i)] = wi;
  }
  return 0;
}

// The covariance (cov) or correlation of entries a and b over the
// observations with mask[i] set; *N receives the count reported.
struct PairFig {
  double N = 0, W = 0;
  double cov = misval, rho = misval, va = misval, vb = misval;
};

PairFig pairfig(const CorrData& d, int a, int b, const std::vector<char>& mask, char wkind) {
  PairFig f;
  const std::vector<double>& xa = d.x[static_cast<size_t>(a)];
  const std::vector<double>& xb = d.x[static_cast<size_t>(b)];
  Accum W, Sa, Sb;
  long n = 0;
  for (long i = 0; i < d.n; ++i) {
    if (!mask[static_cast<size_t>(i)]) continue;
    const double w = d.w[static_cast<size_t>(i)];
    W.add(w);
    Sa.add(w * xa[static_cast<size_t>(i)]);
    Sb.add(w * xb[static_cast<size_t>(i)]);
    ++n;
  }
  f.W = W.value();
  f.N = wkind == WK_F ? std::round(f.W) : static_cast<double>(n);
  if (n == 0 || f.W <= 0) return f;
  const double ma = Sa.value() / f.W, mb = Sb.value() / f.W;
  Accum Caa, Cbb, Cab;
  for (long i = 0; i < d.n; ++i) {
    if (!mask[static_cast<size_t>(i)]) continue;
    const double w = d.w[static_cast<size_t>(i)];
    const double da = xa[static_cast<size_t>(i)] - ma, db = xb[static_cast<size_t>(i)] - mb;
    Caa.add(w * da * da);
    Cbb.add(w * db * db);
    Cab.add(w * da * db);
  }
  double div;
  switch (wkind) {
    case WK_NONE: div = static_cast<double>(n - 1); break;
    case WK_A: div = f.W * (f.N - 1) / f.N; break;
    default: div = f.W - 1; break;
  }
  if (div > 0) {
    f.cov = Cab.value() / div;
    f.va = Caa.value() / div;
    f.vb = Cbb.value() / div;
  }
  const double den = std::sqrt(Caa.value() * Cbb.value());
  if (den > 0) {
    f.rho = Cab.value() / den;
    if (f.rho > 1) f.rho = 1;
    if (f.rho < -1) f.rho = -1;
  }
  return f;
}

// Two-sided significance of a correlation r from n observations.
double rhosig(double r, double n) {
  if (r >= misval || n < 3) return misval;
  if (std::fabs(r) >= 1) return 0;
  const double t = std::fabs(r) * std::sqrt((n - 2) / (1 - r * r));
  return 2 * fn_ttail(n - 2, t);
}

std::string rjust(const std::string& t, int w) {
  if (static_cast<int>(t.size()) >= w) return t;
  return std::string(static_cast<size_t>(w - static_cast<int>(t.size())), ' ') + t;
}

// What each cell of the triangle shows: a line kind per row of text.
struct Cells {
  int k = 0;
  const std::vector<std::string>* names = nullptr;
  int width = 9;                 // columns of one cell
  std::vector<double> val;       // k x k: the first line's value
  std::vector<double> sig, nobs; // k x k: significance and counts (pairwise)
  const char* fmt = "%8.4f";     // the first line's format
  bool showsig = false, showobs = false;
  double star = -1;              // stars beside values significant at this level
};

void triangle(const Cells& c) {
  const int per = std::max(1, (out.linesize - 14) / c.width);
  const bool multi = c.showsig || c.showobs;
  for (int j0 = 0; j0 < c.k; j0 += per) {
    const int j1 = std::min(c.k, j0 + per);
    spoutsml("\n{txt}             {c |}");
    for (int j = j0; j < j1; ++j)
      spoutnosml(rjust(abvar((*c.names)[static_cast<size_t>(j)], c.width - 1), c.width).c_str());
    spoutsmlf("\n{hline 13}{c +}{hline %d}\n", c.width * (j1 - j0));
    for (int i = j0; i < c.k; ++i) {
      if (stopflag) return;
      const int jend = std::min(i + 1, j1);
      for (int line = 0; line < 3; ++line) {
        if ((line == 1 && !c.showsig) || (line == 2 && !c.showobs)) continue;
        const std::string stubtxt = line == 0 ? abvar((*c.names)[static_cast<size_t>(i)], 12) : "";
        spoutsml("{txt}");
        spoutnosml(rjust(stubtxt, 12).c_str());
        std::string l = " {c |}{res}";
        for (int j = j0; j < jend; ++j) {
          const size_t at = static_cast<size_t>(i * c.k + j);
          std::string cell;
          if (line == 0) {
            cell = sreforms(c.fmt, c.val[at]);
            if (c.star >= 0) cell += i != j && c.sig[at] <= c.star ? "*" : " ";
          } else if (line == 1) {
            cell = i == j ? std::string() : std::string(sreforms("%8.4f", c.sig[at]));
            if (c.star >= 0) cell += " ";
          } else {
            cell = sreforms("%8.0f", c.nobs[at]);
            if (c.star >= 0) cell += " ";
          }
          l += rjust(cell, c.width);
        }
        while (!l.empty() && l.back() == ' ') l.pop_back();
        spoutsml((l + "\n").c_str());
      }
      if (multi && i + 1 < c.k) spoutsml("{txt}             {c |}\n");
    }
  }
}

int parsecorr(ParseResult& pr) {
  return parse({.tsops = PERM_OPTIONAL, .weight = PERM_OPTIONAL, .options = PERM_OPTIONAL, .by = PERM_OPTIONAL}, pr);
}

int weightkinds(ParseResult& pr, bool allowi) {
  if (!pr.hasweight) return 0;
  const char k = pr.wgttype[0];
  if (k == WK_P) return errmsgf(RC_NOTALLOWED, "pweights not allowed\n");
  if (k == WK_I && !allowi) return errmsgf(RC_NOTALLOWED, "iweights not allowed\n");
  return 0;
}

// correlate [varlist] [if] [in] [weight], pairwise [obs sig star(#)]
// The line is parsed; reads the pairwise options and posts r(C), r(sig),
// r(Nobs) and the last pair's r(N) and r(rho).
int pairwisecorr(ParseResult& pr) {
  StSample s;
  Cells c;
  c.showobs = findopt(pr, "obs", 3, 0) == 1;
  c.showsig = findopt(pr, "sig", 3, 0) == 1;
  double star = -1;
  if (findoptv(pr, "star", 2, &star, 1, 0) == 1 && !(star > 0 && star < 1))
    return errmsgf(RC_SYNTAX, "star() must be a level between 0 and 1\n");
  if (int rc = chkopt(pr)) return rc;
  if (int rc = weightkinds(pr, false)) return rc;
  if (!pr.hasvarlist && ssvlist_all()) return st_noobs();
  try {
    if (int rc = st_sample(s, pr)) return rc;
    CorrData d;
    if (int rc = gatherall(s, d)) return rc;
    const int k = d.k;
    c.k = k;
    c.names = &d.names;
    c.star = star;
    c.width = star >= 0 ? 10 : 9;
    const size_t kk = static_cast<size_t>(k * k);
    c.val.assign(kk, misval);
    c.sig.assign(kk, misval);
    c.nobs.assign(kk, 0);
    std::vector<char> mask(static_cast<size_t>(d.n));
    PairFig last;
    for (int i = 0; i < k; ++i)
      for (int j = 0; j <= i; ++j) {
        if (stopflag) return 1;
        for (long o = 0; o < d.n; ++o)
          mask[static_cast<size_t>(o)] = d.w[static_cast<size_t>(o)] != 0 &&
                                         d.x[static_cast<size_t>(i)][static_cast<size_t>(o)] < misval &&
                                         d.x[static_cast<size_t>(j)][static_cast<size_t>(o)] < misval;
        PairFig f = pairfig(d, i, j, mask, s.wkind);
        if (i == j && f.rho < misval) f.rho = 1;
        const size_t a = static_cast<size_t>(i * k + j), b = static_cast<size_t>(j * k + i);
        c.val[a] = c.val[b] = f.rho;
        c.nobs[a] = c.nobs[b] = f.N;
        c.sig[a] = c.sig[b] = i == j ? misval : rhosig(f.rho, f.N);
        if (i != j) last = f;
      }
    if (out.s_outlev <= OUT_RESULT) triangle(c);
    st_rclear();
    if (k >= 2) {
      st_rscalar("N", last.N);
      st_rscalar("rho", last.rho);
    } else {
      st_rscalar("N", c.nobs[0]);
    }
    st_rmatrix("C", k, k, c.val, d.names, d.names);
    st_rmatrix("sig", k, k, c.sig, d.names, d.names);
    st_rmatrix("Nobs", k, k, c.nobs, d.names, d.names);
  } catch (const std::bad_alloc&) {
    return error(RC_NOMEM);
  }
  return 0;
}

// correlate [varlist] [if] [in] [weight] [, covariance | pairwise obs sig star(#)]
int cmd_correlate(int) {
  ParseResult pr;
  StSample s;
  if (int rc = parsecorr(pr)) return rc;
  const bool cov = findopt(pr, "covariance", 3, 0) == 1;
  if (findopt(pr, "pairwise", 4, 0) == 1) {
    if (cov) return errmsgf(RC_SYNTAX, "options covariance and pairwise may not be combined\n");
    return pairwisecorr(pr);
  }
  if (int rc = chkopt(pr)) return rc;
  if (int rc = weightkinds(pr, true)) return rc;
  if (!pr.hasvarlist && ssvlist_all()) return st_noobs();
  try {
    if (int rc = st_sample(s, pr)) return rc;
    CorrData d;
    if (int rc = gatherall(s, d)) return rc;
    const int k = d.k;
    std::vector<char> mask(static_cast<size_t>(d.n), 0);
    for (long i = 0; i < d.n; ++i) {
      bool ok = d.w[static_cast<size_t>(i)] != 0;
      for (int e = 0; ok && e < k; ++e) ok = d.x[static_cast<size_t>(e)][static_cast<size_t>(i)] < misval;
      mask[static_cast<size_t>(i)] = ok;
    }
    Cells c;
    c.k = k;
    c.names = &d.names;
    c.val.assign(static_cast<size_t>(k * k), misval);
    std::vector<double> C(static_cast<size_t>(k * k), misval);
    double N = 0;
    for (int i = 0; i < k; ++i)
      for (int j = 0; j <= i; ++j) {
        if (stopflag) return 1;
        const PairFig f = pairfig(d, i, j, mask, s.wkind);
        N = f.N;
        const double v = cov ? f.cov : (i == j && f.rho < misval ? 1.0 : f.rho);
        C[static_cast<size_t>(i * k + j)] = C[static_cast<size_t>(j * k + i)] = v;
      }
    if (N <= 0) return st_noobs();
    c.val = C;
    if (cov) {
      c.fmt = "%9.0g";
      c.width = 10;
    }
    if (out.s_outlev <= OUT_RESULT) {
      spoutsmlf("{txt}(obs=%.15g)\n", N);
      triangle(c);
    }
    st_rclear();
    st_rscalar("N", N);
    if (k >= 2) {
      if (cov) {
        st_rscalar("cov_12", C[static_cast<size_t>(k)]);
        st_rscalar("Var_1", C[0]);
        st_rscalar("Var_2", C[static_cast<size_t>(k + 1)]);
      } else {
        st_rscalar("rho", C[static_cast<size_t>(k)]);
      }
    }
    st_rmatrix("C", k, k, C, d.names, d.names);
  } catch (const std::bad_alloc&) {
    return error(RC_NOMEM);
  }
  return 0;
}

}  // namespace

void stats_bindcorrelate() {
  cmdbind("correlate", cmd_correlate);
  by_allow("correlate", true);
}
