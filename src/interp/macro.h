// Macros: the named-object store (global macros, local macros by level,
// programs), macro expansion of command lines, extended macro functions.
#pragma once
#include <string>

// Expands every macro reference in `line` in place. 0 or a return code.
[[nodiscard]] int macexpand(std::string& line);
// Global macros.
void macset_global(const std::string& name, const std::string& value);
const std::string* macget_global(const std::string& name);
void macdrop_global(const std::string& name);
// Local macros of the current level.
void macset_local(const std::string& name, const std::string& value);
const std::string* macget_local(const std::string& name);
// Opens a new local-macro level with `args` stored as local 0 and its words
// as 1, 2, ... (quotes respected and stripped); locals_leave closes it.
void locals_enter(const char* args);
void locals_leave();
// Saved bookkeeping of temporaries (variables, names, files) made at a level.
struct TempMark {
  long tmpvctr = 0;
  size_t nnames = 0;
  size_t nfiles = 0;
};
void temps_enter(TempMark& mark);
void temps_leave(const TempMark& mark);
