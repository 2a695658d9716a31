// File helpers of the graphics commands: existence and default suffixes.
#pragma once
#include <string>

// True when fn names an existing file.
bool gr_fileexists(const std::string& fn);
// fn with `suffix` added when it has none.
std::string gr_addsuffix(const std::string& fn, const char* suffix);
