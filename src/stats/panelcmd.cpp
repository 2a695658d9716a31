// The command-side routines that panelreg, panelprobit, panellogit and
// ivfit share: the panel variable (i() or the time-series setting), the
// panel of each row of a sample, and the header lines of their tables.
#include "stats/panelcmd.h"

#include <cstdio>

#include "data/chars.h"
#include "data/store.h"
#include "data/varlist.h"
#include "expr/expr.h"
#include "interp/cmdtab.h"
#include "output/errors.h"
#include "output/output.h"
#include "stats/mlcmd.h"
#include "stats/stats.h"

int pn_panelvar(ParseResult& pr, int* pv) {
  std::string a;
  *pv = 0;
  if (findargn(pr, "i", 1, a, 64, 1)) {
    if (a.empty()) return errmsgf(RC_SYNTAX, "option i() invalid\n");
    const int v = zelta_findvar(a.c_str(), 1, false);
    if (v < 0) return -v;
    *pv = v;
  } else {
    const std::string* p = charget("_dta", "_TSpanel");
    if (p && !p->empty()) *pv = findvarexact(p->c_str());
    if (!*pv) return errmsgf(RC_BADDATA, "panel variable not set; use tsdeclare panelvar timevar or option i()\n");
  }
  if (isstrtype(vartype(*pv))) return errmsgf(RC_TYPEMISMATCH, "panel variable %s must be numeric\n", varname(*pv).c_str());
  return 0;
}

int pn_panelrows(MlcSample& s, int pv, std::vector<double>& pval) {
  pval.assign(static_cast<size_t>(s.d.n), 0);
  std::vector<unsigned char> keep(static_cast<size_t>(s.d.n), 1);
  bool any = false;
  for (long i = 0; i < s.d.n; ++i) {
    pval[static_cast<size_t>(i)] = zelta_data(pv, s.obs[static_cast<size_t>(i)]);
    if (ismissing(pval[static_cast<size_t>(i)])) keep[static_cast<size_t>(i)] = 0, any = true;
  }
  if (!any) return 0;
  mlc_keeprows(s, keep);
  size_t k = 0;
  for (size_t i = 0; i < keep.size(); ++i)
    if (keep[i]) pval[k++] = pval[i];
  pval.resize(k);
  return s.d.n == 0 ? st_noobs() : 0;
}

void pn_headrow(const std::string& left, const char* label, const std::string& val) {
  std::string l = "{txt}" + left;
  const int pad = 48 - static_cast<int>(left.size());
  l.append(static_cast<size_t>(pad > 1 ? pad : 1), ' ');
  char b[96];
  std::snprintf(b, sizeof b, "%-19s= {res}%10s\n", label, val.c_str());
  spoutsml((l + b).c_str());
}
