// The Vemo compiler's internal interface: token codes and the token reader,
// compile-time types and their operand rules, the instruction list the code
// generator fills and the optimizer rewrites, and the compiler state of the
// statement being compiled. Internal to src/vemo.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "vemo/vemo.h"

// Token codes (punctuation is its own character code).
enum : int {
  T_EOL = 10, T_OTHER = 129, T_NUM = 130, T_NAME = 131, T_STR = 132, T_NEVER = 139,
  T_CASSIGN = 140, T_CEE = 141, T_CGT = 142, T_CGE = 143, T_CLT = 144, T_CLE = 145,
  T_CNOT = 146, T_CNE = 147, T_CDIV = 148, T_CMULT = 149, T_CADD = 150, T_CSUB = 151,
  T_COR = 152, T_CAND = 153, T_CPOW = 154, T_IMAG = 155, T_DOTDOT = 156, T_COLCOL = 157,
  T_LRANGE = 158, T_RRANGE = 159, T_MEMBER = 160, T_ARROW = 161,
  T_EE = 133, T_NE = 134, T_LE = 135, T_GE = 136, T_INC = 137, T_DEC = 138,
  T_FOR = 200, T_VECTOR = 201, T_TRANSMORPHIC = 202, T_IF = 203, T_ELSE = 204, T_FUNCTION = 205,
  T_RETURN = 206, T_VOIDU = 207, T_DOUBLE = 208, T_LONG = 209, T_FLOAT = 210, T_INT = 211,
  T_STRING = 212, T_VOID = 213, T_GLOBAL = 214, T_WHILE = 215, T_COMOPEN = 216, T_COMCLOSE = 217,
  T_MATRIX = 218, T_SCALAR = 219, T_EXTERNAL = 220, T_ROWVECTOR = 221, T_COLVECTOR = 222,
  T_REAL = 223, T_BREAK = 224, T_CONTINUE = 225, T_DO = 226, T_GOTO = 227, T_COMPLEX = 228,
  T_NUMERIC = 229, T_END = 230, T_STATIC = 231, T_BYTE = 232, T_LOCAL = 233, T_STRUCT = 234,
  T_POINTER = 239, T_NULL = 240, T_POLYMORPHIC = 241, T_VOIDK = 242, T_VERSION = 247,
  T_PRAGMA = 248,
};

// Token state: the current token and the two before it; saved and restored
// whole for look-ahead.
struct CcTok {
  int code = T_EOL, prev = T_EOL, prev2 = T_EOL;
  char text[131] = {0};  // at most 130 characters
  double num = 0;
  std::string str;       // body of a quoted string (any bytes)
  size_t pos = 0;        // read position in the current line
};

// Description of a token code for messages ("name", "'('", ...).
std::string cc_tokdesc(int code);
// The reserved word or operator text of a code ("" when none).
const char* cc_resword(int code);
int cc_reslookup(const char* text);  // code of a reserved word or operator, 0 if none
// Reads one token from line at t.pos into t. Returns the code. Sets
// *unclosed when a comment is still open at the end of the line.
int cc_lex(const std::string& line, CcTok& t, int* comment);

// Compile-time element types and organizations.
enum : int { E_TRANS = 0, E_REAL = 1, E_STR = 2, E_CPLX = 3, E_NUM = 4, E_PTR = 5, E_STRUCT = 6 };
enum : int { O_MATRIX = 0, O_SCALAR = 1, O_VECTOR = 2, O_ROWVEC = 3, O_COLVEC = 4, O_VOID = 5 };

struct CType {
  int8_t el = E_TRANS;
  int8_t org = O_MATRIX;
  bool fn = false;       // the type of a function (a function argument)
  int16_t ptr = -1;      // pointed-to type index (pointers)
  int16_t sname = -1;    // offset of the structure name (structures)
};

// The type table: at most 500 entries shared by value, structure names in a
// 4000-byte area.
struct TypeTab {
  std::vector<CType> t;
  std::string names;
  // Index of the type (added when new); -1 when the table is full.
  int add(const CType& c);
  int addname(const std::string& s);  // offset, -1 when full
  const CType& at(int i) const { return t[static_cast<size_t>(i)]; }
  std::string sname(int i) const;     // structure name of type i
  std::string text(int i) const;      // "real scalar", "struct s scalar", ...
};

// Operand rules.
enum : int {
  R_NONE, R_EQUAL, R_COMPARE, R_LOGICAL, R_REAL, R_PLUS, R_MINUS, R_MULT, R_KRON, R_FLEX,
  R_ASSIGN
};
// Applies a rule to left and right element types (with structure names for
// the flexible and assignment rules); *res gets the result element type.
// false: a type error.
bool ct_rule(int rule, const CType& l, const CType& r, const TypeTab& tt, int* res);

// One instruction of the code being generated. Branch operands hold a tag
// number until the tags are resolved; literal operands hold a pool index
// until the pools are placed.
struct Ins {
  int32_t op = 0;
  int32_t a[3] = {0, 0, 0};
  std::string s;        // string operand (names)
  int fix = 0;          // 0 none, 1 a[0] is a branch target, 2 a[0] numeric literal, 3 string literal
  bool dead = false;
};
enum : int { FIX_NONE = 0, FIX_BRANCH = 1, FIX_NUM = 2, FIX_STR = 3 };

// Optimizer over a resolved instruction list (branch operands are indices
// into the list). Returns 0, or an error code after its message.
int cc_optimize(std::vector<Ins>& code);
// One line per instruction, for tests and debugging.
std::string cc_dump(const std::vector<Ins>& code);
