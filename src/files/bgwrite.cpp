// The background writer (see bgwrite.h). One writer takes the chunks in
// file order, so what it has written is always a prefix of the file, and
// that prefix is queued for writeback in pieces of kWriteback bytes. Three
// buffers wait while one is written: the caller only waits when the disk
// has fallen behind by that much. Direct files keep every write a whole
// number of blocks: only the unaligned tail of a chunk (under one block) is
// copied into the next buffer, and the last block goes out padded.
#include "files/bgwrite.h"
#include "platform/platform.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <system_error>
#include <unistd.h>

namespace {

constexpr int kBuffers = 4;

}  // namespace

bool BgWriter::start(int fd, bool direct) {
  if (plat_onethread()) return false;
  fd_ = fd;
  if (direct) {
    const int fl = ::fcntl(fd, F_GETFL);
    direct_ = fl >= 0 && ::fcntl(fd, F_SETFL, fl | O_DIRECT) == 0;
  }
  for (int i = 0; i < kBuffers; ++i) {
    void* p = std::aligned_alloc(kAlign, kChunk);
    if (!p) {
      abandon();
      return false;
    }
    all_.push_back(static_cast<unsigned char*>(p));
    free_.push_back(static_cast<unsigned char*>(p));
  }
  try {
    thread_ = std::thread([this] { run(); });
  } catch (const std::system_error&) {
    abandon();
    return false;
  }
  return true;
}

void BgWriter::run() {
  long queued = 0;  // bytes from the start already queued for writeback
  std::unique_lock<std::mutex> lk(m_);
  while (true) {
    cv_.wait(lk, [this] { return stop_ || !jobs_.empty(); });
    if (jobs_.empty()) return;  // stopping with nothing left
    Job j = jobs_.front();
    jobs_.pop_front();
    busy_ = true;
    const bool failed = err_ != 0;
    lk.unlock();
    int e = 0;
    size_t done = 0;
    while (!failed && done < j.len) {
      ssize_t k = ::pwrite(fd_, j.buf + done, j.len - done, static_cast<off_t>(j.off) + static_cast<off_t>(done));
      if (k < 0 && errno == EINTR) continue;
      if (k < 0 && errno == EINVAL) {
        // The file system takes no direct write of this shape: the rest of
        // the file goes through the page cache instead.
        const int fl = ::fcntl(fd_, F_GETFL);
        if (fl >= 0 && (fl & O_DIRECT) && ::fcntl(fd_, F_SETFL, fl & ~O_DIRECT) == 0) continue;
      }
      if (k <= 0) {
        e = k < 0 ? errno : EIO;
        break;
      }
      done += static_cast<size_t>(k);
    }
    // Only a hint to start writing (nothing to do after direct writes):
    // errors and the wait belong to the caller's fsync, which still covers
    // every byte.
    const long end = j.off + static_cast<long>(j.len);
    if (!failed && !e && end - queued >= kWriteback) {
      (void)::sync_file_range(fd_, queued, end - queued, SYNC_FILE_RANGE_WRITE);
      queued = end;
    }
    lk.lock();
    if (e && !err_) err_ = e;
    free_.push_back(j.buf);
    busy_ = false;
    cv_.notify_all();
  }
}

unsigned char* BgWriter::takebuf() {
  std::unique_lock<std::mutex> lk(m_);
  cv_.wait(lk, [this] { return !free_.empty(); });
  unsigned char* b = free_.back();
  free_.pop_back();
  return b;
}

void BgWriter::submit(size_t len) {
  {
    std::lock_guard<std::mutex> lk(m_);
    jobs_.push_back(Job{cur_, len, fileoff_});
  }
  cv_.notify_all();
  fileoff_ += static_cast<long>(len);
}

unsigned char* BgWriter::space(size_t* avail) {
  {
    std::lock_guard<std::mutex> lk(m_);
    if (err_) {
      *avail = 0;
      return nullptr;
    }
  }
  if (!cur_) {
    cur_ = takebuf();
    fill_ = 0;
  }
  *avail = kChunk - fill_;
  return cur_ + fill_;
}

int BgWriter::advance(size_t n) {
  fill_ += n;
  if (kChunk - fill_ < kChunk / 8) {  // nearly full: off to the writer
    if (direct_) {  // the whole blocks go, the tail starts the next buffer
      const size_t whole = fill_ / kAlign * kAlign, tail = fill_ - whole;
      unsigned char* next = takebuf();
      std::memcpy(next, cur_ + whole, tail);
      submit(whole);
      cur_ = next;
      fill_ = tail;
    } else {
      submit(fill_);
      cur_ = nullptr;
      fill_ = 0;
    }
  }
  std::lock_guard<std::mutex> lk(m_);
  return err_;
}

int BgWriter::append(const void* data, size_t n) {
  const unsigned char* p = static_cast<const unsigned char*>(data);
  while (n > 0) {
    size_t avail;
    unsigned char* dst = space(&avail);
    if (!dst) break;
    const size_t k = n < avail ? n : avail;
    std::memcpy(dst, p, k);
    p += k;
    n -= k;
    if (int e = advance(k)) return e;
  }
  std::lock_guard<std::mutex> lk(m_);
  return err_;
}

int BgWriter::finish() {
  const long size = fileoff_ + static_cast<long>(fill_);
  if (cur_ && fill_ > 0) {
    size_t len = fill_;
    if (direct_) {
      len = (fill_ + kAlign - 1) / kAlign * kAlign;
      std::memset(cur_ + fill_, 0, len - fill_);
    }
    submit(len);
  }
  cur_ = nullptr;
  fill_ = 0;
  {
    std::unique_lock<std::mutex> lk(m_);
    cv_.wait(lk, [this] { return jobs_.empty() && !busy_; });
  }
  abandon();
  if (!err_ && direct_ && ::ftruncate(fd_, static_cast<off_t>(size)) != 0) err_ = errno;
  return err_;
}

void BgWriter::abandon() {
  {
    std::lock_guard<std::mutex> lk(m_);
    stop_ = true;
    jobs_.clear();
  }
  cv_.notify_all();
  if (thread_.joinable()) thread_.join();
  for (unsigned char* b : all_) std::free(b);
  all_.clear();
  free_.clear();
  cur_ = nullptr;
}
