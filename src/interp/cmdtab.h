// The built-in command table, dispatch (`selreq`), the prefixes, the shared
// parser for built-in commands and the option query functions.
#pragma once
#include <string>
#include <vector>

// A command handler. `mode` distinguishes commands that share one handler
// (drop/keep, do/run/include, ...). The tokenizer is positioned after the
// command word. Returns a return code.
using CmdHandler = int (*)(int mode);

// Attaches a handler to a built-in name of the table (the name must be in the
// table). Each subsystem binds its commands in its `*_bindcommands()`.
void cmdbind(const char* name, CmdHandler fn, int mode = 0);
// Same for the scanning-mode table (structural words run while skipping).
void cmdbind_scan(const char* name, CmdHandler fn, int mode = 0);
// Binds every subsystem's commands; called once at start-up.
void cmdinit_table();

// Per-subsystem binders (each defined in its subsystem's commands file).
void interp_bindcommands();
void lang_bindcommands();
void output_bindcommands();
void data_bindcommands();
void expr_bindcommands();
void display_bindcommands();
void results_bindcommands();
void files_bindcommands();
void graphics_bindcommands();
void stats_bindcommands();
void vemo_bindcommands();
void help_bindcommands();
void platform_bindcommands();

[[nodiscard]] int selreq();
bool cmdcmp(const char* word, const char* name, int min);
bool cmdcmp_lc(const char* word, const char* name, int min);
// The full names of the built-ins that run at the current version (completion).
// `mins` (when given) receives their minimal abbreviations.
void cmdnames(std::vector<std::string>& names, std::vector<int>* mins = nullptr);
// Full name of the built-in that `word` abbreviates, or nullptr.
const char* findbuiltin(const char* word);
// Full name of the built-in that dispatch would run for `word`, or nullptr.
const char* cmdfullname(const char* word);
// True when the table entry `fullname` has a handler in this build.
bool cmdbound(const char* fullname);
unsigned cmdhash(const char* line);
// The names of the executing-mode table in test order; with `boundonly`,
// only those that have a handler.
void cmdlist(std::vector<const char*>& names, bool boundonly);

// Parse permissions and results of the shared parser.
struct ParseState {
  // permissions: 0 optional, 1 required, 3 not allowed (see cmdinit)
  int vable = 0, ifable = 0, oable = 0, opable = 3, byable = 3, wable = 3, uable = 3;
  int wgtable = 3, wgtallowt = 3, rcpable = 3, v_or_o_req = 0, lvxtra = 0, allowskip = 0;
  int dynmattype = 5, wprogtype = 0, vexists = 1;
  int vlmode = 0;          // mode passed to ssvlist (existing / new variables)
  // results
  bool hasvarlist = false, hasif = false, hasin = false, hasexp = false, hasusing = false;
  bool hasweight = false;
  std::string usingfn;     // `using` file name
  std::string wgttype;     // weight keyword (fweight, aweight, ...)
  std::string wgtexp;      // weight expression text
  std::string exptext;     // text of `=exp`
  // options collected by proption
  static constexpr int MAXOPT = 70;
  std::string optlist[MAXOPT];  // each option's text: name and (argument)
  unsigned char optavbl[MAXOPT] = {};  // bit0 consumed, bit1 name recognised
  int noptn = 0;
  int lastio = 0;
  int i_nvar = 0;          // variable count when the command started
  int bylevel = 0;         // non-zero while a by prefix is active
};
extern ParseState ps;

void cmdinit();
void cmdinit_plus_byvar();
void save_cmd_state(ParseState* saved);
void restore_cmd_state(const ParseState* saved);

[[nodiscard]] int parse();
[[nodiscard]] int parse_ifinopts();
[[nodiscard]] int proption();
int workopt(const char* name, int min, int wantarg);
int workopt_lc(const char* name, int min, int wantarg);
int findopt(const char* name, int min, int def);
int findopt_lc(const char* name, int min, int def);
int findoptv(const char* name, int min, double* values, int n, int flags);
long findopta(const char* name, int min, long def);
// The argument's words joined by blanks; false when absent or too long.
bool findargn(const char* name, int min, std::string& dst, size_t maxlen, int maxwords);
// The raw argument text; false when absent.
bool findargasis(const char* name, int min, std::string& dst, size_t maxlen);
// using(filename) / saving(filename[, replace]): 0 none, 1 given, 2 with replace.
int findusg(int min, std::string& dst, bool saving);
int findlevel(int def);
[[nodiscard]] int chkopt();

// `set` and `query` subcommands are registered by the subsystem that owns the
// setting: `set NAME args`. The handler parses the rest of the line.
void setbind(const char* name, int min, CmdHandler fn, int mode = 0);
