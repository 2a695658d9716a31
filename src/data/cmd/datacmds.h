// Entry points of the everyday data commands that other subsystems call:
// the preserve levels run around do-files and programs, and the cell
// formatter used by list and describe.
#pragma once
#include <string>
#include <vector>

// Opens a new preserve level (a do-file or program begins).
void preserve_level_enter();
// Closes the level: a dataset preserved at it and not yet restored is
// restored now.
void preserve_level_leave();
// Discards every preserved copy (start-up, tests).
void preserve_reset();

// The counts generate and replace report, summed over the groups of a `by`
// run and cleared at its first group (reset with the data layer).
struct GenCounts {
  long missing = 0;     // generate: missing results
  long changes = 0;     // replace: real changes
  long tomissing = 0;   // replace: changes whose result is missing
  long truncated = 0;   // replace: values that did not survive storage
  long chmissing = 0;   // replace: values that became missing in storage
  int oldtype = 0;      // replace: type before the first group
  bool promofail = false;
};
extern GenCounts gencounts;
// The data layer's session state back to its start (reset-all): no preserved
// copies, no by run, an empty dataset with the default settings (`set type`,
// `set varabbrev`, memory), no value labels or characteristics, the sort's
// counters and the variable-list parser's results cleared.
void data_reset();

// The text of variable var at observation obs under its display format.
std::string dsfmtcell(int var, long obs);
// The text of a number under a display format, without surrounding blanks.
std::string dsfmtnum(const std::string& fmt, double x);
// The width of a display format ("%9.0g" -> 9, "%-12s" -> 12); 0 when none.
int dsfmtwidth(const std::string& fmt);
// True when the format asks for left alignment ("%-9s").
bool dsfmtleft(const std::string& fmt);

// Makes the current variable list every variable except "(e)"; true when the
// dataset has none.
bool ssvlist_all();
// Binders of the command files of this folder (called by data_bindcommands).
void data_bindlist();
void data_bindinput();
void data_bindchars();
void data_bindsort();
void data_bindlabels();
void data_bindby();
void data_bindencode();
void data_bindnumtext();
void data_bindrecode();
void data_bindvalcmds();
void data_binddatasig();
// The first numeric storage type from `atleast` on (byte < int < long <
// float < double) whose cells hold every value of x exactly.
int ds_exacttype(const std::vector<double>& x, int atleast);
// Appends x in the shortest form that reads back as the same value (as a
// float for storage type ST_FLOAT, else as a double); a missing value as
// `dot` for `.` and ".a".. ".z" for the others.
void ds_exacttext(double x, int type, const char* dot, std::string& dst);
void data_bindexpand();
void data_bindtsdeclare();
void data_bindrename();
// label language [name] [, new copy rename delete]: the rest of the line.
int lablanguage(const char* args);
