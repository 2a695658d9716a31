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
  std::vector<char> newexists;       // optional-new lists: the entry names an existing variable
  int tsvar = 0, tspanel = 0;        // time and panel variables when the list uses operators
  long tsdelta = 1;                  // time units per period (_dta[_TSdelta]), set by tscheck
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

// Characteristics-driven time-series setup: fills tvar/pvar (pvar 0 when
// none) and checks the sort order. 0 or a return code with its message.
[[nodiscard]] int tscheck(int* tvar, int* pvar);
// Parses one operated item at text (for example "L2D.x", "L(1/3).(x y)");
// appends one entry per operator value and variable. *end is set past the
// item. 0 or a return code with its message.
[[nodiscard]] int tsparse_item(const char* text, const char** end, std::vector<int>& vars,
                               std::vector<TsRecipe>& rcps);
// The normalised text of a recipe (for example "L2D", "S12"); empty when plain.
std::string tsrecipe_text(const TsRecipe& r);
// Value of var at obs under recipe r (the time/panel setup given).
double tsdata(int var, const TsRecipe& r, long obs, int tvar, int pvar);
// The observation among lo..hi (sorted by panel pvar, if any, then time tvar)
// in obs's panel whose time is t(obs) - k; 0 when there is none or t(obs) is
// missing. Shared by variable lists and the expression evaluator.
long tsfind(int tvar, int pvar, long obs, long k, long lo, long hi);
// Finds a variable allowing "~" as a wildcard that must match exactly one.
int genfindvar(const char* name);
// True when name matches the pattern (* any string, ? one character, ~ as *).
bool vlmatch(const char* pat, const char* name);
// Creates the variables of a parsed new-variable list (entries still absent),
// filling varlist_vr. 0 or a return code; on failure the ones made are dropped.
[[nodiscard]] int vl_createnew();
// The variable-list capacity.
int maxvrl();
