// Result posting of the statistical commands: one narrow interface between
// the commands and the saved-results store, so that each command posts its
// results from one routine.
#pragma once
#include <string>
#include <vector>

// r(): clears it, then posts named scalars.
void st_rclear();
void st_rscalar(const char* name, double value);
// r(name): a macro, and an r x c matrix (row-major values) with its stripes
// (empty: default names).
void st_rlocal(const char* name, const std::string& text);
void st_rmatrix(const char* name, int r, int c, const std::vector<double>& v,
                const std::vector<std::string>& rnames, const std::vector<std::string>& cnames);

// e(): clears it; scalars, macros; the coefficient vector and variance
// matrix with their names; the estimation-sample marker (one byte per
// observation from lo on).
void st_eclear();
void st_escalar(const char* name, double value);
void st_elocal(const char* name, const char* text);
void st_epost(const std::vector<std::string>& names, const std::vector<double>& b,
              const std::vector<double>& V);
// e(name): an r x c matrix with its stripes, as st_rmatrix.
void st_ematrix(const char* name, int r, int c, const std::vector<double>& v,
                const std::vector<std::string>& rnames, const std::vector<std::string>& cnames);
void st_esample(const std::vector<unsigned char>& mark, long lo);
// The command that made the current e() ("" when none).
std::string st_ecmd();
// The posted coefficients: the column names of e(b) (equation parts
// removed when every column shares one), e(b) and e(V) (p x p row-major,
// empty when no e(V) is posted). False when no e(b) is posted.
bool st_ecoefs(std::vector<std::string>& names, std::vector<double>& b, std::vector<double>& V);
// e(name) as a number (missing when absent) and as text ("" when absent).
double st_escalarget(const char* name);
std::string st_elocalget(const char* name);
// The estimation command's own figures kept in e() for redisplay; they move
// with e() when estimates are held.
void st_erecord(std::vector<double> rec);
const std::vector<double>& st_erecordget();
// A global macro.
void st_global(const char* name, const char* text);
// Settings: matsize and the default confidence level.
int st_matsize();
double st_setlevel();
