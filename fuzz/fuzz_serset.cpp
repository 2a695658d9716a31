// Feeds arbitrary bytes to `file sersetread` as a series set stored in a
// graph file, then lists the set it made. Every input must end in a return
// code, never a crash, and no set file may be left behind.
#include "cmd_fuzz.h"
#include "graphics/graphics.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static std::string path;
  if (path.empty()) {
    path = cmdfuzz::scratch("");
    cmdfuzz::start();
  }
  if (!cmdfuzz::put(path, data, size)) return 0;
  cmdfuzz::begin(200);
  (void)execline("file open fh using \"" + path + "\", read binary");
  if (execline("file sersetread fh") == 0) (void)execline("serset dump");
  (void)execline("file close _all");
  serset_clearall();
  cmdfuzz::finish();
  return 0;
}
