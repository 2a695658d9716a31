// The ZMCL renderer: one stream context per destination interprets the brace
// tags of the text it is sent (colours, layout, characters, paragraphs,
// links), builds lines of display cells of the stream's width and hands each
// finished line to the stream's sinks (console, plain-text logs, capture
// string). ZMCL logs receive the stream's input unchanged.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// Stream modes.
enum : int { SML_ASIS = 1, SML_LINE = 2, SML_PARA = 3, SML_OLDHELP = 4 };
// Destination kinds.
enum : int { SML_RESULTS = 0, SML_VIEWER = 1, SML_LOG = 2 };

// Attribute byte of a display cell: colour in bits 0-2, font in bits 3-4,
// then underline, line drawing and "character made by {c}".
enum : uint8_t {
  SA_RES = 1, SA_TXT = 2, SA_LINK = 3, SA_ERR = 4, SA_INP = 5, SA_HI = 7, SA_COLOR = 7,
  SA_IT = 8, SA_BF = 16, SA_FONT = 24, SA_UL = 32, SA_LINE = 64, SA_CCHAR = 128
};

// Cell bytes below 32 are line-drawing characters (plain forms in smlplain).
enum : char {
  SC_HL = 1, SC_VL, SC_PLUS, SC_TT, SC_BT, SC_LT, SC_RT, SC_TLC, SC_TRC, SC_BLC, SC_BRC
};
extern const char smlplain[32];

// A place a stream's finished lines go to.
struct SmlSink {
  std::FILE* f = nullptr;      // file, or none for the capture string
  std::string* str = nullptr;  // capture string
  bool tty = false;            // render attributes as terminal escapes
  bool zmcl = false;           // receives the stream input instead of lines
  bool on = true;              // paused sinks receive nothing
  int err = 0;                 // errno of the first write to f that failed, 0 when none
};

// Longest line buffer; lines are at most 255 columns, the rest is room for
// multi-byte characters of the user's text.
constexpr int SMLBUF = 1024;
// Longest incomplete tag held back until the rest of it arrives.
constexpr size_t SMLHOLDMAX = 1024;
// Deepest nesting of colon texts that is interpreted.
constexpr int SMLMAXDEPTH = 64;

struct SmlStream;
// Asks the user at a full screen; returns 0 to continue, 1 for one line only,
// -1 to stop.
using SmlMoreFn = int (*)(SmlStream* s);

struct SmlStream {
  int kind = SML_RESULTS;   // destination kind
  int mode = SML_LINE;      // SML_ASIS ... SML_OLDHELP
  int width = 80;           // line width, 40 to 255
  int col = 0;              // display column of the line being built
  uint8_t attr = SA_TXT;    // current colour, font and underline
  // the line being built: bytes and their attributes
  char line[SMLBUF + 2];
  uint8_t lat[SMLBUF + 2];
  char lbox[SMLBUF + 2];    // line-drawing code of cells with SA_LINE (line holds
                            // their plain form, so plain sinks write it as is)
  int llen = 0;             // bytes in line
  int lsent = 0;            // bytes already written out by a flush
  // paragraph settings and the word being collected
  int pind1 = 0, pind2 = 0, pmarg = 0;
  bool pfirst = true;       // the next word starts a paragraph line
  bool phas = false;        // a word is already on the current paragraph line
  char word[SMLBUF + 2];
  uint8_t wat[SMLBUF + 2];
  int wlen = 0, wcols = 0;  // bytes and display columns of the word
  int srcblanks = 0;        // source blanks since the last word
  int nls = 0;              // line ends since the last word (2 ends the paragraph)
  bool lastpunct = false;   // previous word ended in . ! ? or :
  int bind = 0;             // inside {bind:} or {space}: blanks join the word
  // interpreter state
  int depth = 0;            // nesting of colon texts
  int inlink = 0;           // inside a link's text
  bool swallownl = false;   // a line end right after {p_end} or {.-} is dropped
  bool contline = false;    // {...}: the next line end is dropped
  bool zmclpend = false;    // "{zmcl}" seen, a following line end is dropped
  int zmatch = 0;           // as-is mode: characters of "{zmcl}\n" matched
  std::string hold;         // text of an incomplete tag held for the next send
  std::vector<char>* meas = nullptr;     // measuring: cells go here
  std::vector<uint8_t>* measat = nullptr;
  // more
  int morelines = 0;        // lines since the last pause
  int pagelen = 0;          // lines per screen; 0 = no paging
  SmlMoreFn morefn = nullptr;
  bool moreonce = false;    // pause again after one line
  int stop = 0;             // the user asked to stop: sends do nothing
  // two-column tables: first indent, second column, continuation, margin
  int p2[4] = {4, 21, 23, 2};
  int syn = 20;             // first-column width of option tables
  // destinations
  std::vector<SmlSink> sinks;
  bool needattr = true;     // a sink shows attributes: cell attributes are kept
  int charset = 0;          // 0 Latin-1, 1 Mac
  // c() values for {ccl}
  bool (*ccl)(const char* name, std::string& value) = nullptr;
};

SmlStream* smlopen(int kind, int width);
void smlclose(SmlStream* s);
// Interprets len bytes of ZMCL text. Returns the stop flag.
int smlsend(SmlStream* s, const char* text, size_t len);
// Escapes braces and sends (as-is mode sends unchanged).
int smlsendraw(SmlStream* s, const char* text, size_t len);
// Writes what is pending (the partial line, a held tag) to the sinks.
void smlflush(SmlStream* s);
// Sends the colour tag when the stream's colour differs.
int smlcolorset(SmlStream* s, int color);
void smlset_maxwidth(SmlStream* s, int width);
// Counts a shown line and pauses at a full screen.
void smlmore(SmlStream* s);
// Back to line mode, text colour, no pending state; the stop flag is cleared.
void smlreinitialize(SmlStream* s);
// After a stop: drops what was not shown yet (the pending word, the unsent
// part of the line, a held tag), ends a partly shown line, returns to line
// mode and clears the stop flag.
void smlabandon(SmlStream* s);
// Writes the stream state as ZMCL to a freshly attached ZMCL log.
void smlwritestate(SmlStream* s, std::FILE* f);

// The character of a {c} code: cell byte and attribute bits; false if unknown.
bool smlcharcode(const char* code, size_t len, int charset, char* ch, uint8_t* at);
