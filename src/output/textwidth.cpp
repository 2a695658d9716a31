// Display width of UTF-8 text: a small decoder and the column count of each
// code point (zero for combining marks, two for wide characters), enough for
// lining up the names, labels and string values that tables show.
#include "output/textwidth.h"

#include <cstdint>

namespace {

struct Range {
  uint32_t lo, hi;
};

// Code points that take no column: combining marks, zero-width spaces and
// joiners, variation selectors.
constexpr Range zerowidth[] = {
    {0x0300, 0x036F}, {0x0483, 0x0489}, {0x0591, 0x05BD}, {0x0610, 0x061A}, {0x064B, 0x065F},
    {0x0E31, 0x0E31}, {0x0E34, 0x0E3A}, {0x0E47, 0x0E4E}, {0x1AB0, 0x1AFF}, {0x1DC0, 0x1DFF},
    {0x200B, 0x200F}, {0x202A, 0x202E}, {0x2060, 0x2064}, {0x20D0, 0x20FF}, {0xFE00, 0xFE0F},
    {0xFE20, 0xFE2F}, {0xFEFF, 0xFEFF}, {0xE0100, 0xE01EF},
};

// Code points that take two columns: East Asian wide and full-width forms,
// and the emoji blocks.
constexpr Range wide[] = {
    {0x1100, 0x115F},   {0x2E80, 0x303E},   {0x3041, 0x33FF},   {0x3400, 0x4DBF},
    {0x4E00, 0x9FFF},   {0xA000, 0xA4CF},   {0xAC00, 0xD7A3},   {0xF900, 0xFAFF},
    {0xFE30, 0xFE4F},   {0xFF00, 0xFF60},   {0xFFE0, 0xFFE6},   {0x1F300, 0x1F64F},
    {0x1F900, 0x1F9FF}, {0x20000, 0x2FFFD}, {0x30000, 0x3FFFD},
};

template <size_t N>
bool inranges(const Range (&r)[N], uint32_t c) {
  for (const Range& x : r)
    if (c >= x.lo && c <= x.hi) return true;
  return false;
}

// Decodes the character at s[i]: its byte length (1 for a stray byte, which
// then stands for itself) and its column count.
size_t step(std::string_view s, size_t i, int* cols) {
  const auto b = static_cast<unsigned char>(s[i]);
  size_t n = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
  if (n <= 1 || i + n > s.size()) {
    *cols = 1;
    return 1;
  }
  uint32_t c = b & (0x7F >> n);
  for (size_t k = 1; k < n; ++k) {
    const auto t = static_cast<unsigned char>(s[i + k]);
    if ((t & 0xC0) != 0x80) {
      *cols = 1;
      return 1;
    }
    c = (c << 6) | (t & 0x3F);
  }
  *cols = inranges(zerowidth, c) ? 0 : inranges(wide, c) ? 2 : 1;
  return n;
}

}  // namespace

int u8width(std::string_view s) {
  int w = 0;
  for (size_t i = 0; i < s.size();) {
    int c;
    i += step(s, i, &c);
    w += c;
  }
  return w;
}

size_t u8fit(std::string_view s, int w) {
  int used = 0;
  size_t i = 0;
  while (i < s.size()) {
    int c;
    const size_t n = step(s, i, &c);
    if (used + c > w) break;
    used += c;
    i += n;
  }
  return i;
}

size_t u8next(std::string_view s, size_t i) {
  int c;
  return i + step(s, i, &c);
}

std::string u8pad(std::string_view s, int w, int just) {
  std::string t(s);
  const int have = u8width(s);
  if (have >= w) return t;
  const size_t pad = static_cast<size_t>(w - have);
  const size_t before = just > 0 ? pad : (just == 0 ? pad / 2 : 0);
  return std::string(before, ' ') + t + std::string(pad - before, ' ');
}
