// Least-squares building blocks over column-major data (n rows, p columns,
// leading dimension n) through OpenBLAS and LAPACKE: cross products, the
// inverse of a positive-definite matrix, the sweep's generalised inverse, and
// the sandwich variance with scores summed by cluster. Engine code only.
#pragma once
#include <vector>

// Z'Z (p x p, row-major, both triangles) of the n x p column-major Z.
void lsq_gram(const double* Z, long n, int p, std::vector<double>& G);
// A'B (p x q, row-major) of the column-major A (n x p) and B (n x q).
void lsq_cross(const double* A, int p, const double* B, int q, long n, std::vector<double>& C);
// Inverts the symmetric positive-definite p x p matrix a in place; false
// (a undefined) when it is not positive definite.
bool lsq_invpd(std::vector<double>& a, int p);
// Inverts the symmetric p x p matrix a in place by the sweep, leaving out
// pivots that are (nearly) linear combinations of earlier ones, and columns
// whose flag in kept is already 0; kept receives 1 for each swept pivot.
// Returns the rank.
int lsq_sweepinv(std::vector<double>& a, int p, std::vector<unsigned char>& kept);
// The meat of the sandwich: the sum over groups of s_g s_g', s_g the sum of
// e_i Z_i over the rows of group g (gid[i] in 0..C-1); each row its own
// group when gid is null. M is q x q row-major.
void lsq_meat(const double* Z, long n, int q, const double* e, const int* gid, int C,
              std::vector<double>& M);
// V = factor * B M B (q x q, row-major).
void lsq_sandwich(const std::vector<double>& B, const std::vector<double>& M, int q, double factor,
                  std::vector<double>& V);
// The Wald statistic b' V^-1 b of the first m parameters of b (V q x q);
// missing when that block is not positive definite.
double lsq_wald(const std::vector<double>& b, const std::vector<double>& V, int q, int m);
// The squared correlation of a and b (n each); missing when either is constant.
double lsq_corr2(const double* a, const double* b, long n);
