// `set seed`: restarts the random-number generator of expr/fn_random.cpp
// from a number or from a state string reported by c(seed).
#include <string>

#include "expr/funcs.h"
#include "interp/cmdtab.h"
#include "interp/tokenizer.h"
#include "output/errors.h"

namespace {

// set seed {# | code}: an integer below 2^31-1 in absolute value, or a state
// string as reported by c(seed).
int setseed(int) {
  // blank-separated, so that a sign stays with its number
  static const char blankonly[] = " ";
  std::string arg, extra;
  gettoklong(arg, blankonly);
  if (arg.empty()) return required("integer < 2^31-1");
  gettoklong(extra, blankonly);
  if (!extra.empty()) return error(RC_SYNTAX);
  size_t i = (arg[0] == '-' || arg[0] == '+') ? 1 : 0;
  bool digits = i < arg.size();
  for (size_t j = i; j < arg.size(); ++j)
    if (arg[j] < '0' || arg[j] > '9') digits = false;
  if (!digits) return seturnseed(arg.c_str());
  std::string mag = arg.substr(i);
  size_t nz = mag.find_first_not_of('0');
  mag = nz == std::string::npos ? "0" : mag.substr(nz);
  if (mag.size() > 10 || std::stoll(mag) >= 2147483647LL) return required("integer < 2^31-1");
  long n = static_cast<long>(std::stoll(mag));
  seturnseed_i4(n);
  return 0;
}

}  // namespace

// Registers `set seed`.
void fn_bindset() { setbind("seed", 4, setseed); }
