// The dataset store: one dataset in a memory arena, each variable's cells
// contiguous in observation order (a column). Variables and observations are
// numbered from 1. The values the cells hold (storage types, missing codes,
// the cell codec) are defined in data/value.h.
#pragma once
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "data/value.h"
#include "platform/zassert.h"

struct DataState {
  long nobs = 0;                  // observations in use
  int nvar = 0;                   // variables in use
  // Parallel per-variable tables, index 1..nvar (slot 0 unused).
  std::vector<std::string> varlist;   // names
  std::vector<unsigned char> typlist; // storage types
  std::vector<std::string> fmtlist;   // display formats
  std::vector<std::string> lbllist;   // value-label names
  std::vector<std::string> varlabels; // variable labels
  std::vector<int> mapi;              // byte offset of each cell in a record (its column starts at colcells times it)
  // Observation storage, by column: variable v's cells start at
  // xtraptr + colcells * mapi[v], observation i's cell being the i-th of
  // them. The columns are always in observation order, so the map `mapj`
  // (its 4 bytes per observation are reserved in the arena) holds an order
  // only while ds_permute applies one.
  unsigned char* xtraptr = nullptr;
  uint32_t* mapj = nullptr;
  // Cells reserved per column: maxobs rounded up to a multiple of 8, so that
  // every column starts on an 8-byte boundary and a double column can be
  // read in place. The few extra cells are allocated beyond the accounted
  // arena and are never counted in maxobs.
  long colcells = 0;
  long syslrecl = 200;            // record width in bytes (the sum of the widths may reach it)
  long maxobs = 0;
  int maxvar = 200;
  int maxmaxvar = 5000;           // `set maxvar`
  uint64_t memorysize = 10485760; // `set memory`
  std::string datalbl;
  std::vector<int> srtlist;       // sort keys (variable numbers)
  bool updata = false;            // unsaved changes
  int deftype = ST_FLOAT;         // `set type`
  bool varabbrev = true;          // `set varabbrev`
  long tmpvctr = 0;
  bool hastmp_vars = false;
  long nobs1 = 1, nobs2 = 0;      // observation range of the current command
  // The arena: one block of `memorysize` bytes holding the map (4 bytes per
  // possible observation plus the unused slot 0), 16 bytes of slack and the
  // 16-aligned data area. Allocated on first use.
  unsigned char* arena = nullptr;
  size_t arenasize = 0;           // bytes of the block holding the arena (see relayout)
  long dataoff = 0;               // offset of the data area inside the arena
  long lrecl = 0;                 // bytes in use: the sum of the variables' widths
  long maxlrecl = 60000;          // widest record allowed: 12 x maxmaxvar
  int failalloc = 0;              // test hook: arena allocations from the Nth on fail (0 = never)
  long rseed = 1001;              // sort seed: 31-bit state of the shuffle generator
  // Programs with sortpreserve: per active level, the observation number at
  // the level's entry of each current observation (index 0..nobs-1); an
  // empty array once observations were dropped or added.
  std::vector<std::vector<uint32_t>> ordermarks;
  int srtlen() const { return static_cast<int>(srtlist.size()); }
};
extern DataState ds;

// A typed view of one variable's column: observation i's cell is at
// base + (i - 1) * stride. Valid until the next command that adds, drops or
// retypes variables or repartitions the arena.
struct ColView {
  unsigned char* base = nullptr;  // the cell of observation 1
  long stride = 0;                // bytes per cell: the width of the type
  int type = 0;                   // storage type
  unsigned char* at(long obs) const { return base + (obs - 1) * stride; }
  double get(long obs) const { return cell_get(type, at(obs)); }
  void put(long obs, double x) const { cell_put(type, at(obs), x); }
};
// The view of variable var.
inline ColView colview(int var);
// Decodes observations obs..obs+n-1 of a numeric column into out.
void col_decode(const ColView& c, long obs, long n, double* out);
// Stores in[0..n-1] into observations obs..obs+n-1 of a numeric column.
void col_encode(const ColView& c, long obs, long n, const double* in);

// Cells. The accessors check their indexes where asserts are live: a
// variable number is 1..nvar, an observation number 1..maxobs (the row after
// the last observation is a scratch row that some commands write).
// The first cell of variable var's column.
inline unsigned char* colbase(int var) {
  ZASSERT(var >= 1 && var <= ds.nvar, "variable number out of range");
  return ds.xtraptr + static_cast<size_t>(ds.colcells) * static_cast<size_t>(ds.mapi[static_cast<size_t>(var)]);
}
// The address of one cell.
inline unsigned char* dtaptr(int var, long obs) {
  ZASSERT(obs >= 1 && obs <= ds.maxobs, "observation number out of range");
  return colbase(var) + static_cast<size_t>(obs - 1) * static_cast<size_t>(typewidth(ds.typlist[static_cast<size_t>(var)]));
}
inline ColView colview(int var) {
  const int t = ds.typlist[static_cast<size_t>(var)];
  return ColView{colbase(var), typewidth(t), t};
}
inline double zelta_data(int var, long obs) { return cell_get(ds.typlist[static_cast<size_t>(var)], dtaptr(var, obs)); }
void store(int var, long obs, double value);
void szelta_data(int var, long obs, std::string& out);
void sstore(int var, long obs, const char* bytes);
void safe_sstore(int var, long obs, const char* bytes);
inline int vartype(int var) {
  ZASSERT(var >= 0 && static_cast<size_t>(var) < ds.typlist.size(), "variable number out of range");
  return ds.typlist[static_cast<size_t>(var)];
}
inline const std::string& varname(int var) {
  ZASSERT(var >= 0 && static_cast<size_t>(var) < ds.varlist.size(), "variable number out of range");
  return ds.varlist[static_cast<size_t>(var)];
}

// Variables.
[[nodiscard]] int addvar(const char* name, int type);  // returns 0 or rc; new var is ds.nvar
// addvar without filling the cells with missing values: for a caller that
// writes every observation at once, or drops the variable if it cannot.
[[nodiscard]] int addvar_uninit(const char* name, int type);
[[nodiscard]] int addwrkvar(int type);
[[nodiscard]] int change_vartype(int var, int newtype);
[[nodiscard]] int setobs(long n);                       // `set obs`
[[nodiscard]] int setobs_quiet(long n);                 // the same without the note
// setobs_quiet leaving the new cells as they are, for a caller that writes
// every one of them or clears the dataset (only the row after the last is
// blanked).
[[nodiscard]] int setobs_uninit(long n);
void drop_all();                                      // clear
void s_updata(int var);
void chksort();
std::string mktmpvn();                                // next temporary variable name
bool istmpvn(const std::string& name);

// Resets the store to its start-up state (for tests and `clear`).
void ds_reset();

// Raw typed cell access for markers (no conversion, no missing codes).
void bstore(int var, long obs, int value);
void istore(int var, long obs, long value);
int bdata(int var, long obs);
long idata(int var, long obs);
// Copies a whole record (or its first len bytes) out of / into observation obs.
void getdtaobs(unsigned char* buf, long obs, long len);
void putdtaobs(const unsigned char* buf, long obs, long len);

// Variables (continued).
[[nodiscard]] int alcvar(int type, bool user);          // raw append; prints on failure
[[nodiscard]] int droporkeepvars(const std::vector<int>& vars, bool keep);
[[nodiscard]] int dropvars_flagged(const std::vector<char>& flag);  // flag index 1..nvar
// Drops every observation whose marker byte variable is non-zero; returns the
// count dropped (and so never fails).
long dropobsifmarked(int markvar);
// Drops observations for which keepflag[i-1] is 0 (i = 1..nobs); returns the count.
long dropobs_flags(const std::vector<char>& keepflag);
// Keeps only observations lo..hi (a fast path for `keep in`); returns the count dropped.
long keepobsrange(long lo, long hi);
// Moves the variables into the order of `perm` (a permutation of 1..nvar).
[[nodiscard]] int reordervars(const std::vector<int>& perm);
[[nodiscard]] int renamevar(int var, const char* newname);
int chkvarname(const char* name);     // 0, or prints and returns 198 / 110
int findvarexact(const char* name);   // 0 when absent; no abbreviations
// Truncates the sort list at the first of these variables.
void chksort_vars(const std::vector<int>& vars);
// Drops the temporary variables named with counter values from `from` up to
// the current counter (wrap-around allowed).
void droptmpvars_since(long from);

// Puts observations lo..lo+n-1 into the order given by `from`: from[k] is the
// (1-based) observation, inside lo..lo+n-1, whose cells go to lo+k. The
// columns are gathered at once and the map stays the identity.
void ds_permute(long lo, const uint32_t* from, long n);
// Swaps the cells of observations i and j in every column.
void ds_swapobs(long i, long j);
// sortpreserve: starts recording where each observation goes; returns a
// handle for ds_orderrestore, which puts the observations back in the order
// they had (unless observations were added or dropped meanwhile) and ends
// the record; it returns true when it restored the order.
size_t ds_ordermark();
bool ds_orderrestore(size_t handle);

// Arena.
[[nodiscard]] int ds_ensure();                   // allocates the arena on first use
[[nodiscard]] int repart(long addwidth, long addobs);
[[nodiscard]] int repartvar(long need);
[[nodiscard]] int repartobs(long need);
[[nodiscard]] int setwidth(long width);          // absolute width
[[nodiscard]] int setmemory(uint64_t bytes);     // only with an empty dataset
long maxobs_for(long width, uint64_t arenabytes);
long obscapacity();                              // observations possible at the narrowest width
// The break poll shared by long loops; true when the user asked to stop.
bool ds_pollbreak();

// A copy of the whole dataset (metadata, cells and characteristics) for
// `preserve`.
struct DsSnapshot {
  DataState meta;                      // arena pointers cleared
  std::vector<unsigned char> records;  // nobs x lrecl bytes: the columns one after another
  bool valid = false;
};
// Copies the dataset into snap; 0 or 909 (printed).
[[nodiscard]] int ds_snapshot(DsSnapshot& snap);
// Replaces the dataset by the copy; 0 or a return code (printed).
[[nodiscard]] int ds_restore(const DsSnapshot& snap);

// A new dataset built beside the current one, for commands that replace the
// data all at once: ds_aside sets the dataset aside (its arena untouched) and
// starts an empty one with the same settings; ds_aside_commit then frees the
// old one, or ds_aside_undo drops the new one and brings the old one back.
// Both arenas are held meanwhile, so no copy of the cells is needed.
struct DsAside {
  DataState old;        // the dataset set aside
  bool active = false;  // set aside and not yet committed or undone
};
[[nodiscard]] int ds_aside(DsAside& a);  // 0 or a code (printed); nothing changes on failure
void ds_aside_commit(DsAside& a);
void ds_aside_undo(DsAside& a);
