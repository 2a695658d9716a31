// Feeds arbitrary bytes to the .dta reader as a file: `use` of the whole
// file, a subset `use`, `describe using`, and `append`/`merge` onto a small
// dataset. Every input must end in a return code with the dataset in a
// defined state, never a crash, a hang or a read past a buffer.
#include "cmd_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static std::string path;
  if (path.empty()) {
    path = cmdfuzz::scratch(".dta");
    cmdfuzz::start();
  }
  if (!cmdfuzz::put(path, data, size)) return 0;
  cmdfuzz::begin(200);
  const std::string q = "\"" + path + "\"";
  (void)execline("use " + q + ", clear");
  (void)execline("describe");
  (void)execline("use in 1/2 using " + q + ", clear");
  (void)execline("_dtadescribe using " + q);
  cmdfuzz::newdata();
  (void)execline("set obs 3");
  (void)execline("generate id = _n");
  (void)execline("append using " + q);
  cmdfuzz::newdata();
  (void)execline("set obs 3");
  (void)execline("generate id = _n");
  (void)execline("_merge using " + q);
  cmdfuzz::finish();
  return 0;
}
