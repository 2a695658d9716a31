// Reading a file in place of the dataset in memory without putting it at
// risk: the dataset, its characteristics, value labels and file name are set
// aside while the new one is built, and come back exactly as they were when
// the read fails or is broken off. Shared by use, insheet, infile and infix.
#pragma once
#include <string>
#include <vector>

#include "data/chars.h"
#include "data/store.h"
#include "data/vlabel.h"

struct NewData {
  DsAside aside;        // the dataset, when it had variables or observations
  std::string datalbl;  // an empty one's label, sort list and changed flag
  std::vector<int> srtlist;
  bool updata = false;
  CharState chars;      // its characteristics (the new dataset starts with none)
  VlState labels;       // its value labels as they were
  std::string fn, fndate;
  bool hadfn = false, hadfndate = false;
  bool active = false;
};
// Sets the dataset aside and starts an empty one with the same settings.
// 0 or a printed code, and then nothing has changed.
[[nodiscard]] int nd_begin(NewData& n);
// Keeps the new dataset; the old one goes with its characteristics and file
// name (value labels stay, as after drop _all).
void nd_commit(NewData& n);
// Drops the new dataset and brings the old one back. Returns rc.
int nd_undo(NewData& n, int rc);
