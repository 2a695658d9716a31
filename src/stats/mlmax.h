// The likelihood engine of the estimation commands: the data of a fit held
// in columns, models written as per-observation derivatives of their linear
// indices, the Newton-Raphson maximiser every model shares, the sandwich
// (robust and cluster) variance, and the search for collinear regressors.
// Engine code only: it neither parses nor prints (the iteration log goes
// through a callback of the calling command).
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "output/rc.h"

// The observations of one fit, in columns of length n.
struct MlData {
  long n = 0;                             // observations used
  std::vector<double> y;                  // dependent variable
  std::vector<std::vector<double>> x;     // regressors (no constant column)
  std::vector<double> w;                  // weights; empty: all 1
  std::vector<double> off;                // offset of the first equation; empty: none
  std::vector<double> clust;              // cluster of each observation; empty: none
  double wsum() const;                    // sum of the weights (n without weights)
};

// One equation: the regressor columns of MlData::x it uses and whether it
// has a constant (its last parameter).
struct MlEq {
  std::string name;       // equation name ("" for a one-equation model)
  std::vector<int> cols;  // indices into MlData::x
  bool cons = true;
  int size() const { return static_cast<int>(cols.size()) + (cons ? 1 : 0); }
};

// A model over the linear indices eta_e of its equations. For observations
// i0..i0+m-1 with eta[e][i] (i counted from 0 within the block) the block
// function writes each observation's log likelihood ll[i] and, when todo >= 1,
// the first derivatives d1[e][i] with respect to each index, when todo >= 2 the
// second derivatives d2[q][i] for the packed lower triangle q = e(e+1)/2 + f
// (f <= e). Unweighted: the engine applies the weights. It returns 0, or
// non-zero when the likelihood cannot be computed at these indices.
struct MlModel {
  std::vector<MlEq> eqs;
  std::function<int(long i0, long m, const double* const* eta, int todo, double* ll,
                    double* const* d1, double* const* d2)>
      block;
  // A model whose likelihood does not split by observation (conditional
  // logit) evaluates itself: ll, and by todo the gradient g and negative
  // Hessian nH (P x P); scores (n x P) when not null. Used instead of block
  // when set.
  std::function<int(const std::vector<double>& b, int todo, double* ll, std::vector<double>* g,
                     std::vector<double>* nH, std::vector<double>* scores)>
      whole;
  int nparam() const;
};

// The maximiser's settings.
struct MlOpts {
  int maxiter = 300;     // iterate(#)
  double ltol = 1e-8;    // relative change of the log likelihood
  double nrtol = 1e-12;  // scaled gradient g' (-H)^-1 g
  // Called after each evaluation the iteration log shows: iteration number,
  // log likelihood, and notes ("(backed up)", "(not concave)"); may be empty.
  std::function<void(int iter, double ll, const char* note)> log;
};

// What the maximiser found.
struct MlResult {
  std::vector<double> b;   // parameters at the optimum, equation by equation
  std::vector<double> V;   // inverse of the negative Hessian there (P x P)
  std::vector<double> g;   // gradient there
  double ll = 0;           // log likelihood
  int iter = 0;            // iterations taken
  bool converged = false;  // false when maxiter was reached first
};

// Return codes of the engine.
enum : int {
  ML_OK = RC_OK,
  ML_NOTCONV = RC_NOCONVERGE,  // iteration limit reached (results still filled)
  ML_NOINIT = RC_OVERFLOW,     // the likelihood is not defined at the starting values
  ML_BREAK = RC_BREAK,         // the user's Break
};

// The log likelihood (and, by todo, the gradient g and the negative Hessian
// nH, P x P row-major) of the model over the data at b. 0 or non-zero when the
// likelihood cannot be computed. Scores, when not null, receives the weighted
// per-observation scores (n x P row-major).
[[nodiscard]] int ml_eval(const MlModel& m, const MlData& d, const std::vector<double>& b, int todo,
                          double* ll, std::vector<double>* g, std::vector<double>* nH,
                          std::vector<double>* scores = nullptr);

// Maximises the likelihood from the starting values b0 by Newton-Raphson
// with step halving; convergence needs both the relative change of the log
// likelihood below ltol and the scaled gradient below nrtol. ML_OK,
// ML_NOTCONV (r filled, r.converged false), ML_NOINIT, ML_BREAK.
[[nodiscard]] int ml_maximize(const MlModel& m, const MlData& d, std::vector<double> b0,
                              const MlOpts& o, MlResult& r);

// Inverts the symmetric positive-definite P x P matrix a in place
// (Cholesky); false when it is not positive definite.
bool ml_invpd(std::vector<double>& a, int P);

// The sandwich variance: V (P x P, the model's inverse negative Hessian)
// becomes V (sum of u_i u_i') V, where u_i are the rows of the weighted
// scores; with clusters the scores are summed within each cluster first.
// Observation i counts rep[i] times in the sum without clusters (fweights:
// the scores carry the weight once; rep null: once each). The factor is
// N/(N-1) with N the sum of rep (or n), or G/(G-1) with G clusters. Returns
// the number of clusters (0 without). minus replaces the 1 of N - 1 (not
// of G - 1).
long ml_robust(std::vector<double>& V, int P, long n, const std::vector<double>& scores,
               const double* rep, const double* clust, double minus = 1);

// Which of the columns cols (length n each, weights w or none) are kept
// when those that are linear combinations of the earlier ones (and of a
// constant when cons) are left out. keep receives 1 or 0 per column.
void ml_collinear(const std::vector<const double*>& cols, long n, const double* w, bool cons,
                  std::vector<unsigned char>& keep);

// The upper-tail probability of chi2(df) beyond x.
double ml_chi2tail(double df, double x);
// The Wald statistic b' V^-1 b of the listed parameters (missing when their
// variance is singular).
double ml_wald(const std::vector<double>& b, const std::vector<double>& V, int P,
               const std::vector<int>& which);
