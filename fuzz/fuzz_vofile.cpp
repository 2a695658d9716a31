// libFuzzer target for the reader of Vemo object files and libraries: the
// input is taken as a file's bytes; its header is checked, each member read
// and its code checked, and whatever loads is freed again. A bad file must
// give a code, never a crash.
#include <cstdint>
#include <string>
#include <vector>

#include "output/output.h"
#include "vemo/vm.h"
#include "vemo/vofile.h"

namespace {
std::string sink;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool ready = [] {
    out_set_capture(&sink);
    return true;
  }();
  if (!ready || size > (1 << 20)) return 0;
  std::vector<unsigned char> b(data, data + size);
  VoImage im;
  if (vo_parse(b, "fuzz.vlib", im, false) == 0) {
    for (const VoMember& m : im.members) {
      Fcn* f = nullptr;
      int release = 0;
      if (vo_readmember(b, "fuzz.vlib", m, &f, &release, false) == 0) {
        std::vector<int32_t> other;
        std::string msg;
        (void)vo_revcode(f->code, other, msg);
        delete f;
      }
    }
  }
  sink.clear();
  return 0;
}
