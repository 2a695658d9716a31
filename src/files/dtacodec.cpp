// One field of a .dta record to a double and back. The cells of every
// release hold the store's own encodings (modern codes for releases 112 and
// later, the legacy single missing code before), so the store's codecs do
// the work; only the 2^333 double missing value of releases 107 and older is
// the file's own. Fields are in this machine's order.
#include <cstring>

#include "data/value.h"
#include "files/dta.h"
#include "files/files.h"

FileState fst;

int files_failpoint() {
  if (fst.failread <= 0) return 0;
  return ++fst.nsteps == fst.failread ? 692 : 0;
}

double dta_decode(int type, const unsigned char* p, bool dbl333) {
  if (dbl333 && type == ST_LDOUBLE) {
    double d;
    std::memcpy(&d, p, 8);
    if (d == misval_107) return misval;
  }
  return cell_get(type, p);
}

void dta_encode(int type, double x, bool legacy, unsigned char* p) {
  // The older releases know one missing value: .a to .z are written as .
  if (legacy && x >= misval) x = misval;
  cell_put(legacy ? dta_legacy(type) : dta_modern(type), p, x);
}
