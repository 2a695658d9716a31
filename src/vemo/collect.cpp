// Vemo cycle collector. Reference counts free everything except cycles: a
// structure whose member points back at it, a pointer matrix holding its own
// address, or such loops read back from a matrix file. Objects that can hold
// references (pointer matrices, structures and their member tables) are
// kept in one registry; a collection subtracts the references they make to
// one another from their counts (trial deletion), so what is left counts
// only references from outside the registry (globals, the stack, the
// running built-ins). Everything reachable from such an object survives;
// the rest is garbage kept alive only by its own cycles and is freed.
#include <algorithm>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "vemo/vm.h"

namespace {

// The objects an object refers to directly: only ordinary pointer and
// structure matrices hold any.
bool holdsrefs(const Mat* m) {
  return m->kind == K_MAT && !m->view && m->data && (m->eltype == ET_PTR || m->eltype == ET_STRUCT);
}

constexpr int32_t REACHED = INT32_MAX;

// Sets each registered object's working count to its references from
// outside the registry, less `less` (the globals table's own references
// to the objects about to be dropped), then marks REACHED all that such
// references reach.
void markreached(const std::vector<Mat*>& less) {
  std::vector<Mat*>& all = vm.containers;
  for (Mat* c : all) c->gcrefs = c->refcnt;
  for (Mat* c : all) {
    if (!holdsrefs(c)) continue;
    Mat** p = c->ptr();
    for (size_t k = 0, n = c->n(); k < n; ++k)
      if (p[k] && p[k]->gcidx >= 0) --p[k]->gcrefs;
  }
  for (Mat* c : less)
    if (c->gcidx >= 0) --c->gcrefs;
  std::vector<Mat*> work;
  for (Mat* c : all)
    if (c->gcrefs > 0) {
      c->gcrefs = REACHED;
      work.push_back(c);
    }
  while (!work.empty()) {
    Mat* c = work.back();
    work.pop_back();
    if (!holdsrefs(c)) continue;
    Mat** p = c->ptr();
    for (size_t k = 0, n = c->n(); k < n; ++k)
      if (p[k] && p[k]->gcidx >= 0 && p[k]->gcrefs != REACHED) {
        p[k]->gcrefs = REACHED;
        work.push_back(p[k]);
      }
  }
}

}  // namespace

void gc_track(Mat* m) {
  if (m->gcidx >= 0) return;
  m->gcidx = static_cast<int32_t>(vm.containers.size());
  vm.containers.push_back(m);
}

void gc_untrack(Mat* m) {
  const int32_t i = m->gcidx;
  if (i < 0) return;
  Mat* last = vm.containers.back();
  vm.containers[static_cast<size_t>(i)] = last;
  last->gcidx = i;
  vm.containers.pop_back();
  m->gcidx = -1;
}

size_t vm_collect() {
  std::vector<Mat*>& all = vm.containers;
  markreached({});
  // what no outside reference reaches is garbage: hold each, cut its
  // references (which frees what only it held and lowers every other
  // count), then let it go
  std::vector<Mat*> garbage;
  for (Mat* c : all)
    if (c->gcrefs != REACHED) garbage.push_back(c);
  for (Mat* g : garbage) mref(g);
  for (Mat* g : garbage) {
    if (!holdsrefs(g)) continue;
    Mat** p = g->ptr();
    for (size_t k = 0, n = g->n(); k < n; ++k) {
      Mat* q = p[k];
      p[k] = nullptr;
      if (q) mfree(q);
    }
  }
  for (Mat* g : garbage) mfree(g);
  vm.gcnext = std::max<size_t>(VM_GCMIN, 2 * all.size());
  return garbage.size();
}

std::vector<bool> gc_inuse(const std::vector<Mat*>& drop) {
  std::vector<Mat*> uniq = drop;
  std::sort(uniq.begin(), uniq.end());
  uniq.erase(std::unique(uniq.begin(), uniq.end()), uniq.end());
  markreached(uniq);
  // an object outside the registry is in use when it has references other
  // than the globals table's and those of registered objects left unreached
  std::unordered_map<const Mat*, int32_t> fromlost;
  for (Mat* m : uniq)
    if (m->gcidx < 0) fromlost[m] = 0;
  if (!fromlost.empty())
    for (Mat* c : vm.containers) {
      if (c->gcrefs == REACHED || !holdsrefs(c)) continue;
      Mat** p = c->ptr();
      for (size_t k = 0, n = c->n(); k < n; ++k) {
        auto it = p[k] ? fromlost.find(p[k]) : fromlost.end();
        if (it != fromlost.end()) ++it->second;
      }
    }
  std::vector<bool> busy;
  for (const Mat* m : drop)
    busy.push_back(m->gcidx >= 0 ? m->gcrefs == REACHED : m->refcnt - 1 - fromlost[m] > 0);
  return busy;
}
