// File helpers of the graphics commands: existence and default suffixes.
#pragma once
#include <string>

// True when fn names an existing file.
bool gr_fileexists(const std::string& fn);
// fn with `suffix` added when it has none.
std::string gr_addsuffix(const std::string& fn, const char* suffix);
// Opens picture fn with the desktop's viewer when there is one (xdg-open in a
// graphical session), else prints a note saying why not. Always 0.
int gr_view(const std::string& fn);
