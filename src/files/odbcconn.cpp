// Connections to ODBC data sources and the statements that need no dataset:
// the sources list, tables, columns, one statement run with its result set
// listed, and SQL text split into statements. Every failure prints the
// driver's own message with its SQLSTATE.
#include <odbcinst.h>
#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>
#include <strings.h>
#include <vector>

#include "data/store.h"
#include "files/odbc.h"
#include "output/errors.h"
#include "output/output.h"
#include "output/rc.h"

OdbcState odbcst;

namespace {

// Text of a fixed SQLCHAR buffer.
std::string text(const SQLCHAR* p) { return reinterpret_cast<const char*>(p); }

// Prints the diagnostics of a handle (or fallback when there are none) and
// returns rc.
int diagerr(int rc, SQLSMALLINT type, SQLHANDLE h, const char* what) {
  std::string msg = odbc_diag(type, h);
  return errmsgf(rc, "%s%s%s\n", what, msg.empty() ? "" : ": ", msg.c_str());
}

}  // namespace

long odbc_blockrows(long rowbytes) {
  constexpr long BLOCKBYTES = 8L << 20;  // a block's buffers stay about this size
  return std::clamp(BLOCKBYTES / std::max(rowbytes, 1L), 64L, ODBC_BLOCKROWS);
}

std::string odbc_diag(short type, void* handle, std::string* state) {
  std::string res;
  for (SQLSMALLINT i = 1; i <= 8; ++i) {
    SQLCHAR st[8] = {0}, msg[1024] = {0};
    SQLINTEGER native = 0;
    SQLSMALLINT len = 0;
    SQLRETURN r = SQLGetDiagRec(type, handle, i, st, &native, msg, sizeof msg, &len);
    if (r != SQL_SUCCESS && r != SQL_SUCCESS_WITH_INFO) break;
    std::string m = text(msg);
    for (char& ch : m)
      if (ch == '\n' || ch == '\r') ch = ' ';
    while (!m.empty() && (m.back() == ' ' || m.back() == ';')) m.pop_back();
    if (i == 1 && state) *state = text(st);
    if (!res.empty()) res += "; ";
    res += m + " (" + text(st) + ")";
  }
  return res;
}

namespace {

// True when the connection string sets key (any case).
bool haskey(const std::string& cs, const char* key) {
  std::string low;
  for (char ch : cs) low.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(ch))));
  return low.find(key) != std::string::npos;
}

int connectwith(OdbcConn& c, const OdbcSource& src, std::string cs);

// Rows a PostgreSQL cursor fetch brings at once when loads stream. The
// server's work per fetch is large enough that fewer, larger fetches save
// a fifth of it against 16,384 rows; the driver holds one fetch (a few
// megabytes for rows of numbers, as much as that many observations of the
// dataset for the widest text).
constexpr int PG_FETCHROWS = 65536;

}  // namespace

namespace {

// The value of key (any case) in connection string cs, its braces taken
// off ("" when it is not there).
std::string keyval(const std::string& cs, const char* key) {
  const size_t kl = std::strlen(key);
  for (size_t i = 0; i < cs.size();) {
    size_t eq = cs.find('=', i);
    if (eq == std::string::npos) break;
    std::string k = cs.substr(i, eq - i);
    k.erase(0, k.find_first_not_of(' '));
    while (!k.empty() && k.back() == ' ') k.pop_back();
    size_t e = eq + 1;
    if (e < cs.size() && cs[e] == '{') {
      size_t close = cs.find('}', e);
      e = close == std::string::npos ? cs.size() : close + 1;
    }
    e = std::min(cs.find(';', e), cs.size());
    if (k.size() == kl && strncasecmp(k.c_str(), key, kl) == 0) {
      std::string v = cs.substr(eq + 1, e - eq - 1);
      if (v.size() >= 2 && v.front() == '{' && v.back() == '}') v = v.substr(1, v.size() - 2);
      return v;
    }
    i = e + 1;
  }
  return "";
}

// True when connection string cs will reach the PostgreSQL driver, as the
// driver manager's files tell before connecting (the data source's driver,
// then that driver's library); false when it will not or cannot be told.
bool pgdriver(const std::string& cs) {
  std::string drv = keyval(cs, "driver");
  const std::string dsn = keyval(cs, "dsn");
  char buf[1024] = {0};
  if (drv.empty() && !dsn.empty() && SQLGetPrivateProfileString(dsn.c_str(), "Driver", "", buf, sizeof buf, "ODBC.INI") > 0)
    drv = buf;
  if (drv.empty()) return false;
  if (drv.find('/') == std::string::npos) {
    buf[0] = 0;
    if (SQLGetPrivateProfileString(drv.c_str(), "Driver", "", buf, sizeof buf, "ODBCINST.INI") <= 0) return false;
    drv = buf;
  }
  const size_t slash = drv.rfind('/');
  return drv.compare(slash == std::string::npos ? 0 : slash + 1, 8, "psqlodbc") == 0;
}

}  // namespace

int odbc_connect(OdbcConn& c, const OdbcSource& src, bool stream) {
  std::string cs = src.connstr;
  if (cs.empty() && !src.dsn.empty()) cs = "DSN=" + src.dsn + ";";
  if (cs.empty()) cs = odbcst.lastsrc;
  if (cs.empty()) return errmsgf(RC_SYNTAX, "no data source: give dsn(\"name\") or connectionstring(\"...\")\n");
  // The PostgreSQL driver keeps a whole result in memory unless told to use
  // a cursor, and reports booleans as text unless told otherwise: a load
  // asks it to read the rows in blocks and to give booleans as bits
  // (whatever the connection string itself sets stays). Those settings go
  // in the first connection when the driver manager's files say that the
  // source is PostgreSQL's, else the load connects again once it knows.
  std::string extra;
  if (!haskey(cs, "usedeclarefetch")) extra += "UseDeclareFetch=1;Fetch=" + std::to_string(PG_FETCHROWS) + ";";
  if (!haskey(cs, "boolsaschar")) extra += "BoolsAsChar=0;";
  std::string streamcs = cs;
  if (!streamcs.empty() && streamcs.back() != ';') streamcs += ';';
  streamcs += extra;
  const bool early = stream && !extra.empty() && pgdriver(cs);
  if (int rc = connectwith(c, src, early ? streamcs : cs)) return rc;
  odbcst.lastsrc = cs;
  SQLCHAR drv[128] = {0};
  SQLSMALLINT dl = 0;
  SQLGetInfo(c.dbc, SQL_DRIVER_NAME, drv, sizeof drv, &dl);
  c.typeless = std::strncmp(reinterpret_cast<const char*>(drv), "sqlite3odbc", 11) == 0;
  if (std::strncmp(reinterpret_cast<const char*>(drv), "psqlodbc", 8) != 0) return 0;
  c.textwire = true;
  if (!stream || extra.empty() || early) return 0;
  odbc_close(c);
  if (int rc = connectwith(c, src, streamcs)) return rc;
  c.textwire = true;
  return 0;
}

namespace {

// Connects c with connection string cs. 0 or 682 printed.
int connectwith(OdbcConn& c, const OdbcSource& src, std::string cs) {
  SQLHENV env = SQL_NULL_HENV;
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env)))
    return errmsgf(RC_ODBCCONNECT, "could not connect to odbc dsn: the ODBC driver manager could not start\n");
  SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  SQLHDBC dbc = SQL_NULL_HDBC;
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc))) {
    SQLFreeHandle(SQL_HANDLE_ENV, env);
    return errmsgf(RC_ODBCCONNECT, "could not connect to odbc dsn\n");
  }
  SQLSetConnectAttr(dbc, SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(30), 0);
  SQLCHAR outstr[1024];
  SQLSMALLINT outlen = 0;
  SQLRETURN r = SQLDriverConnect(dbc, nullptr, reinterpret_cast<SQLCHAR*>(cs.data()), SQL_NTS, outstr, sizeof outstr,
                                 &outlen, SQL_DRIVER_NOPROMPT);
  if (!SQL_SUCCEEDED(r)) {
    std::string msg = odbc_diag(SQL_HANDLE_DBC, dbc);
    SQLFreeHandle(SQL_HANDLE_DBC, dbc);
    SQLFreeHandle(SQL_HANDLE_ENV, env);
    const std::string who = src.dsn.empty() ? (src.connstr.empty() ? "the last source" : "the connection string")
                                             : "dsn " + src.dsn;
    return errmsgf(RC_ODBCCONNECT, "could not connect to odbc dsn (%s)%s%s\n", who.c_str(), msg.empty() ? "" : ": ",
                   msg.c_str());
  }
  c.env = env;
  c.dbc = dbc;
  SQLCHAR q[8] = {0};
  SQLSMALLINT qlen = 0;
  if (SQL_SUCCEEDED(SQLGetInfo(dbc, SQL_IDENTIFIER_QUOTE_CHAR, q, sizeof q, &qlen))) {
    c.quote = text(q);
    if (c.quote == " ") c.quote.clear();
  }
  return 0;
}

}  // namespace

void odbc_close(OdbcConn& c) {
  if (c.dbc) {
    SQLDisconnect(c.dbc);
    SQLFreeHandle(SQL_HANDLE_DBC, c.dbc);
  }
  if (c.env) SQLFreeHandle(SQL_HANDLE_ENV, c.env);
  c.dbc = c.env = nullptr;
}

std::string odbc_ident(const OdbcConn& c, const std::string& name, bool noquote) {
  if (noquote || c.quote.empty()) return name;
  std::string res = c.quote;
  for (char ch : name) {
    res.push_back(ch);
    if (std::string(1, ch) == c.quote) res.push_back(ch);
  }
  return res + c.quote;
}

int odbc_sources(std::vector<std::string>& names, std::vector<std::string>& descs) {
  SQLHENV env = SQL_NULL_HENV;
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env)))
    return errmsgf(RC_ODBCCONNECT, "the ODBC driver manager could not start\n");
  SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  SQLUSMALLINT dir = SQL_FETCH_FIRST;
  for (;;) {
    SQLCHAR name[SQL_MAX_DSN_LENGTH + 1] = {0}, desc[512] = {0};
    SQLSMALLINT nl = 0, dl = 0;
    SQLRETURN r = SQLDataSources(env, dir, name, sizeof name, &nl, desc, sizeof desc, &dl);
    if (!SQL_SUCCEEDED(r)) break;
    names.push_back(text(name));
    descs.push_back(text(desc));
    dir = SQL_FETCH_NEXT;
  }
  SQLFreeHandle(SQL_HANDLE_ENV, env);
  return 0;
}

namespace {

// A statement handle freed when it goes out of scope.
struct Stmt {
  SQLHSTMT h = SQL_NULL_HSTMT;
  explicit Stmt(const OdbcConn& c) {
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, c.dbc, &h))) h = SQL_NULL_HSTMT;
  }
  ~Stmt() {
    if (h) SQLFreeHandle(SQL_HANDLE_STMT, h);
  }
  Stmt(const Stmt&) = delete;
  Stmt& operator=(const Stmt&) = delete;
};

// Column col of the current row as text ("" for NULL).
std::string getstr(SQLHSTMT h, SQLUSMALLINT col) {
  std::string res;
  char buf[1024];
  SQLLEN ind = 0;
  for (;;) {
    SQLRETURN r = SQLGetData(h, col, SQL_C_CHAR, buf, sizeof buf, &ind);
    if (r == SQL_NO_DATA || !SQL_SUCCEEDED(r) || ind == SQL_NULL_DATA) break;
    size_t n = ind == SQL_NO_TOTAL || ind >= static_cast<SQLLEN>(sizeof buf) ? sizeof buf - 1 : static_cast<size_t>(ind);
    res.append(buf, n);
    if (r == SQL_SUCCESS) break;
  }
  return res;
}

}  // namespace

int odbc_tables(OdbcConn& c, std::vector<std::string>& names, std::vector<std::string>& kinds) {
  Stmt s(c);
  if (!s.h) return diagerr(RC_SYNTAX, SQL_HANDLE_DBC, c.dbc, "could not list the tables");
  SQLCHAR types[] = "TABLE,VIEW";
  if (!SQL_SUCCEEDED(SQLTables(s.h, nullptr, 0, nullptr, 0, nullptr, 0, types, SQL_NTS)))
    return diagerr(RC_SYNTAX, SQL_HANDLE_STMT, s.h, "could not list the tables");
  std::vector<std::pair<std::string, std::string>> rows;
  while (SQL_SUCCEEDED(SQLFetch(s.h))) rows.emplace_back(getstr(s.h, 3), getstr(s.h, 4));
  std::sort(rows.begin(), rows.end());
  for (auto& [n, k] : rows) {
    names.push_back(n);
    kinds.push_back(k);
  }
  return 0;
}

int odbc_columns(OdbcConn& c, const std::string& table, std::vector<OdbcColumn>& cols) {
  Stmt s(c);
  if (!s.h) return diagerr(RC_SYNTAX, SQL_HANDLE_DBC, c.dbc, "could not describe the table");
  std::string t = table;
  if (!SQL_SUCCEEDED(SQLColumns(s.h, nullptr, 0, nullptr, 0, reinterpret_cast<SQLCHAR*>(t.data()),
                                static_cast<SQLSMALLINT>(t.size()), nullptr, 0)))
    return diagerr(RC_SYNTAX, SQL_HANDLE_STMT, s.h, "could not describe the table");
  while (SQL_SUCCEEDED(SQLFetch(s.h))) {
    OdbcColumn col;
    col.name = getstr(s.h, 4);
    col.type = getstr(s.h, 6);
    col.size = std::atol(getstr(s.h, 7).c_str());
    col.nullable = getstr(s.h, 11) != "0";
    cols.push_back(col);
  }
  if (cols.empty()) return errmsgf(RC_NOTFOUND, "table %s not found\n", table.c_str());
  return 0;
}

bool odbc_hastable(OdbcConn& c, const std::string& table) {
  std::vector<std::string> names, kinds;
  if (odbc_tables(c, names, kinds)) return false;
  return std::find(names.begin(), names.end(), table) != names.end();
}

int odbc_exec(OdbcConn& c, const std::string& sql) {
  Stmt s(c);
  if (!s.h) return diagerr(RC_SYNTAX, SQL_HANDLE_DBC, c.dbc, "the statement could not be prepared");
  std::string q = sql;
  SQLRETURN r = SQLExecDirect(s.h, reinterpret_cast<SQLCHAR*>(q.data()), static_cast<SQLINTEGER>(q.size()));
  if (r != SQL_NO_DATA && !SQL_SUCCEEDED(r)) return diagerr(RC_SYNTAX, SQL_HANDLE_STMT, s.h, "the statement failed");
  SQLSMALLINT ncol = 0;
  SQLNumResultCols(s.h, &ncol);
  if (ncol <= 0) {
    SQLLEN n = -1;
    SQLRowCount(s.h, &n);
    if (n >= 0) spout21f("(%ld row%s changed)\n", static_cast<long>(n), n == 1 ? "" : "s");
    return 0;
  }
  // A result set: one line of names, then one line per row, tab-separated.
  std::string line;
  for (SQLUSMALLINT k = 1; k <= ncol; ++k) {
    SQLCHAR name[256] = {0};
    SQLSMALLINT nl = 0, type = 0, dec = 0, nul = 0;
    SQLULEN size = 0;
    SQLDescribeCol(s.h, k, name, sizeof name, &nl, &type, &size, &dec, &nul);
    if (k > 1) line += '\t';
    line += text(name);
  }
  spoutnosml((line + "\n").c_str());
  long rows = 0;
  for (;;) {
    r = SQLFetch(s.h);
    if (r == SQL_NO_DATA) break;
    if (!SQL_SUCCEEDED(r)) return diagerr(RC_SYNTAX, SQL_HANDLE_STMT, s.h, "fetching the result failed");
    if (ds_pollbreak()) {
      SQLCancel(s.h);
      return 1;
    }
    line.clear();
    for (SQLUSMALLINT k = 1; k <= ncol; ++k) {
      if (k > 1) line += '\t';
      line += getstr(s.h, k);
    }
    spoutnosml((line + "\n").c_str());
    ++rows;
  }
  spout21f("(%ld row%s)\n", rows, rows == 1 ? "" : "s");
  return 0;
}

std::vector<std::string> odbc_splitsql(const std::string& t) {
  std::vector<std::string> res;
  std::string cur;
  auto flush = [&]() {
    size_t a = cur.find_first_not_of(" \t\r\n");
    if (a != std::string::npos) {
      size_t b = cur.find_last_not_of(" \t\r\n");
      res.push_back(cur.substr(a, b - a + 1));
    }
    cur.clear();
  };
  for (size_t i = 0; i < t.size(); ++i) {
    const char ch = t[i];
    if (ch == '\'' || ch == '"') {  // a quoted text or name, a doubled quote inside
      size_t e = i + 1;
      while (e < t.size() && !(t[e] == ch && (e + 1 >= t.size() || t[e + 1] != ch))) e += t[e] == ch ? 2 : 1;
      cur.append(t, i, std::min(e + 1, t.size()) - i);
      i = e;
    } else if (ch == '-' && i + 1 < t.size() && t[i + 1] == '-') {  // a comment to the line end
      size_t e = t.find('\n', i);
      i = e == std::string::npos ? t.size() : e - 1;
    } else if (ch == '/' && i + 1 < t.size() && t[i + 1] == '*') {  // a block comment
      size_t e = t.find("*/", i + 2);
      i = e == std::string::npos ? t.size() : e + 1;
      cur.push_back(' ');
    } else if (ch == ';') {
      flush();
    } else {
      cur.push_back(ch);
    }
  }
  flush();
  return res;
}
