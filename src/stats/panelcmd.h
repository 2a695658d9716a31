// What the panel-data commands share on the command side.
#pragma once

struct ParseResult;

// The panel variable of the parsed command: option i(varname), else the one
// set by tsdeclare; numeric. 0 or a code with its message.
[[nodiscard]] int pn_panelvar(ParseResult& pr, int* pv);
