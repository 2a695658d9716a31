// The dataset store: storage types and their missing codes, conversion of
// doubles into cells and back, the memory arena with the observation map
// reserved for `mapj`, its repartition between record width and
// observations, and the creation, retyping, reordering and removal of
// variables and observations. All state lives in `ds`.
#include "data/store.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include <sys/mman.h>
#include <unistd.h>

#include <system_error>
#include <thread>

#include "data/arena.h"
#include "data/chars.h"
#include "data/datahost.h"
#include "data/permute.h"
#include "data/varlist.h"
#include "output/errors.h"
#include "output/outhost.h"
#include "output/output.h"
#include "platform/platform.h"
#include "platform/zassert.h"

DataState ds;
DataHost datahost;
// The memory messages of the output layer ask for the variable limit through this.
[[maybe_unused]] static const bool outhost_store_set = (outhost.maxvar = [] { return ds.maxmaxvar; }, true);
ArenaState dsarena;

namespace {

constexpr long ARENA_SLACK = 16;  // between the map and the data area
constexpr long DEFWIDTH = 200;    // width of a new arena
constexpr size_t HUGEPAGE = size_t{2} << 20;
// Observation numbers of a permutation keep their top bit free (cyclecol),
// and the scratch row after the last observation needs a cell.
constexpr long OBSLIMIT = 2147483646L;
// A growing arena reserves this much address space, or half as much again
// and again where the system refuses, down to the smallest.
constexpr uint64_t VBYTES_MAX = uint64_t{1} << 44, VBYTES_MIN = uint64_t{1} << 30;
// From this many observations on, a growing arena asks for huge pages.
constexpr long HUGEOBS = 1L << 18;

long align16(long n) { return (n + 15) & ~15L; }
long even_up(long n) { return (n + 1) & ~1L; }

// Offset of the data area for a map of n observations.
long dataoff_for(long n) { return align16(4 * n + ARENA_SLACK); }

size_t widthof(int v) { return static_cast<size_t>(typewidth(vartype(v))); }

// Cells reserved per column for a capacity of n observations: n rounded up
// to a multiple of 8, so that every column starts 8-aligned.
long colcells_for(long n) { return (n + 7) & ~7L; }

// Cells of a column that carry data: the observations and the scratch row.
long usedcells() { return std::min(ds.nobs + 1, ds.maxobs); }

// The machine's memory in bytes: the limit of a growing data area.
uint64_t machinebytes() {
  static const uint64_t bytes = [] {
    const long pages = ::sysconf(_SC_PHYS_PAGES), size = ::sysconf(_SC_PAGESIZE);
    return pages > 0 && size > 0 ? static_cast<uint64_t>(pages) * static_cast<uint64_t>(size) : uint64_t{1} << 32;
  }();
  return bytes;
}

// The bytes the layout is computed for: the fixed size, or the growing
// arena's reservation (the largest until one is made).
uint64_t layoutbytes() {
  if (dsarena.memoryset) return ds.memorysize;
  return dsarena.vbytes ? dsarena.vbytes : VBYTES_MAX;
}

// The record width of a new arena: a fixed one starts narrow and trades
// width for length as the data grow; a growing one has room for the widest
// record at once, so that adding a variable never moves the data.
long startwidth() { return dsarena.memoryset ? DEFWIDTH : std::max(DEFWIDTH, ds.maxlrecl & ~1L); }

// Releases a block made by relayout (a mapping unless the size is fixed).
void arenafree(unsigned char* p, size_t size) {
  if (!p) return;
  if (!dsarena.memoryset) (void)::munmap(p, size);
  else std::free(p);
  if (dsarena.hinted == p) dsarena.hinted = nullptr;
}

// Memory of cleared data kept for the next dataset: a do-file that reads a
// file, drops it and reads the next one finds its pages already there
// instead of having the system supply (and zero) them again. Beyond this
// much the pages go back to the system at once.
size_t keepbytes() { return static_cast<size_t>(machinebytes() / 4); }

// Bytes of a growing arena that the cells of dataset s have touched.
size_t touchedbytes(const DataState& s) {
  const size_t cells = static_cast<size_t>(std::min(s.nobs + 1, s.maxobs) + 1);
  return cells * (4 + static_cast<size_t>(s.lrecl));
}

// One arena given up by ds_aside_commit or ds_aside_undo, kept with its
// pages for the next arena of the same size (reading one dataset in place
// of another then reuses the memory of the one before).
struct Spare {
  unsigned char* p = nullptr;
  size_t size = 0;
};
Spare spare;

void dropspare() {
  arenafree(spare.p, spare.size);
  spare = Spare{};
}

// The spare when it has `total` bytes (taken), else nullptr (and a spare of
// another size is freed).
unsigned char* takespare(size_t total) {
  unsigned char* p = spare.p;
  if (p && spare.size == total) {
    spare = Spare{};
    return p;
  }
  dropspare();
  return nullptr;
}

// Gives up the arena of dataset s: kept as the spare when its touched pages
// fit the bound, freed otherwise.
void parkarena(const DataState& s) {
  if (!s.arena || touchedbytes(s) > keepbytes()) return arenafree(s.arena, s.arenasize);
  dropspare();
  spare.p = s.arena;
  spare.size = s.arenasize;
}

// Gives the pages wholly inside [from, to) of a growing arena back to the
// system; they read as zeros when touched again.
void releasepages(unsigned char* from, unsigned char* to) {
  if (dsarena.memoryset || !ds.arena || to <= from) return;
  const uintptr_t pg = static_cast<uintptr_t>(::sysconf(_SC_PAGESIZE));
  const uintptr_t a = (reinterpret_cast<uintptr_t>(from) + pg - 1) & ~(pg - 1);
  const uintptr_t b = reinterpret_cast<uintptr_t>(to) & ~(pg - 1);
  if (b > a) (void)::madvise(reinterpret_cast<void*>(a), b - a, MADV_DONTNEED);
}

// A growing arena holding many observations asks for huge pages, so that
// filling fresh memory costs few page faults (small data stay on small
// pages, which a few short columns spread far apart would waste).
void hugehint(long nobs) {
  if (dsarena.memoryset || !ds.arena || dsarena.hinted == ds.arena || nobs < HUGEOBS) return;
  (void)::madvise(ds.arena, ds.arenasize, MADV_HUGEPAGE);
  dsarena.hinted = ds.arena;
}

// Copies the cell at tmpl into cells from..to (1-based) of a column.
void fillcells(unsigned char* col, size_t w, const unsigned char* tmpl, long from, long to) {
  unsigned char* p = col + static_cast<size_t>(from - 1) * w;
  const size_t n = static_cast<size_t>(to - from + 1);
  if (w == 1) return void(std::memset(p, *tmpl, n));
  if (w == 8) {
    uint64_t c;
    std::memcpy(&c, tmpl, 8);
    for (size_t i = 0; i < n; ++i) std::memcpy(p + i * 8, &c, 8);
    return;
  }
  if (w == 4) {
    uint32_t c;
    std::memcpy(&c, tmpl, 4);
    for (size_t i = 0; i < n; ++i) std::memcpy(p + i * 4, &c, 4);
    return;
  }
  for (size_t i = 0; i < n; ++i) std::memcpy(p + i * w, tmpl, w);
}

// Observation counts changed: the sortpreserve records no longer apply.
void dropordermarks() {
  for (auto& m : ds.ordermarks) m.clear();
}

// Test hook for scratch and arena allocations: true when this one must fail.
bool hookfails() {
  if (ds.failalloc > 0 && --ds.failalloc == 0) {
    ds.failalloc = 1;  // and every later one, until the hook is cleared
    return true;
  }
  return false;
}

// Writes the missing value (or empty string, or 0 for "(e)") of variable v
// into observation obs.
void blankcell(int v, long obs) {
  int t = vartype(v);
  unsigned char* p = dtaptr(v, obs);
  if (isstrtype(t)) {
    std::memset(p, 0, static_cast<size_t>(t));
  } else if (ds.varlist[static_cast<size_t>(v)] == "(e)") {
    std::memset(p, 0, static_cast<size_t>(typewidth(t)));
  } else {
    store(v, obs, misval);
  }
}

void set_limits() {
  ds.maxlrecl = 12L * ds.maxmaxvar;
  ds.maxvar = static_cast<int>(std::min<long>(ds.maxmaxvar, ds.syslrecl));
}

// Bytes of the block holding an arena of `bytes`: the arena plus the
// columns' rounding (at most 7 cells each, so 7 x width bytes at any width),
// in whole huge pages.
size_t arenabytes(uint64_t bytes) {
  const size_t total = static_cast<size_t>(((bytes + 15) / 16) * 16) + static_cast<size_t>(8 * ds.maxlrecl);
  return (total + HUGEPAGE - 1) & ~(HUGEPAGE - 1);
}

// A block for the arena; large ones on huge pages where the system offers
// them, so that filling fresh memory costs few page faults. nullptr when
// refused.
unsigned char* arenaalloc(size_t total) {
  void* p = std::aligned_alloc(HUGEPAGE, total);
  if (p && total >= 4 * HUGEPAGE) (void)madvise(p, total, MADV_HUGEPAGE);
  return static_cast<unsigned char*>(p);
}

// The arena's accounting, checked where asserts are live after each change
// of the layout or of the set of variables: every table has a slot per
// variable, the columns tile the record without overlap, the record fits the
// width, the observations (and the scratch row) the capacity, and the
// columns the block.
void checkarena() {
  if constexpr (ZASSERT_ON) {
    // (before the first variable, the tables may not be made yet)
    const size_t slots = ds.nvar == 0 && ds.varlist.empty() ? 0 : static_cast<size_t>(ds.nvar) + 1;
    ZASSERT(ds.varlist.size() == slots && ds.typlist.size() == slots && ds.fmtlist.size() == slots &&
                ds.lbllist.size() == slots && ds.varlabels.size() == slots && ds.mapi.size() == slots,
            "variable tables out of step with nvar");
    long sum = 0;
    for (int v = 1; v <= ds.nvar; ++v) {
      const long w = typewidth(vartype(v)), at = ds.mapi[static_cast<size_t>(v)];
      ZASSERT(w >= 1 && at >= 0 && at + w <= ds.lrecl, "column outside the record");
      sum += w;
    }
    ZASSERT(sum == ds.lrecl, "record width is not the sum of the columns' widths");
    ZASSERT(ds.lrecl <= ds.syslrecl, "record wider than the layout");
    ZASSERT(ds.nobs >= 0 && (ds.nobs < ds.maxobs || (ds.nobs == 0 && ds.nvar == 0)),
            "no room for the observations and the scratch row");
    ZASSERT(ds.colcells >= ds.maxobs && ds.colcells % 8 == 0, "column length");
    if (ds.arena) {
      ZASSERT(ds.dataoff == dataoff_for(ds.maxobs) && ds.xtraptr == ds.arena + ds.dataoff &&
                  ds.mapj == reinterpret_cast<uint32_t*>(ds.arena),
              "arena layout");
      ZASSERT(static_cast<size_t>(ds.dataoff) + static_cast<size_t>(ds.colcells) * static_cast<size_t>(ds.syslrecl) <=
                  ds.arenasize,
              "columns beyond the arena's block");
    }
  }
}

// Moves the columns, inside the arena they are in, to a capacity of n
// observations (cc cells per column). Every column moves the same way
// (towards the start when the capacity shrinks, as when a variable widens
// the records), so moving them in order of position, nearest the way they
// move first, never overwrites a column not yet moved. This needs neither a
// second arena nor fresh pages. False (nothing moved) when the columns
// would move in both directions.
bool relayout_inplace(long n, long cc) {
  const long off = dataoff_for(n);
  const long dmap = off - ds.dataoff, dcol = cc - ds.colcells;
  if ((dmap < 0 && dcol > 0) || (dmap > 0 && dcol < 0)) return false;
  const bool down = dmap < 0 || dcol < 0;
  std::vector<int> order(static_cast<size_t>(ds.nvar));
  for (int v = 1; v <= ds.nvar; ++v) order[static_cast<size_t>(v - 1)] = v;
  std::sort(order.begin(), order.end(), [down](int a, int b) {
    const int pa = ds.mapi[static_cast<size_t>(a)], pb = ds.mapi[static_cast<size_t>(b)];
    return down ? pa < pb : pa > pb;
  });
  const long cells = std::min(usedcells(), n);
  unsigned char* nx = ds.arena + off;
  for (int v : order)
    std::memmove(nx + static_cast<size_t>(cc) * static_cast<size_t>(ds.mapi[static_cast<size_t>(v)]), colbase(v),
                 static_cast<size_t>(cells) * widthof(v));
  ds.mapj = reinterpret_cast<uint32_t*>(ds.arena);
  ds.dataoff = off;
  ds.xtraptr = nx;
  ds.maxobs = n;
  ds.colcells = cc;
  return true;
}

// Moves the columns into a fresh arena of `bytes` laid out for `width`,
// each column `colcells` cells long. 0 or 909, and then nothing has changed.
// The block is `bytes` plus room for the columns' rounding (at most 7 cells
// each, so 7 x width bytes); its pages are touched only as cells are written.
// A growing arena is a reservation of address space: the bytes asked for,
// or fewer where the system refuses (bytes is lowered to what was given).
unsigned char* mapalloc(uint64_t& bytes, size_t& total) {
  total = arenabytes(bytes);
  if (unsigned char* p = takespare(total)) return p;
  for (;;) {
    total = arenabytes(bytes);
    void* p = ::mmap(nullptr, total, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (p != MAP_FAILED) return static_cast<unsigned char*>(p);
    if (bytes / 2 < VBYTES_MIN) return nullptr;
    bytes /= 2;
  }
}

int relayout(long width, uint64_t bytes) {
  const bool grow = !dsarena.memoryset;
  long n = maxobs_for(width, bytes), cc = colcells_for(n);
  if (hookfails()) return RC_NOMEM;
  size_t total = arenabytes(bytes);
  const bool moves = ds.nvar > 0 && ds.nobs > 0;
  auto setbytes = [&] {
    if (grow) dsarena.vbytes = bytes;
    else ds.memorysize = bytes;
  };
  if (ds.arena && ds.nvar > 0 && ds.arenasize == total && relayout_inplace(n, cc)) {
    ds.syslrecl = width;
    setbytes();
    set_limits();
    if (moves) ++dsarena.ncopies;
    checkarena();
    return 0;
  }
  unsigned char* na;
  if (ds.arena && ds.nvar == 0 && ds.arenasize == total) {
    na = ds.arena;  // nothing to move: the block (and its mapped pages) is reused
  } else if (grow) {
    na = mapalloc(bytes, total);
    if (!na) return RC_NOMEM;
    n = maxobs_for(width, bytes), cc = colcells_for(n);
  } else {
    na = takespare(total);
    if (!na) na = arenaalloc(total);
    if (!na) return RC_NOMEM;
  }
  long off = dataoff_for(n);
  unsigned char* nx = na + off;
  if (ds.arena && na != ds.arena) {
    const long cells = std::min(usedcells(), n);
    for (int v = 1; v <= ds.nvar; ++v) {
      unsigned char* dst = nx + static_cast<size_t>(cc) * static_cast<size_t>(ds.mapi[static_cast<size_t>(v)]);
      std::memcpy(dst, colbase(v), static_cast<size_t>(cells) * widthof(v));
    }
    if (moves) ++dsarena.ncopies;
    arenafree(ds.arena, ds.arenasize);
  }
  ds.arena = na;
  ds.arenasize = total;
  ds.mapj = reinterpret_cast<uint32_t*>(na);
  ds.dataoff = off;
  ds.xtraptr = nx;
  ds.syslrecl = width;
  ds.maxobs = n;
  ds.colcells = cc;
  setbytes();
  set_limits();
  hugehint(ds.nobs);
  checkarena();
  return 0;
}

// Largest even width not above maxlrecl at which `target` observations fit;
// 0 when even the narrowest does not.
long widest_for_obs(long target, long minwidth) {
  long lo = std::max(2L, even_up(minwidth)), hi = ds.maxlrecl & ~1L;
  const uint64_t bytes = layoutbytes();
  if (lo > hi || maxobs_for(lo, bytes) < target) return 0;
  while (lo < hi) {  // invariant: lo fits
    long mid = ((lo + hi) / 2 + 1) & ~1L;
    if (mid > hi) mid = hi;
    if (mid == lo) break;
    if (maxobs_for(mid, bytes) >= target) lo = mid; else hi = mid - 2;
  }
  return lo;
}

// Appends one variable's table entries.
void pushvar(const char* name, int type) {
  ds.varlist.emplace_back(name);
  ds.typlist.push_back(static_cast<unsigned char>(type));
  ds.fmtlist.emplace_back(deffmt_of(type));
  ds.lbllist.emplace_back();
  ds.varlabels.emplace_back();
  ds.mapi.push_back(static_cast<int>(ds.lrecl));
  ds.lrecl += typewidth(type);
  ++ds.nvar;
  ZASSERT(ds.lrecl <= ds.syslrecl, "variable added beyond the record width");
}

const char* const reserved_names[] = {"with", "using", "if", "in", "_pred", "_b", "_n", "_N",
                                      "float", "double", "int", "long", "_uniform", "_coef",
                                      "_rc", "_pi", "byte", "_cons"};

}  // namespace

// ---------------------------------------------------------------------------
// Cells.

void store(int var, long obs, double x) { cell_put(vartype(var), dtaptr(var, obs), x); }


void szelta_data(int var, long obs, std::string& dst) {
  int t = vartype(var);
  dst.clear();
  if (!isstrtype(t)) return;
  const char* p = reinterpret_cast<const char*>(dtaptr(var, obs));
  dst.assign(p, strnlen(p, static_cast<size_t>(t)));
}

void sstore(int var, long obs, const char* bytes) {
  int t = vartype(var);
  if (!isstrtype(t)) return;
  std::memcpy(dtaptr(var, obs), bytes, static_cast<size_t>(t));
}

void safe_sstore(int var, long obs, const char* bytes) {
  int t = vartype(var);
  if (!isstrtype(t)) return;
  size_t n = std::min(std::strlen(bytes) + 1, static_cast<size_t>(t));
  std::memcpy(dtaptr(var, obs), bytes, n);
}

// The raw accessors are for byte (markers) and integer cells only.
static constexpr bool isinttype(int t) {
  return t == ST_BYTE || t == ST_INT || t == ST_LONG || t == ST_LBYTE || t == ST_LINT || t == ST_LLONG;
}
void bstore(int var, long obs, int value) {
  ZASSERT(typewidth(vartype(var)) == 1, "byte store into a wider cell");
  *dtaptr(var, obs) = static_cast<unsigned char>(value);
}
int bdata(int var, long obs) {
  ZASSERT(typewidth(vartype(var)) == 1, "byte read of a wider cell");
  return static_cast<signed char>(*dtaptr(var, obs));
}
void istore(int var, long obs, long value) {
  ZASSERT(isinttype(vartype(var)), "integer store into a cell of another type");
  unsigned char* p = dtaptr(var, obs);
  switch (typewidth(vartype(var))) {
    case 1: *p = static_cast<unsigned char>(value); break;
    case 2: { int16_t v = static_cast<int16_t>(value); std::memcpy(p, &v, 2); break; }
    default: { int32_t v = static_cast<int32_t>(value); std::memcpy(p, &v, 4); break; }
  }
}
long idata(int var, long obs) {
  ZASSERT(isinttype(vartype(var)), "integer read of a cell of another type");
  const unsigned char* p = dtaptr(var, obs);
  switch (typewidth(vartype(var))) {
    case 1: return static_cast<signed char>(*p);
    case 2: { int16_t v; std::memcpy(&v, p, 2); return v; }
    default: { int32_t v; std::memcpy(&v, p, 4); return v; }
  }
}

void getdtaobs(unsigned char* buf, long obs, long len) {
  size_t want = static_cast<size_t>(len > 0 ? len : ds.syslrecl), at = 0;
  for (int v = 1; v <= ds.nvar && at < want; ++v) {
    size_t k = std::min(widthof(v), want - at);
    std::memcpy(buf + at, dtaptr(v, obs), k);
    at += k;
  }
  if (at < want) std::memset(buf + at, 0, want - at);
}
void putdtaobs(const unsigned char* buf, long obs, long len) {
  size_t want = static_cast<size_t>(len > 0 ? len : ds.syslrecl), at = 0;
  for (int v = 1; v <= ds.nvar && at < want; ++v) {
    size_t k = std::min(widthof(v), want - at);
    std::memcpy(dtaptr(v, obs), buf + at, k);
    at += k;
  }
}

// ---------------------------------------------------------------------------
// Column views and bulk conversion.

// clang gives an exported function with target_clones no plain symbol for
// other files to link against (the fuzz build uses clang): one version there.
#if defined(__clang__)
#define COL_CLONES
#else
#define COL_CLONES __attribute__((target_clones("avx2", "default")))
#endif

COL_CLONES
void col_decode(const ColView& c, long obs, long n, double* dst) {
  const unsigned char* const p = c.at(obs);
  switch (c.type) {
    case ST_DOUBLE:
      std::memcpy(dst, p, static_cast<size_t>(n) * 8);
      return;
    case ST_FLOAT:
      for (long i = 0; i < n; ++i) {
        float f;
        std::memcpy(&f, p + i * 4, 4);
        dst[i] = cell_float(f);
      }
      return;
    case ST_LONG:
      for (long i = 0; i < n; ++i) dst[i] = cell_get(ST_LONG, p + i * 4);
      return;
    case ST_INT:
      for (long i = 0; i < n; ++i) dst[i] = cell_get(ST_INT, p + i * 2);
      return;
    case ST_BYTE:
      for (long i = 0; i < n; ++i) dst[i] = cell_get(ST_BYTE, p + i);
      return;
    default:
      for (long i = 0; i < n; ++i) dst[i] = cell_get(c.type, p + i * c.stride);
      return;
  }
}

COL_CLONES
void col_encode(const ColView& c, long obs, long n, const double* in) {
  unsigned char* const p = c.at(obs);
  switch (c.type) {
    case ST_DOUBLE:
      std::memcpy(p, in, static_cast<size_t>(n) * 8);
      return;
    case ST_FLOAT:
      for (long i = 0; i < n; ++i) {
        double d = in[i];
        if (std::fabs(d) < 0x1p127 && (std::fabs(d) >= 0x1p-127 || d == 0)) {
          // The ordinary float, rounded to nearest as cell_put does.
          float f = static_cast<float>(d);
          std::memcpy(p + i * 4, &f, 4);
        } else {
          cell_put(ST_FLOAT, p + i * 4, d);
        }
      }
      return;
    case ST_LONG:
      // In range, the cell is the value truncated (store's rule); anything
      // else (missing, too large, NaN) goes through cell_put.
      for (long i = 0; i < n; ++i) {
        const double d = in[i];
        if (d > -2147483648.0 && d < 2147483621.0) {
          const int32_t v = static_cast<int32_t>(d);
          std::memcpy(p + i * 4, &v, 4);
        } else {
          cell_put(ST_LONG, p + i * 4, d);
        }
      }
      return;
    case ST_INT:
      for (long i = 0; i < n; ++i) {
        const double d = in[i];
        if (d > -32768.0 && d < 32741.0) {
          const int16_t v = static_cast<int16_t>(d);
          std::memcpy(p + i * 2, &v, 2);
        } else {
          cell_put(ST_INT, p + i * 2, d);
        }
      }
      return;
    case ST_BYTE:
      for (long i = 0; i < n; ++i) {
        const double d = in[i];
        if (d > -128.0 && d < 101.0) p[i] = static_cast<unsigned char>(static_cast<int8_t>(d));
        else cell_put(ST_BYTE, p + i, d);
      }
      return;
    default:
      for (long i = 0; i < n; ++i) cell_put(c.type, p + i * c.stride, in[i]);
      return;
  }
}

// ---------------------------------------------------------------------------
// Applying a permutation of the observations to the columns.

namespace {

// Ranges at least this long are gathered by two threads, each filling half
// of the scratch (the reads are random: two cores keep twice as many in flight).
constexpr long PARGATHER = 1L << 20;

// Map entries this far ahead are prefetched while gathering: the reads are
// random, and the processor keeps many of them in flight only when told.
constexpr long PREFETCH = 24;

// Gathers positions a..b of the range lo.. of a column of width W into tmp.
template <size_t W>
void gatherpart(const unsigned char* col, long lo, long a, long b, unsigned char* tmp) {
  const uint32_t* const map = ds.mapj;
  long i = a;
  for (; i + PREFETCH <= b; ++i) {
    __builtin_prefetch(col + static_cast<size_t>(map[i + PREFETCH]) * W);
    std::memcpy(tmp + static_cast<size_t>(i - lo) * W, col + static_cast<size_t>(map[i]) * W, W);
  }
  for (; i <= b; ++i) std::memcpy(tmp + static_cast<size_t>(i - lo) * W, col + static_cast<size_t>(map[i]) * W, W);
}

// Runs part(a, b) over lo..hi, split between two threads when the range is long.
template <class F>
void halves(long lo, long hi, F part) {
  if (hi - lo + 1 >= PARGATHER && !plat_onethread()) {
    const long mid = lo + (hi - lo) / 2;
    try {
      std::thread t([=] { part(mid + 1, hi); });
      part(lo, mid);
      t.join();
      return;
    } catch (const std::system_error&) {  // no second thread: one does it all
    }
  }
  part(lo, hi);
}

// Gathers positions lo..hi of a column of width W in the order of the map
// (mapj[i] is the 0-based slot whose cell goes to i), via tmp.
template <size_t W>
void gatherfixed(unsigned char* col, long lo, long hi, unsigned char* tmp) {
  halves(lo, hi, [=](long a, long b) { gatherpart<W>(col, lo, a, b, tmp); });
  std::memcpy(col + static_cast<size_t>(lo - 1) * W, tmp, static_cast<size_t>(hi - lo + 1) * W);
}

// The same for bytes off..off+k-1 of each cell of a column w bytes wide (a
// slice of a wide cell, when the scratch holds fewer than w bytes a cell).
void gatherslice(unsigned char* col, size_t w, size_t off, size_t k, long lo, long hi, unsigned char* tmp) {
  halves(lo, hi, [=](long a, long b) {
    const uint32_t* const map = ds.mapj;
    for (long i = a; i <= b; ++i)
      std::memcpy(tmp + static_cast<size_t>(i - lo) * k, col + static_cast<size_t>(map[i]) * w + off, k);
  });
  for (long i = lo; i <= hi; ++i)
    std::memcpy(col + static_cast<size_t>(i - 1) * w + off, tmp + static_cast<size_t>(i - lo) * k, k);
}

// Without scratch memory: follows the permutation's cycles, marking visited
// map entries in their top bit (observation numbers stay below 2^31).
void cyclecol(unsigned char* col, size_t w, long lo, long hi) {
  constexpr uint32_t SEEN = 0x80000000u;
  unsigned char hold[256];
  auto slot = [&](long k) { return col + static_cast<size_t>(k) * w; };
  for (long s = lo; s <= hi; ++s) {
    if ((ds.mapj[s] & SEEN) || ds.mapj[s] == static_cast<uint32_t>(s - 1)) continue;
    std::memcpy(hold, slot(s - 1), w);
    long j = s;
    for (;;) {
      long k = ds.mapj[j];
      ds.mapj[j] |= SEEN;
      if (k == s - 1) {
        std::memcpy(slot(j - 1), hold, w);
        break;
      }
      std::memcpy(slot(j - 1), slot(k), w);
      j = k + 1;
    }
  }
  for (long i = lo; i <= hi; ++i) ds.mapj[i] &= ~SEEN;
}

}  // namespace

namespace {

// Long ranges are moved by destination blocks instead of gathered: each
// column is read in order and its cells dealt into the blocks of 2^16
// destinations they go to (with their place inside the block), then each
// block, small enough to stay in the processor's cache, is written. Every
// access but the last, cache-local one is sequential.
constexpr long BLOCKMIN = 1L << 20;
constexpr int BLOCKBITS = 16;

// Runs f(b, e) on the halves of [0, n), the second on a helper thread when
// n is large (this thread does both when the system refuses one).
template <class F>
void twohalves(size_t n, F f) {
  if (n < static_cast<size_t>(BLOCKMIN) || plat_onethread()) {
    f(0, n / 2), f(n / 2, n);
    return;
  }
  try {
    std::thread t([&] { f(n / 2, n); });
    f(0, n / 2);
    t.join();
  } catch (const std::system_error&) {
    f(0, n / 2), f(n / 2, n);
  }
}

// The moves of a range of `span` positions: the destination block of each
// source position, and in the order the cells are dealt (each half's
// sources in order, grouped by block: start[t * nb + b] is where half t's
// cells of block b begin) the place of each inside its block.
struct Blocks {
  const uint16_t* blk;
  const uint16_t* offs;
  size_t span, half, nb;
  std::vector<size_t> start;
};

// The moves of the order `from` (observation numbers lo.. of each
// destination), laid out in scratch of at least 12 bytes a position: the
// destinations of the sources (4 bytes each) go at its end, from which the
// places (2 bytes) and the blocks (2 bytes) are made at its front; the rest
// holds the cells. `from` is read before scratch is written, so it may lie
// in the scratch's first third.
Blocks makeblocks(const uint32_t* from, long lo, size_t span, unsigned char* scratch, size_t bytes) {
  Blocks bk{nullptr, nullptr, span, span / 2, (span + (size_t{1} << BLOCKBITS) - 1) >> BLOCKBITS, {}};
  uint32_t* const to = reinterpret_cast<uint32_t*>(scratch + (bytes - 4 * span) / 4 * 4);
  // (the two halves write different places: it is a permutation)
  twohalves(span, [&](size_t b, size_t e) {
    for (size_t q = b; q < e; ++q) to[from[q] - static_cast<uint32_t>(lo)] = static_cast<uint32_t>(q);
  });
  std::vector<size_t> cnt(2 * bk.nb, 0);
  twohalves(span, [&](size_t b, size_t e) {
    size_t* const c = cnt.data() + (b ? bk.nb : 0);
    for (size_t p = b; p < e; ++p) ++c[to[p] >> BLOCKBITS];
  });
  bk.start.resize(2 * bk.nb);
  size_t sum = 0;
  for (size_t b = 0; b < bk.nb; ++b)
    for (size_t t = 0; t < 2; ++t) bk.start[t * bk.nb + b] = sum, sum += cnt[t * bk.nb + b];
  uint16_t* const blk = reinterpret_cast<uint16_t*>(scratch);
  uint16_t* const offs = blk + span;
  twohalves(span, [&](size_t b, size_t e) {
    const size_t t = b ? 1 : 0;
    std::vector<size_t> pos(bk.start.begin() + static_cast<long>(t * bk.nb),
                            bk.start.begin() + static_cast<long>((t + 1) * bk.nb));
    for (size_t p = b; p < e; ++p) offs[pos[to[p] >> BLOCKBITS]++] = static_cast<uint16_t>(to[p]);
  });
  twohalves(span, [&](size_t b, size_t e) {
    for (size_t p = b; p < e; ++p) blk[p] = static_cast<uint16_t>(to[p] >> BLOCKBITS);
  });
  bk.blk = blk, bk.offs = offs;
  return bk;
}

// Bytes off..off+K-1 of the cells (w wide) of the range starting at col go
// to their destinations, through vals (K bytes a cell).
template <size_t K>
void moveblocks(const Blocks& bk, unsigned char* col, size_t w, size_t off, unsigned char* vals) {
  // (the stores through byte pointers could alias anything the loops
  // read through references, so what they read is held in locals)
  auto deal = [&bk, col, w, off, vals](size_t t) {
    std::vector<size_t> posv(bk.start.begin() + static_cast<long>(t * bk.nb),
                             bk.start.begin() + static_cast<long>((t + 1) * bk.nb));
    size_t* const pos = posv.data();
    const uint16_t* const blk = bk.blk;
    const unsigned char* const src = col + off;
    const size_t a = t ? bk.half : 0, e = t ? bk.span : bk.half;
    for (size_t p = a; p < e; ++p) std::memcpy(vals + pos[blk[p]]++ * K, src + p * w, K);
  };
  auto place = [&bk, col, w, off, vals](size_t b0, size_t b1) {
    const uint16_t* const offs = bk.offs;
    for (size_t b = b0; b < b1; ++b) {
      const size_t k0 = bk.start[b], k1 = b + 1 < bk.nb ? bk.start[b + 1] : bk.span;
      unsigned char* const dst = col + ((b << BLOCKBITS) * w) + off;
      for (size_t k = k0; k < k1; ++k) std::memcpy(dst + offs[k] * w, vals + k * K, K);
    }
  };
  if (plat_onethread()) {
    deal(0), deal(1), place(0, bk.nb);
    return;
  }
  try {
    std::thread t([&] { deal(1); });
    deal(0);
    t.join();
    std::thread u([&] { place(bk.nb / 2, bk.nb); });
    place(0, bk.nb / 2);
    u.join();
  } catch (const std::system_error&) {  // no second thread: one does it all
    deal(0), deal(1), place(0, bk.nb);
  }
}

// Moves the columns of lo.. (all but `done`) into the order `from` through scratch of at
// least 12 bytes a position, 8 bytes of each cell at a time.
void permuteblocks(long lo, const uint32_t* from, size_t span, unsigned char* scratch, size_t bytes, int done) {
  const Blocks bk = makeblocks(from, lo, span, scratch, bytes);
  unsigned char* const vals = scratch + 4 * span;
  for (int v = 1; v <= ds.nvar; ++v) {
    if (v == done) continue;
    unsigned char* col = colbase(v) + static_cast<size_t>(lo - 1) * widthof(v);
    const size_t w = widthof(v);
    for (size_t off = 0; off < w;) {
      const size_t left = w - off;
      const size_t len = left >= 8 ? 8 : left >= 4 ? 4 : left >= 2 ? 2 : 1;
      switch (len) {
        case 8: moveblocks<8>(bk, col, w, off, vals); break;
        case 4: moveblocks<4>(bk, col, w, off, vals); break;
        case 2: moveblocks<2>(bk, col, w, off, vals); break;
        default: moveblocks<1>(bk, col, w, off, vals); break;
      }
      off += len;
    }
  }
}

}  // namespace

void ds_permute(long lo, const uint32_t* from, long n) { ds_permute_lent(lo, from, n, nullptr, 0); }

void ds_permute_lent(long lo, const uint32_t* from, long n, unsigned char* scratch, size_t scratchbytes, int done) {
  if (!ds.arena || n <= 0) return;
  // The untouched ends of the range are left out.
  long hi = lo + n - 1;
  while (lo <= hi && from[0] == static_cast<uint32_t>(lo)) ++lo, ++from;
  while (hi >= lo && from[hi - lo] == static_cast<uint32_t>(hi)) --hi;
  if (lo > hi) return;
  ZASSERT(lo >= 1 && hi <= ds.nobs, "permutation outside the observations");
  const size_t span = static_cast<size_t>(hi - lo + 1);
  for (size_t q = 0; ZASSERT_ON && q < span; ++q)
    ZASSERT(from[q] >= static_cast<uint32_t>(lo) && from[q] <= static_cast<uint32_t>(hi),
            "permutation entry outside its range");
  for (auto& m : ds.ordermarks) {
    if (m.size() != static_cast<size_t>(ds.nobs)) continue;
    // m is indexed by slot; the entries of lo..hi move with their cells.
    std::vector<uint32_t> part(m.begin() + (lo - 1), m.begin() + hi);
    for (size_t q = 0; q < span; ++q) m[static_cast<size_t>(lo - 1) + q] = part[from[q] - static_cast<uint32_t>(lo)];
  }
  // Long ranges go by destination blocks when the scratch has the room and
  // `from` lies clear of the part written first (the last third).
  const bool clear = reinterpret_cast<const unsigned char*>(from + span) <= scratch + scratchbytes / 3 ||
                     reinterpret_cast<const unsigned char*>(from) >= scratch + scratchbytes;
  if (span >= static_cast<size_t>(BLOCKMIN) && scratch && scratchbytes / span >= 12 && clear) {
    permuteblocks(lo, from, span, scratch, scratchbytes, done);
    return;
  }
  // Otherwise the order goes into the map's own room in the arena.
  for (size_t q = 0; q < span; ++q) ds.mapj[static_cast<size_t>(lo) + q] = from[q] - 1;
  // Cells are gathered into scratch a column at a time; wide cells a slice
  // at a time when the lent scratch holds less than a whole cell each.
  size_t maxw = 1;
  for (int v = 1; v <= ds.nvar; ++v) maxw = std::max(maxw, widthof(v));
  size_t slice = maxw;
  unsigned char* tmp = nullptr;
  bool own = false;
  if (scratch && scratchbytes / span >= 1) {
    tmp = scratch;
    slice = std::min(maxw, scratchbytes / span);
  } else if (!hookfails()) {
    tmp = static_cast<unsigned char*>(std::malloc(span * slice));
    own = true;
  }
  for (int v = 1; v <= ds.nvar; ++v) {
    if (v == done) continue;
    unsigned char* col = colbase(v);
    const size_t w = widthof(v);
    if (!tmp) cyclecol(col, w, lo, hi);
    else if (w == 8 && slice >= 8) gatherfixed<8>(col, lo, hi, tmp);
    else if (w == 4 && slice >= 4) gatherfixed<4>(col, lo, hi, tmp);
    else if (w == 2 && slice >= 2) gatherfixed<2>(col, lo, hi, tmp);
    else if (w == 1) gatherfixed<1>(col, lo, hi, tmp);
    else
      for (size_t off = 0; off < w; off += slice) gatherslice(col, w, off, std::min(slice, w - off), lo, hi, tmp);
  }
  if (own) std::free(tmp);
}

void ds_swapobs(long i, long j) {
  if (i == j) return;
  unsigned char hold[256];
  for (int v = 1; v <= ds.nvar; ++v) {
    const size_t w = widthof(v);
    unsigned char *a = dtaptr(v, i), *b = dtaptr(v, j);
    std::memcpy(hold, a, w);
    std::memcpy(a, b, w);
    std::memcpy(b, hold, w);
  }
  for (auto& m : ds.ordermarks)
    if (m.size() == static_cast<size_t>(ds.nobs)) std::swap(m[static_cast<size_t>(i - 1)], m[static_cast<size_t>(j - 1)]);
}

size_t ds_ordermark() {
  std::vector<uint32_t> m(static_cast<size_t>(ds.nobs));
  for (size_t i = 0; i < m.size(); ++i) m[i] = static_cast<uint32_t>(i);
  ds.ordermarks.push_back(std::move(m));
  return ds.ordermarks.size() - 1;
}

bool ds_orderrestore(size_t h) {
  if (h >= ds.ordermarks.size()) return false;
  std::vector<uint32_t> m = std::move(ds.ordermarks[h]);
  ds.ordermarks.resize(h);
  if (m.size() != static_cast<size_t>(ds.nobs) || m.empty()) return false;
  // Current observation i came from m[i-1]: it goes back there.
  std::vector<uint32_t> from(m.size());
  for (size_t i = 0; i < m.size(); ++i) from[m[i]] = static_cast<uint32_t>(i + 1);
  ds_permute(1, from.data(), ds.nobs);
  return true;
}

// ---------------------------------------------------------------------------
// The arena.

long maxobs_for(long width, uint64_t bytes) {
  if (width < 1) return 0;
  long b = static_cast<long>(bytes);
  long n1 = (b - ARENA_SLACK) / (width + 4);
  if (n1 < 0) n1 = 0;
  long n2 = (b - dataoff_for(n1)) / width;
  return std::max(0L, std::min({n1, n2, OBSLIMIT}));
}

long obscapacity_at(long width) {
  if (dsarena.memoryset) return maxobs_for(width, ds.memorysize);
  return std::min(maxobs_for(width, machinebytes()), maxobs_for(width, layoutbytes()));
}

long obscapacity() { return obscapacity_at(std::max(2L, even_up(ds.lrecl))); }

long obslimit() { return OBSLIMIT - 1; }

void ds_memorycap(uint64_t bytes) {
  dsarena.memoryset = true;
  ds.memorysize = bytes;
}

uint64_t memory_reported() {
  if (dsarena.memoryset) return ds.memorysize;
  const double need = static_cast<double>(ds.nobs + 1) * static_cast<double>(ds.lrecl + 4) + ARENA_SLACK;
  uint64_t r = 10485760;
  while (static_cast<double>(r) < need && r < (uint64_t{1} << 62)) r *= 2;
  return r;
}

// Empties the per-variable tables (slot 0 alone).
static void cleartables() {
  ds.varlist.assign(1, "");
  ds.typlist.assign(1, 0);
  ds.fmtlist.assign(1, "");
  ds.lbllist.assign(1, "");
  ds.varlabels.assign(1, "");
  ds.mapi.assign(1, 0);
}

int ds_ensure() {
  if (ds.varlist.empty()) cleartables();
  if (ds.arena) return 0;
  ds.lrecl = 0;
  int rc = relayout(startwidth(), layoutbytes());
  return rc ? error(rc) : 0;
}

int setwidth(long width) {
  if (int rc = ds_ensure()) return rc;
  width = even_up(width);
  if (width == ds.syslrecl) return 0;
  if (width > ds.maxlrecl) return RC_MAXWIDTH;
  if (width < ds.lrecl || width < 2) return RC_NOROOMOBS;
  long n = maxobs_for(width, layoutbytes());
  if (n < 1 || n <= ds.nobs) return RC_NOROOMWIDTH;
  return relayout(width, layoutbytes());
}

int repart(long addwidth, long addobs) {
  if (int rc = ds_ensure()) return rc;
  if (addobs == 0) return setwidth(ds.syslrecl + addwidth);
  long target = ds.maxobs + addobs;
  if (target < ds.nobs + 1) return RC_NOROOMWIDTH;
  long w = widest_for_obs(target, ds.lrecl);
  if (!w) return RC_NOROOMOBS;
  return setwidth(w);
}

int repartvar(long need) {
  if (int rc = ds_ensure()) return rc;
  if (need < 2) need = 2;
  long wmax = widest_for_obs(ds.nobs + 1, ds.lrecl);
  long step = std::max(need, (wmax - ds.syslrecl) / 2);
  int rc = repart(step, 0);
  if (rc && rc < 9000 && step != need) rc = repart(need, 0);
  return rc;
}

int repartobs(long need) {
  if (int rc = ds_ensure()) return rc;
  if (need < 1) need = 1;
  long step = std::max(need, (obscapacity() - ds.maxobs) / 2);
  int rc = repart(0, step);
  if (rc && rc < 9000 && step != need) rc = repart(0, need);
  return rc;
}

int setmemory(uint64_t bytes) {
  if (ds.nvar > 0 || ds.nobs > 0) return error(RC_DATALOST);
  if (bytes >= (1ULL << 32)) return error(RC_TOOLARGE);
  if (bytes < 10 * 1024) return error(RC_TOOSMALL);
  arenafree(ds.arena, ds.arenasize);
  dropspare();
  ds.arena = nullptr;
  ds.arenasize = 0;
  dsarena.memoryset = true;
  ds.memorysize = bytes;
  ds.lrecl = 0;
  int rc = relayout(DEFWIDTH, bytes);
  return rc ? error(rc) : 0;
}

bool ds_pollbreak() {
  if (++out.pollctr >= 1000) {
    out.pollctr = 0;
  }
  return stopflag != 0;
}

// ---------------------------------------------------------------------------
// Variables.

// alcvar without the message: 0, 900, 902 or 1010 (or another arena code).
static int alcvar_u(int type, bool user) {
  if (int rc = ds_ensure()) return rc;
  long w = typewidth(type);
  // A growing area holds as many variables as the machine's memory does.
  if (!dsarena.memoryset && static_cast<double>(ds.nobs + 1) * static_cast<double>(ds.lrecl + w + 4) >
                           static_cast<double>(machinebytes()))
    return RC_NOROOMWIDTH;
  if (user ? ds.lrecl + w >= ds.syslrecl : ds.lrecl + w > ds.syslrecl) {
    int rc = repartvar(ds.lrecl + w + (user ? 1 : 0) - ds.syslrecl);
    if (rc) return rc == 901 ? 902 : rc;
  }
  if (user ? ds.nvar >= ds.maxvar - 1 : ds.nvar >= ds.maxvar) return RC_NOROOMVARS;
  return 0;
}

int alcvar(int type, bool user) {
  int rc = alcvar_u(type, user);
  return rc ? error(rc) : 0;
}

int findvarexact(const char* name) {
  for (int v = 1; v <= ds.nvar; ++v)
    if (ds.varlist[static_cast<size_t>(v)] == name) return v;
  return 0;
}

int chkvarname(const char* name) {
  size_t n = std::strlen(name);
  if (n > 32) return error2(2, name);
  for (const char* r : reserved_names)
    if (!std::strcmp(r, name)) return error2(2, name);
  if (!std::strncmp(name, "str", 3) && name[3] >= '1' && name[3] <= '9') {
    const char* q = name + 3;
    while (*q >= '0' && *q <= '9') ++q;
    if (!*q) return errmsgf(RC_SYNTAX, "%s invalid variable name\n", name);
  }
  if (int rc = chkname(name)) return rc;
  if (findvarexact(name)) return error2(3, name);
  return 0;
}

// Blanks observations 1..nobs+1 of variable v: the first cell, then copies
// of it down the column.
static void blankcol(int v) {
  const long last = std::min(ds.nobs + 1, ds.maxobs);
  if (last < 1) return;
  blankcell(v, 1);
  if (last > 1) fillcells(colbase(v), widthof(v), colbase(v), 2, last);
}

int addvar(const char* name, int type) {
  if (int rc = ds_ensure()) return rc;
  if (int rc = chkvarname(name)) return rc;
  if (int rc = alcvar(type, true)) return rc;
  pushvar(name, type);
  blankcol(ds.nvar);
  if (name[0] == '_' && name[1] == '_') ds.hastmp_vars = true;
  s_updata(ds.nvar);
  return 0;
}

int addvar_uninit(const char* name, int type) {
  if (int rc = ds_ensure()) return rc;
  if (int rc = chkvarname(name)) return rc;
  if (int rc = alcvar(type, true)) return rc;
  pushvar(name, type);
  // only the scratch row: the caller writes observations 1..nobs itself
  if (ds.nobs + 1 <= ds.maxobs) blankcell(ds.nvar, ds.nobs + 1);
  if (name[0] == '_' && name[1] == '_') ds.hastmp_vars = true;
  s_updata(ds.nvar);
  return 0;
}

int addwrkvar(int type) {
  if (int rc = alcvar(type, false)) return rc;
  pushvar("", type);
  for (long i = 1; i <= ds.nobs + 1 && i <= ds.maxobs; ++i) blankcell(ds.nvar, i);
  return 0;
}

void s_updata(int var) {
  if (var < 1 || var > ds.nvar || ds.varlist[static_cast<size_t>(var)][0] != '_') ds.updata = true;
}

void chksort_vars(const std::vector<int>& vars) {
  for (size_t i = 0; i < ds.srtlist.size(); ++i)
    if (std::find(vars.begin(), vars.end(), ds.srtlist[i]) != vars.end()) {
      ds.srtlist.resize(i);
      return;
    }
}

void chksort() { chksort_vars(vl.varlist_vr); }

int reordervars(const std::vector<int>& perm) {
  // perm[j] (j = 1..nvar) is the old number of the variable that goes to j.
  std::vector<int> newnum(static_cast<size_t>(ds.nvar) + 1);
  for (int j = 1; j <= ds.nvar; ++j) newnum[static_cast<size_t>(perm[static_cast<size_t>(j)])] = j;
  auto permute = [&](auto& tab) {
    auto copy = tab;
    for (int j = 1; j <= ds.nvar; ++j) tab[static_cast<size_t>(j)] = copy[static_cast<size_t>(perm[static_cast<size_t>(j)])];
  };
  // The columns stay where they are: each variable takes its offset along.
  permute(ds.varlist);
  permute(ds.typlist);
  permute(ds.fmtlist);
  permute(ds.lbllist);
  permute(ds.varlabels);
  permute(ds.mapi);
  for (int& s : ds.srtlist) s = newnum[static_cast<size_t>(s)];
  checkarena();
  return 0;
}

// Closes the gaps left by the columns flagged in `gone` (index 1..nvar): the
// others move towards the start of the data area in order of position, each
// moving only its cells in use, so a column never lands on one not yet
// moved. Sets their new offsets in mapi and lrecl to the bytes still in
// use; a growing arena gives the pages freed at the end back when they are
// more than the memory kept for reuse. The other
// tables are not changed.
static void closegaps(const std::vector<char>& gone) {
  std::vector<int> bypos;
  for (int v = 1; v <= ds.nvar; ++v)
    if (!gone[static_cast<size_t>(v)]) bypos.push_back(v);
  std::sort(bypos.begin(), bypos.end(),
            [](int a, int b) { return ds.mapi[static_cast<size_t>(a)] < ds.mapi[static_cast<size_t>(b)]; });
  const size_t cells = static_cast<size_t>(ds.colcells), used = static_cast<size_t>(usedcells());
  long to = 0;
  for (int v : bypos) {
    const long from = ds.mapi[static_cast<size_t>(v)];
    if (from != to)
      std::memmove(ds.xtraptr + cells * static_cast<size_t>(to), ds.xtraptr + cells * static_cast<size_t>(from),
                   used * widthof(v));
    ds.mapi[static_cast<size_t>(v)] = static_cast<int>(to);
    to += typewidth(vartype(v));
  }
  if (touchedbytes(ds) > keepbytes())
    releasepages(ds.xtraptr + cells * static_cast<size_t>(to), ds.xtraptr + cells * static_cast<size_t>(ds.lrecl));
  ds.lrecl = to;
}

int dropvars_flagged(const std::vector<char>& flag) {
  // Keep "(e)" company: alone it goes too.
  int left = 0, evar = 0;
  for (int v = 1; v <= ds.nvar; ++v)
    if (!flag[static_cast<size_t>(v)]) {
      ++left;
      if (ds.varlist[static_cast<size_t>(v)] == "(e)") evar = v;
    }
  std::vector<char> f(flag);
  if (left == 1 && evar) f[static_cast<size_t>(evar)] = 1, left = 0;
  if (left == 0) {
    drop_all();
    return 0;
  }
  for (size_t i = 0; i < ds.srtlist.size(); ++i)
    if (f[static_cast<size_t>(ds.srtlist[i])]) {
      ds.srtlist.resize(i);
      break;
    }
  closegaps(f);
  std::vector<int> newnum(static_cast<size_t>(ds.nvar) + 1, 0);
  int j = 0;
  for (int v = 1; v <= ds.nvar; ++v) {
    if (f[static_cast<size_t>(v)]) {
      if (!ds.varlist[static_cast<size_t>(v)].empty()) charrm(ds.varlist[static_cast<size_t>(v)].c_str());
      continue;
    }
    newnum[static_cast<size_t>(v)] = ++j;
    size_t a = static_cast<size_t>(j), b = static_cast<size_t>(v);
    if (a != b) {
      ds.varlist[a] = std::move(ds.varlist[b]);
      ds.typlist[a] = ds.typlist[b];
      ds.fmtlist[a] = std::move(ds.fmtlist[b]);
      ds.lbllist[a] = std::move(ds.lbllist[b]);
      ds.varlabels[a] = std::move(ds.varlabels[b]);
      ds.mapi[a] = ds.mapi[b];
    }
  }
  ds.nvar = j;
  size_t n = static_cast<size_t>(j) + 1;
  ds.varlist.resize(n);
  ds.typlist.resize(n);
  ds.fmtlist.resize(n);
  ds.lbllist.resize(n);
  ds.varlabels.resize(n);
  ds.mapi.resize(n);
  for (int& s : ds.srtlist) s = newnum[static_cast<size_t>(s)];
  for (int v = 1; v <= ds.nvar; ++v) blankcell(v, ds.nobs + 1);
  ds.updata = true;
  checkarena();
  return 0;
}

int droporkeepvars(const std::vector<int>& vars, bool keep) {
  std::vector<char> flag(static_cast<size_t>(ds.nvar) + 1, keep ? 1 : 0);
  for (int v : vars) flag[static_cast<size_t>(v)] = keep ? 0 : 1;
  bool any = false;
  for (int v = 1; v <= ds.nvar; ++v) any = any || flag[static_cast<size_t>(v)];
  if (!any) return 0;
  return dropvars_flagged(flag);
}

int renamevar(int var, const char* newname) {
  if (ds.varlist[static_cast<size_t>(var)] == newname) return 0;
  if (int rc = chkvarname(newname)) return rc;
  charrename_owner(ds.varlist[static_cast<size_t>(var)].c_str(), newname);
  ds.varlist[static_cast<size_t>(var)] = newname;
  if (newname[0] == '_' && newname[1] == '_') ds.hastmp_vars = true;
  ds.updata = true;
  return 0;
}

int change_vartype(int var, int newtype) {
  int old = vartype(var);
  if (old == newtype) return 0;
  if (ds.nobs >= ds.maxobs) {
    if (int rc = repartobs(1)) return error(rc);
  }
  if (int rc = alcvar_u(newtype, false)) return error(rc == 902 || rc == 1010 ? 903 : rc);
  std::string name = ds.varlist[static_cast<size_t>(var)];
  pushvar(name.c_str(), newtype);
  int nv = ds.nvar;
  bool str = isstrtype(old) && isstrtype(newtype);
  std::string s;
  for (long i = 1; i <= ds.nobs; ++i) {
    if ((i & 0xffff) == 0 && ds_pollbreak()) {
      std::vector<char> f(static_cast<size_t>(ds.nvar) + 1, 0);
      f[static_cast<size_t>(nv)] = 1;
      (void)dropvars_flagged(f);
      return 1;
    }
    if (str) {
      szelta_data(var, i, s);
      safe_sstore(nv, i, s.c_str());
    } else if (isstrtype(newtype)) {
      std::memset(dtaptr(nv, i), 0, static_cast<size_t>(newtype));
    } else {
      store(nv, i, zelta_data(var, i));
    }
  }
  blankcell(nv, ds.nobs + 1);
  // Carry the descriptive fields over (the format follows the new type
  // only where the old one was the default).
  ds.fmtlist[static_cast<size_t>(nv)] = ds.fmtlist[static_cast<size_t>(var)] == deffmt_of(old)
                                            ? std::string(deffmt_of(newtype))
                                            : ds.fmtlist[static_cast<size_t>(var)];
  ds.lbllist[static_cast<size_t>(nv)] = ds.lbllist[static_cast<size_t>(var)];
  ds.varlabels[static_cast<size_t>(nv)] = ds.varlabels[static_cast<size_t>(var)];
  // The old column's room is closed; the new variable takes the old one's
  // number (and its column stays where it was made).
  {
    std::vector<char> gone(static_cast<size_t>(nv) + 1, 0);
    gone[static_cast<size_t>(var)] = 1;
    closegaps(gone);
  }
  const size_t a = static_cast<size_t>(var), b = static_cast<size_t>(nv);
  ds.mapi[a] = ds.mapi[b];
  ds.typlist[a] = ds.typlist[b];
  ds.fmtlist[a] = std::move(ds.fmtlist[b]);
  ds.lbllist[a] = std::move(ds.lbllist[b]);
  ds.varlabels[a] = std::move(ds.varlabels[b]);
  ds.nvar = nv - 1;
  ds.varlist.resize(b);
  ds.typlist.resize(b);
  ds.fmtlist.resize(b);
  ds.lbllist.resize(b);
  ds.varlabels.resize(b);
  ds.mapi.resize(b);
  s_updata(var);
  checkarena();
  return 0;
}

// ---------------------------------------------------------------------------
// Observations.

static int setobs_u(long n, bool blank);

int setobs(long n) {
  long was = ds.nobs;
  int rc = setobs_quiet(n);
  if (!rc) spout21f("obs was %ld, now %ld\n", was, n);
  return rc;
}

int setobs_quiet(long n) { return setobs_u(n, true); }
int setobs_uninit(long n) { return setobs_u(n, false); }

// setobs_quiet; with `blank` false only the row after the last is blanked.
static int setobs_u(long n, bool blank) {
  if (int rc = ds_ensure()) return rc;
  if (n < ds.nobs || n > obslimit()) {
    return errmsgf(RC_SYNTAX, "obs must be between %ld and %ld\n", ds.nobs, obslimit());
  }
  if (n > obscapacity() - 1) return error(RC_NOROOMOBS);
  if (n >= ds.maxobs) {
    if (int rc = repartobs(n - ds.maxobs + 1)) return error(rc);
  }
  long was = ds.nobs;
  if (!blank) {
    for (int v = 1; v <= ds.nvar && n + 1 <= ds.maxobs; ++v) blankcell(v, n + 1);
    ds.nobs = n;
    if (n != was) ds.updata = true, dropordermarks();
    hugehint(ds.nobs);
    checkarena();
    return 0;
  }
  // Blank the first new cell of each column, then copy it down the column.
  hugehint(n);
  for (int v = 1; v <= ds.nvar; ++v) {
    blankcell(v, was + 1);
    const size_t w = widthof(v);
    unsigned char* const col = colbase(v);
    const unsigned char* const tmpl = col + static_cast<size_t>(was) * w;
    for (long i = was + 2; i <= n + 1; i += 0x10000) {
      if (ds_pollbreak()) return 1;
      long end = std::min(n + 1, i + 0x10000 - 1);
      fillcells(col, w, tmpl, i, end);
    }
  }
  ds.nobs = n;
  if (n != was) ds.updata = true, dropordermarks();
  checkarena();
  return 0;
}

long dropobs_flags(const std::vector<char>& keepflag) {
  // The kept observations, in order; each column is compacted forward in
  // place (a kept cell never moves right).
  std::vector<uint32_t> kept;
  kept.reserve(static_cast<size_t>(ds.nobs));
  for (long i = 1; i <= ds.nobs; ++i)
    if (keepflag[static_cast<size_t>(i - 1)]) kept.push_back(static_cast<uint32_t>(i - 1));
  const long nd = ds.nobs - static_cast<long>(kept.size());
  if (!nd) return 0;
  for (int v = 1; v <= ds.nvar; ++v) {
    const size_t w = widthof(v);
    unsigned char* const col = colbase(v);
    size_t k = 0;
    while (k < kept.size() && kept[k] == k) ++k;  // the untouched head
    for (; k < kept.size(); ++k) std::memcpy(col + k * w, col + static_cast<size_t>(kept[k]) * w, w);
  }
  ds.nobs = static_cast<long>(kept.size());
  ds.updata = true;
  dropordermarks();
  for (int v = 1; v <= ds.nvar; ++v) blankcell(v, ds.nobs + 1);
  checkarena();
  return nd;
}

long dropobsifmarked(int markvar) {
  std::vector<char> keep(static_cast<size_t>(ds.nobs));
  for (long i = 1; i <= ds.nobs; ++i) keep[static_cast<size_t>(i - 1)] = bdata(markvar, i) == 0;
  return dropobs_flags(keep);
}

long keepobsrange(long lo, long hi) {
  if (lo < 1) lo = 1;
  if (hi > ds.nobs) hi = ds.nobs;
  if (lo > hi) {
    long n = ds.nobs;
    ds.nobs = 0;
    if (n) ds.updata = true, dropordermarks();
    for (int v = 1; v <= ds.nvar; ++v) blankcell(v, 1);
    return n;
  }
  long nd = ds.nobs - (hi - lo + 1);
  if (!nd) return 0;
  for (int v = 1; v <= ds.nvar; ++v) {
    const size_t w = widthof(v);
    unsigned char* const col = colbase(v);
    if (lo > 1) std::memmove(col, col + static_cast<size_t>(lo - 1) * w, static_cast<size_t>(hi - lo + 1) * w);
  }
  ds.nobs = hi - lo + 1;
  ds.updata = true;
  dropordermarks();
  for (int v = 1; v <= ds.nvar; ++v) blankcell(v, ds.nobs + 1);
  checkarena();
  return nd;
}

// ---------------------------------------------------------------------------
// Clearing, temporary names.

void drop_all() {
  // A growing arena gives the pages of the cleared data back, unless they
  // are few enough to keep for the next dataset.
  if (!dsarena.memoryset && ds.arena && touchedbytes(ds) > keepbytes()) {
    releasepages(ds.arena, ds.arena + 4 * static_cast<size_t>(std::min(ds.nobs + 1, ds.maxobs) + 1));
    releasepages(ds.xtraptr, ds.xtraptr + static_cast<size_t>(ds.colcells) * static_cast<size_t>(ds.lrecl));
  }
  ds.nobs = 0;
  ds.nvar = 0;
  cleartables();
  ds.lrecl = 0;
  ds.datalbl.clear();
  ds.srtlist.clear();
  ds.updata = false;
  ds.hastmp_vars = false;
  if (datahost.cleared) datahost.cleared();
  charrm(nullptr);
  dropordermarks();
  checkarena();
}

std::string mktmpvn() {
  static const char digits[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
  long c = ds.tmpvctr;
  if (++ds.tmpvctr >= 2146483647L) ds.tmpvctr = 0;
  char buf[9] = "__";
  for (int i = 7; i >= 2; --i) {
    buf[i] = digits[c % 36];
    c /= 36;
  }
  buf[8] = 0;
  return buf;
}

bool istmpvn(const std::string& name) {
  if (name.size() != 8 || name[0] != '_' || name[1] != '_') return false;
  for (size_t i = 2; i < 8; ++i) {
    char c = name[i];
    if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z'))) return false;
  }
  return true;
}

// The counter value a temporary name was made from, or -1.
static long tmpvnum(const std::string& name) {
  if (!istmpvn(name)) return -1;
  long n = 0;
  for (size_t i = 2; i < 8; ++i) {
    char c = name[i];
    n = n * 36 + (c <= '9' ? c - '0' : c - 'A' + 10);
  }
  return n;
}

void droptmpvars_since(long from) {
  long now = ds.tmpvctr;
  if (!ds.hastmp_vars || from == now) return;
  std::vector<char> f(static_cast<size_t>(ds.nvar) + 1, 0);
  bool any = false;
  for (int v = 1; v <= ds.nvar; ++v) {
    long n = tmpvnum(ds.varlist[static_cast<size_t>(v)]);
    if (n < 0) continue;
    bool in = from <= now ? (n >= from && n < now) : (n >= from || n < now);
    if (in) f[static_cast<size_t>(v)] = 1, any = true;
  }
  if (any) (void)dropvars_flagged(f);
  // With fewer than three names made, the counter goes back to its entry
  // value so that short-lived programs do not use up names.
  if (from < now && now - from < 3) ds.tmpvctr = from;
}

void ds_reset() {
  arenafree(ds.arena, ds.arenasize);
  dropspare();
  ds = DataState{};
  dsarena = ArenaState{};
  charrm(nullptr);
}

// ---------------------------------------------------------------------------
// Snapshots for preserve and restore.

int ds_snapshot(DsSnapshot& snap) {
  snap.meta = ds;
  snap.meta.arena = nullptr;
  snap.meta.xtraptr = nullptr;
  snap.meta.mapj = nullptr;
  try {
    snap.records.resize(static_cast<size_t>(ds.nobs) * static_cast<size_t>(ds.lrecl));
  } catch (...) {
    snap.valid = false;
    return error(RC_NOMEM);
  }
  size_t at = 0;
  for (int v = 1; v <= ds.nvar; ++v) {
    const size_t len = static_cast<size_t>(ds.nobs) * widthof(v);
    std::memcpy(snap.records.data() + at, colbase(v), len);
    at += len;
  }
  snap.valid = true;
  return 0;
}

int ds_restore(const DsSnapshot& snap) {
  arenafree(ds.arena, ds.arenasize);
  ds = snap.meta;
  ds.arena = nullptr;
  ds.arenasize = 0;
  long lrecl = ds.lrecl;
  if (int rc = relayout(snap.meta.syslrecl, layoutbytes())) {
    ds = DataState{};
    return error(rc);
  }
  ds.lrecl = lrecl;
  size_t at = 0;
  for (int v = 1; v <= ds.nvar; ++v) {
    const size_t len = static_cast<size_t>(ds.nobs) * widthof(v);
    std::memcpy(colbase(v), snap.records.data() + at, len);
    at += len;
  }
  if (ds.nvar)
    for (int v = 1; v <= ds.nvar; ++v) blankcell(v, ds.nobs + 1);
  hugehint(ds.nobs);
  checkarena();
  return 0;
}

void ds_hugehint_for(long nobs) { hugehint(nobs); }

int ds_aside(DsAside& a) {
  if (int rc = ds_ensure()) return rc;
  a.old = ds;
  ds.arena = nullptr, ds.xtraptr = nullptr, ds.mapj = nullptr, ds.arenasize = 0;
  ds.nobs = 0, ds.nvar = 0, ds.lrecl = 0;
  cleartables();
  ds.srtlist.clear();
  ds.hastmp_vars = false;
  dropordermarks();
  if (int rc = relayout(startwidth(), layoutbytes())) {
    ds = a.old;
    return error(rc);
  }
  a.active = true;
  return 0;
}

void ds_aside_commit(DsAside& a) {
  if (!a.active) return;
  parkarena(a.old);
  a.old = DataState{};
  a.active = false;
}

void ds_aside_undo(DsAside& a) {
  if (!a.active) return;
  parkarena(ds);
  ds = a.old;
  a.old = DataState{};
  a.active = false;
  checkarena();
}
