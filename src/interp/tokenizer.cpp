// Tokenizer over the command line. A quoted token is stored as a double-quote
// byte followed by its contents (no closing quote), for both quote kinds, so
// callers recognise quoted tokens by their first byte.
#include "interp/tokenizer.h"

#include <cstring>

#include "platform/platform.h"

TokState tok;

const char prsestd[] = " \\\"'`~:;,<>/?!@|#$%^&*()-+=[]{}";
const char prseopt[] = " \\\"'`~:;,<>/?!@|#$%^&*()=[]{}";
const char prsenum[] = " \\\"'`~:;,<>/?!@|#$%^&*()=[]{}";
const char prsefls[] = " \"'`;,<>()=[]{}|";

static constexpr int QUOTEMAX = 502;  // longest contents of a quoted token
static int gtokis_polls = 0;
static constexpr int POLLRATE = 100;

void settok(const char* text) {
  tok.pos = text;
  tok.laststart = nullptr;
  tok.pushed = false;
  tok.retpushed = false;
}

static bool issep(int c, const char* seps) { return c && std::strchr(seps, c) != nullptr; }

// Scans a token starting at p into dst (capacity cap incl. NUL, 0 = unlimited
// into a std::string). Returns the position after the token.
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

void pushtok(const char* text) {
  if (text != tok.token) {
    std::strncpy(tok.token, text, TOKLEN - 1);
    tok.token[TOKLEN - 1] = 0;
  }
  tok.pushed = true;
}

void stattok(TokPos* saved) {
  saved->pos = tok.pos;
  saved->laststart = tok.laststart;
}

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
void borrow_gettok(TokState* saved) { copytok(*saved, tok); }
void return_gettok(const TokState* saved) { copytok(tok, *saved); }

const char* wheretok() { return tok.pos ? tok.pos : ""; }
const char* lwheretok() { return tok.laststart ? tok.laststart : wheretok(); }
int gettok_next_char() { return tok.pos ? static_cast<unsigned char>(*tok.pos) : 0; }

const char* peektok_chr() {
  const char* p = wheretok();
  while (*p == ' ') ++p;
  return p;
}

void trimtok(int c) {
  if (!tok.pos) return;
  while (*tok.pos && static_cast<unsigned char>(*tok.pos) == c) ++tok.pos;
}

void trimtokwhite() {
  if (!tok.pos) return;
  while (*tok.pos == ' ' || *tok.pos == '\t') ++tok.pos;
}

int gettokfn(std::string& dst) {
  const char* t = gettok(prsefls);
  if (!*t || (t[0] == ',' && !t[1]) || (t[0] == ')' && !t[1])) {
    dst.clear();
    return 7197;
  }
  dst = (t[0] == '"') ? t + 1 : t;
  if (dst.empty()) return 7197;
  if (dst.size() > 499) dst.resize(499);
  return 0;
}

int gtokis(int c) {
  const char* t = gettok(prsestd);
  if (t[0] != c || t[1]) return 198;
  if (++gtokis_polls >= POLLRATE) {
    gtokis_polls = 0;
    return stopflag ? 1 : 0;
  }
  return 0;
}

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
