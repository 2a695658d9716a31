// Distribution functions: the fixed points the language names, domain rules,
// and consistency between functions and their inverses over wide ranges
// (accuracy against high-precision references is in fn_accuracy_test.cpp).
#include <cmath>

#include "fn_testutil.h"

namespace {

const double dot = misval;

double relerr(double a, double b) { return std::fabs(a - b) / std::max(std::fabs(b), 1e-300); }

TEST(FnDist, NormalFixedPoints) {
  EXPECT_EQ(fnum("normal", {0.0}), 0.5);
  EXPECT_EQ(fnum("normal", {40.0}), 1);
  EXPECT_EQ(fnum("normal", {-40.0}), 0);
  EXPECT_TRUE(isdot(fnum("normal", {dot})));
  EXPECT_TRUE(isdot(fnum("invnormal", {0.0})));
  EXPECT_TRUE(isdot(fnum("invnormal", {1.0})));
  EXPECT_EQ(fnum("invnormal", {0.5}), 0);
  EXPECT_EQ(fnum("norm", {0.0}), 0.5);
  EXPECT_EQ(fnum("normprob", {0.0}), 0.5);
  EXPECT_TRUE(isdot(fnum("normalden", {0.0, 0.0})));
  EXPECT_TRUE(isdot(fnum("normalden", {0.0, -1.0})));
  EXPECT_EQ(fnum("lnnormal", {0.0}), std::log(0.5));
  // the two halves of the series/continued-fraction switch agree
  for (double z : {-2.32, -2.3200000000000003, 3.5, 3.5000000000000004})
    EXPECT_LT(relerr(fnum("normal", {z}), fnum("normal", {std::nextafter(z, 0.0)})), 1e-13) << z;
}

TEST(FnDist, InverseRoundTrips) {
  for (double p : {1e-250, 1e-30, 1e-8, 0.001, 0.2, 0.5, 0.8, 0.999, 1 - 1e-10}) {
    double z = fnum("invnormal", {p});
    EXPECT_LT(relerr(fnum("normal", {z}), p), 1e-13) << p;
    for (double a : {0.1, 1.0, 7.5, 300.0}) {
      if (p < 1e-20) continue;  // x would underflow for the small shapes
      double x = fnum("invgammap", {a, p});
      EXPECT_LT(relerr(fnum("gammap", {a, x}), p), 1e-12) << a << " " << p;
    }
    for (double df : {1.0, 4.0, 60.0}) {
      double t = fnum("invttail", {df, p});
      EXPECT_LT(relerr(fnum("ttail", {df, t}), p), 1e-12) << df << " " << p;
      double f = fnum("invFtail", {df, 7.0, p});
      EXPECT_LT(relerr(fnum("Ftail", {df, 7.0, f}), p), 1e-12) << df << " " << p;
      double c = fnum("invchi2tail", {df, p});
      EXPECT_LT(relerr(fnum("chi2tail", {df, c}), p), 1e-12) << df << " " << p;
    }
    double b = fnum("invibeta", {2.5, 0.7, p});
    EXPECT_LT(relerr(fnum("ibeta", {2.5, 0.7, b}), p), 4e-12) << p;
  }
}

TEST(FnDist, DomainRules) {
  EXPECT_TRUE(isdot(fnum("gammap", {0.0, 1.0})));
  EXPECT_TRUE(isdot(fnum("gammap", {1.0, -1.0})));
  EXPECT_TRUE(isdot(fnum("chi2", {-1.0, 1.0})));
  EXPECT_EQ(fnum("chi2", {3.0, 0.0}), 0);
  EXPECT_EQ(fnum("Ftail", {3.0, 4.0, -1.0}), 1);
  EXPECT_EQ(fnum("Ftail", {3.0, 4.0, 0.0}), 1);
  EXPECT_TRUE(isdot(fnum("Ftail", {0.0, 4.0, 1.0})));
  EXPECT_TRUE(isdot(fnum("ttail", {0.0, 1.0})));
  EXPECT_EQ(fnum("ttail", {5.0, 0.0}), 0.5);
  EXPECT_TRUE(isdot(fnum("invttail", {5.0, 0.0})));
  EXPECT_TRUE(isdot(fnum("invttail", {5.0, 1.0})));
  EXPECT_TRUE(isdot(fnum("ibeta", {1.0, 1.0, 1.5})));
  EXPECT_TRUE(isdot(fnum("ibeta", {-1.0, 1.0, 0.5})));
  EXPECT_EQ(fnum("betaden", {2.0, 2.0, 1.5}), 0);
  EXPECT_EQ(fnum("Binomial", {10.0, 0.0, 0.3}), 1);
  EXPECT_EQ(fnum("Binomial", {10.0, 11.0, 0.3}), 0);
  EXPECT_TRUE(isdot(fnum("Binomial", {0.0, 1.0, 0.3})));
  EXPECT_TRUE(isdot(fnum("Binomial", {10.0, 1.0, 1.3})));
  EXPECT_TRUE(isdot(fnum("binormal", {0.0, 0.0, 1.5})));
  EXPECT_EQ(fnum("binormal", {0.0, 0.0, 0.0}), 0.25);
  EXPECT_EQ(fnum("binormal", {1.0, 2.0, 1.0}), fnum("normal", {1.0}));
  EXPECT_EQ(fnum("binormal", {-1.0, 0.5, -1.0}), 0);
  EXPECT_TRUE(isdot(fnum("invnchi2", {3.0, 1.0, 1.0})));
  EXPECT_EQ(fnum("nchi2", {3.0, 0.0, 2.0}), fnum("chi2", {3.0, 2.0}));
  EXPECT_EQ(fnum("gammaden", {1.0, 2.0, 0.0, 0.0}), 0.5);
  EXPECT_EQ(fnum("gammaden", {2.0, 2.0, 1.0, 0.5}), 0);
  EXPECT_TRUE(isdot(fnum("dgammapda", {-1.0, 1.0})));
  for (const char* f : {"chi2", "chi2tail", "invchi2", "ttail", "tden", "gammap", "dgammapdx"})
    EXPECT_TRUE(isdot(fnum(f, {dot, 1.0}))) << f;
}

TEST(FnDist, Relations) {
  // chi2 through gammap, tprob through ttail, Ftail and F complementary,
  // Wilson-Hilferty for huge shapes continuous with the exact function
  EXPECT_EQ(fnum("chi2", {7.0, 3.3}), fnum("gammap", {3.5, 1.65}));
  EXPECT_LT(relerr(fnum("tprob", {6.0, 2.0}), 2 * fnum("ttail", {6.0, 2.0})), 1e-15);
  EXPECT_LT(std::fabs(fnum("F", {3.0, 8.0, 2.0}) + fnum("Ftail", {3.0, 8.0, 2.0}) - 1), 1e-15);
  EXPECT_LT(std::fabs(fnum("ttail", {4.0, -1.0}) + fnum("ttail", {4.0, 1.0}) - 1), 1e-15);
  // continuity where Boost hands over to the uniform asymptotic expansion (the
  // next double above 1e9 moves P itself by up to about 3e-11 relative)
  double b = 1e9, b2 = std::nextafter(b, 2 * b);
  for (double z : {-8.0, -1.0, 0.0, 0.3, 2.0, 8.0}) {
    double x = b + z * std::sqrt(b);
    EXPECT_LT(relerr(fnum("gammap", {b2, x}), fnum("gammap", {b, x})), 1e-10) << z;
    EXPECT_LT(relerr(fnum("gammaptail", {b2, x}), fnum("gammaptail", {b, x})), 1e-10) << z;
  }
  // continuity where the exact function hands over to Wilson-Hilferty
  double a = 1e13, a2 = std::nextafter(a, 2 * a);
  for (double x : {a - 1e7, a, a + 3e6}) EXPECT_LT(std::fabs(fnum("gammap", {a, x}) - fnum("gammap", {a2, x})), 1e-9) << x;
  EXPECT_LT(relerr(fnum("invt", {10.0, 0.95}), fnum("invttail", {10.0, 0.025})), 1e-13);
  EXPECT_LT(relerr(fnum("invbinomial", {20.0, 5.0, fnum("Binomial", {20.0, 5.0, 0.3})}), 0.3), 1e-12);
  double l = fnum("npnchi2", {4.0, 10.0, 0.4});
  EXPECT_LT(relerr(fnum("nchi2", {4.0, l, 10.0}), 0.4), 1e-10);
}

}  // namespace
