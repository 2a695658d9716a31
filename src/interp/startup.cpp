// Start-up and shut-down: command-line options, the system directory, the
// output channel, batch mode with its log, profile.do, the initial command
// and the interactive loop.
#include <unistd.h>
#include <sys/stat.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "data/arena.h"
#include "data/store.h"
#include "interp/cmdtab.h"
#include "interp/complete.h"
#include "interp/history.h"
#include "interp/interp.h"
#include "interp/tokenizer.h"
#include "output/errors.h"
#include "output/output.h"
#include "platform/platform.h"

int toplevel_loop();

namespace {

constexpr int MARKER = 9;  // number of the marker file "iszelta.NN"

void usage() {
  std::printf(
      "zelta:  usage:  zelta [-h -k# -m# -q -s -b -e] [\"zelta command\"]\n"
      "where:\n"
      "-h    show this display\n"
      "-k#   fix data memory at #k, default grows with the data\n"
      "-m#   fix data memory at #m, -m1 same as -k1024\n"
      "-q    suppress logo, initialization messages\n"
      "-s    \"batch\" mode creating .zmcl log\n"
      "-b    \"batch\" mode creating .log file\n"
      "-e    \"batch\" mode creating .log file, exit without prompting\n");
}

struct Options {
  bool quiet = false;
  int batch = 0;      // 0 none, 'b', 'e', 's'
  long memory = -1;   // bytes
  long matsize = -1;
  long maxvar = -1;
  std::string initial;
};

// Reads a number following an option letter; false when malformed.
bool optnum(const char* p, long* v) {
  if (!*p) return false;
  char* end;
  long x = std::strtol(p, &end, 10);
  if (*end) return false;
  *v = x;
  return true;
}

// Parses the leading options; 0 ok, 1 usage shown (exit 0), 2 error.
int parseoptions(int argc, char** argv, Options& o) {
  int i = 1;
  for (; i < argc && argv[i][0] == '-' && argv[i][1]; ++i) {
    const char* a = argv[i] + 1;
    if (!std::strncmp(a, "psn", 3)) continue;
    const int c = std::tolower(static_cast<unsigned char>(a[0]));
    long v;
    switch (c) {
      case 'h': usage(); return 1;
      case 'q': o.quiet = true; break;
      case 'b': case 'e': case 's': o.batch = c; break;
      case 'k':
        if (!optnum(a + 1, &v) || v < 10) { usage(); return 2; }
        o.memory = v * 1024;
        break;
      case 'm':
        if (!optnum(a + 1, &v) || v < 1) { usage(); return 2; }
        o.memory = v * 1048576;
        break;
      case 'd':
        if (!optnum(a + 1, &v) || v < 10 || v > 11000) { usage(); return 2; }
        o.matsize = v;
        break;
      case 'v':
        if (!optnum(a + 1, &v) || v < 2048 || v > 32767) { usage(); return 2; }
        o.maxvar = v;
        break;
      case 'o': break;  // accepted and ignored
      case 'x': break;
      case '$': break;
      default: usage(); return 2;
    }
  }
  for (; i < argc; ++i) {
    if (!o.initial.empty()) o.initial += ' ';
    o.initial += argv[i];
  }
  // A lone do-file name runs as if `do file.do` had been typed.
  if (i == argc && argc >= 2 && o.initial == argv[argc - 1] && o.initial.size() > 3 &&
      o.initial.compare(o.initial.size() - 3, 3, ".do") == 0)
    o.initial = (o.initial.find(' ') != std::string::npos ? "do \"" + o.initial + "\"" : "do " + o.initial);
  return 0;
}

bool fileexists(const std::string& p) {
  struct stat st {};
  return ::stat(p.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The system directory: the directory holding the executable.
int findsysdir() {
  char buf[4096];
  ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  std::string dir;
  if (n > 0) {
    buf[n] = 0;
    dir = buf;
    size_t k = dir.rfind('/');
    dir = k == std::string::npos ? "./" : dir.substr(0, k + 1);
  }
  if (const char* env = std::getenv("ZELTA_SYSDIR")) {
    dir = env;
    if (dir.empty() || dir.back() != '/') dir += '/';
  }
  char marker[32];
  std::snprintf(marker, sizeof marker, "iszelta.%02d", MARKER);
  if (dir.empty() || dir.size() > 127) {
    std::fputs("cannot find Zelta directory\n", stderr);
    return 1;
  }
  if (!fileexists(dir + marker)) {
    std::fputs("cannot find Zelta directory\n", stderr);
    std::fprintf(stderr, "%s is missing\n", marker);
    return 1;
  }
  interp.sysdir = dir;
  return 0;
}

// The batch log name: after the do-file of `do`/`run`, else zelta.log.
std::string batchlogname(const std::string& initial, bool zmcl) {
  const char* ext = zmcl ? ".zmcl" : ".log";
  TokState saved;
  borrow_gettok(&saved);
  settok(initial.c_str());
  std::string w = gettok(prsestd);
  std::string name = "zelta";
  if (cmdcmp(w.c_str(), "do", 2) || cmdcmp(w.c_str(), "run", 2)) {
    std::string f;
    if (!gettokfn(f) && f.size() <= 64) {
      size_t k = f.rfind('/');
      std::string last = k == std::string::npos ? f : f.substr(k + 1);
      size_t dot = last.find('.');
      if (dot != std::string::npos) last = last.substr(0, dot);
      if (!last.empty()) name = last;
    }
  }
  return_gettok(&saved);
  return name + ext;
}

std::string findprofile() {
  std::vector<std::string> dirs;
  dirs.push_back(interp.sysdir);
  dirs.push_back("./");
  if (const char* path = std::getenv("PATH")) {
    std::string p = path;
    size_t a = 0;
    while (a <= p.size()) {
      size_t b = p.find(':', a);
      if (b == std::string::npos) b = p.size();
      std::string d = p.substr(a, b - a);
      if (!d.empty()) dirs.push_back(d + "/");
      a = b + 1;
    }
  }
  if (const char* home = std::getenv("HOME")) dirs.push_back(std::string(home) + "/");
  for (auto& d : dirs)
    if (fileexists(d + "profile.do")) {
      if (d == "./") {
        char cwd[4096];
        if (::getcwd(cwd, sizeof cwd)) return std::string(cwd) + "/profile.do";
      }
      return d + "profile.do";
    }
  return "";
}

}  // namespace

int startup_sysdir() { return findsysdir(); }
std::string startup_profile() { return findprofile(); }

// The exit status of a batch run whose initial command ended with code rc,
// so that make and scripts see a failed run: 0 after success, 1 after a
// Break or a code too large for an exit status, else the code itself.
static int batchstatus(int rc) {
  if (rc == 0) return 0;
  return rc > 0 && rc <= 255 ? rc : 1;
}

int zelta_main(int argc, char** argv) {
  Options o;
  int r = parseoptions(argc, argv, o);
  if (r == 1) return 0;
  if (r == 2) return 1;
  if (o.maxvar > 0) {
    ds.maxmaxvar = static_cast<int>(o.maxvar);
    interp.conslen = static_cast<int>(cmdline_len(o.maxvar));
    interp.macrolen = static_cast<int>(macro_len(o.maxvar));
    interp.maxlrecl = static_cast<int>(12 * o.maxvar);
  }
  if (o.memory > 0) ds_memorycap(static_cast<uint64_t>(o.memory));
  if (o.matsize > 0) interp.matsize = static_cast<int>(o.matsize);

  const bool batch = o.batch != 0;
  interp.batchmode = batch ? (o.quiet ? 2 : 1) : 0;
  interp.batchmodeexit = o.batch == 'e' || (o.batch == 'b' && std::getenv("REMOTEHOST"));
  const bool tty = !batch && plat_stdout_tty();
  out_open_console(tty, tty ? plat_termwidth() : 80);
  if (findsysdir()) return 1;

  std::FILE* logf = nullptr;
  if (batch) {
    if (o.initial.empty()) {
      std::fputs("-b specified with no command\n", stderr);
      return 1;
    }
    std::string logname = batchlogname(o.initial, o.batch == 's');
    logf = std::fopen(logname.c_str(), "w");
    if (!logf) {
      std::fprintf(stderr, "unable to open `%s'\n", logname.c_str());
      return 1;
    }
    out_attach_log(logf, o.batch == 's');
    out_console_enable(false);
    interp.nokbrd = true;
  }
  plat_init(!batch);
  history_seed(plat_histlines());
  plat_setcompleter(cmpl_words);
  cmdinit_table();
  // Without a matrix store to own it, the messages read matsize from here.
  if (!errst.matsize) errst.matsize = [] { return interp.matsize; };

  if (!o.quiet) {
    if (!batch) spoutsml("{txt}Zelta 9.2 for Linux\n\n");
    // The settings are noted only where the options changed them.
    setoutlev(OUT_NOTE);
    if (o.memory > 0)
      spout21f("(-set memory-) %.2f MB allocated to data\n", static_cast<double>(ds.memorysize) / 1048576.0);
    if (o.maxvar > 0) spout21f("(-set maxvar-) %d maximum variables\n", ds.maxmaxvar);
    if (batch) spout21("Zelta running in batch mode\n");
  }
  setoutlev(OUT_RESULT);

  std::string profile = findprofile();
  if (!profile.empty()) {
    setoutlev(OUT_NOTE);
    spout21f("running %s ...\n", profile.c_str());
    setoutlev(OUT_RESULT);
    interp.console = "run \"" + profile + "\"";
    settok(interp.console.c_str());
    doreq();
  }
  if (!o.initial.empty()) {
    if (interp.batchmode != 2) {
      int prev = setoutlev(OUT_COMMAND);
      spout21(". ");
      spout21(o.initial.c_str());
      newline();
      setoutlev(prev);
    }
    interp.console = o.initial;
    settok(interp.console.c_str());
    doreq();
  }
  if (batch) {
    out_flush_all();
    if (logf) std::fclose(logf);
    return batchstatus(interp.globalrc);
  }
  toplevel_loop();
  out_flush_all();
  return 0;
}
