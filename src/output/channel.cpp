// Minimal output channel: level filtering and a pass-through renderer that
// drops colour tags and unescapes brace characters. To be replaced by the
// full ZMCL renderer.
#include <cstdarg>
#include <cstring>
#include <vector>

#include "output/output.h"

OutputState out;

static std::FILE* console_file = stdout;
static std::string* capture_sink = nullptr;
static std::vector<std::FILE*> logs;

void out_open_console(bool, int linesize) { out.linesize = linesize; }
int out_attach_log(std::FILE* f, bool) {
  logs.push_back(f);
  return static_cast<int>(logs.size()) - 1;
}
void out_detach_log(int h) {
  if (h >= 0 && h < static_cast<int>(logs.size())) logs[static_cast<size_t>(h)] = nullptr;
}
void out_set_capture(std::string* sink) { capture_sink = sink; }
static bool console_on = true;
void out_console_enable(bool on) { console_on = on; }
void out_reset_stop() {}
void out_flush_all() {
  std::fflush(console_file);
  for (auto* f : logs)
    if (f) std::fflush(f);
}

static void emit(const std::string& s) {
  if (capture_sink) {
    *capture_sink += s;
    return;
  }
  if (console_on) std::fwrite(s.data(), 1, s.size(), console_file);
  for (auto* f : logs)
    if (f) std::fwrite(s.data(), 1, s.size(), f);
}

static std::string render(const char* t) {
  std::string r;
  for (const char* p = t; *p; ++p) {
    if (*p == '{') {
      const char* e = std::strchr(p, '}');
      if (e) {
        std::string tag(p + 1, e);
        if (tag == "c -(") { r += '{'; p = e; continue; }
        if (tag == "c )-") { r += '}'; p = e; continue; }
        if (tag == "res" || tag == "txt" || tag == "err" || tag == "com" || tag == "hi" ||
            tag == "zmcl") { p = e; continue; }
        if (tag.rfind("hline", 0) == 0) {
          int n = tag.size() > 6 ? std::atoi(tag.c_str() + 6) : 10;
          r.append(static_cast<size_t>(n > 0 ? n : 0), '-');
          p = e;
          continue;
        }
      }
    }
    r += *p;
  }
  return r;
}

static std::string escape(const char* t) {
  std::string r;
  for (const char* p = t; *p; ++p) {
    if (*p == '{') r += "{c -(}";
    else if (*p == '}') r += "{c )-}";
    else r += *p;
  }
  return r;
}

static bool shown() { return out.c_outlev >= out.s_outlev; }

int spoutsml(const char* text) {
  if (shown()) emit(render(text));
  return 0;
}
int spout21(const char* text) { return spoutsml(escape(text).c_str()); }
int spoutnosml(const char* text) { return spout21(text); }
int spoutch(int c) {
  char b[2] = {static_cast<char>(c), 0};
  return spout21(b);
}
int newline() { return spoutsml("\n"); }
int spoutblnk(const char* text, int n) {
  spout21(text);
  return dupblnk(n);
}
int dupch(int c, int n) { return spout21(std::string(static_cast<size_t>(n > 0 ? n : 0), static_cast<char>(c)).c_str()); }
int dupblnk(int n) { return dupch(' ', n); }
int spouterr(const char* text) {
  out.c_outlev = OUT_ERROR;
  return spout21(text);
}
int spouterrblnk(const char* text) {
  spouterr(text);
  return spout21(" ");
}
int spoutfordo(const char* text) {
  int prev = setoutlev(OUT_COMMAND);
  spout21(text);
  setoutlev(prev);
  return 0;
}
int spoutflush() {
  out_flush_all();
  return 0;
}
int spout_setcoloroflev() { return 0; }
int spoutsetzmclweak() { return 0; }

static std::string vfmt(const char* fmt, va_list ap) {
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
int spoutsmlf(const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  std::string s = vfmt(fmt, ap);
  va_end(ap);
  return spoutsml(s.c_str());
}
int spout21f(const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  std::string s = vfmt(fmt, ap);
  va_end(ap);
  return spout21(s.c_str());
}
int setoutlev(int lev) {
  int prev = out.c_outlev;
  out.c_outlev = lev;
  return prev;
}
