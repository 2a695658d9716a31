// libFuzzer target for the reader of Vemo object files and libraries: the
// input is taken as a file's bytes; its header is checked, each member read
// and its code checked. A member that loads is then run, called with none to
// three arguments under a step limit, since whatever passes the checks must
// run without harm; then everything is freed again. A bad file must give a
// code, never a crash.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "vemo/vm.h"
#include "vemo/vofile.h"
#include "vemo_fuzz_lines.h"

using namespace vemofuzz;

namespace {

void runloaded(Fcn* f) {
  f->name = "fz_loaded";
  if (!mkfcn(f)) {
    delete f;
    return;
  }
  for (const char* call : {"fz_loaded()", "fz_loaded(1)", "fz_loaded(1, \"a\")", "fz_loaded((1, 2), 2, &fz_loaded())"}) {
    CcSource src;
    src.line = call;
    vemo_setsteplimit(50);
    (void)vemo_runline(src);
    stopflag = 0;
    sink.clear();
  }
  vemo_setsteplimit(0);
  vemo_clear();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool ready = start(1 << 22);
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
        runloaded(f);
      }
    }
  }
  sink.clear();
  return 0;
}
