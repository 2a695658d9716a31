// The direct writer (see directwrite.h). Buffers are aligned for the
// device; each full chunk goes to whichever of the two writers is free, so
// two writes are in flight while the caller fills a third buffer. Only the
// unaligned tail of a chunk (under one block) is copied into the next one.
#include "files/directwrite.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <system_error>
#include <unistd.h>

namespace {

constexpr int kWriters = 2;
constexpr int kBuffers = 4;

}  // namespace

bool DirectWriter::start(int fd) {
  fd_ = fd;
  for (int i = 0; i < kBuffers; ++i) {
    void* p = std::aligned_alloc(kAlign, kChunk);
    if (!p) return false;
    all_.push_back(static_cast<unsigned char*>(p));
    free_.push_back(static_cast<unsigned char*>(p));
  }
  try {
    for (int i = 0; i < kWriters; ++i) threads_.emplace_back([this] { run(); });
  } catch (const std::system_error&) {
    abandon();
    return false;
  }
  return true;
}

void DirectWriter::run() {
  std::unique_lock<std::mutex> lk(m_);
  while (true) {
    cv_.wait(lk, [this] { return stop_ || !jobs_.empty(); });
    if (jobs_.empty()) return;  // stopping with nothing left
    Job j = jobs_.front();
    jobs_.pop_front();
    ++busy_;
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
        int fl = ::fcntl(fd_, F_GETFL);
        if (fl >= 0 && (fl & O_DIRECT) && ::fcntl(fd_, F_SETFL, fl & ~O_DIRECT) == 0) continue;
      }
      if (k <= 0) {
        e = k < 0 ? errno : EIO;
        break;
      }
      done += static_cast<size_t>(k);
    }
    lk.lock();
    if (e && !err_) err_ = e;
    free_.push_back(j.buf);
    --busy_;
    cv_.notify_all();
  }
}

unsigned char* DirectWriter::takebuf() {
  std::unique_lock<std::mutex> lk(m_);
  cv_.wait(lk, [this] { return !free_.empty(); });
  unsigned char* b = free_.back();
  free_.pop_back();
  return b;
}

void DirectWriter::submit(size_t len) {
  {
    std::lock_guard<std::mutex> lk(m_);
    jobs_.push_back(Job{cur_, len, fileoff_});
  }
  cv_.notify_all();
  fileoff_ += static_cast<long>(len);
}

unsigned char* DirectWriter::space(size_t* avail) {
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

int DirectWriter::advance(size_t n) {
  fill_ += n;
  if (kChunk - fill_ >= kChunk / 8) {
    std::lock_guard<std::mutex> lk(m_);
    return err_;
  }
  // Nearly full: the aligned part goes out, the tail starts the next buffer.
  const size_t whole = fill_ / kAlign * kAlign, tail = fill_ - whole;
  unsigned char* next = takebuf();
  std::memcpy(next, cur_ + whole, tail);
  submit(whole);
  cur_ = next;
  fill_ = tail;
  std::lock_guard<std::mutex> lk(m_);
  return err_;
}

int DirectWriter::append(const void* data, size_t n) {
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

int DirectWriter::finish() {
  if (cur_ && fill_ > 0) {
    const size_t padded = (fill_ + kAlign - 1) / kAlign * kAlign;
    std::memset(cur_ + fill_, 0, padded - fill_);
    submit(padded);
    cur_ = nullptr;
    fill_ = 0;
  }
  {
    std::unique_lock<std::mutex> lk(m_);
    cv_.wait(lk, [this] { return jobs_.empty() && busy_ == 0; });
  }
  abandon();
  return err_;
}

void DirectWriter::abandon() {
  {
    std::lock_guard<std::mutex> lk(m_);
    stop_ = true;
    jobs_.clear();
  }
  cv_.notify_all();
  for (std::thread& t : threads_) t.join();
  threads_.clear();
  for (unsigned char* b : all_) std::free(b);
  all_.clear();
  free_.clear();
  cur_ = nullptr;
}
