// `outfile`: the data written as plain text that `infile` reads back. By
// default each value appears under its display format, separated by blanks,
// strings and value labels in quotes, an observation broken over several
// lines where it passes 80 columns; `comma` separates by commas without
// padding, `wide` keeps each observation on one line, and `dictionary` puts a
// dictionary in front of the data and writes the numbers exactly (codes
// rather than labels) so that `infile using` restores the same values. The
// file goes through a temporary file beside the target, so a failure leaves
// an older file as it was.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <vector>

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

constexpr int RC_SYNTAX = 198, RC_EXISTS = 602, RC_NOVARS = 111;
// Bytes gathered before each write to the temporary file.
// Width at which an observation continues on a new line (without `wide`).
constexpr size_t LINEWIDTH = 80;

struct OutOpts {
  bool comma = false, dict = false, labels = true, quote = true, wide = false;
};

// One variable as written: its column, format, value label and field width.
struct Field {
  ColView col;
  std::string fmt;
  const ValueLabel* lab = nullptr;
  int type = 0;
  size_t width = 0;  // padded width in the blank-separated layout
};

// Appends text in quotes: double quotes, or single ones when the text holds
// a double quote and no single one (infile ends a quoted value at the next
// quote of the same kind).
void putquoted(std::string& out, const char* p, size_t n, bool quote) {
  if (!quote) {
    out.append(p, n);
    return;
  }
  const char q = std::memchr(p, '"', n) && !std::memchr(p, '\'', n) ? '\'' : '"';
  out.push_back(q);
  out.append(p, n);
  out.push_back(q);
}

// Appends a missing value's text: `.` or `.a` to `.z`.
void putmissing(std::string& out, double x) {
  out.push_back('.');
  if (const int k = missing_code(x); k > 0) out.push_back(static_cast<char>('a' + k - 1));
}

// Appends x so that reading it back gives the same stored value: integers
// as such, float and double values in their shortest exact form.
void putexact(std::string& out, int type, double x) {
  if (ismissing(x)) return putmissing(out, x);
  char b[40];
  std::to_chars_result r;
  if (x == std::trunc(x) && std::fabs(x) < 1e15)
    r = std::to_chars(b, b + sizeof b, static_cast<long long>(x));
  else if (type == ST_FLOAT)
    r = std::to_chars(b, b + sizeof b, static_cast<float>(x));
  else
    r = std::to_chars(b, b + sizeof b, x);
  out.append(b, r.ptr);
}

// The text of one value (no separator): a quoted string or label, or the
// number under its format (blanks trimmed in the comma layout).
void putvalue(std::string& out, const Field& f, long obs, const OutOpts& o) {
  if (isstrtype(f.type)) {
    const char* p = reinterpret_cast<const char*>(f.col.at(obs));
    putquoted(out, p, strnlen(p, static_cast<size_t>(f.type)), o.quote);
    return;
  }
  const double x = f.col.get(obs);
  if (o.dict) return putexact(out, f.type, x);
  if (f.lab) {
    if (const std::string* t = vltext(*f.lab, x)) {
      putquoted(out, t->data(), t->size(), o.quote);
      return;
    }
  }
  const char* t = sreforms(f.fmt.c_str(), x);
  if (!o.comma) {
    out += t;
    return;
  }
  while (*t == ' ') ++t;
  size_t n = std::strlen(t);
  while (n && t[n - 1] == ' ') --n;
  // a comma format's thousands separators would split the field
  if (std::memchr(t, ',', n))
    putquoted(out, t, n, true);
  else
    out.append(t, n);
}

// The dictionary in front of the data: one entry per variable with its
// storage type and variable label; the values follow it, one observation a
// line, each field the next word or quoted string.
std::string dictionary(const std::vector<int>& vars) {
  std::string d = "dictionary {\n";
  for (int v : vars) {
    d += "    ";
    std::string t = typename_of(vartype(v));
    t.resize(std::max<size_t>(t.size(), 7), ' ');
    d += t + ' ' + varname(v);
    std::string lab = ds.varlabels[static_cast<size_t>(v)];
    // the label is a quoted text on the entry's line
    for (char& c : lab)
      if (c == '"' || c == '\n') c = '\'';
    if (!lab.empty()) {
      d.append(varname(v).size() < 32 ? 33 - varname(v).size() : 1, ' ');
      d += '"' + lab + '"';
    }
    d += '\n';
  }
  d += "}\n";
  return d;
}

// outfile [varlist] using filename [if] [in] [, comma dictionary nolabel noquote replace wide]
int cmd_outfile(int) {
  ps.vable = 0;
  ps.vlmode = VL_EXISTING;
  ps.ifable = 0;
  ps.oable = 0;
  ps.uable = 1;
  ps.opable = 0;
  if (int rc = parse()) return rc;
  OutOpts o;
  o.comma = findopt("comma", 5, 0) == 1;
  o.dict = findopt("dictionary", 4, 0) == 1;
  o.labels = findopt("label", 5, 1) == 1;
  o.quote = findopt("quote", 5, 1) == 1;
  o.wide = findopt("wide", 4, 0) == 1;
  const bool replace = findopt("replace", 7, 0) == 1;
  if (int rc = chkopt()) return rc;
  if (o.comma && o.dict) return errmsgf(RC_SYNTAX, "options comma and dictionary may not be combined\n");
  if (o.dict && !o.quote) return errmsgf(RC_SYNTAX, "options dictionary and noquote may not be combined\n");
  std::vector<int> vars;
  if (ps.hasvarlist)
    vars = vl.varlist_vr;
  else
    for (int v = 1; v <= ds.nvar; ++v)
      if (!varname(v).empty() && varname(v) != "(e)") vars.push_back(v);
  if (vars.empty()) return error(RC_NOVARS);
  const std::string fn = fa_defext(ps.usingfn, o.dict ? ".dct" : ".raw");
  struct stat st;
  if (!replace && ::stat(fn.c_str(), &st) == 0) return fierr(RC_EXISTS, fn.c_str());

  std::vector<Field> fields;
  for (int v : vars) {
    Field f;
    f.col = colview(v);
    f.type = vartype(v);
    f.fmt = ds.fmtlist[static_cast<size_t>(v)];
    const std::string& ln = ds.lbllist[static_cast<size_t>(v)];
    if (o.labels && !o.dict && !ln.empty() && !isstrtype(f.type)) f.lab = vlfind(ln);
    // strings take their quotes and the width of their type
    f.width = isstrtype(f.type) ? static_cast<size_t>(f.type) + (o.quote ? 2 : 0)
                                : static_cast<size_t>(strfmtwid(f.fmt.c_str()));
    fields.push_back(f);
  }
  const bool wrap = !o.wide && !o.comma && !o.dict;
  const char sep = o.comma ? ',' : ' ';

  TextOut text;
  text.fn = fn;
  if (int rc = af_open(text.af, fn)) return fierr(rc, fn.c_str());
  std::string& out = text.buf;
  out.reserve(TEXTOUT_CHUNK + 4096);
  if (o.dict) out = dictionary(vars);
  std::string val;
  for (long i = ds.nobs1; i <= ds.nobs2; ++i) {
    if (ps.hasif && !selobs(i)) continue;
    size_t linestart = out.size();
    for (size_t k = 0; k < fields.size(); ++k) {
      val.clear();
      putvalue(val, fields[k], i, o);
      // fields of the blank-separated layout are padded to their width
      if (!o.comma && !o.dict && val.size() < fields[k].width) {
        if (isstrtype(fields[k].type) || fields[k].lab)
          val.append(fields[k].width - val.size(), ' ');
        else
          val.insert(0, fields[k].width - val.size(), ' ');
      }
      if (k) {
        if (wrap && out.size() - linestart + 1 + val.size() > LINEWIDTH) {
          while (out.size() > linestart && out.back() == ' ') out.pop_back();
          out.push_back('\n');
          linestart = out.size();
        } else {
          out.push_back(sep);
        }
      }
      out += val;
    }
    while (out.size() > linestart && out.back() == ' ') out.pop_back();
    out.push_back('\n');
    if (int rc = textout_line(text)) return rc;
  }
  return textout_finish(text);
}

}  // namespace

void files_bindoutfile() { cmdbind("outfile", cmd_outfile); }
