// Label languages: sets of variable labels, value-label attachments and a
// dataset label kept side by side; the languages that are not current live
// in characteristics.
#include "data/datacmds.h"
#include "output/errors.h"

int lablanguage(const char*) { return errmsgf(199, "label language:  not available in this build\n"); }
