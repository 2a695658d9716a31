// The do-file reader: 512-byte block reads, line-end mapping, and the
// assembly of physical lines into commands (comments, continuation lines,
// `#delimit ;`, tabs, dropped control bytes, "input too long").
#pragma once
#include <string>

#include "interp/interp.h"

struct DoFile {
  int fd = -1;
  int pos = 0;        // read position in buf
  int n = 0;          // valid bytes in buf
  int pushback = 0;   // one pushed-back character, 0 = none
  long long bytesread = 0;
  int lines = 0;      // line ends read so far (error locations)
  char buf[512];
};

DoFile* dofopen(const char* name, int* rc);
int getdofc(DoFile* h);             // next byte or -1 at end of file
void ungetdofc(DoFile* h, int c);
int getdofcm(DoFile* h);            // CR LF and a lone CR become LF
void dofclos(DoFile* h);

// Assembles one command from h into buf. `echo`: echo the physical text.
// Returns 0 for a command, 1 at end of file (or after "input too long").
int rddofile(std::string& buf, DoFile* h, size_t maxlen, int delim, bool echo);

// A do-file as a line source.
struct DoFileSource : LineSource {
  DoFile* h = nullptr;
  bool ended = false;
  int startline = 0;  // physical line where the last command began
  ~DoFileSource() override;
  int next(std::string& line) override;
  bool isdofile() const override { return true; }
  int lineno() const override { return startline; }
};
