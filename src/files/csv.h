// Delimited text (comma- or tab-separated values): the field scanner shared
// by insheet and the tests. A field is either plain text up to the next
// delimiter or line end, or a quoted text in which a doubled quote stands for
// one quote and delimiters and line ends are ordinary characters.
#pragma once
#include <cstddef>
#include <string>

struct CsvField {
  const char* p = nullptr;  // the field's bytes (inside the quotes when quoted)
  size_t n = 0;             // their count
  bool quoted = false;      // the field was quoted
  bool escapes = false;     // it holds doubled quotes (see csv_text)
};

struct CsvScan {
  const char* buf = nullptr;  // the whole text
  size_t len = 0;
  size_t pos = 0;             // next unread byte
  char delim = ',';
  long line = 1;              // physical line of pos (for messages)
};

// Scans the field at s.pos. Returns 0 with *endrow telling whether the field
// ended its row (line end or end of text), or 1 when a quote is not closed
// (s.line is then the line where the field began). Unquoted fields lose
// their leading and trailing blanks; a quote after leading blanks opens a
// quoted field; text after a closing quote up to the delimiter is ignored.
int csv_field(CsvScan& s, CsvField& f, bool* endrow);
// Skips empty lines (and lines of blanks) at s.pos; false at the end of text.
bool csv_rowstart(CsvScan& s);
// The field's text with doubled quotes made single.
std::string csv_text(const CsvField& f);
