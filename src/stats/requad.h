// Random-effects binary models by quadrature: Gauss-Hermite nodes and
// weights, and the likelihood of a probit or logit model whose panels share
// a normal random intercept, integrated panel by panel by adaptive
// Gauss-Hermite quadrature (nodes centred at the mode of each panel's
// integrand and scaled by its curvature there). Engine code only.
#pragma once
#include <vector>

#include "stats/mlmax.h"

// The n-point Gauss-Hermite rule for the integral of exp(-x^2) f(x): nodes x
// ascending and weights w. false when n is outside 1..RQ_MAXPOINTS.
constexpr int RQ_MAXPOINTS = 128;
bool rq_hermite(int n, std::vector<double>& x, std::vector<double>& w);

// The random-effects model over the data d, whose rows are grouped by panel:
// start[g]..start[g+1]-1 are panel g's rows (start has one entry more than
// there are panels). The parameters are those of m.eqs[0] (the index) then
// one more, ln sigma_u^2. kind is MLB_PROBIT or MLB_LOGIT (mlmodels.h); a
// weight belongs to a panel and is read from its first row. Sets m.whole,
// which gives per-panel scores on each panel's first row. d, start and the
// rule must outlive m.
void rq_binary(MlModel& m, const MlData& d, const std::vector<long>& start, int kind, int points);
