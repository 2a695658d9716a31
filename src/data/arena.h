// The data area's size policy. By default the area grows with the data: it
// is a reservation of address space whose pages the system provides only as
// cells are written, with the columns laid out far apart, so that adding
// variables or observations moves no data and the limit is the machine's
// memory. `set memory` (or -k at start-up) fixes its size instead.
#pragma once
#include <cstdint>

struct ArenaState {
  bool memoryset = false;                 // the size is fixed: ds.memorysize holds it
  uint64_t vbytes = 0;                    // a growing arena's reservation (0 until the first is made)
  const unsigned char* hinted = nullptr;  // the growing arena last advised to use huge pages
  long ncopies = 0;                       // times the cells were moved into a new layout
};
extern ArenaState dsarena;

// Observations possible at record width `width` within the memory limit
// (the fixed size, or the machine's memory when the area grows).
long obscapacity_at(long width);
// The most observations a dataset can have, whatever the memory: the
// observation numbers of a permutation must fit in 31 bits.
long obslimit();
// The memory reported for the data (`c(memory)`, describe): the fixed size,
// or for a growing area 10 MB doubled as often as the data need.
uint64_t memory_reported();
// Fixes the size before the arena is first made (start-up's -k).
void ds_memorycap(uint64_t bytes);
// Readers that know how many observations will come say so before they make
// the variables: a growing arena meant for that many asks for huge pages
// before any cell is written. A 2 MB stretch whose first page came as a small
// one stays on small pages, and faulting a large dataset in 4 KB at a time
// costs more than reading it.
void ds_hugehint_for(long nobs);
