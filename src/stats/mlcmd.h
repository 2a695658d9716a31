// What the likelihood-based estimation commands share on the command side:
// reading the sample of the parsed command into the engine's columns, the
// common options, the iteration log, posting e() and the header and table.
#pragma once
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "stats/mlmax.h"

// The options every likelihood estimator takes.
struct ParseResult;

struct MlcOpts {
  bool nocons = false, robust = false, nolog = false;
  int clustvar = 0;      // cluster() variable (0 none)
  int offvar = 0;        // offset() variable
  int expvar = 0;        // exposure() variable (its log joins the offset)
  bool aweights = false; // aweights are read (as given: the caller scales them)
  double level = 95;
  std::string eform;     // title of exponentiated coefficients ("" none)
  MlOpts ml;             // iterate(), tolerance()
};

// The sample of a fit as read: the engine data and where it came from.
struct MlcSample {
  MlData d;
  std::vector<long> obs;               // dataset observation of each row
  std::vector<std::string> names;      // regressor names as shown (one per column of d.x)
  std::string depname;
  char wkind = 0;                      // weight kind
  std::string wexp;
  long lo = 1, hi = 0;                 // range of the sample marker
  MlcSample() = default;
  MlcSample(const MlcSample&) = delete;
  MlcSample& operator=(const MlcSample&) = delete;
  // The columns go back to a pool the next read takes them from (their
  // pages already mapped: a large sample is read again without faulting
  // every page in).
  ~MlcSample();
};

// The results of a fit, as posted.
struct MlcFit {
  std::string cmd, title, predict;
  std::vector<std::string> names;       // e(b) column names ("eq:name" when several equations)
  std::vector<double> b, V;
  double N = 0, ll = 0, ll_0 = 0, chi2 = 0, df_m = 0;
  int k = 0, ic = 0;
  bool converged = true, wald = false;
  long nclust = 0;
  std::vector<std::pair<std::string, double>> scalars;  // model-specific e() scalars
  std::vector<std::pair<std::string, std::string>> macros;
};

// Reads the common options of the parsed command (not chkopt). 0 or a code.
[[nodiscard]] int mlc_options(ParseResult& pr, MlcOpts& o, bool offset, bool exposure);
// Reads the variance options robust and cluster(varname) (numeric) into o:
// the part of mlc_options that the least-squares estimators share. 0 or a
// code with its message.
[[nodiscard]] int mlc_vceopts(ParseResult& pr, MlcOpts& o);
// Prints "(Std. Err. adjusted for # clusters in var)" when the current e()
// has e(N_clust).
void mlc_clusternote();
// Puts the rows of s in the order perm (row i takes row perm[i]).
void mlc_reorder(MlcSample& s, const std::vector<size_t>& perm);
// Reads the dependent variable and regressors of the parsed variable list,
// the weights and the option variables over the command's sample into s.
// Observations with a missing value anywhere are left out; the weight rules
// apply (pweights and iweights as given). 0 or a code (2000 no observations).
[[nodiscard]] int mlc_read(ParseResult& pr, const MlcOpts& o, MlcSample& s);
// Keeps the rows whose flag is 1 (others leave the sample).
void mlc_keeprows(MlcSample& s, const std::vector<unsigned char>& keep);
// Drops regressors collinear with earlier ones (and the constant), each with
// a note; dropped receives 1 for each dropped column.
void mlc_rmcoll(MlcSample& s, bool cons, std::vector<unsigned char>& dropped);
// The collinearity search over columns (length n, weights w or none):
// the columns not yet dropped that are linear combinations of earlier ones
// (and of a constant when cons) are dropped, each with a note naming it.
void mlc_dropcollinear(const std::vector<std::vector<double>>& cols, const std::vector<std::string>& names, long n,
                       const double* w, bool cons, std::vector<unsigned char>& dropped);
// The iteration-log callback (a no-op with nolog).
std::function<void(int, double, const char*)> mlc_logger(const MlcOpts& o);
// Fills V with the robust or cluster variance when asked (P parameters),
// from the scores at b; sets f.nclust. 0 or a code.
[[nodiscard]] int mlc_variance(const MlModel& m, const MlcSample& s, const MlcOpts& o,
                               const std::vector<double>& b, std::vector<double>& V, MlcFit& f);
// f.names, f.b and f.V from the engine's parameters b and variance V: the
// regressors of s (a dropped one posted with zero coefficient and variance),
// the constant when cons, all in equation eq0 when it is not empty ("eq0:x"),
// then the parameters named extra (each "eq:name"), one per remaining
// parameter.
void mlc_coefs(MlcFit& f, const MlcSample& s, const std::vector<unsigned char>& dropped, bool cons,
               const std::string& eq0, const std::vector<std::string>& extra, const std::vector<double>& b,
               const std::vector<double>& V);
// The model chi2 of f: the likelihood-ratio test against ll_0, or with a
// robust variance (f.wald) the Wald test of the first nslope parameters.
void mlc_chi2(MlcFit& f, int nslope, const std::vector<double>& b, const std::vector<double>& V, int P);
// Marks the observations of s as the estimation sample (after st_epost).
void mlc_esample(const MlcSample& s);
// Posts f with the sample marker of s and the options o.
void mlc_post(const MlcFit& f, const MlcSample& s, const MlcOpts& o);
// Prints the header and coefficient table of the current e() (replay too):
// level and eform from o.
void mlc_display(double level, const std::string& eform);
// The start every estimator shares: parses the command (weights allowed)
// and narrows the range to a program's by-group; without a variable list,
// the replay of cmd's results (*done set, the code returned). 0 or a code.
[[nodiscard]] int mlc_begin(ParseResult& pr, const char* cmd, const char* eformtitle, const char* eformopt, bool* done);
// The equation over the columns not dropped, with a constant when cons.
MlEq mlc_eq(const std::vector<unsigned char>& dropped, bool cons);
// Maximises m over s from b0 with the iteration log of o: 0, 1 on a Break,
// or 1400 with its message when the start is not feasible (r filled
// otherwise, converged or not).
[[nodiscard]] int mlc_fit(const MlModel& m, const MlcSample& s, const MlcOpts& o, const std::vector<double>& b0,
                          MlResult& r);
// The same without a log; the engine's code.
[[nodiscard]] int mlc_quietfit(const MlModel& m, const MlData& d, const std::vector<double>& b0, const MlOpts& o,
                               MlResult& r);
// f's N (the sum of f- and iweights, total), ll, ic, converged, k and wald
// from the fit r of P parameters.
void mlc_fitted(MlcFit& f, const MlResult& r, int P, const MlcSample& s, const MlcOpts& o, double total);
// The end every estimator shares: the note when not converged, posting,
// posted() (more e() items; may be empty), the display, the text tail;
// returns 0 or 430.
[[nodiscard]] int mlc_finish(const MlcFit& f, const MlcSample& s, const MlcOpts& o, const std::string& eform,
                             const std::function<void()>& posted = {}, const std::string& tail = "");
// Replay of the results of cmd: the display options, then the display.
// 0, 301 when the last results are not cmd's, or an option code.
[[nodiscard]] int mlc_replay(ParseResult& pr, const char* cmd, const char* eformtitle, const char* eformopt);
