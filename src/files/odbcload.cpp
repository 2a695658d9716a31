// `odbc load`'s engine: a query's result set into a new dataset. Rows come in
// blocks (array fetch into column-wise buffers) and go straight into the
// columns of a dataset built beside the one in memory, which comes back
// untouched on any failure or Break. Types follow the SQL column types:
// small integers int, integers long (double once a value lies beyond long),
// other numbers double, dates daily dates, timestamps days with the fraction
// of the day, and everything else text, each string as wide as its longest
// value (up to the longest string type, longer text cut with one note).
// From the PostgreSQL driver, which holds every value as the server's text,
// plain numbers, dates and timestamps are fetched as that text and read
// here (see astext); and a query whose columns are all numbers, truth
// values, dates, timestamps or text comes in whole rows, all the values
// that are not text as one text per row, which costs the driver a tenth
// of the work (see wholerows), its numbers read as the
// rows are split while a thread of the load's own fetches the next ones
// (see fetchrows). From SQLite's, columns of fractions come as text made by
// the database with all their digits (see exactreals).
#include <fast_float/fast_float.h>
#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "data/store.h"
#include "files/files.h"
#include "files/odbc.h"
#include "output/errors.h"
#include "output/format.h"
#include "output/output.h"
#include "output/rc.h"
#include "platform/platform.h"

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
  bool text = false;               // a number or date fetched as text and read here
  bool boolean = false;            // a truth value given as t or f (in whole rows)
  std::vector<double> num;         // whole rows: the block's values, read as the rows are split
  int want = 0;                    // whole rows: the storage type the block's values need
};

// One result column fetched in whole rows (see wholerows): its buffer for a
// block, with the longest text it takes.
struct Bound {
  size_t width = 0;
  std::vector<unsigned char> buf;
  std::vector<SQLLEN> ind;
};

// A result fetched in whole rows: the numbers (and truth values, dates and
// timestamps) of a row as one text "v1,v2,...", an empty field for NULL,
// when there are any (with the last text column at its end), then each
// other text column as its own result column; all
// go into the columns' buffers as though they were bound (see wholerows).
struct Rows {
  bool on = false;
  bool nums = false;           // part[0] is the row of numbers
  std::vector<Bound> part;     // the result columns in order
  std::vector<size_t> texts;   // the text columns' places in cols, in order
  long tail = -1;              // the place in cols of the text column that ends the row of numbers (-1 none)
};

// What a row too long for its buffer, or not in the form expected, returns:
// the load starts again with the columns bound one by one.
constexpr int RC_ROWSAGAIN = -2;

// Bytes a number, date or timestamp fetched as text takes (with its 0).
constexpr size_t TEXTCELL = 48;

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
// it already does): byte, then int, then long, then double (and double for
// a number with a fraction, which some drivers give in an integer column).
int widerint(int t, double x) {
  if (t == ST_DOUBLE || x != std::floor(x)) return ST_DOUBLE;
  if (t == ST_BYTE && x >= -127 && x <= 100) return t;
  if ((t == ST_BYTE || t == ST_INT) && x >= -32767 && x <= 32740) return ST_INT;
  if (x >= -2147483647.0 && x <= 2147483620.0) return ST_LONG;
  return ST_DOUBLE;
}

// True when column col (of kind k, not text) is better fetched as the
// PostgreSQL driver's text and read here: its plain number types, which it
// would read from that text again with more work per value than ours, and
// dates and timestamps, which it turns into wrong dates without a word
// when it cannot read them (infinite ones, years past 9999); as text they
// are caught. Other types (numeric, money, booleans) it converts itself.
bool astext(SQLHSTMT h, SQLUSMALLINT col, Kind k) {
  if (k == Kind::Date || k == Kind::Stamp) return true;
  char tn[64] = {0};
  SQLSMALLINT len = 0;
  SQLLEN num = 0;
  if (!SQL_SUCCEEDED(SQLColAttribute(h, col, SQL_DESC_TYPE_NAME, tn, sizeof tn, &len, &num))) return false;
  for (const char* plain : {"int2", "int4", "int8", "oid", "float4", "float8"})
    if (std::strcmp(tn, plain) == 0) return true;
  return false;
}

// Reads the unsigned decimal digits at p (at least one, at most 9) into
// *v; the end, or nullptr when there are none.
const char* digits(const char* p, const char* e, int* v) {
  const char* b = p;
  *v = 0;
  while (p < e && p - b < 9 && *p >= '0' && *p <= '9') *v = *v * 10 + (*p++ - '0');
  return p > b ? p : nullptr;
}

// Days since 01jan1960 of a date "yyyy-mm-dd" that starts text p..e (of
// the year before Christ yyyy when bc: year 1 - yyyy counting on through
// 0); the end of the date, or nullptr when it is not a valid one.
const char* readdate(const char* p, const char* e, bool bc, double* x) {
  int y = 0, m = 0, d = 0;
  if (!(p = digits(p, e, &y)) || p == e || *p++ != '-') return nullptr;
  if (!(p = digits(p, e, &m)) || p == e || *p++ != '-') return nullptr;
  if (!(p = digits(p, e, &d))) return nullptr;
  long long yy = 0;
  int mm = 0, dd = 0;
  if (y < 1 || m < 1 || m > 12 || d < 1 || d > 31) return nullptr;
  const long long year = bc ? 1 - y : y;
  const long long t = fmt_mdy(year, m, d);
  fmt_dmy(t, &yy, &mm, &dd);  // 31feb and the like come back as another day
  if (yy != year || mm != m || dd != d) return nullptr;
  *x = static_cast<double>(t);
  return p;
}

// Reads the text of a number, date or timestamp (a column of kind k) into
// x: NaN and infinities as missing. False when it is not one. Dates and
// timestamps before the year 1 end in " BC" (the server's way); the driver
// would drop that mark and give the year as though it were after Christ.
bool readtext(Kind k, const char* p, size_t n, double* x) {
  const char* e = p + n;
  const bool bc = (k == Kind::Date || k == Kind::Stamp) && n > 3 && std::memcmp(e - 3, " BC", 3) == 0;
  if (bc) e -= 3;
  switch (k) {
    case Kind::Int: {  // an integer, else (from some drivers) any number
      long long v = 0;
      auto r = std::from_chars(p, e, v);
      *x = static_cast<double>(v);
      if (r.ec == std::errc() && r.ptr == e) return true;
      auto f = fast_float::from_chars(p, e, *x);
      return f.ptr == e && n > 0 && f.ec == std::errc();
    }
    case Kind::Double: {
      auto r = fast_float::from_chars(p, e, *x);
      if (r.ptr != e || n == 0) return false;
      if (!(*x > -misval && *x < misval)) *x = misval;
      return true;
    }
    case Kind::Date: return readdate(p, e, bc, x) == e;
    case Kind::Stamp: {  // yyyy-mm-dd hh:mm:ss[.fraction][zone offset, the time being the zone's]
      if (!(p = readdate(p, e, bc, x)) || p == e || (*p != ' ' && *p != 'T')) return false;
      int h = 0, mi = 0, s = 0;
      if (!(p = digits(p + 1, e, &h)) || p == e || *p++ != ':') return false;
      if (!(p = digits(p, e, &mi)) || p == e || *p++ != ':') return false;
      if (!(p = digits(p, e, &s)) || h > 24 || mi > 59 || s > 60) return false;
      double secs = h * 3600.0 + mi * 60.0 + s, scale = 0.1;
      if (p < e && *p == '.')
        for (++p; p < e && *p >= '0' && *p <= '9'; ++p, scale /= 10) secs += (*p - '0') * scale;
      if (p < e && (*p == '+' || *p == '-')) {
        int z = 0;
        for (++p; p < e && ((*p >= '0' && *p <= '9') || *p == ':'); ++p) ++z;
        if (z < 2) return false;
      }
      *x += secs / 86400.0;
      return p == e;
    }
    case Kind::Text: break;
  }
  return false;
}

// The value a column bound in its C type holds at p, as a double.
double readbound(Kind k, const unsigned char* p) {
  switch (k) {
    case Kind::Int: {
      SQLBIGINT b;
      std::memcpy(&b, p, sizeof b);
      return static_cast<double>(b);
    }
    case Kind::Double: {
      double x;
      std::memcpy(&x, p, sizeof x);
      return x;
    }
    case Kind::Date: {
      SQL_DATE_STRUCT d;
      std::memcpy(&d, p, sizeof d);
      return days(d.year, d.month, d.day);
    }
    case Kind::Stamp: {
      SQL_TIMESTAMP_STRUCT t;
      std::memcpy(&t, p, sizeof t);
      double secs = t.hour * 3600.0 + t.minute * 60.0 + t.second + t.fraction / 1e9;
      return days(t.year, t.month, t.day) + secs / 86400.0;
    }
    case Kind::Text: break;
  }
  return misval;
}

// Fails the load over a value fetched as text that is not what its column
// holds: 683 printed.
int badcell(const LoadCol& c, const unsigned char* p, SQLLEN len) {
  const char* what = c.kind == Kind::Date ? "date" : c.kind == Kind::Stamp ? "timestamp" : "number";
  const int n = static_cast<int>(std::clamp<SQLLEN>(len, 0, TEXTCELL - 1));
  return errmsgf(RC_ODBCFETCH, "could not fetch variable %s in odbc table: the driver gave \"%.*s%s\", which is not a %s\n",
                 c.name.c_str(), n, reinterpret_cast<const char*>(p), len >= static_cast<SQLLEN>(TEXTCELL) ? "..." : "", what);
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

// A column's name and kind as the query gives it, and whether the wrapped
// query gives it as text to be read here.
struct Described {
  std::string name;
  Kind kind;
  bool text = false;
};

// The columns of query (prepared, not run) as the driver describes them.
// False when it cannot prepare or describe it, or the query has none.
bool describe(SQLHSTMT h, const std::string& query, std::vector<Described>& d) {
  std::string q = query;
  SQLSMALLINT ncol = 0;
  if (!SQL_SUCCEEDED(SQLPrepare(h, reinterpret_cast<SQLCHAR*>(q.data()), static_cast<SQLINTEGER>(q.size()))) ||
      !SQL_SUCCEEDED(SQLNumResultCols(h, &ncol)) || ncol <= 0)
    return false;
  for (SQLUSMALLINT k = 1; k <= ncol; ++k) {
    SQLCHAR name[256] = {0};
    SQLSMALLINT nl = 0, type = 0, dec = 0, nul = 0;
    SQLULEN size = 0;
    if (!SQL_SUCCEEDED(SQLDescribeCol(h, k, name, sizeof name, &nl, &type, &size, &dec, &nul))) return false;
    d.push_back({reinterpret_cast<const char*>(name), kindof(type, false)});
  }
  SQLFreeStmt(h, SQL_CLOSE);
  return true;
}

// SQLite keeps whatever a row holds whatever its column's declared type,
// and its driver gives a number of a column of fractions through a text of
// 15 digits (the last ones lost), text there as a missing value, and text
// that starts like a number ("1.5e") as that number, all without a word.
// So a query with such columns is wrapped to have them as text, fractions
// with all their digits and text as it is (caught when read):
// SELECT q."id", CASE WHEN typeof(q."x") = 'real' THEN printf('%!.17g',
// q."x") ELSE CAST(q."x" AS TEXT) END AS "x", ... FROM (query) AS q, a
// quote in a name doubled. Columns that cannot be told apart by name (the
// same name twice, in any case) are named by place instead:
// WITH zelta_cols(c1, c2, ...) AS (query) SELECT zelta_cols.c1 AS "id", ...
// FROM zelta_cols. The query unchanged when it has no such columns; else
// the wrapped one, with the columns' own names and kinds in *as.
std::string exactreals(SQLHSTMT h, const std::string& query, std::vector<Described>* as) {
  std::vector<Described> d;
  if (!describe(h, query, d)) return query;
  std::vector<std::string> low;
  bool any = false, clash = false;
  for (Described& c : d) {
    std::string l = c.name;
    for (char& ch : l) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    if (l.empty() || std::find(low.begin(), low.end(), l) != low.end()) clash = true;
    low.push_back(l);
    if (c.kind == Kind::Double) c.text = any = true;
  }
  if (!any) return query;
  auto quoted = [](const std::string& name) {
    std::string r = "\"";
    for (char ch : name) r.append(ch == '"' ? 2 : 1, ch);
    return r + '"';
  };
  std::string list, places;
  for (size_t k = 0; k < d.size(); ++k) {
    const Described& c = d[k];
    const std::string place = std::string(1, 'c').append(std::to_string(k + 1));
    const std::string ref = clash ? "zelta_cols." + place : "q." + quoted(c.name);
    if (!list.empty()) list += ", ", places += ", ";
    places += place;
    if (c.text)
      list += "CASE WHEN typeof(" + ref + ") = 'real' THEN printf('%!.17g', " + ref + ") ELSE CAST(" + ref + " AS TEXT) END";
    else
      list += ref;
    if ((c.text || clash) && !c.name.empty()) list += " AS " + quoted(c.name);
  }
  *as = std::move(d);
  const size_t e = query.find_last_not_of(" \t\r\n;");
  const std::string body = query.substr(0, e == std::string::npos ? 0 : e + 1);
  if (clash) return "WITH zelta_cols(" + places + ") AS (" + body + "\n) SELECT " + list + " FROM zelta_cols";
  return "SELECT " + list + " FROM (" + body + "\n) AS q";
}

// The PostgreSQL driver's own text of a date leaves out " BC", and it
// gives the timestamp '-infinity' as a date before Christ, so a query with
// date or timestamp columns is wrapped to have the server turn those into
// text: SELECT q.c1, q.c2::text, ... FROM (query) AS q(c1, c2, ...). The
// query unchanged when it has none (or cannot be described); else the
// wrapped one, with the columns' own names and kinds in *as.
std::string servertext(SQLHSTMT h, const std::string& query, std::vector<Described>* as) {
  std::vector<Described> d;
  if (!describe(h, query, d)) return query;
  bool dates = false;
  std::string list, names;
  for (size_t k = 1; k <= d.size(); ++k) {
    const bool date = d[k - 1].kind == Kind::Date || d[k - 1].kind == Kind::Stamp;
    dates = dates || date;
    const std::string c = std::string(1, 'c').append(std::to_string(k));
    if (k > 1) list += ", ", names += ", ";
    list += "q.";
    list += c;
    if (date) list += "::text";
    names += c;
  }
  if (!dates) return query;
  *as = std::move(d);
  const size_t e = query.find_last_not_of(" \t\r\n;");
  return "SELECT " + list + " FROM (" + query.substr(0, e == std::string::npos ? 0 : e + 1) + "\n) AS q(" + names + ")";
}

// Describes the result columns and binds their buffers for blocks of
// `rows` rows; a column's name and kind come from as when it is given
// (see servertext). 0, or 683 printed.
int bindcols(SQLHSTMT h, const OdbcConn& conn, const OdbcLoadOpts& o, std::vector<LoadCol>& cols, SQLULEN* rows,
             const std::vector<Described>& as) {
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
    if (k <= as.size()) c.name = as[k - 1].name, c.kind = as[k - 1].kind;
    c.start = c.kind == Kind::Int ? (type == SQL_INTEGER ? ST_LONG : type == SQL_SMALLINT ? ST_INT : ST_BYTE)
              : c.kind == Kind::Date ? ST_LONG : c.kind == Kind::Text ? 1 : ST_DOUBLE;
    switch (c.kind) {
      case Kind::Int: c.ctype = SQL_C_SBIGINT, c.elem = sizeof(SQLBIGINT); break;
      case Kind::Double: c.ctype = SQL_C_DOUBLE, c.elem = sizeof(SQLDOUBLE); break;
      case Kind::Date: c.ctype = SQL_C_TYPE_DATE, c.elem = sizeof(SQL_DATE_STRUCT); break;
      case Kind::Stamp: c.ctype = SQL_C_TYPE_TIMESTAMP, c.elem = sizeof(SQL_TIMESTAMP_STRUCT); break;
      case Kind::Text: c.ctype = SQL_C_CHAR, c.elem = STRMAX + 1; break;
    }
    if (c.kind != Kind::Text && ((conn.textwire && astext(h, k, c.kind)) || (k <= as.size() && as[k - 1].text)))
      c.text = true, c.ctype = SQL_C_CHAR, c.elem = TEXTCELL;
    // Other drivers (SQLite's) hand a value of an integer column that is
    // not a number as NULL, and one with a fraction cut to an integer: as
    // text, the first is caught and the second kept whole.
    if (c.kind == Kind::Int && type != SQL_BIT && !conn.textwire) c.text = true, c.ctype = SQL_C_CHAR, c.elem = TEXTCELL;
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
      const std::string base = std::string(1, 'v').append(std::to_string(k + 1));
      name = base;
      for (int sfx = 2; findvarexact(name.c_str()); ++sfx) name = base + '_' + std::to_string(sfx);
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
    if (!c.num.empty()) {  // whole rows: read as they were split
      if (c.want != vartype(c.var))
        if (int rc = change_vartype(c.var, c.want)) return rc;
      col_encode(colview(c.var), obs, n, c.num.data());
      continue;
    }
    int want = vartype(c.var);
    for (size_t i = 0; i < nn; ++i) {
      double x = misval;
      const SQLLEN len = c.ind[i];
      if (len != SQL_NULL_DATA) {
        const unsigned char* p = &c.buf[i * c.elem];
        if (!c.text) {
          x = readbound(c.kind, p);
        } else if (len < 0 || len >= static_cast<SQLLEN>(TEXTCELL) ||
                   !readtext(c.kind, reinterpret_cast<const char*>(p), static_cast<size_t>(len), &x)) {
          return badcell(c, p, len);
        }
        if (c.kind == Kind::Int) want = widerint(want, x);
        if (!(x > -misval && x < misval)) x = misval;  // NaN and infinities: missing
      }
      vals[i] = x;
    }
    if (want != vartype(c.var))
      if (int rc = change_vartype(c.var, want)) return rc;
    col_encode(colview(c.var), obs, n, vals.data());
  }
  return 0;
}

// Makes room for observations up to total + n: in doubling steps (the data
// area grows where it is, so no cells move), trimmed at the end. 0 or a
// code.
int room(long total, long n, long hint, SQLULEN rows) {
  if (total + n <= ds.nobs) return 0;
  const long cap = obscapacity() - 1;
  if (total + n > cap) return error(RC_NOROOMOBS);
  long want = std::max(total + n, std::min(cap, ds.nobs ? 2 * ds.nobs : std::max(hint, 4 * static_cast<long>(rows))));
  return setobs_uninit(want);
}

// Fails the load over a fetch the driver refused: 683 naming the column
// for a value it could not convert, else 198; printed.
int fetcherr(SQLHSTMT h, const std::vector<LoadCol>& cols) {
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

// True when the load is to stop at this block (Break, or the test hook).
bool stopat(long block) { return ds_pollbreak() || (odbcst.breakat && block >= odbcst.breakat); }

// Fetches every block of the executed statement, bound column by column,
// into the new dataset. 0 or a printed code.
int fetchblocks(SQLHSTMT h, std::vector<LoadCol>& cols, SQLULEN rows, long hint) {
  SQLULEN fetched = 0;
  SQLSetStmtAttr(h, SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0);
  std::vector<double> vals;
  long total = 0, block = 0;
  for (;;) {
    if (stopat(++block)) return 1;
    fetched = 0;
    SQLRETURN r = SQLFetch(h);
    if (r == SQL_NO_DATA) break;
    if (!SQL_SUCCEEDED(r)) return fetcherr(h, cols);
    const long n = static_cast<long>(std::min(fetched, rows));
    if (n == 0) break;
    if (int rc = room(total, n, hint, rows)) return rc;
    if (int rc = storeblock(cols, total + 1, n, vals)) return rc;
    total += n;
  }
  if (ds.nobs > total) (void)keepobsrange(1, total);
  return 0;
}

// A block of one result column's texts packed end to end: row i is at..
// off[i] with length (or SQL_NULL_DATA, SQL_NO_TOTAL) len[i].
struct Column {
  std::vector<unsigned char> text;
  std::vector<size_t> off;
  std::vector<SQLLEN> len;
};

// A block of whole rows, a Column for each of Rows' parts.
struct Packed {
  std::vector<Column> part;
  size_t bytes = 0;  // their texts' sizes together
  size_t rows() const { return part.empty() ? 0 : part[0].len.size(); }
};

// Whole rows come through a pipeline: a thread of the load's own fetches
// block after block (the driver's work, and the server's, since the driver
// asks it for the next rows once it has handed over the ones it holds)
// and packs the row texts into a queue, while this thread splits and stores
// the blocks before. The queue holds at most this many bytes of text, so
// memory stays bounded; it is more than one of the server's fetches of
// rows of numbers, so the server makes the next one while the rows before
// are read here.
constexpr size_t PIPEBYTES = 24u << 20;

struct Pipe {
  std::mutex m;
  std::condition_variable cv;
  std::deque<Packed> q;
  size_t bytes = 0;
  bool done = false;      // the fetching thread has finished
  bool stop = false;      // it is to finish now
  SQLRETURN failed = SQL_SUCCESS;  // the fetch that failed (SQL_SUCCESS none)
};

// Bytes of a fetched text of length len that its buffer, of width + 1
// bytes, holds (all of it when the driver gives no length).
size_t held(SQLLEN len, size_t width) {
  return len > 0 ? std::min(static_cast<size_t>(len), width + 1) : len == SQL_NO_TOTAL ? width : 0;
}

// Fetches the next block of rt's columns (fetched the driver's count of
// its rows) and packs their texts into b: SQL_SUCCESS, SQL_NO_DATA at the
// end, or the failed fetch's return.
SQLRETURN fetchone(SQLHSTMT h, const Rows& rt, SQLULEN rows, SQLULEN& fetched, Packed& b) {
  fetched = 0;
  const SQLRETURN r = SQLFetch(h);
  if (r == SQL_NO_DATA || !SQL_SUCCEEDED(r)) return r;
  const size_t n = static_cast<size_t>(std::min(fetched, rows));
  if (n == 0) return SQL_NO_DATA;
  b.part.resize(rt.part.size());
  b.bytes = 0;
  for (size_t j = 0; j < rt.part.size(); ++j) {
    const Bound& f = rt.part[j];
    Column& c = b.part[j];
    c.off.resize(n);
    c.len.assign(f.ind.begin(), f.ind.begin() + static_cast<long>(n));
    size_t at = 0;
    for (size_t i = 0; i < n; ++i) {
      c.off[i] = at;
      at += held(c.len[i], f.width);
    }
    c.text.resize(at);
    for (size_t i = 0; i < n; ++i)
      if (const size_t m = held(c.len[i], f.width)) std::memcpy(c.text.data() + c.off[i], &f.buf[i * (f.width + 1)], m);
    b.bytes += at;
  }
  return SQL_SUCCESS;
}

// The fetching thread: blocks packed into p's queue until the result ends,
// a fetch fails or it is told to stop. Only this thread calls the driver
// while it runs.
void fetcher(SQLHSTMT h, const Rows& rt, SQLULEN rows, SQLULEN& fetched, Pipe& p) {
  for (;;) {
    {
      std::unique_lock<std::mutex> lk(p.m);
      p.cv.wait(lk, [&] { return p.stop || p.bytes < PIPEBYTES; });
      if (p.stop) break;
    }
    Packed b;
    const SQLRETURN r = fetchone(h, rt, rows, fetched, b);
    std::lock_guard<std::mutex> lk(p.m);
    if (r != SQL_SUCCESS) {
      if (r != SQL_NO_DATA) p.failed = r;
      break;
    }
    p.bytes += b.bytes;
    p.q.push_back(std::move(b));
    p.cv.notify_all();
  }
  std::lock_guard<std::mutex> lk(p.m);
  p.done = true;
  p.cv.notify_all();
}

int splitrows(const Packed& b, const Rows& rt, std::vector<LoadCol>& cols);

// Fetches every block of the executed statement as whole rows (see
// wholerows) into the new dataset, through the pipeline above. 0 or a
// printed code (RC_ROWSAGAIN not printed).
int fetchrows(SQLHSTMT h, std::vector<LoadCol>& cols, SQLULEN rows, long hint, const Rows& rt) {
  Pipe p;
  SQLULEN fetched = 0;
  SQLSetStmtAttr(h, SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0);
  std::thread t;
  bool threaded = !plat_onethread();
  try {
    if (threaded) t = std::thread(fetcher, h, std::cref(rt), rows, std::ref(fetched), std::ref(p));
  } catch (const std::system_error&) {
    threaded = false;  // no thread to be had: this one fetches each block in turn
  }
  std::vector<double> vals;
  long total = 0, block = 0;
  int rc = 0;
  for (;;) {
    if (stopat(++block)) {
      rc = 1;
      break;
    }
    Packed b;
    if (!threaded) {
      const SQLRETURN r = fetchone(h, rt, rows, fetched, b);
      if (r != SQL_SUCCESS) {
        if (r != SQL_NO_DATA) p.failed = r;
        break;
      }
    } else {
      std::unique_lock<std::mutex> lk(p.m);
      p.cv.wait(lk, [&] { return p.done || !p.q.empty(); });
      if (p.q.empty()) break;
      b = std::move(p.q.front());
      p.q.pop_front();
      p.bytes -= b.bytes;
      p.cv.notify_all();
    }
    const long n = static_cast<long>(b.rows());
    if ((rc = splitrows(b, rt, cols))) break;
    if ((rc = room(total, n, hint, rows))) break;
    if ((rc = storeblock(cols, total + 1, n, vals))) break;
    total += n;
  }
  if (threaded) {
    {
      std::lock_guard<std::mutex> lk(p.m);
      p.stop = true;
      p.cv.notify_all();
    }
    t.join();
  }
  if (!rc && p.failed != SQL_SUCCESS) rc = fetcherr(h, cols);
  if (!rc && ds.nobs > total) (void)keepobsrange(1, total);
  return rc;
}

// Splits a block of whole rows into the columns. The row of numbers (each
// at most its width) holds a field for each column that is not text, in
// order, separated by commas: empty for NULL, else the server's text of
// the value, which never holds a comma; they are read at once into the
// columns' values. Each text column's texts go to its buffer as the driver
// would have put them there. 0, 683 printed for a value that is not what
// its column holds, or RC_ROWSAGAIN for a row that was cut or is not in
// that form.
int splitrows(const Packed& b, const Rows& rt, std::vector<LoadCol>& cols) {
  const size_t n = b.rows();
  if (rt.nums) {
    const Column& r = b.part[0];
    for (size_t i = 0; i < n; ++i) {
      const SQLLEN len = r.len[i];
      const size_t width = rt.part[0].width;
      if (len < 0 || (static_cast<size_t>(len) > width && rt.tail < 0)) return RC_ROWSAGAIN;
      const size_t have = std::min(static_cast<size_t>(len), width);  // the bytes the buffer held
      const unsigned char* q = r.text.data() + r.off[i];
      const unsigned char* const start = q;
      const unsigned char* end = q + have;
      bool first = true;
      for (LoadCol& c : cols) {
        if (c.num.empty()) continue;
        if (!first && (q >= end || *q++ != ',')) return RC_ROWSAGAIN;
        first = false;
        const unsigned char* from = q;
        while (q < end && *q != ',') ++q;
        const size_t m = static_cast<size_t>(q - from);
        double x = misval;
        if (m > 0) {
          const char* f = reinterpret_cast<const char*>(from);
          if (c.boolean) {  // t or f, or true or false in a row with NULLs
            if (!(m == 1 || (m == 4 && f[0] == 't') || (m == 5 && f[0] == 'f')) || (f[0] != 't' && f[0] != 'f'))
              return RC_ROWSAGAIN;
            x = f[0] == 't';
          } else if (!readtext(c.kind, f, m, &x)) {
            return badcell(c, from, static_cast<SQLLEN>(m));
          }
          if (c.kind == Kind::Int) c.want = widerint(c.want, x);
          if (!(x > -misval && x < misval)) x = misval;  // NaN and infinities: missing
        }
        c.num[i] = x;
      }
      if (rt.tail >= 0) {  // then the text, unless it is NULL
        LoadCol& c = cols[static_cast<size_t>(rt.tail)];
        if (q == end) {
          if (have < static_cast<size_t>(len)) return RC_ROWSAGAIN;
          c.ind[i] = SQL_NULL_DATA;
          continue;
        }
        if (*q++ != ',') return RC_ROWSAGAIN;
        const size_t m = std::min(static_cast<size_t>(end - q), c.elem - 1);
        unsigned char* dst = &c.buf[i * c.elem];
        std::memcpy(dst, q, m);
        dst[m] = 0;
        c.ind[i] = len - (q - start);  // its whole length, longer than what was kept when it was cut
        continue;
      }
      if (q != end) return RC_ROWSAGAIN;
    }
  }
  for (size_t j = rt.nums ? 1 : 0, t = 0; j < b.part.size(); ++j, ++t) {
    const Column& f = b.part[j];
    LoadCol& c = cols[rt.texts[t]];
    for (size_t i = 0; i < n; ++i) {
      c.ind[i] = f.len[i];
      const size_t m = std::min(held(f.len[i], rt.part[j].width), c.elem - 1);
      unsigned char* dst = &c.buf[i * c.elem];
      std::memcpy(dst, f.text.data() + f.off[i], m);
      dst[m] = 0;
    }
  }
  return 0;
}

// From the PostgreSQL driver, whose work per value dominates a load, the
// values of a query whose columns are all of plain types (numbers, truth
// values, dates, timestamps, text) are fetched in whole rows and split
// here: the columns that are not text as one text per row built by the
// server, the text columns as they are,
//   SELECT CASE WHEN num_nulls(q.c1, ...) = 0 THEN concat_ws(',', q.c1, ...)
//          ELSE concat_ws(',', coalesce(q.c1::text, ''), ...) END, q.c3, ...
//   FROM (query) AS q(c1, c2, c3, ...)
// which costs the driver a tenth of the work of a value each, and the
// server less than a row's text of all its values. The last text column
// ends the row of numbers instead of coming by itself (after the numbers'
// last comma the rest is its text, and it is NULL when there is no rest),
// and may be cut there when it is longer than the longest string type.
// (concat_ws leaves NULLs
// out, so a row with NULLs takes the slower form that keeps their places;
// it writes a truth value t or f, its cast to text true or false). A
// function takes at most 100 arguments: a query with more than 98 columns
// that are not text is loaded value by value. False when the query's
// columns are not all such, or it cannot be wrapped; else the wrapped
// query is executed and its columns bound, cols made and *rows set.
bool wholerows(SQLHSTMT h, const std::string& query, std::vector<LoadCol>& cols, Rows& rt, SQLULEN* rows) {
  std::string q = query;
  if (!SQL_SUCCEEDED(SQLPrepare(h, reinterpret_cast<SQLCHAR*>(q.data()), static_cast<SQLINTEGER>(q.size())))) return false;
  SQLSMALLINT ncol = 0;
  if (!SQL_SUCCEEDED(SQLNumResultCols(h, &ncol)) || ncol <= 0) return false;
  size_t width = 0;
  std::string nums, plain, texts, names;
  int nnums = 0;
  for (SQLUSMALLINT k = 1; k <= ncol; ++k) {
    SQLCHAR name[256] = {0};
    SQLSMALLINT nl = 0, type = 0, dec = 0, nul = 0;
    SQLULEN size = 0;
    char tn[64] = {0};
    SQLLEN num = 0;
    if (!SQL_SUCCEEDED(SQLDescribeCol(h, k, name, sizeof name, &nl, &type, &size, &dec, &nul)) ||
        !SQL_SUCCEEDED(SQLColAttribute(h, k, SQL_DESC_TYPE_NAME, tn, sizeof tn, &nl, &num)))
      return false;
    const std::string t = tn;
    LoadCol c;
    c.name = reinterpret_cast<const char*>(name);
    c.kind = kindof(type, false);
    c.boolean = t == "bool";
    const bool number = t == "int2" || t == "int4" || t == "int8" || t == "oid" || t == "float4" || t == "float8" ||
                        t == "numeric" || t == "date" || t.rfind("timestamp", 0) == 0;  // with or without time zone
    const bool text = t == "text" || t == "varchar" || t == "bpchar";
    if (!(number || text || c.boolean) || (text != (c.kind == Kind::Text))) return false;
    c.start = c.kind == Kind::Int ? (type == SQL_INTEGER ? ST_LONG : type == SQL_SMALLINT ? ST_INT : ST_BYTE)
              : c.kind == Kind::Date ? ST_LONG : c.kind == Kind::Text ? 1 : ST_DOUBLE;
    c.want = c.start;
    c.text = !text;
    c.elem = text ? STRMAX + 1 : TEXTCELL;
    const std::string ref = "q.c" + std::to_string(k);
    names += (k > 1 ? ", c" : "c") + std::to_string(k);
    if (text) {
      rt.texts.push_back(cols.size());
    } else {
      nums += (nums.empty() ? "coalesce(" : ", coalesce(") + ref + "::text, '')";
      plain += (plain.empty() ? "" : ", ") + ref;
      ++nnums;
      width += TEXTCELL + 1;
    }
    cols.push_back(std::move(c));
  }
  SQLFreeStmt(h, SQL_CLOSE);
  size_t e = q.find_last_not_of(" \t\r\n;");
  if (nnums > 98) return false;
  const std::string nonull = plain;
  if (nnums > 0 && !rt.texts.empty()) {
    rt.tail = static_cast<long>(rt.texts.back());
    rt.texts.pop_back();
    plain += ", q.c" + std::to_string(rt.tail + 1);
    nums += ", q.c" + std::to_string(rt.tail + 1);
    width += STRMAX + 1;
  }
  for (size_t t : rt.texts) texts += ", q.c" + std::to_string(t + 1);
  std::string list = nums.empty() ? texts.substr(2)
                                  : "CASE WHEN num_nulls(" + nonull + ") = 0 THEN concat_ws(',', " + plain +
                                        ") ELSE concat_ws(',', " + nums + ") END" + texts;
  q = "SELECT " + list + " FROM (" + q.substr(0, e == std::string::npos ? 0 : e + 1) + "\n) AS q(" + names + ")";
  SQLRETURN r = SQLExecDirect(h, reinterpret_cast<SQLCHAR*>(q.data()), static_cast<SQLINTEGER>(q.size()));
  if (!SQL_SUCCEEDED(r)) return false;
  rt.on = true;
  rt.nums = !nums.empty();
  if (rt.nums) rt.part.push_back(Bound{width, {}, {}});
  for (size_t k = 0; k < rt.texts.size(); ++k) rt.part.push_back(Bound{STRMAX, {}, {}});
  long rowbytes = 0;
  for (const Bound& f : rt.part) rowbytes += static_cast<long>(f.width + 1 + sizeof(SQLLEN));
  for (const LoadCol& c : cols) rowbytes += static_cast<long>(c.text ? sizeof(double) : c.elem + sizeof(SQLLEN));
  *rows = static_cast<SQLULEN>(odbc_blockrows(rowbytes));
  SQLSetStmtAttr(h, SQL_ATTR_ROW_BIND_TYPE, reinterpret_cast<SQLPOINTER>(SQL_BIND_BY_COLUMN), 0);
  if (!SQL_SUCCEEDED(SQLSetStmtAttr(h, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(*rows), 0))) return false;
  for (LoadCol& c : cols) {
    if (c.text) {
      c.num.assign(*rows, 0);
    } else {
      c.buf.assign(c.elem * *rows, 0);
      c.ind.assign(*rows, 0);
    }
  }
  for (size_t j = 0; j < rt.part.size(); ++j) {
    Bound& f = rt.part[j];
    f.buf.assign((f.width + 1) * *rows, 0);
    f.ind.assign(*rows, 0);
    if (!SQL_SUCCEEDED(SQLBindCol(h, static_cast<SQLUSMALLINT>(j + 1), SQL_C_CHAR, f.buf.data(),
                                  static_cast<SQLLEN>(f.width + 1), f.ind.data())))
      return false;
  }
  return true;
}

// The load, with whole rows when wanted and possible.
int loadwith(OdbcConn& conn, const std::string& query, const OdbcLoadOpts& o, bool whole) {
  Stmt s;
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, conn.dbc, &s.h))) {
    s.h = SQL_NULL_HSTMT;
    return errmsgf(RC_SYNTAX, "the query could not be prepared: %s\n", odbc_diag(SQL_HANDLE_DBC, conn.dbc).c_str());
  }
  std::vector<LoadCol> cols;
  SQLULEN rows = 1;
  Rows rt;
  if (!(whole && conn.textwire && !o.allstring && wholerows(s.h, query, cols, rt, &rows))) {
    if (rt.on || !cols.empty()) {  // a fresh handle for the plain way
      SQLFreeHandle(SQL_HANDLE_STMT, s.h);
      s.h = SQL_NULL_HSTMT;
      if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, conn.dbc, &s.h))) {
        s.h = SQL_NULL_HSTMT;
        return errmsgf(RC_SYNTAX, "the query could not be prepared: %s\n", odbc_diag(SQL_HANDLE_DBC, conn.dbc).c_str());
      }
    }
    cols.clear();
    rt = Rows();
    std::vector<Described> as;
    std::string q = o.allstring     ? query
                    : conn.textwire  ? servertext(s.h, query, &as)
                    : conn.typeless ? exactreals(s.h, query, &as)
                                     : query;
    SQLRETURN r = SQLExecDirect(s.h, reinterpret_cast<SQLCHAR*>(q.data()), static_cast<SQLINTEGER>(q.size()));
    if (!SQL_SUCCEEDED(r) && r != SQL_NO_DATA) return stmterr(RC_SYNTAX, s.h, "the query failed");
    if (int rc = bindcols(s.h, conn, o, cols, &rows, as)) return rc;
  }
  if (cols.empty()) return errmsgf(RC_SYNTAX, "the statement returned no result set\n");
  SQLLEN hint = 0;
  SQLRowCount(s.h, &hint);

  DsAside aside;
  if (int rc = ds_aside(aside)) return rc;
  ds.datalbl.clear();
  int rc = makevars(cols, o);
  if (!rc) {
    const long h = hint > 0 ? static_cast<long>(hint) : 0;
    rc = rt.on ? fetchrows(s.h, cols, rows, h, rt) : fetchblocks(s.h, cols, rows, h);
  }
  if (int e = fa_keepimport(aside, rc)) return e;
  std::string cut;
  for (const LoadCol& c : cols)
    if (c.cut) cut += " " + varname(c.var);
  int prev = setoutlev(OUT_NOTE);
  if (!cut.empty()) spout21f("(note: text longer than %zu characters cut in:%s)\n", STRMAX, cut.c_str());
  fa_notesize();
  setoutlev(prev);
  return 0;
}

}  // namespace

int odbc_load(OdbcConn& conn, const std::string& query, const OdbcLoadOpts& o) {
  // In a transaction of the load's own the PostgreSQL driver runs the query
  // with less work on the server than when each statement commits by itself
  // (measured: about a third less). The transaction is committed at the
  // end, failed or not, as each statement would have been.
  const bool tran = conn.textwire &&
                    SQL_SUCCEEDED(SQLSetConnectAttr(conn.dbc, SQL_ATTR_AUTOCOMMIT,
                                                    reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), 0));
  int rc = loadwith(conn, query, o, true);
  if (rc == RC_ROWSAGAIN) rc = loadwith(conn, query, o, false);
  if (tran) {
    SQLEndTran(SQL_HANDLE_DBC, conn.dbc, SQL_COMMIT);
    SQLSetConnectAttr(conn.dbc, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON), 0);
  }
  return rc;
}
