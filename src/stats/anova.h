// The linear-model engine of anova and manova: the design of a list of terms
// (categorical variables in sum-to-zero effect coding, continuous variables
// as they are, products for crossed terms, effect codes within each cell for
// nested ones), its centred cross products with one or more responses, the
// sweep that leaves collinear columns out, and each term's hypothesis
// sums of squares and cross products, partial or sequential.
#pragma once
#include <string>
#include <vector>

struct StSample;

// One term: the crossed variables, and those it is nested within.
struct AnvTerm {
  std::vector<int> vars;    // crossed variables (dataset numbers)
  std::vector<int> within;  // variables it is nested within (empty: not nested)
  std::string name;         // as shown: "a", "a*b", "a|b"
};

// What to fit.
struct AnvModel {
  std::vector<int> ys;           // responses (one for anova)
  std::vector<AnvTerm> terms;
  std::vector<int> continuous;   // variables of the terms taken as continuous
  bool sequential = false;       // sequential (in order) instead of partial sums of squares
  double maxcols = 1e9;          // design columns allowed (matsize less 2), else 908
  // Each term's error term (anova's `term / errorterm`): the index of the
  // term whose mean square is its denominator, -1 the residual, -2 the term
  // is itself an error term (not tested). Empty: all against the residual.
  std::vector<int> errterm;
};

// One column of the design.
struct AnvColumn {
  int term = 0;          // index of its term
  std::string name;      // "a_2", "a_1*b_3", "b_2|a_1", "x", "a_1*x"
  bool dropped = false;  // collinear with the columns before it
};

// The fit.
struct AnvFit {
  int q = 1;                          // responses
  double N = 0;                       // observations (sum of fweights)
  long n = 0;                         // observations used
  double W = 0;                       // sum of the (scaled) weights
  std::vector<AnvColumn> cols;        // the design columns, term by term
  int rank = 0;                       // columns kept
  std::vector<double> ymean;          // weighted means of the responses
  std::vector<double> xmean;          // weighted means of the columns
  std::vector<double> T, E;           // total and residual SSCP (q x q)
  std::vector<std::vector<double>> H; // each term's hypothesis SSCP (q x q)
  std::vector<int> df;                // each term's degrees of freedom (columns kept)
  std::vector<double> B;              // coefficients (p x q, 0 for dropped columns)
  std::vector<double> inv;            // generalised inverse of the centred design (p x p)
  std::vector<unsigned char> sample;  // estimation sample of obs samplelo + i
  long samplelo = 1;
  // Levels of each categorical variable used: variable number and its values.
  std::vector<int> catvars;
  std::vector<std::vector<double>> catlevels;
};

// Fits model over the sample s (selection and weights; fweights and aweights,
// aweights scaled to sum to the observations). Observations with a missing
// response or term variable are left out. Returns 0, 1 on a Break, 2000 (no
// observations), 149 (a nested term's levels too many to key), 908 (more
// columns than maxcols) or a weight-rule code, each printed.
[[nodiscard]] int anv_fit(const AnvModel& model, const StSample& s, AnvFit& f);

// The four multivariate tests of a hypothesis SSCP matrix H (df dfh)
// against the residual SSCP matrix E (df dfe), q responses, from the
// eigenvalues of E^-1 H; index 0 Wilks' lambda, 1 Pillai's trace, 2 the
// Lawley-Hotelling trace, 3 Roy's largest root (its F an upper bound).
struct AnvMvTest {
  double stat[4], F[4], df1[4], df2[4], p[4];
  bool exact[4];  // the F is exact (Roy: the F is a bound unless exact)
};
// 0, or 506 (printed) when E is not positive definite.
[[nodiscard]] int anv_mvtest(const std::vector<double>& H, const std::vector<double>& E, int q, double dfh,
                             double dfe, AnvMvTest& t);

// Repeated-measures corrections of the F tests of terms that contain
// repeated variables (anovarep.cpp): the responses of each unit of the
// between-subjects term at the level combinations of the repeated
// variables, their covariance pooled within groups, and for each term the
// Greenhouse-Geisser, Huynh-Feldt (capped at 1) and Box's conservative
// epsilons from that covariance projected on the term's orthonormal
// contrasts.
struct AnvRepeated {
  int bse = -1;                      // the between-subjects term
  long units = 0;                    // its units
  long groups = 1;                   // groups the covariance is pooled over
  std::vector<int> groupvars;        // the variables that make the groups
  std::vector<double> gg, hf, box;   // per term; missing for terms without a repeated variable
  std::vector<std::string> repset;   // per term: its repeated variables ("b", "b*c"), or ""
};
// rep: the repeated variables (categorical variables of the terms). 0, 1 on
// a Break, or a code (printed): 198 (no between-subjects term, a repeated
// variable not categorical or not in the terms), 459 (a unit without
// exactly one observation at each combination of the repeated variables,
// a group variable varying within a unit, too few units).
[[nodiscard]] int anv_repeated(const AnvModel& model, const AnvFit& f, const std::vector<int>& rep, AnvRepeated& r);
