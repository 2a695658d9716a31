// Sorting the observations by the current variable list. The sort list of
// the store is set when the whole dataset was sorted.
#pragma once
#include <vector>

struct SortState {
  long polls = 0;    // Break polls made (the flag is read every 1024th)
  long breakat = 0;  // test hook: behave as if Break was pressed at this poll (0 = never)
  // Scratch arrays of at least this many bytes are mapped on huge pages;
  // smaller ones come from the heap (tests lower it to cover both).
  unsigned long hugemin = 8ul << 20;
  // Ranges of at least this many observations are sorted on two threads
  // (tests lower it to cover both).
  unsigned long parmin = 1ul << 20;
  // Sorts whose keys were packed into one word with the observation number
  // (tests read it to know which way a sort went).
  long packed = 0;
};
extern SortState srt;

// Compares observations i and j on the current variable list: -1, 0 or 1.
int sortcmpr(long i, long j);
// Sorts observations lo..hi by the current variable list; `stable` keeps
// ties in their previous order. 0 or 1 (Break: the observations are then in
// some valid order and the sort list is empty).
[[nodiscard]] int syssort(long lo, long hi, bool stable);
// Sorts the whole dataset by the values of the numeric variable idx (ties in
// their present order); the sort list becomes vars when the data then follow
// them. 0, 1 on a Break, or 109 for a string idx.
[[nodiscard]] int sysidxsort(int idx, const std::vector<int>& vars);
// Swaps observations i and j (their cells in every column).
void exch(long i, long j);
// Sets the sort seed.
void setsortseed(long seed);
