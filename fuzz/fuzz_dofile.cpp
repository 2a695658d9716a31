// Feeds arbitrary bytes through the do-file reader and the command loop:
// line assembly, tokenizing, macro expansion, dispatch and parsing. Every
// input must end in a return code, never a crash or a hang.
#include "cmd_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static std::string path;
  if (path.empty()) {
    path = cmdfuzz::scratch(".do");
    cmdfuzz::start();
  }
  if (!cmdfuzz::put(path, data, size)) return 0;
  cmdfuzz::begin(2000);
  (void)execline("do \"" + path + "\"");
  cmdfuzz::finish();
  return 0;
}
