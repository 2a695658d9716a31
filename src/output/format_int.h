// Routines shared between the format files only (format.cpp, format_num.cpp,
// format_date.cpp); everything else uses format.h.
#pragma once
#include <string>

#include "output/format.h"

// Validates the date part of a format; p points at `d` or `t` (after the
// `%` and an optional `-`). Fills letter, width, tsunit and codes. 0 or 1.
int chkdfmt(const char* p, FmtInfo* f);
// Appends the text of value under the date or %t format f, padded to its width.
void rendate(const FmtInfo& f, double value, std::string& dst);
// Appends the text of a finite, non-missing value under the numeric format f
// (justified, padded by the extra width, separators swapped).
void rennum(const FmtInfo& f, double value, std::string& dst);
