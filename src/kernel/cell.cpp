// Running a notebook cell. The cell is read like a do-file (comments, `///`
// continuation lines, `#delimit`) from an in-memory file, but its commands run
// at the console's level, so locals, the dataset and everything else persist
// from cell to cell. The console destination of the output channel is a
// stream whose writes become `stream` messages while the cell runs; text
// printed at the error level is held so that the failing command's message
// goes into the error reply instead of the output.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include <openssl/crypto.h>

#include "graphics/graphics.h"
#include "interp/cmdtab.h"
#include "interp/dofile.h"
#include "interp/interp.h"
#include "interp/lineloop.h"
#include "interp/tokenizer.h"
#include "kernel/kernel.h"
#include "output/errors.h"
#include "output/output.h"
#include "platform/platform.h"

namespace {

// Shortest pause between two stream messages, so that a command printing
// thousands of lines sends them in batches.
constexpr double STREAMGAP = 0.05;

// The cell as a line source of the kind do-files are (for `#delimit`).
struct CellSource : LineSource {
  DoFile* h = nullptr;
  bool ended = false;
  ~CellSource() override { dofclos(h); }
  int next(std::string& line) override {
    if (ended || !h) return 1;
    int r = rddofile(line, h, static_cast<size_t>(interp.conslen - 1), interp.delimit, false);
    if (r) ended = true;
    return r;
  }
  bool isdofile() const override { return true; }
};

struct Streamer {
  const KMsg* parent = nullptr;  // the execute request being answered
  bool silent = false;           // nothing is broadcast
  std::string out;               // results text not sent yet
  std::string err;               // error-level text held back
  std::string lasterr;           // the last error-level text sent as a stream
  double last = 0;               // when the last stream message went out
  bool intable = false;          // a table's text is being collected
  std::string table;             // the text of that table
};
Streamer st;

void sendstream(const char* name, std::string& text) {
  if (text.empty()) return;
  if (!st.silent && st.parent)
    kwire_publish(kwire_make("stream", st.parent, {{"name", name}, {"text", text}}));
  text.clear();
  st.last = plat_now();
}

void flushout() { sendstream("stdout", st.out); }

// Writes of the console destination.
ssize_t cookiewrite(void*, const char* buf, size_t n) {
  if (st.intable) {
    st.table.append(buf, n);
    return static_cast<ssize_t>(n);
  }
  if (out.c_outlev == OUT_ERROR) {
    st.err.append(buf, n);
    return static_cast<ssize_t>(n);
  }
  if (!st.err.empty()) {
    flushout();
    st.lasterr = st.err;
    sendstream("stderr", st.err);
  }
  st.out.append(buf, n);
  if (plat_now() - st.last >= STREAMGAP) flushout();
  return static_cast<ssize_t>(n);
}

// Makes an in-memory file holding text; a descriptor or -1.
int memfile(const std::string& text) {
  int fd = memfd_create("zelta-cell", 0);
  if (fd < 0) return -1;
  size_t off = 0;
  while (off < text.size()) {
    ssize_t k = ::write(fd, text.data() + off, text.size() - off);
    if (k <= 0) {
      ::close(fd);
      return -1;
    }
    off += static_cast<size_t>(k);
  }
  ::lseek(fd, 0, SEEK_SET);
  return fd;
}

// The table receiver: the text between begin and end goes out as display
// data with the table's HTML instead of as a stream.
void tablebegin() {
  out_flush_all();
  flushout();
  st.table.clear();
  st.intable = true;
}

void tableend(const OutTable& t) {
  out_flush_all();
  st.intable = false;
  if (st.table.empty()) return;
  if (!st.silent && st.parent)
    kwire_publish(kwire_make("display_data", st.parent,
                             {{"data", {{"text/plain", st.table}, {"text/html", krich_html(t)}}},
                              {"metadata", json::object()},
                              {"transient", json::object()}}));
  st.table.clear();
  st.last = plat_now();
}

std::string trimnl(std::string s) {
  while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
  size_t a = 0;
  while (a < s.size() && s[a] == '\n') ++a;
  return s.substr(a);
}

// After each line of a cell: a graph drawn since the last line goes out as
// rich display data (ctx is the execute request).
void sendgraph(void* ctx) {
  if (gr.shown != ks.shownbefore && gr.gdl) {
    out_flush_all();
    flushout();
    if (!st.silent) krich_graph(*static_cast<const KMsg*>(ctx));
  }
  ks.shownbefore = gr.shown;
}

// Runs the lines of src at the console's level, through the loop of do-files,
// until one fails; returns the code that stopped it (0 at the end or after `exit`).
int runcell(CellSource& src, const KMsg& parent) {
  LineLoop how;
  how.newlevel = false;
  how.stop = true;
  how.blankline = false;
  how.afterline = sendgraph;
  how.ctx = const_cast<KMsg*>(&parent);
  ks.shownbefore = gr.shown;
  return runlines(src, how);
}

}  // namespace

void kcell_init() {
  cookie_io_functions_t io{};
  io.write = cookiewrite;
  std::FILE* f = fopencookie(nullptr, "w", io);
  if (f) setvbuf(f, nullptr, _IONBF, 0);
  out_open_console(false, 80);
  if (f) out_set_console_file(f);
  out_set_more(false);
  out_set_tablereceiver(tablebegin, tableend);
  interp.nokbrd = true;
  interp.noreportlevel = 0;
  plat_init(false);
  // `about` lists what this front end links on top of the core.
  int zma = 0, zmi = 0, zpa = 0;
  zmq_version(&zma, &zmi, &zpa);
  plat_addlibrary("ZeroMQ", std::to_string(zma) + "." + std::to_string(zmi) + "." + std::to_string(zpa));
  std::string ssl = OpenSSL_version(OPENSSL_VERSION);  // "OpenSSL 3.0.11 19 Sep 2023"
  size_t sp = ssl.find(' ');
  plat_addlibrary("OpenSSL", sp == std::string::npos ? ssl : ssl.substr(sp + 1, ssl.find(' ', sp + 1) - sp - 1));
  plat_addlibrary("JSON for Modern C++", std::to_string(NLOHMANN_JSON_VERSION_MAJOR) + "." +
                                            std::to_string(NLOHMANN_JSON_VERSION_MINOR) + "." +
                                            std::to_string(NLOHMANN_JSON_VERSION_PATCH));
  cmdinit_table();
  if (!errst.matsize) errst.matsize = [] { return interp.matsize; };
}

// Runs profile.do the way the console does, its output going nowhere.
void kcell_profile() {
  std::string profile = startup_profile();
  if (profile.empty()) return;
  st.silent = true;
  interp.console = "run \"" + profile + "\"";
  settok(interp.console.c_str());
  doreq();
  out_flush_all();
  st.out.clear();
  st.err.clear();
  st.silent = false;
}

KCellResult kcell_run(const std::string& code, const KMsg& parent) {
  KCellResult res;
  st.parent = &parent;
  st.silent = kjbool(parent.content, "silent", false);
  st.out.clear();
  st.err.clear();
  st.lasterr.clear();
  st.last = 0;
  stopflag = 0;
  // A do-file's last line counts only when ended; a cell's always does.
  int fd = memfile(code.empty() || code.back() == '\n' ? code : code + "\n");
  if (fd < 0) {
    res.rc = 909;
    res.message = "no room for the cell";
    return res;
  }
  CellSource src;
  src.h = new DoFile;
  src.h->fd = fd;
  interp.delimit = 0;
  res.rc = runcell(src, parent);
  interp.delimit = 0;
  stopflag = 0;
  out_flush_all();
  flushout();
  if (res.rc) {
    // A failure inside a do-file was reported there; its message is the
    // last error text shown.
    res.message = trimnl(st.err.empty() ? st.lasterr : st.err);
    st.err.clear();
    if (res.rc == 1 && res.message.empty()) res.message = "--Break--";
  } else {
    sendstream("stderr", st.err);
  }
  st.parent = nullptr;
  return res;
}

