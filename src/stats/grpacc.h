// Statistics of groups of observations: each observation carries a group
// code (levels.h), the values arrive a block at a time, and one pass (two
// for the standard deviation) fills one figure per group. Shared by the
// command that makes a variable of group statistics and the one that
// replaces the dataset by them.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "stats/levels.h"

enum GrpStat : int {
  GS_COUNT, GS_MEAN, GS_SUM, GS_SD, GS_MIN, GS_MAX, GS_PCTILE, GS_FIRST, GS_LAST, GS_FIRSTNM,
  GS_LASTNM, GS_IQR
};

// A statistic by name: count mean sum (total) sd min max median p# (1..99)
// iqr first last firstnm lastnm. False when unknown; *p the percentile.
bool gs_lookup(const std::string& name, int* stat, double* p);

// Fills values of observations obs..obs+m-1 (m <= EXPR_BLOCK) into x.
using GsFetch = std::function<void(long obs, long m, double* x)>;

// out[g] = the statistic of group g over observations lo+i with code[i] >= 0
// and a non-missing value (first and last take any value); w (empty: none)
// the weights (a missing or zero weight leaves the observation out), whose
// kind (WK_*) decides the count (the sum of frequency and importance
// weights, else the observations), the total (aweights and pweights rescaled
// to sum to the group's observations) and the divisor of the standard
// deviation. A group without values gets `.` (0 for count and sum).
// Long ranges are reduced by fixed halves (stats/chunks.h), on two threads
// when `threads` (fetch must then be safe to call from two threads at
// once); the figures do not depend on it. Returns 0 or 1 (Break).
[[nodiscard]] int gs_compute(int stat, double p, long lo, const LvCodes& code,
                             int ngroups, const GsFetch& fetch, const std::vector<double>& w,
                             char wkind, std::vector<double>& out, bool threads = false);

// The p-th percentile of sorted values x[0..n-1] (weights ws, empty: none),
// as summarize's detail computes it. n > 0.
double gs_pctile(const double* x, const double* ws, long n, double p);
