// The likelihoods of the built-in estimators, each written as the
// per-observation log likelihood and its derivatives with respect to the
// model's linear indices (see MlModel in mlmax.h). Engine code only.
#pragma once
#include "stats/mlmax.h"

// Binary outcomes (y != 0 a success): logit and probit.
enum : int { MLB_LOGIT = 0, MLB_PROBIT = 1 };
// Sets m.block for the binary model of kind over d (which must outlive m).
void mlm_binary(MlModel& m, const MlData& d, int kind);
// Poisson counts.
void mlm_poisson(MlModel& m, const MlData& d);
// The normal distribution function, its log, and the ratio phi/Phi, each
// accurate far into the lower tail.
double mlm_normal(double z);
double mlm_lognormal(double z);
double mlm_mills(double z);
// Negative binomial with mean dispersion: equations xb and lnalpha
// (Var(y) = mu (1 + alpha mu)).
void mlm_negbin(MlModel& m, const MlData& d);
// Ordered outcomes: cat[i] is the 0-based category of observation i of J;
// equations xb (no constant) then cut1..cut(J-1), each a constant.
// P(y = j) = F(cut_j+1 - xb) - F(cut_j - xb). kind MLB_LOGIT or MLB_PROBIT.
void mlm_ordered(MlModel& m, const std::vector<int>& cat, int J, int kind);
// Unordered outcomes: cat[i] the 0-based category, base the base category;
// one equation per other category, in order.
void mlm_mlogit(MlModel& m, const std::vector<int>& cat, int J, int base);
// Censored normal regression: equations xb and lnsigma; cens[i] is -1 for
// an observation censored from the left at bound[i] (y* <= bound), 1 from the
// right (y* >= bound), 0 for an observed y.
void mlm_censored(MlModel& m, const MlData& d, const std::vector<signed char>& cens,
                  const std::vector<double>& bound);
// Conditional logit over groups of consecutive rows: start[g]..start[g+1]-1
// are group g's rows (start has one entry more than there are groups). The
// exact conditional likelihood by recursion over each group's rows. Scores
// are per group, on the group's first row.
void mlm_clogit(MlModel& m, const MlData& d, const std::vector<long>& start);
