// The linear-model engine of anova and manova (see anova.h): codes the
// categorical variables of the sample, lays out the design columns term by
// term, accumulates the centred weighted cross products of the columns and
// the responses in two passes (means, then compensated sums of products),
// sweeps the design block (collinear columns left out, as regress does) and
// derives each term's hypothesis sums of squares and cross products.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <new>
#include <string>
#include <vector>

#include <lapacke.h>

#include "data/store.h"
#include "expr/expr.h"
#include "output/errors.h"
#include "output/format.h"
#include "output/rc.h"
#include "platform/platform.h"
#include "results/sweep.h"
#include "stats/accum.h"
#include "stats/anova.h"
#include "stats/levels.h"
#include "stats/stats.h"

namespace {

// A categorical variable of the design: its levels and each observation's level.
struct Factor {
  int var = 0;
  Levels lv;
  LvCodes code;  // per observation lo + i; -1 when not used
};

// How one term makes its columns.
struct TermPlan {
  std::vector<int> parts;       // per crossed variable: factor index, or -(variable) when continuous
  bool nested = false;
  int ncols = 0;                // columns of the term
  int off = 0;                  // its first column
  bool hascat = false;          // a categorical variable among the crossed ones
  // Nested terms: each observation's cell (of the variables it is nested
  // within) and the rank of its crossed combination within that cell.
  std::vector<int32_t> cell, rank;
  std::vector<int> cellm, celloff;  // combinations in each cell, first column of each cell's block
};

std::string trimmed(const char* s) {
  while (*s == ' ') ++s;
  return s;
}

// The name of level k of factor f: "a_2".
std::string levname(const Factor& f, int k) {
  return varname(f.var) + "_" + trimmed(sreforms("%9.0g", f.lv.vals[static_cast<size_t>(k)]));
}

// The combined key of the codes of factors fs at observation i (mixed radix);
// -1 when one of them is not used.
int64_t combokey(const std::vector<Factor>& fac, const std::vector<int>& fs, size_t i) {
  int64_t key = 0;
  for (int j : fs) {
    const Factor& f = fac[static_cast<size_t>(j)];
    const int32_t c = f.code[i];
    if (c < 0) return -1;
    key = key * f.lv.n() + c;
  }
  return key;
}

// The name of combination key of factors fs ("a_1*b_2").
std::string comboname(const std::vector<Factor>& fac, const std::vector<int>& fs, int64_t key) {
  std::vector<int> c(fs.size());
  for (size_t j = fs.size(); j-- > 0;) {
    const int L = fac[static_cast<size_t>(fs[j])].lv.n();
    c[j] = static_cast<int>(key % L);
    key /= L;
  }
  std::string s;
  for (size_t j = 0; j < fs.size(); ++j) {
    if (j) s += "*";
    s += levname(fac[static_cast<size_t>(fs[j])], c[j]);
  }
  return s;
}

// Fills the columns of term t for observation offset i into x + t.off.
void termrow(const TermPlan& t, const std::vector<Factor>& fac, long obs, size_t i, double* x) {
  double cv = 1;
  for (int p : t.parts)
    if (p < 0) cv *= zelta_data(-p, obs);
  double* out = x + t.off;
  if (t.nested) {
    std::fill(out, out + t.ncols, 0.0);
    const int c = t.cell[i], r = t.rank[i];
    const int m = t.cellm[static_cast<size_t>(c)];
    double* blk = out + t.celloff[static_cast<size_t>(c)];
    if (!t.hascat) {
      blk[0] = cv;
    } else if (r < m - 1) {
      blk[r] = cv;
    } else {
      for (int k = 0; k < m - 1; ++k) blk[k] = -cv;
    }
    return;
  }
  // Kronecker product of the effect codes, the first variable slowest.
  int len = 1;
  out[0] = cv;
  for (int p : t.parts) {
    if (p < 0) continue;
    const Factor& f = fac[static_cast<size_t>(p)];
    const int L1 = f.lv.n() - 1;
    const int32_t c = f.code[i];
    for (int a = len - 1; a >= 0; --a) {
      const double v = out[a];
      for (int k = 0; k < L1; ++k) out[a * L1 + k] = c == L1 ? -v : (c == k ? v : 0.0);
    }
    len *= L1;
  }
}

}  // namespace

int anv_fit(const AnvModel& model, const StSample& s, AnvFit& f) {
  const long n = s.hi >= s.lo ? s.hi - s.lo + 1 : 0;
  const int q = static_cast<int>(model.ys.size());
  f = AnvFit{};
  f.q = q;
  f.samplelo = s.lo;
  auto iscont = [&](int v) {
    return std::find(model.continuous.begin(), model.continuous.end(), v) != model.continuous.end();
  };
  // The complete cases and their weights.
  std::vector<int> allvars = model.ys;
  for (const AnvTerm& t : model.terms) {
    allvars.insert(allvars.end(), t.vars.begin(), t.vars.end());
    allvars.insert(allvars.end(), t.within.begin(), t.within.end());
  }
  std::sort(allvars.begin(), allvars.end());
  allvars.erase(std::unique(allvars.begin(), allvars.end()), allvars.end());
  std::vector<unsigned char> use(static_cast<size_t>(n), 0);
  std::vector<double> w(static_cast<size_t>(n), 0);
  for (long i = 0; i < n; ++i) {
    if ((i & 65535) == 0 && stopflag) return 1;
    const long obs = s.lo + i;
    bool u = s.selected(obs);
    for (size_t j = 0; u && j < allvars.size(); ++j) u = zelta_data(allvars[j], obs) < misval;
    double wi = 1;
    if (u && s.wkind) {
      wi = s.w[static_cast<size_t>(i)];
      if (int rc = st_checkweight(s.wkind, wi, &u)) return rc;
    }
    use[static_cast<size_t>(i)] = u;
    w[static_cast<size_t>(i)] = u ? wi : 0;
  }
  StSample cs;
  cs.lo = s.lo, cs.hi = s.hi, cs.sel = use;
  // The categorical variables and their levels over the complete cases.
  std::vector<Factor> fac;
  auto facindex = [&](int v) -> int {
    for (size_t j = 0; j < fac.size(); ++j)
      if (fac[j].var == v) return static_cast<int>(j);
    return -1;
  };
  for (int v : allvars) {
    if (std::find(model.ys.begin(), model.ys.end(), v) != model.ys.end() || iscont(v)) continue;
    Factor F;
    F.var = v;
    if (int rc = lv_code(v, -1, cs, false, F.lv, &F.code)) return rc;
    fac.push_back(std::move(F));
  }
  // The columns of each term.
  std::vector<TermPlan> plan(model.terms.size());
  int p = 0;
  for (size_t ti = 0; ti < model.terms.size(); ++ti) {
    const AnvTerm& t = model.terms[ti];
    TermPlan& P = plan[ti];
    P.off = p;
    std::vector<int> catf;  // the crossed categorical factors
    std::string contname;
    for (int v : t.vars) {
      if (iscont(v)) {
        P.parts.push_back(-v);
        contname += (contname.empty() ? "" : "*") + varname(v);
      } else {
        P.parts.push_back(facindex(v));
        catf.push_back(facindex(v));
        P.hascat = true;
      }
    }
    std::vector<std::string> names;
    if (t.within.empty()) {
      double cols = 1;
      for (int pi : P.parts)
        if (pi >= 0) cols *= fac[static_cast<size_t>(pi)].lv.n() - 1;
      if (static_cast<double>(p) + cols > model.maxcols)
        return errmsgf(RC_MATSIZE, "the design has more columns than matsize allows (%.0f)\n", model.maxcols);
      names.push_back("");
      for (int pi : P.parts) {
        std::vector<std::string> nn;
        if (pi < 0) {
          for (const std::string& a : names) nn.push_back(a + (a.empty() ? "" : "*") + varname(-pi));
        } else {
          const Factor& F = fac[static_cast<size_t>(pi)];
          for (const std::string& a : names)
            for (int k = 0; k + 1 < F.lv.n(); ++k) nn.push_back(a + (a.empty() ? "" : "*") + levname(F, k));
        }
        names = std::move(nn);
      }
    } else {
      P.nested = true;
      std::vector<int> wf;
      for (int v : t.within) wf.push_back(facindex(v));
      // Cells and combinations are keyed by mixed-radix numbers of the
      // levels: their product must fit in 62 bits.
      for (const std::vector<int>* fs : {&wf, &catf}) {
        double span = 1;
        for (int j : *fs) span *= fac[static_cast<size_t>(j)].lv.n();
        if (span > 4.6e18) return errmsgf(RC_TOOMANYCATS, "%s: too many categories\n", t.name.c_str());
      }
      // Cells and the crossed combinations seen in each, in sorted order.
      std::map<int64_t, std::map<int64_t, int>> cells;
      for (long i = 0; i < n; ++i) {
        if (!use[static_cast<size_t>(i)]) continue;
        const int64_t ck = combokey(fac, wf, static_cast<size_t>(i));
        const int64_t mk = P.hascat ? combokey(fac, catf, static_cast<size_t>(i)) : 0;
        cells[ck][mk] = 0;
      }
      std::map<int64_t, int> cellno;
      int c = 0, off = 0;
      for (auto& [ck, combos] : cells) {
        cellno[ck] = c++;
        int r = 0;
        for (auto& kv : combos) kv.second = r++;
        const int m = static_cast<int>(combos.size());
        P.cellm.push_back(m);
        P.celloff.push_back(off);
        const std::string cn = comboname(fac, wf, ck);
        if (!P.hascat) {
          names.push_back(contname + "|" + cn);
          off += 1;
        } else {
          for (const auto& kv : combos) {
            if (kv.second == m - 1) break;
            names.push_back(comboname(fac, catf, kv.first) + (contname.empty() ? "" : "*" + contname) + "|" + cn);
          }
          off += m - 1;
        }
      }
      P.cell.assign(static_cast<size_t>(n), 0);
      P.rank.assign(static_cast<size_t>(n), 0);
      for (long i = 0; i < n; ++i) {
        if (!use[static_cast<size_t>(i)]) continue;
        const int64_t ck = combokey(fac, wf, static_cast<size_t>(i));
        const int64_t mk = P.hascat ? combokey(fac, catf, static_cast<size_t>(i)) : 0;
        P.cell[static_cast<size_t>(i)] = cellno[ck];
        P.rank[static_cast<size_t>(i)] = cells[ck][mk];
      }
    }
    if (static_cast<double>(p) + static_cast<double>(names.size()) > model.maxcols)
      return errmsgf(RC_MATSIZE, "the design has more columns than matsize allows (%.0f)\n", model.maxcols);
    P.ncols = static_cast<int>(names.size());
    for (std::string& nm : names) f.cols.push_back(AnvColumn{static_cast<int>(ti), std::move(nm), false});
    p += P.ncols;
  }
  const int m = p + q;
  // The row of observation i: the design columns, then the responses. A
  // term's Kronecker product needs room for its widest partial product.
  int maxcols = 1;
  for (const TermPlan& P : plan) maxcols = std::max(maxcols, P.ncols);
  std::vector<double> z(static_cast<size_t>(m + maxcols));
  auto row = [&](long i) {
    const long obs = s.lo + i;
    for (const TermPlan& P : plan) termrow(P, fac, obs, static_cast<size_t>(i), z.data());
    for (int j = 0; j < q; ++j) z[static_cast<size_t>(p + j)] = zelta_data(model.ys[static_cast<size_t>(j)], obs);
  };
  // Pass 1: counts and weighted means.
  std::vector<Accum> sum(static_cast<size_t>(m));
  Accum sw;
  long cnt = 0;
  f.sample.assign(static_cast<size_t>(n), 0);
  for (long i = 0; i < n; ++i) {
    if ((i & 65535) == 0 && stopflag) return 1;
    if (!use[static_cast<size_t>(i)]) continue;
    f.sample[static_cast<size_t>(i)] = 1;
    ++cnt;
    const double wi = w[static_cast<size_t>(i)];
    sw.add(wi);
    row(i);
    for (int j = 0; j < m; ++j) sum[static_cast<size_t>(j)].add(wi * z[static_cast<size_t>(j)]);
  }
  if (cnt == 0) return st_noobs();
  double W = sw.value();
  std::vector<double> mean(static_cast<size_t>(m));
  for (int j = 0; j < m; ++j) mean[static_cast<size_t>(j)] = sum[static_cast<size_t>(j)].value() / W;
  // Pass 2: the centred cross products (lower triangle).
  std::vector<Accum> xp(static_cast<size_t>(m) * static_cast<size_t>(m + 1) / 2);
  std::vector<double> d(static_cast<size_t>(m));
  for (long i = 0; i < n; ++i) {
    if ((i & 65535) == 0 && stopflag) return 1;
    if (!use[static_cast<size_t>(i)]) continue;
    const double wi = w[static_cast<size_t>(i)];
    row(i);
    for (int j = 0; j < m; ++j) d[static_cast<size_t>(j)] = z[static_cast<size_t>(j)] - mean[static_cast<size_t>(j)];
    size_t k = 0;
    for (int a = 0; a < m; ++a) {
      const double wa = wi * d[static_cast<size_t>(a)];
      for (int c = 0; c <= a; ++c, ++k) xp[k].add(wa * d[static_cast<size_t>(c)]);
    }
  }
  // aweights are scaled to sum to the number of observations.
  const double wscale = s.wkind == WK_A ? static_cast<double>(cnt) / W : 1;
  std::vector<double> A(static_cast<size_t>(m) * static_cast<size_t>(m));
  auto at = [&](std::vector<double>& M, int r, int c) -> double& { return M[static_cast<size_t>(r) * static_cast<size_t>(m) + static_cast<size_t>(c)]; };
  {
    size_t k = 0;
    for (int a = 0; a < m; ++a)
      for (int c = 0; c <= a; ++c, ++k) at(A, a, c) = at(A, c, a) = xp[k].value() * wscale;
  }
  W *= wscale;
  f.W = W;
  f.n = cnt;
  f.N = s.wkind == WK_F ? std::round(W) : static_cast<double>(cnt);
  f.xmean.assign(mean.begin(), mean.begin() + p);
  f.ymean.assign(mean.begin() + p, mean.end());
  for (size_t k = 0; k < fac.size(); ++k) {
    f.catvars.push_back(fac[k].var);
    f.catlevels.push_back(fac[k].lv.vals);
  }

  // The design block and its sweep inverse.
  f.inv.assign(static_cast<size_t>(p) * static_cast<size_t>(p), 0);
  for (int a = 0; a < p; ++a)
    for (int c = 0; c < p; ++c) f.inv[static_cast<size_t>(a * p + c)] = at(A, a, c);
  std::vector<unsigned char> swept(static_cast<size_t>(p), 0);
  SweepResult sr = p > 0 ? sweep_inverse(f.inv.data(), p, p, swept.data()) : SweepResult{};
  if (sr.broke) return 1;
  f.rank = sr.rank;
  for (int a = 0; a < p; ++a) f.cols[static_cast<size_t>(a)].dropped = !swept[static_cast<size_t>(a)];
  // Coefficients, total and residual SSCP.
  f.B.assign(static_cast<size_t>(p) * static_cast<size_t>(q), 0);
  for (int a = 0; a < p; ++a) {
    if (!swept[static_cast<size_t>(a)]) continue;
    for (int j = 0; j < q; ++j) {
      Accum acc;
      for (int c = 0; c < p; ++c) acc.add(f.inv[static_cast<size_t>(a * p + c)] * at(A, c, p + j));
      f.B[static_cast<size_t>(a * q + j)] = acc.value();
    }
  }
  f.T.assign(static_cast<size_t>(q * q), 0);
  f.E.assign(static_cast<size_t>(q * q), 0);
  for (int a = 0; a < q; ++a)
    for (int b = 0; b < q; ++b) {
      f.T[static_cast<size_t>(a * q + b)] = at(A, p + a, p + b);
      Accum acc;
      acc.add(at(A, p + a, p + b));
      for (int k = 0; k < p; ++k) acc.add(-at(A, k, p + a) * f.B[static_cast<size_t>(k * q + b)]);
      f.E[static_cast<size_t>(a * q + b)] = acc.value();
    }
  // Symmetrise E against rounding.
  for (int a = 0; a < q; ++a)
    for (int b = 0; b < a; ++b) {
      const double v = 0.5 * (f.E[static_cast<size_t>(a * q + b)] + f.E[static_cast<size_t>(b * q + a)]);
      f.E[static_cast<size_t>(a * q + b)] = f.E[static_cast<size_t>(b * q + a)] = v;
    }
  // Each term's hypothesis SSCP and df.
  const size_t nt = model.terms.size();
  f.H.assign(nt, std::vector<double>(static_cast<size_t>(q * q), 0));
  f.df.assign(nt, 0);
  if (model.sequential) {
    // Sweep the pivots of the augmented matrix term by term; the drop of the
    // responses' block is the term's sequential SSCP.
    std::vector<double> G = A;
    std::vector<double> prev(static_cast<size_t>(q * q));
    for (int a = 0; a < q; ++a)
      for (int b = 0; b < q; ++b) prev[static_cast<size_t>(a * q + b)] = at(G, p + a, p + b);
    for (size_t ti = 0; ti < nt; ++ti) {
      const TermPlan& P = plan[ti];
      for (int k = P.off; k < P.off + P.ncols; ++k) {
        if (!swept[static_cast<size_t>(k)]) continue;
        (void)sweep_pivot(G.data(), m, m, k);
        ++f.df[ti];
      }
      for (int a = 0; a < q; ++a)
        for (int b = 0; b < q; ++b) {
          const double cur = at(G, p + a, p + b);
          f.H[ti][static_cast<size_t>(a * q + b)] = prev[static_cast<size_t>(a * q + b)] - cur;
          prev[static_cast<size_t>(a * q + b)] = cur;
        }
    }
    return 0;
  }
  for (size_t ti = 0; ti < nt; ++ti) {
    const TermPlan& P = plan[ti];
    std::vector<int> K;
    for (int k = P.off; k < P.off + P.ncols; ++k)
      if (swept[static_cast<size_t>(k)]) K.push_back(k);
    const int r = static_cast<int>(K.size());
    f.df[ti] = r;
    if (r == 0) continue;
    // H = B_K' (inv_KK)^-1 B_K
    std::vector<double> M(static_cast<size_t>(r * r));
    for (int a = 0; a < r; ++a)
      for (int c = 0; c < r; ++c)
        M[static_cast<size_t>(a * r + c)] = f.inv[static_cast<size_t>(K[static_cast<size_t>(a)] * p + K[static_cast<size_t>(c)])];
    std::vector<unsigned char> ok(static_cast<size_t>(r));
    if (sweep_inverse(M.data(), r, r, ok.data()).broke) return 1;
    for (int a = 0; a < q; ++a)
      for (int b = 0; b < q; ++b) {
        Accum acc;
        for (int i = 0; i < r; ++i)
          for (int j = 0; j < r; ++j)
            acc.add(f.B[static_cast<size_t>(K[static_cast<size_t>(i)] * q + a)] * M[static_cast<size_t>(i * r + j)] *
                    f.B[static_cast<size_t>(K[static_cast<size_t>(j)] * q + b)]);
        f.H[ti][static_cast<size_t>(a * q + b)] = acc.value();
      }
  }
  return 0;
}

int anv_mvtest(const std::vector<double>& H, const std::vector<double>& E, int q, double dfh, double dfe,
               AnvMvTest& t) {
  for (int k = 0; k < 4; ++k) t.stat[k] = t.F[k] = t.df1[k] = t.df2[k] = t.p[k] = misval, t.exact[k] = false;
  if (dfh <= 0) return 0;
  // The eigenvalues of E^-1 H: the generalised symmetric problem H x = l E x.
  std::vector<double> a = H, b = E, lam(static_cast<size_t>(q));
  const lapack_int info = LAPACKE_dsygv(LAPACK_ROW_MAJOR, 1, 'N', 'L', q, a.data(), q, b.data(), q, lam.data());
  if (info > q) return errmsgf(RC_NOTPOSDEF, "the residual sums of squares and cross products are singular\n");
  if (info != 0) return errmsgf(RC_NOTPOSDEF, "eigenvalues of the hypothesis matrix not found\n");
  for (double& l : lam)
    if (l < 0) l = 0;
  const double p = q, h = dfh;
  const double s = std::min(p, h), m = 0.5 * (std::fabs(p - h) - 1), nn = 0.5 * (dfe - p - 1);
  double wilks = 1, pillai = 0, lh = 0, roy = 0;
  for (double l : lam) {
    wilks /= 1 + l;
    pillai += l / (1 + l);
    lh += l;
    roy = std::max(roy, l);
  }
  // Wilks: Rao's F.
  {
    const double r = dfe - 0.5 * (p - h + 1), u = (p * h - 2) / 4, d = p * p + h * h - 5;
    const double tt = d > 0 ? std::sqrt((p * p * h * h - 4) / d) : 1;
    t.stat[0] = wilks;
    t.df1[0] = p * h;
    t.df2[0] = r * tt - 2 * u;
    t.F[0] = (std::pow(wilks, -1 / tt) - 1) * t.df2[0] / t.df1[0];
    t.exact[0] = s <= 2;
  }
  // Pillai.
  t.stat[1] = pillai;
  t.df1[1] = s * (2 * m + s + 1);
  t.df2[1] = s * (2 * nn + s + 1);
  t.F[1] = (2 * nn + s + 1) / (2 * m + s + 1) * pillai / (s - pillai);
  t.exact[1] = s == 1;
  // Lawley-Hotelling.
  t.stat[2] = lh;
  t.df1[2] = s * (2 * m + s + 1);
  t.df2[2] = 2 * (s * nn + 1);
  t.F[2] = t.df2[2] * lh / (s * s * (2 * m + s + 1));
  t.exact[2] = s == 1;
  // Roy: an upper bound on F.
  {
    const double mx = std::max(p, h);
    t.stat[3] = roy;
    t.df1[3] = mx;
    t.df2[3] = dfe - mx + h;
    t.F[3] = t.df2[3] * roy / mx;
    t.exact[3] = s == 1;
  }
  for (int k = 0; k < 4; ++k) {
    if (!(t.F[k] >= 0 && t.F[k] < misval && t.df1[k] > 0 && t.df2[k] > 0)) {
      t.F[k] = t.p[k] = misval;
      continue;
    }
    t.p[k] = fn_Ftail(t.df1[k], t.df2[k], t.F[k]);
  }
  return 0;
}
