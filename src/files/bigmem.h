// A large block of memory taken straight from the system, on huge pages
// where it offers them. The text readers fill such blocks with a whole file
// or a column of a million numbers once; from the ordinary heap each would
// be fresh small pages, and faulting those in costs more than the reading.
// The block grows in place or moves (mremap) and goes back when it ends.
#pragma once
#include <cstddef>
#include <new>
#include <sys/mman.h>

class BigMem {
 public:
  BigMem() = default;
  ~BigMem() { release(); }
  BigMem(const BigMem&) = delete;
  BigMem& operator=(const BigMem&) = delete;
  BigMem(BigMem&& o) noexcept : p_(o.p_), cap_(o.cap_) { o.p_ = nullptr, o.cap_ = 0; }
  BigMem& operator=(BigMem&& o) noexcept {
    if (this != &o) {
      release();
      p_ = o.p_, cap_ = o.cap_;
      o.p_ = nullptr, o.cap_ = 0;
    }
    return *this;
  }

  // Room for at least n bytes, the bytes already there kept; throws
  // std::bad_alloc when the system refuses (the readers catch it at their
  // entry and report the memory error).
  void reserve(size_t n) {
    if (n <= cap_) return;
    constexpr size_t huge = size_t{2} << 20;
    const size_t want = (n + huge - 1) / huge * huge;
    void* m = p_ ? ::mremap(p_, cap_, want, MREMAP_MAYMOVE)
                 : ::mmap(nullptr, want, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (m == MAP_FAILED) throw std::bad_alloc();
    (void)::madvise(m, want, MADV_HUGEPAGE);
    p_ = static_cast<unsigned char*>(m);
    cap_ = want;
  }
  unsigned char* data() const { return p_; }
  size_t capacity() const { return cap_; }
  void release() {
    if (p_) (void)::munmap(p_, cap_);
    p_ = nullptr, cap_ = 0;
  }

 private:
  unsigned char* p_ = nullptr;
  size_t cap_ = 0;
};
