// TrueType fonts for embedding in PDF: finding the file of a family among
// the system's fonts, reading its metrics and character map, and writing a
// subset that keeps only the outlines of the glyphs a picture uses.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct TtFont {
  std::string data;                     // the whole file
  std::map<std::string, std::pair<uint32_t, uint32_t>> tables;  // tag -> offset, length
  int upem = 1000;                      // units per em
  int ascent = 0, descent = 0;          // hhea, font units (descent negative)
  int capheight = 0;                    // OS/2, font units (ascent when absent)
  int bbox[4] = {};                     // head: xmin ymin xmax ymax
  bool longloca = false;                // head: loca holds 32-bit offsets
  int nglyphs = 0;                      // maxp
  std::vector<uint16_t> adv;            // hmtx advance widths
  std::map<uint32_t, uint16_t> cmap;    // code point -> glyph
  std::string psname;                   // name table: PostScript name
};

// The file of a font family ("DejaVu Sans"), its regular style preferred,
// among the system's TrueType fonts; empty when none has that name.
std::string tt_findfamily(const std::string& family);
// Reads a TrueType font with glyf outlines; false when the file is not one.
bool tt_load(const std::string& path, TtFont& f);
// Advance width of a code point in thousandths of an em.
double tt_width1000(const TtFont& f, uint32_t cp);
// A font file with the outlines, metrics and character map of only the
// characters `cps` (glyphs renumbered from 1, .notdef and the parts of
// composite glyphs kept), without the layout and naming tables a PDF viewer
// does not read.
std::string tt_subset(const TtFont& f, const std::vector<uint32_t>& cps);
