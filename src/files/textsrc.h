// A plain-text input source for the text readers (infile, insheet): a file
// read through a window of a few megabytes, or text held in memory (data
// lines that follow a command in a do-file). The readers look at the window
// directly; each asks for enough bytes ahead before it scans a value or line.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

// The longest line a record may have (bytes before the line end), and the
// line buffer including the end.
constexpr size_t TS_MAXLINE = 32756;

struct TextSrc {
  std::string fn;          // file name for messages ("" for text in memory)
  int fd = -1;             // open file, -1 for memory or when closed
  std::vector<char> buf;   // the window; bytes pos..len-1 are unread
  size_t pos = 0, len = 0;
  bool eof = false;        // nothing left to read into the window
  int err = 0;             // errno of a failed read (sticky), 0 when none
  long lineno = 0;         // lines handed out by ts_getline so far
};

// Opens file fn. 0, or 601 / 603 printed.
[[nodiscard]] int ts_open(TextSrc& s, const std::string& fn);
// Makes the source read text (already in memory).
void ts_openmem(TextSrc& s, std::string text);
void ts_close(TextSrc& s);
// Reads ahead until at least want unread bytes are in the window or the
// input ends; returns the unread count. A read error ends the input (err set).
size_t ts_fill(TextSrc& s, size_t want);
// The next line without its end ("\n", "\r\n" or "\r" before "\n"): 0, -1 at
// the end of the input, or 611 (printed) for a line over TS_MAXLINE bytes.
int ts_getline(TextSrc& s, std::string& out);
// The next fixed-length record: n bytes with line ends skipped. 0, or -1 when
// the input ends before a first byte; a short last record is returned as is.
int ts_getrecord(TextSrc& s, std::string& out, size_t n);
// Expands each tab to blanks up to the next multiple of 8 columns.
void ts_expandtabs(std::string& line);
