// Date functions: the day count from 01jan1960, components, conversions
// between daily and period dates, and the parsing of date strings by mask.
#include "fn_testutil.h"
#include "interp/interp.h"

namespace {

const double dot = misval;

TEST(FnDate, MdyAndComponents) {
  EXPECT_EQ(fnum("mdy", {1.0, 1.0, 1960.0}), 0);
  EXPECT_EQ(fnum("mdy", {12.0, 31.0, 1959.0}), -1);
  EXPECT_EQ(fnum("mdy", {1.0, 15.0, 2005.0}), 16451);
  EXPECT_EQ(fnum("mdy", {2.0, 29.0, 2000.0}), 14669);
  EXPECT_TRUE(isdot(fnum("mdy", {2.0, 29.0, 1900.0})));
  EXPECT_TRUE(isdot(fnum("mdy", {13.0, 1.0, 2000.0})));
  EXPECT_TRUE(isdot(fnum("mdy", {1.0, 1.5, 2000.0})));
  EXPECT_TRUE(isdot(fnum("mdy", {1.0, 1.0, dot})));
  EXPECT_EQ(fnum("mdy", {1.0, 1.0, 100.0}), -679350);
  EXPECT_EQ(fnum("mdy", {12.0, 31.0, 9999.0}), 2936549);
  double d = 16451;  // 15jan2005, a Saturday
  EXPECT_EQ(fnum("day", {d}), 15);
  EXPECT_EQ(fnum("month", {d}), 1);
  EXPECT_EQ(fnum("year", {d}), 2005);
  EXPECT_EQ(fnum("yofd", {d}), 2005);
  EXPECT_EQ(fnum("dow", {d}), 6);
  EXPECT_EQ(fnum("dow", {0.0}), 5);  // 01jan1960 was a Friday
  EXPECT_EQ(fnum("doy", {d}), 15);
  EXPECT_EQ(fnum("week", {d}), 3);
  EXPECT_EQ(fnum("quarter", {fnum("mdy", {8.0, 1.0, 2005.0})}), 3);
  EXPECT_EQ(fnum("halfyear", {fnum("mdy", {8.0, 1.0, 2005.0})}), 2);
  EXPECT_TRUE(isdot(fnum("day", {dot})));
  EXPECT_TRUE(isdot(fnum("day", {1e8})));
}

TEST(FnDate, Weeks) {
  double dec31 = fnum("mdy", {12.0, 31.0, 1960.0});
  EXPECT_EQ(fnum("wofd", {dec31}), 51);  // week 52 runs to the end of the year
  EXPECT_EQ(fnum("week", {dec31}), 52);
  EXPECT_EQ(fnum("week", {fnum("mdy", {12.0, 29.0, 1961.0})}), 52);
  EXPECT_EQ(fnum("week", {fnum("mdy", {12.0, 22.0, 1961.0})}), 51);
  EXPECT_EQ(fnum("wofd", {fnum("mdy", {1.0, 1.0, 1961.0})}), 52);
  EXPECT_EQ(fnum("dofw", {52.0}), fnum("mdy", {1.0, 1.0, 1961.0}));
  EXPECT_EQ(fnum("dofw", {1.0}), 7);
  EXPECT_EQ(fnum("yw", {1961.0, 1.0}), 52);
  EXPECT_TRUE(isdot(fnum("yw", {1961.0, 53.0})));
}

TEST(FnDate, PeriodConversions) {
  EXPECT_EQ(fnum("mofd", {fnum("mdy", {3.0, 15.0, 1961.0})}), 14);
  EXPECT_EQ(fnum("dofm", {14.0}), fnum("mdy", {3.0, 1.0, 1961.0}));
  EXPECT_EQ(fnum("dofm", {-1.0}), fnum("mdy", {12.0, 1.0, 1959.0}));
  EXPECT_EQ(fnum("qofd", {fnum("mdy", {3.0, 15.0, 1961.0})}), 4);
  EXPECT_EQ(fnum("dofq", {4.0}), fnum("mdy", {1.0, 1.0, 1961.0}));
  EXPECT_EQ(fnum("hofd", {fnum("mdy", {7.0, 1.0, 1959.0})}), -1);
  EXPECT_EQ(fnum("dofh", {-1.0}), fnum("mdy", {7.0, 1.0, 1959.0}));
  EXPECT_EQ(fnum("dofy", {1961.0}), 366);
  EXPECT_EQ(fnum("dofd", {17.0}), 17);
  EXPECT_EQ(fnum("ym", {1960.0, 1.0}), 0);
  EXPECT_EQ(fnum("ym", {2005.0, 3.0}), 542);
  EXPECT_EQ(fnum("yq", {1959.0, 4.0}), -1);
  EXPECT_EQ(fnum("yh", {1961.0, 2.0}), 3);
  EXPECT_TRUE(isdot(fnum("ym", {2005.0, 13.0})));
  EXPECT_TRUE(isdot(fnum("yq", {2005.0, 0.0})));
}

TEST(FnDate, DateStrings) {
  double d = 16451;  // 15jan2005
  EXPECT_EQ(fnum("date", {"15jan2005", "dmy"}), d);
  EXPECT_EQ(fnum("date", {"15 January 2005", "DMY"}), d);
  EXPECT_EQ(fnum("date", {"1/15/2005", "mdy"}), d);
  EXPECT_EQ(fnum("date", {"2005-01-15", "ymd"}), d);
  EXPECT_EQ(fnum("date", {"20050115", "ymd"}), d);
  EXPECT_EQ(fnum("date", {"Jan 15, 2005", "mdy"}), d);
  EXPECT_EQ(fnum("daily", {" 15.1.2005 ", "dmy"}), d);
  EXPECT_EQ(fnum("date", {"15jan05", "dm20y"}), d);
  EXPECT_EQ(fnum("date", {"15jan05", "dmy", 2050.0}), d);
  EXPECT_EQ(fnum("date", {"15jan05", "dmy", 1999.0}), fnum("mdy", {1.0, 15.0, 1905.0}));
  EXPECT_TRUE(isdot(fnum("date", {"15jan05", "dmy"})));  // year 5: out of range
  EXPECT_TRUE(isdot(fnum("date", {"31feb2005", "dmy"})));
  EXPECT_TRUE(isdot(fnum("date", {"15jan2005", "dm"})));
  EXPECT_TRUE(isdot(fnum("date", {"15jan2005", "dmyd"})));
  EXPECT_TRUE(isdot(fnum("date", {"15jan2005 x", "dmy"})));
  EXPECT_TRUE(isdot(fnum("date", {"15foo2005", "dmy"})));
  EXPECT_TRUE(isdot(fnum("date", {"", "dmy"})));
  int saved = interp.version;
  interp.version = 500;  // before version 6 two-digit years are 19xx
  EXPECT_EQ(fnum("date", {"15jan05", "dmy"}), fnum("mdy", {1.0, 15.0, 1905.0}));
  interp.version = saved;
  EXPECT_EQ(fnum("monthly", {"2005m3", "ym"}), 542);
  EXPECT_EQ(fnum("monthly", {"mar2005", "my"}), 542);
  EXPECT_EQ(fnum("monthly", {"2005/03", "ym"}), 542);
  EXPECT_EQ(fnum("quarterly", {"1960q1", "yq"}), 0);
  EXPECT_EQ(fnum("quarterly", {"q2 1961", "qy"}), 5);
  EXPECT_EQ(fnum("halfyearly", {"1961h2", "yh"}), 3);
  EXPECT_EQ(fnum("weekly", {"1961w1", "yw"}), 52);
  EXPECT_EQ(fnum("yearly", {"1999", "y"}), 1999);
  EXPECT_EQ(fnum("yearly", {"99", "19y"}), 1999);
  EXPECT_TRUE(isdot(fnum("quarterly", {"1960q5", "yq"})));
  EXPECT_EQ(fn_datelit('d', "1jan1960"), 0);
  EXPECT_EQ(fn_datelit('m', "1960m2"), 1);
  EXPECT_TRUE(isdot(fn_datelit('d', "nonsense")));
}

}  // namespace
