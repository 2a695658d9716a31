// Everyday variable commands: `dsort` (a stable sort with a direction per
// key), `vallist` (a variable's distinct values into r() and a local macro)
// and `findvar` (variables whose name matches a pattern or whose label holds
// a text).
#include <algorithm>
#include <cstring>
#include <numeric>
#include <string>
#include <vector>

#include "data/cmd/datacmds.h"
#include "data/store.h"
#include "data/varlist.h"
#include "expr/expr.h"
#include "files/files.h"
#include "interp/cmdtab.h"
#include "interp/macro.h"
#include "interp/tokenizer.h"
#include "output/errors.h"
#include "output/output.h"
#include "results/results.h"

namespace {

// One key of dsort: a variable and its direction.
struct Key {
  int var = 0;
  bool desc = false;
  std::vector<double> num;        // numeric key values by observation
  std::vector<std::string> text;  // string key values by observation
};

// Resolves one word of a variable list (names, abbreviations, patterns,
// ranges) into vars. 0 or a printed code.
int wordvars(const std::string& w, std::vector<int>& vars) {
  settok(w.c_str());
  if (int rc = ssvlist(VL_EXISTING)) return rc;
  vars = vl.varlist_vr;
  return 0;
}

// dsort [+|-]varname [[+|-]varname ...] [, missinglast]
int cmd_dsort(int) {
  ParseResult pr;
  std::string line = wheretok(), before, after;
  bool hascomma;
  fa_splitcomma(line, before, after, &hascomma);
  std::vector<std::string> words;
  macwords(before.c_str(), words, false);
  if (int rc = fa_readopts(pr, after)) return rc;
  const bool mlast = findopt(pr, "missinglast", 8, 0) == 1;
  if (int rc = chkopt(pr)) return rc;
  if (words.empty()) return errmsgf(RC_REQUIRED, "varlist required\n");
  std::vector<Key> keys;
  for (const std::string& word : words) {
    std::string w = word;
    bool desc = false;
    if (w[0] == '-' || w[0] == '+') {
      desc = w[0] == '-';
      w.erase(0, 1);
    }
    if (w.empty() || w[0] == '-' || w[0] == '+') return errmsgf(RC_SYNTAX, "%s: a variable name must follow + or -\n", word.c_str());
    std::vector<int> vars;
    if (int rc = wordvars(w, vars)) return rc;
    for (int v : vars) {
      Key k;
      k.var = v;
      k.desc = desc;
      keys.push_back(std::move(k));
    }
  }
  const long n = ds.nobs;
  if (n > 0xfffffffeL) return error(RC_TOOMANYVALUES);
  for (Key& k : keys) {
    if (isstrtype(vartype(k.var))) {
      k.text.resize(static_cast<size_t>(n));
      for (long i = 1; i <= n; ++i) szelta_data(k.var, i, k.text[static_cast<size_t>(i - 1)]);
    } else {
      k.num.resize(static_cast<size_t>(n));
      col_decode(colview(k.var), 1, n, k.num.data());
    }
  }
  std::vector<uint32_t> from(static_cast<size_t>(n));
  std::iota(from.begin(), from.end(), 1u);
  auto less = [&](uint32_t a, uint32_t b) {
    for (const Key& k : keys) {
      int c;
      if (!k.text.empty()) {
        c = k.text[a - 1].compare(k.text[b - 1]);
      } else {
        double x = k.num[a - 1], y = k.num[b - 1];
        if (mlast && k.desc && ismissing(x) != ismissing(y)) return !ismissing(x);
        c = x < y ? -1 : x > y ? 1 : 0;
      }
      if (c) return k.desc ? c > 0 : c < 0;
    }
    return false;
  };
  std::stable_sort(from.begin(), from.end(), less);
  if (n) ds_permute(1, from.data(), n);
  // The sort list keeps the ascending keys before the first descending one.
  ds.srtlist.clear();
  for (const Key& k : keys) {
    if (k.desc) break;
    ds.srtlist.push_back(k.var);
  }
  if (n > 1) ds.updata = true;
  return 0;
}

// vallist varname [if] [in] [, local(name) missing separator("text")]
int cmd_vallist(int) {
  ParseResult pr;
  if (int rc = parse({.varlist = PERM_REQUIRED, .options = PERM_OPTIONAL}, pr)) return rc;
  std::string lname, sep = " ";
  const bool haslocal = findargn(pr, "local", 3, lname, 40, 1);
  const bool withmiss = findopt(pr, "missing", 4, 0) == 1;
  std::string septext;
  const bool hassep = findargasis(pr, "separator", 3, septext, 256);
  if (int rc = chkopt(pr)) return rc;
  if (vl.lnvar() != 1) return errmsgf(RC_SYNTAX, "vallist takes one variable\n");
  if (!vl.varlist_rcp[0].plain()) return error(RC_MSG_TSOPS);
  if (haslocal && lname.size() > 31) return errmsgf(RC_SYNTAX, "local(%s): name too long\n", lname.c_str());
  if (haslocal)
    if (int rc = chkname(lname.c_str())) return rc;
  if (hassep) {
    if (septext.size() >= 2 && septext.front() == '"' && septext.back() == '"') septext = septext.substr(1, septext.size() - 2);
    sep = septext;
  }
  const int v = vl.varlist_vr[0];
  const bool str = isstrtype(vartype(v));
  std::vector<std::string> out;
  long nobs = 0;
  if (str) {
    std::vector<std::string> vals;
    std::string s;
    for (long i = ds.nobs1; i <= ds.nobs2; ++i) {
      if (!selobs(i)) continue;
      szelta_data(v, i, s);
      if (s.empty() && !withmiss) continue;
      ++nobs;
      vals.push_back(s);
    }
    std::sort(vals.begin(), vals.end());
    vals.erase(std::unique(vals.begin(), vals.end()), vals.end());
    for (const std::string& t : vals)
      out.push_back(t.find('"') == std::string::npos ? "\"" + t + "\"" : "`\"" + t + "\"'");
  } else {
    std::vector<double> vals;
    for (long i = ds.nobs1; i <= ds.nobs2; ++i) {
      if (!selobs(i)) continue;
      double x = zelta_data(v, i);
      if (ismissing(x) && !withmiss) continue;
      ++nobs;
      vals.push_back(x);
    }
    std::sort(vals.begin(), vals.end());
    vals.erase(std::unique(vals.begin(), vals.end()), vals.end());
    for (double x : vals) {
      out.emplace_back();
      ds_exacttext(x, vartype(v), ".", out.back());
    }
  }
  std::string list;
  for (size_t k = 0; k < out.size(); ++k) {
    if (k) list += sep;
    list += out[k];
  }
  retval_clear();
  if (int rc = retval_set_scalar("N", static_cast<double>(nobs))) return rc;
  if (int rc = retval_set_scalar("r", static_cast<double>(out.size()))) return rc;
  if (int rc = retval_set_local("values", list)) return rc;
  if (haslocal)
    if (int rc = maclocal(lname.c_str(), lname.size(), list.data(), list.size())) return rc;
  spout21f("%s\n", list.c_str());
  return 0;
}

// True when hay holds needle, letters compared without case.
bool holds(const std::string& hay, const std::string& needle) {
  auto it = std::search(hay.begin(), hay.end(), needle.begin(), needle.end(), [](char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
  });
  return it != hay.end();
}

// findvar [pattern ...] [, label("text") ]
// A variable is listed when its name matches one of the patterns (* any
// text, ? one character) or, with label(), when its variable label holds
// the text (any case). Both given: a variable must pass both.
int cmd_findvar(int) {
  ParseResult pr;
  std::string line = wheretok(), before, after;
  bool hascomma;
  fa_splitcomma(line, before, after, &hascomma);
  std::vector<std::string> pats;
  macwords(before.c_str(), pats, true);
  if (int rc = fa_readopts(pr, after)) return rc;
  std::string text;
  const bool haslabel = findargasis(pr, "label", 3, text, 4096);
  if (int rc = chkopt(pr)) return rc;
  if (haslabel) {
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"') text = text.substr(1, text.size() - 2);
    if (text.empty()) return errmsgf(RC_SYNTAX, "label() needs a text\n");
  }
  if (pats.empty() && !haslabel) return errmsgf(RC_SYNTAX, "findvar needs a name pattern or label()\n");
  std::vector<int> found;
  for (int v = 1; v <= ds.nvar; ++v) {
    const std::string& name = varname(v);
    if (name.empty() || istmpvn(name)) continue;
    bool ok = pats.empty() || std::any_of(pats.begin(), pats.end(), [&](const std::string& p) {
                return vlmatch(p.c_str(), name.c_str());
              });
    if (ok && haslabel) ok = holds(ds.varlabels[static_cast<size_t>(v)], text);
    if (ok) found.push_back(v);
  }
  std::string list;
  size_t w = 12;
  for (int v : found) w = std::max(w, varname(v).size() + 2);
  for (int v : found) {
    if (!list.empty()) list += ' ';
    list += varname(v);
    spout21f("%-*s%s\n", static_cast<int>(w), varname(v).c_str(),
              ds.varlabels[static_cast<size_t>(v)].c_str());
  }
  if (found.empty()) {
    int prev = setoutlev(OUT_NOTE);
    spout21f("(no variables found)\n");
    setoutlev(prev);
  }
  retval_clear();
  if (int rc = retval_set_scalar("k", static_cast<double>(found.size()))) return rc;
  return retval_set_local("varlist", list);
}

}  // namespace

void data_bindvalcmds() {
  cmdbind("dsort", cmd_dsort);
  cmdbind("vallist", cmd_vallist);
  cmdbind("findvar", cmd_findvar);
}
