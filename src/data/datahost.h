// What the store asks of the layers above it. The interpreter installs its
// member beside the macros (a static initialiser), and a unit test checks
// that none is left empty after start-up; unset, the store just clears.
#pragma once

struct DataHost {
  // The dataset was cleared: the interpreter drops the globals that describe
  // the dataset in memory (its file name and date).
  void (*cleared)() = nullptr;
};
extern DataHost datahost;
