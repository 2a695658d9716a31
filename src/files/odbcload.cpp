// `odbc load`'s engine: a query's result set into a new dataset. Rows come in
// blocks (array fetch into column-wise buffers) and go straight into the
// columns of a dataset built beside the one in memory, which comes back
// untouched on any failure or Break. Types follow the SQL column types:
// small integers int, integers long (double once a value lies beyond long),
// other numbers double, dates daily dates, timestamps days with the fraction
// of the day, and everything else text, each string as wide as its longest
// value (up to the longest string type, longer text cut with one note).
#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "data/chars.h"
#include "data/store.h"
#include "files/files.h"
#include "files/odbc.h"
#include "interp/macro.h"
#include "output/errors.h"
#include "output/format.h"
#include "output/output.h"
#include "output/rc.h"

namespace {

// Longest string a variable holds.
constexpr size_t STRMAX = 244;

// How a column is fetched.
enum class Kind { Int, Double, Date, Stamp, Text };

struct LoadCol {
  std::string name;                // the column's name in the result
  Kind kind = Kind::Text;
  SQLSMALLINT ctype = SQL_C_CHAR;  // the C type it is bound as
  size_t elem = 0;                 // bytes per row in buf
  std::vector<unsigned char> buf;  // one block of values
  std::vector<SQLLEN> ind;         // their lengths or SQL_NULL_DATA
  int var = 0;                     // its variable
  int start = 0;                   // its first storage type
  bool cut = false;                // some text was longer than STRMAX
};

// The kind of an SQL column type (text when allstring).
Kind kindof(SQLSMALLINT t, bool allstring) {
  if (allstring) return Kind::Text;
  switch (t) {
    case SQL_BIT: case SQL_TINYINT: case SQL_SMALLINT: case SQL_INTEGER: return Kind::Int;
    case SQL_BIGINT: case SQL_DECIMAL: case SQL_NUMERIC: case SQL_REAL: case SQL_FLOAT: case SQL_DOUBLE:
      return Kind::Double;
    case SQL_TYPE_DATE: case SQL_DATE: return Kind::Date;
    case SQL_TYPE_TIMESTAMP: case SQL_TIMESTAMP: return Kind::Stamp;
    default: return Kind::Text;
  }
}

// Days since 01jan1960 of a calendar date.
double days(int y, int m, int d) { return static_cast<double>(fmt_mdy(y, m, d)); }

// The storage type that holds integer x in a column now of type t (t when
// it already does): int, then long, then double.
int widerint(int t, double x) {
  if (t == ST_DOUBLE) return t;
  if (t == ST_INT && x >= -32767 && x <= 32740) return t;
  if (x >= -2147483647.0 && x <= 2147483620.0) return t == ST_INT ? ST_LONG : t;
  return ST_DOUBLE;
}

// A variable name from a column name: letters, digits and underscores,
// lower case with `lowercase`; "" when none can be made.
std::string varnameof(const std::string& col, bool lower) {
  std::string h = col;
  if (lower)
    for (char& ch : h) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  return fa_varname(h);
}

// Fails a statement: the server's message and rc, printed.
int stmterr(int rc, SQLHSTMT h, const char* what) {
  std::string msg = odbc_diag(SQL_HANDLE_STMT, h);
  return errmsgf(rc, "%s%s%s\n", what, msg.empty() ? "" : ": ", msg.c_str());
}

// A statement handle freed (its query cancelled) when it goes out of scope.
struct Stmt {
  SQLHSTMT h = SQL_NULL_HSTMT;
  ~Stmt() {
    if (h) {
      SQLCancel(h);
      SQLFreeHandle(SQL_HANDLE_STMT, h);
    }
  }
};

// Describes the result columns and binds their buffers for blocks of
// `rows` rows. 0, or 683 printed.
int bindcols(SQLHSTMT h, const OdbcLoadOpts& o, std::vector<LoadCol>& cols, SQLULEN* rows) {
  SQLSMALLINT ncol = 0;
  SQLNumResultCols(h, &ncol);
  long rowbytes = 0;
  for (SQLUSMALLINT k = 1; k <= ncol; ++k) {
    SQLCHAR name[256] = {0};
    SQLSMALLINT nl = 0, type = 0, dec = 0, nul = 0;
    SQLULEN size = 0;
    if (!SQL_SUCCEEDED(SQLDescribeCol(h, k, name, sizeof name, &nl, &type, &size, &dec, &nul)))
      return stmterr(RC_ODBCFETCH, h, "could not fetch variable in odbc table");
    LoadCol c;
    c.name = reinterpret_cast<const char*>(name);
    c.kind = kindof(type, o.allstring);
    c.start = c.kind == Kind::Int ? (type == SQL_INTEGER ? ST_LONG : ST_INT)
              : c.kind == Kind::Date ? ST_LONG : c.kind == Kind::Text ? 1 : ST_DOUBLE;
    switch (c.kind) {
      case Kind::Int: c.ctype = SQL_C_SBIGINT, c.elem = sizeof(SQLBIGINT); break;
      case Kind::Double: c.ctype = SQL_C_DOUBLE, c.elem = sizeof(SQLDOUBLE); break;
      case Kind::Date: c.ctype = SQL_C_TYPE_DATE, c.elem = sizeof(SQL_DATE_STRUCT); break;
      case Kind::Stamp: c.ctype = SQL_C_TYPE_TIMESTAMP, c.elem = sizeof(SQL_TIMESTAMP_STRUCT); break;
      case Kind::Text: c.ctype = SQL_C_CHAR, c.elem = STRMAX + 1; break;
    }
    rowbytes += static_cast<long>(c.elem + sizeof(SQLLEN));
    cols.push_back(std::move(c));
  }
  *rows = static_cast<SQLULEN>(odbc_blockrows(rowbytes));
  SQLSetStmtAttr(h, SQL_ATTR_ROW_BIND_TYPE, reinterpret_cast<SQLPOINTER>(SQL_BIND_BY_COLUMN), 0);
  if (!SQL_SUCCEEDED(SQLSetStmtAttr(h, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(*rows), 0))) *rows = 1;
  SQLULEN got = 0;
  if (SQL_SUCCEEDED(SQLGetStmtAttr(h, SQL_ATTR_ROW_ARRAY_SIZE, &got, 0, nullptr)) && got >= 1 && got < *rows)
    *rows = got;  // the driver takes fewer rows at a time
  for (size_t k = 0; k < cols.size(); ++k) {
    LoadCol& c = cols[k];
    c.buf.assign(c.elem * *rows, 0);
    c.ind.assign(*rows, 0);
    if (!SQL_SUCCEEDED(SQLBindCol(h, static_cast<SQLUSMALLINT>(k + 1), c.ctype, c.buf.data(),
                                  static_cast<SQLLEN>(c.elem), c.ind.data())))
      return errmsgf(RC_ODBCFETCH, "could not fetch variable %s in odbc table: %s\n", c.name.c_str(),
                     odbc_diag(SQL_HANDLE_STMT, h).c_str());
  }
  return 0;
}

// Makes a variable for each column in the (new, empty) dataset. 0 or a
// store code printed.
int makevars(std::vector<LoadCol>& cols, const OdbcLoadOpts& o) {
  for (size_t k = 0; k < cols.size(); ++k) {
    LoadCol& c = cols[k];
    std::string name = varnameof(c.name, o.lowercase);
    if (name.empty() || findvarexact(name.c_str())) {
      name = "v" + std::to_string(k + 1);
      for (int sfx = 2; findvarexact(name.c_str()); ++sfx) name = "v" + std::to_string(k + 1) + "_" + std::to_string(sfx);
    }
    if (int rc = addvar_uninit(name.c_str(), c.start)) return rc;
    c.var = ds.nvar;
    if (c.kind == Kind::Date || c.kind == Kind::Stamp) ds.fmtlist[static_cast<size_t>(c.var)] = "%td";
    if (name != c.name) ds.varlabels[static_cast<size_t>(c.var)] = c.name.substr(0, 80);
  }
  return 0;
}

// Stores rows 0..n-1 of a fetched block at observations obs.. (room made
// already). Integer columns widen and text columns grow as their values
// need. 0 or a store code.
int storeblock(std::vector<LoadCol>& cols, long obs, long n, std::vector<double>& vals) {
  vals.resize(static_cast<size_t>(n));
  for (LoadCol& c : cols) {
    const size_t nn = static_cast<size_t>(n);
    if (c.kind == Kind::Text) {
      size_t longest = 0;
      for (size_t i = 0; i < nn; ++i) {
        SQLLEN len = c.ind[i];
        if (len == SQL_NULL_DATA) continue;
        if (len == SQL_NO_TOTAL || len > static_cast<SQLLEN>(STRMAX)) {
          c.cut = true;
          longest = STRMAX;
        } else {
          longest = std::max(longest, static_cast<size_t>(len));
        }
      }
      if (static_cast<int>(longest) > vartype(c.var))
        if (int rc = change_vartype(c.var, static_cast<int>(longest))) return rc;
      const ColView v = colview(c.var);
      const size_t w = static_cast<size_t>(v.type);
      for (size_t i = 0; i < nn; ++i) {
        SQLLEN len = c.ind[i];
        size_t m = len == SQL_NULL_DATA ? 0 : len == SQL_NO_TOTAL ? STRMAX : std::min(static_cast<size_t>(len), STRMAX);
        m = std::min(m, w);
        unsigned char* cell = v.at(obs + static_cast<long>(i));
        std::memcpy(cell, &c.buf[i * c.elem], m);
        std::memset(cell + m, 0, w - m);
      }
      continue;
    }
    int want = vartype(c.var);
    for (size_t i = 0; i < nn; ++i) {
      double x = misval;
      if (c.ind[i] != SQL_NULL_DATA) {
        const unsigned char* p = &c.buf[i * c.elem];
        switch (c.kind) {
          case Kind::Int: {
            SQLBIGINT b;
            std::memcpy(&b, p, sizeof b);
            x = static_cast<double>(b);
            want = widerint(want, x);
            break;
          }
          case Kind::Double: std::memcpy(&x, p, sizeof x); break;
          case Kind::Date: {
            SQL_DATE_STRUCT d;
            std::memcpy(&d, p, sizeof d);
            x = days(d.year, d.month, d.day);
            break;
          }
          case Kind::Stamp: {
            SQL_TIMESTAMP_STRUCT t;
            std::memcpy(&t, p, sizeof t);
            double secs = t.hour * 3600.0 + t.minute * 60.0 + t.second + t.fraction / 1e9;
            x = days(t.year, t.month, t.day) + secs / 86400.0;
            break;
          }
          case Kind::Text: break;
        }
        if (x != x || x >= misval || x <= -misval) x = misval;  // NaN and infinities: missing
      }
      vals[i] = x;
    }
    if (want != vartype(c.var))
      if (int rc = change_vartype(c.var, want)) return rc;
    col_encode(colview(c.var), obs, n, vals.data());
  }
  return 0;
}

// Fetches every block of the executed statement into the new dataset. 0 or
// a printed code.
int fetchall(SQLHSTMT h, std::vector<LoadCol>& cols, SQLULEN rows, long hint) {
  SQLULEN fetched = 0;
  SQLSetStmtAttr(h, SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0);
  std::vector<double> vals;
  long total = 0, block = 0;
  for (;;) {
    ++block;
    if (ds_pollbreak() || (odbcst.breakat && block >= odbcst.breakat)) return 1;
    fetched = 0;
    SQLRETURN r = SQLFetch(h);
    if (r == SQL_NO_DATA) break;
    if (!SQL_SUCCEEDED(r)) {
      std::string state;
      std::string msg = odbc_diag(SQL_HANDLE_STMT, h, &state);
      SQLINTEGER colno = 0;
      SQLGetDiagField(SQL_HANDLE_STMT, h, 1, SQL_DIAG_COLUMN_NUMBER, &colno, 0, nullptr);
      if (state.compare(0, 2, "22") == 0 || state.compare(0, 2, "07") == 0) {
        const char* nm = colno >= 1 && static_cast<size_t>(colno) <= cols.size() ? cols[static_cast<size_t>(colno - 1)].name.c_str() : "";
        return errmsgf(RC_ODBCFETCH, "could not fetch variable %s in odbc table: %s\n", nm, msg.c_str());
      }
      return errmsgf(RC_SYNTAX, "fetching the result failed: %s\n", msg.c_str());
    }
    const long n = static_cast<long>(std::min(fetched, rows));
    if (n == 0) break;
    if (total + n > ds.nobs) {  // room in doubling steps, trimmed at the end
      const long cap = obscapacity() - 1;
      if (total + n > cap) return error(RC_NOROOMOBS);
      long want = std::max(total + n, std::min(cap, ds.nobs ? 2 * ds.nobs : std::max(hint, 4 * static_cast<long>(rows))));
      if (int rc = setobs_uninit(want)) return rc;
    }
    if (int rc = storeblock(cols, total + 1, n, vals)) return rc;
    total += n;
  }
  if (ds.nobs > total) (void)keepobsrange(1, total);
  return 0;
}

}  // namespace

int odbc_load(OdbcConn& conn, const std::string& query, const OdbcLoadOpts& o) {
  Stmt s;
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, conn.dbc, &s.h))) {
    s.h = SQL_NULL_HSTMT;
    return errmsgf(RC_SYNTAX, "the query could not be prepared: %s\n", odbc_diag(SQL_HANDLE_DBC, conn.dbc).c_str());
  }
  std::string q = query;
  SQLRETURN r = SQLExecDirect(s.h, reinterpret_cast<SQLCHAR*>(q.data()), static_cast<SQLINTEGER>(q.size()));
  if (!SQL_SUCCEEDED(r) && r != SQL_NO_DATA) return stmterr(RC_SYNTAX, s.h, "the query failed");
  std::vector<LoadCol> cols;
  SQLULEN rows = 1;
  if (int rc = bindcols(s.h, o, cols, &rows)) return rc;
  if (cols.empty()) return errmsgf(RC_SYNTAX, "the statement returned no result set\n");
  SQLLEN hint = 0;
  SQLRowCount(s.h, &hint);

  DsAside aside;
  if (int rc = ds_aside(aside)) return rc;
  ds.datalbl.clear();
  int rc = makevars(cols, o);
  if (!rc) rc = fetchall(s.h, cols, rows, hint > 0 ? static_cast<long>(hint) : 0);
  if (rc) {
    ds_aside_undo(aside);
    return rc;
  }
  ds_aside_commit(aside);
  charrm(nullptr);
  macdrop_global("S_FN");
  macdrop_global("S_FNDATE");
  ds.srtlist.clear();
  ds.updata = true;
  std::string cut;
  for (const LoadCol& c : cols)
    if (c.cut) cut += " " + varname(c.var);
  int prev = setoutlev(OUT_NOTE);
  if (!cut.empty()) spout21f("(note: text longer than %zu characters cut in:%s)\n", STRMAX, cut.c_str());
  spout21f("(%d var%s, %ld ob%s)\n", ds.nvar, ds.nvar == 1 ? "" : "s", ds.nobs, ds.nobs == 1 ? "" : "s");
  setoutlev(prev);
  return 0;
}
