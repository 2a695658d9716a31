// The output channel: every text the system prints passes through the spout
// family, which filters by output level, sets the level's colour, escapes
// braces in plain text and hands ZMCL to the renderer of each destination
// (the console, a plain-text log, a ZMCL log, or a capture string for tests).
#pragma once
#include <cstdio>
#include <string>
#include <vector>

// Output levels.
enum : int { OUT_RESULT = 0, OUT_NOTE = 1, OUT_TEXT = 2, OUT_ERROR = 3, OUT_COMMAND = 4 };

struct OutputState {
  int c_outlev = 0;   // level of the text being printed now
  int s_outlev = 0;   // threshold: text below it is suppressed (3 quietly, 5 capture)
  int ls_outlev = 0;  // s_outlev at entry of the current do-file or program (noisily)
  int linesize = 80;  // `set linesize`
  bool linesize_set = false;  // set by the user: a resized terminal leaves it alone
  bool more = true;   // `set more` (the prompt shows only on an interactive terminal)
  int pollctr = 0;    // sends since the last Break poll
  int pagesize = 23;  // lines per screen for the more prompt (`c(pagesize)`)
  bool entertain = false;  // progress display of the entertain routines
  bool debug = false;      // debugging output also shows progress
  int charset = 0;         // output character set: 0 Latin-1, 1 Mac
};
extern OutputState out;

struct SmlStream;
// The results stream (created on first use); logs attach to it.
SmlStream* out_stream();

// Destinations. The console renders with colours when `tty`.
void out_open_console(bool tty, int linesize);
// Attaches a log file to the results stream: plain text (zmcl=false) or ZMCL.
// Returns a handle >= 0, or -1.
int out_attach_log(std::FILE* f, bool zmcl);
void out_detach_log(int handle);
// Test hook: while a capture string is set, rendered plain text goes there
// instead of the console.
void out_set_capture(std::string* sink);
// Flushes every destination.
void out_flush_all();
// Hands the console's rendered text to another file (the notebook kernel's
// stream writer) instead of standard output.
void out_set_console_file(std::FILE* f);
// Turns the console destination on or off (batch mode writes only its log).
void out_console_enable(bool on);
// Clears the stop state left by a Break or a `q` at the more prompt; the
// loop calls it after every command.
void out_reset_stop();
// Pauses (false) or resumes (true) an attached log; a resumed ZMCL log gets
// "{zmcl}" and the stream state first.
void out_log_enable(int handle, bool on);
// `set linesize`: the results stream's width (40 to 255).
void out_set_linesize(int width);
// The terminal was resized: the page length follows, and so does the width
// unless the user has set it.
void out_console_resized(int columns);
// Text the terminal already shows (a line typed through the line editor),
// written as a command echo to the logs only.
void out_echo_logs(const std::string& text);
// Supplies c() values for the {ccl} tag (the saved-results subsystem).
void out_set_cclfn(bool (*fn)(const char* name, std::string& value));
// `set more`; the prompt is asked only on an interactive terminal.
void out_set_more(bool on);
// The more prompt now (the `more` command); true when the user stopped.
bool out_more();
// Log files (logs.cpp): a typed line for the command log; the `set logtype`
// value ("zmcl" or "text"); closing every log (tests); the commands' binder.
void out_cmdlog_line(const std::string& line);
const char* out_logtype();
void out_logs_reset();
void logs_bindcommands();
// Recreates the results stream with no destinations but the console (tests).
void out_reinit();

// Channel routines; all return the stop flag (non-zero once the user stopped).
int spout21(const char* text);      // plain text at the current level, colour set
int spoutsml(const char* text);     // ZMCL text, tags interpreted, colour unchanged
int spoutnosml(const char* text);   // plain text, braces escaped, colour unchanged
int spoutch(int c);
int newline();
int spoutblnk(const char* text, int n);
int dupch(int c, int n);
int dupblnk(int n);
int spouterr(const char* text);     // level 3, plain text
int spouterrblnk(const char* text); // level 3, text and a blank
int spoutfordo(const char* text);   // echo of a do-file line at level 4
int spoutflush();
int spout_setcoloroflev();
int spoutsetzmclweak();
int spouthi(int kind, const char* text);  // highlighted text
int spoutdiv(int kind);                   // a divider line
int spoutvbar();                          // the vertical bar character
int spout20(const char* text);            // text after dropping pending line state
// Progress text at the note level, shown only with `entertain` or debugging on
// and output not suppressed.
void entertainbegin(const char* text);
void entertaincont(const char* text);
void entertain();
void entertainend();
// printf-style conveniences: the formatted text goes as ZMCL / as plain text.
int spoutsmlf(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
int spout21f(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
// Sets c_outlev and returns the previous one.
int setoutlev(int lev);

// The table side channel: a command that prints a table can also describe it
// cell by cell for a destination that shows tables itself (the notebook
// kernel sends HTML beside the text). With no receiver installed, or the
// text suppressed, nothing is collected. The scope marks the table's text:
// it begins where it is made and ends where it goes out of scope.
struct OutTable {
  std::string caption;                         // title, "" none
  std::vector<std::string> head;               // column headings
  std::vector<std::vector<std::string>> rows;  // cells as shown
  int stubcols = 0;                            // leading columns that name a row
};
struct OutTableScope {
  bool on;      // a receiver wants this table: fill `t`
  OutTable t;
  OutTableScope();
  ~OutTableScope();
  OutTableScope(const OutTableScope&) = delete;
  OutTableScope& operator=(const OutTableScope&) = delete;
};
// Installs the receiver: begin before the table's text, end after it.
void out_set_tablereceiver(void (*begin)(), void (*end)(const OutTable& t));
