// Feeds arbitrary bytes to the transport-file reader as a file: fdause and
// fdadescribe, then a save of whatever loaded. Every input must end in a
// return code with the dataset in a defined state, never a crash, a hang or
// a read past a buffer.
#include "cmd_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static std::string path, out;
  if (path.empty()) {
    path = cmdfuzz::scratch(".xpt");
    out = cmdfuzz::scratch(".xpt");
    cmdfuzz::start();
  }
  if (!cmdfuzz::put(path, data, size)) return 0;
  cmdfuzz::begin(200);
  const std::string q = "\"" + path + "\"";
  (void)execline("fdadescribe " + q);
  (void)execline("fdause " + q + ", clear");
  (void)execline("describe");
  (void)execline("fdasave \"" + out + "\", replace rename");
  cmdfuzz::finish();
  return 0;
}
