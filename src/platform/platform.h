// Platform layer: what the interpreter needs from the machine it runs on.
// The console line source (GNU readline on a terminal, plain reads in a pipe),
// the Break flag set asynchronously by Ctrl-C, terminal facts and the clock.
#pragma once
#include <csignal>
#include <string>

// Break requested by the user; polled by long loops and the output channel.
extern volatile std::sig_atomic_t stopflag;
// A Break that arrived while breaks were held off by `nobreak`.
extern volatile std::sig_atomic_t altstopflag;

// Installs the Ctrl-C handler; `interactive` turns on readline and history.
void plat_init(bool interactive);
// setbreak(0) holds Breaks (moving a pending one aside); setbreak(1) re-enables
// them and re-delivers a held one. Returns the previous state.
int setbreak(int on);
// Reads one console line (without its newline). 0 = a line, -1 = end of input.
int plat_readline(const char* prompt, std::string& line);
// Adds a typed line to the readline history.
void plat_addhistory(const char* line);
bool plat_stdin_tty();
bool plat_stdout_tty();
// Terminal width in columns, or 0 when standard output is not a terminal.
int plat_termwidth();
// Monotonic seconds, for `set rmsg` and benchmarks.
double plat_now();
