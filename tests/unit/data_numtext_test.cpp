// The exact-type and exact-text helpers shared by tonumeric, recode, vallist
// and outsheet: every storage-type boundary, and texts that read back as the
// value they came from.
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <string>
#include <vector>

#include "data/cmd/datacmds.h"
#include "data/store.h"

namespace {

int typeof1(double x, int atleast = ST_BYTE) { return ds_exacttype(std::vector<double>{x}, atleast); }

TEST(ExactType, IntegerBoundaries) {
  EXPECT_EQ(typeof1(100), ST_BYTE);
  EXPECT_EQ(typeof1(101), ST_INT);
  EXPECT_EQ(typeof1(-127), ST_BYTE);
  EXPECT_EQ(typeof1(-128), ST_INT);
  EXPECT_EQ(typeof1(32740), ST_INT);
  EXPECT_EQ(typeof1(32741), ST_LONG);
  EXPECT_EQ(typeof1(-32767), ST_INT);
  EXPECT_EQ(typeof1(-32768), ST_LONG);
  EXPECT_EQ(typeof1(2147483620.0), ST_LONG);
  // Past long: a float holds 2^31 exactly, but not 2147483621.
  EXPECT_EQ(typeof1(2147483648.0), ST_FLOAT);
  EXPECT_EQ(typeof1(2147483621.0), ST_DOUBLE);
}

TEST(ExactType, Decimals) {
  EXPECT_EQ(typeof1(0.5), ST_FLOAT);
  EXPECT_EQ(typeof1(-2.75), ST_FLOAT);
  EXPECT_EQ(typeof1(26.88), ST_DOUBLE);
  EXPECT_EQ(typeof1(0.1), ST_DOUBLE);
  EXPECT_EQ(typeof1(1e-300), ST_DOUBLE);  // a float would make it 0
  EXPECT_EQ(typeof1(1e39), ST_DOUBLE);    // beyond the float range
}

TEST(ExactType, MissingAndStartingType) {
  EXPECT_EQ(ds_exacttype({}, ST_BYTE), ST_BYTE);
  EXPECT_EQ(ds_exacttype({misval, misval_k(3)}, ST_BYTE), ST_BYTE);
  // The type only widens from atleast; a long with a decimal needs double
  // when its integers are too large for a float.
  EXPECT_EQ(typeof1(1, ST_INT), ST_INT);
  EXPECT_EQ(ds_exacttype({16777217.0, 0.5}, ST_LONG), ST_DOUBLE);
  EXPECT_EQ(ds_exacttype({16777216.0, 0.5}, ST_LONG), ST_FLOAT);
}

std::string text(double x, int type, const char* dot = "") {
  std::string s;
  ds_exacttext(x, type, dot, s);
  return s;
}

TEST(ExactText, ReadsBackAsTheSameValue) {
  const double xs[] = {0.1, 1.0 / 3, 26.88, 1234567.891, -1e-10, 1e300, 5e-324, 2147483620.0, 0.0};
  for (double x : xs) {
    std::string s = text(x, ST_DOUBLE);
    double y = 0;
    auto r = std::from_chars(s.data(), s.data() + s.size(), y);
    ASSERT_EQ(r.ptr, s.data() + s.size()) << s;
    EXPECT_EQ(y, x) << s;
  }
}

TEST(ExactText, FloatsAsTheFloatShowsThem) {
  EXPECT_EQ(text(static_cast<double>(26.88f), ST_FLOAT), "26.88");
  EXPECT_EQ(text(static_cast<double>(26.88f), ST_DOUBLE), "26.8799991607666");
  EXPECT_EQ(text(static_cast<double>(1.0f / 3), ST_FLOAT), "0.33333334");
}

TEST(ExactText, Missing) {
  EXPECT_EQ(text(misval, ST_DOUBLE), "");
  EXPECT_EQ(text(misval, ST_DOUBLE, "."), ".");
  EXPECT_EQ(text(misval_k(1), ST_FLOAT), ".a");
  EXPECT_EQ(text(misval_k(26), ST_BYTE), ".z");
}

}  // namespace
