// The dataset interface's shared pieces: the variable and observation
// selectors of st_data, st_store and st_view, the dataset views, and the
// counter that tells views the dataset may have changed. Internal to
// src/vemo.
#pragma once
#include <cstdint>
#include <vector>

#include "vemo/vm.h"

// Selected observations: one contiguous range, or a list (1-based).
struct ObsSel {
  bool range = true;
  long first = 1, count = 0;
  std::vector<long> list;
  long size() const { return range ? count : static_cast<long>(list.size()); }
  long get(long k) const { return range ? first + k : list[static_cast<size_t>(k)]; }
};

// A view's description (Mat::vv): its variables and observations.
struct VView {
  std::vector<int> vars;
  ObsSel obs;
  bool str = false;        // a string view (st_sview)
  bool alias = false;      // the elements are the dataset's own double cells
  int32_t clock = -1;      // statement clock and epoch of the last refresh
  uint64_t epoch = 0;
};


// Variables: a real row vector of numbers, a string row vector of names
// (abbreviations as `set varabbrev` allows) or missing for all. 0 or a
// run-time code.
int st_selvars(const Mat* j, std::vector<int>& vars);
// Observations: a column vector of numbers (missing: all), or k x 2 ranges.
int st_selobs(const Mat* i, ObsSel& obs);
// Applies the select variable s (0: complete cases of vars; a variable:
// where it is nonzero; missing or "": nothing dropped).
int st_selapply(const Mat* s, const std::vector<int>& vars, ObsSel& obs);

// Views (st_view.cpp).
bool vview_make(Mat* v, std::vector<int> vars, ObsSel obs, bool str);
bool vview_writeback(Mat* v, const std::vector<int>& ri, const std::vector<int>& ci);
