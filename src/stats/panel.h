// What the panel-data commands share: dense panel (or cluster) numbers from
// the values of an identifier.
#pragma once
#include <vector>

// Numbers the distinct values of v 0..G-1 in ascending order of value into
// id (one per element); returns G. Linear when v is already sorted.
int pn_dense(const std::vector<double>& v, std::vector<int>& id);
