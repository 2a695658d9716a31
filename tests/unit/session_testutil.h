// A test fixture for commands run through the interpreter: the command
// table set up, the output captured in `sink`, every subsystem reset before
// and after each test; and reading back what was written to a temporary file.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "interp/cmd/resetall.h"
#include "interp/cmdtab.h"
#include "output/output.h"

struct CommandSession : ::testing::Test {
  std::string sink;
  void SetUp() override {
    out_set_capture(&sink);
    cmdinit_table();
    reset_all();
  }
  void TearDown() override {
    reset_all();
    out_set_capture(nullptr);
  }
};

// Everything written to f so far.
inline std::string readfile(std::FILE* f) {
  std::fflush(f);
  std::rewind(f);
  std::string s;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, n);
  return s;
}

// A repeatable stream of draws for test data (xorshift): next() advances it and
// returns a uniform in [0, 1); `state` is the last raw draw.
struct TestDraws {
  uint64_t state = 88172645463325252ull;
  double next() {
    state ^= state << 13, state ^= state >> 7, state ^= state << 17;
    return static_cast<double>(state >> 11) * 0x1p-53;
  }
};
