// Rich output of the kernel: a graph drawn by a cell goes out as PNG and SVG
// display data (rendered by the graph exporter into a private temporary
// folder), and a table that a command describes through the output channel's
// table side channel goes out as HTML beside its plain text.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include <openssl/evp.h>

#include "graphics/graphics.h"
#include "kernel/kernel.h"
#include "output/output.h"

namespace {

std::string readfile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string base64(const std::string& bytes) {
  std::string out(4 * ((bytes.size() + 2) / 3) + 1, '\0');
  int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                          reinterpret_cast<const unsigned char*>(bytes.data()),
                          static_cast<int>(bytes.size()));
  out.resize(static_cast<size_t>(n));
  return out;
}

// Renders g into dir/name; the file's bytes, or "" when it failed (the
// exporter printed why).
std::string render(Gdl& g, const std::string& dir, const char* name) {
  std::string path = dir + "/" + name;
  ExportOpts o;
  if (gr_export(g, path, o)) return "";
  std::string bytes = readfile(path);
  ::unlink(path.c_str());
  return bytes;
}

std::string html_escape(const std::string& s) {
  std::string r;
  for (char c : s) {
    switch (c) {
      case '&': r += "&amp;"; break;
      case '<': r += "&lt;"; break;
      case '>': r += "&gt;"; break;
      case '"': r += "&quot;"; break;
      default: r += c;
    }
  }
  return r;
}

}  // namespace

void krich_graph(const KMsg& parent) {
  if (!gr.gdl) return;
  char dir[] = "/tmp/zelta-kernel-XXXXXX";
  if (!mkdtemp(dir)) return;
  std::string png = render(*gr.gdl, dir, "graph.png");
  std::string svg = png.empty() ? "" : render(*gr.gdl, dir, "graph.svg");
  ::rmdir(dir);
  if (png.empty()) return;
  json data = {{"image/png", base64(png)}, {"text/plain", "<graph " + gr.curname + ">"}};
  if (!svg.empty()) data["image/svg+xml"] = svg;
  kwire_publish(kwire_make("display_data", &parent,
                           {{"data", data}, {"metadata", json::object()}, {"transient", json::object()}}));
}

std::string krich_html(const OutTable& t) {
  std::string h = "<table class=\"zelta-table\">\n";
  if (!t.caption.empty()) h += "<caption>" + html_escape(t.caption) + "</caption>\n";
  if (!t.head.empty()) {
    h += "<thead><tr>";
    for (const std::string& c : t.head) h += "<th>" + html_escape(c) + "</th>";
    h += "</tr></thead>\n";
  }
  h += "<tbody>\n";
  for (const auto& row : t.rows) {
    h += "<tr>";
    for (size_t k = 0; k < row.size(); ++k) {
      bool stub = k < static_cast<size_t>(t.stubcols);
      h += stub ? "<th>" : "<td>";
      h += html_escape(row[k]);
      h += stub ? "</th>" : "</td>";
    }
    h += "</tr>\n";
  }
  h += "</tbody>\n</table>\n";
  return h;
}
