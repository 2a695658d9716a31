// The command-line tokenizer: one cursor over a NUL-terminated text, with
// caller-chosen separator sets, simple and compound double quotes, one pushed
// token, and saved positions so parsers can look ahead and back off.
#pragma once
#include <cstddef>
#include <string>

constexpr int TOKLEN = 504;  // token buffer; tokens hold at most 503 bytes

// Separator sets; the blank is always first.
extern const char prsestd[];  // commands and general parsing
extern const char prseopt[];  // option names and arguments (no - and +)
extern const char prsenum[];  // number lists in options
extern const char prsefls[];  // file names

struct TokState {
  const char* pos = nullptr;        // next unread byte
  const char* laststart = nullptr;  // where the most recent token began
  bool pushed = false;              // token buffer holds a token to return again
  bool retpushed = false;           // the last call returned a pushed token
  char token[TOKLEN] = {0};
};
extern TokState tok;

struct TokPos {
  const char* pos;
  const char* laststart;
};

void settok(const char* text);
const char* gettok(const char* seps);
// Like gettok but into a caller buffer with no 503-byte cut.
void gettoklong(std::string& dst, const char* seps);
void ungettok();
void pushtok(const char* text);
void stattok(TokPos* saved);
void resettok(const TokPos* saved);
void borrow_gettok(TokState* saved);
void return_gettok(const TokState* saved);
const char* wheretok();
const char* lwheretok();
int gettok_next_char();
const char* peektok_chr();
void trimtok(int c);
void trimtokwhite();
// Reads a file name (quotes removed) into dst; 0 or 7197.
[[nodiscard]] int gettokfn(std::string& dst);
// The next token must be exactly the character c: 0, the Break flag, or 198.
[[nodiscard]] int gtokis(int c);
// Finds a quoted string at text (or at the last token start when text is
// null). 0 found, 1 none or unterminated.
int parse_quoted_string(const char* text, const char** start, const char** end, const char** after);
const char* pcompoundquotes(const char* p, int* open);
const char* psimplequotes(const char* p, int* open);
const char* pbrackets(const char* p, int* open);
