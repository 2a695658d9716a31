// The workbook reader: a .xlsx file is a zip archive (read with libzip) of
// XML parts (parsed with expat as they are decompressed). The workbook part
// names the sheets, its relations part gives each sheet's part, the shared
// strings and the cell styles (which number formats are dates) are read
// first, then the one sheet asked for. Documents with a DOCTYPE are refused,
// so no entity can expand; every part is read up to a set number of bytes
// and the cells kept up to a set count.
#include <expat.h>
#include <zip.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "files/xlsx.h"
#include "output/errors.h"
#include "output/rc.h"

XlsxLimits xlsxlim;

namespace {

// An element's name without its namespace prefix.
const char* local(const XML_Char* name) {
  const char* c = std::strrchr(name, ':');
  return c ? c + 1 : name;
}

// The value of attribute key (prefix ignored), or nullptr.
const char* attr(const XML_Char** atts, const char* key) {
  for (int i = 0; atts[i]; i += 2)
    if (std::strcmp(local(atts[i]), key) == 0) return atts[i + 1];
  return nullptr;
}

// Receives one part's elements and text.
struct Sax {
  virtual ~Sax() = default;
  virtual void start(const char* name, const XML_Char** atts) = 0;
  virtual void end(const char* name) = 0;
  virtual void text(const char*, int) {}
  std::string fail;  // set by a handler to stop with this message
};

struct Parse {
  XML_Parser p = nullptr;
  Sax* sax = nullptr;
  bool doctype = false;
};

void XMLCALL onstart(void* u, const XML_Char* name, const XML_Char** atts) {
  Parse* ps = static_cast<Parse*>(u);
  ps->sax->start(local(name), atts);
  if (!ps->sax->fail.empty()) XML_StopParser(ps->p, XML_FALSE);
}
void XMLCALL onend(void* u, const XML_Char* name) {
  Parse* ps = static_cast<Parse*>(u);
  ps->sax->end(local(name));
  if (!ps->sax->fail.empty()) XML_StopParser(ps->p, XML_FALSE);
}
void XMLCALL ontext(void* u, const XML_Char* s, int len) { static_cast<Parse*>(u)->sax->text(s, len); }
void XMLCALL ondoctype(void* u, const XML_Char*, const XML_Char*, const XML_Char*, int) {
  Parse* ps = static_cast<Parse*>(u);
  ps->doctype = true;
  XML_StopParser(ps->p, XML_FALSE);
}

// The open archive and its file name (for messages).
struct Book {
  zip_t* z = nullptr;
  std::string fn;
  ~Book() {
    if (z) zip_discard(z);
  }
};

int damaged(const Book& b, const std::string& why) {
  return errmsgf(RC_FILEFORMAT, "file %s is not a valid xlsx workbook: %s\n", b.fn.c_str(), why.c_str());
}

// Parses part name through sax. 0; 1 when the part is absent and optional;
// else 610 / 611 printed.
int parsepart(Book& b, const std::string& name, Sax& sax, bool optional) {
  zip_int64_t idx = zip_name_locate(b.z, name.c_str(), ZIP_FL_NOCASE);
  if (idx < 0) return optional ? 1 : damaged(b, "part " + name + " is missing");
  zip_file_t* f = zip_fopen_index(b.z, static_cast<zip_uint64_t>(idx), 0);
  if (!f) return damaged(b, "part " + name + " cannot be read (" + zip_strerror(b.z) + ")");
  Parse xp;
  xp.sax = &sax;
  xp.p = XML_ParserCreate(nullptr);
  XML_SetUserData(xp.p, &xp);
  XML_SetElementHandler(xp.p, onstart, onend);
  XML_SetCharacterDataHandler(xp.p, ontext);
  XML_SetStartDoctypeDeclHandler(xp.p, ondoctype);
  char buf[1 << 16];
  uint64_t total = 0;
  int rc = 0;
  for (;;) {
    zip_int64_t n = zip_fread(f, buf, sizeof buf);
    if (n < 0) {
      rc = damaged(b, "part " + name + " is damaged (" + zip_file_strerror(f) + ")");
      break;
    }
    total += static_cast<uint64_t>(n);
    if (total > xlsxlim.maxentry) {
      rc = errmsgf(RC_RECTOOLONG, "file %s: part %s is larger than %llu bytes\n", b.fn.c_str(), name.c_str(),
                   static_cast<unsigned long long>(xlsxlim.maxentry));
      break;
    }
    if (XML_Parse(xp.p, buf, static_cast<int>(n), n == 0) != XML_STATUS_OK) {
      if (xp.doctype) rc = damaged(b, "part " + name + " has a document type declaration");
      else if (!sax.fail.empty()) rc = sax.fail.rfind("611:", 0) == 0 ? errmsgf(RC_RECTOOLONG, "file %s: %s\n", b.fn.c_str(), sax.fail.c_str() + 4)
                                                                      : damaged(b, "part " + name + ": " + sax.fail);
      else
        rc = damaged(b, "part " + name + ", line " + std::to_string(XML_GetCurrentLineNumber(xp.p)) + ": " +
                            XML_ErrorString(XML_GetErrorCode(xp.p)));
      break;
    }
    if (n == 0) break;
  }
  XML_ParserFree(xp.p);
  zip_fclose(f);
  return rc;
}

// The workbook part: sheet names and relation ids, the date system.
struct WorkbookSax : Sax {
  std::vector<std::pair<std::string, std::string>> sheets;  // name, relation id
  bool date1904 = false;
  void start(const char* name, const XML_Char** atts) override {
    if (!std::strcmp(name, "sheet")) {
      const char* n = attr(atts, "name");
      const char* id = attr(atts, "id");
      sheets.emplace_back(n ? n : "", id ? id : "");
    } else if (!std::strcmp(name, "workbookPr")) {
      const char* d = attr(atts, "date1904");
      date1904 = d && (!std::strcmp(d, "1") || !std::strcmp(d, "true"));
    }
  }
  void end(const char*) override {}
};

// A relations part: id to target.
struct RelsSax : Sax {
  std::map<std::string, std::string> target;
  void start(const char* name, const XML_Char** atts) override {
    if (std::strcmp(name, "Relationship")) return;
    const char* id = attr(atts, "Id");
    const char* t = attr(atts, "Target");
    if (id && t) target[id] = t;
  }
  void end(const char*) override {}
};

// The shared strings: each <si>'s text, runs joined, phonetic runs skipped.
struct StringsSax : Sax {
  std::vector<std::string> strs;
  bool insi = false, intext = false;
  int inphon = 0;
  uint64_t bytes = 0;
  void start(const char* name, const XML_Char**) override {
    if (!std::strcmp(name, "si")) {
      insi = true;
      if (strs.size() >= xlsxlim.maxcells) fail = "611:more shared strings than cells allowed";
      strs.emplace_back();
    } else if (!std::strcmp(name, "rPh")) {
      ++inphon;
    } else if (!std::strcmp(name, "t")) {
      intext = insi && !inphon;
    }
  }
  void end(const char* name) override {
    if (!std::strcmp(name, "si")) insi = false;
    else if (!std::strcmp(name, "rPh")) --inphon;
    else if (!std::strcmp(name, "t")) intext = false;
  }
  void text(const char* s, int n) override {
    if (intext) strs.back().append(s, static_cast<size_t>(n));
  }
};

// True when a number format code shows a date or time: d, m, y, h or s
// outside quoted text, brackets and escaped characters.
bool datecode(const std::string& code) {
  bool q = false;
  for (size_t i = 0; i < code.size(); ++i) {
    char ch = code[i];
    if (ch == '"') q = !q;
    if (q) continue;
    if (ch == '\\' || ch == '_' || ch == '*') {
      ++i;
      continue;
    }
    if (ch == '[') {
      size_t e = code.find(']', i);
      if (e == std::string::npos) return false;
      std::string in = code.substr(i + 1, e - i - 1);
      if (!in.empty() && std::strchr("hHmMsS", in[0])) return true;  // elapsed time [h]:mm
      i = e;
      continue;
    }
    if (std::strchr("dmyhsDMYHS", ch)) return true;
  }
  return false;
}

// The styles part: whether each cell style shows a date.
struct StylesSax : Sax {
  std::map<long, bool> custom;  // number format id -> date
  std::vector<long> xfnum;      // number format of each cell style
  bool inxfs = false;
  void start(const char* name, const XML_Char** atts) override {
    if (!std::strcmp(name, "numFmt")) {
      const char* id = attr(atts, "numFmtId");
      const char* code = attr(atts, "formatCode");
      if (id && code) custom[std::atol(id)] = datecode(code);
    } else if (!std::strcmp(name, "cellXfs")) {
      inxfs = true;
    } else if (inxfs && !std::strcmp(name, "xf")) {
      const char* id = attr(atts, "numFmtId");
      if (xfnum.size() < 1000000) xfnum.push_back(id ? std::atol(id) : 0);
    }
  }
  void end(const char* name) override {
    if (!std::strcmp(name, "cellXfs")) inxfs = false;
  }
  bool isdate(long style) const {
    if (style < 0 || static_cast<size_t>(style) >= xfnum.size()) return false;
    long id = xfnum[static_cast<size_t>(style)];
    auto it = custom.find(id);
    if (it != custom.end()) return it->second;
    return (id >= 14 && id <= 22) || (id >= 45 && id <= 47) || (id >= 27 && id <= 36) || (id >= 50 && id <= 58);
  }
};

// Reads "AB12" at p: 0-based column and row; false when malformed or out of
// the largest sheet. Either part may be absent when the flags allow.
bool cellref(const char* p, uint32_t* col, uint32_t* row, bool* hascol, bool* hasrow) {
  uint64_t c = 0, r = 0;
  size_t i = 0;
  while (std::isalpha(static_cast<unsigned char>(p[i])) && i < 4) c = c * 26 + static_cast<uint64_t>(std::toupper(p[i++]) - 'A' + 1);
  *hascol = i > 0;
  size_t j = i;
  while (std::isdigit(static_cast<unsigned char>(p[j])) && j - i < 8) r = r * 10 + static_cast<uint64_t>(p[j++] - '0');
  *hasrow = j > i;
  if (p[j] != 0) return false;
  if (*hascol && (c < 1 || c > XLSX_MAXCOLS)) return false;
  if (*hasrow && (r < 1 || r > XLSX_MAXROWS)) return false;
  *col = *hascol ? static_cast<uint32_t>(c - 1) : 0;
  *row = *hasrow ? static_cast<uint32_t>(r - 1) : 0;
  return true;
}

// Days since 01jan1960 of a serial date number.
double serialdays(double s, bool date1904) {
  if (date1904) return s - 20454;
  return s < 61 ? s - 21915 : s - 21916;  // serial 60 is a day that never was
}

// The sheet part: its cells inside the range.
struct SheetSax : Sax {
  const std::vector<std::string>* strs = nullptr;
  const StylesSax* styles = nullptr;
  bool date1904 = false;
  XlsxRange range;
  std::vector<XlsxCell>* cells = nullptr;
  uint32_t row = 0, col = 0;  // the current row and the next column
  bool rowseen = false;
  // the cell being read
  bool incell = false, inv = false, int_ = false, inis = false;
  int inphon = 0;
  std::string type, v, is;
  long style = 0;
  uint32_t crow = 0, ccol = 0;
  void start(const char* name, const XML_Char** atts) override {
    if (!std::strcmp(name, "row")) {
      const char* r = attr(atts, "r");
      if (r) {
        char* e = nullptr;
        long x = std::strtol(r, &e, 10);
        if (*e || x < 1 || x > static_cast<long>(XLSX_MAXROWS)) {
          fail = std::string("bad row number ") + r;
          return;
        }
        row = static_cast<uint32_t>(x - 1);
      } else {
        row = rowseen ? row + 1 : 0;
      }
      rowseen = true;
      col = 0;
    } else if (!std::strcmp(name, "c")) {
      incell = true;
      const char* r = attr(atts, "r");
      const char* t = attr(atts, "t");
      const char* s = attr(atts, "s");
      type = t ? t : "n";
      style = s ? std::atol(s) : 0;
      v.clear();
      is.clear();
      crow = row, ccol = col;
      if (r) {
        bool hc, hr;
        uint32_t c2, r2;
        if (!cellref(r, &c2, &r2, &hc, &hr) || !hc) {
          fail = std::string("bad cell reference ") + r;
          return;
        }
        ccol = c2;
        if (hr) crow = r2;
      }
      if (ccol >= XLSX_MAXCOLS) {
        fail = "too many columns";
        return;
      }
      col = ccol + 1;
    } else if (incell && !std::strcmp(name, "v")) {
      inv = true;
    } else if (incell && !std::strcmp(name, "is")) {
      inis = true;
    } else if (inis && !std::strcmp(name, "rPh")) {
      ++inphon;
    } else if (inis && !std::strcmp(name, "t")) {
      int_ = !inphon;
    }
  }
  void end(const char* name) override {
    if (!std::strcmp(name, "v")) inv = false;
    else if (!std::strcmp(name, "t")) int_ = false;
    else if (!std::strcmp(name, "rPh")) --inphon;
    else if (!std::strcmp(name, "is")) inis = false;
    else if (!std::strcmp(name, "c") && incell) {
      incell = false;
      finish();
    }
  }
  void text(const char* s, int n) override {
    if (inv) v.append(s, static_cast<size_t>(n));
    else if (int_) is.append(s, static_cast<size_t>(n));
  }
  // Keeps the cell just read when it lies in the range and holds a value.
  void finish() {
    if (crow < range.r0 || crow > range.r1 || ccol < range.c0 || ccol > range.c1) return;
    XlsxCell c;
    c.row = crow - range.r0;
    c.col = ccol - range.c0;
    if (type == "inlineStr") {
      c.kind = XlsxKind::Text;
      c.text = is;
    } else if (type == "s") {
      char* e = nullptr;
      unsigned long k = std::strtoul(v.c_str(), &e, 10);
      if (v.empty() || *e || k >= strs->size()) {
        fail = "shared string " + v.substr(0, 20) + " does not exist";
        return;
      }
      c.kind = XlsxKind::Text;
      c.text = (*strs)[k];
    } else if (type == "str") {
      c.kind = XlsxKind::Text;
      c.text = v;
    } else if (type == "e") {
      return;  // an error value: missing
    } else {
      if (v.empty()) return;
      char* e = nullptr;
      double x = std::strtod(v.c_str(), &e);
      while (*e == ' ') ++e;
      if (*e || !std::isfinite(x)) {
        fail = "cell " + xlsx_colname(ccol) + std::to_string(crow + 1) + " holds no number";
        return;
      }
      if (type == "b") {
        c.kind = XlsxKind::Bool;
        c.num = x != 0;
      } else if (type == "d") {  // an ISO date text: not written by the usual programs
        c.kind = XlsxKind::Text;
        c.text = v;
      } else if (styles->isdate(style)) {
        c.kind = XlsxKind::Date;
        c.num = serialdays(x, date1904);
      } else {
        c.kind = XlsxKind::Number;
        c.num = x;
      }
    }
    if (cells->size() >= xlsxlim.maxcells) {
      fail = "611:more cells than allowed";
      return;
    }
    cells->push_back(std::move(c));
  }
};

// A relation's target as a part name inside the archive.
std::string partname(const std::string& target) {
  if (!target.empty() && target[0] == '/') return target.substr(1);
  std::string t = target;
  std::string base = "xl/";
  while (t.compare(0, 3, "../") == 0) t.erase(0, 3), base.clear();
  return base + t;
}

}  // namespace

std::string xlsx_colname(uint32_t c) {
  std::string s;
  uint64_t n = static_cast<uint64_t>(c) + 1;
  while (n) {
    s.insert(s.begin(), static_cast<char>('A' + (n - 1) % 26));
    n = (n - 1) / 26;
  }
  return s;
}

bool xlsx_parserange(const std::string& text, XlsxRange& r) {
  std::string t;
  for (char ch : text)
    if (ch != ' ' && ch != '$') t.push_back(ch);
  size_t colon = t.find(':');
  std::string a = t.substr(0, colon), b = colon == std::string::npos ? "" : t.substr(colon + 1);
  bool hc, hr;
  r = XlsxRange{};
  if (!a.empty()) {
    if (!cellref(a.c_str(), &r.c0, &r.r0, &hc, &hr) || !hc || !hr) return false;
  }
  if (!b.empty()) {
    if (!cellref(b.c_str(), &r.c1, &r.r1, &hc, &hr) || !hc || !hr) return false;
    if (r.c1 < r.c0 || r.r1 < r.r0) return false;
  }
  return !(a.empty() && b.empty());
}

int xlsx_read(const std::string& fn, const std::string& sheet, const XlsxRange& range, std::vector<XlsxCell>& cells) {
  struct stat st;
  if (::stat(fn.c_str(), &st) != 0) return fierr(errno == ENOENT || errno == ENOTDIR ? RC_FILENOTFOUND : RC_FILEOPEN, fn.c_str());
  Book b;
  b.fn = fn;
  int zerr = 0;
  b.z = zip_open(fn.c_str(), ZIP_RDONLY, &zerr);
  if (!b.z) {
    if (zerr == ZIP_ER_OPEN || zerr == ZIP_ER_READ) return fierr(RC_FILEOPEN, fn.c_str());
    zip_error_t ze;
    zip_error_init_with_code(&ze, zerr);
    std::string why = zip_error_strerror(&ze);
    zip_error_fini(&ze);
    return damaged(b, why);
  }
  WorkbookSax wb;
  if (int rc = parsepart(b, "xl/workbook.xml", wb, false)) return rc;
  if (wb.sheets.empty()) return damaged(b, "it has no sheet");
  size_t k = 0;
  if (!sheet.empty()) {
    while (k < wb.sheets.size() && wb.sheets[k].first != sheet) ++k;
    if (k == wb.sheets.size()) {
      std::string names;
      for (auto& s : wb.sheets) names += " \"" + s.first + "\"";
      return errmsgf(RC_FILEFORMAT, "file %s has no sheet \"%s\"; its sheets:%s\n", fn.c_str(), sheet.c_str(), names.c_str());
    }
  }
  RelsSax rels;
  if (int rc = parsepart(b, "xl/_rels/workbook.xml.rels", rels, false)) return rc;
  auto it = rels.target.find(wb.sheets[k].second);
  if (it == rels.target.end()) return damaged(b, "sheet \"" + wb.sheets[k].first + "\" has no part");
  StringsSax strs;
  if (int rc = parsepart(b, "xl/sharedStrings.xml", strs, true); rc && rc != 1) return rc;
  StylesSax styles;
  if (int rc = parsepart(b, "xl/styles.xml", styles, true); rc && rc != 1) return rc;
  SheetSax sh;
  sh.strs = &strs.strs;
  sh.styles = &styles;
  sh.date1904 = wb.date1904;
  sh.range = range;
  sh.cells = &cells;
  if (int rc = parsepart(b, partname(it->second), sh, false)) {
    cells.clear();
    return rc;
  }
  return 0;
}
