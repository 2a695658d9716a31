// The series-set store: the directory of sets, each set's temporary file (a
// header, then fixed-width records packed with the storage widths of its
// variables, numbers most significant byte first), the record window through
// which records are read and written, and the access routines used by drawing.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

#include "data/value.h"
#include "files/byteorder.h"
#include "graphics/graphics.h"
#include "output/errors.h"

SersetState sst;

namespace {

std::string tmpname(long seq) {
  const char* d = std::getenv("TMPDIR");
  std::string dir = d && *d ? d : "/tmp";
  return dir + "/ZS" + std::to_string(static_cast<long>(getpid())) + "_" + std::to_string(seq) +
         ".tmp";
}

void setoffsets(Serset& s) {
  int off = 0;
  for (int j = 0; j < s.k; ++j) {
    s.offs[j] = off;
    off += typewidth(s.types[j]);
  }
  s.lrec = off;
}

// The header as it is kept at the start of the set's file.
void packheader(const Serset& s, unsigned char* h) {
  std::memset(h, 0, SS_HEADER);
  bo_put4(h, static_cast<uint32_t>(s.k), true);
  bo_put4(h + 4, static_cast<uint32_t>(s.n), true);
  unsigned char* p = h + 8;
  for (int j = 0; j < SS_MAXVARS; ++j) p[j] = j < s.k ? s.types[j] : 0;
  p += SS_MAXVARS;
  for (int j = 0; j < s.k; ++j)
    std::memcpy(p + j * SS_NAMELEN, s.names[j].data(),
                std::min<size_t>(s.names[j].size(), SS_NAMELEN - 1));
  p += SS_MAXVARS * SS_NAMELEN;
  for (int j = 0; j < s.k; ++j)
    std::memcpy(p + j * SS_FMTLEN, s.fmts[j].data(), std::min<size_t>(s.fmts[j].size(), SS_FMTLEN - 1));
  p += SS_MAXVARS * SS_FMTLEN;
  for (int j = 0; j < s.k; ++j) bo_putdbl(p + 8 * j, s.mins[j], true);
  p += 8 * SS_MAXVARS;
  for (int j = 0; j < s.k; ++j) bo_putdbl(p + 8 * j, s.maxs[j], true);
  p += 8 * SS_MAXVARS;
  bo_put4(p, s.changed ? 1 : 0, true);
}

// Reads the header back; false when it is short or inconsistent.
bool unpackheader(Serset& s, const unsigned char* h) {
  s.k = static_cast<int>(bo_get4(h, true));
  s.n = static_cast<int32_t>(bo_get4(h + 4, true));
  if (s.k < 0 || s.k > SS_MAXVARS || s.n < 0) return false;
  const unsigned char* p = h + 8;
  for (int j = 0; j < s.k; ++j) {
    s.types[j] = p[j];
    if (!typewidth(p[j])) return false;
  }
  p += SS_MAXVARS;
  for (int j = 0; j < s.k; ++j)
    s.names[j].assign(reinterpret_cast<const char*>(p + j * SS_NAMELEN),
                      strnlen(reinterpret_cast<const char*>(p + j * SS_NAMELEN), SS_NAMELEN));
  p += SS_MAXVARS * SS_NAMELEN;
  for (int j = 0; j < s.k; ++j)
    s.fmts[j].assign(reinterpret_cast<const char*>(p + j * SS_FMTLEN),
                     strnlen(reinterpret_cast<const char*>(p + j * SS_FMTLEN), SS_FMTLEN));
  p += SS_MAXVARS * SS_FMTLEN;
  for (int j = 0; j < s.k; ++j) s.mins[j] = bo_getdbl(p + 8 * j, true);
  p += 8 * SS_MAXVARS;
  for (int j = 0; j < s.k; ++j) s.maxs[j] = bo_getdbl(p + 8 * j, true);
  setoffsets(s);
  return true;
}

bool writeheader(Serset& s) {
  unsigned char h[SS_HEADER];
  packheader(s, h);
  return !std::fseek(s.fp, 0, SEEK_SET) && std::fwrite(h, 1, SS_HEADER, s.fp) == SS_HEADER;
}

bool flushwindow(Serset& s) {
  if (!s.wdirty || !s.wcount) {
    s.wdirty = false;
    return true;
  }
  long at = SS_HEADER + s.wfirst * s.lrec;
  size_t len = static_cast<size_t>(s.wcount * s.lrec);
  if (std::fseek(s.fp, at, SEEK_SET) || std::fwrite(s.win.data(), 1, len, s.fp) != len) return false;
  s.wdirty = false;
  return true;
}

void freeentry(int id) {
  SsDirEntry& e = sst.dir[id];
  if (e.set) {
    if (e.set->fp) std::fclose(e.set->fp);
    std::remove(e.set->fname.c_str());
  }
  e.set.reset();
  e.seq = 0;
  e.opened = false;
  if (sst.cur == id) sst.cur = -1;
}

// Closes the current set's file after writing back what changed.
bool closecur() {
  if (sst.cur < 0) return true;
  SsDirEntry& e = sst.dir[sst.cur];
  bool ok = true;
  if (e.set && e.set->fp) {
    ok = serset_flush() == 0;
    std::fclose(e.set->fp);
    e.set->fp = nullptr;
    e.set->win.clear();
    e.set->win.shrink_to_fit();
    e.set->wcount = 0;
  }
  e.opened = false;
  sst.cur = -1;
  return ok;
}

void atexit_clear() { serset_clearall(); }

}  // namespace

// A set's cells hold the store's encodings (cell_put / cell_get), most
// significant byte first whatever the machine.
void ss_encode(int type, double v, unsigned char* p) {
  if (isstrtype(type)) return;
  cell_put(type, p, v);
  if (bo_native() == BO_LOHI) std::reverse(p, p + typewidth(type));
}

double ss_decode(int type, const unsigned char* p) {
  if (isstrtype(type) || type < ST_BYTE || type > ST_DOUBLE) return misval;
  unsigned char b[8];
  const int w = typewidth(type);
  std::memcpy(b, p, static_cast<size_t>(w));
  if (bo_native() == BO_LOHI) std::reverse(b, b + w);
  return cell_get(type, b);
}

int serset_new(int k, const unsigned char* types, const std::string* names, const std::string* fmts,
               int* id) {
  int slot = -1;
  for (int i = 0; i < SS_MAXSETS; ++i)
    if (!sst.dir[i].seq) {
      slot = i;
      break;
    }
  if (slot < 0) return errmsgf(RC_LIMIT, "too many sersets\n");
  if (!closecur()) return errmsgf(RC_WRITE, "serset:  I/O error writing the current set\n");
  static bool hooked = false;
  if (!hooked) {
    hooked = true;
    std::atexit(atexit_clear);
  }
  auto s = std::make_unique<Serset>();
  s->k = k;
  for (int j = 0; j < k; ++j) {
    s->types[j] = types[j];
    s->names[j] = names[j];
    s->fmts[j] = fmts[j];
    s->mins[j] = isstrtype(types[j]) ? 0 : misval;
    s->maxs[j] = isstrtype(types[j]) ? 0 : -misval;
  }
  setoffsets(*s);
  if (s->lrec > SS_MAXREC) return errmsgf(RC_TOOMANYVARS, "serset:  too many string variables\n");
  long seq = ++sst.seqctr;
  s->fname = tmpname(seq);
  s->fp = std::fopen(s->fname.c_str(), "w+b");
  if (!s->fp) return fierr(RC_FILEOPEN, s->fname.c_str());
  s->changed = true;
  if (!writeheader(*s)) {
    std::fclose(s->fp);
    std::remove(s->fname.c_str());
    return fierr(RC_WRITE, s->fname.c_str());
  }
  s->win.resize(SS_WINDOW);
  sst.dir[slot].seq = seq;
  sst.dir[slot].opened = true;
  sst.dir[slot].set = std::move(s);
  sst.cur = slot;
  *id = slot;
  return 0;
}

int serset_flush() {
  Serset* s = serset_cur();
  if (!s || !s->fp) return 0;
  if (!flushwindow(*s)) return RC_WRITE;
  if (!writeheader(*s) || std::fflush(s->fp)) return RC_WRITE;
  s->changed = false;
  return 0;
}

int serset_set(int id) {
  if (id < 0 || id >= SS_MAXSETS || !sst.dir[id].seq) return 1;
  if (id == sst.cur) return 0;
  closecur();
  SsDirEntry& e = sst.dir[id];
  Serset& s = *e.set;
  s.fp = std::fopen(s.fname.c_str(), "r+b");
  unsigned char h[SS_HEADER];
  if (!s.fp || std::fread(h, 1, SS_HEADER, s.fp) != SS_HEADER || !unpackheader(s, h)) {
    freeentry(id);
    return 1;
  }
  s.win.resize(SS_WINDOW);
  s.wfirst = s.wcount = 0;
  s.wdirty = false;
  e.opened = true;
  sst.cur = id;
  return 0;
}

Serset* serset_cur() { return sst.cur >= 0 ? sst.dir[sst.cur].set.get() : nullptr; }
long serset_no() {
  Serset* s = serset_cur();
  return s ? s->n : -1;
}
int serset_k() {
  Serset* s = serset_cur();
  return s ? s->k : 0;
}

unsigned char* serset_rec(long i, bool write) {
  Serset* s = serset_cur();
  if (!s || i < 0 || i >= s->n || !s->lrec) return nullptr;
  if (i < s->wfirst || i >= s->wfirst + s->wcount) {
    if (!flushwindow(*s)) return nullptr;
    long cap = SS_WINDOW / s->lrec;
    long cnt = std::min(cap, s->n - i);
    size_t len = static_cast<size_t>(cnt * s->lrec);
    if (std::fseek(s->fp, SS_HEADER + i * s->lrec, SEEK_SET) ||
        std::fread(s->win.data(), 1, len, s->fp) != len) {
      s->wcount = 0;
      return nullptr;
    }
    s->wfirst = i;
    s->wcount = cnt;
  }
  if (write) s->wdirty = true;
  return s->win.data() + (i - s->wfirst) * s->lrec;
}

int serset_append(const unsigned char* rec) {
  Serset* s = serset_cur();
  if (!s || s->lrec <= 0) return RC_WRITE;  // a set without variables holds no records
  long cap = SS_WINDOW / s->lrec;
  bool tail = s->wfirst + s->wcount == s->n;
  if (!tail || s->wcount == cap) {
    if (!flushwindow(*s)) return RC_WRITE;
    s->wfirst = s->n;
    s->wcount = 0;
  }
  std::memcpy(s->win.data() + s->wcount * s->lrec, rec, static_cast<size_t>(s->lrec));
  ++s->wcount;
  ++s->n;
  s->wdirty = true;
  s->changed = true;
  return 0;
}

double serset_data(int j, long i) {
  Serset* s = serset_cur();
  if (!s || j < 0 || j >= s->k || i < 0 || i >= s->n) return misval;
  if (isstrtype(s->types[j])) return misval;
  const unsigned char* r = serset_rec(i, false);
  return r ? ss_decode(s->types[j], r + s->offs[j]) : misval;
}

void serset_sdata(int j, long i, std::string& out) {
  out.clear();
  Serset* s = serset_cur();
  if (!s || j < 0 || j >= s->k || i < 0 || i >= s->n || !isstrtype(s->types[j])) return;
  const unsigned char* r = serset_rec(i, false);
  if (!r) return;
  const char* p = reinterpret_cast<const char*>(r + s->offs[j]);
  out.assign(p, strnlen(p, static_cast<size_t>(s->types[j])));
}

int serset_borrow() { return sst.cur; }
void serset_return(int saved) {
  if (saved != sst.cur) {
    if (saved < 0) closecur();
    else (void)serset_set(saved);
  }
}

void serset_drop(int id) {
  if (id < 0 || id >= SS_MAXSETS || !sst.dir[id].seq) return;
  freeentry(id);
}

void serset_clearall() {
  for (int i = 0; i < SS_MAXSETS; ++i)
    if (sst.dir[i].seq) freeentry(i);
  sst.cur = -1;
}
