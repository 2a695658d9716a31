// Vemo, the compiled matrix language: what the rest of Zelta (and the tests)
// see of it. The `vemo` command and its session state, the compiler entry and
// the settings. The object store and the VM are internal (vm.h).
#pragma once
#include <string>

struct Fcn;

// Where the compiler reads source text: the current line and, when allowed,
// further lines for a statement that goes on.
struct CcSource {
  std::string line;       // the current physical line
  size_t pos = 0;         // read position (the statement starts here)
  bool canmore = false;   // continuation lines may be read
  // Fetches the next physical line: 0 a line, 1 end of input, 2 the block's
  // `end` line (the statement cannot go on).
  int (*more)(std::string& line) = nullptr;
  int lineno = 0;         // source line number of `line` (0 unknown)
  // A top-level `if` may look at the next line for an `else` (block mode
  // reading a file); a line read so that is not an `else` comes back here.
  bool canpeek = false;
  int (*peek)(std::string& line) = nullptr;  // reads that line (as `more`)
  bool haspending = false;
  std::string pending;
};

// Settings and session state.
struct VemoState {
  bool strict = false;     // `set vemostrict`: undeclared variables are errors
  bool lnum = false;       // `set vemolnum`: line-number instructions, no optimizing
  bool optimize = true;    // the peephole optimizer runs
  bool favorspeed = true;  // `set vemofavor speed`
  int cache = 400;         // `set vemocache` (kilobytes)
  bool vofirst = false;    // `set vemovofirst`
  std::string libs;        // `set vemolibs`
  // session (saved and restored around each nested `vemo`)
  int kind = 0;            // 1 statement, 2 block, 3 colon statement, 4 colon block
  int xdepth = 0;          // nesting of `vemo` commands
  bool started = false;    // the run-time system is up
  int version = 920;       // version of the code being compiled
  int dispas = -1;         // displayas(): output level of printf and display (-1: results, not set)
  bool debugleaks = false; // check every object is freed after each statement
  bool nomanagement = false;  // fuzzing: management lines (which run commands) refused
  size_t maxbytes = 0;     // fuzzing: largest matrix or string in bytes (0 = no limit)
};
extern VemoState vst;

// Compiles the statement at src.pos. On success returns 0 and either stores a
// function (a definition; *istmt = nullptr) or gives the interactive
// statement's function in *istmt (the caller owns it). Non-zero: the
// message has been printed; nothing of the statement survives.
[[nodiscard]] int cc_compile(CcSource& src, Fcn** istmt);

// Runs the statements of one line (the `vemo` statement forms); returns 0
// or the code of the first failing statement.
[[nodiscard]] int vemo_runline(CcSource& src);
// Starts the run-time system (stack, store, reserved words); 0 or 9801.
int vemo_start();
// Frees every global and function (`vemo clear` at depth 0).
void vemo_clear();
// Vemo's session state back to its start (reset-all): as `vemo clear`, with
// file handles closed, the library search list forgotten and the settings
// (`set vemostrict`, `set vemocache`, ...) at their defaults. The fuzzing
// limits and the leak check are the front end's and stay.
void vemo_reset();
// Drops the compiled functions (autoloaded ones load again on next use);
// the globals stay (`discard`).
void vemo_discard();
// Number of Vemo objects alive (leak checks in tests).
long vemo_liveobjects();
// What `vemo memory` lists: counts and bytes of the autoloaded, ado and
// defined functions and of the matrices, and the overhead bytes.
struct VemoMemory {
  double nal = 0, nado = 0, ndef = 0, nm = 0;           // counts
  double mal = 0, mado = 0, mdef = 0, mm = 0, moh = 0;  // bytes
};
void vemo_memfigures(VemoMemory* f);
// Binds `vemo_memory` (the `vemo memory` listing).
void vemo_bindmemory();
// Fuzzing: a step limit after which a run stops as if Break was pressed.
void vemo_setsteplimit(long polls);

