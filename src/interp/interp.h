// Interpreter-wide state and the read–expand–dispatch–report loop: start-up,
// line sources (console, do-files, stored programs, loop bodies), do/run/
// include, exit, and the end-of-command report.
#pragma once
#include <string>
#include <vector>

// A source of command lines. The loop reads from the innermost source; the
// control-flow commands read further lines from it to collect their bodies.
struct LineSource {
  virtual ~LineSource() = default;
  // Fetches the next raw command line into `line`. 0 = a line, 1 = end.
  virtual int next(std::string& line) = 0;
  virtual bool isprogram() const { return false; }
  virtual bool isdofile() const { return false; }
  // Line in its file where the last line returned began; 0 when unknown.
  virtual int lineno() const { return 0; }
};

// Line buffers are sized for the widest varlist: 33 bytes a variable (a
// 32-character name and a blank) for every variable `set maxvar` allows, plus
// room for the command word, `if`, `in` and options (216 bytes on the command
// line, 200 in the macro-expansion buffer). Start-up and `set maxvar` resize
// them by the same rule; the defaults are for the largest maxvar, 5000, and
// the Vemo compiler bounds a program by the default macro buffer.
constexpr long cmdline_len(long maxvar) { return 33 * maxvar + 216; }
constexpr long macro_len(long maxvar) { return 33 * maxvar + 200; }
constexpr int CMDLINE_DEFAULT = static_cast<int>(cmdline_len(5000));
constexpr int MACROLEN_DEFAULT = static_cast<int>(macro_len(5000));

struct InterpState {
  std::string console;            // the current command line
  int conslen = CMDLINE_DEFAULT;   // size of the command line and history ring
  int macrolen = MACROLEN_DEFAULT; // size of the macro-expansion buffer
  int maxlrecl = 12 * 5000;       // longest input record
  std::string cmd;                // command word being dispatched
  int globalrc = 0;               // return code of the last command
  int captrc = 0;                 // return code caught by the last capture
  bool runprog = false;           // a stored program is executing
  bool procflg = true;            // lines are executed (false: only scanned)
  int delimit = 0;                // 0 = end of line ends a command, 1 = `;`
  int zelta_level = 0;            // depth of nested do-files and programs
  bool exitflg = false, gexitflg = false;  // `exit` / `exit, ZELTA` executed
  bool zelta_rmsg = false;        // `set rmsg on`
  double rmsgtime = 0;            // seconds of the last top-level command
  int sysclock = 0;               // command counter
  int batchmode = 0;              // 0 interactive, 1 batch, 2 batch with -q
  bool batchmodeexit = false;     // -e
  bool nokbrd = false;            // no keyboard: input only from do-files
  bool zelta_busy = false;        // a command is running
  int version = 920;              // command-language version x 100
  // `matsize`: set by -d# at start-up (400 by default) and by `set matsize`;
  // the matrix store reads its limit from here.
  int matsize = 400;
  std::string sysdir;             // system directory, with a trailing '/'
  std::vector<LineSource*> sources;  // stack of active line sources
  bool trace = false;             // `set trace`
  const char* prompt = ". ";      // prompt and do-file echo of a new line (": " inside Vemo)
  // Embedded use (fuzzing, tests): `exit, ZELTA` ends only the level, the
  // shell escape is refused, and more than `maxcommands` dispatches (0 = no
  // limit) act as a Break so that no input can run forever.
  bool embedded = false;
  long maxcommands = 0;
  long commands_run = 0;          // dispatches counted against maxcommands
  // A front end that reports failures itself (the notebook kernel) sets the
  // level whose failing commands doreq leaves without the r(#) report.
  int noreportlevel = -1;
  // The console reader: plat_ctrlcs() when the last command ended (by it the
  // console tells whether a pending Break belongs to a command or to the line
  // being asked for), and the state of a `{` block being typed.
  int ctrlcs_at_end = 0;
  bool blockread = false;         // the console is asked for a line of a block
  bool abandoned = false;         // a Ctrl-C dropped the blocks being typed
  // Time-series operators allowed in varlists: the permission of the last
  // parse, kept until the next command (the variable-list parser asks for it).
  bool tsallowed = false;
};
extern InterpState interp;

// Start-up and the top-level loop; returns the process exit status.
int zelta_main(int argc, char** argv);
// For other front ends: finds the system directory (0, or 1 with the message
// printed to standard error) and the profile.do to run ("" when none).
int startup_sysdir();
std::string startup_profile();
// Fetches the next qualifying line from the innermost source into `console`
// and hands it to the tokenizer. 0 = ready, 1 = no more lines.
int getreq(int from_program);
// Expands, dispatches and reports one line. 0 when `exit` ended the level.
int doreq();
// Runs every line of `src` at a new level: do-file lines through doreq,
// program lines through execline. An error ends a program, and a do-file
// when `stop`; a Break ends either. *exited (when given) tells whether
// `exit` ended it. Returns the return code that ended it.
[[nodiscard]] int runsource(LineSource& src, bool stop, bool* exited = nullptr);
// Reads the next raw line from the innermost source (used to collect loop and
// program bodies). 0 = a line, 1 = end of the source.
int nextrawline(std::string& line);
// The next line of a `{` block, as nextrawline. At the console it is asked
// for with the continuation prompt, and a Ctrl-C abandons every block being
// typed: 1 with the Break flag left set, here and for each enclosing block.
int blockline(std::string& line);
// Line number in its file of the line last read from the innermost source; 0 when unknown.
int srclineno();
// Runs one command line as if typed at the current level; returns its rc.
[[nodiscard]] int execline(const std::string& line);
// godo modes.
enum : int { GODO_DO = 0, GODO_RUN = 1, GODO_PROGRAM = 3, GODO_INCLUDE = 4 };
