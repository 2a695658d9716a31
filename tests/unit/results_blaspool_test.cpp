// Binding the commands stops the maths library's thread pool: its threads
// would spin idle for a while after start and take the second core from the
// first command that shares its work with a helper thread.
#include <dirent.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "interp/cmdtab.h"

namespace {

// The threads of this process.
int threadcount() {
  DIR* d = opendir("/proc/self/task");
  if (!d) return -1;
  int n = 0;
  while (const dirent* e = readdir(d))
    if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0) ++n;
  closedir(d);
  return n;
}

TEST(BlasPool, StoppedOnceCommandsAreBound) {
  if (std::getenv("OPENBLAS_NUM_THREADS") || std::getenv("OMP_NUM_THREADS"))
    GTEST_SKIP() << "the environment asks BLAS for its own threads";
  cmdinit_table();
  EXPECT_EQ(threadcount(), 1);
}

}  // namespace
