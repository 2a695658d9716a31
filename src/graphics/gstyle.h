// Drawing conventions the renderers share: the nine pens of the use-pens
// register and the symbol codes' shapes and size factors.
#pragma once
#include <cstdint>
#include <string>

struct Gdl;
struct ExportOpts;

// The nine pens used when the use-pens register is on (index 1..9).
inline constexpr unsigned char gs_pens[10][3] = {
    {0, 0, 0},     {0, 0, 0},       {26, 71, 111}, {144, 53, 59},   {85, 117, 47},
    {227, 126, 0}, {110, 142, 132}, {193, 5, 52},  {147, 141, 210}, {202, 194, 126}};

// Symbol shapes: 0 dot, 1 filled circle, 2 filled square, 3 filled diamond,
// 4 filled triangle, 5 plus, 6 cross, 7 hollow triangle, 8 hollow circle,
// 9 hollow diamond, -1 none; and the size factor.
inline void symshape(int code, int* shape, double* f) {
  *f = 1.0;
  switch (code) {
    case 0: *shape = 0; break;
    case 1: *shape = 1; break;
    case 2: *shape = 2; break;
    case 8: *shape = 3; break;
    case 9: *shape = 4; break;
    case 10: *shape = 5; break;
    case 11: *shape = 6; break;
    case 12: *shape = 3, *f = 0.6; break;
    case 13: *shape = 2, *f = 0.6; break;
    case 14: *shape = 1, *f = 0.6; break;
    case 15: *shape = 4, *f = 0.6; break;
    case 16: *shape = 5, *f = 0.6; break;
    case 17: *shape = 6, *f = 0.6; break;
    case 18: *shape = 6, *f = 1.5; break;
    case 3: *shape = 7; break;
    case 4: *shape = 8, *f = 0.6; break;
    case 5: *shape = 9; break;
    case 6: *shape = 5; break;
    case 7: *shape = 6; break;
    default: *shape = -1; break;
  }
}

// The points of a point-cloud opcode, the same in every renderer: l[0]
// points (at most 100,000) spread evenly, from the seed l[1], within l[2] by
// l[3] device units around (s[0], s[1]); each goes to at(x, y) in device units.
template <class F>
void gs_cloud(const int32_t l[4], const int16_t s[4], F&& at) {
  const long n = l[0] < 0 ? 0 : l[0] > 100000 ? 100000 : l[0];
  uint64_t z = static_cast<uint32_t>(l[1]) * 2654435761ULL + 1;
  for (long i = 0; i < n; ++i) {
    z ^= z << 13, z ^= z >> 7, z ^= z << 17;
    const double u = static_cast<double>(z >> 11) / 9007199254740992.0 - 0.5;
    z ^= z << 13, z ^= z >> 7, z ^= z << 17;
    const double w = static_cast<double>(z >> 11) / 9007199254740992.0 - 0.5;
    at(static_cast<int>(s[0] + u * l[2]), static_cast<int>(s[1] + w * l[3]));
  }
}

// Writes g as SVG (pdf false) or PDF to fn with the vector writer. 0 or a
// code (printed).
int gr_export_vector(Gdl& g, const std::string& fn, bool pdf, const ExportOpts& o);

// Text as XML character data or attribute value: & < > " ' escaped, control
// characters dropped, bytes that are not UTF-8 taken as Latin-1.
std::string gs_xmlescape(const char* s);
// A PDF string literal body in WinAnsiEncoding with its escapes.
std::string gs_pdfescape(const char* s);
// A font name as a quoted CSS string, escaped for an XML attribute.
std::string gs_cssfont(const char* name);
