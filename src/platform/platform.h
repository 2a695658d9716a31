// Platform layer: what the interpreter needs from the machine it runs on.
// The console line source (GNU readline on a terminal, plain reads in a pipe),
// Tab completion and the history file, the Break flag set asynchronously by
// Ctrl-C, terminal facts, the clock, and what the build is made of.
#pragma once
#include <csignal>
#include <string>
#include <utility>
#include <vector>

// Break requested by the user; polled by long loops and the output channel.
extern volatile std::sig_atomic_t stopflag;
// A Break that arrived while breaks were held off by `nobreak`.
extern volatile std::sig_atomic_t altstopflag;

// Installs the Ctrl-C handler; `interactive` turns on readline, completion
// and the history file when standard input is a terminal.
void plat_init(bool interactive);
// How many Ctrl-Cs have arrived (it only grows): tells whether one came
// after some point.
int plat_ctrlcs();
// setbreak(0) holds Breaks (moving a pending one aside); setbreak(1) re-enables
// them and re-delivers a held one. Returns the previous state.
int setbreak(int on);
// Reads one console line (without its newline). 0 = a line, -1 = end of input,
// 1 = Ctrl-C while typing: the line was discarded and stopflag is set.
int plat_readline(const char* prompt, std::string& line);
// Adds a typed line to the readline history and the history file.
void plat_addhistory(const char* line);
// The history read from the file at start-up, oldest first (empty when not
// on a terminal).
std::vector<std::string> plat_histlines();
// True once after the terminal has been resized (SIGWINCH); the reader
// thread asks between commands.
bool plat_takeresize();

// The completion the console's Tab key calls: candidates for the word ending
// at byte `cursor` of `text`, with [start, end) the bytes they replace.
using PlatCompleter = std::vector<std::string> (*)(const std::string& text, int cursor, int& start,
                                                   int& end);
void plat_setcompleter(PlatCompleter f);

// --- histfile.cpp: console history kept across sessions.
// The history file: $ZELTA_HISTORY, else ~/.zelta_history; "" when turned
// off (ZELTA_HISTORY set to nothing, ZELTA_HISTSIZE=0, or no home folder).
std::string plat_histpath();
// Lines kept: $ZELTA_HISTSIZE, else 1000.
int plat_histsize();
// Loads the last plat_histsize() lines of the file into readline's history
// and trims the file at exit.
void plat_histload();
// Appends one typed line to the file.
void plat_histappend(const char* line);
// Cuts the file to its last plat_histsize() lines (temp file, fsync, rename).
void plat_histtrim();

// --- buildinfo.cpp: what `about` and `query build` show.
// (label, value) rows: version, compiler, build type, build date.
std::vector<std::pair<std::string, std::string>> plat_buildinfo();
// (library, version) rows of the libraries linked into this executable.
std::vector<std::pair<std::string, std::string>> plat_libraries();
// A front end adds the libraries it links on top of the core (the notebook
// kernel's messaging and crypto libraries).
void plat_addlibrary(const std::string& name, const std::string& version);

bool plat_stdin_tty();
bool plat_stdout_tty();
// Terminal width in columns, or 0 when standard output is not a terminal.
int plat_termwidth();
// Monotonic seconds, for `set rmsg` and benchmarks.
double plat_now();
// True when ZELTA_ONE_THREAD was set at start: every command then does its
// work on the thread that runs it (the same split into parts, so the same
// results), for comparing runs and for machines where a second thread
// costs more than it saves. The notebook kernel's own message threads stay.
bool plat_onethread();
