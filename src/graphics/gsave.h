// Writing a graphics file so that a failure never destroys the previous good
// copy: bytes go to a temporary file beside the target, which is synced and
// renamed over it; any failure removes the temporary file.
#pragma once
#include <cstddef>
#include <string>

struct GSave {
  std::string target;   // the file being created or replaced
  std::string tmpname;  // the temporary file beside it
  int fd = -1;          // descriptor of the temporary file
  int err = 0;          // errno of the first failure (sticky)
};

// 0, or 603 when the temporary file cannot be made (nothing is left behind).
[[nodiscard]] int gsave_open(GSave& f, const std::string& target);
// 0 or 693; after a failure every call fails.
[[nodiscard]] int gsave_write(GSave& f, const void* data, size_t n);
// Syncs and renames over the target: 0 or 693 (the target untouched).
[[nodiscard]] int gsave_commit(GSave& f);
void gsave_abort(GSave& f);
// True when fn names an existing file.
bool gr_fileexists(const std::string& fn);
// fn with `suffix` added when it has none.
std::string gr_addsuffix(const std::string& fn, const char* suffix);
