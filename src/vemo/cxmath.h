// Complex elementary functions on (real, imaginary) pairs, shared by the
// element-wise built-ins and the power operators: principal branches, and
// the Vemo missing-value rule (a missing part in gives a missing pair out; a
// result that overflows or is not a number is missing).
#pragma once

enum CxFn : int { CX_SQRT, CX_EXP, CX_LOG, CX_SIN, CX_COS, CX_TAN, CX_LNGAMMA };

// Applies fn to re + im i; the result in *zr, *zi (both missing when it is).
void cx_apply(CxFn fn, double re, double im, double* zr, double* zi);
// (ar + ai i) to the power (br + bi i) on the principal branch.
void cx_pow(double ar, double ai, double br, double bi, double* zr, double* zi);
