// Mathematical functions of the expression language: elementary functions,
// rounding and `mod`, gamma-family functions, logit and complementary log-log,
// max/min, recoding and grouping, `cond`, `inrange`, `inlist`, and the named
// machine constants. Every routine returns `.` for missing or out-of-domain
// arguments unless the function's own rule says otherwise (round, recode).
#include <cfloat>
#include <cmath>
#include <cstring>

#include <boost/math/special_functions/binomial.hpp>
#include <boost/math/special_functions/digamma.hpp>
#include <boost/math/special_functions/gamma.hpp>
#include <boost/math/special_functions/trigamma.hpp>

#include "data/store.h"
#include "data/value.h"
#include "expr/expr.h"
#include "expr/fn_lib.h"
#include "expr/fn_vec.h"

// round(x, u) = u floor(x/u + 0.5); a missing x comes back unchanged, u = 0
// leaves x as it is. Vemo's round() uses the same rule.
double fn_round(double x, double u) {
  if (fnmiss(x)) return x;
  if (fnmiss(u)) return misval;
  if (u == 0) return x;
  return fnres(u * std::floor(x / u + 0.5));
}

namespace {

namespace bmp = boost::math::policies;
// Errors become NaN or infinities, which fnres turns into `.`.
using fnpol = bmp::policy<bmp::domain_error<bmp::ignore_error>, bmp::pole_error<bmp::ignore_error>,
                          bmp::overflow_error<bmp::ignore_error>,
                          bmp::evaluation_error<bmp::ignore_error>,
                          bmp::rounding_error<bmp::ignore_error>,
                          bmp::indeterminate_result_error<bmp::ignore_error>>;

// Largest values that are not missing codes, as the constants report them.
const double kmaxdouble = std::nextafter(std::ldexp(1.0, 1023), 0.0);
const double kmaxfloat = static_cast<double>(std::nextafter(std::ldexp(1.0f, 127), 0.0f));

using A = const FuncValue*;

// One-argument wrappers: `.` for a missing argument, the result through fnres.
#define FN1(fname, expr)                           \
  double fname(A a, int, FuncCtx&) {               \
    double x = a[0].d;                             \
    if (fnmiss(x)) return misval;                  \
    return fnres(expr);                            \
  }

FN1(m_abs, std::fabs(x))
FN1(m_sqrt, std::sqrt(x))
FN1(m_exp, std::exp(x))
FN1(m_ln, std::log(x))
FN1(m_log10, std::log10(x))
FN1(m_sin, std::sin(x))
FN1(m_cos, std::cos(x))
FN1(m_tan, std::tan(x))
FN1(m_asin, std::asin(x))
FN1(m_acos, std::acos(x))
FN1(m_atan, std::atan(x))
FN1(m_tanh, std::tanh(x))
FN1(m_atanh, std::atanh(x))
FN1(m_int, std::trunc(x))
FN1(m_floor, std::floor(x))
FN1(m_ceil, std::ceil(x))
FN1(m_sign, x > 0 ? 1.0 : (x < 0 ? -1.0 : 0.0))
FN1(m_lngamma, boost::math::lgamma(x, fnpol()))
FN1(m_digamma, boost::math::digamma(x, fnpol()))
FN1(m_trigamma, boost::math::trigamma(x, fnpol()))
FN1(m_invlogit, x >= 0 ? 1 / (1 + std::exp(-x)) : std::exp(x) / (1 + std::exp(x)))
FN1(m_invcloglog, -std::expm1(-std::exp(x)))

// atan2(y, x): the angle of (x, y); `.` when either is missing.
double m_atan2(A a, int, FuncCtx&) {
  if (fnmiss(a[0].d) || fnmiss(a[1].d)) return misval;
  return fnres(std::atan2(a[0].d, a[1].d));
}

double m_round(A a, int n, FuncCtx&) { return fn_round(a[0].d, n > 1 ? a[1].d : 1.0); }

// mod(x, y) = x - y floor(x/y), made non-negative; `.` when y <= 0.
double m_mod(A a, int, FuncCtx&) {
  double x = a[0].d, y = a[1].d;
  if (fnmiss(x) || fnmiss(y) || y <= 0) return misval;
  double r = x - y * std::floor(x / y);
  if (r < 0) r += y;
  return fnres(r);
}

// float(x): x rounded to single precision; `.` beyond the float range.
double m_float(A a, int, FuncCtx&) {
  double x = a[0].d;
  if (fnmiss(x)) return misval;
  double r = static_cast<double>(static_cast<float>(x));
  return std::fabs(r) > kmaxfloat ? misval : r;
}

// reldif(x, y) = |x - y| / (|y| + 1).
double m_reldif(A a, int, FuncCtx&) {
  double x = a[0].d, y = a[1].d;
  if (fnmiss(x) || fnmiss(y)) return misval;
  return fnres(std::fabs(x - y) / (std::fabs(y) + 1));
}

// comb(n, k): n choose k for integers 0 <= k <= n.
double m_comb(A a, int, FuncCtx&) {
  double n = a[0].d, k = a[1].d;
  if (fnmiss(n) || fnmiss(k) || n != std::floor(n) || k != std::floor(k) || k < 0 || k > n)
    return misval;
  if (n > 4294967295.0) {
    // Beyond unsigned arguments: through the log gamma function.
    return fnres(std::exp(boost::math::lgamma(n + 1, fnpol()) - boost::math::lgamma(k + 1, fnpol()) -
                          boost::math::lgamma(n - k + 1, fnpol())));
  }
  return fnres(boost::math::binomial_coefficient<double>(static_cast<unsigned>(n),
                                                         static_cast<unsigned>(k), fnpol()));
}

// lnfactorial(n) = ln(n!) for integers n >= 0.
double m_lnfactorial(A a, int, FuncCtx&) {
  double n = a[0].d;
  if (fnmiss(n) || n < 0 || n != std::floor(n)) return misval;
  if (n < 2) return 0.0;
  return fnres(boost::math::lgamma(n + 1, fnpol()));
}

// logit(p) = ln(p/(1-p)) for 0 < p < 1; 2 atanh(2p - 1) is exact to the last
// bit where the two logarithms would cancel.
double m_logit(A a, int, FuncCtx&) {
  double p = a[0].d;
  if (fnmiss(p) || !(p > 0 && p < 1)) return misval;
  if (p >= 0.25) return fnres(2 * std::atanh(2 * p - 1));
  return fnres(std::log(p) - std::log1p(-p));
}

// cloglog(p) = ln(-ln(1-p)) for 0 < p < 1.
double m_cloglog(A a, int, FuncCtx&) {
  double p = a[0].d;
  if (fnmiss(p) || !(p > 0 && p < 1)) return misval;
  return fnres(std::log(-std::log1p(-p)));
}

// max(...) and min(...) of the non-missing arguments; `.` when none is.
double m_max(A a, int n, FuncCtx&) {
  double r = misval;
  bool any = false;
  for (int i = 0; i < n; ++i) {
    double x = a[i].d;
    if (fnmiss(x)) continue;
    if (!any || x > r) r = x;
    any = true;
  }
  return r;
}
double m_min(A a, int n, FuncCtx&) {
  double r = misval;
  bool any = false;
  for (int i = 0; i < n; ++i) {
    double x = a[i].d;
    if (fnmiss(x)) continue;
    if (!any || x < r) r = x;
    any = true;
  }
  return r;
}

// recode(x, x1, ..., xn): the first xi with x <= xi, else xn; a missing x is
// returned unchanged; `.` when the xi decrease.
double m_recode(A a, int n, FuncCtx&) {
  double x = a[0].d;
  if (fnmiss(x)) return x;
  for (int i = 2; i < n; ++i)
    if (a[i].d < a[i - 1].d) return misval;
  for (int i = 1; i < n; ++i)
    if (x <= a[i].d) return a[i].d;
  return a[n - 1].d;
}

// irecode(x, x1, ..., xn): 0 when x <= x1, i when xi < x <= x(i+1), n when
// x > xn; `.` when x or an xi is missing or the xi decrease.
double m_irecode(A a, int n, FuncCtx&) {
  double x = a[0].d;
  if (fnmiss(x)) return misval;
  for (int i = 1; i < n; ++i) {
    if (fnmiss(a[i].d)) return misval;
    if (i > 1 && a[i].d < a[i - 1].d) return misval;
  }
  int k = 0;
  while (k < n - 1 && x > a[k + 1].d) ++k;
  return k;
}

// autocode(x, n, lo, hi): the upper bound of the one of n equal intervals
// dividing (lo, hi] that holds x; x below lo goes to the first, above hi to
// the last.
double m_autocode(A a, int, FuncCtx&) {
  double x = a[0].d, n = a[1].d, lo = a[2].d, hi = a[3].d;
  if (fnmiss(x) || fnmiss(n) || fnmiss(lo) || fnmiss(hi)) return misval;
  if (n < 1 || n != std::floor(n) || !(hi > lo)) return misval;
  double w = (hi - lo) / n;
  double k = std::ceil((x - lo) / w);
  if (k < 1) k = 1;
  if (k > n) k = n;
  return k == n ? hi : fnres(lo + k * w);
}

// group(x): 1 + floor(x (_n - 1) / _N), the equal-sized group of the
// observation in the current order.
double m_group(A a, int, FuncCtx& c) {
  double x = a[0].d;
  if (fnmiss(x) || x <= 0) return misval;
  double n = static_cast<double>(c.n > 0 ? c.n : c.obs);
  double bign = static_cast<double>(c.N > 0 ? c.N : ds.nobs);
  if (bign <= 0) return misval;
  return fnres(1 + std::floor(x * (n - 1) / bign));
}

// cond(c, a, b[, mv]): a when c is non-zero (missing counts as true unless mv
// is given), b when c is 0.
double m_cond(A a, int n, FuncCtx&) {
  double c = a[0].d;
  if (n > 3 && fnmiss(c)) return a[3].d;
  return c != 0 ? a[1].d : a[2].d;
}
void m_scond(A a, int n, std::string& out, FuncCtx&) {
  double c = a[0].d;
  if (n > 3 && fnmiss(c))
    out.assign(a[3].s);
  else
    out.assign(c != 0 ? a[1].s : a[2].s);
}

// inrange(x, a, b): 0 for a missing x; a missing bound is no bound.
double m_inrange(A a, int, FuncCtx&) {
  double x = a[0].d, lo = a[1].d, hi = a[2].d;
  if (fnmiss(x)) return 0;
  if (!fnmiss(lo) && x < lo) return 0;
  if (!fnmiss(hi) && x > hi) return 0;
  return 1;
}
double m_sinrange(A a, int, FuncCtx&) {
  return (a[1].s <= a[0].s && a[0].s <= a[2].s) ? 1 : 0;
}

// inlist(x, a1, ...): 1 when x equals some ai. Before version 8 every missing
// value equals every other.
double m_inlist(A a, int n, FuncCtx&) {
  double x = a[0].d;
  bool oldmv = exhooks.version() < 800;
  for (int i = 1; i < n; ++i) {
    double y = a[i].d;
    if (x == y || (oldmv && fnmiss(x) && fnmiss(y))) return 1;
  }
  return 0;
}
double m_sinlist(A a, int n, FuncCtx&) {
  for (int i = 1; i < n; ++i)
    if (a[0].s == a[i].s) return 1;
  return 0;
}

// The named constants.
double c_maxdouble(A, int, FuncCtx&) { return kmaxdouble; }
double c_mindouble(A, int, FuncCtx&) { return -kmaxdouble; }
double c_epsdouble(A, int, FuncCtx&) { return DBL_EPSILON; }
double c_maxfloat(A, int, FuncCtx&) { return kmaxfloat; }
double c_minfloat(A, int, FuncCtx&) { return -kmaxfloat; }
double c_epsfloat(A, int, FuncCtx&) { return static_cast<double>(FLT_EPSILON); }
double c_maxlong(A, int, FuncCtx&) { return MAXLONGVAL; }
double c_minlong(A, int, FuncCtx&) { return -2147483647; }
double c_maxint(A, int, FuncCtx&) { return MAXINTVAL; }
double c_minint(A, int, FuncCtx&) { return -32767; }
double c_maxbyte(A, int, FuncCtx&) { return MAXBYTEVAL; }
double c_minbyte(A, int, FuncCtx&) { return -127; }
// byteorder(): 1 most significant byte first, 2 least significant first.
double c_byteorder(A, int, FuncCtx&) {
  const uint16_t one = 1;
  unsigned char b;
  std::memcpy(&b, &one, 1);
  return b ? 2 : 1;
}

// The by-group queries: whether a by run is active, whether this is its last
// group, the group's number and its first and last observation.
double c_by(A, int, FuncCtx&) { return ex.byvar ? 1 : 0; }
double c_bylastcall(A, int, FuncCtx&) { return ex.byvar && ex.bylast ? 1 : 0; }
double c_byindex(A, int, FuncCtx&) { return ex.byvar ? static_cast<double>(ex.byindex) : misval; }
double c_byn1(A, int, FuncCtx&) { return ex.byvar ? static_cast<double>(ex.byn1) : 1; }
double c_byn2(A, int, FuncCtx&) { return ex.byvar ? static_cast<double>(ex.byn2) : static_cast<double>(ds.nobs); }

// Boost can still throw on hopeless arguments; no exception may leave the
// library, so the entry points that reach it turn one into `.`.
template <FuncNum F>
double safe(A a, int n, FuncCtx& c) {
  try {
    return F(a, n, c);
  } catch (...) {
    return misval;
  }
}

#define ROWN(nm, op, lo, hi, at, fn, vec) {nm, op, lo, hi, at, 'n', fn, nullptr, vec, false, 0}
#define ROWV(nm, op, lo, hi, at, fn, vec, ver) {nm, op, lo, hi, at, 'n', fn, nullptr, vec, false, ver}

const FuncDef rows[] = {
    ROWN("abs", 300, 1, 1, "n", m_abs, fnv_abs),
    ROWN("sqrt", 301, 1, 1, "n", m_sqrt, fnv_sqrt),
    ROWN("exp", 302, 1, 1, "n", m_exp, fnv_exp),
    ROWN("ln", 303, 1, 1, "n", m_ln, fnv_ln),
    ROWN("log", 303, 1, 1, "n", m_ln, fnv_ln),
    ROWN("log10", 304, 1, 1, "n", m_log10, fnv_log10),
    ROWN("sin", 305, 1, 1, "n", m_sin, fnv_sin),
    ROWN("cos", 306, 1, 1, "n", m_cos, fnv_cos),
    ROWN("tan", 307, 1, 1, "n", m_tan, fnv_tan),
    ROWN("asin", 308, 1, 1, "n", m_asin, fnv_asin),
    ROWN("acos", 309, 1, 1, "n", m_acos, fnv_acos),
    ROWN("atan", 310, 1, 1, "n", m_atan, fnv_atan),
    ROWN("tanh", 311, 1, 1, "n", m_tanh, fnv_tanh),
    ROWN("atanh", 312, 1, 1, "n", m_atanh, fnv_atanh),
    ROWN("atan2", 313, 2, 2, "n", m_atan2, nullptr),
    ROWN("int", 314, 1, 1, "n", m_int, fnv_int),
    ROWN("trunc", 314, 1, 1, "n", m_int, fnv_int),
    ROWN("floor", 315, 1, 1, "n", m_floor, fnv_floor),
    ROWN("ceil", 316, 1, 1, "n", m_ceil, fnv_ceil),
    ROWN("round", 317, 1, 2, "n", m_round, nullptr),
    ROWN("mod", 318, 2, 2, "n", m_mod, nullptr),
    ROWN("sign", 319, 1, 1, "n", m_sign, nullptr),
    ROWN("float", 320, 1, 1, "n", m_float, nullptr),
    ROWN("reldif", 321, 2, 2, "n", m_reldif, nullptr),
    ROWN("comb", 322, 2, 2, "n", safe<m_comb>, nullptr),
    ROWN("lnfactorial", 323, 1, 1, "n", safe<m_lnfactorial>, nullptr),
    ROWV("lnfact", 323, 1, 1, "n", safe<m_lnfactorial>, nullptr, 999),
    ROWN("lngamma", 324, 1, 1, "n", safe<m_lngamma>, nullptr),
    ROWN("digamma", 325, 1, 1, "n", safe<m_digamma>, nullptr),
    ROWN("trigamma", 326, 1, 1, "n", safe<m_trigamma>, nullptr),
    ROWN("logit", 327, 1, 1, "n", m_logit, nullptr),
    ROWN("invlogit", 328, 1, 1, "n", m_invlogit, nullptr),
    ROWN("cloglog", 329, 1, 1, "n", m_cloglog, nullptr),
    ROWN("invcloglog", 330, 1, 1, "n", m_invcloglog, nullptr),
    ROWN("max", 331, 2, -1, "n", m_max, nullptr),
    ROWN("min", 332, 2, -1, "n", m_min, nullptr),
    ROWN("recode", 333, 3, -1, "n", m_recode, nullptr),
    ROWN("irecode", 334, 2, -1, "n", m_irecode, nullptr),
    ROWN("autocode", 335, 4, 4, "n", m_autocode, nullptr),
    ROWN("group", 336, 1, 1, "n", m_group, nullptr),
    ROWN("cond", 79, 3, 4, "n", m_cond, nullptr),
    {"cond", 110, 3, 4, "nsss", 's', nullptr, m_scond, nullptr, false, 0},
    ROWN("inrange", 178, 3, 3, "n", m_inrange, nullptr),
    ROWN("inrange", 179, 3, 3, "s", m_sinrange, nullptr),
    ROWN("inlist", 180, 2, 255, "n", m_inlist, nullptr),
    ROWN("inlist", 181, 2, 255, "s", m_sinlist, nullptr),
    ROWN("maxdouble", 340, 0, 0, "n", c_maxdouble, nullptr),
    ROWN("mindouble", 341, 0, 0, "n", c_mindouble, nullptr),
    ROWN("epsdouble", 342, 0, 0, "n", c_epsdouble, nullptr),
    ROWN("maxfloat", 343, 0, 0, "n", c_maxfloat, nullptr),
    ROWN("minfloat", 344, 0, 0, "n", c_minfloat, nullptr),
    ROWN("epsfloat", 345, 0, 0, "n", c_epsfloat, nullptr),
    ROWN("maxlong", 346, 0, 0, "n", c_maxlong, nullptr),
    ROWN("minlong", 347, 0, 0, "n", c_minlong, nullptr),
    ROWN("maxint", 348, 0, 0, "n", c_maxint, nullptr),
    ROWN("minint", 349, 0, 0, "n", c_minint, nullptr),
    ROWN("maxbyte", 350, 0, 0, "n", c_maxbyte, nullptr),
    ROWN("minbyte", 351, 0, 0, "n", c_minbyte, nullptr),
    ROWN("byteorder", 352, 0, 0, "n", c_byteorder, nullptr),
    ROWN("_by", 353, 0, 0, "n", c_by, nullptr),
    ROWN("_bylastcall", 354, 0, 0, "n", c_bylastcall, nullptr),
    ROWN("_byindex", 355, 0, 0, "n", c_byindex, nullptr),
    ROWN("_byn1", 356, 0, 0, "n", c_byn1, nullptr),
    ROWN("_byn2", 357, 0, 0, "n", c_byn2, nullptr),
};

}  // namespace

// The mathematical fragment of the function table.
FnRows fn_math_rows() { return {rows, sizeof rows / sizeof rows[0]}; }
