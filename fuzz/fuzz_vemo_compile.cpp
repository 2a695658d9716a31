// libFuzzer target for the Vemo compiler: random text, taken as the lines of
// a block, is compiled statement by statement (continuation lines included)
// without running anything; functions it defines are dropped afterwards.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "interp/cmdtab.h"
#include "interp/interp.h"
#include "output/output.h"
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
