// The vector writer: SVG and PDF written straight to the file as the display
// list replays, through one output buffer and a number formatter of its own
// (a million markers are a million short path commands, not a million
// allocations or printf calls). Points are batched into one path per run of
// equal symbol and pen, connected lines into one polyline. Text stays text:
// SVG <text> with XML and CSS escapes, PDF strings in the standard fonts
// with their escapes; cairo only measures the text for alignment. The PDF
// content stream is deflated on its way to the file.
#include <cairo.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "files/atomicfile.h"
#include "graphics/graphics.h"
#include "graphics/gscheme.h"
#include "graphics/gstyle.h"
#include "graphics/ttfont.h"
#include "output/errors.h"

namespace {

// The start of every PDF: object 1 is the content stream, whose length is
// object 2, written after it.
constexpr char PDFHEAD[] = "%PDF-1.4\n%\xe2\xe3\xcf\xd3\n";
constexpr char PDFOBJ1[] = "1 0 obj\n<< /Length 2 0 R /Filter /FlateDecode >>\nstream\n";

// Output buffer in front of the atomic file, deflating what is put between
// beginz and endz; the first failure sticks (909 when zlib has no memory).
struct Out {
  AtomicFile* f = nullptr;
  std::string buf;
  long total = 0;  // bytes handed to the file so far (PDF object offsets)
  int err = 0;
  bool deflating = false;
  z_stream zs{};

  Out() = default;
  Out(const Out&) = delete;
  Out& operator=(const Out&) = delete;
  ~Out() {
    if (deflating) deflateEnd(&zs);
  }
  void write(const void* p, size_t n) {
    if (!err) err = af_write(*f, p, n);
    total += static_cast<long>(n);
  }
  // Deflates the buffer into the file; mode Z_FINISH ends the stream.
  void deflatebuf(int mode) {
    unsigned char chunk[1 << 16];
    zs.next_in = reinterpret_cast<Bytef*>(buf.data());
    zs.avail_in = static_cast<uInt>(buf.size());
    int zrc;
    do {
      zs.next_out = chunk;
      zs.avail_out = sizeof chunk;
      zrc = deflate(&zs, mode);
      write(chunk, sizeof chunk - zs.avail_out);
    } while (zrc == Z_OK && (zs.avail_out == 0 || mode == Z_FINISH));
    if (zrc != Z_OK && zrc != Z_BUF_ERROR && zrc != Z_STREAM_END && !err) err = 909;
  }
  void flush() {
    if (buf.empty()) return;
    if (deflating) deflatebuf(Z_NO_FLUSH);
    else write(buf.data(), buf.size());
    buf.clear();
  }
  // Starts deflating what follows.
  void beginz() {
    flush();
    if (deflateInit(&zs, Z_DEFAULT_COMPRESSION) != Z_OK) {
      if (!err) err = 909;
      return;
    }
    deflating = true;
  }
  // Ends the deflated part: pos() is then again the file offset.
  void endz() {
    if (!deflating) return;
    deflatebuf(Z_FINISH);
    buf.clear();
    deflateEnd(&zs);
    deflating = false;
  }
  void put(const char* s, size_t n) {
    buf.append(s, n);
    if (buf.size() >= (1u << 18)) flush();
  }
  void put(const char* s) { put(s, std::strlen(s)); }
  void put(const std::string& s) { put(s.data(), s.size()); }
  void ch(char c) {
    buf.push_back(c);
    if (buf.size() >= (1u << 18)) flush();
  }
  // The file offset of the next byte (not while deflating).
  long pos() const { return total + static_cast<long>(buf.size()); }
  // A number with at most two decimals, trailing zeros dropped.
  void num(double v) {
    if (!std::isfinite(v)) v = 0;
    v = std::clamp(v, -1e7, 1e7);
    long k = std::lround(v * 100);
    char tmp[24];
    int n = 0;
    bool neg = k < 0;
    if (neg) k = -k;
    long ip = k / 100, fp = k % 100;
    if (fp) {
      if (fp % 10) {
        tmp[n++] = static_cast<char>('0' + fp % 10);
        tmp[n++] = static_cast<char>('0' + fp / 10);
      } else {
        tmp[n++] = static_cast<char>('0' + fp / 10);
      }
      tmp[n++] = '.';
    }
    do {
      tmp[n++] = static_cast<char>('0' + ip % 10);
      ip /= 10;
    } while (ip);
    if (neg) tmp[n++] = '-';
    char outb[24];
    for (int i = 0; i < n; ++i) outb[i] = tmp[n - 1 - i];
    put(outb, static_cast<size_t>(n));
  }
  void numsp(double v) {
    num(v);
    ch(' ');
  }
};

// Decodes UTF-8 into code points; a byte that does not start a valid
// sequence is taken as Latin-1 (older files hold Latin-1 text).
std::vector<unsigned> codepoints(const char* s) {
  std::vector<unsigned> cps;
  const unsigned char* p = reinterpret_cast<const unsigned char*>(s);
  while (*p) {
    unsigned c = *p;
    int len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    bool ok = len > 0;
    unsigned cp = len == 1 ? c : len == 2 ? c & 31 : len == 3 ? c & 15 : c & 7;
    for (int i = 1; ok && i < len; ++i) {
      if ((p[i] & 0xC0) != 0x80) ok = false;
      else cp = cp << 6 | (p[i] & 63);
    }
    if (ok && len > 1 && (cp < (len == 2 ? 0x80u : len == 3 ? 0x800u : 0x10000u) || cp > 0x10FFFF ||
                          (cp >= 0xD800 && cp <= 0xDFFF)))
      ok = false;
    if (!ok) {
      cps.push_back(c);
      ++p;
    } else {
      cps.push_back(cp);
      p += len;
    }
  }
  return cps;
}

void pututf8(std::string& o, unsigned cp) {
  if (cp < 0x80) {
    o.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    o.push_back(static_cast<char>(0xC0 | cp >> 6));
    o.push_back(static_cast<char>(0x80 | (cp & 63)));
  } else if (cp < 0x10000) {
    o.push_back(static_cast<char>(0xE0 | cp >> 12));
    o.push_back(static_cast<char>(0x80 | (cp >> 6 & 63)));
    o.push_back(static_cast<char>(0x80 | (cp & 63)));
  } else {
    o.push_back(static_cast<char>(0xF0 | cp >> 18));
    o.push_back(static_cast<char>(0x80 | (cp >> 12 & 63)));
    o.push_back(static_cast<char>(0x80 | (cp >> 6 & 63)));
    o.push_back(static_cast<char>(0x80 | (cp & 63)));
  }
}

}  // namespace

// Text as XML character data or attribute value: & < > " ' escaped, control
// characters (which XML 1.0 cannot hold) dropped, output valid UTF-8.
std::string gs_xmlescape(const char* s) {
  std::string o;
  for (unsigned cp : codepoints(s)) {
    switch (cp) {
      case '&': o += "&amp;"; break;
      case '<': o += "&lt;"; break;
      case '>': o += "&gt;"; break;
      case '"': o += "&quot;"; break;
      case '\'': o += "&apos;"; break;
      default:
        if (cp < 0x20 && cp != '\t') break;
        if (cp == 0x7F || (cp >= 0x80 && cp < 0xA0) || cp == 0xFFFE || cp == 0xFFFF) break;
        pututf8(o, cp);
    }
  }
  return o;
}

// The characters of codes 128 to 159 of WinAnsiEncoding (0: none).
constexpr unsigned winansi80[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// The WinAnsiEncoding code of a character, '?' when it has none.
unsigned winansi(unsigned cp) {
  if (cp >= 0x80 && cp < 0xA0) return '?';
  if (cp <= 0xFF) return cp;
  for (unsigned i = 0; i < 32; ++i)
    if (winansi80[i] == cp) return 0x80 + i;
  return '?';
}

// The character of a WinAnsiEncoding code.
unsigned fromwinansi(unsigned code) {
  return code >= 0x80 && code < 0xA0 ? winansi80[code - 0x80] : code;
}

// A PDF string literal body for WinAnsiEncoding: ( ) \ escaped, bytes outside
// printable ASCII written as octal escapes, characters WinAnsi lacks as ?.
std::string gs_pdfescape(const char* s) {
  std::string o;
  for (unsigned cp : codepoints(s)) {
    cp = winansi(cp);
    if (cp == '(' || cp == ')' || cp == '\\') {
      o.push_back('\\');
      o.push_back(static_cast<char>(cp));
    } else if (cp < 0x20 || cp >= 0x7F) {
      char b[8];
      std::snprintf(b, sizeof b, "\\%03o", cp);
      o += b;
    } else {
      o.push_back(static_cast<char>(cp));
    }
  }
  return o;
}

// A font name as a CSS string inside an XML attribute.
std::string gs_cssfont(const char* name) {
  std::string css = "'";
  for (const char* p = name; *p; ++p) {
    if (*p == '\'' || *p == '\\') css.push_back('\\');
    if (static_cast<unsigned char>(*p) >= 0x20) css.push_back(*p);
  }
  css += "'";
  return gs_xmlescape(css.c_str());
}

namespace {

struct Vec {
  bool pdf = false;
  Out out;
  int wreq = 0, hreq = 0;
  double W = 0, H = 0;    // page in points (PDF) or user units (SVG)
  double sc = 1;          // units per device unit
  double ptscale = 1;     // units per point of text size
  double base = 1;        // units of line width 1
  double cx = 0, cy = 0;  // current position (device units)
  bool page = false;
  // the batch being built: 0 none, 1 points, 2 connected line
  int batch = 0;
  int bsym = -1, bshape = -1;
  double bwidth = 0;      // stroke width of the batch
  std::string bstyle;     // SVG attributes / PDF state of the batch
  long nseg = 0;
  bool inpoly = false, polystarted = false;
  std::string poly;       // polygon path being built
  double pminx = 0, pminy = 0, pmaxx = 0, pmaxy = 0;
  int nclip = 0;          // SVG clip paths made
  std::vector<int> alphas;       // PDF: shade intensities used (percent)
  // PDF: the fonts embedded as /F1, /F2, /F3 (sans, serif, fixed: the
  // first family of each kind a text names, else the system's own face of
  // that kind); one absent when no TrueType file of it is found, and the
  // viewer's Helvetica, Times or Courier then stands in
  bool fontlooked[3] = {false, false, false};
  std::unique_ptr<TtFont> font[3];
  std::set<uint32_t> chars[3];   // characters the texts of each use
  cairo_surface_t* msurf = nullptr;  // text measuring
  cairo_t* mcr = nullptr;
};

double X(const Vec& v, double x) { return x * v.sc; }
// SVG runs y downwards; PDF upwards from the bottom of the page.
double Y(const Vec& v, double y) { return v.pdf ? y * v.sc : v.H - y * v.sc; }

const unsigned char* penrgb() {
  const GdlRegs& r = gr.cur;
  return r.usepens && r.pen >= 1 && r.pen <= 9 ? gs_pens[r.pen] : r.linergb;
}

double linewidth(const Vec& v) {
  double w = gr.cur.linewidth;
  return w > 0 && w < 1e6 ? w * v.base : 0;
}

std::string hexrgb(const unsigned char* c) {
  char b[8];
  std::snprintf(b, sizeof b, "#%02x%02x%02x", c[0], c[1], c[2]);
  return b;
}

std::string pdfrgb(const unsigned char* c, bool stroke) {
  char b[64];
  std::snprintf(b, sizeof b, "%.3g %.3g %.3g %s\n", c[0] / 255.0, c[1] / 255.0, c[2] / 255.0, stroke ? "RG" : "rg");
  return b;
}

// Stroke attributes of the current pen: colour, width, dashes, cap, join.
std::string strokestyle(const Vec& v, double width, const char* cap, const char* join, bool dashes) {
  const GdlRegs& r = gr.cur;
  std::string dash;
  std::vector<double> d;
  if (dashes && r.ndash > 0) {
    bool any = false;
    for (int i = 0; i < r.ndash; ++i) {
      d.push_back(std::max(0, r.dash[i + 1]) * v.sc);
      any = any || d.back() > 0;
    }
    if (!any) d.clear();
  }
  char b[64];
  if (v.pdf) {
    std::string s = pdfrgb(penrgb(), true);
    std::snprintf(b, sizeof b, "%.3f w %d J %d j\n", width, !std::strcmp(cap, "round") ? 1 : 0,
                  !std::strcmp(join, "round") ? 1 : 0);
    s += b;
    s += "[";
    for (double x : d) {
      std::snprintf(b, sizeof b, "%.2f ", x);
      s += b;
    }
    std::snprintf(b, sizeof b, "] %.2f d\n", d.empty() ? 0.0 : r.dash[0] * v.sc);
    s += b;
    return s;
  }
  std::snprintf(b, sizeof b, "%.3f", width);
  std::string s = " fill=\"none\" stroke=\"" + hexrgb(penrgb()) + "\" stroke-width=\"" + b + "\"";
  if (std::strcmp(cap, "butt")) s += std::string(" stroke-linecap=\"") + cap + "\"";
  if (std::strcmp(join, "miter")) s += std::string(" stroke-linejoin=\"") + join + "\"";
  if (!d.empty()) {
    s += " stroke-dasharray=\"";
    for (size_t i = 0; i < d.size(); ++i) {
      std::snprintf(b, sizeof b, "%s%.2f", i ? " " : "", d[i]);
      s += b;
    }
    std::snprintf(b, sizeof b, "\" stroke-dashoffset=\"%.2f\"", r.dash[0] * v.sc);
    s += b;
  }
  return s;
}

// Path commands, written alike for both formats where they can be.
void moveto(Vec& v, double x, double y) {
  if (v.pdf) {
    v.out.numsp(x), v.out.numsp(y), v.out.put("m ");
  } else {
    v.out.ch('M'), v.out.numsp(x), v.out.num(y);
  }
}
void lineto(Vec& v, double x, double y) {
  if (v.pdf) {
    v.out.numsp(x), v.out.numsp(y), v.out.put("l ");
  } else {
    v.out.ch('L'), v.out.numsp(x), v.out.num(y);
  }
}
void closepath(Vec& v) { v.out.put(v.pdf ? "h " : "Z"); }
void curveto(Vec& v, double x1, double y1, double x2, double y2, double x3, double y3) {
  if (v.pdf) {
    v.out.numsp(x1), v.out.numsp(y1), v.out.numsp(x2), v.out.numsp(y2), v.out.numsp(x3), v.out.numsp(y3);
    v.out.put("c ");
  } else {
    v.out.ch('C'), v.out.numsp(x1), v.out.numsp(y1), v.out.numsp(x2), v.out.numsp(y2), v.out.numsp(x3);
    v.out.num(y3);
  }
}

// An arc of radius r around (px, py) from angle a1 to a2 (radians, counter-
// clockwise in y-up terms) as Bezier curves, continuing the current path.
void arc(Vec& v, double px, double py, double r, double a1, double a2) {
  const double ysign = v.pdf ? 1 : -1;
  int n = static_cast<int>(std::ceil(std::fabs(a2 - a1) / (M_PI / 2)));
  if (n < 1) n = 1;
  const double step = (a2 - a1) / n, k = 4.0 / 3.0 * std::tan(step / 4);
  for (int i = 0; i < n; ++i) {
    const double t0 = a1 + i * step, t1 = t0 + step;
    const double x0 = std::cos(t0), y0 = std::sin(t0), x3 = std::cos(t1), y3 = std::sin(t1);
    curveto(v, px + r * (x0 - k * y0), py + ysign * r * (y0 + k * x0), px + r * (x3 + k * y3),
            py + ysign * r * (y3 - k * x3), px + r * x3, py + ysign * r * y3);
  }
}

void circle(Vec& v, double px, double py, double r) {
  moveto(v, px + r, py);
  arc(v, px, py, r, 0, 2 * M_PI);
  closepath(v);
}

// The path of a symbol shape of radius r at (px, py); dots and filled
// circles are zero-length strokes with round caps.
void symbolpath(Vec& v, int shape, double px, double py, double r) {
  const double s = v.pdf ? -1 : 1;  // "up" on the page is -y in SVG
  switch (shape) {
    case 0: case 1:
      if (v.pdf) {
        moveto(v, px, py);
        lineto(v, px, py);
      } else {
        v.out.ch('M'), v.out.numsp(px), v.out.num(py), v.out.put("h0");
      }
      break;
    case 2:
      moveto(v, px - r * 0.9, py - r * 0.9), lineto(v, px + r * 0.9, py - r * 0.9);
      lineto(v, px + r * 0.9, py + r * 0.9), lineto(v, px - r * 0.9, py + r * 0.9), closepath(v);
      break;
    case 3: case 9:
      moveto(v, px, py - s * r * 1.2), lineto(v, px + r * 1.2, py), lineto(v, px, py + s * r * 1.2);
      lineto(v, px - r * 1.2, py), closepath(v);
      break;
    case 4: case 7:
      moveto(v, px, py - s * r * 1.15), lineto(v, px + r, py + s * r * 0.58);
      lineto(v, px - r, py + s * r * 0.58), closepath(v);
      break;
    case 5:
      moveto(v, px - r, py), lineto(v, px + r, py), moveto(v, px, py - r), lineto(v, px, py + r);
      break;
    case 6:
      moveto(v, px - r * 0.8, py - r * 0.8), lineto(v, px + r * 0.8, py + r * 0.8);
      moveto(v, px - r * 0.8, py + r * 0.8), lineto(v, px + r * 0.8, py - r * 0.8);
      break;
    case 8: circle(v, px, py, r); break;
    default: break;
  }
}

// Ends the batch being built: the path element is closed (SVG) or painted (PDF).
void flush(Vec& v) {
  if (!v.batch) return;
  if (v.pdf) {
    v.out.put(v.batch == 1 && v.bshape >= 2 && v.bshape <= 4 ? "f\n" : "S\n");
  } else {
    v.out.put("\"/>\n");
  }
  v.batch = 0;
  v.nseg = 0;
}

// Starts a batch with the given style: SVG opens a path element, PDF sets the state.
void startbatch(Vec& v, int kind, const std::string& style) {
  v.batch = kind;
  if (v.pdf) {
    v.out.put(style);
  } else {
    v.out.put("<path");
    v.out.put(style);
    v.out.put(" d=\"");
  }
}

double dotradius(const Vec& v, double r) { return std::max(r * 0.5, v.base) / 2; }

void addpoint(Vec& v, int x, int y, double rdev) {
  const int code = gr.cur.symbol;
  int shape;
  double f;
  symshape(code, &shape, &f);
  if (shape < 0) return;
  const double r = std::min(std::max(rdev, 0.0) * v.sc * f, 1e4);
  const double px = X(v, x), py = Y(v, y);
  double width = shape == 0 ? 2 * dotradius(v, r) : shape == 1 ? 2 * r : std::max(v.base, 0.5);
  if (v.batch == 1 && (code != v.bsym || std::fabs(width - v.bwidth) > 1e-9 || v.nseg >= 100000)) flush(v);
  if (v.batch == 2) flush(v);
  if (!v.batch) {
    v.bsym = code;
    v.bshape = shape;
    v.bwidth = width;
    std::string style;
    if (shape >= 2 && shape <= 4) {
      style = v.pdf ? pdfrgb(penrgb(), false) : " fill=\"" + hexrgb(penrgb()) + "\"";
    } else {
      style = strokestyle(v, width, shape <= 1 ? "round" : "butt", "miter", false);
    }
    startbatch(v, 1, style);
  }
  symbolpath(v, shape, px, py, r);
  // short lines: PDF recommends them, and editors choke on megabyte lines
  if (v.pdf || (v.nseg & 15) == 15) v.out.ch('\n');
  ++v.nseg;
}

// Paints a closed shape path already written: fill with the shade, then the pen.
// The path text is given again for the outline (SVG elements are separate).
void shadeandpen(Vec& v, const std::string& path, double x1, double y1, double x2, double y2) {
  const GdlRegs& r = gr.cur;
  const double alpha = r.shadelevel >= 0 && r.shadelevel < 100 ? r.shadelevel / 100.0 : 1.0;
  const bool fill = r.shadepattern != 99;
  const unsigned char bg[3] = {static_cast<unsigned char>(r.bg[0]), static_cast<unsigned char>(r.bg[1]),
                               static_cast<unsigned char>(r.bg[2])};
  const unsigned char* fillrgb = r.shadepattern == 100 ? bg : r.shadergb;
  const bool hatch = r.shadepattern >= 1 && r.shadepattern <= 9;
  const double lw = linewidth(v);
  char b[96];
  if (v.pdf) {
    if (fill) {
      int pct = r.shadepattern == 100 ? 100 : static_cast<int>(std::lround(alpha * 100));
      v.out.put("q\n");
      if (pct < 100) {
        if (std::find(v.alphas.begin(), v.alphas.end(), pct) == v.alphas.end()) v.alphas.push_back(pct);
        std::snprintf(b, sizeof b, "/A%d gs\n", pct);
        v.out.put(b);
      }
      if (hatch) {
        v.out.put(path);
        v.out.put("W n\n");
        v.out.put(pdfrgb(fillrgb, true));
        std::snprintf(b, sizeof b, "%.3f w [] 0 d\n", v.base);
        v.out.put(b);
      } else {
        v.out.put(pdfrgb(fillrgb, false));
        v.out.put(path);
        v.out.put("f\n");
      }
    }
  } else if (fill && !hatch) {
    std::snprintf(b, sizeof b, "%.3g", r.shadepattern == 100 ? 1.0 : alpha);
    v.out.put("<path fill=\"" + hexrgb(fillrgb) + "\"");
    if (r.shadepattern != 100 && alpha < 1) v.out.put(std::string(" fill-opacity=\"") + b + "\"");
    v.out.put(" d=\"" + path + "\"/>\n");
  } else if (fill) {
    std::snprintf(b, sizeof b, "c%d", ++v.nclip);
    v.out.put(std::string("<clipPath id=\"") + b + "\"><path d=\"" + path + "\"/></clipPath>\n");
    v.out.put(std::string("<path clip-path=\"url(#") + b + ")\" fill=\"none\" stroke=\"" + hexrgb(fillrgb) + "\"");
    std::snprintf(b, sizeof b, " stroke-width=\"%.3f\"", v.base);
    v.out.put(b);
    if (alpha < 1) {
      std::snprintf(b, sizeof b, " stroke-opacity=\"%.3g\"", alpha);
      v.out.put(b);
    }
    v.out.put(" d=\"");
  }
  if (fill && hatch) {
    // hatching: lines at one of nine angles and spacings across the shape
    const double ang = (r.shadepattern - 1) % 3 * 45.0 + 45.0, gap = (4 + r.shadepattern) * v.base * 1.5;
    const double cxm = (x1 + x2) / 2, cym = (y1 + y2) / 2, rad = std::hypot(x2 - x1, y2 - y1) / 2 + gap;
    const double ca = std::cos(ang * M_PI / 180), sa = std::sin(ang * M_PI / 180);
    for (double t = -rad; t <= rad; t += gap) {
      moveto(v, cxm + t * sa - rad * ca, cym - t * ca - rad * sa);
      lineto(v, cxm + t * sa + rad * ca, cym - t * ca + rad * sa);
    }
    v.out.put(v.pdf ? "S\n" : "\"/>\n");
  }
  if (v.pdf && fill) v.out.put("Q\n");
  if (lw > 0) {
    if (v.pdf) {
      v.out.put(strokestyle(v, lw, "butt", "miter", true));
      v.out.put(path);
      v.out.put("S\n");
    } else {
      v.out.put("<path" + strokestyle(v, lw, "butt", "miter", true) + " d=\"" + path + "\"/>\n");
    }
  }
}

// Builds a path into a string instead of the file (shapes painted twice).
template <class F>
std::string pathtext(Vec& v, F build) {
  std::string saved;
  saved.swap(v.out.buf);
  const long total = v.out.total;
  build();
  std::string path;
  path.swap(v.out.buf);
  v.out.buf.swap(saved);
  v.out.total = total;
  if (!v.pdf) return path;
  return path + "\n";
}

// Picks the PDF standard font for a font name: 0 Helvetica, 1 Times, 2 Courier.
int pdffont(const char* name) {
  std::string s(name);
  for (char& ch : s) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  if (s.find("times") != std::string::npos || s.find("serif") != std::string::npos) {
    if (s.find("sans") == std::string::npos) return 1;
  }
  if (s.find("courier") != std::string::npos || s.find("mono") != std::string::npos) return 2;
  return 0;
}
const char* const pdffonts[3] = {"Helvetica", "Times-Roman", "Courier"};
const char* const measurefaces[3] = {"Helvetica", "Times", "Courier"};
// The subset tags of the embedded sans, serif and fixed fonts: six capitals,
// a different one for each subset in the file.
const char* const subsettags[3] = {"ZLTSUB", "ZLTSUC", "ZLTSUD"};

void drawtext(Vec& v, double x, double y, const char* text) {
  if (!*text) return;
  flush(v);
  const GdlRegs& r = gr.cur;
  const bool deffont = !r.font[0] || !std::strcmp(r.font, "default");
  const int pf = pdffont(r.font);
  const char* face = v.pdf ? measurefaces[pf] : deffont ? "DejaVu Sans" : r.font;
  const double size = r.textsize > 0 && r.textsize < 1000 ? r.textsize * v.ptscale : 12 * v.ptscale;
  // metrics from cairo's font machinery, as the raster renderer places text
  cairo_select_font_face(v.mcr, face, CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(v.mcr, size);
  cairo_font_extents_t fe;
  cairo_font_extents(v.mcr, &fe);
  double dy = 0;
  switch (r.textvalign) {
    case 0: dy = fe.ascent * 0.8; break;
    case 1: dy = (fe.ascent * 0.8 - fe.descent) / 2 + fe.descent * 0.5; break;
    case 3: dy = -fe.descent; break;
    default: break;
  }
  const double px = X(v, x), py = Y(v, y);
  char b[200];
  if (!v.pdf) {
    const char* anchor = r.texthalign == 1 ? "middle" : r.texthalign == 2 ? "end" : nullptr;
    v.out.put("<text xml:space=\"preserve\" x=\"");
    v.out.num(px);
    v.out.put("\" y=\"");
    v.out.num(py + dy);
    v.out.put("\"");
    if (r.textangle) {
      std::snprintf(b, sizeof b, " transform=\"rotate(%d ", -r.textangle);
      v.out.put(b);
      v.out.numsp(px);
      v.out.num(py);
      v.out.put(")\"");
    }
    v.out.put(" font-family=\"");
    v.out.put(deffont ? std::string("'DejaVu Sans', sans-serif") : gs_cssfont(r.font) + ", sans-serif");
    std::snprintf(b, sizeof b, "\" font-size=\"%.2f\" fill=\"", size);
    v.out.put(b);
    v.out.put(hexrgb(r.textrgb));
    v.out.put("\"");
    if (anchor) v.out.put(std::string(" text-anchor=\"") + anchor + "\"");
    v.out.put(">");
    v.out.put(gs_xmlescape(text));
    v.out.put("</text>\n");
    return;
  }
  const std::string body = gs_pdfescape(text);
  if (!v.fontlooked[pf]) {
    v.fontlooked[pf] = true;
    auto f = std::make_unique<TtFont>();
    std::string file = tt_findfamily(gsch_face(r.font));
    if (file.empty() && pf) file = tt_findfamily(pf == 1 ? "DejaVu Serif" : "DejaVu Sans Mono");
    if (!file.empty() && tt_load(file, *f)) v.font[pf] = std::move(f);
  }
  const TtFont* tf = v.font[pf].get();
  if (tf) {
    // the embedded font's own metrics place the text
    dy = 0;
    const double asc = tf->ascent * size / tf->upem, desc = -tf->descent * size / tf->upem;
    switch (r.textvalign) {
      case 0: dy = asc * 0.8; break;
      case 1: dy = (asc * 0.8 - desc) / 2 + desc * 0.5; break;
      case 3: dy = -desc; break;
      default: break;
    }
  }
  double dx = 0;
  double width = 0;
  std::string latin;
  for (unsigned cp : codepoints(text)) {
    const unsigned code = cp < 0x20 ? '?' : winansi(cp);
    if (tf) {
      width += tt_width1000(*tf, fromwinansi(code)) * size / 1000;
      v.chars[pf].insert(fromwinansi(code));
    } else {
      pututf8(latin, fromwinansi(code));
    }
  }
  if (r.texthalign) {
    if (!tf) {
      // the width of what is drawn: the WinAnsi text measured in a like face
      cairo_text_extents_t te;
      cairo_text_extents(v.mcr, latin.c_str(), &te);
      width = te.x_advance;
    }
    dx = r.texthalign == 1 ? -width / 2 : -width;
  }
  const double a = r.textangle * M_PI / 180.0, ca = std::cos(a), sa = std::sin(a);
  const double ly = -dy;  // y-up
  const double wx = px + ca * dx - sa * ly, wy = py + sa * dx + ca * ly;
  v.out.put("BT\n");
  v.out.put(pdfrgb(r.textrgb, false));
  std::snprintf(b, sizeof b, "/F%d %.2f Tf\n%.6f %.6f %.6f %.6f ", pf + 1, size, ca, sa, -sa, ca);
  v.out.put(b);
  v.out.numsp(wx);
  v.out.numsp(wy);
  v.out.put("Tm\n(");
  v.out.put(body);
  v.out.put(") Tj\nET\n");
}

void makepage(Vec& v) {
  const GdlRegs& r = gr.cur;
  const double xs = r.xsize > 0 ? r.xsize : 32000, ys = r.ysize > 0 ? r.ysize : 32000;
  const double win = r.width > 0 && r.width <= 100 ? r.width : 6.0;
  const double hin = r.height > 0 && r.height <= 100 ? r.height : 4.0;
  v.W = win * 72.0, v.H = hin * 72.0;
  if (v.wreq) v.W = v.wreq, v.H = v.hreq ? v.hreq : std::round(v.wreq * ys / xs);
  else if (v.hreq) v.H = v.hreq, v.W = std::round(v.hreq * xs / ys);
  v.W = std::clamp(v.W, 1.0, 14400.0), v.H = std::clamp(v.H, 1.0, 14400.0);
  v.ptscale = v.H / (hin * 72.0);
  v.sc = std::min(v.W / xs, v.H / ys);
  v.base = std::min(v.W, v.H) / 400.0;
  v.page = true;
  const unsigned char bg[3] = {static_cast<unsigned char>(r.bg[0]), static_cast<unsigned char>(r.bg[1]),
                               static_cast<unsigned char>(r.bg[2])};
  char b[300];
  if (v.pdf) {
    v.out.put(PDFHEAD);
    v.out.put(PDFOBJ1);
    v.out.beginz();
    v.out.put(pdfrgb(bg, false));
    std::snprintf(b, sizeof b, "0 0 %.2f %.2f re f\n", v.W, v.H);
    v.out.put(b);
  } else {
    v.out.put("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"");
    v.out.num(v.W);
    v.out.put("pt\" height=\"");
    v.out.num(v.H);
    v.out.put("pt\" viewBox=\"0 0 ");
    v.out.numsp(v.W);
    v.out.num(v.H);
    v.out.put("\">\n");
    v.out.put("<rect width=\"100%\" height=\"100%\" fill=\"" + hexrgb(bg) + "\"/>\n");
  }
}

int render(void* ctx, int code) {
  Vec& v = *static_cast<Vec*>(ctx);
  if (code == GDL_RINIT) return 0;
  if (code == OP_PAGE) {
    if (!v.page) makepage(v);
    return 0;
  }
  if (!v.page) return 0;
  if (code == GDL_REND) {
    flush(v);
    return 0;
  }
  const GdlOp& o = gr.op;
  const bool lineop = code == OP_LINETO || code == OP_RLINETO;
  const bool pointop = code == OP_POINT || code == OP_CPOINT || code == OP_SPOINT;
  if (!(lineop && v.batch == 2) && !pointop) flush(v);
  switch (code) {
    case OP_LINE: {
      const double lw = linewidth(v);
      if (lw > 0) {
        startbatch(v, 2, strokestyle(v, lw, "butt", "miter", true));
        moveto(v, X(v, o.s[0]), Y(v, o.s[1]));
        lineto(v, X(v, o.s[2]), Y(v, o.s[3]));
        flush(v);
      }
      v.cx = o.s[2], v.cy = o.s[3];
      break;
    }
    case OP_MOVETO: v.cx = o.s[0], v.cy = o.s[1]; break;
    case OP_RMOVETO: v.cx += o.s[0], v.cy += o.s[1]; break;
    case OP_LINETO: case OP_RLINETO: {
      const double nx = code == OP_LINETO ? o.s[0] : v.cx + o.s[0];
      const double ny = code == OP_LINETO ? o.s[1] : v.cy + o.s[1];
      if (v.inpoly) {
        const double ax = X(v, v.cx), ay = Y(v, v.cy), bx = X(v, nx), by = Y(v, ny);
        v.poly += pathtext(v, [&] {
          if (!v.polystarted) moveto(v, ax, ay);
          lineto(v, bx, by);
        });
        if (v.pdf) v.poly.pop_back();  // one line for the whole path
        if (!v.polystarted) v.pminx = v.pmaxx = ax, v.pminy = v.pmaxy = ay, v.polystarted = true;
        v.pminx = std::min(v.pminx, bx), v.pmaxx = std::max(v.pmaxx, bx);
        v.pminy = std::min(v.pminy, by), v.pmaxy = std::max(v.pmaxy, by);
      } else {
        const double lw = linewidth(v);
        if (v.batch != 2) {
          startbatch(v, 2, strokestyle(v, std::max(lw, 0.0), "butt", "round", true));
          if (lw <= 0) v.bwidth = 0;
          moveto(v, X(v, v.cx), Y(v, v.cy));
        }
        lineto(v, X(v, nx), Y(v, ny));
        if (++v.nseg >= 100000) flush(v);
      }
      v.cx = nx, v.cy = ny;
      break;
    }
    case OP_RECT: {
      const double x1 = X(v, o.s[0]), y1 = Y(v, o.s[1]), x2 = X(v, o.s[2]), y2 = Y(v, o.s[3]);
      std::string path = pathtext(v, [&] {
        moveto(v, x1, y1), lineto(v, x2, y1), lineto(v, x2, y2), lineto(v, x1, y2), closepath(v);
      });
      shadeandpen(v, path, std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2));
      break;
    }
    case OP_POINT: addpoint(v, o.s[0], o.s[1], gr.cur.symsize); break;
    case OP_CPOINT: addpoint(v, static_cast<int>(v.cx), static_cast<int>(v.cy), gr.cur.symsize); break;
    case OP_SPOINT: addpoint(v, o.s[0], o.s[1], o.s[2]); break;
    case OP_TEXT: drawtext(v, o.s[0], o.s[1], o.str); break;
    case OP_CTEXT: drawtext(v, v.cx, v.cy, o.str); break;
    case OP_POLYBEGIN:
      v.inpoly = true;
      v.polystarted = false;
      v.poly.clear();
      break;
    case OP_POLYEND:
      if (v.inpoly && v.polystarted) {
        v.poly += pathtext(v, [&] { closepath(v); });
        shadeandpen(v, v.poly, v.pminx, v.pminy, v.pmaxx, v.pmaxy);
      }
      v.inpoly = false;
      v.poly.clear();
      break;
    case OP_PIE: {
      const double px = X(v, o.s[0]), py = Y(v, o.s[1]), rad = std::fabs(o.s[2] * v.sc);
      double a1 = std::isfinite(o.d[0]) ? o.d[0] : 0, a2 = std::isfinite(o.d[1]) ? o.d[1] : 0;
      if (std::fabs(a2 - a1) > 3600) a2 = a1 + 360;
      const double ysign = v.pdf ? 1 : -1;
      std::string path = pathtext(v, [&] {
        moveto(v, px, py);
        lineto(v, px + rad * std::cos(a1 * M_PI / 180), py + ysign * rad * std::sin(a1 * M_PI / 180));
        arc(v, px, py, rad, a1 * M_PI / 180, a2 * M_PI / 180);
        closepath(v);
      });
      shadeandpen(v, path, px - rad, py - rad, px + rad, py + rad);
      break;
    }
    case OP_CLOUD: gs_cloud(o.l, o.s, [&](int x, int y) { addpoint(v, x, y, o.s[2]); }); break;
    default: break;
  }
  return 0;
}

}  // namespace

int gr_export_vector(Gdl& g, const std::string& fn, bool pdf, const ExportOpts& o) {
  Vec v;
  v.pdf = pdf;
  v.wreq = o.width, v.hreq = o.height;
  AtomicFile dst;
  if (int rc = af_open(dst, fn)) return af_openerr(dst, rc);
  v.out.f = &dst;
  v.out.buf.reserve(1u << 18 | 4096);
  v.msurf = cairo_image_surface_create(CAIRO_FORMAT_A8, 1, 1);
  v.mcr = cairo_create(v.msurf);
  cairo_font_options_t* fo = cairo_font_options_create();
  cairo_font_options_set_hint_metrics(fo, CAIRO_HINT_METRICS_OFF);
  cairo_set_font_options(v.mcr, fo);
  cairo_font_options_destroy(fo);
  int rc = gdl_replay(g, render, &v);
  if (!rc && !v.page) rc = -1;
  if (!rc) {
    flush(v);
    if (!v.pdf) {
      v.out.put("</svg>\n");
    } else {
      char b[700];
      // the stream begins after the fixed header makepage wrote
      v.out.endz();
      const long head = static_cast<long>(std::strlen(PDFHEAD));
      const long streamlen = v.out.pos() - head - static_cast<long>(std::strlen(PDFOBJ1));
      v.out.put("\nendstream\nendobj\n");
      std::vector<long> off(8, 0);
      off[1] = head;
      off[2] = v.out.pos();
      std::snprintf(b, sizeof b, "2 0 obj\n%ld\nendobj\n", streamlen);
      v.out.put(b);
      // fonts 3, 4, 5 (sans, serif, fixed); each one embedded when it was
      // found, its descriptor and file two objects after the graphics states
      size_t fdesc[3] = {0, 0, 0};
      for (size_t k = 0, next = 9 + v.alphas.size(); k < 3; ++k)
        if (v.font[k]) fdesc[k] = next, next += 2;
      for (int k = 0; k < 3; ++k) {
        off[static_cast<size_t>(3 + k)] = v.out.pos();
        if (const TtFont* ef = v.font[k].get()) {
          std::snprintf(b, sizeof b,
                        "%d 0 obj\n<< /Type /Font /Subtype /TrueType /BaseFont /%s+%s /Encoding /WinAnsiEncoding"
                        " /FirstChar 32 /LastChar 255 /FontDescriptor %zu 0 R /Widths [",
                        3 + k, subsettags[k], ef->psname.substr(0, 100).c_str(), fdesc[k]);
          v.out.put(b);
          for (unsigned code = 32; code <= 255; ++code) {
            v.out.num(std::round(tt_width1000(*ef, fromwinansi(code))));
            v.out.ch(code % 16 == 15 ? '\n' : ' ');
          }
          v.out.put("] >>\nendobj\n");
          continue;
        }
        std::snprintf(b, sizeof b,
                      "%d 0 obj\n<< /Type /Font /Subtype /Type1 /BaseFont /%s /Encoding /WinAnsiEncoding >>\nendobj\n",
                      3 + k, pdffonts[k]);
        v.out.put(b);
      }
      // 6 page, 7 pages, 8 catalog, then one graphics state per shade intensity
      std::string res = "/Font << /F1 3 0 R /F2 4 0 R /F3 5 0 R >>";
      if (!v.alphas.empty()) {
        res += " /ExtGState <<";
        for (size_t i = 0; i < v.alphas.size(); ++i) {
          std::snprintf(b, sizeof b, " /A%d %zu 0 R", v.alphas[i], 9 + i);
          res += b;
        }
        res += " >>";
      }
      off[6] = v.out.pos();
      std::snprintf(b, sizeof b, "6 0 obj\n<< /Type /Page /Parent 7 0 R /MediaBox [0 0 %.2f %.2f] /Contents 1 0 R /Resources << ",
                    v.W, v.H);
      v.out.put(b);
      v.out.put(res);
      v.out.put(" >> >>\nendobj\n");
      off.push_back(0);
      off[7] = v.out.pos();
      v.out.put("7 0 obj\n<< /Type /Pages /Kids [6 0 R] /Count 1 >>\nendobj\n");
      off[8] = v.out.pos();
      v.out.put("8 0 obj\n<< /Type /Catalog /Pages 7 0 R >>\nendobj\n");
      for (size_t i = 0; i < v.alphas.size(); ++i) {
        off.push_back(v.out.pos());
        std::snprintf(b, sizeof b, "%zu 0 obj\n<< /Type /ExtGState /ca %.2f /CA %.2f >>\nendobj\n", 9 + i,
                      v.alphas[i] / 100.0, v.alphas[i] / 100.0);
        v.out.put(b);
      }
      for (size_t k = 0; k < 3; ++k) {
        if (!v.font[k]) continue;
        const TtFont& f = *v.font[k];
        auto em = [&](int u) { return static_cast<long>(std::lround(u * 1000.0 / f.upem)); };
        // flags: nonsymbolic, and serif or fixed pitch by the kind
        const int flags = 32 | (k == 1 ? 2 : 0) | (k == 2 ? 1 : 0);
        off.push_back(v.out.pos());
        std::snprintf(b, sizeof b,
                      "%zu 0 obj\n<< /Type /FontDescriptor /FontName /%s+%s /Flags %d /FontBBox [%ld %ld %ld %ld]"
                      " /ItalicAngle 0 /Ascent %ld /Descent %ld /CapHeight %ld /StemV 80 /FontFile2 %zu 0 R >>\nendobj\n",
                      fdesc[k], subsettags[k], f.psname.substr(0, 100).c_str(), flags, em(f.bbox[0]), em(f.bbox[1]),
                      em(f.bbox[2]), em(f.bbox[3]), em(f.ascent), em(f.descent), em(f.capheight), fdesc[k] + 1);
        v.out.put(b);
        const std::string sub = tt_subset(f, std::vector<uint32_t>(v.chars[k].begin(), v.chars[k].end()));
        uLongf zlen = compressBound(static_cast<uLong>(sub.size()));
        std::string z(zlen, '\0');
        if (compress(reinterpret_cast<Bytef*>(z.data()), &zlen, reinterpret_cast<const Bytef*>(sub.data()),
                     static_cast<uLong>(sub.size())) != Z_OK && !v.out.err)
          v.out.err = 909;
        z.resize(zlen);
        off.push_back(v.out.pos());
        std::snprintf(b, sizeof b, "%zu 0 obj\n<< /Length %zu /Length1 %zu /Filter /FlateDecode >>\nstream\n", fdesc[k] + 1,
                      z.size(), sub.size());
        v.out.put(b);
        v.out.put(z);
        v.out.put("\nendstream\nendobj\n");
      }
      const long xref = v.out.pos();
      std::snprintf(b, sizeof b, "xref\n0 %zu\n0000000000 65535 f \n", off.size());
      v.out.put(b);
      for (size_t i = 1; i < off.size(); ++i) {
        std::snprintf(b, sizeof b, "%010ld 00000 n \n", off[i]);
        v.out.put(b);
      }
      std::snprintf(b, sizeof b, "trailer\n<< /Size %zu /Root 8 0 R >>\nstartxref\n%ld\n%%%%EOF\n", off.size(), xref);
      v.out.put(b);
    }
    v.out.flush();
  }
  cairo_destroy(v.mcr);
  cairo_surface_destroy(v.msurf);
  if (rc) {
    af_abort(dst);
    if (rc == -1) return errmsgf(RC_SYNTAX, "graph has no page to draw\n");
    return rc == 691 || rc >= 6000 ? gdl_errmsg(rc, nullptr) : rc;
  }
  if (v.out.err) {
    af_abort(dst);
    return v.out.err == 909 ? error(RC_NOMEM) : fierr(v.out.err, fn.c_str());
  }
  if ((rc = af_commit(dst))) {
    af_abort(dst);
    return fierr(rc, fn.c_str());
  }
  return 0;
}
