// The likelihood engine: evaluation of a model's log likelihood, gradient
// and Hessian over its data a block of observations at a time, the
// Newton-Raphson maximiser with step halving, the sandwich variance and the
// collinearity search. No parsing or printing here (see mlmax.h).
#include "stats/mlmax.h"

#include <cblas.h>
#include <lapacke.h>

#include <algorithm>
#include <boost/math/special_functions/gamma.hpp>
#include <cmath>
#include <thread>
#include <unordered_map>

#include "data/value.h"
#include "platform/platform.h"
#include "results/sweep.h"

namespace {

constexpr long MLBLK = 2048;  // observations evaluated together

// A compensated running sum.
struct Ksum {
  double s = 0, c = 0;
  void add(double x) {
    const double t = s + x;
    c += std::fabs(s) >= std::fabs(x) ? (s - t) + x : (x - t) + s;
    s = t;
  }
  double value() const { return s + c; }
};

}  // namespace

double MlData::wsum() const {
  if (w.empty()) return static_cast<double>(n);
  Ksum k;
  for (double v : w) k.add(v);
  return k.value();
}

int MlModel::nparam() const {
  int p = 0;
  for (const MlEq& e : eqs) p += e.size();
  return p;
}

namespace {

// The sums one worker gathers over its blocks: the log likelihood, the
// gradient and the lower triangle of the Hessian (P x P).
struct Sums {
  Ksum L;
  std::vector<Ksum> G;
  std::vector<double> H;
  int rc = 0;
};

// Observations [lo, hi) of d at b, a block at a time, into acc; per-row
// scores into scores (rows lo..hi-1) when not null.
void runblocks(const MlModel& m, const MlData& d, const std::vector<double>& b, int todo, long lo, long hi,
               Sums& acc, std::vector<double>* scores) {
  const int E = static_cast<int>(m.eqs.size());
  const int P = m.nparam();
  std::vector<int> start(static_cast<size_t>(E + 1), 0);
  for (int e = 0; e < E; ++e) start[static_cast<size_t>(e + 1)] = start[static_cast<size_t>(e)] + m.eqs[static_cast<size_t>(e)].size();
  const size_t nq = static_cast<size_t>(E * (E + 1) / 2);
  std::vector<double> eta(static_cast<size_t>(E) * MLBLK), d1(static_cast<size_t>(E) * MLBLK),
      d2(nq * MLBLK), lli(MLBLK), tmp(MLBLK), xe, yf, hb;
  std::vector<const double*> etap(static_cast<size_t>(E));
  std::vector<double*> d1p(static_cast<size_t>(E)), d2p(nq);
  for (int e = 0; e < E; ++e) {
    etap[static_cast<size_t>(e)] = eta.data() + static_cast<size_t>(e) * MLBLK;
    d1p[static_cast<size_t>(e)] = d1.data() + static_cast<size_t>(e) * MLBLK;
  }
  for (size_t q = 0; q < nq; ++q) d2p[q] = d2.data() + q * MLBLK;
  acc.G.assign(todo >= 1 ? static_cast<size_t>(P) : 0, Ksum{});
  acc.H.assign(todo >= 2 ? static_cast<size_t>(P) * static_cast<size_t>(P) : 0, 0);
  const bool wt = !d.w.empty();
  for (long i0 = lo; i0 < hi; i0 += MLBLK) {
    if (stopflag) {
      acc.rc = ML_BREAK;
      return;
    }
    const long mm = std::min(MLBLK, hi - i0);
    for (int e = 0; e < E; ++e) {
      const MlEq& q = m.eqs[static_cast<size_t>(e)];
      double* et = eta.data() + static_cast<size_t>(e) * MLBLK;
      const double* be = b.data() + start[static_cast<size_t>(e)];
      const double c0 = q.cons ? be[q.cols.size()] : 0;
      for (long i = 0; i < mm; ++i) et[i] = c0;
      if (e == 0 && !d.off.empty())
        for (long i = 0; i < mm; ++i) et[i] += d.off[static_cast<size_t>(i0 + i)];
      for (size_t j = 0; j < q.cols.size(); ++j) {
        const double bj = be[j];
        const double* xc = d.x[static_cast<size_t>(q.cols[j])].data() + i0;
        for (long i = 0; i < mm; ++i) et[i] += bj * xc[i];
      }
    }
    if (int rc = m.block(i0, mm, etap.data(), todo, lli.data(), d1p.data(), d2p.data())) {
      acc.rc = rc;
      return;
    }
    const double* wv = wt ? d.w.data() + i0 : nullptr;
    double bs = 0;
    for (long i = 0; i < mm; ++i) bs += wt ? wv[i] * lli[static_cast<size_t>(i)] : lli[static_cast<size_t>(i)];
    if (!std::isfinite(bs)) {
      acc.rc = ML_NOINIT;
      return;
    }
    acc.L.add(bs);
    if (todo < 1) continue;
    for (int e = 0; e < E; ++e) {
      const MlEq& q = m.eqs[static_cast<size_t>(e)];
      const double* de = d1p[static_cast<size_t>(e)];
      for (long i = 0; i < mm; ++i) tmp[static_cast<size_t>(i)] = wt ? wv[i] * de[i] : de[i];
      const int s0 = start[static_cast<size_t>(e)];
      for (size_t j = 0; j < q.cols.size(); ++j) {
        const double* xc = d.x[static_cast<size_t>(q.cols[j])].data() + i0;
        double a0 = 0, a1 = 0, a2 = 0, a3 = 0;
        long i = 0;
        for (; i + 4 <= mm; i += 4) {
          a0 += tmp[static_cast<size_t>(i)] * xc[i];
          a1 += tmp[static_cast<size_t>(i + 1)] * xc[i + 1];
          a2 += tmp[static_cast<size_t>(i + 2)] * xc[i + 2];
          a3 += tmp[static_cast<size_t>(i + 3)] * xc[i + 3];
        }
        for (; i < mm; ++i) a0 += tmp[static_cast<size_t>(i)] * xc[i];
        acc.G[static_cast<size_t>(s0) + j].add((a0 + a1) + (a2 + a3));
        if (scores)
          for (long r = 0; r < mm; ++r)
            (*scores)[static_cast<size_t>(i0 + r) * static_cast<size_t>(P) + static_cast<size_t>(s0) + j] =
                tmp[static_cast<size_t>(r)] * xc[r];
      }
      if (q.cons) {
        double a = 0;
        for (long i = 0; i < mm; ++i) a += tmp[static_cast<size_t>(i)];
        acc.G[static_cast<size_t>(s0) + q.cols.size()].add(a);
        if (scores)
          for (long i = 0; i < mm; ++i)
            (*scores)[static_cast<size_t>(i0 + i) * static_cast<size_t>(P) + static_cast<size_t>(s0) + q.cols.size()] =
                tmp[static_cast<size_t>(i)];
      }
    }
    if (todo < 2) continue;
    // The Hessian block of each pair of equations, X_e' diag(w d2) X_f: on
    // the diagonal, where w d2 <= 0 throughout (concave models), one
    // symmetric rank-k update of the rows scaled by sqrt(-w d2); else one
    // matrix product.
    for (int e = 0; e < E; ++e)
      for (int f = 0; f <= e; ++f) {
        const double* dq = d2p[static_cast<size_t>(e * (e + 1) / 2 + f)];
        const MlEq& qe = m.eqs[static_cast<size_t>(e)];
        const MlEq& qf = m.eqs[static_cast<size_t>(f)];
        const int ne = qe.size(), nf = qf.size();
        bool syrk = e == f;
        if (syrk)
          for (long i = 0; i < mm && syrk; ++i) syrk = (wt ? wv[i] * dq[i] : dq[i]) <= 0;
        yf.resize(static_cast<size_t>(nf) * static_cast<size_t>(mm));
        if (syrk) {
          for (long i = 0; i < mm; ++i) tmp[static_cast<size_t>(i)] = std::sqrt(-(wt ? wv[i] * dq[i] : dq[i]));
        }
        for (int c = 0; c < nf; ++c) {
          double* dst = yf.data() + static_cast<size_t>(c) * static_cast<size_t>(mm);
          const double* xc = c < static_cast<int>(qf.cols.size()) ? d.x[static_cast<size_t>(qf.cols[static_cast<size_t>(c)])].data() + i0 : nullptr;
          if (syrk) {
            for (long i = 0; i < mm; ++i) dst[i] = xc ? tmp[static_cast<size_t>(i)] * xc[i] : tmp[static_cast<size_t>(i)];
            continue;
          }
          for (long i = 0; i < mm; ++i) {
            const double wd = wt ? wv[i] * dq[i] : dq[i];
            dst[i] = xc ? wd * xc[i] : wd;
          }
        }
        hb.assign(static_cast<size_t>(ne) * static_cast<size_t>(nf), 0);
        if (syrk) {
          cblas_dsyrk(CblasColMajor, CblasLower, CblasTrans, ne, static_cast<int>(mm), -1.0, yf.data(),
                      static_cast<int>(mm), 0.0, hb.data(), ne);
        } else {
          xe.resize(static_cast<size_t>(ne) * static_cast<size_t>(mm));
          for (int a = 0; a < ne; ++a) {
            double* dst = xe.data() + static_cast<size_t>(a) * static_cast<size_t>(mm);
            if (a < static_cast<int>(qe.cols.size()))
              std::copy_n(d.x[static_cast<size_t>(qe.cols[static_cast<size_t>(a)])].data() + i0, mm, dst);
            else
              std::fill_n(dst, mm, 1.0);
          }
          cblas_dgemm(CblasColMajor, CblasTrans, CblasNoTrans, ne, nf, static_cast<int>(mm), 1.0, xe.data(),
                      static_cast<int>(mm), yf.data(), static_cast<int>(mm), 0.0, hb.data(), ne);
        }
        for (int a = 0; a < ne; ++a)
          for (int c = 0; c < (e == f ? a + 1 : nf); ++c) {
            const size_t r = static_cast<size_t>(start[static_cast<size_t>(e)] + a),
                         cc = static_cast<size_t>(start[static_cast<size_t>(f)] + c);
            acc.H[r * static_cast<size_t>(P) + cc] += hb[static_cast<size_t>(a) + static_cast<size_t>(c) * static_cast<size_t>(ne)];
          }
      }
  }
}

// Observations from which a second worker takes half of the blocks.
constexpr long MLPAR = 16 * MLBLK;

}  // namespace

int ml_eval(const MlModel& m, const MlData& d, const std::vector<double>& b, int todo, double* ll,
            std::vector<double>* g, std::vector<double>* nH, std::vector<double>* scores) {
  if (m.whole) {
    if (stopflag) return ML_BREAK;
    const int rc = m.whole(b, todo, ll, g, nH, scores);
    if (rc == 0 && !std::isfinite(*ll)) return ML_NOINIT;
    return rc;
  }
  const int P = m.nparam();
  if (scores) scores->assign(static_cast<size_t>(d.n) * static_cast<size_t>(P), 0);
  // Two workers over halves of the blocks (the split fixed by n alone, so
  // the sums are the same from run to run); the halves' sums then added.
  Sums s[2];
  const long nb = (d.n + MLBLK - 1) / MLBLK;
  const long mid = d.n >= MLPAR ? std::min(d.n, (nb / 2) * MLBLK) : d.n;
  if (mid < d.n && plat_onethread()) {
    runblocks(m, d, b, todo, 0, mid, s[0], scores);
    runblocks(m, d, b, todo, mid, d.n, s[1], scores);
  } else if (mid < d.n) {
    std::thread t([&] { runblocks(m, d, b, todo, mid, d.n, s[1], scores); });
    runblocks(m, d, b, todo, 0, mid, s[0], scores);
    t.join();
  } else {
    runblocks(m, d, b, todo, 0, d.n, s[0], scores);
  }
  for (const Sums& a : s)
    if (a.rc) return a.rc;
  const bool two = mid < d.n;
  Ksum L = s[0].L;
  if (two) L.add(s[1].L.value());
  *ll = L.value();
  if (todo >= 1 && g) {
    g->resize(static_cast<size_t>(P));
    for (int j = 0; j < P; ++j) {
      Ksum k = s[0].G[static_cast<size_t>(j)];
      if (two) k.add(s[1].G[static_cast<size_t>(j)].value());
      (*g)[static_cast<size_t>(j)] = k.value();
    }
  }
  if (todo >= 2 && nH) {
    nH->assign(static_cast<size_t>(P) * static_cast<size_t>(P), 0);
    for (int r = 0; r < P; ++r)
      for (int c = 0; c <= r; ++c) {
        const size_t at = static_cast<size_t>(r * P + c);
        const double v = -(s[0].H[at] + (two ? s[1].H[at] : 0));
        (*nH)[at] = (*nH)[static_cast<size_t>(c * P + r)] = v;
      }
  }
  return 0;
}

bool ml_invpd(std::vector<double>& a, int P) {
  if (P == 0) return true;
  if (LAPACKE_dpotrf(LAPACK_ROW_MAJOR, 'L', P, a.data(), P) != 0) return false;
  if (LAPACKE_dpotri(LAPACK_ROW_MAJOR, 'L', P, a.data(), P) != 0) return false;
  for (int r = 0; r < P; ++r)
    for (int c = r + 1; c < P; ++c) a[static_cast<size_t>(r * P + c)] = a[static_cast<size_t>(c * P + r)];
  return true;
}

namespace {

// The Newton direction (-H)^-1 g. When -H is not positive definite, a ridge
// grows on its diagonal until it is (notconcave set).
std::vector<double> direction(const std::vector<double>& nH, const std::vector<double>& g, int P,
                              bool* notconcave, std::vector<double>& inv) {
  inv = nH;
  *notconcave = false;
  if (!ml_invpd(inv, P)) {
    *notconcave = true;
    double scale = 0;
    for (int j = 0; j < P; ++j) scale = std::max(scale, std::fabs(nH[static_cast<size_t>(j * P + j)]));
    if (scale == 0) scale = 1;
    for (double lam = 1e-8 * scale;; lam *= 10) {
      inv = nH;
      for (int j = 0; j < P; ++j) inv[static_cast<size_t>(j * P + j)] += lam + std::fabs(nH[static_cast<size_t>(j * P + j)]) * 1e-8;
      if (ml_invpd(inv, P) || lam > 1e30 * scale) break;
    }
  }
  std::vector<double> s(static_cast<size_t>(P), 0);
  for (int r = 0; r < P; ++r) {
    double acc = 0;
    for (int c = 0; c < P; ++c) acc += inv[static_cast<size_t>(r * P + c)] * g[static_cast<size_t>(c)];
    s[static_cast<size_t>(r)] = acc;
  }
  return s;
}

}  // namespace

int ml_maximize(const MlModel& m, const MlData& d, std::vector<double> b, const MlOpts& o, MlResult& r) {
  const int P = m.nparam();
  double ll = 0;
  std::vector<double> g, nH, inv;
  int rc = ml_eval(m, d, b, 2, &ll, &g, &nH);
  if (rc == ML_BREAK) return rc;
  if (rc) return ML_NOINIT;
  double llprev = ll;
  int iter = 0;
  bool converged = false;
  const char* note = "";
  // Set when the last step had to back up and then only held the likelihood
  // level with the gradient flat: rounding noise, since a likelihood's sums
  // vary in their last digits with b. The scaled gradient may never fall
  // below nrtol there, and the search would creep on until maxiter.
  bool flat = false;
  while (true) {
    bool notconcave = false;
    std::vector<double> s = direction(nH, g, P, &notconcave, inv);
    if (o.log) o.log(iter, ll, notconcave ? "(not concave)" : note);
    double sg = 0;
    for (int j = 0; j < P; ++j) sg += s[static_cast<size_t>(j)] * g[static_cast<size_t>(j)];
    const double rel = std::fabs(ll - llprev) / (std::fabs(llprev) + 1e-300);
    // (Where the Hessian is not negative definite the ridged direction
    // still measures the gradient: a flat ridge, such as a variance
    // parameter going to its boundary, ends here too.)
    if (iter > 0 && ((rel < o.ltol && std::fabs(sg) < o.nrtol) || flat)) {
      converged = true;
      break;
    }
    if (iter >= o.maxiter) break;
    // Step halving until the likelihood does not fall.
    std::vector<double> bn(static_cast<size_t>(P));
    double lln = 0;
    bool ok = false;
    double t = 1;
    note = "";
    // The full step is evaluated with its derivatives (kept when it is
    // taken, as it mostly is); shorter ones by the likelihood alone.
    std::vector<double> gn, nHn;
    bool withd = false;
    for (int h = 0; h < 60; ++h, t /= 2) {
      for (int j = 0; j < P; ++j) bn[static_cast<size_t>(j)] = b[static_cast<size_t>(j)] + t * s[static_cast<size_t>(j)];
      rc = ml_eval(m, d, bn, h == 0 ? 2 : 0, &lln, &gn, &nHn);
      if (rc == ML_BREAK) return rc;
      if (rc == 0 && lln >= ll) {
        ok = true;
        withd = h == 0;
        break;
      }
      note = "(backed up)";
    }
    ++iter;
    if (!ok) {
      // No step improves the likelihood: the optimum to working precision
      // when the gradient is flat, else the search is stuck.
      if (std::fabs(sg) < 1e-6 && !notconcave) {
        converged = true;
        --iter;
        break;
      }
      if (iter >= o.maxiter) break;
      continue;
    }
    flat = !withd && lln <= ll && std::fabs(sg) < 1e-6 && !notconcave;
    llprev = ll;
    b = bn;
    if (withd) {
      ll = lln;
      g = std::move(gn);
      nH = std::move(nHn);
      continue;
    }
    rc = ml_eval(m, d, b, 2, &ll, &g, &nH);
    if (rc == ML_BREAK) return rc;
    if (rc) return ML_NOINIT;
  }
  r.b = b;
  r.ll = ll;
  r.g = g;
  r.iter = iter;
  r.converged = converged;
  r.V = nH;
  if (!ml_invpd(r.V, P)) {
    // A singular information matrix: the generalised inverse by sweeping.
    r.V = nH;
    (void)sweep_inverse(r.V.data(), P, P, nullptr);
    for (int a = 0; a < P; ++a)
      for (int c = 0; c < a; ++c) r.V[static_cast<size_t>(c * P + a)] = r.V[static_cast<size_t>(a * P + c)];
  }
  return converged ? ML_OK : ML_NOTCONV;
}

long ml_robust(std::vector<double>& V, int P, long n, const std::vector<double>& scores, const double* rep,
               const double* clust, double minus) {
  std::vector<double> meat(static_cast<size_t>(P) * static_cast<size_t>(P), 0);
  long G = 0;
  double N = 0;
  if (clust) {
    std::unordered_map<double, size_t> at;
    std::vector<std::vector<double>> sums;
    for (long i = 0; i < n; ++i) {
      auto [it, isnew] = at.try_emplace(clust[i], sums.size());
      if (isnew) sums.emplace_back(static_cast<size_t>(P), 0);
      std::vector<double>& s = sums[it->second];
      const double* u = scores.data() + static_cast<size_t>(i) * static_cast<size_t>(P);
      for (int j = 0; j < P; ++j) s[static_cast<size_t>(j)] += u[j];
    }
    for (const auto& s : sums)
      for (int a = 0; a < P; ++a)
        for (int c = 0; c <= a; ++c) meat[static_cast<size_t>(a * P + c)] += s[static_cast<size_t>(a)] * s[static_cast<size_t>(c)];
    G = static_cast<long>(sums.size());
    N = static_cast<double>(G);
  } else {
    for (long i = 0; i < n; ++i) {
      const double* u = scores.data() + static_cast<size_t>(i) * static_cast<size_t>(P);
      const double f = rep ? 1 / rep[i] : 1;
      for (int a = 0; a < P; ++a) {
        const double ua = u[a] * f;
        for (int c = 0; c <= a; ++c) meat[static_cast<size_t>(a * P + c)] += ua * u[c];
      }
      N += rep ? rep[i] : 1;
    }
  }
  for (int a = 0; a < P; ++a)
    for (int c = 0; c < a; ++c) meat[static_cast<size_t>(c * P + a)] = meat[static_cast<size_t>(a * P + c)];
  const double dm = clust ? 1 : minus;
  const double fac = N > dm ? N / (N - dm) : misval;
  std::vector<double> t(meat.size(), 0), out(meat.size(), 0);
  for (int a = 0; a < P; ++a)
    for (int c = 0; c < P; ++c) {
      double acc = 0;
      for (int k = 0; k < P; ++k) acc += V[static_cast<size_t>(a * P + k)] * meat[static_cast<size_t>(k * P + c)];
      t[static_cast<size_t>(a * P + c)] = acc;
    }
  for (int a = 0; a < P; ++a)
    for (int c = 0; c < P; ++c) {
      double acc = 0;
      for (int k = 0; k < P; ++k) acc += t[static_cast<size_t>(a * P + k)] * V[static_cast<size_t>(k * P + c)];
      out[static_cast<size_t>(a * P + c)] = fac < misval ? acc * fac : misval;
    }
  V = std::move(out);
  return G;
}

void ml_collinear(const std::vector<const double*>& cols, long n, const double* w, bool cons,
                  std::vector<unsigned char>& keep) {
  const int k = static_cast<int>(cols.size());
  keep.assign(static_cast<size_t>(k), 1);
  if (k == 0) return;
  // Cross products of the columns about their (weighted) means, or raw
  // without a constant, scaled to unit diagonal so the sweep's relative
  // tolerance sees every column alike.
  std::vector<double> mean(static_cast<size_t>(k), 0);
  double W = 0;
  for (long i = 0; i < n; ++i) W += w ? w[i] : 1;
  if (cons && W > 0)
    for (int j = 0; j < k; ++j) {
      Ksum s;
      for (long i0 = 0; i0 < n; i0 += MLBLK) {
        const long mm = std::min(MLBLK, n - i0);
        double t = 0;
        for (long i = i0; i < i0 + mm; ++i) t += (w ? w[i] : 1) * cols[static_cast<size_t>(j)][i];
        s.add(t);
      }
      mean[static_cast<size_t>(j)] = s.value() / W;
    }
  // Deviations a block at a time; each block's products summed plainly,
  // the block sums compensated.
  std::vector<double> A(static_cast<size_t>(k) * static_cast<size_t>(k), 0);
  std::vector<Ksum> acc(static_cast<size_t>(k) * static_cast<size_t>(k));
  std::vector<double> dv(static_cast<size_t>(k) * MLBLK), blk(static_cast<size_t>(k) * static_cast<size_t>(k));
  for (long i0 = 0; i0 < n; i0 += MLBLK) {
    const long mm = std::min(MLBLK, n - i0);
    for (int a = 0; a < k; ++a) {
      double* da = dv.data() + static_cast<size_t>(a) * MLBLK;
      const double ma = mean[static_cast<size_t>(a)];
      for (long i = 0; i < mm; ++i) da[i] = cols[static_cast<size_t>(a)][i0 + i] - ma;
    }
    // Weights not negative: the products by one symmetric rank-k update of
    // the deviations scaled by sqrt(w).
    bool nonneg = true;
    if (w)
      for (long i = 0; i < mm && nonneg; ++i) nonneg = w[i0 + i] >= 0;
    if (nonneg) {
      if (w)
        for (int a = 0; a < k; ++a) {
          double* da = dv.data() + static_cast<size_t>(a) * MLBLK;
          for (long i = 0; i < mm; ++i) da[i] *= std::sqrt(w[i0 + i]);
        }
      cblas_dsyrk(CblasColMajor, CblasLower, CblasTrans, k, static_cast<int>(mm), 1.0, dv.data(), static_cast<int>(MLBLK),
                  0.0, blk.data(), k);
      for (int a = 0; a < k; ++a)
        for (int c = 0; c <= a; ++c) acc[static_cast<size_t>(a * k + c)].add(blk[static_cast<size_t>(a + c * k)]);
      continue;
    }
    for (int a = 0; a < k; ++a) {
      const double* da = dv.data() + static_cast<size_t>(a) * MLBLK;
      for (int c = 0; c <= a; ++c) {
        const double* dc = dv.data() + static_cast<size_t>(c) * MLBLK;
        double t = 0;
        for (long i = 0; i < mm; ++i) t += w[i0 + i] * da[i] * dc[i];
        acc[static_cast<size_t>(a * k + c)].add(t);
      }
    }
  }
  for (int a = 0; a < k; ++a)
    for (int c = 0; c <= a; ++c)
      A[static_cast<size_t>(a * k + c)] = A[static_cast<size_t>(c * k + a)] = acc[static_cast<size_t>(a * k + c)].value();
  std::vector<unsigned char> swept(static_cast<size_t>(k), 0);
  (void)sweep_inverse(A.data(), k, k, swept.data());
  keep = swept;
}

double ml_chi2tail(double df, double x) {
  if (!(df > 0) || !(x >= 0) || x >= misval) return misval;
  return boost::math::gamma_q(df / 2, x / 2);
}

double ml_wald(const std::vector<double>& b, const std::vector<double>& V, int P, const std::vector<int>& which) {
  const int q = static_cast<int>(which.size());
  if (q == 0) return misval;
  std::vector<double> v(static_cast<size_t>(q * q));
  for (int a = 0; a < q; ++a)
    for (int c = 0; c < q; ++c)
      v[static_cast<size_t>(a * q + c)] = V[static_cast<size_t>(which[static_cast<size_t>(a)] * P + which[static_cast<size_t>(c)])];
  if (!ml_invpd(v, q)) return misval;
  double s = 0;
  for (int a = 0; a < q; ++a)
    for (int c = 0; c < q; ++c)
      s += b[static_cast<size_t>(which[static_cast<size_t>(a)])] * v[static_cast<size_t>(a * q + c)] *
           b[static_cast<size_t>(which[static_cast<size_t>(c)])];
  return s;
}
