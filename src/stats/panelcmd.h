// What the panel-data and instrumental-variable commands share on the
// command side: the panel variable, the panel of each row read, the header
// lines of their tables.
#pragma once
#include <string>
#include <vector>

struct ParseResult;
struct MlcSample;

// The panel variable of the parsed command: option i(varname), else the one
// set by tsdeclare; numeric. 0 or a code with its message.
[[nodiscard]] int pn_panelvar(ParseResult& pr, int* pv);
// The panel value of each row of s into pval; rows whose panel is missing
// leave s. 0, or 2000 when no row is left.
[[nodiscard]] int pn_panelrows(MlcSample& s, int pv, std::vector<double>& pval);
// One header line of a results table: text on the left, a label and its
// figure (already formatted) on the right.
void pn_headrow(const std::string& left, const char* label, const std::string& val);
