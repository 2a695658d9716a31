// Tokenizer over the command line. A quoted token is stored as a double-quote
// byte followed by its contents (no closing quote), for both quote kinds, so
// callers recognise quoted tokens by their first byte. The tokens, given a set
// of separators `seps` (prsestd, prseopt, ... below):
//   token    -> string | sep | sep '=' | word
//   string   -> '"' chars '"' | '`"' (chars | string)* '"\''   (compound quotes nest)
//   sep      -> any one character of seps; '<=' '>=' '==' '!=' '~=' are one token
//   word     -> (any character not in seps, not NUL)+
// Blanks before a token are skipped; a token longer than the buffer is cut and
// its rest read as the next token.
#include "interp/tokenizer.h"

#include <cstring>

#include "output/rc.h"
#include "platform/platform.h"

TokState tok;

constexpr char prsestd[] = " \\\"'`~:;,<>/?!@|#$%^&*()-+=[]{}";
constexpr char prseopt[] = " \\\"'`~:;,<>/?!@|#$%^&*()=[]{}";
constexpr char prsenum[] = " \\\"'`~:;,<>/?!@|#$%^&*()=[]{}";
constexpr char prsefls[] = " \"'`;,<>()=[]{}|";

static constexpr int QUOTEMAX = 502;  // longest contents of a quoted token
static int gtokis_polls = 0;
static constexpr int POLLRATE = 100;

// Starts reading the text (nullptr: an empty line); forgets a pushed-back token.
void settok(const char* text) {
  tok.pos = text;
  tok.laststart = nullptr;
  tok.pushed = false;
  tok.retpushed = false;
}

// The standard separator sets as byte tables, built once: a token's every
// byte is tested against its set, and a table beats a search of the set.
namespace {
struct SepTable {
  bool in[256] = {};
  constexpr explicit SepTable(const char* seps) {
    for (const char* p = seps; *p; ++p) in[static_cast<unsigned char>(*p)] = true;
  }
};
constexpr SepTable septab_std(prsestd), septab_opt(prseopt), septab_fls(prsefls);
}  // namespace

// True when c is one of the separators (NUL is none).
static bool issep(int c, const char* seps) {
  if (seps == prsestd) return septab_std.in[static_cast<unsigned char>(c)];
  if (seps == prseopt || seps == prsenum) return septab_opt.in[static_cast<unsigned char>(c)];
  if (seps == prsefls) return septab_fls.in[static_cast<unsigned char>(c)];
  return c && std::strchr(seps, c) != nullptr;
}

// token -> string | sep ['='] | word, scanned at p into put (cap characters at
// most including the NUL, 0 = unlimited into a std::string). Returns the
// position after the token.
template <typename Sink>
static const char* scan(const char* p, const char* seps, Sink&& put, int cap) {
  int n = 0;
  auto add = [&](char c) {
    if (cap == 0 || n < cap) {
      put(c);
      ++n;
      return true;
    }
    return false;
  };
  if (*p == '"') {
    add('"');
    ++p;
    int len = 0;
    while (*p && *p != '"') {
      if (cap && len >= QUOTEMAX) return p;  // the rest of the string stays in the text
      add(*p++);
      ++len;
    }
    if (*p == '"') ++p;
    return p;
  }
  if (p[0] == '`' && p[1] == '"') {
    add('"');
    p += 2;
    int depth = 1, len = 0;
    while (*p) {
      if (p[0] == '`' && p[1] == '"') {
        ++depth;
      } else if (p[0] == '"' && p[1] == '\'') {
        if (--depth == 0) {
          p += 2;
          return p;
        }
        if (cap && len + 2 > QUOTEMAX) return p;
        add(*p++);
        add(*p++);
        len += 2;
        continue;
      }
      if (cap && len >= QUOTEMAX) return p;
      add(*p++);
      ++len;
    }
    return p;
  }
  if (issep(static_cast<unsigned char>(*p), seps)) {
    add(*p);
    if (p[1] == '=' && std::strchr("<>=!~", *p)) {
      add('=');
      return p + 2;
    }
    return p + 1;
  }
  while (*p && !issep(static_cast<unsigned char>(*p), seps)) {
    if (cap && n >= cap) return p;  // an overlong word is cut; the rest is the next token
    add(*p++);
  }
  return p;
}

// The next token (a pushed-back one first) in the tokenizer's buffer, at most
// TOKLEN - 1 characters; "" at the end of the line.
const char* gettok(const char* seps) {
  if (tok.pushed) {
    tok.pushed = false;
    tok.retpushed = true;
    return tok.token;
  }
  tok.retpushed = false;
  if (!tok.pos) {
    tok.token[0] = 0;
    return tok.token;
  }
  while (*tok.pos == ' ') ++tok.pos;
  tok.laststart = tok.pos;
  int n = 0;
  tok.pos = scan(tok.pos, seps, [&](char c) { tok.token[n++] = c; }, TOKLEN - 1);
  tok.token[n] = 0;
  return tok.token;
}

// The next token as gettok, of any length, into dst.
void gettoklong(std::string& dst, const char* seps) {
  dst.clear();
  if (tok.pushed) {
    tok.pushed = false;
    tok.retpushed = true;
    dst = tok.token;
    return;
  }
  tok.retpushed = false;
  if (!tok.pos) return;
  while (*tok.pos == ' ') ++tok.pos;
  tok.laststart = tok.pos;
  tok.pos = scan(tok.pos, seps, [&](char c) { dst.push_back(c); }, 0);
}

// Puts back the token just read (once): the next gettok returns it again.
void ungettok() {
  if (tok.retpushed) {
    tok.pushed = true;
    tok.retpushed = false;
    return;
  }
  if (tok.laststart) {
    tok.pos = tok.laststart;
    tok.laststart = nullptr;
  }
}

// Makes text the token that the next gettok returns.
void pushtok(const char* text) {
  if (text != tok.token) {
    std::strncpy(tok.token, text, TOKLEN - 1);
    tok.token[TOKLEN - 1] = 0;
  }
  tok.pushed = true;
}

// Saves the reading position (not a pushed-back token); resettok returns to it.
void stattok(TokPos* saved) {
  saved->pos = tok.pos;
  saved->laststart = tok.laststart;
}

// Returns to a position saved by stattok, dropping any pushed-back token.
void resettok(const TokPos* saved) {
  tok.pos = saved->pos;
  tok.laststart = saved->laststart;
  tok.pushed = false;
  tok.retpushed = false;
}

// The token text is copied only up to its terminator: a save and restore
// surround every command line, and the buffer is mostly unused.
static void copytok(TokState& dst, const TokState& src) {
  dst.pos = src.pos;
  dst.laststart = src.laststart;
  dst.pushed = src.pushed;
  dst.retpushed = src.retpushed;
  const size_t n = strnlen(src.token, TOKLEN - 1);
  std::memcpy(dst.token, src.token, n);
  dst.token[n] = 0;
}
// Saves and restores the whole tokenizer around a nested command line.
void borrow_gettok(TokState* saved) { copytok(*saved, tok); }
void return_gettok(const TokState* saved) { copytok(tok, *saved); }

// The unread rest of the line; the start of the last token read; the next byte.
const char* wheretok() { return tok.pos ? tok.pos : ""; }
const char* lwheretok() { return tok.laststart ? tok.laststart : wheretok(); }
int gettok_next_char() { return tok.pos ? static_cast<unsigned char>(*tok.pos) : 0; }

// The unread rest of the line after its leading blanks.
const char* peektok_chr() {
  const char* p = wheretok();
  while (*p == ' ') ++p;
  return p;
}

// Skips every c (or blank and tab, trimtokwhite) at the reading position.
void trimtok(int c) {
  if (!tok.pos) return;
  while (*tok.pos && static_cast<unsigned char>(*tok.pos) == c) ++tok.pos;
}

void trimtokwhite() {
  if (!tok.pos) return;
  while (*tok.pos == ' ' || *tok.pos == '\t') ++tok.pos;
}

// filename -> string | word (separators prsefls, so a path keeps its / . -):
// the name without its quote, at most 499 characters; RC_MSG_FILESPEC when absent.
int gettokfn(std::string& dst) {
  const char* t = gettok(prsefls);
  if (!*t || (t[0] == ',' && !t[1]) || (t[0] == ')' && !t[1])) {
    dst.clear();
    return RC_MSG_FILESPEC;
  }
  dst = (t[0] == '"') ? t + 1 : t;
  if (dst.empty()) return RC_MSG_FILESPEC;
  if (dst.size() > 499) dst.resize(499);
  return 0;
}

// Reads a token that must be the single character c: 0, 198 when it is not,
// or 1 on a Break (polled every POLLRATE calls, so tight loops can stop).
int gtokis(int c) {
  const char* t = gettok(prsestd);
  if (t[0] != c || t[1]) return RC_SYNTAX;
  if (++gtokis_polls >= POLLRATE) {
    gtokis_polls = 0;
    return stopflag ? 1 : 0;
  }
  return 0;
}

// '`"' (chars | compound)* '"\'' at p: the position after it, *open 1 when
// the line ends inside it.
const char* pcompoundquotes(const char* p, int* open) {
  // p points at the opening back-quote
  *open = 0;
  int depth = 0;
  while (*p) {
    if (p[0] == '`' && p[1] == '"') {
      ++depth;
      p += 2;
    } else if (p[0] == '"' && p[1] == '\'') {
      p += 2;
      if (--depth == 0) return p;
    } else {
      ++p;
    }
  }
  *open = 1;
  return p;
}

// '"' chars '"' at p: the position after it, *open 1 when unclosed.
const char* psimplequotes(const char* p, int* open) {
  *open = 0;
  ++p;
  while (*p && *p != '"') ++p;
  if (!*p) {
    *open = 1;
    return p;
  }
  return p + 1;
}

// brackets -> ('(' | '[') (string | brackets | other)* (')' | ']') at p, quotes
// skipped whole: the position after the closing one, *open 1 when unclosed.
const char* pbrackets(const char* p, int* open) {
  *open = 0;
  int depth = 0;
  while (*p) {
    if (p[0] == '`' && p[1] == '"') {
      int o;
      p = pcompoundquotes(p, &o);
      if (o) break;
      continue;
    }
    if (*p == '"') {
      int o;
      p = psimplequotes(p, &o);
      if (o) break;
      continue;
    }
    if (*p == '(' || *p == '[') ++depth;
    else if (*p == ')' || *p == ']') {
      if (--depth <= 0) return p + 1;
    }
    ++p;
  }
  *open = 1;
  return p;
}

// string -> '"' chars '"' | '`"' ... '"\'' after blanks, in text (nullptr: at the
// tokenizer's last token, which then reads on after it): 0 with the contents
// between *start and *end and *after past the close, 1 when there is none.
int parse_quoted_string(const char* text, const char** start, const char** end, const char** after) {
  const bool fromtok = text == nullptr;
  const char* p = fromtok ? lwheretok() : text;
  while (*p == ' ') ++p;
  *start = *end = *after = nullptr;
  int open = 0;
  const char* q;
  if (p[0] == '`' && p[1] == '"') {
    q = pcompoundquotes(p, &open);
    if (open) return 1;
    *start = p + 2;
    *end = q - 2;
  } else if (*p == '"') {
    q = psimplequotes(p, &open);
    if (open) return 1;
    *start = p + 1;
    *end = q - 1;
  } else {
    return 1;
  }
  *after = q;
  if (fromtok) {
    tok.pos = q;
    tok.pushed = false;
    tok.retpushed = false;
  }
  return 0;
}
