// Text files written observation by observation (outsheet, outfile): lines
// gather in a buffer that goes out through the safe-write path a megabyte at
// a time, so Break is polled and memory stays flat on any dataset size.
#pragma once
#include <cstddef>
#include <string>

#include "files/atomicfile.h"

// Bytes gathered before a write.
inline constexpr size_t TEXTOUT_CHUNK = size_t{1} << 20;

struct TextOut {
  AtomicFile af;    // the temporary file beside the target
  std::string fn;   // the target's name, for messages
  std::string buf;  // text not yet written
};

// After each observation: writes the buffer once it is large. 0, 1 on Break
// (the temporary file is removed), or the write error's code with its message.
[[nodiscard]] int textout_line(TextOut& t);
// At the end: writes what is left and renames over the target; 0 or a code.
[[nodiscard]] int textout_finish(TextOut& t);
