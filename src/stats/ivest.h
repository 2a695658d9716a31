// Linear instrumental-variable estimators: two-stage least squares, limited-
// information maximum likelihood (as a k-class estimator) and two-step
// efficient GMM, with the first-stage partial F statistics, the Sargan and
// Hansen J tests of the overidentifying restrictions and the Durbin test of
// endogeneity. Engine code only: ivfit.cpp parses, posts and prints.
#pragma once
#include <string>
#include <vector>

enum : int { IV_2SLS = 0, IV_LIML = 1, IV_GMM = 2 };

// The observations of one fit; matrices are n x cols, column-major.
struct IvData {
  long n = 0;
  int m = 0, k1 = 0, l = 0;  // endogenous regressors, exogenous regressors, excluded instruments
  std::vector<double> y, Y, X1, Z2;
  std::vector<int> cid;      // cluster of each row, 0..C-1; empty: none
  int C = 0;
  // Weights of the rows (empty: none). Analytic and sampling weights come
  // scaled to sum to n; frequency and importance weights as given, and then
  // N is their sum. freq: a row stands for w rows, so that its squared
  // score counts w times in the heteroskedasticity sandwich.
  std::vector<double> w;
  bool freq = false;
};

// What a fit found. Coefficients in the order endogenous, exogenous, the
// constant; regressors and instruments left out have a zero coefficient.
struct IvFit {
  std::vector<unsigned char> dropx, dropz;  // exogenous regressors / instruments left out (collinear)
  std::vector<unsigned char> dropy;         // endogenous regressors left out (collinear with the exogenous)
  std::vector<double> b, V;                 // m + k1 + 1 and its square
  double N = 0, K = 0, L = 0;               // observations, parameters, instruments (constant counted)
  double rss = 0, tss = 0, sigma = 0;       // residual and total sums of squares, root MSE
  double stat = 0, df_m = 0, df_r = 0, pstat = 0;  // Wald chi2 (or F with small) of the slopes
  double kappa = 1;                         // the k-class parameter (LIML's eigenvalue)
  double overid = -1, p_overid = 0, df_overid = 0;  // Sargan (2sls, liml) or J (gmm); -1 when exactly identified
  double endog = 0, p_endog = 0;            // Durbin's chi2(m) test of endogeneity
  bool robusttests = false;                 // first-stage F and endogeneity test from sandwiches
  std::vector<double> Ffirst;               // partial F of the excluded instruments, one per endogenous regressor
  double df_first1 = 0, df_first2 = 0;
  std::vector<std::vector<double>> fb, fV;  // first-stage coefficients (exog, instruments, constant) and variance
  std::string msg;                          // the message of a failure
};

// Fits by method, every cross product weighted by d.w; robust gives the
// heteroskedasticity sandwich times N/(N-1), clusters in d.cid the cluster
// sandwich times C/(C-1) (gmm's variance takes the same factors); small
// divides the residual variance by N - K (else N) and scales the sandwich by
// (N-1)/(N-K). 0, or a code with f.msg (RC_NOTIDENTIFIED when fewer
// instruments than endogenous regressors remain).
[[nodiscard]] int iv_fit(const IvData& d, int method, bool robust, bool small, IvFit& f);
