// The cross-product kernel of `matrix accum`: X'X of a few columns over a
// block of observations, reading each column where it lies.
#pragma once

// Columns up to which xprod_add beats a BLAS call on a packed panel.
constexpr int XPROD_MAXCOLS = 32;

// Adds the lower triangle of X'X for the m rows whose columns start at
// cols[0..p-1] (p <= XPROD_MAXCOLS) into c: element (i, j), i >= j, at
// c[j * p + i]. The upper triangle of c is not touched. Each sum is formed
// in four interleaved partial sums over chunks of rows, combined the same way
// on every processor, so results do not depend on the instruction set.
// With check, the columns are tested for missing values as they are read;
// on one, c is left as it was and the answer is false.
bool xprod_add(const double* const* cols, int p, long m, double* c, bool check);

// Whether any of x[0..n-1] is a missing value (or NaN).
bool xprod_anymissing(const double* x, long n);
