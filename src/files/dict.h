// Dictionaries of infile: the description of a fixed- or free-layout text
// file (each variable's type, name, value label, input format, line and
// column, and the record layout), parsed one line at a time so that the
// dictionary can come from a .dct file (with the data after it) or from the
// lines of a do-file.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Limits of the dictionary language.
constexpr int DICT_MAXLINE = 32000;   // _line, _lines, _firstlineoffile, _newline target
constexpr int DICT_MAXCOL = 32767;    // _column
constexpr int DICT_MAXLRECL = 32765;  // _lrecl
constexpr int DICT_MAXNUMW = 30;      // width of a numeric input format
constexpr int DICT_MAXSTRW = 244;     // width of a string input format
constexpr size_t DICT_MAXLABEL = 80;  // variable label text

struct DictVar {
  int type = 0;          // storage type
  std::string name;      // variable name
  std::string lblname;   // value label (numeric variables only), "" for none
  std::string varlab;    // variable label, cut to 80 bytes
  char kind = 'f';       // input format: 'f' numeric, 's' string, 'S' string with its blanks
  int width = 0;         // field width in bytes, 0 = free (the next word)
  int dec = 0;           // implied decimal places
  int line = 1;          // line within the observation (1-based)
  int col = 0;           // starting column (1-based), 0 = after the previous field
  int skip = 0;          // columns skipped before the field
  int order = 0;         // position in the dictionary (ties between lines)
};

// One value label mapping carried by a dictionary in a comment line
// `* label define name # "text"`, which other readers pass over.
struct DictLabel {
  std::string name;   // value label
  int32_t value = 0;  // the value
  std::string text;   // its text
};

struct Dict {
  std::string usingfn;       // data file named in the dictionary, "" when none
  std::vector<DictLabel> labels;  // value label mappings, in file order
  int lrecl = 0;             // record length, 0 = records end at line ends
  int lines = 0;             // lines per observation as declared, 0 = as used
  int firstline = 1;         // line of the data file where data begin
  std::vector<DictVar> vars; // entries ordered by line, then appearance
  int nlines() const;        // lines per observation in effect
};

// The parser's progress through the lines of a dictionary.
struct DictParse {
  Dict d;
  int stage = 0;        // 0 before `dictionary`, 1 before `{`, 2 in the entries, 3 done
  bool sawinfile = false;
  int curline = 1;      // line the next field is on
  int pendcol = 0;      // column of the next field (0 none)
  int pendskip = 0;     // columns to skip before the next field
  bool setlrecl = false, setlines = false, setfirst = false;
};

// Feeds one line. 0 (more lines wanted unless p.stage == 3), or a printed
// code: 613 (no `dictionary`), 614 (malformed item), 120 (bad input format),
// 181 (value label on a string), 110 (repeated name), 198 (bad data-file name).
[[nodiscard]] int dict_line(DictParse& p, const std::string& line);
// Ends the dictionary text: 0 when the closing brace was seen (entries put in
// reading order), else 612 printed.
[[nodiscard]] int dict_end(DictParse& p);

struct TextSrc;
struct TextLoad;
struct TlRange;
// Reads the data under the dictionary into the loader's variables (one per
// entry, in entry order). 0, or a printed code (611, 1 for a Break, 901); a
// file that ends inside an observation prints the message of 612 and still
// succeeds.
[[nodiscard]] int dict_read(const Dict& d, TextSrc& s, TextLoad& t, const TlRange& r);

// After the dictionary has been read from s (rc is how that went): switches s
// to the data file, which is `datafn` when the command named one (hasdata),
// else the dictionary's own `using` file; with neither the data follow the
// dictionary in s. 0, or a printed code with s closed.
[[nodiscard]] int dict_switchdata(TextSrc& s, int rc, const std::string& dictusing, bool hasdata,
                                  const std::string& datafn);
// The `if` and `in` after the file name, read once the variables exist.
// 0 or a printed code.
[[nodiscard]] int dict_range(const std::string& text, TlRange& r);
// Creates the dictionary's variables (types, value-label names, variable
// labels) and lists their numbers in vars. 0 or a printed code.
[[nodiscard]] int dict_makevars(const Dict& d, std::vector<int>& vars);
// Defines the value labels a dictionary carries, each replacing a table of
// its name. 0 or a printed code.
[[nodiscard]] int dict_labels(const Dict& d);
