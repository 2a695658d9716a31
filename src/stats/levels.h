// The distinct values of one variable over a command's sample, each
// observation coded by the rank of its value: what tables, group statistics
// and quantile groups share. Numeric keys that are small integers are coded by
// direct indexing (no sort, no hashing); other keys through a hash table whose
// distinct values alone are then sorted.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct StSample;

// The levels of a variable, in ascending order: numbers (missing values last,
// `.` before `.a` ... `.z`) or texts in byte order ("" first).
struct Levels {
  bool isstr = false;
  std::vector<double> vals;         // numeric levels
  std::vector<std::string> svals;   // string levels
  int n() const { return static_cast<int>(isstr ? svals.size() : vals.size()); }
};

// Codes observations s.lo..s.hi of variable var (entry e of the current list
// when e >= 0, which applies its time-series operator; else var itself):
// code[i] is the level of obs lo+i, or -1 when the observation is not used
// (not selected, a missing value without `missing`, a missing or zero
// weight). Missing values count as levels when `missing`. Returns 0 or 1
// (Break); a bad weight is not checked here (see st_checkweight).
// freq (may be null) receives each level's count: the sum of the weights of
// its observations (1 each without weights); code may be null when only the
// counts are wanted, which saves a pass over the codes.
[[nodiscard]] int lv_code(int var, int e, const StSample& s, bool missing, Levels& lv,
                          std::vector<int32_t>* code, std::vector<double>* freq = nullptr);

// The text of level k of lv as a table shows it: the value label of var
// (unless nolabel) or the number under %9.0g style, or the string itself.
std::string lv_text(const Levels& lv, int k, int var, bool nolabel);
