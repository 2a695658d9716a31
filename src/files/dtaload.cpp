// Records of a .dta file into the store's columns. The file holds a record
// per observation and the store a column per variable, so each piece of
// records read is spread into the columns while it is still in the cache.
// A whole modern file is read in pieces of a few hundred kilobytes, one
// system call each, on both cores: each thread takes the next piece, reads
// it at its own offset and fills those observations of every column. A
// subset is read the same way a stretch of records at a time.
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <system_error>
#include <thread>
#include <type_traits>
#include <unistd.h>
#include <vector>

#include "data/store.h"
#include "files/dta.h"
#include "files/files.h"
#include "output/errors.h"
#include "platform/platform.h"

namespace {

// Bytes of records read and spread at a time: they stay in the core's
// cache while every column takes its cells from them.
constexpr size_t kPiece = size_t{256} << 10;
// Data smaller than this are read on one thread.
constexpr uint64_t kThreadBytes = uint64_t{8} << 20;

// Copies n fields of W bytes, one per record of width lrecl from p, into
// observations obs.. of a column, reversing their bytes when SWAP.
template <int W, bool SWAP>
void copycells(const ColView& col, long obs, long n, const unsigned char* p, size_t lrecl) {
  unsigned char* dst = col.at(obs);
  using U = std::conditional_t<W == 8, uint64_t, std::conditional_t<W == 4, uint32_t, uint16_t>>;
  for (long r = 0; r < n; ++r, p += lrecl, dst += W) {
    if constexpr (SWAP) {
      U u;
      std::memcpy(&u, p, W);
      if constexpr (W == 8) u = __builtin_bswap64(u);
      else if constexpr (W == 4) u = __builtin_bswap32(u);
      else u = __builtin_bswap16(u);
      std::memcpy(dst, &u, W);
    } else {
      std::memcpy(dst, p, W);
    }
  }
}

// Reads exactly n bytes at offset off; false on a read error or an early end.
bool preadall(int fd, unsigned char* dst, size_t n, uint64_t off) {
  size_t done = 0;
  while (done < n) {
    ssize_t k = ::pread(fd, dst + done, n - done, static_cast<off_t>(off + done));
    if (k < 0 && errno == EINTR) continue;
    if (k <= 0) return false;
    done += static_cast<size_t>(k);
  }
  return true;
}

}  // namespace

bool dta_cellfield(const DtaVar& v) { return isstrtype(v.type) || v.type >= ST_BYTE; }

void dta_copyfield(const DtaIn& f, const DtaVar& v, const ColView& col, const unsigned char* blk, long n,
                   long obs) {
  const size_t lrecl = static_cast<size_t>(f.lrecl);
  const unsigned char* p = blk + static_cast<size_t>(v.off);
  const bool sw = f.swap && !isstrtype(v.type);
  switch (v.width) {  // fixed sizes let the copies inline
    case 8: sw ? copycells<8, true>(col, obs, n, p, lrecl) : copycells<8, false>(col, obs, n, p, lrecl); break;
    case 4: sw ? copycells<4, true>(col, obs, n, p, lrecl) : copycells<4, false>(col, obs, n, p, lrecl); break;
    case 2: sw ? copycells<2, true>(col, obs, n, p, lrecl) : copycells<2, false>(col, obs, n, p, lrecl); break;
    case 1: copycells<1, false>(col, obs, n, p, lrecl); break;
    default:
      for (long r = 0; r < n; ++r, p += lrecl) std::memcpy(col.at(obs + r), p, static_cast<size_t>(v.width));
  }
}

int dta_loadall(DtaIn& f) {
  const long nobs = f.nobs - f.nread;
  if (nobs <= 0 || f.lrecl <= 0) {  // records of no bytes: only their count matters
    f.nread = f.nobs;
    return 0;
  }
  if (int rc = dta_loadrange(f, f.nread, nobs, f.nread + 1, nullptr)) return rc;
  f.nread = f.nobs;
  return 0;
}

int dta_loadrange(DtaIn& f, long rec0, long nobs, long obs0, const std::vector<char>* want) {
  if (nobs <= 0 || f.lrecl <= 0) return 0;
  if (int rc = files_failpoint()) return fierr(rc, f.fn.c_str());
  const size_t lrecl = static_cast<size_t>(f.lrecl);
  const long per = static_cast<long>(std::max<size_t>(1, kPiece / lrecl));
  const long npieces = (nobs + per - 1) / per;
  std::vector<ColView> cols;
  for (size_t k = 0; k < f.vars.size(); ++k) cols.push_back(colview(static_cast<int>(k) + 1));
  const uint64_t start = static_cast<uint64_t>(f.datastart) + static_cast<uint64_t>(rec0) * lrecl;

  std::atomic<long> next{0};
  std::atomic<bool> stop{false};  // a Break, or a failed read: take no more pieces
  std::atomic<bool> failed{false}, broke{false};
  // Pieces are handed out in order; the thread that takes one reads and
  // spreads it. Memory for the records is each thread's own.
  auto work = [&](bool main) {
    std::vector<unsigned char> buf;
    try {
      buf.resize(static_cast<size_t>(per) * lrecl);
    } catch (const std::bad_alloc&) {
      failed = true, stop = true;
      return;
    }
    while (!stop) {
      if (main && ds_pollbreak()) {
        broke = true, stop = true;
        break;
      }
      const long i = next.fetch_add(1);
      if (i >= npieces) break;
      const long first = i * per, n = std::min(per, nobs - first);
      if (!preadall(f.fd, buf.data(), static_cast<size_t>(n) * lrecl, start + static_cast<uint64_t>(first) * lrecl)) {
        failed = true, stop = true;
        break;
      }
      for (size_t k = 0; k < f.vars.size(); ++k)
        if (!want || (*want)[k]) dta_copyfield(f, f.vars[k], cols[k], buf.data(), n, obs0 + first);
    }
  };
  std::thread helper;
  if (static_cast<uint64_t>(nobs) * lrecl >= kThreadBytes && std::thread::hardware_concurrency() > 1 &&
      !plat_onethread()) {
    try {
      helper = std::thread(work, false);
    } catch (const std::system_error&) {  // no second thread: all pieces are read here
    }
  }
  work(true);
  if (helper.joinable()) helper.join();
  if (failed) return fierr(RC_READ, f.fn.c_str());
  if (broke) return 1;  // the caller drops what was read
  return 0;
}
