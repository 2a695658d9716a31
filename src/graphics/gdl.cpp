// The display list: the byte stream of a graph (buffer plus overflow file),
// the recording calls that append an opcode and execute it, opcode execution
// against the register blocks, the three renderer slots, and replay of a
// recorded stream. Multi-byte operands are written most significant byte first.
#include <cmath>
#include <cstring>

#include "files/byteorder.h"
#include "graphics/graphics.h"
#include "graphics/gscheme.h"
#include "output/errors.h"
#include "output/output.h"
#include "platform/platform.h"

GraphicsState gr;

Gdl::~Gdl() {
  if (tmp) std::fclose(tmp);
}

// ---------------------------------------------------------------------------
// Stream I/O.

void gdl_clear(Gdl& g) {
  if (g.tmp) std::fclose(g.tmp);
  g.tmp = nullptr;
  g.n = g.rpos = 0;
  g.filebytes = 0;
  g.state = 0;
  g.hilo = true;
  g.eof = false;
}

// Moves the buffer into the overflow file; false on a write failure.
static bool spill(Gdl& g) {
  if (!g.tmp) {
    g.tmp = std::tmpfile();
    if (!g.tmp) return false;
  }
  if (g.n && std::fwrite(g.buf, 1, static_cast<size_t>(g.n), g.tmp) != static_cast<size_t>(g.n))
    return false;
  g.filebytes += g.n;
  g.n = 0;
  return true;
}

// Returns a stream that was being read to the writing state at its end.
static void towrite(Gdl& g) {
  if (g.state == 1 && g.tmp) {
    std::fseek(g.tmp, 0, SEEK_END);
    g.n = 0;
  }
  g.state = 0;
  g.rpos = 0;
}

void gdl_put(Gdl& g, const void* p, int len) {
  if (g.state == 2) return;
  if (g.state == 1) towrite(g);
  const unsigned char* s = static_cast<const unsigned char*>(p);
  while (len > 0) {
    if (g.n == GDL_BUFSIZE && !spill(g)) {
      g.state = 2;
      return;
    }
    int k = GDL_BUFSIZE - g.n;
    if (k > len) k = len;
    std::memcpy(g.buf + g.n, s, static_cast<size_t>(k));
    g.n += k;
    s += k;
    len -= k;
  }
}

long gdl_readpos(const Gdl& g) { return g.rcount; }

long gdl_size(const Gdl& g) {
  if (g.tmp) return g.state == 1 ? g.filebytes : g.filebytes + g.n;
  return g.n;
}

int gdl_rewind(Gdl& g) {
  if (g.state == 2) return RC_IO;
  if (g.state == 0 && g.tmp) {
    if (!spill(g) || std::fflush(g.tmp)) {
      g.state = 2;
      return RC_IO;
    }
  }
  if (g.tmp) {
    if (std::fseek(g.tmp, 0, SEEK_SET)) return RC_IO;
    g.n = 0;
  }
  g.state = 1;
  g.rpos = 0;
  g.rcount = 0;
  g.eof = false;
  g.hilo = true;
  return 0;
}

// Reads len bytes; false at the end of the stream or on a read failure.
static bool gdl_get(Gdl& g, void* p, int len) {
  unsigned char* d = static_cast<unsigned char*>(p);
  while (len > 0) {
    if (g.rpos == g.n) {
      if (!g.tmp) {
        g.eof = true;
        return false;
      }
      size_t got = std::fread(g.buf, 1, GDL_BUFSIZE, g.tmp);
      g.n = static_cast<int>(got);
      g.rpos = 0;
      if (!got) {
        g.eof = true;
        return false;
      }
    }
    int k = g.n - g.rpos;
    if (k > len) k = len;
    std::memcpy(d, g.buf + g.rpos, static_cast<size_t>(k));
    g.rpos += k;
    g.rcount += k;
    d += k;
    len -= k;
  }
  return true;
}

int gdl_copyout(Gdl& g, int (*fn)(void* ctx, const void* p, size_t n), void* ctx) {
  if (int rc = gdl_rewind(g)) return rc;
  unsigned char blk[512];
  for (;;) {
    int k = 0;
    while (k < 512 && gdl_get(g, blk + k, 1)) ++k;
    if (k && (fn(ctx, blk, static_cast<size_t>(k)))) return RC_WRITE;
    if (k < 512) break;
  }
  towrite(g);
  return 0;
}

// ---------------------------------------------------------------------------
// Writing operands (most significant byte first).

namespace {

void w1(int v) {
  unsigned char b = static_cast<unsigned char>(v);
  gdl_put(*gr.gdl, &b, 1);
}
void w2(int v) {
  unsigned char b[2];
  bo_put2(b, static_cast<uint16_t>(v), true);
  gdl_put(*gr.gdl, b, 2);
}
void w4(int32_t v) {
  unsigned char b[4];
  bo_put4(b, static_cast<uint32_t>(v), true);
  gdl_put(*gr.gdl, b, 4);
}
void w8(double v) {
  unsigned char b[8];
  bo_putdbl(b, v, true);
  gdl_put(*gr.gdl, b, 8);
}
void wstr(const char* s, int len) {
  w2(len + 1);
  gdl_put(*gr.gdl, s, len);
  w1(0);
}

bool recording() { return gr.gdl && gr.cur.record; }

// Writes the operand of register reg from the pending block.
void wreg(int reg) {
  const GdlRegs& p = gr.pend;
  switch (reg) {
    case R_SYMBOL: w1(p.symbol); break;
    case R_SYMSIZE: w2(p.symsize); break;
    case R_PEN: w1(p.pen); break;
    case R_LINERGB: w1(p.linergb[0]), w1(p.linergb[1]), w1(p.linergb[2]); break;
    case R_SHADERGB: w1(p.shadergb[0]), w1(p.shadergb[1]), w1(p.shadergb[2]); break;
    case R_SHADELEVEL: w8(p.shadelevel); break;
    case R_SHADEPATTERN: w1(p.shadepattern); break;
    case R_TEXTRGB: w1(p.textrgb[0]), w1(p.textrgb[1]), w1(p.textrgb[2]); break;
    case R_TEXTSIZE: w8(p.textsize); break;
    case R_TEXTANGLE: w2(p.textangle); break;
    case R_TEXTHALIGN: w1(p.texthalign); break;
    case R_TEXTVALIGN: w1(p.textvalign); break;
    case R_XALPHA: w8(p.xalpha); break;
    case R_XBETA: w8(p.xbeta); break;
    case R_YALPHA: w8(p.yalpha); break;
    case R_YBETA: w8(p.ybeta); break;
    case R_LINEDASH:
      w2(p.ndash);
      for (int i = 0; i <= p.ndash; ++i) w4(p.dash[i]);
      break;
    case R_CONNECT: w1(p.connect); break;
    case R_CONNECTMISS: w1(p.connectmiss); break;
    case R_LINEWIDTH: w8(p.linewidth); break;
    case R_GBETA: w8(p.gbeta); break;
    case R_JITTER: w8(p.jitter); break;
    case R_JITTERSEED: w8(p.jitterseed); break;
    case R_XBOUNDS: w8(p.xbounds[0]), w8(p.xbounds[1]); break;
    case R_YBOUNDS: w8(p.ybounds[0]), w8(p.ybounds[1]); break;
    case R_XTRANS: w1(p.xtrans); break;
    case R_YTRANS: w1(p.ytrans); break;
    case R_FONT: wstr(p.font, static_cast<int>(std::strlen(p.font))); break;
    case R_COLORTYPE: w1(p.colortype); break;
    case R_USEPENS: w1(p.usepens); break;
    default: break;  // the change markers have no operand
  }
}

bool rgbeq(const unsigned char* a, const unsigned char* b) {
  return a[0] == b[0] && a[1] == b[1] && a[2] == b[2];
}

// True when register reg holds the same value in the pending and current
// blocks. A change marker is "equal" when its flag is already clear.
bool regeq(int reg) {
  const GdlRegs &p = gr.pend, &c = gr.cur;
  switch (reg) {
    case R_SYMBOL: return p.symbol == c.symbol;
    case R_SYMSIZE: return p.symsize == c.symsize;
    case R_PEN: return p.pen == c.pen;
    case R_LINERGB: return rgbeq(p.linergb, c.linergb);
    case R_PENCHANGE: return !c.linechg;
    case R_SHADERGB: return rgbeq(p.shadergb, c.shadergb);
    case R_SHADELEVEL: return p.shadelevel == c.shadelevel;
    case R_SHADEPATTERN: return p.shadepattern == c.shadepattern;
    case R_SHADECHANGE: return !c.shadechg;
    case R_TEXTRGB: return rgbeq(p.textrgb, c.textrgb);
    case R_TEXTSIZE: return p.textsize == c.textsize;
    case R_TEXTANGLE: return p.textangle == c.textangle;
    case R_TEXTHALIGN: return p.texthalign == c.texthalign;
    case R_TEXTVALIGN: return p.textvalign == c.textvalign;
    case R_TEXTCHANGE: return !c.textchg;
    case R_XALPHA: return p.xalpha == c.xalpha;
    case R_XBETA: return p.xbeta == c.xbeta;
    case R_YALPHA: return p.yalpha == c.yalpha;
    case R_YBETA: return p.ybeta == c.ybeta;
    case R_LINEDASH:
      if (p.ndash != c.ndash) return false;
      for (int i = 0; i <= p.ndash; ++i)
        if (p.dash[i] != c.dash[i]) return false;
      return true;
    case R_CONNECT: return p.connect == c.connect;
    case R_CONNECTMISS: return p.connectmiss == c.connectmiss;
    case R_LINEWIDTH: return p.linewidth == c.linewidth;
    case R_GBETA: return p.gbeta == c.gbeta;
    case R_JITTER: return p.jitter == c.jitter;
    case R_JITTERSEED: return p.jitterseed == c.jitterseed;
    case R_XBOUNDS: return p.xbounds[0] == c.xbounds[0] && p.xbounds[1] == c.xbounds[1];
    case R_YBOUNDS: return p.ybounds[0] == c.ybounds[0] && p.ybounds[1] == c.ybounds[1];
    case R_XTRANS: return p.xtrans == c.xtrans;
    case R_YTRANS: return p.ytrans == c.ytrans;
    case R_FONT: return !std::strcmp(p.font, c.font);
    case R_COLORTYPE: return p.colortype == c.colortype;
    case R_USEPENS: return p.usepens == c.usepens;
    default: return false;
  }
}

// Copies register reg from the pending to the current block and keeps the
// changed flags.
void commitreg(int reg) {
  GdlRegs &p = gr.pend, &c = gr.cur;
  switch (reg) {
    case R_SYMBOL: c.symbol = p.symbol; break;
    case R_SYMSIZE: c.symsize = p.symsize; break;
    case R_PEN: c.pen = p.pen, c.linechg = true; break;
    case R_LINERGB: std::memcpy(c.linergb, p.linergb, 3), c.linechg = true; break;
    case R_PENCHANGE: c.linechg = false; break;
    case R_SHADERGB: std::memcpy(c.shadergb, p.shadergb, 3), c.shadechg = true; break;
    case R_SHADELEVEL: c.shadelevel = p.shadelevel, c.shadechg = true; break;
    case R_SHADEPATTERN: c.shadepattern = p.shadepattern, c.shadechg = true; break;
    case R_SHADECHANGE: c.shadechg = false; break;
    case R_TEXTRGB: std::memcpy(c.textrgb, p.textrgb, 3), c.textchg = true; break;
    case R_TEXTSIZE: c.textsize = p.textsize, c.textchg = true; break;
    case R_TEXTANGLE: c.textangle = p.textangle, c.textchg = true; break;
    case R_TEXTHALIGN: c.texthalign = p.texthalign, c.textchg = true; break;
    case R_TEXTVALIGN: c.textvalign = p.textvalign, c.textchg = true; break;
    case R_TEXTCHANGE: c.textchg = false; break;
    case R_XALPHA: c.xalpha = p.xalpha; break;
    case R_XBETA: c.xbeta = p.xbeta; break;
    case R_YALPHA: c.yalpha = p.yalpha; break;
    case R_YBETA: c.ybeta = p.ybeta; break;
    case R_LINEDASH:
      c.ndash = p.ndash;
      std::memcpy(c.dash, p.dash, sizeof c.dash);
      c.linechg = true;
      break;
    case R_CONNECT: c.connect = p.connect; break;
    case R_CONNECTMISS: c.connectmiss = p.connectmiss; break;
    case R_LINEWIDTH: c.linewidth = p.linewidth, c.linechg = true; break;
    case R_GBETA: c.gbeta = p.gbeta; break;
    case R_JITTER: c.jitter = p.jitter; break;
    case R_JITTERSEED: c.jitterseed = p.jitterseed; break;
    case R_XBOUNDS: c.xbounds[0] = p.xbounds[0], c.xbounds[1] = p.xbounds[1]; break;
    case R_YBOUNDS: c.ybounds[0] = p.ybounds[0], c.ybounds[1] = p.ybounds[1]; break;
    case R_XTRANS: c.xtrans = p.xtrans; break;
    case R_YTRANS: c.ytrans = p.ytrans; break;
    case R_FONT: std::memcpy(c.font, p.font, sizeof c.font), c.textchg = true; break;
    case R_COLORTYPE: c.colortype = p.colortype; break;
    case R_USEPENS: c.usepens = p.usepens; break;
    default: break;
  }
}

}  // namespace

void gdl_resetregs(GdlRegs& r) {
  // The colour type and use-pens registers belong to the page set-up and
  // survive the reset of opcode 0, as do the recording flags.
  GdlRegs d;
  d.colortype = r.colortype;
  d.usepens = r.usepens;
  d.record = r.record;
  d.maybedraw = r.maybedraw;
  d.initflag = r.initflag;
  r = d;
}

// ---------------------------------------------------------------------------
// Execution and renderers.

int gdl_exec_opcode(int op) {
  gr.op.op = op;
  if (op == OP_PAGE) {
    GdlRegs& p = gr.pend;
    gdl_resetregs(gr.cur);
    gr.cur.xsize = p.xsize, gr.cur.ysize = p.ysize;
    gr.cur.width = p.width, gr.cur.height = p.height;
    gr.cur.bg[0] = p.bg[0], gr.cur.bg[1] = p.bg[1], gr.cur.bg[2] = p.bg[2];
  } else if (op == OP_REG) {
    commitreg(gr.op.reg);
  }
  if (!gr.cur.maybedraw) return 0;
  for (int i = 0; i < 3; ++i)
    if (gr.rfn[i] && gr.rfn[i](gr.rctx[i], op)) return 1;
  return 0;
}

int gdl_set_renderer(GdlRenderer fn, void* ctx) {
  for (int i = 0; i < 3; ++i)
    if (!gr.rfn[i]) {
      gr.rfn[i] = fn;
      gr.rctx[i] = ctx;
      return i;
    }
  return -1;
}

void gdl_unset_renderer(int index) {
  if (index < 0 || index > 2) return;
  gr.rfn[index] = nullptr;
  gr.rctx[index] = nullptr;
}

int gdl_init_renderers() {
  for (int i = 0; i < 3; ++i)
    if (gr.rfn[i] && gr.rfn[i](gr.rctx[i], GDL_RINIT)) return 1;
  return 0;
}

int gdl_end_renderers() {
  int rc = 0;
  for (int i = 0; i < 3; ++i)
    if (gr.rfn[i] && gr.rfn[i](gr.rctx[i], GDL_REND)) rc = 1;
  return rc;
}

// ---------------------------------------------------------------------------
// Recording calls.

int gdl_page(int xsize, int ysize, double width, double height, int r, int g, int b,
             int usepens, int mode, int colortype) {
  gdl_clear(*gr.gdl);
  ++gr.shown;
  const int fmt = mode == 0 ? 8 : 33;
  w1(OP_HEADER), w1(132), w1(fmt), w1(1);
  gr.pend.colortype = colortype;
  gr.pend.usepens = usepens;
  gr.op.fmt = fmt, gr.op.order = 1;
  if (int rc = gdl_exec_opcode(OP_HEADER)) return rc;
  for (int reg : {R_COLORTYPE, R_USEPENS}) {
    w1(OP_REG), w1(reg), wreg(reg);
    gr.op.reg = reg;
    if (int rc = gdl_exec_opcode(OP_REG)) return rc;
  }
  GdlRegs& p = gr.pend;
  p.xsize = xsize, p.ysize = ysize, p.width = width, p.height = height;
  p.bg[0] = r, p.bg[1] = g, p.bg[2] = b;
  w1(OP_PAGE), w2(xsize), w2(ysize), w8(width), w8(height), w1(r), w1(g), w1(b);
  return gdl_exec_opcode(OP_PAGE);
}

int gdl_op0(int op) {
  if (recording()) w1(op);
  return gdl_exec_opcode(op);
}

int gdl_op2(int op, int a, int b) {
  gr.op.s[0] = static_cast<int16_t>(a), gr.op.s[1] = static_cast<int16_t>(b);
  if (recording()) w1(op), w2(a), w2(b);
  return gdl_exec_opcode(op);
}

int gdl_op4(int op, int a, int b, int c, int d) {
  gr.op.s[0] = static_cast<int16_t>(a), gr.op.s[1] = static_cast<int16_t>(b);
  gr.op.s[2] = static_cast<int16_t>(c), gr.op.s[3] = static_cast<int16_t>(d);
  if (recording()) w1(op), w2(a), w2(b), w2(c), w2(d);
  return gdl_exec_opcode(op);
}

int gdl_spoint(int x, int y, int size) {
  gr.op.s[0] = static_cast<int16_t>(x), gr.op.s[1] = static_cast<int16_t>(y);
  gr.op.s[2] = static_cast<int16_t>(size);
  if (recording()) w1(OP_SPOINT), w2(x), w2(y), w2(size);
  return gdl_exec_opcode(OP_SPOINT);
}

int gdl_sleep(long ms) {
  gr.op.l[0] = static_cast<int32_t>(ms);
  if (recording()) w1(OP_SLEEP), w4(static_cast<int32_t>(ms));
  return gdl_exec_opcode(OP_SLEEP);
}

static void settext(const char* text) {
  size_t n = std::strlen(text);
  if (n >= GDL_STRMAX) n = GDL_STRMAX - 1;
  std::memcpy(gr.op.str, text, n);
  gr.op.str[n] = 0;
  gr.op.slen = static_cast<int>(n);
}

int gdl_text(int x, int y, const char* text) {
  gr.op.s[0] = static_cast<int16_t>(x), gr.op.s[1] = static_cast<int16_t>(y);
  settext(text);
  if (recording()) w1(OP_TEXT), w2(x), w2(y), wstr(gr.op.str, gr.op.slen);
  return gdl_exec_opcode(OP_TEXT);
}

int gdl_ctext(const char* text) {
  settext(text);
  if (recording()) w1(OP_CTEXT), wstr(gr.op.str, gr.op.slen);
  return gdl_exec_opcode(OP_CTEXT);
}

int gdl_pie(int x, int y, int radius, double a1, double a2) {
  gr.op.s[0] = static_cast<int16_t>(x), gr.op.s[1] = static_cast<int16_t>(y);
  gr.op.s[2] = static_cast<int16_t>(radius);
  gr.op.d[0] = a1, gr.op.d[1] = a2;
  if (recording()) w1(OP_PIE), w2(x), w2(y), w2(radius), w8(a1), w8(a2);
  return gdl_exec_opcode(OP_PIE);
}

int gdl_cloud(int a, int b, int c, const int32_t* l4) {
  gr.op.s[0] = static_cast<int16_t>(a), gr.op.s[1] = static_cast<int16_t>(b);
  gr.op.s[2] = static_cast<int16_t>(c);
  for (int i = 0; i < 4; ++i) gr.op.l[i] = l4[i];
  if (recording()) {
    w1(OP_CLOUD), w2(a), w2(b), w2(c);
    for (int i = 0; i < 4; ++i) w4(l4[i]);
  }
  return gdl_exec_opcode(OP_CLOUD);
}

int gdl_setreg(int reg) {
  if (!gr.cur.initflag && regeq(reg)) return 0;
  gr.op.reg = reg;
  if (recording()) w1(OP_REG), w1(reg), wreg(reg);
  return gdl_exec_opcode(OP_REG);
}

int gdl_stdregs() {
  GdlRegs& p = gr.pend;
  gr.cur.initflag = true;
  auto rgb = [](unsigned char* c, int v) { c[0] = c[1] = c[2] = static_cast<unsigned char>(v); };
  auto set = [](int reg) { return gdl_setreg(reg); };
  int rc = 0;
  p.xalpha = 0, rc = rc ? rc : set(R_XALPHA);
  p.xbeta = 1, rc = rc ? rc : set(R_XBETA);
  p.yalpha = 0, rc = rc ? rc : set(R_YALPHA);
  p.ybeta = 1, rc = rc ? rc : set(R_YBETA);
  p.gbeta = 1, rc = rc ? rc : set(R_GBETA);
  p.xtrans = 1, rc = rc ? rc : set(R_XTRANS);
  p.ytrans = 1, rc = rc ? rc : set(R_YTRANS);
  p.jitter = 0, rc = rc ? rc : set(R_JITTER);
  p.jitterseed = 0, rc = rc ? rc : set(R_JITTERSEED);
  p.xbounds[0] = 0, p.xbounds[1] = 1, rc = rc ? rc : set(R_XBOUNDS);
  p.ybounds[0] = 0, p.ybounds[1] = 1, rc = rc ? rc : set(R_YBOUNDS);
  p.symbol = 255, rc = rc ? rc : set(R_SYMBOL);
  p.symsize = static_cast<int16_t>(std::floor(gr.cur.xbeta * 166.66666666666666 + 0.5));
  rc = rc ? rc : set(R_SYMSIZE);
  p.pen = 1, rc = rc ? rc : set(R_PEN);
  rgb(p.linergb, 255), rc = rc ? rc : set(R_LINERGB);
  p.linewidth = gr.cur.gbeta * 1.0, rc = rc ? rc : set(R_LINEWIDTH);
  rc = rc ? rc : set(R_PENCHANGE);
  p.connect = 1, rc = rc ? rc : set(R_CONNECT);
  p.connectmiss = 0, rc = rc ? rc : set(R_CONNECTMISS);
  rgb(p.textrgb, 255), rc = rc ? rc : set(R_TEXTRGB);
  p.textsize = 12, rc = rc ? rc : set(R_TEXTSIZE);
  p.textangle = 0, rc = rc ? rc : set(R_TEXTANGLE);
  p.texthalign = 0, rc = rc ? rc : set(R_TEXTHALIGN);
  p.textvalign = 0, rc = rc ? rc : set(R_TEXTVALIGN);
  std::strcpy(p.font, "default"), rc = rc ? rc : set(R_FONT);
  rc = rc ? rc : set(R_TEXTCHANGE);
  rgb(p.shadergb, 255), rc = rc ? rc : set(R_SHADERGB);
  p.shadelevel = 100, rc = rc ? rc : set(R_SHADELEVEL);
  p.shadepattern = 99, rc = rc ? rc : set(R_SHADEPATTERN);
  rc = rc ? rc : set(R_SHADECHANGE);
  gr.cur.initflag = false;
  return rc;
}

// ---------------------------------------------------------------------------
// Replay.

namespace {

struct Reader {
  Gdl& g;
  bool ok = true;
  bool r1(int& v) {
    unsigned char b;
    if (!ok || !gdl_get(g, &b, 1)) return ok = false;
    v = b;
    return true;
  }
  bool r2(int16_t& v) {
    unsigned char b[2];
    if (!ok || !gdl_get(g, b, 2)) return ok = false;
    v = static_cast<int16_t>(bo_get2(b, g.hilo));
    return true;
  }
  bool r2i(int& v) {
    int16_t s = 0;
    if (!r2(s)) return false;
    v = s;
    return true;
  }
  bool r4(int32_t& v) {
    unsigned char b[4];
    if (!ok || !gdl_get(g, b, 4)) return ok = false;
    v = static_cast<int32_t>(bo_get4(b, g.hilo));
    return true;
  }
  bool r8(double& v) {
    unsigned char b[8];
    if (!ok || !gdl_get(g, b, 8)) return ok = false;
    v = bo_getdbl(b, g.hilo);
    return true;
  }
  bool rgb(unsigned char* c) {
    int a = 0, b = 0, d = 0;
    if (!r1(a) || !r1(b) || !r1(d)) return false;
    c[0] = static_cast<unsigned char>(a), c[1] = static_cast<unsigned char>(b);
    c[2] = static_cast<unsigned char>(d);
    return true;
  }
  // A string operand into dst (cap bytes with its NUL); the length word
  // counts the NUL. A negative or zero length is a format error (-1).
  int rstr(char* dst, int cap, int* outlen) {
    int16_t len = 0;
    if (!r2(len)) return RC_IO;
    if (len <= 0) return RC_GPH_NOTGPH;
    int keep = len < cap ? len : cap;
    if (!gdl_get(g, dst, keep)) return ok = false, 691;
    for (int i = keep; i < len; ++i) {
      char c;
      if (!gdl_get(g, &c, 1)) return ok = false, 691;
    }
    dst[keep - 1] = 0;
    *outlen = static_cast<int>(std::strlen(dst));
    return 0;
  }
};

// Reads the operand of register reg into the pending block: 0, 691 or 6000.
int readreg(Reader& r, int reg) {
  GdlRegs& p = gr.pend;
  int v = 0;
  switch (reg) {
    case R_SYMBOL: r.r1(p.symbol); break;
    case R_SYMSIZE: r.r2i(p.symsize); break;
    case R_PEN: r.r1(p.pen); break;
    case R_LINERGB: r.rgb(p.linergb); break;
    case R_SHADERGB: r.rgb(p.shadergb); break;
    case R_SHADELEVEL: r.r8(p.shadelevel); break;
    case R_SHADEPATTERN: r.r1(p.shadepattern); break;
    case R_TEXTRGB: r.rgb(p.textrgb); break;
    case R_TEXTSIZE: r.r8(p.textsize); break;
    case R_TEXTANGLE: r.r2i(p.textangle); break;
    case R_TEXTHALIGN: r.r1(p.texthalign); break;
    case R_TEXTVALIGN: r.r1(p.textvalign); break;
    case R_XALPHA: r.r8(p.xalpha); break;
    case R_XBETA: r.r8(p.xbeta); break;
    case R_YALPHA: r.r8(p.yalpha); break;
    case R_YBETA: r.r8(p.ybeta); break;
    case R_LINEDASH:
      if (!r.r2i(v)) break;
      if (v < 0 || v > GDL_MAXDASH) return RC_GPH_NOTGPH;
      p.ndash = v;
      for (int i = 0; i <= v; ++i) r.r4(p.dash[i]);
      break;
    case R_CONNECT: r.r1(p.connect); break;
    case R_CONNECTMISS: r.r1(p.connectmiss); break;
    case R_LINEWIDTH: r.r8(p.linewidth); break;
    case R_GBETA: r.r8(p.gbeta); break;
    case R_JITTER: r.r8(p.jitter); break;
    case R_JITTERSEED: r.r8(p.jitterseed); break;
    case R_XBOUNDS: r.r8(p.xbounds[0]), r.r8(p.xbounds[1]); break;
    case R_YBOUNDS: r.r8(p.ybounds[0]), r.r8(p.ybounds[1]); break;
    case R_XTRANS: r.r1(p.xtrans); break;
    case R_YTRANS: r.r1(p.ytrans); break;
    case R_FONT: {
      int n = 0;
      if (int rc = r.rstr(p.font, GDL_FONTLEN, &n)) return rc;
      break;
    }
    case R_COLORTYPE: r.r1(p.colortype); break;
    case R_USEPENS: r.r1(p.usepens); break;
    case R_PENCHANGE: case R_SHADECHANGE: case R_TEXTCHANGE: break;
    default: return RC_GPH_NOTGPH;
  }
  return r.ok ? 0 : 691;
}

// Checks a header's second and format bytes as the display-list reader does.
int hdrcheck(int b132, int fmt) {
  if (b132 != 132) return RC_GPH_NOTGPH;
  if (fmt == 33 || fmt == 8) return 0;
  if (fmt >= 1 && fmt <= 32) return RC_GPH_OLD;
  if (fmt >= 34 && fmt <= 64) return RC_GPH_UPDATED;
  if (fmt >= 65) return RC_GPH_NEWER;
  return RC_GPH_NOTGPH;
}

// Reads the operands of op into the pending block: 0, 691 or 6000.
int readop(Reader& r, int op) {
  GdlOp& o = gr.op;
  GdlRegs& p = gr.pend;
  switch (op) {
    case OP_PAGE: {
      int16_t xs = 0, ys = 0;
      unsigned char c[3] = {};
      r.r2(xs), r.r2(ys), r.r8(p.width), r.r8(p.height), r.rgb(c);
      p.xsize = xs, p.ysize = ys;
      p.bg[0] = c[0], p.bg[1] = c[1], p.bg[2] = c[2];
      break;
    }
    case OP_CLOSE: case OP_UPDATE: case OP_CPOINT: case OP_POLYBEGIN: case OP_POLYEND:
    case OP_PATHBEGIN: case OP_PATHEND:
      break;
    case OP_LINETO: case OP_MOVETO: case OP_POINT: case OP_RLINETO: case OP_RMOVETO:
      r.r2(o.s[0]), r.r2(o.s[1]);
      break;
    case OP_LINE: case OP_RECT:
      for (int i = 0; i < 4; ++i) r.r2(o.s[i]);
      break;
    case OP_SLEEP: r.r4(o.l[0]); break;
    case OP_CTEXT: return r.rstr(o.str, GDL_STRMAX, &o.slen);
    case OP_SPOINT: case OP_X147: case OP_X149:
      for (int i = 0; i < 3; ++i) r.r2(o.s[i]);
      break;
    case OP_HEADER: {
      int b = 0, f = 0, ord = 0;
      if (!r.r1(b) || !r.r1(f) || !r.r1(ord)) return RC_IO;
      if (int rc = hdrcheck(b, f)) return rc;
      o.fmt = f, o.order = ord;
      r.g.hilo = ord == 1;
      break;
    }
    case OP_CLOUD:
      for (int i = 0; i < 3; ++i) r.r2(o.s[i]);
      for (int i = 0; i < 4; ++i) r.r4(o.l[i]);
      break;
    case OP_REG: {
      int reg = 0;
      if (!r.r1(reg)) return RC_IO;
      o.reg = reg;
      return readreg(r, reg);
    }
    case OP_TEXT:
      r.r2(o.s[0]), r.r2(o.s[1]);
      if (!r.ok) return RC_IO;
      return r.rstr(o.str, GDL_STRMAX, &o.slen);
    case OP_PIE:
      for (int i = 0; i < 3; ++i) r.r2(o.s[i]);
      r.r8(o.d[0]), r.r8(o.d[1]);
      break;
    case OP_X152:
      for (int i = 0; i < 4; ++i) r.r2(o.s[i]);
      if (!r.ok) return RC_IO;
      return r.rstr(o.str, GDL_STRMAX, &o.slen);
    case OP_X153:
      for (int i = 0; i < 4; ++i) r.r2(o.s[i]);
      r.r4(o.l[0]);
      break;
    case OP_X154:
      for (int i = 0; i < 4; ++i) r.r2(o.s[i]);
      r.r8(o.d[0]);
      break;
    default: return RC_GPH_NOTGPH;
  }
  return r.ok ? 0 : 691;
}

}  // namespace

int gdl_replay(Gdl& g, GdlRenderer fn, void* ctx) {
  if (int rc = gdl_rewind(g)) return rc;
  int slot = fn ? gdl_set_renderer(fn, ctx) : -1;
  if (fn && slot < 0) return errmsgf(RC_TOOLARGE, "too many graph renderers\n");
  const bool rec = gr.cur.record, draw = gr.cur.maybedraw;
  int rc = gdl_init_renderers();
  gr.cur = GdlRegs();
  gr.pend = GdlRegs();
  gr.cur.record = false;
  Reader r{g};
  long nrec = 0;
  while (!rc) {
    int op = 0;
    if (!r.r1(op)) break;  // end of the stream
    if ((++nrec & 0xffff) == 0 && stopflag) {
      rc = 1;
      break;
    }
    rc = readop(r, op);
    if (rc) break;
    if (gdl_exec_opcode(op)) break;  // a renderer asked to stop
  }
  if (gdl_end_renderers() && !rc) rc = 693;
  if (slot >= 0) gdl_unset_renderer(slot);
  gr.cur.record = rec;
  gr.cur.maybedraw = draw;
  towrite(g);
  return rc;
}

int gdl_errmsg(int code, const char* fname) {
  auto name = [&](const char* def) { return std::string(fname && *fname ? fname : def); };
  int prev = setoutlev(OUT_ERROR);
  int rc = 610;
  std::string t;
  switch (code) {
    case 6000: t = name("graph") + " not Zelta gph format\n"; break;
    case 6001:
      t = "{p}" + name("file") +
          " old gph format; type {cmd:graph using {it:oldfile}, saving({it:newfile})} "
          "to convert to modern format{p_end}\n";
      break;
    case 6002:
      t = "{p}" + name("gph file") +
          " is from an updated version of Zelta 9; type {zelta update all} to obtain the latest "
          "updates{p_end}\n";
      break;
    case 6003: t = "{p}" + name("gph file") + " is from a newer release of Zelta{p_end}\n"; break;
    case 6004:
      t = "{p}" + name("gph file") + " is an as-is file; use -graph use- to open it{p_end}\n";
      break;
    case 6005:
      t = "{p}" + name("gph file") +
          " is not an as-is file; use -graph7 using- to open it{p_end}\n";
      break;
    default: t = "error reading gph file\n", rc = 692; break;
  }
  if (code == 6000) spout21(t.c_str());
  else spoutsml(t.c_str());
  setoutlev(prev);
  return rc;
}

Gdl* gr_graph(const std::string& name, bool create) {
  auto it = gr.graphs.find(name);
  if (it != gr.graphs.end()) return it->second.get();
  if (!create) return nullptr;
  auto g = std::make_unique<Gdl>();
  Gdl* p = g.get();
  gr.graphs[name] = std::move(g);
  return p;
}

void gr_reset() {
  gr.graphs.clear();
  gr.curname.clear();
  gr.gdl = nullptr;
  gr.cur = GdlRegs();
  gr.pend = GdlRegs();
  for (int i = 0; i < 3; ++i) gdl_unset_renderer(i);
  gr.polyopen = false;
}

void graphics_reset() {
  gr_reset();
  gr.mode = GraphicsState{}.mode;
  gr.lastfile.clear();
  gr.clip = GdiClip{};
  serset_clearall();
  gsch_reset();
}
