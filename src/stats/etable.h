// The coefficient table of estimation commands.
#pragma once
#include <string>
#include <vector>

struct ParseResult;

// What one table shows.
struct CoefTable {
  std::string depname;                 // dependent variable (title of the stub)
  std::vector<std::string> names;      // coefficient names, `_cons` last
  std::vector<double> b;               // coefficients
  std::vector<double> V;               // variance matrix, p x p row-major
  std::vector<unsigned char> dropped;  // 1: the row shows "(dropped)"
  double df_r = 0;                     // residual df (missing: normal z statistics)
  double level = 95;                   // confidence level
  std::string vcetype;                 // shown centred over the standard errors
  std::string eform;                   // title of exponentiated coefficients, empty: none
  bool beta = false;                   // standardised coefficients instead of intervals
  std::vector<double> betas;           // the standardised coefficients (missing: blank)
  bool plus = false;                   // the bottom rule ends in a cross
};

// Prints the table at the current output level.
void ct_display(const CoefTable& t);
// One line of the right-hand column of the header above a table: the label
// in `width` columns from column 51, "= ", the value right-aligned in 10.
void ct_headline(const std::string& label, const std::string& val, int width = 16);
// Fills the coefficients, their names, variance, "(dropped)" marks (a zero
// coefficient with zero variance), the residual df (e(df_r), missing for z
// statistics), the variance type and the dependent variable from the posted
// e(b) and e(V). 0, or 301 when no coefficients are posted.
[[nodiscard]] int ct_frome(CoefTable& t);
// The table options of the parsed command line shared by the estimation
// commands and `ereturn display`: level(#) (fractional allowed, default
// `set level`), plus, eform(string). 0 or 198.
[[nodiscard]] int ct_options(ParseResult& pr, CoefTable& t);
// `ereturn display [, level(#) plus eform(string)]`.
[[nodiscard]] int ct_ereturn_display();
// The two-sided critical value for level with df_r degrees of freedom
// (normal when df_r is missing).
double ct_critical(double level, double df_r);
