// Value labels: named tables that map integer values to texts, attached to
// numeric variables by name (the store's `lbllist`). Values are kept strictly
// ascending so that every lookup is a binary search. A table's file form
// (counts, text offsets, values, one block of NUL-ended texts) is made by
// vlpack and read back by vlunpack; byte order is the file reader's concern.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

constexpr int VL_MAXN = 65536;               // mappings in one table
constexpr size_t VL_MAXTXT = 32000;          // longest text of one mapping
constexpr double VL_MAXVAL = 2147483620.0;   // values are non-missing longs
constexpr double VL_MINVAL = -2147483647.0;

struct ValueLabel {
  std::vector<int32_t> val;       // values, strictly ascending
  std::vector<std::string> txt;   // txt[i] is the text of val[i]
  int n() const { return static_cast<int>(val.size()); }
};

struct VlState {
  std::map<std::string, ValueLabel> tabs;  // every table by name, iterated in name order
};
extern VlState vls;

// The table called name, or nullptr.
const ValueLabel* vlfind(const std::string& name);
// Table name, created empty when absent.
ValueLabel& vlcreate(const std::string& name);
// Index of value in lab (>= 0), or the bitwise complement of the index at
// which it would be inserted.
int vlfindval(const ValueLabel& lab, int32_t value);
// The text of x in lab, or nullptr when x is not an integer value of it.
const std::string* vltext(const ValueLabel& lab, double x);
// Sets the text of value (inserting in order; an empty text removes the
// mapping). Returns 0, or 134 (printed) when the table is full.
[[nodiscard]] int vlset(ValueLabel& lab, int32_t value, const std::string& text);
// The value whose text is text, or `.` when none.
double vlsearch(const ValueLabel& lab, const std::string& text);
// Value and text of entry i (0-based).
void vlgetofi(const ValueLabel& lab, int i, int32_t* value, const std::string** text);
// Length of the longest text (0 for an empty table).
int vlmaxlen(const ValueLabel& lab);
// Removes one table / every table.
void vldrop(const std::string& name);
void vldropall();
// The text shown for x in numeric variable var: its label text when var has
// an existing table mapping x, else false.
bool vlvartext(int var, double x, std::string& out);

// File form of one table: n = val.size() = off.size(); off[i] is the byte
// offset of the NUL-ended text of val[i] inside txt.
struct VlPacked {
  std::vector<int32_t> off;
  std::vector<int32_t> val;
  std::string txt;  // txtlen bytes, NULs included
};
void vlpack(const ValueLabel& lab, VlPacked& out);
// Builds table name from a file form (values in any order, later duplicates
// win, texts cut at their NUL or at the end of txt). Returns 0, or 610 when
// an offset lies outside txt or n exceeds VL_MAXN (nothing is created).
[[nodiscard]] int vlunpack(const std::string& name, const int32_t* off, const int32_t* val, int n,
                           const char* txt, size_t txtlen);

// Widens the display formats of the numeric variables that use table name so
// that its longest text fits (`fix`, the default of label define and values).
void vlfixfmts(const std::string& name);
// Expression hook: code of text in table lbl (0), or 1 when absent.
int vlexprcode(const std::string& lbl, const std::string& text, double* code);
// The macro function `label` {lblname | (varname)} {# | maxlength} [, strict]:
// the text of # (the number itself when unlabelled, empty with strict), or
// the longest text's length. 0 or a code (printed).
[[nodiscard]] int vlmacro(const char* args, std::string& res);
