// The cross-product kernel of `matrix accum`: X'X of a few columns over a
// block of observations, reading each column where it lies.
#pragma once

// Columns up to which xprod_add beats a BLAS call on a packed panel.
constexpr int XPROD_MAXCOLS = 32;

// Adds the lower triangle of X'X for the m rows whose columns start at
// cols[0..p-1], with cons a column of ones after them (p + cons <=
// XPROD_MAXCOLS), into c: with P = p + cons, element (i, j), i >= j, at
// c[j * P + i]; the upper triangle is not touched. Each sum is formed in
// four interleaved partial sums over chunks of rows, combined the same way on
// every processor, so results do not depend on the instruction set. The
// columns are tested for missing values as they are read; on one, c is left
// as it was and the answer is false.
bool xprod_add(const double* const* cols, int p, bool cons, long m, double* c);

// Whether any of x[0..n-1] is a missing value (or NaN).
bool xprod_anymissing(const double* x, long n);
