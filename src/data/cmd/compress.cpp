// `compress`: shrinks storage types to the smallest that holds every value
// exactly — integers into byte, int or long, strings to their longest value.
#include <cmath>
#include <string>
#include <vector>

#include "data/store.h"
#include "data/varlist.h"
#include "expr/expr.h"
#include "expr/exprint.h"
#include "interp/cmdtab.h"
#include "interp/interp.h"
#include "output/errors.h"
#include "output/output.h"

namespace {

// The smallest numeric type for v, or its own type when none is smaller.
int numtarget(int v) {
  int t = vartype(v);
  double lo = 0, hi = 0;
  for (long o = 1; o <= ds.nobs; ++o) {
    double d = zelta_data(v, o);
    if (d >= misval) continue;
    if (d != std::trunc(d) || std::fabs(d) >= 2147483648.0 || d > 2147483620.0) return t;
    if (d < lo) lo = d;
    if (d > hi) hi = d;
  }
  if (lo >= -127 && hi <= 100) return ST_BYTE;
  if (lo >= -32767 && hi <= 32740) return t == ST_INT ? t : ST_INT;
  if (lo >= -2147483647.0 && t == ST_DOUBLE) return ST_LONG;
  return t;
}

int strtarget(int v) {
  int t = vartype(v), m = 1;
  std::string s;
  for (long o = 1; o <= ds.nobs && m < t; ++o) {
    szelta_data(v, o, s);
    if (static_cast<int>(s.size()) > m) m = static_cast<int>(s.size());
  }
  return m < t ? m : t;
}

}  // namespace

// compress [varlist]
int cmd_compress(int) {
  ParseResult pr;
  if (int rc = parse({.ifexp = PERM_NO, .range = PERM_NO}, pr)) return rc;
  std::vector<int> vars;
  if (pr.hasvarlist) {
    vars = vl.varlist_vr;
  } else {
    for (int v = 1; v <= ds.nvar; ++v) vars.push_back(v);
  }
  // The names are copied to a macro-sized buffer first.
  size_t len = 0;
  for (int v : vars) len += varname(v).size() + 1;
  if (len >= static_cast<size_t>(interp.macrolen)) return error(RC_MACTOOLONG);
  if (ds.nobs > 0 && ds.nobs >= ds.maxobs)
    if (int rc = repartobs(1)) return rc;
  std::vector<std::string> names;
  for (int v : vars) names.push_back(varname(v));
  // Retyping renumbers nothing, but look the names up again to be safe.
  auto pass = [&](auto want, auto target) -> int {
    for (const std::string& nm : names) {
      int v = findvarexact(nm.c_str());
      if (!v || !want(vartype(v))) continue;
      int old = vartype(v), nt = target(v);
      if (nt == old) continue;
      if (int rc = change_vartype(v, nt)) return rc;
      int prev = setoutlev(OUT_RESULT);
      std::string was = typename_of(old), now = typename_of(nt);
      spout21f("%s was %s now %s\n", nm.c_str(), was.c_str(), now.c_str());
      setoutlev(prev);
    }
    return 0;
  };
  if (int rc = pass([](int t) { return t == ST_INT || t == ST_LONG || t == ST_FLOAT; }, numtarget))
    return rc;
  if (int rc = pass([](int t) { return t == ST_DOUBLE; }, numtarget)) return rc;
  if (int rc = pass([](int t) { return isstrtype(t) && t > 1; }, strtarget)) return rc;
  return 0;
}
