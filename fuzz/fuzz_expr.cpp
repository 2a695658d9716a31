// libFuzzer target for the expression compiler and evaluator: random text is
// compiled in every mode against a small dataset of each storage type and,
// when it compiles, evaluated at every observation through both the
// observation and the block evaluator, which must agree.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "data/chars.h"
#include "data/store.h"
#include "expr/expr.h"
#include "interp/tokenizer.h"
#include "output/output.h"

namespace {

std::string sink;

void setup() {
  out_set_capture(&sink);
  ds_reset();
  const int types[] = {ST_BYTE, ST_INT, ST_LONG, ST_FLOAT, ST_DOUBLE, 8};
  const char* names[] = {"b", "i", "l", "f", "x", "s"};
  for (int k = 0; k < 6; ++k)
    if (addvar(names[k], types[k])) std::abort();
  if (setobs(9)) std::abort();
  for (long o = 1; o <= 9; ++o) {
    for (int v = 1; v <= 5; ++v) store(v, o, o == 4 ? misval_k(v) : std::ldexp(static_cast<double>(o) - 5, v));
    char s[9] = {0};
    std::snprintf(s, sizeof s, "w%ld", o * 7);
    sstore(6, o, s);
  }
  ds.nobs1 = 1;
  ds.nobs2 = ds.nobs;
  // A time variable, so that operated names (L.x) compile and run; its
  // missing value sits in mid-list to test the lookup on imperfect data.
  charset("_dta", "_TStvar", "l");
  ds.srtlist = {3};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool ready = (setup(), true);
  (void)ready;
  if (size > 3000) return 0;
  std::string text(reinterpret_cast<const char*>(data), size);
  for (char& c : text)
    if (c == 0) c = ' ';
  sink.clear();
  expr_reset_command();
  for (int want : {EXP_NUMSTR, EXP_NUM, EXP_STR, EXP_NUMMAT}) {
    ExprProg p;
    if (compexp_u(text.c_str(), p, want) != 0) continue;
    if (p.type == EXP_STR) {
      std::string r;
      for (long o = 1; o <= ds.nobs; ++o) {
        evalstr(p, o, r);
        if (r.size() > EXPR_STRMAX) std::abort();
      }
    } else if (p.type == EXP_NUM) {
      double blk[16];
      expr_startrun(p);
      double one[16];
      for (long o = 1; o <= ds.nobs; ++o) one[o] = evalnum(p, o);
      if (p.blockok && p.nvolatile == 0) {
        evalnum_block(p, 1, ds.nobs, blk + 1, nullptr);
        for (long o = 1; o <= ds.nobs; ++o) {
          double a = blk[o], b = one[o];
          bool am = a >= misval, bm = b >= misval;
          if (am != bm) std::abort();
          if (!am && std::fabs(a - b) > 1e-9 * (1 + std::fabs(b))) std::abort();
        }
      }
    }
  }
  // The same text on a command line, with the extent found by the lexer.
  settok(text.c_str());
  ExprProg q;
  (void)compexp(q, EXP_NUMSTR, 0, 0);
  settok(text.c_str());
  (void)compexp(q, EXP_NUM, 1, 1);
  return 0;
}
