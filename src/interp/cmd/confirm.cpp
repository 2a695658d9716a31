// confirm: the checks that programs make before they act, each silent on
// success and a message with a return code otherwise, so that an ado-file
// can write `capture confirm numeric variable x` and branch on _rc.
//   confirm [new|numeric|string|TYPE] variable varlist
//   confirm [new] file filename
//   confirm [integer] number text
//   confirm matrix name | scalar name | format text | names text | existence text
#include <sys/stat.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "data/store.h"
#include "data/varlist.h"
#include "interp/cmdtab.h"
#include "interp/tokenizer.h"
#include "output/errors.h"
#include "output/format.h"
#include "output/output.h"
#include "output/rc.h"
#include "results/results.h"

namespace {

// The rest of the line with blanks at both ends removed.
std::string rest_of_line() {
  std::string s = wheretok();
  const size_t b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return "";
  const size_t e = s.find_last_not_of(" \t");
  return s.substr(b, e - b + 1);
}

// True when word abbreviates full to at least min characters.
bool abbrev(const std::string& word, const char* full, size_t min) {
  return word.size() >= min && word.size() <= std::strlen(full) &&
         std::strncmp(word.c_str(), full, word.size()) == 0;
}

// A storage-type word (byte, int, long, float, double, str, strN): its type
// code, ST_DOUBLE + 1 for any string ("str"), or 0 when word is none of them.
int typeword(const std::string& w) {
  if (w == "byte") return ST_BYTE;
  if (w == "int") return ST_INT;
  if (w == "long") return ST_LONG;
  if (w == "float") return ST_FLOAT;
  if (w == "double") return ST_DOUBLE;
  if (w == "str") return ST_DOUBLE + 1;
  if (w.size() > 3 && w.compare(0, 3, "str") == 0 &&
      w.find_first_not_of("0123456789", 3) == std::string::npos) {
    const int n = std::atoi(w.c_str() + 3);
    if (n >= 1 && n <= 244) return n;
  }
  return 0;
}

// confirm [numeric|string|TYPE] variable varlist: every variable exists (and
// has the kind or type asked for).
int confirm_vars(const std::string& kind) {
  const int want = kind.empty() || kind == "numeric" || kind == "string" ? 0 : typeword(kind);
  if (!*peektok_chr()) return errmsgf(RC_SYNTAX, "varlist required\n");
  if (int rc = ssvlist(VL_EXISTING)) return rc;
  if (*peektok_chr()) return errmsgf(RC_SYNTAX, "'%s' found where variable name expected\n", peektok_chr());
  for (int i = 0; i < vl.lnvar(); ++i) {
    const int v = vl.varlist_vr[static_cast<size_t>(i)];
    const int t = vartype(v);
    const char* name = varname(v).c_str();
    if (kind == "numeric" && isstrtype(t))
      return errmsgf(RC_TYPEMISMATCH, "%s is a string variable, not numeric\n", name);
    if (kind == "string" && !isstrtype(t))
      return errmsgf(RC_TYPEMISMATCH, "%s is a numeric variable, not string\n", name);
    if (want == ST_DOUBLE + 1 && !isstrtype(t))
      return errmsgf(RC_TYPEMISMATCH, "%s is not a string variable\n", name);
    if (want && want != ST_DOUBLE + 1 && t != want)
      return errmsgf(RC_TYPEMISMATCH, "%s is not stored as %s\n", name, kind.c_str());
  }
  return RC_OK;
}

// confirm new variable names: each is a valid name not yet in use.
int confirm_newvars() {
  if (!*peektok_chr()) return errmsgf(RC_SYNTAX, "new variable names required\n");
  if (int rc = ssvlist(VL_NEW)) return rc;
  if (*peektok_chr()) return errmsgf(RC_SYNTAX, "'%s' found where new variable name expected\n", peektok_chr());
  return RC_OK;
}

// confirm [new] file name: the file exists (is readable), or does not exist
// and could be made (its folder exists).
int confirm_file(bool isnew) {
  std::string fn;
  if (!*peektok_chr()) return errmsgf(RC_SYNTAX, "file name required\n");
  if (int rc = gettokfn(fn)) return rc;
  if (*peektok_chr()) return errmsgf(RC_SYNTAX, "'%s' found where end of line expected\n", peektok_chr());
  struct stat st{};
  const bool exists = ::stat(fn.c_str(), &st) == 0;
  if (!isnew) {
    if (!exists || S_ISDIR(st.st_mode)) return errmsgf(RC_FILENOTFOUND, "file %s not found\n", fn.c_str());
    return RC_OK;
  }
  if (exists) return errmsgf(RC_FILEEXISTS, "file %s already exists\n", fn.c_str());
  const size_t slash = fn.find_last_of('/');
  const std::string dir = slash == std::string::npos ? "." : (slash == 0 ? "/" : fn.substr(0, slash));
  if (::stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
    return errmsgf(RC_FILEOPEN, "file %s could not be made: folder %s not found\n", fn.c_str(), dir.c_str());
  return RC_OK;
}

// A numeric literal as the expression language reads one, missing codes
// included; *value gets the number (NaN for a missing code).
bool isnumber(const std::string& s, double* value) {
  if (s == "." || (s.size() == 2 && s[0] == '.' && s[1] >= 'a' && s[1] <= 'z')) {
    *value = std::nan("");
    return true;
  }
  if (s.empty() || s.find_first_of(" \t") != std::string::npos) return false;
  char* end = nullptr;
  *value = std::strtod(s.c_str(), &end);
  if (*end || std::isinf(*value) || std::isnan(*value)) return false;
  // strtod also takes hexadecimal and "inf"/"nan": only decimal forms count.
  return s.find_first_of("xXnN") == std::string::npos;
}

int confirm_number(bool integer) {
  const std::string s = rest_of_line();
  double x = 0;
  if (!isnumber(s, &x)) return experr(s.c_str(), 1, integer ? "integer" : "number", 0);
  if (integer && (std::isnan(x) || x != std::floor(x))) return experr(s.c_str(), 1, "integer", 0);
  return RC_OK;
}

int confirm_names() {
  const std::string s = rest_of_line();
  if (s.empty()) return errmsgf(RC_SYNTAX, "nothing found where name expected\n");
  settok(s.c_str());
  for (const char* t = gettok(" "); t && *t; t = gettok(" ")) {
    const std::string name = t;
    if (int rc = chkname(name.c_str())) return rc;
  }
  return RC_OK;
}

int cmd_confirm(int) {
  std::string w1;
  gettoklong(w1, " ");
  if (w1.empty()) return errmsgf(RC_SYNTAX, "confirm: say what to check (variable, new variable, file, number, ...)\n");
  if (abbrev(w1, "variable", 1)) return confirm_vars("");
  if (w1 == "new") {
    std::string w2;
    gettoklong(w2, " ");
    if (abbrev(w2, "variable", 1)) return confirm_newvars();
    if (w2 == "file") return confirm_file(true);
    return errmsgf(RC_SYNTAX, "confirm new: variable or file expected\n");
  }
  if (abbrev(w1, "numeric", 3) || abbrev(w1, "string", 3) || typeword(w1)) {
    const std::string kind = abbrev(w1, "numeric", 3) ? "numeric" : abbrev(w1, "string", 3) && w1 != "str" ? "string" : w1;
    std::string w2;
    gettoklong(w2, " ");
    if (!abbrev(w2, "variable", 1)) return errmsgf(RC_SYNTAX, "confirm %s: variable expected\n", w1.c_str());
    return confirm_vars(kind);
  }
  if (w1 == "file") return confirm_file(false);
  if (abbrev(w1, "integer", 3)) {
    std::string w2;
    gettoklong(w2, " ");
    if (!abbrev(w2, "number", 1)) return errmsgf(RC_SYNTAX, "confirm integer: number expected\n");
    return confirm_number(true);
  }
  if (abbrev(w1, "number", 1)) return confirm_number(false);
  if (w1 == "matrix") {
    const std::string name = rest_of_line();
    return mat_find(name) ? RC_OK : matnotfound(name.c_str());
  }
  if (w1 == "scalar") {
    const std::string name = rest_of_line();
    if (!scalar_find(name)) return errmsgf(RC_NOTFOUND, "scalar %s not found\n", name.c_str());
    return RC_OK;
  }
  if (abbrev(w1, "format", 3)) {
    const std::string f = rest_of_line();
    if (f.empty() || chkfmt(f.c_str(), FMTK_ANY)) return errmsgf(RC_BADFORMAT, "'%s' found where format expected\n", f.c_str());
    return RC_OK;
  }
  if (abbrev(w1, "names", 4)) return confirm_names();
  if (abbrev(w1, "existence", 1)) {
    if (rest_of_line().empty()) return errmsgf(RC_SYNTAX, "nothing found where something expected\n");
    return RC_OK;
  }
  return errmsgf(RC_SYNTAX, "confirm: unknown check %s; use variable, new variable, numeric/string variable, file, new file, number, integer number, matrix, scalar, format, names or existence\n", w1.c_str());
}

}  // namespace

void interp_bindconfirm() { cmdbind("confirm", cmd_confirm); }
