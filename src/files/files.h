// The data-files subsystem: .dta use/save/describe using, append and merge.
// Its globals (test hooks and the last file's facts) live in one struct.
#pragma once
#include <string>

struct FileState {
  int failread = 0;   // test hook: the Nth read step from now fails with 692 (0 = never)
  int nsteps = 0;     // read steps counted since failread was set
};
extern FileState fst;

// Counts one read step; the injected code (692) when it is due, else 0.
int files_failpoint();

// Binds use, save, append, merge and the describe-using helper.
void files_bindcommands();
// Binds append and merge (called by files_bindcommands).
void files_bindcombine();
