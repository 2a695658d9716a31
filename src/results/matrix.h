// The matrix facility of the command language: matrix expressions, the
// element-level operations they are built from, and the decompositions.
// Operations report failures by return code after printing the message;
// the expression evaluator alone leaves through its private exception.
#pragma once
#include <string>

#include "results/results.h"

// Evaluates the matrix expression text into out (the target is not touched
// on failure). 0 or a code.
[[nodiscard]] int matexp_eval(const std::string& text, Matrix& out);

// Operations: each returns 0 or a printed code and writes only `dst`.
[[nodiscard]] int mat_add(const Matrix& a, const Matrix& b, int sign, Matrix& dst);
[[nodiscard]] int mat_mul(const Matrix& a, const Matrix& b, Matrix& dst);
void mat_scale(Matrix& a, double s);
void mat_transpose(const Matrix& a, Matrix& dst);
[[nodiscard]] int mat_kron(const Matrix& a, const Matrix& b, Matrix& dst);
[[nodiscard]] int mat_join(const Matrix& a, const Matrix& b, bool below, Matrix& dst);
// The generalised inverse of a symmetric matrix by sweeping (fn names the
// caller in messages: "invsym()" or "syminv()").
[[nodiscard]] int mat_invsym(const Matrix& a, Matrix& dst, const char* fn);
[[nodiscard]] int mat_inv(const Matrix& a, Matrix& dst);
[[nodiscard]] int mat_cholesky(const Matrix& a, Matrix& dst);
[[nodiscard]] int mat_sweep(const Matrix& a, int k, Matrix& dst);
[[nodiscard]] int mat_corr(const Matrix& a, Matrix& dst);
// Checks the dimensions against matsize: 0 or 908.
[[nodiscard]] int mat_chksize(int rows, int cols);
bool mat_hasmissing(const Matrix& a);
bool mat_issym(const Matrix& a);
// Position of a stripe entry "name" or "eq:name" (an "eq:" alone matches the
// first of that equation); -1 when absent.
int mat_stripefind(const std::vector<std::string>& names, const std::string& want);

// Decompositions through LAPACK.
[[nodiscard]] int mat_svd(const Matrix& a, Matrix& U, Matrix& w, Matrix& V);
[[nodiscard]] int mat_symeigen(const Matrix& a, Matrix& vecs, Matrix& vals);
[[nodiscard]] int mat_eigenvalues(const Matrix& a, Matrix& re, Matrix& im);
// Determinant of a square matrix (LU); missing when it has missing values.
double mat_det(const Matrix& a);

// Scalar functions of matrices used by scalar expressions (rowsof(), el(), ...):
// -1 when fn is not one of them, 0 with *d set, or a printed code.
int mat_scalarfn(const std::string& fn, const std::string& args, double* d);
