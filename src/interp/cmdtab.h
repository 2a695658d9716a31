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

// The shared parser reads
//   [varlist] [=exp] [if exp] [in range] [using filename] [weight] [, options]
// A command states what it accepts in a ParseContract and gets what was given back
// in a ParseResult it owns:
//   ParseResult r;
//   if (int rc = parse({.varlist = PERM_REQUIRED, .options = PERM_OPTIONAL}, r)) return rc;
//   bool detail = findopt(r, "detail", 1, 0);
//   if (int rc = chkopt(r)) return rc;

// Permission levels of the parts of a command line.
enum Perm : unsigned char {
  PERM_OPTIONAL = 0,  // the part may be given
  PERM_REQUIRED = 1,  // the part must be given
  PERM_PASTEND = 2,   // `in` only: optional, and the range may run past the last
                      // observation (readers that create observations)
  PERM_NO = 3,        // the part is refused ("... not allowed")
  PERM_BRACKET = 4,   // `if` only: optional, and a '[' at depth zero ends the
                      // condition (the alternative mode)
};

// A command's contract with the parser. The defaults are those of a bare
// command: an optional varlist, `if` and `in`, and nothing else. Fields are in
// command-line order so that designated initialisers read like the syntax.
struct ParseContract {
  Perm varlist = PERM_OPTIONAL;   // the leading varlist
  int vlmode = 0;                 // mode passed to ssvlist (existing / new variables)
  Perm tsops = PERM_NO;           // time-series operators in varlists
  Perm exp = PERM_NO;             // =exp (with `exp` refused and weights allowed, an
                                  // =exp is the old weight syntax: a note before 3.0)
  Perm ifexp = PERM_OPTIONAL;     // if exp
  Perm range = PERM_OPTIONAL;     // in range
  Perm usingfile = PERM_NO;       // using filename
  Perm weight = PERM_NO;          // [weight = exp]
  Perm options = PERM_NO;         // , options (PERM_REQUIRED is accepted as optional)
  Perm by = PERM_NO;              // run under a by prefix
  bool anysubset = false;         // a varlist, `if` or `in` must be given
  bool leaverest = false;         // stop at an unknown word (or a second `if`) instead
                                  // of refusing it
};

// What the parser found. The varlist itself is in `vl`, the `if` and =exp
// programs in `ex`, the `in` range in ds.nobs1/nobs2.
struct ParseResult {
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
};

// Non-zero while a by prefix runs the current command once per group (set by
// `by`, cleared by the line loop). The parser refuses `in`, and commands whose
// contract does not allow by, while it is set.
extern int cmd_bylevel;

// Parses the rest of the line under `contract` into `r`; 0 or the return code
// (the message printed).
[[nodiscard]] int parse(const ParseContract& contract, ParseResult& r);
// parse() of `if`, `in` and options only: the varlist, =exp, using and
// weights are refused whatever `contract` says, and options are allowed.
[[nodiscard]] int parse_ifinopts(ParseContract contract, ParseResult& r);
// Collects the options from the tokenizer's position to the end of the line.
[[nodiscard]] int proption(ParseResult& r);
// The option query functions: each consumes the option it finds.
// Index (1-based) of option `name` (abbreviated to at least `min`) with or
// without an argument as `wantarg` says; 0 when absent.
int workopt(ParseResult& r, const char* name, int min, int wantarg);
int workopt_lc(ParseResult& r, const char* name, int min, int wantarg);
// 1 for `name`, 0 for `noname`, else `def`.
int findopt(ParseResult& r, const char* name, int min, int def);
int findopt_lc(ParseResult& r, const char* name, int min, int def);
// The numbers of name(# ...) into values (at most n); their count, 0 when absent or bad.
int findoptv(ParseResult& r, const char* name, int min, double* values, int n, int flags);
// The integer of name(#); `def` when absent or bad.
long findopta(ParseResult& r, const char* name, int min, long def);
// The argument's words joined by blanks; false when absent or too long.
bool findargn(ParseResult& r, const char* name, int min, std::string& dst, size_t maxlen, int maxwords);
// The raw argument text; false when absent.
bool findargasis(ParseResult& r, const char* name, int min, std::string& dst, size_t maxlen);
// using(filename) / saving(filename[, replace]): 0 none, 1 given, 2 with replace.
int findusg(ParseResult& r, int min, std::string& dst, bool saving);
// level(#), `def` when absent.
int findlevel(ParseResult& r, int def);
// 0 when every option was consumed, else the message for the first one left.
[[nodiscard]] int chkopt(const ParseResult& r);
// Resets the parser's state between commands (dispatch calls it).
void parse_reset();
// Whether the last parse allowed time-series operators (the varlist parser asks).
bool parse_tsallowed();

// `set` and `query` subcommands are registered by the subsystem that owns the
// setting: `set NAME args`. The handler parses the rest of the line.
void setbind(const char* name, int min, CmdHandler fn, int mode = 0);
