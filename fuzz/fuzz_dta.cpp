// Feeds arbitrary bytes to the .dta reader as a file: `use` of the whole
// file, a subset `use`, `describe using`, and `append`/`merge` onto a small
// dataset. Every input must end in a return code with the dataset in a
// defined state, never a crash, a hang or a read past a buffer.
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
  static std::string path;
  static std::string sink;
  if (path.empty()) {
    char tmpl[] = "/tmp/zelta_fuzz_XXXXXX.dta";
    int fd = mkstemps(tmpl, 4);
    if (fd < 0) std::abort();
    close(fd);
    path = tmpl;
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
  const std::string q = "\"" + path + "\"";
  (void)execline("use " + q + ", clear");
  (void)execline("describe");
  (void)execline("use in 1/2 using " + q + ", clear");
  (void)execline("_dtadescribe using " + q);
  ds_reset();
  (void)execline("set obs 3");
  (void)execline("generate id = _n");
  (void)execline("append using " + q);
  ds_reset();
  (void)execline("set obs 3");
  (void)execline("generate id = _n");
  (void)execline("_merge using " + q);
  ds_reset();
  out.s_outlev = 0;
  return 0;
}
