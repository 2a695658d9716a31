// Vemo object files: converting code to the other byte order and back gives
// the code again (strings and literals survive), cached lookups are cleared
// before writing, and the header reader refuses what is not a library.
#include <gtest/gtest.h>

#include <cstring>
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

uint32_t bswap(uint32_t v) { return (v >> 24) | ((v >> 8) & 0xff00u) | ((v << 8) & 0xff0000u) | (v << 24); }

TEST(VemoVofile, ReversedCodeRoundTrips) {
  std::string sink;
  out_set_capture(&sink);
  ASSERT_EQ(vemo_start(), 0);
  ASSERT_EQ(run("function vot1(x) { s = \"a string\"; y = 2.5 * x + 1e300; return(g(y) + strlen(s)) }"), 0);
  Fcn* f = findfcn("vot1");
  ASSERT_NE(f, nullptr);
  std::vector<int32_t> other, back;
  std::string msg;
  ASSERT_EQ(vo_revcode(f->code, other, msg), 0) << msg;
  ASSERT_EQ(vo_revcode(other, back, msg), 9711);  // the reversed words are not code in this order
  // reversing each word of the converted copy recovers the opcode stream
  EXPECT_EQ(static_cast<int32_t>(bswap(static_cast<uint32_t>(other[0]))), f->code[0]);
  EXPECT_EQ(static_cast<int32_t>(bswap(static_cast<uint32_t>(other[2]))), f->code[2]);
  // the string's bytes are kept as they are
  const char* bytes = reinterpret_cast<const char*>(f->code.data());
  const char* obytes = reinterpret_cast<const char*>(other.data());
  const std::string all(bytes, f->code.size() * 4), oall(obytes, other.size() * 4);
  EXPECT_NE(all.find("a string"), std::string::npos);
  EXPECT_NE(oall.find("a string"), std::string::npos);
  // a literal double appears byte-reversed
  double lit = 1e300, rlit;
  unsigned char lb[8], rb[8];
  std::memcpy(lb, &lit, 8);
  for (int k = 0; k < 8; ++k) rb[k] = lb[7 - k];
  std::memcpy(&rlit, rb, 8);
  EXPECT_NE(oall.find(std::string(reinterpret_cast<const char*>(rb), 8)), std::string::npos);
  EXPECT_TRUE(vo_codeok(f->code));
  vemo_clear();
}

TEST(VemoVofile, CachesClearedAndBadCodeRefused) {
  std::vector<int32_t> code = {920, 920, opnarg, 0, opgoto, 6, opfindf, 7, 8, 9, 1, 0x6f6f66, opstop, oppad, opnumpool, 0, opstrpool, 0};
  vo_clearcaches(code);
  EXPECT_EQ(code[7], 0);
  EXPECT_EQ(code[8], 0);
  EXPECT_EQ(code[9], 0);
  EXPECT_TRUE(vo_codeok(code));
  std::vector<int32_t> bad = {920, 920, 200};
  std::vector<int32_t> out;
  std::string msg;
  EXPECT_EQ(vo_revcode(bad, out, msg), 9711);
  EXPECT_EQ(msg, "revpgm: invalid opcode 200");
  EXPECT_FALSE(vo_codeok(bad));
  std::vector<int32_t> nopool = {920, 920, opstop};
  EXPECT_FALSE(vo_codeok(nopool));
}

TEST(VemoVofile, HeaderChecks) {
  std::string sink;
  out_set_capture(&sink);
  VoImage im;
  std::vector<unsigned char> b(98, 0);
  EXPECT_EQ(vo_parse(b, "x.vo", im, false), 610);
  EXPECT_NE(sink.find("x.vo not vemo library"), std::string::npos);
  const unsigned char sig[4] = {0x81, 0x92, 0xA7, 0xB9};
  std::memcpy(b.data(), sig, 4);
  b[4] = 2;
  b[6] = 4;  // version 4
  b[12] = 2;
  sink.clear();
  EXPECT_EQ(vo_parse(b, "x.vo", im, false), 610);
  EXPECT_NE(sink.find("from a more recent version"), std::string::npos);
  b[6] = 1;
  sink.clear();
  EXPECT_EQ(vo_parse(b, "x.vo", im, false), 610);
  EXPECT_NE(sink.find("from a older version"), std::string::npos);
  b[6] = 3;
  EXPECT_EQ(vo_parse(b, "x.vo", im, false), 0);
  EXPECT_EQ(im.cap, 2u);
  EXPECT_EQ(im.n, 0u);
  b.resize(50);
  EXPECT_EQ(vo_parse(b, "x.vo", im, true), 612);
  // a member whose offset lies past the end
  b.assign(98, 0);
  std::memcpy(b.data(), sig, 4);
  b[4] = 2;
  b[6] = 3;
  b[8] = 1;
  b[12] = 2;
  b[16] = 200;
  b[24] = 200;
  ASSERT_EQ(vo_parse(b, "x.vo", im, true), 0);
  Fcn* f = nullptr;
  int rel = 0;
  EXPECT_EQ(vo_readmember(b, "x.vo", im.members[0], &f, &rel, true), 610);
  EXPECT_EQ(f, nullptr);
  out_set_capture(nullptr);
}

}  // namespace
