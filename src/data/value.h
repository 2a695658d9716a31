// Values as the dataset holds them, with no dependencies: the storage types
// and the width of their cells, the missing values `.`, `.a`, ..., `.z`, the
// limits of each type, and the cell codec that turns a cell into a double and
// back. The store (data/store.h) builds on this; code that handles values but
// not the dataset (formats, the expression library, the group kernels, file
// codecs) includes this alone. The codec's out-of-line parts are in value.cpp.
#pragma once
#include <bit>
#include <cstdint>
#include <cstring>

// ---------------------------------------------------------------------------
// Storage types.

// Strings are str1..str244: the type code is the width in bytes.
constexpr int MAXSTRWIDTH = 244;
// Numeric storage-type codes.
enum : int { ST_BYTE = 251, ST_INT = 252, ST_LONG = 253, ST_FLOAT = 254, ST_DOUBLE = 255 };
constexpr bool isstrtype(int t) { return t >= 1 && t <= MAXSTRWIDTH; }

// Legacy single-missing codes of older files: byte..double.
enum : int { ST_LBYTE = 246, ST_LINT = 247, ST_LLONG = 248, ST_LFLOAT = 249, ST_LDOUBLE = 250 };
constexpr bool isnumtype(int t) { return t >= ST_LBYTE && t <= ST_DOUBLE; }

// Bytes of a cell of the type.
constexpr int typewidth(int type) {
  switch (type) {
    case ST_BYTE: case ST_LBYTE: return 1;
    case ST_INT: case ST_LINT: return 2;
    case ST_LONG: case ST_FLOAT: case ST_LLONG: case ST_LFLOAT: return 4;
    case ST_DOUBLE: case ST_LDOUBLE: return 8;
    default: return type;
  }
}

const char* typename_of(int type);    // "byte", "str12", ...
const char* deffmt_of(int type);      // default display format of a new variable
int typecode(const char* word);       // "byte".."double", "strN": code, else 0
// The narrowest type at least as wide as `type` that holds value exactly
// (`replace`'s promotion).
int promoted_vartype(int type, double value);

// ---------------------------------------------------------------------------
// Missing values: `.` is 2^1023 and `.a`..`.z` follow it in order, the code k
// (0 = `.`, 1 = `.a`, ..., 26 = `.z`) in the third byte of the value's
// big-endian image. Every missing value is larger than every number.

constexpr int NMISSING = 27;                     // `.` and `.a` .. `.z`
inline constexpr double misval = 0x1.0p+1023;    // `.`
inline constexpr double misval_z = 0x1.01ap+1023;  // `.z`, the largest
constexpr bool ismissing(double x) { return x >= misval; }
// The extended missing value number k.
constexpr double misval_k(int k) {
  return std::bit_cast<double>(std::bit_cast<uint64_t>(misval) + (static_cast<uint64_t>(k) << 40));
}
// k of a missing value (0..26), or -1 for a non-missing value; a value above
// `.z` counts as `.`.
constexpr int missing_code(double x) {
  if (!(x >= misval)) return -1;
  const int k = static_cast<int>((std::bit_cast<uint64_t>(x) >> 40) & 0xff);
  return k < NMISSING ? k : 0;
}

// ---------------------------------------------------------------------------
// Limits. The integer types keep their top NMISSING codes for the missing
// values, so the largest value each can hold is a little below the type's
// maximum; the smallest is the negative of the type's maximum.

constexpr long MINBYTEVAL = -127, MAXBYTEVAL = 100;                // int8: 101 .. 127 are the missing codes
constexpr long MININTVAL = -32767, MAXINTVAL = 32740;              // int16: 32741 .. 32767 are the missing codes
constexpr long MINLONGVAL = -2147483647, MAXLONGVAL = 2147483620;  // int32: 2147483621 .. 2147483647 are the missing codes
// The most observations a command that multiplies them (expand, reshape to
// long) may make: the count must itself be a long.
constexpr double MAXNEWOBS = static_cast<double>(MAXLONGVAL);

constexpr int MAXVAR_DEFAULT = 5000;      // variables allowed until `set maxvar` changes it

// Constants of the storage types, written as hexadecimal-float literals so
// that every bit is fixed by the text, not by library arithmetic.
inline constexpr double misval_110 = 0x1.0p+1023;    // legacy double missing: anything >= 2^1023
inline constexpr double misval_107 = 0x1.0p+333;     // double missing of release 107 and older files
inline constexpr double fltmis_110 = 0x1.0p+127;     // legacy float missing: anything >= 2^127
inline constexpr double dbl_eps = 0x1.0p-52;
inline constexpr double flt_eps = 0x1.0p-23;
inline constexpr double dbl_smallest = 0x1.fffffffffffffp-1022;
inline constexpr double dbl_largest = 0x1.fffffffffffffp+1022;  // the largest non-missing double
inline constexpr double dbl_mostneg = -0x1.fffffffffffffp+1023;
inline constexpr double flt_largest = 0x1.fffffep+126;          // the largest non-missing float

// ---------------------------------------------------------------------------
// Cell codecs: the one definition of how each storage type holds a value.

// The extended missing value k (0 = `.`) without a table.
constexpr double cell_misk(int k) { return misval_k(k); }
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
// The cell of storage type `type` at p as a double (`zelta_data`'s rules;
// a string cell reads as `.`).
double cell_get_slow(int type, const unsigned char* p);
inline double cell_get(int type, const unsigned char* p) {
  switch (type) {
    case ST_DOUBLE: { double d; std::memcpy(&d, p, 8); return d; }
    case ST_FLOAT: { float f; std::memcpy(&f, p, 4); return cell_float(f); }
    case ST_LONG: { int32_t i; std::memcpy(&i, p, 4); return i <= MAXLONGVAL ? i : cell_misk(static_cast<int>(i - MAXLONGVAL - 1)); }
    case ST_INT: { int16_t i; std::memcpy(&i, p, 2); return i <= MAXINTVAL ? i : cell_misk(static_cast<int>(i - MAXINTVAL - 1)); }
    case ST_BYTE: { int8_t i = static_cast<int8_t>(*p); return i <= MAXBYTEVAL ? i : cell_misk(static_cast<int>(i - MAXBYTEVAL - 1)); }
    default: return cell_get_slow(type, p);
  }
}
// Writes x into the cell of storage type `type` at p (`store`'s rules; a
// string cell is left alone).
void cell_put(int type, unsigned char* p, double x);
