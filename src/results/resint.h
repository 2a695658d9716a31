// Internals shared by the files of the saved-results subsystem: its own
// settings, limits and the binders of each command family.
#pragma once
#include <string>
#include <vector>

#include "results/results.h"

// Limits of `set matsize`.
constexpr int RES_MINMATSIZE = 10;
constexpr int RES_MAXMATSIZE = 11000;

// Settings no other subsystem owns (`set level`, `set maxiter`, ...; the
// table in setquery.cpp lists them with their ranges and defaults).
struct CSettings {
  std::vector<std::string> vals;  // current value of each table row, as text
};
extern CSettings cset;
// The value of such a setting: its text and whether it is a number; false
// when name is not one of them.
bool setq_value(const char* name, std::string& text, bool& isnum);
// A numeric setting's value (0 when name is not one).
double setq_number(const char* name);
// The accumulation subcommands of `matrix`: 0 accum, 1 glsaccum, 2 opaccum,
// 3 vecaccum (the tokenizer is after the subcommand word).
[[nodiscard]] int mat_accumcmd(int kind);

void results_hooks_install();
bool creturn_text(const char* name, std::string& value);
// The c() names whose owner registered no getter (none after start-up).
std::vector<std::string> creturn_unowned();
void creturn_bind();
void retcmds_bind();
void scalar_bind();
void setquery_bind();
void matcmds_bind();

// True when name is a valid name of at most 32 characters (letters,
// digits, underscores, not starting with a digit).
bool res_validname(const std::string& name);
// Prints "name invalid name" (198) or returns 0 after a name check.
[[nodiscard]] int res_chkname(const std::string& name);
// The listing of one class store (return list / ereturn list / sreturn list).
void res_list(char cls);

// The extended macro functions whose values live above the interpreter
// (macext.cpp), installed as machost.stores: 0 or a code, or -1 when fn is
// not one of them.
[[nodiscard]] int macext_stores(const std::string& fn, const char* rest, std::string& val);
