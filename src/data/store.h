// The dataset store: one dataset of fixed-width observation records in a
// memory arena, reached through the observation map `mapj`, with storage
// types, missing-value codes and conversion of doubles into cells and back.
// Variables and observations are numbered from 1.
#pragma once
#include <cstdint>
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
  std::vector<int> mapi;              // byte offset of each cell in a record
  // Observation storage: record of observation i is at
  // xtraptr + mapj[i] * syslrecl (mapj index 1..nobs+1).
  unsigned char* xtraptr = nullptr;
  uint32_t* mapj = nullptr;
  long syslrecl = 200;            // record width in bytes
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
  long dataoff = 0;               // offset of the data area inside the arena
  long lrecl = 0;                 // bytes in use: the sum of the variables' widths
  long maxlrecl = 60000;          // widest record allowed: 12 x maxmaxvar
  int failalloc = 0;              // test hook: arena allocations from the Nth on fail (0 = never)
  long rseed = 1001;              // sort seed: 31-bit state of the shuffle generator
  int srtlen() const { return static_cast<int>(srtlist.size()); }
};
extern DataState ds;

// Cells.
double zelta_data(int var, long obs);
void store(int var, long obs, double value);
void szelta_data(int var, long obs, std::string& out);
void sstore(int var, long obs, const char* bytes);
void safe_sstore(int var, long obs, const char* bytes);
unsigned char* dtaptr(int var, long obs);
inline int vartype(int var) { return ds.typlist[static_cast<size_t>(var)]; }
inline const std::string& varname(int var) { return ds.varlist[static_cast<size_t>(var)]; }
int typewidth(int type);
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

// A copy of the whole dataset (metadata, records in observation order and
// characteristics) for `preserve`.
struct DsSnapshot {
  DataState meta;                      // arena pointers cleared
  std::vector<unsigned char> records;  // nobs x lrecl bytes
  bool valid = false;
};
// Copies the dataset into snap; 0 or 909 (printed).
[[nodiscard]] int ds_snapshot(DsSnapshot& snap);
// Replaces the dataset by the copy; 0 or a return code (printed).
[[nodiscard]] int ds_restore(const DsSnapshot& snap);
