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
[[nodiscard]] int addwrkvar(int type);
[[nodiscard]] int change_vartype(int var, int newtype);
[[nodiscard]] int setobs(long n);                       // `set obs`
void drop_all();                                      // clear
void s_updata(int var);
void chksort();
std::string mktmpvn();                                // next temporary variable name
bool istmpvn(const std::string& name);

// Resets the store to its start-up state (for tests and `clear`).
void ds_reset();
