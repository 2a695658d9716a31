// The cairo renderer: a (context, code) callback that draws each executed
// opcode from the current register block onto an anti-aliased raster
// surface written as PNG, and `gr_export`, which replays a display list into
// it (SVG and PDF go to the vector writer) and writes the file safely.
// Device units map linearly onto the surface with y turned downwards; points
// are blended straight into the image from a mask made once per symbol.
#include <cairo.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "graphics/graphics.h"
#include "files/atomicfile.h"
#include "graphics/gsave.h"
#include "graphics/gscheme.h"
#include "graphics/gstyle.h"
#include "output/errors.h"
#include "output/output.h"

namespace {

enum { K_PNG, K_SVG, K_PDF };

struct Ctx {
  int wreq = 0, hreq = 0;         // requested size in pixels (PNG), 0 default
  int dpi = 0;                    // requested pixels per inch, 0 default
  std::string png;                // the encoded picture, before the resolution is added
  cairo_surface_t* surf = nullptr;
  cairo_t* cr = nullptr;
  double W = 0, H = 0;            // surface size (pixels or points)
  double sc = 1;                  // surface units per device unit
  double ptscale = 1;             // surface units per point
  double base = 1;                // surface units of line width 1
  double cx = 0, cy = 0;          // current position (device units)
  bool inline_ = false;           // a connected line is being built
  long nseg = 0;                  // its segments
  bool inpoly = false;            // a polygon is being built
  bool polystarted = false;
  bool stamping = false;          // raster points written straight into the image
  struct Stamp {
    int code = 0;                 // symbol
    double r = 0;                 // radius in pixels
    int size = 0, off = 0;        // mask width and the centre pixel
    std::vector<unsigned char> a; // coverage, size by size
  };
  std::vector<Stamp> stamps;      // masks made so far
  int err = 0;                    // first write failure
  // The pen of the connected line being built: a register change is committed
  // before the renderer sees it, so a line is drawn with the pen it started with.
  unsigned char snaprgb[3] = {};
  double snapwidth = 0;
  int snapndash = 0;
  double snapdash[GDL_MAXDASH] = {};
  double snapoff = 0;
};

cairo_status_t writefn(void* closure, const unsigned char* data, unsigned int len) {
  Ctx* c = static_cast<Ctx*>(closure);
  c->png.append(reinterpret_cast<const char*>(data), len);
  return CAIRO_STATUS_SUCCESS;
}

// The picture with a resolution chunk (pixels per metre) after its header
// chunk, so that viewers and word processors size it as asked.
void addresolution(std::string& png, int dpi) {
  constexpr size_t IHDR_END = 8 + 4 + 4 + 13 + 4;
  if (dpi <= 0 || png.size() < IHDR_END) return;
  const uint32_t ppm = static_cast<uint32_t>(std::lround(dpi / 0.0254));
  unsigned char ch[4 + 4 + 9 + 4] = {0, 0, 0, 9, 'p', 'H', 'Y', 's'};
  for (int k = 0; k < 2; ++k)
    for (int i = 0; i < 4; ++i) ch[8 + 4 * k + i] = static_cast<unsigned char>(ppm >> (24 - 8 * i) & 255);
  ch[16] = 1;  // the unit is the metre
  const uLong crc = crc32(crc32(0, nullptr, 0), ch + 4, 4 + 9);
  for (int i = 0; i < 4; ++i) ch[17 + i] = static_cast<unsigned char>(crc >> (24 - 8 * i) & 255);
  png.insert(IHDR_END, reinterpret_cast<const char*>(ch), sizeof ch);
}

double X(const Ctx& c, double x) { return x * c.sc; }
double Y(const Ctx& c, double y) { return c.H - y * c.sc; }

void setrgb(cairo_t* cr, const unsigned char* c, double alpha = 1.0) {
  cairo_set_source_rgba(cr, c[0] / 255.0, c[1] / 255.0, c[2] / 255.0, alpha);
}

void penpaint(Ctx& c) {
  const GdlRegs& r = gr.cur;
  if (r.usepens && r.pen >= 1 && r.pen <= 9) setrgb(c.cr, gs_pens[r.pen]);
  else setrgb(c.cr, r.linergb);
}

double linewidth(const Ctx& c) {
  double w = gr.cur.linewidth;
  return w > 0 && w < 1e6 ? w * c.base : 0;
}

void penstyle(Ctx& c) {
  cairo_set_line_width(c.cr, std::max(linewidth(c), 0.0));
  const GdlRegs& r = gr.cur;
  if (r.ndash > 0) {
    double d[GDL_MAXDASH];
    bool any = false;
    for (int i = 0; i < r.ndash; ++i) {
      d[i] = std::max(0, r.dash[i + 1]) * c.sc;
      any = any || d[i] > 0;
    }
    if (any) cairo_set_dash(c.cr, d, r.ndash, r.dash[0] * c.sc);
    else cairo_set_dash(c.cr, nullptr, 0, 0);
  } else {
    cairo_set_dash(c.cr, nullptr, 0, 0);
  }
}

// Fills the current path with the shade (keeping the path); false when the
// shade pattern says not to fill.
bool shadefill(Ctx& c) {
  const GdlRegs& r = gr.cur;
  if (r.shadepattern == 99) return false;
  if (r.shadepattern == 100) {
    cairo_set_source_rgb(c.cr, r.bg[0] / 255.0, r.bg[1] / 255.0, r.bg[2] / 255.0);
    cairo_fill_preserve(c.cr);
    return true;
  }
  double alpha = r.shadelevel >= 0 && r.shadelevel < 100 ? r.shadelevel / 100.0 : 1.0;
  if (r.shadepattern >= 1 && r.shadepattern <= 9) {
    // Hatching: lines at one of nine angles and spacings, clipped to the shape.
    cairo_save(c.cr);
    cairo_clip_preserve(c.cr);
    double x1, y1, x2, y2;
    cairo_clip_extents(c.cr, &x1, &y1, &x2, &y2);
    double ang = (r.shadepattern - 1) % 3 * 45.0 + 45.0, gap = (4 + r.shadepattern) * c.base * 1.5;
    double cxm = (x1 + x2) / 2, cym = (y1 + y2) / 2, rad = std::hypot(x2 - x1, y2 - y1) / 2 + gap;
    cairo_new_path(c.cr);
    double ca = std::cos(ang * M_PI / 180), sa = std::sin(ang * M_PI / 180);
    for (double t = -rad; t <= rad; t += gap) {
      cairo_move_to(c.cr, cxm + t * sa - rad * ca, cym - t * ca - rad * sa);
      cairo_line_to(c.cr, cxm + t * sa + rad * ca, cym - t * ca + rad * sa);
    }
    setrgb(c.cr, r.shadergb, alpha);
    cairo_set_line_width(c.cr, c.base);
    cairo_set_dash(c.cr, nullptr, 0, 0);
    cairo_stroke(c.cr);
    cairo_restore(c.cr);
    return true;
  }
  setrgb(c.cr, r.shadergb, alpha);
  cairo_fill_preserve(c.cr);
  return true;
}

// Remembers the pen for a connected line that starts now.
void snappen(Ctx& c) {
  const GdlRegs& r = gr.cur;
  const unsigned char* rgb = r.usepens && r.pen >= 1 && r.pen <= 9 ? gs_pens[r.pen] : r.linergb;
  std::memcpy(c.snaprgb, rgb, 3);
  c.snapwidth = linewidth(c);
  c.snapndash = 0;
  c.snapoff = r.dash[0] * c.sc;
  bool any = false;
  for (int i = 0; i < r.ndash; ++i) {
    c.snapdash[i] = std::max(0, r.dash[i + 1]) * c.sc;
    any = any || c.snapdash[i] > 0;
  }
  if (any) c.snapndash = r.ndash;
}

// Strokes the current path with the remembered pen (clearing it).
void snapstroke(Ctx& c) {
  if (c.snapwidth > 0) {
    setrgb(c.cr, c.snaprgb);
    cairo_set_line_width(c.cr, c.snapwidth);
    if (c.snapndash) cairo_set_dash(c.cr, c.snapdash, c.snapndash, c.snapoff);
    else cairo_set_dash(c.cr, nullptr, 0, 0);
    cairo_stroke(c.cr);
  } else {
    cairo_new_path(c.cr);
  }
}

// Strokes the current path with the pen (clearing it) when the width is not 0.
void penstroke(Ctx& c) {
  if (linewidth(c) > 0) {
    penpaint(c);
    penstyle(c);
    cairo_stroke(c.cr);
  } else {
    cairo_new_path(c.cr);
  }
}

// ---------------------------------------------------------------------------
// Symbols.

// Adds the outline of a symbol shape of radius r centred at (px, py) to the
// path.
void symbolpath(cairo_t* cr, int shape, double px, double py, double r) {
  switch (shape) {
    case 0: case 1:
      cairo_new_sub_path(cr);
      cairo_arc(cr, px, py, r, 0, 2 * M_PI);
      break;
    case 2: cairo_rectangle(cr, px - r * 0.9, py - r * 0.9, 1.8 * r, 1.8 * r); break;
    case 3: case 9:
      cairo_move_to(cr, px, py - r * 1.2);
      cairo_line_to(cr, px + r * 1.2, py);
      cairo_line_to(cr, px, py + r * 1.2);
      cairo_line_to(cr, px - r * 1.2, py);
      cairo_close_path(cr);
      break;
    case 4: case 7:
      cairo_move_to(cr, px, py - r * 1.15);
      cairo_line_to(cr, px + r, py + r * 0.58);
      cairo_line_to(cr, px - r, py + r * 0.58);
      cairo_close_path(cr);
      break;
    case 5:
      cairo_move_to(cr, px - r, py), cairo_line_to(cr, px + r, py);
      cairo_move_to(cr, px, py - r), cairo_line_to(cr, px, py + r);
      break;
    case 6:
      cairo_move_to(cr, px - r * 0.8, py - r * 0.8), cairo_line_to(cr, px + r * 0.8, py + r * 0.8);
      cairo_move_to(cr, px - r * 0.8, py + r * 0.8), cairo_line_to(cr, px + r * 0.8, py - r * 0.8);
      break;
    case 8:
      cairo_new_sub_path(cr);
      cairo_arc(cr, px, py, r, 0, 2 * M_PI);
      break;
    default: break;
  }
}

// The radius actually drawn for shape 0 (a dot) of nominal radius r.
double dotradius(const Ctx& c, double r) { return std::max(r * 0.5, c.base) / 2; }

// The coverage mask of a symbol on the raster surface, made once per symbol
// and size: a million markers are then a million small blends.
const Ctx::Stamp& getstamp(Ctx& c, int code, int shape, double r) {
  for (const auto& st : c.stamps)
    if (st.code == code && st.r == r) return st;
  Ctx::Stamp st;
  st.code = code, st.r = r;
  st.size = static_cast<int>(std::ceil(2 * (r * 1.25 + c.base))) + 4;
  st.off = st.size / 2;
  cairo_surface_t* m = cairo_image_surface_create(CAIRO_FORMAT_A8, st.size, st.size);
  cairo_t* cr = cairo_create(m);
  const double cx = st.off + 0.5, cy = st.off + 0.5;
  symbolpath(cr, shape, cx, cy, shape == 0 ? dotradius(c, r) : r);
  if (shape <= 4) {
    cairo_fill(cr);
  } else {
    cairo_set_line_width(cr, std::max(c.base, 0.5));
    cairo_stroke(cr);
  }
  cairo_destroy(cr);
  cairo_surface_flush(m);
  const unsigned char* d = cairo_image_surface_get_data(m);
  const int stride = cairo_image_surface_get_stride(m);
  st.a.resize(static_cast<size_t>(st.size * st.size));
  for (int y = 0; y < st.size; ++y)
    for (int x = 0; x < st.size; ++x) st.a[static_cast<size_t>(y * st.size + x)] = d[y * stride + x];
  cairo_surface_destroy(m);
  if (c.stamps.size() > 64) c.stamps.clear();
  c.stamps.push_back(std::move(st));
  return c.stamps.back();
}

// Blends a stamp in the pen colour into the image at pixel (px, py).
void stampat(Ctx& c, const Ctx::Stamp& st, double px, double py) {
  if (!std::isfinite(px) || !std::isfinite(py)) return;
  if (!c.stamping) {
    cairo_surface_flush(c.surf);
    c.stamping = true;
  }
  const GdlRegs& r = gr.cur;
  const unsigned char* rgb = r.usepens && r.pen >= 1 && r.pen <= 9 ? gs_pens[r.pen] : r.linergb;
  unsigned char* d = cairo_image_surface_get_data(c.surf);
  const int stride = cairo_image_surface_get_stride(c.surf);
  const int w = static_cast<int>(c.W), h = static_cast<int>(c.H);
  const int x0 = static_cast<int>(std::floor(px)) - st.off, y0 = static_cast<int>(std::floor(py)) - st.off;
  for (int y = 0; y < st.size; ++y) {
    const int yy = y0 + y;
    if (yy < 0 || yy >= h) continue;
    uint32_t* row = reinterpret_cast<uint32_t*>(d + yy * stride);
    const unsigned char* m = &st.a[static_cast<size_t>(y * st.size)];
    for (int x = 0; x < st.size; ++x) {
      const int xx = x0 + x;
      const unsigned a = m[x];
      if (!a || xx < 0 || xx >= w) continue;
      uint32_t p = row[xx];
      auto mix = [&](unsigned src, unsigned dst) { return (src * a + dst * (255 - a) + 127) / 255; };
      unsigned na = mix(255, p >> 24), nr = mix(rgb[0], (p >> 16) & 255);
      unsigned ng = mix(rgb[1], (p >> 8) & 255), nb = mix(rgb[2], p & 255);
      row[xx] = na << 24 | nr << 16 | ng << 8 | nb;
    }
  }
}

// Hands the image back to cairo after points were written into it.
void endstamping(Ctx& c) {
  if (!c.stamping) return;
  cairo_surface_mark_dirty(c.surf);
  c.stamping = false;
}

// Draws a symbol of radius rdev (device units) at device (x, y).
void addpoint(Ctx& c, int x, int y, double rdev) {
  int code = gr.cur.symbol;
  int shape;
  double f;
  symshape(code, &shape, &f);
  if (shape < 0) return;
  double r = std::min(std::max(rdev, 0.0) * c.sc * f, 200.0);
  stampat(c, getstamp(c, code, shape, r), X(c, x), Y(c, y));
}

// Ends whatever was being built: stamped points or a connected line.
void flush(Ctx& c) {
  endstamping(c);
  if (c.inline_) {
    c.inline_ = false;
    c.nseg = 0;
    cairo_set_line_join(c.cr, CAIRO_LINE_JOIN_ROUND);
    snapstroke(c);
  }
}

// ---------------------------------------------------------------------------
// Text.

void drawtext(Ctx& c, double x, double y, const char* text) {
  if (!*text) return;
  const GdlRegs& r = gr.cur;
  cairo_t* cr = c.cr;
  cairo_select_font_face(cr, gsch_face(r.font), CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
  double size = r.textsize > 0 && r.textsize < 1000 ? r.textsize * c.ptscale : 12 * c.ptscale;
  cairo_set_font_size(cr, size);
  cairo_text_extents_t te;
  cairo_font_extents_t fe;
  const std::string u = gsch_utf8(text);
  cairo_text_extents(cr, u.c_str(), &te);
  cairo_font_extents(cr, &fe);
  double dx = r.texthalign == 1 ? -te.x_advance / 2 : r.texthalign == 2 ? -te.x_advance : 0;
  double dy = 0;
  switch (r.textvalign) {
    case 0: dy = fe.ascent * 0.8; break;
    case 1: dy = (fe.ascent * 0.8 - fe.descent) / 2 + fe.descent * 0.5; break;
    case 3: dy = -fe.descent; break;
    default: break;
  }
  cairo_save(cr);
  cairo_translate(cr, X(c, x), Y(c, y));
  if (r.textangle) cairo_rotate(cr, -r.textangle * M_PI / 180.0);
  cairo_move_to(cr, dx, dy);
  setrgb(cr, r.textrgb);
  cairo_show_text(cr, u.c_str());
  cairo_restore(cr);
  cairo_new_path(cr);
}

// ---------------------------------------------------------------------------
// The callback.

void makesurface(Ctx& c) {
  const GdlRegs& r = gr.cur;
  const double xs = r.xsize > 0 ? r.xsize : 32000, ys = r.ysize > 0 ? r.ysize : 32000;
  const double win = r.width > 0 && r.width <= 100 ? r.width : 6.0;
  const double hin = r.height > 0 && r.height <= 100 ? r.height : 4.0;
  double w = c.wreq, h = c.hreq;
  if (!w && !h) w = std::round(win * (c.dpi > 0 ? c.dpi : 100));
  if (!w) w = std::round(h * xs / ys);
  if (!h) h = std::round(w * ys / xs);
  c.W = std::clamp(w, 1.0, 20000.0), c.H = std::clamp(h, 1.0, 20000.0);
  c.surf = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, static_cast<int>(c.W), static_cast<int>(c.H));
  c.ptscale = c.H / (hin * 72.0);
  c.sc = std::min(c.W / xs, c.H / ys);
  c.base = std::min(c.W, c.H) / 400.0;
  c.cr = cairo_create(c.surf);
  // unhinted metrics: text is as wide as the layout measured it (gsch_measure)
  cairo_font_options_t* fo = cairo_font_options_create();
  cairo_font_options_set_hint_metrics(fo, CAIRO_HINT_METRICS_OFF);
  cairo_set_font_options(c.cr, fo);
  cairo_font_options_destroy(fo);
  cairo_set_source_rgb(c.cr, r.bg[0] / 255.0, r.bg[1] / 255.0, r.bg[2] / 255.0);
  cairo_paint(c.cr);
}

int render(void* ctx, int code) {
  Ctx& c = *static_cast<Ctx*>(ctx);
  if (code == GDL_RINIT) return 0;
  if (code == OP_PAGE) {
    if (!c.surf) makesurface(c);
    return 0;
  }
  if (!c.cr) return 0;  // nothing is drawn before the page
  if (code == GDL_REND) {
    flush(c);
    return 0;
  }
  const GdlOp& o = gr.op;
  cairo_t* cr = c.cr;
  const bool lineop = code == OP_LINETO || code == OP_RLINETO;
  const bool pointop = code == OP_POINT || code == OP_CPOINT || code == OP_SPOINT;
  if (!(lineop && c.inline_) && !pointop) flush(c);
  if (!pointop) endstamping(c);
  switch (code) {
    case OP_LINE:
      cairo_move_to(cr, X(c, o.s[0]), Y(c, o.s[1]));
      cairo_line_to(cr, X(c, o.s[2]), Y(c, o.s[3]));
      penstroke(c);
      c.cx = o.s[2], c.cy = o.s[3];
      break;
    case OP_MOVETO: c.cx = o.s[0], c.cy = o.s[1]; break;
    case OP_RMOVETO: c.cx += o.s[0], c.cy += o.s[1]; break;
    case OP_LINETO: case OP_RLINETO: {
      double nx = code == OP_LINETO ? o.s[0] : c.cx + o.s[0];
      double ny = code == OP_LINETO ? o.s[1] : c.cy + o.s[1];
      if (c.inpoly) {
        if (!c.polystarted) cairo_move_to(cr, X(c, c.cx), Y(c, c.cy)), c.polystarted = true;
        cairo_line_to(cr, X(c, nx), Y(c, ny));
      } else {
        if (!c.inline_) {
          snappen(c);
          cairo_new_path(cr);
          cairo_move_to(cr, X(c, c.cx), Y(c, c.cy));
          c.inline_ = true;
        }
        cairo_line_to(cr, X(c, nx), Y(c, ny));
        if (++c.nseg >= 20000) {
          flush(c);
        }
      }
      c.cx = nx, c.cy = ny;
      break;
    }
    case OP_RECT: {
      double x1 = X(c, o.s[0]), y1 = Y(c, o.s[1]), x2 = X(c, o.s[2]), y2 = Y(c, o.s[3]);
      cairo_rectangle(cr, std::min(x1, x2), std::min(y1, y2), std::fabs(x2 - x1), std::fabs(y2 - y1));
      shadefill(c);
      penstroke(c);
      break;
    }
    case OP_POINT: addpoint(c, o.s[0], o.s[1], gr.cur.symsize); break;
    case OP_CPOINT:
      addpoint(c, static_cast<int>(c.cx), static_cast<int>(c.cy), gr.cur.symsize);
      break;
    case OP_SPOINT: addpoint(c, o.s[0], o.s[1], o.s[2]); break;
    case OP_TEXT: drawtext(c, o.s[0], o.s[1], o.str); break;
    case OP_CTEXT: drawtext(c, c.cx, c.cy, o.str); break;
    case OP_POLYBEGIN:
      c.inpoly = true;
      c.polystarted = false;
      cairo_new_path(cr);
      break;
    case OP_POLYEND:
      if (c.inpoly && c.polystarted) {
        cairo_close_path(cr);
        shadefill(c);
        penstroke(c);
      }
      c.inpoly = false;
      cairo_new_path(cr);
      break;
    case OP_PIE: {
      double px = X(c, o.s[0]), py = Y(c, o.s[1]), rad = std::fabs(o.s[2] * c.sc);
      double a1 = std::isfinite(o.d[0]) ? o.d[0] : 0, a2 = std::isfinite(o.d[1]) ? o.d[1] : 0;
      if (std::fabs(a2 - a1) > 3600) a2 = a1 + 360;
      cairo_move_to(cr, px, py);
      cairo_arc_negative(cr, px, py, rad, -a1 * M_PI / 180, -a2 * M_PI / 180);
      cairo_close_path(cr);
      shadefill(c);
      penstroke(c);
      break;
    }
    case OP_CLOUD: gs_cloud(o.l, o.s, [&](int x, int y) { addpoint(c, x, y, o.s[2]); }); break;
    default: break;  // close, update, sleep, header, registers, paths
  }
  return 0;
}

// The export format of a file name by its suffix, -1 when not known.
int kindof(const std::string& fn) {
  size_t dot = fn.rfind('.');
  if (dot == std::string::npos) return -1;
  std::string s = fn.substr(dot + 1);
  for (char& ch : s) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  if (s == "png") return K_PNG;
  if (s == "svg") return K_SVG;
  if (s == "pdf") return K_PDF;
  return -1;
}

void destroy(Ctx& c) {
  if (c.cr) cairo_destroy(c.cr);
  if (c.surf) cairo_surface_destroy(c.surf);
  c.cr = nullptr;
  c.surf = nullptr;
}

}  // namespace

int gr_export(Gdl& g, const std::string& fn, const ExportOpts& o) {
  const int kind = kindof(fn);
  if (kind < 0) return errmsgf(RC_SYNTAX, "%s:  file suffix must be .png, .svg or .pdf\n", fn.c_str());
  if (kind != K_PNG) return gr_export_vector(g, fn, kind == K_PDF, o);
  Ctx c;
  c.wreq = o.width, c.hreq = o.height, c.dpi = o.dpi;
  AtomicFile dst;
  if (int rc = af_open(dst, fn)) return af_openerr(dst, rc);
  int rc = gdl_replay(g, render, &c);
  if (rc) {
    destroy(c);
    af_abort(dst);
    return rc == 691 || rc >= 6000 ? gdl_errmsg(rc, nullptr) : rc;
  }
  if (!c.surf) {
    af_abort(dst);
    return errmsgf(RC_SYNTAX, "graph has no page to draw\n");
  }
  cairo_surface_flush(c.surf);
  if (cairo_surface_write_to_png_stream(c.surf, writefn, &c) != CAIRO_STATUS_SUCCESS) c.err = 693;
  destroy(c);
  if (!c.err) {
    addresolution(c.png, c.dpi);
    c.err = af_write(dst, c.png.data(), c.png.size());
  }
  if (c.err) {
    af_abort(dst);
    return fierr(c.err, fn.c_str());
  }
  if ((rc = af_commit(dst))) {
    af_abort(dst);
    return fierr(rc, fn.c_str());
  }
  return 0;
}
