// libFuzzer target for the Vemo compiler: random text, taken as the lines of
// a block, is compiled statement by statement (continuation lines included)
// without running anything; functions it defines are dropped afterwards.
#include <cstdint>
#include <string>

#include "vemo/vm.h"
#include "vemo_fuzz_lines.h"

using namespace vemofuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool ready = start(0);
  if (!ready || size > 4000) return 0;
  split(data, size);
  std::string line;
  while (!more(line)) {
    CcSource src;
    src.line = line;
    src.canmore = true;
    src.more = more;
    for (;;) {
      Fcn* f = nullptr;
      if (cc_compile(src, &f)) break;
      if (f) delete f;
      if (src.line.find_first_not_of(" \t", src.pos) == std::string::npos) break;
    }
  }
  vemo_clear();
  sink.clear();
  return 0;
}
