// The statistical commands (summarize, regress, the coefficient table,
// predict and test) and what they share: the command's sample with its
// weights, the result posting, and the state kept for redisplay.
#pragma once
#include <string>
#include <vector>
#include "stats/grpdense.h"

struct ParseResult;

// Weight kinds of a command's sample.
enum : char { WK_NONE = 0, WK_F = 'f', WK_A = 'a', WK_I = 'i', WK_P = 'p' };

// The observations a command may use, read once: the `if`/`in` selection and
// the weight of each observation of the range lo..hi.
struct StSample {
  long lo = 1, hi = 0;             // observation range (ds.nobs1..ds.nobs2)
  std::vector<unsigned char> sel;  // 1 when obs lo+i is selected; empty: all are
  char wkind = WK_NONE;            // weight kind
  std::string wexp;                // weight expression text
  std::vector<double> w;           // weight of obs lo+i (missing kept); empty without weights
  bool selected(long obs) const { return sel.empty() || sel[static_cast<size_t>(obs - lo)]; }
};

// Reads the selection and the weights of the command just parsed (ds.nobs1,
// ds.nobs2, ex.ifpgm, pr.wgttype, pr.wgtexp). 0, 1 on a Break, or the code of
// a weight expression that does not compile.
[[nodiscard]] int st_sample(StSample& s, const ParseResult& pr);

// The weight rules shared by the commands for one used observation: a missing
// or zero weight skips it (returns 0 with *use false); a negative weight is
// code 402 except for iweights; a non-integer fweight is 401.
[[nodiscard]] int st_checkweight(char kind, double w, bool* use);
// The same without printing: the code alone (for work off the main thread).
[[nodiscard]] int st_weightrule(char kind, double w, bool* use);

// Entry e (0-based) of the current variable list: whether it carries no
// time-series operator, its values for observations obs..obs+m-1 (through
// the store's column views), and its name as shown ("L.x" with operators).
bool st_plainentry(int e);
void st_gather(int e, long obs, long m, double* x);
std::string st_entryname(int e);

// The variables named by a variable list written as text (an option's
// argument, a list item); 0 or a code (printed). Leaves the tokenizer as it was.
[[nodiscard]] int st_textvars(const std::string& text, std::vector<int>& vars);

// The level(#) option (fractional levels allowed), default `set level`;
// 0 or 198 (printed) outside 10..99.99.
[[nodiscard]] int st_level(ParseResult& pr, double* level);

// Prints text at the note level.
void st_note(const std::string& text);

// Prints the message of 2000 ("no observations") and returns 2000.
int st_noobs();

// The last regress fit, kept for replay, predict and test.
struct RegFit {
  bool valid = false;                  // a fit is kept
  double N = 0;                        // e(N): observations (sum of fweights)
  long n = 0;                          // observations used
  bool cons = true;                    // the model has a constant of its own making
  bool hasconst = true;                // a constant, its own or the user's (hascons)
  double tss = 0, rss = 0, mss = 0;    // sums of squares
  double df_m = 0, df_r = 0;           // model and residual degrees of freedom
  double dfr_test = 0;                 // df of the t and F tests (clusters - 1 with cluster())
  double F = 0, pF = 0;                // F statistic and its upper-tail probability
  double r2 = 0, r2_a = 0, rmse = 0;   // R-squared, adjusted, root MSE
  double ll = 0, ll_0 = 0;             // log likelihoods (missing when not posted)
  std::string depname;                 // dependent variable as shown and posted
  std::string wtype, wexp;             // weight kind ("aweight", ...) and expression
  int vce = 0;                         // 0 OLS, 1 robust, 2 hc2, 3 hc3, 4 cluster
  std::string vcetype;                 // "Robust", "Robust HC2", ...; empty for OLS
  double nclust = 0;                   // clusters
  std::string clustvar;                // cluster variable
  std::vector<std::string> names;      // coefficient names, `_cons` last
  std::vector<double> b;               // coefficients (0 for dropped)
  std::vector<unsigned char> dropped;  // 1 for a regressor left out
  std::vector<double> V;               // variance matrix, p x p row-major
  std::vector<double> betas;           // standardised coefficients (missing for _cons)
  std::vector<unsigned char> sample;   // estimation sample of obs samplelo + i
  long samplelo = 1;
};

// Prints the analysis-of-variance header of a least-squares fit (Model,
// Residual and Total rows, F, R-squared, root MSE) as regress shows it.
void reg_header(const RegFit& f);

// `test` after anova: when every word of line names a term of the model (or
// a term names no term: 147), sets *handled, prints the terms' joint partial
// F test and posts r(ss), r(rss), r(F), r(df), r(df_r), r(p); returns 0 or a
// code. Leaves *handled false for lines about coefficients.
[[nodiscard]] int anv_termtest(const std::string& line, bool* handled);

// State kept between commands of this subsystem.
struct StatsState {
  RegFit reg;  // the last regress fit
  double summ_mean = 0, summ_sd = 0;  // mean and sd of summarize's last variable
  std::vector<GdCell> gdspare;        // accumulators of the last dense group sums, reused by the next
  std::vector<double> kdspare;        // kdens's copy of the sample, reused by the next
  std::string reshape_failed;  // the last reshape that failed a check on the data ("" none)
};
extern StatsState sts;
// The statistics subsystem's session state back to its start (reset-all):
// the last fits and spare buffers above, the `ml model` being defined and the
// columns the ml commands keep for their next sample.
void stats_reset();

// Binders of the command files of this folder.
void stats_bindsummarize();
void stats_bindregress();
void stats_bindpredict();
void stats_bindtest();
void stats_bindtabulate();
void stats_bindcorrelate();
void stats_bindgrpstat();
void stats_bindcollapse();
void stats_bindttest();
void stats_bindoneway();
void stats_bindquantile();
void stats_bindreshape();
void stats_bindinspect();
void stats_bindtabdisp();
void stats_bindlogit();
void stats_bindcount();
void stats_bindordered();
void stats_bindtobit();
void stats_bindclogit();
void stats_bindml();
void stats_bindpanelreg();
void stats_bindpanelbin();
void stats_bindhausman();
void stats_bindivfit();
void stats_bindanova();
void stats_bindmanova();
void stats_bindsmooth();
void stats_bindmlvocab();
void stats_bindrobust();
void stats_bindcox();
void stats_bindqreg();
void stats_bindresample();

// The predictions after cox (predict's handler passes them on): the storage
// type (0 default), the first new variable and any further ones. 0 or a code.
[[nodiscard]] int cox_predict(int type, const std::string& name, const std::vector<std::string>& more);
