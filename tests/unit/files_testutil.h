// Shared set-up of the file tests: a scratch folder removed afterwards, the
// interpreter quiet with every subsystem reset around each test (the
// dataset, characteristics, open files, posting handles, injected failures), and small
// helpers to read a file whole and list a folder.
#pragma once
#include <gtest/gtest.h>

#include <dirent.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "data/chars.h"
#include "data/store.h"
#include "files/atomicfile.h"
#include "files/files.h"
#include "interp/cmd/resetall.h"
#include "interp/cmdtab.h"
#include "output/output.h"

// The bytes of a file ("" when it cannot be read).
inline std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// The names in a folder, without "." and "..".
inline std::vector<std::string> listdir(const std::string& dir) {
  std::vector<std::string> names;
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* e = readdir(d)) {
      std::string n = e->d_name;
      if (n != "." && n != "..") names.push_back(n);
    }
    closedir(d);
  }
  return names;
}

// A scratch folder made before each test and removed, with its files, after.
struct ScratchDir {
  std::string dir;
  void make() {
    char tmpl[] = "/tmp/zelta_files_XXXXXX";
    dir = mkdtemp(tmpl);
  }
  void cleanup() {
    for (const std::string& n : listdir(dir)) unlink((dir + "/" + n).c_str());
    rmdir(dir.c_str());
  }
  std::string path(const char* name) const { return dir + "/" + name; }
};

// Commands run through the interpreter with their output captured in sink.
struct FilesTest : ::testing::Test, ScratchDir {
  std::string sink;
  void SetUp() override {
    out_set_capture(&sink);
    cmdinit_table();
    reset_all();
    make();
  }
  void TearDown() override {
    reset_all();
    out_set_capture(nullptr);
    cleanup();
  }
};
