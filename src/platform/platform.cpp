// Console front end services: Ctrl-C handling, readline input, terminal facts.
#include "platform/platform.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include <readline/history.h>
#include <readline/readline.h>

volatile std::sig_atomic_t stopflag = 0;
volatile std::sig_atomic_t altstopflag = 0;

static volatile std::sig_atomic_t breaks_on = 1;
static bool use_readline = false;

static void on_sigint(int) {
  if (breaks_on)
    stopflag = 1;
  else
    altstopflag = 1;
}

void plat_init(bool interactive) {
  struct sigaction sa {};
  sa.sa_handler = on_sigint;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  sigaction(SIGINT, &sa, nullptr);
  use_readline = interactive && plat_stdin_tty();
  if (use_readline) {
    rl_catch_signals = 0;  // our handler sets the Break flag instead
    using_history();
  }
}

int setbreak(int on) {
  int prev = breaks_on;
  if (!on && breaks_on) {
    if (stopflag) {
      altstopflag = 1;
      stopflag = 0;
    }
    breaks_on = 0;
  } else if (on && !breaks_on) {
    breaks_on = 1;
    if (altstopflag) {
      stopflag = 1;
      altstopflag = 0;
    }
  }
  return prev;
}

int plat_readline(const char* prompt, std::string& line) {
  if (use_readline) {
    char* s = readline(prompt);
    if (!s) return -1;
    line = s;
    std::free(s);
    return 0;
  }
  line.clear();
  int c;
  bool any = false;
  while ((c = std::getchar()) != EOF) {
    any = true;
    if (c == '\n') return 0;
    line.push_back(static_cast<char>(c));
  }
  return any ? 0 : -1;
}

void plat_addhistory(const char* line) {
  if (use_readline && line && *line) add_history(line);
}

bool plat_stdin_tty() { return isatty(0) != 0; }
bool plat_stdout_tty() { return isatty(1) != 0; }

int plat_termwidth() {
  if (!plat_stdout_tty()) return 0;
  struct winsize ws {};
  if (ioctl(1, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0) return ws.ws_col;
  return 80;
}

double plat_now() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}
