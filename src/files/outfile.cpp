// `outfile`: the data written as plain text that `infile` reads back. By
// default each value appears under its display format, separated by blanks,
// strings and value labels in quotes, an observation broken over several
// lines where it passes 80 columns; `comma` separates by commas without
// padding, `wide` keeps each observation on one line, and `dictionary` puts a
// dictionary in front of the data and writes the numbers exactly (codes
// rather than labels) so that `infile using` restores the same values, with
// the variable labels, value label names and value label tables. Strings
// sit flush left in their fields, flush right with `rjs`, or as their
// display format says with `fjs`. The
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

// Bytes gathered before each write to the temporary file.
// Width at which an observation continues on a new line (without `wide`).
constexpr size_t LINEWIDTH = 80;

// Where strings sit in their padded fields.
enum StrJust { SJ_LEFT, SJ_RIGHT, SJ_FORMAT };

struct OutOpts {
  bool comma = false, dict = false, labels = true, quote = true, wide = false;
  StrJust just = SJ_LEFT;
};

// One variable as written: its column, format, value label and field width.
struct Field {
  ColView col;
  std::string fmt;
  const ValueLabel* lab = nullptr;
  int type = 0;
  size_t width = 0;  // padded width in the blank-separated layout
  bool right = false;  // padded on the left
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

// Whether the compound quotes `" and "' in text pair up, so that it can be
// written between compound quotes.
bool nests(const std::string& text) {
  int depth = 0;
  for (size_t i = 0; i + 1 < text.size(); ++i) {
    if (text.compare(i, 2, "`\"") == 0) ++depth, ++i;
    else if (text.compare(i, 2, "\"'") == 0 && --depth < 0) return false;
  }
  return depth == 0;
}

// The value label tables of the variables written, one comment line
// `* label define name # "text"` per mapping: infile defines them again,
// other readers pass over them.
std::string labeldefs(const std::vector<int>& vars) {
  std::vector<std::string> names;
  for (int v : vars) {
    const std::string& ln = ds.lbllist[static_cast<size_t>(v)];
    if (!ln.empty() && !isstrtype(vartype(v)) && vlfind(ln) &&
        std::find(names.begin(), names.end(), ln) == names.end())
      names.push_back(ln);
  }
  std::string d;
  for (const std::string& ln : names) {
    const ValueLabel& lab = *vlfind(ln);
    for (int k = 0; k < lab.n(); ++k) {
      std::string text = lab.txt[static_cast<size_t>(k)];
      for (char& c : text)
        if (c == '\n' || c == '\r') c = ' ';
      if (!nests(text))
        for (char& c : text)
          if (c == '"') c = '\'';
      const bool compound = text.find('"') != std::string::npos;
      d += "* label define " + ln + ' ' + std::to_string(lab.val[static_cast<size_t>(k)]) + ' ' +
           (compound ? "`\"" + text + "\"'" : '"' + text + '"') + '\n';
    }
  }
  return d;
}

// The dictionary in front of the data: one entry per variable with its
// storage type, value label name and variable label, then the value label
// tables; the values follow it, one observation a line, each field the next
// word or quoted string.
std::string dictionary(const std::vector<int>& vars, bool labels) {
  std::string d = "dictionary {\n";
  for (int v : vars) {
    d += "    ";
    std::string t = typename_of(vartype(v));
    t.resize(std::max<size_t>(t.size(), 7), ' ');
    std::string name = varname(v);
    const std::string& ln = ds.lbllist[static_cast<size_t>(v)];
    if (labels && !ln.empty() && !isstrtype(vartype(v))) name += ':' + ln;
    d += t + ' ' + name;
    std::string lab = ds.varlabels[static_cast<size_t>(v)];
    // the label is a quoted text on the entry's line
    for (char& c : lab)
      if (c == '"' || c == '\n') c = '\'';
    if (!lab.empty()) {
      d.append(name.size() < 32 ? 33 - name.size() : 1, ' ');
      d += '"' + lab + '"';
    }
    d += '\n';
  }
  if (labels) d += labeldefs(vars);
  d += "}\n";
  return d;
}

// outfile [varlist] using filename [if] [in] [, comma dictionary nolabel noquote replace wide rjs fjs]
int cmd_outfile(int) {
  ParseResult pr;
  if (int rc = parse({.vlmode = VL_EXISTING, .usingfile = PERM_REQUIRED, .options = PERM_OPTIONAL}, pr)) return rc;
  OutOpts o;
  o.comma = findopt(pr, "comma", 5, 0) == 1;
  o.dict = findopt(pr, "dictionary", 4, 0) == 1;
  o.labels = findopt(pr, "label", 5, 1) == 1;
  o.quote = findopt(pr, "quote", 5, 1) == 1;
  o.wide = findopt(pr, "wide", 4, 0) == 1;
  const bool replace = findopt(pr, "replace", 7, 0) == 1;
  const bool rjs = findopt(pr, "rjs", 3, 0) == 1, fjs = findopt(pr, "fjs", 3, 0) == 1;
  if (int rc = chkopt(pr)) return rc;
  if (rjs && fjs) return errmsgf(RC_SYNTAX, "options rjs and fjs may not be combined\n");
  o.just = rjs ? SJ_RIGHT : fjs ? SJ_FORMAT : SJ_LEFT;
  if (o.comma && o.dict) return errmsgf(RC_SYNTAX, "options comma and dictionary may not be combined\n");
  if (o.dict && !o.quote) return errmsgf(RC_SYNTAX, "options dictionary and noquote may not be combined\n");
  std::vector<int> vars;
  if (pr.hasvarlist)
    vars = vl.varlist_vr;
  else
    for (int v = 1; v <= ds.nvar; ++v)
      if (!varname(v).empty() && varname(v) != "(e)") vars.push_back(v);
  if (vars.empty()) return error(RC_NOVARS);
  const std::string fn = fa_defext(pr.usingfn, o.dict ? ".dct" : ".raw");
  struct stat st;
  if (!replace && ::stat(fn.c_str(), &st) == 0) return fierr(RC_FILEEXISTS, fn.c_str());

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
    // numbers right, labels left, strings as asked (%-#s is flush left)
    if (!isstrtype(f.type))
      f.right = !f.lab;
    else
      f.right = o.just == SJ_RIGHT || (o.just == SJ_FORMAT && f.fmt.compare(0, 2, "%-") != 0);
    fields.push_back(f);
  }
  const bool wrap = !o.wide && !o.comma && !o.dict;
  const char sep = o.comma ? ',' : ' ';

  TextOut text;
  text.fn = fn;
  if (int rc = af_open(text.af, fn)) return af_openerr(text.af, rc);
  std::string& out = text.buf;
  out.reserve(TEXTOUT_CHUNK + 4096);
  if (o.dict) out = dictionary(vars, o.labels);
  std::string val;
  for (long i = ds.nobs1; i <= ds.nobs2; ++i) {
    if (pr.hasif && !selobs(i)) continue;
    size_t linestart = out.size();
    for (size_t k = 0; k < fields.size(); ++k) {
      val.clear();
      putvalue(val, fields[k], i, o);
      // fields of the blank-separated layout are padded to their width
      if (!o.comma && !o.dict && val.size() < fields[k].width) {
        if (fields[k].right)
          val.insert(0, fields[k].width - val.size(), ' ');
        else
          val.append(fields[k].width - val.size(), ' ');
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
