// The statistical commands (summarize, regress, the coefficient table,
// predict and test) and what they share: the command's sample with its
// weights, the result posting, and the state kept for redisplay.
#pragma once
#include <string>
#include <vector>

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
// ds.nobs2, ex.ifpgm, ps.wgttype, ps.wgtexp). 0, 1 on a Break, or the code of
// a weight expression that does not compile.
[[nodiscard]] int st_sample(StSample& s);

// The weight rules shared by the commands for one used observation: a missing
// or zero weight skips it (returns 0 with *use false); a negative weight is
// code 402 except for iweights; a non-integer fweight is 401.
[[nodiscard]] int st_checkweight(char kind, double w, bool* use);

// Prints the message of 2000 ("no observations") and returns 2000.
int st_noobs();

// State kept between commands of this subsystem.
struct StatsState {
  int summ_sep = 5;  // (unused default) separator of summarize
};
extern StatsState sts;

// Binders of the command files of this folder.
void stats_bindsummarize();
