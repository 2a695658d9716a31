// Schemes: the look of a graph (page and plot colours, the series colours,
// symbols and line patterns in order, the font, text sizes, line widths and
// margins) read from a plain-text NAME.scheme file. One scheme is active;
// graph programs read its values through `_gscheme` and draw with them, so
// a saved graph keeps the look it was drawn with.
#pragma once
#include <string>
#include <vector>

// Where the text of each kind goes, in the order of gsch_sizenames.
enum : int { GS_TITLE, GS_SUBTITLE, GS_AXISTITLE, GS_TICKLABEL, GS_LEGEND, GS_NOTE, GS_NSIZES };

struct GSeries {
  unsigned char rgb[3] = {0, 0, 0};   // colour of markers and lines
  std::string symbol = "circle";      // marker symbol (a gdi symbol name)
  std::string pattern = "solid";      // line pattern (solid dash dot dash_dot shortdash longdash)
};

struct GScheme {
  std::string name;                   // the file's name without .scheme
  std::string description;            // one line shown by `graph scheme`
  unsigned char bg[3] = {255, 255, 255};     // the page
  unsigned char plotbg[3] = {255, 255, 255}; // inside the axes
  unsigned char fg[3] = {0, 0, 0};           // axes, ticks, frames
  unsigned char text[3] = {0, 0, 0};         // all text
  unsigned char grid[3] = {223, 223, 223};   // grid lines
  bool gridon = true;                 // `grid off` draws none
  double gridwidth = 1, axiswidth = 1, linewidth = 1.6, markersize = 1;
  std::string font = "DejaVu Sans";   // family of all text
  double size[GS_NSIZES] = {12, 10, 9, 8, 8, 7};  // points
  double margin[4] = {10, 10, 10, 8}; // left right top bottom, points
  std::vector<GSeries> series;        // at least one
};

// The names of the text sizes as the scheme file and r() spell them.
extern const char* const gsch_sizenames[GS_NSIZES];

// The active scheme (loaded at first use from the `scheme` setting; the
// built-in copy of `modern` when no file can be read).
const GScheme& gsch_active();
// Forgets the active scheme, so that the next use reads the one `set scheme`
// names (reset-all).
void gsch_reset();
// Reads scheme `name` into out. 0, or 111 (no such scheme) / 610 (a bad
// line), with the message printed unless quiet.
[[nodiscard]] int gsch_load(const std::string& name, GScheme& out, bool quiet = false);
// Makes `name` the active scheme: 0, or the code of gsch_load with the
// active scheme unchanged.
[[nodiscard]] int gsch_select(const std::string& name);
// Width, ascent and descent in points of text set in `font` at `size`
// points, measured with the renderers' own font machinery.
void gsch_measure(const std::string& font, double size, const char* text, double* width,
                  double* ascent, double* descent);
// Text as cairo takes it: valid UTF-8, a byte that does not start a valid
// sequence taken as Latin-1 (as the vector writer takes it). Text cairo
// refused would leave its context in error, and every later text unmeasured.
std::string gsch_utf8(const char* text);
// The face the renderers use for a font register value ("" and "default"
// give the default face).
const char* gsch_face(const char* font);
void gscheme_bindcommands();
