// Feeds arbitrary bytes through the do-file reader and the command loop:
// line assembly, tokenizing, macro expansion, dispatch and parsing. Every
// input must end in a return code, never a crash or a hang.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "data/store.h"
#include "data/vlabel.h"
#include "interp/cmdtab.h"
#include "interp/interp.h"
#include "output/output.h"
#include "platform/platform.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static std::string path;
  static std::string sink;
  if (path.empty()) {
    char tmpl[] = "/tmp/zelta_fuzz_XXXXXX.do";
    int fd = mkstemps(tmpl, 3);
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
  interp.maxcommands = 2000;
  interp.commands_run = 0;
  stopflag = 0;
  sink.clear();
  int rc = execline("do \"" + path + "\"");
  (void)rc;
  ds_reset();
  vldropall();
  out.s_outlev = 0;
  interp.procflg = true;
  interp.delimit = 0;
  return 0;
}
