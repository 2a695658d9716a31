// Feeds arbitrary bytes to the display-list reader as a graph file would
// arrive: the header checks, replay without renderers, and replay through the
// cairo renderer into a small picture and through the SVG and PDF writer
// (text escapes included). Every input must end in a return code.
#include "cmd_fuzz.h"
#include "graphics/graphics.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static std::string png, svg, pdf;
  if (png.empty()) {
    char tmpl[] = "/tmp/zelta_fuzz_gph_XXXXXX";
    char* dir = mkdtemp(tmpl);
    if (!dir) std::abort();
    png = std::string(dir) + "/out.png";
    svg = std::string(dir) + "/out.svg";
    pdf = std::string(dir) + "/out.pdf";
    cmdfuzz::start();
  }
  cmdfuzz::sink.clear();
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
