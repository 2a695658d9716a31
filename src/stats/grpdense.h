// Group sums by one numeric key whose values are whole numbers in a small
// range: each observation's slot (its value minus a base, then one slot per
// missing code) indexes the sums directly, so there is no sort, no hashing
// and no array of group codes. The key and value columns are read in place,
// and the key's range is found in the same pass as the sums. Slots follow
// the order of the key's values (missing values last, `.` first), which is
// the order of the groups that levels.h numbers; a slot no observation uses
// is no group.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

struct GdKey {
  int var = 0;         // the key variable
  double mn = 0;       // the value of slot 0 (at most the smallest non-missing value)
  long range = 0;      // slots of non-missing values (0 when none)
  bool known = false;  // set by a first gd_sums: later ones over the same observations reuse it
  size_t nslot() const { return static_cast<size_t>(range) + 27; }
};

// One slot's sum and counts.
struct GdCell {
  double sum;    // the non-missing values, added in observation order (as grpacc.cpp does)
  uint64_t cnt;  // observations << 32 | non-missing values
};

// Per slot of a key: the observations, and the non-missing values of one
// variable with their sum.
struct GdSums {
  GdSums() = default;
  GdSums(const GdSums&) = delete;
  GdSums& operator=(const GdSums&) = delete;
  ~GdSums();                 // keeps the block for the next gd_sums
  std::vector<GdCell> cell;  // index: slot
  int64_t obs(size_t s) const { return static_cast<int64_t>(cell[s].cnt >> 32); }
  int64_t n(size_t s) const { return static_cast<int64_t>(cell[s].cnt & 0xffffffffu); }
  double sum(size_t s) const { return cell[s].sum; }
};

// Sums of numeric variable y by the key k.var over observations lo..hi.
// Unless k.known, the key's slots are found on the way, and *ok is false
// (and nothing else meaningful) when the key is a string, holds a value
// that is not a whole number, or spans 2^24 values or more. 0, or 1 on a
// Break.
[[nodiscard]] int gd_sums(GdKey& k, int y, long lo, long hi, GdSums& r, bool* ok);
// The key's value in a slot.
double gd_value(const GdKey& k, size_t slot);
// Writes the cells of observations lo..lo+n-1 of a column of cell width
// `width` starting at dst: each observation gets the cell of its slot,
// cells[slot * width ...]. 0, or 1 on a Break.
[[nodiscard]] int gd_fill(const GdKey& k, const unsigned char* cells, int width, long lo, long n, unsigned char* dst);
