// The engines of the robust linear fits: quantile regression as a linear
// programme (a primal-dual interior-point method that ends on an exact
// vertex) with the kernel estimate of the sparsity, and M-estimation by
// iteratively reweighted least squares (Huber, then biweight). Engine code
// only: no parsing or printing.
#pragma once
#include <cstddef>
#include <vector>

// A linear model's data: n rows, p columns (the constant included when
// wanted), column-major.
struct LinData {
  long n = 0;
  int p = 0;
  std::vector<double> x;  // n x p, column j at x[j * n]
  std::vector<double> y;
  const double* col(int j) const { return x.data() + static_cast<size_t>(j) * static_cast<size_t>(n); }
};

// What the quantile fit found.
struct QregResult {
  std::vector<double> b;  // coefficients
  std::vector<double> V;  // variance (p x p row-major)
  double sum_adev = 0;    // sum of the check-function deviations at b
  double sum_rdev = 0;    // the same for the unconditional quantile (no regressors but the constant)
  double sparsity = 0;    // estimated 1/f(0) of the residuals
  double bwidth = 0;      // kernel bandwidth on the residual scale
  int iter = 0;           // interior-point iterations
  bool vertex = false;    // the solution is an exact vertex (basic observations fitted exactly)
};

// Codes of the engines.
enum : int { QR_OK = 0, QR_NOTCONV = 430, QR_SINGULAR = 506, QR_BREAK = 1, QR_BWIDTH = 459 };

// Minimises the sum of rho_tau(y_i - x_i'b) for 0 < tau < 1 within maxiter
// interior-point iterations started from wlsiter reweighted least-squares
// fits (1: ordinary least squares), then moves to the optimal vertex; V
// from the Hall-Sheather bandwidth and an Epanechnikov kernel density of
// the residuals at zero. QR_OK, QR_NOTCONV, QR_SINGULAR, QR_BWIDTH
// (tau too close to 0 or 1 for the bandwidth), QR_BREAK.
[[nodiscard]] int qreg_fit(const LinData& d, double tau, int maxiter, int wlsiter, QregResult& r);

// What the M-estimation found.
struct HuberResult {
  std::vector<double> b, V;  // coefficients and variance
  double scale = 0;          // final scale (median absolute residual / 0.6745)
  std::vector<double> wt;    // final weights of the rows
  int hiter = 0, biter = 0;  // Huber and biweight iterations
};

// Huber iterations (k = 1.345) from least squares, then biweight
// iterations (c = 4.685), each until the largest change of the residuals
// relative to the scale is below tol (at most maxiter each).
[[nodiscard]] int huber_fit(const LinData& d, double tol, int maxiter, HuberResult& r);
