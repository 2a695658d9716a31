// Set-up shared by the fuzz targets that run commands on the embedded system
// (do-files, .dta, delimited text, infile, series sets, graphs, completion):
// the start-up with output captured, scratch files in /tmp for inputs handed
// over as files, and the state reset between inputs so that one input cannot
// change how the next one runs.
#pragma once
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "data/store.h"
#include "interp/cmd/resetall.h"
#include "interp/cmdtab.h"
#include "interp/interp.h"
#include "output/output.h"
#include "platform/platform.h"

namespace cmdfuzz {

inline std::string sink;  // captured output, dropped

// Creates an empty file /tmp/zelta_fuzz_XXXXXX<suffix> and returns its name;
// aborts when /tmp is unusable, since no input could then be run.
inline std::string scratch(const char* suffix) {
  std::string t = std::string("/tmp/zelta_fuzz_XXXXXX") + suffix;
  int fd = mkstemps(t.data(), static_cast<int>(std::string(suffix).size()));
  if (fd < 0) std::abort();
  close(fd);
  return t;
}

// Starts the system once for the process: embedded, the system directory from
// ZELTA_SYSDIR (scripts/fuzz sets it) or the working directory, no console.
inline void start() {
  interp.embedded = true;
  const char* sys = std::getenv("ZELTA_SYSDIR");
  interp.sysdir = sys ? sys : "./";
  out_open_console(false, 80);
  out_console_enable(false);
  out_set_capture(&sink);
  cmdinit_table();
}

// Writes the input to path; false when the file cannot be written.
inline bool put(const std::string& path, const uint8_t* data, size_t size) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  return true;
}

// Empties the dataset and caps its memory at 4 MB: a few kilobytes of input
// can claim hundreds of millions of observations (a file of zero-width
// records, say), which a growing data area would honour at length. At the cap
// such claims end at once with "no room".
inline void newdata() {
  ds_reset();
  if (setmemory(4ULL << 20)) std::abort();
}

// Readies one run: a budget of commands (so a loop in the input ends), no
// pending Break, an empty capture and a capped, empty dataset.
inline void begin(long maxcommands) {
  newdata();
  interp.maxcommands = maxcommands;
  interp.commands_run = 0;
  stopflag = 0;
  sink.clear();
}

// Puts back everything a run may have changed (the dataset, labels, macros,
// programs, results, graphs, settings, open files and logs, the line-assembly
// state a do-file can leave behind), so that no input changes how the next
// one runs.
inline void finish() { reset_all(); }

}  // namespace cmdfuzz
