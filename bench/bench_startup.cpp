// Start-up time: runs `zelta -q -b do empty.do` and `python3 -c pass` the
// same number of times, alternating, and prints the mean wall time of each
// and their ratio. Usage: bench_startup [path/to/zelta] [runs]
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

static double run(const std::vector<std::string>& argv, const char* dir) {
  auto t0 = std::chrono::steady_clock::now();
  pid_t pid = fork();
  if (pid == 0) {
    if (dir && chdir(dir) != 0) _exit(127);
    std::vector<char*> a;
    for (auto& s : argv) a.push_back(const_cast<char*>(s.c_str()));
    a.push_back(nullptr);
    execv(a[0], a.data());
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  auto t1 = std::chrono::steady_clock::now();
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "%s failed\n", argv[0].c_str());
    std::exit(1);
  }
  return std::chrono::duration<double>(t1 - t0).count();
}

int main(int argc, char** argv) {
  std::string zelta = argc > 1 ? argv[1] : "./zelta";
  int runs = argc > 2 ? std::atoi(argv[2]) : 50;
  char dir[] = "/tmp/zelta_startup_XXXXXX";
  if (!mkdtemp(dir)) return 1;
  std::string empty = std::string(dir) + "/empty.do";
  std::FILE* f = std::fopen(empty.c_str(), "w");
  if (!f) return 1;
  std::fclose(f);
  if (zelta[0] != '/') {
    char cwd[4096];
    if (!getcwd(cwd, sizeof cwd)) return 1;
    zelta = std::string(cwd) + "/" + zelta;
  }
  double tz = 0, tp = 0;
  for (int i = 0; i < runs; ++i) {
    tz += run({zelta, "-q", "-b", "do", "empty.do"}, dir);
    tp += run({"/usr/bin/python3", "-c", "pass"}, dir);
  }
  std::printf("zelta -q -b do empty.do: %.2f ms per run\n", 1000 * tz / runs);
  std::printf("python3 -c pass:         %.2f ms per run\n", 1000 * tp / runs);
  std::printf("ratio zelta/python3:     %.2f\n", tz / tp);
  std::remove(empty.c_str());
  std::remove((std::string(dir) + "/empty.log").c_str());
  rmdir(dir);
  return 0;
}
