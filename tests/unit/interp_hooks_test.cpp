// After the command table is bound (what start-up does), every hook through
// which one subsystem reaches a later one is set: a hook left null makes its
// feature silently answer "nothing". The hook structs are read as arrays of
// pointers, so a hook added later is checked without touching this test.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "data/datahost.h"
#include "data/vlperm.h"
#include "expr/expr.h"
#include "interp/cmdtab.h"
#include "interp/hooks.h"
#include "interp/macro.h"
#include "output/errors.h"
#include "output/outhost.h"
#include "output/output.h"
#include "results/resint.h"

namespace {

// Indexes of the null members of a struct made only of function pointers.
template <typename Hooks>
std::vector<size_t> nullmembers(const Hooks& h) {
  using Fp = void (*)();
  static_assert(sizeof(Hooks) % sizeof(Fp) == 0, "a hook struct holds function pointers only");
  constexpr size_t n = sizeof(Hooks) / sizeof(Fp);
  Fp fps[n];
  std::memcpy(fps, &h, sizeof fps);
  std::vector<size_t> nulls;
  for (size_t i = 0; i < n; ++i)
    if (!fps[i]) nulls.push_back(i);
  return nulls;
}

TEST(InterpHooks, EveryExpressionHookIsSetAfterStartUp) {
  cmdinit_table();
  EXPECT_EQ(nullmembers(exhooks), std::vector<size_t>{}) << "member index of ExprHooks left null";
}

TEST(InterpHooks, ProgramClassHooksAreSetAfterStartUp) {
  cmdinit_table();
  EXPECT_EQ(nullmembers(progclass), std::vector<size_t>{}) << "member index of ProgClassHooks left null";
}

TEST(InterpHooks, MatsizeHookIsSetAfterStartUp) {
  cmdinit_table();
  // bystop is set only while a by-group loop runs, and cleared after it
  EXPECT_NE(errst.matsize, nullptr);
}

}  // namespace

TEST(InterpHooks, OutputHostIsSetAfterStartUp) {
  cmdinit_table();
  EXPECT_EQ(nullmembers(outhost), std::vector<size_t>{}) << "member index of OutHost left null";
  EXPECT_NE(vl_tsallowed, nullptr) << "the variable lists' time-series permission";
}

TEST(InterpHooks, StoreAndMacroHostsAreSetAfterStartUp) {
  cmdinit_table();
  EXPECT_EQ(nullmembers(datahost), std::vector<size_t>{}) << "member index of DataHost left null";
  EXPECT_EQ(nullmembers(machost), std::vector<size_t>{}) << "member index of MacroHost left null";
}

// Every c() value the subsystems own has a getter registered by its owner.
TEST(InterpHooks, EveryCValueHasItsOwnersGetter) {
  cmdinit_table();
  EXPECT_EQ(creturn_unowned(), std::vector<std::string>{}) << "c() names no subsystem registered";
}
