// vm_reset puts every field of the VM's state back to a fresh struct's value
// after a run that touched them (a failing call included), frees what the run
// made, keeps the stack's memory and the constants, and the VM runs on.
#include <gtest/gtest.h>

#include <string>

#include "output/output.h"
#include "vemo/vemo.h"
#include "vemo/vm.h"

namespace {

int run(const std::string& line) {
  CcSource src;
  src.line = line;
  return vemo_runline(src);
}

TEST(VemoReset, FreshFieldsAndTheVmRunsOn) {
  std::string sink;
  out_set_capture(&sink);
  ASSERT_EQ(vemo_start(), 0);
  vemo_clear();
  const long live0 = vm.live;
  ASSERT_EQ(run("function vr_f(a) return(a + 1)"), 0);
  ASSERT_EQ(run("vr_g = vr_f(2)"), 0);
  ASSERT_EQ(run("vr_p = &vr_g"), 0);
  ASSERT_NE(run("vr_h = vr_f(\"x\")"), 0);  // a failure inside a call
  // what a statement sets while it runs, as a run cut short would leave it
  vm.rc = 3;
  vm.firstrc = 3;
  vm.cond = true;
  vm.pollctr = 7;
  vm.gcnext = 99999;
  vm.tbinner = false;
  vm.tblast = "traceback";
  vm.tbrepeat = 3;
  vm.custommsg = "message";
  vm.builtin_running = 4;
  vm.clock = 1000;
  vm.state = 3;
  vm.madeglobals.emplace_back("vr_x", nullptr);
  vm.fr.line = 12;
  vm.fr.version = 1100;
  const Mat* k0 = vm.k0;
  const Mat* k1 = vm.k1;
  const void* slots = vm.stack.data();
  const uint64_t epoch = vm.st_epoch;

  vm_reset();
  const VmState fresh;
  EXPECT_TRUE(vm.globals.empty());
  EXPECT_TRUE(vm.fcns.empty());
  EXPECT_TRUE(vm.madeglobals.empty());
  EXPECT_EQ(vm.nfree, 0);
  EXPECT_EQ(vm.live, live0);  // the globals, the function and the pointer's target went
  EXPECT_EQ(vm.sp, fresh.sp);
  EXPECT_EQ(vm.depth, fresh.depth);
  EXPECT_EQ(vm.rc, fresh.rc);
  EXPECT_EQ(vm.firstrc, fresh.firstrc);
  EXPECT_EQ(vm.custommsg, fresh.custommsg);
  EXPECT_EQ(vm.cond, fresh.cond);
  EXPECT_EQ(vm.clock, fresh.clock);
  EXPECT_EQ(vm.pollctr, fresh.pollctr);
  EXPECT_EQ(vm.gcnext, fresh.gcnext);
  EXPECT_EQ(vm.state, fresh.state);
  EXPECT_EQ(vm.tbinner, fresh.tbinner);
  EXPECT_EQ(vm.tblast, fresh.tblast);
  EXPECT_EQ(vm.tbrepeat, fresh.tbrepeat);
  EXPECT_EQ(vm.builtin_running, fresh.builtin_running);
  EXPECT_EQ(vm.fr.line, fresh.fr.line);
  EXPECT_EQ(vm.fr.version, fresh.fr.version);
  EXPECT_EQ(vm.fr.fcn, nullptr);
  // kept: the stack's memory, the shared constants, and an epoch that grew
  EXPECT_EQ(vm.stack.data(), slots);
  EXPECT_EQ(vm.stack.size(), static_cast<size_t>(VM_STACK + 8));
  EXPECT_EQ(vm.k0, k0);
  EXPECT_EQ(vm.k1, k1);
  EXPECT_GT(vm.st_epoch, epoch);

  // the VM works as before: a function made again, a comparison's constant
  EXPECT_EQ(findfcn("vr_f"), nullptr);
  ASSERT_EQ(run("function vr_f(a) return(a + 2)"), 0);
  ASSERT_EQ(run("vr_g = vr_f(2) + (3 < 4)"), 0);
  ASSERT_NE(findglobal("vr_g"), nullptr);
  EXPECT_EQ(findglobal("vr_g")->re()[0], 5);
  // a second reset finds nothing left
  vm_reset();
  EXPECT_EQ(vm.live, live0);
  EXPECT_TRUE(vm.globals.empty());
  out_set_capture(nullptr);
}

}  // namespace
