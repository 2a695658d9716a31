// What the output layer asks of the layers above it: the interpreter's state
// and the store's limits. Each owner installs its member where it defines the
// state asked about (a static initialiser beside `interp`, the parser and `ds`; the
// c() lookup when the results store binds its commands), and a unit test
// checks that none is left empty after start-up. Unset, the channel answers
// as for an idle interactive session.
#pragma once
#include <string>

struct OutHost {
  bool (*busy)() = nullptr;      // a command is running (a Break stops output only then)
  int (*batchmode)() = nullptr;  // 0 interactive, 1 batch, 2 batch with -q
  bool (*underby)() = nullptr;   // a by prefix is running (its notes print at the note level)
  int (*maxvar)() = nullptr;     // the store's limit on variables (in the memory messages)
  // c(name) for {ccl}: numeric (*isstr false) or string value; 0 when found.
  int (*creturn)(const std::string& name, double* d, std::string* s, bool* isstr) = nullptr;
};
extern OutHost outhost;
