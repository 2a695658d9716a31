// The smoothers: kernel density estimates and locally weighted (tricube)
// regression of one variable on another. Engine routines on plain arrays;
// the commands _KDE and _LOWESS read and write the dataset.
#pragma once
#include <string>
#include <vector>

// The kernels of kdens. Each of finite support is defined on [-1, 1] (the
// bandwidth is its half-width); the gaussian's bandwidth is its standard
// deviation.
enum class SmKernel { EPAN, GAUSS, BIWEIGHT, TRIANGLE, RECTANGLE, COSINE, PARZEN };
// The kernel named by word (full name or its first 3 letters at least);
// false when none.
bool sm_kernel(const std::string& word, SmKernel* k);
const char* sm_kernelname(SmKernel k);
// K(u).
double sm_kernelvalue(SmKernel k, double u);

// The density estimate at each of the points at: sum of w_i K((t - x_i)/h)
// over h times the sum of the weights (w null: weights 1). x, w: the n
// observations of the sample (no missing values). With evenly spaced points
// from the minimum to the maximum, sm_kdens_grid; otherwise (and for the
// kernels it leaves) each observation adds to the points within its
// kernel's reach, or the data are bucketed by value so that each point only
// visits the observations within reach.
// Returns 0 or 1 on a Break.
[[nodiscard]] int sm_kdens(const double* x, const double* w, size_t n, SmKernel k, double h,
                           const std::vector<double>& at, std::vector<double>& dens);

// The density at m evenly spaced points from lo to hi (the sample's minimum
// and maximum), unscaled: the sums of w_i K((t - x_i)/h), to be divided by
// h times the sum of the weights. For the epanechnikov, biweight, triangle,
// parzen and gaussian kernels (kdensgrid.cpp); -1 for the others (or a
// gaussian bandwidth too small beside the range), 0, or 1 on a Break.
[[nodiscard]] int sm_kdens_grid(const double* x, const double* w, size_t n, SmKernel k, double h, double lo,
                                double hi, size_t m, std::vector<double>& dens);

// Locally weighted smoothing: for each observation i, the fit at x_i from
// the ceil(bwidth N) observations nearest to x_i (ties at the edge all
// included), weighted by the tricube of the distance over the distance to
// the farthest of them (or equally with noweight); a line, or the weighted
// mean with mean. x, y: the sample. Returns 0 or 1 on a Break.
[[nodiscard]] int sm_lowess(const std::vector<double>& x, const std::vector<double>& y, double bwidth, bool mean,
                            bool noweight, std::vector<double>& fit);
