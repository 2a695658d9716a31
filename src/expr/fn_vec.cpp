// Block forms of the one-argument mathematical functions, used by the
// evaluator when it runs an expression over a block of observations. The
// vector routines come from SLEEF (1-ulp versions); the processor's widest
// unit (AVX-512, else AVX2 with FMA, else scalar code) is chosen once at run
// time, so the build needs no machine-specific flags.
#include <immintrin.h>

// Vector arguments are passed only between functions compiled for the same unit.
#pragma GCC diagnostic ignored "-Wpsabi"

#include <cmath>

#include "expr/fn_lib.h"
#include "expr/fn_vec.h"

// SLEEF declares its AVX entry points only when the whole file is compiled for
// AVX; these few are declared here so that the rest stays baseline code.
extern "C" {
__m256d Sleef_expd4_u10avx2(__m256d);
__m512d Sleef_expd8_u10avx512f(__m512d);
__m256d Sleef_logd4_u10avx2(__m256d);
__m512d Sleef_logd8_u10avx512f(__m512d);
__m256d Sleef_log10d4_u10avx2(__m256d);
__m512d Sleef_log10d8_u10avx512f(__m512d);
__m256d Sleef_sind4_u10avx2(__m256d);
__m512d Sleef_sind8_u10avx512f(__m512d);
__m256d Sleef_cosd4_u10avx2(__m256d);
__m512d Sleef_cosd8_u10avx512f(__m512d);
__m256d Sleef_tand4_u10avx2(__m256d);
__m512d Sleef_tand8_u10avx512f(__m512d);
__m256d Sleef_asind4_u10avx2(__m256d);
__m512d Sleef_asind8_u10avx512f(__m512d);
__m256d Sleef_acosd4_u10avx2(__m256d);
__m512d Sleef_acosd8_u10avx512f(__m512d);
__m256d Sleef_atand4_u10avx2(__m256d);
__m512d Sleef_atand8_u10avx512f(__m512d);
__m256d Sleef_tanhd4_u10avx2(__m256d);
__m512d Sleef_tanhd8_u10avx512f(__m512d);
__m256d Sleef_atanhd4_u10avx2(__m256d);
__m512d Sleef_atanhd8_u10avx512f(__m512d);
}

namespace {

using V4 = __m256d (*)(__m256d);
using V8 = __m512d (*)(__m512d);
using S1 = double (*)(double);

// Returns 2 for AVX-512, 1 for AVX2 with FMA, 0 for neither (decided once).
int simdlevel() {
  static const int level = [] {
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx512f")) return 2;
    if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma")) return 1;
    return 0;
  }();
  return level;
}

// Padding for the lanes past the end of a block: a value inside every
// function's domain, so that no spurious floating-point exception is raised.
constexpr double kpad = 0.5;

// Runs F over x 8 lanes at a time; a lane whose argument is missing or whose
// result is not a finite non-missing number becomes `.`.
template <V8 F>
__attribute__((target("avx512f"))) void run8(const double* x, double* out, size_t n) {
  const __m512d mv = _mm512_set1_pd(misval);
  size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    __m512d v = _mm512_loadu_pd(x + i);
    __m512d r = F(v);
    __mmask8 ok = static_cast<__mmask8>(_mm512_cmp_pd_mask(v, mv, _CMP_LT_OQ) &
                                        _mm512_cmp_pd_mask(_mm512_abs_pd(r), mv, _CMP_LT_OQ));
    _mm512_storeu_pd(out + i, _mm512_mask_blend_pd(ok, mv, r));
  }
  if (i < n) {
    __mmask8 m = static_cast<__mmask8>((1u << (n - i)) - 1);
    __m512d v = _mm512_mask_loadu_pd(_mm512_set1_pd(kpad), m, x + i);
    __m512d r = F(v);
    __mmask8 ok = static_cast<__mmask8>(_mm512_cmp_pd_mask(v, mv, _CMP_LT_OQ) &
                                        _mm512_cmp_pd_mask(_mm512_abs_pd(r), mv, _CMP_LT_OQ));
    _mm512_mask_storeu_pd(out + i, m, _mm512_mask_blend_pd(ok, mv, r));
  }
}

// One 4-lane step of run4: F applied, failed lanes set to `.`.
template <V4 F>
__attribute__((target("avx2,fma"))) inline __m256d step4(__m256d v) {
  const __m256d mv = _mm256_set1_pd(misval);
  __m256d r = F(v);
  __m256d ok = _mm256_and_pd(_mm256_cmp_pd(v, mv, _CMP_LT_OQ),
                             _mm256_cmp_pd(_mm256_andnot_pd(_mm256_set1_pd(-0.0), r), mv, _CMP_LT_OQ));
  return _mm256_blendv_pd(mv, r, ok);
}

// The same 4 lanes at a time.
template <V4 F>
__attribute__((target("avx2,fma"))) void run4(const double* x, double* out, size_t n) {
  size_t i = 0;
  for (; i + 4 <= n; i += 4) _mm256_storeu_pd(out + i, step4<F>(_mm256_loadu_pd(x + i)));
  if (i < n) {
    alignas(32) double buf[4] = {kpad, kpad, kpad, kpad};
    for (size_t j = i; j < n; ++j) buf[j - i] = x[j];
    _mm256_store_pd(buf, step4<F>(_mm256_load_pd(buf)));
    for (size_t j = i; j < n; ++j) out[j] = buf[j - i];
  }
}

// Scalar fallback with the scalar functions' rules.
template <S1 F>
void runs(const double* x, double* out, size_t n) {
  for (size_t i = 0; i < n; ++i) out[i] = fnmiss(x[i]) ? misval : fnres(F(x[i]));
}

// Vector primitives that are instructions rather than SLEEF calls.
__attribute__((target("avx2,fma"))) __m256d sqrt4(__m256d v) { return _mm256_sqrt_pd(v); }
// The 8-lane forms below are the zero-masked instructions with every lane
// selected: the same results, and no undefined source register, which the
// unmasked forms of the compiler's header pass in (and its uninitialised-
// value check then reports).
constexpr __mmask8 kall8 = 0xff;
__attribute__((target("avx512f"))) __m512d sqrt8(__m512d v) { return _mm512_maskz_sqrt_pd(kall8, v); }
__attribute__((target("avx2,fma"))) __m256d abs4(__m256d v) {
  return _mm256_andnot_pd(_mm256_set1_pd(-0.0), v);
}
__attribute__((target("avx512f"))) __m512d abs8(__m512d v) { return _mm512_abs_pd(v); }
__attribute__((target("avx2,fma"))) __m256d int4(__m256d v) {
  return _mm256_round_pd(v, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC);
}
__attribute__((target("avx512f"))) __m512d int8(__m512d v) {
  return _mm512_maskz_roundscale_pd(kall8, v, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC);
}
__attribute__((target("avx2,fma"))) __m256d floor4(__m256d v) { return _mm256_floor_pd(v); }
__attribute__((target("avx512f"))) __m512d floor8(__m512d v) {
  return _mm512_maskz_roundscale_pd(kall8, v, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC);
}
__attribute__((target("avx2,fma"))) __m256d ceil4(__m256d v) { return _mm256_ceil_pd(v); }
__attribute__((target("avx512f"))) __m512d ceil8(__m512d v) {
  return _mm512_maskz_roundscale_pd(kall8, v, _MM_FROUND_TO_POS_INF | _MM_FROUND_NO_EXC);
}

double s_abs(double x) { return std::fabs(x); }
double s_sqrt(double x) { return std::sqrt(x); }
double s_exp(double x) { return std::exp(x); }
double s_log(double x) { return std::log(x); }
double s_log10(double x) { return std::log10(x); }
double s_sin(double x) { return std::sin(x); }
double s_cos(double x) { return std::cos(x); }
double s_tan(double x) { return std::tan(x); }
double s_asin(double x) { return std::asin(x); }
double s_acos(double x) { return std::acos(x); }
double s_atan(double x) { return std::atan(x); }
double s_tanh(double x) { return std::tanh(x); }
double s_atanh(double x) { return std::atanh(x); }
double s_int(double x) { return std::trunc(x); }
double s_floor(double x) { return std::floor(x); }
double s_ceil(double x) { return std::ceil(x); }

}  // namespace

#define FNV(name, f8, f4, fs)                          \
  void name(const double* x, double* out, size_t n) {  \
    switch (simdlevel()) {                             \
      case 2: run8<f8>(x, out, n); return;             \
      case 1: run4<f4>(x, out, n); return;             \
      default: runs<fs>(x, out, n); return;            \
    }                                                  \
  }

// Each routine fills out[0..n) from x[0..n); touches no globals.
FNV(fnv_abs, abs8, abs4, s_abs)
FNV(fnv_sqrt, sqrt8, sqrt4, s_sqrt)
FNV(fnv_exp, Sleef_expd8_u10avx512f, Sleef_expd4_u10avx2, s_exp)
FNV(fnv_ln, Sleef_logd8_u10avx512f, Sleef_logd4_u10avx2, s_log)
FNV(fnv_log10, Sleef_log10d8_u10avx512f, Sleef_log10d4_u10avx2, s_log10)
FNV(fnv_sin, Sleef_sind8_u10avx512f, Sleef_sind4_u10avx2, s_sin)
FNV(fnv_cos, Sleef_cosd8_u10avx512f, Sleef_cosd4_u10avx2, s_cos)
FNV(fnv_tan, Sleef_tand8_u10avx512f, Sleef_tand4_u10avx2, s_tan)
FNV(fnv_asin, Sleef_asind8_u10avx512f, Sleef_asind4_u10avx2, s_asin)
FNV(fnv_acos, Sleef_acosd8_u10avx512f, Sleef_acosd4_u10avx2, s_acos)
FNV(fnv_atan, Sleef_atand8_u10avx512f, Sleef_atand4_u10avx2, s_atan)
FNV(fnv_tanh, Sleef_tanhd8_u10avx512f, Sleef_tanhd4_u10avx2, s_tanh)
FNV(fnv_atanh, Sleef_atanhd8_u10avx512f, Sleef_atanhd4_u10avx2, s_atanh)
FNV(fnv_int, int8, int4, s_int)
FNV(fnv_floor, floor8, floor4, s_floor)
FNV(fnv_ceil, ceil8, ceil4, s_ceil)
