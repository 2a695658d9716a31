// The proportional-hazards engine: the log partial likelihood of survival
// data with Breslow or Efron handling of tied failure times, stratified risk
// sets and weights, its gradient and information, and what the residuals and
// baseline functions need (score, martingale and Schoenfeld residuals, the
// baseline cumulative hazard). Engine code only: no parsing or printing.
#pragma once
#include <vector>

#include "stats/mlmax.h"

// Survival data sorted by stratum, then by time (ascending).
struct CoxData {
  long n = 0;                 // rows
  int p = 0;                  // covariates
  std::vector<double> t;      // times (> 0)
  std::vector<double> dead;   // 1 failure, 0 censored
  std::vector<double> w;      // weights; empty: all 1
  std::vector<double> x;      // covariates, row-major n x p, centred at xmean
  std::vector<double> xmean;  // the centring (the baseline is at x = 0 uncentred)
  std::vector<long> strata;   // first row of each stratum, then n
  bool efron = false;         // Efron's approximation for ties (else Breslow)
  bool exact = false;         // the exact partial likelihood for ties (no weights)
  // Time-varying coefficients: the last ptv columns of x hold covariates
  // that enter multiplied by g(t) at each failure time t; gt holds g at
  // each row's time.
  int ptv = 0;
  std::vector<double> gt;
};

// The evaluation for time-varying covariates or exact ties (coxslow.cpp):
// each failure time's risk set is walked afresh, O(rows x failure times).
// No per-row quantities. 0, or ML_BREAK.
[[nodiscard]] int cox_eval_slow(const CoxData& d, const std::vector<double>& b, int todo, double* ll,
                                std::vector<double>* g, std::vector<double>* nH);

// Per-row quantities at given coefficients.
struct CoxRows {
  std::vector<double> score;  // score residuals (n x p), weighted
  std::vector<double> mart;   // martingale residuals
  std::vector<double> schoen; // Schoenfeld residuals (n x p), 0 for censored rows
  std::vector<double> h0;     // baseline cumulative hazard at the row's time (x = 0)
};

// The log partial likelihood at b (length p) and, by todo, the gradient g
// and the information nH (p x p). rows, when not null, receives the per-row
// quantities. 0, or ML_BREAK on the user's Break.
[[nodiscard]] int cox_eval(const CoxData& d, const std::vector<double>& b, int todo, double* ll,
                           std::vector<double>* g, std::vector<double>* nH, CoxRows* rows = nullptr);

// Fills m.whole with the partial likelihood of d (m.eqs: one equation over
// all p columns, no constant).
void cox_model(MlModel& m, const CoxData& d);
