// `vemo memory` (also the Zelta command `vemo_memory`): what the Vemo object
// store holds, as counts and bytes of functions by origin, of matrices and
// scalars, and of the records that hold them, with the same figures posted
// in r().
#include <cstdio>
#include <string>

#include "interp/cmdtab.h"
#include "interp/tokenizer.h"
#include "output/errors.h"
#include "output/output.h"
#include "results/results.h"
#include "vemo/vemo.h"
#include "vemo/vm.h"

namespace {

// Bytes of a matrix's elements, string bodies included.
double matbytes(const Mat* m) {
  double b = static_cast<double>(m->data == m->inl ? 0 : m->size);
  if (m->kind == K_MAT && m->eltype == ET_STR && !m->view)
    for (size_t i = 0; i < m->n(); ++i)
      if (m->str()[i]) b += static_cast<double>(sizeof(VStr) + m->str()[i]->n);
  return b;
}

// One line of the table: what, a count (blank for none) and bytes.
void row(const char* what, const char* n, double bytes) {
  char buf[120];
  std::snprintf(buf, sizeof buf, "{txt}%-24s{res}%9s  %13.0f\n", what, n, bytes);
  spoutsml(buf);
}

}  // namespace

void vemo_memfigures(VemoMemory* f) {
  *f = VemoMemory{};
  for (const auto& [name, fn] : vm.fcns) {
    const double b = static_cast<double>(fn->code.size() * sizeof(int32_t));
    if (fn->autoloaded) ++f->nal, f->mal += b;
    else ++f->ndef, f->mdef += b;
    f->moh += static_cast<double>(sizeof(Fcn) + name.size() + 1);
  }
  for (const auto& [name, m] : vm.globals) {
    ++f->nm;
    f->mm += matbytes(m);
    f->moh += static_cast<double>(sizeof(Mat));
  }
}

namespace {

int cmd_memory(int) {
  if (*peektok_chr()) return invalid(gettok(prsestd));
  vemo_start();
  VemoMemory f;
  vemo_memfigures(&f);
  const double nal = f.nal, nado = f.nado, ndef = f.ndef, nm = f.nm, mal = f.mal, mado = f.mado, mdef = f.mdef,
               mm = f.mm, moh = f.moh;
  const double ntot = nal + nado + ndef + nm, mtot = mal + mado + mdef + mm + moh;
  int prev = setoutlev(OUT_RESULT);
  spoutsml("\n{txt}                                #        bytes\n{hline 48}\n");
  auto cnt = [](double x) { return std::to_string(static_cast<long long>(x)); };
  row("autoloaded functions", cnt(nal).c_str(), mal);
  row("ado functions", cnt(nado).c_str(), mado);
  row("defined functions", cnt(ndef).c_str(), mdef);
  row("matrices & scalars", cnt(nm).c_str(), mm);
  row("overhead", "", moh);
  spoutsml("{txt}{hline 48}\n");
  row("total", cnt(ntot).c_str(), mtot);
  setoutlev(prev);
  retval_clear();
  const std::pair<const char*, double> post[] = {{"Nf_al", nal}, {"Nf_ado", nado}, {"Nf_def", ndef},
                                                 {"Nm", nm},     {"Ntotal", ntot}, {"Mf_al", mal},
                                                 {"Mf_ado", mado}, {"Mf_def", mdef}, {"Mm", mm},
                                                 {"Moh", moh},   {"Mtotal", mtot}};
  for (const auto& [name, value] : post) (void)retval_set_scalar(name, value);
  return 0;
}

}  // namespace

void vemo_bindmemory() { cmdbind("vemo_memory", cmd_memory); }
