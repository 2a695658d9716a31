// Probability distributions: the normal distribution (series and continued
// fraction, as fixed by the language) and its inverse (algorithm AS 241), the
// bivariate normal, and the families built on the regularised incomplete
// gamma and beta functions (chi-squared, t, F, beta, gamma, binomial), central
// and noncentral, with their inverses and densities. Incomplete gamma and beta
// functions, their inverses and the noncentral families come from Boost.Math,
// evaluated in extended precision; every domain error gives `.`.
#include <cmath>

#include <boost/math/distributions/fisher_f.hpp>
#include <boost/math/distributions/non_central_beta.hpp>
#include <boost/math/distributions/non_central_chi_squared.hpp>
#include <boost/math/distributions/non_central_f.hpp>
#include <boost/math/distributions/students_t.hpp>
#include <boost/math/quadrature/exp_sinh.hpp>
#include <boost/math/quadrature/gauss_kronrod.hpp>
#include <boost/math/tools/minima.hpp>
#include <boost/math/quadrature/tanh_sinh.hpp>
#include <boost/math/special_functions/beta.hpp>
#include <boost/math/special_functions/digamma.hpp>
#include <boost/math/special_functions/erf.hpp>
#include <boost/math/special_functions/gamma.hpp>
#include <boost/math/special_functions/trigamma.hpp>

#include "expr/fn_lib.h"

namespace {

namespace bm = boost::math;
namespace bmp = boost::math::policies;
// Errors become NaN or infinities, which fnres turns into `.`.
using fnpol = bmp::policy<bmp::domain_error<bmp::ignore_error>, bmp::pole_error<bmp::ignore_error>,
                          bmp::overflow_error<bmp::ignore_error>,
                          bmp::evaluation_error<bmp::ignore_error>,
                          bmp::rounding_error<bmp::ignore_error>,
                          bmp::indeterminate_result_error<bmp::ignore_error>>;
const fnpol pol;

using A = const FuncValue*;

constexpr double SQRT2PI = 2.5066282746310002;     // sqrt(2 pi)
constexpr double LNSQRT2PI = 0.91893853320467274;  // ln(sqrt(2 pi))

bool anymiss(A a, int n) {
  for (int i = 0; i < n; ++i)
    if (fnmiss(a[i].d)) return true;
  return false;
}

// exp(-a^2/2) with the square formed exactly (fma), so that the density keeps
// full relative precision far into the tails.
double expmhalfsq(double a) {
  double s = a * a;
  double e = std::fma(a, a, -s);
  return std::exp(-s / 2) * (1 - e / 2);
}

// The continued fraction 1/(a + 1/(a + 2/(a + 3/(a + ...)))) (the Mills
// ratio), by the forward recurrence rescaled by 1e30 whenever the terms pass
// 1e30, until two successive approximations agree.
double millsratio(double a) {
  double a0 = 1, b0 = 0;   // A(n-2), B(n-2)
  double a1 = 0, b1 = 1;   // A(n-1), B(n-1)
  double prev = -1;
  for (int n = 1; n < 100000; ++n) {
    double bn = n == 1 ? 1.0 : static_cast<double>(n - 1);
    double an = a * a1 + bn * a0;
    double bnn = a * b1 + bn * b0;
    a0 = a1, b0 = b1, a1 = an, b1 = bnn;
    if (std::fabs(a1) > 1e30 || std::fabs(b1) > 1e30) {
      a0 /= 1e30, b0 /= 1e30, a1 /= 1e30, b1 /= 1e30;
    }
    double cur = a1 / b1;
    if (cur == prev) return cur;
    prev = cur;
  }
  return prev;
}

}  // namespace

// The standard normal distribution function.
double fn_normal(double z) {
  if (fnmiss(z)) return misval;
  if (z == 0) return 0.5;
  double a = std::fabs(z);
  double phi = expmhalfsq(a) / SQRT2PI;
  if (z > 0 && 1 - phi / a == 1) return 1;
  if (z < 0 && phi / a == 0) return 0;
  if ((z < 0 && a <= 2.32) || (z > 0 && a <= 3.5)) {
    double a2 = a * a, term = 1, sum = 1;
    for (int k = 1; k < 1000; ++k) {
      term *= a2 / (2 * k + 1);
      double ns = sum + term;
      if (ns == sum) break;
      sum = ns;
    }
    double s = a * phi * sum;
    return z > 0 ? 0.5 + s : 0.5 - s;
  }
  double tail = phi * millsratio(a);
  return z < 0 ? tail : 1 - tail;
}

// The inverse normal distribution function: algorithm AS 241 (PPND16).
double fn_invnormal(double p) {
  if (fnmiss(p) || !(p > 0 && p < 1)) return misval;
  double q = p - 0.5, r, val;
  if (std::fabs(q) <= 0.425) {
    r = 0.180625 - q * q;
    val = q * (((((((r * 2509.0809287301226727 + 33430.575583588128105) * r + 67265.770927008700853) * r +
                   45921.953931549871457) * r + 13731.693765509461125) * r + 1971.5909503065514427) * r +
                 133.14166789178437745) * r + 3.387132872796366608) /
          (((((((r * 5226.495278852545925 + 28729.085735721942674) * r + 39307.89580009271061) * r +
               21213.794301586595867) * r + 5394.1960214247511077) * r + 687.1870074920579083) * r +
            42.313330701600911252) * r + 1.0);
    return val;
  }
  r = q < 0 ? p : 1 - p;
  r = std::sqrt(-std::log(r));
  if (r <= 5) {
    r -= 1.6;
    val = (((((((r * 7.7454501427834140764e-4 + 0.0227238449892691845833) * r + 0.24178072517745061177) * r +
               1.27045825245236838258) * r + 3.64784832476320460504) * r + 5.7694972214606914055) * r +
            4.6303378461565452959) * r + 1.42343711074968357734) /
          (((((((r * 1.05075007164441684324e-9 + 5.475938084995344946e-4) * r + 0.0151986665636164571966) * r +
               0.14810397642748007459) * r + 0.68976733498510000455) * r + 1.6763848301838038494) * r +
            2.05319162663775882187) * r + 1.0);
  } else {
    r -= 5;
    val = (((((((r * 2.01033439929228813265e-7 + 2.71155556874348757815e-5) * r + 0.0012426609473880784386) * r +
               0.026532189526576123093) * r + 0.29656057182850489123) * r + 1.7848265399172913358) * r +
            5.4637849111641143699) * r + 6.6579046435011037772) /
          (((((((r * 2.04426310338993978564e-15 + 1.4215117583164458887e-7) * r + 1.8463183175100546818e-5) * r +
               7.868691311456132591e-4) * r + 0.0148753612908506148525) * r + 0.13692988092273580531) * r +
            0.59983220655588793769) * r + 1.0);
  }
  return q < 0 ? -val : val;
}

namespace {

// ln of the normal distribution function: from the distribution itself where
// it is representable, else from the Mills ratio in logarithms.
double lnnormal(double z) {
  if (z > 0) return std::log1p(-fn_normal(-z));
  if (z > -30) return std::log(fn_normal(z));
  double a = -z;
  return -a * a / 2 - LNSQRT2PI + std::log(millsratio(a));
}

double d_normal(A a, int, FuncCtx&) { return fn_normal(a[0].d); }
double d_invnormal(A a, int, FuncCtx&) { return fn_invnormal(a[0].d); }
double d_lnnormal(A a, int, FuncCtx&) {
  if (fnmiss(a[0].d)) return misval;
  return fnres(lnnormal(a[0].d));
}

// x^2 for x = (z - m)/s as an unevaluated sum hi + lo: the difference and
// the quotient are carried with their rounding errors (two-sum, fma), so the
// density keeps full relative precision when x^2/2 is in the hundreds.
void stdsq(double z, double m, double s, double* hi, double* lo) {
  double d = z - m;
  double bb = d - z;
  double de = (z - (d - bb)) + (-m - bb);  // exact error of z - m
  double q = d / s;
  double r = std::fma(-q, s, d) + de;      // d + de = q s + r
  double t = r / s;                         // x = q + t
  *hi = q * q;
  *lo = std::fma(q, q, -*hi) + 2 * q * t + t * t;
}

// normalden(z[, s[, m]]): the normal density with mean m and standard
// deviation s at z.
double d_normalden(A a, int n, FuncCtx&) {
  if (anymiss(a, n)) return misval;
  double s = n > 1 ? a[1].d : 1, m = n > 2 ? a[2].d : 0;
  if (!(s > 0)) return misval;
  double hi, lo;
  stdsq(a[0].d, m, s, &hi, &lo);
  return fnres(std::exp(-hi / 2) * (1 + std::expm1(-lo / 2)) / SQRT2PI / s);
}
double d_lnnormalden(A a, int n, FuncCtx&) {
  if (anymiss(a, n)) return misval;
  double s = n > 1 ? a[1].d : 1, m = n > 2 ? a[2].d : 0;
  if (!(s > 0)) return misval;
  double hi, lo;
  stdsq(a[0].d, m, s, &hi, &lo);
  return fnres(-(hi / 2 + lo / 2) - std::log(s) - LNSQRT2PI);
}

// ---- bivariate normal ----

// Gauss-Legendre abscissae and weights (half rules of 6, 12 and 20 points).
const double glx[3][10] = {
    {-0.9324695142031522, -0.6612093864662647, -0.2386191860831970},
    {-0.9815606342467191, -0.9041172563704750, -0.7699026741943050, -0.5873179542866171,
     -0.3678314989981802, -0.1252334085114692},
    {-0.9931285991850949, -0.9639719272779138, -0.9122344282513259, -0.8391169718222188,
     -0.7463319064601508, -0.6360536807265150, -0.5108670019508271, -0.3737060887154196,
     -0.2277858511416451, -0.07652652113349733}};
const double glw[3][10] = {
    {0.1713244923791705, 0.3607615730481384, 0.4679139345726904},
    {0.04717533638651177, 0.1069393259953183, 0.1600783285433464, 0.2031674267230659,
     0.2334925365383547, 0.2491470458134029},
    {0.01761400713915212, 0.04060142980038694, 0.06267204833410906, 0.08327674157670475,
     0.1019301198172404, 0.1181945319615184, 0.1316886384491766, 0.1420961093183821,
     0.1491729864726037, 0.1527533871307259}};

// Normal distribution through erfc (for the bivariate routines).
double phid(double z) { return 0.5 * std::erfc(-z / std::sqrt(2.0)); }

// P(X > h, Y > k) for a standard bivariate normal with correlation r, by
// Genz's method (Drezner-Wesolowsky with Gauss-Legendre quadrature), accurate
// to about 1e-15 absolute.
double bvu(double h, double k, double r) {
  int ng, lg;
  if (std::fabs(r) < 0.3) ng = 0, lg = 3;
  else if (std::fabs(r) < 0.75) ng = 1, lg = 6;
  else ng = 2, lg = 10;
  const double twopi = 2 * M_PI;
  double hk = h * k, bvn = 0;
  if (std::fabs(r) < 0.925) {
    double hs = (h * h + k * k) / 2, asr = std::asin(r);
    for (int i = 0; i < lg; ++i) {
      double sn = std::sin(asr * (glx[ng][i] + 1) / 2);
      bvn += glw[ng][i] * std::exp((sn * hk - hs) / (1 - sn * sn));
      sn = std::sin(asr * (-glx[ng][i] + 1) / 2);
      bvn += glw[ng][i] * std::exp((sn * hk - hs) / (1 - sn * sn));
    }
    return bvn * asr / (2 * twopi) + phid(-h) * phid(-k);
  }
  if (r < 0) k = -k, hk = -hk;
  if (std::fabs(r) < 1) {
    double as = (1 - r) * (1 + r), a = std::sqrt(as), bs = (h - k) * (h - k);
    double c = (4 - hk) / 8, d = (12 - hk) / 16;
    bvn = a * std::exp(-(bs / as + hk) / 2) * (1 - c * (bs - as) * (1 - d * bs / 5) / 3 + c * d * as * as / 5);
    if (hk > -160) {
      double b = std::sqrt(bs);
      bvn -= std::exp(-hk / 2) * std::sqrt(twopi) * phid(-b / a) * b * (1 - c * bs * (1 - d * bs / 5) / 3);
    }
    a /= 2;
    for (int i = 0; i < lg; ++i) {
      double xs = (a * (glx[ng][i] + 1)) * (a * (glx[ng][i] + 1));
      double rs = std::sqrt(1 - xs);
      bvn += a * glw[ng][i] *
             (std::exp(-bs / (2 * xs) - hk / (1 + rs)) / rs - std::exp(-(bs / xs + hk) / 2) * (1 + c * xs * (1 + d * xs)));
      xs = as * (-glx[ng][i] + 1) * (-glx[ng][i] + 1) / 4;
      rs = std::sqrt(1 - xs);
      bvn += a * glw[ng][i] * std::exp(-(bs / xs + hk) / 2) *
             (std::exp(-hk * xs / (2 * (1 + rs) * (1 + rs))) / rs - (1 + c * xs * (1 + d * xs)));
    }
    bvn = -bvn / twopi;
  }
  if (r > 0) return bvn + phid(-std::max(h, k));
  bvn = -bvn;
  if (k > h) bvn += h < 0 ? phid(k) - phid(h) : phid(-h) - phid(-k);
  return bvn;
}

// ln of the normal distribution function for the quadrature integrand.
double lnphid(double z) {
  if (z > -30) return std::log(phid(z));
  return lnnormal(z);
}

// P(X < h, Y < k) as the integral over x < h of phi(x) Phi((k - r x)/s), a
// positive integrand whose logarithm g is concave, so the result keeps its
// relative precision in the far lower tail. The mode of g is located first;
// the integral is then taken on each side of it, out to where the integrand
// has fallen by e^-50, scaled by its largest value against underflow.
double binormquad(double h, double k, double r) {
  if (h > k) std::swap(h, k);
  double s = std::sqrt((1 - r) * (1 + r));
  auto g = [&](double x) {
    double sq = x * x, e = std::fma(x, x, -sq);
    return -(sq + e) / 2 - LNSQRT2PI + lnphid((k - r * x) / s);
  };
  // bracket the mode by steps that grow leftwards from h; by concavity it
  // lies between the neighbours of the best point seen
  double step = 0.01 / (1 + std::fabs(h)), best = h, gbest = g(h), x = h, prevx = h;
  double rightofbest = h, lo = h, hi = h;
  for (int i = 0; i < 200; ++i) {
    prevx = x;
    x -= step;
    double gx = g(x);
    lo = x;
    if (gx > gbest) {
      gbest = gx, best = x, rightofbest = prevx;
    } else if (gx < gbest - 1) {
      break;
    }
    step *= 2;
  }
  hi = rightofbest;
  double m = best;
  if (hi > lo) {
    auto negg = [&](double t) { return -g(t); };
    auto mm = bm::tools::brent_find_minima(negg, lo, hi, 52);
    if (-mm.second > gbest) m = mm.first, gbest = -mm.second;
  }
  auto f = [&](double t) { return std::exp(g(t) - gbest); };
  // each side: out to where g has dropped by 50
  auto reach = [&](int dir) {
    double st = 1e-3 / (1 + std::fabs(m)), t = m;
    for (int i = 0; i < 200; ++i) {
      t += dir * st;
      if (dir > 0 && t >= h) return h;
      if (g(t) < gbest - 50) return t;
      st *= 2;
    }
    return t;
  };
  double left = reach(-1), right = m < h ? reach(1) : h;
  using gk = bm::quadrature::gauss_kronrod<double, 31>;
  double sum = gk::integrate(f, left, m, 15, 1e-13);
  if (right > m) sum += gk::integrate(f, m, right, 15, 1e-13);
  return sum * std::exp(gbest);
}

// The bivariate normal distribution function.
double binormal(double h, double k, double r) {
  if (!(r >= -1 && r <= 1)) return misval;
  if (h < -39 || k < -39) return 0;
  h = std::min(h, 39.0), k = std::min(k, 39.0);
  if (r == 1) return fn_normal(std::min(h, k));
  if (r == -1) return h + k <= 0 ? 0 : fn_normal(h) - fn_normal(-k);
  if (r == 0) return fn_normal(h) * fn_normal(k);
  double g = bvu(-h, -k, r);
  if (g > 0.01) return g;  // Genz's absolute error is then small enough
  return binormquad(h, k, r);
}

double d_binormal(A a, int n, FuncCtx&) {
  if (anymiss(a, n)) return misval;
  return fnres(binormal(a[0].d, a[1].d, a[2].d));
}

// ---- incomplete gamma family ----

// Wilson-Hilferty argument for shape a above 1e13.
double whz(double a, double x) { return 3 * std::sqrt(a) * (std::cbrt(x / a) - (1 - 1 / (9 * a))); }

// Shapes above which Boost's incomplete gamma loses accuracy; from here to
// 1e13 Temme's uniform asymptotic expansion takes over.
constexpr double TEMMEA = 1e9;

// P(a, x) and Q(a, x) for large a by Temme's uniform expansion: Q = erfc(eta
// sqrt(a/2))/2 + exp(-a eta^2/2)/sqrt(2 pi a) (C0(eta) + C1(eta)/a), with
// eta^2/2 = lambda - 1 - ln lambda, lambda = x/a; the neglected terms are
// O(a^-2) relative to the correction, far below double precision here.
void temme(double a, double x, double* p, double* q) {
  double d = (x - a) / a;  // lambda - 1
  double half;             // lambda - 1 - ln lambda
  if (std::fabs(d) < 0.1) {
    double t = d, sum = 0;
    for (int k = 2; k < 40; ++k) {
      t *= -d;
      double term = -t / k;  // d^k (-1)^k / k
      sum += term;
      if (std::fabs(term) < 1e-18 * std::fabs(sum)) break;
    }
    half = sum;
  } else {
    half = d - std::log1p(d);
  }
  double eta = std::sqrt(2 * half);
  if (d < 0) eta = -eta;
  double c0, c1;
  if (std::fabs(eta) < 0.01) {
    static const double d0[] = {-1.0 / 3, 1.0 / 12, -2.0 / 135, 1.0 / 864, 1.0 / 2835, -139.0 / 777600,
                                1.0 / 25515};
    static const double d1[] = {-1.8518518518518519e-3, -3.4722222222222222e-3, 2.6455026455026455e-3,
                                -9.9022633744855967e-4, 2.0576131687242798e-4};
    c0 = 0, c1 = 0;
    for (int k = 6; k >= 0; --k) c0 = c0 * eta + d0[k];
    for (int k = 4; k >= 0; --k) c1 = c1 * eta + d1[k];
  } else {
    c0 = 1 / d - 1 / eta;
    // C1 = 1/eta^3 - 1/(lambda-1)^3 - 1/(lambda-1)^2 - 1/(12 (lambda-1))
    c1 = 1 / (eta * eta * eta) - 1 / (d * d * d) - 1 / (d * d) - 1 / (12 * d);
  }
  double r = std::exp(-a * half) / std::sqrt(2 * M_PI * a) * (c0 + c1 / a);
  double u = eta * std::sqrt(a / 2);
  *q = 0.5 * std::erfc(u) + r;
  *p = 0.5 * std::erfc(-u) - r;
}

}  // namespace

// Regularised lower incomplete gamma P(a, x).
double fn_gammap(double a, double x) {
  if (fnmiss(a) || fnmiss(x) || !(a > 0) || x < 0) return misval;
  if (a > 1e13) return fn_normal(whz(a, x));
  if (a > TEMMEA) {
    double p, q;
    temme(a, x, &p, &q);
    return fnres(p);
  }
  return fnres(bm::gamma_p(a, x, pol));
}
// Its complement Q(a, x) = 1 - P(a, x), computed as the upper tail.
double fn_gammaptail(double a, double x) {
  if (fnmiss(a) || fnmiss(x) || !(a > 0) || x < 0) return misval;
  if (a > 1e13) return fn_normal(-whz(a, x));
  if (a > TEMMEA) {
    double p, q;
    temme(a, x, &p, &q);
    return fnres(q);
  }
  return fnres(bm::gamma_q(a, x, pol));
}
// Regularised incomplete beta I_x(a, b).
double fn_ibeta(double a, double b, double x) {
  if (fnmiss(a) || fnmiss(b) || fnmiss(x) || !(a > 0) || !(b > 0) || !(x >= 0 && x <= 1)) return misval;
  return fnres(bm::ibeta(a, b, x, pol));
}

namespace {

// Inverse of P(a, .) at p (0 <= p < 1); Wilson-Hilferty inverted above 1e13.
double invgammap(double a, double p, bool upper) {
  if (!(a > 0) || !(p >= 0 && p <= 1)) return misval;
  if (upper ? p == 1 : p == 0) return 0;
  if (upper ? p == 0 : p == 1) return misval;
  if (a > 1e13) {
    double z = fn_invnormal(upper ? 1 - p : p);
    double c = 1 - 1 / (9 * a) + z / (3 * std::sqrt(a));
    return fnres(a * c * c * c);
  }
  double x;
  try {
    x = upper ? bm::gamma_q_inv(a, p, pol) : bm::gamma_p_inv(a, p, pol);
  } catch (...) {
    return misval;
  }
  // Newton steps on ln P (or ln Q) against ln x keep the relative precision
  // in far tails
  for (int it = 0; it < 12; ++it) {
    if (!(x > 0) || !std::isfinite(x)) break;
    double t = upper ? fn_gammaptail(a, x) : fn_gammap(a, x);
    double dv = bm::gamma_p_derivative(a, x, pol);
    if (!(t > 0) || t >= misval || !(dv > 0) || !std::isfinite(dv)) break;
    double step = std::log(t / p) * t / (x * dv);  // in ln x
    if (upper) step = -step;
    x *= std::exp(-step);
    if (std::fabs(step) <= 2e-16) break;
  }
  return fnres(x);
}

double d_gammap(A a, int, FuncCtx&) { return fn_gammap(a[0].d, a[1].d); }
double d_gammaptail(A a, int, FuncCtx&) { return fn_gammaptail(a[0].d, a[1].d); }
double d_invgammap(A a, int n, FuncCtx&) {
  if (anymiss(a, n)) return misval;
  return invgammap(a[0].d, a[1].d, false);
}
double d_invgammaptail(A a, int n, FuncCtx&) {
  if (anymiss(a, n)) return misval;
  return invgammap(a[0].d, a[1].d, true);
}

// chi2(df, x) = P(df/2, x/2) and relatives.
double d_chi2(A a, int, FuncCtx&) {
  if (fnmiss(a[0].d) || fnmiss(a[1].d)) return misval;
  return fn_gammap(a[0].d / 2, a[1].d / 2);
}
double d_chi2tail(A a, int, FuncCtx&) {
  if (fnmiss(a[0].d) || fnmiss(a[1].d)) return misval;
  return fn_gammaptail(a[0].d / 2, a[1].d / 2);
}
double d_invchi2(A a, int n, FuncCtx&) {
  if (anymiss(a, n)) return misval;
  double r = invgammap(a[0].d / 2, a[1].d, false);
  return fnmiss(r) ? misval : 2 * r;
}
double d_invchi2tail(A a, int n, FuncCtx&) {
  if (anymiss(a, n)) return misval;
  double r = invgammap(a[0].d / 2, a[1].d, true);
  return fnmiss(r) ? misval : 2 * r;
}

// gammaden(a, b, g, x): gamma density with shape a, scale b, shift g.
double d_gammaden(A a, int n, FuncCtx&) {
  if (anymiss(a, n)) return misval;
  double sh = a[0].d, sc = a[1].d, g = a[2].d, x = a[3].d;
  if (!(sh > 0) || !(sc > 0)) return misval;
  if (x < g) return 0;
  if (x == g) return sh > 1 ? 0 : (sh == 1 ? 1 / sc : misval);
  return fnres(bm::gamma_p_derivative(sh, (x - g) / sc, pol) / sc);
}

// The gamma density t^(a-1) e^-t / Gamma(a), in logarithms to stay finite.
double gdens(double a, double t, double lga) {
  return std::exp((a - 1) * std::log(t) - t - lga);
}

// Integral of gdens(t) w(t) over (0, x) (lower) or (x, inf) (upper).
template <class W>
double gint(double a, double x, bool upper, W w) {
  double lga = bm::lgamma(a, pol);
  auto f = [&](double t) { return t > 0 ? gdens(a, t, lga) * w(t) : 0.0; };
  double tol = 1e-15;
  if (upper) {
    bm::quadrature::exp_sinh<double> es;
    auto g = [&](double u) { return f(x + u); };
    return es.integrate(g, tol);
  }
  bm::quadrature::tanh_sinh<double> ts;
  return ts.integrate(f, 0.0, x, tol);
}

// dP(a, x)/da: the integral of the density times (ln t - digamma(a)), taken
// over the side of x on which that factor keeps one sign.
double dgammapda(double a, double x) {
  if (!(a > 0) || x < 0) return misval;
  if (x == 0) return 0;
  double psi = bm::digamma(a, pol);
  auto w = [&](double t) { return std::log(t) - psi; };
  if (std::log(x) <= psi) return fnres(gint(a, x, false, w));
  return fnres(-gint(a, x, true, w));
}
// d2P(a, x)/da2: the same with (ln t - digamma(a))^2 - trigamma(a).
double dgammapdada(double a, double x) {
  if (!(a > 0) || x < 0) return misval;
  if (x == 0) return 0;
  double psi = bm::digamma(a, pol), tri = bm::trigamma(a, pol);
  auto w = [&](double t) {
    double l = std::log(t) - psi;
    return l * l - tri;
  };
  if (x <= a) return fnres(gint(a, x, false, w));
  return fnres(-gint(a, x, true, w));
}

double d_dgammapda(A a, int n, FuncCtx&) {
  if (anymiss(a, n)) return misval;
  return dgammapda(a[0].d, a[1].d);
}
double d_dgammapdada(A a, int n, FuncCtx&) {
  if (anymiss(a, n)) return misval;
  return dgammapdada(a[0].d, a[1].d);
}
// dP/dx: the density.
double d_dgammapdx(A a, int n, FuncCtx&) {
  if (anymiss(a, n)) return misval;
  double sh = a[0].d, x = a[1].d;
  if (!(sh > 0) || x < 0) return misval;
  if (x == 0) return sh > 1 ? 0 : (sh == 1 ? 1 : misval);
  return fnres(bm::gamma_p_derivative(sh, x, pol));
}
// d2P/dadx: the density times (ln x - digamma(a)).
double d_dgammapdadx(A a, int n, FuncCtx&) {
  if (anymiss(a, n)) return misval;
  double sh = a[0].d, x = a[1].d;
  if (!(sh > 0) || x < 0) return misval;
  if (x == 0) return sh > 1 ? 0 : misval;
  return fnres(bm::gamma_p_derivative(sh, x, pol) * (std::log(x) - bm::digamma(sh, pol)));
}
// d2P/dx2: the density times ((a - 1)/x - 1).
double d_dgammapdxdx(A a, int n, FuncCtx&) {
  if (anymiss(a, n)) return misval;
  double sh = a[0].d, x = a[1].d;
  if (!(sh > 0) || x < 0) return misval;
  if (x == 0) return sh > 2 ? 0 : (sh == 2 ? 1 : (sh == 1 ? -1 : misval));
  return fnres(bm::gamma_p_derivative(sh, x, pol) * ((sh - 1) / x - 1));
}

// ---- incomplete beta family ----

// I_w(a, b) where w and 1 - w are both given exactly: the smaller of the two
// is the one passed on, so that neither loses digits to the other.
double ibetapair(double a, double b, double w, double omw) {
  if (w <= 0.5) return bm::ibeta(a, b, w, pol);
  return bm::ibetac(b, a, omw, pol);
}

// x with I_x(a, b) = p and y = 1 - x. Boost's inverse is polished by Newton
// steps on the logarithm of the tail that p names (the lower tail in x for
// p <= 1/2, the upper tail in y otherwise), which keeps full relative
// precision for p far out in either tail.
void ibinv(double a, double b, double p, double* xo, double* yo) {
  double x = 0, y = 0;
  try {
    x = bm::ibeta_inv(a, b, p, &y, pol);
  } catch (...) {
    x = y = 0;  // the root finder gave up in a far tail: start afresh below
  }
  bool lower = p <= 0.5;
  double target = lower ? p : 1 - p;
  // a start from the leading term I_v(a, b) ~ v^a / (a B(a, b)) where the
  // library's own answer underflowed
  double ea = lower ? a : b, eb = lower ? b : a;
  double v = lower ? x : y;
  if (!(v > 0) || !std::isfinite(v)) {
    double lv = (std::log(target) + std::log(ea) + bm::lgamma(ea, pol) + bm::lgamma(eb, pol) -
                 bm::lgamma(ea + eb, pol)) / ea;
    v = std::exp(lv);
  }
  // Newton steps on ln(tail) against ln v: power-law tails converge at once
  for (int it = 0; it < 12 && v > 0 && v < 1; ++it) {
    double t = bm::ibeta(ea, eb, v, pol);
    double dv = bm::ibeta_derivative(ea, eb, v, pol);
    if (!(t > 0) || !(dv > 0) || !std::isfinite(t) || !std::isfinite(dv)) break;
    double step = std::log(t / target) * t / (v * dv);  // in ln v
    double nv = v * std::exp(-step);
    if (!(nv < 1)) nv = (v + 1) / 2;
    v = nv;
    if (std::fabs(step) <= 2e-16) break;
  }
  if (lower)
    x = v, y = 1 - v;
  else
    y = v, x = 1 - v;
  *xo = x, *yo = y;
}

double d_ibeta(A a, int, FuncCtx&) { return fn_ibeta(a[0].d, a[1].d, a[2].d); }
double d_invibeta(A a, int n, FuncCtx&) {
  if (anymiss(a, n)) return misval;
  double p = a[2].d;
  if (!(a[0].d > 0) || !(a[1].d > 0) || !(p >= 0 && p <= 1)) return misval;
  double x, y;
  ibinv(a[0].d, a[1].d, p, &x, &y);
  return fnres(x);
}
double d_betaden(A a, int n, FuncCtx&) {
  if (anymiss(a, n)) return misval;
  double x = a[2].d;
  if (!(a[0].d > 0) || !(a[1].d > 0)) return misval;
  if (x < 0 || x > 1) return 0;
  return fnres(bm::ibeta_derivative(a[0].d, a[1].d, x, pol));
}
// Noncentral beta with noncentrality l (arguments a, b, l, x).
double d_nibeta(A a, int n, FuncCtx&) {
  if (anymiss(a, n)) return misval;
  double x = a[3].d;
  if (!(a[0].d > 0) || !(a[1].d > 0) || !(a[2].d >= 0) || !(x >= 0 && x <= 1)) return misval;
  if (a[2].d == 0) return fn_ibeta(a[0].d, a[1].d, x);
  bm::non_central_beta_distribution<double, fnpol> d(a[0].d, a[1].d, a[2].d);
  return fnres(bm::cdf(d, x));
}
double d_invnibeta(A a, int n, FuncCtx&) {
  if (anymiss(a, n)) return misval;
  double p = a[3].d;
  if (!(a[0].d > 0) || !(a[1].d > 0) || !(a[2].d >= 0) || !(p >= 0 && p <= 1)) return misval;
  if (a[2].d == 0) {
    double x, y;
    ibinv(a[0].d, a[1].d, p, &x, &y);
    return fnres(x);
  }
  bm::non_central_beta_distribution<double, fnpol> d(a[0].d, a[1].d, a[2].d);
  return fnres(bm::quantile(d, p));
}
double d_nbetaden(A a, int n, FuncCtx&) {
  if (anymiss(a, n)) return misval;
  double x = a[3].d;
  if (!(a[0].d > 0) || !(a[1].d > 0) || !(a[2].d >= 0)) return misval;
  if (x < 0 || x > 1) return 0;
  if (a[2].d == 0) return fnres(bm::ibeta_derivative(a[0].d, a[1].d, x, pol));
  bm::non_central_beta_distribution<double, fnpol> d(a[0].d, a[1].d, a[2].d);
  return fnres(bm::pdf(d, x));
}

// ---- noncentral chi-squared ----

double d_nchi2(A a, int n, FuncCtx&) {
  if (anymiss(a, n)) return misval;
  double df = a[0].d, l = a[1].d, x = a[2].d;
  if (!(df > 0) || !(l >= 0) || x < 0) return misval;
  if (l == 0) return fn_gammap(df / 2, x / 2);
  bm::non_central_chi_squared_distribution<double, fnpol> d(df, l);
  return fnres(bm::cdf(d, x));
}
double d_invnchi2(A a, int n, FuncCtx&) {
  if (anymiss(a, n)) return misval;
  double df = a[0].d, l = a[1].d, p = a[2].d;
  if (!(df > 0) || !(l >= 0) || !(p >= 0 && p < 1)) return misval;
  if (l == 0) {
    double r = invgammap(df / 2, p, false);
    return fnmiss(r) ? misval : 2 * r;
  }
  bm::non_central_chi_squared_distribution<double, fnpol> d(df, l);
  return fnres(bm::quantile(d, p));
}
// npnchi2(df, x, p): the noncentrality at which the distribution function at
// x equals p.
double d_npnchi2(A a, int n, FuncCtx&) {
  if (anymiss(a, n)) return misval;
  double df = a[0].d, x = a[1].d, p = a[2].d;
  if (!(df > 0) || !(x > 0) || !(p > 0 && p < 1)) return misval;
  if (p >= fn_gammap(df / 2, x / 2)) return misval;  // would need a negative noncentrality
  return fnres(bm::non_central_chi_squared_distribution<double, fnpol>::find_non_centrality(df, x, p));
}

// ---- t ----

// ttail(df, t): I_w(df/2, 1/2)/2, w = df/(df + t^2), for t > 0; 1 minus that
// for t <= 0.
double ttail(double df, double t) {
  double t2 = t * t;
  double w = df / (df + t2), omw = t2 / (df + t2);
  double half;
  if (!std::isfinite(t2) || w < 1e-290) {
    // w underflows: the leading term w^a / (a B(a, 1/2)) in logarithms
    double a = df / 2, lw = std::log(df) - 2 * std::log(std::fabs(t));
    half = std::exp(a * lw - std::log(a) - bm::lgamma(a, pol) - bm::lgamma(0.5, pol) +
                    bm::lgamma(a + 0.5, pol)) / 2;
  } else {
    half = ibetapair(df / 2, 0.5, w, omw) / 2;
  }
  return t > 0 ? half : 1 - half;
}
double d_ttail(A a, int n, FuncCtx&) {
  if (anymiss(a, n)) return misval;
  if (!(a[0].d > 0)) return misval;
  return fnres(ttail(a[0].d, a[1].d));
}
double d_tprob(A a, int n, FuncCtx&) {
  if (anymiss(a, n)) return misval;
  double df = a[0].d, t = a[1].d;
  if (!(df > 0)) return misval;
  double t2 = t * t;
  return fnres(ibetapair(df / 2, 0.5, df / (df + t2), t2 / (df + t2)));
}
double d_tden(A a, int n, FuncCtx&) {
  if (anymiss(a, n)) return misval;
  if (!(a[0].d > 0)) return misval;
  bm::students_t_distribution<double, fnpol> d(a[0].d);
  return fnres(bm::pdf(d, a[1].d));
}

// ---- F ----

// The upper tail I_w(df2/2, df1/2), w = df2/(df2 + df1 f).
double ftail(double d1, double d2, double f) {
  if (f <= 0) return 1;
  double den = d2 + d1 * f;
  return ibetapair(d2 / 2, d1 / 2, d2 / den, d1 * f / den);
}
// f at which the upper tail is q: from w = inverse of I_w(df2/2, df1/2) with
// 1 - w kept separately.
double invftail(double d1, double d2, double q) {
  if (q == 1) return 0;
  if (q == 0) return misval;
  double w, omw;
  ibinv(d2 / 2, d1 / 2, q, &w, &omw);
  return fnres(d2 * omw / (d1 * w));
}

// sqrt(invFtail(1, df, q)) without forming the square, which may overflow.
double invftail1sqrt(double df, double q) {
  if (q == 1) return 0;
  if (q == 0) return misval;
  double w, omw;
  ibinv(df / 2, 0.5, q, &w, &omw);
  if (!(w > 1e-290)) {
    // w underflows: I_w(a, 1/2) ~ w^a / (a B(a, 1/2)), so t = sqrt(df / w)
    // from logarithms
    double a = df / 2;
    double lw = (std::log(q) + std::log(a) + bm::lgamma(a, pol) + bm::lgamma(0.5, pol) -
                 bm::lgamma(a + 0.5, pol)) / a;
    return fnres(std::exp(0.5 * (std::log(df) - lw)));
  }
  return fnres(std::sqrt(df * omw) / std::sqrt(w));
}

bool fargs(A a, int n) { return !anymiss(a, n) && a[0].d > 0 && a[1].d > 0; }

double d_Ftail(A a, int n, FuncCtx&) {
  if (!fargs(a, n)) return misval;
  return fnres(ftail(a[0].d, a[1].d, a[2].d));
}
double d_F(A a, int n, FuncCtx&) {
  if (!fargs(a, n)) return misval;
  double d1 = a[0].d, d2 = a[1].d, f = a[2].d;
  if (f <= 0) return 0;
  double den = d2 + d1 * f;
  return fnres(ibetapair(d1 / 2, d2 / 2, d1 * f / den, d2 / den));
}
double d_invFtail(A a, int n, FuncCtx&) {
  if (!fargs(a, n) || !(a[2].d >= 0 && a[2].d <= 1)) return misval;
  return invftail(a[0].d, a[1].d, a[2].d);
}
double d_invF(A a, int n, FuncCtx&) {
  if (!fargs(a, n) || !(a[2].d >= 0 && a[2].d <= 1)) return misval;
  double p = a[2].d;
  if (p == 0) return 0;
  if (p == 1) return misval;
  double x, omx;
  ibinv(a[0].d / 2, a[1].d / 2, p, &x, &omx);
  return fnres(a[1].d * x / (a[0].d * omx));
}
double d_Fden(A a, int n, FuncCtx&) {
  if (!fargs(a, n)) return misval;
  if (a[2].d < 0) return 0;
  bm::fisher_f_distribution<double, fnpol> d(a[0].d, a[1].d);
  return fnres(bm::pdf(d, a[2].d));
}
// Noncentral F: (df1, df2, l, f).
bool nfargs(A a, int n) { return fargs(a, n) && a[2].d >= 0; }
double d_nFden(A a, int n, FuncCtx&) {
  if (!nfargs(a, n)) return misval;
  if (a[3].d < 0) return 0;
  bm::non_central_f_distribution<double, fnpol> d(a[0].d, a[1].d, a[2].d);
  return fnres(bm::pdf(d, a[3].d));
}
double d_nFtail(A a, int n, FuncCtx&) {
  if (!nfargs(a, n)) return misval;
  if (a[3].d <= 0) return 1;
  if (a[2].d == 0) return fnres(ftail(a[0].d, a[1].d, a[3].d));
  bm::non_central_f_distribution<double, fnpol> d(a[0].d, a[1].d, a[2].d);
  return fnres(bm::cdf(bm::complement(d, a[3].d)));
}
double d_invnFtail(A a, int n, FuncCtx&) {
  if (!nfargs(a, n)) return misval;
  double q = a[3].d;
  if (!(q >= 0 && q <= 1)) return misval;
  if (q == 1) return 0;
  if (q == 0) return misval;
  if (a[2].d == 0) return invftail(a[0].d, a[1].d, q);
  bm::non_central_f_distribution<double, fnpol> d(a[0].d, a[1].d, a[2].d);
  return fnres(bm::quantile(bm::complement(d, q)));
}

// invttail(df, p) = sqrt(invFtail(1, df, 2 min(p, 1-p))), negated for p >= 0.5.
double d_invttail(A a, int n, FuncCtx&) {
  if (anymiss(a, n)) return misval;
  double df = a[0].d, p = a[1].d;
  if (!(df > 0) || !(p > 0 && p < 1)) return misval;
  double t = invftail1sqrt(df, 2 * std::min(p, 1 - p));
  if (fnmiss(t)) return misval;
  return p >= 0.5 ? -t : t;
}
// invt(df, p), the old inverse of the two-tailed probability: sqrt(invFtail(1,
// df, 1 - p)).
double d_invt(A a, int n, FuncCtx&) {
  if (anymiss(a, n)) return misval;
  double df = a[0].d, p = a[1].d;
  if (!(df > 0) || !(p >= 0 && p < 1)) return misval;
  return invftail1sqrt(df, 1 - p);
}

// ---- binomial ----

// Binomial(n, k, p): probability of k or more successes in n trials.
double d_Binomial(A a, int nargs, FuncCtx&) {
  if (anymiss(a, nargs)) return misval;
  double n = a[0].d, k = a[1].d, p = a[2].d;
  if (!(n > 0) || !(p >= 0 && p <= 1)) return misval;
  if (k <= 0) return 1;
  if (k > n) return 0;
  return fnres(bm::ibeta(k, n - k + 1, p, pol));
}
// invbinomial(n, k, P): the success probability p at which Binomial(n, k, p) = P.
double d_invbinomial(A a, int nargs, FuncCtx&) {
  if (anymiss(a, nargs)) return misval;
  double n = a[0].d, k = a[1].d, P = a[2].d;
  if (!(n > 0) || !(k >= 1 && k <= n) || !(P > 0 && P < 1)) return misval;
  double x, y;
  ibinv(k, n - k + 1, P, &x, &y);
  return fnres(x);
}

// Boost's root finders can still throw on hopeless arguments; no exception may
// leave the library, so every entry point turns one into `.`.
template <FuncNum F>
double safe(A a, int n, FuncCtx& c) {
  try {
    return F(a, n, c);
  } catch (...) {
    return misval;
  }
}

#define ROWN(nm, op, lo, hi, fn) {nm, op, lo, hi, "n", 'n', safe<fn>, nullptr, nullptr, false, 0}
#define ROWV(nm, op, lo, hi, fn, ver) {nm, op, lo, hi, "n", 'n', safe<fn>, nullptr, nullptr, false, ver}

const FuncDef rows[] = {
    ROWN("normal", 600, 1, 1, d_normal),
    ROWN("normprob", 600, 1, 1, d_normal),
    ROWV("norm", 600, 1, 1, d_normal, 999),
    ROWN("lnnormal", 601, 1, 1, d_lnnormal),
    ROWN("lnormal", 601, 1, 1, d_lnnormal),
    ROWN("invnormal", 602, 1, 1, d_invnormal),
    ROWV("invnorm", 602, 1, 1, d_invnormal, 999),
    ROWN("normalden", 603, 1, 3, d_normalden),
    ROWV("normd", 603, 1, 3, d_normalden, 999),
    ROWV("normden", 603, 1, 3, d_normalden, 999),
    ROWN("lnnormalden", 604, 1, 3, d_lnnormalden),
    ROWN("lnormalden", 604, 1, 3, d_lnnormalden),
    ROWN("lnnormald", 604, 1, 3, d_lnnormalden),
    ROWN("lnormald", 604, 1, 3, d_lnnormalden),
    ROWN("binormal", 605, 3, 3, d_binormal),
    ROWN("binorm", 605, 3, 3, d_binormal),
    ROWN("chi2", 606, 2, 2, d_chi2),
    ROWN("chi2tail", 607, 2, 2, d_chi2tail),
    ROWN("chiprob", 607, 2, 2, d_chi2tail),
    ROWN("invchi2", 608, 2, 2, d_invchi2),
    ROWN("invchi2tail", 609, 2, 2, d_invchi2tail),
    ROWV("invchi", 609, 2, 2, d_invchi2tail, 600),
    ROWN("nchi2", 610, 3, 3, d_nchi2),
    ROWN("nchi", 610, 3, 3, d_nchi2),
    ROWN("invnchi2", 611, 3, 3, d_invnchi2),
    ROWN("invnchi", 611, 3, 3, d_invnchi2),
    ROWN("npnchi2", 612, 3, 3, d_npnchi2),
    ROWN("npnchi", 612, 3, 3, d_npnchi2),
    ROWN("F", 613, 3, 3, d_F),
    ROWN("Ftail", 614, 3, 3, d_Ftail),
    ROWN("fprob", 614, 3, 3, d_Ftail),
    ROWN("invF", 615, 3, 3, d_invF),
    ROWN("invFtail", 616, 3, 3, d_invFtail),
    ROWN("invfprob", 616, 3, 3, d_invFtail),
    ROWN("Fden", 617, 3, 3, d_Fden),
    ROWN("nFden", 618, 4, 4, d_nFden),
    ROWN("nFtail", 619, 4, 4, d_nFtail),
    ROWN("invnFtail", 620, 4, 4, d_invnFtail),
    ROWN("ttail", 621, 2, 2, d_ttail),
    ROWN("invttail", 622, 2, 2, d_invttail),
    ROWN("tden", 623, 2, 2, d_tden),
    ROWN("tprob", 624, 2, 2, d_tprob),
    ROWV("invt", 625, 2, 2, d_invt, 600),
    ROWN("gammap", 626, 2, 2, d_gammap),
    ROWN("gammaptail", 627, 2, 2, d_gammaptail),
    ROWN("invgammap", 628, 2, 2, d_invgammap),
    ROWN("invgammaptail", 629, 2, 2, d_invgammaptail),
    ROWN("gammaden", 630, 4, 4, d_gammaden),
    ROWN("dgammapda", 631, 2, 2, d_dgammapda),
    ROWN("dgammapdx", 632, 2, 2, d_dgammapdx),
    ROWN("dgammapdada", 633, 2, 2, d_dgammapdada),
    ROWN("dgammapdadx", 634, 2, 2, d_dgammapdadx),
    ROWN("dgammapdxdx", 635, 2, 2, d_dgammapdxdx),
    ROWN("ibeta", 636, 3, 3, d_ibeta),
    ROWN("invibeta", 637, 3, 3, d_invibeta),
    ROWN("betaden", 638, 3, 3, d_betaden),
    ROWN("nibeta", 639, 4, 4, d_nibeta),
    ROWN("invnibeta", 640, 4, 4, d_invnibeta),
    ROWN("nbetaden", 641, 4, 4, d_nbetaden),
    ROWN("Binomial", 642, 3, 3, d_Binomial),
    ROWN("invbinomial", 643, 3, 3, d_invbinomial),
};

}  // namespace

// The distribution fragment of the function table.
FnRows fn_dist_rows() { return {rows, sizeof rows / sizeof rows[0]}; }

// The t and F tails for the statistical commands (missing outside the domain).
double fn_ttail(double df, double t) {
  if (fnmiss(df) || fnmiss(t) || !(df > 0)) return misval;
  return fnres(ttail(df, t));
}
double fn_Ftail(double d1, double d2, double f) {
  if (fnmiss(d1) || fnmiss(d2) || fnmiss(f) || !(d1 > 0) || !(d2 > 0)) return misval;
  return fnres(ftail(d1, d2, f));
}
double fn_invttail(double df, double p) {
  if (fnmiss(df) || fnmiss(p) || !(df > 0) || !(p > 0 && p < 1)) return misval;
  const double t = invftail1sqrt(df, 2 * std::min(p, 1 - p));
  if (fnmiss(t)) return misval;
  return p >= 0.5 ? -t : t;
}
