// Internals shared by the files of the saved-results subsystem: its own
// settings, limits and the binders of each command family.
#pragma once
#include <string>

#include "results/results.h"

// Limits of `set matsize`.
constexpr int RES_MINMATSIZE = 10;
constexpr int RES_MAXMATSIZE = 11000;

// Settings no other subsystem owns: `set level`, `set maxiter`, `set checksum`.
struct CSettings {
  int level = 95;          // default confidence level (10 to 99.99)
  int maxiter = 16000;     // default iteration limit of maximisers
  bool checksum = false;   // files are written with checksums
};
extern CSettings cset;

void results_hooks_install();
bool creturn_text(const char* name, std::string& value);
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
