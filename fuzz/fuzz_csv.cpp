// Feeds arbitrary bytes to insheet as a delimited-text file (delimiter
// guessed, tab, and a header forced off with doubles), then writes what was
// read with outsheet and reads that back. Every input must end in a return
// code with the dataset in a defined state: no crash, hang or overread.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "data/store.h"
#include "interp/cmdtab.h"
#include "interp/interp.h"
#include "output/output.h"
#include "platform/platform.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static std::string path, out;
  static std::string sink;
  if (path.empty()) {
    char tmpl[] = "/tmp/zelta_fuzzcsv_XXXXXX.csv";
    int fd = mkstemps(tmpl, 4);
    if (fd < 0) std::abort();
    close(fd);
    path = tmpl;
    out = path + ".out";
    interp.embedded = true;
    const char* sys = std::getenv("ZELTA_SYSDIR");
    interp.sysdir = sys ? sys : "./";
    out_open_console(false, 80);
    out_console_enable(false);
    out_set_capture(&sink);
    cmdinit_table();
  }
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  interp.maxcommands = 200;
  interp.commands_run = 0;
  stopflag = 0;
  sink.clear();
  const std::string q = "\"" + path + "\"", o = "\"" + out + "\"";
  (void)execline("insheet using " + q + ", clear");
  (void)execline("outsheet using " + o + ", comma replace");
  (void)execline("insheet using " + o + ", clear comma");
  (void)execline("insheet using " + q + ", clear tab names");
  (void)execline("insheet using " + q + ", clear nonames double delimiter(\";\")");
  (void)execline("outsheet using " + o + ", replace nolabel noquote");
  ds_reset();
  return 0;
}
