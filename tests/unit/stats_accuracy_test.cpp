// Accuracy of regress and summarize against answers computed independently
// in exact rational arithmetic (stats_accuracy_gen.py): a degree-10
// polynomial over a narrow range, nearly collinear regressors, a constant
// regressor, huge offsets and a perfect fit. Each figure's number of correct
// significant digits (the log relative error) is printed and held to a floor.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "data/store.h"
#include "expr/expr.h"
#include "interp/cmdtab.h"
#include "interp/interp.h"
#include "output/output.h"
#include "stats/stats.h"
#include "session_testutil.h"

namespace {

struct AccCase {
  const char* name;
  int n, k;
  const double* y;
  const double* const* xs;
  const long double* b;   // regressors, then the constant
  const long double* se;
  long double rss, r2;
};

#include "stats_accuracy_ref.inc"

// Correct significant digits of got against ref (17 when equal).
double digits(double got, long double ref) {
  if (static_cast<long double>(got) == ref) return 17;
  if (ref == 0) return -std::log10(std::fabs(got));
  const long double rel = std::fabs((static_cast<long double>(got) - ref) / ref);
  return std::min(17.0, static_cast<double>(-std::log10(rel)));
}

struct StatsAccuracy : CommandSession {
  // Loads y and x1..xk of c (plus a constant regressor `c` when asked).
  void load(const AccCase& c, bool constreg) {
    ASSERT_EQ(addvar("y", ST_DOUBLE), 0);
    for (int j = 0; j < c.k; ++j) ASSERT_EQ(addvar(("x" + std::to_string(j + 1)).c_str(), ST_DOUBLE), 0);
    if (constreg) {
      ASSERT_EQ(addvar("c", ST_DOUBLE), 0);
    }
    ASSERT_EQ(setobs(c.n), 0);
    for (long o = 1; o <= c.n; ++o) {
      store(1, o, c.y[o - 1]);
      for (int j = 0; j < c.k; ++j) store(2 + j, o, c.xs[j][o - 1]);
      if (constreg) store(2 + c.k, o, 5);
    }
  }
  // The worst digits of the coefficients, standard errors, rss and R-squared.
  void check(const AccCase& c, double bfloor, double sefloor, double fitfloor) {
    const RegFit& f = sts.reg;
    ASSERT_TRUE(f.valid);
    const int p = c.k + 1;
    double wb = 17, wse = 17;
    for (int j = 0; j < p; ++j) {
      // A constant regressor sits before _cons in the fit; skip it.
      const size_t at = j < c.k ? static_cast<size_t>(j) : f.b.size() - 1;
      wb = std::min(wb, digits(f.b[at], c.b[j]));
      const double se = std::sqrt(f.V[at * f.b.size() + at]);
      wse = std::min(wse, digits(se, c.se[j]));
    }
    const double wr = c.rss == 0 ? (f.rss == 0 ? 17 : 0) : digits(f.rss, c.rss);
    const double w2 = digits(f.r2, c.r2);
    std::printf("[ accuracy ] %-10s coefficients %5.1f  std. errors %5.1f  rss %5.1f  R-squared %5.1f\n",
                c.name, wb, wse, wr, w2);
    EXPECT_GE(wb, bfloor) << c.name;
    EXPECT_GE(wse, sefloor) << c.name;
    EXPECT_GE(std::min(wr, w2), fitfloor) << c.name;
  }
};

const AccCase& findcase(const char* name) {
  for (const AccCase& c : acc_cases)
    if (std::string(c.name) == name) return c;
  return acc_cases[0];
}

std::string regline(const AccCase& c, bool constreg) {
  std::string l = "quietly _regress y";
  for (int j = 0; j < c.k; ++j) l += " x" + std::to_string(j + 1);
  if (constreg) l += " c";
  return l;
}

TEST_F(StatsAccuracy, NearlyCollinearRegressors) {
  const AccCase& c = findcase("collinear");
  load(c, false);
  ASSERT_EQ(execline(regline(c, false)), 0);
  check(c, 6, 7, 11);
}

TEST_F(StatsAccuracy, ConstantRegressorIsDropped) {
  const AccCase& c = findcase("constant");
  load(c, true);
  ASSERT_EQ(execline(regline(c, true)), 0);
  EXPECT_EQ(sts.reg.dropped[1], 1);
  check(c, 13, 13, 13);
}

TEST_F(StatsAccuracy, HugeOffsets) {
  const AccCase& c = findcase("offset");
  load(c, false);
  ASSERT_EQ(execline(regline(c, false)), 0);
  check(c, 12, 9, 9);
}

TEST_F(StatsAccuracy, ZeroResidualVariance) {
  const AccCase& c = findcase("perfect");
  load(c, false);
  ASSERT_EQ(execline(regline(c, false)), 0);
  EXPECT_EQ(sts.reg.rss, 0.0);
  EXPECT_EQ(sts.reg.r2, 1.0);
  EXPECT_EQ(sts.reg.b[0], 2.0);
  EXPECT_EQ(sts.reg.b[1], 3.0);
  check(c, 15, 0, 15);
}

TEST_F(StatsAccuracy, DegreeTenPolynomial) {
  // The sweep's tolerance leaves the highest powers out over so narrow a
  // range, so the coefficients are those of a smaller model; the fit itself
  // (rss, R-squared) is what holds.
  const AccCase& c = findcase("poly10");
  load(c, false);
  ASSERT_EQ(execline(regline(c, false)), 0);
  int dropped = 0;
  for (unsigned char d : sts.reg.dropped) dropped += d;
  std::printf("[ accuracy ] poly10     %d of 10 powers left out by the sweep tolerance\n", dropped);
  check(c, -100, -100, 0);
}

TEST_F(StatsAccuracy, SummarizeMeanAndSd) {
  struct S { const char* name; const double* v; long double mean, sd; } cases[] = {
      {"offset", accs_offset, accs_offset_mean, accs_offset_sd},
      {"wide", accs_wide, accs_wide_mean, accs_wide_sd}};
  for (const S& s : cases) {
    ds_reset();
    ASSERT_EQ(addvar("v", ST_DOUBLE), 0);
    ASSERT_EQ(setobs(1000), 0);
    for (long o = 1; o <= 1000; ++o) store(1, o, s.v[o - 1]);
    ASSERT_EQ(execline("quietly summarize v"), 0);
    const double dm = digits(sts.summ_mean, s.mean), ds_ = digits(sts.summ_sd, s.sd);
    std::printf("[ accuracy ] summarize %-7s mean %5.1f  sd %5.1f\n", s.name, dm, ds_);
    EXPECT_GE(dm, 15) << s.name;
    EXPECT_GE(ds_, 14) << s.name;
  }
}

}  // namespace
