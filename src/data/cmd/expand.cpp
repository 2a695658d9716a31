// expand: replaces each observation by n copies of itself, n the value of an
// expression (missing or below 1 keeps the single original); the copies go
// to the end of the dataset, whose sort order is then lost.
#include <cmath>
#include <string>
#include <vector>

#include "data/cmd/datacmds.h"
#include "data/store.h"
#include "expr/expr.h"
#include "interp/cmdtab.h"
#include "interp/tokenizer.h"
#include "output/errors.h"
#include "output/output.h"
#include "platform/platform.h"

namespace {

void notecreated(long n) {
  const int prev = setoutlev(OUT_NOTE);
  spout21f("(%ld observation%s created)\n", n, plural_s(n));
  setoutlev(prev);
}

// expand [=]exp [if] [in]
int cmd_expand(int) {
  ParseResult pr;
  // the expression may come without its `=`
  const char* p = wheretok();
  while (*p == ' ') ++p;
  std::string line;
  if (!*p) return required("=exp");
  if (*p != '=') {
    line = std::string("=") + p;
    settok(line.c_str());
  }
  if (int rc = parse({.varlist = PERM_NO, .exp = PERM_REQUIRED}, pr)) return rc;
  ExprProg prog;
  if (int rc = compexp_u(pr.exptext.c_str(), prog, EXP_NUM)) return rc;
  const long n0 = ds.nobs;
  std::vector<long> copies(static_cast<size_t>(n0 + 1), 0);
  double extra = 0;
  for (long i = ds.nobs1; i <= ds.nobs2; ++i) {
    if ((i & 0xffff) == 0 && stopflag) return 1;
    if (!selobs(i)) continue;
    const double v = evalnum(prog, i);
    if (v >= misval || v < 1) continue;
    const double k = std::floor(v) - 1;
    copies[static_cast<size_t>(i)] = static_cast<long>(k);
    extra += k;
  }
  if (extra <= 0) {
    notecreated(0);
    return 0;
  }
  if (extra + static_cast<double>(n0) > 2147483620.0) return error(RC_NOROOMOBS);
  if (int rc = setobs_quiet(n0 + static_cast<long>(extra))) return rc;
  std::vector<unsigned char> rec(static_cast<size_t>(ds.lrecl > 0 ? ds.lrecl : 1));
  long at = n0;
  for (long i = 1; i <= n0; ++i) {
    const long k = copies[static_cast<size_t>(i)];
    if (!k) continue;
    getdtaobs(rec.data(), i, ds.lrecl);
    for (long j = 0; j < k; ++j) putdtaobs(rec.data(), ++at, ds.lrecl);
  }
  ds.srtlist.clear();
  ds.updata = true;
  notecreated(static_cast<long>(extra));
  return 0;
}

}  // namespace

void data_bindexpand() { cmdbind("expand", cmd_expand); }
