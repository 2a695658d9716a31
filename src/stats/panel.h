// What the panel-data commands share: dense panel (or cluster) numbers from
// the values of an identifier, and the weights' scaling and their check
// within panels.
#pragma once
#include <vector>

// Numbers the distinct values of v 0..G-1 in ascending order of value into
// id (one per element); returns G. Linear when v is already sorted.
int pn_dense(const std::vector<double>& v, std::vector<int>& id);
// Scales analytic and sampling weights (kind 'a' or 'p') to sum to their
// number; other kinds stay as given.
void pn_scaleweights(char kind, std::vector<double>& w);
// Whether w is the same on every row of each panel (gid, one per row).
bool pn_constwithin(const std::vector<double>& w, const std::vector<int>& gid);
