// Programs and ado-files: the program store, running a program, autoloading
// from the ado-path, `version`.
#pragma once
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "interp/interp.h"

// Runs `cmd` as a stored program, or autoloads it from the ado-path and runs
// it; the tokenizer is positioned after the command word. Prints
// "unrecognized command:  name" and returns 199 when there is none.
[[nodiscard]] int prog_dispatch(const std::string& cmd);

// Commands written as ado-files that accept abbreviations like built-in
// ones: a word of at least min characters that abbreviates name, and is
// neither a program nor an ado-file itself, runs name.
void adoabbrev(const char* name, int min);

struct Program;
struct ParseResult;
struct LinePlanSet;
// The program cmd, autoloaded from the ado-path when not yet defined; nullptr
// with *rc set (message printed) when there is none.
std::shared_ptr<Program> pgmfind_load(const std::string& cmd, int* rc);

// A stored program: header facts and the normalised lines.
struct Program {
  std::string name;        // full name
  int autoload = 0;        // nonzero: defined while an ado-file was autoloaded
  int defstamp = 0;        // sysclock at definition
  int version = 920;       // version at definition
  std::string cls;         // class name, empty for ordinary programs
  bool sortpreserve = false;
  int rclass = 0;          // 0 none, 1 rclass, 2 sclass, 3 eclass
  int byable = 0;          // 0 no, 1 onecall, 2 recall, 3 recall noheader
  std::string props;       // properties(...)
  std::string plugin;      // plug-in file (plug-ins only)
  // Line i (0-based) is text[offs[i] .. offs[i+1]-1): an indentation byte,
  // the text and a NUL.
  std::vector<uint32_t> offs;
  std::string text;
  // The lines split for running again (interp/lineplan.h), made on first use.
  std::shared_ptr<LinePlanSet> plans;
  int nlines() const { return offs.empty() ? 0 : static_cast<int>(offs.size()) - 1; }
  size_t bytes() const { return text.size() + offs.size() * 4 + 64; }
};

// A stored program as a line source; `upline` is its line counter.
struct ProgSource : LineSource {
  std::shared_ptr<Program> p;
  int upline = 0;
  int next(std::string& line) override;
  bool isprogram() const override { return true; }
};

struct ProgState {
  int autoloading = 0;     // depth of autoloads in progress (stamp for definitions)
  int runwhilelevel = 0;   // console/do-file loops turned into programs
  // trace settings
  int tracedepth = 32000;
  bool traceexpand = true, tracesep = true, traceindent = true, tracenumber = false;
  std::string tracehilite;
  int progdepth = 0;       // nesting of running programs (for the trace)
  int adosize = 1000;      // `set adosize` (kilobytes)
  int loadstamp = 0;       // id of the autoload in progress
  // The loop typed at the console or in a do-file that runs now (stored as a
  // temporary program): under `set rmsg on` each of its lines reports its
  // time as a typed command does, where a program's own lines report nothing.
  const Program* toploop = nullptr;
  // One line buffer per block nesting depth, so that reading block lines
  // reuses buffers; a deque, because outer blocks hold references while
  // inner ones grow it.
  std::deque<std::string> linepool;
  int blockdepth = 0;      // blocks being run now
  bool blockran = false;   // a loop or if handler got as far as running its block
};
extern ProgState prg;

// Appends one line, normalised, to a program body. 0 or 1000.
[[nodiscard]] int prog_addline(Program& p, const char* line);
// Finds a program by name (kind 1 programs, 2 plug-ins, 3 either).
std::shared_ptr<Program> pgmfind(const char* name, int kind);
// Stores a program; 110 when one of that name exists.
[[nodiscard]] int pgmstore(std::shared_ptr<Program> p, int type);
void pgmkill(const char* name);
// Loads the plug-in file for the plug-in program name and checks its
// interface version (plugin.cpp). 0, or a printed code: 601 no such file,
// 610 not a plug-in or built for another interface version.
[[nodiscard]] int plugin_load(const std::string& name, const std::string& file);
// Binds `plugin call` (plugin.cpp).
void interp_bindplugin();
// Unloads every plug-in and forgets the call state (plugin.cpp; reset-all).
void plugin_reset();
// Runs a program with argument text (godo mode 3). Returns its code.
[[nodiscard]] int prog_run(const std::shared_ptr<Program>& p, const char* args);
// Runs the lines of a temporary loop program in the current level.
[[nodiscard]] int prog_runtemp(const std::shared_ptr<Program>& p);
// The n-th (1-based) file name.ext along the ado-path; empty when none.
std::string srchado(const char* name, const char* ext, int n);
// A system directory by codeword (with its trailing '/'), or empty.
std::string sysdir_get(const std::string& codeword);
// The writes of a traced line; `scanned` when it is not executed.
void trace_line(const std::string& line, bool scanned);
// Called by the loop after expanding a program line that changed (trace).
void trace_expanded(const std::string& line);
// Resets the program store and its state: programs, plug-in programs, the
// trace and ado settings, the control-flow flags, the autoload stamp and the
// system directories set by `sysdir set` (tests, reset-all).
void prog_reset();
// The interpreter's session state back to its start (reset-all): every
// macro, program and plug-in gone, temporary files removed, no by level, and
// the settings the interpreter owns (version, trace, rmsg, matsize) at their
// defaults with the command counter and return codes at 0. What the front
// end set up stays: the system directory, the console and command-line
// lengths, batch and embedded use, the line sources. Call it with no command
// running.
void interp_reset();
// Binds the interpreter-language commands.
void lang_bindcommands();

// Control-flow state of the running level (saved around every program).
struct CtlState {
  bool lastif = false;      // the most recent `if` condition was true
  int breakdetail = 0;      // 1 `continue` seen, 2 `continue, break` seen
  bool breakallowed = false;  // inside a loop body
  int foreachlevel = 0;     // depth of foreach loops (hidden list names)
};
extern CtlState ctl;

// Runs a block: lines from the innermost source up to the matching `}`.
// Returns the first failing code; exit passes upward through interp.exitflg.
[[nodiscard]] int opbrace8();
// True when the line ends in `{` (trailing blanks ignored).
bool endsinbrace(const char* text);
// Binders of the language command families.
void control_bindcommands();
void syntax_bindcommands();
void maccmds_bindcommands();
void prog_bindcommands();
// Number lists: expands text into numbers. flags: NL_* below. 0 or 121..127
// with the message printed (single: the one-number wording).
enum : int { NL_ASCEND = 1, NL_DESCEND = 2, NL_INTEGER = 4, NL_MISSOK = 8, NL_SORT = 16 };
struct NumlistSpec {
  int flags = 0;
  int min = 0, max = -1;            // element counts (-1 no limit)
  double lo = -1e308, hi = 1e308;   // allowed range
  bool lostrict = false, histrict = false;
};
[[nodiscard]] int numlist_expand(const char* text, const NumlistSpec& rule, std::vector<double>& nums,
                                 bool single);
// Numbers of a numlist written as macro text (%18.0g each, blank-joined).
void numlist_text(const std::vector<double>& nums, std::string& res);
// Reads `, options` at the tokenizer position into pr (nothing else may
// follow unless `rest` is given, which then receives the text before the
// comma). 0 or a code.
[[nodiscard]] int lang_options(ParseResult& pr, std::string* rest);
// A system directory set by `sysdir set`; 0 or 198.
[[nodiscard]] int sysdir_set(const std::string& codeword, std::string path);
std::vector<std::string> adopath_dirs();
// Reads range limits such as ">=0 <100" into the limits of a number list;
// false when malformed.
bool numlist_range(const std::string& text, NumlistSpec& rule);
void numlist_bindcommands();
