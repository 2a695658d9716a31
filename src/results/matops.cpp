// Matrix operations: sums, products (BLAS), transposes, Kronecker products,
// joins, the inverses and factorisations, with the stripe and missing-value
// rules of each. Every routine writes only its output and returns a code.
#include <cblas.h>
#include <lapacke.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "data/value.h"
#include "interp/interp.h"
#include "output/errors.h"
#include "output/output.h"
#include "platform/platform.h"
#include "results/matrix.h"
#include "results/sweep.h"
#include "results/xprod.h"

namespace {

// The missing value `.`.
double dot() { return misval; }
bool miss(double x) { return x >= misval || std::isnan(x); }

// "fn(): message" for the codes of a named function.
int fnerr(const char* fn, int rc) { return error2part(fn, rc, 1); }

}  // namespace

int mat_chksize(int rows, int cols) {
  if (rows > interp.matsize || cols > interp.matsize) return error(RC_MATSIZE);
  return 0;
}

bool mat_hasmissing(const Matrix& a) { return xprod_anymissing(a.v.data(), static_cast<long>(a.v.size())); }

bool mat_issym(const Matrix& a) {
  if (a.rows != a.cols) return false;
  for (int i = 0; i < a.rows; ++i)
    for (int j = 0; j < i; ++j)
      if (a.at(i, j) != a.at(j, i) && !(miss(a.at(i, j)) && miss(a.at(j, i)))) return false;
  return true;
}

int mat_stripefind(const std::vector<std::string>& names, const std::string& want) {
  bool eqonly = !want.empty() && want.back() == ':';
  for (size_t i = 0; i < names.size(); ++i) {
    const std::string& s = names[i];
    if (eqonly ? s.compare(0, want.size(), want) == 0 : s == want) return static_cast<int>(i);
  }
  if (!eqonly && want.find(':') == std::string::npos) {
    for (size_t i = 0; i < names.size(); ++i) {
      size_t c = names[i].find(':');
      if (c != std::string::npos && names[i].compare(c + 1, std::string::npos, want) == 0)
        return static_cast<int>(i);
    }
  }
  return -1;
}

int mat_add(const Matrix& a, const Matrix& b, int sign, Matrix& dst) {
  if (a.rows != b.rows || a.cols != b.cols) return error(RC_CONFORM);
  Matrix r;
  r.rows = a.rows;
  r.cols = a.cols;
  r.v.resize(a.v.size());
  for (size_t i = 0; i < a.v.size(); ++i) {
    double x = a.v[i], y = b.v[i];
    r.v[i] = miss(x) || miss(y) ? dot() : sign > 0 ? x + y : x - y;
  }
  r.rnames = b.rnames;
  r.cnames = b.cnames;
  r.sym = a.sym && b.sym;
  dst = std::move(r);
  return 0;
}

void mat_scale(Matrix& a, double s) {
  for (double& x : a.v) x = miss(x) || miss(s) ? dot() : x * s;
  if (miss(s)) return;
}

int mat_mul(const Matrix& a, const Matrix& b, Matrix& dst) {
  if (a.rows == 1 && a.cols == 1 && !(b.rows == 1)) {
    Matrix r = b;
    mat_scale(r, a.v[0]);
    dst = std::move(r);
    return 0;
  }
  if (b.rows == 1 && b.cols == 1 && a.cols != 1) {
    Matrix r = a;
    mat_scale(r, b.v[0]);
    dst = std::move(r);
    return 0;
  }
  if (a.cols != b.rows) return error(RC_CONFORM);
  if (int rc = mat_chksize(a.rows, b.cols)) return rc;
  Matrix r;
  r.rows = a.rows;
  r.cols = b.cols;
  r.v.assign(static_cast<size_t>(r.rows) * static_cast<size_t>(r.cols), 0.0);
  if (mat_hasmissing(a) || mat_hasmissing(b)) {
    // A product element is missing when any term of its sum is.
    for (int i = 0; i < a.rows; ++i)
      for (int j = 0; j < b.cols; ++j) {
        double s = 0;
        bool m = false;
        for (int k = 0; k < a.cols && !m; ++k) {
          double x = a.at(i, k), y = b.at(k, j);
          if (miss(x) || miss(y)) m = true;
          else s += x * y;
        }
        r.at(i, j) = m ? dot() : s;
      }
  } else if (r.v.size()) {
    cblas_dgemm(CblasRowMajor, CblasNoTrans, CblasNoTrans, a.rows, b.cols, a.cols, 1.0,
                a.v.data(), a.cols, b.v.data(), b.cols, 0.0, r.v.data(), r.cols);
  }
  r.rnames = a.rnames;
  r.cnames = b.cnames;
  dst = std::move(r);
  return 0;
}

void mat_transpose(const Matrix& a, Matrix& dst) {
  Matrix r;
  r.rows = a.cols;
  r.cols = a.rows;
  r.v.resize(a.v.size());
  for (int i = 0; i < a.rows; ++i)
    for (int j = 0; j < a.cols; ++j) r.at(j, i) = a.at(i, j);
  r.rnames = a.cnames;
  r.cnames = a.rnames;
  r.sym = a.sym;
  dst = std::move(r);
}

int mat_kron(const Matrix& a, const Matrix& b, Matrix& dst) {
  long rr = static_cast<long>(a.rows) * b.rows, cc = static_cast<long>(a.cols) * b.cols;
  if (rr > interp.matsize || cc > interp.matsize) return error(RC_MATSIZE);
  Matrix r = mat_make(static_cast<int>(rr), static_cast<int>(cc));
  for (int i = 0; i < a.rows; ++i)
    for (int j = 0; j < a.cols; ++j)
      for (int k = 0; k < b.rows; ++k)
        for (int l = 0; l < b.cols; ++l) {
          double x = a.at(i, j), y = b.at(k, l);
          r.at(i * b.rows + k, j * b.cols + l) = miss(x) || miss(y) ? dot() : x * y;
        }
  // stripes: the left operand's names as equations of the right one's
  for (int i = 0; i < a.rows; ++i)
    for (int k = 0; k < b.rows; ++k)
      r.rnames[static_cast<size_t>(i * b.rows + k)] =
          a.rnames[static_cast<size_t>(i)] + ":" + b.rnames[static_cast<size_t>(k)];
  for (int j = 0; j < a.cols; ++j)
    for (int l = 0; l < b.cols; ++l)
      r.cnames[static_cast<size_t>(j * b.cols + l)] =
          a.cnames[static_cast<size_t>(j)] + ":" + b.cnames[static_cast<size_t>(l)];
  for (auto* names : {&r.rnames, &r.cnames})
    for (auto& s : *names)
      if (std::count(s.begin(), s.end(), ':') > 1) s = s.substr(s.find(':') + 1);
  dst = std::move(r);
  return 0;
}

int mat_join(const Matrix& a, const Matrix& b, bool below, Matrix& dst) {
  if (a.rows == 0 && a.cols == 0) return dst = b, 0;
  if (b.rows == 0 && b.cols == 0) return dst = a, 0;
  Matrix r;
  if (below) {
    if (a.cols != b.cols) return error(RC_CONFORM);
    if (int rc = mat_chksize(a.rows + b.rows, a.cols)) return rc;
    r.rows = a.rows + b.rows;
    r.cols = a.cols;
    r.v = a.v;
    r.v.insert(r.v.end(), b.v.begin(), b.v.end());
    r.rnames = a.rnames;
    r.rnames.insert(r.rnames.end(), b.rnames.begin(), b.rnames.end());
    r.cnames = a.cnames;
  } else {
    if (a.rows != b.rows) return error(RC_CONFORM);
    if (int rc = mat_chksize(a.rows, a.cols + b.cols)) return rc;
    r.rows = a.rows;
    r.cols = a.cols + b.cols;
    r.v.resize(static_cast<size_t>(r.rows) * static_cast<size_t>(r.cols));
    for (int i = 0; i < r.rows; ++i) {
      for (int j = 0; j < a.cols; ++j) r.at(i, j) = a.at(i, j);
      for (int j = 0; j < b.cols; ++j) r.at(i, a.cols + j) = b.at(i, j);
    }
    r.rnames = a.rnames;
    r.cnames = a.cnames;
    r.cnames.insert(r.cnames.end(), b.cnames.begin(), b.cnames.end());
  }
  dst = std::move(r);
  return 0;
}

int mat_invsym(const Matrix& a, Matrix& dst, const char* fn) {
  if (a.rows != a.cols) return error(RC_CONFORM);
  if (int rc = mat_chksize(a.rows, a.cols)) return rc;
  if (mat_hasmissing(a)) return fnerr(fn, RC_MATMISSING);
  if (!mat_issym(a)) return error(RC_NOTSYMMETRIC);
  Matrix r = a;
  SweepResult s = sweep_inverse(r.v.data(), r.rows, r.cols, nullptr);
  if (s.broke) return error(RC_BREAK);
  // the lower triangle is the result; make it whole
  for (int i = 0; i < r.rows; ++i)
    for (int j = 0; j < i; ++j) r.at(j, i) = r.at(i, j);
  r.rnames = a.cnames;
  r.cnames = a.rnames;
  r.sym = true;
  dst = std::move(r);
  return 0;
}

int mat_inv(const Matrix& a, Matrix& dst) {
  if (a.rows != a.cols) return error(RC_CONFORM);
  if (mat_hasmissing(a)) return fnerr("inv()", RC_MATMISSING);
  Matrix r = a;
  int n = a.rows;
  if (n) {
    std::vector<lapack_int> piv(static_cast<size_t>(n));
    lapack_int info = LAPACKE_dgetrf(LAPACK_ROW_MAJOR, n, n, r.v.data(), n, piv.data());
    if (info > 0) return errmsgf(RC_NOTPOSDEF, "matrix is singular\n");
    if (info < 0) return error(RC_SYNTAX);
    info = LAPACKE_dgetri(LAPACK_ROW_MAJOR, n, r.v.data(), n, piv.data());
    if (info != 0) return errmsgf(RC_NOTPOSDEF, "matrix is singular\n");
  }
  r.rnames = a.cnames;
  r.cnames = a.rnames;
  r.sym = a.sym;
  dst = std::move(r);
  return 0;
}

int mat_cholesky(const Matrix& a, Matrix& dst) {
  if (a.rows != a.cols) return error(RC_CONFORM);
  if (mat_hasmissing(a)) return fnerr("cholesky()", RC_MATMISSING);
  if (!mat_issym(a)) return error(RC_NOTSYMMETRIC);
  Matrix r = a;
  int n = a.rows;
  if (n) {
    lapack_int info = LAPACKE_dpotrf(LAPACK_ROW_MAJOR, 'L', n, r.v.data(), n);
    if (info != 0) return error(RC_NOTPOSDEF);
  }
  for (int i = 0; i < n; ++i)
    for (int j = i + 1; j < n; ++j) r.at(i, j) = 0;
  r.sym = false;
  dst = std::move(r);
  return 0;
}

int mat_sweep(const Matrix& a, int k, Matrix& dst) {
  if (a.rows != a.cols) return error(RC_CONFORM);
  if (k < 1 || k > a.rows) return error(RC_CONFORM);
  if (mat_hasmissing(a)) return fnerr("sweep()", RC_MATMISSING);
  Matrix r = a;
  // the sweep of a general square matrix on pivot k
  int n = r.rows, p = k - 1;
  double d = r.at(p, p);
  if (d == 0) {
    for (int i = 0; i < n; ++i) r.at(p, i) = r.at(i, p) = 0;
  } else {
    for (int i = 0; i < n; ++i)
      for (int j = 0; j < n; ++j)
        if (i != p && j != p) r.at(i, j) -= a.at(i, p) * a.at(p, j) / d;
    for (int i = 0; i < n; ++i)
      if (i != p) r.at(p, i) = a.at(p, i) / d, r.at(i, p) = -a.at(i, p) / d;
    r.at(p, p) = 1 / d;
  }
  std::swap(r.rnames[static_cast<size_t>(p)], r.cnames[static_cast<size_t>(p)]);
  r.sym = false;
  dst = std::move(r);
  return 0;
}

int mat_corr(const Matrix& a, Matrix& dst) {
  if (a.rows != a.cols) return error(RC_CONFORM);
  if (mat_hasmissing(a)) return fnerr("corr()", RC_MATMISSING);
  for (int i = 0; i < a.rows; ++i)
    if (!(a.at(i, i) > 0))
      return errmsgf(RC_ZERODIAG, "corr(): matrix has zero or negative values on diagonal\n");
  Matrix r = a;
  for (int i = 0; i < a.rows; ++i)
    for (int j = 0; j < a.cols; ++j) r.at(i, j) = a.at(i, j) / std::sqrt(a.at(i, i) * a.at(j, j));
  dst = std::move(r);
  return 0;
}

int mat_svd(const Matrix& a, Matrix& U, Matrix& w, Matrix& V) {
  if (mat_hasmissing(a)) return error(RC_MATMISSING);
  int m = a.rows, n = a.cols;
  if (m < n) return error(RC_CONFORM);
  Matrix A = a;
  std::vector<double> s(static_cast<size_t>(n)), u(static_cast<size_t>(m) * static_cast<size_t>(n)),
      vt(static_cast<size_t>(n) * static_cast<size_t>(n)), sup(static_cast<size_t>(std::max(1, n)));
  if (n) {
    lapack_int info = LAPACKE_dgesvd(LAPACK_ROW_MAJOR, 'S', 'A', m, n, A.v.data(), n, s.data(),
                                     u.data(), n, vt.data(), n, sup.data());
    if (info != 0) return errmsgf(RC_NOCONVERGE, "convergence not achieved\n");
  }
  U = mat_make(m, n);
  U.v = u;
  U.rnames = a.rnames;
  U.cnames = a.cnames;
  w = mat_make(1, n);
  w.v = s;
  w.cnames = a.cnames;
  V = mat_make(n, n);
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j) V.at(i, j) = vt[static_cast<size_t>(j) * static_cast<size_t>(n) + static_cast<size_t>(i)];
  V.rnames = a.cnames;
  V.cnames = a.cnames;
  return 0;
}

int mat_symeigen(const Matrix& a, Matrix& vecs, Matrix& vals) {
  if (a.rows != a.cols) return error(RC_CONFORM);
  if (mat_hasmissing(a)) return error(RC_MATMISSING);
  if (!mat_issym(a)) return error(RC_NOTSYMMETRIC);
  int n = a.rows;
  Matrix A = a;
  std::vector<double> w(static_cast<size_t>(n));
  if (n) {
    lapack_int info = LAPACKE_dsyevd(LAPACK_ROW_MAJOR, 'V', 'L', n, A.v.data(), n, w.data());
    if (info != 0) return errmsgf(RC_NOCONVERGE, "convergence not achieved\n");
  }
  // largest eigenvalue first; each eigenvector's largest element made positive
  vecs = mat_make(n, n);
  vals = mat_make(1, n);
  for (int k = 0; k < n; ++k) {
    int src = n - 1 - k;
    vals.v[static_cast<size_t>(k)] = w[static_cast<size_t>(src)];
    double big = 0;
    for (int i = 0; i < n; ++i)
      if (std::fabs(A.at(i, src)) > std::fabs(big)) big = A.at(i, src);
    double sg = big < 0 ? -1 : 1;
    for (int i = 0; i < n; ++i) vecs.at(i, k) = sg * A.at(i, src);
  }
  vecs.rnames = a.rnames;
  return 0;
}

int mat_eigenvalues(const Matrix& a, Matrix& re, Matrix& im) {
  if (a.rows != a.cols) return error(RC_CONFORM);
  if (mat_hasmissing(a)) return error(RC_MATMISSING);
  int n = a.rows;
  Matrix A = a;
  std::vector<double> wr(static_cast<size_t>(n)), wi(static_cast<size_t>(n));
  if (n) {
    lapack_int info = LAPACKE_dgeev(LAPACK_ROW_MAJOR, 'N', 'N', n, A.v.data(), n, wr.data(),
                                    wi.data(), nullptr, n, nullptr, n);
    if (info != 0) return errmsgf(RC_NOCONVERGE, "convergence not achieved\n");
  }
  // ordered by modulus, largest first
  std::vector<int> ord(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) ord[static_cast<size_t>(i)] = i;
  std::stable_sort(ord.begin(), ord.end(), [&](int x, int y) {
    return std::hypot(wr[static_cast<size_t>(x)], wi[static_cast<size_t>(x)]) >
           std::hypot(wr[static_cast<size_t>(y)], wi[static_cast<size_t>(y)]);
  });
  re = mat_make(1, n);
  im = mat_make(1, n);
  for (int k = 0; k < n; ++k) {
    re.v[static_cast<size_t>(k)] = wr[static_cast<size_t>(ord[static_cast<size_t>(k)])];
    im.v[static_cast<size_t>(k)] = wi[static_cast<size_t>(ord[static_cast<size_t>(k)])];
  }
  return 0;
}

double mat_det(const Matrix& a) {
  if (a.rows != a.cols || mat_hasmissing(a)) return misval;
  int n = a.rows;
  if (n == 0) return 1;
  Matrix A = a;
  std::vector<lapack_int> piv(static_cast<size_t>(n));
  lapack_int info = LAPACKE_dgetrf(LAPACK_ROW_MAJOR, n, n, A.v.data(), n, piv.data());
  if (info > 0) return 0;
  double d = 1;
  for (int i = 0; i < n; ++i) {
    d *= A.at(i, i);
    if (piv[static_cast<size_t>(i)] != i + 1) d = -d;
  }
  return d;
}
