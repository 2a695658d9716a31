// The special characters of the {c} (or {char}) tag: line-drawing cells,
// braces and other characters that the markup reserves, and accented letters
// produced in the output character set (Latin-1, or the Mac set where it has
// the letter and a plain letter where it has none).
#include <cstdlib>
#include <cstring>

#include "output/zmcl.h"

// Plain-text forms of the line-drawing cells (index = cell byte).
const char smlplain[32] = {' ', '-', '|', '+', '+', '+', '+', '+', '+', '+', '+', '+',
                           ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ',
                           ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '};

namespace {

struct CharRow {
  const char* code;
  unsigned char latin1;  // character code, or a line-drawing cell below 32
};

// Sorted by code for the binary search in smlcharcode.
const CharRow chartab[] = {
    {"$|", '$'},   {"'g", '`'},   {")-", '}'},   {"+", SC_PLUS}, {"-", SC_HL},   {"-(", '{'},
    {"A'", 0xC1},  {"A'g", 0xC0}, {"A:", 0xC4},   {"AE", 0xC6},   {"A^", 0xC2},  {"A~", 0xC3},
    {"BLC", SC_BLC}, {"BRC", SC_BRC}, {"BT", SC_BT}, {"C,", 0xC7}, {"C=", 0x80},
    {"E'", 0xC9},  {"E'g", 0xC8}, {"E:", 0xCB},   {"E^", 0xCA},   {"I'", 0xCD},  {"I'g", 0xCC},
    {"I:", 0xCF},  {"I^", 0xCE},  {"L-", 0xA3},   {"LT", SC_LT},  {"N~", 0xD1},  {"O'", 0xD3},
    {"O'g", 0xD2}, {"O/", 0xD8},  {"O:", 0xD6},   {"O^", 0xD4},   {"O~", 0xD5},  {"RT", SC_RT},
    {"S|", '$'},   {"TLC", SC_TLC}, {"TRC", SC_TRC}, {"TT", SC_TT}, {"U'", 0xDA},  {"U'g", 0xD9},
    {"U:", 0xDC},  {"U^", 0xDB},  {"Y'", 0xDD},   {"Y=", 0xA5},   {"a'", 0xE1},  {"a'g", 0xE0},
    {"a:", 0xE4},  {"a^", 0xE2},  {"ae", 0xE6},   {"a~", 0xE3},   {"c,", 0xE7},  {"e'", 0xE9},
    {"e'g", 0xE8}, {"e:", 0xEB},  {"e^", 0xEA},   {"i'", 0xED},   {"i'g", 0xEC}, {"i:", 0xEF},
    {"i^", 0xEE},  {"n~", 0xF1},  {"o'", 0xF3},   {"o'g", 0xF2},  {"o/", 0xF8},  {"o:", 0xF6},
    {"o^", 0xF4},  {"o~", 0xF5},  {"r!", 0xA1},   {"r?", 0xBF},   {"ss", 0xDF},  {"u'", 0xFA},
    {"u'g", 0xF9}, {"u:", 0xFC},  {"u^", 0xFB},   {"y'", 0xFD},   {"y:", 0xFF},  {"|", SC_VL},
};
constexpr int NCHAR = sizeof chartab / sizeof chartab[0];

// Mac character set codes of the Latin-1 letters 0xC0..0xFF (0 = none; then
// the plain letter of macplain is used).
const unsigned char macupper[64] = {
    203, 231, 229, 204, 128, 129, 174, 130, 233, 131, 230, 232, 237, 234, 235, 236,
    0,   132, 241, 238, 239, 205, 133, 0,   175, 244, 242, 243, 134, 0,   0,   167,
    136, 135, 137, 139, 138, 140, 190, 141, 143, 142, 144, 145, 147, 146, 148, 149,
    0,   150, 152, 151, 153, 155, 154, 0,   191, 157, 156, 158, 159, 0,   0,   216};
const char macplain[64] = {
    'A', 'A', 'A', 'A', 'A', 'A', 'A', 'C', 'E', 'E', 'E', 'E', 'I', 'I', 'I', 'I',
    'D', 'N', 'O', 'O', 'O', 'O', 'O', 'x', 'O', 'U', 'U', 'U', 'U', 'Y', 'T', 's',
    'a', 'a', 'a', 'a', 'a', 'a', 'a', 'c', 'e', 'e', 'e', 'e', 'i', 'i', 'i', 'i',
    'd', 'n', 'o', 'o', 'o', 'o', 'o', '/', 'o', 'u', 'u', 'u', 'u', 'y', 't', 'y'};

// The Mac set's code of a Latin-1 code above 127.
unsigned char tomac(unsigned char c) {
  switch (c) {
    case 0x80: return 'E';  // the euro has no Mac code here
    case 0xA1: return 0xC1;
    case 0xA3: return 0xA3;
    case 0xA5: return 0xB4;
    case 0xBF: return 0xC0;
    default: break;
  }
  if (c >= 0xC0) {
    unsigned char m = macupper[c - 0xC0];
    return m ? m : static_cast<unsigned char>(macplain[c - 0xC0]);
  }
  return c;
}

}  // namespace

// Looks up a {c} code; writes the cell byte and its attribute bits.
bool smlcharcode(const char* code, size_t len, int charset, char* ch, uint8_t* at) {
  if (len == 1 && (*code == '|' || *code == '-' || *code == '+')) {
    // The rules of tables, without the search.
    *ch = *code == '|' ? SC_VL : *code == '-' ? SC_HL : SC_PLUS;
    *at = SA_LINE;
    return true;
  }
  int lo = 0, hi = NCHAR - 1;
  while (lo <= hi) {
    int mid = (lo + hi) / 2;
    const char* k = chartab[mid].code;
    size_t kl = std::strlen(k);
    int c = std::memcmp(k, code, kl < len ? kl : len);
    if (c == 0) c = kl < len ? -1 : (kl > len ? 1 : 0);
    if (c == 0) {
      unsigned char v = chartab[mid].latin1;
      if (v < 32) {
        *ch = static_cast<char>(v);
        *at = SA_LINE;
      } else if (v >= 128) {
        *ch = static_cast<char>(charset ? tomac(v) : v);
        *at = SA_CCHAR;
      } else {
        *ch = static_cast<char>(v);
        *at = 0;
      }
      return true;
    }
    if (c < 0) lo = mid + 1;
    else hi = mid - 1;
  }
  // A decimal or 0x hexadecimal character code.
  if (!len || len > 10) return false;
  char buf[12];
  std::memcpy(buf, code, len);
  buf[len] = 0;
  char* end;
  long v = (len > 2 && buf[0] == '0' && (buf[1] == 'x' || buf[1] == 'X'))
               ? std::strtol(buf + 2, &end, 16)
               : std::strtol(buf, &end, 10);
  if (*end || end == buf || v < 32 || v > 255 || !(buf[0] >= '0' && buf[0] <= '9')) return false;
  *ch = static_cast<char>(v);
  *at = v >= 128 ? SA_CCHAR : 0;
  return true;
}
