// XML forms of a dataset: this system's own dataset document (every type,
// format, label, value label and characteristic, values written so that
// they read back exactly) and the spreadsheet form (a workbook of one
// worksheet, variable names in its first row) that spreadsheet programs
// open. Files are parsed with expat; a document type declaration (and with
// it every entity declaration) is refused, so no entity is ever expanded.
// The commands are in xmlcmd.cpp; this file works on an image of the data.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

#include "data/vlabel.h"

struct XmlVar {
  std::string name;
  int type = 0;         // storage type (spreadsheet: 0 until the columns are seen)
  std::string fmt;      // display format ("" = the type's default)
  std::string lbl;      // value-label name
  std::string varlab;   // variable label
};

struct XmlChar {
  std::string owner, name, text;  // owner is a variable name or _dta
};

struct XmlData {
  std::string datalbl;
  std::vector<XmlVar> vars;
  long nobs = 0;
  // One column per variable: num for numeric ones (this system's missing
  // values), str for strings; the other one is empty.
  std::vector<std::vector<double>> num;
  std::vector<std::vector<std::string>> str;
  std::vector<XmlChar> chars;
  std::vector<std::pair<std::string, ValueLabel>> labels;
};

// The dataset document of d (legible: indented, one element a line).
void xml_writedata(const XmlData& d, bool legible, std::string& out);
// The spreadsheet document of d: names in the first row, then one row an
// observation (missing numbers as empty cells).
void xml_writesheet(const XmlData& d, std::string& out);

// Parses a document of the given kind (0 either, 1 dataset, 2 spreadsheet)
// into d. 0, or a code with msg set (nothing printed): 610 for a document
// that is not well formed, declares a document type, or is not of the kind;
// 688 for values that contradict the declarations.
[[nodiscard]] int xml_parse(const char* p, size_t n, int kind, XmlData& d, std::string& msg);
