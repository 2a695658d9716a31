// Set-up shared by the Vemo fuzz targets: the embedded start-up with
// management lines refused, and the input taken as the lines of a block (a
// NUL byte read as a blank) that the compiler's continuation callback serves
// one at a time.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "interp/cmdtab.h"
#include "interp/interp.h"
#include "output/output.h"
#include "vemo/vemo.h"

namespace vemofuzz {

inline std::string sink;               // captured output, dropped
inline std::vector<std::string> lines;  // the input's lines
inline size_t next = 0;                 // the next line to serve

// Starts Vemo once for the process; maxbytes caps each object (0: no cap).
inline bool start(size_t maxbytes) {
  out_set_capture(&sink);
  cmdinit_table();
  interp.embedded = true;
  vst.nomanagement = true;
  if (maxbytes) vst.maxbytes = maxbytes;
  return vemo_start() == 0;
}

inline void split(const uint8_t* data, size_t size) {
  lines.clear();
  std::string cur;
  for (size_t i = 0; i < size; ++i) {
    const char c = static_cast<char>(data[i]);
    if (c == '\n') {
      lines.push_back(cur);
      cur.clear();
    } else {
      cur.push_back(c == 0 ? ' ' : c);
    }
  }
  lines.push_back(cur);
  next = 0;
}

// The continuation callback: 1 when the lines are used up.
inline int more(std::string& line) {
  if (next >= lines.size()) return 1;
  line = lines[next++];
  return 0;
}

}  // namespace vemofuzz
