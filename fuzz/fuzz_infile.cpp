// Feeds arbitrary bytes to infile: as a dictionary file (with whatever data
// follow its closing brace), as the data of a small dictionary, and as a
// free-format file read into numeric and string variables with value labels
// and `automatic`. Every input must end in a return code with the dataset
// either loaded or empty: no crash, hang or overread.
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

namespace {

std::string scratch(const char* suffix) {
  std::string t = std::string("/tmp/zelta_fuzzinf_XXXXXX") + suffix;
  int fd = mkstemps(t.data(), static_cast<int>(std::string(suffix).size()));
  if (fd < 0) std::abort();
  close(fd);
  return t;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static std::string dct, raw, fixed;
  static std::string sink;
  if (dct.empty()) {
    dct = scratch(".dct");
    raw = scratch(".raw");
    fixed = scratch(".dct");
    interp.embedded = true;
    const char* sys = std::getenv("ZELTA_SYSDIR");
    interp.sysdir = sys ? sys : "./";
    out_open_console(false, 80);
    out_console_enable(false);
    out_set_capture(&sink);
    cmdinit_table();
    std::FILE* f = std::fopen(fixed.c_str(), "wb");
    if (!f) std::abort();
    std::fprintf(f, "dictionary using \"%s\" {\n  _lines(2)\n  _column(2) str5 s %%5s\n  x %%4.2f\n"
                    "  _skip(1) y:lab\n  _line(2) _column(3) z %%3f\n}\n", raw.c_str());
    std::fclose(f);
  }
  for (const std::string* p : {&dct, &raw}) {
    std::FILE* f = std::fopen(p->c_str(), "wb");
    if (!f) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
  }
  interp.maxcommands = 200;
  interp.commands_run = 0;
  stopflag = 0;
  sink.clear();
  (void)execline("infile using \"" + dct + "\", clear automatic");
  (void)execline("infile using \"" + dct + "\" in 2/5, clear");
  (void)execline("infile using \"" + fixed + "\", clear automatic");
  (void)execline("infile a str3 b c:lab using \"" + raw + "\" if a < 5, clear automatic");
  (void)execline("infile a b using \"" + raw + "\", clear byvariable(3)");
  ds_reset();
  return 0;
}
