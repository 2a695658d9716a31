// The values c() reports on behalf of the subsystems that own them: each
// owner registers a getter per name when it binds its commands (as it binds
// its `set` settings), and c(), {ccl} and `creturn list` look them up here.
// The registry lives in the output layer so that every layer above can fill
// it without the saved-results subsystem reaching into theirs.
#pragma once
#include <string>

// One c() value: a number or a string.
struct CValue {
  bool isstr = false;
  double d = 0;
  std::string s;
};
using CGetter = void (*)(CValue&);

inline void cval_num(CValue& v, double d) { v.isstr = false, v.d = d; }
inline void cval_str(CValue& v, std::string s) { v.isstr = true, v.s = std::move(s); }
inline const char* cval_onoff(bool b) { return b ? "on" : "off"; }

// Registers the getter of c(name), replacing an earlier one of that name.
void creg_add(const char* name, CGetter fn);
// The getter of c(name), or nullptr when no owner registered one.
CGetter creg_find(const std::string& name);
