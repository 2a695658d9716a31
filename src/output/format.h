// Display formats: the grammar of format texts (`%9.0g`, `%10.2fc`, `%-12s`,
// `%td`, ...), their validation, the conversion of a double into text under a
// format (`sreforms`, numbers, dates, hexadecimal) and the padding of strings
// to a string format. The `format` and `display` commands live in display.cpp.
#pragma once
#include <string>

// A format text holds at most 11 characters; a variable's slot adds the NUL.
constexpr int FMTLEN = 12;
constexpr int FMTMAXW = 244;   // widest format
constexpr int FMTRENDW = 26;   // widest field rendered; the rest is padding

// Kinds for chkfmt/getfmt: which formats are acceptable.
enum : int {
  FMTK_NUM = 1,      // numeric and date formats
  FMTK_STR = 2,      // string formats
  FMTK_ANY = 3,      // either
  FMTK_CENTRE = 10,  // added to a kind: the centring `~` is allowed
};

// The facts of one format, filled by chkfmt (validation) and unloadf (rendering).
struct FmtInfo {
  int just = 1;           // 1 right, -1 left (`%-`), 0 centred (`%~`, strings only)
  int width = 0;          // w: 1..244 (for dates, the computed width)
  int decimals = 0;       // d: 0..w-1
  char notation = 'g';    // rendering family: 'g' or 'f'
  char letter = 'g';      // e f g s x H L, or d for date and %t formats
  char comma = ' ';       // 'c' for %w.dfc and %w.dgc
  bool deccomma = false;  // `,` between w and d (`%9,2f`)
  bool leadzero = false;  // %0w.df: pad with zeros (plain f only)
  int extrawidth = 0;     // w above 26: padding added to a 26-wide field
  bool swap = false;      // exchange `.` and `,` in the result
  char tsunit = 0;        // %t formats: d w m q h y (0 for plain %d)
  char codes[FMTLEN] = {0};  // date codes to print (defaults filled in)
};

// Settings owned here.
struct FormatState {
  bool dpcomma = false;    // `set dp comma`: decimal comma everywhere
  std::string buf;         // the shared output buffer of sreforms
};
extern FormatState fmts;

// Validates fmt for the given kind; fills *out when given. 0 valid, 1 not.
int chkfmt(const char* fmt, int kind, FmtInfo* out = nullptr);
// Fills the rendering facts of fmt (width capped at 26 with the rest as
// extra width, the swap flag from the format or `set dp`). 0 valid, 1 not.
int unloadf(const char* fmt, FmtInfo* out);
// Reads the next token as a format (the `%` is put in front when missing),
// validates it and copies it to dst (FMTLEN bytes). Returns -1 when invalid,
// 2 for a string format, 1 otherwise; the tokenizer stays behind the token.
int getfmt(char* dst, int kind);

// Renders value under fmt into fmts.buf and returns it (valid until the next
// call). An invalid format renders under %9.0g.
const char* sreforms(const char* fmt, double value);
// The same into a caller's string (appended).
void sreforms_app(const char* fmt, double value, std::string& dst);

// The string format with fmt's width and justification (`%9s` when fmt is
// invalid) into dst (FMTLEN bytes).
void strfmt(const char* fmt, char* dst);
// The width of fmt; 9 when invalid.
int strfmtwid(const char* fmt);
// A run of blanks as wide as fmt (valid until the next call).
const char* blanksoffmt(const char* fmt);
// Widens an e, f or g format in place to width (capped at 244) when wider
// than its own; the `-` and `0` marks are dropped. Returns 1 when rewritten.
int fixfmt(char* fmt, int width);
// Appends str padded to the string format fmt (right, left or centred); an
// invalid or non-string format, or a string at least as wide, adds str as is.
void dispstr(const char* str, const char* fmt, std::string& dst);

// An integer with its digits grouped by commas ("-1,234,567"), as the
// dataset headers show counts and sizes.
std::string fmt_commas(long n);

// Dates: days since 01jan1960 <-> calendar date (proleptic Gregorian).
void fmt_dmy(long long days, long long* year, int* month, int* day);
long long fmt_mdy(long long year, int month, int day);

// The `display` command run into a string instead of the screen (the
// `display` extended macro function): parses the directives from the current
// tokenizer position. Returns 0 or a return code.
[[nodiscard]] int display_tomacro(std::string& dst, size_t maxlen);
