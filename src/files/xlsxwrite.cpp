// The workbook writer: variables to one sheet through libxlsxwriter, row by
// row (its constant-memory mode), an optional first row of names or labels,
// numbers as numbers, daily dates as dates, value labels as their text.
// The library writes to a file by name, so the workbook is made in a private
// temporary file and then copied through the atomic-file path, which puts
// it in place in one step: a failure leaves an existing file as it was.
#include <xlsxwriter.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

#include "data/cmd/datacmds.h"
#include "data/store.h"
#include "data/vlabel.h"
#include "files/atomicfile.h"
#include "files/xlsx.h"
#include "output/errors.h"
#include "output/format.h"
#include "output/rc.h"

namespace {

// Serial day number of the 1900 date system for days since 01jan1960.
constexpr double SERIAL1960 = 21916;

// True when var is a daily date (a numeric variable with a %td format).
bool isdate(int var) {
  const std::string& f = ds.fmtlist[static_cast<size_t>(var)];
  return !isstrtype(vartype(var)) && (f.rfind("%td", 0) == 0 || f.rfind("%-td", 0) == 0);
}

// Writes the sheet into the workbook file path. 0 or a printed code.
int build(const std::string& path, const std::vector<int>& vars, const XlsxWriteOpts& o) {
  lxw_workbook_options wo{};
  wo.constant_memory = LXW_TRUE;
  lxw_workbook* wb = workbook_new_opt(path.c_str(), &wo);
  if (!wb) return errmsgf(RC_FILEOPEN, "the workbook could not be started\n");
  lxw_error e = workbook_validate_sheet_name(wb, o.sheet.c_str());
  if (e != LXW_NO_ERROR) {
    workbook_close(wb);
    return errmsgf(RC_SYNTAX, "sheet(): \"%s\" cannot name a sheet: %s\n", o.sheet.c_str(), lxw_strerror(e));
  }
  lxw_worksheet* ws = workbook_add_worksheet(wb, o.sheet.c_str());
  lxw_format* dayf = workbook_add_format(wb);
  format_set_num_format(dayf, "yyyy-mm-dd");
  lxw_format* timef = workbook_add_format(wb);
  format_set_num_format(timef, "yyyy-mm-dd hh:mm:ss");
  std::vector<const ValueLabel*> labs;
  for (int v : vars) {
    const std::string& ln = ds.lbllist[static_cast<size_t>(v)];
    labs.push_back(o.labels && !ln.empty() && !isstrtype(vartype(v)) ? vlfind(ln) : nullptr);
  }
  lxw_row_t row = 0;
  if (o.firstrow) {
    for (size_t k = 0; k < vars.size(); ++k) {
      const std::string& lab = ds.varlabels[static_cast<size_t>(vars[k])];
      const std::string& t = o.firstrow == 2 && !lab.empty() ? lab : varname(vars[k]);
      worksheet_write_string(ws, row, static_cast<lxw_col_t>(k), t.c_str(), nullptr);
    }
    ++row;
  }
  std::string s, txt;
  for (long i = 1; i <= ds.nobs && !e; ++i, ++row) {
    if ((i & 0x3fff) == 0 && ds_pollbreak()) {
      workbook_close(wb);
      return 1;
    }
    for (size_t k = 0; k < vars.size() && !e; ++k) {
      const int v = vars[k];
      const lxw_col_t col = static_cast<lxw_col_t>(k);
      if (isstrtype(vartype(v))) {
        szelta_data(v, i, s);
        if (!s.empty()) e = worksheet_write_string(ws, row, col, s.c_str(), nullptr);
        continue;
      }
      const double x = zelta_data(v, i);
      if (labs[k]) {
        if (const std::string* t = vltext(*labs[k], x)) {
          e = worksheet_write_string(ws, row, col, t->c_str(), nullptr);
          continue;
        }
      }
      if (ismissing(x)) continue;
      if (isdate(v)) {
        const double serial = x + SERIAL1960;
        if (serial >= 61) {
          e = worksheet_write_number(ws, row, col, serial, x == std::floor(x) ? dayf : timef);
        } else {  // before March 1900 a sheet has no dates: the date as text
          txt.clear();
          sreforms_app("%td", x, txt);
          e = worksheet_write_string(ws, row, col, txt.c_str(), nullptr);
        }
        continue;
      }
      if (vartype(v) == ST_FLOAT) {  // a float as the decimal it shows (26.88, not 26.8799991607666)
        txt.clear();
        ds_exacttext(x, ST_FLOAT, "", txt);
        e = worksheet_write_number(ws, row, col, std::strtod(txt.c_str(), nullptr), nullptr);
        continue;
      }
      e = worksheet_write_number(ws, row, col, x, nullptr);
    }
  }
  lxw_error ce = workbook_close(wb);
  if (e == LXW_NO_ERROR) e = ce;
  if (e != LXW_NO_ERROR) return errmsgf(RC_WRITE, "the workbook could not be written: %s\n", lxw_strerror(e));
  return 0;
}

// Copies file path into the atomic file f. 0 or a printed code.
int copyin(const std::string& path, AtomicFile& f) {
  std::FILE* in = std::fopen(path.c_str(), "rb");
  if (!in) return errmsgf(RC_READ, "the workbook written could not be read back\n");
  char buf[1 << 16];
  size_t n;
  int rc = 0;
  while (!rc && (n = std::fread(buf, 1, sizeof buf, in)) > 0) rc = af_write(f, buf, n);
  const bool bad = std::ferror(in);
  std::fclose(in);
  if (rc) return errmsgf(rc, "%s: %s\n", f.target.c_str(), af_errtext(f).c_str());
  if (bad) return errmsgf(RC_READ, "the workbook written could not be read back\n");
  return 0;
}

}  // namespace

int xlsx_write(const std::string& fn, const std::vector<int>& vars, const XlsxWriteOpts& o) {
  if (vars.size() > XLSX_MAXCOLS) return errmsgf(RC_SYNTAX, "a sheet holds at most %u columns\n", XLSX_MAXCOLS);
  const long maxobs = static_cast<long>(XLSX_MAXROWS) - (o.firstrow ? 1 : 0);
  if (ds.nobs > maxobs) return errmsgf(RC_SYNTAX, "a sheet holds at most %ld observations here\n", maxobs);
  AtomicFile f;
  if (int rc = af_open(f, fn)) return af_openerr(f, rc);
  const char* tdir = std::getenv("TMPDIR");
  std::string tmp = std::string(tdir && *tdir ? tdir : "/tmp") + "/zelta-xlsx-XXXXXX";
  int fd = ::mkstemp(tmp.data());
  if (fd < 0) {
    af_abort(f);
    return errmsgf(RC_TEMPFILE, "could not open a temporary file in %s\n", tdir && *tdir ? tdir : "/tmp");
  }
  ::close(fd);
  int rc = build(tmp, vars, o);
  if (!rc) rc = copyin(tmp, f);
  ::unlink(tmp.c_str());
  if (rc) {
    af_abort(f);
    return rc;
  }
  if (int r2 = af_commit(f)) return errmsgf(r2, "%s: %s\n", fn.c_str(), af_errtext(f).c_str());
  return 0;
}
