// Pictures made from display lists, checked by what can be measured: the
// PNG's size and the colour of its pixels where points were drawn and where
// nothing was, the SVG's elements, the PDF's frame, identical bytes after a
// graph-file round trip, and the renderer slots and series-set access rules.
#include <cairo.h>
#include <gtest/gtest.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "data/store.h"
#include "files/atomicfile.h"
#include "graphics/graphics.h"
#include "graphics/gstyle.h"
#include "interp/cmd/resetall.h"
#include "interp/cmdtab.h"
#include "interp/interp.h"
#include "output/output.h"

namespace {

std::string sink;

class Render : public ::testing::Test {
 protected:
  std::string dir;
  void SetUp() override {
    static bool once = false;
    if (!once) {
      once = true;
      out_open_console(false, 80);
      out_console_enable(false);
      cmdinit_table();
    }
    out_set_capture(&sink);
    char tmpl[] = "/tmp/zelta_render_XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir = tmpl;
    reset_all();
  }
  void TearDown() override {
    reset_all();
    out_set_capture(nullptr);
    std::string cmd = "rm -rf '" + dir + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
  }
  int run(const std::string& line) { return execline(line); }
  std::string path(const char* name) const { return dir + "/" + name; }
  // Draws red circles at data points (1,1) (5,5) (9,2) on a 6 by 4 page where
  // x runs 0..10 across 2000..30000 and y 0..10 across 2000..20000.
  void drawpoints() {
    ASSERT_EQ(run("gdi init 6 4 255 255 255"), 0);
    ASSERT_EQ(run("gdi linergb = 255 0 0"), 0);
    ASSERT_EQ(run("gdi symbol = circle"), 0);
    ASSERT_EQ(run("gdi gm_symbolsize = 400"), 0);
    ASSERT_EQ(run("gdi xalpha = 2000"), 0);
    ASSERT_EQ(run("gdi xbeta = 2800"), 0);
    ASSERT_EQ(run("gdi yalpha = 2000"), 0);
    ASSERT_EQ(run("gdi ybeta = 1800"), 0);
    ASSERT_EQ(run("gdi point 1 1"), 0);
    ASSERT_EQ(run("gdi point 5 5"), 0);
    ASSERT_EQ(run("gdi point 9 2"), 0);
    ASSERT_EQ(run("gdi textrgb = 0 0 0"), 0);
    ASSERT_EQ(run("gdi text 1 9 Hello"), 0);
    ASSERT_EQ(run("gdi end"), 0);
  }
};

std::string slurp(const std::string& fn) {
  std::ifstream f(fn, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

struct Png {
  cairo_surface_t* s = nullptr;
  explicit Png(const std::string& fn) { s = cairo_image_surface_create_from_png(fn.c_str()); }
  ~Png() { cairo_surface_destroy(s); }
  bool ok() const { return cairo_surface_status(s) == CAIRO_STATUS_SUCCESS; }
  int w() const { return cairo_image_surface_get_width(s); }
  int h() const { return cairo_image_surface_get_height(s); }
  // r, g, b of pixel (x, y) (ARGB32, opaque here).
  void rgb(int x, int y, int* r, int* g, int* b) const {
    const unsigned char* d = cairo_image_surface_get_data(s);
    uint32_t px = *reinterpret_cast<const uint32_t*>(d + y * cairo_image_surface_get_stride(s) + 4 * x);
    *r = (px >> 16) & 255, *g = (px >> 8) & 255, *b = px & 255;
  }
  bool red(int x, int y) const {
    int r, g, b;
    rgb(x, y, &r, &g, &b);
    return r > 200 && g < 60 && b < 60;
  }
  bool white(int x, int y) const {
    int r, g, b;
    rgb(x, y, &r, &g, &b);
    return r == 255 && g == 255 && b == 255;
  }
};

// Pixel of device position (x, y) on a picture w by h of a 32000 by 21333 page.
int pxx(double x, int w) { return static_cast<int>(std::lround(x * w / 32000.0)); }
int pxy(double y, int h) { return static_cast<int>(std::lround(h - y * h / 21333.0)); }

TEST_F(Render, PngSizeAndPointsWhereTheyWereDrawn) {
  drawpoints();
  ExportOpts o;
  ASSERT_EQ(gr_export(*gr.gdl, path("p.png"), o), 0);
  Png p(path("p.png"));
  ASSERT_TRUE(p.ok());
  EXPECT_EQ(p.w(), 600);
  EXPECT_EQ(p.h(), 400);
  const double pts[3][2] = {{1, 1}, {5, 5}, {9, 2}};
  for (auto& q : pts) {
    int x = pxx(2000 + 2800 * q[0], 600), y = pxy(2000 + 1800 * q[1], 400);
    EXPECT_TRUE(p.red(x, y)) << "point " << q[0] << "," << q[1];
  }
  // Red pixels only near the three points; the corners stay background.
  long red = 0, stray = 0;
  for (int y = 0; y < p.h(); ++y)
    for (int x = 0; x < p.w(); ++x) {
      if (!p.red(x, y)) continue;
      ++red;
      bool near = false;
      for (auto& q : pts) {
        int cx = pxx(2000 + 2800 * q[0], 600), cy = pxy(2000 + 1800 * q[1], 400);
        if (std::abs(x - cx) <= 8 && std::abs(y - cy) <= 8) near = true;
      }
      stray += !near;
    }
  EXPECT_GT(red, 3 * 20);
  EXPECT_EQ(stray, 0);
  EXPECT_TRUE(p.white(0, 0));
  EXPECT_TRUE(p.white(599, 399));
  // Text: dark pixels just right of and below its anchor (top-left aligned).
  int tx = pxx(2000 + 2800, 600), ty = pxy(2000 + 1800 * 9, 400);
  long dark = 0;
  for (int y = ty; y < ty + 14; ++y)
    for (int x = tx; x < tx + 40; ++x) {
      int r, g, b;
      p.rgb(x, y, &r, &g, &b);
      dark += r < 100 && g < 100 && b < 100;
    }
  EXPECT_GT(dark, 20);
}

TEST_F(Render, PngWidthOptionKeepsTheAspect) {
  drawpoints();
  ExportOpts o;
  o.width = 300;
  ASSERT_EQ(gr_export(*gr.gdl, path("s.png"), o), 0);
  Png p(path("s.png"));
  ASSERT_TRUE(p.ok());
  EXPECT_EQ(p.w(), 300);
  EXPECT_EQ(p.h(), 200);
  EXPECT_TRUE(p.red(pxx(2000 + 2800 * 5, 300), pxy(2000 + 1800 * 5, 200)));
}

// The content stream of a PDF as written: the bytes of object 1's stream, as
// many as object 2 says; "" when the frame around them is not as expected.
std::string pdfstream(const std::string& pdf) {
  const std::string obj1 = "1 0 obj\n<< /Length 2 0 R /Filter /FlateDecode >>\nstream\n";
  size_t st = pdf.find(obj1), lo = pdf.rfind("\n2 0 obj\n");
  if (st == std::string::npos || lo == std::string::npos) return "";
  st += obj1.size();
  const long len = std::atol(pdf.c_str() + lo + 9);
  if (len <= 0 || st + static_cast<size_t>(len) > lo) return "";
  if (pdf.compare(st + static_cast<size_t>(len), 18, "\nendstream\nendobj\n")) return "";
  return pdf.substr(st, static_cast<size_t>(len));
}

// The drawing operators of a PDF: its content stream inflated ("" when the
// stream is missing or does not inflate to its end).
std::string pdfcontent(const std::string& pdf) {
  const std::string z = pdfstream(pdf);
  if (z.empty()) return "";
  std::string outs(z.size() * 20 + 4096, '\0');
  uLongf n = outs.size();
  while (true) {
    n = outs.size();
    int rc = uncompress(reinterpret_cast<Bytef*>(outs.data()), &n,
                        reinterpret_cast<const Bytef*>(z.data()), z.size());
    if (rc == Z_OK) break;
    if (rc != Z_BUF_ERROR || outs.size() > (1u << 28)) return "";
    outs.resize(outs.size() * 4);
  }
  outs.resize(n);
  return outs;
}

// Offsets of a PDF's cross-reference table: each must point at "N 0 obj".
bool xrefvalid(const std::string& pdf) {
  size_t sx = pdf.rfind("startxref\n");
  if (sx == std::string::npos) return false;
  long xref = std::atol(pdf.c_str() + sx + 10);
  if (xref <= 0 || static_cast<size_t>(xref) >= pdf.size() || pdf.compare(static_cast<size_t>(xref), 5, "xref\n"))
    return false;
  size_t p = static_cast<size_t>(xref) + 5;
  int first = 0, count = 0;
  if (std::sscanf(pdf.c_str() + p, "%d %d", &first, &count) != 2 || count < 2) return false;
  p = pdf.find('\n', p) + 1 + 20;  // past the free entry
  for (int k = 1; k < count; ++k, p += 20) {
    long off = std::atol(pdf.c_str() + p);
    std::string want = std::to_string(k) + " 0 obj";
    if (off <= 0 || pdf.compare(static_cast<size_t>(off), want.size(), want)) return false;
  }
  // the content stream's length object agrees with the stream
  return !pdfstream(pdf).empty();
}

size_t count(const std::string& s, const std::string& what) {
  size_t n = 0;
  for (size_t at = s.find(what); at != std::string::npos; at = s.find(what, at + 1)) ++n;
  return n;
}

TEST_F(Render, SvgAndPdfFrames) {
  drawpoints();
  ExportOpts o;
  ASSERT_EQ(gr_export(*gr.gdl, path("p.svg"), o), 0);
  ASSERT_EQ(gr_export(*gr.gdl, path("p.pdf"), o), 0);
  std::string svg = slurp(path("p.svg"));
  EXPECT_EQ(svg.rfind("<?xml", 0), 0u);
  EXPECT_NE(svg.find("width=\"432pt\" height=\"288pt\" viewBox=\"0 0 432 288\""), std::string::npos);
  EXPECT_NE(svg.find("stroke=\"#ff0000\""), std::string::npos);  // the red markers
  EXPECT_EQ(count(svg, "h0"), 3u);                                // one dot per point
  // the first point: device (4800, 3800) on a 432 x 288 page of 32000 x 21333 units
  EXPECT_NE(svg.find("M64.8 236.7h0"), std::string::npos);
  // text stays text
  EXPECT_NE(svg.find(">Hello</text>"), std::string::npos);
  EXPECT_EQ(svg.substr(svg.size() - 7), "</svg>\n");
  std::string pdf = slurp(path("p.pdf"));
  EXPECT_EQ(pdf.rfind("%PDF-", 0), 0u);
  const std::string ops = pdfcontent(pdf);
  EXPECT_NE(ops.find("(Hello) Tj"), std::string::npos);
  EXPECT_EQ(count(ops, " l "), 3u);  // one zero-length stroke per point
  EXPECT_NE(ops.find("64.8 51.3 m 64.8 51.3 l "), std::string::npos);
  EXPECT_EQ(pdf.find("Hello"), std::string::npos);  // the stream is deflated
  EXPECT_NE(pdf.find("%%EOF"), std::string::npos);
  EXPECT_TRUE(xrefvalid(pdf));
}

// A point cloud is one opcode that each renderer spreads into points: the
// SVG holds count dots inside the spread box, and the PNG is red under every
// one of them, so the two renderers draw the same cloud.
TEST_F(Render, PointCloudIsTheSameInEveryRenderer) {
  ASSERT_EQ(run("gdi init 6 4 255 255 255"), 0);
  ASSERT_EQ(run("gdi linergb = 255 0 0"), 0);
  ASSERT_EQ(run("gdi symbol = circle"), 0);
  // 40 points of size 100 from seed 7 within 8000 by 4000 around (16000, 10000)
  ASSERT_EQ(run("gdi pointcloud 16000 10000 100 40 7 8000 4000"), 0);
  ASSERT_EQ(run("gdi end"), 0);
  ExportOpts o;
  ASSERT_EQ(gr_export(*gr.gdl, path("c.svg"), o), 0);
  ASSERT_EQ(gr_export(*gr.gdl, path("c.png"), o), 0);
  const std::string svg = slurp(path("c.svg"));
  Png p(path("c.png"));
  ASSERT_TRUE(p.ok());
  int n = 0;
  std::vector<std::pair<double, double>> seen;
  for (size_t at = svg.find('M'); at != std::string::npos; at = svg.find('M', at + 1)) {
    double x = 0, y = 0;
    char h[3] = {};
    if (std::sscanf(svg.c_str() + at, "M%lf %lf%2c", &x, &y, h) != 3 || std::string(h) != "h0") continue;
    ++n;
    seen.emplace_back(x, y);
    // the box: device x 12000..20000, y 8000..12000 on a page of 0.0135 points a unit
    EXPECT_GE(x, 162.0);
    EXPECT_LE(x, 270.0);
    EXPECT_GE(y, 288 - 12000 * 0.0135);
    EXPECT_LE(y, 288 - 8000 * 0.0135);
    const int px = static_cast<int>(std::lround(x * 600 / 432)), py = static_cast<int>(std::lround(y * 400 / 288));
    EXPECT_TRUE(p.red(px, py)) << "cloud point " << x << "," << y;
  }
  EXPECT_EQ(n, 40);
  // spread, not piled up: the points are not all in one place
  std::sort(seen.begin(), seen.end());
  EXPECT_GT(std::unique(seen.begin(), seen.end()) - seen.begin(), 30);
}

TEST_F(Render, TextAndFontNamesAreEscaped) {
  ASSERT_EQ(run("gdi init 6 4 255 255 255"), 0);
  ASSERT_EQ(run("gdi textrgb = 0 0 0"), 0);
  ASSERT_EQ(run("gdi text 100 900 a<b & \"c\" (d) \\e caf\xc3\xa9 \xe2\x82\xac"), 0);
  ASSERT_EQ(run("gdi textfont = it's<bold>&\\x"), 0);
  ASSERT_EQ(run("gdi text 100 500 x"), 0);
  ASSERT_EQ(run("gdi end"), 0);
  ExportOpts o;
  ASSERT_EQ(gr_export(*gr.gdl, path("e.svg"), o), 0);
  ASSERT_EQ(gr_export(*gr.gdl, path("e.pdf"), o), 0);
  std::string svg = slurp(path("e.svg"));
  EXPECT_NE(svg.find(">a&lt;b &amp; &quot;c&quot; (d) \\e caf\xc3\xa9 \xe2\x82\xac</text>"), std::string::npos);
  EXPECT_NE(svg.find("font-family=\"&apos;it\\&apos;s&lt;bold&gt;&amp;\\\\x&apos;, sans-serif\""),
            std::string::npos);
  std::string pdf = slurp(path("e.pdf"));
  // WinAnsi: e-acute is byte 351 octal, the euro sign byte 200 octal
  EXPECT_NE(pdfcontent(pdf).find("(a<b & \"c\" \\(d\\) \\\\e caf\\351 \\200) Tj"), std::string::npos);
  EXPECT_TRUE(xrefvalid(pdf));
}

TEST(RenderEscapes, XmlDropsControlsAndMendsBadUtf8) {
  EXPECT_EQ(gs_xmlescape("a\x01" "b\tc"), "ab\tc");
  EXPECT_EQ(gs_xmlescape("\xe9t\xe9"), "\xc3\xa9t\xc3\xa9");  // Latin-1 bytes become UTF-8
  EXPECT_EQ(gs_xmlescape("\xc3\xa9"), "\xc3\xa9");
  // a surrogate is not UTF-8: three Latin-1 bytes, the last a control dropped
  EXPECT_EQ(gs_xmlescape("\xed\xa0\x80"), "\xc3\xad\xc2\xa0");
  EXPECT_EQ(gs_pdfescape("\n(\x7f)"), "\\012\\(\\177\\)");
}

TEST_F(Render, GraphFileRoundTripGivesTheSameBytes) {
  drawpoints();
  ExportOpts o;
  ASSERT_EQ(gr_export(*gr.gdl, path("a.png"), o), 0);
  ASSERT_EQ(run("_gph save \"" + path("g.gph") + "\""), 0);
  gr_reset();
  ASSERT_EQ(run("_gph use \"" + path("g.gph") + "\""), 0);
  ASSERT_EQ(run("_gph export \"" + path("b.png") + "\""), 0);
  ASSERT_EQ(run("_gph export \"" + path("b.svg") + "\""), 0);
  std::string a = slurp(path("a.png")), b = slurp(path("b.png"));
  EXPECT_GT(a.size(), 100u);
  EXPECT_EQ(a, b);
  EXPECT_EQ(run("_gph export \"" + path("b.png") + "\""), 602);  // no replace
}

TEST_F(Render, FailedExportKeepsThePreviousFile) {
  drawpoints();
  ExportOpts o;
  ASSERT_EQ(gr_export(*gr.gdl, path("k.png"), o), 0);
  std::string before = slurp(path("k.png"));
  ASSERT_EQ(run("gdi init 6 4 0 0 0"), 0);
  ASSERT_EQ(run("gdi end"), 0);
  afs.failat = 2;
  afs.nops = 0;
  EXPECT_NE(gr_export(*gr.gdl, path("k.png"), o), 0);
  afs.failat = 0;
  EXPECT_EQ(slurp(path("k.png")), before);
  EXPECT_EQ(std::system(("test $(ls -A '" + dir + "' | wc -l) -eq 1").c_str()), 0);
}

TEST_F(Render, PageSizesAndRendererSlots) {
  ASSERT_EQ(run("gdi init 8 6 0 0 0"), 0);
  EXPECT_EQ(gr.cur.xsize, 32000);
  EXPECT_EQ(gr.cur.ysize, 24000);
  ASSERT_EQ(run("gdi init 6 8 0 0 0"), 0);
  EXPECT_EQ(gr.cur.xsize, 24000);
  EXPECT_EQ(gr.cur.ysize, 32000);
  auto fn = [](void*, int) { return 0; };
  EXPECT_EQ(gdl_set_renderer(fn, nullptr), 0);
  EXPECT_EQ(gdl_set_renderer(fn, nullptr), 1);
  EXPECT_EQ(gdl_set_renderer(fn, nullptr), 2);
  EXPECT_EQ(gdl_set_renderer(fn, nullptr), -1);
  gdl_unset_renderer(7);
  EXPECT_EQ(gdl_set_renderer(fn, nullptr), -1);
  gdl_unset_renderer(1);
  EXPECT_EQ(gdl_set_renderer(fn, nullptr), 1);
  // A renderer that asks to stop ends execution with 1.
  for (int i = 0; i < 3; ++i) gdl_unset_renderer(i);
  int calls = 0;
  static int* pcalls = nullptr;
  pcalls = &calls;
  ASSERT_EQ(gdl_set_renderer([](void*, int) { return ++*pcalls > 1 ? 1 : 0; }, nullptr), 0);
  EXPECT_EQ(run("gdi point 1 1"), 0);
  EXPECT_EQ(gdl_exec_opcode(OP_UPDATE), 1);
  gdl_unset_renderer(0);
}

TEST_F(Render, SersetAccessOutsideTheSetIsMissing) {
  ds_reset();
  ASSERT_EQ(run("set obs 3"), 0);
  ASSERT_EQ(run("gen x = _n"), 0);
  ASSERT_EQ(run("gen str2 s = \"a\""), 0);
  ASSERT_EQ(run("serset create x s"), 0);
  EXPECT_EQ(serset_no(), 3);
  EXPECT_EQ(serset_data(0, 2), 3.0);
  EXPECT_GE(serset_data(0, 3), misval);   // observation N
  EXPECT_GE(serset_data(0, -1), misval);
  EXPECT_GE(serset_data(2, 0), misval);   // no third variable
  std::string s;
  serset_sdata(1, 0, s);
  EXPECT_EQ(s, "a");
  serset_sdata(1, 3, s);
  EXPECT_EQ(s, "");
  EXPECT_EQ(serset_set(5), 1);
  serset_clearall();
  EXPECT_EQ(serset_no(), -1);
  ds_reset();
}

}  // namespace
