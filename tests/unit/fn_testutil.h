// Helpers for the function-library tests: call a function of the table by
// name with numeric or string arguments, as the evaluator would.
#pragma once
#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <string>
#include <vector>

#include "data/value.h"
#include "expr/funcs.h"

// One argument: a number or a string.
struct FnArg {
  bool isstr = false;
  double d = 0;
  std::string s;
  FnArg(double v) : d(v) {}                                 // NOLINT: implicit on purpose
  FnArg(int v) : d(v) {}                                    // NOLINT
  FnArg(const char* v) : isstr(true), s(v) {}               // NOLINT
};

// Numeric result of name(args...); NaN when the function is unknown.
inline double fnum(const char* name, std::initializer_list<FnArg> args, long obs = 1) {
  const FuncDef* f = findfunc(name);
  EXPECT_NE(f, nullptr) << name;
  if (!f || !f->num) return std::nan("");
  std::vector<FnArg> keep(args);
  std::vector<FuncValue> a(keep.size() + 1);
  for (size_t i = 0; i < keep.size(); ++i) {
    a[i].d = keep[i].d;
    a[i].s = keep[i].s;
  }
  FuncCtx c;
  c.obs = obs;
  return f->num(a.data(), static_cast<int>(keep.size()), c);
}

// String result of name(args...).
inline std::string fstr(const char* name, std::initializer_list<FnArg> args) {
  const FuncDef* f = findfunc(name);
  EXPECT_NE(f, nullptr) << name;
  if (!f || !f->str) return "<none>";
  std::vector<FnArg> keep(args);
  std::vector<FuncValue> a(keep.size() + 1);
  for (size_t i = 0; i < keep.size(); ++i) {
    a[i].d = keep[i].d;
    a[i].s = keep[i].s;
  }
  FuncCtx c;
  std::string out;
  f->str(a.data(), static_cast<int>(keep.size()), out, c);
  return out;
}

inline bool isdot(double x) { return x == misval; }
