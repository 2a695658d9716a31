// The `gph` command: graphs in memory by name, as-is graph files (the display
// list itself followed by a close byte) saved and read back, export of a graph
// to PNG, SVG or PDF, and a listing of a display list record by record.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "graphics/graphics.h"
#include "files/atomicfile.h"
#include "graphics/gsave.h"
#include "graphics/gscheme.h"
#include "interp/cmdtab.h"
#include "interp/tokenizer.h"
#include "output/errors.h"
#include "output/output.h"
#include "platform/platform.h"

namespace {

int writeblk(void* ctx, const void* p, size_t n) {
  return af_write(*static_cast<AtomicFile*>(ctx), p, n);
}

// The graph in memory that the commands work on.
Gdl* curgraph() { return gr.gdl; }

int nocurrent() { return errmsgf(RC_FILENOTFOUND, "no current graph\n"); }

// Options after the file name: `replace` and the export sizes.
struct GphOpts {
  bool replace = false;
  bool view = false;                 // open the file with the desktop's viewer
  int width = 0, height = 0, dpi = 0;
  std::string usingfn;
};

int parseopts(GphOpts& o, bool allowusing, bool sizes) {
  ParseResult pr;
  if (int rc = parse({.varlist = PERM_NO, .ifexp = PERM_NO, .range = PERM_NO, .usingfile = allowusing ? PERM_OPTIONAL : PERM_NO, .options = PERM_OPTIONAL}, pr)) return rc;
  if (pr.hasusing) o.usingfn = pr.usingfn;
  o.replace = findopt(pr, "replace", 7, 0) == 1;
  if (sizes) {
    o.width = static_cast<int>(findopta(pr, "width", 5, 0));
    o.height = static_cast<int>(findopta(pr, "height", 6, 0));
    if (o.width < 0 || o.width > 20000 || o.height < 0 || o.height > 20000)
      return errmsgf(RC_SYNTAX, "width() and height() must be between 1 and 20000\n");
    o.dpi = static_cast<int>(findopta(pr, "resolution", 3, 0));
    if (o.dpi < 0 || o.dpi > 2400) return errmsgf(RC_SYNTAX, "resolution() must be between 10 and 2400\n");
    if (o.dpi && o.dpi < 10) return errmsgf(RC_SYNTAX, "resolution() must be between 10 and 2400\n");
    o.view = findopt(pr, "view", 4, 0) == 1;
  }
  return chkopt(pr);
}

// The as-is reader's header check: 0 or the code of gdl_errmsg (610 for a
// file that is not a graph file at all).
int asischeck(const std::vector<unsigned char>& d) {
  if (d.size() < 4 || d[0] != OP_HEADER) return RC_FILEFORMAT;
  if (d[1] != 132) return RC_GPH_NOTGPH;
  int f = d[2];
  if (f == 33) return 0;
  if ((f >= 1 && f <= 4) || f == 8) return RC_GPH_NOTASIS;
  if (f >= 9 && f <= 32) return RC_GPH_UPDATED;
  if (f >= 34 && f <= 64) return RC_GPH_ASIS;
  if (f >= 65) return RC_GPH_NEWER;
  return RC_FILEFORMAT;
}

// The longest graph file read: a display list holds at most this many bytes.
constexpr size_t GPH_MAXBYTES = 0x7fffffffu;

// Appends the rest of f to data, at most GPH_MAXBYTES in all: 0, or 692
// for a read error or a file longer than that.
int readrest(std::FILE* f, std::vector<unsigned char>& data) {
  unsigned char buf[65536];
  size_t k;
  while ((k = std::fread(buf, 1, sizeof buf, f)) > 0) {
    if (data.size() + k > GPH_MAXBYTES) return RC_READ;
    data.insert(data.end(), buf, buf + k);
  }
  return std::ferror(f) ? 692 : 0;
}

// Reads a whole file (gph dump shows any file); 0, or 601/692 (printed).
int slurp(const std::string& fn, std::vector<unsigned char>& data) {
  std::FILE* f = std::fopen(fn.c_str(), "rb");
  if (!f) return fierr(RC_FILENOTFOUND, fn.c_str());
  int rc = readrest(f, data);
  std::fclose(f);
  return rc ? fierr(rc, fn.c_str()) : 0;
}

// Reads a graph file: its header first, checked before anything more is
// read, so that a file that is not a graph (or never ends) is refused at
// once. 0, or a code (printed).
int readgph(const std::string& fn, std::vector<unsigned char>& data) {
  std::FILE* f = std::fopen(fn.c_str(), "rb");
  if (!f) return fierr(RC_FILENOTFOUND, fn.c_str());
  data.resize(4);
  data.resize(std::fread(data.data(), 1, 4, f));
  int code = asischeck(data);
  if (!code) code = readrest(f, data);
  std::fclose(f);
  if (code == 610 || code == 692) return fierr(code, fn.c_str());
  if (code) return gdl_errmsg(code, fn.c_str());
  return 0;
}

// Loads a graph file into a fresh display list and checks it by replaying it
// without renderers. 0 or a return code (printed).
int loadgph(const std::string& fn, std::unique_ptr<Gdl>& out) {
  std::vector<unsigned char> d;
  if (int rc = readgph(fn, d)) return rc;
  auto g = std::make_unique<Gdl>();
  gdl_put(*g, d.data(), static_cast<int>(d.size()));
  if (g->state == 2) return fierr(RC_READ, fn.c_str());
  // Replay against a scratch register state so the current one is kept.
  GdlRegs cur = gr.cur, pend = gr.pend;
  GdlRenderer fn0[3];
  void* cx0[3];
  for (int i = 0; i < 3; ++i) fn0[i] = gr.rfn[i], cx0[i] = gr.rctx[i], gr.rfn[i] = nullptr;
  int rc = gdl_replay(*g, nullptr, nullptr);
  for (int i = 0; i < 3; ++i) gr.rfn[i] = fn0[i], gr.rctx[i] = cx0[i];
  gr.cur = cur, gr.pend = pend;
  if (rc == 1) return 1;
  if (rc) return gdl_errmsg(rc, fn.c_str());
  out = std::move(g);
  return 0;
}

// gph save filename [, replace]
int gph_save() {
  std::string fn;
  if (int rc = gettokfn(fn)) return rc;
  if (fn.empty()) return required("filename");
  GphOpts o;
  if (int rc = parseopts(o, false, false)) return rc;
  Gdl* g = curgraph();
  if (!g) return nocurrent();
  fn = gr_addsuffix(fn, ".gph");
  if (!o.replace && gr_fileexists(fn)) return fierr(RC_FILEEXISTS, fn.c_str());
  AtomicFile out;
  if (int rc = af_open(out, fn)) return af_openerr(out, rc);
  int rc = gdl_copyout(*g, writeblk, &out);
  if (rc == 691) {
    af_abort(out);
    return errmsgf(RC_FILENOTFOUND, "could not access current graph to save\n");
  }
  const unsigned char close = OP_CLOSE;
  if (!rc) rc = af_write(out, &close, 1);
  if (!rc) rc = af_commit(out);
  if (rc) {
    af_abort(out);
    return fierr(rc, fn.c_str());
  }
  fierr(RC_FILESAVED, fn.c_str());
  return 0;
}

// gph use filename
int gph_use() {
  std::string fn;
  if (int rc = gettokfn(fn)) return rc;
  if (fn.empty()) return required("filename");
  GphOpts o;
  if (int rc = parseopts(o, false, false)) return rc;
  fn = gr_addsuffix(fn, ".gph");
  std::unique_ptr<Gdl> g;
  if (int rc = loadgph(fn, g)) return rc;
  if (gr.curname.empty()) gr.curname = "Graph";
  gr.graphs[gr.curname] = std::move(g);
  gr.gdl = gr.graphs[gr.curname].get();
  ++gr.shown;
  return 0;
}

// gph export newfile [using graphfile] [, replace width(#) height(#)]
int gph_export() {
  std::string fn;
  if (int rc = gettokfn(fn)) return rc;
  if (fn.empty()) return required("filename");
  GphOpts o;
  if (int rc = parseopts(o, true, true)) return rc;
  std::unique_ptr<Gdl> loaded;
  Gdl* g = curgraph();
  if (!o.usingfn.empty()) {
    if (int rc = loadgph(gr_addsuffix(o.usingfn, ".gph"), loaded)) return rc;
    g = loaded.get();
  }
  if (!g) return nocurrent();
  if (!o.replace && gr_fileexists(fn)) return fierr(RC_FILEEXISTS, fn.c_str());
  ExportOpts eo;
  eo.width = o.width, eo.height = o.height, eo.dpi = o.dpi;
  // Export replays the list: keep the drawing state of the graph being built.
  GdlRegs cur = gr.cur, pend = gr.pend;
  int rc = gr_export(*g, fn, eo);
  gr.cur = cur, gr.pend = pend;
  if (rc) return rc;
  std::string kind = fn.substr(fn.rfind('.') + 1);
  for (char& ch : kind) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
  int prev = setoutlev(OUT_NOTE);
  spout21(("(file " + fn + " written in " + kind + " format)\n").c_str());
  setoutlev(prev);
  return o.view ? gr_view(fn) : 0;
}

// ---------------------------------------------------------------------------
// Listing.

const char* opname(int op) {
  switch (op) {
    case OP_PAGE: return "page";
    case OP_CLOSE: return "close";
    case OP_LINE: return "line";
    case OP_LINETO: return "lineto";
    case OP_MOVETO: return "moveto";
    case OP_RECT: return "rectangle";
    case OP_POINT: return "point";
    case OP_SLEEP: return "sleep";
    case OP_UPDATE: return "update";
    case OP_CPOINT: return "cpoint";
    case OP_CTEXT: return "ctext";
    case OP_RLINETO: return "rlineto";
    case OP_RMOVETO: return "rmoveto";
    case OP_POLYBEGIN: return "polybegin";
    case OP_POLYEND: return "polyend";
    case OP_SPOINT: return "spoint";
    case OP_HEADER: return "header";
    case OP_PATHBEGIN: return "pathbegin";
    case OP_PATHEND: return "pathend";
    case OP_CLOUD: return "pointcloud";
    case OP_REG: return "register";
    case OP_TEXT: return "text";
    case OP_PIE: return "pieslice";
    default: return nullptr;
  }
}

struct Dump {
  std::vector<unsigned char> bytes;  // the whole stream
  Gdl* g = nullptr;
  long last = 0;                     // end of the previous record
  long nrec = 0;
  bool hex = true;
};

std::string num(double d) {
  char b[40];
  std::snprintf(b, sizeof b, "%.17g", d);
  return b;
}

// " v": one whole-number operand after its blank.
std::string spint(long v) {
  std::string s(1, ' ');
  return s += std::to_string(v);
}

// The operands of the record just read, as text.
std::string operands(int op) {
  const GdlOp& o = gr.op;
  const GdlRegs& p = gr.pend;
  auto sh = [&](int n) {
    std::string t;
    for (int i = 0; i < n; ++i) t += spint(o.s[i]);
    return t;
  };
  switch (op) {
    case OP_PAGE:
      return spint(p.xsize) + spint(p.ysize) + " " + num(p.width) +
             " " + num(p.height) + " " + std::to_string(p.bg[0]) + " " + std::to_string(p.bg[1]) +
             " " + std::to_string(p.bg[2]);
    case OP_LINE: case OP_RECT: return sh(4);
    case OP_LINETO: case OP_MOVETO: case OP_POINT: case OP_RLINETO: case OP_RMOVETO: return sh(2);
    case OP_SPOINT: return sh(3);
    case OP_SLEEP: return spint(o.l[0]);
    case OP_TEXT: return sh(2) + " \"" + std::string(o.str) + "\"";
    case OP_CTEXT: return " \"" + std::string(o.str) + "\"";
    case OP_HEADER: return " 132 " + std::to_string(o.fmt) + " " + std::to_string(o.order);
    case OP_CLOUD:
      return sh(3) + " " + std::to_string(o.l[0]) + " " + std::to_string(o.l[1]) + " " +
             std::to_string(o.l[2]) + " " + std::to_string(o.l[3]);
    case OP_PIE: return sh(3) + " " + num(o.d[0]) + " " + num(o.d[1]);
    case OP_X147: case OP_X149: return sh(3);
    case OP_X152: return sh(4) + " \"" + std::string(o.str) + "\"";
    case OP_X153: return sh(4) + " " + std::to_string(o.l[0]);
    case OP_X154: return sh(4) + " " + num(o.d[0]);
    case OP_REG: {
      std::string t = spint(o.reg) + ":";
      auto rgb = [](const unsigned char* c) {
        return spint(c[0]) + spint(c[1]) + spint(c[2]);
      };
      switch (o.reg) {
        case R_SYMBOL: return t + " " + std::to_string(p.symbol);
        case R_SYMSIZE: return t + " " + std::to_string(p.symsize);
        case R_PEN: return t + " " + std::to_string(p.pen);
        case R_LINERGB: return t + rgb(p.linergb);
        case R_SHADERGB: return t + rgb(p.shadergb);
        case R_SHADELEVEL: return t + " " + num(p.shadelevel);
        case R_SHADEPATTERN: return t + " " + std::to_string(p.shadepattern);
        case R_TEXTRGB: return t + rgb(p.textrgb);
        case R_TEXTSIZE: return t + " " + num(p.textsize);
        case R_TEXTANGLE: return t + " " + std::to_string(p.textangle);
        case R_TEXTHALIGN: return t + " " + std::to_string(p.texthalign);
        case R_TEXTVALIGN: return t + " " + std::to_string(p.textvalign);
        case R_XALPHA: return t + " " + num(p.xalpha);
        case R_XBETA: return t + " " + num(p.xbeta);
        case R_YALPHA: return t + " " + num(p.yalpha);
        case R_YBETA: return t + " " + num(p.ybeta);
        case R_LINEDASH: {
          t += spint(p.ndash);
          for (int i = 0; i <= p.ndash; ++i) t += spint(p.dash[i]);
          return t;
        }
        case R_CONNECT: return t + " " + std::to_string(p.connect);
        case R_CONNECTMISS: return t + " " + std::to_string(p.connectmiss);
        case R_LINEWIDTH: return t + " " + num(p.linewidth);
        case R_GBETA: return t + " " + num(p.gbeta);
        case R_JITTER: return t + " " + num(p.jitter);
        case R_JITTERSEED: return t + " " + num(p.jitterseed);
        case R_XBOUNDS: return t + " " + num(p.xbounds[0]) + " " + num(p.xbounds[1]);
        case R_YBOUNDS: return t + " " + num(p.ybounds[0]) + " " + num(p.ybounds[1]);
        case R_XTRANS: return t + " " + std::to_string(p.xtrans);
        case R_YTRANS: return t + " " + std::to_string(p.ytrans);
        case R_FONT: return t + " \"" + std::string(p.font) + "\"";
        case R_COLORTYPE: return t + " " + std::to_string(p.colortype);
        case R_USEPENS: return t + " " + std::to_string(p.usepens);
        default: return t;
      }
    }
    default: return "";
  }
}

int dumprender(void* ctx, int code) {
  Dump& d = *static_cast<Dump*>(ctx);
  if (code == GDL_RINIT || code == GDL_REND) return 0;
  long end = gdl_readpos(*d.g);
  const char* nm = opname(code);
  std::string line = std::to_string(d.last) + ": " + (nm ? nm : "opcode " + std::to_string(code)) +
                     operands(code);
  if (d.hex) {
    line += "  [";
    for (long i = d.last; i < end && i < static_cast<long>(d.bytes.size()); ++i) {
      char b[4];
      std::snprintf(b, sizeof b, "%s%02x", i == d.last ? "" : " ", d.bytes[static_cast<size_t>(i)]);
      line += b;
    }
    line += "]";
  }
  line += "\n";
  spout21(line.c_str());
  d.last = end;
  ++d.nrec;
  return stopflag ? 1 : 0;
}

int copyvec(void* ctx, const void* p, size_t n) {
  auto* v = static_cast<std::vector<unsigned char>*>(ctx);
  const unsigned char* b = static_cast<const unsigned char*>(p);
  v->insert(v->end(), b, b + n);
  return 0;
}

// gph dump [using graphfile] [, nohex]
int gph_dump() {
  ParseResult pr;
  GphOpts o;
  if (int rc = parse({.varlist = PERM_NO, .ifexp = PERM_NO, .range = PERM_NO, .usingfile = PERM_OPTIONAL, .options = PERM_OPTIONAL}, pr)) return rc;
  bool hex = findopt(pr, "hex", 3, 1) != 0;
  if (int rc = chkopt(pr)) return rc;
  std::unique_ptr<Gdl> loaded;
  Gdl* g = curgraph();
  std::string name;
  if (pr.hasusing) {
    name = gr_addsuffix(pr.usingfn, ".gph");
    std::vector<unsigned char> d;
    if (int rc = slurp(name, d)) return rc;
    loaded = std::make_unique<Gdl>();
    gdl_put(*loaded, d.data(), static_cast<int>(d.size()));
    g = loaded.get();
  }
  if (!g) return nocurrent();
  Dump d;
  d.g = g;
  d.hex = hex;
  if (int rc = gdl_copyout(*g, copyvec, &d.bytes)) return rc;
  GdlRegs cur = gr.cur, pend = gr.pend;
  GdlRenderer fn0[3];
  void* cx0[3];
  for (int i = 0; i < 3; ++i) fn0[i] = gr.rfn[i], cx0[i] = gr.rctx[i], gr.rfn[i] = nullptr;
  int rc = gdl_replay(*g, dumprender, &d);
  for (int i = 0; i < 3; ++i) gr.rfn[i] = fn0[i], gr.rctx[i] = cx0[i];
  gr.cur = cur, gr.pend = pend;
  if (rc == 1) return 1;
  if (rc) return gdl_errmsg(rc, name.c_str());
  spout21f("(%ld records, %ld bytes)\n", d.nrec, static_cast<long>(d.bytes.size()));
  return 0;
}

// Words left over after a subcommand that takes no more: the message names
// the first of them whole, however long, after the command the user typed.
static int leftover(const char* sub) {
  std::string w;
  gettoklong(w, prsestd);
  if (w == ",") return errmsgf(RC_SYNTAX, "%s: options not allowed\n", sub);
  return errmsgf(RC_SYNTAX, "%s: %s not allowed\n", sub, w.c_str());
}

// gph name NAME [, replace]: the next `gdi init` draws under NAME; a graph
// of that name already in memory is replaced only when asked.
int gph_name() {
  std::string nm = gettok(" ,");
  if (nm.empty()) return required("graph name");
  bool replace = false;
  const char* p = peektok_chr();
  if (p && *p == ',') {
    gettok(" ,");
    std::string w;
    gettoklong(w, " ,");
    if (w.empty()) return error(RC_SYNTAX);
    // the words come from a graph command's name() option: name it as graph combine does
    if (w != "replace") return errmsgf(RC_SYNTAX, "name(): option %s not allowed\n", w.c_str());
    replace = true;
    p = peektok_chr();
  }
  if (p && *p) return leftover("name()");
  if (!replace && gr_graph(nm, false))
    return errmsgf(RC_DEFINED, "graph %s already exists; use name(%s, replace)\n", nm.c_str(), nm.c_str());
  gr.curname = nm;
  gr.mode = 2;
  return 0;
}

// gph dir: the graphs in memory.
int gph_dir() {
  const char* p = peektok_chr();
  if (p && *p) return leftover("graph dir");
  for (auto& [nm, g] : gr.graphs)
    spout21f("  %s%s (%ld bytes)\n", nm.c_str(), g.get() == gr.gdl ? "*" : "", gdl_size(*g));
  return 0;
}

// gph display NAME: makes a graph in memory current.
int gph_display() {
  std::string nm = gettok(prsestd);
  if (nm.empty()) return gr.gdl ? 0 : nocurrent();
  const char* p = peektok_chr();
  if (p && *p) return leftover("graph display");
  Gdl* g = gr_graph(nm, false);
  if (!g) return errmsgf(RC_NOTFOUND, "graph %s not found\n", nm.c_str());
  gr.curname = nm;
  gr.gdl = g;
  ++gr.shown;
  return 0;
}

// gph drop NAME | _all
int gph_drop() {
  std::string nm = gettok(prsestd);
  if (nm.empty()) return required("graph name");
  const char* p = peektok_chr();
  if (p && *p) return leftover("graph drop");
  if (nm == "_all") {
    gr_reset();
    return 0;
  }
  auto it = gr.graphs.find(nm);
  if (it == gr.graphs.end()) return errmsgf(RC_NOTFOUND, "graph %s not found\n", nm.c_str());
  if (it->second.get() == gr.gdl) gr.gdl = nullptr, gr.curname.clear();
  gr.graphs.erase(it);
  return 0;
}

int cmd_gph(int) {
  std::string sub = gettok(prsestd);
  if (sub.empty()) return errmsgf(RC_SYNTAX, "gph subcommand required\n");
  if (sub == "save") return gph_save();
  if (sub == "use") return gph_use();
  if (sub == "export") return gph_export();
  if (sub == "dump") return gph_dump();
  if (sub == "name") return gph_name();
  if (sub == "dir") return gph_dir();
  if (sub == "display") return gph_display();
  if (sub == "drop") return gph_drop();
  return errmsgf(RC_UNRECOGNIZED, "gph subcommand %s not recognized\n", sub.c_str());
}

}  // namespace

void graphics_bindcommands() {
  cmdbind("_gph", cmd_gph);
  gscheme_bindcommands();
  gcombine_bindcommands();
  gdi_bindcommands();
  serset_bindcommands();
}
