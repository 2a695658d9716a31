// The `odbc` command: parses the subcommands and their options, connects
// and calls the engine (odbcconn.cpp, odbcload.cpp, odbcinsert.cpp).
//   odbc list
//   odbc query ["dsn"] [, dsn("name") connectionstring("...")]
//   odbc describe "table" [, source options]
//   odbc load [columns], table("name")|exec("select") [clear noquote lowercase sqlshow allstring source options]
//   odbc insert varlist, table("name") [create overwrite insert block noquote sqlshow source options]
//   odbc exec("SQL") [, sqlshow source options]
//   odbc sqlfile("file.sql") [, sqlshow source options]
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "data/store.h"
#include "data/varlist.h"
#include "files/files.h"
#include "files/odbc.h"
#include "interp/cmdtab.h"
#include "interp/tokenizer.h"
#include "output/errors.h"
#include "output/output.h"
#include "output/rc.h"

namespace {

// Longest text an option argument (a query) may have.
constexpr size_t ARGMAX = size_t{1} << 20;

// s without blanks around and without one pair of enclosing double quotes
// (plain or compound).
std::string unquote(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  size_t a = s.find_first_not_of(' ');
  s.erase(0, a == std::string::npos ? s.size() : a);
  if (s.size() >= 4 && s.compare(0, 2, "`\"") == 0 && s.compare(s.size() - 2, 2, "\"'") == 0)
    return s.substr(2, s.size() - 4);
  if (s.size() >= 2 && s.front() == '"' && s.back() == '"') return s.substr(1, s.size() - 2);
  return s;
}

// The argument of option name (quotes removed); false when absent.
bool strarg(ParseResult& pr, const char* name, int min, std::string& dst) {
  if (!findargasis(pr, name, min, dst, ARGMAX)) return false;
  dst = unquote(dst);
  return true;
}

// Reads the source options dsn() and connectionstring().
void sourceopts(ParseResult& pr, OdbcSource& src) {
  (void)strarg(pr, "dsn", 3, src.dsn);
  (void)strarg(pr, "connectionstring", 4, src.connstr);
}

// Reads options text into the shared parser's list plus the source options.
// 0 or a printed code.
int readopts(ParseResult& pr, const std::string& text, OdbcSource& src) {
  if (int rc = fa_readopts(pr, text)) return rc;
  sourceopts(pr, src);
  if (!src.dsn.empty() && !src.connstr.empty())
    return errmsgf(RC_NOTCOMBINED, "options dsn() and connectionstring() may not be combined\n");
  return 0;
}

// Shows SQL text (option sqlshow).
void show(const std::string& sql) { spoutnosml(("  " + sql + "\n").c_str()); }

// odbc list
int sub_list(const std::string& rest) {
  if (rest.find_first_not_of(' ') != std::string::npos) return errmsgf(RC_SYNTAX, "odbc list takes no arguments\n");
  std::vector<std::string> names, descs;
  if (int rc = odbc_sources(names, descs)) return rc;
  if (names.empty()) {
    spout21f("(no data source names defined)\n");
    return 0;
  }
  spoutsmlf("{txt}%-32s  %s\n", "Data source name", "Driver");
  spoutsml("{hline 60}\n");
  for (size_t i = 0; i < names.size(); ++i) spoutsmlf("{res}%-32s  {txt}%s\n", names[i].c_str(), descs[i].c_str());
  return 0;
}

// odbc query ["dsn"] [, source options]
int sub_query(ParseResult& pr, const std::string& before, const std::string& after) {
  OdbcSource src;
  if (int rc = readopts(pr, after, src)) return rc;
  if (int rc = chkopt(pr)) return rc;
  const std::string name = unquote(before);
  if (!name.empty()) {
    if (!src.dsn.empty() || !src.connstr.empty())
      return errmsgf(RC_NOTCOMBINED, "a data source name and dsn() or connectionstring() may not be combined\n");
    src.dsn = name;
  }
  OdbcConn c;
  if (int rc = odbc_connect(c, src)) return rc;
  std::vector<std::string> names, kinds;
  int rc = odbc_tables(c, names, kinds);
  odbc_close(c);
  if (rc) return rc;
  spoutsmlf("{txt}%-40s  %s\n", "Table", "Kind");
  spoutsml("{hline 52}\n");
  for (size_t i = 0; i < names.size(); ++i) spoutsmlf("{res}%-40s  {txt}%s\n", names[i].c_str(), kinds[i].c_str());
  return 0;
}

// odbc describe "table" [, source options]
int sub_describe(ParseResult& pr, const std::string& before, const std::string& after) {
  OdbcSource src;
  if (int rc = readopts(pr, after, src)) return rc;
  std::string table;
  const bool hastable = strarg(pr, "table", 5, table);
  if (int rc = chkopt(pr)) return rc;
  if (!hastable) table = unquote(before);
  if (table.empty()) return required("table name");
  OdbcConn c;
  if (int rc = odbc_connect(c, src)) return rc;
  std::vector<OdbcColumn> cols;
  int rc = odbc_columns(c, table, cols);
  odbc_close(c);
  if (rc) return rc;
  spoutsmlf("{txt}Table %s: %zu column%s\n\n", table.c_str(), cols.size(), cols.size() == 1 ? "" : "s");
  spoutsmlf("{txt}%-32s  %-24s %10s  %s\n", "Column", "Type", "Size", "Null");
  spoutsml("{hline 76}\n");
  for (const OdbcColumn& col : cols)
    spoutsmlf("{res}%-32s  {txt}%-24s %10ld  %s\n", col.name.c_str(), col.type.c_str(), col.size,
              col.nullable ? "yes" : "no");
  return 0;
}

// odbc load [columns], table("name")|exec("select") [options]
int sub_load(ParseResult& pr, const std::string& before, const std::string& after) {
  OdbcSource src;
  if (int rc = readopts(pr, after, src)) return rc;
  std::string table, query;
  const bool hastable = strarg(pr, "table", 5, table);
  const bool hasexec = strarg(pr, "exec", 4, query);
  OdbcLoadOpts o;
  const bool clear = findopt(pr, "clear", 5, 0) == 1;
  const bool noquote = findopt(pr, "noquote", 7, 0) == 1;
  o.lowercase = findopt(pr, "lowercase", 5, 0) == 1;
  const bool sqlshow = findopt(pr, "sqlshow", 7, 0) == 1;
  o.allstring = findopt(pr, "allstring", 9, 0) == 1;
  if (int rc = chkopt(pr)) return rc;
  if (hastable == hasexec) return errmsgf(RC_SYNTAX, "either table() or exec() is required\n");
  if (hastable && table.empty()) return required("table name");
  if (hasexec && query.find_first_not_of(' ') == std::string::npos) return required("SQL statement");
  std::vector<std::string> columns;
  for (size_t i = 0; i < before.size();) {  // names, blank-separated, a quoted one may hold blanks
    if (before[i] == ' ') {
      ++i;
      continue;
    }
    size_t e = before[i] == '"' ? before.find('"', i + 1) : before.find(' ', i);
    if (e == std::string::npos) e = before.size();
    columns.push_back(before[i] == '"' ? before.substr(i + 1, e - i - 1) : before.substr(i, e - i));
    i = e + 1;
  }
  if (hasexec && !columns.empty()) return errmsgf(RC_SYNTAX, "a list of columns may not be combined with exec()\n");
  if (ds.updata && !clear) return error(RC_DATALOST);
  OdbcConn c;
  if (int rc = odbc_connect(c, src, true)) return rc;
  if (hastable) {
    query = "SELECT ";
    for (size_t k = 0; k < columns.size(); ++k) query += (k ? ", " : "") + odbc_ident(c, columns[k], noquote);
    if (columns.empty()) query += "*";
    query += " FROM " + odbc_ident(c, table, noquote);
  }
  if (sqlshow) show(query);
  int rc = odbc_load(c, query, o);
  odbc_close(c);
  return rc;
}

// odbc insert varlist, table("name") [options]
int sub_insert(ParseResult& pr, const std::string& before, const std::string& after) {
  OdbcSource src;
  if (int rc = readopts(pr, after, src)) return rc;
  std::string table;
  const bool hastable = strarg(pr, "table", 5, table);
  OdbcInsertOpts o;
  o.create = findopt(pr, "create", 6, 0) == 1;
  o.overwrite = findopt(pr, "overwrite", 9, 0) == 1;
  const bool plain = findopt(pr, "insert", 6, 0) == 1;
  o.block = findopt(pr, "block", 5, 0) == 1;
  o.noquote = findopt(pr, "noquote", 7, 0) == 1;
  if (int rc = chkopt(pr)) return rc;
  if (!hastable || table.empty()) return required("table()");
  if (plain && (o.create || o.overwrite))
    return errmsgf(RC_NOTCOMBINED, "option insert may not be combined with create or overwrite\n");
  if (before.find_first_not_of(' ') == std::string::npos) return error(RC_TOOFEWVARS);
  settok(before.c_str());
  if (int rc = ssvlist(VL_EXISTING)) return rc;
  if (*peektok_chr()) return errmsgf(RC_SYNTAX, "invalid '%s'\n", gettok(prsestd));
  for (const TsRecipe& r : vl.varlist_rcp)
    if (!r.plain()) return errmsgf(RC_SYNTAX, "time-series operators not allowed\n");
  std::vector<int> vars = vl.varlist_vr;
  for (size_t i = 0; i < vars.size(); ++i)
    for (size_t j = 0; j < i; ++j)
      if (vars[i] == vars[j]) return errmsgf(RC_SYNTAX, "variable %s listed twice\n", varname(vars[i]).c_str());
  OdbcConn c;
  if (int rc = odbc_connect(c, src)) return rc;
  int rc = odbc_insert(c, table, vars, o);
  odbc_close(c);
  return rc;
}

// odbc exec("SQL") / odbc sqlfile("file") [, options]: arg is the
// parenthesised text.
int sub_exec(ParseResult& pr, bool file, const std::string& arg, const std::string& after) {
  OdbcSource src;
  if (int rc = readopts(pr, after, src)) return rc;
  const bool sqlshow = findopt(pr, "sqlshow", 7, 0) == 1;
  if (int rc = chkopt(pr)) return rc;
  std::vector<std::string> stmts;
  if (file) {
    const std::string fn = unquote(arg);
    if (fn.empty()) return required("filename");
    std::ifstream in(fn, std::ios::binary);
    if (!in) return fierr(RC_FILENOTFOUND, fn.c_str());
    std::ostringstream ss;
    ss << in.rdbuf();
    stmts = odbc_splitsql(ss.str());
    if (stmts.empty()) return errmsgf(RC_NOINPUT, "file %s holds no SQL statement\n", fn.c_str());
  } else {
    std::string sql = unquote(arg);
    if (sql.find_first_not_of(" ;") == std::string::npos) return required("SQL statement");
    stmts.push_back(sql);
  }
  OdbcConn c;
  if (int rc = odbc_connect(c, src)) return rc;
  int rc = 0;
  for (const std::string& s : stmts) {
    if (sqlshow) show(s);
    if ((rc = odbc_exec(c, s))) break;
  }
  odbc_close(c);
  return rc;
}

// The text inside the parentheses that start at line[at] (quotes may hold
// parentheses); *end is past the closing one. False when not closed.
bool parenarg(const std::string& line, size_t at, std::string& arg, size_t* end) {
  int depth = 0;
  bool inq = false;
  for (size_t i = at; i < line.size(); ++i) {
    const char ch = line[i];
    if (ch == '"') inq = !inq;
    if (inq) continue;
    if (ch == '(') ++depth;
    if (ch == ')' && --depth == 0) {
      arg = line.substr(at + 1, i - at - 1);
      *end = i + 1;
      return true;
    }
  }
  return false;
}

// odbc subcommand ...
int cmd_odbc(int) {
  ParseResult pr;
  const char* brk = std::getenv("ZELTA_ODBC_BREAKAT");  // the tests' Break injection
  odbcst.breakat = brk ? std::atol(brk) : 0;
  std::string line = wheretok();
  size_t a = line.find_first_not_of(' ');
  if (a == std::string::npos) return errmsgf(RC_SYNTAX, "odbc: subcommand required (list, query, describe, load, insert, exec, sqlfile)\n");
  size_t b = a;
  while (b < line.size() && (std::isalpha(static_cast<unsigned char>(line[b])))) ++b;
  const std::string sub = line.substr(a, b - a);
  if (sub == "exec" || sub == "sqlfile") {
    size_t p = line.find_first_not_of(' ', b);
    std::string arg;
    size_t end = 0;
    if (p == std::string::npos || line[p] != '(' || !parenarg(line, p, arg, &end))
      return errmsgf(RC_SYNTAX, "odbc %s: the %s in parentheses is required\n", sub.c_str(),
                     sub == "exec" ? "SQL statement" : "file name");
    std::string rest = line.substr(end), before, after;
    bool hascomma;
    fa_splitcomma(rest, before, after, &hascomma);
    if (!before.empty()) return errmsgf(RC_SYNTAX, "invalid '%s'\n", before.c_str());
    return sub_exec(pr, sub == "sqlfile", arg, after);
  }
  std::string before, after;
  bool hascomma;
  fa_splitcomma(line.substr(b), before, after, &hascomma);
  if (sub == "list") return sub_list(before + after);
  if (sub == "query") return sub_query(pr, before, after);
  if (sub == "describe" || sub == "desc") return sub_describe(pr, before, after);
  if (sub == "load") return sub_load(pr, before, after);
  if (sub == "insert") return sub_insert(pr, before, after);
  return errmsgf(RC_SYNTAX, "odbc: unknown subcommand '%s'\n", sub.c_str());
}

}  // namespace

void files_bindodbc() { cmdbind("odbc", cmd_odbc); }
