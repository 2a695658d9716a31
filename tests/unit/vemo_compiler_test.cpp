// Vemo compiler internals: the shared type table and its operand rules, the
// peephole optimizer (code before and after each rule), and compiling and
// running statements against the object store, which must free everything.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "data/store.h"
#include "interp/cmdtab.h"
#include "output/output.h"
#include "platform/platform.h"
#include "vemo/cc.h"
#include "vemo/vemo.h"
#include "vemo/verify.h"
#include "vemo/vm.h"

namespace {

CType ty(int el, int org = O_MATRIX) {
  CType t;
  t.el = static_cast<int8_t>(el);
  t.org = static_cast<int8_t>(org);
  return t;
}

TEST(VemoTypes, TableSharesEqualEntriesAndStopsAt500) {
  TypeTab tt;
  int a = tt.add(ty(E_REAL, O_SCALAR));
  int b = tt.add(ty(E_STR));
  EXPECT_NE(a, b);
  EXPECT_EQ(tt.add(ty(E_REAL, O_SCALAR)), a);
  EXPECT_EQ(tt.text(a), "real scalar");
  CType s = ty(E_STRUCT, O_SCALAR);
  s.sname = static_cast<int16_t>(tt.addname("point"));
  int k = tt.add(s);
  EXPECT_EQ(tt.sname(k), "point");
  EXPECT_EQ(tt.addname("point"), s.sname);
  for (int i = 0; tt.t.size() < 500; ++i) {
    CType p = ty(E_PTR);
    p.ptr = static_cast<int16_t>(i);
    ASSERT_GE(tt.add(p), 0);
  }
  CType extra = ty(E_PTR);
  extra.ptr = 9999;
  EXPECT_EQ(tt.add(extra), -1);
}

TEST(VemoTypes, NameAreaHolds4000Bytes) {
  TypeTab tt;
  std::string n(99, 'a');
  int count = 0;
  for (char c = 'a'; c <= 'z'; ++c)
    for (char d = 'a'; d <= 'z'; ++d) {
      n[0] = c;
      n[1] = d;
      if (tt.addname(n) < 0) goto full;
      ++count;
    }
full:
  EXPECT_EQ(count, 40);  // 40 names of 100 bytes with their NULs
}

struct RuleCase {
  int rule, l, r;
  bool ok;
  int res;
};

TEST(VemoTypes, OperandRules) {
  TypeTab tt;
  const RuleCase cases[] = {
      {R_PLUS, E_STR, E_STR, true, E_STR},     {R_PLUS, E_STR, E_REAL, false, 0},
      {R_PLUS, E_REAL, E_CPLX, true, E_CPLX},  {R_PLUS, E_TRANS, E_STR, true, E_TRANS},
      {R_MINUS, E_STR, E_STR, false, 0},       {R_MINUS, E_REAL, E_REAL, true, E_REAL},
      {R_MINUS, E_REAL, E_NUM, true, E_NUM},   {R_MULT, E_STR, E_REAL, true, E_STR},
      {R_MULT, E_REAL, E_STR, true, E_STR},    {R_MULT, E_STR, E_STR, false, 0},
      {R_KRON, E_REAL, E_NUM, true, E_REAL},   {R_KRON, E_NUM, E_REAL, true, E_NUM},
      {R_KRON, E_STR, E_REAL, false, 0},       {R_KRON, E_CPLX, E_REAL, true, E_CPLX},
      {R_COMPARE, E_STR, E_REAL, false, 0},    {R_COMPARE, E_STR, E_STR, true, E_REAL},
      {R_COMPARE, E_CPLX, E_REAL, true, E_REAL}, {R_EQUAL, E_STR, E_PTR, true, E_REAL},
      {R_LOGICAL, E_PTR, E_REAL, true, E_REAL}, {R_LOGICAL, E_STR, E_REAL, false, 0},
      {R_REAL, E_CPLX, E_REAL, false, 0},      {R_REAL, E_NUM, E_REAL, true, E_REAL},
      {R_FLEX, E_STR, E_STR, true, E_STR},     {R_FLEX, E_STR, E_REAL, false, 0},
      {R_FLEX, E_PTR, E_PTR, true, E_PTR},     {R_FLEX, E_REAL, E_CPLX, true, E_CPLX},
      {R_ASSIGN, E_REAL, E_CPLX, false, 0},    {R_ASSIGN, E_CPLX, E_REAL, true, E_CPLX},
      {R_ASSIGN, E_NUM, E_CPLX, true, E_NUM},  {R_ASSIGN, E_STR, E_REAL, false, 0},
      {R_ASSIGN, E_TRANS, E_STR, true, E_TRANS}, {R_ASSIGN, E_REAL, E_TRANS, true, E_REAL},
  };
  for (const RuleCase& c : cases) {
    int res = -9;
    bool ok = ct_rule(c.rule, ty(c.l), ty(c.r), tt, &res);
    EXPECT_EQ(ok, c.ok) << "rule " << c.rule << " " << c.l << " " << c.r;
    if (ok && c.ok) {
      EXPECT_EQ(res, c.res) << "rule " << c.rule << " " << c.l << " " << c.r;
    }
  }
  // structures join and assign only with the same structure
  CType s1 = ty(E_STRUCT), s2 = ty(E_STRUCT);
  s1.sname = static_cast<int16_t>(tt.addname("a"));
  s2.sname = static_cast<int16_t>(tt.addname("b"));
  int res;
  EXPECT_TRUE(ct_rule(R_FLEX, s1, s1, tt, &res));
  EXPECT_FALSE(ct_rule(R_FLEX, s1, s2, tt, &res));
  EXPECT_FALSE(ct_rule(R_ASSIGN, s1, s2, tt, &res));
}

// Instruction list builders for the optimizer tests.
Ins I(int op, int a0 = 0, int a1 = 0, int a2 = 0) {
  Ins in;
  in.op = op;
  in.a[0] = a0;
  in.a[1] = a1;
  in.a[2] = a2;
  return in;
}
Ins B(int op, int target) {
  Ins in = I(op, target);
  in.fix = FIX_BRANCH;
  return in;
}

std::string opt(std::vector<Ins> code) {
  EXPECT_EQ(cc_optimize(code), 0);
  return cc_dump(code);
}

TEST(VemoOptimizer, AssignPopPushBecomesOneStore) {
  // opassign x; oppop; oppush x; oplist2; oppop; opstop
  EXPECT_EQ(opt({I(opassign, 3), I(oppop), I(oppush, 3), I(oplist2), I(oppop), I(opstop)}),
            "0 opassign 3\n1 oplist2\n2 oppop\n3 opstop\n");
}

TEST(VemoOptimizer, PushIncrementPopKeepsTheIncrement) {
  EXPECT_EQ(opt({I(oppush, 1), I(opinc, 1), I(oppop), I(opstop)}), "0 opinc 1\n1 opstop\n");
  EXPECT_EQ(opt({I(oppush, 1), I(oppop), I(opstop)}), "0 opstop\n");
}

TEST(VemoOptimizer, StoreThenPopBecomesPoppingStore) {
  EXPECT_EQ(opt({I(opld1), I(opassign, 0), I(oppop), I(opstop)}), "0 opld1\n1 opassignp 0\n2 opstop\n");
  EXPECT_EQ(opt({I(opld1), I(opld1), I(oplstosmat1, 2), I(oppop), I(opstop)}),
            "0 opld1\n1 opld1\n2 oplstosmat1p 2\n3 opstop\n");
}

TEST(VemoOptimizer, JumpsToNextAndChainsAndReturns) {
  // 0 goto 1 (the next) is removed
  EXPECT_EQ(opt({B(opgoto, 1), I(opld1), I(opstop)}), "0 opld1\n1 opstop\n");
  // a conditional branch to a jump goes straight to its target
  std::vector<Ins> c = {I(opld1), B(optst0, 4), I(opld0), I(opstop), B(opgoto, 6), I(opstop), I(opld1), I(opstop)};
  std::string d = opt(c);
  EXPECT_NE(d.find("optst0 4"), std::string::npos) << d;  // after compaction: the opld1 at old index 6
  EXPECT_EQ(d.find("opgoto"), std::string::npos) << d;
  // a jump to a return is a return
  EXPECT_EQ(opt({I(opld1), B(optst0, 3), B(opgoto, 5), I(opld0), I(opstop), I(opreturn)}),
            "0 opld1\n1 optst0 3\n2 opreturn\n3 opld0\n4 opstop\n");
}

TEST(VemoOptimizer, ComparisonFeedsTheBranch) {
  EXPECT_EQ(opt({I(oppush, 0), I(oppush, 1), I(ople), B(optst0, 5), I(opld1), I(opstop)}),
            "0 oppush 0\n1 oppush 1\n2 ople\n3 opbrfalse 5\n4 opld1\n5 opstop\n");
}

TEST(VemoOptimizer, RepeatedPushAndMemberLoads) {
  EXPECT_EQ(opt({I(oppush, 2), I(oppush, 2), I(opmult), I(opstop)}), "0 oppush 2\n1 opdup\n2 opmult\n3 opstop\n");
  EXPECT_EQ(opt({I(oppush, 0), I(opdrill, 1), I(opdrill, 2), I(opstop)}), "0 opldmatdd 0 1 2\n1 opstop\n");
  EXPECT_EQ(opt({I(oppush, 0), I(opdrill, 3), I(opstop)}), "0 opldmatd 0 3\n1 opstop\n");
}

TEST(VemoOptimizer, UnreachableCodeGoesButTargetsStay) {
  // after opreturn, the opld0 is unreachable; the opld1 at 4 is a target
  EXPECT_EQ(opt({I(opld1), B(optst0, 4), I(opreturn), I(opld0), I(opld1), I(opreturn)}),
            "0 opld1\n1 optst0 3\n2 opreturn\n3 opld1\n4 opreturn\n");
}

TEST(VemoOptimizer, BlockMovesToTheJumpThatAloneReachesIt) {
  // a for loop: the body block (6-7) is reached only by the jump at 3 and
  // follows an unconditional jump, so it moves there; then the jump from its
  // end to the increment is a jump to the next instruction
  std::vector<Ins> c = {B(opgoto, 9), I(oppush, 0),  B(optst0, 8),    B(opgoto, 6),
                        I(opinc, 0),  B(opgoto, 1),  I(oppush, 1),    B(opgoto, 4),
                        I(opstop),    I(oplibver, 5), B(opgoto, 1)};
  EXPECT_EQ(opt(c),
            "0 opgoto 7\n1 oppush 0\n2 optst0 6\n3 oppush 1\n4 opinc 0\n5 opgoto 1\n6 opstop\n"
            "7 oplibver 5\n8 opgoto 1\n");
}

TEST(VemoOptimizer, EndlessJumpChainIsAnError) {
  std::vector<Ins> c = {I(opld1), B(optst0, 2), B(opgoto, 3), B(opgoto, 2), I(opstop)};
  EXPECT_EQ(cc_optimize(c), 3000);
}

// Compiles and runs one line of statements; returns the code.
int run(const std::string& line) {
  CcSource src;
  src.line = line;
  return vemo_runline(src);
}

TEST(VemoRun, StatementsLeaveOnlyTheirGlobals) {
  ASSERT_EQ(vemo_start(), 0);
  vemo_clear();
  const long base = vemo_liveobjects();
  EXPECT_EQ(run("x = 2 + 3; y = (x, x) * 2; s = \"a\" + \"b\""), 0);
  Mat* x = findglobal("x");
  ASSERT_NE(x, nullptr);
  EXPECT_EQ(x->re()[0], 5);
  EXPECT_EQ(findglobal("y")->re()[1], 10);
  EXPECT_EQ(vemo_liveobjects() - base, 3);
  // a failing statement frees its temporaries
  EXPECT_EQ(run("z = (1,2) + (1,2,3)"), 3200);
  EXPECT_EQ(run("function f(a) { b = J(3,3,a); return(sum(b)) }"), 0);
  EXPECT_EQ(run("w = f(2)"), 0);
  EXPECT_EQ(findglobal("w")->re()[0], 18);
  EXPECT_EQ(run("p = &x; q = &p; *(*q) = 7"), 0);
  EXPECT_EQ(findglobal("x")->re()[0], 7);
  vemo_clear();
  EXPECT_EQ(vemo_liveobjects(), base);
}

TEST(VemoRun, CompileErrorsReturn3000AndStoreNothing) {
  ASSERT_EQ(vemo_start(), 0);
  EXPECT_EQ(run("function g(a) { return(a +) }"), 3000);
  EXPECT_EQ(findfcn("g"), nullptr);
  EXPECT_EQ(run("x = ("), 3000);
}

TEST(VemoRun, BreakPollStopsAnEndlessLoop) {
  ASSERT_EQ(vemo_start(), 0);
  vemo_setsteplimit(3);  // past three polls the run stops as if Break was pressed
  EXPECT_EQ(run("k = 0; while (1) k++"), 1);
  vemo_setsteplimit(0);
  stopflag = 0;
  EXPECT_GT(findglobal("k")->re()[0], 1000);  // polls come every thousand jumps
  EXPECT_EQ(run("for (i=1; i<=10; i++) k = i"), 0);
  EXPECT_EQ(findglobal("k")->re()[0], 10);
  // a loop whose body ends in an if: the test's branch is threaded to the
  // loop's head and closes the loop without a goto; each kind of test
  // (plain, fused with a literal, with a constant, with a slot, string
  // operands on the general path) still counts towards the poll
  for (const char* loop : {"while (1) { k++; if (0) k = 0 }", "while (1) { k++; if (k < -1) k = 0 }",
                           "while (1) { k++; if (k < 0) k = 0 }", "j = -1; while (1) { k++; if (k < j) k = 0 }",
                           "s = \"a\"; while (1) { k++; if (s == \"b\") k = 0 }"}) {
    vemo_setsteplimit(3);
    EXPECT_EQ(run(std::string("k = 0; ") + loop), 1) << loop;
    vemo_setsteplimit(0);
    stopflag = 0;
    EXPECT_GT(findglobal("k")->re()[0], 1000) << loop;
  }
  vemo_clear();
}

TEST(VemoRun, BreakStopsLongBuiltins) {
  std::string sink;
  out_set_capture(&sink);
  cmdinit_table();
  ASSERT_EQ(vemo_start(), 0);
  ASSERT_EQ(run("X = ((300000::1), mod(1::300000, 7), J(300000, 1, 0.5)); Y = X; Y[7, 2] = .; C = 0"), 0);
  ds_reset();
  ASSERT_EQ(addvar("a", ST_DOUBLE), 0);
  ASSERT_EQ(addvar("b", ST_LONG), 0);
  ASSERT_EQ(setobs_quiet(300000), 0);
  for (long o = 1; o <= ds.nobs; ++o) {
    store(1, o, static_cast<double>(o));
    store(2, o, static_cast<double>(-o));
  }
  // each of these polls Break as it goes through the rows (a step limit of
  // two stops the run at the third poll); the target keeps its old value
  for (const char* stmt : {"C = cross(X, X)", "C = cross(Y, Y)", "C = cross(X, 1, X, 0)", "C = order(X, (1, 2))",
                           "C = st_data(., (1, 2))", "C = st_data(., (\"a\", \"b\"))"}) {
    vemo_setsteplimit(2);
    EXPECT_EQ(run(stmt), 1) << stmt;
    vemo_setsteplimit(0);
    stopflag = 0;
    EXPECT_EQ(findglobal("C")->n(), 1u) << stmt;
  }
  // and without Break they finish
  EXPECT_EQ(run("C = cross(X, X)"), 0);
  EXPECT_EQ(findglobal("C")->n(), 9u);
  EXPECT_EQ(run("C = st_data(., (1, 2))"), 0);
  EXPECT_EQ(findglobal("C")->rows, 300000);
  ds_reset();
  vemo_clear();
  out_set_capture(nullptr);
}

// Opcode names in the run-time copy of f's code, one per instruction start.
std::vector<int> quickops(const char* fname) {
  const Fcn* f = findfcn(fname);
  std::vector<int> ops;
  if (!f) return ops;
  const int n = static_cast<int>(f->code.size());
  for (int pc = 2; pc < n;) {
    const int op = f->code[static_cast<size_t>(pc)];
    if (op == opnumpool || op == opstrpool) break;
    const int len = vm_oplen(f->code.data(), pc, n);
    if (!len) break;
    if (f->quick.size() >= f->code.size()) {
      int q = f->quick[static_cast<size_t>(pc)];
      // a loop's head stands for its own fused opcode
      for (const auto& lp : f->loops)
        if (q == VM_QLOOPHEAD && lp.head == pc) q = lp.fused;
      ops.push_back(q);
    }
    pc += len;
  }
  return ops;
}

TEST(VemoRun, LoopSequencesAreFusedInTheRunTimeCopyOnly) {
  ASSERT_EQ(vemo_start(), 0);
  ASSERT_EQ(run("function fl(n) { s = 0; for (i=1; i<=n; i++) s = s + i; for (j=10; j>2; j--) s = s - 1; for (k=3; k>1; k--) s = s + 2; return(s) }"), 0);
  const Fcn* f = findfcn("fl");
  ASSERT_NE(f, nullptr);
  EXPECT_TRUE(f->quick.empty());  // made at the first call
  ASSERT_EQ(run("r = fl(100)"), 0);
  EXPECT_EQ(findglobal("r")->re()[0], 5050 - 8 + 4);
  ASSERT_GE(f->quick.size(), f->code.size());
  std::vector<int> q = quickops("fl");
  auto count = [&](int form) { return std::count_if(q.begin(), q.end(), [&](int op) { return vm_fusedform(op) == form; }); };
  EXPECT_EQ(count(VM_QPPCMPBR), 1);   // i <= n
  EXPECT_EQ(count(VM_QPLCMPBR), 1);   // j > 2
  EXPECT_EQ(count(VM_QPKCMPBR), 1);   // k > 1
  EXPECT_EQ(count(VM_QPPARITHA), 1);  // s = s + i
  EXPECT_EQ(count(VM_QPLARITHA), 1);  // s = s + 2
  EXPECT_EQ(count(VM_QPKARITHA), 1);  // s = s - 1
  EXPECT_EQ(count(VM_QINCGOTO), 3);
  // the stored code keeps only the instruction set's own opcodes
  const int n = static_cast<int>(f->code.size());
  for (int pc = 2; pc < n;) {
    const int op = f->code[static_cast<size_t>(pc)];
    if (op == opnumpool || op == opstrpool) break;
    EXPECT_LT(op, VM_NOPS);
    pc += vm_oplen(f->code.data(), pc, n);
  }
  // operands that are not real scalars take the instructions' own path
  ASSERT_EQ(run("r = fl(3+0i)"), 0);
  EXPECT_EQ(findglobal("r")->re()[0], -2 + 4);
  EXPECT_EQ(run("r = fl((1,2))"), 3200);  // (1,2) compared with i: the comparison's own error
  vemo_clear();
}

// The opcodes of the unchecked copy of f's loop k, one per instruction start.
std::vector<int> loopops(const Fcn* f, size_t k) {
  std::vector<int> ops;
  const Fcn::ScalarLoop& lp = f->loops[k];
  const int n = static_cast<int>(f->code.size());
  int end = lp.head;
  while (end < n && !(f->code[static_cast<size_t>(end)] == opgoto && f->code[static_cast<size_t>(end) + 1] == lp.head))
    end += vm_oplen(f->code.data(), end, n);
  for (int pc = lp.head; pc <= end; pc += vm_oplen(f->code.data(), pc, n))
    ops.push_back(f->quick[static_cast<size_t>(lp.copy + pc - lp.head)]);
  return ops;
}

TEST(VemoRun, ScalarLoopsGetAnUncheckedCopy) {
  ASSERT_EQ(vemo_start(), 0);
  ASSERT_EQ(run("function sl(n) { s = 0; for (i=1; i<=n; i++) s = s + i; while (s > 0) s = s - 1; "
                "for (j=1; j<=n; j++) s = (s, j); return(s) }"),
            0);
  const Fcn* f = findfcn("sl");
  ASSERT_NE(f, nullptr);
  ASSERT_EQ(run("r = sl(3)"), 0);
  // the first two loops are scalar arithmetic alone; the third joins
  ASSERT_EQ(f->loops.size(), 2u);
  for (const auto& lp : f->loops) {
    EXPECT_EQ(f->quick[static_cast<size_t>(lp.head)], VM_QLOOPHEAD);
    EXPECT_GE(lp.copy, static_cast<int>(f->code.size()));
    EXPECT_EQ(lp.fused, vm_fusedform(lp.fused) == VM_QPKCMPBR ? VM_QPKCMPBR + 4 : VM_QPPCMPBR + 3);
  }
  const size_t fo = vm_fusedform(f->loops[0].fused) == VM_QPPCMPBR ? 0 : 1, wh = 1 - fo;
  // i <= n; s = s + i; i++ and goto
  EXPECT_EQ(loopops(f, fo), (std::vector<int>{VM_UPPCMPBR + 3, oppush, ople, opbrfalse, VM_QPPARITHA + VM_UNCHECKED,
                                              oppush, opplus, opassignp, VM_UINCGOTO, opgoto}));
  // s > 0; s = s - 1; goto
  EXPECT_EQ(loopops(f, wh), (std::vector<int>{VM_QPKCMPBR + VM_UNCHECKED + 4, opld0, opgt, opbrfalse,
                                              VM_QPKARITHA + VM_UNCHECKED + 1, opld1, opsub, opassignp, opgoto}));
  // the loop's copy goes back to its own head, and leaves for the checked code
  const Fcn::ScalarLoop& lp = f->loops[fo];
  EXPECT_EQ(f->quick[static_cast<size_t>(lp.copy + 6)] < 0 ? ~f->quick[static_cast<size_t>(lp.copy + 6)]
                                                           : f->quick[static_cast<size_t>(lp.copy + 6)],
            f->code[static_cast<size_t>(lp.head + 6)]);
  EXPECT_EQ(f->quick[static_cast<size_t>(lp.copy + 14 + 3)], lp.copy);
  EXPECT_EQ(findglobal("r")->rows, 1);
  EXPECT_EQ(findglobal("r")->cols, 4);
  EXPECT_EQ(findglobal("r")->re()[3], 3);
  // the load-time check sees the fused code, not the loop heads
  EXPECT_TRUE(vo_verify(f->code).ok);
  vemo_clear();
}

}  // namespace
