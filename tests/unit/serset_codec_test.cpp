// Series-set cells: the store's encodings, most significant byte first, with
// the extended missing codes of each storage type.
#include <gtest/gtest.h>

#include <string>

#include "data/value.h"
#include "graphics/graphics.h"

namespace {

std::string hex(int type, double v) {
  unsigned char b[8] = {};
  ss_encode(type, v, b);
  std::string s;
  char t[4];
  for (int i = 0; i < typewidth(type); ++i) {
    std::snprintf(t, sizeof t, "%02x", b[i]);
    s += t;
  }
  return s;
}

TEST(SersetCodec, CellsAreStoreCodesMostSignificantByteFirst) {
  EXPECT_EQ(hex(ST_BYTE, -5), "fb");
  EXPECT_EQ(hex(ST_BYTE, misval_k(26)), "7f");         // .z: 101 + 26
  EXPECT_EQ(hex(ST_INT, 300), "012c");
  EXPECT_EQ(hex(ST_INT, misval_k(2)), "7fe7");          // .b: 32741 + 2
  EXPECT_EQ(hex(ST_LONG, misval), "7fffffe5");          // .: 2147483621
  EXPECT_EQ(hex(ST_LONG, -2), "fffffffe");
  EXPECT_EQ(hex(ST_FLOAT, 0.25), "3e800000");
  EXPECT_EQ(hex(ST_FLOAT, misval_k(3)), "7f001800");    // .c: 0x7f000000 + 3 << 11
  EXPECT_EQ(hex(ST_DOUBLE, 1.5), "3ff8000000000000");
  EXPECT_EQ(hex(ST_DOUBLE, misval_k(1)), "7fe0010000000000");
}

TEST(SersetCodec, DecodeReadsBackEveryCode) {
  for (int type : {ST_BYTE, ST_INT, ST_LONG, ST_FLOAT, ST_DOUBLE})
    for (double v : {0.0, -3.0, 100.0, misval, misval_k(1), misval_k(26)}) {
      unsigned char b[8] = {};
      ss_encode(type, v, b);
      EXPECT_EQ(ss_decode(type, b), v) << "type " << type << " value " << v;
    }
  const unsigned char nan[4] = {0x7f, 0xc0, 0, 0};
  EXPECT_EQ(ss_decode(ST_FLOAT, nan), misval);  // a NaN float reads as .
  EXPECT_EQ(ss_decode(5, nan), misval);         // a string type has no number
}

}  // namespace
