// Feeds arbitrary bytes to `file sersetread` as a series set stored in a
// graph file, then lists the set it made. Every input must end in a return
// code, never a crash, and no set file may be left behind.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "graphics/graphics.h"
#include "interp/cmdtab.h"
#include "interp/interp.h"
#include "output/output.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static std::string path, sink;
  if (path.empty()) {
    char tmpl[] = "/tmp/zelta_fuzz_ser_XXXXXX";
    int fd = mkstemp(tmpl);
    if (fd < 0) std::abort();
    close(fd);
    path = tmpl;
    interp.embedded = true;
    out_open_console(false, 80);
    out_console_enable(false);
    out_set_capture(&sink);
    cmdinit_table();
  }
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  sink.clear();
  (void)execline("file open fh using \"" + path + "\", read binary");
  if (execline("file sersetread fh") == 0) (void)execline("serset dump");
  (void)execline("file close _all");
  serset_clearall();
  return 0;
}
