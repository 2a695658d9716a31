// `xlsimport` and `xlsexport`: one sheet of a workbook into the dataset, and
// variables into a new workbook. Import chooses each column's type as
// insheet does for text: a column with any text is a string variable (its
// numbers written as text), a column of dates a daily date, any other a
// number of the smallest type that holds it exactly. The new dataset is
// built beside the old one, which stays on any failure.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "data/chars.h"
#include "data/cmd/datacmds.h"
#include "data/store.h"
#include "data/varlist.h"
#include "files/files.h"
#include "files/textload.h"
#include "files/xlsx.h"
#include "interp/cmdtab.h"
#include "interp/macro.h"
#include "interp/tokenizer.h"
#include "output/errors.h"
#include "output/format.h"
#include "output/output.h"
#include "output/rc.h"

namespace {

// Longest string a variable holds.
constexpr size_t STRMAX = 244;

// What one column holds (data rows only).
struct XCol {
  bool text = false, dates = false, any = false, allint = true, floatok = true;
  double lo = 0, hi = 0;
  size_t maxlen = 0;
  std::string head;  // the first row's text with firstrow
};

// A cell as text (a string column's value).
std::string celltext(const XlsxCell& c) {
  if (c.kind == XlsxKind::Text) return c.text;
  std::string t;
  if (c.kind == XlsxKind::Date) sreforms_app(c.num == std::floor(c.num) ? "%td" : "%20.6f", c.num, t);
  else ds_exacttext(c.num, ST_DOUBLE, "", t);
  size_t a = t.find_first_not_of(' ');
  return a == std::string::npos ? "" : t.substr(a);
}

// Strips blanks and one pair of double quotes.
std::string unquote(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  size_t a = s.find_first_not_of(' ');
  s.erase(0, a == std::string::npos ? s.size() : a);
  if (s.size() >= 2 && s.front() == '"' && s.back() == '"') return s.substr(1, s.size() - 2);
  return s;
}

// Makes the dataset of the cells (set beside the old one by the caller).
// 0 or a store code.
int build(const std::vector<XlsxCell>& cells, uint32_t ncol, uint32_t nrow, bool firstrow, bool allstring,
          bool* cut) {
  const uint32_t top = firstrow ? 1 : 0;
  const long nobs = nrow > top ? static_cast<long>(nrow - top) : 0;
  std::vector<XCol> cols(ncol);
  for (const XlsxCell& c : cells) {
    XCol& x = cols[c.col];
    if (c.row < top) {
      x.head = celltext(c);
      continue;
    }
    if (allstring || c.kind == XlsxKind::Text) x.text = true;
    x.maxlen = std::max(x.maxlen, celltext(c).size());
    if (c.kind == XlsxKind::Text) continue;
    if (c.kind == XlsxKind::Date) x.dates = true;
    if (!x.any) x.lo = x.hi = c.num, x.any = true;
    x.lo = std::min(x.lo, c.num);
    x.hi = std::max(x.hi, c.num);
    if (c.num != std::floor(c.num)) x.allint = false;
    if (static_cast<double>(static_cast<float>(c.num)) != c.num) x.floatok = false;
  }
  std::vector<int> vars(ncol);
  for (uint32_t k = 0; k < ncol; ++k) {
    const XCol& x = cols[k];
    std::string name = firstrow ? fa_varname(x.head) : xlsx_colname(k);
    if (name.empty() || findvarexact(name.c_str())) {
      name = xlsx_colname(k);
      for (int sfx = 2; findvarexact(name.c_str()); ++sfx) name = xlsx_colname(k) + "_" + std::to_string(sfx);
    }
    int type;
    if (x.text) {
      type = static_cast<int>(std::clamp<size_t>(x.maxlen, 1, STRMAX));
      *cut = *cut || x.maxlen > STRMAX;
    } else if (x.dates) {
      type = x.allint && x.lo >= -2147483647.0 && x.hi <= 2147483620.0 ? ST_LONG : ST_DOUBLE;
    } else {
      type = tl_numtype(x.any, x.allint, x.lo, x.hi, x.floatok);
    }
    if (int rc = addvar_uninit(name.c_str(), type)) return rc;
    vars[k] = ds.nvar;
    if (x.dates && !x.text) ds.fmtlist[static_cast<size_t>(ds.nvar)] = "%td";
    if (firstrow && !x.head.empty() && x.head != name) ds.varlabels[static_cast<size_t>(ds.nvar)] = x.head.substr(0, 80);
  }
  if (int rc = setobs_uninit(nobs)) return rc;
  if (nobs == 0) return 0;
  // Every cell empty first (missing values a block at a time), then the
  // cells read go straight into their columns.
  std::vector<ColView> views(ncol);
  const std::vector<double> miss(static_cast<size_t>(std::min(nobs, 65536L)), misval);
  for (uint32_t k = 0; k < ncol; ++k) {
    const ColView v = views[k] = colview(vars[k]);
    if (cols[k].text) {
      std::memset(v.at(1), 0, static_cast<size_t>(v.type) * static_cast<size_t>(nobs));
      continue;
    }
    for (long o = 1; o <= nobs; o += static_cast<long>(miss.size()))
      col_encode(v, o, std::min(static_cast<long>(miss.size()), nobs - o + 1), miss.data());
  }
  for (const XlsxCell& c : cells) {
    if (c.row < top) continue;
    const long obs = static_cast<long>(c.row - top) + 1;
    const ColView& v = views[c.col];
    if (cols[c.col].text) {
      std::string t = celltext(c);
      std::memcpy(v.at(obs), t.data(), std::min(t.size(), static_cast<size_t>(v.type)));
    } else {
      v.put(obs, c.num);
    }
  }
  return 0;
}

// xlsimport using filename [, sheet("name") cellrange(A1:F100) firstrow clear allstring]
int cmd_xlsimport(int) {
  ParseResult pr;
  std::string line = wheretok(), before, after;
  bool hascomma;
  fa_splitcomma(line, before, after, &hascomma);
  if (int rc = fa_readopts(pr, after)) return rc;
  std::string sheet, range;
  const bool hassheet = findargasis(pr, "sheet", 5, sheet, 4096);
  const bool hasrange = findargasis(pr, "cellrange", 4, range, 256);
  const bool firstrow = findopt(pr, "firstrow", 5, 0) == 1;
  const bool clear = findopt(pr, "clear", 5, 0) == 1;
  const bool allstring = findopt(pr, "allstring", 9, 0) == 1;
  if (int rc = chkopt(pr)) return rc;
  size_t at = 0;
  if (!fa_hasusing(before, &at) || at != 0) return required("using");
  std::string fn;
  if (int rc = fa_filename(before.substr(at + 5), fn, ".xlsx")) return rc;
  XlsxRange r;
  if (hasrange && !xlsx_parserange(unquote(range), r))
    return errmsgf(RC_SYNTAX, "cellrange(%s) invalid: give a range such as A1:F100, or its first cell\n", range.c_str());
  if (hassheet) sheet = unquote(sheet);
  if (hassheet && sheet.empty()) return errmsgf(RC_SYNTAX, "sheet() needs a sheet name\n");
  if (ds.updata && !clear) return error(RC_DATALOST);
  std::vector<XlsxCell> cells;
  try {
    if (int rc = xlsx_read(fn, sheet, r, cells)) return rc;
  } catch (const std::bad_alloc&) {
    return error(RC_NOMEM);
  }
  uint32_t ncol = 0, nrow = 0;
  for (const XlsxCell& c : cells) ncol = std::max(ncol, c.col + 1), nrow = std::max(nrow, c.row + 1);
  if (r.c1 != UINT32_MAX) ncol = r.c1 - r.c0 + 1;
  if (r.r1 != UINT32_MAX) nrow = r.r1 - r.r0 + 1;
  if (ncol == 0) return errmsgf(RC_NOOBS, "file %s: the cells read are empty\n", fn.c_str());
  DsAside aside;
  if (int rc = ds_aside(aside)) return rc;
  ds.datalbl.clear();
  bool cut = false;
  int rc;
  try {
    rc = build(cells, ncol, nrow, firstrow, allstring, &cut);
  } catch (const std::bad_alloc&) {
    rc = error(RC_NOMEM);
  }
  if (int e = fa_keepimport(aside, rc)) return e;
  int prev = setoutlev(OUT_NOTE);
  if (cut) spout21f("(note: text longer than %zu characters cut)\n", STRMAX);
  fa_notesize();
  setoutlev(prev);
  return 0;
}

// xlsexport [varlist] using filename [, sheet("name") replace firstrow(variables|varlabels) nolabel]
int cmd_xlsexport(int) {
  ParseResult pr;
  if (int rc = parse({.vlmode = VL_EXISTING, .usingfile = PERM_REQUIRED, .options = PERM_OPTIONAL}, pr)) return rc;
  std::string sheet, first;
  XlsxWriteOpts o;
  const bool hassheet = findargasis(pr, "sheet", 5, sheet, 4096);
  const bool replace = findopt(pr, "replace", 7, 0) == 1;
  const bool hasfirst = findargasis(pr, "firstrow", 5, first, 64);
  o.labels = findopt(pr, "label", 5, 1) == 1;
  if (int rc = chkopt(pr)) return rc;
  if (hassheet) o.sheet = unquote(sheet);
  if (hasfirst) {
    first = unquote(first);
    if (first.size() >= 3 && std::string("variables").compare(0, first.size(), first) == 0) o.firstrow = 1;
    else if (first.size() >= 4 && std::string("varlabels").compare(0, first.size(), first) == 0) o.firstrow = 2;
    else return errmsgf(RC_SYNTAX, "firstrow() takes variables or varlabels\n");
  }
  std::vector<int> vars;
  if (pr.hasvarlist) vars = vl.varlist_vr;
  else
    for (int v = 1; v <= ds.nvar; ++v) vars.push_back(v);
  if (vars.empty()) return error(RC_NOVARS);
  const std::string fn = fa_defext(pr.usingfn, ".xlsx");
  struct stat st;
  if (!replace && ::stat(fn.c_str(), &st) == 0) return fierr(RC_FILEEXISTS, fn.c_str());
  if (int rc = xlsx_write(fn, vars, o)) return rc;
  int prev = setoutlev(OUT_NOTE);
  spout21f("(file %s written: %zu var%s, %ld ob%s)\n", fn.c_str(), vars.size(), vars.size() == 1 ? "" : "s", ds.nobs,
           ds.nobs == 1 ? "" : "s");
  setoutlev(prev);
  return 0;
}

}  // namespace

void files_bindxlsx() {
  cmdbind("xlsimport", cmd_xlsimport);
  cmdbind("xlsexport", cmd_xlsexport);
}
