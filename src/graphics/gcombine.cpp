// `graph combine`: stored graphs drawn side by side as panels of one new
// graph. Each source display list is replayed into a callback that writes
// every record again, its coordinates, sizes, widths and text sizes scaled
// and moved into the panel's cell, so the result is an ordinary display list
// that saves, exports and combines like any other.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "graphics/graphics.h"
#include "graphics/gscheme.h"
#include "interp/cmdtab.h"
#include "interp/tokenizer.h"
#include "output/errors.h"
#include "output/output.h"

namespace {

// The placement of one panel: device (x, y) of the source goes to
// (ox + s * x, oy + s * y); sizes in points and line widths scale by k and lw.
struct Panel {
  Gdl* out = nullptr;
  double s = 1, ox = 0, oy = 0;
  double k = 1;                  // physical scale (text sizes)
  double lw = 1;                 // line-width scale
  double srcw = 6, srch = 4;     // the source page in inches
  int srcxs = 32000, srcys = 21333;
};

void b1(Gdl& g, int v) {
  const unsigned char c = static_cast<unsigned char>(v);
  gdl_put(g, &c, 1);
}
void b2(Gdl& g, long v) {
  const int16_t x = static_cast<int16_t>(std::clamp(v, -32768L, 32767L));
  const unsigned char c[2] = {static_cast<unsigned char>(x >> 8 & 255), static_cast<unsigned char>(x & 255)};
  gdl_put(g, c, 2);
}
void b4(Gdl& g, long v) {
  const uint32_t x = static_cast<uint32_t>(static_cast<int32_t>(std::clamp(v, -2147483647L, 2147483647L)));
  const unsigned char c[4] = {static_cast<unsigned char>(x >> 24), static_cast<unsigned char>(x >> 16 & 255),
                              static_cast<unsigned char>(x >> 8 & 255), static_cast<unsigned char>(x & 255)};
  gdl_put(g, c, 4);
}
void b8(Gdl& g, double d) {
  uint64_t x;
  std::memcpy(&x, &d, 8);
  unsigned char c[8];
  for (int i = 0; i < 8; ++i) c[i] = static_cast<unsigned char>(x >> (56 - 8 * i) & 255);
  gdl_put(g, c, 8);
}
void bstr(Gdl& g, const char* s) {
  const int n = static_cast<int>(std::strlen(s)) + 1;
  b2(g, n);
  gdl_put(g, s, n);
}
void brgb(Gdl& g, const unsigned char* c) { b1(g, c[0]), b1(g, c[1]), b1(g, c[2]); }

long px(const Panel& p, double x) { return std::lround(p.ox + p.s * x); }
long py(const Panel& p, double y) { return std::lround(p.oy + p.s * y); }
long sz(const Panel& p, double v) { return std::lround(p.s * v); }

// Writes register `reg` of the current block, scaled for the panel.
void putreg(Panel& p, int reg) {
  Gdl& g = *p.out;
  const GdlRegs& r = gr.cur;
  b1(g, OP_REG), b1(g, reg);
  switch (reg) {
    case R_SYMBOL: b1(g, r.symbol); break;
    case R_SYMSIZE: b2(g, sz(p, r.symsize)); break;
    case R_PEN: b1(g, r.pen); break;
    case R_LINERGB: brgb(g, r.linergb); break;
    case R_SHADERGB: brgb(g, r.shadergb); break;
    case R_SHADELEVEL: b8(g, r.shadelevel); break;
    case R_SHADEPATTERN: b1(g, r.shadepattern); break;
    case R_TEXTRGB: brgb(g, r.textrgb); break;
    case R_TEXTSIZE: b8(g, r.textsize * p.k); break;
    case R_TEXTANGLE: b2(g, r.textangle); break;
    case R_TEXTHALIGN: b1(g, r.texthalign); break;
    case R_TEXTVALIGN: b1(g, r.textvalign); break;
    case R_XALPHA: b8(g, r.xalpha); break;
    case R_XBETA: b8(g, r.xbeta); break;
    case R_YALPHA: b8(g, r.yalpha); break;
    case R_YBETA: b8(g, r.ybeta); break;
    case R_LINEDASH:
      b2(g, r.ndash);
      for (int i = 0; i <= r.ndash && i <= GDL_MAXDASH; ++i) b4(g, sz(p, r.dash[i]));
      break;
    case R_CONNECT: b1(g, r.connect); break;
    case R_CONNECTMISS: b1(g, r.connectmiss); break;
    case R_LINEWIDTH: b8(g, r.linewidth * p.lw); break;
    case R_GBETA: b8(g, r.gbeta); break;
    case R_JITTER: b8(g, r.jitter); break;
    case R_JITTERSEED: b8(g, r.jitterseed); break;
    case R_XBOUNDS: b8(g, r.xbounds[0]), b8(g, r.xbounds[1]); break;
    case R_YBOUNDS: b8(g, r.ybounds[0]), b8(g, r.ybounds[1]); break;
    case R_XTRANS: b1(g, r.xtrans); break;
    case R_YTRANS: b1(g, r.ytrans); break;
    case R_FONT: bstr(g, r.font); break;
    case R_COLORTYPE: b1(g, r.colortype); break;
    case R_USEPENS: b1(g, r.usepens); break;
    default: break;  // the change markers carry no operand
  }
}

// The replay callback: each executed record written again into the panel.
int transfer(void* ctx, int code) {
  Panel& p = *static_cast<Panel*>(ctx);
  Gdl& g = *p.out;
  const GdlOp& o = gr.op;
  switch (code) {
    case OP_PAGE: {
      // the source's page decides the panel's scale; its record is not copied
      p.srcxs = gr.cur.xsize > 0 ? gr.cur.xsize : 32000;
      p.srcys = gr.cur.ysize > 0 ? gr.cur.ysize : 32000;
      p.srcw = gr.cur.width, p.srch = gr.cur.height;
      return 0;
    }
    case OP_REG: putreg(p, o.reg); return 0;
    case OP_LINE: case OP_RECT:
      b1(g, code), b2(g, px(p, o.s[0])), b2(g, py(p, o.s[1])), b2(g, px(p, o.s[2])), b2(g, py(p, o.s[3]));
      return 0;
    case OP_LINETO: case OP_MOVETO: case OP_POINT:
      b1(g, code), b2(g, px(p, o.s[0])), b2(g, py(p, o.s[1]));
      return 0;
    case OP_RLINETO: case OP_RMOVETO: b1(g, code), b2(g, sz(p, o.s[0])), b2(g, sz(p, o.s[1])); return 0;
    case OP_SPOINT: b1(g, code), b2(g, px(p, o.s[0])), b2(g, py(p, o.s[1])), b2(g, sz(p, o.s[2])); return 0;
    case OP_TEXT: b1(g, code), b2(g, px(p, o.s[0])), b2(g, py(p, o.s[1])), bstr(g, o.str); return 0;
    case OP_CTEXT: b1(g, code), bstr(g, o.str); return 0;
    case OP_CPOINT: case OP_POLYBEGIN: case OP_POLYEND: case OP_PATHBEGIN: case OP_PATHEND: b1(g, code); return 0;
    case OP_PIE:
      b1(g, code), b2(g, px(p, o.s[0])), b2(g, py(p, o.s[1])), b2(g, sz(p, o.s[2])), b8(g, o.d[0]), b8(g, o.d[1]);
      return 0;
    case OP_CLOUD:
      b1(g, code), b2(g, px(p, o.s[0])), b2(g, py(p, o.s[1])), b2(g, sz(p, o.s[2]));
      b4(g, o.l[0]), b4(g, o.l[1]), b4(g, sz(p, o.l[2])), b4(g, sz(p, o.l[3]));
      return 0;
    default: return 0;  // header, close, update, sleep and the unused opcodes
  }
}

// Reads the page of g (size in device units and inches) by replaying it
// without renderers. 0 or a code.
struct PageOf {
  int xs = 32000, ys = 21333;
  double w = 6, h = 4;
  bool seen = false;
};
int pageprobe(void* ctx, int code) {
  if (code != OP_PAGE) return 0;
  PageOf& p = *static_cast<PageOf*>(ctx);
  p.xs = gr.cur.xsize > 0 ? gr.cur.xsize : 32000, p.ys = gr.cur.ysize > 0 ? gr.cur.ysize : 32000;
  p.w = gr.cur.width, p.h = gr.cur.height, p.seen = true;
  return 1;  // nothing more is needed
}

// A replay with every other renderer slot emptied and the drawing state kept.
int isolated(Gdl& g, GdlRenderer fn, void* ctx) {
  GdlRegs cur = gr.cur, pend = gr.pend;
  GdlRenderer fn0[3];
  void* cx0[3];
  for (int i = 0; i < 3; ++i) fn0[i] = gr.rfn[i], cx0[i] = gr.rctx[i], gr.rfn[i] = nullptr;
  int rc = gdl_replay(g, fn, ctx);
  for (int i = 0; i < 3; ++i) gr.rfn[i] = fn0[i], gr.rctx[i] = cx0[i];
  gr.cur = cur, gr.pend = pend;
  return rc;
}

// _gcombine name1 name2 ... [, rows(#) cols(#) title(text) name(newname[, replace]) scheme(name)]
int cmd_gcombine(int) {
  std::vector<std::string> names;
  for (;;) {
    const char* p = peektok_chr();
    if (!p || !*p || *p == ',') break;
    names.push_back(gettok(" ,"));
  }
  ParseResult pr;
  if (int rc = parse({.varlist = PERM_NO, .ifexp = PERM_NO, .range = PERM_NO, .options = PERM_OPTIONAL}, pr)) return rc;
  long rows = findopta(pr, "rows", 4, 0), cols = findopta(pr, "cols", 4, 0);
  std::string title, newname, scheme;
  (void)findargasis(pr, "title", 2, title, 500);
  if (title.size() >= 2 && title.front() == '"' && title.back() == '"') title = title.substr(1, title.size() - 2);
  (void)findargasis(pr, "name", 4, newname, 200);
  (void)findargn(pr, "scheme", 3, scheme, 32, 1);
  if (int rc = chkopt(pr)) return rc;
  bool replace = false;
  if (size_t c = newname.find(','); c != std::string::npos) {
    std::string opt = newname.substr(c + 1);
    newname.resize(c);
    opt.erase(0, opt.find_first_not_of(' '));
    while (!opt.empty() && opt.back() == ' ') opt.pop_back();
    if (opt != "replace") return errmsgf(RC_SYNTAX, "name(): option %s not allowed\n", opt.c_str());
    replace = true;
  }
  while (!newname.empty() && newname.back() == ' ') newname.pop_back();
  if (newname.empty()) newname = "Graph", replace = true;
  if (names.empty()) return errmsgf(RC_SYNTAX, "graph names required\n");
  const long n = static_cast<long>(names.size());
  if (rows < 0 || cols < 0) return errmsgf(RC_SYNTAX, "rows() and cols() must be positive\n");
  if (!rows && !cols) cols = static_cast<long>(std::ceil(std::sqrt(static_cast<double>(n))));
  if (!rows) rows = (n + cols - 1) / cols;
  if (!cols) cols = (n + rows - 1) / rows;
  if (rows * cols < n)
    return errmsgf(RC_SYNTAX, "rows(%ld) and cols(%ld) leave no room for %ld graphs\n", rows, cols, n);
  if (rows > 100 || cols > 100) return errmsgf(RC_SYNTAX, "at most 100 rows and 100 columns\n");
  std::vector<Gdl*> src;
  for (const std::string& nm : names) {
    Gdl* g = gr_graph(nm, false);
    if (!g) return errmsgf(RC_NOTFOUND, "graph %s not found\n", nm.c_str());
    src.push_back(g);
  }
  if (!replace && gr_graph(newname, false))
    return errmsgf(RC_DEFINED, "graph %s already exists; add replace to name()\n", newname.c_str());
  GScheme sc;
  if (!scheme.empty()) {
    if (int rc = gsch_load(scheme, sc)) return rc;
  } else {
    sc = gsch_active();
  }

  // the new page: wide enough that a panel is at least about half its
  // graph's size, as high as the panels' shape needs, the title above
  PageOf first;
  if (int rc = isolated(*src[0], pageprobe, &first); rc && !(rc == 1 && first.seen))
    return rc == 691 || rc >= 6000 ? gdl_errmsg(rc, names[0].c_str()) : rc;
  const double toppt = sc.margin[2] * 0.5 + (title.empty() ? 0 : sc.size[GS_TITLE] * 1.6);
  const double W = std::clamp(3.5 * static_cast<double>(cols), 6.0, 20.0);
  const double H = std::clamp(W * static_cast<double>(rows) / static_cast<double>(cols) * first.ys / first.xs + toppt / 72,
                              1.0, 20.0);
  int XS, YS;
  if (W > H) XS = 32000, YS = static_cast<int>(H * 32000 / W);
  else YS = 32000, XS = static_cast<int>(W * 32000 / H);
  const double unitspt = YS / (H * 72);  // device units per point
  const double top = toppt * unitspt;
  const double cw = static_cast<double>(XS) / static_cast<double>(cols);
  const double ch = (YS - top) / static_cast<double>(rows);

  auto dest = std::make_unique<Gdl>();
  Gdl* saved = gr.gdl;
  gr.gdl = dest.get();
  gr.cur.record = gr.cur.maybedraw = true;
  gr.cur.initflag = true;
  int rc = gdl_page(XS, YS, W, H, sc.bg[0], sc.bg[1], sc.bg[2], 0, 1, 0);
  if (!rc) rc = gdl_stdregs();
  gr.cur.initflag = false;
  if (!rc && !title.empty()) {
    // the title's baseline: below the top margin by the title's ascent
    GdlRegs& p = gr.pend;
    std::memcpy(p.textrgb, sc.text, 3);
    // a title wider than the page is set smaller
    double tw, ta, td;
    gsch_measure(sc.font, sc.size[GS_TITLE], title.c_str(), &tw, &ta, &td);
    const double avail = W * 72 - sc.margin[0] - sc.margin[1];
    p.textsize = tw > avail && tw > 0 ? sc.size[GS_TITLE] * avail / tw * 0.98 : sc.size[GS_TITLE];
    p.texthalign = 1;
    p.textvalign = 2;
    std::snprintf(p.font, GDL_FONTLEN, "%s", sc.font.c_str());
    for (int reg : {R_TEXTRGB, R_TEXTSIZE, R_TEXTHALIGN, R_TEXTVALIGN, R_FONT})
      if (!rc) rc = gdl_setreg(reg);
    if (!rc) rc = gdl_text(XS / 2, static_cast<int>(YS - sc.margin[2] * unitspt * 0.5 - sc.size[GS_TITLE] * unitspt * 1.1), title.c_str());
  }
  for (long i = 0; i < n && !rc; ++i) {
    PageOf pg;
    rc = isolated(*src[static_cast<size_t>(i)], pageprobe, &pg);
    if (rc == 1 && pg.seen) rc = 0;
    if (rc) break;
    Panel p;
    p.out = dest.get();
    const long r = i / cols, c = i % cols;
    p.s = std::min(cw / pg.xs, ch / pg.ys);
    p.ox = c * cw + (cw - p.s * pg.xs) / 2;
    p.oy = YS - top - (r + 1) * ch + (ch - p.s * pg.ys) / 2;
    // physical scale: inches per source unit, shown at s dest units
    const double src_in = pg.h / pg.ys, dst_in = H / YS;
    p.k = p.s * dst_in / src_in;
    p.lw = p.k * std::min(pg.w, pg.h) / std::min(W, H);
    rc = isolated(*src[static_cast<size_t>(i)], transfer, &p);
    if (rc == 691 || rc >= 6000) rc = gdl_errmsg(rc, names[static_cast<size_t>(i)].c_str());
  }
  if (!rc) {
    gr.cur.record = gr.cur.maybedraw = true;
    rc = gdl_op0(OP_CLOSE);
    gdl_end_renderers();
  }
  if (rc) {
    gr.gdl = saved;
    return rc;
  }
  gr.graphs[newname] = std::move(dest);
  gr.curname = newname;
  gr.gdl = gr.graphs[newname].get();
  ++gr.shown;
  return 0;
}

}  // namespace

void gcombine_bindcommands() { cmdbind("_gcombine", cmd_gcombine); }
