// `outsheet`: variables written as comma-separated text (a file named .csv)
// or tab-separated text, one line per observation after a line of names.
// Numbers appear in the shortest form that reads back as the same value (or
// under their display formats with `formatted`; value labels unless nolabel),
// strings in double quotes (a quote inside doubled) unless noquote. The file goes through a temporary file
// beside the target, so a failure leaves an older file as it was.
#include <cctype>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "data/cmd/datacmds.h"
#include "data/store.h"
#include "data/varlist.h"
#include "data/vlabel.h"
#include "expr/expr.h"
#include "files/atomicfile.h"
#include "files/files.h"
#include "files/textout.h"
#include "interp/cmdtab.h"
#include "output/errors.h"
#include "output/format.h"
#include "output/output.h"

namespace {

// Bytes gathered before each write to the temporary file.

// Appends text quoted (quotes doubled), or as it is.
void putquoted(std::string& out, const char* p, size_t n, bool quote) {
  if (!quote) {
    out.append(p, n);
    return;
  }
  out.push_back('"');
  for (size_t i = 0; i < n; ++i) {
    if (p[i] == '"') out.push_back('"');
    out.push_back(p[i]);
  }
  out.push_back('"');
}

// Appends a number under its format, blanks removed; quoted when the text
// holds the delimiter or a quote. Missing `.` is an empty field.
void putnum(std::string& out, const std::string& fmt, double x, char delim) {
  if (ismissing(x)) {
    ds_exacttext(x, ST_DOUBLE, "", out);
    return;
  }
  const char* t = sreforms(fmt.c_str(), x);
  while (*t == ' ') ++t;
  size_t n = std::strlen(t);
  while (n && t[n - 1] == ' ') --n;
  bool needq = std::memchr(t, delim, n) || std::memchr(t, '"', n);
  putquoted(out, t, n, needq);
}

// True when file name fn ends in .csv (any case).
bool csvname(const std::string& fn) {
  if (fn.size() < 4) return false;
  std::string e = fn.substr(fn.size() - 4);
  for (char& c : e) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return e == ".csv";
}

// outsheet [varlist] using filename [if] [in] [, comma tab delimiter("c") nonames nolabel noquote formatted replace]
int cmd_outsheet(int) {
  ParseResult pr;
  if (int rc = parse({.vlmode = VL_EXISTING, .usingfile = PERM_REQUIRED, .options = PERM_OPTIONAL}, pr)) return rc;
  const bool comma = findopt(pr, "comma", 5, 0) == 1;
  const bool tab = findopt(pr, "tab", 3, 0) == 1;
  const bool formatted = findopt(pr, "formatted", 6, 0) == 1;
  const bool names = findopt(pr, "names", 5, 1) == 1;
  const bool labels = findopt(pr, "label", 5, 1) == 1;
  const bool quote = findopt(pr, "quote", 5, 1) == 1;
  const bool replace = findopt(pr, "replace", 7, 0) == 1;
  std::string delim;
  const bool hasdelim = findargasis(pr, "delimiter", 5, delim, 64);
  if (int rc = chkopt(pr)) return rc;
  if (comma + tab + hasdelim > 1) return errmsgf(RC_SYNTAX, "options comma, tab and delimiter() may not be combined\n");
  if (hasdelim) {
    if (delim.size() >= 2 && delim.front() == '"' && delim.back() == '"') delim = delim.substr(1, delim.size() - 2);
    if (delim == "\\t") delim = "\t";
    if (delim.size() != 1 || delim[0] == '"' || delim[0] == '\n')
      return errmsgf(RC_SYNTAX, "delimiter() must be one character\n");
  }
  std::vector<int> vars;
  if (pr.hasvarlist) vars = vl.varlist_vr;
  else
    for (int v = 1; v <= ds.nvar; ++v)
      if (!varname(v).empty() && varname(v) != "(e)") vars.push_back(v);
  if (vars.empty()) return error(RC_NOVARS);
  const std::string fn = fa_defext(pr.usingfn, ".out");
  const char d = hasdelim ? delim[0] : comma ? ',' : tab ? '\t' : csvname(fn) ? ',' : '\t';
  struct stat st;
  if (!replace && ::stat(fn.c_str(), &st) == 0) return fierr(RC_FILEEXISTS, fn.c_str());
  const long n1 = ds.nobs1, n2 = ds.nobs2;

  TextOut text;
  text.fn = fn;
  if (int rc = af_open(text.af, fn)) return af_openerr(text.af, rc);
  std::string& out = text.buf;
  out.reserve(TEXTOUT_CHUNK + 4096);
  if (names) {
    for (size_t k = 0; k < vars.size(); ++k) {
      if (k) out.push_back(d);
      out += varname(vars[k]);
    }
    out.push_back('\n');
  }
  std::vector<ColView> cols;
  std::vector<const ValueLabel*> labs;
  std::vector<std::string> fmts;
  for (int v : vars) {
    cols.push_back(colview(v));
    fmts.push_back(ds.fmtlist[static_cast<size_t>(v)]);
    const std::string& ln = ds.lbllist[static_cast<size_t>(v)];
    labs.push_back(labels && !ln.empty() && !isstrtype(vartype(v)) ? vlfind(ln) : nullptr);
  }
  for (long i = n1; i <= n2; ++i) {
    if (pr.hasif && !selobs(i)) continue;
    for (size_t k = 0; k < vars.size(); ++k) {
      if (k) out.push_back(d);
      const ColView& c = cols[k];
      if (isstrtype(c.type)) {
        const char* p = reinterpret_cast<const char*>(c.at(i));
        putquoted(out, p, strnlen(p, static_cast<size_t>(c.type)), quote);
        continue;
      }
      const double x = c.get(i);
      if (labs[k]) {
        if (const std::string* t = vltext(*labs[k], x)) {
          putquoted(out, t->data(), t->size(), quote);
          continue;
        }
      }
      if (formatted) putnum(out, fmts[k], x, d);
      else ds_exacttext(x, c.type, "", out);
    }
    out.push_back('\n');
    if (int rc = textout_line(text)) return rc;
  }
  return textout_finish(text);
}

}  // namespace

void files_bindoutsheet() { cmdbind("outsheet", cmd_outsheet); }
