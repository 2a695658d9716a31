// Conditional logit as a service to other commands: the fit of clogit over
// the groups of a given variable, posted under another command's name.
#pragma once
#include <string>
#include <utility>
#include <vector>

#include "stats/mlcmd.h"

// Fits the conditional logit of the parsed variable list (depvar indepvars,
// weights, if, in) over the groups of gvar, posts e() with e(cmd) cmd and
// e(title) title plus the macros given, and prints the results (odds ratios
// when oddsr). 0 or a code.
[[nodiscard]] int clogit_fit(ParseResult& pr, const char* cmd, const char* title, int gvar, const MlcOpts& o, bool oddsr,
                             const std::vector<std::pair<std::string, std::string>>& macros);
