// Writing a large file past the page cache: the bytes are gathered in
// aligned chunks of a few megabytes that two writer threads hand to the disk
// directly while the caller prepares the next ones, so a big file costs one
// pass over memory instead of two and the final sync has almost nothing left
// to flush. Used by AtomicFile for the files that ask for it; a file system
// that refuses such writes gets ordinary ones, so nothing fails for it.
#pragma once
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

class DirectWriter {
 public:
  static constexpr size_t kAlign = 4096;     // offsets and lengths of direct writes
  static constexpr size_t kChunk = 2u << 20;  // bytes per write call

  // Starts the writers on fd (opened with O_DIRECT). False when no thread
  // could be started; the caller then writes as usual.
  bool start(int fd);
  // Room for more bytes at the end of what was appended: *avail bytes at the
  // pointer, at least kChunk / 8. nullptr after a failure.
  unsigned char* space(size_t* avail);
  // The caller put n bytes (at most *avail) at the pointer space() gave.
  // Full aligned parts go to the writers. 0, or the errno of a failed write.
  int advance(size_t n);
  // Appends n bytes by copying (space/advance in a loop).
  int append(const void* data, size_t n);
  // Writes the rest (the last block padded with zeros), waits for every
  // write and stops the writers. 0 or an errno; the caller cuts the file to
  // its true length.
  int finish();
  // Stops the writers without writing the rest (abandon).
  void abandon();
  ~DirectWriter() { abandon(); }

 private:
  struct Job {
    unsigned char* buf;
    size_t len;
    long off;
  };
  void run();
  unsigned char* takebuf();  // a free buffer, waiting for one if need be
  void submit(size_t len);   // queues cur[0..len) at fileoff

  int fd_ = -1;
  std::vector<unsigned char*> all_;   // every buffer (freed at the end)
  std::vector<unsigned char*> free_;  // buffers not being written
  std::deque<Job> jobs_;
  std::mutex m_;
  std::condition_variable cv_;
  std::vector<std::thread> threads_;
  bool stop_ = false;
  int busy_ = 0;   // jobs taken by a writer and not yet done
  int err_ = 0;    // errno of the first failed write (sticky)
  unsigned char* cur_ = nullptr;  // buffer being filled
  size_t fill_ = 0;               // bytes in it
  long fileoff_ = 0;              // file offset of cur_[0]
};
