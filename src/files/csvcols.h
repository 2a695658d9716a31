// What insheet's scan learns about each column of a delimited file, the
// tokens that stand for a missing value, and the scan of a file without
// quotes in blocks, one per core, whose findings are then joined in file
// order.
#pragma once
#include <cstddef>
#include <cstring>
#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "files/bigmem.h"

// A column's numbers of one block of rows.
struct CsvPart {
  std::shared_ptr<BigMem> mem;  // n doubles
  size_t n = 0;
  const double* vals() const { return reinterpret_cast<const double*>(mem->data()); }
};

// What the scan learns about one column.
struct CsvCol {
  std::string head;          // the header text ("" without a header)
  bool text = false;         // some field is not a number
  bool allint = true;        // every number is an integer
  double lo = 0, hi = 0;     // smallest and largest number
  bool any = false;          // some number was seen
  size_t maxlen = 0;         // longest field (bytes, quotes undone)
  std::vector<double> vals;  // the numbers by row while the column is numeric
  // The numbers by row when the rows were scanned in blocks: block after
  // block in file order (vals is then unused).
  std::vector<CsvPart> parts;
  bool floatok = true;       // every number is exactly a float
  bool numbers = false;      // some field is a number (kept after text is seen)
  std::string bad;           // the first field that is not a number
  long badline = 0;          // its line

  // Notes number x (not missing) in the column's facts.
  void take(double x) {
    if (!any) lo = hi = x, any = true;
    numbers = true;
    lo = std::min(lo, x);
    hi = std::max(hi, x);
    if (allint && x != std::trunc(x)) allint = false;
    if (floatok && static_cast<double>(static_cast<float>(x)) != x) floatok = false;
  }
};

// The tokens that stand for a missing value in a numeric column besides an
// empty field and `.`, `.a`..`.z`: `NA` and those named by missing().
struct MissTokens {
  std::vector<std::string> words{"NA"};
  // True when the field's bytes are one of the tokens.
  bool has(const char* p, size_t n) const {
    for (const std::string& w : words)
      if (w.size() == n && std::memcmp(w.data(), p, n) == 0) return true;
    return false;
  }
};

// Scans the rows of buf[from, len), a text with no double quote, into cols
// (one per field of the first row, already made) as the one-at-a-time scan
// does: *nrows gets the number of rows, the columns their facts and numbers
// (in parts). firstline is the line number at from. Blocks of about the
// same size, cut at line ends, are scanned on separate threads when the text
// is large. 0, 1 (a Break, polled every few thousand rows), or 198 printed
// for the first row (in file order) with more fields than the first line.
int csv_scanblocks(const char* buf, size_t from, size_t len, char delim, long firstline, const MissTokens& mt,
                   const std::string& fn, std::vector<CsvCol>& cols, long* nrows);
