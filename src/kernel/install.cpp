// `zelta-kernel install [--user | --prefix DIR]`: writes the kernelspec
// (kernel.json naming this executable, and the logos drawn with cairo) into
// the folder where notebook front ends look for kernels: the user's data
// folder, DIR/share/jupyter, or the system-wide /usr/local/share/jupyter.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include <cairo.h>

#include "kernel/kernel.h"

namespace {

// mkdir -p; false on failure.
bool makedirs(const std::string& path) {
  std::string p;
  size_t i = 0;
  while (i <= path.size()) {
    size_t j = path.find('/', i);
    if (j == std::string::npos) j = path.size();
    p = path.substr(0, j);
    if (!p.empty() && ::mkdir(p.c_str(), 0755) != 0 && errno != EEXIST) return false;
    i = j + 1;
  }
  return true;
}

std::string selfpath() {
  char buf[4096];
  ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return "zelta-kernel";
  buf[n] = 0;
  return buf;
}

// The logo: a white Z on a blue rounded square, size x size pixels.
bool drawlogo(const std::string& path, int size) {
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size, size);
  cairo_t* cr = cairo_create(s);
  const double r = size / 6.0, w = size;
  cairo_new_sub_path(cr);
  cairo_arc(cr, w - r, r, r, -M_PI / 2, 0);
  cairo_arc(cr, w - r, w - r, r, 0, M_PI / 2);
  cairo_arc(cr, r, w - r, r, M_PI / 2, M_PI);
  cairo_arc(cr, r, r, r, M_PI, 3 * M_PI / 2);
  cairo_close_path(cr);
  cairo_set_source_rgb(cr, 0.12, 0.30, 0.56);
  cairo_fill(cr);
  // The Z as three strokes, so that no font is needed.
  const double m = size * 0.25;
  cairo_set_line_width(cr, size * 0.12);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_MITER);
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_move_to(cr, m, m);
  cairo_line_to(cr, w - m, m);
  cairo_line_to(cr, m, w - m);
  cairo_line_to(cr, w - m, w - m);
  cairo_stroke(cr);
  cairo_destroy(cr);
  bool ok = cairo_surface_write_to_png(s, path.c_str()) == CAIRO_STATUS_SUCCESS;
  cairo_surface_destroy(s);
  return ok;
}

int usage() {
  std::fputs("usage: zelta-kernel install [--user | --prefix DIR]\n", stderr);
  return 2;
}

}  // namespace

int kinstall(int argc, char** argv) {
  std::string base;
  if (argc == 2) {
    base = "/usr/local/share/jupyter";
  } else if (argc == 3 && !std::strcmp(argv[2], "--user")) {
    if (const char* d = std::getenv("JUPYTER_DATA_DIR"); d && *d) base = d;
    else if (const char* x = std::getenv("XDG_DATA_HOME"); x && *x) base = std::string(x) + "/jupyter";
    else if (const char* h = std::getenv("HOME"); h && *h) base = std::string(h) + "/.local/share/jupyter";
    else {
      std::fputs("zelta-kernel: HOME is not set\n", stderr);
      return 1;
    }
  } else if (argc == 4 && !std::strcmp(argv[2], "--prefix") && argv[3][0]) {
    base = std::string(argv[3]) + "/share/jupyter";
  } else {
    return usage();
  }
  const std::string dir = base + "/kernels/zelta";
  if (!makedirs(dir)) {
    std::fprintf(stderr, "zelta-kernel: cannot create %s: %s\n", dir.c_str(), std::strerror(errno));
    return 1;
  }
  json kernelspec = {{"argv", {selfpath(), "-f", "{connection_file}"}},
               {"display_name", "Zelta"},
               {"language", "zelta"},
               {"interrupt_mode", "signal"},
               {"metadata", json::object()}};
  const std::string tmp = dir + "/kernel.json.tmp";
  {
    std::ofstream f(tmp);
    f << kernelspec.dump(1) << "\n";
    if (!f) {
      std::fprintf(stderr, "zelta-kernel: cannot write %s\n", tmp.c_str());
      return 1;
    }
  }
  if (std::rename(tmp.c_str(), (dir + "/kernel.json").c_str()) != 0) {
    std::fprintf(stderr, "zelta-kernel: cannot write %s/kernel.json\n", dir.c_str());
    return 1;
  }
  if (!drawlogo(dir + "/logo-32x32.png", 32) || !drawlogo(dir + "/logo-64x64.png", 64)) {
    std::fprintf(stderr, "zelta-kernel: cannot write the logos in %s\n", dir.c_str());
    return 1;
  }
  std::printf("installed kernelspec zelta in %s\n", dir.c_str());
  return 0;
}
