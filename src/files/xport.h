// The version 5 transport format (the regulators' exchange format): a file of
// 80-byte records holding a library header, then one member (a dataset) with
// its descriptor, one 140-byte "namestr" per variable, and the observations
// as fixed-width fields: numbers in IBM hexadecimal floating point (8 bytes,
// or 2 to 7 bytes cut from the right), text blank-padded. This file owns the
// byte layout and the number conversion; the commands that move a dataset in
// and out of it are in xportcmd.cpp.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr size_t XPT_NAMELEN = 8;    // variable, dataset and format names
constexpr size_t XPT_LABELLEN = 40;  // variable and dataset labels
constexpr int XPT_MAXSTR = 200;      // widest character field
constexpr int XPT_MAXVARS = 9999;    // variables of one member (a 4-digit count)

struct XptVar {
  std::string name;      // up to 8 bytes, trailing blanks removed
  std::string label;     // up to 40 bytes
  bool isstr = false;    // character (else numeric)
  int len = 8;           // bytes in the observation: numbers 2..8, text 1..200
  std::string fmt;       // display format name ("" none), e.g. BEST, F, DATE, $
  int fmtw = 0, fmtd = 0;  // its width and decimals (0 = not given)
  int pos = 0;           // offset of the field in the observation
};

struct XptData {
  std::string dsname;    // member name, up to 8 bytes
  std::string dslabel;   // member label, up to 40 bytes
  std::string created;   // "ddMMMyy:hh:mm:ss" of the member
  std::vector<XptVar> vars;
  long nobs = 0;
  // Values, one column per variable (num for numeric ones, str for text ones;
  // the other is empty). Numbers are doubles with this system's missing
  // values: `.` and `.A`..`.Z` become `.` and `.a`..`.z`; `._`, which has no
  // counterpart, becomes `.` and is counted in nunderscore.
  std::vector<std::vector<double>> num;
  std::vector<std::vector<std::string>> str;
  long nunderscore = 0;  // `._` values read as `.`
  int nmembers = 0;      // members seen in the file (only the first is read)
};

// The IBM double of x into 8 bytes at p (most significant first). Missing
// values become their transport code. Returns 0 when the value is held
// exactly, 1 when it was rounded (below the smallest IBM magnitude, rounded
// to the nearest representable value or zero) and 2 when it exceeds the
// largest IBM magnitude (written as that magnitude with x's sign).
int xpt_putnum(unsigned char* p, double x);
// The value of an IBM number of len bytes (2..8) at p, with missing codes.
double xpt_getnum(const unsigned char* p, int len, bool* underscore);

// Lays out the whole file (header, member, namestrs, observations) in out;
// v.pos is set by this routine from the order of the variables. Returns the
// counts of values rounded and of values too large (as xpt_putnum) through
// *nround and *nbig.
void xpt_build(XptData& d, std::vector<unsigned char>& out, long* nround, long* nbig);

// Reads the first member of a file image (n bytes at p) into d. 0, or a code
// with msg set to the reason (no message printed): 610 not a transport file
// of version 5, 612 the file ends early, 688 a corrupt descriptor.
[[nodiscard]] int xpt_parse(const unsigned char* p, size_t n, XptData& d, std::string& msg);
