// The data-files subsystem: .dta use/save/describe using, append and merge.
// Its globals (test hooks, the `file` command's handles) live in one struct.
#pragma once
#include <cstddef>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

struct ParseResult;

// A handle of the `file` command (filecmd.cpp).
struct FileHandle {
  std::FILE* fp = nullptr;   // the open file
  bool write = false;        // opened for writing
  std::string fname;         // its name, for messages
};

struct FileState {
  int failread = 0;   // test hook: the Nth read step from now fails with 692 (0 = never)
  int nsteps = 0;     // read steps counted since failread was set
  std::map<std::string, FileHandle> handles;  // `file` handles by name; closed ones removed
};
extern FileState fst;

// Counts one read step; the injected code (692) when it is due, else 0.
int files_failpoint();

// Binds use, save, append, merge and the describe-using helper.
void files_bindcommands();
// Binds append and merge (called by files_bindcommands).
void files_bindcombine();
// Binds postfile, post, postclose and postutil.
void files_bindpost();
// Binds infile, insheet and outsheet.
void files_bindinfile();
// infix (fixed-column import; called by files_bindinfile).
void files_bindinfix();
// fdasave, fdause and fdadescribe (called by files_bindinfile).
void files_bindxport();
// xmlsave and xmluse (called by files_bindinfile).
void files_bindxml();
// Reads the whole file fn into buf (filebytes.cpp). 0, or a printed code
// (601, 603, 692, 1 for a Break).
[[nodiscard]] int fa_readall(const std::string& fn, std::vector<unsigned char>& buf);
// The smallest numeric storage type that holds every value of c exactly
// (byte, int, long, float, else double; missing values fit every type).
int fa_besttype(const std::vector<double>& c);
// True when s can name a variable: a letter or underscore, then letters,
// digits and underscores, 32 at most, not _all.
bool fa_goodname(const std::string& s);
// Writes n bytes to fn through the safe replace of atomicfile. 0 or a
// printed code.
[[nodiscard]] int fa_writefile(const std::string& fn, const void* data, size_t n);
// Every variable's values: num[k] for a numeric variable k+1, str[k] for a
// string one (the other left empty).
void fa_getcolumns(std::vector<std::vector<double>>& num, std::vector<std::vector<std::string>>& str);
// Stores such columns into the variables 1.. of the dataset, observations
// 1..nobs (which exist).
void fa_putcolumns(const std::vector<std::vector<double>>& num, const std::vector<std::vector<std::string>>& str,
                   long nobs);
struct DsAside;
// Ends replacing the dataset by columns read from a file once their
// variables are made in the fresh dataset (rc the code of making them):
// makes nobs observations, stores the columns and the dataset label, and
// keeps the new dataset (no characteristics, nothing unsaved); on any
// failure the one set aside comes back. 0 or the failure's code.
[[nodiscard]] int fa_install(DsAside& a, int rc, const std::vector<std::vector<double>>& num,
                             const std::vector<std::vector<std::string>>& str, long nobs, const std::string& label);
// Ends making a new dataset from a source other than a file of this
// system's (a workbook, a query) in place of the one set aside: on failure
// (rc) that one comes back; else the new one is kept as changed data with
// no file name, sort order or characteristics. 0 or rc.
[[nodiscard]] int fa_keepimport(DsAside& a, int rc);
// Notes the size of the dataset just made: "(k vars, n obs)".
void fa_notesize();
void files_bindinsheet();
void files_bindoutsheet();
void files_bindoutfile();
// The `file` command (binary handles and the series-set subcommands).
void files_bindfile();
// cd, pwd, dir, erase, copy, cat, mkdir and rmdir.
void files_binddircmds();
// checksum, filefilter and hexdump.
void files_bindutilcmds();
// The `odbc` command (odbccmd.cpp).
void files_bindodbc();
// xlsimport and xlsexport (xlsxcmd.cpp).
void files_bindxlsx();
// Writes and forgets every postfile handle (as postutil clear, silently).
void post_reset();
// The file subsystem's session state back to its start (reset-all): every
// `file` handle closed, every postfile handle written and forgotten, the
// last data source reached forgotten and the injected failures off.
void files_reset();
// Closes the postfile handle name, if open, without a command line (so it
// works after a Break): with keep its file takes the target's place, else
// it is discarded and the target stays as it was. 0 or the code of a
// failed write (printed).
int post_close(const std::string& name, bool keep);

// Command-line pieces shared by the file commands (fileargs.cpp).
// Splits line at its first comma outside quotes and parentheses: the words
// before (trimmed) and the option text after.
void fa_splitcomma(const std::string& line, std::string& before, std::string& after, bool* hascomma);
// Reads option text into pr. 0 or a printed code.
[[nodiscard]] int fa_readopts(ParseResult& pr, const std::string& text);
// The rest of the command line split at its first comma: the words before,
// and the options read into pr. 0 or a printed code.
[[nodiscard]] int fa_cmdline(ParseResult& pr, std::string& before);
// True when the words contain `using` outside quotes; *at is where it starts.
bool fa_hasusing(const std::string& before, size_t* at);
// fn with ext added when it has no extension.
std::string fa_defext(const std::string& fn, const char* ext);
// The one file name of text (quotes removed, ext added when none; ext may be
// null). 0, or 100 / 198 printed.
[[nodiscard]] int fa_filename(const std::string& text, std::string& fn, const char* ext);
// The end of a file command's line once its options are read: none left
// over, then the one file name as fa_filename gives it; a command that
// replaces the data (replaces) refuses unsaved data without clear (4).
[[nodiscard]] int fa_lastfile(ParseResult& pr, const std::string& before, const char* ext, bool replaces, bool clear,
                              std::string& fn);
// A valid variable name made from a header or column name: letters, digits
// and underscores kept, blanks and - . / made underscores, a leading digit
// prefixed; "" when none can be made.
std::string fa_varname(const std::string& h);
