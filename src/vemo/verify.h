// The stack check of Vemo code: before code read from a file may run, every
// path through it is followed with the depth of the evaluation stack, so that
// no instruction can read a slot that was never made, take values from below
// its frame, meet the same instruction with two different depths, run off
// the end of the code or grow the stack without bound. The compiler's own
// output passes it by construction; debug builds (and runs with
// ZELTA_VEMO_VERIFY set) check that on every function compiled. Internal to
// src/vemo.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Stack-effect entries of opcodes.def that are not plain counts.
constexpr int VE_RULE = -1;   // counted from an operand or the number of arguments
constexpr int VE_NORUN = -2;  // never executed

struct VmEffect {
  int pops, pushes;
};
// The stack effect of each opcode, from opcodes.def.
const VmEffect& vm_opeffect(int op);

// The result of the check: on failure, the word offset of the instruction at
// fault and what is wrong there.
struct VoVerify {
  bool ok = false;
  int pc = -1;
  std::string why;
  int maxdepth = 0;  // deepest stack seen, in slots above the frame's base
};
VoVerify vo_verify(const std::vector<int32_t>& code);

// Instructions whose first operand is a slot of the frame.
bool vm_slotop(int op);

// Checks a function the compiler has just made, when checking is on (debug
// builds, or ZELTA_VEMO_VERIFY in the environment): a failure is a compiler
// fault, reported on stderr, and the process aborts.
void vo_checkcompiled(const std::vector<int32_t>& code, const std::string& name);
