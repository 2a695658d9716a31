// libFuzzer target for matrix expressions: random text is evaluated against
// a few stored matrices and scalars; a failure must leave a return code and
// an untouched target, a success a matrix whose size and stripes agree.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "interp/cmdtab.h"
#include "interp/interp.h"
#include "output/output.h"
#include "results/matrix.h"

namespace {

std::string sink;

void setup() {
  out_set_capture(&sink);
  cmdinit_table();
  Matrix a = mat_make(2, 2);
  a.v = {4, 2, 2, 3};
  a.sym = true;
  if (mat_store("A", a)) std::abort();
  Matrix b = mat_make(2, 3);
  b.v = {1, 2, 3, 4, 5, 6};
  if (mat_store("B", b)) std::abort();
  Matrix s = mat_make(2, 2, 1);
  if (mat_store("S", s)) std::abort();
  NamedScalar k;
  k.d = 2;
  if (scalar_set("k", k)) std::abort();
  interp.matsize = 40;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool ready = (setup(), true);
  (void)ready;
  if (size > 2000) return 0;
  std::string text(reinterpret_cast<const char*>(data), size);
  for (char& c : text)
    if (c == 0 || c == '\n') c = ' ';
  sink.clear();
  Matrix out = mat_make(1, 1, 7);
  int rc = matexp_eval(text, out);
  if (rc) {
    if (out.rows != 1 || out.cols != 1 || out.v[0] != 7) std::abort();
    return 0;
  }
  if (out.rows > interp.matsize || out.cols > interp.matsize) std::abort();
  if (out.v.size() != static_cast<size_t>(out.rows) * static_cast<size_t>(out.cols)) std::abort();
  if (out.rnames.size() != static_cast<size_t>(out.rows)) std::abort();
  if (out.cnames.size() != static_cast<size_t>(out.cols)) std::abort();
  return 0;
}
