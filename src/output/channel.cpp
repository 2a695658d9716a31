// The output channel: the spout family filters text by output level, sets the
// colour that belongs to the level, escapes braces in plain text, polls the
// Break flag and hands the text to the results stream, whose sinks are the
// console (terminal escapes or plain text), the attached logs and the capture
// string of the unit tests. The more prompt is asked here too.
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cstdarg>
#include <cstring>

#include "output/errors.h"
#include "output/format.h"
#include "output/logs.h"
#include "output/outhost.h"
#include "output/output.h"
#include "output/zmcl.h"
#include "platform/platform.h"

OutputState out;
OutHost outhost;

namespace {

// The host's answers, or those of an idle interactive session before it is installed.
bool hostbusy() { return outhost.busy && outhost.busy(); }
int hostbatch() { return outhost.batchmode ? outhost.batchmode() : 0; }

// Sink slots of the results stream: the console, the capture string, then logs.
constexpr size_t SINK_CONSOLE = 0, SINK_CAPTURE = 1;

struct ChannelState {
  SmlStream* results = nullptr;   // the results stream
  bool console_on = true;         // batch mode turns the console off
  bool console_tty = false;       // the console is a terminal
  int console_width = 80;         // the line size the console was opened with
  std::string* capture = nullptr; // unit-test capture string
  bool (*ccl)(const char*, std::string&) = nullptr;  // c() values
};
ChannelState ch;

// Sends between two looks at the Break flag.
constexpr int POLLRATE = 500;

// Colour of each output level (0 result ... 4 command).
const uint8_t levcolor[5] = {SA_RES, SA_TXT, SA_TXT, SA_ERR, SA_INP};

int colorof(int lev) { return lev >= 0 && lev <= 4 ? levcolor[lev] : static_cast<int>(SA_TXT); }

// Reads one key from the terminal without waiting for a line end.
int readkey() {
  struct termios old, raw;
  if (tcgetattr(0, &old) != 0) return '\n';
  raw = old;
  raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO | ISIG));
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;
  tcsetattr(0, TCSANOW, &raw);
  unsigned char c = '\n';
  ssize_t r = read(0, &c, 1);
  tcsetattr(0, TCSANOW, &old);
  return r == 1 ? c : 'q';
}

// The more prompt, rendered once from its markup for the console.
const std::string& moreprompt() {
  static std::string text;
  if (text.empty()) {
    SmlStream* s = smlopen(SML_RESULTS, 80);
    SmlSink k;
    k.str = &text;
    k.tty = true;
    s->sinks.push_back(k);
    smlsend(s, "{txt}{clearmore:{hline 2}more{hline 2}}", 39);
    smlflush(s);
    smlclose(s);
  }
  return text;
}

// Shows the more prompt and waits for a key: 0 next page, 1 one line, -1 stop.
int askmore(SmlStream*) {
  std::FILE* f = ch.results->sinks[SINK_CONSOLE].f;
  std::fflush(f);
  for (SmlSink& k : ch.results->sinks)
    if (k.f && k.f != f) std::fflush(k.f);
  const std::string& p = moreprompt();
  std::fwrite(p.data(), 1, p.size(), f);
  std::fflush(f);
  int c = readkey();
  std::fputs("\r        \r", f);
  if (c == 'q' || c == 'Q' || c == 3) {
    stopflag = 1;
    return -1;
  }
  if (c == '\r' || c == '\n' || c == 'l') return 1;
  return 0;
}

// Rows assumed when the terminal does not report its height.
constexpr int DEFAULT_TERMROWS = 24;

// Rows of the terminal on standard output (DEFAULT_TERMROWS when unknown).
int termrows() {
  struct winsize w;
  if (ioctl(1, TIOCGWINSZ, &w) == 0 && w.ws_row > 0) return w.ws_row;
  return DEFAULT_TERMROWS;
}

// The more prompt is asked only on an interactive terminal with `set more` on.
void updatemore() {
  SmlStream* s = ch.results;
  bool on = out.more && ch.console_tty && ch.console_on && !ch.capture &&
            hostbatch() == 0 && isatty(0);
  s->morefn = on ? askmore : nullptr;
  s->pagelen = on ? out.pagesize : 0;
  s->morelines = 0;
}

// Applies the console, capture and attribute settings to the results stream.
void updatesinks() {
  SmlStream* s = ch.results;
  s->sinks[SINK_CONSOLE].on = ch.console_on && !ch.capture;
  s->sinks[SINK_CAPTURE].str = ch.capture;
  s->sinks[SINK_CAPTURE].on = ch.capture != nullptr;
  s->needattr = s->sinks[SINK_CONSOLE].on && s->sinks[SINK_CONSOLE].tty;
  updatemore();
}

// c(name) through the host's lookup, numbers in their shortest form.
bool cvalue(const char* name, std::string& value) {
  if (!outhost.creturn) return false;
  double d = 0;
  bool isstr = false;
  if (outhost.creturn(name, &d, &value, &isstr) != 0) return false;
  if (!isstr) {
    char b[40];
    std::snprintf(b, sizeof b, "%.15g", d);
    value = b;
  }
  return true;
}

// The results stream, created with its console and capture sinks on first use.
SmlStream* results() {
  if (!ch.results) {
    ch.results = smlopen(SML_RESULTS, out.linesize);
    SmlSink con;
    con.f = stdout;
    con.tty = ch.console_tty;
    ch.results->sinks.push_back(con);
    SmlSink cap;
    cap.on = false;
    ch.results->sinks.push_back(cap);
    ch.results->charset = out.charset;
    ch.results->ccl = ch.ccl ? ch.ccl : cvalue;
    updatesinks();
  }
  // A stop belongs to the command that was running; between commands (the
  // report of the last one included) the stream shows output again.
  if (ch.results->stop && !hostbusy()) smlabandon(ch.results);
  // The width follows out.linesize also when a caller assigned it directly.
  if (ch.results->width != out.linesize) {
    smlset_maxwidth(ch.results, out.linesize);
    out.linesize = ch.results->width;
  }
  return ch.results;
}

bool shown() { return out.c_outlev >= out.s_outlev; }

// Advances the poll counter; a pending Break stops the stream while a command
// runs (the report after it, "--Break--" and "r(1);", must still show).
int poll(SmlStream* s) {
  if (++out.pollctr >= POLLRATE) {
    out.pollctr = 0;
    if (stopflag && hostbusy()) s->stop = 1;
  }
  return s->stop;
}

// Plain text at the current level in the level's colour.
int sendplain(const char* text, size_t n, bool color) {
  SmlStream* s = results();
  if (!shown()) return poll(s);
  if (poll(s)) return s->stop;
  // The echo of a typed command starts a new screen for the more prompt.
  if (out.c_outlev == OUT_COMMAND) s->morelines = 0;
  if (color) smlcolorset(s, colorof(out.c_outlev));
  return smlsendraw(s, text, n);
}

// printf into a string of any length.
std::string vformat(const char* fmt, va_list ap) {
  char buf[1024];
  va_list ap2;
  va_copy(ap2, ap);
  int n = std::vsnprintf(buf, sizeof buf, fmt, ap);
  std::string s;
  if (n >= static_cast<int>(sizeof buf)) {
    s.resize(static_cast<size_t>(n) + 1);
    std::vsnprintf(s.data(), s.size(), fmt, ap2);
    s.resize(static_cast<size_t>(n));
  } else if (n > 0) {
    s.assign(buf, static_cast<size_t>(n));
  }
  va_end(ap2);
  return s;
}

}  // namespace

SmlStream* out_stream() { return results(); }

// Opens (or reopens) the console destination with its width.
void out_open_console(bool tty, int linesize) {
  ch.console_tty = tty;
  SmlStream* s = results();
  s->sinks[SINK_CONSOLE].tty = tty;
  updatesinks();
  if (tty) out.pagesize = termrows() - 1;
  ch.console_width = linesize > 0 ? linesize : 80;
  out_set_linesize(ch.console_width);
  updatemore();
}

void out_reset() {
  out = OutputState{};
  if (ch.console_tty) out.pagesize = termrows() - 1;
  out_set_linesize(ch.console_width);
  updatemore();
  fmts = FormatState{};
  errst.newerror = true;
}

// Attaches a log file; returns its sink handle.
int out_attach_log(std::FILE* f, bool zmcl) {
  if (!f) return -1;
  SmlStream* s = results();
  if (zmcl) smlwritestate(s, f);
  SmlSink k;
  k.f = f;
  k.zmcl = zmcl;
  s->sinks.push_back(k);
  return static_cast<int>(s->sinks.size()) - 1;
}

// Flushes and removes a log from the stream (the caller closes the file).
void out_detach_log(int handle) {
  SmlStream* s = results();
  if (handle < 2 || handle >= static_cast<int>(s->sinks.size())) return;
  smlflush(s);
  SmlSink& k = s->sinks[static_cast<size_t>(handle)];
  k.f = nullptr;
  k.on = false;
}

// Pauses or resumes a log sink; a resumed ZMCL log gets the stream state.
void out_log_enable(int handle, bool on) {
  SmlStream* s = results();
  if (handle < 2 || handle >= static_cast<int>(s->sinks.size())) return;
  SmlSink& k = s->sinks[static_cast<size_t>(handle)];
  if (!k.f || k.on == on) return;
  smlflush(s);
  if (on && k.zmcl) {
    std::fseek(k.f, 0, SEEK_END);
    smlwritestate(s, k.f);
  }
  k.on = on;
}

// Sends rendered text to sink instead of the console (nullptr: back to the console).
void out_set_capture(std::string* sink) {
  SmlStream* s = results();
  smlflush(s);
  ch.capture = sink;
  updatesinks();
}

// The console text goes to f from now on (flushed first).
void out_set_console_file(std::FILE* f) {
  SmlStream* s = results();
  smlflush(s);
  s->sinks[SINK_CONSOLE].f = f;
}

// Batch mode writes only its log.
void out_console_enable(bool on) {
  ch.console_on = on;
  updatesinks();
}

// Hands what the stdio buffers of the log files hold to the system, so that a
// crash or a kill loses at most the running command's output.
static void flushlogfiles(SmlStream* s) {
  for (size_t i = SINK_CAPTURE + 1; i < s->sinks.size(); ++i)
    if (s->sinks[i].f) std::fflush(s->sinks[i].f);
}

// Flushes the results stream. Between commands (the loop flushes before it
// reads a typed line) the more prompt starts counting a new screen.
void out_flush_all() {
  SmlStream* s = results();
  smlflush(s);
  flushlogfiles(s);
  if (!hostbusy()) s->morelines = 0;
}

// End of a command: the stop state is cleared. The markup state (an open
// paragraph, a held tag) carries on, as programs build a paragraph from
// several display commands.
void out_reset_stop() {
  SmlStream* s = results();
  if (s->stop) smlabandon(s);
  flushlogfiles(s);
}

// `set more`; takes effect on an interactive terminal only.
void out_set_more(bool on) {
  out.more = on;
  updatemore();
}

// The more prompt on demand; true when the user stopped.
bool out_more() {
  SmlStream* s = results();
  if (!s->morefn || s->stop) return s->stop != 0;
  smlflush(s);
  if (s->morefn(s) < 0) s->stop = 1;
  s->morelines = 0;
  return s->stop != 0;
}

// Sets the results width; out.linesize gets the clamped value.
void out_set_linesize(int width) {
  SmlStream* s = results();
  smlset_maxwidth(s, width);
  out.linesize = s->width;
}

void out_console_resized(int columns) {
  if (!ch.console_tty) return;
  out.pagesize = termrows() - 1;
  updatemore();
  if (columns > 0) ch.console_width = columns;
  if (!out.linesize_set && columns > 0) out_set_linesize(columns);
}

void out_echo_logs(const std::string& text) {
  SmlStream* s = results();
  smlflush(s);  // a partial line still belongs to the console too
  SmlSink& con = s->sinks[SINK_CONSOLE];
  const bool was = con.on;
  con.on = false;
  // Not a screen line: it neither fills a page for the more prompt nor
  // looks at the Break flag (a Ctrl-C now is for the next line).
  auto morefn = s->morefn;
  s->morefn = nullptr;
  const int pollctr = out.pollctr;
  out.pollctr = 0;
  int prev = setoutlev(OUT_COMMAND);
  spout21(text.c_str());
  setoutlev(prev);
  smlflush(s);
  out.pollctr = pollctr;
  s->morefn = morefn;
  con.on = was;
}

// Installs the c() lookup of {ccl} (nullptr: the host's c() lookup).
void out_set_cclfn(bool (*fn)(const char*, std::string&)) {
  ch.ccl = fn;
  results()->ccl = fn ? fn : cvalue;
}

// A fresh results stream keeping the console kind and the capture string.
void out_reinit() {
  std::string* cap = ch.capture;
  bool tty = ch.console_tty;
  if (ch.results) smlclose(ch.results);
  ch = ChannelState{};
  ch.console_tty = tty;
  ch.capture = cap;
  results();
}

int spout21(const char* text) { return sendplain(text, std::strlen(text), true); }

// ZMCL text at the current level; tags are interpreted.
int spoutsml(const char* text) {
  SmlStream* s = results();
  if (!shown()) return poll(s);
  if (poll(s)) return s->stop;
  return smlsend(s, text, std::strlen(text));
}

int spoutnosml(const char* text) { return sendplain(text, std::strlen(text), false); }

// One character: blanks and line ends as markup, others as plain text.
int spoutch(int c) {
  char b[2] = {static_cast<char>(c), 0};
  if (c == ' ' || c == '\n') return spoutsml(b);
  return spout21(b);
}

int newline() { return spoutsml("\n"); }

// Plain text followed by n blanks.
int spoutblnk(const char* text, int n) {
  spout21(text);
  return dupblnk(n);
}

// c repeated n times, in pieces of at most 509 characters.
int dupch(int c, int n) {
  char buf[510];
  int rc = 0;
  while (n > 0 && !rc) {
    int k = n > 509 ? 509 : n;
    std::memset(buf, c, static_cast<size_t>(k));
    buf[k] = 0;
    rc = sendplain(buf, static_cast<size_t>(k), true);
    n -= k;
  }
  return results()->stop;
}

int dupblnk(int n) { return dupch(' ', n); }

// Plain text at the error level (left there), in ZMCL mode.
int spouterr(const char* text) {
  out.c_outlev = OUT_ERROR;
  spoutsetzmclweak();
  return spout21(text);
}

// Error-level text and one blank.
int spouterrblnk(const char* text) {
  spouterr(text);
  return spout21(" ");
}

// Echo of a do-file line at the command level; the level is restored.
int spoutfordo(const char* text) {
  int prev = setoutlev(OUT_COMMAND);
  spout21(text);
  setoutlev(prev);
  return results()->stop;
}

// Flushes the results stream when the current level is shown.
int spoutflush() {
  if (shown()) smlflush(results());
  return results()->stop;
}

// Sends the colour of the current level when it is shown.
int spout_setcoloroflev() {
  SmlStream* s = results();
  if (shown()) smlcolorset(s, colorof(out.c_outlev));
  return s->stop;
}

// "{zmcl}" and a line end unless the stream already interprets ZMCL.
int spoutsetzmclweak() {
  SmlStream* s = results();
  if (s->mode == SML_ASIS || s->mode == SML_OLDHELP) return smlsend(s, "{zmcl}\n", 7);
  return s->stop;
}

// Highlighted text: the hilite tag, or ^text^ for kind 1.
int spouthi(int kind, const char* text) {
  if (kind > 1) {
    std::string t = "{hilite:";
    for (const char* p = text; *p; ++p) {
      if (*p == '{') t += "{c -(}";
      else if (*p == '}') t += "{c )-}";
      else t += *p;
    }
    t += '}';
    return spoutsml(t.c_str());
  }
  std::string t = std::string("^") + text + "^";
  return spout21(t.c_str());
}

int spoutdiv(int kind) { return kind == 1 ? spout21(".-\n") : spoutsml("{.-}\n"); }

int spoutvbar() { return spoutsml("{c |}"); }

// Plain text after dropping pending line-end state.
int spout20(const char* text) {
  SmlStream* s = results();
  s->contline = s->swallownl = false;
  return spout21(text);
}

static bool entertaining() { return (out.entertain || out.debug) && out.s_outlev < 3; }

// Progress text at the note level (only when entertaining).
void entertainbegin(const char* text) {
  if (!entertaining()) return;
  int prev = setoutlev(OUT_NOTE);
  spout21(text);
  spoutflush();
  setoutlev(prev);
}

void entertaincont(const char* text) { entertainbegin(text); }

void entertain() { entertainbegin("."); }

// Ends a progress line.
void entertainend() {
  if (!entertaining()) return;
  int prev = setoutlev(OUT_NOTE);
  newline();
  setoutlev(prev);
}

// printf-style ZMCL text.
int spoutsmlf(const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  std::string s = vformat(fmt, ap);
  va_end(ap);
  return spoutsml(s.c_str());
}

// printf-style plain text.
int spout21f(const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  std::string s = vformat(fmt, ap);
  va_end(ap);
  return spout21(s.c_str());
}

// Sets c_outlev; returns the previous level.
int setoutlev(int lev) {
  int prev = out.c_outlev;
  out.c_outlev = lev;
  return prev;
}
