// The `sort` command and `set sortseed`, over the sorting engine of
// data/sort.cpp.
#include <cstdlib>
#include <string>
#include <vector>

#include "data/sort.h"
#include "data/store.h"
#include "data/varlist.h"
#include "interp/cmdtab.h"
#include "interp/tokenizer.h"
#include "output/errors.h"
#include "output/output.h"
#include "results/results.h"

namespace {

// sort varlist [in] [, stable index(varname)]
int cmd_sort(int) {
  ParseResult pr;
  if (int rc = parse({.varlist = PERM_REQUIRED, .ifexp = PERM_NO, .options = PERM_OPTIONAL}, pr)) return rc;
  for (const TsRecipe& r : vl.varlist_rcp)
    if (!r.plain()) return error(RC_MSG_TSOPS);
  bool stable = findopt(pr, "stable", 6, 0) == 1;
  std::string idxname;
  bool hasidx = findargasis(pr, "index", 5, idxname, 100);
  if (int rc = chkopt(pr)) return rc;
  if (hasidx) {
    if (pr.hasin || stable) return errmsgf(RC_SYNTAX, "option index() may not be combined with in or stable\n");
    int v = zelta_findvar(idxname.c_str(), 1, false);
    if (v < 0) return -v;
    return sysidxsort(v, vl.varlist_vr);
  }
  // The seed the shuffle starts from goes to r(sortseed): setting it back
  // repeats the order given to ties.
  const long seed = ds.rseed;
  if (int rc = syssort(ds.nobs1, ds.nobs2, stable)) return rc;
  return retval_set_scalar("sortseed", static_cast<double>(seed));
}

// set sortseed #
int set_sortseed(int) {
  std::string w = gettok(prsestd);
  char* end = nullptr;
  long v = w.empty() ? -1 : std::strtol(w.c_str(), &end, 10);
  if (w.empty() || *end || v < 0 || v > 2147483647L || *gettok(prsestd))
    return errmsgf(RC_SYNTAX, "sortseed must be an integer between 0 and 2147483647\n");
  setsortseed(v);
  return 0;
}

}  // namespace

void data_bindsort() {
  cmdbind("sort", cmd_sort);
  setbind("sortseed", 5, set_sortseed);
}
