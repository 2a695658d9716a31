// The set-aside dataset of a file being read in its place (see newdata.h).
// A dataset with variables or observations keeps its memory while the new
// one is read into another arena; an empty one is built on where it stands,
// so that clearing first and then reading costs no second arena.
#include "files/newdata.h"

#include "interp/macro.h"

int nd_begin(NewData& n) {
  n = NewData{};
  if (ds.nvar || ds.nobs) {
    if (int rc = ds_aside(n.aside)) return rc;
  } else {
    if (int rc = ds_ensure()) return rc;
    n.datalbl = ds.datalbl;
    n.srtlist = ds.srtlist;
    n.updata = ds.updata;
  }
  n.chars = std::move(chs);
  chs = CharState{};
  n.labels = vls;
  if (const std::string* s = macget_global("S_FN")) n.fn = *s, n.hadfn = true;
  if (const std::string* s = macget_global("S_FNDATE")) n.fndate = *s, n.hadfndate = true;
  ds.datalbl.clear();
  ds.srtlist.clear();
  ds.updata = false;
  n.active = true;
  return 0;
}

void nd_commit(NewData& n) {
  if (!n.active) return;
  ds_aside_commit(n.aside);
  n.chars = CharState{};
  n.labels = VlState{};
  macdrop_global("S_FN");
  macdrop_global("S_FNDATE");
  n.active = false;
}

int nd_undo(NewData& n, int rc) {
  if (!n.active) return rc;
  if (n.aside.active) {
    ds_aside_undo(n.aside);
  } else {
    drop_all();  // what was read; the arena stays
    ds.datalbl = n.datalbl;
    ds.srtlist = n.srtlist;
    ds.updata = n.updata;
  }
  chs = std::move(n.chars);
  vls = std::move(n.labels);
  if (n.hadfn) macset_global("S_FN", n.fn);
  else macdrop_global("S_FN");
  if (n.hadfndate) macset_global("S_FNDATE", n.fndate);
  else macdrop_global("S_FNDATE");
  n.active = false;
  return rc;
}
