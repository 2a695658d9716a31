// Feeds arbitrary bytes to the word completion of the console and the
// notebook kernel as the text being edited, the first two bytes choosing the
// cursor. A small dataset and a few macros are in memory, so every context
// (commands, variables, macros, files) is reached. No crash, hang or
// overread; the replaced range always lies inside the text around the cursor.
#include "cmd_fuzz.h"
#include "interp/complete.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool ready = false;
  if (!ready) {
    ready = true;
    cmdfuzz::start();
    (void)execline("set obs 2");
    (void)execline("generate weight = 1");
    (void)execline("local loc 1");
    (void)execline("global glob 2");
  }
  if (size < 2) return 0;
  const int cursor = (data[0] | data[1] << 8) % static_cast<int>(size);
  const std::string text(reinterpret_cast<const char*>(data) + 2, size - 2);
  int start = -1, end = -1;
  (void)cmpl_words(text, cursor, start, end);
  const int clamped = cursor > static_cast<int>(text.size()) ? static_cast<int>(text.size()) : cursor;
  if (start < 0 || start > clamped || end < clamped || end > static_cast<int>(text.size())) std::abort();
  cmdfuzz::sink.clear();
  return 0;
}
