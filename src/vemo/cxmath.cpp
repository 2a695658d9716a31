// Complex elementary functions for Vemo: square root, exponential,
// logarithm, sine, cosine, tangent, log-gamma and the power, each on a
// (real, imaginary) pair with the missing-value rule. The logarithm has its
// cut along the negative real axis (imaginary part in (-pi, pi]); log-gamma
// is the analytic continuation from the positive real axis, so it is
// continuous off the cut and lngamma(z + 1) = lngamma(z) + log(z) holds.
#include "vemo/cxmath.h"

#include <cmath>
#include <complex>

#include "data/value.h"

namespace {

using cx = std::complex<double>;

// The missing rule for a computed pair.
void setres(cx z, double* zr, double* zi) {
  double a = z.real(), b = z.imag();
  if (!std::isfinite(a) || !std::isfinite(b) || a >= misval || b >= misval || a <= -misval ||
      b <= -misval) {
    *zr = *zi = misval;
    return;
  }
  *zr = a == 0 ? 0 : a;  // no negative zeros in listings
  *zi = b == 0 ? 0 : b;
}

// Lanczos coefficients (g = 7, 9 terms): about 15 digits for Re z >= 1/2.
const double lanczos[9] = {0.99999999999980993,  676.5203681218851,     -1259.1392167224028,
                           771.32342877765313,   -176.61502916214059,   12.507343278686905,
                           -0.13857109526572012, 9.9843695780195716e-6, 1.5056327351493116e-7};

// log Gamma(z) for Re z >= 1/2 (principal log of the Lanczos sum, which
// does not wind around zero there).
cx lngamma_right(cx z) {
  z -= 1.0;
  cx a = lanczos[0];
  for (int k = 1; k < 9; ++k) a += lanczos[k] / (z + static_cast<double>(k));
  const cx t = z + 7.5;
  return 0.91893853320467274178 + (z + 0.5) * std::log(t) - t + std::log(a);
}

// Steps of the recurrence allowed when moving z to the right half-plane;
// beyond this the result is missing rather than a long loop.
constexpr double LNG_MAXSHIFT = 1e6;

cx lngamma(cx z, bool* bad) {
  *bad = false;
  if (z.real() >= 0.5) return lngamma_right(z);
  // a pole at 0, -1, -2, ...
  if (z.imag() == 0 && z.real() == std::floor(z.real())) {
    *bad = true;
    return 0;
  }
  const double shift = std::ceil(0.5 - z.real());
  if (shift > LNG_MAXSHIFT) {
    *bad = true;
    return 0;
  }
  // lngamma(z) = lngamma(z + n) - sum log(z + k), k = 0 .. n-1: the sum of
  // principal logs keeps the analytic continuation
  cx sum = 0;
  const int n = static_cast<int>(shift);
  for (int k = 0; k < n; ++k) sum += std::log(z + static_cast<double>(k));
  return lngamma_right(z + static_cast<double>(n)) - sum;
}

}  // namespace

void cx_apply(CxFn fn, double re, double im, double* zr, double* zi) {
  if (re >= misval || im >= misval) {
    *zr = *zi = misval;
    return;
  }
  const cx z(re, im);
  cx w;
  switch (fn) {
    case CX_SQRT: w = std::sqrt(z); break;
    case CX_EXP: w = std::exp(z); break;
    case CX_LOG:
      if (re == 0 && im == 0) {
        *zr = *zi = misval;
        return;
      }
      w = std::log(z);
      break;
    case CX_SIN: w = std::sin(z); break;
    case CX_COS: w = std::cos(z); break;
    case CX_TAN: w = std::tan(z); break;
    case CX_LNGAMMA: {
      bool bad;
      w = lngamma(z, &bad);
      if (bad) {
        *zr = *zi = misval;
        return;
      }
      break;
    }
  }
  setres(w, zr, zi);
}

void cx_pow(double ar, double ai, double br, double bi, double* zr, double* zi) {
  if (ar >= misval || ai >= misval || br >= misval || bi >= misval) {
    *zr = *zi = misval;
    return;
  }
  cx w;
  if (br == 0 && bi == 0) {
    *zr = 1;
    *zi = 0;
    return;
  }
  if (ar == 0 && ai == 0) {
    // 0^w is 0 for Re w > 0 and undefined otherwise
    if (br > 0) {
      *zr = *zi = 0;
      return;
    }
    *zr = *zi = misval;
    return;
  }
  if (bi == 0 && br == std::floor(br) && std::fabs(br) <= 64) {
    // whole powers by repeated multiplication: (1+2i)^2 is exactly -3+4i
    cx base(ar, ai), acc(1, 0);
    for (int k = static_cast<int>(std::fabs(br)); k > 0; k >>= 1) {
      if (k & 1) acc *= base;
      base *= base;
    }
    w = br < 0 ? 1.0 / acc : acc;
  } else {
    w = std::exp(cx(br, bi) * std::log(cx(ar, ai)));
  }
  setres(w, zr, zi);
}
