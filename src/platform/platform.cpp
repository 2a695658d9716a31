// Console front end services: Ctrl-C handling, readline input (through its
// callback interface, so that Ctrl-C on a half-typed line can discard it),
// Tab completion, terminal facts and the clock. The history file lives in
// platform/histfile.cpp.
#include "platform/platform.h"

#include <pthread.h>
#include <sys/ioctl.h>
#include <sys/select.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <readline/history.h>
#include <readline/readline.h>

volatile std::sig_atomic_t stopflag = 0;
volatile std::sig_atomic_t altstopflag = 0;

namespace {

// The console's state; plat_init fills it.
struct PlatState {
  bool use_readline = false;           // a terminal: readline, history, completion
  PlatCompleter completer = nullptr;   // the interpreter's word completion
  std::string line;                    // the line readline handed back
  bool done = false;                   // the callback has delivered a line (or end)
  bool eof = false;                    // ... and it was end of input
  long linegap_ms = 0;                 // pause after each line taken (console test only)
};
PlatState plat;

volatile std::sig_atomic_t breaks_on = 1;
volatile std::sig_atomic_t ctrlcs = 0;  // Ctrl-Cs taken by the reader thread, ever
volatile std::sig_atomic_t resized = 0;  // SIGWINCH not yet shown to readline
volatile std::sig_atomic_t winched = 0;  // SIGWINCH not yet taken by plat_takeresize

// The thread that reads commands. Library threads (the BLAS pool is started
// before main) may not block SIGINT, and the kernel may hand it to one of
// them; the handler passes it on, so the reader's pselect wakes up.
pthread_t reader;
volatile std::sig_atomic_t reader_known = 0;

// True (after passing the signal on) when it reached another thread.
bool forwarded(int sig) {
  if (!reader_known || pthread_equal(pthread_self(), reader)) return false;
  const int saved = errno;
  pthread_kill(reader, sig);
  errno = saved;
  return true;
}

void on_sigint(int) {
  if (forwarded(SIGINT)) return;
  ctrlcs = ctrlcs + 1;
  if (breaks_on)
    stopflag = 1;
  else
    altstopflag = 1;
}

void on_sigwinch(int) {
  if (forwarded(SIGWINCH)) return;
  resized = 1;
  winched = 1;
}

// The console test's way into the instant between two lines: the reader
// waits this long (with Ctrl-C deliverable) after each line it hands back.
void linegap() {
  if (plat.linegap_ms <= 0) return;
  timespec left{plat.linegap_ms / 1000, (plat.linegap_ms % 1000) * 1000000L};
  while (nanosleep(&left, &left) != 0 && errno == EINTR) {
  }
}

// Bytes that end a word for completion: every printable byte that
// cmpl_filech does not accept, so readline's word start matches ours.
const char wordbreaks[] = " \t\n\"\\'`@$><=;|&{(,:*+[]!#%^)}?";

// Candidates for `text`, the word readline found before the cursor.
char* nextmatch(const char*, int state) {
  static std::vector<std::string> found;
  static size_t k;
  if (state == 0) {
    found.clear();
    k = 0;
    if (plat.completer) {
      int a = 0, b = 0;
      std::string upto(rl_line_buffer, static_cast<size_t>(rl_point));
      found = plat.completer(upto, rl_point, a, b);
    }
  }
  if (k >= found.size()) return nullptr;
  return strdup(found[k++].c_str());
}

char** attempt(const char* text, int start, int) {
  rl_attempted_completion_over = 1;  // never fall back to readline's own file names
  // A unique local macro gets its closing quote; a folder no blank, so that
  // the next Tab looks inside it.
  const bool local = start > 0 && rl_line_buffer[start - 1] == '`';
  rl_completion_append_character = local ? '\'' : ' ';
  char** m = rl_completion_matches(text, nextmatch);
  if (m && !m[1]) {
    size_t n = std::strlen(m[0]);
    if (n > 0 && m[0][n - 1] == '/') rl_completion_suppress_append = 1;
  }
  return m;
}

void online(char* s) {
  if (!s) {
    plat.eof = true;
  } else {
    plat.line = s;
    std::free(s);
  }
  plat.done = true;
  rl_callback_handler_remove();
}

// A Ctrl-C while a line is being typed: drop the text and start afresh.
void discardline() {
  rl_free_line_state();
  rl_callback_sigcleanup();
  rl_replace_line("", 0);
  rl_point = rl_end = 0;
  rl_crlf();  // the caller's next prompt starts on a fresh line
}

// One line through readline's callback interface. 0 = a line, -1 = end of
// input, 1 = Ctrl-C (the line is discarded, stopflag stays set). A Break
// already pending counts as a Ctrl-C on this line: the caller clears one
// that belongs to a command before asking.
int callbackline(const char* prompt, std::string& line) {
  plat.done = plat.eof = false;
  plat.line.clear();
  // Signals are held except while waiting in pselect, so a Ctrl-C between
  // the flag test and the wait cannot be missed.
  sigset_t hold, orig;
  sigemptyset(&hold);
  sigaddset(&hold, SIGINT);
  sigaddset(&hold, SIGWINCH);
  sigprocmask(SIG_BLOCK, &hold, &orig);
  if (resized) {  // while a command ran: nothing is shown yet to redraw
    resized = 0;
    rl_reset_screen_size();
  }
  rl_callback_handler_install(prompt, online);
  int rc = 0;
  while (!plat.done) {
    if (resized) {
      resized = 0;
      rl_resize_terminal();
    }
    if (stopflag) {
      discardline();
      rl_callback_handler_remove();
      rc = 1;
      break;
    }
    fd_set fds;
    FD_ZERO(&fds);
    FD_SET(0, &fds);
    int r = pselect(1, &fds, nullptr, nullptr, nullptr, &orig);
    if (r < 0) {
      if (errno == EINTR) continue;
      rl_callback_handler_remove();
      rc = -1;
      break;
    }
    rl_callback_read_char();
  }
  sigprocmask(SIG_SETMASK, &orig, nullptr);
  if (rc) return rc;
  if (plat.eof) {
    std::fputc('\n', stdout);
    std::fflush(stdout);
    return -1;
  }
  line = plat.line;
  linegap();
  return 0;
}

}  // namespace

void plat_init(bool interactive) {
  reader = pthread_self();
  reader_known = 1;
  struct sigaction sa {};
  sa.sa_handler = on_sigint;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  sigaction(SIGINT, &sa, nullptr);
  plat.use_readline = interactive && plat_stdin_tty();
  if (plat.use_readline) {
    sa.sa_handler = on_sigwinch;
    sigaction(SIGWINCH, &sa, nullptr);
    rl_catch_signals = 0;  // our handlers set the Break flag instead
    rl_catch_sigwinch = 0;
    rl_readline_name = "zelta";
    rl_attempted_completion_function = attempt;
    rl_completer_word_break_characters = const_cast<char*>(wordbreaks);
    rl_basic_word_break_characters = const_cast<char*>(wordbreaks);
    using_history();
    plat_histload();
    if (const char* g = std::getenv("ZELTA_TEST_LINEGAP")) plat.linegap_ms = std::atol(g);
  }
}

int plat_ctrlcs() { return ctrlcs; }

bool plat_takeresize() {
  if (!winched) return false;
  winched = 0;
  return true;
}

std::vector<std::string> plat_histlines() {
  std::vector<std::string> v;
  if (!plat.use_readline) return v;
  for (int i = 0; i < history_length; ++i)
    if (HIST_ENTRY* e = history_get(history_base + i)) v.emplace_back(e->line);
  return v;
}

void plat_setcompleter(PlatCompleter f) { plat.completer = f; }

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
  if (plat.use_readline) return callbackline(prompt, line);
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
  if (!plat.use_readline || !line || !*line) return;
  // A command typed twice running is kept once.
  HIST_ENTRY* last = history_length > 0 ? history_get(history_base + history_length - 1) : nullptr;
  if (last && !std::strcmp(last->line, line)) return;
  add_history(line);
  plat_histappend(line);
}

bool plat_onethread() {
  static const bool one = std::getenv("ZELTA_ONE_THREAD") != nullptr;
  return one;
}

bool plat_stdin_tty() { return isatty(0) != 0; }
bool plat_stdout_tty() { return isatty(1) != 0; }

// Columns assumed when standard output is a terminal that does not report its width.
constexpr int DEFAULT_TERMCOLS = 80;

int plat_termwidth() {
  if (!plat_stdout_tty()) return 0;
  struct winsize ws {};
  if (ioctl(1, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0) return ws.ws_col;
  return DEFAULT_TERMCOLS;
}

double plat_now() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}
