// Loaded code is refused when a slot, branch or literal operand points
// outside the function or its frame; the autoload budget frees the least recently used
// autoloaded functions first; the statement clock's reset clears every
// cached lookup.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "output/output.h"
#include "vemo/vemo.h"
#include "vemo/vm.h"
#include "vemo/vofile.h"

namespace {

int run(const std::string& line) {
  CcSource src;
  src.line = line;
  return vemo_runline(src);
}

// f(x): one argument, one local; the body pushes a slot, loads a literal
// and a string, branches and returns. Word offsets: 2 opnarg, 4 opalc_rs,
// 7 opgoto, 9 oppush, 11 opldlit, 13 opldstr, 15 opbrfalse, 17 opreturn,
// 18 opnumpool, 22 opstrpool.
std::vector<int32_t> good() {
  return {920, 920, opnarg, 1, opalc_rs, 1, 0x79, opgoto, 9, oppush, 1, opldlit, 20, opldstr, 24, opbrfalse, 17,
          opreturn, opnumpool, 1, 0, 0, opstrpool, 1, 1, 0x616263};
}

TEST(VemoVerify, WellFormedCodePasses) {
  EXPECT_TRUE(vo_codeok(good()));
}

TEST(VemoVerify, HostileOperandsRefused) {
  std::vector<int32_t> c = good();
  c[10] = 2;  // oppush past the two slots
  EXPECT_FALSE(vo_codeok(c));
  c = good();
  c[10] = -1;
  EXPECT_FALSE(vo_codeok(c));
  c = good();
  c[16] = 12;  // a branch into the middle of an instruction
  EXPECT_FALSE(vo_codeok(c));
  c = good();
  c[16] = 500;  // past the code
  EXPECT_FALSE(vo_codeok(c));
  c = good();
  c[12] = 21;  // half of a literal
  EXPECT_FALSE(vo_codeok(c));
  c = good();
  c[14] = 23;  // a string pool's count, not a string
  EXPECT_FALSE(vo_codeok(c));
  c = good();
  c[2] = opgoto;  // a jump before the code
  EXPECT_FALSE(vo_codeok(c));
}

TEST(VemoVerify, CompiledFunctionsPass) {
  std::string sink;
  out_set_capture(&sink);
  ASSERT_EQ(vemo_start(), 0);
  ASSERT_EQ(run("function vv1(x, |y) { real scalar i; s = \"t\"; for (i = 1; i <= 3; i++) x = x + i; "
                "if (args() == 2) return(y); return(vv2(x) + strlen(s) + 0.5) }"),
            0);
  ASSERT_EQ(run("struct vvs { real scalar a }"), 0);
  ASSERT_EQ(run("function vv3(struct vvs scalar p) { struct vvs scalar q; q.a = p.a; return(q.a) }"), 0);
  EXPECT_TRUE(vo_codeok(findfcn("vv1")->code));
  EXPECT_TRUE(vo_codeok(findfcn("vv3")->code));
  vemo_clear();
  out_set_capture(nullptr);
}

TEST(VemoCache, OldestAutoloadedFreedFirst) {
  std::string sink;
  out_set_capture(&sink);
  ASSERT_EQ(vemo_start(), 0);
  // three functions of known sizes, marked as autoloaded, last used in order
  const char* names[] = {"vc_a", "vc_b", "vc_c"};
  for (const char* nm : names) {
    std::string body = "function " + std::string(nm) + "() { x = (";
    for (int k = 0; k < 100; ++k) body += (k ? "," : "") + std::to_string(k + 0.5);
    ASSERT_EQ(run(body + "); return(x) }"), 0) << sink;
  }
  size_t each = findfcn("vc_a")->code.size() * 4;
  ASSERT_GT(each, 1024u);
  int age = 10;
  for (const char* nm : names) {
    Fcn* f = findfcn(nm);
    f->autoloaded = true;
    f->age = age;
    age += 10;
  }
  findfcn("vc_a")->age = 25;  // used after vc_b
  const int saved = vst.cache;
  vst.cache = static_cast<int>((2 * each + 1023) / 1024);  // room for two
  vemo_enforcecache();
  EXPECT_NE(findfcn("vc_a"), nullptr);
  EXPECT_EQ(findfcn("vc_b"), nullptr);
  EXPECT_NE(findfcn("vc_c"), nullptr);
  // a function in use is never freed
  ++findfcn("vc_a")->refcnt;
  vst.cache = 1;
  vemo_enforcecache();
  EXPECT_NE(findfcn("vc_a"), nullptr);
  EXPECT_EQ(findfcn("vc_c"), nullptr);
  --findfcn("vc_a")->refcnt;
  vst.cache = saved;
  vemo_clear();
  out_set_capture(nullptr);
}

// The words of the first opfindf of the code f runs (its clock and cached
// pointer).
std::vector<int32_t> findfwords(const Fcn* f) {
  const std::vector<int32_t>& c = f->quick.empty() ? f->code : f->quick;
  const int n = static_cast<int>(c.size());
  for (int pc = 2; pc < n;) {
    const int len = vm_oplen(f->code.data(), pc, n);
    if (!len || c[static_cast<size_t>(pc)] == opnumpool) break;
    if (f->code[static_cast<size_t>(pc)] == opfindf)
      return {c[static_cast<size_t>(pc) + 1], c[static_cast<size_t>(pc) + 2], c[static_cast<size_t>(pc) + 3]};
    pc += len;
  }
  return {};
}

TEST(VemoCache, ClockResetClearsLookups) {
  std::string sink;
  out_set_capture(&sink);
  ASSERT_EQ(vemo_start(), 0);
  ASSERT_EQ(run("function vk_in() return(7)"), 0);
  ASSERT_EQ(run("function vk_out() return(vk_in())"), 0);
  ASSERT_EQ(run("vk_r = vk_out()"), 0);
  Fcn* f = findfcn("vk_out");
  findfcn("vk_in")->autoloaded = true;
  // the lookup of vk_in() is cached under the clock of the last statement
  std::vector<int32_t> w = findfwords(f);
  ASSERT_EQ(w.size(), 3u);
  EXPECT_EQ(w[0], vm.clock);
  vemo_clockreset();
  EXPECT_EQ(vm.clock, 2);
  EXPECT_EQ(findfwords(f), (std::vector<int32_t>{0, 0, 0}));
  // a lookup behind a fused sequence of the run-time copy is cleared too
  // (&f() looks f up where it stands, not in the prologue)
  ASSERT_EQ(run("function vk_late(x) { y = x + 1; p = &vk_in(); return((*p)() + y) }"), 0);
  ASSERT_EQ(run("vk_r = vk_late(1)"), 0);
  Fcn* g = findfcn("vk_late");
  ASSERT_GT(g->quick.size(), 0u);
  ASSERT_EQ(findfwords(g)[0], vm.clock);
  vemo_clockreset();
  EXPECT_EQ(findfwords(g), (std::vector<int32_t>{0, 0, 0}));
  EXPECT_EQ(findfcn("vk_in")->age, 1);
  EXPECT_EQ(findfcn("vk_out")->age == 1, false);  // not autoloaded: its stamp stays
  // the clock passing its limit resets it before the statement runs
  vm.clock = 2147483645;
  ASSERT_EQ(run("vk_r = vk_out()"), 0);
  EXPECT_EQ(vm.clock, 2);
  EXPECT_EQ(findfcn("vk_in")->age, 2);
  vemo_clear();
  out_set_capture(nullptr);
}

}  // namespace
