// State of the statement being compiled and the routines the statement and
// expression halves of the compiler share. Every table lives in one Cc
// object made by cc_compile, so an abandoned statement leaves nothing behind.
#pragma once
#include <string>
#include <utility>
#include <vector>

#include "vemo/cc.h"

// The compiler's one non-local exit, caught only in cc_compile.
struct CcErr {
  int rc;
};

struct Sym {
  std::string name;
  int cls = 0;     // 0 local, 1 external, 2 argument
  int kind = 3;    // 1 variable, 2 function, 3 either
  int type = 0;    // type-table index
  bool declared = false, set = false, used = false;
  bool ubs = false;           // used before set
  bool structscalar = false;
  bool read = false;          // interactive statements: the value is read
};

// One token of an expression's token array.
struct XTok {
  int code = 0;
  std::string text;
  double num = 0;
  std::string str;  // quoted strings
};

struct Cc {
  CcSource* src = nullptr;
  CcTok tok;
  int comment = 0;                // open /* */ comments
  bool infunc = false;            // compiling a function definition
  std::string fname;
  int rettype = 0;                // declared return type
  int nargs = 0, firstopt = -1;   // arguments; first optional one (0-based)
  int rettag = -1;                // the return trampoline
  int version = 920;
  int maxins = 0;                 // instruction limit ("program too long")
  int blockdepth = 0;             // open `{`
  std::vector<Ins> ins;
  std::vector<int> tagpos;        // tag -> instruction index, -1 unplaced
  std::vector<std::string> tagname;
  std::vector<double> nums;
  std::vector<std::string> strs;
  std::vector<Sym> syms;
  TypeTab tt;
  std::vector<std::pair<int, int>> loops;  // (continue tag, break tag)
  std::vector<XTok> xt;           // token array of the current expression
  std::vector<int> match;         // index of the matching bracket
  std::vector<Ins> postponed;     // postfix ++/-- of the current expression
  std::string held;               // a line read ahead (looking for `else`)
  bool hasheld = false;
};
extern Cc* C;

[[noreturn]] void cc_fail(const std::string& msg, int rc = 3000);
[[noreturn]] void cc_failsml(const std::string& zmcl, int rc = 3000);
[[noreturn]] void cc_mismatch(int expected);
int cc_gettok();
void cc_match(int code);
void cc_tokenis(int code);
void cc_nlokay();
int cc_nexttok();
int cc_nextnexttok();

int cc_emit(int op, int a0 = 0, int a1 = 0, int a2 = 0);
int cc_emits(int op, const std::string& s, int a0 = 0);
int cc_newtag(const std::string& name = "");
void cc_placetag(int tag);
void cc_branch(int op, int tag);
int cc_numlit(double x);
int cc_strlit(const std::string& s);
int cc_type(int el, int org, int ptr = -1, int sname = -1, bool fn = false);
int cc_findsym(const std::string& name);
int cc_addsym(const std::string& name, int cls, int kind, int type);
int cc_varsym(const std::string& name);
int cc_fcnsym(const std::string& name);
int cc_parsetype();
void cc_assert(int type);

// Compiles an expression up to the terminator (not consumed); returns true
// when its value is not to be displayed.
bool cc_expr(int term);
// The same for a condition (which must be real-like).
void cc_condexpr(int term);
