// Rendering of doubles under every format kind: best fit, significant
// digits, fixed, exponential, comma variants, decimal comma, hexadecimal and
// byte formats, missing values, and dates with every code and %t unit.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "data/value.h"
#include "output/format.h"

namespace {

std::string r(const char* fmt, double v) { return sreforms(fmt, v); }

TEST(FormatRender, BestFit) {
  EXPECT_EQ(r("%9.0g", 1234567), "  1234567");
  EXPECT_EQ(r("%9.0g", 12345678), " 1.23e+07");  // more digits than w-2
  EXPECT_EQ(r("%9.0g", 123456789012.0), " 1.23e+11");
  EXPECT_EQ(r("%10.0g", 1.0 / 3), " .33333333");
  EXPECT_EQ(r("%10.0g", 2.0 / 3), " .66666667");
  EXPECT_EQ(r("%10.0g", 100.0 / 3), " 33.333333");
  EXPECT_EQ(r("%9.0g", 1.0 / 3), " .3333333");
  EXPECT_EQ(r("%9.0g", -0.5), "      -.5");
  EXPECT_EQ(r("%9.0g", 0.1 + 0.2), "       .3");
  EXPECT_EQ(r("%10.0g", 1e-10), " 1.000e-10");
  EXPECT_EQ(r("%10.0g", 0.0001), "     .0001");
  EXPECT_EQ(r("%10.0g", 0.00001), "    .00001");
  EXPECT_EQ(r("%10.0g", 0.000001), " 1.000e-06");
  EXPECT_EQ(r("%10.0g", 1234567890), " 1.235e+09");
  EXPECT_EQ(r("%9.0g", 1e7), " 1.00e+07");
  EXPECT_EQ(r("%9.0g", 9999999.6), " 1.00e+07");  // rounding adds a digit
  EXPECT_EQ(r("%8.0g", 0.9999999999), "       1");
  EXPECT_EQ(r("%9.0g", 1e300), " 1.0e+300");
  EXPECT_EQ(r("%12.0g", 1e-300), " 1.0000e-300");
  EXPECT_EQ(r("%-9.0g", 3.5), "3.5      ");
  EXPECT_EQ(r("%8.0g", -32767), "  -32767");
  EXPECT_EQ(r("%12.0g", 2147483620), "  2147483620");
}

TEST(FormatRender, ZeroHasNoSign) {
  EXPECT_EQ(r("%9.0g", -0.0), "        0");
  EXPECT_EQ(r("%9.2f", -0.0), "     0.00");
  EXPECT_EQ(r("%9.2e", -0.0), " 0.00e+00");
  EXPECT_EQ(r("%21x", -0.0), "+0.0000000000000X-3ff");
}

TEST(FormatRender, BestFitWithCommas) {
  EXPECT_EQ(r("%12.0gc", 1234567), "   1,234,567");
  EXPECT_EQ(r("%9.0gc", 1234567.8), "  1234568");  // commas do not fit
  EXPECT_EQ(r("%9.0gc", -1234.5678), "-1,234.57");
  EXPECT_EQ(r("%15.0gc", 1234567.891), "  1,234,567.891");
  EXPECT_EQ(r("%9.0gc", 999), "      999");
}

TEST(FormatRender, SignificantDigits) {
  EXPECT_EQ(r("%9.2g", 123.456), "      123");
  EXPECT_EQ(r("%9.2g", 1.2345), "      1.2");
  EXPECT_EQ(r("%9.2g", 0.012345), "     .012");
  EXPECT_EQ(r("%10.4g", 3.14159265), "     3.142");
  EXPECT_EQ(r("%10.4g", 314159.265), "    314159");
  EXPECT_EQ(r("%10.4g", 0.000314159), "  .0003142");
  EXPECT_EQ(r("%12.6g", 0.000000314159), " 3.14159e-07");
  EXPECT_EQ(r("%9.3g", 1e20), " 1.00e+20");
  EXPECT_EQ(r("%7.6g", 0.000123456), " .00012");
  EXPECT_EQ(r("%9.5g", 1.23456789e20), " 1.23e+20");     // d+6 does not fit: width w
  EXPECT_EQ(r("%12.5g", 1.23456789e20), "  1.2346e+20");  // d significant digits
  EXPECT_EQ(r("%12.5g", 1.23456789e-200), " 1.2346e-200");
  EXPECT_EQ(r("%6.3g", 1e20), " 1.0e+20");
  EXPECT_EQ(r("%10.3g", 0.0000001234), "  1.23e-07");
  EXPECT_EQ(r("%12.3gc", 1234567), "     1234567");  // commas would not fit in n+2
  EXPECT_EQ(r("%2.1g", 5), " 5");  // width below 4 works as 4, then justified in 2
}

TEST(FormatRender, Fixed) {
  EXPECT_EQ(r("%9.2f", 3.14159), "     3.14");
  EXPECT_EQ(r("%3.2f", 123.45), "123.45");            // widens silently
  EXPECT_EQ(r("%4.2f", 123456.78), " 1.2e+05");       // needs 9: exponential
  EXPECT_EQ(r("%9.2f", 1234567.89), " 1.23e+06");
  EXPECT_EQ(r("%9.2f", -1234567), "-1.23e+06");
  EXPECT_EQ(r("%-9.2f", 1234567.89), "1.23e+06 ");
  EXPECT_EQ(r("%10.0f", 1234567890), "1234567890");
  EXPECT_EQ(r("%09.2f", 3.14159), "000003.14");
  EXPECT_EQ(r("%-9.2f", 3.14159), "3.14     ");
  EXPECT_EQ(r("%5.2f", 99.999), "100.00");
  EXPECT_EQ(r("%30.2f", 1.5), std::string(26, ' ') + "1.50");
  EXPECT_EQ(r("%-30.2f", 1.5), "1.50" + std::string(26, ' '));
}

TEST(FormatRender, FixedWithCommas) {
  EXPECT_EQ(r("%12.2fc", 1234567.891), "1,234,567.89");
  EXPECT_EQ(r("%10.2fc", 1234567.891), "1234567.89");  // commas dropped
  EXPECT_EQ(r("%-14.2fc", -1234.5), "-1,234.50     ");
  EXPECT_EQ(r("%8.0fc", 999), "     999");
}

TEST(FormatRender, Exponential) {
  EXPECT_EQ(r("%9.2e", 1234567.89), " 1.23e+06");
  EXPECT_EQ(r("%-12.2e", 1234567.89), "1.23e+06    ");
  EXPECT_EQ(r("%10.2e", -0.000123), " -1.23e-04");
  EXPECT_EQ(r("%10.0e", 1.5), " 1.500e+00");
  EXPECT_EQ(r("%12.3e", 1e-200), "  1.000e-200");
  EXPECT_EQ(r("%9.2e", 9.999), " 1.00e+01");
}

TEST(FormatRender, DecimalComma) {
  EXPECT_EQ(r("%9,1f", 1234.5), "   1234,5");
  EXPECT_EQ(r("%12,0gc", 1234567), "   1.234.567");
  fmts.dpcomma = true;
  EXPECT_EQ(r("%9.1f", 1234.5), "   1234,5");
  EXPECT_EQ(r("%10.0g", 1.0 / 3), " ,33333333");
  EXPECT_EQ(r("%9.2f", misval_k(2)), "       .b");  // missing values are not swapped
  fmts.dpcomma = false;
  EXPECT_EQ(r("%9.1f", 1234.5), "   1234.5");
}

TEST(FormatRender, HexAndBytes) {
  EXPECT_EQ(r("%21x", 1), "+1.0000000000000X+000");
  EXPECT_EQ(r("%21x", -0.5), "-1.0000000000000X-001");
  EXPECT_EQ(r("%21x", 3), "+1.8000000000000X+001");
  EXPECT_EQ(r("%21x", 1e-310), "+0.012688b70e62bX-3ff");
  EXPECT_EQ(r("%21x", misval), "+1.0000000000000X+3ff");
  EXPECT_EQ(r("%16H", 1), "3ff0000000000000");
  EXPECT_EQ(r("%16L", 1), "000000000000f03f");
  EXPECT_EQ(r("%8H", 1), "3f800000");
  EXPECT_EQ(r("%8L", 1), "0000803f");
  EXPECT_EQ(r("%8H", -2), "c0000000");
}

TEST(FormatRender, MissingValues) {
  EXPECT_EQ(r("%9.2f", misval), "        .");
  EXPECT_EQ(r("%9.2f", misval_k(2)), "       .b");
  EXPECT_EQ(r("%-9.2f", misval_k(26)), ".z       ");
  EXPECT_EQ(r("%9.0g", misval + std::ldexp(1.0, 1000)), "       .?");
  EXPECT_EQ(r("%td", misval), "        .");
  EXPECT_EQ(r("%30.0g", misval), std::string(29, ' ') + ".");
  EXPECT_EQ(r("%9.0g", std::nan("")), "        .");
}

TEST(FormatRender, InvalidFormatFallsBack) {
  EXPECT_EQ(r("%bad", 1.5), "      1.5");
  EXPECT_EQ(r("%9s", 1.5), "      1.5");
  EXPECT_EQ(r("%-9s", 1.5), "1.5      ");
}

TEST(FormatRender, Dates) {
  EXPECT_EQ(r("%d", 0), "01jan1960");
  EXPECT_EQ(r("%dDlCY", 0), "01jan1960");
  EXPECT_EQ(r("%dDmY", 0), " 01Jan60");
  EXPECT_EQ(r("%td", 0), "01jan1960");
  EXPECT_EQ(r("%td", -1), "31dec1959");
  EXPECT_EQ(r("%-td", 100), "10apr1960");
  EXPECT_EQ(r("%td", 16436), "31dec2004");
  EXPECT_EQ(r("%td", 0.7), "01jan1960");  // a fraction of a day is dropped
  EXPECT_EQ(r("%td", -0.5), "31dec1959");
  EXPECT_EQ(r("%tdD.N.Y", 100), "10.04.60");
  EXPECT_EQ(r("%tdd/n/cy", 100), " 10/4/1960");
  EXPECT_EQ(r("%dM_d", 40), " February 10");
  EXPECT_EQ(r("%dL", 40), " february");
  EXPECT_EQ(r("%dJ_j", 31), "  032 32");
  EXPECT_EQ(r("%dW_w", 365), "   52 52");  // 31 Dec 1960 is in week 52
  EXPECT_EQ(r("%dW", 7), "      02");
  EXPECT_EQ(r("%dq_h", 200), "     3 2");
  EXPECT_EQ(r("%dC_c_Y_y", 36500), "20 20 59 59");
  EXPECT_EQ(r("%dD!D", 0), "     01D");
  EXPECT_EQ(r("%d'Y", 0), "     '60");
}

TEST(FormatRender, TimeSeriesUnits) {
  EXPECT_EQ(r("%tw", 0), "  1960w1");
  EXPECT_EQ(r("%tw", 51), " 1960w52");
  EXPECT_EQ(r("%tw", -1), " 1959w52");
  EXPECT_EQ(r("%tm", 1), "  1960m2");
  EXPECT_EQ(r("%tm", -13), " 1958m12");
  EXPECT_EQ(r("%tq", -1), "  1959q4");
  EXPECT_EQ(r("%th", 3), "  1961h2");
  EXPECT_EQ(r("%ty", 2024), "    2024");
  EXPECT_EQ(r("%tmCY/N", 5), " 1960/06");
  EXPECT_EQ(r("%tqDmY", 1), " 01Apr60");
  EXPECT_EQ(r("%tg", 1.5), "      1.5");
  EXPECT_EQ(r("%-tg", 1.5), "1.5      ");
}

TEST(FormatRender, CalendarRoundTrip) {
  for (long long d = -800000; d <= 800000; d += 997) {
    long long y;
    int m, dd;
    fmt_dmy(d, &y, &m, &dd);
    ASSERT_EQ(fmt_mdy(y, m, dd), d);
  }
  EXPECT_EQ(fmt_mdy(1960, 1, 1), 0);
  EXPECT_EQ(fmt_mdy(2000, 3, 1), 14670);
  EXPECT_EQ(fmt_mdy(1900, 3, 1), -21855);
}

// Counts in the dataset headers: groups of three from the right, never a
// comma after the sign.
TEST(FormatRender, CountsWithCommas) {
  EXPECT_EQ(fmt_commas(0), "0");
  EXPECT_EQ(fmt_commas(999), "999");
  EXPECT_EQ(fmt_commas(1000), "1,000");
  EXPECT_EQ(fmt_commas(123456), "123,456");
  EXPECT_EQ(fmt_commas(2147483648L), "2,147,483,648");
  EXPECT_EQ(fmt_commas(-123456), "-123,456");
  EXPECT_EQ(fmt_commas(-1234), "-1,234");
}

}  // namespace
