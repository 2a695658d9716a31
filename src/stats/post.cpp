// Result posting of the statistical commands into the saved-results store:
// the one place where summarize and regress meet r() and e().
#include "stats/post.h"

#include <cstdint>

#include "data/store.h"
#include "interp/macro.h"
#include "output/errors.h"
#include "results/results.h"

void st_rclear() { retval_clear(); }
void st_rscalar(const char* name, double value) { (void)retval_set_scalar(name, value); }

void st_rlocal(const char* name, const std::string& text) { (void)retval_set_local(name, text); }
void st_rmatrix(const char* name, int r, int c, const std::vector<double>& v,
                const std::vector<std::string>& rnames, const std::vector<std::string>& cnames) {
  Matrix m = mat_make(r, c);
  m.v = v;
  if (!rnames.empty()) m.rnames = rnames;
  if (!cnames.empty()) m.cnames = cnames;
  m.sym = r == c && rnames == cnames && !rnames.empty();
  (void)retval_set_matrix(name, std::move(m));
}

void st_ematrix(const char* name, int r, int c, const std::vector<double>& v,
                const std::vector<std::string>& rnames, const std::vector<std::string>& cnames) {
  Matrix m = mat_make(r, c);
  m.v = v;
  if (!rnames.empty()) m.rnames = rnames;
  if (!cnames.empty()) m.cnames = cnames;
  (void)estval_set_matrix(name, std::move(m));
}

void st_eclear() { estval_clear(); }
void st_escalar(const char* name, double value) { (void)estval_set_scalar(name, value); }
void st_elocal(const char* name, const char* text) { (void)estval_set_local(name, text); }

// e(b) is a row vector named by the dependent variable's equation row "y1";
// e(V) carries the coefficient names on both sides.
void st_epost(const std::vector<std::string>& names, const std::vector<double>& b,
              const std::vector<double>& V) {
  const int p = static_cast<int>(names.size());
  Matrix mb = mat_make(1, p);
  mb.v = b;
  mb.rnames = {"y1"};
  mb.cnames = names;
  Matrix mv = mat_make(p, p);
  mv.v = V;
  mv.rnames = names;
  mv.cnames = names;
  mv.sym = true;
  (void)estval_post(std::move(mb), std::move(mv));
}

// The marker arrives for observations lo.. (one flag each); the store wants
// one flag per observation of the dataset.
void st_esample(const std::vector<unsigned char>& mark, long lo) {
  std::vector<uint8_t> flags(static_cast<size_t>(ds.nobs), 0);
  for (size_t i = 0; i < mark.size(); ++i) {
    const long obs = lo + static_cast<long>(i);
    if (obs >= 1 && obs <= ds.nobs) flags[static_cast<size_t>(obs - 1)] = mark[i];
  }
  (void)estval_set_sample(flags);
}

std::string st_ecmd() {
  const std::string* c = res.e.macro("cmd");
  return c ? *c : std::string();
}

bool st_ecoefs(std::vector<std::string>& names, std::vector<double>& b, std::vector<double>& V) {
  names.clear(), b.clear(), V.clear();
  const Matrix* mb = res.e.matrix("b");
  if (!mb || mb->rows < 1) return false;
  const size_t p = static_cast<size_t>(mb->cols);
  b.assign(mb->v.begin(), mb->v.begin() + static_cast<long>(p));
  names = mb->cnames;
  // One equation throughout (or none): the names alone.
  std::string eq0;
  bool oneeq = true;
  for (size_t j = 0; j < p; ++j) {
    const size_t c = names[j].find(':');
    const std::string eq = c == std::string::npos ? "" : names[j].substr(0, c);
    if (j == 0) eq0 = eq;
    else if (eq != eq0) oneeq = false;
  }
  if (oneeq)
    for (std::string& n : names)
      if (size_t c = n.find(':'); c != std::string::npos) n.erase(0, c + 1);
  const Matrix* mv = res.e.matrix("V");
  if (mv && static_cast<size_t>(mv->rows) == p && static_cast<size_t>(mv->cols) == p) V = mv->v;
  return true;
}

double st_escalarget(const char* name) {
  const double* d = res.e.scalar(name);
  return d ? *d : misval;
}

std::string st_elocalget(const char* name) {
  const std::string* s = res.e.macro(name);
  return s ? *s : std::string();
}

void st_erecord(std::vector<double> rec) { res.e.rec = std::move(rec); }
const std::vector<double>& st_erecordget() { return res.e.rec; }

void st_global(const char* name, const char* text) { macset_global(name, text); }

int st_matsize() { return errst.matsize ? errst.matsize() : 400; }

// Confidence level in percent used when `set level` is out of its range.
constexpr double DEFAULT_LEVEL = 95;

// `set level`, kept by the c() table; DEFAULT_LEVEL when it is out of its range.
double st_setlevel() {
  double d = DEFAULT_LEVEL;
  std::string s;
  bool isstr = false;
  if (creturn_value("level", &d, &s, &isstr) == 0 && !isstr && d >= 10 && d <= 99.99) return d;
  return DEFAULT_LEVEL;
}
