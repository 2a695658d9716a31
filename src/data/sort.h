// Sorting the observations by the current variable list: the map `mapj` is
// permuted, records never move. The sort list of the store is set when the
// whole dataset was sorted.
#pragma once

// Compares observations i and j on the current variable list: -1, 0 or 1.
int sortcmpr(long i, long j);
// Sorts observations lo..hi by the current variable list; `stable` keeps
// ties in their previous order. 0 or 1 (Break).
[[nodiscard]] int syssort(long lo, long hi, bool stable);
// Swaps observations i and j (their map entries).
void exch(long i, long j);
// Sets the sort seed.
void setsortseed(long seed);
