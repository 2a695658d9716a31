// `tonumeric` and `totext`: string variables holding numbers made numeric,
// and numeric variables written as text, either in place (replace) or into
// new variables (generate()). A text that is not a number stops tonumeric
// before anything changes, unless `tomissing` lets it become missing; either
// way each such variable is reported with a count and its first such text.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>
#include <vector>

#include "data/cmd/datacmds.h"
#include "data/store.h"
#include "data/varlist.h"
#include "expr/expr.h"
#include "files/textload.h"
#include "interp/cmdtab.h"
#include "output/errors.h"
#include "output/format.h"
#include "output/output.h"

namespace {

// What both commands read from the line.
struct ConvArgs {
  std::vector<int> vars;              // the variables converted
  std::vector<std::string> newnames;  // generate(): one per variable; empty with replace
  std::vector<long> obs;              // the selected observations
  bool replace = false;
  bool hasgen = false;                // generate() given
  std::string gen;                    // its text
};

// varlist [if] [in], {replace | generate(newvarlist)} ...: the shared part.
// 0 or a printed code; checkconv checks replace and generate() once the
// command has read its other options.
int parseconv(ParseResult& pr, ConvArgs& a) {
  if (int rc = parse({.varlist = PERM_REQUIRED, .options = PERM_OPTIONAL}, pr)) return rc;
  a.vars = vl.varlist_vr;
  for (size_t k = 0; k < a.vars.size(); ++k)
    if (!vl.varlist_rcp[k].plain()) return error(RC_MSG_TSOPS);
  a.replace = findopt(pr, "replace", 7, 0) == 1;
  a.hasgen = findargn(pr, "generate", 3, a.gen, 4096, 1000);
  for (long i = ds.nobs1; i <= ds.nobs2; ++i) {
    if ((i & 0xffff) == 0 && ds_pollbreak()) return 1;
    if (selobs(i)) a.obs.push_back(i);
  }
  return 0;
}

// Checks replace / generate() once every option has been read: one of
// them, no if/in with replace, one new name per variable. 0 or 198 printed.
int checkconv(ParseResult& pr, ConvArgs& a) {
  if (a.replace && a.hasgen) return errmsgf(RC_SYNTAX, "options replace and generate() may not be combined\n");
  if (!a.replace && !a.hasgen) return errmsgf(RC_SYNTAX, "option replace or generate() required\n");
  if (a.replace && (pr.hasif || pr.hasin)) return errmsgf(RC_SYNTAX, "replace may not be combined with if or in\n");
  if (a.hasgen) {
    const std::string& gen = a.gen;
    size_t i = 0;
    while (i < gen.size()) {
      size_t e = gen.find(' ', i);
      if (e == std::string::npos) e = gen.size();
      if (e > i) a.newnames.push_back(gen.substr(i, e - i));
      i = e + 1;
    }
    if (a.newnames.size() != a.vars.size())
      return errmsgf(RC_SYNTAX, "generate() names %zu variable%s for %zu\n", a.newnames.size(),
                     a.newnames.size() == 1 ? "" : "s", a.vars.size());
    for (size_t k = 0; k < a.newnames.size(); ++k) {
      if (int rc = chkvarname(a.newnames[k].c_str())) return rc;
      if (std::count(a.newnames.begin(), a.newnames.end(), a.newnames[k]) > 1)
        return errmsgf(RC_SYNTAX, "%s named twice in generate()\n", a.newnames[k].c_str());
    }
  }
  return 0;
}

// Puts the values (one per observation, missing elsewhere) into a new
// variable of the given type: named newname, or in place of variable var
// (same name, position and label). 0 or a printed code.
int putresult(int var, const std::string& newname, int type, const std::vector<double>* nums,
              const std::vector<std::string>* texts) {
  const std::string name = newname.empty() ? mktmpvn() : newname;
  if (int rc = addvar(name.c_str(), type)) return rc;
  const int nv = ds.nvar;
  for (long i = 1; i <= ds.nobs; ++i) {
    if (nums) store(nv, i, (*nums)[static_cast<size_t>(i - 1)]);
    else safe_sstore(nv, i, (*texts)[static_cast<size_t>(i - 1)].c_str());
  }
  if (!newname.empty()) {
    s_updata(nv);
    return 0;
  }
  const std::string oldname = varname(var);
  ds.varlabels[static_cast<size_t>(nv)] = ds.varlabels[static_cast<size_t>(var)];
  if (int rc = droporkeepvars({var}, false)) return rc;
  if (int rc = renamevar(ds.nvar, oldname.c_str())) return rc;
  std::vector<int> perm{0};  // 1-based: perm[j] is the variable that goes to j
  for (int v = 1; v < ds.nvar; ++v) {
    if (v == var) perm.push_back(ds.nvar);
    perm.push_back(v);
  }
  if (var == ds.nvar) perm.push_back(ds.nvar);
  if (int rc = reordervars(perm)) return rc;
  s_updata(var);
  return 0;
}

// The text with the characters of strip removed.
std::string stripped(const std::string& s, const std::string& strip) {
  if (strip.empty()) return s;
  std::string r;
  for (char c : s)
    if (strip.find(c) == std::string::npos) r.push_back(c);
  return r;
}

// tonumeric varlist [if] [in], {replace | generate(newvarlist)} [strip("chars") tomissing]
int cmd_tonumeric(int) {
  ParseResult pr;
  ConvArgs a;
  if (int rc = parseconv(pr, a)) return rc;
  std::string strip;
  const bool hasstrip = findargasis(pr, "strip", 5, strip, 256);
  const bool tomissing = findopt(pr, "tomissing", 5, 0) == 1;
  if (int rc = chkopt(pr)) return rc;
  if (int rc = checkconv(pr, a)) return rc;
  if (hasstrip) {
    if (strip.size() >= 2 && strip.front() == '"' && strip.back() == '"') strip = strip.substr(1, strip.size() - 2);
    if (strip.empty()) return errmsgf(RC_SYNTAX, "strip() needs at least one character\n");
  }
  for (int v : a.vars)
    if (!isstrtype(vartype(v))) return errmsgf(RC_NUMERICVAR, "%s is not a string variable\n", varname(v).c_str());
  // Every value is read before anything changes.
  std::vector<std::vector<double>> vals(a.vars.size());
  bool bad = false;
  std::string s;
  for (size_t k = 0; k < a.vars.size(); ++k) {
    vals[k].assign(static_cast<size_t>(ds.nobs), misval);
    long nbad = 0, first = 0;
    std::string firsttext;
    for (long i : a.obs) {
      szelta_data(a.vars[k], i, s);
      std::string t = stripped(s, strip);
      size_t b = t.find_first_not_of(' '), e = t.find_last_not_of(' ');
      t = b == std::string::npos ? std::string() : t.substr(b, e - b + 1);
      double x = misval;
      if (!t.empty() && t != "NA" && !tl_number(t.data(), t.size(), &x)) {
        if (!nbad++) first = i, firsttext = s;
        x = misval;
      }
      vals[k][static_cast<size_t>(i - 1)] = x;
    }
    if (nbad) {
      bad = true;
      int prev = tomissing ? setoutlev(OUT_NOTE) : -1;
      spout21f("%s%s: %ld %s, the first \"%s\" in observation %ld%s\n", tomissing ? "(" : "",
               varname(a.vars[k]).c_str(), nbad,
               nbad == 1 ? (tomissing ? "value not a number made missing" : "value is not a number")
                         : (tomissing ? "values not numbers made missing" : "values are not numbers"),
               firsttext.c_str(), first, tomissing ? ")" : "");
      if (prev >= 0) setoutlev(prev);
    }
  }
  if (bad && !tomissing)
    return errmsgf(RC_BADDATA, "nothing converted: some values are not numbers (tomissing makes them missing)\n");
  for (size_t k = 0; k < a.vars.size(); ++k)
    if (int rc = putresult(a.vars[k], a.replace ? std::string() : a.newnames[k], ds_exacttype(vals[k], ST_BYTE), &vals[k], nullptr))
      return rc;
  return 0;
}

// The text of x: under format fmt when given, else its shortest exact form;
// "" for `.`.
std::string numtext(double x, int type, const std::string& fmt) {
  std::string out;
  if (fmt.empty() || ismissing(x)) {
    ds_exacttext(x, type, "", out);
    return out;
  }
  std::string t = sreforms(fmt.c_str(), x);
  size_t b = t.find_first_not_of(' '), e = t.find_last_not_of(' ');
  return b == std::string::npos ? std::string() : t.substr(b, e - b + 1);
}

// totext varlist [if] [in], {replace | generate(newvarlist)} [format(%fmt)]
int cmd_totext(int) {
  ParseResult pr;
  ConvArgs a;
  if (int rc = parseconv(pr, a)) return rc;
  std::string fmt;
  const bool hasfmt = findargn(pr, "format", 3, fmt, 64, 1);
  if (int rc = chkopt(pr)) return rc;
  if (int rc = checkconv(pr, a)) return rc;
  if (hasfmt && (fmt.empty() || fmt[0] != '%' || chkfmt(fmt.c_str(), FMTK_NUM)))
    return errmsgf(RC_SYNTAX, "format(%s) is not a numeric display format\n", fmt.c_str());
  for (int v : a.vars)
    if (isstrtype(vartype(v))) return errmsgf(RC_STRINGVAR, "%s is not a numeric variable\n", varname(v).c_str());
  std::vector<std::vector<std::string>> texts(a.vars.size());
  for (size_t k = 0; k < a.vars.size(); ++k) {
    texts[k].assign(static_cast<size_t>(ds.nobs), std::string());
    size_t width = 1;
    const int type = vartype(a.vars[k]);
    for (long i : a.obs) {
      std::string t = numtext(zelta_data(a.vars[k], i), type, fmt);
      width = std::max(width, t.size());
      texts[k][static_cast<size_t>(i - 1)] = std::move(t);
    }
    if (width > TL_STRMAX) return errmsgf(RC_SYNTAX, "%s: text over %zu characters\n", varname(a.vars[k]).c_str(), TL_STRMAX);
    if (int rc = putresult(a.vars[k], a.replace ? std::string() : a.newnames[k], static_cast<int>(width), nullptr,
                           &texts[k]))
      return rc;
  }
  return 0;
}

}  // namespace

// True when a cell of numeric type t holds x exactly (missing values always).
static bool typeholds(int t, double x) {
  if (ismissing(x) || t == ST_DOUBLE) return true;
  if (t == ST_FLOAT) return std::fabs(x) <= 1.7e38 && static_cast<double>(static_cast<float>(x)) == x;
  if (x != std::trunc(x)) return false;
  if (t == ST_BYTE) return x >= -127 && x <= 100;
  if (t == ST_INT) return x >= -32767 && x <= 32740;
  return x >= -2147483647.0 && x <= 2147483620.0;
}

int ds_exacttype(const std::vector<double>& x, int atleast) {
  for (int t = std::max(atleast, static_cast<int>(ST_BYTE)); t < ST_DOUBLE; ++t)
    if (std::all_of(x.begin(), x.end(), [t](double v) { return typeholds(t, v); })) return t;
  return ST_DOUBLE;
}

void ds_exacttext(double x, int type, const char* dot, std::string& dst) {
  if (ismissing(x)) {
    int k = missing_code(x);
    if (k > 0) {
      dst.push_back('.');
      dst.push_back(static_cast<char>('a' + k - 1));
    } else {
      dst += dot;
    }
    return;
  }
  char buf[40];
  auto r = type == ST_FLOAT ? std::to_chars(buf, buf + sizeof buf, static_cast<float>(x))
                            : std::to_chars(buf, buf + sizeof buf, x);
  dst.append(buf, r.ptr);
}

void data_bindnumtext() {
  cmdbind("tonumeric", cmd_tonumeric);
  cmdbind("totext", cmd_totext);
}
