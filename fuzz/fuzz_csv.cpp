// Feeds arbitrary bytes to insheet as a delimited-text file (delimiter
// guessed, tab, a header forced off with doubles, floats with more missing
// tokens), then writes what was read with outsheet and reads that back, and
// turns text columns into numbers and back. Every input must end in a return
// code with the dataset in a defined state: no crash, hang or overread.
#include "cmd_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static std::string path, out;
  if (path.empty()) {
    path = cmdfuzz::scratch(".csv");
    out = path + ".out";
    cmdfuzz::start();
  }
  if (!cmdfuzz::put(path, data, size)) return 0;
  cmdfuzz::begin(200);
  const std::string q = "\"" + path + "\"", o = "\"" + out + "\"";
  (void)execline("insheet using " + q + ", clear");
  (void)execline("outsheet using " + o + ", comma replace");
  (void)execline("insheet using " + o + ", clear comma");
  (void)execline("insheet using " + q + ", clear tab names");
  (void)execline("insheet using " + q + ", clear nonames double delimiter(\";\")");
  (void)execline("outsheet using " + o + ", replace nolabel noquote");
  (void)execline("insheet using " + q + ", clear float missing(\"-99\" \"n/a\" NA)");
  (void)execline("outsheet using " + o + ", replace formatted");
  (void)execline("tonumeric _all, replace tomissing strip(\",\")");
  (void)execline("totext _all, replace");
  cmdfuzz::finish();
  return 0;
}
