// The XML forms of a dataset (see xmlio.h): writers that build the document
// text, and one expat reader for both forms. The reader refuses any
// document type declaration before its contents are looked at, so entity
// declarations (and with them expansion attacks) never reach the parser's
// tables; external entities and parameter entities are switched off too.
//
// The dataset document:
//   <?xml version="1.0" encoding="UTF-8"?>
//   <dataset format="zelta-dataset" version="1">
//     <datalabel>text</datalabel>
//     <variables>
//       <variable name="x" type="double" format="%10.0g" valuelabel="lbl"><label>text</label></variable>
//     </variables>
//     <characteristics><char owner="_dta" name="note1">text</char></characteristics>
//     <valuelabels><valuelabel name="lbl"><map value="1">text</map></valuelabel></valuelabels>
//     <data nobs="2"><o><v>1.5</v><v>.a</v></o> ... </data>
//   </dataset>
// Numbers are written with 17 significant digits (which read back as the
// same double), missing values as . and .a to .z. A text that is not valid
// UTF-8 or holds a control character other than tab, line feed and
// carriage return (which go as character references) is written as
// hexadecimal digits with the attribute x="1".
#include "files/xmlio.h"

#include <expat.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "data/value.h"
#include "files/files.h"
#include "output/format.h"
#include "output/rc.h"

namespace {

constexpr const char* SHEETNS = "urn:schemas-microsoft-com:office:spreadsheet";
constexpr long SHEET_MAXCOLS = 16384;    // columns a worksheet may have
constexpr long SHEET_MAXROWS = 1048576;  // rows a worksheet may have

// True when s is valid UTF-8 (no overlong forms or surrogates).
bool validutf8(const std::string& s) {
  size_t i = 0, n = s.size();
  while (i < n) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    size_t k;
    unsigned cp;
    if (c < 0x80) {
      ++i;
      continue;
    } else if (c >= 0xc2 && c <= 0xdf) {
      k = 1, cp = c & 0x1f;
    } else if (c >= 0xe0 && c <= 0xef) {
      k = 2, cp = c & 0x0f;
    } else if (c >= 0xf0 && c <= 0xf4) {
      k = 3, cp = c & 0x07;
    } else {
      return false;
    }
    if (n - i <= k) return false;
    for (size_t j = 1; j <= k; ++j) {
      const unsigned char d = static_cast<unsigned char>(s[i + j]);
      if ((d & 0xc0) != 0x80) return false;
      cp = (cp << 6) | (d & 0x3f);
    }
    if ((k == 2 && cp < 0x800) || (k == 3 && (cp < 0x10000 || cp > 0x10ffff)) || (cp >= 0xd800 && cp <= 0xdfff))
      return false;
    i += k + 1;
  }
  return true;
}

// True when s can go into a document as escaped text.
bool plaintext(const std::string& s) {
  for (char ch : s) {
    const unsigned char c = static_cast<unsigned char>(ch);
    if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') return false;
  }
  return validutf8(s);
}

// Appends s escaped for element text or an attribute value.
void esc(const std::string& s, std::string& out) {
  for (char c : s) switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\t': out += "&#9;"; break;
      case '\n': out += "&#10;"; break;
      case '\r': out += "&#13;"; break;
      default: out += c;
    }
}

// Appends <tag>text</tag>, in hexadecimal with x="1" when the text cannot go
// as it is; an empty text is <tag/>.
void textel(const char* tag, const std::string& attrs, const std::string& s, std::string& out) {
  out += '<';
  out += tag;
  out += attrs;
  if (s.empty()) {
    out += "/>";
    return;
  }
  if (plaintext(s)) {
    out += '>';
    esc(s, out);
  } else {
    out += " x=\"1\">";
    static const char* hex = "0123456789abcdef";
    for (char ch : s) {
      const unsigned char c = static_cast<unsigned char>(ch);
      out += hex[c >> 4];
      out += hex[c & 15];
    }
  }
  out += "</";
  out += tag;
  out += '>';
}

// A number as the dataset document writes it.
void numtext(double x, std::string& out) {
  if (ismissing(x)) {
    const int k = missing_code(x);
    out += '.';
    if (k > 0) out += static_cast<char>('a' + k - 1);
    return;
  }
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.17g", x);
  out += buf;
}

// Reads text as a number: optional blanks, a decimal number, or . and .a to
// .z (with missing). False otherwise.
bool readnum(const std::string& s, double* x, bool missing) {
  size_t b = s.find_first_not_of(" \t\r\n"), e = s.find_last_not_of(" \t\r\n");
  if (b == std::string::npos) return false;
  const std::string t = s.substr(b, e - b + 1);
  if (missing && t[0] == '.' && (t.size() == 1 || (t.size() == 2 && t[1] >= 'a' && t[1] <= 'z'))) {
    *x = misval_k(t.size() == 1 ? 0 : t[1] - 'a' + 1);
    return true;
  }
  if (!std::isdigit(static_cast<unsigned char>(t[0])) && t[0] != '-' && t[0] != '+' && t[0] != '.') return false;
  char* end = nullptr;
  *x = std::strtod(t.c_str(), &end);
  return *end == 0 && std::isfinite(*x) && !ismissing(*x);
}

// Latin-1 bytes as UTF-8 (for a text that is not UTF-8 already), control
// characters other than tab and line ends dropped: the spreadsheet form
// has no way to write them.
std::string sheettext(const std::string& s) {
  std::string out;
  const bool utf = validutf8(s);
  for (char ch : s) {
    const unsigned char c = static_cast<unsigned char>(ch);
    if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') continue;
    if (c >= 0x80 && !utf) {
      out += static_cast<char>(0xc0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3f));
    } else {
      out += ch;
    }
  }
  return out;
}

// --- The reader ---------------------------------------------------------

struct Cell {
  bool isnum = false;  // ss:Type="Number"
  bool has = false;    // holds a Data element
  std::string text;
};

struct Reader {
  XML_Parser p = nullptr;
  int kind = 0;          // 0 either, 1 dataset, 2 spreadsheet (set by the root)
  XmlData* d = nullptr;
  int rc = 0;
  std::string msg;
  std::vector<std::string> path;  // open elements (local names)
  bool collect = false;  // inside a text element
  bool hex = false;      // its text is hexadecimal
  std::string text;      // the text collected
  std::string a1, a2;    // the text element's attributes (char owner/name, map value)
  // dataset document
  size_t col = 0;        // values read in the current observation
  bool indata = false;
  std::string curlabel;  // the value label being read
  // spreadsheet
  int sheets = 0;        // worksheets begun
  std::vector<std::vector<Cell>> rows;
  long cellcol = 0;      // next column (0-based) of the current row
  Cell cur;

  void fail(int code, const std::string& m) {
    if (rc) return;
    rc = code;
    msg = m;
    XML_StopParser(p, XML_FALSE);
  }
};

// The local part of an expanded name "uri|local".
const char* local(const char* name) {
  const char* bar = std::strrchr(name, '|');
  return bar ? bar + 1 : name;
}
bool inns(const char* name, const char* ns) {
  const char* bar = std::strrchr(name, '|');
  return bar && static_cast<size_t>(bar - name) == std::strlen(ns) && !std::strncmp(name, ns, std::strlen(ns));
}
const char* attr(const char** atts, const char* want) {
  for (int i = 0; atts[i]; i += 2)
    if (!std::strcmp(local(atts[i]), want)) return atts[i + 1];
  return nullptr;
}

// The text collected, decoded from hexadecimal when so marked. False for
// bad hexadecimal.
bool decoded(Reader& r, std::string& out) {
  if (!r.hex) {
    out = r.text;
    return true;
  }
  out.clear();
  std::string t;
  for (char c : r.text)
    if (!std::isspace(static_cast<unsigned char>(c))) t += c;
  if (t.size() % 2) return false;
  for (size_t i = 0; i < t.size(); i += 2) {
    const auto v = [](char c) {
      return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
    };
    const int h = v(t[i]), l = v(t[i + 1]);
    if (h < 0 || l < 0) return false;
    out += static_cast<char>(h * 16 + l);
  }
  return true;
}

void startcollect(Reader& r, const char** atts) {
  r.collect = true;
  r.text.clear();
  const char* x = attr(atts, "x");
  r.hex = x && !std::strcmp(x, "1");
}

void XMLCALL onstart(void* ud, const char* name, const char** atts) {
  Reader& r = *static_cast<Reader*>(ud);
  if (r.rc) return;
  const std::string el = local(name);
  const std::string parent = r.path.empty() ? "" : r.path.back();
  r.path.push_back(el);
  if (r.path.size() > 64) return r.fail(RC_FILEFORMAT, "elements nested too deeply");
  if (r.path.size() == 1) {  // the root decides the form
    const char* f = attr(atts, "format");
    if (el == "dataset" && f && !std::strcmp(f, "zelta-dataset")) {
      const char* v = attr(atts, "version");
      if (!v || std::strcmp(v, "1")) return r.fail(RC_FILEFORMAT, "a dataset document of an unknown version");
      if (r.kind == 2) return r.fail(RC_FILEFORMAT, "a dataset document, not a spreadsheet");
      r.kind = 1;
    } else if (el == "Workbook" && inns(name, SHEETNS)) {
      if (r.kind == 1) return r.fail(RC_FILEFORMAT, "a spreadsheet, not a dataset document");
      r.kind = 2;
    } else {
      return r.fail(RC_FILEFORMAT, "neither a dataset document nor a spreadsheet");
    }
    return;
  }
  XmlData& d = *r.d;
  if (r.kind == 1) {
    if (el == "variable" && parent == "variables") {
      if (r.indata) return r.fail(RC_CORRUPT, "variables declared after the data");
      XmlVar v;
      const char* n = attr(atts, "name");
      const char* t = attr(atts, "type");
      const char* f = attr(atts, "format");
      const char* l = attr(atts, "valuelabel");
      if (!n || !fa_goodname(n)) return r.fail(RC_CORRUPT, std::string("variable name '") + (n ? n : "") + "' invalid");
      v.name = n;
      for (const XmlVar& o : d.vars)
        if (o.name == v.name) return r.fail(RC_CORRUPT, "variable " + v.name + " declared twice");
      v.type = t ? typecode(t) : 0;
      if (!v.type) return r.fail(RC_CORRUPT, "variable " + v.name + ": type '" + (t ? t : "") + "' invalid");
      if (f) {
        v.fmt = f;
        if (chkfmt(f, isstrtype(v.type) ? FMTK_STR : FMTK_NUM))
          return r.fail(RC_CORRUPT, "variable " + v.name + ": format '" + v.fmt + "' invalid");
      }
      if (l && *l) {
        if (!fa_goodname(l) || isstrtype(v.type)) return r.fail(RC_CORRUPT, "variable " + v.name + ": value label invalid");
        v.lbl = l;
      }
      if (d.vars.size() >= 32767) return r.fail(RC_CORRUPT, "too many variables");
      d.vars.push_back(v);
    } else if (el == "label" && parent == "variable") {
      startcollect(r, atts);
    } else if (el == "datalabel" && parent == "dataset") {
      startcollect(r, atts);
    } else if (el == "char" && parent == "characteristics") {
      const char* o = attr(atts, "owner");
      const char* n = attr(atts, "name");
      if (!o || !n || !fa_goodname(n) || (std::strcmp(o, "_dta") && !fa_goodname(o)))
        return r.fail(RC_CORRUPT, "characteristic without a valid owner and name");
      r.a1 = o;
      r.a2 = n;
      startcollect(r, atts);
    } else if (el == "valuelabel" && parent == "valuelabels") {
      const char* n = attr(atts, "name");
      if (!n || !fa_goodname(n)) return r.fail(RC_CORRUPT, "value label without a valid name");
      r.curlabel = n;
      d.labels.emplace_back(n, ValueLabel{});
    } else if (el == "map" && parent == "valuelabel") {
      const char* v = attr(atts, "value");
      double x;
      if (!v || !readnum(v, &x, false) || x != std::trunc(x) || x < VL_MINVAL || x > VL_MAXVAL)
        return r.fail(RC_CORRUPT, "value label " + r.curlabel + ": value invalid");
      r.a1 = v;
      startcollect(r, atts);
    } else if (el == "data" && parent == "dataset") {
      r.indata = true;
      d.num.assign(d.vars.size(), {});
      d.str.assign(d.vars.size(), {});
    } else if (el == "o" && parent == "data") {
      r.col = 0;
      ++d.nobs;
    } else if (el == "v" && parent == "o") {
      if (r.col >= d.vars.size())
        return r.fail(RC_CORRUPT, "observation " + std::to_string(d.nobs) + " has more values than there are variables");
      startcollect(r, atts);
    } else if (el == "variables" || el == "characteristics" || el == "valuelabels") {
      if (parent != "dataset") return r.fail(RC_CORRUPT, "<" + el + "> out of place");
    } else {
      return r.fail(RC_CORRUPT, "<" + el + "> unexpected inside <" + parent + ">");
    }
    return;
  }
  // spreadsheet: the first worksheet's rows and cells
  if (el == "Worksheet") {
    ++r.sheets;
  } else if (r.sheets != 1) {
    return;
  } else if (el == "Row" && parent == "Table") {
    long at = static_cast<long>(r.rows.size()) + 1;
    if (const char* ix = attr(atts, "Index")) {
      char* e;
      at = std::strtol(ix, &e, 10);
      if (*e || at <= static_cast<long>(r.rows.size()) || at > SHEET_MAXROWS)
        return r.fail(RC_CORRUPT, "row index invalid");
    }
    if (at > SHEET_MAXROWS) return r.fail(RC_CORRUPT, "more rows than a worksheet has");
    r.rows.resize(static_cast<size_t>(at));
    r.cellcol = 0;
  } else if (el == "Cell" && parent == "Row") {
    if (const char* ix = attr(atts, "Index")) {
      char* e;
      const long at = std::strtol(ix, &e, 10);
      if (*e || at <= r.cellcol || at > SHEET_MAXCOLS) return r.fail(RC_CORRUPT, "cell index invalid");
      r.cellcol = at - 1;
    }
    if (r.cellcol >= SHEET_MAXCOLS) return r.fail(RC_CORRUPT, "more columns than a worksheet has");
    r.cur = Cell{};
  } else if (el == "Data" && parent == "Cell") {
    const char* t = attr(atts, "Type");
    r.cur.has = true;
    r.cur.isnum = t && !std::strcmp(t, "Number");
    startcollect(r, atts);
    r.hex = false;
  }
}

void XMLCALL onend(void* ud, const char*) {
  Reader& r = *static_cast<Reader*>(ud);
  if (r.rc) return;
  const std::string el = r.path.back();
  r.path.pop_back();
  XmlData& d = *r.d;
  std::string t;
  if (r.collect) {
    r.collect = false;
    if (!decoded(r, t)) return r.fail(RC_CORRUPT, "<" + el + "> holds invalid hexadecimal text");
  }
  if (r.kind == 1) {
    if (el == "label" && !r.path.empty() && r.path.back() == "variable") {
      d.vars.back().varlab = t;
    } else if (el == "datalabel") {
      d.datalbl = t;
    } else if (el == "char") {
      d.chars.push_back({r.a1, r.a2, t});
    } else if (el == "map") {
      if (d.labels.back().second.n() >= VL_MAXN) return r.fail(RC_CORRUPT, "value label " + r.curlabel + " too long");
      if (vlset(d.labels.back().second, static_cast<int32_t>(std::strtol(r.a1.c_str(), nullptr, 10)), t))
        return r.fail(RC_CORRUPT, "value label " + r.curlabel + " invalid");
    } else if (el == "v") {
      const XmlVar& v = d.vars[r.col];
      if (isstrtype(v.type)) {
        if (t.size() > static_cast<size_t>(v.type))
          return r.fail(RC_CORRUPT, "observation " + std::to_string(d.nobs) + ": a value of " + v.name + " longer than its type");
        d.str[r.col].push_back(t);
      } else {
        double x;
        if (!readnum(t, &x, true))
          return r.fail(RC_CORRUPT, "observation " + std::to_string(d.nobs) + ": '" + t.substr(0, 40) + "' not a number for " + v.name);
        d.num[r.col].push_back(x);
      }
      ++r.col;
    } else if (el == "o") {
      if (r.col != d.vars.size())
        return r.fail(RC_CORRUPT, "observation " + std::to_string(d.nobs) + " has " + std::to_string(r.col) + " values, not " +
                                      std::to_string(d.vars.size()));
    }
    return;
  }
  if (r.sheets != 1) return;
  if (el == "Data") {
    r.cur.text = t;
  } else if (el == "Cell" && !r.rows.empty()) {
    std::vector<Cell>& row = r.rows.back();
    if (r.cur.has) {
      if (row.size() <= static_cast<size_t>(r.cellcol)) row.resize(static_cast<size_t>(r.cellcol) + 1);
      row[static_cast<size_t>(r.cellcol)] = r.cur;
    }
    ++r.cellcol;
  }
}

void XMLCALL ontext(void* ud, const char* s, int len) {
  Reader& r = *static_cast<Reader*>(ud);
  if (r.collect && !r.rc) r.text.append(s, static_cast<size_t>(len));
}

void XMLCALL ondoctype(void* ud, const char*, const char*, const char*, int) {
  Reader& r = *static_cast<Reader*>(ud);
  r.fail(RC_FILEFORMAT, "a document type declaration is not allowed");
}
void XMLCALL onentity(void* ud, const char*, int, const char*, int, const char*, const char*, const char*,
                      const char*) {
  Reader& r = *static_cast<Reader*>(ud);
  r.fail(RC_FILEFORMAT, "an entity declaration is not allowed");
}

// A valid, unique variable name made from a spreadsheet's heading.
std::string sheetname(const std::string& h, size_t col, const std::vector<XmlVar>& vars) {
  std::string n;
  for (char c : h) {
    if (std::isalnum(static_cast<unsigned char>(c)) || c == '_') n += c;
    else if (c == ' ' && !n.empty() && n.back() != '_') n += '_';
  }
  n = n.substr(0, 32);
  if (!n.empty() && std::isdigit(static_cast<unsigned char>(n[0]))) n = ("_" + n).substr(0, 32);
  const auto taken = [&](const std::string& s) {
    for (const XmlVar& v : vars)
      if (v.name == s) return true;
    return false;
  };
  const std::string base = std::string(1, 'v') + std::to_string(col + 1);
  if (n.empty() || taken(n)) n = base;
  for (int k = 2; taken(n); ++k) n = base + '_' + std::to_string(k);
  return n;
}

// The spreadsheet's rows as variables: the first row names them; a column
// of numbers (and empty cells) is numeric, any other is a string.
int sheetdata(Reader& r, XmlData& d, size_t bytes, std::string& msg) {
  if (r.sheets == 0) {
    msg = "the workbook has no worksheet";
    return RC_FILEFORMAT;
  }
  size_t ncol = 0;
  for (const auto& row : r.rows) ncol = std::max(ncol, row.size());
  if (r.rows.empty() || ncol == 0) return 0;
  if (ncol > 32767) {
    msg = "more columns than variables allowed";
    return RC_CORRUPT;
  }
  // Skipping indexes let a few bytes name a huge empty sheet: the cells to
  // fill are bounded by the size of the document.
  const double cells = static_cast<double>(ncol) * static_cast<double>(r.rows.size());
  if (cells > 1e6 && cells > 64.0 * static_cast<double>(bytes)) {
    msg = "a worksheet of " + std::to_string(r.rows.size()) + " rows by " + std::to_string(ncol) +
          " columns, too sparse for a file of " + std::to_string(bytes) + " bytes";
    return RC_CORRUPT;
  }
  d.nobs = static_cast<long>(r.rows.size()) - 1;
  d.num.assign(ncol, {});
  d.str.assign(ncol, {});
  for (size_t c = 0; c < ncol; ++c) {
    XmlVar v;
    const std::vector<Cell>& head = r.rows[0];
    v.name = sheetname(c < head.size() ? head[c].text : "", c, d.vars);
    bool numeric = true;
    size_t w = 1;
    for (size_t i = 1; i < r.rows.size(); ++i) {
      const std::vector<Cell>& row = r.rows[i];
      if (c >= row.size() || !row[c].has) continue;
      double x;
      if (!row[c].isnum || !readnum(row[c].text, &x, false)) numeric = false;
      w = std::max(w, row[c].text.size());
    }
    if (!numeric && w > 244) {
      msg = "column " + v.name + " holds a text longer than 244 characters, the longest string";
      return RC_SYNTAX;
    }
    for (size_t i = 1; i < r.rows.size(); ++i) {
      const std::vector<Cell>& row = r.rows[i];
      const bool has = c < row.size() && row[c].has;
      if (numeric) {
        double x = misval_k(0);
        if (has) (void)readnum(row[c].text, &x, false);
        d.num[c].push_back(x);
      } else {
        d.str[c].push_back(has ? row[c].text : std::string());
      }
    }
    v.type = numeric ? 0 : static_cast<int>(w);
    d.vars.push_back(v);
  }
  return 0;
}

}  // namespace

void xml_writedata(const XmlData& d, bool legible, std::string& out) {
  const char* nl = legible ? "\n" : "";
  const auto ind = [&](int k) {
    if (legible) out.append(static_cast<size_t>(2 * k), ' ');
  };
  out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<dataset format=\"zelta-dataset\" version=\"1\">";
  out += nl;
  if (!d.datalbl.empty()) {
    ind(1);
    textel("datalabel", "", d.datalbl, out);
    out += nl;
  }
  ind(1);
  out += "<variables>";
  out += nl;
  for (const XmlVar& v : d.vars) {
    ind(2);
    out += "<variable name=\"" + v.name + "\" type=\"" + typename_of(v.type) + "\" format=\"";
    esc(v.fmt, out);
    out += "\"";
    if (!v.lbl.empty()) out += " valuelabel=\"" + v.lbl + "\"";
    if (v.varlab.empty()) {
      out += "/>";
    } else {
      out += ">";
      textel("label", "", v.varlab, out);
      out += "</variable>";
    }
    out += nl;
  }
  ind(1);
  out += "</variables>";
  out += nl;
  if (!d.chars.empty()) {
    ind(1);
    out += "<characteristics>";
    out += nl;
    for (const XmlChar& c : d.chars) {
      ind(2);
      textel("char", " owner=\"" + c.owner + "\" name=\"" + c.name + "\"", c.text, out);
      out += nl;
    }
    ind(1);
    out += "</characteristics>";
    out += nl;
  }
  if (!d.labels.empty()) {
    ind(1);
    out += "<valuelabels>";
    out += nl;
    for (const auto& l : d.labels) {
      ind(2);
      out += "<valuelabel name=\"" + l.first + "\">";
      out += nl;
      for (int i = 0; i < l.second.n(); ++i) {
        ind(3);
        textel("map", " value=\"" + std::to_string(l.second.val[static_cast<size_t>(i)]) + "\"",
               l.second.txt[static_cast<size_t>(i)], out);
        out += nl;
      }
      ind(2);
      out += "</valuelabel>";
      out += nl;
    }
    ind(1);
    out += "</valuelabels>";
    out += nl;
  }
  ind(1);
  out += "<data nobs=\"" + std::to_string(d.nobs) + "\">\n";
  for (long i = 0; i < d.nobs; ++i) {
    ind(2);
    out += "<o>";
    for (size_t k = 0; k < d.vars.size(); ++k) {
      if (isstrtype(d.vars[k].type)) {
        textel("v", "", d.str[k][static_cast<size_t>(i)], out);
      } else {
        out += "<v>";
        numtext(d.num[k][static_cast<size_t>(i)], out);
        out += "</v>";
      }
    }
    out += "</o>\n";
  }
  ind(1);
  out += "</data>";
  out += nl;
  out += "</dataset>\n";
}

void xml_writesheet(const XmlData& d, std::string& out) {
  out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Workbook xmlns=\"";
  out += SHEETNS;
  out += "\" xmlns:ss=\"";
  out += SHEETNS;
  out += "\">\n<Worksheet ss:Name=\"data\">\n<Table>\n<Row>";
  for (const XmlVar& v : d.vars) out += "<Cell><Data ss:Type=\"String\">" + v.name + "</Data></Cell>";
  out += "</Row>\n";
  for (long i = 0; i < d.nobs; ++i) {
    out += "<Row>";
    for (size_t k = 0; k < d.vars.size(); ++k) {
      if (isstrtype(d.vars[k].type)) {
        out += "<Cell><Data ss:Type=\"String\">";
        esc(sheettext(d.str[k][static_cast<size_t>(i)]), out);
        out += "</Data></Cell>";
      } else {
        const double x = d.num[k][static_cast<size_t>(i)];
        if (ismissing(x)) {
          out += "<Cell/>";
        } else {
          char buf[40];
          std::snprintf(buf, sizeof buf, "%.17g", x);
          out += "<Cell><Data ss:Type=\"Number\">";
          out += buf;
          out += "</Data></Cell>";
        }
      }
    }
    out += "</Row>\n";
  }
  out += "</Table>\n</Worksheet>\n</Workbook>\n";
}

int xml_parse(const char* p, size_t n, int kind, XmlData& d, std::string& msg) {
  d = XmlData{};
  Reader r;
  r.kind = kind;
  r.d = &d;
  r.p = XML_ParserCreateNS(nullptr, '|');
  if (!r.p) {
    msg = "out of memory";
    return RC_NOMEM;
  }
  XML_SetUserData(r.p, &r);
  XML_SetElementHandler(r.p, onstart, onend);
  XML_SetCharacterDataHandler(r.p, ontext);
  XML_SetStartDoctypeDeclHandler(r.p, ondoctype);
  XML_SetEntityDeclHandler(r.p, onentity);
  XML_SetParamEntityParsing(r.p, XML_PARAM_ENTITY_PARSING_NEVER);
  // fed in pieces: XML_Parse takes an int length
  int st = XML_STATUS_OK;
  size_t at = 0;
  do {
    const size_t k = std::min<size_t>(n - at, 1 << 24);
    st = XML_Parse(r.p, p + at, static_cast<int>(k), at + k == n);
    at += k;
  } while (st == XML_STATUS_OK && at < n);
  if (st != XML_STATUS_OK && !r.rc) {
    r.rc = RC_FILEFORMAT;
    char buf[64];
    std::snprintf(buf, sizeof buf, " (line %lu)", static_cast<unsigned long>(XML_GetCurrentLineNumber(r.p)));
    r.msg = std::string("not well-formed XML: ") + XML_ErrorString(XML_GetErrorCode(r.p)) + buf;
  }
  XML_ParserFree(r.p);
  if (!r.rc && r.kind == 2) r.rc = sheetdata(r, d, n, r.msg);
  if (!r.rc && r.kind == 1 && d.num.size() != d.vars.size()) {  // no <data>: no observations
    d.num.assign(d.vars.size(), {});
    d.str.assign(d.vars.size(), {});
  }
  msg = r.msg;
  return r.rc;
}
