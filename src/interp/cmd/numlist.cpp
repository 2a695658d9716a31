// numlist: expands a number list and checks it as the options ask, leaving
// the expanded list in r(numlist) for a program to loop over.
#include <string>
#include <vector>

#include "interp/cmdtab.h"
#include "interp/program.h"
#include "interp/tokenizer.h"
#include "output/output.h"
#include "output/rc.h"
#include "results/results.h"

namespace {

// numlist "list" [, ascending descending integer missingokay min(#) max(#)
//                   range(limits) sort]
int cmd_numlist(int) {
  std::string text;
  ParseResult pr;
  if (int rc = lang_options(pr, &text)) return rc;
  const char *s, *e, *a;
  std::string list;
  if (!parse_quoted_string(text.c_str(), &s, &e, &a)) list.assign(s, e);
  else {
    size_t i = text.find_first_not_of(' ');
    list = i == std::string::npos ? "" : text.substr(i);
  }
  NumlistSpec rule;
  if (findopt(pr, "ascending", 1, 0)) rule.flags |= NL_ASCEND;
  if (findopt(pr, "descending", 1, 0)) rule.flags |= NL_DESCEND;
  if (findopt(pr, "integer", 3, 0)) rule.flags |= NL_INTEGER;
  if (findopt(pr, "missingokay", 1, 0)) rule.flags |= NL_MISSOK;
  if (findopt(pr, "sort", 4, 0)) rule.flags |= NL_SORT;
  rule.min = static_cast<int>(findopta(pr, "min", 3, 0));
  rule.max = static_cast<int>(findopta(pr, "max", 3, -1));
  std::string r;
  if (findargasis(pr, "range", 1, r, 200) && !numlist_range(r, rule)) {
    int prev = setoutlev(OUT_ERROR);
    spout21("option range() invalid\n");
    setoutlev(prev);
    return RC_SYNTAX;
  }
  if (int rc = chkopt(pr)) return rc;
  std::vector<double> nums;
  if (int rc = numlist_expand(list.c_str(), rule, nums, false)) return rc;
  std::string expanded;
  numlist_text(nums, expanded);
  retval_clear();
  return retval_set_local("numlist", expanded);
}

}  // namespace

void numlist_bindcommands() { cmdbind("numlist", cmd_numlist); }
