// `odbc insert`'s engine: variables appended to a table (made first with
// create, emptied first with overwrite) through one prepared INSERT whose
// parameters are bound to column buffers, many rows per statement.
// Missing values and empty strings go as NULL, daily-date variables as
// DATE. Each block is committed as it goes, or (block, and always with
// overwrite) the whole insert is one transaction that a failure or Break
// rolls back. To a PostgreSQL
// server a block goes as one array per variable (see sendarrays).
#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <future>
#include <initializer_list>
#include <string>
#include <vector>

#include "data/store.h"
#include "files/odbc.h"
#include "output/errors.h"
#include "output/format.h"
#include "output/output.h"
#include "output/rc.h"
#include "platform/platform.h"

namespace {

// One bound parameter: a variable's values for a block.
struct Param {
  int var = 0;
  SQLSMALLINT ctype = SQL_C_DOUBLE, sqltype = SQL_DOUBLE;
  SQLULEN size = 0;  // column size (string width)
  size_t elem = 0;   // bytes per row in buf
  std::vector<unsigned char> buf;
  std::vector<SQLLEN> ind;
};

// True when var is a daily date (a numeric variable with a %td format).
bool isdate(int var) {
  const std::string& f = ds.fmtlist[static_cast<size_t>(var)];
  return !isstrtype(vartype(var)) && (f.rfind("%td", 0) == 0 || f.rfind("%-td", 0) == 0);
}

// The SQL type a new table gives var.
std::string sqltypeof(int var) {
  const int t = vartype(var);
  if (isstrtype(t)) return "VARCHAR(" + std::to_string(t) + ")";
  if (isdate(var)) return "DATE";
  switch (t) {
    case ST_BYTE: case ST_INT: return "SMALLINT";
    case ST_LONG: return "INTEGER";
    case ST_FLOAT: return "REAL";
    default: return "DOUBLE PRECISION";
  }
}

// Sets up the parameter of var for blocks of rows rows.
Param makeparam(int var, long rows) {
  Param p;
  p.var = var;
  const int t = vartype(var);
  if (isstrtype(t)) {
    p.ctype = SQL_C_CHAR, p.sqltype = SQL_VARCHAR, p.size = static_cast<SQLULEN>(t);
    p.elem = static_cast<size_t>(t) + 1;
  } else if (isdate(var)) {
    p.ctype = SQL_C_TYPE_DATE, p.sqltype = SQL_TYPE_DATE, p.size = 10, p.elem = sizeof(SQL_DATE_STRUCT);
  } else if (t == ST_BYTE || t == ST_INT || t == ST_LONG) {
    p.ctype = SQL_C_SLONG, p.sqltype = SQL_INTEGER, p.size = 10, p.elem = sizeof(SQLINTEGER);
  } else {
    p.ctype = SQL_C_DOUBLE, p.sqltype = SQL_DOUBLE, p.size = 15, p.elem = sizeof(SQLDOUBLE);
  }
  p.buf.assign(p.elem * static_cast<size_t>(rows), 0);
  p.ind.assign(static_cast<size_t>(rows), 0);
  return p;
}

// Fills the parameters with observations obs..obs+n-1.
void fillblock(std::vector<Param>& ps, long obs, long n, std::vector<double>& vals) {
  vals.resize(static_cast<size_t>(n));
  for (Param& p : ps) {
    const ColView c = colview(p.var);
    if (isstrtype(c.type)) {
      for (long i = 0; i < n; ++i) {
        const char* s = reinterpret_cast<const char*>(c.at(obs + i));
        size_t len = strnlen(s, static_cast<size_t>(c.type));
        unsigned char* dst = &p.buf[static_cast<size_t>(i) * p.elem];
        std::memcpy(dst, s, len);
        dst[len] = 0;
        p.ind[static_cast<size_t>(i)] = len ? static_cast<SQLLEN>(len) : SQL_NULL_DATA;
      }
      continue;
    }
    col_decode(c, obs, n, vals.data());
    for (long i = 0; i < n; ++i) {
      const double x = vals[static_cast<size_t>(i)];
      unsigned char* dst = &p.buf[static_cast<size_t>(i) * p.elem];
      SQLLEN& ind = p.ind[static_cast<size_t>(i)];
      ind = static_cast<SQLLEN>(p.elem);
      if (ismissing(x)) {
        ind = SQL_NULL_DATA;
      } else if (p.ctype == SQL_C_TYPE_DATE) {
        long long y;
        int m, d;
        fmt_dmy(static_cast<long long>(std::floor(x)), &y, &m, &d);
        SQL_DATE_STRUCT ds_{static_cast<SQLSMALLINT>(y), static_cast<SQLUSMALLINT>(m), static_cast<SQLUSMALLINT>(d)};
        std::memcpy(dst, &ds_, sizeof ds_);
      } else if (p.ctype == SQL_C_SLONG) {
        SQLINTEGER v = static_cast<SQLINTEGER>(x);
        std::memcpy(dst, &v, sizeof v);
      } else {
        std::memcpy(dst, &x, sizeof x);
      }
    }
  }
}

// A statement handle freed when it goes out of scope.
struct Stmt {
  SQLHSTMT h = SQL_NULL_HSTMT;
  ~Stmt() {
    if (h) SQLFreeHandle(SQL_HANDLE_STMT, h);
  }
};

// Runs one statement of the insert's own (create, delete). 0 or 198
// printed (unless quiet).
int direct(const OdbcConn& c, const std::string& sql, bool quiet = false) {
  Stmt s;
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, c.dbc, &s.h))) {
    s.h = SQL_NULL_HSTMT;
    return errmsgf(RC_SYNTAX, "%s\n", odbc_diag(SQL_HANDLE_DBC, c.dbc).c_str());
  }
  std::string q = sql;
  SQLRETURN r = SQLExecDirect(s.h, reinterpret_cast<SQLCHAR*>(q.data()), static_cast<SQLINTEGER>(q.size()));
  if (!SQL_SUCCEEDED(r) && r != SQL_NO_DATA) {
    if (quiet) return RC_SYNTAX;
    return errmsgf(RC_SYNTAX, "%s failed: %s\n", q.substr(0, q.find(' ', 7)).c_str(),
                   odbc_diag(SQL_HANDLE_STMT, s.h).c_str());
  }
  return 0;
}

// Ends the transaction (commit or roll back). 0 or 198 printed.
int endtran(const OdbcConn& c, bool commit) {
  if (SQL_SUCCEEDED(SQLEndTran(SQL_HANDLE_DBC, c.dbc, commit ? SQL_COMMIT : SQL_ROLLBACK))) return 0;
  return errmsgf(RC_SYNTAX, "the transaction could not be %s: %s\n", commit ? "committed" : "rolled back",
                 odbc_diag(SQL_HANDLE_DBC, c.dbc).c_str());
}

// The variables' names as a column list "(a, b, ...)".
std::string collist(const OdbcConn& c, const std::vector<int>& vars) {
  std::string res = "(";
  for (size_t k = 0; k < vars.size(); ++k) res += (k ? ", " : "") + odbc_ident(c, varname(vars[k]), false);
  return res + ")";
}

// The element type of var's array: whole numbers int8, other numbers
// float8, dates date, strings text.
const char* elemtype(int var) {
  const int t = vartype(var);
  if (isstrtype(t)) return "text";
  if (isdate(var)) return "date";
  return t == ST_BYTE || t == ST_INT || t == ST_LONG ? "int8" : "float8";
}

// Observations obs..obs+n-1 of var as the text of an array: strings
// quoted, numbers in the shortest form that reads back exactly, dates
// yyyy-mm-dd, missing values and empty strings NULL.
void arraytext(std::string& a, int var, long obs, long n, std::vector<double>& vals) {
  a.assign(1, '{');
  const ColView c = colview(var);
  if (isstrtype(c.type)) {
    for (long i = 0; i < n; ++i) {
      if (i) a += ',';
      const char* s = reinterpret_cast<const char*>(c.at(obs + i));
      const size_t len = strnlen(s, static_cast<size_t>(c.type));
      if (!len) {
        a += "NULL";
        continue;
      }
      a += '"';
      for (size_t j = 0; j < len; ++j) {
        if (s[j] == '"' || s[j] == '\\') a += '\\';
        a += s[j];
      }
      a += '"';
    }
    a += '}';
    return;
  }
  vals.resize(static_cast<size_t>(n));
  col_decode(c, obs, n, vals.data());
  const bool date = isdate(var), whole = c.type == ST_BYTE || c.type == ST_INT || c.type == ST_LONG;
  char buf[64];
  for (long i = 0; i < n; ++i) {
    if (i) a += ',';
    const double x = vals[static_cast<size_t>(i)];
    if (ismissing(x)) {
      a += "NULL";
      continue;
    }
    char* e = buf;
    if (date) {
      long long y;
      int m, d;
      fmt_dmy(static_cast<long long>(std::floor(x)), &y, &m, &d);
      e += std::snprintf(buf, sizeof buf, "%04lld-%02d-%02d%s", y > 0 ? y : 1 - y, m, d, y > 0 ? "" : " BC");
    } else if (whole) {
      e = std::to_chars(buf, buf + sizeof buf, static_cast<long long>(x)).ptr;
    } else {
      e = std::to_chars(buf, buf + sizeof buf, x).ptr;
    }
    a.append(buf, e);
  }
  a += '}';
}

// Sends the observations to a PostgreSQL server: one statement
//   INSERT INTO t (a, b) SELECT unnest(CAST(? AS int8[])), unnest(CAST(? AS text[]))
// carries a block of rows as one array text per variable, so that the
// driver handles a few parameters per block rather than one per value,
// and the server reads the values much as it reads a bulk copy (each
// then cast to its column's type as an INSERT would). 0 or a printed code.
int sendarrays(OdbcConn& c, const std::string& qt, const std::vector<int>& vars, const OdbcInsertOpts& o, long* sent) {
  std::string sql = "INSERT INTO " + qt + " " + collist(c, vars) + " SELECT ";
  long rowbytes = 0;
  for (size_t k = 0; k < vars.size(); ++k) {
    sql += std::string(k ? ", " : "") + "unnest(CAST(? AS " + elemtype(vars[k]) + "[]))";
    const int t = vartype(vars[k]);
    rowbytes += isstrtype(t) ? 2 * t + 3 : 25;
  }
  constexpr long ARRAYROWS = 16384;  // rows per statement (fewer for wide rows)
  const long rows = std::clamp((32L << 20) / std::max(rowbytes, 1L), 64L, ARRAYROWS);
  Stmt s;
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, c.dbc, &s.h))) {
    s.h = SQL_NULL_HSTMT;
    return errmsgf(RC_SYNTAX, "%s\n", odbc_diag(SQL_HANDLE_DBC, c.dbc).c_str());
  }
  if (!SQL_SUCCEEDED(SQLPrepare(s.h, reinterpret_cast<SQLCHAR*>(sql.data()), static_cast<SQLINTEGER>(sql.size()))))
    return errmsgf(RC_SYNTAX, "the insert was refused: %s\n", odbc_diag(SQL_HANDLE_STMT, s.h).c_str());
  // Two sets of array texts take turns: while the server takes one block,
  // a thread of the insert's own writes the next (reading the dataset,
  // which nothing changes meanwhile).
  std::vector<std::string> arrays[2] = {std::vector<std::string>(vars.size()), std::vector<std::string>(vars.size())};
  std::vector<double> vals[2];
  auto write = [&](int set, long obs) {
    const long n = std::min(rows, ds.nobs - obs + 1);
    for (size_t k = 0; k < vars.size(); ++k) arraytext(arrays[set][k], vars[k], obs, n, vals[set]);
  };
  std::vector<SQLLEN> lens(vars.size());
  long block = 0;
  if (ds.nobs >= 1) write(0, 1);
  for (long obs = 1, set = 0; obs <= ds.nobs; obs += rows, set ^= 1) {
    ++block;
    if (ds_pollbreak() || (odbcst.breakat && block >= odbcst.breakat)) return 1;
    const long n = std::min(rows, ds.nobs - obs + 1);
    std::future<void> next;  // waited for however this block ends
    if (obs + rows <= ds.nobs) {
      try {
        next = std::async(plat_onethread() ? std::launch::deferred : std::launch::async, write,
                          static_cast<int>(set ^ 1), obs + rows);
      } catch (const std::exception&) {  // no thread to be had: written here, after the block
        next = std::async(std::launch::deferred, write, static_cast<int>(set ^ 1), obs + rows);
      }
    }
    for (size_t k = 0; k < vars.size(); ++k) {
      std::string& a = arrays[set][k];
      lens[k] = static_cast<SQLLEN>(a.size());
      if (!SQL_SUCCEEDED(SQLBindParameter(s.h, static_cast<SQLUSMALLINT>(k + 1), SQL_PARAM_INPUT, SQL_C_CHAR,
                                          SQL_LONGVARCHAR, a.size(), 0, a.data(), lens[k], &lens[k])))
        return errmsgf(RC_SYNTAX, "variable %s cannot be sent: %s\n", varname(vars[k]).c_str(),
                       odbc_diag(SQL_HANDLE_STMT, s.h).c_str());
    }
    SQLRETURN r = SQLExecute(s.h);
    if (!SQL_SUCCEEDED(r) && r != SQL_NO_DATA)
      return errmsgf(RC_SYNTAX, "the insert was refused: %s\n", odbc_diag(SQL_HANDLE_STMT, s.h).c_str());
    if (!o.block) {
      if (int rc = endtran(c, true)) return rc;
      *sent += n;
    }
    if (next.valid()) next.wait();
  }
  return 0;
}

// Sends the observations as rows of a multi-row VALUES list of bound
// parameters (any other source). 0 or a printed code.
int sendvalues(OdbcConn& c, const std::string& qt, const std::vector<int>& vars, const OdbcInsertOpts& o, long* sent);

// The insert itself, inside the transaction(s); *sent counts observations
// committed. 0 or a printed code.
int run(OdbcConn& c, const std::string& table, const std::vector<int>& vars, const OdbcInsertOpts& opts, long* sent) {
  // Emptying the table and filling it again are one transaction, so that a
  // failed or stopped insert leaves the rows that were there.
  OdbcInsertOpts o = opts;
  if (o.overwrite) o.block = true;
  const std::string qt = odbc_ident(c, table, o.noquote);
  const bool exists = odbc_hastable(c, table);
  if (o.create && exists) return errmsgf(RC_FILEEXISTS, "table %s already exists\n", table.c_str());
  if (!o.create && !exists)
    return errmsgf(RC_NOTFOUND, "table %s not found (option create makes it)\n", table.c_str());
  if (o.create) {
    std::string sql = "CREATE TABLE " + qt + " (";
    for (size_t k = 0; k < vars.size(); ++k)
      sql += (k ? ", " : "") + odbc_ident(c, varname(vars[k]), false) + " " + sqltypeof(vars[k]);
    if (int rc = direct(c, sql + ")")) return rc;
  }
  if (o.overwrite) {
    // A PostgreSQL server empties a table in its transaction much faster
    // with TRUNCATE (which a reference from another table, or a missing
    // right, refuses: then the rows are deleted).
    bool emptied = false;
    if (c.textwire && direct(c, "SAVEPOINT empty_first", true) == 0) {
      emptied = direct(c, "TRUNCATE " + qt, true) == 0;
      if (!emptied)
        if (int rc = direct(c, "ROLLBACK TO SAVEPOINT empty_first")) return rc;
    }
    if (!emptied)
      if (int rc = direct(c, "DELETE FROM " + qt)) return rc;
  }
  if (!o.block)
    if (int rc = endtran(c, true)) return rc;
  if (int rc = c.textwire ? sendarrays(c, qt, vars, o, sent) : sendvalues(c, qt, vars, o, sent)) return rc;
  if (o.block) {
    if (int rc = endtran(c, true)) return rc;
    *sent = ds.nobs;
  }
  return 0;
}

int sendvalues(OdbcConn& c, const std::string& qt, const std::vector<int>& vars, const OdbcInsertOpts& o, long* sent) {
  // Rows per statement: a multi-row VALUES list with as many parameters as
  // the source takes (most take 999; the PostgreSQL driver about 7,000 before
  // its parameter messages grow too long for it), so that one round
  // trip carries many rows; commits every CHUNK rows or so.
  SQLCHAR dbms[64] = {0};
  SQLSMALLINT dl = 0;
  SQLGetInfo(c.dbc, SQL_DBMS_NAME, dbms, sizeof dbms, &dl);
  const long maxparams = std::strstr(reinterpret_cast<const char*>(dbms), "PostgreSQL") ? 7000 : 999;
  const long nv = static_cast<long>(vars.size());
  const long rows = std::max(1L, std::min({maxparams / nv, ODBC_BLOCKROWS, std::max(ds.nobs, 1L)}));
  const long perchunk = (ODBC_BLOCKROWS + rows - 1) / rows;  // statements between commits
  const std::string head = "INSERT INTO " + qt + " " + collist(c, vars) + " VALUES ";
  std::string tuple = "(";
  for (size_t k = 0; k < vars.size(); ++k) tuple += k ? ", ?" : "?";
  tuple += ")";
  std::vector<Param> params;
  for (int v : vars) params.push_back(makeparam(v, rows));
  // A statement for m rows, its parameters bound to rows 0..m-1 of the buffers.
  auto prepare = [&](Stmt& s, long m) -> int {
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, c.dbc, &s.h))) {
      s.h = SQL_NULL_HSTMT;
      return errmsgf(RC_SYNTAX, "%s\n", odbc_diag(SQL_HANDLE_DBC, c.dbc).c_str());
    }
    std::string sql = head;
    for (long i = 0; i < m; ++i) sql += (i ? ", " : "") + tuple;
    if (!SQL_SUCCEEDED(SQLPrepare(s.h, reinterpret_cast<SQLCHAR*>(sql.data()), static_cast<SQLINTEGER>(sql.size()))))
      return errmsgf(RC_SYNTAX, "the insert was refused: %s\n", odbc_diag(SQL_HANDLE_STMT, s.h).c_str());
    SQLUSMALLINT no = 1;
    for (long i = 0; i < m; ++i)
      for (Param& p : params) {
        if (!SQL_SUCCEEDED(SQLBindParameter(s.h, no++, SQL_PARAM_INPUT, p.ctype, p.sqltype, p.size, 0,
                                            &p.buf[static_cast<size_t>(i) * p.elem], static_cast<SQLLEN>(p.elem),
                                            &p.ind[static_cast<size_t>(i)])))
          return errmsgf(RC_SYNTAX, "variable %s cannot be sent: %s\n", varname(p.var).c_str(),
                         odbc_diag(SQL_HANDLE_STMT, s.h).c_str());
      }
    return 0;
  };
  Stmt full, tail;
  if (ds.nobs >= rows)
    if (int rc = prepare(full, rows)) return rc;
  std::vector<double> vals;
  long block = 0, stmts = 0, pending = 0;
  for (long obs = 1; obs <= ds.nobs; obs += rows) {
    if (stmts++ % perchunk == 0) {
      ++block;
      if (ds_pollbreak() || (odbcst.breakat && block >= odbcst.breakat)) return 1;
    }
    const long n = std::min(rows, ds.nobs - obs + 1);
    if (n < rows)
      if (int rc = prepare(tail, n)) return rc;
    fillblock(params, obs, n, vals);
    SQLRETURN r = SQLExecute(n < rows ? tail.h : full.h);
    if (!SQL_SUCCEEDED(r) && r != SQL_NO_DATA)
      return errmsgf(RC_SYNTAX, "the insert was refused: %s\n",
                     odbc_diag(SQL_HANDLE_STMT, n < rows ? tail.h : full.h).c_str());
    pending += n;
    if (!o.block && (stmts % perchunk == 0 || obs + n > ds.nobs)) {
      if (int rc = endtran(c, true)) return rc;
      *sent += pending;
      pending = 0;
    }
  }
  return 0;
}

}  // namespace

int odbc_insert(OdbcConn& c, const std::string& table, const std::vector<int>& vars, const OdbcInsertOpts& o) {
  if (!SQL_SUCCEEDED(SQLSetConnectAttr(c.dbc, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), 0)))
    return errmsgf(RC_SYNTAX, "the source cannot run transactions: %s\n", odbc_diag(SQL_HANDLE_DBC, c.dbc).c_str());
  long sent = 0;
  int rc = run(c, table, vars, o, &sent);
  int prev = setoutlev(OUT_NOTE);
  if (rc) {
    (void)endtran(c, false);
    if (sent) spout21f("(note: %ld observation%s had been inserted before the failure)\n", sent, sent == 1 ? "" : "s");
  } else {
    spout21f("(%ld observation%s inserted into %s)\n", sent, sent == 1 ? "" : "s", table.c_str());
  }
  setoutlev(prev);
  return rc;
}
