// `input`: reads lines of values after the command, one observation per
// line, until a line holding `end`. New names become variables (with types
// given before them); existing ones receive new observations.
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "data/cmd/datacmds.h"
#include "data/store.h"
#include "data/varlist.h"
#include "interp/cmdtab.h"
#include "interp/interp.h"
#include "output/errors.h"
#include "output/output.h"
#include "platform/platform.h"

namespace {

// Splits a data line into values: blank-separated words or quoted strings.
std::vector<std::string> splitvalues(const std::string& line) {
  std::vector<std::string> vals;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == ',')) ++i;
    if (i >= line.size()) break;
    if (line[i] == '"') {
      size_t j = line.find('"', i + 1);
      if (j == std::string::npos) j = line.size();
      vals.push_back(line.substr(i + 1, j - i - 1));
      i = j + 1;
    } else if (line[i] == '`' && i + 1 < line.size() && line[i + 1] == '"') {
      size_t j = line.find("\"'", i + 2);
      if (j == std::string::npos) j = line.size();
      vals.push_back(line.substr(i + 2, j - i - 2));
      i = j + 2;
    } else {
      size_t j = i;
      while (j < line.size() && line[j] != ' ' && line[j] != '\t' && line[j] != ',') ++j;
      vals.push_back(line.substr(i, j - i));
      i = j;
    }
  }
  return vals;
}

// A numeric value: a number, ".", or ".a" .. ".z"; false when unreadable.
bool readnum(const std::string& s, double* x) {
  if (s == ".") {
    *x = misval;
    return true;
  }
  if (s.size() == 2 && s[0] == '.' && s[1] >= 'a' && s[1] <= 'z') {
    *x = misval_k(s[1] - 'a' + 1);
    return true;
  }
  if (s.empty()) return false;
  char* e;
  double d = std::strtod(s.c_str(), &e);
  if (*e) return false;
  *x = d;
  return true;
}

int cmd_input(int) {
  ParseResult pr;
  if (int rc = parse({.varlist = PERM_REQUIRED, .vlmode = VL_OPTIONAL_NEW, .ifexp = PERM_NO, .range = PERM_NO}, pr)) return rc;
  bool anyold = false;
  for (char c : vl.newexists) anyold = anyold || c;
  if (int rc = vl_createnew()) return rc;
  std::vector<int> vars(vl.varlist_vr);
  chksort_vars(vars);
  long obs = anyold ? ds.nobs + 1 : 1;
  // The header: each name over its column.
  int prev = setoutlev(OUT_TEXT);
  spout21("\n");
  std::string head = "    ";
  const size_t maxw = static_cast<size_t>(out.linesize > 20 ? out.linesize - 1 : 79);
  for (int v : vars) {
    std::string n = abvar(varname(v), 10);
    if (head.size() + 11 > maxw) {
      spout21((head + "\n").c_str());
      head = "    ";
    }
    head += std::string(11 - n.size(), ' ') + n;
  }
  spout21((head + "\n").c_str());
  setoutlev(prev);
  std::string line;
  for (;; ++obs) {
    if (stopflag) return 1;
    if (nextrawline(line)) break;
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    size_t b = line.find_first_not_of(" \t");
    std::string body = b == std::string::npos ? "" : line.substr(b);
    if (body == "end") break;
    if (obs > ds.nobs) {
      if (int rc = setobs_quiet(obs)) return rc;
    }
    std::vector<std::string> vals = splitvalues(body);
    for (size_t k = 0; k < vars.size(); ++k) {
      int v = vars[k];
      if (k >= vals.size()) {
        if (isstrtype(vartype(v))) safe_sstore(v, obs, "");
        else store(v, obs, misval);
        continue;
      }
      if (isstrtype(vartype(v))) {
        safe_sstore(v, obs, vals[k].c_str());
        continue;
      }
      double x;
      if (!readnum(vals[k], &x)) {
        int p2 = setoutlev(OUT_ERROR);
        spout21f("'%s' cannot be read as a number for %s[%ld]\n", vals[k].c_str(), varname(v).c_str(), obs);
        setoutlev(p2);
        x = misval;
      }
      store(v, obs, x);
    }
    ds.updata = true;
  }
  return 0;
}

}  // namespace

void data_bindinput() { cmdbind("input", cmd_input); }
