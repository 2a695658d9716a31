// The linear panel-data estimators: within (fixed effects), between, and
// random-effects GLS with Swamy-Arora variance components, with their
// R-squared values, variance components, the F test of the panel effects
// and the Breusch-Pagan LM test. Engine code only: it neither parses nor
// prints; the command (panelreg.cpp) reads the data and shows the results.
#pragma once
#include <string>
#include <vector>

#include "stats/mlmax.h"

enum : int { PF_FE = 0, PF_RE = 1, PF_BE = 2, PF_ML = 3 };

// Why a regressor left the fit.
enum : unsigned char { PF_KEPT = 0, PF_CONSTWITHIN = 1, PF_COLLINEAR = 2 };

// The observations of one fit.
struct PanelData {
  long n = 0;                // rows
  int k = 0;                 // regressors (no constant column)
  std::vector<double> y;     // dependent variable (n)
  std::vector<double> X;     // regressors, n x k column-major
  std::vector<int> gid;      // panel of each row, 0..G-1
  int G = 0;                 // panels
  std::vector<int> cid;      // cluster of each row, 0..C-1; empty: no clusters
  int C = 0;                 // clusters
  // Weights of the rows, the same on every row of a panel (empty: none):
  // analytic and sampling weights scaled to sum to n, frequency weights as
  // given (N is then their sum).
  std::vector<double> w;
  bool freq = false;         // w are frequency weights
};

// What a fit found.
struct PanelFit {
  int kind = PF_FE;
  std::vector<unsigned char> drop;  // per regressor: PF_KEPT, PF_CONSTWITHIN, PF_COLLINEAR
  std::vector<double> b, V;         // k + 1 coefficients (the constant last), (k+1)^2 variance
  double N = 0, G = 0;              // observations and panels
  double Tmin = 0, Tavg = 0, Tmax = 0;  // observations per panel
  double sigma_u = 0, sigma_e = 0, rho = 0;
  double r2_w = 0, r2_b = 0, r2_o = 0;
  double df_m = 0, df_r = 0;        // model and residual df (df_r missing under re)
  double stat = 0, pstat = 0;       // model F (fe, be) or Wald chi2 (re) and its p-value
  double F_f = 0, df_f1 = 0, df_f2 = 0, p_f = 0;  // F test that all panel effects are zero (fe)
  double theta = 0;                 // re: theta (balanced) or the median over panels
  double thmin = 0, thmax = 0;      // re: the smallest and largest theta
  double bp = 0, p_bp = 0;          // Breusch-Pagan LM statistic (re with bplm)
  double rss = 0;                   // residual sum of squares of the fitted model
  double C = 0;                     // clusters (0 without)
  double ll = 0, ll_c = 0;          // mle: log likelihood; that of the pooled regression
  double chi2_c = 0, p_c = 0;       // mle: LR test of sigma_u = 0 (chibar2(01))
  double se_lnsu = 0, se_lnse = 0;  // mle: standard errors of ln sigma_u and ln sigma_e
  bool converged = true;            // mle: the maximiser converged
  int iter = 0;                     // mle: its iterations
  std::string msg;                  // the message of a failure
};

// Fits the model of kind; clusters from d.cid make the cluster sandwich
// times C/(C-1); bplm adds the Breusch-Pagan test. Weights d.w weight the
// within and pooled regressions under fe and the regression on the panel
// means under be (re takes none); the variance components and R-squared
// values under be, and the R-squared values under fe, are unweighted. 0, or a return code with
// f.msg set (RC_BADDATA when the dependent variable does not vary within
// panels under fe, RC_FEWOBS when too few observations or panels remain).
[[nodiscard]] int pf_fit(const PanelData& d, int kind, bool bplm, PanelFit& f);

// Maximum-likelihood random effects from the GLS fit re of the same data
// (its kept columns and starting values), by the shared maximiser with the
// settings o (whose log callback shows the iterations). Clusters from d.cid,
// which must hold whole panels, make the sandwich of the panel scores times
// C/(C-1). 0, or a code with f.msg set (RC_BREAK on a Break).
[[nodiscard]] int pf_mle(const PanelData& d, const PanelFit& re, const MlOpts& o, PanelFit& f);

// The panel effects u_i of a fit with coefficients b (k + 1): the mean over
// each panel's rows of y - xb, shrunk under re by T_i su2 / (T_i su2 + se2).
void pf_effects(const PanelData& d, const std::vector<double>& b, int kind, double su2, double se2,
                std::vector<double>& u);
