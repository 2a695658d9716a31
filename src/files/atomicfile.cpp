// Safe replacement of a file: temporary file beside the target, fsync, rename
// (see atomicfile.h). The folder is synced after the rename so that the new
// name survives a crash as well as the new bytes.
#include "files/atomicfile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

AtomicFileState afs;

namespace {

// How many appended bytes are queued for writeback at a time: large enough
// that the calls cost nothing, small enough that the disk starts early.
constexpr long kWriteback = 8L << 20;

// True when the injected failure is due at this operation.
bool injected(AtomicFile& f) {
  if (afs.failat <= 0) return false;
  if (++afs.nops != afs.failat) return false;
  f.err = ENOSPC;
  return true;
}

std::string dirof(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// Mode for the new file: the old file's, else 0666 less the umask.
mode_t newmode(const std::string& target) {
  struct stat st;
  if (::stat(target.c_str(), &st) == 0) return st.st_mode & 07777;
  mode_t um = ::umask(022);
  ::umask(um);
  return static_cast<mode_t>(0666 & ~um);
}

void closetmp(AtomicFile& f) {
  if (f.fd >= 0) ::close(f.fd);
  f.fd = -1;
}

}  // namespace

int af_open(AtomicFile& f, const std::string& target) {
  f = AtomicFile{};
  f.target = target;
  std::string tmpl = target + ".XXXXXX";
  std::vector<char> name(tmpl.begin(), tmpl.end());
  name.push_back('\0');
  int fd = ::mkstemp(name.data());
  if (fd < 0) {
    f.err = errno;
    return (f.err == EACCES || f.err == EROFS || f.err == EPERM) ? 608 : 603;
  }
  f.fd = fd;
  f.tmpname = name.data();
  (void)::fchmod(fd, newmode(target));
  return 0;
}

int af_write(AtomicFile& f, const void* data, size_t n) {
  if (f.err || f.fd < 0) {
    if (!f.err) f.err = EBADF;
    return 699;
  }
  if (injected(f)) return 699;
  const char* p = static_cast<const char*>(data);
  while (n > 0) {
    ssize_t k = ::write(f.fd, p, n);
    if (k < 0) {
      if (errno == EINTR) continue;
      f.err = errno;
      return 699;
    }
    p += k;
    n -= static_cast<size_t>(k);
    f.written += k;
  }
  // Only a hint to start writing: errors and the wait belong to the fsync in
  // af_commit, which still covers every byte.
  if (f.written - f.queued >= kWriteback) {
    (void)::sync_file_range(f.fd, f.queued, f.written - f.queued, SYNC_FILE_RANGE_WRITE);
    f.queued = f.written;
  }
  return 0;
}

int af_pwrite(AtomicFile& f, const void* data, size_t n, long off) {
  if (f.err || f.fd < 0) {
    if (!f.err) f.err = EBADF;
    return 699;
  }
  if (injected(f)) return 699;
  const char* p = static_cast<const char*>(data);
  while (n > 0) {
    ssize_t k = ::pwrite(f.fd, p, n, static_cast<off_t>(off));
    if (k < 0) {
      if (errno == EINTR) continue;
      f.err = errno;
      return 699;
    }
    p += k;
    off += k;
    n -= static_cast<size_t>(k);
  }
  return 0;
}

int af_commit(AtomicFile& f) {
  if (!f.err && f.fd < 0) f.err = EBADF;
  if (!f.err && !injected(f) && ::fsync(f.fd) != 0) f.err = errno;
  if (f.fd >= 0 && ::close(f.fd) != 0 && !f.err) f.err = errno;
  f.fd = -1;
  if (!f.err && !injected(f) && ::rename(f.tmpname.c_str(), f.target.c_str()) != 0) f.err = errno;
  if (f.err) {
    ::unlink(f.tmpname.c_str());
    f.tmpname.clear();
    return 699;
  }
  f.tmpname.clear();
  int dfd = ::open(dirof(f.target).c_str(), O_RDONLY | O_DIRECTORY);
  if (dfd >= 0) {
    (void)::fsync(dfd);
    ::close(dfd);
  }
  return 0;
}

void af_abort(AtomicFile& f) {
  closetmp(f);
  if (!f.tmpname.empty()) ::unlink(f.tmpname.c_str());
  f.tmpname.clear();
}

std::string af_errtext(const AtomicFile& f) { return f.err ? std::strerror(f.err) : ""; }
