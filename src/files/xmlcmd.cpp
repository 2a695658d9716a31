// xmlsave and xmluse: the dataset to and from XML, in this system's own
// dataset document (a round trip keeps everything) or as a spreadsheet
// (names in the first row). The documents are built and parsed in xmlio.cpp.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "data/chars.h"
#include "data/store.h"
#include "data/vlabel.h"
#include "files/files.h"
#include "files/xmlio.h"
#include "interp/cmdtab.h"
#include "interp/tokenizer.h"
#include "output/errors.h"
#include "output/output.h"

namespace {

// The doctype() option: 0 none given, 1 dataset, 2 spreadsheet, -1 invalid
// (printed, 198).
int doctype(ParseResult& pr) {
  std::string t;
  if (!findargn(pr, "doctype", 3, t, 64, 1)) return 0;
  if (t == "dataset") return 1;
  if (t == "spreadsheet") return 2;
  (void)errmsgf(RC_SYNTAX, "doctype(%s) invalid; dataset or spreadsheet\n", t.c_str());
  return -1;
}

// The dataset in memory as an image: variables, values, labels,
// characteristics and every value label.
void image(XmlData& d) {
  d.datalbl = ds.datalbl;
  d.nobs = ds.nobs;
  fa_getcolumns(d.num, d.str);
  for (int v = 1; v <= ds.nvar; ++v) {
    const size_t s = static_cast<size_t>(v);
    d.vars.push_back({varname(v), vartype(v), ds.fmtlist[s], ds.lbllist[s], ds.varlabels[s]});
  }
  for (const auto& o : chs.owners) {
    if (o.first != "_dta" && !findvarexact(o.first.c_str())) continue;
    for (const auto& c : o.second) d.chars.push_back({o.first, c.first, c.second});
  }
  for (const auto& t : vls.tabs) d.labels.emplace_back(t.first, t.second);
}

// xmlsave filename [, doctype(dataset|spreadsheet) replace legible]
int cmd_xmlsave(int) {
  ParseResult pr;
  std::string before;
  if (int rc = fa_cmdline(pr, before)) return rc;
  const bool replace = findopt(pr, "replace", 7, 0) == 1;
  const bool legible = findopt(pr, "legible", 3, 0) == 1;
  const int kind = doctype(pr);
  if (kind < 0) return RC_SYNTAX;
  std::string fn;
  if (int rc = fa_lastfile(pr, before, ".xml", false, false, fn)) return rc;
  if (ds.nvar == 0) return error(RC_NOVARS);
  struct stat st;
  if (!replace && ::stat(fn.c_str(), &st) == 0) return fierr(RC_FILEEXISTS, fn.c_str());
  XmlData d;
  image(d);
  std::string text;
  if (kind == 2) xml_writesheet(d, text);
  else xml_writedata(d, legible, text);
  if (int rc = fa_writefile(fn, text.data(), text.size())) return rc;
  (void)fierr(RC_FILESAVED, fn.c_str());
  return 0;
}

// Replaces the dataset by the image (the old one set aside until the new
// one is whole). 0 or a printed code.
int install(const XmlData& d) {
  DsAside a;
  if (int rc = ds_aside(a)) return rc;
  int rc = 0;
  for (size_t k = 0; k < d.vars.size() && !rc; ++k) {
    const XmlVar& v = d.vars[k];
    const int type = v.type ? v.type : fa_besttype(d.num[k]);
    rc = addvar(v.name.c_str(), type);
    if (rc) break;
    const size_t s = static_cast<size_t>(ds.nvar);
    if (!v.fmt.empty()) ds.fmtlist[s] = v.fmt;
    ds.lbllist[s] = v.lbl;
    ds.varlabels[s] = v.varlab;
  }
  if (int e = fa_install(a, rc, d.num, d.str, d.nobs, d.datalbl)) return e;
  for (const XmlChar& c : d.chars) charset(c.owner.c_str(), c.name.c_str(), c.text);
  for (const auto& l : d.labels) {
    vldrop(l.first);
    vlcreate(l.first) = l.second;
  }
  return 0;
}

// xmluse filename [, doctype(dataset|spreadsheet) clear]
int cmd_xmluse(int) {
  ParseResult pr;
  std::string before;
  if (int rc = fa_cmdline(pr, before)) return rc;
  const bool clear = findopt(pr, "clear", 5, 0) == 1;
  const int kind = doctype(pr);
  if (kind < 0) return RC_SYNTAX;
  std::string fn;
  if (int rc = fa_lastfile(pr, before, ".xml", true, clear, fn)) return rc;
  std::vector<unsigned char> buf;
  if (int rc = fa_readall(fn, buf)) return rc;
  XmlData d;
  std::string msg;
  if (int rc = xml_parse(reinterpret_cast<const char*>(buf.data()), buf.size(), kind, d, msg))
    return errmsgf(rc, "file %s: %s\n", fn.c_str(), msg.c_str());
  return install(d);
}

}  // namespace

void files_bindxml() {
  cmdbind("xmlsave", cmd_xmlsave);
  cmdbind("xmluse", cmd_xmluse);
}
