// Schemes: reading NAME.scheme files (along the ado-path first, so that a
// user's own schemes are found, then in the system's schemes folder), the
// active scheme, text measured with cairo's font machinery as the renderers
// draw it, and the `_gscheme` command through which graph programs read a
// scheme's values and measure their labels.
#include "graphics/gscheme.h"

#include <cairo.h>
#include <dirent.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "graphics/graphics.h"
#include "interp/cmdtab.h"
#include "interp/interp.h"
#include "interp/program.h"
#include "interp/tokenizer.h"
#include "output/errors.h"
#include "output/output.h"
#include "output/textwidth.h"
#include "results/resint.h"
#include "results/results.h"

const char* const gsch_sizenames[GS_NSIZES] = {"title", "subtitle", "axistitle", "ticklabel", "legend", "note"};

namespace {

// The active scheme and whether it has been read yet.
struct SchemeState {
  GScheme active;
  bool loaded = false;
};
SchemeState gss;

// The look used when no scheme file can be read at all (a build without its
// system folder): the same values as the shipped `modern`.
GScheme builtin() {
  GScheme s;
  s.name = "modern";
  s.description = "white page, light grid, colour-blind-safe series colours";
  const unsigned char cols[8][3] = {{0, 114, 178},  {213, 94, 0},  {0, 158, 115}, {204, 121, 167},
                                    {86, 180, 233}, {230, 159, 0}, {0, 0, 0},     {240, 228, 66}};
  const char* const syms[8] = {"circle", "diamond", "square", "triangle", "x", "plus", "smcircle", "smdiamond"};
  const char* const pats[8] = {"solid", "dash", "dot", "dash_dot", "longdash", "shortdash", "solid", "dash"};
  for (int i = 0; i < 8; ++i) {
    GSeries g;
    std::memcpy(g.rgb, cols[i], 3);
    g.symbol = syms[i];
    g.pattern = pats[i];
    s.series.push_back(g);
  }
  return s;
}

// The file of scheme `name`, empty when there is none.
std::string schemefile(const std::string& name) {
  std::string f = srchado(name.c_str(), "scheme", 1);
  if (!f.empty()) return f;
  f = interp.sysdir + "schemes/" + name + ".scheme";
  if (std::FILE* fp = std::fopen(f.c_str(), "r")) {
    std::fclose(fp);
    return f;
  }
  return "";
}

bool validname(const std::string& s) {
  if (s.empty() || s.size() > 32) return false;
  for (char c : s)
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_' && c != '-') return false;
  return true;
}

// The blank-separated words of a line.
std::vector<std::string> words(const std::string& line) {
  std::vector<std::string> w;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && std::isspace(static_cast<unsigned char>(line[i]))) ++i;
    size_t j = i;
    while (j < line.size() && !std::isspace(static_cast<unsigned char>(line[j]))) ++j;
    if (j > i) w.push_back(line.substr(i, j - i));
    i = j;
  }
  return w;
}

bool number(const std::string& s, double lo, double hi, double* v) {
  char* e = nullptr;
  const double x = std::strtod(s.c_str(), &e);
  if (s.empty() || *e || !(x >= lo && x <= hi)) return false;
  *v = x;
  return true;
}

// A colour from words w[at..]: three numbers 0-255 or one #rrggbb. The
// number of words used, 0 when malformed.
int colour(const std::vector<std::string>& w, size_t at, unsigned char* rgb) {
  if (at < w.size() && w[at].size() == 7 && w[at][0] == '#') {
    char* e = nullptr;
    const long v = std::strtol(w[at].c_str() + 1, &e, 16);
    if (*e) return 0;
    rgb[0] = static_cast<unsigned char>(v >> 16), rgb[1] = static_cast<unsigned char>(v >> 8 & 255);
    rgb[2] = static_cast<unsigned char>(v & 255);
    return 1;
  }
  if (at + 3 > w.size()) return 0;
  double c[3];
  for (int i = 0; i < 3; ++i)
    if (!number(w[at + static_cast<size_t>(i)], 0, 255, c + i) || c[i] != std::floor(c[i])) return 0;
  for (int i = 0; i < 3; ++i) rgb[i] = static_cast<unsigned char>(c[i]);
  return 3;
}

const char* const symbols[] = {"circle", "diamond", "square", "triangle", "plus", "x", "point",
                               "smcircle", "smdiamond", "smsquare", "smtriangle", "smplus", "smx", "none"};
const char* const patterns[] = {"solid", "dash", "dot", "dash_dot", "shortdash", "longdash"};

template <size_t N>
bool oneof(const std::string& s, const char* const (&list)[N]) {
  for (const char* p : list)
    if (s == p) return true;
  return false;
}

// Reads one line of a scheme into s: empty when it is good, else what is wrong.
std::string readline(const std::string& raw, GScheme& s) {
  std::string line = raw.substr(0, raw.find('#') == 0 ? 0 : raw.find(" #") == std::string::npos ? raw.size() : raw.find(" #"));
  const std::vector<std::string> w = words(line);
  if (w.empty()) return "";
  const std::string& k = w[0];
  const size_t n = w.size();
  auto rest = [&](size_t from) {
    std::string t;
    for (size_t i = from; i < n; ++i) t += (i > from ? " " : "") + w[i];
    return t;
  };
  auto col = [&](unsigned char* rgb) -> std::string {
    return colour(w, 1, rgb) && colour(w, 1, rgb) + 1 == static_cast<int>(n) ? "" : k + " needs one colour";
  };
  double v;
  if (k == "description") s.description = rest(1);
  else if (k == "background") return col(s.bg);
  else if (k == "plotregion") return col(s.plotbg);
  else if (k == "foreground") return col(s.fg);
  else if (k == "textcolor") return col(s.text);
  else if (k == "grid") {
    if (n == 2 && w[1] == "off") s.gridon = false;
    else if (!col(s.grid).empty()) return "grid needs a colour or off";
    else s.gridon = true;
  } else if (k == "gridwidth" || k == "axiswidth" || k == "linewidth" || k == "markersize") {
    if (n != 2 || !number(w[1], 0, 20, &v)) return k + " needs one number from 0 to 20";
    (k == "gridwidth" ? s.gridwidth : k == "axiswidth" ? s.axiswidth : k == "linewidth" ? s.linewidth : s.markersize) = v;
  } else if (k == "font") {
    if (n < 2) return "font needs a family name";
    s.font = rest(1);
    if (s.font.size() > 200) return "font name too long";
  } else if (k == "textsize") {
    int which = -1;
    for (int i = 0; i < GS_NSIZES; ++i)
      if (n > 1 && w[1] == gsch_sizenames[i]) which = i;
    if (which < 0 || n != 3 || !number(w[2], 1, 200, &v))
      return "textsize needs one of title subtitle axistitle ticklabel legend note and a size from 1 to 200";
    s.size[which] = v;
  } else if (k == "margin") {
    if (n != 5) return "margin needs four numbers (left right top bottom)";
    for (int i = 0; i < 4; ++i)
      if (!number(w[static_cast<size_t>(i) + 1], 0, 200, &s.margin[i])) return "margins must be from 0 to 200 points";
  } else if (k == "series") {
    GSeries g;
    const int used = colour(w, 1, g.rgb);
    if (!used) return "series needs a colour";
    size_t at = 1 + static_cast<size_t>(used);
    if (at < n) g.symbol = w[at++];
    if (at < n) g.pattern = w[at++];
    if (at < n) return "series has too many words";
    if (!oneof(g.symbol, symbols)) return "series symbol " + g.symbol + " not recognized";
    if (!oneof(g.pattern, patterns)) return "series line pattern " + g.pattern + " not recognized";
    if (s.series.size() >= 100) return "more than 100 series";
    s.series.push_back(g);
  } else {
    return k + " not recognized";
  }
  return "";
}

}  // namespace

int gsch_load(const std::string& name, GScheme& dst, bool quiet) {
  const std::string fn = validname(name) ? schemefile(name) : "";
  if (fn.empty())
    return quiet ? RC_NOTFOUND : errmsgf(RC_NOTFOUND, "scheme %s not found\n", name.empty() ? "\"\"" : name.c_str());
  std::FILE* fp = std::fopen(fn.c_str(), "r");
  if (!fp) return quiet ? RC_NOTFOUND : fierr(RC_FILENOTFOUND, fn.c_str());
  GScheme s;
  s.name = name;
  std::string line, why;
  int lineno = 0, c = 0;
  while (why.empty() && c != EOF) {
    line.clear();
    while ((c = std::fgetc(fp)) != EOF && c != '\n')
      if (line.size() < 4096) line.push_back(static_cast<char>(c));
    ++lineno;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    why = readline(line, s);
  }
  std::fclose(fp);
  if (why.empty() && s.series.empty()) why = "no series colours", lineno = 0;
  if (!why.empty()) {
    if (quiet) return RC_FILEFORMAT;
    return lineno ? errmsgf(RC_FILEFORMAT, "scheme %s, line %d: %s\n", name.c_str(), lineno, why.c_str())
                  : errmsgf(RC_FILEFORMAT, "scheme %s: %s\n", name.c_str(), why.c_str());
  }
  dst = std::move(s);
  return 0;
}

const GScheme& gsch_active() {
  if (!gss.loaded) {
    std::string name = "modern";
    bool isnum = false;
    (void)setq_value("scheme", name, isnum);
    if (gsch_load(name, gss.active, true) && gsch_load("modern", gss.active, true)) gss.active = builtin();
    gss.loaded = true;
  }
  return gss.active;
}

int gsch_select(const std::string& name) {
  GScheme s;
  if (int rc = gsch_load(name, s)) return rc;
  gss.active = std::move(s);
  gss.loaded = true;
  return 0;
}

const char* gsch_face(const char* font) {
  return !font || !*font || !std::strcmp(font, "default") ? "DejaVu Sans" : font;
}

std::string gsch_utf8(const char* text) {
  const std::string_view t(text);
  std::string o;
  o.reserve(t.size());
  for (size_t i = 0; i < t.size();) {
    const size_t next = u8next(t, i);
    const auto b = static_cast<unsigned char>(t[i]);
    if (b >= 0x80 && next == i + 1) {
      o += static_cast<char>(0xC0 | (b >> 6));
      o += static_cast<char>(0x80 | (b & 0x3F));
    } else {
      o.append(t, i, next - i);
    }
    i = next;
  }
  return o;
}

void gsch_measure(const std::string& font, double size, const char* text, double* width, double* ascent,
                  double* descent) {
  static cairo_surface_t* surf = cairo_image_surface_create(CAIRO_FORMAT_A8, 1, 1);
  static cairo_t* cr = [] {
    cairo_t* c = cairo_create(surf);
    cairo_font_options_t* fo = cairo_font_options_create();
    cairo_font_options_set_hint_metrics(fo, CAIRO_HINT_METRICS_OFF);
    cairo_font_options_set_hint_style(fo, CAIRO_HINT_STYLE_NONE);
    cairo_set_font_options(c, fo);
    cairo_font_options_destroy(fo);
    return c;
  }();
  // measured at 100 points and scaled, so that the result is proportional
  cairo_select_font_face(cr, gsch_face(font.c_str()), CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(cr, 100);
  cairo_text_extents_t te;
  cairo_font_extents_t fe;
  cairo_text_extents(cr, gsch_utf8(text).c_str(), &te);
  cairo_font_extents(cr, &fe);
  const double f = size / 100;
  *width = std::max(te.x_advance, te.x_bearing + te.width) * f;
  *ascent = fe.ascent * f;
  *descent = fe.descent * f;
}

namespace {

std::string rgbtext(const unsigned char* c) {
  return std::to_string(c[0]) + " " + std::to_string(c[1]) + " " + std::to_string(c[2]);
}

// Posts the values of scheme s in r().
int postscheme(const GScheme& s) {
  retval_clear();
  int rc = 0;
  auto mac = [&](const std::string& n, const std::string& v) {
    if (!rc) rc = retval_set_local(n.c_str(), v);
  };
  auto sca = [&](const std::string& n, double v) {
    if (!rc) rc = retval_set_scalar(n.c_str(), v);
  };
  mac("name", s.name);
  mac("description", s.description);
  mac("background", rgbtext(s.bg));
  mac("plotregion", rgbtext(s.plotbg));
  mac("foreground", rgbtext(s.fg));
  mac("textcolor", rgbtext(s.text));
  if (s.gridon) mac("grid", rgbtext(s.grid));
  mac("font", s.font);
  sca("gridwidth", s.gridwidth);
  sca("axiswidth", s.axiswidth);
  sca("linewidth", s.linewidth);
  sca("markersize", s.markersize);
  for (int i = 0; i < GS_NSIZES; ++i) sca(std::string("size_") + gsch_sizenames[i], s.size[i]);
  const char* mn[4] = {"margin_left", "margin_right", "margin_top", "margin_bottom"};
  for (int i = 0; i < 4; ++i) sca(mn[i], s.margin[i]);
  sca("nseries", static_cast<double>(s.series.size()));
  for (size_t i = 0; i < s.series.size(); ++i) {
    const std::string k = std::to_string(i + 1);
    mac("color" + k, rgbtext(s.series[i].rgb));
    mac("symbol" + k, s.series[i].symbol);
    mac("pattern" + k, s.series[i].pattern);
  }
  return rc;
}

// A scanner over the rest of the line: words and "quoted" or `"compound"'
// strings.
struct Words {
  const char* p;
  bool atend() {
    while (*p == ' ' || *p == '\t') ++p;
    return !*p;
  }
  // The next item; false at the end or at a comma.
  bool next(std::string& w) {
    if (atend() || *p == ',') return false;
    if (*p == '"' || (*p == '`' && p[1] == '"')) {
      const char *s, *e, *after;
      if (!parse_quoted_string(p, &s, &e, &after)) {
        w.assign(s, e);
        p = after;
        return true;
      }
    }
    const char* s = p;
    while (*p && *p != ' ' && *p != '\t' && *p != ',') ++p;
    w.assign(s, p);
    return true;
  }
};

// The scheme named by a `, scheme(name)` at the scanner, or the active one.
int optscheme(Words& a, GScheme& s, bool* named) {
  *named = false;
  if (a.atend()) {
    s = gsch_active();
    return 0;
  }
  if (*a.p != ',') return notalow(a.p);
  ++a.p;
  while (*a.p == ' ') ++a.p;
  if (std::strncmp(a.p, "scheme(", 7)) return notalow(a.p);
  const char* e = std::strchr(a.p, ')');
  if (!e) return error(RC_SYNTAX);
  std::string nm(a.p + 7, e);
  while (!nm.empty() && nm.back() == ' ') nm.pop_back();
  while (!nm.empty() && nm.front() == ' ') nm.erase(0, 1);
  a.p = e + 1;
  if (!a.atend()) return notalow(a.p);
  if (nm.empty()) {
    s = gsch_active();
    return 0;
  }
  *named = true;
  return gsch_load(nm, s);
}

// _gscheme measure size [text ...] [, scheme(name)]: r(width) the widest
// text, r(width1)... each one, r(ascent), r(descent), all in points.
int gs_measure(Words& a) {
  std::string w;
  double size;
  if (!a.next(w)) return required("text size");
  char* e = nullptr;
  size = std::strtod(w.c_str(), &e);
  if (*e || !(size > 0 && size <= 1000)) return errmsgf(RC_SYNTAX, "text size %s invalid\n", w.c_str());
  std::vector<std::string> texts;
  while (a.next(w)) texts.push_back(w);
  GScheme s;
  bool named;
  if (int rc = optscheme(a, s, &named)) return rc;
  retval_clear();
  double widest = 0, asc = 0, desc = 0;
  int rc = 0;
  for (size_t i = 0; i < texts.size() && !rc; ++i) {
    double wd;
    gsch_measure(s.font, size, texts[i].c_str(), &wd, &asc, &desc);
    widest = std::max(widest, wd);
    rc = retval_set_scalar(("width" + std::to_string(i + 1)).c_str(), wd);
  }
  if (texts.empty()) gsch_measure(s.font, size, "", &widest, &asc, &desc);
  if (!rc) rc = retval_set_scalar("width", widest);
  if (!rc) rc = retval_set_scalar("ascent", asc);
  if (!rc) rc = retval_set_scalar("descent", desc);
  if (!rc) rc = retval_set_scalar("n", static_cast<double>(texts.size()));
  return rc;
}

// _gscheme cut size width text [, scheme(name)]: r(text) the text, cut short
// at its end when it is wider than width points, to the most whole
// characters that fit (one at least); r(width) its width, r(cut) 1 when
// cut. Characters are UTF-8 sequences, so no character is ever split.
int gs_cut(Words& a) {
  std::string w, text;
  double size, maxw;
  char* e = nullptr;
  if (!a.next(w)) return required("text size");
  size = std::strtod(w.c_str(), &e);
  if (*e || !(size > 0 && size <= 1000)) return errmsgf(RC_SYNTAX, "text size %s invalid\n", w.c_str());
  if (!a.next(w)) return required("width");
  maxw = std::strtod(w.c_str(), &e);
  if (*e || !(maxw >= 0)) return errmsgf(RC_SYNTAX, "width %s invalid\n", w.c_str());
  (void)a.next(text);
  // More words are most likely a text with blanks that lost its quotes.
  if (a.next(w)) return errmsgf(RC_SYNTAX, "%s invalid: the text to cut is one item; put it in quotes\n", w.c_str());
  GScheme s;
  bool named;
  if (int rc = optscheme(a, s, &named)) return rc;
  double wd, asc, desc;
  auto width = [&](size_t bytes) {
    gsch_measure(s.font, size, text.substr(0, bytes).c_str(), &wd, &asc, &desc);
    return wd;
  };
  std::vector<size_t> ends;  // the byte after each character
  for (size_t i = 0; i < text.size();) ends.push_back(i = u8next(text, i));
  size_t keep = text.size();
  double got = width(keep);
  if (got > maxw && ends.size() > 1) {
    // the most leading characters that fit: widths grow with the prefix
    size_t lo = 1, hi = ends.size() - 1;
    while (lo < hi) {
      const size_t mid = (lo + hi + 1) / 2;
      if (width(ends[mid - 1]) <= maxw) lo = mid;
      else hi = mid - 1;
    }
    keep = ends[lo - 1];
    got = width(keep);
  }
  retval_clear();
  int rc = retval_set_local("text", text.substr(0, keep));
  if (!rc) rc = retval_set_scalar("width", got);
  if (!rc) rc = retval_set_scalar("cut", keep < text.size() ? 1 : 0);
  return rc;
}

// _gscheme dir: the schemes that can be set, with their descriptions.
int gs_dir() {
  std::set<std::string> names;
  std::vector<std::string> dirs = adopath_dirs();
  dirs.push_back(interp.sysdir + "schemes/");
  for (const std::string& d : dirs) {
    for (const std::string& sub : {std::string(), std::string("s/")}) {
      DIR* dp = opendir((d + sub).c_str());
      if (!dp) continue;
      while (dirent* de = readdir(dp)) {
        std::string f = de->d_name;
        if (f.size() > 7 && f.compare(f.size() - 7, 7, ".scheme") == 0) names.insert(f.substr(0, f.size() - 7));
      }
      closedir(dp);
    }
  }
  const std::string cur = gsch_active().name;
  for (const std::string& n : names) {
    GScheme s;
    if (gsch_load(n, s, true)) continue;
    std::string line = "  " + n + (n == cur ? "*" : " ");
    line.append(line.size() < 14 ? 14 - line.size() : 1, ' ');
    spout21f("%s%s\n", line.c_str(), s.description.c_str());
  }
  return 0;
}

// _gscheme [, scheme(name)]  |  _gscheme measure ...  |  _gscheme cut ...  |  _gscheme dir
int cmd_gscheme(int) {
  Words a{wheretok()};
  (void)a.atend();
  if (!std::strncmp(a.p, "measure", 7) && (a.p[7] == ' ' || !a.p[7])) {
    a.p += 7;
    return gs_measure(a);
  }
  if (!std::strncmp(a.p, "cut", 3) && (a.p[3] == ' ' || !a.p[3])) {
    a.p += 3;
    return gs_cut(a);
  }
  if (!std::strncmp(a.p, "dir", 3) && (a.p[3] == ' ' || !a.p[3])) {
    a.p += 3;
    // `graph schemes` runs this: the list takes nothing more, and the message
    // names the first word left over as the user typed it there
    if (!a.atend()) {
      std::string w;
      if (!a.next(w)) return errmsgf(RC_SYNTAX, "graph schemes: options not allowed\n");
      return errmsgf(RC_SYNTAX, "graph schemes: %s not allowed\n", w.c_str());
    }
    return gs_dir();
  }
  GScheme s;
  bool named;
  if (int rc = optscheme(a, s, &named)) return rc;
  return postscheme(s);
}

}  // namespace

void gscheme_bindcommands() { cmdbind("_gscheme", cmd_gscheme); }

void gsch_reset() { gss = SchemeState{}; }
