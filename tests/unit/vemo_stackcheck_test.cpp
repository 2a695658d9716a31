// The stack check of loaded Vemo code: hand-built code that pops below its
// frame, reads a slot not yet made, meets itself with two depths, leans on a
// fused opcode's early reads, runs off its end or grows without bound is
// refused with the word at fault; everything the compiler makes passes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "output/output.h"
#include "vemo/vemo.h"
#include "vemo/verify.h"
#include "vemo/vm.h"

namespace {

// Header words, the body from word 2, then empty pools.
std::vector<int32_t> fn(std::vector<int32_t> body) {
  std::vector<int32_t> c{920, 920};
  c.insert(c.end(), body.begin(), body.end());
  c.insert(c.end(), {opnumpool, 0, opstrpool, 0});
  return c;
}

constexpr int32_t NAME_I = 0x69;  // "i" in one string word

bool has(const VoVerify& v, const std::string& what) { return v.why.find(what) != std::string::npos; }

TEST(VemoStackCheck, LocalsAndOperatorsPass) {
  // f(x) { real scalar i; return(x + i) }
  const VoVerify v = vo_verify(fn({opnarg, 1, opalc_rs, 1, NAME_I, oppush, 0, oppush, 1, opplus, opreturn}));
  EXPECT_TRUE(v.ok) << v.why;
  EXPECT_EQ(v.maxdepth, 4);  // x, i and the two operands
}

TEST(VemoStackCheck, PopBelowFrame) {
  const VoVerify v = vo_verify(fn({opnarg, 0, oppop, opldvoid, opreturn}));
  EXPECT_FALSE(v.ok);
  EXPECT_EQ(v.pc, 4);
  EXPECT_TRUE(has(v, "pops 1 value from a stack of 0")) << v.why;
  // a binary operator with one operand, a return with nothing to return
  EXPECT_FALSE(vo_verify(fn({opnarg, 0, opld1, opplus, opreturn})).ok);
  EXPECT_FALSE(vo_verify(fn({opnarg, 0, opreturn})).ok);
  // a store needs its value and subscripts
  EXPECT_FALSE(vo_verify(fn({opnarg, 1, opld1, oplstosmat2p, 0, opldvoid, opreturn})).ok);
  EXPECT_TRUE(vo_verify(fn({opnarg, 1, opld1, opld1, opld1, oplstosmat2p, 0, opldvoid, opreturn})).ok);
}

TEST(VemoStackCheck, SlotReadBeforeMade) {
  VoVerify v = vo_verify(fn({opnarg, 1, oppush, 1, opalc_rs, 1, NAME_I, opreturn}));
  EXPECT_FALSE(v.ok);
  EXPECT_EQ(v.pc, 4);
  EXPECT_TRUE(has(v, "reads slot 1")) << v.why;
  // no argument check: the function may be called with none
  v = vo_verify(fn({oppush, 0, opreturn}));
  EXPECT_FALSE(v.ok);
  EXPECT_TRUE(has(v, "when called with 0 arguments")) << v.why;
  // a slot operand must lie below the operands the instruction takes
  EXPECT_FALSE(vo_verify(fn({opnarg, 1, opld1, opassignp, 1, opldvoid, opreturn})).ok);
  EXPECT_TRUE(vo_verify(fn({opnarg, 1, opld1, opassignp, 0, opldvoid, opreturn})).ok);
  EXPECT_FALSE(vo_verify(fn({opnarg, 1, opinc, -1, opldvoid, opreturn})).ok);
}

TEST(VemoStackCheck, JoinsMustAgree) {
  // 2 opnarg 0, 4 opld1, 5 opbrfalse 8, 7 opld0, 8 opldvoid, 9 opreturn
  VoVerify v = vo_verify(fn({opnarg, 0, opld1, opbrfalse, 8, opld0, opldvoid, opreturn}));
  EXPECT_FALSE(v.ok);
  EXPECT_EQ(v.pc, 8);
  EXPECT_TRUE(has(v, "paths meet with stack depths")) << v.why;
  // a loop that leaves a value behind each time round
  v = vo_verify(fn({opnarg, 0, opld0, opgoto, 4}));
  EXPECT_FALSE(v.ok);
  EXPECT_EQ(v.pc, 4);
  // the same shapes balanced pass
  EXPECT_TRUE(vo_verify(fn({opnarg, 0, opld1, opbrfalse, 8, opnoop, opldvoid, opreturn})).ok);
  EXPECT_TRUE(vo_verify(fn({opnarg, 0, opld0, oppop, opgoto, 4})).ok);
}

TEST(VemoStackCheck, OptionalArguments) {
  // f(x, |y): y is made only when not passed; both counts reach slot 1
  EXPECT_TRUE(vo_verify(fn({oparg2, 1, 2, opolc_rs, 2, 1, 0x79, oppush, 1, opreturn})).ok);
  // without the optional local, one argument leaves no slot 1
  VoVerify v = vo_verify(fn({oparg2, 1, 2, oppush, 1, opreturn}));
  EXPECT_FALSE(v.ok);
  EXPECT_TRUE(has(v, "when called with 1 argument")) << v.why;
  // an optional local for an argument position past the range: always made
  EXPECT_TRUE(vo_verify(fn({oparg2, 1, 1, opolc_rs, 3, 1, 0x79, oppush, 1, opreturn})).ok);
  // struct optional: the definition is taken whether or not the local is made
  EXPECT_TRUE(vo_verify(fn({oparg2, 0, 1, opfindf, 0, 0, 0, 1, 0x73, opolc_stcm, 1, 1, 0x79, oppush, 0, opreturn})).ok);
  EXPECT_FALSE(vo_verify(fn({oparg2, 0, 1, opolc_stcm, 1, 1, 0x79, oppush, 0, opreturn})).ok);
  // counts past a threshold behave as its first: a depth that differs
  // between one and two arguments at a join is found
  v = vo_verify(fn({oparg2, 1, 2, opolc_rs, 2, 1, 0x79, opld1, opbrfalse, 16, opolc_rs, 2, 1, 0x79, opldvoid,
                    opreturn}));
  EXPECT_FALSE(v.ok);
  EXPECT_TRUE(has(v, "paths meet")) << v.why;
}

TEST(VemoStackCheck, FusedSequencesReadEarly) {
  // 2 opnarg 1, 4 oppush 0, 6 oppush 1, 8 opee, 9 opbrfalse 11, 11 opldvoid,
  // 12 opreturn: the second push reads the first one's value, which the
  // fused compare would read before it is pushed
  VoVerify v = vo_verify(fn({opnarg, 1, oppush, 0, oppush, 1, opee, opbrfalse, 11, opldvoid, opreturn}));
  EXPECT_FALSE(v.ok);
  EXPECT_EQ(v.pc, 4);
  EXPECT_TRUE(has(v, "reads slot 1")) << v.why;
  EXPECT_TRUE(vo_verify(fn({opnarg, 1, oppush, 0, oppush, 0, opee, opbrfalse, 11, opldvoid, opreturn})).ok);
  // push, push, add, store: the store's slot is the sum's place
  v = vo_verify(fn({opnarg, 1, oppush, 0, oppush, 0, opplus, opassignp, 1, opldvoid, opreturn}));
  EXPECT_FALSE(v.ok);
  EXPECT_EQ(v.pc, 4);
  EXPECT_TRUE(vo_verify(fn({opnarg, 1, oppush, 0, oppush, 0, opplus, opassignp, 0, opldvoid, opreturn})).ok);
}

TEST(VemoStackCheck, EndsAndBranches) {
  VoVerify v = vo_verify(fn({opnarg, 0, opldvoid}));
  EXPECT_FALSE(v.ok);
  EXPECT_TRUE(has(v, "runs off the end")) << v.why;
  v = vo_verify(fn({opnarg, 0, opgoto, 3}));
  EXPECT_FALSE(v.ok);
  EXPECT_TRUE(has(v, "not an instruction")) << v.why;
  // an opcode the VM has no handler for, when reached
  v = vo_verify(fn({opnarg, 0, opunused45, opldvoid, opreturn}));
  EXPECT_FALSE(v.ok);
  EXPECT_TRUE(has(v, "cannot run")) << v.why;
  EXPECT_FALSE(vo_verify(fn({opnarg, 0, oppad, opldvoid, opreturn})).ok);
  // unreached, it does no harm
  EXPECT_TRUE(vo_verify(fn({opnarg, 0, opldvoid, opreturn, opunused45})).ok);
  // opstop leaves its own value
  EXPECT_TRUE(vo_verify(fn({opnarg, 0, opstop})).ok);
  // an instruction cut short by the end of the code
  std::vector<int32_t> c{920, 920, opnarg, 0, oppush};
  EXPECT_FALSE(vo_verify(c).ok);
}

TEST(VemoStackCheck, CallsTakeTheirArguments) {
  // 2 opnarg 0, 4 opfindf (clock, pointer, "f"), 10 opld0, 11 opcall 0 1
  auto call = [](int32_t na) {
    return fn({opnarg, 0, opfindf, 0, 0, 0, 1, 0x66, opld0, opcall, 0, na, opreturn});
  };
  EXPECT_TRUE(vo_verify(call(1)).ok);
  EXPECT_TRUE(vo_verify(call(0)).ok);
  VoVerify v = vo_verify(call(2));  // the function's own slot taken as an argument
  EXPECT_FALSE(v.ok);
  EXPECT_TRUE(has(v, "reads slot 0 with only 0 below")) << v.why;
  EXPECT_FALSE(vo_verify(call(3)).ok);
  v = vo_verify(call(-1));
  EXPECT_FALSE(v.ok);
  EXPECT_TRUE(has(v, "negative argument count")) << v.why;
  // through a pointer on the stack: the pointer and its arguments
  EXPECT_TRUE(vo_verify(fn({opnarg, 0, opld0, opldnull, opcallind, 1, opreturn})).ok);
  EXPECT_FALSE(vo_verify(fn({opnarg, 0, opldnull, opcallind, 1, opreturn})).ok);
  // built-ins take theirs
  const int sqrt = builtin_find("sqrt");
  ASSERT_GE(sqrt, 0);
  EXPECT_TRUE(vo_verify(fn({opnarg, 0, opld1, opbiltin, sqrt, 1, opreturn})).ok);
  EXPECT_FALSE(vo_verify(fn({opnarg, 0, opbiltin, sqrt, 1, opreturn})).ok);
}

TEST(VemoStackCheck, StructLocalTakesItsDefinition) {
  EXPECT_TRUE(
      vo_verify(fn({opnarg, 0, opfindf, 0, 0, 0, 1, 0x73, opalc_stcs, 1, 0x71, oppush, 0, opreturn})).ok);
  const VoVerify v = vo_verify(fn({opnarg, 0, opalc_stcs, 1, 0x71, oppush, 0, opreturn}));
  EXPECT_FALSE(v.ok);
  EXPECT_EQ(v.pc, 4);
}

TEST(VemoStackCheck, NamesMustEnd) {
  const VoVerify v = vo_verify(fn({opnarg, 0, opalc_rs, 1, 0x61616161, opldvoid, opreturn}));
  EXPECT_FALSE(v.ok);
  EXPECT_TRUE(has(v, "not terminated")) << v.why;
  EXPECT_FALSE(vo_verify(fn({opnarg, 0, opalc_rs, 0, opldvoid, opreturn})).ok);
}

TEST(VemoStackCheck, DepthBounded) {
  std::vector<int32_t> body{opnarg, 0};
  body.insert(body.end(), VM_STACK + 1, opld0);
  body.push_back(opreturn);
  VoVerify v = vo_verify(fn(body));
  EXPECT_FALSE(v.ok);
  EXPECT_TRUE(has(v, "stack grows past 65536")) << v.why;
  body.erase(body.begin() + 2);
  v = vo_verify(fn(body));
  EXPECT_TRUE(v.ok) << v.why;
  EXPECT_EQ(v.maxdepth, VM_STACK);
}

TEST(VemoStackCheck, ArgumentCountsBounded) {
  // thousands of optional-argument thresholds would each need a pass
  std::vector<int32_t> body{oparg2, 0, 10000};
  for (int k = 1; k <= 9000; ++k) body.insert(body.end(), {opolc_rs, k, 1, NAME_I});
  body.insert(body.end(), {opldvoid, opreturn});
  VoVerify v = vo_verify(fn(body));
  EXPECT_FALSE(v.ok);
  EXPECT_TRUE(has(v, "too many argument counts")) << v.why;
  body.resize(3 + 4 * 100);
  body.insert(body.end(), {opldvoid, opreturn});
  v = vo_verify(fn(body));
  EXPECT_TRUE(v.ok) << v.why;
}

TEST(VemoStackCheck, StructDefinitionsAreData) {
  EXPECT_TRUE(vo_verify({920, 920, opstructdef, 0, 3, opreturn}).ok);
}

int run(const std::string& line) {
  CcSource src;
  src.line = line;
  return vemo_runline(src);
}

TEST(VemoStackCheck, CompilerOutputPasses) {
  std::string sink;
  out_set_capture(&sink);
  ASSERT_EQ(vemo_start(), 0);
  const char* lines[] = {
      "struct sc_p { real scalar a; string rowvector s; pointer scalar q }",
      "struct sc_n { struct sc_p scalar in; real matrix m }",
      "real scalar sc_f(real scalar x, |real scalar y, struct sc_p matrix z) {"
      " real scalar i, t; t = 0; if (args() < 2) y = 1;"
      " for (i = 1; i <= 10; i++) { if (i == 3) continue; if (i > 8) break; t = t + i * y }"
      " while (t > 100) t--; do { t++ } while (t < 5); return(t + x) }",
      "function sc_g(f(), real matrix A, |transmorphic b) { real matrix B; real rowvector v; B = A; B[1, 2] = 5; v = (1, 2, 3); v[2] = 6;"
      " B[|1,1 \\ 1,2|] = (7, 8); b = (*(&B))[1, 1] :+ f(2); return(B') }",
      "function sc_h(struct sc_n scalar n) { struct sc_p scalar p; pointer(real scalar function) scalar fp;"
      " p.a = 1; n.in.a = p.a + 1; n.in.s = (\"a\", \"b\"); n.m = J(2, 2, n.in.a); fp = &sc_f();"
      " p.q = &p; return((*fp)(n.in.a) + rows(n.m) + (p.a++) + (--p.a)) }",
      "void sc_v(|x) { external real scalar sc_ext; sc_ext = x == . ? 1 : 2; (x, 1 \\ 2, 3); x = 1::3; }",
      "function sc_r(real scalar n) return(n <= 1 ? 1 : n * sc_r(n - 1))",
      "sc_x = sc_f(1) + sc_f(2, 3) + sum(sc_g(&sc_r(), (1, 2 \\ 3, 4))) + sc_r(5)",
      "sc_nn = sc_n(); sc_h(sc_nn)",
  };
  for (const char* l : lines) ASSERT_EQ(run(l), 0) << l << "\n" << sink;
  for (const char* name : {"sc_f", "sc_g", "sc_h", "sc_v", "sc_r", "sc_p", "sc_n"}) {
    const Fcn* f = findfcn(name);
    ASSERT_NE(f, nullptr) << name;
    const VoVerify v = vo_verify(f->code);
    EXPECT_TRUE(v.ok) << name << ": " << v.why << " at " << v.pc << "\n" << vm_disasm(f);
  }
  vemo_clear();
  out_set_capture(nullptr);
}

}  // namespace
