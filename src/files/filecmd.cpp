// The `file` command, as far as graph files need it: binary handles opened
// for reading or writing, closed one at a time or all together, and the
// `sersetwrite` / `sersetread` subcommands that write and read the current
// series set at the file's position (a byte-order mark, k, N, types, names,
// formats, minima, maxima, then the records) through the byte-order helpers.
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "data/value.h"
#include "data/varlist.h"
#include "files/atomicfile.h"
#include "files/byteorder.h"
#include "files/files.h"
#include "files/odbc.h"
#include "graphics/graphics.h"
#include "graphics/gsave.h"
#include "interp/cmdtab.h"
#include "interp/tokenizer.h"
#include "output/errors.h"
#include "output/output.h"
#include "platform/platform.h"

namespace {

int nohandle(const std::string& h) { return errmsgf(RC_FILENOTFOUND, "file handle %s not found\n", h.c_str()); }

// file open handle using filename, read|write binary [replace]
int fh_open() {
  ParseResult pr;
  std::string h = gettok(prsestd);
  if (h.empty()) return required("handle");
  if (int rc = chkname(h.c_str())) return rc;
  if (fst.handles.count(h)) return errmsgf(RC_DEFINED, "file handle %s already exists\n", h.c_str());
  if (int rc = parse({.varlist = PERM_NO, .ifexp = PERM_NO, .range = PERM_NO, .usingfile = PERM_REQUIRED, .options = PERM_REQUIRED}, pr)) return rc;
  bool rd = findopt(pr, "read", 1, 0) == 1, wr = findopt(pr, "write", 1, 0) == 1;
  bool bin = findopt(pr, "binary", 6, 0) == 1, replace = findopt(pr, "replace", 7, 0) == 1;
  if (int rc = chkopt(pr)) return rc;
  if (rd == wr) return errmsgf(RC_SYNTAX, "specify one of options read and write\n");
  if (!bin) return errmsgf(RC_SYNTAX, "only binary files are supported here; specify option binary\n");
  const std::string& fn = pr.usingfn;
  if (wr && !replace && gr_fileexists(fn)) return fierr(RC_FILEEXISTS, fn.c_str());
  std::FILE* f = std::fopen(fn.c_str(), wr ? "wb" : "rb");
  if (!f) return fierr(rd ? 601 : 603, fn.c_str());
  fst.handles[h] = FileHandle{f, wr, fn};
  return 0;
}

// file close handle | _all
int fh_close() {
  std::string h = gettok(prsestd);
  if (h.empty()) return required("handle");
  const char* p = peektok_chr();
  if (p && *p) return notalow(gettok(prsestd));
  auto shut = [](FileHandle& f) {
    bool bad = std::fclose(f.fp) != 0;
    return bad ? fierr(RC_WRITE, f.fname.c_str()) : 0;
  };
  if (h == "_all") {
    int rc = 0;
    for (auto& [nm, f] : fst.handles) rc = shut(f) ? 693 : rc;
    fst.handles.clear();
    return rc;
  }
  auto it = fst.handles.find(h);
  if (it == fst.handles.end()) return nohandle(h);
  int rc = shut(it->second);
  fst.handles.erase(it);
  return rc;
}

int gethandle(FileHandle** out, bool write) {
  std::string h = gettok(prsestd);
  if (h.empty()) return required("handle");
  const char* p = peektok_chr();
  if (p && *p) return notalow(gettok(prsestd));
  auto it = fst.handles.find(h);
  if (it == fst.handles.end()) return nohandle(h);
  if (it->second.write != write)
    return errmsgf(RC_SYNTAX, "file handle %s not open for %s\n", h.c_str(), write ? "writing" : "reading");
  *out = &it->second;
  return 0;
}

// file sersetwrite handle
int fh_sersetwrite() {
  FileHandle* fh = nullptr;
  if (int rc = gethandle(&fh, true)) return rc;
  Serset* s = serset_cur();
  if (!s) return errmsgf(RC_NOTFOUND, "no serset in use\n");
  std::vector<unsigned char> b;
  auto put = [&](const void* p, size_t n) {
    const unsigned char* c = static_cast<const unsigned char*>(p);
    b.insert(b.end(), c, c + n);
  };
  unsigned char w[8];
  b.push_back(1);
  bo_put4(w, static_cast<uint32_t>(s->k), true), put(w, 4);
  bo_put4(w, static_cast<uint32_t>(s->n), true), put(w, 4);
  put(s->types, static_cast<size_t>(s->k));
  for (int j = 0; j < s->k; ++j) {
    char nm[SS_NAMELEN] = {};
    std::memcpy(nm, s->names[j].data(), std::min<size_t>(s->names[j].size(), SS_NAMELEN - 1));
    put(nm, SS_NAMELEN);
  }
  for (int j = 0; j < s->k; ++j) {
    char f[SS_FMTLEN] = {};
    std::memcpy(f, s->fmts[j].data(), std::min<size_t>(s->fmts[j].size(), SS_FMTLEN - 1));
    put(f, SS_FMTLEN);
  }
  for (int j = 0; j < s->k; ++j) bo_putdbl(w, s->mins[j], true), put(w, 8);
  for (int j = 0; j < s->k; ++j) bo_putdbl(w, s->maxs[j], true), put(w, 8);
  if (std::fwrite(b.data(), 1, b.size(), fh->fp) != b.size()) return fierr(RC_WRITE, fh->fname.c_str());
  // Records are kept most significant byte first, as the file wants them.
  for (long i = 0; i < s->n; ++i) {
    if ((i & 0xffff) == 0xffff && stopflag) return 1;
    const unsigned char* r = serset_rec(i, false);
    if (!r || std::fwrite(r, 1, static_cast<size_t>(s->lrec), fh->fp) != static_cast<size_t>(s->lrec))
      return fierr(RC_WRITE, fh->fname.c_str());
  }
  return 0;
}

// file sersetread handle
int fh_sersetread() {
  FileHandle* fh = nullptr;
  if (int rc = gethandle(&fh, false)) return rc;
  std::FILE* f = fh->fp;
  auto rd = [&](void* p, size_t n) { return std::fread(p, 1, n, f) == n; };
  auto readerr = [&]() { return fierr(RC_READ, fh->fname.c_str()); };
  unsigned char mark = 0, w[8];
  if (!rd(&mark, 1)) return readerr();
  const bool hilo = mark == 1;
  if (!rd(w, 4)) return readerr();
  int32_t k = static_cast<int32_t>(bo_get4(w, hilo));
  if (!rd(w, 4)) return readerr();
  int32_t n = static_cast<int32_t>(bo_get4(w, hilo));
  if (k < 0 || k > SS_MAXVARS || n < 0) return errmsgf(RC_FILEFORMAT, "file %s: serset is corrupt\n", fh->fname.c_str());
  unsigned char types[SS_MAXVARS];
  std::string names[SS_MAXVARS], fmts[SS_MAXVARS];
  double mins[SS_MAXVARS], maxs[SS_MAXVARS];
  if (!rd(types, static_cast<size_t>(k))) return readerr();
  for (int j = 0; j < k; ++j)
    if (!typewidth(types[j]) || !(isstrtype(types[j]) || (types[j] >= ST_BYTE && types[j] <= ST_DOUBLE)))
      return errmsgf(RC_FILEFORMAT, "file %s: serset is corrupt\n", fh->fname.c_str());
  for (int j = 0; j < k; ++j) {
    char nm[SS_NAMELEN + 1] = {};
    if (!rd(nm, SS_NAMELEN)) return readerr();
    names[j] = nm;
  }
  for (int j = 0; j < k; ++j) {
    char fm[SS_FMTLEN + 1] = {};
    if (!rd(fm, SS_FMTLEN)) return readerr();
    fmts[j] = fm;
  }
  for (int j = 0; j < k; ++j) {
    if (!rd(w, 8)) return readerr();
    mins[j] = bo_getdbl(w, hilo);
  }
  for (int j = 0; j < k; ++j) {
    if (!rd(w, 8)) return readerr();
    maxs[j] = bo_getdbl(w, hilo);
  }
  int id = 0;
  if (int rc = serset_new(k, types, names, fmts, &id)) return rc;
  Serset& s = *serset_cur();
  for (int j = 0; j < k; ++j) s.mins[j] = mins[j], s.maxs[j] = maxs[j];
  std::vector<unsigned char> rec(static_cast<size_t>(s.lrec));
  for (long i = 0; i < n; ++i) {
    if ((i & 0xffff) == 0xffff && stopflag) {
      serset_drop(id);
      return 1;
    }
    if (!rd(rec.data(), rec.size())) {
      serset_drop(id);
      return readerr();
    }
    if (!hilo)
      for (int j = 0; j < k; ++j) {
        if (isstrtype(s.types[j])) continue;
        unsigned char* p = rec.data() + s.offs[j];
        int wd = typewidth(s.types[j]);
        for (int a = 0, z = wd - 1; a < z; ++a, --z) std::swap(p[a], p[z]);
      }
    if (serset_append(rec.data())) {
      serset_drop(id);
      return errmsgf(RC_WRITE, "serset:  I/O error writing the set\n");
    }
  }
  if (serset_flush()) {
    serset_drop(id);
    return errmsgf(RC_WRITE, "serset:  I/O error writing the set\n");
  }
  serset_postr(s.n, s.k, id);
  return 0;
}

int cmd_file(int) {
  std::string sub = gettok(prsestd);
  if (sub.empty()) return errmsgf(RC_SYNTAX, "file subcommand required\n");
  if (sub == "open") return fh_open();
  if (sub == "close") return fh_close();
  if (sub == "sersetwrite") return fh_sersetwrite();
  if (sub == "sersetread") return fh_sersetread();
  return errmsgf(RC_UNRECOGNIZED, "file subcommand %s not recognized\n", sub.c_str());
}

}  // namespace

void files_reset() {
  for (auto& [name, h] : fst.handles)
    if (h.fp) std::fclose(h.fp);
  fst.handles.clear();
  post_reset();
  fst = FileState{};
  afs = AtomicFileState{};
  odbcst = OdbcState{};
}

void files_bindfile() { cmdbind("file", cmd_file); }
