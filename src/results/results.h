// Saved results: the r(), e() and s() stores that commands leave behind for
// later commands, the pending sets of running r- and s-class programs, held
// estimates, named scalars, the read-only c() values and the matrix store.
// Built-in commands post through the retval_/estval_/sretval_ families below;
// expressions and macro expansion read through the lookups.
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// A dense matrix of doubles, stored row by row, with its row and column
// names ("stripes", each "name" or "eq:name"). `sym` records that the
// matrix is symmetric (it is still stored in full).
struct Matrix {
  int rows = 0, cols = 0;
  bool sym = false;
  std::vector<double> v;              // rows * cols elements, row-major
  std::vector<std::string> rnames;    // rows names
  std::vector<std::string> cnames;    // cols names
  double& at(int i, int j) { return v[static_cast<size_t>(i) * static_cast<size_t>(cols) + static_cast<size_t>(j)]; }
  double at(int i, int j) const { return v[static_cast<size_t>(i) * static_cast<size_t>(cols) + static_cast<size_t>(j)]; }
};

// Makes an r x c matrix filled with z and default stripes r1.. / c1..
Matrix mat_make(int r, int c, double z = 0);
// Default stripe names "r1".."rn" or "c1".."cn".
void mat_defnames(std::vector<std::string>& names, int n, char prefix);

// One class of saved results: scalars, macros and matrices in posting order.
struct ResStore {
  std::vector<std::pair<std::string, double>> scalars;
  std::vector<std::pair<std::string, std::string>> macros;
  std::vector<std::pair<std::string, Matrix>> matrices;
  std::vector<double> rec;  // e(): the estimation command's own figures for redisplay
  void clear() { scalars.clear(), macros.clear(), matrices.clear(), rec.clear(); }
  bool empty() const { return scalars.empty() && macros.empty() && matrices.empty() && rec.empty(); }
  size_t size() const { return scalars.size() + macros.size() + matrices.size(); }
  // Removes any item called name (of any kind).
  void erase(const std::string& name);
  const double* scalar(const std::string& name) const;
  const std::string* macro(const std::string& name) const;
  const Matrix* matrix(const std::string& name) const;
  Matrix* matrix(const std::string& name);
};

// Items one class may hold; one more is code 950.
constexpr size_t RES_MAXITEMS = 10000;
// Named slots of held estimates (plus one for automatic restore).
constexpr int RES_MAXHOLD = 300;

// Held estimates: the e() contents set aside under a name.
struct HeldEst {
  std::string name;       // name it was held under
  bool estflag = false;   // held with the `estimates` option
  bool restore = false;   // the automatic-restore slot
  ResStore e;             // the e() items
  std::string samplevar;  // variable keeping the sample marker, empty when none
  bool stored = false;    // kept by `estimates store` (a copy; restore leaves it kept)
  std::vector<uint8_t> sample;  // stored: the sample marker by observation, empty when none
};

// A running program's frame: its class and pending results.
struct ResFrame {
  int cls = 0;            // 0 none, 1 r-class, 2 s-class, 3 e-class
  ResStore pending;       // r() (r-class) or s() (s-class) to be when it ends
  std::vector<std::string> own;  // names the program posted itself (return add)
};

// A named scalar: numeric or string.
struct NamedScalar {
  bool isstr = false;
  double d = 0;
  std::string s;
};

struct ResultsState {
  ResStore r;                        // r(): results of the last r-class command
  ResStore e;                        // e(): results of the last estimation command
  ResStore s;                        // s(): macros of the last s-class program
  std::vector<ResFrame> frames;      // running programs, innermost last
  std::vector<HeldEst> held;         // held estimates (at most RES_MAXHOLD + 1)
  std::vector<std::pair<std::string, NamedScalar>> scalars;  // `scalar` store
  std::vector<std::pair<std::string, Matrix>> mats;           // `matrix` store
  long sortseed_last = 0;            // r(sortseed) bookkeeping (sort posts it)
  int matexpr_nest = 0;              // levels of a matrix expression's unary open now
};
extern ResultsState res;

// Resets every store (tests).
void res_reset();
// The saved-results subsystem back to its start (reset-all): every store
// above emptied and the settings it owns (`set level`, `set maxiter`, ...)
// at their defaults.
void results_reset();

// --- Posting from built-in commands -------------------------------------
// Empties r(); every r-class built-in calls it before posting.
void retval_clear();
// Sets r(name) (any earlier item of that name is replaced). 0 or 950.
[[nodiscard]] int retval_set_scalar(const char* name, double value);
// Sets the macro r(name); an empty text posts nothing. 0 or 950.
[[nodiscard]] int retval_set_local(const char* name, const std::string& text);
// Posts a matrix into r(). 0 or 950.
[[nodiscard]] int retval_set_matrix(const char* name, Matrix m);
// Empties all of e(): items, coefficient vector, variance and sample marker.
void estval_clear();
[[nodiscard]] int estval_set_scalar(const char* name, double value);
[[nodiscard]] int estval_set_local(const char* name, const std::string& text);
[[nodiscard]] int estval_set_matrix(const char* name, Matrix m);
// Posts the coefficient row vector b and variance V (e(b), e(V)); V may be
// empty (0 x 0). Checks conformability: 503.
[[nodiscard]] int estval_post(Matrix b, Matrix V);
// The estimation-sample marker is the byte variable "(e)", a name no user
// can type, so it moves with the observations.
constexpr const char* ESAMPLE_VAR = "(e)";
// Marks the estimation sample: flags[i] for observation i + 1 (size nobs).
// 0 or a code (no room for the variable).
[[nodiscard]] int estval_set_sample(const std::vector<uint8_t>& flags);
// The marker's variable number, 0 when there is none.
int estval_samplevar();
// Empties s().
void sretval_clear();
// Sets s(name); an empty text removes it. 0 or 950.
[[nodiscard]] int sretval_reset_local(const char* name, const std::string& text);

// --- Reading -------------------------------------------------------------
// The store of class 'r', 'e' or 's'.
ResStore& res_store(char cls);
// Looks name up in class cls: scalars first, then macros, then matrices.
// kind: 1 scalar, 2 macro, 3 matrix; 0 when absent.
int val_find(char cls, const std::string& name, double* d, std::string* s);

// Named scalars.
const NamedScalar* scalar_find(const std::string& name);
[[nodiscard]] int scalar_set(const std::string& name, const NamedScalar& v);

// Matrices by name: user matrices, or r(name)/e(name) written that way.
const Matrix* mat_find(const std::string& name);
// Stores m under a user name (replacing); checks matsize (908). 0 or rc.
[[nodiscard]] int mat_store(const std::string& name, Matrix m);
// Erases a user matrix; false when absent.
bool mat_erase(const std::string& name);

// c(name): 0 and the value, or 1 when name is not a c() value.
int creturn_value(const std::string& name, double* d, std::string* s, bool* isstr);

// The layout of a `query` listing, which `about` shares: a group's heading
// (a rule, the title, a rule), and the start of a row, "    name" padded to
// 24 columns then the value in result colour, left for the caller to end.
void query_head(const char* title);
void query_row(const std::string& name, const std::string& value);

// The coefficient table of `ereturn display`: the statistical commands own
// the table and install it here. Called with the tokenizer after the word
// `display`; returns 0 or a code.
using EDisplayFn = int (*)();
void res_set_edisplay(EDisplayFn fn);

// Binders.
void results_bindcommands();
