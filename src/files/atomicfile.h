// Writing a file so that a failure never destroys the previous good copy:
// the bytes go to a temporary file in the target's folder, which is flushed,
// synced and then renamed over the target; on any failure (or abandon) the
// temporary file is removed and the target is left as it was.
#pragma once
#include <cstddef>
#include <string>

struct AtomicFile {
  std::string target;   // the file being replaced or created
  std::string tmpname;  // the temporary file beside it
  int fd = -1;          // open descriptor of the temporary file, -1 when none
  int err = 0;          // errno of the first failure (sticky), 0 when none
  long written = 0;     // bytes appended by af_write so far
  long queued = 0;      // bytes of them already handed to the disk for writeback
};

// Test hook: the Nth operation from now on (each write call, the sync, the
// rename) fails as if the disk were full; 0 = never.
struct AtomicFileState {
  int failat = 0;  // operation number that fails (1-based), 0 = no injection
  int nops = 0;    // operations counted since failat was set
};
extern AtomicFileState afs;

// Creates the temporary file for target. 0, or 603 (could not be opened) or
// 608 (folder read-only) with f.err set; nothing is left behind on failure.
[[nodiscard]] int af_open(AtomicFile& f, const std::string& target);
// Appends n bytes. 0 or 699 (f.err set); after a failure every call fails.
// Every few megabytes the bytes so far are queued for writeback, so the disk
// works while the caller prepares the rest and the final sync has little
// left to wait for.
[[nodiscard]] int af_write(AtomicFile& f, const void* data, size_t n);
// Overwrites n bytes at offset off of what was written so far (a header
// field known only at the end). 0 or 699 (f.err set), sticky as af_write.
[[nodiscard]] int af_pwrite(AtomicFile& f, const void* data, size_t n, long off);
// Syncs, closes and renames the temporary file over the target. 0 or 699; on
// failure the temporary file is removed and the target untouched.
[[nodiscard]] int af_commit(AtomicFile& f);
// Abandons the write: closes and removes the temporary file.
void af_abort(AtomicFile& f);
// The system's text for f.err ("No space left on device", ...).
std::string af_errtext(const AtomicFile& f);
