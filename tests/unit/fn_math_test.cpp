// Mathematical functions and the table itself: the rules for missing values,
// rounding, mod, cond, recoding, inrange/inlist, the constants, the layout of
// the table (opcodes, synonyms, types) and the agreement of every block form
// with its scalar form.
#include <cfloat>
#include <cmath>
#include <cstring>
#include <map>

#include "fn_testutil.h"

namespace {

const double dot = misval;

TEST(FnMath, MissingAndDomain) {
  EXPECT_TRUE(isdot(fnum("ln", {0.0})));
  EXPECT_TRUE(isdot(fnum("ln", {-1.0})));
  EXPECT_TRUE(isdot(fnum("sqrt", {-1.0})));
  EXPECT_TRUE(isdot(fnum("exp", {misval_k(1)})));  // .a gives .
  EXPECT_TRUE(isdot(fnum("exp", {1000.0})));       // overflow
  EXPECT_TRUE(isdot(fnum("asin", {1.5})));
  EXPECT_TRUE(isdot(fnum("atanh", {1.0})));
  EXPECT_TRUE(isdot(fnum("abs", {misval_k(3)})));
  EXPECT_TRUE(isdot(fnum("atan2", {dot, 1.0})));
  EXPECT_EQ(fnum("abs", {-2.5}), 2.5);
  EXPECT_EQ(fnum("log", {1.0}), 0.0);
  EXPECT_EQ(fnum("sqrt", {16.0}), 4.0);
}

TEST(FnMath, RoundAndIntegerParts) {
  EXPECT_EQ(fnum("round", {2.5}), 3);
  EXPECT_EQ(fnum("round", {-2.5}), -2);
  EXPECT_EQ(fnum("round", {misval_k(2), 1.0}), misval_k(2));  // round(.b, 1) is .b
  EXPECT_DOUBLE_EQ(fnum("round", {3.14159, 0.01}), 3.14);
  EXPECT_DOUBLE_EQ(fnum("round", {-3.14659, 0.01}), -3.15);
  EXPECT_DOUBLE_EQ(fnum("round", {1250.0, 100.0}), 1300);
  EXPECT_DOUBLE_EQ(fnum("round", {0.3, 0.25}), 0.25);
  EXPECT_EQ(fnum("round", {17.0, 5.0}), 15);
  EXPECT_EQ(fnum("round", {1.234, 0.0}), 1.234);
  EXPECT_TRUE(isdot(fnum("round", {1.0, dot})));
  EXPECT_EQ(fnum("int", {-2.7}), -2);
  EXPECT_EQ(fnum("trunc", {2.7}), 2);
  EXPECT_EQ(fnum("floor", {-2.5}), -3);
  EXPECT_EQ(fnum("ceil", {-2.5}), -2);
  EXPECT_EQ(fnum("sign", {-0.1}), -1);
  EXPECT_EQ(fnum("sign", {0.0}), 0);
  EXPECT_EQ(fnum("sign", {7.0}), 1);
  EXPECT_TRUE(isdot(fnum("sign", {dot})));
}

TEST(FnMath, Mod) {
  EXPECT_EQ(fnum("mod", {-1.0, 3.0}), 2);
  EXPECT_EQ(fnum("mod", {7.0, 3.0}), 1);
  EXPECT_EQ(fnum("mod", {7.5, 2.0}), 1.5);
  EXPECT_TRUE(isdot(fnum("mod", {5.0, 0.0})));
  EXPECT_TRUE(isdot(fnum("mod", {5.0, -2.0})));
  EXPECT_TRUE(isdot(fnum("mod", {dot, 2.0})));
}

TEST(FnMath, FloatRelDifCombs) {
  EXPECT_EQ(fnum("float", {0.1}), static_cast<double>(0.1f));
  EXPECT_TRUE(isdot(fnum("float", {1e39})));
  EXPECT_EQ(fnum("reldif", {3.0, 1.0}), 1.0);
  EXPECT_EQ(fnum("comb", {5.0, 2.0}), 10);
  EXPECT_EQ(fnum("comb", {52.0, 5.0}), 2598960);
  EXPECT_TRUE(isdot(fnum("comb", {3.0, 4.0})));
  EXPECT_TRUE(isdot(fnum("comb", {3.5, 1.0})));
  EXPECT_EQ(fnum("lnfactorial", {0.0}), 0);
  EXPECT_NEAR(fnum("lnfactorial", {5.0}), std::log(120.0), 1e-15);
  EXPECT_TRUE(isdot(fnum("lnfactorial", {-1.0})));
  EXPECT_TRUE(isdot(fnum("lngamma", {0.0})));
  EXPECT_TRUE(isdot(fnum("lngamma", {-2.0})));
  EXPECT_TRUE(isdot(fnum("digamma", {-1.0})));
  EXPECT_TRUE(isdot(fnum("logit", {1.0})));
  EXPECT_TRUE(isdot(fnum("logit", {0.0})));
  EXPECT_EQ(fnum("logit", {0.5}), 0);
  EXPECT_EQ(fnum("invlogit", {0.0}), 0.5);
  EXPECT_TRUE(isdot(fnum("cloglog", {1.0})));
}

TEST(FnMath, MaxMinRecode) {
  EXPECT_EQ(fnum("max", {1.0, dot, 3.0}), 3);
  EXPECT_EQ(fnum("min", {dot, 4.0, -2.0}), -2);
  EXPECT_TRUE(isdot(fnum("max", {dot, misval_k(1)})));
  EXPECT_EQ(fnum("recode", {2.0, 1.0, 3.0, 5.0}), 3);
  EXPECT_EQ(fnum("recode", {1.0, 1.0, 3.0, 5.0}), 1);
  EXPECT_EQ(fnum("recode", {9.0, 1.0, 3.0, 5.0}), 5);
  EXPECT_EQ(fnum("recode", {misval_k(4), 1.0, 3.0}), misval_k(4));
  EXPECT_TRUE(isdot(fnum("recode", {2.0, 3.0, 1.0})));
  EXPECT_EQ(fnum("irecode", {0.5, 1.0, 3.0, 5.0}), 0);
  EXPECT_EQ(fnum("irecode", {3.0, 1.0, 3.0, 5.0}), 1);
  EXPECT_EQ(fnum("irecode", {4.0, 1.0, 3.0, 5.0}), 2);
  EXPECT_EQ(fnum("irecode", {6.0, 1.0, 3.0, 5.0}), 3);
  EXPECT_TRUE(isdot(fnum("irecode", {6.0, 3.0, 1.0})));
  EXPECT_EQ(fnum("autocode", {0.3, 4.0, 0.0, 1.0}), 0.5);
  EXPECT_EQ(fnum("autocode", {-7.0, 4.0, 0.0, 1.0}), 0.25);
  EXPECT_EQ(fnum("autocode", {7.0, 4.0, 0.0, 1.0}), 1.0);
  EXPECT_TRUE(isdot(fnum("autocode", {0.5, 0.0, 0.0, 1.0})));
}

TEST(FnMath, Group) {
  // 10 observations in 3 groups: 1 + floor(3 (_n - 1) / 10)
  const FuncDef* f = findfunc("group");
  ASSERT_NE(f, nullptr);
  FuncValue a[1];
  a[0].d = 3;
  int expect[10] = {1, 1, 1, 1, 2, 2, 2, 3, 3, 3};
  for (long n = 1; n <= 10; ++n) {
    FuncCtx c;
    c.obs = n, c.n = n, c.N = 10;
    EXPECT_EQ(f->num(a, 1, c), expect[n - 1]) << n;
  }
}

TEST(FnMath, CondInrangeInlist) {
  EXPECT_EQ(fnum("cond", {dot, 1.0, 2.0}), 1);
  EXPECT_EQ(fnum("cond", {dot, 1.0, 2.0, 3.0}), 3);
  EXPECT_EQ(fnum("cond", {0.0, 1.0, 2.0, 3.0}), 2);
  const FuncDef* sc = funcbyopcode(110);
  ASSERT_NE(sc, nullptr);
  EXPECT_EQ(sc->rettype, 's');
  EXPECT_EQ(fnum("inrange", {dot, 1.0, 2.0}), 0);
  EXPECT_EQ(fnum("inrange", {5.0, dot, 6.0}), 1);
  EXPECT_EQ(fnum("inrange", {5.0, 6.0, dot}), 0);
  EXPECT_EQ(fnum("inrange", {5.0, dot, dot}), 1);
  EXPECT_EQ(fnum("inrange", {2.0, 2.0, 2.0}), 1);
  EXPECT_EQ(fnum("inlist", {2.0, 1.0, 2.0, 3.0}), 1);
  EXPECT_EQ(fnum("inlist", {4.0, 1.0, 2.0, 3.0}), 0);
  const FuncDef* sl = funcbyopcode(181);
  ASSERT_NE(sl, nullptr);
  FuncValue a[3];
  a[0].s = "b", a[1].s = "a", a[2].s = "b";
  FuncCtx c;
  EXPECT_EQ(sl->num(a, 3, c), 1);
  a[0].s = "c";
  EXPECT_EQ(sl->num(a, 3, c), 0);
}

TEST(FnMath, Constants) {
  EXPECT_LT(fnum("maxdouble", {}), misval);
  EXPECT_EQ(std::nextafter(fnum("maxdouble", {}), 1e308), misval);
  EXPECT_EQ(fnum("mindouble", {}), -fnum("maxdouble", {}));
  EXPECT_EQ(fnum("epsdouble", {}), DBL_EPSILON);
  EXPECT_EQ(fnum("maxlong", {}), 2147483620);
  EXPECT_EQ(fnum("minint", {}), -32767);
  EXPECT_EQ(fnum("maxbyte", {}), 100);
  EXPECT_EQ(fnum("minbyte", {}), -127);
  EXPECT_EQ(static_cast<float>(fnum("maxfloat", {})), std::nextafter(std::ldexp(1.0f, 127), 0.0f));
  EXPECT_EQ(fnum("byteorder", {}), 2);  // the build machines are little-endian
}

TEST(FnTable, LayoutAndSynonyms) {
  size_t n;
  const FuncDef* t = functable(&n);
  ASSERT_GT(n, 180u);
  std::map<int, const FuncDef*> byop;
  std::map<std::string, int> names;
  for (size_t i = 0; i < n; ++i) {
    const FuncDef& d = t[i];
    EXPECT_TRUE((d.rettype == 'n' && d.num && !d.str) || (d.rettype == 's' && d.str && !d.num)) << d.name;
    EXPECT_TRUE(d.opcode >= FN_FIRSTOP || d.opcode == 28 || d.opcode == 29 || d.opcode == 79 ||
                d.opcode == 110 || (d.opcode >= 178 && d.opcode <= 181))
        << d.name;
    EXPECT_LE(d.opcode, FN_LASTOP) << d.name;
    EXPECT_TRUE(d.maxargs == -1 || d.maxargs >= d.minargs) << d.name;
    if (d.maxargs != 0) {
      EXPECT_GT(std::strlen(d.argtypes), 0u) << d.name;
    }
    ++names[d.name];
    auto it = byop.find(d.opcode);
    if (it == byop.end()) {
      byop[d.opcode] = &d;
    } else {  // a synonym: the same routine and signature
      EXPECT_EQ(it->second->num, d.num) << d.name;
      EXPECT_EQ(it->second->str, d.str) << d.name;
      EXPECT_EQ(it->second->minargs, d.minargs) << d.name;
      EXPECT_STREQ(it->second->argtypes, d.argtypes) << d.name;
    }
    EXPECT_EQ(funcbyopcode(d.opcode)->num, d.num) << d.name;
  }
  for (auto& [name, k] : names) {
    if (k > 1) {
      EXPECT_TRUE(name == "cond" || name == "inrange" || name == "inlist") << name;
    }
  }
  EXPECT_EQ(findfunc("nosuchfunction"), nullptr);
  EXPECT_EQ(funcbyopcode(0), nullptr);
  EXPECT_EQ(funcbyopcode(5000), nullptr);
  EXPECT_EQ(findfunc("cond")->opcode, 79);
  EXPECT_EQ(findfunc("invt")->maxver, 600);
  EXPECT_EQ(findfunc("ln")->opcode, findfunc("log")->opcode);
  EXPECT_TRUE(findfunc("uniform")->volatile_);
  EXPECT_FALSE(findfunc("exp")->volatile_);
}

// Every block form must agree with the scalar form: identical for missing and
// out-of-domain values, within two units in the last place otherwise.
TEST(FnTable, BlockFormsMatchScalar) {
  std::vector<double> xs = {0.0, -0.0, 1e-300, 1e-8, 0.25, 0.5, 0.999, 1.0, 1.5, 2.0, 3.14159, 10.0,
                            700.0, 709.9, 1e5, -1e-8, -0.5, -1.0, -3.0, -700.0, -1e5, misval, misval_k(1),
                            misval_z, 2.5e307};
  // odd lengths exercise the tails of the vector loops
  size_t n;
  const FuncDef* t = functable(&n);
  int checked = 0;
  for (size_t r = 0; r < n; ++r) {
    const FuncDef& d = t[r];
    if (!d.vec1 || d.volatile_) continue;
    for (size_t len = 1; len <= xs.size(); len += 3) {
      std::vector<double> out(len, -42);
      d.vec1(xs.data(), out.data(), len);
      for (size_t i = 0; i < len; ++i) {
        FuncValue a[1];
        a[0].d = xs[i];
        FuncCtx c;
        double s = d.num(a, 1, c);
        if (s >= misval || out[i] >= misval) {
          EXPECT_EQ(out[i], s) << d.name << "(" << xs[i] << ")";
        } else {
          double tol = 2 * std::fabs(s) * DBL_EPSILON + 1e-300;
          EXPECT_NEAR(out[i], s, tol) << d.name << "(" << xs[i] << ")";
        }
      }
    }
    ++checked;
  }
  EXPECT_GE(checked, 15);
  // in place
  std::vector<double> v = {1.0, 4.0, 9.0, misval, 16.0};
  findfunc("sqrt")->vec1(v.data(), v.data(), v.size());
  EXPECT_EQ(v, (std::vector<double>{1.0, 2.0, 3.0, misval, 4.0}));
}

}  // namespace
