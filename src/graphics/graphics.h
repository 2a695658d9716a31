// The graphics engine: series sets (frozen copies of variables for drawing),
// the graph display list with its register blocks, recording calls, opcode
// execution, renderer slots and replay, and the as-is graph files. Device
// coordinates are signed 16-bit units with the origin at the bottom left and
// y growing upwards; the longer side of the page is 32000 units.
#pragma once
#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

// ---------------------------------------------------------------------------
// Series sets.

constexpr int SS_MAXSETS = 2000;     // directory entries
constexpr int SS_MAXVARS = 100;      // variables of one set
constexpr int SS_NAMELEN = 54;       // name field width
constexpr int SS_FMTLEN = 12;        // format field width
constexpr int SS_HEADER = 8312;      // bytes of the header of a set's file
constexpr int SS_MAXREC = 1600;      // widest record
constexpr long SS_WINDOW = 400000;   // bytes of records held in memory

struct Serset {
  int k = 0;                          // variables
  long n = 0;                         // observations
  unsigned char types[SS_MAXVARS] = {};  // storage types
  std::string names[SS_MAXVARS];      // variable names
  std::string fmts[SS_MAXVARS];       // display formats
  double mins[SS_MAXVARS] = {};       // minimum of each variable
  double maxs[SS_MAXVARS] = {};       // maximum of each variable
  bool changed = false;               // header differs from the file's copy
  int offs[SS_MAXVARS] = {};          // byte offset of each variable in a record
  int lrec = 0;                       // record width
  std::string fname;                  // the set's temporary file
  std::FILE* fp = nullptr;            // open while the set is current
  std::vector<unsigned char> win;     // record window
  long wfirst = 0, wcount = 0;        // records held in the window
  bool wdirty = false;                // window changed since it was read
};

struct SsDirEntry {
  long seq = 0;                       // sequence number, 0 = free
  bool opened = false;                // the set's file is open
  std::unique_ptr<Serset> set;        // the set (header and window)
};

struct SersetState {
  SsDirEntry dir[SS_MAXSETS];         // the directory
  long seqctr = 0;                    // last sequence number given
  int cur = -1;                       // current entry, -1 when none
};

// Makes entry id current: 0, or 1 when it holds no usable set.
int serset_set(int id);
// Observations of the current set, -1 when none is current.
long serset_no();
// Variables of the current set, 0 when none.
int serset_k();
// Variable j (0-based) at observation i (0-based) of the current set; missing
// when outside the set.
double serset_data(int j, long i);
// String value of variable j at i; empty when outside or numeric.
void serset_sdata(int j, long i, std::string& out);
// The current set itself (nullptr when none).
Serset* serset_cur();
// Saves and restores which set is current around a drawing call.
int serset_borrow();
void serset_return(int saved);
// Drops set id (its file removed); nothing when it holds no set.
void serset_drop(int id);
// Drops every set and removes their files (clear, tests, exit).
void serset_clearall();
// Starts an empty set with k variables of the given types, names and formats
// in a new directory entry; it becomes current. 0 or a return code (printed).
[[nodiscard]] int serset_new(int k, const unsigned char* types, const std::string* names,
                             const std::string* fmts, int* id);
// Pointer to record i of the current set (inside the window; made writable
// when `write`), nullptr on an I/O failure.
unsigned char* serset_rec(long i, bool write);
// Appends one record (lrec bytes) to the current set. 0 or 693.
[[nodiscard]] int serset_append(const unsigned char* rec);
// Writes the window and the header back to the current set's file. 0 or 693.
[[nodiscard]] int serset_flush();
// Encodes a double into a cell of a storage type and decodes it again.
void ss_encode(int type, double v, unsigned char* p);
double ss_decode(int type, const unsigned char* p);
// Posts r(N), r(k), r(id) of a set.
void serset_postr(long n, int k, int id);
// Posts r(min), r(max), r(N) of one variable of a set.
void serset_postminmax(double mn, double mx, long n);
// Posts an axis scale: r(min), r(max), r(delta), r(nticks).
void gr_postscale(double lo, double hi, double delta, int nticks);
// Nice tick values (steps of 1, 2 or 5 times a power of ten) covering [lo, hi]
// in about n intervals.
void gr_natscale(double lo, double hi, int n, double* first, double* last, double* delta);
void gdi_bindcommands();

void serset_bindcommands();

// ---------------------------------------------------------------------------
// Display list.

constexpr int GDL_BUFSIZE = 16384;   // in-memory part of the stream
constexpr int GDL_MAXDASH = 18;      // dash lengths of register 20
constexpr int GDL_FONTLEN = 256;     // longest font name kept
constexpr int GDL_STRMAX = 32768;    // longest string operand read

// Opcodes.
enum : int {
  OP_PAGE = 0, OP_CLOSE = 15, OP_LINE = 48, OP_LINETO = 49, OP_MOVETO = 50, OP_RECT = 51,
  OP_POINT = 52, OP_SLEEP = 53, OP_UPDATE = 54, OP_CPOINT = 55, OP_CTEXT = 56, OP_RLINETO = 57,
  OP_RMOVETO = 58, OP_POLYBEGIN = 59, OP_POLYEND = 60, OP_SPOINT = 61, OP_HEADER = 129,
  OP_PATHBEGIN = 144, OP_PATHEND = 145, OP_CLOUD = 146, OP_X147 = 147, OP_REG = 148,
  OP_X149 = 149, OP_TEXT = 150, OP_PIE = 151, OP_X152 = 152, OP_X153 = 153, OP_X154 = 154
};
// Renderer codes beyond the opcodes.
enum : int { GDL_RINIT = 5000, GDL_REND = 5001 };

// Register codes (opcode 148).
enum : int {
  R_SYMBOL = 1, R_SYMSIZE, R_PEN, R_LINERGB, R_PENCHANGE, R_SHADERGB, R_SHADELEVEL,
  R_SHADEPATTERN, R_SHADECHANGE, R_TEXTRGB, R_TEXTSIZE, R_TEXTANGLE, R_TEXTHALIGN,
  R_TEXTVALIGN, R_TEXTCHANGE, R_XALPHA, R_XBETA, R_YALPHA, R_YBETA, R_LINEDASH, R_CONNECT,
  R_CONNECTMISS, R_LINEWIDTH, R_GBETA, R_JITTER, R_JITTERSEED, R_XBOUNDS, R_YBOUNDS,
  R_XTRANS, R_YTRANS, R_FONT, R_COLORTYPE, R_USEPENS, R_LAST = R_USEPENS
};

// One register block (the drawing state).
struct GdlRegs {
  int symbol = 255;                       // 1: symbol code, 255 none
  int symsize = 166;                      // 2: symbol size (device units, a radius)
  int pen = 0;                            // 3: pen 1..9
  unsigned char linergb[3] = {128, 128, 128};   // 4
  unsigned char shadergb[3] = {128, 128, 128};  // 6
  double shadelevel = -1.0;               // 7: percent intensity of the shade
  int shadepattern = 0;                   // 8: 0..9 patterns, 99 none, 100 background
  unsigned char textrgb[3] = {128, 128, 128};   // 10
  double textsize = 12.0;                 // 11: points
  int textangle = 0;                      // 12: degrees counter-clockwise
  int texthalign = 0;                     // 13: 0 left, 1 centre, 2 right
  int textvalign = 0;                     // 14: 0 top, 1 middle, 2 baseline, 3 bottom
  double xalpha = 0.0, xbeta = 1.0;       // 16, 17
  double yalpha = 0.0, ybeta = 1.0;       // 18, 19
  int ndash = 0;                          // 20: dash count, 0 solid
  int32_t dash[GDL_MAXDASH + 1] = {};     // 20: offset, then the lengths (device units)
  int connect = 1;                        // 21: 1 direct .. 4 ascending
  int connectmiss = 0;                    // 22: 1 lines go across missing values
  double linewidth = 1.0;                 // 23: multiples of the base pen width
  double gbeta = 1.0;                     // 24: graph-metric scale
  double jitter = 0.0;                    // 25
  double jitterseed = 0.0;                // 26
  double xbounds[2] = {0.0, 1.0};         // 27
  double ybounds[2] = {0.0, 1.0};         // 28
  int xtrans = 1, ytrans = 1;             // 29, 30: 1 linear, 2 ln
  char font[GDL_FONTLEN] = {};            // 31: font name
  int colortype = 0;                      // 32
  int usepens = 0;                        // 33
  // Page and flags of the current block.
  int xsize = 0, ysize = 0;               // page size in device units
  double width = 6.0, height = 4.0;       // page size in inches
  int bg[3] = {0, 0, 0};                  // background colour
  bool linechg = true, shadechg = true, textchg = true;  // attributes changed
  bool record = true;                     // calls are appended to the stream
  bool maybedraw = true;                  // calls are handed to the renderers
  bool initflag = false;                  // setters record even unchanged values
};

// Operands of the opcode being executed (the rest of the pending block).
struct GdlOp {
  int op = 0;                             // opcode
  int reg = 0;                            // register code of opcode 148
  int16_t s[4] = {};                      // short operands
  int32_t l[4] = {};                      // long operands
  double d[2] = {};                       // double operands
  int fmt = 33, order = 1;                // header format and byte-order bytes
  int slen = 0;                           // length of the string operand
  char str[GDL_STRMAX] = {};              // string operand (NUL-terminated)
};

// A display list: a byte stream held in a buffer backed by a temporary file.
struct Gdl {
  unsigned char buf[GDL_BUFSIZE];         // bytes not yet in the file / read ahead
  int n = 0;                              // bytes in buf
  int rpos = 0;                           // read position inside buf
  std::FILE* tmp = nullptr;               // overflow file, opened on first need
  long filebytes = 0;                     // bytes written to tmp
  int state = 0;                          // 0 writing, 1 reading, 2 failed
  bool hilo = true;                       // byte order of the stream being read
  bool eof = false;                       // the reader reached the end
  long rcount = 0;                        // bytes read since the rewind
  Gdl() = default;
  Gdl(const Gdl&) = delete;
  Gdl& operator=(const Gdl&) = delete;
  ~Gdl();
};

using GdlRenderer = int (*)(void* ctx, int code);

// The clip rectangle of the series family, in device units: graph programs
// set it to the plot region so that data outside an axis range, or a value a
// log scale cannot show, never reaches the display list. It is state of the
// drawing program, not a register: the stream holds only the clipped records.
struct GdiClip {
  bool on = false;
  double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  bool inside(double x, double y) const {
    return !on || (x >= x0 - 0.5 && x <= x1 + 0.5 && y >= y0 - 0.5 && y <= y1 + 0.5);
  }
};

struct GraphicsState {
  GdlRegs cur;                            // current register block
  GdlRegs pend;                           // pending register block
  GdlOp op;                               // pending operands
  GdlRenderer rfn[3] = {};                // renderer slots
  void* rctx[3] = {};                     // their contexts
  std::map<std::string, std::unique_ptr<Gdl>> graphs;  // graphs in memory by name
  std::string curname;                    // name of the current graph, "" none
  Gdl* gdl = nullptr;                     // the current graph's display list
  int mode = 1;                           // page set-up mode of the current graph
  bool polyopen = false;                  // a polygon is open (gdi polybegin)
  std::string lastfile;                   // file name for the header messages
  long shown = 0;                         // pages begun or graphs redisplayed, so that a
                                          // front end can tell a command drew a graph
  GdiClip clip;                           // `gdi clip`, off at each page
};
extern GraphicsState gr;
extern SersetState sst;

// Stream I/O.
void gdl_clear(Gdl& g);
void gdl_put(Gdl& g, const void* p, int len);
int gdl_rewind(Gdl& g);                   // 0, or 691 when the stream cannot be read
// Bytes read since the last rewind.
long gdl_readpos(const Gdl& g);
// Bytes in the stream (flushing nothing).
long gdl_size(const Gdl& g);
// Copies the whole stream to fn through fn(bytes, len); 0 or the callback's code.
int gdl_copyout(Gdl& g, int (*fn)(void* ctx, const void* p, size_t n), void* ctx);

// Recording calls: each records (unless recording is off) and executes.
int gdl_page(int xsize, int ysize, double width, double height, int r, int g, int b,
             int usepens, int mode, int colortype);
int gdl_op0(int op);                      // close, update, cpoint, poly/path begin/end
int gdl_op2(int op, int a, int b);        // lineto, moveto, point, rlineto, rmoveto
int gdl_op4(int op, int a, int b, int c, int d);  // line, rectangle
int gdl_spoint(int x, int y, int size);
int gdl_sleep(long ms);
int gdl_text(int x, int y, const char* text);
int gdl_ctext(const char* text);
int gdl_pie(int x, int y, int radius, double a1, double a2);
int gdl_cloud(int a, int b, int c, const int32_t* l4);
// Register setters: the value is taken from gr.pend; nothing is recorded when
// it equals the current value and the init flag is off.
int gdl_setreg(int reg);
// The standard register values (resetregs and the end of init).
int gdl_stdregs();
// Resets a register block to the defaults.
void gdl_resetregs(GdlRegs& r);

int gdl_exec_opcode(int op);
int gdl_set_renderer(GdlRenderer fn, void* ctx);
void gdl_unset_renderer(int index);
int gdl_init_renderers();
int gdl_end_renderers();
// Replays g into fn; 0 or a return code (messages printed by the caller
// through gdl_errmsg for the 6000 family).
int gdl_replay(Gdl& g, GdlRenderer fn, void* ctx);
// Shows the message of a display-list error code and returns its return code.
int gdl_errmsg(int code, const char* fname);

// The current graph (creating the entry of name when absent).
Gdl* gr_graph(const std::string& name, bool create);
void gr_reset();
// The graphics subsystem's session state back to its start (reset-all): no
// graphs, no series sets, the scheme read again when next used.
void graphics_reset();

// Renderers.
struct ExportOpts {
  int width = 0, height = 0;              // pixels (PNG) or 0 for the default
  int dpi = 0;                            // PNG pixels per inch (size and metadata), 0 default
};
// Writes the graph g to fn in the format of its suffix. 0 or a code (printed).
int gr_export(Gdl& g, const std::string& fn, const ExportOpts& o);

void graphics_bindcommands();
// Binds `_gcombine` (gcombine.cpp).
void gcombine_bindcommands();
