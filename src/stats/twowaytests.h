// Tests of independence for a two-way table of counts, shared by tabulate
// and the commands that print such tables.
#pragma once
#include <vector>

// The statistics of an r x c table of (weighted) counts n[i*c+j].
struct TwoWayTests {
  double N = 0;                 // total count
  double df = 0;                // (r-1)(c-1)
  double chi2 = 0, p = 0;       // Pearson chi-squared and its upper-tail probability
  double chi2_lr = 0, p_lr = 0; // likelihood-ratio chi-squared and its probability
  double V = 0;                 // Cramer's V (signed for 2 x 2 tables)
};
void tw_tests(const std::vector<double>& n, int r, int c, TwoWayTests& t);

// Fisher's exact test of an r x c table of integer counts by enumerating
// the tables with the same margins: p is the total probability of the
// tables no more likely than the observed one; p1 (2 x 2 only, else
// missing) the one-sided probability in the direction of the observed
// table. Returns 0, or 134 (printed) when more than the enumeration limit
// of tables would be needed, or 1 on a Break.
[[nodiscard]] int tw_fisher(const std::vector<double>& n, int r, int c, double* p, double* p1);

// The upper-tail chi-squared probability with df degrees of freedom.
double st_chi2tail(double df, double x);
