// Linear-algebra built-ins: cross products (one BLAS call when no row has a
// missing value), the sweep inverse of symmetric matrices, and the LAPACK
// decompositions: Cholesky, LU (with inverse and solver), QR with column
// pivoting, the singular value decomposition and the symmetric and general
// eigen-decompositions. Vemo matrices are stored row by row, which LAPACK
// reads as the transpose; the symmetric and SVD routines use that directly
// instead of copying. A LAPACK argument error is run-time error 3930, a
// failure to converge 3360; singular and non-positive-definite matrices
// give missing results as the library's callers expect.
#include <lapacke.h>
#include <cblas.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstring>
#include <numeric>
#include <vector>

#include "data/value.h"
#include "output/rc.h"
#include "results/sweep.h"
#include "vemo/lib.h"

using namespace vlib;

namespace {

// True when any of the n doubles at x is missing. Blocks without an early
// exit inside, so the compiler vectorises them.
bool anymissing(const double* x, size_t n) {
  for (size_t k = 0; k < n; k += 4096) {
    const size_t e = std::min(n, k + 4096);
    int any = 0;
    for (size_t i = k; i < e; ++i) any |= x[i] >= misval;
    if (any) return true;
  }
  return false;
}

bool hasmissing(const Mat* m) { return anymissing(m->re(), m->eltype == ET_CPLX ? 2 * m->n() : m->n()); }

// Output argument o takes the contents of res (res is freed).
bool give(Mat* o, Mat* res) {
  if (!res) return false;
  if (o->view && !mmaterialise(o)) {
    mfree(res);
    return false;
  }
  mswap(o, res);
  mfree(res);
  return true;
}

void fillmissing(Mat* m) {
  for (size_t k = 0; k < m->n(); ++k) m->re()[k] = misval;
}

// An in-place argument: a real matrix that is not a view.
bool inplace_real(Mat* a) {
  if (!needreal(a)) return false;
  if (a->view) return vmerr(RC_VM_VIEW);
  return true;
}

bool lapackrc(lapack_int info) {
  if (info < 0) return vmerr(RC_VM_LAPACK);
  return true;
}

// ---------------------------------------------------------------- cross

// One factor of a cross product: the matrix, an optional constant column
// appended, and its column count.
struct Factor {
  const Mat* m;
  bool cons;
  int cols() const { return m->cols + (cons ? 1 : 0); }
  double at(int i, int j) const { return j < m->cols ? m->re()[vlib::at(m, i, j)] : 1.0; }
};

bool rowok(const Factor& f, int i) {
  for (int j = 0; j < f.m->cols; ++j)
    if (f.m->re()[vlib::at(f.m, i, j)] >= misval) return false;
  return true;
}

// X'Z through BLAS when neither factor has a missing value; false (res
// unspecified) when one has, or when Break is pressed (vm.rc set; Break is
// looked at between blocks). Rows go in blocks, each checked for missing
// values just before BLAS reads it again from cache, so the data cross the
// memory bus once; a product of one block is a single BLAS call.
bool blascross(const Mat* x, const Mat* z, Mat* res) {
  const int p = x->cols, q = z->cols;
  const size_t n = static_cast<size_t>(x->rows);
  const size_t B = 4096;
  const bool sym = x == z;
  for (size_t i0 = 0; i0 < n; i0 += B) {
    if (i0 && !vm_poll()) return false;
    const int nb = static_cast<int>(std::min(B, n - i0));
    const double* xb = x->re() + i0 * static_cast<size_t>(p);
    const double* zb = z->re() + i0 * static_cast<size_t>(q);
    if (anymissing(xb, static_cast<size_t>(nb) * static_cast<size_t>(p))) return false;
    if (!sym && anymissing(zb, static_cast<size_t>(nb) * static_cast<size_t>(q))) return false;
    const double beta = i0 ? 1.0 : 0.0;
    if (sym)
      cblas_dsyrk(CblasRowMajor, CblasLower, CblasTrans, p, nb, 1.0, xb, p, beta, res->re(), p);
    else if (q == 1)
      cblas_dgemv(CblasRowMajor, CblasTrans, nb, p, 1.0, xb, p, zb, 1, beta, res->re(), 1);
    else
      cblas_dgemm(CblasRowMajor, CblasTrans, CblasNoTrans, p, q, nb, 1.0, xb, p, zb, q, beta, res->re(), q);
  }
  if (sym)  // the mirror half
    for (int i = 0; i < p; ++i)
      for (int j = 0; j < i; ++j) res->re()[at(res, j, i)] = res->re()[at(res, i, j)];
  return true;
}

// X'diag(w)Z over rows with no missing value in X, w or Z; dev subtracts the
// row vectors xm and zm from the rows first.
Mat* crossprod(const Factor& x, const Mat* w, const Factor& z, const Mat* xm, const Mat* zm) {
  const int n = x.m->rows;
  const int p = x.cols(), q = z.cols();
  Mat* res = mkmat(nullptr, ET_REAL, p, q);
  if (!res) return nullptr;
  if (!x.cons && !z.cons && !w && !xm && !zm && n > 0 && p > 0 && q > 0 && blascross(x.m, z.m, res)) return res;
  if (vm.rc) {
    mfree(res);
    return nullptr;
  }
  std::vector<long double> acc(static_cast<size_t>(p) * static_cast<size_t>(q), 0.0L);
  std::vector<double> xr(static_cast<size_t>(p)), zr(static_cast<size_t>(q));
  for (int i = 0; i < n; ++i) {
    if ((i & 4095) == 0 && i && !vm_poll()) {
      mfree(res);
      return nullptr;
    }
    if (!rowok(x, i) || !rowok(z, i)) continue;
    double wi = 1;
    if (w) {
      wi = w->re()[w->isscalar() ? 0 : static_cast<size_t>(i)];
      if (wi >= misval) continue;
    }
    for (int j = 0; j < p; ++j) xr[static_cast<size_t>(j)] = x.at(i, j) - (xm && j < xm->cols ? xm->re()[j] : 0);
    for (int j = 0; j < q; ++j) zr[static_cast<size_t>(j)] = z.at(i, j) - (zm && j < zm->cols ? zm->re()[j] : 0);
    for (int a = 0; a < p; ++a) {
      const long double xa = static_cast<long double>(xr[static_cast<size_t>(a)]) * wi;
      long double* row = &acc[static_cast<size_t>(a) * static_cast<size_t>(q)];
      for (int b = 0; b < q; ++b) row[b] += xa * zr[static_cast<size_t>(b)];
    }
  }
  for (size_t k = 0; k < acc.size(); ++k) res->re()[k] = static_cast<double>(acc[k]);
  return res;
}

bool constflag(const Mat* m, bool* c) {
  if (!needrealscalar(m)) return false;
  *c = m->re()[0] != 0;
  return true;
}

bool weights(const Mat* w, int n) {
  if (!needreal(w)) return false;
  if (!w->isscalar() && (w->cols != 1 || w->rows != n)) return vmerr(RC_VM_CONFORM);
  return true;
}

// cross(X, Z), cross(X, w, Z), cross(X, xc, Z, zc), cross(X, xc, w, Z, zc).
bool b_cross(int n) {
  for (int k = 0; k < n; ++k)
    if (!readable(arg(n, k)) || !needreal(arg(n, k))) return false;
  Factor x{arg(n, 0), false}, z{nullptr, false};
  const Mat* w = nullptr;
  switch (n) {
    case 2: z.m = arg(n, 1); break;
    case 3: w = arg(n, 1); z.m = arg(n, 2); break;
    case 4:
      if (!constflag(arg(n, 1), &x.cons) || !constflag(arg(n, 3), &z.cons)) return false;
      z.m = arg(n, 2);
      break;
    default:
      if (!constflag(arg(n, 1), &x.cons) || !constflag(arg(n, 4), &z.cons)) return false;
      w = arg(n, 2);
      z.m = arg(n, 3);
  }
  if (x.m->rows != z.m->rows) return vmerr(RC_VM_CONFORM);
  if (w && !weights(w, x.m->rows)) return false;
  return ret(n, crossprod(x, w, z, nullptr, nullptr));
}

// crossdev(X, x, Z, z), crossdev(X, x, w, Z, z): (X :- x)'diag(w)(Z :- z).
bool b_crossdev(int n) {
  for (int k = 0; k < n; ++k)
    if (!readable(arg(n, k)) || !needreal(arg(n, k))) return false;
  Factor x{arg(n, 0), false}, z{arg(n, n - 2), false};
  const Mat* xm = arg(n, 1);
  const Mat* zm = arg(n, n - 1);
  const Mat* w = n == 5 ? arg(n, 2) : nullptr;
  if (x.m->rows != z.m->rows || xm->rows != 1 || xm->cols != x.m->cols || zm->rows != 1 || zm->cols != z.m->cols)
    return vmerr(RC_VM_CONFORM);
  if (w && !weights(w, x.m->rows)) return false;
  return ret(n, crossprod(x, w, z, xm, zm));
}

// ---------------------------------------------------------------- sweep

// invsym(A) and _invsym(A): the generalised inverse by sweeping, the one
// the command language's invsym() gives.
bool invsym_into(Mat* a) {
  if (!needsquare(a)) return false;
  if (hasmissing(a)) {
    fillmissing(a);
    return true;
  }
  if (a->n()) sweep_inverse(a->re(), a->rows, a->cols, nullptr);
  for (int i = 0; i < a->rows; ++i)
    for (int j = 0; j < i; ++j) a->re()[at(a, j, i)] = a->re()[at(a, i, j)];
  return true;
}
bool b_invsym(int n) {
  Mat* a = arg(n, 0);
  if (!needreal(a) || !readable(a)) return false;
  Mat* res = mdup(a);
  if (!res) return false;
  if (!invsym_into(res)) {
    mfree(res);
    return false;
  }
  return ret(n, res);
}
bool b__invsym(int n) {
  Mat* a = arg(n, 0);
  if (!inplace_real(a) || !invsym_into(a)) return false;
  return retvoid(n);
}

// ---------------------------------------------------------------- Cholesky

// _cholesky(A): A becomes the lower-triangular L with A = LL'; missing
// values when A is not positive definite or has missing values.
bool b__cholesky(int n) {
  Mat* a = arg(n, 0);
  if (!inplace_real(a) || !needsquare(a)) return false;
  const int k = a->rows;
  if (k == 0) return retvoid(n);
  if (hasmissing(a)) {
    fillmissing(a);
    return retvoid(n);
  }
  // the row-major lower triangle is LAPACK's upper one
  lapack_int info = LAPACKE_dpotrf(LAPACK_COL_MAJOR, 'U', k, a->re(), k);
  if (!lapackrc(info)) return false;
  if (info > 0) {
    fillmissing(a);
    return retvoid(n);
  }
  for (int i = 0; i < k; ++i)
    for (int j = i + 1; j < k; ++j) a->re()[at(a, i, j)] = 0;
  return retvoid(n);
}

// ---------------------------------------------------------------- LU

// _lud2_la(A, p): A becomes the packed LU factors (row-major, unit lower
// triangle implied), p the pivot rows; the result is LAPACK's info (>0:
// singular).
bool b__lud2_la(int n) {
  Mat* a = arg(n, 0);
  if (!inplace_real(a)) return false;
  if (hasmissing(a)) return vmerr(RC_VM_MISSING);
  const int m = a->rows, c = a->cols;
  std::vector<lapack_int> ipiv(static_cast<size_t>(std::max(1, std::min(m, c))));
  lapack_int info = m && c ? LAPACKE_dgetrf(LAPACK_ROW_MAJOR, m, c, a->re(), c, ipiv.data()) : 0;
  if (!lapackrc(info)) return false;
  Mat* p = mkmat(nullptr, ET_REAL, std::min(m, c), 1);
  if (!p) return false;
  for (size_t k = 0; k < p->n(); ++k) p->re()[k] = ipiv[k];
  if (!give(arg(n, 1), p)) return false;
  return ret(n, mkscalar(info));
}

// _luinv_la(A): A becomes its inverse (missing when singular); info.
bool b__luinv_la(int n) {
  Mat* a = arg(n, 0);
  if (!inplace_real(a) || !needsquare(a)) return false;
  const int k = a->rows;
  if (hasmissing(a)) {
    fillmissing(a);
    return ret(n, mkscalar(1));
  }
  if (k == 0) return ret(n, mkscalar(0));
  std::vector<lapack_int> ipiv(static_cast<size_t>(k));
  lapack_int info = LAPACKE_dgetrf(LAPACK_ROW_MAJOR, k, k, a->re(), k, ipiv.data());
  if (!lapackrc(info)) return false;
  if (info == 0) info = LAPACKE_dgetri(LAPACK_ROW_MAJOR, k, a->re(), k, ipiv.data());
  if (!lapackrc(info)) return false;
  if (info > 0) fillmissing(a);
  return ret(n, mkscalar(info));
}

// _lusolve_la(A, B): B becomes the solution X of AX = B (missing when A is
// singular), A its LU factors; info.
bool b__lusolve_la(int n) {
  Mat* a = arg(n, 0);
  Mat* b = arg(n, 1);
  if (!inplace_real(a) || !inplace_real(b) || !needsquare(a)) return false;
  if (a == b) return vmerr(RC_VM_IDENTICAL);
  if (b->rows != a->rows) return vmerr(RC_VM_CONFORM);
  const int k = a->rows, r = b->cols;
  if (hasmissing(a) || hasmissing(b)) {
    fillmissing(b);
    return ret(n, mkscalar(1));
  }
  if (k == 0 || r == 0) return ret(n, mkscalar(0));
  std::vector<lapack_int> ipiv(static_cast<size_t>(k));
  lapack_int info = LAPACKE_dgetrf(LAPACK_ROW_MAJOR, k, k, a->re(), k, ipiv.data());
  if (!lapackrc(info)) return false;
  if (info == 0) info = LAPACKE_dgetrs(LAPACK_ROW_MAJOR, 'N', k, r, a->re(), k, ipiv.data(), b->re(), r);
  if (!lapackrc(info)) return false;
  if (info > 0) fillmissing(b);
  return ret(n, mkscalar(info));
}

// ---------------------------------------------------------------- QR

// _hqrdp_la(A, tau, R, p): Householder QR with column pivoting. A becomes
// the Householder vectors (below the diagonal), tau their scale factors, R
// the upper triangle and p the column order (entries of p that are nonzero
// on entry keep their columns first); info.
bool b__hqrdp_la(int n) {
  Mat* a = arg(n, 0);
  Mat* pin = arg(n, 3);
  if (!inplace_real(a)) return false;
  if (hasmissing(a)) return vmerr(RC_VM_MISSING);
  const int m = a->rows, c = a->cols, k = std::min(m, c);
  std::vector<lapack_int> jpvt(static_cast<size_t>(std::max(1, c)), 0);
  if (pin->kind == K_MAT && pin->eltype == ET_REAL && static_cast<int>(pin->n()) == c && readable(pin))
    for (int j = 0; j < c; ++j) jpvt[static_cast<size_t>(j)] = pin->re()[j] != 0 && pin->re()[j] < misval;
  std::vector<double> tau(static_cast<size_t>(std::max(1, k)));
  lapack_int info = m && c ? LAPACKE_dgeqp3(LAPACK_ROW_MAJOR, m, c, a->re(), c, jpvt.data(), tau.data()) : 0;
  if (!lapackrc(info)) return false;
  Mat* t = mkmat(nullptr, ET_REAL, 1, k);
  Mat* r = mkmat(nullptr, ET_REAL, k, c);
  Mat* p = mkmat(nullptr, ET_REAL, 1, c);
  if (!t || !r || !p) {
    mfree(t);
    mfree(r);
    mfree(p);
    return false;
  }
  for (int i = 0; i < k; ++i) t->re()[i] = tau[static_cast<size_t>(i)];
  for (int i = 0; i < k; ++i)
    for (int j = 0; j < c; ++j) r->re()[at(r, i, j)] = j >= i ? a->re()[at(a, i, j)] : 0;
  for (int j = 0; j < c; ++j) p->re()[j] = jpvt[static_cast<size_t>(j)];
  if (!give(arg(n, 1), t)) {
    mfree(r);
    mfree(p);
    return false;
  }
  if (!give(arg(n, 2), r)) {
    mfree(p);
    return false;
  }
  if (!give(pin, p)) return false;
  return ret(n, mkscalar(info));
}

// _hqrdmult(H, tau, X [, transpose]): QX, or Q'X when transpose is nonzero,
// for the Q that H and tau describe.
bool b__hqrdmult(int n) {
  Mat* h = arg(n, 0);
  Mat* tau = arg(n, 1);
  Mat* x = arg(n, 2);
  if (!needreal(h) || !needreal(tau) || !needreal(x) || !readable(h) || !readable(tau) || !readable(x)) return false;
  bool trans = false;
  if (n == 4) {
    if (!needrealscalar(arg(n, 3))) return false;
    trans = arg(n, 3)->re()[0] != 0;
  }
  const int m = h->rows, k = static_cast<int>(tau->n());
  if (x->rows != m || k > std::min(h->rows, h->cols)) return vmerr(RC_VM_CONFORM);
  Mat* res = mdup(x);
  if (!res) return false;
  if (m && x->cols && k) {
    Mat* hc = mdup(h);
    if (!hc) {
      mfree(res);
      return false;
    }
    lapack_int info = LAPACKE_dormqr(LAPACK_ROW_MAJOR, 'L', trans ? 'T' : 'N', m, x->cols, k, hc->re(), h->cols,
                                     tau->re(), res->re(), x->cols);
    mfree(hc);
    if (info < 0) {
      mfree(res);
      return vmerr(RC_VM_LAPACK);
    }
  }
  return ret(n, res);
}

// _hqrdq1(H, tau): the first columns of Q (m x k).
bool b__hqrdq1(int n) {
  Mat* h = arg(n, 0);
  Mat* tau = arg(n, 1);
  if (!needreal(h) || !needreal(tau) || !readable(h) || !readable(tau)) return false;
  const int m = h->rows, k = static_cast<int>(tau->n());
  if (k > std::min(h->rows, h->cols)) return vmerr(RC_VM_CONFORM);
  Mat* q = mkmat(nullptr, ET_REAL, m, k);
  if (!q) return false;
  for (int i = 0; i < m; ++i)
    for (int j = 0; j < k; ++j) q->re()[at(q, i, j)] = h->re()[at(h, i, j)];
  if (m && k) {
    lapack_int info = LAPACKE_dorgqr(LAPACK_ROW_MAJOR, m, k, k, q->re(), k, tau->re());
    if (info < 0) {
      mfree(q);
      return vmerr(RC_VM_LAPACK);
    }
  }
  return ret(n, q);
}

// ---------------------------------------------------------------- SVD

// _svd_la(A, s, Vt): A (m x n) becomes U (m x k, k = min(m, n)), s the
// singular values (k x 1, descending) and Vt is V' (k x n); info (>0: no
// convergence, 3360).
bool b__svd_la(int n) {
  Mat* a = arg(n, 0);
  if (!inplace_real(a)) return false;
  if (hasmissing(a)) return vmerr(RC_VM_MISSING);
  const int m = a->rows, c = a->cols, k = std::min(m, c);
  Mat* s = mkmat(nullptr, ET_REAL, k, 1);
  Mat* u = mkmat(nullptr, ET_REAL, m, k);
  Mat* vt = mkmat(nullptr, ET_REAL, k, c);
  if (!s || !u || !vt) {
    mfree(s);
    mfree(u);
    mfree(vt);
    return false;
  }
  lapack_int info = 0;
  if (k > 0) {
    // LAPACK sees A' (c x m): A' = U2 S VT2, so U = VT2' and V' = U2' —
    // which are the same bytes read row by row
    info = LAPACKE_dgesdd(LAPACK_COL_MAJOR, 'S', c, m, a->re(), c, s->re(), vt->re(), c, u->re(), k);
  }
  if (info != 0) {
    mfree(s);
    mfree(u);
    mfree(vt);
    return vmerr(info < 0 ? RC_VM_LAPACK : RC_VM_NOCONVERGE);
  }
  mswap(a, u);
  mfree(u);
  if (!give(arg(n, 1), s)) {
    mfree(vt);
    return false;
  }
  if (!give(arg(n, 2), vt)) return false;
  return ret(n, mkscalar(0));
}

// ---------------------------------------------------------------- eigen

// _symeigen_la(A, L): A (symmetric; its lower triangle is read) becomes the
// eigenvectors in columns, L the eigenvalues (row vector, descending).
bool b__symeigen_la(int n) {
  Mat* a = arg(n, 0);
  if (!inplace_real(a) || !needsquare(a)) return false;
  if (hasmissing(a)) return vmerr(RC_VM_MISSING);
  const int k = a->rows;
  Mat* l = mkmat(nullptr, ET_REAL, 1, k);
  if (!l) return false;
  if (k > 0) {
    std::vector<double> w(static_cast<size_t>(k));
    // the row-major lower triangle is LAPACK's upper one; the vectors come
    // back in LAPACK's columns, that is in rows here
    lapack_int info = LAPACKE_dsyevd(LAPACK_COL_MAJOR, 'V', 'U', k, a->re(), k, w.data());
    if (info != 0) {
      mfree(l);
      return vmerr(info < 0 ? RC_VM_LAPACK : RC_VM_NOCONVERGE);
    }
    std::vector<double> vec(a->re(), a->re() + a->n());
    for (int j = 0; j < k; ++j) {
      const int src = k - 1 - j;  // descending order
      l->re()[j] = w[static_cast<size_t>(src)];
      for (int i = 0; i < k; ++i) a->re()[at(a, i, j)] = vec[static_cast<size_t>(src) * static_cast<size_t>(k) + static_cast<size_t>(i)];
    }
  }
  if (!give(arg(n, 1), l)) return false;
  return ret(n, mkscalar(0));
}

// _eigen_la(A, L): A (square, real) becomes the right eigenvectors in
// columns (complex), L the eigenvalues (complex row vector, by descending
// modulus).
bool b__eigen_la(int n) {
  Mat* a = arg(n, 0);
  if (!inplace_real(a) || !needsquare(a)) return false;
  if (hasmissing(a)) return vmerr(RC_VM_MISSING);
  const int k = a->rows;
  std::vector<double> wr(static_cast<size_t>(std::max(1, k))), wi(wr.size());
  std::vector<double> vr(static_cast<size_t>(k) * static_cast<size_t>(k) + 1);
  lapack_int info = 0;
  if (k > 0)
    info = LAPACKE_dgeev(LAPACK_ROW_MAJOR, 'N', 'V', k, a->re(), k, wr.data(), wi.data(), nullptr, 1, vr.data(), k);
  if (info != 0) return vmerr(info < 0 ? RC_VM_LAPACK : RC_VM_NOCONVERGE);
  std::vector<int> ord(static_cast<size_t>(k));
  std::iota(ord.begin(), ord.end(), 0);
  std::stable_sort(ord.begin(), ord.end(), [&](int x, int y) {
    return std::hypot(wr[static_cast<size_t>(x)], wi[static_cast<size_t>(x)]) >
           std::hypot(wr[static_cast<size_t>(y)], wi[static_cast<size_t>(y)]);
  });
  Mat* vec = mkmat(nullptr, ET_CPLX, k, k);
  Mat* l = mkmat(nullptr, ET_CPLX, 1, k);
  if (!vec || !l) {
    mfree(vec);
    mfree(l);
    return false;
  }
  const size_t nn = vec->n();
  // column j of LAPACK's vectors: a real vector, or with a complex pair the
  // real part in column j and the imaginary part in column j + 1
  auto vcol = [&](int j, int i, double* re, double* im) {
    const double x = vr[static_cast<size_t>(i) * static_cast<size_t>(k) + static_cast<size_t>(j)];
    if (wi[static_cast<size_t>(j)] == 0) {
      *re = x;
      *im = 0;
    } else if (wi[static_cast<size_t>(j)] > 0) {
      *re = x;
      *im = vr[static_cast<size_t>(i) * static_cast<size_t>(k) + static_cast<size_t>(j) + 1];
    } else {
      *re = vr[static_cast<size_t>(i) * static_cast<size_t>(k) + static_cast<size_t>(j) - 1];
      *im = -x;
    }
  };
  for (int jj = 0; jj < k; ++jj) {
    const int j = ord[static_cast<size_t>(jj)];
    l->re()[jj] = wr[static_cast<size_t>(j)];
    l->re()[static_cast<size_t>(k) + static_cast<size_t>(jj)] = wi[static_cast<size_t>(j)];
    for (int i = 0; i < k; ++i) {
      double re, im;
      vcol(j, i, &re, &im);
      vec->re()[at(vec, i, jj)] = re;
      vec->re()[nn + at(vec, i, jj)] = im;
    }
  }
  mswap(a, vec);
  mfree(vec);
  if (!give(arg(n, 1), l)) return false;
  return ret(n, mkscalar(0));
}

const LibRow rows[] = {
    {"cross", E_REAL, O_MATRIX, 2, 5, b_cross},
    {"quadcross", E_REAL, O_MATRIX, 2, 5, b_cross},
    {"crossdev", E_REAL, O_MATRIX, 4, 5, b_crossdev},
    {"quadcrossdev", E_REAL, O_MATRIX, 4, 5, b_crossdev},
    {"invsym", E_REAL, O_MATRIX, 1, 1, b_invsym},
    {"_invsym", E_TRANS, O_VOID, 1, 1, b__invsym},
    {"_cholesky", E_TRANS, O_VOID, 1, 1, b__cholesky},
    {"_lud2_la", E_REAL, O_SCALAR, 2, 2, b__lud2_la},
    {"_luinv_la", E_REAL, O_SCALAR, 1, 1, b__luinv_la},
    {"_lusolve_la", E_REAL, O_SCALAR, 2, 2, b__lusolve_la},
    {"_hqrdp_la", E_REAL, O_SCALAR, 4, 4, b__hqrdp_la},
    {"_hqrdmult", E_REAL, O_MATRIX, 3, 4, b__hqrdmult},
    {"_hqrdq1", E_REAL, O_MATRIX, 2, 2, b__hqrdq1},
    {"_svd_la", E_REAL, O_SCALAR, 3, 3, b__svd_la},
    {"_symeigen_la", E_REAL, O_SCALAR, 2, 2, b__symeigen_la},
    {"_eigen_la", E_REAL, O_SCALAR, 2, 2, b__eigen_la},
};

}  // namespace

LibRows lib_la_rows() { return {rows, sizeof rows / sizeof rows[0]}; }
