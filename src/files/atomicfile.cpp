// Safe replacement of a file: temporary file beside the target, fsync, rename
// (see atomicfile.h). The folder is synced after the rename so that the new
// name survives a crash as well as the new bytes.
#include "files/atomicfile.h"

#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <system_error>
#include <thread>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "files/bgwrite.h"
#include "output/errors.h"
#include "platform/platform.h"

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
  if (f.bg) f.bg->abandon();
  f.bg.reset();
  if (f.fd >= 0) ::close(f.fd);
  f.fd = -1;
}

// Temporary names are the target's name, this tag, the writer's process id,
// "-" and six letters or digits.
constexpr char kTag[] = ".zelta";
constexpr size_t kTagLen = sizeof kTag - 1;

// The start of a temporary name for target: "target.zelta<pid>-".
std::string tmpprefix(const std::string& target) {
  return target + kTag + std::to_string(static_cast<long>(::getpid())) + "-";
}

// True when name is a temporary file left by a writer that no longer runs.
bool stale(const char* name) {
  const char* tag = nullptr;
  for (const char* p = std::strstr(name, kTag); p; p = std::strstr(p + 1, kTag)) tag = p;
  if (!tag || tag == name) return false;
  const char* d = tag + kTagLen;
  long pid = 0;
  const char* q = d;
  while (*q >= '0' && *q <= '9' && q - d < 10) pid = pid * 10 + (*q++ - '0');
  if (q == d || *q != '-' || std::strlen(q + 1) != 6) return false;
  for (const char* c = q + 1; *c; ++c)
    if (!std::isalnum(static_cast<unsigned char>(*c))) return false;
  if (pid <= 0 || pid == static_cast<long>(::getpid())) return false;
  return ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

// Removes the temporary files that killed writers left in dir.
void sweep(const std::string& dir) {
  DIR* d = ::opendir(dir.c_str());
  if (!d) return;
  while (dirent* e = ::readdir(d))
    if (stale(e->d_name)) (void)::unlinkat(::dirfd(d), e->d_name, 0);
  ::closedir(d);
}

// Gives the unnamed temporary file of f a temporary name, so that rename can
// put it in place. 0, or the errno of the failure.
int nametmp(AtomicFile& f) {
  static const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  const std::string proc = "/proc/self/fd/" + std::to_string(f.fd);
  unsigned long x = static_cast<unsigned long>(std::time(nullptr)) ^ (static_cast<unsigned long>(f.written) << 8);
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = tmpprefix(f.target);
    for (int i = 0; i < 6; ++i) {
      x = x * 6364136223846793005UL + 1442695040888963407UL;
      name += letters[(x >> 33) % (sizeof letters - 1)];
    }
    int rc = ::linkat(AT_FDCWD, proc.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW);
    if (rc != 0 && errno == ENOENT)  // no /proc: the privileged form
      rc = ::linkat(f.fd, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH);
    if (rc == 0) {
      f.tmpname = name;
      return 0;
    }
    if (errno != EEXIST) return errno;
  }
  return EEXIST;
}

// Starts the background writer on f's descriptor; without one f stays an
// ordinary file written by the caller.
void startbg(AtomicFile& f, bool direct) {
  auto w = std::make_shared<BgWriter>();
  if (w->start(f.fd, direct)) f.bg = std::move(w);
}

}  // namespace

int af_open(AtomicFile& f, const std::string& target, bool background, bool direct) {
  f = AtomicFile{};
  f.target = target;
  struct stat st;
  const bool exists = ::stat(target.c_str(), &st) == 0;
  if (exists && ::access(target.c_str(), W_OK) != 0) {
    f.err = errno;
    return RC_READONLY;
  }
  const mode_t mode = newmode(target);
  // Unnamed first: a process killed before the commit leaves nothing.
  int fd = afs.named ? -1 : ::open(dirof(target).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
  if (fd < 0) {
    sweep(dirof(target));
    std::string tmpl = tmpprefix(target) + "XXXXXX";
    std::vector<char> name(tmpl.begin(), tmpl.end());
    name.push_back('\0');
    fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) {
      f.err = errno;
      return exists && (f.err == EACCES || f.err == EROFS || f.err == EPERM) ? 608 : 603;
    }
    f.tmpname = name.data();
  }
  f.fd = fd;
  (void)::fchmod(fd, mode);
  if (background) startbg(f, direct);
  return 0;
}

int af_openerr(const AtomicFile& f, int rc) {
  if (rc == 603 && (f.err == EACCES || f.err == EROFS || f.err == EPERM))
    (void)errmsgf(rc, "folder %s cannot be written\n", dirof(f.target).c_str());
  return fierr(rc, f.target.c_str());
}

int af_write(AtomicFile& f, const void* data, size_t n) {
  if (f.err || f.fd < 0) {
    if (!f.err) f.err = EBADF;
    return RC_DISKFULL;
  }
  if (injected(f)) return RC_DISKFULL;
  if (f.bg) {
    if (int e = f.bg->append(data, n)) {
      f.err = e;
      return RC_DISKFULL;
    }
    f.written += static_cast<long>(n);
    return 0;
  }
  const char* p = static_cast<const char*>(data);
  while (n > 0) {
    ssize_t k = ::write(f.fd, p, n);
    if (k < 0) {
      if (errno == EINTR) continue;
      f.err = errno;
      return RC_DISKFULL;
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

unsigned char* af_space(AtomicFile& f, size_t* avail) {
  *avail = 0;
  if (f.err || f.fd < 0) return nullptr;
  if (f.bg) return f.bg->space(avail);
  if (f.stage.empty()) f.stage.resize(size_t{4} << 20);
  *avail = f.stage.size();
  return f.stage.data();
}

int af_advance(AtomicFile& f, size_t n) {
  if (!f.bg) return af_write(f, f.stage.data(), n);
  if (f.err || f.fd < 0) {
    if (!f.err) f.err = EBADF;
    return RC_DISKFULL;
  }
  if (injected(f)) return RC_DISKFULL;
  if (int e = f.bg->advance(n)) {
    f.err = e;
    return RC_DISKFULL;
  }
  f.written += static_cast<long>(n);
  return 0;
}

int af_pwrite(AtomicFile& f, const void* data, size_t n, long off) {
  if (f.err || f.fd < 0 || f.bg) {
    if (!f.err) f.err = f.bg ? EINVAL : EBADF;
    return RC_DISKFULL;
  }
  if (injected(f)) return RC_DISKFULL;
  const char* p = static_cast<const char*>(data);
  while (n > 0) {
    ssize_t k = ::pwrite(f.fd, p, n, static_cast<off_t>(off));
    if (k < 0) {
      if (errno == EINTR) continue;
      f.err = errno;
      return RC_DISKFULL;
    }
    p += k;
    off += k;
    n -= static_cast<size_t>(k);
  }
  return 0;
}

int af_commit(AtomicFile& f) {
  if (!f.err && f.fd < 0) f.err = EBADF;
  int oldcopy = -1;  // the file being replaced, held so its blocks are freed later
  if (f.bg) {
    if (int e = f.bg->finish(); e && !f.err) f.err = e;
    f.bg.reset();
  }
  if (!f.err && !injected(f) && ::fsync(f.fd) != 0) f.err = errno;
  if (!f.err && f.tmpname.empty()) f.err = nametmp(f);
  if (f.fd >= 0 && ::close(f.fd) != 0 && !f.err) f.err = errno;
  f.fd = -1;
  // Freeing the blocks of a large old copy takes a while; the rename only
  // drops its name while a handle holds it, and the handle is let go on
  // another thread.
  if (!f.err && f.written >= (32L << 20)) oldcopy = ::open(f.target.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
  if (!f.err && !injected(f) && ::rename(f.tmpname.c_str(), f.target.c_str()) != 0) f.err = errno;
  if (oldcopy >= 0 && plat_onethread()) {
    ::close(oldcopy);
  } else if (oldcopy >= 0) {
    try {
      std::thread([oldcopy] { ::close(oldcopy); }).detach();
    } catch (const std::system_error&) {
      ::close(oldcopy);
    }
  }
  if (f.err) {
    if (!f.tmpname.empty()) ::unlink(f.tmpname.c_str());
    f.tmpname.clear();
    return RC_DISKFULL;
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
