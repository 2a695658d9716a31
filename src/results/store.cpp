// The r(), e() and s() stores, the pending sets of running programs, named
// scalars and the user matrix store, with the lookups the expression
// compiler and macro expansion reach through their hooks. All state is in
// `res`; res_reset() gives a test a fresh one.
#include <cmath>
#include <cstring>
#include <string>

#include "data/store.h"
#include "expr/expr.h"
#include "interp/hooks.h"
#include "interp/interp.h"
#include "interp/macro.h"
#include "output/errors.h"
#include "output/outhost.h"
#include "output/output.h"
#include "results/resint.h"
#include "results/results.h"
#include "results/resint.h"

ResultsState res;

void res_reset() { res = ResultsState{}; }

void results_reset() {
  res_reset();
  cset = CSettings{};
}

// ---------------------------------------------------------------------------
// Matrices: construction helpers.

void mat_defnames(std::vector<std::string>& names, int n, char prefix) {
  names.resize(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) names[static_cast<size_t>(i)] = prefix + std::to_string(i + 1);
}

Matrix mat_make(int r, int c, double z) {
  Matrix m;
  m.rows = r;
  m.cols = c;
  m.v.assign(static_cast<size_t>(r) * static_cast<size_t>(c), z);
  mat_defnames(m.rnames, r, 'r');
  mat_defnames(m.cnames, c, 'c');
  return m;
}

// ---------------------------------------------------------------------------
// One class store.

template <class V>
static auto findin(V& vec, const std::string& name) -> decltype(&vec[0].second) {
  for (auto& p : vec)
    if (p.first == name) return &p.second;
  return nullptr;
}

template <class V>
static void eraseof(V& vec, const std::string& name) {
  for (size_t i = 0; i < vec.size(); ++i)
    if (vec[i].first == name) {
      vec.erase(vec.begin() + static_cast<long>(i));
      return;
    }
}

void ResStore::erase(const std::string& name) {
  eraseof(scalars, name);
  eraseof(macros, name);
  eraseof(matrices, name);
}
const double* ResStore::scalar(const std::string& name) const { return findin(scalars, name); }
const std::string* ResStore::macro(const std::string& name) const { return findin(macros, name); }
const Matrix* ResStore::matrix(const std::string& name) const { return findin(matrices, name); }
Matrix* ResStore::matrix(const std::string& name) { return findin(matrices, name); }

ResStore& res_store(char cls) {
  if (cls == 'e') return res.e;
  if (cls == 's') return res.s;
  return res.r;
}

// Sets a scalar in st (replacing an item of that name); 950 when full.
static int putscalar(ResStore& st, const char* name, double v) {
  st.erase(name);
  if (st.size() >= RES_MAXITEMS) return error(RC_INSUFMEM);
  st.scalars.emplace_back(name, v);
  return 0;
}
static int putmacro(ResStore& st, const char* name, const std::string& text) {
  st.erase(name);
  if (text.empty()) return 0;
  if (st.size() >= RES_MAXITEMS) return error(RC_INSUFMEM);
  st.macros.emplace_back(name, text);
  return 0;
}
static int putmatrix(ResStore& st, const char* name, Matrix m) {
  st.erase(name);
  if (st.size() >= RES_MAXITEMS) return error(RC_INSUFMEM);
  st.matrices.emplace_back(name, std::move(m));
  return 0;
}

void retval_clear() { res.r.clear(); }
int retval_set_scalar(const char* name, double value) { return putscalar(res.r, name, value); }
int retval_set_local(const char* name, const std::string& text) {
  if (text.empty()) return 0;
  return putmacro(res.r, name, text);
}
int retval_set_matrix(const char* name, Matrix m) { return putmatrix(res.r, name, std::move(m)); }

void estval_clear() {
  res.e.clear();
  if (int v = estval_samplevar()) {
    std::vector<int> drop{v};
    (void)droporkeepvars(drop, false);
  }
}
int estval_set_scalar(const char* name, double value) { return putscalar(res.e, name, value); }
int estval_set_local(const char* name, const std::string& text) {
  if (text.empty()) return 0;
  return putmacro(res.e, name, text);
}
int estval_set_matrix(const char* name, Matrix m) { return putmatrix(res.e, name, std::move(m)); }

int estval_post(Matrix b, Matrix V) {
  if (b.rows != 1) return error(RC_CONFORM);
  if (V.rows || V.cols) {
    if (V.rows != V.cols || V.rows != b.cols) return error(RC_CONFORM);
    V.rnames = b.cnames;
    V.cnames = b.cnames;
    V.sym = true;
  }
  if (int rc = putmatrix(res.e, "b", std::move(b))) return rc;
  if (V.rows) return putmatrix(res.e, "V", std::move(V));
  return 0;
}

int estval_samplevar() { return findvarexact(ESAMPLE_VAR); }

int estval_set_sample(const std::vector<uint8_t>& flags) {
  int v = estval_samplevar();
  if (!v) {
    if (int rc = addwrkvar(ST_BYTE)) return rc;
    v = ds.nvar;
    ds.varlist[static_cast<size_t>(v)] = ESAMPLE_VAR;
  }
  for (long i = 1; i <= ds.nobs; ++i)
    store(v, i, static_cast<size_t>(i) <= flags.size() && flags[static_cast<size_t>(i - 1)] ? 1 : 0);
  return 0;
}

void sretval_clear() { res.s.clear(); }
int sretval_reset_local(const char* name, const std::string& text) {
  return putmacro(res.s, name, text);
}

int val_find(char cls, const std::string& name, double* d, std::string* s) {
  const ResStore& st = res_store(cls);
  if (const double* p = st.scalar(name)) return *d = *p, 1;
  if (const std::string* p = st.macro(name)) return *s = *p, 2;
  if (st.matrix(name)) return 3;
  return 0;
}

// ---------------------------------------------------------------------------
// Named scalars and user matrices.

const NamedScalar* scalar_find(const std::string& name) { return findin(res.scalars, name); }

int scalar_set(const std::string& name, const NamedScalar& v) {
  if (NamedScalar* p = findin(res.scalars, name)) return *p = v, 0;
  if (res.scalars.size() >= RES_MAXITEMS) return error(RC_INSUFMEM);
  res.scalars.emplace_back(name, v);
  return 0;
}

// "r(name)", "e(name)": a matrix of a saved-results class.
static const Matrix* classmat(const std::string& name) {
  if (name.size() > 3 && name[1] == '(' && name.back() == ')' &&
      (name[0] == 'r' || name[0] == 'e'))
    return res_store(name[0]).matrix(name.substr(2, name.size() - 3));
  return nullptr;
}

const Matrix* mat_find(const std::string& name) {
  if (const Matrix* m = findin(res.mats, name)) return m;
  return classmat(name);
}

int mat_store(const std::string& name, Matrix m) {
  if (m.rows > interp.matsize || m.cols > interp.matsize) return error(RC_MATSIZE);
  if (Matrix* p = findin(res.mats, name)) return *p = std::move(m), 0;
  if (res.mats.size() >= RES_MAXITEMS) return error(RC_INSUFMEM);
  res.mats.emplace_back(name, std::move(m));
  return 0;
}

bool mat_erase(const std::string& name) {
  size_t n = res.mats.size();
  eraseof(res.mats, name);
  return res.mats.size() != n;
}

// ---------------------------------------------------------------------------
// Program frames: pending results become current when a program ends.

static void frame_enter(int cls) {
  ResFrame f;
  f.cls = cls;
  res.frames.push_back(std::move(f));
}

static void frame_leave(int cls, int rc) {
  if (res.frames.empty()) return;
  ResFrame f = std::move(res.frames.back());
  res.frames.pop_back();
  if (rc != 0) return;
  if (cls == 1) res.r = std::move(f.pending);
  else if (cls == 2) res.s = std::move(f.pending);
}

// ---------------------------------------------------------------------------
// Expression hooks.

namespace {

int h_scalar(const std::string& name, double* d, std::string* s, bool* isstr) {
  const NamedScalar* p = scalar_find(name);
  if (!p) return 1;
  *isstr = p->isstr;
  if (p->isstr) *s = p->s;
  else *d = p->d;
  return 0;
}

int h_saved(char kind, const std::string& name, double* d, std::string* s, bool* isstr,
            bool* ismat) {
  int k = val_find(kind, name, d, s);
  if (!k) return 1;
  *isstr = k == 2;
  *ismat = k == 3;
  return 0;
}

// The stripe position of name (equation eq, may be empty) in names.
int stripepos(const std::vector<std::string>& names, const std::string& eq,
              const std::string& name) {
  for (size_t i = 0; i < names.size(); ++i) {
    const std::string& s = names[i];
    size_t colon = s.find(':');
    std::string se = colon == std::string::npos ? "" : s.substr(0, colon);
    std::string sn = colon == std::string::npos ? s : s.substr(colon + 1);
    if (sn != name) continue;
    if (eq.empty() ? (se.empty() || i == 0 || se == names[0].substr(0, names[0].find(':')))
                   : se == eq)
      return static_cast<int>(i);
  }
  return -1;
}

int h_coef(bool se, const std::string& eq, const std::string& name, double* d) {
  const Matrix* b = res.e.matrix("b");
  if (!b) return 1;
  int j = stripepos(b->cnames, eq, name);
  if (j < 0) return 1;
  if (!se) return *d = b->at(0, j), 0;
  const Matrix* V = res.e.matrix("V");
  if (!V || j >= V->rows) return 1;
  double v = V->at(j, j);
  *d = v >= 0 && v < 8.988465674311579e307 ? std::sqrt(v) : v < 0 ? 0 : v;
  return 0;
}

int h_matrix(const std::string& name) { return mat_find(name) ? 0 : 1; }

int h_matel(const std::string& name, double i, double j, double* d) {
  const Matrix* m = mat_find(name);
  if (!m) return 1;
  double ti = std::trunc(i), tj = std::trunc(j);
  if (!(ti >= 1 && ti <= m->rows && tj >= 1 && tj <= m->cols)) return 1;
  *d = m->at(static_cast<int>(ti) - 1, static_cast<int>(tj) - 1);
  return 0;
}

int h_esample() { return estval_samplevar(); }

int h_creturn(const std::string& name, double* d, std::string* s, bool* isstr) {
  return creturn_value(name, d, s, isstr);
}

int ms_matsize() { return interp.matsize; }

}  // namespace

// Installs the lookups; called once by the binder.
void results_hooks_install() {
  exhooks.scalar = h_scalar;
  exhooks.saved = h_saved;
  exhooks.coef = h_coef;
  exhooks.matrix = h_matrix;
  exhooks.matel = h_matel;
  exhooks.esample = h_esample;
  exhooks.creturn = h_creturn;
  outhost.creturn = h_creturn;
  errst.matsize = ms_matsize;
  progclass.enter = frame_enter;
  progclass.leave = frame_leave;
  machost.stores = macext_stores;
}
