// The one line loop that every source of command lines runs through: do-files,
// stored programs (through runsource in interp.h) and the notebook kernel's
// cells. It fetches, expands, dispatches and reports each line in turn.
#pragma once
#include <string>

struct LineSource;

// How runlines runs a source.
struct LineLoop {
  bool newlevel = true;  // at a new level (do-files, programs); false: at the caller's (a cell)
  bool stop = false;     // a failing command ends the source (a program's always does)
  bool blankline = true; // a blank note line before each line of a source that is not a program
  // Called after each line has run (the kernel sends the graphs it drew).
  void (*afterline)(void* ctx) = nullptr;
  void* ctx = nullptr;
};

// Runs every line of src as `how` says: do-file lines through doreq, program
// lines through execline. A failure ends a program, and any other source
// when how.stop; a Break ends either. *exited (when given) tells whether
// `exit` ended it. Returns the return code that ended it.
[[nodiscard]] int runlines(LineSource& src, const LineLoop& how, bool* exited = nullptr);

// The end-of-command report of the line just run (started at plat_now() ==
// start): the r(#) line of a failure, and under `set rmsg on` "r; t=..." and
// the clock. Loops typed at the console report their lines through it too.
void present(double start);

// The command word of line after any capture/noisily/quietly prefixes (the
// tokenizer is left as it was); *wordat, when given, gets where that word
// starts in line.
std::string command_after_prefixes(const std::string& line, const char** wordat = nullptr);
