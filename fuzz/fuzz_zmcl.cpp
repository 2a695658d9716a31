// Feeds arbitrary bytes to the ZMCL renderer as markup and as plain text, at
// a few line widths, in pieces, so that tags split across sends are covered.
#include <cstdint>
#include <string>

#include "output/output.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static std::string sink;
  static bool ready = false;
  if (!ready) {
    out_open_console(false, 80);
    out_console_enable(false);
    out_set_capture(&sink);
    ready = true;
  }
  if (size < 2) return 0;
  // Nested {dup} tags multiply legitimately (999 x 999 x ...); a user stops
  // such output with Break, which a fuzzing run cannot press.
  std::string whole(reinterpret_cast<const char*>(data), size);
  size_t first = whole.find("dup");
  if (first != std::string::npos && whole.find("dup", first + 1) != std::string::npos) return 0;
  out_set_linesize(40 + data[0] % 216);
  const size_t cut = data[1] % (size - 1) + 1;  // split point of the two sends
  const char* text = reinterpret_cast<const char*>(data);
  const size_t mid = cut > 2 ? cut : 2;
  std::string a(text + 2, mid - 2);
  std::string b(text + mid, size - mid);
  sink.clear();
  spoutsml(a.c_str());
  spoutsml(b.c_str());
  spout21(a.c_str());
  newline();
  out_reset_stop();
  return 0;
}
