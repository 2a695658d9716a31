// The dataset store: one dataset in a memory arena, each variable's cells
// contiguous in observation order (a column), with storage types, their
// missing-value codes (the cell codecs below) and conversion of doubles into
// cells and back. Variables and observations are numbered from 1.
#pragma once
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

// Storage-type codes: 1..244 are str1..str244.
enum : int { ST_BYTE = 251, ST_INT = 252, ST_LONG = 253, ST_FLOAT = 254, ST_DOUBLE = 255 };
inline bool isstrtype(int t) { return t >= 1 && t <= 244; }

// Legacy single-missing codes of older files: byte..double.
enum : int { ST_LBYTE = 246, ST_LINT = 247, ST_LLONG = 248, ST_LFLOAT = 249, ST_LDOUBLE = 250 };
inline bool isnumtype(int t) { return t >= ST_LBYTE && t <= ST_DOUBLE; }

// Missing values: `.` is 2^1023, `.a`..`.z` follow it in order.
extern const double misval;
extern const double misval_z;
inline bool ismissing(double x) { return x >= misval; }
// The extended missing value number k (0 = `.`, 1 = `.a`, ..., 26 = `.z`).
double misval_k(int k);
// k of a missing value (0..26), or -1 for a non-missing value.
int missing_code(double x);

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

// ---------------------------------------------------------------------------
// Cell codecs: the one definition of how each storage type holds a value.

// A float cell as a double: the float missing codes move up to the double
// ones keeping their extended code; NaN reads as `.`.
inline double cell_float(float f) {
  if (f < 0x1p127f) return f;
  if (f != f) return 0x1p1023;
  double d = static_cast<double>(f);
  uint64_t b;
  std::memcpy(&b, &d, 8);
  b = (b & 0x000fffffffffffffULL) | (0x7feULL << 52);
  std::memcpy(&d, &b, 8);
  return d;
}
// The extended missing value k (0 = `.`) without a table.
inline double cell_misk(int k) {
  uint64_t b = 0x7fe0000000000000ULL + (static_cast<uint64_t>(k) << 40);
  double d;
  std::memcpy(&d, &b, 8);
  return d;
}
// The cell of storage type `type` at p as a double (`zelta_data`'s rules;
// a string cell reads as `.`).
double cell_get_slow(int type, const unsigned char* p);
inline double cell_get(int type, const unsigned char* p) {
  switch (type) {
    case ST_DOUBLE: { double d; std::memcpy(&d, p, 8); return d; }
    case ST_FLOAT: { float f; std::memcpy(&f, p, 4); return cell_float(f); }
    case ST_LONG: { int32_t i; std::memcpy(&i, p, 4); return i <= 2147483620 ? i : cell_misk(i - 2147483621); }
    case ST_INT: { int16_t i; std::memcpy(&i, p, 2); return i <= 32740 ? i : cell_misk(i - 32741); }
    case ST_BYTE: { int8_t i = static_cast<int8_t>(*p); return i <= 100 ? i : cell_misk(i - 101); }
    default: return cell_get_slow(type, p);
  }
}
// Writes x into the cell of storage type `type` at p (`store`'s rules; a
// string cell is left alone).
void cell_put(int type, unsigned char* p, double x);

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

// Bytes of a cell of the type.
inline int typewidth(int type) {
  switch (type) {
    case ST_BYTE: case ST_LBYTE: return 1;
    case ST_INT: case ST_LINT: return 2;
    case ST_LONG: case ST_FLOAT: case ST_LLONG: case ST_LFLOAT: return 4;
    case ST_DOUBLE: case ST_LDOUBLE: return 8;
    default: return type;
  }
}

// Cells. The first cell of variable var's column.
inline unsigned char* colbase(int var) {
  return ds.xtraptr + static_cast<size_t>(ds.colcells) * static_cast<size_t>(ds.mapi[static_cast<size_t>(var)]);
}
// The address of one cell.
inline unsigned char* dtaptr(int var, long obs) {
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
inline int vartype(int var) { return ds.typlist[static_cast<size_t>(var)]; }
inline const std::string& varname(int var) { return ds.varlist[static_cast<size_t>(var)]; }
const char* typename_of(int type);   // "byte", "str12", ...
int promoted_vartype(int type, double value);

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

// Constants of the storage types, set from hexadecimal-float literals.
extern const double misval_110;     // legacy double missing: anything >= 2^1023
extern const double misval_107;     // double missing of release 107 and older files
extern const double fltmis_110;     // legacy float missing: anything >= 2^127
extern const double dbl_eps, flt_eps, dbl_smallest, dbl_mostneg, dbl_largest, flt_largest;

// Storage-type helpers.
const char* deffmt_of(int type);      // default display format of a new variable
int typecode(const char* word);       // "byte".."double", "strN": code, else 0
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
