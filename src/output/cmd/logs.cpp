// Log files: `log` (the unnamed log and logs opened under a name), `cmdlog`
// (the typed command lines, always plain text) and `set logtype`. A log is a
// sink of the results stream: a ZMCL log receives the stream's input, a text
// log its rendered lines. Every log is flushed to the file after each command
// so that a crash loses at most the running command's output.
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <map>
#include <cstring>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

#include "interp/cmdtab.h"
#include "interp/tokenizer.h"
#include "output/errors.h"
#include "output/logs.h"
#include "output/output.h"
#include "output/zmcl.h"

#if __has_include("results/results.h")
#include "results/results.h"
#define LOG_HAVE_RESULTS 1
#endif

namespace {

// Longest log name.
constexpr size_t LOGNAMEMAX = 32;

struct LogRecord {
  std::FILE* f = nullptr;  // open file, nullptr when closed
  int sink = -1;           // handle of its sink in the results stream
  bool zmcl = false;       // ZMCL (true) or plain text
  bool on = false;         // logging (true) or paused
  std::string fn;          // file name, absolute
  std::string name;        // log name; empty for the unnamed log
};

struct LogState {
  LogRecord unnamed;                       // the log opened without name()
  std::map<std::string, LogRecord> named;  // logs opened with name(), by name
  std::FILE* cmdf = nullptr;               // the command log, nullptr when closed
  std::string cmdfn;                       // its file name, absolute
  bool cmdon = false;                      // the command log is writing
  bool deflzmcl = true;                    // `set logtype`: ZMCL (true) or text
};
LogState lg;

// The file name with the current folder in front when it is relative.
std::string absname(const std::string& fn) {
  if (!fn.empty() && fn[0] == '/') return fn;
  char buf[4096];
  if (!getcwd(buf, sizeof buf)) return fn;
  std::string d = buf;
  if (d.empty() || d.back() != '/') d += '/';
  return d + fn;
}

// The extension of fn in lower case ("" when there is none).
std::string extension(const std::string& fn) {
  size_t slash = fn.rfind('/');
  size_t dot = fn.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
  std::string e = fn.substr(dot);
  for (char& c : e) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return e;
}

// Opens fn for a log: appending, truncating, or only when it does not exist.
// The file or nullptr with the message printed and *rc set.
std::FILE* openlogfile(const std::string& fn, bool append, bool replace, int* rc) {
  if (!append && !replace && ::access(fn.c_str(), F_OK) == 0) {
    *rc = errmsgf(RC_FILEOPEN, "file %s already exists\n", fn.c_str());
    return nullptr;
  }
  std::FILE* f = std::fopen(fn.c_str(), append ? "a" : "w");
  if (!f) *rc = fierr(RC_FILEOPEN, fn.c_str());
  return f;
}

// "6 Dec 2026, 15:42:14": the date and time of the header's event line. The
// test scripts fix it through ZELTA_LOGCLOCK so that expected logs are stable.
std::string nowtext() {
  if (const char* fixed = std::getenv("ZELTA_LOGCLOCK")) return fixed;
  static const char* mon[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  std::time_t now = std::time(nullptr);
  std::tm t{};
  localtime_r(&now, &t);
  char b[64];
  std::snprintf(b, sizeof b, "%d %s %d, %02d:%02d:%02d", t.tm_mday, mon[t.tm_mon],
                t.tm_year + 1900, t.tm_hour, t.tm_min, t.tm_sec);
  return b;
}

// The header block of a log (`logmsg`); event is "opened", "paused",
// "resumed", "closed", or nullptr for a query. Printed only when shown.
void logmsg(const LogRecord& r, const char* event) {
  if (out.s_outlev >= OUT_ERROR) return;
  std::string ev = event ? event : "";
  int prev = setoutlev(OUT_NOTE);
  if (ev == "opened" || ev == "resumed") spoutsml("{.-}\n");
  if (!r.name.empty()) {
    spout21("      name:  ");
    setoutlev(OUT_RESULT);
    spout21(r.name.c_str());
    setoutlev(OUT_NOTE);
    newline();
  }
  spout21("       log:  ");
  setoutlev(OUT_RESULT);
  spout21(r.fn.c_str());
  setoutlev(OUT_NOTE);
  if (!event) spout21(r.on ? ", on" : ", off");
  newline();
  spout21("  log type:  ");
  setoutlev(OUT_RESULT);
  spout21(r.zmcl ? "zmcl" : "text");
  setoutlev(OUT_NOTE);
  newline();
  if (event) {
    std::string w(ev.size() < 7 ? 7 - ev.size() : 0, ' ');
    w += ev + " on:  " + nowtext() + "\n";
    spout21(w.c_str());
  }
  if (ev == "paused" || ev == "closed") spoutsml("{txt}{.-}\n");
  setoutlev(prev);
}

// r(filename), r(status), r(type) of a log.
void postr(const LogRecord& r) {
#ifdef LOG_HAVE_RESULTS
  retval_clear();
  (void)retval_set_local("filename", r.fn);
  (void)retval_set_local("status", r.on ? "on" : "off");
  (void)retval_set_local("type", r.zmcl ? "zmcl" : "text");
#else
  (void)r;
#endif
}

// The log called name ("" the unnamed one); nullptr when it is not open.
LogRecord* findlog(const std::string& name) {
  if (name.empty()) return lg.unnamed.f ? &lg.unnamed : nullptr;
  auto it = lg.named.find(name);
  return it == lg.named.end() ? nullptr : &it->second;
}

// Number of open logs.
size_t nopen() { return lg.named.size() + (lg.unnamed.f ? 1 : 0); }

// The log a subcommand acts on: the one named, else the unnamed one, else the
// only one open. 0, 606 (none open) or 111 (unknown name), printed.
int picklog(const std::string& name, LogRecord** out_r) {
  if (!name.empty()) {
    if (nopen() == 0) return error(RC_NOLOG);
    *out_r = findlog(name);
    if (!*out_r) return errmsgf(RC_NOTFOUND, "log %s not found\n", name.c_str());
    return 0;
  }
  if (lg.unnamed.f) {
    *out_r = &lg.unnamed;
    return 0;
  }
  if (lg.named.size() == 1) {
    *out_r = &lg.named.begin()->second;
    return 0;
  }
  return error(RC_NOLOG);
}

// Hands what the log's buffer holds to the system: 0 when every write so far
// succeeded, else the errno of the failure (-1 when it is not known).
int flushfile(const LogRecord& r) {
  errno = 0;
  int err = 0;
  if (std::fflush(r.f) != 0) err = errno ? errno : -1;
  else if (std::ferror(r.f)) err = -1;
  const SmlStream* s = out_stream();
  if (err == -1 && r.sink >= 0 && r.sink < static_cast<int>(s->sinks.size()))
    if (int e = s->sinks[static_cast<size_t>(r.sink)].err) err = e;  // an earlier write's
  return err;
}

// Detaches, flushes and closes a log and forgets it: 0, or as flushfile
// when some write to it failed.
int closelog(LogRecord& r) {
  out_detach_log(r.sink);
  int err = flushfile(r);
  errno = 0;
  if (std::fclose(r.f) != 0 && !err) err = errno ? errno : -1;
  if (r.name.empty()) lg.unnamed = LogRecord{};
  else lg.named.erase(r.name);
  return err;
}

// The report of a log file that could not be written (err from flushfile),
// once the log is closed so that the message does not go to it. Returns 699.
int writefailed(const std::string& fn, int err) {
  const char* why = err > 0 ? std::strerror(err) : "";
  return errmsgf(RC_DISKFULL, "file %s could not be written%s%s\n", fn.c_str(), *why ? ": " : "", why);
}

// Closes the log: 0, or 699 (reported) when some write to it failed.
int flushclose(LogRecord& r) {
  const std::string fn = r.fn;
  if (int err = closelog(r)) return writefailed(fn, err);
  return 0;
}

// The rest of a subcommand line: an optional name and nothing else. 0 or 198.
int restname(std::string& name) {
  name = gettok(prsestd);
  if (*peektok_chr()) return errmsgf(RC_SYNTAX, "%s invalid\n", gettok(prsestd));
  if (name.size() > LOGNAMEMAX) return errmsgf(RC_SYNTAX, "%s invalid name\n", name.c_str());
  return 0;
}

// Reads "filename [, options]" after `using` into fn and the option list.
int readusing(ParseResult& pr, std::string& fn) {
  if (gettokfn(fn) || fn.empty()) return required("filename");
  const char* p = peektok_chr();
  if (*p == ',') {
    (void)gettok(prsestd);
    if (int rc = proption(pr)) return rc;
  } else if (*p) {
    return errmsgf(RC_SYNTAX, "invalid '%s'\n", gettok(prsestd));
  }
  return 0;
}

// log using filename [, append replace text zmcl name(name)]
int log_using(ParseResult& pr) {
  std::string fn;
  if (int rc = readusing(pr, fn)) return rc;
  bool append = findopt(pr, "append", 6, 0) == 1;
  bool replace = findopt(pr, "replace", 7, 0) == 1;
  bool text = findopt(pr, "text", 1, 0) == 1;
  bool zmcl = findopt(pr, "zmcl", 1, 0) == 1;
  std::string name;
  bool hasname = findargn(pr, "name", 4, name, 200, 1);
  if (int rc = chkopt(pr)) return rc;
  if (append && replace) return errmsgf(RC_SYNTAX, "options append and replace may not be combined\n");
  if (text && zmcl) return errmsgf(RC_SYNTAX, "options text and zmcl may not be combined\n");
  if (hasname) {
    if (name.empty() || name.size() > LOGNAMEMAX ||
        !(std::isalpha(static_cast<unsigned char>(name[0])) || name[0] == '_'))
      return errmsgf(RC_SYNTAX, "%s invalid name\n", name.empty() ? "nothing" : name.c_str());
    for (char c : name)
      if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_')
        return errmsgf(RC_SYNTAX, "%s invalid name\n", name.c_str());
  }
  if (findlog(name)) return error(RC_LOGOPEN);
  std::string ext = extension(fn);
  bool kind = lg.deflzmcl;
  if (text) kind = false;
  else if (zmcl) kind = true;
  else if (ext == ".log") kind = false;
  else if (ext == ".zmcl") kind = true;
  if (ext.empty()) fn += kind ? ".zmcl" : ".log";
  fn = absname(fn);
  int rc = 0;
  std::FILE* f = openlogfile(fn, append, replace, &rc);
  if (!f) return rc;
  std::fseek(f, 0, SEEK_END);
  int sink = out_attach_log(f, kind);
  if (sink < 0) {
    std::fclose(f);
    if (out.s_outlev < OUT_ERROR) errmsgf(RC_OK, "zmcl refused log request -- log not opened\n");
    return RC_FILEOPEN;
  }
  LogRecord r;
  r.f = f;
  r.sink = sink;
  r.zmcl = kind;
  r.on = true;
  r.fn = fn;
  r.name = name;
  LogRecord* rec = &lg.unnamed;
  if (!name.empty()) {
    auto [it, ok] = lg.named.emplace(name, r);
    if (!ok) {
      out_detach_log(sink);
      std::fclose(f);
      return error(RC_INSUFMEM);
    }
    rec = &it->second;
  } else {
    lg.unnamed = r;
  }
  logmsg(*rec, "opened");
  std::fflush(f);
  postr(*rec);
  return 0;
}

// The command log's line of a query.
void cmdlogline() {
  int prev = setoutlev(OUT_NOTE);
  spout21("    cmdlog:  ");
  setoutlev(OUT_RESULT);
  if (lg.cmdf) spout21f("%s, %s", lg.cmdfn.c_str(), lg.cmdon ? "on" : "off");
  else spout21("(closed)");
  newline();
  setoutlev(prev);
}

// log query [name], and `log` alone: every open log (or the one named), then
// the command log.
int log_query(const std::string& name) {
  if (!name.empty()) {
    LogRecord* r = nullptr;
    if (int rc = picklog(name, &r)) return rc;
    logmsg(*r, nullptr);
    postr(*r);
    return 0;
  }
  if (out.s_outlev < OUT_ERROR) {
    if (nopen() == 0) {
      int prev = setoutlev(OUT_NOTE);
      spout21("       log:  ");
      setoutlev(OUT_RESULT);
      spout21("(closed)\n");
      setoutlev(prev);
    }
    if (lg.unnamed.f) logmsg(lg.unnamed, nullptr);
    for (const auto& [n, r] : lg.named) logmsg(r, nullptr);
    cmdlogline();
  }
  if (lg.unnamed.f) postr(lg.unnamed);
  else if (nopen() == 1) postr(lg.named.begin()->second);
  return 0;
}

// log close|off|on [name]; close also takes _all.
int log_switch(int what) {
  std::string name;
  if (int rc = restname(name)) return rc;
  if (what == 0 && name == "_all") {
    if (nopen() == 0) return error(RC_NOLOG);
    int rc = 0;
    while (!lg.named.empty()) {
      LogRecord& r = lg.named.begin()->second;
      logmsg(r, "closed");
      if (int rc1 = flushclose(r); rc1 && !rc) rc = rc1;
    }
    if (lg.unnamed.f) {
      logmsg(lg.unnamed, "closed");
      if (int rc1 = flushclose(lg.unnamed); rc1 && !rc) rc = rc1;
    }
    return rc;
  }
  LogRecord* r = nullptr;
  if (int rc = picklog(name, &r)) return rc;
  if (what == 0) {
    logmsg(*r, "closed");
    return flushclose(*r);
  }
  bool on = what == 2;
  if (r->on == on) {
    int prev = setoutlev(OUT_NOTE);
    spoutsml(on ? "{txt}(log already on)\n" : "{txt}(log already off)\n");
    setoutlev(prev);
    return 0;
  }
  if (on) {
    out_log_enable(r->sink, true);
    r->on = true;
    logmsg(*r, "resumed");
  } else {
    logmsg(*r, "paused");
    out_log_enable(r->sink, false);
    r->on = false;
  }
  std::fflush(r->f);
  return 0;
}

// log using|close|off|on|query
int cmd_log(int) {
  ParseResult pr;
  std::string w = gettok(prsestd);
  if (w.empty()) return log_query("");
  if (w == "using") return log_using(pr);
  if (cmdcmp(w.c_str(), "close", 5)) return log_switch(0);
  if (w == "off") return log_switch(1);
  if (w == "on") return log_switch(2);
  if (cmdcmp(w.c_str(), "query", 1)) {
    std::string name;
    if (int rc = restname(name)) return rc;
    return log_query(name);
  }
  return errmsgf(RC_SYNTAX, "%s invalid\n", w.c_str());
}

// "(cmdlog filename event)" at the note level.
void cmdlogmsg(const char* event) {
  int prev = setoutlev(OUT_NOTE);
  spout21f("(cmdlog %s %s)\n", lg.cmdfn.c_str(), event);
  setoutlev(prev);
}

// cmdlog using filename [, append replace] | close | off | on
int cmd_cmdlog(int) {
  ParseResult pr;
  std::string w = gettok(prsestd);
  if (w.empty()) {
    cmdlogline();
    return 0;
  }
  if (w == "using") {
    std::string fn;
    if (int rc = readusing(pr, fn)) return rc;
    bool append = findopt(pr, "append", 6, 0) == 1;
    bool replace = findopt(pr, "replace", 7, 0) == 1;
    if (int rc = chkopt(pr)) return rc;
    if (append && replace) return errmsgf(RC_SYNTAX, "options append and replace may not be combined\n");
    if (lg.cmdf) return error(RC_LOGOPEN);
    if (extension(fn).empty()) fn += ".txt";
    fn = absname(fn);
    int rc = 0;
    std::FILE* f = openlogfile(fn, append, replace, &rc);
    if (!f) return rc;
    lg.cmdf = f;
    lg.cmdfn = fn;
    lg.cmdon = true;
    cmdlogmsg("opened");
    return 0;
  }
  int what;
  if (cmdcmp(w.c_str(), "close", 5)) what = 0;
  else if (w == "off") what = 1;
  else if (w == "on") what = 2;
  else return errmsgf(RC_SYNTAX, "%s invalid\n", w.c_str());
  if (*peektok_chr()) return errmsgf(RC_SYNTAX, "%s invalid\n", gettok(prsestd));
  if (!lg.cmdf) return error(RC_NOCMDLOG);
  if (what == 0) {
    cmdlogmsg("closed");
    std::fclose(lg.cmdf);
    lg.cmdf = nullptr;
    lg.cmdfn.clear();
    lg.cmdon = false;
    return 0;
  }
  bool on = what == 2;
  if (lg.cmdon == on) {
    int prev = setoutlev(OUT_NOTE);
    spoutsml(on ? "{txt}(cmdlog already on)\n" : "{txt}(cmdlog already off)\n");
    setoutlev(prev);
    return 0;
  }
  lg.cmdon = on;
  cmdlogmsg(on ? "resumed" : "paused");
  return 0;
}

// set logtype text|zmcl
int set_logtype(int) {
  std::string w = gettok(prsestd);
  bool zmcl;
  if (cmdcmp(w.c_str(), "text", 1)) zmcl = false;
  else if (cmdcmp(w.c_str(), "zmcl", 1)) zmcl = true;
  else return errmsgf(RC_SYNTAX, "%s invalid; must be text or zmcl\n", w.empty() ? "nothing" : w.c_str());
  const char* p = peektok_chr();
  if (*p) {
    std::string x = gettok(prsestd);
    if (x == ",") {
      std::string o = gettok(prseopt);
      if (!cmdcmp(o.c_str(), "permanently", 7) || *peektok_chr())
        return errmsgf(RC_SYNTAX, "option %s not allowed\n", o.c_str());
    } else {
      return errmsgf(RC_SYNTAX, "%s invalid\n", x.c_str());
    }
  }
  lg.deflzmcl = zmcl;
  return 0;
}

}  // namespace

// Writes a typed command line to the command log while it is on.
void out_cmdlog_line(const std::string& line) {
  if (!lg.cmdf || !lg.cmdon) return;
  std::fputs(line.c_str(), lg.cmdf);
  std::fputc('\n', lg.cmdf);
  std::fflush(lg.cmdf);
}

const char* out_logtype() { return lg.deflzmcl ? "zmcl" : "text"; }

bool out_loginfo(const std::string& name, std::string* filename, std::string* status, std::string* type) {
  const LogRecord* r = findlog(name);
  if (!r) return false;
  *filename = r->fn;
  *status = r->on ? "on" : "off";
  *type = r->zmcl ? "zmcl" : "text";
  return true;
}

int out_checklogs() {
  int rc = 0;
  std::vector<LogRecord*> open;
  if (lg.unnamed.f) open.push_back(&lg.unnamed);
  for (auto& [n, r] : lg.named) open.push_back(&r);
  std::vector<std::pair<std::string, int>> failed;
  for (LogRecord* r : open)
    if (int err = flushfile(*r)) {
      failed.emplace_back(r->fn, err);
      (void)closelog(*r);
    }
  // closed first, reported after: no message goes to a log that failed
  for (auto& [fn, err] : failed) rc = writefailed(fn, err);
  return rc;
}

// Closes every log and forgets the settings (unit tests).
void out_logs_reset() {
  while (!lg.named.empty()) (void)closelog(lg.named.begin()->second);
  if (lg.unnamed.f) (void)closelog(lg.unnamed);
  if (lg.cmdf) std::fclose(lg.cmdf);
  lg = LogState{};
}

void logs_bindcommands() {
  cmdbind("log", cmd_log);
  cmdbind("cmdlog", cmd_cmdlog);
  setbind("logtype", 7, set_logtype);
}
