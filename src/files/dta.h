// The .dta dataset file: the layout of every release, the reader's view of an
// open file (header, descriptors, characteristics, then records read a block
// at a time), the writer, and value-label tables in their file form. Shared by
// use/save, describe using, append and merge; every field goes through the
// byte-order helpers of byteorder.h.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// The facts that differ between releases.
struct DtaRelease {
  int release;
  int hdrlen;      // header bytes
  int namew;       // variable and value-label name fields
  int fmtw;        // display-format fields
  int varlabw;     // variable-label fields
  int datalblw;    // dataset-label field
  int explen;      // expansion-field length bytes: 0 none, 2 or 4
  int vlform;      // value labels: 0 the old form, 1 tables with 12-byte names, 2 with 36
  bool letters;    // type codes are letters (b i l f d, 127+N for strings)
  bool legacy;     // one missing value per type (releases 111 and older)
  bool dbl333;     // double missing written as 2^333 (107 and older)
};
// The layout of a readable release, nullptr for any other.
const DtaRelease* dta_release(int release);

// One variable of a file.
struct DtaVar {
  int type = 0;         // store type: modern, or legacy 246..250 for old releases
  int width = 0;        // bytes in a record
  long off = 0;         // offset in a record
  std::string name, fmt, lblname, varlab;
};

struct DtaChar {
  std::string owner, name, text;
};

// A value label in file form: values ascending, one text each.
struct DtaLabel {
  std::string name;
  std::vector<int32_t> vals;
  std::vector<std::string> txts;
};

// The reader's state for one open file.
struct DtaIn {
  std::string fn;          // file name as given (for messages)
  int fd = -1;
  const DtaRelease* rel = nullptr;
  bool hilo = true;        // the file's byte order
  bool swap = false;       // the file's order differs from this machine's
  bool keeporder = false;  // dta_readrecs leaves numbers in the file's order (its caller swaps)
  int nvar = 0;
  long nobs = 0;
  std::string datalbl, stamp;
  std::vector<DtaVar> vars;       // in file order
  std::vector<int> srt;           // sort keys: 1-based file variable numbers
  std::vector<DtaChar> chars;     // characteristics of the expansion fields
  long lrecl = 0;                 // bytes per record
  long datastart = 0;             // file offset of the first record
  long nread = 0;                 // records handed out so far
  bool renamed = false;           // some names were changed (old releases)
  std::vector<std::string> oldnames;  // the names as in the file, when renamed
  // Buffered input.
  std::vector<unsigned char> buf;
  size_t bpos = 0, blen = 0;
  uint64_t filesize = 0;
};

// Opens fn and reads everything up to the data (header, descriptors,
// variable labels, expansion fields). Prints the message and returns the code
// on failure (601, 603, 609, 610, 688, 692, 900, 1000), closing the file.
[[nodiscard]] int dta_open(DtaIn& f, const std::string& fn);
// Reads up to n records into dst (n * f.lrecl bytes), numeric fields put into
// this machine's order unless f.keeporder. *got is the count read (0 at the end). 0 or 692 (the
// file ends inside the data).
[[nodiscard]] int dta_readrecs(DtaIn& f, unsigned char* dst, long n, long* got);
// True when field v is held in a record exactly as in a cell, up to the
// byte order: a string, or a number of release 112 or later.
bool dta_cellfield(const DtaVar& v);
struct ColView;
// Copies field v (such a field) of n records at blk, numbers in the file's
// byte order, into observations obs.. of column col.
void dta_copyfield(const DtaIn& f, const DtaVar& v, const ColView& col, const unsigned char* blk, long n, long obs);
// Reads the records not yet read into their observations of variables
// 1..nvar (made, with room for them), every field a cell field, in pieces
// on both cores when the data are large. 0, 1 (Break: the cells are partly
// written) or 692 printed.
[[nodiscard]] int dta_loadall(DtaIn& f);
// Reads the n records from record first (0-based) into observations obs0..
// of variables 1..nvar (with room for them), every field a cell field, as
// dta_loadall does; only the variables k + 1 with want[k] set when want is
// given. 0, 1 (Break) or 692 printed.
[[nodiscard]] int dta_loadrange(DtaIn& f, long first, long n, long obs0, const std::vector<char>* want);
// Reads the value-label section (after the last record). Entries that do not
// fit are skipped; 0, or 688 for a malformed table.
[[nodiscard]] int dta_readlabels(DtaIn& f, std::vector<DtaLabel>& out);
void dta_close(DtaIn& f);
// Fills file name fn with ".dta" when it has no extension.
std::string dta_fname(const std::string& fn);

// The bytes per record for a store type.
int dta_width(int type);

// Writing.
struct DtaOutOpts {
  int release = 113;       // 113, 111 or 110
  bool nolabel = false;    // no value labels
  bool orphans = false;    // all value labels, not only those in use
  bool all = false;        // keep the estimation-sample variable
};
// " 4 Dec  2026 06:19": the time stamp of a file written now.
std::string dta_timestamp();
// Writes the dataset in memory to fn (replacing it only when the write
// succeeds). stamp receives the time stamp written. 0 or a printed code.
[[nodiscard]] int dta_write(const std::string& fn, const DtaOutOpts& o, std::string& stamp);

// Value labels between the file form and the label store.
// Installs labels read from a file; labels already defined are kept.
void dtalbl_install(const std::vector<DtaLabel>& labels);
// The labels to write: those named by some variable, or all with orphans.
void dtalbl_collect(bool orphans, const std::vector<int>& vars, std::vector<DtaLabel>& out);
// Builds the table bytes of one label (n, txtlen, off[], val[], txt) in the
// given byte order.
std::vector<unsigned char> dtalbl_table(const DtaLabel& l, bool hilo);
// Parses table bytes into a label; false when malformed.
bool dtalbl_parse(const unsigned char* p, size_t len, bool hilo, DtaLabel& l);

// The value of a numeric field (this machine's order) of store type `type`;
// dbl333 reads 2^333 in a legacy double as missing.
double dta_decode(int type, const unsigned char* p, bool dbl333);
// Writes x (a value the store gives for a variable of this type) as a field
// of type `type` in this machine's order; legacy writes the single missing code.
void dta_encode(int type, double x, bool legacy, unsigned char* p);

// The modern type of a legacy storage type (others unchanged) and back.
inline int dta_modern(int t) { return t >= 246 && t <= 250 ? t + 5 : t; }
inline int dta_legacy(int t) { return t >= 251 && t <= 255 ? t - 5 : t; }
