// Saved results posted by the graphics commands: the one place that talks to
// the r() store, so the commands stay independent of its layout.
#include "graphics/graphics.h"

void serset_postr(long n, int k, int id) {
  (void)n, (void)k, (void)id;
}

void serset_postminmax(double mn, double mx, long n) {
  (void)mn, (void)mx, (void)n;
}

void gr_postscale(double lo, double hi, double delta, int nticks) {
  (void)lo, (void)hi, (void)delta, (void)nticks;
}
