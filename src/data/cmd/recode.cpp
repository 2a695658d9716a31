// `recode`: numeric variables' values mapped by rules such as
// `(1 2 = 1 "low") (3/5 = 2) (missing = .) (else = 9)`, in place or into new
// variables, with a value label made from the texts the rules give. The
// first rule that holds for a value decides; values no rule names are kept
// unless an `else` rule is given. Every rule is read and checked before any
// variable changes.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "data/cmd/datacmds.h"
#include "data/store.h"
#include "data/varlist.h"
#include "data/vlabel.h"
#include "expr/expr.h"
#include "files/textload.h"
#include "interp/cmdtab.h"
#include "interp/tokenizer.h"
#include "output/errors.h"
#include "output/output.h"

namespace {

// One item of a rule's left side.
struct Item {
  enum Kind { Value, Range, Missing, Nonmissing, Else } kind = Value;
  double lo = 0, hi = 0;       // the value (lo), or the range lo..hi
  bool lomin = false, himax = false;  // a range end given as min / max
  bool single = false;                // min or max alone: that one value
};

// One rule: its items and the value they become (with a label text).
struct Rule {
  std::vector<Item> items;
  double to = 0;
  std::string label;
  bool haslabel = false;
};

// A number, `.` / `.a`..`.z`, min or max (when allowed) at the start of w.
// False when w is none of these.
bool readvalue(const std::string& w, double* x, bool* ismin, bool* ismax) {
  if (ismin) *ismin = w == "min";
  if (ismax) *ismax = w == "max";
  if ((ismin && *ismin) || (ismax && *ismax)) return true;
  return tl_number(w.data(), w.size(), x);
}

// The words of text split at blanks (a double-quoted text is one word, kept
// with its quotes).
bool splitwords(const std::string& text, std::vector<std::string>& words) {
  size_t i = 0;
  while (i < text.size()) {
    if (text[i] == ' ') {
      ++i;
      continue;
    }
    size_t e = i;
    if (text[i] == '"') {
      e = text.find('"', i + 1);
      if (e == std::string::npos) return false;
      ++e;
    } else {
      while (e < text.size() && text[e] != ' ' && text[e] != '"') ++e;
    }
    words.push_back(text.substr(i, e - i));
    i = e;
  }
  return true;
}

// rule -> items '=' value ["text"] ; items -> item {item} | else
// item -> # | #/# | min/# | #/max | min | max | missing | nonmissing | . | .a..
int parserule(const std::string& text, Rule& r, bool last) {
  const size_t eq = text.find('=');
  if (eq == std::string::npos) return errmsgf(RC_SYNTAX, "rule (%s) has no =\n", text.c_str());
  std::vector<std::string> left, right;
  if (!splitwords(text.substr(0, eq), left) || !splitwords(text.substr(eq + 1), right))
    return errmsgf(RC_SYNTAX, "rule (%s): unmatched quote\n", text.c_str());
  if (left.empty()) return errmsgf(RC_SYNTAX, "rule (%s) names no values\n", text.c_str());
  for (const std::string& w : left) {
    Item it;
    if (w == "else" || w == "missing" || w == "nonmissing") {
      it.kind = w == "else" ? Item::Else : w == "missing" ? Item::Missing : Item::Nonmissing;
      if (it.kind == Item::Else && (left.size() > 1 || !last))
        return errmsgf(RC_SYNTAX, "else must stand alone in the last rule\n");
    } else if (size_t sl = w.find('/'); sl != std::string::npos && sl > 0) {
      it.kind = Item::Range;
      if (!readvalue(w.substr(0, sl), &it.lo, &it.lomin, nullptr) ||
          !readvalue(w.substr(sl + 1), &it.hi, nullptr, &it.himax) || (!it.lomin && ismissing(it.lo)) ||
          (!it.himax && ismissing(it.hi)))
        return errmsgf(RC_SYNTAX, "%s is not a range of numbers\n", w.c_str());
      if (!it.lomin && !it.himax && it.lo > it.hi) return errmsgf(RC_SYNTAX, "range %s runs backwards\n", w.c_str());
    } else {
      bool mn = false, mx = false;
      if (!readvalue(w, &it.lo, &mn, &mx)) return errmsgf(RC_SYNTAX, "%s is not a number\n", w.c_str());
      it.hi = it.lo;
      if (mn || mx) it.kind = Item::Range, it.lomin = mn, it.himax = mx, it.single = true;
    }
    r.items.push_back(it);
  }
  if (right.empty() || right.size() > 2) return errmsgf(RC_SYNTAX, "rule (%s) needs one value after =\n", text.c_str());
  if (!tl_number(right[0].data(), right[0].size(), &r.to))
    return errmsgf(RC_SYNTAX, "%s is not a number\n", right[0].c_str());
  if (right.size() == 2) {
    const std::string& t = right[1];
    if (t.size() < 2 || t.front() != '"') return errmsgf(RC_SYNTAX, "%s: a label text goes in double quotes\n", t.c_str());
    if (ismissing(r.to) || r.to != std::trunc(r.to) || std::fabs(r.to) > VL_MAXVAL)
      return errmsgf(RC_SYNTAX, "label \"%s\" needs an integer value, not %s\n", t.substr(1, t.size() - 2).c_str(),
                     right[0].c_str());
    r.label = t.substr(1, t.size() - 2);
    r.haslabel = true;
  }
  return 0;
}

// The value x becomes under the rules (min and max already filled in); x
// itself when no rule holds.
double mapvalue(const std::vector<Rule>& rules, double x) {
  for (const Rule& r : rules)
    for (const Item& it : r.items) {
      bool hit = false;
      switch (it.kind) {
        case Item::Value: hit = x == it.lo; break;
        case Item::Range: hit = !ismissing(x) && x >= it.lo && x <= it.hi; break;
        case Item::Missing: hit = ismissing(x); break;
        case Item::Nonmissing: hit = !ismissing(x); break;
        case Item::Else: hit = true; break;
      }
      if (hit) return r.to;
    }
  return x;
}

// Splits the line into the text outside the rules (variables, if, in,
// options) and the rules' texts: the parenthesised groups after the
// variables and before `if`, `in` or the options. 0 or 198 printed.
int splitline(const char* line, std::string& rest, std::vector<std::string>& rules) {
  const char* p = line;
  while (*p && *p != '(' && *p != ',') rest.push_back(*p++);  // the variables
  while (*p == '(') {
    const char* q = p + 1;
    bool iq = false;
    while (*q && (iq || *q != ')')) {
      if (*q == '"') iq = !iq;
      if (*q == '(' && !iq) return errmsgf(RC_SYNTAX, "rule (%.*s is not closed\n", static_cast<int>(q - p - 1), p + 1);
      ++q;
    }
    if (!*q) return errmsgf(RC_SYNTAX, "rule (%s is not closed\n", p + 1);
    rules.emplace_back(p + 1, static_cast<size_t>(q - p - 1));
    p = q + 1;
    while (*p == ' ') ++p;
  }
  if (*p && *p != ',' && std::strncmp(p, "if", 2) != 0 && std::strncmp(p, "in", 2) != 0) {
    const char* e = p;
    while (*e && *e != ' ' && *e != ',') ++e;
    return errmsgf(RC_SYNTAX, "%s found where a rule was expected\n", std::string(p, e).c_str());
  }
  rest.push_back(' ');
  rest += p;
  return 0;
}

// recode varlist (rule) [(rule) ...] [if] [in] [, generate(newvarlist) label(name)]
int cmd_recode(int) {
  std::string rest;
  std::vector<std::string> texts;
  if (int rc = splitline(wheretok(), rest, texts)) return rc;
  if (texts.empty()) return errmsgf(RC_SYNTAX, "recode needs at least one rule such as (1 2 = 0)\n");
  std::vector<Rule> rules(texts.size());
  for (size_t k = 0; k < texts.size(); ++k)
    if (int rc = parserule(texts[k], rules[k], k + 1 == texts.size())) return rc;
  settok(rest.c_str());
  ParseResult pr;
  if (int rc = parse({.varlist = PERM_REQUIRED, .options = PERM_OPTIONAL}, pr)) return rc;
  std::string gen, lname;
  const bool hasgen = findargn(pr, "generate", 3, gen, 4096, 1000);
  const bool haslname = findargn(pr, "label", 3, lname, 40, 1);
  if (int rc = chkopt(pr)) return rc;
  const std::vector<int> vars = vl.varlist_vr;
  for (size_t k = 0; k < vars.size(); ++k) {
    if (!vl.varlist_rcp[k].plain()) return error(RC_MSG_TSOPS);
    if (isstrtype(vartype(vars[k]))) return errmsgf(RC_STRINGVAR, "%s is a string variable\n", varname(vars[k]).c_str());
  }
  std::vector<std::string> newnames;
  if (hasgen) {
    std::vector<std::string> w;
    (void)splitwords(gen, w);
    newnames = w;
    if (newnames.size() != vars.size())
      return errmsgf(RC_SYNTAX, "generate() names %zu variable%s for %zu\n", newnames.size(),
                     newnames.size() == 1 ? "" : "s", vars.size());
    for (const std::string& n : newnames) {
      if (int rc = chkvarname(n.c_str())) return rc;
      if (std::count(newnames.begin(), newnames.end(), n) > 1)
        return errmsgf(RC_SYNTAX, "%s named twice in generate()\n", n.c_str());
    }
  }
  const bool anylabel = std::any_of(rules.begin(), rules.end(), [](const Rule& r) { return r.haslabel; });
  if (haslname && !anylabel) return errmsgf(RC_SYNTAX, "label() given but no rule has a label text\n");
  if (haslname)
    if (int rc = chkname(lname.c_str())) return rc;
  // The label of each variable: label() for all, else the (new) variable's name.
  std::vector<std::string> lnames;
  if (anylabel)
    for (size_t k = 0; k < vars.size(); ++k) {
      std::string n = haslname ? lname : hasgen ? newnames[k] : varname(vars[k]);
      if (vlfind(n) && (k == 0 || n != lnames[0]))
        return errmsgf(RC_DEFINED, "value label %s already defined\n", n.c_str());
      lnames.push_back(n);
    }
  std::vector<long> obs;
  for (long i = ds.nobs1; i <= ds.nobs2; ++i) {
    if ((i & 0xffff) == 0 && ds_pollbreak()) return 1;
    if (selobs(i)) obs.push_back(i);
  }
  // The new values of every variable, computed before anything changes.
  std::vector<std::vector<double>> vals(vars.size());
  std::vector<long> changes(vars.size(), 0);
  for (size_t k = 0; k < vars.size(); ++k) {
    const int v = vars[k];
    double lo = HUGE_VAL, hi = -HUGE_VAL;
    for (long i : obs) {
      double x = zelta_data(v, i);
      if (!ismissing(x)) lo = std::min(lo, x), hi = std::max(hi, x);
    }
    std::vector<Rule> rk = rules;
    for (Rule& r : rk)
      for (Item& it : r.items)
        if (it.kind == Item::Range) {
          if (it.lomin) it.lo = lo;
          if (it.himax) it.hi = hi;
          if (it.single) it.lo = it.hi = it.lomin ? lo : hi;
        }
    // A float variable holds 1.1 as the float nearest it: the rules' numbers
    // are taken at float precision, so (1.1 = 0) finds the 1.1 typed in.
    if (vartype(v) == ST_FLOAT)
      for (Rule& r : rk)
        for (Item& it : r.items)
          if (it.kind == Item::Value || it.kind == Item::Range) {
            if (!ismissing(it.lo) && std::fabs(it.lo) <= 1.7e38) it.lo = static_cast<float>(it.lo);
            if (!ismissing(it.hi) && std::fabs(it.hi) <= 1.7e38) it.hi = static_cast<float>(it.hi);
          }
    std::vector<double>& out = vals[k];
    out.assign(static_cast<size_t>(ds.nobs), misval);
    if (!hasgen)
      for (long i = 1; i <= ds.nobs; ++i) out[static_cast<size_t>(i - 1)] = zelta_data(v, i);
    for (long i : obs) {
      double x = zelta_data(v, i), y = mapvalue(rk, x);
      out[static_cast<size_t>(i - 1)] = y;
      if (std::memcmp(&x, &y, sizeof x) != 0) ++changes[k];
    }
  }
  for (size_t k = 0; k < vars.size(); ++k) {
    int v = vars[k];
    if (hasgen) {
      if (int rc = addvar(newnames[k].c_str(), ds_exacttype(vals[k], ST_BYTE))) return rc;
      v = ds.nvar;
    } else if (const int need = ds_exacttype(vals[k], vartype(v)); need != vartype(v)) {
      if (int rc = change_vartype(v, need)) return rc;
    }
    for (long i = 1; i <= ds.nobs; ++i) store(v, i, vals[k][static_cast<size_t>(i - 1)]);
    if (anylabel) {
      ValueLabel& lab = vlcreate(lnames[k]);
      for (const Rule& r : rules)
        if (r.haslabel)
          if (int rc = vlset(lab, static_cast<int32_t>(r.to), r.label)) return rc;
      ds.lbllist[static_cast<size_t>(v)] = lnames[k];
      vlfixfmts(lnames[k]);
    }
    s_updata(v);
    int prev = setoutlev(OUT_NOTE);
    if (hasgen)
      spout21f("(%s: %ld value%s differ%s from %s)\n", varname(v).c_str(), changes[k], changes[k] == 1 ? "" : "s",
               changes[k] == 1 ? "s" : "", varname(vars[k]).c_str());
    else
      spout21f("(%s: %ld change%s made)\n", varname(v).c_str(), changes[k], changes[k] == 1 ? "" : "s");
    setoutlev(prev);
  }
  return 0;
}

}  // namespace

void data_bindrecode() { cmdbind("recode", cmd_recode); }
