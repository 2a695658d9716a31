// `encode` and `decode`: a string variable turned into a labelled numeric
// one (its distinct texts numbered in byte order, or by an existing value
// label), and a labelled numeric variable turned back into its texts.
#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "data/cmd/datacmds.h"
#include "data/store.h"
#include "data/varlist.h"
#include "data/vlabel.h"
#include "expr/expr.h"
#include "interp/cmdtab.h"
#include "output/errors.h"
#include "output/output.h"
#include "platform/platform.h"

namespace {

// The source variable, the new name and the selected observations.
struct Conv {
  int var = 0;
  std::string newname;
  std::vector<long> obs;
};

// varname [if] [in], generate(newvar) ...: the part both commands share.
int parseconv(ParseResult& pr, Conv& c) {
  if (int rc = parse({.varlist = PERM_REQUIRED, .options = PERM_OPTIONAL}, pr)) return rc;
  if (vl.lnvar() != 1) return error(vl.lnvar() > 1 ? 103 : 102);
  if (!vl.varlist_rcp[0].plain()) return error(RC_MSG_TSOPS);
  c.var = vl.varlist_vr[0];
  if (!findargn(pr, "generate", 3, c.newname, 40, 1)) return errmsgf(RC_SYNTAX, "option generate() required\n");
  for (long i = ds.nobs1; i <= ds.nobs2; ++i) {
    if ((i & 0xffff) == 0 && stopflag) return 1;
    if (selobs(i)) c.obs.push_back(i);
  }
  return 0;
}

// encode varname [if] [in], generate(newvar) [label(name) noextend]
int cmd_encode(int) {
  ParseResult pr;
  Conv c;
  if (int rc = parseconv(pr, c)) return rc;
  std::string lname;
  bool haslabel = findargn(pr, "label", 3, lname, 40, 1);
  bool extend = findopt(pr, "extend", 6, 1) == 1;
  if (int rc = chkopt(pr)) return rc;
  if (!isstrtype(vartype(c.var))) return error(RC_NUMERICVAR);
  if (!haslabel) lname = c.newname;
  if (int rc = chkname(lname.c_str())) return rc;
  if (int rc = chkvarname(c.newname.c_str())) return rc;
  // The distinct non-empty texts, in byte order.
  std::map<std::string, double> codes;
  std::string s;
  for (long i : c.obs) {
    szelta_data(c.var, i, s);
    if (!s.empty()) codes.emplace(s, misval);
  }
  ValueLabel lab;
  if (const ValueLabel* old = vlfind(lname)) lab = *old;
  double next = lab.val.empty() ? 1 : static_cast<double>(lab.val.back()) + 1;
  for (auto& [text, code] : codes) {
    code = vlsearch(lab, text);
    if (code < misval) continue;
    if (!extend) return errmsgf(RC_BADDATA, "value label %s has no code for \"%s\" (noextend)\n", lname.c_str(), text.c_str());
    if (next > VL_MAXVAL || lab.n() >= VL_MAXN) return error(RC_TOOMANYVALUES);
    if (int rc = vlset(lab, static_cast<int32_t>(next), text)) return rc;
    code = next++;
  }
  if (int rc = addvar(c.newname.c_str(), ST_LONG)) return rc;
  const int nv = ds.nvar;
  for (long i : c.obs) {
    szelta_data(c.var, i, s);
    if (!s.empty()) store(nv, i, codes[s]);
  }
  vlcreate(lname) = std::move(lab);
  ds.lbllist[static_cast<size_t>(nv)] = lname;
  vlfixfmts(lname);
  s_updata(nv);
  return 0;
}

// decode varname [if] [in], generate(newvar) [maxlength(#)]
int cmd_decode(int) {
  ParseResult pr;
  Conv c;
  if (int rc = parseconv(pr, c)) return rc;
  long maxlen = findopta(pr, "maxlength", 3, EXPR_STRMAX);
  if (int rc = chkopt(pr)) return rc;
  if (isstrtype(vartype(c.var))) return error(RC_STRINGVAR);
  if (maxlen < 1 || maxlen > EXPR_STRMAX) return errmsgf(RC_SYNTAX, "maxlength() must be between 1 and %d\n", EXPR_STRMAX);
  const std::string& lname = ds.lbllist[static_cast<size_t>(c.var)];
  const ValueLabel* lab = lname.empty() ? nullptr : vlfind(lname);
  if (!lab) return error2(6, varname(c.var).c_str());
  if (int rc = chkvarname(c.newname.c_str())) return rc;
  size_t width = 1;
  for (long i : c.obs)
    if (const std::string* t = vltext(*lab, zelta_data(c.var, i))) width = std::max(width, t->size());
  width = std::min(width, static_cast<size_t>(maxlen));
  if (int rc = addvar(c.newname.c_str(), static_cast<int>(width))) return rc;
  const int nv = ds.nvar;
  for (long i : c.obs)
    if (const std::string* t = vltext(*lab, zelta_data(c.var, i))) safe_sstore(nv, i, t->substr(0, width).c_str());
  s_updata(nv);
  return 0;
}

}  // namespace

void data_bindencode() {
  cmdbind("encode", cmd_encode);
  cmdbind("decode", cmd_decode);
}
