// Spreadsheet workbooks (.xlsx): the reader turns one sheet's cells into a
// list (xlsxread.cpp, through libzip and expat), the writer makes a workbook
// of variables (xlsxwrite.cpp, through libxlsxwriter and the atomic-file
// path), and xlsxcmd.cpp holds the `xlsimport` and `xlsexport` commands.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// What a cell holds. Formulas come as their cached values; errors, empty
// cells and the covered cells of merged ranges are absent (missing).
enum class XlsxKind : unsigned char { Number, Date, Text, Bool };

struct XlsxCell {
  uint32_t row = 0, col = 0;  // 0-based, relative to the range read
  XlsxKind kind = XlsxKind::Number;
  double num = 0;             // Number, Bool (0/1) and Date (days since 01jan1960, with the time as a fraction)
  std::string text;           // Text
};

// A block of cells: first row and column and last ones (0-based, inclusive;
// a last of UINT32_MAX means "to the end").
struct XlsxRange {
  uint32_t r0 = 0, c0 = 0;
  uint32_t r1 = UINT32_MAX, c1 = UINT32_MAX;
};

// Largest sheet a workbook can hold (rows, columns).
constexpr uint32_t XLSX_MAXROWS = 1048576, XLSX_MAXCOLS = 16384;

// The reader's limits, lowered by the fuzz target.
struct XlsxLimits {
  uint64_t maxentry = uint64_t{4} << 30;  // bytes of one decompressed part read at most
  uint64_t maxcells = 400000000;          // cells kept at most
};
extern XlsxLimits xlsxlim;

// Parses "A1:F100", "B3" (from there on) or "A1:" into r. False when the
// text is not a cell or range inside the largest sheet.
bool xlsx_parserange(const std::string& text, XlsxRange& r);
// The column letters of 0-based column c ("A", "AB", ...).
std::string xlsx_colname(uint32_t c);

// Reads sheet (the first sheet when "") of file fn: the cells inside range,
// in no set order, positions relative to the range's corner. 0, or 601
// (not found), 603 (cannot be opened), 610 (not a workbook, damaged, no
// such sheet), 611 (over the limits), printed.
[[nodiscard]] int xlsx_read(const std::string& fn, const std::string& sheet, const XlsxRange& range,
                            std::vector<XlsxCell>& cells);

// Options of the writer.
struct XlsxWriteOpts {
  std::string sheet = "Sheet1";  // the sheet's name
  int firstrow = 0;              // 0 no header row, 1 variable names, 2 variable labels (names where none)
  bool labels = true;            // value labels instead of codes
};
// Writes observations 1..nobs of vars to a new workbook fn, replacing it as
// one step (the old file stays on any failure). 0 or a printed code.
[[nodiscard]] int xlsx_write(const std::string& fn, const std::vector<int>& vars, const XlsxWriteOpts& o);
