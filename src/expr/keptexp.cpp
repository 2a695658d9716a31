// Kept conditions. A compile depends on its text, the language version and
// whatever it looked up outside the text: the variables its names resolve to
// and the scalars, saved results and c() values it writes in as literals.
// A kept program records all of those reads, and is reused only while each
// reads the same again, which is exactly when a new compile would produce
// the same program. Compiles that read anything not recorded that way are
// not kept.
#include "expr/keptexp.h"

#include <cstring>
#include <string>

#include "data/store.h"
#include "expr/exprint.h"

namespace {

bool samevalue(const XlRead& r, int rc, double d, const std::string& s, bool isstr) {
  return rc == r.rc && std::memcmp(&d, &r.d, sizeof d) == 0 && isstr == r.isstr && s == r.s;
}

// True when every outside read of a compile gives the same answer now.
bool readsame(const XlReads& reads) {
  for (const XlRead& r : reads.list) {
    double d = 0;
    std::string s;
    bool isstr = false;
    switch (r.kind) {
      case 'v': {
        bool ambiguous = false;
        const int v = xl_findvar(r.name, &ambiguous);
        if (ambiguous || v != r.rc || (v && isstrtype(vartype(v)) != r.isstr)) return false;
        break;
      }
      case 's': {
        const int rc = exhooks.scalar(r.name, &d, &s, &isstr);
        if (!samevalue(r, rc, d, s, isstr)) return false;
        break;
      }
      case 'r': {
        bool ismat = false;
        d = misval;
        const int rc = exhooks.saved(r.sub, r.name, &d, &s, &isstr, &ismat);
        if (ismat || !samevalue(r, rc, d, s, isstr)) return false;
        break;
      }
      case 'c': {
        const int rc = exhooks.creturn(r.name, &d, &s, &isstr);
        if (!samevalue(r, rc, d, s, isstr)) return false;
        break;
      }
      default:
        return false;
    }
  }
  return true;
}

}  // namespace

int compexp_kept(const ExprProg** prog) {
  std::string text;
  if (int rc = xl_capture_tok(text)) return rc;
  const int version = exhooks.version();
  for (KeptExp& k : ex.kept)
    if (k.version == version && k.text == text && readsame(k.reads)) {
      *prog = &k.prog;
      return 0;
    }
  KeptExp& k = ex.kept[ex.keptnext];
  ex.keptnext = (ex.keptnext + 1) % EXPR_NKEPT;
  k.text.clear();
  k.reads.list.clear();
  k.reads.checkable = true;
  XlReads* const saved = ex.reads;
  ex.reads = &k.reads;
  const int rc = xl_compile(text, k.prog, EXP_NUM);
  ex.reads = saved;
  if (rc) return rc;
  // running sums carry state from one evaluation to the next
  if (k.reads.checkable && k.prog.nsums == 0) {
    k.text = std::move(text);
    k.version = version;
  }
  *prog = &k.prog;
  return 0;
}
