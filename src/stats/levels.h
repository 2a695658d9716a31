// The distinct values of one variable over a command's sample, each
// observation coded by the rank of its value: what tables, group statistics
// and quantile groups share. Numeric keys that are small integers are coded by
// direct indexing (no sort, no hashing); other keys through a hash table whose
// distinct values alone are then sorted.
#pragma once
#include <cstddef>
#include <cstdint>
#include <new>
#include <string>
#include <vector>

struct StSample;

// Allocator of the per-observation scratch arrays: blocks of 8 MB and more
// are mapped on huge pages where the system offers them, as faulting in ten
// million observations' worth of small pages costs more than the pass that
// fills them.
void* st_bigalloc(size_t bytes);
void st_bigfree(void* p, size_t bytes);
template <class T>
struct StBigAlloc {
  using value_type = T;
  StBigAlloc() = default;
  template <class U>
  StBigAlloc(const StBigAlloc<U>&) {}
  T* allocate(size_t n) {
    void* p = st_bigalloc(n * sizeof(T));
    if (!p) throw std::bad_alloc();
    return static_cast<T*>(p);
  }
  void deallocate(T* p, size_t n) { st_bigfree(p, n * sizeof(T)); }
  template <class U>
  bool operator==(const StBigAlloc<U>&) const { return true; }
};
// Group or level codes, one per observation.
using LvCodes = std::vector<int32_t, StBigAlloc<int32_t>>;

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
                          LvCodes* code, std::vector<double>* freq = nullptr);

// The text of level k of lv as a table shows it: the value label of var
// (unless nolabel) or the number under %9.0g style, or the string itself.
std::string lv_text(const Levels& lv, int k, int var, bool nolabel);

// Groups of observations s.lo..s.hi by the values of vars (missing values
// are values of their own): code[i] is the group of obs lo+i (-1 when not
// selected), groups numbered in the order of the sorted values of vars.
// first[g] receives the offset (from lo) of group g's first observation.
// Returns 0 or 1 (Break).
[[nodiscard]] int lv_groups(const std::vector<int>& vars, const StSample& s, LvCodes& code,
                            int* ngroups, std::vector<long>* first);
