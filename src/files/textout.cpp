// Buffered text output through the safe-write path; see textout.h.
#include "files/textout.h"

#include "data/store.h"
#include "output/errors.h"

namespace {

int writefail(TextOut& t) {
  af_abort(t.af);
  return fierr(RC_DISKFULL, t.fn.c_str());
}

}  // namespace

int textout_line(TextOut& t) {
  if (t.buf.size() < TEXTOUT_CHUNK) return 0;
  if (ds_pollbreak()) {
    af_abort(t.af);
    return 1;
  }
  if (af_write(t.af, t.buf.data(), t.buf.size())) return writefail(t);
  t.buf.clear();
  return 0;
}

int textout_finish(TextOut& t) {
  if (!t.buf.empty() && af_write(t.af, t.buf.data(), t.buf.size())) return writefail(t);
  if (af_commit(t.af)) return fierr(RC_DISKFULL, t.fn.c_str());
  return 0;
}
