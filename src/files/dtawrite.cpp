// Writing the dataset in memory as a .dta file of release 113, 111 or 110,
// always most significant byte first: header, descriptors, variable labels,
// characteristics as expansion fields, the records in blocks, value labels.
// The bytes go through a temporary file that replaces the target only once
// complete and synced, so a failure or a Break leaves the old file intact.
#include <algorithm>
#include <cstring>
#include <ctime>

#include "data/chars.h"
#include "data/store.h"
#include "files/atomicfile.h"
#include "files/byteorder.h"
#include "files/dta.h"
#include "output/errors.h"
#include "output/output.h"

namespace {

// Data of at least this many bytes are written on a second thread, past
// the page cache: through the cache, a writer is held to what the cache will
// take while the disk catches up, which on a busy machine was a third of the
// disk's own speed at 400 MB and a seventh at 4 GB.
constexpr double kDirectBytes = 32.0 * (1 << 20);

double directbytes() { return afs.directfrom > 0 ? static_cast<double>(afs.directfrom) : kDirectBytes; }

// The type code of a store type in a file of the release.
int filecode(int type, int release) {
  type = dta_modern(type);
  if (release != 110) return type;
  if (isstrtype(type)) return 127 + type;
  static const char letters[] = "bilfd";
  return letters[type - ST_BYTE];
}

// The expansion-field entry of one characteristic.
void putchar_entry(ByteWriter& w, const std::string& owner, const std::string& name,
                   const std::string& text) {
  w.u1(1);
  w.u4(static_cast<uint32_t>(text.size() + 67));
  w.text(owner, 33);
  w.text(name, 33);
  w.bytes(text.data(), text.size());
  w.u1(0);
}

int writefail(AtomicFile& af, const std::string& fn, int rc) {
  af_abort(af);
  if (rc == 699) {
    std::string why = af_errtext(af);
    return errmsgf(RC_DISKFULL, "file %s could not be written%s%s\n", fn.c_str(), why.empty() ? "" : ": ",
                   why.c_str());
  }
  return rc;
}

}  // namespace

static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

std::string dta_timestamp() {
  std::time_t now = std::time(nullptr);
  std::tm tmv{};
  localtime_r(&now, &tmv);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%2d %s%5d %02d:%02d", tmv.tm_mday, months[tmv.tm_mon],
                tmv.tm_year + 1900, tmv.tm_hour, tmv.tm_min);
  return buf;
}

int dta_write(const std::string& fn, const DtaOutOpts& o, std::string& stamp) {
  const bool legacy = o.release != 113;
  std::vector<int> vars;  // memory variable of each file variable
  std::vector<int> filenum(static_cast<size_t>(ds.nvar) + 1, 0);
  for (int v = 1; v <= ds.nvar; ++v) {
    const std::string& n = varname(v);
    if (n.empty() || (n == "(e)" && !o.all)) continue;
    vars.push_back(v);
    filenum[static_cast<size_t>(v)] = static_cast<int>(vars.size());
  }
  if (o.release == 110) {
    for (int v : vars)
      if (isstrtype(vartype(v)) && vartype(v) > 128)
        return errmsgf(RC_BADDATA, "variable %s is %s; files of this release hold strings of at most 128 characters\n",
                       varname(v).c_str(), typename_of(vartype(v)));
  }
  std::vector<DtaLabel> labels;
  if (!o.nolabel) dtalbl_collect(o.orphans, vars, labels);
  if (legacy) {
    bool toolong = false;
    for (const DtaLabel& l : labels)
      for (const std::string& t : l.txts)
        if (t.size() > 80) {
          errmsgf(RC_BADDATA, "value label %s contains labels longer than 80 characters\n", l.name.c_str());
          toolong = true;
          break;
        }
    if (toolong)
      return errmsgf(RC_BADDATA, "shorten the long labels with label define, modify, drop the label, or save with the nolabel option\n");
  }

  stamp = dta_timestamp();
  ByteWriter w(true);
  w.u1(static_cast<unsigned>(o.release));
  w.u1(BO_HILO);
  w.u1(1);
  w.u1(0);
  w.u2(static_cast<unsigned>(vars.size()));
  w.u4(static_cast<uint32_t>(ds.nobs));
  w.text(ds.datalbl, 81);
  w.text(stamp, 18);
  for (int v : vars) w.u1(static_cast<unsigned>(filecode(vartype(v), o.release)));
  for (int v : vars) w.text(varname(v), 33);
  size_t nsrt = 0;
  for (int s : ds.srtlist) {
    if (!filenum[static_cast<size_t>(s)]) break;  // a key left out of the file ends the list
    w.u2(static_cast<unsigned>(filenum[static_cast<size_t>(s)]));
    ++nsrt;
  }
  for (; nsrt <= vars.size(); ++nsrt) w.u2(0);
  for (int v : vars) w.text(ds.fmtlist[static_cast<size_t>(v)], 12);
  // nolabel leaves out the tables only: the variables keep their label names
  for (int v : vars) w.text(ds.lbllist[static_cast<size_t>(v)], 33);
  for (int v : vars) w.text(ds.varlabels[static_cast<size_t>(v)], 81);
  auto putowner = [&](const std::string& owner) {
    auto it = chs.owners.find(owner);
    if (it == chs.owners.end()) return;
    for (const auto& [name, text] : it->second) putchar_entry(w, owner, name, text);
  };
  putowner("_dta");
  for (int v : vars) putowner(varname(v));
  for (int i = 0; i < 5; ++i) w.u1(0);

  std::vector<int> types, widths;
  long lrecl = 0;
  for (int v : vars) {
    types.push_back(vartype(v));
    widths.push_back(dta_width(vartype(v)));
    lrecl += widths.back();
  }
  // A file of many megabytes is written on a second thread while this one
  // builds the records, straight to the disk, so the sync at the end has
  // nothing left to wait for.
  const double databytes = static_cast<double>(ds.nobs) * static_cast<double>(lrecl);
  AtomicFile af;
  const bool direct = databytes >= directbytes();
  if (int rc = af_open(af, fn, direct, direct)) return af_openerr(af, rc);
  if (int rc = af_write(af, w.buf.data(), w.buf.size())) return writefail(af, fn, rc);

  // Records in blocks of about 24000 bytes, at least two records each, built
  // a column at a time straight into the file's buffer; each few megabytes
  // go out in one call.
  const bool swap = bo_native() != BO_HILO;
  const long perblock = lrecl ? std::max(2L, 24000 / lrecl) : 1;
  std::vector<unsigned char> spill;  // a block larger than the room offered
  unsigned char* room = nullptr;
  size_t avail = 0, fill = 0;
  for (long i0 = 1; lrecl && i0 <= ds.nobs; i0 += perblock) {
    if (ds_pollbreak()) {
      af_abort(af);
      return 1;
    }
    const long n = std::min(perblock, ds.nobs - i0 + 1);
    const size_t bytes = static_cast<size_t>(n * lrecl);
    if (room && fill + bytes > avail) {
      if (int rc = af_advance(af, fill)) return writefail(af, fn, rc);
      room = nullptr;
    }
    if (!room) {
      room = af_space(af, &avail);
      if (!room) return writefail(af, fn, RC_DISKFULL);
      fill = 0;
    }
    unsigned char* blk = room + fill;
    if (bytes > avail) {  // records too wide for the room: built aside, then copied in
      spill.resize(bytes);
      blk = spill.data();
    }
    long off = 0;
    for (size_t k = 0; k < vars.size(); ++k) {  // a column at a time
      const int t = types[k], wd = widths[k];
      const ColView col = colview(vars[k]);
      unsigned char* p = blk + off;
      if (isstrtype(t)) {
        for (long i = i0; i < i0 + n; ++i, p += lrecl) {
          const unsigned char* c = col.at(i);
          size_t m = strnlen(reinterpret_cast<const char*>(c), static_cast<size_t>(wd));
          std::memcpy(p, c, m);
          std::memset(p + m, 0, static_cast<size_t>(wd) - m);
        }
      } else if (!legacy && t >= ST_BYTE) {  // the file holds the cell as it is
        bo_putcells(p, lrecl, col.at(i0), wd, n, swap);
      } else {
        for (long i = i0; i < i0 + n; ++i, p += lrecl) {
          dta_encode(t, col.get(i), legacy, p);
          if (swap) bo_swap(p, wd);
        }
      }
      off += wd;
    }
    if (blk == spill.data()) {
      room = nullptr;
      if (int rc = af_write(af, blk, bytes)) return writefail(af, fn, rc);
    } else {
      fill += bytes;
    }
  }
  if (room && fill)
    if (int rc = af_advance(af, fill)) return writefail(af, fn, rc);

  ByteWriter lw(true);
  for (const DtaLabel& l : labels) {
    std::vector<unsigned char> t = dtalbl_table(l, true);
    lw.u4(static_cast<uint32_t>(t.size()));
    lw.text(l.name, 33);
    lw.grow(3);
    lw.bytes(t.data(), t.size());
  }
  if (!lw.buf.empty())
    if (int rc = af_write(af, lw.buf.data(), lw.buf.size())) return writefail(af, fn, rc);
  if (int rc = af_commit(af)) return writefail(af, fn, rc);
  return 0;
}

std::vector<unsigned char> dtalbl_table(const DtaLabel& l, bool hilo) {
  ByteWriter w(hilo);
  size_t txtlen = 0;
  for (const std::string& t : l.txts) txtlen += t.size() + 1;
  w.u4(static_cast<uint32_t>(l.vals.size()));
  w.u4(static_cast<uint32_t>(txtlen));
  size_t off = 0;
  for (const std::string& t : l.txts) {
    w.u4(static_cast<uint32_t>(off));
    off += t.size() + 1;
  }
  for (int32_t v : l.vals) w.u4(static_cast<uint32_t>(v));
  for (const std::string& t : l.txts) {
    w.bytes(t.data(), t.size());
    w.u1(0);
  }
  return w.buf;
}
