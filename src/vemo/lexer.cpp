// Vemo tokenizer: the reserved-word and operator table, the prefix-closed
// operator list, the character classes, and the reading of one token
// (member dot, quoted strings, numbers with exponents and imaginary suffix,
// names cut at a member dot, nested comments).
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <string>

#include "data/value.h"
#include "vemo/cc.h"

namespace {

struct ResWord {
  char text[16];
  int32_t code;
};

// Reserved words and operators, searched linearly, first match wins.
const ResWord reswords[] = {
    {"colvector", 222}, {"double", 208}, {"quad", 249}, {"else", 204}, {"external", 220},
    {"float", 210}, {"for", 200}, {"function", 205}, {"global", 214}, {"if", 203},
    {"int", 211}, {"short", 250}, {"long", 209}, {"boolean", 251}, {"matrix", 218},
    {"array", 252}, {"transmorphic", 202}, {"polymorphic", 241}, {"real", 223},
    {"return", 206}, {"rowvector", 221}, {"scalar", 219}, {"string", 212}, {"vector", 201},
    {"void", 213}, {"_void", 207}, {"while", 215}, {"break", 224}, {"continue", 225},
    {"do", 226}, {"goto", 227}, {"complex", 228}, {"numeric", 229}, {"pointer", 239},
    {"end", 230}, {"static", 231}, {"byte", 232}, {"local", 233}, {"struct", 234},
    {"aggregate", 235}, {"switch", 236}, {"case", 237}, {"default", 260}, {"class", 238},
    {"NULL", 240}, {"VOID", 242}, {"REALVOID", 243}, {"COMPLEXVOID", 244},
    {"STRINGVOID", 245}, {"POINTERVOID", 246}, {"version", 247}, {"pragma", 248},
    {"throw", 253}, {"catch", 254}, {"public", 255}, {"private", 256}, {"protected", 257},
    {"friend", 258}, {"const", 259}, {"new", 261}, {"super", 262}, {"this", 263},
    {"try", 264}, {"delete", 265}, {"enum", 266}, {"inline", 267}, {"namespace", 268},
    {"operator", 269}, {"signed", 270}, {"unsigned", 271}, {"template", 273},
    {"typedef", 274}, {"eltypedef", 232}, {"orgtypedef", 282}, {"typename", 279},
    {"union", 275}, {"volatile", 276}, {"explicit", 277}, {"export", 278}, {"using", 280},
    {"virtual", 281},
    // operators
    {"&&", 38}, {"||", 124}, {":=", 140}, {"==", 133}, {":==", 141}, {":!", 146},
    {":~", 146}, {"!=", 134}, {":!=", 147}, {":~=", 147}, {"~=", 134}, {":>", 142},
    {":>=", 143}, {">=", 136}, {":<", 144}, {":<=", 145}, {"<=", 135}, {"++", 137},
    {"--", 138}, {":/", 148}, {":*", 149}, {":+", 150}, {":-", 151}, {"/*", 216},
    {"*/", 217}, {":|", 152}, {":&", 153}, {":^", 154}, {"..", 156}, {"::", 157},
    {"[|", 158}, {"|]", 159}, {"->", 161},
    {"", 0},
};

// Operators in prefix-closed order: every prefix of an entry comes before it.
const char* const oplist[] = {
    "=", "==", ">", ">=", "<", "<=", "!", "!=", "~", "~=", "/", "/*", "*", "*/", "+", "++",
    "-", "--", ".", "..", "\\", "::", "&", "&&", "[", "[|", "|", "||", "|]", "->", ":", ":=",
    ":==", ":>", ":>=", ":<", ":<=", ":!", ":!=", ":~", ":~=", ":/", ":*", ":+", ":-", ":|",
    ":&", ":^",
};

// Character classes: 1 break character.
struct CharClass {
  unsigned char c[256] = {};
  constexpr CharClass() {
    const char* brk = " \"\\'`~:;,<>/?!@|#$%^&*()-+=[]{}";
    for (const char* p = brk; *p; ++p) c[static_cast<unsigned char>(*p)] = 1;
    c[9] = 1;  // tab
  }
};
constexpr CharClass cls;

bool isbreak(unsigned char ch) { return cls.c[ch] != 0; }

bool validname(const char* s) {
  if (!(std::isalpha(static_cast<unsigned char>(*s)) || *s == '_')) return false;
  size_t n = 0;
  for (const char* p = s; *p; ++p, ++n)
    if (!(std::isalnum(static_cast<unsigned char>(*p)) || *p == '_')) return false;
  return n <= 32;
}

// Converts a whole text to a number (missing values included).
bool tonum(const char* s, double* x) {
  if (s[0] == '.' && (s[1] == 0 || (s[1] >= 'a' && s[1] <= 'z' && s[2] == 0))) {
    *x = s[1] ? misval_k(s[1] - 'a' + 1) : misval;
    return true;
  }
  if (!*s) return false;
  std::string t(s);
  for (char& c : t)
    if (c == 'd' || c == 'D') c = 'e';
  if (t.find_first_of("xXnN") != std::string::npos) return false;  // no hex, inf, nan
  char* e = nullptr;
  *x = std::strtod(t.c_str(), &e);
  return e && *e == 0 && e != t.c_str();
}

}  // namespace

const char* cc_resword(int code) {
  for (const ResWord* r = reswords; r->text[0]; ++r)
    if (r->code == code) return r->text;
  return "";
}

int cc_reslookup(const char* text) {
  for (const ResWord* r = reswords; r->text[0]; ++r)
    if (!std::strcmp(r->text, text)) return r->code;
  return 0;
}

std::string cc_tokdesc(int code) {
  switch (code) {
    case T_EOL: return "nothing";
    case T_NUM: return "number";
    case T_NAME: return "name";
    case T_STR: return "quoted string";
    case T_OTHER: return "almost anything else";
    default: break;
  }
  const char* w = cc_resword(code);
  if (*w) return std::string("'") + w + "'";
  if (code > 0 && code < 128) return std::string("'") + static_cast<char>(code) + "'";
  return "almost anything else";
}

// Reads one token. *comment counts open /* */ comments across lines: while
// it is positive the text is skipped.
int cc_lex(const std::string& line, CcTok& t, int* comment) {
  const size_t n = line.size();
  size_t& p = t.pos;
  t.prev2 = t.prev;
  t.prev = t.code;
  t.str.clear();
  t.num = 0;
  for (;;) {
    while (*comment > 0) {
      if (p >= n) {
        t.text[0] = 0;
        return t.code = T_EOL;
      }
      if (line[p] == '*' && p + 1 < n && line[p + 1] == '/') {
        --*comment;
        p += 2;
      } else if (line[p] == '/' && p + 1 < n && line[p + 1] == '*') {
        ++*comment;
        p += 2;
      } else {
        ++p;
      }
    }
    while (p < n && (line[p] == ' ' || line[p] == '\t' || line[p] == '\r')) ++p;
    if (p + 1 < n && line[p] == '/' && line[p + 1] == '*') {
      ++*comment;
      p += 2;
      continue;
    }
    if (p + 1 < n && line[p] == '/' && line[p + 1] == '/') p = n;  // comment to end of line
    break;
  }
  if (p >= n) {
    t.text[0] = 0;
    return t.code = T_EOL;
  }
  const char c = line[p];
  // 1. the member operator
  if (c == '.' && (p + 1 >= n || line[p + 1] != '.') &&
      (t.prev == ')' || t.prev == ']' || t.prev == T_NAME)) {
    ++p;
    std::strcpy(t.text, ".");
    return t.code = T_MEMBER;
  }
  // 2. quoted strings
  if (c == '"' || (c == '`' && p + 1 < n && line[p + 1] == '"')) {
    if (c == '"') {
      size_t q = line.find('"', p + 1);
      if (q == std::string::npos) {
        p = n;
        return t.code = -1;  // mismatched quotes
      }
      t.str.assign(line, p + 1, q - p - 1);
      p = q + 1;
    } else {
      int depth = 0;
      size_t q = p;
      size_t start = p + 2;
      for (; q < n; ++q) {
        if (line[q] == '`' && q + 1 < n && line[q + 1] == '"') {
          ++depth;
          ++q;
        } else if (line[q] == '"' && q + 1 < n && line[q + 1] == '\'') {
          if (--depth == 0) break;
          ++q;
        }
      }
      if (q >= n) {
        p = n;
        return t.code = -1;
      }
      t.str.assign(line, start, q - start);
      p = q + 2;
    }
    std::snprintf(t.text, sizeof t.text, "%s", t.str.c_str());
    return t.code = T_STR;
  }
  std::string text;
  if (isbreak(static_cast<unsigned char>(c)) || (c == '.' && p + 1 < n && line[p + 1] == '.')) {
    // 3. the longest operator of the prefix-closed list
    size_t best = 0;
    for (const char* op : oplist) {
      size_t len = std::strlen(op);
      if (len > best && p + len <= n && !line.compare(p, len, op)) best = len;
    }
    if (!best) best = 1;
    text.assign(line, p, best);
    p += best;
  } else {
    size_t q = p;
    while (q < n && !isbreak(static_cast<unsigned char>(line[q])) &&
           !(line[q] == '.' && q + 1 < n && line[q + 1] == '.' && q > p))
      ++q;
    text.assign(line, p, q - p);
    p = q;
  }
  // 5. a name with a member dot is cut at the dot
  size_t dot = text.find('.');
  if (dot != std::string::npos && dot > 0 && validname(text.substr(0, dot).c_str())) {
    p -= text.size() - dot;
    text.resize(dot);
  }
  if (text.size() > 130) {
    p -= text.size() - 130;
    text.resize(130);
  }
  std::memcpy(t.text, text.c_str(), text.size() + 1);
  // 4. classify
  if (int rc = cc_reslookup(t.text)) return t.code = rc;
  if (validname(t.text)) return t.code = T_NAME;
  if (text.size() == 1 && !std::isdigit(static_cast<unsigned char>(text[0])) && text[0] != '.')
    return t.code = static_cast<unsigned char>(text[0]);
  auto number = [&](std::string s, int* code) {
    bool imag = false;
    if (s.size() > 1 && s.back() == 'i' && s[s.size() - 2] != '.') {
      imag = true;
      s.pop_back();
    }
    if (!tonum(s.c_str(), &t.num)) return false;
    *code = imag ? T_IMAG : T_NUM;
    return true;
  };
  int code = 0;
  if (number(text, &code)) return t.code = code;
  char last = text.empty() ? 0 : text.back();
  if (std::strchr("eEdDxX", last) && last && p < n && (line[p] == '+' || line[p] == '-')) {
    size_t q = p + 1;
    while (q < n && !isbreak(static_cast<unsigned char>(line[q]))) ++q;
    std::string joined = text + line.substr(p, q - p);
    if (joined.size() <= 129 && number(joined, &code)) {
      p = q;
      std::snprintf(t.text, sizeof t.text, "%s", joined.c_str());
      return t.code = code;
    }
  }
  return t.code = T_OTHER;
}
