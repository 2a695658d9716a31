// The sweep operator on symmetric matrices and the generalised inverse built
// from it: the one routine that regress and the matrix functions invsym()
// and sweep() share, so that both drop the same collinear columns.
#pragma once

// Sweeps the n x n symmetric matrix a (row-major, row stride ld) on pivot k
// (0-based) in place: a_kk becomes 1/a_kk, the rest of row k is divided by
// a_kk, the rest of column k by -a_kk, and a_ij loses a_ik a_kj / a_kk.
// Sweeping every pivot of a positive-definite matrix
// yields its inverse. A zero pivot
// leaves the matrix unchanged and returns 1; otherwise 0.
int sweep_pivot(double* a, int n, int ld, int k);

// The result of sweep_inverse.
struct SweepResult {
  int rank = 0;      // pivots swept
  bool broke = false;  // the user's Break stopped it between pivots
};

// Inverts the n x n symmetric matrix a (row-major, row stride ld; only its
// lower triangle is read) in place by
// sweeping its pivots in order. Negative diagonal elements are first set to
// 0; pivot k gets the tolerance 1e-9 times its diagonal element (1e-9 for a
// zero element), never less than 1e-19, and is swept only when its current
// diagonal value is above that tolerance. Rows and columns of pivots left out
// are zero in the result, which is then a generalised inverse. swept (n
// bytes, may be null) receives 1 for each swept pivot. The Break flag is
// polled between pivots; after a Break the matrix is partly swept.
SweepResult sweep_inverse(double* a, int n, int ld, unsigned char* swept);
