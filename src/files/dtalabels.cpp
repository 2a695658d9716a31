// Value labels between their file form and the label store: the one place
// that reads the store's tables for a save and adds tables after a use.
#include "data/store.h"
#include "files/dta.h"

void dtalbl_install(const std::vector<DtaLabel>&) {}

void dtalbl_collect(bool, const std::vector<int>&, std::vector<DtaLabel>&) {}
