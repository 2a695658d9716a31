// Variable lists: names, abbreviations, patterns, ranges, groups, new-variable
// lists and time-series operators, resolved into the current variable list.
#pragma once
#include <string>
#include <vector>

// A time-series recipe; all zero is a plain variable.
struct TsRecipe {
  int lag = 0;          // net lag (leads negative)
  int diff = 0;         // difference order 0..20
  std::vector<int> seasonal;  // seasonal difference lengths, ascending
  bool plain() const { return lag == 0 && diff == 0 && seasonal.empty(); }
};

struct VarlistState {
  std::vector<int> varlist_vr;       // variable numbers of the current list
  std::vector<TsRecipe> varlist_rcp; // parallel recipes
  std::vector<int> groups;           // start index of each bracket group
  std::vector<int> newtypes;         // for new-variable lists: the type of each entry
  std::vector<std::string> newnames; // for new-variable lists: the names
  std::vector<std::string> newlabels;// value-label attached with name:label
  int lnvar() const { return static_cast<int>(varlist_vr.size()); }
};
extern VarlistState vl;

// Modes of ssvlist.
enum : int { VL_EXISTING = 0, VL_NEW = 1, VL_NEWTYPED = 2, VL_OPTIONAL_NEW = 3 };

// Parses a variable list from the current token position into `vl`.
// Returns 0 or a return code (the message already printed). Stops at `if`,
// `in`, `using`, `,`, `=`, `[` or the end and leaves that token unread.
[[nodiscard]] int ssvlist(int mode);
// A variable number (>0) or minus a return code. Modes as documented.
int zelta_findvar(const char* name, int mode, bool noabbrev);
int findvarnoab(const char* name);
int sysfindvar(const char* name);
int chkname(const char* name);   // 0 or 198 with the message
// Fetches entry i (0-based) of the current list at obs, applying its recipe.
double rzelta_data(int i, long obs);
std::string abvar(const std::string& name, int width);
