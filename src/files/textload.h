// Loading values read from text into new variables, shared by infile (free
// format and dictionaries) and insheet: observation slots grown in steps,
// the conversion of a field's text to a number, a value-label code or a
// string cell.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

#include "data/store.h"

// Longest value a free-format or dictionary field keeps.
constexpr size_t TL_STRMAX = 244;

struct TextLoad {
  std::vector<int> vars;       // the variable of each field, in field order
  std::vector<ColView> cols;   // their views; refreshed when the dataset grows
  long kept = 0;               // observations kept so far
  bool automatic = false;      // text in numeric fields gets value-label codes
  bool notes = true;           // print the "cannot be read as a number" notes
  long hint = 0;               // observations expected (sizes the first step), 0 unknown
};

// The observations a command asked for: an `in` range of observation
// numbers in the file and an `if` condition (the shared parser's).
struct TlRange {
  bool hasin = false;
  long lo = 1, hi = 0;  // the range when hasin
  bool hasif = false;
  // True when file observation fileobs, just stored at obs, is kept.
  bool keep(long fileobs, long obs) const;
  // True when no observation after fileobs can be kept.
  bool past(long fileobs) const { return hasin && fileobs > hi; }
};

// Starts loading into the variables vars (already created, no observations).
void tl_start(TextLoad& t, const std::vector<int>& vars);
// Makes observation obs exist (growing in steps). 0, 901 or 1 (Break),
// printed.
[[nodiscard]] int tl_slot(TextLoad& t, long obs);
// Stores field k's text (n bytes at p) at observation obs under its
// variable's type (step 5 of free format): a string cut to its width; for a
// number, empty is missing, a number is stored, other text is looked up in
// the variable's value label (added with automatic), else missing: silently
// for NA (R's missing value), with a note for any other text.
void tl_store(TextLoad& t, size_t k, long obs, const char* p, size_t n);
// Stores missing (or "") in fields k.. of observation obs.
void tl_blank(TextLoad& t, size_t k, long obs);
// Ends a successful load: the dataset keeps t.kept observations (and is
// emptied when there are none), is marked changed and unsorted, and
// "(%d observations read)" is printed.
void tl_finish(TextLoad& t);

// The smallest storage type for a column of numbers (any: some number seen;
// allint: all whole; lo, hi: their range; floatok: each exactly a float):
// byte, int, long or double for whole numbers, float or double otherwise.
int tl_numtype(bool any, bool allint, double lo, double hi, bool floatok);

// Reads a whole field as a number: optional blanks around, a decimal number
// with optional sign and exponent, ".", or ".a" .. ".z". False otherwise.
bool tl_number(const char* p, size_t n, double* x);
