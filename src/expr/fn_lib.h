// Private to the function library: the table fragment each fn_*.cpp file
// contributes, the helpers for missing values shared by the implementations,
// and the distribution and date primitives that one family borrows from
// another (lnnormal from normal, the t and F inverses from ibeta, ...).
#pragma once
#include <cmath>
#include <cstddef>
#include <string>
#include <string_view>

#include "data/value.h"
#include "expr/funcs.h"

// Every family file defines one fragment: its rows and their count.
struct FnRows {
  const FuncDef* rows;
  size_t n;
};
FnRows fn_math_rows();
FnRows fn_string_rows();
FnRows fn_regex_rows();
FnRows fn_date_rows();
FnRows fn_dist_rows();
FnRows fn_random_rows();

// Longest string result.
constexpr size_t FN_MAXSTR = 244;

// A computed result as the evaluator wants it: NaN, infinities and values
// that would read as a missing code all become `.`.
inline double fnres(double r) {
  return (std::isfinite(r) && r < misval && r > -misval) ? r : misval;
}
inline bool fnmiss(double x) { return !(x < misval); }  // NaN counts as missing

// Distribution primitives (fn_dist.cpp), all returning misval outside their
// domain.
double fn_normal(double z);
double fn_invnormal(double p);
double fn_gammap(double a, double x);
double fn_gammaptail(double a, double x);
double fn_ibeta(double a, double b, double x);

// Dates (fn_date.cpp): days since 01jan1960 of a valid Gregorian date in years
// 100..9999, else misval.
double fn_mdy(double m, double d, double y);
// Splits a daily date into its parts; false outside 01jan0100..31dec9999.
bool fn_dmy(double date, long* y, int* m, int* d);

// Frees the compiled patterns the regular-expression functions keep.
void rx_clearcache();
