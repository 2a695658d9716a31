// The database bridge: data sources reached through the ODBC driver
// manager. One connection per command (odbcconn.cpp), a result set loaded
// into a new dataset in blocks of rows (odbcload.cpp), variables sent to a
// table in blocks of bound parameters (odbcinsert.cpp). The handles are kept
// as plain pointers here so that only the engine files see the ODBC headers.
#pragma once
#include <string>
#include <vector>

// The subsystem's globals.
struct OdbcState {
  std::string lastsrc;  // connection string of the last source reached ("" none)
  long breakat = 0;     // test hook (ZELTA_ODBC_BREAKAT): a Break is seen at this block of a load or insert (0 = never)
};
extern OdbcState odbcst;

// Which data source a command talks to: a name from the sources list or a
// whole connection string (one of them; both empty means the last source).
struct OdbcSource {
  std::string dsn;
  std::string connstr;
};

// An open connection (environment and connection handles).
struct OdbcConn {
  void* env = nullptr;
  void* dbc = nullptr;
  std::string quote = "\"";  // the source's identifier quote ("" when it has none)
  bool textwire = false;     // the driver holds values as the server's text (PostgreSQL's)
  bool typeless = false;     // a column's values may be of any type whatever it is declared (SQLite's)
};

// Rows of a block fetched or sent at once: large enough that a round trip
// costs little per row, small enough that a block of wide rows stays a few
// megabytes (it shrinks for wide rows, see odbc_blockrows).
constexpr long ODBC_BLOCKROWS = 4096;
// Rows per block for rows of rowbytes bytes.
long odbc_blockrows(long rowbytes);

// Opens a connection to src. With stream, a driver that would read a whole
// result set into its own memory before the first row is handed over is
// asked to read it in blocks instead (PostgreSQL's: cursor fetches), and to
// report booleans as bits rather than text, unless the connection string
// says otherwise. 0, or 682 with the driver manager's or the driver's
// message printed.
[[nodiscard]] int odbc_connect(OdbcConn& c, const OdbcSource& src, bool stream = false);
void odbc_close(OdbcConn& c);
// The diagnostic records of a handle (type as SQL_HANDLE_*) as one text
// ("" when there are none), each "message (SQLSTATE)"; state gets the first
// record's SQLSTATE when given.
std::string odbc_diag(short type, void* handle, std::string* state = nullptr);
// An identifier as the source quotes it (a quote inside doubled), or as it
// is when noquote.
std::string odbc_ident(const OdbcConn& c, const std::string& name, bool noquote);

// Names and descriptions of the data sources the driver manager knows. 0 or
// 682 printed.
[[nodiscard]] int odbc_sources(std::vector<std::string>& names, std::vector<std::string>& descs);
// Tables and views of the source: names and kinds, sorted by name.
[[nodiscard]] int odbc_tables(OdbcConn& c, std::vector<std::string>& names, std::vector<std::string>& kinds);
// One column of a table as the source describes it.
struct OdbcColumn {
  std::string name;
  std::string type;  // the source's type name
  long size = 0;     // column size (characters or digits)
  bool nullable = true;
};
// The columns of table (named exactly as stored); 0, or 111 printed when the
// source has no such table.
[[nodiscard]] int odbc_columns(OdbcConn& c, const std::string& table, std::vector<OdbcColumn>& cols);
// True when the source has a table or view of that name.
bool odbc_hastable(OdbcConn& c, const std::string& table);

// Runs one SQL statement; a result set is listed, else the count of rows
// changed is noted. 0, 1 (Break), or 198 with the server's message.
[[nodiscard]] int odbc_exec(OdbcConn& c, const std::string& sql);
// Splits SQL text into statements at semicolons outside quotes and comments
// (blank statements dropped).
std::vector<std::string> odbc_splitsql(const std::string& text);

// What `odbc load` does with the result of a query.
struct OdbcLoadOpts {
  bool lowercase = false;  // variable names in lower case
  bool allstring = false;  // every column as a string
};
// Runs query and makes its result the dataset: the dataset in memory is set
// aside and comes back untouched on any failure. 0, 1 (Break), 198 (the
// server refused the query), 683 (a column cannot be fetched), or a store
// code; printed.
[[nodiscard]] int odbc_load(OdbcConn& c, const std::string& query, const OdbcLoadOpts& o);

// What `odbc insert` does with the table.
struct OdbcInsertOpts {
  bool create = false;     // make the table first (602 when it exists)
  bool overwrite = false;  // empty it first
  bool block = false;      // one transaction for all: rolled back on any failure
  bool noquote = false;    // the table name as given, unquoted
};
// Sends observations of vars (all of them) to table. 0, 1 (Break), 111 (no
// such table), 602 (create over an existing one), 198 (refused), printed.
[[nodiscard]] int odbc_insert(OdbcConn& c, const std::string& table, const std::vector<int>& vars,
                              const OdbcInsertOpts& o);
