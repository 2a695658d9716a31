// The reset-all: after commands that leave state in every subsystem (data,
// labels, macros, programs, matrices, scalars, estimation and saved results,
// graphs, series sets, Vemo functions and globals, settings, timers, logs,
// posting and file handles, temporary files), the listings of that state
// read exactly as they did just after a reset, and the state structs hold
// their start values.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include "data/store.h"
#include "data/vlabel.h"
#include "expr/funcs.h"
#include "graphics/graphics.h"
#include "interp/cmd/resetall.h"
#include "interp/cmdtab.h"
#include "interp/interp.h"
#include "interp/lineloop.h"
#include "output/output.h"
#include "platform/timers.h"
#include "results/results.h"
#include "vemo/vemo.h"
#include "vemo/vm.h"

namespace {

struct ResetAll : ::testing::Test {
  std::string sink;
  std::string saveddir;
  std::string scratch;
  void SetUp() override {
    out_set_capture(&sink);
    cmdinit_table();
    saveddir = interp.sysdir;
    interp.sysdir = std::string(ZELTA_SOURCE_DIR) + "/system/";
    char tmpl[] = "/tmp/zelta_resetall_XXXXXX";
    scratch = mkdtemp(tmpl);
    reset_all();
  }
  void TearDown() override {
    reset_all();
    for (const char* f : {"state.do", "out.log", "post.dta", "fh.txt"}) unlink((scratch + "/" + f).c_str());
    rmdir(scratch.c_str());
    interp.sysdir = saveddir;
    out_set_capture(nullptr);
  }

  // Everything the listings show; c() lines that change with the clock or the
  // folder are left out.
  std::string fingerprint() {
    std::string all;
    for (const char* cmd :
         {"creturn list", "describe", "label dir", "char list", "macro dir", "program dir", "matrix dir",
          "scalar dir", "return list", "ereturn list", "sreturn list", "estimates dir", "graph dir",
          "serset dir", "vemo describe", "vemo: direxternal(\"*\")", "timer list", "log query",
          "postutil dir", "file query", "display uniform()", "query memory"}) {
      sink.clear();
      (void)execline(std::string("capture noisily ") + cmd);
      std::string kept;
      size_t a = 0;
      while (a < sink.size()) {
        size_t b = sink.find('\n', a);
        if (b == std::string::npos) b = sink.size();
        std::string line = sink.substr(a, b - a);
        if (line.find("c(current_") == std::string::npos && line.find("c(pwd)") == std::string::npos)
          kept += line + "\n";
        a = b + 1;
      }
      all += std::string("== ") + cmd + "\n" + kept;
    }
    sink.clear();
    return all;
  }

  void rundo(const std::string& text) {
    std::ofstream(scratch + "/state.do") << text;
    sink.clear();
    ASSERT_EQ(execline("do \"" + scratch + "/state.do\""), 0) << sink;
  }
};

TEST_F(ResetAll, EveryListingReadsAsAtTheStart) {
  const std::string fresh = fingerprint();
  ASSERT_NE(fresh.find("== macro dir"), std::string::npos);
  const std::string d = scratch;
  rundo("set obs 12\n"
        "gen x = _n\n"
        "gen y = x^2 + mod(x, 3)\n"
        "gen g = mod(x, 2)\n"
        "label define yn 0 no 1 yes\n"
        "label values g yn\n"
        "char x[note] kept\n"
        "global gone here\n"
        "program define leftover\n  display \"left\"\nend\n"
        "matrix A = (1, 2 \\ 3, 4)\n"
        "scalar s1 = 3\n"
        "regress y x\n"
        "estimates hold h1, copy\n"
        "summarize x\n"
        "scatter y x, name(g1)\n"
        "serset create x y\n"
        "vemo: function leftoverf(a) return(a + 1)\n"
        "vemo: kept = leftoverf(2)\n"
        "set linesize 100\n"
        "set level 90\n"
        "set type double\n"
        "set dp comma\n"
        "set varabbrev off\n"
        "set vemostrict on\n"
        "set seed 42\n"
        "set rmsg on\n"
        "set maxiter 50\n"
        "timer on 7\n"
        "timer off 7\n"
        "log using \"" + d + "/out.log\", text\n"
        "postfile ph v using \"" + d + "/post.dta\", replace\n"
        "file open fh using \"" + d + "/fh.txt\", write binary replace\n"
        "set rmsg off\n");
  sink.clear();
  (void)execline("display uniform()");  // the generator moves on
  const std::string used = fingerprint();
  ASSERT_NE(used, fresh);  // the commands above did leave state behind
  reset_all();

  // The structs behind the listings, and state no listing shows.
  EXPECT_EQ(ds.nobs, 0);
  EXPECT_EQ(ds.nvar, 0);
  EXPECT_TRUE(vls.tabs.empty());
  EXPECT_TRUE(res.mats.empty());
  EXPECT_TRUE(res.scalars.empty());
  EXPECT_TRUE(res.held.empty());
  EXPECT_TRUE(gr.graphs.empty());
  EXPECT_EQ(fns.rx, FuncState{}.rx);
  EXPECT_EQ(out.linesize, 80);
  EXPECT_FALSE(interp.zelta_rmsg);
  EXPECT_FALSE(vst.strict);
  EXPECT_TRUE(vm.globals.empty());
  EXPECT_TRUE(vm.fcns.empty());
  EXPECT_EQ(vm.clock, VmState{}.clock);  // the statements above moved it on
  EXPECT_EQ(timers.count[7], 0);
  EXPECT_EQ(timer_seconds(7), 0);
  // The log was closed and the posting file written when the handle went.
  EXPECT_EQ(access((d + "/post.dta").c_str(), F_OK), 0);
  EXPECT_EQ(fingerprint(), fresh);
  sink.clear();
  EXPECT_NE(execline("leftover"), 0);  // the program is gone
  // A second reset changes nothing.
  reset_all();
  EXPECT_EQ(fingerprint(), fresh);
}

}  // namespace
