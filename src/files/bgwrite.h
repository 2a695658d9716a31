// Writing a large file on a writer thread: the caller builds the next
// chunk of a couple of megabytes while the writer hands the previous one to
// the page cache, and every few megabytes written are queued for writeback,
// so the disk works during the whole write and the final sync has little
// left to wait for. The pages stay in the cache, so reading the file right
// after writing it costs no disk reads. Or the chunks go past the cache
// (direct writes from aligned buffers), so that the writer is bound by the
// disk's own speed rather than held to the pace at which a busy cache takes
// dirty pages. Used by AtomicFile for the files that ask for it.
#pragma once
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

class BgWriter {
 public:
  static constexpr size_t kChunk = 2u << 20;  // bytes per write call
  static constexpr long kWriteback = 8L << 20;  // bytes queued for writeback at a time
  static constexpr size_t kAlign = 4096;  // direct writes: buffer, length and offset multiple

  // Starts the writer on fd; with `direct` past the page cache where the
  // file system allows it (else through the cache). False when no thread
  // could be started; the caller then writes as usual.
  bool start(int fd, bool direct = false);
  // True when the writes go past the page cache.
  bool direct() const { return direct_; }
  // Room for more bytes at the end of what was appended: *avail bytes at the
  // pointer, at least kChunk / 8. nullptr after a failure.
  unsigned char* space(size_t* avail);
  // The caller put n bytes (at most *avail) at the pointer space() gave; a
  // nearly full chunk goes to the writer. 0, or the errno of a failed write.
  int advance(size_t n);
  // Appends n bytes by copying (space/advance in a loop).
  int append(const void* data, size_t n);
  // Writes the rest, waits for every write and stops the writer (a direct
  // file, whose last block went out padded, is cut back to its bytes). 0 or
  // an errno.
  int finish();
  // Stops the writer without writing the rest (abandon).
  void abandon();
  ~BgWriter() { abandon(); }

 private:
  struct Job {
    unsigned char* buf;
    size_t len;
    long off;
  };
  void run();
  unsigned char* takebuf();  // a free buffer, waiting for one if need be
  void submit(size_t len);   // queues cur_[0..len) at fileoff_

  int fd_ = -1;
  bool direct_ = false;
  std::vector<unsigned char*> all_;   // every buffer (freed at the end)
  std::vector<unsigned char*> free_;  // buffers not being written
  std::deque<Job> jobs_;              // in file order: one writer takes them
  std::mutex m_;
  std::condition_variable cv_;
  std::thread thread_;
  bool stop_ = false;
  bool busy_ = false;  // a job taken by the writer and not yet done
  int err_ = 0;        // errno of the first failed write (sticky)
  unsigned char* cur_ = nullptr;  // buffer being filled
  size_t fill_ = 0;               // bytes in it
  long fileoff_ = 0;              // file offset of cur_[0]
};
