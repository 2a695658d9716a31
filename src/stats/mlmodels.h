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
