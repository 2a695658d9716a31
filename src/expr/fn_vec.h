// Block forms of the one-argument mathematical functions (fn_vec.cpp): each
// computes out[i] = f(x[i]) for i < n with the same missing-value rules as the
// scalar form, using the widest vector unit the processor offers.
#pragma once
#include <cstddef>

void fnv_abs(const double* x, double* out, size_t n);
void fnv_sqrt(const double* x, double* out, size_t n);
void fnv_exp(const double* x, double* out, size_t n);
void fnv_ln(const double* x, double* out, size_t n);
void fnv_log10(const double* x, double* out, size_t n);
void fnv_sin(const double* x, double* out, size_t n);
void fnv_cos(const double* x, double* out, size_t n);
void fnv_tan(const double* x, double* out, size_t n);
void fnv_asin(const double* x, double* out, size_t n);
void fnv_acos(const double* x, double* out, size_t n);
void fnv_atan(const double* x, double* out, size_t n);
void fnv_tanh(const double* x, double* out, size_t n);
void fnv_atanh(const double* x, double* out, size_t n);
void fnv_int(const double* x, double* out, size_t n);
void fnv_floor(const double* x, double* out, size_t n);
void fnv_ceil(const double* x, double* out, size_t n);
