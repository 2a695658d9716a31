// Feeds arbitrary bytes to infile: as a dictionary file (with whatever data
// follow its closing brace), as the data of a small dictionary, and as a
// free-format file read into numeric and string variables with value labels
// and `automatic`. Every input must end in a return code with the dataset
// either loaded or empty: no crash, hang or overread.
#include "cmd_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static std::string dct, raw, fixed;
  if (dct.empty()) {
    dct = cmdfuzz::scratch(".dct");
    raw = cmdfuzz::scratch(".raw");
    fixed = cmdfuzz::scratch(".dct");
    cmdfuzz::start();
    std::FILE* f = std::fopen(fixed.c_str(), "wb");
    if (!f) std::abort();
    std::fprintf(f, "dictionary using \"%s\" {\n  _lines(2)\n  _column(2) str5 s %%5s\n  x %%4.2f\n"
                    "  _skip(1) y:lab\n  _line(2) _column(3) z %%3f\n}\n", raw.c_str());
    std::fclose(f);
  }
  if (!cmdfuzz::put(dct, data, size) || !cmdfuzz::put(raw, data, size)) return 0;
  cmdfuzz::begin(200);
  (void)execline("infile using \"" + dct + "\", clear automatic");
  (void)execline("infile using \"" + dct + "\" in 2/5, clear");
  (void)execline("infile using \"" + fixed + "\", clear automatic");
  (void)execline("infile a str3 b c:lab using \"" + raw + "\" if a < 5, clear automatic");
  (void)execline("infile a b using \"" + raw + "\", clear byvariable(3)");
  cmdfuzz::finish();
  return 0;
}
