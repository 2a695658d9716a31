// Command history ring. Only lines typed at the console are kept; the oldest
// are dropped once the total text would pass conslen bytes.
#include "interp/history.h"

#include "interp/interp.h"
#include "output/output.h"
#include "platform/platform.h"

HistoryState hist;

// Keeps a line in the ring, dropping the oldest beyond conslen bytes.
static void keep(const std::string& line) {
  hist.ring.push_back(line);
  hist.bytes += line.size() + 2;
  while (hist.bytes > static_cast<size_t>(interp.conslen) && !hist.ring.empty()) {
    hist.bytes -= hist.ring.front().size() + 2;
    hist.ring.pop_front();
  }
}

void history_add(const std::string& line) {
  if (line.empty()) return;
  plat_addhistory(line.c_str());
  keep(line);
}

void history_seed(const std::vector<std::string>& lines) {
  for (const std::string& s : lines)
    if (!s.empty()) keep(s);
}

void history_review(int back, int count) {
  if (back > static_cast<int>(hist.ring.size())) back = static_cast<int>(hist.ring.size());
  if (count > back) count = back;
  if (count < 0) count = 0;
  // start with the oldest of the `back` most recent and move towards the present
  for (int d = back, shown = 0; d >= 1 && shown < count; --d, ++shown) {
    const std::string& s = hist.ring[hist.ring.size() - static_cast<size_t>(d)];
    spout21f("%d ", d);
    spout21(s.c_str());
    newline();
  }
}

void history_clear() {
  hist.ring.clear();
  hist.bytes = 0;
}
