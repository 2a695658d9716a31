// Statistical built-ins: the GHK simulator of multivariate normal
// probabilities, and the sandwich variances that replace a model's variance
// by its robust form, with clusters (_robust) or with the strata and primary
// sampling units of a survey design (_svy).
#include <cblas.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <unordered_map>
#include <utility>
#include <vector>

#include "data/value.h"
#include "expr/expr.h"
#include "output/rc.h"
#include "vemo/lib.h"

using namespace vlib;

namespace {

bool anymissing(const Mat* m) {
  for (size_t k = 0; k < m->n(); ++k)
    if (m->re()[k] >= misval) return true;
  return false;
}

bool realin(Mat* m) { return needreal(m) && readable(m); }

// ---------------------------------------------------------------- _ghk

// _ghk(b, V, U): for each row of b (upper limits, n x m) the GHK estimate
// of P(Z <= b) for Z ~ N(0, V), averaged over the rows of U (uniform draws
// in (0, 1); the first m - 1 columns are used, one per conditioning step).
// V must be positive definite (3353).
bool b__ghk(int n) {
  Mat* b = arg(n, 0);
  Mat* v = arg(n, 1);
  Mat* u = arg(n, 2);
  if (!realin(b) || !realin(v) || !realin(u)) return false;
  const int m = b->cols;
  if (!needsquare(v)) return false;
  if (v->rows != m) return vmerr(RC_VM_CONFORM);
  if (m > 1 && (u->cols < m - 1 || u->rows < 1)) return vmerr(RC_VM_CONFORM);
  if (anymissing(v) || (m > 1 && anymissing(u))) return vmerr(RC_VM_MISSING);
  if (m > 1)
    for (int r = 0; r < u->rows; ++r)
      for (int j = 0; j < m - 1; ++j) {
        const double x = u->re()[at(u, r, j)];
        if (!(x > 0 && x < 1)) return vmerr(RC_VM_RANGE);
      }
  // Cholesky factor, lower triangle, row-major
  std::vector<double> l(static_cast<size_t>(m) * static_cast<size_t>(m), 0);
  auto L = [&](int i, int j) -> double& { return l[static_cast<size_t>(i) * static_cast<size_t>(m) + static_cast<size_t>(j)]; };
  for (int j = 0; j < m; ++j) {
    double d = v->re()[at(v, j, j)];
    for (int k = 0; k < j; ++k) d -= L(j, k) * L(j, k);
    if (!(d > 0)) return vmerr(RC_VM_NOTPOSDEF);
    L(j, j) = std::sqrt(d);
    for (int i = j + 1; i < m; ++i) {
      double s = v->re()[at(v, i, j)];
      for (int k = 0; k < j; ++k) s -= L(i, k) * L(j, k);
      L(i, j) = s / L(j, j);
    }
  }
  Mat* res = mkmat(nullptr, ET_REAL, b->rows, 1);
  if (!res) return false;
  const int draws = m > 1 ? u->rows : 1;
  std::vector<double> z(static_cast<size_t>(m));
  for (int i = 0; i < b->rows; ++i) {
    bool miss = false;
    for (int j = 0; j < m; ++j) miss |= b->re()[at(b, i, j)] >= misval;
    if (miss) {
      res->re()[i] = misval;
      continue;
    }
    double sum = 0;
    for (int r = 0; r < draws; ++r) {
      if ((r & 4095) == 0 && !vm_poll()) {
        mfree(res);
        return false;
      }
      double prod = 1;
      for (int j = 0; j < m && prod > 0; ++j) {
        double mu = 0;
        for (int k = 0; k < j; ++k) mu += L(j, k) * z[static_cast<size_t>(k)];
        const double pj = fn_normal((b->re()[at(b, i, j)] - mu) / L(j, j));
        prod *= pj;
        if (j < m - 1 && pj > 0) z[static_cast<size_t>(j)] = fn_invnormal(u->re()[at(u, r, j)] * pj);
      }
      sum += prod;
    }
    res->re()[i] = sum / draws;
  }
  return ret(n, res);
}

// ---------------------------------------------------------------- sandwich

// The arguments the two sandwich built-ins share: the variance V (k x k)
// to be replaced, the design X (n x k), the residuals e (n x 1) and the
// optional weights w (n x 1), giving the scores w[i] * e[i] * X[i, .].
struct Sandwich {
  Mat* v = nullptr;
  int rows = 0, k = 0;
  std::vector<double> score;  // n x k, row-major
};

// A grouping variable: empty or a missing scalar means none; otherwise an
// n x 1 real column without missing values.
bool groupvar(Mat* g, int rows, bool* none) {
  if (!realin(g)) return false;
  *none = g->n() == 0 || (g->isscalar() && rows != 1 && g->re()[0] >= misval);
  if (*none) return true;
  if (g->cols != 1) return vmerr(RC_VM_COLVEC);
  if (g->rows != rows) return vmerr(RC_VM_CONFORM);
  if (anymissing(g)) return vmerr(RC_VM_MISSING);
  return true;
}

bool sandwich_args(Mat* v, Mat* x, Mat* e, Mat* w, Sandwich* s) {
  if (v->kind == K_FCN) return vmerr(RC_VM_FCN);
  if (v->view) return vmerr(RC_VM_VIEW);
  if (!needreal(v) || !realin(x) || !realin(e)) return false;
  if (!needsquare(v)) return false;
  if (x->cols != v->rows || e->cols != 1 || e->rows != x->rows) return vmerr(RC_VM_CONFORM);
  if (w) {
    if (!realin(w)) return false;
    if (w->cols != 1 || w->rows != x->rows) return vmerr(RC_VM_CONFORM);
    if (anymissing(w)) return vmerr(RC_VM_MISSING);
  }
  if (anymissing(v) || anymissing(x) || anymissing(e)) return vmerr(RC_VM_MISSING);
  s->v = v;
  s->rows = x->rows;
  s->k = x->cols;
  s->score.resize(static_cast<size_t>(s->rows) * static_cast<size_t>(s->k));
  for (int i = 0; i < s->rows; ++i) {
    const double m = e->re()[i] * (w ? w->re()[i] : 1.0);
    for (int j = 0; j < s->k; ++j) s->score[at(x, i, j)] = m * x->re()[at(x, i, j)];
  }
  return true;
}

// V becomes q * V * M * V; a missing q makes every element missing.
void sandwich_set(Sandwich& s, const std::vector<double>& meat, double q) {
  const int k = s.k;
  std::vector<double> vm(static_cast<size_t>(k) * static_cast<size_t>(k), 0), out(vm.size(), 0);
  const double* v = s.v->re();
  auto ix = [k](int i, int j) { return static_cast<size_t>(i) * static_cast<size_t>(k) + static_cast<size_t>(j); };
  for (int i = 0; i < k; ++i)
    for (int l = 0; l < k; ++l)
      for (int j = 0; j < k; ++j) vm[ix(i, j)] += v[ix(i, l)] * meat[ix(l, j)];
  for (int i = 0; i < k; ++i)
    for (int l = 0; l < k; ++l)
      for (int j = 0; j < k; ++j) out[ix(i, j)] += vm[ix(i, l)] * v[ix(l, j)];
  for (size_t t = 0; t < out.size(); ++t) s.v->re()[t] = q < misval ? vfix(q * out[t]) : misval;
}

// Group keys: (stratum, cluster or PSU) pairs.
struct KeyHash {
  size_t operator()(const std::pair<double, double>& k) const {
    return std::hash<double>()(k.first) * 1000003u ^ std::hash<double>()(k.second);
  }
};

// Sums the scores of the rows of each group into a flat G x k matrix, the
// groups numbered in order of first appearance; *stratum receives each
// group's stratum.
std::vector<double> groupsums(const Sandwich& s, const std::vector<std::pair<double, double>>& keys,
                              std::vector<double>* stratum) {
  std::vector<double> sums;
  std::unordered_map<std::pair<double, double>, size_t, KeyHash> at;
  at.reserve(keys.size());
  const size_t k = static_cast<size_t>(s.k);
  for (size_t i = 0; i < keys.size(); ++i) {
    auto [it, fresh] = at.emplace(keys[i], stratum->size());
    if (fresh) {
      stratum->push_back(keys[i].first);
      sums.resize(sums.size() + k, 0.0);
    }
    double* g = sums.data() + it->second * k;
    const double* sc = s.score.data() + i * k;
    for (size_t j = 0; j < k; ++j) g[j] += sc[j];
  }
  return sums;
}

// The k x k sum of the outer products of the rows of the r x k matrix z.
std::vector<double> outer(const std::vector<double>& z, size_t r, int k) {
  std::vector<double> m(static_cast<size_t>(k) * static_cast<size_t>(k), 0);
  if (r && k) {
    cblas_dsyrk(CblasRowMajor, CblasUpper, CblasTrans, k, static_cast<int>(r), 1.0, z.data(), k, 0.0, m.data(), k);
    for (int i = 0; i < k; ++i)
      for (int j = 0; j < i; ++j) m[static_cast<size_t>(i * k + j)] = m[static_cast<size_t>(j * k + i)];
  }
  return m;
}

// _robust(V, X, e [, c [, w]]): V (the model's variance, typically
// invsym(X'X)) becomes the Huber/White sandwich q * V * M * V, where M sums
// the outer products of the scores w[i] * e[i] * X[i, .] (summed within the
// clusters of c when c is given). q is n/(n - p) without clusters and
// (n - 1)/(n - p) * G/(G - 1) with G clusters, p counting the non-zero
// diagonal elements of V. Returns the number of clusters (n without).
bool b__robust(int n) {
  Sandwich s;
  if (!sandwich_args(arg(n, 0), arg(n, 1), arg(n, 2), n > 4 ? arg(n, 4) : nullptr, &s)) return false;
  bool nocl = true;
  if (n > 3 && !groupvar(arg(n, 3), s.rows, &nocl)) return false;
  std::vector<double> meat;
  double g = s.rows;
  if (nocl) {
    meat = outer(s.score, static_cast<size_t>(s.rows), s.k);
  } else {
    std::vector<std::pair<double, double>> keys;
    keys.reserve(static_cast<size_t>(s.rows));
    for (int i = 0; i < s.rows; ++i) keys.emplace_back(0.0, arg(n, 3)->re()[i]);
    std::vector<double> strata;
    const std::vector<double> sums = groupsums(s, keys, &strata);
    g = static_cast<double>(strata.size());
    meat = outer(sums, strata.size(), s.k);
  }
  int p = 0;
  for (int j = 0; j < s.k; ++j) p += s.v->re()[at(s.v, j, j)] != 0;
  const double nn = s.rows;
  double q = misval;
  if (nocl) {
    if (nn - p > 0) q = nn / (nn - p);
  } else if (g > 1 && nn - p > 0) {
    q = (nn - 1) / (nn - p) * g / (g - 1);
  }
  sandwich_set(s, meat, q);
  return ret(n, mkscalar(g));
}

// _svy(V, X, e, strata, psu [, w]): V becomes the linearized survey
// variance V * G * V, where G sums, over the strata h, n_h/(n_h - 1) times
// the outer products of the deviations of the PSU totals of the scores
// from their stratum mean. An empty (or missing) strata is one stratum, an
// empty psu makes each observation its own PSU. A stratum with a single
// PSU leaves the variance missing. Returns the design degrees of freedom
// (PSUs less strata).
bool b__svy(int n) {
  Sandwich s;
  if (!sandwich_args(arg(n, 0), arg(n, 1), arg(n, 2), n > 5 ? arg(n, 5) : nullptr, &s)) return false;
  bool nostrata = true, nopsu = true;
  if (!groupvar(arg(n, 3), s.rows, &nostrata) || !groupvar(arg(n, 4), s.rows, &nopsu)) return false;
  const Mat* st = arg(n, 3);
  const Mat* ps = arg(n, 4);
  // PSU totals keyed by (stratum, PSU): a PSU number is local to its stratum
  std::vector<std::pair<double, double>> keys;
  keys.reserve(static_cast<size_t>(s.rows));
  for (int i = 0; i < s.rows; ++i)
    keys.emplace_back(nostrata ? 0.0 : st->re()[i], nopsu ? static_cast<double>(i) : ps->re()[i]);
  std::vector<double> psustratum;
  std::vector<double> z = groupsums(s, keys, &psustratum);
  const size_t npsu = psustratum.size(), k = static_cast<size_t>(s.k);
  // each PSU total less its stratum's mean, times sqrt(n_h/(n_h - 1))
  std::unordered_map<double, std::pair<double, std::vector<double>>> strata;  // count, mean
  for (size_t g = 0; g < npsu; ++g) {
    auto& h = strata[psustratum[g]];
    if (h.second.empty()) h.second.assign(k, 0.0);
    h.first += 1;
    for (size_t j = 0; j < k; ++j) h.second[j] += z[g * k + j];
  }
  bool single = false;
  for (auto& [key, h] : strata) {
    if (h.first < 2) single = true;
    for (double& m : h.second) m /= h.first;
  }
  for (size_t g = 0; g < npsu; ++g) {
    const auto& h = strata[psustratum[g]];
    const double f = h.first > 1 ? std::sqrt(h.first / (h.first - 1)) : 0;
    for (size_t j = 0; j < k; ++j) z[g * k + j] = (z[g * k + j] - h.second[j]) * f;
  }
  sandwich_set(s, outer(z, npsu, s.k), single ? misval : 1.0);
  return ret(n, mkscalar(static_cast<double>(npsu) - static_cast<double>(strata.size())));
}

const LibRow rows[] = {
    {"_ghk", E_REAL, O_COLVEC, 3, 3, b__ghk},
    {"_robust", E_REAL, O_SCALAR, 3, 5, b__robust},
    {"_svy", E_REAL, O_SCALAR, 5, 6, b__svy},
};

}  // namespace

LibRows lib_svy_rows() { return {rows, sizeof rows / sizeof rows[0]}; }
