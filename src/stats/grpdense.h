// Group sums by one numeric key whose values are whole numbers in a small
// range: each observation's slot (its value minus the smallest, then one
// slot per missing code) indexes the sums directly, so there is no sort, no
// hashing and no array of group codes. The key and value columns are read in
// place. Slots follow the order of the key's values (missing values last, `.`
// first), which is the order of the groups that levels.h numbers.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

struct GdKey {
  int var = 0;     // the key variable
  double mn = 0;   // its smallest non-missing value
  long range = 0;  // slots of the non-missing values: max - min + 1 (0 when none)
  size_t nslot() const { return static_cast<size_t>(range) + 27; }
};

// Per slot of a key: the observations, and the non-missing values of one
// variable with their sum (added in observation order, as grpacc.cpp does).
struct GdSums {
  std::vector<int64_t> obs;  // observations in the slot
  std::vector<int64_t> n;    // non-missing values
  std::vector<double> sum;   // their sum
};

// Whether numeric variable var, over observations lo..hi, holds only whole
// numbers spanning fewer than 2^24 values (and missing values); *ok says,
// and k describes the key when it does. 0, or 1 on a Break.
[[nodiscard]] int gd_key(int var, long lo, long hi, GdKey& k, bool* ok);
// The slots of observations obs..obs+m-1 (m <= EXPR_BLOCK).
void gd_slots(const GdKey& k, long obs, long m, int32_t* slot);
// The key's value in a slot.
double gd_value(const GdKey& k, size_t slot);
// Sums of numeric variable y by the key over observations lo..hi. 0 or 1.
[[nodiscard]] int gd_sums(const GdKey& k, int y, long lo, long hi, GdSums& r);
