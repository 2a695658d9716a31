// Feeds arbitrary bytes to the display-list reader as a graph file would
// arrive: the header checks, replay without renderers, and replay through the
// cairo renderer into a small picture and through the SVG and PDF writer
// (text escapes included). Every input must end in a return code.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "graphics/graphics.h"
#include "interp/cmdtab.h"
#include "interp/interp.h"
#include "output/output.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static std::string sink, png, svg, pdf;
  if (png.empty()) {
    char tmpl[] = "/tmp/zelta_fuzz_gph_XXXXXX";
    char* dir = mkdtemp(tmpl);
    if (!dir) std::abort();
    png = std::string(dir) + "/out.png";
    svg = std::string(dir) + "/out.svg";
    pdf = std::string(dir) + "/out.pdf";
    interp.embedded = true;
    out_open_console(false, 80);
    out_console_enable(false);
    out_set_capture(&sink);
    cmdinit_table();
  }
  sink.clear();
  Gdl g;
  gdl_put(g, data, static_cast<int>(size));
  int rc = gdl_replay(g, nullptr, nullptr);
  if (rc == 691 || rc >= 6000) (void)gdl_errmsg(rc, "fuzz");
  ExportOpts o;
  o.width = 48;
  for (const std::string* fn : {&png, &svg, &pdf}) {
    (void)gr_export(g, *fn, o);
    unlink(fn->c_str());
  }
  gr_reset();
  return 0;
}
