// Graphics throughput: a scatter of N points (default one million) from the
// dataset to a picture: the series set, the recorded display list, and the
// export to PNG, SVG and PDF. The recording is compared with a plain C++ loop
// writing the same point records, the PNG with plain cairo drawing the same
// dots straight from arrays, SVG and PDF with a plain loop writing the same
// bytes to a file (and syncing it, as the export does), and the set with numpy copying the two columns.
// Then the whole path a user takes (`scatter y x` with its layout, then `graph
// export`) in processor seconds against the targets: PNG under 2 s, SVG and
// PDF under 5 s for a million points (ratio below 1 meets the target).
// Usage: bench_graphics [observations]
#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "data/value.h"
#include "graphics/graphics.h"
#include "interp/cmdtab.h"
#include "interp/interp.h"
#include "output/output.h"
#include "bench_util.h"

namespace {

using bench::cpu;
using bench::wall;

long fsize(const std::string& fn) {
  struct stat st;
  return stat(fn.c_str(), &st) ? -1 : static_cast<long>(st.st_size);
}

volatile unsigned char sink;

int run(const std::string& line) {
  int rc = execline(line);
  if (rc) std::fprintf(stderr, "failed (%d): %s\n", rc, line.c_str());
  return rc;
}

}  // namespace

int main(int argc, char** argv) {
  long nobs = argc > 1 ? std::atol(argv[1]) : 1000000L;
  std::string quiet;
  out_open_console(false, 80);
  out_console_enable(false);
  out_set_capture(&quiet);
  cmdinit_table();
  // the system folder (ado-files, schemes) sits in the build folder above this program
  {
    char exe[4096];
    const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    std::string d = n > 0 ? std::string(exe, static_cast<size_t>(n)) : std::string("./x");
    interp.sysdir = d.substr(0, d.rfind('/') + 1) + "../";
    if (const char* env = std::getenv("ZELTA_SYSDIR")) interp.sysdir = std::string(env) + "/";
  }
  char tmpl[] = "/tmp/zelta_bench_gr_XXXXXX";
  if (!mkdtemp(tmpl)) return 1;
  const std::string dir = tmpl;
  if (run("set memory " + std::to_string(nobs / 20000 + 20) + "m") || run("set obs " + std::to_string(nobs)) || run("gen x = uniform() * 10") ||
      run("gen y = x + 3 * invnormal(uniform())"))
    return 1;

  double t0 = wall();
  if (run("serset create y x")) return 1;
  const double tset = wall() - t0;

  t0 = wall();
  if (run("gdi init 6 4 255 255 255") || run("gdi linergb = 26 71 111") ||
      run("gdi symbol = circle") || run("gdi xalpha = 2000") || run("gdi xbeta = 2800") ||
      run("gdi yalpha = 10666") || run("gdi ybeta = 800") || run("gdi scatter 0 2 1") ||
      run("gdi end"))
    return 1;
  const double trec = wall() - t0;
  // Plain loop: the same point records (opcode and two 16-bit coordinates).
  std::vector<double> xs(static_cast<size_t>(nobs)), ys(static_cast<size_t>(nobs));
  for (long i = 0; i < nobs; ++i) xs[i] = serset_data(1, i), ys[i] = serset_data(0, i);
  t0 = wall();
  std::vector<unsigned char> recs(static_cast<size_t>(nobs) * 5);
  for (long i = 0; i < nobs; ++i) {
    int dx = static_cast<int>(std::floor(2800 * xs[i] + 2000 + 0.5));
    int dy = static_cast<int>(std::floor(800 * ys[i] + 10666 + 0.5));
    unsigned char* p = &recs[static_cast<size_t>(i) * 5];
    p[0] = 52, p[1] = static_cast<unsigned char>(dx >> 8), p[2] = static_cast<unsigned char>(dx);
    p[3] = static_cast<unsigned char>(dy >> 8), p[4] = static_cast<unsigned char>(dy);
  }
  const double trecc = wall() - t0;
  sink = recs[recs.size() / 2];

  std::printf("scatter of %ld points (noisy: 2 shared cores)\n", nobs);
  std::printf("%-32s %8.3f s\n", "serset create y x", tset);
  std::printf("%-32s %8.3f s   plain loop %8.3f s   ratio %.2f\n", "gdi scatter (record)", trec,
              trecc, trec / trecc);
  double tpng = 0;
  for (const char* ext : {"png", "svg", "pdf"}) {
    std::string fn = dir + "/scatter." + ext;
    t0 = wall();
    double c0 = cpu();
    if (run("_gph export " + fn + ", replace")) return 1;
    double t = wall() - t0, tc = cpu() - c0;
    if (ext[0] == 'p' && ext[1] == 'n') tpng = tc;
    std::printf("%-32s %8.3f s   cpu %8.3f s   %10ld bytes\n", (std::string("export ") + ext).c_str(),
                t, tc, fsize(fn));
    if (ext[0] != 'p' || ext[1] != 'n') {
      // plain loop: the same bytes written to a file in 256 KB blocks
      std::string bytes;
      if (std::FILE* f = std::fopen(fn.c_str(), "rb")) {
        char blk[1 << 16];
        size_t k;
        while ((k = std::fread(blk, 1, sizeof blk, f)) > 0) bytes.append(blk, k);
        std::fclose(f);
      }
      std::string fn2 = dir + "/plain." + ext;
      double p0 = wall(), pc0 = cpu();
      if (std::FILE* f = std::fopen(fn2.c_str(), "wb")) {
        for (size_t at = 0; at < bytes.size(); at += 1 << 18)
          std::fwrite(bytes.data() + at, 1, std::min<size_t>(1 << 18, bytes.size() - at), f);
        std::fflush(f);
        fsync(fileno(f));
        std::fclose(f);
      }
      double tp = wall() - p0, tpc = cpu() - pc0;
      std::printf("%-32s %8.3f s   cpu %8.3f s   ratio export/plain wall %.2f cpu %.2f\n",
                  (std::string("plain write of the ") + ext).c_str(), tp, tpc, t / tp, tc / std::max(tpc, 1e-3));
      std::remove(fn2.c_str());
    }
    std::remove(fn.c_str());
  }
  // Plain cairo: the same dots drawn from arrays onto a 600 by 400 image.
  t0 = wall();
  double c0 = cpu();
  {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 600, 400);
    cairo_t* cr = cairo_create(s);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    cairo_set_source_rgb(cr, 26 / 255.0, 71 / 255.0, 111 / 255.0);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_width(cr, 2 * 166 * 600 / 32000.0);
    for (long i = 0; i < nobs; ++i) {
      cairo_move_to(cr, (2800 * xs[i] + 2000) * 600 / 32000.0,
                    400 - (800 * ys[i] + 10666) * 400 / 21333.0);
      cairo_rel_line_to(cr, 0, 0);
      if (i % 4096 == 4095) cairo_stroke(cr);
    }
    cairo_stroke(cr);
    std::string fn = dir + "/plain.png";
    cairo_surface_write_to_png(s, fn.c_str());
    cairo_destroy(cr);
    cairo_surface_destroy(s);
    std::remove(fn.c_str());
  }
  const double tplain = wall() - t0, cplain = cpu() - c0;
  std::printf("%-32s %8.3f s   cpu %8.3f s   ratio export/plain (cpu) %.2f\n", "plain cairo PNG",
              tplain, cplain, tpng / cplain);
  // numpy: copy two float columns of the same length (the series set's work).
  std::string py = "/usr/bin/python3 -c \"import numpy as np,time;n=" + std::to_string(nobs) +
                   ";x=np.random.rand(n).astype(np.float32);y=np.random.rand(n).astype(np.float32);"
                   "t=time.perf_counter();z=np.column_stack((y,x)).copy();"
                   "print('%.4f'%(time.perf_counter()-t))\"";
  if (std::FILE* p = popen(py.c_str(), "r")) {
    char buf[64] = {};
    if (std::fgets(buf, sizeof buf, p)) {
      double tn = std::atof(buf);
      std::printf("%-32s %8.3f s   ratio serset/numpy %.2f\n", "numpy column copy", tn,
                  tn > 0 ? tset / tn : 0.0);
    }
    pclose(p);
  }
  // The user's path: draw, then export, each format timed in processor seconds.
  std::printf("\nscatter y x, then graph export (cpu; targets for 1M points: PNG 2 s, SVG and PDF 5 s)\n");
  for (const char* ext : {"png", "svg", "pdf"}) {
    std::string fn = dir + "/user." + ext;
    const double target = ext[0] == 'p' && ext[1] == 'n' ? 2.0 : 5.0;
    double c1 = cpu();
    if (run("scatter y x") || run("_gph export " + fn + ", replace")) return 1;
    const double tc = cpu() - c1;
    std::printf("%-32s cpu %8.3f s   target %.0f s   ratio to target %.2f\n",
                (std::string("scatter + export ") + ext).c_str(), tc, target, tc / target);
    std::remove(fn.c_str());
  }
  serset_clearall();
  std::remove(dir.c_str());
  return 0;
}
