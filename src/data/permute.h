// Applying an order to the observations with scratch memory the caller
// lends: the sort hands over the memory its keys occupied, so the gathers
// of the columns need no more than the sort already holds.
#pragma once
#include <cstddef>
#include <cstdint>

// ds_permute (data/store.h), moving the columns through `scratch` (`bytes`
// long; it may hold `from` itself, which is read before the scratch is
// written); with too little scratch for one byte a cell the store allocates
// its own. Variable `done` (0: none), which the caller has already put in
// the new order over the whole range, is left as it is.
void ds_permute_lent(long lo, const uint32_t* from, long n, unsigned char* scratch, size_t bytes, int done = 0);
