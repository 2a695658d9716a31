// Pieces shared by the readers of whole binary or XML files (the transport
// and XML readers and writers, infix): a file read into memory with a Break
// poll, a file written through the safe replace, the dataset's columns out
// and in (and a new dataset made from them), the smallest numeric storage
// type that holds a column's values exactly, and the check of a variable
// name found in a file.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cctype>
#include <cmath>

#include "data/chars.h"
#include "data/store.h"
#include "files/atomicfile.h"
#include "files/files.h"
#include "interp/macro.h"
#include "output/errors.h"
#include "output/output.h"

int fa_readall(const std::string& fn, std::vector<unsigned char>& buf) {
  buf.clear();
  const int fd = ::open(fn.c_str(), O_RDONLY);
  if (fd < 0) return fierr(errno == ENOENT ? RC_FILENOTFOUND : RC_FILEOPEN, fn.c_str());
  struct stat st;
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) buf.reserve(static_cast<size_t>(st.st_size));
  unsigned char block[65536];
  for (;;) {
    const ssize_t k = ::read(fd, block, sizeof block);
    if (k < 0) {
      ::close(fd);
      return fierr(RC_READ, fn.c_str());
    }
    if (k == 0) break;
    buf.insert(buf.end(), block, block + k);
    if (ds_pollbreak()) {
      ::close(fd);
      return 1;
    }
  }
  ::close(fd);
  return 0;
}

int fa_besttype(const std::vector<double>& c) {
  bool isint = true, isflt = true;
  double lo = 0, hi = 0;
  for (double x : c) {
    if (ismissing(x)) continue;
    if (x != std::trunc(x)) isint = false;
    if (!(std::fabs(x) <= flt_largest) || static_cast<double>(static_cast<float>(x)) != x) isflt = false;
    lo = std::min(lo, x);
    hi = std::max(hi, x);
  }
  if (isint && lo >= -127 && hi <= 100) return ST_BYTE;
  if (isint && lo >= -32767 && hi <= 32740) return ST_INT;
  if (isint && lo >= -2147483647.0 && hi <= 2147483620.0) return ST_LONG;
  return isflt ? ST_FLOAT : ST_DOUBLE;
}

bool fa_goodname(const std::string& s) {
  if (s.empty() || s.size() > 32 || s == "_all") return false;
  if (!std::isalpha(static_cast<unsigned char>(s[0])) && s[0] != '_') return false;
  for (char c : s)
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') return false;
  return true;
}

int fa_writefile(const std::string& fn, const void* data, size_t n) {
  AtomicFile f;
  if (int rc = af_open(f, fn)) return af_openerr(f, rc);
  int rc = af_write(f, data, n);
  if (!rc) rc = af_commit(f);
  if (rc) {
    af_abort(f);
    return errmsgf(rc, "could not write %s: %s\n", fn.c_str(), af_errtext(f).c_str());
  }
  return 0;
}

void fa_getcolumns(std::vector<std::vector<double>>& num, std::vector<std::vector<std::string>>& str) {
  num.assign(static_cast<size_t>(ds.nvar), {});
  str.assign(static_cast<size_t>(ds.nvar), {});
  for (int v = 1; v <= ds.nvar; ++v) {
    const size_t k = static_cast<size_t>(v - 1);
    if (isstrtype(vartype(v))) {
      str[k].resize(static_cast<size_t>(ds.nobs));
      for (long i = 1; i <= ds.nobs; ++i) szelta_data(v, i, str[k][static_cast<size_t>(i - 1)]);
    } else {
      num[k].resize(static_cast<size_t>(ds.nobs));
      if (ds.nobs) col_decode(colview(v), 1, ds.nobs, num[k].data());
    }
  }
}

void fa_putcolumns(const std::vector<std::vector<double>>& num, const std::vector<std::vector<std::string>>& str,
                   long nobs) {
  for (size_t k = 0; k < num.size() && static_cast<int>(k) < ds.nvar; ++k) {
    const int var = static_cast<int>(k + 1);
    if (isstrtype(vartype(var))) {
      // A cell is the type's full width: copy each text into a zero-padded
      // cell-sized buffer, since sstore reads that many bytes.
      const size_t width = static_cast<size_t>(vartype(var));
      std::string cell;
      for (long i = 0; i < nobs; ++i) {
        const std::string& s = str[k][static_cast<size_t>(i)];
        cell.assign(width, '\0');
        s.copy(cell.data(), std::min(s.size(), width));
        sstore(var, i + 1, cell.data());
      }
    } else if (nobs) {
      col_encode(colview(var), 1, nobs, num[k].data());
    }
  }
}

int fa_install(DsAside& a, int rc, const std::vector<std::vector<double>>& num,
               const std::vector<std::vector<std::string>>& str, long nobs, const std::string& label) {
  if (!rc) rc = setobs_quiet(nobs);
  if (rc) {
    ds_aside_undo(a);
    return rc;
  }
  fa_putcolumns(num, str, nobs);
  ds.datalbl = label;
  ds_aside_commit(a);
  charrm(nullptr);
  ds.updata = false;
  return 0;
}

int fa_keepimport(DsAside& a, int rc) {
  if (rc) {
    ds_aside_undo(a);
    return rc;
  }
  ds_aside_commit(a);
  charrm(nullptr);
  macdrop_global("S_FN");
  macdrop_global("S_FNDATE");
  ds.srtlist.clear();
  ds.updata = true;
  return 0;
}

void fa_notesize() {
  spout21f("(%d var%s, %ld ob%s)\n", ds.nvar, ds.nvar == 1 ? "" : "s", ds.nobs, ds.nobs == 1 ? "" : "s");
}
