// Writing a file so that a failure never destroys the previous good copy:
// the bytes go to a temporary file in the target's folder, which is flushed,
// synced and then renamed over the target; on any failure (or abandon) the
// temporary file is removed and the target is left as it was. Where the file
// system allows it the temporary file has no name until the commit, so a
// process killed while writing leaves nothing behind; elsewhere it is named
// "target.zelta<pid>-XXXXXX", and the next write into the folder removes
// such files of processes that no longer run.
#pragma once
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

class BgWriter;

struct AtomicFile {
  std::string target;   // the file being replaced or created
  std::string tmpname;  // the temporary file beside it ("" while it has no name)
  int fd = -1;          // open descriptor of the temporary file, -1 when none
  int err = 0;          // errno of the first failure (sticky), 0 when none
  long written = 0;     // bytes appended by af_write so far
  long queued = 0;      // bytes of them already handed to the disk for writeback
  // Large files opened with `background`: the thread that writes the bytes
  // while the caller builds the next ones (none when it could not start),
  // past the page cache for those opened `direct` as well.
  std::shared_ptr<BgWriter> bg;
  std::vector<unsigned char> stage;  // af_space's buffer without one
};

// Test hook: the Nth operation from now on (each write call, the sync, the
// rename) fails as if the disk were full; 0 = never.
struct AtomicFileState {
  int failat = 0;      // operation number that fails (1-based), 0 = no injection
  int nops = 0;        // operations counted since failat was set
  bool named = false;  // use a named temporary file even where an unnamed one works
  long directfrom = 0; // files of at least this many bytes are written direct (0 = the writer's own size)
};
extern AtomicFileState afs;

// Creates the temporary file for target. 0, or 608 (the target exists and
// cannot be written) or 603 (could not be opened, the folder not writable
// among the reasons) with f.err set; nothing is left behind on failure.
// Prints nothing: af_openerr reports the failure. With `background` (for
// files of many megabytes written front to back, without af_pwrite) the
// bytes are written on another thread while the caller builds the next;
// with `direct` as well they go past the page cache where the file system
// allows it (for files too large for the cache to hold while the disk
// catches up).
[[nodiscard]] int af_open(AtomicFile& f, const std::string& target, bool background = false,
                          bool direct = false);
// Prints the message of a failed af_open (the file's, and for a folder that
// cannot be written a line saying so) and returns rc.
int af_openerr(const AtomicFile& f, int rc);
// Appends n bytes. 0 or 699 (f.err set); after a failure every call fails.
// Every few megabytes the bytes so far are queued for writeback, so the disk
// works while the caller prepares the rest and the final sync has little
// left to wait for.
[[nodiscard]] int af_write(AtomicFile& f, const void* data, size_t n);
// Room to build the next bytes in place (saves a copy): *avail bytes at the
// pointer, at least a megabyte; nullptr after a failure. af_advance(f, n)
// then appends the n bytes put there, counting as one af_write.
unsigned char* af_space(AtomicFile& f, size_t* avail);
[[nodiscard]] int af_advance(AtomicFile& f, size_t n);
// Overwrites n bytes at offset off of what was written so far (a header
// field known only at the end). 0 or 699 (f.err set), sticky as af_write.
// Not for files written in the background.
[[nodiscard]] int af_pwrite(AtomicFile& f, const void* data, size_t n, long off);
// Syncs, closes and renames the temporary file over the target. 0 or 699; on
// failure the temporary file is removed and the target untouched.
[[nodiscard]] int af_commit(AtomicFile& f);
// Abandons the write: closes and removes the temporary file.
void af_abort(AtomicFile& f);
// The system's text for f.err ("No space left on device", ...).
std::string af_errtext(const AtomicFile& f);
