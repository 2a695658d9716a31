// Numeric built-ins: the generalized inverse through the singular value
// decomposition, singular values alone, Chebyshev series, the discrete
// Fourier transform of any length, cyclic filling, Halton sequences and the
// traces of the products A*V*B*V and A*B*B*A*V computed without the full
// product.
#include <lapacke.h>
#include <cblas.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <vector>

#include "data/value.h"
#include "output/rc.h"
#include "vemo/lib.h"

using namespace vlib;

namespace {

using cx = std::complex<double>;

// The plain product: std::complex's operator* goes through a library call
// that rescues infinities, which the transforms never hold (missing values
// are refused first).
inline cx cmul(cx a, cx b) {
  return cx(a.real() * b.real() - a.imag() * b.imag(), a.real() * b.imag() + a.imag() * b.real());
}

bool anymissing(const Mat* m) {
  const size_t n = m->eltype == ET_CPLX ? 2 * m->n() : m->n();
  for (size_t k = 0; k < n; ++k)
    if (m->re()[k] >= misval) return true;
  return false;
}

// A read-only real matrix argument, brought up to date when it is a view.
bool realin(Mat* m) { return needreal(m) && readable(m); }
// The same for a real or complex one.
bool numin(Mat* m) { return neednum(m) && readable(m); }

// An argument to be replaced by a result: not a view, not a function.
bool inplacearg(const Mat* m) {
  if (m->kind == K_FCN) return vmerr(RC_VM_FCN);
  if (m->view) return vmerr(RC_VM_VIEW);
  return true;
}

// Output argument o takes res's contents; res is freed.
void give(Mat* o, Mat* res) {
  mswap(o, res);
  mfree(res);
}

// ---------------------------------------------------------------- ginvr

// The complex case of ginvr(): LAPACK reads the row-major A as its plain
// transpose A.' = U2 S VT2, so A = VT2.' S U2.' and the inverse is the
// conjugate of U2 S+ VT2.
bool ginvr_complex(int n, const Mat* a, Mat* res, double tol) {
  const int m = a->rows, c = a->cols, k = std::min(m, c);
  const size_t nn = a->n();
  // interleaved (real, imaginary) pairs, the layout LAPACK and BLAS read
  std::vector<double> w(2 * nn), u2(2 * static_cast<size_t>(c) * static_cast<size_t>(k)),
      vt2(2 * static_cast<size_t>(k) * static_cast<size_t>(m)), out(2 * nn);
  for (size_t i = 0; i < nn; ++i) {
    w[2 * i] = a->re()[i];
    w[2 * i + 1] = a->im()[i];
  }
  auto z = [](std::vector<double>& v) { return reinterpret_cast<lapack_complex_double*>(v.data()); };
  std::vector<double> s(static_cast<size_t>(k));
  const lapack_int info = LAPACKE_zgesdd(LAPACK_COL_MAJOR, 'S', c, m, z(w), c, s.data(), z(u2), c, z(vt2), k);
  if (info != 0) {
    mfree(res);
    return vmerr(info < 0 ? RC_VM_LAPACK : RC_VM_NOCONVERGE);
  }
  if (tol < 0) tol = std::max(m, c) * s[0] * 2.220446049250313e-16;
  for (int l = 0; l < k; ++l) {
    const double inv = s[static_cast<size_t>(l)] > tol ? 1 / s[static_cast<size_t>(l)] : 0;
    for (size_t i = 0; i < 2 * static_cast<size_t>(c); ++i) u2[2 * static_cast<size_t>(l) * static_cast<size_t>(c) + i] *= inv;
  }
  const double one[2] = {1, 0}, zero[2] = {0, 0};
  cblas_zgemm(CblasColMajor, CblasTrans, CblasTrans, m, c, k, one, vt2.data(), k, u2.data(), c, zero, out.data(), m);
  for (size_t i = 0; i < nn; ++i) {
    res->re()[i] = vfix(out[2 * i]);
    res->im()[i] = vfix(-out[2 * i + 1]);
  }
  return ret(n, res);
}

// ginvr(A [, tol]): the Moore-Penrose inverse V * diag(1/s) * U' (U and V
// conjugated for a complex A) over the singular values above tol; the default tol is max(rows, cols) times the
// largest singular value times the machine epsilon. A missing value in A
// gives a matrix of missing values.
bool b_ginvr(int n) {
  Mat* a = arg(n, 0);
  if (!neednum(a) || !readable(a)) return false;
  double tol = -1;
  if (n > 1) {
    Mat* t = arg(n, 1);
    if (!needrealscalar(t) || !readable(t)) return false;
    tol = rval(t);
    if (tol < 0) return vmerr(RC_VM_RANGE);
    if (tol >= misval) tol = -1;
  }
  const int m = a->rows, c = a->cols, k = std::min(m, c);
  const bool cplx = a->eltype == ET_CPLX;
  Mat* res = mkmat(nullptr, a->eltype, c, m);
  if (!res) return false;
  if (res->n() == 0) return ret(n, res);
  if (anymissing(a)) {
    for (size_t i = 0; i < (cplx ? 2 : 1) * res->n(); ++i) res->re()[i] = misval;
    return ret(n, res);
  }
  if (cplx) return ginvr_complex(n, a, res, tol);
  // LAPACK reads the row-major A as A' (c x m) = U2 S VT2, so that
  // A = VT2' S U2' and its inverse is U2 S+ VT2, a c x m matrix.
  std::vector<double> w(a->re(), a->re() + a->n());
  std::vector<double> s(static_cast<size_t>(k)), u2(static_cast<size_t>(c) * static_cast<size_t>(k)),
      vt2(static_cast<size_t>(k) * static_cast<size_t>(m));
  const lapack_int info = LAPACKE_dgesdd(LAPACK_COL_MAJOR, 'S', c, m, w.data(), c, s.data(), u2.data(), c, vt2.data(), k);
  if (info != 0) {
    mfree(res);
    return vmerr(info < 0 ? RC_VM_LAPACK : RC_VM_NOCONVERGE);
  }
  if (tol < 0) tol = std::max(m, c) * s[0] * 2.220446049250313e-16;
  for (int l = 0; l < k; ++l) {
    const double inv = s[static_cast<size_t>(l)] > tol ? 1 / s[static_cast<size_t>(l)] : 0;
    for (int i = 0; i < c; ++i) u2[static_cast<size_t>(l) * static_cast<size_t>(c) + static_cast<size_t>(i)] *= inv;
  }
  // the row-major c x m result is the column-major m x c matrix VT2' U2s'
  cblas_dgemm(CblasColMajor, CblasTrans, CblasTrans, m, c, k, 1.0, vt2.data(), k, u2.data(), c, 0.0, res->re(), m);
  return ret(n, res);
}

// ---------------------------------------------------------------- _svd_2

// _svd_2(A, s): the singular values of the real or complex A, descending,
// into s as a column vector; A is left as it was.
bool b__svd_2(int n) {
  Mat* a = arg(n, 0);
  if (!neednum(a) || !readable(a)) return false;
  if (!inplacearg(arg(n, 1))) return false;
  if (anymissing(a)) return vmerr(RC_VM_MISSING);
  const int m = a->rows, c = a->cols, k = std::min(m, c);
  Mat* s = mkmat(nullptr, ET_REAL, k, 1);
  if (!s) return false;
  lapack_int info = 0;
  if (k > 0) {
    // the singular values of A' are those of A
    if (a->eltype == ET_REAL) {
      std::vector<double> w(a->re(), a->re() + a->n());
      info = LAPACKE_dgesdd(LAPACK_COL_MAJOR, 'N', c, m, w.data(), c, s->re(), nullptr, 1, nullptr, 1);
    } else {
      std::vector<lapack_complex_double> w(a->n());
      for (size_t i = 0; i < a->n(); ++i) w[i] = lapack_make_complex_double(a->re()[i], a->im()[i]);
      info = LAPACKE_zgesdd(LAPACK_COL_MAJOR, 'N', c, m, w.data(), c, s->re(), nullptr, 1, nullptr, 1);
    }
  }
  if (info != 0) {
    mfree(s);
    return vmerr(info < 0 ? RC_VM_LAPACK : RC_VM_NOCONVERGE);
  }
  give(arg(n, 1), s);
  return ret(n, mkscalar(0));
}

// ---------------------------------------------------------------- chebyeval

// chebyeval(c, x [, ab]): sum of c[k] * T_k(t) over k = 0, 1, ... at each
// element of x, where t maps the interval ab = (a, b) (default (-1, 1))
// onto [-1, 1]; Clenshaw's recurrence.
bool b_chebyeval(int n) {
  Mat* c = arg(n, 0);
  Mat* x = arg(n, 1);
  if (!numin(c) || !numin(x)) return false;
  if (c->rows != 1 && c->cols != 1 && c->n() != 0) return vmerr(RC_VM_VECTOR);
  double lo = -1, hi = 1;
  if (n > 2) {
    Mat* ab = arg(n, 2);
    if (!realin(ab)) return false;
    if (ab->rows != 1 || ab->cols != 2) return vmerr(RC_VM_CONFORM);
    lo = rval(ab, 0);
    hi = rval(ab, 1);
    if (!(lo < hi) || hi >= misval) return vmerr(RC_VM_RANGE);
  }
  const size_t nc = c->n();
  const bool cmiss = anymissing(c);
  if (c->eltype == ET_CPLX || x->eltype == ET_CPLX) {
    // the same recurrence in complex arithmetic
    Mat* res = mkmat(nullptr, ET_CPLX, x->rows, x->cols);
    if (!res) return false;
    for (size_t i = 0; i < x->n(); ++i) {
      const cx xv(x->re()[i], imof(x, i));
      if (xv.real() >= misval || xv.imag() >= misval || cmiss) {
        res->re()[i] = res->im()[i] = misval;
        continue;
      }
      const cx t = (2.0 * xv - (lo + hi)) / (hi - lo);
      cx b1 = 0, b2 = 0;
      for (size_t k = nc; k-- > 1;) {
        const cx b0 = cx(c->re()[k], imof(c, k)) + 2.0 * cmul(t, b1) - b2;
        b2 = b1;
        b1 = b0;
      }
      const cx r = nc ? cx(c->re()[0], imof(c, 0)) + cmul(t, b1) - b2 : cx(0);
      res->re()[i] = vfix(r.real());
      res->im()[i] = vfix(r.imag());
    }
    return ret(n, res);
  }
  Mat* res = mkmat(nullptr, ET_REAL, x->rows, x->cols);
  if (!res) return false;
  for (size_t i = 0; i < x->n(); ++i) {
    const double xv = x->re()[i];
    if (xv >= misval || cmiss) {
      res->re()[i] = misval;
      continue;
    }
    const double t = (2 * xv - lo - hi) / (hi - lo);
    double b1 = 0, b2 = 0;
    for (size_t k = nc; k-- > 1;) {
      const double b0 = c->re()[k] + 2 * t * b1 - b2;
      b2 = b1;
      b1 = b0;
    }
    res->re()[i] = nc ? vfix(c->re()[0] + t * b1 - b2) : 0;
  }
  return ret(n, res);
}

// ---------------------------------------------------------------- _fft

// exp(sign 2 pi i t / n) for t = 0 .. n-1, exact at the quarter turns and
// exactly conjugate-symmetric, so that real input keeps a real mean term.
std::vector<cx> twiddles(size_t n, int sign) {
  std::vector<cx> w(n);
  for (size_t t = 0; t < n; ++t) {
    if (t > n / 2) {
      w[t] = std::conj(w[n - t]);
      continue;
    }
    if ((4 * t) % n == 0) {
      static const double c4[] = {1, 0, -1, 0}, s4[] = {0, 1, 0, -1};
      const size_t q = 4 * t / n;
      w[t] = cx(c4[q], sign * s4[q]);
      continue;
    }
    const double ang = 2 * M_PI * static_cast<double>(t) / static_cast<double>(n);
    w[t] = cx(std::cos(ang), sign * std::sin(ang));
  }
  return w;
}

void dft(std::vector<cx>& a, int sign);

// Mixed-radix Cooley-Tukey: the n-point transform of in[0], in[s], in[2s]...
// into out[0 .. n-1], splitting on the smallest prime factor; tw holds the
// twiddles of the full length N, scratch n elements of work space (the
// sub-transforms use its parts before the combining step needs it). A
// prime factor above 64 is done by Bluestein's chirp convolution.
void fftrec(const cx* in, size_t s, size_t n, cx* out, cx* scratch, size_t N, const std::vector<cx>& tw, int sign) {
  if (n == 1) {
    out[0] = in[0];
    return;
  }
  size_t p = 2;
  while (p * p <= n && n % p) ++p;
  if (n % p) p = n;  // n is prime
  if (p == 2 && n % 4 == 0) p = 4;  // half the passes of radix 2
  if (p > 64) {
    std::vector<cx> v(n);
    for (size_t k = 0; k < n; ++k) v[k] = in[k * s];
    dft(v, sign);
    std::copy(v.begin(), v.end(), out);
    return;
  }
  const size_t m = n / p, step = N / n;
  for (size_t r = 0; r < p; ++r) fftrec(in + r * s, s * p, m, out + r * m, scratch + r * m, N, tw, sign);
  if (p == 4) {
    // W_4 = sign i: multiplying by it swaps the parts
    const double sg = sign;
    for (size_t k = 0; k < m; ++k) {
      const cx a0 = out[k], a1 = cmul(out[m + k], tw[k * step]), a2 = cmul(out[2 * m + k], tw[2 * k * step]),
               a3 = cmul(out[3 * m + k], tw[3 * k * step]);
      const cx s02 = a0 + a2, d02 = a0 - a2, s13 = a1 + a3, d13 = a1 - a3;
      const cx jd13(-sg * d13.imag(), sg * d13.real());
      out[k] = s02 + s13;
      out[m + k] = d02 + jd13;
      out[2 * m + k] = s02 - s13;
      out[3 * m + k] = d02 - jd13;
    }
    return;
  }
  if (p == 2) {
    for (size_t k = 0; k < m; ++k) {
      const cx a = out[k], b = cmul(out[m + k], tw[k * step]);
      out[k] = a + b;
      out[m + k] = a - b;
    }
    return;
  }
  // each output is the p-point transform of the sub-transforms' k-th
  // elements, first turned by the twiddles w^(r k)
  cx wp[64], t[64];
  for (size_t r = 0; r < p; ++r) wp[r] = tw[r * (N / p)];
  for (size_t k = 0; k < m; ++k) {
    t[0] = out[k];
    for (size_t r = 1; r < p; ++r) t[r] = cmul(out[r * m + k], tw[r * k * step]);
    for (size_t q = 0; q < p; ++q) {
      cx sum = t[0];
      for (size_t r = 1, e = q; r < p; ++r, e = e + q >= p ? e + q - p : e + q) sum += cmul(t[r], wp[e]);
      scratch[k + q * m] = sum;
    }
  }
  std::copy(scratch, scratch + n, out);
}

void fftmixed(std::vector<cx>& a, int sign) {
  const size_t n = a.size();
  const std::vector<cx> tw = twiddles(n, sign);
  std::vector<cx> out(n), scratch(n);
  fftrec(a.data(), 1, n, out.data(), scratch.data(), n, tw, sign);
  a.swap(out);
}

// Unscaled transform of any length: sum over j of a[j] exp(sign 2 pi i jk/n).
// Lengths whose prime factors are all small go by mixed radix; a length
// with a large prime factor is done as a chirp convolution of power-of-two
// length (Bluestein).
void dft(std::vector<cx>& a, int sign) {
  const size_t n = a.size();
  if (n <= 1) return;
  size_t rest = n;
  for (size_t p = 2; p <= 64 && rest > 1; ++p)
    while (rest % p == 0) rest /= p;
  if (rest == 1) {
    fftmixed(a, sign);
    return;
  }
  if (rest != n) {
    // a large prime factor among small ones: the mixed radix hands that
    // factor's sub-transforms to the chirp convolution
    fftmixed(a, sign);
    return;
  }
  size_t m = 1;
  while (m < 2 * n - 1) m <<= 1;
  // chirp w[k] = exp(sign i pi k^2 / n); k^2 taken mod 2n keeps the angle small
  std::vector<cx> w(n);
  for (size_t k = 0; k < n; ++k) {
    const double k2 = static_cast<double>((k * k) % (2 * n));
    const double ang = sign * M_PI * k2 / static_cast<double>(n);
    w[k] = cx(std::cos(ang), std::sin(ang));
  }
  std::vector<cx> x(m), y(m);
  for (size_t k = 0; k < n; ++k) x[k] = cmul(a[k], w[k]);
  y[0] = std::conj(w[0]);
  for (size_t k = 1; k < n; ++k) y[k] = y[m - k] = std::conj(w[k]);
  fftmixed(x, -1);
  fftmixed(y, -1);
  for (size_t k = 0; k < m; ++k) x[k] = cmul(x[k], y[k]);
  fftmixed(x, 1);
  const double scale = 1 / static_cast<double>(m);
  for (size_t k = 0; k < n; ++k) a[k] = cmul(x[k] * scale, w[k]);
}

// _fft(h) and _invfft(H): h (a numeric vector) becomes its complex discrete
// Fourier transform H[k] = sum h[j] exp(-2 pi i jk/n); the inverse uses the
// opposite sign and divides by n.
bool fftcore(int n, int sign) {
  Mat* h = arg(n, 0);
  if (!inplacearg(h) || !neednum(h)) return false;
  if (h->rows != 1 && h->cols != 1 && h->n() != 0) return vmerr(RC_VM_VECTOR);
  if (anymissing(h)) return vmerr(RC_VM_MISSING);
  const size_t len = h->n();
  std::vector<cx> a(len);
  for (size_t k = 0; k < len; ++k) a[k] = cx(h->re()[k], imof(h, k));
  dft(a, sign);
  Mat* res = mkmat(nullptr, ET_CPLX, h->rows, h->cols);
  if (!res) return false;
  const double scale = sign > 0 && len ? 1 / static_cast<double>(len) : 1;
  for (size_t k = 0; k < len; ++k) {
    res->re()[k] = a[k].real() * scale;
    res->im()[k] = a[k].imag() * scale;
  }
  give(h, res);
  return retvoid(n);
}
bool b__fft(int n) { return fftcore(n, -1); }
bool b__invfft(int n) { return fftcore(n, 1); }

// ---------------------------------------------------------------- J2

// J2(r, c, v): an r x c matrix filled row by row with the elements of v in
// row order, v repeated as often as needed.
bool b_J2(int n) {
  int r = 0, c = 0;
  if (!countarg(arg(n, 0), &r) || !countarg(arg(n, 1), &c)) return false;
  Mat* v = arg(n, 2);
  if (!needmat(v) || !readable(v)) return false;
  if (v->eltype == ET_STRUCT) return vmerr(RC_VM_TYPE);
  const size_t total = static_cast<size_t>(r) * static_cast<size_t>(c);
  if (total > 2147483647u) return vmerr(RC_VM_RANGE);
  const size_t vn = v->n();
  if (total && !vn) return vmerr(RC_VM_CONFORM);
  Mat* res = mkmat(nullptr, v->eltype, r, c);
  if (!res) return false;
  for (size_t q = 0; q < total; ++q) {
    const size_t p = q % vn;
    switch (v->eltype) {
      case ET_REAL: res->re()[q] = v->re()[p]; break;
      case ET_CPLX:
        res->re()[q] = v->re()[p];
        res->im()[q] = v->im()[p];
        break;
      case ET_STR: {
        const VStr* s = v->str()[p];
        res->str()[q] = s ? vstr_new(s->b, s->n - 1) : nullptr;
        break;
      }
      default:
        res->ptr()[q] = v->ptr()[p];
        if (res->ptr()[q]) mref(res->ptr()[q]);
    }
  }
  return ret(n, res);
}

// ---------------------------------------------------------------- ghalton

// ghalton(n, base [, skip]): n points of the Halton sequences in the bases
// of the row vector base (integers from 2), one column per base; row i is
// the radical inverse of skip + i.
bool b_ghalton(int n) {
  int rows = 0, skip = 0;
  if (!countarg(arg(n, 0), &rows)) return false;
  Mat* b = arg(n, 1);
  if (!realin(b)) return false;
  if (b->rows != 1) return vmerr(RC_VM_ROWVEC);
  if (n > 2 && !countarg(arg(n, 2), &skip)) return false;
  for (size_t j = 0; j < b->n(); ++j) {
    const double x = b->re()[j];
    if (!(x >= 2 && x < 2147483647.0) || x != std::floor(x)) return vmerr(RC_VM_RANGE);
  }
  const int cols = b->cols;
  Mat* res = mkmat(nullptr, ET_REAL, rows, cols);
  if (!res) return false;
  for (int j = 0; j < cols; ++j) {
    const double base = b->re()[j];
    for (int i = 0; i < rows; ++i) {
      double idx = static_cast<double>(skip) + i + 1, f = 1, r = 0;
      while (idx > 0) {
        f /= base;
        const double q = std::floor(idx / base);
        r += f * (idx - q * base);
        idx = q;
      }
      res->re()[at(res, i, j)] = r;
    }
  }
  return ret(n, res);
}

// ---------------------------------------------------------------- traces

// Row-major product of real matrices (r x k times k x c).
std::vector<double> mul(const Mat* a, const Mat* b) {
  std::vector<double> p(static_cast<size_t>(a->rows) * static_cast<size_t>(b->cols));
  if (!p.empty() && a->cols)
    cblas_dgemm(CblasRowMajor, CblasNoTrans, CblasNoTrans, a->rows, b->cols, a->cols, 1.0, a->re(), a->cols, b->re(),
                b->cols, 0.0, p.data(), b->cols);
  return p;
}
// Product of a row-major q x q buffer by a q x q matrix.
std::vector<double> mul(const std::vector<double>& a, const Mat* b) {
  const int q = b->rows;
  std::vector<double> p(a.size());
  if (!p.empty())
    cblas_dgemm(CblasRowMajor, CblasNoTrans, CblasNoTrans, q, q, q, 1.0, a.data(), q, b->re(), q, 0.0, p.data(), q);
  return p;
}

// trace(P * Q) for P (p x r) and Q (r x p) without forming the product.
double tracepq(const std::vector<double>& p, const std::vector<double>& q, int pr, int rr) {
  double t = 0;
  for (int i = 0; i < pr; ++i)
    for (int j = 0; j < rr; ++j)
      t += p[static_cast<size_t>(i) * static_cast<size_t>(rr) + static_cast<size_t>(j)] *
           q[static_cast<size_t>(j) * static_cast<size_t>(pr) + static_cast<size_t>(i)];
  return t;
}

// Complex forms of the above: a matrix's elements row by row, the product
// of row-major buffers (r x k times k x c), trace(P * Q).
std::vector<cx> cxof(const Mat* m) {
  std::vector<cx> v(m->n());
  for (int i = 0; i < m->rows; ++i)
    for (int j = 0; j < m->cols; ++j) {
      const size_t k = at(m, i, j);
      v[static_cast<size_t>(i) * static_cast<size_t>(m->cols) + static_cast<size_t>(j)] = cx(m->re()[k], imof(m, k));
    }
  return v;
}
std::vector<cx> cxmul(const std::vector<cx>& a, int r, int k, const std::vector<cx>& b, int c) {
  std::vector<cx> p(static_cast<size_t>(r) * static_cast<size_t>(c));
  for (int i = 0; i < r; ++i)
    for (int l = 0; l < k; ++l) {
      const cx x = a[static_cast<size_t>(i) * static_cast<size_t>(k) + static_cast<size_t>(l)];
      for (int j = 0; j < c; ++j)
        p[static_cast<size_t>(i) * static_cast<size_t>(c) + static_cast<size_t>(j)] +=
            cmul(x, b[static_cast<size_t>(l) * static_cast<size_t>(c) + static_cast<size_t>(j)]);
    }
  return p;
}
bool cxtrace(int n, const std::vector<cx>& p, const std::vector<cx>& q, int pr, int rr) {
  cx t = 0;
  for (int i = 0; i < pr; ++i)
    for (int j = 0; j < rr; ++j)
      t += cmul(p[static_cast<size_t>(i) * static_cast<size_t>(rr) + static_cast<size_t>(j)],
                q[static_cast<size_t>(j) * static_cast<size_t>(pr) + static_cast<size_t>(i)]);
  return ret(n, mkcscalar(vfix(t.real()), vfix(t.imag())));
}
bool anycx(const Mat* a, const Mat* b, const Mat* c) {
  return a->eltype == ET_CPLX || b->eltype == ET_CPLX || c->eltype == ET_CPLX;
}

bool symmetric(const Mat* m) {
  for (int i = 0; i < m->rows; ++i)
    for (int j = 0; j < i; ++j)
      if (m->re()[at(m, i, j)] != m->re()[at(m, j, i)]) return false;
  return true;
}

// trace_AVBV(A, V, B): trace(A*V*B*V) for A (p x q), V (q x p), B (p x q),
// through the two products A*V and B*V.
bool b_trace_AVBV(int n) {
  Mat* a = arg(n, 0);
  Mat* v = arg(n, 1);
  Mat* b = arg(n, 2);
  if (!numin(a) || !numin(v) || !numin(b)) return false;
  if (a->cols != v->rows || v->cols != b->rows || b->cols != v->rows || v->cols != a->rows) return vmerr(RC_VM_CONFORM);
  if (anymissing(a) || anymissing(v) || anymissing(b))
    return ret(n, anycx(a, v, b) ? mkcscalar(misval, misval) : mkscalar(misval));
  if (anycx(a, v, b)) {
    const std::vector<cx> vv = cxof(v);
    return cxtrace(n, cxmul(cxof(a), a->rows, a->cols, vv, v->cols), cxmul(cxof(b), b->rows, b->cols, vv, v->cols),
                   a->rows, v->cols);
  }
  const std::vector<double> av = mul(a, v), bv = mul(b, v);
  return ret(n, mkscalar(vfix(tracepq(av, bv, a->rows, v->cols))));
}

// trace_ABBAV(A, B, V): trace(A*B*B*A*V) for square A, B and V of one
// order. With A*B = P and B*A = Q it is the sum of P[i,j] * (Q*V)[j,i];
// when A and B are symmetric Q is P' and the sum is that of P :* (V*P).
bool b_trace_ABBAV(int n) {
  Mat* a = arg(n, 0);
  Mat* b = arg(n, 1);
  Mat* v = arg(n, 2);
  if (!numin(a) || !numin(b) || !numin(v)) return false;
  const int q = a->rows;
  if (a->cols != q || b->rows != q || b->cols != q || v->rows != q || v->cols != q) return vmerr(RC_VM_CONFORM);
  if (anymissing(a) || anymissing(v) || anymissing(b))
    return ret(n, anycx(a, b, v) ? mkcscalar(misval, misval) : mkscalar(misval));
  if (anycx(a, b, v)) {
    const std::vector<cx> ca = cxof(a), cb = cxof(b);
    return cxtrace(n, cxmul(ca, q, q, cb, q), cxmul(cxmul(cb, q, q, ca, q), q, q, cxof(v), q), q, q);
  }
  const std::vector<double> p = mul(a, b);
  double t = 0;
  if (symmetric(a) && symmetric(b)) {
    const std::vector<double> vp = [&] {
      std::vector<double> r(p.size());
      if (q)
        cblas_dgemm(CblasRowMajor, CblasNoTrans, CblasNoTrans, q, q, q, 1.0, v->re(), q, p.data(), q, 0.0, r.data(), q);
      return r;
    }();
    for (size_t k = 0; k < p.size(); ++k) t += p[k] * vp[k];
  } else {
    t = tracepq(p, mul(mul(b, a), v), q, q);
  }
  return ret(n, mkscalar(vfix(t)));
}

const LibRow rows[] = {
    {"ginvr", E_REAL, O_MATRIX, 1, 2, b_ginvr},
    {"_svd_2", E_REAL, O_SCALAR, 2, 2, b__svd_2},
    {"chebyeval", E_TRANS, O_MATRIX, 2, 3, b_chebyeval},
    {"_fft", E_TRANS, O_VOID, 1, 1, b__fft},
    {"_invfft", E_TRANS, O_VOID, 1, 1, b__invfft},
    {"J2", E_TRANS, O_MATRIX, 3, 3, b_J2},
    {"ghalton", E_REAL, O_MATRIX, 2, 3, b_ghalton},
    {"trace_AVBV", E_TRANS, O_MATRIX, 3, 3, b_trace_AVBV},
    {"trace_ABBAV", E_TRANS, O_MATRIX, 3, 3, b_trace_ABBAV},
};

}  // namespace

LibRows lib_num_rows() { return {rows, sizeof rows / sizeof rows[0]}; }
