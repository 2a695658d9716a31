// Feeds arbitrary bytes to the XML reader as a file, as either form (the
// dataset document and the spreadsheet), then saves what loaded in both
// forms. Every input must end in a return code with the dataset in a
// defined state, never a crash, a hang or a read past a buffer.
#include "cmd_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static std::string path, out;
  if (path.empty()) {
    path = cmdfuzz::scratch(".xml");
    out = cmdfuzz::scratch(".xml");
    cmdfuzz::start();
  }
  if (!cmdfuzz::put(path, data, size)) return 0;
  cmdfuzz::begin(200);
  const std::string q = "\"" + path + "\"";
  (void)execline("xmluse " + q + ", clear");
  (void)execline("xmlsave \"" + out + "\", replace");
  (void)execline("xmluse " + q + ", clear doctype(spreadsheet)");
  (void)execline("xmlsave \"" + out + "\", replace doctype(spreadsheet)");
  (void)execline("xmluse " + q + ", clear doctype(dataset)");
  cmdfuzz::finish();
  return 0;
}
