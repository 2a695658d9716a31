// A sweep over many formats and values: every rendering fills at least its
// field, is justified the way the format says, and reads back close to the
// value it shows (within the rounding its layout allows).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "data/value.h"
#include "output/format.h"

namespace {

struct Lcg {
  uint64_t s = 0x9e3779b97f4a7c15ull;
  uint64_t next() {
    s = s * 6364136223846793005ull + 1442695040888963407ull;
    return s >> 11;
  }
  int below(int n) { return static_cast<int>(next() % static_cast<uint64_t>(n)); }
  double unit() { return static_cast<double>(next()) / 9007199254740992.0; }
};

// A value of any magnitude and sign, now and then a special one.
double pickvalue(Lcg& g) {
  switch (g.below(12)) {
    case 0: return 0;
    case 1: return std::floor(g.unit() * 1e6) * (g.below(2) ? 1 : -1);
    case 2: return misval_k(g.below(27));
    case 3: return 4.9e-324 * g.below(1000);
    default: {
      const double m = 1 + g.unit() * 9;
      const int e = g.below(80) - 40 + (g.below(10) == 0 ? g.below(500) - 250 : 0);
      return (g.below(2) ? 1 : -1) * m * std::pow(10.0, e);
    }
  }
}

// The number a rendering shows: commas dropped, then read with strtod.
double readback(const std::string& text) {
  std::string t;
  for (char c : text)
    if (c != ',' && c != ' ') t += c;
  return std::strtod(t.c_str(), nullptr);
}

TEST(FormatSweep, FieldsJustificationAndReadback) {
  Lcg g;
  const char letters[] = {'f', 'g', 'e'};
  int checked = 0;
  for (int i = 0; i < 40000; ++i) {
    const int w = 1 + g.below(30);
    const int d = g.below(w);
    const char letter = letters[g.below(3)];
    const bool comma = letter != 'e' && g.below(4) == 0;
    const bool left = g.below(4) == 0;
    char fmt[FMTLEN];
    std::snprintf(fmt, sizeof fmt, "%%%s%d.%d%c%s", left ? "-" : "", w, d, letter,
                  comma ? "c" : "");
    ASSERT_EQ(chkfmt(fmt, FMTK_NUM), 0) << fmt;
    const double x = pickvalue(g);
    const std::string t = sreforms(fmt, x);
    SCOPED_TRACE(std::string(fmt) + " [" + t + "]");
    ASSERT_GE(static_cast<int>(t.size()), w);
    if (t.size() > static_cast<size_t>(w)) {
      // a grown field holds no padding on the justified side
      if (left) ASSERT_NE(t.front(), ' ');
      else ASSERT_NE(t.back(), ' ');
    }
    if (left) ASSERT_NE(t.front(), ' ');
    else ASSERT_NE(t.back(), ' ');
    if (ismissing(x)) {
      ASSERT_NE(t.find('.'), std::string::npos);
      continue;
    }
    const double back = readback(t);
    const bool expo = t.find('e') != std::string::npos;
    if (letter == 'f' && !expo) {
      ASSERT_LE(std::fabs(back - x), 0.5000001 * std::pow(10.0, -d) + 1e-12 * std::fabs(x));
    } else if (x != 0 && std::fabs(x) > 1e-300) {
      // at least two significant digits in a fixed layout; in an e layout
      // the mantissa is rounded to its k digits after the point
      double tol = 0.051;
      if (expo) {
        const size_t pt = t.find('.'), e = t.find('e');
        tol = 0.50001 * std::pow(10.0, -static_cast<double>(e - pt - 1));
      }
      ASSERT_LE(std::fabs(back - x) / std::fabs(x), tol);
    }
    ++checked;
  }
  EXPECT_GT(checked, 20000);
}

TEST(FormatSweep, DatesAndHexNeverFail) {
  Lcg g;
  const char* fmts_[] = {"%td", "%tw", "%tm", "%tq", "%th", "%ty", "%dDmY", "%-tdJ_W",
                         "%21x", "%16H", "%16L", "%8H", "%8L", "%tg"};
  for (int i = 0; i < 20000; ++i) {
    const char* f = fmts_[g.below(14)];
    double x = pickvalue(g);
    if (g.below(3) == 0) x = std::floor(g.unit() * 2e6) - 1e6;
    const std::string t = sreforms(f, x);
    ASSERT_GE(static_cast<int>(t.size()), strfmtwid(f)) << f << " " << x;
  }
}

}  // namespace
