// Saved results posted by the graphics commands: the one place that talks to
// the r() store, so the commands stay independent of its layout.
#include "graphics/graphics.h"

#include "results/results.h"

namespace {

// Clears r() and posts the named scalars; a failure to post (out of memory)
// leaves r() partly filled, which the commands' callers see as missing values.
void post(std::initializer_list<std::pair<const char*, double>> items) {
  retval_clear();
  for (const auto& [name, value] : items) (void)retval_set_scalar(name, value);
}

}  // namespace

void serset_postr(long n, int k, int id) {
  post({{"N", static_cast<double>(n)}, {"k", static_cast<double>(k)}, {"id", static_cast<double>(id)}});
}

void serset_postminmax(double mn, double mx, long n) {
  post({{"N", static_cast<double>(n)}, {"min", mn}, {"max", mx}});
}

void gr_postscale(double lo, double hi, double delta, int nticks) {
  post({{"min", lo}, {"max", hi}, {"delta", delta}, {"nticks", static_cast<double>(nticks)}});
}
