// libFuzzer target for the Vemo compiler and virtual machine: random text,
// taken as the lines of a block, is compiled and run statement by statement
// with a step limit (a run past it stops as if Break had been pressed), a
// cap on object sizes, and management lines refused. After clearing, no
// object may be left alive.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "interp/cmdtab.h"
#include "interp/interp.h"
#include "output/output.h"
#include "platform/platform.h"
#include "vemo/vemo.h"
#include "vemo/vm.h"

namespace {

std::string sink;
std::vector<std::string> lines;
size_t next = 0;

int more(std::string& line) {
  if (next >= lines.size()) return 1;
  line = lines[next++];
  return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool ready = [] {
    out_set_capture(&sink);
    cmdinit_table();
    interp.embedded = true;
    vst.nomanagement = true;
    vst.maxbytes = 1 << 22;
    return vemo_start() == 0;
  }();
  if (!ready || size > 4000) return 0;
  lines.clear();
  std::string cur;
  for (size_t i = 0; i < size; ++i) {
    char c = static_cast<char>(data[i]);
    if (c == '\n') {
      lines.push_back(cur);
      cur.clear();
    } else {
      cur.push_back(c == 0 ? ' ' : c);
    }
  }
  lines.push_back(cur);
  next = 0;
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
