// Views onto the dataset: a matrix whose rows are observations and whose
// columns are variables. A view of one double variable over one range of
// observations uses the column's own cells as its elements (no copy; the
// address is looked up again at each use, since commands may move the
// columns); any other view keeps a private copy of its cells that is re-read
// when the statement clock or the dataset counter has moved since the last
// use. Stores through a view write the dataset's cells.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "data/store.h"
#include "output/rc.h"
#include "vemo/stsel.h"
#include "vemo/vm.h"

namespace {

bool aliasable(const VView& v) {
  if (v.str || v.vars.size() != 1 || !v.obs.range || v.obs.count == 0) return false;
  const int var = v.vars[0];
  if (var < 1 || var > ds.nvar || vartype(var) != ST_DOUBLE) return false;
  return v.obs.first >= 1 && v.obs.first + v.obs.count - 1 <= ds.nobs;
}

// The cell address of the first observation of an aliasable view, or null
// when the column is not aligned for doubles.
double* aliasbase(const VView& v) {
  ColView c = colview(v.vars[0]);
  unsigned char* p = c.at(v.obs.first);
  if (reinterpret_cast<uintptr_t>(p) % alignof(double)) return nullptr;
  return reinterpret_cast<double*>(p);
}

void freebuffer(Mat* m) {
  VView* v = m->vv;
  if (!v->alias && m->data) {
    if (v->str)
      for (size_t i = 0; i < m->n(); ++i) std::free(m->str()[i]);
    std::free(m->data);
  }
  m->data = nullptr;
  m->size = 0;
}

// Reads the cells into the private copy (allocated on first use).
bool fill(Mat* m) {
  VView* v = m->vv;
  const size_t n = m->n();
  if (!m->data) {
    m->data = std::calloc(n ? n : 1, 8);
    if (!m->data) return vmerrmsg(RC_VM_NOMEM, "unable to allocate view");
    m->size = n * 8;
  }
  const size_t nv = v->vars.size();
  const long nobs = v->obs.size();
  std::string s;
  for (size_t j = 0; j < nv; ++j) {
    const int var = v->vars[j];
    const bool ok = var >= 1 && var <= ds.nvar;
    if (v->str) {
      const bool isstr = ok && isstrtype(vartype(var));
      for (long i = 0; i < nobs; ++i) {
        VStr*& e = m->str()[static_cast<size_t>(i) * nv + j];
        std::free(e);
        e = nullptr;
        const long o = v->obs.get(i);
        if (!isstr || o < 1 || o > ds.nobs) continue;
        szelta_data(var, o, s);
        e = vstr_new(s.data(), s.size());
      }
    } else {
      const bool isnum = ok && !isstrtype(vartype(var));
      ColView c;
      if (isnum) c = colview(var);
      double* out = m->re();
      for (long i = 0; i < nobs; ++i) {
        const long o = v->obs.get(i);
        out[static_cast<size_t>(i) * nv + j] = isnum && o >= 1 && o <= ds.nobs ? c.get(o) : misval;
      }
    }
  }
  return true;
}

}  // namespace

bool vview_refresh(Mat* m) {
  if (!m->view || !m->vv) return true;
  VView* v = m->vv;
  if (v->clock == vm.clock && v->epoch == vm.st_epoch && m->data) return true;
  v->clock = vm.clock;
  v->epoch = vm.st_epoch;
  if (v->alias || aliasable(*v)) {
    double* p = aliasable(*v) ? aliasbase(*v) : nullptr;
    if (p) {
      if (!v->alias) freebuffer(m);
      v->alias = true;
      m->data = p;
      m->size = m->n() * 8;
      return true;
    }
    // the column moved, changed type or lost observations: copy from now on
    v->alias = false;
    m->data = nullptr;
    m->size = 0;
  }
  return fill(m);
}

void vview_release(Mat* m) {
  if (!m->vv) {
    m->view = 0;
    return;
  }
  freebuffer(m);
  delete m->vv;
  m->vv = nullptr;
  m->view = 0;
}

bool mmaterialise(Mat* m) {
  if (!m->view) return true;
  if (!vview_refresh(m)) return false;
  VView* v = m->vv;
  if (v->alias) {
    void* copy = std::malloc(m->n() ? m->n() * 8 : 8);
    if (!copy) return vmerrmsg(RC_VM_NOMEM, "unable to allocate matrix");
    std::memcpy(copy, m->data, m->n() * 8);
    m->data = copy;
  }
  // the private copy becomes the matrix's own storage
  delete v;
  m->vv = nullptr;
  m->view = 0;
  if (m->n() <= 1 && m->eltype == ET_REAL) {
    // small matrices keep their elements inline
    double x = m->n() ? m->re()[0] : 0;
    std::free(m->data);
    m->data = m->inl;
    m->inl[0] = x;
    m->size = m->n() * 8;
  }
  return true;
}

bool vview_make(Mat* m, std::vector<int> vars, ObsSel obs, bool str) {
  if (!mresize(m, str ? ET_STR : ET_REAL, 0, 0)) return false;
  if (m->data == m->inl) m->data = nullptr;
  m->size = 0;
  VView* v = new VView;
  v->vars = std::move(vars);
  v->obs = std::move(obs);
  v->str = str;
  m->vv = v;
  m->view = v->obs.range ? 1 : 2;
  m->rows = static_cast<int>(v->obs.size());
  m->cols = static_cast<int>(v->vars.size());
  return vview_refresh(m);
}

bool vview_writeback(Mat* m, const std::vector<int>& ri, const std::vector<int>& ci) {
  VView* v = m->vv;
  if (!v) return true;
  const size_t nv = v->vars.size();
  for (int j : ci) {
    const int var = v->vars[static_cast<size_t>(j)];
    if (var < 1 || var > ds.nvar) continue;
    const int type = vartype(var);
    if (v->str != isstrtype(type)) continue;
    if (v->str) {
      // a longer text widens the variable as far as strings go
      size_t need = 0;
      for (int i : ri) need = std::max(need, vstr_len(m->str()[static_cast<size_t>(i) * nv + static_cast<size_t>(j)]));
      if (need > static_cast<size_t>(type) && type < 244) {
        if (change_vartype(var, static_cast<int>(std::min<size_t>(need, 244)))) return vmerr(RC_VM_NOMEM);
      }
      for (int i : ri) {
        const long o = v->obs.get(i);
        if (o >= 1 && o <= ds.nobs) safe_sstore(var, o, vstr_ptr(m->str()[static_cast<size_t>(i) * nv + static_cast<size_t>(j)]));
      }
    } else if (!v->alias) {
      int want = type;
      for (int i : ri) want = promoted_vartype(want, m->re()[static_cast<size_t>(i) * nv + static_cast<size_t>(j)]);
      if (want != type && change_vartype(var, want)) return vmerr(RC_VM_NOMEM);
      for (int i : ri) {
        const long o = v->obs.get(i);
        if (o < 1 || o > ds.nobs) continue;
        double& x = m->re()[static_cast<size_t>(i) * nv + static_cast<size_t>(j)];
        store(var, o, x);
        x = zelta_data(var, o);  // what the cell holds now
      }
    }
    s_updata(var);
  }
  // other views on these cells read them again; this one is current
  ++vm.st_epoch;
  v->epoch = vm.st_epoch;
  v->clock = vm.clock;
  if (v->alias && !aliasable(*v)) v->epoch = 0;
  return true;
}
