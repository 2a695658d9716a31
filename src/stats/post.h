// Result posting of the statistical commands: one narrow interface between
// the commands and the saved-results store, so that each command posts its
// results from one routine.
#pragma once
#include <string>
#include <vector>

// r(): clears it, then posts named scalars.
void st_rclear();
void st_rscalar(const char* name, double value);
