// The ZMCL interpreter and its line and paragraph engine. Text is scanned for
// brace tags; ordinary characters become display cells of the line being
// built (line mode) or of the word being collected (paragraph mode); finished
// lines go to the stream's sinks. Tag names are found through a small hash
// table so that the colour and layout tags of long tables cost little.
#include "output/zmcl.h"

#include "platform/platform.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

// ---------------------------------------------------------------------------
// Tag table.

enum TagId : uint8_t {
  T_COLOR, T_BF, T_IT, T_SF, T_UL, T_RESET,
  T_HLINE, T_RULE, T_COL, T_SPACE, T_TAB, T_DUP, T_CHAR, T_CENTER, T_RCENTER, T_RIGHT,
  T_LALIGN, T_RALIGN, T_CONT, T_NOOP, T_BREAK, T_ASIS, T_TITLE, T_BIND, T_CCL, T_ZMCL,
  T_S6HLP, T_P, T_PEND, T_PSHORT,
  T_P2COLSET, T_P2COLRESET, T_P2COL, T_P2COLDENT, T_P2LINE, T_P2LINEDENT,
  T_SYNOPTSET, T_SYNOPTHDR, T_SYNOPTLINE, T_SYNOPT, T_SYNTAB, T_DLGTAB,
  T_LINK, T_LINKNOARG, T_LINKOPT, T_HELPB, T_MANHELP, T_MANHELPI,
  T_OPT, T_OPTH, T_CMDAB, T_PLACE, T_VAR, T_VARS, T_IFIN, T_WEIGHT, T_DTYPE
};

struct TagRow {
  const char* name;
  TagId id;
  uint8_t a, b, c;  // colour, or the paragraph shorthand's indents and margin
};

const TagRow tagrows[] = {
    {"res", T_COLOR, SA_RES, 0, 0}, {"result", T_COLOR, SA_RES, 0, 0},
    {"ye", T_COLOR, SA_RES, 0, 0}, {"yellow", T_COLOR, SA_RES, 0, 0},
    {"txt", T_COLOR, SA_TXT, 0, 0}, {"text", T_COLOR, SA_TXT, 0, 0},
    {"gr", T_COLOR, SA_TXT, 0, 0}, {"green", T_COLOR, SA_TXT, 0, 0},
    {"err", T_COLOR, SA_ERR, 0, 0}, {"error", T_COLOR, SA_ERR, 0, 0},
    {"re", T_COLOR, SA_ERR, 0, 0}, {"red", T_COLOR, SA_ERR, 0, 0},
    {"inp", T_COLOR, SA_INP, 0, 0}, {"input", T_COLOR, SA_INP, 0, 0},
    {"com", T_COLOR, SA_INP, 0, 0}, {"command", T_COLOR, SA_INP, 0, 0},
    {"wh", T_COLOR, SA_INP, 0, 0}, {"white", T_COLOR, SA_INP, 0, 0},
    {"hi", T_COLOR, SA_HI, 0, 0}, {"hilite", T_COLOR, SA_HI, 0, 0},
    {"cmd", T_COLOR, SA_HI, 0, 0},
    {"bf", T_BF, 0, 0, 0}, {"it", T_IT, 0, 0, 0}, {"sf", T_SF, 0, 0, 0}, {"rm", T_SF, 0, 0, 0},
    {"ul", T_UL, 0, 0, 0}, {"reset", T_RESET, 0, 0, 0},
    {"hline", T_HLINE, 0, 0, 0}, {".-", T_RULE, 0, 0, 0}, {"col", T_COL, 0, 0, 0},
    {"space", T_SPACE, 0, 0, 0}, {"tab", T_TAB, 0, 0, 0}, {"dup", T_DUP, 0, 0, 0},
    {"char", T_CHAR, 0, 0, 0}, {"c", T_CHAR, 0, 0, 0},
    {"center", T_CENTER, 0, 0, 0}, {"centre", T_CENTER, 0, 0, 0},
    {"rcenter", T_RCENTER, 0, 0, 0}, {"rcentre", T_RCENTER, 0, 0, 0},
    {"right", T_RIGHT, 0, 0, 0}, {"lalign", T_LALIGN, 0, 0, 0}, {"ralign", T_RALIGN, 0, 0, 0},
    {"...", T_CONT, 0, 0, 0}, {"marker", T_NOOP, 0, 0, 0}, {"newpage", T_NOOP, 0, 0, 0},
    {"*", T_NOOP, 0, 0, 0}, {"break", T_BREAK, 0, 0, 0}, {"asis", T_ASIS, 0, 0, 0},
    {"title", T_TITLE, 0, 0, 0}, {"bind", T_BIND, 0, 0, 0}, {"ccl", T_CCL, 0, 0, 0},
    {"zmcl", T_ZMCL, 0, 0, 0}, {"s6hlp", T_S6HLP, 0, 0, 0},
    {"p", T_P, 0, 0, 0}, {"p_end", T_PEND, 0, 0, 0},
    {"pstd", T_PSHORT, 4, 4, 2}, {"psee", T_PSHORT, 4, 13, 2}, {"phang", T_PSHORT, 4, 8, 2},
    {"pmore", T_PSHORT, 8, 8, 2}, {"pin", T_PSHORT, 8, 8, 2}, {"phang2", T_PSHORT, 8, 12, 2},
    {"pmore2", T_PSHORT, 12, 12, 2}, {"pin2", T_PSHORT, 12, 12, 2},
    {"phang3", T_PSHORT, 12, 16, 2}, {"pmore3", T_PSHORT, 16, 16, 2},
    {"pin3", T_PSHORT, 16, 16, 2},
    {"p2colset", T_P2COLSET, 0, 0, 0}, {"p2colreset", T_P2COLRESET, 0, 0, 0},
    {"p2col", T_P2COL, 0, 0, 0}, {"p2coldent", T_P2COLDENT, 0, 0, 0},
    {"p2line", T_P2LINE, 0, 0, 0}, {"p2linedent", T_P2LINEDENT, 0, 0, 0},
    {"synoptset", T_SYNOPTSET, 0, 0, 0}, {"synopthdr", T_SYNOPTHDR, 0, 0, 0},
    {"synoptline", T_SYNOPTLINE, 0, 0, 0}, {"synopt", T_SYNOPT, 0, 0, 0},
    {"syntab", T_SYNTAB, 0, 0, 0}, {"dlgtab", T_DLGTAB, 0, 0, 0},
    {"help", T_LINK, 0, 0, 0}, {"helpb", T_HELPB, 0, 0, 0}, {"manhelp", T_MANHELP, 0, 0, 0},
    {"manhelpi", T_MANHELPI, 0, 0, 0}, {"search", T_LINK, 0, 0, 0}, {"zelta", T_LINK, 0, 0, 0},
    {"vemocmd", T_LINK, 0, 0, 0}, {"view", T_LINK, 0, 0, 0}, {"net", T_LINK, 0, 0, 0},
    {"ado", T_LINK, 0, 0, 0}, {"update", T_LINKOPT, 0, 0, 0}, {"browse", T_LINK, 0, 0, 0},
    {"rnethelp", T_LINK, 0, 0, 0}, {"adorm", T_LINK, 0, 0, 0}, {"dialog", T_LINK, 0, 0, 0},
    {"back", T_LINKNOARG, 0, 0, 0}, {"news", T_LINKNOARG, 0, 0, 0},
    {"clearmore", T_LINKNOARG, 0, 0, 0}, {"ado_d", T_LINKNOARG, 0, 0, 0},
    {"asdialog", T_LINKNOARG, 0, 0, 0}, {"cdialog", T_LINKNOARG, 0, 0, 0},
    {"help_d", T_LINKNOARG, 0, 0, 0}, {"net_d", T_LINKNOARG, 0, 0, 0},
    {"netfrom_d", T_LINKNOARG, 0, 0, 0}, {"netpref_d", T_LINKNOARG, 0, 0, 0},
    {"nfdialog", T_LINKNOARG, 0, 0, 0}, {"nsdialog", T_LINKNOARG, 0, 0, 0},
    {"sdialog", T_LINKNOARG, 0, 0, 0}, {"search_d", T_LINKNOARG, 0, 0, 0},
    {"update_d", T_LINKNOARG, 0, 0, 0}, {"ufdialog", T_LINKNOARG, 0, 0, 0},
    {"view_d", T_LINKNOARG, 0, 0, 0}, {"vdialog", T_LINKNOARG, 0, 0, 0},
    {"opt", T_OPT, 0, 0, 0}, {"opth", T_OPTH, 0, 0, 0}, {"cmdab", T_CMDAB, 0, 0, 0},
    {"varname", T_PLACE, 0, 0, 0}, {"varlist", T_PLACE, 0, 0, 0}, {"newvar", T_PLACE, 0, 0, 0},
    {"depvar", T_PLACE, 0, 0, 0}, {"depvarlist", T_PLACE, 0, 0, 0},
    {"indepvars", T_PLACE, 0, 0, 0}, {"var", T_VAR, 0, 0, 0}, {"vars", T_VARS, 0, 0, 0},
    {"ifin", T_IFIN, 0, 0, 0}, {"weight", T_WEIGHT, 0, 0, 0}, {"dtype", T_DTYPE, 0, 0, 0},
};
constexpr int NTAGROWS = sizeof tagrows / sizeof tagrows[0];

// Open-addressed hash of tag names; 512 slots keep the chains short.
constexpr unsigned TAGHASH = 512;
short taghash[TAGHASH];
uint8_t taglen[NTAGROWS];  // length of each row's name
bool taghash_ready = false;

// FNV-1a hash of a tag name.
unsigned hashname(const char* p, size_t n) {
  unsigned h = 2166136261u;
  for (size_t i = 0; i < n; ++i) h = (h ^ static_cast<unsigned char>(p[i])) * 16777619u;
  return h;
}

// Fills the tag hash and the name lengths; run once by smlopen.
void buildtaghash() {
  for (auto& h : taghash) h = -1;
  for (int i = 0; i < NTAGROWS; ++i) {
    taglen[i] = static_cast<uint8_t>(std::strlen(tagrows[i].name));
    unsigned k = hashname(tagrows[i].name, taglen[i]) & (TAGHASH - 1);
    while (taghash[k] >= 0) k = (k + 1) & (TAGHASH - 1);
    taghash[k] = static_cast<short>(i);
  }
  taghash_ready = true;
}

// Byte comparison of short names (cheaper than a library call at this size).
inline bool sameword(const char* a, const char* b, size_t n) {
  for (size_t i = 0; i < n; ++i)
    if (a[i] != b[i]) return false;
  return true;
}

// The row of a tag name, or nullptr.
const TagRow* findtag(const char* p, size_t n) {
  unsigned k = hashname(p, n) & (TAGHASH - 1);
  for (;;) {
    int i = taghash[k];
    if (i < 0) return nullptr;
    if (taglen[i] == n && sameword(tagrows[i].name, p, n)) return &tagrows[i];
    k = (k + 1) & (TAGHASH - 1);
  }
}

// A parsed tag: name, arguments before the colon, text after it.
struct Tag {
  const char* name;
  size_t nlen;
  const char* args;
  size_t alen;
  const char* text;
  size_t tlen;
  bool colon;
  bool optional;
};

// Splits the text between the braces; false when the name is not 1 to 13
// characters long.
bool parsetag(const char* p, size_t n, Tag* t) {
  const char* e = p + n;
  while (p < e && *p == ' ') ++p;
  t->optional = p < e && *p == '?';
  if (t->optional) ++p;
  t->name = p;
  while (p < e && *p != ' ' && *p != ':') ++p;
  t->nlen = static_cast<size_t>(p - t->name);
  if (t->nlen < 1 || t->nlen > 13) return false;
  while (p < e && *p == ' ') ++p;
  t->args = p;
  bool inq = false;
  int nest = 0;
  while (p < e) {
    char c = *p;
    if (c == '"') inq = !inq;
    else if (!inq && c == '{') ++nest;
    else if (!inq && c == '}') --nest;
    else if (!inq && nest == 0 && c == ':') break;
    ++p;
  }
  const char* ae = p;
  while (ae > t->args && ae[-1] == ' ') --ae;
  t->alen = static_cast<size_t>(ae - t->args);
  t->colon = p < e;
  t->text = t->colon ? p + 1 : e;
  t->tlen = static_cast<size_t>(e - t->text);
  return true;
}

// Reads up to `max` integers separated by blanks; false on anything else.
int intargs(const char* p, size_t n, int* v, int max) {
  const char* e = p + n;
  int k = 0;
  for (;;) {
    while (p < e && *p == ' ') ++p;
    if (p >= e) return k;
    if (k == max) return -1;
    bool neg = false;
    if (*p == '-' || *p == '+') neg = *p++ == '-';
    if (p >= e || *p < '0' || *p > '9') return -1;
    long x = 0;
    while (p < e && *p >= '0' && *p <= '9') {
      x = x * 10 + (*p++ - '0');
      if (x > 100000) return -1;
    }
    if (p < e && *p != ' ') return -1;
    v[k++] = static_cast<int>(neg ? -x : x);
  }
}

bool iscont(unsigned char c, uint8_t at) { return (c & 0xC0) == 0x80 && !(at & SA_CCHAR); }

// ---------------------------------------------------------------------------
// Sinks.

const char* const boxutf8[12] = {"",   "\xE2\x94\x80", "\xE2\x94\x82", "\xE2\x94\xBC",
                                 "\xE2\x94\xAC", "\xE2\x94\xB4", "\xE2\x94\x9C", "\xE2\x94\xA4",
                                 "\xE2\x94\x8C", "\xE2\x94\x90", "\xE2\x94\x94", "\xE2\x94\x98"};

// Terminal escape for an attribute byte.
void sgr(std::string& o, uint8_t at) {
  o += "\x1b[0";
  int color = at & SA_COLOR;
  if ((at & SA_BF) || color == SA_RES || color == SA_INP || color == SA_HI) o += ";1";
  if (at & SA_IT) o += ";3";
  if ((at & SA_UL) || color == SA_LINK) o += ";4";
  if (color == SA_ERR) o += ";31";
  else if (color == SA_LINK) o += ";34";
  o += 'm';
}

// Appends bytes to one sink (its string or its file).
void sinkwrite(SmlSink& k, const char* p, size_t n) {
  if (k.str) k.str->append(p, n);
  else if (k.f && fwrite_unlocked(p, 1, n, k.f) < n && !k.err) k.err = errno ? errno : EIO;
}

// Writes line bytes [from, to) (plus a line end when nl) to every sink.
void emitline(SmlStream* s, int from, int to, bool nl) {
  char* ln = s->line;
  for (SmlSink& k : s->sinks) {
    if (k.zmcl || !k.on) continue;
    if (k.tty) {
      std::string o;
      uint8_t cur = 0xFF;
      for (int i = from; i < to; ++i) {
        uint8_t at = s->lat[i] & static_cast<uint8_t>(~(SA_LINE | SA_CCHAR));
        if (at != cur) {
          sgr(o, at);
          cur = at;
        }
        unsigned char c = static_cast<unsigned char>(ln[i]);
        if (s->lat[i] & SA_LINE) {
          unsigned char b = static_cast<unsigned char>(s->lbox[i]);
          o += b < 12 ? boxutf8[b] : "-";
        } else if (c >= 128 && (s->lat[i] & SA_CCHAR) && s->charset == 0) {
          if (c == 0x80) o += "\xE2\x82\xAC";
          else {
            o += static_cast<char>(0xC0 | (c >> 6));
            o += static_cast<char>(0x80 | (c & 0x3F));
          }
        } else {
          o += static_cast<char>(c);
        }
      }
      if (cur != 0xFF) o += "\x1b[0m";
      if (nl) o += '\n';
      sinkwrite(k, o.data(), o.size());
      continue;
    }
    char save = ln[to];
    if (nl) ln[to] = '\n';
    sinkwrite(k, ln + from, static_cast<size_t>(to - from + (nl ? 1 : 0)));
    ln[to] = save;
  }
}

// ---------------------------------------------------------------------------
// Line and paragraph engine.

void putcell(SmlStream* s, char c, uint8_t at);
void interp(SmlStream* s, const char* p, size_t n);
void nested(SmlStream* s, const char* p, size_t n);

// Sends the line being built with its line end and starts the next one.
void finishline(SmlStream* s) {
  if (s->meas) return;
  int to = s->llen;
  while (to > s->lsent && s->line[to - 1] == ' ') --to;
  emitline(s, s->lsent, to, true);
  s->llen = s->lsent = 0;
  s->col = 0;
  s->phas = false;
  s->pfirst = false;
  smlmore(s);
}

// Width available to paragraph text.
int parawidth(const SmlStream* s) {
  int w = s->width - s->pmarg;
  int m = std::max(s->pind1, s->pind2) + 20;
  if (w < m) w = m;
  return std::min(w, s->width);
}

// Appends one cell to the line, breaking it at the width.
inline void lineput(SmlStream* s, char c, uint8_t at) {
  bool cont = iscont(static_cast<unsigned char>(c), at);
  if (!cont) {
    int limit = s->mode == SML_PARA ? parawidth(s) : s->width;
    if (s->col >= limit || s->llen >= SMLBUF) {
      finishline(s);
      if (s->mode == SML_PARA) {
        // an indent at or past the width would break the line forever
        const int indent = std::min(s->pind2, limit - 1);
        while (s->col < indent) lineput(s, ' ', s->attr);
        s->phas = true;
      }
    }
    ++s->col;
  } else if (s->llen >= SMLBUF) {
    finishline(s);
  }
  if (static_cast<unsigned char>(c) < 32) {
    s->lbox[s->llen] = c;
    c = smlplain[static_cast<unsigned char>(c)];
  }
  s->line[s->llen] = c;
  s->lat[s->llen] = at;
  ++s->llen;
}

// Places the collected word on the paragraph line (see the blank rules).
void placeword(SmlStream* s) {
  if (!s->wlen) return;
  int sep = 0;
  if (s->phas) {
    sep = (s->lastpunct && s->srcblanks >= 2) ? 2 : 1;
    if (s->col + sep + s->wcols > parawidth(s)) {
      finishline(s);
      sep = 0;
    }
  }
  if (!s->phas) {
    // an indent at or past the width would break the line forever
    const int ind = std::min(s->pfirst ? s->pind1 : s->pind2, parawidth(s) - 1);
    while (s->col < ind) lineput(s, ' ', s->attr);
  }
  s->phas = true;
  for (int i = 0; i < sep; ++i) lineput(s, ' ', s->attr);
  for (int i = 0; i < s->wlen; ++i) lineput(s, s->word[i], s->wat[i]);
  char last = s->word[s->wlen - 1];
  s->lastpunct = last == '.' || last == '!' || last == '?' || last == ':';
  s->wlen = s->wcols = 0;
  s->srcblanks = 0;
}

// Leaves paragraph mode, finishing its last line.
void endpara(SmlStream* s) {
  if (s->mode != SML_PARA) return;
  placeword(s);
  if (s->llen > 0) finishline(s);
  s->mode = SML_LINE;
  s->pfirst = true;
  s->phas = false;
  s->nls = 0;
  s->srcblanks = 0;
}

// Enters paragraph mode with the given indents and right margin.
void startpara(SmlStream* s, int a, int b, int c) {
  if (s->mode == SML_PARA) {
    placeword(s);
    if (s->llen > 0) finishline(s);
  }
  int lim = s->width - 20;
  s->pind1 = std::min(a, lim);
  s->pind2 = std::min(b, lim);
  s->pmarg = c;
  s->mode = SML_PARA;
  s->pfirst = true;
  s->phas = false;
  s->nls = 0;
  s->srcblanks = 0;
  s->lastpunct = false;
}

// One display cell from text or a tag.
void putcell(SmlStream* s, char c, uint8_t at) {
  s->swallownl = false;
  if (s->meas) {
    s->meas->push_back(c);
    s->measat->push_back(at);
    if (!iscont(static_cast<unsigned char>(c), at)) ++s->col;
    return;
  }
  if (s->mode != SML_PARA) {
    lineput(s, c, at);
    return;
  }
  if (c == ' ' && !s->bind) {
    placeword(s);
    ++s->srcblanks;
    return;
  }
  s->nls = 0;
  if (s->wlen >= SMLBUF) placeword(s);
  s->word[s->wlen] = c;
  s->wat[s->wlen] = at;
  ++s->wlen;
  if (!iscont(static_cast<unsigned char>(c), at)) ++s->wcols;
}

// n blank cells at the current attribute.
void putblanks(SmlStream* s, int n) {
  for (int i = 0; i < n; ++i) putcell(s, ' ', s->attr);
}

// A line end in the text.
void donewline(SmlStream* s) {
  if (s->meas) return;
  if (s->mode == SML_PARA) {
    placeword(s);
    if (++s->nls >= 2) {
      endpara(s);
      finishline(s);
      return;
    }
    ++s->srcblanks;
    return;
  }
  if (s->swallownl) {
    s->swallownl = false;
    return;
  }
  if (s->contline) {
    s->contline = false;
    return;
  }
  finishline(s);
}

// Plain characters: no tag interpretation.
void addplain(SmlStream* s, const char* p, size_t n) {
  const uint8_t at = s->attr;
  if (s->mode != SML_PARA && !s->meas) {
    for (size_t i = 0; i < n;) {
      // A run of printable ASCII that fits on the line is copied at once.
      size_t room = static_cast<size_t>(std::max(0, std::min(s->width - s->col, SMLBUF - s->llen)));
      size_t j = i, lim = std::min(n, i + room);
      while (j < lim && static_cast<unsigned char>(p[j] - 32) < 95) ++j;
      if (j > i) {
        size_t k = j - i;
        std::memcpy(s->line + s->llen, p + i, k);
        if (s->needattr) std::memset(s->lat + s->llen, at, k);
        s->llen += static_cast<int>(k);
        s->col += static_cast<int>(k);
        s->swallownl = false;
        i = j;
        continue;
      }
      unsigned char c = static_cast<unsigned char>(p[i++]);
      if (c < 32) {
        if (c == '\n') {
          donewline(s);
          if (s->stop) return;  // the user stopped at the more prompt
        }
        else if (c == '\t') putblanks(s, 8 - s->col % 8);
        else if (c != '\r') lineput(s, ' ', at);
        continue;
      }
      // Inline the common case of lineput.
      if (s->col < s->width && s->llen < SMLBUF) {
        s->swallownl = false;
        s->line[s->llen] = static_cast<char>(c);
        s->lat[s->llen] = at;
        ++s->llen;
        if ((c & 0xC0) != 0x80) ++s->col;
      } else {
        lineput(s, static_cast<char>(c), at);
      }
    }
    return;
  }
  for (size_t i = 0; i < n && !s->stop; ++i) {
    unsigned char c = static_cast<unsigned char>(p[i]);
    if (c == '\n') donewline(s);
    else if (c == '\t') putcell(s, ' ', at);
    else if (c == '\r') continue;
    else putcell(s, c < 32 ? ' ' : static_cast<char>(c), at);
  }
}

// Renders text into the measuring buffer; returns its display width.
// (Measuring counts as a level of nesting too.)
int measure(SmlStream* s, const char* p, size_t n, std::vector<char>& cells,
            std::vector<uint8_t>& ats) {
  auto* sm = s->meas;
  auto* sa = s->measat;
  int col = s->col, wl = s->wlen;
  s->meas = &cells;
  s->measat = &ats;
  s->col = 0;
  nested(s, p, n);
  int w = s->col;
  s->col = col;
  s->wlen = wl;
  s->meas = sm;
  s->measat = sa;
  return w;
}

// Sends measured cells again, now to the line or the word.
void replay(SmlStream* s, const std::vector<char>& cells, const std::vector<uint8_t>& ats) {
  for (size_t i = 0; i < cells.size(); ++i) putcell(s, cells[i], ats[i]);
}

// Interprets colon text with one more level of nesting; beyond SMLMAXDEPTH
// levels the text is shown as it is, so that the recursion stays bounded.
void nested(SmlStream* s, const char* p, size_t n) {
  if (s->depth >= SMLMAXDEPTH) {
    addplain(s, p, n);
    return;
  }
  ++s->depth;
  interp(s, p, n);
  --s->depth;
}

// Colon text with a temporary attribute.
void styled(SmlStream* s, uint8_t newattr, const char* p, size_t n) {
  uint8_t save = s->attr;
  s->attr = newattr;
  nested(s, p, n);
  s->attr = save;
}

// n cells of the horizontal rule character.
void dashes(SmlStream* s, int n) {
  uint8_t at = static_cast<uint8_t>(s->attr | SA_LINE);
  if (n > 0 && s->mode != SML_PARA && !s->meas && s->col + n <= s->width &&
      s->llen + n < SMLBUF) {
    // A rule within the line in one step: the common case of tables.
    std::memset(s->line + s->llen, '-', static_cast<size_t>(n));
    if (s->needattr) {
      std::memset(s->lat + s->llen, at, static_cast<size_t>(n));
      std::memset(s->lbox + s->llen, SC_HL, static_cast<size_t>(n));
    }
    s->llen += n;
    s->col += n;
    s->swallownl = false;
    return;
  }
  for (int i = 0; i < n; ++i) putcell(s, SC_HL, at);
}

// A link's visible text: the colon text, or the argument itself.
void linktext(SmlStream* s, const Tag& t, uint8_t extra) {
  uint8_t at = static_cast<uint8_t>((s->attr & ~SA_COLOR) | SA_LINK | extra);
  ++s->inlink;
  if (t.colon) styled(s, at, t.text, t.tlen);
  else {
    uint8_t save = s->attr;
    s->attr = at;
    const char* a = t.args;
    size_t n = t.alen;
    if (n >= 2 && a[0] == '"' && a[n - 1] == '"') ++a, n -= 2;
    addplain(s, a, n);
    s->attr = save;
  }
  --s->inlink;
}

// Starts a two-column row: the first column at `first` as one word, the rest
// of the paragraph from the second column, continuation lines at the third
// setting, the fourth is the right margin.
void p2row(SmlStream* s, int first, const Tag& t, bool cmdstyle) {
  int v[4] = {s->p2[0], s->p2[1], s->p2[2], s->p2[3]};
  if (t.alen) {
    int k = intargs(t.args, t.alen, v, 4);
    for (int i = std::max(k, 0); i < 4; ++i) v[i] = s->p2[i];
    first = v[0] + (first - s->p2[0]);
  }
  if (s->mode == SML_PARA) endpara(s);
  else if (s->llen > 0) finishline(s);
  startpara(s, first, v[2], v[3]);
  uint8_t save = s->attr;
  if (cmdstyle) s->attr = static_cast<uint8_t>((s->attr & ~SA_COLOR) | SA_HI);
  ++s->bind;
  nested(s, t.text, t.tlen);
  --s->bind;
  s->attr = save;
  placeword(s);
  const int target = std::min(v[1], parawidth(s) - 1);  // never past the width
  if (s->col < target) {
    while (s->col < target) lineput(s, ' ', s->attr);
    s->phas = false;  // the next word starts the second column, no separator
  } else {
    s->srcblanks = 1;
    s->lastpunct = false;
  }
}

// A rule from column a to the width less b; ends the line.
void p2rule(SmlStream* s, int a, int b) {
  if (s->mode == SML_PARA) endpara(s);
  if (s->llen > 0) finishline(s);
  putblanks(s, a);
  dashes(s, s->width - b - s->col);
  finishline(s);
  s->swallownl = true;
}

// {hline} (no number when k is 0) and {hline #}; false when malformed.
bool dohline(SmlStream* s, int k, int v) {
  int m;
  if (k == 0) {
    if (s->mode == SML_PARA) return false;
    m = s->width - s->col;
  } else if (v > 255) {
    return false;
  } else if (v < 0) {
    m = s->width + v - s->col;
  } else {
    m = v;
  }
  dashes(s, m);
  return true;
}

// {col #}: blanks up to column # (1-based); false when malformed.
bool docol(SmlStream* s, int v) {
  if (s->mode == SML_PARA || v < 1 || v > 255) return false;
  int m = v - 1 - s->col;
  if (m <= 0) return true;
  if (!s->meas && s->llen + m < SMLBUF && v - 1 <= s->width) {
    // Blanks in one step: the common column move of tables.
    std::memset(s->line + s->llen, ' ', static_cast<size_t>(m));
    if (s->needattr) std::memset(s->lat + s->llen, s->attr, static_cast<size_t>(m));
    s->llen += m;
    s->col += m;
    s->swallownl = false;
  } else {
    putblanks(s, m);
  }
  return true;
}

// Acts on one tag; false when it is to be printed literally.
bool dotag(SmlStream* s, const char* p, size_t n) {
  Tag t;
  if (!parsetag(p, n, &t)) return false;
  const TagRow* row = findtag(t.name, t.nlen);
  if (!row) {
    // An unknown optional tag is dropped; its colon text still shows.
    if (t.optional) {
      if (t.colon) nested(s, t.text, t.tlen);
      return true;
    }
    return false;
  }
  const bool outer = s->depth == 0;
  const bool para = s->mode == SML_PARA;
  int v[4] = {0, 0, 0, 0};
  switch (row->id) {
    case T_COLOR: {
      if (t.alen) return false;
      uint8_t at = static_cast<uint8_t>((s->attr & ~SA_COLOR) | row->a);
      if (t.colon) styled(s, at, t.text, t.tlen);
      else s->attr = at;
      return true;
    }
    case T_BF:
    case T_IT:
    case T_SF: {
      if (t.alen) return false;
      uint8_t f = row->id == T_BF ? SA_BF : row->id == T_IT ? SA_IT : 0;
      uint8_t at = static_cast<uint8_t>((s->attr & ~SA_FONT) | f);
      if (t.colon) styled(s, at, t.text, t.tlen);
      else s->attr = at;
      return true;
    }
    case T_UL:
      if (t.colon && !t.alen) styled(s, static_cast<uint8_t>(s->attr | SA_UL), t.text, t.tlen);
      else if (!t.colon && t.alen == 2 && !std::strncmp(t.args, "on", 2)) s->attr |= SA_UL;
      else if (!t.colon && t.alen == 3 && !std::strncmp(t.args, "off", 3))
        s->attr = static_cast<uint8_t>(s->attr & ~SA_UL);
      else return false;
      return true;
    case T_RESET:
      if (t.alen || t.colon) return false;
      s->attr = SA_TXT;
      return true;
    case T_HLINE: {
      if (t.colon) return false;
      int k = intargs(t.args, t.alen, v, 1);
      if (k < 0) return false;
      return dohline(s, k, v[0]);
    }
    case T_RULE:
      if (t.alen || t.colon) return false;
      if (s->meas) return false;
      if (para) placeword(s);
      if (s->llen > 0) finishline(s);
      dashes(s, s->width);
      finishline(s);
      s->swallownl = true;
      return true;
    case T_COL:
      if (t.colon || intargs(t.args, t.alen, v, 1) != 1) return false;
      return docol(s, v[0]);
    case T_SPACE: {
      if (t.colon) return false;
      int k = intargs(t.args, t.alen, v, 1);
      if (k < 0 || v[0] < 0 || v[0] > 255) return false;
      ++s->bind;
      putblanks(s, k ? v[0] : 1);
      --s->bind;
      return true;
    }
    case T_TAB:
      if (t.alen || t.colon) return false;
      if (para) putcell(s, ' ', s->attr);
      else putblanks(s, 8 - s->col % 8);
      return true;
    case T_DUP:
      if (!t.colon || intargs(t.args, t.alen, v, 1) != 1 || v[0] < 0 || v[0] >= 1000)
        return false;
      for (int i = 0; i < v[0] && !s->stop; ++i) {
        // A Break ends the long output one send can make ({dup} of {dup}).
        if (stopflag) s->stop = 1;
        nested(s, t.text, t.tlen);
      }
      return true;
    case T_CHAR: {
      if (t.colon || !t.alen) return false;
      char c;
      uint8_t extra;
      if (!smlcharcode(t.args, t.alen, s->charset, &c, &extra)) return false;
      putcell(s, c, static_cast<uint8_t>(s->attr | extra));
      return true;
    }
    case T_CENTER:
    case T_RCENTER:
    case T_RIGHT:
    case T_LALIGN:
    case T_RALIGN: {
      if (!t.colon) return false;
      bool field = row->id == T_LALIGN || row->id == T_RALIGN;
      if (field ? (intargs(t.args, t.alen, v, 1) != 1 || v[0] < 0 || v[0] > 255) : t.alen > 0)
        return false;
      std::vector<char> cells;
      std::vector<uint8_t> ats;
      int w = measure(s, t.text, t.tlen, cells, ats);
      if (field) {
        int pad = std::max(0, v[0] - w);
        if (row->id == T_RALIGN) putblanks(s, pad);
        replay(s, cells, ats);
        if (row->id == T_LALIGN) putblanks(s, pad);
        return true;
      }
      if (para) {
        replay(s, cells, ats);
        return true;
      }
      int avail = s->width - s->col;
      if (w > avail && s->col > 0 && !s->meas) {
        finishline(s);
        avail = s->width;
      }
      int pad = std::max(0, avail - w);
      int before = row->id == T_CENTER ? pad / 2 : row->id == T_RCENTER ? pad - pad / 2 : pad;
      putblanks(s, before);
      replay(s, cells, ats);
      if (row->id != T_RIGHT) putblanks(s, pad - before);
      return true;
    }
    case T_CONT:
      if (t.alen || t.colon) return false;
      s->contline = true;
      return true;
    case T_NOOP:
      return true;
    case T_BREAK:
      if (t.alen || t.colon || !outer) return false;
      if (s->meas) return true;
      if (para) {
        placeword(s);
        finishline(s);
      } else {
        finishline(s);
      }
      return true;
    case T_ASIS:
    case T_S6HLP:
      if (t.alen || t.colon || !outer) return false;
      endpara(s);
      s->mode = row->id == T_ASIS ? SML_ASIS : SML_OLDHELP;
      s->zmatch = 0;
      return true;
    case T_ZMCL:
      if (t.alen || t.colon) return false;
      endpara(s);
      s->mode = SML_LINE;
      s->zmclpend = true;
      return true;
    case T_TITLE: {
      if (!t.colon || t.alen) return false;
      uint8_t at = static_cast<uint8_t>((s->attr & ~SA_FONT) | SA_BF);
      if (para || s->meas) {
        styled(s, at, t.text, t.tlen);
        return true;
      }
      int start = s->col;
      int before = s->col;
      styled(s, at, t.text, t.tlen);
      int w = s->col - before;
      finishline(s);
      putblanks(s, start);
      dashes(s, w);
      return true;
    }
    case T_BIND:
      if (!t.colon || t.alen) return false;
      ++s->bind;
      nested(s, t.text, t.tlen);
      --s->bind;
      return true;
    case T_CCL: {
      if (t.colon || !t.alen || t.alen > 32) return false;
      std::string name(t.args, t.alen), val;
      if (s->ccl && s->ccl(name.c_str(), val)) addplain(s, val.data(), val.size());
      return true;
    }
    case T_P:
    case T_PSHORT: {
      if (t.colon || !outer) return false;
      if (row->id == T_PSHORT) {
        if (t.alen) return false;
        v[0] = row->a, v[1] = row->b, v[2] = row->c;
      } else if (intargs(t.args, t.alen, v, 3) < 0) {
        return false;
      }
      for (int i = 0; i < 3; ++i)
        if (v[i] < 0 || v[i] > 255) return false;
      if (s->meas) return true;
      startpara(s, v[0], v[1], v[2]);
      return true;
    }
    case T_PEND:
      if (t.alen || t.colon || !outer) return false;
      if (s->meas) return true;
      if (para) endpara(s);
      else if (s->llen > 0) finishline(s);
      s->swallownl = true;
      return true;
    case T_P2COLSET: {
      int k = intargs(t.args, t.alen, v, 4);
      if (t.colon || k < 0) return false;
      for (int i = 0; i < k; ++i) s->p2[i] = v[i];
      return true;
    }
    case T_P2COLRESET:
      if (t.alen || t.colon) return false;
      s->p2[0] = 4, s->p2[1] = 21, s->p2[2] = 23, s->p2[3] = 2;
      return true;
    case T_P2COL:
    case T_P2COLDENT:
    case T_SYNOPT:
      if (!t.colon || !outer || s->meas) return false;
      p2row(s, s->p2[0] + (row->id == T_P2COLDENT ? 2 : 0), t, row->id == T_SYNOPT);
      return true;
    case T_P2LINE:
    case T_P2LINEDENT:
    case T_SYNOPTLINE: {
      int k = intargs(t.args, t.alen, v, 2);
      if (t.colon || k < 0 || !outer || s->meas) return false;
      int a = k >= 1 ? v[0] : s->p2[0], b = k >= 2 ? v[1] : s->p2[3];
      if (row->id == T_P2LINEDENT) a += 2;
      p2rule(s, a, b);
      return true;
    }
    case T_SYNOPTSET: {
      // {synoptset [#] [tabbed|notes]}: the width of the first column.
      if (t.colon) return false;
      const char* sp = static_cast<const char*>(std::memchr(t.args, ' ', t.alen));
      size_t nl = sp ? static_cast<size_t>(sp - t.args) : t.alen;
      if (nl && intargs(t.args, nl, v, 1) == 1 && v[0] >= 0 && v[0] <= 200) s->syn = v[0];
      s->p2[0] = 4, s->p2[1] = s->syn + 6, s->p2[2] = s->syn + 8, s->p2[3] = 2;
      return true;
    }
    case T_SYNOPTHDR: {
      if (t.alen || !outer || s->meas) return false;
      p2rule(s, s->p2[0], s->p2[3]);
      putblanks(s, s->p2[0]);
      if (t.colon) nested(s, t.text, t.tlen);
      else addplain(s, "options", 7);
      putblanks(s, std::max(1, s->p2[1] - s->col));
      addplain(s, "Description", 11);
      finishline(s);
      p2rule(s, s->p2[0], s->p2[3]);
      return true;
    }
    case T_SYNTAB:
    case T_DLGTAB:
      if (!t.colon || !outer || s->meas) return false;
      endpara(s);
      if (s->llen > 0) finishline(s);
      if (row->id == T_DLGTAB) {
        dashes(s, 2);
        putcell(s, SC_PLUS, static_cast<uint8_t>(s->attr | SA_LINE));
        putcell(s, ' ', s->attr);
        nested(s, t.text, t.tlen);
        putcell(s, ' ', s->attr);
        putcell(s, SC_PLUS, static_cast<uint8_t>(s->attr | SA_LINE));
        dashes(s, s->width - s->col);
      } else {
        putblanks(s, std::max(0, s->p2[0] - 2));
        nested(s, t.text, t.tlen);
      }
      finishline(s);
      s->swallownl = true;
      return true;
    case T_LINK:
    case T_HELPB:
      if (s->inlink || !t.alen) return false;
      linktext(s, t, row->id == T_HELPB ? SA_BF : 0);
      return true;
    case T_LINKNOARG:
      if (s->inlink || t.alen || !t.colon) return false;
      linktext(s, t, 0);
      return true;
    case T_LINKOPT:
      if (s->inlink) return false;
      if (!t.alen && !t.colon) {
        Tag u = t;
        u.args = "update";
        u.alen = 6;
        linktext(s, u, 0);
      } else {
        linktext(s, t, 0);
      }
      return true;
    case T_MANHELP:
    case T_MANHELPI: {
      if (s->inlink || !t.alen) return false;
      if (t.colon) {
        linktext(s, t, 0);
        return true;
      }
      // "[section] name" from the arguments "name section".
      const char* sp = static_cast<const char*>(std::memchr(t.args, ' ', t.alen));
      if (!sp) return false;
      std::string nm(t.args, static_cast<size_t>(sp - t.args));
      std::string sec(sp + 1, static_cast<size_t>(t.args + t.alen - sp - 1));
      std::string shown = "[" + sec + "] " + nm;
      Tag u = t;
      u.args = shown.c_str();
      u.alen = shown.size();
      linktext(s, u, row->id == T_MANHELPI ? SA_IT : SA_BF);
      return true;
    }
    case T_OPT:
    case T_OPTH:
    case T_CMDAB: {
      if (!t.alen && !t.colon) return false;
      uint8_t cmd = static_cast<uint8_t>((s->attr & ~SA_COLOR) | SA_HI);
      uint8_t save = s->attr;
      s->attr = cmd;
      if (row->id == T_CMDAB) {
        // {cmdab:su:mmarize}: the colons mark the minimal abbreviation.
        std::string txt(t.args, t.alen);
        if (t.colon) txt.append(t.text, t.tlen);
        bool ul = true;
        for (char c : txt) {
          if (c == ':') {
            ul = !ul;
            continue;
          }
          putcell(s, c, ul && t.colon ? static_cast<uint8_t>(cmd | SA_UL) : cmd);
        }
      } else {
        if (t.colon) {
          s->attr = static_cast<uint8_t>(cmd | SA_UL);
          addplain(s, t.args, t.alen);
          s->attr = cmd;
          nested(s, t.text, t.tlen);
        } else {
          addplain(s, t.args, t.alen);
        }
      }
      s->attr = save;
      return true;
    }
    case T_PLACE:
    case T_VAR:
    case T_VARS: {
      if (s->inlink || t.alen) return false;
      Tag u = t;
      u.colon = false;
      if (row->id == T_PLACE) u.args = t.name, u.alen = t.nlen;
      else if (row->id == T_VAR) u.args = "varname", u.alen = 7;
      else u.args = "varlist", u.alen = 7;
      if (t.colon) u = t, u.colon = true;
      linktext(s, u, 0);
      return true;
    }
    case T_IFIN:
    case T_WEIGHT:
    case T_DTYPE: {
      if (t.alen || t.colon) return false;
      static const char ifin[] = "[{it:{help if}}] [{it:{help in}}]";
      static const char wgt[] = "[{it:{help weight}}]";
      static const char dty[] = "[{it:{help datatypes:type}}]";
      const char* x = row->id == T_IFIN ? ifin : row->id == T_WEIGHT ? wgt : dty;
      nested(s, x, std::strlen(x));
      return true;
    }
  }
  return false;
}

// Reads "#}" at r (an optional minus sign, up to 6 digits); the end of the
// tag, or nullptr.
const char* numclose(const char* r, const char* e, int* v) {
  bool neg = r < e && *r == '-';
  if (neg) ++r;
  int x = 0, digits = 0;
  while (r < e && *r >= '0' && *r <= '9' && digits < 6) x = x * 10 + (*r++ - '0'), ++digits;
  if (!digits || r >= e || *r != '}') return nullptr;
  *v = neg ? -x : x;
  return r + 1;
}

// The colour of a three-letter colour tag name, or 0.
uint8_t color3(const char* n) {
  switch (n[0]) {
    case 't': return n[1] == 'x' && n[2] == 't' ? SA_TXT : 0;
    case 'r': return n[1] == 'e' && n[2] == 's' ? SA_RES : 0;
    case 'e': return n[1] == 'r' && n[2] == 'r' ? SA_ERR : 0;
    case 'c': return n[1] == 'o' && n[2] == 'm' ? SA_INP : n[1] == 'm' && n[2] == 'd' ? SA_HI : 0;
    default: return 0;
  }
}

// The tags of tables without their general parse: the colour tags, {col #}
// and {hline #}. Returns the end of the tag, or
// nullptr to leave it to dotag.
const char* fasttag(SmlStream* s, const char* p, const char* e) {
  // The commonest tags of tables, recognised by their bytes.
  const ptrdiff_t avail = e - p;
  if (avail >= 5 && p[4] == '}') {
    if (uint8_t c = color3(p + 1)) {
      s->attr = static_cast<uint8_t>((s->attr & ~SA_COLOR) | c);
      return p + 5;
    }
  }
  if (avail >= 5 && p[1] == 'c' && p[2] == ' ' && p[4] == '}' &&
      (p[3] == '|' || p[3] == '-' || p[3] == '+')) {
    char c = p[3] == '|' ? SC_VL : p[3] == '-' ? SC_HL : SC_PLUS;
    putcell(s, c, static_cast<uint8_t>(s->attr | SA_LINE));
    return p + 5;
  }
  if (avail >= 7 && p[1] == 'c' && p[2] == 'o' && p[3] == 'l' && p[4] == ' ') {
    int v;
    const char* r = numclose(p + 5, e, &v);
    if (r && docol(s, v)) return r;
    return nullptr;
  }
  if (avail >= 9 && p[1] == 'h' && p[2] == 'l' && p[3] == 'i' && p[4] == 'n' && p[5] == 'e' &&
      p[6] == ' ') {
    int v;
    const char* r = numclose(p + 7, e, &v);
    if (r && dohline(s, 1, v)) return r;
    return nullptr;
  }
  const char* q = p + 1;
  unsigned h = 2166136261u;
  while (q < e && q - p <= 14) {
    char c = *q;
    if (c == '}' || c == ' ' || c == ':' || c == '{' || c == '?') break;
    h = (h ^ static_cast<unsigned char>(c)) * 16777619u;
    ++q;
  }
  if (q >= e || q == p + 1 || q - p > 14) return nullptr;
  size_t n = static_cast<size_t>(q - p - 1);
  unsigned k = h & (TAGHASH - 1);
  const TagRow* row = nullptr;
  for (;;) {
    int i = taghash[k];
    if (i < 0) return nullptr;
    if (taglen[i] == n && sameword(tagrows[i].name, p + 1, n)) {
      row = &tagrows[i];
      break;
    }
    k = (k + 1) & (TAGHASH - 1);
  }
  if (*q == '}') {
    if (row->id == T_COLOR) {
      s->attr = static_cast<uint8_t>((s->attr & ~SA_COLOR) | row->a);
      return q + 1;
    }
    return nullptr;
  }
  if (*q != ' ' || (row->id != T_COL && row->id != T_HLINE)) return nullptr;
  int v;
  const char* r = numclose(q + 1, e, &v);
  if (!r) return nullptr;
  bool ok = row->id == T_COL ? docol(s, v) : dohline(s, 1, v);
  return ok ? r : nullptr;
}

// Finds the brace that closes the one at p; nullptr when there is none.
const char* matchbrace(const char* p, const char* e) {
  int nest = 0;
  for (const char* q = p; q < e; ++q) {
    if (*q == '{') ++nest;
    else if (*q == '}' && --nest == 0) return q;
  }
  return nullptr;
}

const char zmclseq[] = "{zmcl}\n";

// As-is text: passed through until "{zmcl}" and a line end, also when the
// sequence is split across sends. Returns the number of bytes consumed.
size_t asis(SmlStream* s, const char* p, size_t n) {
  size_t i = 0, start = 0;
  bool inpiece = false;  // the current partial match began in this piece
  while (i < n) {
    if (p[i] == zmclseq[s->zmatch]) {
      if (s->zmatch == 0) {
        addplain(s, p + start, i - start);
        start = i;
        inpiece = true;
      }
      ++i;
      if (++s->zmatch == 7) {
        s->zmatch = 0;
        s->mode = SML_LINE;
        return i;
      }
      continue;
    }
    if (s->zmatch) {
      // The partial match failed: its characters were text after all.
      if (!inpiece) {
        addplain(s, zmclseq, static_cast<size_t>(s->zmatch));
        start = i;
      }
      s->zmatch = 0;
      continue;
    }
    ++i;
  }
  if (!s->zmatch) addplain(s, p + start, n - start);
  return n;
}

// The interpreter loop over one piece of text.
void interp(SmlStream* s, const char* p, size_t n) {
  const char* const b = p;
  const char* e = p + n;
  // Once a brace has gone unmatched, the closing brace of every `{` is found
  // from one table, so that text full of stray braces stays linear.
  std::vector<int> closer;
  while (p < e) {
    if (s->stop) return;
    if (s->mode == SML_ASIS || s->mode == SML_OLDHELP) {
      p += asis(s, p, static_cast<size_t>(e - p));
      continue;
    }
    if (s->zmclpend) {
      s->zmclpend = false;
      if (*p == '\n') {
        ++p;
        continue;
      }
    }
    if (*p == '{') {
      if (const char* f = fasttag(s, p, e)) {
        p = f;
        continue;
      }
      const char* q;
      if (closer.empty()) {
        q = matchbrace(p, e);
        if (!q) {
          closer.assign(n, -1);
          std::vector<int> open;
          for (size_t i = static_cast<size_t>(p - b); i < n; ++i) {
            if (b[i] == '{') open.push_back(static_cast<int>(i));
            else if (b[i] == '}' && !open.empty()) {
              closer[static_cast<size_t>(open.back())] = static_cast<int>(i);
              open.pop_back();
            }
          }
        }
      } else {
        int c = closer[static_cast<size_t>(p - b)];
        q = c >= 0 ? b + c : nullptr;
      }
      if (!q) {
        size_t rest = static_cast<size_t>(e - p);
        if (s->depth == 0 && !s->meas && rest < SMLHOLDMAX && !std::memchr(p, '\n', rest)) {
          s->hold.assign(p, rest);
          return;
        }
        addplain(s, p, 1);
        ++p;
        continue;
      }
      if (!dotag(s, p + 1, static_cast<size_t>(q - p - 1)))
        addplain(s, p, static_cast<size_t>(q - p + 1));
      p = q + 1;
      continue;
    }
    const char* r = static_cast<const char*>(std::memchr(p, '{', static_cast<size_t>(e - p)));
    if (!r) r = e;
    addplain(s, p, static_cast<size_t>(r - p));
    p = r;
  }
}

}  // namespace

// Creates a stream in line mode with text colour.
SmlStream* smlopen(int kind, int width) {
  if (!taghash_ready) buildtaghash();
  auto* s = new SmlStream();
  s->kind = kind;
  smlset_maxwidth(s, width);
  return s;
}

// Flushes the stream and frees it.
void smlclose(SmlStream* s) {
  if (!s) return;
  smlflush(s);
  delete s;
}

// Interprets ZMCL text; ZMCL sinks get it unchanged first.
int smlsend(SmlStream* s, const char* text, size_t len) {
  if (s->stop) return s->stop;
  for (SmlSink& k : s->sinks)
    if (k.zmcl && k.on) sinkwrite(k, text, len);
  if (!s->hold.empty()) {
    std::string all = std::move(s->hold);
    s->hold.clear();
    all.append(text, len);
    interp(s, all.data(), all.size());
  } else {
    interp(s, text, len);
  }
  return s->stop;
}

// Sends text with its braces escaped (unchanged in as-is modes).
int smlsendraw(SmlStream* s, const char* text, size_t len) {
  if (s->mode == SML_ASIS || s->mode == SML_OLDHELP) return smlsend(s, text, len);
  const char* b = text;
  const char* e = text + len;
  const char* p = text;
  std::string esc;
  for (; p < e; ++p) {
    if (*p != '{' && *p != '}') continue;
    esc.append(b, static_cast<size_t>(p - b));
    esc += *p == '{' ? "{c -(}" : "{c )-}";
    b = p + 1;
  }
  if (b == text) return smlsend(s, text, len);
  esc.append(b, static_cast<size_t>(e - b));
  return smlsend(s, esc.data(), esc.size());
}

// Writes the partial line and any held text to the sinks and flushes files.
void smlflush(SmlStream* s) {
  if (!s->hold.empty()) {
    std::string h = std::move(s->hold);
    s->hold.clear();
    addplain(s, h.data(), h.size());
  }
  if (s->llen > s->lsent) {
    emitline(s, s->lsent, s->llen, false);
    s->lsent = s->llen;
  }
  for (SmlSink& k : s->sinks)
    if (k.f) std::fflush(k.f);
}

// Sends the colour tag of `color` when the stream shows another colour.
int smlcolorset(SmlStream* s, int color) {
  if ((s->attr & SA_COLOR) == color) return s->stop;
  switch (color) {
    case SA_RES: return smlsend(s, "{res}", 5);
    case SA_ERR: return smlsend(s, "{err}", 5);
    case SA_INP: return smlsend(s, "{com}", 5);
    case SA_HI: return smlsend(s, "{hi}", 4);
    default: return smlsend(s, "{txt}", 5);
  }
}

// Sets the line width, kept within 40 to 255.
void smlset_maxwidth(SmlStream* s, int width) {
  s->width = std::clamp(width, 40, 255);
}

// Counts a finished line; at a full screen asks the user through the callback.
void smlmore(SmlStream* s) {
  if (!s->morefn || s->pagelen <= 1) return;
  ++s->morelines;
  if (!s->moreonce && s->morelines < s->pagelen - 1) return;
  s->morelines = 0;
  s->moreonce = false;
  int r = s->morefn(s);
  if (r < 0) s->stop = 1;
  else if (r == 1) s->moreonce = true;
}

// Returns the stream to its starting state (the built line is kept).
void smlreinitialize(SmlStream* s) {
  if (s->mode == SML_PARA) endpara(s);
  s->mode = SML_LINE;
  s->attr = SA_TXT;
  s->hold.clear();
  s->zmatch = 0;
  s->zmclpend = s->swallownl = s->contline = false;
  s->depth = s->inlink = s->bind = 0;
  s->stop = 0;
  s->morelines = 0;
  s->moreonce = false;
}

void smlabandon(SmlStream* s) {
  s->stop = 0;
  s->wlen = s->wcols = 0;
  s->hold.clear();
  s->llen = s->lsent;
  s->mode = SML_LINE;
  s->depth = s->inlink = s->bind = 0;
  s->zmatch = 0;
  s->zmclpend = s->swallownl = s->contline = false;
  if (s->llen > 0) finishline(s);
  s->pfirst = true;
  s->phas = false;
  s->nls = s->srcblanks = 0;
}

// Writes "{zmcl}", a line end and the state tags to a ZMCL log.
void smlwritestate(SmlStream* s, std::FILE* f) {
  std::string o = "{zmcl}\n";
  switch (s->attr & SA_COLOR) {
    case SA_RES: o += "{res}"; break;
    case SA_ERR: o += "{err}"; break;
    case SA_INP: o += "{com}"; break;
    default: o += "{txt}"; break;
  }
  o += (s->attr & SA_BF) ? "{bf}" : (s->attr & SA_IT) ? "{it}" : "{sf}";
  o += (s->attr & SA_UL) ? "{ul on}" : "{ul off}";
  if (s->mode == SML_PARA) {
    char b[64];
    std::snprintf(b, sizeof b, "{p %d %d %d}", s->pind1, s->pind2, s->pmarg);
    o += b;
  } else if (s->mode == SML_ASIS) {
    o += "{asis}";
  } else if (s->mode == SML_OLDHELP) {
    o += "{s6hlp}";
  }
  std::fwrite(o.data(), 1, o.size(), f);
}
