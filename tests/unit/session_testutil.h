// A test fixture for commands run through the interpreter: the command
// table set up, the output captured in `sink`, an empty dataset before and
// after each test.
#pragma once
#include <gtest/gtest.h>

#include <string>

#include "data/store.h"
#include "expr/expr.h"
#include "interp/cmdtab.h"
#include "output/output.h"

struct CommandSession : ::testing::Test {
  std::string sink;
  void SetUp() override {
    out_set_capture(&sink);
    cmdinit_table();
    ds_reset();
    expr_reset_command();
  }
  void TearDown() override {
    out_set_capture(nullptr);
    ds_reset();
  }
};
