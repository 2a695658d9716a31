// Built-ins that are the expression language's functions of the same name
// (distributions, dates, most string functions, special functions), applied
// element by element over c-conformable arguments: one implementation serves
// every such row, finding the function by the running built-in's name.
#include <cstring>
#include <string>
#include <vector>

#include "data/value.h"
#include "expr/funcs.h"
#include "output/rc.h"
#include "vemo/lib.h"

using namespace vlib;

namespace {

const char* const names[] = {
#include "vemo/bnames.inc"
};

// Joins the shape of m into r x c under c-conformability; false when the
// shapes do not conform.
bool joinshape(const Mat* m, int* r, int* c) {
  if (m->rows == *r && m->cols == *c) return true;
  if (m->isscalar()) return true;
  if (*r == 1 && *c == 1) {
    *r = m->rows;
    *c = m->cols;
    return true;
  }
  if (m->rows == *r && (m->cols == 1 || *c == 1)) {
    *c = std::max(*c, m->cols);
    return true;
  }
  if (m->cols == *c && (m->rows == 1 || *r == 1)) {
    *r = std::max(*r, m->rows);
    return true;
  }
  return false;
}

bool b_elementwise(int n) {
  const FuncDef* d = findfunc(builtins()[static_cast<size_t>(vm.builtin_running)].name);
  if (!d) return vmerr(RC_VM_BUILTIN);
  const size_t ntypes = std::strlen(d->argtypes);
  int r = 1, c = 1;
  for (int i = 0; i < n; ++i) {
    Mat* a = arg(n, i);
    if (!needmat(a) || !readable(a)) return false;
    const char t = ntypes ? d->argtypes[std::min(static_cast<size_t>(i), ntypes - 1)] : 'n';
    if (t == 'n' && a->eltype != ET_REAL) return vmerr(RC_VM_REAL);
    if (t == 's' && a->eltype != ET_STR) return vmerr(RC_VM_STRING);
    if (t == 'a' && a->eltype != ET_REAL && a->eltype != ET_STR) return vmerr(RC_VM_REALSTR);
    if (!joinshape(a, &r, &c)) return vmerr(RC_VM_CONFORM);
  }
  for (int i = 0; i < n; ++i)
    if (arg(n, i)->n() == 0) r = c = 0;
  const bool num = d->rettype == 'n';
  Mat* res = mkmat(nullptr, num ? ET_REAL : ET_STR, r, c);
  if (!res) return false;
  std::vector<FuncValue> fv(static_cast<size_t>(n));
  std::string out;
  FuncCtx ctx;
  size_t done = 0;
  for (int i = 0; i < r; ++i) {
    for (int j = 0; j < c; ++j) {
      // some of these functions (inverse distributions) are slow per element
      if (!pollwork(done, 1)) {
        mfree(res);
        return false;
      }
      for (int k = 0; k < n; ++k) {
        const Mat* a = arg(n, k);
        const size_t p = cidx(a, i, j);
        if (a->eltype == ET_STR) {
          fv[static_cast<size_t>(k)].s = std::string_view(vstr_ptr(a->str()[p]), vstr_len(a->str()[p]));
          fv[static_cast<size_t>(k)].d = 0;
        } else {
          fv[static_cast<size_t>(k)].d = a->re()[p];
          fv[static_cast<size_t>(k)].s = {};
        }
      }
      const size_t q = at(res, i, j);
      if (num) {
        res->re()[q] = vfix(d->num(fv.data(), n, ctx));
      } else {
        out.clear();
        d->str(fv.data(), n, out, ctx);
        if (!out.empty() && !(res->str()[q] = vstr_new(out.data(), out.size()))) {
          mfree(res);
          return vmerr(RC_VM_NOMEM);
        }
      }
    }
  }
  return ret(n, res);
}

std::vector<LibRow> rows;

}  // namespace

LibRows lib_expr_rows() {
  if (rows.empty()) {
    for (const char* nm : names) {
      const FuncDef* d = findfunc(nm);
      if (!d || (d->volatile_ && d->maxargs == 0) || (d->rettype == 'n' ? !d->num : !d->str)) continue;
      rows.push_back({nm, d->rettype == 'n' ? E_REAL : E_STR, O_MATRIX, d->minargs,
                      d->maxargs < 0 ? 200 : d->maxargs, b_elementwise});
    }
  }
  return {rows.data(), rows.size()};
}
