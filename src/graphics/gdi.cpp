// The `gdi` command: one subcommand per drawing call or register, with its
// arguments converted from user coordinates to device units through the
// alpha/beta/transform registers, and the scatter family that draws series
// sets as primitive records.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "data/value.h"
#include "expr/expr.h"
#include "graphics/graphics.h"
#include "graphics/gscheme.h"
#include "interp/cmdtab.h"
#include "interp/tokenizer.h"
#include "output/errors.h"
#include "output/format.h"
#include "output/output.h"
#include "output/textwidth.h"
#include "platform/platform.h"

namespace {

// ---------------------------------------------------------------------------
// Argument scanning over the rest of the line.

struct Scan {
  const char* p;
  void blanks() {
    while (*p == ' ' || *p == '\t') ++p;
  }
  bool atend() {
    blanks();
    return !*p;
  }
  // The next word, ended by a blank or a comma (empty at the end); a comma
  // standing alone is a word of its own.
  std::string word() {
    blanks();
    const char* s = p;
    if (*p == ',') return std::string(1, *p++);
    while (*p && *p != ' ' && *p != '\t' && *p != ',') ++p;
    return std::string(s, p);
  }
};

// `= ` must come next: 0, or 198.
int needeq(Scan& a) {
  a.blanks();
  if (*a.p != '=') return error(RC_SYNTAX);
  ++a.p;
  return 0;
}

// Anything left on the line is not allowed (101).
int rest(Scan& a) {
  if (a.atend()) return 0;
  std::string w = a.word();
  return notalow(w.c_str());
}

// A number (`.` and the extended missing values allowed). 0, 198, or 100
// when absent and `what` names it.
int number(Scan& a, double* v, const char* what) {
  std::string w = a.word();
  if (w.empty()) return required(what);
  if (w[0] == '.' && (w.size() == 1 || (w.size() == 2 && w[1] >= 'a' && w[1] <= 'z'))) {
    *v = w.size() == 1 ? misval : misval_k(w[1] - 'a' + 1);
    return 0;
  }
  char* end = nullptr;
  double d = std::strtod(w.c_str(), &end);
  if (*end || !std::isfinite(d)) return invalid(w.c_str());
  *v = d;
  return 0;
}

int numbers(Scan& a, double* v, int n, const char* what) {
  for (int i = 0; i < n; ++i)
    if (int rc = number(a, v + i, what)) return rc;
  return 0;
}

int inrange(double v, int lo, int hi, const char* what) {
  if (v < lo || v > hi || v != std::floor(v))
    return errmsgf(RC_SYNTAX, "%s must be between %d and %d\n", what, lo, hi);
  return 0;
}

// round() of the function library, then the low 16 bits.
int dev16(double v) {
  double r = std::floor(v + 0.5);
  if (!(r > -9.0e15 && r < 9.0e15)) r = r > 0 ? 9.0e15 : -9.0e15;
  return static_cast<int16_t>(static_cast<uint16_t>(static_cast<long long>(r) & 0xffff));
}

double xform(double x, int trans) {
  if (trans != 2) return x;
  return x > 0 && x < misval ? std::log(x) : -749.5;
}

int xpos(double x) { return dev16(gr.cur.xbeta * xform(x, gr.cur.xtrans) + gr.cur.xalpha); }
int ypos(double y) { return dev16(gr.cur.ybeta * xform(y, gr.cur.ytrans) + gr.cur.yalpha); }
int xsz(double x) { return dev16(gr.cur.xbeta * xform(x, gr.cur.xtrans)); }
int ysz(double y) { return dev16(gr.cur.ybeta * xform(y, gr.cur.ytrans)); }

bool anymiss(const double* v, int n) {
  for (int i = 0; i < n; ++i)
    if (v[i] >= misval) return true;
  return false;
}

int nograph() {
  if (gr.gdl) return 0;
  return errmsgf(RC_SYNTAX, "gdi init required\n");
}

// ---------------------------------------------------------------------------
// Clipping.

// The clip rectangle (gr.clip) is set by `gdi clip`; see GdiClip.

// Clips the segment a-b to the rectangle (Liang-Barsky); false when nothing is left.
bool clipseg(double& ax, double& ay, double& bx, double& by) {
  if (!gr.clip.on) return true;
  double t0 = 0, t1 = 1;
  const double dx = bx - ax, dy = by - ay;
  const double p[4] = {-dx, dx, -dy, dy};
  const double q[4] = {ax - gr.clip.x0, gr.clip.x1 - ax, ay - gr.clip.y0, gr.clip.y1 - ay};
  for (int i = 0; i < 4; ++i) {
    if (p[i] == 0) {
      if (q[i] < 0) return false;
      continue;
    }
    const double t = q[i] / p[i];
    if (p[i] < 0) t0 = std::max(t0, t);
    else t1 = std::min(t1, t);
    if (t0 > t1) return false;
  }
  const double sx = ax, sy = ay;
  ax = sx + t0 * dx, ay = sy + t0 * dy;
  bx = sx + t1 * dx, by = sy + t1 * dy;
  return true;
}

// Clips a closed polygon to the rectangle (Sutherland-Hodgman), in place.
void clippoly(std::vector<double>& xs, std::vector<double>& ys) {
  if (!gr.clip.on) return;
  for (int edge = 0; edge < 4 && !xs.empty(); ++edge) {
    auto in = [&](double x, double y) {
      return edge == 0 ? x >= gr.clip.x0 : edge == 1 ? x <= gr.clip.x1 : edge == 2 ? y >= gr.clip.y0 : y <= gr.clip.y1;
    };
    auto cross = [&](double ax, double ay, double bx, double by, double* cx, double* cy) {
      const double lim = edge == 0 ? gr.clip.x0 : edge == 1 ? gr.clip.x1 : edge == 2 ? gr.clip.y0 : gr.clip.y1;
      const double t = edge < 2 ? (lim - ax) / (bx - ax) : (lim - ay) / (by - ay);
      *cx = edge < 2 ? lim : ax + t * (bx - ax);
      *cy = edge < 2 ? ay + t * (by - ay) : lim;
    };
    std::vector<double> ox, oy;
    const size_t n = xs.size();
    for (size_t i = 0; i < n; ++i) {
      const size_t j = (i + 1) % n;
      const bool ai = in(xs[i], ys[i]), bi = in(xs[j], ys[j]);
      double cx, cy;
      if (ai) ox.push_back(xs[i]), oy.push_back(ys[i]);
      if (ai != bi) {
        cross(xs[i], ys[i], xs[j], ys[j], &cx, &cy);
        ox.push_back(cx), oy.push_back(cy);
      }
    }
    xs.swap(ox), ys.swap(oy);
  }
}

// ---------------------------------------------------------------------------
// Subcommands.

// init width height r g b [, usepens live]
int gdi_init(Scan& a) {
  double v[5];
  if (int rc = numbers(a, v, 2, "width and height")) return rc;
  if (int rc = numbers(a, v + 2, 3, "background colour")) return rc;
  bool usepens = false, live = false;
  a.blanks();
  if (*a.p == ',') {
    ++a.p;
    for (std::string w = a.word(); !w.empty(); w = a.word()) {
      if (w == "usepens") usepens = true;
      else if (w == "live") live = true;
      else return errmsgf(RC_SYNTAX, "option %s not allowed\n", w.c_str());
    }
  }
  if (int rc = rest(a)) return rc;
  (void)live;  // no live screen window in this build
  if (v[0] < 1 || v[0] > 20) return errmsgf(RC_SYNTAX, "width must be between 1 and 20\n");
  if (v[1] < 1 || v[1] > 20) return errmsgf(RC_SYNTAX, "height must be between 1 and 20\n");
  static const char* const cn[3] = {"red value", "green value", "blue value"};
  for (int i = 0; i < 3; ++i)
    if (int rc = inrange(v[2 + i], 0, 255, cn[i])) return rc;
  gr.cur.record = gr.cur.maybedraw = true;
  gr.clip.on = false;
  if (gr.mode != 2 || gr.curname.empty()) gr.curname = "Graph";
  gr.gdl = gr_graph(gr.curname, true);
  if (gdl_init_renderers()) return 1;
  gr.cur.initflag = true;
  const double w = v[0], h = v[1];
  int xs, ys;
  if (w > h) xs = 32000, ys = static_cast<int>(h * 32000 / w);
  else ys = 32000, xs = static_cast<int>(w * 32000 / h);
  gr.polyopen = false;
  int rc = gdl_page(xs, ys, w, h, static_cast<int>(v[2]), static_cast<int>(v[3]),
                    static_cast<int>(v[4]), usepens ? 1 : 0, gr.mode, 0);
  if (!rc) rc = gdl_stdregs();
  gr.cur.initflag = false;
  return rc;
}

int setrgb(Scan& a, unsigned char* dst, int reg) {
  if (int rc = needeq(a)) return rc;
  double v[3];
  static const char* const cn[3] = {"red value", "green value", "blue value"};
  for (int i = 0; i < 3; ++i) {
    if (int rc = number(a, v + i, cn[i])) return rc;
    if (int rc = inrange(v[i], 0, 255, cn[i])) return rc;
  }
  if (int rc = rest(a)) return rc;
  for (int i = 0; i < 3; ++i) dst[i] = static_cast<unsigned char>(v[i]);
  return gdl_setreg(reg);
}

int setdouble(Scan& a, double* dst, int reg, double scale = 1.0) {
  if (int rc = needeq(a)) return rc;
  double v;
  if (int rc = number(a, &v, "value")) return rc;
  if (int rc = rest(a)) return rc;
  *dst = v < misval ? v * scale : v;
  return gdl_setreg(reg);
}

// A keyword value from a list; its index or -1 (message printed).
int keyword(Scan& a, const std::vector<const char*>& names, int* idx) {
  if (int rc = needeq(a)) return rc;
  std::string w = a.word();
  if (int rc = rest(a)) return rc;
  for (size_t i = 0; i < names.size(); ++i)
    if (w == names[i]) {
      *idx = static_cast<int>(i);
      return 0;
    }
  return w.empty() ? required("value") : invalid(w.c_str());
}

struct SymName {
  const char* name;
  int min, code;
};
const SymName symnames[] = {
    {"none", 2, 255},      {"point", 2, 0},       {"circle", 2, 1},       {"square", 2, 2},
    {"diamond", 3, 8},     {"triangle", 3, 9},    {"plus", 2, 10},        {"x", 1, 11},
    {"smdiamond", 5, 12},  {"smsquare", 4, 13},   {"smcircle", 4, 14},    {"smtriangle", 5, 15},
    {"smplus", 4, 16},     {"smx", 3, 17},        {"lgx", 3, 18},         {"oldtriangle", 5, 3},
    {"oldsmcircle", 6, 4}, {"olddiamond", 5, 5},  {"oldplus", 5, 6},      {"oldcross", 5, 7},
};

int gdi_symbol(Scan& a) {
  if (int rc = needeq(a)) return rc;
  std::string w = a.word();
  if (int rc = rest(a)) return rc;
  if (w.empty()) return required("symbol");
  for (const SymName& s : symnames)
    if (cmdcmp(w.c_str(), s.name, s.min)) {
      gr.pend.symbol = s.code;
      return gdl_setreg(R_SYMBOL);
    }
  return errmsgf(RC_SYNTAX, "symbol %s unknown\n", w.c_str());
}

int gdi_linedash(Scan& a) {
  if (int rc = needeq(a)) return rc;
  double v[GDL_MAXDASH];
  int n = 0;
  while (!a.atend()) {
    if (n == GDL_MAXDASH) return errmsgf(RC_SYNTAX, "linedash allows at most %d numbers\n", GDL_MAXDASH);
    if (int rc = number(a, v + n, "dash length")) return rc;
    if (v[n] >= misval || v[n] < 0) return errmsgf(RC_SYNTAX, "dash lengths must be non-negative\n");
    ++n;
  }
  gr.pend.ndash = n;
  gr.pend.dash[0] = 0;
  for (int i = 0; i < n; ++i)
    gr.pend.dash[i + 1] =
        static_cast<int32_t>(std::clamp(std::floor(gr.cur.gbeta * v[i] + 0.5), -2.0e9, 2.0e9));
  return gdl_setreg(R_LINEDASH);
}

// Coordinates: n numbers; *skip when one is missing.
int coords(Scan& a, double* v, int n, bool* skip) {
  if (int rc = numbers(a, v, n, "coordinates")) return rc;
  if (int rc = rest(a)) return rc;
  *skip = anymiss(v, n);
  return 0;
}

// The text after the coordinates, one separating blank removed, at most
// 503 bytes of whole characters.
std::string textrest(Scan& a) {
  if (*a.p == ' ' || *a.p == '\t') ++a.p;
  std::string t = a.p;
  size_t keep = 0;
  while (keep < t.size()) {
    const size_t next = u8next(t, keep);
    if (next > 503) break;
    keep = next;
  }
  t.resize(keep);
  return t;
}

// ---------------------------------------------------------------------------
// The scatter family.

// A small generator for jitter, seeded from the jitter-seed register.
struct Jitter {
  uint64_t s;
  explicit Jitter(double seed) : s(static_cast<uint64_t>(std::fabs(seed) * 1000003.0) + 88172645463325252ULL) {}
  double next() {  // uniform on (-0.5, 0.5)
    s ^= s << 13, s ^= s >> 7, s ^= s << 17;
    return static_cast<double>(s >> 11) / 9007199254740992.0 - 0.5;
  }
};

// set var... num... with the variables numbered from 1: nv variables, then
// nnum numbers (missing allowed) into nums.
int seriesargs(Scan& a, int nv, int nnum, int* set, int* vars, double* nums) {
  double v[4];
  for (int i = 0; i < nv + 1; ++i) {
    if (int rc = number(a, v + i, "serset and variable numbers")) return rc;
    if (v[i] >= misval || v[i] != std::floor(v[i]) || std::fabs(v[i]) > 1e6) return invalid("serset");
  }
  for (int i = 0; i < nnum; ++i)
    if (int rc = number(a, nums + i, "numbers")) return rc;
  if (int rc = rest(a)) return rc;
  *set = static_cast<int>(v[0]);
  for (int i = 0; i < nv; ++i) vars[i] = static_cast<int>(v[i + 1]);
  if (serset_set(*set)) return errmsgf(RC_NOTFOUND, "series %d not found\n", *set);
  for (int i = 0; i < nv; ++i)
    if (vars[i] < 1 || vars[i] > serset_k())
      return errmsgf(RC_NOTFOUND, "variable %d not found in serset\n", vars[i]);
  return 0;
}

// set xvar yvar [extra] with the variables numbered from 1.
int setargs(Scan& a, int nv, int* set, int* vars) { return seriesargs(a, nv, 0, set, vars, nullptr); }

// Device position of a value before rounding; false when it is missing, or
// when clipping is on and a log scale cannot show it.
bool devx(double x, double* fx) {
  if (x >= misval || (gr.clip.on && gr.cur.xtrans == 2 && !(x > 0))) return false;
  *fx = gr.cur.xbeta * xform(x, gr.cur.xtrans) + gr.cur.xalpha;
  return true;
}
bool devy(double y, double* fy) {
  if (y >= misval || (gr.clip.on && gr.cur.ytrans == 2 && !(y > 0))) return false;
  *fy = gr.cur.ybeta * xform(y, gr.cur.ytrans) + gr.cur.yalpha;
  return true;
}

// Unrounded device position of observation i, with jitter; false when x or y
// is missing.
bool devpointf(int xj, int yj, long i, Jitter* jit, double* fx, double* fy) {
  if (!devx(serset_data(xj, i), fx) || !devy(serset_data(yj, i), fy)) return false;
  if (jit) {
    double j = gr.cur.jitter * gr.cur.gbeta;
    *fx += j * jit->next();
    *fy += j * jit->next();
  }
  return true;
}

// Device position of observation i, with jitter; false when x or y is missing
// or the point lies outside the clip rectangle.
bool devpoint(int xj, int yj, long i, Jitter* jit, int* dx, int* dy) {
  double fx, fy;
  if (!devpointf(xj, yj, i, jit, &fx, &fy) || !gr.clip.inside(fx, fy)) return false;
  *dx = dev16(fx);
  *dy = dev16(fy);
  return true;
}

// A connected line drawn through clipped segments: the pen moves only where
// a segment does not start where the last one ended.
struct ClipPen {
  bool down = false;
  int px = 0, py = 0;
  int seg(double ax, double ay, double bx, double by) {
    if (!clipseg(ax, ay, bx, by)) {
      down = false;
      return 0;
    }
    const int sx = dev16(ax), sy = dev16(ay), ex = dev16(bx), ey = dev16(by);
    int rc = 0;
    if (!down || sx != px || sy != py) rc = gdl_op2(OP_MOVETO, sx, sy);
    if (!rc) rc = gdl_op2(OP_LINETO, ex, ey);
    down = true, px = ex, py = ey;
    return rc;
  }
};

// The connected line of the series family with clipping on.
int clipline(int xj, int yj, long n, Jitter* jp) {
  ClipPen pen;
  bool have = false;
  double lx = 0, ly = 0;
  int rc = 0;
  for (long i = 0; i < n && !rc; ++i) {
    if ((i & 0xffff) == 0xffff && stopflag) return 1;
    double fx, fy;
    if (!devpointf(xj, yj, i, jp, &fx, &fy)) {
      if (!gr.cur.connectmiss) have = false;
      continue;
    }
    if (have) {
      if (gr.cur.connect == 4 && fx < lx) {
        pen.down = false;
      } else if (gr.cur.connect == 2) {
        rc = pen.seg(lx, ly, fx, ly);
        if (!rc) rc = pen.seg(fx, ly, fx, fy);
      } else if (gr.cur.connect == 3) {
        rc = pen.seg(lx, ly, lx, fy);
        if (!rc) rc = pen.seg(lx, fy, fx, fy);
      } else {
        rc = pen.seg(lx, ly, fx, fy);
      }
    } else if (gr.clip.inside(fx, fy)) {
      // a run of one point still shows where it is
      pen.down = false;
    }
    lx = fx, ly = fy, have = true;
  }
  return rc;
}

// Emits a filled polygon (shade registers) given in unrounded device units.
int polygon(std::vector<double>& xs, std::vector<double>& ys) {
  clippoly(xs, ys);
  if (xs.size() < 3) return 0;
  int rc = gdl_op0(OP_POLYBEGIN);
  if (!rc) rc = gdl_op2(OP_MOVETO, dev16(xs[0]), dev16(ys[0]));
  for (size_t i = 1; i < xs.size() && !rc; ++i) rc = gdl_op2(OP_LINETO, dev16(xs[i]), dev16(ys[i]));
  if (!rc) rc = gdl_op2(OP_LINETO, dev16(xs[0]), dev16(ys[0]));
  gr.polyopen = false;
  if (!rc) rc = gdl_op0(OP_POLYEND);
  return rc;
}

// The anchor of a marker label whose marker is at (mx, my) and whose anchor
// would be (mx + ox, my + oy) under the text registers, moved so that the
// text's box stays inside the clip rectangle (the page when clipping is off):
// a label that would cross an edge goes to the other side of its marker, and
// what still crosses is slid back inside. Text is taken as upright.
void labelinside(const char* text, double mx, double my, double ox, double oy, int* ax, int* ay) {
  const GdlRegs& r = gr.cur;
  double w, asc, desc;
  const double size = r.textsize > 0 && r.textsize < 1000 ? r.textsize : 12;
  gsch_measure(r.font, size, text, &w, &asc, &desc);
  const double u = r.ysize > 0 && r.height > 0 ? r.ysize / (72.0 * r.height) : 1;
  w *= u, asc *= u, desc *= u;
  const double x0 = gr.clip.on ? gr.clip.x0 : 0, x1 = gr.clip.on ? gr.clip.x1 : r.xsize;
  const double y0 = gr.clip.on ? gr.clip.y0 : 0, y1 = gr.clip.on ? gr.clip.y1 : r.ysize;
  // the box's left edge and bottom edge relative to the anchor, as the
  // renderers set text (the baseline 0.8 of the ascent under a top anchor)
  const double left = r.texthalign == 1 ? -w / 2 : r.texthalign == 2 ? -w : 0;
  const double base = r.textvalign == 0 ? -0.8 * asc : r.textvalign == 1 ? -0.4 * asc : r.textvalign == 3 ? desc : 0;
  const double bottom = base - desc, h = asc + desc;
  // one axis: the anchor a placed off the marker m by o, box [a+lo, a+lo+len]
  auto fit = [](double m, double o, double lo, double len, double e0, double e1) {
    double a = m + o;
    auto over = [&](double at) { return std::max(0.0, at + lo + len - e1) + std::max(0.0, e0 - (at + lo)); };
    if (over(a) > 0) {
      // mirrored: the box on the other side of the marker, the same distance off
      const double b = 2 * m - a - 2 * lo - len;
      if (over(b) < over(a)) a = b;
    }
    if (a + lo + len > e1) a = e1 - lo - len;
    if (a + lo < e0) a = e0 - lo;
    return a;
  };
  *ax = dev16(fit(mx, ox, left, w, x0, x1));
  *ay = dev16(fit(my, oy, bottom, h, y0, y1));
}

// kind: 0 points, 1 connected line, 2 values, 3 labels, 4 weights.
// Labels may be followed by the device offset of each label from its marker:
// gdi scatterlabel set xvar yvar labvar [dx dy].
int gdi_scatter(Scan& a, int kind) {
  int set = 0, vars[3] = {};
  const int nv = kind >= 3 ? 3 : 2;
  if (int rc = nograph()) return rc;
  int saved = serset_borrow();
  double off[2] = {0, 0};
  int nwords = 0;
  for (Scan b = a; !b.word().empty();) ++nwords;
  int rc = kind == 3 && nwords > nv + 1 ? seriesargs(a, nv, 2, &set, vars, off) : setargs(a, nv, &set, vars);
  if (!rc && (off[0] >= misval || off[1] >= misval)) rc = errmsgf(RC_SYNTAX, "label offsets may not be missing\n");
  if (rc) {
    serset_return(saved);
    return rc;
  }
  const int xj = vars[0] - 1, yj = vars[1] - 1;
  const long n = serset_no();
  Serset& s = *serset_cur();
  Jitter jit(gr.cur.jitterseed);
  Jitter* jp = gr.cur.jitter != 0 && gr.cur.jitter < misval ? &jit : nullptr;
  double wmax = 0;
  if (kind == 4) {
    int wj = vars[2] - 1;
    for (long i = 0; i < n; ++i) {
      double w = serset_data(wj, i);
      if (w < misval && std::fabs(w) > wmax) wmax = std::fabs(w);
    }
  }
  if (kind == 1 && gr.clip.on) {
    rc = clipline(xj, yj, n, jp);
    serset_return(saved);
    return rc;
  }
  bool pendown = false;
  int lastx = 0, lasty = 0;
  std::string str;
  for (long i = 0; i < n && !rc; ++i) {
    if ((i & 0xffff) == 0xffff && stopflag) {
      rc = 1;
      break;
    }
    int dx, dy;
    if (!devpoint(xj, yj, i, jp, &dx, &dy)) {
      if (!gr.cur.connectmiss) pendown = false;
      continue;
    }
    switch (kind) {
      case 0: rc = gdl_op2(OP_POINT, dx, dy); break;
      case 1:
        if (!pendown) {
          rc = gdl_op2(OP_MOVETO, dx, dy);
          pendown = true;
        } else if (gr.cur.connect == 4 && dx < lastx) {
          rc = gdl_op2(OP_MOVETO, dx, dy);
        } else if (gr.cur.connect == 2) {
          rc = gdl_op2(OP_LINETO, dx, lasty);
          if (!rc) rc = gdl_op2(OP_LINETO, dx, dy);
        } else if (gr.cur.connect == 3) {
          rc = gdl_op2(OP_LINETO, lastx, dy);
          if (!rc) rc = gdl_op2(OP_LINETO, dx, dy);
        } else {
          rc = gdl_op2(OP_LINETO, dx, dy);
        }
        lastx = dx, lasty = dy;
        break;
      case 2: {
        std::string v = sreforms(s.fmts[yj].c_str(), serset_data(yj, i));
        size_t b = v.find_first_not_of(' ');
        v = b == std::string::npos ? "" : v.substr(b);
        if (!v.empty()) rc = gdl_text(dx, dy, v.c_str());
        break;
      }
      case 3: {
        int lj = vars[2] - 1;
        if (isstrtype(s.types[lj])) {
          serset_sdata(lj, i, str);
        } else {
          std::string v = sreforms(s.fmts[lj].c_str(), serset_data(lj, i));
          size_t b = v.find_first_not_of(' ');
          str = b == std::string::npos ? "" : v.substr(b);
        }
        if (str.empty()) break;
        int lx, ly;
        labelinside(str.c_str(), dx, dy, off[0], off[1], &lx, &ly);
        rc = gdl_text(lx, ly, str.c_str());
        break;
      }
      case 4: {
        double w = serset_data(vars[2] - 1, i);
        if (w >= misval || wmax <= 0) break;
        int size = dev16(gr.cur.symsize * std::sqrt(std::fabs(w) / wmax));
        rc = gdl_spoint(dx, dy, size);
        break;
      }
      default: break;
    }
  }
  serset_return(saved);
  return rc;
}

// kind 0, gdi scatterband set xvar lovar hivar: the region between two series
// filled with the shade. kind 1, gdi scatterarea set xvar yvar base: the
// region between a series and the constant base. A missing value ends one
// region; the next begins at the following point.
int gdi_band(Scan& a, int kind) {
  int set = 0, vars[3] = {};
  double base = 0;
  if (int rc = nograph()) return rc;
  int saved = serset_borrow();
  int rc = seriesargs(a, kind == 0 ? 3 : 2, kind == 0 ? 0 : 1, &set, vars, &base);
  double fbase = 0;
  if (!rc && kind == 1 && !devy(base, &fbase)) rc = errmsgf(RC_SYNTAX, "base %s cannot be drawn\n", "value");
  if (rc) {
    serset_return(saved);
    return rc;
  }
  const long n = serset_no();
  std::vector<double> xs, lo, hi;
  auto emit = [&]() {
    int r = 0;
    if (xs.size() >= 2) {
      std::vector<double> px(xs), py(hi);
      for (size_t i = xs.size(); i-- > 0;) px.push_back(xs[i]), py.push_back(lo[i]);
      r = polygon(px, py);
    }
    xs.clear(), lo.clear(), hi.clear();
    return r;
  };
  for (long i = 0; i < n && !rc; ++i) {
    if ((i & 0xffff) == 0xffff && stopflag) {
      rc = 1;
      break;
    }
    double fx, fl = fbase, fh;
    const bool ok = devx(serset_data(vars[0] - 1, i), &fx) && devy(serset_data(vars[1] - 1, i), &fh) &&
                    (kind == 1 || devy(serset_data(vars[2] - 1, i), &fl));
    if (!ok) {
      rc = emit();
      continue;
    }
    xs.push_back(fx), lo.push_back(fl), hi.push_back(fh);
  }
  if (!rc) rc = emit();
  serset_return(saved);
  return rc;
}

// gdi scatterbar set xvar yvar base width: one shaded rectangle per
// observation from base to y, width in x units centred on x.
int gdi_bar(Scan& a) {
  int set = 0, vars[3] = {};
  double num[2] = {};
  if (int rc = nograph()) return rc;
  int saved = serset_borrow();
  int rc = seriesargs(a, 2, 2, &set, vars, num);
  if (!rc && !(num[1] > 0 && num[1] < misval)) rc = errmsgf(RC_SYNTAX, "bar width must be above 0\n");
  double fb = 0;
  if (!rc && !devy(num[0], &fb)) rc = errmsgf(RC_SYNTAX, "base %s cannot be drawn\n", "value");
  if (rc) {
    serset_return(saved);
    return rc;
  }
  const long n = serset_no();
  for (long i = 0; i < n && !rc; ++i) {
    if ((i & 0xffff) == 0xffff && stopflag) {
      rc = 1;
      break;
    }
    const double x = serset_data(vars[0] - 1, i);
    double x0, x1, fy;
    if (x >= misval || !devx(x - num[1] / 2, &x0) || !devx(x + num[1] / 2, &x1) ||
        !devy(serset_data(vars[1] - 1, i), &fy))
      continue;
    double y0 = std::min(fb, fy), y1 = std::max(fb, fy);
    if (x0 > x1) std::swap(x0, x1);
    if (gr.clip.on) {
      x0 = std::max(x0, gr.clip.x0), x1 = std::min(x1, gr.clip.x1);
      y0 = std::max(y0, gr.clip.y0), y1 = std::min(y1, gr.clip.y1);
      if (x0 > x1 || y0 > y1) continue;
    }
    rc = gdl_op4(OP_RECT, dev16(x0), dev16(y0), dev16(x1), dev16(y1));
  }
  serset_return(saved);
  return rc;
}

// gdi scatterrcap set xvar lovar hivar capwidth: one line per observation
// from lo to hi at x, with caps capwidth graph units wide at both ends.
int gdi_rcap(Scan& a) {
  int set = 0, vars[3] = {};
  double cap = 0;
  if (int rc = nograph()) return rc;
  int saved = serset_borrow();
  int rc = seriesargs(a, 3, 1, &set, vars, &cap);
  if (rc) {
    serset_return(saved);
    return rc;
  }
  const double half = cap < misval && cap > 0 ? gr.cur.gbeta * cap / 2 : 0;
  const long n = serset_no();
  for (long i = 0; i < n && !rc; ++i) {
    if ((i & 0xffff) == 0xffff && stopflag) {
      rc = 1;
      break;
    }
    double fx, fl, fh;
    if (!devx(serset_data(vars[0] - 1, i), &fx) || !devy(serset_data(vars[1] - 1, i), &fl) ||
        !devy(serset_data(vars[2] - 1, i), &fh))
      continue;
    ClipPen pen;
    rc = pen.seg(fx, fl, fx, fh);
    for (double fy : {fl, fh}) {
      if (rc || half <= 0 || !gr.clip.inside(fx, fy)) continue;
      pen.down = false;
      rc = pen.seg(fx - half, fy, fx + half, fy);
    }
  }
  serset_return(saved);
  return rc;
}

// gdi clip x0 y0 x1 y1 (device units) limits the series family to the
// rectangle; gdi clip alone lifts the limit.
int gdi_clip(Scan& a) {
  if (a.atend()) {
    gr.clip.on = false;
    return 0;
  }
  double v[4];
  if (int rc = numbers(a, v, 4, "clip rectangle")) return rc;
  if (int rc = rest(a)) return rc;
  if (anymiss(v, 4)) return errmsgf(RC_SYNTAX, "clip rectangle may not be missing\n");
  gr.clip.on = true;
  gr.clip.x0 = std::min(v[0], v[2]), gr.clip.x1 = std::max(v[0], v[2]);
  gr.clip.y0 = std::min(v[1], v[3]), gr.clip.y1 = std::max(v[1], v[3]);
  return 0;
}

// ---------------------------------------------------------------------------
// Axis scales.

}  // namespace

// Nice tick values covering [lo, hi] with about n intervals in steps of 1, 2
// or 5 times a power of ten. Writes the first and last tick and the step.
void gr_natscale(double lo, double hi, int n, double* first, double* last, double* delta) {
  if (n < 1) n = 1;
  if (!(hi > lo)) {
    double m = lo < misval ? lo : 0;
    double w = m == 0 ? 1 : std::fabs(m) * 0.1;
    lo = m - w, hi = m + w;
  }
  double raw = (hi - lo) / n;
  double p = std::pow(10.0, std::floor(std::log10(raw)));
  double f = raw / p;
  double step = (f <= 1.0 ? 1 : f <= 2.0 ? 2 : f <= 5.0 ? 5 : 10) * p;
  double a = std::floor(lo / step + 1e-9) * step, b = std::ceil(hi / step - 1e-9) * step;
  if (std::fabs(a) < step * 1e-9) a = 0;
  if (std::fabs(b) < step * 1e-9) b = 0;
  *first = a, *last = b, *delta = step;
}

namespace {

// min max n: posts the nice scale (time scales step by whole units at least).
int natscale_args(Scan& a, bool ts) {
  double v[3];
  if (int rc = numbers(a, v, 3, "minimum, maximum and count")) return rc;
  if (int rc = rest(a)) return rc;
  if (anymiss(v, 3)) return errmsgf(RC_SYNTAX, "natscale: arguments may not be missing\n");
  double f, l, d;
  gr_natscale(v[0], v[1], static_cast<int>(std::clamp(v[2], 1.0, 1000.0)), &f, &l, &d);
  if (ts && d < 1) {
    d = 1;
    f = std::floor(v[0]), l = std::ceil(v[1]);
  }
  const double nt = std::floor((l - f) / d + 0.5) + 1;
  gr_postscale(f, l, d, std::isfinite(nt) && nt < 1e9 ? static_cast<int>(nt) : 0);
  return 0;
}

// gdi natscale = min max n  /  gdi tsnatscale = min max n
int gdi_natscale(Scan& a, bool ts) {
  if (int rc = needeq(a)) return rc;
  return natscale_args(a, ts);
}

int cmd_gdi(int) {
  std::string sub = gettok(prsestd);
  Scan a{wheretok()};
  const char* s = sub.c_str();
  auto is = [&](const char* name, int min = 0) {
    return min ? cmdcmp(s, name, min) : sub == name;
  };
  if (sub.empty()) return errmsgf(RC_SYNTAX, "gdi subcommand required\n");
  if (is("init", 4)) return gdi_init(a);
  if (is("natscale")) return gdi_natscale(a, false);
  if (is("tsnatscale")) return gdi_natscale(a, true);
  if (is("record") || is("maybedraw")) {
    int k = 0;
    if (int rc = keyword(a, {"no", "yes"}, &k)) return rc;
    (sub == "record" ? gr.cur.record : gr.cur.maybedraw) = k == 1;
    return 0;
  }
  // Every other subcommand draws into the current graph.
  GdlRegs& p = gr.pend;
  int rc = 0;
  double v[7];
  bool skip = false;
  auto needgraph = [&]() { return nograph(); };
  if (is("resetregs")) {
    if ((rc = rest(a)) || (rc = needgraph())) return rc;
    return gdl_stdregs();
  }
  if (is("update", 6)) {
    if ((rc = rest(a)) || (rc = needgraph())) return rc;
    return gdl_op0(OP_UPDATE);
  }
  if (is("end", 3)) {
    if ((rc = rest(a)) || (rc = needgraph())) return rc;
    gr.cur.record = gr.cur.maybedraw = true;
    if ((rc = gdl_op0(OP_UPDATE))) return rc;
    rc = gdl_op0(OP_CLOSE);
    gdl_end_renderers();
    return rc;
  }
  if ((rc = needgraph())) return rc;
  if (is("pen", 3)) {
    if ((rc = needeq(a)) || (rc = number(a, v, "pen")) || (rc = rest(a))) return rc;
    if ((rc = inrange(v[0], 1, 9, "pen"))) return rc;
    p.pen = static_cast<int>(v[0]);
    return gdl_setreg(R_PEN);
  }
  if (is("linergb", 7)) return setrgb(a, p.linergb, R_LINERGB);
  if (is("gm_linewidth")) return setdouble(a, &p.linewidth, R_LINEWIDTH, gr.cur.gbeta);
  if (is("linedash", 8)) return gdi_linedash(a);
  if (is("penchange", 9)) return (rc = rest(a)) ? rc : gdl_setreg(R_PENCHANGE);
  if (is("scatterline_connect_type")) {
    int k = 0;
    if ((rc = keyword(a, {"direct", "stairstep", "stairstep_up", "ascending"}, &k))) return rc;
    p.connect = k + 1;
    return gdl_setreg(R_CONNECT);
  }
  if (is("scatterline_connect_missing")) {
    int k = 0;
    if ((rc = keyword(a, {"no", "yes"}, &k))) return rc;
    p.connectmiss = k;
    return gdl_setreg(R_CONNECTMISS);
  }
  if (is("shadergb", 8)) return setrgb(a, p.shadergb, R_SHADERGB);
  if (is("shadelevel", 10)) return setdouble(a, &p.shadelevel, R_SHADELEVEL);
  if (is("shadepattern", 12)) {
    int k = 0;
    if ((rc = keyword(a, {"pattern1", "pattern2", "pattern3", "pattern4", "pattern5", "pattern6",
                          "pattern7", "pattern8", "pattern9", "pattern10", "none", "background"},
                      &k)))
      return rc;
    p.shadepattern = k < 10 ? k : k == 10 ? 99 : 100;
    return gdl_setreg(R_SHADEPATTERN);
  }
  if (is("shadechange", 11)) return (rc = rest(a)) ? rc : gdl_setreg(R_SHADECHANGE);
  if (is("textrgb")) return setrgb(a, p.textrgb, R_TEXTRGB);
  if (is("textsize")) {
    if ((rc = needeq(a))) return rc;
    a.blanks();
    if (!*a.p) return required("expression");
    ExprProg prog;
    if ((rc = compexp_u(a.p, prog, EXP_NUM))) return rc;
    double x = evalnum(prog, 1);
    if (x >= misval || x < 0) return errmsgf(RC_SYNTAX, "textsize must be a non-negative number\n");
    p.textsize = x;
    return gdl_setreg(R_TEXTSIZE);
  }
  if (is("gm_textsize")) {
    if ((rc = needeq(a)) || (rc = number(a, v, "size")) || (rc = rest(a))) return rc;
    if (v[0] >= misval) return 0;
    double ys = gr.cur.ysize ? gr.cur.ysize : 32000;
    p.textsize = gr.cur.gbeta * v[0] * 72.0 * gr.cur.height / ys;
    return gdl_setreg(R_TEXTSIZE);
  }
  if (is("textangle")) {
    if ((rc = needeq(a)) || (rc = number(a, v, "angle")) || (rc = rest(a))) return rc;
    if (v[0] >= misval) return 0;
    p.textangle = dev16(v[0]);
    return gdl_setreg(R_TEXTANGLE);
  }
  if (is("texthalign")) {
    int k = 0;
    if ((rc = keyword(a, {"left", "center", "right"}, &k))) return rc;
    p.texthalign = k;
    return gdl_setreg(R_TEXTHALIGN);
  }
  if (is("textvalign")) {
    int k = 0;
    if ((rc = keyword(a, {"top", "middle", "baseline", "bottom"}, &k))) return rc;
    p.textvalign = k;
    return gdl_setreg(R_TEXTVALIGN);
  }
  if (is("textfont")) {
    // a family name may hold blanks: the rest of the line, outer quotes removed
    if ((rc = needeq(a))) return rc;
    std::string w = textrest(a);
    while (!w.empty() && (w.back() == ' ' || w.back() == '\t')) w.pop_back();
    while (!w.empty() && (w.front() == ' ' || w.front() == '\t')) w.erase(0, 1);
    if (w.size() >= 2 && w.front() == '"' && w.back() == '"') w = w.substr(1, w.size() - 2);
    if (w.empty()) return required("font");
    if (w.size() >= GDL_FONTLEN) w.resize(GDL_FONTLEN - 1);
    std::strcpy(p.font, w.c_str());
    return gdl_setreg(R_FONT);
  }
  if (is("textchange")) return (rc = rest(a)) ? rc : gdl_setreg(R_TEXTCHANGE);
  if (is("xalpha", 6)) return setdouble(a, &p.xalpha, R_XALPHA);
  if (is("xbeta", 5)) return setdouble(a, &p.xbeta, R_XBETA);
  if (is("yalpha", 6)) return setdouble(a, &p.yalpha, R_YALPHA);
  if (is("ybeta", 5)) return setdouble(a, &p.ybeta, R_YBETA);
  if (is("gbeta", 5)) return setdouble(a, &p.gbeta, R_GBETA);
  if (is("xtransform") || is("ytransform")) {
    int k = 0;
    if ((rc = keyword(a, {"linear", "ln"}, &k))) return rc;
    (s[0] == 'x' ? p.xtrans : p.ytrans) = k + 1;
    return gdl_setreg(s[0] == 'x' ? R_XTRANS : R_YTRANS);
  }
  if (is("gm_jitter")) return setdouble(a, &p.jitter, R_JITTER);
  if (is("jitterseed")) return setdouble(a, &p.jitterseed, R_JITTERSEED);
  if (is("xbounds") || is("ybounds")) {
    if ((rc = needeq(a)) || (rc = numbers(a, v, 2, "bounds")) || (rc = rest(a))) return rc;
    double* b = s[0] == 'x' ? p.xbounds : p.ybounds;
    b[0] = v[0], b[1] = v[1];
    return gdl_setreg(s[0] == 'x' ? R_XBOUNDS : R_YBOUNDS);
  }
  if (is("moveto") || is("lineto") || is("rmoveto") || is("rlineto") || is("gm_rmoveto") ||
      is("gm_rlineto")) {
    if ((rc = coords(a, v, 2, &skip)) || skip) return rc;
    const bool rel = sub[0] == 'r' || sub[0] == 'g';
    const bool line = sub.find("lineto") != std::string::npos;
    int op = rel ? (line ? OP_RLINETO : OP_RMOVETO) : (line ? OP_LINETO : OP_MOVETO);
    if (sub[0] == 'g')
      return gdl_op2(op, dev16(gr.cur.gbeta * v[0]), dev16(gr.cur.gbeta * v[1]));
    if (rel) return gdl_op2(op, xsz(v[0]), ysz(v[1]));
    return gdl_op2(op, xpos(v[0]), ypos(v[1]));
  }
  if (is("line", 4) || is("rectangle", 9)) {
    if ((rc = coords(a, v, 4, &skip)) || skip) return rc;
    return gdl_op4(sub[0] == 'l' ? OP_LINE : OP_RECT, xpos(v[0]), ypos(v[1]), xpos(v[2]),
                   ypos(v[3]));
  }
  if (is("point", 5)) {
    if ((rc = coords(a, v, 2, &skip)) || skip) return rc;
    return gdl_op2(OP_POINT, xpos(v[0]), ypos(v[1]));
  }
  if (is("cpoint", 6)) return (rc = rest(a)) ? rc : gdl_op0(OP_CPOINT);
  if (is("text", 4)) {
    if ((rc = numbers(a, v, 2, "coordinates"))) return rc;
    std::string t = textrest(a);
    if (anymiss(v, 2) || t.empty()) return 0;
    return gdl_text(xpos(v[0]), ypos(v[1]), t.c_str());
  }
  if (is("ctext", 5)) {
    std::string t = textrest(a);
    if (t.empty()) return 0;
    return gdl_ctext(t.c_str());
  }
  if (is("symbol", 6)) return gdi_symbol(a);
  if (is("symbolsize")) {
    if ((rc = needeq(a)) || (rc = number(a, v, "size")) || (rc = rest(a))) return rc;
    if (v[0] >= misval) return 0;
    p.symsize = xsz(v[0]);
    return gdl_setreg(R_SYMSIZE);
  }
  if (is("gm_symbolsize")) {
    if ((rc = needeq(a)) || (rc = number(a, v, "size")) || (rc = rest(a))) return rc;
    if (v[0] >= misval) return 0;
    p.symsize = dev16(gr.cur.gbeta * v[0] / 2);
    return gdl_setreg(R_SYMSIZE);
  }
  if (is("pointcloud")) {
    if ((rc = numbers(a, v, 7, "point-cloud arguments")) || (rc = rest(a))) return rc;
    if (anymiss(v, 7)) return 0;
    int32_t l4[4];
    for (int i = 0; i < 4; ++i)
      l4[i] = static_cast<int32_t>(std::clamp(std::floor(v[3 + i] + 0.5), -2.0e9, 2.0e9));
    return gdl_cloud(dev16(v[0]), dev16(v[1]), dev16(v[2]), l4);
  }
  if (is("scatter")) return gdi_scatter(a, 0);
  if (is("scatterline", 8)) return gdi_scatter(a, 1);
  if (is("scattervalue", 8)) return gdi_scatter(a, 2);
  if (is("scatterlabel", 10)) return gdi_scatter(a, 3);
  if (is("scatterweight", 10)) return gdi_scatter(a, 4);
  if (is("scatterband")) return gdi_band(a, 0);
  if (is("scatterarea")) return gdi_band(a, 1);
  if (is("scatterbar")) return gdi_bar(a);
  if (is("scatterrcap")) return gdi_rcap(a);
  if (is("clip")) return gdi_clip(a);
  if (is("pieslice")) {
    if ((rc = coords(a, v, 5, &skip)) || skip) return rc;
    return gdl_pie(xpos(v[0]), ypos(v[1]), xsz(v[2]), v[3], v[4]);
  }
  if (is("polybegin") || is("polyend")) {
    if ((rc = rest(a))) return rc;
    const bool begin = sub == "polybegin";
    if (begin == gr.polyopen) return 0;
    gr.polyopen = begin;
    return gdl_op0(begin ? OP_POLYBEGIN : OP_POLYEND);
  }
  return errmsgf(RC_UNRECOGNIZED, "gdi subcommand %s not recognized\n", s);
}

// _natscale min max n: the nice scale in r(min), r(max), r(delta), r(nticks).
int cmd_natscale(int ts) {
  Scan a{wheretok()};
  return natscale_args(a, ts != 0);
}

}  // namespace

void gdi_bindcommands() {
  cmdbind("gdi", cmd_gdi);
  cmdbind("_natscale", cmd_natscale, 0);
  cmdbind("_tsnatscale", cmd_natscale, 1);
}
