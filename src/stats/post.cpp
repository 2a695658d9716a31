// Result posting of the statistical commands into the saved-results store.
#include "stats/post.h"

// The saved-results store arrives separately; until it does, results are
// computed and dropped here.
void st_rclear() {}
void st_rscalar(const char*, double) {}

#include "interp/macro.h"
#include "output/errors.h"

// Until the store arrives the last command is recorded here.
static std::string ecmd_;
void st_eclear() { ecmd_.clear(); }
void st_escalar(const char*, double) {}
void st_elocal(const char* name, const char* text) {
  if (std::string(name) == "cmd") ecmd_ = text;
}
void st_epost(const std::vector<std::string>&, const std::vector<double>&,
              const std::vector<double>&) {}
void st_esample(const std::vector<unsigned char>&, long) {}
std::string st_ecmd() { return ecmd_; }
void st_global(const char* name, const char* text) { macset_global(name, text); }
int st_matsize() { return errst.matsize ? errst.matsize() : 400; }
double st_setlevel() { return 95; }
